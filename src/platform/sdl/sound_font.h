// The General MIDI soundfont as the synthesizer reads it: the file's own bytes, except
// that the drum kits other than the standard one (bank 128, program 0) are left out of
// its preset list.
//
// FluidSynth builds every preset when it loads a soundfont, with about 2 KB for each zone
// of the preset and of the instruments it uses; the other seven kits of the default font
// cost about 1.6 MB that way. The songs play drums only with the standard kit (a drum
// channel that asks for a kit the font lacks gets the standard one from FluidSynth).
// The sample data and every other preset are unchanged, so the songs sound the same.
#pragma once
#include <cstdint>

// Rewrites the body of a pdta list (the bytes after "LIST", size and "pdta") into out as
// a complete LIST chunk without the other drum kits; out holds at least bodySize + 12
// bytes. Returns the chunk's size, or 0 when the body is not a well-formed preset list.
uint32_t soundFontFilterKits(const uint8_t* body, uint32_t bodySize, uint8_t* out);

// The file as read through the filter: a file that is not a soundfont with its preset
// list last, or one the filter cannot read, is read as it is.
struct SoundFontFile;
SoundFontFile* soundFontOpen(const char* path);
// Reads exactly count bytes at the current position; false otherwise.
bool soundFontRead(SoundFontFile* file, void* buffer, uint64_t count);
// origin as for fseek (0 set, 1 current, 2 end).
bool soundFontSeek(SoundFontFile* file, int64_t offset, int origin);
int64_t soundFontTell(const SoundFontFile* file);
uint64_t soundFontSize(const SoundFontFile* file);
void soundFontClose(SoundFontFile* file);
