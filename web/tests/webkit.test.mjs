// The page in WebKit (Debian's WebKitGTK: MiniBrowser driven by WebKitWebDriver, WebDriver
// classic over plain HTTP) under an X server of the test's own, scaled twice over so that
// its window is a phone's page; its microphone a real A string 10 cents sharp through a
// PulseAudio server of the test's own (GStreamer's pulsesrc): see engines.mjs for the
// checks. WebKitGTK's driver turns a touch into the mouse, so the tap comes as a mouse's.
import fs from 'node:fs';
import net from 'node:net';
import { test } from 'node:test';
import * as e from './engines.mjs';
import * as t from './support.mjs';

const miniBrowser = process.env.VELDRA_MINIBROWSER ||
  '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';
// The page's zoom on the window (GDK_DPI_SCALE): the driver's pointer is placed in the
// window's pixels, not the page's.
const scale = 2;
const browserArgs = ['--automation', '--enable-media-stream=true',
                     '--enable-mock-capture-devices=false', '--enable-webaudio=true',
                     '--autoplay-policy=allow'];

async function freePort() {
  const probe = net.createServer();
  await new Promise((resolve) => probe.listen(0, '127.0.0.1', resolve));
  const { port } = probe.address();
  await new Promise((resolve) => probe.close(resolve));
  return port;
}

// A WebDriver session on the driver at base: its commands, each a plain HTTP request.
async function session(base) {
  const call = async (method, where, body) => {
    const response = await fetch(`${base}${where}`, {
      method, headers: { 'Content-Type': 'application/json' },
      body: body === undefined ? undefined : JSON.stringify(body),
    });
    const answer = await response.json();
    if (!response.ok) throw new Error(`${method} ${where}: ${JSON.stringify(answer.value)}`);
    return answer.value;
  };
  const made = await call('POST', '/session', { capabilities: { alwaysMatch: {
    'webkitgtk:browserOptions': { binary: miniBrowser, args: browserArgs } } } });
  const own = (method, where, body) => call(method, `/session/${made.sessionId}${where}`, body);
  return {
    url: (url) => own('POST', '/url', { url }),
    evaluate: (f, ...args) => own('POST', '/execute/sync', {
      script: `return (${f}).apply(null, arguments);`, args }),
    tap: (x, y) => own('POST', '/actions', { actions: [{
      type: 'pointer', id: 'finger', parameters: { pointerType: 'touch' },
      actions: [{ type: 'pointerMove', x: x * scale, y: y * scale, origin: 'viewport' },
                { type: 'pointerDown', button: 0 }, { type: 'pointerUp', button: 0 }] }] }),
    reload: () => own('POST', '/refresh', {}),
    resize: (width, height) => own('POST', '/window/rect', { width, height }),
    close: () => call('DELETE', `/session/${made.sessionId}`),
  };
}

test('WebKit tunes a real tone as veldra-file does, on a phone\'s page by a tap, and offline', async (context) => {
  const folder = t.scratchFolder();
  const pulse = await e.startPulse(folder);
  const x = await e.startXvfb();
  const server = await t.serve(t.site);
  let driverProcess = null, browser = null;
  try {
    const reference = e.tone(folder);
    pulse.play(reference.wav);
    const port = await freePort();
    driverProcess = e.child('WebKitWebDriver', [`--port=${port}`], { env: {
      ...process.env, ...pulse.env, HOME: folder, DISPLAY: x.display, GDK_DPI_SCALE: `${scale}`,
      XDG_RUNTIME_DIR: folder, XDG_CACHE_HOME: `${folder}/cache`, XDG_DATA_HOME: `${folder}/data` } });
    const base = `http://127.0.0.1:${port}`;
    await e.until('WebKitWebDriver answering',
                  () => fetch(`${base}/status`).then(() => true, () => false));
    browser = await session(base);
    await browser.resize(scale * 390, scale * 844);  // a phone's page
    const figures = await e.checkTuning(browser, server.url, reference);
    context.diagnostic(`WebKit: ${JSON.stringify(figures)}`);
    await e.checkOffline(browser, server);
  } finally {
    if (browser) await browser.close().catch(() => {});
    if (driverProcess) await driverProcess.stop();
    await server.close();
    await x.stop();
    await pulse.stop();
    fs.rmSync(folder, { recursive: true, force: true });
  }
});
