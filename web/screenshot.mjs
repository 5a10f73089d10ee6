// node web/screenshot.mjs FILE.png [--landscape]: the page as a phone shows it, tuning the A
// string 10 cents sharp (the fake microphone): upright at twice the handheld's pixels, or
// on its side as an 844 x 390 phone with touch and a notch's safe areas: README's pictures.
import path from 'node:path';
import * as t from './tests/support.mjs';

const file = path.resolve(process.argv.slice(2).find((a) => !a.startsWith('--')) || 'browser.png');
const landscape = process.argv.includes('--landscape');
const folder = t.scratchFolder();
const wav = path.join(folder, 'a-string.wav');
t.writeWav(wav, 22050, 22050 * 30, t.stringTone(t.tunerPitch(2, 9, 10), 22050));
const server = await t.serve(t.site);
const browser = await t.launch({ wav });
try {
  const page = await t.open(browser, server.url);
  if (landscape) {
    const session = await page.createCDPSession();
    await session.send('Emulation.setSafeAreaInsetsOverride',
                       { insets: { top: 0, bottom: 21, left: 47, right: 47 } });
    await page.setViewport({ width: 844, height: 390, isMobile: true, hasTouch: true });
    await t.waitFor(page, () => window.veldraPage && window.veldraPage.presents > 0);
  } else {
    await page.setViewport({ width: 480, height: 768 });  // the screen and the strip, doubled
  }
  await page.keyboard.press('Enter');
  await t.waitFor(page, () => window.veldraPage.refreshes() >= 25);
  await page.screenshot({ path: file });
} finally {
  await browser.close();
  await server.close();
}
