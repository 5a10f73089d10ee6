// The block pipeline's pacing: pause, backlog, long blocks; digital silence; and what the
// tuner's state tells the readout. (The
// refresh points of 220-sample blocks, 11, 21, ..., 431, 442, 452, and the 22050 Hz shown
// before the first period are in every reference recording's CSV; the fuzz target holds
// every block to one frame and one fade per refresh point.)
#include "tuner/block_pipeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

#include "analysis/level_tracker.h"
#include "analysis/period_validator.h"
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
    void TearDown() override { resetDisplay(); }
    // Feeds one block; true when it reached the dial.
    static bool feed(const std::vector<int16_t>& block, bool backlog = false) {
        const int32_t before = pipelineState().dialRefreshes;
        analyzeBlock(block.data(), static_cast<int32_t>(block.size()), backlog);
        return pipelineState().dialRefreshes != before;
    }
    // Feeds blocks first..last of a kind; the ones that reached the dial.
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
    const std::vector<int16_t> silence = std::vector<int16_t>(220, 0);
};

// While paused nothing is analysed or drawn, but the refresh phase runs on: after the
// pause the next refresh comes where the uninterrupted count puts it.
TEST_F(PipelineRefreshTest, PausedBlocksOnlyAdvanceTheRefreshPhase) {
    feed(1, 5, loudSquare(50));
    DetectorState detectorBefore;
    std::memcpy(&detectorBefore, &detectorState(), sizeof detectorBefore);
    const TraceState traceBefore = traceState();
    const int32_t inkBefore = countPixels(InkLayer), fadeBefore = displayState().fadeAccumulator;
    pauseTuner();
    EXPECT_TRUE(isDrawingSuspended());  // the tuner tells the display too
    EXPECT_EQ(feed(6, 15, loudSquare(30)),
              std::vector<int32_t>{});  // block 11 falls into the pause
    resumeTuner();
    EXPECT_FALSE(isDrawingSuspended());
    EXPECT_EQ(std::memcmp(&detectorBefore, &detectorState(), sizeof detectorBefore), 0);
    EXPECT_EQ(std::memcmp(&traceBefore, &traceState(), sizeof traceBefore), 0);
    EXPECT_EQ(countPixels(InkLayer), inkBefore);
    EXPECT_EQ(displayState().fadeAccumulator, fadeBefore);
    EXPECT_EQ(feed(16, 31, silence), (std::vector<int32_t>{21, 31}));
}

// A refresh point on a backlog block is dropped, not postponed; the block is analysed and
// the trace takes it into its history, but nothing is drawn.
TEST_F(PipelineRefreshTest, BacklogDropsTheRefreshButFeedsAnalysisAndTrace) {
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

// A block longer than the refresh interval passes more than one refresh point: it shows
// one frame, and the points after it stay on the sound's clock, (n - 1) / 2205 of them
// after n samples, instead of one per block until the count has caught up.
TEST_F(PipelineRefreshTest, ABlockSpanningSeveralRefreshPointsKeepsTheSchedule) {
    EXPECT_TRUE(feed(std::vector<int16_t>(6807, 0)));  // passes the points at 2206, 4411, 6616
    EXPECT_EQ(pipelineState().dialRefreshes, 1);
    EXPECT_EQ(pipelineState().refreshAccumulator, 6807 - 3 * 2205);
    // The next points at 8821 samples (block 10 brings 6807 + 2200 = 9007), 11026 (block
    // 20: 11207) and 13231 (block 30: 13407).
    EXPECT_EQ(feed(1, 30, silence), (std::vector<int32_t>{10, 20, 30}));
    feed(std::vector<int16_t>(22050 * 4, 0), true);  // 40 points in one backlog block
    EXPECT_EQ(pipelineState().refreshAccumulator, (13407 + 88200 - 1) % 2205 + 1);
}

std::vector<Readout> told;  // what the readout listener was told, in order
void hear(const Readout& readout) {
    told.push_back(readout);
}

// The listener hears what the readout says at once and then each change, and only
// changes: the reading of a refresh with the mode tuned at the time; "paused" and "input
// lost" over it, the reading they interrupted gone when they end, since it is stale.
TEST_F(PipelineRefreshTest, TheReadoutIsToldTheReadingPauseAndLostInputAsTheyChange) {
    told.clear();
    listenToReadout(hear);
    ASSERT_EQ(told, std::vector<Readout>{Readout{}});
    const auto playUntilStable = [&] {
        for (int32_t b = 0; b < 300 && !(feed(loudSquare(50)) && pipelineState().shownStable);
             ++b) {
        }
        ASSERT_TRUE(pipelineState().shownStable);
    };
    applyTunerMode(InstrumentKind::Violin);
    EXPECT_EQ(told.size(), 1u);  // a mode alone changes nothing shown
    playUntilStable();
    const Readout reading{ReadoutKind::Reading, pipelineState().shownFrequency,
                          InstrumentKind::Violin};
    EXPECT_EQ(told.back(), reading);
    EXPECT_EQ(tunerState().readout, reading);

    told.clear();
    pauseTuner();
    pauseTuner();
    feed(1, 30, loudSquare(50));
    EXPECT_EQ(told, std::vector<Readout>{Readout{ReadoutKind::Paused}});
    resumeTuner();
    setInputLost(true);
    feed(1, 30, loudSquare(50));  // refreshes while lost read what the input left
    setInputLost(false);
    EXPECT_EQ(told, (std::vector<Readout>{Readout{ReadoutKind::Paused}, Readout{},
                                          Readout{ReadoutKind::InputLost}, Readout{}}));
    listenToReadout(nullptr);
    playUntilStable();
    EXPECT_EQ(told.size(), 4u);
}

// An input lost for good says so. One that comes back starts from a clean tuner: nothing
// heard before the loss is read again, not even in the silence it may bring first, and the
// mode's tuning values stay. A failed input's reason is said whatever happens after.
TEST_F(PipelineRefreshTest, AnInputBackStartsFromACleanTunerAndAFailedOneSaysWhy) {
    told.clear();
    listenToReadout(hear);
    applyTunerMode(InstrumentKind::Guitar);
    const PeriodValidator tuning = validatorState();
    for (int32_t b = 0; b < 300 && !(feed(loudSquare(50)) && validatorState().recentCount > 0);
         ++b) {
    }
    ASSERT_TRUE(pipelineState().shownStable);
    ASSERT_GT(validatorState().recentCount, 0);
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

// Before the views are set up (the first paint) the readout says nothing, paused or not.
TEST_F(PipelineRefreshTest, BeforeTheViewsAreSetUpTheReadoutSaysNothing) {
    resetTuner();
    told.clear();
    listenToReadout(hear);
    pauseTuner();
    EXPECT_TRUE(tunerState().paused);
    EXPECT_EQ(told, std::vector<Readout>{Readout{}});
    resetTuner();
}

// A headless tuner started again (veldra-file's and the browser's runs one after another)
// starts as the first time did: the window where the start-up puts it, not moved a second
// time; the dial's background captured; nothing counted.
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

// Where the crossing detector hears nothing, a second of zeros ends the reading (any noise
// would have ended it sooner); the tone coming back is read again.
TEST_F(PipelineRefreshTest, ASecondOfDigitalSilenceEndsTheReading) {
    std::vector<int16_t> tone(220);
    int64_t n = 0;
    const auto feedTone = [&](int32_t blocks) {
        for (int32_t b = 0; b < blocks; ++b) {
            for (int16_t& sample : tone)
                sample = static_cast<int16_t>(12000.0 * std::sin(2 * M_PI * 440.0 * n++ / 22050));
            feed(tone);
        }
    };
    const auto reading = [] {
        return pipelineState().shownStable ? pipelineState().shownFrequency : 0.0f;
    };
    feedTone(200);
    EXPECT_NEAR(reading(), 440.0f, 1.0f);
    feed(1, 95, silence);  // 0.95 s: the reading holds, as through a rest between notes
    EXPECT_NEAR(reading(), 440.0f, 1.0f);
    feed(96, 110, silence);
    EXPECT_EQ(reading(), 0.0f);
    EXPECT_EQ(dialState().reading, DialReading::None);
    feed(111, 1000, silence);
    EXPECT_EQ(reading(), 0.0f);
    feedTone(100);
    EXPECT_NEAR(reading(), 440.0f, 1.0f);
}

}  // namespace
}  // namespace veldra
