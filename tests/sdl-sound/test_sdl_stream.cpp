// The sdl MIDI stream on a real SDL audio thread (the dummy driver renders in real
// time without a sound card): buffers played and handed back in order from the audio
// thread, refills from the callback, a stop that returns everything without refill,
// the player on top of it, and the wave player. Meant to run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl/sdl_sound.h"
#include "sound/music.h"
#include "sound/player.h"

namespace {

using Clock = std::chrono::steady_clock;

bool waitFor(const std::function<bool()>& done, int milliseconds) {
    auto until = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done()) {
        if (Clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// A buffer of `count` alternating note-on/note-off events one tick apart.
void fillNotes(std::vector<char>& buffer, MidiHeader& header, uint32_t count) {
    buffer.assign(10000, 0);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t event[3] = {1, 0, i % 2 ? 0x00003C90u : 0x00643C90u};
        std::memcpy(buffer.data() + i * 12, event, 12);
    }
    std::memset(&header, 0, sizeof header);
    header.data = buffer.data();
    header.bufferLength = 10000;
    header.bytesRecorded = count * 12;
}

struct Refiller {
    MidiStreamHandle stream = nullptr;
    std::atomic<int> stop{0};
    std::atomic<uint32_t> done{0};
    std::atomic<uint32_t> outOfOrder{0};
    MidiHeader* headers = nullptr;
};
Refiller refiller;

void refill(MidiStreamHandle, uint32_t message, uintptr_t, uintptr_t param1, uintptr_t) {
    if (message != MomDone) return;
    uint32_t n = refiller.done.fetch_add(1);
    if (reinterpret_cast<MidiHeader*>(param1) != &refiller.headers[n % 2]) refiller.outOfOrder++;
    if (refiller.stop.load()) return;
    platMidiStreamOut(refiller.stream, reinterpret_cast<MidiHeader*>(param1));
}

class SdlStream : public ::testing::Test {
protected:
    void SetUp() override {
        const char* driver = std::getenv("SDL_AUDIODRIVER");
        if (!deviceAvailable())
            GTEST_SKIP() << "no SDL audio device (driver " << (driver ? driver : "(default)") << ")";
    }
    static bool deviceAvailable() {
        // Opening a stream opens the device; close it at once.
        MidiStreamHandle s = nullptr;
        if (platMidiStreamOpen(&s, nullptr, 0) == 0) platMidiStreamClose(s);
        return sdlSoundHasDevice();
    }
};

TEST_F(SdlStream, BuffersPlayInOrderAndAreRefilledFromTheAudioThread) {
    std::vector<char> data[2];
    MidiHeader headers[2];
    for (int i = 0; i < 2; ++i) fillNotes(data[i], headers[i], 64);
    refiller.headers = headers;
    refiller.stop = 0;
    refiller.done = 0;
    refiller.outOfOrder = 0;
    ASSERT_EQ(platMidiStreamOpen(&refiller.stream, refill, 0), 0u);
    // 96 ticks a quarter at 24000 us: a tick is 250 us, a buffer 16 ms.
    EXPECT_EQ(platMidiStreamProperty(refiller.stream, MidiPropSet | MidiPropTimeDiv, 96), 0u);
    EXPECT_EQ(platMidiStreamProperty(refiller.stream, MidiPropSet | MidiPropTempo, 24000), 0u);
    MidiStreamHandle second = nullptr;
    EXPECT_NE(platMidiStreamOpen(&second, nullptr, 0), 0u);                 // one stream at a time
    EXPECT_NE(platMidiStreamOut(refiller.stream, &headers[0]), 0u);         // not prepared
    for (MidiHeader& h : headers) ASSERT_EQ(platMidiOutPrepareHeader(refiller.stream, &h), 0u);
    for (MidiHeader& h : headers) ASSERT_EQ(platMidiStreamOut(refiller.stream, &h), 0u);
    EXPECT_NE(platMidiStreamOut(refiller.stream, &headers[0]), 0u);         // already queued
    EXPECT_NE(platMidiOutUnprepareHeader(refiller.stream, &headers[0]), 0u);
    EXPECT_NE(platMidiStreamClose(refiller.stream), 0u);
    // Paused until restarted: nothing completes.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(refiller.done.load(), 0u);
    auto start = Clock::now();
    ASSERT_EQ(platMidiStreamRestart(refiller.stream), 0u);
    ASSERT_TRUE(waitFor([] { return refiller.done.load() >= 20; }, 5000));
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    EXPECT_GT(ms, 20 * 16 * 0.5);   // played at their deltas, not all at once
    EXPECT_EQ(refiller.outOfOrder.load(), 0u);

    refiller.stop = 1;
    EXPECT_EQ(platMidiStreamStop(refiller.stream), 0u);
    uint32_t after = refiller.done.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(refiller.done.load(), after);
    for (MidiHeader& h : headers) {
        EXPECT_TRUE(h.flags & MhdrDone);
        EXPECT_FALSE(h.flags & MhdrInQueue);
        EXPECT_EQ(platMidiOutUnprepareHeader(refiller.stream, &h), 0u);
    }
    EXPECT_EQ(platMidiStreamClose(refiller.stream), 0u);
}

TEST_F(SdlStream, SynthRestsWhenNothingSoundsAndWakesForAnEvent) {
    MidiStreamHandle s = nullptr;
    ASSERT_EQ(platMidiStreamOpen(&s, nullptr, 0), 0u);
    ASSERT_EQ(platMidiStreamRestart(s), 0u);   // running with nothing queued: the device runs
    // Within the tail time plus a margin the synthesizer stops rendering.
    uint64_t last = sdlSoundSynthFrames();
    for (int tries = 0; tries < 60; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        uint64_t now = sdlSoundSynthFrames();
        if (now == last) break;
        last = now;
    }
    EXPECT_GT(last, 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(sdlSoundSynthFrames(), last);
    std::vector<char> data;
    MidiHeader header;
    fillNotes(data, header, 2);
    ASSERT_EQ(platMidiOutPrepareHeader(s, &header), 0u);
    ASSERT_EQ(platMidiStreamOut(s, &header), 0u);
    EXPECT_TRUE(waitFor([&] { return sdlSoundSynthFrames() > last; }, 2000));
    EXPECT_EQ(platMidiStreamStop(s), 0u);
    EXPECT_EQ(platMidiOutUnprepareHeader(s, &header), 0u);
    EXPECT_EQ(platMidiStreamClose(s), 0u);
}

// A format-0 song file of one track (the end of track is added).
std::string writeSong(std::vector<uint8_t> track, uint8_t division, const char* name) {
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, division,
                                 'M', 'T', 'r', 'k', 0, 0, uint8_t(track.size() >> 8),
                                 uint8_t(track.size())};
    file.insert(file.end(), track.begin(), track.end());
    std::string path = testing::TempDir() + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
    return path;
}

TEST_F(SdlStream, DeltasOfBillionsOfSamplesNeitherSpinNorBlock) {
    struct Case {
        uint8_t division;
        std::vector<uint8_t> track;
    } cases[] = {
        // The longest 4-byte delta at 96 ticks a quarter.
        {96, {0x00, 0x90, 60, 0x50, 0xFF, 0xFF, 0xFF, 0x7F, 0x80, 60, 0x00}},
        // 3000 ticks at division 1 with the slowest tempo.
        {1, {0x00, 0xFF, 0x51, 0x03, 0xFF, 0xFF, 0xFF, 0x00, 0x90, 60, 0x50, 0x97, 0x38, 0x80, 60, 0x00}},
    };
    for (const Case& c : cases) {
        std::string path = writeSong(c.track, c.division, "pellrun-long-delta.dat");
        ASSERT_EQ(loadSong(path.c_str()), 1);
        ASSERT_EQ(startSong(), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        // The audio thread keeps rendering and lets go of its lock: every call returns.
        auto start = Clock::now();
        stopMusic();
        EXPECT_EQ(platPlaySound(nullptr, SndSync), 1);
        closeMusic();
        double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        EXPECT_LT(ms, 500.0) << int(c.division);
        std::remove(path.c_str());
    }
}

TEST_F(SdlStream, PlayerKeepsTheStreamFedUntilStopped) {
    // A song of dense notes, so that buffers go by quickly.
    std::vector<uint8_t> track = {0x00, 0xFF, 0x51, 0x03, 0x00, 0x4E, 0x20};   // 20000 us
    for (int i = 0; i < 200; ++i)
        track.insert(track.end(), {0x01, 0x90, uint8_t(60 + i % 12), 0x50, 0x01, 0x80,
                                   uint8_t(60 + i % 12), 0x00});
    const std::string path = writeSong(track, 96, "pellrun-dense.dat");
    ASSERT_EQ(loadSong(path.c_str()), 1);
    uint32_t before = sdlSoundPlayedBuffers();
    ASSERT_EQ(startSong(), 1);
    // Each event is one tick (208 us) on, so a buffer lasts about 0.17 s.
    EXPECT_TRUE(waitFor([&] { return sdlSoundPlayedBuffers() >= before + 6; }, 8000));
    stopMusic();
    uint32_t stopped = sdlSoundPlayedBuffers();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(sdlSoundPlayedBuffers(), stopped);
    // Start again from the beginning, then close while playing.
    ASSERT_EQ(startSong(), 1);
    EXPECT_TRUE(waitFor([&] { return sdlSoundPlayedBuffers() >= stopped + 2; }, 8000));
    closeMusic();
    closeMusic();
    EXPECT_FALSE(player.deviceOpen);
    std::remove(path.c_str());
}

TEST_F(SdlStream, WavePlayerPlaysToTheEndWhenSynchronous) {
    std::string snd0 = std::string(PELLRUN_SOURCE_DIR) + "/Data/Snd0.dat";
    auto start = Clock::now();
    EXPECT_EQ(platPlaySound(snd0.c_str(), SndSync | SndNoDefault), 1);
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    EXPECT_GE(ms, 200.0);   // Snd0 lasts 250 ms
    EXPECT_LT(ms, 2000.0);
    std::string snd1 = std::string(PELLRUN_SOURCE_DIR) + "/Data/Snd1.dat";
    EXPECT_EQ(platPlaySound(snd1.c_str(), SndAsync | SndLoop | SndNoDefault), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(platPlaySound((std::string(PELLRUN_SOURCE_DIR) + "/Data/none.dat").c_str(),
                            SndSync | SndNoDefault), 0);
    EXPECT_EQ(platPlaySound(nullptr, SndSync), 1);
}

TEST(SdlStreamWithoutDevice, KeepsItsContractInSilence) {
    MidiStreamHandle s = nullptr;
    ASSERT_EQ(platMidiStreamOpen(&s, nullptr, 0), 0u);
    if (sdlSoundHasDevice()) {
        platMidiStreamClose(s);
        GTEST_SKIP() << "an audio device is present";
    }
    std::vector<char> data;
    MidiHeader header;
    fillNotes(data, header, 4);
    ASSERT_EQ(platMidiOutPrepareHeader(s, &header), 0u);
    ASSERT_EQ(platMidiStreamOut(s, &header), 0u);
    ASSERT_EQ(platMidiStreamRestart(s), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(header.flags & MhdrInQueue);   // nothing plays it
    EXPECT_EQ(platMidiStreamStop(s), 0u);
    EXPECT_TRUE(header.flags & MhdrDone);
    EXPECT_EQ(platMidiOutUnprepareHeader(s, &header), 0u);
    EXPECT_EQ(platMidiStreamClose(s), 0u);
    std::string snd0 = std::string(PELLRUN_SOURCE_DIR) + "/Data/Snd0.dat";
    EXPECT_EQ(platPlaySound(snd0.c_str(), SndSync | SndNoDefault), 0);
}

}  // namespace
