#include "smf.h"

#include <algorithm>
#include <cmath>

void appendQuantity(Bytes& out, uint32_t value) {
    uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = uint8_t(value & 0x7F);
        value >>= 7;
    } while (value);
    while (n > 0) {
        --n;
        out.push_back(uint8_t(groups[n] | (n > 0 ? 0x80 : 0)));
    }
}

void SmfTrack::add(uint32_t tick, uint32_t order, const Bytes& bytes) {
    events_.push_back(Event{tick, order, uint32_t(events_.size()), bytes});
}

void SmfTrack::meta(uint32_t tick, uint8_t type, const Bytes& data) {
    Bytes b = {0xFF, type};
    appendQuantity(b, uint32_t(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    add(tick, 0, b);
}

void SmfTrack::tempo(uint32_t tick, double beatsPerMinute) {
    uint32_t micros = uint32_t(std::lround(60000000.0 / beatsPerMinute));
    meta(tick, 0x51, {uint8_t(micros >> 16), uint8_t(micros >> 8), uint8_t(micros)});
}

void SmfTrack::program(uint32_t tick, int channel, int program) {
    add(tick, 0, {uint8_t(0xC0 | channel), uint8_t(program)});
}

void SmfTrack::control(uint32_t tick, int channel, int controller, int value) {
    add(tick, 0, {uint8_t(0xB0 | channel), uint8_t(controller), uint8_t(value)});
}

void SmfTrack::note(uint32_t tick, uint32_t length, int channel, int pitch, int velocity) {
    if (pitch < 0 || pitch > 127 || length == 0) return;
    velocity = std::max(1, std::min(127, velocity));
    add(tick, 3, {uint8_t(0x90 | channel), uint8_t(pitch), uint8_t(velocity)});
    // Note-offs are note-ons of velocity 0, which lets running status carry them.
    add(tick + length, 1, {uint8_t(0x90 | channel), uint8_t(pitch), 0});
}

Bytes SmfTrack::write(uint32_t endTick) const {
    std::vector<Event> sorted;
    for (const Event& e : events_) {
        Event c = e;
        // A note-off past the end is moved onto the end, so nothing hangs over the
        // repeat; anything else at or past the end would never sound, and is dropped.
        if (c.tick > endTick && c.order == 1) c.tick = endTick;
        if (c.tick > endTick || (c.tick == endTick && c.order != 1)) continue;
        sorted.push_back(c);
    }
    std::sort(sorted.begin(), sorted.end(), [](const Event& a, const Event& b) {
        if (a.tick != b.tick) return a.tick < b.tick;
        if (a.order != b.order) return a.order < b.order;
        return a.sequence < b.sequence;
    });
    Bytes track;
    uint32_t last = 0;
    uint8_t running = 0;
    for (const Event& e : sorted) {
        appendQuantity(track, e.tick - last);
        last = e.tick;
        uint8_t status = e.bytes[0];
        if (status < 0xF0 && status == running) {
            track.insert(track.end(), e.bytes.begin() + 1, e.bytes.end());
        } else {
            track.insert(track.end(), e.bytes.begin(), e.bytes.end());
            running = status < 0xF0 ? status : 0;
        }
    }
    appendQuantity(track, endTick - last);
    track.insert(track.end(), {0xFF, 0x2F, 0x00});

    Bytes file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1,
                  uint8_t(division_ >> 8), uint8_t(division_), 'M', 'T', 'r', 'k'};
    uint32_t n = uint32_t(track.size());
    file.insert(file.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    file.insert(file.end(), track.begin(), track.end());
    return file;
}
