// Whole races: twenty seeded races run from the gate to the end of the scene, every step pinned;
// a whole meeting through the program, whose first race with seed 1 is pinned; and the
// pictures of one race in each layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/headless/headless_sound.h"
#include "race/race_line.h"
#include "race/random.h"
#include "support/program_run.h"
#include "support/race_stage.h"

namespace {

// A seeded race card with the field at the gate, the race scene about to begin.
void startRace(uint32_t seed, int32_t kind) {
    pellrunSrand(seed);
    trackKind = kind;
    prepareRoster();
    makeRaceCard();
    for (int32_t i = 0; i < RunnerCount; ++i) {
        runners[i].x = 160 - 32 * i;
        runners[i].y = 32 * i;
        runners[i].section = SectionLeft;
    }
    scene = SceneRace;
    step = 0;
}

// Twenty seeded races, every runner's place and state after every frame and the finishing
// order folded into one checksum: the start, the bell, the final straight, the placings,
// the ending's fade and pan and every movement rule show in it.
TEST(RaceStatistics, TwentySeededRacesPinned) {
    RaceStage stage(800, 640);
    // The course under the post, saved in the sheet as the course scene does.
    drawRect(courseSurface, 0, 0, 799, 639, 0x2A6B2A, RectFill);
    copyRect(sheetSurface, 351, 367, 31, 75, courseSurface, 763, 373, KeyOpaque);
    drawRect(sheetSurface, 320, 367, 350, 441, 0xEEEEEE, RectFill);
    uint64_t trace = 0;
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        startRace(seed * 7919u, int32_t(seed % 2));
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        uint8_t over = 0;
        for (int32_t guard = 0; guard < 3000 && !over; ++guard) {
            over = raceSceneStep();
            for (const Runner& r : runners)
                fold(trace, uint64_t(r.x) << 40 ^ uint64_t(r.y) << 24 ^ uint64_t(r.lap) << 16 ^
                                r.section << 8 ^ r.swerve);
            fold(trace, uint64_t(step) << 40 ^ uint64_t(boardTick) << 16 ^ postFade << 8 ^ finishCount);
        }
        ASSERT_TRUE(over);
        for (uint8_t runner : finishOrder) fold(trace, runner);
        // The course is left as it was found: board boxes black, post faded away.
        for (int32_t k = 0; k < RunnerCount; ++k)
            EXPECT_EQ(getPixel(courseSurface, 282 + 40 * k + 17, 266 + 17), 0u);
        EXPECT_EQ(getPixel(courseSurface, 770, 400), 0x2A6B2Au);
    }
    EXPECT_EQ(trace, 0xff62f72c09d0a91full);
}

// The whole program: the meeting runs race after race, and seed 1's first two races are
// the same frame for frame on every edition (their lines as pellrun-sim --json prints them).
TEST(RaceMeeting, SeedOneFirstRaceAndTheNext) {
    ProgramRun run;
    run.config.seedSeconds = 1;
    run.begin();
    struct Seen {
        int32_t lastScene = -1;
        std::vector<int32_t> scenes;
        RaceWatch watch;
        std::string lines;
    } seen;
    headlessSetSleepHook(
        [](void* user) {
            Seen& s = *static_cast<Seen*>(user);
            char line[RaceLineSize];
            if (watchRace(s.watch, line)) s.lines += line;
            if (scene != s.lastScene) s.scenes.push_back(s.lastScene = scene);
            // Two races take under eight virtual minutes; a scene that never ends fails.
            if (raceCount == 2 || headlessElapsed() > 900000) platPostQuitMessage(0);
        },
        &seen);
    run.run("/s");
    const std::vector<int32_t> expected = {SceneLogo,  SceneCourse, SceneBoard, SceneParade, SceneRace,
                                           SceneCourse, SceneBoard, SceneParade, SceneRace, SceneCourse};
    EXPECT_EQ(seen.scenes, expected);
    EXPECT_EQ(seen.lines,
              "{\"race\":1,\"track\":\"turf\",\"bgm\":1,\"fanfare\":3,\"runners\":["
              "{\"gate\":1,\"name\":\"トウカイポインチュ\",\"ability\":47,\"style\":\"closer\",\"odds\":49},"
              "{\"gate\":2,\"name\":\"チュウナンカンプ\",\"ability\":47,\"style\":\"front-runner\",\"odds\":57},"
              "{\"gate\":3,\"name\":\"シンボリクリスエチュ\",\"ability\":49,\"style\":\"closer\",\"odds\":42},"
              "{\"gate\":4,\"name\":\"エイシンチュンプ\",\"ability\":45,\"style\":\"stalker\",\"odds\":76},"
              "{\"gate\":5,\"name\":\"レディパステチュ\",\"ability\":46,\"style\":\"closer\",\"odds\":63},"
              "{\"gate\":6,\"name\":\"チュウニー\",\"ability\":44,\"style\":\"stalker\",\"odds\":100}]"
              ",\"finish\":[3,4,1,2,6,5],\"frames\":700,\"bell\":359,\"finalStraight\":551,\"firstPlaced\":626}\n"
              "{\"race\":2,\"track\":\"dirt\",\"bgm\":7,\"fanfare\":2,\"runners\":["
              "{\"gate\":1,\"name\":\"ヤマノブリザーチュ\",\"ability\":44,\"style\":\"stalker\",\"odds\":77},"
              "{\"gate\":2,\"name\":\"ダンチュフレーム\",\"ability\":46,\"style\":\"stalker\",\"odds\":56},"
              "{\"gate\":3,\"name\":\"イーグチュカフェ\",\"ability\":49,\"style\":\"closer\",\"odds\":43},"
              "{\"gate\":4,\"name\":\"チュウザプレンディ\",\"ability\":46,\"style\":\"stalker\",\"odds\":64},"
              "{\"gate\":5,\"name\":\"アメリカンボチュ\",\"ability\":44,\"style\":\"stalker\",\"odds\":98},"
              "{\"gate\":6,\"name\":\"チュウエムオペラオー\",\"ability\":47,\"style\":\"closer\",\"odds\":48}]"
              ",\"finish\":[3,2,1,6,5,4],\"frames\":703,\"bell\":356,\"finalStraight\":540,\"firstPlaced\":620}\n");

    // The effects: the first race's start, bell, leader into the final straight (once for
    // each change of lead on the corner) and silence, then the second race's start and bell.
    std::string effects;
    for (const HeadlessSoundRecord& r : headlessSoundLog()) {
        if (r.call != SoundPlay || r.path.size() < 8) continue;
        std::string tail = r.path.substr(r.path.size() - 8);
        if (tail.compare(0, 3, "Snd") == 0) effects += tail[3];
    }
    EXPECT_EQ(effects.substr(0, 6), "123012");
}

// Runs one race to the end; with redrawAll every frame starts from nothing known, as
// if composing the whole picture. Returns hashes of the frame and the screen.
std::vector<uint64_t> raceHashes(bool redrawAll, int32_t every, int32_t kind) {
    startRace(2024, kind);
    std::vector<uint64_t> hashes;
    for (int32_t frame = 0; frame < 3000; ++frame) {
        if (redrawAll) resetRaceDisplay();
        uint8_t over = raceSceneStep();
        if (frame % every == 0 || step > 16 || over) {
            hashes.push_back(surfaceHash(frameSurface));
            hashes.push_back(surfaceHash(screenSurface));
        }
        if (over) break;
    }
    return hashes;
}

void paintCourse() {
    for (int32_t y = 0; y < 640; ++y)
        for (int32_t x = 0; x < 800; ++x) putPixel(courseSurface, x, y, 0x204000u + uint32_t((x ^ y) & 0x3F));
    copyRect(sheetSurface, 351, 367, 31, 75, courseSurface, 763, 373, KeyOpaque);
    for (uint32_t i = 0; i < 6; ++i)  // every runner and sprite column its own colour
        for (uint32_t c = 0; c < 10; ++c)
            drawRect(sheetSurface, 32 * c, 367 + 32 * i, 32 * c + 31, 367 + 32 * i + 20,
                     0x808080u + 0x101010u * i + 0x020000u * c, RectFill);
    drawRect(sheetSurface, 320, 367, 350, 441, 0xEEEEEE, RectFill);
}

// Only what changed is copied from frame to frame; the pictures must be exactly those
// of composing everything anew each frame.
TEST(RaceDisplayCopies, OnlyChangedRowsGiveTheSamePictures) {
    // Wide on dirt, narrow on turf; the pictures are pinned as well.
    const struct {
        int32_t w, h;
        uint64_t pinned;
    } sizes[] = {{1024, 768, 0x47700976f299652eull}, {640, 480, 0x2fdde7f52da909fcull}};
    for (const auto& size : sizes) {
        std::vector<uint64_t> runs[2];
        for (int32_t whole = 0; whole < 2; ++whole) {
            RaceStage stage(size.w, size.h);
            paintCourse();
            runs[whole] = raceHashes(whole, 5, size.w > 800);
        }
        ASSERT_GT(runs[0].size(), 200u);
        EXPECT_EQ(runs[0], runs[1]) << size.w;
        uint64_t pinned = 0;
        for (uint64_t h : runs[0]) fold(pinned, h);
        EXPECT_EQ(pinned, size.pinned) << size.w;
    }
}

}  // namespace
