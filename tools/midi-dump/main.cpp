// midi-dump FILE [--buffers N]: loads FILE as the player does and prints the first N
// stream buffers it queues (2 unless told), one line per event:
//   <delta> <event word as 8 hex digits>[ <long event bytes as 2 hex digits each>]
// and after each buffer "buffer <index> <bytes>". A file the player rejects prints
// "rejected" and exits 1.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/headless/headless_sound.h"
#include "sound/music.h"

int main(int argc, char** argv) {
    const char* path = nullptr;
    long buffers = 2;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--buffers") == 0 && i + 1 < argc) {
            char* end = nullptr;
            buffers = std::strtol(argv[++i], &end, 10);
            if (*end || buffers < 0) path = nullptr, argc = 0;
        } else if (!path) {
            path = argv[i];
        } else {
            argc = 0;
        }
    }
    if (!path || argc == 0) {
        std::fprintf(stderr, "usage: midi-dump FILE [--buffers N]\n");
        return 2;
    }
    if (loadSong(path) != 1) {
        std::printf("rejected\n");
        return 1;
    }
    startSong();
    // Each completed buffer is refilled by the player's callback; keep the queue going
    // until enough buffers have been queued (or the song gives none).
    while (headlessSoundCount(SoundOut) < uint32_t(buffers) && softMidiComplete()) {
    }
    const auto& events = headlessMidiEvents();
    size_t next = 0;
    for (const HeadlessSoundRecord& record : headlessSoundLog()) {
        if (record.call != SoundOut || record.result != 0) continue;
        if (record.argument >= uint32_t(buffers)) break;
        for (; next < events.size() && events[next].buffer == record.argument; ++next) {
            const HeadlessMidiEvent& e = events[next];
            std::printf("%u %08X", e.delta, e.word);
            for (uint8_t b : e.bytes) std::printf(" %02X", b);
            std::printf("\n");
        }
        std::printf("buffer %u %u\n", record.argument, record.value);
    }
    closeMusic();
    return 0;
}
