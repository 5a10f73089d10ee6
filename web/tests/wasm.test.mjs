// veldra-file's tuner built for the browser (veldra-file-node.mjs, WebAssembly) over the
// reference recordings of tests/data, raw: every CSV line the same as the native build must
// print with --raw, so the browser's analysis, dial and catalogue match the native ones to the bit.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { loadTuner, root, tunerLines } from './support.mjs';

const data = path.join(root, 'tests/data');

// The samples of a 16-bit mono WAV (the recordings are all of that kind).
function samples(file) {
  const bytes = fs.readFileSync(file);
  let at = 12;
  while (bytes.toString('latin1', at, at + 4) !== 'data') at += 8 + bytes.readUInt32LE(at + 4);
  const length = bytes.readUInt32LE(at + 4);
  return new Int16Array(bytes.buffer.slice(bytes.byteOffset + at + 8, bytes.byteOffset + at + 8 + length));
}

test('the WebAssembly tuner prints every reference line as the native one does', async () => {
  const tuner = await loadTuner();
  const expected = fs.readdirSync(data).filter((f) => f.endsWith('.csv') && f !== 'notes.csv');
  assert.ok(expected.length >= 10);
  for (const file of expected) {
    const [name, modes] = file.replace(/\.csv$/, '').split('.');
    const sound = samples(path.join(data, `${name}.wav`));
    const modeNames = modes === 'startup' ? '' : modes.replace(/-/g, ',');
    const lines = tunerLines(tuner, sound, modeNames, true);
    assert.ok(lines !== null, file);
    lines.unshift('block,time_s,frequency_hz,stable,period,recent_period,recent_count,needle');
    const want = fs.readFileSync(path.join(data, file), 'utf8').trimEnd().split('\n');
    assert.deepEqual(lines, want, file);
  }
});
