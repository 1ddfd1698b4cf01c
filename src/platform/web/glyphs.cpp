// The web edition's glyphs: the table make-glyphs renders with the Linux edition's
// FreeType code and font (res/glyphs.bin, embedded as resource 900), looked up by
// character and cell size. A glyph the table lacks is counted and left out.
#include <emscripten.h>

#include <cstring>

#include "platform/embedded.h"
#include "platform/soft/glyphs.h"

namespace {

constexpr int GlyphTableId = 900;
constexpr size_t EntrySize = 24;

struct Table {
    bool tried;
    const uint8_t* baselines;
    uint32_t baselineCount;
    const uint8_t* entries;
    uint32_t count;
    const uint8_t* bits;
    size_t bitsSize;
};
Table table;
uint32_t misses;

uint32_t u32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
int32_t i16(const uint8_t* p) { return int16_t(uint16_t(p[0] | p[1] << 8)); }

bool load() {
    if (table.tried) return table.entries != nullptr;
    table.tried = true;
    const EmbeddedResource* r = findEmbeddedResource(GlyphTableId);
    if (!r) return false;
    const size_t size = size_t(r->end - r->begin);
    if (size < 12 || std::memcmp(r->begin, "PLGL", 4) != 0) return false;
    const uint32_t baselines = u32(r->begin + 4), count = u32(r->begin + 8);
    const size_t head = 12 + size_t(baselines) * 8 + size_t(count) * EntrySize;
    if (head > size) return false;
    table.baselines = r->begin + 12;
    table.baselineCount = baselines;
    table.entries = table.baselines + size_t(baselines) * 8;
    table.count = count;
    table.bits = r->begin + head;
    table.bitsSize = size - head;
    return true;
}

// Orders an entry against the key and cell sought.
int compare(const uint8_t* e, uint32_t key, int32_t width, int32_t height) {
    const uint32_t k = u32(e);
    if (k != key) return k < key ? -1 : 1;
    if (i16(e + 4) != width) return i16(e + 4) < width ? -1 : 1;
    if (i16(e + 6) != height) return i16(e + 6) < height ? -1 : 1;
    return 0;
}

}  // namespace

bool softGlyphsReady() { return load(); }

int32_t softGlyphBaseline(int32_t cellHeight) {
    for (uint32_t i = 0; i < table.baselineCount; ++i)
        if (int32_t(u32(table.baselines + i * 8)) == cellHeight) return int32_t(u32(table.baselines + i * 8 + 4));
    return (cellHeight * 7 + 4) / 8;
}

bool softGlyph(const char* bytes, int32_t count, int32_t cellWidth, int32_t cellHeight, SoftGlyph& out) {
    const uint8_t b = uint8_t(bytes[0]);
    const uint32_t key = count == 2 ? (uint32_t(b) << 8 | uint8_t(bytes[1])) : (0x10000u | b);
    uint32_t low = 0, high = table.count;
    while (low < high) {
        const uint32_t middle = (low + high) / 2;
        const uint8_t* e = table.entries + size_t(middle) * EntrySize;
        const int order = compare(e, key, cellWidth, cellHeight);
        if (order == 0) {
            if (!i16(e + 18)) return false;
            out = SoftGlyph{table.bits + u32(e + 20), i16(e + 8), i16(e + 10), i16(e + 12), i16(e + 14), i16(e + 16)};
            return size_t(u32(e + 20)) + size_t(out.rows) * size_t(out.pitch) <= table.bitsSize;
        }
        if (order < 0) low = middle + 1;
        else high = middle;
    }
    ++misses;
    return false;
}

// Glyphs asked for that the table lacks, for the page's tests.
extern "C" EMSCRIPTEN_KEEPALIVE uint32_t webGlyphMisses() { return misses; }
