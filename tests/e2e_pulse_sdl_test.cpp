// The real program recording through a PulseAudio server of the test's own
// (support/pulse_session.h: two inputs, the default listed second); a server that hangs is
// one stopped with SIGSTOP, as a stuck server would be.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "platform/windows/windows.h"
#include "tests/support/live_tuning.h"
#include "tests/support/program_window.h"
#include "tests/support/pulse_session.h"
#include "tests/support/scratch_files.h"
#include "views/views.h"

namespace veldra {
namespace {

class PulseEndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!live.prepare(why)) GTEST_SKIP() << "no X server: " << why;
    }

    bool startServer(std::string& why) { return pulse.start({"Webcam", "Interface"}, 1, why); }

    ::testing::AssertionResult start(const std::vector<std::string>& options) {
        return live.start(options, pulse.clientEnvironment());
    }

    LiveTuning live{VELDRA_PROGRAM};
    ProgramWindow& veldra = live.veldra;
    ScratchFolder& folder = live.folder;
    PulseSession pulse;
};

TEST_F(PulseEndToEndTest, TheDefaultInputThoughListedSecondThenAnInputChosenByName) {
    std::string why;
    ASSERT_TRUE(startServer(why)) << why;
    ASSERT_TRUE(pulse.play(0, live.d.file, why)) << why;
    ASSERT_TRUE(pulse.play(1, live.a.file, why)) << why;

    ChildProcess list;
    ASSERT_TRUE(list.start({VELDRA_PROGRAM, "--list-inputs"}, pulse.clientEnvironment(), why));
    EXPECT_EQ(list.wait(stepTimeoutMs), 0);
    EXPECT_EQ(list.errorOutput(), "  Webcam\n* Interface\n");

    ASSERT_TRUE(start({}));
    ASSERT_TRUE(live.needleOn("the A string from the default input", live.a));
    live.quit();
    ASSERT_TRUE(start({"--input", "mic:Webc"}));
    ASSERT_TRUE(live.needleOn("the D string from the input chosen by name", live.d));
    live.quit();
}

TEST_F(PulseEndToEndTest, TheServerGoesAndComesBackWhileTuning) {
    std::string why;
    ASSERT_TRUE(startServer(why)) << why;
    ASSERT_TRUE(pulse.play(1, live.a.file, why)) << why;
    ASSERT_TRUE(start({}));
    ASSERT_TRUE(live.needleOn("the A string", live.a));

    pulse.kill();
    ASSERT_TRUE(live.inputLost());

    ASSERT_TRUE(startServer(why)) << why;
    ASSERT_TRUE(pulse.play(1, live.a.file, why)) << why;
    ASSERT_TRUE(live.needleOn("the A string again", live.a));
    EXPECT_NE(findWindow(veldra.session, "Veldra", stepTimeoutMs), 0u);
    const std::string said = veldra.program.errorOutput();
    EXPECT_NE(said.find("veldra: lost the default input"), std::string::npos) << said;
    EXPECT_NE(said.find("veldra: the default input is back"), std::string::npos) << said;
    live.quit();
}

// The listing gives up after 5 s; the window says the input is lost while the server does
// not answer, at the start and while tuning, and tunes once it does; SIGTERM ends it within
// 2 s, its sound thread stuck in the server.
TEST_F(PulseEndToEndTest, AServerThatHangsHangsNothing) {
    using Clock = std::chrono::steady_clock;
    std::string why;
    ASSERT_TRUE(startServer(why)) << why;
    ASSERT_TRUE(pulse.play(1, live.a.file, why)) << why;
    pulse.freeze();

    ChildProcess list;
    const Clock::time_point listed = Clock::now();
    ASSERT_TRUE(list.start({VELDRA_PROGRAM, "--list-inputs"}, pulse.clientEnvironment(), why));
    EXPECT_EQ(list.wait(stepTimeoutMs), 1);
    EXPECT_LT(Clock::now() - listed, std::chrono::seconds(7));
    EXPECT_EQ(list.errorOutput(), "veldra: the sound server does not answer (nothing in 5 s)\n");

    ASSERT_TRUE(start({}));
    const std::string lost = "Veldra: input lost, retrying";
    ASSERT_NE(findWindow(veldra.session, lost, stepTimeoutMs), 0u) << veldra.program.errorOutput();
    pulse.thaw();
    ASSERT_TRUE(live.needleOn("the A string once the server answers", live.a));

    pulse.freeze();
    ASSERT_NE(findWindow(veldra.session, lost, stepTimeoutMs), 0u) << veldra.program.errorOutput();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // a retry waits in the server
    const Clock::time_point asked = Clock::now();
    ASSERT_EQ(::kill(veldra.program.pid(), SIGTERM), 0);
    EXPECT_EQ(veldra.program.wait(stepTimeoutMs), 0) << veldra.program.errorOutput();
    EXPECT_LT(Clock::now() - asked, std::chrono::seconds(2));
}

// No sound system: the failure box, the readout saying why, then status 1 with SDL's
// reason, and from ALSA's library (which SDL falls back to) not a word of its own; the
// command line answers as veldra-file's does.
TEST_F(PulseEndToEndTest, NoServerIsAFailureWithItsReason) {
    std::string why;
    writeWholeFile(folder.path("alsa.conf"), "");  // ALSA without a single device
    const std::vector<std::pair<std::string, std::string>> systems = {
        {"SDL_AUDIODRIVER=pulseaudio", "veldra: no sound system: "},
        {"SDL_AUDIODRIVER=alsa", "veldra: cannot open the default input (alsa): ALSA: "}};
    for (const auto& [driver, said] : systems) {
        ASSERT_TRUE(
            veldra.launch({VELDRA_PROGRAM}, {pulse.clientEnvironment()[0], "VELDRA_INPUT=", driver,
                                             "ALSA_CONFIG_PATH=" + folder.path("alsa.conf")}));
        ASSERT_TRUE(veldra.key("Return"));  // the start-up notice
        const uint16_t caption = rgb565FromColourRef(chromeCaption);
        ASSERT_TRUE(veldra.waitFor("the failure box", [&](const Picture& p) {
            return std::count(p.begin(), p.end(), caption) > 200;
        }));
        // Below it the readout says why, as standard error did, not "paused".
        const std::string told = veldra.program.errorOutput();
        const size_t line = told.find(said);
        ASSERT_NE(line, std::string::npos) << told;
        const std::string reason =
            told.substr(line + 8, told.find('\n', line) - line - 8);  // after "veldra: "
        const Picture why = readoutPicture(failedInputReadout(reason));
        ASSERT_TRUE(veldra.waitFor("the reason in the readout",
                                   [&](const Picture& p) { return showsReadout(p, why); }));
        ASSERT_TRUE(veldra.key("Return"));  // "Sound input failed!"
        EXPECT_EQ(veldra.program.wait(stepTimeoutMs), 1);
        const std::string output = veldra.program.errorOutput();
        EXPECT_NE(output.find(said), std::string::npos) << output;
        EXPECT_EQ(output.find("ALSA lib"), std::string::npos) << output;
    }

    // (--help: man_pages_test; an unknown option: e2e_tuner's escaped option.)
    const std::vector<std::pair<std::string, int>> commands = {
        {"--list-inputs", 1}, {"--version", 0}, {"--input", 2}};
    for (const auto& [argument, status] : commands) {
        ChildProcess run;
        ASSERT_TRUE(run.start({VELDRA_PROGRAM, argument},
                              {pulse.clientEnvironment()[0], "SDL_AUDIODRIVER=pulseaudio"}, why));
        EXPECT_EQ(run.wait(stepTimeoutMs), status) << argument << ": " << run.errorOutput();
        if (status == 2) {
            EXPECT_NE(run.errorOutput().find("veldra --help"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace veldra
