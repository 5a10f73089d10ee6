// The tuner as the program's start-up and first paint leave it (startHeadlessTuner), on a
// headless screen of the test support's own with a black background picture: plot window
// 0, 26, 240 x 268, the dial set up for Guitar, the trace with automatic delay, the
// analysis at 22050 samples per second, ten refreshes a second. And the sound the views
// and the pipeline are tested with.
#pragma once

#include <cstdint>
#include <vector>

namespace veldra {

void startTunerModules();

// A plucked string at 22050 samples per second: ten harmonics falling off as 1/k, the
// higher ones dying away faster, with a 4 ms attack, the sum scaled by amplitude.
std::vector<int16_t> pluckedString(double frequency, double seconds, double amplitude = 12000.0);

}  // namespace veldra
