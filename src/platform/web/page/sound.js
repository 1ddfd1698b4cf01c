// The page's sound: a General MIDI synthesizer (spessasynth) in an AudioWorklet plays
// the program's MIDI stream, each event at the audio time the program gives it, and
// one voice plays the effects. Browsers start audio only after a click or a key; until
// then a small note says so, once the program wants to sound something.
import { WorkletSynthesizer } from "spessasynth_lib";

// The music and the effects as loud as the Linux edition plays them against each other.
const MusicGain = 1.12;
const EffectGain = 1.0;
// How far past the audio clock the music is handed to the synthesizer: the timers of a
// hidden page run seldom.
const Ahead = 0.1;
const HiddenAhead = 1.5;
const TickMs = 20;

let module = null;
let context = null;
let synth = null;
let ready = false;
let soundBank = null;          // the fetch of the soundfont, once the program wants sound
let effectGain = null;
let voice = null;              // the effect playing
let effect = null;             // the effect the program last asked for: { path, loop, limit }
const decoded = new Map();     // path: promise of its AudioBuffer (null when it cannot be decoded)
const note = document.getElementById("note");
// Phones and tablets are tapped.
if (matchMedia("(pointer: coarse)").matches) note.textContent = "Tap for sound";

export function soundModule(m) {
  module = m;
}

function fetchSoundBank() {
  if (!soundBank)
    soundBank = fetch("pellrun.sf3").then((r) => (r.ok ? r.arrayBuffer() : Promise.reject(new Error(r.statusText))));
  return soundBank;
}

async function startSynth(output) {
  await context.audioWorklet.addModule("spessasynth_processor.min.js");
  const s = new WorkletSynthesizer(context);
  const gain = new GainNode(context, { gain: MusicGain });
  s.connect(gain);
  gain.connect(output);
  await s.soundBankManager.addSoundBank(await fetchSoundBank(), "main");
  await s.isReady;
  synth = s;
  ready = true;
  setInterval(() => {
    if (context.state === "running")
      module._webSoundTick(context.currentTime, document.hidden ? HiddenAhead : Ahead);
  }, TickMs);
}

// Called in a click's or a key's handler: the audio may start now.
export function startSound() {
  if (context) {
    if (context.state !== "running") context.resume();
    return;
  }
  context = new AudioContext({ latencyHint: "playback" });
  const analyser = new AnalyserNode(context, { fftSize: 2048 });
  analyser.connect(context.destination);
  effectGain = new GainNode(context, { gain: EffectGain });
  effectGain.connect(analyser);
  // For the tests, and for anyone curious: the output goes through this analyser.
  window.pellrunAudio = { context, analyser };
  context.addEventListener("statechange", showNote);
  showNote();
  startSynth(analyser).catch((e) => console.warn("pellrun: no music:", e.message));
  if (effect && effect.loop) playEffect();
}

function showNote() {
  note.hidden = !!context && context.state === "running";
}

function decode(path) {
  if (!decoded.has(path)) {
    let bytes = null;
    try {
      bytes = module.FS.readFile(path);
    } catch (e) {
      // A file that went away is no sound.
    }
    decoded.set(path, bytes ? context.decodeAudioData(bytes.buffer).catch(() => null) : Promise.resolve(null));
  }
  return decoded.get(path);
}

function stopVoice() {
  if (voice) voice.stop();
  voice = null;
}

async function playEffect() {
  const wanted = effect;
  const buffer = await decode(wanted.path);
  // Another sound was asked for meanwhile, or the audio has not started.
  if (effect !== wanted || !buffer || context.state !== "running") return;
  stopVoice();
  voice = new AudioBufferSourceNode(context, { buffer, loop: wanted.loop });
  voice.connect(effectGain);
  voice.start();
  if (wanted.limit > 0) voice.stop(context.currentTime + wanted.limit);
  if (!wanted.loop) voice.onended = () => {
    if (effect === wanted) effect = null;
  };
}

// What the program calls (through Module.page.sound).
export const sound = {
  // The program has something to sound: the soundfont is fetched, and while the audio
  // has not started, the note shows.
  wanted() {
    fetchSoundBank().catch(() => {});
    showNote();
  },
  midiShort(time, word) {
    if (!ready) return;
    const status = word & 0xff, kind = status >> 4;
    const message = kind === 0xc || kind === 0xd ? [status, (word >> 8) & 0x7f]
                                                 : [status, (word >> 8) & 0x7f, (word >> 16) & 0x7f];
    synth.sendMessage(message, 0, { time });
  },
  midiSysex(time, bytes) {
    if (ready) synth.systemExclusive([...bytes, 0xf7], 0, { time });
  },
  // After the events handed on so far: every note ends (released); with reset, every
  // sound stops and the synthesizer forgets its programs and controllers.
  silence(time, reset) {
    if (!ready) return;
    for (let channel = 0; channel < 16; ++channel)
      synth.sendMessage([0xb0 | channel, reset ? 120 : 123, 0], 0, { time });
    if (reset) synth.systemExclusive([0x7e, 0x7f, 0x09, 0x01, 0xf7], 0, { time });
  },
  // One effect at a time: a new one (or none, path null) ends the one playing.
  effect(path, loop, limit) {
    effect = path ? { path, loop, limit } : null;
    stopVoice();
    if (effect && context) playEffect();
  },
};
