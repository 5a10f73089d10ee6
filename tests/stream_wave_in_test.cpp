// WaveInStream over the scripted source: configuration, start and stop, anchoring,
// overflow and resume, reads across the ring's end, short blocks, stop latency.
#include "audio/wave_in_stream.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/wave_in_scripted.h"

namespace veldra {
namespace {

constexpr uint32_t blockBytes = 440;
constexpr uint16_t blocks = 20;
constexpr uint32_t ringBytes = blockBytes * blocks;

// What the callback heard, for the test thread to wait on.
struct Events {
    std::mutex mutex;
    std::condition_variable changed;
    int32_t stored = 0;
    int32_t overflows = 0;
    int32_t other = 0;
};
Events events;

void recordEvent(int32_t code) {
    {
        std::lock_guard<std::mutex> hold(events.mutex);
        if (code == BlockStored) {
            ++events.stored;
        } else if (code == RingOverflow) {
            ++events.overflows;
        } else {
            ++events.other;
        }
    }
    events.changed.notify_all();
}

// The ring as the stream holds it, read under its lock.
struct RingView {
    uint32_t available;
    int64_t readOffset;  // -1 when unanchored
    int32_t overflowPaused;
};

class StreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        {
            std::lock_guard<std::mutex> hold(events.mutex);
            events.stored = events.overflows = events.other = 0;
        }
        installWaveInSource(&source);
    }
    void TearDown() override {
        stopTimed();
        installWaveInSource(nullptr);
    }

    void openAndStart() {
        ASSERT_TRUE(openStream(stream, recordEvent, 3, blocks, blockBytes, 1, 22050, 16));
        ASSERT_TRUE(startStream(stream));
    }

    // Waits (generously: only a broken stream is slow) until the callback has heard n
    // stored blocks and m overflows in all.
    void waitFor(int32_t stored, int32_t overflows = 0) {
        std::unique_lock<std::mutex> hold(events.mutex);
        const bool reached = events.changed.wait_for(hold, std::chrono::seconds(20), [&] {
            return events.stored >= stored && events.overflows >= overflows;
        });
        ASSERT_TRUE(reached) << "stored " << events.stored << ", overflows " << events.overflows;
        EXPECT_EQ(events.stored, stored);
        EXPECT_EQ(events.overflows, overflows);
    }

    // Records one block of 220 samples, all equal to value; waits until it is handled.
    void recordBlock(int16_t value, int32_t storedAfter, int32_t overflowsAfter = 0) {
        std::vector<int16_t> samples(blockBytes / 2, value);
        ASSERT_EQ(source.recordSamples(samples.data(), samples.size()), samples.size());
        waitFor(storedAfter, overflowsAfter);
    }

    RingView view() {
        std::lock_guard<std::mutex> hold(stream.lock);
        return RingView{stream.available,
                        stream.readPtr == nullptr ? -1 : stream.readPtr - stream.ring,
                        stream.overflowPaused};
    }

    std::vector<int16_t> read(uint32_t bytes) {
        std::vector<int16_t> out(bytes / 2);
        EXPECT_TRUE(readSamples(stream, out.data(), bytes));
        return out;
    }

    // Stops, and holds the stream to the stop promise: back within 20 ms.
    bool stopTimed() {
        const auto begin = std::chrono::steady_clock::now();
        const bool stopped = stopStream(stream);
        const auto took = std::chrono::steady_clock::now() - begin;
        EXPECT_LT(took, std::chrono::milliseconds(20));
        return stopped;
    }

    ScriptedWaveIn source;
    WaveInStream stream;
};

TEST_F(StreamTest, OpenRejectsEachBadSettingAndCanNeverBeRepeated) {
    struct Case {
        const char* what;
        uint32_t priority;
        uint16_t bufferCount;
        uint32_t bytesPerBuffer;
        uint16_t channels;
        uint32_t rate;
        uint16_t bits;
    };
    const Case bad[] = {
        {"priority 8", 8, 20, 440, 1, 22050, 16},   {"3 blocks", 3, 3, 440, 1, 22050, 16},
        {"79 bytes", 3, 20, 79, 1, 22050, 16},      {"0 channels", 3, 20, 440, 0, 22050, 16},
        {"3 channels", 3, 20, 440, 3, 22050, 16},   {"12 bits", 3, 20, 440, 1, 22050, 12},
        {"48000 Hz", 3, 20, 440, 1, 48000, 16},     {"0 Hz", 3, 20, 440, 1, 0, 16},
    };
    for (const Case& c : bad) {
        EXPECT_FALSE(openStream(stream, recordEvent, c.priority, c.bufferCount, c.bytesPerBuffer,
                                c.channels, c.rate, c.bits))
            << c.what;
        EXPECT_EQ(stream.configured, 0) << c.what;
        EXPECT_EQ(stream.bufferCount, 0) << c.what;
    }
    ASSERT_TRUE(openStream(stream, recordEvent, 7, 4, 80, 2, 8000, 8));
    EXPECT_EQ(stream.ringSize, 320u);
    EXPECT_FALSE(openStream(stream, recordEvent, 3, 20, 440, 1, 22050, 16));
    EXPECT_EQ(stream.ringSize, 320u);
    EXPECT_EQ(stream.bufferCount, 4);
}

TEST_F(StreamTest, FormatRecordDescribesTheShellsConfiguration) {
    ASSERT_TRUE(openStream(stream, recordEvent, 3, blocks, blockBytes, 1, 22050, 16));
    const WaveFormat& f = stream.format;
    EXPECT_EQ(f.formatTag, 1);
    EXPECT_EQ(f.channels, 1);
    EXPECT_EQ(f.samplesPerSecond, 22050u);
    EXPECT_EQ(f.averageBytesPerSecond, 44100u);
    EXPECT_EQ(f.blockAlign, 2);
    EXPECT_EQ(f.bitsPerSample, 16);
    EXPECT_EQ(f.extraSize, 0);
    ASSERT_TRUE(startStream(stream));
    EXPECT_EQ(source.openedFormat.averageBytesPerSecond, 44100u);
}

TEST_F(StreamTest, StartNeedsOpenAndRefusesASecondStart) {
    EXPECT_FALSE(startStream(stream));
    EXPECT_EQ(source.openAttempts, 0u);
    openAndStart();
    EXPECT_TRUE(source.device()->isRecording());
    EXPECT_EQ(source.device()->queuedBuffers(), blocks);
    EXPECT_FALSE(startStream(stream));
    EXPECT_EQ(source.openAttempts, 1u);
}

TEST_F(StreamTest, StopTwiceSecondReturnsFalseAndStartWorksAgain) {
    EXPECT_FALSE(stopTimed());
    openAndStart();
    EXPECT_TRUE(stopTimed());
    EXPECT_EQ(source.device(), nullptr);
    EXPECT_EQ(stream.ring, nullptr);
    EXPECT_EQ(stream.captureArea, nullptr);
    EXPECT_EQ(stream.headers, nullptr);
    EXPECT_FALSE(stopTimed());
    // A stopped stream refuses reads even though readPtr and available are kept.
    int16_t out[220];
    EXPECT_FALSE(readSamples(stream, out, 0));

    ASSERT_TRUE(startStream(stream));
    recordBlock(5, 1);
    EXPECT_EQ(read(blockBytes)[219], 5);
}

TEST_F(StreamTest, WithoutADeviceStartFailsCleanlyAndCanRetryLater) {
    source.devices = 0;
    ASSERT_TRUE(openStream(stream, recordEvent, 3, blocks, blockBytes, 1, 22050, 16));
    EXPECT_FALSE(startStream(stream));
    EXPECT_EQ(stream.thread, nullptr);
    EXPECT_EQ(stream.ring, nullptr);
    EXPECT_EQ(stream.headers, nullptr);
    EXPECT_EQ(source.openAttempts, 0u);

    // Two devices, the first cannot record: the second is taken, and the count was
    // asked again before the second attempt.
    source.devices = 2;
    source.firstOpenable = 1;
    source.countQueries = 0;
    ASSERT_TRUE(startStream(stream));
    EXPECT_EQ(source.openAttempts, 2u);
    EXPECT_GE(source.countQueries, 2u);
    recordBlock(9, 1);
}

TEST_F(StreamTest, NoDeviceAcceptsTheFormat) {
    source.devices = 3;
    source.firstOpenable = 3;
    ASSERT_TRUE(openStream(stream, recordEvent, 3, blocks, blockBytes, 1, 22050, 16));
    EXPECT_FALSE(startStream(stream));
    EXPECT_EQ(source.openAttempts, 3u);
    EXPECT_EQ(stream.thread, nullptr);
    EXPECT_EQ(stream.device, nullptr);
}

TEST_F(StreamTest, TheRingAnchorsAtTheFirstBlocksOwnSlot) {
    openAndStart();
    EXPECT_EQ(view().readOffset, -1);
    int16_t out[220];
    EXPECT_FALSE(readSamples(stream, out, blockBytes));  // unanchored

    recordBlock(1, 1);
    EXPECT_EQ(view().readOffset, 0);
    EXPECT_EQ(view().available, blockBytes);
    recordBlock(2, 2);
    recordBlock(3, 3);
    // Re-arming drops the three unread blocks; the next block is the fourth buffer and
    // anchors the ring at slot 3, holding that block alone.
    rearmStream(stream);
    EXPECT_EQ(view().readOffset, -1);
    EXPECT_EQ(view().available, 3 * blockBytes);
    recordBlock(4, 4);
    EXPECT_EQ(view().readOffset, 3 * blockBytes);
    EXPECT_EQ(view().available, blockBytes);
    const std::vector<int16_t> got = read(blockBytes);
    EXPECT_EQ(got.front(), 4);
    EXPECT_EQ(got.back(), 4);
    EXPECT_EQ(view().available, 0u);
}

TEST_F(StreamTest, TwentyBlocksFitTheTwentyFirstOverflowsAndStopsRecording) {
    openAndStart();
    for (int16_t b = 1; b <= 20; ++b) recordBlock(b, b);
    EXPECT_EQ(view().available, ringBytes);
    EXPECT_EQ(view().overflowPaused, 0);

    recordBlock(21, 20, 1);
    EXPECT_EQ(view().available, ringBytes);
    EXPECT_EQ(view().overflowPaused, 1);
    EXPECT_FALSE(source.device()->isRecording());
    // The dropped block's buffer went back to the device.
    EXPECT_EQ(source.device()->queuedBuffers(), blocks);
    // Nothing of block 21 reached the ring: the oldest block is still first.
    EXPECT_EQ(read(blockBytes).front(), 1);
}

TEST_F(StreamTest, AfterOverflowOnlyAReadThatLeavesRoomForABlockResumes) {
    openAndStart();
    for (int16_t b = 1; b <= 21; ++b) recordBlock(b, b > 20 ? 20 : b, b > 20 ? 1 : 0);
    ASSERT_EQ(view().overflowPaused, 1);

    std::vector<int16_t> part = read(200);
    EXPECT_EQ(view().available, ringBytes - 200);
    EXPECT_EQ(view().overflowPaused, 1);
    EXPECT_FALSE(source.device()->isRecording());

    part = read(240);
    EXPECT_EQ(view().available, ringBytes - blockBytes);
    EXPECT_EQ(view().overflowPaused, 0);
    EXPECT_TRUE(source.device()->isRecording());
    // Still anchored where it was: the next block continues after block 20.
    EXPECT_EQ(view().readOffset, blockBytes);
    recordBlock(22, 21, 1);
    EXPECT_EQ(view().available, ringBytes);
    std::vector<int16_t> rest = read(ringBytes);
    EXPECT_EQ(rest.front(), 2);
    EXPECT_EQ(rest[19 * 220 - 1], 20);
    EXPECT_EQ(rest[19 * 220], 22);
}

TEST_F(StreamTest, ReadsWalkThroughTheRingsEnd) {
    openAndStart();
    for (int16_t b = 1; b <= 20; ++b) recordBlock(b, b);

    // 8600 bytes: readPtr stops 200 bytes before the end, inside block 20.
    std::vector<int16_t> head = read(ringBytes - 200);
    EXPECT_EQ(view().readOffset, ringBytes - 200);
    EXPECT_EQ(head.back(), 20);
    recordBlock(21, 21);  // buffer 0 again, into slot 0

    // 440 bytes: the last 200 of the ring, then the first 240.
    std::vector<int16_t> across = read(blockBytes);
    EXPECT_EQ(view().readOffset, 240);
    EXPECT_EQ(view().available, 200u);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(across[i], 20) << i;
    for (int i = 100; i < 220; ++i) ASSERT_EQ(across[i], 21) << i;
    EXPECT_EQ(read(200).back(), 21);
    EXPECT_EQ(view().readOffset, blockBytes);
}

TEST_F(StreamTest, AReadEndingAtTheRingsEndLeavesTheNextReadAtItsStart) {
    openAndStart();
    for (int16_t b = 1; b <= 20; ++b) recordBlock(b, b);
    read(ringBytes);
    EXPECT_EQ(view().readOffset, ringBytes);
    EXPECT_EQ(view().available, 0u);
    recordBlock(21, 21);
    EXPECT_EQ(read(blockBytes).front(), 21);
    EXPECT_EQ(view().readOffset, blockBytes);
}

TEST_F(StreamTest, AShortBlockCountsWholeAndReadsBackAsZeros) {
    openAndStart();
    // A full block of 7s first, so that the short block's slot held sound before.
    recordBlock(7, 1);
    read(blockBytes);
    std::vector<int16_t> some(50, 3);
    ASSERT_EQ(source.recordSamples(some.data(), some.size()), 50u);
    source.device()->stop();  // hands the part-filled buffer back
    waitFor(2);
    EXPECT_EQ(view().available, blockBytes);
    const std::vector<int16_t> got = read(blockBytes);
    for (int i = 0; i < 50; ++i) ASSERT_EQ(got[i], 3) << i;
    for (int i = 50; i < 220; ++i) ASSERT_EQ(got[i], 0) << i;

    // Blocks round the ring until slot 0 is written again, this time by a short block:
    // what it held before must not show through.
    source.device()->start();
    for (int32_t b = 3; b <= 20; ++b) recordBlock(8, b);
    std::vector<int16_t> one(1, -1);
    source.recordSamples(one.data(), 1);
    source.device()->stop();
    waitFor(21);
    const std::vector<int16_t> all = read(19 * blockBytes);
    EXPECT_EQ(all[18 * 220 - 1], 8);
    EXPECT_EQ(all[18 * 220], -1);
    for (int i = 18 * 220 + 1; i < 19 * 220; ++i) ASSERT_EQ(all[i], 0) << i;
}

TEST_F(StreamTest, FailedReadsChangeNothing) {
    openAndStart();
    recordBlock(1, 1);
    recordBlock(2, 2);
    const RingView before = view();
    EXPECT_FALSE(readSamples(stream, nullptr, blockBytes));
    std::vector<int16_t> out(1000);
    EXPECT_FALSE(readSamples(stream, out.data(), 3 * blockBytes));
    const RingView after = view();
    EXPECT_EQ(after.available, before.available);
    EXPECT_EQ(after.readOffset, before.readOffset);
    EXPECT_EQ(read(blockBytes).front(), 1);
}

TEST_F(StreamTest, CaptureThreadWithoutAStreamEndsAtOnce) {
    EXPECT_EQ(captureThread(nullptr), ~0u);
}

}  // namespace
}  // namespace veldra
