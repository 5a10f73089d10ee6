// The browser build's figures (scripts/web-figures runs this after building):
//   speed        the WebAssembly tuner (analysis, views, composition, fading) over the demo
//                performance under node, in times real time, and the native build's
//                pipeline benchmark for the ratio (when it is built)
//   cpu          the page tuning in headless Chromium with a fake microphone: the CPU time
//                of its renderer process and of the audio service over 10 s of wall time,
//                from /proc, in % of one core
//   first frame  from the start-up notice's OK (Enter) to the first screen with a reading
//   download     index.html, the scripts and the WebAssembly (the fonts are in it), gzip -9
// `node figures.mjs cpu` measures the page's CPU alone (three runs of 10 s each);
// `node figures.mjs floor` the same for pages that do no more than a part of what it does
// (below), to show what Chromium charges for that part alone.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import * as t from './tests/support.mjs';

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// ---- speed ----
async function speed() {
  const tuner = await t.loadTuner();
  const blocks = 6000;  // 60 s of sound
  const seconds = blocks * 220 / 22050;
  tuner._vfn_demo(blocks);  // warm up
  let best = Infinity;
  for (let run = 0; run < 5; run++) {
    const start = performance.now();
    tuner._vfn_demo(blocks);
    best = Math.min(best, (performance.now() - start) / 1000);
  }
  const wasm = seconds / best;
  let native = null;
  const bench = path.join(t.root, 'build/release/bench/pipeline_realtime_bench');
  if (fs.existsSync(bench)) {
    const out = JSON.parse(execFileSync(bench, ['--benchmark_filter=PipelineDemo',
      '--benchmark_format=json', '--benchmark_min_time=2'], { encoding: 'utf8' }));
    native = out.benchmarks[0].x_real_time;
  }
  return { wasm, native };
}

// ---- the page in Chromium ----
const ticks = 100;  // clock ticks per second (getconf CLK_TCK on Linux)

function processes() {
  const all = [];
  for (const pid of fs.readdirSync('/proc').filter((d) => /^\d+$/.test(d))) {
    try {
      const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      all.push({ pid: Number(pid), ppid: Number(fields[1]),
                 cpu: Number(fields[11]) + Number(fields[12]),
                 cmdline: fs.readFileSync(`/proc/${pid}/cmdline`, 'utf8') });
    } catch { /* gone meanwhile */ }
  }
  return all;
}

// The page's renderer (the one running the AudioWorklet's thread) and the audio service.
function pageProcesses(browserPid) {
  const all = processes();
  const family = new Set([browserPid]);
  for (let grew = true; grew;) {
    grew = false;
    for (const p of all) {
      if (!family.has(p.pid) && family.has(p.ppid)) { family.add(p.pid); grew = true; }
    }
  }
  const mine = all.filter((p) => family.has(p.pid));
  const renderer = mine.find((p) => /--type=renderer/.test(p.cmdline) &&
    fs.readdirSync(`/proc/${p.pid}/task`).some((task) => {
      try { return fs.readFileSync(`/proc/${p.pid}/task/${task}/comm`, 'utf8').startsWith('Realtime AudioW'); } catch { return false; }
    }));
  const audio = mine.find((p) => /--utility-sub-type=audio\.mojom\.AudioService/.test(p.cmdline));
  return { page: [renderer, audio].filter(Boolean).map((p) => p.pid),
           all: mine.map((p) => p.pid) };
}

function cpuTicks(pids) {
  const now = new Map(processes().map((p) => [p.pid, p.cpu]));
  return pids.reduce((sum, pid) => sum + (now.get(pid) || 0), 0);
}

async function page(wav, measureCpu, site = t.site, query = '') {
  const server = await t.serve(site);
  const browser = await t.launch({ wav });
  try {
    const tab = await t.open(browser, server.url + query);
    await tab.keyboard.press('Enter');
    await t.waitFor(tab, () => window.veldraPage.firstFrameMs !== null);
    const firstFrame = await tab.evaluate(() => window.veldraPage.firstFrameMs);
    if (!measureCpu) return { firstFrame };
    await sleep(2000);
    const { page: pids, all } = pageProcesses(browser.process().pid);
    if (pids.length !== 2) throw new Error('cannot find the page\'s renderer and the audio service');
    const counters = () => tab.evaluate(() => [window.veldraPage.presents,
      window.veldraPage.refreshes(), window.veldraPage.uploaded || 0, window.veldraPage.frames || 0]);
    const [presents0, refreshes0, uploaded0, frames0] = await counters();
    const before = cpuTicks(pids), beforeAll = cpuTicks(all), start = performance.now();
    await sleep(10000);
    const used = cpuTicks(pids) - before, wall = (performance.now() - start) / 1000;
    const usedAll = cpuTicks(all) - beforeAll;
    const [presents1, refreshes1, uploaded1, frames1] = await counters();
    return { firstFrame, cpu: 100 * used / ticks / wall, cpuAll: 100 * usedAll / ticks / wall,
             framesPerSecond: (presents1 - presents0) / wall,
             refreshesPerSecond: (refreshes1 - refreshes0) / wall,
             uploadedPerSecond: Math.round((uploaded1 - uploaded0) / wall),
             drawnPerSecond: (frames1 - frames0) / wall };
  } finally {
    await browser.close();
    await server.close();
  }
}

// ---- the floor ----

// A page with the tuning page's microphone, context and worklet (its own capture-worklet.js,
// the same options) and nothing else: without a query the microphone goes into a worklet
// that does nothing; ?pieces into the page's, which hands the main thread its 46 ms pieces;
// ?frames also changes a 10 x 40 pixel patch of a canvas shown as large as the tuner's
// screen every other piece (eleven frames a second).
const floorPage = `<!doctype html><style>body{margin:0} canvas{width:480px;height:640px}</style>
<canvas id="c" width="240" height="320"></canvas><script type="module">
const q = location.search;
const page = window.veldraPage = { firstFrameMs: null, presents: 1, refreshes: () => 0 };
const audio = new AudioContext({ latencyHint: 0.06, sinkId: { type: 'none' } });
const worklet = Promise.all(['capture-worklet.js', 'idle-worklet.js'].map(
  (file) => audio.audioWorklet.addModule(file)));
const stream = navigator.mediaDevices.getUserMedia({ audio: { echoCancellation: false,
  noiseSuppression: false, autoGainControl: false, channelCount: 1 } });
const context = document.getElementById('c').getContext('2d', { alpha: false });
const image = context.createImageData(240, 320);
const pixels = new Uint32Array(image.data.buffer);
let pieces = 0;
function frame() {
  const x = (pieces * 7) % 200;
  for (let y = 100; y < 140; y++) pixels.fill(0xff00ff00 ^ pieces, y * 240 + x, y * 240 + x + 10);
  context.putImageData(image, 0, 0, x, 100, 10, 40);
}
window.addEventListener('keydown', async () => {
  await audio.resume();
  await worklet;
  const node = new AudioWorkletNode(audio, q ? 'veldra-capture' : 'idle', { numberOfInputs: 1,
    numberOfOutputs: 1, outputChannelCount: [1], channelCount: 1, channelCountMode: 'explicit' });
  node.connect(audio.destination);
  node.port.onmessage = () => {
    if (++pieces % 2 === 0 && /frames/.test(q)) requestAnimationFrame(frame);
  };
  audio.createMediaStreamSource(await stream).connect(node);
  page.firstFrameMs = 0;
}, { once: true });
</script>`;
const idleWorklet = `registerProcessor('idle', class extends AudioWorkletProcessor {
  process() { return true; }
});`;

async function floor(wav) {
  const site = path.join(folder, 'floor');
  fs.mkdirSync(site);
  fs.writeFileSync(path.join(site, 'index.html'), floorPage);
  fs.writeFileSync(path.join(site, 'idle-worklet.js'), idleWorklet);
  fs.copyFileSync(path.join(t.site, 'capture-worklet.js'), path.join(site, 'capture-worklet.js'));
  for (const [what, query] of [['microphone and an idle worklet', ''], ['and the pieces', '?pieces'],
                               ['and the frames', '?frames']]) {
    const runs = [];
    for (let run = 0; run < 3; run++) runs.push((await page(wav, true, site, query)).cpu.toFixed(1));
    console.log(`${what}: ${runs.join(', ')} % of a core (renderer + audio service, 10 s)`);
  }
}

// ---- download ----
function download() {
  const files = ['index.html', 'veldra.js', 'capture-worklet.js', 'mend.js', 'veldra.mjs', 'veldra.wasm'];
  let sum = 0;
  const each = files.map((f) => {
    const n = zlib.gzipSync(fs.readFileSync(path.join(t.site, f)), { level: 9 }).length;
    sum += n;
    return `${f} ${(n / 1024).toFixed(1)}`;
  });
  return { total: sum / 1024, each };
}

const folder = t.scratchFolder();
const wav = path.join(folder, 'a-string.wav');
t.writeWav(wav, 22050, 22050 * 60, t.stringTone(t.tunerPitch(2, 9, 10), 22050));
try {
  if (process.argv.includes('floor')) {
    await floor(wav);
  } else if (process.argv.includes('cpu')) {
    for (let run = 0; run < 3; run++) {
      const m = await page(wav, true);
      console.log(`page CPU over 10 s (renderer + audio service): ${m.cpu.toFixed(1)} % of a core ` +
                  `(all of Chromium's processes ${m.cpuAll.toFixed(1)} %), ` +
                  `${m.framesPerSecond.toFixed(1)} screens/s presented, ${m.drawnPerSecond.toFixed(1)} frames drawn, ` +
                  `${m.uploadedPerSecond} pixels uploaded/s`);
    }
  } else {
    await allFigures();
  }
} finally {
  fs.rmSync(folder, { recursive: true, force: true });
}

async function allFigures() {
  const s = await speed();
  console.log(`wasm tuner over the demo under node: ${Math.round(s.wasm)} x real time` +
              (s.native ? `; native ${Math.round(s.native)} x; wasm/native ${(s.wasm / s.native).toFixed(2)}` : ''));
  const measured = await page(wav, true);
  const firsts = [measured.firstFrame];
  for (let run = 0; run < 2; run++) firsts.push((await page(wav, false)).firstFrame);
  console.log(`page CPU over 10 s (renderer + audio service): ${measured.cpu.toFixed(1)} % of a core, ` +
              `${measured.framesPerSecond.toFixed(1)} screens/s, ${measured.refreshesPerSecond.toFixed(1)} refreshes/s`);
  console.log(`first frame after OK: ${firsts.map((v) => Math.round(v)).join(', ')} ms`);
  const d = download();
  console.log(`download (gzip -9): ${d.total.toFixed(1)} KB (${d.each.join(', ')})`);
}
