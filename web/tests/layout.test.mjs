// The page on a phone's screen, in headless Chromium with touch and a notch's safe areas:
// portrait stacks the screen over the readout across the width, landscape puts them side
// by side over most of the width; nothing scrolls, nothing lies under the notch, and the
// readout's letters are large enough to read from a music stand.
//
// A letter's height in CSS px: the rows of ink of the digits and capitals (no descenders)
// in the strip's own pixels, times the canvas's CSS scale (its box's height over its rows).
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, test } from 'node:test';
import * as t from './support.mjs';

const folder = t.scratchFolder();
after(() => fs.rmSync(folder, { recursive: true, force: true }));

const portrait = { width: 390, height: 844, insets: { top: 47, bottom: 34, left: 0, right: 0 } };
const landscape = { width: 844, height: 390, insets: { top: 0, bottom: 21, left: 47, right: 47 } };

async function turn(page, session, phone) {
  await session.send('Emulation.setSafeAreaInsetsOverride', { insets: phone.insets });
  await page.setViewport({ width: phone.width, height: phone.height, deviceScaleFactor: 2,
                           isMobile: true, hasTouch: true });
}

// Where things lie and how large, in CSS px, once the layout has settled.
function measure(page) {
  return page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => {
    const box = (id) => {
      const r = document.getElementById(id).getBoundingClientRect();
      return { left: r.left, top: r.top, right: r.right, bottom: r.bottom, width: r.width,
               height: r.height };
    };
    const readout = document.getElementById('readout');
    const ink = readout.getContext('2d').getImageData(0, 0, readout.width, readout.height);
    // Rows holding ink (a channel past half) within [left, right) x [top, bottom).
    const inkRows = (left, top, right, bottom) => {
      let first = -1, last = -1;
      for (let y = top; y < bottom; y++) {
        for (let x = left; x < right; x++) {
          const i = (y * readout.width + x) * 4;
          if (Math.max(ink.data[i], ink.data[i + 1], ink.data[i + 2]) >= 128) {
            if (first < 0) first = y;
            last = y;
            break;
          }
        }
      }
      return first < 0 ? 0 : last - first + 1;
    };
    const scale = readout.getBoundingClientRect().height / readout.height;
    const scroller = document.scrollingElement;
    resolve({
      screen: box('screen'), readout: box('readout'),
      scroll: [scroller.scrollWidth, scroller.scrollHeight],
      // The strip's words: the note left of x 82, the cents' number right of it (its word is
      // shorter), above the string's line; the frequency's small letters at the top right.
      note: inkRows(0, 0, 82, 27) * scale,
      cents: inkRows(82, 0, 150, 27) * scale,
      small: inkRows(200, 0, 240, 15) * scale,
    });
  })));
}

function assertInside(inner, outer, what) {
  assert.ok(inner.left >= outer.left - 0.5 && inner.right <= outer.right + 0.5 &&
            inner.top >= outer.top - 0.5 && inner.bottom <= outer.bottom + 0.5,
            `${what} ${JSON.stringify(inner)} inside ${JSON.stringify(outer)}`);
}

function assertFits(m, phone) {
  const safe = { left: phone.insets.left, top: phone.insets.top,
                 right: phone.width - phone.insets.right, bottom: phone.height - phone.insets.bottom };
  assertInside(m.screen, safe, 'the screen');
  assertInside(m.readout, safe, 'the readout');
  assert.deepEqual(m.scroll, [phone.width, phone.height], 'nothing to scroll');
  assert.ok(m.small >= 12 && m.note >= 24 && m.cents >= 24,
            `letters: small ${m.small}, note ${m.note}, cents ${m.cents} CSS px`);
}

test('a phone\'s screen: stacked across the width upright, side by side on its side', async () => {
  const wav = path.join(folder, 'a-string.wav');
  t.writeWav(wav, 22050, 22050 * 30, t.stringTone(t.tunerPitch(2, 9, 10), 22050));
  await t.withBrowser({ wav }, async (browser, url) => {
    const page = await t.open(browser, url);
    const session = await page.createCDPSession();
    await turn(page, session, portrait);
    await t.waitFor(page, () => window.veldraPage && window.veldraPage.presents > 0);
    const ok = await page.evaluate(() => window.veldraPage.controlRect(1012));  // its OK button
    assert.ok(ok[2] > ok[0], 'the notice\'s OK');
    const box = await (await page.$('#screen')).boundingBox();
    await page.touchscreen.tap(box.x + (ok[0] + ok[2]) / 2 * box.width / t.width,
                               box.y + (ok[1] + ok[3]) / 2 * box.height / t.height);
    await t.waitFor(page, () => window.veldraPage.refreshes() >= 20 &&
                                !document.getElementById('readout').hidden);

    let m = await measure(page);
    assertFits(m, portrait);
    assert.ok(m.readout.top >= m.screen.bottom && m.screen.width >= portrait.width - 1 &&
              m.readout.width >= portrait.width - 1, 'stacked, each across the width');

    await turn(page, session, landscape);
    await t.waitFor(page, (w) => window.innerWidth === w, 15000, landscape.width);
    m = await measure(page);
    assertFits(m, landscape);
    assert.ok(m.readout.left >= m.screen.right, 'side by side');
    assert.ok(m.screen.width + m.readout.width >= 0.55 * landscape.width,
              `the canvases span ${m.screen.width + m.readout.width} of ${landscape.width} px`);
    const safeHeight = landscape.height - landscape.insets.top - landscape.insets.bottom;
    assert.ok(m.screen.height >= safeHeight - 1, 'the screen as tall as the safe area');
  });
});
