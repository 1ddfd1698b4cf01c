// A playfield for driving the parade and the race directly: the five Surfaces without
// a window, a sprite sheet that is key colour except where a test paints it, and
// helpers to stand runners on the course.
#pragma once
#include <cstring>

#include "core/settings.h"
#include "app/startup.h"
#include "gfx/present.h"
#include "platform/headless/headless.h"
#include "race/race.h"
#include "race/roster.h"
#include "race/scenes.h"
#include "support/program_run.h"

struct RaceStage {
    explicit RaceStage(int32_t w = 1024, int32_t h = 768) {
        resetProgramState();
        headlessReset(testConfig());
        createSurface(screenSurface, nullptr, w, h, 24);
        createSurface(logoSurface, nullptr, 640, 480, 24);
        createSurface(frameSurface, nullptr, 800, 640, 24);
        createSurface(courseSurface, nullptr, 800, 640, 24);
        createSurface(sheetSurface, nullptr, 435, 1000, 24);
        drawRect(sheetSurface, 0, 0, 434, 999, keyColour, RectFill);
        originX = w >= 800 ? (w - 800) / 2 : -1;
        originY = w >= 800 ? (h - 640) / 2 : 0;
        for (int32_t i = 0; i < RunnerCount; ++i) {
            runners[i] = Runner();
            runners[i].section = SectionOffCourse, runners[i].ability = 40;
            runningOrder[i] = finishOrder[i] = uint8_t(i);
        }
        leader = finishCount = boardTick = 0;
        postFade = 255, antiAlias = 1;
    }
    ~RaceStage() {
        for (Surface* s : {&screenSurface, &logoSurface, &frameSurface, &courseSurface, &sheetSurface})
            releaseSurface(*s);
    }
    RaceStage(const RaceStage&) = delete;
    RaceStage& operator=(const RaceStage&) = delete;

    // Stands runner i at (x, y) on a course section, still.
    static Runner& place(int32_t i, int32_t x, int32_t y, uint8_t section, uint8_t lap = 0) {
        Runner& r = runners[i];
        r.x = x, r.y = y, r.section = section, r.lap = lap;
        r.vx = r.vy = r.xAccum = r.yAccum = r.swerve = 0;
        return r;
    }
    // Puts every runner not yet on the course far from everything else.
    static void parkOthers() {
        for (int32_t i = 0; i < RunnerCount; ++i)
            if (runners[i].section == SectionOffCourse) place(i, 2000 + 100 * i, 2000, SectionRight);
    }
    // Paints the course so that each pixel tells its own position.
    static void paintPositions() {
        for (int32_t y = 0; y < 640; ++y)
            for (int32_t x = 0; x < 800; ++x) putPixel(courseSurface, x, y, uint32_t(x) << 12 | uint32_t(y));
    }
};

// Folds a value into a checksum that pins a whole run.
inline void fold(uint64_t& hash, uint64_t value) { hash = (hash ^ value) * 1099511628211ull; }
// The Surfaces of a race have no row padding: their bytes are the picture.
inline uint64_t surfaceHash(const Surface& s) {
    uint64_t h = 0, word;
    for (size_t at = 0; at + 8 <= size_t(s.stride) * size_t(s.height); at += 8) {
        std::memcpy(&word, s.bits + at, 8);
        fold(h, word);
    }
    return h;
}

// Number of random draws between two generator states (up to limit).
inline int32_t drawsBetween(uint32_t from, uint32_t to, int32_t limit = 1000000) {
    for (int32_t n = 0; n <= limit; ++n, from = from * 214013u + 2531011u)
        if (from == to) return n;
    return -1;
}
