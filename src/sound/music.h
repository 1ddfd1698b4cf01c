// Standard MIDI file player: one program-wide song, looped through two stream buffers.
#pragma once
#include <cstdint>

int32_t loadSong(const char* path);
int32_t startSong();
void stopMusic();
void closeMusic();
