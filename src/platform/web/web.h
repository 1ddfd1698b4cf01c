// State shared by the files of the web backend: the entry and its pass-by-pass driver,
// the system services, the canvas and the sound.
//
// The browser runs the event loop: the program is driven a pass at a time
// (pellrunPass) from timers, never blocking. With fast on the clock is virtual, as the
// headless platform's, and every wait passes at once.
#pragma once
#include <cstdint>

#include "platform/platform.h"
#include "platform/sdl/host.h"

struct WebBackend {
    // The page's URL parameters, as the Linux edition's options (--seed, --speed,
    // --interval, --music, --smooth).
    HostOptions options;
    bool fast;
    bool settingsMode;         // pellrun.html#settings
    uint32_t virtualTick;      // fast: the tick count
    // The size the program is told the screen has: the 800 x 640 playfield, or 640 x 480
    // while that mode is set; the canvas shows it filled.
    int32_t screenWidth, screenHeight;
    bool narrowMode;
};

extern WebBackend web;

// The virtual clock's start, as pellrun-sim starts: tick 100000 at 2026-12-06 12:00:00.
constexpr uint32_t WebVirtualStartTick = 100000;

// Sends what changed in the window's picture to the canvas.
void webPresent();
