// The main window, its device context, the OK button and the input rules.
#pragma once
#include <cstdint>

#include "core/main_window.h"
#include "platform/platform.h"

extern DcHandle windowDC;
extern WindowHandle okButton;
// Input ends the screen saver only once more than GraceMs have passed since this tick.
extern uint32_t graceStartTick;
constexpr uint32_t GraceMs = 500;
// The first mouse position reported (x in bits 0-15, y in 16-31); -1 until then.
extern int32_t lastMousePos;

// The instance values the entry point keeps.
extern const char* commandLineText;
extern int32_t showCommand;

// The values above as at process start.
void resetWindowState();

int32_t createMainWindow(WindowHandle& window, DcHandle& dc, const char* className,
                         const char* caption, int32_t iconId, uint32_t style, int32_t width,
                         int32_t height, int32_t x, int32_t y);
int32_t createButton(WindowHandle& button, WindowHandle parent, const char* text, int32_t id,
                     int32_t width, int32_t height, int32_t x, int32_t y);
intptr_t windowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
void quitAfterGrace();
