#include "image.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

void Image::set(int x, int y, uint32_t c) {
    c &= 0xFFFFFF;
    if (c == Key) {
        std::fprintf(stderr, "make-pictures: key colour painted at (%d, %d)\n", x, y);
        std::abort();
    }
    if (inside(x, y)) px[size_t(y) * w + x] = c;
}

uint32_t mix(uint32_t a, uint32_t b, int wb) {
    uint32_t out = 0;
    for (int sh = 0; sh <= 16; sh += 8) {
        int ca = (a >> sh) & 255, cb = (b >> sh) & 255;
        out |= uint32_t((ca * (255 - wb) + cb * wb + 127) / 255) << sh;
    }
    return out;
}

void Image::blend(int x, int y, uint32_t c, int a) {
    if (!inside(x, y) || a <= 0) return;
    uint32_t r = a >= 255 ? c : mix(get(x, y), c, a);
    if (r == Key) r = 0x00F000;   // a mix can only land here over key; keep it drawn
    set(x, y, r);
}

uint32_t shade(uint32_t c, int percent) {
    uint32_t out = 0;
    for (int sh = 0; sh <= 16; sh += 8) {
        int v = int((c >> sh) & 255) * percent / 100;
        out |= uint32_t(v > 255 ? 255 : v) << sh;
    }
    return out;
}

void fillRect(Image& im, int x0, int y0, int x1, int y1, uint32_t c) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) im.set(x, y, c);
}

void clearRect(Image& im, int x0, int y0, int x1, int y1) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) im.clear(x, y);
}

void frameRect(Image& im, int x0, int y0, int x1, int y1, uint32_t c) {
    for (int x = x0; x <= x1; ++x) { im.set(x, y0, c); im.set(x, y1, c); }
    for (int y = y0; y <= y1; ++y) { im.set(x0, y, c); im.set(x1, y, c); }
}

void bevel(Image& im, int x0, int y0, int x1, int y1, uint32_t light, uint32_t dark) {
    for (int x = x0 - 1; x <= x1 + 1; ++x) { im.set(x, y0 - 1, light); im.set(x, y1 + 1, dark); }
    for (int y = y0; y <= y1 + 1; ++y) { im.set(x0 - 1, y, light); im.set(x1 + 1, y, dark); }
}

void line(Image& im, int x0, int y0, int x1, int y1, uint32_t c) {
    int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        im.set(x0, y0, c);
        if (x0 == x1 && y0 == y1) break;
        int e2 = 2 * err;
        if (e2 >= dy) { err += dy; x0 += sx; }
        if (e2 <= dx) { err += dx; y0 += sy; }
    }
}

bool inEllipse(int x, int y, int x0, int y0, int x1, int y1) {
    int64_t w = x1 - x0 + 1, h = y1 - y0 + 1;
    int64_t dx = 2 * x + 1 - (x0 + x1 + 1), dy = 2 * y + 1 - (y0 + y1 + 1);
    return dx * dx * h * h + dy * dy * w * w <= w * w * h * h;
}

void fillEllipse(Image& im, int x0, int y0, int x1, int y1, uint32_t c) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (inEllipse(x, y, x0, y0, x1, y1)) im.set(x, y, c);
}

void shadedEllipse(Image& im, int x0, int y0, int x1, int y1, uint32_t hi, uint32_t mid, uint32_t lo) {
    int w = x1 - x0 + 1, h = y1 - y0 + 1;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            if (!inEllipse(x, y, x0, y0, x1, y1)) continue;
            // Position in the ellipse, -100..100 each way; the light falls from the top left.
            int u = (2 * x + 1 - (x0 + x1 + 1)) * 100 / w;
            int v = (2 * y + 1 - (y0 + y1 + 1)) * 100 / h;
            int s = u * 55 + v * 85;
            uint32_t c = s < -4200 ? hi : s > 4000 ? lo : mid;
            if (u * u + v * v < 900 && s < 0) c = hi;
            im.set(x, y, c);
        }
}

void blit(Image& dst, int x, int y, const Image& src, int scale, bool keyed) {
    for (int sy = 0; sy < src.h; ++sy)
        for (int sx = 0; sx < src.w; ++sx) {
            uint32_t c = src.get(sx, sy);
            for (int j = 0; j < scale; ++j)
                for (int i = 0; i < scale; ++i) {
                    int dx = x + sx * scale + i, dy = y + sy * scale + j;
                    if (!dst.inside(dx, dy)) continue;
                    if (c == Key) { if (!keyed) dst.clear(dx, dy); }
                    else dst.set(dx, dy, c);
                }
        }
}

Image crop(const Image& src, int x, int y, int w, int h) {
    Image out(w, h, Key);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) out.px[size_t(j) * w + i] = src.get(x + i, y + j);
    return out;
}

static bool lookUp(const char* palette, char ch, uint32_t& c) {
    for (const char* p = palette; *p; ++p) {
        if (p[0] == ch && p[1] == '=') {
            c = uint32_t(std::strtoul(p + 2, nullptr, 16));
            return true;
        }
        while (*p && *p != ' ') ++p;
        if (!*p) break;
    }
    return false;
}

void drawGrid(Image& im, int x, int y, const char* const* rows, int n, const char* palette,
              bool flipX, int scale) {
    for (int r = 0; r < n; ++r) {
        int len = int(std::strlen(rows[r]));
        for (int i = 0; i < len; ++i) {
            char ch = rows[r][i];
            if (ch == '.' || ch == ' ') continue;
            uint32_t c;
            if (!lookUp(palette, ch, c)) {
                std::fprintf(stderr, "make-pictures: no colour for '%c'\n", ch);
                std::abort();
            }
            int col = flipX ? len - 1 - i : i;
            fillRect(im, x + col * scale, y + r * scale, x + col * scale + scale - 1, y + r * scale + scale - 1, c);
        }
    }
}

static void put16(std::vector<uint8_t>& b, uint32_t v) { b.push_back(v & 255); b.push_back((v >> 8) & 255); }
static void put32(std::vector<uint8_t>& b, uint32_t v) { put16(b, v & 0xFFFF); put16(b, v >> 16); }

static void infoHeader(std::vector<uint8_t>& b, int w, int h, int bits, uint32_t imageSize) {
    put32(b, 40); put32(b, uint32_t(w)); put32(b, uint32_t(h)); put16(b, 1); put16(b, uint16_t(bits));
    put32(b, 0); put32(b, imageSize); put32(b, 0); put32(b, 0); put32(b, 0); put32(b, 0);
}

static void pixelRows(std::vector<uint8_t>& b, const Image& im) {
    int stride = (im.w * 3 + 3) & ~3;
    for (int y = im.h - 1; y >= 0; --y) {
        for (int x = 0; x < im.w; ++x) {
            uint32_t c = im.get(x, y);
            b.push_back(c & 255); b.push_back((c >> 8) & 255); b.push_back((c >> 16) & 255);
        }
        for (int p = im.w * 3; p < stride; ++p) b.push_back(0);
    }
}

std::vector<uint8_t> encodeBmp(const Image& im) {
    uint32_t stride = uint32_t(im.w * 3 + 3) & ~3u;
    uint32_t imageSize = stride * uint32_t(im.h);
    std::vector<uint8_t> b;
    b.reserve(54 + imageSize);
    b.push_back('B'); b.push_back('M');
    put32(b, 54 + imageSize); put32(b, 0); put32(b, 54);
    infoHeader(b, im.w, im.h, 24, imageSize);
    pixelRows(b, im);
    return b;
}

std::vector<uint8_t> encodeIco(const std::vector<const Image*>& images) {
    std::vector<std::vector<uint8_t>> bodies;
    for (const Image* im : images) {
        uint32_t stride = uint32_t(im->w * 3 + 3) & ~3u;
        uint32_t maskStride = uint32_t((im->w + 31) / 32 * 4);
        std::vector<uint8_t> b;
        infoHeader(b, im->w, im->h * 2, 24, (stride + maskStride) * uint32_t(im->h));
        Image colour = *im;   // transparent pixels are black in the colour part
        for (uint32_t& c : colour.px) if (c == Key) c = 0;
        pixelRows(b, colour);
        for (int y = im->h - 1; y >= 0; --y) {
            std::vector<uint8_t> row(maskStride, 0);
            for (int x = 0; x < im->w; ++x)
                if (im->get(x, y) == Key) row[x / 8] |= uint8_t(0x80 >> (x % 8));
            b.insert(b.end(), row.begin(), row.end());
        }
        bodies.push_back(std::move(b));
    }
    std::vector<uint8_t> out;
    put16(out, 0); put16(out, 1); put16(out, uint16_t(images.size()));
    uint32_t offset = 6 + 16 * uint32_t(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        out.push_back(uint8_t(images[i]->w)); out.push_back(uint8_t(images[i]->h));
        out.push_back(0); out.push_back(0);
        put16(out, 1); put16(out, 24); put32(out, uint32_t(bodies[i].size())); put32(out, offset);
        offset += uint32_t(bodies[i].size());
    }
    for (auto& b : bodies) out.insert(out.end(), b.begin(), b.end());
    return out;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool writePng(const std::string& path, const Image& im) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) { std::fclose(f); return false; }
    // libpng reports errors by longjmp; nothing here needs unwinding but the file.
    if (setjmp(png_jmpbuf(png))) { png_destroy_write_struct(&png, &info); std::fclose(f); return false; }
    png_init_io(png, f);
    png_set_IHDR(png, info, uint32_t(im.w), uint32_t(im.h), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    std::vector<uint8_t> row(size_t(im.w) * 3);
    for (int y = 0; y < im.h; ++y) {
        for (int x = 0; x < im.w; ++x) {
            uint32_t c = im.get(x, y);
            row[3 * x] = (c >> 16) & 255; row[3 * x + 1] = (c >> 8) & 255; row[3 * x + 2] = c & 255;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}
