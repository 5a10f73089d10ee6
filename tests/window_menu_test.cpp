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
    {"File", 50, MenuButtonKind::DropDown, fileItems, -1},  // 4 cells + 16: x 0..40
    {"Mode", 51, MenuButtonKind::DropDown, modeItems, -1},  // x 40..80
    {"", 300, MenuButtonKind::Plain, {}, 0},                // x 80..108, an image
};
const MenuBarDescription description{102, buttons};  // the bar keeps it: outlives the bar

// Block font: items are 16 rows (10 + 2 * 3); the menu sits on row 294, 2 rows of frame.
int32_t itemCentreY(int32_t items, int32_t index) { return 294 - (items * 16 + 4) + 2 + index * 16 + 8; }

using Numbers = std::vector<uint32_t>;

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
        for (const ReceivedMessage& m : received(messageCommand)) ids.push_back(m.wParam);
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
    const auto shown = [&](int32_t x, int32_t y) { return backEnd.lastPicture()[static_cast<size_t>(y * 240 + x)]; };
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
    backEnd.tap(10, 305);                // opens; the lift over the button keeps it open
    backEnd.tap(20, itemCentreY(2, 1));  // "Exit"
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
    EXPECT_EQ(receivedNumbers(), (Numbers{messageKillFocus, messageSetFocus, messageKillFocus, messageSetFocus}));
    backEnd.tap(10, 305);
    backEnd.queue({InputKind::PointerDown, 50, 305});
    backEnd.queue({InputKind::PointerMove, 60, itemCentreY(3, 2)});
    backEnd.queue({InputKind::PointerUp, 60, itemCentreY(3, 2)});  // "Three"
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
    for (uint32_t key : {keyF10, keyDown, keyReturn, keyF10, keyRight, keyUp, keyReturn, keyF10, keyEscape})
        backEnd.press(key);
    pump();
    EXPECT_EQ(commands(), (std::vector<uintptr_t>{101, 203}));
    EXPECT_EQ(openMenuButton(), -1);
    backEnd.press(keyF10);
    backEnd.press('Q', 0, true);
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
    EXPECT_EQ(screen.pixel(9, 294 + 1 + (25 - 10) / 2 + blockInkTop), rgb565FromColourRef(chromeText));  // "File"
    EXPECT_EQ(screen.pixel(5, 300), rgb565FromColourRef(chromeFace));
    destroyWindow(window);
    EXPECT_FALSE(isWindow(bar));
}

}  // namespace
}  // namespace veldra
