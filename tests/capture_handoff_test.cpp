// The capture hand-off over the scripted source: one wake-up per batch, the drain's
// 20-block limit and backlog flags, and the fresh wake-up after an overflow's re-arm.
#include "audio/capture_handoff.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

#include "platform/wave_in_scripted.h"
#include "support/polling.h"

namespace veldra {
namespace {

const auto mainWindow = reinterpret_cast<WindowHandle>(uintptr_t{0x960});

std::vector<std::pair<int16_t, bool>> handed;  // each block's first sample and backlog flag
std::function<void()> duringConsumer;           // runs inside the consumer, after noting the block

void noteBlock(const int16_t* block, int32_t count, bool backlog) {
    EXPECT_EQ(count, 220);
    handed.emplace_back(block[0], backlog);
    if (duringConsumer) duringConsumer();
}

class HandoffTest : public ::testing::Test {
protected:
    void SetUp() override {
        handed.clear();
        duringConsumer = nullptr;
        clearWindowMessages();
        installWaveInSource(&source);
        prepareHandoff(mainWindow);
        setBlockConsumer(noteBlock);
        if (stream.configured == 0) {  // the program's one stream is configured for good
            ASSERT_TRUE(openStream(stream, onCaptureEvent, 3, 20, 440, 1, 22050, 16));
        }
        ASSERT_TRUE(startStream(stream));
    }
    void TearDown() override {
        const auto begin = std::chrono::steady_clock::now();
        EXPECT_TRUE(stopStream(stream));
        EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(20));
        closeHandoff();
        installWaveInSource(nullptr);
        resetHandoff();
    }
    bool anchored() {
        std::lock_guard<std::mutex> hold(stream.lock);
        return stream.readPtr != nullptr;
    }
    // Records blocks of 220 samples equal to from .. to, each waited for until stored.
    void store(int16_t from, int16_t to) {
        for (int16_t value = from; value <= to; ++value) {
            const uint32_t expected = (anchored() ? availableBytes(stream) : 0) + 440;
            const std::vector<int16_t> samples(220, value);
            ASSERT_EQ(source.recordSamples(samples.data(), 220), 220u);
            ASSERT_TRUE(eventually([&] { return anchored() && availableBytes(stream) == expected; }));
        }
    }
    // Takes the wake-up message, which must be the capture's for the main window, and
    // drains as the main window would.
    static void wakeUpAndDrain() {
        WindowMessage m{};
        ASSERT_TRUE(takeWindowMessage(&m));
        EXPECT_EQ(std::tuple(m.window, m.message, m.wParam, m.lParam),
                  std::tuple(mainWindow, CaptureReadyMessage, 0u, 0));
        drainCapture();
    }
    // The backlog flags handed so far.
    static std::vector<bool> backlogs() {
        std::vector<bool> flags;
        for (const auto& h : handed) flags.push_back(h.second);
        return flags;
    }

    ScriptedWaveIn source;
    WaveInStream& stream = captureStream();
};

TEST_F(HandoffTest, OneBlockWaitingIsAnalysedWithoutBacklog) {
    store(11, 11);
    EXPECT_FALSE(consumerIsIdle());
    wakeUpAndDrain();
    EXPECT_EQ(handed, (std::vector<std::pair<int16_t, bool>>{{11, false}}));
    EXPECT_TRUE(consumerIsIdle());
}

// Blocks 2..10 find a message outstanding; after the first read 3960 bytes still wait
// (backlog), after the second 3520 (none).
TEST_F(HandoffTest, TenBlocksGoInOneMessageOnlyTheFirstWithBacklog) {
    store(1, 10);
    EXPECT_EQ(pendingWindowMessages(), 1u);
    wakeUpAndDrain();
    ASSERT_EQ(handed.size(), 10u);
    for (size_t i = 0; i < 10; ++i) EXPECT_EQ(handed[i], std::pair(static_cast<int16_t>(i + 1), i == 0)) << i;
}

// Two more blocks arrive during the drain, after its third read (so that they fit):
// after read k, 22 - k blocks wait, so backlog up to the 13th. Stored while busy, they
// post no message; the next stored block wakes the main window again.
TEST_F(HandoffTest, OneMessageTakesTwentyBlocksAndLaterOnesWaitForTheNext) {
    store(1, 20);
    duringConsumer = [&] {
        if (handed.size() == 3) store(21, 22);
    };
    wakeUpAndDrain();
    duringConsumer = nullptr;
    std::vector<bool> expected(20, false);
    std::fill_n(expected.begin(), 13, true);
    EXPECT_EQ(backlogs(), expected);
    EXPECT_EQ(availableBytes(stream), 880u);
    EXPECT_EQ(pendingWindowMessages(), 0u);
    store(23, 23);
    wakeUpAndDrain();
    ASSERT_EQ(handed.size(), 23u);
    EXPECT_EQ(handed[20].first, 21);
}

// Block 21 overflows: the waiting sound is dropped and the stream re-armed; the next
// block posts a second message though the first was never handled. The first drain
// gets only the newest sound; the second finds nothing and only makes the consumer idle.
TEST_F(HandoffTest, AnOverflowDiscardsTheWaitingSoundAndWakesUpAfresh) {
    store(1, 20);
    const std::vector<int16_t> samples(220, 21);
    source.recordSamples(samples.data(), 220);
    ASSERT_TRUE(eventually([&] { return !anchored(); }));
    EXPECT_TRUE(consumerIsIdle());
    EXPECT_TRUE(source.device()->isRecording());
    store(22, 22);
    EXPECT_EQ(pendingWindowMessages(), 2u);
    wakeUpAndDrain();
    EXPECT_EQ(handed, (std::vector<std::pair<int16_t, bool>>{{22, false}}));
    wakeUpAndDrain();
    EXPECT_EQ(handed.size(), 1u);
    EXPECT_TRUE(consumerIsIdle());
}

}  // namespace
}  // namespace veldra
