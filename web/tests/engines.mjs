// What the engines' tests share (puppeteer_engines.test.mjs, webkit.test.mjs):
// a PulseAudio server of their own whose default source hears what is played into its
// sink, so that the engine's microphone gets a real tone; an X server for an engine that
// needs one; and the tuning checks every engine goes through, written against a small
// driver (url, evaluate, tap, reload, close) that each test makes from its engine's
// automation.
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import * as t from './support.mjs';

const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// ---- servers ----

// A child that is ended (and waited for) by stop().
export function child(command, args, options = {}) {
  const process = spawn(command, args, { stdio: ['ignore', 'ignore', 'pipe'], ...options });
  let errors = '';
  process.stderr.on('data', (d) => { errors += d; });
  const ended = new Promise((resolve) => process.on('exit', resolve));
  return {
    process,
    errors: () => errors,
    stop: async () => {
      if (process.exitCode === null && process.signalCode === null) process.kill();
      await ended;
    },
  };
}

// Polls test (which may return a promise) until it holds.
export async function until(what, test, timeout = 10000) {
  const end = Date.now() + timeout;
  while (!(await test())) {
    if (Date.now() > end) throw new Error(`${what} did not happen within ${timeout} ms`);
    await pause(50);
  }
}

// A PulseAudio server in folder: a sink "speaker" whose sound the default source "mic"
// hears. env is what its clients need; play(file) plays a WAV into the speaker.
export async function startPulse(folder) {
  const home = path.join(folder, 'pulse-home');
  fs.mkdirSync(home, { mode: 0o700 });
  fs.writeFileSync(path.join(home, 'server.pa'), [
    'load-module module-native-protocol-unix',
    'load-module module-null-sink sink_name=speaker',
    'load-module module-remap-source source_name=mic master=speaker.monitor',
    'set-default-source mic', 'set-default-sink speaker', ''].join('\n'));
  const server = child('pulseaudio', ['--daemonize=no', '--exit-idle-time=-1', '--system=false',
                                      '-n', '-F', path.join(home, 'server.pa')],
                       { env: { ...process.env, HOME: home, XDG_RUNTIME_DIR: home } });
  const env = { PULSE_SERVER: `unix:${home}/pulse/native` };
  const answers = () => {
    try {
      execFileSync('pactl', ['info'], { env: { ...process.env, ...env }, stdio: 'ignore' });
      return true;
    } catch {
      return false;
    }
  };
  await until('pulseaudio answering', answers);
  const players = [];
  return {
    env,
    play: (file) => players.push(child('paplay', ['-d', 'speaker', file],
                                       { env: { ...process.env, ...env } })),
    stop: async () => {
      for (const p of players) await p.stop();
      await server.stop();
    },
  };
}

// An X server on a display it picks itself; display is ':N'.
export async function startXvfb() {
  const server = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1024x2048x24', '-nolisten', 'tcp'],
                       { stdio: ['ignore', 'ignore', 'ignore', 'pipe'] });
  const ended = new Promise((resolve) => server.on('exit', resolve));
  let number = '';
  server.stdio[3].on('data', (d) => { number += d; });
  await until('Xvfb giving its display', () => number.includes('\n'));
  return {
    display: `:${number.trim()}`,
    stop: async () => {
      server.kill();
      await ended;
    },
  };
}

// ---- the tone and veldra-file's view of it ----

const needleGreen = [90, 255, 90];  // the dial's needle as the page shows it
const rate = 48000;

function needleCentre(rgb) {
  let sx = 0, sy = 0, n = 0;
  for (let y = 26; y < 294; y++) {
    for (let x = 0; x < t.width; x++) {
      const i = (y * t.width + x) * 3;
      if (rgb[i] === needleGreen[0] && rgb[i + 1] === needleGreen[1] && rgb[i + 2] === needleGreen[2]) {
        sx += x;
        sy += y;
        n++;
      }
    }
  }
  return n > 0 ? [sx / n, sy / n] : null;
}

// An A string 10 cents sharp at the rate devices run, long enough for every check, and
// what veldra-file makes of it 3 s in: the needle's centre and the reading's cents from A.
export function tone(folder) {
  const wav = path.join(folder, 'a-string.wav');
  t.writeWav(wav, rate, rate * 90, t.stringTone(t.tunerPitch(2, 9, 10), rate));
  const png = path.join(folder, 'a-string.png');
  execFileSync(t.veldraFile, ['--png', png, '--at', '3', wav]);
  const lines = execFileSync(t.veldraFile, ['--csv', wav], { encoding: 'utf8' }).trim().split('\n');
  const hz = lines.map((l) => l.split(',')).filter((f) => f[3] === '1' && Number(f[1]) <= 3).pop()[2];
  return { wav, needle: needleCentre(t.readPng(png).rgb),
           cents: 1200 * Math.log2(Number(hz) / t.tunerPitch(2, 9)) };
}

// ---- the checks ----

export async function waitFor(driver, predicate, timeout = 15000, ...args) {
  const end = Date.now() + timeout;
  for (;;) {
    if (await driver.evaluate(predicate, ...args)) return;
    if (Date.now() > end) {
      const page = await driver.evaluate(() => JSON.stringify(window.veldraPage));
      throw new Error(`waited ${timeout} ms for ${predicate}; the page: ${page}`);
    }
    await pause(50);
  }
}

// A tap on the middle of control id of the dialog in front, in page coordinates.
async function tapControl(driver, id) {
  const [x, y] = await driver.evaluate((control, width, height) => {
    const [left, top, right, bottom] = window.veldraPage.controlRect(control);
    const box = document.getElementById('screen').getBoundingClientRect();
    return [box.left + (left + right) / 2 * box.width / width,
            box.top + (top + bottom) / 2 * box.height / height];
  }, id, t.width, t.height);
  await driver.tap(Math.round(x), Math.round(y));
}

const readingTheNotice = 3000;  // ms
const okButton = 1012;  // the start-up notice's OK (app/resource_script.h)
const noticeShown = (id) => window.veldraPage && window.veldraPage.presents > 0 &&
                            window.veldraPage.controlRect(id)[2] > 0;

// The page at url on a phone-sized viewport: the start-up notice, its OK by a tap (the
// figures' pointer says whether it came as a touch), the first reading and how soon, the
// needle where veldra-file has it, and the readout within 2 cents of veldra-file's
// reading every second for 10 s. Returns the figures.
export async function checkTuning(driver, url, reference) {
  await driver.url(url);
  await waitFor(driver, noticeShown, 20000, okButton);
  const viewport = await driver.evaluate(() => [window.innerWidth, window.innerHeight]);
  assert.ok(viewport[0] < 600 && viewport[1] > viewport[0], `a phone's viewport: ${viewport}`);
  // The player reads the notice; meanwhile the microphone the page asked for as it loaded
  // starts (a fresh sound server's first sound takes about 2 s to reach its recorders).
  await pause(readingTheNotice);
  await driver.evaluate(() => {
    document.getElementById('screen').addEventListener('pointerdown', (event) => {
      window.tappedWith = event.pointerType;
    }, { once: true });
  });
  await tapControl(driver, okButton);
  const pointer = await driver.evaluate(() => window.tappedWith);
  // A reading must come; how soon is a figure the diagnostics give (README), not a
  // pass mark: a busy machine delays a browser's first frames by hundreds of ms.
  await waitFor(driver, () => window.veldraPage.firstFrameMs !== null);
  const first = await driver.evaluate(() => window.veldraPage.firstFrameMs);

  // The needle: the median distance from veldra-file's over three screens, a refresh
  // or more apart, so that one screen drawn while the machine was busy does not decide.
  await waitFor(driver, () => window.veldraPage.refreshes() >= 30);
  assert.ok(reference.needle !== null, 'a needle on veldra-file\'s screen');
  const distances = [];
  while (distances.length < 3) {
    const needle = needleCentre(await t.canvasPixels(driver));
    assert.ok(needle !== null, 'a needle on the page\'s screen');
    distances.push(Math.hypot(needle[0] - reference.needle[0], needle[1] - reference.needle[1]));
    await pause(150);
  }
  const off = distances.sort((a, b) => a - b)[1];
  assert.ok(off <= 2, `needle ${distances.map((d) => d.toFixed(1))} px from veldra-file's`);

  const cents = [];
  const strayReadings = [];
  for (let second = 0; second < 10; second++) {
    if (second > 0) await pause(1000);
    const reading = await driver.evaluate(() => window.veldraPage.reading());
    cents.push(reading === null ? null : reading.cents);
    if (reading === null || reading.note !== 'A 2' ||
        Math.abs(reading.cents - reference.cents) > 2) strayReadings.push(JSON.stringify(reading));
  }
  assert.deepEqual(strayReadings, [],
                   `readout against veldra-file's A 2 ${reference.cents.toFixed(2)}`);
  const breaks = await driver.evaluate(() => window.veldraPage.breaks());
  return { firstMs: first, needleOff: off, cents, breaks, viewport, pointer };
}

// After the visit, with the server stopped: the page comes from the service worker and
// tunes.
export async function checkOffline(driver, server) {
  await waitFor(driver, () => navigator.serviceWorker.controller !== null);
  await server.close();
  await driver.reload();
  await waitFor(driver, noticeShown, 20000, okButton);
  await tapControl(driver, okButton);
  await waitFor(driver, () => window.veldraPage.refreshes() >= 10);
}
