// Sound effects converted for the device: the same samples SDL's one-step conversion
// gives, for the program's effects, at the rates a device may ask for.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/sdl/sdl_sound.h"

namespace {

// The program's effects, and made-up stereo 16-bit and mono 8-bit sounds of odd lengths,
// against SDL_ConvertAudio straight to signed 16-bit stereo.
TEST(SdlWave, SoundsConvertToTheSameSamplesAsInOneStep) {
    Uint8 samples[4003];
    for (size_t i = 0; i < sizeof samples; ++i) samples[i] = Uint8(i * 37 + (i >> 5));
    const struct {
        const char* file;
        SDL_AudioFormat format;
        Uint8 channels;
        int from;
        Uint32 length;
    } rows[] = {{"Snd0", 0, 0, 0, 0}, {"Snd1", 0, 0, 0, 0}, {"Snd2", 0, 0, 0, 0}, {"Snd3", 0, 0, 0, 0},
                {nullptr, AUDIO_S16SYS, 2, 11025, 4000}, {nullptr, AUDIO_U8, 1, 8000, 4003}};
    for (const auto& r : rows) {
        SDL_AudioSpec format{};
        format.format = r.format, format.channels = r.channels, format.freq = r.from;
        Uint8* raw = samples;
        Uint32 rawLength = r.length;
        const std::string path = std::string(PELLRUN_SOURCE_DIR) + "/Data/" + (r.file ? r.file : "") + ".dat";
        ASSERT_TRUE(!r.file || SDL_LoadWAV(path.c_str(), &format, &raw, &rawLength) != nullptr) << path;
        for (int rate : {44100, 48000, 22050}) {
            SCOPED_TRACE(path + " from " + std::to_string(format.freq) + " to " + std::to_string(rate));
            SDL_AudioCVT cvt;
            ASSERT_GE(SDL_BuildAudioCVT(&cvt, format.format, format.channels, format.freq, AUDIO_S16SYS, 2, rate), 0);
            cvt.len = int(rawLength);
            cvt.buf = static_cast<Uint8*>(SDL_malloc(size_t(rawLength) * size_t(cvt.len_mult) + 4));
            std::memcpy(cvt.buf, raw, rawLength);
            ASSERT_GE(SDL_ConvertAudio(&cvt), 0);
            const Uint32 expectedLength = Uint32(cvt.len_cvt) & ~3u;
            Uint32 length = 0;
            Uint8* converted = sdlConvertWave(format, raw, rawLength, rate, &length);
            ASSERT_NE(converted, nullptr);
            EXPECT_EQ(length, expectedLength);
            EXPECT_EQ(std::memcmp(converted, cvt.buf, std::min(expectedLength, length)), 0);
            SDL_free(cvt.buf);
            SDL_free(converted);
        }
        if (r.file) SDL_FreeWAV(raw);
    }
    // An empty data chunk, with or without a buffer, is no sound.
    for (const Uint8* raw : {static_cast<const Uint8*>(nullptr), static_cast<const Uint8*>(samples)}) {
        Uint32 length = 1;
        EXPECT_EQ(sdlConvertWave(SDL_AudioSpec{}, raw, 0, 44100, &length), nullptr);
        EXPECT_EQ(length, 0u);
    }
}

}  // namespace
