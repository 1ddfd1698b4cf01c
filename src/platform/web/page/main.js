// The page of the web edition: starts the program (pellrun.js, pellrun.wasm) with the
// URL's settings, gives it the canvas at the screen's own pixels, keeps the settings in
// the browser's storage, and plays its sound.
import { sound, soundModule, startSound } from "./sound.js";

const canvas = document.getElementById("pellrun");
const context = canvas.getContext("2d", { alpha: false });
const settingsMode = location.hash === "#settings";
const storageKey = "pellrun.Setup.ini";

// The URL's settings as the Linux edition's options: seed, speed 1-5, interval 1-3
// (minutes), music 0/1, smooth 0/1, fast=1 for the virtual clock.
function programArguments() {
  const query = new URLSearchParams(location.search);
  const args = settingsMode ? ["/c"] : [];
  for (const name of ["seed", "speed", "interval"]) if (query.has(name)) args.push("--" + name, query.get(name));
  for (const name of ["music", "smooth"])
    if (query.has(name)) args.push(query.get(name) === "0" ? "--no-" + name : "--" + name);
  if (query.get("fast") === "1") args.push("--fast");
  return args;
}

// The settings file lives in the page's file system while the program runs, and in the
// browser's storage between runs.
function loadSettings(module) {
  module.FS.mkdir("/settings");
  const stored = localStorage.getItem(storageKey);
  if (!stored) return;
  try {
    module.FS.writeFile("/settings/Setup.ini", Uint8Array.from(JSON.parse(stored)));
  } catch (e) {
    localStorage.removeItem(storageKey);
  }
}

function saveSettings(module) {
  try {
    const bytes = module.FS.readFile("/settings/Setup.ini");
    localStorage.setItem(storageKey, JSON.stringify(Array.from(bytes)));
  } catch (e) {
    // Nothing was saved: the stored settings stay as they were.
  }
}

let module = null;
const buttons = [];
// For tests and for anyone curious: each finished race's line as pellrun-sim --json
// prints it, when the first picture was drawn (performance.now()), how many times the
// canvas was drawn on, how many glyphs the text lacked, the program's memory.
window.pellrunRaces = [];
window.pellrunDraws = 0;
window.pellrunGlyphMisses = () => (module ? module._webGlyphMisses() : 0);
window.pellrunMemory = () => (module ? module.HEAPU8.length : 0);   // the program's memory in bytes

const page = {
  // The program's picture: the rectangle (x, y, w, h) of image, drawn with its top-left
  // at (left, top).
  putImage(image, left, top, x, y, w, h) {
    context.putImageData(image, left, top, x, y, w, h);
    if (window.pellrunFirstPicture === undefined) window.pellrunFirstPicture = performance.now();
    ++window.pellrunDraws;
  },
  clear() {
    context.fillStyle = "#000";
    context.fillRect(0, 0, canvas.width, canvas.height);
  },
  placeButton(index, caption, left, top, width, height) {
    let button = buttons[index];
    if (!button) {
      button = buttons[index] = document.createElement("button");
      button.className = "pellrun-button";
      button.addEventListener("click", () => module && module._webButtonClicked(index));
      document.body.appendChild(button);
    }
    button.textContent = caption;
    Object.assign(button.style, { left: left + "px", top: top + "px", width: width + "px", height: height + "px",
                                  fontSize: Math.max(8, height * 0.4) + "px" });
  },
  removeButton(index) {
    if (buttons[index]) buttons[index].remove();
    buttons[index] = null;
  },
  // A click or a key on the saver's page: full screen and sound.
  gesture() {
    if (!settingsMode && !document.fullscreenElement && document.documentElement.requestFullscreen)
      document.documentElement.requestFullscreen({ navigationUI: "hide" }).catch(() => {});
    startSound();
  },
  raceLine(text) {
    window.pellrunRaces.push(text);
  },
  ended(settings) {
    if (!settings) return;
    saveSettings(module);
    // The chosen settings take effect at once: the saver's page.
    location.replace(location.pathname + location.search);
  },
  // Runs fn once the browser has had its turn (drawing, input), without a timer's delay.
  yieldThen(fn) {
    yieldChannel.port2.postMessage(0);
    yieldNext = fn;
  },
  sound,
};
const yieldChannel = new MessageChannel();
let yieldNext = null;
yieldChannel.port1.onmessage = () => {
  const fn = yieldNext;
  yieldNext = null;
  if (fn) fn();
};

// The canvas takes the size, in device pixels, of the part of the screen it covers.
function observeSize() {
  const resize = (width, height) => {
    if (width === canvas.width && height === canvas.height && module.sized) return;
    canvas.width = width;
    canvas.height = height;
    module.sized = true;
    module._webResize(width, height);
  };
  // The device-pixel box is exact where the browser knows it; where it disagrees with the
  // CSS size times the pixel ratio (an emulated screen), the product is used.
  const observer = new ResizeObserver((entries) => {
    const entry = entries[entries.length - 1];
    const box = entry.devicePixelContentBoxSize && entry.devicePixelContentBoxSize[0];
    let width = Math.round(entry.contentRect.width * devicePixelRatio);
    let height = Math.round(entry.contentRect.height * devicePixelRatio);
    if (box && Math.abs(box.inlineSize - width) <= 1 && Math.abs(box.blockSize - height) <= 1) {
      width = box.inlineSize;
      height = box.blockSize;
    }
    resize(width, height);
  });
  try {
    observer.observe(canvas, { box: "device-pixel-content-box" });
  } catch (e) {
    observer.observe(canvas);
  }
}

// The settings screen and the saver are two runs of the program: a change of the
// address's #settings starts the other.
window.addEventListener("hashchange", () => location.reload());

createPellrun({
  arguments: programArguments(),
  canvas,
  page,
  preRun: [(m) => loadSettings(m)],
  onRuntimeInitialized() {
    module = this;
    soundModule(module);
    observeSize();
  },
  print: (text) => console.log(text),
  printErr: (text) => console.warn(text),
});
