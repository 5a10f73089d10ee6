// Accuracy of the measured pitch over the tuner's range, as a matrix of waveforms and
// pitches, and the signals that must give no pitch at all.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "analysis/level_tracker.h"
#include "analysis/period_validator.h"

namespace veldra {
namespace {

constexpr double rate = 22050.0;
constexpr int32_t blockSize = 220;
constexpr int32_t refreshInterval = 2205;

enum class Wave { Sine, Sawtooth, Plucked, NoisySine };

// One second and a half of a waveform at full 16-bit level less some headroom.
std::vector<int16_t> synthesize(Wave wave, double frequency, double amplitude = 16000.0) {
    std::vector<int16_t> out(static_cast<size_t>(rate * 1.5));
    std::mt19937 noise(7);
    std::normal_distribution<double> gauss(0.0, 0.05);
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double cycles = frequency * t;
        const double phase = cycles - std::floor(cycles);
        double v = 0.0;
        switch (wave) {
            case Wave::Sine: v = std::sin(2 * M_PI * phase); break;
            case Wave::Sawtooth: v = 2.0 * phase - 1.0; break;
            case Wave::Plucked:  // five harmonics falling off as 1/k, decaying like a string
                for (int k = 1; k <= 5; ++k) v += std::sin(2 * M_PI * k * cycles + 0.7 * k) / k;
                v *= 0.6 * std::exp(-t / 0.7);
                break;
            case Wave::NoisySine: v = 0.9 * std::sin(2 * M_PI * phase) + gauss(noise); break;
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

// Runs the detector block by block and looks at the pitch ten times a second, as the
// display would.
Measurement measure(const std::vector<int16_t>& samples, double trueFrequency) {
    resetDetector();
    resetValidator();
    Measurement m;
    int32_t accumulator = 0;
    for (size_t at = 0; at + blockSize <= samples.size(); at += blockSize) {
        const bool stable = trackBlock(&samples[at], blockSize);
        accumulator += blockSize;
        if (accumulator <= refreshInterval) continue;
        accumulator -= refreshInterval;
        ++m.refreshes;
        if (!stable) continue;
        ++m.stableRefreshes;
        const double measured = rate / currentPeriod();
        m.worstError = std::max(m.worstError, std::fabs(measured / trueFrequency - 1.0));
    }
    return m;
}

struct AccuracyCase {
    Wave wave;
    const char* name;
    double lowest;  // Hz; below it the bound is not promised
};

const double pitches[] = {40.0,  55.0,  65.4,  82.4,  110.0,  146.8, 196.0,  246.9,
                          329.6, 440.0, 523.3, 659.3, 880.0,  1000., 1318.5, 2000.0};

// The error bound for a waveform at a pitch, as a fraction of the frequency.
double bound(Wave wave, double frequency) {
    switch (wave) {
        case Wave::Sine: return frequency >= 440.0 ? 0.0001 : 0.005;
        case Wave::Sawtooth: return 0.015;
        case Wave::Plucked: return 0.01;
        case Wave::NoisySine: return 0.01;
    }
    return 0.0;
}

class AccuracyTest : public ::testing::TestWithParam<AccuracyCase> {};

TEST_P(AccuracyTest, StableWithinBoundAcrossTheRange) {
    const AccuracyCase c = GetParam();
    for (const double f : pitches) {
        if (f < c.lowest) continue;
        const Measurement m = measure(synthesize(c.wave, f), f);
        SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(f) + " Hz");
        // Stable from the second refresh (0.2 s) on, and never wrong by more than the bound.
        EXPECT_GE(m.stableRefreshes, m.refreshes - 1);
        EXPECT_LE(m.worstError, bound(c.wave, f));
    }
}

INSTANTIATE_TEST_SUITE_P(Waveforms, AccuracyTest,
                         ::testing::Values(AccuracyCase{Wave::Sine, "Sine", 40.0},
                                           AccuracyCase{Wave::Sawtooth, "Sawtooth", 40.0},
                                           AccuracyCase{Wave::Plucked, "Plucked", 80.0},
                                           AccuracyCase{Wave::NoisySine, "NoisySine", 80.0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AccuracyLimitsTest, SilenceDirectCurrentAndQuietSignalsGiveNoPitch) {
    const std::vector<int16_t> silence(22050, 0);
    EXPECT_EQ(measure(silence, 1.0).stableRefreshes, 0);
    const std::vector<int16_t> offset(22050, 12000);
    EXPECT_EQ(measure(offset, 1.0).stableRefreshes, 0);
    // A span of 1200 sample units is below the level the tuner believes.
    EXPECT_EQ(measure(synthesize(Wave::Sine, 440.0, 600.0), 440.0).stableRefreshes, 0);
    EXPECT_EQ(measure(synthesize(Wave::Sawtooth, 110.0, 600.0), 110.0).stableRefreshes, 0);
}

TEST(AccuracyLimitsTest, PitchesOutsideTheRangeAreNotShown) {
    EXPECT_EQ(measure(synthesize(Wave::Sine, 25.0), 25.0).stableRefreshes, 0);
    EXPECT_EQ(measure(synthesize(Wave::Sine, 3000.0), 3000.0).stableRefreshes, 0);
}

TEST(AccuracyLimitsTest, QuieterNoteAfterLoudOneIsFoundOnceEnvelopeDecays) {
    std::vector<int16_t> loud = synthesize(Wave::Sine, 440.0, 20000.0);
    loud.resize(22050 / 2);
    const std::vector<int16_t> quiet = synthesize(Wave::Sine, 330.0, 3000.0);
    std::vector<int16_t> both = loud;
    both.insert(both.end(), quiet.begin(), quiet.end());
    resetDetector();
    resetValidator();
    trackBlock(both.data(), static_cast<int32_t>(loud.size()));
    ASSERT_NEAR(rate / currentPeriod(), 440.0, 0.1);
    // The envelope needs a few tenths of a second to come down to the quiet note.
    const int32_t settle = 22050 / 2;
    trackBlock(both.data() + loud.size(), settle);
    EXPECT_TRUE(trackBlock(both.data() + loud.size() + settle, 2205));
    EXPECT_NEAR(rate / currentPeriod(), 330.0, 330.0 * 0.001);
}

}  // namespace
}  // namespace veldra
