// The microphone's sound on the audio thread: mono render quanta (128 frames at the
// context's rate, the device's) gathered into pieces of about 46 ms (2176 samples at
// 48 kHz) and handed to the page, transferred, not copied. Fewer, larger pieces keep the
// page's thread mostly asleep.
const pieceLength = 128 * Math.max(1, Math.round(sampleRate * 0.046 / 128));

class VeldraCapture extends AudioWorkletProcessor {
  constructor() {
    super();
    this.piece = new Float32Array(pieceLength);
    this.filled = 0;
  }

  process(inputs) {
    const channel = inputs[0] && inputs[0][0];
    if (!channel) return true;  // nothing connected (yet): stay alive
    for (let at = 0; at < channel.length;) {
      const n = Math.min(channel.length - at, pieceLength - this.filled);
      this.piece.set(channel.subarray(at, at + n), this.filled);
      this.filled += n;
      at += n;
      if (this.filled === pieceLength) {
        this.port.postMessage(this.piece, [this.piece.buffer]);
        this.piece = new Float32Array(pieceLength);
        this.filled = 0;
      }
    }
    return true;
  }
}

registerProcessor('veldra-capture', VeldraCapture);
