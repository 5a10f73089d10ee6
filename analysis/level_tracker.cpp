#include "analysis/level_tracker.h"

#include <algorithm>
#include <cmath>

#include "analysis/period_validator.h"

namespace veldra {
namespace {

constexpr float thresholdFactor = 0.2f;  // share of the span between an extreme and its threshold
constexpr float decayFactor = 0.015f;    // share of the span each extreme decays per update

constexpr DetectorState startState() {
    DetectorState s{};
    s.envelopeInterval = sampleRate / 500;
    s.analysisRate = sampleRate;
    return s;
}

DetectorState state = startState();

// Once per 45 samples: thresholds from the envelope as it stands, then the decay step.
inline void updateEnvelope(DetectorState& d) {
    const int32_t span = d.levelMax - d.levelMin;
    const auto v = static_cast<int32_t>(static_cast<float>(span) * thresholdFactor);
    d.lowerThreshold = static_cast<int16_t>(d.levelMin + v);
    d.upperThreshold = static_cast<int16_t>(d.levelMax - v);
    d.levelMax = static_cast<int16_t>(d.levelMax - d.levelDecay);
    d.levelMin = static_cast<int16_t>(d.levelMin + d.levelDecay);
    d.levelDecay = static_cast<int32_t>(static_cast<float>(d.levelMax - d.levelMin) * decayFactor);
    if (d.levelMax <= d.levelMin) d.levelMin = d.levelMax;
    d.envelopeCountdown = d.envelopeInterval;
}

// A rise at sample s after p: interpolate, hand the candidate on, restart the count.
// d is trackBlock's working copy; the validator reads the envelope span through
// envelopeSpan, so the copy goes back into the state first.
inline void onRise(DetectorState& d, int32_t p, int32_t s) {
    d.crossingFraction = static_cast<float>(d.upperThreshold - p) / static_cast<float>(s - p);
    state = d;
    validatePeriod(d.samplesSinceCrossing + d.crossingFraction);
    // Thresholds that fell under both samples give wild fractions; the count restarts
    // from 0 rather than from them, but the candidate above keeps the raw value.
    if (std::fabs(static_cast<double>(d.crossingFraction)) > 2.0) d.crossingFraction = 0.0f;
    d.samplesSinceCrossing = -d.crossingFraction;
}

}  // namespace

bool trackBlock(const int16_t* samples, int32_t count) {
    // A local copy, which the compiler keeps in registers: with the state itself every
    // field would be stored back at each sample, since validatePeriod might read it.
    DetectorState d = state;
    int32_t p = d.previousSample;
    // The block goes in runs that end where the envelope is due for an update (the
    // countdown counts the samples before that one) or at the block's end, so that the
    // per-sample loop has no countdown of its own. Every run holds at least one sample.
    for (int32_t i = 0; i < count;) {
        const int32_t run = std::min(count - i, std::max(d.envelopeCountdown, 0) + 1);
        for (const int32_t end = i + run; i < end; ++i) {
            const int32_t s = samples[i];
            d.samplesSinceCrossing += 1.0f;
            if (d.signalHigh == 0) {
                if (s > d.upperThreshold) {
                    d.signalHigh = 1;
                    onRise(d, p, s);
                }
            } else if (s < d.lowerThreshold) {
                d.signalHigh = 0;
            }
            if (s > d.levelMax) {
                d.levelMax = static_cast<int16_t>(s);
                d.levelDecay = 0;
            }
            if (s < d.levelMin) {
                d.levelMin = static_cast<int16_t>(s);
                d.levelDecay = 0;
            }
            p = s;
        }
        d.envelopeCountdown -= run;
        if (d.envelopeCountdown < 0) updateEnvelope(d);
    }
    d.previousSample = static_cast<int16_t>(p);
    state = d;
    return validatorState().pitchStable;
}

void setAnalysisRate(int32_t samplesPerSecond) {
    state.analysisRate = samplesPerSecond;
}

int32_t envelopeSpan() {
    return state.levelMax - state.levelMin;
}

const DetectorState& detectorState() {
    return state;
}

void resetDetector() {
    state = startState();
}

}  // namespace veldra
