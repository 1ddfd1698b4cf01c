// The course scene of a later race frame by frame, and the scene cycle.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "app/startup.h"
#include "gfx/present.h"
#include "platform/headless/headless.h"
#include "race/board.h"
#include "race/scenes.h"
#include "support/pins.h"
#include "support/program_run.h"
#include "support/race_stage.h"

namespace {

// A later race's course scene: the old tiles close in (step 17), then the new ones grow
// from their middles (step 33), and the course under the finishing post is kept in the
// sheet. Every frame's course picture and step are pinned.
TEST(CourseScene, LaterRacesCloseOldTilesAndGrowDirtPinned) {
    RaceStage s(1024, 768);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            putPixel(sheetSurface, x, y, 0x010000u * uint32_t(x + 1) + 0x0100u * uint32_t(y + 1));
            putPixel(sheetSurface, 32 + x, y, 0x800000u + 0x0100u * uint32_t(y + 1) + uint32_t(x + 1));
        }
    raceCount = 1;
    trackKind = 1;
    drawRect(courseSurface, 0, 0, 799, 639, 0xFFFFFF, RectFill);
    PinnedRun pin("course-later-race", 10);
    uint8_t done = 0;
    for (int32_t i = 0; i < 1000 && !done; ++i) {
        done = courseSceneStep();
        platSleep(10);
        pin.frame(pinWhere(headlessElapsed(), SceneCourse, step), pinPicture(courseSurface), uint64_t(step));
    }
    EXPECT_EQ(step, 34);
    EXPECT_EQ(getPixel(courseSurface, 608 + 3, 192 + 4), 0x800000u + 0x0100u * 5 + 4) << "a dirt tile";
    EXPECT_EQ(getPixel(sheetSurface, 351, 367), getPixel(courseSurface, 763, 373));
    pin.check();
}

TEST(SceneCycle, ScenesOutsideTheMeetingDoNothing) {
    for (int32_t value : {int32_t(SceneSettings), int32_t(SceneQuit), 7}) {
        scene = value;
        step = 3;
        EXPECT_EQ(stepScenes(), 1);
        EXPECT_EQ(scene, value);
        EXPECT_EQ(step, 3);
    }
}

}  // namespace
