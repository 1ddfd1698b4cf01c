#include "app/settings_screen.h"

#include "core/settings.h"
#include "app/window.h"
#include "gfx/present.h"

namespace {
constexpr int32_t PictureWidth = 448;
constexpr int32_t PictureHeight = 320;
constexpr int32_t HitMapX = 448;
constexpr int32_t MarkerX = 896;
constexpr int32_t MarkerWidth = 24;
constexpr int32_t MarkerHeight = 23;
// The band below this row holds the OK button and reaches the window by painting only.
constexpr int32_t DirectCopyHeight = 275;

struct SettingGroup {
    int32_t* value;
    uint32_t colourClass;  // hit-map colour & 0xF0F0F0
    int32_t base;          // marker x of button 0; click index = (x - base) / step
    int32_t step;
    int32_t markerY;
    int32_t buttons;       // values 0 .. buttons - 1
};

const SettingGroup groups[] = {
    {&speed, 0xF00000, 18, 25, 145, 5},
    {&interval, 0x0000F0, 176, 46, 145, 3},
    {&music, 0xF0F000, 336, 55, 145, 2},
    {&fullScreen, 0xF0F0F0, 108, 55, 235, 2},
    {&antiAlias, 0x808080, 244, 55, 235, 2},
};
}  // namespace

void nearestChoices() {
    for (const SettingGroup& group : groups) {
        if (*group.value < 0) *group.value = 0;
        if (*group.value >= group.buttons) *group.value = group.buttons - 1;
    }
}

void drawSettingsScreen() {
    copyRect(screenSurface, 0, 0, PictureWidth, PictureHeight, sheetSurface, 0, 0, KeyOpaque);
    for (const SettingGroup& group : groups)
        copyRect(screenSurface, group.base + group.step * *group.value, group.markerY, MarkerWidth,
                 MarkerHeight, sheetSurface, MarkerX, 0, KeyTransparent);
    platBitBlt(windowDC, 0, 0, PictureWidth, DirectCopyHeight, screenSurface.hdc, 0, 0);
}

void settingsClick(int32_t x, int32_t y) {
    // Clicks outside the picture have no hit-map pixel to look at.
    if (x < 0 || y < 0 || x >= PictureWidth || y >= PictureHeight) return;
    uint32_t colourClass = getPixel(sheetSurface, x + HitMapX, y) & 0xF0F0F0;
    for (const SettingGroup& group : groups) {
        if (group.colourClass != colourClass) continue;
        int32_t index = (x - group.base) / group.step;
        if (index != *group.value) {
            *group.value = index;
            drawSettingsScreen();
        }
        return;
    }
}
