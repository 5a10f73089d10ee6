// Window: the handle the display engine and the views get for the program's main window.
//
// It says where the window is on the screen, how big its client area is, which screen it
// lies on, and lends a DrawingContext on its client area (client coordinates: (0, 0) is
// the client area's top-left pixel). The window system (SDL) and the headless screen
// (headless_window.h) implement it. The windows of this program have no frame or caption,
// so the client area starts at the window's own top-left corner.
//
// Thread: main thread only.
#pragma once

#include "platform/screen/drawing_context.h"
#include "platform/screen/game_display.h"

namespace veldra {

class Window {
  public:
    virtual ~Window() = default;

    // The window's rectangle in screen pixels.
    virtual Rect screenRect() const = 0;
    // The client area in client coordinates: left and top are 0.
    virtual Rect clientRect() const = 0;
    // The screen the window lies on.
    virtual Screen& screen() = 0;

    // A context on the client area, or null when none can be had; hand it back with
    // releaseDrawingContext when done (ClientDrawing does both).
    virtual DrawingContext* getDrawingContext() = 0;
    virtual void releaseDrawingContext(DrawingContext& context) = 0;
};

// Borrows a window's drawing context for one scope.
class ClientDrawing {
  public:
    explicit ClientDrawing(Window& window)
        : window_(window), context_(window.getDrawingContext()) {}
    ~ClientDrawing() {
        if (context_ != nullptr) window_.releaseDrawingContext(*context_);
    }
    ClientDrawing(const ClientDrawing&) = delete;
    ClientDrawing& operator=(const ClientDrawing&) = delete;

    // Null when the window gave none.
    DrawingContext* get() const { return context_; }

  private:
    Window& window_;
    DrawingContext* context_;
};

}  // namespace veldra
