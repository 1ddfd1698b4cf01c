// A Standard MIDI file of format 0 built from timed events, and the helpers the
// composer uses to write notes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

class SmfTrack {
public:
    explicit SmfTrack(uint16_t division) : division_(division) {}

    // order puts events of one tick in sequence: setup 0, note-off 1, others 2, note-on 3.
    void add(uint32_t tick, uint32_t order, const Bytes& bytes);
    void meta(uint32_t tick, uint8_t type, const Bytes& data);
    void tempo(uint32_t tick, double beatsPerMinute);
    void program(uint32_t tick, int channel, int program);
    void control(uint32_t tick, int channel, int controller, int value);
    // A note from tick for length ticks; lengths are clipped at the end of the song.
    void note(uint32_t tick, uint32_t length, int channel, int pitch, int velocity);

    // The whole file; the end-of-track event sits at endTick, so the song repeats on
    // the beat.
    Bytes write(uint32_t endTick) const;

private:
    struct Event {
        uint32_t tick;
        uint32_t order;
        uint32_t sequence;
        Bytes bytes;
    };
    uint16_t division_;
    std::vector<Event> events_;
};

void appendQuantity(Bytes& out, uint32_t value);
