// The page in headless Chromium, its microphone a WAV of a steady A string 10 cents sharp,
// against the native program's pictures of the same moments: veldra-file's screen of the
// same tone (the bars, a mode's rings and title) and veldra-screens' (the
// native window system's Instrument menu and its failure box, and the shared renderer's
// readout strips for veldra-file's reading of the tone, give or take a cent).
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import * as t from './support.mjs';

const folder = t.scratchFolder();
const wav = path.join(folder, 'a-string.wav');
const rate = 22050;
let layout;             // veldra-screens' layout.json
const native = {};      // the native pictures, RGB
const readouts = [];    // the readout strips a reading within a cent of veldra-file's gives

// RGB565 colours as the page shows them (each channel's top bits repeated below).
const scaleOrange = [255, 125, 0];  // the rings and octave digits (0xFBE0)

function mask(rgb, [r, g, b], top = 26, bottom = 294) {
  const points = [];
  for (let y = top; y < bottom; y++) {
    for (let x = 0; x < t.width; x++) {
      const i = (y * t.width + x) * 3;
      if (rgb[i] === r && rgb[i + 1] === g && rgb[i + 2] === b) points.push([x, y]);
    }
  }
  return points;
}

// Pixels inside rect ([left, top, right, bottom)) that differ between two pictures.
function differing(a, b, [left, top, right, bottom]) {
  let count = 0;
  for (let y = top; y < bottom; y++) {
    for (let x = left; x < right; x++) {
      const i = (y * t.width + x) * 3;
      if (a[i] !== b[i] || a[i + 1] !== b[i + 1] || a[i + 2] !== b[i + 2]) count++;
    }
  }
  return count;
}

const navigationBar = [0, 0, 240, 26];
const menuBar = [0, 294, 240, 320];
const centre = (r) => [Math.floor((r[0] + r[2]) / 2), Math.floor((r[1] + r[3]) / 2)];
const refreshes = (page) => page.evaluate(() => window.veldraPage && window.veldraPage.refreshes());

// The screen once the canvas shows what the program's state already says (a menu opens
// in the program before its paint reaches the canvas at an animation frame): the canvas,
// read until the region matches the expected picture or two seconds have passed.
async function shownOnCanvas(page, expected, region) {
  const until = Date.now() + 2000;
  for (;;) {
    const screen = await t.canvasPixels(page);
    if (differing(screen, expected, region) === 0 || Date.now() > until) return screen;
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

before(() => {
  t.writeWav(wav, rate, rate * 30, t.stringTone(t.tunerPitch(2, 9, 10), rate));
  for (const mode of ['guitar', 'violin']) {
    const png = path.join(folder, `${mode}.png`);
    execFileSync(t.veldraFile, ['--mode', mode, '--screen-only', '--png', png, '--at', '3', wav]);
    native[mode] = t.readPng(png).rgb;
  }
  // veldra-file's reading of the tone: the frequency the dial was given at 3 s.
  const lines = execFileSync(t.veldraFile, ['--csv', wav], { encoding: 'utf8' }).trim().split('\n');
  const reading = lines.map((l) => l.split(',')).filter((f) => f[3] === '1' && Number(f[1]) <= 3).pop()[2];
  execFileSync(t.veldraScreens, [folder, reading]);
  for (const f of fs.readdirSync(folder).filter((n) => n.startsWith('readout-'))) {
    readouts.push(t.readPng(path.join(folder, f)).rgb);
  }
  layout = JSON.parse(fs.readFileSync(path.join(folder, 'layout.json'), 'utf8'));
  native.menu = t.readPng(path.join(folder, 'menu-instrument.png')).rgb;
  native.failure = t.readPng(path.join(folder, 'sound-input-failed.png')).rgb;
});

after(() => fs.rmSync(folder, { recursive: true, force: true }));

test('the page tunes as the desktop does: readout, bars, menu, modes by taps, resume, hidden',
     () => t.withBrowser({ wav }, async (browser, url) => {
  const page = await t.open(browser, url);
  await page.keyboard.press('Enter');  // the start-up notice's OK
  await t.waitFor(page, () => window.veldraPage.refreshes() >= 30);

  // (The needle against veldra-file's: puppeteer_engines.test.mjs, with a real microphone.)
  let screen = await t.canvasPixels(page);
  const strip = await t.canvasPixels(page, 'readout');
  assert.ok(readouts.length > 0 && readouts.some((r) => r.equals(strip)),
            `the readout strip is one of the ${readouts.length} drawn within a cent of veldra-file's reading`);
  assert.equal(differing(screen, native.guitar, navigationBar), 0, 'navigation bar');
  assert.equal(differing(screen, native.guitar, menuBar), 0, 'menu bar');

  await t.tap(page, ...centre(layout.buttons[1]));
  await t.waitFor(page, () => window.veldraPage.menuOpen());
  screen = await shownOnCanvas(page, native.menu, layout.instrumentMenu);
  assert.equal(differing(screen, native.menu, layout.instrumentMenu), 0, 'the open menu');
  assert.equal(differing(screen, native.menu, menuBar), 0, 'the bar with Instrument pressed');

  // Violin, by a tap on its item: the title changes and the tuner pauses on the
  // information text until a tap.
  await t.tap(page, ...centre(layout.instrumentItems[1]));
  await t.waitFor(page, () => !window.veldraPage.menuOpen());
  const paused = await refreshes(page);
  await new Promise((resolve) => setTimeout(resolve, 500));
  assert.equal(await refreshes(page), paused, 'no refresh while paused');
  screen = await t.canvasPixels(page);
  assert.equal(differing(screen, native.violin, navigationBar), 0, 'the Violin title');

  await t.tap(page, 120, 150);
  await t.waitFor(page, (n) => window.veldraPage.refreshes() >= n + 10, 5000, paused);
  screen = await t.canvasPixels(page);
  // The rings: the orange of the scale lies where veldra-file's Violin screen has it (but
  // for what the needle and the trace cover), and not where Guitar's has it.
  const rings = (rgb) => new Set(mask(rgb, scaleOrange).map(([px, py]) => py * t.width + px));
  const shown = rings(screen);
  const unlike = (other) => [...shown].filter((p) => !other.has(p)).length +
                            [...other].filter((p) => !shown.has(p)).length;
  const offViolin = unlike(rings(native.violin)), offGuitar = unlike(rings(native.guitar));
  assert.ok(offViolin < 60 && offGuitar > 4 * offViolin,
            `rings: ${offViolin} pixels off Violin's, ${offGuitar} off Guitar's`);

  // Hidden (another tab in front): the microphone and the wake lock go, nothing is
  // tuned; shown again, both come back and the tuner goes on by itself.
  const other = await browser.newPage();
  await other.bringToFront();
  await t.waitFor(page, () => document.hidden && !window.veldraPage.microphoneLive() &&
                              window.veldraPage.wakeLock === 'released');
  const hidden = await refreshes(page);
  await new Promise((resolve) => setTimeout(resolve, 500));
  assert.equal(await refreshes(page), hidden, 'no refresh while hidden');
  await page.bringToFront();
  await t.waitFor(page, (n) => window.veldraPage.refreshes() >= n + 5 &&
                               window.veldraPage.microphoneLive() &&
                               window.veldraPage.wakeLock === 'held', 5000, hidden);
}));

test('a refused microphone gives the failure box, then what to do and a way to try again',
     () => t.withBrowser({ deny: true }, async (browser, url) => {
  const page = await t.open(browser, url);
  await page.keyboard.press('Enter');
  await t.waitFor(page, () => window.veldraPage.micFailure !== '');
  await t.waitFor(page, () => window.veldraPage.presents > 2);
  const screen = await shownOnCanvas(page, native.failure, [0, 0, 240, 320]);
  assert.equal(differing(screen, native.failure, [0, 0, 240, 320]), 0,
               'the same box as the native program shows');
  await page.keyboard.press('Enter');  // its OK
  await t.waitFor(page, () => window.veldraPage.ended !== null);
  const text = await page.$eval('#end-text', (e) => e.textContent);
  assert.match(text, /Allow it for this page/);
  assert.equal(await page.$eval('#end-button', (e) => e.textContent), 'Try again');
  assert.equal(await page.$eval('#device', (e) => e.hidden), true);
}));
