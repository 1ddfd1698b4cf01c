// The presentation helpers: what changed since the last present, the rows converted to
// the window's format, the picture placed and scaled, the push button.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/soft/present_scale.h"
#include "support/pins.h"
#include "support/race_stage.h"

namespace {

// A bottom-up 24-bit picture addressed top-down, as the soft window system keeps it.
struct Picture {
    int32_t width, height, stride;
    std::vector<uint8_t> bits;
    Picture(int32_t w, int32_t h) : width(w), height(h), stride(((w * 24 + 31) / 32) * 4), bits(size_t(stride) * h) {}
    uint8_t* at(int32_t x, int32_t y) { return bits.data() + size_t(height - 1 - y) * stride + x * 3; }
    void set(int32_t x, int32_t y, uint32_t rgb) { std::memcpy(at(x, y), &rgb, 3); }
    int32_t diff(Picture& shadow, PlatRect area, PresentRect* rects, int32_t max) {
        return presentDiff(bits.data(), shadow.bits.data(), width, height, stride, area, rects, max);
    }
};

struct Screen {   // a 32-bit window surface
    int32_t width, height, pitch;
    std::vector<uint8_t> pixels;
    Screen(int32_t w, int32_t h) : width(w), height(h), pitch(w * 4), pixels(size_t(pitch) * h) {}
    uint32_t get(int32_t x, int32_t y) const {
        uint32_t v;
        std::memcpy(&v, pixels.data() + size_t(y) * pitch + x * 4, 4);
        return v;
    }
};

bool covered(const PresentRect* rects, int32_t n, int32_t x, int32_t y) {
    for (int32_t i = 0; i < n; ++i)
        if (x >= rects[i].x && x < rects[i].x + rects[i].width && y >= rects[i].y && y < rects[i].y + rects[i].height)
            return true;
    return false;
}

// Odd sizes (partial tiles at the right and bottom, padded rows) and room for only
// eight rectangles: every change is covered, the shadow catches up and an unchanged
// picture sends nothing. Only the reported area is looked at. The rectangles of each
// round are pinned: tile-aligned, inside the picture, runs merged down the bands.
TEST(PresentDiff, RandomChangesAreAllCoveredAndShadowCatchesUpPinned) {
    Picture picture(203, 117), shadow(203, 117);
    std::mt19937 random(7);
    PresentRect rects[8];
    PinnedRun pin("present-diff-rectangles");
    for (int round = 0; round < 20; ++round) {
        uint64_t pinned = 0;
        ASSERT_EQ(picture.diff(shadow, PlatRect{0, 0, 203, 117}, rects, 8), 0);
        std::vector<std::pair<int32_t, int32_t>> changed(random() % 40 + 1);
        for (auto& [x, y] : changed)
            x = int32_t(random() % 203), y = int32_t(random() % 117), picture.set(x, y, random() | 1);
        const int32_t n = picture.diff(shadow, PlatRect{0, 0, 203, 117}, rects, 8);
        ASSERT_LE(n, 8);
        for (auto& [x, y] : changed) EXPECT_TRUE(covered(rects, n, x, y));
        for (int32_t i = 0; i < n; ++i)
            for (int32_t v : {rects[i].x, rects[i].y, rects[i].width, rects[i].height}) fold(pinned, uint32_t(v));
        pin.frame("round " + std::to_string(round) + ", " + std::to_string(n) + " rectangles", nullptr, pinned);
        ASSERT_EQ(picture.bits, shadow.bits);
    }
    pin.check();
    picture.set(10, 10, 0xFFFFFF);
    picture.set(150, 100, 0xFFFFFF);
    EXPECT_EQ(picture.diff(shadow, PlatRect{300, 0, 400, 100}, rects, 8), 0);   // outside the picture
    const int32_t n = picture.diff(shadow, PlatRect{128, 64, 203, 117}, rects, 8);
    EXPECT_TRUE(n == 1 && covered(rects, n, 150, 100) && !covered(rects, n, 10, 10));
}

// Random marks on a picture of partial tiles: the rectangles cover exactly the marked
// tiles and clear the marks; with room for only two, every mark is still covered.
TEST(PresentTiles, RectanglesCoverExactlyTheMarksAndClearThem) {
    std::mt19937 random(5);
    const int32_t width = 203, height = 117, columns = (width + PresentTileWidth - 1) / PresentTileWidth;
    const int32_t bands = (height + PresentTileRows - 1) / PresentTileRows;
    for (int32_t trial = 0; trial < 200; ++trial) {
        std::vector<uint8_t> marked(size_t(columns) * bands);
        for (uint8_t& t : marked) t = random() % 4 == 0;
        for (int32_t capacity : {64, 2}) {
            std::vector<uint8_t> tiles = marked;
            PresentRect rects[64];
            const int32_t n = presentTileRects(tiles.data(), columns, 0, bands, width, height, rects, capacity);
            ASSERT_LE(n, capacity);
            EXPECT_EQ(tiles, std::vector<uint8_t>(tiles.size(), 0));
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x = 0; x < width; ++x) {
                    const bool inside = covered(rects, n, x, y);
                    const bool mark = marked[size_t(y / PresentTileRows) * columns + size_t(x / PresentTileWidth)];
                    ASSERT_TRUE(capacity == 2 ? inside || !mark : inside == mark) << trial << " " << x << "," << y;
                }
        }
    }
}

// Where the picture goes: filled by the largest factor, whole or not (the screens people
// have), by whole factors up to a limit, reduced into a small window; a mouse point maps
// back into the picture, points in the bars held at its edge.
TEST(PresentScale, PlacementFillsWholeFactorsOrReduces) {
    const struct {
        int32_t picture[2], screen[2], limit;
        PresentRect place;
    } cases[] = {{{800, 640}, {1920, 1080}, 0, {285, 0, 1350, 1080}},
                 {{800, 640}, {1366, 768}, 0, {203, 0, 960, 768}},
                 {{800, 640}, {1080, 1920}, 0, {0, 528, 1080, 864}},
                 {{800, 640}, {3840, 2160}, 0, {570, 0, 2700, 2160}},
                 {{640, 480}, {1920, 1080}, 0, {240, 0, 1440, 1080}},
                 {{800, 640}, {1920, 1080}, 1, {560, 220, 800, 640}},
                 {{800, 640}, {3840, 2160}, 2, {1120, 440, 1600, 1280}},
                 {{800, 640}, {3840, 2160}, 64, {720, 120, 2400, 1920}},
                 {{640, 480}, {320, 200}, 1, {27, 0, 266, 200}},
                 {{1, 1}, {5, 3}, 0, {1, 0, 3, 3}},
                 {{800, 640}, {0, 1080}, 0, {0, 0, 0, 0}}};
    for (const auto& c : cases) {
        const PresentRect p = presentPlace(c.picture[0], c.picture[1], c.screen[0], c.screen[1], c.limit);
        EXPECT_EQ(std::vector<int32_t>({p.x, p.y, p.width, p.height}),
                  std::vector<int32_t>({c.place.x, c.place.y, c.place.width, c.place.height}))
            << c.screen[0] << "x" << c.screen[1] << " limit " << c.limit;
    }
    // Points in the bars are held at the picture's edge; the picture lower down on a
    // portrait screen.
    const struct {
        PresentRect place;
        int32_t picture[2], point[2], want[2];
    } points[] = {{{240, 0, 1440, 1080}, {640, 480}, {240 + 1439, 1079}, {639, 479}},
                  {{240, 0, 1440, 1080}, {640, 480}, {5, 2000}, {0, 479}},
                  {{240, 0, 1440, 1080}, {640, 480}, {249, 9}, {4, 4}},
                  {{0, 528, 1080, 864}, {800, 640}, {1079, 528 + 863}, {799, 639}},
                  {{0, 528, 1080, 864}, {800, 640}, {2000, 100}, {799, 0}},
                  {{0, 528, 1080, 864}, {800, 640}, {9, 537}, {6, 6}},
                  {{0, 528, 1080, 864}, {800, 640}, {0, 5000}, {0, 639}}};
    for (const auto& p : points) {
        int32_t px, py;
        presentPictureCoordinates(p.place, p.picture[0], p.picture[1], p.point[0], p.point[1], &px, &py);
        EXPECT_EQ(std::vector<int32_t>({px, py}), std::vector<int32_t>({p.want[0], p.want[1]}))
            << p.point[0] << "," << p.point[1];
    }
}

// The plain way to the same pixels: the picture enlarged by the next whole factor with
// nearest neighbour, then each screen pixel the exact average of the area it covers;
// reduced, each pixel the rounded average of the picture pixels in its box.
uint32_t plainScaled(Picture& p, int32_t width, int32_t height, int32_t x, int32_t y) {
    if (width < p.width) {
        const auto box = [](int32_t d, int32_t src, int32_t dst) {
            return std::pair(d * src / dst, std::max((d + 1) * src / dst, d * src / dst + 1));
        };
        const auto [x0, x1] = box(x, p.width, width);
        const auto [y0, y1] = box(y, p.height, height);
        uint32_t v = 0, n = uint32_t((x1 - x0) * (y1 - y0));
        for (int c = 0; c < 3; ++c) {
            uint32_t sum = 0;
            for (int32_t sy = y0; sy < y1; ++sy)
                for (int32_t sx = x0; sx < x1; ++sx) sum += p.at(sx, sy)[c];
            v |= (sum + n / 2) / n << (8 * c);
        }
        return v;
    }
    const int32_t kx = (width + p.width - 1) / p.width, ky = (height + p.height - 1) / p.height;
    const double ex0 = double(x) * p.width * kx / width, ex1 = double(x + 1) * p.width * kx / width;
    const double ey0 = double(y) * p.height * ky / height, ey1 = double(y + 1) * p.height * ky / height;
    double sum[3] = {0, 0, 0};
    for (int32_t ey = int32_t(ey0); ey < ey1; ++ey)
        for (int32_t ex = int32_t(ex0); ex < ex1; ++ex) {
            const double area = (std::min(ex1, ex + 1.0) - std::max(ex0, double(ex))) *
                                (std::min(ey1, ey + 1.0) - std::max(ey0, double(ey)));
            for (int c = 0; c < 3; ++c) sum[c] += area * p.at(ex / kx, ey / ky)[c];
        }
    const double total = (ex1 - ex0) * (ey1 - ey0);
    uint32_t v = 0;
    for (int c = 0; c < 3; ++c) v |= uint32_t(sum[c] / total + 0.5) << (8 * c);
    return v;
}

// Against the plain way, on factors at, just above and just below whole numbers, a 1-pixel
// picture, odd sizes and a reduced picture: within one step of each channel (the weights
// are 256ths), equal at whole factors and reduced; a failure names the first pixel off.
// Nothing is drawn outside, and a change redrawn through its span alone gives the whole.
TEST(PresentScale, SharpScalingMatchesThePlainWayAndSpansCoverChanges) {
    const int32_t cases[][4] = {{64, 48, 64, 48},  {64, 48, 128, 96}, {64, 48, 192, 144}, {64, 48, 65, 49},
                                {64, 48, 127, 95}, {64, 48, 129, 97}, {64, 48, 191, 143}, {1, 1, 5, 3},
                                {1, 1, 1, 1},      {7, 5, 11, 9},     {3, 1, 17, 2},      {5, 7, 6, 13},
                                {64, 48, 26, 20}};
    std::mt19937 random(11);
    PresentScaler scaler{};
    for (const auto& c : cases) {
        Picture picture(c[0], c[1]);
        for (uint8_t& b : picture.bits) b = uint8_t(random());
        const int32_t width = c[2], height = c[3];
        const int32_t allowed = (width % c[0] == 0 && height % c[1] == 0) || width < c[0] ? 0 : 1;
        // A canvas's order (red, green, blue and 255) must hold the same pixels.
        PresentScaler rgba{};
        ASSERT_TRUE(presentScalerPrepare(scaler, c[0], c[1], width, height));
        ASSERT_TRUE(presentScalerPrepare(rgba, c[0], c[1], width, height, true));
        Screen all(width + 3, height + 2), part(width + 3, height + 2), canvas(width + 3, height + 2);
        const auto scale = [&](PresentScaler& s, PresentRect area, Screen& screen) {   // placed at (2, 1)
            presentScale(s, picture.bits.data(), picture.stride, area, screen.pixels.data(), screen.pitch, 2, 1);
        };
        scale(scaler, {0, 0, width, height}, all);
        scale(rgba, {0, 0, width, height}, canvas);
        presentScalerRelease(rgba);
        std::ostringstream wrong;   // the first pixel off, in screen coordinates
        for (int32_t y = 0; y < height + 2 && wrong.tellp() == 0; ++y)
            for (int32_t x = 0; x < width + 3 && wrong.tellp() == 0; ++x) {
                const bool inside = x >= 2 && x < width + 2 && y >= 1 && y <= height;
                const uint32_t got = all.get(x, y);
                const uint32_t want = inside ? plainScaled(picture, width, height, x - 2, y - 1) : 0;
                int32_t off = 0;
                for (int ch = 0; ch < 32; ch += 8)
                    off = std::max(off, std::abs(int32_t(got >> ch & 0xFF) - int32_t(want >> ch & 0xFF)));
                if (off > allowed)
                    wrong << "pixel (" << x << ", " << y << ") is 0x" << std::hex << got
                          << ", expected 0x" << want << (inside ? "" : " (outside the picture)");
                else if (inside && canvas.get(x, y) != ((got >> 16 & 0xFF) | (got & 0xFF00) | (got & 0xFF) << 16 |
                                                        0xFF000000u))
                    wrong << "canvas pixel (" << x << ", " << y << ") is 0x" << std::hex << canvas.get(x, y);
            }
        EXPECT_EQ(wrong.str(), "") << c[0] << "x" << c[1] << " to " << width << "x" << height;
        // Change a block of the picture, redraw its span on the old screen: as the whole.
        part.pixels = all.pixels;
        const int32_t sx = int32_t(random() % c[0]), sy = int32_t(random() % c[1]);
        const int32_t sw = 1 + int32_t(random() % (c[0] - sx)), sh = 1 + int32_t(random() % (c[1] - sy));
        for (int32_t y = sy; y < sy + sh; ++y)
            for (int32_t x = sx; x < sx + sw; ++x) picture.set(x, y, uint32_t(random()));
        int32_t x0, x1, y0, y1;
        presentScaledSpan(sx, sx + sw, c[0], width, &x0, &x1);
        presentScaledSpan(sy, sy + sh, c[1], height, &y0, &y1);
        scale(scaler, {x0, y0, x1 - x0, y1 - y0}, part);
        scale(scaler, {0, 0, width, height}, all);
        EXPECT_EQ(part.pixels, all.pixels) << c[2] << "x" << c[3];
    }
    presentScalerRelease(scaler);
}

// The raised and the pressed button with its letters, and one clipped at the corner, pinned.
TEST(PresentButton, RaisedAndPressedFramesAndTextPinned) {
    Screen screen(448, 320);
    PinnedRun pin("present-button");
    for (const auto& [button, pressed] : {std::pair<PresentRect, bool>{{144, 275, 160, 40}, false},
                                          {{144, 275, 160, 40}, true}, {{400, 300, 160, 40}, false}}) {
        presentDrawButton(screen.pixels.data(), screen.pitch, 448, 320, button, "OK", pressed);
        PinPicture shown{448, 320, std::vector<uint8_t>(448 * 320 * 3)};   // the 32-bit screen in 24 bits
        for (int32_t y = 0; y < 320; ++y)
            for (int32_t x = 0; x < 448; ++x)
                std::memcpy(&shown.bits[((319 - y) * 448 + x) * 3], &screen.pixels[y * screen.pitch + x * 4], 3);
        pin.frame(std::string(pressed ? "pressed" : "raised") + " at " + std::to_string(button.x), shown);
    }
    pin.check();   // on a break look at the frame's colours and where the letters go
}

}  // namespace
