// The phase-portrait trace: pairing across blocks, the automatic delay, backlog.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "analysis/period_validator.h"
#include "display/display.h"
#include "tests/support/surface_pixels.h"
#include "tests/support/tuner_setup.h"
#include "views/phase_trace.h"

namespace veldra {
namespace {

class TracePhaseTest : public ::testing::Test {
protected:
    void SetUp() override { startTunerModules(); }
    void TearDown() override { resetDisplay(); }
    static void trace(const std::vector<int16_t>& block, bool backlog = false) {
        drawTrace(block.data(), static_cast<int32_t>(block.size()), backlog);
    }
    // The lit x positions of row y.
    static std::vector<int32_t> litInRow(int32_t y) {
        std::vector<int32_t> xs;
        for (int32_t x = 0; x < 240; ++x)
            if (InkLayer.pixels[y * 240 + x] != 0) xs.push_back(x);
        return xs;
    }
    static std::vector<int16_t> ramp(int32_t from, int32_t count) {
        std::vector<int16_t> block(count);
        for (int32_t i = 0; i < count; ++i) block[i] = static_cast<int16_t>(from + i);
        return block;
    }
};

// The point of sample k is (S[k - 50], S[k]) shifted right by 2, round origin 0; S is 0
// before the start. A ramp of distinct samples shows which samples pair: row r holds the
// points of samples 4r .. 4r + 3. Blocks of any length pair as one long stream, those
// shorter than the delay as well as one of several hundred samples.
TEST_F(TracePhaseTest, PointsPairSamplesDelayApartAcrossBlocks) {
    setTraceOrigin(0, 0, 2);
    setTraceAutoDelay(false);
    int32_t next = 0;
    for (int32_t length : {220, 10, 30, 1, 219, 500}) {
        trace(ramp(next, length));
        next += length;
    }
    for (int32_t row = 0; row < next / 4; ++row) {
        std::vector<int32_t> expected;
        for (int32_t k = 4 * row; k < 4 * row + 4; ++k) {
            const int32_t x = k < 50 ? 0 : (k - 50) >> 2;
            if (std::find(expected.begin(), expected.end(), x) == expected.end()) expected.push_back(x);
        }
        EXPECT_EQ(litInRow(row), expected) << row;
    }
}

TEST_F(TracePhaseTest, DelayBecomesAQuarterOfTheListedPeriodFromTheNextBlock) {
    listPeriod(160.0f);
    std::vector<int16_t> sine(220 * 2);
    constexpr double amplitude = 30000.0;
    for (size_t i = 0; i < sine.size(); ++i)
        sine[i] = static_cast<int16_t>(amplitude * std::sin(2.0 * std::numbers::pi * i / 160.0));
    trace({sine.begin(), sine.begin() + 220});
    EXPECT_EQ(traceState().traceDelay, 40);
    // From the next block on a quarter period separates x and y: a circle of radius
    // amplitude / 1024 round the origin, up to the rounding of the two shifts.
    resetLayers();
    trace({sine.begin() + 220, sine.end()});
    const double radius = amplitude / 1024.0;
    int32_t minX = 240, maxX = 0, minY = 320, maxY = 0;
    for (const auto& [x, y] : litPixels(InkLayer)) {
        EXPECT_NEAR(std::hypot(x - 117 + 0.5, y - 128 + 0.5), radius, 1.5) << x << ", " << y;
        minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
    EXPECT_NEAR(maxX - minX, 2 * radius, 2);  // a full circle, not a slanted line
    EXPECT_GE(maxY - minY, 2 * radius - 2);
}

// 11.9 / 4 truncates to 2: too short; 12 / 4 = 3 is taken. The longest listed period
// gives 172, not below the block length but below a block of 172; without the automatic
// delay it never changes.
TEST_F(TracePhaseTest, DelayChangesOnlyForQuarterPeriodsFromThreeToTheBlockLength) {
    const std::vector<int16_t> silence(220, 0);
    listPeriod(11.9f);
    trace(silence);
    EXPECT_EQ(traceState().traceDelay, 50);
    listPeriod(12.0f);
    trace(silence);
    EXPECT_EQ(traceState().traceDelay, 3);
    listPeriod(689.0f);
    trace(std::vector<int16_t>(172, 0));
    EXPECT_EQ(traceState().traceDelay, 3);
    trace(silence);
    EXPECT_EQ(traceState().traceDelay, 172);
    setTraceAutoDelay(false);
    listPeriod(160.0f);
    trace(silence);
    EXPECT_EQ(traceState().traceDelay, 172);
}

TEST_F(TracePhaseTest, BacklogDrawsNothingButFollowsTheSound) {
    setTraceOrigin(0, 0, 0);
    listPeriod(160.0f);
    trace(ramp(0, 220), true);
    EXPECT_EQ(countPixels(InkLayer), 0);
    EXPECT_EQ(traceState().traceDelay, 40);
    // The history is the block's last 41 samples, ready for the next block.
    EXPECT_EQ(traceState().traceHistory[0], 179);
    EXPECT_EQ(traceState().traceHistory[40], 219);
    trace(ramp(220, 60));
    EXPECT_EQ(litInRow(220), std::vector<int32_t>{180});
}

}  // namespace
}  // namespace veldra
