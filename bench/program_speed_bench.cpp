// veldra-file against aubio's pitch tracker on the same sound: five minutes of a plucked guitar
// string recorded at 44.1 kHz in stereo, the kind of file a player brings, and the same at
// the tuner's own 22050 Hz in mono. Each program runs to the end of the file as a child
// process; the figures are its processor time.
//
//   veldra_x_real_time   seconds of sound per second of veldra-file --csv's processor time
//   raw_x_real_time      the same with --raw (no input conditioning)
//   aubio_x_real_time    the same for aubiopitch -p yinfft (aubio-tools)
//   veldra_vs_aubio      how many times as fast veldra-file is
#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/support/child_process_time.h"
#include "tests/support/scratch_files.h"

namespace {

using namespace veldra;

constexpr double soundSeconds = 300.0;  // long enough that starting a program is not the figure

// rate and channels: the file's (44100 stereo, or 22050 mono).
void VeldraFileAgainstAubio(benchmark::State& state) {
    const auto rate = static_cast<int>(state.range(0));
    const auto channels = static_cast<int>(state.range(1));
    ScratchFolder folder;
    const std::string file = folder.path("guitar.wav");
    std::vector<float> frames;
    for (int i = 0; i < static_cast<int>(rate * soundSeconds); ++i) {
        const double t = std::fmod(static_cast<double>(i) / rate, 4.0);  // a pluck every 4 s
        double v = 0.0;
        for (int k = 1; k <= 10; ++k)
            v += std::exp(-t * k / 2.0) * std::sin(2 * M_PI * k * 110.0 * t) / k;
        frames.insert(frames.end(), static_cast<size_t>(channels), static_cast<float>(0.5 * v));
    }
    writeSoundFile(file, SF_FORMAT_WAV | SF_FORMAT_PCM_16, rate, channels, frames);
    for (auto _ : state) {
        const double veldra = processorSecondsOf({VELDRA_FILE_PROGRAM, "--csv", file});
        const double raw = processorSecondsOf({VELDRA_FILE_PROGRAM, "--csv", "--raw", file});
        const double aubio = processorSecondsOf({"aubiopitch", "-p", "yinfft", "-i", file});
        if (veldra <= 0 || raw <= 0 || aubio <= 0) {
            state.SkipWithError("veldra-file or aubiopitch did not run (aubio-tools installed?)");
            return;
        }
        state.SetIterationTime(veldra);
        state.counters["veldra_x_real_time"] = soundSeconds / veldra;
        state.counters["raw_x_real_time"] = soundSeconds / raw;
        state.counters["aubio_x_real_time"] = soundSeconds / aubio;
        state.counters["veldra_vs_aubio"] = aubio / veldra;
    }
}

BENCHMARK(VeldraFileAgainstAubio)
    ->Args({44100, 2})
    ->Args({22050, 1})
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
