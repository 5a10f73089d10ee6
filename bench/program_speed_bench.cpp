// veldra-file against aubio's pitch tracker on the same sound: five minutes of a plucked guitar
// string recorded at 44.1 kHz in stereo, the kind of file a player brings. Each program
// runs to the end of the file as a child process; the figures are its processor time.
//
//   veldra_x_real_time   seconds of sound per second of veldra-file --csv's processor time
//   aubio_x_real_time    the same for aubiopitch -p yinfft (aubio-tools)
//   veldra_vs_aubio      how many times as fast veldra-file is
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/support/scratch_files.h"

namespace {

using namespace veldra;

constexpr double soundSeconds = 300.0;  // long enough that starting a program is not the figure

// The processor time, in seconds, of command run to its end with its output thrown away;
// negative when it cannot run or fails.
double processorSecondsOf(std::vector<std::string> command) {
    std::vector<char*> argv;
    for (std::string& word : command)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return -1.0;
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void VeldraFileAgainstAubio(benchmark::State& state) {
    ScratchFolder folder;
    const std::string file = folder.path("guitar.wav");
    std::vector<float> frames;
    for (int i = 0; i < static_cast<int>(44100 * soundSeconds); ++i) {
        const double t = std::fmod(i / 44100.0, 4.0);  // a pluck every four seconds
        double v = 0.0;
        for (int k = 1; k <= 10; ++k)
            v += std::exp(-t * k / 2.0) * std::sin(2 * M_PI * k * 110.0 * t) / k;
        frames.insert(frames.end(), 2, static_cast<float>(0.5 * v));
    }
    writeSoundFile(file, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, frames);
    for (auto _ : state) {
        const double veldra = processorSecondsOf({VELDRA_FILE_PROGRAM, "--csv", file});
        const double aubio = processorSecondsOf({"aubiopitch", "-p", "yinfft", "-i", file});
        if (veldra <= 0 || aubio <= 0) {
            state.SkipWithError("veldra-file or aubiopitch did not run (aubio-tools installed?)");
            return;
        }
        state.SetIterationTime(veldra);
        state.counters["veldra_x_real_time"] = soundSeconds / veldra;
        state.counters["aubio_x_real_time"] = soundSeconds / aubio;
        state.counters["veldra_vs_aubio"] = aubio / veldra;
    }
}

BENCHMARK(VeldraFileAgainstAubio)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
