// The level tracker and crossing detector: envelope updates, interpolation, odd rises.
#include "analysis/level_tracker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/period_validator.h"

namespace veldra {
namespace {

class LevelTrackerTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetDetector();
        resetValidator();
    }
    void feed(const std::vector<int16_t>& samples) {
        trackBlock(samples.data(), static_cast<int32_t>(samples.size()));
    }
    const DetectorState& d() { return detectorState(); }
};

// 1000 and -1000 first, then silence inside the band: the update at sample 45 is the
// first one to see levelMax 1000, levelMin -1000 and no pending decay.
std::vector<int16_t> loudStart(size_t length) {
    std::vector<int16_t> s(length, 0);
    s[0] = 1000;
    s[1] = -1000;
    return s;
}

TEST_F(LevelTrackerTest, EnvelopeUpdatesFromThousandDecayGeometrically) {
    const std::vector<int16_t> s = loudStart(136);
    struct Expect {
        size_t samples;
        int16_t upper, lower, max, min;
        int32_t decay;
    };
    const Expect steps[] = {
        {46, 600, -600, 1000, -1000, 30},
        {91, 600, -600, 970, -970, 29},
        {136, 582, -582, 941, -941, 28},
    };
    size_t fed = 0;
    for (const Expect& e : steps) {
        trackBlock(s.data() + fed, static_cast<int32_t>(e.samples - fed));
        fed = e.samples;
        SCOPED_TRACE(e.samples);
        EXPECT_EQ(d().upperThreshold, e.upper);
        EXPECT_EQ(d().lowerThreshold, e.lower);
        EXPECT_EQ(d().levelMax, e.max);
        EXPECT_EQ(d().levelMin, e.min);
        EXPECT_EQ(d().levelDecay, e.decay);
        EXPECT_EQ(d().envelopeCountdown, 44);
    }
}

TEST_F(LevelTrackerTest, EnvelopeStopsDecayingOnceSpanIsSmall) {
    feed(loudStart(100));
    std::vector<int16_t> silence(45 * 400, 0);
    feed(silence);
    const int32_t span = d().levelMax - d().levelMin;
    EXPECT_GT(span, 0);
    EXPECT_LE(span, 66);
    EXPECT_EQ(d().levelDecay, 0);
    feed(silence);
    EXPECT_EQ(d().levelMax - d().levelMin, span);
}

// Rises at 61 (fraction 0.25) and 111 (fraction 0.5): the second candidate is
// 49.75 + 0.5 = 50.25 and becomes the validator's seed.
std::vector<int16_t> twoInterpolatedRises() {
    std::vector<int16_t> s = loudStart(120);
    s[60] = 500;
    s[61] = 900;  // (600 - 500) / (900 - 500) = 0.25
    s[70] = -700;
    s[110] = 500;
    s[111] = 700;  // (600 - 500) / (700 - 500) = 0.5
    return s;
}

TEST_F(LevelTrackerTest, RiseIsInterpolatedAndCountRestartsAtMinusFraction) {
    const std::vector<int16_t> s = twoInterpolatedRises();
    trackBlock(s.data(), 62);
    EXPECT_FLOAT_EQ(d().crossingFraction, 0.25f);
    EXPECT_EQ(validatorState().validatorState, ValidatorState::Seeding);
    trackBlock(s.data() + 62, 50);  // up to and including sample 111
    EXPECT_EQ(d().crossingFraction, 0.5f);
    EXPECT_EQ(d().samplesSinceCrossing, -0.5f);
    EXPECT_EQ(validatorState().validatorState, ValidatorState::Tracking);
    EXPECT_EQ(currentPeriod(), 50.25);
}

TEST_F(LevelTrackerTest, RiseAtBlockStartUsesPreviousBlocksLastSample) {
    const std::vector<int16_t> s = twoInterpolatedRises();
    trackBlock(s.data(), 111);  // ends with the 500 before the rise
    trackBlock(s.data() + 111, 9);
    EXPECT_EQ(d().crossingFraction, 0.5f);
    EXPECT_EQ(currentPeriod(), 50.25);
    EXPECT_EQ(d().previousSample, 0);
}

TEST_F(LevelTrackerTest, SilenceProducesNothing) {
    std::vector<int16_t> silence(22050, 0);
    EXPECT_FALSE(trackBlock(silence.data(), 22050));
    EXPECT_EQ(d().levelMax, 0);
    EXPECT_EQ(d().levelMin, 0);
    EXPECT_EQ(d().upperThreshold, 0);
    EXPECT_EQ(d().lowerThreshold, 0);
    EXPECT_EQ(d().signalHigh, 0);
    EXPECT_EQ(d().samplesSinceCrossing, 22050.0f);
    EXPECT_EQ(validatorState().validatorState, ValidatorState::Idle);
    EXPECT_EQ(currentPeriod(), 0.0);
}

TEST_F(LevelTrackerTest, FirstPositiveSampleIsAnImmediateRejectedRise) {
    const int16_t first = 300;
    trackBlock(&first, 1);
    EXPECT_EQ(d().signalHigh, 1);
    EXPECT_EQ(d().crossingFraction, 0.0f);
    EXPECT_EQ(d().samplesSinceCrossing, 0.0f);  // candidate 1.0 was handed on and refused
    EXPECT_EQ(validatorState().validatorState, ValidatorState::Idle);
    // The envelope was updated on this very first sample.
    EXPECT_EQ(d().upperThreshold, 240);
    EXPECT_EQ(d().lowerThreshold, 60);
    EXPECT_EQ(d().envelopeCountdown, 44);
}

TEST_F(LevelTrackerTest, EqualSamplesAboveAFallenThresholdRestartCountFromZero) {
    std::vector<int16_t> s = loudStart(47);
    s[45] = 700;  // below the upper threshold 800 that still stands at this sample
    s[46] = 700;  // the update at 45 lowered it to 600: rise with 700 - 700 = 0 below
    trackBlock(s.data(), 46);
    EXPECT_EQ(d().upperThreshold, 600);
    EXPECT_EQ(d().signalHigh, 0);
    trackBlock(s.data() + 46, 1);
    EXPECT_EQ(d().signalHigh, 1);
    EXPECT_EQ(d().crossingFraction, 0.0f);
    EXPECT_EQ(d().samplesSinceCrossing, 0.0f);
    EXPECT_EQ(validatorState().validatorState, ValidatorState::Idle);
}

TEST_F(LevelTrackerTest, NewExtremeCancelsPendingDecay) {
    std::vector<int16_t> s = loudStart(91);
    s[60] = 1200;
    feed(s);  // the update at 90 finds no decay pending: extremes stay
    EXPECT_EQ(d().levelMax, 1200);
    EXPECT_EQ(d().levelMin, -1000);
    EXPECT_EQ(d().levelDecay, 33);  // 2200 * 0.015
}

TEST_F(LevelTrackerTest, SetAnalysisRateKeepsEnvelopeInterval) {
    setAnalysisRate(8000);
    EXPECT_EQ(d().analysisRate, 8000);
    EXPECT_EQ(d().envelopeInterval, 44);
    resetDetector();
    EXPECT_EQ(d().analysisRate, 22050);
}

}  // namespace
}  // namespace veldra
