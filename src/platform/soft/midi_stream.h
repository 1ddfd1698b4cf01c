// The MIDI stream service of the software backends (sdl, headless, web): the platMidi*
// calls with the rules of the Windows service, written once. One stream at a time; its
// buffers are prepared, queued, played in order and handed back through the completion
// callback, a stop hands back every queued buffer, a close waits for an empty queue.
//
// The playing is the backend's: it drives softMidiRender from its audio thread (sdl,
// with FluidSynth behind the sink) or from its timer, or hands buffers back at once
// with softMidiComplete (headless). What else differs per backend is the hooks at the
// end of this header.
#pragma once
#include <cstdint>

#include "platform/platform.h"
#include "platform/soft/stream_schedule.h"

enum SoftMidiCall : int32_t {
    SoftMidiOpen,
    SoftMidiPrepare,
    SoftMidiUnprepare,
    SoftMidiProperty,
    SoftMidiOut,
    SoftMidiRestart,
    SoftMidiStop,
    SoftMidiClose,
    SoftMidiCallCount
};

struct SoftMidiStatus {
    bool open;
    bool running;       // restarted and not stopped since
    uint32_t queued;
    uint32_t played;    // buffers handed back as played since the stream opened (not by a stop)
};
SoftMidiStatus softMidiStatus();

// Renders frames of the stream through the sink (its bufferDone is the service's own:
// a played buffer goes back through the callback, which may queue again). Called with
// the backend's lock held.
void softMidiRender(int frames, const StreamSink& sink);
// Hands the oldest queued buffer back as played, as if its events had sounded; false
// when the stream is not running or holds none.
bool softMidiComplete();
// For tests: after `after` more calls of one kind that get past the handle check, the
// next `count` fail with MMSYSERR_ERROR (an open fails before anything is checked).
void softMidiFail(SoftMidiCall call, uint32_t count, uint32_t after);

// ---- Hooks each backend with the service defines ---------------------------------------
// Makes the output ready for a stream being opened (the sdl backend opens its audio
// device); its sample rate, 0 when nothing renders.
int backendMidiOutput();
// Taken around the state the render side shares with the calls (the audio device's lock);
// the thread that holds it may take it again (a callback queues from within a render).
void backendMidiLock();
void backendMidiUnlock();
// With the lock held, at a stop: every sounding note ends; with reset (a close), the
// synthesizer also forgets its programs and controllers.
void backendMidiSilence(bool reset);
// After every call, with its result, without the lock: the device may start or rest, the
// headless backend records. property and value are a property call's.
void backendMidiCalled(SoftMidiCall call, uint32_t result, const MidiHeader* header, uint32_t property,
                       uint32_t value);
