// The race board: clock arithmetic, odds text, labels, and the scene's pictures on
// prepared Surfaces over the headless platform's clock.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "gfx/text.h"
#include "race/board.h"
#include "support/pins.h"
#include "support/race_stage.h"

namespace {

ClockTime timeOf(int hour, int minute, int second) {
    ClockTime t{};
    t.hour = uint8_t(hour), t.minute = uint8_t(minute), t.second = uint8_t(second);
    char digits[8];
    std::snprintf(digits, sizeof digits, "%02d%02d%02d", hour, minute, second);
    std::memcpy(t.hourDigits, digits, 2), std::memcpy(t.minuteDigits, digits + 2, 2);
    std::memcpy(t.secondDigits, digits + 4, 2);
    return t;
}

std::string hhmmss(const ClockTime& t) {
    return std::string(t.hourDigits, 2) + ":" + std::string(t.minuteDigits, 2) + ":" +
           std::string(t.secondDigits, 2);
}

TEST(StartTime, AddsTheIntervalWithinTheDay) {
    const struct {
        int h, m, s, minutes;
        const char* expected;
    } cases[] = {
        {12, 34, 56, 1, "12:35:56"}, {10, 58, 30, 2, "11:00:30"}, {23, 59, 10, 3, "00:02:10"},
        {9, 57, 0, 3, "10:00:00"},   {0, 0, 0, 1, "00:01:00"},
        // Out-of-range intervals a settings file can hold: every carry is made, and the
        // time is never one already past.
        {12, 0, 5, 101, "13:41:05"}, {23, 30, 0, 128, "01:38:00"}, {12, 34, 56, 0, "12:34:56"},
        {12, 34, 56, -127, "12:34:56"},
    };
    for (const auto& c : cases) {
        ClockTime t = timeOf(c.h, c.m, c.s);
        advanceStartTime(t, c.minutes);
        EXPECT_EQ(hhmmss(t), c.expected);
    }
}

// Due within the start hour at or past the time; a later hour never counts, and seconds
// are compared only when the minutes are equal.
TEST(StartTime, DueOnlyWithinTheStartHourAtOrPastTheTime) {
    const struct {
        int start[3], now[3];
        bool due;
    } cases[] = {
        {{11, 0, 30}, {11, 0, 30}, true},   {{11, 0, 30}, {11, 5, 0}, true},  {{11, 0, 30}, {11, 59, 59}, true},
        {{11, 0, 30}, {11, 0, 29}, false},  {{11, 0, 30}, {10, 59, 59}, false}, {{11, 0, 30}, {12, 0, 0}, false},
        {{0, 2, 10}, {23, 59, 59}, false},  {{0, 2, 10}, {0, 1, 59}, false},  {{0, 2, 10}, {0, 2, 10}, true},
        {{0, 2, 10}, {0, 3, 0}, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(startTimeDue(timeOf(c.now[0], c.now[1], c.now[2]), timeOf(c.start[0], c.start[1], c.start[2])), c.due)
            << c.now[0] << ":" << c.now[1] << ":" << c.now[2];
}

TEST(OddsText, FiveCharactersFromTheLastFourDigitsAndLabelsOfKnownStyles) {
    const struct {
        uint32_t odds;
        const char* text;
    } cases[] = {
        {12, "  1.2"}, {105, " 10.5"}, {1000, "100.0"}, {12345, "234.5"},
        {10, "  1.0"}, {9999, "999.9"}, {7, "   .7"}, {0, "   . "},
    };
    for (const auto& c : cases) {
        char text[6] = {'x', 'x', 'x', 'x', 'x', 'x'};   // oddsText must end the text itself
        oddsText(c.odds, text);
        EXPECT_STREQ(text, c.text) << c.odds;
    }
    EXPECT_STREQ(listStyleLabel(3), "\x92\xC7\x8D\x9E");
    EXPECT_STREQ(boardStyleLabel(4), "");
    EXPECT_STREQ(listStyleLabel(4), "");
}

TEST(ReadClock, FieldsAndDigitsFromTheLocalTime) {
    HeadlessConfig config;
    config.startTime = {2026, 3, 0, 7, 9, 5, 7, 0};
    headlessReset(config);
    ClockTime t;
    std::memset(&t, 0xAA, sizeof t);
    EXPECT_EQ(readClock(t), 1);
    EXPECT_EQ(t.year * 10000 + t.month * 100 + t.day, 20260307);
    EXPECT_EQ(t.dayOfWeek, 6);  // a Saturday
    EXPECT_EQ(std::string(t.yearDigits, 8) + hhmmss(t), "2026030709:05:07");
}


// The board's Surfaces at 12:34:56, the course in a test pattern (so that mixes can be
// told from copies) and a field whose row 0 holds a 20-byte full-width name.
struct BoardStage {
    BoardStage(int32_t windowWidth, int32_t windowHeight, int32_t aa = 0) {
        HeadlessConfig config = testConfig();
        config.startTime = {2026, 12, 0, 6, 12, 34, 56, 0};
        resetProgramState();
        headlessReset(config);
        antiAlias = aa;
        interval = 0;
        for (Surface* s : {&frameSurface, &courseSurface})
            createSurface(*s, nullptr, PlayfieldWidth, PlayfieldHeight, 24);
        createSurface(screenSurface, nullptr, windowWidth, windowHeight, 24);
        createSurface(sheetSurface, nullptr, 435, 1000, 24);
        loadBitmapResource(sheetSurface, 101);
        for (int32_t y = 0; y < PlayfieldHeight; ++y)
            for (int32_t x = 0; x < PlayfieldWidth; ++x)
                putPixel(courseSurface, x, y, uint32_t((x * 7) & 0xFF) << 8 | uint32_t(y & 0xFF));
        const bool wide = windowWidth >= PlayfieldWidth;
        originX = wide ? (windowWidth - PlayfieldWidth) / 2 : -1;
        originY = wide ? (windowHeight - PlayfieldHeight) / 2 : 0;
        const char* const names[RunnerCount] = {
            "\x82\x60\x82\x61\x82\x62\x82\x63\x82\x64\x82\x65\x82\x66\x82\x67\x82\x68\x82\x69",
            "Mouse 2", "\x83\x7D\x83\x45\x83\x58", "ABCDEFGHIJKLMNOPQRST", "5", "Six"};
        for (int32_t i = 0; i < RunnerCount; ++i) {
            std::strcpy(runners[i].name, names[i]);
            runners[i].style = uint8_t(i % 4);
            runners[i].odds = 12 + 100 * i;
        }
    }
    ~BoardStage() {
        for (Surface* s : {&screenSurface, &frameSurface, &courseSurface, &sheetSurface}) releaseSurface(*s);
        originX = originY = 0;
    }
};

// Each layout from the first frame to the end: the board goes as soon as the live clock
// reaches the start time, and every picture shown is pinned: the window at each change of
// step, fade level and clock second, then the composed board, the course with the list
// stamped on it (also where a low window hides its top rows) and the sheet's list rows.
// When a pin breaks, look at the names kept to their cells, the smoothing of board rows
// only, the list's mix level and the narrow layout's 80-pixel shift.
TEST(BoardScene, EveryLayoutWaitsForTheStartTimeWithItsPicturesPinned) {
    const struct {
        int32_t width, height, aa;
    } runs[] = {{1024, 768, 1}, {1024, 768, 0}, {640, 480, 0}, {800, 500, 1}};
    for (const auto& run : runs) {
        // Every picture of the first layout is kept for a failure to show, some of the others'.
        PinnedRun pin("board-" + std::to_string(run.width) + "x" + std::to_string(run.height) + "-aa" +
                          std::to_string(run.aa), &run == runs ? 1 : 8);
        BoardStage stage(run.width, run.height, run.aa);
        uint32_t shown = ~0u;
        ClockTime now;
        for (uint8_t over = 0; !over;) {
            readClock(now);  // the time the next frame sees
            const bool waiting = step == BoardWaitStart, due = startTimeDue(now, nextRaceTime);
            over = boardSceneStep();
            platSleep(10);   // 10 ms frames
            if (waiting) {
                ASSERT_EQ(step == BoardFadeOut, due) << hhmmss(now);
            }
            const uint32_t state = uint32_t(step) << 16 | uint32_t(fadeLevel) << 8 | now.second;
            if (state != shown)
                pin.frame(pinWhere(headlessElapsed(), SceneBoard, step) + ", fade " + std::to_string(fadeLevel) +
                              ", clock " + hhmmss(now), pinPicture(screenSurface), state);
            shown = state;
            ASSERT_LT(headlessElapsed(), 100000u);
        }
        EXPECT_EQ(hhmmss(now), "12:35:56");
        pin.frame("the composed board", pinPicture(frameSurface));
        pin.frame("the course with the list", pinPicture(courseSurface));
        pin.frame("the sheet's list rows",
                  pinPicture(sheetSurface.bits, 435, 1000, sheetSurface.stride, 0, 880, 435, 120));
        pin.check();
    }
}

// Unknown modes draw nothing, in either box and on neither picture.
TEST(BoardScene, UnknownClockModesDrawNothing) {
    BoardStage stage(1024, 768);
    nextRaceTime = timeOf(12, 35, 56);   // a time that would show as white digits
    const uint64_t frame = surfaceHash(frameSurface), screen = surfaceHash(screenSurface);
    EXPECT_EQ(drawClock(2) + drawClock(0x1F), 0);
    EXPECT_TRUE(surfaceHash(frameSurface) == frame && surfaceHash(screenSurface) == screen);
}

}  // namespace
