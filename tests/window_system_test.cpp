// The window system on the headless back end: its loop, the menus, dialogs and message
// boxes, and text layout in glyph fonts.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/canvas/glyph_font.h"
#include "platform/chrome/window_chrome.h"
#include "platform/windows/window_system.h"
#include "tests/support/block_font.h"
#include "tests/support/window_fixture.h"

namespace veldra {
namespace {

// ---- The window system's loop on the headless back end: creation and activation, the
// order in which getMessage hands messages out. (Accelerators, the desktop's events and
// finding a running copy: app_test; stylus taps, and posts from another thread waking the
// loop: the end-to-end test.)

using Numbers = std::vector<uint32_t>;

// A visible window is created, activated and focused at once. Then posted messages come
// first, then input (a key down with the modifiers held, the key up), then quit; the
// window's first paint waits behind all of them.
TEST_F(WindowSystemTest, PostedMessagesComeFirstThenInputThenQuitThenPaint) {
    const WindowHandle w = makeWindow();
    EXPECT_EQ(receivedNumbers(), (Numbers{messageCreate, messageActivate, messageSetFocus}));
    EXPECT_EQ(std::tuple(activeWindow(), focusWindow(), navigationBarTitle()),
              std::tuple(w, w, "Recorder"));
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

// ---- The menu bar and its menus: opening takes the focus without deactivating, the
// keyboard, and the menu staying on top of what is drawn beneath it. (Choosing an item
// with the stylus: the end-to-end test.)

const MenuItem fileItems[] = {{"Open", 100}, {"Exit", 101}};
const MenuItem modeItems[] = {{"One", 201}, {"Two", 202}, {"Three", 203}};
const MenuBarButton buttons[] = {
    {"File", 50, MenuButtonKind::DropDown, fileItems, -1},  // 4 cells + 16: x 0..40
    {"Mode", 51, MenuButtonKind::DropDown, modeItems, -1},  // x 40..80
};
const MenuBarDescription description{102, buttons};  // the bar keeps it: outlives the bar

class MenuTest : public WindowSystemTest {
  protected:
    void SetUp() override {
        WindowSystemTest::SetUp();
        window = makeWindow();
        ASSERT_NE(createMenuBar(window, description), nullptr);
        pump();
        receivedMessages().clear();
    }
    WindowHandle window = nullptr;
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

// F10 opens the first menu with its first item lit; Down, Up (wrapping), Right to the
// next drop-down, Enter and Escape; any other key closes the menu and goes to the window.
TEST_F(MenuTest, KeysOpenMoveChooseAndClose) {
    for (uint32_t key :
         {keyF10, keyDown, keyReturn, keyF10, keyRight, keyUp, keyReturn, keyF10, keyEscape})
        backEnd.press(key);
    pump();
    const auto chosen = received(messageCommand);
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_EQ(std::pair(chosen[0].wParam, chosen[1].wParam),
              (std::pair<uintptr_t, uintptr_t>(101, 203)));
    EXPECT_EQ(openMenuButton(), -1);
    backEnd.press(keyF10);
    backEnd.press('Q', true);
    receivedMessages().clear();
    pump();
    EXPECT_EQ(openMenuButton(), -1);
    EXPECT_EQ(received(messageKeyDown).size(), 1u);
}

// ---- Dialogs and message boxes: their modal loops, the owner's deactivation and
// reactivation, paint held back from covered windows, the quit message and the owner's
// end inside a modal loop.

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

// A message box holds back the paint of what it covers, not of the menu bar beside it,
// and answers a tap on its OK button.
TEST_F(DialogTest, AMessageBoxHoldsBackOnlyThePaintOfWhatItCoversAndAnswersItsButton) {
    static const MenuBarButton buttons[] = {{"File", 50, MenuButtonKind::Plain, {}, -1}};
    static const MenuBarDescription menu{102, buttons};  // the bar keeps it
    ASSERT_NE(createMenuBar(owner, menu), nullptr);
    invalidateWindow(owner, true);
    size_t ownerPaints = 99;
    uint16_t menuBarPixel = 0;
    const Rect button = layOutMessageBox(blockSystemFonts(), "Sound input failed!", true).button;
    whenUp([&] {
        ownerPaints = received(messagePaint).size();
        menuBarPixel = backEnd.lastPicture()[300 * 240 + 200];
        backEnd.tap(120, 40);  // beside the button: nothing
        backEnd.tap((button.left + button.right) / 2, button.top + 5);
    });
    EXPECT_EQ(showMessageBox(owner, "Sound input failed!", "Fatal error", 48), 1);
    EXPECT_EQ(ownerPaints, 0u);                                // under the box: held back
    EXPECT_EQ(menuBarPixel, rgb565FromColourRef(chromeFace));  // beside it: painted
}

// A path too wide for the box is broken where it stops fitting, and all of it is shown: in
// the block font, one block of ink per character in the text's rectangle.
TEST_F(DialogTest, AMessageBoxShowsAWholePath) {
    const std::string text =
        "No web browser could show the help page. It is "
        "/home/somebody/.local/share/a-folder-with-a-rather-long-name/veldra/Veldra.htm";
    const Rect area = layOutMessageBox(blockSystemFonts(), text, true).text;
    int32_t inked = -1;
    whenUp([&] {
        const auto& picture = backEnd.lastPicture();
        inked = 0;
        for (int32_t y = area.top; y < area.bottom; ++y)
            for (int32_t x = area.left; x < area.right; ++x)
                inked += picture[y * 240 + x] == rgb565FromColourRef(chromeText);
        backEnd.press(keyReturn);
    });
    EXPECT_EQ(showMessageBox(owner, text, "Help", 48), 1);
    const auto characters =
        std::count_if(text.begin(), text.end(), [](char c) { return c != ' '; });
    EXPECT_EQ(inked, characters * blockInkColumns * blockInkRows);
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

// ---- Text layout in glyph fonts: word breaks. Uses the block font (support/block_font.h),
// whose glyphs are 4 x 6 blocks in 6-pixel cells. (Drawing glyphs: window_fonts_sdl_test
// against SDL_ttf.)

const GlyphFont font = makeBlockFont();

// 7 cells fit in 42 pixels. The spaces at a break belong to no line; spaces inside a
// line, and at the edges of a whole line, stay. A word wider than the rectangle keeps a
// line of its own, or is broken where it stops fitting (a path after a '/'); newlines end
// lines and empty lines count.
TEST(TextLayoutTest, BreaksBeforeTheWordThatDoesNotFit) {
    using Lines = std::vector<std::string>;
    const struct {
        const char* text;
        int32_t width;
        bool wordBreak;
        Lines expected;
        bool breakLongWords = false;
    } cases[] = {
        {"aaa bbb ccc", 42, true, {"aaa bbb", "ccc"}},
        {"aaa bbb ccc", 41, true, {"aaa", "bbb", "ccc"}},
        {"aa   bb    cccccc", 42, true, {"aa   bb", "cccccc"}},
        {"aaa bbb ccc", 42, false, {"aaa bbb ccc"}},
        {"a verylongword b", 30, true, {"a", "verylongword", "b"}},
        {"one\n\ntwo\n", 200, true, {"one", "", "two"}},
        {"a verylongword b", 30, true, {"a", "veryl", "ongwo", "rd b"}, true},
        {"It is /usr/share/veldra/Veldra.htm",
         60,
         true,
         {"It is", "/usr/", "share/", "veldra/", "Veldra.htm"},
         true},
        {"x\xC3\xA9\xC3\xA9\xC3\xA9", 12, true, {"x\xC3\xA9", "\xC3\xA9\xC3\xA9"}, true},
    };
    for (const auto& c : cases) {
        const std::string_view text = c.text;
        Lines lines;
        layOutText(
            font, text, c.width, c.wordBreak,
            [&](const TextLine& l) {
                lines.emplace_back(text.substr(l.begin, l.end - l.begin));
                EXPECT_EQ(l.width, textWidth(font, lines.back()));
            },
            c.breakLongWords);
        EXPECT_EQ(lines, c.expected) << text << " in " << c.width;
    }
    EXPECT_EQ(textHeight(font, "one\n\ntwo\n", 200, true), 3 * blockLineHeight);
}

}  // namespace
}  // namespace veldra
