// The window system's state record and the helpers its source files share. Only the
// window system's own .cpp files include this, and the tests' hooks into it
// (tests/support/window_hooks.h); everyone else uses window_system.h.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "platform/canvas/canvas.h"
#include "platform/chrome/chrome.h"
#include "platform/desktop/desktop.h"
#include "platform/windows/window_screen.h"
#include "platform/windows/window_system.h"

namespace veldra {
namespace window_internal {

enum class WindowKind : int32_t { TopLevel, MenuBar, Dialog, MessageBox };

class SystemWindow;

// A drawing context lent by a window; a few per window, so that a paint can also take one.
class WindowContext final : public DrawingContext {
  public:
    ColourRef setBackgroundColour(ColourRef colour) override;
    ColourRef setTextColour(ColourRef colour) override;
    void fillRect(const Rect& rect, const ColourRef colour) override;
    void copyBitmap(const Bitmap& bitmap, int32_t x, int32_t y) override;
    void drawText(std::string_view text, const Rect& rect, uint32_t flags) override;

    SystemWindow* window = nullptr;      // the owner; set when lent
    bool lent = false;                   // handed out and not yet released
    ColourRef textColour = colourBlack;  // black on white when lent
    ColourRef backgroundColour = colourWhite;
};

inline constexpr size_t contextsPerWindow = 4;

class SystemWindow final : public Window {
  public:
    // Window
    Rect screenRect() const override { return rect; }
    Rect clientRect() const override {
        return {0, 0, rect.right - rect.left, rect.bottom - rect.top};
    }
    Screen& screen() override;
    DrawingContext* getDrawingContext() override;
    void releaseDrawingContext(DrawingContext& context) override;

    WindowKind kind = WindowKind::TopLevel;
    WindowProc procedure = nullptr;  // gets every message sent or dispatched
    std::string className;           // empty for the system's own windows
    std::string title;
    std::string navigationText;          // setNavigationBarText; empty: the title is shown
    ColourRef background = colourBlack;  // erasing paints this
    uint32_t style = 0;
    Rect rect{};                    // screen pixels
    SystemWindow* owner = nullptr;  // destroyed with it; gets its commands (menu bar)
    bool visible = false;
    bool destroying = false;    // destroy has begun: no second one
    bool destroyed = false;     // gone: every call ignores it
    bool invalid = false;       // needs paint
    bool erasePending = false;  // the next beginPaint erases
    uint32_t fullScreenFlags = 0;
    InstanceListener* listener = nullptr;  // answers other processes looking for it

    // Dialogs.
    const DialogTemplate* dialogTemplate = nullptr;
    DialogProc dialogProc = nullptr;
    uint32_t dialogFlags = 0;  // initDialog's flags
    bool dialogEnded = false;  // endDialog was called
    intptr_t dialogResult = 0;
    int32_t pressedControl = -1;            // index of the push button held down, -1
    bool pressedOver = false;               // ... and the stylus is over it
    bool donePressed = false;               // the navigation bar's Done button is held down
    std::vector<std::string> controlTexts;  // setDialogItemText's, by control index; empty:
                                            // the template's
    int32_t focusedControl = -1;            // index framed by setDialogFocus, -1 for none

    // Message boxes.
    std::string messageText;
    std::string messageCaption;
    uint32_t messageStyle = 0;
    bool answered = false;
    MessageBoxLayout messageLayout{};

    // Menu bars.
    const MenuBarDescription* menu = nullptr;
    std::vector<Bitmap> images;  // strips added by addMenuBarBitmap

    std::array<WindowContext, contextsPerWindow> contexts{};
};

// An open drop-down menu, or a plain menu-bar button held down.
struct MenuTracking {
    SystemWindow* bar = nullptr;          // the bar; null when nothing is tracked
    int32_t button = -1;                  // the button open or held
    bool open = false;                    // a drop-down is open (else a plain button is held)
    Rect popup{};                         // where the open menu is drawn
    int32_t highlighted = -1;             // its lit item, -1 for none
    SystemWindow* focusBefore = nullptr;  // gets the focus back when the menu closes
};

// A drawText call through a window's context (kept only while recording).
struct TextCall {
    WindowHandle window;
    std::string text;
    Rect rect;  // client coordinates
    uint32_t flags;
    ColourRef textColour;
    ColourRef backgroundColour;
};

struct WindowSystemState {
    WindowBackEnd* backEnd = nullptr;  // startWindowSystem; null when stopped
    SystemScreen* screen = nullptr;    // the screen every window lies on
    SystemFonts fonts{};               // what chrome and window text are drawn with
    std::vector<WindowClass> classes;  // registered; names copied into classNames
    std::vector<std::unique_ptr<std::string>> classNames;
    std::vector<std::unique_ptr<SystemWindow>> windows;  // creation order; destroyed ones stay
    std::vector<SystemWindow*> modal;  // dialogs and message boxes up, bottom first
    SystemWindow* active = nullptr;    // the active window (gets activate)
    SystemWindow* focus = nullptr;     // the window that gets key messages
    SystemWindow* capture = nullptr;   // the window the stylus went down in: gets the up
    bool swallowUp = false;            // the stylus-down was used up: so is its up
    bool desktopFocused = true;        // the desktop window has the keyboard focus
    bool quitPending = false;          // postQuitMessage was called
    int32_t quitCode = 0;
    bool screenDirty = true;  // the screen changed since the last present
    MenuTracking menu;
    bool recordTexts = false;     // keep texts; set by the tests' hooks (tests/support)
    std::vector<TextCall> texts;  // the drawText calls while recording
    std::string shownTitle;       // the navigation bar's title as drawn last
};

WindowSystemState& state();

// The live window behind a handle, or null (not a window of ours, or destroyed).
SystemWindow* live(WindowHandle handle);

// The whole screen as a canvas.
PixelCanvas screenCanvas();
void markDirty();
// Shows the screen if it changed; an open menu is drawn on top first.
void presentIfDirty();

// Activation and focus (window_focus.cpp).
void activate(SystemWindow* window);
void setFocusTo(SystemWindow* window);
// Turns one input event into a message to hand out, or handles it; true with *message set.
bool routeInput(const InputEvent& event, WindowMessage* message);

// Menus (window_menus.cpp).
void openMenu(SystemWindow* bar, int32_t button, int32_t highlighted);
void closeMenu(int32_t chosenItem);
void drawOpenMenu();
// Stylus and keys while a menu is open or on the menu bar; true when used up.
bool menuPointer(InputKind kind, int32_t x, int32_t y);
bool menuKey(uint32_t key);
intptr_t menuBarProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Dialogs and message boxes (window_dialogs.cpp).
bool modalPointer(InputKind kind, int32_t x, int32_t y);
// Enter and Escape for the modal window in front; true when used up.
bool modalKey(const WindowMessage& message);

// Chrome (window_core.cpp).
void redrawNavigationBar();
// Invalidates, with erase, every visible window under rect.
void invalidateBeneath(const Rect& rect);

}  // namespace window_internal
}  // namespace veldra
