// What the browser tests share: the site served from 127.0.0.1 by a small static server,
// Debian's Chromium driven by puppeteer-core (with a fake microphone playing a WAV), the
// screen read back from the canvas, tones written as WAV files, and PNG files read.
//
// Paths: the site is build/web (VELDRA_SITE), veldra-file and veldra-screens the optimised
// native build's (VELDRA_FILE, VELDRA_SCREENS), the WebAssembly tuner for node in
// build/wasm (VELDRA_WASM_BUILD), all from the repository's root.
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { PNG } from 'pngjs';
import puppeteer from 'puppeteer-core';

export const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const site = process.env.VELDRA_SITE || path.join(root, 'build/web');
export const veldraFile = process.env.VELDRA_FILE ||
  path.join(root, 'build/release/tools/veldra-file/veldra-file');
export const veldraScreens = process.env.VELDRA_SCREENS ||
  path.join(root, 'build/release/tools/screens/veldra-screens');
export const wasmBuild = process.env.VELDRA_WASM_BUILD || path.join(root, 'build/wasm');
export const width = 240;
export const height = 320;

// ---- the server ----

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.mjs': 'text/javascript',
  '.wasm': 'application/wasm', '.webmanifest': 'application/manifest+json',
  '.png': 'image/png', '.htm': 'text/html; charset=utf-8',
};

// Serves folder on 127.0.0.1 (port 0: any free one); close() stops it, connections and all.
export async function serve(folder, port = 0) {
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://host').pathname);
    const file = path.join(folder, path.normalize(name.endsWith('/') ? `${name}index.html` : name));
    if (!file.startsWith(folder) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      response.writeHead(404);
      response.end();
      return;
    }
    response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream',
                              'Cache-Control': 'no-cache' });
    fs.createReadStream(file).pipe(response);
  });
  const sockets = new Set();
  server.on('connection', (s) => { sockets.add(s); s.on('close', () => sockets.delete(s)); });
  await new Promise((resolve) => server.listen(port, '127.0.0.1', resolve));
  return {
    url: `http://127.0.0.1:${server.address().port}/`,
    close: () => new Promise((resolve) => {
      for (const s of sockets) s.destroy();
      server.close(resolve);
    }),
  };
}

// ---- the browser ----

// Chromium with a fake microphone playing wav (looping), or, with deny, a microphone that
// the user refuses. Root needs --no-sandbox.
export async function launch({ wav = null, deny = false } = {}) {
  const args = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                '--disable-background-networking', '--disable-component-update',
                '--disable-sync', '--no-default-browser-check', '--mute-audio',
                '--use-fake-device-for-media-stream'];
  if (deny) args.push('--use-fake-ui-for-media-stream=deny');
  else args.push('--use-fake-ui-for-media-stream');
  if (wav) args.push(`--use-file-for-fake-audio-capture=${wav}`);
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'veldra-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.VELDRA_CHROMIUM || '/usr/bin/chromium',
    headless: true, userDataDir: profile, args, protocolTimeout: 60000,
  });
  const close = browser.close.bind(browser);
  browser.close = async () => {
    await close();
    fs.rmSync(profile, { recursive: true, force: true });
  };
  return browser;
}

// use(browser, url) with Chromium as launch starts it and the site served; both closed after.
export async function withBrowser(options, use) {
  const server = await serve(site);
  const browser = await launch(options);
  try {
    return await use(browser, server.url);
  } finally {
    await browser.close();
    await server.close();
  }
}

// The browser's first tab at url, its console kept in page.messages.
export async function open(browser, url) {
  const [page] = await browser.pages();
  page.messages = [];
  page.on('console', (m) => page.messages.push(m.text()));
  page.on('pageerror', (e) => page.messages.push(`page error: ${e.message}`));
  await page.setViewport({ width: 480, height: 640 });
  await page.goto(url, { waitUntil: 'load' });
  await waitFor(page, () => window.veldraPage && window.veldraPage.presents > 0);
  return page;
}

export function waitFor(page, predicate, timeout = 15000, ...args) {
  return page.waitForFunction(predicate, { timeout, polling: 50 }, ...args);
}

// A canvas's pixels (the screen's 240 x 320, or the readout strip's) as RGB bytes; page is
// a puppeteer page or anything with its evaluate (the engines' drivers).
export async function canvasPixels(page, id = 'screen') {
  const rgba = await page.evaluate((name) => {
    const canvas = document.getElementById(name);
    return Array.from(canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data);
  }, id);
  return Buffer.from(rgba.filter((_, i) => i % 4 !== 3));
}

// A tap at screen pixel (x, y), in page coordinates through the canvas's scaling.
export async function tap(page, x, y) {
  const box = await (await page.$('#screen')).boundingBox();
  await page.mouse.click(box.x + (x + 0.5) * box.width / width,
                         box.y + (y + 0.5) * box.height / height);
}

// ---- sound and pictures ----

// A 16-bit mono WAV at rate of samples(i) in -1 .. 1.
export function writeWav(file, rate, count, sample) {
  const data = Buffer.alloc(count * 2);
  for (let i = 0; i < count; i++) {
    data.writeInt16LE(Math.round(Math.max(-1, Math.min(1, sample(i))) * 32767), i * 2);
  }
  const header = Buffer.alloc(44);
  header.write('RIFF', 0);
  header.writeUInt32LE(36 + data.length, 4);
  header.write('WAVEfmt ', 8);
  header.writeUInt32LE(16, 16);
  header.writeUInt16LE(1, 20);
  header.writeUInt16LE(1, 22);
  header.writeUInt32LE(rate, 24);
  header.writeUInt32LE(rate * 2, 28);
  header.writeUInt16LE(2, 32);
  header.writeUInt16LE(16, 34);
  header.write('data', 36);
  header.writeUInt32LE(data.length, 40);
  fs.writeFileSync(file, Buffer.concat([header, data]));
}

// A string's steady tone at frequency: six harmonics, 1/k each, at 0.4 of full scale.
export function stringTone(frequency, rate) {
  return (i) => {
    let v = 0;
    for (let k = 1; k <= 6; k++) v += Math.sin(2 * Math.PI * k * frequency * i / rate) / k;
    return 0.4 * v / 2.45;
  };
}

// The frequency of a note on the tuner's scale (C1 = 32.7 Hz) plus cents.
export function tunerPitch(octave, semitone, cents = 0) {
  return 32.7 * 2 ** (octave - 1 + semitone / 12 + cents / 1200);
}

// The pixels of a PNG (veldra-file's and the program's pictures) as RGB, read by pngjs.
export function readPng(file) {
  const png = PNG.sync.read(fs.readFileSync(file));
  const rgb = Buffer.alloc(png.width * png.height * 3);
  for (let i = 0, o = 0; o < rgb.length; i += 4, o += 3) png.data.copy(rgb, o, i, i + 3);
  return { width: png.width, height: png.height, rgb };
}

// veldra-file's tuner in WebAssembly (tools/veldra-file/node_main.cpp), loaded in node.
export async function loadTuner() {
  const file = path.join(wasmBuild, 'tools/veldra-file/veldra-file-node');
  const { default: create } = await import(pathToFileURL(`${file}.mjs`));
  return create({ wasmBinary: fs.readFileSync(`${file}.wasm`) });
}

// What that tuner prints for 16-bit samples at 22050 Hz: veldra-file's CSV lines without
// their header, in the modes named as veldra-file's --mode takes them ('' for the start-up
// mode), raw as with --raw or conditioned; null when the modes are refused.
export function tunerLines(tuner, samples, modes = '', raw = false) {
  const text = tuner.allocateUTF8(modes);
  const started = tuner._vfn_start(text, raw ? 1 : 0);
  tuner._free(text);
  if (started !== 1) return null;
  const lines = [];
  const buffer = tuner._vfn_block_buffer() >> 1;
  for (let at = 0; at + 220 <= samples.length; at += 220) {
    tuner.HEAP16.set(samples.subarray(at, at + 220), buffer);
    const line = tuner._vfn_block();
    if (line !== 0) lines.push(tuner.UTF8ToString(line));
  }
  return lines;
}

// What that tuner prints for float values at rate going the page's microphone road to
// its rate (libsoxr, then 16-bit samples), handed over count values at a time, as
// tunerLines does: conditioned, in the start-up mode.
export function roadLines(tuner, values, rate, count) {
  const none = tuner.allocateUTF8('');
  const started = tuner._vfn_start(none, 0);
  tuner._free(none);
  if (started !== 1 || tuner._vfn_road(rate) !== 1) return null;
  const lines = [];
  const buffer = tuner._vfn_sound_buffer() >> 2;
  for (let at = 0; at < values.length; at += count) {
    const piece = values.subarray(at, Math.min(values.length, at + count));
    tuner.HEAPF32.set(piece, buffer);
    const made = tuner.UTF8ToString(tuner._vfn_sound(piece.length));
    if (made) lines.push(...made.trimEnd().split('\n'));
  }
  return lines;
}

export function scratchFolder() {
  return fs.mkdtempSync(path.join(os.tmpdir(), 'veldra-web-test-'));
}
