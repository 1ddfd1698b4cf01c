// CPU of the web edition on the waiting board, for docs/performance.md: Debian's
// Chromium, headless, shows pellrun.html at 1024 x 768 from a static server on
// 127.0.0.1, music off and (after a click) on, in two browsers side by side, while
// scripts/measure-power.sh may run the Linux edition beside them.
//   node scripts/measure-web.mjs BUILD_DIR [SECONDS_TOTAL BOARD_FROM BOARD_TO]
// (defaults 90 15 60; interval=1 puts the board up from about 6 s to about 66 s).
// Prints, for each browser, the CPU of one core over the board by its processes' kinds
// (renderer, GPU, audio service, browser), from /proc.
import fs from "node:fs";
import http from "node:http";
import path from "node:path";
import { chromium } from "playwright-core";

const [buildArg, total = "90", from = "15", to = "60"] = process.argv.slice(2);
const buildDir = path.resolve(buildArg);
const server = http.createServer((request, response) => {
  const file = path.join(buildDir, path.normalize(new URL(request.url, "http://x").pathname));
  if (!file.startsWith(buildDir + path.sep) || !fs.existsSync(file)) return response.writeHead(404).end();
  const types = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm" };
  response.writeHead(200, { "Content-Type": types[path.extname(file)] || "application/octet-stream" });
  fs.createReadStream(file).pipe(response);
});
await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
const url = `http://127.0.0.1:${server.address().port}/pellrun.html?interval=1`;
const ticks = 100;   // clock ticks a second (USER_HZ)

// The processes below pid (itself included), each with its kind and CPU ticks so far.
function tree(root) {
  const children = new Map();
  for (const name of fs.readdirSync("/proc").filter((n) => /^\d+$/.test(n))) {
    try {
      const stat = fs.readFileSync(`/proc/${name}/stat`, "utf8");
      const parent = Number(stat.slice(stat.lastIndexOf(")") + 2).split(" ")[1]);
      if (!children.has(parent)) children.set(parent, []);
      children.get(parent).push(Number(name));
    } catch (e) {
      // gone meanwhile
    }
  }
  const out = [];
  const visit = (pid) => {
    try {
      const text = fs.readFileSync(`/proc/${pid}/stat`, "utf8");
      const stat = text.slice(text.lastIndexOf(")") + 2).split(" ");
      const line = fs.readFileSync(`/proc/${pid}/cmdline`, "utf8");
      const type = (line.match(/--type=([a-z-]+)/) || [, "browser"])[1];
      const sub = (line.match(/--utility-sub-type=([\w.]+)/) || [, ""])[1];
      const kind = type === "utility" ? (sub.includes("audio") ? "audio" : "utility")
                                      : type === "gpu-process" ? "gpu" : type;
      out.push({ pid, kind, cpu: Number(stat[11]) + Number(stat[12]) });
    } catch (e) {
      return;
    }
    for (const child of children.get(pid) || []) visit(child);
  };
  visit(root);
  return out;
}

async function start(music) {
  // A switch Chromium ignores marks each browser's process.
  const mark = `--pellrun-measure=${music ? "on" : "off"}`;
  const browser = await chromium.launch({ executablePath: "/usr/bin/chromium", args: [mark] });
  const page = await browser.newPage({ viewport: { width: 1024, height: 768 } });
  await page.goto(url + (music ? "" : "&music=0"));
  await page.waitForFunction(() => window.pellrunFirstPicture !== undefined);
  if (music) await page.mouse.click(512, 384);
  const pid = fs.readdirSync("/proc").filter((n) => /^\d+$/.test(n)).map(Number).find((n) => {
    try {
      const line = fs.readFileSync(`/proc/${n}/cmdline`, "utf8");
      return line.includes(mark) && !line.includes("--type=");
    } catch (e) {
      return false;
    }
  });
  return { music, browser, page, pid };
}

const runs = [await start(false), await start(true)];
const began = Date.now();
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
await sleep(Number(from) * 1000 - (Date.now() - began));
const before = runs.map((r) => tree(r.pid));
await sleep(Number(to) * 1000 - (Date.now() - began));
const after = runs.map((r) => tree(r.pid));
// The music is heard: the output's level at the end of the board.
const level = await runs[1].page.evaluate(() => {
  const audio = window.pellrunAudio, samples = new Float32Array(2048);
  if (!audio) return 0;
  audio.analyser.getFloatTimeDomainData(samples);
  return Math.sqrt(samples.reduce((sum, v) => sum + v * v, 0) / samples.length);
});
const seconds = Number(to) - Number(from);
console.log(`| Chromium 1024 x 768, board ${from}-${to} s | renderer | GPU | audio service | browser | others |` +
            " total |");
console.log("|---|---|---|---|---|---|---|");
runs.forEach((r, i) => {
  const sums = {};
  for (const p of after[i]) {
    const old = before[i].find((q) => q.pid === p.pid);
    sums[p.kind] = (sums[p.kind] || 0) + p.cpu - (old ? old.cpu : 0);
  }
  const pct = (kind) => ((100 * (sums[kind] || 0)) / ticks / seconds).toFixed(2);
  const others = Object.keys(sums).filter((k) => !["renderer", "gpu", "audio", "browser"].includes(k))
    .reduce((a, k) => a + sums[k], 0);
  const all = Object.values(sums).reduce((a, b) => a + b, 0);
  console.log(`| music ${r.music ? "on" : "off"} | ${pct("renderer")} % | ${pct("gpu")} % | ${pct("audio")} % | ` +
              `${pct("browser")} % | ${((100 * others) / ticks / seconds).toFixed(2)} % | ` +
              `${((100 * all) / ticks / seconds).toFixed(2)} % |`);
});
console.log(`(music on: output level ${level.toFixed(3)} RMS at the end of the board)`);
await sleep(Math.max(0, Number(total) * 1000 - (Date.now() - began)));
for (const r of runs) await r.browser.close();
server.close();
