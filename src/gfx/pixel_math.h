// Small exact helpers shared by the blitters (and checked exhaustively by their tests).
#pragma once
#include <cstdint>

// x / 255, truncated, for every 16-bit x (it first goes wrong at 66299). A weighted mix
// of two bytes with weights summing to 255 never exceeds 255 * 255 = 65025.
inline uint32_t divideBy255(uint32_t x) {
    return (x * 0x8081u) >> 23;
}

// The largest argument divideBy255 is checked for.
constexpr uint32_t DivideBy255Limit = 0xFFFF;
static_assert(255u * 255u <= DivideBy255Limit, "a full-weight mix must stay exact");
