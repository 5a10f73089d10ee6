// Window back end: what the window system needs from the desktop it runs on. The window
// system (window_system.h) keeps the handheld's screen in memory and decides everything
// else; a back end shows that screen, turns the desktop's input into InputEvents in
// screen pixels, and wakes the message loop when another thread posts a message.
//
// Back ends, side by side: SDL2 for the desktop program (platform/backends), the browser's
// (platform/web), and HeadlessBackEnd (platform/backends/headless), whose input is
// scripted, for tools and tests.
//
// Threads: wake() from any thread; everything else on the main thread.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/screen/screen.h"

namespace veldra {

enum class InputKind : int32_t {
    PointerDown,     // the stylus (left mouse button) touches at (x, y)
    PointerUp,       // ... is lifted at (x, y)
    PointerMove,     // ... moves to (x, y) while down
    KeyDown,         // key pressed: key, control, shift
    KeyUp,           // key released
    FocusGained,     // the desktop gave the program's window the keyboard focus
    FocusLost,       // ... took it away
    Minimised,       // the desktop window was minimised or hidden
    CloseRequested,  // the desktop window's close button
    LowMemory,       // the system runs short of memory
    SettingChanged,  // a system setting (locale, display) changed
};

struct InputEvent {
    InputKind kind;
    int32_t x = 0;         // screen pixels (0..239), pointer events only
    int32_t y = 0;         // screen pixels (0..319)
    uint32_t key = 0;      // virtual-key code, key events only
    bool control = false;  // Control held, key events only
    bool shift = false;    // Shift held
};

class WindowBackEnd {
  public:
    virtual ~WindowBackEnd() = default;

    // Shows the screen: 240 x 320 RGB565 pixels, row-major.
    virtual void present(const uint16_t* pixels) = 0;

    // Shows the desktop's readout strip below the screen: 240 pixels wide, as many rows as
    // the back end was made with, RGB565, row-major (kept until the next call).
    virtual void presentReadout(const uint16_t* pixels) = 0;

    // The next input event, if there is one. With wait, blocks until there is one or
    // until wake() is called; returns false when woken without input.
    virtual bool nextInput(InputEvent& event, bool wait) = 0;

    // Makes a waiting nextInput return. Any thread; cheap when called often.
    virtual void wake() = 0;

    // Brings the desktop window to the front.
    virtual void raise() = 0;

    // The desktop window's icon (the main window class's icon).
    virtual void setIcon(const Bitmap& icon) = 0;

    // The desktop window's own title, which the desktop shows (not the navigation bar's).
    virtual void setTitle(std::string_view title) = 0;
};

}  // namespace veldra
