// libFuzzer target: any bytes as a song file, converted through several buffer rounds, a
// stop and a restart on the headless stream, every queued buffer within its 10000 bytes
// and whole events. The same bytes as a stream buffer drive the Linux stream's schedule:
// every rendered chunk must lie within the output asked for, each call's work in bounds.
#include <cstdlib>
#include <cstring>

#include "platform/headless/headless_sound.h"
#include "sound/music.h"
#include "sound/player.h"

namespace {

// Frames asked for in this call, rendered and work handed on in it; buffers to queue again.
struct Rendered {
    StreamSchedule* schedule;
    int frames, covered, work, refills;
};

void renderChunk(void* user, int frames, int offset) {
    Rendered& r = *static_cast<Rendered*>(user);
    if (frames <= 0 || offset != r.covered || offset + frames > r.frames) __builtin_trap();
    r.covered += frames;
}
void countShort(void* user, uint32_t) { static_cast<Rendered*>(user)->work += 1; }
void countSysex(void* user, const uint8_t*, uint32_t) { static_cast<Rendered*>(user)->work += SysexWork; }
void bufferPlayed(void* user, MidiHeader* done) {
    Rendered& r = *static_cast<Rendered*>(user);
    if (r.refills-- > 0) streamQueue(*r.schedule, done);
}

// The bytes after the first four as one stream buffer; those four give the time
// division, the output rate and the refills. Tried too at the extremes of tempo and
// division, where a delta turns into the most samples.
void driveSchedule(const uint8_t* bytes, size_t size, uint32_t division, uint32_t tempo) {
    static const int rates[4] = {8000, 22050, 44100, 96000};
    static char buffer[EventBufferSize];
    const uint32_t length = uint32_t(size - 4 < sizeof buffer ? size - 4 : sizeof buffer);
    std::memcpy(buffer, bytes + 4, length);
    MidiHeader header = {};
    header.data = buffer, header.bufferLength = sizeof buffer, header.bytesRecorded = length & ~3u;
    StreamSchedule s = {};
    s.running = true, s.tempo = tempo, s.division = division, s.rate = rates[bytes[2] & 3];
    streamQueue(s, &header);
    Rendered r = {&s, 0, 0, 0, bytes[3] & 7};
    const StreamSink sink = {&r, renderChunk, countShort, countSysex, bufferPlayed};
    for (int call = 0; call < 32; ++call) {
        r.frames = 64 << (call & 7);
        r.covered = r.work = 0;
        streamRender(s, r.frames, sink);
        if (r.covered != r.frames || r.work > StreamWorkPerCall) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size > 1 << 20) return 0;
    headlessSoundReset();
    if (!openStream()) __builtin_trap();
    uint8_t* data = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    if (size) std::memcpy(data, bytes, size);
    if (acceptSongData(data, uint32_t(size)))
        for (int rounds : {6, 1}) {  // several buffer rounds, then a stop and a restart; each buffer taken, none empty
            if (rounds == 1) stopMusic(), headlessSoundReset();
            startSong();
            for (int i = 0; i < rounds && softMidiComplete(); ++i) continue;
            for (const HeadlessSoundRecord& r : headlessSoundLog())
                if (r.call == SoundOut && (r.result != 0 || r.value == 0)) __builtin_trap();
        }
    closeMusic();
    if (softMidiStatus().open || player.songData) __builtin_trap();
    if (size < 4) return 0;
    driveSchedule(bytes, size, uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8, 500000);
    driveSchedule(bytes, size, 1, 0xFFFFFF);
    driveSchedule(bytes, size, 0xE201, 500000);  // 30 frames a second, 1 tick a frame
    return 0;
}
