// The tuner as the program's start-up and first paint leave it (startHeadlessTuner), on a
// headless screen of the test support's own with a black background picture: plot window
// 0, 26, 240 x 268, the dial set up for Guitar, the trace with automatic delay, the
// analysis at 22050 samples per second, ten refreshes a second. And the sound the views
// and the pipeline are tested with.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/screen/screen.h"

namespace veldra {

void startTunerModules();

// The tuner from a fresh start on a headless screen with the background picture, over a
// sound file read as veldra-file reads it, block by block until the file ends or afterBlock
// (given the blocks tuned so far and the screen) returns false; then the display closes.
// Returns the blocks tuned; a tuner or file that cannot be had fails the test.
int64_t tuneFile(const std::string& path, const Bitmap& background,
                 const std::function<bool(int64_t blocks, const HeadlessScreen&)>& afterBlock);

// A plucked string at 22050 samples per second: ten harmonics falling off as 1/k, the
// higher ones dying away faster, with a 4 ms attack, the sum scaled by amplitude.
std::vector<int16_t> pluckedString(double frequency, double seconds, double amplitude = 12000.0);

// A bowed-string-like tone for playing into a sound server's input: twelve harmonics falling as
// 1/k, steady for seconds, at 44.1 kHz in stereo, so that it reaches the tuner through the server's
// and the program's conversions.
void writeSteadyTone(const std::string& path, double frequency, double seconds);

}  // namespace veldra
