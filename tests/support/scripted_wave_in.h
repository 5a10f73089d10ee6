// The scripted sound input for tests: its devices record only when the test says so,
// with the bytes the test chooses.
//
// The script (set before the stream opens a device): devices, what deviceCount answers
// (0: no sound input at all), and the failure it then tells, as a real source would.
// Once a device is open, recordSamples fills its queued buffers in queue order exactly as
// a device would, handing full buffers back to the recording thread.
//
// Threads: the script belongs to the thread that runs the test and the
// stream's start and stop (the main thread); the device itself is thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/sound_input/wave_in.h"

namespace veldra {

class ScriptedWaveIn : public WaveInSource {
  public:
    uint32_t devices = 1;  // what deviceCount answers
    std::string failure;   // told (tellInputFailure) when deviceCount answers 0; empty: nothing

    uint32_t deviceCount() override;
    WaveInDevice* open(uint32_t index, const WaveFormat& format, uint32_t threadId) override;
    void close(WaveInDevice* device) override;

    // The open device, or null.
    WaveInDevice* device() const { return device_.get(); }

    // Records samples as if they had been heard; returns the samples the buffers took.
    size_t recordSamples(const int16_t* samples, size_t count);

  private:
    std::unique_ptr<WaveInDevice> device_;  // the one open device
};

}  // namespace veldra
