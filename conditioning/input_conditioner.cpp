#include "conditioning/input_conditioner.h"

#include <algorithm>
#include <cmath>

namespace veldra {
namespace {

constexpr double rate = 22050.0;  // the analysis's rate, samples per second

// The band around a note of f Hz: high-pass at f * bandHighPassRatio, low-pass at
// f * bandLowPassRatio. A second harmonic sits at 2 f, an octave above the low-pass
// corner's 1.35 f by less than one: it loses about 24 dB against the fundamental.
constexpr double bandHighPassRatio = 0.75;
constexpr double bandLowPassRatio = 1.35;
constexpr double bandMoveRatio = 0.04;  // the band moves when the note strays further

// The high-pass never goes below floorRatio times the lowest note. The estimate looks down
// to estimateFloorRatio times it, and at least to humFloorHz, so that it sees mains hum's
// whole period (20 ms at 50 Hz) and not only the harmonics that fall in a violin's range;
// a note counts as in range from a semitone below the lowest note.
constexpr double floorRatio = 0.7;
constexpr double estimateFloorRatio = 0.7;
constexpr double humFloorHz = 45.0;
constexpr double inRangeRatio = 0.94;
constexpr int32_t belowRunToShut = 3;  // estimates, 70 ms

// The gate, on the estimator's filtered level in sample units: open at 150 (-46.8 dBFS),
// closed again under 110 (-49.5 dBFS): noise peaking at -50 dBFS stays out, a note
// peaking at -40 dBFS gets in.
constexpr float gateOpenLevel = 150.0f;
constexpr float gateCloseLevel = 110.0f;

// The gain: the band's peak goes to targetPeak (-6 dBFS); the envelope falls by
// releasePerSample each sample (a time constant of 0.4 s), and the gain is at most
// maxGain (+54 dB, enough to lift a -46 dBFS note in a band that dims it by 14 dB).
constexpr float targetPeak = 16384.0f;
constexpr float maxGain = 500.0f;
constexpr float releasePerSample = 0.999887f;  // exp(-1 / (0.4 * 22050))
constexpr int32_t gainStep = 32;               // samples between gain updates

ConditionerState state{};

void placeBand(ConditionerState& s, double hz) {
    s.bandHz = static_cast<float>(hz);
    const double highPassHz = std::max(hz * bandHighPassRatio, static_cast<double>(s.floorHz));
    for (int32_t k = 0; k < highPassSections; ++k)
        designHighPass(s.highPass[k], highPassHz, butterworthQ(k, highPassSections), rate);
    for (int32_t k = 0; k < lowPassSections; ++k)
        designLowPass(s.lowPass[k], hz * bandLowPassRatio, butterworthQ(k, lowPassSections), rate);
}

// After an estimate: the band follows a note in range, and what repeats only below the
// range (hum, outside Bass) keeps the gate shut.
void followEstimate(ConditionerState& s) {
    const PeriodEstimator& e = s.estimator;
    if (e.verdict == EstimateVerdict::None) return;
    if (e.verdict == EstimateVerdict::Below) {
        // One estimate that loses a note in hum does not cut the note off; a run does.
        s.belowRun += 1;
        if (s.belowRun >= belowRunToShut) s.noteInRange = false;
        return;
    }
    s.belowRun = 0;
    s.noteInRange = true;
    const double f = estimatedFrequency(e);
    const double moved = f / static_cast<double>(s.bandHz);
    if (moved > 1.0 + bandMoveRatio || moved < 1.0 - bandMoveRatio) placeBand(s, f);
}

void updateGate(ConditionerState& s) {
    const float level = s.estimator.levelPeak;
    if (!s.gateOpen && level >= gateOpenLevel) {
        s.gateOpen = true;
    } else if (s.gateOpen && level < gateCloseLevel) {
        s.gateOpen = false;
        s.noteInRange = false;
    }
}

// count samples (at most gainStep) through the band into band[], and their peak.
float filterRun(ConditionerState& s, const int16_t* in, float* band, int32_t count) {
    float peak = 0.0f;
    for (int32_t i = 0; i < count; ++i) {
        const auto x = static_cast<float>(in[i]);
        if (feedPeriodEstimator(s.estimator, x)) {
            followEstimate(s);
            updateGate(s);
            fprintf(stderr, "v=%d f=%.1f band=%.1f gate=%d in=%d lvl=%.0f gain=%.2f\n",
                    (int)s.estimator.verdict, estimatedFrequency(s.estimator), s.bandHz, s.gateOpen,
                    s.noteInRange, s.estimator.levelPeak, s.gain);
        }
        float y = x;
        for (Biquad& q : s.highPass)
            y = runBiquad(q, y);
        for (Biquad& q : s.lowPass)
            y = runBiquad(q, y);
        band[i] = y;
        peak = std::max(peak, std::fabs(y));
    }
    return peak;
}

}  // namespace

void conditionBlock(const int16_t* in, int16_t* out, int32_t count) {
    ConditionerState& s = state;
    if (!s.enabled) {
        std::copy(in, in + count, out);
        return;
    }
    float band[gainStep];
    for (int32_t at = 0; at < count; at += gainStep) {
        const int32_t run = std::min(gainStep, count - at);
        const float peak = filterRun(s, in + at, band, run);
        updateGate(s);
        // The envelope takes in this run's own peak before its gain is set, so that an
        // attack is never lifted past full scale.
        s.bandPeak =
            std::max(peak, s.bandPeak * std::pow(releasePerSample, static_cast<float>(run)));
        const bool open = s.gateOpen && s.noteInRange;
        s.gain = open ? std::min(maxGain, targetPeak / std::max(s.bandPeak, 1.0f)) : 0.0f;
        for (int32_t i = 0; i < run; ++i) {
            const float v = std::clamp(band[i] * s.gain, -32767.0f, 32767.0f);
            out[at + i] = static_cast<int16_t>(std::lrint(v));
        }
    }
}

void setConditioningRange(const ConditioningRange& range) {
    ConditionerState& s = state;
    s.range = range;
    const double lowest = static_cast<double>(range.lowestHz);
    s.floorHz = static_cast<float>(lowest * floorRatio);
    // Without hum to tell apart, everything the estimate sees is a note.
    const double estimateFloor = lowest * estimateFloorRatio;
    const double lookDownTo = range.humBelow ? std::min(estimateFloor, humFloorHz) : estimateFloor;
    resetPeriodEstimator(s.estimator, lookDownTo,
                         range.humBelow ? lowest * inRangeRatio : lookDownTo,
                         static_cast<double>(range.highestHz), lowest * floorRatio);
    s.noteInRange = false;
    s.belowRun = 0;
    placeBand(s, lowest);
}

void setConditioning(bool enabled) {
    state.enabled = enabled;
}

const ConditionerState& conditionerState() {
    return state;
}

void resetConditioner() {
    state = ConditionerState{};
    state.enabled = true;
    // The analysis's own range, until a mode sets one.
    setConditioningRange({32.7f, 2100.0f, false});
}

namespace {

// The start values are in place before main, for a program that never resets.
const bool startValuesSet = (resetConditioner(), true);

}  // namespace

}  // namespace veldra
