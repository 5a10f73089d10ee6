// The program's life from entry to exit: failures at start-up and their messages, the
// shut-down order, a second start, closing during the notice, and the help viewer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "audio/capture_handoff.h"
#include "display/display_device.h"
#include "platform/help_viewer.h"
#include "support/polling.h"
#include "support/scratch_files.h"
#include "support/window_fixture.h"

namespace veldra {
namespace {

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

TEST_F(AppTest, ADisplayThatCannotBeHadEndsTheProgramWithItsOwnMessage) {
    screen.setOpenFails(true);
    answerModalsWithEnter();
    EXPECT_EQ(programEntry(&programResources(), showNormal), 0);
    EXPECT_EQ(seenModals, (Seen{"Graphics: Cannot open to full screen mode"}));  // no notice
    EXPECT_EQ(shellState().firstPaintDone, 0);
}

TEST_F(AppTest, AnotherPixelFormatEndsTheProgramWithItsOwnMessage) {
    screen.setBitsPerPixel(32);
    answerModalsWithEnter();
    EXPECT_EQ(programEntry(&programResources(), showNormal), 0);
    EXPECT_EQ(seenModals, (Seen{"Graphics: Support only 16 bit pixel format."}));
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
    EXPECT_TRUE(eventually([&] { return backEnd.raises() > 0; }, std::chrono::seconds(2), [&] { pump(); }));
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
    writeWholeFile(scratch.path("opener"), "#!/bin/sh\nprintf '%s' \"$1\" > \"" + opened + ".part\" && mv \"" + opened +
                                               ".part\" \"" + opened + "\"\n");
    std::filesystem::permissions(scratch.path("opener"), std::filesystem::perms::owner_all);
    setenv(helpOpenerVariable, scratch.path("opener").c_str(), 1);

    EXPECT_EQ(helpUrl("file:Missing.htm#Main_Contents", {folder}), "");
    EXPECT_EQ(helpUrl("Veldra.htm#Main_Contents", {folder}), "");  // not a file: line
    EXPECT_EQ(helpUrl("file:../Veldra.htm", {folder}), "");        // no paths
    EXPECT_FALSE(startHelpViewer("file:Missing.htm#Main_Contents", {folder}));
    EXPECT_TRUE(startHelpViewer("file:Veldra.htm#Main_Contents", {"/nonexistent/", folder}));
    EXPECT_TRUE(eventually([&] { return std::filesystem::exists(opened); }, std::chrono::seconds(5)));
    std::string expected = "file://" + std::filesystem::canonical(folder).string() + "/Veldra.htm#Main_Contents";
    expected.replace(expected.find(' '), 1, "%20");
    EXPECT_EQ(readWholeFile(opened), expected);
    unsetenv(helpOpenerVariable);
}

}  // namespace
}  // namespace veldra
