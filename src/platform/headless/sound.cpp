// The headless MIDI stream's output and wave player. The shared stream service keeps
// the rules; this backend records every call and every queued event, and plays a buffer
// only when a test or tool hands it back (softMidiComplete).
#include "platform/headless/headless_sound.h"

#include <cstring>

namespace {

// A long simulated meeting would otherwise grow the logs without bound.
const size_t LogLimit = 1 << 16;
const size_t EventLimit = 1 << 17;

std::vector<HeadlessSoundRecord> soundLog;
std::vector<HeadlessMidiEvent> midiEvents;
uint32_t outCount;

// The new record, or nullptr when the log is full.
HeadlessSoundRecord* record(HeadlessSoundCall call, uint32_t result, uint32_t value, uint32_t argument,
                            const MidiHeader* header) {
    if (soundLog.size() >= LogLimit) return nullptr;
    soundLog.push_back({call, result, value, argument, header, std::string(), false});
    return &soundLog.back();
}

void recordEvents(const MidiHeader& header, uint32_t buffer) {
    uint32_t length = 0;
    for (uint32_t offset = 0; midiEvents.size() < EventLimit; offset += length) {
        length = streamEventSize(header.data, offset, header.bytesRecorded);
        if (length == 0) break;
        uint32_t words[3];
        std::memcpy(words, header.data + offset, sizeof words);
        HeadlessMidiEvent event;
        event.buffer = buffer;
        event.delta = words[0];
        event.streamId = words[1];
        event.word = words[2];
        if (words[2] & 0x80000000u) {
            const uint8_t* bytes = reinterpret_cast<const uint8_t*>(header.data + offset + 12);
            event.bytes.assign(bytes, bytes + (words[2] & 0x00FFFFFFu));
        }
        midiEvents.push_back(event);
    }
}

}  // namespace

// Nothing renders here, and the calls all come from one thread.
int backendMidiOutput() { return 0; }
void backendMidiLock() {}
void backendMidiUnlock() {}
void backendMidiSilence(bool) {}

void backendMidiCalled(SoftMidiCall call, uint32_t result, const MidiHeader* header, uint32_t property,
                       uint32_t value) {
    const HeadlessSoundCall kind = HeadlessSoundCall(call);
    if (call == SoftMidiProperty) {
        record(kind, result, property, value, nullptr);
    } else if (call == SoftMidiOut) {
        const uint32_t index = result == 0 ? outCount++ : 0;
        if (result == 0) recordEvents(*header, index);
        record(kind, result, header ? header->bytesRecorded : 0, index, header);
    } else {
        record(kind, result, 0, 0, header);
    }
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
    if (HeadlessSoundRecord* r = record(SoundPlay, uint32_t(result), flags, 0, nullptr)) {
        if (path) r->path = path;
        r->defaultSound = path && !exists && !(flags & SndNoDefault);
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

void headlessSoundReset() {
    soundLog.clear();
    midiEvents.clear();
    for (int call = 0; call < SoftMidiCallCount; ++call) softMidiFail(SoftMidiCall(call), 0, 0);
    outCount = 0;
}
