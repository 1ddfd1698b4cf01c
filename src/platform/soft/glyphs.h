// Where the software window system's text output takes its glyphs from: FreeType with
// the Japanese gothic font (glyphs_freetype.cpp), or, in the web edition, a table of the
// glyphs the program draws, rendered by the same FreeType code when it was made.
//
// A glyph is a monochrome bitmap, most significant bit first, placed by FreeType's
// offsets from the cell's left edge and the baseline.
#pragma once
#include <cstdint>

struct SoftGlyph {
    const unsigned char* bits;
    int32_t width, rows, pitch;
    int32_t left, top;             // FreeType's bitmap_left and bitmap_top
};

// The glyphs can be had at all (the font loads).
bool softGlyphsReady();
// The baseline's distance from the top of a cell cellHeight pixels high.
int32_t softGlyphBaseline(int32_t cellHeight);
// The glyph of one Shift-JIS character (count 1 or 2 bytes) in a cellWidth x cellHeight
// cell (a double-byte character spans two cell widths); false when the cell stays empty:
// a blank, a character without a code point or without a glyph.
bool softGlyph(const char* bytes, int32_t count, int32_t cellWidth, int32_t cellHeight, SoftGlyph& out);
