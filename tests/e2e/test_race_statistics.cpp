// Whole races: twenty seeded races run from the gate to the end of the scene, every step pinned;
// a whole meeting through the program, whose first race with seed 1 is pinned; and the
// pictures of one race in each layout.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "platform/headless/headless_sound.h"
#include "race/race_line.h"
#include "race/random.h"
#include "support/pins.h"
#include "support/program_run.h"
#include "support/race_stage.h"

namespace {

// A seeded race card with the field at the gate, the race scene about to begin.
void startRace(uint32_t seed, int32_t kind) {
    pellrunSrand(seed);
    trackKind = kind;
    prepareRoster();
    makeRaceCard();
    for (int32_t i = 0; i < RunnerCount; ++i)
        runners[i].x = 160 - 32 * i, runners[i].y = 32 * i, runners[i].section = SectionLeft;
    scene = SceneRace;
    step = RaceStart;
}

// Twenty seeded races, every runner's place and state after every frame and the finishing
// order pinned, per seed and hundred frames: the start, the bell, the final straight, the
// placings, the ending's fade and pan and every movement rule show in it.
TEST(RaceStatistics, TwentySeededRacesPinned) {
    RaceStage stage(800, 640);
    PinnedRun pin("race-statistics");
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        startRace(seed * 7919u, int32_t(seed % 2));
        const std::string race = "seed " + std::to_string(seed * 7919u) + (seed % 2 ? " (dirt)" : " (turf)");
        uint64_t trace = 0;
        uint8_t over = 0;
        for (int32_t guard = 0; guard < 3000 && !over; ++guard) {
            if (guard % 100 == 0 && guard) pin.frame(race + ", frames to " + std::to_string(guard), nullptr, trace);
            over = raceSceneStep();
            for (const Runner& r : runners)
                fold(trace, uint64_t(r.x) << 40 ^ uint64_t(r.y) << 24 ^ uint64_t(r.lap) << 16 ^
                                r.section << 8 ^ r.swerve);
            fold(trace, uint64_t(step) << 40 ^ uint64_t(boardTick) << 16 ^ postFade << 8 ^ finishCount);
        }
        ASSERT_TRUE(over) << race;
        for (uint8_t runner : finishOrder) fold(trace, runner);
        pin.frame(race + ", the end and the finishing order", nullptr, trace);
    }
    pin.check();
}

// The whole program: the meeting runs race after race, and seed 1's first race is the
// same frame for frame on every edition: each change of scene, with the race's frame count
// and finishing order, and the bell are pinned, then the effects (the first race's start,
// bell, leader into the final straight once for each change of lead on the corner and
// silence, then the second race's start and bell) and both races' lines as pellrun-sim --json
// prints them.
TEST(RaceMeeting, SeedOneFirstRaceAndTheNextPinned) {
    ProgramRun run;
    run.config.seedSeconds = 1;
    run.begin();
    struct Seen {
        PinnedRun pin{"meeting-seed-1"};
        int32_t lastScene = -1, rung = -1;
        RaceWatch watch;
    } seen;
    headlessSetSleepHook(
        [](void* user) {
            Seen& s = *static_cast<Seen*>(user);
            // The race's frame count at its bell and at its end, then with the finishing order (gates).
            std::string where = pinWhere(headlessElapsed(), scene, step) + ", races run " + std::to_string(raceCount) +
                                (trackKind ? ", dirt" : ", turf");
            const bool bell = scene == SceneRace && s.rung < int32_t(raceCount) && postFade == 0 && step == RaceRunning;
            const bool ended = scene != s.lastScene && s.lastScene == SceneRace;
            if (bell || ended) where += ", race frame " + std::to_string(raceFrame);
            if (ended) where += ", finishing order ";
            for (uint8_t runner : finishOrder) where += ended ? std::string(1, char('1' + runner)) : "";
            if (bell) s.rung = int32_t(raceCount), s.pin.frame(where + ", the bell", nullptr);
            if (scene != s.lastScene) s.pin.frame(where, nullptr), s.lastScene = scene;
            char line[RaceLineSize];
            if (watchRace(s.watch, line)) s.pin.frame(std::string(line, std::strcspn(line, "\n")), nullptr);
            // Two races take under eight virtual minutes; a scene that never ends fails.
            if (raceCount == 2 || headlessElapsed() > 900000) platPostQuitMessage(0);
        },
        &seen);
    run.run("/s");
    std::string effects = "the effects ";
    for (const HeadlessSoundRecord& r : headlessSoundLog())  // "...Snd3.dat" adds '3'
        if (r.call == SoundPlay && r.path.size() >= 8 && r.path.compare(r.path.size() - 8, 3, "Snd") == 0)
            effects += r.path[r.path.size() - 5];
    seen.pin.frame(effects, nullptr);
    seen.pin.check();
}

// Only what changed is copied from frame to frame; the pictures must be exactly those of
// composing everything anew each frame (every frame starting from nothing known): both runs
// meet the same pin, the screen every fifth frame and through the ending (the post fading back,
// the board's boxes cleared) with the frame's hash as its state. Wide on dirt, narrow on turf.
TEST(RaceDisplayCopies, OnlyChangedRowsGiveTheSamePicturesPinned) {
    for (const auto& [w, h] : {std::pair(1024, 768), std::pair(640, 480)})
        for (bool redrawAll : {false, true}) {
            RaceStage stage(w, h);
            for (int32_t y = 0; y < 640; ++y)
                for (int32_t x = 0; x < 800; ++x) putPixel(courseSurface, x, y, 0x204000u + uint32_t((x ^ y) & 0x3F));
            copyRect(sheetSurface, 351, 367, 31, 75, courseSurface, 763, 373, KeyOpaque);
            for (uint32_t i = 0; i < 6; ++i)  // every runner and sprite column its own colour
                for (uint32_t c = 0; c < 10; ++c)
                    drawRect(sheetSurface, 32 * c, 367 + 32 * i, 32 * c + 31, 367 + 32 * i + 20,
                             0x808080u + 0x101010u * i + 0x020000u * c, RectFill);
            drawRect(sheetSurface, 320, 367, 350, 441, 0xEEEEEE, RectFill);
            PinnedRun pin("race-display-" + std::to_string(w) + "x" + std::to_string(h), 20);
            startRace(2024, w > 800);
            for (int32_t frame = 0, over = 0; frame < 3000 && !over; ++frame) {
                if (redrawAll) resetRaceDisplay();
                over = raceSceneStep();
                if (frame % 5 == 0 || step > 16 || over)
                    pin.frame("race frame " + std::to_string(frame) + ", step " + std::to_string(step),
                              pinPicture(screenSurface), surfaceHash(frameSurface));
            }
            pin.check();
        }
}

}  // namespace
