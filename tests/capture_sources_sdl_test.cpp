// The sound inputs under a recording stream: the clock's pace, and the SDL microphone on
// SDL's "disk" driver (which records a file of raw samples at the real pace: there is no
// microphone here), chosen with VELDRA_INPUT unset; on a FIFO that driver's open waits for
// a writer, as an open waits for a sound server that does not answer. (A sound file as the
// input: the end-to-end test.)
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "audio/wave_in_stream.h"
#include "platform/backends/wave_in_sdl.h"
#include "platform/sound_input/wave_in_choice.h"
#include "platform/sound_input/wave_in_paced.h"
#include "tests/support/counter_sound.h"
#include "tests/support/polling.h"
#include "tests/support/scratch_files.h"

namespace veldra {
namespace {

// The input-state reports, as the program's listener would get them.
std::atomic<int> lostReports{0}, backReports{0};
void countReport(InputState state) {
    ++(state == InputState::Lost ? lostReports : backReports);
}

// A second of a counter from 7, as the disk driver's raw floats.
std::string counterFloats() {
    std::vector<float> counter;
    for (int i = 0; i < 22050; ++i)
        counter.push_back(static_cast<float>(static_cast<int16_t>(7 + i)) / 32768.0f);
    return {reinterpret_cast<const char*>(counter.data()), counter.size() * sizeof(float)};
}

class SourcesTest : public ::testing::Test {
  protected:
    void TearDown() override {
        stopStream(stream);
        installWaveInSource(nullptr);
        setInputStateListener(nullptr);
        unsetenv("VELDRA_INPUT");
    }
    bool start(std::unique_ptr<WaveInSource> chosen) {
        source = std::move(chosen);
        installWaveInSource(source.get());
        return (stream.configured == 1 || openStream(stream, {.callback = nullptr,
                                                              .priority = 3,
                                                              .blocks = 20,
                                                              .blockBytes = 440,
                                                              .channels = 1,
                                                              .rate = 22050,
                                                              .bits = 16})) &&
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

// It reports a sound that cannot begin; the fourth block's last sample is heard 40 ms
// after the start, never sooner.
TEST_F(SourcesTest, ThePacedSourceKeepsTheRealPace) {
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

// From the block that anchored the ring on, the counter runs without a gap; the device
// opens again after its close.
TEST_F(SourcesTest, TheMicrophoneRecordsWhatTheDeviceHearsInOrder) {
    writeWholeFile(folder.path("counter.raw"), counterFloats());
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILEIN", folder.path("counter.raw").c_str(), 1);
    ASSERT_TRUE(start(soundInputFor(chooseSoundInput(nullptr))));  // the default microphone
    const std::vector<int16_t> got = record(12);
    ASSERT_EQ(got.size(), 12 * 220u);
    for (size_t i = 1; i < got.size(); ++i)
        ASSERT_EQ(static_cast<int16_t>(got[i] - got[i - 1]), 1) << i;
    EXPECT_TRUE(stopStream(stream));
    ASSERT_TRUE(startStream(stream));
    EXPECT_EQ(record(1).size(), 220u);
}

// An open that gets no answer returns after 5 s with the device lost, said once; when the
// open comes through after all, the device is back and records the counter without a gap.
TEST_F(SourcesTest, TheMicrophoneThatDoesNotAnswerIsLostUntilItDoes) {
    const std::string fifo = folder.path("server");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILEIN", fifo.c_str(), 1);
    lostReports = backReports = 0;
    setInputStateListener(countReport);
    // The answer comes once the input was said to be lost, or after 7 s whatever happened.
    std::thread server([&] {
        eventually([] { return lostReports > 0; }, std::chrono::seconds(7));
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        const std::string sound = counterFloats();
        for (size_t done = 0; fd >= 0 && done < sound.size();) {
            const ssize_t n = ::write(fd, sound.data() + done, sound.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        if (fd >= 0) ::close(fd);
    });
    testing::internal::CaptureStderr();
    const auto begin = std::chrono::steady_clock::now();
    const bool started = start(soundInputFor(chooseSoundInput(nullptr)));
    const auto waited = std::chrono::steady_clock::now() - begin;
    EXPECT_TRUE(started);
    EXPECT_LT(waited, std::chrono::milliseconds(6500));
    EXPECT_EQ(lostReports, 1);
    EXPECT_TRUE(eventually([] { return backReports == 1; }));
    const std::vector<int16_t> got = record(12);
    server.join();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("veldra: the sound server does not answer; the default input counts as "
                        "lost, trying again every second\n"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("veldra: the default input is back\n"), std::string::npos) << said;
    ASSERT_EQ(got.size(), 12 * 220u);
    for (size_t i = 1; i < got.size(); ++i)
        ASSERT_EQ(static_cast<int16_t>(got[i] - got[i - 1]), 1) << i;
    EXPECT_EQ(lostReports, 1);
}

}  // namespace
}  // namespace veldra
