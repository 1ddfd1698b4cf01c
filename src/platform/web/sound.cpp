// The MIDI stream's output and the wave player of the web edition.
//
// The page's audio clock drives the shared stream service (soft/midi_stream.h): every
// few tens of milliseconds the page asks for the music up to a little past the clock's
// time, and the stream's events are handed to the synthesizer in the page's
// AudioWorklet, each with the time it is due, as the other editions sound them. A
// played buffer goes back to the player through the stream's callback from there, on the
// page's one thread. Until a click or a key lets the page start its audio nothing is
// rendered, and the queued buffers wait.
//
// Effects are the page's: the browser decodes the wave files and plays one voice, looped
// or once; a synchronous sound cannot hold the page's thread, so it is started and cut
// off after SyncSoundLimitMs, as the other editions cut it.
#include <emscripten.h>

#include <cstring>

#include "platform/soft/midi_stream.h"
#include "platform/soft/soft.h"
#include "platform/web/web.h"

namespace {

// Stream time is counted in these steps a second: the synthesizer is told seconds.
constexpr int StreamRate = 48000;

// The audio time the stream has been rendered up to, and the time of the chunk rendering.
double renderedTo;
double chunkTime;

EM_JS(void, webMidiShort, (double time, uint32_t word), { Module.page.sound.midiShort(time, word); });
EM_JS(void, webMidiSysex, (double time, const uint8_t* bytes, uint32_t count), {
    Module.page.sound.midiSysex(time, HEAPU8.slice(bytes, bytes + count));
});
EM_JS(void, webMidiSilence, (double time, bool reset), { Module.page.sound.silence(time, reset); });
EM_JS(void, webSoundWanted, (), { Module.page.sound.wanted(); });
EM_JS(void, webPlayEffect, (const char* path, bool loop, double limit), {
    Module.page.sound.effect(path ? UTF8ToString(path) : null, loop, limit);
});

void renderChunk(void*, int frames, int) { chunkTime += double(frames) / StreamRate; }
void sendShort(void*, uint32_t word) { webMidiShort(chunkTime, word); }
void sendSysex(void*, const uint8_t* bytes, uint32_t count) { webMidiSysex(chunkTime, bytes, count); }

}  // namespace

// The page asks for the music up to ahead seconds past the audio clock's time. A stream
// that fell behind the clock (the audio has just started, or the page was held up) goes
// on from the clock's time.
extern "C" EMSCRIPTEN_KEEPALIVE void webSoundTick(double currentTime, double ahead) {
    if (renderedTo < currentTime) renderedTo = currentTime;
    const int frames = int((currentTime + ahead - renderedTo) * StreamRate);
    if (frames <= 0) return;
    chunkTime = renderedTo;
    const StreamSink sink = {nullptr, renderChunk, sendShort, sendSysex, nullptr};
    softMidiRender(frames, sink);
    renderedTo = chunkTime;
}

// Nothing renders on the virtual clock.
int backendMidiOutput() {
    if (web.fast) return 0;
    webSoundWanted();
    return StreamRate;
}
void backendMidiLock() {}
void backendMidiUnlock() {}

// The events handed on already are due later; the silence follows them.
void backendMidiSilence(bool reset) { webMidiSilence(renderedTo, reset); }

void backendMidiCalled(SoftMidiCall, uint32_t, const MidiHeader*, uint32_t, uint32_t) {}

int platPlaySound(const char* path, uint32_t flags) {
    // Any call ends the sound that was playing; one that cannot be read is silence.
    FileHandle file = path && !web.fast ? platFileOpen(path, FileReadData) : nullptr;
    if (!file) {
        webPlayEffect(nullptr, false, 0);
        return path ? 0 : 1;
    }
    platFileClose(file);
    char native[1024];
    softNativePath(path, native, sizeof native);
    const bool sync = !(flags & SndAsync);
    // The short sound that ends the others asks for no note about sound.
    if (!sync) webSoundWanted();
    webPlayEffect(native, (flags & SndLoop) && !sync, sync ? SyncSoundLimitMs / 1000.0 : 0);
    return 1;
}
