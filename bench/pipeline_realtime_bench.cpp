// The whole tuner per second of sound, as veldra-file runs it: analysis, trace, dial,
// frame composition and fading on the headless screen, no PNG. "x_real_time" is seconds
// of sound per second of wall time; the goal is at least 1000.
//
//   PipelineDemo        the demo performance, already in memory: the pipeline alone
//   PipelineFromFile    a 22050 Hz mono 16-bit WAV read through the sound file reader
//   ReaderResampling    a 44.1 kHz stereo WAV read and converted, without the tuner
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "audio/audio.h"
#include "platform/sound_files/sound_files.h"
#include "tuner/tuner.h"

namespace {

using veldra::sampleRate;
constexpr int32_t blockSize = veldra::captureBlockSamples;
constexpr int32_t blocksPerSecond = 100;  // 22000 samples: 0.998 s of sound

std::vector<int16_t> demoPerformance() {
    veldra::DemoSound sound;
    veldra::resetDemoSound(sound, sampleRate, false);
    std::vector<int16_t> s(static_cast<size_t>(sound.length));
    veldra::pullDemoSound(sound, s.data(), static_cast<int32_t>(s.size()));
    return s;
}

// A temporary WAV of the demo performance at the given rate and channel count.
std::string writeDemoWav(int rate, int channels) {
    const std::vector<int16_t> demo = demoPerformance();
    char path[] = "/tmp/veldra-bench-XXXXXX.wav";
    const int fd = ::mkstemps(path, 4);
    ::close(fd);
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path, SFM_WRITE, &info);
    std::vector<int16_t> frame(static_cast<size_t>(channels));
    const double step = static_cast<double>(sampleRate) / rate;
    for (int64_t i = 0; static_cast<double>(i) * step < static_cast<double>(demo.size() - 1); ++i) {
        const auto v = demo[static_cast<size_t>(static_cast<double>(i) * step)];
        for (auto& c : frame)
            c = v;
        sf_writef_short(f, frame.data(), 1);
    }
    sf_close(f);
    return path;
}

void reportRate(benchmark::State& state, int64_t samples) {
    state.SetItemsProcessed(samples);
    state.counters["x_real_time"] =
        benchmark::Counter(static_cast<double>(samples) / sampleRate, benchmark::Counter::kIsRate);
}

void PipelineDemo(benchmark::State& state) {
    const std::vector<int16_t> sound = demoPerformance();
    veldra::HeadlessTuner tuner;
    if (!tuner.start()) {
        state.SkipWithError("cannot open the headless display");
    }
    size_t at = 0;
    for (auto _ : state) {
        for (int32_t b = 0; b < blocksPerSecond; ++b) {
            veldra::analyzeBlock(&sound[at], blockSize, false);
            at += blockSize;
            if (at + blockSize > sound.size()) at = 0;
        }
    }
    reportRate(state, state.iterations() * blocksPerSecond * blockSize);
}

void PipelineFromFile(benchmark::State& state) {
    const std::string path = writeDemoWav(sampleRate, 1);
    veldra::HeadlessTuner tuner;
    if (!tuner.start()) {
        state.SkipWithError("cannot open the headless display");
    }
    veldra::SoundFileReader reader{sampleRate};
    if (!reader.open(path)) state.SkipWithError(reader.error().message.c_str());
    int16_t block[blockSize];
    for (auto _ : state) {
        for (int32_t b = 0; b < blocksPerSecond; ++b) {
            if (reader.read(block, blockSize) < blockSize) {
                reader.rewind();
                reader.read(block, blockSize);
            }
            veldra::analyzeBlock(block, blockSize, false);
        }
    }
    reportRate(state, state.iterations() * blocksPerSecond * blockSize);
    std::remove(path.c_str());
}

void ReaderResampling(benchmark::State& state) {
    const std::string path = writeDemoWav(44100, 2);
    veldra::SoundFileReader reader{sampleRate};
    if (!reader.open(path)) state.SkipWithError(reader.error().message.c_str());
    int16_t block[blockSize];
    for (auto _ : state) {
        for (int32_t b = 0; b < blocksPerSecond; ++b) {
            if (reader.read(block, blockSize) < blockSize) reader.rewind();
            benchmark::DoNotOptimize(block[0]);
        }
    }
    reportRate(state, state.iterations() * blocksPerSecond * blockSize);
    std::remove(path.c_str());
}

BENCHMARK(PipelineDemo);
BENCHMARK(PipelineFromFile);
BENCHMARK(ReaderResampling);

}  // namespace
