// The race's movement rules (rails, collisions, sidesteps, sections, finishing and
// placing), the running order, and the race display (order board, finishing post,
// camera, kick-up).
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "gfx/text.h"
#include "race/random.h"
#include "support/race_stage.h"

namespace {

// ---- Rails ---------------------------------------------------------------------------

struct RailCase {
    int32_t x, y;
    uint8_t lap;
    int32_t d;
    int32_t expected;
};

TEST(CanStep, RailsRefuseExactlyAtTheirLines) {
    RaceStage stage;
    const RailCase cases[] = {
        {0, 300, 0, Left, 0},      {1, 300, 0, Left, 1},     {608, 161, 0, Left, 0},
        {608, 160, 0, Left, 1},    {609, 300, 0, Left, 1},   {300, 0, 0, Up, 0},
        {300, 1, 0, Up, 1},        {607, 448, 0, Up, 0},     {608, 448, 0, Up, 1},
        {300, 449, 0, Up, 1},      {300, 607, 0, Down, 0},   {300, 606, 0, Down, 1},
        {161, 160, 0, Down, 0},    {160, 160, 0, Down, 1},   {300, 159, 0, Down, 1},
        {767, 300, 2, Right, 0},   {767, 500, 0, Right, 0},  {767, 500, 3, Right, 1},
        {767, 500, 4, Right, 1},   {766, 500, 2, Right, 1},  {160, 447, 0, Right, 0},
        {160, 448, 0, Right, 1},   {159, 300, 0, Right, 1},
    };
    for (const RailCase& c : cases) {
        RaceStage::place(0, c.x, c.y, SectionTop, c.lap);
        RaceStage::parkOthers();
        EXPECT_EQ(canStep(0, c.d), c.expected)
            << "at (" << c.x << ", " << c.y << ") lap " << int(c.lap) << " direction " << c.d;
    }
}

// ---- Collisions ----------------------------------------------------------------------

struct BlockCase {
    int32_t dx, dy;  // the other runner's offset from runner 0
    int32_t d;
    int32_t expected;
    uint8_t lap = 2;  // the other runner's; finished (3) and placed (4) ones block too
};

TEST(CanStep, OtherRunnersBlockTheStripAhead) {
    const BlockCase cases[] = {
        {-32, 0, Left, 0},  {-33, 0, Left, 1},  {-1, 31, Left, 0},  {-1, 32, Left, 1},
        {-1, -31, Left, 0}, {0, 0, Left, 1},    {32, 0, Right, 0},  {33, 0, Right, 1},
        {1, -31, Right, 0}, {1, 32, Right, 1},  {0, 5, Right, 1},   {0, -32, Up, 0},
        {0, -33, Up, 1},    {31, -1, Up, 0},    {-32, -1, Up, 1},   {0, 32, Down, 0},
        {0, 33, Down, 1},   {-31, 1, Down, 0},  {32, 1, Down, 1},   {0, 0, Down, 1},
        {32, 0, Right, 0, 3}, {32, 0, Right, 0, 4},
    };
    for (const BlockCase& c : cases) {
        RaceStage stage;
        RaceStage::place(0, 400, 540, SectionBottom);
        RaceStage::place(3, 400 + c.dx, 540 + c.dy, SectionBottom, c.lap);
        RaceStage::parkOthers();
        EXPECT_EQ(canStep(0, c.d), c.expected) << "other at (" << c.dx << ", " << c.dy
                                               << ") direction " << c.d;
    }
}

// ---- Stepping and sidesteps ----------------------------------------------------------

// Runner 0 steps with others standing on its own section and lap. On the top straight
// running left, inside is down and outside up; on the final straight a swerve of 255
// (set turning into it) holds for moves right.
TEST(StepRunner, SidestepsAndSwerve) {
    struct Point {
        int32_t x, y;
    };
    const Point ahead{370, 50}, above{400, 18}, below{400, 82};
    struct Case {
        int32_t x, y;
        uint8_t section, lap, swerve;
        std::vector<Point> others;
        int32_t d;
        int32_t xAfter, yAfter, swerveAfter;
    } cases[] = {
        {400, 50, SectionTop, 0, 0, {ahead}, Left, 400, 51, 0},                 // inside first
        {400, 50, SectionTop, 0, 0, {ahead, below}, Left, 400, 49, 30},         // then outside, remembered
        {400, 50, SectionTop, 0, 12, {ahead, above}, Left, 400, 51, 0},         // swerving, outside blocked
        {400, 50, SectionTop, 0, 7, {ahead, above, below}, Left, 400, 50, 7},   // boxed in: nothing
        {400, 50, SectionTop, 0, 0, {below}, Down, 400, 50, 0},                 // not the way of travel
        {400, 49, SectionTop, 0, 30, {{370, 50}}, Left, 400, 48, 30},           // swerving keeps outside
        {400, 49, SectionTop, 0, 30, {}, Left, 399, 49, 29},                    // free steps count down
        {400, 500, SectionBottom, 2, 255, {}, Right, 401, 500, 255},
        {400, 500, SectionBottom, 2, 255, {}, Up, 400, 499, 254},
        {401, 499, SectionBottom, 2, 255, {{433, 499}}, Right, 401, 500, 255},  // outside is down
        {300, 300, SectionLeft, 0, 255, {{300, 332}}, Down, 299, 300, 30},      // elsewhere 30
    };
    for (const Case& c : cases) {
        RaceStage stage;
        RaceStage::place(0, c.x, c.y, c.section, c.lap).swerve = c.swerve;
        for (size_t k = 0; k < c.others.size(); ++k)
            RaceStage::place(int32_t(k + 1), c.others[k].x, c.others[k].y, c.section, c.lap);
        RaceStage::parkOthers();
        stepRunner(0, c.d);
        EXPECT_EQ(runners[0].x, c.xAfter) << &c - cases;
        EXPECT_EQ(runners[0].y, c.yAfter) << &c - cases;
        EXPECT_EQ(runners[0].swerve, c.swerveAfter) << &c - cases;
    }
}

// ---- Race frames ---------------------------------------------------------------------

// Seeds the generator and runs one frame of the race proper (step 16).
void raceFrameWith(uint32_t seed) {
    pellrunSrand(seed);
    scene = SceneRace;
    step = 16;
    raceSceneStep();
}

TEST(RaceFrame, TurnIntoTheFinalStraightSetsSwerve) {
    RaceStage stage;
    Runner& r = RaceStage::place(0, 60, 446, SectionLeft, 2);
    r.vx = -20;
    r.vy = 40;
    r.ability = 45;
    RaceStage::parkOthers();
    raceFrameWith(7);
    ASSERT_EQ(r.section, SectionBottom);
    EXPECT_GT(r.y, 448);
    EXPECT_EQ(r.swerve, 255);
}

TEST(RaceFrame, SectionAndLapChanges) {
    RaceStage stage;
    RaceStage::place(0, 610, 300, SectionRight);
    runners[0].yAccum = -6;  // at least one pixel up
    RaceStage::place(1, 300, 161, SectionRight);
    RaceStage::place(2, 161, 80, SectionTop);
    runners[2].xAccum = -5;
    RaceStage::place(3, 60, 448, SectionLeft);
    runners[3].yAccum = 5;
    RaceStage::place(4, 608, 520, SectionBottom);
    runners[4].xAccum = 5;
    RaceStage::place(5, 749, 560, SectionBottom, 2);
    runners[5].xAccum = 5;
    raceFrameWith(3);
    EXPECT_EQ(runners[0].section, SectionRight);
    EXPECT_EQ(runners[2].section, SectionLeft) << "x < 160 leaves the top straight";
    EXPECT_EQ(runners[3].section, SectionBottom) << "y > 448 leaves the left side";
    EXPECT_EQ(runners[3].lap, 0);
    EXPECT_EQ(runners[4].section, SectionRight);
    EXPECT_EQ(runners[4].lap, 1);
    EXPECT_EQ(postFade, 255) << "lap 1 is no bell";
    EXPECT_EQ(runners[5].lap, 4) << "past 749 on the final lap: finished and placed";
    EXPECT_EQ(finishCount, 1);
    EXPECT_EQ(finishOrder[0], 5);
}

TEST(RaceFrame, BellOnceWhenTheFirstRunnerBeginsTheFinalLap) {
    RaceStage stage;
    RaceStage::place(0, 608, 520, SectionBottom, 1);
    runners[0].xAccum = 5;
    RaceStage::place(1, 608, 570, SectionBottom, 1);
    RaceStage::parkOthers();
    raceFrameWith(11);
    EXPECT_EQ(runners[0].lap, 2);
    EXPECT_EQ(postFade, 0);
    runners[1].xAccum = 5;
    raceSceneStep();
    EXPECT_EQ(runners[1].lap, 2);
    EXPECT_EQ(postFade, 0) << "the post fades in only once the last runner is on lap 2";
}

TEST(RaceFrame, BoxedInRunnerLosesDistanceButKeepsVelocity) {
    RaceStage stage;
    Runner& r = RaceStage::place(0, 400, 50, SectionTop);
    r.vx = -20;
    r.ability = 30;  // top speed 24 at pace 80
    r.style = Closer;
    leader = 0;
    RaceStage::place(1, 368, 50, SectionRight);
    RaceStage::place(2, 400, 18, SectionRight);
    RaceStage::place(3, 400, 82, SectionRight);
    // Keep the walls where they are: their own limits stop them moving this frame.
    for (int32_t j = 1; j <= 3; ++j) runners[j].ability = 0;
    RaceStage::parkOthers();
    raceFrameWith(5);
    EXPECT_EQ(r.x, 400);
    EXPECT_EQ(r.y, 50);
    EXPECT_LE(r.vx, -20);
    EXPECT_GT(r.xAccum, -5) << "accumulated distance used up";
}

TEST(RaceFrame, TwoRunnersPlacedInOneFrameByDistancePastTheLine) {
    RaceStage stage;
    RaceStage::place(0, 755, 460, SectionBottom, 2);
    RaceStage::place(1, 767, 500, SectionBottom, 2);
    RaceStage::place(2, 767, 560, SectionBottom, 2);
    RaceStage::parkOthers();
    raceFrameWith(9);
    ASSERT_EQ(finishCount, 3);
    // Runners 1 and 2 are held at 767 by the rail; the lower number goes first.
    EXPECT_EQ(finishOrder[0], 1);
    EXPECT_EQ(finishOrder[1], 2);
    EXPECT_EQ(finishOrder[2], 0);
    for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(runners[i].lap, 4);
    // Placed, they now run off the playfield.
    for (int32_t f = 0; f < 5; ++f) raceSceneStep();
    EXPECT_GT(runners[1].x, 767);
}

TEST(RaceFrame, FinishedSpeedCutAndTheSceneWaitsForTheLastToRunOff) {
    RaceStage stage;
    for (int32_t i = 0; i < RunnerCount; ++i) {
        Runner& r = RaceStage::place(i, 800 + 40 * i, 450 + 0 * i, SectionBottom, 4);
        r.y = i % 2 ? 450 : 520;
        r.vx = 45;
        finishOrder[i] = uint8_t(i);
    }
    runners[5].x = 955;
    finishCount = 6;
    boardTick = 246;
    raceFrameWith(1);
    for (const Runner& r : runners) EXPECT_LE(r.vx, 30);
    EXPECT_EQ(step, 16) << "the last one placed is not past 963 yet";
    int32_t frames = 1;
    while (step == 16 && frames < 10) {
        raceSceneStep();
        ++frames;
    }
    EXPECT_EQ(step, 32);
    EXPECT_GT(runners[5].x, 963);
}

TEST(RaceFrame, LeaderFinishFixesTheCamera) {
    RaceStage stage(640, 480);
    RaceStage::paintPositions();
    RaceStage::place(0, 300, 300, SectionLeft, 0);
    RaceStage::parkOthers();
    scene = SceneRace;
    step = 16;
    raceSceneStep();
    uint32_t seen = getPixel(screenSurface, 639, 479);
    EXPECT_EQ(int32_t(seen >> 12) - 639, 0);  // 300 - 304 clamps to 0
    EXPECT_EQ(int32_t(seen & 0xFFF) - 479, runners[0].y - 244);
    RaceStage::place(0, 760, 460, SectionBottom, 4);
    finishOrder[0] = 0;
    finishCount = 1;
    raceSceneStep();
    seen = getPixel(screenSurface, 0, 0);
    EXPECT_EQ(seen, RaceStage::positionColour(159, 159));
}

// ---- Running order -------------------------------------------------------------------

TEST(RunningOrder, ProgressLapsAndTies) {
    RaceStage stage;
    RaceStage::place(0, 300, 100, SectionTop, 1);    // 10000 + 1500
    RaceStage::place(1, 300, 100, SectionTop, 1);    // tie with runner 0
    RaceStage::place(2, 100, 500, SectionBottom, 0); // 3900
    RaceStage::place(3, 700, 150, SectionRight, 2);  // 20650
    RaceStage::place(4, 790, 500, SectionBottom, 3); // finished, not placed
    RaceStage::place(5, 780, 500, SectionBottom, 4); // placed
    updateRunningOrder();
    const uint8_t expected[RunnerCount] = {5, 4, 3, 0, 1, 2};
    for (int32_t k = 0; k < RunnerCount; ++k) EXPECT_EQ(runningOrder[k], expected[k]) << k;
}

// ---- Order board ---------------------------------------------------------------------

// The pixels of board box k, row by row.
std::vector<uint32_t> boxPixels(int32_t k) {
    std::vector<uint32_t> pixels;
    for (int32_t y = 266; y <= 300; ++y)
        for (int32_t x = 282 + 40 * k; x <= 316 + 40 * k; ++x) pixels.push_back(getPixel(courseSurface, x, y));
    return pixels;
}

bool boxHasInk(int32_t k) {
    const std::vector<uint32_t> pixels = boxPixels(k);
    return std::any_of(pixels.begin(), pixels.end(), [](uint32_t p) { return p != 0; });
}

TEST(OrderBoard, BlinksTheRunningOrderEveryTwentyFrames) {
    RaceStage stage;
    std::vector<int32_t> inkFrames;
    for (int32_t f = 1; f <= 45; ++f) {
        refreshOrderBoard();
        if (f == 12) {
            // A change in the order is not shown until the next blink.
            runningOrder[0] = 5;
            runningOrder[5] = 0;
        }
        if (boxHasInk(0)) inkFrames.push_back(f);
        EXPECT_EQ(boxHasInk(0), boxHasInk(5)) << f;
    }
    std::vector<int32_t> expected;
    for (int32_t f = 10; f <= 19; ++f) expected.push_back(f);
    for (int32_t f = 30; f <= 39; ++f) expected.push_back(f);
    EXPECT_EQ(inkFrames, expected);
    EXPECT_EQ(boardTick, 5);
}

TEST(OrderBoard, WritesEachPlacedRunnerOnceAfterItsPlacing) {
    RaceStage stage;
    boardTick = 14;  // mid-blink: the order is on the board
    drawBoardDigit(0, 0, 0xFFFFFF);
    finishOrder[0] = 4;
    finishCount = 1;
    refreshOrderBoard();  // first frame after the first placing: cleared, nothing written
    EXPECT_EQ(boardTick, 240);
    for (int32_t k = 0; k < RunnerCount; ++k) EXPECT_FALSE(boxHasInk(k)) << k;
    refreshOrderBoard();  // the next frame writes it
    EXPECT_TRUE(boxHasInk(0));
    EXPECT_FALSE(boxHasInk(1));
    EXPECT_EQ(boardTick, 241);
    // Two placed in one frame are written together on the frame after.
    finishOrder[1] = 2;
    finishOrder[2] = 0;
    finishCount = 3;
    refreshOrderBoard();
    EXPECT_TRUE(boxHasInk(1));
    EXPECT_TRUE(boxHasInk(2));
    EXPECT_FALSE(boxHasInk(3));
    EXPECT_EQ(boardTick, 243);
    // Written once: a mark put into a box is not drawn over again.
    putPixel(courseSurface, 283, 267, 0x00FF00);
    drawRect(courseSurface, 282 + 40, 266, 316 + 40, 300, 0, RectFill);
    refreshOrderBoard();
    EXPECT_FALSE(boxHasInk(1));
    EXPECT_EQ(getPixel(courseSurface, 283, 267), 0x00FF00u);
    EXPECT_EQ(boardTick, 243);
}

TEST(OrderBoard, DigitsMatchTheGateNumbers) {
    RaceStage stage;
    // The digit for runner 3 is gate "4": the same picture as writing it directly.
    drawBoardDigit(2, 3, 0xFFFFFF);
    const std::vector<uint32_t> viaBoard = boxPixels(2);
    drawRect(courseSurface, 0, 0, 799, 639, 0, RectFill);
    drawText(courseSurface, "4", 362, 266, 0xFFFFFF, TextPlain, 35, 35, 0, "");
    EXPECT_EQ(viaBoard, boxPixels(2));
    clearOrderBoard();
    for (int32_t k = 0; k < RunnerCount; ++k) EXPECT_FALSE(boxHasInk(k));
}

// ---- Finishing post ------------------------------------------------------------------

TEST(FinishingPost, FadesInOverSixteenCallsAndBackAgain) {
    RaceStage stage;
    drawRect(sheetSurface, 320, 367, 350, 441, 0xF0A020, RectFill);  // the post
    putPixel(sheetSurface, 325, 370, keyColour);                      // a hole in it
    drawRect(sheetSurface, 351, 367, 381, 441, 0x204060, RectFill);  // the saved patch
    drawRect(courseSurface, 763, 373, 793, 447, 0x204060, RectFill);
    uint32_t expectedRed = 0x20;
    for (uint32_t k = 1; k <= 16; ++k) {
        fadePost(1, 17 * k);
        expectedRed = (expectedRed * (255 - 17 * k) + 0xF0 * 17 * k) / 255 & 0xFF;
        EXPECT_EQ(getPixel(courseSurface, 770, 400) >> 16, expectedRed) << k;
    }
    EXPECT_EQ(getPixel(courseSurface, 770, 400), 0xF0A020u) << "level 272 leaves the target";
    EXPECT_EQ(getPixel(courseSurface, 793, 447), 0xF0A020u) << "the region's far corner";
    EXPECT_EQ(getPixel(courseSurface, 768, 376), 0x204060u) << "key colour leaves the course";
    EXPECT_EQ(getPixel(courseSurface, 762, 400), 0u) << "outside the region";
    for (uint32_t k = 1; k <= 17; ++k) fadePost(0, 17 * k);
    EXPECT_EQ(getPixel(courseSurface, 770, 400), 0x204060u);
}

// ---- Frame drawing -------------------------------------------------------------------

TEST(RaceDisplay, NarrowCameraIsClampedAndWideIgnoresIt) {
    {
        RaceStage stage(640, 480);
        RaceStage::paintPositions();
        drawRaceFrame(-5, 400);
        EXPECT_EQ(getPixel(screenSurface, 0, 0), RaceStage::positionColour(0, 159));
        EXPECT_EQ(getPixel(screenSurface, 639, 479), RaceStage::positionColour(639, 638));
        drawRaceFrame(500, -1);
        EXPECT_EQ(getPixel(screenSurface, 0, 0), RaceStage::positionColour(159, 0));
    }
    {
        RaceStage stage(1024, 768);
        drawRect(courseSurface, 0, 0, 799, 639, 0x445566, RectFill);
        drawRaceFrame(100, 100);
        EXPECT_EQ(getPixel(screenSurface, 112, 64), 0x445566u);
        EXPECT_EQ(getPixel(screenSurface, 911, 703), 0x445566u);
    }
}

TEST(RaceDisplay, SmallWindowsAreNeverWrittenOutside) {
    // A window smaller than the view, and one wide enough for the whole playfield but
    // less high: both pictures are clipped to the window.
    for (auto size : {std::pair<int, int>{320, 200}, std::pair<int, int>{800, 600}}) {
        RaceStage stage(size.first, size.second);
        drawRect(courseSurface, 0, 0, 799, 639, 0x102030, RectFill);
        RaceStage::place(0, 0, 607, SectionBottom, 0);
        RaceStage::place(1, 767, 0, SectionTop, 0);
        RaceStage::parkOthers();
        drawRaceFrame(159, 159);
        EXPECT_EQ(getPixel(screenSurface, size.first - 1, size.second - 1), 0x102030u);
    }
}

TEST(RaceDisplay, HiddenRunnersAreNeitherDrawnNorAnimated) {
    RaceStage stage;
    for (int32_t c = 0; c < 10; ++c) drawRect(sheetSurface, 32 * c, 367, 32 * c + 31, 367 + 191, 0xFFFFFF, RectFill);
    runners[2].section = SectionOffCourse;
    runners[2].x = 100;
    runners[2].y = 100;
    drawRaceFrame(0, 0);
    EXPECT_EQ(getPixel(frameSurface, 110, 110), 0u);
    EXPECT_EQ(runners[2].animTick, 0);
    // A drawn runner changes picture every second frame.
    RaceStage::place(2, 100, 100, SectionTop);
    std::vector<int> frames;
    for (int32_t f = 0; f < 6; ++f) {
        frames.push_back(runners[2].animFrame);
        drawRaceFrame(0, 0);
    }
    EXPECT_EQ(frames, (std::vector<int>{0, 0, 1, 1, 0, 0}));
}

TEST(RaceDisplay, SpriteColumnsByState) {
    RaceStage stage;
    // Each sheet column holds its own colour in runner 1's row.
    for (int32_t c = 0; c < 10; ++c)
        drawRect(sheetSurface, 32 * c, 399, 32 * c + 31, 430, 0x100000u * uint32_t(c + 1), RectFill);
    struct {
        uint8_t section, lap;
        int32_t column;
    } cases[] = {{SectionTop, 0, 0},    {SectionRight, 1, 2},       {SectionLeft, 0, 4},
                 {SectionBottom, 1, 6}, {SectionBottom, 2, 8},      {SectionBottom, 4, 6},
                 {SectionParadeLeft, 0, 0}, {SectionParadeUp, 0, 2}, {SectionParadeDown, 0, 4},
                 {SectionParadeRight, 0, 6}};
    scene = SceneParade;  // no kick-up
    for (auto c : cases) {
        RaceStage::place(1, 500, 40, c.section, c.lap);
        runners[1].animFrame = 0;
        runners[1].animTick = 1;
        drawRaceFrame(0, 0);
        EXPECT_EQ(getPixel(frameSurface, 510, 50), 0x100000u * uint32_t(c.column + 1))
            << "section " << int(c.section) << " lap " << int(c.lap);
    }
}

// ---- Kick-up -------------------------------------------------------------------------

struct KickUpResult {
    int32_t draws;
    int32_t minX, maxX, minY, maxY, pixels;
};

KickUpResult kickUp(int32_t x, int32_t y, uint8_t section, int32_t layer, uint8_t style, uint8_t lap = 0) {
    drawRect(frameSurface, 0, 0, 799, 639, 0, RectFill);
    RaceStage::place(0, x, y, section, lap);
    runners[0].style = style;
    leader = 0;
    uint32_t before = randomState;
    drawKickUp(0, layer);
    KickUpResult r = {drawsBetween(before, randomState), 9999, -9999, 9999, -9999, 0};
    for (int32_t py = 0; py < 640; ++py)
        for (int32_t px = 0; px < 800; ++px)
            if (getPixel(frameSurface, px, py) != 0) {
                ++r.pixels;
                r.minX = std::min(r.minX, px), r.maxX = std::max(r.maxX, px);
                r.minY = std::min(r.minY, py), r.maxY = std::max(r.maxY, py);
            }
    return r;
}

// How many numbers each trail draws and where its pixels may lie.
TEST(KickUp, AreasDrawsAndSpurt) {
    RaceStage stage;
    scene = SceneRace;
    pellrunSrand(1234);
    struct Case {
        int32_t x, y;
        uint8_t section;
        int32_t layer;
        uint8_t style;
        int32_t draws;
        int32_t left = 0, right = 799, top = 0, bottom = 639;
    } cases[] = {
        // Left side, before the sprite: 31 columns of 33 rows; on lap 0 a front-runner
        // spurts (120) and its trail is 49 rows long, a closer's is not.
        {100, 300, SectionLeft, 0, Closer, 31 * 33, 0, 799, 300 - 16, 316},
        {100, 300, SectionLeft, 0, FrontRunner, 31 * 49, 0, 799, 300 - 32},
        {100, 300, SectionLeft, 1, Closer, 0},   // only before the sprite
        {400, 50, SectionTop, 0, Closer, 0},     // only after the sprite
        // Top straight: a wedge widening away from the mouse, 1 + 2 + ... + 32 draws.
        {400, 50, SectionTop, 1, Closer, 32 * 33 / 2, 416, 447, 50, 81},
        // Bottom straight: widest at the far end, 32 + 31 + ... + 1.
        {400, 500, SectionBottom, 1, Closer, 32 * 33 / 2, 384, 415},
        // Right-hand side: 31 columns of 33 rows below the mouse.
        {650, 300, SectionRight, 1, Closer, 31 * 33, 0, 799, 316, 348},
        // Columns off the right edge draw no numbers: x + 16 .. 799 are 24 columns.
        {760, 100, SectionTop, 1, Closer, 24 * 25 / 2},
        // Rows off the bottom still draw numbers but no pixels.
        {650, 607, SectionRight, 1, Closer, 31 * 33},
        // Columns off the left edge on the bottom straight: 0..15 keep 16 .. 1 rows.
        {0, 500, SectionBottom, 1, Closer, 16 * 17 / 2},
    };
    for (const Case& c : cases) {
        const KickUpResult r = kickUp(c.x, c.y, c.section, c.layer, c.style);
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        EXPECT_EQ(r.draws, c.draws);
        EXPECT_GE(r.minX, c.left);
        EXPECT_LE(r.maxX, c.right);
        EXPECT_GE(r.minY, c.top);
        EXPECT_LE(r.maxY, c.bottom);
        if (c.style == FrontRunner) {
            EXPECT_LT(r.minY, 300 - 16) << "the longer trail reaches beyond the calm one";
        }
    }
}

// Turf throws up green one draw in 16, dirt brown one in 8; no kick-up in the parade
// or once a runner has finished.
TEST(KickUp, ColoursAndWhenThereIsNone) {
    RaceStage stage;
    scene = SceneRace;
    pellrunSrand(99);
    const uint32_t colours[2] = {0x008000, 0x6D3810};
    int32_t counts[2] = {};
    for (int32_t kind : {0, 1}) {
        trackKind = kind;
        kickUp(100, 300, SectionLeft, 0, Closer);
        EXPECT_EQ(getPixel(frameSurface, 0, 0), 0u);
        for (int32_t y = 284; y <= 316; ++y)
            for (int32_t x = 100; x <= 130; ++x) counts[kind] += getPixel(frameSurface, x, y) == colours[kind];
    }
    EXPECT_GT(counts[0], 30);
    EXPECT_LT(counts[0], 110);
    EXPECT_GT(counts[1], 80);
    EXPECT_LT(counts[1], 180);
    EXPECT_EQ(kickUp(600, 500, SectionBottom, 1, Closer, 3).draws, 0);
    EXPECT_EQ(kickUp(600, 500, SectionBottom, 1, Closer, 4).draws, 0);
    EXPECT_GT(kickUp(600, 500, SectionBottom, 1, Closer, 2).draws, 0);
    scene = SceneParade;
    EXPECT_EQ(kickUp(100, 300, SectionLeft, 0, Closer).draws, 0);
}

}  // namespace
