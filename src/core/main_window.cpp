#include "core/main_window.h"

WindowHandle mainWindow;
WindowHandle previewParent;

void resetMainWindow() { mainWindow = previewParent = nullptr; }
