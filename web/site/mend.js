// Mends the breaks a browser's capture leaves in the microphone's sound between render
// quanta: a quantum of zeros where its buffer ran dry, or a jump where it skipped or
// repeated a stretch to catch up (WebKit, every second or two). Either breaks the
// waveform, and the tuner reads the broken stretch a few cents off or not at all.
//
// A zero quantum in sound that was not silent is dropped. A jump is a bend of the waveform
// into a quantum far sharper than any within it (a skip bends it even where the values
// happen to meet); there the sound that follows is held until a period and a span of it
// have come, and the part of it before the waveform goes on as the last period heard
// would is dropped: the tuner then hears one unbroken note, a few milliseconds short.
// Sound that is not periodic enough to place, or that went on unbroken after all, is let
// through as it came.
export const quantumLength = 128;  // a render quantum, in samples
const span = 256;                  // samples the continuation is matched over
const sharpness = 2;               // a jump: a bend this many times the quantum's sharpest
const floor = 1e-4;                // and sharper than this, so that near silence never counts
const mostZerosDropped = 4;        // more zero quanta in a row are silence, let through
const periodic = 0.3;              // the most a period's difference may be of the energy
const clearDip = 0.15;             // a normalised difference this low is the period

export class Mender {
  constructor(rate) {
    this.shortest = Math.max(2, Math.floor(rate / 1000));  // periods sought, in samples
    this.longest = Math.ceil(rate / 30);
    this.history = new Float32Array(this.longest + 2 * span);  // the last samples let out
    this.held = new Float32Array(this.longest + span + quantumLength);  // sound after a jump
    this.heldCount = 0;
    this.holding = false;
    this.heard = 0;       // samples in history
    this.zeros = 0;       // zero quanta dropped in a row
    this.zeroQuanta = 0;  // dropped in all
    this.jumps = 0;       // mended in all
  }

  // Takes a quantum; calls out(samples) with what goes on (none, the quantum, or more).
  take(quantum, out) {
    if (this.holding) {
      this.hold(quantum);
      if (this.heldCount >= this.longest + span) this.release(out);
      return;
    }
    let zero = true;
    let sharpest = 0;  // the largest bend of the waveform within the quantum
    for (let i = 0; i < quantum.length; i++) {
      if (quantum[i] !== 0) zero = false;
      if (i > 1) {
        sharpest = Math.max(sharpest, Math.abs(quantum[i] - 2 * quantum[i - 1] + quantum[i - 2]));
      }
    }
    const h = this.history;
    const last = h[h.length - 1];
    if (zero && this.heard > 0 && last !== 0 && this.zeros < mostZerosDropped) {
      this.zeros++;
      this.zeroQuanta++;
      return;
    }
    this.zeros = 0;
    const bend = Math.abs(quantum[0] - 2 * last + h[h.length - 2]);
    if (!zero && this.heard >= h.length && bend > sharpness * sharpest + floor) {
      this.holding = true;
      this.heldCount = 0;
      this.hold(quantum);
      return;
    }
    this.remember(quantum);
    out(quantum);
  }

  hold(quantum) {
    this.held.set(quantum, this.heldCount);
    this.heldCount += quantum.length;
  }

  remember(samples) {
    const h = this.history;
    if (samples.length >= h.length) {
      h.set(samples.subarray(samples.length - h.length));
    } else {
      h.copyWithin(0, samples.length);
      h.set(samples, h.length - samples.length);
    }
    this.heard = Math.min(h.length, this.heard + samples.length);
  }

  // Lets out the held sound from where it continues the last period heard.
  release(out) {
    const held = this.held.subarray(0, this.heldCount);
    const skip = this.continuation(held);
    if (skip > 0) this.jumps++;
    const rest = held.slice(skip);
    this.holding = false;
    this.heldCount = 0;
    this.remember(rest);
    out(rest);
  }

  // The offset into held at which the waveform goes on as the history's last period
  // would, or 0 where the history holds no clear period.
  continuation(held) {
    const h = this.history;
    const n = h.length;
    const period = this.period();
    if (period === 0) return 0;
    // What would have come next: the history's last periods, repeated.
    const back = period * Math.ceil(span / period);
    let energy = 0;
    for (let i = 0; i < span; i++) energy += h[n - back + i] * h[n - back + i];
    let best = 0;
    let bestDifference = Infinity;
    for (let offset = 0; offset < period && offset + span <= held.length; offset++) {
      let difference = 0;
      for (let i = 0; i < span && difference < bestDifference; i++) {
        const d = held[offset + i] - h[n - back + i];
        difference += d * d;
      }
      if (difference < bestDifference) {
        bestDifference = difference;
        best = offset;
      }
    }
    // Where the sound goes on near enough as it was (a square wave's edge on the boundary:
    // the period is whole samples, the wave's not), nothing is dropped.
    let atStart = 0;
    for (let i = 0; i < span; i++) atStart += (held[i] - h[n - back + i]) ** 2;
    if (atStart <= periodic * energy || bestDifference > periodic * energy) return 0;
    return best;
  }

  // The history's period in samples: the first clear dip of the normalised difference of
  // its last stretch against itself lagged (as a pitch tracker finds it), else the
  // deepest where deep enough, else 0.
  period() {
    const h = this.history;
    const n = h.length;
    const values = new Float32Array(this.longest + 1);
    let sum = 0;
    for (let lag = 1; lag <= this.longest; lag++) {
      let difference = 0;
      for (let i = n - 2 * span; i < n; i++) {
        const d = h[i] - h[i - lag];
        difference += d * d;
      }
      sum += difference;
      values[lag] = sum > 0 ? difference * lag / sum : 1;
    }
    let deepest = this.shortest;
    for (let lag = this.shortest; lag <= this.longest; lag++) {
      if (values[lag] < clearDip) {
        while (lag < this.longest && values[lag + 1] < values[lag]) lag++;
        return lag;
      }
      if (values[lag] < values[deepest]) deepest = lag;
    }
    return values[deepest] < periodic ? deepest : 0;
  }
}
