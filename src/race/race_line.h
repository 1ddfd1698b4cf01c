// One line of JSON per finished race: its runners, their odds and styles, the finishing
// order and a few moments of the race, as pellrun-sim --json prints it and the web
// edition keeps it. What a line says is gathered from the program's state between frames.
#pragma once
#include <cstddef>
#include <cstdint>

struct RaceWatch {
    int32_t lastScene = -1;
    int32_t bgm = -1, fanfare = -1;   // the songs' digits
    int32_t track = 0;
    // The race frames of the final-lap bell, the leader's turn into the final straight and
    // the first runner placed; 0 until then.
    int32_t bell = 0, finalStraight = 0, firstPlaced = 0;
};

// The longest line: six runners with the longest names of the roster fit well inside.
constexpr size_t RaceLineSize = 2048;

// Called between frames: notes scene changes and the race's moments as they happen.
// True when a race has just ended; its line (ending in a newline) is then in line.
bool watchRace(RaceWatch& watch, char (&line)[RaceLineSize]);
