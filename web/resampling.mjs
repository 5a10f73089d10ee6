// How accurately the browser's resampling serves the tuner (scripts/web-resampling):
// the desktop's resampler test (tests/resampling_test.cpp) with the browser in place of
// libsoxr. The same tones (sines, squares, sawtooths, triangles and plucked strings at
// 82 to 440 Hz, half of full scale, 4 s, made at 44.1 and 48 kHz as 16-bit WAV) are played
// by Chromium's fake microphone into an AudioContext at 22050 Hz, as the page records
// them; the samples become 16-bit as the page's program makes them and go through the
// WebAssembly tuner. A reading is the median stable frequency the dial is given between
// 1.0 and 3.5 s; it is compared with the reading of the same tone converted by sox's
// very-high-quality resampler (and with the desktop's, through veldra-file).
//
// The fake device plays each file from when the microphone opens; half a second of
// silence before the tone lets the capture start at the tone's first sample.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import * as t from './tests/support.mjs';

const waveforms = {
  sine: (p) => Math.sin(2 * Math.PI * p),
  square: (p) => (p < 0.5 ? 1 : -1),
  sawtooth: (p) => 2 * p - 1,
  triangle: (p) => 1 - 4 * Math.abs(p - 0.5),
  pluck: (p, s) => {
    let v = 0;
    for (let k = 1; k <= 12; k++) v += Math.exp(-s * k / 2.5) * Math.sin(2 * Math.PI * k * p) / k;
    return 0.6 * v;
  },
};
const frequencies = [82.41, 110.0, 146.83, 196.0, 246.94, 329.63, 440.0];
const lead = 0.5;  // seconds of silence before the tone

// Cents from frequency of the median stable reading in 1.0 .. 3.5 s of the tuner's lines;
// NaN for none.
function readingCents(lines, frequency) {
  const readings = [];
  for (const line of lines) {
    const [, time, hz, stable] = line.split(',');
    if (stable === '1' && Number(time) >= 1.0 && Number(time) <= 3.5) readings.push(Number(hz));
  }
  if (readings.length === 0) return NaN;
  readings.sort((a, b) => a - b);
  return 1200 * Math.log2(readings[Math.floor(readings.length / 2)] / frequency);
}

// A float as the page's program makes it a sample (platform/sound_files/sample_conversion.h).
function toSample16(v) {
  if (Number.isNaN(v)) return 0;
  const scaled = Math.fround(Math.fround(Math.max(-1, Math.min(1, v))) * 32768);
  if (scaled >= 32767) return 32767;
  if (scaled <= -32768) return -32768;
  return Math.trunc(scaled);
}

// The capture page: the site's worklet in a context at 22050 Hz, as veldra.js sets it up.
const capturePage = `<!doctype html><script type="module">
window.capture = async (samples) => {
  const audio = new AudioContext({ sampleRate: 22050, latencyHint: 0.06, sinkId: { type: 'none' } });
  await audio.audioWorklet.addModule('capture-worklet.js');
  const node = new AudioWorkletNode(audio, 'veldra-capture', {
    numberOfInputs: 1, numberOfOutputs: 0, channelCount: 1, channelCountMode: 'explicit' });
  const pieces = [];
  let total = 0;
  const done = new Promise((resolve) => {
    node.port.onmessage = (event) => {
      pieces.push(event.data);
      total += event.data.length;
      if (total >= samples) resolve();
    };
  });
  const stream = await navigator.mediaDevices.getUserMedia({ audio: { echoCancellation: false,
    noiseSuppression: false, autoGainControl: false, channelCount: 1 }, video: false });
  audio.createMediaStreamSource(stream).connect(node);
  await audio.resume();
  await done;
  const all = new Float32Array(total);
  let at = 0;
  for (const p of pieces) { all.set(p, at); at += p.length; }
  return Array.from(all);
};
window.ready = true;
</script>`;

// node resampling.mjs [WAVEFORM]: all the tones, or those of one waveform.
const only = process.argv[2];
const folder = t.scratchFolder();
fs.copyFileSync(path.join(t.site, 'capture-worklet.js'), path.join(folder, 'capture-worklet.js'));
fs.writeFileSync(path.join(folder, 'index.html'), capturePage);
const server = await t.serve(folder);
const tuner = await t.loadTuner();
const rows = [];
try {
  for (const rate of [44100, 48000]) {
    for (const [name, wave] of Object.entries(waveforms)) {
      if (only && name !== only) continue;
      for (const frequency of frequencies) {
        const tone = (i) => {
          const s = i / rate, turns = frequency * s;
          return 0.5 * wave(turns - Math.floor(turns), s);
        };
        const made = path.join(folder, 'made.wav'), sox = path.join(folder, 'sox.wav');
        t.writeWav(made, rate, 4 * rate, tone);
        execFileSync('sox', [made, '-D', '-r', '22050', sox, 'rate', '-v']);
        const csv = (file) => execFileSync(t.veldraFile, ['--csv', file], { encoding: 'utf8' })
          .trimEnd().split('\n');
        const reference = readingCents(csv(sox), frequency);
        const desktop = readingCents(csv(made), frequency);

        const played = path.join(folder, 'played.wav');
        const leadSamples = Math.round(lead * rate);
        t.writeWav(played, rate, leadSamples + 4 * rate, (i) => (i < leadSamples ? 0 : tone(i - leadSamples)));
        const browser = await t.launch({ wav: `${played}%noloop` });
        let captured;
        try {
          const [page] = await browser.pages();
          await page.goto(server.url);
          await t.waitFor(page, () => window.ready === true);
          captured = await page.evaluate((n) => window.capture(n), Math.round((lead + 4.2) * 22050));
        } finally {
          await browser.close();
        }
        const start = captured.findIndex((v) => v !== 0);
        const samples = Int16Array.from(captured.slice(start, start + 4 * 22050), toSample16);
        const browserCents = readingCents(t.tunerLines(tuner, samples), frequency);
        rows.push({ rate, name, frequency, reference, desktop, browser: browserCents });
        console.log(`${rate} ${name.padEnd(8)} ${frequency.toFixed(2).padStart(6)} Hz: ` +
                    `sox ${reference.toFixed(2)}, desktop ${desktop.toFixed(2)}, browser ${browserCents.toFixed(2)} cents`);
      }
    }
  }
} finally {
  await server.close();
  fs.rmSync(folder, { recursive: true, force: true });
}

const bounded = rows.filter((r) => !Number.isNaN(r.reference));
const beyond = (key) => bounded.filter((r) => Number.isNaN(r[key]) || Math.abs(r[key]) > Math.abs(r.reference) + 2);
const worst = (key) => Math.max(...bounded.filter((r) => !Number.isNaN(r[key]))
  .map((r) => Math.abs(r[key]) - Math.abs(r.reference)));
const furthest = (key) => Math.max(...bounded.filter((r) => !Number.isNaN(r[key]))
  .map((r) => Math.abs(r[key] - r.reference)));
for (const key of ['browser', 'desktop']) {
  console.log(`${key}: ${bounded.length} tones with a reading after sox; ${beyond(key).length} read ` +
              `more than 2 cents further from the true pitch than after sox (or not at all); ` +
              `furthest beyond sox's distance ${worst(key).toFixed(2)} cents, from sox's reading ` +
              `${furthest(key).toFixed(2)} cents`);
}
