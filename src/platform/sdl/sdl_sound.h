// Observation points of the sdl MIDI stream for its tests.
#pragma once
#include <SDL.h>

#include <cstdint>

// Frames the synthesizer has rendered; it stops while the synthesizer is at rest.
uint64_t sdlSoundSynthFrames();
// No audio device is opened for this run: nothing is heard.
void sdlSoundDisable();
// True when an audio device is open and rendering.
bool sdlSoundHasDevice();
// A wave file's samples (format as SDL_LoadWAV gives it) converted to signed 16-bit
// stereo at rate, as SDL_ConvertAudio would; an SDL_malloc block of *length bytes, or
// nullptr.
Uint8* sdlConvertWave(const SDL_AudioSpec& format, const Uint8* raw, Uint32 rawLength, int rate,
                      Uint32* length);
