#include "tuner/tuner_state.h"

#include "audio/audio.h"
#include "display/display.h"
#include "tuner/block_pipeline.h"
#include "tuner/tuner_internal.h"
#include "tuner/tuner_startup.h"

namespace veldra {
namespace {

constexpr TunerState startState() {
    TunerState s{};
    s.choices = PlayerChoices{};
    return s;
}

TunerState state = startState();

// What the readout says, from the record (see the header), and the listener told when that
// changed.
void tellReadout() {
    Readout now = state.reading;
    if (!state.started)
        now = Readout{};
    else if (state.failure.kind != ReadoutKind::Empty)
        now = state.failure;
    else if (state.inputLost)
        now = Readout{state.inputLostForGood ? ReadoutKind::InputEnded : ReadoutKind::InputLost};
    else if (state.paused)
        now = Readout{ReadoutKind::Paused};
    if (now == state.readout) return;
    state.readout = now;
    if (state.listener != nullptr) state.listener(now);
}

// The reading is gone: the next one starts the steadying afresh.
void forgetReading() {
    state.reading = Readout{};
    resetSteadyReading(state.steadied);
}

}  // namespace

void pauseTuner() {
    state.paused = true;
    forgetReading();
    suspendDrawing();
    tellReadout();
}

void resumeTuner() {
    state.paused = false;
    resumeDrawing();
    tellReadout();
}

void setInputLost(bool lost, bool forGood) {
    // The sound that comes back has nothing to do with the one before the loss: what the
    // analysis heard then is no reading now.
    if (state.inputLost && !lost) restartAnalysis();
    state.inputLost = lost;
    state.inputLostForGood = lost && forGood;
    if (lost) {
        forgetReading();
        clearShownReading();
    }
    tellReadout();
}

void setInputFailed(std::string_view reason) {
    state.failure = failedInputReadout(reason);
    tellReadout();
}

bool handleTunerMessage(uint32_t message) {
    if (message != CaptureReadyMessage) return false;
    drainCapture();
    return true;
}

void repaintTuner() {
    if (!state.started) return;
    // The display shows nothing while paused; for this one frame it may.
    resumeDrawing();
    presentFrame();
    if (state.paused) suspendDrawing();
}

void listenToReadout(ReadoutListener listener) {
    state.listener = listener;
    if (listener != nullptr) listener(state.readout);
}

const TunerState& tunerState() {
    return state;
}

void resetTunerState() {
    state = startState();
}

namespace tuner_internal {

void markTunerStarted() {
    state.started = true;
    tellReadout();
}

void markTunerChoices(const PlayerChoices& choices) {
    state.choices = choices;
}

void dropTunerReading() {
    forgetReading();
    tellReadout();
}

void noteDialReading(float frequency, bool stable) {
    if (stable)
        state.reading = {ReadoutKind::Reading, steadyReading(state.steadied, frequency),
                         state.choices.mode};
    else
        forgetReading();
    tellReadout();
}

}  // namespace tuner_internal
}  // namespace veldra
