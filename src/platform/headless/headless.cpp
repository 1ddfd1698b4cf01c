#include "platform/headless/headless.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {
HeadlessConfig config;
HeadlessCounters counters;
uint32_t tick;
HeadlessFrameSink frameSink;
void* frameUser;
HeadlessSleepHook sleepHook;
void* sleepUser;
bool markerHeld;

struct ScriptedMessage {
    uint32_t at;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};
constexpr int MaxScript = 256;
ScriptedMessage script[MaxScript];
int scriptCount;

// 640 x 480 modes at two rates and depths, then the desktop mode and one of its width only.
DisplayMode modes[8];
int modeCount;
}  // namespace

void headlessReset(const HeadlessConfig& c) {
    // Another font file: the text output loads it at its next use.
    static char fontInUse[512];
    const char* font = c.fontFile ? c.fontFile : "";
    if (std::strncmp(fontInUse, font, sizeof fontInUse) != 0) {
        std::snprintf(fontInUse, sizeof fontInUse, "%s", font);
        softReloadFont();
    }
    config = c;
    counters = HeadlessCounters();
    counters.currentWidth = c.desktopWidth;
    counters.currentHeight = c.desktopHeight;
    counters.currentFrequency = c.refresh;
    tick = c.startTick;
    frameSink = nullptr;
    sleepHook = nullptr;
    markerHeld = false;
    scriptCount = 0;
    modeCount = 0;
    if (c.has640Mode) {
        modes[modeCount++] = {16, 640, 480, 60};
        modes[modeCount++] = {uint32_t(c.depth), 640, 480, 60};
        modes[modeCount++] = {uint32_t(c.depth), 640, 480, 75};
    }
    modes[modeCount++] = {uint32_t(c.depth), uint32_t(c.desktopWidth), uint32_t(c.desktopHeight),
                          uint32_t(c.refresh)};
    // The desktop's width at half its height: only the full match is the mode to restore.
    modes[modeCount++] = {uint32_t(c.depth), uint32_t(c.desktopWidth), uint32_t(c.desktopHeight / 2),
                          uint32_t(c.refresh)};
    softReset();
}

const HeadlessConfig& headlessConfig() { return config; }

bool headlessScript(uint32_t afterStartMs, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (scriptCount == MaxScript) return false;
    script[scriptCount++] = {config.startTick + afterStartMs, message, wParam, lParam};
    return true;
}

void headlessSetFrameSink(HeadlessFrameSink sink, void* user) {
    frameSink = sink;
    frameUser = user;
}

void headlessSetSleepHook(HeadlessSleepHook hook, void* user) {
    sleepHook = hook;
    sleepUser = user;
}

uint32_t headlessElapsed() { return tick - config.startTick; }
const HeadlessCounters& headlessCounters() { return counters; }

const SoftBitmap* headlessWindowPicture() {
    SoftWindow* window = softMainWindow();
    return window ? &window->backing.bitmap : nullptr;
}

// ---- Time ----------------------------------------------------------------------------

// ---- Data folder and settings file --------------------------------------------------
// The data folder is "Data" under the current directory; with no usable current
// directory there is none (rather than a "\\Data\\" at the root of the drive).
uint32_t platDataFolder(char* buffer, uint32_t size) {
    if (!buffer || size == 0) return 0;
    buffer[0] = 0;
    char directory[1024];
    uint32_t length = platCurrentDirectory(directory, sizeof directory);
    if (length == 0) return 0;
    int n = std::snprintf(buffer, size, "%s\\Data\\", directory);
    if (n <= 0 || uint32_t(n) >= size) {
        buffer[0] = 0;
        return 0;
    }
    return uint32_t(n);
}

// The settings file lives in the data folder. No run-time settings are given here.
uint32_t platSettingsFile(const char* dataFolder, char* buffer, uint32_t size, bool) {
    if (!buffer || size == 0) return 0;
    buffer[0] = 0;
    if (!dataFolder || !dataFolder[0]) return 0;
    int n = std::snprintf(buffer, size, "%sSetup.ini", dataFolder);
    if (n <= 0 || uint32_t(n) >= size) {
        buffer[0] = 0;
        return 0;
    }
    return uint32_t(n);
}

void platRunSettings(RunSettings& settings) { settings = RunSettings{-1, -1, -1, -1}; }

uint32_t platTickCount() { return tick; }

void platSleep(uint32_t milliseconds) {
    ++counters.sleeps;
    if (sleepHook) sleepHook(sleepUser);
    tick += milliseconds;
}

static int64_t startEpochSeconds() {
    std::tm t = {};
    t.tm_year = config.startTime.year - 1900;
    t.tm_mon = config.startTime.month - 1;
    t.tm_mday = config.startTime.day;
    t.tm_hour = config.startTime.hour;
    t.tm_min = config.startTime.minute;
    t.tm_sec = config.startTime.second;
#ifdef _WIN32
    return static_cast<int64_t>(_mkgmtime(&t));
#else
    return static_cast<int64_t>(timegm(&t));
#endif
}

void platLocalTime(LocalTime& out) {
    int64_t ms = int64_t(config.startTime.milliseconds) + int64_t(tick - config.startTick);
    std::time_t seconds = static_cast<std::time_t>(startEpochSeconds() + ms / 1000);
    std::tm t = {};
#ifdef _WIN32
    gmtime_s(&t, &seconds);
#else
    gmtime_r(&seconds, &t);
#endif
    out = softLocalTime(t, static_cast<int32_t>(ms % 1000));
}

int64_t platCalendarSeconds() {
    int64_t base = config.seedSeconds >= 0 ? config.seedSeconds : startEpochSeconds();
    return base + int64_t(tick - config.startTick) / 1000;
}

// ---- Instance marker --------------------------------------------------------------------

MarkerHandle platCreateMarker(const char*, bool* alreadyExists) {
    *alreadyExists = config.markerTaken || markerHeld;
    markerHeld = true;
    static int token;
    return reinterpret_cast<MarkerHandle>(&token);
}

void platReleaseMarker(MarkerHandle) { markerHeld = false; }

// ---- Screen, cursor, display modes ----------------------------------------------------------

int platShowCursor(bool show) { return counters.cursorCount += show ? 1 : -1; }

void platDesktopSize(int& width, int& height) {
    width = counters.currentWidth;
    height = counters.currentHeight;
}

void platScreenInfo(int& depth, int& width, int& height, int& refresh) {
    depth = config.depth;
    width = counters.currentWidth;
    height = counters.currentHeight;
    refresh = counters.currentFrequency;
}

bool platEnumDisplayMode(uint32_t index, DisplayMode& mode) {
    if (index >= uint32_t(modeCount)) return false;
    mode = modes[index];
    return true;
}

int platChangeDisplay(const DisplayMode* mode, bool testOnly) {
    if (!mode) {
        counters.currentWidth = config.desktopWidth;
        counters.currentHeight = config.desktopHeight;
        counters.currentFrequency = config.refresh;
        return DispChangeSuccessful;
    }
    int result = DispChangeSuccessful;
    if (mode->width == 640 && mode->height == 480) result = config.displayTestResult;
    if (testOnly || result != DispChangeSuccessful) return result;
    ++counters.displayChanges;
    counters.currentWidth = int32_t(mode->width);
    counters.currentHeight = int32_t(mode->height);
    counters.currentFrequency = int32_t(mode->frequency);
    return DispChangeSuccessful;
}

// ---- Window system hooks --------------------------------------------------------------------

void backendPumpEvents() {
    SoftWindow* window = softMainWindow();
    // Due messages are posted in the order they were scripted.
    int kept = 0;
    for (int i = 0; i < scriptCount; ++i) {
        if (int32_t(tick - script[i].at) >= 0) {
            if (window)
                softPostMessage(softHandle(window), script[i].message, script[i].wParam,
                                script[i].lParam);
        } else {
            script[kept++] = script[i];
        }
    }
    scriptCount = kept;
}

void backendWaitEvents() { platSleep(1); }

// The virtual clock moves on a millisecond at a time, so the sleep hook sees every
// millisecond; input wakes the wait at the millisecond it is due, and so does a message
// posted from the hook, as they would a real one.
void backendWaitMessage(uint32_t timeoutMs) {
    ++counters.waits;
    for (uint32_t i = 0; i < timeoutMs; ++i) {
        backendPumpEvents();
        if (softMessageWaiting()) return;
        platSleep(1);
    }
}
void backendWindowCreated(SoftWindow*) {}
void backendWindowShown(SoftWindow*, int) {}
void backendWindowDestroyed(SoftWindow*) {}

void backendWindowChanged(SoftWindow* window, const PlatRect&) {
    if (!window->parent) ++counters.blits;
}

void backendPaintDone(SoftWindow* window) {
    if (window->parent) return;
    ++counters.paints;
    if (frameSink) frameSink(window->backing.bitmap, frameUser);
}
