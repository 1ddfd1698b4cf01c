// pictures-check <make-pictures> <res dir> <scratch dir>
// Runs the generator into the scratch directory, insists that it reproduces res/ byte
// for byte, and checks in the files what the program relies on: BMP and ICO formats,
// the key colour round every sprite, the areas the program reads or clears, and the
// settings hit map against the buttons of the picture.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int failures = 0;

#define EXPECT(cond, ...)                                       \
    do {                                                        \
        if (!(cond)) {                                          \
            ++failures;                                         \
            std::fprintf(stderr, "FAIL %s:%d: ", __FILE__, __LINE__); \
            std::fprintf(stderr, __VA_ARGS__);                  \
            std::fprintf(stderr, "\n");                         \
        }                                                       \
    } while (0)

constexpr uint32_t Key = 0x00FF00;

std::vector<uint8_t> readFile(const std::string& path) {
    std::vector<uint8_t> out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    std::fclose(f);
    return out;
}

uint32_t u16(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t u32(const std::vector<uint8_t>& b, size_t at) { return u16(b, at) | u16(b, at + 2) << 16; }

// A 24-bit bottom-up BMP read back top-down, after its headers have been checked.
struct Bmp {
    int w = 0, h = 0;
    std::vector<uint32_t> px;
    uint32_t at(int x, int y) const { return px[size_t(y) * w + x]; }
};

bool loadBmp(const std::vector<uint8_t>& b, int w, int h, Bmp& out, const char* name) {
    uint32_t stride = uint32_t(w * 3 + 3) & ~3u;
    bool ok = b.size() == 54 + size_t(stride) * h;
    EXPECT(ok, "%s: %zu bytes, expected %u", name, b.size(), 54 + stride * h);
    if (!ok) return false;
    EXPECT(b[0] == 'B' && b[1] == 'M', "%s: no BM signature", name);
    EXPECT(u32(b, 2) == b.size(), "%s: file size field", name);
    EXPECT(u32(b, 10) == 54, "%s: pixel offset", name);
    EXPECT(u32(b, 14) == 40, "%s: info header size", name);
    EXPECT(int32_t(u32(b, 18)) == w && int32_t(u32(b, 22)) == h, "%s: size %dx%d", name, int32_t(u32(b, 18)), int32_t(u32(b, 22)));
    EXPECT(u16(b, 26) == 1 && u16(b, 28) == 24, "%s: planes/bits", name);
    EXPECT(u32(b, 30) == 0, "%s: compressed", name);
    EXPECT(u32(b, 34) == stride * uint32_t(h), "%s: image size field", name);
    out.w = w;
    out.h = h;
    out.px.resize(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            size_t p = 54 + size_t(h - 1 - y) * stride + size_t(x) * 3;
            out.px[size_t(y) * w + x] = b[p] | b[p + 1] << 8 | b[p + 2] << 16;
        }
    for (int y = 0; y < h; ++y)
        for (uint32_t p = uint32_t(w) * 3; p < stride; ++p)
            EXPECT(b[54 + size_t(y) * stride + p] == 0, "%s: row padding not zero", name);
    return true;
}

int countKey(const Bmp& b, int x0, int y0, int w, int h) {
    int n = 0;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) n += b.at(x, y) == Key;
    return n;
}

bool allOf(const Bmp& b, int x0, int y0, int x1, int y1, uint32_t c) {   // inclusive corners
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (b.at(x, y) != c) return false;
    return true;
}

// ---- Bitmap 101 ------------------------------------------------------------------------

void checkSheet(const Bmp& s) {
    // Tiles: opaque, turf green-dominant, dirt grey-violet (blue above green).
    for (int t = 0; t < 2; ++t) {
        EXPECT(countKey(s, 32 * t, 0, 32, 32) == 0, "tile %d has key pixels", t);
        long r = 0, g = 0, b = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 32 * t; x < 32 * t + 32; ++x) {
                uint32_t c = s.at(x, y);
                r += c >> 16; g += (c >> 8) & 255; b += c & 255;
                // The turf kick-up (0x008000, brightness 75) must show on every turf pixel.
                int luma = (299 * int(c >> 16) + 587 * int((c >> 8) & 255) + 114 * int(c & 255)) / 1000;
                if (t == 0) EXPECT(luma >= 105, "turf pixel (%d, %d) too dark for the kick-up", x, y);
            }
        if (t == 0) EXPECT(g > r + 32 * 32 * 40 && g > b + 32 * 32 * 40, "turf is not green");
        else EXPECT(b > g && r > g - 32 * 32 * 20 && g > r / 2, "dirt is not grey-violet");
    }

    // Race board: opaque; clock boxes black; every text cell flat in its row colour.
    EXPECT(countKey(s, 0, 32, 435, 335) == 0, "race board has key pixels");
    EXPECT(allOf(s, 18, 52, 117, 71, 0) && allOf(s, 125, 52, 224, 71, 0), "clock boxes not black");
    static const uint32_t row[6] = {0xFFFFFF, 0x000000, 0xFF0000, 0x0000FF, 0xFFFF00, 0x00C000};
    for (int i = 0; i < 6; ++i) {
        int y0 = 32 + 54 + 47 * i, y1 = y0 + 39;
        EXPECT(allOf(s, 40, y0, 239, y1, row[i]), "name cell of row %d not flat", i);
        EXPECT(allOf(s, 245, y0, 344, y1, row[i]), "odds cell of row %d not flat", i);
        EXPECT(allOf(s, 350, y0, 429, y1, row[i]), "style cell of row %d not flat", i);
    }

    // Runner cells: key all round, something drawn inside, the two frames of each view
    // differ (the legs move), and the right-facing views leave the top four rows empty
    // (the parade climbs to within 4 pixels above the entrance cover's top edge).
    for (int i = 0; i < 6; ++i)
        for (int c = 0; c < 10; ++c) {
            int x0 = 32 * c, y0 = 367 + 32 * i;
            bool border = true;
            for (int k = 0; k < 32; ++k)
                border = border && s.at(x0 + k, y0) == Key && s.at(x0 + k, y0 + 31) == Key &&
                         s.at(x0, y0 + k) == Key && s.at(x0 + 31, y0 + k) == Key;
            EXPECT(border, "sprite row %d column %d: border not key", i, c);
            EXPECT(countKey(s, x0, y0, 32, 32) < 32 * 32 - 150, "sprite row %d column %d nearly empty", i, c);
            if (c >= 6) EXPECT(countKey(s, x0, y0, 32, 4) == 32 * 4, "sprite row %d column %d: top rows drawn", i, c);
            if (c % 2 == 1) {
                int diff = 0;
                for (int y = 0; y < 32; ++y)
                    for (int x = 0; x < 32; ++x) diff += s.at(x0 + x, y0 + y) != s.at(x0 - 32 + x, y0 + y);
                EXPECT(diff >= 20, "sprite row %d column %d: frames hardly differ (%d)", i, c, diff);
            }
        }
    // Which way each runs: the right-facing views are the left-facing silhouettes mirrored
    // (the shading is not, the light stays top left), with the pink nose at the leading edge.
    auto pinkAt = [&](int x0, int y0, int from, int to) {   // in the head's rows, above the feet
        for (int y = 8; y < 24; ++y)
            for (int x = from; x <= to; ++x) {
                uint32_t c = s.at(x0 + x, y0 + y);
                int r = c >> 16, g = (c >> 8) & 255, b = c & 255;
                if (r > 200 && r > g + 50 && b > g) return true;
            }
        return false;
    };
    for (int i = 0; i < 6; ++i)
        for (int f = 0; f < 2; ++f) {
            int y0 = 367 + 32 * i, left = 32 * f, right = 192 + 32 * f;
            bool mirrored = true;
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x)
                    if ((s.at(left + x, y0 + y) == Key) != (s.at(right + 31 - x, y0 + y) == Key)) mirrored = false;
            EXPECT(mirrored, "runner %d frame %d: right view is not the left silhouette mirrored", i, f);
            EXPECT(pinkAt(left, y0, 0, 5) && !pinkAt(left, y0, 26, 31), "runner %d frame %d: left view nose", i, f);
            EXPECT(pinkAt(right, y0, 26, 31) && !pinkAt(right, y0, 0, 5), "runner %d frame %d: right view nose", i, f);
            EXPECT(pinkAt(256 + 32 * f, y0, 26, 31), "runner %d frame %d: final-straight view nose", i, f);
        }

    // Rows of different posts differ (the cloths).
    for (int i = 1; i < 6; ++i) {
        int diff = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) diff += s.at(x, 367 + y) != s.at(x, 367 + 32 * i + y);
        EXPECT(diff > 10, "runner %d looks like runner 0", i);
    }

    // Finishing post: key above and beside it, standing on its foot in the bottom row.
    {
        bool border = true;
        for (int x = 320; x < 351; ++x) border = border && s.at(x, 367) == Key;
        for (int y = 367; y < 367 + 75; ++y) border = border && s.at(320, y) == Key && s.at(350, y) == Key;
        EXPECT(border, "finishing post border not key");
        EXPECT(countKey(s, 320, 441, 31, 1) < 31, "finishing post does not reach its bottom row");
        EXPECT(countKey(s, 320, 367, 31, 75) < 31 * 75 - 400, "finishing post nearly empty");
    }

    // Infield: opaque; the six order-board boxes black; the walkway open at the bottom
    // edge in the runners' column while the rail closes the edge elsewhere.
    EXPECT(countKey(s, 0, 559, 416, 256) == 0, "infield has key pixels");
    for (int k = 0; k < 6; ++k)
        EXPECT(allOf(s, 90 + 40 * k, 559 + 74, 124 + 40 * k, 559 + 108, 0), "order box %d not black", k);
    {
        uint32_t railColour = s.at(100, 559 + 253);
        bool open = true;
        for (int x = 192; x <= 223; ++x) open = open && s.at(x, 559 + 253) != railColour;
        EXPECT(open, "walkway closed at the infield's bottom edge");
        EXPECT(s.at(20, 559 + 253) == railColour && s.at(300, 559 + 253) == railColour, "no rail at the bottom edge");
    }

    // Entrance cover: opaque where it hides the mice (the whole path under it) with cut
    // corners, and the infield already shows it, so drawing it changes nothing but the mice.
    EXPECT(s.at(0, 815) == Key && s.at(143, 815) == Key, "cover corners not key");
    EXPECT(countKey(s, 16, 815 + 16, 128, 32) == 0, "cover does not hide the entering runner");
    bool same = true;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 144; ++x) {
            uint32_t c = s.at(x, 815 + y);
            if (c != Key && s.at(16 + x, 559 + 136 + y) != c) same = false;
        }
    EXPECT(same, "infield under the cover differs from the cover");
}

// ---- Bitmap 107 ------------------------------------------------------------------------

struct Group { uint32_t colour; int base, step, count, x0, y0; };
const Group groups[5] = {
    {0xFF0000, 18, 25, 5, 22, 148}, {0x0000FF, 176, 46, 3, 180, 148}, {0xFFFF00, 336, 55, 2, 340, 148},
    {0xFFFFFF, 108, 55, 2, 112, 238}, {0x808080, 244, 55, 2, 248, 238},
};

bool isBlue(uint32_t c) {
    int r = c >> 16, g = (c >> 8) & 255, b = c & 255;
    return b > r + 40 && b > g + 40;
}

void checkSettings(const Bmp& s) {
    EXPECT(countKey(s, 0, 0, 448, 320) == 0, "settings picture has key pixels");
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 448; ++x) {
            uint32_t c = s.at(448 + x, y);
            bool hit = c != 0;
            EXPECT(isBlue(s.at(x, y)) == hit, "picture and hit map disagree at (%d, %d)", x, y);
            if (!hit) continue;
            const Group* g = nullptr;
            for (const Group& q : groups)
                if ((q.colour & 0xF0F0F0) == (c & 0xF0F0F0)) g = &q;
            EXPECT(g && g->colour == c, "hit map colour %06X at (%d, %d)", unsigned(c), x, y);
            if (!g) continue;
            int k = (x - g->base) / g->step;
            bool inside = k >= 0 && k < g->count && x >= g->x0 + g->step * k && x <= g->x0 + g->step * k + 15 &&
                          y >= g->y0 && y <= g->y0 + 16;
            EXPECT(inside, "hit pixel (%d, %d) outside the button the formula names (%d)", x, y, k);
        }
    // Every button: a disc filling its 16 x 17 area, and the red ball at its marker
    // position covers all of it.
    for (const Group& g : groups)
        for (int k = 0; k < g.count; ++k) {
            int bx = g.x0 + g.step * k, by = g.y0;
            EXPECT(s.at(448 + bx + 7, by + 8) == g.colour, "button %06X/%d has no centre", unsigned(g.colour), k);
            bool l = false, r = false, t = false, b = false;
            for (int j = 0; j < 17; ++j) {
                l = l || s.at(448 + bx, by + j) != 0; r = r || s.at(448 + bx + 15, by + j) != 0;
            }
            for (int i = 0; i < 16; ++i) {
                t = t || s.at(448 + bx + i, by) != 0; b = b || s.at(448 + bx + i, by + 16) != 0;
            }
            EXPECT(l && r && t && b, "button %06X/%d does not fill its area", unsigned(g.colour), k);
            int mx = g.base + g.step * k, my = by - 3;
            bool covered = true;
            for (int y = by; y <= by + 16; ++y)
                for (int x = bx; x <= bx + 15; ++x)
                    if (s.at(448 + x, y) != 0 && s.at(896 + x - mx, y - my) == Key) covered = false;
            EXPECT(covered, "marker leaves button %06X/%d showing", unsigned(g.colour), k);
        }
    EXPECT(s.at(896, 0) == Key && s.at(919, 0) == Key && s.at(896, 22) == Key && s.at(919, 22) == Key,
           "marker corners not key");
    uint32_t centre = s.at(896 + 12, 11);
    EXPECT((centre >> 16) > 2 * ((centre >> 8) & 255), "marker is not red");
}

// ---- Icon 108 --------------------------------------------------------------------------

void checkIcon(const std::vector<uint8_t>& b) {
    bool ok = b.size() > 6 + 32 && u16(b, 0) == 0 && u16(b, 2) == 1 && u16(b, 4) == 2;
    EXPECT(ok, "icon directory");
    if (!ok) return;
    for (int e = 0; e < 2; ++e) {
        size_t d = 6 + 16 * size_t(e);
        int size = e ? 32 : 16;
        EXPECT(b[d] == size && b[d + 1] == size, "icon entry %d size", e);
        uint32_t bytes = u32(b, d + 8), off = u32(b, d + 12);
        uint32_t stride = uint32_t(size * 3 + 3) & ~3u, mask = uint32_t((size + 31) / 32 * 4);
        EXPECT(bytes == 40 + (stride + mask) * uint32_t(size), "icon entry %d byte count", e);
        if (off + bytes > b.size()) { EXPECT(false, "icon entry %d beyond the file", e); continue; }
        EXPECT(u32(b, off) == 40 && int32_t(u32(b, off + 4)) == size && int32_t(u32(b, off + 8)) == 2 * size &&
               u16(b, off + 14) == 24, "icon entry %d header", e);
        int transparent = 0;
        bool blackBehind = true;   // masked pixels must be black or they XOR onto the desktop
        size_t m = off + 40 + stride * size_t(size);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                int t = (b[m + y * mask + x / 8] >> (7 - x % 8)) & 1;
                transparent += t;
                size_t p = off + 40 + y * stride + size_t(x) * 3;
                if (t && (b[p] | b[p + 1] | b[p + 2])) blackBehind = false;
            }
        EXPECT(blackBehind, "icon entry %d: transparent pixels not black", e);
        EXPECT(transparent > size && transparent < size * size / 2, "icon entry %d mask (%d clear)", e, transparent);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: pictures-check <make-pictures> <res dir> <scratch dir>\n");
        return 2;
    }
    std::string gen = argv[1], res = argv[2], tmp = argv[3];
    std::string cmd = "mkdir -p '" + tmp + "' && '" + gen + "' '" + tmp + "'";
    EXPECT(std::system(cmd.c_str()) == 0, "generator failed: %s", cmd.c_str());
    const char* files[4] = {"sheet101.bmp", "logo104.bmp", "settings107.bmp", "icon108.ico"};
    std::vector<uint8_t> data[4];
    for (int i = 0; i < 4; ++i) {
        data[i] = readFile(tmp + "/" + files[i]);
        std::vector<uint8_t> committed = readFile(res + "/" + files[i]);
        EXPECT(!data[i].empty() && data[i] == committed,
               "%s: generated file differs from res/ (run the 'pictures' target and commit)", files[i]);
    }
    Bmp sheet, logo, settings;
    if (loadBmp(data[0], 435, 863, sheet, files[0])) checkSheet(sheet);
    loadBmp(data[1], 640, 480, logo, files[1]);
    if (loadBmp(data[2], 920, 320, settings, files[2])) checkSettings(settings);
    checkIcon(data[3]);
    if (failures) std::fprintf(stderr, "%d failure(s)\n", failures);
    else std::printf("pictures: all checks passed\n");
    return failures ? 1 : 0;
}
