// Period validator: decides which candidate periods to believe and smooths them.
//
// validatePeriod is a four-state machine fed by the crossing detector once per rise. A
// candidate counts only when it lies in the tuner's range (10 to 689 samples at 22050 Hz),
// the envelope span is at least 1310 sample units, and it agrees with the tracked period
// within periodTolerance. Accepted candidates are averaged arithmetically until they cover
// more than 1/15 s, then by an exponential filter whose weight per period is
// period / smoothingSpan (a time constant of smoothingSpan samples at any pitch). One
// stray candidate is tolerated; two that agree with each other but not with the tracked
// period start a new pitch. Notes held for listingHoldTime go into a list of five.
//
// Units: periods in samples (single precision); limits from analysisRate, integer division.
// Thread: main thread only; no locking.
#pragma once

#include <cstdint>

namespace veldra {

enum class ValidatorState : int32_t { Idle = 0, Seeding = 1, Tracking = 2, Suspect = 3 };

inline constexpr int32_t recentPeriodCapacity = 5;

// All of the validator's state and tuning values.
struct PeriodValidator {
    ValidatorState validatorState;  // where the machine stands
    float smoothedPeriod;           // the tracked period; 0.0 until the first seed
    float suspectPeriod;            // the last candidate that disagreed with smoothedPeriod
    int32_t averageCount;           // candidates in the arithmetic average
    float periodSum;                // their sum, samples; frozen once above 1/15 s
    bool pitchStable;               // the tracked pitch is shown as valid
    bool periodListed;              // this note's period is already in the recent list
    int32_t heldSamples;            // in-tolerance tracking time towards the next listing
    float recentPeriods[recentPeriodCapacity];  // listed periods, most recent first
    int32_t recentCount;                        // valid entries in recentPeriods, 0..5
    float periodTolerance;  // relative agreement window; set by the mode commands
    float smoothingSpan;    // filter time constant, samples; set by the mode commands
    float listingHoldTime;  // samples of tracking before a period is listed
};

// One candidate period from the crossing detector.
void validatePeriod(float candidate);

// The pitch is no longer heard (the sound became digital silence): the machine back to Idle
// and the tracked pitch no longer stable, as at a refused candidate. The smoothed period,
// the recent list and the tuning values stay.
void dropPitch();

// The smoothed period widened to double (0.0 before the first seed).
double currentPeriod();

// Entry i of the recent list widened to double, or 0.0 when i >= recentCount.
double recentPeriod(int32_t i);

// analysisRate / period in double precision; a period of exactly 0.0 counts as 1.0.
double frequencyFromPeriod(double period);

void setSmoothingSpan(double samples);
void setPeriodTolerance(double tolerance);

// Read-only view for the analysis and tests.
const PeriodValidator& validatorState();

// Puts the validator back to its start values (tuning values included).
void resetValidator();

// Forgets every pitch heard (the start values) and keeps the tuning values the mode
// commands set: a fresh start on a sound that has nothing to do with the one before.
void restartValidator();

}  // namespace veldra
