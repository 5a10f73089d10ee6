#include "platform/windows/window_screen.h"

#include "platform/windows/window_system.h"
#include "platform/windows/window_system_internal.h"

namespace veldra {

namespace {
constexpr char16_t oemText[] = u"Veldra desktop window";
}

SystemScreen::SystemScreen() = default;

bool SystemScreen::openDisplay(Window&, uint32_t) {
    open_ = true;
    return true;
}

void SystemScreen::closeDisplay() {
    open_ = false;
}

void SystemScreen::setViewport(int32_t, int32_t) {}

DisplayProperties SystemScreen::displayProperties() const {
    return {screenWidth, screenHeight, 2, 2 * screenWidth, 16};
}

uint16_t* SystemScreen::beginDraw() {
    if (!open_) return nullptr;
    drawing_ = true;
    return memory_.data();
}

void SystemScreen::endDraw() {
    if (!drawing_) return;
    drawing_ = false;
    if (windowSystemStarted()) window_internal::markDirty();
}

bool SystemScreen::oemInfo(char16_t* buffer, size_t capacity) const {
    if (buffer == nullptr || capacity == 0) return false;
    size_t i = 0;
    for (; i + 1 < capacity && oemText[i] != 0; ++i)
        buffer[i] = oemText[i];
    buffer[i] = 0;
    return true;
}

int32_t SystemScreen::messageBox(Window* owner, std::string_view text, std::string_view caption,
                                 uint32_t style) {
    return showMessageBox(owner, text, caption, style);
}

uint16_t SystemScreen::pixel(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= screenWidth || y >= screenHeight) return 0;
    return memory_[static_cast<size_t>(y * screenWidth + x)];
}

}  // namespace veldra
