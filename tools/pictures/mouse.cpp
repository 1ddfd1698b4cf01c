#include "mouse.h"

#include <cstdio>
#include <functional>

namespace {

constexpr uint32_t Outline = 0x2A1C1C;   // silhouette against the track
constexpr uint32_t Inner = 0x4E3A36;     // line between overlapping parts
constexpr uint32_t Pink = 0xF0A0A8, PinkLo = 0xB86070;
constexpr uint32_t Eye = 0x100808, Glint = 0xFFFFFF;

// The cell being painted: colour and which part (0 = empty) owns each pixel.
struct Cell {
    uint32_t c[32][32];
    int owner[32][32] = {};
    int parts = 0;
    bool flip = false;   // geometry is written facing left and mirrored when true
};

using Mask = std::function<bool(int, int)>;        // final coordinates
using Paint = std::function<uint32_t(int, int)>;   // final coordinates

// Adds a part in front of what is there: its outline first (on empty pixels, and on the
// parts behind it as a softer inner line), then its own pixels.
void addPart(Cell& cell, const Mask& in, const Paint& paint, bool outline = true) {
    int id = ++cell.parts;
    bool m[32][32];
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) m[y][x] = in(x, y);
    if (outline) {
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                if (m[y][x]) continue;
                bool edge = (x > 0 && m[y][x - 1]) || (x < 31 && m[y][x + 1]) || (y > 0 && m[y - 1][x]) ||
                            (y < 31 && m[y + 1][x]);
                if (!edge) continue;
                if (cell.owner[y][x] == 0) { cell.c[y][x] = Outline; cell.owner[y][x] = -id; }
                else if (cell.owner[y][x] > 0) { cell.c[y][x] = Inner; cell.owner[y][x] = -id; }
            }
    }
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (m[y][x]) { cell.c[y][x] = paint(x, y); cell.owner[y][x] = id; }
}

int fx(const Cell& cell, int x) { return cell.flip ? 31 - x : x; }

// An ellipse given in left-facing coordinates.
Mask ellipse(const Cell& cell, int x0, int y0, int x1, int y1) {
    int a = fx(cell, x0), b = fx(cell, x1);
    if (a > b) std::swap(a, b);
    return [=](int x, int y) { return inEllipse(x, y, a, y0, b, y1); };
}

// Lit from the top left in final coordinates, whatever the facing.
Paint lit(const Cell& cell, int x0, int y0, int x1, int y1, uint32_t hi, uint32_t mid, uint32_t lo) {
    int a = fx(cell, x0), b = fx(cell, x1);
    if (a > b) std::swap(a, b);
    int w = b - a + 1, h = y1 - y0 + 1;
    return [=](int x, int y) {
        int u = (2 * x + 1 - (a + b + 1)) * 100 / w;
        int v = (2 * y + 1 - (y0 + y1 + 1)) * 100 / h;
        int s = u * 50 + v * 85;
        return s < -3800 ? hi : s > 3600 ? lo : mid;
    };
}

Paint flat(uint32_t c) { return [=](int, int) { return c; }; }

// A limb: the pixels within about one pixel of the segment, in left-facing coordinates.
Mask limb(const Cell& cell, int x0, int y0, int x1, int y1, int width100 = 125) {
    int a = fx(cell, x0), b = fx(cell, x1);
    return [=](int x, int y) {
        int64_t dx = b - a, dy = y1 - y0, px = x - a, py = y - y0;
        int64_t len2 = dx * dx + dy * dy;
        int64_t t = len2 ? (px * dx + py * dy) * 1000 / len2 : 0;
        if (t < 0) t = 0;
        if (t > 1000) t = 1000;
        int64_t qx = px * 1000 - t * dx, qy = py * 1000 - t * dy;   // thousandths of a pixel
        return qx * qx + qy * qy <= int64_t(width100) * width100 * 100;
    };
}

void setPixel(Cell& cell, int x, int y, uint32_t c) {   // left-facing coordinates
    int X = fx(cell, x);
    if (X < 0 || X > 31 || y < 0 || y > 31) return;
    cell.c[y][X] = c;
    cell.owner[y][X] = 999;
}

void tailLine(Cell& cell, const int* pts, int n) {   // 1-pixel tail through points, left-facing
    for (int i = 0; i + 1 < n; ++i) {
        Image tmp(32, 32, Key);
        line(tmp, pts[2 * i], pts[2 * i + 1], pts[2 * i + 2], pts[2 * i + 3], PinkLo);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                if (tmp.get(x, y) != Key) setPixel(cell, x, y, PinkLo);
    }
}

void paintSide(Cell& cell, int frame, bool sprint, const MouseLook& k) {
    int bob = frame == 0 ? 1 : 0;
    // Body and head placement: the sprint is longer, lower and leans forward.
    int bx0 = sprint ? 9 : 10, bx1 = 27, by0 = (sprint ? 16 : 14) + bob, by1 = 25 + bob;
    int hx0 = 3, hy0 = (sprint ? 14 : 11) + bob;

    // Tail, behind everything, waving with the stride.
    if (sprint) {
        int t[] = {26, 22 + bob, 28, 21 + bob, 30, frame ? 22 : 19};
        tailLine(cell, t, 3);
    } else {
        int t[] = {26, 22 + bob, 28, 20 + bob, 30, frame ? 20 : 16};
        tailLine(cell, t, 3);
    }

    // Legs: stretched fore and aft in frame 0, gathered under the belly in frame 1.
    struct Leg { int x0, y0, x1, y1; };
    Leg farF, farH, nearF, nearH;
    if (frame == 0) {
        farF = sprint ? Leg{12, 24, 6, 27} : Leg{13, 24, 7, 27};
        farH = sprint ? Leg{24, 24, 28, 26} : Leg{23, 24, 27, 27};
        nearF = sprint ? Leg{13, 24, 4, 27} : Leg{14, 24, 5, 28};
        nearH = sprint ? Leg{23, 24, 28, 28} : Leg{22, 24, 28, 28};
    } else {
        farF = Leg{14, 24, 18, 28};
        farH = Leg{23, 24, 21, 28};
        nearF = Leg{13, 24, 16, 29};
        nearH = Leg{22, 24, 19, 29};
    }
    auto leg = [&](const Leg& l, bool nearSide) {
        addPart(cell, limb(cell, l.x0, l.y0, l.x1, l.y1, 95), flat(nearSide ? k.fur : k.furLo));
        addPart(cell, ellipse(cell, l.x1 - 2, l.y1 - 1, l.x1, l.y1), flat(nearSide ? Pink : PinkLo));
    };
    leg(farH, false);
    leg(farF, false);

    // Body, haunch, then the saddle cloth laid over the back.
    addPart(cell, ellipse(cell, bx0, by0, bx1, by1), lit(cell, bx0, by0, bx1, by1, k.furHi, k.fur, k.furLo));
    addPart(cell, ellipse(cell, bx1 - 7, by0 + 3, bx1, by1), lit(cell, bx1 - 7, by0 + 1, bx1, by1, k.furHi, k.fur, k.furLo));
    if (k.cloth) {
        Mask body = ellipse(cell, bx0, by0, bx1, by1);
        int c0 = bx0 + 4, c1 = bx0 + 13, cy1 = by0 + 7;
        int a = fx(cell, c0), b = fx(cell, c1);
        if (a > b) std::swap(a, b);
        addPart(cell, [=](int x, int y) { return body(x, y) && x >= a && x <= b && y <= cy1; },
                lit(cell, c0, by0, c1, cy1 + 4, k.clothHi, k.clothHi, k.clothLo));
        if (k.post > 0) {
            Image tmp(32, 32, Key);
            drawTinyDigit(tmp, (a + b) / 2 - 1, by0 + 2, k.post, k.number);
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x)
                    if (tmp.get(x, y) != Key) { cell.c[y][x] = k.number; cell.owner[y][x] = 999; }
        }
    }
    leg(nearH, true);
    leg(nearF, true);

    // Ear behind the head: round and upright, laid back in the sprint.
    int ex0 = sprint ? 10 : 9, ey0 = (sprint ? 11 : 6) + bob, ex1 = sprint ? 17 : 15, ey1 = (sprint ? 16 : 12) + bob;
    addPart(cell, ellipse(cell, ex0, ey0, ex1, ey1), lit(cell, ex0, ey0, ex1, ey1, k.furHi, k.fur, k.furLo));
    addPart(cell, ellipse(cell, ex0 + 2, ey0 + 2, ex1 - 1, ey1 - 1), flat(Pink), false);

    // Head with its pointed snout, the eye and the pink nose.
    Mask head = ellipse(cell, hx0 + 2, hy0, hx0 + 11, hy0 + 9);
    Mask snout = ellipse(cell, hx0, hy0 + 4, hx0 + 7, hy0 + 8);
    addPart(cell, [=](int x, int y) { return head(x, y) || snout(x, y); },
            lit(cell, hx0, hy0, hx0 + 11, hy0 + 9, k.furHi, k.fur, k.furLo));
    addPart(cell, ellipse(cell, hx0 - 1, hy0 + 5, hx0 + 1, hy0 + 7), flat(Pink));
    int eyeX = hx0 + 4, eyeY = hy0 + 3;
    if (sprint) {   // narrowed, determined eye under a frown
        setPixel(cell, eyeX, eyeY + 1, Eye); setPixel(cell, eyeX + 1, eyeY + 1, Eye);
        setPixel(cell, eyeX - 1, eyeY - 1, Inner); setPixel(cell, eyeX, eyeY, Inner); setPixel(cell, eyeX + 1, eyeY, Inner);
    } else {
        for (int j = 0; j < 2; ++j)
            for (int i = 0; i < 2; ++i) setPixel(cell, eyeX + i, eyeY + j, Eye);
        setPixel(cell, cell.flip ? eyeX + 1 : eyeX, eyeY, Glint);
    }
    setPixel(cell, hx0 + 3, hy0 + 8, Inner);   // mouth

    if (sprint) {   // speed streaks behind
        for (int x = 27; x <= 30; ++x) setPixel(cell, x, 12 + bob, 0xF0F4FF);
        for (int x = 28; x <= 30; ++x) setPixel(cell, x, 15 + bob, 0xD0DCF0);
    }
}

void paintFront(Cell& cell, int frame, const MouseLook& k) {
    // Body behind the head, its shoulders showing the cloth.
    int bob = frame == 2 ? 0 : 1;
    Mask bodyIn = ellipse(cell, 7, 12 + bob, 24, 27);
    Paint bodyLit = lit(cell, 7, 12, 24, 27, k.furHi, k.fur, k.furLo);
    Paint clothLit = lit(cell, 7, 12, 24, 24, k.clothHi, k.clothHi, k.clothLo);
    addPart(cell, bodyIn, [=](int x, int y) { return k.cloth && y <= 21 + bob ? clothLit(x, y) : bodyLit(x, y); });

    // Hind feet at the sides and the front legs, one reaching down while the other lifts.
    bool leftDown = frame != 1;
    bool rightDown = frame != 0;
    addPart(cell, ellipse(cell, 6, 25, 9, 27 + (frame == 2)), flat(Pink));
    addPart(cell, ellipse(cell, 22, 25, 25, 27 + (frame == 2)), flat(Pink));
    int ly = leftDown ? 28 : 24, ry = rightDown ? 28 : 24;
    addPart(cell, limb(cell, 12, 20, 11, ly - 1), flat(k.fur));
    addPart(cell, ellipse(cell, 10, ly - 1, 13, ly), flat(Pink));
    addPart(cell, limb(cell, 19, 20, 20, ry - 1), flat(k.fur));
    addPart(cell, ellipse(cell, 18, ry - 1, 21, ry), flat(Pink));

    // Ears, then the head over them.
    int hb = bob;
    addPart(cell, ellipse(cell, 2, 3 + hb, 11, 12 + hb), lit(cell, 2, 3, 11, 12, k.furHi, k.fur, k.furLo));
    addPart(cell, ellipse(cell, 4, 5 + hb, 9, 10 + hb), flat(Pink), false);
    addPart(cell, ellipse(cell, 20, 3 + hb, 29, 12 + hb), lit(cell, 20, 3, 29, 12, k.furHi, k.fur, k.furLo));
    addPart(cell, ellipse(cell, 22, 5 + hb, 27, 10 + hb), flat(Pink), false);
    addPart(cell, ellipse(cell, 8, 7 + hb, 23, 21 + hb), lit(cell, 8, 7, 23, 21 + hb, k.furHi, k.fur, k.furLo));
    // Muzzle, eyes with glints to the top left, nose.
    Mask muzzle = ellipse(cell, 11, 14 + hb, 20, 21 + hb);
    addPart(cell, muzzle, flat(k.furHi), false);
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i) { setPixel(cell, 11 + i, 11 + hb + j, Eye); setPixel(cell, 19 + i, 11 + hb + j, Eye); }
    setPixel(cell, 11, 11 + hb, Glint);
    setPixel(cell, 19, 11 + hb, Glint);
    addPart(cell, ellipse(cell, 14, 15 + hb, 17, 17 + hb), flat(Pink), false);
    setPixel(cell, 15, 18 + hb, Inner); setPixel(cell, 16, 18 + hb, Inner);
    setPixel(cell, 14, 19 + hb, Inner); setPixel(cell, 17, 19 + hb, Inner);
}

void paintBack(Cell& cell, int frame, const MouseLook& k) {
    // Tail first: it hangs below the body and swings with the stride.
    int t[] = {15, 26, frame ? 13 : 18, 30};
    tailLine(cell, t, 2);
    // Hind feet: the one pushing off shows its pink sole, the other is tucked up.
    int ly = frame == 0 ? 28 : 24, ry = frame == 0 ? 24 : 28;
    addPart(cell, ellipse(cell, 7, ly - 2, 11, ly), flat(ly == 28 ? Pink : k.furLo));
    addPart(cell, ellipse(cell, 20, ry - 2, 24, ry), flat(ry == 28 ? Pink : k.furLo));
    // Head and ears beyond the body (seen from behind the ears are fur all over).
    addPart(cell, ellipse(cell, 4, 2, 12, 10), lit(cell, 4, 2, 12, 10, k.furHi, k.fur, k.furLo));
    addPart(cell, ellipse(cell, 19, 2, 27, 10), lit(cell, 19, 2, 27, 10, k.furHi, k.fur, k.furLo));
    addPart(cell, ellipse(cell, 9, 4, 22, 14), lit(cell, 9, 4, 22, 14, k.furHi, k.fur, k.furLo));
    // Body, nearer to us, with the cloth across the back.
    int by0 = 10 + (frame == 0), by1 = 27;
    addPart(cell, ellipse(cell, 7, by0, 24, by1), lit(cell, 7, by0, 24, by1, k.furHi, k.fur, k.furLo));
    if (k.cloth) {
        Mask body = ellipse(cell, 7, by0, 24, by1);
        addPart(cell, [=](int x, int y) { return body(x, y) && x >= 10 && x <= 21 && y >= by0 + 3 && y <= by0 + 11; },
                lit(cell, 10, by0 + 3, 21, by0 + 11, k.clothHi, k.clothHi, k.clothLo));
        if (k.post > 0) {
            Image tmp(32, 32, Key);
            drawTinyDigit(tmp, 14, by0 + 5, k.post, k.number);
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x)
                    if (tmp.get(x, y) != Key) cell.c[y][x] = k.number;
        }
    }
}

void paintHead(Cell& cell, const MouseLook& k) {
    addPart(cell, ellipse(cell, 1, 1, 12, 12), lit(cell, 1, 1, 12, 12, k.furHi, k.fur, k.furLo));
    addPart(cell, ellipse(cell, 3, 3, 10, 10), flat(Pink), false);
    addPart(cell, ellipse(cell, 19, 1, 30, 12), lit(cell, 19, 1, 30, 12, k.furHi, k.fur, k.furLo));
    addPart(cell, ellipse(cell, 21, 3, 28, 10), flat(Pink), false);
    addPart(cell, ellipse(cell, 5, 8, 26, 29), lit(cell, 5, 8, 26, 29, k.furHi, k.fur, k.furLo));
    addPart(cell, ellipse(cell, 10, 18, 21, 28), flat(k.furHi), false);
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) { setPixel(cell, 10 + i, 14 + j, Eye); setPixel(cell, 19 + i, 14 + j, Eye); }
    setPixel(cell, 10, 14, Glint); setPixel(cell, 19, 14, Glint);
    addPart(cell, ellipse(cell, 14, 19, 17, 21), flat(Pink), false);
    setPixel(cell, 15, 22, Inner); setPixel(cell, 16, 22, Inner);
    setPixel(cell, 14, 23, Inner); setPixel(cell, 17, 23, Inner);
}

}  // namespace

MouseLook runnerLook(int post) {
    static const uint32_t cloth[6][3] = {
        {0xFCFCFC, 0xC4C8D4, 0x101010}, {0x303038, 0x14141C, 0xFFFFFF}, {0xF03028, 0xA81810, 0xFFFFFF},
        {0x3050F8, 0x1828A8, 0xFFFFFF}, {0xFFE830, 0xC8A000, 0x101010}, {0x30C040, 0x188028, 0x101010},
    };
    const uint32_t* c = cloth[(post - 1) % 6];
    return MouseLook{0xECDCC8, 0xC2AA92, 0x8A6E5E, true, c[0], c[1], c[2], post};
}

MouseLook greyLook() { return MouseLook{0xE4E4EC, 0xA8A8B4, 0x6C6C7C, false, 0, 0, 0, 0}; }

void paintMouse(Image& im, int ox, int oy, View view, int frame, const MouseLook& look) {
    Cell cell;
    cell.flip = view == View::Right || view == View::Sprint;
    switch (view) {
    case View::Left:
    case View::Right: paintSide(cell, frame, false, look); break;
    case View::Sprint: paintSide(cell, frame, true, look); break;
    case View::Front: paintFront(cell, frame, look); break;
    case View::Back: paintBack(cell, frame, look); break;
    case View::Head: paintHead(cell, look); break;
    }
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            if (cell.owner[y][x] == 0) im.clear(ox + x, oy + y);
            else im.set(ox + x, oy + y, cell.c[y][x]);
        }
}

void drawTinyDigit(Image& im, int x, int y, int digit, uint32_t c) {
    static const char* const glyphs[10][5] = {
        {"###", "#.#", "#.#", "#.#", "###"}, {".#.", "##.", ".#.", ".#.", "###"},
        {"##.", "..#", ".#.", "#..", "###"}, {"##.", "..#", ".#.", "..#", "##."},
        {"#.#", "#.#", "###", "..#", "..#"}, {"###", "#..", "##.", "..#", "##."},
        {".##", "#..", "###", "#.#", "###"}, {"###", "..#", ".#.", ".#.", ".#."},
        {"###", "#.#", "###", "#.#", "###"}, {"###", "#.#", "###", "..#", "##."},
    };
    char pal[16];
    std::snprintf(pal, sizeof pal, "#=%06X", unsigned(c));
    drawGrid(im, x, y, glyphs[digit % 10], 5, pal);
}
