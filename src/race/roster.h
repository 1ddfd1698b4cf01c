// The roster of 63 mice, the six runners of the current race and the race-wide values.
#pragma once
#include <cstdint>

enum RunningStyle : uint8_t { FrontRunner = 0, Stalker = 1, Closer = 2, DeepCloser = 3 };

struct RosterEntry {
    char name[24];  // Shift-JIS
    int32_t turfAbility;
    int32_t dirtAbility;
    uint8_t style;
};

constexpr int32_t RosterSize = 63;
constexpr int32_t RunnerCount = 6;

// Runner sections on the course; the parade and "off the course" states.
enum : uint8_t {
    SectionTop = 0,
    SectionRight = 1,
    SectionLeft = 2,
    SectionBottom = 3,
    SectionOffCourse = 0xFF,
};

struct Runner {
    char name[24];
    int32_t ability;
    uint8_t style;
    int32_t odds;      // the score while the card is made, then win odds in tenths
    int32_t x, y;      // top-left of the 32 x 32 sprite on the playfield
    int32_t vx, vy;    // fifths of a pixel per frame
    int32_t xAccum, yAccum;
    uint8_t animFrame;
    uint8_t animTick;
    uint8_t section;
    uint8_t swerve;
    uint8_t lap;
};

extern const RosterEntry roster[RosterSize];
extern RosterEntry rosterWorking[RosterSize];
extern Runner runners[RunnerCount];

extern uint8_t oddsOrder[RunnerCount];
extern uint8_t runningOrder[RunnerCount];
extern int32_t leader;
extern uint8_t finishOrder[RunnerCount];
extern uint8_t finishCount;
extern uint8_t postFade;
extern uint8_t boardTick;

// The working roster, the runners and the race-wide values all zero, as at process start.
void resetRunners();
void prepareRoster();
void makeRaceCard();
// The percentage of runner i's ability it may reach in the current phase of the race.
int32_t paceFactor(int32_t i);
// The race phase from the leader's lap and section: 2 at the start, 11 on the final
// straight, 12 once the leader has finished.
int32_t racePhase();
