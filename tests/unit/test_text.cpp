// Text drawing: the edge weights and the smoothing pass on prepared glyph pictures,
// then whole drawText calls through the software glyph output.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "gfx/text.h"
#include "platform/soft/soft.h"
#include "support/test_surface_memory.h"

namespace {

void fill(Surface& s, uint32_t colour) { drawRect(s, 0, 0, s.width - 1, s.height - 1, colour, RectFill); }

// A key-green glyph picture with glyph pixels where the pattern has '#'.
struct Glyphs {
    MemorySurface memory;
    Glyphs(const char* const* rows, int32_t height, uint32_t colour)
        : memory(int32_t(std::strlen(rows[0])), height) {
        fill(memory.surface, keyColour);
        for (int32_t k = 0; k < height; ++k)
            for (int32_t l = 0; rows[k][l]; ++l)
                if (rows[k][l] == '#') putPixel(memory.surface, l, k, colour);
    }
};

TEST(EdgeWeight, EachRowForWhiteAndOtherColours) {
    struct Row {
        uint32_t mask;
        uint32_t white, other;
    } rows[] = {
        {NeighbourLeft | NeighbourRight, 200, 200},
        {NeighbourLeft | NeighbourRight | NeighbourTop | NeighbourBottom, 200, 200},
        {NeighbourTop, 120, 75},
        {NeighbourBottom | NeighbourLeft, 120, 75},
        {NeighbourTop | NeighbourBottom, 150, 125},
        {NeighbourTop | NeighbourBottom | NeighbourRight, 150, 125},
        {NeighbourLeft, 120, 75},
        {NeighbourRight | NeighbourTopLeft, 120, 75},
        {NeighbourTopRight, 100, 50},
        {NeighbourBottomLeft | NeighbourBottomRight, 100, 50},
        {0, 80, 25},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(edgeWeight(row.mask | NeighbourSelf, true), row.white) << row.mask;
        EXPECT_EQ(edgeWeight(row.mask | NeighbourSelf, false), row.other) << row.mask;
    }
}

TEST(Smoothing, LonePixelWhiteOnBlackAndBlackOnWhite) {
    const char* pattern[] = {"...", ".#.", "..."};
    {
        Glyphs g(pattern, 3, 0xFFFFFF);
        MemorySurface target(3, 3);
        smoothGlyphs(target.surface, 0, 0, g.memory.surface, 0xFFFFFF);
        EXPECT_EQ(getPixel(target.surface, 1, 1), 0x666666u);  // 102
        EXPECT_EQ(getPixel(target.surface, 0, 0), 0u);
    }
    {
        Glyphs g(pattern, 3, 0x000000);
        MemorySurface target(3, 3);
        fill(target.surface, 0xFFFFFF);
        smoothGlyphs(target.surface, 0, 0, g.memory.surface, 0x000000);
        EXPECT_EQ(getPixel(target.surface, 1, 1), 0xDFDFDFu);  // 223
        EXPECT_EQ(getPixel(target.surface, 2, 2), 0xFFFFFFu);
    }
}

TEST(Smoothing, StrokesRunsAndDiagonalsWhiteOnBlack) {
    const char* pattern[] = {
        ".....#....",
        ".###.#..#.",
        ".....#...#",
    };
    Glyphs g(pattern, 3, 0xFFFFFF);
    MemorySurface target(10, 3);
    smoothGlyphs(target.surface, 0, 0, g.memory.surface, 0xFFFFFF);
    auto grey = [&](int32_t x, int32_t y) { return getPixel(target.surface, x, y) & 0xFF; };
    EXPECT_EQ(grey(2, 1), 255u);  // inside the run: full colour over anything
    EXPECT_EQ(grey(1, 1), 153u);  // run ends
    EXPECT_EQ(grey(3, 1), 153u);
    EXPECT_EQ(grey(5, 1), 191u);  // inside a one-pixel vertical stroke
    EXPECT_EQ(grey(5, 0), 153u);  // stroke ends
    EXPECT_EQ(grey(5, 2), 153u);
    EXPECT_EQ(grey(8, 1), 127u);  // joined only diagonally
    EXPECT_EQ(grey(9, 2), 127u);
    EXPECT_EQ(grey(0, 0), 0u);
}

TEST(Smoothing, BlackOnWhiteWeights) {
    const char* pattern[] = {
        "#...#.",
        "#....#",
        "#.....",
    };
    Glyphs g(pattern, 3, 0x000000);
    MemorySurface target(6, 3);
    fill(target.surface, 0xFFFFFF);
    smoothGlyphs(target.surface, 0, 0, g.memory.surface, 0x000000);
    auto grey = [&](int32_t x, int32_t y) { return getPixel(target.surface, x, y) & 0xFF; };
    EXPECT_EQ(grey(0, 0), 159u);  // stroke end, and the column is the picture's edge
    EXPECT_EQ(grey(0, 1), 95u);
    EXPECT_EQ(grey(4, 0), 191u);  // diagonal
}

TEST(Smoothing, NeighboursOutsideTheGlyphPictureCountAsUnset) {
    // A full 3-wide row: the end pixels sit on the picture's edges and are run ends.
    const char* pattern[] = {"###"};
    Glyphs g(pattern, 1, 0xFFFFFF);
    MemorySurface target(5, 3);
    smoothGlyphs(target.surface, 1, 1, g.memory.surface, 0xFFFFFF);
    EXPECT_EQ(getPixel(target.surface, 1, 1), 0x999999u);  // 153
    EXPECT_EQ(getPixel(target.surface, 2, 1), 0xFFFFFFu);
    EXPECT_EQ(getPixel(target.surface, 3, 1), 0x999999u);
    EXPECT_EQ(getPixel(target.surface, 0, 1), 0u);
    EXPECT_EQ(getPixel(target.surface, 4, 1), 0u);
}

TEST(Smoothing, OnlyExactWhiteUsesTheWhiteColumn) {
    const char* pattern[] = {"#"};
    const uint32_t almostWhite = 0xFEFFFF;
    Glyphs g(pattern, 1, almostWhite);
    MemorySurface target(1, 1);
    smoothGlyphs(target.surface, 0, 0, g.memory.surface, almostWhite);
    // m = 25: 254 * 25 / 200 = 31 and 255 * 25 / 200 = 31.
    EXPECT_EQ(getPixel(target.surface, 0, 0), 0x1F1F1Fu);
}

TEST(Smoothing, PixelsNotExactlyTheColourAreIgnored) {
    MemorySurface glyphs(4, 1);
    fill(glyphs.surface, keyColour);
    putPixel(glyphs.surface, 0, 0, 0xFFFFFF);
    putPixel(glyphs.surface, 1, 0, 0xFEFEFE);  // a rasteriser's edge colour
    putPixel(glyphs.surface, 2, 0, 0x808080);
    MemorySurface target(4, 1);
    fill(target.surface, 0x102030);
    smoothGlyphs(target.surface, 0, 0, glyphs.surface, 0xFFFFFF);
    EXPECT_EQ(getPixel(target.surface, 0, 0), 0x6F7982u);  // lone: (255*80 + t*120)/200
    for (int32_t x = 1; x < 4; ++x) EXPECT_EQ(getPixel(target.surface, x, 0), 0x102030u) << x;
}

TEST(Smoothing, GlyphPictureHangingOverEveryEdgeWritesOnlyInside) {
    const char* pattern[] = {"####", "####", "####"};
    Glyphs g(pattern, 3, 0xFFFFFF);
    MemorySurface target(2, 2);  // exact-size heap block: the sanitizer sees any overrun
    for (int32_t x = -3; x <= 2; ++x)
        for (int32_t y = -3; y <= 2; ++y) {
            fill(target.surface, 0);
            smoothGlyphs(target.surface, x, y, g.memory.surface, 0xFFFFFF);
        }
    fill(target.surface, 0);
    smoothGlyphs(target.surface, -1, -1, g.memory.surface, 0xFFFFFF);
    EXPECT_EQ(getPixel(target.surface, 0, 0), 0xFFFFFFu);  // glyph (1, 1): left and right set
    EXPECT_EQ(getPixel(target.surface, 1, 1), 0xFFFFFFu);
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

struct Box {
    int32_t left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    int32_t count = 0;
};

// The bounding box of every pixel that differs from background, and the set of colours.
Box changed(const Surface& s, uint32_t background, std::set<uint32_t>* colours = nullptr) {
    Box box;
    for (int32_t y = 0; y < s.height; ++y)
        for (int32_t x = 0; x < s.width; ++x) {
            uint32_t p = getPixel(s, x, y);
            if (p == background) continue;
            ++box.count;
            if (colours) colours->insert(p);
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x);
            box.top = std::min(box.top, y);
            box.bottom = std::max(box.bottom, y);
        }
    return box;
}

// "ＡＢＣ..." : ten full-width letters, twenty bytes, the longest name.
std::string fullWidthName() {
    std::string name;
    for (int i = 0; i < 10; ++i) {
        name += char(0x82);
        name += char(0x60 + i);
    }
    return name;
}

TEST(DrawText, PlainWritesOnlyTheTextColourInsideItsCells) {
    PlatformSurface s(240, 60, 0x336699);
    const std::string name = fullWidthName();
    ASSERT_EQ(name.size(), 20u);
    EXPECT_EQ(drawText(s.surface, name.c_str(), 10, 5, 0xFFFFFF, TextPlain, 10, 40, 0, ""), 1);
    std::set<uint32_t> colours;
    Box box = changed(s.surface, 0x336699, &colours);
    ASSERT_GT(box.count, 100);
    EXPECT_EQ(colours, std::set<uint32_t>{0xFFFFFF});
    // The 200 x 40 name cell.
    EXPECT_GE(box.left, 10);
    EXPECT_LE(box.right, 209);
    EXPECT_GE(box.top, 5);
    EXPECT_LE(box.bottom, 44);
    EXPECT_GT(box.right, 190);  // the tenth character is drawn, in the last cell
}

TEST(DrawText, DoubleByteCharactersTakeTwoCells) {
    // " 逃　げ": a space, a full-width character, the ideographic space, another one.
    PlatformSurface s(100, 40, 0);
    drawText(s.surface, "\x20\x93\xA6\x81\x40\x82\xB0", 0, 0, 0xFFFFFF, TextPlain, 10, 40, 0, "");
    Box first = changed(s.surface, 0);
    ASSERT_GT(first.count, 0);
    EXPECT_GE(first.left, 10);
    EXPECT_LE(first.right, 69);
    // Nothing in the ideographic space's cell (x 30..49).
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 30; x < 50; ++x) EXPECT_EQ(getPixel(s.surface, x, y), 0u) << x << "," << y;
}

TEST(DrawText, SmoothedWhiteUsesOnlyTheTableBlendsOverBlack) {
    PlatformSurface plain(220, 40, 0);
    PlatformSurface smooth(220, 40, 0);
    const std::string name = fullWidthName();
    drawText(plain.surface, name.c_str(), 0, 0, 0xFFFFFF, TextPlain, 10, 40, 0, "");
    drawText(smooth.surface, name.c_str(), 0, 0, 0xFFFFFF, TextSmoothed, 10, 40, 0, "");
    std::set<uint32_t> colours;
    Box box = changed(smooth.surface, 0, &colours);
    ASSERT_GT(box.count, 100);
    for (uint32_t c : colours)
        EXPECT_TRUE(c == 0xFFFFFF || c == 0x999999 || c == 0xBFBFBF || c == 0x7F7F7F ||
                    c == 0x666666)
            << std::hex << c;
    // The same glyph pixels as plain output, only blended.
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 220; ++x)
            EXPECT_EQ(getPixel(plain.surface, x, y) != 0, getPixel(smooth.surface, x, y) != 0);
}

TEST(DrawText, EmptyTextAndUnknownModesChangeNothing) {
    PlatformSurface s(40, 20, 0x123456);
    drawText(s.surface, "", 0, 0, 0xFFFFFF, TextPlain, 10, 20, 0, "");
    drawText(s.surface, "", 0, 0, 0xFFFFFF, TextSmoothed, 10, 20, 0, "");
    drawText(s.surface, "12", 0, 0, 0xFFFFFF, 0x01000000u, 10, 20, 0, "");
    EXPECT_EQ(changed(s.surface, 0x123456).count, 0);
}

TEST(DrawText, TextHangingOffTheSurfaceIsCut) {
    for (uint32_t mode : {TextPlain, TextSmoothed}) {
        PlatformSurface s(30, 15, 0);
        for (int32_t x : {-25, -5, 0, 15, 29})
            for (int32_t y : {-30, -10, 0, 5, 14})
                drawText(s.surface, "88:88\x82\x60", x, y, 0xFFFFFF, mode, 10, 20, 0, "");
        EXPECT_GT(changed(s.surface, 0).count, 0);
    }
}

TEST(DrawText, FailedTemporaryPictureDrawsNothing) {
    PlatformSurface s(40, 20, 0);
    drawText(s.surface, "1", 0, 0, 0xFFFFFF, TextSmoothed, 10, 0, 0, "");
    drawText(s.surface, "1", 0, 0, 0xFFFFFF, TextSmoothed, -10, 20, 0, "");
    EXPECT_EQ(changed(s.surface, 0).count, 0);
}

TEST(DrawText, LeavesTheDeviceContextAsItWas) {
    PlatformSurface s(40, 20, 0);
    SoftDc* dc = reinterpret_cast<SoftDc*>(s.surface.hdc);
    SoftObject* font = dc->font;
    platSetTextColor(s.surface.hdc, 0x0000FF);
    platSetBkMode(s.surface.hdc, BkOpaque);
    drawText(s.surface, "1", 0, 0, 0xFFFFFF, TextPlain, 10, 20, 0, "");
    drawText(s.surface, "1", 0, 0, 0xFFFFFF, TextSmoothed, 10, 20, 0, "");
    EXPECT_EQ(dc->font, font);
    EXPECT_EQ(dc->textColor, 0x0000FFu);
    EXPECT_EQ(dc->bkMode, BkOpaque);
}

TEST(TextFont, CellCharSetAndDefaultFace) {
    ObjectHandle handle = createTextFont(10, 40, 0, 0, 0, "");
    ASSERT_NE(handle, nullptr);
    const FontRequest& f = reinterpret_cast<SoftObject*>(handle)->font;
    EXPECT_EQ(f.width, 10);
    EXPECT_EQ(f.height, 40);
    EXPECT_EQ(f.charSet, 128);
    EXPECT_STREQ(f.faceName, "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E");
    platDeleteObject(handle);

    const std::string longName(40, 'a');
    handle = createTextFont(10, 20, 0, 0, 0, longName.c_str());
    EXPECT_EQ(std::strlen(reinterpret_cast<SoftObject*>(handle)->font.faceName), 31u);
    platDeleteObject(handle);
}

}  // namespace
