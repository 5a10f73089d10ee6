// veldra-instruction-budget: runs the tuner over the first seconds of the built-in demo
// performance in 220-sample blocks, as the capture delivers them, so that callgrind can
// count the instructions the sound costs (scripts/instruction-budget does).
//
//   veldra-instruction-budget analysis [SECONDS]   trackBlock (and the validator behind it)
//   veldra-instruction-budget pipeline [SECONDS]   analyzeBlock: analysis, dial, trace,
//                                                  and at each refresh the frame and the fade
//
// SECONDS (default 20, whole seconds up to the performance's length) is how much sound is
// run. The tuner starts as veldra-file starts it (display open on a headless screen,
// Guitar, start-up tuning values) before the measured part begins, and the sound is made
// before it too: all of the per-sound work, and nothing else, happens inside
// measureAnalysis or measurePipeline, whose names callgrind's --toggle-collect is given.
// Prints the number of samples run, the divisor for a per-second figure.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "audio/audio.h"
#include "display/display.h"
#include "platform/sound_files/sound_files.h"
#include "tuner/tuner.h"

namespace {

constexpr int32_t blockSize = veldra::captureBlockSamples;

// Kept out of line so that callgrind sees each as one function to count.
[[gnu::noinline]] bool measureAnalysis(const int16_t* sound, int32_t blocks) {
    bool stable = false;
    for (int32_t b = 0; b < blocks; ++b)
        stable = veldra::trackBlock(sound + b * blockSize, blockSize);
    return stable;
}

[[gnu::noinline]] void measurePipeline(const int16_t* sound, int32_t blocks) {
    for (int32_t b = 0; b < blocks; ++b)
        veldra::analyzeBlock(sound + b * blockSize, blockSize, false);
}

int usage() {
    std::cerr << "usage: veldra-instruction-budget analysis|pipeline [SECONDS]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) return usage();
    const std::string mode = argv[1];
    if (mode != "analysis" && mode != "pipeline") return usage();
    veldra::DemoSound demo;
    veldra::resetDemoSound(demo, veldra::sampleRate, false);
    const int64_t longest = demo.length / veldra::sampleRate;
    char* end = nullptr;
    const long seconds = argc == 3 ? std::strtol(argv[2], &end, 10) : 20;
    if ((argc == 3 && *end != '\0') || seconds < 1 || seconds > longest) {
        std::cerr << "veldra-instruction-budget: SECONDS must be a whole number from 1 to "
                  << longest << '\n';
        return 2;
    }

    std::vector<int16_t> sound(static_cast<size_t>(demo.length));
    veldra::pullDemoSound(demo, sound.data(), static_cast<int32_t>(sound.size()));
    const auto blocks = static_cast<int32_t>(seconds * veldra::sampleRate / blockSize);

    veldra::HeadlessTuner tuner;
    if (!tuner.start()) {
        std::cerr << "veldra-instruction-budget: cannot open the headless display\n";
        return 1;
    }
    if (mode == "analysis") {
        const bool stable = measureAnalysis(sound.data(), blocks);
        std::cerr << "stable at the end: " << (stable ? "yes" : "no") << '\n';
    } else {
        measurePipeline(sound.data(), blocks);
        std::cerr << "refreshes: " << veldra::pipelineState().dialRefreshes << '\n';
    }
    veldra::closeDisplay();
    std::cout << static_cast<int64_t>(blocks) * blockSize << '\n';
    return 0;
}
