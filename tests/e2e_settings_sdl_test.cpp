// The real program on an Xvfb of its own, driven with xdotool: a tuning chosen by keys in
// Start > Settings is kept on disk and is the next start's. (Escape on a menu and the
// dialog's other keys: app_choices_test.)
// With VELDRA_SCREENSHOTS set to a folder, the notice and the settings dialog are saved
// there (veldra-notice.png, veldra-settings.png) at scale 2.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/resource_script.h"
#include "platform/chrome/window_chrome.h"
#include "platform/screen/screen_png.h"
#include "tests/support/program_window.h"
#include "tests/support/scratch_files.h"
#include "views/instrument_info.h"

namespace veldra {
namespace {

class SettingsEndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!veldra.session.start(why))
            GTEST_SKIP() << "no X server for the end-to-end test: " << why;
    }
    ::testing::AssertionResult launch() {
        return veldra.launch({VELDRA_PROGRAM}, {"VELDRA_INPUT=demo", "SDL_AUDIODRIVER=dummy"});
    }
    // The information text of the mode chosen, as the program shows it for the choices.
    static Picture information(const PlayerChoices& choices) {
        initOctaveRange();
        setPlayerChoices(choices);
        const std::string text = composeInstrumentInfo(choices.mode);
        resetPlayerChoices();
        return informationPicture(text);
    }

    ProgramWindow veldra;
};

TEST_F(SettingsEndToEndTest, ATuningChosenByKeysIsRemembered) {
    ASSERT_TRUE(launch());
    const Picture notice = navigationBarPicture("Detect Setting", true);
    ASSERT_TRUE(veldra.waitFor("the start-up notice",
                               [&](const Picture& p) { return sameRows(p, notice, 0, 26); }));
    veldra.saveScreenshot("veldra-notice");
    ASSERT_TRUE(veldra.key("Return"));
    const Picture guitarTitle = navigationBarPicture("Veldra -- Guitar", false);
    const Picture paused = readoutPicture({ReadoutKind::Paused});
    const Picture standard = information({});
    const auto tuning = [&](const Picture& p) {
        return sameRows(p, guitarTitle, 0, 26) && !showsReadout(p, paused) &&
               !sameRows(p, standard, clientTop + infoTextTop, clientTop + infoTextTop + 30);
    };
    ASSERT_TRUE(veldra.waitFor("the dial, tuning", tuning));

    // Start > Settings (F10, Enter), the tuning row (Down), drop D (Right), OK (Enter).
    ASSERT_TRUE(veldra.key("F10"));
    ASSERT_TRUE(veldra.key("Return"));
    const Picture settingsTitle = navigationBarPicture("Settings", false);
    ASSERT_TRUE(veldra.waitFor("the settings dialog", [&](const Picture& p) {
        return sameRows(p, settingsTitle, 0, 26) &&
               p[100 * 240 + 120] == rgb565FromColourRef(chromeWindow);
    }));
    ASSERT_TRUE(veldra.key("Down"));
    ASSERT_TRUE(veldra.key("Right"));
    const int32_t dropD = findTuning(InstrumentKind::Guitar, "drop D");
    ASSERT_GT(dropD, 0);
    const Picture dropDText = information({.tuning = dropD});
    ASSERT_FALSE(sameRows(dropDText, standard, clientTop, clientBottom));
    usleep(300000);  // the dialog redrawn with drop D, for the picture saved
    if (readScreen(veldra.session, veldra.window, veldra.last))
        veldra.saveScreenshot("veldra-settings");
    ASSERT_TRUE(veldra.key("Return"));
    ASSERT_TRUE(veldra.waitFor("Guitar in drop D, paused", [&](const Picture& p) {
        return sameRows(p, dropDText, clientTop, clientBottom) && showsReadout(p, paused);
    }));
    ASSERT_TRUE(veldra.key("ctrl+q"));
    ASSERT_EQ(veldra.program.wait(stepTimeoutMs), std::optional<int>(0));
    const std::string kept = readWholeFile(veldra.config.path("veldra/settings"));
    EXPECT_NE(kept.find("tuning=drop D\n"), std::string::npos) << kept;

    // The next start: Guitar chosen again from the menu shows drop D's strings.
    ASSERT_TRUE(launch());
    ASSERT_TRUE(veldra.waitFor("the start-up notice again",
                               [&](const Picture& p) { return sameRows(p, notice, 0, 26); }));
    ASSERT_TRUE(veldra.key("Return"));
    ASSERT_TRUE(veldra.waitFor("the dial, tuning", tuning));
    for (const char* key : {"F10", "Right", "Return"})
        ASSERT_TRUE(veldra.key(key));
    ASSERT_TRUE(veldra.waitFor("Guitar in drop D after a restart", [&](const Picture& p) {
        return sameRows(p, dropDText, clientTop, clientBottom);
    }));
    ASSERT_TRUE(veldra.key("ctrl+q"));
    EXPECT_EQ(veldra.program.wait(stepTimeoutMs), std::optional<int>(0));
}

}  // namespace
}  // namespace veldra
