// The sound inputs under a recording stream: the clock's pace, a sound file, the demo,
// the SDL microphone on SDL's "disk" driver (which records a file of raw samples at the
// real pace: there is no microphone here), and the choice VELDRA_INPUT makes.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "audio/wave_in_stream.h"
#include "platform/backends/wave_in_sdl.h"
#include "platform/sound_input/wave_in_choice.h"
#include "platform/sound_input/wave_in_file.h"
#include "platform/sound_input/wave_in_paced.h"
#include "tests/support/counter_sound.h"
#include "tests/support/polling.h"
#include "tests/support/scratch_files.h"

namespace veldra {
namespace {

class SourcesTest : public ::testing::Test {
  protected:
    void TearDown() override {
        stopStream(stream);
        installWaveInSource(nullptr);
        unsetenv("VELDRA_INPUT");
    }
    bool start(std::unique_ptr<WaveInSource> chosen) {
        source = std::move(chosen);
        installWaveInSource(source.get());
        return (stream.configured == 1 || openStream(stream, nullptr, 3, 20, 440, 1, 22050, 16)) &&
               startStream(stream);
    }
    // Reads blocks as they come (more than the ring holds, if need be) for up to 20 s;
    // only what arrived.
    std::vector<int16_t> record(uint32_t blocks) {
        std::vector<int16_t> out(blocks * 220);
        uint32_t b = 0;
        eventually([&] {
            return b == blocks || (readSamples(stream, out.data() + b * 220, 440) && ++b == blocks);
        });
        out.resize(b * 220);
        return out;
    }
    std::unique_ptr<WaveInSource> source;  // outlives the stream's device
    WaveInStream stream;
    ScratchFolder folder;
};

// It refuses formats other than mono 16-bit and reports a sound that cannot begin; the
// fourth block's last sample is heard 40 ms after the start, never sooner.
TEST_F(SourcesTest, ThePacedSourceKeepsTheRealPaceAndOnlyMono16) {
    PacedWaveIn paced(std::make_unique<CounterSound>());
    EXPECT_EQ(paced.open(0, pcmFormat(2, 22050, 16), 0), nullptr);
    EXPECT_EQ(paced.open(0, pcmFormat(1, 22050, 8), 0), nullptr);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(start(std::make_unique<PacedWaveIn>(std::make_unique<CounterSound>(1, false))));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "veldra: sound input: counter: no such sound\n");
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(start(std::make_unique<PacedWaveIn>(std::make_unique<CounterSound>(1))));
    const std::vector<int16_t> got = record(4);
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::microseconds(39900));
    ASSERT_EQ(got.size(), 880u);
    for (int i = 0; i < 880; ++i)
        ASSERT_EQ(got[i], i + 1) << i;
}

TEST_F(SourcesTest, AFileIsRecordedAsItIsThenSilence) {
    std::vector<float> ramp;  // two and a half blocks
    for (int i = 0; i < 550; ++i)
        ramp.push_back(static_cast<float>(100 + 3 * i) / 32768);
    writeSoundFile(folder.path("ramp.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1, ramp);
    ASSERT_TRUE(start(makeFileSource(folder.path("ramp.wav"))));
    std::vector<int16_t> expected(4 * 220, 0);
    for (int i = 0; i < 550; ++i)
        expected[i] = static_cast<int16_t>(100 + 3 * i);
    EXPECT_EQ(record(4), expected);
}

TEST_F(SourcesTest, TheEnvironmentChoosesMicrophoneDemoOrAFileThatMayNotOpen) {
    EXPECT_EQ(chooseSoundInput(nullptr).kind, SoundInputKind::Microphone);
    EXPECT_EQ(chooseSoundInput("").kind, SoundInputKind::Microphone);
    EXPECT_EQ(chooseSoundInput("demo").kind, SoundInputKind::Demo);
    EXPECT_EQ(chooseSoundInput("./demo").path, "./demo");
    setenv("VELDRA_INPUT", "demo", 1);
    ASSERT_TRUE(start(soundInputFromEnvironment()));
    EXPECT_EQ(record(2).size(), 440u);
    stopStream(stream);
    setenv("VELDRA_INPUT", "/nonexistent/song.flac", 1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(start(soundInputFromEnvironment()));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("/nonexistent/song.flac: no such file"), std::string::npos) << said;
    EXPECT_EQ(stream.thread, nullptr);
}

// From the block that anchored the ring on, the counter runs without a gap; the device
// opens again after its close.
TEST_F(SourcesTest, TheMicrophoneRecordsWhatTheDeviceHearsInOrder) {
    std::string counter;  // a second of a counter from 7, as raw samples
    for (int i = 0; i < 22050; ++i)
        counter += {static_cast<char>((7 + i) & 0xFF), static_cast<char>((7 + i) >> 8)};
    writeWholeFile(folder.path("counter.raw"), counter);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILEIN", folder.path("counter.raw").c_str(), 1);
    ASSERT_TRUE(start(soundInputFromEnvironment()));  // VELDRA_INPUT unset: the microphone
    EXPECT_GE(source->deviceCount(), 1u);
    const std::vector<int16_t> got = record(12);
    ASSERT_EQ(got.size(), 12 * 220u);
    for (size_t i = 1; i < got.size(); ++i)
        ASSERT_EQ(static_cast<int16_t>(got[i] - got[i - 1]), 1) << i;
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(stopStream(stream));
    std::printf("stopStream with the SDL microphone: %.2f ms\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
                    .count());
    ASSERT_TRUE(startStream(stream));
    EXPECT_EQ(record(1).size(), 220u);
}

}  // namespace
}  // namespace veldra
