// The message-first main loop and its frame pacing.
#pragma once
#include <cstdint>

// The least time from the start of one frame to the start of the next, chosen by the
// scene current when the frame begins.
uint32_t framePeriod(int32_t currentScene);
