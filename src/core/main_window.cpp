#include "core/main_window.h"

WindowHandle mainWindow;
WindowHandle previewParent;
