// The race board scene: compose the board once, show the runner list on the course,
// fade the board in, keep a live clock running until the start time, fade it out.
#include "race/board.h"

#include <cstring>

#include "core/settings.h"
#include "gfx/present.h"
#include "gfx/text.h"
#include "platform/platform.h"
#include "race/roster.h"
#include "race/scenes.h"

ClockTime nextRaceTime;

namespace {

// The live clock text last drawn onto screenSurface while the board waits; empty when
// the screen's clock box may hold anything else. Redrawing the same text changes no
// pixel, so it is skipped and the frame asks the window for nothing.
char screenClock[9];

// Board picture and its place on the playfield (wide layout); the narrow layout shows
// everything on frameSurface and the window 80 pixels further left and up.
constexpr int32_t BoardX = 182;
constexpr int32_t BoardY = 152;
constexpr int32_t BoardWidth = 435;
constexpr int32_t BoardHeight = 335;
constexpr int32_t BoardSheetY = 32;
constexpr int32_t NarrowShift = 80;

constexpr int32_t LiveBoxX = 200;
constexpr int32_t NextBoxX = 307;
constexpr int32_t ClockBoxY = 172;

constexpr int32_t NameX = 222;
constexpr int32_t OddsX = 427;
constexpr int32_t StyleX = 532;
constexpr int32_t RowY = 207;
constexpr int32_t RowPitch = 47;

// The compact runner list: built in the sheet's scratch rows, stamped on the course.
constexpr int32_t ListSheetY = 880;
constexpr int32_t ListX = 260;
constexpr int32_t ListY = 20;
constexpr int32_t ListWidth = 280;
constexpr int32_t ListHeight = 120;
constexpr int32_t ListBand = 20;

const char* const boardLabels[4] = {
    "\x20\x93\xA6\x81\x40\x82\xB0",  // " 逃　げ"
    "\x20\x90\xE6\x81\x40\x8D\x73",  // " 先　行"
    "\x20\x8D\xB7\x81\x40\x82\xB5",  // " 差　し"
    "\x92\xC7\x82\xA2\x8D\x9E\x82\xDD",  // "追い込み"
};
const char* const listLabels[4] = {
    "\x93\xA6\x82\xB0",  // "逃げ"
    "\x90\xE6\x8D\x73",  // "先行"
    "\x8D\xB7\x82\xB5",  // "差し"
    "\x92\xC7\x8D\x9E",  // "追込"
};
const char* const postLabels[RunnerCount] = {
    "\x82\x50\x81\x46",  // "１："
    "\x82\x51\x81\x46",  // "２："
    "\x82\x52\x81\x46",  // "３："
    "\x82\x53\x81\x46",  // "４："
    "\x82\x54\x81\x46",  // "５："
    "\x82\x55\x81\x46",  // "６："
};

inline void twoDigits(char* out, uint32_t value) {
    out[0] = char('0' + (value / 10) % 10);
    out[1] = char('0' + value % 10);
}

// Where the board's frame positions lie: the narrow layout moves them up and left.
inline int32_t frameShift() { return wideLayout() ? 0 : NarrowShift; }

// Mixes a playfield-sized picture pair onto the window at (x, y), cut to the window
// (a wide window lower than the playfield puts the top rows above it).
void mixOntoScreen(int32_t x, int32_t y, int32_t width, int32_t height, const Surface& a,
                   int32_t ax, int32_t ay, const Surface& b, int32_t bx, int32_t by,
                   uint32_t level) {
    if (x < 0) {
        width += x;
        ax -= x;
        bx -= x;
        x = 0;
    }
    if (y < 0) {
        height += y;
        ay -= y;
        by -= y;
        y = 0;
    }
    if (x + width > screenSurface.width) width = screenSurface.width - x;
    if (y + height > screenSurface.height) height = screenSurface.height - y;
    if (width <= 0 || height <= 0) return;
    crossFadeRect(screenSurface, x, y, width, height, a, ax, ay, b, bx, by, level, KeyOpaque);
}

// The board area of the window at level/255 of the composed board over the course.
void mixBoard(uint32_t level) {
    if (wideLayout())
        mixOntoScreen(originX + BoardX, originY + BoardY, BoardWidth, BoardHeight,
                      courseSurface, BoardX, BoardY, frameSurface, BoardX, BoardY, level);
    else
        mixOntoScreen(viewX + BoardX - NarrowShift, viewY + BoardY - NarrowShift, BoardWidth, BoardHeight,
                      courseSurface, BoardX, BoardY, frameSurface, BoardX - NarrowShift,
                      BoardY - NarrowShift, level);
}

void composeBoard() {
    const int32_t shift = frameShift();
    const uint32_t boardMode = antiAlias == 0 ? TextSmoothed : TextPlain;
    drawRect(frameSurface, 0, 0, PlayfieldWidth - 1, PlayfieldHeight - 1, 0x000000, RectFill);
    copyRect(frameSurface, BoardX - shift, BoardY - shift, BoardWidth, BoardHeight, sheetSurface,
             0, BoardSheetY, KeyOpaque);
    drawClock(ClockNextRace);
    char odds[6];
    for (int32_t i = 0; i < RunnerCount; ++i) {
        const Runner& runner = runners[i];
        const uint32_t colour = boardTextColour[i];
        const int32_t y = RowY + RowPitch * i - shift;
        oddsText(uint32_t(runner.odds), odds);
        drawText(frameSurface, runner.name, NameX - shift, y, colour, boardMode, 10, 40, 0, "");
        drawText(frameSurface, odds, OddsX - shift, y, colour, boardMode, 20, 40, 0, "");
        drawText(frameSurface, boardStyleLabel(runner.style), StyleX - shift, y, colour,
                 boardMode, 10, 40, 0, "");

        const int32_t band = ListSheetY + ListBand * i;
        drawRect(sheetSurface, 0, band, sheetSurface.width - 1, band + ListBand - 1,
                 boardRowColour[i], RectFill);
        drawText(sheetSurface, postLabels[i], 0, band, colour, TextPlain, 10, 20, 0, "");
        drawText(sheetSurface, runner.name, 40, band, colour, TextPlain, 10, 20, 0, "");
        drawText(sheetSurface, listStyleLabel(runner.style), 240, band, colour, TextPlain, 10,
                 20, 0, "");
    }
}

}  // namespace

void resetBoard() {
    nextRaceTime = ClockTime();
    screenClock[0] = 0;
}

int32_t readClock(ClockTime& time) {
    LocalTime now{};
    platLocalTime(now);
    time.year = int32_t(uint16_t(now.year));
    time.month = uint8_t(now.month);
    time.day = uint8_t(now.day);
    time.dayOfWeek = uint8_t(now.dayOfWeek);
    time.hour = uint8_t(now.hour);
    time.minute = uint8_t(now.minute);
    time.second = uint8_t(now.second);
    const uint32_t year = uint32_t(time.year);
    time.yearDigits[0] = char('0' + (year / 1000) % 10);
    time.yearDigits[1] = char('0' + (year / 100) % 10);
    twoDigits(time.yearDigits + 2, year);
    twoDigits(time.monthDigits, time.month);
    twoDigits(time.dayDigits, time.day);
    twoDigits(time.hourDigits, time.hour);
    twoDigits(time.minuteDigits, time.minute);
    twoDigits(time.secondDigits, time.second);
    return 1;
}

void advanceStartTime(ClockTime& time, int32_t minutes) {
    // Minutes carry into hours and hours into days, so any interval the settings file
    // holds gives a start time the clock reaches; none lies in the past.
    if (minutes < 0) minutes = 0;
    int32_t total = (int32_t(time.hour) * 60 + int32_t(time.minute) + minutes) % (24 * 60);
    time.hour = uint8_t(total / 60);
    time.minute = uint8_t(total % 60);
    twoDigits(time.hourDigits, time.hour);
    twoDigits(time.minuteDigits, time.minute);
}

bool startTimeDue(const ClockTime& live, const ClockTime& start) {
    if (live.hour != start.hour) return false;
    return live.minute > start.minute ||
           (live.minute == start.minute && live.second >= start.second);
}

void oddsText(uint32_t odds, char out[6]) {
    uint32_t v = odds;
    for (int j = 0; j < 4; ++j) {
        out[3 - j] = char('0' + v % 10);
        v /= 10;
    }
    for (int j = 0; j < 4 && out[j] == '0'; ++j) out[j] = ' ';
    out[4] = out[3];
    out[3] = '.';
    out[5] = 0;
}

const char* boardStyleLabel(uint8_t style) { return style < 4 ? boardLabels[style] : ""; }
const char* listStyleLabel(uint8_t style) { return style < 4 ? listLabels[style] : ""; }

uint8_t drawClock(uint32_t mode) {
    const uint32_t what = mode & 0x0F;
    if (what != ClockLive && what != ClockNextRace) return 0;
    ClockTime live;
    const ClockTime* shown = &nextRaceTime;
    uint8_t due = 0;
    if (what == ClockLive) {
        readClock(live);
        due = startTimeDue(live, nextRaceTime) ? 1 : 0;
        shown = &live;
    }
    const char text[9] = {shown->hourDigits[0],   shown->hourDigits[1],   ':',
                          shown->minuteDigits[0], shown->minuteDigits[1], ':',
                          shown->secondDigits[0], shown->secondDigits[1], 0};

    int32_t boxX = (what == ClockLive ? LiveBoxX : NextBoxX) - frameShift();
    int32_t boxY = ClockBoxY - frameShift();
    Surface* target = &frameSurface;
    if (mode & 0xF0) {
        if (std::memcmp(screenClock, text, sizeof text) == 0) return due;
        std::memcpy(screenClock, text, sizeof text);
        target = &screenSurface;
        boxX += wideLayout() ? originX : viewX;
        boxY += wideLayout() ? originY : viewY;
    }
    // Both operations keep to the target: a box partly off the window is cut.
    drawRect(*target, boxX, boxY, boxX + 99, boxY + 19, 0x000000, RectFill);
    drawText(*target, text, boxX + 10, boxY + 1, 0xFFFFFF, TextPlain, 10, 20, 0, "");
    return due;
}

uint32_t boardSceneDue() {
    switch (step) {
    case BoardListMix:
    case BoardFadeIn:
    case BoardFadeOut:
        return tickDueIn(FadeTickMs);
    case BoardWaitStart: {
        // Once the clock is on the window, nothing changes until the local clock's next
        // second: the start time is due only at a whole second too.
        if (!screenClock[0]) return 0;
        LocalTime now{};
        platLocalTime(now);
        return 1000 - uint32_t(now.milliseconds) % 1000;
    }
    default:
        return 0;
    }
}

uint8_t boardSceneStep() {
    switch (step) {
    case BoardBuild:
        screenClock[0] = 0;
        readClock(nextRaceTime);
        advanceStartTime(nextRaceTime, interval + 1);
        composeBoard();
        startTimedStep(wideLayout() ? BoardListMix : BoardFadeIn);
        return 0;
    case BoardListMix:
        if (!tickDue(FadeTickMs)) return 0;
        ++fadeLevel;
        if (uint32_t(fadeLevel) > 7) {
            // The list stays on the course at the last level shown. It is mixed in place
            // rather than copied back from the window, so the rows a low window hides
            // are stamped too.
            crossFadeRect(courseSurface, ListX, ListY, ListWidth, ListHeight, courseSurface, ListX,
                          ListY, sheetSurface, 0, ListSheetY, 17 * 7, KeyOpaque);
            goToStep(BoardFadeIn);
            return 0;
        }
        mixOntoScreen(originX + ListX, originY + ListY, ListWidth, ListHeight, courseSurface,
                      ListX, ListY, sheetSurface, 0, ListSheetY, 17 * uint32_t(fadeLevel));
        requestRepaint();
        return 0;
    case BoardFadeIn:
        if (!tickDue(FadeTickMs)) return 0;
        ++fadeLevel;
        if (uint32_t(fadeLevel) > 15) {
            goToStep(BoardWaitStart);
            return 0;
        }
        drawClock(ClockLive);
        mixBoard(17 * uint32_t(fadeLevel));
        screenClock[0] = 0;
        requestRepaint();
        return 0;
    case BoardWaitStart:  // the live clock on the window every frame
        if (drawClock(ClockLive | ClockToScreen) == 1) goToStep(BoardFadeOut);
        requestRepaint();
        return 0;
    case BoardFadeOut:
        if (!tickDue(FadeTickMs)) return 0;
        ++fadeLevel;
        if (uint32_t(fadeLevel) > 15) return 1;  // step stays; the scene cycle resets it
        drawClock(ClockLive);
        mixBoard(255 - 17 * uint32_t(fadeLevel));
        requestRepaint();
        return 0;
    default:
        return 0;
    }
}
