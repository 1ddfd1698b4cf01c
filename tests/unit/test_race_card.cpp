// The roster, the race card's draws and odds, and the pace table.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "race/random.h"
#include "race/roster.h"
#include "race/scenes.h"

namespace {

TEST(Random, ReproducesTheClassicRuntimeSequence) {
    pellrunSrand(1);
    const int32_t expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int32_t value : expected) EXPECT_EQ(pellrunRand(), value);
}

TEST(Roster, WorkingAbilitiesAndStyles) {
    prepareRoster();
    EXPECT_EQ(rosterWorking[0].turfAbility, 50);   // 50 -> 50
    EXPECT_EQ(rosterWorking[5].turfAbility, 45);   // 35 -> 45
    EXPECT_EQ(rosterWorking[36].dirtAbility, 53);  // 60 -> 53, the roster's best on dirt
    int styles[4] = {};
    for (const RosterEntry& entry : rosterWorking) {
        ++styles[entry.style];
        EXPECT_GE(entry.turfAbility, 43);
        EXPECT_LE(entry.turfAbility, 50);
        EXPECT_GE(entry.dirtAbility, 43);
        EXPECT_LE(entry.dirtAbility, 53);
        size_t length = std::strlen(entry.name);
        EXPECT_GE(length, 10u);
        EXPECT_LE(length, 20u);
    }
    EXPECT_EQ(styles[FrontRunner], 9);
    EXPECT_EQ(styles[Stalker], 20);
    EXPECT_EQ(styles[Closer], 24);
    EXPECT_EQ(styles[DeepCloser], 10);
}

TEST(RaceCard, FixedSeedGivesKnownFieldAndTruncatedOdds) {
    prepareRoster();
    trackKind = 0;
    pellrunSrand(1);
    makeRaceCard();
    // Roster draws 41, 34, 17, 12, 61, 35 with random additions 2, 0, 4, 3, 4, 0.
    const int32_t abilities[] = {47, 47, 49, 45, 46, 44};
    const int32_t odds[] = {49, 57, 42, 76, 63, 100};
    for (int i = 0; i < RunnerCount; ++i) {
        EXPECT_EQ(runners[i].ability, abilities[i]) << i;
        EXPECT_EQ(runners[i].odds, odds[i]) << i;
        EXPECT_EQ(runners[i].section, SectionOffCourse);
    }
    EXPECT_STREQ(runners[0].name, rosterWorking[41].name);
    EXPECT_STREQ(runners[5].name, rosterWorking[35].name);
    // Equal abilities keep draw order: runner 0 before runner 1.
    const uint8_t order[] = {2, 0, 1, 4, 3, 5};
    for (int k = 0; k < RunnerCount; ++k) EXPECT_EQ(oddsOrder[k], order[k]) << k;
    EXPECT_EQ(postFade, 255);
    EXPECT_EQ(leader, 0);
    EXPECT_EQ(finishCount, 0);
    EXPECT_EQ(boardTick, 0);
}

TEST(RaceCard, EveryCardIsSixDistinctMiceRankedByAbility) {
    prepareRoster();
    for (uint32_t seed = 0; seed < 300; ++seed) {
        trackKind = int32_t(seed & 1);
        pellrunSrand(seed);
        runners[0].animTick = 1;
        makeRaceCard();
        std::set<std::string> names;
        for (const Runner& r : runners) {
            names.insert(r.name);
            EXPECT_GT(r.odds, 0);
            EXPECT_EQ(r.lap, 0);
        }
        EXPECT_EQ(names.size(), 6u) << seed;
        EXPECT_EQ(runners[0].animTick, 1) << "the animation divider carries over";
        for (int k = 1; k < RunnerCount; ++k) {
            const Runner& before = runners[oddsOrder[k - 1]];
            const Runner& after = runners[oddsOrder[k]];
            EXPECT_GE(before.ability, after.ability);
            if (before.ability == after.ability) {
                EXPECT_LT(oddsOrder[k - 1], oddsOrder[k]);
            }
            // The favourite has the lowest odds: bonuses only widen the gap.
            EXPECT_LE(before.odds, after.odds + 1);
        }
    }
}

TEST(Pace, TableByStyleAndLeaderPhase) {
    for (int i = 0; i < RunnerCount; ++i) runners[i].style = uint8_t(i % 4);
    leader = 0;
    runners[0].lap = 0;
    runners[0].section = SectionLeft;  // the start: phase 2
    EXPECT_EQ(paceFactor(0), 120);
    EXPECT_EQ(paceFactor(1), 100);
    EXPECT_EQ(paceFactor(2), 80);
    EXPECT_EQ(paceFactor(3), 80);

    // Final straight of the final lap: the deep closer spurts wherever it is itself.
    leader = 4;
    runners[4].lap = 2;
    runners[4].section = SectionBottom;
    runners[3].lap = 1;
    runners[3].section = SectionTop;
    EXPECT_EQ(racePhase(), 11);
    EXPECT_EQ(paceFactor(3), 120);
    EXPECT_EQ(paceFactor(2), 100);

    // Lap 1: right side 4, top 5, left 6, bottom 7.
    runners[4].lap = 1;
    const uint8_t sections[] = {SectionRight, SectionTop, SectionLeft, SectionBottom};
    const int32_t closer[] = {80, 80, 90, 90};
    for (int s = 0; s < 4; ++s) {
        runners[4].section = sections[s];
        EXPECT_EQ(racePhase(), 4 + s);
        EXPECT_EQ(paceFactor(2), closer[s]);
    }

    // The leader has finished: every style its last value.
    runners[4].lap = 3;
    EXPECT_EQ(racePhase(), 12);
    const int32_t finished[] = {80, 90, 100, 120};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(paceFactor(i), finished[i]);
}

}  // namespace
