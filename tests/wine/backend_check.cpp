// The Win32 backend in place of the game, run under Wine by run.sh: platform calls whose
// effect the end-to-end run cannot see. The command line is the directory holding res\.
// Writes "PASS"/"FAIL" lines to backend_check.log; the exit code is the number of failures.
#include "platform/platform.h"

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::FILE* logFile;
int failed;

// check(ok, name, detail format, ...): the detail is written only on failure.
void check(bool ok, const char* name, const char* format = "", ...) {
    failed += !ok;
    std::fprintf(logFile, "%s backend: %s%s", ok ? "PASS" : "FAIL", name, ok ? "" : " ");
    va_list args;
    va_start(args, format);
    if (!ok) std::vfprintf(logFile, format, args);
    va_end(args);
    std::fputc('\n', logFile);
}

// ---- Kernel: files, data files, sounds, folders, time -----------------------------------
void checkKernel() {
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
          "wrote %u, tail %u, whole %u", wrote, tail, whole);

    char directory[260], tiny[4] = {'x', 'x', 'x', 'x'};
    uint32_t length = platCurrentDirectory(directory, sizeof directory);
    check(length > 0 && length == std::strlen(directory) && directory[length - 1] != '\\' &&
              platCurrentDirectory(tiny, sizeof tiny) == 0 && tiny[0] == 0,
          "current directory without a trailing separator; a buffer too small gives 0 and an empty text",
          "%s", directory);

    // Songs and effects open only as disk files of at most DataFileLimit bytes: not a larger
    // one, a folder, nor run.sh's FIFO held by a writer (Wine opens it at once as a pipe,
    // whose reads wait); the other modes take only disk files too. A synchronous sound
    // returns when played (and started), a minute's after the limit, the rest at once.
    CreateDirectoryA("folder.dat", nullptr);
    for (const char* name : {"limit.dat", "over.dat"}) {   // sparse, of the limit and one byte more
        HANDLE h = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        LARGE_INTEGER size;
        size.QuadPart = DataFileLimit + (name[0] == 'o');
        SetFilePointerEx(h, size, nullptr, FILE_BEGIN);
        SetEndOfFile(h);
        CloseHandle(h);
    }
    const struct { const char* name; int mode; bool opens; } opens[] = {
        {"limit.dat", FileReadData, true}, {"over.dat", FileReadData, false}, {"over.dat", FileOpenExisting, true},
        {"folder.dat", FileReadData, false}, {"pipe.dat", FileReadData, false}, {"pipe.dat", FileOpenExisting, false}};
    std::string wrong;
    for (const auto& r : opens) {
        FileHandle f = platFileOpen(r.name, r.mode);
        if ((f != nullptr) != r.opens) wrong += std::string(" ") + r.name;
        if (f) platFileClose(f);
    }
    const struct { const char* name; int result; uint32_t least, most; } sounds[] = {
        {"minute.wav", 1, SyncSoundLimitMs, SyncSoundLimitMs + 300}, {"short.wav", 1, 100, 300},
        {"pipe.dat", 0, 0, 100}, {"none.wav", 0, 0, 100}};
    for (const auto& r : sounds) {
        uint32_t start = GetTickCount();
        int result = platPlaySound(r.name, SndSync | SndNoDefault);
        uint32_t took = GetTickCount() - start;
        if (result != r.result || took + 20 < r.least || took >= r.most)
            wrong += std::string(" ") + r.name + " " + std::to_string(result) + " after " + std::to_string(took);
    }
    check(wrong.empty(), "songs and effects: only small disk files; synchronous sounds end in time", "%s",
          wrong.c_str());

    // Without a writable data folder the settings go to the per-user folder (here a private
    // APPDATA), made only for writing. The writable case is seen end to end.
    CreateDirectoryA("appdata", nullptr);
    SetEnvironmentVariableA("APPDATA", "appdata");
    char file[MAX_PATH];
    platSettingsFile("no-such-dir\\Data\\", file, sizeof file, false);
    DWORD before = GetFileAttributesA("appdata\\Pellrun");
    platSettingsFile("no-such-dir\\Data\\", file, sizeof file, true);
    check(std::strcmp(file, "appdata\\Pellrun\\Setup.ini") == 0 && before == INVALID_FILE_ATTRIBUTES &&
              GetFileAttributesA("appdata\\Pellrun") != INVALID_FILE_ATTRIBUTES,
          "the per-user file, its folder made only for writing", "%s", file);

    // The clock advances and the calendar is sane (the instance marker is seen end to end).
    uint32_t ticks = platTickCount();
    platSleep(50);
    uint32_t slept = platTickCount() - ticks;
    LocalTime t;
    platLocalTime(t);
    check(slept >= 30 && slept < 1000 && t.year >= 2000 && t.month >= 1 && t.month <= 12 &&
              t.day >= 1 && t.day <= 31 && unsigned(t.dayOfWeek) <= 6 &&
              unsigned(t.hour) < 24 && unsigned(t.minute) < 60 &&
              unsigned(t.milliseconds) < 1000 && platCalendarSeconds() > 946684800,
          "Sleep(50) advances the ticks; local time and calendar seconds are sane",
          "%u ms; %d-%d-%d %d:%d", slept, t.year, t.month, t.day, t.hour, t.minute);
}

// ---- Windows and messages ----------------------------------------------------------------
// Window sizes, painting and the ends of runs (the quit code is the exit code) are seen end
// to end; here what cannot be: the cursor counter (Wine shows the cursor again when a
// program ends) and class registration (the program registers one procedure).
int procCalls;

intptr_t windowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    ++procCalls;
    return platDefWindowProc(window, message, wParam, lParam);
}

void checkWindows() {
    bool registered = platRegisterClass("CHECK_A", windowProc, 108) == 1 &&
                      platRegisterClass("CHECK_A", windowProc, 108) == 0;
    WindowHandle a = platCreateWindow("CHECK_A", "check A", WsPopup, 10, 20, 300, 200, nullptr, 0);
    WindowHandle button = platCreateWindow("BUTTON", "OK", WsChild | WsVisible, 10, 10, 80, 30, a, 7);
    int callsBefore = procCalls;  // a second class keeps its own procedure
    bool second = platRegisterClass("CHECK_B", platDefWindowProc, 0) == 1;
    WindowHandle b = platCreateWindow("CHECK_B", "check B", WsPopup, 400, 20, 100, 100, nullptr, 0);
    if (b) platDestroyWindow(b);
    check(registered && second && a && b && button && callsBefore > 0 && procCalls == callsBefore,
          "a class registers once; each class's messages reach its own procedure; a child button",
          "%d calls, then %d", callsBefore, procCalls);
    int hidden = platShowCursor(false), shown = platShowCursor(true);
    check(shown == hidden + 1, "the cursor counter steps down and up", "%d %d", hidden, shown);
    platDestroyWindow(a);

    // The switch itself is seen end to end; a test of a mode must leave the display alone.
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
          "tested %d, width %d then %d", tested, width, after);
}

// ---- GDI ---------------------------------------------------------------------------------------
// A 24-bit DIB section selected into a memory DC; its rows run bottom up.
struct Dib {
    DcHandle dc = nullptr;
    ObjectHandle bitmap = nullptr, previous = nullptr;
    uint8_t* bits = nullptr;
    int width, height, stride;
    Dib(DcHandle reference, int w, int h) : width(w), height(h), stride((w * 24 + 31) / 32 * 4) {
        BitmapInfo info = {};
        info.header = {40, width, height, 1, 24, 0, uint32_t(stride * height), 0, 0, 0, 0};
        bitmap = platCreateDIBSection(reference, info, &bits);
        dc = platCreateCompatibleDC(reference);
        previous = platSelectObject(dc, bitmap);
    }
    ~Dib() { platSelectObject(dc, previous), platDeleteObject(bitmap), platDeleteDC(dc); }
    uint8_t* pixel(int x, int y) { return bits + size_t(height - 1 - y) * stride + x * 3; }
};

// Each bitmap resource blitted into a DIB 7 rows taller than the picture equals the BMP
// file's rows (both bottom up), through BitBlt; below the picture the DIB stays black.
void checkGdi(const char* resDir) {
    DcHandle screen = platGetDC(nullptr);
    const struct { int id; const char* file; int width, height; const char* name; } bitmaps[] = {
        {101, "sheet101.bmp", 435, 863, "bitmap 101 is loaded pixel-exact"},
        {107, "settings107.bmp", 920, 320, "bitmap 107 is loaded pixel-exact"}};
    for (const auto& b : bitmaps) {
        char path[400];
        std::snprintf(path, sizeof path, "%s\\%s", resDir, b.file);
        FileHandle f = platFileOpen(path, FileOpenExisting);
        uint32_t size = f ? platFileSize(f) : 0, done = 0;
        std::vector<uint8_t> bytes(size + 14);
        if (f) platFileRead(f, bytes.data(), size, &done), platFileClose(f);
        Dib dib(screen, b.width, b.height + 7);
        ObjectHandle picture = platLoadBitmap(b.id);
        DcHandle temporary = platCreateCompatibleDC(dib.dc);
        ObjectHandle previous = platSelectObject(temporary, picture);
        int blit = platBitBlt(dib.dc, 0, 0, dib.width, dib.height, temporary, 0, 0);
        platSelectObject(temporary, previous);
        platDeleteObject(picture);
        platDeleteDC(temporary);
        uint32_t offset = bytes[10] | bytes[11] << 8 | bytes[12] << 16 | uint32_t(bytes[13]) << 24;
        const size_t below = size_t(dib.stride) * 7, rows = size_t(dib.stride) * b.height;
        bool same = size >= offset + rows && std::memcmp(dib.bits + below, bytes.data() + offset, rows) == 0;
        long lit = long(below) - std::count(dib.bits, dib.bits + below, 0);
        check(f && picture && blit == 1 && same && lit == 0, b.name,
              "%s readable %d loaded %d blit %d same %d lit below %ld", path, f != nullptr, picture != nullptr,
              blit, same, lit);
    }
    check(platLoadBitmap(999) == nullptr, "a missing bitmap resource gives nothing");

    // Shift-JIS text in 10 x 40 cells with "ＭＳ ゴシック" as the face name; the previous
    // colour and mode come back from their setters.
    Dib dib(screen, 201, 60);
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
          "font %d kept %d drawn %d inside %d outside %d", font != nullptr, kept, drawn, inside, outside);
    platSelectObject(dib.dc, previousFont);
    platDeleteObject(font);
    platReleaseDC(nullptr, screen);
}

}  // namespace

int pellrunMain(const char* commandLine, int) {
    logFile = std::fopen("backend_check.log", "w");
    if (!logFile) return 100;
    std::setvbuf(logFile, nullptr, _IONBF, 0);  // lines up to a crash are kept
    checkKernel();
    checkGdi(commandLine);
    checkWindows();
    std::fclose(logFile);
    return failed;
}
