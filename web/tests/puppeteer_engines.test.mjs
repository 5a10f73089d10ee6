// The page in Chromium and in Firefox (Debian's chromium and firefox-esr, headless, driven
// by puppeteer-core: Chromium over its DevTools protocol, Firefox over WebDriver BiDi) on a
// phone's viewport, touched, its microphone a real A string 10 cents sharp through a
// PulseAudio server of the test's own: see engines.mjs for the checks. Firefox starts
// desktop helpers that outlive it when it sees a display, so neither gets one.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import puppeteer from 'puppeteer-core';
import * as e from './engines.mjs';
import * as t from './support.mjs';

const engines = {
  Chromium: (folder) => ({
    browser: 'chrome', executablePath: process.env.VELDRA_CHROMIUM || '/usr/bin/chromium',
    // The microphone without asking, and the real one: PulseAudio's default source.
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--use-fake-ui-for-media-stream',
           '--autoplay-policy=no-user-gesture-required'],
    userDataDir: fs.mkdtempSync(path.join(folder, 'profile-')),
  }),
  Firefox: (folder) => ({
    browser: 'firefox', executablePath: process.env.VELDRA_FIREFOX || '/usr/bin/firefox-esr',
    extraPrefsFirefox: {
      'media.navigator.permission.disabled': true,  // the microphone without asking
      'media.navigator.streams.fake': false,        // the real one: PulseAudio's default source
      'media.autoplay.default': 0,                  // sound may start
      'media.autoplay.blocking_policy': 0,
    },
    userDataDir: fs.mkdtempSync(path.join(folder, 'profile-')),
  }),
};

for (const [name, options] of Object.entries(engines)) {
  test(`${name} tunes a real tone as veldra-file does, on a phone by touch, and offline`,
       async (context) => {
    const folder = t.scratchFolder();
    const pulse = await e.startPulse(folder);
    const server = await t.serve(t.site);
    let browser = null;
    try {
      const reference = e.tone(folder);
      pulse.play(reference.wav);
      const env = { ...process.env, ...pulse.env, HOME: folder };
      delete env.DISPLAY;
      delete env.WAYLAND_DISPLAY;
      browser = await puppeteer.launch({ headless: true, env, protocolTimeout: 60000,
                                         ...options(folder) });
      const [page] = await browser.pages();
      await page.setViewport({ width: 390, height: 844, hasTouch: true, isMobile: true });
      const driver = {
        url: (url) => page.goto(url, { waitUntil: 'load' }),
        evaluate: (f, ...args) => page.evaluate(f, ...args),
        tap: (x, y) => page.touchscreen.tap(x, y),
        reload: () => page.reload({ waitUntil: 'load' }),
      };
      const figures = await e.checkTuning(driver, server.url, reference);
      context.diagnostic(`${name}: ${JSON.stringify(figures)}`);
      assert.equal(figures.pointer, 'touch');
      await e.checkOffline(driver, server);
    } finally {
      if (browser) await browser.close();
      await server.close();
      await pulse.stop();
      fs.rmSync(folder, { recursive: true, force: true });
    }
  });
}
