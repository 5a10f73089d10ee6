// The resampler the sound files and the live input share (libsoxr at high quality)
// against libsoxr's very-high-quality setting and libsamplerate's three sinc converters,
// on what the tuner converts most: 44.1 and 48 kHz mono to 22050 Hz, streamed in chunks of
// 4096 values as the reader streams them. "x_real_time" is seconds of sound per second.
// (How close each one's output reads to the true pitch: tests/resampling_test.cpp for ours,
// README for the others.)
#include <benchmark/benchmark.h>
#include <samplerate.h>
#include <soxr.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "platform/sound_files/sound_files.h"
#include "tuner/tuner.h"

namespace {

constexpr int32_t outputRate = veldra::sampleRate;  // the tuner's
constexpr size_t chunk = 4096;

std::vector<float> second(int32_t rate) {
    std::vector<float> sound(static_cast<size_t>(rate));
    for (size_t i = 0; i < sound.size(); ++i) {
        const double phase = std::fmod(110.0 * static_cast<double>(i) / rate, 1.0);
        sound[i] = static_cast<float>(0.5 * (2.0 * phase - 1.0));  // a sawtooth: all harmonics
    }
    return sound;
}

void report(benchmark::State& state) {
    state.counters["x_real_time"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// One second of sound per iteration through ours.
void Ours(benchmark::State& state) {
    const auto rate = static_cast<int32_t>(state.range(0));
    const std::vector<float> sound = second(rate);
    std::vector<float> out(chunk);
    veldra::Resampler resampler;
    std::string error;
    if (!resampler.open(rate, outputRate, error)) state.SkipWithError(error.c_str());
    for (auto _ : state) {
        for (size_t at = 0; at < sound.size();) {
            size_t taken = 0, given = 0;
            resampler.process(&sound[at], std::min(chunk, sound.size() - at), taken, out.data(),
                              out.size(), given, error);
            at += taken;
            benchmark::DoNotOptimize(out[0]);
        }
    }
    report(state);
}

void SoxrVeryHighQuality(benchmark::State& state) {
    const auto rate = static_cast<int32_t>(state.range(0));
    const std::vector<float> sound = second(rate);
    std::vector<float> out(chunk);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_t soxr = soxr_create(rate, outputRate, 1, nullptr, nullptr, &quality, &runtime);
    for (auto _ : state) {
        for (size_t at = 0; at < sound.size();) {
            size_t taken = 0, given = 0;
            soxr_process(soxr, &sound[at], std::min(chunk, sound.size() - at), &taken, out.data(),
                         out.size(), &given);
            at += taken;
            benchmark::DoNotOptimize(out[0]);
        }
    }
    soxr_delete(soxr);
    report(state);
}

void Libsamplerate(benchmark::State& state) {
    const auto rate = static_cast<int32_t>(state.range(0));
    const std::vector<float> sound = second(rate);
    std::vector<float> out(chunk);
    int error = 0;
    SRC_STATE* src = src_new(static_cast<int>(state.range(1)), 1, &error);
    for (auto _ : state) {
        for (size_t at = 0; at < sound.size();) {
            SRC_DATA step{};
            step.data_in = &sound[at];
            step.input_frames = static_cast<long>(std::min(chunk, sound.size() - at));
            step.data_out = out.data();
            step.output_frames = static_cast<long>(out.size());
            step.src_ratio = static_cast<double>(outputRate) / rate;
            src_process(src, &step);
            at += static_cast<size_t>(step.input_frames_used);
            benchmark::DoNotOptimize(out[0]);
        }
    }
    src_delete(src);
    report(state);
}

BENCHMARK(Ours)->Arg(44100)->Arg(48000);
BENCHMARK(SoxrVeryHighQuality)->Arg(44100)->Arg(48000);
BENCHMARK(Libsamplerate)
    ->ArgNames({"rate", "converter"})
    ->Args({44100, SRC_SINC_FASTEST})
    ->Args({44100, SRC_SINC_MEDIUM_QUALITY})
    ->Args({44100, SRC_SINC_BEST_QUALITY})
    ->Args({48000, SRC_SINC_FASTEST});

}  // namespace
