// The headless MIDI stream and wave player: every call is recorded, queued buffers
// complete only when a test (or tool) asks (softMidiComplete), and the completion
// callback runs on the caller's thread. There are no threads of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/soft/midi_stream.h"

enum HeadlessSoundCall : int32_t {
    SoundOpen = SoftMidiOpen,
    SoundPrepare = SoftMidiPrepare,
    SoundUnprepare = SoftMidiUnprepare,
    SoundProperty = SoftMidiProperty,
    SoundOut = SoftMidiOut,
    SoundRestart = SoftMidiRestart,
    SoundStop = SoftMidiStop,
    SoundClose = SoftMidiClose,
    SoundPlay = SoftMidiCallCount,
};

struct HeadlessSoundRecord {
    HeadlessSoundCall call;
    uint32_t result;        // what the call returned
    uint32_t value;         // SoundProperty: property; SoundOut: bytes recorded;
                            // SoundPlay: flags
    uint32_t argument;      // SoundProperty: the value set or got; SoundOut: index of the
                            // queued buffer
    const MidiHeader* header;
    std::string path;       // SoundPlay; empty for a null path
    bool defaultSound;      // SoundPlay: the file was missing and the default would sound
};

// One MIDIEVENT taken from a queued buffer.
struct HeadlessMidiEvent {
    uint32_t buffer;        // index of the midiStreamOut call since the last reset
    uint32_t delta;
    uint32_t streamId;
    uint32_t word;
    std::vector<uint8_t> bytes;   // a long event's bytes (its count, without padding)
};

const std::vector<HeadlessSoundRecord>& headlessSoundLog();
const std::vector<HeadlessMidiEvent>& headlessMidiEvents();
// Number of calls of one kind in the log.
uint32_t headlessSoundCount(HeadlessSoundCall call);

// Clears the logs and the stream's planted failures (softMidiFail); an open stream stays
// open.
void headlessSoundReset();
