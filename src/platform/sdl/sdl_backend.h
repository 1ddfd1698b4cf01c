// State shared by the files of the sdl backend (entry, system services, windows).
#pragma once
#include <SDL.h>

#include <csignal>
#include <cstdint>

#include "platform/sdl/host.h"

struct SdlBackend {
    // Run as a screen-saver host's hack: saver mode, input does not end it, SIGTERM does.
    bool hackMode;
    // The host's window (from $XSCREENSAVER_WINDOW), adopted as the main window.
    SDL_Window* hostWindow;
    uint64_t hostWindowId;
    // The real desktop: size and refresh rate.
    int32_t desktopWidth, desktopHeight, refresh;
    // The size the program is told the screen has: the picture it shows, 800 x 640, or
    // 640 x 480 while that mode is set (or for a host window too small to hold it),
    // enlarged to each screen here; a screen too small for 800 x 640 is told as it is.
    int32_t screenWidth, screenHeight;
    // The 640 x 480 mode is set: it is shown scaled up on the unchanged desktop.
    bool scaledMode;
    // The command-line options and the folder the program was started from.
    HostOptions options;
    char exeDir[1024];
    // Another hack of the same user plays the music and effects: this one stays quiet.
    bool quiet;
};

extern SdlBackend sdl;
extern volatile std::sig_atomic_t sdlTerminateRequested;

// Recomputes the screen size the program is told from the mode and the host window.
void sdlUpdateScreenSize();

// Takes the lock file name in the run-time folder and keeps its path in path (size
// bytes). Returns its descriptor; SdlLockHeld when another copy of the program holds the
// lock; SdlLockUnavailable when there is no file to lock (no safe folder, or the file
// could not be opened or locked): the program then runs as if it held the lock.
enum { SdlLockHeld = -1, SdlLockUnavailable = -2 };
int sdlTakeLock(const char* name, char* path, size_t size);
// Removes the lock file and lets the lock go (nothing when fd is no descriptor).
void sdlDropLock(int fd, const char* path);
