// The menu bar and its menus: opening takes the focus without deactivating, items post
// their commands after the focus is back, taps elsewhere only close, plain buttons, the
// keyboard, and the menu staying on top of what is drawn beneath it.
#include <gtest/gtest.h>

#include "platform/window_chrome.h"
#include "platform/window_system.h"
#include "support/block_font.h"
#include "support/window_fixture.h"

namespace veldra {
namespace {

const MenuItem fileItems[] = {{"Open", 100}, {"Exit", 101}};
const MenuItem modeItems[] = {{"One", 201}, {"Two", 202}, {"Three", 203}};
const MenuBarButton buttons[] = {
    {"File", 50, MenuButtonKind::DropDown, fileItems, -1},   // 4 cells + 16: x 0..40
    {"Mode", 51, MenuButtonKind::DropDown, modeItems, -1},   // x 40..80
    {"", 300, MenuButtonKind::Plain, {}, 0},                 // x 80..108, an image
};
const MenuBarDescription description{102, buttons};

// Block font: items are 16 rows (10 + 2 * 3); the menu sits on row 294, 2 rows of frame.
constexpr int32_t itemHeight = 16;
int32_t itemCentreY(int32_t items, int32_t index) { return 294 - (items * itemHeight + 4) + 2 + index * itemHeight + 8; }

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
    WindowHandle window = nullptr;
    WindowHandle bar = nullptr;
};

using Numbers = std::vector<uint32_t>;

TEST_F(MenuTest, OpeningTakesTheFocusWithoutDeactivating) {
    backEnd.queue({InputKind::PointerDown, 10, 305});
    pump();
    EXPECT_EQ(openMenuButton(), 0);
    EXPECT_EQ(receivedNumbers(), (Numbers{messageKillFocus}));
    EXPECT_EQ(activeWindow(), window);
    // The menu opens upward from its button, above the menu bar.
    const Rect menu = popupMenuRect(blockSystemFonts(), fileItems, {0, 295, 40, 320});
    EXPECT_EQ(menu.bottom, 294);
    EXPECT_EQ(menu.top, 294 - 2 * itemHeight - 4);
    EXPECT_EQ(backEnd.lastPicture()[static_cast<size_t>((menu.top + 1) * 240 + 5)], rgb565FromColourRef(chromeWindow));
    EXPECT_EQ(backEnd.lastPicture()[static_cast<size_t>(menu.top * 240 + 5)], rgb565FromColourRef(chromeText));
}

TEST_F(MenuTest, AnItemClosesTheMenuGivesTheFocusBackThenPostsItsCommand) {
    backEnd.tap(10, 305);                       // opens; the lift over the button keeps it open
    backEnd.tap(20, itemCentreY(2, 1));         // "Exit"
    pump();
    EXPECT_EQ(openMenuButton(), -1);
    EXPECT_EQ(receivedNumbers(), (Numbers{messageKillFocus, messageSetFocus, messageCommand}));
    EXPECT_EQ(received(messageCommand)[0].wParam, 101u);
    EXPECT_EQ(received(messageCommand)[0].window, window);
    EXPECT_EQ(received(messageButtonDown).size(), 0u);
    EXPECT_EQ(received(messagePaint).size(), 1u);  // what the menu covered is repainted
    EXPECT_EQ(focusWindow(), window);
}

TEST_F(MenuTest, ATapElsewhereOnlyClosesTheMenu) {
    backEnd.tap(10, 305);
    backEnd.tap(200, 100);                      // the window's client area
    pump();
    EXPECT_EQ(openMenuButton(), -1);
    EXPECT_EQ(receivedNumbers(), (Numbers{messageKillFocus, messageSetFocus}));
    backEnd.tap(10, 305);
    backEnd.tap(10, 305);                       // its own button again closes it too
    pump();
    EXPECT_EQ(openMenuButton(), -1);
    EXPECT_EQ(received(messageCommand).size(), 0u);
}

TEST_F(MenuTest, MovingToAnotherButtonSwitchesMenus) {
    backEnd.tap(10, 305);
    backEnd.queue({InputKind::PointerDown, 50, 305});
    backEnd.queue({InputKind::PointerMove, 60, itemCentreY(3, 2)});
    backEnd.queue({InputKind::PointerUp, 60, itemCentreY(3, 2)});  // press, drag, lift: "Three"
    pump();
    EXPECT_EQ(receivedNumbers(), (Numbers{messageKillFocus, messageSetFocus, messageCommand}));
    EXPECT_EQ(received(messageCommand)[0].wParam, 203u);
}

TEST_F(MenuTest, APlainButtonPostsItsCommandWhenLiftedOverIt) {
    backEnd.tap(90, 305);
    backEnd.queue({InputKind::PointerDown, 90, 305});
    backEnd.queue({InputKind::PointerUp, 150, 305});  // slid off: nothing
    pump();
    EXPECT_EQ(receivedNumbers(), (Numbers{messageCommand}));
    EXPECT_EQ(received(messageCommand)[0].wParam, 300u);
}

TEST_F(MenuTest, KeysOpenMoveChooseAndClose) {
    backEnd.press(keyF10);                      // the first menu, first item lit
    backEnd.press(keyDown);
    backEnd.press(keyReturn);                   // "Exit"
    backEnd.press(keyF10);
    backEnd.press(keyRight);                    // the next drop-down: "Mode"
    backEnd.press(keyUp);                       // wraps to "Three"
    backEnd.press(keyReturn);
    backEnd.press(keyF10);
    backEnd.press(keyEscape);
    pump();
    const auto commands = received(messageCommand);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].wParam, 101u);
    EXPECT_EQ(commands[1].wParam, 203u);
    EXPECT_EQ(openMenuButton(), -1);
    // Any other key closes the menu and goes on to the window.
    backEnd.press(keyF10);
    backEnd.press('Q', 0, true);
    receivedMessages().clear();
    pump();
    EXPECT_EQ(openMenuButton(), -1);
    EXPECT_EQ(received(messageKeyDown).size(), 1u);
}

TEST_F(MenuTest, TheMenuStaysOnTopOfFramesDrawnBeneathIt) {
    backEnd.tap(10, 305);
    pump();
    const Rect menu = popupMenuRect(blockSystemFonts(), fileItems, {0, 295, 40, 320});
    uint16_t* memory = screen.beginDraw();
    ASSERT_EQ(memory, nullptr);  // the display is not open: the game calls give nothing
    screen.openDisplay(*window, 0);
    memory = screen.beginDraw();
    std::fill(memory + 26 * 240, memory + 294 * 240, uint16_t{0x7BEF});
    screen.endDraw();
    pump();
    const auto& picture = backEnd.lastPicture();
    EXPECT_EQ(picture[static_cast<size_t>((menu.top + 1) * 240 + 5)], rgb565FromColourRef(chromeWindow));
    EXPECT_EQ(picture[static_cast<size_t>(100 * 240 + 200)], 0x7BEF);
}

TEST_F(MenuTest, TheBarShowsItsCaptionsAndItsImage) {
    uint16_t image[16 * 16];
    std::fill(std::begin(image), std::end(image), uint16_t{0xF800});
    EXPECT_EQ(addMenuBarBitmap(bar, {16, 16, image}, 1), 0);
    EXPECT_EQ(addMenuBarBitmap(window, {16, 16, image}, 1), -1);  // not a menu bar
    pump();
    EXPECT_EQ(screen.pixel(94, 307), 0xF800);                       // image centred in x 80..108
    EXPECT_EQ(screen.pixel(9, 294 + 1 + (25 - 10) / 2 + blockInkTop), rgb565FromColourRef(chromeText));  // "File"
    EXPECT_EQ(screen.pixel(5, 300), rgb565FromColourRef(chromeFace));
    // Destroying the owner takes the bar with it.
    destroyWindow(window);
    EXPECT_FALSE(isWindow(bar));
}

}  // namespace
}  // namespace veldra
