// The page's remembered choices in headless Chromium: a tuning chosen by taps in Start >
// Settings is kept in the page's storage and read again after a reload; where the browser
// refuses storage, the choices hold for the visit and the console says so once.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import * as t from './support.mjs';

const folder = t.scratchFolder();
const wav = path.join(folder, 'a-string.wav');
let layout;  // veldra-screens' layout.json: the menu bar's buttons

// The settings dialog's controls (app/resource_script.h): OK, and each row's ">".
const okButton = 1;
const onButton = (row) => 1140 + row;
const tuningRow = 1, noticeRow = 5;

before(() => {
  t.writeWav(wav, 22050, 22050 * 30, t.stringTone(t.tunerPitch(2, 9), 22050));
  execFileSync(t.veldraScreens, [folder]);
  layout = JSON.parse(fs.readFileSync(path.join(folder, 'layout.json'), 'utf8'));
});

after(() => fs.rmSync(folder, { recursive: true, force: true }));

const centre = ([left, top, right, bottom]) => [Math.floor((left + right) / 2),
                                                Math.floor((top + bottom) / 2)];
const stored = (page) => page.evaluate(() => localStorage.getItem('veldra.settings'));

// Past the start-up notice, tuning.
async function started(page) {
  await page.keyboard.press('Enter');
  await t.waitFor(page, () => window.veldraPage.refreshes() >= 5);
}

// Start > Settings by taps, then taps on the given controls, the last of them OK.
async function settingsByTaps(page, controls) {
  await t.tap(page, ...centre(layout.buttons[0]));
  await t.waitFor(page, () => window.veldraPage.menuOpen());
  const item = await page.evaluate(() => window.veldraPage.menuItemRect(0));
  await t.tap(page, ...centre(item));
  await t.waitFor(page, (id) => window.veldraPage.controlRect(id)[2] > 0, 15000, okButton);
  for (const id of controls) {
    const rect = await page.evaluate((c) => window.veldraPage.controlRect(c), id);
    assert.ok(rect[2] > rect[0], `control ${id} on the screen`);
    await t.tap(page, ...centre(rect));
  }
  await t.waitFor(page, (id) => window.veldraPage.controlRect(id)[2] === 0, 15000, okButton);
}

test('a tuning chosen by taps is kept in the page\'s storage and read after a reload',
     () => t.withBrowser({ wav }, async (browser, url) => {
  const page = await t.open(browser, url);
  assert.equal(await stored(page), null, 'nothing kept before a choice');
  await started(page);
  await settingsByTaps(page, [onButton(tuningRow), okButton]);
  assert.match(await stored(page), /\ntuning=drop D\n/);  // the format: settings_store_test

  // After a reload the dialog starts from what was kept: OK alone keeps drop D (a page
  // that had not read it would write the standard tuning back).
  await page.reload({ waitUntil: 'load' });
  await t.waitFor(page, () => window.veldraPage && window.veldraPage.presents > 0);
  await started(page);
  await settingsByTaps(page, [okButton]);
  assert.match(await stored(page), /\ntuning=drop D\n/);
  assert.deepEqual(page.messages.filter((m) => m.startsWith('page error')), []);
}));

test('where storage is refused the choices hold for the visit and the console says so once',
     () => t.withBrowser({ wav }, async (browser, url) => {
  const [first] = await browser.pages();
  await first.evaluateOnNewDocument(() => {
    Object.defineProperty(window, 'localStorage', {
      get() { throw new DOMException('storage is off for this site', 'SecurityError'); },
    });
  });
  const page = await t.open(browser, url);
  await started(page);
  await settingsByTaps(page, [onButton(noticeRow), okButton]);
  await settingsByTaps(page, [onButton(tuningRow), okButton]);
  const said = page.messages.filter((m) => m.includes('for this visit only'));
  assert.equal(said.length, 1, page.messages.join('\n'));
  await t.tap(page, 120, 150);  // the page goes on: paused on drop D's strings until a tap
  const resumed = await page.evaluate(() => window.veldraPage.refreshes());
  await t.waitFor(page, (n) => window.veldraPage.refreshes() >= n + 5, 5000, resumed);
  assert.equal(await page.evaluate(() => window.veldraPage.ended), null);
}));
