// LiveConversion: a live input's mono values, at the rate its device runs, as the tuner's
// 16-bit samples at its own rate: each value made safe, converted by the one resampler
// (resampler.h) and made a sample as the sound files' are (sample_conversion.h). At the
// tuner's rate the values pass straight through. The browser's microphone takes this road
// from an AudioContext at the device's rate, so that no browser's converter sits between
// the string and the tuner.
//
// Memory: open allocates; convert does not. Thread: one at a time.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/sound_files/resampler.h"
#include "platform/sound_files/sample_conversion.h"

namespace veldra {

class LiveConversion {
  public:
    // Ready for values at inputRate, samples at outputRate; false with error saying why.
    bool open(int32_t inputRate, int32_t outputRate, std::string& error);
    void close();
    bool isOpen() const { return open_; }

    // Converts count values, handing each run of samples made to deliver(samples, n).
    // False with error set if the conversion fails or was never opened.
    template <typename Deliver>
    bool convert(const float* values, size_t count, Deliver&& deliver, std::string& error) {
        if (!open_) return error = "the conversion is not open", false;
        for (size_t done = 0; done < count;) {
            const size_t n = std::min(chunk, count - done);
            for (size_t i = 0; i < n; ++i)
                safe_[i] = sanitize(values[done + i]);
            done += n;
            if (!resampler_.isOpen()) {
                deliver(toSamples(safe_.data(), n), n);
                continue;
            }
            for (size_t used = 0; used < n;) {
                size_t taken = 0, given = 0;
                if (!resampler_.process(safe_.data() + used, n - used, taken, converted_.data(),
                                        converted_.size(), given, error))
                    return false;
                used += taken;
                if (given > 0) deliver(toSamples(converted_.data(), given), given);
                if (taken == 0 && given == 0) break;
            }
        }
        return true;
    }

  private:
    static constexpr size_t chunk = 1024;  // values converted at a time

    const int16_t* toSamples(const float* values, size_t count);

    bool open_ = false;
    Resampler resampler_;  // open only between different rates
    std::vector<float> safe_, converted_;
    std::vector<int16_t> samples_;
};

}  // namespace veldra
