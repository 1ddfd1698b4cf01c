// Bitmap 104, the logo screen: the title over a meeting in full stride, mice sprinting
// for the finishing post on a sunny turf course.
#include "mouse.h"
#include "pictures.h"
#include "text.h"

namespace {

constexpr int W = 640, H = 480, Horizon = 262, FarRail = 292;

// 4 x 4 ordered dither between two colours, weight 0..16 of b.
uint32_t dither(uint32_t a, uint32_t b, int x, int y, int weight) {
    static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return bayer[y & 3][x & 3] < weight ? b : a;
}

void paintSky(Image& im) {
    static const uint32_t band[6] = {0x2048A8, 0x2C5CC0, 0x3C74D4, 0x5490E0, 0x74ACEC, 0x9CCAF4};
    for (int y = 0; y < Horizon; ++y) {
        int pos = y * 5 * 16 / Horizon;   // 0 .. 79 sixteenths across five steps
        int i = pos / 16, w = pos % 16;
        for (int x = 0; x < W; ++x) im.set(x, y, dither(band[i], band[i + 1], x, y, w));
    }
    // Clouds: clusters of puffs, lit from the top left.
    const int clouds[][3] = {{40, 176, 0}, {470, 196, 1}, {250, 214, 2}, {560, 150, 3}};
    for (auto& c : clouds) {
        Rng r(uint32_t(900 + c[2]));
        for (int k = 0; k < 5; ++k) {
            int px = c[0] + k * 14 + r.below(6), py = c[1] - (k == 1 || k == 2 ? 8 : 0) + r.below(4);
            int s = 18 + r.below(10);
            shadedEllipse(im, px, py, px + s + 8, py + s * 2 / 3, 0xFFFFFF, 0xF0F4FA, 0xC8D4E8);
        }
    }
}

void paintGround(Image& im, const Image& sheet) {
    // Distant hills and trees against the sky.
    for (int x = 0; x < W; ++x) {
        int top = Horizon - 14 - ((x * 7) % 23) / 5 - ((x / 37) % 3) * 4;
        for (int y = top; y < FarRail; ++y) im.set(x, y, y < top + 2 ? 0x5C9C6C : 0x3E7A52);
    }
    for (int t = 0; t < 26; ++t) {   // round tree tops along the far side
        int x = t * 25 + (t * 13) % 11 - 8, y = Horizon - 26 + (t * 7) % 9;
        shadedEllipse(im, x, y, x + 22, y + 20, 0x5AA05A, 0x2E7040, 0x1E5030);
    }
    // The course: the turf tile of the race, doubled, from the far rail down.
    Image turf = crop(sheet, sheet::TurfX, sheet::TileY, 32, 32);
    for (int y = FarRail; y < H; y += 64)
        for (int x = 0; x < W; x += 64) blit(im, x, y, turf, 2);
    // Mown stripes: every other band a shade lighter.
    for (int y = FarRail; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if (((x + (y - FarRail) * 2) / 96) % 2) im.set(x, y, shade(im.get(x, y), 110));
}

void rail(Image& im, int y, int postEvery) {
    for (int x = 0; x < W; ++x) {
        im.set(x, y - 1, 0x2A1C1C);
        im.set(x, y, 0xFFFFFF); im.set(x, y + 1, 0xF0F0F0); im.set(x, y + 2, 0xB8B8C4);
        im.set(x, y + 3, 0x2A1C1C);
    }
    for (int x = 8; x < W; x += postEvery) {
        fillRect(im, x - 1, y + 3, x + 4, y + 16, 0x2A1C1C);
        fillRect(im, x, y + 4, x + 1, y + 16, 0xFFFFFF);
        fillRect(im, x + 2, y + 4, x + 3, y + 16, 0xB8B8C4);
    }
}

void runner(Image& im, int x, int y, int post, int frame, int scale) {
    Image cell(32, 32, Key);
    paintMouse(cell, 0, 0, View::Sprint, frame, runnerLook(post));
    // Shadow on the turf below and right of the mouse (the sun is to the top left).
    int sx0 = x + 8 * scale, sx1 = x + 31 * scale, sy0 = y + 26 * scale, sy1 = y + 31 * scale;
    for (int j = sy0; j <= sy1; ++j)
        for (int i = sx0; i <= sx1; ++i)
            if (im.inside(i, j) && inEllipse(i, j, sx0, sy0, sx1, sy1)) im.set(i, j, shade(im.get(i, j), 72));
    blit(im, x, y, cell, scale, true);
    Rng r(uint32_t(post * 31 + frame));
    for (int k = 0; k < 14; ++k) {
        int px = x - r.below(14 * scale), py = y + 29 * scale - r.below(6 * scale) - k % 3 * scale;
        fillRect(im, px, py, px + scale - 1, py + scale - 1, k % 2 ? 0x008000 : 0x2C6E26);
    }
}

}  // namespace

Image paintLogo() {
    Image im(W, H, 0x000000);
    Image sheet = paintSheet();
    paintSky(im);
    paintGround(im, sheet);
    rail(im, FarRail, 40);

    // The finishing post at the far rail, twice its race size.
    Image post = crop(sheet, sheet::PostX, sheet::PostY, sheet::PostW, sheet::PostH);
    blit(im, 548, FarRail + 14 - 2 * sheet::PostH, post, 2, true);

    // The field, far to near, sprinting to the right.
    runner(im, 300, 282, 3, 0, 3);
    runner(im, 120, 298, 5, 1, 3);
    runner(im, 402, 322, 1, 1, 3);
    runner(im, 20, 340, 2, 0, 3);
    runner(im, 212, 360, 4, 0, 3);
    runner(im, 470, 384, 6, 1, 3);
    rail(im, 462, 48);

    // Title and subtitle.
    const TitleStyle title{0xFFF07A, 0xF08A10, 0x4A1C08, 0x10204A, 4, 6, 2};
    int tw = titleWidth("Pellrun", 120, 2);
    drawTitle(im, (W - tw) / 2, 16, "Pellrun", 120, title);
    const TitleStyle sub{0xFFFFFF, 0xDCE6FF, 0x10204A, 0x10204A, 2, 2, 0};
    int sw = titleWidth("スクリーンセーバー XP", 26, 0);
    drawTitle(im, (W - sw) / 2, 158, "スクリーンセーバー XP", 26, sub);
    return im;
}
