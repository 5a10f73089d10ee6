// The page's microphone road (the device's rate, libsoxr and the conditioning, as built
// for the browser) against the desktop's: the desktop resampling test's tones (sines,
// squares, sawtooths, triangles and plucked strings at 82 to 440 Hz, half of full scale,
// 4 s, made at 44.1 and 48 kHz as 16-bit WAV) read through the WebAssembly tuner's road,
// in the pieces the page hands over, and by the native veldra-file from the WAV. A
// reading is the median stable frequency the dial is given between 1.0 and 3.5 s.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import * as t from './support.mjs';

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

function readingCents(lines, frequency) {
  const readings = lines.map((l) => l.split(','))
    .filter(([, time, , stable]) => stable === '1' && Number(time) >= 1.0 && Number(time) <= 3.5)
    .map(([, , hz]) => Number(hz)).sort((a, b) => a - b);
  if (readings.length === 0) return NaN;
  return 1200 * Math.log2(readings[Math.floor(readings.length / 2)] / frequency);
}

test('the page\'s road reads the resampling tones within half a cent of the desktop', async () => {
  const tuner = await t.loadTuner();
  const folder = t.scratchFolder();
  const wav = path.join(folder, 'tone.wav');
  let compared = 0, furthest = 0;
  try {
    for (const rate of [44100, 48000]) {
      const piece = 128 * Math.round(rate * 0.046 / 128);  // as the page's worklet cuts
      for (const [name, wave] of Object.entries(waveforms)) {
        for (const frequency of frequencies) {
          const samples = Int16Array.from({ length: 4 * rate }, (_, i) => {
            const turns = frequency * i / rate;
            return Math.round(Math.fround(0.5 * wave(turns - Math.floor(turns), i / rate)) * 32767);
          });
          t.writeWav(wav, rate, samples.length, (i) => samples[i] / 32767);
          const desktop = readingCents(execFileSync(t.veldraFile, ['--csv', wav], { encoding: 'utf8' })
            .trimEnd().split('\n'), frequency);
          // A browser decodes 16-bit sound as sample / 32768.
          const values = Float32Array.from(samples, (s) => s / 32768);
          const browser = readingCents(t.roadLines(tuner, values, rate, piece), frequency);
          const where = `${name} ${frequency} Hz at ${rate} Hz: desktop ${desktop}, browser ${browser}`;
          assert.equal(Number.isNaN(browser), Number.isNaN(desktop), where);
          if (Number.isNaN(desktop)) continue;
          assert.ok(Math.abs(browser - desktop) <= 0.5, where);
          furthest = Math.max(furthest, Math.abs(browser - desktop));
          compared++;
        }
      }
    }
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
  assert.ok(compared > 60, `${compared} tones with a reading`);
  console.log(`${compared} tones; furthest from the desktop's reading ${furthest.toFixed(3)} cents`);
});
