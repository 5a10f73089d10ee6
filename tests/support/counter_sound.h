// A sound for the capture tests whose samples are a running counter (wrapping at 16
// bits), so that any gap, repeat or reordering shows; or, unreadable, one that cannot
// begin.
#pragma once

#include <string>

#include "platform/sound_input/wave_in_paced.h"

namespace veldra {

class CounterSound : public SoundProducer {
  public:
    explicit CounterSound(int16_t first = 0, bool readable = true)
        : next_(static_cast<uint16_t>(first)), readable_(readable) {}
    bool begin(uint32_t, std::string& error) override {
        error = "counter: no such sound";
        return readable_;
    }
    void produce(int16_t* samples, size_t count) override {
        for (size_t i = 0; i < count; ++i)
            samples[i] = static_cast<int16_t>(next_++);
    }

  private:
    uint16_t next_;
    bool readable_;
};

}  // namespace veldra
