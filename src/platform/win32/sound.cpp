// MIDI stream service and wave player: not built yet for this backend. Every call
// fails, which the program hears as silence.
#include "platform/platform.h"

uint32_t platMidiStreamOpen(MidiStreamHandle* stream, MidiCallback, uintptr_t) {
    *stream = nullptr;
    return 1;
}
uint32_t platMidiOutPrepareHeader(MidiStreamHandle, MidiHeader*) { return 1; }
uint32_t platMidiOutUnprepareHeader(MidiStreamHandle, MidiHeader*) { return 1; }
uint32_t platMidiStreamProperty(MidiStreamHandle, uint32_t, uint32_t) { return 1; }
uint32_t platMidiStreamOut(MidiStreamHandle, MidiHeader*) { return 1; }
uint32_t platMidiStreamRestart(MidiStreamHandle) { return 1; }
uint32_t platMidiStreamStop(MidiStreamHandle) { return 1; }
uint32_t platMidiStreamClose(MidiStreamHandle) { return 1; }
int platPlaySound(const char*, uint32_t) { return 0; }
