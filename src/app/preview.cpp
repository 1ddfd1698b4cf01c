#include "app/preview.h"

#include "app/window.h"
#include "core/settings.h"
#include "gfx/present.h"

namespace {

constexpr uintptr_t PreviewTimer = 1;
constexpr uint32_t PreviewPeriod = 100;

// Where the scaled picture sits in the pane: the largest size with the picture's
// proportions, centred; the bars beside it stay black.
int32_t pictureX, pictureY, pictureWidth, pictureHeight;

}  // namespace

uintptr_t previewWindowNumber(const char* text) {
    if (!text || text[0] != '/' || (text[1] != 'p' && text[1] != 'P')) return 0;
    const char* p = text + 2;
    while (*p == ' ' || *p == ':') ++p;
    uintptr_t number = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        uintptr_t next = number * 10 + uintptr_t(*p - '0');
        if (next / 10 != number) return 0;  // too large for a window number
        number = next;
    }
    return *p == 0 || *p == ' ' ? number : 0;
}

int32_t startPreview() {
    int width = 0, height = 0;
    if (!platClientSize(previewParent, width, height) || width <= 0 || height <= 0) return 0;
    if (int64_t(width) * screenHeight <= int64_t(height) * screenWidth) {
        pictureWidth = width;
        pictureHeight = int32_t(int64_t(width) * screenHeight / screenWidth);
    } else {
        pictureHeight = height;
        pictureWidth = int32_t(int64_t(height) * screenWidth / screenHeight);
    }
    pictureX = (width - pictureWidth) / 2;
    pictureY = (height - pictureHeight) / 2;

    platRegisterClass("WND_PREVIEW", windowProc, 0);
    mainWindow = platCreateWindow("WND_PREVIEW", "", WsChild | WsVisible, 0, 0, width, height,
                                  previewParent, 0);
    if (!mainWindow) return 0;
    windowDC = platGetDC(mainWindow);
    createSurface(previewSurface, windowDC, width, height, 24);
    platSetTimer(mainWindow, PreviewTimer, PreviewPeriod);
    platInvalidate(mainWindow);
    return 1;
}

void previewTick() {
    if (!platIsWindow(previewParent)) {
        platPostQuitMessage(0);
        return;
    }
    platStretchBlt(previewSurface.hdc, pictureX, pictureY, pictureWidth, pictureHeight,
                   screenSurface.hdc, 0, 0, screenWidth, screenHeight);
    platInvalidate(mainWindow);
}
