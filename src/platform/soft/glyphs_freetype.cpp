// The glyphs of the text output from FreeType: the Japanese gothic font the backend
// names, each character rendered in monochrome at its cell's size (twice the cell width
// by its height), kept in a cache once rendered.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/soft/glyphs.h"
#include "platform/soft/soft.h"

namespace {

struct FontCache {
    bool tried;
    FT_Library library;
    FT_Face face;
    iconv_t toUtf32;
    // The font file, read through pread: FreeType would otherwise map the whole 6 MB
    // file, and every page a glyph or table lookup touched would stay resident (about
    // 0.9 MB); read in pieces it keeps only what it parses, and the glyph cache means
    // glyphs are seldom read again.
    int fd;
    FT_StreamRec stream;
    // The pixel size last set on the face (0 for none or a failed one).
    int32_t sizeWidth, sizeHeight;
};

FontCache cache = {false, nullptr, nullptr, iconv_t(-1), -1, {}, 0, 0};

unsigned long readFont(FT_Stream, unsigned long offset, unsigned char* buffer,
                       unsigned long count) {
    // A count of 0 is a seek: 0 for success.
    if (count == 0) return offset <= cache.stream.size ? 0 : 1;
    unsigned long done = 0;
    while (done < count) {
        const ssize_t n = pread(cache.fd, buffer + done, count - done, off_t(offset + done));
        if (n <= 0) break;
        done += static_cast<unsigned long>(n);
    }
    return done;
}

// Loads the face and the code-page converter once per process.
bool ensureFont() {
    if (cache.tried) return cache.face != nullptr && cache.toUtf32 != iconv_t(-1);
    cache.tried = true;
    if (cache.toUtf32 == iconv_t(-1)) cache.toUtf32 = iconv_open("UTF-32LE", "CP932");
    const char* file = backendFontFile();
    if (file == nullptr) return false;
    cache.fd = open(file, O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (cache.fd < 0 || fstat(cache.fd, &info) != 0 || FT_Init_FreeType(&cache.library) != 0) {
        if (cache.fd >= 0) close(cache.fd);
        cache.fd = -1;
        return false;
    }
    cache.stream = FT_StreamRec();
    cache.stream.size = static_cast<unsigned long>(info.st_size);
    cache.stream.read = readFont;
    FT_Open_Args args = {};
    args.flags = FT_OPEN_STREAM;
    args.stream = &cache.stream;
    if (FT_Open_Face(cache.library, &args, 0, &cache.face) != 0) {
        cache.face = nullptr;
        FT_Done_FreeType(cache.library);
        cache.library = nullptr;
        close(cache.fd);
        cache.fd = -1;
        return false;
    }
    return cache.toUtf32 != iconv_t(-1);
}

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

// ---- Glyph cache ---------------------------------------------------------------------
// The same few strings (a clock, six names, odds) are drawn every frame, so rendered
// glyphs are kept: the monochrome bitmap FreeType made for a Shift-JIS character at a
// cell size, with its offsets. The table and the pixel pool are allocated once, on first
// use; when either is full, further glyphs are rendered each time as if uncached.

struct CachedGlyph {
    uint32_t key;                  // Shift-JIS bytes, 0 = empty slot
    uint16_t cellWidth, cellHeight;
    bool drawable;                 // false: the cell stays empty (no code point, no glyph)
    uint32_t offset;               // into the pixel pool
    int32_t width, rows, pitch, left, top;
};

constexpr uint32_t GlyphSlots = 1024;          // a power of two
constexpr uint32_t GlyphPoolBytes = 256 * 1024;

struct GlyphCache {
    bool enabled = true;
    bool triedAllocation;
    CachedGlyph* slots;
    unsigned char* pool;
    uint32_t poolUsed;
    uint32_t used;
};

GlyphCache glyphs;

bool glyphCacheReady() {
    if (!glyphs.enabled) return false;
    if (!glyphs.triedAllocation) {
        glyphs.triedAllocation = true;
        glyphs.slots = static_cast<CachedGlyph*>(std::calloc(GlyphSlots, sizeof(CachedGlyph)));
        glyphs.pool = static_cast<unsigned char*>(std::malloc(GlyphPoolBytes));
        if (!glyphs.slots || !glyphs.pool) {
            std::free(glyphs.slots);
            std::free(glyphs.pool);
            glyphs.slots = nullptr;
            glyphs.pool = nullptr;
        }
    }
    return glyphs.slots != nullptr;
}

// The slot holding the glyph, or the empty slot where it belongs; nullptr when the
// table has no room left (kept at most three quarters full so probes stay short).
CachedGlyph* findSlot(uint32_t key, int32_t cellWidth, int32_t cellHeight) {
    uint32_t h = key * 0x9E3779B1u ^ uint32_t(cellWidth) * 0x85EBCA77u ^
                 uint32_t(cellHeight) * 0xC2B2AE3Du;
    h ^= h >> 15;
    for (uint32_t probe = 0; probe < GlyphSlots; ++probe) {
        CachedGlyph& slot = glyphs.slots[(h + probe) & (GlyphSlots - 1)];
        if (slot.key == 0)
            return glyphs.used < GlyphSlots / 4 * 3 ? &slot : nullptr;
        if (slot.key == key && slot.cellWidth == cellWidth && slot.cellHeight == cellHeight)
            return &slot;
    }
    return nullptr;
}

// Puts the glyph FreeType just rendered into slot; false when the pool is full.
bool storeGlyph(CachedGlyph& slot, uint32_t key, int32_t cellWidth, int32_t cellHeight,
                const SoftGlyph* view) {
    uint32_t bytes = 0;
    if (view) {
        if (view->pitch < 0) return false;
        bytes = uint32_t(view->rows) * uint32_t(view->pitch);
        if (bytes > GlyphPoolBytes - glyphs.poolUsed) return false;
        if (bytes) std::memcpy(glyphs.pool + glyphs.poolUsed, view->bits, bytes);
    }
    slot.key = key;
    slot.cellWidth = uint16_t(cellWidth);
    slot.cellHeight = uint16_t(cellHeight);
    slot.drawable = view != nullptr;
    slot.offset = glyphs.poolUsed;
    if (view) {
        slot.width = view->width;
        slot.rows = view->rows;
        slot.pitch = view->pitch;
        slot.left = view->left;
        slot.top = view->top;
    }
    glyphs.poolUsed += bytes;
    ++glyphs.used;
    return true;
}

// Renders one character with FreeType at the size set by the caller; false when it
// has no monochrome glyph.
bool renderGlyph(uint32_t code, SoftGlyph& out) {
    FT_Face face = cache.face;
    if (FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) return false;
    const FT_Bitmap& glyph = face->glyph->bitmap;
    if (glyph.pixel_mode != FT_PIXEL_MODE_MONO) return false;
    out = SoftGlyph{glyph.buffer,          int32_t(glyph.width),   int32_t(glyph.rows),
                    int32_t(glyph.pitch),  face->glyph->bitmap_left, face->glyph->bitmap_top};
    return true;
}

}  // namespace

void softSetGlyphCache(bool enabled) {
    glyphs.enabled = enabled;
    if (glyphs.slots) std::memset(glyphs.slots, 0, GlyphSlots * sizeof(CachedGlyph));
    glyphs.poolUsed = 0;
    glyphs.used = 0;
}

void softReloadFont() {
    if (cache.face) FT_Done_Face(cache.face);
    if (cache.library) FT_Done_FreeType(cache.library);
    if (cache.fd >= 0) close(cache.fd);
    cache.face = nullptr;
    cache.library = nullptr;
    cache.fd = -1;
    cache.sizeWidth = cache.sizeHeight = 0;
    cache.tried = false;
    softSetGlyphCache(glyphs.enabled);
}

bool softGlyphsReady() { return ensureFont(); }

int32_t softGlyphBaseline(int32_t cellHeight) {
    int32_t baseline = (cellHeight * 7 + 4) / 8;
    FT_Face face = cache.face;
    if (const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2)))
        if (face->units_per_EM != 0)
            baseline = int32_t(std::lround(double(cellHeight) * os2->sTypoAscender / face->units_per_EM));
    return baseline;
}

bool softGlyph(const char* bytes, int32_t count, int32_t cellWidth, int32_t cellHeight, SoftGlyph& out) {
    // The key is never 0: a single byte gets bit 16 set.
    const uint8_t b = uint8_t(bytes[0]);
    const uint32_t key = count == 2 ? (uint32_t(b) << 8 | uint8_t(bytes[1])) : (0x10000u | b);
    CachedGlyph* slot = glyphCacheReady() ? findSlot(key, cellWidth, cellHeight) : nullptr;
    if (slot && slot->key != 0) {
        if (!slot->drawable) return false;
        out = SoftGlyph{glyphs.pool + slot->offset, slot->width, slot->rows, slot->pitch, slot->left, slot->top};
        return true;
    }
    // The size is set on the face only when a glyph has to be rendered.
    const auto setSize = [&]() {
        if (cache.sizeWidth != 2 * cellWidth || cache.sizeHeight != cellHeight) {
            const bool set = FT_Set_Pixel_Sizes(cache.face, FT_UInt(2 * cellWidth), FT_UInt(cellHeight)) == 0;
            cache.sizeWidth = set ? 2 * cellWidth : 0;
            cache.sizeHeight = set ? cellHeight : 0;
        }
        return cache.sizeWidth != 0;
    };
    const uint32_t code = codePoint(bytes, size_t(count));
    const bool blank = code == 0 || code == ' ' || code == 0x3000;
    const bool sized = !blank && setSize();
    const bool drawable = sized && renderGlyph(code, out);
    // A failed size is not remembered: another call may succeed.
    if (slot && (drawable || sized || blank)) storeGlyph(*slot, key, cellWidth, cellHeight, drawable ? &out : nullptr);
    return drawable;
}
