// A window picture shown at another size on a screen, for the backends that present a
// soft window's picture (sdl now, a canvas later): where it goes, and its pixels.
//
// Enlarging is sharp: each picture pixel covers a block of screen pixels, and only the
// one screen row or column where two blocks meet mixes them, by the share of its area
// each covers. That is the picture enlarged by the next whole factor with nearest
// neighbour and then reduced to the size with an area filter, done in one step: every
// screen pixel is a weighted mix of at most 2 x 2 picture pixels, from tables of source
// pixels and weights made once per size. A whole factor gives plain blocks, one to one a
// plain copy. Reducing averages the picture pixels each screen pixel covers.
//
// Pictures are the soft window system's format (24-bit blue-green-red, rows padded to
// 4 bytes, stored bottom-up); screens are 32-bit: blue, green, red, 0 in memory, or red,
// green, blue, 255 (a canvas's image data) for a scaler prepared with rgba.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/soft/present_diff.h"

// Where a srcWidth x srcHeight picture shows in a dstWidth x dstHeight area, centred.
// limit 0: enlarged by the largest factor that fits, whole or not; otherwise by the
// largest whole factor up to limit that fits. A picture larger than the area is reduced
// to fit, its aspect kept.
PresentRect presentPlace(int32_t srcWidth, int32_t srcHeight, int32_t dstWidth,
                         int32_t dstHeight, int32_t limit);

// The screen pixels [*d0, *d1) of a dst-long span that show some of the source pixels
// [s0, s1) of a src-long one: those a change of them alters, mixed edges included.
void presentScaledSpan(int32_t s0, int32_t s1, int32_t src, int32_t dst, int32_t* d0,
                       int32_t* d1);

// The picture pixel under point (x, y) of a placed picture, clamped to the picture.
void presentPictureCoordinates(const PresentRect& place, int32_t pictureWidth,
                               int32_t pictureHeight, int32_t x, int32_t y, int32_t* px,
                               int32_t* py);

// One screen pixel of an axis: the picture pixels it mixes and the first one's share in
// 256ths (256: only that one; second is then first or the next).
struct PresentTap {
    int32_t first, second, weight;
};

struct PresentScaler {
    int32_t sourceWidth, sourceHeight;  // the picture
    int32_t width, height;              // its size on the screen
    bool rgba;                          // screen pixels are red, green, blue, 255
    PresentTap* columns;                // width taps
    PresentTap* rows;                   // height taps
    // Picture rows mixed along the columns of the span being drawn, 4 lanes of 16 bits
    // per screen pixel, and the picture row each holds (-1: none).
    uint16_t* mixed[2];
    int32_t mixedRow[2];
    void* memory;
    size_t capacity;
};

// Makes the tables for a picture shown at width x height, keeping the memory when it
// is large enough. False when memory runs out (the scaler then draws nothing).
bool presentScalerPrepare(PresentScaler& scaler, int32_t sourceWidth, int32_t sourceHeight,
                          int32_t width, int32_t height, bool rgba = false);
void presentScalerRelease(PresentScaler& scaler);

// Writes the screen pixels of rect (in the scaled picture's coordinates, inside width x
// height) into pixels, pitch bytes a row, the scaled picture's top-left at (x, y).
void presentScale(PresentScaler& scaler, const uint8_t* picture, int32_t stride,
                  const PresentRect& rect, uint8_t* pixels, int32_t pitch, int32_t x, int32_t y);
