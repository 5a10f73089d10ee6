// The block pipeline's pacing (pause, backlog, long blocks) and what the tuner's state
// tells the readout. The reference recordings' CSVs pin the refresh points; veldra-file's
// test holds a second of digital silence to ending the note.
#include "tuner/block_pipeline.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "analysis/level_tracker.h"
#include "analysis/period_validator.h"
#include "conditioning/conditioning.h"
#include "display/display.h"
#include "tests/support/surface_pixels.h"
#include "tests/support/tuner_setup.h"
#include "tuner/tuner.h"
#include "views/phase_trace.h"
#include "views/pictures.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

class PipelineRefreshTest : public ::testing::Test {
  protected:
    void SetUp() override { startTunerModules(); }
    void TearDown() override {
        resetDisplay();
        setConditioning(true);
    }
    // Feeds one block; true when it reached the dial.
    static bool feed(const std::vector<int16_t>& block, bool backlog = false) {
        const int32_t before = pipelineState().dialRefreshes;
        analyzeBlock(block.data(), static_cast<int32_t>(block.size()), backlog);
        return pipelineState().dialRefreshes != before;
    }
    // Feeds blocks first..last; the ones that reached the dial.
    static std::vector<int32_t> feed(int32_t first, int32_t last,
                                     const std::vector<int16_t>& block) {
        std::vector<int32_t> refreshed;
        for (int32_t b = first; b <= last; ++b)
            if (feed(block)) refreshed.push_back(b);
        return refreshed;
    }
    static std::vector<int16_t> loudSquare(int32_t period) {
        std::vector<int16_t> block(220);
        for (int32_t i = 0; i < 220; ++i)
            block[i] = (i % period) < period / 2 ? 12000 : -12000;
        return block;
    }
    // Plays a tone until a refresh shows it stable (and, if asked, the validator holds it).
    static void playUntilStable(bool held = false) {
        const auto done = [held] {
            return pipelineState().shownStable && (!held || validatorState().recentCount > 0);
        };
        for (int32_t b = 0; b < 300 && !(feed(loudSquare(50)) && done()); ++b)
            ;
        ASSERT_TRUE(done());
    }
    const std::vector<int16_t> silence = std::vector<int16_t>(220, 0);
};

// While paused nothing is analysed or drawn, but the refresh phase runs on.
TEST_F(PipelineRefreshTest, PausedBlocksOnlyAdvanceTheRefreshPhase) {
    feed(1, 5, loudSquare(50));
    DetectorState detectorBefore;
    std::memcpy(&detectorBefore, &detectorState(), sizeof detectorBefore);
    const TraceState traceBefore = traceState();
    const int32_t inkBefore = countPixels(InkLayer), fadeBefore = displayState().fadeAccumulator;
    pauseTuner();
    EXPECT_TRUE(isDrawingSuspended());  // the tuner tells the display too
    EXPECT_EQ(feed(6, 15, loudSquare(30)), std::vector<int32_t>{});  // block 11 passes
    resumeTuner();
    EXPECT_FALSE(isDrawingSuspended());
    EXPECT_EQ(std::memcmp(&detectorBefore, &detectorState(), sizeof detectorBefore), 0);
    EXPECT_EQ(std::memcmp(&traceBefore, &traceState(), sizeof traceBefore), 0);
    EXPECT_EQ(countPixels(InkLayer), inkBefore);
    EXPECT_EQ(displayState().fadeAccumulator, fadeBefore);
    EXPECT_EQ(feed(16, 31, silence), (std::vector<int32_t>{21, 31}));
}

// A refresh point on a backlog block is dropped, not postponed; the block is still
// analysed and traced.
TEST_F(PipelineRefreshTest, BacklogDropsTheRefreshButFeedsAnalysisAndTrace) {
    setConditioning(false);  // the block's own samples, so that its last one can be found
    feed(1, 10, silence);
    std::vector<int16_t> marked = loudSquare(100);
    marked.back() = 1219;
    const int32_t fadeBefore = displayState().fadeAccumulator, inkBefore = countPixels(InkLayer);
    EXPECT_FALSE(feed(marked, true));  // block 11: a refresh point
    EXPECT_EQ(displayState().fadeAccumulator, fadeBefore);
    EXPECT_EQ(countPixels(InkLayer), inkBefore);
    EXPECT_EQ(traceState().traceHistory[traceState().traceDelay], 1219);  // the block's last sample
    EXPECT_GT(envelopeSpan(), 0);  // the silence before left it at 0
    EXPECT_EQ(feed(12, 21, silence), std::vector<int32_t>{21});
    EXPECT_NE(displayState().fadeAccumulator, fadeBefore);  // the frame at 21 is faded
}

// A block passing several refresh points shows one frame; the points after it stay on the
// sound's clock, not one per block until the count has caught up.
TEST_F(PipelineRefreshTest, ABlockSpanningSeveralRefreshPointsKeepsTheSchedule) {
    EXPECT_TRUE(feed(std::vector<int16_t>(6807, 0)));  // passes the points at 2206, 4411, 6616
    EXPECT_EQ(pipelineState().dialRefreshes, 1);
    EXPECT_EQ(pipelineState().refreshAccumulator, 6807 - 3 * 2205);
    // The next points at 8821, 11026 and 13231 samples.
    EXPECT_EQ(feed(1, 30, silence), (std::vector<int32_t>{10, 20, 30}));
    feed(std::vector<int16_t>(22050 * 4, 0), true);  // 40 points in one backlog block
    EXPECT_EQ(pipelineState().refreshAccumulator, (13407 + 88200 - 1) % 2205 + 1);
}

std::vector<Readout> told;  // what the readout listener was told, in order
void hear(const Readout& readout) {
    told.push_back(readout);
}

// The listener hears the readout at once and then only its changes; "paused" and "input
// lost" end with no reading, the one they interrupted being stale.
TEST_F(PipelineRefreshTest, TheReadoutIsToldTheReadingPauseAndLostInputAsTheyChange) {
    told.clear();
    listenToReadout(hear);
    ASSERT_EQ(told, std::vector<Readout>{Readout{}});
    applyTunerMode(InstrumentKind::Violin);
    EXPECT_EQ(told.size(), 1u);  // a mode alone changes nothing shown
    playUntilStable();
    const Readout reading{ReadoutKind::Reading, pipelineState().shownFrequency,
                          InstrumentKind::Violin};
    EXPECT_EQ(told.back(), reading);
    EXPECT_EQ(tunerState().readout, reading);
    // New choices word the pitch otherwise: the reading goes until the next refresh.
    ASSERT_TRUE(applyTunerChoices(tunerChoices()));
    EXPECT_EQ(told.back(), reading);
    ASSERT_TRUE(applyTunerChoices({InstrumentKind::Violin, 0, 442, false, false}));
    EXPECT_EQ(told.back(), Readout{});
    playUntilStable();
    EXPECT_EQ(told.back().kind, ReadoutKind::Reading);

    told.clear();
    pauseTuner();
    pauseTuner();
    feed(1, 30, loudSquare(50));
    EXPECT_EQ(told, std::vector<Readout>{Readout{ReadoutKind::Paused}});
    resumeTuner();
    setInputLost(true);
    const int32_t refreshes = pipelineState().dialRefreshes;
    feed(1, 30, loudSquare(50));  // sound left in the ring when the loss was told
    EXPECT_EQ(pipelineState().dialRefreshes, refreshes);  // puts back no needle
    setInputLost(false);
    EXPECT_EQ(told, (std::vector<Readout>{Readout{ReadoutKind::Paused}, Readout{},
                                          Readout{ReadoutKind::InputLost}, Readout{}}));
    listenToReadout(nullptr);
    playUntilStable();
    EXPECT_EQ(told.size(), 4u);
}

// An input lost for good says so; one that comes back starts from a clean tuner with the
// mode's values kept. A failed input's reason is said whatever happens after.
TEST_F(PipelineRefreshTest, AnInputBackStartsFromACleanTunerAndAFailedOneSaysWhy) {
    told.clear();
    listenToReadout(hear);
    applyTunerMode(InstrumentKind::Guitar);
    const PeriodValidator tuning = validatorState();
    playUntilStable(true);
    setInputLost(true, true);
    EXPECT_EQ(told.back(), Readout{ReadoutKind::InputEnded});
    setInputLost(false);
    feed(1, 30, silence);  // 0.3 s of the zeros a quiet input brings
    EXPECT_FALSE(pipelineState().shownStable);
    EXPECT_EQ(validatorState().recentCount, 0);
    EXPECT_EQ(told.back(), Readout{});
    EXPECT_EQ(validatorState().periodTolerance, tuning.periodTolerance);
    EXPECT_EQ(validatorState().smoothingSpan, tuning.smoothingSpan);
    const Readout failed = failedInputReadout("no sound system: Connection refused");
    setInputFailed("no sound system: Connection refused");
    pauseTuner();
    setInputLost(true);
    EXPECT_EQ(told.back(), failed);
    EXPECT_EQ(tunerState().readout, failed);
    listenToReadout(nullptr);
}

// Before the first paint sets up the views the readout says nothing, paused or not.
TEST_F(PipelineRefreshTest, BeforeTheViewsAreSetUpTheReadoutSaysNothing) {
    resetTuner();
    told.clear();
    listenToReadout(hear);
    pauseTuner();
    EXPECT_TRUE(tunerState().paused);
    EXPECT_EQ(told, std::vector<Readout>{Readout{}});
    resetTuner();
}

// A headless tuner started again (runs one after another) starts as the first time did.
TEST(HeadlessTunerTest, EveryStartIsTheFirst) {
    HeadlessTuner tuner;
    ASSERT_TRUE(tuner.start());
    const PlotWindow first = displayState().plot;
    const std::vector<int16_t> tone = pluckedString(110.0, 1.0);
    for (size_t at = 0; at + 220 <= tone.size(); at += 220)
        analyzeBlock(&tone[at], 220, false);
    ASSERT_GT(pipelineState().dialRefreshes, 0);

    ASSERT_TRUE(tuner.start());
    const PlotWindow again = displayState().plot;
    EXPECT_EQ(std::make_tuple(again.left, again.top, again.width, again.height),
              std::make_tuple(first.left, first.top, first.width, first.height));
    EXPECT_EQ(tuner.window.screenRect().top, startupWindowRect.top);
    EXPECT_EQ(tuner.window.screenRect().bottom, startupWindowRect.bottom);
    EXPECT_EQ(pipelineState().dialRefreshes, 0);
    const Bitmap background = loadBitmapResource(backgroundResource);
    ASSERT_NE(background.pixels, nullptr);
    EXPECT_EQ(std::memcmp(BackgroundLayer.pixels, background.pixels, sizeof(uint16_t) * 240 * 268),
              0);
    resetDisplay();
}

}  // namespace
}  // namespace veldra
