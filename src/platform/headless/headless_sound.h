// The headless MIDI stream and wave player: every call is recorded, queued buffers
// complete only when a test (or tool) asks, and the completion callback runs on the
// caller's thread. There are no threads of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

enum HeadlessSoundCall : int32_t {
    SoundOpen,
    SoundPrepare,
    SoundUnprepare,
    SoundProperty,
    SoundOut,
    SoundRestart,
    SoundStop,
    SoundClose,
    SoundPlay,
    SoundCallCount
};

struct HeadlessSoundRecord {
    HeadlessSoundCall call;
    uint32_t result;        // what the call returned
    uint32_t value;         // SoundProperty: property; SoundOut: bytes recorded;
                            // SoundPlay: flags
    uint32_t argument;      // SoundProperty: value; SoundOut: index of the queued buffer
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

// Completes the oldest queued buffer: marks it done and calls the stream's callback
// with MomDone. False when nothing is queued or the stream is paused.
bool headlessCompleteBuffer();
uint32_t headlessQueuedBuffers();
bool headlessStreamIsOpen();
bool headlessStreamRunning();
uint32_t headlessStreamTempo();
uint32_t headlessStreamTimeDivision();
// After `after` more successful calls of one kind, the next `count` calls fail.
void headlessSoundFail(HeadlessSoundCall call, uint32_t count, uint32_t after = 0);
// Clears the logs and the failures; an open stream stays open.
void headlessSoundReset();
