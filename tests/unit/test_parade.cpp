// The parade to the gate, tick by tick: entries, the walkway's climb, exact stops, the
// end of the scene, the entrance cover and the narrow view.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "support/race_stage.h"

namespace {

struct TickRecord {
    int32_t x[RunnerCount], y[RunnerCount];
    uint8_t section[RunnerCount];
    uint8_t result;
};

// Runs the parade from step 0 with one tick per call; record[t] is tick t (1-based).
// onTick(t, result) looks at the pictures after each tick.
std::vector<TickRecord> runParade(const std::function<void(int32_t, uint8_t)>& onTick = nullptr) {
    scene = SceneParade;
    step = 0;
    EXPECT_EQ(paradeSceneStep(), 0);
    std::vector<TickRecord> record(1);
    for (int32_t t = 1; t <= 700; ++t) {
        platSleep(66);
        TickRecord r;
        r.result = paradeSceneStep();
        for (int32_t i = 0; i < RunnerCount; ++i) {
            r.x[i] = runners[i].x;
            r.y[i] = runners[i].y;
            r.section[i] = runners[i].section;
        }
        record.push_back(r);
        if (onTick) onTick(t, r.result);
        if (r.result) break;
    }
    return record;
}

TEST(Parade, TimelineWalkwayAndExactStops) {
    RaceStage stage;
    std::vector<TickRecord> ticks = runParade();
    ASSERT_EQ(ticks.size(), 601u) << "the scene ends at tick 600";
    for (size_t t = 1; t < 600; ++t) EXPECT_EQ(ticks[t].result, 0) << t;
    EXPECT_EQ(ticks[600].result, 1);

    const int32_t arrival[RunnerCount] = {330, 384, 437, 492, 546, 599};
    for (int32_t i = 0; i < RunnerCount; ++i) {
        int32_t entered = 0, arrived = 0;
        for (int32_t t = 1; t <= 600; ++t) {
            if (!entered && ticks[t].section[i] != SectionOffCourse) entered = t;
            if (!arrived && ticks[t].section[i] == SectionLeft) arrived = t;
        }
        EXPECT_EQ(entered, 1 + 54 * i) << "runner " << i;
        EXPECT_EQ(arrived, arrival[i]) << "runner " << i;
        // Enters under the cover and does not move in its first tick.
        EXPECT_EQ(ticks[entered].x[i], 224);
        EXPECT_EQ(ticks[entered].y[i], 344);
        EXPECT_EQ(ticks[600].x[i], 160 - 32 * i);
        EXPECT_EQ(ticks[600].y[i], 32 * i);
        EXPECT_EQ(ticks[600].section[i], SectionLeft);
    }
    // Runner 1 enters in the tick in which runner 0 turns down at the walkway's end.
    EXPECT_EQ(ticks[55].section[0], SectionParadeDown);
    EXPECT_EQ(ticks[55].x[0], 384);
    EXPECT_EQ(ticks[55].y[0], 324);
    EXPECT_EQ(ticks[54].section[1], SectionOffCourse);
    // The final tick moves nobody.
    for (int32_t i = 0; i < RunnerCount; ++i) EXPECT_EQ(ticks[599].x[i], ticks[600].x[i]);

    // Runner 0 climbs the walkway.
    std::vector<int32_t> xs, ys;
    for (int32_t t = 2; t <= 600; ++t)
        if (ticks[t].section[0] == SectionParadeRight) {
            xs.push_back(ticks[t].x[0]);
            ys.push_back(ticks[t].y[0]);
        }
    ASSERT_EQ(xs.size(), 53u);  // 227 .. 383 on the walkway; the 54th step ends it
    for (size_t k = 0; k < xs.size(); ++k) {
        EXPECT_EQ(xs[k], 227 + 3 * int32_t(k));
        int32_t expected = xs[k] < 320 ? 344 - (xs[k] - 224) / 5 : 324;
        EXPECT_EQ(ys[k], expected) << "x " << xs[k];
    }

    // Every runner stops exactly at the turns: 384 (not 386), 460, its lane; and never
    // passes its lane or row.
    for (int32_t i = 0; i < RunnerCount; ++i) {
        int32_t turns = 0;
        for (int32_t t = 1; t <= 600; ++t) {
            const TickRecord& r = ticks[t];
            const uint8_t from = ticks[t - 1].section[i], to = r.section[i];
            if (from == SectionParadeRight && to == SectionParadeDown) {
                turns += 1;
                EXPECT_EQ(r.x[i], 384);
            }
            if (from == SectionParadeDown && to == SectionParadeLeft) {
                turns += 2;
                EXPECT_EQ(r.y[i], 460);
            }
            if (from == SectionParadeLeft && to == SectionParadeUp) {
                turns += 4;
                EXPECT_EQ(r.x[i], 160 - 32 * i);
            }
            if (to != SectionOffCourse) {
                EXPECT_GE(r.x[i], 160 - 32 * i) << "never past its lane";
                EXPECT_GE(r.y[i], 32 * i) << "never above its row";
            }
        }
        EXPECT_EQ(turns, 7) << "runner " << i;
    }
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

TEST(Parade, EntranceCoverOverWalkersButNotAtTheEnd) {
    RaceStage stage;
    drawRect(sheetSurface, 0, 815, 143, 862, 0xA05020, RectFill);
    // The sprites: a single dot in each cell of runner 0's row.
    for (int32_t c = 0; c < 9; ++c) putPixel(sheetSurface, 32 * c + 16, 367 + 16, 0xFFFFFF);
    drawRect(courseSurface, 0, 0, 799, 639, 0x000040, RectFill);
    const std::vector<TickRecord> ticks = runParade([](int32_t t, uint8_t) {
        if (t == 1) {
            // Runner 0 stands at (224, 344), beneath the cover: its dot (240, 360) is covered.
            EXPECT_EQ(getPixel(frameSurface, 240, 360), 0xA05020u);
            EXPECT_EQ(getPixel(frameSurface, 207, 340), 0x000040u);
        }
        if (t == 300) {
            EXPECT_EQ(getPixel(frameSurface, 208, 328), 0xA05020u);
        }
    });
    EXPECT_EQ(ticks.size(), 601u);
    EXPECT_EQ(getPixel(frameSurface, 208, 328), 0x000040u) << "no cover when all stand at the gate";
    EXPECT_EQ(getPixel(frameSurface, 160 + 16, 16), 0xFFFFFFu) << "runner 0 at its place";
}

// The narrow layout shows a 640 x 480 part of the playfield; the course is painted so
// that each pixel tells its own position.
TEST(Parade, NarrowViewWatchesTheMiddleThenFollowsTheLastRunner) {
    RaceStage stage(640, 480);
    RaceStage::paintPositions();
    bool sawBottom = false;
    runParade([&](int32_t t, uint8_t over) {
        const Runner& last = runners[5];
        const uint32_t shown = getPixel(screenSurface, 639, 0);  // no runner is ever there
        const int32_t viewX = int32_t(shown >> 12) - 639, viewY = int32_t(shown & 0xFFF);
        if (last.section == SectionOffCourse || last.section == SectionParadeRight) {
            ASSERT_EQ(viewX, 80) << t;
            ASSERT_EQ(viewY, 80) << t;
        } else if (last.section == SectionParadeLeft) {
            sawBottom = true;
            ASSERT_EQ(viewY, 159) << t;
        }
        if (over) {
            EXPECT_EQ(t, 600);
            EXPECT_EQ(viewX, 0);
            EXPECT_EQ(viewY, 0);
        }
    });
    EXPECT_TRUE(sawBottom);
}

}  // namespace
