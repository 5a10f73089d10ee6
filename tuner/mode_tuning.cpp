#include "tuner/mode_tuning.h"

#include "analysis/analysis.h"
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

void applyTunerMode(InstrumentKind kind) {
    if (modeEntry(kind) == nullptr) return;
    PlayerChoices choices = tunerState().choices;
    if (kind != choices.mode) choices.tuning = 0;  // another mode starts in its default
    choices.mode = kind;
    setPlayerChoices(choices);
    tuner_internal::markTunerChoices(choices);
    setupInstrument(kind);
    applyModeTuning(kind);
}

}  // namespace veldra
