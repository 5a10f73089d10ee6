// Period estimate: a coarse, independent look at the input's fundamental, which steers the
// conditioning stage's band and tells a note in the mode's range from hum below it.
//
// It reads the conditioner's decimated stream (the input summed in fours: 5512.5 Hz, the
// tuner's range below its first null), high-passed below the mode's lowest note to take off
// DC and rumble, and kept in a ring. Every estimateInterval decimated samples the
// cumulative mean normalised difference of the newest `window` samples is computed
// for each lag from shortestLag to longestLag, and the first lag whose dip falls under
// dipThreshold (or, failing that, the deepest dip if it is under looseThreshold) is the
// period, refined by a parabola through its neighbours. Comparing lags rather than
// finding crossings makes it insensitive to a strong second harmonic: a string's period is
// the lag at which the whole waveform repeats. A period longer than any note's (hum) is
// Below unless a shallower dip among the notes' lags shows a note over the hum.
//
// Units: decimated samples (estimateDecimation input samples each); input in sample units.
// Thread: the caller's; the state is the caller's record.
#pragma once

#include <cstdint>

#include "conditioning/band_filters.h"

namespace veldra {

inline constexpr int32_t estimateDecimation = 4;  // input samples per decimated sample
inline constexpr int32_t estimateRingSize = 512;  // decimated samples kept, power of two
inline constexpr int32_t estimateInterval = 128;  // decimated samples between estimates, 23 ms

// What an estimate found.
enum class EstimateVerdict : int32_t {
    None = 0,   // not enough sound yet, or nothing repeats
    Note = 1,   // period holds a lag of the note range at which the waveform repeats
    Below = 2,  // the waveform repeats only at a lag longer than any note's (mains hum
                // below the lowest string); period holds that lag
};

struct PeriodEstimator {
    float ring[estimateRingSize];  // decimated, filtered input; newest at written - 1
    uint32_t written;              // decimated samples written since the reset; wraps
                                   // after 9 days of sound, which the ring's mask allows
    int32_t sinceEstimate;         // decimated samples since the last estimate
    Biquad lowCut;                 // the high-pass below the mode's lowest note
    int32_t shortestLag;           // decimated samples, >= 2
    int32_t noteLag;               // the longest lag of a note in range, decimated samples
    int32_t longestLag;            // the longest lag looked at, >= noteLag, <= 252
    int32_t window;                // samples compared at each lag: longestLag rounded up to
                                   // four, so that hum's whole period is compared
    float levelPeak;               // peak of the filtered signal, sample units; decays
    EstimateVerdict verdict;       // of the last estimate
    float period;                  // its period, decimated samples; 0 with None
    float difference[estimateRingSize / 2 + 2];  // the last estimate's normalised difference
                                                 // by lag, 1 .. longestLag + 1
};

// Back to rest. Notes range from noteLowestHz to highestHz; the estimate looks down to
// lowestHz (<= noteLowestHz) to see what repeats below them; the low cut's corner in Hz.
void resetPeriodEstimator(PeriodEstimator& e, double lowestHz, double noteLowestHz,
                          double highestHz, double lowCutHz);

// Feeds decimated samples from count (>= 1) up to the first that makes an estimate, and
// returns how many it took; levels[i] gets levelPeak after sample i. estimated: the last
// one taken made an estimate (verdict and period new).
int32_t feedPeriodEstimator(PeriodEstimator& e, const float* decimated, int32_t count,
                            float* levels, bool& estimated);

// How deep the last estimate's dip is near the period of hz (0 repeats exactly, 1 not at
// all, also without an estimate): whether a note of hz still sounds.
float differenceAt(const PeriodEstimator& e, double hz);

// The estimate's frequency in Hz (0 with None).
double estimatedFrequency(const PeriodEstimator& e);

}  // namespace veldra
