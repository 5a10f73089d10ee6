// The conditioning stage's cost per second of sound, alone: band, estimate, gain and gate
// over the demo performance in the capture's 220-sample blocks, in Guitar's range.
//
//   ConditionDemo   "x_real_time": seconds of sound per second of processor time;
//                   "ns_per_sample": the same as nanoseconds per input sample
// veldra-file's own figures with the stage and with --raw are program_speed_bench's.
#include <benchmark/benchmark.h>

#include <vector>

#include "analysis/analysis.h"
#include "audio/audio.h"
#include "conditioning/conditioning.h"
#include "platform/sound_files/sound_files.h"
#include "tuner/tuner.h"

namespace {

using namespace veldra;

void ConditionDemo(benchmark::State& state) {
    DemoSound sound;
    resetDemoSound(sound, sampleRate, false);
    std::vector<int16_t> demo(static_cast<size_t>(sound.length));
    pullDemoSound(sound, demo.data(), static_cast<int32_t>(demo.size()));
    demo.resize(demo.size() / captureBlockSamples * captureBlockSamples);
    std::vector<int16_t> out(captureBlockSamples);
    resetConditioner();
    applyConditioningRange(InstrumentKind::Guitar);
    for (auto _ : state) {
        for (size_t at = 0; at < demo.size(); at += captureBlockSamples)
            conditionBlock(&demo[at], out.data(), captureBlockSamples);
        benchmark::DoNotOptimize(out.data());
    }
    const auto samples = static_cast<double>(demo.size()) * static_cast<double>(state.iterations());
    state.counters["x_real_time"] =
        benchmark::Counter(samples / sampleRate, benchmark::Counter::kIsRate);
    state.counters["ns_per_sample"] = benchmark::Counter(
        samples * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(ConditionDemo)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace
