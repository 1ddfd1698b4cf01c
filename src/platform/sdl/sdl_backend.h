// State shared by the files of the sdl backend (entry, system services, windows).
#pragma once
#include <SDL.h>

#include <csignal>
#include <cstdint>

struct SdlBackend {
    // Run as a screen-saver host's hack: saver mode, input does not end it, SIGTERM does.
    bool hackMode;
    // The host's window (from $XSCREENSAVER_WINDOW), adopted as the main window.
    SDL_Window* hostWindow;
    uint64_t hostWindowId;
    // The real desktop: size and refresh rate.
    int32_t desktopWidth, desktopHeight, refresh;
    // The size the program is told the screen has: the desktop, the host window, or
    // 640 x 480 while that mode is set (or for a host window too small to hold it).
    int32_t screenWidth, screenHeight;
    // The 640 x 480 mode is set: it is shown scaled up on the unchanged desktop.
    bool scaledMode;
};

extern SdlBackend sdl;
extern volatile std::sig_atomic_t sdlTerminateRequested;

// Recomputes the screen size the program is told from the mode and the host window.
void sdlUpdateScreenSize();
