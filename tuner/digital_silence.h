// Digital silence: a stretch in which every sample is exactly zero (a muted source, a player
// that stopped sending, the zeros after a recording's end). The crossing detector meets no
// rise in it, so the validator would go on showing the last pitch for as long as the
// silence lasts, where the faintest noise ends a pitch by itself. Once the zeros in a row
// reach a second's worth, the pitch is dropped (dropPitch), and again at every block while
// they last; the first sample that is not zero starts the count again.
//
// Thread: main thread only (inside analyzeBlock); no locking.
#pragma once

#include <cstdint>

#include "analysis/analysis.h"

namespace veldra {

// Zero samples in a row after which the pitch is dropped: one second.
inline constexpr int32_t digitalSilenceSamples = sampleRate;

struct SilenceState {
    int32_t zeroRun;  // samples in a row that were exactly 0, 0..digitalSilenceSamples
};

// Counts the block's samples (count >= 1) and drops the pitch once the run is long enough.
void hearDigitalSilence(const int16_t* block, int32_t count);

// Read-only view for tests.
const SilenceState& silenceState();

// No zeros counted.
void resetDigitalSilence();

}  // namespace veldra
