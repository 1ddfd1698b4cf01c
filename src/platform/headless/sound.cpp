// The headless MIDI stream service and wave player. It keeps the rules of the real
// service that the player relies on (one stream, buffers prepared before they are
// queued, completions in queue order, a stop hands every queued buffer back through the
// callback) and records every call and every queued event.
#include "platform/headless/headless_sound.h"

#include <cstring>

namespace {

enum : uint32_t {
    ErrNone = 0,
    ErrGeneric = 1,
    ErrAllocated = 4,
    ErrInvalidHandle = 5,
    ErrUnprepared = 64,
    ErrStillPlaying = 65,
};

// A long simulated meeting would otherwise grow the logs without bound.
const size_t LogLimit = 1 << 16;
const size_t EventLimit = 1 << 17;
const uint32_t QueueSize = 8;

struct PlatMidiTagData {
    int32_t unused;
};

struct HeadlessStream {
    bool open;
    bool running;
    MidiCallback callback;
    uintptr_t instance;
    uint32_t tempo;
    uint32_t timeDivision;
    MidiHeader* queue[QueueSize];
    uint32_t queued;
    uint32_t outCount;
};

HeadlessStream state;
PlatMidiTagData handleData;
std::vector<HeadlessSoundRecord> soundLog;
std::vector<HeadlessMidiEvent> midiEvents;
uint32_t failures[SoundCallCount];
uint32_t failuresAfter[SoundCallCount];

MidiStreamHandle handleOf() { return reinterpret_cast<MidiStreamHandle>(&handleData); }

bool failing(HeadlessSoundCall call) {
    if (failures[call] == 0) return false;
    if (failuresAfter[call] > 0) {
        --failuresAfter[call];
        return false;
    }
    --failures[call];
    return true;
}

uint32_t record(HeadlessSoundCall call, uint32_t result, uint32_t value = 0,
                uint32_t argument = 0, const MidiHeader* header = nullptr) {
    if (soundLog.size() < LogLimit) {
        HeadlessSoundRecord r;
        r.call = call;
        r.result = result;
        r.value = value;
        r.argument = argument;
        r.header = header;
        r.defaultSound = false;
        soundLog.push_back(r);
    }
    return result;
}

bool validStream(MidiStreamHandle stream) { return state.open && stream == handleOf(); }

void recordEvents(const MidiHeader& header, uint32_t buffer) {
    uint32_t offset = 0;
    const uint32_t size = header.bytesRecorded;
    while (offset + 12 <= size && midiEvents.size() < EventLimit) {
        uint32_t words[3];
        std::memcpy(words, header.data + offset, sizeof words);
        HeadlessMidiEvent event;
        event.buffer = buffer;
        event.delta = words[0];
        event.streamId = words[1];
        event.word = words[2];
        offset += 12;
        if (words[2] & 0x80000000u) {
            uint32_t count = words[2] & 0x00FFFFFFu;
            uint32_t padded = (count + 3) & ~3u;
            if (padded > size - offset) break;
            const uint8_t* bytes = reinterpret_cast<const uint8_t*>(header.data + offset);
            event.bytes.assign(bytes, bytes + count);
            offset += padded;
        }
        midiEvents.push_back(event);
    }
}

// Hands the oldest queued buffer back as done.
void returnOldest() {
    MidiHeader* header = state.queue[0];
    std::memmove(state.queue, state.queue + 1, (state.queued - 1) * sizeof state.queue[0]);
    --state.queued;
    header->flags = (header->flags & ~MhdrInQueue) | MhdrDone;
    if (state.callback)
        state.callback(handleOf(), MomDone, state.instance, reinterpret_cast<uintptr_t>(header), 0);
}

}  // namespace

uint32_t platMidiStreamOpen(MidiStreamHandle* stream, MidiCallback callback, uintptr_t instance) {
    *stream = nullptr;
    if (failing(SoundOpen)) return record(SoundOpen, ErrGeneric);
    if (state.open) return record(SoundOpen, ErrAllocated);
    std::memset(&state, 0, sizeof state);
    state.open = true;
    state.callback = callback;
    state.instance = instance;
    state.tempo = 500000;
    state.timeDivision = 96;
    *stream = handleOf();
    return record(SoundOpen, ErrNone);
}

uint32_t platMidiOutPrepareHeader(MidiStreamHandle stream, MidiHeader* header) {
    if (!validStream(stream)) return record(SoundPrepare, ErrInvalidHandle, 0, 0, header);
    if (failing(SoundPrepare)) return record(SoundPrepare, ErrGeneric, 0, 0, header);
    header->flags |= MhdrPrepared;
    return record(SoundPrepare, ErrNone, 0, 0, header);
}

uint32_t platMidiOutUnprepareHeader(MidiStreamHandle stream, MidiHeader* header) {
    if (!validStream(stream)) return record(SoundUnprepare, ErrInvalidHandle, 0, 0, header);
    if (header->flags & MhdrInQueue) return record(SoundUnprepare, ErrStillPlaying, 0, 0, header);
    header->flags &= ~MhdrPrepared;
    return record(SoundUnprepare, ErrNone, 0, 0, header);
}

uint32_t platMidiStreamProperty(MidiStreamHandle stream, uint32_t property, uint32_t value) {
    if (!validStream(stream)) return record(SoundProperty, ErrInvalidHandle, property, value);
    if (failing(SoundProperty)) return record(SoundProperty, ErrGeneric, property, value);
    if (property == (MidiPropSet | MidiPropTempo)) state.tempo = value;
    else if (property == (MidiPropSet | MidiPropTimeDiv)) state.timeDivision = value;
    else return record(SoundProperty, ErrGeneric, property, value);
    return record(SoundProperty, ErrNone, property, value);
}

uint32_t platMidiStreamOut(MidiStreamHandle stream, MidiHeader* header) {
    uint32_t bytes = header->bytesRecorded;
    if (!validStream(stream)) return record(SoundOut, ErrInvalidHandle, bytes, 0, header);
    if (failing(SoundOut)) return record(SoundOut, ErrGeneric, bytes, 0, header);
    if (!(header->flags & MhdrPrepared)) return record(SoundOut, ErrUnprepared, bytes, 0, header);
    if ((header->flags & MhdrInQueue) || state.queued == QueueSize)
        return record(SoundOut, ErrStillPlaying, bytes, 0, header);
    header->flags = (header->flags & ~MhdrDone) | MhdrInQueue;
    state.queue[state.queued++] = header;
    uint32_t index = state.outCount++;
    recordEvents(*header, index);
    return record(SoundOut, ErrNone, bytes, index, header);
}

uint32_t platMidiStreamRestart(MidiStreamHandle stream) {
    if (!validStream(stream)) return record(SoundRestart, ErrInvalidHandle);
    if (failing(SoundRestart)) return record(SoundRestart, ErrGeneric);
    state.running = true;
    return record(SoundRestart, ErrNone);
}

uint32_t platMidiStreamStop(MidiStreamHandle stream) {
    if (!validStream(stream)) return record(SoundStop, ErrInvalidHandle);
    record(SoundStop, ErrNone);
    state.running = false;
    // Only the buffers queued when the stop began come back; a callback that queues
    // again during the stop leaves its buffer queued, as the real service does.
    for (uint32_t n = state.queued; n > 0 && state.queued > 0; --n) returnOldest();
    return ErrNone;
}

uint32_t platMidiStreamClose(MidiStreamHandle stream) {
    if (!validStream(stream)) return record(SoundClose, ErrInvalidHandle);
    if (state.queued) return record(SoundClose, ErrStillPlaying);
    state.open = false;
    state.running = false;
    return record(SoundClose, ErrNone);
}

int platPlaySound(const char* path, uint32_t flags) {
    bool exists = false;
    if (path) {
        FileHandle file = platFileOpen(path, FileReadData);
        if (file) {
            exists = true;
            platFileClose(file);
        }
    }
    int result = path == nullptr || exists || !(flags & SndNoDefault);
    if (soundLog.size() < LogLimit) {
        HeadlessSoundRecord r;
        r.call = SoundPlay;
        r.result = uint32_t(result);
        r.value = flags;
        r.argument = 0;
        r.header = nullptr;
        if (path) r.path = path;
        r.defaultSound = path && !exists && !(flags & SndNoDefault);
        soundLog.push_back(r);
    }
    return result;
}

const std::vector<HeadlessSoundRecord>& headlessSoundLog() { return soundLog; }
const std::vector<HeadlessMidiEvent>& headlessMidiEvents() { return midiEvents; }

uint32_t headlessSoundCount(HeadlessSoundCall call) {
    uint32_t n = 0;
    for (const HeadlessSoundRecord& r : soundLog) n += r.call == call;
    return n;
}

bool headlessCompleteBuffer() {
    if (!state.open || !state.running || state.queued == 0) return false;
    returnOldest();
    return true;
}

uint32_t headlessQueuedBuffers() { return state.queued; }
bool headlessStreamIsOpen() { return state.open; }
bool headlessStreamRunning() { return state.running; }
uint32_t headlessStreamTempo() { return state.tempo; }
uint32_t headlessStreamTimeDivision() { return state.timeDivision; }

void headlessSoundFail(HeadlessSoundCall call, uint32_t count, uint32_t after) {
    failures[call] = count;
    failuresAfter[call] = after;
}

void headlessSoundReset() {
    soundLog.clear();
    midiEvents.clear();
    std::memset(failures, 0, sizeof failures);
    std::memset(failuresAfter, 0, sizeof failuresAfter);
    state.outCount = 0;
}
