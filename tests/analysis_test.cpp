// The analysis core: the level tracker's worked examples, the period validator's rules,
// and the accuracy of the measured pitch over the tuner's range. (The rest of their
// arithmetic is checked to the bit on real recordings by veldra_file_test.)
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

// ---- The level tracker and crossing detector: envelope updates, interpolation, the rise
// with an infinite fraction.

class LevelTrackerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetDetector();
        resetValidator();
    }
    static const DetectorState& d() { return detectorState(); }
    // Upper and lower threshold, maximum, minimum, pending decay.
    static auto envelope() {
        return std::tuple{d().upperThreshold, d().lowerThreshold, d().levelMax, d().levelMin,
                          d().levelDecay};
    }
    static auto rise() {
        return std::tuple{d().signalHigh, d().crossingFraction, d().samplesSinceCrossing};
    }
    static ValidatorState machine() { return validatorState().validatorState; }
};

// 1000 and -1000 first, then silence inside the band: the update at sample 45 is the
// first one to see levelMax 1000, levelMin -1000 and no pending decay.
std::vector<int16_t> loudStart(size_t length) {
    std::vector<int16_t> s(length, 0);
    s[0] = 1000;
    s[1] = -1000;
    return s;
}

using Envelope = std::tuple<int16_t, int16_t, int16_t, int16_t, int32_t>;

TEST_F(LevelTrackerTest, EnvelopeUpdatesFromThousandDecayGeometrically) {
    const std::vector<int16_t> s = loudStart(136);
    const std::pair<size_t, Envelope> steps[] = {{46, {600, -600, 1000, -1000, 30}},
                                                 {91, {600, -600, 970, -970, 29}},
                                                 {136, {582, -582, 941, -941, 28}}};
    size_t fed = 0;
    for (const auto& [samples, expected] : steps) {
        trackBlock(s.data() + fed, static_cast<int32_t>(samples - fed));
        fed = samples;
        EXPECT_EQ(envelope(), expected) << samples;
        EXPECT_EQ(d().envelopeCountdown, 44);
    }
}

// Rises at 61 (fraction (600 - 500) / (900 - 500) = 0.25) and 111 ((600 - 500) / (700 -
// 500) = 0.5): the second candidate is 49.75 + 0.5 = 50.25 and becomes the seed.
TEST_F(LevelTrackerTest, RiseIsInterpolatedAndCountRestartsAtMinusFraction) {
    std::vector<int16_t> s = loudStart(120);
    s[60] = 500, s[61] = 900, s[70] = -700, s[110] = 500, s[111] = 700;
    trackBlock(s.data(), 62);
    EXPECT_EQ(d().crossingFraction, 0.25f);
    EXPECT_EQ(machine(), ValidatorState::Seeding);
    trackBlock(s.data() + 62, 50);  // up to and including sample 111
    EXPECT_EQ(rise(), std::tuple(1, 0.5f, -0.5f));
    EXPECT_EQ(machine(), ValidatorState::Tracking);
    EXPECT_EQ(currentPeriod(), 50.25);
}

// Equal samples above a threshold that fell between them: a rise whose fraction divides
// by 700 - 700 = 0. The count restarts from 0 and the infinite candidate is refused.
TEST_F(LevelTrackerTest, EqualSamplesAboveAFallenThresholdRestartCountFromZero) {
    std::vector<int16_t> s = loudStart(47);
    s[45] = 700;  // below the upper threshold 800 that still stands at this sample
    s[46] = 700;  // the update at 45 lowered it to 600
    trackBlock(s.data(), 46);
    EXPECT_EQ(d().upperThreshold, 600);
    EXPECT_EQ(d().signalHigh, 0);
    trackBlock(s.data() + 46, 1);
    EXPECT_EQ(rise(), std::tuple(1, 0.0f, 0.0f));
    EXPECT_EQ(machine(), ValidatorState::Idle);
}

// ---- The period validator: range and level limits, seeding, averaging, listing, strays,
// new pitches and the three tolerance windows.

class PeriodValidatorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetValidator();
        setEnvelopeSpan(20000);
    }
    // Gives the detector an envelope of the wanted span (the first sample's rise is
    // refused and leaves the validator idle).
    static void setEnvelopeSpan(int32_t span) {
        resetDetector();
        const int16_t block[2] = {static_cast<int16_t>(span - span / 2),
                                  static_cast<int16_t>(-(span / 2))};
        trackBlock(block, 2);
        ASSERT_EQ(envelopeSpan(), span);
    }
    static void feed(float x, int times) {
        for (int i = 0; i < times; ++i)
            validatePeriod(x);
    }
    static const PeriodValidator& v() { return validatorState(); }
    static ValidatorState machine() { return validatorState().validatorState; }
};

// The first candidate is consumed by Idle, the second is the seed; then stable at the 7th
// in-tolerance candidate, exponential after the 29th, listed at the 90th.
TEST_F(PeriodValidatorTest, SteadyA440ReachesEachMilestoneOnTime) {
    const float x = 22050.0f / 440.0f;
    validatePeriod(x);
    EXPECT_EQ(std::tuple(machine(), currentPeriod()), std::tuple(ValidatorState::Seeding, 0.0));
    validatePeriod(x);
    EXPECT_EQ(std::tuple(machine(), v().smoothedPeriod), std::tuple(ValidatorState::Tracking, x));
    for (int k = 1; k <= 90; ++k) {
        validatePeriod(x);
        SCOPED_TRACE(k);
        EXPECT_EQ(v().pitchStable, k >= 7);
        EXPECT_EQ(v().averageCount, std::min(k, 29) + 1);
        EXPECT_EQ(v().recentCount, k >= 90 ? 1 : 0);
    }
    EXPECT_NEAR(recentPeriod(0), x, 1e-4);
    EXPECT_EQ(recentPeriod(1), 0.0);
}

// At 100 Hz (220.5 samples) the seed and one more candidate already sum to more than the
// 367 samples that make a pitch stable.
TEST_F(PeriodValidatorTest, SteadyA100IsStableAtFirstCandidateAfterSeed) {
    feed(220.5f, 2);
    EXPECT_FALSE(v().pitchStable);
    validatePeriod(220.5f);
    EXPECT_EQ(std::tuple(v().pitchStable, currentPeriod()), std::tuple(true, 220.5));
}

TEST_F(PeriodValidatorTest, RangeLimitsPassAndFailAtTheirEdges) {
    const std::pair<float, ValidatorState> steps[] = {
        {10.0f, ValidatorState::Seeding},
        {689.0f, ValidatorState::Tracking},
        {std::nextafter(689.0f, 1000.0f), ValidatorState::Idle},
        {100.0f, ValidatorState::Seeding},
        {100.0f, ValidatorState::Tracking},
        {std::nextafter(10.0f, 0.0f), ValidatorState::Idle}};
    for (const auto& [candidate, state] : steps) {
        validatePeriod(candidate);
        EXPECT_EQ(machine(), state) << candidate;
    }
}

// A span of 1309 is under the level limit, and infinities and NaN are out of range: each
// resets the machine but leaves the last period readable.
TEST_F(PeriodValidatorTest, QuietOrInfiniteCandidatesResetButKeepLastPeriod) {
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<int32_t, float> cases[] = {// envelope span, candidate
                                               {1309, 100.0f},
                                               {1310, inf},
                                               {1310, -inf},
                                               {1310, std::nanf("")}};
    for (const auto& [span, candidate] : cases) {
        SCOPED_TRACE(testing::Message() << span << " " << candidate);
        resetValidator();
        setEnvelopeSpan(1310);
        feed(100.0f, 5);  // sum 400 > 367
        ASSERT_TRUE(v().pitchStable);
        setEnvelopeSpan(span);
        validatePeriod(candidate);
        EXPECT_FALSE(v().pitchStable);
        EXPECT_EQ(machine(), ValidatorState::Idle);
        EXPECT_EQ(std::tuple(v().averageCount, v().periodSum), std::tuple(0, 0.0f));
        EXPECT_EQ(currentPeriod(), 100.0);
    }
}

TEST_F(PeriodValidatorTest, StrayCandidateKeepsPeriod) {
    feed(100.0f, 2 + 5);
    const PeriodValidator before = v();
    validatePeriod(50.0f);  // an octave error
    EXPECT_EQ(machine(), ValidatorState::Suspect);
    EXPECT_EQ(v().suspectPeriod, 50.0f);
    validatePeriod(101.0f);  // back on the note: not averaged
    const auto kept = [](const PeriodValidator& p) {
        return std::tuple(p.validatorState, p.smoothedPeriod, p.periodSum, p.averageCount,
                          p.pitchStable, p.heldSamples);
    };
    EXPECT_EQ(kept(v()), kept(before));
    // Two disagreeing candidates in a row give the note up.
    validatePeriod(50.0f);
    validatePeriod(200.0f);
    EXPECT_EQ(machine(), ValidatorState::Idle);
    EXPECT_FALSE(v().pitchStable);
    EXPECT_EQ(currentPeriod(), 100.0);
}

TEST_F(PeriodValidatorTest, NewPitchWithoutSilenceTakesMeanAndIsNotListed) {
    feed(100.0f, 2 + 46);  // 100 samples a candidate: listed at the 46th
    ASSERT_EQ(v().recentCount, 1);
    validatePeriod(150.0f);
    validatePeriod(151.0f);
    EXPECT_EQ(machine(), ValidatorState::Tracking);
    EXPECT_EQ(v().averageCount, 2);
    EXPECT_EQ(currentPeriod(), 150.5);
    EXPECT_TRUE(v().pitchStable);  // inherited, although the sum is below 367
    feed(150.5f, 200);
    EXPECT_EQ(v().recentCount, 1);  // the new note was reached without a reset
    EXPECT_EQ(recentPeriod(0), 100.0);
}

TEST_F(PeriodValidatorTest, SixListingsKeepTheLatestFive) {
    for (int note = 1; note <= 6; ++note) {
        validatePeriod(1.0f);  // silence between notes resets the machine
        feed(100.0f + static_cast<float>(note), 2 + 50);
    }
    EXPECT_EQ(v().recentCount, 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(recentPeriod(i), 106.0 - i) << i;
    EXPECT_EQ(recentPeriod(5), 0.0);
    EXPECT_EQ(recentPeriod(-1), 0.0);
}

// The ratio of candidate to period must lie strictly inside 1 +- tolerance: the start-up
// window, then those of the Guitar and Singing commands.
TEST_F(PeriodValidatorTest, ToleranceWindowsOfStartUpGuitarAndSinging) {
    const struct {
        double tolerance, inside, outside;  // tolerance < 0: the start-up value
    } windows[] = {{-1.0, 1.044, 1.046}, {0.035, 1.034, 1.036}, {0.08, 1.079, 1.081}};
    for (const auto& w : windows) {
        for (const double ratio : {w.inside, 2.0 - w.inside, w.outside, 2.0 - w.outside}) {
            resetValidator();
            if (w.tolerance >= 0) setPeriodTolerance(w.tolerance);
            feed(100.0f, 2);
            validatePeriod(static_cast<float>(100.0 / ratio));
            const bool inside = ratio == w.inside || ratio == 2.0 - w.inside;
            EXPECT_EQ(machine(), inside ? ValidatorState::Tracking : ValidatorState::Suspect)
                << w.tolerance << " " << ratio;
        }
    }
}

// Period 0 counts as 1. A new analysis rate changes the frequencies but not the
// detector's envelope interval, which came from the start-up rate; a reset goes back to
// the start-up rate. (The start-up tuning values and the setters' rounding are checked
// through the mode commands in app_test, and to the bit by the reference
// recordings.)
TEST_F(PeriodValidatorTest, FrequencyFollowsTheRateButTheEnvelopeIntervalDoesNot) {
    EXPECT_EQ(frequencyFromPeriod(0.0), 22050.0);
    setAnalysisRate(11025);
    EXPECT_EQ(frequencyFromPeriod(25.0), 441.0);
    EXPECT_EQ(detectorState().envelopeInterval, 44);
    resetDetector();
    EXPECT_EQ(frequencyFromPeriod(50.0), 441.0);
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
    EXPECT_EQ(measure(synthesize(Wave::Sawtooth, 110.0, 600.0)).stableRefreshes, 0);
    EXPECT_EQ(measure(synthesize(Wave::Sine, 25.0)).stableRefreshes, 0);
    EXPECT_EQ(measure(synthesize(Wave::Sine, 3000.0)).stableRefreshes, 0);
}

TEST(AccuracyTest, QuieterNoteAfterLoudOneIsFoundOnceEnvelopeDecays) {
    std::vector<int16_t> both = synthesize(Wave::Sine, 440.0, 20000.0);
    both.resize(22050 / 2);
    const std::vector<int16_t> quiet = synthesize(Wave::Sine, 330.0, 3000.0);
    both.insert(both.end(), quiet.begin(), quiet.end());
    resetDetector();
    resetValidator();
    trackBlock(both.data(), 22050 / 2);
    ASSERT_NEAR(rate / currentPeriod(), 440.0, 0.1);
    // The envelope needs a few tenths of a second to come down to the quiet note.
    trackBlock(both.data() + 22050 / 2, 22050 / 2);
    EXPECT_TRUE(trackBlock(both.data() + 22050, 2205));
    EXPECT_NEAR(rate / currentPeriod(), 330.0, 330.0 * 0.001);
}

}  // namespace
}  // namespace veldra
