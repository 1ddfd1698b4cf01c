// Bringing the program up in one of its two modes and taking it down again, and the
// switch of the display to 640 x 480.
#pragma once
#include <cstdint>

#include "platform/platform.h"

enum : int32_t { ModeScreenSaver = 0, ModeSettings = 1, ModePreview = 2 };

extern int32_t mode640;
extern int32_t modeAtStart;
extern int32_t refreshAtStart;

int32_t startUp(int32_t mode);
// Returns 0 when the settings screen ends and its settings could not be saved, else 1.
int32_t shutDown(WindowHandle window);
// 0 enumerates the modes, 1 switches to 640 x 480, 2 restores the start-up mode.
int32_t changeDisplay(int32_t action);
int32_t desktopSize(int& width, int& height);

// The display modes found and whether the display was switched, as at process start.
void resetDisplayModes();
// Puts every program-wide value back to its initial state, so that one process can run
// the program more than once (tests, the simulator): each subsystem's reset, declared
// beside its values.
void resetProgramState();
