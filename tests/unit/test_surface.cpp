// Surfaces and blitters: the documented pixel layout and results, the clipping that keeps
// every call inside its Surfaces, and the fast row loops checked byte for byte against
// plain reference loops.
#include <gtest/gtest.h>

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

// ---- Reference loops ---------------------------------------------------------------
// Written straight from the pixel rules: walk the requested rectangle row by row, left to
// right, blue-green-red, and leave out every pixel that any Surface does not hold.

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

void refCopy(Surface& d, int dx, int dy, int w, int h, const Surface& s, int sx, int sy, int key) {
    refWalk(d, dx, dy, w, h, s, sx, sy, s, sx, sy, [&](uint8_t* dp, const uint8_t* sp, const uint8_t*) {
        if (key == 0 || !keyPixel(sp)) std::memmove(dp, sp, 3);
    });
}

void refFade(Surface& d, int dx, int dy, int w, int h, const Surface& s, int sx, int sy,
             uint32_t darkness) {
    refWalk(d, dx, dy, w, h, s, sx, sy, s, sx, sy, [&](uint8_t* dp, const uint8_t* sp, const uint8_t*) {
        for (int c = 0; c < 3; ++c) dp[c] = sp[c] > darkness ? uint8_t(sp[c] - darkness) : 0;
    });
}

// Levels above 255 wrap in 32 bits, as the rule's arithmetic does.
void refMix(Surface& d, int dx, int dy, int w, int h, const Surface& a, int ax, int ay,
            const Surface& b, int bx, int by, uint32_t level, int key) {
    refWalk(d, dx, dy, w, h, a, ax, ay, b, bx, by, [&](uint8_t* dp, const uint8_t* ap, const uint8_t* bp) {
        if (key == 1 && keyPixel(bp)) return;
        for (int c = 0; c < 3; ++c)
            dp[c] = uint8_t((uint32_t(ap[c]) * (255u - level) + uint32_t(bp[c]) * level) / 255u);
    });
}

void refPut(Surface& s, int64_t x, int64_t y, uint32_t colour) {
    if (!holds(s, x, y)) return;
    uint8_t* p = at(s, x, y);
    for (int c = 0; c < 3; ++c) p[c] = uint8_t(colour >> (8 * c));
}

void refRect(Surface& s, int left, int top, int right, int bottom, uint32_t colour,
             uint32_t mode) {
    if (mode == RectFill) {
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x) refPut(s, x, y, colour);
    } else if (mode == RectFrame && bottom >= top) {
        for (int x = left; x <= right; ++x) refPut(s, x, top, colour), refPut(s, x, bottom, colour);
        for (int y = top; y <= bottom; ++y) refPut(s, left, y, colour), refPut(s, right, y, colour);
    }
}

// ---- Helpers -------------------------------------------------------------------------

std::vector<uint8_t> bytesOf(const Surface& s) {
    return std::vector<uint8_t>(s.bits, s.bits + memorySurfaceBytes(s));
}

void fillPattern(Surface& s, uint32_t seed) {
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            putPixel(s, x, y, (seed * 2654435761u) ^ uint32_t(x * 7919 + y * 104729));
}

// Random pictures with the features the fast loops care about: runs of the key colour,
// isolated key pixels, near-key colours, and padding bytes that must stay as they are.
void fillRandom(Surface& s, std::mt19937& rng) {
    const size_t n = memorySurfaceBytes(s);
    for (size_t i = 0; i < n; ++i) s.bits[i] = uint8_t(rng());
    static const uint32_t nearKey[] = {0x00FF00, 0x00FE00, 0x00FF01, 0x01FF00, 0x000000,
                                       0xFFFFFF, 0x00FF00};
    const int style = int(rng() % 4);
    for (int y = 0; y < s.height; ++y) {
        int x = 0;
        while (x < s.width) {
            const int run = 1 + int(rng() % (style == 0 ? 3 : 40));
            const bool key = rng() % 3 == 0 || style == 3;
            for (int k = 0; k < run && x < s.width; ++k, ++x) {
                if (key)
                    putPixel(s, x, y, keyColour);
                else if (rng() % 8 == 0)
                    putPixel(s, x, y, nearKey[rng() % 7]);
            }
        }
    }
}

// Three Surfaces used by the real operations and three twins used by the reference loops.
struct Pair {
    MemorySurface real;
    MemorySurface twin;
    Pair(int w, int h) : real(w, h), twin(w, h) {}
    void sync() { std::memcpy(twin.bytes(), real.bytes(), real.byteCount()); }
    bool same() const {
        return std::memcmp(real.surface.bits, twin.surface.bits, memorySurfaceBytes(real.surface)) == 0;
    }
};

// ---- Layout, single pixels, creation and bitmaps ------------------------------------------

TEST(SurfacePixels, BottomUpRowsByteOrderAndPointsOutside) {
    MemorySurface s(435, 7);
    EXPECT_EQ(s.surface.stride, 1308);
    EXPECT_EQ(pixelAddress(s, 0, 6), s.surface.bits);
    EXPECT_EQ(pixelAddress(s, 5, 2), s.surface.bits + 4 * 1308 + 15);
    putPixel(s, 2, 0, 0xAB123456);
    EXPECT_EQ(getPixel(s, 2, 0), 0x123456u);
    const uint8_t* p = pixelAddress(s, 2, 0);
    EXPECT_EQ(p[0] | p[1] << 8 | p[2] << 16, 0x123456);

    // Points outside, and every call on an empty record, change nothing.
    fillPattern(s, 1);
    const std::vector<uint8_t> before = bytesOf(s);
    for (int32_t x : {-1, 435, INT_MIN, INT_MAX, 0})
        for (int32_t y : {0, -1, 7, INT_MIN, INT_MAX}) {
            if (x == 0 && y == 0) continue;
            EXPECT_EQ(putPixel(s, x, y, 0xFFFFFF), 1);
            EXPECT_EQ(getPixel(s, x, y), 0u) << x << "," << y;
        }
    Surface empty{};
    EXPECT_EQ(getPixel(empty, 0, 0), 0u);
    putPixel(empty, 0, 0, 1);
    drawRect(empty, 0, 0, 7, 7, 1, RectFill);
    copyRect(empty, 0, 0, 8, 8, s, 0, 0, KeyOpaque);
    copyRect(s, 0, 0, 8, 8, empty, 0, 0, KeyOpaque);
    fadeRect(s, 0, 0, 8, 8, empty, 0, 0, 0);
    crossFadeRect(s, 0, 0, 8, 8, s, 0, 0, empty, 0, 0, 0, KeyOpaque);
    EXPECT_EQ(bytesOf(s), before);
}

// Through the headless platform: the record describes the memory; a failed or released
// Surface is an empty record that drawing, loading and releasing again leave alone.
TEST(SurfaceLifecycle, CreateFailAndRelease) {
    const int32_t widths[] = {435, 640, 448, 1}, strides[] = {1308, 1920, 1344, 4};
    for (int i = 0; i < 4; ++i) {
        Surface s{};
        ASSERT_EQ(createSurface(s, nullptr, widths[i], 3, 24), 1);
        EXPECT_EQ(s.stride, strides[i]);
        EXPECT_EQ(s.width, widths[i]);
        EXPECT_EQ(s.height, 3);
        EXPECT_EQ(s.info.header.width, widths[i]);
        EXPECT_EQ(s.info.header.height, 3);
        EXPECT_EQ(s.info.header.bitCount, 24);
        EXPECT_EQ(s.info.header.sizeImage, uint32_t(strides[i] * 3));
        ASSERT_NE(s.hdc, nullptr);
        EXPECT_EQ(bytesOf(s), std::vector<uint8_t>(size_t(strides[i]) * 3, 0));
        releaseSurface(s);
        EXPECT_EQ(s.bits, nullptr);
        EXPECT_EQ(s.hdc, nullptr);
        releaseSurface(s);
        putPixel(s, 0, 0, 1);
    }
    Surface s{};
    EXPECT_EQ(createSurface(s, nullptr, 0, 10, 24), 0);
    EXPECT_EQ(createSurface(s, nullptr, 10, -10, 24), 0);   // would be top-down rows
    EXPECT_EQ(createSurface(s, nullptr, 10, 10, 32), 0);    // the platform refuses
    EXPECT_EQ(createSurface(s, nullptr, 0x7FFFFFFF, 0x7FFFFFFF, 24), 0);
    EXPECT_EQ(s.bits, nullptr);
    EXPECT_EQ(s.width, 0);
    EXPECT_EQ(loadBitmapResource(s, 104), 0);
    drawRect(s, 0, 0, 9, 9, 0xFFFFFF, RectFill);
    releaseSurface(s);
}

// A bitmap fills the part of the Surface it covers, top-down, and the rest keeps its
// content; a smaller Surface takes the top-left part; an unknown picture changes nothing.
TEST(SurfaceLifecycle, BitmapFillsThePartItCovers) {
    const EmbeddedResource* resource = findEmbeddedResource(101);
    ASSERT_NE(resource, nullptr);
    SoftBitmap sheet{};
    ASSERT_TRUE(softDecodeBmp(resource->begin, uint64_t(resource->end - resource->begin), sheet));
    ASSERT_EQ(sheet.height, 863);
    for (int32_t w : {435, 50}) {
        const int32_t h = w == 435 ? 1000 : 20;
        Surface s{};
        ASSERT_EQ(createSurface(s, nullptr, w, h, 24), 1);
        drawRect(s, 0, 0, w - 1, h - 1, 0x123456, RectFill);
        const std::vector<uint8_t> before = bytesOf(s);
        EXPECT_EQ(loadBitmapResource(s, 999), 0);
        EXPECT_EQ(bytesOf(s), before);
        ASSERT_EQ(loadBitmapResource(s, 101), 1);
        for (int32_t y = 0; y < h; ++y) {
            const uint8_t* row = pixelAddress(s, 0, y);
            if (y < 863)
                ASSERT_EQ(std::memcmp(row, sheet.bits + size_t(862 - y) * size_t(sheet.stride), size_t(w) * 3), 0)
                    << "row " << y;
            else
                ASSERT_EQ(std::memcmp(row, before.data() + (row - s.bits), size_t(w) * 3), 0) << y;
        }
        releaseSurface(s);
    }
}

// ---- Documented values -----------------------------------------------------------------------
// Clipping, keys, in-place mixes and windows of every size are held to the reference loops
// below; these pin the arithmetic itself.

TEST(FadeRect, SubtractsAndStopsAtBlack) {
    MemorySurface src(20, 3), faded(20, 3);
    fillPattern(src, 6);
    putPixel(src, 0, 0, 0xC87878);   // 200, 120, 120
    fadeRect(faded, 0, 0, 20, 3, src, 0, 0, 0);
    EXPECT_EQ(bytesOf(faded), bytesOf(src));
    fadeRect(faded, 0, 0, 20, 3, src, 0, 0, 120);
    EXPECT_EQ(getPixel(faded, 0, 0), 0x500000u);   // 200 - 120 = 80; 120 - 120 = 0
    for (uint32_t darkness : {255u, 256u, 0x80000000u, 0xFFFFFFFFu}) {
        fadeRect(faded, 0, 0, 20, 3, src, 0, 0, darkness);
        EXPECT_EQ(bytesOf(faded), std::vector<uint8_t>(faded.byteCount(), 0)) << darkness;
    }
}

TEST(CrossFadeRect, DocumentedValues) {
    MemorySurface a(3, 1), b(3, 1), d(3, 1);
    const uint32_t as[] = {0x0A0A0A, 0x000000, 0x123456}, bs[] = {0x141414, 0xFFFFFF, 0xFEDCBA};
    for (int32_t x = 0; x < 3; ++x) putPixel(a, x, 0, as[x]), putPixel(b, x, 0, bs[x]);
    crossFadeRect(d, 0, 0, 3, 1, a, 0, 0, b, 0, 0, 17, KeyOpaque);
    EXPECT_EQ(getPixel(d, 0, 0), 0x0A0A0Au);   // (10 * 238 + 20 * 17) / 255 = 10
    crossFadeRect(d, 0, 0, 3, 1, a, 0, 0, b, 0, 0, 128, KeyOpaque);
    EXPECT_EQ(getPixel(d, 1, 0), 0x808080u);
    crossFadeRect(d, 0, 0, 3, 1, a, 0, 0, b, 0, 0, 255, KeyOpaque);
    EXPECT_EQ(bytesOf(d), bytesOf(b));
    // Above 255 the weights wrap but still sum to 255: a region equal to B stays.
    crossFadeRect(d, 0, 0, 3, 1, d, 0, 0, b, 0, 0, 272, KeyOpaque);
    EXPECT_EQ(bytesOf(d), bytesOf(b));
}

TEST(PixelMath, DivideBy255IsExact) {
    for (uint32_t x = 0; x <= DivideBy255Limit; ++x)
        ASSERT_EQ(divideBy255(x), x / 255u) << x;
}

TEST(DrawRect, ExtremeCornersStayInside) {
    MemorySurface s(7, 5), expected(7, 5);
    drawRect(s, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0x0000FF, RectFill);
    refRect(expected, 0, 0, 6, 4, 0x0000FF, RectFill);
    EXPECT_EQ(bytesOf(s), bytesOf(expected));
    drawRect(s, -1, -1, 7, 5, 0x00FF00, RectFrame);   // every side just outside
    EXPECT_EQ(bytesOf(s), bytesOf(expected));
    drawRect(s, -3, 2, 3, 9, 0xFF0000, RectFrame);
    refRect(expected, -3, 2, 3, 9, 0xFF0000, RectFrame);
    EXPECT_EQ(bytesOf(s), bytesOf(expected));
}

// ---- Fast loops against the reference -------------------------------------------------------

// Sizes with every kind of row padding and both sides of the 16-pixel group.
const int Widths[] = {1, 2, 3, 5, 15, 16, 17, 31, 33, 48, 50, 67};
const int Heights[] = {1, 2, 3, 9, 21};

int around(std::mt19937& rng, int extent) {
    return int(rng() % uint32_t(extent + 40)) - 20;
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

void compareRandomRectangles(uint32_t seed) {
    std::mt19937 rng(seed);
    for (int round = 0; round < 120; ++round) {
        Pair pairs[3] = {
            Pair(Widths[rng() % 12], Heights[rng() % 5]),
            Pair(Widths[rng() % 12], Heights[rng() % 5]),
            Pair(Widths[rng() % 12], Heights[rng() % 5]),
        };
        for (Pair& p : pairs) {
            fillRandom(p.real, rng);
            p.sync();
        }
        for (int op = 0; op < 40; ++op) {
            // Same Surface for destination and source now and then: in-place mixes and
            // overlapping copies.
            const int di = int(rng() % 3);
            const int si = rng() % 4 == 0 ? di : int(rng() % 3);
            const int bi = rng() % 4 == 0 ? di : int(rng() % 3);
            Surface& d = pairs[di].real;
            Surface& dt = pairs[di].twin;
            const Surface& s = pairs[si].real;
            const Surface& st = pairs[si].twin;
            const Surface& b = pairs[bi].real;
            const Surface& bt = pairs[bi].twin;
            const int w = int(rng() % uint32_t(d.width + 30)) - 4;
            const int h = int(rng() % uint32_t(d.height + 30)) - 4;
            const int dx = around(rng, d.width), dy = around(rng, d.height);
            int sx = around(rng, s.width), sy = around(rng, s.height);
            int bx = around(rng, b.width), by = around(rng, b.height);
            if (rng() % 3 == 0) {   // often the same corner (a mix in place) or a near one
                const bool near = rng() % 2 == 0;
                sx = dx + (near ? int(rng() % 7) - 3 : 0);
                sy = dy + (near ? int(rng() % 3) - 1 : 0);
            }
            if (rng() % 4 == 0) {
                bx = dx;
                by = dy;
            }
            const int kind = int(rng() % 5);
            switch (kind) {
            case 0:
            case 1: {
                const int key = kind;
                copyRect(d, dx, dy, w, h, s, sx, sy, key);
                refCopy(dt, dx, dy, w, h, st, sx, sy, key);
                break;
            }
            case 2: {
                const uint32_t darkness = rng() % 4 == 0 ? rng() : rng() % 256;
                fadeRect(d, dx, dy, w, h, s, sx, sy, darkness);
                refFade(dt, dx, dy, w, h, st, sx, sy, darkness);
                break;
            }
            default: {
                const uint32_t level = rng() % 5 == 0 ? rng() % 600 : rng() % 256;
                const int key = int(rng() % 2);
                crossFadeRect(d, dx, dy, w, h, s, sx, sy, b, bx, by, level, key);
                refMix(dt, dx, dy, w, h, st, sx, sy, bt, bx, by, level, key);
                break;
            }
            }
            for (int k = 0; k < 3; ++k)
                ASSERT_TRUE(pairs[k].same())
                    << "round " << round << " op " << op << " kind " << kind << " surfaces " << di
                    << si << bi << " rect " << dx << "," << dy << " " << w << "x" << h << " from "
                    << sx << "," << sy << " / " << bx << "," << by;
        }
    }
}

TEST(BlitterEquivalence, RandomRectanglesMatchTheByteLoops) {
    onEveryPath([] { compareRandomRectangles(20240607); });
}

TEST(BlitterEquivalence, RandomRectsAndPixels) {
    std::mt19937 rng(7);
    Pair p(37, 23);
    fillRandom(p.real, rng);
    p.sync();
    for (int i = 0; i < 3000; ++i) {
        const int left = around(rng, 37), right = around(rng, 37);
        const int top = around(rng, 23), bottom = around(rng, 23);
        const uint32_t colour = rng();
        const uint32_t mode = rng() % 4;
        drawRect(p.real, left, top, right, bottom, colour, mode);
        refRect(p.twin, left, top, right, bottom, colour, mode);
        putPixel(p.real, left, top, colour);
        refPut(p.twin, left, top, colour);
        ASSERT_TRUE(p.same()) << left << "," << top << " " << right << "," << bottom << " mode " << mode;
        ASSERT_EQ(getPixel(p.real, right, bottom),
                  holds(p.twin, right, bottom) ? getPixel(p.twin, right, bottom) : 0u);
    }
}

// Rectangles far outside on every side, on Surfaces down to one pixel; run under
// AddressSanitizer any stray access is a failure.
void blitExtremeRectangles() {
    const int32_t positions[] = {INT_MIN, -1000000, -33, -1, 0, 1, 5, 31, 1000000, INT_MAX};
    const int32_t sizes[] = {INT_MIN, -1, 0, 1, 2, 33, 700, INT_MAX};
    MemorySurface big(33, 9), tiny(1, 1), narrow(2, 40);
    std::mt19937 rng(3);
    fillRandom(big, rng);
    fillRandom(tiny, rng);
    fillRandom(narrow, rng);
    Surface* all[] = {&big.surface, &tiny.surface, &narrow.surface};
    for (int i = 0; i < 4000; ++i) {
        Surface& d = *all[rng() % 3];
        const Surface& s = *all[rng() % 3];
        const Surface& b = *all[rng() % 3];
        auto pos = [&] { return positions[rng() % 10]; };
        auto size = [&] { return sizes[rng() % 8]; };
        const int32_t w = size(), h = size();
        copyRect(d, pos(), pos(), w, h, s, pos(), pos(), int32_t(rng() % 2));
        fadeRect(d, pos(), pos(), w, h, s, pos(), pos(), rng());
        crossFadeRect(d, pos(), pos(), w, h, s, pos(), pos(), b, pos(), pos(), rng() % 300,
                      int32_t(rng() % 2));
        drawRect(d, pos(), pos(), pos(), pos(), rng(), 1 + rng() % 2);
        putPixel(d, pos(), pos(), rng());
        (void)getPixel(s, pos(), pos());
    }
}

TEST(BlitterBounds, ExtremeRectanglesStayInside) {
    onEveryPath(blitExtremeRectangles);
}

}  // namespace
