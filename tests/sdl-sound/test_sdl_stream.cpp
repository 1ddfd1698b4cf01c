// The sdl MIDI stream, the player on it and the wave player on a real SDL audio thread (the
// dummy driver renders in real time without a sound card); run under ThreadSanitizer too.
#include <chrono>
#include <functional>
#include <thread>

#include "../unit/midi_files.h"
#include "platform/sdl/sdl_sound.h"
#include "platform/soft/midi_stream.h"

namespace {

using Clock = std::chrono::steady_clock;

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}
bool waitFor(const std::function<bool()>& done, int ms) {
    for (auto start = Clock::now(); !done(); sleepMs(5))
        if (msSince(start) > ms) return false;
    return true;
}

const std::string Data = std::string(PELLRUN_SOURCE_DIR) + "/Data/";

class SdlStream : public ::testing::Test {
protected:
    void SetUp() override {
        MidiStreamHandle s = nullptr;   // opening a stream opens the device
        if (platMidiStreamOpen(&s, nullptr, 0) == 0) platMidiStreamClose(s);
        if (!sdlSoundHasDevice()) GTEST_SKIP() << "no SDL audio device";
    }
};

TEST_F(SdlStream, SynthRestsWhenNothingSoundsAndWakesForAnEvent) {
    MidiStreamHandle s = nullptr;
    ASSERT_EQ(platMidiStreamOpen(&s, nullptr, 0), 0u);
    ASSERT_EQ(platMidiStreamRestart(s), 0u);   // running with nothing queued: the device runs
    // Within the tail time plus a margin the synthesizer stops rendering.
    uint64_t last = sdlSoundSynthFrames();
    for (int tries = 0; tries < 60; ++tries) {
        sleepMs(100);
        if (sdlSoundSynthFrames() == last) break;
        last = sdlSoundSynthFrames();
    }
    EXPECT_GT(last, 0u);
    sleepMs(300);
    EXPECT_EQ(sdlSoundSynthFrames(), last);
    uint32_t notes[6] = {1, 0, 0x00643C90, 1, 0, 0x00003C90};   // on and off, a tick apart
    MidiHeader header = {};
    header.data = reinterpret_cast<char*>(notes);
    header.bufferLength = header.bytesRecorded = sizeof notes;
    ASSERT_EQ(platMidiOutPrepareHeader(s, &header), 0u);
    ASSERT_EQ(platMidiStreamOut(s, &header), 0u);
    EXPECT_TRUE(waitFor([&] { return sdlSoundSynthFrames() > last; }, 2000));
    EXPECT_EQ(platMidiStreamStop(s), 0u);
    EXPECT_EQ(platMidiOutUnprepareHeader(s, &header), 0u);
    EXPECT_EQ(platMidiStreamClose(s), 0u);
}

// The player keeps the stream fed from the audio thread, at the pace of its deltas, until
// stopped, starts again from the beginning and closes while playing; with deltas of
// billions of samples the audio thread still renders and lets go of its lock, so that
// every call returns at once.
TEST_F(SdlStream, PlayerKeepsTheStreamFedAndEveryCallReturnsWhateverTheDeltas) {
    Bytes dense = {0x00, 0xFF, 0x51, 0x03, 0x00, 0x4E, 0x20};   // 20000 us a quarter
    for (uint8_t i = 0; i < 200; ++i)
        dense.insert(dense.end(), {0x01, 0x90, uint8_t(60 + i % 12), 0x50, 0x01, 0x80, uint8_t(60 + i % 12), 0x00});
    const struct {
        uint16_t division;
        Bytes track;
        uint32_t buffers;   // played before the stop; a buffer of these notes lasts 0.17 s
    } rows[] = {
        {96, dense, 6},
        // The longest 4-byte delta at 96 ticks a quarter.
        {96, {0x00, 0x90, 60, 0x50, 0xFF, 0xFF, 0xFF, 0x7F, 0x80, 60, 0x00}, 0},
        // 3000 ticks at division 1 with the slowest tempo.
        {1, {0x00, 0xFF, 0x51, 0x03, 0xFF, 0xFF, 0xFF, 0x00, 0x90, 60, 0x50, 0x97, 0x38, 0x80, 60, 0x00}, 0},
    };
    for (const auto& r : rows) {
        const std::string path = writeFile(testing::TempDir() + "pellrun-song.dat",
                                           midiFile(cat({r.track, {0x00}, EndOfTrack}), 0, 6, r.division));
        ASSERT_EQ(loadSong(path.c_str()), 1);
        const uint32_t before = softMidiStatus().played;
        auto start = Clock::now();
        ASSERT_EQ(startSong(), 1);
        EXPECT_TRUE(waitFor([&] { return softMidiStatus().played >= before + r.buffers; }, 8000));
        EXPECT_GT(msSince(start), r.buffers * 170 * 0.5) << "played at their deltas, not all at once";
        sleepMs(150);
        start = Clock::now();
        stopMusic();
        EXPECT_EQ(platPlaySound(nullptr, SndSync), 1);
        EXPECT_LT(msSince(start), 500.0) << r.division;
        const uint32_t stopped = softMidiStatus().played;
        sleepMs(300);
        EXPECT_EQ(softMidiStatus().played, stopped);
        ASSERT_EQ(startSong(), 1);
        EXPECT_TRUE(waitFor([&] { return softMidiStatus().played >= stopped + r.buffers / 3; }, 8000));
        start = Clock::now();
        closeMusic();
        EXPECT_LT(msSince(start), 500.0) << r.division;
        std::remove(path.c_str());
    }
}

// Never much longer than SyncSoundLimitMs (longer sounds are stopped then; see
// check_sdl_input.sh).
TEST_F(SdlStream, WavePlayerPlaysToTheEndWhenSynchronous) {
    auto start = Clock::now();
    EXPECT_EQ(platPlaySound((Data + "Snd0.dat").c_str(), SndSync | SndNoDefault), 1);
    EXPECT_GE(msSince(start), 200.0);   // Snd0 lasts 250 ms
    EXPECT_LT(msSince(start), SyncSoundLimitMs + 100.0);
    EXPECT_EQ(platPlaySound((Data + "Snd1.dat").c_str(), SndAsync | SndLoop | SndNoDefault), 1);
    sleepMs(50);
    EXPECT_EQ(platPlaySound((Data + "none.dat").c_str(), SndSync | SndNoDefault), 0);
    EXPECT_EQ(platPlaySound(nullptr, SndSync), 1);
}

// Without an audio device songs and effects are taken, and nothing is heard.
TEST(SdlStreamWithoutDevice, KeepsItsContractInSilence) {
    MidiStreamHandle s = nullptr;
    ASSERT_EQ(platMidiStreamOpen(&s, nullptr, 0), 0u);
    EXPECT_EQ(platMidiStreamClose(s), 0u);
    if (sdlSoundHasDevice()) GTEST_SKIP() << "an audio device is present";
    EXPECT_EQ(platPlaySound((Data + "Snd0.dat").c_str(), SndSync | SndNoDefault), 0);
}

}  // namespace
