// The course scene of a later race frame by frame, and the scene cycle and its pace.
#include <gtest/gtest.h>

#include "core/settings.h"
#include "race/board.h"
#include "race/scenes.h"
#include "support/pins.h"
#include "support/program_run.h"
#include "support/race_stage.h"

namespace {

// A later race's course scene: the old tiles close in, then the new ones grow
// from their middles, and the course under the finishing post is kept in the
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
    EXPECT_EQ(getPixel(sheetSurface, 351, 367), getPixel(courseSurface, 763, 373));
    pin.check();
}

// When the next frame after one that began `took` ms ago has anything to do: at once,
// one frame period on, where the scene works every frame; after the next due tick of a
// timed step, or the local clock's next second on the board once its clock is shown,
// rounded up to whole periods. Speeds a settings file can hold pace the parade and race.
TEST(SceneCycle, NextFrameDueTable) {
    RaceStage stage(1024, 768);  // the local clock's milliseconds are those of the tick - 100000
    const struct {
        int32_t scene, step, speed;
        uint32_t now, sinceTick, took;
        int32_t clockShown;  // 1: the board has drawn its clock on the window
        uint32_t due;
    } rows[] = {
        {SceneLogo, LogoFadeIn, 2, 100000, 0, 0, 0, 60},   {SceneLogo, LogoFadeOut, 2, 100000, 45, 0, 0, 10},
        {SceneLogo, LogoHold, 2, 100000, 0, 7, 0, 1010},   {SceneCourse, CourseTilesOpen, 2, 100000, 20, 0, 0, 40},
        {SceneCourse, CourseTilesClose, 2, 100000, 50, 10, 0, 20},
        {SceneCourse, CourseTilesClosed, 2, 100000, 0, 0, 0, 10},
        {SceneBoard, BoardFadeIn, 2, 100000, 0, 0, 0, 60}, {SceneBoard, BoardWaitStart, 2, 100000, 0, 0, 1, 1000},
        {SceneBoard, BoardWaitStart, 2, 100250, 0, 0, 1, 750}, {SceneBoard, BoardWaitStart, 2, 100995, 0, 0, 1, 10},
        {SceneBoard, BoardWaitStart, 2, 101500, 0, 0, 0, 10}, {SceneParade, ParadeWalk, 0, 102000, 0, 0, 0, 70},
        {SceneParade, ParadeWalk, 4, 102000, 0, 0, 0, 90}, {SceneParade, ParadeStart, 2, 102000, 0, 0, 0, 50},
        {SceneRace, RaceRunning, -128, 102000, 0, 0, 0, 10}, {SceneRace, RaceResult, 127, 102000, 0, 0, 0, 2550},
        // The tick count's wrap between the last tick and now, or between now and the due tick.
        {SceneLogo, LogoHold, 2, 0xFFFFFFF0u, 0, 0, 0, 1010}, {SceneLogo, LogoHold, 2, 5, 21, 0, 0, 980},
        {SceneParade, ParadeWalk, 2, 0xFFFFFFFFu, 30, 0, 0, 50},
    };
    for (const auto& r : rows) {
        platSleep(r.now - platTickCount());
        scene = r.scene;
        step = r.step;
        speed = r.speed;
        stepTick = r.now - r.sinceTick;
        resetBoard();
        if (r.clockShown) drawClock(ClockLive | ClockToScreen);
        EXPECT_EQ(nextFrameDue(r.now - r.took, framePeriod(scene)), r.due)
            << "scene " << r.scene << " step " << r.step << " at " << r.now << " speed " << r.speed;
    }
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
