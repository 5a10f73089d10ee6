// The analysis against the reference recordings: at every refresh point the frequency,
// the stable flag, the smoothed period and the recent list must match to the last bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>

#include "analysis/level_tracker.h"
#include "analysis/period_validator.h"
#include "tests/support/recordings.h"

namespace veldra {
namespace {

std::string format9(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

// The tuning values each mode command leaves behind.
void applyModes(const std::string& modes) {
    std::stringstream list(modes);
    for (std::string mode; std::getline(list, mode, '-');) {
        if (mode == "guitar") {
            setSmoothingSpan(22050 / 8);
            setPeriodTolerance(0.035);
        } else if (mode == "singing") {
            setSmoothingSpan(22050 / 16);
            setPeriodTolerance(0.08);
        }
    }
}

class AnalysisReferenceTest : public ::testing::TestWithParam<testing::ReferenceCase> {};

TEST_P(AnalysisReferenceTest, MatchesEveryRefreshPoint) {
    const testing::ReferenceCase& c = GetParam();
    resetDetector();
    resetValidator();
    setAnalysisRate(22050);
    applyModes(c.modes);
    const auto samples = testing::readMonoWav16(testing::dataPath(c.recording + ".wav"));
    const auto rows = testing::readCsv(testing::dataPath(c.recording + "." + c.modes + ".csv"));
    ASSERT_GT(rows.size(), 1u);

    constexpr int32_t blockSize = 220, interval = 22050 / 10;
    int32_t accumulator = 0;
    size_t row = 1;
    const size_t blocks = samples.size() / blockSize;
    for (size_t block = 1; block <= blocks; ++block) {
        const bool stable = trackBlock(&samples[(block - 1) * blockSize], blockSize);
        accumulator += blockSize;
        if (accumulator <= interval) continue;
        accumulator -= interval;
        ASSERT_LT(row, rows.size()) << "more refresh points than expected";
        const auto& expect = rows[row++];
        const double period = currentPeriod();
        const float frequency = static_cast<float>(static_cast<double>(22050.0f) /
                                                   (period == 0.0 ? 1.0 : period));
        SCOPED_TRACE("block " + std::to_string(block));
        ASSERT_EQ(expect[0], std::to_string(block));
        EXPECT_EQ(expect[2], format9(frequency));
        EXPECT_EQ(expect[3], stable ? "1" : "0");
        EXPECT_EQ(expect[4], format9(period));
        EXPECT_EQ(expect[5], format9(recentPeriod(0)));
        EXPECT_EQ(expect[6], std::to_string(validatorState().recentCount));
        if (::testing::Test::HasFailure()) return;
    }
    EXPECT_EQ(row, rows.size()) << "fewer refresh points than expected";
}

INSTANTIATE_TEST_SUITE_P(Recordings, AnalysisReferenceTest,
                         ::testing::ValuesIn(testing::referenceCases()),
                         [](const auto& info) {
                             std::string name = info.param.recording + "_" + info.param.modes;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
}  // namespace veldra
