// Off-screen 24-bit images and the pixel operations all drawing is made of.
//
// Pixels are blue, green, red; rows are padded to 4 bytes and stored bottom-up, while
// every operation takes top-down coordinates. Colours are 0xRRGGBB values.
#pragma once
#include <cstdint>

#include "platform/platform.h"

struct Surface {
    DcHandle hdc;
    ObjectHandle previousBitmap;
    ObjectHandle dib;
    uint8_t* bits;
    BitmapInfo info;
    int32_t stride;
    int32_t bytesPerPixel;
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;
};

constexpr uint32_t keyColour = 0x00FF00;
enum : int32_t { KeyOpaque = 0, KeyTransparent = 1 };
enum : uint32_t { RectFrame = 1, RectFill = 2 };

int32_t createSurface(Surface& surface, DcHandle dc, int32_t width, int32_t height,
                      int32_t bitsPerPixel);
int32_t releaseSurface(Surface& surface);
int32_t loadBitmapResource(Surface& surface, uint16_t id);
uint8_t* pixelAddress(const Surface& surface, int32_t x, int32_t y);
uint32_t getPixel(const Surface& surface, int32_t x, int32_t y);
int32_t putPixel(Surface& surface, int32_t x, int32_t y, uint32_t colour);
int32_t copyRect(Surface& dst, int32_t dstX, int32_t dstY, int32_t width, int32_t height,
                 const Surface& src, int32_t srcX, int32_t srcY, int32_t keyMode);
int32_t fadeRect(Surface& dst, int32_t dstX, int32_t dstY, int32_t width, int32_t height,
                 const Surface& src, int32_t srcX, int32_t srcY, uint32_t darkness);
int32_t crossFadeRect(Surface& dst, int32_t dstX, int32_t dstY, int32_t width, int32_t height,
                      const Surface& srcA, int32_t aX, int32_t aY, const Surface& srcB,
                      int32_t bX, int32_t bY, uint32_t level, int32_t keyMode);
int32_t drawRect(Surface& surface, int32_t left, int32_t top, int32_t right, int32_t bottom,
                 uint32_t colour, uint32_t mode);
