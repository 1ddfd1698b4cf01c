// Loading songs, the stream's life cycle and the buffer protocol, driven through the
// headless stream.
#include <fcntl.h>
#include <sys/stat.h>

#include "midi_files.h"

namespace {

using MidiPlayer = MidiTest;
const Bytes song = cat({{0x00, 0xC0, 0x05, 0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00}, {0x00}, EndOfTrack});

// A copy of the file with some bytes replaced, or its last byte dropped (at == -1).
Bytes edited(Bytes file, std::initializer_list<std::pair<int, uint8_t>> changes) {
    for (const auto& c : changes) {
        if (c.first < 0) file.pop_back();
        else file[size_t(c.first)] = c.second;
    }
    return file;
}

TEST_F(MidiPlayer, HeaderAndChunkChecks) {
    const Bytes smallest = midiFile({}), plain = midiFile(song), longHeader = midiFile(song, 0, 8);
    struct Case {
        Bytes file;
        int32_t loads;
    } cases[] = {
        {smallest, 1},
        {edited(smallest, {{-1, 0}}), 0},                      // one byte less
        {midiFile(song, 1), 0},                                // format 1, though whole
        {edited(plain, {{0, 'X'}}), 0},
        {edited(plain, {{15, 'x'}}), 0},                       // "MTrx"
        {edited(plain, {{-1, 0}}), 0},                         // shorter than the track says
        {longHeader, 1},                                       // the header length places the track
        {edited(longHeader, {{7, 6}}), 0},                     // no "MTrk" after a 6-byte header
        {edited(plain, {{4, 0xFF}, {5, 0xFF}, {6, 0xFF}, {7, 0xF8}}), 0},  // header 2^32 - 8
        {edited(plain, {{18, 0xFF}, {19, 0xFF}, {20, 0xFF}}), 0},          // track near 2^32
    };
    for (const Case& c : cases) {
        EXPECT_EQ(load(c.file), c.loads) << &c - cases;
        EXPECT_TRUE(player.deviceOpen) << "a file failure leaves the stream open";
    }
    ASSERT_EQ(load(longHeader), 1);
    EXPECT_EQ(player.trackStart, player.songData + 24);
    EXPECT_EQ(loadSong((dir + "/missing.dat").c_str()), 0);
}

// Songs (and, for the headless wave player, effects) open only as regular files of at
// most DataFileLimit bytes, each row's a valid song if read: not a larger one (4 GB + 22
// looks 22 bytes long in 32 bits), a pipe (whose open, or read while a writer holds it,
// waits) nor a folder. A call that waits is ended by the alarm.
TEST_F(MidiPlayer, OnlySmallRegularFilesAreOpenedAndNothingElseIsWaitedFor) {
    const std::string path = dir + "/song.dat";
    const struct {
        char kind;   // f a file of the size, p a pipe, w a pipe held by a writer, d a folder
        uint64_t size;
        int32_t loads;
    } rows[] = {{'f', DataFileLimit, 1}, {'f', DataFileLimit + 1ull, 0}, {'f', 2ull << 30, 0},
                {'f', (4ull << 30) + 22, 0}, {'p', 0, 0}, {'w', 0, 0}, {'d', 0, 0}};
    alarm(30);
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.kind << " " << r.size);
        int writer = -1;
        if (r.kind == 'f') {
            write("song.dat", cat({{'M', 'T', 'h', 'd'}, big32(6), Bytes(6, 0), {'M', 'T', 'r', 'k'},
                                   big32(uint32_t(r.size - 22))}));
            ASSERT_EQ(truncate(path.c_str(), off_t(r.size)), 0);
        } else {
            ASSERT_EQ(r.kind == 'd' ? mkdir(path.c_str(), 0755) : mkfifo(path.c_str(), 0644), 0);
        }
        if (r.kind == 'w') writer = open(path.c_str(), O_RDWR | O_NONBLOCK);
        EXPECT_EQ(loadSong(path.c_str()), r.loads);
        headlessSoundReset();
        EXPECT_EQ(platPlaySound(path.c_str(), SndAsync | SndNoDefault), r.loads);
        if (writer >= 0) close(writer);
        std::remove(path.c_str());
    }
    alarm(0);
}

// Scripts of calls on the player, with a failure of the stream planted (SoundPlay: none
// the player makes) after some calls of its kind that work: l load the song,
// s start, x stop, c close, o open the stream, d complete a buffer. Each step gives its
// letter, its result (stopRequested for x and c) and the stream calls it made: the call
// (D/T for the time division and tempo with their values), the header it names, '!'
// when it failed. The player's state follows the steps.
TEST_F(MidiPlayer, ScriptedStreamCallsAndFailures) {
    const struct {
        HeadlessSoundCall fail;
        uint32_t after;
        const char *steps, *calls;
    } rows[] = {
        {SoundPlay, 0, "lssdddd",
         "l1 O P0 P1|s1 D480 T500000 Q0 Q1 R|s1|d1 Q0|d1 Q1|d1 Q0|d1 Q1|playing1 loaded1 open4 queued2 next0 stop0"},
        {SoundPlay, 0, "lsxdsc",
         "l1 O P0 P1|s1 D480 T500000 Q0 Q1 R|x1 S|d0|s1 D480 T500000 Q0 Q1 R|c1 S S U0 U1 C|playing0 loaded0 open0 queued0 next0 stop1"},
        {SoundPlay, 0, "xclsl",
         "x1|c1|l1 O P0 P1|s1 D480 T500000 Q0 Q1 R|l1 S S U0 U1 C O P0 P1|playing0 loaded1 open4 queued0 next0 stop1"},
        {SoundOpen, 0, "ls", "l0 O!|s0|playing0 loaded0 open0 queued0 next0 stop1"},
        {SoundPrepare, 1, "oo", "o0 O P0 P1! U0 C|o1 O P0 P1|playing0 loaded0 open4 queued0 next0 stop1"},
        {SoundPrepare, 0, "o", "o0 O P0! C|playing0 loaded0 open0 queued0 next0 stop1"},
        {SoundOut, 0, "lsd", "l1 O P0 P1|s1 D480 T500000 Q0! Q0 R|d1 Q1|playing1 loaded1 open4 queued1 next0 stop0"},
        {SoundRestart, 0, "lsdc", "l1 O P0 P1|s0 D480 T500000 Q0 Q1 R!|d0|c1 S U0 U1 C|playing0 loaded0 open0 queued0 next0 stop1"},
    };
    for (const auto& r : rows) {
        restart();
        if (r.fail != SoundPlay) softMidiFail(SoftMidiCall(r.fail), 1, r.after);
        std::string seen;
        size_t logged = 0, startedAt = 0;
        for (const char* step = r.steps; *step; ++step) {
            int result = 0;
            switch (*step) {
            case 'l': result = load(midiFile(song, 0, 6, 480)); break;
            case 's': startedAt = player.playing ? startedAt : headlessMidiEvents().size(), result = startSong(); break;
            case 'x': stopMusic(), result = player.stopRequested; break;
            case 'c': closeMusic(), result = player.stopRequested; break;
            case 'o': result = openStream(); break;
            case 'd': result = softMidiComplete(); break;
            }
            seen += *step + std::to_string(result);
            for (const auto& log = headlessSoundLog(); logged < log.size(); ++logged) {
                const HeadlessSoundRecord& call = log[logged];
                seen += ' ';
                seen += call.call != SoundProperty ? "OPU?QRSC"[call.call]
                        : call.value == (MidiPropSet | MidiPropTimeDiv) ? 'D' : 'T';
                if (call.call == SoundProperty) seen += std::to_string(call.argument);
                if (call.header) seen += std::to_string(call.header - player.headers);
                if (call.result) seen += '!';
            }
            seen += '|';
        }
        // Open: the player's flag, the stream and both buffers, all or nothing.
        char state[80];
        std::snprintf(state, sizeof state, "playing%d loaded%d open%d queued%u next%d stop%d",
                      player.playing, player.songLoaded,
                      player.deviceOpen + softMidiStatus().open + !!player.eventBuffers[0] + !!player.eventBuffers[1],
                      softMidiStatus().queued, player.currentBuffer, player.stopRequested.load());
        seen += state;
        EXPECT_EQ(seen, r.calls) << r.steps;
        // From the latest start on, the song from its beginning and on through every buffer:
        // program, on, off, program, ...
        const auto& events = headlessMidiEvents();
        for (size_t i = startedAt, k = 0; r.fail == SoundPlay && i < events.size(); ++i, k = (k + 1) % 3)
            EXPECT_EQ(events[i].word & 0xF0, (k == 0 ? 0xC0u : k == 1 ? 0x90u : 0x80u)) << r.steps << " " << i;
    }
}

}  // namespace
