// Throughput of the level tracker and crossing detector (with the validator behind it),
// in samples per second: "items_per_second" in Google Benchmark's report. Real time is
// 22050 samples per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "analysis/analysis.h"
#include "audio/audio.h"
#include "tuner/tuner.h"

namespace {

using veldra::sampleRate;
constexpr int32_t blockSize = veldra::captureBlockSamples;

std::vector<int16_t> tone440() {
    std::vector<int16_t> s(sampleRate);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<int16_t>(
            std::lround(16000.0 * std::sin(2 * M_PI * 440.0 * i / sampleRate)));
    return s;
}

std::vector<int16_t> whiteNoise() {
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> level(-16000, 16000);
    std::vector<int16_t> s(sampleRate);
    for (auto& v : s)
        v = static_cast<int16_t>(level(rng));
    return s;
}

// One second of sound in 220-sample blocks per iteration, as the capture delivers it.
void runBlocks(benchmark::State& state, const std::vector<int16_t>& sound) {
    veldra::resetDetector();
    veldra::resetValidator();
    const size_t blocks = sound.size() / blockSize;
    for (auto _ : state) {
        for (size_t b = 0; b < blocks; ++b)
            benchmark::DoNotOptimize(veldra::trackBlock(&sound[b * blockSize], blockSize));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(blocks * blockSize));
    state.counters["x_real_time"] =
        benchmark::Counter(static_cast<double>(state.iterations()) *
                               static_cast<double>(blocks * blockSize) / sampleRate,
                           benchmark::Counter::kIsRate);
}

void TrackBlockTone440(benchmark::State& state) {
    runBlocks(state, tone440());
}
void TrackBlockWhiteNoise(benchmark::State& state) {
    runBlocks(state, whiteNoise());
}

BENCHMARK(TrackBlockTone440);
BENCHMARK(TrackBlockWhiteNoise);

}  // namespace
