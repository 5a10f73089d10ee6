// The program's life from entry to exit: failures at start-up and their messages, the
// shut-down order, a second start, closing during the notice, and the help viewer.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "audio/capture_handoff.h"
#include "display/display_device.h"
#include "platform/help_viewer.h"
#include "support/app_fixture.h"

namespace veldra {
namespace {

using Seen = std::vector<std::string>;

TEST_F(AppTest, WithoutASoundDeviceTheFailureIsShownOnceAndTheProgramEndsInOrder) {
    input.devices = 0;
    answerModalsWithEnter();
    bool streamStoppedAtClose = false;
    bool lockStillThereAtClose = false;
    screen.setCloseObserver([&] {
        streamStoppedAtClose = captureStream().thread == nullptr;
        lockStillThereAtClose = handoffState().notifyWindow != nullptr;
    });
    EXPECT_EQ(programEntry(&programResources(), showNormal), 0);
    EXPECT_EQ(seenModals, (Seen{"Detect Setting", "Fatal error: Sound input failed!"}));
    EXPECT_EQ(screen.closeCalls(), 1);
    EXPECT_FALSE(screen.isOpen());
    EXPECT_TRUE(streamStoppedAtClose);
    EXPECT_TRUE(lockStillThereAtClose);               // the display closed before the lock went
    EXPECT_EQ(handoffState().notifyWindow, nullptr);  // and then it went
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

TEST_F(AppTest, WithoutAMenuBarTheWindowKeepsItsPlace) {
    setMenuBarCreationFails(true);
    ASSERT_TRUE(start());
    EXPECT_EQ(shellState().menuBar, nullptr);
    EXPECT_EQ(mainWindow()->screenRect().bottom, 320);  // not moved
    EXPECT_EQ(displayState().plot.height, 268);         // the display still leaves the bar's rows
    EXPECT_EQ(shellState().firstPaintDone, 1);
}

TEST_F(AppTest, ASecondStartBringsTheFirstForwardAndEndsSilently) {
    ASSERT_TRUE(start());
    const WindowHandle first = mainWindow();
    whenIdle([] {
        ADD_FAILURE() << "the second start waited for input";
        return false;
    });
    EXPECT_EQ(programEntry(&programResources(), showNormal), 0);
    EXPECT_EQ(mainWindow(), first);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (backEnd.raises() == 0 && std::chrono::steady_clock::now() < until) {
        pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
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

class HelpViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() / ("veldra help-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "Veldra.htm") << "<html></html>";
        record = folder / "opened";
        opener = folder / "opener";
        std::ofstream(opener) << "#!/bin/sh\nprintf '%s' \"$1\" > \"" << record.string() << ".part\" && mv \""
                              << record.string() << ".part\" \"" << record.string() << "\"\n";
        std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
        setenv(helpOpenerVariable, opener.c_str(), 1);
    }
    void TearDown() override {
        unsetenv(helpOpenerVariable);
        std::filesystem::remove_all(folder);
    }
    std::string opened() {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!std::filesystem::exists(record) && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::ifstream in(record);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::filesystem::path folder;
    std::filesystem::path record;
    std::filesystem::path opener;
};

TEST_F(HelpViewerTest, OpensTheInstalledPageAtItsFragment) {
    const std::string dir = folder.string() + "/";
    EXPECT_TRUE(startHelpViewer("file:Veldra.htm#Main_Contents", {"/nonexistent/", dir}));
    std::string expected = "file://" + std::filesystem::canonical(folder).string();
    expected.replace(expected.find(' '), 1, "%20");
    expected.append("/Veldra.htm#Main_Contents");
    EXPECT_EQ(opened(), expected);
}

TEST_F(HelpViewerTest, RefusesWhatIsNotAPageItCanFind) {
    const std::vector<std::string> folders{folder.string() + "/"};
    EXPECT_EQ(helpUrl("file:Missing.htm#Main_Contents", folders), "");
    EXPECT_EQ(helpUrl("Veldra.htm#Main_Contents", folders), "");        // not a file: line
    EXPECT_EQ(helpUrl("file:../Veldra.htm", folders), "");              // no paths
    EXPECT_NE(helpUrl("file:Veldra.htm", folders).find("/Veldra.htm"), std::string::npos);
    EXPECT_FALSE(startHelpViewer("file:Missing.htm#Main_Contents", folders));
    EXPECT_FALSE(std::filesystem::exists(record));
}

}  // namespace
}  // namespace veldra
