// Named music and effect cues, gated by the music setting.
#pragma once
#include <cstdint>

void playMusic(const char* name);
int32_t playEffect(const char* name);
void silenceEffects();
