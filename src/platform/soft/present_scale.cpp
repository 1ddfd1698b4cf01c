#include "platform/soft/present_scale.h"

#include <cstdlib>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

inline int32_t minOf(int32_t a, int32_t b) { return a < b ? a : b; }
inline int32_t maxOf(int32_t a, int32_t b) { return a > b ? a : b; }

// The taps of an axis of source pixels shown size pixels long (size >= source). In units
// where a source pixel is size long and a screen pixel source long, screen pixel d covers
// [d * source, (d + 1) * source): its first source pixel, and the share of it that lies
// before the next one begins.
void makeTaps(PresentTap* taps, int32_t source, int32_t size) {
    for (int32_t d = 0; d < size; ++d) {
        const int64_t start = int64_t(d) * source, end = start + source;
        const int32_t first = int32_t(start / size);
        const int64_t boundary = int64_t(first + 1) * size;
        int32_t weight = 256;
        if (end > boundary) weight = int32_t(((boundary - start) * 256 + source / 2) / source);
        taps[d] = PresentTap{first, first + 1 < source ? first + 1 : first, weight};
    }
}

// A pixel's blue, green and red in the three low 16-bit fields of a word: the lanes of a
// mixed row, little-endian. Each field times a weight of up to 256, plus the other
// pixel's field times the rest, stays within its 16 bits.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "mixed rows are written as little-endian words");
inline uint64_t spread(const uint8_t* p) {
    return uint64_t(p[0]) | uint64_t(p[1]) << 16 | uint64_t(p[2]) << 32;
}
// The same as red, green, blue and 255: mixed, the fourth lane stays 255 * 256, which
// rounds to 255.
inline uint64_t spreadRgba(const uint8_t* p) {
    return uint64_t(p[2]) | uint64_t(p[1]) << 16 | uint64_t(p[0]) << 32 | uint64_t(255) << 48;
}

// Picture row `row` mixed along the screen columns [x0, x0 + count): 16-bit lanes of
// the screen's four bytes, each the two pixels' bytes times their weights.
template <uint64_t (*Spread)(const uint8_t*)>
void mixRowAs(const PresentScaler& s, const uint8_t* picture, int32_t stride, int32_t row,
              int32_t x0, int32_t count, uint16_t* out) {
    const uint8_t* from = picture + size_t(s.sourceHeight - 1 - row) * size_t(stride);
    const PresentTap* taps = s.columns + x0;
    for (int32_t i = 0; i < count; ++i) {
        const PresentTap& t = taps[i];
        const uint64_t wa = uint64_t(t.weight), wb = 256 - wa;
        const uint64_t mixed = Spread(from + size_t(t.first) * 3) * wa + Spread(from + size_t(t.second) * 3) * wb;
        std::memcpy(out + size_t(i) * 4, &mixed, 8);
    }
}

void mixRow(const PresentScaler& s, const uint8_t* picture, int32_t stride, int32_t row,
            int32_t x0, int32_t count, uint16_t* out) {
    if (s.rgba)
        mixRowAs<spreadRgba>(s, picture, stride, row, x0, count, out);
    else
        mixRowAs<spread>(s, picture, stride, row, x0, count, out);
}

// The mixed lanes of a picture row for the span being drawn, made once per span; the
// row `keep` is needed beside it and is not replaced.
const uint16_t* mixedRow(PresentScaler& s, const uint8_t* picture, int32_t stride, int32_t row,
                         int32_t keep, int32_t x0, int32_t count) {
    for (int k = 0; k < 2; ++k)
        if (s.mixedRow[k] == row) return s.mixed[k];
    const int k = s.mixedRow[0] == keep ? 1 : 0;
    mixRow(s, picture, stride, row, x0, count, s.mixed[k]);
    s.mixedRow[k] = row;
    return s.mixed[k];
}

// A screen row from one mixed row: each lane rounded from 256ths to a byte.
void rowFromOne(const uint16_t* a, uint8_t* out, size_t lanes) {
    size_t i = 0;
#ifdef __SSE2__
    const __m128i half = _mm_set1_epi16(128);
    for (; i + 16 <= lanes; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i + 8));
        // At most 65280 + 128: no lane overflows.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_packus_epi16(_mm_srli_epi16(_mm_add_epi16(x, half), 8),
                                          _mm_srli_epi16(_mm_add_epi16(y, half), 8)));
    }
#endif
    for (; i < lanes; ++i) out[i] = uint8_t((a[i] + 128u) >> 8);
}

#ifdef __SSE2__
// Eight lanes of (a * wa + b * wb + 32768) >> 16 as 32-bit values in two halves, from the
// low and high 16 bits of each product.
inline __m128i mixEight(const uint16_t* a, const uint16_t* b, __m128i wa, __m128i wb) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
    const __m128i xl = _mm_mullo_epi16(x, wa), xh = _mm_mulhi_epu16(x, wa);
    const __m128i yl = _mm_mullo_epi16(y, wb), yh = _mm_mulhi_epu16(y, wb);
    const __m128i round = _mm_set1_epi32(32768);
    const __m128i low = _mm_add_epi32(_mm_add_epi32(_mm_unpacklo_epi16(xl, xh), _mm_unpacklo_epi16(yl, yh)), round);
    const __m128i high = _mm_add_epi32(_mm_add_epi32(_mm_unpackhi_epi16(xl, xh), _mm_unpackhi_epi16(yl, yh)), round);
    // Each result is at most 255: the signed pack keeps it.
    return _mm_packs_epi32(_mm_srli_epi32(low, 16), _mm_srli_epi32(high, 16));
}
#endif

// A screen row between two mixed rows, the first weighing wa 256ths.
void rowFromTwo(const uint16_t* a, const uint16_t* b, uint32_t wa, uint8_t* out, size_t lanes) {
    const uint32_t wb = 256 - wa;
    size_t i = 0;
#ifdef __SSE2__
    const __m128i va = _mm_set1_epi16(int16_t(wa)), vb = _mm_set1_epi16(int16_t(wb));
    for (; i + 16 <= lanes; i += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_packus_epi16(mixEight(a + i, b + i, va, vb), mixEight(a + i + 8, b + i + 8, va, vb)));
#endif
    for (; i < lanes; ++i) out[i] = uint8_t((a[i] * wa + b[i] * wb + 32768u) >> 16);
}

// A picture shown smaller than it is: each screen pixel is the rounded average of the
// picture pixels its box covers.
void reduce(const PresentScaler& s, const uint8_t* picture, int32_t stride, const PresentRect& r,
            uint8_t* pixels, int32_t pitch, int32_t x, int32_t y) {
    const int32_t pictureWidth = s.sourceWidth, pictureHeight = s.sourceHeight;
    for (int32_t dy = r.y; dy < r.y + r.height; ++dy) {
        const int32_t sy0 = int32_t(int64_t(dy) * pictureHeight / s.height);
        const int32_t sy1 = maxOf(int32_t(int64_t(dy + 1) * pictureHeight / s.height), sy0 + 1);
        uint32_t* to = reinterpret_cast<uint32_t*>(pixels + size_t(y + dy) * size_t(pitch)) + x;
        for (int32_t dx = r.x; dx < r.x + r.width; ++dx) {
            const int32_t sx0 = int32_t(int64_t(dx) * pictureWidth / s.width);
            const int32_t sx1 = maxOf(int32_t(int64_t(dx + 1) * pictureWidth / s.width), sx0 + 1);
            uint32_t blue = 0, green = 0, red = 0;
            for (int32_t sy = sy0; sy < sy1; ++sy) {
                const uint8_t* p =
                    picture + size_t(pictureHeight - 1 - sy) * size_t(stride) + size_t(sx0) * 3;
                for (int32_t sx = sx0; sx < sx1; ++sx, p += 3) {
                    blue += p[0];
                    green += p[1];
                    red += p[2];
                }
            }
            const uint32_t count = uint32_t((sy1 - sy0) * (sx1 - sx0));
            const uint32_t half = count / 2;
            blue = (blue + half) / count;
            green = (green + half) / count;
            red = (red + half) / count;
            to[dx] = s.rgba ? red | green << 8 | blue << 16 | 0xFF000000u : blue | green << 8 | red << 16;
        }
    }
}

}  // namespace

PresentRect presentPlace(int32_t srcWidth, int32_t srcHeight, int32_t dstWidth,
                         int32_t dstHeight, int32_t limit) {
    if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0)
        return PresentRect{0, 0, 0, 0};
    int32_t width = dstWidth, height = dstHeight;
    const bool fits = srcWidth <= dstWidth && srcHeight <= dstHeight;
    if (limit > 0 && fits) {
        const int32_t factor = minOf(limit, minOf(dstWidth / srcWidth, dstHeight / srcHeight));
        width = srcWidth * factor;
        height = srcHeight * factor;
    } else if (int64_t(dstWidth) * srcHeight <= int64_t(dstHeight) * srcWidth) {
        // Relatively taller than the picture: the width is filled.
        height = maxOf(int32_t(int64_t(dstWidth) * srcHeight / srcWidth), 1);
    } else {
        width = maxOf(int32_t(int64_t(dstHeight) * srcWidth / srcHeight), 1);
    }
    return PresentRect{(dstWidth - width) / 2, (dstHeight - height) / 2, width, height};
}

void presentScaledSpan(int32_t s0, int32_t s1, int32_t src, int32_t dst, int32_t* d0,
                       int32_t* d1) {
    // Screen pixel d covers [d * src / dst, (d + 1) * src / dst) of the source: it starts
    // before s1 and ends after s0 for d in [floor(s0 * dst / src), ceil(s1 * dst / src)).
    *d0 = int32_t(int64_t(s0) * dst / src);
    *d1 = minOf(int32_t((int64_t(s1) * dst + src - 1) / src), dst);
}

void presentPictureCoordinates(const PresentRect& place, int32_t pictureWidth,
                               int32_t pictureHeight, int32_t x, int32_t y, int32_t* px,
                               int32_t* py) {
    int32_t dx = minOf(maxOf(x - place.x, 0), maxOf(place.width - 1, 0));
    int32_t dy = minOf(maxOf(y - place.y, 0), maxOf(place.height - 1, 0));
    *px = place.width > 0 ? int32_t(int64_t(dx) * pictureWidth / place.width) : 0;
    *py = place.height > 0 ? int32_t(int64_t(dy) * pictureHeight / place.height) : 0;
}

bool presentScalerPrepare(PresentScaler& s, int32_t sourceWidth, int32_t sourceHeight,
                          int32_t width, int32_t height, bool rgba) {
    if (sourceWidth <= 0 || sourceHeight <= 0 || width <= 0 || height <= 0) {
        presentScalerRelease(s);
        return false;
    }
    // The mixed rows first, where the block's alignment suits them.
    const size_t lanes = size_t(width) * 4;
    const size_t bytes = 2 * lanes * sizeof(uint16_t) + size_t(width + height) * sizeof(PresentTap);
    if (bytes > s.capacity) {
        std::free(s.memory);
        s.memory = std::malloc(bytes);
        s.capacity = s.memory ? bytes : 0;
        if (!s.memory) {
            presentScalerRelease(s);
            return false;
        }
    }
    s.sourceWidth = sourceWidth;
    s.sourceHeight = sourceHeight;
    s.rgba = rgba;
    s.width = width;
    s.height = height;
    s.mixed[0] = static_cast<uint16_t*>(s.memory);
    s.mixed[1] = s.mixed[0] + lanes;
    s.columns = reinterpret_cast<PresentTap*>(s.mixed[1] + lanes);
    s.rows = s.columns + width;
    if (width >= sourceWidth && height >= sourceHeight) {
        makeTaps(s.columns, sourceWidth, width);
        makeTaps(s.rows, sourceHeight, height);
    }
    return true;
}

void presentScalerRelease(PresentScaler& s) {
    std::free(s.memory);
    s = PresentScaler();
}

void presentScale(PresentScaler& s, const uint8_t* picture, int32_t stride,
                  const PresentRect& rect, uint8_t* pixels, int32_t pitch, int32_t x, int32_t y) {
    if (!s.memory) return;
    const int32_t x0 = maxOf(rect.x, 0), x1 = minOf(rect.x + rect.width, s.width);
    const int32_t y0 = maxOf(rect.y, 0), y1 = minOf(rect.y + rect.height, s.height);
    if (x0 >= x1 || y0 >= y1) return;
    const PresentRect r = {x0, y0, x1 - x0, y1 - y0};
    if (s.width < s.sourceWidth || s.height < s.sourceHeight) {
        reduce(s, picture, stride, r, pixels, pitch, x, y);
        return;
    }
    s.mixedRow[0] = s.mixedRow[1] = -1;
    const size_t lanes = size_t(r.width) * 4;
    const uint8_t* previous = nullptr;   // the last row drawn from one picture row alone
    int32_t previousRow = -1;
    for (int32_t row = y0; row < y1; ++row) {
        const PresentTap& t = s.rows[row];
        uint8_t* out = pixels + size_t(y + row) * size_t(pitch) + size_t(x + x0) * 4;
        if (t.weight == 256) {
            // Inside a block: the same as the row above when that showed the same row.
            if (previous && previousRow == t.first) {
                std::memcpy(out, previous, lanes);
                continue;
            }
            rowFromOne(mixedRow(s, picture, stride, t.first, -1, x0, r.width), out, lanes);
            previous = out;
            previousRow = t.first;
            continue;
        }
        const uint16_t* a = mixedRow(s, picture, stride, t.first, t.second, x0, r.width);
        const uint16_t* b = mixedRow(s, picture, stride, t.second, t.first, x0, r.width);
        rowFromTwo(a, b, uint32_t(t.weight), out, lanes);
        previous = nullptr;
    }
}
