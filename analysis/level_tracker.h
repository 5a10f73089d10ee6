// Level tracker and crossing detector: the time-domain front end of the pitch measurement.
//
// trackBlock walks the samples of one block and keeps a slowly decaying envelope of the
// waveform (running maximum and minimum). From it come two hysteresis thresholds at 80 %
// and 20 % of the envelope's span; each rise through the upper threshold after a fall
// below the lower one is interpolated between the two samples that straddle the
// threshold, and the time since the previous rise (samples with a fraction) goes to
// validatePeriod as a candidate pitch period.
//
// Units: samples are 16-bit signed sample units; times are in samples.
// Thread: main thread only (inside analyzeBlock); no locking.
// Per-sample work is integer apart from one float increment; the float arithmetic at a
// rise and at an envelope update is single precision and reproduced to the bit.
#pragma once

#include <cstdint>

namespace veldra {

// The rate the tuner records and analyses at, in samples per second. The detector and the
// validator start at it (their start-up constants derive from it once), and the program
// opens its sound input and sound files at it.
inline constexpr int32_t sampleRate = 22050;

// All of the detector's state. Start values: all zero except the two constants.
struct DetectorState {
    int16_t levelMax;            // running maximum of the waveform; decays at updates
    int16_t levelMin;            // running minimum of the waveform; decays at updates
    int32_t levelDecay;          // step of the next envelope update; 0 after a new extreme
    int32_t envelopeCountdown;   // samples left until the next envelope update
    int16_t upperThreshold;      // rise threshold, fixed at each envelope update
    int16_t lowerThreshold;      // re-arm threshold, fixed at each envelope update
    int32_t signalHigh;          // 0: waiting for a rise; 1: waiting for a fall below lower
    float samplesSinceCrossing;  // samples since the last interpolated rise
    float crossingFraction;      // position of the last rise between its two samples
    int16_t previousSample;      // last sample of the previous block
    int32_t envelopeInterval;    // reload of envelopeCountdown: initial rate / 500 = 44
    int32_t analysisRate;        // samples per second; set by setAnalysisRate at capture start
};

// Runs the detector over count samples (count >= 1) and returns pitchStable afterwards.
bool trackBlock(const int16_t* samples, int32_t count);

// Sets the rate the validator's limits are derived from; envelopeInterval stays as it is.
void setAnalysisRate(int32_t samplesPerSecond);

// levelMax - levelMin: the validator's level test reads it.
int32_t envelopeSpan();

// Read-only view for tests and tools.
const DetectorState& detectorState();

// Puts the detector back to its start values.
void resetDetector();

}  // namespace veldra
