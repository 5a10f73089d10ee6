// The tuner's modules at the values the first paint leaves them with, without a screen:
// plot window 0, 26, 240 x 268 with the font and trig tables built, the dial at 120, 128,
// radii 40 and 106 set up for Guitar, the trace at 117, 128 shifted by 10 with automatic
// delay, the analysis at 22050 samples per second, ten refreshes a second. And the sound
// and the listed periods the views are tested with.
#pragma once

#include <cstdint>
#include <vector>

namespace veldra {

void startTunerModules();

// Makes period the most recent listed one: a loud block opens the envelope, then the
// validator is fed the period until it lists it.
void listPeriod(float period);

// A plucked string at 22050 samples per second: ten harmonics falling off as 1/k, the
// higher ones dying away faster, with a 4 ms attack, the sum scaled by amplitude.
std::vector<int16_t> pluckedString(double frequency, double seconds, double amplitude = 12000.0);

}  // namespace veldra
