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

// ---- Layout and single pixels ------------------------------------------------------------

TEST(SurfaceLayout, RowsAreStoredBottomUp) {
    MemorySurface s(435, 7);
    EXPECT_EQ(s.surface.stride, 1308);
    EXPECT_EQ(pixelAddress(s, 0, 6), s.surface.bits);
    EXPECT_EQ(pixelAddress(s, 0, 0), s.surface.bits + 6 * 1308);
    EXPECT_EQ(pixelAddress(s, 5, 2), s.surface.bits + 4 * 1308 + 15);
}

TEST(SurfacePixels, PutThenGetAndByteOrder) {
    MemorySurface s(4, 3);
    putPixel(s, 1, 2, 0xFFFF00);
    EXPECT_EQ(getPixel(s, 1, 2), 0xFFFF00u);
    const uint8_t* p = pixelAddress(s, 1, 2);
    EXPECT_EQ(p[0], 0x00);
    EXPECT_EQ(p[1], 0xFF);
    EXPECT_EQ(p[2], 0xFF);

    putPixel(s, 2, 0, 0xAB123456);
    EXPECT_EQ(getPixel(s, 2, 0), 0x123456u);
    p = pixelAddress(s, 2, 0);
    EXPECT_EQ(p[0], 0x56);
    EXPECT_EQ(p[1], 0x34);
    EXPECT_EQ(p[2], 0x12);
}

TEST(SurfacePixels, PointsOutsideAreIgnored) {
    MemorySurface s(5, 4);
    fillPattern(s, 1);
    const std::vector<uint8_t> before = bytesOf(s);
    const int32_t xs[] = {-1, 5, INT_MIN, INT_MAX, 0};
    const int32_t ys[] = {0, -1, 4, INT_MIN, INT_MAX};
    for (int32_t x : xs)
        for (int32_t y : ys) {
            if (x == 0 && y == 0) continue;
            EXPECT_EQ(putPixel(s, x, y, 0xFFFFFF), 1);
            EXPECT_EQ(getPixel(s, x, y), 0u) << x << "," << y;
        }
    EXPECT_EQ(bytesOf(s), before);
}

TEST(SurfacePixels, EmptyRecordIsLeftAlone) {
    Surface empty{};
    MemorySurface s(8, 8);
    fillPattern(s, 2);
    const std::vector<uint8_t> before = bytesOf(s);
    EXPECT_EQ(getPixel(empty, 0, 0), 0u);
    putPixel(empty, 0, 0, 1);
    drawRect(empty, 0, 0, 7, 7, 1, RectFill);
    copyRect(empty, 0, 0, 8, 8, s, 0, 0, KeyOpaque);
    copyRect(s, 0, 0, 8, 8, empty, 0, 0, KeyOpaque);
    fadeRect(s, 0, 0, 8, 8, empty, 0, 0, 0);
    crossFadeRect(s, 0, 0, 8, 8, s, 0, 0, empty, 0, 0, 0, KeyOpaque);
    EXPECT_EQ(bytesOf(s), before);
}

// ---- Creation, release, bitmaps (through the headless platform) --------------------

TEST(SurfaceLifecycle, CreateDescribesTheMemory) {
    const int32_t widths[] = {435, 640, 800, 448, 920, 1};
    const int32_t strides[] = {1308, 1920, 2400, 1344, 2760, 4};
    for (int i = 0; i < 6; ++i) {
        Surface s{};
        ASSERT_EQ(createSurface(s, nullptr, widths[i], 3, 24), 1);
        EXPECT_EQ(s.stride, strides[i]);
        EXPECT_EQ(s.bytesPerPixel, 3);
        EXPECT_EQ(s.width, widths[i]);
        EXPECT_EQ(s.height, 3);
        EXPECT_EQ(s.info.header.size, 40u);
        EXPECT_EQ(s.info.header.width, widths[i]);
        EXPECT_EQ(s.info.header.height, 3);
        EXPECT_EQ(s.info.header.planes, 1);
        EXPECT_EQ(s.info.header.bitCount, 24);
        EXPECT_EQ(s.info.header.compression, 0u);
        EXPECT_EQ(s.info.header.sizeImage, uint32_t(strides[i] * 3));
        EXPECT_EQ(s.info.colours[0], 0u);
        EXPECT_NE(s.hdc, nullptr);
        EXPECT_NE(s.dib, nullptr);
        ASSERT_NE(s.bits, nullptr);
        EXPECT_EQ(bytesOf(s), std::vector<uint8_t>(size_t(strides[i]) * 3, 0));
        releaseSurface(s);
    }
}

// A failed or released Surface is an empty record: drawing on it, loading into it and
// releasing it again all do nothing.
TEST(SurfaceLifecycle, FailedAndReleasedSurfacesAreInert) {
    Surface s{};
    EXPECT_EQ(createSurface(s, nullptr, 0, 10, 24), 0);
    EXPECT_EQ(createSurface(s, nullptr, 10, -10, 24), 0);   // would be top-down rows
    EXPECT_EQ(createSurface(s, nullptr, 10, 10, 32), 0);    // the platform refuses
    EXPECT_EQ(createSurface(s, nullptr, 0x7FFFFFFF, 0x7FFFFFFF, 24), 0);
    EXPECT_EQ(s.bits, nullptr);
    EXPECT_EQ(s.hdc, nullptr);
    EXPECT_EQ(s.width, 0);
    EXPECT_EQ(loadBitmapResource(s, 104), 0);
    drawRect(s, 0, 0, 9, 9, 0xFFFFFF, RectFill);
    releaseSurface(s);

    ASSERT_EQ(createSurface(s, nullptr, 16, 16, 24), 1);
    releaseSurface(s);
    EXPECT_EQ(s.bits, nullptr);
    EXPECT_EQ(s.hdc, nullptr);
    releaseSurface(s);
    putPixel(s, 0, 0, 1);
    EXPECT_EQ(getPixel(s, 0, 0), 0u);
}

// Rows of an embedded bitmap, top-down.
const uint8_t* bitmapRow(const SoftBitmap& bitmap, int32_t y) {
    return bitmap.bits + size_t(bitmap.height - 1 - y) * size_t(bitmap.stride);
}

TEST(SurfaceLifecycle, BitmapFillsThePartItCovers) {
    const EmbeddedResource* resource = findEmbeddedResource(101);
    ASSERT_NE(resource, nullptr);
    SoftBitmap sheet{};
    ASSERT_TRUE(softDecodeBmp(resource->begin, uint64_t(resource->end - resource->begin), sheet));
    ASSERT_EQ(sheet.width, 435);
    ASSERT_EQ(sheet.height, 863);

    Surface s{};
    ASSERT_EQ(createSurface(s, nullptr, 435, 1000, 24), 1);
    ASSERT_EQ(loadBitmapResource(s, 101), 1);
    for (int32_t y = 0; y < 1000; ++y) {
        const uint8_t* row = pixelAddress(s, 0, y);
        if (y < 863)
            ASSERT_EQ(std::memcmp(row, bitmapRow(sheet, y), 435 * 3), 0) << "row " << y;
        else
            ASSERT_EQ(std::vector<uint8_t>(row, row + 435 * 3), std::vector<uint8_t>(435 * 3, 0))
                << "row " << y;
    }

    // A smaller Surface takes the top-left part; an unknown picture changes nothing.
    Surface part{};
    ASSERT_EQ(createSurface(part, nullptr, 50, 20, 24), 1);
    drawRect(part, 0, 0, 49, 19, 0x123456, RectFill);
    const std::vector<uint8_t> before = bytesOf(part);
    EXPECT_EQ(loadBitmapResource(part, 999), 0);
    EXPECT_EQ(bytesOf(part), before);
    ASSERT_EQ(loadBitmapResource(part, 101), 1);
    for (int32_t y = 0; y < 20; ++y)
        ASSERT_EQ(std::memcmp(pixelAddress(part, 0, y), bitmapRow(sheet, y), 50 * 3), 0);
    releaseSurface(part);
    releaseSurface(s);
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
    putPixel(a, 0, 0, 0x0A0A0A);
    putPixel(b, 0, 0, 0x141414);
    putPixel(a, 1, 0, 0x000000);
    putPixel(b, 1, 0, 0xFFFFFF);
    putPixel(a, 2, 0, 0x123456);
    putPixel(b, 2, 0, 0xFEDCBA);
    crossFadeRect(d, 0, 0, 3, 1, a, 0, 0, b, 0, 0, 17, KeyOpaque);
    EXPECT_EQ(getPixel(d, 0, 0), 0x0A0A0Au);   // (10 * 238 + 20 * 17) / 255 = 10
    crossFadeRect(d, 0, 0, 3, 1, a, 0, 0, b, 0, 0, 128, KeyOpaque);
    EXPECT_EQ(getPixel(d, 1, 0), 0x808080u);
    crossFadeRect(d, 0, 0, 3, 1, a, 0, 0, b, 0, 0, 0, KeyOpaque);
    EXPECT_EQ(bytesOf(d), bytesOf(a));
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

// Whole playfields with pictures that mix key runs and solid areas, at every level, and
// windows that do not hold the whole playfield: one wider and lower (the playfield above
// its top edge), one smaller than the view.
void comparePlayfieldBlits() {
    std::mt19937 rng(99);
    Pair d(800, 640), a(800, 640), b(435, 1000), wide(1024, 576), tiny(100, 50);
    for (Pair* p : {&d, &a, &b, &wide, &tiny}) {
        fillRandom(p->real, rng);
        p->sync();
    }
    auto allSame = [&] { return d.same() && wide.same() && tiny.same(); };
    for (uint32_t level : {0u, 1u, 128u, 255u, 272u}) {
        crossFadeRect(d.real, 0, 0, 800, 640, a.real, 0, 0, d.real, 0, 0, level, KeyOpaque);
        refMix(d.twin, 0, 0, 800, 640, a.twin, 0, 0, d.twin, 0, 0, level, KeyOpaque);
        crossFadeRect(d.real, 3, 1, 800, 640, a.real, 0, 0, b.real, 1, 2, level, KeyTransparent);
        refMix(d.twin, 3, 1, 800, 640, a.twin, 0, 0, b.twin, 1, 2, level, KeyTransparent);
        crossFadeRect(wide.real, 112, -32, 800, 640, d.real, 0, 0, a.real, 0, 0, level, KeyOpaque);
        refMix(wide.twin, 112, -32, 800, 640, d.twin, 0, 0, a.twin, 0, 0, level, KeyOpaque);
        crossFadeRect(tiny.real, -80, -80, 800, 640, d.real, 0, 0, a.real, 0, 0, level, KeyTransparent);
        refMix(tiny.twin, -80, -80, 800, 640, d.twin, 0, 0, a.twin, 0, 0, level, KeyTransparent);
        ASSERT_TRUE(allSame()) << level;
    }
    copyRect(d.real, -7, 5, 435, 1000, b.real, 0, 0, KeyTransparent);
    refCopy(d.twin, -7, 5, 435, 1000, b.twin, 0, 0, KeyTransparent);
    copyRect(wide.real, 112, -32, 800, 640, a.real, 0, 0, KeyOpaque);
    refCopy(wide.twin, 112, -32, 800, 640, a.twin, 0, 0, KeyOpaque);
    copyRect(tiny.real, 0, -20, 800, 640, a.real, 0, 0, KeyOpaque);
    refCopy(tiny.twin, 0, -20, 800, 640, a.twin, 0, 0, KeyOpaque);
    ASSERT_TRUE(allSame());
    fadeRect(d.real, 1, -1, 800, 640, a.real, 0, 0, 77);
    refFade(d.twin, 1, -1, 800, 640, a.twin, 0, 0, 77);
    fadeRect(tiny.real, 0, 0, 640, 480, a.real, 0, 0, 40);
    refFade(tiny.twin, 0, 0, 640, 480, a.twin, 0, 0, 40);
    ASSERT_TRUE(allSame());
    // A whole opaque copy is the source, byte for byte.
    copyRect(d.real, 0, 0, 800, 640, a.real, 0, 0, KeyOpaque);
    ASSERT_EQ(bytesOf(d.real), bytesOf(a.real));
}

TEST(BlitterEquivalence, PlayfieldSizedBlits) {
    onEveryPath(comparePlayfieldBlits);
}

// The fast mixes against the rule for every pair of bytes at every level: pixel (x, y)
// mixes the byte pairs (y, x), (x, y) and (255 - y, x).
TEST(BlitterEquivalence, EveryByteMixAtEveryLevel) {
    MemorySurface a(256, 256), b(256, 256), d(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            uint8_t* pa = pixelAddress(a, x, y);
            uint8_t* pb = pixelAddress(b, x, y);
            pa[0] = uint8_t(y), pb[0] = uint8_t(x);
            pa[1] = uint8_t(x), pb[1] = uint8_t(y);
            pa[2] = uint8_t(255 - y), pb[2] = uint8_t(x);
        }
    onEveryPath([&] {
        if (currentBlitPath() == BlitPortable) return;   // the byte loop is the rule itself
        for (uint32_t level = 0; level < 256; ++level) {
            crossFadeRect(d, 0, 0, 256, 256, a, 0, 0, b, 0, 0, level, KeyOpaque);
            int wrong = 0;
            for (int y = 0; y < 256; ++y) {
                const uint8_t* pa = pixelAddress(a, 0, y);
                const uint8_t* pb = pixelAddress(b, 0, y);
                const uint8_t* pd = pixelAddress(d, 0, y);
                for (int i = 0; i < 256 * 3; ++i)
                    wrong += pd[i] != (pa[i] * (255u - level) + pb[i] * level) / 255u;
            }
            ASSERT_EQ(wrong, 0) << "level " << level;
        }
    });
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
