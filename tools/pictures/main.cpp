// make-pictures <res dir> [<contact sheet .png>]
// Paints bitmaps 101, 104, 107 and icon 108 into the res directory; with a second
// argument also a labelled contact sheet of all of them.
#include "pictures.h"
#include "text.h"

#include <algorithm>
#include <cstdio>
#include <string>

#ifndef PELLRUN_FONT
#define PELLRUN_FONT "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"
#endif
#ifndef PELLRUN_PFONT
#define PELLRUN_PFONT "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf"
#endif

namespace {

constexpr uint32_t SheetBack = 0x30303A;

// Keyed areas are shown on a chequer so the transparent parts read as such.
Image showKey(const Image& src) {
    Image out = src;
    for (int y = 0; y < out.h; ++y)
        for (int x = 0; x < out.w; ++x)
            if (out.get(x, y) == Key) out.set(x, y, ((x / 4 + y / 4) & 1) ? 0x6A8A6A : 0x5A7A5A);
    return out;
}

void place(Image& sheet, int x, int y, const Image& pic, int scale, const std::string& label) {
    drawText(sheet, x, y, label, 16, 0xF0F0F0, Ink::Smooth);
    Image shown = showKey(pic);
    frameRect(sheet, x - 1, y + 21, x + pic.w * scale, y + 22 + pic.h * scale, 0x000000);
    blit(sheet, x, y + 22, shown, scale);
}

Image contactSheet(const Image& s101, const Image& l104, const Image& s107, const Image& i16, const Image& i32) {
    Image sheet(1900, 1790, SheetBack);
    drawText(sheet, 20, 12, "Pellrun — every picture, painted by tools/pictures", 22, 0xFFFFFF, Ink::Smooth, 1);
    place(sheet, 20, 50, s101, 2, "bitmap 101 — sprite sheet 435 × 863 (2×)");
    int rx = 920;
    place(sheet, rx, 50, l104, 1, "bitmap 104 — logo screen 640 × 480");
    place(sheet, rx, 570, s107, 1, "bitmap 107 — settings sheet 920 × 320: picture, hit map, marker");
    Image sprites = crop(s101, 0, sheet::SpriteY, 320, 192);
    place(sheet, rx, 930, sprites, 3, "runners (3×): left, from behind, from the front, right, final straight");
    place(sheet, rx + 660, 50, i32, 4, "icon 108 (4×)");
    place(sheet, rx + 660 + 140, 50, i16, 4, "");
    Image post = crop(s101, sheet::PostX, sheet::PostY, sheet::PostW, sheet::PostH);
    place(sheet, rx + 660, 250, post, 3, "post (3×)");
    return sheet;
}

bool save(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (writeFile(path, bytes)) return true;
    std::fprintf(stderr, "make-pictures: cannot write %s\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make-pictures <res dir> [<contact sheet .png>]\n");
        return 2;
    }
    if (!openFont(PELLRUN_FONT, PELLRUN_PFONT)) {
        std::fprintf(stderr, "make-pictures: cannot open %s\n", PELLRUN_FONT);
        return 1;
    }
    std::string dir = argv[1];
    Image s101 = paintSheet(), l104 = paintLogo(), s107 = paintSettings();
    Image i16 = paintIcon(16), i32 = paintIcon(32);
    bool ok = save(dir + "/sheet101.bmp", encodeBmp(s101)) && save(dir + "/logo104.bmp", encodeBmp(l104)) &&
              save(dir + "/settings107.bmp", encodeBmp(s107)) && save(dir + "/icon108.ico", encodeIco({&i16, &i32}));
    if (ok && argc > 2) {
        ok = writePng(argv[2], contactSheet(s101, l104, s107, i16, i32));
        if (!ok) std::fprintf(stderr, "make-pictures: cannot write %s\n", argv[2]);
    }
    closeFont();
    return ok ? 0 : 1;
}
