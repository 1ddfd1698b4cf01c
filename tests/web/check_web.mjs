// The web edition in Debian's Chromium, headless, driven by playwright-core, against a
// static server on 127.0.0.1 (about 11 minutes: one page runs for ten).
//   node tests/web/check_web.mjs BUILD_DIR PELLRUN_SIM [SCREENS_DIR] [--minutes N]
// Each check names what it sees. With SCREENS_DIR the 1080p and phone pictures are
// written there.
import { execFileSync, spawnSync } from "node:child_process";
import fs from "node:fs";
import http from "node:http";
import path from "node:path";
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
  // Nothing outside the build folder; a folder or a missing file fails to read.
  fs.readFile(file.startsWith(buildDir + path.sep) ? file : "", (error, data) => error ? response.writeHead(404).end()
    : response.writeHead(200, { "Content-Type": types[path.extname(file)] || "application/octet-stream" }).end(data));
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

// The PNG with the rectangle skip painted black, then ImageMagick's output for the arguments.
const blackened = (png, { x, y, width, height }, ...output) =>
  execFileSync("convert", ["png:-", "-alpha", "off", "-fill", "black", "-draw",
                           `rectangle ${x},${y} ${x + width - 1},${y + height - 1}`, ...output], { input: png });
// The box of the pixels that are not black ("WxH+X+Y"), the rectangle skip left out.
const pictureBox = (png, skip) => blackened(png, skip, "-format", "%@", "info:").toString();
// The two PNGs have the same size and pixels but for the rectangle skip.
function samePixels(a, b, skip) {
  const size = (png) => `${png.readUInt32BE(16)}x${png.readUInt32BE(20)}`;  // from the IHDR chunk
  if (size(a) !== size(b)) return false;
  const dir = fs.mkdtempSync("/tmp/pellrun-web-");
  const [fileA, fileB] = [a, b].map((png, i) => path.join(dir, `${i}.png`));
  fs.writeFileSync(fileA, blackened(a, skip, "png:-"));
  fs.writeFileSync(fileB, blackened(b, skip, "png:-"));
  const same = spawnSync("compare", ["-metric", "AE", fileA, fileB, "null:"]).status === 0;
  fs.rmSync(dir, { recursive: true });
  return same;
}

// The screenshot shows the canvas's pixels one to one (nothing scales or blurs them),
// but for the rectangle skip. The page's drawing on the canvas is held meanwhile (the
// clock would change it between the screenshot and the read-back on a busy machine).
async function shownAsDrawn(page, skip) {
  const hold = (on) => page.evaluate((on) => {
    const c = document.getElementById("pellrun").getContext("2d");
    if (on) [c.heldPut, c.putImageData] = [c.putImageData, () => {}];
    else c.putImageData = c.heldPut;
  }, on);
  await hold(true);
  const png = await page.screenshot();
  const canvas = await page.evaluate(() => document.getElementById("pellrun").toDataURL("image/png"));
  await hold(false);
  return { png, same: samePixels(png, Buffer.from(canvas.split(",")[1], "base64"), skip) };
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
  const box = pictureBox(png, note);
  check(box === expected, `${name}: the playfield's place on the screen`, `${box}, expected ${expected}`);
  check(same, `${name}: the screen shows the canvas's pixels one to one`);
  if (screensDir) fs.writeFileSync(path.join(screensDir, `web-${name}.png`), png);
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// ---- The page left running: sampled once a minute while the other checks run ---------

const long = await open({ viewport: { width: 800, height: 640 } }, base);
const samples = [];
const sample = async () => samples.push(await long.evaluate(() => ({
  draws: window.pellrunDraws, heap: performance.memory.usedJSHeapSize, wasm: window.pellrunMemory() })));
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

// 1170 device pixels wide, the phone's playfield is 1170 x 936, in the middle of 2532 rows.
for (const [name, box, options] of [
  ["1920x1080", "1350x1080+285+0", { viewport: { width: 1920, height: 1080 } }],
  ["phone-390x844", "1170x936+0+798",
   { viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true }],
]) {
  const page = await open(options, `${base}?seed=7`);
  const first = await page.evaluate(() => window.pellrunFirstPicture);
  check(first < 1000, `${name}: the first picture within a second`,
        `${Math.round(first)} ms after the page was asked for`);
  // The logo and the course take about six seconds, the board's fade one more.
  await sleep(10000);
  await screen(page, name, box);
  await page.context().close();
}

// ---- Sound within seconds of a click ----------------------------------------------------

{
  const page = await open({ viewport: { width: 800, height: 640 } }, `${base}?seed=7`);
  // The first song starts with the board: the note says that sound waits for a click.
  await page.waitForFunction(() => !document.getElementById("note").hidden, null, { timeout: 20000 });
  await page.mouse.click(400, 320);
  const clicked = Date.now();
  // Heard: the output's level (root mean square) above 0.003, looked at every 100 ms.
  const heard = await page.waitForFunction(() => {
    const audio = window.pellrunAudio;
    if (!audio) return false;
    const samples = new Float32Array(audio.analyser.fftSize);
    audio.analyser.getFloatTimeDomainData(samples);
    return Math.sqrt(samples.reduce((sum, v) => sum + v * v, 0) / samples.length) > 0.003;
  }, null, { polling: 100, timeout: 8000 }).then(() => Date.now() - clicked, () => 0);
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
