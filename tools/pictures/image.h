// A plain RGB raster with the drawing primitives the picture generator paints with,
// and the encoders that turn rasters into BMP, ICO and PNG bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Colours are 0xRRGGBB. Pure green is the transparent key of every keyed picture.
constexpr uint32_t Key = 0x00FF00;

struct Image {
    int w = 0, h = 0;
    std::vector<uint32_t> px;

    Image() = default;
    Image(int width, int height, uint32_t fill) : w(width), h(height), px(size_t(width) * height, fill) {}

    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h; }
    uint32_t get(int x, int y) const { return px[size_t(y) * w + x]; }
    // Draws one pixel (clipped). Asking for the key colour here is a painting mistake:
    // the generator stops rather than let a drawn pixel turn transparent.
    void set(int x, int y, uint32_t c);
    // Writes the key colour on purpose (clipped).
    void clear(int x, int y) { if (inside(x, y)) px[size_t(y) * w + x] = Key; }
    // Mixes c over the pixel with weight a/255; never yields the key colour.
    void blend(int x, int y, uint32_t c, int a);
};

uint32_t mix(uint32_t a, uint32_t b, int wb);   // wb/255 of b over a
uint32_t shade(uint32_t c, int percent);         // scales every channel by percent/100, capped

void fillRect(Image& im, int x0, int y0, int x1, int y1, uint32_t c);     // inclusive corners
void clearRect(Image& im, int x0, int y0, int x1, int y1);                // to the key colour
void frameRect(Image& im, int x0, int y0, int x1, int y1, uint32_t c);
// Raised (light top-left) or sunken one-pixel bevel just outside the inclusive rectangle.
void bevel(Image& im, int x0, int y0, int x1, int y1, uint32_t light, uint32_t dark);
void line(Image& im, int x0, int y0, int x1, int y1, uint32_t c);
// True when the pixel centre (x, y) lies inside the ellipse inscribed in the inclusive box.
bool inEllipse(int x, int y, int x0, int y0, int x1, int y1);
void fillEllipse(Image& im, int x0, int y0, int x1, int y1, uint32_t c);
// A ball lit from the top left: highlight, body and shade bands inside the ellipse.
void shadedEllipse(Image& im, int x0, int y0, int x1, int y1, uint32_t hi, uint32_t mid, uint32_t lo);

// Copies src onto dst at (x, y), enlarged by an integer factor; with keyed set the key
// colour of src is left out.
void blit(Image& dst, int x, int y, const Image& src, int scale = 1, bool keyed = false);
Image crop(const Image& src, int x, int y, int w, int h);

// Pixel art described as rows of characters; each character is looked up in the palette
// string "c=RRGGBB c=RRGGBB ..."; '.' is left unpainted.
void drawGrid(Image& im, int x, int y, const char* const* rows, int n, const char* palette,
              bool flipX = false, int scale = 1);

// A small deterministic random sequence, so the pictures come out the same every run.
struct Rng {
    uint32_t s;
    explicit Rng(uint32_t seed) : s(seed) {}
    uint32_t next() { s = s * 1664525u + 1013904223u; return s >> 8; }
    int below(int n) { return int(next() % uint32_t(n)); }
};

// Encoders. BMP: 24 bits, bottom-up, BITMAPINFOHEADER, rows padded to 4 bytes.
std::vector<uint8_t> encodeBmp(const Image& im);
// ICO: one 24-bit image with an AND mask per entry; key-coloured pixels are transparent.
std::vector<uint8_t> encodeIco(const std::vector<const Image*>& images);
bool writePng(const std::string& path, const Image& im);
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
