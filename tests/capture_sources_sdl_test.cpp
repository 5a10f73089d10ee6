// The sound inputs under a recording stream: the clock's pace, a sound file, the demo,
// the SDL microphone on SDL's "disk" driver (which records a file of raw samples at the
// real pace: there is no microphone here), and the choice VELDRA_INPUT makes.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "audio/wave_in_stream.h"
#include "platform/wave_in_choice.h"
#include "platform/wave_in_file.h"
#include "platform/wave_in_paced.h"
#include "platform/wave_in_sdl.h"

namespace veldra {
namespace {

const std::string scratch = "/tmp/veldra-sources-" + std::to_string(getpid());

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
    // Reads blocks as they come (more than the ring holds, if need be) for up to 20 s.
    std::vector<int16_t> record(uint32_t blocks) {
        std::vector<int16_t> out(blocks * 220);
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        uint32_t b = 0;
        while (b < blocks && std::chrono::steady_clock::now() < giveUp) {
            if (readSamples(stream, out.data() + b * 220, 440)) {
                ++b;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
        out.resize(b * 220);  // only what arrived
        return out;
    }

    std::unique_ptr<WaveInSource> source;  // outlives the stream's device
    WaveInStream stream;
};

// A running counter from 1; or, unreadable, a sound that cannot begin.
class Counter : public SoundProducer {
public:
    explicit Counter(bool readable) : readable_(readable) {}
    bool begin(std::string& error) override {
        error = "counter: no such sound";
        return readable_;
    }
    void produce(int16_t* samples, size_t count) override {
        for (size_t i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(next_++);
    }
    uint32_t samplesPerSecond() const override { return 22050; }

private:
    bool readable_;
    uint16_t next_ = 1;
};

TEST_F(SourcesTest, ThePacedSourceKeepsTheRealPaceAndOnlyItsOwnFormat) {
    PacedWaveIn paced(std::make_unique<Counter>(true));
    EXPECT_EQ(paced.open(0, pcmFormat(2, 22050, 16), 0), nullptr);
    EXPECT_EQ(paced.open(0, pcmFormat(1, 44100, 16), 0), nullptr);
    EXPECT_EQ(paced.open(0, pcmFormat(1, 22050, 8), 0), nullptr);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(start(std::make_unique<PacedWaveIn>(std::make_unique<Counter>(false))));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "veldra: sound input: counter: no such sound\n");

    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(start(std::make_unique<PacedWaveIn>(std::make_unique<Counter>(true))));
    const std::vector<int16_t> got = record(4);
    // The fourth block's last sample is heard 40 ms after the start, never sooner.
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::microseconds(39900));
    ASSERT_EQ(got.size(), 880u);
    for (int i = 0; i < 880; ++i) ASSERT_EQ(got[i], i + 1) << i;
}

TEST_F(SourcesTest, AFileIsRecordedAsItIsThenSilence) {
    std::vector<int16_t> ramp(550);  // two and a half blocks
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(100 + 3 * i);
    SF_INFO info{0, 22050, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
    const std::string path = scratch + ".wav";
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    sf_write_short(f, ramp.data(), static_cast<sf_count_t>(ramp.size()));
    sf_close(f);
    ASSERT_TRUE(start(makeFileSource(path)));
    std::vector<int16_t> expected = ramp;
    expected.resize(4 * 220, 0);
    EXPECT_EQ(record(4), expected);
    unlink(path.c_str());
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

TEST_F(SourcesTest, TheMicrophoneRecordsWhatTheDeviceHearsInOrder) {
    std::vector<int16_t> counter(22050);  // a second of a counter, as raw samples
    for (size_t i = 0; i < counter.size(); ++i) counter[i] = static_cast<int16_t>(7 + i);
    const std::string path = scratch + ".raw";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(counter.data(), sizeof(int16_t), counter.size(), f);
    std::fclose(f);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILEIN", path.c_str(), 1);
    ASSERT_TRUE(start(soundInputFromEnvironment()));  // VELDRA_INPUT unset: the microphone
    EXPECT_GE(source->deviceCount(), 1u);
    // From the block that anchored the ring on, the counter runs without a gap.
    const std::vector<int16_t> got = record(12);
    ASSERT_EQ(got.size(), 12 * 220u);
    for (size_t i = 1; i < got.size(); ++i) ASSERT_EQ(static_cast<int16_t>(got[i] - got[i - 1]), 1) << i;
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(stopStream(stream));
    std::printf("stopStream with the SDL microphone: %.2f ms\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
    ASSERT_TRUE(startStream(stream));  // the device opens again after its close
    EXPECT_EQ(record(1).size(), 220u);
    unlink(path.c_str());
}

}  // namespace
}  // namespace veldra
