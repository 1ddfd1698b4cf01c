// The MIDI stream's timing without an audio device: the queued buffers walked event by
// event, each delta turned into output samples at the tempo and time division, and the
// output rendered in chunks between the events. The audio callback runs it with the
// synthesizer behind the sink; the fuzz target runs it with counters.
#pragma once
#include <cstdint>

#include "platform/platform.h"

struct StreamSchedule {
    enum { QueueSize = 8 };
    bool running;
    uint32_t tempo;           // microseconds per quarter note
    uint32_t division;        // the time division property
    int rate;                 // output samples per second
    MidiHeader* queue[QueueSize];
    int queued;
    uint32_t eventOffset;     // next event in queue[0]
    bool eventTimed;          // samplesToEvent includes that event's delta
    double samplesToEvent;    // output samples until it is due
};

struct StreamSink {
    void* user;
    void (*render)(void* user, int frames, int offset);  // frames of output at offset
    void (*shortMessage)(void* user, uint32_t word);
    void (*sysex)(void* user, const uint8_t* bytes, uint32_t count);  // without F0 and F7
    // The oldest buffer is played: the sink takes it off the queue (and may queue more).
    void (*bufferDone)(void* user);
};

// The work one render call may hand on: an event counts 1, a system-exclusive message
// SysexWork (one may reset the whole synthesizer). The program's songs need at most 46
// in a block of 1024 frames; events beyond the limit wait for the next call.
enum : int { StreamWorkPerCall = 128, SysexWork = 8 };

// Output samples per delta tick.
double streamSamplesPerTick(uint32_t tempo, uint32_t division, int rate);
// Renders frames of output, sending each event when it is due. At most a few buffers
// are handed back and StreamWorkPerCall of work handed on per call (a stream of zero
// deltas would otherwise refill without end, or keep the synthesizer busy), and every
// chunk lies within the frames asked for, however long a delta is.
void streamRender(StreamSchedule& s, int frames, const StreamSink& sink);
