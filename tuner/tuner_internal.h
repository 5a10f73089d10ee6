// Shared by the tuner's own sources only: what the start-up, the mode commands and the
// pipeline report to the tuner's state record.
#pragma once

#include "tuner/tuner_state.h"

namespace veldra::tuner_internal {

// The views are set up for Guitar (the first paint): the readout may say something now.
void markTunerStarted();

// The choices the mode commands and applyTunerChoices set; the next reading names their
// strings.
void markTunerChoices(const PlayerChoices& choices);

// A dial refresh: the frequency the dial was given and whether it was stable.
void noteDialReading(float frequency, bool stable);

}  // namespace veldra::tuner_internal
