// The MIDI stream service of the software backends: its rules, and its schedule, which hands
// the synthesizer a bounded amount of work in each block however dense a song; the rest
// follows in order, and a block as dense as the program's songs get is handed on whole.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/headless/headless_sound.h"

namespace {

struct Rules {
    MidiStreamHandle stream;
    MidiHeader headers[9];
    bool again;   // the callback queues again what comes back
    std::string heard;
} rules;

void heard(MidiStreamHandle, uint32_t message, uintptr_t instance, uintptr_t param1, uintptr_t) {
    MidiHeader* h = reinterpret_cast<MidiHeader*>(param1);
    const bool done = message == MomDone;
    rules.heard += done ? "+" + std::to_string(h - rules.headers) : message == MomOpen ? "+o" : "+c";
    if (instance != 7 || done != !!h || (done && rules.again && platMidiStreamOut(rules.stream, h))) rules.heard += "?";
}

// One step of the table below: its results, a header's flags, the callback's messages.
std::string step(const std::string& name) {
    const MidiStreamHandle s = rules.stream;
    MidiHeader* h = name.size() == 2 && name[1] != '-' ? &rules.headers[name[1] - '0'] : nullptr;
    uint32_t v = name.size() > 2 ? uint32_t(std::stoul(name.substr(2))) : 0;
    const uint32_t property =
        (name[0] == 'T' ? MidiPropTempo : MidiPropTimeDiv) | (name.size() > 2 ? MidiPropSet : MidiPropGet);
    MidiStreamHandle other;
    std::vector<uint32_t> r;
    switch (name[0]) {
    case 'o': r = {platMidiStreamOpen(s ? &other : &rules.stream, heard, 7)}; break;
    case 'p': r = {platMidiOutPrepareHeader(s, h)}; break;
    case 'u': r = {platMidiOutUnprepareHeader(s, h)}; break;
    case 'q': r = {platMidiStreamOut(s, h)}; break;
    case 'r': r = {platMidiStreamRestart(s)}; break;
    case 's': r = {platMidiStreamStop(s)}; break;
    case 'c': r = {platMidiStreamClose(s)}; break;
    case 'd': r = {softMidiComplete(), softMidiStatus().played}; break;
    case 'R': rules.again = !rules.again; break;
    case 'T': case 'D': r = {platMidiStreamProperty(s, property, &v), v}; break;
    case 'P': r = {platMidiStreamProperty(s, MidiPropTempo, &v), platMidiStreamProperty(s, MidiPropSet, &v)};
    }
    std::string text;
    for (size_t i = 0; i < r.size(); ++i) text += (i ? "," : "") + std::to_string(r[i]);
    text += h ? "/" : "";
    for (int bit = 0; h && bit < 4; ++bit) text += h->flags & 1u << bit ? std::string(1, "DPQS"[bit]) : "";
    return text + std::exchange(rules.heard, std::string());
}

// The service through the door of the headless backend (which only adds its log), as the
// Windows service has it. Headers (kinds: data offset in words or 1 for none, length, bytes
// recorded, flags): 0 and 1 a note (1 in the largest buffer), 2 no data, 3 larger, 4 a note
// and a cut long event, 5 more recorded than held, 6 nothing recorded, 7 unprepared and 8
// prepared, both flagged queued and done. Steps: o open, pN prepare, uN unprepare, qN queue
// (- a null header), r restart, s stop, c close, d hand a buffer back as played (and the
// count so far), T and D get the tempo or time division (T=v, D=v set it), P bad property
// requests, R the callback queues again what comes back. Each gives its results, the flags
// (Done, Prepared, Queued, Stream) and the callback's messages (+o, +c, +N done, ? amiss).
TEST(MidiStream, RulesOfTheWindowsService) {
    const struct {
        const char *steps, *expected;
    } rows[] = {
        {"o o p0 p1 q0 q1 q0 u0 c d s d q0 q1 r d d d s u0 u1 c c p0 u0 T q0 r s",
         "o:0+o o:4 p0:0/P p1:0/P q0:0/PQS q1:0/PQS q0:65/PQS u0:65/PQS c:65 d:0,0 s:0+0+1 d:0,0 q0:0/PQS "
         "q1:0/PQS r:0 d:1,1+0 d:1,2+1 d:0,2 s:0 u0:0/DS u1:0/DS c:0+c c:5 p0:5/DS u0:5/DS T:5,0 q0:64/DS r:5 s:5"},
        {"o T D T=0 T D=480 r D=96 D T=9 s D=96 D P c",
         "o:0+o T:0,500000 D:0,24 T=0:0,0 T:0,0 D=480:0,480 r:0 D=96:11,96 D:0,480 T=9:0,9 s:0 D=96:0,96 D:0,96 "
         "P:11,11 c:0+c"},
        {"o p- p2 p3 p4 q4 p5 q5 q6 p6 q6 r d u7 p7 p8 u8 u- q- c",
         "o:0+o p-:11 p2:11/ p3:11/ p4:0/P q4:11/P p5:0/P q5:11/P q6:64/ p6:0/P q6:0/PQS r:0 d:1,1+6 u7:0/DQ "
         "p7:0/P p8:0/DPQ u8:65/DPQ u-:11 q-:11 c:0+c"},
        {"o p0 q0 r R s c R s u0 c", "o:0+o p0:0/P q0:0/PQS r:0 R: s:0+0 c:65 R: s:0+0 u0:0/DS c:0+c"},
    };
    uint32_t words[6] = {0, 0, 0x00403C90, 0, 0, 0x80000006};   // a note; a long event's start
    const uint32_t kinds[9][4] = {{0, 24, 12, 0}, {0, 65536, 12, 0}, {1, 24, 12, 0}, {0, 65537, 12, 0}, {0, 24, 24, 0},
                                  {0, 12, 24, 0}, {0, 24, 0, 0},  {0, 24, 12, MhdrInQueue | MhdrDone},
                                  {0, 24, 12, MhdrPrepared | MhdrInQueue | MhdrDone}};
    for (const auto& row : rows) {
        for (int i = 0; i < 9; ++i) {
            MidiHeader& h = rules.headers[i] = {};
            h.data = kinds[i][0] == 1 ? nullptr : reinterpret_cast<char*>(words) + kinds[i][0];
            h.bufferLength = kinds[i][1], h.bytesRecorded = kinds[i][2], h.flags = kinds[i][3];
        }
        rules.stream = nullptr, rules.again = false;
        std::string seen, name;
        for (std::istringstream steps(row.steps); steps >> name;) seen += " " + name + ":" + step(name);
        EXPECT_EQ(seen.substr(1), row.expected) << row.steps;
    }
}

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
