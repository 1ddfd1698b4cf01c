// The MIDI stream service and the wave player: the Windows multimedia calls
// themselves, on the MIDI mapper. The program's MidiHeader is laid out as MIDIHDR, so
// headers pass straight through. Sounds are read through the checked open and played
// from memory, always asynchronously: a synchronous one is waited for here, for at most
// SyncSoundLimitMs.
#include "platform/win32/win32.h"

#include <mmsystem.h>

#include <cstddef>
#include <cstring>

#include "platform/platform.h"

static_assert(sizeof(MidiHeader) == sizeof(MIDIHDR), "MidiHeader mirrors MIDIHDR");
static_assert(offsetof(MidiHeader, data) == offsetof(MIDIHDR, lpData), "MIDIHDR.lpData");
static_assert(offsetof(MidiHeader, bufferLength) == offsetof(MIDIHDR, dwBufferLength),
              "MIDIHDR.dwBufferLength");
static_assert(offsetof(MidiHeader, bytesRecorded) == offsetof(MIDIHDR, dwBytesRecorded),
              "MIDIHDR.dwBytesRecorded");
static_assert(offsetof(MidiHeader, user) == offsetof(MIDIHDR, dwUser), "MIDIHDR.dwUser");
static_assert(offsetof(MidiHeader, flags) == offsetof(MIDIHDR, dwFlags), "MIDIHDR.dwFlags");
static_assert(offsetof(MidiHeader, next) == offsetof(MIDIHDR, lpNext), "MIDIHDR.lpNext");
static_assert(offsetof(MidiHeader, offset) == offsetof(MIDIHDR, dwOffset), "MIDIHDR.dwOffset");
static_assert(MhdrDone == MHDR_DONE && MhdrPrepared == MHDR_PREPARED && MhdrInQueue == MHDR_INQUEUE &&
                  MhdrIsStream == MHDR_ISSTRM,
              "MIDIHDR flags");
static_assert(MomOpen == MOM_OPEN && MomClose == MOM_CLOSE && MomDone == MOM_DONE, "MOM messages");
static_assert(MidiPropSet == MIDIPROP_SET && MidiPropGet == MIDIPROP_GET && MidiPropTimeDiv == MIDIPROP_TIMEDIV &&
                  MidiPropTempo == MIDIPROP_TEMPO,
              "MIDIPROP values");
static_assert(sizeof(MIDIPROPTEMPO) == sizeof(MIDIPROPTIMEDIV) &&
                  offsetof(MIDIPROPTEMPO, dwTempo) == offsetof(MIDIPROPTIMEDIV, dwTimeDiv),
              "the two property records alike");
static_assert(SndAsync == SND_ASYNC && SndNoDefault == SND_NODEFAULT && SndLoop == SND_LOOP &&
                  SndSync == SND_SYNC,
              "sndPlaySound flags");

namespace {

// The one stream's callback; the system calls the trampoline with its own convention.
MidiCallback streamCallback;

void CALLBACK trampoline(HMIDIOUT handle, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                         DWORD_PTR param2) {
    if (streamCallback)
        streamCallback(reinterpret_cast<MidiStreamHandle>(handle), message, instance, param1, param2);
}

HMIDISTRM native(MidiStreamHandle stream) { return reinterpret_cast<HMIDISTRM>(stream); }
HMIDIOUT nativeOut(MidiStreamHandle stream) { return reinterpret_cast<HMIDIOUT>(stream); }

// The sound playing: the player reads it from here as it plays, so it is refilled only
// after that sound has been stopped. Pages never touched take no memory.
char soundBytes[DataFileLimit];

// The player needs a moment before a sound is heard (about 60 ms under Wine): a
// synchronous sound is given that much more before it is stopped.
const uint32_t SoundStartMs = 100;

uint32_t little32(const char* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// Reads the sound into soundBytes; its size, 0 when it cannot be read whole.
uint32_t readSound(const char* path) {
    FileHandle file = platFileOpen(path, FileReadData);
    if (!file) return 0;
    uint32_t size = platFileSize(file), done = 0;
    bool whole = platFileRead(file, soundBytes, size, &done) && done == size;
    platFileClose(file);
    return whole ? size : 0;
}

// How long the wave of size bytes in soundBytes plays, in milliseconds, by its header's
// bytes a second and the data it holds; 0 when there is nothing to play.
uint64_t soundMilliseconds(uint32_t size) {
    if (size < 12 || std::memcmp(soundBytes, "RIFF", 4) || std::memcmp(soundBytes + 8, "WAVE", 4)) return 0;
    uint64_t perSecond = 0, dataBytes = 0;
    for (uint64_t at = 12; at + 8 <= size;) {
        const char* chunk = soundBytes + at;
        const uint32_t length = little32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && length >= 14 && at + 20 <= size)
            perSecond = little32(chunk + 16);
        else if (std::memcmp(chunk, "data", 4) == 0)
            dataBytes = length < size - at - 8 ? length : size - at - 8;
        at += 8 + uint64_t(length) + (length & 1);
    }
    return perSecond ? dataBytes * 1000 / perSecond : 0;
}

}  // namespace

uint32_t platMidiStreamOpen(MidiStreamHandle* stream, MidiCallback callback, uintptr_t instance) {
    *stream = nullptr;
    streamCallback = callback;
    UINT device = MIDI_MAPPER;
    HMIDISTRM handle = nullptr;
    MMRESULT result = midiStreamOpen(&handle, &device, 1, reinterpret_cast<DWORD_PTR>(trampoline),
                                     instance, CALLBACK_FUNCTION);
    // Some systems hand back a handle with an error: any error is a failure.
    if (result != MMSYSERR_NOERROR) return result ? result : MMSYSERR_ERROR;
    *stream = reinterpret_cast<MidiStreamHandle>(handle);
    return MMSYSERR_NOERROR;
}

uint32_t platMidiOutPrepareHeader(MidiStreamHandle stream, MidiHeader* header) {
    return midiOutPrepareHeader(nativeOut(stream), reinterpret_cast<MIDIHDR*>(header), sizeof(MIDIHDR));
}

uint32_t platMidiOutUnprepareHeader(MidiStreamHandle stream, MidiHeader* header) {
    return midiOutUnprepareHeader(nativeOut(stream), reinterpret_cast<MIDIHDR*>(header), sizeof(MIDIHDR));
}

uint32_t platMidiStreamProperty(MidiStreamHandle stream, uint32_t property, uint32_t* value) {
    // Both property records are their size and then the value: the system reads the
    // request and picks the record.
    if (!value) return MMSYSERR_INVALPARAM;
    MIDIPROPTEMPO record = {sizeof(MIDIPROPTEMPO), *value};
    MMRESULT result = midiStreamProperty(native(stream), reinterpret_cast<LPBYTE>(&record), property);
    if (result == MMSYSERR_NOERROR && !(property & MIDIPROP_SET)) *value = record.dwTempo;
    return result;
}

uint32_t platMidiStreamOut(MidiStreamHandle stream, MidiHeader* header) {
    return midiStreamOut(native(stream), reinterpret_cast<MIDIHDR*>(header), sizeof(MIDIHDR));
}

uint32_t platMidiStreamRestart(MidiStreamHandle stream) { return midiStreamRestart(native(stream)); }

uint32_t platMidiStreamStop(MidiStreamHandle stream) { return midiStreamStop(native(stream)); }

uint32_t platMidiStreamClose(MidiStreamHandle stream) { return midiStreamClose(native(stream)); }

int platPlaySound(const char* path, uint32_t flags) {
    // Any call ends the sound that was playing, which frees soundBytes.
    sndPlaySoundA(nullptr, 0);
    if (!path) return 1;
    const uint32_t size = readSound(path);
    const uint64_t ms = soundMilliseconds(size);
    const bool sync = !(flags & SndAsync);
    // No system sound stands in for one that cannot be read: every caller asks for none.
    const UINT play = SND_MEMORY | SND_ASYNC | SND_NODEFAULT | (sync ? 0 : flags & SND_LOOP);
    if (ms == 0 || !sndPlaySoundA(soundBytes, play)) return 0;
    if (sync) {
        const uint64_t wait = ms + SoundStartMs;
        Sleep(wait < SyncSoundLimitMs ? DWORD(wait) : DWORD(SyncSoundLimitMs));
        sndPlaySoundA(nullptr, 0);
    }
    return 1;
}
