#include "app/window.h"

#include "app/preview.h"
#include "app/settings_screen.h"
#include "app/startup.h"
#include "gfx/present.h"
#include "race/scenes.h"

DcHandle windowDC;
WindowHandle okButton;
uint32_t graceStartTick;
int32_t lastMousePos = -1;
const char* commandLineText = "";
int32_t showCommand;

void resetWindowState() {
    windowDC = nullptr;
    okButton = nullptr;
    graceStartTick = 0;
    lastMousePos = -1;
    commandLineText = "";
    showCommand = 0;
}

int32_t createMainWindow(WindowHandle& window, DcHandle& dc, const char* className,
                         const char* caption, int32_t iconId, uint32_t style, int32_t width,
                         int32_t height, int32_t x, int32_t y) {
    int desktopWidth = 0, desktopHeight = 0;
    desktopSize(desktopWidth, desktopHeight);
    platRegisterClass(className, windowProc, iconId);

    int32_t outerWidth = width, outerHeight = height;
    PlatRect rect = {0, 0, width, height};
    if (platAdjustWindowRect(rect, style)) {
        outerWidth = rect.right - rect.left;
        outerHeight = rect.bottom - rect.top;
    }
    if (x == -1) x = (desktopWidth - outerWidth) / 2;
    if (y == -1) y = (desktopHeight - outerHeight) / 2;

    window = platCreateWindow(className, caption, style, x, y, outerWidth, outerHeight, nullptr, 0);
    if (!window) return 0;
    platShowWindow(window, showCommand);
    dc = platGetDC(window);
    return 1;
}

int32_t createButton(WindowHandle& button, WindowHandle parent, const char* text, int32_t id,
                     int32_t width, int32_t height, int32_t x, int32_t y) {
    button = platCreateWindow("BUTTON", text, WsChild | WsVisible, x, y, width, height, parent, id);
    if (!button) return 0;
    platShowWindow(button, showCommand);
    return 1;
}

void quitAfterGrace() {
    if (platTickCount() - graceStartTick > GraceMs) platPostQuitMessage(0);
}

// Ends the saver once the pointer is 5 pixels from where it was first reported, in
// either axis; the reference point never moves, so jitter never ends it. Positions are
// signed 16-bit numbers: input from another monitor arrives in this window's coordinates,
// which are negative left of it and above it.
static void mouseRule(intptr_t lParam) {
    int32_t position = static_cast<int32_t>(lParam);
    if (lastMousePos == -1) {
        lastMousePos = position;
        return;
    }
    int32_t dx = int16_t(uint32_t(lastMousePos) & 0xFFFF) - int16_t(uint32_t(position) & 0xFFFF);
    int32_t dy = int16_t(uint32_t(lastMousePos) >> 16) - int16_t(uint32_t(position) >> 16);
    if (dx < 0) dx = -dx;
    if (dy < 0) dy = -dy;
    if (dx >= 5 || dy >= 5) quitAfterGrace();
}

intptr_t windowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    const bool settings = scene == SceneSettings;
    // Only the screen saver proper ends on input; the preview pane takes none.
    const bool saver = !settings && !previewParent;
    switch (message) {
    case WmDestroy:
        platPostQuitMessage(0);
        return 0;
    case WmPaint:
        paintWindow();
        return 0;
    case WmKillFocus:
    case WmKeyDown:
    case WmRButtonDown:
    case WmMouseWheel:
        if (saver) quitAfterGrace();
        return 0;
    case WmTimer:
        if (previewParent) previewTick();
        return 0;
    case WmCommand:
        if (settings) platPostQuitMessage(0);
        return 0;
    case WmMouseMove:
        if (saver) mouseRule(lParam);
        return 0;
    case WmLButtonDown:
        if (settings)
            settingsClick(int32_t(uint32_t(lParam) & 0xFFFF), int32_t((uint32_t(lParam) >> 16) & 0xFFFF));
        else if (saver)
            quitAfterGrace();
        return 0;
    default:
        return platDefWindowProc(window, message, wParam, lParam);
    }
}
