// What the program costs a desktop: veldra at scale 2 on an Xvfb of its own.
//
// programOnXvfb, with the built-in demo playing as its microphone (VELDRA_INPUT=demo):
//   first_frame_ms  from pressing Enter on the start-up notice (xdotool has delivered the
//                   key) to the first frame of the tuner read back from the X server (the
//                   string rings, which only a frame draws); the median of three starts
//   cpu_%           the process's processor time over 10 s of tuning, in % of one core
//   rss_MB          its peak resident memory by then (VmHWM)
//
// programOnPulseAudio, recording the default input of a PulseAudio server of its own
// (tests/support/pulse_session.h) into which a steady A string is played:
//   needle_ms       from starting to play a tone (paplay started) to the needle on the
//                   screen at its string: the A and the D string by turns, the median of three
//   cpu_%, rss_MB   as above, over 10 s of the tone
//
// The X server's and the sound server's own work are not counted: on a real desktop the
// compositor and the sound server do it. Needs Xvfb, xdotool and PulseAudio
// (scripts/install-deps installs them).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/program_window.h"
#include "tests/support/pulse_session.h"
#include "tests/support/scratch_files.h"
#include "tests/support/tuner_setup.h"

namespace {

using namespace veldra;
using Clock = std::chrono::steady_clock;

constexpr uint16_t ringColour = 0xFBE0;  // the scale's colour: string rings and octave digits

long peakResidentKilobytes(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

bool startProgram(const XvfbSession& session, ChildProcess& program, unsigned long& window,
                  std::string& why) {
    if (!program.start({VELDRA_PROGRAM},
                       {"DISPLAY=" + session.display(), "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER=x11",
                        "VELDRA_INPUT=demo", "VELDRA_SCALE=2"},
                       why)) {
        return false;
    }
    window = findWindow(session, "Veldra", 15000);
    if (window == 0) {
        why = "no window named Veldra: " + program.errorOutput();
        return false;
    }
    // The notice is up once its white page shows.
    std::vector<uint16_t> screen;
    const auto until = Clock::now() + std::chrono::seconds(15);
    while (Clock::now() < until) {
        if (readScreen(session, window, screen) && screen[100 * 240 + 5] == 0xFFFF) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    why = "the start-up notice never showed";
    return false;
}

// Presses Enter and waits for the first frame; its delay in ms, or -1.
double enterToFirstFrame(const XvfbSession& session, unsigned long window) {
    if (!focusWindow(session, window)) return -1;
    if (!xdotool(session, {"key", "Return"})) return -1;
    const auto pressed = Clock::now();
    std::vector<uint16_t> screen;
    while (Clock::now() - pressed < std::chrono::seconds(10)) {
        if (readScreen(session, window, screen) &&
            std::count(screen.begin() + 26 * 240, screen.begin() + 294 * 240, ringColour) > 20) {
            return std::chrono::duration<double, std::milli>(Clock::now() - pressed).count();
        }
    }
    return -1;
}

// Processor and memory figures of a program that has been running for a second or more.
void measureRunning(benchmark::State& state, pid_t pid) {
    const double before = processorSeconds(pid);
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double used = processorSeconds(pid) - before;
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    state.counters["cpu_%"] = 100.0 * used / elapsed;
    state.counters["rss_MB"] = static_cast<double>(peakResidentKilobytes(pid)) / 1024.0;
}

void programOnXvfb(benchmark::State& state) {
    XvfbSession session;
    std::string why;
    if (!session.start(why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    for (auto _ : state) {
        std::vector<double> delays;
        for (int run = 0; run < 3; ++run) {
            ChildProcess program;
            unsigned long window = 0;
            if (!startProgram(session, program, window, why)) {
                state.SkipWithError(why.c_str());
                return;
            }
            const double delay = enterToFirstFrame(session, window);
            if (delay < 0) {
                state.SkipWithError("no frame after Enter");
                return;
            }
            delays.push_back(delay);
            if (run < 2) continue;
            // The last start goes on tuning for the processor and memory figures.
            std::this_thread::sleep_for(std::chrono::seconds(1));
            measureRunning(state, program.pid());
            xdotool(session, {"key", "ctrl+q"});
            program.wait(5000);
        }
        std::sort(delays.begin(), delays.end());
        state.counters["first_frame_ms"] = delays[1];
    }
}

void programOnPulseAudio(benchmark::State& state) {
    ProgramWindow veldra;
    PulseSession pulse;
    ScratchFolder folder;
    std::string why;
    if (!veldra.session.start(why) || !pulse.start({"Microphone"}, 0, why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    // The A and the D string by turns: after silence the held needle stays where it was,
    // so each tone's delay is how long the needle takes to leave the other one's place.
    const std::string tones[] = {folder.path("a.wav"), folder.path("d.wav")};
    writeSteadyTone(tones[0], 110.0, 15);
    writeSteadyTone(tones[1], 146.83, 15);
    std::vector<std::string> environment = pulse.clientEnvironment();
    environment.push_back("VELDRA_INPUT=");
    if (!veldra.launch({VELDRA_PROGRAM}, environment) || !veldra.key("Return")) {
        state.SkipWithError("veldra did not start");
        return;
    }
    for (auto _ : state) {
        std::vector<double> delays;
        double lastX = -100, lastY = -100;
        for (int run = 0; run < 3; ++run) {
            const auto played = Clock::now();
            double x = 0, y = 0;
            const bool moved =
                pulse.play(0, tones[run % 2], why) &&
                veldra.waitFor("the needle at the new string", [&](const Picture& p) {
                    return needleCentre(p, x, y) && std::hypot(x - lastX, y - lastY) > 10;
                });
            if (!moved) {
                state.SkipWithError("the needle did not follow the tone");
                return;
            }
            delays.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - played).count());
            lastX = x, lastY = y;
            if (run == 2) measureRunning(state, veldra.program.pid());
            pulse.stopPlaying();
        }
        std::sort(delays.begin(), delays.end());
        state.counters["needle_ms"] = delays[1];
    }
    veldra.key("ctrl+q");
    veldra.program.wait(5000);
}

BENCHMARK(programOnXvfb)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(programOnPulseAudio)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
