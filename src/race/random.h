// The program's one random generator. It reproduces the classic C runtime sequence
// (state * 214013 + 2531011, bits 16..30), so a seed replays the same meeting on
// every edition.
#pragma once
#include <cstdint>

extern uint32_t randomState;

inline void pellrunSrand(uint32_t seed) { randomState = seed; }

// 0..32767
inline int32_t pellrunRand() {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int32_t>((randomState >> 16) & 0x7FFF);
}
