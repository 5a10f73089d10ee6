// SystemScreen: the screen of the window system. One 240 x 320 RGB565 display memory,
// row-major (x pitch 2 bytes, y pitch 480), that the display engine writes frames into
// through the game-display calls and the window system draws windows and chrome into;
// the back end shows it. Its message boxes are the window system's (modal, answered by
// the user).
// (The tests' screen, tests/support/window_hooks.h, makes it misreport as a device can.)
//
// Thread: main thread only.
#pragma once

#include <array>
#include <cstdint>

#include "platform/screen/screen.h"

namespace veldra {

class SystemScreen : public Screen {
  public:
    SystemScreen();

    // Screen
    bool openDisplay(Window& window, uint32_t flags) override;
    void closeDisplay() override;
    void setViewport(int32_t top, int32_t height) override;
    DisplayProperties displayProperties() const override;
    uint16_t* beginDraw() override;
    void endDraw() override;
    uint16_t* fixedFrameBuffer() override { return nullptr; }
    bool oemInfo(char16_t* buffer, size_t capacity) const override;
    int32_t messageBox(Window* owner, std::string_view text, std::string_view caption,
                       uint32_t style) override;

    // The display memory, row-major.
    uint16_t* pixels() { return memory_.data(); }
    const uint16_t* pixels() const { return memory_.data(); }
    uint16_t pixel(int32_t x, int32_t y) const;

    bool isOpen() const { return open_; }

  private:
    std::array<uint16_t, 240 * 320> memory_{};  // display memory, row-major
    bool open_ = false;
    bool drawing_ = false;  // between beginDraw and endDraw
};

}  // namespace veldra
