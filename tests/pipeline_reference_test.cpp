// The whole per-block chain against the reference recordings: analyzeBlock with the real
// dial must reach the dial at the expected blocks with the expected frequency and flag,
// and show the expected needle (angle index, low or high arrow, or none).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>

#include "analysis/block_pipeline.h"
#include "analysis/level_tracker.h"
#include "analysis/period_validator.h"
#include "display/display.h"
#include "tests/support/recordings.h"
#include "views/phase_trace.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

std::string format9(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

std::string needleText(const DialState& dial) {
    switch (dial.reading) {
        case DialReading::None: return "none";
        case DialReading::Low: return "low";
        case DialReading::High: return "high";
        case DialReading::Needle: return std::to_string(dial.readingAngle);
    }
    return "?";
}

// The start-up state: Guitar's dial, but not the Guitar command's tuning values.
void startUp() {
    resetDisplay();
    setPlotWindow(0, 26, 240, 268);
    buildFont();
    buildTrigTables();
    resetDetector();
    resetValidator();
    setAnalysisRate(22050);
    resetTrace();
    setTraceOrigin(117, 128, 10);
    setTraceAutoDelay(true);
    resetDial();
    setDialGeometry(120, 128, 40, 106);
    setupInstrument(InstrumentKind::Guitar);
    resetBlockPipeline();
    setRefreshDivisor(10);
}

// What each mode command does: set the dial up and, for two modes, the tuning values.
void applyModes(const std::string& modes) {
    std::stringstream list(modes);
    for (std::string mode; std::getline(list, mode, '-');) {
        if (mode == "startup") continue;
        const char* names[] = {"guitar", "violin", "cello", "erhu", "pipa", "bass", "alto", "singing"};
        const auto found = std::find(std::begin(names), std::end(names), mode);
        ASSERT_NE(found, std::end(names)) << mode;
        setupInstrument(static_cast<InstrumentKind>(found - std::begin(names)));
        if (mode == "guitar") {
            setSmoothingSpan(22050 / 8);
            setPeriodTolerance(0.035);
        } else if (mode == "singing") {
            setSmoothingSpan(22050 / 16);
            setPeriodTolerance(0.08);
        }
    }
}

class PipelineReferenceTest : public ::testing::TestWithParam<testing::ReferenceCase> {
protected:
    void TearDown() override { resetDisplay(); }
};

TEST_P(PipelineReferenceTest, DialShowsWhatTheReferenceShows) {
    const testing::ReferenceCase& c = GetParam();
    startUp();
    applyModes(c.modes);
    const auto samples = testing::readMonoWav16(testing::dataPath(c.recording + ".wav"));
    const auto rows = testing::readCsv(testing::dataPath(c.recording + "." + c.modes + ".csv"));
    ASSERT_GT(rows.size(), 1u);
    ASSERT_EQ(rows[0].back(), "needle");

    constexpr size_t blockSize = 220;
    size_t row = 1;
    int32_t shown = 0;  // refreshes with a needle or an arrow
    for (size_t block = 1; block <= samples.size() / blockSize; ++block) {
        const int32_t before = pipelineState().dialRefreshes;
        analyzeBlock(&samples[(block - 1) * blockSize], blockSize, false);
        if (pipelineState().dialRefreshes == before) continue;
        ASSERT_LT(row, rows.size()) << "more refresh points than expected";
        const auto& expect = rows[row++];
        SCOPED_TRACE("block " + std::to_string(block));
        ASSERT_EQ(expect[0], std::to_string(block));
        EXPECT_EQ(expect[2], format9(pipelineState().shownFrequency));
        EXPECT_EQ(expect[3], pipelineState().shownStable ? "1" : "0");
        EXPECT_EQ(expect[7], needleText(dialState()));
        shown += dialState().reading != DialReading::None;
        if (::testing::Test::HasFailure()) return;
    }
    EXPECT_EQ(row, rows.size()) << "fewer refresh points than expected";
    EXPECT_GT(shown, 0);
}

INSTANTIATE_TEST_SUITE_P(Recordings, PipelineReferenceTest,
                         ::testing::ValuesIn(testing::referenceCases()),
                         [](const auto& info) {
                             std::string name = info.param.recording + "_" + info.param.modes;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
}  // namespace veldra
