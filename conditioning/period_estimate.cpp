#include "conditioning/period_estimate.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace veldra {
namespace {

constexpr double decimatedRate = 22050.0 / estimateDecimation;
constexpr float dipThreshold = 0.15f;         // a dip this deep is a period: take the first
constexpr float looseThreshold = 0.35f;       // else the deepest, if at least this deep
constexpr float noteOverHumThreshold = 0.7f;  // a note's dip under hum: see estimate
constexpr float levelDecay = 0.996f;          // per decimated sample: a time constant of 45 ms

// The cumulative mean normalised difference of the newest e.window samples against
// each lag, into d[lag] for 1 .. longestLag + 1; returns false when there is no energy.
bool normalisedDifference(const PeriodEstimator& e, float* d) {
    using Lanes = float __attribute__((vector_size(16)));  // four floats, one SIMD register
    const int32_t last = e.longestLag + 1;
    const int32_t length = e.window + last;
    float x[estimateRingSize];
    for (int32_t i = 0; i < length; ++i)
        x[i] = e.ring[(e.written - static_cast<uint32_t>(length - i)) & (estimateRingSize - 1)];
    float running = 0.0f;
    for (int32_t lag = 1; lag <= last; ++lag) {
        Lanes sum = {};
        for (int32_t j = 0; j < e.window; j += 4) {
            Lanes a, b;
            std::memcpy(&a, &x[j], sizeof a);
            std::memcpy(&b, &x[j + lag], sizeof b);
            const Lanes diff = a - b;
            sum += diff * diff;
        }
        const float total = (sum[0] + sum[1]) + (sum[2] + sum[3]);
        running += total;
        d[lag] = running > 0.0f ? total * static_cast<float>(lag) / running : 1.0f;
    }
    return running > 0.0f;
}

// The first lag in first..last whose dip is under threshold, moved on to the bottom of
// that dip; or the deepest lag if it is under loose; -1 without either.
int32_t findDip(const float* d, int32_t first, int32_t last, float threshold, float loose) {
    for (int32_t lag = first; lag <= last; ++lag) {
        if (d[lag] < threshold) {
            while (lag < last && d[lag + 1] < d[lag])
                ++lag;
            return lag;
        }
    }
    int32_t best = first;
    for (int32_t lag = first; lag <= last; ++lag)
        if (d[lag] < d[best]) best = lag;
    return d[best] < loose ? best : -1;
}

void estimate(PeriodEstimator& e) {
    e.verdict = EstimateVerdict::None;
    e.period = 0.0f;
    if (e.written < static_cast<uint32_t>(e.window + e.longestLag + 1)) return;
    float d[estimateRingSize / 2 + 2];
    if (!normalisedDifference(e, d)) return;
    int32_t best = findDip(d, e.shortestLag, e.longestLag, dipThreshold, looseThreshold);
    if (best < 0) return;
    e.verdict = EstimateVerdict::Note;
    if (best > e.noteLag) {
        // Hum repeats far better than a note over it; a note's dip among its own lags,
        // even a shallow one, still says that a note is there.
        // A dip that runs on past the notes' lags is the hum's own flank, not a note's.
        const int32_t note = findDip(d, e.shortestLag, e.noteLag, noteOverHumThreshold, 0.0f);
        if (note < 0 || d[note + 1] < d[note]) {
            e.verdict = EstimateVerdict::Below;
        } else {
            best = note;
        }
    }
    // The parabola through the dip and its neighbours places it between lags.
    const float a = d[best - 1], b = d[best], c = d[best + 1];
    const float curve = a - 2.0f * b + c;
    const float shift = curve > 0.0f ? 0.5f * (a - c) / curve : 0.0f;
    e.period = static_cast<float>(best) + std::clamp(shift, -0.5f, 0.5f);
}

}  // namespace

void resetPeriodEstimator(PeriodEstimator& e, double lowestHz, double noteLowestHz,
                          double highestHz, double lowCutHz) {
    e = PeriodEstimator{};
    designHighPass(e.lowCut, lowCutHz, butterworthQ(0, 1), decimatedRate);
    const auto lagOf = [](double hz) {
        return static_cast<int32_t>(std::ceil(decimatedRate / hz));
    };
    e.shortestLag = std::max(2, static_cast<int32_t>(decimatedRate / highestHz));
    e.longestLag = std::clamp(lagOf(lowestHz), e.shortestLag + 1, estimateRingSize / 2 - 4);
    e.window = (e.longestLag + 3) / 4 * 4;
    e.noteLag = std::clamp(lagOf(noteLowestHz), e.shortestLag + 1, e.longestLag);
}

bool feedPeriodEstimator(PeriodEstimator& e, float decimated) {
    const float y = runBiquad(e.lowCut, decimated);
    e.ring[e.written & (estimateRingSize - 1)] = y;
    e.written += 1;
    e.levelPeak = std::max(std::fabs(y), e.levelPeak * levelDecay);
    if (++e.sinceEstimate < estimateInterval) return false;
    e.sinceEstimate = 0;
    estimate(e);
    return true;
}

double estimatedFrequency(const PeriodEstimator& e) {
    return e.verdict == EstimateVerdict::None ? 0.0 : decimatedRate / e.period;
}

}  // namespace veldra
