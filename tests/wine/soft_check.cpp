// Checks of the software window system and the headless platform in the Windows build
// (the ground pellrun-sim.exe stands on), run under Wine by run.sh: files keep their
// bytes, pixel blocks come and go through the aligned heap, GDI glyphs land only in
// their area and only in the text colour, and the virtual calendar is right.
// Prints "PASS"/"FAIL" lines; the exit code is the number of failures.
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/soft/soft.h"

namespace {

int failed;

void check(bool ok, const char* name, const char* detail = "") {
    if (!ok) ++failed;
    std::printf("%s soft: %s%s%s\n", ok ? "PASS" : "FAIL", name, ok || !*detail ? "" : ": ",
                ok ? "" : detail);
}

void checkFiles() {
    // Newlines, a carriage return and the old end-of-file byte pass untranslated.
    const char bytes[] = {'a', '\n', 'b', '\r', '\n', 0x1A, 'c', 0};
    FileHandle f = platFileOpen("soft-check.bin", FileCreateAlways);
    uint32_t done = 0;
    bool ok = f && platFileWrite(f, bytes, sizeof bytes, &done) == 1 && done == sizeof bytes;
    if (f) platFileClose(f);
    f = platFileOpen("soft-check.bin", FileOpenExisting);
    char back[16] = {};
    ok = ok && f && platFileSize(f) == sizeof bytes && platFileSeek(f, 0, true) == 8 &&
         platFileSeek(f, 0, false) == 0 && platFileRead(f, back, sizeof back, &done) == 1 &&
         done == sizeof bytes && std::memcmp(back, bytes, sizeof bytes) == 0;
    if (f) platFileClose(f);
    check(ok, "files keep their bytes exactly");
    char directory[300];
    check(platCurrentDirectory(directory, sizeof directory) > 2, "the current directory",
          directory);
}

// A pixel block of our own with guard bytes on both sides, selected into a DC.
struct Canvas {
    std::vector<uint8_t> memory;
    SoftObject object;
    DcHandle dc;
    static constexpr size_t Guard = 256;

    Canvas(int32_t width, int32_t height, uint8_t fill) {
        int32_t stride = (width * 3 + 3) & ~3;
        memory.assign(Guard * 2 + size_t(stride) * height, 0xA5);
        std::memset(memory.data() + Guard, fill, size_t(stride) * height);
        object = SoftObject();
        object.kind = SoftBitmapObject;
        object.bitmap = {memory.data() + Guard, width, height, stride};
        object.stock = true;
        dc = platCreateCompatibleDC(nullptr);
        platSelectObject(dc, reinterpret_cast<ObjectHandle>(&object));
    }
    ~Canvas() { platDeleteDC(dc); }
    const uint8_t* pixel(int32_t x, int32_t y) const {
        const SoftBitmap& b = object.bitmap;
        return b.bits + size_t(b.height - 1 - y) * b.stride + size_t(x) * 3;
    }
    bool guardsIntact() const {
        for (size_t i = 0; i < Guard; ++i)
            if (memory[i] != 0xA5 || memory[memory.size() - 1 - i] != 0xA5) return false;
        return true;
    }
    // Counts pixels that differ from the fill inside and outside a rectangle, and
    // those that differ but are not exactly the colour.
    void count(uint8_t fill, const uint8_t colour[3], int32_t left, int32_t top, int32_t right,
               int32_t bottom, int& inside, int& outside, int& wrong) const {
        inside = outside = wrong = 0;
        for (int32_t y = 0; y < object.bitmap.height; ++y)
            for (int32_t x = 0; x < object.bitmap.width; ++x) {
                const uint8_t* p = pixel(x, y);
                if (p[0] == fill && p[1] == fill && p[2] == fill) continue;
                if (std::memcmp(p, colour, 3) != 0) ++wrong;
                (x >= left && x < right && y >= top && y < bottom ? inside : outside)++;
            }
    }
};

void checkBitmaps() {
    BitmapInfo info = {};
    info.header = {40, 333, 77, 1, 24, 0, 0, 0, 0, 0, 0};
    uint8_t* bits = nullptr;
    ObjectHandle dib = platCreateDIBSection(nullptr, info, &bits);
    check(dib && bits && reinterpret_cast<uintptr_t>(bits) % 64 == 0 && bits[0] == 0,
          "a DIB section is zeroed and 64-byte aligned");
    platDeleteObject(dib);
    platDeleteObject(platLoadBitmap(101));
    // The window's picture is freed by the reset.
    platRegisterClass("SoftCheck", platDefWindowProc, 0);
    WindowHandle window = platCreateWindow("SoftCheck", "", 0, 0, 0, 64, 48, nullptr, 0);
    softReset();
    check(window != nullptr, "pixel blocks are freed through the aligned heap (no crash)");
}

void checkText() {
    const uint8_t white[3] = {255, 255, 255};
    const uint8_t gold[3] = {0xF0, 0xC0, 0x10};  // COLORREF 0xF0C010 as blue, green, red
    int inside, outside, wrong;
    // "A", katakana "ア", "1": four bytes, four cells of the stock 8 x 16 font.
    const char* text = "A\x83\x41" "1";
    {
        Canvas canvas(200, 60, 0);
        platSetTextColor(canvas.dc, 0xFFFFFF);
        platTextOut(canvas.dc, 50, 10, text, 4);
        canvas.count(0, white, 50, 10, 50 + 4 * 8, 10 + 16, inside, outside, wrong);
        char detail[96];
        std::snprintf(detail, sizeof detail, "inside %d outside %d wrong %d", inside, outside, wrong);
        check(inside > 40 && outside == 0 && wrong == 0,
              "the stock font's glyphs fill their cells in the text colour only", detail);
    }
    {
        // A requested 24-pixel face on a grey background that must show through.
        Canvas canvas(200, 60, 0x80);
        FontRequest request = {24, 12, 0, 0, 400, 128, {}};
        ObjectHandle font = platCreateFont(request);
        platSelectObject(canvas.dc, font);
        platSetTextColor(canvas.dc, 0xF0C010);
        platSetBkMode(canvas.dc, BkTransparent);
        platTextOut(canvas.dc, 20, 30, text, 4);
        canvas.count(0x80, gold, 20, 30, 20 + 4 * 12, 30 + 24, inside, outside, wrong);
        char detail[96];
        std::snprintf(detail, sizeof detail, "inside %d outside %d wrong %d", inside, outside, wrong);
        // Strokes cover part of a cell, never all of it: the rest is background.
        check(inside > 80 && inside < 4 * 12 * 24 / 2 && outside == 0 && wrong == 0,
              "a requested font draws in its cells and leaves the background", detail);

        // The same text again after another font gives the same pixels.
        std::vector<uint8_t> first(canvas.memory);
        std::memset(canvas.memory.data() + Canvas::Guard, 0x80,
                    canvas.memory.size() - 2 * Canvas::Guard);
        FontRequest small = {12, 6, 0, 0, 400, 128, {}};
        ObjectHandle other = platCreateFont(small);
        platSelectObject(canvas.dc, other);
        platTextOut(canvas.dc, 0, 0, "x", 1);
        std::memset(canvas.memory.data() + Canvas::Guard, 0x80,
                    canvas.memory.size() - 2 * Canvas::Guard);
        platSelectObject(canvas.dc, font);
        platTextOut(canvas.dc, 20, 30, text, 4);
        check(canvas.memory == first, "switching fonts and back draws the same glyphs");
        platDeleteObject(other);
        platDeleteObject(font);
    }
    {
        // Text hanging over every edge is cut at the bitmap.
        Canvas canvas(30, 20, 0);
        FontRequest request = {24, 12, 0, 0, 400, 128, {}};
        ObjectHandle font = platCreateFont(request);
        platSelectObject(canvas.dc, font);
        platSetTextColor(canvas.dc, 0xFFFFFF);
        const char* wide = "\x83\x41\x83\x41\x83\x41";
        platTextOut(canvas.dc, -7, -9, wide, 6);
        platTextOut(canvas.dc, 20, 10, wide, 6);
        platTextOut(canvas.dc, -5000, 5, wide, 6);
        platTextOut(canvas.dc, 5, 5000, wide, 6);
        canvas.count(0, white, 0, 0, 30, 20, inside, outside, wrong);
        check(canvas.guardsIntact() && inside > 0 && wrong == 0,
              "text over the edges is cut at the bitmap");

        // What is left of text hanging off the top left is that text, shifted.
        Canvas whole(60, 40, 0), cut(60, 40, 0);
        for (Canvas* c : {&whole, &cut}) {
            platSelectObject(c->dc, font);
            platSetTextColor(c->dc, 0xFFFFFF);
        }
        platTextOut(whole.dc, 20, 15, wide, 6);
        platTextOut(cut.dc, -7, -9, wide, 6);
        bool same = true;
        for (int32_t y = 0; y + 24 < 40; ++y)
            for (int32_t x = 0; x + 27 < 60; ++x)
                same = same && std::memcmp(cut.pixel(x, y), whole.pixel(x + 27, y + 24), 3) == 0;
        check(same, "text cut at the top left keeps its place");
        platDeleteObject(font);
    }
}

void checkCalendar() {
    HeadlessConfig config;
    config.startTime = {2026, 12, 0, 31, 23, 59, 59, 500};
    headlessReset(config);
    LocalTime t;
    platLocalTime(t);
    bool before = t.year == 2026 && t.month == 12 && t.day == 31 && t.dayOfWeek == 4 &&
                  t.second == 59 && t.milliseconds == 500;
    platSleep(600);
    platLocalTime(t);
    bool after = t.year == 2027 && t.month == 1 && t.day == 1 && t.dayOfWeek == 5 &&
                 t.hour == 0 && t.minute == 0 && t.second == 0 && t.milliseconds == 100;
    check(before && after && platCalendarSeconds() == 1798761599,
          "the virtual calendar crosses the new year");
}

}  // namespace

int main() {
    checkFiles();
    checkBitmaps();
    checkText();
    checkCalendar();
    return failed;
}
