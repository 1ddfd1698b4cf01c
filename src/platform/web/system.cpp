// System services of the web backend: the clock (the page's, or a virtual one), local
// time, the data and settings folders in the page's file system, the instance marker,
// the cursor, the screen and its modes.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>
#include <ctime>

#include "platform/soft/soft.h"
#include "platform/web/web.h"

WebBackend web;

// ---- Time ------------------------------------------------------------------------------

uint32_t platTickCount() {
    return web.fast ? web.virtualTick : uint32_t(uint64_t(emscripten_get_now()));
}

// The browser's thread may not block: only the virtual clock can be slept on. The
// program sleeps only in its main loop, which the page drives and never reaches this.
void platSleep(uint32_t milliseconds) {
    if (web.fast) web.virtualTick += milliseconds;
}

namespace {

// 2026-12-06 12:00:00 UTC, where the virtual clock's local time begins.
constexpr int64_t VirtualStartSeconds = 1796558400;

}  // namespace

void platLocalTime(LocalTime& out) {
    std::tm t = {};
    int32_t milliseconds = 0;
    if (web.fast) {
        const int64_t ms = int64_t(web.virtualTick - WebVirtualStartTick);
        const std::time_t seconds = std::time_t(VirtualStartSeconds + ms / 1000);
        gmtime_r(&seconds, &t);
        milliseconds = int32_t(ms % 1000);
    } else {
        const double now = emscripten_date_now();
        const std::time_t seconds = std::time_t(now / 1000);
        localtime_r(&seconds, &t);
        milliseconds = int32_t(int64_t(now) % 1000);
    }
    out = softLocalTime(t, milliseconds);
}

// seed=N: the calendar stands at N when the program starts, as in pellrun-sim.
int64_t platCalendarSeconds() {
    const uint32_t elapsed = web.fast ? web.virtualTick - WebVirtualStartTick : platTickCount();
    if (web.options.seed >= 0) return web.options.seed + int64_t(elapsed / 1000);
    if (web.fast && web.options.seed < 0) return int64_t(emscripten_date_now() / 1000);
    return int64_t(std::time(nullptr));
}

// ---- Files -------------------------------------------------------------------------------
// The page's file system holds the songs and effects in /Data and the settings in
// /settings, which the page fills from and saves to the browser's storage.

namespace {

uint32_t copyPath(const char* path, char* buffer, uint32_t size) {
    if (!buffer || size == 0) return 0;
    const int n = std::snprintf(buffer, size, "%s", path);
    if (n <= 0 || uint32_t(n) >= size) {
        buffer[0] = 0;
        return 0;
    }
    return uint32_t(n);
}

}  // namespace

uint32_t platDataFolder(char* buffer, uint32_t size) { return copyPath("\\Data\\", buffer, size); }

uint32_t platSettingsFile(const char*, char* buffer, uint32_t size, bool) {
    return copyPath("\\settings\\Setup.ini", buffer, size);
}

void platRunSettings(RunSettings& settings) { settings = web.options.settings; }

// ---- Instance marker ---------------------------------------------------------------------
// Every page is a program of its own.

MarkerHandle platCreateMarker(const char*, bool* alreadyExists) {
    *alreadyExists = false;
    static int token;
    return reinterpret_cast<MarkerHandle>(&token);
}

void platReleaseMarker(MarkerHandle) {}

// ---- Cursor ------------------------------------------------------------------------------
// The page keeps the pointer; it hides over the playfield in full screen (the page's style).

int platShowCursor(bool show) {
    static int counter;
    return counter += show ? 1 : -1;
}

// ---- Screen and display modes --------------------------------------------------------------
// The program draws the picture it shows, which the canvas fills; the 640 x 480 mode is
// offered and, while it is set, is the picture.

static void updateScreenSize() {
    web.screenWidth = web.narrowMode ? 640 : 800;
    web.screenHeight = web.narrowMode ? 480 : 640;
}

void platDesktopSize(int& width, int& height) {
    updateScreenSize();
    width = web.screenWidth;
    height = web.screenHeight;
}

void platScreenInfo(int& depth, int& width, int& height, int& refresh) {
    depth = 24;
    platDesktopSize(width, height);
    refresh = 60;
}

bool platEnumDisplayMode(uint32_t index, DisplayMode& mode) {
    if (index > 1) return false;
    mode = index == 0 ? DisplayMode{24, 800, 640, 60} : DisplayMode{24, 640, 480, 60};
    return true;
}

int platChangeDisplay(const DisplayMode* mode, bool testOnly) {
    bool narrow = false;
    if (mode) {
        narrow = mode->width == 640 && mode->height == 480;
        if (!narrow && (mode->width != 800 || mode->height != 640)) return DispChangeFailed;
    }
    if (testOnly) return DispChangeSuccessful;
    web.narrowMode = narrow;
    updateScreenSize();
    return DispChangeSuccessful;
}
