// Text in a fixed character cell, plain or with the program's own edge smoothing.
//
// Strings are Shift-JIS bytes: a single-byte character takes one cell width, a
// double-byte character two. Glyphs come from the platform's text output; the
// smoothing pass that softens stroke ends is ours and the same on every platform.
#pragma once
#include <cstdint>

#include "gfx/surface.h"

// Mode in bits 24..31 of drawText's flags.
enum : uint32_t { TextPlain = 0x00000000u, TextSmoothed = 0x02000000u };

// The font drawText makes for each call: a cellWidth x cellHeight cell, Shift-JIS,
// the default gothic face when faceName is empty. The caller deletes it.
ObjectHandle createTextFont(int32_t cellWidth, int32_t cellHeight, int32_t escapement,
                            int32_t orientation, int32_t weight, const char* faceName);

// Draws text with its first cell's top-left corner at (x, y) in colour (0xRRGGBB).
// No pixel outside target is written. Always returns 1; when the font or the
// temporary picture of the smoothed mode cannot be made, nothing is drawn.
int32_t drawText(Surface& target, const char* text, int32_t x, int32_t y, uint32_t colour,
                 uint32_t flags, int32_t cellWidth, int32_t cellHeight, int32_t weight,
                 const char* faceName);

// ---- The smoothing pass --------------------------------------------------------------
// Bit n of a neighbour mask is the pixel at column offset n % 3 - 1 and row offset
// n / 3 - 1 (bit 4 the pixel itself).
enum : uint32_t {
    NeighbourTopLeft = 1u << 0,
    NeighbourTop = 1u << 1,
    NeighbourTopRight = 1u << 2,
    NeighbourLeft = 1u << 3,
    NeighbourSelf = 1u << 4,
    NeighbourRight = 1u << 5,
    NeighbourBottomLeft = 1u << 6,
    NeighbourBottom = 1u << 7,
    NeighbourBottomRight = 1u << 8,
};

// Strength (out of 200) of a glyph pixel with the given neighbours; white text keeps
// more strength at stroke ends than any other colour.
uint32_t edgeWeight(uint32_t mask, bool white);

// Blends every pixel of glyphs that is exactly colour into target, glyphs' (0, 0)
// landing on (x, y), each with the strength its neighbours in glyphs give it. Pixels
// that would land outside target are skipped.
void smoothGlyphs(Surface& target, int32_t x, int32_t y, const Surface& glyphs,
                  uint32_t colour);
