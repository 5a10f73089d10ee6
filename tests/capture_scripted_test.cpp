// The wave-input stream and the capture hand-off over the scripted source, which fills
// and hands back buffers only when a test says so. Every stop must be back within 20 ms.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <tuple>
#include <vector>

#include "audio/capture_handoff.h"
#include "audio/wave_in_stream.h"
#include "tests/support/polling.h"
#include "tests/support/scripted_wave_in.h"

namespace veldra {
namespace {

// ---- WaveInStream over the scripted source: anchoring, overflow and resume, reads across
// the ring's end, stop latency.

constexpr uint32_t blockBytes = 440, ringBytes = 20 * blockBytes;

std::atomic<int32_t> stored{0}, overflows{0};  // what the callback heard

void countEvent(int32_t code) {
    (code == BlockStored ? stored : overflows) += 1;
}

class StreamTest : public ::testing::Test {
  protected:
    void SetUp() override {
        stored = overflows = 0;
        installWaveInSource(&source);
    }
    void TearDown() override {
        stopTimed();
        installWaveInSource(nullptr);
    }
    void openAndStart() {
        ASSERT_TRUE(openStream(stream, {.callback = countEvent,
                                        .priority = 3,
                                        .blocks = 20,
                                        .blockBytes = blockBytes,
                                        .channels = 1,
                                        .rate = 22050,
                                        .bits = 16}));
        ASSERT_TRUE(startStream(stream));
    }
    // Records blocks of 220 samples equal to from .. to, each once the callback heard the
    // one before (generously: only a broken stream is slow).
    void record(int16_t from, int16_t to) {
        for (int16_t value = from; value <= to; ++value) {
            const int32_t heard = stored + overflows;
            const std::vector<int16_t> samples(220, value);
            ASSERT_EQ(source.recordSamples(samples.data(), 220), 220u);
            ASSERT_TRUE(eventually([&] { return stored + overflows > heard; }));
        }
    }
    // available and the read offset (-1: unanchored), under the stream's lock.
    std::pair<uint32_t, int64_t> ring() {
        std::lock_guard<std::mutex> hold(stream.lock);
        return {stream.available, stream.readPtr == nullptr ? -1 : stream.readPtr - stream.ring};
    }
    std::vector<int16_t> read(uint32_t bytes) {
        std::vector<int16_t> out(bytes / 2);
        EXPECT_TRUE(readSamples(stream, out.data(), bytes));
        return out;
    }
    // Stops, holding the stream to its promise: back within 20 ms.
    bool stopTimed() {
        const auto begin = std::chrono::steady_clock::now();
        const bool stopped = stopStream(stream);
        EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(20));
        return stopped;
    }

    ScriptedWaveIn source;
    WaveInStream stream;
};

// A set-up with any field one step outside its range is refused and leaves the stream as
// it was; one step inside is taken whole; and a configured stream takes no second one.
TEST(StreamSetupTest, OpenStreamTakesASetupWithinItsRangesAndOnlyOnce) {
    const StreamSetup edge{.callback = countEvent,
                           .priority = 7,
                           .blocks = 4,
                           .blockBytes = 80,
                           .channels = 2,
                           .rate = 8000,
                           .bits = 8};
    const auto with = [&](auto field, auto value) {
        StreamSetup setup = edge;
        setup.*field = value;
        return setup;
    };
    const StreamSetup outside[] = {
        with(&StreamSetup::priority, 8u),          with(&StreamSetup::blocks, uint16_t{3}),
        with(&StreamSetup::blockBytes, 79u),       with(&StreamSetup::channels, uint16_t{0}),
        with(&StreamSetup::channels, uint16_t{3}), with(&StreamSetup::rate, 16000u),
        with(&StreamSetup::bits, uint16_t{12}),
    };
    WaveInStream stream;
    for (const StreamSetup& setup : outside) {
        EXPECT_FALSE(openStream(stream, setup));
        EXPECT_EQ(std::tuple(stream.configured, stream.bufferCount, stream.ringSize),
                  std::tuple(0, uint16_t{0}, 0u));
    }
    ASSERT_TRUE(openStream(stream, edge));
    EXPECT_EQ(std::tuple(stream.configured, stream.priority, stream.bufferCount,
                         stream.bytesPerBuffer, stream.ringSize, stream.callback),
              std::tuple(1, 7u, uint16_t{4}, 80u, 320u, &countEvent));
    EXPECT_EQ(std::tuple(stream.format.channels, stream.format.samplesPerSecond,
                         stream.format.bitsPerSample),
              std::tuple(uint16_t{2}, 8000u, uint16_t{8}));
    EXPECT_FALSE(openStream(stream, with(&StreamSetup::blocks, uint16_t{20})));
    EXPECT_EQ(stream.bufferCount, 4);
}

// Reads before the anchor fail, as do reads of nothing or of more than is there, and
// change nothing. Re-arming drops the three blocks; the fourth buffer's block anchors the
// ring at its own slot, 3.
TEST_F(StreamTest, TheRingAnchorsAtTheFirstBlocksOwnSlot) {
    openAndStart();
    int16_t out[220];
    EXPECT_FALSE(readSamples(stream, out, blockBytes));
    record(1, 3);
    EXPECT_EQ(ring(), std::pair(3 * blockBytes, int64_t{0}));
    EXPECT_FALSE(readSamples(stream, nullptr, blockBytes));
    EXPECT_FALSE(readSamples(stream, out, 4 * blockBytes));
    EXPECT_EQ(ring(), std::pair(3 * blockBytes, int64_t{0}));
    rearmStream(stream);
    EXPECT_EQ(ring().second, -1);
    record(4, 4);
    EXPECT_EQ(ring(), std::pair(blockBytes, int64_t{3 * blockBytes}));
    EXPECT_EQ(read(blockBytes).front(), 4);
}

// Block 21 is dropped with RingOverflow and recording stops; a read of 200 bytes is not
// room enough to resume, 440 is. The next block follows block 20 and overwrites nothing
// unread, although the device's buffers now run one slot ahead of the ring.
TEST_F(StreamTest, TheTwentyFirstBlockOverflowsAndOnlyRoomForABlockResumes) {
    openAndStart();
    record(1, 21);
    EXPECT_EQ(std::tuple(stored.load(), overflows.load(), ring().first),
              std::tuple(20, 1, ringBytes));
    EXPECT_FALSE(source.device()->isRecording());
    EXPECT_EQ(source.device()->queuedBuffers(), 20u);  // the dropped block's buffer is back
    EXPECT_EQ(read(200).front(), 1);
    EXPECT_FALSE(source.device()->isRecording());
    read(240);
    EXPECT_TRUE(source.device()->isRecording());
    EXPECT_EQ(stream.overflowPaused, 0);
    record(22, 22);
    const std::vector<int16_t> rest = read(ringBytes);
    EXPECT_EQ(std::tuple(rest.front(), rest[19 * 220 - 1], rest[19 * 220]), std::tuple(2, 20, 22));
}

// 440 bytes from 200 before the end: the last 200 bytes, then the first 240. A read that
// ends exactly at the end leaves the next one at the start.
TEST_F(StreamTest, ReadsWalkThroughTheRingsEnd) {
    openAndStart();
    record(1, 20);
    EXPECT_EQ(read(ringBytes - 200).back(), 20);
    record(21, 21);  // into slot 0
    const std::vector<int16_t> across = read(blockBytes);
    EXPECT_EQ(std::tuple(across[99], across[100]), std::tuple(20, 21));
    EXPECT_EQ(ring(), std::pair(200u, int64_t{240}));
    record(22, 39);  // slots 1..18
    read(200 + 18 * blockBytes);
    EXPECT_EQ(ring(), std::pair(0u, int64_t{19 * blockBytes}));
    record(40, 41);  // slots 19 and 0
    EXPECT_EQ(read(blockBytes).front(), 40);
    EXPECT_EQ(ring().second, ringBytes);
    EXPECT_EQ(read(blockBytes).front(), 41);
    EXPECT_EQ(ring().second, blockBytes);
}

// ---- The capture hand-off over the scripted source: one wake-up per batch, the drain's
// 20-block limit and backlog flags, and the fresh wake-up after an overflow's re-arm.

const auto mainWindow = reinterpret_cast<WindowHandle>(uintptr_t{0x960});

std::vector<std::pair<int16_t, bool>> handed;  // each block's first sample and backlog flag
std::function<void()> duringConsumer;          // runs inside the consumer, after noting the block
std::atomic<int32_t> eventsHandled{0};         // stream events the hand-off has finished with

// The hand-off's callback, counted once it returns, so that a test can wait for the
// wake-up a stored block posts (the callback runs after the block is in the ring).
void handOff(int32_t code) {
    onCaptureEvent(code);
    ++eventsHandled;
}

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
        prepareHandoff(mainWindow, noteBlock);
        if (stream.configured == 0) {  // the program's one stream is configured for good
            ASSERT_TRUE(openStream(stream, {.callback = handOff,
                                            .priority = 3,
                                            .blocks = 20,
                                            .blockBytes = 440,
                                            .channels = 1,
                                            .rate = 22050,
                                            .bits = 16}));
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
    // Records blocks of 220 samples equal to from .. to, each waited for until stored and
    // handed off.
    void store(int16_t from, int16_t to) {
        for (int16_t value = from; value <= to; ++value) {
            const int32_t handled = eventsHandled;
            const std::vector<int16_t> samples(220, value);
            ASSERT_EQ(source.recordSamples(samples.data(), 220), 220u);
            ASSERT_TRUE(eventually([&] { return eventsHandled > handled; }));
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
        for (const auto& h : handed)
            flags.push_back(h.second);
        return flags;
    }

    ScriptedWaveIn source;
    WaveInStream& stream = captureStream();
};

// Twenty blocks stored post one wake-up. Two more arrive during the drain, after its third
// read (so that they fit):
// after read k, 22 - k blocks wait, so backlog up to the 13th. Stored while busy, they
// post no message; the next stored block wakes the main window again.
TEST_F(HandoffTest, OneMessageTakesTwentyBlocksAndLaterOnesWaitForTheNext) {
    store(1, 20);
    EXPECT_EQ(pendingWindowMessages(), 1u);
    EXPECT_FALSE(consumerIsIdle());
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
    for (size_t i = 0; i < 23; ++i)
        EXPECT_EQ(handed[i].first, static_cast<int16_t>(i + 1)) << i;
    EXPECT_TRUE(consumerIsIdle());
}

// Block 21 overflows: the waiting sound is dropped and the stream re-armed; the next
// block posts a second message though the first was never handled. The first drain
// gets only the newest sound; the second finds nothing and only makes the consumer idle.
TEST_F(HandoffTest, AnOverflowDiscardsTheWaitingSoundAndWakesUpAfresh) {
    store(1, 20);
    store(21, 21);
    EXPECT_FALSE(anchored());
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

// A wake-up that the window's full queue refuses leaves the consumer idle, so the next
// block, once there is room, posts again and the drain takes both blocks.
TEST_F(HandoffTest, AWakeUpRefusedByAFullQueueIsPostedByTheNextBlock) {
    while (postWindowMessage(mainWindow, CaptureReadyMessage + 1, 0, 0)) {
    }
    store(1, 1);
    EXPECT_TRUE(consumerIsIdle());
    clearWindowMessages();
    store(2, 2);
    EXPECT_EQ(pendingWindowMessages(), 1u);
    wakeUpAndDrain();
    EXPECT_EQ(handed, (std::vector<std::pair<int16_t, bool>>{{1, false}, {2, false}}));
}

}  // namespace
}  // namespace veldra
