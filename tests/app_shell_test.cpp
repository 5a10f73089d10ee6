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
#include "support/app_fixture.h"
#include "views/instrument_info.h"
#include "views/phase_trace.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

TEST_F(AppTest, StartUpShowsTheNoticeThenPaintsTheDialWithCaptureRunning) {
    std::string titleDuringNotice;
    bool suspendedDuringNotice = false;
    whenIdle([&] {
        if (modalWindows().empty()) return false;
        titleDuringNotice = navigationBarTitle();
        suspendedDuringNotice = isDrawingSuspended();
        EXPECT_EQ(BackgroundLayer.pixels[0], 0);  // no first paint under the notice
        backEnd.press(keyReturn);
        return true;
    });
    ASSERT_TRUE(initInstance(&programResources(), showNormal));
    EXPECT_EQ(titleDuringNotice, "Detect Setting");
    EXPECT_TRUE(suspendedDuringNotice);
    // The first paint ran before initInstance returned, with drawing going on: the
    // background picture is on the screen and in BackgroundLayer.
    EXPECT_EQ(shellState().firstPaintDone, 1);
    EXPECT_FALSE(isDrawingSuspended());
    const Bitmap background = loadBitmapResource(backgroundResource);
    for (const int32_t p : {0, 120 + 128 * 240, 239 + 267 * 240}) {
        EXPECT_EQ(BackgroundLayer.pixels[p], background.pixels[p]) << p;
        EXPECT_EQ(screen.pixel(p % 240, 26 + p / 240), background.pixels[p]) << p;
    }
    EXPECT_EQ(traceState().originX, 117);
    EXPECT_EQ(traceState().originY, 128);
    EXPECT_EQ(traceState().traceShift, 10);
    EXPECT_TRUE(traceState().autoDelay);
    EXPECT_EQ(dialState().centreX, 120);
    EXPECT_EQ(dialState().outerRadius, 106);
    EXPECT_EQ(dialState().lowOctave, 2);  // Guitar
    EXPECT_EQ(navigationBarTitle(), "Veldra -- Guitar");
    EXPECT_EQ(handoffState().notifyWindow, mainWindow());
    EXPECT_NE(captureStream().thread, nullptr);
    EXPECT_EQ(captureStream().format.samplesPerSecond, 22050u);
    EXPECT_EQ(captureStream().bufferCount, 20);
    EXPECT_EQ(detectorState().analysisRate, 22050);
    EXPECT_EQ(pipelineState().refreshDivisor, 10);
    // The window sits between the navigation bar and the menu bar.
    EXPECT_EQ(mainWindow()->screenRect().bottom, 294);
    EXPECT_EQ(displayState().plot.height, 268);
    EXPECT_TRUE(textCalls().empty());
}

TEST_F(AppTest, TheFirstPaintRunsOnceAndLaterPaintsDrawOnlyTheInformationText) {
    ASSERT_TRUE(start());
    WaveInStream& stream = captureStream();
    KernelThread* const thread = stream.thread;
    setDialGeometry(1, 2, 3, 4);  // a second first-paint sequence would put 120, 128, 40, 106 back
    clearTextCalls();
    invalidateWindow(mainWindow(), false);
    pump();
    EXPECT_EQ(dialState().centreX, 1);
    EXPECT_EQ(stream.thread, thread);
    ASSERT_EQ(textCalls().size(), 2u);
    const TextCall& info = textCalls()[0];
    EXPECT_EQ(info.text, composeInstrumentInfo(InstrumentKind::Guitar));
    EXPECT_EQ(info.rect.top, 50);
    EXPECT_EQ(info.rect.bottom, 268);
    EXPECT_EQ(info.flags, 273u);
    EXPECT_EQ(info.textColour, colourWhite);
    EXPECT_EQ(info.backgroundColour, colourBlack);
    EXPECT_EQ(textCalls()[1].text, " O.K. ");
    // The client area was erased to black first: nothing of the dial is left.
    EXPECT_EQ(screen.pixel(0, 26), 0);
}

TEST_F(AppTest, ModeCommandsSetTheTitleTheDialAndTheTuningValuesOfGuitarAndSinging) {
    ASSERT_TRUE(start());
    EXPECT_EQ(validatorState().smoothingSpan, 1470.0f);  // start-up values, not the Guitar command's
    EXPECT_EQ(validatorState().periodTolerance, 0.045f);
    const struct {
        uint16_t command;
        InstrumentKind kind;
        const char* title;
        float span;
        float tolerance;
    } steps[] = {
        {commandViolin, InstrumentKind::Violin, "Veldra -- Violin", 1470.0f, 0.045f},
        {commandGuitar, InstrumentKind::Guitar, "Veldra -- Guitar", 2756.0f, 0.035f},
        {commandCello, InstrumentKind::Cello, "Veldra -- Cello", 2756.0f, 0.035f},
        {commandSinging, InstrumentKind::Singing, "Veldra -- Singing", 1378.0f, 0.08f},
        {commandErhu, InstrumentKind::Erhu, "Veldra -- Erhu", 1378.0f, 0.08f},
        {commandPipa, InstrumentKind::Pipa, "Veldra -- Pipa", 1378.0f, 0.08f},
        {commandBass, InstrumentKind::Bass, "Veldra -- Bass", 1378.0f, 0.08f},
        {commandAlto, InstrumentKind::Alto, "Veldra -- Alto", 1378.0f, 0.08f},
    };
    for (const auto& step : steps) {
        clearTextCalls();
        postMessage(mainWindow(), messageCommand, step.command, 0);
        pump();
        EXPECT_EQ(shellState().currentKind, step.kind) << step.title;
        EXPECT_EQ(navigationBarTitle(), step.title);
        EXPECT_EQ(dialState().lowOctave, modeEntry(step.kind)->lowOctave) << step.title;
        EXPECT_EQ(validatorState().smoothingSpan, step.span) << step.title;
        EXPECT_EQ(validatorState().periodTolerance, step.tolerance) << step.title;
        ASSERT_FALSE(textCalls().empty()) << step.title;  // repainted with the new mode's text
        EXPECT_EQ(textCalls()[0].text, composeInstrumentInfo(step.kind));
    }
}

TEST_F(AppTest, TheInstrumentMenuPausesTheTunerAndATapResumesIt) {
    ASSERT_TRUE(start());
    backEnd.tap(instrumentButtonX, menuBarY);
    pump();
    EXPECT_EQ(openMenuButton(), 1);
    EXPECT_TRUE(isDrawingSuspended());        // the menu took the focus
    EXPECT_EQ(activeWindow(), mainWindow());  // without deactivating
    clearTextCalls();
    backEnd.tap(instrumentButtonX, menuItemY(8, 1));  // the second item: Violin
    pump();
    EXPECT_EQ(shellState().currentKind, InstrumentKind::Violin);
    EXPECT_EQ(navigationBarTitle(), "Veldra -- Violin");
    ASSERT_FALSE(textCalls().empty());
    EXPECT_EQ(textCalls()[0].text.substr(0, 16), "You chose Violin");
    EXPECT_TRUE(isDrawingSuspended());        // the text stays until a tap
    backEnd.queue({InputKind::PointerDown, 120, 150});
    pump();
    EXPECT_TRUE(isDrawingSuspended());        // pressing does nothing
    backEnd.queue({InputKind::PointerUp, 230, 290});
    pump();
    EXPECT_FALSE(isDrawingSuspended());       // lifting resumes, wherever it is
}

TEST_F(AppTest, FocusLossCancelModeAndHibernateSuspendOnlyActivationAndALiftResume) {
    ASSERT_TRUE(start());
    for (const uint32_t message : {messageKillFocus, messageCancelMode, messageHibernate}) {
        ASSERT_FALSE(isDrawingSuspended());
        sendMessage(mainWindow(), message, 0, 0);
        EXPECT_TRUE(isDrawingSuspended()) << message;
        sendMessage(mainWindow(), messageSetFocus, 0, 0);
        sendMessage(mainWindow(), messageButtonDown, buttonStateDown, 0);
        EXPECT_TRUE(isDrawingSuspended()) << message;
        sendMessage(mainWindow(), messageActivate, activationActive, 0);
        EXPECT_FALSE(isDrawingSuspended()) << message;
    }
    // The desktop window losing and regaining the focus.
    backEnd.queue({InputKind::FocusLost});
    pump();
    EXPECT_TRUE(isDrawingSuspended());
    EXPECT_EQ(shellState().activateInfo.lastActivate, activationInactive);
    backEnd.queue({InputKind::FocusGained});
    pump();
    EXPECT_FALSE(isDrawingSuspended());
    EXPECT_EQ(shellState().activateInfo.size, 12u);
}

TEST_F(AppTest, TheImageButtonsCommandHasNoEffect) {
    ASSERT_TRUE(start());
    clearTextCalls();
    backEnd.tap(imageButtonX, menuBarY);
    pump();
    EXPECT_TRUE(isWindow(mainWindow()));
    EXPECT_FALSE(isDrawingSuspended());
    EXPECT_EQ(shellState().currentKind, InstrumentKind::Guitar);
    EXPECT_EQ(navigationBarTitle(), "Veldra -- Guitar");
    EXPECT_TRUE(textCalls().empty());  // no repaint
    EXPECT_TRUE(modalWindows().empty());
}

TEST_F(AppTest, ControlAShowsTheAboutBoxWhichPausesTheTunerWhileUp) {
    ASSERT_TRUE(start());
    answerModalsWithEnter();
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
    EXPECT_FALSE(isDrawingSuspended());       // activated again when it closed
    EXPECT_EQ(navigationBarTitle(), "Veldra -- Guitar");
}

TEST_F(AppTest, ControlQDeactivatesThenClosesAndExitOnlyCloses) {
    ASSERT_TRUE(start());
    bool suspendedAtClose = false;
    screen.setCloseObserver([&] { suspendedAtClose = isDrawingSuspended(); });
    backEnd.press('Q', U'q', true);
    pump();
    EXPECT_TRUE(quit);
    EXPECT_EQ(quitCode, 0);
    EXPECT_FALSE(isWindow(mainWindow()));
    EXPECT_TRUE(suspendedAtClose);
    EXPECT_EQ(shellState().activateInfo.lastActivate, activationInactive);
}

TEST_F(AppTest, ExitFromTheStartMenuClosesWithoutDeactivating) {
    ASSERT_TRUE(start());
    backEnd.tap(startButtonX, menuBarY);
    backEnd.tap(10, menuItemY(1, 0));  // "Exit"
    pump();
    EXPECT_TRUE(quit);
    EXPECT_EQ(quitCode, 0);
    EXPECT_FALSE(isWindow(mainWindow()));
    // Nothing deactivated the window on the way.
    EXPECT_EQ(shellState().activateInfo.lastActivate, activationActive);
}

}  // namespace
}  // namespace veldra
