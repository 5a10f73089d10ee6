// The whole road at the real pace: a clock-paced source whose samples are a running
// counter, the stream, the hand-off, and a main thread that drains its messages but now
// and then stalls for 50 to 400 ms, long enough for the ring to overflow. Every analysed
// block must continue the counter exactly, except across an overflow's re-arm, where whole
// blocks are missing and the ring goes on with newer sound; nothing twice, nothing out of
// order.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "audio/capture_handoff.h"
#include "platform/sound_input/wave_in_paced.h"
#include "tests/support/counter_sound.h"
#include "tests/support/polling.h"

namespace veldra {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::atomic<int32_t> overflows{0};

// The hand-off's callback, counting overflows first (before the re-arm can let newer
// sound through).
void countingCallback(int32_t code) {
    if (code == RingOverflow) overflows.fetch_add(1);
    onCaptureEvent(code);
}

struct Analysed {
    uint16_t first, last;   // the block's first and last sample, as counter values
    bool continuous;        // every sample one more than the one before
    int32_t overflowsSeen;  // overflows counted when the block was analysed
};
std::vector<Analysed> analysed;

void analyse(const int16_t* block, int32_t count, bool) {
    bool continuous = true;
    for (int32_t i = 1; i < count; ++i)
        continuous &= static_cast<uint16_t>(block[i] - block[i - 1]) == 1;
    analysed.push_back({static_cast<uint16_t>(block[0]), static_cast<uint16_t>(block[count - 1]),
                        continuous, overflows.load()});
}

// Handles the main window's messages for a while, as the message loop would.
void keepUp(milliseconds span) {
    for (const auto until = Clock::now() + span; Clock::now() < until;) {
        WindowMessage m{};
        if (waitWindowMessage(&m, 5) && m.message == CaptureReadyMessage) drainCapture();
    }
}

TEST(CaptureRealtimeTest, AStallingMainThreadSeesTheCounterWholeOrCutInWholeBlocks) {
    analysed.reserve(4000);
    PacedWaveIn source(std::make_unique<CounterSound>());
    installWaveInSource(&source);
    clearWindowMessages();
    resetHandoff();
    prepareHandoff(reinterpret_cast<WindowHandle>(uintptr_t{1}), analyse);
    WaveInStream& stream = captureStream();
    ASSERT_TRUE(openStream(stream, countingCallback, 3, 20, 440, 1, 22050, 16));
    ASSERT_TRUE(startStream(stream));
    // The ring holds 200 ms: the stalls of 250 ms and more overflow it. The longest ones
    // go on until an overflow has happened, however slow the machine.
    for (int32_t stall : {50, 120, 400, 60, 250, 90, 400}) {
        keepUp(milliseconds(150));
        const int32_t before = overflows.load();
        std::this_thread::sleep_for(milliseconds(stall));
        if (stall == 400) eventually([&] { return overflows.load() > before; });
    }
    keepUp(milliseconds(150));
    const auto begin = Clock::now();
    ASSERT_TRUE(stopStream(stream));
    EXPECT_LT(Clock::now() - begin, milliseconds(20));
    closeHandoff();
    installWaveInSource(nullptr);
    resetHandoff();

    ASSERT_GE(overflows.load(), 2);
    ASSERT_GE(analysed.size(), 50u);
    int32_t gaps = 0;
    for (size_t b = 0; b < analysed.size(); ++b) {
        const Analysed& a = analysed[b];
        ASSERT_TRUE(a.continuous) << "block " << b;
        // Samples missing between two blocks (the counter wraps at 65536).
        const uint16_t missing =
            b == 0 ? 0 : static_cast<uint16_t>(a.first - analysed[b - 1].last - 1);
        if (missing == 0) continue;
        ++gaps;
        EXPECT_EQ(missing % 220, 0) << "block " << b << ": " << missing << " samples missing";
        EXPECT_LT(missing / 220, 200) << "block " << b << " repeats or goes back";
        EXPECT_LE(gaps, a.overflowsSeen) << "block " << b << ": a gap without an overflow";
    }
    std::printf("%zu blocks analysed, %d overflows, %d gaps\n", analysed.size(), overflows.load(),
                gaps);
    EXPECT_GE(gaps, 1);
}

}  // namespace
}  // namespace veldra
