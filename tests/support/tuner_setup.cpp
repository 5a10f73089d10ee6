#include "tests/support/tuner_setup.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <numbers>

#include "analysis/analysis.h"
#include "audio/audio.h"
#include "display/display.h"
#include "platform/screen/screen.h"
#include "platform/sound_files/sound_files.h"
#include "tests/support/scratch_files.h"
#include "tuner/tuner.h"

namespace veldra {

void startTunerModules() {
    static HeadlessTuner tuner;
    tuner.screen.fill(0);
    tuner.window.place(defaultWindowRect);
    ASSERT_TRUE(startHeadlessTuner(tuner.window, Bitmap{0, 0, nullptr}));
}

int64_t tuneFile(const std::string& path, const Bitmap& background,
                 const std::function<bool(int64_t blocks, const HeadlessScreen&)>& afterBlock) {
    HeadlessTuner tuner;
    int64_t blocks = 0;
    EXPECT_TRUE(startHeadlessTuner(tuner.window, background));
    SoundFileReader reader{sampleRate};
    EXPECT_TRUE(reader.open(path)) << reader.error().message;
    int16_t block[captureBlockSamples];
    while (reader.read(block, captureBlockSamples) == captureBlockSamples) {
        analyzeBlock(block, captureBlockSamples, false);
        if (!afterBlock(++blocks, tuner.screen)) break;
    }
    closeDisplay();
    return blocks;
}

std::vector<int16_t> pluckedString(double frequency, double seconds, double amplitude) {
    std::vector<int16_t> samples(static_cast<size_t>(seconds * 22050.0));
    for (size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) / 22050.0;
        double v = 0.0;
        for (int k = 1; k <= 10; ++k)
            v += std::exp(-t * (0.8 + 0.5 * k)) / k *
                 std::sin(2.0 * std::numbers::pi * k * frequency * t + 0.7 * k);
        samples[i] = static_cast<int16_t>(amplitude * std::min(1.0, t / 0.004) * v);
    }
    return samples;
}

void writeSteadyTone(const std::string& path, double frequency, double seconds) {
    std::vector<float> frames;
    for (int i = 0; i < static_cast<int>(44100 * seconds); ++i) {
        double v = 0.0;
        for (int k = 1; k <= 12; ++k)
            v += std::sin(2 * M_PI * k * frequency * i / 44100.0) / k;
        frames.insert(frames.end(), 2, static_cast<float>(0.25 * v));
    }
    writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, frames);
}

}  // namespace veldra
