#include "tests/support/scripted_wave_in.h"

namespace veldra {

uint32_t ScriptedWaveIn::deviceCount() {
    if (devices == 0 && !failure.empty()) tellInputFailure(failure);
    return devices;
}

WaveInDevice* ScriptedWaveIn::open(uint32_t index, const WaveFormat&, uint32_t threadId) {
    if (device_ || index >= devices) return nullptr;
    device_ = std::make_unique<WaveInDevice>(this, threadId);
    return device_.get();
}

void ScriptedWaveIn::close(WaveInDevice* device) {
    if (device == device_.get()) device_.reset();
}

size_t ScriptedWaveIn::recordSamples(const int16_t* samples, size_t count) {
    if (!device_) return 0;
    return device_->record(reinterpret_cast<const uint8_t*>(samples), count * sizeof(int16_t)) /
           sizeof(int16_t);
}

}  // namespace veldra
