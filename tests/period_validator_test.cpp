// The period validator: range and level limits, seeding, averaging, listing, strays,
// new pitches and the three tolerance windows.
#include "analysis/period_validator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

#include "analysis/level_tracker.h"

namespace veldra {
namespace {

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
        for (int i = 0; i < times; ++i) validatePeriod(x);
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
        {10.0f, ValidatorState::Seeding}, {689.0f, ValidatorState::Tracking},
        {std::nextafter(689.0f, 1000.0f), ValidatorState::Idle}, {100.0f, ValidatorState::Seeding},
        {100.0f, ValidatorState::Tracking}, {std::nextafter(10.0f, 0.0f), ValidatorState::Idle}};
    for (const auto& [candidate, state] : steps) {
        validatePeriod(candidate);
        EXPECT_EQ(machine(), state) << candidate;
    }
}

// A span of 1309 is under the level limit, and infinities and NaN are out of range: each
// resets the machine but leaves the last period readable.
TEST_F(PeriodValidatorTest, QuietOrInfiniteCandidatesResetButKeepLastPeriod) {
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<int32_t, float> cases[] = {  // envelope span, candidate
        {1309, 100.0f}, {1310, inf}, {1310, -inf}, {1310, std::nanf("")}};
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
        return std::tuple(p.validatorState, p.smoothedPeriod, p.periodSum, p.averageCount, p.pitchStable, p.heldSamples);
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
    for (int i = 0; i < 5; ++i) EXPECT_EQ(recentPeriod(i), 106.0 - i) << i;
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
// through the mode commands in app_shell_test, and to the bit by the reference
// recordings.)
TEST_F(PeriodValidatorTest, FrequencyFollowsTheRateButTheEnvelopeIntervalDoesNot) {
    EXPECT_EQ(frequencyFromPeriod(0.0), 22050.0);
    setAnalysisRate(11025);
    EXPECT_EQ(frequencyFromPeriod(25.0), 441.0);
    EXPECT_EQ(detectorState().envelopeInterval, 44);
    resetDetector();
    EXPECT_EQ(frequencyFromPeriod(50.0), 441.0);
}

}  // namespace
}  // namespace veldra
