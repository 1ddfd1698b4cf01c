#include "platform/soft/stream_schedule.h"

#include <cstring>

namespace {

const int CompletionsPerCall = 4;

// Sends every event that is due now. False when the call has handed back all the
// buffers, or handed on all the work, it may.
bool sendDueEvents(StreamSchedule& s, int& completions, int& work, const StreamSink& sink) {
    while (s.running && s.first) {
        const MidiHeader* header = s.first;
        uint32_t recorded = header->bytesRecorded < header->bufferLength ? header->bytesRecorded
                                                                         : header->bufferLength;
        const uint32_t size = streamEventSize(header->data, s.eventOffset, recorded);
        if (size == 0) {
            if (completions == CompletionsPerCall) return false;
            ++completions;
            sink.bufferDone(sink.user, streamTakeOldest(s));
            continue;
        }
        uint32_t event[3];
        std::memcpy(event, header->data + s.eventOffset, sizeof event);
        if (!s.eventTimed) {
            s.samplesToEvent += event[0] * streamSamplesPerTick(s.tempo, s.division, s.rate);
            s.eventTimed = true;
        }
        if (s.samplesToEvent >= 1.0) return true;
        const uint32_t word = event[2];
        const int cost = word & 0x80000000u ? SysexWork : 1;
        if (work + cost > StreamWorkPerCall) return false;
        work += cost;
        // The event's type, its callback flag aside: a short message, a tempo, a long
        // message (a comment or a version is a long event that sends nothing).
        const uint32_t type = (word & ~0x40000000u) >> 24;
        if (type == 0x80) {
            const uint32_t count = word & 0x00FFFFFFu;
            const uint8_t* bytes = reinterpret_cast<const uint8_t*>(header->data) + s.eventOffset + 12;
            if (count >= 2 && bytes[0] == 0xF0 && bytes[count - 1] == 0xF7)
                sink.sysex(sink.user, bytes + 1, count - 2);
        } else if (type == 1) {
            s.tempo = word & 0x00FFFFFFu;
        } else if (type == 0) {
            sink.shortMessage(sink.user, word);
        }
        s.eventOffset += size;
        s.eventTimed = false;
    }
    return true;
}

}  // namespace

void streamQueue(StreamSchedule& s, MidiHeader* header) {
    header->next = nullptr;
    if (s.last) s.last->next = header;
    else s.first = header;
    s.last = header;
    ++s.queued;
}

MidiHeader* streamTakeOldest(StreamSchedule& s) {
    MidiHeader* header = s.first;
    s.first = header->next;
    if (!s.first) s.last = nullptr;
    --s.queued;
    s.eventOffset = 0;
    s.eventTimed = false;
    return header;
}

uint32_t streamEventSize(const char* events, uint32_t offset, uint32_t size) {
    if (offset > size || size - offset < 12) return 0;
    uint32_t word;
    std::memcpy(&word, events + offset + 8, sizeof word);
    const uint32_t bytes = word & 0x80000000u ? 12 + ((word & 0x00FFFFFFu) + 3) / 4 * 4 : 12;
    return bytes <= size - offset ? bytes : 0;
}

double streamSamplesPerTick(uint32_t tempo, uint32_t division, int rate) {
    division &= 0xFFFF;
    if (division & 0x8000) {
        // SMPTE: frames per second (negative, in the high byte) and ticks per frame.
        int fps = -int(int8_t(division >> 8));
        int ticks = int(division & 0xFF);
        if (fps <= 0) fps = 30;
        if (ticks <= 0) ticks = 1;
        return double(rate) / (double(fps) * ticks);
    }
    if (division == 0) division = 1;
    return double(tempo) * 1e-6 * rate / division;
}

void streamRender(StreamSchedule& s, int frames, const StreamSink& sink) {
    int done = 0;
    int completions = 0, work = 0;
    bool dispatching = true;
    while (done < frames) {
        int chunk = frames - done;
        if (dispatching && s.running) {
            dispatching = sendDueEvents(s, completions, work, sink);
            // The wait until the next event is compared as a double: a delta may be
            // billions of samples long, far past what an int chunk holds.
            if (dispatching && s.running && s.first && s.eventTimed && s.samplesToEvent < double(chunk))
                chunk = s.samplesToEvent >= 1.0 ? int(s.samplesToEvent) : 1;
        }
        sink.render(sink.user, chunk, done);
        if (s.running && s.first && s.eventTimed) s.samplesToEvent -= chunk;
        done += chunk;
    }
}
