// The settings screen: markers, clicks through the hit map, redraws and the saved file.
#include <gtest/gtest.h>

#include "core/settings.h"
#include "app/settings_screen.h"
#include "app/window.h"
#include "gfx/present.h"
#include "support/program_run.h"

namespace {

struct SettingsScreen {
    ProgramRun run;
    SettingsScreen() {
        run.begin();
        startUp(ModeSettings);
    }
    ~SettingsScreen() { shutDown(mainWindow); }
    uint32_t redraws() const { return headlessCounters().blits; }
    // The marker's red ball sits in the middle of its 24 x 23 rectangle.
    bool markerAt(int x, int y) const {
        return getPixel(screenSurface, x + 12, y + 11) == getPixel(sheetSurface, 896 + 12, 11);
    }
};

TEST(SettingsScreen, DefaultMarkersAndClicksThatChangeNothing) {
    SettingsScreen screen;
    for (int x : {68, 222, 336}) EXPECT_TRUE(screen.markerAt(x, 145)) << x;
    for (int x : {163, 244}) EXPECT_TRUE(screen.markerAt(x, 235)) << x;
    EXPECT_FALSE(screen.markerAt(18, 145)) << "no marker on an unselected button";
    uint32_t before = screen.redraws();
    settingsClick(250, 240);  // anti-aliasing ON is already selected
    settingsClick(100, 40);   // the title
    settingsClick(5, 300);    // background
    settingsClick(447, 319);  // last pixel of the picture
    settingsClick(600, 10);   // outside the picture: no hit-map pixel is read
    EXPECT_EQ(screen.redraws(), before);
    EXPECT_EQ(speed, 2);
    EXPECT_EQ(antiAlias, 0);
}

TEST(SettingsScreen, ClicksSelectThroughTheHitMap) {
    SettingsScreen screen;
    struct Click {
        int x, y;
        int32_t* setting;
        int32_t value;
    };
    const Click clicks[] = {
        {30, 150, &speed, 0},     {125, 160, &speed, 4},    {284, 150, &interval, 2},
        {400, 150, &music, 1},    {120, 246, &fullScreen, 0},   {170, 240, &fullScreen, 1},
    };
    for (const Click& c : clicks) {
        uint32_t before = screen.redraws();
        settingsClick(c.x, c.y);
        EXPECT_EQ(*c.setting, c.value) << c.x << "," << c.y;
        EXPECT_EQ(screen.redraws(), before + 1) << "a change redraws once";
    }
    EXPECT_TRUE(screen.markerAt(18 + 25 * 4, 145));
    EXPECT_FALSE(screen.markerAt(68, 145)) << "the old marker is gone";
    EXPECT_TRUE(screen.markerAt(108 + 55, 235));
}

TEST(SettingsScreen, OkSavesWhatTheMarkersShow) {
    ProgramRun run;
    run.writeData("Setup.ini", {2, 1, 1, 1, 1, 1, 0, 0, 0});
    run.begin();
    headlessScript(100, WmLButtonDown, 0, mouseAt(125, 160));  // speed 4
    headlessScript(200, WmLButtonDown, 0, mouseAt(187, 156));  // interval 0
    headlessScript(300, WmLButtonDown, 0, mouseAt(345, 160));  // music on
    // Keys, other buttons, the wheel, moves and focus loss are ignored here.
    for (uint32_t message : {WmKeyDown, WmRButtonDown, WmMouseWheel, WmMouseMove, WmKillFocus})
        headlessScript(400, message, 0, mouseAt(5, 300));
    headlessScript(500, WmCommand, 0, 0);
    EXPECT_EQ(run.run("/c"), 0);
    EXPECT_GE(headlessElapsed(), 500u);
    EXPECT_EQ(run.readData("Setup.ini"), (std::vector<uint8_t>{2, 4, 0, 0, 1, 1}));
}

TEST(SettingsScreen, OutOfRangeValuesPutTheMarkerWhereTheFormulaSays) {
    ProgramRun run;
    run.writeData("Setup.ini", {2, 40, 1, 0, 1, 0});  // speed 40: marker far right
    run.begin();
    startUp(ModeSettings);
    EXPECT_EQ(speed, 40);  // clipped away, nothing written outside the picture
    settingsClick(54, 156);
    EXPECT_EQ(speed, 1);
    shutDown(mainWindow);
}

}  // namespace
