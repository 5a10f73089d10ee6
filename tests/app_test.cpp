// The application: the main window driven through the headless window system, the
// program's life from entry to exit, the help viewer, and the shell's bars drawn as a
// still picture.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "analysis/level_tracker.h"
#include "analysis/period_validator.h"
#include "app/chrome_picture.h"
#include "app/resource_script.h"
#include "app/resources.h"
#include "audio/capture_handoff.h"
#include "display/display_device.h"
#include "display/layers.h"
#include "platform/desktop/help_viewer.h"
#include "platform/screen/headless_screen.h"
#include "platform/screen/headless_window.h"
#include "platform/windows/window_chrome.h"
#include "tests/support/block_font.h"
#include "tests/support/polling.h"
#include "tests/support/scratch_files.h"
#include "tests/support/window_fixture.h"
#include "tuner/block_pipeline.h"
#include "views/instrument_info.h"
#include "views/phase_trace.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

// ---- The main window driven through the headless window system: the start-up and its
// first paint, later paints, the mode commands and their tuning values, the menus, pause
// and resume, the About box, and closing by Control+Q and by Exit.

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
    EXPECT_EQ(std::tuple(t.originX, t.originY, t.traceShift, t.autoDelay),
              std::tuple(117, 128, 10, true));
    EXPECT_EQ(std::tuple(dialState().centreX, dialState().outerRadius, dialState().lowOctave),
              std::tuple(120, 106, 2));
    EXPECT_EQ(navigationBarTitle(), "Veldra -- Guitar");
    EXPECT_EQ(handoffState().notifyWindow, mainWindow());
    EXPECT_NE(captureStream().thread, nullptr);
    EXPECT_EQ(std::tuple(captureStream().format.samplesPerSecond, captureStream().bufferCount),
              std::tuple(22050u, 20));
    EXPECT_EQ(std::tuple(detectorState().analysisRate, pipelineState().refreshDivisor),
              std::tuple(22050, 10));
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
    EXPECT_EQ(std::tuple(validatorState().smoothingSpan, validatorState().periodTolerance),
              std::tuple(1470.0f, 0.045f));
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
        EXPECT_EQ(std::tuple(validatorState().smoothingSpan, validatorState().periodTolerance),
                  std::tuple(span, tolerance));
        ASSERT_FALSE(textCalls().empty());  // repainted with the new mode's text
        EXPECT_EQ(textCalls()[0].text, composeInstrumentInfo(kind));
    }
}

// Opening a menu takes the focus without deactivating (window_system_test), which pauses
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
    backEnd.press('A', true);
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
    backEnd.press('Q', true);
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

// ---- The program's life from entry to exit: failures at start-up and their messages, the
// shut-down order, a second start, closing during the notice, and the help viewer.

using Seen = std::vector<std::string>;

// "Sound input failed!" once, then the close: the stream stopped, the display closed
// while the hand-off's lock was still there, then the lock gone; exit code 0.
TEST_F(AppTest, WithoutASoundDeviceTheFailureIsShownOnceAndTheProgramEndsInOrder) {
    input.devices = 0;
    answerModalsWithEnter();
    bool streamStoppedAtClose = false, lockStillThereAtClose = false;
    screen.setCloseObserver([&] {
        streamStoppedAtClose = captureStream().thread == nullptr;
        lockStillThereAtClose = handoffState().notifyWindow != nullptr;
    });
    EXPECT_EQ(programEntry(&programResources(), showNormal), 0);
    EXPECT_EQ(seenModals, (Seen{"Detect Setting", "Fatal error: Sound input failed!"}));
    EXPECT_EQ(screen.closeCalls(), 1);
    EXPECT_FALSE(screen.isOpen());
    EXPECT_TRUE(streamStoppedAtClose);
    EXPECT_TRUE(lockStillThereAtClose);
    EXPECT_EQ(handoffState().notifyWindow, nullptr);
    EXPECT_FALSE(isWindow(shellState().menuBar));
}

// The display's own message and nothing else, not even the notice; the screen closed.
// (Every refused display and its message: display_output_test.)
TEST_F(AppTest, ADisplayThatCannotBeHadEndsTheProgramWithItsOwnMessage) {
    screen.setBitsPerPixel(32);
    answerModalsWithEnter();
    EXPECT_EQ(programEntry(&programResources(), showNormal), 0);
    EXPECT_EQ(seenModals, (Seen{"Graphics: Support only 16 bit pixel format."}));
    EXPECT_EQ(shellState().firstPaintDone, 0);
    EXPECT_FALSE(screen.isOpen());
}

// The window is not moved up from the bottom, and the display still leaves the bar's rows.
TEST_F(AppTest, WithoutAMenuBarTheWindowKeepsItsPlace) {
    setMenuBarCreationFails(true);
    ASSERT_TRUE(start());
    EXPECT_EQ(shellState().menuBar, nullptr);
    EXPECT_EQ(mainWindow()->screenRect().bottom, 320);
    EXPECT_EQ(displayState().plot.height, 268);
    EXPECT_EQ(shellState().firstPaintDone, 1);
}

TEST_F(AppTest, ASecondStartBringsTheFirstForwardAndEndsSilently) {
    ASSERT_TRUE(start());
    const WindowHandle first = mainWindow();
    whenIdle([] { return ADD_FAILURE() << "the second start waited for input", false; });
    EXPECT_EQ(programEntry(&programResources(), showNormal), 0);
    EXPECT_EQ(mainWindow(), first);
    EXPECT_TRUE(
        eventually([&] { return backEnd.raises() > 0; }, std::chrono::seconds(2), [&] { pump(); }));
    EXPECT_EQ(backEnd.raises(), 1);
    EXPECT_TRUE(isWindow(first));
    EXPECT_TRUE(modalWindows().empty());
}

TEST_F(AppTest, ClosingTheDesktopWindowDuringTheNoticeEndsTheProgramBeforeAnyCapture) {
    backEnd.queue({InputKind::CloseRequested});
    EXPECT_EQ(programEntry(&programResources(), showNormal), 0);
    EXPECT_EQ(shellState().firstPaintDone, 0);
    EXPECT_EQ(captureStream().thread, nullptr);
    EXPECT_FALSE(screen.isOpen());
    EXPECT_TRUE(textCalls().empty());
}

// The viewer runs the opener VELDRA_HELP_OPENER names (here a script that writes its
// argument to a file) on the page found in the first folder that has it; the URL escapes
// the space in the folder's name.
TEST(HelpViewerTest, OpensTheInstalledPageAtItsFragmentAndOnlyAPageItCanFind) {
    ScratchFolder scratch;
    const std::string folder = scratch.path("help pages") + "/", opened = scratch.path("opened");
    std::filesystem::create_directory(folder);
    writeWholeFile(folder + "Veldra.htm", "<html></html>");
    writeWholeFile(scratch.path("opener"), "#!/bin/sh\nprintf '%s' \"$1\" > \"" + opened +
                                               ".part\" && mv \"" + opened + ".part\" \"" + opened +
                                               "\"\n");
    std::filesystem::permissions(scratch.path("opener"), std::filesystem::perms::owner_all);
    setenv(helpOpenerVariable, scratch.path("opener").c_str(), 1);

    EXPECT_EQ(helpUrl("file:Missing.htm#Main_Contents", {folder}), "");
    EXPECT_EQ(helpUrl("Veldra.htm#Main_Contents", {folder}), "");  // not a file: line
    EXPECT_EQ(helpUrl("file:../Veldra.htm", {folder}), "");        // no paths
    EXPECT_FALSE(startHelpViewer("file:Missing.htm#Main_Contents", {folder}));
    EXPECT_TRUE(startHelpViewer("file:Veldra.htm#Main_Contents", {"/nonexistent/", folder}));
    EXPECT_TRUE(
        eventually([&] { return std::filesystem::exists(opened); }, std::chrono::seconds(5)));
    std::string expected =
        "file://" + std::filesystem::canonical(folder).string() + "/Veldra.htm#Main_Contents";
    expected.replace(expected.find(' '), 1, "%20");
    EXPECT_EQ(readWholeFile(opened), expected);
    unsetenv(helpOpenerVariable);
}

// ---- The shell's bars drawn as a still picture (veldra-file's pictures): the same pixels
// as the window system's chrome, in any memory layout the screen reports.

TEST(ChromePictureTest, DrawsTheBarsAsTheProgramShowsThem) {
    const SystemFonts fonts = blockSystemFonts();
    std::vector<uint16_t> expected(240 * 320, 0);
    const PixelCanvas canvas{expected.data(), 1, 240, {0, 0, 240, 320}};
    drawNavigationBar(canvas, fonts, "Veldra -- Cello", false, false);
    const Bitmap image = loadBitmapResource(menuBarImageResource);
    drawMenuBar(canvas, fonts, loadMenuBar(programResources(), menuResource)->buttons,
                std::span<const Bitmap>(&image, 1), -1);
    setPictureFonts(&fonts);
    for (const int32_t xPitch : {2, -2}) {  // row-major, mirrored
        HeadlessScreen screen;
        HeadlessWindow window(screen);
        ASSERT_TRUE(screen.setPitches(xPitch, 480));
        ASSERT_TRUE(screen.openDisplay(window, fullScreenDisplay));
        drawShellChrome(screen, "Veldra -- Cello");
        EXPECT_EQ(screen.snapshot(), expected) << xPitch;
        EXPECT_EQ(screen.beginDrawCalls(), screen.endDrawCalls());
    }
    setPictureFonts(nullptr);
}

// Without fonts only the bars, no title and no captions; without memory nothing at all.
TEST(ChromePictureTest, WithoutFontsTheBarsComeWithoutTextAndWithoutMemoryNothing) {
    HeadlessScreen screen;
    HeadlessWindow window(screen);
    ASSERT_TRUE(screen.openDisplay(window, fullScreenDisplay));
    drawShellChrome(screen, "Veldra -- Cello");
    EXPECT_EQ(screen.pixel(200, 13), screen.pixel(201, 13));
    EXPECT_EQ(screen.pixel(20, 307),
              rgb565FromColourRef(chromeFace));  // "Start" without its letters
    HeadlessScreen refusing;
    refusing.setBeginDrawFails(true);
    refusing.fill(0x1234);
    drawShellChrome(refusing, "Veldra -- Cello");
    EXPECT_EQ(refusing.pixel(100, 10), 0x1234);
    EXPECT_EQ(refusing.endDrawCalls(), 0);
}

}  // namespace
}  // namespace veldra
