// What veldra-file's practice report costs on an hour of 44.1 kHz stereo: a take of notes
// held two seconds each at varied intonation, some with vibrato, with a glide and a rest
// every twenty seconds. veldra-file runs as a child process, once printing its table and
// once writing the report as well; the figures are its processor time.
//
//   report_extra_percent  how much longer the run with --report takes, in %
//   table_x_real_time     seconds of sound per second of the run without it
//   page_kilobytes        the page's size
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/support/child_process_time.h"
#include "tests/support/scratch_files.h"

namespace {

using namespace veldra;

constexpr int rate = 44100;
constexpr int hourSeconds = 3600;
constexpr int phraseSeconds = 20;  // the take repeats this phrase

// Twenty seconds of stereo: eight notes of two seconds, a glide, a rest.
std::vector<float> phrase() {
    const double cents[] = {0, 12, -8, 25, -30, 4, -15, 7};
    std::vector<float> frames;
    double phase = 0;
    for (int i = 0; i < phraseSeconds * rate; ++i) {
        const double t = static_cast<double>(i) / rate;
        const int note = static_cast<int>(t / 2);
        double semitone = 0, detune = 0;
        if (note < 8) {
            semitone = (note * 2) % 12;
            detune = cents[note] + (note % 3 == 0 ? 12 * std::sin(2 * M_PI * 5.5 * t) : 0);
        } else if (note == 8) {
            semitone = 2 * (t - 16);  // a glide up four semitones
        }
        const double f = 196.0 * std::exp2((semitone + detune / 100) / 12);  // from G3
        phase += 2 * M_PI * f / rate;
        double v = 0;
        for (int k = 1; k <= 5; ++k)
            v += std::sin(k * phase) / k;
        const float sample = note < 9 ? static_cast<float>(0.3 * v) : 0.0f;
        frames.push_back(sample);
        frames.push_back(sample);
    }
    return frames;
}

void ReportOnAnHourOfStereo(benchmark::State& state) {
    ScratchFolder folder;
    const std::string take = folder.path("hour.wav"), page = folder.path("hour.html");
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(take.c_str(), SFM_WRITE, &info);
    const std::vector<float> frames = phrase();
    for (int s = 0; file != nullptr && s < hourSeconds; s += phraseSeconds)
        sf_writef_float(file, frames.data(), static_cast<sf_count_t>(frames.size() / 2));
    if (file == nullptr || sf_close(file) != 0) {
        state.SkipWithError("cannot write the hour of sound");
        return;
    }
    for (auto _ : state) {
        const double table = processorSecondsOf({VELDRA_FILE_PROGRAM, take});
        const double report = processorSecondsOf({VELDRA_FILE_PROGRAM, "--report", page, take});
        struct stat written {};
        if (table <= 0 || report <= 0 || stat(page.c_str(), &written) != 0) {
            state.SkipWithError("veldra-file did not run");
            return;
        }
        state.SetIterationTime(report);
        state.counters["report_extra_percent"] = 100.0 * (report - table) / table;
        state.counters["table_x_real_time"] = hourSeconds / table;
        state.counters["page_kilobytes"] = static_cast<double>(written.st_size) / 1000.0;
    }
}

BENCHMARK(ReportOnAnHourOfStereo)->Iterations(2)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
