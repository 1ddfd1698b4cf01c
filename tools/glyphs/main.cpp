// make-glyphs [--check] FILE: writes (or compares with FILE) the table of every glyph the
// program draws, rendered as the Linux edition renders them. The web edition draws its
// text from this table, with no font or FreeType of its own.
//
// The texts are a closed set: the clock, the odds and the gate numbers (ASCII) at each
// cell size the program uses, and the runners' names, running styles and post labels
// (double-byte) at the board's and the runner list's sizes.
//
// The file, little-endian: "PLGL", the count of baselines and of glyphs; the baselines
// (cell height, baseline: 2 x int32); the glyphs sorted by key, cell width and height
// (key: the Shift-JIS bytes, a single byte with bit 16 set; uint32 key, uint16 cell
// width and height, int16 width, rows, pitch, left, top, drawable; uint32 offset of the
// bits); then the bits.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/soft/glyphs.h"
#include "race/board.h"
#include "race/race.h"
#include "race/roster.h"

namespace {

struct Cell {
    int32_t width, height;
    bool doubleByte;   // the names and labels are drawn at this size too
};
const Cell cells[] = {{10, 40, true}, {20, 40, false}, {10, 20, true}, {BoardBoxSize, BoardBoxSize, false}};

void put16(std::vector<uint8_t>& out, int32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, int32_t(v & 0xFFFF));
    put16(out, int32_t(v >> 16));
}

// The double-byte characters of a Shift-JIS text, as keys, into keys.
void addKeys(std::vector<uint32_t>& keys, const char* text) {
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p;) {
        const bool lead = (*p >= 0x81 && *p <= 0x9F) || (*p >= 0xE0 && *p <= 0xFC);
        if (lead && p[1]) {
            keys.push_back(uint32_t(p[0]) << 8 | p[1]);
            p += 2;
        } else {
            ++p;
        }
    }
}

std::vector<uint8_t> render() {
    std::vector<uint32_t> wide;
    for (const RosterEntry& entry : roster) addKeys(wide, entry.name);
    for (uint8_t style = 0; style < 4; ++style) {
        addKeys(wide, boardStyleLabel(style));
        addKeys(wide, listStyleLabel(style));
    }
    // The post labels: full-width digits and colon.
    addKeys(wide, "\x82\x4F\x82\x50\x82\x51\x82\x52\x82\x53\x82\x54\x82\x55\x82\x56\x82\x57\x82\x58\x81\x46");

    struct Entry {
        uint32_t key;
        Cell cell;
    };
    std::vector<Entry> entries;
    for (const Cell& cell : cells) {
        for (uint32_t c = 0x20; c < 0x7F; ++c) entries.push_back({0x10000u | c, cell});
        if (cell.doubleByte)
            for (uint32_t key : wide) entries.push_back({key, cell});
    }
    std::vector<uint8_t> head, table, bits;
    const char magic[] = "PLGL";
    head.insert(head.end(), magic, magic + 4);
    std::vector<int32_t> heights;
    for (const Cell& cell : cells)
        if (std::find(heights.begin(), heights.end(), cell.height) == heights.end()) heights.push_back(cell.height);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.key != b.key) return a.key < b.key;
        if (a.cell.width != b.cell.width) return a.cell.width < b.cell.width;
        return a.cell.height < b.cell.height;
    });
    entries.erase(std::unique(entries.begin(), entries.end(),
                              [](const Entry& a, const Entry& b) {
                                  return a.key == b.key && a.cell.width == b.cell.width &&
                                         a.cell.height == b.cell.height;
                              }),
                  entries.end());
    put32(head, uint32_t(heights.size()));
    put32(head, uint32_t(entries.size()));
    for (int32_t height : heights) {
        put32(head, uint32_t(height));
        put32(head, uint32_t(softGlyphBaseline(height)));
    }
    for (const Entry& e : entries) {
        const char bytes[2] = {char(e.key >> 8), char(e.key)};
        SoftGlyph g = {};
        const bool drawable = e.key & 0x10000u ? softGlyph(bytes + 1, 1, e.cell.width, e.cell.height, g)
                                               : softGlyph(bytes, 2, e.cell.width, e.cell.height, g);
        put32(table, e.key);
        put16(table, e.cell.width);
        put16(table, e.cell.height);
        const int32_t fields[6] = {g.width, g.rows, g.pitch, g.left, g.top, drawable};
        for (int32_t v : fields) put16(table, drawable ? v : 0);
        put32(table, uint32_t(bits.size()));
        if (drawable) bits.insert(bits.end(), g.bits, g.bits + size_t(g.rows) * size_t(g.pitch));
    }
    head.insert(head.end(), table.begin(), table.end());
    head.insert(head.end(), bits.begin(), bits.end());
    return head;
}

}  // namespace

int main(int argc, char** argv) {
    const bool check = argc == 3 && std::strcmp(argv[1], "--check") == 0;
    if (argc != 2 && !check) {
        std::fprintf(stderr, "usage: make-glyphs [--check] FILE\n");
        return 2;
    }
    const char* path = argv[argc - 1];
    if (!softGlyphsReady()) {
        std::fprintf(stderr, "make-glyphs: the font cannot be loaded\n");
        return 1;
    }
    const std::vector<uint8_t> table = render();
    if (check) {
        std::vector<uint8_t> old;
        if (FILE* f = std::fopen(path, "rb")) {
            for (int c; (c = std::fgetc(f)) != EOF;) old.push_back(uint8_t(c));
            std::fclose(f);
        }
        if (old == table) return 0;
        std::fprintf(stderr, "make-glyphs: %s differs from the glyphs rendered now\n", path);
        return 1;
    }
    FILE* f = std::fopen(path, "wb");
    if (!f || std::fwrite(table.data(), 1, table.size(), f) != table.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "make-glyphs: cannot write %s\n", path);
        return 1;
    }
    std::printf("make-glyphs: %zu bytes\n", table.size());
    return 0;
}
