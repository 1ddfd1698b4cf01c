// System services of the sdl backend: clock and local time, the instance marker, the
// cursor counter, the desktop and the display modes.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/platform.h"
#include "platform/sdl/sdl_backend.h"

// ---- Time ------------------------------------------------------------------------------

uint32_t platTickCount() { return SDL_GetTicks(); }

void platSleep(uint32_t milliseconds) { SDL_Delay(milliseconds); }

void platLocalTime(LocalTime& out) {
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm t = {};
    localtime_r(&now.tv_sec, &t);
    out.year = t.tm_year + 1900;
    out.month = t.tm_mon + 1;
    out.dayOfWeek = t.tm_wday;
    out.day = t.tm_mday;
    out.hour = t.tm_hour;
    out.minute = t.tm_min;
    out.second = t.tm_sec;
    out.milliseconds = int32_t(now.tv_nsec / 1000000);
}

int64_t platCalendarSeconds() { return int64_t(std::time(nullptr)); }

// ---- Instance marker ---------------------------------------------------------------------
// A lock file named after the marker; the marker is held while the lock is. The lock
// goes with the process, so a crashed run leaves nothing behind that blocks the next.

MarkerHandle platCreateMarker(const char* name, bool* alreadyExists) {
    *alreadyExists = false;
    char path[512];
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    // The host runs one hack per monitor, each in its own window: one marker each.
    char suffix[32] = "";
    if (sdl.hostWindow) std::snprintf(suffix, sizeof suffix, "-%llx", (unsigned long long)sdl.hostWindowId);
    if (runtime && *runtime)
        std::snprintf(path, sizeof path, "%s/%s%s.lock", runtime, name, suffix);
    else
        std::snprintf(path, sizeof path, "/tmp/%s-%u%s.lock", name, unsigned(getuid()), suffix);
    int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) *alreadyExists = true;
        // Held elsewhere (or not lockable): the handle still closes cleanly.
    }
    return reinterpret_cast<MarkerHandle>(intptr_t(fd) + 1);
}

void platReleaseMarker(MarkerHandle marker) {
    if (marker) close(int(reinterpret_cast<intptr_t>(marker) - 1));
}

// ---- Cursor --------------------------------------------------------------------------------

int platShowCursor(bool show) {
    // The display counter of the Windows edition: the cursor shows while it is >= 0.
    static int counter;
    counter += show ? 1 : -1;
    SDL_ShowCursor(counter >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return counter;
}

// ---- Desktop and display modes ---------------------------------------------------------------
// The real display mode is never changed. The 640 x 480 mode is offered and accepted;
// while it is set, the window made at that size fills the desktop with the picture
// scaled up.

void sdlUpdateScreenSize() {
    int width = sdl.desktopWidth, height = sdl.desktopHeight;
    if (sdl.hostWindow) SDL_GetWindowSize(sdl.hostWindow, &width, &height);
    // A host window smaller than the narrow layout gets that layout scaled down.
    if (sdl.scaledMode || width < 640 || height < 480) {
        width = 640;
        height = 480;
    }
    sdl.screenWidth = width;
    sdl.screenHeight = height;
}

void platDesktopSize(int& width, int& height) {
    width = sdl.screenWidth;
    height = sdl.screenHeight;
}

void platScreenInfo(int& depth, int& width, int& height, int& refresh) {
    depth = 24;
    width = sdl.screenWidth;
    height = sdl.screenHeight;
    refresh = sdl.refresh;
}

bool platEnumDisplayMode(uint32_t index, DisplayMode& mode) {
    const DisplayMode desktop = {24, uint32_t(sdl.desktopWidth), uint32_t(sdl.desktopHeight),
                                 uint32_t(sdl.refresh)};
    const DisplayMode narrow = {24, 640, 480, uint32_t(sdl.refresh)};
    const bool desktopIsNarrow = sdl.desktopWidth == 640 && sdl.desktopHeight == 480;
    if (index == 0) {
        mode = desktop;
        return true;
    }
    if (index == 1 && !desktopIsNarrow && !sdl.hostWindow) {
        mode = narrow;
        return true;
    }
    return false;
}

int platChangeDisplay(const DisplayMode* mode, bool testOnly) {
    bool narrow = false;
    if (mode) {
        if (mode->width == 640 && mode->height == 480 && !sdl.hostWindow)
            narrow = true;
        else if (mode->width != uint32_t(sdl.desktopWidth) ||
                 mode->height != uint32_t(sdl.desktopHeight))
            return DispChangeFailed;
    }
    if (testOnly) return DispChangeSuccessful;
    sdl.scaledMode = narrow;
    sdlUpdateScreenSize();
    return DispChangeSuccessful;
}
