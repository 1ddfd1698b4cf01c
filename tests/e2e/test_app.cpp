// The whole program on the virtual clock: command line, instance rule, input rules,
// settings file, start-up placement and the display switch.
#include <gtest/gtest.h>

#include "app/preview.h"
#include "core/settings.h"
#include "app/window.h"
#include "gfx/present.h"
#include "race/scenes.h"
#include "support/pins.h"
#include "support/program_run.h"

#include <utility>

namespace {

// The mode is read from the first two bytes: the saver switch runs until a key, the
// settings switch (or none) until OK writes the file, anything else starts nothing.
TEST(CommandLine, SwitchesChooseTheMode) {
    enum Kind { Nothing, Settings, Saver };
    const struct {
        const char* line;
        Kind kind;
        bool taken = false;  // the instance marker is held: a second instance starts nothing
    } cases[] = {
        {"/p 1234", Nothing}, {"x", Nothing},       {"/a", Nothing},       {"s", Nothing},
        {" /s", Nothing},     {"/c", Settings},     {"/C", Settings},      {"/c:1234", Settings},
        {"", Settings},       {"/s", Saver},        {"/S", Saver},         {"/s 1234", Saver},
        {"/sX", Saver},       {"/s", Nothing, true},
    };
    for (const auto& c : cases) {
        ProgramRun run;
        run.config.markerTaken = c.taken;
        run.begin();
        headlessScript(1000, c.kind == Settings ? WmCommand : WmKeyDown, 0x20, 0);
        EXPECT_EQ(run.run(c.line), 0) << c.line;
        if (c.kind != Saver && !c.taken) {
            EXPECT_EQ(scene, c.kind == Nothing ? SceneQuit : SceneSettings) << c.line;
        }
        EXPECT_EQ(mainWindow == nullptr, c.kind == Nothing) << c.line;
        EXPECT_EQ(headlessElapsed() / 100, c.kind == Nothing ? 0u : 10u) << c.line;
        EXPECT_EQ(run.readData("Setup.ini").size(), c.kind == Settings ? 6u : 0u) << c.line;
    }
}

// The preview request names the host's window in decimal; anything else is no request.
TEST(CommandLine, PreviewWindowNumber) {
    const std::pair<const char*, uintptr_t> cases[] = {
        {"/p 1234", 1234}, {"/P 65810", 65810},  {"/p:99", 99},  {"/p  7 extra", 7},
        {"/p", 0},         {"/p x", 0},          {"/p 12x", 0},  {"/s 1234", 0},
        {"p 1234", 0},     {"/p 99999999999999999999999", 0},
    };
    for (const auto& [line, number] : cases) EXPECT_EQ(previewWindowNumber(line), number) << line;
}

// Scripted input and the window of time in which the saver ends.
TEST(Input, WhatEndsTheSaverAndWhen) {
    struct Event {
        uint32_t at, message;
        uintptr_t wParam = 0;
        int x = 0, y = 0;
    };
    struct Case {
        std::vector<Event> events;
        uint32_t endsFrom;
    };
    std::vector<Case> cases = {
        // System keys and unknown messages are ignored.
        {{{1000, WmSysKeyDown, 0x12}, {1100, 0x0400}, {1200, WmMouseHWheel}, {3000, WmKeyDown}}, 3000},
        // The first mouse report is the reference, never moved; moves under 5 pixels from it are ignored.
        {{{2000, WmMouseMove, 0, 100, 100}, {2100, WmMouseMove, 0, 104, 104},
          {2200, WmMouseMove, 0, 96, 97}, {2300, WmMouseMove, 0, 105, 100}}, 2300},
        // A key while the board sleeps between its clock's seconds wakes it at once.
        {{{40250, WmKeyDown}}, 40250},
        // Another monitor left of or above the window reports negative positions: 4 pixels
        // across the edge are still jitter, 5 end it.
        {{{2000, WmMouseMove, 0, 2, 1}, {2100, WmMouseMove, 0, -2, -3}, {2200, WmMouseMove, 0, -3, 1}}, 2200},
        // Reports during the grace period are no reference.
        {{{100, WmMouseMove, 0, 10, 10}, {200, WmMouseMove, 0, 300, 10}, {2000, WmMouseMove, 0, 10, 10},
          {2100, WmMouseMove, 0, 10, 200}}, 2100},
    };
    // Each action ends it once the grace period of half a second is over.
    for (uint32_t action : {WmKeyDown, WmKillFocus, WmLButtonDown, WmRButtonDown, WmMouseWheel})
        cases.push_back({{{100, action}, {400, action}, {600, action}}, 600});
    // Also started just before the tick count wraps, with the wrap inside the grace.
    for (uint32_t startTick : {100000u, 0xFFFFFFFFu - 200u})
        for (const Case& c : cases) {
            ProgramRun run;
            run.config.startTick = startTick;
            run.begin();
            for (const Event& e : c.events) headlessScript(e.at, e.message, e.wParam, mouseAt(e.x, e.y));
            headlessScript(c.endsFrom + 1000, WmKeyDown, 0, 0);  // a late end should the rule fail
            run.run("/s");
            EXPECT_EQ(headlessElapsed() / 100, c.endsFrom / 100) << c.events[0].message << " " << startTick;
        }
}

// The settings screen ("/c") shows the file's values, defaults for a file it cannot use and
// the nearest choice for a value out of range, and OK writes back what it shows; the saver
// ("/s") neither writes the file nor corrects its values.
TEST(SettingsFile, ReadsValuesAndFallsBackToDefaults) {
    const struct {
        std::vector<uint8_t> bytes;
        int32_t expect[5];
        const char* line = "/c";
    } cases[] = {
        {{2, 0, 2, 1, 0, 1, 9, 9}, {0, 2, 1, 0, 1}},  // longer files are accepted
        {{1, 0, 2, 1, 0, 1}, {2, 1, 0, 1, 0}},        // wrong version
        {{2, 0, 2}, {2, 1, 0, 1, 0}},                 // too short: nothing unread is used
        {{}, {2, 1, 0, 1, 0}},
        {{2, 0xFF, 9, 0, 1, 0}, {0, 2, 0, 1, 0}},
        {{2, 0x7F, 0x80, 0x7F, 0x80, 0x7F}, {4, 0, 1, 0, 1}},
        {{2, 0x7F, 9, 1, 1, 1, 7}, {127, 9, 1, 1, 1}, "/s"},
    };
    for (const auto& c : cases) {
        const bool saver = c.line[1] == 's';
        ProgramRun run;
        run.writeData("Setup.ini", c.bytes);
        run.begin();
        headlessScript(saver ? 1000 : 10, saver ? WmKeyDown : WmCommand, 0, 0);
        run.run(c.line);
        EXPECT_EQ((std::vector<int32_t>{speed, interval, music, fullScreen, antiAlias}),
                  std::vector<int32_t>(c.expect, c.expect + 5)) << c.line;
        std::vector<uint8_t> written{2};
        for (int32_t value : c.expect) written.push_back(uint8_t(value));
        EXPECT_EQ(run.readData("Setup.ini"), saver ? c.bytes : written) << c.line;
    }
}

// Saving replaces a regular file, keeping its mode. Settings the settings screen cannot save
// end it with 1: a folder in the file's place (left as it was), no Data folder, or a working
// directory too long for the data folder's path, which gives no data folder at all: nothing
// is read or written anywhere, rather than under a cut-off path. (check_sdl_save.sh: full
// disk, link, kill.)
TEST(SettingsFile, SaveReplacesOnlyARegularFileAndLostChoicesAreReported) {
    std::string deep = "deeper";
    while (deep.size() < 300) deep += "/deeper-directory";
    const struct {
        std::string setUp;  // shell command in the working directory
        std::string into;   // where the program runs, under the working directory
        int exitCode;
        std::string after;  // shell test that must hold afterwards
    } cases[] = {
        {"printf 'old-bytes' > Data/Setup.ini && chmod 640 Data/Setup.ini", ".", 0,
         "[ $(stat -c %a Data/Setup.ini) = 640 ] && [ $(od -An -tx1 Data/Setup.ini | tr -d ' ') = 020201000100 ]"},
        {"mkdir Data/Setup.ini", ".", 1, "[ -d Data/Setup.ini ]"},
        {"rm -r Data", ".", 1, "[ ! -e Data ]"},
        {"mkdir -p " + deep + "/Data", deep, 1, "[ ! -e " + deep + "/Data/Setup.ini ]"},
    };
    for (const auto& c : cases) {
        ProgramRun run;
        ASSERT_EQ(std::system(c.setUp.c_str()), 0) << c.setUp;
        ASSERT_EQ(chdir(c.into.c_str()), 0);
        run.begin();
        headlessScript(10, WmCommand, 0, 0);
        EXPECT_EQ(run.run("/c"), c.exitCode) << c.setUp;
        EXPECT_EQ(dataDir[0] == 0, c.into != ".") << c.setUp;  // a data folder only with a whole path
        ASSERT_EQ(chdir(run.directory.c_str()), 0);
        EXPECT_EQ(std::system(c.after.c_str()), 0) << c.setUp;
    }
}

// Where the playfield lies in the window: windows 640 to 799 wide centre the narrow 640 x 480
// view. With the display switch on, the last 640 x 480 mode of the desktop depth is used, with
// the start-up refresh, and the desktop's mode (not one of its width only) restored. A refused
// switch, and no 640 x 480 mode at all, keep the desktop and the wide layout, with no restore.
TEST(StartUp, PlayfieldPlacementAndTheDisplaySwitch) {
    const struct {
        int w, h, originX, originY, viewX, viewY;  // w x h: the desktop, or the mode switched to
        bool switchOn = false;                     // the switch on, from a 1024 x 768 desktop
        int32_t testResult = DispChangeSuccessful;
        bool has640 = true;
        std::vector<int> modes{};  // switching: mode and refresh while running, chosen modes, changes
    } cases[] = {
        {1024, 768, 112, 64, 0, 0}, {800, 600, 0, -20, 0, 0}, {1366, 768, 283, 64, 0, 0},
        {1920, 1080, 560, 220, 0, 0}, {640, 480, -1, 0, 0, 0}, {700, 500, -1, 0, 30, 10},
        {768, 1024, -1, 0, 64, 272}, {720, 400, -1, 0, 40, 0}, {600, 800, -1, 0, 0, 0},
        {640, 480, -1, 0, 0, 0, true, DispChangeSuccessful, true, {640, 72, 2, 3, 2}},
        {1024, 768, 112, 64, 0, 0, true, DispChangeRestart, true, {1024, 72, 2, 3, 0}},
        {1024, 768, 112, 64, 0, 0, true, DispChangeSuccessful, false, {1024, 72, -1, 0, 0}},
    };
    for (const auto& c : cases) {
        ProgramRun run;
        if (c.switchOn) run.writeData("Setup.ini", {2, 2, 1, 0, 0, 0});
        run.config.desktopWidth = c.switchOn ? 1024 : c.w;
        run.config.desktopHeight = c.switchOn ? 768 : c.h;
        run.config.refresh = 72;
        run.config.displayTestResult = c.testResult;
        run.config.has640Mode = c.has640;
        run.begin();
        HeadlessCounters on{};  // the display at the first frame
        headlessSetSleepHook(
            [](void* seen) {
                HeadlessCounters& first = *static_cast<HeadlessCounters*>(seen);
                if (!first.currentWidth) first = headlessCounters();
            },
            &on);
        headlessScript(1000, WmKeyDown, 0, 0);
        run.run("/s");
        headlessSetSleepHook(nullptr, nullptr);  // `on` ends with this round
        const HeadlessCounters& d = headlessCounters();
        EXPECT_EQ((std::vector<int>{originX, originY, viewX, viewY, screenWidth, screenHeight}),
                  (std::vector<int>{c.originX, c.originY, c.viewX, c.viewY, c.w, c.h})) << c.w << "x" << c.h;
        const std::vector<int> running{on.currentWidth, on.currentFrequency, mode640, modeAtStart, d.displayChanges};
        if (c.switchOn) {
            EXPECT_EQ(running, c.modes) << c.testResult << c.has640;
        }
        EXPECT_EQ((std::vector<int>{d.currentWidth, d.currentHeight, d.currentFrequency}),
                  (std::vector<int>{run.config.desktopWidth, run.config.desktopHeight, 72})) << "the mode after";
        EXPECT_EQ(d.cursorCount, 0) << "cursor shown again at the end";
    }
}

// Every picture of the first seconds (logo, course, board) is pinned with the time it is
// shown, and the time the saver ends: the first minute, also with the tick count's wrap
// inside the logo's fade, inside its hold and at the first frame; and the narrow view's
// first seconds, the logo fading in at (64, 272) of the 768 x 1024 window with black all
// around it, then the course with the middle of the infield in the view. Waiting for its
// start time the board shows its clock once a second, and the loop wakes twice for it: to
// run the frame and, a frame period later, to show it.
TEST(MainLoop, FirstSecondsPinnedAndTheBoardSleepsBetweenSeconds) {
    const struct {
        const char* pin;
        int32_t storeEvery;
        uint32_t startTick, endAt;
        int width, height;
    } runs[] = {
        {"first-minute-1024x768", 25, 100000, 60000, 1024, 768},
        {"first-minute-1024x768", 25, 0u - 300u, 60000, 1024, 768},
        {"first-minute-1024x768", 25, 0u - 1500u, 60000, 1024, 768},
        {"first-minute-1024x768", 25, 0u - 1u, 60000, 1024, 768},
        {"first-seconds-768x1024", 60, 100000, 6000, 768, 1024},
    };
    for (const auto& r : runs) {
        struct Shown {
            PinnedRun pin;
            std::vector<std::pair<uint32_t, uint32_t>> at;  // each picture's time, the loop's waits so far
        } shown{PinnedRun(r.pin, r.storeEvery), {}};
        ProgramRun run;
        run.config.startTick = r.startTick;
        run.config.desktopWidth = r.width;
        run.config.desktopHeight = r.height;
        run.begin();
        headlessSetFrameSink(
            [](const SoftBitmap& p, void* user) {
                Shown& s = *static_cast<Shown*>(user);
                s.pin.frame(pinWhere(headlessElapsed(), scene, step), pinPicture(p));
                s.at.push_back({headlessElapsed(), headlessCounters().waits});
            },
            &shown);
        headlessScript(r.endAt, WmKeyDown, 0, 0);
        run.run("/s");
        shown.pin.frame("the end at " + std::to_string(headlessElapsed()) + " ms", nullptr);
        shown.pin.check();
        for (size_t k = 1; k < shown.at.size(); ++k) {  // the pin holds each picture's time
            const auto [at, waits] = shown.at[k];
            if (at < 10000) continue;
            EXPECT_LE(waits - shown.at[k - 1].second, 2u) << at;
        }
    }
}

}  // namespace
