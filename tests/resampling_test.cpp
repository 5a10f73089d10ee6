// The resampler against a very-high-quality one, through the tuner: sines, squares,
// sawtooths, triangles and plucked strings from 82 to 440 Hz, made at 44.1 and 48 kHz,
// read through the sound-file reader (whose conversion the live input shares) must read
// no further from their true pitch than the same tones converted to 22050 Hz by sox's
// very-high-quality resampler (rate -v, no dither), plus 2 cents. A reading is the median
// of the stable frequencies the dial is given between 1.0 and 3.5 s. A tone that sox's
// conversion leaves without a stable reading sets no bound.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "audio/audio.h"
#include "platform/screen/screen.h"
#include "platform/sound_files/sound_files.h"
#include "tests/support/scratch_files.h"
#include "tests/support/tuner_setup.h"
#include "tests/support/xvfb_session.h"
#include "tuner/tuner.h"

namespace veldra {
namespace {

// One period of each waveform, phase in turns (0 <= phase < 1), full scale 1.
double sine(double phase, double) {
    return std::sin(2 * M_PI * phase);
}
double square(double phase, double) {
    return phase < 0.5 ? 1.0 : -1.0;
}
double sawtooth(double phase, double) {
    return 2.0 * phase - 1.0;
}
double triangle(double phase, double) {
    return 1.0 - 4.0 * std::fabs(phase - 0.5);
}
double plucked(double phase, double seconds) {  // harmonics 1/k, the higher dying sooner
    double v = 0.0;
    for (int k = 1; k <= 12; ++k)
        v += std::exp(-seconds * k / 2.5) * std::sin(2 * M_PI * k * phase) / k;
    return 0.6 * v;
}
struct Waveform {
    const char* name;
    double (*value)(double phase, double seconds);
};
constexpr Waveform waveforms[] = {{"sine", sine},
                                  {"square", square},
                                  {"sawtooth", sawtooth},
                                  {"triangle", triangle},
                                  {"pluck", plucked}};

// Cents from the true pitch of the median stable reading in 1.0 .. 3.5 s; NaN for none.
double readingCents(const std::string& path, double frequency) {
    std::vector<double> readings;
    int32_t refreshes = 0;  // the tuner's fresh start counts from none
    tuneFile(path, Bitmap{0, 0, nullptr}, [&](int64_t blocks, const HeadlessScreen&) {
        const double seconds = static_cast<double>(blocks) * captureBlockSamples / sampleRate;
        if (pipelineState().dialRefreshes == refreshes) return true;
        refreshes = pipelineState().dialRefreshes;
        if (pipelineState().shownStable && seconds >= 1.0 && seconds <= 3.5)
            readings.push_back(pipelineState().shownFrequency);
        return true;
    });
    if (readings.empty()) return NAN;
    std::sort(readings.begin(), readings.end());
    return 1200.0 * std::log2(readings[readings.size() / 2] / frequency);
}

TEST(ResamplingTest, TonesReadAsCloseAsAfterAVeryHighQualityConversion) {
    ScratchFolder folder;
    double worstGap = -1e9, furthest = 0.0;
    int bounded = 0;
    for (const int rate : {44100, 48000}) {
        for (const Waveform& wave : waveforms) {
            for (const double frequency : {82.41, 110.0, 146.83, 196.0, 246.94, 329.63, 440.0}) {
                std::vector<float> tone(static_cast<size_t>(4 * rate));
                for (size_t i = 0; i < tone.size(); ++i) {
                    const double t = static_cast<double>(i) / rate;
                    const double turns = frequency * t;
                    tone[i] = static_cast<float>(0.5 * wave.value(turns - std::floor(turns), t));
                }
                const std::string made = folder.path("made.wav"), sox = folder.path("sox.wav");
                writeSoundFile(made, SF_FORMAT_WAV | SF_FORMAT_PCM_16, rate, 1, tone);
                ChildProcess convert;
                std::string why;
                ASSERT_TRUE(
                    convert.start({"sox", made, "-D", "-r", "22050", sox, "rate", "-v"}, {}, why));
                ASSERT_EQ(convert.wait(20000), 0) << "sox: " << convert.errorOutput();
                const double reference = readingCents(sox, frequency);
                const double ours = readingCents(made, frequency);
                SCOPED_TRACE(std::string(wave.name) + " " + std::to_string(frequency) + " Hz at " +
                             std::to_string(rate) + " Hz: sox " + std::to_string(reference) +
                             ", ours " + std::to_string(ours) + " cents");
                if (std::isnan(reference)) continue;
                ++bounded;
                ASSERT_FALSE(std::isnan(ours));
                EXPECT_LE(std::fabs(ours), std::fabs(reference) + 2.0);
                worstGap = std::max(worstGap, std::fabs(ours) - std::fabs(reference));
                furthest = std::max(furthest, std::fabs(ours - reference));
            }
        }
    }
    EXPECT_GT(bounded, 60);
    std::printf("%d tones bounded; furthest beyond sox -v: %+.2f cents, from its reading: %.2f\n",
                bounded, worstGap, furthest);
}

}  // namespace
}  // namespace veldra
