// The window system: the handheld's message-driven windows, menus, dialogs and chrome on
// one 240 x 320 screen kept in memory, shown on the desktop by a back end
// (window_backend.h).
//
// Sections: messages and keys / life of the system / windows / messages and the loop /
// painting / the shell's calls (menu bar, navigation bar, full screen, dialogs'
// initialisation, activation handlers) / dialogs and message boxes / for tests and tools.
//
// Model. A window has a procedure that receives messages with the platform's numbers.
// sendMessage calls the procedure at once; postMessage queues the message (any thread:
// the capture thread's CaptureReadyMessage comes this way) and wakes the loop. getMessage
// hands out, in this order: posted messages, input turned into messages, the quit
// message, then paint for a window that needs it. defWindowProc is the default: close
// destroys the window (which sends destroy to it), paint validates (erasing), the rest
// returns 0. Handles of destroyed windows stay safe to pass: every call ignores them and
// their posted messages are dropped.
//
// Screen. Rows 0..25 are the navigation bar (Start flag, the title of the window in
// front, a Done button while a dialog that asked for one is up); a menu bar made with
// createMenuBar takes rows 294..319 and opens its pop-up menus upward. Windows draw
// through a DrawingContext in client coordinates, clipped to their client area.
//
// Focus and activation. A new visible top-level window is activated and gets the focus.
// Opening a menu takes the focus (kill-focus to its holder) without deactivating; closing
// it gives the focus back (set-focus), then sends the bar's owner exit-menu-loop, wParam 1
// when an item was chosen (its command is posted) and 0 when the menu closed with nothing
// chosen (Escape, a tap elsewhere, a dialog or the desktop taking over). A dialog or message box
// deactivates its owner (activate with state inactive, then kill-focus) while it is up and
// activates it again when it closes. The desktop window losing the focus deactivates the active
// window and closes any menu; regaining it activates it again. Minimising sends cancel-mode.
//
// Modal windows. dialogBox and showMessageBox run their own message loop until the
// dialog ends, its owner goes or the quit message comes (which they post again). While
// one is up, the windows beneath it get no stylus input, and those it overlaps no paint;
// when it goes they are repainted, so a window's paint always comes when nothing covers
// it.
//
// Keys. Key messages go to the window with the focus (wParam the virtual key, lParam
// the modifiers held: keyWithControl, keyWithShift). In a dialog, Enter presses the button
// framed by setDialogFocus, else the default button (or sends command 1 when there is
// none), and Escape the Done button (command 1; 2 without one); other keys go to the
// dialog's procedure as key messages. In a message box Enter and Escape answer OK. F10
// opens the first menu; in a menu, the arrows move, Enter chooses, Escape closes, any
// other key closes it and goes on as usual.
//
// Threads: postMessage and the wake-up from any thread; everything else on the main
// thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/canvas/canvas.h"
#include "platform/chrome/chrome.h"
#include "platform/kernel/kernel.h"
#include "platform/screen/screen.h"
#include "platform/windows/window_backend.h"

namespace veldra {

class SystemScreen;

// ---- messages and keys ----

inline constexpr uint32_t messageCreate = 1;
inline constexpr uint32_t messageDestroy = 2;
inline constexpr uint32_t messageActivate = 6;
inline constexpr uint32_t messageSetFocus = 7;
inline constexpr uint32_t messageKillFocus = 8;
inline constexpr uint32_t messagePaint = 15;
inline constexpr uint32_t messageClose = 16;
inline constexpr uint32_t messageQuit = 18;
inline constexpr uint32_t messageSettingChange = 26;
inline constexpr uint32_t messageCancelMode = 31;
inline constexpr uint32_t messageKeyDown = 256;
inline constexpr uint32_t messageKeyUp = 257;
inline constexpr uint32_t messageInitDialog = 272;
inline constexpr uint32_t messageCommand = 273;
inline constexpr uint32_t messageExitMenuLoop = 530;
inline constexpr uint32_t messageMouseMove = 512;
inline constexpr uint32_t messageButtonDown = 513;
inline constexpr uint32_t messageButtonUp = 514;
inline constexpr uint32_t messageHibernate = 1023;

// The first parameter of activate.
inline constexpr uintptr_t activationInactive = 0;
inline constexpr uintptr_t activationActive = 1;

// The first parameter of button-down: the stylus is down.
inline constexpr uintptr_t buttonStateDown = 1;

// The high word of a command's first parameter when an accelerator sent it.
inline constexpr uint16_t commandFromAccelerator = 1;

// Virtual-key codes (letters and digits are their upper-case characters).
inline constexpr uint32_t keyTab = 0x09;
inline constexpr uint32_t keyReturn = 0x0D;
inline constexpr uint32_t keyEscape = 0x1B;
inline constexpr uint32_t keySpace = 0x20;
inline constexpr uint32_t keyLeft = 0x25;
inline constexpr uint32_t keyUp = 0x26;
inline constexpr uint32_t keyRight = 0x27;
inline constexpr uint32_t keyDown = 0x28;
inline constexpr uint32_t keyF10 = 0x79;

// The long parameter of key messages: the modifiers held with the key.
inline constexpr intptr_t keyWithControl = 1;
inline constexpr intptr_t keyWithShift = 2;

// Command ids the window system itself sends.
inline constexpr uint16_t commandOk = 1;      // Done button; Enter without a default button
inline constexpr uint16_t commandCancel = 2;  // Escape in a dialog without a Done button

inline constexpr uint32_t styleVisible = 0x10000000;
inline constexpr int32_t showHide = 0;
inline constexpr int32_t showNormal = 1;

constexpr uintptr_t makeWParam(uint16_t low, uint16_t high) {
    return static_cast<uintptr_t>(low) | (static_cast<uintptr_t>(high) << 16);
}
// Client coordinates in the long parameter of stylus messages: x low, y high (signed).
constexpr intptr_t makePointParam(int32_t x, int32_t y) {
    return static_cast<intptr_t>(static_cast<uint16_t>(x) |
                                 (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16));
}
constexpr uint16_t lowWord(uintptr_t value) {
    return static_cast<uint16_t>(value & 0xFFFF);
}
constexpr uint16_t highWord(uintptr_t value) {
    return static_cast<uint16_t>((value >> 16) & 0xFFFF);
}
constexpr int32_t pointX(intptr_t param) {
    return static_cast<int16_t>(param & 0xFFFF);
}
constexpr int32_t pointY(intptr_t param) {
    return static_cast<int16_t>((param >> 16) & 0xFFFF);
}

using WindowProc = intptr_t (*)(WindowHandle window, uint32_t message, uintptr_t wParam,
                                intptr_t lParam);
// A dialog's procedure: true when it handled the message.
using DialogProc = bool (*)(WindowHandle dialog, uint32_t message, uintptr_t wParam,
                            intptr_t lParam);

// ---- life of the system ----

// Starts the window system on a back end, a screen and fonts (all kept, not owned, until
// stopWindowSystem). Posted window messages wake the back end from then on. False when
// it is already started.
bool startWindowSystem(WindowBackEnd& backEnd, SystemScreen& screen, const SystemFonts& fonts);

// Destroys the windows left, drops waiting messages and lets go of the back end.
void stopWindowSystem();

bool windowSystemStarted();

// ---- windows ----

struct WindowClass {
    uint32_t style;  // kept; every window repaints whole anyway
    WindowProc procedure;
    Bitmap icon;           // shown by the desktop for the program's window
    ColourRef background;  // what erasing paints the client area with
    std::string_view className;
};

// False for a class name already registered or an empty name or procedure.
bool registerClass(const WindowClass& windowClass);

// Creates a top-level window of a registered class (rect null: the default rectangle),
// sends it create, and, with styleVisible, shows and activates it. A top-level window
// with a title can be found by another process of the same user (single_instance.h),
// which may ask it to come to the front. Null when the class is unknown or create
// answers -1.
WindowHandle createWindow(std::string_view className, std::string_view title, uint32_t style,
                          const Rect* rect, WindowHandle owner);

// Destroys the window's owned windows, then sends it destroy. False for a window already
// destroyed (or being destroyed) or not a window.
bool destroyWindow(WindowHandle window);

bool isWindow(WindowHandle window);
bool moveWindow(WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height,
                bool repaint);
bool showWindow(WindowHandle window, int32_t showState);
// Sends paint now if the window needs it and no modal window overlaps it.
bool updateWindow(WindowHandle window);
// Raises the desktop window and, unless a modal window is up, activates window.
bool setForegroundWindow(WindowHandle window);

WindowHandle activeWindow();
WindowHandle focusWindow();

// ---- messages and the loop ----

bool postMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
intptr_t sendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
void postQuitMessage(int32_t exitCode);

// Waits for the next message; false when it is the quit message (its code in wParam).
bool getMessage(WindowMessage* message);
// The same without waiting: false when nothing is there (message->message is then 0)
// or for the quit message (messageQuit).
bool peekMessage(WindowMessage* message);

intptr_t dispatchMessage(const WindowMessage& message);
intptr_t defWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// A key-down matching an entry (key and modifiers) sends command to window, with
// commandFromAccelerator in the high word. True when it did.
bool translateAccelerator(WindowHandle window, const AcceleratorTable& table,
                          const WindowMessage& message);

// ---- painting ----

// Marks the whole client area for repainting, erased first with the class background
// when erase (or when an erase is already pending).
bool invalidateWindow(WindowHandle window, bool erase);
// Starts painting: erases if pending, validates, and lends a context (null for a window
// that is not one). Every beginPaint is followed by endPaint.
DrawingContext* beginPaint(WindowHandle window);
void endPaint(WindowHandle window, DrawingContext* context);

// ---- the shell's calls ----

// Makes a menu bar for owner from the description; its commands go to owner. Null when
// it cannot be made. The bar keeps referring to description, which must outlive it (the
// shell's descriptions are resources that live for the whole run).
WindowHandle createMenuBar(WindowHandle owner, const MenuBarDescription& description);
// Adds a strip of images (16 x 16 each, side by side) to a menu bar; the index of its
// first image, or -1.
int32_t addMenuBarBitmap(WindowHandle menuBar, const Bitmap& bitmap, int32_t images);

// The text the navigation bar shows for window while it is in front (instead of its title).
bool setNavigationBarText(WindowHandle window, std::string_view text);

// Shows the readout strip below the screen (window_backend.h): kept by the back end until
// the next call.
void showReadout(const uint16_t* pixels);

// The title the desktop shows for the program's window (its task bar, its frame): the
// program's name, or what the program must say even when the window is not looked at.
void setDesktopTitle(std::string_view title);

// Full-screen mode flags, as the shell numbers them.
inline constexpr uint32_t fullScreenShowTaskBar = 1;
inline constexpr uint32_t fullScreenHideInputPanel = 8;
inline constexpr uint32_t fullScreenShowStartIcon = 16;
bool setFullScreen(WindowHandle window, uint32_t flags);

// Dialog initialisation flags, as the shell numbers them.
inline constexpr uint32_t dialogDoneButton = 1;
inline constexpr uint32_t dialogFullScreen = 4;
inline constexpr uint32_t dialogInputPanelDown = 8;
// Adds the Done button and sizes the dialog to the screen below the navigation bar, as
// the flags ask.
bool initDialog(WindowHandle dialog, uint32_t flags);

// The shell's activation record of a window (12 bytes: size, then its own state).
struct ActivateInfo {
    uint32_t size;          // 12, set by the owner
    uint32_t lastActivate;  // the last activation state handled
    uint32_t settings;      // setting changes handled
};
static_assert(sizeof(ActivateInfo) == 12);
// Keeps the shell's state in info (the desktop has no input panel to raise or lower).
bool handleActivateMessage(WindowHandle window, uintptr_t wParam, intptr_t lParam,
                           ActivateInfo* info);
bool handleSettingChangeMessage(WindowHandle window, uintptr_t wParam, intptr_t lParam,
                                ActivateInfo* info);

// ---- dialogs and message boxes ----

// Shows the dialog modally over owner and returns the result given to endDialog (0 when
// it ended otherwise). The procedure gets initialise-dialog first.
intptr_t dialogBox(const DialogTemplate& dialogTemplate, WindowHandle owner, DialogProc procedure);
bool endDialog(WindowHandle dialog, intptr_t result);
// The text a dialog's control shows from now on, instead of its template's; false when
// the dialog has no control id.
bool setDialogItemText(WindowHandle dialog, int32_t id, std::string_view text);
// Frames control id as the one the keys act on (-1: none); false when there is no such
// control.
bool setDialogFocus(WindowHandle dialog, int32_t id);

// Shows text with caption and an OK button (with the exclamation icon for style 48)
// modally over owner; returns 1 (OK), or 0 when the quit message or the owner's end
// took it away.
int32_t showMessageBox(WindowHandle owner, std::string_view text, std::string_view caption,
                       uint32_t style);

// ---- for tests and tools ----

// The navigation bar's title as drawn last.
std::string navigationBarTitle();
// The open menu's button index on its bar, or -1.
int32_t openMenuButton();
// Dialogs and message boxes up, bottom first.
std::vector<WindowHandle> modalWindows();
// Where control id of the dialog in front lies on the screen, and item index of the open
// menu; empty rectangles when there is none.
Rect frontDialogControlRect(int32_t id);
Rect openMenuItemRect(int32_t index);
// The text and caption of a message box window (empty for other windows).
std::string messageBoxText(WindowHandle window);
std::string messageBoxCaption(WindowHandle window);

// Queued messages addressed to the window system itself.
inline constexpr uint32_t messageBringToFront =
    0x7FF0;  // from single_instance: wParam 1 with owned windows

}  // namespace veldra
