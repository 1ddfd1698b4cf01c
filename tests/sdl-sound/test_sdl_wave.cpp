// Sound effects converted for the device: the same samples SDL's one-step conversion
// gives, for the program's effects, at the rates a device may ask for.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/sdl/sdl_sound.h"

namespace {

// sdlConvertWave gives what SDL_ConvertAudio straight to signed 16-bit stereo at rate does.
void expectSameAsAtOnce(const SDL_AudioSpec& format, const Uint8* raw, Uint32 rawLength,
                        int rate, const std::string& what) {
    SDL_AudioCVT cvt;
    ASSERT_GE(SDL_BuildAudioCVT(&cvt, format.format, format.channels, format.freq, AUDIO_S16SYS, 2,
                                rate), 0) << what;
    cvt.len = int(rawLength);
    cvt.buf = static_cast<Uint8*>(SDL_malloc(size_t(rawLength) * size_t(cvt.len_mult) + 4));
    std::memcpy(cvt.buf, raw, rawLength);
    ASSERT_GE(SDL_ConvertAudio(&cvt), 0) << what;
    const Uint32 expectedLength = Uint32(cvt.len_cvt) & ~3u;
    Uint32 length = 0;
    Uint8* converted = sdlConvertWave(format, raw, rawLength, rate, &length);
    ASSERT_NE(converted, nullptr) << what;
    EXPECT_EQ(length, expectedLength) << what;
    EXPECT_EQ(std::memcmp(converted, cvt.buf, expectedLength < length ? expectedLength : length), 0)
        << what;
    SDL_free(cvt.buf);
    SDL_free(converted);
}

// The program's effects at the rates a device may ask for, and made-up stereo 16-bit and
// mono 8-bit sounds of odd lengths.
TEST(SdlWave, SoundsConvertToTheSameSamplesAsInOneStep) {
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
    Uint8 samples[4003];
    for (size_t i = 0; i < sizeof samples; ++i) samples[i] = Uint8(i * 37 + (i >> 5));
    const struct {
        SDL_AudioFormat format;
        Uint8 channels;
        int from, to;
        Uint32 length;
    } cases[] = {{AUDIO_S16SYS, 2, 11025, 44100, 4000}, {AUDIO_U8, 1, 8000, 44100, 4003},
                 {AUDIO_U8, 1, 8000, 48000, 4003}};
    SDL_AudioSpec format{};
    for (const auto& c : cases) {
        format.format = c.format;
        format.channels = c.channels;
        format.freq = c.from;
        expectSameAsAtOnce(format, samples, c.length, c.to, std::to_string(c.from) + " to " +
                                                                std::to_string(c.to));
    }
    // An empty data chunk, with or without a buffer, is no sound.
    for (const Uint8* raw : {static_cast<const Uint8*>(nullptr), static_cast<const Uint8*>(samples)}) {
        Uint32 length = 1;
        EXPECT_EQ(sdlConvertWave(format, raw, 0, 44100, &length), nullptr);
        EXPECT_EQ(length, 0u);
    }
}

}  // namespace
