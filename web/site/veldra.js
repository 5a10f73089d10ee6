// The page around the program (veldra.mjs, built from web/main.cpp): it shows the screen
// the program presents, hands it the page's input and the microphone's sound, and looks
// after the browser's side of things (the microphone's life, the wake lock, the service
// worker, what to say when the program ends). platform/web/ is the program's side.
//
// Sections: screen / input / microphone / page life / the program
import createVeldra from './veldra.mjs';
import { Mender, quantumLength } from './mend.js';

const width = 240;
const height = 320;

// What tests and measurements read (scripts/web-figures, web/tests/).
const page = window.veldraPage = {
  presents: 0,           // screens presented by the program
  readouts: 0,           // readout strips presented
  frames: 0,             // animation frames that wrote to a canvas
  uploaded: 0,           // pixels written to the canvases (only what changed)
  firstGestureAt: null,  // performance.now() of the first tap or key: the start-up notice's OK
  firstFrameMs: null,    // from then to the first screen with a reading on it
  micFailure: '',        // why the microphone could not be had ('' while it could)
  pieces: 0,             // pieces of sound handed to the program
  wakeLock: 'none',      // 'held', 'released', or why not
  ended: null,           // the program's exit code once it has ended
  refreshes: () => (program ? program._veldra_web_refreshes() : 0),  // the dial's, so far
  menuOpen: () => program !== null && program._veldra_web_menu_open() !== 0,
  // [left, top, right, bottom) in screen pixels of control id of the dialog in front, or
  // of item index of the open menu (all 0: none).
  controlRect: (id) => [0, 1, 2, 3].map((side) => program._veldra_web_control_rect(id, side)),
  menuItemRect: (index) => [0, 1, 2, 3].map((side) => program._veldra_web_menu_item_rect(index, side)),
  // What the readout shows: { note ('A 2'), cents (the signed whole number shown),
  // frequency (Hz) }, or null while it shows no reading.
  reading: () => {
    const words = (part) => (program ? program.UTF8ToString(program._veldra_web_reading_words(part)) : '');
    const note = words(0);
    if (!note) return null;
    return { note, cents: parseInt(words(1), 10), frequency: program._veldra_web_reading_frequency() };
  },
  // The capture's breaks mended so far: zero quanta dropped and jumps (web/site/mend.js).
  breaks: () => (mender ? { zeroQuanta: mender.zeroQuanta, jumps: mender.jumps } : null),
  microphoneLive: () => stream !== null && stream.getTracks().some((k) => k.readyState === 'live'),
};

let program = null;  // the module, once it has started

// ---- screen ----

const device = document.getElementById('device');
const screen = document.getElementById('screen');
const readout = document.getElementById('readout');

// RGB565 to RGBA as the desktop's window shows it: each channel's top bits repeated into
// its low bits (0xAABBGGRR in little-endian memory).
const colours = new Uint32Array(65536);
for (let p = 0; p < 65536; p++) {
  const r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
  colours[p] = (0xFF000000 | (((b << 3) | (b >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) |
                ((r << 3) | (r >> 2))) >>> 0;
}

// A canvas that the program's pictures (RGB565) are written to: only the rectangle that
// differs from the picture before is converted and uploaded, so a needle's move costs the
// needle's few rows and a still screen nothing.
function surface(canvas, rows) {
  const context = canvas.getContext('2d', { alpha: false });
  const image = context.createImageData(width, rows);
  const out = new Uint32Array(image.data.buffer);
  const shown = new Uint16Array(width * rows);
  let dirty = null;  // [left, top, right, bottom) not yet on the canvas
  let first = true;  // nothing shown yet: all of it differs

  function take(pixels) {
    let left = width, top = rows, right = 0, bottom = 0;
    for (let y = 0, i = 0; y < rows; y++) {
      for (let x = 0; x < width; x++, i++) {
        const p = pixels[i];
        if (p === shown[i] && !first) continue;
        shown[i] = p;
        out[i] = colours[p];
        if (x < left) left = x;
        if (x >= right) right = x + 1;
        if (y < top) top = y;
        bottom = y + 1;
      }
    }
    first = false;
    if (right === 0) return false;
    dirty = dirty === null ? [left, top, right, bottom]
      : [Math.min(dirty[0], left), Math.min(dirty[1], top),
         Math.max(dirty[2], right), Math.max(dirty[3], bottom)];
    return true;
  }

  function draw() {
    if (dirty === null) return;
    const [left, top, right, bottom] = dirty;
    context.putImageData(image, 0, 0, left, top, right - left, bottom - top);
    page.uploaded += (right - left) * (bottom - top);
    dirty = null;
  }
  return { take, draw };
}

const screenSurface = surface(screen, height);
let readoutSurface = null;  // made with the first strip, which brings its rows

// The program presents only when its screen changed (ten times a second while tuning);
// the canvases are written at the next animation frame, once however many came before.
let drawPending = false;
function draw() {
  drawPending = false;
  page.frames++;
  screenSurface.draw();
  if (readoutSurface) readoutSurface.draw();
}
function schedule() {
  if (!drawPending) requestAnimationFrame(draw);
  drawPending = true;
}

function present(pixels) {
  page.presents++;
  if (page.firstFrameMs === null && page.firstGestureAt !== null &&
      program && program._veldra_web_refreshes() > 0) {
    page.firstFrameMs = performance.now() - page.firstGestureAt;
  }
  if (screenSurface.take(pixels)) schedule();
}

function presentReadout(pixels, rows) {
  if (readoutSurface === null) {
    readout.height = rows;
    readoutSurface = surface(readout, rows);
    readout.hidden = false;
    fit();
  }
  page.readouts++;
  if (readoutSurface.take(pixels)) schedule();
}

// The largest sizes at which the screen and the readout strip (once it shows) fit what the
// safe area leaves: one above the other at the same scale, or, where that makes the screen
// larger (a phone on its side), side by side, the strip taking the width the screen leaves.
const gap = 8;  // CSS px between them side by side
function fit() {
  const room = { width: device.clientWidth, height: device.clientHeight };
  if (room.width === 0 || room.height === 0) return;
  const strip = readout.hidden ? 0 : readout.height;
  const stacked = Math.min(room.width / width, room.height / (height + strip));
  const beside = strip === 0 ? 0 : Math.min(room.height / height, room.width / 2 / width);
  const sideBySide = beside > stacked;
  let screenScale = stacked, stripScale = stacked;
  if (sideBySide) {
    screenScale = beside;
    stripScale = Math.min((room.width - gap - Math.floor(width * beside)) / width,
                          room.height / strip);
  }
  device.classList.toggle('side-by-side', sideBySide);
  readout.style.marginLeft = sideBySide ? `${gap}px` : '0';
  size(screen, screenScale);
  size(readout, stripScale);
}
function size(canvas, scale) {
  canvas.style.width = `${Math.floor(canvas.width * scale)}px`;
  canvas.style.height = `${Math.floor(canvas.height * scale)}px`;
}
window.addEventListener('resize', fit);
fit();

// ---- input ----

// InputKind's numbers (platform/windows/window_backend.h).
const input = { pointerDown: 0, pointerUp: 1, pointerMove: 2, keyDown: 3, keyUp: 4,
                focusGained: 5, focusLost: 6, minimised: 7 };

function send(kind, x = 0, y = 0, key = 0, control = false, shift = false) {
  if (program && page.ended === null) {
    program._veldra_web_input(kind, x, y, key, control ? 1 : 0, shift ? 1 : 0);
  }
}

// The first gesture lets the browser start sound: the start-up notice's OK.
function gesture() {
  if (page.firstGestureAt !== null) return;
  page.firstGestureAt = performance.now();
  startAudio();
}

function screenPoint(event) {
  const box = screen.getBoundingClientRect();
  return [Math.floor((event.clientX - box.left) * width / box.width),
          Math.floor((event.clientY - box.top) * height / box.height)];
}
const clamp = (v, top) => Math.max(0, Math.min(top - 1, v));

let stylus = null;  // the pointer that is down on the screen
screen.addEventListener('pointerdown', (event) => {
  if (stylus !== null || event.button !== 0) return;
  const [x, y] = screenPoint(event);
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  stylus = event.pointerId;
  screen.setPointerCapture(event.pointerId);
  event.preventDefault();
  send(input.pointerDown, x, y);
});
screen.addEventListener('pointermove', (event) => {
  if (event.pointerId !== stylus) return;
  const [x, y] = screenPoint(event);
  send(input.pointerMove, clamp(x, width), clamp(y, height));
});
function lift(event) {
  if (event.pointerId !== stylus) return;
  stylus = null;
  const [x, y] = screenPoint(event);
  gesture();
  send(input.pointerUp, clamp(x, width), clamp(y, height));
}
screen.addEventListener('pointerup', lift);
screen.addEventListener('pointercancel', lift);

// Keys as the desktop program takes them: virtual-key codes.
function virtualKey(event) {
  const k = event.key;
  if (k.length === 1 && /[a-z0-9]/i.test(k)) return k.toUpperCase().charCodeAt(0);
  return { Tab: 0x09, Enter: 0x0D, Escape: 0x1B, ' ': 0x20, ArrowLeft: 0x25, ArrowUp: 0x26,
           ArrowRight: 0x27, ArrowDown: 0x28, F10: 0x79 }[k] || 0;
}
function key(kind, event) {
  const code = virtualKey(event);
  if (code === 0 || event.altKey || event.metaKey) return;
  // The browser keeps its own shortcuts, except the program's two (Ctrl+A, Ctrl+Q).
  if (event.ctrlKey && code !== 0x41 && code !== 0x51) return;
  event.preventDefault();
  if (kind === input.keyDown) {
    if (event.repeat) return;
    gesture();
  }
  send(kind, 0, 0, code, event.ctrlKey, event.shiftKey);
}
window.addEventListener('keydown', (event) => key(input.keyDown, event));
window.addEventListener('keyup', (event) => key(input.keyUp, event));

let focused = true;  // as the program starts: its window has the focus
function focus(gained) {
  if (gained === focused) return;
  focused = gained;
  send(gained ? input.focusGained : input.focusLost);
}
window.addEventListener('blur', () => focus(false));
window.addEventListener('focus', () => focus(true));

// ---- microphone ----

// Asked for as the page loads, so that it is there when the notice's OK starts the tuner.
const constraints = { audio: { echoCancellation: false, noiseSuppression: false,
                               autoGainControl: false, channelCount: 1 }, video: false };
let stream = null;      // the microphone while the page has it
let source = null;      // the microphone in the context
let capture = null;     // the worklet node that hands out the sound
let recording = false;  // the program has the microphone open
let wakeLock = null;

function takeMicrophone() {
  if (!navigator.mediaDevices || !navigator.mediaDevices.getUserMedia) {
    return Promise.resolve('NotSupportedError: no microphone on a page that is not secure');
  }
  return navigator.mediaDevices.getUserMedia(constraints).then(
    (s) => { stream = s; return ''; },
    (error) => `${error.name}: ${error.message}`);
}
let microphone = takeMicrophone();  // its answer: '' or why not; null: let go while hidden

// The context and its worklet are made as the page loads, so that the notice's OK only has
// to resume it (browsers let sound start only from a gesture); until then it is suspended.
// It runs at the device's own rate (none asked for), so that the browser converts nothing:
// the program converts to its rate with its own resampler, the same in every browser. It
// plays nothing, so where the browser can it renders to no output device at all (that
// saves a device stream and its thread), and with 60 ms of latency its audio thread wakes
// for several render quanta at a time rather than for each (2.7 ms at 48 kHz): together
// about half of the page's CPU while tuning. The tuner shows ten screens a second, so 60 ms
// more between the string and the needle does not show.
// Where the browser says that a context may start unasked (Firefox, where the player lets
// sound play), it is made at the OK instead: one made now starts on its own a moment later,
// and the microphone's sound reached it only about 2 s after that, however late the OK came
// (nor did closing it, or suspending it till the OK, bring the sound sooner).
let audio = null;
let worklet = null;  // the worklet's module loading into the context

function makeAudio() {
  audio = new AudioContext({ latencyHint: 0.06, sinkId: { type: 'none' } });
  worklet = audio.audioWorklet.addModule('capture-worklet.js');
  if (audio.state === 'running') audio.suspend();
}
const startsUnasked = typeof navigator.getAutoplayPolicy === 'function' &&
                      navigator.getAutoplayPolicy('audiocontext') === 'allowed';
if (!startsUnasked) makeAudio();

function startAudio() {
  if (audio === null) makeAudio();
  if (audio.state === 'suspended' && !document.hidden) audio.resume();
}

// The pieces are whole render quanta, where the capture's breaks fall: each goes through
// the mender, and what it lets out on to the program.
let mender = null;     // made for each stretch of sound the microphone gives
let mended = null;     // what the mender let out of the piece so far
let mendedCount = 0;
function keep(samples) {
  if (mended === null || mendedCount + samples.length > mended.length) {
    const larger = new Float32Array(2 * (mendedCount + samples.length));
    if (mended !== null) larger.set(mended.subarray(0, mendedCount));
    mended = larger;
  }
  mended.set(samples, mendedCount);
  mendedCount += samples.length;
}

function heard(piece) {
  if (!recording || !program) return;
  mendedCount = 0;
  for (let at = 0; at < piece.length; at += quantumLength) {
    mender.take(piece.subarray(at, at + quantumLength), keep);
  }
  const at = program._veldra_web_sound_buffer() >> 2;
  for (let from = 0; from < mendedCount;) {
    const n = Math.min(mendedCount - from, program._veldra_web_sound_capacity());
    program.HEAPF32.set(mended.subarray(from, from + n), at);
    program._veldra_web_sound(n);
    from += n;
  }
  page.pieces++;
}

function connect() {
  mender = new Mender(audio.sampleRate);
  source = audio.createMediaStreamSource(stream);
  source.connect(capture);
}

function disconnect() {
  if (source) source.disconnect();
  source = null;
  if (stream) stream.getTracks().forEach((track) => track.stop());
  stream = null;
}

async function holdWakeLock() {
  if (!('wakeLock' in navigator)) { page.wakeLock = 'not offered by this browser'; return; }
  try {
    wakeLock = await navigator.wakeLock.request('screen');
    page.wakeLock = 'held';
    wakeLock.addEventListener('release', () => { page.wakeLock = 'released'; });
  } catch (error) {
    page.wakeLock = `${error.name}: ${error.message}`;
  }
}

// The program opens the microphone (platform/web/wave_in_web.cpp): '' when it records.
async function openMicrophone() {
  if (microphone === null) microphone = takeMicrophone();
  const failure = await microphone;
  if (failure) {
    page.micFailure = failure;
    return failure;
  }
  startAudio();
  await worklet;
  // WebKit runs only the nodes the destination pulls: the node's output (silence, as it
  // writes none) goes there.
  capture = new AudioWorkletNode(audio, 'veldra-capture', {
    numberOfInputs: 1, numberOfOutputs: 1, outputChannelCount: [1], channelCount: 1,
    channelCountMode: 'explicit' });
  capture.connect(audio.destination);
  capture.port.onmessage = (event) => heard(event.data);
  connect();
  recording = true;
  holdWakeLock();
  return '';
}

function closeMicrophone() {
  recording = false;
  disconnect();
  if (capture) {
    capture.port.onmessage = null;
    capture.disconnect();
  }
  capture = null;
  if (audio) audio.suspend();
  if (wakeLock) wakeLock.release();
  wakeLock = null;
}

// ---- page life ----

// Hidden: the program pauses as a minimised desktop window does, and the microphone goes
// (its light off, the sound system idle); shown: both come back.
document.addEventListener('visibilitychange', async () => {
  if (document.hidden) {
    focus(false);
    send(input.minimised);
    if (recording) {
      disconnect();
      audio.suspend();
    } else if (stream && page.ended === null) {
      disconnect();  // not yet tuning: asked for again when shown
      microphone = null;
    }
    return;
  }
  if (microphone === null && !document.hidden) microphone = takeMicrophone();
  if (recording) {
    const failure = await takeMicrophone();
    if (!failure && recording && !document.hidden && !source) {
      connect();
      await audio.resume();
      holdWakeLock();
    }
  }
  if (!document.hidden) focus(true);
});

// What to do when the microphone could not be had, by the browser's reason.
function advice(failure) {
  const name = failure.split(':')[0];
  switch (name) {
    case 'NotAllowedError':
    case 'SecurityError':
      return 'Veldra needs the microphone. Allow it for this page (the icon beside the ' +
             'address, or the browser\'s site settings), then try again.';
    case 'NotFoundError':
    case 'OverconstrainedError':
      return 'No microphone was found. Connect one, then try again.';
    case 'NotReadableError':
      return 'The microphone is busy or the system refused it. Close whatever else ' +
             'records, then try again.';
    case 'NotSupportedError':
      return 'The browser gives the microphone only to pages served over HTTPS (or from ' +
             'this computer). Open Veldra through https://, then try again.';
    default:
      return `The microphone could not be opened (${failure}). Check it, then try again.`;
  }
}

function ended(code) {
  page.ended = code;
  closeMicrophone();
  const text = document.getElementById('end-text');
  const button = document.getElementById('end-button');
  if (page.micFailure) {
    text.textContent = advice(page.micFailure);
  } else if (code === 0) {
    text.textContent = 'Veldra has closed.';
    button.textContent = 'Start again';
  } else {
    text.textContent = 'Veldra stopped after a failure (the browser\'s console says which).';
  }
  button.onclick = () => location.reload();
  device.hidden = true;
  document.getElementById('end').hidden = false;
  button.focus();
}

if ('serviceWorker' in navigator) {
  navigator.serviceWorker.register('sw.js').catch(() => {});
}

// ---- the program ----

// The module calls these (platform/web/); main runs inside createVeldra, up to its first
// wait for input (the start-up notice), so the hooks are in place before it starts.
program = await createVeldra({
  veldraPresent: present,
  veldraPresentReadout: presentReadout,
  veldraSetTitle: (title) => { document.title = title; },
  veldraOpenMicrophone: openMicrophone,
  veldraCloseMicrophone: closeMicrophone,
  veldraSoundRate: () => audio.sampleRate,
  veldraEnded: ended,
  veldraWakeUp: null,  // set while the program waits (window_backend_web.cpp)
});
