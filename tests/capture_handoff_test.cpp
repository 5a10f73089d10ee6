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

const auto mainWindow = reinterpret_cast<WindowHandle>(uintptr_t{0x960});

struct Handed {
    int16_t value;  // the block's first sample
    bool backlog;
};
std::vector<Handed> handed;
std::function<void()> duringConsumer;  // runs inside the consumer, after noting the block

void noteBlock(const int16_t* block, int32_t count, bool backlog) {
    EXPECT_EQ(count, 220);
    handed.push_back({block[0], backlog});
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
    static void waitUntil(const std::function<bool()>& reached) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!reached()) {
            ASSERT_LT(std::chrono::steady_clock::now(), giveUp) << "the capture thread is stuck";
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    bool anchored() {
        std::lock_guard<std::mutex> hold(stream.lock);
        return stream.readPtr != nullptr;
    }
    // Records a block of 220 samples equal to value and waits until it is stored.
    void storeBlock(int16_t value) {
        const uint32_t expected = (anchored() ? availableBytes(stream) : 0) + 440;
        const std::vector<int16_t> samples(220, value);
        ASSERT_EQ(source.recordSamples(samples.data(), 220), 220u);
        waitUntil([&] { return anchored() && availableBytes(stream) == expected; });
    }
    static void takeWakeUp() {
        WindowMessage m{};
        ASSERT_TRUE(takeWindowMessage(&m));
        EXPECT_EQ(m.window, mainWindow);
        EXPECT_EQ(m.message, CaptureReadyMessage);
        EXPECT_EQ(m.wParam, 0u);
        EXPECT_EQ(m.lParam, 0);
    }

    ScriptedWaveIn source;
    WaveInStream& stream = captureStream();
};

TEST_F(HandoffTest, OneBlockWaitingIsAnalysedWithoutBacklog) {
    storeBlock(11);
    EXPECT_FALSE(consumerIsIdle());
    takeWakeUp();
    drainCapture();
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(handed[0].value, 11);
    EXPECT_FALSE(handed[0].backlog);
    EXPECT_TRUE(consumerIsIdle());
}

TEST_F(HandoffTest, TenBlocksGoInOneMessageOnlyTheFirstWithBacklog) {
    for (int16_t b = 1; b <= 10; ++b) storeBlock(b);
    EXPECT_EQ(pendingWindowMessages(), 1u);  // blocks 2..10 found a message outstanding
    takeWakeUp();
    drainCapture();
    ASSERT_EQ(handed.size(), 10u);
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(handed[i].value, static_cast<int16_t>(i + 1));
        EXPECT_EQ(handed[i].backlog, i == 0) << i;  // 3960 bytes still waiting, then 3520
    }
}

TEST_F(HandoffTest, OneMessageTakesTwentyBlocksAndLaterOnesWaitForTheNext) {
    for (int16_t b = 1; b <= 20; ++b) storeBlock(b);
    // Two more blocks arrive during the drain, after its third read (so that they fit).
    duringConsumer = [&] {
        if (handed.size() == 3) {
            storeBlock(21);
            storeBlock(22);
        }
    };
    takeWakeUp();
    drainCapture();
    duringConsumer = nullptr;
    ASSERT_EQ(handed.size(), 20u);
    // After read k, 22 - k blocks wait from the third read on: backlog up to the 13th.
    for (size_t i = 0; i < 20; ++i) EXPECT_EQ(handed[i].backlog, i < 13) << i;
    EXPECT_EQ(availableBytes(stream), 880u);
    EXPECT_EQ(pendingWindowMessages(), 0u);  // stored while busy: no message
    storeBlock(23);                          // the next stored block wakes it again
    takeWakeUp();
    drainCapture();
    ASSERT_EQ(handed.size(), 23u);
    EXPECT_EQ(handed[20].value, 21);
}

TEST_F(HandoffTest, AnOverflowDiscardsTheWaitingSoundAndWakesUpAfresh) {
    for (int16_t b = 1; b <= 20; ++b) storeBlock(b);
    std::vector<int16_t> samples(220, 21);
    source.recordSamples(samples.data(), 220);
    waitUntil([&] { return !anchored(); });  // dropped, and the stream re-armed
    EXPECT_TRUE(consumerIsIdle());
    EXPECT_TRUE(source.device()->isRecording());
    storeBlock(22);  // posts a second message though the first was never handled
    EXPECT_EQ(pendingWindowMessages(), 2u);
    takeWakeUp();
    drainCapture();
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(handed[0].value, 22);  // the newest sound, nothing of what was waiting
    // The second message finds nothing waiting: it only makes the consumer idle again.
    takeWakeUp();
    drainCapture();
    EXPECT_EQ(handed.size(), 1u);
    EXPECT_TRUE(consumerIsIdle());
}

}  // namespace
}  // namespace veldra
