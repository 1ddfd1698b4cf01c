// The MIDI stream service, with the results and header flags of the Windows multimedia
// service: invalid handles, parameters and states give its error numbers, and the calls
// check in its order (Out looks at the header before the handle).
#include "platform/soft/midi_stream.h"

namespace {

enum : uint32_t {
    ErrNone = 0,
    ErrGeneric = 1,         // MMSYSERR_ERROR
    ErrAllocated = 4,       // MMSYSERR_ALLOCATED
    ErrInvalidHandle = 5,   // MMSYSERR_INVALHANDLE
    ErrInvalidParam = 11,   // MMSYSERR_INVALPARAM
    ErrUnprepared = 64,     // MIDIERR_UNPREPARED
    ErrStillPlaying = 65,   // MIDIERR_STILLPLAYING
};

// A new stream's properties: 120 quarter notes a minute at 24 ticks a quarter.
const uint32_t DefaultTempo = 500000, DefaultDivision = 24;
// A stream buffer may not be larger (the Windows service refuses to prepare one).
const uint32_t StreamBufferLimit = 65536;

}  // namespace

// The one stream; its handle points here.
struct PlatMidiTag {
    StreamSchedule schedule;
    bool open;
    MidiCallback callback;
    uintptr_t instance;
    uint32_t played;
};

namespace {

PlatMidiTag stream;
uint32_t failures[SoftMidiCallCount], failuresAfter[SoftMidiCallCount];

bool failing(SoftMidiCall call) {
    if (failures[call] == 0) return false;
    if (failuresAfter[call] > 0) {
        --failuresAfter[call];
        return false;
    }
    --failures[call];
    return true;
}

// Whether the handle names the open stream (and no failure is planted for the call).
// With the lock held.
uint32_t check(MidiStreamHandle s, SoftMidiCall call) {
    if (s != &stream || !stream.open) return ErrInvalidHandle;
    return failing(call) ? ErrGeneric : ErrNone;
}

// Ends a call that took the lock: lets it go and tells the backend.
uint32_t finish(SoftMidiCall call, uint32_t result, const MidiHeader* header = nullptr, uint32_t property = 0,
                uint32_t value = 0) {
    backendMidiUnlock();
    backendMidiCalled(call, result, header, property, value);
    return result;
}

// A buffer taken off the queue goes back, done, through the callback. With the lock held.
void handBack(MidiHeader* header, bool played) {
    header->flags = (header->flags & ~MhdrInQueue) | MhdrDone;
    stream.played += played;
    if (stream.callback)
        stream.callback(&stream, MomDone, stream.instance, reinterpret_cast<uintptr_t>(header), 0);
}

void playedBack(void*, MidiHeader* header) { handBack(header, true); }

// The buffer's recorded bytes hold whole events and nothing after them.
bool wholeEvents(const MidiHeader& header) {
    for (uint32_t offset = 0, size = 0; offset < header.bytesRecorded; offset += size)
        if ((size = streamEventSize(header.data, offset, header.bytesRecorded)) == 0) return false;
    return true;
}

}  // namespace

uint32_t platMidiStreamOpen(MidiStreamHandle* out, MidiCallback callback, uintptr_t instance) {
    if (out) *out = nullptr;
    const uint32_t result = failing(SoftMidiOpen) ? ErrGeneric
                            : !out                ? ErrInvalidParam
                            : stream.open         ? ErrAllocated
                                                  : ErrNone;
    if (result == ErrNone) {
        const int rate = backendMidiOutput();
        backendMidiLock();
        stream = PlatMidiTag{};
        stream.schedule.tempo = DefaultTempo;
        stream.schedule.division = DefaultDivision;
        stream.schedule.rate = rate;
        stream.open = true;
        stream.callback = callback;
        stream.instance = instance;
        backendMidiUnlock();
        *out = &stream;
        if (callback) callback(&stream, MomOpen, instance, 0, 0);
    }
    backendMidiCalled(SoftMidiOpen, result, nullptr, 0, 0);
    return result;
}

uint32_t platMidiOutPrepareHeader(MidiStreamHandle s, MidiHeader* header) {
    backendMidiLock();
    uint32_t result = header ? check(s, SoftMidiPrepare) : ErrInvalidParam;
    // A prepared header stays as it is; preparing clears the done and queued flags.
    if (result == ErrNone && !(header->flags & MhdrPrepared)) {
        if (!header->data || header->bufferLength > StreamBufferLimit) result = ErrInvalidParam;
        else header->flags = (header->flags & ~(MhdrDone | MhdrInQueue)) | MhdrPrepared;
    }
    return finish(SoftMidiPrepare, result, header);
}

uint32_t platMidiOutUnprepareHeader(MidiStreamHandle s, MidiHeader* header) {
    backendMidiLock();
    uint32_t result = header ? check(s, SoftMidiUnprepare) : ErrInvalidParam;
    // An unprepared header is left alone, whatever its other flags say.
    if (result == ErrNone && (header->flags & MhdrPrepared)) {
        if (header->flags & MhdrInQueue) result = ErrStillPlaying;
        else header->flags &= ~MhdrPrepared;
    }
    return finish(SoftMidiUnprepare, result, header);
}

uint32_t platMidiStreamProperty(MidiStreamHandle s, uint32_t property, uint32_t* value) {
    backendMidiLock();
    uint32_t result = check(s, SoftMidiProperty);
    StreamSchedule& q = stream.schedule;
    // A request names an action (set wins over get) and a property (tempo over division).
    uint32_t* field = property & MidiPropTempo ? &q.tempo : property & MidiPropTimeDiv ? &q.division : nullptr;
    const bool set = property & MidiPropSet;
    if (result == ErrNone && (!value || !field || !(property & (MidiPropSet | MidiPropGet))))
        result = ErrInvalidParam;
    // The time division changes only while the stream is paused or stopped.
    if (result == ErrNone && set && field == &q.division && q.running) result = ErrInvalidParam;
    // Any tempo is taken, 0 too: every tick then takes no time.
    if (result == ErrNone && set) *field = *value;
    else if (result == ErrNone) *value = *field;
    return finish(SoftMidiProperty, result, nullptr, property, value ? *value : 0);
}

uint32_t platMidiStreamOut(MidiStreamHandle s, MidiHeader* header) {
    backendMidiLock();
    uint32_t result = ErrNone;
    if (!header || !header->data || header->bytesRecorded > header->bufferLength || !wholeEvents(*header))
        result = ErrInvalidParam;
    else if (!(header->flags & MhdrPrepared))
        result = ErrUnprepared;
    else if (header->flags & MhdrInQueue)
        result = ErrStillPlaying;
    else
        result = check(s, SoftMidiOut);
    if (result == ErrNone) {
        header->flags = (header->flags & ~MhdrDone) | MhdrInQueue | MhdrIsStream;
        streamQueue(stream.schedule, header);
    }
    return finish(SoftMidiOut, result, header);
}

uint32_t platMidiStreamRestart(MidiStreamHandle s) {
    backendMidiLock();
    const uint32_t result = check(s, SoftMidiRestart);
    if (result == ErrNone) stream.schedule.running = true;
    return finish(SoftMidiRestart, result);
}

uint32_t platMidiStreamStop(MidiStreamHandle s) {
    backendMidiLock();
    const uint32_t result = check(s, SoftMidiStop);
    if (result == ErrNone) {
        StreamSchedule& q = stream.schedule;
        q.running = false;
        // The buffers queued when the stop began come back, done; one that a callback
        // queues during the stop stays queued, as with the Windows service.
        for (uint32_t n = q.queued; n > 0 && q.first; --n) handBack(streamTakeOldest(q), false);
        q.samplesToEvent = 0;
        backendMidiSilence(false);
    }
    return finish(SoftMidiStop, result);
}

uint32_t platMidiStreamClose(MidiStreamHandle s) {
    backendMidiLock();
    uint32_t result = check(s, SoftMidiClose);
    if (result == ErrNone && stream.schedule.queued) result = ErrStillPlaying;
    if (result == ErrNone) {
        stream.open = false;
        stream.schedule.running = false;
        backendMidiSilence(true);
    }
    const MidiCallback callback = stream.callback;
    const uintptr_t instance = stream.instance;
    backendMidiUnlock();
    if (result == ErrNone && callback) callback(s, MomClose, instance, 0, 0);
    backendMidiCalled(SoftMidiClose, result, nullptr, 0, 0);
    return result;
}

SoftMidiStatus softMidiStatus() {
    backendMidiLock();
    const SoftMidiStatus status = {stream.open, stream.schedule.running, stream.schedule.queued, stream.played};
    backendMidiUnlock();
    return status;
}

void softMidiRender(int frames, const StreamSink& sink) {
    StreamSink played = sink;
    played.bufferDone = playedBack;
    streamRender(stream.schedule, frames, played);
}

bool softMidiComplete() {
    backendMidiLock();
    const bool some = stream.open && stream.schedule.running && stream.schedule.first;
    if (some) handBack(streamTakeOldest(stream.schedule), true);
    backendMidiUnlock();
    return some;
}

void softMidiFail(SoftMidiCall call, uint32_t count, uint32_t after) {
    failures[call] = count;
    failuresAfter[call] = after;
}
