#include "app/desktop_readout.h"

#include "platform/windows/windows.h"
#include "tuner/tuner.h"

namespace veldra {
namespace {

struct ReadoutState {
    Readout shown;          // what the strip shows
    bool drawn;             // the strip has been drawn and handed over at least once
    int32_t refreshesRead;  // the pipeline's dial refreshes when the reading was taken
    Readout reading;        // the last refresh's reading; Empty once paused or lost
    ReadoutWords words;     // what the strip says: equal words, equal pixels
    uint16_t pixels[readoutWidth * readoutHeight];  // the strip, RGB565
};

ReadoutState state{};

}  // namespace

void updateDesktopReadout(const ReadoutInputs& inputs) {
    const PipelineState& pipeline = pipelineState();
    if (pipeline.dialRefreshes != state.refreshesRead) {
        state.refreshesRead = pipeline.dialRefreshes;
        state.reading = pipeline.shownStable
                            ? Readout{ReadoutKind::Reading, pipeline.shownFrequency, inputs.mode}
                            : Readout{};
    }
    // A reading from before a pause is stale: after it, nothing until the next refresh.
    if (isDrawingSuspended() || inputs.inputLost) state.reading = Readout{};
    Readout now = state.reading;
    if (!inputs.started)
        now = Readout{};
    else if (inputs.inputLost)
        now = Readout{ReadoutKind::InputLost};
    else if (isDrawingSuspended())
        now = Readout{ReadoutKind::Paused};
    if (state.drawn && now == state.shown) return;
    state.shown = now;
    // Most refreshes move the reading by less than the strip shows: nothing to draw then.
    const ReadoutWords words = wordReadout(now);
    if (state.drawn && words == state.words) return;
    state.words = words;
    drawReadoutStrip(state.pixels, words);
    state.drawn = true;
    showReadout(state.pixels);
}

const Readout& desktopReadout() {
    return state.shown;
}

void resetDesktopReadout() {
    state = ReadoutState{};
}

}  // namespace veldra
