// The file and demo sound inputs under a recording stream, and the environment's choice.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "audio/wave_in_stream.h"
#include "platform/demo_sound.h"
#include "platform/wave_in_choice.h"
#include "platform/wave_in_file.h"

namespace veldra {
namespace {

constexpr uint32_t blockBytes = 440;

TEST(SoundInputChoiceTest, TheVariableChoosesMicrophoneDemoOrFile) {
    EXPECT_EQ(chooseSoundInput(nullptr).kind, SoundInputKind::Microphone);
    EXPECT_EQ(chooseSoundInput("").kind, SoundInputKind::Microphone);
    EXPECT_EQ(chooseSoundInput("demo").kind, SoundInputKind::Demo);
    const SoundInputChoice file = chooseSoundInput("./demo");
    EXPECT_EQ(file.kind, SoundInputKind::File);
    EXPECT_EQ(file.path, "./demo");
    EXPECT_EQ(chooseSoundInput("Demo").kind, SoundInputKind::File);
}

// Records through a started stream until `blocks` blocks wait, then reads them.
class SourceTest : public ::testing::Test {
protected:
    void TearDown() override {
        stopStream(stream);
        installWaveInSource(nullptr);
    }

    bool start() {
        installWaveInSource(source.get());
        return openStream(stream, nullptr, 3, 20, blockBytes, 1, 22050, 16) && startStream(stream);
    }

    // Reads `blocks` blocks as they come (more than the ring holds, if need be).
    std::vector<int16_t> record(uint32_t blocks) {
        std::vector<int16_t> out(blocks * blockBytes / 2);
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (uint32_t b = 0; b < blocks && std::chrono::steady_clock::now() < giveUp;) {
            if (readSamples(stream, out.data() + b * blockBytes / 2, blockBytes)) {
                ++b;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
        return out;
    }

    std::unique_ptr<WaveInSource> source;  // outlives the stream's device
    WaveInStream stream;
};

std::string writeWav(const std::vector<int16_t>& samples) {
    char path[] = "/tmp/veldra-source-XXXXXX.wav";
    const int fd = mkstemps(path, 4);
    close(fd);
    SF_INFO info{};
    info.samplerate = 22050;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path, SFM_WRITE, &info);
    sf_write_short(f, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(f);
    return path;
}

TEST_F(SourceTest, AFileIsRecordedAsItIsThenSilence) {
    // 2.5 blocks of a ramp: the third block ends in silence, the fourth is silent.
    std::vector<int16_t> ramp(550);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(100 + 3 * i);
    const std::string path = writeWav(ramp);
    source = makeFileSource(path);
    ASSERT_TRUE(start());
    const std::vector<int16_t> got = record(4);
    for (size_t i = 0; i < ramp.size(); ++i) ASSERT_EQ(got[i], ramp[i]) << i;
    for (size_t i = ramp.size(); i < got.size(); ++i) ASSERT_EQ(got[i], 0) << i;
    unlink(path.c_str());
}

TEST_F(SourceTest, AnUnreadableFileIsADeviceThatCannotBeOpened) {
    source = makeFileSource("/nonexistent/tuning.wav");
    EXPECT_EQ(source->deviceCount(), 1u);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(start());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("/nonexistent/tuning.wav"), std::string::npos) << said;
    EXPECT_NE(said.find("no such file"), std::string::npos) << said;
    EXPECT_EQ(stream.thread, nullptr);
    EXPECT_EQ(stream.ring, nullptr);
}

TEST_F(SourceTest, TheDemoIsRecordedFromItsStart) {
    source = makeDemoSource();
    ASSERT_TRUE(start());
    const std::vector<int16_t> got = record(40);  // past the first string's onset
    DemoSound demo{};
    resetDemoSound(demo, true);
    std::vector<int16_t> expected(got.size());
    pullDemoSound(demo, expected.data(), static_cast<int32_t>(expected.size()));
    EXPECT_EQ(got, expected);
    EXPECT_NE(got.back(), 0);
}

}  // namespace
}  // namespace veldra
