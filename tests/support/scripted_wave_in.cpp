#include "tests/support/scripted_wave_in.h"

namespace veldra {

uint32_t ScriptedWaveIn::deviceCount() {
    ++countQueries;
    return devices;
}

WaveInDevice* ScriptedWaveIn::open(uint32_t index, const WaveFormat& format, uint32_t threadId) {
    ++openAttempts;
    if (device_ || index >= devices || index < firstOpenable) return nullptr;
    device_ = std::make_unique<WaveInDevice>(this, threadId);
    openedFormat = format;
    return device_.get();
}

void ScriptedWaveIn::close(WaveInDevice* device) {
    if (device == device_.get()) device_.reset();
}

size_t ScriptedWaveIn::record(const void* bytes, size_t count) {
    if (!device_) return 0;
    return device_->record(static_cast<const uint8_t*>(bytes), count);
}

size_t ScriptedWaveIn::recordSamples(const int16_t* samples, size_t count) {
    return record(samples, count * sizeof(int16_t)) / sizeof(int16_t);
}

}  // namespace veldra
