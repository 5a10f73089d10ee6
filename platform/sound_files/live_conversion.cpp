#include "platform/sound_files/live_conversion.h"

namespace veldra {

bool LiveConversion::open(int32_t inputRate, int32_t outputRate, std::string& error) {
    close();
    if (inputRate != outputRate && !resampler_.open(inputRate, outputRate, error)) return false;
    safe_.assign(chunk, 0.0f);
    converted_.assign(chunk, 0.0f);
    samples_.assign(chunk, 0);
    open_ = true;
    return true;
}

void LiveConversion::close() {
    resampler_.close();
    open_ = false;
}

const int16_t* LiveConversion::toSamples(const float* values, size_t count) {
    for (size_t i = 0; i < count; ++i)
        samples_[i] = toSample16(values[i]);
    return samples_.data();
}

}  // namespace veldra
