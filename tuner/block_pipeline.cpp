#include "tuner/block_pipeline.h"

#include "analysis/analysis.h"
#include "conditioning/conditioning.h"
#include "display/display.h"
#include "tuner/digital_silence.h"
#include "tuner/tuner_internal.h"
#include "views/views.h"

namespace veldra {
namespace {

constexpr PipelineState startState() {
    PipelineState s{};
    s.refreshDivisor = 10;
    s.drawsScreen = true;
    return s;
}

PipelineState state = startState();

// The conditioned copy of a block. The capture's blocks and veldra-file's are 220 samples;
// room for 0.4 s takes the longest the fuzzer makes in one piece.
constexpr int32_t conditionedCapacity = sampleRate * 2 / 5;
int16_t conditioned[conditionedCapacity];

// Advances the refresh phase by count samples; true when this block is a refresh point.
// The accumulator ends in 1..interval. A block longer than the interval passes more than
// one refresh point but shows one frame; the points it skips are dropped, as under
// backlog, so the later ones still fall on the sound's own clock (and the count cannot
// overflow).
bool countTowardRefresh(PipelineState& s, int32_t count) {
    const int32_t interval = sampleRate / s.refreshDivisor;
    const int64_t counted = static_cast<int64_t>(s.refreshAccumulator) + count;
    if (counted <= interval) {
        s.refreshAccumulator = static_cast<int32_t>(counted);
        return false;
    }
    s.refreshAccumulator = static_cast<int32_t>((counted - 1) % interval + 1);
    return true;
}

}  // namespace

void analyzeBlock(const int16_t* block, int32_t count, bool backlog) {
    PipelineState& s = state;
    if (count < 1) return;
    const bool refresh = countTowardRefresh(s, count);
    // The phase above runs on through a pause or a lost input, so the first refresh after
    // it comes where the uninterrupted count puts it.
    if (tunerState().paused || tunerState().inputLost) return;

    hearDigitalSilence(block, count);  // on the input itself: raw or conditioned alike
    // What the analysis and the trace read: the conditioned copy, or the block itself with
    // conditioning off. A block longer than the copy's room goes through in parts, each
    // analysed and traced; the last part stands for the block in what follows.
    // Without the screen the trace only keeps its history, as under backlog.
    const bool traceUnseen = backlog || !s.drawsScreen;
    const int16_t* samples = block;
    if (conditionerState().enabled) {
        for (; count > conditionedCapacity;
             block += conditionedCapacity, count -= conditionedCapacity) {
            conditionBlock(block, conditioned, conditionedCapacity);
            trackBlock(conditioned, conditionedCapacity);
            drawTrace(conditioned, conditionedCapacity, traceUnseen, recentPeriod(0));
        }
        conditionBlock(block, conditioned, count);
        samples = conditioned;
    }
    const bool stable = trackBlock(samples, count);
    double period = currentPeriod();
    const double listedPeriod = recentPeriod(0);  // 0.0 while none is listed
    const bool showFrame = refresh && !backlog;
    if (showFrame) {
        if (period == 0.0) period = 1.0;  // before the first period: 22050 Hz, off the dial
        const auto frequency =
            static_cast<float>(static_cast<double>(static_cast<float>(sampleRate)) / period);
        updateDial(frequency, stable, {listedPeriod, frequencyFromPeriod(listedPeriod)});
        s.dialRefreshes += 1;
        s.shownFrequency = frequency;
        s.shownStable = stable;
        tuner_internal::noteDialReading(frequency, stable);
    }
    drawTrace(samples, count, traceUnseen, listedPeriod);
    if (showFrame && s.drawsScreen) {
        presentFrame();
        fadeInk();
    }
}

void clearShownReading() {
    clearInk();
    presentFrame();
}

bool setRefreshDivisor(int32_t divisor) {
    if (divisor < 1 || divisor > sampleRate) return false;
    state.refreshDivisor = divisor;
    return true;
}

void setScreenDrawing(bool on) {
    state.drawsScreen = on;
}

void setInputConditioning(bool on) {
    setConditioning(on);
}

const PipelineState& pipelineState() {
    return state;
}

void resetBlockPipeline() {
    state = startState();
}

}  // namespace veldra
