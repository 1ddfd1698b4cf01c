// The web edition in Debian's Chromium, headless, driven by playwright-core, against a
// static server on 127.0.0.1 (about 11 minutes: one page runs for ten).
//   node tests/web/check_web.mjs BUILD_DIR PELLRUN_SIM [SCREENS_DIR] [--minutes N]
// Checks: the first picture within a second; seed 7's first race on the virtual clock is
// pellrun-sim's; a 1920 x 1080 page fills the screen with the playfield (1350 x 1080,
// black bars) and nothing scales the canvas; a 390 x 844 phone page fits the playfield to its width; sound reaches the
// output within seconds of a click; the settings screen keeps its choices in the
// browser's storage and the saver uses them; a page left running keeps drawing with flat
// memory; no page errors, failed requests or missing glyphs. With SCREENS_DIR the 1080p
// and phone pictures are written there.
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import http from "node:http";
import path from "node:path";
import zlib from "node:zlib";
import { chromium } from "playwright-core";

const args = process.argv.slice(2);
const minutesAt = args.indexOf("--minutes");
const minutes = minutesAt >= 0 ? Number(args.splice(minutesAt, 2)[1]) : 10;
const [buildArg, simulator, screensDir] = args;
if (!buildArg || !simulator) {
  console.error("usage: check_web.mjs BUILD_DIR PELLRUN_SIM [SCREENS_DIR] [--minutes N]");
  process.exit(2);
}
const buildDir = path.resolve(buildArg);
const sourceDir = path.resolve(path.dirname(new URL(import.meta.url).pathname), "../..");

let failures = 0;
function check(ok, what, detail = "") {
  console.log(`${ok ? "ok  " : "FAIL"} ${what}${detail ? ": " + detail : ""}`);
  if (!ok) ++failures;
}

// ---- A static server for the build folder -------------------------------------------

const types = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm",
                ".data": "application/octet-stream", ".sf3": "application/octet-stream",
                ".ico": "image/vnd.microsoft.icon" };
const server = http.createServer((request, response) => {
  const name = decodeURIComponent(new URL(request.url, "http://x").pathname).replace(/^\/+/, "");
  const file = path.join(buildDir, path.normalize(name));
  if (!file.startsWith(buildDir + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
    response.writeHead(404).end();
    return;
  }
  response.writeHead(200, { "Content-Type": types[path.extname(file)] || "application/octet-stream" });
  fs.createReadStream(file).pipe(response);
});
await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
const base = `http://127.0.0.1:${server.address().port}/pellrun.html`;

// ---- The browser; every page reports its errors and failed requests -----------------

const browser = await chromium.launch({ executablePath: "/usr/bin/chromium",
                                        args: ["--enable-precise-memory-info"] });
const problems = [];
async function open(options, url) {
  const context = await browser.newContext(options);
  const page = await context.newPage();
  page.on("pageerror", (e) => problems.push(`page error at ${url}: ${e.message}`));
  page.on("requestfailed", (r) => problems.push(`failed request ${r.url()}: ${r.failure().errorText}`));
  page.on("response", (r) => r.status() >= 400 && problems.push(`HTTP ${r.status()} for ${r.url()}`));
  await page.goto(url);
  await page.waitForFunction(() => window.pellrunFirstPicture !== undefined, null, { timeout: 20000 });
  return page;
}

// PNG (8-bit RGB or RGBA, not interlaced, as Chromium writes screenshots) to RGBA pixels.
function decodePng(png) {
  let at = 8, width = 0, height = 0, channels = 0;
  const idat = [];
  while (at < png.length) {
    const size = png.readUInt32BE(at), type = png.toString("ascii", at + 4, at + 8);
    const body = png.subarray(at + 8, at + 8 + size);
    if (type === "IHDR") {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      channels = body[9] === 6 ? 4 : 3;
    } else if (type === "IDAT") idat.push(body);
    at += 12 + size;
  }
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const stride = width * channels, out = Buffer.alloc(width * height * 4);
  let previous = Buffer.alloc(stride);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const row = Buffer.from(raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1)));
    for (let i = 0; i < stride; ++i) {
      const a = i >= channels ? row[i - channels] : 0, b = previous[i], c = i >= channels ? previous[i - channels] : 0;
      const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
      const predictor = [0, a, b, (a + b) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? b : c][filter];
      row[i] = (row[i] + predictor) & 0xff;
    }
    for (let x = 0; x < width; ++x) {
      row.copy(out, (y * width + x) * 4, x * channels, x * channels + 3);
      out[(y * width + x) * 4 + 3] = 255;
    }
    previous = row;
  }
  return { width, height, pixels: out };
}

// The box of pixels that are not black, in a decoded picture, leaving out the rectangle
// skip.
function pictureBox({ width, height, pixels }, skip) {
  let left = width, right = -1, top = height, bottom = -1;
  for (let y = 0; y < height; ++y)
    for (let x = 0; x < width; ++x) {
      const i = (y * width + x) * 4;
      if (inside(skip, x, y)) continue;
      if (pixels[i] | pixels[i + 1] | pixels[i + 2]) {
        left = Math.min(left, x);
        right = Math.max(right, x);
        top = Math.min(top, y);
        bottom = Math.max(bottom, y);
      }
    }
  return { x: left, y: top, width: right - left + 1, height: bottom - top + 1 };
}

const inside = (r, x, y) => x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;

// The canvas's pixels, as RGBA bytes.
function canvasPixels(page) {
  return page.evaluate(() => {
    const c = document.getElementById("pellrun");
    const bytes = c.getContext("2d").getImageData(0, 0, c.width, c.height).data;
    let text = "";
    for (let i = 0; i < bytes.length; i += 32768) text += String.fromCharCode(...bytes.subarray(i, i + 32768));
    return { width: c.width, height: c.height, data: text };
  }).then((c) => ({ width: c.width, height: c.height, pixels: Buffer.from(c.data, "latin1") }));
}

// The screenshot shows the canvas's pixels one to one (nothing scales or blurs them),
// but for the rectangle skip. The clock draws on the canvas once a second: each try starts
// just after a draw and counts when nothing was drawn before the canvas was read back.
async function shownAsDrawn(page, skip) {
  const draws = () => page.evaluate(() => window.pellrunDraws);
  for (let attempt = 0; attempt < 10; ++attempt) {
    const last = await draws();
    await page.waitForFunction((n) => window.pellrunDraws !== n, last, { polling: 10, timeout: 3000 }).catch(() => {});
    const drawn = await draws();
    const png = await page.screenshot();
    const canvas = await canvasPixels(page);
    if ((await draws()) !== drawn) continue;
    const shot = decodePng(png);
    if (canvas.width !== shot.width || canvas.height !== shot.height) return { png, same: false };
    for (let y = 0; y < shot.height; ++y)
      for (let x = 0; x < shot.width; ++x) {
        const i = (y * shot.width + x) * 4;
        if (!inside(skip, x, y) && canvas.pixels.readUInt32BE(i) !== shot.pixels.readUInt32BE(i))
          return { png, same: false };
      }
    return { png, same: true };
  }
  return { png: await page.screenshot(), same: false };
}

// The playfield's place on the screen, and its pixels as the canvas holds them; the note
// about sound, over the canvas, is left out.
async function screen(page, name, expected) {
  const note = await page.evaluate(() => {
    const r = document.getElementById("note").getBoundingClientRect(), s = devicePixelRatio;
    return { x: Math.floor(r.x * s), y: Math.floor(r.y * s), width: Math.ceil(r.width * s) + 1,
             height: Math.ceil(r.height * s) + 1 };
  });
  const { png, same } = await shownAsDrawn(page, note);
  const box = pictureBox(decodePng(png), note);
  check(JSON.stringify(box) === JSON.stringify(expected), `${name}: the playfield's place on the screen`,
        `${JSON.stringify(box)}, expected ${JSON.stringify(expected)}`);
  check(same, `${name}: the screen shows the canvas's pixels one to one`);
  if (screensDir) fs.writeFileSync(path.join(screensDir, `web-${name}.png`), png);
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// ---- The page left running: sampled once a minute while the other checks run ---------

const long = await open({ viewport: { width: 800, height: 640 } }, base);
const samples = [];
async function sample() {
  samples.push(await long.evaluate(() => ({
    draws: window.pellrunDraws,
    heap: performance.memory.usedJSHeapSize,
    wasm: window.pellrunMemory(),
  })));
}
const longStart = Date.now();
await sample();
const sampler = setInterval(() => sample().catch((e) => problems.push(String(e))), 60000);

// ---- Seed 7's first race on the virtual clock is pellrun-sim's -------------------------

{
  const expected = execFileSync(simulator, ["--seed", "7", "--races", "1", "--json"],
                                { cwd: sourceDir, stdio: ["ignore", "pipe", "ignore"] }).toString().trimEnd();
  const page = await open({ viewport: { width: 800, height: 640 } }, `${base}?seed=7&fast=1`);
  await page.waitForFunction(() => window.pellrunRaces.length > 0, null, { timeout: 120000 });
  const first = await page.evaluate(() => window.pellrunRaces[0]);
  check(first === expected, "seed 7's first race (fast=1) is pellrun-sim --seed 7 --races 1 --json",
        first === expected ? "" : `\n  page: ${first}\n  sim:  ${expected}`);
  check(await page.evaluate(() => window.pellrunGlyphMisses()) === 0, "every glyph drawn is in the glyph table");
  await page.context().close();
}

// ---- Screens --------------------------------------------------------------------------

{
  const page = await open({ viewport: { width: 1920, height: 1080 } }, `${base}?seed=7`);
  const first = await page.evaluate(() => window.pellrunFirstPicture);
  check(first < 1000, "the first picture within a second", `${Math.round(first)} ms after the page was asked for`);
  // The logo and the course take about six seconds, the board's fade one more.
  await sleep(10000);
  await screen(page, "1920x1080", { x: 285, y: 0, width: 1350, height: 1080 });
  await page.context().close();
}
{
  const page = await open({ viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true,
                            hasTouch: true }, `${base}?seed=7`);
  await sleep(10000);
  // 1170 device pixels wide: the playfield 1170 x 936, in the middle of 2532 rows.
  await screen(page, "phone-390x844", { x: 0, y: 798, width: 1170, height: 936 });
  await page.context().close();
}

// ---- Sound within seconds of a click ----------------------------------------------------

{
  const page = await open({ viewport: { width: 800, height: 640 } }, `${base}?seed=7`);
  // The first song starts with the board: the note says that sound waits for a click.
  await page.waitForFunction(() => !document.getElementById("note").hidden, null, { timeout: 20000 });
  await page.mouse.click(400, 320);
  const clicked = Date.now();
  let heard = 0;
  while (!heard && Date.now() - clicked < 8000) {
    await sleep(100);
    const level = await page.evaluate(() => {
      const audio = window.pellrunAudio;
      if (!audio) return 0;
      const samples = new Float32Array(audio.analyser.fftSize);
      audio.analyser.getFloatTimeDomainData(samples);
      return Math.sqrt(samples.reduce((sum, v) => sum + v * v, 0) / samples.length);
    });
    if (level > 0.003) heard = Date.now() - clicked;
  }
  check(heard > 0, "sound reaches the output after a click", heard ? `after ${heard} ms` : "silence for 8 s");
  check(await page.evaluate(() => document.getElementById("note").hidden), "the note goes once the sound runs");
  await page.context().close();
}

// ---- The settings screen, kept in the browser's storage ----------------------------------

{
  const page = await open({ viewport: { width: 896, height: 640 } }, `${base}#settings`);
  // The 448 x 320 picture at twice its size: speed 5 (the rightmost button), music off.
  await page.mouse.click(2 * 125, 2 * 156);
  await page.mouse.click(2 * 400, 2 * 156);
  await page.click(".pellrun-button");
  await page.waitForFunction(() => location.hash === "" && window.pellrunFirstPicture !== undefined);
  const stored = await page.evaluate(() => localStorage.getItem("pellrun.Setup.ini"));
  check(stored === "[2,4,1,1,1,0]", "the settings screen keeps its choices in the browser's storage", stored);
  await page.context().close();
}

// ---- Ten minutes later ----------------------------------------------------------------------

while (Date.now() - longStart < minutes * 60000 + 5000) await sleep(1000);
clearInterval(sampler);
const draws = samples.map((s, i) => (i ? s.draws - samples[i - 1].draws : s.draws));
check(samples.length > minutes && draws.slice(1).every((n) => n > 0),
      `a page left running for ${minutes} minutes keeps drawing`, `draws a minute: ${draws.join(" ")}`);
// The program's memory never grows after start-up; the page's script heap may breathe
// with its collector, by less than 8 MB once the first race is under way.
const megabytes = (key) => samples.map((s) => (s[key] / 1048576).toFixed(1)).join(" ");
const settled = samples.slice(Math.min(2, samples.length - 1)).map((s) => s.heap);
check(samples.every((s) => s.wasm === samples[0].wasm) && settled.length > 0 &&
      Math.max(...settled) - Math.min(...settled) < 8 * 1048576,
      "its memory stays flat", `program ${megabytes("wasm")} MB, script heap ${megabytes("heap")} MB each minute`);

check(problems.length === 0, "no page errors or failed requests", problems.join("; "));
await browser.close();
server.close();
console.log(failures ? `${failures} web check(s) failed` : "All web checks passed.");
process.exit(failures ? 1 : 0);
