// The Linux stream's schedule: however dense a song, each rendered block hands the
// synthesizer a bounded amount of work; the rest follows in the next blocks, in order,
// and a block as dense as the program's songs get is handed on whole.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/soft/stream_schedule.h"

namespace {

struct Flood {
    StreamSchedule schedule;
    MidiHeader header;
    int refills;
    std::vector<uint32_t> sent;   // each note's key, or 0x100 + a system-exclusive message's length
};

void noOutput(void*, int, int) {}
void noteSent(void* user, uint32_t word) { static_cast<Flood*>(user)->sent.push_back(word >> 8 & 0x7F); }
void sysexSent(void* user, const uint8_t*, uint32_t n) { static_cast<Flood*>(user)->sent.push_back(0x100 + n); }
void played(void* user, MidiHeader* header) {   // the one buffer again, or nothing
    Flood& f = *static_cast<Flood*>(user);
    if (f.refills-- > 0) streamQueue(f.schedule, header);
}

// A buffer of zero-delta notes or resets of the whole synthesizer, or of notes half a
// second apart, played again some times, through 40 blocks of 1024 frames (23 ms each):
// the events handed on in the first block and in all.
TEST(StreamSchedule, WorkPerBlockIsBoundedAndTheRestFollowsInOrder) {
    const struct { int events, refills; bool sysex; uint32_t delta; size_t first, total; } rows[] = {
        {833, 8, false, 0, 128, 5120}, {499, 8, true, 0, 16, 640}, {46, 0, false, 0, 46, 46}, {2, 0, false, 96, 0, 1}};
    for (const auto& row : rows) {
        std::vector<char> data(10000, 0);
        const int size = row.sysex ? 20 : 12, cost = row.sysex ? SysexWork : 1;
        for (int i = 0; i < row.events; ++i) {
            const uint32_t event[5] = {row.delta, 0, row.sysex ? 0x80000006u : 0x00400090u | uint32_t(i % 128) << 8,
                                       0x097F7EF0, 0xF701};   // F0 7E 7F 09 01 F7: reset
            std::memcpy(data.data() + i * size, event, size_t(size));
        }
        Flood f = {{true, 500000, 96, 44100, nullptr, nullptr, 0, 0, false, 0.0}, {}, row.refills, {}};
        f.header.data = data.data(), f.header.bufferLength = f.header.bytesRecorded = uint32_t(row.events * size);
        streamQueue(f.schedule, &f.header);
        const StreamSink sink = {&f, noOutput, noteSent, sysexSent, played};
        streamRender(f.schedule, 1024, sink);
        EXPECT_EQ(f.sent.size(), row.first) << row.events;
        for (size_t block = 1, before = f.sent.size(); block < 40; ++block, before = f.sent.size()) {
            streamRender(f.schedule, 1024, sink);
            EXPECT_LE(int(f.sent.size() - before) * cost, StreamWorkPerCall) << row.events << " " << block;
        }
        EXPECT_EQ(f.sent.size(), row.total) << row.events;
        for (size_t i = 0; i < f.sent.size(); ++i)
            ASSERT_EQ(f.sent[i], row.sysex ? 0x104 : i % size_t(row.events) % 128) << row.events << " " << i;
    }
}

}  // namespace
