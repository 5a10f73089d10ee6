// Input conditioner: the front end between the sound source and the analysis, which the
// analysis assumes: a band around the note being played, and a known level.
//
// conditionBlock turns a block of the tuner's mono 22050 Hz samples into the block the
// analysis reads, sample for sample. The work runs on the input summed in fours (5512.5 Hz,
// enough for a band that ends below 2.5 kHz), and a cubic brings the band back to the full
// rate, 12 samples (0.5 ms) later than the input besides the filters' group delay:
//   1. a period estimate (period_estimate.h) on the decimated stream says where the note is;
//   2. a band-pass follows it: Butterworth high- and low-passes of order 4 at 0.75 and
//      1.35 times the note (the high-pass never below the mode's floor), so that the
//      waveform is close to its fundamental and its second harmonic cannot make two rises
//      per period; an estimate an octave up while the held note's period still repeats
//      (a string whose fundamental dies first) leaves the band where it is;
//      when an estimate loses the held note, the input goes out unfiltered until the band
//      has settled on the next, so that a change of note reads as soon as on the raw road;
//   3. an automatic gain brings the band's peak to -6 dBFS, held over 1.5 periods;
//   4. a gate silences the output while the input's level is under the gate, and while no
//      estimate has put a note in the mode's range since the gate opened: silence, faint
//      noise and, outside Bass, mains hum (whose period lies below the lowest string)
//      never reach the analysis.
// The band and the gate's range follow the mode (setConditioningRange); with conditioning
// off (setConditioning(false)) the block is copied unchanged.
//
// Units: samples in 16-bit sample units (float inside); frequencies in Hz.
// Memory: none allocated; the state is one static record.
// Thread: main thread only (inside analyzeBlock); no locking.
#pragma once

#include <cstdint>

#include "conditioning/band_filters.h"
#include "conditioning/period_estimate.h"

namespace veldra {

inline constexpr int32_t highPassSections = 2;
inline constexpr int32_t lowPassSections = 2;

// The range of notes a mode plays, from its open strings or its dial.
struct ConditioningRange {
    float lowestHz;   // its lowest note (open string, or the dial's first C)
    float highestHz;  // its highest note worth steering the band to
    bool humBelow;    // true when mains hum (50/60 Hz) lies below its lowest note and
                      // must not be read (every mode but Bass)
};

// All of the stage's state.
struct ConditionerState {
    bool enabled;                       // false: blocks pass unchanged (--raw); set by the shell
    ConditioningRange range;            // set by setConditioningRange at each mode command
    float floorHz;                      // lowest corner of the high-pass: below the lowest note
    float bandHz;                       // the note the band is set for; moves with the estimate
    Biquad highPass[highPassSections];  // band's lower edge, Butterworth sections
    Biquad lowPass[lowPassSections];    // band's upper edge, Butterworth sections
    PeriodEstimator estimator;          // where the note is; also the input's level
    bool gateOpen;                      // the input's level is above the gate
    bool noteInRange;                   // an estimate put a note in range since the gate opened
    bool bandMoved;                     // an estimate moved bandHz; the filters follow it at
                                        // that estimate's sample
    double bandTo;                      // where it moved the band: bandHz unrounded
    bool bandLost;                      // the last estimate lost the held note
    float bandPeakSinceEstimate;        // the band's peak since the last estimate
    float inputPeakSinceEstimate;       // the unfiltered input's, less its mean
    float inputMean;                    // the decimated input's mean (DC), sample units
    int32_t unfilteredLeft;             // decimated samples that still go out unfiltered
    int32_t belowRun;                   // estimates in a row that found only hum (Below)
    float lastLevel;                    // the estimator's level at the last estimate
    float bandPeak;                     // the band's peak envelope, sample units; held, then
                                        // falls
    int32_t holdSteps;                  // decimated samples a peak holds it: 1.5 of the
                                        // band's periods; set with the band
    int32_t holdLeft;                   // decimated samples of the hold still to run
    float gain;                         // applied to the band, 0 while gated
    float boxSum;                       // input summed toward the next decimated sample
    int32_t boxCount;                   // input samples in boxSum, 0..3
    float recent[4];                    // the last four band samples after the gain, oldest first
    float pending[estimateDecimation];  // output samples made and not yet handed out,
                                        // oldest first
    int32_t pendingCount;               // 1..4 between calls: 4 - boxCount
};

// Conditions count samples of in into out (count >= 0; in and out may be the same).
void conditionBlock(const int16_t* in, int16_t* out, int32_t count);

// Sets the range for a mode and puts the band at its lowest note; keeps the level.
void setConditioningRange(const ConditioningRange& range);

// Conditioning on (the default) or off.
void setConditioning(bool enabled);

// Read-only view for the tuner, tools and tests.
const ConditionerState& conditionerState();

// Back to the start values: on, with Guitar's range, at rest.
void resetConditioner();

// Forgets the sound heard (the estimate, the band, the level, the gate) and keeps on/off
// and the range: for a sound that has nothing to do with the one before.
void restartConditioner();

}  // namespace veldra
