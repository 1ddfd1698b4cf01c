// The MIDI stream's output and the wave player of the web edition (to come: the
// synthesizer in an AudioWorklet and WebAudio effects). For now the stream keeps its
// contract without playing, and sounds are silent.
#include "platform/soft/midi_stream.h"
#include "platform/web/web.h"

int backendMidiOutput() { return 0; }
void backendMidiLock() {}
void backendMidiUnlock() {}
void backendMidiSilence(bool) {}
void backendMidiCalled(SoftMidiCall, uint32_t, const MidiHeader*, uint32_t, uint32_t) {}

int platPlaySound(const char*, uint32_t) { return 0; }

void webSoundRender(double) {}
