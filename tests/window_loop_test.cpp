// The window system's loop on the headless back end: creation and activation, the order
// in which getMessage hands messages out, the default procedure, destroyed handles,
// posts from other threads, paint and erasing, stylus routing, accelerators and the
// desktop's events.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/window_system.h"
#include "support/window_fixture.h"

namespace veldra {
namespace {

using Numbers = std::vector<uint32_t>;

TEST_F(WindowSystemTest, AVisibleWindowIsCreatedActivatedAndFocused) {
    const WindowHandle w = makeWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(receivedNumbers(), (Numbers{messageCreate, messageActivate, messageSetFocus}));
    EXPECT_EQ(received(messageActivate)[0].wParam, activationActive);
    EXPECT_EQ(activeWindow(), w);
    EXPECT_EQ(focusWindow(), w);
    EXPECT_EQ(navigationBarTitle(), "Recorder");
    const Rect r = w->screenRect();
    EXPECT_EQ(r.top, 26);
    EXPECT_EQ(r.bottom, 320);
    EXPECT_EQ(createWindow("NO SUCH CLASS", "x", styleVisible, nullptr, nullptr), nullptr);
    EXPECT_FALSE(registerClass({0, defWindowProc, {0, 0, nullptr}, 0, recordingClass}));  // taken
}

TEST_F(WindowSystemTest, PostedMessagesComeFirstThenInputThenQuitThenPaint) {
    const WindowHandle w = makeWindow();
    receivedMessages().clear();
    backEnd.press('Z', U'z');
    postMessage(w, 960, 5, 6);
    postQuitMessage(3);
    WindowMessage m;
    ASSERT_TRUE(getMessage(&m));
    EXPECT_EQ(m.message, 960u);
    EXPECT_EQ(m.wParam, 5u);
    ASSERT_TRUE(getMessage(&m));
    EXPECT_EQ(m.message, messageKeyDown);
    EXPECT_EQ(m.wParam, uint32_t{'Z'});
    EXPECT_EQ(m.lParam, intptr_t{'z'});
    EXPECT_TRUE(translateMessage(m));  // posts the character
    ASSERT_TRUE(getMessage(&m));
    EXPECT_EQ(m.message, messageChar);
    ASSERT_TRUE(getMessage(&m));
    EXPECT_EQ(m.message, messageKeyUp);
    EXPECT_FALSE(getMessage(&m));
    EXPECT_EQ(m.message, messageQuit);
    EXPECT_EQ(m.wParam, 3u);
    ASSERT_TRUE(peekMessage(&m));  // the window still waits for its first paint
    EXPECT_EQ(m.message, messagePaint);
    EXPECT_EQ(m.window, w);
}

TEST_F(WindowSystemTest, CloseDestroysAndTheDeadHandleIsHarmless) {
    const WindowHandle w = makeWindow();
    receivedMessages().clear();
    postMessage(w, messageClose, 0, 0);
    postMessage(w, 960, 0, 0);  // waits behind the close: dropped once the window is gone
    pump();
    EXPECT_EQ(receivedNumbers(), (Numbers{messageClose, messageDestroy}));
    EXPECT_FALSE(isWindow(w));
    EXPECT_EQ(activeWindow(), nullptr);
    EXPECT_FALSE(destroyWindow(w));
    EXPECT_EQ(sendMessage(w, messageClose, 0, 0), 0);
    EXPECT_FALSE(invalidateWindow(w, true));
    EXPECT_EQ(beginPaint(w), nullptr);
    EXPECT_FALSE(showWindow(w, showNormal));
    EXPECT_EQ(receivedNumbers(), (Numbers{messageClose, messageDestroy}));
}

TEST_F(WindowSystemTest, APostFromAnotherThreadWakesAWaitingLoop) {
    const WindowHandle w = makeWindow();
    pump();
    backEnd.setWaitLimitMs(5000);
    std::thread poster([w] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        postMessage(w, 960, 0, 0);
    });
    WindowMessage m;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(getMessage(&m));
    poster.join();
    EXPECT_EQ(m.message, 960u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(WindowSystemTest, PaintErasesWithTheClassBackgroundOnlyInsideTheClientArea) {
    const WindowHandle w = makeWindow();
    pump();
    std::fill(screen.pixels(), screen.pixels() + 240 * 320, uint16_t{0x5555});
    ASSERT_TRUE(moveWindow(w, 0, 26, 240, 268, false));
    invalidateWindow(w, true);
    receivedMessages().clear();
    pump();
    ASSERT_EQ(received(messagePaint).size(), 1u);
    EXPECT_EQ(screen.pixel(0, 26), 0);        // erased to black
    EXPECT_EQ(screen.pixel(239, 293), 0);
    EXPECT_EQ(screen.pixel(10, 25), 0x5555);  // navigation bar row untouched
    EXPECT_EQ(screen.pixel(10, 294), 0x5555); // below the window untouched
    pump();
    EXPECT_EQ(received(messagePaint).size(), 1u);  // painting validated it
    // A context draws in client coordinates, clipped to the client area.
    DrawingContext* context = w->getDrawingContext();
    ASSERT_NE(context, nullptr);
    context->fillRect({-5, -5, 300, 3}, 0x0000FF);
    w->releaseDrawingContext(*context);
    EXPECT_EQ(screen.pixel(0, 26), rgb565FromColourRef(0x0000FF));
    EXPECT_EQ(screen.pixel(0, 25), 0x5555);
    pump();
    EXPECT_EQ(backEnd.lastPicture()[26 * 240], rgb565FromColourRef(0x0000FF));  // presented
}

TEST_F(WindowSystemTest, StylusGoesToTheWindowInClientCoordinatesAndItsUpFollowsTheDown) {
    const WindowHandle w = makeWindow();
    pump();
    receivedMessages().clear();
    backEnd.tap(100, 126);
    backEnd.tap(100, 10);                                  // navigation bar: nothing
    backEnd.queue({InputKind::PointerDown, 5, 300});
    backEnd.queue({InputKind::PointerMove, 6, 200});
    backEnd.queue({InputKind::PointerUp, 7, 5});           // lifted over the navigation bar
    pump();
    const auto downs = received(messageButtonDown);
    const auto ups = received(messageButtonUp);
    ASSERT_EQ(downs.size(), 2u);
    ASSERT_EQ(ups.size(), 2u);
    EXPECT_EQ(downs[0].wParam, buttonStateDown);
    EXPECT_EQ(pointX(downs[0].lParam), 100);
    EXPECT_EQ(pointY(downs[0].lParam), 100);
    EXPECT_EQ(pointY(downs[1].lParam), 274);
    EXPECT_EQ(pointY(received(messageMouseMove)[0].lParam), 174);
    EXPECT_EQ(pointX(ups[1].lParam), 7);
    EXPECT_EQ(pointY(ups[1].lParam), -21);
    EXPECT_EQ(ups[1].window, w);
}

TEST_F(WindowSystemTest, AcceleratorsSendTheirCommandOnlyWithTheirModifiers) {
    const WindowHandle w = makeWindow();
    pump();
    const Accelerator entries[] = {{acceleratorVirtualKey | acceleratorControl, 'A', 40003},
                                   {acceleratorVirtualKey | acceleratorControl, 'Q', 1}};
    const AcceleratorTable table{3, entries};
    receivedMessages().clear();
    InputEvent key{InputKind::KeyDown};
    key.key = 'A';
    backEnd.queue(key);        // without Control
    key.control = true;
    key.shift = true;
    backEnd.queue(key);        // with Shift too
    key.shift = false;
    key.key = 'Q';
    backEnd.queue(key);
    WindowMessage m;
    int32_t translated = 0;
    while (peekMessage(&m)) {
        if (translateAccelerator(w, table, m)) {
            ++translated;
        } else {
            dispatchMessage(m);
        }
    }
    EXPECT_EQ(translated, 1);
    const auto commands = received(messageCommand);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(lowWord(commands[0].wParam), 1);
    EXPECT_EQ(highWord(commands[0].wParam), commandFromAccelerator);
    EXPECT_EQ(received(messageKeyDown).size(), 2u);  // the other two went on as keys
}

TEST_F(WindowSystemTest, DesktopEventsBecomeTheHandheldsMessages) {
    const WindowHandle w = makeWindow();
    pump();
    receivedMessages().clear();
    backEnd.queue({InputKind::FocusLost});
    backEnd.queue({InputKind::FocusGained});
    backEnd.queue({InputKind::Minimised});
    backEnd.queue({InputKind::SettingChanged});
    backEnd.queue({InputKind::LowMemory});
    pump();
    EXPECT_EQ(receivedNumbers(), (Numbers{messageActivate, messageKillFocus, messageActivate, messageSetFocus,
                                          messageCancelMode, messageSettingChange, messageHibernate}));
    EXPECT_EQ(received(messageActivate)[0].wParam, activationInactive);
    EXPECT_EQ(received(messageActivate)[1].wParam, activationActive);
    backEnd.queue({InputKind::CloseRequested});
    pump();
    EXPECT_FALSE(isWindow(w));
    EXPECT_EQ(received(messageDestroy).size(), 1u);
}

}  // namespace
}  // namespace veldra
