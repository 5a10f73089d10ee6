// A sound input paced by the clock: it records a generated or stored sound at the real
// rate, as if a microphone heard it being played. The sound files and the demo use it.
//
// The sound comes from a SoundProducer, which writes 16-bit mono samples at the rate it is
// begun with; the source offers one device and opens it only for PCM, mono, 16 bits, at
// the rate the format asks for. A pacing thread, alive from open to close, fills the buffer being
// filled whole, at the moment its last sample would have been heard, so buffers come back
// one buffer length apart and never part-filled. The sound only moves on while there is a
// buffer to record into: while the device is stopped or has no buffer queued, the sound
// waits (it is paused, not lost), and it starts again one buffer length after recording
// can go on. A pacing thread that fell behind catches up at once, as far as buffers allow.
//
// Failure: open fails when the format is not the producer's or the producer cannot begin
// (an unreadable file); the producer's message goes to standard error.
// Threads: the producer runs on the pacing thread only, between begin and end.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound_input/wave_in.h"

namespace veldra {

// The sound behind a paced source.
class SoundProducer {
  public:
    virtual ~SoundProducer() = default;
    // Gets ready to produce from the start of the sound, samplesPerSecond samples a
    // second. False on failure, with a one-line message in error that names the sound
    // and the reason.
    virtual bool begin(uint32_t samplesPerSecond, std::string& error) = 0;
    // Writes the next count samples.
    virtual void produce(int16_t* samples, size_t count) = 0;
};

class PacedWaveIn : public WaveInSource {
  public:
    explicit PacedWaveIn(std::unique_ptr<SoundProducer> producer);
    ~PacedWaveIn() override;

    uint32_t deviceCount() override { return 1; }
    WaveInDevice* open(uint32_t index, const WaveFormat& format, uint32_t threadId) override;
    void close(WaveInDevice* device) override;

  private:
    void pace();                                       // the pacing thread
    void produceInto(uint8_t* bytes, uint32_t count);  // the next count bytes of sound

    std::unique_ptr<SoundProducer> producer_;  // the sound; used by the pacing thread
    std::unique_ptr<WaveInDevice> device_;     // the one open device
    uint32_t samplesPerSecond_ = 0;            // its rate; set by open
    std::vector<int16_t> scratch_;             // samples on their way into a buffer
    std::thread pacer_;                        // runs pace() from open to close
    std::mutex mutex_;                         // guards closing_; the pacer sleeps on it
    std::condition_variable wake_;             // ends the pacer's sleep at close
    bool closing_ = false;                     // set by close: the pacer returns
};

}  // namespace veldra
