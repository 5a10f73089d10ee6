#include "platform/sound_files/resampler.h"

#include <soxr.h>

namespace veldra {

Resampler::~Resampler() {
    close();
}

bool Resampler::open(int32_t inputRate, int32_t outputRate, std::string& error) {
    close();
    if (inputRate <= 0 || outputRate <= 0) {
        error = "no such sample rate";
        return false;
    }
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    // One thread: the conversion is cheap, and the live input runs it in the audio
    // callback, which must not wait for others.
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t failure = nullptr;
    soxr_t state = soxr_create(inputRate, outputRate, 1, &failure, &io, &quality, &runtime);
    if (state == nullptr || failure != nullptr) {
        error = failure != nullptr ? failure : "the resampler cannot be made";
        soxr_delete(state);
        return false;
    }
    state_ = state;
    return true;
}

bool Resampler::process(const float* input, size_t inputCount, size_t& taken, float* output,
                        size_t capacity, size_t& given, std::string& error) {
    taken = given = 0;
    if (state_ == nullptr) return false;
    const soxr_error_t failure =
        soxr_process(static_cast<soxr_t>(state_), input, input != nullptr ? inputCount : 0,
                     input != nullptr ? &taken : nullptr, output, capacity, &given);
    if (failure != nullptr) {
        error = failure;
        return false;
    }
    return true;
}

void Resampler::reset() {
    if (state_ != nullptr) soxr_clear(static_cast<soxr_t>(state_));
}

void Resampler::close() {
    if (state_ != nullptr) soxr_delete(static_cast<soxr_t>(state_));
    state_ = nullptr;
}

}  // namespace veldra
