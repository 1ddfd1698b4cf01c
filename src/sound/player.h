// The program-wide state of the Standard MIDI file player and its internal steps.
//
// One song at a time is held whole in memory and converted on the fly into the
// platform's stream events, through two alternating 10000-byte buffers. The main thread
// loads, starts, stops and closes; the stream's completion callback refills buffers on
// the platform's own thread. The two meet only through `stopRequested` and the order
// of the calls (see player.cpp).
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/platform.h"

enum : uint32_t {
    EventBufferSize = 10000,
    // An event may be added only while the buffer stays below EventBufferSize after it:
    // a 12-byte short or tempo event needs offset < ShortEventLimit, a long event with
    // padded length P needs offset + P < ShortEventLimit.
    ShortEventLimit = EventBufferSize - 12,
    StartTempo = 500000,
    StartRunningStatus = 0x80,
};

struct MusicPlayer {
    MidiStreamHandle stream;
    bool deviceOpen;               // stream open, both buffers allocated and prepared
    bool songLoaded;               // songData holds a checked file
    bool playing;                  // started and not stopped since
    // Set before the stream is stopped so that the completions the stop produces are
    // not refilled; read by the callback thread.
    std::atomic<int32_t> stopRequested;
    char* eventBuffers[2];
    MidiHeader headers[2];
    int32_t currentBuffer;         // the buffer the next fill writes
    uint32_t tempo;                // microseconds per quarter note, latest tempo event
    uint8_t* songData;             // the whole file
    uint32_t songSize;
    int32_t timeDivision;
    const uint8_t* trackStart;     // first byte of the track events
    const uint8_t* trackEnd;       // one past the track's last byte, as its length says
    const uint8_t* loopPoint;      // first event of the track, after its first delta time
    const uint8_t* cursor;         // next byte to convert
    int32_t runningStatus;
    uint32_t pendingDelta;         // ticks since the last event written
};

extern MusicPlayer player;

int32_t openStream();
// Takes ownership of data (allocated with std::malloc, size bytes) and checks it as a
// format-0 file; on failure data is freed and no song is loaded. The stream must be open.
int32_t acceptSongData(uint8_t* data, uint32_t size);
uint32_t fillBuffer();
void streamCallback(MidiStreamHandle stream, uint32_t message, uintptr_t instance,
                    uintptr_t param1, uintptr_t param2);
void unloadSong();
