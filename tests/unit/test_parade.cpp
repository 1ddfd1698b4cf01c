// The parade to the gate, tick by tick: its places and pictures, the end of the scene
// and the ticks' pace.
#include <gtest/gtest.h>

#include "support/race_stage.h"

namespace {

// The narrow view of a course painted with its own positions, a cover and a sprite of
// its own colour in every column: each tick's places and pictures are pinned.
TEST(Parade, TimelineAndPicturesPinned) {
    RaceStage stage(640, 480);
    RaceStage::paintPositions();
    drawRect(sheetSurface, 0, 815, 143, 862, 0xA05020, RectFill);
    for (uint32_t c = 0; c < 10; ++c)
        for (uint32_t i = 0; i < RunnerCount; ++i)
            drawRect(sheetSurface, 32 * c + 8, 367 + 32 * i + 8, 32 * c + 23, 367 + 32 * i + 23,
                     0x10101u * (c + 1) * (i + 3), RectFill);
    scene = SceneParade;
    step = 0;
    uint64_t trace = 0;
    int32_t ticks = 0;
    for (uint8_t over = 0; !over && ticks < 700; ++ticks) {
        over = paradeSceneStep();
        platSleep(66);
        for (const Runner& r : runners) fold(trace, uint64_t(r.x) << 32 ^ uint64_t(r.y) << 8 ^ r.section);
        fold(trace, surfaceHash(frameSurface));
        fold(trace, surfaceHash(screenSurface));
    }
    EXPECT_EQ(ticks, 601) << "the scene ends at tick 600";
    EXPECT_EQ(trace, 0x51389a8ae3f47207ull);
}

TEST(Parade, NoMovementOrDrawingBetweenTicks) {
    RaceStage stage;
    scene = SceneParade;
    step = 0;
    paradeSceneStep();
    platSleep(66);
    paradeSceneStep();
    ASSERT_EQ(runners[0].section, SectionParadeRight);
    // Every drawn frame moves a runner's animation count on.
    uint8_t count = runners[0].animTick;
    for (int32_t k = 0; k < 6; ++k) {
        platSleep(10);  // 60 ms in all: not yet a tick
        EXPECT_EQ(paradeSceneStep(), 0);
    }
    EXPECT_EQ(runners[0].x, 224);
    EXPECT_EQ(runners[0].animTick, count) << "nothing drawn between ticks";
    platSleep(6);
    paradeSceneStep();
    EXPECT_EQ(runners[0].x, 227);
    EXPECT_NE(runners[0].animTick, count);
}

}  // namespace
