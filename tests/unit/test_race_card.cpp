// The race card's draws and odds, and the pace table; the roster's working abilities and
// styles and the random sequence are pinned by the seeded runs.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "race/random.h"
#include "race/roster.h"
#include "race/scenes.h"

namespace {

// Each card starts with runner 0 leading; seed 1's field, its order, names and odds are
// pinned in meeting-seed-1.
TEST(RaceCard, EveryCardIsSixDistinctMiceRankedByAbility) {
    prepareRoster();
    for (uint32_t seed = 0; seed < 300; ++seed) {
        trackKind = int32_t(seed & 1);
        pellrunSrand(seed);
        runners[0].animTick = 1, leader = 5;
        makeRaceCard();
        std::set<std::string> names;
        for (const Runner& r : runners) {
            names.insert(r.name);
            EXPECT_GT(r.odds, 0);
        }
        EXPECT_EQ(names.size(), 6u) << seed;
        EXPECT_EQ(runners[0].animTick, 1) << "the animation divider carries over";
        EXPECT_EQ(leader, 0) << seed;
        for (int k = 1; k < RunnerCount; ++k) {
            const Runner& before = runners[oddsOrder[k - 1]];
            const Runner& after = runners[oddsOrder[k]];
            EXPECT_GE(before.ability, after.ability);
            // The favourite has the lowest odds: bonuses only widen the gap.
            EXPECT_LE(before.odds, after.odds + 1);
        }
    }
}

// The leader's place sets the phase; each style has its pace in it.
TEST(Pace, ByStyleAndLeaderPhase) {
    for (int i = 0; i < 4; ++i) runners[i].style = uint8_t(i);
    leader = 4;
    const struct {
        uint8_t lap, section;
        int32_t phase, pace[4];
    } rows[] = {
        {0, SectionLeft, 2, {120, 100, 80, 80}},      // the start: the front-runner spurts
        {1, SectionLeft, 6, {90, 85, 90, 80}},
        {2, SectionBottom, 11, {80, 90, 100, 120}},   // the final straight
        {3, SectionBottom, 12, {80, 90, 100, 120}},   // the leader has finished
    };
    for (const auto& row : rows) {
        runners[4].lap = row.lap;
        runners[4].section = row.section;
        EXPECT_EQ(racePhase(), row.phase);
        for (int s = 0; s < 4; ++s) EXPECT_EQ(paceFactor(s), row.pace[s]) << row.phase << " style " << s;
    }
}

}  // namespace
