// The main window driven through the headless window system: the start-up and its first
// paint, later paints, the mode commands and their tuning values, the menus, pause and
// resume, the About box, and closing by Control+Q and by Exit.
#include <gtest/gtest.h>

#include "analysis/block_pipeline.h"
#include "analysis/level_tracker.h"
#include "analysis/period_validator.h"
#include "app/resources.h"
#include "audio/capture_handoff.h"
#include "display/display_device.h"
#include "display/layers.h"
#include "support/window_fixture.h"
#include "views/instrument_info.h"
#include "views/phase_trace.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

// The notice comes first, with drawing suspended and no paint under it; the first paint
// runs before initInstance returns, with drawing going on: the background picture is on
// the screen and in BackgroundLayer, the modules have their start-up values and capture
// runs, and the window sits between the navigation bar and the menu bar.
TEST_F(AppTest, StartUpShowsTheNoticeThenPaintsTheDialWithCaptureRunning) {
    std::string titleDuringNotice;
    bool suspendedDuringNotice = false;
    whenIdle([&] {
        if (modalWindows().empty()) return false;
        titleDuringNotice = navigationBarTitle();
        suspendedDuringNotice = isDrawingSuspended();
        EXPECT_EQ(BackgroundLayer.pixels[0], 0);
        backEnd.press(keyReturn);
        return true;
    });
    ASSERT_TRUE(initInstance(&programResources(), showNormal));
    EXPECT_EQ(titleDuringNotice, "Detect Setting");
    EXPECT_TRUE(suspendedDuringNotice);
    EXPECT_EQ(shellState().firstPaintDone, 1);
    EXPECT_FALSE(isDrawingSuspended());
    const Bitmap background = loadBitmapResource(backgroundResource);
    for (const int32_t p : {0, 120 + 128 * 240, 239 + 267 * 240}) {
        EXPECT_EQ(BackgroundLayer.pixels[p], background.pixels[p]) << p;
        EXPECT_EQ(screen.pixel(p % 240, 26 + p / 240), background.pixels[p]) << p;
    }
    const TraceState& t = traceState();
    EXPECT_EQ(std::tuple(t.originX, t.originY, t.traceShift, t.autoDelay), std::tuple(117, 128, 10, true));
    EXPECT_EQ(std::tuple(dialState().centreX, dialState().outerRadius, dialState().lowOctave), std::tuple(120, 106, 2));
    EXPECT_EQ(navigationBarTitle(), "Veldra -- Guitar");
    EXPECT_EQ(handoffState().notifyWindow, mainWindow());
    EXPECT_NE(captureStream().thread, nullptr);
    EXPECT_EQ(std::tuple(captureStream().format.samplesPerSecond, captureStream().bufferCount), std::tuple(22050u, 20));
    EXPECT_EQ(std::tuple(detectorState().analysisRate, pipelineState().refreshDivisor), std::tuple(22050, 10));
    EXPECT_EQ(mainWindow()->screenRect().bottom, 294);
    EXPECT_EQ(displayState().plot.height, 268);
    EXPECT_TRUE(textCalls().empty());
}

// A second first-paint sequence would put the dial geometry 120, 128, 40, 106 back and
// restart the stream; a later paint erases the client area and draws the information
// text only (how, views_test checks), white on black.
TEST_F(AppTest, TheFirstPaintRunsOnceAndLaterPaintsDrawOnlyTheInformationText) {
    ASSERT_TRUE(start());
    KernelThread* const thread = captureStream().thread;
    setDialGeometry(1, 2, 3, 4);
    clearTextCalls();
    invalidateWindow(mainWindow(), false);
    pump();
    EXPECT_EQ(std::tuple(dialState().centreX, captureStream().thread), std::tuple(1, thread));
    ASSERT_EQ(textCalls().size(), 2u);
    const TextCall& info = textCalls()[0];
    EXPECT_EQ(std::tie(info.text, info.textColour, info.backgroundColour),
              std::tuple(composeInstrumentInfo(InstrumentKind::Guitar), colourWhite, colourBlack));
    EXPECT_EQ(screen.pixel(0, 26), 0);
}

// Start-up keeps 1470 / 0.045, not the Guitar command's values; Guitar and Singing set
// theirs, the other modes inherit what is there.
TEST_F(AppTest, ModeCommandsSetTheTitleTheDialAndTheTuningValuesOfGuitarAndSinging) {
    ASSERT_TRUE(start());
    EXPECT_EQ(std::tuple(validatorState().smoothingSpan, validatorState().periodTolerance), std::tuple(1470.0f, 0.045f));
    const std::tuple<uint16_t, InstrumentKind, const char*, float, float> steps[] = {
        {commandViolin, InstrumentKind::Violin, "Veldra -- Violin", 1470.0f, 0.045f},
        {commandGuitar, InstrumentKind::Guitar, "Veldra -- Guitar", 2756.0f, 0.035f},
        {commandCello, InstrumentKind::Cello, "Veldra -- Cello", 2756.0f, 0.035f},
        {commandSinging, InstrumentKind::Singing, "Veldra -- Singing", 1378.0f, 0.08f},
        {commandErhu, InstrumentKind::Erhu, "Veldra -- Erhu", 1378.0f, 0.08f},
        {commandPipa, InstrumentKind::Pipa, "Veldra -- Pipa", 1378.0f, 0.08f},
        {commandBass, InstrumentKind::Bass, "Veldra -- Bass", 1378.0f, 0.08f},
        {commandAlto, InstrumentKind::Alto, "Veldra -- Alto", 1378.0f, 0.08f},
    };
    for (const auto& [command, kind, title, span, tolerance] : steps) {
        SCOPED_TRACE(title);
        clearTextCalls();
        postMessage(mainWindow(), messageCommand, command, 0);
        pump();
        EXPECT_EQ(shellState().currentKind, kind);
        EXPECT_EQ(navigationBarTitle(), title);
        EXPECT_EQ(dialState().lowOctave, modeEntry(kind)->lowOctave);
        EXPECT_EQ(std::tuple(validatorState().smoothingSpan, validatorState().periodTolerance), std::tuple(span, tolerance));
        ASSERT_FALSE(textCalls().empty());  // repainted with the new mode's text
        EXPECT_EQ(textCalls()[0].text, composeInstrumentInfo(kind));
    }
}

// Opening a menu takes the focus without deactivating (window_menu_test), which pauses
// the tuner (below); the chosen mode's text stays until a tap: pressing does nothing,
// lifting resumes wherever.
TEST_F(AppTest, TheInstrumentMenuPausesTheTunerUntilATap) {
    ASSERT_TRUE(start());
    backEnd.tap(instrumentButtonX, menuBarY);
    backEnd.tap(instrumentButtonX, menuItemY(8, 1));  // the second item: Violin
    pump();
    EXPECT_EQ(navigationBarTitle(), "Veldra -- Violin");
    EXPECT_TRUE(isDrawingSuspended());
    backEnd.queue({InputKind::PointerDown, 120, 150});
    pump();
    EXPECT_TRUE(isDrawingSuspended());
    backEnd.queue({InputKind::PointerUp, 230, 290});
    pump();
    EXPECT_FALSE(isDrawingSuspended());
}

// Kill-focus, cancel-mode and hibernate suspend; set-focus and stylus down do not
// resume, activation does; and so for the desktop window losing and regaining focus.
TEST_F(AppTest, FocusLossCancelModeAndHibernateSuspendOnlyActivationAndALiftResume) {
    ASSERT_TRUE(start());
    for (const uint32_t message : {messageKillFocus, messageCancelMode, messageHibernate}) {
        SCOPED_TRACE(message);
        ASSERT_FALSE(isDrawingSuspended());
        sendMessage(mainWindow(), message, 0, 0);
        sendMessage(mainWindow(), messageSetFocus, 0, 0);
        sendMessage(mainWindow(), messageButtonDown, buttonStateDown, 0);
        EXPECT_TRUE(isDrawingSuspended());
        sendMessage(mainWindow(), messageActivate, activationActive, 0);
        EXPECT_FALSE(isDrawingSuspended());
    }
    backEnd.queue({InputKind::FocusLost});
    pump();
    EXPECT_TRUE(isDrawingSuspended());
    EXPECT_EQ(shellState().activateInfo.lastActivate, activationInactive);
    backEnd.queue({InputKind::FocusGained});
    pump();
    EXPECT_FALSE(isDrawingSuspended());
    EXPECT_EQ(shellState().activateInfo.size, 12u);
}

// Command 40028, the image button's, does nothing: no pause, no mode, no repaint, no box.
TEST_F(AppTest, TheImageButtonsCommandHasNoEffect) {
    ASSERT_TRUE(start());
    clearTextCalls();
    backEnd.tap(imageButtonX, menuBarY);
    EXPECT_TRUE(pump());
    EXPECT_FALSE(isDrawingSuspended());
    EXPECT_EQ(navigationBarTitle(), "Veldra -- Guitar");
    EXPECT_TRUE(textCalls().empty());
    EXPECT_TRUE(modalWindows().empty());
}

TEST_F(AppTest, ControlAShowsTheAboutBoxWhichPausesTheTunerWhileUp) {
    ASSERT_TRUE(start());
    bool suspendedWhileUp = false;
    whenIdle([&] {
        if (modalWindows().empty()) return false;
        seenModals.push_back(navigationBarTitle());
        suspendedWhileUp = isDrawingSuspended();
        backEnd.press(keyEscape);
        return true;
    });
    backEnd.press('A', U'a', true);
    pump();
    EXPECT_EQ(seenModals, (std::vector<std::string>{"About Orvane"}));
    EXPECT_TRUE(suspendedWhileUp);
    EXPECT_FALSE(isDrawingSuspended());  // activated again when it closed
    EXPECT_EQ(navigationBarTitle(), "Veldra -- Guitar");
}

// Control+Q deactivates (the display is closed with drawing suspended), then closes;
// Exit from the Start menu only closes. Both end the loop with 0.
TEST_F(AppTest, ControlQDeactivatesThenCloses) {
    ASSERT_TRUE(start());
    bool suspendedAtClose = false;
    screen.setCloseObserver([&] { suspendedAtClose = isDrawingSuspended(); });
    backEnd.press('Q', U'q', true);
    EXPECT_FALSE(pump());
    EXPECT_EQ(quitCode, 0);
    EXPECT_FALSE(isWindow(mainWindow()));
    EXPECT_TRUE(suspendedAtClose);
    EXPECT_EQ(shellState().activateInfo.lastActivate, activationInactive);
}

TEST_F(AppTest, ExitFromTheStartMenuClosesWithoutDeactivating) {
    ASSERT_TRUE(start());
    backEnd.tap(startButtonX, menuBarY);
    backEnd.tap(10, menuItemY(1, 0));
    EXPECT_FALSE(pump());
    EXPECT_EQ(quitCode, 0);
    EXPECT_FALSE(isWindow(mainWindow()));
    EXPECT_EQ(shellState().activateInfo.lastActivate, activationActive);
}

}  // namespace
}  // namespace veldra
