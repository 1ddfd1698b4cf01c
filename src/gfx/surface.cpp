// Off-screen Surfaces and the pixel operations all drawing is made of.
//
// Every rectangle operation first cuts its rectangle so that each pixel it reads or
// writes lies inside its Surface: the destination clip keeps the documented behaviour
// (a rectangle sticking out at the left or top moves the source along with it, one
// sticking out at the right or bottom gets shorter) and the sources are cut the same
// way. A rectangle that lies fully inside is never changed.
//
// The row loops come in two kinds. The byte loops walk a row three bytes at a time in
// the order blue, green, red, reading each pixel before writing it; they define the
// results, and with the fade table they are the portable path. The fast loops (per-row
// memcpy, SSE2, AVX2 where the processor has it; see blit_path.h) produce exactly the
// same bytes and are used whenever their reading order cannot matter, that is unless a
// destination row shares memory with a source row at a different position. Mixes with a
// level above 255 wrap their weights and always take the byte loop.
#include "gfx/surface.h"

#include <cstddef>
#include <cstring>

#include "gfx/blit_path.h"
#include "gfx/pixel_math.h"
#include "gfx/present.h"

#if (defined(__SSE2__) || defined(_M_X64)) && !defined(PELLRUN_SCALAR_BLITTERS)
#define PELLRUN_SSE2_BLITTERS 1
#include <emmintrin.h>
#endif
// The 256-bit loops are chosen at run time. Not on Windows: there GCC cannot keep 32-byte
// stack slots aligned, and a spilled register would fault.
#if PELLRUN_SSE2_BLITTERS && defined(__GNUC__) && !defined(_WIN32)
#define PELLRUN_AVX2_BLITTERS 1
#include <immintrin.h>
#endif

namespace {

constexpr int32_t PixelBytes = 3;

inline bool isKey(const uint8_t* p) {
    return p[0] == 0x00 && p[1] == 0xFF && p[2] == 0x00;
}

// A Surface the pixel operations may touch: it has pixel memory of three bytes a pixel.
// Never-created, failed and released Surfaces have none, so every operation on them
// does nothing.
inline bool hasPixels(const Surface& s) {
    return s.bits != nullptr && s.bytesPerPixel == PixelBytes && s.width > 0 && s.height > 0 &&
           int64_t(s.stride) >= int64_t(s.width) * PixelBytes;
}

inline bool inside(const Surface& s, int32_t x, int32_t y) {
    return hasPixels(s) && x >= 0 && y >= 0 && x < s.width && y < s.height;
}

// Address of (x, y) in top-down coordinates; the caller keeps the point inside.
inline uint8_t* addressOf(const Surface& s, int64_t x, int64_t y) {
    return s.bits + ptrdiff_t(s.height - 1 - y) * s.stride + ptrdiff_t(x) * PixelBytes;
}

// Tells the platform which rows a write through the pixel pointer touched.
inline void noteRows(const Surface& s, int64_t top, int64_t count) {
    if (s.hdc != nullptr && count > 0) platBitsWritten(s.hdc, int(top), int(top + count));
    noteRowsWritten(s, top, top + count);
}

void forgetPixels(Surface& s) {
    s.hdc = nullptr;
    s.previousBitmap = nullptr;
    s.dib = nullptr;
    s.bits = nullptr;
    s.width = 0;
    s.height = 0;
}

// ---- Clipping ---------------------------------------------------------------------

// One corner of a rectangle on one Surface.
struct Place {
    const Surface* surface;
    int64_t x;
    int64_t y;
};

// Cuts `count` steps starting at start[k] on axes of limit[k] pixels so that no axis
// leaves 0..limit[k]-1; all starts move together. Returns the steps left (0 if none).
int32_t clipAxis(int64_t count, int64_t* start[], const int64_t limit[], int n) {
    int64_t first = 0;
    int64_t end = count;
    for (int k = 0; k < n; ++k) {
        if (-*start[k] > first) first = -*start[k];
        if (limit[k] - *start[k] < end) end = limit[k] - *start[k];
    }
    if (end <= first) return 0;
    for (int k = 0; k < n; ++k) *start[k] += first;
    return int32_t(end - first);
}

// Cuts a width x height rectangle placed on n Surfaces (the destination first) to the
// part every Surface holds. False when nothing is left.
bool clipRect(int32_t& width, int32_t& height, Place* places, int n) {
    int64_t* xs[3];
    int64_t* ys[3];
    int64_t widths[3];
    int64_t heights[3];
    for (int k = 0; k < n; ++k) {
        const Surface& s = *places[k].surface;
        const bool usable = hasPixels(s);
        xs[k] = &places[k].x;
        ys[k] = &places[k].y;
        widths[k] = usable ? s.width : 0;
        heights[k] = usable ? s.height : 0;
    }
    width = clipAxis(width, xs, widths, n);
    if (width == 0) return false;
    height = clipAxis(height, ys, heights, n);
    return height != 0;
}

// True when a clipped rectangle on `a` shares bytes with one on `b` without being the
// very same pixels: then only the byte loop gives the defined result.
bool needsByteOrder(const Place& a, const Place& b, int32_t width, int32_t height) {
    const uintptr_t aLow = uintptr_t(addressOf(*a.surface, a.x, a.y + height - 1));
    const uintptr_t aHigh = uintptr_t(addressOf(*a.surface, a.x + width - 1, a.y)) + PixelBytes;
    const uintptr_t bLow = uintptr_t(addressOf(*b.surface, b.x, b.y + height - 1));
    const uintptr_t bHigh = uintptr_t(addressOf(*b.surface, b.x + width - 1, b.y)) + PixelBytes;
    if (aHigh <= bLow || bHigh <= aLow) return false;
    return !(aLow == bLow && a.surface->stride == b.surface->stride);
}

inline bool samePixels(const Place& a, const Place& b, int32_t height) {
    return addressOf(*a.surface, a.x, a.y + height - 1) ==
               addressOf(*b.surface, b.x, b.y + height - 1) &&
           a.surface->stride == b.surface->stride;
}

// ---- Byte loops ---------------------------------------------------------------------

void copyRowBytes(uint8_t* d, const uint8_t* s, int32_t n, bool keyed) {
    for (int32_t i = 0; i < n; ++i, d += PixelBytes, s += PixelBytes) {
        if (keyed && isKey(s)) continue;
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
    }
}

void fadeRowBytes(uint8_t* d, const uint8_t* s, int32_t n, const uint8_t* table) {
    for (int32_t i = 0; i < n; ++i, d += PixelBytes, s += PixelBytes) {
        d[0] = table[s[0]];
        d[1] = table[s[1]];
        d[2] = table[s[2]];
    }
}

// out = (a * (255 - level) + b * level) / 255 in wrapping unsigned 32-bit arithmetic.
void mixRowBytes(uint8_t* d, const uint8_t* a, const uint8_t* b, int32_t n, uint32_t level,
                 bool keyed) {
    const uint32_t weightA = 255u - level;
    const uint32_t weightB = level;
    for (int32_t i = 0; i < n; ++i, d += PixelBytes, a += PixelBytes, b += PixelBytes) {
        if (keyed && isKey(b)) continue;
        for (int c = 0; c < PixelBytes; ++c)
            d[c] = uint8_t((uint32_t(a[c]) * weightA + uint32_t(b[c]) * weightB) / 255u);
    }
}

// ---- Fast loops -----------------------------------------------------------------------

#if PELLRUN_SSE2_BLITTERS

constexpr uint64_t AllKeyBytes = 0xFFFFFFFFFFFFull;   // 48 bytes = 16 pixels

// One bit per byte of 16 pixels (48 bytes in three registers), set on the three bytes of
// every pixel that is exactly the key colour.
inline uint64_t keyBytes(__m128i r0, __m128i r1, __m128i r2) {
    const __m128i key0 = _mm_setr_epi8(0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0);
    const __m128i key1 = _mm_setr_epi8(-1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1);
    const __m128i key2 = _mm_setr_epi8(0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0);
    const uint64_t equal =
        uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(r0, key0)))) |
        uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(r1, key1)))) << 16 |
        uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(r2, key2)))) << 32;
    // A pixel is key when its blue byte and the two after it all match.
    const uint64_t pixels = equal & (equal >> 1) & (equal >> 2) & 0x249249249249ull;
    return pixels | (pixels << 1) | (pixels << 2);
}

// Byte mask (0xFF or 0) of 16 bytes from 16 bits.
inline __m128i expandBits(uint64_t bits) {
    const __m128i select =
        _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
    const uint64_t spread = 0x0101010101010101ull;
    const __m128i v = _mm_set_epi64x(int64_t(((bits >> 8) & 0xFF) * spread),
                                     int64_t((bits & 0xFF) * spread));
    return _mm_cmpeq_epi8(_mm_and_si128(v, select), select);
}

// Keeps the destination where mask is set, takes the value elsewhere.
inline void storeMasked(uint8_t* d, __m128i value, __m128i keep) {
    const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d),
                     _mm_or_si128(_mm_and_si128(keep, old), _mm_andnot_si128(keep, value)));
}

inline void storeKeyed(uint8_t* d, const __m128i v[3], uint64_t key) {
    if (key == 0) {
        for (int j = 0; j < 3; ++j)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16 * j), v[j]);
        return;
    }
    for (int j = 0; j < 3; ++j) {
        const uint64_t bits = (key >> (16 * j)) & 0xFFFF;
        if (bits == 0xFFFF) continue;
        if (bits == 0)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16 * j), v[j]);
        else
            storeMasked(d + 16 * j, v[j], expandBits(bits));
    }
}

void copyRowKeyedSse2(uint8_t* d, const uint8_t* s, int32_t n) {
    int32_t i = 0;
    for (; i + 16 <= n; i += 16, d += 48, s += 48) {
        __m128i v[3];
        for (int j = 0; j < 3; ++j)
            v[j] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16 * j));
        const uint64_t key = keyBytes(v[0], v[1], v[2]);
        if (key != AllKeyBytes) storeKeyed(d, v, key);
    }
    copyRowBytes(d, s, n - i, true);
}

// Subtracting with a floor of 0 is the table's rule; a darkness above 255 is larger than
// every byte and blackens exactly as 255 does.
inline uint8_t fadeAmount(uint32_t darkness) {
    return darkness > 255 ? 255 : uint8_t(darkness);
}

void fadeRowSse2(uint8_t* d, const uint8_t* s, int32_t n, uint32_t darkness) {
    const uint8_t amount = fadeAmount(darkness);
    const __m128i sub = _mm_set1_epi8(char(amount));
    const int32_t bytes = n * PixelBytes;
    int32_t i = 0;
    for (; i + 64 <= bytes; i += 64) {
        __m128i v[4];
        for (int j = 0; j < 4; ++j)
            v[j] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 16 * j));
        for (int j = 0; j < 4; ++j)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 16 * j), _mm_subs_epu8(v[j], sub));
    }
    for (; i + 16 <= bytes; i += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i),
                         _mm_subs_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)),
                                       sub));
    for (; i < bytes; ++i) d[i] = s[i] > amount ? uint8_t(s[i] - amount) : 0;
}

// The mix (a * (255 - level) + b * level) / 255 equals min(a, b) + |a - b| * w / 255,
// w being the weight of the larger byte. For w up to 254 that quotient is
// (|a - b| * m) >> 16 with m = ceil(w * 65536 / 255): the error stays below 1/255 and
// cannot reach the next whole number. So a mix costs one 16-bit multiply-high a byte.
// Levels 0 and 255 (a weight of 255) are plain copies and never come here.
inline uint16_t mixMultiplier(uint32_t weight) {
    return uint16_t((weight * 65536u + 254u) / 255u);
}

// `multA` holds the multiplier of A's weight, `flip` multA ^ multB.
inline __m128i mix16(__m128i a, __m128i b, __m128i multA, __m128i flip) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i high = _mm_max_epu8(a, b);
    const __m128i low = _mm_min_epu8(a, b);
    const __m128i span = _mm_sub_epi8(high, low);
    const __m128i bHigh = _mm_cmpeq_epi8(high, b);
    const __m128i multLo = _mm_xor_si128(multA, _mm_and_si128(_mm_unpacklo_epi8(bHigh, bHigh), flip));
    const __m128i multHi = _mm_xor_si128(multA, _mm_and_si128(_mm_unpackhi_epi8(bHigh, bHigh), flip));
    const __m128i lo = _mm_mulhi_epu16(_mm_unpacklo_epi8(span, zero), multLo);
    const __m128i hi = _mm_mulhi_epu16(_mm_unpackhi_epi8(span, zero), multHi);
    return _mm_add_epi8(low, _mm_packus_epi16(lo, hi));
}

inline __m128i loadBytes(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// level 1..254 only.
void mixRowSse2(uint8_t* d, const uint8_t* a, const uint8_t* b, int32_t n, uint32_t level,
                bool keyed) {
    const uint16_t multA = mixMultiplier(255 - level);
    const __m128i multAll = _mm_set1_epi16(short(multA));
    const __m128i flip = _mm_set1_epi16(short(multA ^ mixMultiplier(level)));
    int32_t i = 0;
    if (!keyed) {
        const int32_t bytes = n * PixelBytes;
        for (; i + 32 <= bytes; i += 32) {
            const __m128i x = mix16(loadBytes(a + i), loadBytes(b + i), multAll, flip);
            const __m128i y = mix16(loadBytes(a + i + 16), loadBytes(b + i + 16), multAll, flip);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), x);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 16), y);
        }
        for (; i + 16 <= bytes; i += 16)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i),
                             mix16(loadBytes(a + i), loadBytes(b + i), multAll, flip));
        const uint32_t wa = 255u - level;
        for (; i < bytes; ++i) d[i] = uint8_t(divideBy255(a[i] * wa + b[i] * level));
        return;
    }
    for (; i + 16 <= n; i += 16, d += 48, a += 48, b += 48) {
        __m128i vb[3];
        for (int j = 0; j < 3; ++j) vb[j] = loadBytes(b + 16 * j);
        const uint64_t key = keyBytes(vb[0], vb[1], vb[2]);
        if (key == AllKeyBytes) continue;
        __m128i out[3];
        for (int j = 0; j < 3; ++j) out[j] = mix16(loadBytes(a + 16 * j), vb[j], multAll, flip);
        storeKeyed(d, out, key);
    }
    mixRowBytes(d, a, b, n - i, level, true);
}

#endif  // PELLRUN_SSE2_BLITTERS

#if PELLRUN_AVX2_BLITTERS

#define PELLRUN_AVX2 __attribute__((target("avx2")))

PELLRUN_AVX2 void fadeRowAvx2(uint8_t* d, const uint8_t* s, int32_t n, uint32_t darkness) {
    const uint8_t amount = fadeAmount(darkness);
    const __m256i sub = _mm256_set1_epi8(char(amount));
    const int32_t bytes = n * PixelBytes;
    int32_t i = 0;
    for (; i + 64 <= bytes; i += 64) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
        const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i + 32));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), _mm256_subs_epu8(x, sub));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i + 32), _mm256_subs_epu8(y, sub));
    }
    for (; i + 32 <= bytes; i += 32)
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(d + i),
            _mm256_subs_epu8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i)), sub));
    for (; i < bytes; ++i) d[i] = s[i] > amount ? uint8_t(s[i] - amount) : 0;
}

// mix16 on 32 bytes; the unpacks and the pack all work within 16-byte lanes, so the
// bytes come back in order.
PELLRUN_AVX2 inline __m256i mix32(__m256i a, __m256i b, __m256i multA, __m256i flip) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i high = _mm256_max_epu8(a, b);
    const __m256i low = _mm256_min_epu8(a, b);
    const __m256i span = _mm256_sub_epi8(high, low);
    const __m256i bHigh = _mm256_cmpeq_epi8(high, b);
    const __m256i multLo =
        _mm256_xor_si256(multA, _mm256_and_si256(_mm256_unpacklo_epi8(bHigh, bHigh), flip));
    const __m256i multHi =
        _mm256_xor_si256(multA, _mm256_and_si256(_mm256_unpackhi_epi8(bHigh, bHigh), flip));
    const __m256i lo = _mm256_mulhi_epu16(_mm256_unpacklo_epi8(span, zero), multLo);
    const __m256i hi = _mm256_mulhi_epu16(_mm256_unpackhi_epi8(span, zero), multHi);
    return _mm256_add_epi8(low, _mm256_packus_epi16(lo, hi));
}

// level 1..254, no key.
PELLRUN_AVX2 void mixRowAvx2(uint8_t* d, const uint8_t* a, const uint8_t* b, int32_t n,
                             uint32_t level) {
    const uint16_t multA = mixMultiplier(255 - level);
    const __m256i multAll = _mm256_set1_epi16(short(multA));
    const __m256i flip = _mm256_set1_epi16(short(multA ^ mixMultiplier(level)));
    const int32_t bytes = n * PixelBytes;
    int32_t i = 0;
    for (; i + 64 <= bytes; i += 64) {
        const __m256i x = mix32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i)),
                                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i)),
                                multAll, flip);
        const __m256i y = mix32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i + 32)),
                                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i + 32)),
                                multAll, flip);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), x);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i + 32), y);
    }
    for (; i + 32 <= bytes; i += 32)
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(d + i),
            mix32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i)),
                  _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i)), multAll, flip));
    const uint32_t wa = 255u - level;
    for (; i < bytes; ++i) d[i] = uint8_t(divideBy255(a[i] * wa + b[i] * level));
}

bool processorHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

#endif  // PELLRUN_AVX2_BLITTERS

// The path in use; resolved on first use (negative until then).
int32_t blitPathInUse = -1;

inline BlitPath activePath() {
    if (blitPathInUse < 0) blitPathInUse = bestBlitPath();
    return BlitPath(blitPathInUse);
}

}  // namespace

BlitPath bestBlitPath() {
#if PELLRUN_AVX2_BLITTERS
    static const bool avx2 = processorHasAvx2();
    if (avx2) return BlitAvx2;
#endif
#if PELLRUN_SSE2_BLITTERS
    return BlitSse2;
#else
    return BlitPortable;
#endif
}

BlitPath setBlitPath(BlitPath path) {
    const BlitPath best = bestBlitPath();
    blitPathInUse = path < BlitPortable || path > best ? best : path;
    return BlitPath(blitPathInUse);
}

BlitPath currentBlitPath() {
    return activePath();
}

// ---- Creation and release -----------------------------------------------------------

int32_t createSurface(Surface& surface, DcHandle dc, int32_t width, int32_t height,
                      int32_t bitsPerPixel) {
    surface.width = width;
    surface.height = height;
    surface.bitsPerPixel = bitsPerPixel;
    surface.stride = int32_t(((uint32_t(width) * uint32_t(bitsPerPixel) + 31u) / 32u) * 4u);
    surface.bytesPerPixel = int32_t((uint32_t(bitsPerPixel) + 7u) / 8u);

    BitmapInfoHeader& header = surface.info.header;
    header.size = 40;
    header.width = width;
    header.height = height;   // positive: rows bottom-up
    header.planes = 1;
    header.bitCount = uint16_t(bitsPerPixel);
    header.compression = 0;   // BI_RGB
    header.sizeImage = uint32_t(surface.stride) * uint32_t(height);
    header.xPelsPerMeter = 0;
    header.yPelsPerMeter = 0;
    header.clrUsed = 0;
    header.clrImportant = 0;
    surface.info.colours[0] = 0;

    // Sizes the platform could misread: no pixels at all, a negative height (which would
    // ask for top-down rows), or more bytes than the 32-bit header can describe.
    const int64_t rowBits = int64_t(width) * bitsPerPixel;
    if (width <= 0 || height <= 0 || bitsPerPixel <= 0 || bitsPerPixel > 32 ||
        rowBits > 0x7FFFFFFF || ((rowBits + 31) / 32) * 4 * int64_t(height) > 0x7FFFFFFF) {
        forgetPixels(surface);
        return 0;
    }

    uint8_t* bits = nullptr;
    ObjectHandle dib = platCreateDIBSection(dc, surface.info, &bits);
    if (dib == nullptr || bits == nullptr) {
        if (dib != nullptr) platDeleteObject(dib);
        forgetPixels(surface);
        return 0;
    }
    DcHandle hdc = platCreateCompatibleDC(dc);
    if (hdc == nullptr) {
        platDeleteObject(dib);
        forgetPixels(surface);
        return 0;
    }
    surface.dib = dib;
    surface.bits = bits;
    surface.hdc = hdc;
    surface.previousBitmap = platSelectObject(hdc, dib);
    return 1;
}

// The record is emptied afterwards, so a second release or a late drawing call on it does
// nothing instead of touching freed memory or handles.
int32_t releaseSurface(Surface& surface) {
    if (surface.hdc != nullptr) platSelectObject(surface.hdc, surface.previousBitmap);
    if (surface.dib != nullptr) platDeleteObject(surface.dib);
    if (surface.hdc != nullptr) platDeleteDC(surface.hdc);
    forgetPixels(surface);
    return 1;
}

int32_t loadBitmapResource(Surface& surface, uint16_t id) {
    if (surface.hdc == nullptr) return 0;
    ObjectHandle bitmap = platLoadBitmap(id);
    if (bitmap == nullptr) return 0;
    DcHandle temporary = platCreateCompatibleDC(surface.hdc);
    if (temporary == nullptr) {
        platDeleteObject(bitmap);
        return 0;
    }
    ObjectHandle previous = platSelectObject(temporary, bitmap);
    // As large as the Surface: what the bitmap does not cover keeps its content.
    platBitBlt(surface.hdc, 0, 0, surface.width, surface.height, temporary, 0, 0);
    platSelectObject(temporary, previous);
    platDeleteObject(bitmap);
    platDeleteDC(temporary);
    return 1;
}

// ---- Single pixels ----------------------------------------------------------------------

uint8_t* pixelAddress(const Surface& surface, int32_t x, int32_t y) {
    return surface.bits + (ptrdiff_t(surface.height) - y - 1) * surface.stride +
           ptrdiff_t(x) * surface.bytesPerPixel;
}

uint32_t getPixel(const Surface& surface, int32_t x, int32_t y) {
    if (!inside(surface, x, y)) return 0;
    const uint8_t* p = addressOf(surface, x, y);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
}

int32_t putPixel(Surface& surface, int32_t x, int32_t y, uint32_t colour) {
    if (!inside(surface, x, y)) return 1;
    uint8_t* p = addressOf(surface, x, y);
    p[0] = uint8_t(colour);
    p[1] = uint8_t(colour >> 8);
    p[2] = uint8_t(colour >> 16);
    noteRows(surface, y, 1);
    return 1;
}

// ---- Rectangles -----------------------------------------------------------------------

int32_t copyRect(Surface& dst, int32_t dstX, int32_t dstY, int32_t width, int32_t height,
                 const Surface& src, int32_t srcX, int32_t srcY, int32_t keyMode) {
    Place places[2] = {{&dst, dstX, dstY}, {&src, srcX, srcY}};
    if (!clipRect(width, height, places, 2)) return 1;
    const bool keyed = keyMode == KeyTransparent;
    if (keyMode != KeyOpaque && !keyed) return 1;
    if (samePixels(places[0], places[1], height)) return 1;   // a copy onto itself
    const bool byteOrder = needsByteOrder(places[0], places[1], width, height);
    const BlitPath path = activePath();
    noteRows(dst, places[0].y, height);

    uint8_t* d = addressOf(dst, places[0].x, places[0].y);
    const uint8_t* s = addressOf(src, places[1].x, places[1].y);
    const size_t rowBytes = size_t(width) * PixelBytes;
    for (int32_t i = 0; i < height; ++i, d -= dst.stride, s -= src.stride) {
        if (byteOrder || (keyed && path == BlitPortable))
            copyRowBytes(d, s, width, keyed);
        else if (!keyed)
            std::memcpy(d, s, rowBytes);
#if PELLRUN_SSE2_BLITTERS
        else
            copyRowKeyedSse2(d, s, width);
#endif
    }
    return 1;
}

int32_t fadeRect(Surface& dst, int32_t dstX, int32_t dstY, int32_t width, int32_t height,
                 const Surface& src, int32_t srcX, int32_t srcY, uint32_t darkness) {
    Place places[2] = {{&dst, dstX, dstY}, {&src, srcX, srcY}};
    if (!clipRect(width, height, places, 2)) return 1;
    const bool byteOrder = needsByteOrder(places[0], places[1], width, height);
    const BlitPath path = byteOrder ? BlitPortable : activePath();
    uint8_t table[256];
    if (path == BlitPortable)
        for (uint32_t v = 0; v < 256; ++v) table[v] = v > darkness ? uint8_t(v - darkness) : 0;
    noteRows(dst, places[0].y, height);

    uint8_t* d = addressOf(dst, places[0].x, places[0].y);
    const uint8_t* s = addressOf(src, places[1].x, places[1].y);
    for (int32_t i = 0; i < height; ++i, d -= dst.stride, s -= src.stride) {
        switch (path) {
#if PELLRUN_AVX2_BLITTERS
        case BlitAvx2: fadeRowAvx2(d, s, width, darkness); break;
#endif
#if PELLRUN_SSE2_BLITTERS
        case BlitSse2: fadeRowSse2(d, s, width, darkness); break;
#endif
        default: fadeRowBytes(d, s, width, table); break;
        }
    }
    return 1;
}

int32_t crossFadeRect(Surface& dst, int32_t dstX, int32_t dstY, int32_t width, int32_t height,
                      const Surface& srcA, int32_t aX, int32_t aY, const Surface& srcB,
                      int32_t bX, int32_t bY, uint32_t level, int32_t keyMode) {
    Place places[3] = {{&dst, dstX, dstY}, {&srcA, aX, aY}, {&srcB, bX, bY}};
    if (!clipRect(width, height, places, 3)) return 1;
    const bool keyed = keyMode == KeyTransparent;
    // Weights above 255 wrap, which the 16-bit fast mixes cannot follow.
    const bool byteOrder = level > 255 ||
                           needsByteOrder(places[0], places[1], width, height) ||
                           needsByteOrder(places[0], places[2], width, height);
    BlitPath path = byteOrder ? BlitPortable : activePath();
    if (path == BlitAvx2 && keyed) path = BlitSse2;
    // Levels 0 and 255 give A or B exactly: copies.
    if (path != BlitPortable && (level == 0 || level == 255)) {
        const Place& from = places[level == 0 ? 1 : 2];
        if (!keyed) return copyRect(dst, int32_t(places[0].x), int32_t(places[0].y), width,
                                    height, *from.surface, int32_t(from.x), int32_t(from.y),
                                    KeyOpaque);
        if (level == 255) return copyRect(dst, int32_t(places[0].x), int32_t(places[0].y), width,
                                          height, srcB, int32_t(places[2].x),
                                          int32_t(places[2].y), KeyTransparent);
        path = BlitPortable;   // A where B is not key: rare, the byte loop does it
    }
    noteRows(dst, places[0].y, height);

    uint8_t* d = addressOf(dst, places[0].x, places[0].y);
    const uint8_t* a = addressOf(srcA, places[1].x, places[1].y);
    const uint8_t* b = addressOf(srcB, places[2].x, places[2].y);
    for (int32_t i = 0; i < height; ++i, d -= dst.stride, a -= srcA.stride, b -= srcB.stride) {
        switch (path) {
#if PELLRUN_AVX2_BLITTERS
        case BlitAvx2: mixRowAvx2(d, a, b, width, level); break;
#endif
#if PELLRUN_SSE2_BLITTERS
        case BlitSse2: mixRowSse2(d, a, b, width, level, keyed); break;
#endif
        default: mixRowBytes(d, a, b, width, level, keyed); break;
        }
    }
    return 1;
}

int32_t drawRect(Surface& surface, int32_t left, int32_t top, int32_t right, int32_t bottom,
                 uint32_t colour, uint32_t mode) {
    if (!hasPixels(surface) || bottom < top) return 1;
    const uint8_t bytes[3] = {uint8_t(colour), uint8_t(colour >> 8), uint8_t(colour >> 16)};
    const int32_t lastX = surface.width - 1;
    const int32_t lastY = surface.height - 1;
    // The part of the row span left..right that lies on the Surface.
    const int32_t x0 = left < 0 ? 0 : left;
    const int32_t x1 = right > lastX ? lastX : right;
    const int32_t y0 = top < 0 ? 0 : top;
    const int32_t y1 = bottom > lastY ? lastY : bottom;

    auto fillRow = [&](int32_t y) {
        uint8_t* p = addressOf(surface, x0, y);
        for (int32_t x = x0; x <= x1; ++x, p += PixelBytes) {
            p[0] = bytes[0];
            p[1] = bytes[1];
            p[2] = bytes[2];
        }
    };

    if (mode == RectFill) {
        if (x0 > x1 || y0 > y1) return 1;
        fillRow(y0);
        const uint8_t* first = addressOf(surface, x0, y0);
        const size_t rowBytes = size_t(x1 - x0 + 1) * PixelBytes;
        for (int32_t y = y0 + 1; y <= y1; ++y) std::memcpy(addressOf(surface, x0, y), first, rowBytes);
        noteRows(surface, y0, y1 - y0 + 1);
    } else if (mode == RectFrame) {
        // The top row, then the bottom row (once when they coincide), then both sides.
        if (x0 <= x1) {
            if (top >= 0 && top <= lastY) fillRow(top);
            if (bottom != top && bottom >= 0 && bottom <= lastY) fillRow(bottom);
            if (y0 <= y1) noteRows(surface, y0, y1 - y0 + 1);
        }
        for (int32_t y = y0; y <= y1; ++y) {
            if (left >= 0 && left <= lastX) putPixel(surface, left, y, colour);
            if (right >= 0 && right <= lastX) putPixel(surface, right, y, colour);
        }
    }
    return 1;
}
