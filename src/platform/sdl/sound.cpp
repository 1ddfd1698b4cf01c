// The MIDI stream's output and the wave player on SDL audio and FluidSynth.
//
// One SDL audio device (opened on first use) renders everything in its callback: the
// shared stream service (soft/midi_stream.h) walks the queued buffers event by event,
// FluidSynth renders the notes, and the one effect voice is mixed on top. A played
// buffer is handed back through the stream's callback from the audio thread, as the
// Windows service does from its own. Every piece of state the callback touches is
// guarded by the device lock (SDL's lock is recursive, so the stream's callback may
// queue again from inside it). Without an audio device the service still keeps its
// contract but nothing plays: buffers stay queued until stopped, and sounds are silent.
#include <SDL.h>
#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "platform/platform.h"
#include "platform/sdl/sdl_sound.h"
#include "platform/sdl/sound_font.h"
#include "platform/soft/midi_stream.h"

namespace {

const char* const SoundFontPath = "/usr/share/sounds/sf2/default-GM.sf2";

struct Voice {
    Uint8* data;              // signed 16-bit stereo at the device rate
    Uint32 length;
    Uint32 position;
    bool loop;
};

Voice voice;
bool audioTried;
SDL_AudioDeviceID device;
int deviceRate;
bool devicePaused = true;
fluid_settings_t* settings;
fluid_synth_t* synth;
// The synthesizer is at rest when no voice has sounded and no event has reached it for
// RestSeconds (long enough for the reverb and chorus tails to die away below one step of
// the 16-bit output); then the callback writes silence instead of running it.
const int RestSeconds = 2;
bool synthTouched;           // an event reached the synth in this callback
int64_t quietFrames;         // frames rendered since a voice last sounded
uint64_t synthFrames;        // frames the synthesizer rendered, for the tests

void lock() {
    if (device) SDL_LockAudioDevice(device);
}
void unlock() {
    if (device) SDL_UnlockAudioDevice(device);
}

void sendShort(uint32_t word) {
    synthTouched = true;
    int status = int(word & 0xFF), channel = status & 0x0F;
    int first = int((word >> 8) & 0x7F), second = int((word >> 16) & 0x7F);
    switch (status >> 4) {
        case 0x8: fluid_synth_noteoff(synth, channel, first); break;
        case 0x9:
            if (second) fluid_synth_noteon(synth, channel, first, second);
            else fluid_synth_noteoff(synth, channel, first);
            break;
        case 0xA: fluid_synth_key_pressure(synth, channel, first, second); break;
        case 0xB: fluid_synth_cc(synth, channel, first, second); break;
        case 0xC: fluid_synth_program_change(synth, channel, first); break;
        case 0xD: fluid_synth_channel_pressure(synth, channel, first); break;
        case 0xE: fluid_synth_pitch_bend(synth, channel, first | second << 7); break;
        default: break;
    }
}

void sendShortTo(void*, uint32_t word) { sendShort(word); }
void sendSysex(void*, const uint8_t* bytes, uint32_t count) {
    synthTouched = true;
    fluid_synth_sysex(synth, reinterpret_cast<const char*>(bytes), int(count), nullptr, nullptr,
                      nullptr, 0);
}

// Renders frames of the synthesizer into out, or silence when it is at rest.
void renderSynth(int16_t* out, int frames) {
    if (synthTouched || fluid_synth_get_active_voice_count(synth) > 0) {
        synthTouched = false;
        quietFrames = 0;
    } else if (quietFrames >= int64_t(RestSeconds) * deviceRate) {
        std::memset(out, 0, size_t(frames) * 4);
        return;
    }
    fluid_synth_write_s16(synth, frames, out, 0, 2, out, 1, 2);
    quietFrames += frames;
    synthFrames += uint64_t(frames);
}

void renderChunk(void* user, int frames, int offset) {
    renderSynth(static_cast<int16_t*>(user) + offset * 2, frames);
}

void audioCallback(void*, Uint8* out, int bytes) {
    int16_t* samples = reinterpret_cast<int16_t*>(out);
    const int frames = bytes / 4;
    const StreamSink sink = {samples, renderChunk, sendShortTo, sendSysex, nullptr};
    softMidiRender(frames, sink);
    if (voice.data) {
        const int16_t* from = reinterpret_cast<const int16_t*>(voice.data);
        const Uint32 total = voice.length / 2;
        for (int i = 0; i < frames * 2 && voice.data; ++i) {
            int mixed = samples[i] + from[voice.position / 2];
            samples[i] = int16_t(mixed > 32767 ? 32767 : mixed < -32768 ? -32768 : mixed);
            voice.position += 2;
            if (voice.position / 2 >= total) {
                if (voice.loop) voice.position = 0;
                else voice.data = nullptr;   // the owner frees it on its next call
            }
        }
    }
}

void quietLog(int, const char*, void*) {}

// The soundfont is read through the filter of sound_font.h.
void* openFont(const char* path) { return soundFontOpen(path); }
int readFont(void* buffer, fluid_long_long_t count, void* file) {
    return count >= 0 && soundFontRead(static_cast<SoundFontFile*>(file), buffer, uint64_t(count))
               ? FLUID_OK
               : FLUID_FAILED;
}
int seekFont(void* file, fluid_long_long_t offset, int origin) {
    return soundFontSeek(static_cast<SoundFontFile*>(file), offset, origin) ? FLUID_OK
                                                                             : FLUID_FAILED;
}
fluid_long_long_t tellFont(void* file) {
    return soundFontTell(static_cast<const SoundFontFile*>(file));
}
int closeFont(void* file) {
    soundFontClose(static_cast<SoundFontFile*>(file));
    return FLUID_OK;
}

// Gives the heap's free pages back to the system. Loading the soundfont parses it into
// many small blocks (about 2.7 MB) that are all freed when it is done; the heap would
// otherwise keep those pages for the rest of the run.
void returnFreeHeap() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

// Opens the audio device and the synthesizer once. False when there is no device.
bool ensureAudio() {
    if (audioTried) return device != 0;
    audioTried = true;
    for (int level = 0; level < LAST_LOG_LEVEL; ++level) fluid_set_log_function(level, quietLog, nullptr);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want{}, have{};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    // 2048 frames a callback (46 ms at 44.1 kHz): half the wake-ups of 1024, and the
    // synthesizer renders longer runs while its state is still in the cache. What it renders
    // does not depend on the period (events are placed by frame within a call); an effect
    // is mixed in from the next callback, so it may wait up to one period to start.
    want.samples = 2048;
    want.callback = audioCallback;
    SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (id == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    deviceRate = have.freq;
    settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", double(deviceRate));
    fluid_settings_setnum(settings, "synth.gain", 0.5);
    // Voices and the event queue that goes with them are allocated for the polyphony up
    // front (256 by default). The songs sound at most 80 voices at once (rendered alone
    // they come out the same with 80 and differ with 72); 96 leaves room for the tails
    // of one loop ringing into the next.
    fluid_settings_setint(settings, "synth.polyphony", 96);
    synth = new_fluid_synth(settings);
    // A loader added later is tried first: this one reads the font through the filter.
    if (fluid_sfloader_t* loader = synth ? new_fluid_defsfloader(settings) : nullptr) {
        if (fluid_sfloader_set_callbacks(loader, openFont, readFont, seekFont, tellFont,
                                         closeFont) == FLUID_OK)
            fluid_synth_add_sfloader(synth, loader);
        else
            delete_fluid_sfloader(loader);
    }
    if (!synth || fluid_synth_sfload(synth, SoundFontPath, 1) == FLUID_FAILED) {
        // No soundfont: the stream runs on, silently.
    }
    returnFreeHeap();
    if (!synth) {
        SDL_CloseAudioDevice(id);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    device = id;
    return true;
}

void runDevice() {
    if (device && devicePaused) {
        SDL_PauseAudioDevice(device, 0);
        devicePaused = false;
    }
}

// Pauses the device when nothing is left to play. Main thread, lock not held.
void idleDevice() {
    if (!device || devicePaused) return;
    lock();
    bool busy = softMidiStatus().running || voice.data;
    unlock();
    if (!busy) {
        SDL_PauseAudioDevice(device, 1);
        devicePaused = true;
    }
}

// Runs one SDL conversion of bytes at data, which holds bytes * cvt.len_mult; the result's
// size in *bytes. False when SDL cannot.
bool convertInPlace(SDL_AudioCVT& cvt, Uint8* data, Uint32* bytes) {
    cvt.buf = data;
    cvt.len = int(*bytes);
    if (SDL_ConvertAudio(&cvt) < 0) return false;
    *bytes = Uint32(cvt.len_cvt);
    return true;
}

// Loads a wave file's samples as SDL_LoadWAV does, reading the file through the checked
// open (a pipe or a huge file is refused without waiting); false when it cannot.
bool readWave(const char* path, SDL_AudioSpec& format, Uint8*& raw, Uint32& rawLength) {
    FileHandle file = platFileOpen(path, FileReadData);
    if (!file) return false;
    uint32_t size = platFileSize(file), done = 0;
    Uint8* bytes = static_cast<Uint8*>(SDL_malloc(size ? size : 1));
    bool whole = bytes && platFileRead(file, bytes, size, &done) && done == size;
    platFileClose(file);
    bool loaded = whole && SDL_LoadWAV_RW(SDL_RWFromConstMem(bytes, int(size)), 1, &format, &raw, &rawLength);
    SDL_free(bytes);
    return loaded;
}

Uint8* ownedVoiceData;   // what voice.data pointed to when set; freed on replacement

// Ends the sound playing.
void endVoice() {
    lock();
    voice.data = nullptr;
    unlock();
    SDL_free(ownedVoiceData);
    ownedVoiceData = nullptr;
}

}  // namespace

int backendMidiOutput() { return ensureAudio() ? deviceRate : 0; }
void backendMidiLock() { lock(); }
void backendMidiUnlock() { unlock(); }

void backendMidiSilence(bool reset) {
    if (synth && reset) fluid_synth_system_reset(synth);
    else if (synth) fluid_synth_all_notes_off(synth, -1);
    synthTouched = true;
}

// The device runs while the stream does, and rests once nothing is left to play.
void backendMidiCalled(SoftMidiCall call, uint32_t result, const MidiHeader*, uint32_t, uint32_t) {
    if (call == SoftMidiRestart && result == 0) runDevice();
    if (call == SoftMidiStop || call == SoftMidiClose) idleDevice();
}

int platPlaySound(const char* path, uint32_t flags) {
    // Any call ends the sound that was playing.
    endVoice();
    // A sound that cannot be read is silence, without opening the device for it (the
    // last call of a run would otherwise start the device just to find nothing).
    SDL_AudioSpec format;
    Uint8* raw = nullptr;
    Uint32 rawLength = 0;
    if (path && !readWave(path, format, raw, rawLength)) {
        idleDevice();
        return 0;
    }
    if (!path || !ensureAudio()) {
        if (raw) SDL_FreeWAV(raw);
        idleDevice();
        return path ? 0 : 1;
    }
    const bool sync = !(flags & SndAsync);
    // Only what can be heard is converted: a synchronous sound plays SyncSoundLimitMs at
    // most, and no sound keeps more than DataFileLimit bytes at the device's rate (a
    // small file at a low rate would otherwise grow many times over).
    const uint64_t keepMs = sync ? uint64_t(SyncSoundLimitMs) : uint64_t(DataFileLimit / 4) * 1000 / deviceRate;
    const uint64_t keep = (uint64_t(format.freq) * keepMs / 1000 + 1) * (SDL_AUDIO_BITSIZE(format.format) / 8) *
                          format.channels;
    if (rawLength > keep) rawLength = Uint32(keep);
    Uint32 length = 0;
    Uint8* data = sdlConvertWave(format, raw, rawLength, deviceRate, &length);
    SDL_FreeWAV(raw);
    if (!data) {
        // There is no system default sound here: an empty sound is silence.
        idleDevice();
        return 0;
    }
    ownedVoiceData = data;
    lock();
    voice.data = data;
    voice.length = length;
    voice.position = 0;
    voice.loop = (flags & SndLoop) && !sync;
    unlock();
    runDevice();
    if (sync) {
        // Waits for the end, or SyncSoundLimitMs; what is left then is not heard.
        const uint32_t start = SDL_GetTicks();
        for (;;) {
            lock();
            bool playing = voice.data == data;
            unlock();
            if (!playing || SDL_GetTicks() - start >= SyncSoundLimitMs) break;
            SDL_Delay(5);
        }
        endVoice();
        idleDevice();
    }
    return 1;
}

void sdlSoundDisable() {
    // As if no device could be opened: songs and effects are taken and ignored.
    audioTried = true;
}

bool sdlSoundHasDevice() { return device != 0; }

uint64_t sdlSoundSynthFrames() {
    lock();
    uint64_t n = synthFrames;
    unlock();
    return n;
}

Uint8* sdlConvertWave(const SDL_AudioSpec& format, const Uint8* raw, Uint32 rawLength, int rate,
                      Uint32* length) {
    *length = 0;
    // An empty data chunk is no sound (SDL may hand over no buffer at all for it).
    if (!raw || rawLength == 0) return nullptr;
    // SDL converts in one buffer len_mult times the input, through 32-bit floats: a mono
    // sound spread to two channels and then resampled to twice its rate touches three
    // times the result (1.6 MB for the crowd sound). Resampled while still mono, then
    // spread to both channels here and brought to 16 bits, it touches twice the result,
    // with the same samples (the resampler treats each channel alike, and the last step
    // runs on the same data in the same place).
    const bool mono = format.channels == 1;
    SDL_AudioCVT cvt;
    if (SDL_BuildAudioCVT(&cvt, format.format, format.channels, format.freq,
                          mono ? AUDIO_F32SYS : AUDIO_S16SYS, mono ? 1 : 2, rate) < 0)
        return nullptr;
    Uint8* data = static_cast<Uint8*>(SDL_malloc(size_t(rawLength) * size_t(cvt.len_mult) + 4));
    if (!data) return nullptr;
    std::memcpy(data, raw, rawLength);
    Uint32 bytes = rawLength;
    bool done = convertInPlace(cvt, data, &bytes);
    if (done && mono) {
        const Uint32 frames = bytes / sizeof(float);
        Uint8* spread = static_cast<Uint8*>(SDL_realloc(data, size_t(frames) * 8 + 4));
        SDL_AudioCVT to16;
        done = spread && SDL_BuildAudioCVT(&to16, AUDIO_F32SYS, 2, rate, AUDIO_S16SYS, 2, rate) >= 0 &&
               to16.len_mult == 1;
        if (spread) data = spread;
        if (done) {
            float* samples = reinterpret_cast<float*>(data);
            for (Uint32 i = frames; i-- > 0;) samples[2 * i] = samples[2 * i + 1] = samples[i];
            bytes = frames * 8;
            done = convertInPlace(to16, data, &bytes);
        }
    }
    if (!done || bytes < 4) {
        SDL_free(data);
        return nullptr;
    }
    *length = bytes & ~3u;
    // Only the result is kept while the sound plays.
    Uint8* kept = static_cast<Uint8*>(SDL_realloc(data, *length));
    return kept ? kept : data;
}
