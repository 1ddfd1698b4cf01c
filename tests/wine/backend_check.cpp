// Checks of the Win32 backend on its own, run under Wine by run.sh: each platform call
// against what Windows does with it. Built with the backend in place of the game, so
// this file provides pellrunMain. The command line is the directory holding res\.
// Writes "PASS"/"FAIL" lines and a closing "N passed, M failed" to backend_check.log
// in the current directory; the exit code is the number of failures.
#include "platform/platform.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

FileHandle logFile;
int passed;
int failed;

void say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void say(const char* format, ...) {
    char line[600];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n < 0) return;
    if (n >= int(sizeof line)) n = int(sizeof line) - 1;
    uint32_t done = 0;
    platFileWrite(logFile, line, uint32_t(n), &done);
}

void check(bool ok, const char* name, const char* detail = "") {
    if (ok) {
        ++passed;
        say("PASS backend: %s\n", name);
    } else {
        ++failed;
        say("FAIL backend: %s %s\n", name, detail);
    }
}

// Formatted text for a check's name or detail; two can be in use at once.
const char* fmt(const char* format, ...) __attribute__((format(printf, 1, 2)));
const char* fmt(const char* format, ...) {
    static char texts[2][256];
    static int next;
    char* text = texts[next];
    next ^= 1;
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof texts[0], format, args);
    va_end(args);
    return text;
}

// ---- Kernel ----------------------------------------------------------------------------
void checkFiles() {
    FileHandle f = platFileOpen("check.bin", FileCreateAlways);
    uint32_t wrote = 0, tail = 0, whole = 0;
    char buffer[16] = {};
    bool rw = f && platFileWrite(f, "ABCDEFGH", 8, &wrote) == 1 && wrote == 8 &&
              platFileSeek(f, 0, true) == 8 && platFileSeek(f, -2, true) == 6 &&
              platFileRead(f, buffer, 10, &tail) == 1 && tail == 2 &&
              std::memcmp(buffer, "GH", 2) == 0 && platFileSeek(f, 0, false) == 0 &&
              platFileRead(f, buffer, 8, &whole) == 1 && whole == 8 &&
              std::memcmp(buffer, "ABCDEFGH", 8) == 0 && platFileSeek(f, -100, false) == -1 &&
              platFileSize(f) == 8 && platFileClose(f) == 1;
    check(rw, "write, seek from either end, read past the end, size, close",
          fmt("wrote %u, tail %u, whole %u", wrote, tail, whole));

    f = platFileOpen("check.bin", FileOpenExisting);
    uint32_t kept = f ? platFileSize(f) : 99;
    if (f) platFileClose(f);
    f = platFileOpen("check.bin", FileCreateAlways);
    uint32_t emptied = f ? platFileSize(f) : 99;
    if (f) platFileClose(f);
    check(kept == 8 && emptied == 0 &&
              !platFileOpen("no-such-dir\\check.bin", FileOpenExisting) &&
              !platFileOpen("no-such-dir\\check.bin", FileCreateAlways),
          "open-existing keeps the bytes, create-always empties; a missing folder fails",
          fmt("kept %u emptied %u", kept, emptied));

    char directory[260], doubled[300];
    uint32_t length = platCurrentDirectory(directory, sizeof directory);
    std::snprintf(doubled, sizeof doubled, "%s\\\\check.bin", directory);
    f = platFileOpen(doubled, FileOpenExisting);
    if (f) platFileClose(f);
    char tiny[4] = {'x', 'x', 'x', 'x'};
    check(length > 0 && length == std::strlen(directory) && directory[length - 1] != '\\' &&
              f != nullptr && platCurrentDirectory(tiny, sizeof tiny) == 0 && tiny[0] == 0,
          "current directory without a trailing separator; a doubled one is accepted; a "
          "buffer too small gives 0 and an empty text",
          doubled);
}

// Settings beside the data when that folder is writable (the probe leaving nothing
// behind), else in the per-user folder (here a private APPDATA), made only for writing.
// Where the data folder itself is found is checked end to end by run.sh.
void checkFolders() {
    CreateDirectoryA("Data", nullptr);
    CreateDirectoryA("appdata", nullptr);
    SetEnvironmentVariableA("APPDATA", "appdata");
    char file[MAX_PATH];
    platSettingsFile("Data\\", file, sizeof file, true);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("Data\\*.tmp", &found);
    check(std::strcmp(file, "Data\\Setup.ini") == 0 && search == INVALID_HANDLE_VALUE,
          "a writable data folder keeps the settings; the probe leaves nothing", file);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    platSettingsFile("no-such-dir\\Data\\", file, sizeof file, false);
    DWORD before = GetFileAttributesA("appdata\\Pellrun");
    platSettingsFile("no-such-dir\\Data\\", file, sizeof file, true);
    DWORD after = GetFileAttributesA("appdata\\Pellrun");
    check(std::strcmp(file, "appdata\\Pellrun\\Setup.ini") == 0 &&
              before == INVALID_FILE_ATTRIBUTES && after != INVALID_FILE_ATTRIBUTES,
          "otherwise the per-user file, its folder made only for writing", file);
}

// A named marker reports a second creation until its last handle is released; the
// clock advances and the calendar is sane.
void checkMarkerAndTime() {
    const char* name = "PELLRUN_BACKEND_CHECK_MARKER";
    bool existed[3] = {true, false, true};
    MarkerHandle first = platCreateMarker(name, &existed[0]);
    MarkerHandle second = platCreateMarker(name, &existed[1]);
    platReleaseMarker(second);
    platReleaseMarker(first);
    MarkerHandle third = platCreateMarker(name, &existed[2]);
    platReleaseMarker(third);
    check(first && second && third && !existed[0] && existed[1] && !existed[2],
          "a marker exists while a handle is held, and is gone after the last",
          fmt("%d %d %d", existed[0], existed[1], existed[2]));

    uint32_t before = platTickCount();
    platSleep(50);
    uint32_t slept = platTickCount() - before;
    LocalTime t;
    platLocalTime(t);
    check(slept >= 30 && slept < 1000 && t.year >= 2000 && t.month >= 1 && t.month <= 12 &&
              t.day >= 1 && t.day <= 31 && unsigned(t.dayOfWeek) <= 6 &&
              unsigned(t.hour) < 24 && unsigned(t.minute) < 60 &&
              unsigned(t.milliseconds) < 1000 && platCalendarSeconds() > 946684800,
          "Sleep(50) advances the ticks; local time and calendar seconds are sane",
          fmt("%u ms; %d-%d-%d %d:%d", slept, t.year, t.month, t.day, t.hour, t.minute));
}

// ---- Windows and messages ----------------------------------------------------------------
// Window sizes and the ends of runs are checked end to end by run.sh; here what it
// cannot see: the paint rectangle, repainting, the cursor counter (Wine shows the cursor
// again when a program ends), the quit code, class refusal.
int procCalls, paintCount;
PlatRect firstPaint;

intptr_t windowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    ++procCalls;
    if (message == WmPaint) {
        PlatRect rect;
        if (platBeginPaint(window, rect) && paintCount++ == 0) firstPaint = rect;
        platEndPaint(window);
        return 0;
    }
    if (message == WmDestroy) platPostQuitMessage(3);
    return message == WmDestroy ? 0 : platDefWindowProc(window, message, wParam, lParam);
}

// Dispatches what is waiting, for up to 3 s while the paint count has not passed the
// given one; returns the GetMessage result that stopped it (1 when none did).
int pump(PlatMessage& message, int paintsPast) {
    for (uint32_t start = platTickCount(); paintCount <= paintsPast && platTickCount() - start < 3000;) {
        while (platPeekMessage()) {
            int got = platGetMessage(message);
            if (got != 1) return got;
            platTranslateMessage(message);
            platDispatchMessage(message);
        }
        platSleep(10);
    }
    return 1;
}

void checkWindows(int showCommand) {
    bool registered = platRegisterClass("CHECK_A", windowProc, 108) == 1 &&
                      platRegisterClass("CHECK_A", windowProc, 108) == 0;
    WindowHandle a = platCreateWindow("CHECK_A", "check A", WsPopup, 10, 20, 300, 200, nullptr, 0);
    WindowHandle button = platCreateWindow("BUTTON", "OK", WsChild | WsVisible, 10, 10, 80, 30, a, 7);
    // A second class keeps its own procedure.
    int callsBefore = procCalls;
    bool second = platRegisterClass("CHECK_B", platDefWindowProc, 0) == 1;
    WindowHandle b = platCreateWindow("CHECK_B", "check B", WsPopup, 400, 20, 100, 100, nullptr, 0);
    if (b) platDestroyWindow(b);
    check(registered && second && a && b && button && callsBefore > 0 && procCalls == callsBefore,
          "a class registers once; each class's messages reach its own procedure; a child button",
          fmt("%d calls, then %d", callsBefore, procCalls));
    platShowWindow(a, showCommand);
    PlatMessage message = {};
    pump(message, 0);
    int paints = paintCount;
    platInvalidate(a);
    pump(message, paints);
    check(paints > 0 && paintCount > paints && firstPaint.left == 0 && firstPaint.top == 0 &&
              firstPaint.right == 300 && firstPaint.bottom == 200,
          "the first paint covers the client area, one past; an invalidated window repaints",
          fmt("%d, %d paints; %d,%d,%d,%d", paints, paintCount, firstPaint.left, firstPaint.top,
              firstPaint.right, firstPaint.bottom));
    // The program hides the cursor once and shows it once: the counter must step.
    int hidden = platShowCursor(false);
    int shown = platShowCursor(true);
    check(shown == hidden + 1, "the cursor counter steps down and up", fmt("%d %d", hidden, shown));
    platDestroyWindow(a);
    int got = pump(message, paintCount + 1000);
    check(got == 0 && message.message == WmQuit && message.wParam == 3,
          "destroying the window posts the quit message with its code",
          fmt("got %d message %u wParam %u", got, message.message, unsigned(message.wParam)));
}

// ---- Display --------------------------------------------------------------------------------
// The switch itself is seen end to end; a test of a mode must leave the display alone.
void checkDisplay() {
    int depth = 0, width = 0, height = 0, refresh = 0, after = 0;
    platScreenInfo(depth, width, height, refresh);
    DisplayMode mode = {};
    uint32_t i = 0;
    while (platEnumDisplayMode(i, mode) &&
           !(int(mode.bitsPerPel) == depth && mode.width == 640 && mode.height == 480))
        ++i;
    mode.frequency = uint32_t(refresh);
    int tested = mode.width == 640 ? platChangeDisplay(&mode, true) : -1;
    platScreenInfo(depth, after, height, refresh);
    check(tested == DispChangeSuccessful && after == width,
          "a 640 x 480 mode is listed at the screen depth, and testing it changes nothing",
          fmt("tested %d, width %d then %d", tested, width, after));
}

// ---- GDI ---------------------------------------------------------------------------------------
struct Dib {
    DcHandle dc = nullptr;
    ObjectHandle bitmap = nullptr;
    ObjectHandle previous = nullptr;
    uint8_t* bits = nullptr;
    int width = 0, height = 0, stride = 0;
    uint8_t* pixel(int x, int y) { return bits + size_t(height - 1 - y) * stride + x * 3; }
};

bool makeDib(Dib& dib, DcHandle reference, int width, int height) {
    dib.width = width;
    dib.height = height;
    dib.stride = ((width * 24 + 31) / 32) * 4;
    BitmapInfo info = {};
    info.header = {40, width, height, 1, 24, 0, uint32_t(dib.stride * height), 0, 0, 0, 0};
    dib.bitmap = platCreateDIBSection(reference, info, &dib.bits);
    dib.dc = dib.bitmap ? platCreateCompatibleDC(reference) : nullptr;
    if (dib.dc) dib.previous = platSelectObject(dib.dc, dib.bitmap);
    return dib.dc != nullptr;
}

void freeDib(Dib& dib) {
    platSelectObject(dib.dc, dib.previous);
    platDeleteObject(dib.bitmap);
    platDeleteDC(dib.dc);
}

// The resource loaded into a DIB larger than the picture equals the BMP file's rows;
// the part the picture does not cover stays black.
void checkBitmap(DcHandle screen, const char* resDir, int id, const char* file, int width,
                 int height) {
    char path[400];
    std::snprintf(path, sizeof path, "%s\\%s", resDir, file);
    FileHandle f = platFileOpen(path, FileOpenExisting);
    if (!f) {
        check(false, fmt("bitmap %d: the BMP file is readable", id), path);
        return;
    }
    uint32_t size = platFileSize(f);
    uint8_t* bytes = static_cast<uint8_t*>(std::malloc(size));
    uint32_t done = 0;
    platFileRead(f, bytes, size, &done);
    platFileClose(f);

    Dib dib;
    makeDib(dib, screen, width, height + 7);
    ObjectHandle picture = platLoadBitmap(id);
    DcHandle temporary = platCreateCompatibleDC(dib.dc);
    ObjectHandle previous = platSelectObject(temporary, picture);
    int blit = platBitBlt(dib.dc, 0, 0, dib.width, dib.height, temporary, 0, 0);
    platSelectObject(temporary, previous);
    platDeleteObject(picture);
    platDeleteDC(temporary);

    uint32_t offset = bytes[10] | bytes[11] << 8 | bytes[12] << 16 | uint32_t(bytes[13]) << 24;
    int rowsDiffering = 0;
    for (int y = 0; y < height; ++y) {
        const uint8_t* fileRow = bytes + offset + size_t(height - 1 - y) * dib.stride;
        if (std::memcmp(dib.pixel(0, y), fileRow, size_t(width) * 3) != 0) ++rowsDiffering;
    }
    int lit = 0;
    for (int y = height; y < dib.height; ++y)
        for (int x = 0; x < width * 3; ++x) lit += dib.pixel(0, y)[x] != 0;
    check(picture != nullptr && blit == 1 && rowsDiffering == 0 && lit == 0,
          fmt("bitmap %d is loaded pixel-exact", id),
          fmt("loaded %d blit %d rows differing %d lit below %d", picture != nullptr, blit,
              rowsDiffering, lit));
    freeDib(dib);
    std::free(bytes);
}

void checkGdi(const char* resDir) {
    DcHandle screen = platGetDC(nullptr);
    Dib dib;
    bool made = makeDib(dib, screen, 201, 60);
    bool zero = made;
    for (int i = 0; made && i < dib.stride * dib.height; ++i) zero = zero && dib.bits[i] == 0;
    check(zero, "a DIB section in a memory device context starts black");
    if (!made) return;

    checkBitmap(screen, resDir, 101, "sheet101.bmp", 435, 863);
    checkBitmap(screen, resDir, 107, "settings107.bmp", 920, 320);
    check(platLoadBitmap(999) == nullptr, "a missing bitmap resource gives nothing");

    // Shift-JIS text in 10 x 40 cells: "ＭＳ ゴシック" as the face name; the previous
    // colour and mode come back from their setters.
    FontRequest request = {40, 10, 0, 0, 400, 128, {}};
    std::strcpy(request.faceName, "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e");
    ObjectHandle font = platCreateFont(request);
    ObjectHandle previousFont = platSelectObject(dib.dc, font);
    platSetTextColor(dib.dc, 0x0000FF);  // red as COLORREF
    platSetBkMode(dib.dc, BkOpaque);
    bool kept = platSetTextColor(dib.dc, 0xFFFFFF) == 0x0000FF &&
                platSetBkMode(dib.dc, BkTransparent) == BkOpaque;
    int drawn = platTextOut(dib.dc, 50, 10, "A\x82\xa0\x8a\xbf", 5);  // A, hiragana a, a kanji
    int inside = 0, outside = 0;
    for (int y = 0; y < dib.height; ++y)
        for (int x = 0; x < dib.width; ++x) {
            const uint8_t* p = dib.pixel(x, y);
            if (p[0] | p[1] | p[2]) (x >= 50 && x < 100 && y >= 10 && y < 50 ? inside : outside)++;
        }
    check(font && kept && drawn == 1 && inside > 100 && outside == 0,
          "a Shift-JIS font draws its glyphs inside their cells",
          fmt("font %d kept %d drawn %d inside %d outside %d", font != nullptr, kept, drawn,
              inside, outside));
    platSelectObject(dib.dc, previousFont);
    platDeleteObject(font);

    Dib copy;
    makeDib(copy, screen, 201, 60);
    check(platBitBlt(copy.dc, 0, 0, 201, 60, dib.dc, 0, 0) == 1 &&
              std::memcmp(copy.bits, dib.bits, size_t(dib.stride) * dib.height) == 0,
          "BitBlt copies the picture exactly");
    freeDib(copy);
    freeDib(dib);
    platReleaseDC(nullptr, screen);
}

}  // namespace

int pellrunMain(const char* commandLine, int showCommand) {
    logFile = platFileOpen("backend_check.log", FileCreateAlways);
    if (!logFile) return 100;
    checkFiles();
    checkFolders();
    checkMarkerAndTime();
    checkGdi(commandLine);
    checkWindows(showCommand);
    checkDisplay();
    say("%d passed, %d failed\n", passed, failed);
    platFileClose(logFile);
    return failed;
}
