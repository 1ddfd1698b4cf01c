// The race board: clock arithmetic, odds text, labels, and the scene's pictures on
// prepared Surfaces over the headless platform's clock.
#include <gtest/gtest.h>

#include <cstdio>
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
        char text[6] = "xxxxx";
        text[5] = 'x';
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
    platSleep(61999);
    readClock(t);
    EXPECT_EQ(hhmmss(t), "09:06:08");  // milliseconds are dropped
}

// ---- The scene on prepared Surfaces -----------------------------------------------

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
        for (Surface* s : {&frameSurface, &courseSurface})
            createSurface(*s, nullptr, PlayfieldWidth, PlayfieldHeight, 24);
        createSurface(screenSurface, nullptr, windowWidth, windowHeight, 24);
        createSurface(sheetSurface, nullptr, 435, 1000, 24);
        loadBitmapResource(sheetSurface, 101);
        for (int32_t y = 0; y < PlayfieldHeight; ++y)
            for (int32_t x = 0; x < PlayfieldWidth; ++x) putPixel(courseSurface, x, y, coursePattern(x, y));
        const bool wide = windowWidth >= PlayfieldWidth;
        originX = wide ? (windowWidth - PlayfieldWidth) / 2 : -1;
        originY = wide ? (windowHeight - PlayfieldHeight) / 2 : 0;
        // Row 0 holds a 20-byte full-width name.
        const char* const names[RunnerCount] = {
            "\x82\x60\x82\x61\x82\x62\x82\x63\x82\x64\x82\x65\x82\x66\x82\x67\x82\x68\x82\x69",
            "Mouse 2", "\x83\x7D\x83\x45\x83\x58", "ABCDEFGHIJKLMNOPQRST", "5", "Six"};
        for (int32_t i = 0; i < RunnerCount; ++i) {
            std::strcpy(runners[i].name, names[i]);
            runners[i].style = uint8_t(i % 4);
            runners[i].odds = 12 + 100 * i;
        }
        step = fadeLevel = 0;
    }
    void TearDown() override {
        for (Surface* s : {&screenSurface, &frameSurface, &courseSurface, &sheetSurface}) releaseSurface(*s);
        originX = originY = 0;
    }
    // One 10 ms frame; returns the step's result.
    uint8_t frame() {
        uint8_t done = boardSceneStep();
        platSleep(10);
        return done;
    }
    // Frames until step changes from `from`; returns how many ran.
    int framesWhile(int32_t from) {
        int n = 0;
        for (; step == from && n < 100000; ++n) frame();
        return n;
    }
};

// Colours of the pixels of (x, y, w, h) on s that differ from the board picture in the
// sheet, and how many differ.
std::set<uint32_t> coloursOverBoard(const Surface& s, int32_t x, int32_t y, int32_t w, int32_t h, int* count) {
    std::set<uint32_t> colours;
    *count = 0;
    for (int32_t yy = y; yy < y + h; ++yy)
        for (int32_t xx = x; xx < x + w; ++xx)
            if (getPixel(s, xx, yy) != getPixel(sheetSurface, xx - 182, yy - 152 + 32)) {
                colours.insert(getPixel(s, xx, yy));
                ++*count;
            }
    return colours;
}

// Board rows are smoothed or plain as set, names kept to their cells; the list's rows
// are always plain, the style label from x 240 as drawn alone.
TEST_F(BoardScene, BoardAndListText) {
    for (int32_t aa : {1, 0}) {
        prepare(1024, 768, aa);
        frame();
        for (int32_t i = 0; i < RunnerCount; ++i) {
            std::set<uint32_t> list;
            for (int32_t y = 880 + 20 * i; y < 900 + 20 * i; ++y)
                for (int32_t x = 0; x < 435; ++x) list.insert(getPixel(sheetSurface, x, y));
            EXPECT_EQ(list, (std::set<uint32_t>{boardRowColour[i], boardTextColour[i]})) << i;
            int count = 0;
            std::set<uint32_t> colours = coloursOverBoard(frameSurface, 222, 207 + 47 * i, 395, 40, &count);
            ASSERT_GT(count, 50) << i;
            EXPECT_TRUE(colours.count(boardTextColour[i])) << i;
            EXPECT_EQ(colours.size() == 1, aa == 1) << i;  // smoothing blends at stroke ends
        }
        if (aa) TearDown();
    }
    // The full-width name ends inside its 200-pixel cell (x 222..421), its last
    // character drawn; in the list it stays inside x 40..239.
    int count = 0;
    coloursOverBoard(frameSurface, 422, 207, 5, 40, &count);
    EXPECT_EQ(count, 0);
    coloursOverBoard(frameSurface, 402, 207, 20, 40, &count);
    EXPECT_GT(count, 0);
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

// The wide layout: the wait for the start time, the fade out to the course alone.
TEST_F(BoardScene, WideLayoutFromTheListToTheCourse) {
    prepare(1024, 768);
    frame();
    EXPECT_EQ(hhmmss(nextRaceTime), "12:35:56");
    framesWhile(1);
    framesWhile(2);
    ASSERT_EQ(step, 3);
    expectBoardOnWindow(182, 152, originX, originY);
    ClockTime now;
    while (step == 3) {
        readClock(now);  // the time the next frame sees
        const bool due = startTimeDue(now, nextRaceTime);
        frame();
        ASSERT_EQ(step == 4, due) << hhmmss(now);
    }
    EXPECT_EQ(hhmmss(now), "12:35:56");
    int frames = 0;
    while (!frame() && frames < 10000) ++frames;
    EXPECT_EQ(step, 4);
    EXPECT_GE(frames, 15 * 5);
    for (int32_t y = 152; y < 152 + 335; y += 4)
        for (int32_t x = 182; x < 182 + 435; x += 4)
            ASSERT_EQ(getPixel(screenSurface, originX + x, originY + y), getPixel(courseSurface, x, y));
}

TEST_F(BoardScene, NarrowAndLowWindows) {
    prepare(1024, 768);
    frame();
    std::vector<uint32_t> wide;
    for (int32_t y = 152; y < 152 + 335; ++y)
        for (int32_t x = 182; x < 182 + 435; ++x) wide.push_back(getPixel(frameSurface, x, y));
    TearDown();
    // Narrow: no list, the board 80 pixels up and left.
    prepare(640, 480);
    const uint32_t courseBefore = getPixel(courseSurface, 300, 50);
    frame();
    EXPECT_EQ(step, 2);
    size_t k = 0;
    for (int32_t y = 72; y < 72 + 335; ++y)
        for (int32_t x = 102; x < 102 + 435; ++x, ++k) ASSERT_EQ(getPixel(frameSurface, x, y), wide[k]);
    framesWhile(2);
    EXPECT_EQ(getPixel(courseSurface, 300, 50), courseBefore);
    expectBoardOnWindow(102, 72, 0, 0);
    TearDown();
    // 800 x 500: the playfield's top 70 rows, with the list's top rows, lie above the
    // window (the sanitizer watches its pixels), yet the course gets the whole list.
    prepare(800, 500);
    frame();
    framesWhile(1);
    for (int32_t y = 20; y < 60; ++y)
        for (int32_t x = 260; x < 540; ++x)
            ASSERT_EQ(getPixel(courseSurface, x, y),
                      listMix(coursePattern(x, y), getPixel(sheetSurface, x - 260, y + 860))) << x << "," << y;
    EXPECT_EQ(getPixel(screenSurface, 300, 0), getPixel(courseSurface, 300, 70));
    framesWhile(2);
    EXPECT_EQ(getPixel(screenSurface, 182 + 200, 152 - 70 + 60), getPixel(frameSurface, 382, 212));
}

TEST_F(BoardScene, ClockModes) {
    prepare(1024, 768);
    // Unknown modes draw nothing.
    drawRect(frameSurface, 0, 0, 799, 639, 0x123456, RectFill);
    drawRect(screenSurface, 0, 0, 1023, 767, 0x123456, RectFill);
    EXPECT_EQ(drawClock(2) + drawClock(0x1F), 0);
    EXPECT_EQ(getPixel(frameSurface, 250, 180), 0x123456u);
    // Mode 0x10 draws onto the window only, at the window position of the box.
    drawClock(ClockLive | ClockToScreen);
    EXPECT_EQ(getPixel(frameSurface, 200, 172), 0x123456u);
    EXPECT_EQ(getPixel(screenSurface, originX + 200, originY + 172), 0u);
    EXPECT_EQ(getPixel(screenSurface, originX + 299, originY + 191), 0u);
    EXPECT_EQ(getPixel(screenSurface, originX + 300, originY + 191), 0x123456u);
}

}  // namespace
