#include "gfx/text.h"

#include <cstddef>
#include <cstring>

#include "gfx/present.h"

namespace {

// "ＭＳ ゴシック" in Shift-JIS: the face every caller gets by passing an empty name.
constexpr char DefaultFace[] = "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E";
constexpr uint8_t ShiftJisCharSet = 128;

inline uint32_t colorRef(uint32_t colour) {
    return ((colour >> 16) & 0xFF) | (colour & 0xFF00) | ((colour & 0xFF) << 16);
}

inline bool hasPixels(const Surface& s) {
    return s.bits != nullptr && s.bytesPerPixel == 3 && s.width > 0 && s.height > 0;
}

// Selects font and the colour into dc and writes the text at (x, y), then puts back
// what dc had before.
void textOut(DcHandle dc, ObjectHandle font, const char* text, int32_t length, int32_t x,
             int32_t y, uint32_t colour) {
    ObjectHandle previousFont = platSelectObject(dc, font);
    uint32_t previousColour = platSetTextColor(dc, colorRef(colour));
    int previousMode = platSetBkMode(dc, BkTransparent);
    platTextOut(dc, x, y, text, length);
    platSelectObject(dc, previousFont);
    platSetTextColor(dc, previousColour);
    platSetBkMode(dc, previousMode);
}

}  // namespace

ObjectHandle createTextFont(int32_t cellWidth, int32_t cellHeight, int32_t escapement,
                            int32_t orientation, int32_t weight, const char* faceName) {
    FontRequest request{};
    request.height = cellHeight;
    request.width = cellWidth;
    request.escapement = escapement;
    request.orientation = orientation;
    request.weight = weight;
    request.charSet = ShiftJisCharSet;
    const char* face = (faceName != nullptr && faceName[0] != 0) ? faceName : DefaultFace;
    std::strncpy(request.faceName, face, sizeof request.faceName - 1);
    request.faceName[sizeof request.faceName - 1] = 0;
    return platCreateFont(request);
}

uint32_t edgeWeight(uint32_t mask, bool white) {
    const bool left = (mask & NeighbourLeft) != 0;
    const bool right = (mask & NeighbourRight) != 0;
    const bool top = (mask & NeighbourTop) != 0;
    const bool bottom = (mask & NeighbourBottom) != 0;
    const uint32_t diagonals =
        NeighbourTopLeft | NeighbourTopRight | NeighbourBottomLeft | NeighbourBottomRight;
    if (left && right) return 200;                // inside a horizontal run
    if (top != bottom) return white ? 120 : 75;   // end of a vertical stroke
    if (top && bottom) return white ? 150 : 125;  // inside a one-pixel vertical stroke
    if (left || right) return white ? 120 : 75;   // end of a horizontal run
    if (mask & diagonals) return white ? 100 : 50;
    return white ? 80 : 25;                       // a lone pixel
}

void smoothGlyphs(Surface& target, int32_t x, int32_t y, const Surface& glyphs,
                  uint32_t colour) {
    if (!hasPixels(target) || !hasPixels(glyphs)) return;
    const uint8_t c[3] = {uint8_t(colour), uint8_t(colour >> 8), uint8_t(colour >> 16)};
    const bool white = colour == 0xFFFFFF;
    const int32_t w = glyphs.width;
    const int32_t h = glyphs.height;
    // Rows of the target the glyph picture lies over, for the platform's change tracking.
    const int64_t firstRow = y < 0 ? 0 : y;
    const int64_t endRow = int64_t(y) + h < target.height ? int64_t(y) + h : target.height;
    if (target.hdc != nullptr && firstRow < endRow)
        platBitsWritten(target.hdc, int(firstRow), int(endRow));
    noteRowsWritten(target, firstRow, endRow);
    auto isGlyph = [&](int32_t l, int32_t k) {
        if (l < 0 || k < 0 || l >= w || k >= h) return false;
        const uint8_t* p = pixelAddress(glyphs, l, k);
        return p[0] == c[0] && p[1] == c[1] && p[2] == c[2];
    };
    for (int32_t k = 0; k < h; ++k) {
        const int64_t ty = int64_t(y) + k;
        if (ty < 0 || ty >= target.height) continue;
        for (int32_t l = 0; l < w; ++l) {
            if (!isGlyph(l, k)) continue;
            const int64_t tx = int64_t(x) + l;
            if (tx < 0 || tx >= target.width) continue;
            uint32_t mask = 0;
            for (uint32_t n = 0; n < 9; ++n)
                if (isGlyph(l + int32_t(n % 3) - 1, k + int32_t(n / 3) - 1)) mask |= 1u << n;
            const uint32_t m = edgeWeight(mask, white);
            uint8_t* t = pixelAddress(target, int32_t(tx), int32_t(ty));
            for (int b = 0; b < 3; ++b) t[b] = uint8_t((c[b] * m + t[b] * (200u - m)) / 200u);
        }
    }
}

int32_t drawText(Surface& target, const char* text, int32_t x, int32_t y, uint32_t colour,
                 uint32_t flags, int32_t cellWidth, int32_t cellHeight, int32_t weight,
                 const char* faceName) {
    if (text == nullptr || target.hdc == nullptr) return 1;
    const uint32_t mode = flags & 0xFF000000u;
    if (mode != TextPlain && mode != TextSmoothed) return 1;
    const size_t length = std::strlen(text);
    ObjectHandle font = createTextFont(cellWidth, cellHeight, 0, 0, weight, faceName);
    if (font == nullptr) return 1;

    if (mode == TextPlain) {
        textOut(target.hdc, font, text, int32_t(length), x, y, colour);
        noteRowsWritten(target, y, int64_t(y) + cellHeight);   // glyphs keep to their cells
        platDeleteObject(font);
        return 1;
    }

    // Smoothed: the glyphs go onto a key-green picture first; only pixels of exactly
    // the text colour are then blended into the target.
    const int64_t width = 2 * int64_t(cellWidth) * (int64_t(length) + 1);
    Surface glyphs{};
    if (width > 0 && width <= 0x7FFFFFFF &&
        createSurface(glyphs, target.hdc, int32_t(width), cellHeight, 24) != 0) {
        drawRect(glyphs, 0, 0, glyphs.width - 1, glyphs.height - 1, keyColour, RectFill);
        textOut(glyphs.hdc, font, text, int32_t(length), 0, 0, colour);
        smoothGlyphs(target, x, y, glyphs, colour);
        releaseSurface(glyphs);
    }
    platDeleteObject(font);
    return 1;
}
