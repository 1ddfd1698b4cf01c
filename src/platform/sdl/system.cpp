// System services of the sdl backend: clock and local time, the instance marker, the
// cursor counter, the desktop and the display modes.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/platform.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/soft/soft.h"

// ---- Time ------------------------------------------------------------------------------

uint32_t platTickCount() { return SDL_GetTicks(); }

void platSleep(uint32_t milliseconds) { SDL_Delay(milliseconds); }

void platLocalTime(LocalTime& out) {
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm t = {};
    localtime_r(&now.tv_sec, &t);
    out = softLocalTime(t, int32_t(now.tv_nsec / 1000000));
}

// --seed N: the calendar stands at N when the program starts, as in pellrun-sim, so the
// same meeting is drawn.
int64_t platCalendarSeconds() {
    if (sdl.options.seed >= 0) return sdl.options.seed + int64_t(SDL_GetTicks() / 1000);
    return int64_t(std::time(nullptr));
}

// ---- Data folder, settings, run-time settings -------------------------------------------

uint32_t platDataFolder(char* buffer, uint32_t size) {
    return hostDataFolder(sdl.exeDir, buffer, size);
}

uint32_t platSettingsFile(const char*, char* buffer, uint32_t size, bool forWrite) {
    return hostSettingsFile(buffer, size, forWrite);
}

void platRunSettings(RunSettings& settings) { settings = sdl.options.settings; }

// ---- Locks and the instance marker ------------------------------------------------------
// A lock file in the run-time folder; the lock goes with the process, so a crashed run
// leaves nothing that blocks the next. A clean end removes the file. Only a lock that
// another process holds on our own file means another copy runs.

int sdlTakeLock(const char* name, char* path, size_t size) {
    char folder[1024];
    path[0] = 0;
    if (!hostRuntimeFolder("/tmp", folder, sizeof folder)) return SdlLockUnavailable;
    const int n = std::snprintf(path, size, "%s/%s", folder, name);
    if (n <= 0 || size_t(n) >= size) {
        path[0] = 0;
        return SdlLockUnavailable;
    }
    // The copy that held the lock may remove the file just after another opened it:
    // only a lock on the file that still has the name counts.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = open(path, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) break;
        struct stat opened, named;
        const bool ours = fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == geteuid();
        if (ours && flock(fd, LOCK_EX | LOCK_NB) == 0) {
            if (stat(path, &named) == 0 && named.st_ino == opened.st_ino && named.st_dev == opened.st_dev)
                return fd;
            close(fd);
            continue;
        }
        const bool held = ours && errno == EWOULDBLOCK;
        close(fd);
        if (held) {
            path[0] = 0;
            return SdlLockHeld;
        }
        break;
    }
    path[0] = 0;
    return SdlLockUnavailable;
}

void sdlDropLock(int fd, const char* path) {
    if (fd < 0) return;
    unlink(path);
    close(fd);
}

namespace {
char markerPath[1024];
}

MarkerHandle platCreateMarker(const char* name, bool* alreadyExists) {
    // The host runs one hack per monitor, each in its own window: one marker each. A
    // window to watch has its own: one at a time, and the saver still starts beside it.
    char file[256];
    if (sdl.hostWindow)
        std::snprintf(file, sizeof file, "%s-%llx.lock", name, (unsigned long long)sdl.hostWindowId);
    else if (sdl.options.window)
        std::snprintf(file, sizeof file, "%s-window.lock", name);
    else
        std::snprintf(file, sizeof file, "%s.lock", name);
    const int fd = sdlTakeLock(file, markerPath, sizeof markerPath);
    *alreadyExists = fd == SdlLockHeld;
    return fd >= 0 ? reinterpret_cast<MarkerHandle>(intptr_t(fd) + 1) : nullptr;
}

void platReleaseMarker(MarkerHandle marker) {
    if (!marker) return;
    sdlDropLock(int(reinterpret_cast<intptr_t>(marker) - 1), markerPath);
    markerPath[0] = 0;
}

// ---- Cursor --------------------------------------------------------------------------------

int platShowCursor(bool show) {
    // The display counter of the Windows edition: the cursor shows while it is >= 0.
    static int counter;
    counter += show ? 1 : -1;
    // A window to watch keeps the pointer the desktop shows.
    SDL_ShowCursor(counter >= 0 || sdl.options.window ? SDL_ENABLE : SDL_DISABLE);
    return counter;
}

// ---- Desktop and display modes ---------------------------------------------------------------
// The real display mode is never changed. The 640 x 480 mode is offered and accepted;
// while it is set, the window made at that size fills the desktop with the picture
// scaled up.

void sdlUpdateScreenSize() {
    int width = sdl.desktopWidth, height = sdl.desktopHeight;
    if (sdl.hostWindow) SDL_GetWindowSize(sdl.hostWindow, &width, &height);
    // The program draws just the picture it shows, which the windows enlarge to their
    // screens. A screen that cannot hold the playfield is told as it is (shown one to
    // one, as the Windows edition does); one smaller than the narrow layout gets that.
    if (sdl.scaledMode || width < 640 || height < 480) {
        width = 640;
        height = 480;
    } else if (sdl.options.window || (width >= 800 && height >= 640)) {
        width = 800;
        height = 640;
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
