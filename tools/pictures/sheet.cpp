// Bitmap 101: track tiles, race board, runner sprites, finishing post, infield and the
// entrance cover, each at the place the program copies it from.
#include "mouse.h"
#include "pictures.h"
#include "text.h"

#include <string>

using namespace sheet;

namespace {

// Shared light and ground colours.
// The turf is a light, sunny green: the race's kick-up specks (0x008000) must show on
// every pixel of it, shade included.
constexpr uint32_t Turf = 0x52AC40, TurfDark = 0x409436, TurfLight = 0x70C256, TurfTip = 0x9ADA74;
constexpr uint32_t Dirt = 0x8A8094, DirtDark = 0x6C6278, DirtLight = 0xA49AAE, DirtPale = 0xBEB6C6;
constexpr uint32_t Ground = 0x8E6B45, GroundDark = 0x765532, GroundLight = 0xA4804F;
constexpr uint32_t Walk = 0x948CA2, WalkDark = 0x6E6680, WalkLight = 0xB0A8BE;
constexpr uint32_t Rail = 0xF6F6F2, RailShade = 0xB4B4BC;

// Wraps into the tile so that the texture continues across its edges.
void wrapSet(Image& im, int ox, int x, int y, uint32_t c) { im.set(ox + ((x % 32) + 32) % 32, ((y % 32) + 32) % 32, c); }

void paintTurf(Image& im, int ox) {
    fillRect(im, ox, 0, ox + 31, 31, Turf);
    Rng r(101);
    for (int i = 0; i < 150; ++i) {   // grass blades: dark root, lit tip
        int x = r.below(32), y = r.below(32), len = 2 + r.below(2);
        for (int j = 0; j < len; ++j) wrapSet(im, ox, x, y + j, j == 0 ? TurfLight : TurfDark);
        if (r.below(5) == 0) wrapSet(im, ox, x, y - 1, TurfTip);
    }
    for (int i = 0; i < 40; ++i) wrapSet(im, ox, r.below(32), r.below(32), TurfDark);
}

void paintDirt(Image& im, int ox) {
    fillRect(im, ox, 0, ox + 31, 31, Dirt);
    Rng r(202);
    for (int i = 0; i < 90; ++i) wrapSet(im, ox, r.below(32), r.below(32), r.below(3) ? DirtDark : DirtLight);
    for (int i = 0; i < 14; ++i) {   // pebbles lit from the top left
        int x = r.below(32), y = r.below(32), w = 2 + r.below(2);
        for (int j = 0; j < w; ++j) { wrapSet(im, ox, x + j, y, DirtPale); wrapSet(im, ox, x + j, y + 1, DirtLight); }
        wrapSet(im, ox, x + w, y + 1, DirtDark);
        for (int j = 0; j <= w; ++j) wrapSet(im, ox, x + j, y + 2, DirtDark);
    }
}

// ---- Race board -----------------------------------------------------------------------

constexpr uint32_t BoardBack = 0x1C2644, BoardEdgeHi = 0x8A9AC8, BoardEdgeLo = 0x080C18;
constexpr uint32_t CellHi = 0x6A7AA8, CellLo = 0x0A0E1C;

void paintBoard(Image& im) {
    const int ox = BoardX, oy = BoardY;
    auto R = [&](int x0, int y0, int x1, int y1, uint32_t c) { fillRect(im, ox + x0, oy + y0, ox + x1, oy + y1, c); };
    auto sunken = [&](int x0, int y0, int x1, int y1) { bevel(im, ox + x0, oy + y0, ox + x1, oy + y1, CellLo, CellHi); };
    R(0, 0, BoardW - 1, BoardH - 1, BoardBack);
    // Raised double frame round the board.
    for (int k = 0; k < 3; ++k) {
        uint32_t hi = k == 1 ? 0xC8D0E8 : BoardEdgeHi, lo = k == 1 ? 0x2A3450 : BoardEdgeLo;
        for (int x = k; x < BoardW - k; ++x) { im.set(ox + x, oy + k, hi); im.set(ox + x, oy + BoardH - 1 - k, lo); }
        for (int y = k; y < BoardH - k; ++y) { im.set(ox + k, oy + y, hi); im.set(ox + BoardW - 1 - k, oy + y, lo); }
    }

    // Clock boxes with their captions.
    const uint32_t caption = 0xE4E8F4;
    R(18, 20, 117, 39, 0x000000);
    R(125, 20, 224, 39, 0x000000);
    sunken(18, 20, 117, 39);
    sunken(125, 20, 224, 39);
    drawTextCentred(im, ox + 68, oy + 4, "現在時刻", 14, caption, Ink::Smooth);
    drawTextCentred(im, ox + 175, oy + 4, "発走時刻", 14, caption, Ink::Smooth);
    // The title on the right.
    drawTextCentred(im, ox + 334, oy + 8, "出走表", 30, 0x000000, Ink::Smooth, 1);
    drawTextCentred(im, ox + 332, oy + 6, "出走表", 30, 0xFFD84A, Ink::Smooth, 1);

    // Column headings.
    const uint32_t head = 0xC8D2EC;
    drawTextCentred(im, ox + 21, oy + 40, "枠", 12, head, Ink::Smooth);
    drawTextCentred(im, ox + 140, oy + 40, "名　前", 12, head, Ink::Smooth);
    drawTextCentred(im, ox + 295, oy + 40, "単勝オッズ", 12, head, Ink::Smooth);
    drawTextCentred(im, ox + 390, oy + 40, "脚　質", 12, head, Ink::Smooth);

    // Six rows in the post colours; name, odds and style cells stay flat for the texts.
    static const uint32_t row[6] = {0xFFFFFF, 0x000000, 0xFF0000, 0x0000FF, 0xFFFF00, 0x00C000};
    static const uint32_t ink[6] = {0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0x000000, 0x000000};
    for (int i = 0; i < 6; ++i) {
        int y0 = 54 + 47 * i, y1 = y0 + 39;
        const int cells[4][2] = {{6, 36}, {40, 239}, {245, 344}, {350, 429}};
        for (auto& c : cells) {
            R(c[0], y0, c[1], y1, row[i]);
            sunken(c[0], y0, c[1], y1);
        }
        std::string n(1, char('1' + i));
        drawTextCentred(im, ox + 22, oy + y0 + 4, n, 32, ink[i], Ink::Smooth, 1);
    }
}

// ---- Runners, post, store ---------------------------------------------------------------

void paintRunners(Image& im) {
    const View views[5] = {View::Left, View::Back, View::Front, View::Right, View::Sprint};
    for (int i = 0; i < 6; ++i)
        for (int v = 0; v < 5; ++v)
            for (int f = 0; f < 2; ++f)
                paintMouse(im, 64 * v + 32 * f, SpriteY + 32 * i, views[v], f, runnerLook(i + 1));
}

void paintPost(Image& im) {
    Image post(PostW, PostH, Key);
    // The white mouse on top.
    MouseLook white{0xFFFFFF, 0xECECF0, 0xB8B8C8, false, 0, 0, 0, 0};
    Image m(32, 32, Key);
    paintMouse(m, 0, 0, View::Front, 2, white);
    for (int y = 0; y < 32; ++y)
        for (int x = 1; x <= 29; ++x) {
            uint32_t c = m.get(x, y);
            if (c == Key) continue;
            bool rim = x == 29 || m.get(x + 1, y) == Key;   // the cut-off right edge keeps an outline
            post.set(x, y, x == 29 && rim ? 0x2A1C1C : c);
        }
    // The cap it stands on.
    fillEllipse(post, 4, 27, 26, 32, 0x2A1C1C);
    shadedEllipse(post, 5, 28, 25, 31, 0xF05848, 0xC82828, 0x881818);
    // Pole.
    for (int y = 33; y <= 71; ++y) {
        post.set(13, y, 0x2A1C1C); post.set(14, y, 0xFFFFFF); post.set(15, y, 0xE8E8EC);
        post.set(16, y, 0xB8B8C4); post.set(17, y, 0x2A1C1C);
    }
    // Lamp housing with five lamps, lit from the top left.
    fillRect(post, 8, 36, 22, 67, 0x2A1C1C);
    fillRect(post, 9, 37, 21, 66, 0x3A3A46);
    for (int y = 37; y <= 66; ++y) post.set(9, y, 0x5A5A6A);
    for (int x = 9; x <= 21; ++x) post.set(x, 37, 0x5A5A6A);
    static const uint32_t lamp[5][3] = {
        {0xFFB0A0, 0xF03020, 0x901810}, {0xFFF0B0, 0xFFC820, 0xB07800}, {0xFFF0B0, 0xFFC820, 0xB07800},
        {0xFFF0B0, 0xFFC820, 0xB07800}, {0xC0FFC0, 0x30D040, 0x107820}};
    for (int j = 0; j < 5; ++j) {
        int y = 39 + 6 * j;
        fillEllipse(post, 11, y, 19, y + 4, 0x181820);
        shadedEllipse(post, 12, y, 18, y + 4, lamp[j][0], lamp[j][1], lamp[j][2]);
    }
    // Foot.
    fillRect(post, 8, 71, 22, 74, 0x2A1C1C);
    fillRect(post, 9, 72, 21, 73, 0x707080);
    for (int x = 9; x <= 21; ++x) post.set(x, 72, 0x9A9AAA);
    blit(im, PostX, PostY, post);
    fillRect(im, StoreX, StoreY, StoreX + PostW - 1, StoreY + PostH - 1, 0x000000);
}

// ---- Entrance cover and infield ---------------------------------------------------------

Image paintCover() {
    Image c(CoverW, CoverH, Key);
    constexpr uint32_t Wood = 0xA8743E, WoodHi = 0xC8965A, WoodLo = 0x7A4E24, Line = 0x3A2410;
    // Roof of planks running along the passage; the top corners are cut off.
    constexpr int Eave = 25, Wall = 28;
    for (int y = 0; y < Eave; ++y) {
        int inset = y < 4 ? 4 - y : 0;
        for (int x = inset; x < CoverW - inset; ++x) {
            uint32_t col = (y % 6 == 0) ? Line : (y % 6 == 1) ? WoodHi : (y % 6 == 5) ? WoodLo : Wood;
            if ((x + (y / 6) * 37) % 48 == 0 && y % 6 != 0) col = Line;   // plank joints
            c.set(x, y, col);
        }
        c.set(inset, y, Line);
        c.set(CoverW - 1 - inset, y, Line);
    }
    for (int x = 4; x < CoverW - 4; ++x) c.set(x, 0, Line);
    // Eave.
    for (int x = 0; x < CoverW; ++x) { c.set(x, Eave, Line); c.set(x, Eave + 1, WoodLo); c.set(x, Eave + 2, Line); }
    // Front wall of upright boards, in the roof's shade at the top.
    for (int y = Wall; y < CoverH; ++y)
        for (int x = 0; x < CoverW; ++x) {
            uint32_t col = x % 8 == 0 ? Line : x % 8 == 1 ? 0x8C5C2E : 0x7A4C24;
            if (y == Wall) col = 0x4A2E14;
            if (y == CoverH - 1) col = Line;
            c.set(x, y, col);
        }
    // A name plate on the wall.
    fillRect(c, 44, 31, 99, 45, Line);
    fillRect(c, 45, 32, 98, 44, 0xF4EAD0);
    for (int x = 45; x <= 98; ++x) c.set(x, 44, 0xC8B894);
    drawTextCentred(c, 72, 32, "入場口", 12, 0x3A2410, Ink::Smooth, 0);
    return c;
}

void paintInfield(Image& im, const Image& cover) {
    Image f(InfieldW, InfieldH, Ground);
    Rng r(303);
    for (int i = 0; i < 5200; ++i) {
        int x = r.below(InfieldW), y = r.below(InfieldH);
        f.set(x, y, r.below(3) ? GroundDark : GroundLight);
    }
    for (int i = 0; i < 90; ++i) {   // small tufts of grass
        int x = r.below(InfieldW), y = r.below(InfieldH);
        f.set(x, y, TurfDark); f.set(x + 1, y - 1, TurfLight); f.set(x + 2, y, TurfDark);
    }

    // Bushes, lit from the top left, with their shadows to the bottom right.
    const int bush[][3] = {{22, 22, 22}, {366, 26, 20}, {40, 206, 18}, {372, 196, 22}, {300, 200, 16}, {22, 96, 14}};
    for (auto& b : bush) {
        fillEllipse(f, b[0] + 3, b[1] + 4, b[0] + b[2] + 3, b[1] + b[2] * 3 / 4 + 4, GroundDark);
        fillEllipse(f, b[0] - 1, b[1] - 1, b[0] + b[2] + 1, b[1] + b[2] * 3 / 4 + 1, 0x1C3A14);
        shadedEllipse(f, b[0], b[1], b[0] + b[2], b[1] + b[2] * 3 / 4, 0x6CB04C, 0x3C8430, 0x245A1C);
    }
    // A flower bed.
    fillRect(f, 252, 226, 344, 240, 0x4A2E18);
    bevel(f, 252, 226, 344, 240, 0x5A3A1E, GroundLight);
    static const uint32_t bloom[4][2] = {{0xF04060, 0xA01838}, {0xFFE040, 0xC09010}, {0xFFFFFF, 0xC0C0D0}, {0xB060E0, 0x703098}};
    for (int i = 0; i < 14; ++i) {   // small five-petal flowers on leaves
        int x = 258 + i * 6 + r.below(3), y = 229 + (i % 2) * 4 + r.below(2);
        const uint32_t* c = bloom[i % 4];
        f.set(x - 1, y + 2, 0x2C6E26); f.set(x + 2, y + 2, 0x3C8A32);
        f.set(x, y - 1, c[0]); f.set(x - 1, y, c[0]); f.set(x + 1, y, c[1]); f.set(x, y + 1, c[1]);
        f.set(x, y, 0xFFD040);
    }
    // The walkway: out of the entrance, right at the height of the parade, then down to
    // the gap in the bottom rail. The runners walk on it in the column x 192..223.
    auto pave = [&](int x0, int y0, int x1, int y1) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                uint32_t col = Walk;
                if ((y - 140) % 9 == 0 || (x + ((y - 140) / 9 % 2) * 7) % 14 == 0) col = WalkDark;
                else if ((y - 140) % 9 == 1) col = WalkLight;
                f.set(x, y, col);
            }
    };
    pave(150, 140, 227, 163);
    pave(188, 140, 227, 255);
    for (int x = 150; x <= 187; ++x) { f.set(x, 139, WalkLight); f.set(x, 164, 0x4E3A28); }
    for (int x = 188; x <= 227; ++x) f.set(x, 139, WalkLight);
    for (int y = 165; y <= 255; ++y) f.set(187, y, WalkLight);
    for (int y = 139; y <= 255; ++y) f.set(228, y, 0x4E3A28);

    // Inner rail round the infield, open where the walkway meets the track.
    for (int x = 0; x < InfieldW; ++x) {
        f.set(x, 0, Rail); f.set(x, 1, Rail); f.set(x, 2, RailShade);
        if (x < 186 || x > 229) { f.set(x, 253, Rail); f.set(x, 254, Rail); f.set(x, 255, RailShade); }
    }
    for (int y = 0; y < InfieldH; ++y) {
        if (y > 252 && y < 256) continue;
        f.set(0, y, Rail); f.set(1, y, Rail); f.set(2, y, RailShade);
        f.set(413, y, Rail); f.set(414, y, Rail); f.set(415, y, RailShade);
    }
    for (int k = 0; k < 2; ++k) {   // gate posts either side of the gap
        int x = k ? 228 : 183;
        fillRect(f, x, 244, x + 4, 255, 0x2A1C1C);
        fillRect(f, x + 1, 245, x + 3, 255, Rail);
        f.set(x + 3, 250, RailShade);
    }

    // Order board: six black boxes under the numerals I..VI.
    constexpr uint32_t Panel = 0x2E3448;
    for (int x = 100; x <= 310; x += 210) {   // legs
        fillRect(f, x, 118, x + 5, 130, 0x2A1C1C);
        fillRect(f, x + 1, 118, x + 4, 129, 0x8A8A9A);
        fillRect(f, x + 6, 122, x + 8, 131, GroundDark);
    }
    fillRect(f, 84, 30, 336, 121, GroundDark);   // shadow to the bottom right
    fillRect(f, 80, 26, 332, 117, 0x14182A);
    fillRect(f, 81, 27, 331, 116, Panel);
    for (int x = 81; x <= 331; ++x) { f.set(x, 27, 0x6A7498); f.set(x, 116, 0x1A1E2C); }
    for (int y = 27; y <= 116; ++y) { f.set(81, y, 0x6A7498); f.set(331, y, 0x1A1E2C); }
    drawTextCentred(f, 206, 30, "着　順", 16, 0xE8ECF8, Ink::Smooth, 1);
    static const char* const numeral[6] = {"I", "II", "III", "IV", "V", "VI"};
    for (int k = 0; k < 6; ++k) {
        int bx = 90 + 40 * k;
        drawTextCentred(f, bx + 17, 52, numeral[k], 18, 0xFFD84A, Ink::Smooth, 1);
        fillRect(f, bx, 74, bx + 34, 108, 0x000000);
        bevel(f, bx, 74, bx + 34, 108, 0x10141E, 0x8088A8);
    }

    // The entrance itself: its shadow, then the same picture the cover lays over the mice.
    fillRect(f, CoverAtX + 4, CoverAtY + CoverH, CoverAtX + CoverW + 2, CoverAtY + CoverH + 3, 0x5E4428);
    fillRect(f, CoverAtX + CoverW, CoverAtY + 6, CoverAtX + CoverW + 2, CoverAtY + 11, 0x5E4428);
    blit(f, CoverAtX, CoverAtY, cover, 1, true);
    blit(im, InfieldX, InfieldY, f);
}

}  // namespace

Image paintSheet() {
    Image im(Width, Height, Key);
    paintTurf(im, TurfX);
    paintDirt(im, DirtX);
    paintBoard(im);
    paintRunners(im);
    paintPost(im);
    Image cover = paintCover();
    paintInfield(im, cover);
    blit(im, CoverX, CoverY, cover);
    return im;
}
