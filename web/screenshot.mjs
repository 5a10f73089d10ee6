// node web/screenshot.mjs FILE.png: the page as a phone shows it, tuning the A string 10
// cents sharp (the fake microphone), at twice the handheld's pixels: README's picture.
import path from 'node:path';
import * as t from './tests/support.mjs';

const file = path.resolve(process.argv[2] || 'browser.png');
const folder = t.scratchFolder();
const wav = path.join(folder, 'a-string.wav');
t.writeWav(wav, 22050, 22050 * 30, t.stringTone(t.tunerPitch(2, 9, 10), 22050));
const server = await t.serve(t.site);
const browser = await t.launch({ wav });
try {
  const page = await t.open(browser, server.url);
  await page.setViewport({ width: 480, height: 768 });  // the screen and the strip, doubled
  await page.keyboard.press('Enter');
  await t.waitFor(page, () => window.veldraPage.refreshes() >= 25);
  await page.screenshot({ path: file });
} finally {
  await browser.close();
  await server.close();
}
