// The MIDI stream's timing without an audio device: the queued buffers walked event by
// event, each delta turned into output samples at the tempo and time division, and the
// output rendered in chunks between the events. The stream service (midi_stream.h) runs
// it with the backend's synthesizer behind the sink; the fuzz target runs it with
// counters.
#pragma once
#include <cstdint>

#include "platform/platform.h"

struct StreamSchedule {
    bool running;
    uint32_t tempo;           // microseconds per quarter note
    uint32_t division;        // the time division property
    int rate;                 // output samples per second
    // The queue, oldest first, linked through the headers' next as the Windows service
    // links them: it holds any number of buffers without taking memory.
    MidiHeader* first;
    MidiHeader* last;
    uint32_t queued;
    uint32_t eventOffset;     // next event in first
    bool eventTimed;          // samplesToEvent includes that event's delta
    double samplesToEvent;    // output samples until it is due
};

struct StreamSink {
    void* user;
    void (*render)(void* user, int frames, int offset);  // frames of output at offset
    void (*shortMessage)(void* user, uint32_t word);
    void (*sysex)(void* user, const uint8_t* bytes, uint32_t count);  // without F0 and F7
    // A buffer has played and is off the queue (the sink may queue more).
    void (*bufferDone)(void* user, MidiHeader* header);
};

// The work one render call may hand on: an event counts 1, a system-exclusive message
// SysexWork (one may reset the whole synthesizer). The program's songs need at most 49
// in a call of 2048 frames (the sdl period); events beyond the limit wait for the next call.
enum : int { StreamWorkPerCall = 128, SysexWork = 8 };

void streamQueue(StreamSchedule& s, MidiHeader* header);
// Takes the oldest buffer off the queue; the next one starts at its first event.
MidiHeader* streamTakeOldest(StreamSchedule& s);
// The bytes of the event at offset among size bytes of stream events (12, or 12 and a
// long message's bytes padded to 4), or 0 when it does not lie whole within them.
uint32_t streamEventSize(const char* events, uint32_t offset, uint32_t size);
// Output samples per delta tick.
double streamSamplesPerTick(uint32_t tempo, uint32_t division, int rate);
// Renders frames of output, sending each event when it is due. At most a few buffers
// are handed back and StreamWorkPerCall of work handed on per call (a stream of zero
// deltas would otherwise refill without end, or keep the synthesizer busy), and every
// chunk lies within the frames asked for, however long a delta is.
void streamRender(StreamSchedule& s, int frames, const StreamSink& sink);
