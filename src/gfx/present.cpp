#include "gfx/present.h"

#include "core/main_window.h"

Surface screenSurface;
Surface frameSurface;
Surface courseSurface;
Surface logoSurface;
Surface sheetSurface;
Surface previewSurface;
int32_t originX;
int32_t originY;
int32_t viewX;
int32_t viewY;

namespace {
int32_t changedTop;      // rows of screenSurface written and not yet repainted,
int32_t changedBottom;   // none when equal
}  // namespace

void resetPresentation() {
    screenSurface = frameSurface = courseSurface = logoSurface = sheetSurface = previewSurface = Surface();
    originX = originY = viewX = viewY = 0;
    changedTop = changedBottom = 0;
}

void noteRowsWritten(const Surface& surface, int64_t top, int64_t bottom) {
    if (&surface != &screenSurface) return;
    if (top < 0) top = 0;
    if (bottom > surface.height) bottom = surface.height;
    if (top >= bottom) return;
    if (changedTop >= changedBottom) {
        changedTop = int32_t(top);
        changedBottom = int32_t(bottom);
        return;
    }
    if (top < changedTop) changedTop = int32_t(top);
    if (bottom > changedBottom) changedBottom = int32_t(bottom);
}

bool takeScreenRows(int32_t& top, int32_t& bottom) {
    top = changedTop;
    bottom = changedBottom;
    changedTop = changedBottom = 0;
    return top < bottom;
}

// A frame that wrote nothing into screenSurface passes no rows: the window then has
// nothing to repaint. The preview pane is repainted on its own timer, from its scaled
// picture.
void requestRepaint() {
    int32_t top, bottom;
    takeScreenRows(top, bottom);
    if (!previewParent) platInvalidateRows(mainWindow, top, bottom);
}

void paintWindow() {
    PlatRect rect;
    DcHandle dc = platBeginPaint(mainWindow, rect);
    const Surface& shown = previewParent ? previewSurface : screenSurface;
    if (dc)
        // The rectangle's right and bottom are one past its last pixel.
        platBitBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                   shown.hdc, rect.left, rect.top);
    platEndPaint(mainWindow);
}

void showLogo(uint32_t darkness) {
    if (wideLayout())
        fadeRect(screenSurface, originX + 80, originY + 80, 640, 480, logoSurface, 0, 0, darkness);
    else
        fadeRect(screenSurface, viewX, viewY, 640, 480, logoSurface, 0, 0, darkness);
    requestRepaint();
}

void showCourse() {
    if (wideLayout())
        copyRect(screenSurface, originX, originY, PlayfieldWidth, PlayfieldHeight, courseSurface,
                 0, 0, KeyOpaque);
    else
        copyRect(screenSurface, viewX, viewY, 640, 480, courseSurface, 80, 80, KeyOpaque);
    requestRepaint();
}
