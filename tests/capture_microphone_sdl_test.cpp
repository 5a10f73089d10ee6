// The SDL microphone under a recording stream, on SDL's "disk" audio driver, which
// records from a file of raw samples at the real pace (there is no microphone here);
// and the source VELDRA_INPUT chooses.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "audio/wave_in_stream.h"
#include "platform/wave_in_sdl.h"

namespace veldra {
namespace {

constexpr uint32_t blockBytes = 440;

class MicrophoneTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // A second of a counter from 7 upwards, as raw 16-bit samples.
        std::vector<int16_t> counter(22050);
        for (size_t i = 0; i < counter.size(); ++i) counter[i] = static_cast<int16_t>(7 + i);
        std::FILE* f = std::fopen(rawPath.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(counter.data(), sizeof(int16_t), counter.size(), f);
        std::fclose(f);
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILEIN", rawPath.c_str(), 1);
    }
    static void TearDownTestSuite() { unlink(rawPath.c_str()); }

    void TearDown() override {
        stopStream(stream);
        installWaveInSource(nullptr);
        unsetenv("VELDRA_INPUT");
    }

    bool start() {
        installWaveInSource(source.get());
        return openStream(stream, nullptr, 3, 20, blockBytes, 1, 22050, 16) && startStream(stream);
    }

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

    static inline const std::string rawPath =
        "/tmp/veldra-microphone-" + std::to_string(getpid()) + ".raw";
    std::unique_ptr<WaveInSource> source;  // outlives the stream's device
    WaveInStream stream;
};

TEST_F(MicrophoneTest, RecordsWhatTheDeviceHearsInOrder) {
    source = makeMicrophoneSource();
    ASSERT_GE(source->deviceCount(), 1u);
    ASSERT_TRUE(start());
    const std::vector<int16_t> got = record(12);
    // The ring anchors at the first block SDL delivered, whatever its place in the file:
    // from there on the counter runs on without a gap or a repeat.
    for (size_t i = 1; i < got.size(); ++i) {
        ASSERT_EQ(static_cast<int16_t>(got[i] - got[i - 1]), 1) << i;
    }
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(stopStream(stream));
    std::printf("stopStream with the SDL microphone took %.2f ms\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
                    .count());
    // The device can be opened again after the close.
    ASSERT_TRUE(startStream(stream));
    EXPECT_EQ(record(1).size(), 220u);
}

TEST_F(MicrophoneTest, TheEnvironmentChoosesTheSource) {
    unsetenv("VELDRA_INPUT");
    source = soundInputFromEnvironment();
    EXPECT_GE(source->deviceCount(), 1u);  // the disk driver's one capture device

    setenv("VELDRA_INPUT", "demo", 1);
    source = soundInputFromEnvironment();
    ASSERT_TRUE(start());
    EXPECT_EQ(record(2).size(), 440u);
    stopStream(stream);

    setenv("VELDRA_INPUT", "/nonexistent/song.flac", 1);
    source = soundInputFromEnvironment();
    installWaveInSource(source.get());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(startStream(stream));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("/nonexistent/song.flac"),
              std::string::npos);
}

}  // namespace
}  // namespace veldra
