#include "conditioning/input_conditioner.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace veldra {
namespace {

constexpr double rate = 22050.0;  // the analysis's rate, samples per second

// The band around a note of f Hz: high-pass at f * bandHighPassRatio, low-pass at
// f * bandLowPassRatio. A second harmonic at 2 f lies 1.48 times past the low-pass corner
// and loses 13.5 dB against the fundamental (4th order: 1 / sqrt(1 + 1.48^8)), enough
// that it no longer makes a second rise per period; a narrower band moved clean low tones'
// readings by a quarter of a cent.
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
// The band holds a note an octave below the estimate while the note's own period still
// repeats this well, unless the level rose by attackRatio since the last estimate.
constexpr float octaveHoldThreshold = 0.25f;
constexpr float attackRatio = 2.0f;
// A change of note: an estimate whose dip at the held note is shallower than
// lostThreshold, while the level holds at sustainRatio of the last (a note dying away is
// no change). A band that moves rings for a few periods and glides between the two notes,
// which the analysis would take for a pitch of its own, and the old band dims a new note
// below it: the input goes out unfiltered meanwhile, until settlePeriods of the new note
// have passed. The unfiltered input loses its mean (DC) with a time constant of
// 1 / meanStep decimated samples (90 ms).
constexpr float lostThreshold = 0.5f;
constexpr float sustainRatio = 0.9f;
constexpr double settlePeriods = 4.0;
constexpr float meanStep = 0.002f;

// The gate, on the estimator's filtered level in sample units: open at 150 (-46.8 dBFS),
// closed again under 65 (-54 dBFS): noise peaking at -50 dBFS stays out, a note peaking
// at -40 dBFS gets in and is read as it dies away.
constexpr float gateOpenLevel = 150.0f;
constexpr float gateCloseLevel = 65.0f;

// The gain: the band's peak goes to targetPeak (-6 dBFS); the envelope falls by
// releasePerStep each decimated sample (a time constant of 0.4 s), and the gain is at most
// maxGain (+54 dB, enough to lift a -46 dBFS note in a band that dims it by 14 dB).
constexpr float targetPeak = 16384.0f;
constexpr float maxGain = 500.0f;
constexpr float releasePerStep = 0.999547f;  // exp(-4 / (0.4 * 22050))
constexpr float holdShare = 0.9f;            // a peak this close to the envelope holds it
constexpr double holdPeriods = 1.5;

// Back to the full rate: a Catmull-Rom cubic through four decimated band samples gives the
// four input-rate samples between the middle two; weights[t] for t = 0, 1/4, 2/4, 3/4,
// from 0.5 (2 p1 + (p2 - p0) t + (2 p0 - 5 p1 + 4 p2 - p3) t^2 + (3 p1 - p0 - 3 p2 + p3) t^3).
constexpr float cubicWeights[estimateDecimation][4] = {
    {0.0f, 1.0f, 0.0f, 0.0f},
    {-0.0703125f, 0.8671875f, 0.2265625f, -0.0234375f},
    {-0.0625f, 0.5625f, 0.5625f, -0.0625f},
    {-0.0234375f, 0.2265625f, 0.8671875f, -0.0703125f},
};
constexpr double decimatedRate = rate / estimateDecimation;

// The weights by input sample: cubicColumns[k][t] = cubicWeights[t][k].
using Four = float __attribute__((vector_size(16)));
constexpr Four cubicColumns[4] = {
    {cubicWeights[0][0], cubicWeights[1][0], cubicWeights[2][0], cubicWeights[3][0]},
    {cubicWeights[0][1], cubicWeights[1][1], cubicWeights[2][1], cubicWeights[3][1]},
    {cubicWeights[0][2], cubicWeights[1][2], cubicWeights[2][2], cubicWeights[3][2]},
    {cubicWeights[0][3], cubicWeights[1][3], cubicWeights[2][3], cubicWeights[3][3]},
};

ConditionerState state{};

void placeBand(ConditionerState& s, double hz) {
    s.bandHz = static_cast<float>(hz);
    s.holdSteps = static_cast<int32_t>(std::ceil(holdPeriods * decimatedRate / hz));
    const double highPassHz = std::max(hz * bandHighPassRatio, static_cast<double>(s.floorHz));
    for (int32_t k = 0; k < highPassSections; ++k)
        designHighPass(s.highPass[k], highPassHz, butterworthQ(k, highPassSections), decimatedRate);
    for (int32_t k = 0; k < lowPassSections; ++k)
        designLowPass(s.lowPass[k], hz * bandLowPassRatio, butterworthQ(k, lowPassSections),
                      decimatedRate);
}

// After an estimate: the band follows a note in range, and what repeats only below the
// range (hum, outside Bass) keeps the gate shut.
void followEstimate(ConditionerState& s) {
    const PeriodEstimator& e = s.estimator;
    const float lastLevel = s.lastLevel;
    s.lastLevel = e.levelPeak;
    // The held note gone (its period no longer repeats) while the sound holds its level.
    s.bandLost = s.noteInRange && e.verdict != EstimateVerdict::Below &&
                 e.levelPeak >= sustainRatio * lastLevel &&
                 differenceAt(e, s.bandHz) > lostThreshold;
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
    if (moved <= 1.0 + bandMoveRatio && moved >= 1.0 - bandMoveRatio) return;
    // A string whose fundamental dies away before its second harmonic looks an octave
    // up; while the waveform still repeats at the held note's period and no new attack
    // came, the band stays with the note.
    const bool octaveUp = std::fabs(moved - 2.0) < 2.0 * bandMoveRatio;
    const bool attack = e.levelPeak > attackRatio * lastLevel;
    if (octaveUp && !attack && differenceAt(e, s.bandHz) < octaveHoldThreshold) return;
    s.bandHz = static_cast<float>(f);
    s.bandTo = f;
    s.bandMoved = true;
}

void updateGate(ConditionerState& s, float level) {
    if (!s.gateOpen && level >= gateOpenLevel) {
        s.gateOpen = true;
    } else if (s.gateOpen && level < gateCloseLevel) {
        s.gateOpen = false;
        s.noteInRange = false;
    }
}

// A block is conditioned in pieces of at most pieceSamples, each in three passes: the
// input summed in fours; the estimate and the gate over those sums; the band, the gain and
// the cubic over them. The filters' state stays in registers through the last pass.
constexpr int32_t pieceSamples = 1024;
constexpr int32_t pieceBoxes = pieceSamples / estimateDecimation + 1;
constexpr int32_t pieceEstimates = pieceBoxes / estimateInterval + 1;

// What the estimate pass leaves for the band's pass.
struct EstimatePass {
    struct Estimate {
        int32_t at;     // the sum it was made with
        bool lost;      // it lost the held note
        bool moved;     // it moved the band ...
        double bandTo;  // ... to this note, Hz
    };
    bool open[pieceBoxes];  // the gain applies at this sum (else 0)
    Estimate estimates[pieceEstimates];
    int32_t count;
};

void estimatePass(ConditionerState& s, const float* sums, int32_t boxes, EstimatePass& pass) {
    pass.count = 0;
    float levels[pieceBoxes];
    const auto gate = [&](int32_t b) {
        updateGate(s, levels[b]);
        pass.open[b] = s.gateOpen && s.noteInRange;
    };
    for (int32_t b = 0; b < boxes;) {
        bool estimated = false;
        const int32_t last =
            b + feedPeriodEstimator(s.estimator, sums + b, boxes - b, levels + b, estimated) - 1;
        for (; b < last; ++b)
            gate(b);
        if (estimated) {  // made with the last sum, before its gate
            s.bandMoved = false;
            followEstimate(s);
            pass.estimates[pass.count++] = {last, s.bandLost, s.bandMoved, s.bandTo};
        }
        gate(b++);
    }
}

// The band, the gain and the cubic: four output samples per sum into made.
// GCC packs the sections' state into vectors, with shuffles and spills on every sample;
// in scalar registers the pass takes a sixth less time.
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((optimize("no-tree-slp-vectorize")))
#endif
void bandPass(ConditionerState& s, const float* sums, int32_t boxes, const EstimatePass& pass,
              float* made) {
    Biquad filters[highPassSections + lowPassSections];
    const auto load = [&] {
        for (int32_t k = 0; k < highPassSections; ++k)
            filters[k] = s.highPass[k];
        for (int32_t k = 0; k < lowPassSections; ++k)
            filters[highPassSections + k] = s.lowPass[k];
    };
    const auto store = [&] {
        for (int32_t k = 0; k < highPassSections; ++k)
            s.highPass[k] = filters[k];
        for (int32_t k = 0; k < lowPassSections; ++k)
            s.lowPass[k] = filters[highPassSections + k];
    };
    load();
    float bandPeak = s.bandPeak, gain = s.gain;
    int32_t holdLeft = s.holdLeft;
    float p0 = s.recent[0], p1 = s.recent[1], p2 = s.recent[2], p3 = s.recent[3];
    float bandSince = s.bandPeakSinceEstimate, inputSince = s.inputPeakSinceEstimate;
    float inputMean = s.inputMean;
    int32_t unfilteredLeft = s.unfilteredLeft;
    int32_t next = 0;
    for (int32_t b = 0; b < boxes; ++b) {
        if (next < pass.count && pass.estimates[next].at == b) {
            const EstimatePass::Estimate& estimate = pass.estimates[next++];
            // The held note lost: the input goes out unfiltered (its level taken afresh)
            // until the next estimate, and once the band has moved to a new note, until
            // the band has settled on it.
            if (estimate.lost) {
                if (unfilteredLeft == 0) bandPeak = inputSince;
                unfilteredLeft = std::max(unfilteredLeft, estimateInterval + 1);
                holdLeft = 0;
            }
            if (estimate.moved) {
                store();
                placeBand(s, estimate.bandTo);
                load();
                if (unfilteredLeft > 0)
                    unfilteredLeft =
                        static_cast<int32_t>(settlePeriods * decimatedRate / estimate.bandTo);
            }
            bandSince = inputSince = 0.0f;
        }
        float y = sums[b];
        for (Biquad& q : filters)
            y = runBiquad(q, y);
        const float input = sums[b] - inputMean;
        inputMean += meanStep * input;
        bandSince = std::max(bandSince, std::fabs(y));
        inputSince = std::max(inputSince, std::fabs(input));
        if (unfilteredLeft > 0) {
            y = input;
            if (--unfilteredLeft == 0) {  // back to the band, at the band's level
                bandPeak = bandSince;
                holdLeft = 0;
            }
        }
        // Peak hold: a peak near the envelope holds it for holdPeriods of the band's note,
        // so that a steady note gets a steady gain (no ripple for the detector to measure);
        // only when the peaks stay lower, as a note dies away, does the envelope fall.
        const float magnitude = std::fabs(y);
        if (magnitude >= bandPeak * holdShare) {
            bandPeak = std::max(bandPeak, magnitude);
            holdLeft = s.holdSteps;
        } else if (holdLeft > 0) {
            holdLeft -= 1;
        } else {
            bandPeak *= releasePerStep;
        }
        gain = pass.open[b] ? std::min(maxGain, targetPeak / std::max(bandPeak, 1.0f)) : 0.0f;
        p0 = p1;
        p1 = p2;
        p2 = p3;
        p3 = y * gain;
        // The four outputs side by side, each summed in the same order as one alone.
        const Four v = p0 * cubicColumns[0] + p1 * cubicColumns[1] + p2 * cubicColumns[2] +
                       p3 * cubicColumns[3];
        std::memcpy(made, &v, sizeof v);
        made += estimateDecimation;
    }
    store();
    s.bandPeak = bandPeak;
    s.bandPeakSinceEstimate = bandSince;
    s.inputPeakSinceEstimate = inputSince;
    s.inputMean = inputMean;
    s.unfilteredLeft = unfilteredLeft;
    s.gain = gain;
    s.holdLeft = holdLeft;
    s.recent[0] = p0;
    s.recent[1] = p1;
    s.recent[2] = p2;
    s.recent[3] = p3;
}

// One piece: the output lags the input by one sum's four samples, so out takes what was
// pending, then what this piece made; what is left over is pending for the next.
void conditionPiece(ConditionerState& s, const int16_t* in, int16_t* out, int32_t count) {
    float sums[pieceBoxes];
    int32_t boxes = 0;
    int32_t i = 0;
    const auto add = [&](int16_t v) {
        s.boxSum += static_cast<float>(v);
        if (++s.boxCount < estimateDecimation) return;
        sums[boxes++] = s.boxSum * (1.0f / estimateDecimation);
        s.boxSum = 0.0f;
        s.boxCount = 0;
    };
    while (s.boxCount != 0 && i < count)  // a box the last piece left open
        add(in[i++]);
    static_assert(estimateDecimation == 4, "whole boxes are summed in fours");
    for (; i + estimateDecimation <= count; i += estimateDecimation, ++boxes) {
        const float sum = 0.0f + static_cast<float>(in[i]) + static_cast<float>(in[i + 1]) +
                          static_cast<float>(in[i + 2]) + static_cast<float>(in[i + 3]);
        sums[boxes] = sum * (1.0f / estimateDecimation);
    }
    while (i < count)
        add(in[i++]);
    EstimatePass pass;
    estimatePass(s, sums, boxes, pass);
    float made[estimateDecimation + estimateDecimation * pieceBoxes];
    std::copy(s.pending, s.pending + s.pendingCount, made);
    bandPass(s, sums, boxes, pass, made + s.pendingCount);
    for (int32_t k = 0; k < count; ++k)
        out[k] = static_cast<int16_t>(std::min(std::max(made[k], -32767.0f), 32767.0f));
    const int32_t total = s.pendingCount + estimateDecimation * boxes;
    s.pendingCount = total - count;
    std::copy(made + count, made + total, s.pending);
}

}  // namespace

void conditionBlock(const int16_t* in, int16_t* out, int32_t count) {
    ConditionerState& s = state;
    if (!s.enabled) {
        std::copy(in, in + count, out);
        return;
    }
    for (int32_t at = 0; at < count; at += pieceSamples)
        conditionPiece(s, in + at, out + at, std::min(pieceSamples, count - at));
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

void restartConditioner() {
    const bool enabled = state.enabled;
    const ConditioningRange range = state.range;
    resetConditioner();
    state.enabled = enabled;
    setConditioningRange(range);
}

void resetConditioner() {
    state = ConditionerState{};
    state.enabled = true;
    state.pendingCount = estimateDecimation;  // the output starts with a sum's length of silence
    // The analysis's own range, until a mode sets one.
    setConditioningRange({32.7f, 2100.0f, false});
}

namespace {

// The start values are in place before main, for a program that never resets.
const bool startValuesSet = (resetConditioner(), true);

}  // namespace

}  // namespace veldra
