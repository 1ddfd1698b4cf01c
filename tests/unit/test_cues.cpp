// Music and effect cues: the music setting, file names, and missing files as silence.
#include <cstring>
#include <sstream>

#include "core/settings.h"
#include "midi_files.h"
#include "sound/cues.h"

namespace {

using Cues = MidiTest;

// Steps, each a letter and a name: m playMusic, e playEffect, s silenceEffects, r remove
// the file, L a data folder too long to name any file. Each step gives its letter, for m
// whether the song plays, is loaded and runs and how many buffers are queued, for e its
// result; then the sounds it played: file (- for none), A async, L loop, N no default,
// ? the default sound.
TEST_F(Cues, PlayTheNamedFilesAndMissingOnesAreSilence) {
    const int32_t savedMusic = music;
    char savedDataDir[sizeof dataDir];
    std::memcpy(savedDataDir, dataDir, sizeof savedDataDir);
    const Bytes tune = midiFile(cat({{0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00}, {0x00}, EndOfTrack}));
    const struct {
        int32_t music;
        const char *steps, *expected;
    } rows[] = {
        {0, "mBgm9 mIn2 eSnd1 s", "m1112 m0000 e1 Snd1.dat:ALN s Snd0.dat:N"},
        {1, "mBgm0 eSnd1 s", "m0000 e0 s Snd0.dat:N"},
        {0, "eSnd3 rSnd0 eSnd1 s mIn0 L mBgm0 eSnd1 s",
         "e0 Snd3.dat:ALN r e1 Snd1.dat:ALN s Snd0.dat:N -: m1112 L m0000 e0 s -:"},
    };
    for (const auto& row : rows) {
        restart();
        std::snprintf(dataDir, sizeof dataDir, "%s/", dir.c_str());
        music = row.music;
        for (const char* name : {"Bgm0.dat", "Bgm9.dat", "In0.dat"}) write(name, tune);
        for (const char* name : {"Snd0.dat", "Snd1.dat"}) write(name, {'R', 'I', 'F', 'F'});
        std::string seen, step;
        for (std::istringstream steps(row.steps); steps >> step;) {
            const std::string name = step.substr(1);
            seen += (seen.empty() ? "" : " ") + step.substr(0, 1);
            if (step[0] == 'm') {
                playMusic(name.c_str());
                seen += std::to_string(player.playing) + std::to_string(player.songLoaded) +
                        std::to_string(softMidiStatus().running) + std::to_string(softMidiStatus().queued);
            } else if (step[0] == 'e') {
                seen += std::to_string(playEffect(name.c_str()));
            } else if (step[0] == 's') {
                silenceEffects();
            } else if (step[0] == 'r') {
                std::remove((dir + "/" + name + ".dat").c_str());
            } else {
                std::memset(dataDir, 'a', PathSize);
                dataDir[PathSize] = 0;
            }
            for (const HeadlessSoundRecord& r : headlessSoundLog()) {
                if (r.call != SoundPlay) continue;
                seen += " " + (r.path.empty() ? "-" : r.path.substr(dir.size() + 1)) + ":";
                seen += std::string(r.value & SndAsync ? "A" : "") + (r.value & SndLoop ? "L" : "") +
                        (r.value & SndNoDefault ? "N" : "") + (r.defaultSound ? "?" : "");
            }
            headlessSoundReset();
        }
        EXPECT_EQ(seen, row.expected) << row.steps;
    }
    music = savedMusic;
    std::memcpy(dataDir, savedDataDir, sizeof savedDataDir);
}

}  // namespace
