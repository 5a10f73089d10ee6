// The level tracker and crossing detector: envelope updates, interpolation, the rise with
// an infinite fraction. (The rest of its arithmetic is checked to the bit on real
// recordings by veldra_file_reference_test.)
#include "analysis/level_tracker.h"

#include <gtest/gtest.h>

#include <tuple>
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
    static const DetectorState& d() { return detectorState(); }
    // Upper and lower threshold, maximum, minimum, pending decay.
    static auto envelope() {
        return std::tuple{d().upperThreshold, d().lowerThreshold, d().levelMax, d().levelMin,
                          d().levelDecay};
    }
    static auto rise() { return std::tuple{d().signalHigh, d().crossingFraction, d().samplesSinceCrossing}; }
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

}  // namespace
}  // namespace veldra
