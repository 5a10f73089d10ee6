#include "tuner/mode_tuning.h"

#include <cmath>

#include "analysis/analysis.h"
#include "conditioning/conditioning.h"
#include "tuner/tuner_internal.h"

namespace veldra {

void applyModeTuning(InstrumentKind kind) {
    if (kind == InstrumentKind::Guitar) {
        setSmoothingSpan(static_cast<double>(sampleRate / 8));  // 2756 samples, 125 ms
        setPeriodTolerance(0.035);
    } else if (kind == InstrumentKind::Singing) {
        setSmoothingSpan(static_cast<double>(sampleRate / 16));  // 1378 samples, 62.5 ms
        setPeriodTolerance(0.08);
    }
}

void applyConditioningRange(InstrumentKind kind) {
    const ModeEntry* mode = modeEntry(kind);
    if (mode == nullptr) return;
    // The dial's first C, and the C three turns above it where the dial ends.
    const double dialLow = c1Frequency * std::pow(2.0, mode->lowOctave - 1);
    float strings[maxStringCount];
    const bool stringed = stringFrequencies(strings, kind) > 0;
    setConditioningRange({stringed ? strings[0] : static_cast<float>(dialLow),
                          static_cast<float>(dialLow * (1 << dialOctaveSpan)),
                          kind != InstrumentKind::Bass});
}

void applyTunerMode(InstrumentKind kind) {
    if (modeEntry(kind) == nullptr) return;
    PlayerChoices choices = tunerState().choices;
    if (kind != choices.mode) choices.tuning = 0;  // another mode starts in its default
    choices.mode = kind;
    setPlayerChoices(choices);
    tuner_internal::markTunerChoices(choices);
    setupInstrument(kind);
    applyModeTuning(kind);
    applyConditioningRange(kind);
}

}  // namespace veldra
