// Glyph output for the software window system in Windows builds (the Windows
// pellrun-sim): GDI draws the Shift-JIS text with TextOutA into a private 24-bit DIB
// section the size of the text's cells, and the pixels of exactly the text colour are
// copied into the device context's bitmap.
//
// As with the FreeType output of the Linux builds, the background is left as it is,
// glyphs are monochrome, and nothing is written outside the bitmap.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/soft/soft.h"

namespace {

// "ＭＳ ゴシック" in Shift-JIS: the face a request without a face name gets.
const char DefaultFace[] = "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e";

// One memory DC with its scratch DIB and the font of the last request, kept for the
// whole process: the program draws the same few fonts over and over.
struct GdiCache {
    HDC dc;
    HBITMAP dib;
    uint8_t* bits;
    int32_t width, height, stride;
    HFONT font;
    FontRequest request;
};

GdiCache cache;

bool sameRequest(const FontRequest& a, const FontRequest& b) {
    return a.height == b.height && a.width == b.width && a.escapement == b.escapement &&
           a.orientation == b.orientation && a.weight == b.weight && a.charSet == b.charSet &&
           std::strncmp(a.faceName, b.faceName, sizeof a.faceName) == 0;
}

bool ensureDc() {
    if (cache.dc) return true;
    cache.dc = CreateCompatibleDC(nullptr);
    return cache.dc != nullptr;
}

// Selects a font made from the request, reusing the last one when it is the same.
bool selectFont(const FontRequest& request) {
    if (cache.font && sameRequest(cache.request, request)) return true;
    char face[LF_FACESIZE];
    std::memcpy(face, request.faceName, sizeof face);
    face[LF_FACESIZE - 1] = 0;
    if (face[0] == 0) std::memcpy(face, DefaultFace, sizeof DefaultFace);
    // Monochrome like the other builds' glyphs: only the text colour itself is drawn.
    HFONT font = CreateFontA(request.height, request.width, request.escapement,
                             request.orientation, request.weight, FALSE, FALSE, FALSE,
                             request.charSet, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             NONANTIALIASED_QUALITY, DEFAULT_PITCH, face);
    if (!font) return false;
    SelectObject(cache.dc, font);
    if (cache.font) DeleteObject(cache.font);
    cache.font = font;
    cache.request = request;
    return true;
}

// Makes the scratch DIB (top-down) at least width x height.
bool ensureDib(int32_t width, int32_t height) {
    if (cache.dib && cache.width >= width && cache.height >= height) return true;
    if (cache.width > width) width = cache.width;
    if (cache.height > height) height = cache.height;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(cache.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib || !bits) return false;
    SelectObject(cache.dc, dib);
    if (cache.dib) DeleteObject(cache.dib);
    cache.dib = dib;
    cache.bits = static_cast<uint8_t*>(bits);
    cache.width = width;
    cache.height = height;
    cache.stride = (width * 3 + 3) & ~3;
    return true;
}

}  // namespace

int backendTextOut(SoftDc* dc, int x, int y, const char* text, int length) {
    if (!dc || !dc->bitmap || dc->bitmap->kind != SoftBitmapObject) return 0;
    const SoftBitmap& target = dc->bitmap->bitmap;
    if (!target.bits || length <= 0 || !ensureDc()) return 1;

    // The stock font of a device context is an 8 x 16 cell of the default face.
    FontRequest request = {};
    request.height = 16;
    request.width = 8;
    request.charSet = SHIFTJIS_CHARSET;
    if (dc->font && dc->font->kind == SoftFontObject && dc->font->font.height != 0)
        request = dc->font->font;
    if (std::abs(request.height) > 4096 || std::abs(request.width) > 4096) return 1;
    if (!selectFont(request)) return 1;

    // The area the text's cells cover: the font's cell height and the text's extent,
    // and never less than one cell width per byte.
    TEXTMETRICA metrics;
    SIZE extent;
    if (!GetTextMetricsA(cache.dc, &metrics) ||
        !GetTextExtentPoint32A(cache.dc, text, length, &extent))
        return 1;
    const int32_t cellHeight = std::abs(request.height);
    const int32_t cellWidth = request.width != 0 ? std::abs(request.width) : (cellHeight + 1) / 2;
    int64_t areaWidth = int64_t(length) * cellWidth;
    if (extent.cx + metrics.tmOverhang > areaWidth) areaWidth = extent.cx + metrics.tmOverhang;
    int64_t areaHeight = metrics.tmHeight > cellHeight ? metrics.tmHeight : cellHeight;
    // Only the part of the area inside the bitmap is drawn: the scratch DIB covers
    // that window, and the text is placed in it relative to the window's corner.
    const int64_t left = x > 0 ? x : 0;
    const int64_t top = y > 0 ? y : 0;
    const int64_t right = int64_t(x) + areaWidth < target.width ? int64_t(x) + areaWidth
                                                                 : int64_t(target.width);
    const int64_t bottom = int64_t(y) + areaHeight < target.height ? int64_t(y) + areaHeight
                                                                    : int64_t(target.height);
    if (left >= right || top >= bottom) return 1;
    const int32_t width = int32_t(right - left);
    const int32_t height = int32_t(bottom - top);
    if (!ensureDib(width, height)) return 1;

    // A background of the text colour's complement, so every text-coloured pixel is
    // one the text drew.
    const uint8_t blue = uint8_t(dc->textColor >> 16);
    const uint8_t green = uint8_t(dc->textColor >> 8);
    const uint8_t red = uint8_t(dc->textColor);
    for (int32_t row = 0; row < height; ++row) {
        uint8_t* p = cache.bits + int64_t(row) * cache.stride;
        for (int32_t col = 0; col < width; ++col, p += 3) {
            p[0] = uint8_t(~blue);
            p[1] = uint8_t(~green);
            p[2] = uint8_t(~red);
        }
    }
    SetTextColor(cache.dc, RGB(red, green, blue));
    SetBkMode(cache.dc, TRANSPARENT);
    SetTextAlign(cache.dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    TextOutA(cache.dc, int(x - left), int(y - top), text, length);
    GdiFlush();

    for (int32_t row = 0; row < height; ++row) {
        const uint8_t* from = cache.bits + int64_t(row) * cache.stride;
        uint8_t* to = target.bits + (int64_t(target.height) - 1 - (top + row)) * target.stride +
                      left * 3;
        for (int32_t col = 0; col < width; ++col, from += 3, to += 3) {
            if (from[0] != blue || from[1] != green || from[2] != red) continue;
            to[0] = blue;
            to[1] = green;
            to[2] = red;
        }
    }
    return 1;
}

// Only the font is kept between calls here, never rendered glyphs: nothing to switch.
void softSetGlyphCache(bool) {}
// GDI chooses its font by the request's face name, never from a file.
void softReloadFont() {}
