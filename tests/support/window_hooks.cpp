#include "tests/support/window_hooks.h"

namespace veldra {

void ControlledScreen::closeDisplay() {
    ++closeCalls_;
    if (closeObserver_) closeObserver_();
    SystemScreen::closeDisplay();
}

DisplayProperties ControlledScreen::displayProperties() const {
    DisplayProperties properties = SystemScreen::displayProperties();
    properties.bitsPerPixel = bitsPerPixel_;
    return properties;
}

void recordTextCalls(bool on) {
    window_internal::state().recordTexts = on;
}

const std::vector<window_internal::TextCall>& textCalls() {
    return window_internal::state().texts;
}

void clearTextCalls() {
    window_internal::state().texts.clear();
}

}  // namespace veldra
