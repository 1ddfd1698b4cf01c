// Text drawing: the smoothing pass on prepared glyph pictures, then whole drawText calls
// through the software glyph output.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "gfx/text.h"
#include "platform/soft/soft.h"
#include "support/pins.h"
#include "support/race_stage.h"
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

// Glyph pictures smoothed onto a plain target, each neighbourhood's weight (out of 200)
// shown white on black and black on white. Each case names the pixel that shows its point;
// all target pixels of the table are pinned besides (look at those pixels first).
TEST(Smoothing, WeightsByNeighbourhoodColourAndEdgesPinned) {
    const struct {
        std::vector<const char*> rows;
        uint32_t colour, background;
        int32_t width, height, x, y, px, py;   // the target, the glyph picture's place on it, a pixel
        uint32_t pixel;                        // and that pixel's colour
    } cases[] = {
        {{"...", ".#.", "..."}, 0xFFFFFF, 0, 3, 3, 0, 0, 1, 1, 0x666666},   // a lone pixel: 80
        {{"...", ".#.", "..."}, 0, 0xFFFFFF, 3, 3, 0, 0, 1, 1, 0xDFDFDF},
        // Strokes, runs and diagonals: inside a one-pixel vertical stroke 150.
        {{".....#....", ".###.#..#.", ".....#...#"}, 0xFFFFFF, 0, 10, 3, 0, 0, 5, 1, 0xBFBFBF},
        {{"#...#.", "#....#", "#....."}, 0, 0xFFFFFF, 6, 3, 0, 0, 0, 0, 0x9F9F9F},   // a stroke end on the edge
        // Neighbours outside the glyph picture count as unset: a full row's ends are run ends.
        {{"###"}, 0xFFFFFF, 0, 5, 3, 1, 1, 1, 1, 0x999999},
        {{"##"}, 0, 0xFFFFFF, 2, 1, 0, 0, 1, 0, 0x9F9F9F},   // a run's end in any other colour: 75
        {{"#"}, 0xFEFFFF, 0, 1, 1, 0, 0, 0, 0, 0x1F1F1F},   // only exact white uses the white column
        {{"#eg."}, 0xFFFFFF, 0x102030, 4, 1, 0, 0, 0, 0, 0x6F7982},   // not exactly the colour: no glyph pixel
        {{"####", "####", "####"}, 0xFFFFFF, 0, 2, 2, -1, -1, 1, 1, 0xFFFFFF},   // hanging over the top left
    };
    PinnedRun pin("smoothing");
    for (const auto& c : cases) {
        Glyphs g(c.rows, c.colour);
        MemorySurface target(c.width, c.height);
        fill(target.surface, c.background);
        smoothGlyphs(target.surface, c.x, c.y, g.memory.surface, c.colour);
        EXPECT_EQ(getPixel(target.surface, c.px, c.py), c.pixel) << "case " << &c - cases;
        pin.frame("case " + std::to_string(&c - cases), pinPicture(target.surface));
    }
    pin.check();
    // Over every edge of an exact-size heap block: the sanitizer sees any overrun.
    Glyphs g({"####", "####", "####"}, 0xFFFFFF);
    MemorySurface target(2, 2);
    for (int32_t x = -3; x <= 2; ++x)
        for (int32_t y = -3; y <= 2; ++y) smoothGlyphs(target.surface, x, y, g.memory.surface, 0xFFFFFF);
}

// A platform Surface (with a device context) filled with one colour.
struct PlatformSurface {
    Surface surface{};
    PlatformSurface(int32_t w, int32_t h, uint32_t colour) {
        createSurface(surface, nullptr, w, h, 24);
        fill(surface, colour);
    }
    ~PlatformSurface() { releaseSurface(surface); }
};

// Empty text, the ideographic space (one double-byte character), an unknown mode and
// cells for which no temporary picture can be made change nothing; text hanging off the
// Surface is cut; the device context is left as it was.
TEST(DrawText, NothingToDrawTextHangingOffAndTheDeviceContext) {
    headlessReset(testConfig());
    PlatformSurface s(40, 20, 0x123456), blank(40, 20, 0x123456);
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
    EXPECT_EQ(std::memcmp(s.surface.bits, blank.surface.bits, memorySurfaceBytes(s.surface)), 0);
    for (uint32_t mode : {TextPlain, TextSmoothed}) {
        PlatformSurface small(30, 15, 0), black(30, 15, 0);
        for (int32_t x : {-25, -5, 0, 15, 29})
            for (int32_t y : {-30, -10, 0, 5, 14})
                drawText(small.surface, "88:88\x82\x60", x, y, 0xFFFFFF, mode, 10, 20, 0, "");
        EXPECT_NE(std::memcmp(small.surface.bits, black.surface.bits, memorySurfaceBytes(small.surface)), 0);
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
