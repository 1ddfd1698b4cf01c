// The headless platform: the whole program on a virtual clock, with scripted input
// and a frame sink that sees every paint. Used by the tests and by pellrun-sim.
#pragma once
#include <cstdint>

#include "platform/platform.h"
#include "platform/soft/soft.h"

struct HeadlessConfig {
    int32_t desktopWidth = 1024;
    int32_t desktopHeight = 768;
    int32_t depth = 24;
    int32_t refresh = 60;
    // Local time at start-up; the virtual clock runs on from it.
    LocalTime startTime = {2026, 12, 0, 6, 12, 0, 0, 0};
    uint32_t startTick = 100000;
    // Another process holds the instance marker.
    bool markerTaken = false;
    // The result of the display test for a 640 x 480 mode.
    int32_t displayTestResult = DispChangeSuccessful;
    // Offer a 640 x 480 mode at all.
    bool has640Mode = true;
    // When not negative, the calendar time (and so the random seed) at start-up in
    // seconds, instead of the one that follows from startTime.
    int64_t seedSeconds = -1;
    // The font file text is drawn with (the tests draw with one they make themselves).
    const char* fontFile = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";
};

// Starts a fresh run: clock, windows, queue, script, counters.
void headlessReset(const HeadlessConfig& config);
const HeadlessConfig& headlessConfig();

// Posts message to the main window when the virtual tick count reaches atTick
// (milliseconds after start-up began, i.e. after startTick).
bool headlessScript(uint32_t afterStartMs, uint32_t message, uintptr_t wParam, intptr_t lParam);

typedef void (*HeadlessFrameSink)(const SoftBitmap& picture, void* user);
// Called after every served paint with what the window shows.
void headlessSetFrameSink(HeadlessFrameSink sink, void* user);
// Called on every Sleep, before the clock moves on; the simulator and tests watch the
// program's state there.
typedef void (*HeadlessSleepHook)(void* user);
void headlessSetSleepHook(HeadlessSleepHook hook, void* user);

uint32_t headlessElapsed();   // virtual ms since start
struct HeadlessCounters {
    uint32_t paints;
    uint32_t blits;           // copies into the window's picture
    int32_t cursorCount;      // ShowCursor display counter
    int32_t displayChanges;   // real (non-test) mode changes
    int32_t currentWidth, currentHeight, currentFrequency;
    uint32_t sleeps;
    uint32_t waits;           // waits for a message (at most two a frame: to the repaint, then on)
};
const HeadlessCounters& headlessCounters();
// What the main window shows now (nullptr without a window).
const SoftBitmap* headlessWindowPicture();
