// The MIDI stream service and the wave player: the Windows multimedia calls
// themselves, on the MIDI mapper. The program's MidiHeader is laid out as MIDIHDR, so
// headers pass straight through.
#include "platform/win32/win32.h"

#include <mmsystem.h>

#include <cstddef>

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
static_assert(MhdrDone == MHDR_DONE && MhdrPrepared == MHDR_PREPARED && MhdrInQueue == MHDR_INQUEUE,
              "MIDIHDR flags");
static_assert(MomDone == MOM_DONE, "MOM_DONE");
static_assert(MidiPropSet == MIDIPROP_SET && MidiPropTimeDiv == MIDIPROP_TIMEDIV &&
                  MidiPropTempo == MIDIPROP_TEMPO,
              "MIDIPROP values");
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

uint32_t platMidiStreamProperty(MidiStreamHandle stream, uint32_t property, uint32_t value) {
    // Both property records are 8 bytes: their size, then the value.
    if ((property & ~MIDIPROP_SET) == MIDIPROP_TIMEDIV) {
        MIDIPROPTIMEDIV record = {sizeof(MIDIPROPTIMEDIV), value};
        return midiStreamProperty(native(stream), reinterpret_cast<LPBYTE>(&record), property);
    }
    if ((property & ~MIDIPROP_SET) == MIDIPROP_TEMPO) {
        MIDIPROPTEMPO record = {sizeof(MIDIPROPTEMPO), value};
        return midiStreamProperty(native(stream), reinterpret_cast<LPBYTE>(&record), property);
    }
    return MMSYSERR_INVALPARAM;
}

uint32_t platMidiStreamOut(MidiStreamHandle stream, MidiHeader* header) {
    return midiStreamOut(native(stream), reinterpret_cast<MIDIHDR*>(header), sizeof(MIDIHDR));
}

uint32_t platMidiStreamRestart(MidiStreamHandle stream) { return midiStreamRestart(native(stream)); }

uint32_t platMidiStreamStop(MidiStreamHandle stream) { return midiStreamStop(native(stream)); }

uint32_t platMidiStreamClose(MidiStreamHandle stream) { return midiStreamClose(native(stream)); }

int platPlaySound(const char* path, uint32_t flags) { return sndPlaySoundA(path, flags) ? 1 : 0; }
