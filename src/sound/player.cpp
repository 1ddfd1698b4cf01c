// Standard MIDI file player: loads a format-0 file whole, converts its one track into
// stream events on the fly and keeps two buffers circulating until stopped. The song
// repeats without end: at the end of the track the next event is the track's first.
//
// Threads: the main thread loads, starts, stops and closes, and makes the first two
// fills while the stream is still paused. From the restart on, only the completion
// callback fills. stopRequested is raised before the stream is stopped, so the buffers
// the stop hands back are not refilled, and it is cleared only by startSong while the
// stream is paused. The conversion never touches a file and never allocates.
#include "sound/player.h"

#include <cstdlib>
#include <cstring>

#include "core/file.h"
#include "sound/music.h"

MusicPlayer player;

namespace {

uint32_t readBig32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint32_t readBig16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }

// A variable-length quantity: up to four bytes of seven bits each, most significant
// first, ending at the first byte with its top bit clear (or after the fourth).
// False when the quantity runs past end; p is then not to be trusted.
bool readQuantity(const uint8_t*& p, const uint8_t* end, uint32_t& value) {
    value = 0;
    for (int32_t i = 0; i < 4; ++i) {
        if (p >= end) return false;
        uint8_t b = *p++;
        value = value << 7 | (b & 0x7F);
        if (!(b & 0x80)) break;
    }
    return true;
}

uint32_t dataBytesFor(uint32_t status) {
    uint32_t kind = status >> 4;
    return (kind == 0xC || kind == 0xD) ? 1 : 2;
}

// Data bytes of a system common or real-time message (no length of its own): the
// message is 2 bytes long for 0xF1 and 0xF3, 3 for 0xF2, 1 (the status alone) for the
// rest. A Standard MIDI file track holds none of these; they are stepped over.
uint32_t systemBytesFor(uint32_t status) {
    if (status == 0xF1 || status == 0xF3) return 1;
    if (status == 0xF2) return 2;
    return 0;
}

void writeEvent(char* out, uint32_t offset, uint32_t delta, uint32_t word) {
    uint32_t event[3] = {delta, 0, word};
    std::memcpy(out + offset, event, sizeof event);
}

void releaseBuffers() {
    for (int32_t i = 0; i < 2; ++i) {
        std::free(player.eventBuffers[i]);
        player.eventBuffers[i] = nullptr;
    }
}

}  // namespace

int32_t openStream() {
    if (player.deviceOpen) return 1;
    MidiStreamHandle stream = nullptr;
    if (platMidiStreamOpen(&stream, streamCallback, 0) != 0) return 0;
    player.stream = stream;
    player.songLoaded = false;
    player.playing = false;
    for (int32_t i = 0; i < 2; ++i)
        player.eventBuffers[i] = static_cast<char*>(std::malloc(EventBufferSize));
    int32_t prepared = 0;
    bool ok = player.eventBuffers[0] && player.eventBuffers[1];
    for (; ok && prepared < 2; ++prepared) {
        MidiHeader& header = player.headers[prepared];
        std::memset(&header, 0, sizeof header);
        header.data = player.eventBuffers[prepared];
        header.bufferLength = EventBufferSize;
        header.flags = 0;
        if (platMidiOutPrepareHeader(stream, &header) != 0) ok = false;
    }
    if (!ok) {
        // The header whose preparation failed is not counted as prepared.
        for (int32_t i = 0; i < prepared - 1; ++i)
            platMidiOutUnprepareHeader(stream, &player.headers[i]);
        platMidiStreamClose(stream);
        player.stream = nullptr;
        releaseBuffers();
        return 0;
    }
    player.deviceOpen = true;
    return 1;
}

int32_t acceptSongData(uint8_t* data, uint32_t size) {
    // Positions are computed in 64 bits: a header or track length near 2^32 must fail
    // the size checks, not wrap round into the file.
    bool ok = size >= 22 && std::memcmp(data, "MThd", 4) == 0 && readBig16(data + 8) == 0;
    uint64_t headerLength = ok ? readBig32(data + 4) : 0;
    ok = ok && 16 + headerLength <= size && std::memcmp(data + 8 + headerLength, "MTrk", 4) == 0;
    uint64_t trackLength = ok ? readBig32(data + 12 + headerLength) : 0;
    ok = ok && 16 + headerLength + trackLength <= size;
    if (!ok) {
        std::free(data);
        return 0;
    }
    player.songData = data;
    player.songSize = size;
    player.timeDivision = int32_t(readBig16(data + 12));
    player.trackStart = data + 16 + headerLength;
    player.trackEnd = player.trackStart + trackLength;
    player.songLoaded = true;
    return 1;
}

int32_t loadSong(const char* path) {
    if (player.deviceOpen) closeMusic();
    if (!openStream()) return 0;
    FileRecord file;
    std::memset(&file, 0, sizeof file);
    std::strncpy(file.path, path, sizeof file.path - 1);
    // Only a regular file of a size that a song can have is opened: a pipe or a device
    // would keep the caller waiting, and a huge file would be read whole.
    if (!fileOpen(file, 2)) return 0;
    uint32_t size = fileSize(file);
    if (size < 22) {
        fileClose(file);
        return 0;
    }
    uint8_t* data = static_cast<uint8_t*>(std::malloc(size));
    if (!data) {
        fileClose(file);
        return 0;
    }
    int32_t got = fileRead(file, data, 0, size);
    fileClose(file);
    if (got < 0 || uint32_t(got) < size) {
        std::free(data);
        return 0;
    }
    return acceptSongData(data, size);
}

int32_t startSong() {
    if (player.playing) return 1;
    if (!player.songLoaded || !openStream()) return 0;
    const uint8_t* p = player.trackStart;
    uint32_t delta = 0;
    if (!readQuantity(p, player.trackEnd, delta)) {
        p = player.trackEnd;
        delta = 0;
    }
    player.cursor = p;
    player.runningStatus = StartRunningStatus;
    player.pendingDelta = delta;
    player.loopPoint = p;
    player.currentBuffer = 0;
    player.stopRequested.store(0);
    player.tempo = StartTempo;
    uint32_t division = uint32_t(player.timeDivision), tempo = player.tempo;
    platMidiStreamProperty(player.stream, MidiPropSet | MidiPropTimeDiv, &division);
    platMidiStreamProperty(player.stream, MidiPropSet | MidiPropTempo, &tempo);
    fillBuffer();
    fillBuffer();
    player.stopRequested.store(0);
    if (platMidiStreamRestart(player.stream) != 0) return 0;
    player.playing = true;
    return 1;
}

uint32_t fillBuffer() {
    const int32_t index = player.currentBuffer;
    char* out = player.eventBuffers[index];
    const uint8_t* const end = player.trackEnd;
    uint32_t offset = 0;
    // The fill at the last jump back to the loop point. A whole pass through the track
    // that adds nothing can never add anything: the buffer is then queued as it is.
    int64_t offsetAtLastLoop = -1;
    for (;;) {
        const uint8_t* p = player.cursor;
        if (p >= end) {
            // The end of the track (by its end-of-track event or by its length): go on
            // with the first event; the ticks gathered so far carry over to it.
            if (int64_t(offset) == offsetAtLastLoop) break;
            offsetAtLastLoop = offset;
            player.cursor = player.loopPoint;
            continue;
        }
        uint32_t status = *p;
        if (status >= 0x80) {
            ++p;
            if (status < 0xF0) player.runningStatus = int32_t(status);
        } else {
            status = uint32_t(player.runningStatus);
        }

        if (status < 0xF0) {
            uint32_t count = dataBytesFor(status);
            if (offset >= ShortEventLimit) break;
            if (uint32_t(end - p) < count) {
                player.cursor = end;   // cut short: the track ends here
                continue;
            }
            uint32_t word = status | uint32_t(p[0]) << 8;
            if (count == 2) word |= uint32_t(p[1]) << 16;
            writeEvent(out, offset, player.pendingDelta, word);
            player.pendingDelta = 0;
            offset += 12;
            p += count;
        } else if (status == 0xF0 || status == 0xF7) {
            uint32_t length = 0;
            if (!readQuantity(p, end, length) || length > uint32_t(end - p)) {
                player.cursor = end;
                continue;
            }
            // A system exclusive message goes out with its 0xF0; an escape goes out
            // as its bytes alone.
            uint32_t count = length + (status == 0xF0 ? 1 : 0);
            uint32_t padded = (count + 3) & ~3u;
            if (count == 0 || padded >= ShortEventLimit) {
                // Nothing to send, or more than any buffer can ever take: skipped,
                // keeping its time for the next event.
            } else if (offset + padded >= ShortEventLimit) {
                break;   // the cursor stays on the status byte
            } else {
                writeEvent(out, offset, player.pendingDelta, 0x80000000u | count);
                char* bytes = out + offset + 12;
                uint32_t at = 0;
                if (status == 0xF0) bytes[at++] = char(0xF0);
                std::memcpy(bytes + at, p, length);
                std::memset(bytes + count, 0, padded - count);
                player.pendingDelta = 0;
                offset += 12 + padded;
            }
            p += length;
        } else if (status == 0xFF) {
            uint32_t length = 0;
            if (p >= end) {
                player.cursor = end;
                continue;
            }
            uint32_t type = *p++;
            if (!readQuantity(p, end, length) || length > uint32_t(end - p)) {
                player.cursor = end;
                continue;
            }
            if (type == 0x2F) {
                if (int64_t(offset) == offsetAtLastLoop) break;
                offsetAtLastLoop = offset;
                player.cursor = player.loopPoint;
                continue;
            }
            if (type == 0x51 && length >= 3) {
                player.tempo = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
                if (offset >= ShortEventLimit) break;
                writeEvent(out, offset, player.pendingDelta, 0x01000000u | player.tempo);
                player.pendingDelta = 0;
                offset += 12;
            }
            p += length;
        } else {
            uint32_t count = systemBytesFor(status);
            if (uint32_t(end - p) < count) {
                player.cursor = end;
                continue;
            }
            p += count;
        }

        uint32_t delta = 0;
        if (!readQuantity(p, end, delta)) {
            player.cursor = end;
            continue;
        }
        player.pendingDelta += delta;
        player.cursor = p;
    }

    MidiHeader& header = player.headers[index];
    header.flags = MhdrPrepared;
    header.bytesRecorded = offset;
    // A track with nothing to play gives an empty buffer: queueing it would only come
    // straight back to be refilled with nothing, so the stream is left to run dry.
    if (offset == 0) return 1;
    uint32_t result = platMidiStreamOut(player.stream, &header);
    if (result == 0) player.currentBuffer = 1 - index;
    return result;
}

void streamCallback(MidiStreamHandle, uint32_t message, uintptr_t, uintptr_t, uintptr_t) {
    if (message == MomDone && player.stopRequested.load() == 0) fillBuffer();
}

void stopMusic() {
    if (!player.deviceOpen || !player.playing) return;
    player.stopRequested.store(1);
    platMidiStreamStop(player.stream);
    player.playing = false;
}

void unloadSong() {
    if (!player.songLoaded) return;
    // Buffers may be queued without playing having been set (a failed restart): the
    // completions this stop produces must not refill them either.
    player.stopRequested.store(1);
    platMidiStreamStop(player.stream);
    std::free(player.songData);
    player.songData = nullptr;
    player.songSize = 0;
    player.trackStart = player.trackEnd = player.loopPoint = player.cursor = nullptr;
    player.songLoaded = false;
}

void closeMusic() {
    stopMusic();
    unloadSong();
    if (!player.deviceOpen) return;
    for (int32_t i = 0; i < 2; ++i) platMidiOutUnprepareHeader(player.stream, &player.headers[i]);
    platMidiStreamClose(player.stream);
    player.stream = nullptr;
    releaseBuffers();
    player.deviceOpen = false;
}
