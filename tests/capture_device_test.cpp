// The wave-input buffer protocol (queue order, stop, reset, prepare rules) and the
// clock-paced source (real pace, continuity, pausing, formats it refuses).
#include "platform/wave_in.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/kernel.h"
#include "platform/wave_in_paced.h"
#include "platform/wave_in_scripted.h"

namespace veldra {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// A kernel thread that notes every 960 notice: which header, how many bytes, when.
class Receiver {
public:
    struct Notice {
        WaveHeader* header;
        uint32_t bytes;
        Clock::time_point at;
    };

    Receiver() { thread_ = createThread(run, this, 256, &id_); }
    ~Receiver() {
        stop_ = true;
        closeThread(thread_);
    }
    uint32_t id() const { return id_; }

    // Waits (generously) until n notices have come; returns them all.
    std::vector<Notice> waitFor(size_t n) {
        const auto give_up = Clock::now() + std::chrono::seconds(20);
        for (;;) {
            {
                std::lock_guard<std::mutex> hold(mutex_);
                if (notices_.size() >= n || Clock::now() > give_up) return notices_;
            }
            std::this_thread::sleep_for(milliseconds(1));
        }
    }
    std::vector<Notice> now() {
        std::lock_guard<std::mutex> hold(mutex_);
        return notices_;
    }

private:
    static uint32_t run(void* self) {
        auto& r = *static_cast<Receiver*>(self);
        while (!r.stop_) {
            ThreadMessage m;
            if (!takeThreadMessage(&m)) {
                std::this_thread::sleep_for(milliseconds(1));
                continue;
            }
            auto* h = reinterpret_cast<WaveHeader*>(m.lParam);
            std::lock_guard<std::mutex> hold(r.mutex_);
            if (m.message == waveInDataMessage) r.notices_.push_back({h, h->bytesRecorded, Clock::now()});
        }
        return 0;
    }

    KernelThread* thread_ = nullptr;
    uint32_t id_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Notice> notices_;
};

// Buffers of `bytes` bytes each, with headers pointing at them.
struct Buffers {
    Buffers(size_t count, uint32_t bytes) : memory(count * bytes), headers(count) {
        for (size_t i = 0; i < count; ++i) {
            headers[i].data = memory.data() + i * bytes;
            headers[i].bufferLength = bytes;
            headers[i].user = i;
        }
    }
    std::vector<uint8_t> memory;
    std::vector<WaveHeader> headers;
};

const WaveFormat mono22k = pcmFormat(1, 22050, 16);

TEST(WaveInDeviceTest, BuffersNeedPreparingAndCannotBeUnpreparedWhileQueued) {
    WaveInDevice device(nullptr, mono22k, 0);
    Buffers b(2, 8);
    EXPECT_FALSE(device.addBuffer(&b.headers[0]));
    ASSERT_TRUE(device.prepare(&b.headers[0]));
    ASSERT_TRUE(device.addBuffer(&b.headers[0]));
    EXPECT_FALSE(device.addBuffer(&b.headers[0]));  // already queued
    EXPECT_FALSE(device.unprepare(&b.headers[0]));
    EXPECT_FALSE(device.prepare(&b.headers[0]));
    EXPECT_EQ(device.queuedBuffers(), 1u);
    device.reset();
    EXPECT_TRUE(device.unprepare(&b.headers[0]));
    EXPECT_EQ(b.headers[0].flags & headerPrepared, 0u);
}

TEST(WaveInDeviceTest, FillsBuffersInQueueOrderAndHandsEachBackWhenFull) {
    Receiver receiver;
    WaveInDevice device(nullptr, mono22k, receiver.id());
    Buffers b(3, 4);
    for (int i : {2, 0, 1}) {  // queue order differs from memory order
        device.prepare(&b.headers[i]);
        device.addBuffer(&b.headers[i]);
    }
    const uint8_t bytes[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(device.record(bytes, 10), 0u);  // not started
    device.start();
    EXPECT_EQ(device.record(bytes, 10), 10u);
    const std::vector<Receiver::Notice> n = receiver.waitFor(2);
    ASSERT_EQ(n.size(), 2u);
    EXPECT_EQ(n[0].header, &b.headers[2]);
    EXPECT_EQ(n[1].header, &b.headers[0]);
    EXPECT_EQ(n[0].bytes, 4u);
    EXPECT_EQ(b.memory[8], 1);  // buffer 2 got the first bytes
    EXPECT_EQ(b.memory[0], 5);
    EXPECT_EQ(b.headers[2].flags & (headerDone | headerInQueue), headerDone);
    EXPECT_EQ(device.queuedBuffers(), 1u);
    EXPECT_EQ(device.roomInCurrentBuffer(), 2u);  // buffer 1 holds 9 and 10

    // Out of buffers: the rest is lost, as a microphone would lose it.
    EXPECT_EQ(device.record(bytes, 10), 2u);
    EXPECT_EQ(device.roomInCurrentBuffer(), 0u);
}

TEST(WaveInDeviceTest, StopHandsBackThePartBufferResetHandsBackAll) {
    Receiver receiver;
    WaveInDevice device(nullptr, mono22k, receiver.id());
    Buffers b(3, 4);
    for (WaveHeader& h : b.headers) {
        device.prepare(&h);
        device.addBuffer(&h);
    }
    device.start();
    // Stopping with an empty current buffer hands nothing back.
    device.stop();
    EXPECT_EQ(device.queuedBuffers(), 3u);
    device.start();
    const uint8_t bytes[3] = {7, 8, 9};
    device.record(bytes, 3);
    device.stop();
    std::vector<Receiver::Notice> n = receiver.waitFor(1);
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0].header, &b.headers[0]);
    EXPECT_EQ(n[0].bytes, 3u);
    EXPECT_FALSE(device.isRecording());
    EXPECT_EQ(device.record(bytes, 3), 0u);

    device.reset();
    n = receiver.waitFor(3);
    ASSERT_EQ(n.size(), 3u);
    EXPECT_EQ(n[1].header, &b.headers[1]);
    EXPECT_EQ(n[2].header, &b.headers[2]);
    EXPECT_EQ(n[2].bytes, 0u);
    EXPECT_EQ(device.queuedBuffers(), 0u);
}

// A running counter, one step per sample; optionally refuses to begin.
class Counter : public SoundProducer {
public:
    explicit Counter(bool readable = true) : readable_(readable) {}
    bool begin(std::string& error) override {
        if (!readable_) error = "counter: no such sound";
        return readable_;
    }
    void produce(int16_t* samples, size_t count) override {
        for (size_t i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(next_++);
    }
    uint32_t samplesPerSecond() const override { return 22050; }

private:
    bool readable_;
    uint16_t next_ = 1;
};

TEST(PacedWaveInTest, OpensOnlyItsOwnFormatAndOnlyWhenTheSoundBegins) {
    PacedWaveIn paced(std::make_unique<Counter>());
    EXPECT_EQ(paced.deviceCount(), 1u);
    EXPECT_EQ(paced.open(0, pcmFormat(2, 22050, 16), 0), nullptr);
    EXPECT_EQ(paced.open(0, pcmFormat(1, 44100, 16), 0), nullptr);
    EXPECT_EQ(paced.open(0, pcmFormat(1, 22050, 8), 0), nullptr);
    EXPECT_EQ(paced.open(1, mono22k, 0), nullptr);
    WaveInDevice* d = paced.open(0, mono22k, 0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(paced.open(0, mono22k, 0), nullptr);  // one at a time
    paced.close(d);

    PacedWaveIn unreadable(std::make_unique<Counter>(false));
    testing::internal::CaptureStderr();
    EXPECT_EQ(unreadable.open(0, mono22k, 0), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "veldra: sound input: counter: no such sound\n");
}

TEST(PacedWaveInTest, RecordsWholeBuffersNoFasterThanRealTimeAndPausesWhenStopped) {
    Receiver receiver;
    PacedWaveIn paced(std::make_unique<Counter>());
    WaveInDevice* d = paced.open(0, mono22k, receiver.id());
    ASSERT_NE(d, nullptr);
    Buffers b(8, 440);  // 8 blocks of 220 samples: 80 ms of sound
    for (WaveHeader& h : b.headers) {
        d->prepare(&h);
        d->addBuffer(&h);
    }
    const auto begin = Clock::now();
    d->start();
    std::vector<Receiver::Notice> n = receiver.waitFor(4);
    ASSERT_EQ(n.size(), 4u);
    // The fourth buffer's last sample is heard 40 ms after the start, never sooner.
    EXPECT_GE(n[3].at - begin, milliseconds(39));
    d->stop();
    const uint32_t queuedAtStop = d->queuedBuffers();
    std::this_thread::sleep_for(milliseconds(30));
    EXPECT_EQ(d->queuedBuffers(), queuedAtStop);  // stopped: nothing more is recorded
    d->start();
    n = receiver.waitFor(8);
    ASSERT_EQ(n.size(), 8u);
    paced.close(d);

    // Whole buffers only, and the counter runs on across the pause without a gap.
    int16_t expected = 1;
    for (const Receiver::Notice& notice : n) {
        ASSERT_EQ(notice.bytes, 440u);
        const auto* s = reinterpret_cast<const int16_t*>(notice.header->data);
        for (int i = 0; i < 220; ++i) ASSERT_EQ(s[i], expected++) << i;
    }
}

}  // namespace
}  // namespace veldra
