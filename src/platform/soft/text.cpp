// Glyph output for the software window system: FreeType renders each character of the
// Shift-JIS text in monochrome into its fixed cell (cellWidth for a single byte, twice
// that for a double-byte character) of the device context's bitmap.
//
// Only pixels of exactly the text colour are written, the background is left as it
// is, and no pixel leaves its character cell or the bitmap.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <iconv.h>

#include <cmath>
#include <cstdint>

#include "platform/soft/soft.h"

namespace {

struct FontCache {
    bool tried;
    FT_Library library;
    FT_Face face;
    iconv_t toUtf32;
};

FontCache cache;

// Loads the face and the code-page converter once per process.
bool ensureFont() {
    if (cache.tried) return cache.face != nullptr && cache.toUtf32 != iconv_t(-1);
    cache.tried = true;
    cache.toUtf32 = iconv_open("UTF-32LE", "CP932");
    const char* file = backendFontFile();
    if (file == nullptr || FT_Init_FreeType(&cache.library) != 0) return false;
    if (FT_New_Face(cache.library, file, 0, &cache.face) != 0) {
        cache.face = nullptr;
        FT_Done_FreeType(cache.library);
        cache.library = nullptr;
        return false;
    }
    return cache.toUtf32 != iconv_t(-1);
}

bool isLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The code point of one Shift-JIS character, 0 when it has none.
uint32_t codePoint(const char* bytes, size_t count) {
    if (count == 1 && uint8_t(bytes[0]) < 0x80) return uint8_t(bytes[0]);
    char in[2] = {bytes[0], count > 1 ? bytes[1] : char(0)};
    unsigned char out[8] = {};
    char* inPtr = in;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t inLeft = count;
    size_t outLeft = sizeof out;
    iconv(cache.toUtf32, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cache.toUtf32, &inPtr, &inLeft, &outPtr, &outLeft) == size_t(-1)) return 0;
    if (sizeof out - outLeft < 4) return 0;
    return uint32_t(out[0]) | uint32_t(out[1]) << 8 | uint32_t(out[2]) << 16 |
           uint32_t(out[3]) << 24;
}

}  // namespace

int backendTextOut(SoftDc* dc, int x, int y, const char* text, int length) {
    if (!dc || !dc->bitmap || dc->bitmap->kind != SoftBitmapObject) return 0;
    const SoftBitmap& target = dc->bitmap->bitmap;
    if (!target.bits || length <= 0 || !ensureFont()) return 1;

    // The cell: the font's height and average width (a request without a width gets
    // half its height, one without any size the stock 8 x 16).
    int32_t cellHeight = 16;
    int32_t cellWidth = 8;
    if (dc->font && dc->font->kind == SoftFontObject && dc->font->font.height != 0) {
        cellHeight = std::abs(dc->font->font.height);
        cellWidth = dc->font->font.width != 0 ? std::abs(dc->font->font.width)
                                              : (cellHeight + 1) / 2;
    }
    if (cellHeight > 4096 || cellWidth > 4096) return 1;
    FT_Face face = cache.face;
    if (FT_Set_Pixel_Sizes(face, FT_UInt(2 * cellWidth), FT_UInt(cellHeight)) != 0) return 1;
    int32_t baseline = (cellHeight * 7 + 4) / 8;
    if (const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2)))
        if (face->units_per_EM != 0)
            baseline = int32_t(std::lround(double(cellHeight) * os2->sTypoAscender /
                                           face->units_per_EM));

    const uint8_t blue = uint8_t(dc->textColor >> 16);
    const uint8_t green = uint8_t(dc->textColor >> 8);
    const uint8_t red = uint8_t(dc->textColor);
    int64_t penX = x;
    for (int i = 0; i < length;) {
        const uint8_t b = uint8_t(text[i]);
        const size_t count = (isLeadByte(b) && i + 1 < length) ? 2 : 1;
        const int64_t cellLeft = penX;
        const int64_t cellRight = penX + int64_t(count) * cellWidth;   // one past
        penX = cellRight;
        const uint32_t code = codePoint(text + i, count);
        i += int(count);
        if (code == 0 || code == ' ' || code == 0x3000) continue;
        // Nothing of this cell can reach the bitmap: skip the rendering.
        if (cellRight <= 0 || cellLeft >= target.width || int64_t(y) + cellHeight <= 0 ||
            y >= target.height)
            continue;
        if (FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) continue;
        const FT_Bitmap& glyph = face->glyph->bitmap;
        if (glyph.pixel_mode != FT_PIXEL_MODE_MONO) continue;
        const int64_t left = cellLeft + face->glyph->bitmap_left;
        const int64_t top = int64_t(y) + baseline - face->glyph->bitmap_top;
        for (unsigned row = 0; row < glyph.rows; ++row) {
            const int64_t py = top + row;
            if (py < y || py >= int64_t(y) + cellHeight || py < 0 || py >= target.height)
                continue;
            const unsigned char* bits = glyph.buffer + int64_t(row) * glyph.pitch;
            uint8_t* line = target.bits + (int64_t(target.height) - 1 - py) * target.stride;
            for (unsigned col = 0; col < glyph.width; ++col) {
                if (!(bits[col >> 3] & (0x80u >> (col & 7)))) continue;
                const int64_t px = left + col;
                if (px < cellLeft || px >= cellRight || px < 0 || px >= target.width) continue;
                uint8_t* p = line + px * 3;
                p[0] = blue;
                p[1] = green;
                p[2] = red;
            }
        }
    }
    return 1;
}
