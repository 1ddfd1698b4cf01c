// Observation points of the sdl MIDI stream for its tests.
#pragma once
#include <cstdint>

// Buffers the stream has handed back as played (not those a stop returned).
uint32_t sdlSoundPlayedBuffers();
// True when an audio device is open and rendering.
bool sdlSoundHasDevice();
