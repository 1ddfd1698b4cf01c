// Small Standard MIDI files for the player's tests (also the sdl stream's), and a
// fixture with a scratch directory for them over the headless stream.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/headless/headless_sound.h"
#include "sound/music.h"
#include "sound/player.h"

typedef std::vector<uint8_t> Bytes;

inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes big32(uint32_t v) { return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }

// A file with the given track; headerLength > 6 pads the header with zeros.
inline Bytes midiFile(const Bytes& track, uint16_t format = 0, uint32_t headerLength = 6,
                      uint16_t division = 96) {
    Bytes header = {uint8_t(format >> 8), uint8_t(format), 0, 1, uint8_t(division >> 8), uint8_t(division)};
    header.resize(headerLength, 0);
    return cat({{'M', 'T', 'h', 'd'}, big32(headerLength), header, {'M', 'T', 'r', 'k'},
                big32(uint32_t(track.size())), track});
}

inline Bytes quantity(uint32_t v) {
    Bytes groups = {uint8_t(v & 0x7F)};
    while (v >>= 7) groups.insert(groups.begin(), uint8_t(0x80 | (v & 0x7F)));
    return groups;
}

const Bytes EndOfTrack = {0xFF, 0x2F, 0x00};

inline std::string writeFile(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr) << path;
    if (f) std::fwrite(bytes.data(), 1, bytes.size(), f), std::fclose(f);
    return path;
}

// Every test starts with the player closed and the headless logs empty.
class MidiTest : public ::testing::Test {
protected:
    static void restart() {
        closeMusic();
        headlessSoundReset();
    }
    void SetUp() override {
        restart();
        char pattern[] = "/tmp/pellrun-midi-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        restart();
        ASSERT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
    }
    std::string write(const std::string& name, const Bytes& bytes) { return writeFile(dir + "/" + name, bytes); }
    int32_t load(const Bytes& bytes) { return loadSong(write("song.dat", bytes).c_str()); }
    // Loads and starts; the events of the buffers queued so far.
    std::vector<HeadlessMidiEvent> play(const Bytes& track) {
        EXPECT_EQ(load(midiFile(track)), 1);
        EXPECT_EQ(startSong(), 1);
        return headlessMidiEvents();
    }
    static std::vector<uint32_t> outBytes() {
        std::vector<uint32_t> out;
        for (const HeadlessSoundRecord& r : headlessSoundLog())
            if (r.call == SoundOut && r.result == 0) out.push_back(r.value);
        return out;
    }
    std::string dir;
};
