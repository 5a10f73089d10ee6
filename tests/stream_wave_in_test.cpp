// WaveInStream over the scripted source: configuration, start and stop, anchoring,
// overflow and resume, reads across the ring's end, short blocks, stop latency.
#include "audio/wave_in_stream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <vector>

#include "platform/wave_in_scripted.h"
#include "support/polling.h"

namespace veldra {
namespace {

constexpr uint32_t blockBytes = 440, ringBytes = 20 * blockBytes;

std::atomic<int32_t> stored{0}, overflows{0};  // what the callback heard

void countEvent(int32_t code) { (code == BlockStored ? stored : overflows) += 1; }

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
        ASSERT_TRUE(openStream(stream, countEvent, 3, 20, blockBytes, 1, 22050, 16));
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

// Priority, buffer count, buffer size, channels, bits and rate each refused in turn;
// then the smallest ring, once.
TEST_F(StreamTest, OpenRejectsEachBadSettingThenBuildsTheFormatOnce) {
    const uint32_t bad[][6] = {{8, 20, 440, 1, 22050, 16}, {3, 3, 440, 1, 22050, 16},  {3, 20, 79, 1, 22050, 16},
                               {3, 20, 440, 0, 22050, 16}, {3, 20, 440, 3, 22050, 16}, {3, 20, 440, 1, 22050, 12},
                               {3, 20, 440, 1, 48000, 16}};
    for (const auto& c : bad) {
        EXPECT_FALSE(openStream(stream, countEvent, c[0], static_cast<uint16_t>(c[1]), c[2], static_cast<uint16_t>(c[3]),
                                c[4], static_cast<uint16_t>(c[5])));
        EXPECT_EQ(stream.configured, 0);
    }
    ASSERT_TRUE(openStream(stream, countEvent, 3, 4, 80, 1, 22050, 16));
    EXPECT_FALSE(openStream(stream, countEvent, 3, 20, 440, 1, 22050, 16));
    EXPECT_EQ(stream.ringSize, 320u);
    const WaveFormat& f = stream.format;
    EXPECT_EQ(std::tuple(f.formatTag, f.channels, f.samplesPerSecond, f.averageBytesPerSecond, f.blockAlign, f.bitsPerSample),
              std::tuple(1, 1, 22050u, 44100u, 2, 16));
}

// Start needs an open stream and refuses to repeat; stop frees the device, the ring and
// the headers and refuses to repeat; the stream starts again afterwards.
TEST_F(StreamTest, StartNeedsOpenStopFreesAndBothRefuseToRepeat) {
    EXPECT_EQ(captureThread(nullptr), ~0u);
    EXPECT_FALSE(startStream(stream));
    EXPECT_FALSE(stopTimed());
    openAndStart();
    EXPECT_EQ(source.device()->queuedBuffers(), 20u);
    EXPECT_FALSE(startStream(stream));
    EXPECT_EQ(source.openAttempts, 1u);
    record(5, 5);
    EXPECT_TRUE(stopTimed());
    EXPECT_EQ(std::tuple(source.device(), stream.ring, stream.headers), std::tuple(nullptr, nullptr, nullptr));
    EXPECT_FALSE(stopTimed());
    int16_t out[220];
    EXPECT_FALSE(readSamples(stream, out, blockBytes));  // available is kept, the ring is not
    ASSERT_TRUE(startStream(stream));
    record(6, 6);
    EXPECT_EQ(read(blockBytes)[219], 6);
}

// No device: start fails and leaves nothing. Two devices of which the first cannot
// record: the count is asked again before the second attempt, which takes the second.
TEST_F(StreamTest, WithoutAWorkingDeviceStartFailsCleanlyAndCanRetry) {
    source.devices = 0;
    ASSERT_TRUE(openStream(stream, countEvent, 3, 20, blockBytes, 1, 22050, 16));
    EXPECT_FALSE(startStream(stream));
    EXPECT_EQ(std::tuple(stream.thread, stream.ring), std::tuple(nullptr, nullptr));
    source.devices = 2;
    source.firstOpenable = 1;
    ASSERT_TRUE(startStream(stream));
    EXPECT_EQ(source.openAttempts, 2u);
    EXPECT_GE(source.countQueries, 3u);
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
    EXPECT_EQ(std::tuple(stored.load(), overflows.load(), ring().first), std::tuple(20, 1, ringBytes));
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

// Stopping the device hands the part-filled buffer back: a whole block whose missing part
// reads as zeros.
TEST_F(StreamTest, AShortBlockCountsWholeAndItsMissingPartReadsAsZeros) {
    openAndStart();
    record(8, 27);  // every slot holds sound
    read(ringBytes);
    const std::vector<int16_t> some(50, 3);
    ASSERT_EQ(source.recordSamples(some.data(), 50), 50u);
    source.device()->stop();
    ASSERT_TRUE(eventually([] { return stored == 21; }));
    EXPECT_EQ(ring().first, blockBytes);
    std::vector<int16_t> expected(220, 0);
    std::fill_n(expected.begin(), 50, 3);
    EXPECT_EQ(read(blockBytes), expected);
}

}  // namespace
}  // namespace veldra
