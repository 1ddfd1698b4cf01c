// Loading songs, the stream's life cycle and the buffer protocol, driven through the
// headless stream.
#include "midi_files.h"

namespace {

class MidiPlayer : public MidiTest {
protected:
    const Bytes song = cat({{0x00, 0xC0, 0x05, 0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00},
                            {0x00}, EndOfTrack});
    std::vector<HeadlessSoundCall> calls() {
        std::vector<HeadlessSoundCall> out;
        for (const HeadlessSoundRecord& r : headlessSoundLog()) out.push_back(r.call);
        return out;
    }
};

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
    ASSERT_EQ(smallest.size(), 22u);
    ASSERT_EQ(longHeader[16], 'M');
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
        EXPECT_EQ(player.songLoaded, c.loads == 1) << &c - cases;
        EXPECT_TRUE(player.deviceOpen) << "a file failure leaves the stream open";
    }
    ASSERT_EQ(load(longHeader), 1);
    EXPECT_EQ(player.trackStart, player.songData + 24);
    EXPECT_EQ(loadSong((dir + "/missing.dat").c_str()), 0);
    EXPECT_FALSE(player.songLoaded);
    EXPECT_EQ(startSong(), 0);
}

TEST_F(MidiPlayer, StartQueuesTwoBuffersWhilePausedThenRestartsAndRefillsInTurn) {
    ASSERT_EQ(load(midiFile(song, 0, 6, 480)), 1);
    headlessSoundReset();
    ASSERT_EQ(startSong(), 1);
    EXPECT_EQ(calls(), (std::vector<HeadlessSoundCall>{SoundProperty, SoundProperty, SoundOut,
                                                        SoundOut, SoundRestart}));
    const auto& log = headlessSoundLog();
    EXPECT_EQ(log[0].value, MidiPropSet | MidiPropTimeDiv);
    EXPECT_EQ(log[0].argument, 480u);
    EXPECT_EQ(log[1].value, MidiPropSet | MidiPropTempo);
    EXPECT_EQ(log[1].argument, 500000u);
    EXPECT_EQ(log[2].header, &player.headers[0]);
    EXPECT_EQ(log[3].header, &player.headers[1]);
    EXPECT_EQ(player.currentBuffer, 0);
    EXPECT_TRUE(player.playing);
    EXPECT_EQ(startSong(), 1);                 // already playing: nothing more
    EXPECT_EQ(headlessSoundLog().size(), 5u);
    // Each completed buffer is refilled in turn and the song goes on.
    for (int i = 0; i < 6; ++i) {
        const MidiHeader* expected = &player.headers[i % 2];
        ASSERT_TRUE(headlessCompleteBuffer());
        const HeadlessSoundRecord& last = headlessSoundLog().back();
        EXPECT_EQ(last.call, SoundOut);
        EXPECT_EQ(last.header, expected);
        EXPECT_EQ(headlessQueuedBuffers(), 2u);
    }
    // The conversion carried on through every buffer: program, on, off, program, ...
    const auto& events = headlessMidiEvents();
    for (size_t i = 0; i < events.size(); ++i)
        EXPECT_EQ(events[i].word & 0xF0, (i % 3 == 0 ? 0xC0u : i % 3 == 1 ? 0x90u : 0x80u));
}

TEST_F(MidiPlayer, StopHandsBuffersBackWithoutRefillAndRestartBeginsAgain) {
    auto first = play(song);
    uint32_t outs = headlessSoundCount(SoundOut);
    stopMusic();
    EXPECT_FALSE(player.playing);
    EXPECT_EQ(player.stopRequested.load(), 1);
    EXPECT_EQ(headlessQueuedBuffers(), 0u);
    EXPECT_EQ(headlessSoundCount(SoundOut), outs);
    EXPECT_FALSE(headlessCompleteBuffer());
    // startSong again plays the loaded song from its beginning.
    headlessSoundReset();
    ASSERT_EQ(startSong(), 1);
    auto again = headlessMidiEvents();
    ASSERT_EQ(again.size(), first.size());
    for (size_t i = 0; i < again.size(); ++i) {
        EXPECT_EQ(again[i].word, first[i].word);
        EXPECT_EQ(again[i].delta, first[i].delta);
    }
}

TEST_F(MidiPlayer, SongChangeReopensTheStreamAndIdleStopOrCloseIsHarmless) {
    stopMusic();
    closeMusic();
    EXPECT_TRUE(headlessSoundLog().empty());
    play(song);
    headlessSoundReset();
    ASSERT_EQ(load(midiFile(song)), 1);
    auto seen = calls();
    ASSERT_GE(seen.size(), 4u);
    EXPECT_EQ(seen[0], SoundStop);
    EXPECT_NE(std::find(seen.begin(), seen.end(), SoundClose), seen.end());
    EXPECT_LT(std::find(seen.begin(), seen.end(), SoundClose),
              std::find(seen.begin(), seen.end(), SoundOpen));
    EXPECT_FALSE(player.playing);
    ASSERT_EQ(startSong(), 1);
    closeMusic();
    EXPECT_FALSE(headlessStreamIsOpen());
    EXPECT_FALSE(player.deviceOpen || player.songLoaded || player.playing);
    const size_t logged = headlessSoundLog().size();
    closeMusic();
    stopMusic();
    EXPECT_EQ(headlessSoundLog().size(), logged);
}

TEST_F(MidiPlayer, StreamFailuresLeaveNothingBehind) {
    headlessSoundFail(SoundOpen, 1);
    EXPECT_EQ(load(midiFile(song)), 0);
    EXPECT_FALSE(player.deviceOpen);

    // The second header fails to prepare: the first is unprepared, the stream closed.
    headlessSoundFail(SoundPrepare, 1, 1);
    EXPECT_EQ(openStream(), 0);
    EXPECT_EQ(calls(), (std::vector<HeadlessSoundCall>{SoundOpen, SoundOpen, SoundPrepare,
                                                        SoundPrepare, SoundUnprepare,
                                                        SoundClose}));
    EXPECT_EQ(headlessSoundLog()[4].header, &player.headers[0]);
    EXPECT_FALSE(headlessStreamIsOpen());
    EXPECT_FALSE(player.deviceOpen);
    EXPECT_EQ(player.eventBuffers[0], nullptr);

    // The first fails: nothing to unprepare.
    headlessSoundReset();
    headlessSoundFail(SoundPrepare, 1);
    EXPECT_EQ(openStream(), 0);
    EXPECT_EQ(headlessSoundCount(SoundUnprepare), 0u);
    EXPECT_FALSE(headlessStreamIsOpen());
    EXPECT_EQ(openStream(), 1);   // and the next attempt works
}

TEST_F(MidiPlayer, FailedQueueKeepsTheBufferAndFailedRestartKeepsTheStreamPaused) {
    ASSERT_EQ(load(midiFile(song)), 1);
    headlessSoundFail(SoundOut, 1);
    ASSERT_EQ(startSong(), 1);
    // The first fill failed to queue buffer 0; the second fill wrote buffer 0 again.
    EXPECT_EQ(outBytes().size(), 1u);
    EXPECT_EQ(headlessSoundLog().back().call, SoundRestart);
    EXPECT_EQ(player.currentBuffer, 1);
    closeMusic();

    ASSERT_EQ(load(midiFile(song)), 1);
    headlessSoundFail(SoundRestart, 1);
    EXPECT_EQ(startSong(), 0);
    EXPECT_FALSE(player.playing);
    EXPECT_EQ(headlessQueuedBuffers(), 2u);
    EXPECT_FALSE(headlessCompleteBuffer());   // paused: nothing plays
}

}  // namespace
