// The phase-portrait trace: pairing across blocks, the automatic delay, backlog.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "analysis/level_tracker.h"
#include "analysis/period_validator.h"
#include "display/display.h"
#include "views/phase_trace.h"

namespace veldra {
namespace {

class TracePhaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetDisplay();
        setPlotWindow(0, 26, 240, 268);
        resetTrace();
        resetDetector();
        resetValidator();
    }
    void TearDown() override { resetDisplay(); }

    static uint16_t ink(int32_t x, int32_t y) { return InkLayer.pixels[y * 240 + x]; }
    static void clearInk() { resetLayers(); }
    static void trace(const std::vector<int16_t>& block, bool backlog = false) {
        drawTrace(block.data(), static_cast<int32_t>(block.size()), backlog);
    }
    // The lit x positions of row y.
    static std::vector<int32_t> litInRow(int32_t y) {
        std::vector<int32_t> xs;
        for (int32_t x = 0; x < 240; ++x)
            if (ink(x, y) != 0) xs.push_back(x);
        return xs;
    }
    static int32_t litCount() {
        int32_t n = 0;
        for (int32_t i = 0; i < 240 * 320; ++i) n += InkLayer.pixels[i] != 0;
        return n;
    }
    static std::vector<int16_t> ramp(int32_t from, int32_t count) {
        std::vector<int16_t> block(count);
        for (int32_t i = 0; i < count; ++i) block[i] = static_cast<int16_t>(from + i);
        return block;
    }
    // As in the dial tests: a loud block opens the envelope, then the period is held
    // until the validator lists it.
    static void listPeriod(float period) {
        resetDetector();
        resetValidator();
        std::vector<int16_t> loud(100);
        for (size_t i = 0; i < loud.size(); ++i) loud[i] = i % 2 ? 20000 : -20000;
        trackBlock(loud.data(), static_cast<int32_t>(loud.size()));
        for (int32_t i = 0; i < 3000 && validatorState().recentCount == 0; ++i) validatePeriod(period);
        ASSERT_GT(validatorState().recentCount, 0);
    }
};

// With origin 0 and no shift the point of sample j is (S[j - delay], S[j]): a ramp of
// distinct samples puts each point in a row of its own and shows which samples pair.
TEST_F(TracePhaseTest, FirstBlockPairsWithZerosThenWithItself) {
    setTraceOrigin(0, 0, 0);
    setTraceAutoDelay(false);
    trace(ramp(0, 220));
    for (int32_t j = 0; j < 220; ++j) {
        SCOPED_TRACE(j);
        EXPECT_EQ(litInRow(j), std::vector<int32_t>{j < 50 ? 0 : j - 50});
    }
    EXPECT_EQ(litCount(), 220);
}

TEST_F(TracePhaseTest, PointZeroPairsThePreviousBlocksSample170) {
    setTraceOrigin(0, 0, 0);
    setTraceAutoDelay(false);
    trace(ramp(0, 220));  // samples 0..219
    clearInk();
    trace(ramp(50, 220));  // samples 50..269: point j in row 50 + j
    EXPECT_EQ(litInRow(50), std::vector<int32_t>{170});
    EXPECT_EQ(litInRow(99), std::vector<int32_t>{219});
    EXPECT_EQ(litInRow(100), std::vector<int32_t>{50});
    EXPECT_EQ(litCount(), 220);
}

// Blocks of any length give the same pairs as one long stream, also when a block is
// shorter than the delay.
TEST_F(TracePhaseTest, ShortBlocksAreBridgedByTheHistory) {
    setTraceOrigin(0, 0, 1);  // row k / 2 holds the points of samples 2k and 2k + 1
    setTraceAutoDelay(false);
    int32_t next = 0;
    for (int32_t length : {220, 10, 30, 1, 219}) {
        trace(ramp(next, length));
        next += length;
    }
    for (int32_t row = 0; row < next / 2; ++row) {
        const int32_t k = 2 * row;  // the pair (S[k - 50], S[k]); S is 0 before the start
        SCOPED_TRACE(row);
        EXPECT_EQ(litInRow(row), std::vector<int32_t>{k < 50 ? 0 : (k - 50) / 2});
    }
}

// A block of several hundred samples pairs them as the stream does all along its length.
TEST_F(TracePhaseTest, LongBlocksPairLikeTheStream) {
    setTraceOrigin(0, 0, 2);  // row r holds the points of samples 4r .. 4r + 3
    setTraceAutoDelay(false);
    trace(ramp(0, 200));
    trace(ramp(200, 700));
    for (int32_t row = 0; row < 900 / 4; ++row) {
        std::vector<int32_t> expected;
        for (int32_t k = 4 * row; k < 4 * row + 4; ++k) {
            const int32_t x = k < 50 ? 0 : (k - 50) >> 2;
            if (std::find(expected.begin(), expected.end(), x) == expected.end()) expected.push_back(x);
        }
        std::sort(expected.begin(), expected.end());
        SCOPED_TRACE(row);
        EXPECT_EQ(litInRow(row), expected);
    }
}

TEST_F(TracePhaseTest, DelayBecomesAQuarterOfTheListedPeriodFromTheNextBlock) {
    listPeriod(160.0f);
    ASSERT_EQ(recentPeriod(0), 160.0);
    setTraceOrigin(117, 128, 10);
    setTraceAutoDelay(true);
    std::vector<int16_t> sine(220 * 3);
    constexpr double amplitude = 30000.0;
    for (size_t i = 0; i < sine.size(); ++i)
        sine[i] = static_cast<int16_t>(amplitude * std::sin(2.0 * std::numbers::pi * i / 160.0));
    const std::vector<int16_t> first(sine.begin(), sine.begin() + 220);
    trace(first);
    EXPECT_EQ(traceState().traceDelay, 40);

    // From the next block on a quarter period separates x and y: a circle of radius
    // amplitude / 1024 round the origin, up to the rounding of the two shifts.
    clearInk();
    const std::vector<int16_t> second(sine.begin() + 220, sine.begin() + 440);
    trace(second);
    const double radius = amplitude / 1024.0;
    int32_t minX = 240, maxX = 0, minY = 320, maxY = 0;
    for (int32_t y = 0; y < 320; ++y) {
        for (int32_t x : litInRow(y)) {
            const double r = std::hypot(x - 117 + 0.5, y - 128 + 0.5);
            EXPECT_NEAR(r, radius, 1.5) << x << ", " << y;
            minX = std::min(minX, x), maxX = std::max(maxX, x);
            minY = std::min(minY, y), maxY = std::max(maxY, y);
        }
    }
    EXPECT_LE(maxX - minX, 2 * radius + 2);  // a full circle, not a slanted line
    EXPECT_GE(maxX - minX, 2 * radius - 2);
    EXPECT_GE(maxY - minY, 2 * radius - 2);
}

TEST_F(TracePhaseTest, QuarterPeriodsOfTwoOrLessKeepTheDelay) {
    listPeriod(11.9f);  // 11 / 4 = 2: too short
    trace(std::vector<int16_t>(220, 0));
    EXPECT_EQ(traceState().traceDelay, 50);
    listPeriod(12.0f);  // 12 / 4 = 3: taken
    trace(std::vector<int16_t>(220, 0));
    EXPECT_EQ(traceState().traceDelay, 3);
    listPeriod(689.0f);  // the longest listed period: 172, below the block length
    trace(std::vector<int16_t>(172, 0));  // but not below a block of 172
    EXPECT_EQ(traceState().traceDelay, 3);
    trace(std::vector<int16_t>(220, 0));
    EXPECT_EQ(traceState().traceDelay, 172);
}

TEST_F(TracePhaseTest, BacklogDrawsNothingButFollowsTheSound) {
    setTraceOrigin(0, 0, 0);
    listPeriod(160.0f);
    trace(ramp(0, 220), true);
    EXPECT_EQ(litCount(), 0);
    EXPECT_EQ(traceState().traceDelay, 40);
    // The history is the block's last 41 samples, ready for the next block.
    EXPECT_EQ(traceState().traceHistory[0], 179);
    EXPECT_EQ(traceState().traceHistory[40], 219);
    trace(ramp(220, 60));
    EXPECT_EQ(litInRow(220), std::vector<int32_t>{180});
}

TEST_F(TracePhaseTest, WithoutAutoDelayTheDelayNeverChanges) {
    setTraceAutoDelay(false);
    listPeriod(160.0f);
    trace(std::vector<int16_t>(220, 0));
    EXPECT_EQ(traceState().traceDelay, 50);
    EXPECT_EQ(traceState().traceHistory[50], 0);
}

}  // namespace
}  // namespace veldra
