// The analysis core: the refusals of the period validator and the detector's rise over
// equal samples, which ordinary recordings never reach, and the accuracy of the measured
// pitch over the tuner's range. (The rest of their arithmetic, strays and the list of
// recent periods among it, is checked to the bit on real recordings by
// veldra_file_program_test.)
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/level_tracker.h"
#include "analysis/period_validator.h"

namespace veldra {
namespace {

// ---- The period validator's refusals and the detector's rise over equal samples.

// Infinities and NaN, and candidates just outside 10 .. 689 samples, reset the machine
// but leave the last period readable. (Quiet sound and pitches far out of range: the
// accuracy tests below.)
TEST(PeriodValidatorTest, RefusedCandidatesResetButKeepTheLastPeriod) {
    const float inf = std::numeric_limits<float>::infinity();
    for (const float candidate :
         {std::nextafter(689.0f, 1000.0f), std::nextafter(10.0f, 0.0f), inf, -inf, std::nanf("")}) {
        resetDetector();
        resetValidator();
        const int16_t loud[2] = {10000, -10000};  // an envelope well above the level limit
        trackBlock(loud, 2);
        for (int i = 0; i < 5; ++i)
            validatePeriod(100.0f);  // sum 400 > 367: stable
        ASSERT_TRUE(validatorState().pitchStable);
        validatePeriod(candidate);
        EXPECT_EQ(std::tuple(validatorState().validatorState, validatorState().pitchStable,
                             currentPeriod()),
                  std::tuple(ValidatorState::Idle, false, 100.0))
            << candidate;
    }
}

// Equal samples above a threshold that fell between them: a rise whose fraction divides
// by 700 - 700 = 0. The count restarts from 0 and the infinite candidate is refused.
TEST(LevelTrackerTest, EqualSamplesAboveAFallenThresholdRestartTheCountFromZero) {
    resetDetector();
    resetValidator();
    std::vector<int16_t> s(47, 0);
    s[0] = 1000, s[1] = -1000;  // the update at sample 45 lowers the threshold 800 to 600
    s[45] = 700, s[46] = 700;
    trackBlock(s.data(), 46);
    ASSERT_EQ(std::pair(detectorState().upperThreshold, detectorState().signalHigh),
              (std::pair<int16_t, int32_t>(600, 0)));
    trackBlock(s.data() + 46, 1);
    const DetectorState& d = detectorState();
    EXPECT_EQ(std::tuple(d.signalHigh, d.crossingFraction, d.samplesSinceCrossing),
              std::tuple(1, 0.0f, 0.0f));
    EXPECT_EQ(validatorState().validatorState, ValidatorState::Idle);
}

// ---- Accuracy of the measured pitch over the tuner's range, as a matrix of waveforms and
// pitches, and the signals that must give no pitch at all.
constexpr double rate = 22050.0;

enum class Wave { Sine, Sawtooth, Plucked, NoisySine };

// One second and a half of a waveform at full 16-bit level less some headroom.
std::vector<int16_t> synthesize(Wave wave, double frequency, double amplitude = 16000.0) {
    std::vector<int16_t> out(static_cast<size_t>(rate * 1.5));
    std::mt19937 noise(7);
    std::normal_distribution<double> gauss(0.0, 0.05);
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / rate, cycles = frequency * t;
        const double phase = cycles - std::floor(cycles);
        double v = 0.0;
        switch (wave) {
            case Wave::Sine:
                v = std::sin(2 * M_PI * phase);
                break;
            case Wave::Sawtooth:
                v = 2.0 * phase - 1.0;
                break;
            case Wave::Plucked:  // five harmonics falling off as 1/k, decaying like a string
                for (int k = 1; k <= 5; ++k)
                    v += std::sin(2 * M_PI * k * cycles + 0.7 * k) / k;
                v *= 0.6 * std::exp(-t / 0.7);
                break;
            case Wave::NoisySine:
                v = 0.9 * std::sin(2 * M_PI * phase) + gauss(noise);
                break;
        }
        out[i] = static_cast<int16_t>(std::lround(amplitude * v));
    }
    return out;
}

struct Measurement {
    int refreshes = 0;        // refresh points seen
    int stableRefreshes = 0;  // of which the pitch was stable
    double worstError = 0.0;  // largest relative frequency error while stable
};

// Runs the detector on 220-sample blocks and looks at the pitch ten times a second, as
// the display would.
Measurement measure(const std::vector<int16_t>& samples, double trueFrequency = 1.0) {
    resetDetector();
    resetValidator();
    Measurement m;
    int32_t accumulator = 0;
    for (size_t at = 0; at + 220 <= samples.size(); at += 220) {
        const bool stable = trackBlock(&samples[at], 220);
        accumulator += 220;
        if (accumulator <= 2205) continue;
        accumulator -= 2205;
        ++m.refreshes;
        if (!stable) continue;
        ++m.stableRefreshes;
        m.worstError =
            std::max(m.worstError, std::fabs(rate / currentPeriod() / trueFrequency - 1.0));
    }
    return m;
}

TEST(AccuracyTest, StableWithinBoundAcrossTheRange) {
    const struct {
        Wave wave;
        const char* name;
        double lowest;               // Hz; below it the bound is not promised
        double bound, boundFrom440;  // relative error, below and from 440 Hz
    } waves[] = {{Wave::Sine, "sine", 40.0, 0.005, 0.0001},
                 {Wave::Sawtooth, "sawtooth", 40.0, 0.015, 0.015},
                 {Wave::Plucked, "plucked", 80.0, 0.01, 0.01},
                 {Wave::NoisySine, "noisy sine", 80.0, 0.01, 0.01}};
    const double pitches[] = {40.0,  55.0,  65.4,  82.4,  110.0, 146.8, 196.0,  246.9,
                              329.6, 440.0, 523.3, 659.3, 880.0, 1000., 1318.5, 2000.0};
    for (const auto& w : waves) {
        for (const double f : pitches) {
            if (f < w.lowest) continue;
            const Measurement m = measure(synthesize(w.wave, f), f);
            SCOPED_TRACE(std::string(w.name) + " at " + std::to_string(f) + " Hz");
            // Stable from the second refresh (0.2 s) on, and never wrong by more than the bound.
            EXPECT_GE(m.stableRefreshes, m.refreshes - 1);
            EXPECT_LE(m.worstError, f >= 440.0 ? w.boundFrom440 : w.bound);
        }
    }
}

// Silence, a constant offset, quiet tones (a span of 1200 is below the level the tuner
// believes) and pitches outside the range.
TEST(AccuracyTest, SilenceOffsetQuietAndOutOfRangeSignalsGiveNoPitch) {
    EXPECT_EQ(measure(std::vector<int16_t>(22050, 0)).stableRefreshes, 0);
    EXPECT_EQ(measure(std::vector<int16_t>(22050, 12000)).stableRefreshes, 0);
    EXPECT_EQ(measure(synthesize(Wave::Sine, 440.0, 600.0)).stableRefreshes, 0);
    EXPECT_EQ(measure(synthesize(Wave::Sine, 25.0)).stableRefreshes, 0);
    EXPECT_EQ(measure(synthesize(Wave::Sine, 3000.0)).stableRefreshes, 0);
}

}  // namespace
}  // namespace veldra
