// The tests' hooks into the window system, kept out of its shipped headers: a screen that
// reports another bit depth and lets a test watch it close, and the drawText calls made
// through windows' contexts, recorded.
//
// Thread: main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/windows/window_screen.h"
#include "platform/windows/window_system_internal.h"

namespace veldra {

// The window system's screen with controls.
class ControlledScreen final : public SystemScreen {
  public:
    void closeDisplay() override;
    DisplayProperties displayProperties() const override;

    void setBitsPerPixel(int32_t bits) { bitsPerPixel_ = bits; }
    // Called inside closeDisplay, before the display is marked closed.
    void setCloseObserver(std::function<void()> observer) { closeObserver_ = std::move(observer); }
    int32_t closeCalls() const { return closeCalls_; }

  private:
    int32_t bitsPerPixel_ = 16;
    int32_t closeCalls_ = 0;
    std::function<void()> closeObserver_;
};

// Recording of drawText calls on or off (a started window system starts with it off); what
// was recorded since the last clear.
void recordTextCalls(bool on);
const std::vector<window_internal::TextCall>& textCalls();
void clearTextCalls();

}  // namespace veldra
