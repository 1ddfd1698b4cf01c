// Sound effects converted for the device: the same samples SDL's one-step conversion
// gives, for the program's effects, at the rates a device may ask for.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/sdl/sdl_sound.h"

namespace {

// SDL_ConvertAudio straight to signed 16-bit stereo at rate.
Uint8* convertAtOnce(const SDL_AudioSpec& format, const Uint8* raw, Uint32 rawLength, int rate,
                     Uint32* length) {
    SDL_AudioCVT cvt;
    if (SDL_BuildAudioCVT(&cvt, format.format, format.channels, format.freq, AUDIO_S16SYS, 2, rate) < 0)
        return nullptr;
    cvt.len = int(rawLength);
    cvt.buf = static_cast<Uint8*>(SDL_malloc(size_t(rawLength) * size_t(cvt.len_mult) + 4));
    std::memcpy(cvt.buf, raw, rawLength);
    if (SDL_ConvertAudio(&cvt) < 0) {
        SDL_free(cvt.buf);
        return nullptr;
    }
    *length = Uint32(cvt.len_cvt) & ~3u;
    return cvt.buf;
}

void expectSameAsAtOnce(const SDL_AudioSpec& format, const Uint8* raw, Uint32 rawLength,
                        int rate, const std::string& what) {
    Uint32 expectedLength = 0, length = 0;
    Uint8* expected = convertAtOnce(format, raw, rawLength, rate, &expectedLength);
    Uint8* converted = sdlConvertWave(format, raw, rawLength, rate, &length);
    ASSERT_NE(expected, nullptr) << what;
    ASSERT_NE(converted, nullptr) << what;
    EXPECT_EQ(length, expectedLength) << what;
    EXPECT_EQ(std::memcmp(converted, expected, expectedLength < length ? expectedLength : length), 0)
        << what;
    SDL_free(expected);
    SDL_free(converted);
}

TEST(SdlWave, EffectsConvertToTheSameSamplesAsInOneStep) {
    for (const char* name : {"Snd0", "Snd1", "Snd2", "Snd3"}) {
        const std::string path = std::string(PELLRUN_SOURCE_DIR) + "/Data/" + name + ".dat";
        SDL_AudioSpec format;
        Uint8* raw = nullptr;
        Uint32 rawLength = 0;
        ASSERT_NE(SDL_LoadWAV(path.c_str(), &format, &raw, &rawLength), nullptr) << path;
        EXPECT_EQ(format.channels, 1) << path;
        for (int rate : {44100, 48000, 22050})
            expectSameAsAtOnce(format, raw, rawLength, rate, path + " at " + std::to_string(rate));
        SDL_FreeWAV(raw);
    }
}

TEST(SdlWave, StereoAndEightBitSoundsToo) {
    // A made-up stereo 16-bit sound and a mono 8-bit one, odd lengths included.
    Uint8 samples[4003];
    for (size_t i = 0; i < sizeof samples; ++i) samples[i] = Uint8(i * 37 + (i >> 5));
    SDL_AudioSpec stereo{};
    stereo.format = AUDIO_S16SYS;
    stereo.channels = 2;
    stereo.freq = 11025;
    expectSameAsAtOnce(stereo, samples, 4000, 44100, "stereo 16-bit");
    SDL_AudioSpec mono8{};
    mono8.format = AUDIO_U8;
    mono8.channels = 1;
    mono8.freq = 8000;
    expectSameAsAtOnce(mono8, samples, 4003, 44100, "mono 8-bit");
    expectSameAsAtOnce(mono8, samples, 4003, 48000, "mono 8-bit at 48 kHz");
    // An empty data chunk, with or without a buffer, is no sound.
    for (const Uint8* raw : {static_cast<const Uint8*>(nullptr), static_cast<const Uint8*>(samples)}) {
        Uint32 length = 1;
        EXPECT_EQ(sdlConvertWave(mono8, raw, 0, 44100, &length), nullptr);
        EXPECT_EQ(length, 0u);
    }
}

}  // namespace
