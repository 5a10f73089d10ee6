// The capture hand-off over the scripted source: one wake-up per batch, the drain's
// 20-block limit and backlog flags, and the fresh wake-up after an overflow's re-arm.
#include "audio/capture_handoff.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "platform/wave_in_scripted.h"

namespace veldra {
namespace {

constexpr uint32_t blockBytes = 440;
WindowHandle const mainWindow = reinterpret_cast<WindowHandle>(uintptr_t{0x960});

// What the consumer was handed, block by block.
struct Handed {
    int16_t first;
    int16_t last;
    int32_t count;
    bool backlog;
};
std::vector<Handed> handed;
std::function<void()> duringConsumer;  // run inside the consumer, after noting the block

void noteBlock(const int16_t* block, int32_t count, bool backlog) {
    handed.push_back({block[0], block[count - 1], count, backlog});
    if (duringConsumer) duringConsumer();
}

class HandoffTest : public ::testing::Test {
protected:
    void SetUp() override {
        handed.clear();
        handed.reserve(64);
        duringConsumer = nullptr;
        resetHandoff();
        clearWindowMessages();
        installWaveInSource(&source);
        prepareHandoff(mainWindow);
        setBlockConsumer(noteBlock);
        WaveInStream& s = captureStream();
        // The program's one stream is configured once and for all.
        if (s.configured == 0) {
            ASSERT_TRUE(openStream(s, onCaptureEvent, 3, 20, blockBytes, 1, 22050, 16));
        }
        ASSERT_TRUE(startStream(s));
    }
    void TearDown() override {
        const auto begin = std::chrono::steady_clock::now();
        EXPECT_TRUE(stopStream(captureStream()));
        EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(20));
        closeHandoff();
        installWaveInSource(nullptr);
        resetHandoff();
    }

    static void waitUntil(const std::function<bool()>& reached) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!reached()) {
            ASSERT_LT(std::chrono::steady_clock::now(), giveUp) << "the capture thread is stuck";
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // Records one block of 220 samples equal to value and waits until it is stored.
    void storeBlock(int16_t value) {
        // An unanchored ring starts again from nothing when this block anchors it.
        uint32_t before;
        {
            WaveInStream& s = captureStream();
            std::lock_guard<std::mutex> hold(s.lock);
            before = s.readPtr == nullptr ? 0 : s.available;
        }
        std::vector<int16_t> samples(220, value);
        ASSERT_EQ(source.recordSamples(samples.data(), samples.size()), 220u);
        waitUntil([&] { return availableBytes(captureStream()) == before + blockBytes; });
    }

    // Takes the wake-up that must be waiting.
    static void expectWakeUp() {
        WindowMessage m{};
        ASSERT_TRUE(takeWindowMessage(&m));
        EXPECT_EQ(m.window, mainWindow);
        EXPECT_EQ(m.message, CaptureReadyMessage);
        EXPECT_EQ(m.wParam, 0u);
        EXPECT_EQ(m.lParam, 0);
    }

    ScriptedWaveIn source;
};

TEST_F(HandoffTest, OneBlockWaitingIsAnalysedWithoutBacklog) {
    EXPECT_TRUE(consumerIsIdle());
    storeBlock(11);
    EXPECT_FALSE(consumerIsIdle());
    EXPECT_EQ(pendingWindowMessages(), 1u);
    expectWakeUp();
    drainCapture();
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(handed[0].first, 11);
    EXPECT_EQ(handed[0].count, 220);
    EXPECT_FALSE(handed[0].backlog);
    EXPECT_TRUE(consumerIsIdle());
    EXPECT_EQ(availableBytes(captureStream()), 0u);
}

TEST_F(HandoffTest, TenBlocksGoInOneMessageOnlyTheFirstWithBacklog) {
    for (int16_t b = 1; b <= 10; ++b) storeBlock(b);
    EXPECT_EQ(pendingWindowMessages(), 1u);  // blocks 2..10 found a message outstanding
    expectWakeUp();
    drainCapture();
    ASSERT_EQ(handed.size(), 10u);
    EXPECT_TRUE(handed[0].backlog);  // 3960 bytes still waiting
    for (size_t i = 1; i < 10; ++i) EXPECT_FALSE(handed[i].backlog) << i;  // 3520 or less
    for (size_t i = 0; i < 10; ++i) EXPECT_EQ(handed[i].first, static_cast<int16_t>(i + 1));
    EXPECT_TRUE(consumerIsIdle());
}

TEST_F(HandoffTest, AFullRingTakesTwentyBlocksAndLaterOnesWaitForTheNextMessage) {
    for (int16_t b = 1; b <= 20; ++b) storeBlock(b);
    // While the drain runs, two more blocks arrive (after three reads, so they fit).
    duringConsumer = [&] {
        if (handed.size() == 3) {
            storeBlock(21);
            storeBlock(22);
        }
    };
    expectWakeUp();
    drainCapture();
    duringConsumer = nullptr;
    ASSERT_EQ(handed.size(), 20u);
    EXPECT_EQ(handed[19].first, 20);
    // After read k, 20 - k blocks wait, and 2 more from the third read on: backlog
    // (9 or more waiting) up to the 13th block.
    for (size_t i = 0; i < 20; ++i) EXPECT_EQ(handed[i].backlog, i < 13) << i;
    EXPECT_EQ(availableBytes(captureStream()), 2 * blockBytes);
    EXPECT_EQ(pendingWindowMessages(), 0u);  // stored while busy: no message
    EXPECT_TRUE(consumerIsIdle());

    storeBlock(23);  // the next stored block wakes the main thread again
    expectWakeUp();
    drainCapture();
    ASSERT_EQ(handed.size(), 23u);
    EXPECT_EQ(handed[20].first, 21);
    EXPECT_EQ(handed[22].first, 23);
}

TEST_F(HandoffTest, AnOverflowDiscardsTheWaitingSoundAndWakesUpAfresh) {
    for (int16_t b = 1; b <= 20; ++b) storeBlock(b);
    EXPECT_EQ(pendingWindowMessages(), 1u);
    WaveInStream& s = captureStream();
    const auto unanchored = [&] {
        std::lock_guard<std::mutex> hold(s.lock);
        return s.readPtr == nullptr;
    };
    std::vector<int16_t> samples(220, 21);
    source.recordSamples(samples.data(), samples.size());
    waitUntil(unanchored);  // dropped, and the stream re-armed
    EXPECT_TRUE(consumerIsIdle());
    EXPECT_TRUE(source.device()->isRecording());
    EXPECT_EQ(s.overflowPaused, 0);

    // The next block anchors the ring afresh and posts a second message, although the
    // first was never handled.
    samples.assign(220, 22);
    source.recordSamples(samples.data(), samples.size());
    waitUntil([&] { return availableBytes(s) == blockBytes && !unanchored(); });
    EXPECT_EQ(pendingWindowMessages(), 2u);
    expectWakeUp();
    drainCapture();
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(handed[0].first, 22);  // the newest sound, nothing of what was waiting
    EXPECT_FALSE(handed[0].backlog);

    // The second message finds nothing waiting: it only makes the consumer idle again.
    expectWakeUp();
    drainCapture();
    EXPECT_EQ(handed.size(), 1u);
    EXPECT_TRUE(consumerIsIdle());
}

TEST_F(HandoffTest, AMessageWithNothingWaitingOnlyMakesTheConsumerIdle) {
    storeBlock(1);
    expectWakeUp();
    rearmStream(captureStream());  // the ring is un-anchored under the message
    drainCapture();
    EXPECT_TRUE(handed.empty());
    EXPECT_TRUE(consumerIsIdle());
    drainCapture();
    EXPECT_TRUE(handed.empty());
}

TEST_F(HandoffTest, UnknownEventsAndAClosedHandoffPostNothing) {
    onCaptureEvent(0);
    onCaptureEvent(3);
    EXPECT_TRUE(consumerIsIdle());
    closeHandoff();
    storeBlock(5);
    EXPECT_EQ(pendingWindowMessages(), 0u);
}

}  // namespace
}  // namespace veldra
