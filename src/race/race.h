// The parade, the race and the race display: steps, movement, drawing and the order
// board. The runners and the race-wide values they share with the card live in
// race/roster.h; what only the race itself needs is declared here.
#pragma once
#include <cstdint>

// One-pixel steps. A course section's direction of travel has the same number.
enum Direction : int32_t { Left = 0, Up = 1, Down = 2, Right = 3 };

// Parade states of a runner's section (the low two bits give the sprite column, as
// for the race sections).
enum : uint8_t {
    SectionParadeLeft = 0xE0,
    SectionParadeUp = 0xE1,
    SectionParadeDown = 0xE2,
    SectionParadeRight = 0xE3,
};

// Race frames (RaceRunning) run so far in the current race, the frame running included.
extern int32_t raceFrame;
// The narrow view's corner (x and y alike) while it pans back after the race.
extern int32_t panCamera;
// The colour of the finishing order while it fades from the board, 0xF0F0F0 down to 0.
extern uint32_t resultColour;

// Order board: box k shows the runner in place k + 1.
constexpr int32_t BoardBoxLeft = 282;
constexpr int32_t BoardBoxTop = 266;
constexpr int32_t BoardBoxPitch = 40;
constexpr int32_t BoardBoxSize = 35;

// Finishing post region of the course and its two pictures in the sheet.
constexpr int32_t PostX = 763;
constexpr int32_t PostY = 373;
constexpr int32_t PostWidth = 31;
constexpr int32_t PostHeight = 75;

// ---- Display -------------------------------------------------------------------------
// frameSurface is the course with the runners drawn over it. Between frames of the
// parade and the race it differs from courseSurface only inside frameStale's spans
// (what was drawn over the course, and course rows changed since), and in the wide
// layout the screen shows frameSurface except inside frameChanged's spans; so each
// frame copies only those spans. frameInSync false means neither is known: the next
// frame copies everything. A span with left > right is empty.
struct RowSpan {
    int16_t left;
    int16_t right;
};
extern RowSpan frameStale[640];
extern RowSpan frameChanged[640];
extern bool frameInSync;
// Forgets what frameSurface and the screen hold; every scene that draws with
// drawRaceFrame calls it when it begins.
void resetRaceDisplay();
// The race's own values above as at process start (the display forgotten too).
void resetRace();

// Composes the course and the runners into frameSurface and shows the frame: the whole
// playfield in the wide layout, the 640 x 480 view at (cameraX, cameraY), each clamped
// to 0..159, in the narrow one.
void drawRaceFrame(int32_t cameraX, int32_t cameraY);
// Random turf or dirt pixels behind runner i; layer 0 before the sprite, 1 after it.
void drawKickUp(int32_t i, int32_t layer);
// Blinks the running order until the first placing, then writes each placed runner once.
void refreshOrderBoard();
// One cross-fade step of the post region: towards the post (1) or back to the course (0).
void fadePost(int32_t towardsPost, uint32_t level);
// Gate number of runner into order-board box k, in colour.
void drawBoardDigit(int32_t k, int32_t runner, uint32_t colour);
// Blacks out the six order-board boxes.
void clearOrderBoard();

// ---- Race (paradeSceneStep and raceSceneStep are declared with the scene cycle) ------
// 1 when runner i may move one pixel in direction d: no rail and no other runner in
// the way.
int32_t canStep(int32_t i, int32_t d);
// Moves runner i one pixel in d, or sidesteps when d is its direction of travel and
// it is blocked, or does nothing.
void stepRunner(int32_t i, int32_t d);
// Ranks the runners by progress into runningOrder and refreshes the order board.
void updateRunningOrder();
// RaceRunning: moves every runner once, ranks them, places finishers, fades the post in
// and draws the frame.
void runRaceFrame();
