// Glyph output for the software window system: each character of the Shift-JIS text in
// its fixed cell (cellWidth for a single byte, twice that for a double-byte character)
// of the device context's bitmap, in monochrome from the glyph source of glyphs.h.
//
// Only pixels of exactly the text colour are written, the background is left as it
// is, and no pixel leaves its character cell or the bitmap.
#include <cstdint>
#include <cstdlib>

#include "platform/soft/glyphs.h"
#include "platform/soft/soft.h"

namespace {

bool isLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace

int backendTextOut(SoftDc* dc, int x, int y, const char* text, int length) {
    if (!dc || !dc->bitmap || dc->bitmap->kind != SoftBitmapObject) return 0;
    const SoftBitmap& target = dc->bitmap->bitmap;
    if (!target.bits || length <= 0 || !softGlyphsReady()) return 1;

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
    const int32_t baseline = softGlyphBaseline(cellHeight);

    const uint8_t blue = uint8_t(dc->textColor >> 16);
    const uint8_t green = uint8_t(dc->textColor >> 8);
    const uint8_t red = uint8_t(dc->textColor);
    int64_t penX = x;
    for (int i = 0; i < length;) {
        const uint8_t b = uint8_t(text[i]);
        const int32_t count = (isLeadByte(b) && i + 1 < length) ? 2 : 1;
        const int64_t cellLeft = penX;
        const int64_t cellRight = penX + int64_t(count) * cellWidth;   // one past
        penX = cellRight;
        const char* bytes = text + i;
        i += count;
        // Nothing of this cell can reach the bitmap: skip the rendering.
        if (cellRight <= 0 || cellLeft >= target.width || int64_t(y) + cellHeight <= 0 ||
            y >= target.height)
            continue;
        SoftGlyph glyph;
        if (!softGlyph(bytes, count, cellWidth, cellHeight, glyph)) continue;
        const int64_t left = cellLeft + glyph.left;
        const int64_t top = int64_t(y) + baseline - glyph.top;
        for (int32_t row = 0; row < glyph.rows; ++row) {
            const int64_t py = top + row;
            if (py < y || py >= int64_t(y) + cellHeight || py < 0 || py >= target.height)
                continue;
            const unsigned char* bits = glyph.bits + int64_t(row) * glyph.pitch;
            uint8_t* line = target.bits + (int64_t(target.height) - 1 - py) * target.stride;
            for (int32_t col = 0; col < glyph.width; ++col) {
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
