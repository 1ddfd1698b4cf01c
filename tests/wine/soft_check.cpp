// The software window system and the headless platform in the Windows build (what
// pellrun-sim.exe stands on), run under Wine by run.sh. Prints "PASS"/"FAIL" lines; the
// exit code is the number of failures.
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/soft/soft.h"

namespace {

int failed;

void check(bool ok, const char* name, const char* detail = "") {
    failed += !ok;
    std::printf("%s soft: %s%s%s\n", ok ? "PASS" : "FAIL", name, ok ? "" : " ", ok ? "" : detail);
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
    char directory[300];
    check(ok && platCurrentDirectory(directory, sizeof directory) > 2,
          "files keep their bytes exactly; the current directory", directory);
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
    bool aligned = dib && bits && reinterpret_cast<uintptr_t>(bits) % 64 == 0 && bits[0] == 0;
    platDeleteObject(dib);
    platDeleteObject(platLoadBitmap(101));
    // The window's picture is freed by the reset.
    platRegisterClass("SoftCheck", platDefWindowProc, 0);
    WindowHandle window = platCreateWindow("SoftCheck", "", 0, 0, 0, 64, 48, nullptr, 0);
    softReset();
    check(aligned && window != nullptr,
          "a DIB section is zeroed and 64-byte aligned; pixel blocks are freed through the "
          "aligned heap (no crash)");
}

// "A", katakana "ア", "1": four bytes, four cells; a requested face (the stock 8 x 16 one
// when no height is given) draws in its cells in the text colour only, over a background
// that shows through and cut at the bitmap's edges without touching the guards.
struct TextCase {
    const char* name;
    int32_t width, height, fontHeight, x, y;
    uint8_t fill;
    uint32_t colour;
    int minInside, maxInside;
};
const TextCase textCases[] = {
    {"the stock font", 200, 60, 0, 50, 10, 0, 0xFFFFFF, 40, 4 * 8 * 16},
    {"a requested font over a grey background", 200, 60, 24, 20, 30, 0x80, 0xF0C010, 80,
     4 * 12 * 24 / 2},
    {"text over the top left edge", 30, 20, 24, -7, -9, 0, 0xFFFFFF, 1, 30 * 20},
    {"text over the bottom right edge", 30, 20, 24, 20, 10, 0, 0xFFFFFF, 1, 30 * 20},
    {"text far off the bitmap", 30, 20, 24, -5000, 5000, 0, 0xFFFFFF, 0, 0},
};

void checkText() {
    const char* text = "A\x83\x41" "1";
    for (const TextCase& c : textCases) {
        Canvas canvas(c.width, c.height, c.fill);
        FontRequest request = {c.fontHeight, c.fontHeight / 2, 0, 0, 400, 128, {}};
        ObjectHandle font = c.fontHeight ? platCreateFont(request) : nullptr;
        if (font) platSelectObject(canvas.dc, font);
        platSetTextColor(canvas.dc, c.colour);
        platSetBkMode(canvas.dc, BkTransparent);
        platTextOut(canvas.dc, c.x, c.y, text, 4);
        const uint8_t colour[3] = {uint8_t(c.colour >> 16), uint8_t(c.colour >> 8), uint8_t(c.colour)};
        const int32_t cell = c.fontHeight ? c.fontHeight / 2 : 8, rowHeight = c.fontHeight ? c.fontHeight : 16;
        int inside, outside, wrong;
        canvas.count(c.fill, colour, c.x, c.y, c.x + 4 * cell, c.y + rowHeight, inside, outside, wrong);
        char detail[96];
        std::snprintf(detail, sizeof detail, "inside %d outside %d wrong %d", inside, outside, wrong);
        check(canvas.guardsIntact() && inside >= c.minInside && inside <= c.maxInside && outside == 0 && !wrong,
              c.name, detail);
        if (font) platDeleteObject(font);
    }

    // What is left of text hanging off the top left is that text, shifted, also after
    // another font was used in between.
    FontRequest big = {24, 12, 0, 0, 400, 128, {}}, small = {12, 6, 0, 0, 400, 128, {}};
    ObjectHandle font = platCreateFont(big), other = platCreateFont(small);
    Canvas whole(60, 40, 0), cut(60, 40, 0);
    platSetTextColor(whole.dc, 0xFFFFFF);
    platSetTextColor(cut.dc, 0xFFFFFF);
    platSelectObject(whole.dc, font);
    platTextOut(whole.dc, 20, 15, text, 4);
    platSelectObject(cut.dc, other);
    platTextOut(cut.dc, 0, 30, "x", 1);
    platSelectObject(cut.dc, font);
    platTextOut(cut.dc, -7, -9, text, 4);
    bool same = true;
    for (int32_t y = 0; y + 24 < 40; ++y)
        for (int32_t x = 0; x + 27 < 60; ++x)
            same = same && std::memcmp(cut.pixel(x, y), whole.pixel(x + 27, y + 24), 3) == 0;
    check(same, "text cut at the top left keeps its place, also after another font");
    platDeleteObject(other);
    platDeleteObject(font);
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
