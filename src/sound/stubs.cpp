// Sound is not built yet: every cue is silent.
#include "sound/cues.h"
#include "sound/music.h"

int32_t loadSong(const char*) { return 0; }
int32_t startSong() { return 0; }
void stopMusic() {}
void closeMusic() {}
void playMusic(const char*) {}
int32_t playEffect(const char*) { return 0; }
void silenceEffects() {}
