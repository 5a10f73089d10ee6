// The window system on the headless back end: its loop, the menus, dialogs and message
// boxes, text in glyph fonts, and finding a running window from another process.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/canvas/glyph_font.h"
#include "platform/desktop/single_instance.h"
#include "platform/windows/window_chrome.h"
#include "platform/windows/window_system.h"
#include "tests/support/block_font.h"
#include "tests/support/polling.h"
#include "tests/support/rect_equality.h"
#include "tests/support/window_fixture.h"

namespace veldra {
namespace {

// ---- The window system's loop on the headless back end: creation and activation, the
// order in which getMessage hands messages out, the default procedure, destroyed handles,
// posts from other threads, paint and erasing, stylus routing, accelerators and the
// desktop's events.

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

// Posted messages come first, then input (a key down with the modifiers held, the key up),
// then quit; the window's first paint waits behind all of them.
TEST_F(WindowSystemTest, PostedMessagesComeFirstThenInputThenQuitThenPaint) {
    const WindowHandle w = makeWindow();
    backEnd.press('Z', true);
    postMessage(w, 960, 5, 6);
    postQuitMessage(3);
    std::vector<std::tuple<uint32_t, uintptr_t, intptr_t>> got;
    WindowMessage m;
    while (getMessage(&m))
        got.emplace_back(m.message, m.wParam, m.lParam);
    EXPECT_EQ(got, (std::vector<std::tuple<uint32_t, uintptr_t, intptr_t>>{
                       {960, 5, 6},
                       {messageKeyDown, 'Z', keyWithControl},
                       {messageKeyUp, 'Z', keyWithControl}}));
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
    EXPECT_EQ(std::tuple(screen.pixel(0, 26), screen.pixel(239, 293), screen.pixel(10, 25),
                         screen.pixel(10, 294)),
              std::tuple(0, 0, 0x5555, 0x5555));
    // A context draws in client coordinates, clipped to the client area, and is presented.
    DrawingContext* context = w->getDrawingContext();
    ASSERT_NE(context, nullptr);
    context->fillRect({-5, -5, 300, 3}, 0x0000FF);
    w->releaseDrawingContext(*context);
    EXPECT_EQ(std::pair(screen.pixel(0, 26), screen.pixel(0, 25)),
              (std::pair<uint16_t, uint16_t>(0xF800, 0x5555)));
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
    backEnd.queue({InputKind::KeyDown, 0, 0, 'A', true, true});
    backEnd.queue({InputKind::KeyDown, 0, 0, 'Q', true});
    const AcceleratorTable table{3, entries};
    pump(w, &table);
    EXPECT_EQ(receivedNumbers(), (Numbers{messageKeyDown, messageKeyDown, messageCommand}));
    const uintptr_t command = received(messageCommand)[0].wParam;
    EXPECT_EQ(std::pair(lowWord(command), highWord(command)),
              (std::pair<uint16_t, uint16_t>(1, commandFromAccelerator)));
}

TEST_F(WindowSystemTest, DesktopEventsBecomeTheHandheldsMessages) {
    const WindowHandle w = makeWindow();
    pump();
    receivedMessages().clear();
    for (InputKind kind : {InputKind::FocusLost, InputKind::FocusGained, InputKind::Minimised,
                           InputKind::SettingChanged, InputKind::LowMemory})
        backEnd.queue({kind});
    pump();
    EXPECT_EQ(receivedNumbers(),
              (Numbers{messageActivate, messageKillFocus, messageActivate, messageSetFocus,
                       messageCancelMode, messageSettingChange, messageHibernate}));
    EXPECT_EQ(received(messageActivate)[0].wParam, activationInactive);
    EXPECT_EQ(received(messageActivate)[1].wParam, activationActive);
    backEnd.queue({InputKind::CloseRequested});
    pump();
    EXPECT_FALSE(isWindow(w));
    EXPECT_EQ(received(messageDestroy).size(), 1u);
}

// ---- The menu bar and its menus: opening takes the focus without deactivating, items
// post their commands after the focus is back, taps elsewhere only close, plain buttons,
// the keyboard, and the menu staying on top of what is drawn beneath it.

const MenuItem fileItems[] = {{"Open", 100}, {"Exit", 101}};
const MenuItem modeItems[] = {{"One", 201}, {"Two", 202}, {"Three", 203}};
const MenuBarButton buttons[] = {
    {"File", 50, MenuButtonKind::DropDown, fileItems, -1},  // 4 cells + 16: x 0..40
    {"Mode", 51, MenuButtonKind::DropDown, modeItems, -1},  // x 40..80
    {"", 300, MenuButtonKind::Plain, {}, 0},                // x 80..108, an image
};
const MenuBarDescription description{102, buttons};  // the bar keeps it: outlives the bar

class MenuTest : public WindowSystemTest {
  protected:
    void SetUp() override {
        WindowSystemTest::SetUp();
        window = makeWindow();
        bar = createMenuBar(window, description);
        ASSERT_NE(bar, nullptr);
        pump();
        receivedMessages().clear();
    }
    // The commands the window received.
    static std::vector<uintptr_t> commands() {
        std::vector<uintptr_t> ids;
        for (const ReceivedMessage& m : received(messageCommand))
            ids.push_back(m.wParam);
        return ids;
    }
    WindowHandle window = nullptr;
    WindowHandle bar = nullptr;
};

// The menu opens upward from its button, above the menu bar, and stays on top of frames
// the display draws beneath it.
TEST_F(MenuTest, OpeningTakesTheFocusWithoutDeactivatingAndStaysOnTop) {
    backEnd.queue({InputKind::PointerDown, 10, 305});
    pump();
    EXPECT_EQ(openMenuButton(), 0);
    EXPECT_EQ(receivedNumbers(), (Numbers{messageKillFocus}));
    EXPECT_EQ(activeWindow(), window);
    const Rect menu = popupMenuRect(blockSystemFonts(), fileItems, {0, 295, 40, 320});
    EXPECT_EQ(std::pair(menu.top, menu.bottom), std::pair(294 - 2 * 16 - 4, 294));
    const auto shown = [&](int32_t x, int32_t y) {
        return backEnd.lastPicture()[static_cast<size_t>(y * 240 + x)];
    };
    EXPECT_EQ(shown(5, menu.top + 1), rgb565FromColourRef(chromeWindow));
    EXPECT_EQ(shown(5, menu.top), rgb565FromColourRef(chromeText));
    ASSERT_EQ(screen.beginDraw(), nullptr);  // the display is not open: the game calls give nothing
    screen.openDisplay(*window, 0);
    uint16_t* memory = screen.beginDraw();
    std::fill(memory + 26 * 240, memory + 294 * 240, uint16_t{0x7BEF});
    screen.endDraw();
    pump();
    EXPECT_EQ(shown(5, menu.top + 1), rgb565FromColourRef(chromeWindow));
    EXPECT_EQ(shown(200, 100), 0x7BEF);
}

// An item closes the menu, gives the focus back, then posts its command; what the menu
// covered is repainted.
TEST_F(MenuTest, AnItemClosesTheMenuGivesTheFocusBackThenPostsItsCommand) {
    backEnd.tap(10, 305);              // opens; the lift over the button keeps it open
    backEnd.tap(20, menuItemY(2, 1));  // "Exit"
    pump();
    EXPECT_EQ(openMenuButton(), -1);
    EXPECT_EQ(receivedNumbers(), (Numbers{messageKillFocus, messageSetFocus, messageCommand}));
    EXPECT_EQ(commands(), std::vector<uintptr_t>{101});
    EXPECT_EQ(received(messageCommand)[0].window, window);
    EXPECT_EQ(received(messagePaint).size(), 1u);
    EXPECT_EQ(focusWindow(), window);
}

// A tap in the window or on the open menu's own button only closes it; pressing another
// button, dragging to an item and lifting there chooses from the other menu.
TEST_F(MenuTest, TapsElsewhereCloseAndDraggingSwitchesMenus) {
    backEnd.tap(10, 305);
    backEnd.tap(200, 100);
    backEnd.tap(10, 305);
    backEnd.tap(10, 305);
    pump();
    EXPECT_EQ(openMenuButton(), -1);
    EXPECT_EQ(receivedNumbers(),
              (Numbers{messageKillFocus, messageSetFocus, messageKillFocus, messageSetFocus}));
    backEnd.tap(10, 305);
    backEnd.queue({InputKind::PointerDown, 50, 305});
    backEnd.queue({InputKind::PointerMove, 60, menuItemY(3, 2)});
    backEnd.queue({InputKind::PointerUp, 60, menuItemY(3, 2)});  // "Three"
    pump();
    EXPECT_EQ(commands(), std::vector<uintptr_t>{203});
}

TEST_F(MenuTest, APlainButtonPostsItsCommandWhenLiftedOverIt) {
    backEnd.tap(90, 305);
    backEnd.queue({InputKind::PointerDown, 90, 305});
    backEnd.queue({InputKind::PointerUp, 150, 305});  // slid off: nothing
    pump();
    EXPECT_EQ(receivedNumbers(), (Numbers{messageCommand}));
    EXPECT_EQ(commands(), std::vector<uintptr_t>{300});
}

// F10 opens the first menu with its first item lit; Down, Up (wrapping), Right to the
// next drop-down, Enter and Escape; any other key closes the menu and goes to the window.
TEST_F(MenuTest, KeysOpenMoveChooseAndClose) {
    for (uint32_t key :
         {keyF10, keyDown, keyReturn, keyF10, keyRight, keyUp, keyReturn, keyF10, keyEscape})
        backEnd.press(key);
    pump();
    EXPECT_EQ(commands(), (std::vector<uintptr_t>{101, 203}));
    EXPECT_EQ(openMenuButton(), -1);
    backEnd.press(keyF10);
    backEnd.press('Q', true);
    receivedMessages().clear();
    pump();
    EXPECT_EQ(openMenuButton(), -1);
    EXPECT_EQ(received(messageKeyDown).size(), 1u);
}

TEST_F(MenuTest, TheBarShowsItsCaptionsAndItsImageAndGoesWithItsOwner) {
    uint16_t image[16 * 16];
    std::fill(std::begin(image), std::end(image), uint16_t{0xF800});
    EXPECT_EQ(addMenuBarBitmap(bar, {16, 16, image}, 1), 0);
    EXPECT_EQ(addMenuBarBitmap(window, {16, 16, image}, 1), -1);  // not a menu bar
    pump();
    EXPECT_EQ(screen.pixel(94, 307), 0xF800);  // image centred in x 80..108
    EXPECT_EQ(screen.pixel(9, 294 + 1 + (25 - 10) / 2 + blockInkTop),
              rgb565FromColourRef(chromeText));  // "File"
    EXPECT_EQ(screen.pixel(5, 300), rgb565FromColourRef(chromeFace));
    destroyWindow(window);
    EXPECT_FALSE(isWindow(bar));
}

// ---- Dialogs and message boxes: their modal loops, the owner's deactivation and
// reactivation, paint held back from covered windows, Enter / Escape / Done / button taps,
// the quit message and the owner's end inside a modal loop.

// Block font: dialog units are 6 / 4 pixels across and 8 / 8 down.
const DialogControl controls[] = {
    {DialogControlKind::CentredText, -1, "Hello", 0, 8, 160, 8, {}},
    {DialogControlKind::Button, 7, "Other", 8, 100, 40, 16, {}},          // x 12..72, y 126..142
    {DialogControlKind::DefaultButton, 1012, "OK", 80, 100, 40, 16, {}},  // x 120..180
};
const DialogTemplate testDialog{118, "Test Dialog", 160, 200, 9, controls};

std::vector<uint16_t> commands;  // what the dialog procedure was told

bool testDialogProc(WindowHandle dialog, uint32_t message, uintptr_t wParam, intptr_t) {
    if (message == messageInitDialog)
        initDialog(dialog, dialogDoneButton | dialogFullScreen | dialogInputPanelDown);
    if (message != messageCommand) return message == messageInitDialog;
    commands.push_back(lowWord(wParam));
    if (lowWord(wParam) == 1 || lowWord(wParam) == 1012) endDialog(dialog, lowWord(wParam));
    return false;
}

// What the owner of a dialog or a message box receives while it is up and as it closes.
const Numbers deactivatedAndBack = {messageActivate, messageKillFocus, messageActivate,
                                    messageSetFocus};

class DialogTest : public WindowSystemTest {
  protected:
    void SetUp() override {
        WindowSystemTest::SetUp();
        commands.clear();
        owner = makeWindow("Owner");
        pump();
        receivedMessages().clear();
    }
    // Runs script once, the first time the dialog's loop would wait.
    void whenUp(std::function<void()> script) {
        backEnd.setIdleScript([script, done = false]() mutable {
            if (!done) script();
            return !std::exchange(done, true);
        });
    }
    WindowHandle owner = nullptr;
};

// The owner is deactivated while the dialog is up and activated after; its paint waits
// until the dialog is gone and it is active again. (Escape, the Done button, answers the
// About box in app_test.)
TEST_F(DialogTest, TheOwnerIsDeactivatedWhileUpAndItsPaintWaits) {
    invalidateWindow(owner, true);
    std::string titleWhileUp;
    size_t paintsWhileUp = 99;
    whenUp([&] {
        titleWhileUp = navigationBarTitle();
        paintsWhileUp = received(messagePaint).size();
        backEnd.press(keyReturn);
    });
    EXPECT_EQ(dialogBox(testDialog, owner, testDialogProc), 1012);
    EXPECT_EQ(receivedNumbers(), deactivatedAndBack);
    EXPECT_EQ(received(messageActivate)[0].wParam, activationInactive);
    EXPECT_EQ(titleWhileUp, "Test Dialog");
    EXPECT_EQ(paintsWhileUp, 0u);
    EXPECT_EQ(navigationBarTitle(), "Owner");
    EXPECT_EQ(commands, std::vector<uint16_t>{1012});
    EXPECT_TRUE(modalWindows().empty());
    EXPECT_EQ(activeWindow(), owner);
    ASSERT_TRUE(updateWindow(owner));
    EXPECT_EQ(received(messagePaint).size(), 1u);
}

TEST_F(DialogTest, AMessageBoxHoldsBackOnlyThePaintOfWhatItCovers) {
    static const MenuBarButton buttons[] = {{"File", 50, MenuButtonKind::Plain, {}, -1}};
    static const MenuBarDescription menu{102, buttons};  // the bar keeps it
    ASSERT_NE(createMenuBar(owner, menu), nullptr);
    invalidateWindow(owner, true);
    size_t ownerPaints = 99;
    uint16_t menuBarPixel = 0;
    whenUp([&] {
        ownerPaints = received(messagePaint).size();
        menuBarPixel = backEnd.lastPicture()[300 * 240 + 200];
        backEnd.press(keyReturn);
    });
    showMessageBox(owner, "Sound input failed!", "Fatal error", 48);
    EXPECT_EQ(ownerPaints, 0u);                                // under the box: held back
    EXPECT_EQ(menuBarPixel, rgb565FromColourRef(chromeFace));  // beside it: painted
}

// Full screen below the navigation bar, over the menu bar's rows too; a text wider than
// the dialog (300 dialog units are 450 pixels here) breaks inside the screen.
TEST_F(DialogTest, TheDialogIsDrawnFullScreenAndKeepsItsControlsInside) {
    const DialogControl wide[] = {{DialogControlKind::Text,
                                   -1,
                                   "aaaa bbbb cccc dddd eeee ffff gggg hhhh iiii jjjj kkkk",
                                   0,
                                   0,
                                   300,
                                   40,
                                   {}},
                                  controls[2]};
    std::vector<uint16_t> picture;
    whenUp([&] {
        picture = backEnd.lastPicture();
        backEnd.press(keyReturn);
    });
    dialogBox({99, "Wide", 160, 200, 9, wide}, owner, testDialogProc);
    ASSERT_EQ(picture.size(), 240u * 320u);
    const auto at = [&](int32_t x, int32_t y) { return picture[static_cast<size_t>(y * 240 + x)]; };
    EXPECT_EQ(at(2, 318), rgb565FromColourRef(chromeWindow));
    EXPECT_EQ(at(130, 26 + 100 + 8), rgb565FromColourRef(chromeFace));  // the OK button's face
    EXPECT_EQ(at(130, 26 + 100), rgb565FromColourRef(chromeText));      // its frame
    EXPECT_EQ(at(navigationDoneRect.left, 10), rgb565FromColourRef(colourWhite));  // Done's frame
    int32_t inkRight = 0, inkSecondLine = 0;
    for (int32_t y = 26; y < 60; ++y) {
        for (int32_t x = 0; x < 240; ++x) {
            if (at(x, y) != rgb565FromColourRef(chromeText)) continue;
            inkRight = std::max(inkRight, x);
            inkSecondLine += y >= 36;
        }
    }
    EXPECT_LT(inkRight, 236);
    EXPECT_GT(inkSecondLine, 0);
}

TEST_F(DialogTest, ButtonsAnswerATapThatStartsAndEndsOnThem) {
    whenUp([&] {
        backEnd.queue({InputKind::PointerDown, 130, 26 + 105});
        backEnd.queue({InputKind::PointerUp, 200, 26 + 60});  // slid off: nothing
        backEnd.tap(20, 26 + 105);                            // "Other"
        backEnd.tap(100, 150);                                // no control
        backEnd.tap(215, 12);                                 // Done
    });
    EXPECT_EQ(dialogBox(testDialog, owner, testDialogProc), 1);
    EXPECT_EQ(commands, (std::vector<uint16_t>{7, 1}));
    EXPECT_TRUE(received(messageButtonDown).empty());  // the owner got no stylus
}

// Escape and a tap on its OK button answer a message box; a tap elsewhere does not.
TEST_F(DialogTest, AMessageBoxAnswersOkAndDeactivatesItsOwner) {
    std::string text, caption;
    whenUp([&] {
        ASSERT_EQ(modalWindows().size(), 1u);
        text = messageBoxText(modalWindows()[0]);
        caption = messageBoxCaption(modalWindows()[0]);
        backEnd.tap(120, 40);
        backEnd.press(keyEscape);
    });
    EXPECT_EQ(screen.messageBox(owner, "Sound input failed!", "Fatal error", 48), 1);
    EXPECT_EQ(text, "Sound input failed!");
    EXPECT_EQ(caption, "Fatal error");
    EXPECT_EQ(receivedNumbers(), deactivatedAndBack);
    const Rect button = layOutMessageBox(blockSystemFonts(), "Sound input failed!", true).button;
    whenUp([&] { backEnd.tap((button.left + button.right) / 2, button.top + 5); });
    EXPECT_EQ(showMessageBox(owner, "Sound input failed!", "Fatal error", 48), 1);
}

TEST_F(DialogTest, TheQuitMessageOrTheOwnersEndEndTheLoop) {
    whenUp([] { postQuitMessage(7); });
    EXPECT_EQ(dialogBox(testDialog, owner, testDialogProc), 0);
    WindowMessage m;
    EXPECT_FALSE(getMessage(&m));  // the quit stays for the loop outside
    EXPECT_EQ(m.wParam, 7u);
    whenUp([this] { postMessage(owner, messageClose, 0, 0); });
    EXPECT_EQ(dialogBox(testDialog, owner, testDialogProc), 0);
    EXPECT_FALSE(isWindow(owner));
    EXPECT_TRUE(modalWindows().empty());
    whenUp([this] { backEnd.press(keyReturn); });
    EXPECT_EQ(showMessageBox(owner, "gone", "owner", 48), 1);  // a dead owner: shown without one
}

// ---- Text layout and drawing in glyph fonts: word breaks, centring, clipping, the opaque
// line box, UTF-8 and blending. Uses the block font (support/block_font.h), whose glyphs
// are 4 x 6 blocks in 6-pixel cells.

const GlyphFont font = makeBlockFont();

// 7 cells fit in 42 pixels. The spaces at a break belong to no line; spaces inside a
// line, and at the edges of a whole line, stay. A word wider than the rectangle keeps a
// line of its own; newlines end lines and empty lines count.
TEST(TextLayoutTest, BreaksBeforeTheWordThatDoesNotFit) {
    using Lines = std::vector<std::string>;
    const struct {
        const char* text;
        int32_t width;
        bool wordBreak;
        Lines expected;
    } cases[] = {
        {"aaa bbb ccc", 42, true, {"aaa bbb", "ccc"}},
        {"aaa bbb ccc", 41, true, {"aaa", "bbb", "ccc"}},
        {"aa   bb    cccccc", 42, true, {"aa   bb", "cccccc"}},
        {"aaa bbb ccc", 42, false, {"aaa bbb ccc"}},
        {" O.K. ", 200, true, {" O.K. "}},
        {"a verylongword b", 30, true, {"a", "verylongword", "b"}},
        {"verylongword", 6, true, {"verylongword"}},
        {"one\n\ntwo\n", 200, true, {"one", "", "two"}},
    };
    for (const auto& c : cases) {
        const std::string_view text = c.text;
        Lines lines;
        layOutText(font, text, c.width, c.wordBreak, [&](const TextLine& l) {
            lines.emplace_back(text.substr(l.begin, l.end - l.begin));
            EXPECT_EQ(l.width, textWidth(font, lines.back()));
        });
        EXPECT_EQ(lines, c.expected) << text << " in " << c.width;
    }
    EXPECT_EQ(textHeight(font, "one\n\ntwo\n", 200, true), 3 * blockLineHeight);
}

// A 60 x 40 canvas of its own, filled with a marker colour.
struct Canvas {
    std::vector<uint16_t> memory = std::vector<uint16_t>(60 * 40, 0x1234);
    PixelCanvas canvas{memory.data(), 1, 60, {0, 0, 60, 40}};
    uint16_t at(int32_t x, int32_t y) const { return memory[static_cast<size_t>(y * 60 + x)]; }
};

constexpr uint16_t red = rgb565(255, 0, 0), blue = rgb565(0, 0, 255), white = rgb565(255, 255, 255);
constexpr int32_t ink = blockInkTop;  // the first row of a glyph's block

// Line 1, 18 pixels wide, starts at (60 - 18) / 2 = 21; line 2 too; each line's box is
// filled with the background.
TEST(TextDrawingTest, CentresEachLineAndFillsItsBoxWithTheBackground) {
    Canvas c;
    drawText(c.canvas, font, "a b\nccc", {0, 5, 60, 40}, textCentre, 0x0000FF, 0xFF0000);
    EXPECT_EQ(
        std::tuple(c.at(20, 5 + ink), c.at(21, 5), c.at(22, 5 + ink), c.at(29, 5 + ink),
                   c.at(35, 5 + ink)),
        std::tuple(0x1234, blue, red, blue, red));  // left of the box, above the ink, a, space, b
    EXPECT_EQ(c.at(39, 5 + ink), 0x1234);           // right of the box
    EXPECT_EQ(c.at(22, 15 + ink), red);             // line 2 under line 1
    EXPECT_EQ(c.at(22, 25), 0x1234);                // nothing below
}

TEST(TextDrawingTest, ClipsToTheRectangleUnlessToldNotTo) {
    Canvas clipped, loose, centred;
    drawText(clipped.canvas, font, "abcdef", {0, 0, 12, 10}, 0, 0xFFFFFF, 0);
    EXPECT_EQ(clipped.at(8, ink), white);    // second glyph, inside
    EXPECT_EQ(clipped.at(14, ink), 0x1234);  // third, outside: not drawn
    drawText(loose.canvas, font, "abcdef", {0, 0, 12, 10}, textNoClip, 0xFFFFFF, 0);
    EXPECT_EQ(loose.at(14, ink), white);
    // A centred line wider than its rectangle spills out on both sides: it starts at 24 - 12.
    drawText(centred.canvas, font, "abcdef", {24, 0, 36, 10}, textCentre | textNoClip, 0xFFFFFF, 0);
    EXPECT_EQ(centred.at(13, ink), white);
}

TEST(TextDrawingTest, ReadsUtf8AndStandsInForMissingCharacters) {
    size_t at = 0;
    EXPECT_EQ(nextCodePoint("\xC3\xA9", at), U'\u00E9');
    EXPECT_EQ(at, 2u);
    at = 0;
    EXPECT_EQ(nextCodePoint("\xE4\xB8\xAD", at), U'\u4E2D');
    at = 0;
    EXPECT_EQ(nextCodePoint("\xC3(", at), U'?');  // a broken sequence
    EXPECT_EQ(textWidth(font, "\xC3\xA9\xE4\xB8\xAD"), 2 * blockAdvance);
    EXPECT_EQ(glyphFor(font, U'\u4E2D'), glyphFor(font, U'?'));
    const GlyphFont empty;
    EXPECT_EQ(glyphFor(empty, U'a'), nullptr);
    EXPECT_EQ(textWidth(empty, "abc"), 0);
}

TEST(TextDrawingTest, BlendsPartialCoverageAndDrawsOverWhatIsThere) {
    GlyphFont half = makeBlockFont();
    half.coverage[half.glyphs[U'x' - 32].offset + ink * blockInkColumns] =
        128;  // one half-covered pixel
    Canvas c, over;
    drawTextLine(c.canvas, half, "x", 0, 0, 0xFFFFFF, 0x000000);
    EXPECT_EQ(c.at(1, ink), rgb565(128, 128, 128));
    fillRect(over.canvas, {0, 0, 60, 40}, blue);
    drawTextLineOver(over.canvas, half, "x", 0, 0, 0x0000FF);
    EXPECT_EQ(over.at(1, ink), rgb565(128, 0, 127));  // half way from blue to red
    EXPECT_EQ(over.at(0, 0), blue);                   // no box behind
}

// ---- Finding a running window from another process and asking it to come to the front:
// the abstract socket per user, display, class name and title, and the peer checks.

using InstanceTest = WindowSystemTest;

TEST_F(InstanceTest, ARunningWindowIsFoundByClassAndTitleAndComesToTheFront) {
    const WindowHandle w = makeWindow("Tuner");
    RunningWindow found;
    EXPECT_FALSE(findRunningWindow(recordingClass, "Other title", found));
    EXPECT_FALSE(findRunningWindow("OTHER CLASS", "Tuner", found));
    ASSERT_TRUE(findRunningWindow(recordingClass, "Tuner", found));
    // The answer comes from the listener's thread while this one waits for it, so the
    // request is made on a thread of its own, as another process would.
    bool answered = false;
    std::thread asker([&] { answered = bringRunningWindowForward(found, true); });
    EXPECT_TRUE(
        eventually([&] { return backEnd.raises() > 0; }, std::chrono::seconds(2), [&] { pump(); }));
    asker.join();
    EXPECT_EQ(backEnd.raises(), 1);
    EXPECT_TRUE(answered);
    EXPECT_EQ(found.connection, -1);
    EXPECT_EQ(activeWindow(), w);
}

// The name belongs to one window and goes with it; another namespace (another test
// program, another display) never meets it.
TEST_F(InstanceTest, TheNameBelongsToOneWindowAndGoesWithIt) {
    const WindowHandle w = makeWindow("Tuner");
    EXPECT_EQ(startInstanceListener(
                  recordingClass, "Tuner", [](void*, bool) {}, nullptr),
              nullptr);
    destroyWindow(w);
    RunningWindow found;
    EXPECT_FALSE(findRunningWindow(recordingClass, "Tuner", found));
    makeWindow("Tuner");
    setInstanceNamespace("elsewhere");
    EXPECT_FALSE(findRunningWindow(recordingClass, "Tuner", found));
}

// A child process, as nobody, holds the name and answers every request.
TEST_F(InstanceTest, ASocketHeldByAnotherUserIsNoRunningCopy) {
    if (getuid() != 0) GTEST_SKIP() << "needs root to hold a socket as another user";
    const std::string name = instanceSocketName(recordingClass, "Squatted");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        sockaddr_un address{AF_UNIX, {}};
        std::memcpy(address.sun_path + 1, name.data(), name.size());
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (setgid(65534) != 0 || setuid(65534) != 0 ||
            bind(fd, reinterpret_cast<sockaddr*>(&address),
                 offsetof(sockaddr_un, sun_path) + 1 + name.size()) != 0 ||
            listen(fd, 4) != 0 || write(ready[1], "r", 1) != 1)
            _exit(2);
        for (;;) {
            const int peer = accept(fd, nullptr, nullptr);
            if (peer >= 0 && write(peer, "K", 1) == 1) close(peer);
        }
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    RunningWindow found;
    EXPECT_FALSE(findRunningWindow(recordingClass, "Squatted", found));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
}

}  // namespace
}  // namespace veldra
