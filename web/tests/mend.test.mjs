// The page's mender (web/site/mend.js): the breaks a browser's capture leaves between
// render quanta are mended so that the tuner reads the note through them, and unbroken
// sound, sharp edges on a quantum's boundary too, goes through untouched.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { Mender, quantumLength } from '../site/mend.js';
import * as t from './support.mjs';

const rate = 48000;
const seconds = 4;

function mend(values) {
  const mender = new Mender(rate);
  const out = [];
  for (let at = 0; at < values.length; at += quantumLength) {
    mender.take(values.subarray(at, at + quantumLength), (s) => out.push(...s));
  }
  return { values: Float32Array.from(out), mender };
}

test('unbroken sound goes through untouched', () => {
  const shapes = {
    string: t.stringTone(110, rate),
    square: (i) => ((i * 82.41 / rate) % 1 < 0.5 ? 0.5 : -0.5),
    sawtooth: (i) => (i * 110 / rate) % 1 - 0.5,
  };
  for (const [name, shape] of Object.entries(shapes)) {
    const values = Float32Array.from({ length: rate * seconds }, (_, i) => shape(i));
    const { values: out, mender } = mend(values);
    // All of it but what is held at the end, where an edge on a boundary looked like a jump.
    assert.ok(values.length - out.length <= 2000, name);
    assert.deepEqual(out, values.subarray(0, out.length), name);
    assert.equal(mender.jumps + mender.zeroQuanta, 0, name);
  }
  // Silence is let through once it is more than a dropout.
  const silence = new Float32Array(rate);
  silence.fill(0.25, 0, 100 * quantumLength);
  assert.equal(mend(silence).values.length, rate - 4 * quantumLength);
});

// What the tuner reads, a refresh at a time from 1 s on: cents from frequency, or null.
function readings(tuner, values, frequency) {
  return t.roadLines(tuner, values, rate, 2176).map((l) => l.split(','))
    .filter(([, time]) => Number(time) >= 1)
    .map(([, , hz, stable]) => (stable === '1' ? 1200 * Math.log2(Number(hz) / frequency) : null));
}

test('the tuner reads a string through a capture\'s skips, repeats and dropouts', async () => {
  const frequency = t.tunerPitch(2, 9, 10);
  const tone = t.stringTone(frequency, rate);
  // Every quarter of a second the capture skips 173 samples, repeats 61 or drops a quantum,
  // each on a quantum's boundary, as WebKit's does.
  const broken = [];
  for (let source = 0, q = 0; broken.length < rate * seconds; q++) {
    const quantum = new Float32Array(quantumLength);
    const kind = q % 94 === 93 ? q % 3 : -1;
    if (kind === 0) source += 173;
    if (kind === 1) source -= 61;
    if (kind !== 2) for (let i = 0; i < quantumLength; i++) quantum[i] = tone(source++);
    broken.push(...quantum);
  }
  const tuner = await t.loadTuner();
  const clean = readings(tuner, Float32Array.from({ length: rate * seconds }, (_, i) => tone(i)), frequency);
  const centre = clean.filter((c) => c !== null).sort((a, b) => a - b)[clean.length >> 1];
  const off = (list) => list.filter((c) => c === null || Math.abs(c - centre) > 2).length;
  assert.equal(off(clean), 0);
  assert.ok(off(readings(tuner, Float32Array.from(broken), frequency)) > 0, 'the breaks show unmended');
  const { values, mender } = mend(Float32Array.from(broken));
  assert.equal(off(readings(tuner, values, frequency)), 0);
  assert.ok(mender.jumps > 0 && mender.zeroQuanta > 0);
});
