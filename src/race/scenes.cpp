#include "race/scenes.h"

#include <algorithm>
#include <cstdio>

#include "core/settings.h"
#include "gfx/present.h"
#include "platform/platform.h"
#include "race/random.h"
#include "race/roster.h"
#include "sound/cues.h"
#include "sound/music.h"

int32_t scene;
int32_t step;
int32_t fadeLevel;
uint32_t stepTick;
uint32_t raceCount;
int32_t trackKind;
uint32_t randomState;

void resetScenes() {
    scene = SceneStart;
    step = fadeLevel = 0;
    stepTick = raceCount = 0;
    trackKind = 0;
}

bool tickDue(uint32_t ms) {
    // Elapsed time, unsigned: the 32-bit count's wrap after 49.7 days changes nothing.
    uint32_t now = platTickCount();
    if (!(now - stepTick > ms)) return false;
    stepTick = platTickCount();
    return true;
}

uint32_t tickDueIn(uint32_t ms) {
    const uint32_t elapsed = platTickCount() - stepTick;
    return elapsed > ms ? 0 : ms + 1 - elapsed;
}

void goToStep(int32_t next) {
    step = next;
    fadeLevel = 0;
}

void startTimedStep(int32_t next) {
    stepTick = platTickCount();
    goToStep(next);
}

static void enterScene(int32_t next) {
    scene = next;
    goToStep(0);
}

uint32_t framePeriod(int32_t currentScene) {
    if (currentScene == SceneParade || currentScene == SceneRace) {
        int64_t period = int64_t(speed) * 20 + 10;
        return uint32_t(period < 10 ? 10 : period);
    }
    return 10;
}

// Milliseconds from now until the current step next has anything to do; 0 when the
// next frame may. Between the ticks of a timed step a frame only finds that no tick is
// due; every other step works in every frame.
static uint32_t currentStepDue() {
    switch (scene) {
    case SceneLogo:
        if (step == LogoFadeIn || step == LogoFadeOut) return tickDueIn(FadeTickMs);
        return step == LogoHold ? tickDueIn(LogoHoldMs) : 0;
    case SceneCourse:
        if (step == CourseInfieldFadeIn || step == CourseTilesClose || step == CourseTilesOpen)
            return tickDueIn(FadeTickMs);
        return 0;
    case SceneBoard:
        return boardSceneDue();
    case SceneParade:
        return step == ParadeWalk ? tickDueIn(ParadeTickMs) : 0;
    default:
        return 0;
    }
}

uint32_t nextFrameDue(uint32_t frameStart, uint32_t period) {
    const uint32_t wait = currentStepDue();
    if (wait == 0 || period == 0) return period;
    const uint64_t due = uint64_t(platTickCount() - frameStart) + wait;
    const uint64_t periods = (due + period - 1) / period;
    if (periods <= 1) return period;
    return uint32_t(std::min<uint64_t>(periods * period, 0xFFFFFFFFu));
}

int32_t stepScenes() {
    char cue[16];
    switch (scene) {
    case SceneStart:
        enterScene(SceneLogo);
        break;
    case SceneLogo:
        if (logoSceneStep() == 1) enterScene(SceneCourse);
        break;
    case SceneCourse:
        if (courseSceneStep() == 1) {
            makeRaceCard();
            std::snprintf(cue, sizeof cue, "Bgm%d", pellrunRand() % 10);
            playMusic(cue);
            enterScene(SceneBoard);
        }
        break;
    case SceneBoard:
        if (boardSceneStep() == 1) {
            std::snprintf(cue, sizeof cue, "In%d", pellrunRand() % 4);
            playMusic(cue);
            enterScene(SceneParade);
        }
        break;
    case SceneParade:
        if (paradeSceneStep() == 1) {
            stopMusic();
            enterScene(SceneRace);
        }
        break;
    case SceneRace:
        if (raceSceneStep() == 1) {
            ++raceCount;
            if (trackKind == 0)
                trackKind = 1;
            else if (trackKind == 1)
                trackKind = 0;
            enterScene(SceneCourse);
        }
        break;
    default:
        break;
    }
    return 1;
}

// A timed fade of 16 drawn levels: on each due tick fadeLevel grows; the 17th tick
// ends it. Returns the level to draw (1..16), 0 for nothing this frame, -1 at the end.
static int32_t fadeTick(uint32_t ms) {
    if (!tickDue(ms)) return 0;
    ++fadeLevel;
    if (uint32_t(fadeLevel) > 16) return -1;
    return fadeLevel;
}

uint8_t logoSceneStep() {
    switch (step) {
    case LogoStart:
        startTimedStep(LogoFadeIn);
        return 0;
    case LogoFadeIn: {
        int32_t level = fadeTick(FadeTickMs);
        if (level < 0) {
            goToStep(LogoHold);
        } else if (level > 0) {
            showLogo(uint32_t(256 - 16 * level));
        }
        return 0;
    }
    case LogoHold:
        if (tickDue(LogoHoldMs)) {
            goToStep(LogoFadeOut);
        }
        return 0;
    case LogoFadeOut: {
        int32_t level = fadeTick(FadeTickMs);
        if (level < 0) return 1;
        if (level > 0) showLogo(uint32_t(16 * level - 1));
        return 0;
    }
    default:
        return 0;
    }
}

// Visits every 32 x 32 cell of the track band, column by column.
template <typename CellFn>
static void forEachTrackCell(CellFn cell) {
    for (int32_t c = 0; c < 25; ++c) {
        for (int32_t r = 0; r < 6; ++r) {
            cell(32 * c, 32 * r);
            cell(32 * c, 448 + 32 * r);
            if (c < 8) {
                cell(32 * r, 192 + 32 * c);
                cell(608 + 32 * r, 192 + 32 * c);
            }
        }
    }
}

uint8_t courseSceneStep() {
    switch (step) {
    case CourseStart:
        if (raceCount > 0) {
            goToStep(CourseCloseStart);
            return 0;
        }
        drawRect(courseSurface, 0, 0, 799, 639, 0x000000, RectFill);
        copyRect(courseSurface, 192, 192, 416, 256, sheetSurface, 0, 559, KeyOpaque);
        copyRect(frameSurface, 0, 0, 800, 640, courseSurface, 0, 0, KeyOpaque);
        // The fade's ticks count on from the logo's last one.
        goToStep(CourseInfieldFadeIn);
        return 0;
    case CourseInfieldFadeIn: {
        int32_t level = fadeTick(FadeTickMs);
        if (level < 0) {
            goToStep(CourseInfieldShown);
        } else if (level > 0) {
            uint32_t darkness = uint32_t(256 - 16 * level);
            if (wideLayout())
                fadeRect(screenSurface, originX, originY, 800, 640, frameSurface, 0, 0, darkness);
            else
                fadeRect(screenSurface, viewX, viewY, 640, 480, frameSurface, 80, 80, darkness);
            requestRepaint();
        }
        return 0;
    }
    case CourseInfieldShown:
    case CourseTilesClosed:
        goToStep(CourseOpenStart);
        return 0;
    case CourseCloseStart:
        startTimedStep(CourseTilesClose);
        return 0;
    case CourseTilesClose: {
        int32_t level = fadeTick(FadeTickMs);
        if (level < 0) {
            goToStep(CourseTilesClosed);
        } else if (level > 0) {
            int32_t k = level - 1;
            forEachTrackCell([k](int32_t cx, int32_t cy) {
                drawRect(courseSurface, cx + k, cy + k, cx + 31 - k, cy + 31 - k, 0x000000,
                         RectFrame);
            });
            showCourse();
        }
        return 0;
    }
    case CourseOpenStart:
        startTimedStep(CourseTilesOpen);
        return 0;
    case CourseTilesOpen: {
        int32_t level = fadeTick(FadeTickMs);
        if (level < 0) {
            goToStep(CourseKeepPostPatch);
        } else if (level > 0) {
            int32_t k = 16 - level;
            int32_t n = 2 * level;
            int32_t tileX = trackKind == 0 ? 0 : 32;
            forEachTrackCell([k, n, tileX](int32_t cx, int32_t cy) {
                copyRect(courseSurface, cx + k, cy + k, n, n, sheetSurface, tileX + k, k,
                         KeyOpaque);
            });
            showCourse();
        }
        return 0;
    }
    case CourseKeepPostPatch:
        copyRect(sheetSurface, 351, 367, 31, 75, courseSurface, 763, 373, KeyOpaque);
        return 1;
    default:
        return 0;
    }
}
