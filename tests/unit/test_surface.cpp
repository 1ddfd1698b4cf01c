// Surfaces and blitters: creation and bitmaps, then every operation on every row-loop
// path held byte for byte to plain reference loops (which fix the pixel layout).
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "../support/test_surface_memory.h"
#include "gfx/blit_path.h"
#include "gfx/pixel_math.h"
#include "gfx/surface.h"
#include "platform/embedded.h"
#include "platform/soft/soft.h"

namespace {

// ---- Reference loops: row by row, left to right, blue-green-red, leaving out every
// pixel that any Surface does not hold.

bool holds(const Surface& s, int64_t x, int64_t y) {
    return s.bits != nullptr && x >= 0 && y >= 0 && x < s.width && y < s.height;
}

uint8_t* at(const Surface& s, int64_t x, int64_t y) {
    return s.bits + (s.height - 1 - y) * s.stride + x * 3;
}

bool keyPixel(const uint8_t* p) { return p[0] == 0 && p[1] == 255 && p[2] == 0; }

// Calls f(destination, a, b) for each pixel of the rectangle that all three Surfaces hold.
template <typename F>
void refWalk(Surface& d, int dx, int dy, int w, int h, const Surface& a, int ax, int ay,
             const Surface& b, int bx, int by, F f) {
    for (int i = 0; i < h; ++i)
        for (int j = 0; j < w; ++j)
            if (holds(d, dx + j, dy + i) && holds(a, ax + j, ay + i) && holds(b, bx + j, by + i))
                f(at(d, dx + j, dy + i), at(a, ax + j, ay + i), at(b, bx + j, by + i));
}

void refPut(Surface& s, int64_t x, int64_t y, uint32_t colour) {
    if (!holds(s, x, y)) return;
    uint8_t* p = at(s, x, y);
    for (int c = 0; c < 3; ++c) p[c] = uint8_t(colour >> (8 * c));
}

// Loops stop one pixel outside the Surface, so extreme corners cost nothing.
void refRect(Surface& s, int64_t left, int64_t top, int64_t right, int64_t bottom,
             uint32_t colour, uint32_t mode) {
    const int64_t x0 = std::max<int64_t>(left, -1), x1 = std::min<int64_t>(right, s.width);
    const int64_t y0 = std::max<int64_t>(top, -1), y1 = std::min<int64_t>(bottom, s.height);
    for (int64_t y = y0; y <= y1; ++y) {
        for (int64_t x = x0; x <= x1; ++x)
            if (mode == RectFill || (mode == RectFrame && (y == top || y == bottom))) refPut(s, x, y, colour);
        if (mode == RectFrame) refPut(s, left, y, colour), refPut(s, right, y, colour);
    }
}

std::vector<uint8_t> bytesOf(const Surface& s) {
    return std::vector<uint8_t>(s.bits, s.bits + memorySurfaceBytes(s));
}

// Random pictures with the features the fast loops care about: runs of the key colour,
// isolated key pixels, near-key colours, and padding bytes that must stay as they are.
void fillRandom(Surface& s, std::mt19937& rng) {
    for (size_t i = 0; i < memorySurfaceBytes(s); ++i) s.bits[i] = uint8_t(rng());
    static const uint32_t nearKey[] = {0x00FF00, 0x00FE00, 0x00FF01, 0x01FF00, 0x000000, 0xFFFFFF, 0x00FF00};
    const int style = int(rng() % 4);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width;) {
            const int run = 1 + int(rng() % (style == 0 ? 3 : 40));
            const bool key = rng() % 3 == 0 || style == 3;
            for (int k = 0; k < run && x < s.width; ++k, ++x)
                if (key || rng() % 8 == 0) putPixel(s, x, y, key ? keyColour : nearKey[rng() % 7]);
        }
}

// A Surface used by the real operations and its twin used by the reference loops.
struct Pair {
    MemorySurface real, twin;
    Pair(int w, int h) : real(w, h), twin(w, h) {}
    void sync() { std::memcpy(twin.surface.bits, real.surface.bits, memorySurfaceBytes(real.surface)); }
    bool same() const { return bytesOf(real.surface) == bytesOf(twin.surface); }
};

int around(std::mt19937& rng, int extent) { return int(rng() % uint32_t(extent + 40)) - 20; }

// Through the headless platform: the record describes the memory; a failed or released
// Surface is an empty record that drawing, reading, loading and releasing again leave alone.
TEST(SurfaceLifecycle, CreateFailAndRelease) {
    const struct {
        int32_t width, height, bits, stride;   // stride 0: refused
    } rows[] = {{435, 3, 24, 1308}, {640, 3, 24, 1920}, {448, 3, 24, 1344}, {1, 3, 24, 4},
                {0, 10, 24, 0}, {10, -10, 24, 0}, {10, 10, 32, 0}, {INT_MAX, INT_MAX, 24, 0}};
    for (const auto& r : rows) {
        Surface s{};
        ASSERT_EQ(createSurface(s, nullptr, r.width, r.height, r.bits), r.stride != 0 ? 1 : 0) << r.width;
        const BitmapInfoHeader& h = s.info.header;
        if (r.stride != 0) {
            EXPECT_EQ(std::vector<int64_t>({s.stride, s.width, s.height, h.width, h.height, h.bitCount, h.sizeImage}),
                      std::vector<int64_t>({r.stride, r.width, 3, r.width, 3, 24, r.stride * 3}));
            EXPECT_EQ(bytesOf(s), std::vector<uint8_t>(size_t(r.stride) * 3, 0));
        }
        EXPECT_EQ(loadBitmapResource(s, r.stride != 0 ? 999 : 104), 0);
        releaseSurface(s);
        EXPECT_TRUE(s.bits == nullptr && s.hdc == nullptr && s.width == 0) << r.width;
        releaseSurface(s);
        drawRect(s, 0, 0, 9, 9, 0xFFFFFF, RectFill);
        putPixel(s, 0, 0, 1);
        EXPECT_EQ(getPixel(s, 0, 0), 0u);
    }
}

TEST(PixelMath, DivideBy255IsExact) {
    for (uint32_t x = 0; x <= DivideBy255Limit; ++x) ASSERT_EQ(divideBy255(x), x / 255u) << x;
}

// Runs a test body once for every row-loop path this machine offers.
template <typename Body>
void onEveryPath(Body body) {
    for (BlitPath path : {BlitPortable, BlitSse2, BlitAvx2}) {
        if (setBlitPath(path) != path) continue;
        SCOPED_TRACE(testing::Message() << "path " << int(path));
        body();
    }
    setBlitPath(bestBlitPath());
}

// Sizes with every kind of row padding and both sides of the 16-pixel group; the same
// Surface for destination and sources now and then (in-place mixes, overlapping copies).
void compareRandomRectangles(uint32_t seed) {
    static const int widths[] = {1, 2, 3, 5, 15, 16, 17, 31, 33, 48, 50, 67}, heights[] = {1, 2, 3, 9, 21};
    std::mt19937 rng(seed);
    for (int round = 0; round < 120; ++round) {
        Pair pairs[3] = {Pair(widths[rng() % 12], heights[rng() % 5]), Pair(widths[rng() % 12], heights[rng() % 5]),
                         Pair(widths[rng() % 12], heights[rng() % 5])};
        for (Pair& p : pairs) fillRandom(p.real, rng), p.sync();
        for (int op = 0; op < 40; ++op) {
            const int di = int(rng() % 3);
            const int si = rng() % 4 == 0 ? di : int(rng() % 3), bi = rng() % 4 == 0 ? di : int(rng() % 3);
            Surface &d = pairs[di].real, &dt = pairs[di].twin;
            const Surface &s = pairs[si].real, &st = pairs[si].twin, &b = pairs[bi].real, &bt = pairs[bi].twin;
            const int w = int(rng() % uint32_t(d.width + 30)) - 4, h = int(rng() % uint32_t(d.height + 30)) - 4;
            const int dx = around(rng, d.width), dy = around(rng, d.height);
            int sx = around(rng, s.width), sy = around(rng, s.height);
            int bx = around(rng, b.width), by = around(rng, b.height);
            if (rng() % 3 == 0) {   // often the same corner (a mix in place) or a near one
                const bool near = rng() % 2 == 0;
                sx = dx + (near ? int(rng() % 7) - 3 : 0);
                sy = dy + (near ? int(rng() % 3) - 1 : 0);
            }
            if (rng() % 4 == 0) bx = dx, by = dy;
            const int kind = int(rng() % 5), key = int(rng() % 2);
            // Darkness just past a byte and beyond; often the levels that are plain copies
            // (0, 255); above 255 the weights wrap.
            const uint32_t darkness = rng() % 4 == 0 ? (rng() % 3 == 0 ? 256 : rng()) : rng() % 256;
            const uint32_t level = rng() % 4 == 0 ? 255 * (rng() % 2) : rng() % 5 == 0 ? rng() % 600 : rng() % 256;
            if (kind < 2) {
                copyRect(d, dx, dy, w, h, s, sx, sy, key);
                refWalk(dt, dx, dy, w, h, st, sx, sy, st, sx, sy, [&](uint8_t* o, const uint8_t* p, const uint8_t*) {
                    if (key == 0 || !keyPixel(p)) std::memmove(o, p, 3);
                });
            } else if (kind == 2) {
                fadeRect(d, dx, dy, w, h, s, sx, sy, darkness);
                refWalk(dt, dx, dy, w, h, st, sx, sy, st, sx, sy, [&](uint8_t* o, const uint8_t* p, const uint8_t*) {
                    for (int c = 0; c < 3; ++c) o[c] = p[c] > darkness ? uint8_t(p[c] - darkness) : 0;
                });
            } else {
                crossFadeRect(d, dx, dy, w, h, s, sx, sy, b, bx, by, level, key);
                refWalk(dt, dx, dy, w, h, st, sx, sy, bt, bx, by, [&](uint8_t* o, const uint8_t* p, const uint8_t* q) {
                    if (key == 1 && keyPixel(q)) return;
                    for (int c = 0; c < 3; ++c) o[c] = uint8_t((p[c] * (255u - level) + q[c] * level) / 255u);
                });
            }
            for (int k = 0; k < 3; ++k)
                ASSERT_TRUE(pairs[k].same()) << round << " " << op << " kind " << kind << " on " << di << si << bi;
        }
    }
}

TEST(BlitterEquivalence, RandomRectanglesMatchTheByteLoops) {
    onEveryPath([] { compareRandomRectangles(20240607); });
}

// Rectangles and pixels, now and then with corners at the ends of the int range.
TEST(BlitterEquivalence, RandomRectsAndPixels) {
    std::mt19937 rng(7);
    Pair p(37, 23);
    fillRandom(p.real, rng);
    p.sync();
    auto coord = [&](int extent) { return rng() % 8 != 0 ? around(rng, extent) : rng() % 2 ? INT_MIN : INT_MAX; };
    for (int i = 0; i < 3000; ++i) {
        const int left = coord(37), right = coord(37), top = coord(23), bottom = coord(23);
        const uint32_t colour = rng(), mode = rng() % 4;
        drawRect(p.real, left, top, right, bottom, colour, mode);
        refRect(p.twin, left, top, right, bottom, colour, mode);
        putPixel(p.real, left, top, colour);
        refPut(p.twin, left, top, colour);
        ASSERT_TRUE(p.same()) << left << "," << top << " " << right << "," << bottom << " mode " << mode;
        ASSERT_EQ(getPixel(p.real, right, bottom), holds(p.twin, right, bottom) ? getPixel(p.twin, right, bottom) : 0u);
    }
}

// Rectangles far outside on every side, on Surfaces down to one pixel and an empty record
// (no pixel memory); run under AddressSanitizer any stray access is a failure.
TEST(BlitterBounds, ExtremeRectanglesStayInside) {
    onEveryPath([] {
        const int32_t positions[] = {INT_MIN, -1000000, -33, -1, 0, 1, 5, 31, 1000000, INT_MAX};
        const int32_t sizes[] = {INT_MIN, -1, 0, 1, 2, 33, 700, INT_MAX};
        MemorySurface big(33, 9), tiny(1, 1), narrow(2, 40);
        Surface empty{};
        std::mt19937 rng(3);
        Surface* all[] = {&big.surface, &tiny.surface, &narrow.surface, &empty};
        for (Surface* s : all) fillRandom(*s, rng);
        auto pos = [&] { return positions[rng() % 10]; };
        for (int i = 0; i < 6000; ++i) {
            Surface& d = *all[rng() % 4];
            const Surface &s = *all[rng() % 4], &b = *all[rng() % 4];
            const int32_t w = sizes[rng() % 8], h = sizes[rng() % 8];
            copyRect(d, pos(), pos(), w, h, s, pos(), pos(), int32_t(rng() % 2));
            fadeRect(d, pos(), pos(), w, h, s, pos(), pos(), rng());
            crossFadeRect(d, pos(), pos(), w, h, s, pos(), pos(), b, pos(), pos(), rng() % 300, int32_t(rng() % 2));
        }
    });
}

}  // namespace
