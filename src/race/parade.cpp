// The parade: the six runners walk one after another from the infield entrance, along
// the walkway, down onto the bottom straight, left and up the left side to their
// staggered starting places. Every 65 ms tick moves each walker 3 pixels.
#include <cstdint>

#include "race/race.h"
#include "race/roster.h"
#include "race/scenes.h"

namespace {

constexpr int32_t EntranceX = 224;
constexpr int32_t EntranceY = 344;
constexpr int32_t WalkwayRiseEnd = 320;  // the walkway climbs until here, then runs level
constexpr int32_t WalkwayY = 324;
constexpr int32_t WalkwayExitX = 384;
constexpr int32_t StraightY = 460;
constexpr int32_t ParadePace = 3;

void walk(int32_t i) {
    Runner& r = runners[i];
    const int32_t laneX = 160 - 32 * i;
    const int32_t rowY = 32 * i;
    switch (r.section) {
    case SectionParadeRight:
        r.x += ParadePace;
        r.y = r.x < WalkwayRiseEnd ? EntranceY - (r.x - EntranceX) / 5 : WalkwayY;
        if (r.x >= WalkwayExitX) {
            r.x = WalkwayExitX;
            r.section = SectionParadeDown;
        }
        break;
    case SectionParadeDown:
        r.y += ParadePace;
        if (r.y >= StraightY) {
            r.y = StraightY;
            r.section = SectionParadeLeft;
        }
        break;
    case SectionParadeLeft:
        r.x -= ParadePace;
        if (r.x <= laneX) {
            r.x = laneX;
            r.section = SectionParadeUp;
        }
        break;
    case SectionParadeUp:
        r.y -= ParadePace;
        if (r.y <= rowY) {
            r.y = rowY;
            r.section = SectionLeft;
        }
        break;
    default:
        break;
    }
}

}  // namespace

uint8_t paradeSceneStep() {
    if (step == ParadeStart) {
        resetRaceDisplay();
        startTimedStep(ParadeWalk);
        return 0;
    }
    if (step != ParadeWalk || !tickDue(ParadeTickMs)) return 0;

    uint8_t result = 0;
    for (int32_t i = 0; i < RunnerCount; ++i) {
        Runner& r = runners[i];
        if (r.section == SectionLeft) {
            if (i == RunnerCount - 1) result = 1;
        } else if (r.section == SectionOffCourse) {
            // Each runner enters as the one before it turns down off the walkway.
            if (i == 0 || runners[i - 1].section == SectionParadeDown) {
                r.x = EntranceX;
                r.y = EntranceY;
                r.section = SectionParadeRight;
            }
        } else {
            walk(i);
        }
    }

    // The narrow view watches the middle until the last runner leaves the walkway.
    const Runner& last = runners[RunnerCount - 1];
    if (last.section == SectionParadeRight || last.section == SectionOffCourse)
        drawRaceFrame(80, 80);
    else
        drawRaceFrame(last.x - 304, last.y - 244);
    return result;
}
