#include "tuner/tuner_choices.h"

#include "tuner/mode_tuning.h"
#include "tuner/tuner_internal.h"
#include "tuner/tuner_state.h"

namespace veldra {

bool applyTunerChoices(const TunerChoices& choices) {
    if (!validPlayerChoices(choices)) return false;
    const bool newMode = choices.mode != tunerState().choices.mode;
    setPlayerChoices(choices);
    tuner_internal::markTunerChoices(choices);
    if (tunerState().started) setupInstrument(choices.mode);
    if (newMode) applyModeTuning(choices.mode);
    return true;
}

const TunerChoices& tunerChoices() {
    return tunerState().choices;
}

}  // namespace veldra
