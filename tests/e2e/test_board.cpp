// The race board in the whole program on the virtual clock: it follows the course,
// waits for the start time on the local clock, fades out and hands over to the parade.
#include <gtest/gtest.h>

#include <vector>

#include "core/settings.h"
#include "gfx/present.h"
#include "race/board.h"
#include "race/scenes.h"
#include "support/program_run.h"

namespace {

struct Sample {
    uint32_t at;  // virtual ms since start-up
    int32_t scene;
    int32_t step;
};

struct Watch {
    std::vector<Sample> samples;
    bool pictureTaken = false;
    bool boardShown = false;  // the window showed the composed board during the wait
    uint32_t waitFrom = 0, waitTo = 0, repaintsFrom = 0, repaintsTo = 0;   // while waiting
};

void watchState(void* user) {
    Watch& w = *static_cast<Watch*>(user);
    w.samples.push_back({headlessElapsed(), scene, step});
    if (scene == SceneBoard && step == 3) {
        if (!w.waitFrom) {
            w.waitFrom = headlessElapsed();
            w.repaintsFrom = softPaintCopyCounters().rowRepaints;
        }
        w.waitTo = headlessElapsed();
        w.repaintsTo = softPaintCopyCounters().rowRepaints;
    }
    if (scene != SceneBoard || step != 3 || w.pictureTaken) return;
    const SoftBitmap* window = headlessWindowPicture();
    if (!window) return;
    w.pictureTaken = true;
    // Everything but the live clock box, where the window holds the playfield.
    bool same = true;
    for (int32_t y = 152; y < 152 + 335; ++y)
        for (int32_t x = 182; x < 182 + 435; ++x) {
            if (y >= 172 && y < 192 && x >= 200 && x < 300) continue;
            const int32_t wx = x + originX, wy = y + originY;
            if (wx < 0 || wy < 0 || wx >= window->width || wy >= window->height) continue;
            const uint8_t* p = window->bits + size_t(window->height - 1 - wy) * window->stride + 3 * wx;
            same &= (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16) ==
                    getPixel(frameSurface, x, y);
        }
    w.boardShown = same;
}

// Seconds of the day at a virtual time, the run having started at 12:00:00.000.
uint32_t secondsOfDay(uint32_t at) { return 12 * 3600 + at / 1000; }
uint32_t secondsOfDay(const ClockTime& t) { return t.hour * 3600u + t.minute * 60u + t.second; }

TEST(BoardRun, WaitsForTheStartTimeFadesOutAndTheParadeFollows) {
    Watch watch;
    ProgramRun run;
    run.writeData("Setup.ini", {2, 2, 0, 1, 1, 0});  // interval 0: one minute; music off
    run.begin();
    headlessSetSleepHook(watchState, &watch);
    headlessScript(72000, WmKeyDown, 0x20, 0);
    EXPECT_EQ(run.run("/s"), 0);
    ASSERT_FALSE(watch.samples.empty());

    const Sample* built = nullptr;
    const Sample* lastWaiting = nullptr;
    const Sample* fading = nullptr;
    const Sample* parade = nullptr;
    for (const Sample& s : watch.samples) {
        if (s.scene == SceneBoard && !built) built = &s;
        if (s.scene == SceneBoard && s.step == 3 && !fading) lastWaiting = &s;
        if (s.scene == SceneBoard && s.step == 4 && !fading) fading = &s;
        if (s.scene == SceneParade && fading && !parade) parade = &s;
    }
    ASSERT_TRUE(built && lastWaiting && fading && parade);
    // The board follows the logo and the course.
    EXPECT_GT(built->at, 3000u);
    EXPECT_LT(built->at, 6000u);
    // The start time is one minute after the board was built (interval 0).
    EXPECT_EQ(secondsOfDay(nextRaceTime), secondsOfDay(built->at) + 60);
    // The fade-out begins in the first frame at or past the start time.
    EXPECT_LT(secondsOfDay(lastWaiting->at), secondsOfDay(nextRaceTime));
    EXPECT_GE(secondsOfDay(fading->at), secondsOfDay(nextRaceTime));
    EXPECT_LE(fading->at - lastWaiting->at, 20u);
    // Sixteen fade ticks of more than 50 ms, then the parade.
    EXPECT_GE(parade->at - fading->at, 15u * 50u);
    EXPECT_LT(parade->at - fading->at, 16u * 80u);

    EXPECT_TRUE(watch.pictureTaken);
    EXPECT_TRUE(watch.boardShown);

    // While the board waits only the clock changes, once a second: no other frame asks
    // for a repaint of any rows.
    EXPECT_GT(watch.waitTo - watch.waitFrom, 50000u);
    EXPECT_LE(watch.repaintsTo - watch.repaintsFrom, (watch.waitTo - watch.waitFrom) / 1000 + 2);

    // The loop waits once a frame: at most one wait per 10 ms, and about one per paint.
    const HeadlessCounters& counters = headlessCounters();
    EXPECT_LE(counters.waits, headlessElapsed() / 10 + 1);
    EXPECT_GE(counters.waits, counters.paints * 9 / 10);
}

}  // namespace
