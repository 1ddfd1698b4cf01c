// The scene cycle: logo once, then course, board, parade and race for every race.
#pragma once
#include <cstdint>

enum : int32_t {
    SceneStart = 0,
    SceneLogo = 1,
    SceneCourse = 2,
    SceneBoard = 3,
    SceneParade = 4,
    SceneRace = 5,
    SceneSettings = 16,
    SceneQuit = 255,
};

// The steps of each scene, in the order they run. Every scene begins at step 0; the
// numbers are those the scenes have always had.
enum : int32_t {
    LogoStart = 0,
    LogoFadeIn = 1,
    LogoHold = 2,
    LogoFadeOut = 3,
};
enum : int32_t {
    CourseStart = 0,            // the first race builds the course, later ones go to close
    CourseInfieldFadeIn = 1,    // first race: the black playfield with the infield fades in
    CourseInfieldShown = 2,
    CourseCloseStart = 16,      // later races: the old tiles close to black
    CourseTilesClose = 17,
    CourseTilesClosed = 18,
    CourseOpenStart = 32,       // the tiles of this race's kind grow in
    CourseTilesOpen = 33,
    CourseKeepPostPatch = 34,   // the course under the finishing post goes to the sheet
};
enum : int32_t {
    BoardBuild = 0,
    BoardListMix = 1,           // wide layout only: the runner list onto the course
    BoardFadeIn = 2,
    BoardWaitStart = 3,         // the live clock runs until the start time
    BoardFadeOut = 4,
};
enum : int32_t {
    ParadeStart = 0,
    ParadeWalk = 1,
};
enum : int32_t {
    RaceStart = 0,
    RaceRunning = 16,
    RaceClearField = 32,        // the field leaves the course
    RacePostFadeBack = 33,      // the course patch fades back over the post
    RacePanBack = 34,           // the narrow view pans back to the middle
    RaceResult = 35,            // the finishing order fades from the board
};

extern int32_t scene;
extern int32_t step;        // step within the current scene; 0 when a scene begins
extern int32_t fadeLevel;   // the current step's fade or animation counter, compared unsigned
extern uint32_t stepTick;   // tick count of the scene's last timed advance
extern uint32_t raceCount;  // races finished since start-up
extern int32_t trackKind;   // 0 turf, 1 dirt

// The meeting before its start: SceneStart, no race run, turf first.
void resetScenes();

// The intervals of the timed steps: every fade, the logo's hold, the parade's walk.
constexpr uint32_t FadeTickMs = 50;
constexpr uint32_t LogoHoldMs = 1000;
constexpr uint32_t ParadeTickMs = 65;

// Timed advance: when more than ms have passed since stepTick, restarts the interval
// and returns true.
bool tickDue(uint32_t ms);
// Milliseconds from now until tickDue(ms) holds; 0 when it holds now.
uint32_t tickDueIn(uint32_t ms);
// Moves the current scene to step next; every step begins with fadeLevel 0.
void goToStep(int32_t next);
// The same for a timed step, whose ticks count from now.
void startTimedStep(int32_t next);

// The least time from the start of one frame to the start of the next, chosen by the
// scene current when the frame begins: speed * 20 + 10 ms in the parade and the race,
// 10 ms in every other scene, never less than 10 ms.
uint32_t framePeriod(int32_t currentScene);
int32_t stepScenes();
// After a frame that began at frameStart and is paced by period: the milliseconds from
// frameStart to the next frame that has anything to do. That is the period itself while
// frames draw or move something; while the current step only waits for a time (a timed
// step between its ticks, the board's clock within a second), the frames that would find
// nothing to do are left out, and the one that runs falls where frames every period would
// have put it, the first at or after that time.
uint32_t nextFrameDue(uint32_t frameStart, uint32_t period);
uint8_t logoSceneStep();
uint8_t courseSceneStep();
// The scenes of the board, the parade and the race.
uint8_t boardSceneStep();
// Milliseconds from now until the board's current step next has anything to do; 0 when
// the next frame may.
uint32_t boardSceneDue();
uint8_t paradeSceneStep();
uint8_t raceSceneStep();
