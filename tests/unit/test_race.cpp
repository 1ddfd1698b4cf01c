// The race's rails and collisions, and the kick-up at the playfield's edges: whole races,
// their pictures and the order board are pinned by the seeded runs in
// e2e/test_race_statistics.cpp; what those races seldom reach is checked here.
#include <gtest/gtest.h>

#include "race/random.h"
#include "support/race_stage.h"

namespace {

TEST(CanStep, RailsRefuseExactlyAtTheirLines) {
    RaceStage stage;
    const struct {
        int32_t x, y;
        uint8_t lap;
        int32_t d, expected;
    } cases[] = {
        {0, 300, 0, Left, 0},      {1, 300, 0, Left, 1},     {608, 161, 0, Left, 0},
        {608, 160, 0, Left, 1},    {609, 300, 0, Left, 1},   {300, 0, 0, Up, 0},
        {300, 1, 0, Up, 1},        {607, 448, 0, Up, 0},     {608, 448, 0, Up, 1},
        {300, 449, 0, Up, 1},      {300, 607, 0, Down, 0},   {300, 606, 0, Down, 1},
        {161, 160, 0, Down, 0},    {160, 160, 0, Down, 1},   {300, 159, 0, Down, 1},
        {767, 300, 2, Right, 0},   {767, 500, 0, Right, 0},  {767, 500, 3, Right, 1},
        {767, 500, 4, Right, 1},   {766, 500, 2, Right, 1},  {160, 447, 0, Right, 0},
        {160, 448, 0, Right, 1},   {159, 300, 0, Right, 1},
    };
    for (const auto& c : cases) {
        RaceStage::place(0, c.x, c.y, SectionTop, c.lap);
        RaceStage::parkOthers();
        EXPECT_EQ(canStep(0, c.d), c.expected)
            << "at (" << c.x << ", " << c.y << ") lap " << int(c.lap) << " direction " << c.d;
    }
}

TEST(CanStep, OtherRunnersBlockTheStripAhead) {
    const struct {
        int32_t dx, dy;   // the other runner's offset from runner 0
        int32_t d, expected;
        uint8_t lap = 2;   // the other runner's; finished (3) and placed (4) ones block too
    } cases[] = {
        {-32, 0, Left, 0},  {-33, 0, Left, 1},  {-1, 31, Left, 0},  {-1, 32, Left, 1},
        {-1, -31, Left, 0}, {0, 0, Left, 1},    {32, 0, Right, 0},  {33, 0, Right, 1},
        {1, -31, Right, 0}, {1, 32, Right, 1},  {0, 5, Right, 1},   {0, -32, Up, 0},
        {0, -33, Up, 1},    {31, -1, Up, 0},    {-32, -1, Up, 1},   {0, 32, Down, 0},
        {0, 33, Down, 1},   {-31, 1, Down, 0},  {32, 1, Down, 1},   {0, 0, Down, 1},
        {32, 0, Right, 0, 3}, {32, 0, Right, 0, 4},
    };
    for (const auto& c : cases) {
        RaceStage stage;
        RaceStage::place(0, 400, 540, SectionBottom);
        RaceStage::place(3, 400 + c.dx, 540 + c.dy, SectionBottom, c.lap);
        RaceStage::parkOthers();
        EXPECT_EQ(canStep(0, c.d), c.expected) << "other at (" << c.dx << ", " << c.dy << ") direction " << c.d;
    }
}

// Random draws of runner 0's kick-up where the trail leaves the playfield or the runner
// has finished: columns off it draw no numbers, rows off it still do.
TEST(KickUp, DrawsAtTheEdgesAndAfterTheFinish) {
    RaceStage stage;
    scene = SceneRace;
    const struct {
        int32_t x, y;
        uint8_t section, lap;
        int32_t draws;
    } cases[] = {
        {760, 100, SectionTop, 0, 24 * 25 / 2},  // x + 16 .. 799: 24 columns of a wedge
        {650, 607, SectionRight, 0, 31 * 33},    // rows below the playfield
        {0, 500, SectionBottom, 0, 16 * 17 / 2}, // 0 .. 15 keep 16 .. 1 rows
        {600, 500, SectionBottom, 2, 32 * 33 / 2},
        {600, 500, SectionBottom, 3, 0},
        {600, 500, SectionBottom, 4, 0},
    };
    for (const auto& c : cases) {
        RaceStage::place(0, c.x, c.y, c.section, c.lap).style = Closer;
        leader = 0;
        uint32_t before = randomState;
        drawKickUp(0, 1);
        EXPECT_EQ(drawsBetween(before, randomState), c.draws) << &c - cases;
    }
}

}  // namespace
