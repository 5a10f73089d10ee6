// What recording costs: the demo performance recorded for 10 s at the real pace (22050
// samples per second, blocks of 220) through the stream and the hand-off, with a main
// thread that drains every wake-up into a consumer that does nothing. Reports the
// processor time of the capture thread, and of the whole process (the clock-paced
// source's thread, the stand-in for the sound card, included), as a percentage of one
// core over the wall-clock time, and how long stopStream took at the end.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>

#include "analysis/analysis.h"
#include "audio/audio.h"
#include "platform/sound_input/sound_input.h"
#include "tuner/tuner.h"

namespace veldra {
namespace {

using Clock = std::chrono::steady_clock;

double processCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int64_t blocksHanded = 0;  // main thread only

void countBlock(const int16_t*, int32_t, bool) {
    ++blocksHanded;
}

void BM_CaptureThreadCpuWhileRecording(benchmark::State& state) {
    const auto source = makeDemoSource();
    installWaveInSource(source.get());
    const auto window = reinterpret_cast<WindowHandle>(uintptr_t{1});
    prepareHandoff(window, countBlock);
    WaveInStream& stream = captureStream();
    if (stream.configured == 0 && !openStream(stream, {.callback = onCaptureEvent,
                                                       .priority = captureThreadPriority,
                                                       .blocks = captureBlocks,
                                                       .blockBytes = captureBlockBytes,
                                                       .channels = 1,
                                                       .rate = sampleRate,
                                                       .bits = 16})) {
        state.SkipWithError("openStream failed");
        return;
    }
    for (auto _ : state) {
        if (!startStream(stream)) {
            state.SkipWithError("startStream failed");
            return;
        }
        uint64_t threadStart = 0, threadEnd = 0;
        threadCpuTime(stream.thread, &threadStart);
        const double processStart = processCpuSeconds();
        const auto begin = Clock::now();
        blocksHanded = 0;
        while (Clock::now() - begin < std::chrono::seconds(10)) {
            WindowMessage m{};
            if (waitWindowMessage(&m, 20) && m.message == CaptureReadyMessage) drainCapture();
        }
        threadCpuTime(stream.thread, &threadEnd);
        const double wall = std::chrono::duration<double>(Clock::now() - begin).count();
        const double process = processCpuSeconds() - processStart;
        const auto stopBegin = Clock::now();
        stopStream(stream);
        const double stopMs =
            std::chrono::duration<double, std::milli>(Clock::now() - stopBegin).count();
        state.SetIterationTime(wall);
        state.counters["stop_ms"] = stopMs;
        state.counters["capture_thread_cpu_%"] =
            100.0 * static_cast<double>(threadEnd - threadStart) / 1e9 / wall;
        state.counters["process_cpu_%"] = 100.0 * process / wall;
        state.counters["blocks_per_s"] = static_cast<double>(blocksHanded) / wall;
    }
    closeHandoff();
    installWaveInSource(nullptr);
}
BENCHMARK(BM_CaptureThreadCpuWhileRecording)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace veldra
