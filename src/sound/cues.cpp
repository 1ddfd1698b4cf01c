// Named music and effect cues. A cue name becomes a file in the data directory; the
// music setting (1 = off) gates music and effects but never the silencing call.
#include "sound/cues.h"

#include <cstdio>

#include "core/settings.h"
#include "platform/platform.h"
#include "sound/music.h"

namespace {

// "<dataDir><name>.dat"; false when the path does not fit (no such file can exist).
bool cuePath(char (&path)[PathSize], const char* name) {
    if (!dataDir[0]) return false;
    int32_t length = std::snprintf(path, sizeof path, "%s%s.dat", dataDir, name);
    return length > 0 && length < PathSize;
}

}  // namespace

void playMusic(const char* name) {
    if (music == 1) return;
    char path[PathSize];
    // loadSong closes whatever played before, so a missing song leaves silence; a
    // path too long for any file does the same.
    if (!cuePath(path, name)) {
        closeMusic();
        return;
    }
    if (loadSong(path) == 1) startSong();
}

int32_t playEffect(const char* name) {
    if (music == 1) return 0;
    char path[PathSize];
    if (!cuePath(path, name)) return 0;
    // No default system sound stands in for a missing file: a missing effect is silence.
    return platPlaySound(path, SndAsync | SndLoop | SndNoDefault);
}

void silenceEffects() {
    char path[PathSize];
    // Plays Snd0 to its end, replacing the looping effect. When Snd0 cannot be played
    // the looping effect is stopped outright, so the race still ends in silence.
    if (!cuePath(path, "Snd0") || !platPlaySound(path, SndSync | SndNoDefault))
        platPlaySound(nullptr, SndSync);
}
