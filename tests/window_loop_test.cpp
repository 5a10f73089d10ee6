// The window system's loop on the headless back end: creation and activation, the order
// in which getMessage hands messages out, the default procedure, destroyed handles,
// posts from other threads, paint and erasing, stylus routing, accelerators and the
// desktop's events.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/window_system.h"
#include "support/rect_equality.h"
#include "support/window_fixture.h"

namespace veldra {
namespace {

using Numbers = std::vector<uint32_t>;

TEST_F(WindowSystemTest, AVisibleWindowIsCreatedActivatedAndFocused) {
    const WindowHandle w = makeWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(receivedNumbers(), (Numbers{messageCreate, messageActivate, messageSetFocus}));
    EXPECT_EQ(received(messageActivate)[0].wParam, activationActive);
    EXPECT_EQ(std::pair(activeWindow(), focusWindow()), std::pair(w, w));
    EXPECT_EQ(navigationBarTitle(), "Recorder");
    EXPECT_EQ(w->screenRect(), (Rect{0, 26, 240, 320}));
    EXPECT_EQ(createWindow("NO SUCH CLASS", "x", styleVisible, nullptr, nullptr), nullptr);
    EXPECT_FALSE(registerClass({0, defWindowProc, {0, 0, nullptr}, 0, recordingClass}));  // taken
}

// Posted messages come first, then input (a key down, the character it was translated
// into, the key up), then quit; the window's first paint waits behind all of them.
TEST_F(WindowSystemTest, PostedMessagesComeFirstThenInputThenQuitThenPaint) {
    const WindowHandle w = makeWindow();
    backEnd.press('Z', U'z');
    postMessage(w, 960, 5, 6);
    postQuitMessage(3);
    std::vector<std::tuple<uint32_t, uintptr_t, intptr_t>> got;
    WindowMessage m;
    while (getMessage(&m)) {
        got.emplace_back(m.message, m.wParam, m.lParam);
        translateMessage(m);
    }
    EXPECT_EQ(got, (std::vector<std::tuple<uint32_t, uintptr_t, intptr_t>>{
                       {960, 5, 6}, {messageKeyDown, 'Z', 'z'}, {messageChar, 'z', 0}, {messageKeyUp, 'Z', 0}}));
    EXPECT_EQ(std::pair(m.message, m.wParam), (std::pair<uint32_t, uintptr_t>(messageQuit, 3)));
    ASSERT_TRUE(peekMessage(&m));
    EXPECT_EQ(std::pair(m.message, m.window), std::pair(uint32_t{messagePaint}, w));
}

TEST_F(WindowSystemTest, CloseDestroysAndTheDeadHandleIsHarmless) {
    const WindowHandle w = makeWindow();
    receivedMessages().clear();
    postMessage(w, messageClose, 0, 0);
    postMessage(w, 960, 0, 0);  // waits behind the close: dropped once the window is gone
    pump();
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
    pump();
    EXPECT_EQ(received(messagePaint).size(), 1u);  // painting validated it
    // Erased to black; the navigation bar's row and the row below the window untouched.
    EXPECT_EQ(std::tuple(screen.pixel(0, 26), screen.pixel(239, 293), screen.pixel(10, 25), screen.pixel(10, 294)),
              std::tuple(0, 0, 0x5555, 0x5555));
    // A context draws in client coordinates, clipped to the client area, and is presented.
    DrawingContext* context = w->getDrawingContext();
    ASSERT_NE(context, nullptr);
    context->fillRect({-5, -5, 300, 3}, 0x0000FF);
    w->releaseDrawingContext(*context);
    EXPECT_EQ(std::pair(screen.pixel(0, 26), screen.pixel(0, 25)), (std::pair<uint16_t, uint16_t>(0xF800, 0x5555)));
    pump();
    EXPECT_EQ(backEnd.lastPicture()[26 * 240], 0xF800);
}

// A tap in the client area arrives in client coordinates; one on the navigation bar goes
// nowhere; the lift follows its press wherever it happens.
TEST_F(WindowSystemTest, StylusGoesToTheWindowInClientCoordinatesAndItsUpFollowsTheDown) {
    const WindowHandle w = makeWindow();
    pump();
    receivedMessages().clear();
    backEnd.tap(100, 126);
    backEnd.tap(100, 10);
    backEnd.queue({InputKind::PointerDown, 5, 300});
    backEnd.queue({InputKind::PointerMove, 6, 200});
    backEnd.queue({InputKind::PointerUp, 7, 5});
    pump();
    const auto downs = received(messageButtonDown), ups = received(messageButtonUp);
    ASSERT_EQ(std::pair(downs.size(), ups.size()), (std::pair<size_t, size_t>(2, 2)));
    EXPECT_EQ(downs[0].wParam, buttonStateDown);
    EXPECT_EQ(std::pair(pointX(downs[0].lParam), pointY(downs[0].lParam)), std::pair(100, 100));
    EXPECT_EQ(pointY(downs[1].lParam), 274);
    EXPECT_EQ(pointY(received(messageMouseMove)[0].lParam), 174);
    EXPECT_EQ(std::pair(pointX(ups[1].lParam), pointY(ups[1].lParam)), std::pair(7, -21));
    EXPECT_EQ(ups[1].window, w);
}

// Control+A and Control+Q in the table; 'A' alone and Control+Shift+A go on as keys.
TEST_F(WindowSystemTest, AcceleratorsSendTheirCommandOnlyWithTheirModifiers) {
    const WindowHandle w = makeWindow();
    pump();
    const Accelerator entries[] = {{acceleratorVirtualKey | acceleratorControl, 'A', 40003},
                                   {acceleratorVirtualKey | acceleratorControl, 'Q', 1}};
    receivedMessages().clear();
    backEnd.queue({InputKind::KeyDown, 0, 0, 'A'});
    backEnd.queue({InputKind::KeyDown, 0, 0, 'A', 0, true, true});
    backEnd.queue({InputKind::KeyDown, 0, 0, 'Q', 0, true});
    WindowMessage m;
    int32_t translated = 0;
    while (peekMessage(&m)) {
        if (translateAccelerator(w, {3, entries}, m)) {
            ++translated;
        } else {
            dispatchMessage(m);
        }
    }
    EXPECT_EQ(translated, 1);
    EXPECT_EQ(receivedNumbers(), (Numbers{messageKeyDown, messageKeyDown, messageCommand}));
    const uintptr_t command = received(messageCommand)[0].wParam;
    EXPECT_EQ(std::pair(lowWord(command), highWord(command)), (std::pair<uint16_t, uint16_t>(1, commandFromAccelerator)));
}

TEST_F(WindowSystemTest, DesktopEventsBecomeTheHandheldsMessages) {
    const WindowHandle w = makeWindow();
    pump();
    receivedMessages().clear();
    for (InputKind kind : {InputKind::FocusLost, InputKind::FocusGained, InputKind::Minimised,
                           InputKind::SettingChanged, InputKind::LowMemory})
        backEnd.queue({kind});
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
