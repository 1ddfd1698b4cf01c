#include "platform/soft/present_diff.h"

#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define PRESENT_SSSE3 1
#endif

namespace {

#ifdef PRESENT_SSSE3
// How many of the first count pixels (a multiple of 16) are equal, 16 at a time: the
// 24-bit pixels are spread to 32 bits with byte shuffles and compared with the surface's.
__attribute__((target("ssse3"))) int32_t equalPixelsSsse3(const uint8_t* from,
                                                          const uint8_t* pixels, int32_t count) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    int32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const uint8_t* f = from + size_t(i) * 3;
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f + 32));
        const __m128i p0 = _mm_shuffle_epi8(a, spread);
        const __m128i p1 = _mm_shuffle_epi8(_mm_alignr_epi8(b, a, 12), spread);
        const __m128i p2 = _mm_shuffle_epi8(_mm_alignr_epi8(c, b, 8), spread);
        const __m128i p3 = _mm_shuffle_epi8(_mm_srli_si128(c, 4), spread);
        const __m128i* t = reinterpret_cast<const __m128i*>(pixels + size_t(i) * 4);
        const __m128i same =
            _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(p0, _mm_loadu_si128(t)),
                                        _mm_cmpeq_epi8(p1, _mm_loadu_si128(t + 1))),
                          _mm_and_si128(_mm_cmpeq_epi8(p2, _mm_loadu_si128(t + 2)),
                                        _mm_cmpeq_epi8(p3, _mm_loadu_si128(t + 3))));
        if (_mm_movemask_epi8(same) != 0xFFFF) break;
    }
    return i;
}

const bool hasSsse3 = __builtin_cpu_supports("ssse3");
#endif

inline int32_t minOf(int32_t a, int32_t b) { return a < b ? a : b; }
inline int32_t maxOf(int32_t a, int32_t b) { return a > b ? a : b; }

// Adds one rectangle, extending the one above it when the columns match, or growing the
// last one when the list is full.
void addRect(PresentRect* out, int32_t& count, int32_t capacity, const PresentRect& r,
             bool mayExtend) {
    if (count > 0) {
        PresentRect& last = out[count - 1];
        if (mayExtend && last.x == r.x && last.width == r.width && last.y + last.height == r.y) {
            last.height += r.height;
            return;
        }
        if (count == capacity) {
            int32_t x0 = minOf(last.x, r.x), y0 = minOf(last.y, r.y);
            int32_t x1 = maxOf(last.x + last.width, r.x + r.width);
            int32_t y1 = maxOf(last.y + last.height, r.y + r.height);
            last = PresentRect{x0, y0, x1 - x0, y1 - y0};
            return;
        }
    }
    if (capacity > 0) out[count++] = r;
}

}  // namespace

void presentGrow(PlatRect& changed, bool& any, const PlatRect& area) {
    if (!any) {
        changed = area;
        any = true;
        return;
    }
    changed = PlatRect{minOf(changed.left, area.left), minOf(changed.top, area.top), maxOf(changed.right, area.right),
                       maxOf(changed.bottom, area.bottom)};
}

int32_t presentDiff(const uint8_t* picture, uint8_t* shadow, int32_t width, int32_t height,
                    int32_t stride, const PlatRect& area, PresentRect* out, int32_t capacity) {
    int32_t x0 = maxOf(area.left, 0), x1 = minOf(area.right, width);
    int32_t y0 = maxOf(area.top, 0), y1 = minOf(area.bottom, height);
    if (x0 >= x1 || y0 >= y1 || !picture || !shadow) return 0;

    constexpr int32_t MaxTiles = 32768 / PresentTileWidth;
    uint8_t changed[MaxTiles];
    const int32_t tile0 = x0 / PresentTileWidth;
    const int32_t tile1 = (x1 + PresentTileWidth - 1) / PresentTileWidth;
    const int32_t spanX0 = tile0 * PresentTileWidth;
    const int32_t spanX1 = minOf(width, tile1 * PresentTileWidth);
    const size_t spanBytes = size_t(spanX1 - spanX0) * 3;

    int32_t count = 0;
    for (int32_t band = y0 / PresentTileRows; band * PresentTileRows < y1; ++band) {
        const int32_t rowBegin = band * PresentTileRows;
        const int32_t rowEnd = minOf(height, rowBegin + PresentTileRows);
        bool any = false;
        std::memset(changed + tile0, 0, size_t(tile1 - tile0));
        for (int32_t y = rowBegin; y < rowEnd; ++y) {
            const size_t row = size_t(height - 1 - y) * size_t(stride);
            const uint8_t* p = picture + row;
            const uint8_t* s = shadow + row;
            // Most rows are unchanged: one comparison of the whole span settles them.
            if (std::memcmp(p + spanX0 * 3, s + spanX0 * 3, spanBytes) == 0) continue;
            any = true;
            for (int32_t t = tile0; t < tile1; ++t) {
                if (changed[t]) continue;
                const int32_t tx = t * PresentTileWidth;
                const size_t bytes = size_t(minOf(width, tx + PresentTileWidth) - tx) * 3;
                if (std::memcmp(p + tx * 3, s + tx * 3, bytes) != 0) changed[t] = 1;
            }
        }
        if (!any) continue;

        int32_t runs = 0;
        for (int32_t t = tile0; t < tile1; ++t)
            if (changed[t] && (t == tile0 || !changed[t - 1])) ++runs;
        for (int32_t t = tile0; t < tile1;) {
            if (!changed[t]) {
                ++t;
                continue;
            }
            int32_t end = t;
            while (end < tile1 && changed[end]) ++end;
            const int32_t rx = t * PresentTileWidth;
            const int32_t rw = minOf(width, end * PresentTileWidth) - rx;
            for (int32_t y = rowBegin; y < rowEnd; ++y) {
                const size_t at = size_t(height - 1 - y) * size_t(stride) + size_t(rx) * 3;
                std::memcpy(shadow + at, picture + at, size_t(rw) * 3);
            }
            addRect(out, count, capacity, PresentRect{rx, rowBegin, rw, rowEnd - rowBegin},
                    runs == 1);
            t = end;
        }
    }
    return count;
}

bool presentCopyRow(const uint8_t* row, int32_t x, int32_t width, uint8_t* to, uint8_t* tiles) {
    bool any = false;
    for (int32_t done = 0; done < width;) {
        // The part of this row inside one tile.
        const int32_t column = x + done;
        const int32_t tile = column / PresentTileWidth;
        const int32_t count = minOf(width - done, (tile + 1) * PresentTileWidth - column);
        const uint8_t* from = row + size_t(done) * 3;
        uint8_t* pixels = to + size_t(done) * 4;
        int32_t i = 0;
#ifdef PRESENT_SSSE3
        if (hasSsse3) i = equalPixelsSsse3(from, pixels, count & ~15);
#endif
        // Four pixels at a time while they are equal: 12 picture bytes as three
        // little-endian words against four surface words.
        for (; i + 4 <= count; i += 4) {
            uint32_t w[3], t[4];
            std::memcpy(w, from + size_t(i) * 3, 12);
            std::memcpy(t, pixels + size_t(i) * 4, 16);
            const uint32_t differ = (t[0] ^ (w[0] & 0xFFFFFF)) |
                                    (t[1] ^ (w[0] >> 24 | (w[1] & 0xFFFF) << 8)) |
                                    (t[2] ^ (w[1] >> 16 | (w[2] & 0xFF) << 16)) |
                                    (t[3] ^ (w[2] >> 8));
            if (differ) break;
        }
        for (; i < count; ++i) {
            uint32_t shown;
            std::memcpy(&shown, pixels + size_t(i) * 4, 4);
            const uint32_t wanted = uint32_t(from[i * 3]) | uint32_t(from[i * 3 + 1]) << 8 |
                                    uint32_t(from[i * 3 + 2]) << 16;
            if (shown != wanted) break;
        }
        if (i < count) {
            for (; i < count; ++i) {
                const uint32_t wanted = uint32_t(from[i * 3]) | uint32_t(from[i * 3 + 1]) << 8 |
                                        uint32_t(from[i * 3 + 2]) << 16;
                std::memcpy(pixels + size_t(i) * 4, &wanted, 4);
            }
            tiles[tile] = 1;
            any = true;
        }
        done += count;
    }
    return any;
}

int32_t presentTileRects(uint8_t* tiles, int32_t columns, int32_t firstBand, int32_t endBand,
                         int32_t width, int32_t height, PresentRect* out, int32_t capacity) {
    int32_t count = 0;
    for (int32_t band = firstBand; band < endBand; ++band) {
        uint8_t* marks = tiles + size_t(band) * size_t(columns);
        const int32_t rowBegin = band * PresentTileRows;
        const int32_t rowEnd = minOf(height, rowBegin + PresentTileRows);
        int32_t runs = 0;
        for (int32_t t = 0; t < columns; ++t)
            if (marks[t] && (t == 0 || !marks[t - 1])) ++runs;
        for (int32_t t = 0; t < columns;) {
            if (!marks[t]) {
                ++t;
                continue;
            }
            int32_t end = t;
            while (end < columns && marks[end]) marks[end++] = 0;
            const int32_t rx = t * PresentTileWidth;
            const int32_t rw = minOf(width, end * PresentTileWidth) - rx;
            if (rw > 0 && rowEnd > rowBegin)
                addRect(out, count, capacity, PresentRect{rx, rowBegin, rw, rowEnd - rowBegin},
                        runs == 1);
            t = end;
        }
    }
    return count;
}

void presentConvert(const uint8_t* picture, int32_t pictureHeight, int32_t stride,
                    const PresentRect& rect, uint8_t* pixels, int32_t pitch, int32_t dstX,
                    int32_t dstY) {
    for (int32_t row = 0; row < rect.height; ++row) {
        const uint8_t* from =
            picture + size_t(pictureHeight - 1 - (rect.y + row)) * size_t(stride) +
            size_t(rect.x) * 3;
        uint32_t* to = reinterpret_cast<uint32_t*>(pixels + size_t(dstY + row) * size_t(pitch)) +
                       dstX;
        for (int32_t i = 0; i < rect.width; ++i, from += 3)
            to[i] = uint32_t(from[0]) | uint32_t(from[1]) << 8 | uint32_t(from[2]) << 16;
    }
}

// ---- The push button ---------------------------------------------------------------

namespace {

constexpr uint32_t ButtonFace = 0xD4D0C8;
constexpr uint32_t ButtonHighlight = 0xFFFFFF;
constexpr uint32_t ButtonLight = 0xD4D0C8;
constexpr uint32_t ButtonShadow = 0x808080;
constexpr uint32_t ButtonDarkShadow = 0x404040;
constexpr uint32_t ButtonText = 0x000000;

// 5 x 7 letters, one byte a row, bit 4 the leftmost pixel.
struct Glyph {
    char letter;
    uint8_t rows[7];
};
constexpr Glyph Glyphs[] = {
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
};

struct Canvas {
    uint8_t* pixels;
    int32_t pitch, width, height;
    void fill(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) const {
        int32_t xa = maxOf(x, 0), ya = maxOf(y, 0);
        int32_t xb = minOf(x + w, width), yb = minOf(y + h, height);
        for (int32_t row = ya; row < yb; ++row) {
            uint32_t* to = reinterpret_cast<uint32_t*>(pixels + size_t(row) * size_t(pitch));
            for (int32_t i = xa; i < xb; ++i) to[i] = colour;
        }
    }
};

const Glyph* glyphFor(char c) {
    for (const Glyph& g : Glyphs)
        if (g.letter == c) return &g;
    return nullptr;
}

}  // namespace

void presentDrawButton(uint8_t* pixels, int32_t pitch, int32_t surfaceWidth,
                       int32_t surfaceHeight, const PresentRect& b, const char* text,
                       bool pressed) {
    const Canvas c{pixels, pitch, surfaceWidth, surfaceHeight};
    if (b.width < 4 || b.height < 4) return;
    c.fill(b.x, b.y, b.width, b.height, ButtonFace);
    const int32_t right = b.x + b.width - 1, bottom = b.y + b.height - 1;
    if (pressed) {
        // Sunken: a dark frame with a shadow line inside it.
        c.fill(b.x, b.y, b.width, 1, ButtonDarkShadow);
        c.fill(b.x, bottom, b.width, 1, ButtonDarkShadow);
        c.fill(b.x, b.y, 1, b.height, ButtonDarkShadow);
        c.fill(right, b.y, 1, b.height, ButtonDarkShadow);
        c.fill(b.x + 1, b.y + 1, b.width - 2, 1, ButtonShadow);
        c.fill(b.x + 1, b.y + 1, 1, b.height - 2, ButtonShadow);
    } else {
        // Raised: light from the top left, shadow at the bottom right.
        c.fill(b.x, b.y, b.width - 1, 1, ButtonHighlight);
        c.fill(b.x, b.y, 1, b.height - 1, ButtonHighlight);
        c.fill(b.x + 1, b.y + 1, b.width - 3, 1, ButtonLight);
        c.fill(b.x + 1, b.y + 1, 1, b.height - 3, ButtonLight);
        c.fill(b.x, bottom, b.width, 1, ButtonDarkShadow);
        c.fill(right, b.y, 1, b.height, ButtonDarkShadow);
        c.fill(b.x + 1, bottom - 1, b.width - 2, 1, ButtonShadow);
        c.fill(right - 1, b.y + 1, 1, b.height - 2, ButtonShadow);
    }
    if (!text) return;
    int32_t letters = 0;
    for (const char* t = text; *t; ++t) letters += glyphFor(*t) ? 1 : 0;
    if (letters == 0) return;
    // Letters 5 wide with one column between, drawn at twice the size, centred.
    constexpr int32_t Scale = 2;
    const int32_t textWidth = (letters * 6 - 1) * Scale;
    int32_t x = b.x + (b.width - textWidth) / 2 + (pressed ? 1 : 0);
    const int32_t y = b.y + (b.height - 7 * Scale) / 2 + (pressed ? 1 : 0);
    for (const char* t = text; *t; ++t) {
        const Glyph* g = glyphFor(*t);
        if (!g) continue;
        for (int32_t row = 0; row < 7; ++row)
            for (int32_t col = 0; col < 5; ++col)
                if (g->rows[row] & (0x10 >> col))
                    c.fill(x + col * Scale, y + row * Scale, Scale, Scale, ButtonText);
        x += 6 * Scale;
    }
}
