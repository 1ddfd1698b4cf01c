// The live picture in the host's preview pane ("/p <window number>"): the whole picture
// scaled down into a window over the pane, about ten times a second, with no sound, no
// display change, no instance marker and no input handling.
#pragma once
#include <cstdint>

#include "core/main_window.h"
#include "gfx/present.h"

// The window number after "/p" or "/P" (spaces or a colon between), 0 when the command
// line is no preview request or names no window.
uintptr_t previewWindowNumber(const char* commandLine);
// Opens the preview window over the parent's client area with its picture and timer,
// for a picture of screenWidth x screenHeight; 0 when there is none to draw in.
int32_t startPreview();
// The timer: ends the preview once the parent has gone, else scales the picture anew.
void previewTick();
