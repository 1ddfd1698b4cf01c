// The race board: clock arithmetic, odds text, labels, and the scene's pictures on
// prepared Surfaces over the headless platform's clock.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "core/settings.h"
#include "gfx/present.h"
#include "gfx/text.h"
#include "platform/headless/headless.h"
#include "race/board.h"
#include "race/roster.h"
#include "race/scenes.h"

namespace {

ClockTime timeOf(int hour, int minute, int second) {
    ClockTime t{};
    t.hour = uint8_t(hour);
    t.minute = uint8_t(minute);
    t.second = uint8_t(second);
    auto two = [](char* out, int v) {
        out[0] = char('0' + v / 10);
        out[1] = char('0' + v % 10);
    };
    two(t.hourDigits, hour);
    two(t.minuteDigits, minute);
    two(t.secondDigits, second);
    return t;
}

std::string hhmmss(const ClockTime& t) {
    return std::string(t.hourDigits, 2) + ":" + std::string(t.minuteDigits, 2) + ":" +
           std::string(t.secondDigits, 2);
}

TEST(StartTime, AddsTheIntervalWithinTheDay) {
    struct Case {
        int h, m, s, minutes;
        const char* expected;
    } cases[] = {
        {12, 34, 56, 1, "12:35:56"},
        {10, 58, 30, 2, "11:00:30"},  // minute 60 becomes 0 of the next hour
        {23, 59, 10, 3, "00:02:10"},  // past midnight: the hour wraps, the date does not
        {9, 57, 0, 3, "10:00:00"},
        {0, 0, 0, 1, "00:01:00"},
        // Out-of-range intervals a settings file can hold: every carry is made.
        {12, 0, 5, 101, "13:41:05"},
        {23, 30, 0, 128, "01:38:00"},
        {12, 34, 56, 0, "12:34:56"},
        {12, 34, 56, -127, "12:34:56"},  // never a time already past
    };
    for (const Case& c : cases) {
        ClockTime t = timeOf(c.h, c.m, c.s);
        t.year = 2026;
        t.day = 31;
        t.month = 12;
        advanceStartTime(t, c.minutes);
        EXPECT_EQ(hhmmss(t), c.expected);
        EXPECT_EQ(t.day, 31);
        EXPECT_EQ(t.month, 12);
        EXPECT_EQ(t.year, 2026);
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

TEST(OddsText, FiveCharactersFromTheLastFourDigits) {
    struct Case {
        uint32_t odds;
        const char* text;
    } cases[] = {
        {12, "  1.2"}, {105, " 10.5"}, {1000, "100.0"}, {12345, "234.5"},
        {10, "  1.0"}, {9999, "999.9"}, {7, "   .7"}, {0, "   . "},
    };
    for (const Case& c : cases) {
        char text[6];
        std::memset(text, 'x', sizeof text);
        oddsText(c.odds, text);
        EXPECT_STREQ(text, c.text) << c.odds;
    }
}

TEST(Labels, BoardLabelsFitTheStyleCellAndListLabelsAreTwoCharacters) {
    for (uint8_t style = 0; style < 4; ++style) {
        const size_t board = std::strlen(boardStyleLabel(style));
        EXPECT_TRUE(board == 7 || board == 8) << int(style);
        EXPECT_EQ(std::strlen(listStyleLabel(style)), 4u);
    }
    EXPECT_STREQ(boardStyleLabel(0), "\x20\x93\xA6\x81\x40\x82\xB0");
    EXPECT_STREQ(listStyleLabel(3), "\x92\xC7\x8D\x9E");
    EXPECT_STREQ(boardStyleLabel(4), "");
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
    EXPECT_EQ(std::string(t.yearDigits, 4) + std::string(t.monthDigits, 2) + std::string(t.dayDigits, 2),
              "20260307");
    EXPECT_EQ(hhmmss(t), "09:05:07");
    platSleep(61999);
    readClock(t);
    EXPECT_EQ(hhmmss(t), "09:06:08");  // milliseconds are dropped
}

// ---- The scene on prepared Surfaces -----------------------------------------------

const char* const Names[RunnerCount] = {
    "\x82\x60\x82\x61\x82\x62\x82\x63\x82\x64\x82\x65\x82\x66\x82\x67\x82\x68\x82\x69",
    "Mouse 2", "\x83\x7D\x83\x45\x83\x58", "ABCDEFGHIJKLMNOPQRST", "5", "Six",
};

// The course's test pattern, so the mixes can be told from copies.
uint32_t coursePattern(int32_t x, int32_t y) { return uint32_t((x * 7) & 0xFF) << 8 | uint32_t(y & 0xFF); }

// The list's mix over the course at its final level, 119 of 255.
uint32_t listMix(uint32_t course, uint32_t list) {
    uint32_t mixed = 0;
    for (int s = 0; s < 24; s += 8)
        mixed |= ((((course >> s) & 0xFF) * 136 + ((list >> s) & 0xFF) * 119) / 255) << s;
    return mixed;
}

// The window (the playfield at ox, oy) shows the frame's board, whose top-left corner
// is (bx, by), apart from the live clock box.
void expectBoardOnWindow(int32_t bx, int32_t by, int32_t ox, int32_t oy) {
    for (int32_t y = by; y < by + 335; y += 5)
        for (int32_t x = bx; x < bx + 435; x += 5)
            if (!(y >= by + 20 && y < by + 40 && x >= bx + 18 && x < bx + 118)) {
                ASSERT_EQ(getPixel(screenSurface, ox + x, oy + y), getPixel(frameSurface, x, y)) << x << "," << y;
            }
}

class BoardScene : public ::testing::Test {
protected:
    void prepare(int32_t windowWidth, int32_t windowHeight, int32_t aa = 0) {
        HeadlessConfig config;
        config.startTime = {2026, 12, 0, 6, 12, 34, 56, 0};
        headlessReset(config);
        setDefaultSettings();
        antiAlias = aa;
        interval = 0;
        createSurface(screenSurface, nullptr, windowWidth, windowHeight, 24);
        createSurface(frameSurface, nullptr, PlayfieldWidth, PlayfieldHeight, 24);
        createSurface(courseSurface, nullptr, PlayfieldWidth, PlayfieldHeight, 24);
        createSurface(sheetSurface, nullptr, 435, 1000, 24);
        loadBitmapResource(sheetSurface, 101);
        for (int32_t y = 0; y < PlayfieldHeight; ++y)
            for (int32_t x = 0; x < PlayfieldWidth; ++x) putPixel(courseSurface, x, y, coursePattern(x, y));
        if (windowWidth >= PlayfieldWidth) {
            originX = (windowWidth - PlayfieldWidth) / 2;
            originY = (windowHeight - PlayfieldHeight) / 2;
        } else {
            originX = -1;
            originY = 0;
        }
        for (int32_t i = 0; i < RunnerCount; ++i) {
            std::strcpy(runners[i].name, Names[i]);
            runners[i].style = uint8_t(i % 4);
            runners[i].odds = 12 + 100 * i;
        }
        step = 0;
        fadeLevel = 0;
    }
    void TearDown() override {
        releaseSurface(screenSurface);
        releaseSurface(frameSurface);
        releaseSurface(courseSurface);
        releaseSurface(sheetSurface);
        originX = originY = 0;
    }
    // One 10 ms frame; returns the step's result.
    uint8_t frame() {
        uint8_t done = boardSceneStep();
        platSleep(10);
        return done;
    }
    // Frames until step changes from `from`; returns how many ran.
    int framesWhile(int32_t from, int limit = 100000) {
        int n = 0;
        while (step == from && n < limit) {
            frame();
            ++n;
        }
        return n;
    }
};

// Pixels of r (x, y, w, h) on s that differ from the board picture in the sheet.
std::set<uint32_t> coloursOverBoard(const Surface& s, int32_t boardX, int32_t boardY, int32_t x,
                                    int32_t y, int32_t w, int32_t h, int* count) {
    std::set<uint32_t> colours;
    *count = 0;
    for (int32_t yy = y; yy < y + h; ++yy)
        for (int32_t xx = x; xx < x + w; ++xx) {
            uint32_t p = getPixel(s, xx, yy);
            if (p != getPixel(sheetSurface, xx - boardX, yy - boardY + 32)) {
                colours.insert(p);
                ++*count;
            }
        }
    return colours;
}

// Board rows are smoothed or plain as set; the list's rows are always plain.
TEST_F(BoardScene, TextColoursPerRowPlainAndSmoothed) {
    for (int32_t aa : {1, 0}) {
        prepare(1024, 768, aa);
        frame();
        for (int32_t i = 0; i < RunnerCount; ++i) {
            std::set<uint32_t> list;
            for (int32_t y = 880 + 20 * i; y < 900 + 20 * i; ++y)
                for (int32_t x = 0; x < 435; ++x) list.insert(getPixel(sheetSurface, x, y));
            EXPECT_EQ(list, (std::set<uint32_t>{boardRowColour[i], boardTextColour[i]})) << i;
            int count = 0;
            // Name, odds and style cells of row i.
            std::set<uint32_t> colours = coloursOverBoard(frameSurface, 182, 152, 222, 207 + 47 * i,
                                                          395, 40, &count);
            ASSERT_GT(count, 50) << i;
            if (aa == 1)
                EXPECT_EQ(colours, std::set<uint32_t>{boardTextColour[i]}) << i;
            else
                EXPECT_GT(colours.size(), 1u) << i;  // blends at stroke ends
            EXPECT_TRUE(colours.count(boardTextColour[i])) << i;
        }
        TearDown();
    }
}

TEST_F(BoardScene, FullWidthNameFitsItsCells) {
    prepare(1024, 768, 0);
    frame();
    // Row 0 holds a 20-byte full-width name: no text right of the 200-pixel name cell
    // (x 222..421) before the odds cell, and the last character is drawn.
    int count = 0;
    coloursOverBoard(frameSurface, 182, 152, 422, 207, 5, 40, &count);
    EXPECT_EQ(count, 0);
    coloursOverBoard(frameSurface, 182, 152, 402, 207, 20, 40, &count);
    EXPECT_GT(count, 0);
    // In the list: the name stays inside x 40..239; from x 240 on the band holds only
    // the style label, as drawn alone.
    Surface alone{};
    createSurface(alone, nullptr, 435, 20, 24);
    drawRect(alone, 0, 0, 434, 19, boardRowColour[0], RectFill);
    drawText(alone, listStyleLabel(runners[0].style), 240, 0, boardTextColour[0], TextPlain, 10, 20, 0, "");
    bool last = false;
    for (int32_t y = 0; y < 20; ++y) {
        for (int32_t x = 240; x < 435; ++x) ASSERT_EQ(getPixel(sheetSurface, x, 880 + y), getPixel(alone, x, y));
        for (int32_t x = 220; x < 240; ++x) last |= getPixel(sheetSurface, x, 880 + y) == boardTextColour[0];
    }
    EXPECT_TRUE(last);
    releaseSurface(alone);
}

TEST_F(BoardScene, ListMixNeverPassesLevel119AndStaysOnTheCourse) {
    prepare(1024, 768);
    frame();
    std::vector<uint32_t> levels;
    uint32_t paints = 0;
    while (step == 1) {
        frame();
        if (uint32_t(fadeLevel) != paints && fadeLevel > 0) {
            levels.push_back(uint32_t(fadeLevel));
            paints = uint32_t(fadeLevel);
        }
    }
    EXPECT_EQ(levels, (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7}));
    // The course now holds the 119/255 mix of itself and the list; the screen too.
    for (int32_t y = 20; y < 140; y += 3)
        for (int32_t x = 260; x < 540; x += 3) {
            const uint32_t mixed = listMix(coursePattern(x, y), getPixel(sheetSurface, x - 260, y - 20 + 880));
            ASSERT_EQ(getPixel(courseSurface, x, y), mixed) << x << "," << y;
            ASSERT_EQ(getPixel(screenSurface, originX + x, originY + y), mixed);
        }
}

TEST_F(BoardScene, NarrowLayoutSkipsTheListAndShiftsEverything) {
    prepare(1024, 768);
    frame();
    std::vector<uint32_t> wide;
    for (int32_t y = 152; y < 152 + 335; ++y)
        for (int32_t x = 182; x < 182 + 435; ++x) wide.push_back(getPixel(frameSurface, x, y));
    TearDown();

    prepare(640, 480);
    const uint32_t courseBefore = getPixel(courseSurface, 300, 50);
    frame();
    EXPECT_EQ(step, 2);
    size_t k = 0;
    for (int32_t y = 72; y < 72 + 335; ++y)
        for (int32_t x = 102; x < 102 + 435; ++x, ++k) ASSERT_EQ(getPixel(frameSurface, x, y), wide[k]);
    framesWhile(2);
    EXPECT_EQ(step, 3);
    EXPECT_EQ(getPixel(courseSurface, 300, 50), courseBefore);
    expectBoardOnWindow(102, 72, 0, 0);
}

TEST_F(BoardScene, LowWideWindowIsNeverWrittenOutsideAndTheCourseGetsTheWholeList) {
    // 800 x 500: the playfield's top 70 rows lie above the window, and with them the
    // list's top rows. The sanitizer watches the screen's pixel block.
    prepare(800, 500);
    ASSERT_EQ(originY, -70);
    frame();
    framesWhile(1);
    // The list row at course y 20 (window -50) is on the course all the same.
    EXPECT_EQ(getPixel(courseSurface, 300, 20), listMix(coursePattern(300, 20), getPixel(sheetSurface, 40, 880)));
    // And on the window where it shows: course row 70 is window row 0.
    EXPECT_EQ(getPixel(screenSurface, 300, 0), getPixel(courseSurface, 300, 70));
    framesWhile(2);
    EXPECT_EQ(step, 3);
    EXPECT_EQ(getPixel(screenSurface, 182 + 200, 152 - 70 + 60), getPixel(frameSurface, 382, 212));
}

TEST_F(BoardScene, BuildsWaitsForTheStartTimeThenFadesOutToTheCourse) {
    prepare(1024, 768);
    frame();
    EXPECT_EQ(hhmmss(nextRaceTime), "12:35:56");
    EXPECT_EQ(step, 1);
    EXPECT_GE(framesWhile(1), 8 * 5);  // eight ticks of more than 50 ms
    framesWhile(2);
    ASSERT_EQ(step, 3);
    expectBoardOnWindow(182, 152, originX, originY);
    // The start time box: black with white digits.
    int count = 0;
    for (int32_t y = 172; y < 192; ++y)
        for (int32_t x = 307; x < 407; ++x) {
            uint32_t p = getPixel(frameSurface, x, y);
            ASSERT_TRUE(p == 0 || p == 0xFFFFFF);
            count += p != 0;
        }
    EXPECT_GT(count, 30);
    ClockTime now;
    while (step == 3) {
        readClock(now);  // the time the next frame sees
        const bool due = startTimeDue(now, nextRaceTime);
        frame();
        ASSERT_EQ(step == 4, due) << hhmmss(now);
    }
    EXPECT_EQ(hhmmss(now), "12:35:56");
    // The live clock on the window reads the time the frame saw.
    int lit = 0;
    for (int32_t y = 172; y < 192; ++y)
        for (int32_t x = 200; x < 300; ++x) lit += getPixel(screenSurface, originX + x, originY + y) != 0;
    EXPECT_GT(lit, 30);
    int frames = 0;
    uint8_t done = 0;
    while (!done && frames < 10000) {
        done = frame();
        ++frames;
    }
    EXPECT_EQ(done, 1);
    EXPECT_EQ(step, 4);
    EXPECT_GE(frames, 15 * 5);
    // The last mix shows the course alone.
    for (int32_t y = 152; y < 152 + 335; y += 4)
        for (int32_t x = 182; x < 182 + 435; x += 4)
            ASSERT_EQ(getPixel(screenSurface, originX + x, originY + y), getPixel(courseSurface, x, y));
}

TEST_F(BoardScene, ClockModes) {
    prepare(1024, 768);
    nextRaceTime = timeOf(12, 34, 56);
    EXPECT_EQ(drawClock(ClockLive), 1);
    nextRaceTime = timeOf(12, 34, 57);
    EXPECT_EQ(drawClock(ClockLive), 0);
    EXPECT_EQ(drawClock(ClockNextRace), 0);
    // Unknown modes draw nothing.
    drawRect(frameSurface, 0, 0, 799, 639, 0x123456, RectFill);
    drawRect(screenSurface, 0, 0, 1023, 767, 0x123456, RectFill);
    EXPECT_EQ(drawClock(2), 0);
    EXPECT_EQ(drawClock(0x1F), 0);
    EXPECT_EQ(getPixel(frameSurface, 250, 180), 0x123456u);
    // Mode 0x10 draws onto the window only, at the window position of the box.
    drawClock(ClockLive | ClockToScreen);
    EXPECT_EQ(getPixel(frameSurface, 200, 172), 0x123456u);
    EXPECT_EQ(getPixel(screenSurface, originX + 200, originY + 172), 0u);
    EXPECT_EQ(getPixel(screenSurface, originX + 299, originY + 191), 0u);
    EXPECT_EQ(getPixel(screenSurface, originX + 300, originY + 191), 0x123456u);
}

}  // namespace
