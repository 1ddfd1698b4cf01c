// The whole program on the headless platform for 24 virtual hours, starting a few
// minutes before the tick count wraps and twelve hours before midnight: every race
// finishes, every board's start time is its build time plus the interval (across
// midnight too), and peak memory stops growing after the first hour.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>

#include "core/settings.h"
#include "race/board.h"
#include "race/race.h"
#include "race/roster.h"
#include "race/scenes.h"
#include "support/program_run.h"

namespace {

struct Watch {
    int32_t lastScene = -1, lastStartKey = -1;
    uint32_t racesRun = 0, racesUnfinished = 0, boards = 0, boardsWrong = 0, boardsAfterMidnight = 0;
    long peakAfterFirstHour = 0;
};

long peakKilobytes() {
    rusage usage = {};
    return getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : 0;
}

int32_t secondsOfDay(const ClockTime& t) { return t.hour * 3600 + t.minute * 60 + t.second; }

void watch(void* user) {
    Watch& w = *static_cast<Watch*>(user);
    if (scene != w.lastScene && w.lastScene == SceneRace) ++w.racesRun, w.racesUnfinished += finishCount != RunnerCount;
    w.lastScene = scene;
    // A new start time: it lies interval + 1 minutes after now, within the day.
    const int32_t startKey = secondsOfDay(nextRaceTime);
    if (scene == SceneBoard && startKey != w.lastStartKey && nextRaceTime.year != 0) {
        w.lastStartKey = startKey;
        ClockTime now;
        readClock(now);
        const int32_t ahead = (startKey - secondsOfDay(now) + 86400) % 86400;
        ++w.boards;
        w.boardsWrong += ahead < 60 * (interval + 1) - 1 || ahead > 60 * (interval + 1);
        w.boardsAfterMidnight += now.day == 7;
    }
    if (w.peakAfterFirstHour == 0 && headlessElapsed() >= 3600u * 1000u) w.peakAfterFirstHour = peakKilobytes();
    if (headlessElapsed() >= 24u * 3600u * 1000u) platPostQuitMessage(0);
}

TEST(Endurance, TwentyFourVirtualHoursAcrossTheWrapAndMidnight) {
    ProgramRun run;
    run.config.startTick = 0u - 5u * 60u * 1000u;
    run.config.startTime = {2026, 12, 0, 6, 12, 0, 0, 0};
    run.config.seedSeconds = 7;
    run.writeData("Setup.ini", {2, 0, 0, 1, 1, 0});   // fastest races, one minute apart
    run.begin();
    Watch w;
    headlessSetSleepHook(watch, &w);
    EXPECT_EQ(run.run("/s"), 0);
    headlessSetSleepHook(nullptr, nullptr);
    std::printf("%u races, %u boards (%u after midnight), peak %ld KB after the first hour, %ld KB at the end\n",
                w.racesRun, w.boards, w.boardsAfterMidnight, w.peakAfterFirstHour, peakKilobytes());
    EXPECT_GE(headlessElapsed(), 24u * 3600u * 1000u);
    // One race about every two and a half minutes.
    EXPECT_GT(w.racesRun, 400u);
    EXPECT_EQ(w.racesUnfinished, 0u);
    EXPECT_GE(w.boards, w.racesRun);
    EXPECT_EQ(w.boardsWrong, 0u);
    EXPECT_GT(w.boardsAfterMidnight, 100u);
    ASSERT_GT(w.peakAfterFirstHour, 0);
    EXPECT_EQ(peakKilobytes(), w.peakAfterFirstHour) << "peak memory grew after the first hour";
}

}  // namespace
