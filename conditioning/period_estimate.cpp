#include "conditioning/period_estimate.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace veldra {
namespace {

constexpr double decimatedRate = 22050.0 / estimateDecimation;
constexpr float dipThreshold = 0.15f;    // a dip this deep is a period: take the first
constexpr float looseThreshold = 0.35f;  // else the deepest, if at least this deep
constexpr float noteOverHumThreshold = 0.7f;
constexpr float nearDeepest = 0.1f;   // see findDip  // a note's dip under hum: see estimate
constexpr float levelDecay = 0.996f;  // per decimated sample: a time constant of 45 ms

// The products of the window with itself shifted by lagsAtOnce lags from first, summed
// into c[first ..]. The window (zero past its end) is read once for all of them; each lag
// has its own sums, so that no addition waits for the one before.
using Lanes = float __attribute__((vector_size(32)));  // eight floats
constexpr int32_t lanes = 8;
constexpr int32_t lagsAtOnce = 4;
constexpr int32_t paddedLength = estimateRingSize + 2 * lanes;

// Each lane's arithmetic is the same with or without AVX, so both give the same bits. The
// choice is an ifunc, resolved before ThreadSanitizer's runtime starts, which that runtime
// does not survive: its builds take the default.
#if defined(__x86_64__) && !defined(__SANITIZE_THREAD__)
__attribute__((target_clones("avx", "default")))
#endif
void lagProducts(const float* window, int32_t windowLength, const float* x, int32_t first,
                 float* c) {
    Lanes sums[lagsAtOnce] = {};
    for (int32_t j = 0; j < windowLength; j += lanes) {
        Lanes a;
        std::memcpy(&a, &window[j], sizeof a);
        for (int32_t k = 0; k < lagsAtOnce; ++k) {
            Lanes b;
            std::memcpy(&b, &x[j + first + k], sizeof b);
            sums[k] += a * b;
        }
    }
    for (int32_t k = 0; k < lagsAtOnce; ++k) {
        const Lanes& v = sums[k];
        c[first + k] = ((v[0] + v[1]) + (v[2] + v[3])) + ((v[4] + v[5]) + (v[6] + v[7]));
    }
}

// The cumulative mean normalised difference of the newest e.window samples against
// each lag, into d[lag] for 1 .. longestLag + 1; returns false when there is no energy.
// Each lag's squared difference is the two stretches' energies less twice their product.
bool normalisedDifference(const PeriodEstimator& e, float* d) {
    const int32_t last = e.longestLag + 1;
    const int32_t length = e.window + last;
    // The newest length samples in order, in at most two pieces of the ring; zeros past
    // them and past the window, where the last lags' sums read.
    float x[paddedLength];
    float window[estimateRingSize / 2 + lanes];
    const auto start =
        static_cast<int32_t>((e.written - static_cast<uint32_t>(length)) & (estimateRingSize - 1));
    const int32_t first = std::min(length, estimateRingSize - start);
    std::copy(e.ring + start, e.ring + start + first, x);
    std::copy(e.ring, e.ring + (length - first), x + first);
    std::fill(x + length, x + length + 2 * lanes, 0.0f);
    std::copy(x, x + e.window, window);
    std::fill(window + e.window, window + e.window + lanes, 0.0f);
    // The energy of the stretch lag samples on, from the one before it.
    double energy = 0.0;
    for (int32_t i = 0; i < e.window; ++i)
        energy += static_cast<double>(x[i]) * x[i];
    const double windowEnergy = energy;
    float c[estimateRingSize / 2 + lagsAtOnce + 2];
    const int32_t windowLength = (e.window + lanes - 1) / lanes * lanes;
    for (int32_t lag = 1; lag <= last; lag += lagsAtOnce)
        lagProducts(window, windowLength, x, lag, c);
    double running = 0.0;
    for (int32_t lag = 1; lag <= last; ++lag) {
        const double entering = x[lag - 1 + e.window], leaving = x[lag - 1];
        energy += entering * entering - leaving * leaving;
        const double total =
            std::max(0.0, windowEnergy + energy - 2.0 * static_cast<double>(c[lag]));
        running += total;
        d[lag] = running > 0.0 ? static_cast<float>(total * lag / running) : 1.0f;
    }
    return running > 0.0;
}

// The parabola through d at lag and its neighbours: where its bottom lies (an offset in
// -0.5..0.5 from lag) and how deep it is there. Short periods fall between whole lags,
// and the bottom between them is deeper than either.
struct Vertex {
    float shift;
    float depth;
};

Vertex vertexAt(const float* d, int32_t lag) {
    const float a = d[lag - 1], b = d[lag], c = d[lag + 1];
    const float curve = a - 2.0f * b + c;
    if (curve <= 0.0f) return {0.0f, b};
    const float shift = std::clamp(0.5f * (a - c) / curve, -0.5f, 0.5f);
    return {shift, b - 0.25f * (a - c) * shift};
}

bool isDip(const float* d, int32_t lag) {
    return d[lag] <= d[lag - 1] && d[lag] <= d[lag + 1];
}

// The first dip in first..last whose bottom is under threshold, or within nearDeepest of
// the deepest dip's (a note whose vibrato blurs its own period still repeats best there
// among its multiples); or the deepest dip if its bottom is under loose; -1 without any.
int32_t findDip(const float* d, int32_t first, int32_t last, float threshold, float loose) {
    int32_t deepest = -1;
    float deepestDepth = 2.0f;
    for (int32_t lag = first; lag <= last; ++lag) {
        if (!isDip(d, lag)) continue;
        const float depth = vertexAt(d, lag).depth;
        if (depth < deepestDepth) {
            deepest = lag;
            deepestDepth = depth;
        }
    }
    if (deepest < 0) return -1;
    const float enough = std::max(threshold, deepestDepth + nearDeepest);
    for (int32_t lag = first; lag <= deepest; ++lag)
        if (isDip(d, lag) && vertexAt(d, lag).depth < enough && deepestDepth < loose) return lag;
    return -1;
}

void estimate(PeriodEstimator& e) {
    e.verdict = EstimateVerdict::None;
    e.period = 0.0f;
    if (e.written < static_cast<uint32_t>(e.window + e.longestLag + 1)) return;
    float* d = e.difference;
    if (!normalisedDifference(e, d)) return;
    int32_t best = findDip(d, e.shortestLag, e.longestLag, dipThreshold, looseThreshold);
    if (best < 0) return;
    e.verdict = EstimateVerdict::Note;
    if (best > e.noteLag) {
        // Hum repeats far better than a note over it; a note's dip among its own lags,
        // even a shallow one, still says that a note is there.
        const int32_t note =
            findDip(d, e.shortestLag, e.noteLag, noteOverHumThreshold, noteOverHumThreshold);
        if (note < 0) {
            e.verdict = EstimateVerdict::Below;
        } else {
            best = note;
        }
    }
    e.period = static_cast<float>(best) + vertexAt(d, best).shift;
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

int32_t feedPeriodEstimator(PeriodEstimator& e, const float* decimated, int32_t count,
                            float* levels, bool& estimated) {
    const int32_t take = std::min(count, estimateInterval - e.sinceEstimate);
    Biquad lowCut = e.lowCut;
    float level = e.levelPeak;
    for (int32_t i = 0; i < take; ++i) {
        const float y = runBiquad(lowCut, decimated[i]);
        e.ring[(e.written + static_cast<uint32_t>(i)) & (estimateRingSize - 1)] = y;
        level = std::max(std::fabs(y), level * levelDecay);
        levels[i] = level;
    }
    e.lowCut = lowCut;
    e.levelPeak = level;
    e.written += static_cast<uint32_t>(take);
    e.sinceEstimate += take;
    estimated = e.sinceEstimate == estimateInterval;
    if (estimated) {
        e.sinceEstimate = 0;
        estimate(e);
    }
    return take;
}

float differenceAt(const PeriodEstimator& e, double hz) {
    if (e.verdict == EstimateVerdict::None) return 1.0f;
    const auto lag = static_cast<int32_t>(std::lround(decimatedRate / hz));
    if (lag < 2 || lag > e.longestLag) return 1.0f;
    float deepest = 1.0f;
    for (int32_t k = std::max(2, lag - 1); k <= std::min(e.longestLag, lag + 1); ++k)
        if (isDip(e.difference, k)) deepest = std::min(deepest, vertexAt(e.difference, k).depth);
    return deepest;
}

double estimatedFrequency(const PeriodEstimator& e) {
    return e.verdict == EstimateVerdict::None ? 0.0 : decimatedRate / e.period;
}

}  // namespace veldra
