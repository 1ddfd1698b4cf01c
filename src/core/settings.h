// The five user settings, the data directory and the screen size of the run.
#pragma once
#include <cstdint>

constexpr int32_t SettingsVersion = 2;
constexpr int32_t PathSize = 260;

extern int32_t speed;       // 0..4: parade and race frames last speed * 20 + 10 ms
extern int32_t interval;    // 0..2: races start 1, 2 or 3 minutes after the board
extern int32_t music;       // 0 on, 1 off (music and effects)
extern int32_t fullScreen;  // 0 on (640 x 480 display), 1 off
extern int32_t antiAlias;   // 0 smoothed board texts, 1 plain

// The data folder the platform chose, ending in a backslash; empty when there is none.
extern char dataDir[PathSize + 8];

extern int32_t screenWidth;
extern int32_t screenHeight;

void setDefaultSettings();
// The settings at their defaults, no data folder and no screen size, as at process start.
void resetSettingsState();
// Reads Setup.ini from dataDir; anything but a complete version-2 record keeps the
// defaults. Returns 1 when the file's values were taken.
int32_t readSettings();
// Replaces Setup.ini with the 6-byte record; returns 1 when it is in place. A failed
// save leaves the old file as it was.
int32_t writeSettings();
