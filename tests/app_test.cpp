// The application: the main window driven through the headless window system, and the
// program's life from entry to exit.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <thread>

#include "analysis/period_validator.h"
#include "app/desktop_readout.h"
#include "audio/capture_handoff.h"
#include "display/display_device.h"
#include "display/layers.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/single_instance.h"
#include "platform/fonts/fonts.h"
#include "platform/screen/screen.h"
#include "tests/support/polling.h"
#include "tests/support/scratch_files.h"
#include "tests/support/window_fixture.h"
#include "tuner/tuner.h"
#include "views/instrument_catalogue.h"
#include "views/instrument_info.h"
#include "views/pictures.h"
#include "views/tuning_dial.h"
#include "views/window_bars.h"

namespace veldra {
namespace {

// ---- The main window driven through the headless window system: the start-up and its
// first paint, the mode commands and their tuning values, pause and resume, and closing
// by Control+Q. (Dialogs pausing the tuner: the owner's deactivation, window_system_test.)

// The notice comes first, with drawing suspended and no paint under it; the first paint
// runs before initInstance returns, with drawing going on: the background picture is on
// the screen and in BackgroundLayer, capture runs, and the window sits between the
// navigation bar and the menu bar. (The modules' start-up values come from the start-up
// veldra-file shares; the reference recordings hold the analysis and the dial to them.)
TEST_F(AppTest, StartUpShowsTheNoticeThenPaintsTheDialWithCaptureRunning) {
    std::string titleDuringNotice;
    bool suspendedDuringNotice = false;
    whenIdle([&] {
        if (modalWindows().empty()) return false;
        titleDuringNotice = navigationBarTitle();
        suspendedDuringNotice = tunerState().paused && isDrawingSuspended();
        EXPECT_EQ(BackgroundLayer.pixels[0], 0);
        backEnd.press(keyReturn);
        return true;
    });
    ASSERT_TRUE(initInstance(&programResources(), showNormal));
    EXPECT_EQ(titleDuringNotice, "Detect Setting");
    EXPECT_TRUE(suspendedDuringNotice);
    EXPECT_FALSE(isDrawingSuspended());
    const Bitmap background = loadBitmapResource(backgroundResource);
    for (const int32_t p : {0, 120 + 128 * 240, 239 + 267 * 240}) {
        EXPECT_EQ(BackgroundLayer.pixels[p], background.pixels[p]) << p;
        EXPECT_EQ(screen.pixel(p % 240, 26 + p / 240), background.pixels[p]) << p;
    }
    EXPECT_EQ(handoffState().notifyWindow, mainWindow());
    EXPECT_NE(captureStream().thread, nullptr);
    EXPECT_EQ(mainWindow()->screenRect().bottom, 294);
}

// The bars veldra-file's pictures show (views' still picture, with no window system) are
// the ones the window system draws for the shell, in the same built-in fonts: the menu
// bar's buttons and image, and the navigation bar titled for each mode.
TEST_F(AppTest, TheStillBarsAreTheWindowsOwn) {
    stopWindowSystem();
    ASSERT_TRUE(startWindowSystem(backEnd, screen, builtInFonts().system()));
    ASSERT_TRUE(start());
    for (const auto& [command, kind] : {std::pair{commandGuitar, InstrumentKind::Guitar},
                                        std::pair{commandSinging, InstrumentKind::Singing}}) {
        sendMessage(mainWindow(), messageCommand, command, 0);
        pump();
        HeadlessScreen still;
        HeadlessWindow owner(still);
        ASSERT_TRUE(still.openDisplay(owner, fullScreenDisplay));
        drawWindowBars(still, modeTitle(kind));
        int32_t differing = 0;
        for (int32_t y = 0; y < screenHeight; ++y) {
            if (y == navigationBarHeight) y = screenHeight - menuBarHeight;
            for (int32_t x = 0; x < screenWidth; ++x)
                differing += screen.pixel(x, y) != still.pixel(x, y) ? 1 : 0;
        }
        EXPECT_EQ(differing, 0) << modeTitle(kind);
    }
}

// Guitar and Singing set their tuning values, the other modes inherit what is there:
// Violin first of all the start-up values (1470 / 0.045), not the Guitar command's.
TEST_F(AppTest, ModeCommandsSetTheTitleTheDialAndTheTuningValuesOfGuitarAndSinging) {
    ASSERT_TRUE(start());
    const std::tuple<uint16_t, InstrumentKind, const char*, float, float> steps[] = {
        {commandViolin, InstrumentKind::Violin, "Veldra -- Violin", 1470.0f, 0.045f},
        {commandGuitar, InstrumentKind::Guitar, "Veldra -- Guitar", 2756.0f, 0.035f},
        {commandCello, InstrumentKind::Cello, "Veldra -- Cello", 2756.0f, 0.035f},
        {commandSinging, InstrumentKind::Singing, "Veldra -- Singing", 1378.0f, 0.08f},
        {commandBass, InstrumentKind::Bass, "Veldra -- Bass", 1378.0f, 0.08f},
    };
    for (const auto& [command, kind, title, span, tolerance] : steps) {
        SCOPED_TRACE(title);
        clearTextCalls();
        postMessage(mainWindow(), messageCommand, command, 0);
        pump();
        EXPECT_EQ(tunerChoices().mode, kind);
        EXPECT_EQ(navigationBarTitle(), title);
        EXPECT_EQ(dialState().lowOctave, modeEntry(kind)->lowOctave);
        EXPECT_EQ(std::tuple(validatorState().smoothingSpan, validatorState().periodTolerance),
                  std::tuple(span, tolerance));
        ASSERT_FALSE(textCalls().empty());  // repainted with the new mode's text
        EXPECT_EQ(textCalls()[0].text, composeInstrumentInfo(kind));
    }
}

// Losing the desktop's focus, being minimised (cancel-mode) and running short of memory
// (hibernate) suspend; set-focus and a press of the stylus do not resume, the focus coming
// back does. (Choosing a mode from the menu pauses until a tap: the end-to-end test.)
TEST_F(AppTest, FocusLossMinimisingAndLowMemorySuspendUntilTheFocusComesBack) {
    ASSERT_TRUE(start());
    for (const InputKind event :
         {InputKind::FocusLost, InputKind::Minimised, InputKind::LowMemory}) {
        SCOPED_TRACE(static_cast<int>(event));
        backEnd.queue({event});
        pump();
        sendMessage(mainWindow(), messageSetFocus, 0, 0);
        sendMessage(mainWindow(), messageButtonDown, buttonStateDown, 0);
        EXPECT_TRUE(tunerState().paused);
        EXPECT_TRUE(isDrawingSuspended());
        EXPECT_EQ(desktopReadout().kind, ReadoutKind::Paused);  // the strip told by the tuner
        backEnd.queue({InputKind::FocusLost});  // a minimised window loses the focus too
        backEnd.queue({InputKind::FocusGained});
        pump();
        EXPECT_FALSE(tunerState().paused);
        EXPECT_FALSE(isDrawingSuspended());
        EXPECT_EQ(desktopReadout().kind, ReadoutKind::Empty);
    }
}

// Control+Q deactivates (the display is closed with drawing suspended), then closes; the
// loop ends with 0.
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

// ---- The program's life from entry to exit: failures at start-up and their messages, the
// shut-down order, a second start.

using Seen = std::vector<std::string>;

// Help > Content when no browser takes the page (the opener fails): a message box says
// where the page is (or that it is missing) instead of nothing happening.
TEST_F(AppTest, HelpWithoutABrowserSaysWhereThePageIs) {
    ASSERT_TRUE(start());
    setenv(helpOpenerVariable, "false", 1);
    answerModalsWithEnter();
    sendMessage(mainWindow(), messageCommand, commandContent, 0);
    unsetenv(helpOpenerVariable);
    ASSERT_EQ(seenModals.size(), 1u);
    EXPECT_EQ(seenModals[0].rfind("Help: ", 0), 0u) << seenModals[0];
}

// "Sound input failed!" once, then the close: the stream stopped, the display closed
// while the hand-off's lock was still there, then the lock gone; exit code 1, since the
// program did not do what it was started for.
TEST_F(AppTest, WithoutASoundDeviceTheFailureIsShownOnceAndTheProgramEndsInOrder) {
    input.devices = 0;
    input.failure = "no sound system: Connection refused";
    answerModalsWithEnter();
    bool streamStoppedAtClose = false, lockStillThereAtClose = false;
    screen.setCloseObserver([&] {
        streamStoppedAtClose = captureStream().thread == nullptr;
        lockStillThereAtClose = handoffState().notifyWindow != nullptr;
    });
    EXPECT_EQ(programEntry(&programResources(), showNormal), 1);
    // The reason, in the box and the readout, for a player who never sees standard error.
    EXPECT_EQ(seenModals, (Seen{"Detect Setting",
                                "Fatal error: Sound input failed!\n"
                                "no sound system: Connection refused"}));
    EXPECT_EQ(desktopReadout(), failedInputReadout("no sound system: Connection refused"));
    EXPECT_EQ(screen.closeCalls(), 1);
    EXPECT_TRUE(streamStoppedAtClose);
    EXPECT_TRUE(lockStillThereAtClose);
    EXPECT_EQ(handoffState().notifyWindow, nullptr);
    EXPECT_FALSE(isWindow(shellState().menuBar));
}

// The display's own message and nothing else, not even the notice; the screen closed, the
// reason on standard error and exit code 1. (Every refused display: display_output_test.)
TEST_F(AppTest, ADisplayThatCannotBeHadEndsTheProgramWithItsOwnMessage) {
    screen.setBitsPerPixel(32);
    answerModalsWithEnter();
    testing::internal::CaptureStderr();
    EXPECT_EQ(programEntry(&programResources(), showNormal), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "veldra: cannot use the display: Support only 16 bit pixel format.\n");
    EXPECT_EQ(seenModals, (Seen{"Graphics: Support only 16 bit pixel format."}));
    EXPECT_EQ(shellState().firstPaintDone, 0);
    EXPECT_FALSE(screen.isOpen());
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

// A running copy that takes the request but does not answer within a second: the second
// start says so and ends with 1 at once, showing nothing.
TEST_F(AppTest, ASecondStartWithoutAnAnswerSaysSoAndEndsWithOne) {
    char className[100], title[100];
    loadString(programResources(), classNameString, className, sizeof className);
    loadString(programResources(), titleString, title, sizeof title);
    InstanceListener* hung = startInstanceListener(
        className, title,
        [](void*, bool) { std::this_thread::sleep_for(std::chrono::milliseconds(1500)); }, nullptr);
    ASSERT_NE(hung, nullptr);
    whenIdle([] { return ADD_FAILURE() << "the second start waited for input", false; });
    ::testing::internal::CaptureStderr();
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(programEntry(&programResources(), showNormal), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(1400));
    const std::string said = ::testing::internal::GetCapturedStderr();
    stopInstanceListener(hung);
    EXPECT_EQ(said, "veldra: the running copy (process " + std::to_string(getpid()) +
                        ") does not answer; not starting another\n");
    EXPECT_EQ(mainWindow(), nullptr);
}

// A start that cannot keep to one window, here for an XDG_RUNTIME_DIR too long for a
// socket's name, says why on standard error and opens its window all the same. (The
// folders that are refused, and the reason each gives: the next test.)
TEST_F(AppTest, WhySingleInstanceIsOffIsSaid) {
    ScratchFolder scratch;
    const std::string deep = scratch.path(std::string(100, 'd'));
    std::filesystem::create_directory(deep);
    std::string kept;
    if (const char* value = std::getenv("XDG_RUNTIME_DIR")) kept = value;
    ::setenv("XDG_RUNTIME_DIR", deep.c_str(), 1);
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(start());
    const std::string line = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(line, "veldra: single instance off: the socket's path " + deep + "/veldra/instance-" +
                        line.substr(line.find("instance-") + 9, 16) +
                        " is longer than a socket's name may be (107 bytes); another start "
                        "opens another window\n");
    EXPECT_NE(mainWindow(), nullptr);
    if (kept.empty())
        ::unsetenv("XDG_RUNTIME_DIR");
    else
        ::setenv("XDG_RUNTIME_DIR", kept.c_str(), 1);
}

// The name lives in a folder only the user may enter, $XDG_RUNTIME_DIR/veldra or else
// veldra-<uid> in $TMPDIR, and goes with its window; a stale one (its copy gone) is taken
// over. A folder that is a link, open to others or another user's is not used at all.
TEST(SingleInstanceTest, TheNameLivesInAPrivateFolderAndAStaleOneIsTakenOver) {
    namespace fs = std::filesystem;
    setInstanceNamespace("test-" + std::to_string(getpid()));
    ScratchFolder scratch;
    const std::string uid = std::to_string(getuid());
    for (const char* f : {"run", "tmp", "linked", "open", "wide", "others"})
        fs::create_directory(scratch.path(f));
    fs::create_directory_symlink(scratch.path("open"), scratch.path("linked/veldra-" + uid));
    fs::permissions(scratch.path("open"), fs::perms::all);
    fs::create_directory(scratch.path("wide/veldra-" + uid));
    fs::create_directory(scratch.path("others/veldra-" + uid));
    fs::permissions(scratch.path("others/veldra-" + uid), fs::perms::owner_all);
    if (::chown(scratch.path("others/veldra-" + uid).c_str(), 65534, 65534) != 0)
        std::printf("not root: no folder of another user to try (giving one away takes root)\n");
    const std::tuple<const char*, const char*, std::string> cases[] = {
        {"run", nullptr, scratch.path("run/veldra")},
        {nullptr, "tmp", scratch.path("tmp/veldra-" + uid)},
        {nullptr, "linked", ""},
        {nullptr, "wide", ""},
        {nullptr, "others", getuid() == 0 ? "" : scratch.path("others/veldra-" + uid)},
    };
    const std::map<std::string, std::string> refusedBecause = {
        {"linked", " is a symbolic link"},
        {"wide", " is open to other users"},
        {"others", "belongs to another user"},
    };
    std::map<std::string, std::string> kept;
    for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"})
        if (const char* value = std::getenv(name)) kept[name] = value;
    int forward = 0;
    const auto count = [](void* n, bool) { ++*static_cast<int*>(n); };
    for (const auto& [runtime, temporary, folder] : cases) {
        SCOPED_TRACE(runtime ? runtime : temporary);
        if (runtime) ::setenv("XDG_RUNTIME_DIR", scratch.path(runtime).c_str(), 1);
        if (!runtime)
            ::unsetenv("XDG_RUNTIME_DIR"), ::setenv("TMPDIR", scratch.path(temporary).c_str(), 1);
        InstanceListener* listener = startInstanceListener("Class", "Title", count, &forward);
        RunningWindow running;
        if (folder.empty()) {
            EXPECT_EQ(listener, nullptr);
            std::string why;
            EXPECT_FALSE(findRunningWindow("Class", "Title", running, &why));
            EXPECT_NE(why.find(refusedBecause.at(temporary)), std::string::npos) << why;
            EXPECT_TRUE(fs::is_empty(scratch.path("open")));
            continue;
        }
        ASSERT_NE(listener, nullptr);
        EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
        const std::vector<fs::path> sockets{fs::directory_iterator(folder),
                                            fs::directory_iterator()};
        ASSERT_EQ(sockets.size(), 1u);
        EXPECT_TRUE(fs::is_socket(sockets[0]));
        ASSERT_TRUE(findRunningWindow("Class", "Title", running));
        EXPECT_TRUE(bringRunningWindowForward(running, false));
        stopInstanceListener(listener);
        EXPECT_FALSE(fs::exists(sockets[0]));
        // A copy that ended without removing its socket.
        const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{AF_UNIX, {}};
        sockets[0].string().copy(address.sun_path, sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(stale, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ::close(stale);
        EXPECT_FALSE(findRunningWindow("Class", "Title", running));
        listener = startInstanceListener("Class", "Title", count, &forward);
        ASSERT_NE(listener, nullptr);
        ASSERT_TRUE(findRunningWindow("Class", "Title", running));
        EXPECT_TRUE(bringRunningWindowForward(running, false));
        stopInstanceListener(listener);
    }
    EXPECT_EQ(forward, getuid() == 0 ? 4 : 6);
    ::unsetenv("TMPDIR");
    for (const auto& [name, value] : kept)
        ::setenv(name.c_str(), value.c_str(), 1);
}

}  // namespace
}  // namespace veldra
