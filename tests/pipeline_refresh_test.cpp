// The block pipeline's pacing: refresh points, suspension, backlog.
#include "analysis/block_pipeline.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "analysis/level_tracker.h"
#include "analysis/period_validator.h"
#include "display/display.h"
#include "views/phase_trace.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

class PipelineRefreshTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetDisplay();
        setPlotWindow(0, 26, 240, 268);
        buildFont();
        buildTrigTables();
        resetDial();
        setDialGeometry(120, 128, 40, 106);
        setupInstrument(InstrumentKind::Guitar);
        resetDetector();
        resetValidator();
        setAnalysisRate(22050);
        resetTrace();
        setTraceOrigin(117, 128, 10);
        resetBlockPipeline();
        ASSERT_TRUE(setRefreshDivisor(10));
    }
    void TearDown() override { resetDisplay(); }

    // Feeds one block; true when it reached the dial.
    bool feed(const std::vector<int16_t>& block, bool backlog = false) {
        const int32_t before = pipelineState().dialRefreshes;
        analyzeBlock(block.data(), static_cast<int32_t>(block.size()), backlog);
        ++blocks;
        return pipelineState().dialRefreshes != before;
    }
    static std::vector<int16_t> loudSquare(int32_t period) {
        std::vector<int16_t> block(220);
        for (int32_t i = 0; i < 220; ++i) block[i] = (i % period) < period / 2 ? 12000 : -12000;
        return block;
    }
    static int32_t inkLit() {
        int32_t n = 0;
        for (int32_t i = 0; i < 240 * 320; ++i) n += InkLayer.pixels[i] != 0;
        return n;
    }

    const std::vector<int16_t> silence = std::vector<int16_t>(220, 0);
    int32_t blocks = 0;
};

TEST_F(PipelineRefreshTest, TenRefreshesPerSecondOfSoundOn220SampleBlocks) {
    std::vector<int32_t> refreshed, faded;
    for (int32_t block = 1; block <= 460; ++block) {
        const int32_t fadeBefore = displayState().fadeAccumulator;
        if (feed(silence)) refreshed.push_back(block);
        if (displayState().fadeAccumulator != fadeBefore) faded.push_back(block);
    }
    std::vector<int32_t> expected;
    for (int32_t block = 11; block <= 431; block += 10) expected.push_back(block);
    expected.push_back(442);  // the 5-sample remainders add up to one extra block
    expected.push_back(452);
    EXPECT_EQ(refreshed, expected);
    EXPECT_EQ(faded, expected);  // fadeInk follows each dial refresh
}

TEST_F(PipelineRefreshTest, BeforeTheFirstPeriodTheDialGets22050HzAndNoNeedle) {
    for (int32_t block = 1; block <= 11; ++block) feed(silence);
    EXPECT_EQ(pipelineState().dialRefreshes, 1);
    EXPECT_EQ(pipelineState().shownFrequency, 22050.0f);
    EXPECT_FALSE(pipelineState().shownStable);
    EXPECT_EQ(dialState().reading, DialReading::None);
}

TEST_F(PipelineRefreshTest, DivisorsWithoutAnIntervalAreRefused) {
    EXPECT_FALSE(setRefreshDivisor(0));
    EXPECT_FALSE(setRefreshDivisor(-3));
    EXPECT_FALSE(setRefreshDivisor(22051));
    EXPECT_EQ(pipelineState().refreshDivisor, 10);
}

// While suspended nothing is analysed or drawn, but the refresh phase runs on: after the
// pause the next refresh comes where the uninterrupted count puts it.
TEST_F(PipelineRefreshTest, SuspendedBlocksOnlyAdvanceTheRefreshPhase) {
    for (int32_t block = 1; block <= 5; ++block) feed(loudSquare(50));
    DetectorState detectorBefore;
    std::memcpy(&detectorBefore, &detectorState(), sizeof detectorBefore);
    const TraceState traceBefore = traceState();
    const int32_t inkBefore = inkLit();
    const int32_t fadeBefore = displayState().fadeAccumulator;

    suspendDrawing();
    for (int32_t block = 6; block <= 15; ++block) EXPECT_FALSE(feed(loudSquare(30)));
    resumeDrawing();

    EXPECT_EQ(std::memcmp(&detectorBefore, &detectorState(), sizeof detectorBefore), 0);
    EXPECT_EQ(std::memcmp(&traceBefore, &traceState(), sizeof traceBefore), 0);
    EXPECT_EQ(inkLit(), inkBefore);
    EXPECT_EQ(displayState().fadeAccumulator, fadeBefore);
    EXPECT_EQ(pipelineState().dialRefreshes, 0);  // block 11 fell into the pause

    std::vector<int32_t> refreshed;
    for (int32_t block = 16; block <= 31; ++block)
        if (feed(silence)) refreshed.push_back(block);
    EXPECT_EQ(refreshed, (std::vector<int32_t>{21, 31}));
}

// A refresh point on a backlog block is dropped, not postponed; the trace still takes
// the block into its history, but draws nothing.
TEST_F(PipelineRefreshTest, BacklogDropsTheRefreshButFeedsTheTrace) {
    for (int32_t block = 1; block <= 10; ++block) feed(silence);
    std::vector<int16_t> marked(220);
    for (int32_t i = 0; i < 220; ++i) marked[i] = static_cast<int16_t>(1000 + i);
    const int32_t fadeBefore = displayState().fadeAccumulator;
    const int32_t inkBefore = inkLit();

    EXPECT_FALSE(feed(marked, true));  // block 11: a refresh point
    EXPECT_EQ(displayState().fadeAccumulator, fadeBefore);
    EXPECT_EQ(inkLit(), inkBefore);
    const int32_t delay = traceState().traceDelay;
    EXPECT_EQ(traceState().traceHistory[delay], 1219);  // the block's last sample
    EXPECT_EQ(traceState().traceHistory[0], 1219 - delay);

    std::vector<int32_t> refreshed;
    for (int32_t block = 12; block <= 21; ++block)
        if (feed(silence)) refreshed.push_back(block);
    EXPECT_EQ(refreshed, std::vector<int32_t>{21});
}

TEST_F(PipelineRefreshTest, BacklogBlocksAreStillAnalysed) {
    for (int32_t block = 1; block <= 30; ++block) feed(loudSquare(100), true);
    EXPECT_GT(currentPeriod(), 0.0);
    EXPECT_EQ(pipelineState().dialRefreshes, 0);
}

TEST_F(PipelineRefreshTest, EmptyBlocksAreIgnored) {
    analyzeBlock(silence.data(), 0, false);
    analyzeBlock(silence.data(), -220, false);
    EXPECT_EQ(pipelineState().refreshAccumulator, 0);
}

}  // namespace
}  // namespace veldra
