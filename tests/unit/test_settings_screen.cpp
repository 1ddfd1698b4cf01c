// The settings screen: markers, clicks through the hit map, redraws and the saved file.
#include <gtest/gtest.h>

#include "core/settings.h"
#include "app/settings_screen.h"
#include "app/window.h"
#include "gfx/present.h"
#include "support/pins.h"
#include "support/program_run.h"
#include "support/race_stage.h"

namespace {

TEST(SettingsScreen, DefaultMarkersAndClicksThroughTheHitMapPinned) {
    ProgramRun run;
    run.begin();
    startUp(ModeSettings);
    PinnedRun pin("settings-screen");
    pin.frame("the defaults' markers", pinPicture(screenSurface));
    const struct {
        int x, y;
        int32_t* setting;
        int32_t value;
        uint32_t redraws;
    } clicks[] = {
        // Anti-aliasing ON already selected, the title, background, the picture's last
        // pixel, outside the picture (no hit-map pixel is read): no change, no redraw.
        {250, 240, &antiAlias, 0, 0}, {100, 40, &speed, 2, 0}, {5, 300, &speed, 2, 0},
        {447, 319, &speed, 2, 0},     {600, 10, &speed, 2, 0},
        {30, 150, &speed, 0, 1},      {125, 160, &speed, 4, 1},     {284, 150, &interval, 2, 1},
        {400, 150, &music, 1, 1},     {120, 246, &fullScreen, 0, 1}, {170, 240, &fullScreen, 1, 1},
    };
    for (const auto& c : clicks) {
        const uint32_t before = headlessCounters().blits;
        settingsClick(c.x, c.y);
        EXPECT_EQ(*c.setting, c.value) << c.x << "," << c.y;
        EXPECT_EQ(headlessCounters().blits, before + c.redraws) << c.x << "," << c.y;
    }
    // Each marker (the sheet's red ball, 24 x 23) is drawn over the picture at its button.
    pin.frame("after the clicks", pinPicture(screenSurface));
    pin.check();
    shutDown(mainWindow);
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

// Stored values out of range show the markers of the nearest choices, as if the file
// held those.
TEST(SettingsScreen, OutOfRangeValuesShowTheNearestChoice) {
    uint64_t pictures[2];
    const std::vector<uint8_t> files[2] = {{2, 0x7F, 0x80, 0x7F, 0x80, 0x7F}, {2, 4, 0, 1, 0, 1}};
    for (int i = 0; i < 2; ++i) {
        ProgramRun run;
        run.writeData("Setup.ini", files[i]);
        run.begin();
        startUp(ModeSettings);
        pictures[i] = surfaceHash(screenSurface);
        shutDown(mainWindow);
    }
    EXPECT_TRUE(pictures[0] == pictures[1]) << std::hex << pictures[0] << " and " << pictures[1];
}

}  // namespace
