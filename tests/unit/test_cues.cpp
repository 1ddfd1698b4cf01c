// Music and effect cues: the music setting, file names, and missing files as silence.
#include <cstring>

#include "core/settings.h"
#include "midi_files.h"
#include "sound/cues.h"

namespace {

class Cues : public MidiTest {
protected:
    void SetUp() override {
        MidiTest::SetUp();
        savedMusic = music;
        std::memcpy(savedDataDir, dataDir, sizeof savedDataDir);
        std::snprintf(dataDir, sizeof dataDir, "%s/", dir.c_str());
        music = 0;
        const Bytes tune = cat({{0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00}, {0x00},
                                EndOfTrack});
        write("Bgm0.dat", midiFile(tune));
        write("Bgm9.dat", midiFile(tune));
        write("In0.dat", midiFile(tune));
        write("Snd0.dat", Bytes{'R', 'I', 'F', 'F'});
        write("Snd1.dat", Bytes{'R', 'I', 'F', 'F'});
    }
    void TearDown() override {
        music = savedMusic;
        std::memcpy(dataDir, savedDataDir, sizeof savedDataDir);
        MidiTest::TearDown();
    }
    std::vector<HeadlessSoundRecord> plays() {
        std::vector<HeadlessSoundRecord> out;
        for (const HeadlessSoundRecord& r : headlessSoundLog())
            if (r.call == SoundPlay) out.push_back(r);
        return out;
    }
    int32_t savedMusic = 0;
    char savedDataDir[sizeof dataDir];
};

TEST_F(Cues, MusicCuePlaysTheNamedSongAndAMissingOneSilencesIt) {
    playMusic("Bgm9");  // the named file, loaded and played
    ASSERT_TRUE(player.playing);
    EXPECT_EQ(headlessQueuedBuffers(), 2u);
    EXPECT_TRUE(headlessStreamRunning());
    playMusic("In2");
    EXPECT_FALSE(player.playing);
    EXPECT_FALSE(player.songLoaded);
    EXPECT_EQ(headlessQueuedBuffers(), 0u);
    EXPECT_FALSE(headlessStreamRunning());
}

TEST_F(Cues, EffectLoopsUntilSnd0IsPlayedToItsEnd) {
    EXPECT_EQ(playEffect("Snd1"), 1);
    silenceEffects();
    auto seen = plays();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].path, dir + "/Snd1.dat");
    EXPECT_EQ(seen[0].value, SndAsync | SndLoop | SndNoDefault);
    EXPECT_EQ(seen[1].path, dir + "/Snd0.dat");
    EXPECT_EQ(seen[1].value & (SndAsync | SndLoop), 0u);
    EXPECT_FALSE(seen[1].defaultSound);
}

TEST_F(Cues, MusicOffGatesMusicAndEffectsButNotSilencing) {
    music = 1;
    playMusic("Bgm0");
    EXPECT_EQ(playEffect("Snd1"), 0);
    EXPECT_FALSE(headlessStreamIsOpen());
    EXPECT_EQ(headlessSoundCount(SoundOpen), 0u);
    silenceEffects();
    auto seen = plays();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].path, dir + "/Snd0.dat");
    EXPECT_EQ(seen[0].value & SndAsync, 0u);
}

// A missing effect, a missing Snd0 that still stops the running effect, and a data
// folder too long to name any file.
TEST_F(Cues, MissingFilesAreSilence) {
    EXPECT_EQ(playEffect("Snd3"), 0);
    ASSERT_EQ(std::remove((dir + "/Snd0.dat").c_str()), 0);
    playEffect("Snd1");
    silenceEffects();
    auto seen = plays();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_FALSE(seen[0].defaultSound || seen[2].defaultSound);
    EXPECT_TRUE(seen[3].path.empty());   // the stop request
    std::memset(dataDir, 'a', PathSize);
    dataDir[PathSize] = 0;
    playMusic("Bgm0");
    EXPECT_EQ(playEffect("Snd1"), 0);
    EXPECT_FALSE(player.playing);
    EXPECT_EQ(plays().size(), 4u);
}

}  // namespace
