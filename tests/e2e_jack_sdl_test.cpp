// The real program recording from JACK, which Debian's SDL reaches only through ALSA's jack
// plugin (SDL_AUDIODRIVER=alsa AUDIODEV=jack): a jackd of the test's own on its dummy
// driver (support/jack_session.h), a tone played into its loopback, veldra on an Xvfb of
// its own with its needle where veldra-file's picture of the tone puts it; then jackd is
// stopped, the window says the input is lost, and the needle comes back with the server.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/jack_session.h"
#include "tests/support/live_tuning.h"

namespace veldra {
namespace {

TEST(JackEndToEndTest, TunesThroughAlsasJackPluginAndOutlivesTheServer) {
    JackSession jack;  // goes after veldra, which is one of its clients
    LiveTuning live{VELDRA_PROGRAM};
    std::string why;
    if (!live.prepare(why)) GTEST_SKIP() << "no X server: " << why;
    ASSERT_TRUE(jack.start(why)) << why;
    ASSERT_TRUE(jack.play(live.a.file, why)) << why;
    ASSERT_TRUE(live.start({}, jack.clientEnvironment()));
    ASSERT_TRUE(live.needleOn("the A string from JACK", live.a));
    jack.kill();
    ASSERT_TRUE(live.inputLost());
    ASSERT_TRUE(jack.start(why)) << why;
    ASSERT_TRUE(jack.play(live.a.file, why)) << why;
    ASSERT_TRUE(live.needleOn("the A string again", live.a));
    live.quit();
}

}  // namespace
}  // namespace veldra
