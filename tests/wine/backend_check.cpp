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
    check(f != nullptr, "a created file opens");
    if (!f) return;
    uint32_t done = 0;
    int ok = platFileWrite(f, "ABCDEFGH", 8, &done);
    check(ok == 1 && done == 8, "eight bytes are written", fmt("ok %d done %u", ok, done));
    int64_t end = platFileSeek(f, 0, true);
    int64_t back = platFileSeek(f, -2, true);
    check(end == 8 && back == 6, "seeking from the end", fmt("%lld %lld", (long long)end,
                                                             (long long)back));
    char buffer[16] = {};
    ok = platFileRead(f, buffer, 10, &done);
    check(ok == 1 && done == 2 && std::memcmp(buffer, "GH", 2) == 0,
          "a read past the end returns what there is", fmt("ok %d done %u", ok, done));
    check(platFileSeek(f, 0, false) == 0, "seeking to the start");
    ok = platFileRead(f, buffer, 8, &done);
    check(ok == 1 && done == 8 && std::memcmp(buffer, "ABCDEFGH", 8) == 0, "reading back");
    check(platFileSeek(f, -100, false) == -1, "a seek before the start fails");
    check(platFileSize(f) == 8, "file size");
    check(platFileClose(f) == 1, "closing");

    f = platFileOpen("check.bin", FileOpenExisting);
    check(f != nullptr && platFileSize(f) == 8, "an existing file opens with its bytes");
    if (f) platFileClose(f);
    f = platFileOpen("check.bin", FileCreateAlways);
    check(f != nullptr && platFileSize(f) == 0, "create-always empties an existing file");
    if (f) platFileClose(f);
    check(platFileOpen("no-such-dir\\check.bin", FileOpenExisting) == nullptr,
          "a missing file does not open");
    check(platFileOpen("no-such-dir\\check.bin", FileCreateAlways) == nullptr,
          "a file in a missing directory cannot be created");

    char directory[260];
    uint32_t length = platCurrentDirectory(directory, sizeof directory);
    check(length > 0 && length == std::strlen(directory) && directory[length - 1] != '\\',
          "current directory without a trailing separator", directory);
    char doubled[300];
    std::snprintf(doubled, sizeof doubled, "%s\\\\check.bin", directory);
    f = platFileOpen(doubled, FileOpenExisting);
    check(f != nullptr, "a doubled separator is accepted", doubled);
    if (f) platFileClose(f);
    char tiny[4] = {'x', 'x', 'x', 'x'};
    check(platCurrentDirectory(tiny, sizeof tiny) == 0 && tiny[0] == 0,
          "a buffer too small gives 0 and an empty text");
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

void checkMarker() {
    bool exists = true;
    MarkerHandle first = platCreateMarker("PELLRUN_BACKEND_CHECK_MARKER", &exists);
    check(first != nullptr && !exists, "a new marker does not exist yet");
    MarkerHandle second = platCreateMarker("PELLRUN_BACKEND_CHECK_MARKER", &exists);
    check(second != nullptr && exists, "the same marker again reports that it exists");
    platReleaseMarker(second);
    platReleaseMarker(first);
    MarkerHandle third = platCreateMarker("PELLRUN_BACKEND_CHECK_MARKER", &exists);
    check(third != nullptr && !exists, "releasing the last handle removes the name");
    platReleaseMarker(third);
}

void checkTime() {
    uint32_t before = platTickCount();
    platSleep(50);
    uint32_t slept = platTickCount() - before;
    check(slept >= 30 && slept < 1000, "Sleep(50) advances the tick count", fmt("%u ms", slept));
    LocalTime t;
    platLocalTime(t);
    check(t.year >= 2000 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 &&
              t.dayOfWeek >= 0 && t.dayOfWeek <= 6 && t.hour >= 0 && t.hour < 24 &&
              t.minute >= 0 && t.minute < 60 && t.milliseconds >= 0 && t.milliseconds < 1000,
          "local time fields are in range",
          fmt("%d-%d-%d %d:%d", t.year, t.month, t.day, t.hour, t.minute));
    check(platCalendarSeconds() > 946684800, "calendar seconds are past 2000");
}

// ---- Windows and messages ----------------------------------------------------------------
int procACalls, procBCalls, paintCount;
PlatRect firstPaint;
WindowHandle paintedWindow;

intptr_t procA(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    ++procACalls;
    if (message == WmPaint) {
        PlatRect rect;
        DcHandle dc = platBeginPaint(window, rect);
        if (paintCount++ == 0) firstPaint = rect;
        paintedWindow = dc ? window : nullptr;
        platEndPaint(window);
        return 0;
    }
    if (message == WmDestroy) {
        platPostQuitMessage(3);
        return 0;
    }
    return platDefWindowProc(window, message, wParam, lParam);
}

intptr_t procB(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    ++procBCalls;
    return platDefWindowProc(window, message, wParam, lParam);
}

// Dispatches everything waiting; returns the GetMessage result that stopped it (1 when
// the queue ran empty).
int pump(PlatMessage& message) {
    while (platPeekMessage()) {
        int got = platGetMessage(message);
        if (got != 1) return got;
        platTranslateMessage(message);
        platDispatchMessage(message);
    }
    return 1;
}

void checkWindows(int showCommand) {
    check(platRegisterClass("CHECK_A", procA, 108) == 1, "a class registers, with the icon");
    check(platRegisterClass("CHECK_A", procA, 108) == 0, "the same class twice is refused");
    check(platRegisterClass("CHECK_B", procB, 0) == 1, "a second class with its own procedure");

    PlatRect popup = {0, 0, 300, 200};
    check(platAdjustWindowRect(popup, WsPopup) == 1 && popup.left == 0 && popup.top == 0 &&
              popup.right == 300 && popup.bottom == 200,
          "a popup's outer size is its client size");
    PlatRect captioned = {0, 0, 448, 320};
    platAdjustWindowRect(captioned, WsCaption | WsSysMenu | WsMinimizeBox);
    check(captioned.right - captioned.left > 448 && captioned.bottom - captioned.top > 320,
          "a captioned window is larger than its client area",
          fmt("%d,%d,%d,%d", captioned.left, captioned.top, captioned.right, captioned.bottom));

    WindowHandle a = platCreateWindow("CHECK_A", "check A", WsPopup, 10, 20, 300, 200,
                                      nullptr, 0);
    WindowHandle b = platCreateWindow("CHECK_B", "check B", WsPopup, 400, 20, 100, 100,
                                      nullptr, 0);
    check(a != nullptr && b != nullptr, "top-level windows are created");
    check(procACalls > 0 && procBCalls > 0, "each class's creation messages reach its own procedure",
          fmt("A %d B %d", procACalls, procBCalls));
    WindowHandle button = platCreateWindow("BUTTON", "OK", WsChild | WsVisible, 10, 10, 80,
                                           30, a, 7);
    check(button != nullptr, "a push button is created as a child");

    platShowWindow(a, showCommand);
    platShowWindow(b, showCommand);
    PlatMessage message = {};
    uint32_t start = platTickCount();
    while (paintCount == 0 && platTickCount() - start < 3000) {
        pump(message);
        platSleep(10);
    }
    check(paintCount > 0 && paintedWindow == a, "the first paint reaches the window procedure");
    check(firstPaint.left == 0 && firstPaint.top == 0 && firstPaint.right == 300 &&
              firstPaint.bottom == 200,
          "the first paint covers the client area, right and bottom one past",
          fmt("%d,%d,%d,%d", firstPaint.left, firstPaint.top, firstPaint.right, firstPaint.bottom));
    int paintsBefore = paintCount;
    platInvalidate(a);
    start = platTickCount();
    while (paintCount == paintsBefore && platTickCount() - start < 3000) {
        pump(message);
        platSleep(10);
    }
    check(paintCount > paintsBefore, "an invalidated window is painted again");

    int hidden = platShowCursor(false);
    int shown = platShowCursor(true);
    check(shown == hidden + 1, "the cursor counter steps", fmt("%d %d", hidden, shown));

    int callsB = procBCalls;
    platDestroyWindow(b);
    check(procBCalls > callsB, "destroying a window calls its procedure");
    platDestroyWindow(a);
    int got = pump(message);
    check(got == 0 && message.message == WmQuit && message.wParam == 3,
          "the quit message ends the queue with its exit code",
          fmt("got %d message %u wParam %u", got, message.message, unsigned(message.wParam)));
}

// ---- Display --------------------------------------------------------------------------------
void checkDisplay() {
    int depth = 0, width = 0, height = 0, refresh = 0;
    platScreenInfo(depth, width, height, refresh);
    int desktopWidth = 0, desktopHeight = 0;
    platDesktopSize(desktopWidth, desktopHeight);
    check(depth >= 16 && width == desktopWidth && height == desktopHeight,
          "screen and desktop agree", fmt("%d bpp %dx%d desktop %dx%d", depth, width, height,
                                          desktopWidth, desktopHeight));
    DisplayMode mode = {};
    int found = -1;
    for (uint32_t i = 0; platEnumDisplayMode(i, mode); ++i)
        if (int(mode.bitsPerPel) == depth && mode.width == 640 && mode.height == 480) found = int(i);
    check(found >= 0, "a 640 x 480 mode is enumerated at the screen depth");
    if (found < 0) return;
    platEnumDisplayMode(uint32_t(found), mode);
    mode.frequency = uint32_t(refresh);
    check(platChangeDisplay(&mode, true) == DispChangeSuccessful, "testing the 640 x 480 switch");
    platScreenInfo(depth, width, height, refresh);
    check(width == desktopWidth, "a test leaves the display as it was");
    check(platChangeDisplay(nullptr, false) == DispChangeSuccessful,
          "restoring the registry mode");
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
    BitmapInfo info = {};
    dib.width = width;
    dib.height = height;
    dib.stride = ((width * 24 + 31) / 32) * 4;
    info.header.size = 40;
    info.header.width = width;
    info.header.height = height;
    info.header.planes = 1;
    info.header.bitCount = 24;
    info.header.sizeImage = uint32_t(dib.stride * height);
    dib.bitmap = platCreateDIBSection(reference, info, &dib.bits);
    if (!dib.bitmap) return false;
    dib.dc = platCreateCompatibleDC(reference);
    dib.previous = platSelectObject(dib.dc, dib.bitmap);
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
    check(makeDib(dib, screen, 201, 60), "a DIB section in a memory device context");
    bool zero = true;
    for (int i = 0; i < dib.stride * dib.height; ++i) zero = zero && dib.bits[i] == 0;
    check(zero, "new pixel memory is black");

    checkBitmap(screen, resDir, 101, "sheet101.bmp", 435, 863);
    checkBitmap(screen, resDir, 104, "logo104.bmp", 640, 480);
    checkBitmap(screen, resDir, 107, "settings107.bmp", 920, 320);
    check(platLoadBitmap(999) == nullptr, "a missing bitmap resource gives nothing");

    // Shift-JIS text in 10 x 40 cells: "ＭＳ ゴシック" as the face name.
    FontRequest request = {};
    request.height = 40;
    request.width = 10;
    request.weight = 400;
    request.charSet = 128;
    std::strcpy(request.faceName, "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e");
    ObjectHandle font = platCreateFont(request);
    check(font != nullptr, "a Shift-JIS font is made");
    ObjectHandle previousFont = platSelectObject(dib.dc, font);
    platSetTextColor(dib.dc, 0x0000FF);  // red as COLORREF
    check(platSetTextColor(dib.dc, 0xFFFFFF) == 0x0000FF, "the previous text colour comes back");
    platSetBkMode(dib.dc, BkOpaque);
    check(platSetBkMode(dib.dc, BkTransparent) == BkOpaque, "the previous background mode comes back");
    const char* text = "A\x82\xa0\x8a\xbf";  // A, hiragana a, a kanji: 5 bytes
    check(platTextOut(dib.dc, 50, 10, text, 5) == 1, "text output");
    int inside = 0, outside = 0;
    for (int y = 0; y < dib.height; ++y)
        for (int x = 0; x < dib.width; ++x) {
            const uint8_t* p = dib.pixel(x, y);
            bool lit = p[0] | p[1] | p[2];
            bool inCells = x >= 50 && x < 100 && y >= 10 && y < 50;
            if (lit) (inCells ? inside : outside)++;
        }
    check(inside > 100 && outside == 0, "glyphs land inside their cells",
          fmt("inside %d outside %d", inside, outside));
    platSelectObject(dib.dc, previousFont);
    platDeleteObject(font);

    // BitBlt copies exactly.
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
    checkMarker();
    checkTime();
    checkGdi(commandLine);
    checkWindows(showCommand);
    checkDisplay();
    say("%d passed, %d failed\n", passed, failed);
    platFileClose(logFile);
    return failed;
}
