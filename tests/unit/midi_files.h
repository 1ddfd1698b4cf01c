// Small Standard MIDI files for the player's tests, written to a scratch directory.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

#include "platform/headless/headless_sound.h"
#include "sound/music.h"
#include "sound/player.h"

typedef std::vector<uint8_t> Bytes;

inline void appendBig32(Bytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

// A file with the given track; headerLength > 6 pads the header with zeros.
inline Bytes midiFile(const Bytes& track, uint16_t format = 0, uint32_t headerLength = 6,
                      uint16_t division = 96) {
    Bytes out = {'M', 'T', 'h', 'd'};
    appendBig32(out, headerLength);
    Bytes header = {uint8_t(format >> 8), uint8_t(format), 0, 1, uint8_t(division >> 8),
                    uint8_t(division)};
    header.resize(headerLength, 0);
    out.insert(out.end(), header.begin(), header.end());
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    appendBig32(out, uint32_t(track.size()));
    out.insert(out.end(), track.begin(), track.end());
    return out;
}

inline Bytes quantity(uint32_t v) {
    Bytes groups;
    do {
        groups.insert(groups.begin(), uint8_t(v & 0x7F));
        v >>= 7;
    } while (v);
    for (size_t i = 0; i + 1 < groups.size(); ++i) groups[i] |= 0x80;
    return groups;
}

inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

const Bytes EndOfTrack = {0xFF, 0x2F, 0x00};

// Every test starts with the player closed and the headless logs empty.
class MidiTest : public ::testing::Test {
protected:
    // Closes the player and clears the logs; also for a second song within a test.
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
        std::string command = "rm -rf '" + dir + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    std::string write(const std::string& name, const Bytes& bytes) {
        std::string path = dir + "/" + name;
        FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (!f) return path;
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return path;
    }
    // Loads the bytes as a song file; the result of loadSong.
    int32_t load(const Bytes& bytes) { return loadSong(write("song.dat", bytes).c_str()); }
    // Loads and starts; the events of the buffers queued so far.
    std::vector<HeadlessMidiEvent> play(const Bytes& track) {
        EXPECT_EQ(load(midiFile(track)), 1);
        EXPECT_EQ(startSong(), 1);
        return headlessMidiEvents();
    }
    static std::vector<HeadlessMidiEvent> inBuffer(uint32_t buffer) {
        std::vector<HeadlessMidiEvent> out;
        for (const HeadlessMidiEvent& e : headlessMidiEvents())
            if (e.buffer == buffer) out.push_back(e);
        return out;
    }
    static std::vector<uint32_t> outBytes() {
        std::vector<uint32_t> out;
        for (const HeadlessSoundRecord& r : headlessSoundLog())
            if (r.call == SoundOut && r.result == 0) out.push_back(r.value);
        return out;
    }
    std::string dir;
};
