#include "tuner/digital_silence.h"

#include <algorithm>

namespace veldra {
namespace {
SilenceState state{};
}  // namespace

void hearDigitalSilence(const int16_t* block, int32_t count) {
    // Walked from the end: in sound, the last sample already ends the search.
    int32_t zeros = 0;
    while (zeros < count && block[count - 1 - zeros] == 0)
        ++zeros;
    const int64_t run = zeros == count ? int64_t{state.zeroRun} + count : zeros;
    state.zeroRun = static_cast<int32_t>(std::min<int64_t>(run, digitalSilenceSamples));
    if (state.zeroRun == digitalSilenceSamples) dropPitch();
}

const SilenceState& silenceState() {
    return state;
}

void resetDigitalSilence() {
    state = SilenceState{};
}

}  // namespace veldra
