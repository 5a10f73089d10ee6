// Dialogs and message boxes: their modal loops, the owner's deactivation and
// reactivation, paint held back from covered windows, Enter / Escape / Done / button
// taps, the quit message and the owner's end inside a modal loop.
#include <gtest/gtest.h>

#include <string>

#include "platform/window_chrome.h"
#include "platform/window_system.h"
#include "support/block_font.h"
#include "support/window_fixture.h"

namespace veldra {
namespace {

// Block font: dialog units are 6 / 4 pixels across and 8 / 8 down.
const DialogControl controls[] = {
    {DialogControlKind::CentredText, -1, "Hello", 0, 8, 160, 8, {}},
    {DialogControlKind::Button, 7, "Other", 8, 100, 40, 16, {}},          // x 12..72, y 126..142
    {DialogControlKind::DefaultButton, 1012, "OK", 80, 100, 40, 16, {}},  // x 120..180
};
const DialogTemplate testDialog{118, "Test Dialog", 160, 200, 9, controls};

std::vector<uint16_t> commands;  // what the dialog procedure was told

bool testDialogProc(WindowHandle dialog, uint32_t message, uintptr_t wParam, intptr_t) {
    if (message == messageInitDialog) initDialog(dialog, dialogDoneButton | dialogFullScreen | dialogInputPanelDown);
    if (message != messageCommand) return message == messageInitDialog;
    commands.push_back(lowWord(wParam));
    if (lowWord(wParam) == 1 || lowWord(wParam) == 1012) endDialog(dialog, lowWord(wParam));
    return false;
}

using Numbers = std::vector<uint32_t>;
// What the owner of a dialog or a message box receives while it is up and as it closes.
const Numbers deactivatedAndBack = {messageActivate, messageKillFocus, messageActivate, messageSetFocus};

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
// About box in app_shell_test.)
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
    const DialogControl wide[] = {{DialogControlKind::Text, -1, "aaaa bbbb cccc dddd eeee ffff gggg hhhh iiii jjjj kkkk", 0, 0, 300, 40, {}},
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
    EXPECT_EQ(at(130, 26 + 100 + 8), rgb565FromColourRef(chromeFace));            // the OK button's face
    EXPECT_EQ(at(130, 26 + 100), rgb565FromColourRef(chromeText));                 // its frame
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
        backEnd.tap(20, 26 + 105);                             // "Other"
        backEnd.tap(100, 150);                                 // no control
        backEnd.tap(215, 12);                                  // Done
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

}  // namespace
}  // namespace veldra
