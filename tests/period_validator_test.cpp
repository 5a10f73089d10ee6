// The period validator: range and level limits, seeding, averaging, listing, strays,
// new pitches and the three tolerance windows.
#include "analysis/period_validator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "analysis/level_tracker.h"

namespace veldra {
namespace {

class PeriodValidatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetDetector();
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
        for (int i = 0; i < times; ++i) validatePeriod(x);
    }
    const PeriodValidator& v() { return validatorState(); }
};

TEST_F(PeriodValidatorTest, SteadyA440ReachesEachMilestoneOnTime) {
    const float x = 22050.0f / 440.0f;
    validatePeriod(x);  // consumed by Idle
    EXPECT_EQ(v().validatorState, ValidatorState::Seeding);
    EXPECT_EQ(currentPeriod(), 0.0);
    validatePeriod(x);  // the seed
    EXPECT_EQ(v().validatorState, ValidatorState::Tracking);
    EXPECT_EQ(v().smoothedPeriod, x);
    for (int k = 1; k <= 90; ++k) {
        validatePeriod(x);
        EXPECT_EQ(v().pitchStable, k >= 7) << "candidate " << k;
        EXPECT_EQ(v().averageCount, std::min(k, 29) + 1) << "candidate " << k;
        EXPECT_EQ(v().recentCount, k >= 90 ? 1 : 0) << "candidate " << k;
    }
    EXPECT_TRUE(v().periodListed);
    EXPECT_EQ(v().heldSamples, 0);
    EXPECT_NEAR(recentPeriod(0), x, 1e-4);
    EXPECT_EQ(recentPeriod(1), 0.0);
}

TEST_F(PeriodValidatorTest, SteadyA100IsStableAtFirstCandidateAfterSeed) {
    feed(220.5f, 2);
    EXPECT_FALSE(v().pitchStable);
    validatePeriod(220.5f);
    EXPECT_TRUE(v().pitchStable);
    EXPECT_EQ(currentPeriod(), 220.5);
}

TEST_F(PeriodValidatorTest, ExponentialPhaseMovesByPeriodOverSpan) {
    feed(100.0f, 2 + 15);  // the 14th took the sum to 1500 > 1470; the 15th was exponential
    EXPECT_EQ(v().averageCount, 15);
    EXPECT_EQ(v().periodSum, 1500.0f);
    const float sum = v().periodSum;
    validatePeriod(104.0f);
    // P + (x - P) * P / 1470: a weight of 100 / 1470 towards the new candidate.
    EXPECT_NEAR(currentPeriod(), 100.0 + 4.0 * 100.0 / 1470.0, 1e-4);
    EXPECT_EQ(v().periodSum, sum);
    EXPECT_EQ(v().averageCount, 15);
}

TEST_F(PeriodValidatorTest, RangeLimitsPassAndFailAtTheirEdges) {
    validatePeriod(10.0f);
    EXPECT_EQ(v().validatorState, ValidatorState::Seeding);
    validatePeriod(689.0f);
    EXPECT_EQ(v().validatorState, ValidatorState::Tracking);
    validatePeriod(std::nextafter(689.0f, 1000.0f));
    EXPECT_EQ(v().validatorState, ValidatorState::Idle);
    feed(100.0f, 2);
    validatePeriod(std::nextafter(10.0f, 0.0f));
    EXPECT_EQ(v().validatorState, ValidatorState::Idle);
}

TEST_F(PeriodValidatorTest, QuietSignalResetsButKeepsLastPeriodReadable) {
    setEnvelopeSpan(1310);
    feed(100.0f, 5);  // sum 400 > 367
    ASSERT_TRUE(v().pitchStable);
    setEnvelopeSpan(1309);
    validatePeriod(100.0f);
    EXPECT_FALSE(v().pitchStable);
    EXPECT_EQ(v().validatorState, ValidatorState::Idle);
    EXPECT_EQ(v().averageCount, 0);
    EXPECT_EQ(v().periodSum, 0.0f);
    EXPECT_EQ(currentPeriod(), 100.0);
}

TEST_F(PeriodValidatorTest, InfiniteAndNotANumberCandidatesReset) {
    for (float bad : {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                      std::numeric_limits<float>::quiet_NaN()}) {
        feed(100.0f, 5);  // sum 400 > 367
        ASSERT_TRUE(v().pitchStable);
        validatePeriod(bad);
        EXPECT_EQ(v().validatorState, ValidatorState::Idle) << bad;
        EXPECT_FALSE(v().pitchStable) << bad;
        EXPECT_EQ(currentPeriod(), 100.0);
    }
}

TEST_F(PeriodValidatorTest, StrayCandidateKeepsPeriod) {
    feed(100.0f, 2 + 5);
    const PeriodValidator before = v();
    validatePeriod(50.0f);  // an octave error
    EXPECT_EQ(v().validatorState, ValidatorState::Suspect);
    EXPECT_EQ(v().suspectPeriod, 50.0f);
    validatePeriod(101.0f);  // back on the note: not averaged
    EXPECT_EQ(v().validatorState, ValidatorState::Tracking);
    EXPECT_EQ(v().smoothedPeriod, before.smoothedPeriod);
    EXPECT_EQ(v().periodSum, before.periodSum);
    EXPECT_EQ(v().averageCount, before.averageCount);
    EXPECT_EQ(v().pitchStable, before.pitchStable);
    EXPECT_EQ(v().heldSamples, before.heldSamples);
}

TEST_F(PeriodValidatorTest, TwoDisagreeingCandidatesAfterSuspectGoIdle) {
    feed(100.0f, 2 + 5);
    validatePeriod(50.0f);
    validatePeriod(200.0f);
    EXPECT_EQ(v().validatorState, ValidatorState::Idle);
    EXPECT_FALSE(v().pitchStable);
    EXPECT_EQ(currentPeriod(), 100.0);
}

TEST_F(PeriodValidatorTest, NewPitchWithoutSilenceTakesMeanAndIsNotListed) {
    feed(100.0f, 2 + 46);  // 100 samples a candidate: listed at the 46th
    ASSERT_EQ(v().recentCount, 1);
    ASSERT_TRUE(v().pitchStable);
    validatePeriod(150.0f);
    validatePeriod(151.0f);
    EXPECT_EQ(v().validatorState, ValidatorState::Tracking);
    EXPECT_EQ(v().averageCount, 2);
    EXPECT_EQ(v().periodSum, 301.0f);
    EXPECT_EQ(currentPeriod(), 150.5);
    EXPECT_TRUE(v().pitchStable);  // inherited, although the sum is below 367
    feed(150.5f, 200);
    EXPECT_EQ(v().recentCount, 1);  // the new note was reached without a reset
    EXPECT_EQ(recentPeriod(0), 100.0);
}

TEST_F(PeriodValidatorTest, TrackingTimeCarriesOverToTheNextNote) {
    feed(100.0f, 2 + 30);  // 3000 samples held, not yet listed
    validatePeriod(1.0f);  // reset: heldSamples survives
    EXPECT_EQ(v().heldSamples, 3000);
    feed(200.0f, 2 + 8);  // 3000 + 8 * 200 = 4600 > 4410 before the 9th
    EXPECT_EQ(v().recentCount, 0);
    validatePeriod(200.0f);
    EXPECT_EQ(v().recentCount, 1);
    EXPECT_EQ(recentPeriod(0), 200.0);
}

TEST_F(PeriodValidatorTest, SixListingsKeepTheLatestFive) {
    for (int note = 1; note <= 6; ++note) {
        validatePeriod(1.0f);  // silence between notes resets the machine
        feed(100.0f + static_cast<float>(note), 2 + 50);
    }
    EXPECT_EQ(v().recentCount, 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(recentPeriod(i), 106.0 - i) << i;
    EXPECT_EQ(recentPeriod(5), 0.0);
    EXPECT_EQ(recentPeriod(-1), 0.0);
}

struct ToleranceCase {
    double tolerance;  // < 0: the start-up value
    double insideRatio;
    double outsideRatio;
};

class ToleranceWindowTest : public PeriodValidatorTest,
                            public ::testing::WithParamInterface<ToleranceCase> {};

TEST_P(ToleranceWindowTest, RatioMustLieStrictlyInsideWindow) {
    const ToleranceCase c = GetParam();
    for (const double ratio : {c.insideRatio, 2.0 - c.insideRatio}) {
        resetValidator();
        if (c.tolerance >= 0) setPeriodTolerance(c.tolerance);
        feed(100.0f, 2);
        validatePeriod(static_cast<float>(100.0 / ratio));
        EXPECT_EQ(v().validatorState, ValidatorState::Tracking) << ratio;
    }
    for (const double ratio : {c.outsideRatio, 2.0 - c.outsideRatio}) {
        resetValidator();
        if (c.tolerance >= 0) setPeriodTolerance(c.tolerance);
        feed(100.0f, 2);
        validatePeriod(static_cast<float>(100.0 / ratio));
        EXPECT_EQ(v().validatorState, ValidatorState::Suspect) << ratio;
    }
}

std::string windowName(const ::testing::TestParamInfo<ToleranceCase>& info) {
    static const char* const names[] = {"StartUp", "Guitar", "Singing"};
    return names[info.index];
}

INSTANTIATE_TEST_SUITE_P(Windows, ToleranceWindowTest,
                         ::testing::Values(ToleranceCase{-1.0, 1.044, 1.046},
                                           ToleranceCase{0.035, 1.034, 1.036},
                                           ToleranceCase{0.08, 1.079, 1.081}),
                         windowName);

TEST_F(PeriodValidatorTest, SettersRoundToSinglePrecision) {
    EXPECT_EQ(v().smoothingSpan, 1470.0f);
    EXPECT_EQ(v().periodTolerance, 0.045f);
    EXPECT_EQ(v().listingHoldTime, 4410.0f);
    setSmoothingSpan(22050 / 8);
    setPeriodTolerance(0.035);
    EXPECT_EQ(v().smoothingSpan, 2756.0f);
    EXPECT_EQ(v().periodTolerance, 0.035f);
}

TEST_F(PeriodValidatorTest, FrequencyFromPeriodUsesOneForZero) {
    EXPECT_EQ(frequencyFromPeriod(0.0), 22050.0);
    EXPECT_EQ(frequencyFromPeriod(50.0), 441.0);
    setAnalysisRate(11025);
    EXPECT_EQ(frequencyFromPeriod(25.0), 441.0);
}

}  // namespace
}  // namespace veldra
