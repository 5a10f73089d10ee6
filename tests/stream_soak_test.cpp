// Soak: the demo performance, over and over, through the whole road of live sound at an
// accelerated pace (the scripted source, the capture thread, the hand-off waking the main
// thread, analyzeBlock on the headless screen, set up as the application sets itself up):
// every block arrives intact, in order and without backlog, the dial refreshes once per
// tenth of a second of sound, the ring never overflows, and the anonymous resident memory
// does not grow after the first minute. VELDRA_SOAK_SECONDS says how much sound (180 s
// unless set; `make soak` gives 3600). The sanitizer runs (make test-asan, test-tsan)
// check the rest.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "analysis/analysis.h"
#include "audio/audio.h"
#include "display/display.h"
#include "platform/screen/screen.h"
#include "platform/sound_files/sound_files.h"
#include "tests/support/scripted_wave_in.h"
#include "tuner/tuner.h"

namespace veldra {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int64_t blockSamples = captureBlockSamples;
constexpr int64_t blocksOnTheirWay = 8;  // 10 in the ring would be read as backlog
constexpr auto nudgeAfter = std::chrono::milliseconds(10);   // two polls of the capture thread
constexpr auto lateWakeUp = std::chrono::milliseconds(100);  // no message while sound waits
// Memory may still move by a few pages. (The window-message ring, 32 KB of zero pages that
// the kernel maps as they are first written, and four times that in ThreadSanitizer's
// shadow, is written through once before the clock starts: it would otherwise fill at
// one message per drain, past the first minute when drains are few.) A leak of a byte
// per block would add 350 KB over the hour.
constexpr int64_t residentSlackBytes = 64 * 1024;

int64_t soakSeconds() {
    const char* text = std::getenv("VELDRA_SOAK_SECONDS");
    const int64_t seconds = text != nullptr ? std::atoll(text) : 0;
    return seconds > 0 ? seconds : 180;
}

// Resident memory as the kernel finds it walking the page tables (smaps_rollup): exact,
// where statm's and getrusage's counters lag by up to 64 pages per thread. All of it, and
// the anonymous part: the heap, the stacks and the program's zeroed data, which is what
// a leak or an allocation would make grow. The rest is the libraries' code and data read
// from their files, which pages in (64 KB at a time) when a function first runs, and can
// never outgrow the libraries.
struct Resident {
    int64_t all = -1;        // bytes
    int64_t anonymous = -1;  // bytes
};

// Read with plain system calls into the stack: the reading allocates nothing itself (under
// AddressSanitizer every freed block waits in quarantine, so a FILE per reading would
// look like growth).
Resident residentMemory() {
    Resident r;
    char text[4096];
    const int fd = ::open("/proc/self/smaps_rollup", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return r;
    size_t length = 0;
    for (ssize_t got = 1; got > 0 && length < sizeof text - 1; length += static_cast<size_t>(got)) {
        got = ::read(fd, text + length, sizeof text - 1 - length);
        if (got < 0) got = 0;
    }
    ::close(fd);
    text[length] = '\0';
    const auto field = [&text](const char* name) -> int64_t {
        const char* at = std::strstr(text, name);
        return at == nullptr ? -1 : std::atoll(at + std::strlen(name)) * 1024;
    };
    r.all = field("\nRss:");
    r.anonymous = field("\nAnonymous:");
    return r;
}

// One pass of the demo and its first block again, so that every block of the looped sound
// lies in one piece; the source and the check both read it by the block's number.
std::vector<int16_t> performance;
int64_t performanceLength = 0;

// Written by the main thread (in the consumer), read by the source's thread.
std::atomic<int64_t> consumed{0};
// Main thread only.
int64_t backlogBlocks = 0;
int64_t damagedBlocks = 0;
// Capture thread.
std::atomic<int32_t> overflows{0};

const int16_t* performanceAt(int64_t block) {
    return performance.data() + block * blockSamples % performanceLength;
}

// The hand-off's consumer: the block must be the next of the performance; then the tuner.
void consume(const int16_t* block, int32_t count, bool backlog) {
    const int64_t n = consumed.load(std::memory_order_relaxed);
    if (count != blockSamples ||
        std::memcmp(block, performanceAt(n), sizeof(int16_t) * blockSamples) != 0) {
        ++damagedBlocks;
    }
    backlogBlocks += backlog ? 1 : 0;
    analyzeBlock(block, count, backlog);
    consumed.store(n + 1, std::memory_order_release);
}

void countOverflows(int32_t code) {
    if (code == RingOverflow) overflows.fetch_add(1);
    onCaptureEvent(code);
}

// What the microphone thread reports.
struct Microphone {
    std::atomic<bool> stop{false};     // set by the main thread to end it early
    std::atomic<bool> refused{false};  // the device had no room for a block
    std::atomic<int32_t> nudges{0};    // 9th blocks recorded because nothing moved
};

// Records block after block of the performance while fewer than blocksOnTheirWay are
// recorded and not yet analysed, one more when nothing has moved for nudgeAfter.
void perform(ScriptedWaveIn& source, int64_t blocks, Microphone& mic) {
    for (int64_t b = 0; b < blocks && !mic.stop; ++b) {
        const auto waitingSince = Clock::now();
        while (!mic.stop) {
            const int64_t onTheirWay = b - consumed.load(std::memory_order_acquire);
            if (onTheirWay < blocksOnTheirWay) break;
            if (onTheirWay == blocksOnTheirWay && Clock::now() - waitingSince > nudgeAfter) {
                mic.nudges.fetch_add(1);
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (source.recordSamples(performanceAt(b), blockSamples) != blockSamples) {
            mic.refused = true;
            return;
        }
    }
}

TEST(StreamSoakTest, TheDemoRunsThroughTheWholeRoadWithoutLossDriftOrGrowth) {
    const int64_t seconds = soakSeconds();
    // Just past the last tenth of a second: its refresh point is the sample after it.
    const int64_t blocks = (seconds * sampleRate + 1 + blockSamples - 1) / blockSamples;
    const int64_t firstMinuteBlocks = 60 * sampleRate / blockSamples;

    DemoSound demo{};
    resetDemoSound(demo, sampleRate, true);
    performanceLength = demo.length;
    performance.assign(static_cast<size_t>(performanceLength + blockSamples), 0);
    ASSERT_EQ(pullDemoSound(demo, performance.data(), static_cast<int32_t>(performance.size())),
              static_cast<int32_t>(performance.size()));

    HeadlessTuner tuner;
    ASSERT_TRUE(tuner.start());
    ScriptedWaveIn source;
    installWaveInSource(&source);
    for (size_t slot = 0; slot < windowQueueCapacity; ++slot)
        ASSERT_TRUE(postWindowMessage(&tuner.window, 0, 0, 0));
    clearWindowMessages();
    resetHandoff();
    prepareHandoff(&tuner.window, consume);
    WaveInStream& stream = captureStream();
    ASSERT_TRUE(openStream(stream, {.callback = countOverflows,
                                    .priority = captureThreadPriority,
                                    .blocks = captureBlocks,
                                    .blockBytes = captureBlockBytes,
                                    .channels = 1,
                                    .rate = sampleRate,
                                    .bits = 16}));
    ASSERT_TRUE(startStream(stream));

    Microphone mic;
    const auto begin = Clock::now();
    std::thread microphone(perform, std::ref(source), blocks, std::ref(mic));

    // The main thread's message loop, as the shell's: each wake-up drains the ring.
    // The first reading of /proc costs the C library some memory of its own: before the
    // clock starts.
    ASSERT_GT(residentMemory().anonymous, 0);
    Resident afterFirstMinute, most;
    int64_t nextLook = firstMinuteBlocks;  // then every 10 s of sound
    int64_t lastSeen = -1;
    auto lastProgress = Clock::now();
    while (consumed.load() < blocks && !mic.refused) {
        WindowMessage m{};
        if (waitWindowMessage(&m, 5) && m.message == CaptureReadyMessage) {
            drainCapture();
        } else if (consumerIsIdle() && Clock::now() - lastProgress > lateWakeUp) {
            // A block stored while a drain was finishing waits for the next block's
            // message; a real microphone sends that block 10 ms later, but this one stops
            // at blocksOnTheirWay once its nudge is spent (the drain held up past
            // nudgeAfter on a busy machine). The drain that block would have brought:
            drainCapture();
        }
        const int64_t n = consumed.load();
        if (n != lastSeen) {
            lastSeen = n;
            lastProgress = Clock::now();
        } else if (Clock::now() - lastProgress > std::chrono::seconds(10)) {
            break;  // stuck: reported below
        }
        if (n >= nextLook) {
            const Resident now = residentMemory();
            if (afterFirstMinute.all < 0) afterFirstMinute = now;
            most.all = std::max(most.all, now.all);
            most.anonymous = std::max(most.anonymous, now.anonymous);
            nextLook += 10 * sampleRate / blockSamples;
        }
    }
    const double wallSeconds = std::chrono::duration<double>(Clock::now() - begin).count();
    mic.stop = true;
    microphone.join();
    EXPECT_TRUE(stopStream(stream));
    closeHandoff();
    installWaveInSource(nullptr);
    resetHandoff();
    closeDisplay();

    ASSERT_FALSE(mic.refused) << "the device had no buffer for a block";
    ASSERT_EQ(consumed.load(), blocks) << "the road stalled";
    EXPECT_EQ(damagedBlocks, 0);
    EXPECT_EQ(backlogBlocks, 0);
    EXPECT_EQ(overflows.load(), 0);
    EXPECT_EQ(pipelineState().dialRefreshes, seconds * 10);
    if (seconds > 60) {
        ASSERT_GT(afterFirstMinute.anonymous, 0);
        EXPECT_LE(most.anonymous - afterFirstMinute.anonymous, residentSlackBytes);
    }
    std::printf(
        "soak: %lld s of sound in %.1f s, %d dial refreshes; resident %.2f MB (%.2f MB "
        "anonymous) after the first minute, at most %.2f MB (%.2f MB) later; %d nudges\n",
        static_cast<long long>(seconds), wallSeconds, pipelineState().dialRefreshes,
        afterFirstMinute.all / 1048576.0, afterFirstMinute.anonymous / 1048576.0,
        most.all / 1048576.0, most.anonymous / 1048576.0, mic.nudges.load());
}

}  // namespace
}  // namespace veldra
