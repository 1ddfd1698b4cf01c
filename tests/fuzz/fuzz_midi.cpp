// libFuzzer target: any bytes as a song file, checked and converted through several
// buffer rounds, a stop and a restart, on the headless stream. Every queued buffer must
// stay within its 10000 bytes and hold whole events.
#include <cstdlib>
#include <cstring>

#include "platform/headless/headless_sound.h"
#include "sound/music.h"
#include "sound/player.h"

// The file layer is not exercised here: the bytes go straight to the song check.
FileHandle platFileOpen(const char*, int) { return nullptr; }
int64_t platFileSeek(FileHandle, int64_t, bool) { return -1; }
int platFileRead(FileHandle, void*, uint32_t, uint32_t* done) { return *done = 0, 0; }
int platFileWrite(FileHandle, const void*, uint32_t, uint32_t* done) { return *done = 0, 0; }
uint32_t platFileSize(FileHandle) { return 0; }
int platFileClose(FileHandle) { return 0; }

namespace {

// The recorder parsed each buffer when it was queued; its events must fill exactly the
// recorded length, which must stay within the buffer.
void checkBuffers() {
    static uint32_t sizes[64];
    std::memset(sizes, 0, sizeof sizes);
    for (const HeadlessMidiEvent& e : headlessMidiEvents())
        if (e.buffer < 64) sizes[e.buffer] += 12 + ((uint32_t(e.bytes.size()) + 3) & ~3u);
    for (const HeadlessSoundRecord& r : headlessSoundLog()) {
        if (r.call != SoundOut || r.result != 0) continue;
        if (r.value > EventBufferSize || r.value % 4 != 0 || r.value == 0) __builtin_trap();
        if (r.argument < 64 && sizes[r.argument] != r.value) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size > 1 << 20) return 0;
    headlessSoundReset();
    if (!openStream()) __builtin_trap();
    uint8_t* data = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    if (size) std::memcpy(data, bytes, size);
    if (acceptSongData(data, uint32_t(size))) {
        startSong();
        for (int i = 0; i < 6 && headlessCompleteBuffer(); ++i) {
        }
        checkBuffers();
        stopMusic();
        headlessSoundReset();
        startSong();
        headlessCompleteBuffer();
        checkBuffers();
    }
    closeMusic();
    if (headlessStreamIsOpen() || player.songData) __builtin_trap();
    return 0;
}
