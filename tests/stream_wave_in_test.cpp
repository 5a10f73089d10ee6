// WaveInStream over the scripted source: configuration, start and stop, anchoring,
// overflow and resume, reads across the ring's end, short blocks, stop latency.
#include "audio/wave_in_stream.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <vector>

#include "platform/wave_in_scripted.h"

namespace veldra {
namespace {

constexpr uint32_t blockBytes = 440;
constexpr uint32_t ringBytes = 20 * blockBytes;

std::mutex eventsLock;
std::condition_variable eventsChanged;
int32_t stored = 0, overflows = 0;  // what the callback heard; guarded by eventsLock

void countEvent(int32_t code) {
    std::lock_guard<std::mutex> hold(eventsLock);
    (code == BlockStored ? stored : overflows) += 1;
    eventsChanged.notify_all();
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
        ASSERT_TRUE(openStream(stream, countEvent, 3, 20, blockBytes, 1, 22050, 16));
        ASSERT_TRUE(startStream(stream));
    }
    // Records a block of 220 samples equal to value and waits (generously: only a broken
    // stream is slow) until the callback has heard it.
    void recordBlock(int16_t value) {
        std::unique_lock<std::mutex> hold(eventsLock);
        const int32_t heard = stored + overflows;
        const std::vector<int16_t> samples(220, value);
        ASSERT_EQ(source.recordSamples(samples.data(), 220), 220u);
        ASSERT_TRUE(eventsChanged.wait_for(hold, std::chrono::seconds(20),
                                           [&] { return stored + overflows > heard; }));
    }
    void recordBlocks(int16_t from, int16_t to) {
        for (int16_t b = from; b <= to; ++b) recordBlock(b);
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

TEST_F(StreamTest, OpenRejectsEachBadSettingThenBuildsTheFormatOnce) {
    const uint32_t bad[][6] = {
        {8, 20, 440, 1, 22050, 16}, {3, 3, 440, 1, 22050, 16},  {3, 20, 79, 1, 22050, 16},
        {3, 20, 440, 0, 22050, 16}, {3, 20, 440, 3, 22050, 16}, {3, 20, 440, 1, 22050, 12},
        {3, 20, 440, 1, 48000, 16},
    };
    for (const auto& c : bad) {
        EXPECT_FALSE(openStream(stream, countEvent, c[0], static_cast<uint16_t>(c[1]), c[2],
                                static_cast<uint16_t>(c[3]), c[4], static_cast<uint16_t>(c[5])));
        EXPECT_EQ(stream.configured, 0);
    }
    ASSERT_TRUE(openStream(stream, countEvent, 3, 4, 80, 1, 22050, 16));  // the smallest ring
    EXPECT_FALSE(openStream(stream, countEvent, 3, 20, 440, 1, 22050, 16));
    EXPECT_EQ(stream.ringSize, 320u);
    const WaveFormat& f = stream.format;
    EXPECT_EQ(f.formatTag, 1);
    EXPECT_EQ(f.channels, 1);
    EXPECT_EQ(f.samplesPerSecond, 22050u);
    EXPECT_EQ(f.averageBytesPerSecond, 44100u);
    EXPECT_EQ(f.blockAlign, 2);
    EXPECT_EQ(f.bitsPerSample, 16);
}

TEST_F(StreamTest, StartNeedsOpenStopFreesAndBothRefuseToRepeat) {
    EXPECT_EQ(captureThread(nullptr), ~0u);
    EXPECT_FALSE(startStream(stream));
    EXPECT_FALSE(stopTimed());
    openAndStart();
    EXPECT_EQ(source.device()->queuedBuffers(), 20u);
    EXPECT_FALSE(startStream(stream));
    EXPECT_EQ(source.openAttempts, 1u);
    recordBlock(5);
    EXPECT_TRUE(stopTimed());
    EXPECT_EQ(source.device(), nullptr);
    EXPECT_EQ(stream.ring, nullptr);
    EXPECT_EQ(stream.headers, nullptr);
    EXPECT_FALSE(stopTimed());
    int16_t out[220];
    EXPECT_FALSE(readSamples(stream, out, blockBytes));  // available is kept, the ring is not
    ASSERT_TRUE(startStream(stream));
    recordBlock(6);
    EXPECT_EQ(read(blockBytes)[219], 6);
}

TEST_F(StreamTest, WithoutAWorkingDeviceStartFailsCleanlyAndCanRetry) {
    source.devices = 0;
    ASSERT_TRUE(openStream(stream, countEvent, 3, 20, blockBytes, 1, 22050, 16));
    EXPECT_FALSE(startStream(stream));
    EXPECT_EQ(stream.thread, nullptr);
    EXPECT_EQ(stream.ring, nullptr);
    // Two devices of which the first cannot record: the count is asked again before the
    // second attempt, and the second device is taken.
    source.devices = 2;
    source.firstOpenable = 1;
    ASSERT_TRUE(startStream(stream));
    EXPECT_EQ(source.openAttempts, 2u);
    EXPECT_GE(source.countQueries, 3u);
}

TEST_F(StreamTest, TheRingAnchorsAtTheFirstBlocksOwnSlot) {
    openAndStart();
    int16_t out[220];
    EXPECT_FALSE(readSamples(stream, out, blockBytes));  // not anchored yet
    recordBlocks(1, 3);
    EXPECT_EQ(ring(), std::make_pair(3 * blockBytes, int64_t{0}));
    EXPECT_FALSE(readSamples(stream, nullptr, blockBytes));
    EXPECT_FALSE(readSamples(stream, out, 4 * blockBytes));
    EXPECT_EQ(ring(), std::make_pair(3 * blockBytes, int64_t{0}));  // failed reads change nothing
    // Re-arming drops the three; the fourth buffer's block anchors the ring at slot 3.
    rearmStream(stream);
    EXPECT_EQ(ring().second, -1);
    recordBlock(4);
    EXPECT_EQ(ring(), std::make_pair(blockBytes, int64_t{3 * blockBytes}));
    EXPECT_EQ(read(blockBytes).front(), 4);
}

TEST_F(StreamTest, TheTwentyFirstBlockOverflowsAndOnlyRoomForABlockResumes) {
    openAndStart();
    recordBlocks(1, 21);
    EXPECT_EQ(stored, 20);
    EXPECT_EQ(overflows, 1);
    EXPECT_EQ(ring().first, ringBytes);
    EXPECT_FALSE(source.device()->isRecording());
    EXPECT_EQ(source.device()->queuedBuffers(), 20u);  // the dropped block's buffer is back

    EXPECT_EQ(read(200).front(), 1);  // block 21 never reached the ring
    EXPECT_FALSE(source.device()->isRecording());
    read(240);  // 8360 bytes left: room for one block
    EXPECT_TRUE(source.device()->isRecording());
    EXPECT_EQ(stream.overflowPaused, 0);
    // The next block follows block 20 and overwrites nothing unread, although the
    // device's buffers now run one slot ahead of the ring.
    recordBlock(22);
    const std::vector<int16_t> rest = read(ringBytes);
    EXPECT_EQ(rest.front(), 2);
    EXPECT_EQ(rest[19 * 220 - 1], 20);
    EXPECT_EQ(rest[19 * 220], 22);
}

TEST_F(StreamTest, ReadsWalkThroughTheRingsEnd) {
    openAndStart();
    recordBlocks(1, 20);
    EXPECT_EQ(read(ringBytes - 200).back(), 20);
    recordBlock(21);  // into slot 0
    // 440 bytes from 200 before the end: the last 200 bytes, then the first 240.
    const std::vector<int16_t> across = read(blockBytes);
    EXPECT_EQ(across[99], 20);
    EXPECT_EQ(across[100], 21);
    EXPECT_EQ(ring(), std::make_pair(200u, int64_t{240}));
    // A read that ends exactly at the end leaves the next one at the start.
    recordBlocks(22, 39);  // slots 1..18
    read(200 + 18 * blockBytes);
    EXPECT_EQ(ring().first, 0u);
    EXPECT_EQ(ring().second, 19 * blockBytes);
    recordBlocks(40, 41);  // slots 19 and 0
    EXPECT_EQ(read(blockBytes).front(), 40);
    EXPECT_EQ(ring().second, ringBytes);
    EXPECT_EQ(read(blockBytes).front(), 41);
    EXPECT_EQ(ring().second, blockBytes);
}

TEST_F(StreamTest, AShortBlockCountsWholeAndItsMissingPartReadsAsZeros) {
    openAndStart();
    recordBlocks(8, 27);  // every slot holds sound
    read(ringBytes);
    const std::vector<int16_t> some(50, 3);
    ASSERT_EQ(source.recordSamples(some.data(), 50), 50u);
    source.device()->stop();  // hands the part-filled buffer back
    std::unique_lock<std::mutex> hold(eventsLock);
    ASSERT_TRUE(eventsChanged.wait_for(hold, std::chrono::seconds(20), [] { return stored == 21; }));
    hold.unlock();
    EXPECT_EQ(ring().first, blockBytes);
    const std::vector<int16_t> got = read(blockBytes);
    EXPECT_EQ(std::vector<int16_t>(got.begin(), got.begin() + 50), some);
    EXPECT_EQ(std::vector<int16_t>(got.begin() + 50, got.end()), std::vector<int16_t>(170, 0));
}

}  // namespace
}  // namespace veldra
