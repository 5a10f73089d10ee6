// The player's choices in the shell: Escape on a menu, the start-up notice, the settings
// dialog by keys, and what is remembered between starts. (A tuning chosen by keys and kept
// over a real restart: e2e_settings_sdl_test.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "audio/audio.h"

#include "display/display_device.h"
#include "platform/desktop/settings_store.h"
#include "tests/support/block_font.h"
#include "tests/support/scratch_files.h"
#include "tests/support/window_fixture.h"
#include "tuner/tuner.h"
#include "views/instrument_info.h"

namespace veldra {
namespace {

class ChoicesTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        ::setenv("XDG_CONFIG_HOME", config.root().c_str(), 1);
        resetSettingsStore();
    }
    void TearDown() override {
        AppTest::TearDown();
        ::unsetenv("XDG_CONFIG_HOME");
    }
    // A new start from nothing but the settings file; its notice, if any, answered.
    bool restart(const ChoiceOverrides& overrides = {}) {
        if (!endAndRemember(overrides)) return false;
        noticeShown = false;
        whenIdle([this] {
            if (modalWindows().empty()) return false;
            noticeShown = true;
            backEnd.press(keyReturn);
            return true;
        });
        const bool started = initInstance(&programResources(), showNormal);
        whenIdle(nullptr);
        pump();
        return started;
    }
    bool endAndRemember(const ChoiceOverrides& overrides = {}) {
        if (isWindow(mainWindow())) destroyWindow(mainWindow());
        stopWindowSystem();
        stopStream(captureStream());
        resetShell();
        resetTuner();
        if (!startWindowSystem(backEnd, screen, blockSystemFonts())) return false;
        recordTextCalls(true);
        std::string error;
        return rememberChoices(overrides, error);
    }
    std::string settingsFile() const { return config.path("veldra/settings"); }
    bool informationShownFor(InstrumentKind kind) const {
        for (size_t i = textCalls().size(); i > 0; --i) {
            if (textCalls()[i - 1].text.starts_with("You chose"))
                return textCalls()[i - 1].text == composeInstrumentInfo(kind);
        }
        return false;
    }

    ScratchFolder config;
    bool noticeShown = false;
};

// Escape (or a tap beside it) closes the Instrument menu choosing nothing; an item chosen
// shows its text, paused, and a menu escaped then leaves that pause as it was.
TEST_F(ChoicesTest, EscapeOnAnOpenMenuChoosesNothing) {
    ASSERT_TRUE(start());
    pump();
    for (const bool byTap : {false, true}) {
        SCOPED_TRACE(byTap ? "a tap beside the menu" : "Escape");
        clearTextCalls();
        backEnd.press(keyF10);
        backEnd.press(keyRight);
        pump();
        ASSERT_EQ(openMenuButton(), 1);
        EXPECT_TRUE(tunerState().paused);  // while the menu is open
        if (byTap) {
            backEnd.queue({InputKind::PointerDown, 200, 60});
            backEnd.queue({InputKind::PointerUp, 200, 60});
        } else {
            backEnd.press(keyEscape);
        }
        pump();
        EXPECT_EQ(openMenuButton(), -1);
        EXPECT_FALSE(tunerState().paused);
        EXPECT_FALSE(isDrawingSuspended());
        EXPECT_EQ(tunerChoices().mode, InstrumentKind::Guitar);
        EXPECT_EQ(navigationBarTitle(), "Veldra -- Guitar");
        EXPECT_TRUE(textCalls().empty()) << textCalls()[0].text;
    }
    for (const uint32_t key : {keyF10, keyRight, keyDown, keyReturn})
        backEnd.press(key);
    pump();
    EXPECT_EQ(tunerChoices().mode, InstrumentKind::Violin);
    EXPECT_TRUE(tunerState().paused);
    EXPECT_TRUE(informationShownFor(InstrumentKind::Violin));
    clearTextCalls();
    for (const uint32_t key : {keyF10, keyEscape})
        backEnd.press(key);
    pump();
    EXPECT_TRUE(tunerState().paused);
    EXPECT_TRUE(informationShownFor(InstrumentKind::Violin));
}

// On the notice, Escape dismisses it; Control+Q ends the program with 0, keeping nothing.
TEST_F(ChoicesTest, TheNoticeTakesEscapeAndControlQ) {
    backEnd.press(keyEscape);
    ASSERT_TRUE(initInstance(&programResources(), showNormal));
    EXPECT_TRUE(modalWindows().empty());

    ASSERT_TRUE(endAndRemember());
    backEnd.press('Q', true);
    EXPECT_FALSE(initInstance(&programResources(), showNormal));
    EXPECT_FALSE(isWindow(mainWindow()));
    EXPECT_FALSE(pump());
    EXPECT_EQ(quitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(settingsFile()));
}

// "Don't show this again" (Down, Enter) is kept; until then the notice comes each start.
TEST_F(ChoicesTest, TheNoticeOffersNotToComeBack) {
    ASSERT_TRUE(restart());
    EXPECT_TRUE(noticeShown);
    ASSERT_TRUE(endAndRemember());
    backEnd.press(keyDown);
    backEnd.press(keyReturn);
    ASSERT_TRUE(initInstance(&programResources(), showNormal));
    EXPECT_NE(readWholeFile(settingsFile()).find("notice=skip\n"), std::string::npos);
    ASSERT_TRUE(restart());
    EXPECT_FALSE(noticeShown);
    EXPECT_FALSE(tunerState().paused);
}

// A mode chosen from the menu is the next start's (not paused); --mode, --tuning and --a4
// win for one run and are not kept.
TEST_F(ChoicesTest, TheModeIsRememberedAndTheCommandLineSetsItForOneRun) {
    ASSERT_TRUE(restart());
    EXPECT_EQ(tunerChoices().mode, InstrumentKind::Guitar);
    postMessage(mainWindow(), messageCommand, commandCello, 0);
    pump();
    EXPECT_NE(readWholeFile(settingsFile()).find("mode=cello\n"), std::string::npos);

    ASSERT_TRUE(restart());
    EXPECT_EQ(tunerChoices().mode, InstrumentKind::Cello);
    EXPECT_EQ(navigationBarTitle(), "Veldra -- Cello");
    EXPECT_FALSE(tunerState().paused);

    ChoiceOverrides viola;  // veldra --mode violin --tuning viola --a4 442
    viola.mode = InstrumentKind::Violin;
    viola.tuning = "viola";
    viola.referenceA4 = 442;
    ASSERT_TRUE(restart(viola));
    EXPECT_EQ(tunerChoices(), (TunerChoices{.mode = InstrumentKind::Violin,
                                            .tuning = findTuning(InstrumentKind::Violin, "viola"),
                                            .referenceA4 = 442}));
    EXPECT_NE(readWholeFile(settingsFile()).find("mode=cello\n"), std::string::npos);
}

// Start > Settings by keys (Down: next row, Right: step, Space: turn over, Enter: OK) shows
// the new mode's text, paused, and writes every choice; Escape changes nothing.
TEST_F(ChoicesTest, TheSettingsDialogByKeys) {
    ASSERT_TRUE(restart());
    const auto settings = [&](std::vector<uint32_t> keys) {
        whenIdle([&, keys]() mutable {
            if (modalWindows().empty() || keys.empty()) return false;
            backEnd.press(keys.front());
            keys.erase(keys.begin());
            return true;
        });
        sendMessage(mainWindow(), messageCommand, commandSettings, 0);
        whenIdle(nullptr);
        pump();
    };
    settings({keyRight, keyRight, keyDown, keyEscape});
    EXPECT_EQ(tunerChoices().mode, InstrumentKind::Guitar);
    EXPECT_FALSE(std::filesystem::exists(settingsFile()));

    clearTextCalls();
    settings({keyRight, keyDown, keyRight, keyDown, keyRight, keyRight, keyRight, keyDown, keySpace,
              keyDown, keyDown, keySpace, keyReturn});
    const TunerChoices chosen{.mode = InstrumentKind::Violin,
                              .tuning = findTuning(InstrumentKind::Violin, "viola"),
                              .referenceA4 = 442,
                              .flats = true};
    EXPECT_EQ(tunerChoices(), chosen);
    EXPECT_TRUE(tunerState().paused);
    EXPECT_TRUE(informationShownFor(InstrumentKind::Violin));
    EXPECT_EQ(readWholeFile(settingsFile()),
              "# veldra settings 1\na4=442\nmode=violin\nnames=flats\nnotice=skip\n"
              "strings=lowest\ntuning=viola\n");
}

}  // namespace
}  // namespace veldra
