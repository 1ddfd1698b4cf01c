// Text drawing: the smoothing pass on prepared glyph pictures, then whole drawText calls
// through the software glyph output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "gfx/text.h"
#include "platform/soft/soft.h"
#include "support/test_surface_memory.h"

namespace {

void fill(Surface& s, uint32_t colour) { drawRect(s, 0, 0, s.width - 1, s.height - 1, colour, RectFill); }

// A key-green glyph picture: '#' is a glyph pixel in the given colour, 'e' a rasteriser's
// edge colour and 'g' a grey, neither of which is a glyph pixel.
struct Glyphs {
    MemorySurface memory;
    Glyphs(const std::vector<const char*>& rows, uint32_t colour)
        : memory(int32_t(std::strlen(rows[0])), int32_t(rows.size())) {
        fill(memory.surface, keyColour);
        for (size_t k = 0; k < rows.size(); ++k)
            for (int32_t l = 0; rows[k][l]; ++l)
                if (const char c = rows[k][l]; c != '.')
                    putPixel(memory.surface, l, int32_t(k), c == '#' ? colour : c == 'e' ? 0xFEFEFE : 0x808080);
    }
};

// Glyph pictures smoothed onto a plain target; the expected pixels of the result. Each
// neighbourhood's weight (out of 200) shows in a white-on-black and a black-on-white case.
TEST(Smoothing, WeightsByNeighbourhoodColourAndEdges) {
    struct Pixel { int32_t x, y; uint32_t colour; };
    struct Case {
        std::vector<const char*> rows;
        uint32_t colour, background;
        int32_t width, height, x, y;  // the target, and where the glyph picture goes on it
        std::vector<Pixel> expected;
    } cases[] = {
        // A lone pixel, white on black and black on white.
        {{"...", ".#.", "..."}, 0xFFFFFF, 0, 3, 3, 0, 0, {{1, 1, 0x666666}, {0, 0, 0}}},
        {{"...", ".#.", "..."}, 0, 0xFFFFFF, 3, 3, 0, 0, {{1, 1, 0xDFDFDF}, {2, 2, 0xFFFFFF}}},
        // Strokes, runs and diagonals, white on black: inside a run full colour; run
        // ends; inside a one-pixel vertical stroke; stroke ends; joined only diagonally.
        {{".....#....", ".###.#..#.", ".....#...#"}, 0xFFFFFF, 0, 10, 3, 0, 0,
         {{2, 1, 0xFFFFFF}, {1, 1, 0x999999}, {3, 1, 0x999999}, {5, 1, 0xBFBFBF},
          {5, 0, 0x999999}, {5, 2, 0x999999}, {8, 1, 0x7F7F7F}, {9, 2, 0x7F7F7F}, {0, 0, 0}}},
        // Black on white: a stroke end on the picture's edge, its middle, a diagonal.
        {{"#...#.", "#....#", "#....."}, 0, 0xFFFFFF, 6, 3, 0, 0,
         {{0, 0, 0x9F9F9F}, {0, 1, 0x5F5F5F}, {4, 0, 0xBFBFBF}}},
        // Neighbours outside the glyph picture count as unset: a full row's ends are run ends.
        {{"###"}, 0xFFFFFF, 0, 5, 3, 1, 1,
         {{1, 1, 0x999999}, {2, 1, 0xFFFFFF}, {3, 1, 0x999999}, {0, 1, 0}, {4, 1, 0}}},
        // A horizontal run's ends in any other colour: 255 * (200 - 75) / 200.
        {{"##"}, 0, 0xFFFFFF, 2, 1, 0, 0, {{0, 0, 0x9F9F9F}, {1, 0, 0x9F9F9F}}},
        // Only exact white uses the white column: m = 25, and 254 * 25 / 200 = 31.
        {{"#"}, 0xFEFFFF, 0, 1, 1, 0, 0, {{0, 0, 0x1F1F1F}}},
        // Pixels not exactly the colour are no glyph pixels: the first is lone,
        // (255 * 80 + t * 120) / 200.
        {{"#eg."}, 0xFFFFFF, 0x102030, 4, 1, 0, 0,
         {{0, 0, 0x6F7982}, {1, 0, 0x102030}, {2, 0, 0x102030}, {3, 0, 0x102030}}},
        // Hanging over the top left of the target: glyph (1, 1) has left and right set.
        {{"####", "####", "####"}, 0xFFFFFF, 0, 2, 2, -1, -1, {{0, 0, 0xFFFFFF}, {1, 1, 0xFFFFFF}}},
    };
    for (const Case& c : cases) {
        Glyphs g(c.rows, c.colour);
        MemorySurface target(c.width, c.height);
        fill(target.surface, c.background);
        smoothGlyphs(target.surface, c.x, c.y, g.memory.surface, c.colour);
        for (const Pixel& p : c.expected)
            EXPECT_EQ(getPixel(target.surface, p.x, p.y), p.colour)
                << "case " << &c - cases << " at " << p.x << "," << p.y;
    }
    // Over every edge of an exact-size heap block: the sanitizer sees any overrun.
    Glyphs g({"####", "####", "####"}, 0xFFFFFF);
    MemorySurface target(2, 2);
    for (int32_t x = -3; x <= 2; ++x)
        for (int32_t y = -3; y <= 2; ++y) smoothGlyphs(target.surface, x, y, g.memory.surface, 0xFFFFFF);
}

// ---- Whole calls through the glyph output -------------------------------------------

// A platform Surface (with a device context) filled with one colour.
struct PlatformSurface {
    Surface surface{};
    PlatformSurface(int32_t w, int32_t h, uint32_t colour) {
        createSurface(surface, nullptr, w, h, 24);
        fill(surface, colour);
    }
    ~PlatformSurface() { releaseSurface(surface); }
};

// The number of pixels that differ from background.
int32_t changed(const Surface& s, uint32_t background) {
    int32_t count = 0;
    for (int32_t y = 0; y < s.height; ++y)
        for (int32_t x = 0; x < s.width; ++x) count += getPixel(s, x, y) != background;
    return count;
}

// The longest name in its 200 x 40 cell: plain output writes only the text colour;
// smoothed white over black only the table's blends, on the same glyph pixels.
TEST(DrawText, PlainAndSmoothedNameInItsCells) {
    PlatformSurface plain(240, 60, 0x336699), smooth(240, 60, 0);
    std::string name;   // "ＡＢＣ...": ten full-width letters, twenty bytes, the longest name
    for (int i = 0; i < 10; ++i) name += {char(0x82), char(0x60 + i)};
    EXPECT_EQ(drawText(plain.surface, name.c_str(), 10, 5, 0xFFFFFF, TextPlain, 10, 40, 0, ""), 1);
    drawText(smooth.surface, name.c_str(), 10, 5, 0xFFFFFF, TextSmoothed, 10, 40, 0, "");
    int32_t count = 0, right = -1;
    for (int32_t y = 0; y < 60; ++y)
        for (int32_t x = 0; x < 240; ++x) {
            const uint32_t p = getPixel(smooth.surface, x, y), q = getPixel(plain.surface, x, y);
            ASSERT_EQ(q != 0x336699, p != 0) << x << "," << y;
            ASSERT_TRUE(p == 0 || p == 0xFFFFFF || p == 0x999999 || p == 0xBFBFBF || p == 0x7F7F7F || p == 0x666666)
                << std::hex << p;
            if (q == 0x336699) continue;
            ASSERT_TRUE(q == 0xFFFFFF && x >= 10 && x <= 209 && y >= 5 && y <= 44) << x << "," << y;
            ++count, right = std::max(right, x);
        }
    EXPECT_GT(count, 100);
    EXPECT_GT(right, 190);   // the tenth character is drawn, in the last cell
}

// Empty text, the ideographic space (one double-byte character), an unknown mode and
// cells for which no temporary picture can be made change nothing; text hanging off the
// Surface is cut; the device context is left as it was.
TEST(DrawText, NothingToDrawTextHangingOffAndTheDeviceContext) {
    PlatformSurface s(40, 20, 0x123456);
    SoftDc* dc = reinterpret_cast<SoftDc*>(s.surface.hdc);
    SoftObject* font = dc->font;
    platSetTextColor(s.surface.hdc, 0x0000FF);
    platSetBkMode(s.surface.hdc, BkOpaque);
    drawText(s.surface, "", 0, 0, 0xFFFFFF, TextPlain, 10, 20, 0, "");
    drawText(s.surface, "", 0, 0, 0xFFFFFF, TextSmoothed, 10, 20, 0, "");
    drawText(s.surface, "\x81\x40", 0, 0, 0xFFFFFF, TextPlain, 10, 20, 0, "");
    drawText(s.surface, "12", 0, 0, 0xFFFFFF, 0x01000000u, 10, 20, 0, "");
    drawText(s.surface, "1", 0, 0, 0xFFFFFF, TextSmoothed, 10, 0, 0, "");
    drawText(s.surface, "1", 0, 0, 0xFFFFFF, TextSmoothed, -10, 20, 0, "");
    EXPECT_EQ(changed(s.surface, 0x123456), 0);
    for (uint32_t mode : {TextPlain, TextSmoothed}) {
        PlatformSurface small(30, 15, 0);
        for (int32_t x : {-25, -5, 0, 15, 29})
            for (int32_t y : {-30, -10, 0, 5, 14})
                drawText(small.surface, "88:88\x82\x60", x, y, 0xFFFFFF, mode, 10, 20, 0, "");
        EXPECT_GT(changed(small.surface, 0), 0);
        drawText(s.surface, "1", 0, 0, 0xFFFFFF, mode, 10, 20, 0, "");
    }
    EXPECT_TRUE(dc->font == font && dc->textColor == 0x0000FFu && dc->bkMode == BkOpaque);
}

TEST(TextFont, CellCharSetAndDefaultFace) {
    ObjectHandle handle = createTextFont(10, 40, 0, 0, 0, "");
    ASSERT_NE(handle, nullptr);
    const FontRequest& f = reinterpret_cast<SoftObject*>(handle)->font;
    EXPECT_TRUE(f.width == 10 && f.height == 40 && f.charSet == 128);
    EXPECT_STREQ(f.faceName, "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E");
    platDeleteObject(handle);
    handle = createTextFont(10, 20, 0, 0, 0, std::string(40, 'a').c_str());
    EXPECT_EQ(std::strlen(reinterpret_cast<SoftObject*>(handle)->font.faceName), 31u);
    platDeleteObject(handle);
}

}  // namespace
