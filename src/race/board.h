// The race board: runners, odds and styles over the course, a live clock and the start
// time of the next race, held until the local clock reaches that time.
#pragma once
#include <cstdint>

// A point of local time with its digits ready for display (no terminating NULs).
struct ClockTime {
    int32_t year;
    uint8_t month;
    uint8_t day;
    uint8_t dayOfWeek;
    uint8_t hour;
    uint8_t minute;
    uint8_t second;
    char yearDigits[4];
    char monthDigits[2];
    char dayDigits[2];
    char hourDigits[2];
    char minuteDigits[2];
    char secondDigits[2];
};

// drawClock modes: the low four bits select what is shown, bits 4..7 where.
enum : uint32_t { ClockLive = 0x00, ClockNextRace = 0x01, ClockToScreen = 0x10 };

// Start time of the next race, set when its board is built.
extern ClockTime nextRaceTime;

// No start time yet and no live clock on the window, as at process start.
void resetBoard();

// Fills every field from the local time. Returns 1.
int32_t readClock(ClockTime& time);
// Draws a clock box with the live time or nextRaceTime into frameSurface or, with
// ClockToScreen, straight onto the window. Returns 1 when the live time has reached
// nextRaceTime, 0 otherwise (and for the start time or an unknown mode).
uint8_t drawClock(uint32_t mode);

// ---- Pieces of the board, open to the tests ------------------------------------------
// Moves a clock time on by `minutes` within the day: minutes carry into hours and the
// hour wraps at 24 (fewer than 0 minutes count as 0); the date and the seconds stay.
void advanceStartTime(ClockTime& time, int32_t minutes);
// True when live is at or past start within start's hour.
bool startTimeDue(const ClockTime& live, const ClockTime& start);
// Odds in tenths as five characters "nnn.n", leading zeros as spaces (last four digits).
void oddsText(uint32_t odds, char out[6]);

// Shift-JIS labels of a running style: the board's (10 x 40 cells) and the list's.
const char* boardStyleLabel(uint8_t style);
const char* listStyleLabel(uint8_t style);

constexpr uint32_t boardTextColour[6] = {0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0x000000, 0x000000};
constexpr uint32_t boardRowColour[6] = {0xFFFFFF, 0x000000, 0xFF0000, 0x0000FF, 0xFFFF00, 0x00C000};
