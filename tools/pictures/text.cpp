#include "text.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <vector>

static FT_Library library = nullptr;
static FT_Face fixedFace = nullptr, propFace = nullptr, face = nullptr;

bool openFont(const std::string& path, const std::string& proportionalPath) {
    if (FT_Init_FreeType(&library)) return false;
    if (FT_New_Face(library, path.c_str(), 0, &fixedFace)) return false;
    if (FT_New_Face(library, proportionalPath.c_str(), 0, &propFace)) propFace = fixedFace;
    face = fixedFace;
    return true;
}

void closeFont() {
    if (propFace && propFace != fixedFace) FT_Done_Face(propFace);
    if (fixedFace) FT_Done_Face(fixedFace);
    if (library) FT_Done_FreeType(library);
    fixedFace = propFace = face = nullptr;
    library = nullptr;
}

static std::vector<uint32_t> decode(const std::string& s) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = s[i];
        int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        uint32_t cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
        for (int k = 1; k < n && i + k < s.size(); ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
        out.push_back(cp);
        i += n;
    }
    return out;
}

// Calls fn(x, y, coverage) for every covered pixel of the text, relative to its top left.
template <class Fn>
static int render(const std::string& utf8, int size, int bold, Ink ink, Fn fn) {
    FT_Set_Pixel_Sizes(face, 0, FT_UInt(size));
    int ascender = int(face->size->metrics.ascender >> 6);
    int pen = 0;
    for (uint32_t cp : decode(utf8)) {
        FT_UInt gi = FT_Get_Char_Index(face, cp);
        if (FT_Load_Glyph(face, gi, FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING)) continue;
        if (bold) FT_Outline_Embolden(&face->glyph->outline, bold * 64);
        if (FT_Render_Glyph(face->glyph, ink == Ink::Mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL)) continue;
        const FT_Bitmap& bm = face->glyph->bitmap;
        int gx = pen + face->glyph->bitmap_left, gy = ascender - face->glyph->bitmap_top;
        for (unsigned r = 0; r < bm.rows; ++r)
            for (unsigned c = 0; c < bm.width; ++c) {
                const unsigned char* row = bm.buffer + int(r) * bm.pitch;
                int a = bm.pixel_mode == FT_PIXEL_MODE_MONO ? ((row[c / 8] >> (7 - c % 8)) & 1) * 255 : row[c];
                if (a) fn(gx + int(c), gy + int(r), a);
            }
        pen += int((face->glyph->advance.x + 32) >> 6) + bold;
    }
    return pen;
}

int textWidth(const std::string& utf8, int size, int bold) {
    return render(utf8, size, bold, Ink::Mono, [](int, int, int) {});
}

int drawText(Image& im, int x, int y, const std::string& utf8, int size, uint32_t colour, Ink ink, int bold) {
    return render(utf8, size, bold, ink, [&](int px, int py, int a) { im.blend(x + px, y + py, colour, a); });
}

void drawTextCentred(Image& im, int cx, int y, const std::string& utf8, int size, uint32_t colour, Ink ink, int bold) {
    drawText(im, cx - textWidth(utf8, size, bold) / 2, y, utf8, size, colour, ink, bold);
}

Image textMask(const std::string& utf8, int size, int bold, int& width, int& height, Ink ink) {
    width = textWidth(utf8, size, bold) + 2;
    height = size + size / 4 + 2;
    Image m(width, height, 0);
    render(utf8, size, bold, ink, [&](int px, int py, int a) {
        if (m.inside(px, py)) m.px[size_t(py) * m.w + px] = uint32_t(std::max<int>(int(m.get(px, py)), a));
    });
    return m;
}

void drawTitle(Image& im, int x, int y, const std::string& utf8, int size, const TitleStyle& st) {
    face = propFace;
    int w = 0, h = 0;
    Image m = textMask(utf8, size, st.bold, w, h, Ink::Smooth);
    face = fixedFace;
    const int r = st.edge;
    // Coverage of the text grown by the edge width: the largest coverage within reach.
    Image grown(w + 2 * r, h + 2 * r, 0);
    for (int j = 0; j < grown.h; ++j)
        for (int i = 0; i < grown.w; ++i) {
            uint32_t best = 0;
            for (int dy = -r; dy <= r; ++dy)
                for (int dx = -r; dx <= r; ++dx) {
                    if (dx * dx + dy * dy > r * r + r) continue;
                    int sx = i - r + dx, sy = j - r + dy;
                    if (m.inside(sx, sy) && m.get(sx, sy) > best) best = m.get(sx, sy);
                }
            grown.px[size_t(j) * grown.w + i] = best;
        }
    auto layer = [&](const Image& cov, int ox, int oy, auto colourAt) {
        for (int j = 0; j < cov.h; ++j)
            for (int i = 0; i < cov.w; ++i)
                if (cov.get(i, j)) im.blend(ox + i, oy + j, colourAt(j, cov.h), int(cov.get(i, j)));
    };
    if (st.shadowOffset)
        layer(grown, x - r + st.shadowOffset, y - r + st.shadowOffset, [&](int, int) { return st.shadow; });
    layer(grown, x - r, y - r, [&](int, int) { return st.edgeColour; });
    layer(m, x, y, [&](int j, int hh) { return mix(st.top, st.bottom, j * 255 / (hh > 1 ? hh - 1 : 1)); });
}

int titleWidth(const std::string& utf8, int size, int bold) {
    face = propFace;
    int w = textWidth(utf8, size, bold);
    face = fixedFace;
    return w;
}
