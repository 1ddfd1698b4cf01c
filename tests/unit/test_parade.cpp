// The parade to the gate, frame by frame: its places and pictures, the end of the scene
// and the ticks' pace.
#include <gtest/gtest.h>

#include <string>

#include "support/pins.h"
#include "support/race_stage.h"

namespace {

// The narrow view of a course painted with its own positions, a cover and a sprite of
// its own colour in every column: each tick's pictures and each frame's places are pinned.
TEST(Parade, TimelineAndPicturesPinned) {
    RaceStage stage(640, 480);
    RaceStage::paintPositions();
    drawRect(sheetSurface, 0, 815, 143, 862, 0xA05020, RectFill);
    for (uint32_t c = 0; c < 10; ++c)
        for (uint32_t i = 0; i < RunnerCount; ++i)
            drawRect(sheetSurface, 32 * c + 8, 367 + 32 * i + 8, 32 * c + 23, 367 + 32 * i + 23,
                     0x10101u * (c + 1) * (i + 3), RectFill);
    scene = SceneParade;
    step = ParadeStart;
    PinnedRun pin("parade", 40);
    int32_t ticks = 0;
    for (uint8_t over = 0; !over && ticks < 700; ++ticks) {
        over = paradeSceneStep();
        uint64_t trace = surfaceHash(frameSurface);
        // Frames up to 60 ms after a tick neither move nor draw (a drawn frame moves the
        // animation count on); the next tick comes at 66 ms.
        for (int32_t k = 0; k < 7; ++k) {
            for (const Runner& r : runners)
                fold(trace, uint64_t(r.x) << 32 ^ uint64_t(r.y) << 8 ^ uint64_t(r.animTick) << 24 ^ r.section);
            platSleep(k < 6 ? 10 : 6);
            if (k < 6) fold(trace, paradeSceneStep());
        }
        // The tick's picture, with the frame's hash and the places of its frames as its state.
        pin.frame("tick " + std::to_string(ticks) + ", step " + std::to_string(step), pinPicture(screenSurface), trace);
    }
    EXPECT_EQ(ticks, 601) << "the scene ends at tick 600";
    pin.check();
}

}  // namespace
