// The sdl backend's presentation helpers: what changed since the last present, the rows
// converted to the window's format, the picture placed and scaled, the push button.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "platform/sdl/present_diff.h"
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
// picture sends nothing. Only the reported area is looked at.
TEST(SdlPresentDiff, RandomChangesAreAllCoveredAndShadowCatchesUp) {
    Picture picture(203, 117), shadow(203, 117);
    std::mt19937 random(7);
    PresentRect rects[8];
    uint64_t pinned = 0;
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(picture.diff(shadow, PlatRect{0, 0, 203, 117}, rects, 8), 0);
        std::vector<std::pair<int32_t, int32_t>> changed(random() % 40 + 1);
        for (auto& [x, y] : changed)
            x = int32_t(random() % 203), y = int32_t(random() % 117), picture.set(x, y, random() | 1);
        const int32_t n = picture.diff(shadow, PlatRect{0, 0, 203, 117}, rects, 8);
        ASSERT_LE(n, 8);
        for (auto& [x, y] : changed) EXPECT_TRUE(covered(rects, n, x, y));
        for (int32_t i = 0; i < n; ++i)
            for (int32_t v : {rects[i].x, rects[i].y, rects[i].width, rects[i].height}) fold(pinned, uint32_t(v));
        ASSERT_EQ(picture.bits, shadow.bits);
    }
    // The rectangles: tile-aligned, inside the picture, runs merged down the bands.
    EXPECT_EQ(pinned, 0x113fd186e7c32d20ull);
    picture.set(10, 10, 0xFFFFFF);
    picture.set(150, 100, 0xFFFFFF);
    EXPECT_EQ(picture.diff(shadow, PlatRect{300, 0, 400, 100}, rects, 8), 0);   // outside the picture
    const int32_t n = picture.diff(shadow, PlatRect{128, 64, 203, 117}, rects, 8);
    EXPECT_TRUE(n == 1 && covered(rects, n, 150, 100) && !covered(rects, n, 10, 10));
}

// Random marks on a picture of partial tiles: the rectangles cover exactly the marked
// tiles and clear the marks; with room for only two, every mark is still covered.
TEST(SdlPresentTiles, RectanglesCoverExactlyTheMarksAndClearThem) {
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

// The 640 x 480 picture fills the screen keeping its aspect (bars left and right on a
// wide one, above and below on a tall one, scaled down in a small host window); a mouse
// point maps back into the picture, points in the bars held at its edge.
TEST(SdlPresentScale, NarrowPictureFillsDesktopKeepingAspect) {
    const struct {
        int32_t width, height;
        PresentRect place;
        int32_t mouse[2], picture[2];
    } cases[] = {{1024, 768, {0, 0, 1024, 768}, {1023, 0}, {639, 0}},
                 {1920, 1080, {240, 0, 1440, 1080}, {240 + 1439, 1079}, {639, 479}},
                 {1920, 1080, {240, 0, 1440, 1080}, {5, 2000}, {0, 479}},
                 {1280, 1024, {0, 32, 1280, 960}, {0, 32}, {0, 0}},
                 {320, 200, {27, 0, 266, 200}, {27, 0}, {0, 0}}};
    for (const auto& c : cases) {
        const PresentRect place = presentPlace(640, 480, c.width, c.height);
        int32_t px, py;
        presentPictureCoordinates(place, 640, 480, c.mouse[0], c.mouse[1], &px, &py);
        const PresentRect& p = c.place;
        EXPECT_EQ(std::vector<int32_t>({place.x, place.y, place.width, place.height, px, py}),
                  std::vector<int32_t>({p.x, p.y, p.width, p.height, c.picture[0], c.picture[1]}))
            << c.width << " " << c.mouse[0];
    }
}

// Whole pictures are pinned; a source span redrawn alone gives exactly the pixels of the
// whole, and the destination span holds every pixel whose source (box) it touches.
TEST(SdlPresentScale, ScaledAndReducedPicturesAndTheirParts) {
    using Convert = void (*)(const uint8_t*, int32_t, int32_t, int32_t, const PresentRect&, const PresentRect&,
                             uint8_t*, int32_t);
    using Span = void (*)(int32_t, int32_t, int32_t, int32_t, int32_t*, int32_t*);
    const struct {
        int32_t width, height;
        Convert convert;
        Span span;
        bool exact;   // the span holds no pixel beyond those touching the source
    } cases[] = {{80, 48,
                  [](const uint8_t* bits, int32_t, int32_t height, int32_t stride, const PresentRect& place,
                     const PresentRect& dest, uint8_t* pixels, int32_t pitch) {
                      const PresentRect from = {dest.x - place.x, dest.y - place.y, dest.width, dest.height};
                      presentConvert(bits, height, stride, from, pixels, pitch, dest.x, dest.y);
                  },
                  presentScaledSpan, true},   // 64 x 48 at x 8
                 {150, 100, presentConvertScaled, presentScaledSpan, true},
                 {30, 20, presentConvertReduced, presentReducedSpan, false},   // 26 x 20
                 {1919, 1080, presentConvertScaled, presentScaledSpan, true}};
    Picture picture(64, 48);
    std::mt19937 random(3);
    for (uint8_t& b : picture.bits) b = uint8_t(random());
    // The source box [first, end) of destination pixel d: one pixel when enlarging.
    auto box = [](int32_t d, int32_t src, int32_t dst) {
        return std::pair<int32_t, int32_t>(d * src / dst, std::max((d + 1) * src / dst, d * src / dst + 1));
    };
    uint64_t pinned = 0;
    uint32_t last = 0;   // the bottom-right pixel, shown as it is unless reduced
    std::memcpy(&last, picture.at(63, 47), 3);
    for (const auto& c : cases) {
        const PresentRect place = presentPlace(64, 48, c.width, c.height);
        Screen whole(c.width, c.height), part(c.width, c.height);
        c.convert(picture.bits.data(), 64, 48, picture.stride, place, place, whole.pixels.data(), whole.pitch);
        for (int32_t y = 0; y < c.height; ++y)
            for (int32_t x = 0; x < c.width; ++x) fold(pinned, whole.get(x, y));
        if (c.exact) {
            EXPECT_EQ(whole.get(place.x + place.width - 1, place.y + place.height - 1), last) << c.width;
        }
        int32_t x0, x1, y0, y1;
        for (int32_t s0 = 0; s0 < 64; s0 += 13) {
            c.span(s0, std::min(s0 + 16, 64), 64, place.width, &x0, &x1);
            for (int32_t x = 0; x < place.width; ++x) {
                const auto [sx0, sx1] = box(x, 64, place.width);
                const bool touches = sx1 > s0 && sx0 < s0 + 16, inside = x >= x0 && x < x1;
                EXPECT_TRUE(c.exact ? touches == inside : inside || !touches) << c.width << " " << x;
            }
        }
        c.span(13, 29, 64, place.width, &x0, &x1);
        c.span(5, 40, 48, place.height, &y0, &y1);
        const PresentRect dest = {place.x + x0, place.y + y0, x1 - x0, y1 - y0};
        c.convert(picture.bits.data(), 64, 48, picture.stride, place, dest, part.pixels.data(), part.pitch);
        for (int32_t y = dest.y; y < dest.y + dest.height; ++y)
            for (int32_t x = dest.x; x < dest.x + dest.width; ++x) ASSERT_EQ(part.get(x, y), whole.get(x, y)) << x;
        EXPECT_EQ(part.get(0, 0), 0u) << c.width;   // outside the placement stays black
    }
    // At its size each pixel, enlarged the nearest source pixel, reduced its box's rounded average.
    EXPECT_EQ(pinned, 0xc47b04f7b5a0c1c2ull);
}

// The raised and the pressed button with its letters, and one clipped at the corner, pinned.
TEST(SdlPresentButton, RaisedAndPressedFramesAndText) {
    Screen screen(448, 320);
    uint64_t pinned = 0;
    for (const auto& [button, pressed] : {std::pair<PresentRect, bool>{{144, 275, 160, 40}, false},
                                          {{144, 275, 160, 40}, true}, {{400, 300, 160, 40}, false}}) {
        presentDrawButton(screen.pixels.data(), screen.pitch, 448, 320, button, "OK", pressed);
        for (int32_t y = 0; y < 320; ++y)
            for (int32_t x = 0; x < 448; ++x) fold(pinned, screen.get(x, y));
    }
    EXPECT_EQ(screen.get(144, 275), 0x404040u);   // the pressed button's dark top-left corner
    EXPECT_EQ(screen.get(400, 300), 0xFFFFFFu);   // the clipped one's lit corner
    // On a break look at the frame's colours and where the letters go.
    EXPECT_EQ(pinned, 0x6dc11029e3a556c2ull);
}

}  // namespace
