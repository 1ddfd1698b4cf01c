// Bitmap 107, the settings sheet: the picture with its five groups of round buttons, the
// hit map that names each button by a flat colour, and the selection marker. Also icon 108.
#include "mouse.h"
#include "pictures.h"
#include "text.h"

namespace {

constexpr int PicW = 448, PicH = 320, MapX = 448, MarkerX = 896;
constexpr uint32_t Back = 0xD6D4CE, Etch = 0x9C9A94, EtchHi = 0xFFFFFF, Label = 0x202020;

struct Group {
    const char* label;
    const char* buttons[5];
    int count, firstX, step, y, mapColour;
    int boxX0, boxX1;
};

// Button k of a group covers x firstX + step·k .. +15 and y .. y + 16; the program finds it
// again from the click's x as (x − (firstX − 4)) / step.
const Group groups[5] = {
    {"ゲーム速度", {"1", "2", "3", "4", "5"}, 5, 22, 25, 148, 0xFF0000, 8, 152},
    {"レース間隔", {"1分", "2分", "3分"}, 3, 180, 46, 148, 0x0000FF, 164, 304},
    {"音楽", {"ON", "OFF"}, 2, 340, 55, 148, 0xFFFF00, 316, 434},
    {"フルスクリーン", {"ON", "OFF"}, 2, 112, 55, 238, 0xFFFFFF, 90, 206},
    {"アンチエイリアス", {"ON", "OFF"}, 2, 248, 55, 238, 0x808080, 220, 346},
};

bool inButton(int x, int y, int bx, int by) { return inEllipse(x, y, bx, by, bx + 15, by + 16); }

void paintButton(Image& im, int bx, int by) {
    // Drop shadow to the bottom right, then the blue ball with a dark rim.
    for (int y = by; y <= by + 18; ++y)
        for (int x = bx; x <= bx + 17; ++x)
            if (!inButton(x, y, bx, by) && inButton(x - 1, y - 1, bx, by)) im.set(x, y, 0xA8A6A0);
    for (int y = by; y <= by + 16; ++y)
        for (int x = bx; x <= bx + 15; ++x) {
            if (!inButton(x, y, bx, by)) continue;
            bool rim = !inButton(x - 1, y, bx, by) || !inButton(x + 1, y, bx, by) || !inButton(x, y - 1, bx, by) ||
                       !inButton(x, y + 1, bx, by);
            int u = 2 * (x - bx) - 15, v = 2 * (y - by) - 16;   // from the centre, in half pixels
            int s = u * 5 + v * 8;
            uint32_t c = rim ? 0x102070 : s < -90 ? 0x80A8FF : s > 70 ? 0x1830A0 : 0x2850E0;
            if (!rim && (u + 6) * (u + 6) + (v + 7) * (v + 7) < 12) c = 0xA8C4FF;
            im.set(x, y, c);
        }
}

void etchedBox(Image& im, int x0, int y0, int x1, int y1, const char* label) {
    int tw = textWidth(label, 14);
    int cx = (x0 + x1) / 2, gap0 = cx - tw / 2 - 4, gap1 = cx + tw / 2 + 4;
    for (int x = x0; x <= x1; ++x) {
        if (x < gap0 || x > gap1) { im.set(x, y0, Etch); im.set(x, y0 + 1, EtchHi); }
        im.set(x, y1, Etch); im.set(x, y1 + 1, EtchHi);
    }
    for (int y = y0; y <= y1; ++y) { im.set(x0, y, Etch); im.set(x0 + 1, y, EtchHi); im.set(x1, y, Etch); im.set(x1 + 1, y, EtchHi); }
    drawTextCentred(im, cx, y0 - 8, label, 14, Label, Ink::Smooth);
}

void paintTitle(Image& im) {
    // "Pellrun" in red lettering with a dark red edge and a soft shadow.
    drawTitle(im, 20, 6, "Pellrun", 54, TitleStyle{0xFF4838, 0xC01010, 0x5A0808, 0xA8A49C, 2, 3, 1});
    drawText(im, 26, 76, "スクリーンセーバー 設定", 16, 0x505050, Ink::Smooth);
}

void paintEmblem(Image& im) {
    // A grey badge with the mouse's face and the letters XP.
    const int x0 = 344, y0 = 6, d = 88;
    fillEllipse(im, x0 + 3, y0 + 3, x0 + d + 2, y0 + d + 2, 0xB0AEA8);
    fillEllipse(im, x0, y0, x0 + d - 1, y0 + d - 1, 0x505058);
    shadedEllipse(im, x0 + 2, y0 + 2, x0 + d - 3, y0 + d - 3, 0xF4F4F8, 0xD0D0D8, 0xA8A8B4);
    Image face(32, 32, Key);
    paintMouse(face, 0, 0, View::Head, 0, greyLook());
    blit(im, x0 + 12, y0 + 6, face, 2, true);
    drawTitle(im, x0 + 50, y0 + 54, "XP", 24, TitleStyle{0xFF4838, 0xC01010, 0xFFFFFF, 0x606068, 2, 1, 1});
}

void paintMarker(Image& im) {
    // A red ball, hard edged on the key colour; it covers a 16 x 17 button with a margin.
    clearRect(im, MarkerX, 0, MarkerX + 23, 22);
    const int bx0 = 1, by0 = 0, bx1 = 22, by1 = 22;
    for (int y = by0; y <= by1; ++y)
        for (int x = bx0; x <= bx1; ++x) {
            if (!inEllipse(x, y, bx0, by0, bx1, by1)) continue;
            bool rim = !inEllipse(x - 1, y, bx0, by0, bx1, by1) || !inEllipse(x + 1, y, bx0, by0, bx1, by1) ||
                       !inEllipse(x, y - 1, bx0, by0, bx1, by1) || !inEllipse(x, y + 1, bx0, by0, bx1, by1);
            int u = 2 * x - 23, v = 2 * y - 22, s = u * 5 + v * 8;
            uint32_t c = rim ? 0x600808 : s < -150 ? 0xFF8878 : s > 120 ? 0xA01010 : 0xE42020;
            if (!rim && (u + 9) * (u + 9) + (v + 10) * (v + 10) < 26) c = 0xFFE4DC;
            im.set(MarkerX + x, y, c);
        }
}

}  // namespace

Image paintSettings() {
    Image im(920, 320, Key);
    fillRect(im, 0, 0, PicW - 1, PicH - 1, Back);
    fillRect(im, MapX, 0, MapX + PicW - 1, PicH - 1, 0x000000);
    paintTitle(im);
    paintEmblem(im);
    for (const Group& g : groups) {
        etchedBox(im, g.boxX0, g.y - 24, g.boxX1, g.y + 36, g.label);
        for (int k = 0; k < g.count; ++k) {
            int bx = g.firstX + g.step * k;
            paintButton(im, bx, g.y);
            drawTextCentred(im, bx + 8, g.y + 19, g.buttons[k], 12, Label, Ink::Smooth);
            for (int y = g.y; y <= g.y + 16; ++y)
                for (int x = bx; x <= bx + 15; ++x)
                    if (inButton(x, y, bx, g.y)) im.set(MapX + x, y, uint32_t(g.mapColour));
        }
    }
    paintMarker(im);
    return im;
}

Image paintIcon(int size) {
    Image im(size, size, Key);
    if (size == 32) {
        paintMouse(im, 0, 0, View::Head, 0, greyLook());
        return im;
    }
    static const char* const small[16] = {
        "..ooo......ooo..", ".ohhpo....ohhpo.", "ohpppo....ohpppo", "ohpppfoooohpppfo",
        "ofpppfhhhhfpppdo", ".ofpfhhhhhhfpdo.", "..ofhhhhhhhffo..", ".ofhhhhhhhhfffo.",
        ".ofhwefhhfwefdo.", ".ofheeffffeefdo.", ".offfffffffffdo.", "..offffppffffo..",
        "...offfppffdo...", "....offffffo....", ".....oooooo.....", "................",
    };
    drawGrid(im, 0, 0, small, 16, "o=2A1C1C h=E4E4EC f=A8A8B4 d=6C6C7C p=F0A0A8 e=100808 w=FFFFFF");
    return im;
}
