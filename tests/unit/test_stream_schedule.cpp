// The Linux stream's schedule: however dense a song, each rendered block hands the
// synthesizer a bounded amount of work; what is left over follows in the next blocks,
// in order, and a block as dense as the program's songs get is handed on whole.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/sdl/stream_schedule.h"

namespace {

struct Flood {
    StreamSchedule schedule;
    MidiHeader header;
    int refills;
    std::vector<uint32_t> sent;   // each note's key, or 0x100 for a system-exclusive message
};

void noOutput(void*, int, int) {}
void noteSent(void* user, uint32_t word) { static_cast<Flood*>(user)->sent.push_back(word >> 8 & 0x7F); }
void sysexSent(void* user, const uint8_t*, uint32_t) { static_cast<Flood*>(user)->sent.push_back(0x100); }
void played(void* user) {
    Flood& r = *static_cast<Flood*>(user);
    r.schedule.queued = r.refills-- > 0 ? 1 : 0;   // the one buffer again, or nothing
    r.schedule.eventOffset = 0;
    r.schedule.eventTimed = false;
}

TEST(StreamSchedule, WorkPerBlockIsBoundedAndTheRestFollowsInOrder) {
    const uint8_t Reset[8] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};   // a whole-synthesizer reset
    const struct {
        const char* name;
        int events, refills;
        bool sysex;
        std::vector<size_t> perBlock;   // events handed on in the first blocks
    } rows[] = {
        {"zero-delta notes", 833, 8, false, {128, 128, 128}},
        {"zero-delta resets", 499, 8, true, {16, 16, 16}},
        {"the densest block of the songs", 46, 0, false, {46, 0}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<char> data(10000, 0);
        uint32_t at = 0;
        for (int i = 0; i < row.events; ++i) {
            const uint32_t event[3] = {0, 0, row.sysex ? 0x80000006u : 0x00400090u | uint32_t(i % 128) << 8};
            std::memcpy(data.data() + at, event, 12);
            if (row.sysex) std::memcpy(data.data() + at + 12, Reset, 8);
            at += row.sysex ? 20 : 12;
        }
        Flood r = {};
        r.refills = row.refills;
        r.header.data = data.data();
        r.header.bufferLength = r.header.bytesRecorded = at;
        StreamSchedule& s = r.schedule;
        s.running = true;
        s.tempo = 500000, s.division = 96, s.rate = 44100;
        s.queue[s.queued++] = &r.header;
        const StreamSink sink = {&r, noOutput, noteSent, sysexSent, played};
        for (size_t block = 0; block < 40; ++block) {
            const size_t before = r.sent.size();
            streamRender(s, 1024, sink);
            const size_t sent = r.sent.size() - before;
            EXPECT_LE(sent * (row.sysex ? SysexWork : 1), size_t(StreamWorkPerCall)) << block;
            if (block < row.perBlock.size()) {
                EXPECT_EQ(sent, row.perBlock[block]) << block;
            }
        }
        for (size_t i = 0; i < r.sent.size(); ++i)
            ASSERT_EQ(r.sent[i], row.sysex ? 0x100 : i % size_t(row.events) % 128) << i;
        EXPECT_EQ(r.sent.size(), std::min(size_t(row.events) * (row.refills + 1),
                                          size_t(40 * StreamWorkPerCall / (row.sysex ? SysexWork : 1))));
    }
}

}  // namespace
