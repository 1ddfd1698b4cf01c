// The windows every layer may need to name: the program's main window and, in the
// preview mode, the host's window it draws over.
#pragma once

#include "platform/platform.h"

extern WindowHandle mainWindow;
// The host's window for the preview; null in every other mode.
extern WindowHandle previewParent;

// No windows, as at process start.
void resetMainWindow();
