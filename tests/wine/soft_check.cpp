// The software window system and the headless platform in the Windows build (what
// pellrun-sim.exe stands on), run under Wine by run.sh. Prints "PASS"/"FAIL" lines; the
// exit code is the number of failures.
#include <algorithm>
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

// Newlines, a carriage return and the old end-of-file byte pass untranslated; DIB sections
// come from the aligned heap.
void checkFilesAndBitmaps() {
    const char bytes[] = {'a', '\n', 'b', '\r', '\n', 0x1A, 'c', 0};
    char back[16] = {}, directory[300];
    uint32_t wrote = 0, read = 0;
    FileHandle f = platFileOpen("soft-check.bin", FileCreateAlways);
    if (f) platFileWrite(f, bytes, sizeof bytes, &wrote), platFileClose(f);
    f = platFileOpen("soft-check.bin", FileOpenExisting);
    bool ok = f && platFileSize(f) == sizeof bytes && platFileSeek(f, 0, true) == 8 &&
              platFileSeek(f, 0, false) == 0 && platFileRead(f, back, sizeof back, &read) == 1;
    if (f) platFileClose(f);
    check(ok && wrote == sizeof bytes && read == sizeof bytes && std::memcmp(back, bytes, sizeof bytes) == 0 &&
              platCurrentDirectory(directory, sizeof directory) > 2,
          "files keep their bytes exactly; the current directory", directory);

    BitmapInfo info = {};
    info.header = {40, 333, 77, 1, 24, 0, 0, 0, 0, 0, 0};
    uint8_t* bits = nullptr;
    ObjectHandle dib = platCreateDIBSection(nullptr, info, &bits);
    check(dib && bits && reinterpret_cast<uintptr_t>(bits) % 64 == 0 && bits[0] == 0,
          "a DIB section from the aligned heap is zeroed and 64-byte aligned");
    platDeleteObject(dib);
}

// A pixel block of our own with guard bytes on both sides, selected into a DC.
struct Canvas {
    static constexpr size_t Guard = 256;
    std::vector<uint8_t> memory;
    SoftObject object = SoftObject();
    DcHandle dc = platCreateCompatibleDC(nullptr);
    Canvas(int32_t width, int32_t height, uint8_t fill) {
        int32_t stride = (width * 3 + 3) & ~3;
        memory.assign(Guard * 2 + size_t(stride) * height, 0xA5);
        std::memset(memory.data() + Guard, fill, size_t(stride) * height);
        object.kind = SoftBitmapObject;
        object.bitmap = {memory.data() + Guard, width, height, stride};
        object.stock = true;
        platSelectObject(dc, reinterpret_cast<ObjectHandle>(&object));
    }
    ~Canvas() { platDeleteDC(dc); }
    const uint8_t* pixel(int32_t x, int32_t y) const {
        return object.bitmap.bits + size_t(object.bitmap.height - 1 - y) * object.bitmap.stride + size_t(x) * 3;
    }
};

// "A", katakana "ア", "1": four bytes, four cells; a requested face (the stock 8 x 16 one
// when no height is given) draws in its cells in the text colour only, over a background
// that shows through and cut at the bitmap's edges without touching the guards.
void checkText() {
    const struct {
        const char* name;
        int32_t width, height, fontHeight, x, y, fill, colour, minInside, maxInside;
    } cases[] = {
        {"the stock font", 200, 60, 0, 50, 10, 0, 0xFFFFFF, 40, 4 * 8 * 16},
        {"a requested font over a grey background", 200, 60, 24, 20, 30, 0x80, 0xF0C010, 80, 4 * 12 * 24 / 2},
        {"text over the top left edge", 30, 20, 12, -3, -5, 0, 0xFFFFFF, 1, 30 * 20},
        {"text over the bottom right edge", 30, 20, 24, 20, 10, 0, 0xFFFFFF, 1, 30 * 20},
        {"text far off the bitmap", 30, 20, 24, -5000, 5000, 0, 0xFFFFFF, 0, 0},
    };
    const char* text = "A\x83\x41" "1";
    for (const auto& c : cases) {
        Canvas canvas(c.width, c.height, c.fill);
        FontRequest request = {c.fontHeight, c.fontHeight / 2, 0, 0, 400, 128, {}};
        ObjectHandle font = c.fontHeight ? platCreateFont(request) : nullptr;
        if (font) platSelectObject(canvas.dc, font);
        platSetTextColor(canvas.dc, c.colour);
        platSetBkMode(canvas.dc, BkTransparent);
        platTextOut(canvas.dc, c.x, c.y, text, 4);
        const uint8_t colour[3] = {uint8_t(c.colour >> 16), uint8_t(c.colour >> 8), uint8_t(c.colour)};
        const int32_t right = c.x + 4 * (c.fontHeight ? c.fontHeight / 2 : 8);
        const int32_t bottom = c.y + (c.fontHeight ? c.fontHeight : 16);
        int inside = 0, outside = 0, wrong = 0;  // changed pixels in and out of the cells; not the colour
        for (int32_t y = 0; y < c.height; ++y)
            for (int32_t x = 0; x < c.width; ++x) {
                const uint8_t* p = canvas.pixel(x, y);
                if (p[0] == c.fill && p[1] == c.fill && p[2] == c.fill) continue;
                wrong += std::memcmp(p, colour, 3) != 0;
                (x >= c.x && x < right && y >= c.y && y < bottom ? inside : outside)++;
            }
        const auto& m = canvas.memory;
        bool guards = std::count(m.begin(), m.begin() + Canvas::Guard, 0xA5) == Canvas::Guard &&
                      std::count(m.end() - Canvas::Guard, m.end(), 0xA5) == Canvas::Guard;
        char detail[96];
        std::snprintf(detail, sizeof detail, "inside %d outside %d wrong %d guards %d", inside, outside, wrong, guards);
        check(guards && inside >= c.minInside && inside <= c.maxInside && outside == 0 && !wrong, c.name, detail);
        if (font) platDeleteObject(font);
    }

    // What is left of text hanging off the top left is that text, shifted.
    ObjectHandle font = platCreateFont({24, 12, 0, 0, 400, 128, {}});
    Canvas whole(60, 40, 0), cut(60, 40, 0);
    for (const Canvas* c : {&whole, &cut}) platSetTextColor(c->dc, 0xFFFFFF), platSelectObject(c->dc, font);
    platTextOut(whole.dc, 20, 15, text, 4);
    platTextOut(cut.dc, -7, -9, text, 4);
    bool same = true;
    for (int32_t y = 0; y + 24 < 40; ++y)
        for (int32_t x = 0; x + 27 < 60; ++x)
            same = same && std::memcmp(cut.pixel(x, y), whole.pixel(x + 27, y + 24), 3) == 0;
    check(same, "text cut at the top left keeps its place");
    platDeleteObject(font);
}

void checkCalendar() {
    HeadlessConfig config;
    config.startTime = {2026, 12, 0, 31, 23, 59, 59, 500};
    headlessReset(config);
    LocalTime t, u;
    platLocalTime(t);
    platSleep(600);
    platLocalTime(u);
    check(t.year == 2026 && t.month == 12 && t.day == 31 && t.dayOfWeek == 4 && t.second == 59 &&
              t.milliseconds == 500 && u.year == 2027 && u.month == 1 && u.day == 1 && u.dayOfWeek == 5 &&
              u.hour == 0 && u.minute == 0 && u.second == 0 && u.milliseconds == 100 &&
              platCalendarSeconds() == 1798761599,
          "the virtual calendar crosses the new year");
}

}  // namespace

int main() {
    checkFilesAndBitmaps();
    checkText();
    checkCalendar();
    return failed;
}
