// The scripted sound input for tests: its devices record only when the test says so,
// with the bytes the test chooses.
//
// The script (set before the stream opens a device):
//   devices          what deviceCount answers (0: no sound input at all)
//   firstOpenable    devices below this index refuse to open; set it to devices or more
//                    to have every device refuse, like hardware that cannot record
// What the script saw (for assertions): countQueries, openAttempts.
// Once a device is open, record / recordSamples fill its queued buffers in queue order
// exactly as a device would, handing full buffers back to the recording thread. Call
// device()->stop() to hand back a partly filled buffer.
//
// Threads: the script and its counters belong to the thread that runs the test and the
// stream's start and stop (the main thread); the device itself is thread-safe.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/sound_input/wave_in.h"

namespace veldra {

class ScriptedWaveIn : public WaveInSource {
  public:
    uint32_t devices = 1;        // what deviceCount answers
    uint32_t firstOpenable = 0;  // lowest index that opens
    uint32_t countQueries = 0;   // deviceCount calls so far
    uint32_t openAttempts = 0;   // open calls so far
    WaveFormat openedFormat{};   // the format of the last successful open

    uint32_t deviceCount() override;
    WaveInDevice* open(uint32_t index, const WaveFormat& format, uint32_t threadId) override;
    void close(WaveInDevice* device) override;

    // The open device, or null.
    WaveInDevice* device() const { return device_.get(); }

    // Records bytes as if they had been heard; returns the bytes the buffers took.
    size_t record(const void* bytes, size_t count);
    size_t recordSamples(const int16_t* samples, size_t count);

  private:
    std::unique_ptr<WaveInDevice> device_;  // the one open device
};

}  // namespace veldra
