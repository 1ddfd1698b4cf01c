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

extern int32_t scene;
extern int32_t step;        // step within the current scene; 0 when a scene begins
extern int32_t fadeLevel;   // per-step counter, compared unsigned
extern uint32_t stepTick;   // tick count of the scene's last timed advance
extern uint32_t raceCount;  // races finished since start-up
extern int32_t trackKind;   // 0 turf, 1 dirt

// Timed advance: when more than ms have passed since stepTick, restarts the interval
// and returns true.
bool tickDue(uint32_t ms);

int32_t stepScenes();
uint8_t logoSceneStep();
uint8_t courseSceneStep();
// The scenes of the board, the parade and the race.
uint8_t boardSceneStep();
uint8_t paradeSceneStep();
uint8_t raceSceneStep();
