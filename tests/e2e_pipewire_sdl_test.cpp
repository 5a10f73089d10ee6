// The real program recording through PipeWire as today's desktops run it
// (support/pipewire_session.h: two inputs, the default configured second), through each
// way SDL reaches it: pipewire-pulse, PipeWire's own protocol, and PipeWire's JACK.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/live_tuning.h"
#include "tests/support/pipewire_session.h"

namespace veldra {
namespace {

class PipeWireEndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!live.prepare(why)) GTEST_SKIP() << "no X server: " << why;
        ASSERT_TRUE(startServers(why)) << why;
    }

    bool startServers(std::string& why) {
        return pipewire.start({"Webcam", "Interface"}, 1, why) &&
               pipewire.play(0, live.d.file, why) && pipewire.play(1, live.a.file, why);
    }

    std::vector<std::string> environment(const std::string& driver) const {
        std::vector<std::string> e = pipewire.clientEnvironment();
        e.push_back("SDL_AUDIODRIVER=" + driver);
        return e;
    }

    // The inputs as veldra lists them, the default marked.
    void listsBothInputs(const std::string& driver) {
        ChildProcess list;
        std::string why;
        ASSERT_TRUE(list.start({VELDRA_PROGRAM, "--list-inputs"}, environment(driver), why));
        EXPECT_EQ(list.wait(stepTimeoutMs), 0);
        const std::string said = list.errorOutput();
        EXPECT_NE(said.find("* Interface\n"), std::string::npos) << said;
        EXPECT_NE(said.find("  Webcam\n"), std::string::npos) << said;
    }

    // The default input, then the chosen one, which is left tuning; the recording stream
    // shows under the program's name,
    void tunesTheDefaultThenTheChosenInput(const std::string& driver) {
        ASSERT_TRUE(live.start({}, environment(driver)));
        ASSERT_TRUE(live.needleOn("the A string from the default input", live.a));
        std::string why;
        const std::string streams = pipewire.run({"pactl", "list", "source-outputs"}, why);
        EXPECT_NE(streams.find("application.name = \"Veldra\""), std::string::npos)
            << why << streams;
        // and comes through the protocol of the driver asked for, not another
        const bool throughPulse =
            streams.find("client.api = \"pipewire-pulse\"") != std::string::npos;
        EXPECT_EQ(throughPulse, driver == "pulseaudio") << streams;
        live.quit();
        ASSERT_TRUE(live.start({"--input", "mic:Webc"}, environment(driver)));
        ASSERT_TRUE(live.needleOn("the D string from the input chosen by name", live.d));
    }

    void saidLostAndBack() {
        const std::string said = live.veldra.program.errorOutput();
        EXPECT_NE(said.find("veldra: lost the input \"Webcam\""), std::string::npos) << said;
        EXPECT_NE(said.find("veldra: the input \"Webcam\" is back"), std::string::npos) << said;
    }

    LiveTuning live{VELDRA_PROGRAM};
    PipeWireSession pipewire;
};

// pipewire-pulse goes and comes back; the inputs, pipewire's own, stay throughout.
TEST_F(PipeWireEndToEndTest, ThroughThePulseAudioFrontEnd) {
    ASSERT_NO_FATAL_FAILURE(listsBothInputs("pulseaudio"));
    ASSERT_NO_FATAL_FAILURE(tunesTheDefaultThenTheChosenInput("pulseaudio"));
    pipewire.killPulse();
    ASSERT_TRUE(live.inputLost());
    std::string why;
    ASSERT_TRUE(pipewire.startPulse(why)) << why;
    ASSERT_TRUE(live.needleOn("the D string again", live.d));
    saidLostAndBack();
    live.quit();
}

// pipewire itself goes (its session manager and front end with it) and comes back.
TEST_F(PipeWireEndToEndTest, ThroughPipeWiresOwnProtocol) {
    ASSERT_NO_FATAL_FAILURE(listsBothInputs("pipewire"));
    ASSERT_NO_FATAL_FAILURE(tunesTheDefaultThenTheChosenInput("pipewire"));
    pipewire.killAll();
    ASSERT_TRUE(live.inputLost());
    std::string why;
    ASSERT_TRUE(startServers(why)) << why;
    ASSERT_TRUE(live.needleOn("the D string again", live.d));
    saidLostAndBack();
    live.quit();
}

// PipeWire's JACK (pw-jack), which SDL reaches through ALSA's jack plugin: its stock
// device records from system:capture_1 and 2, which PipeWire takes as the default
// input's first two channels.
TEST_F(PipeWireEndToEndTest, ThroughPipeWiresJack) {
    std::vector<std::string> jackEnvironment = environment("alsa");
    jackEnvironment.insert(jackEnvironment.end(), {"AUDIODEV=jack", "VELDRA_INPUT="});
    ASSERT_TRUE(live.veldra.launch({"pw-jack", VELDRA_PROGRAM}, jackEnvironment));
    ASSERT_TRUE(live.veldra.key("Return"));
    ASSERT_TRUE(live.needleOn("the A string from the default input", live.a));
    std::string why;  // through JACK, not ALSA's next device
    const std::string ports = pipewire.run({"pw-jack", "jack_lsp", "-c"}, why);
    EXPECT_NE(ports.find("Interface:capture_FL\n   veldra"), std::string::npos) << why << ports;
    live.quit();
}

}  // namespace
}  // namespace veldra
