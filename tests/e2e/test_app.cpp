// The whole program on the virtual clock: command line, instance rule, input rules,
// settings file, start-up placement and the display switch.
#include <gtest/gtest.h>

#include "app/main_loop.h"
#include "app/preview.h"
#include "core/settings.h"
#include "app/window.h"
#include "gfx/present.h"
#include "race/scenes.h"
#include "support/program_run.h"

#include <utility>

namespace {

struct Ended {
    int exitCode;
    uint32_t at;
};

Ended runSaver(ProgramRun& run, const char* commandLine = "/s") {
    int code = run.run(commandLine);
    return {code, headlessElapsed()};
}

TEST(CommandLine, OnlySaverAndSettingsSwitchesStartAnything) {
    for (const char* line : {"/p 1234", "x", "/a", "s", " /s"}) {
        ProgramRun run;
        run.begin();
        EXPECT_EQ(run.run(line), 0) << line;
        EXPECT_EQ(mainWindow, nullptr) << line;
        EXPECT_EQ(scene, SceneQuit) << line;
        EXPECT_TRUE(run.readData("Setup.ini").empty()) << line;
    }
}

// The preview request names the host's window in decimal; anything else is no request.
TEST(CommandLine, PreviewWindowNumber) {
    const struct {
        const char* line;
        uintptr_t number;
    } cases[] = {
        {"/p 1234", 1234}, {"/P 65810", 65810},  {"/p:99", 99},  {"/p  7 extra", 7},
        {"/p", 0},         {"/p x", 0},          {"/p 12x", 0},  {"/s 1234", 0},
        {"p 1234", 0},     {"/p 99999999999999999999999", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(previewWindowNumber(c.line), c.number) << c.line;
}

TEST(CommandLine, SettingsForms) {
    for (const char* line : {"/c", "/C", "/c:1234", ""}) {
        ProgramRun run;
        run.begin();
        headlessScript(50, WmCommand, 0, 0);
        EXPECT_EQ(run.run(line), 0) << line;
        EXPECT_EQ(scene, SceneSettings) << line;
        EXPECT_EQ(run.readData("Setup.ini").size(), 6u) << line;
    }
}

TEST(CommandLine, SaverFormsAndSecondInstance) {
    for (const char* line : {"/s", "/S", "/s 1234", "/sX"}) {
        ProgramRun run;
        run.begin();
        headlessScript(1000, WmKeyDown, 0x20, 0);
        Ended end = runSaver(run, line);
        EXPECT_EQ(end.exitCode, 0);
        EXPECT_GE(end.at, 1000u) << line;
        EXPECT_LT(end.at, 1100u) << line;
    }
    ProgramRun run;
    run.config.markerTaken = true;
    run.begin();
    EXPECT_EQ(run.run("/s"), 0);
    EXPECT_EQ(mainWindow, nullptr);
    EXPECT_EQ(headlessElapsed(), 0u);
}

TEST(Input, GracePeriodThenEachActionEndsTheSaver) {
    const uint32_t actions[] = {WmKeyDown, WmKillFocus, WmLButtonDown, WmRButtonDown, WmMouseWheel};
    // Also started just before the tick count wraps, with the wrap inside the grace.
    for (uint32_t startTick : {100000u, 0xFFFFFFFFu - 200u}) {
        for (uint32_t action : actions) {
            ProgramRun run;
            run.config.startTick = startTick;
            run.begin();
            headlessScript(100, action, 0, 0);  // inside the grace period: ignored
            headlessScript(400, action, 0, 0);
            headlessScript(1500, action, 0, 0);
            Ended end = runSaver(run);
            EXPECT_EQ(end.exitCode, 0);
            EXPECT_GE(end.at, 1500u) << action << " " << startTick;
            EXPECT_LT(end.at, 1600u) << action << " " << startTick;
        }
        ProgramRun run;
        run.config.startTick = startTick;
        run.begin();
        headlessScript(600, WmKeyDown, 0, 0);
        EXPECT_LT(runSaver(run).at, 700u);
    }
}

TEST(Input, SystemKeysAndUnknownMessagesDoNotEndTheSaver) {
    ProgramRun run;
    run.begin();
    headlessScript(1000, WmSysKeyDown, 0x12, 0);
    headlessScript(1100, 0x0400, 0, 0);
    headlessScript(3000, WmKeyDown, 0, 0);
    EXPECT_GE(runSaver(run).at, 3000u);
}

TEST(Input, MouseRuleMeasuresFromTheFirstReport) {
    ProgramRun run;
    run.begin();
    headlessScript(2000, WmMouseMove, 0, mouseAt(100, 100));  // first report: reference only
    headlessScript(2100, WmMouseMove, 0, mouseAt(104, 104));
    headlessScript(2200, WmMouseMove, 0, mouseAt(96, 97));
    headlessScript(2300, WmMouseMove, 0, mouseAt(105, 100));
    EXPECT_GE(runSaver(run).at, 2300u);

    ProgramRun drift;
    drift.begin();
    // A slow drift of one pixel per report ends it once it is 5 away from the start.
    for (int i = 0; i <= 6; ++i) headlessScript(2000 + 100 * i, WmMouseMove, 0, mouseAt(50, 50 + i));
    Ended end = runSaver(drift);
    EXPECT_GE(end.at, 2500u);
    EXPECT_LT(end.at, 2600u);

    ProgramRun early;
    early.begin();
    headlessScript(100, WmMouseMove, 0, mouseAt(10, 10));
    headlessScript(200, WmMouseMove, 0, mouseAt(300, 10));  // during the grace period
    headlessScript(2000, WmMouseMove, 0, mouseAt(10, 10));
    headlessScript(2100, WmMouseMove, 0, mouseAt(10, 200));
    EXPECT_GE(runSaver(early).at, 2100u);
}

TEST(Input, SettingsWindowIgnoresEverythingButClicksAndOk) {
    ProgramRun run;
    run.begin();
    for (uint32_t message : {WmKeyDown, WmRButtonDown, WmMouseWheel, WmMouseMove, WmKillFocus})
        headlessScript(1000, message, 0, mouseAt(300, 300));
    headlessScript(5000, WmCommand, 7, 0);  // any command ends the settings screen
    EXPECT_EQ(run.run("/c"), 0);
    EXPECT_GE(headlessElapsed(), 5000u);
}

TEST(SettingsFile, ReadsValuesAndFallsBackToDefaults) {
    struct Case {
        std::vector<uint8_t> bytes;
        int32_t expect[5];
    };
    const Case cases[] = {
        {{2, 0, 2, 1, 0, 1}, {0, 2, 1, 0, 1}},
        {{2, 0, 2, 1, 0, 1, 9, 9}, {0, 2, 1, 0, 1}},  // longer files are accepted
        {{1, 0, 2, 1, 0, 1}, {2, 1, 0, 1, 0}},        // wrong version
        {{2, 0, 2}, {2, 1, 0, 1, 0}},                 // too short: nothing unread is used
        {{}, {2, 1, 0, 1, 0}},
        {{2, 0xFF, 9, 0, 1, 0}, {-1, 9, 0, 1, 0}},    // out of range, used as read
    };
    for (const Case& c : cases) {
        ProgramRun run;
        run.writeData("Setup.ini", c.bytes);
        run.begin();
        headlessScript(10, WmCommand, 0, 0);
        run.run("/c");
        EXPECT_EQ(speed, c.expect[0]);
        EXPECT_EQ(interval, c.expect[1]);
        EXPECT_EQ(music, c.expect[2]);
        EXPECT_EQ(fullScreen, c.expect[3]);
        EXPECT_EQ(antiAlias, c.expect[4]);
        std::vector<uint8_t> written = run.readData("Setup.ini");
        ASSERT_EQ(written.size(), 6u);
        EXPECT_EQ(written[0], 2);
        EXPECT_EQ(int8_t(written[1]), c.expect[0]);
    }
}

TEST(SettingsFile, SaverNeverWritesItAndMissingDataFolderLosesChoicesQuietly) {
    ProgramRun run;
    run.writeData("Setup.ini", {2, 1, 1, 1, 1, 1, 7});
    run.begin();
    headlessScript(1000, WmKeyDown, 0, 0);
    run.run("/s");
    EXPECT_EQ(run.readData("Setup.ini").size(), 7u);

    ProgramRun bare;
    std::string command = "rm -rf '" + bare.directory + "/Data'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    bare.begin();
    headlessScript(10, WmCommand, 0, 0);
    EXPECT_EQ(bare.run("/c"), 0);

    // A working directory too long for the data folder's path gives no data folder at
    // all: nothing is read or written anywhere, rather than under a cut-off path.
    ProgramRun deep;
    std::string longDir = deep.directory;
    while (longDir.size() < 300) longDir += "/deeper-directory";
    ASSERT_EQ(std::system(("mkdir -p '" + longDir + "/Data'").c_str()), 0);
    ASSERT_EQ(chdir(longDir.c_str()), 0);
    deep.begin();
    headlessScript(10, WmCommand, 0, 0);
    EXPECT_EQ(deep.run("/c"), 0);
    EXPECT_EQ(dataDir[0], 0);
    FILE* written = std::fopen((longDir + "/Data/Setup.ini").c_str(), "rb");
    EXPECT_EQ(written, nullptr);
    if (written) std::fclose(written);
}

TEST(StartUp, PlayfieldPlacement) {
    struct Case {
        int w, h, originX, originY, viewX, viewY;
    };
    // Windows 640 to 799 wide centre the narrow 640 x 480 view.
    for (Case c : {Case{1024, 768, 112, 64, 0, 0}, Case{800, 600, 0, -20, 0, 0},
                   Case{1366, 768, 283, 64, 0, 0}, Case{1920, 1080, 560, 220, 0, 0},
                   Case{640, 480, -1, 0, 0, 0}, Case{700, 500, -1, 0, 30, 10},
                   Case{768, 1024, -1, 0, 64, 272}, Case{720, 400, -1, 0, 40, 0},
                   Case{600, 800, -1, 0, 0, 0}}) {
        ProgramRun run;
        run.config.desktopWidth = c.w;
        run.config.desktopHeight = c.h;
        run.begin();
        headlessScript(1000, WmKeyDown, 0, 0);
        run.run("/s");
        EXPECT_EQ(originX, c.originX) << c.w;
        EXPECT_EQ(originY, c.originY) << c.w;
        EXPECT_EQ(viewX, c.viewX) << c.w;
        EXPECT_EQ(viewY, c.viewY) << c.w;
        EXPECT_EQ(screenWidth, c.w);
        EXPECT_EQ(screenHeight, c.h);
        EXPECT_EQ(headlessCounters().cursorCount, 0) << "cursor shown again at the end";
    }
}

TEST(StartUp, FullScreenSwitchesTo640AndRestores) {
    ProgramRun run;
    run.writeData("Setup.ini", {2, 2, 1, 0, 0, 0});
    run.config.refresh = 72;
    run.begin();
    int checkedWidth = 0;
    headlessSetSleepHook(
        [](void* user) {
            int& w = *static_cast<int*>(user);
            if (w == 0) w = headlessCounters().currentWidth;
        },
        &checkedWidth);
    headlessScript(1000, WmKeyDown, 0, 0);
    run.run("/s");
    EXPECT_EQ(checkedWidth, 640);
    EXPECT_EQ(screenWidth, 640);
    EXPECT_EQ(originX, -1);
    // The last 640 x 480 mode of the desktop depth is used, with the start-up refresh.
    EXPECT_EQ(mode640, 2);
    EXPECT_EQ(modeAtStart, 3);
    EXPECT_EQ(headlessCounters().displayChanges, 2);
    EXPECT_EQ(headlessCounters().currentWidth, 1024);
    EXPECT_EQ(headlessCounters().currentFrequency, 72);

    // A refused switch, and no 640 x 480 mode at all (no switch, no restore): both keep
    // the desktop and the wide layout.
    for (const bool has640 : {true, false}) {
        ProgramRun other;
        other.writeData("Setup.ini", {2, 2, 1, 0, 0, 0});
        if (has640) other.config.displayTestResult = DispChangeRestart;
        other.config.has640Mode = has640;
        other.begin();
        headlessScript(1000, WmKeyDown, 0, 0);
        other.run("/s");
        EXPECT_EQ(screenWidth, 1024) << has640;
        EXPECT_EQ(originX, 112) << has640;
        if (!has640) {
            EXPECT_EQ(headlessCounters().displayChanges, 0);
        }
    }
}

TEST(StartUp, NarrowViewCentredWithBlackAround) {
    ProgramRun run;
    run.config.desktopWidth = 768;
    run.config.desktopHeight = 1024;
    run.begin();
    static int checked;
    checked = 0;
    headlessSetSleepHook(
        [](void*) {
            if (checked || headlessElapsed() < 1500) return;  // the logo fully in
            const SoftBitmap& p = *headlessWindowPicture();
            auto at = [&p](int x, int y) {
                const uint8_t* b = p.bits + size_t(p.height - 1 - y) * p.stride + size_t(x) * 3;
                return uint32_t(b[0] | b[1] << 8 | b[2] << 16);
            };
            checked = 1;
            for (int y = 0; y < 480; y += 7)
                for (int x = 0; x < 640; x += 7)
                    if (at(64 + x, 272 + y) != uint32_t(getPixel(logoSurface, x, y))) checked = 2;
            for (int y = 0; y < 1024; y += 3)
                for (int x : {0, 63, 704, 767})
                    if (at(x, y) != 0) checked = 3;
            for (int x = 0; x < 768; x += 3)
                if (at(x, 271) != 0 || at(x, 752) != 0) checked = 3;
        },
        nullptr);
    headlessScript(2000, WmKeyDown, 0, 0);
    run.run("/s");
    EXPECT_EQ(checked, 1);
}

TEST(MainLoop, FramePacingTable) {
    for (int32_t s = 0; s <= 4; ++s) {
        speed = s;
        EXPECT_EQ(framePeriod(SceneParade), uint32_t(s * 20 + 10));
        EXPECT_EQ(framePeriod(SceneRace), uint32_t(s * 20 + 10));
        for (int32_t other : {SceneStart, SceneLogo, SceneCourse, SceneBoard})
            EXPECT_EQ(framePeriod(other), 10u);
    }
    // Values a settings file can hold: no frame is shorter than 10 ms.
    for (int32_t s : {-1, -128, 127}) {
        speed = s;
        EXPECT_EQ(framePeriod(SceneRace), s < 0 ? 10u : uint32_t(s * 20 + 10)) << s;
    }
    speed = 2;
}

// Frame times and pictures over the first seconds (logo, course, board) and the time
// the saver ends, for a run that starts at startTick.
std::vector<std::pair<uint32_t, uint64_t>> firstSeconds(uint32_t startTick) {
    static std::vector<std::pair<uint32_t, uint64_t>> frames;
    frames.clear();
    ProgramRun run;
    run.config.startTick = startTick;
    run.begin();
    headlessSetFrameSink(
        [](const SoftBitmap& p, void*) {
            uint64_t hash = 1469598103934665603ull;
            for (int32_t y = 0; y < p.height; y += 7)
                for (int32_t x = 0; x < p.width * 3; x += 5) hash = (hash ^ p.bits[y * p.stride + x]) * 1099511628211ull;
            frames.push_back({headlessElapsed(), hash});
        },
        nullptr);
    headlessScript(9000, WmKeyDown, 0, 0);
    run.run("/s");
    frames.push_back({headlessElapsed(), 0});
    return frames;
}

TEST(MainLoop, TheTickCountWrapChangesNothing) {
    const auto reference = firstSeconds(100000);
    ASSERT_GT(reference.size(), 100u);
    // The wrap inside the logo's fade, inside its hold, and at the first frame.
    for (uint32_t before : {300u, 1500u, 1u})
        EXPECT_EQ(firstSeconds(0u - before), reference) << before;
}

TEST(MainLoop, ScreenTurnsBlackAndLogoFramesAreTenMillisecondsApart) {
    ProgramRun run;
    run.begin();
    static std::vector<uint32_t> paintTimes;
    paintTimes.clear();
    headlessSetFrameSink([](const SoftBitmap&, void*) { paintTimes.push_back(headlessElapsed()); },
                         nullptr);
    headlessScript(4000, WmKeyDown, 0, 0);
    run.run("/s");
    EXPECT_GE(headlessCounters().blits, 1u);  // the black first screen
    ASSERT_GE(paintTimes.size(), 20u);
    // Logo fades draw on every due 50 ms tick: at least 10 ms frames make 60 ms steps.
    for (size_t i = 1; i < 16; ++i) {
        EXPECT_GE(paintTimes[i] - paintTimes[i - 1], 50u);
        EXPECT_LE(paintTimes[i] - paintTimes[i - 1], 60u);
    }
}

}  // namespace
