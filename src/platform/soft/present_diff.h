// Presentation helpers for the backends that show a soft window's picture on a screen
// (sdl now, a canvas later), free of any library so they can be tested on their own:
// finding what changed in a window picture since the last present, writing picture rows
// into a 32-bit window surface one to one, and the push button the backend draws over
// the picture. Scaling is in present_scale.h.
//
// Pictures are the soft window system's format: 24-bit blue-green-red, rows padded to
// 4 bytes, stored bottom-up. Rectangles here are top-down, in pixels.
#pragma once
#include <cstdint>

#include "platform/platform.h"

struct PresentRect {
    int32_t x, y, width, height;
};

// Adds area (right/bottom exclusive) to what changed since the last present: the
// smallest rectangle holding both, or area itself when nothing had.
void presentGrow(PlatRect& changed, bool& any, const PlatRect& area);

// Changes are found tile by tile; a tile is this many pixels wide and rows high.
constexpr int32_t PresentTileWidth = 32;
constexpr int32_t PresentTileRows = 16;

// Compares area (right/bottom exclusive, clipped to the picture) of picture against
// shadow, which holds what was presented last in the same layout. Differing tiles are
// copied into shadow and covered by the rectangles written to out: a run of adjacent
// differing tiles in a band of rows is one rectangle, and a run with the same columns as
// the rectangle just above it extends that rectangle. When more than capacity rectangles
// would be needed the last one grows to cover the rest. Returns the number written.
int32_t presentDiff(const uint8_t* picture, uint8_t* shadow, int32_t width, int32_t height,
                    int32_t stride, const PlatRect& area, PresentRect* out, int32_t capacity);

// Writing copies straight into a 32-bit window surface, with no picture kept between.
// A row of width 24-bit pixels (blue, green, red) that belongs at picture column x is
// compared with the 32-bit pixels at `to` (as presentConvert writes them); tiles
// (PresentTileWidth columns from a multiple of it) holding a differing pixel get that
// part written and are marked in tiles[column / PresentTileWidth]. Returns whether any
// pixel differed.
bool presentCopyRow(const uint8_t* row, int32_t x, int32_t width, uint8_t* to, uint8_t* tiles);

// The rectangles covering the marked tiles of bands [firstBand, endBand) of a map of
// columns x bands tiles over a width x height picture, clearing the marks: a run of
// adjacent marked tiles in a band is one rectangle, a run with the same columns as the
// rectangle just above it extends that one, and when more than capacity would be needed
// the last grows to cover the rest. Returns the number written.
int32_t presentTileRects(uint8_t* tiles, int32_t columns, int32_t firstBand, int32_t endBand,
                         int32_t width, int32_t height, PresentRect* out, int32_t capacity);

// Writes rect of the picture as 32-bit pixels (blue, green, red, 0 in memory: XRGB8888
// on a little-endian machine) into pixels, pitch bytes per row, at (dstX, dstY).
void presentConvert(const uint8_t* picture, int32_t pictureHeight, int32_t stride,
                    const PresentRect& rect, uint8_t* pixels, int32_t pitch, int32_t dstX,
                    int32_t dstY);

// Draws a plain push button with the text "OK" (other letters are left out), raised or
// pressed, into 32-bit pixels of a surface surfaceWidth x surfaceHeight, clipped to it.
void presentDrawButton(uint8_t* pixels, int32_t pitch, int32_t surfaceWidth,
                       int32_t surfaceHeight, const PresentRect& button, const char* text,
                       bool pressed);
