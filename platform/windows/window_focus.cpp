// Activation, focus and input: which window is active and has the keyboard, and where
// each input event from the back end goes.
//
// Sections: activation and focus / stylus / keys / desktop events / routing
#include "platform/windows/window_system_internal.h"

namespace veldra {
namespace window_internal {

// ---- activation and focus ----
void setFocusTo(SystemWindow* window) {
    WindowSystemState& s = state();
    SystemWindow* before = live(s.focus);
    if (before == window) return;
    s.focus = window;
    if (before != nullptr)
        sendMessage(before, messageKillFocus, reinterpret_cast<uintptr_t>(window), 0);
    if (live(window) != nullptr && s.focus == window) {
        sendMessage(window, messageSetFocus, reinterpret_cast<uintptr_t>(before), 0);
    }
}

void activate(SystemWindow* window) {
    WindowSystemState& s = state();
    SystemWindow* before = live(s.active);
    if (before == window) return;
    s.active = window;
    if (before != nullptr) {
        sendMessage(before, messageActivate, activationInactive,
                    reinterpret_cast<intptr_t>(window));
    }
    if (live(window) != nullptr && s.active == window) {
        sendMessage(window, messageActivate, activationActive, reinterpret_cast<intptr_t>(before));
    }
    setFocusTo(live(window));
    redrawNavigationBar();
}

namespace {

// ---- stylus ----
// The topmost visible window at a screen point (system windows included).
SystemWindow* windowAt(int32_t x, int32_t y) {
    const WindowSystemState& s = state();
    for (size_t i = s.windows.size(); i > 0; --i) {
        SystemWindow* w = s.windows[i - 1].get();
        if (!w->destroyed && w->visible && rectContains(w->rect, x, y)) return w;
    }
    return nullptr;
}

WindowMessage stylusMessage(SystemWindow* w, uint32_t message, uintptr_t wParam, int32_t x,
                            int32_t y) {
    return {w, message, wParam, makePointParam(x - w->rect.left, y - w->rect.top)};
}

bool routePointer(const InputEvent& event, WindowMessage* message) {
    WindowSystemState& s = state();
    const int32_t x = event.x;
    const int32_t y = event.y;
    if (event.kind == InputKind::PointerUp && s.swallowUp) {
        s.swallowUp = false;
        return false;
    }
    if (menuPointer(event.kind, x, y)) return false;
    if (!s.modal.empty()) {
        modalPointer(event.kind, x, y);
        return false;
    }
    switch (event.kind) {
        case InputKind::PointerDown: {
            SystemWindow* w = windowAt(x, y);
            if (w == nullptr || w->kind != WindowKind::TopLevel) {
                s.swallowUp = true;  // the navigation bar, or nothing: the tap does nothing
                return false;
            }
            s.capture = w;
            *message = stylusMessage(w, messageButtonDown, buttonStateDown, x, y);
            return true;
        }
        case InputKind::PointerUp: {
            SystemWindow* w = live(s.capture);
            s.capture = nullptr;
            if (w == nullptr) return false;
            *message = stylusMessage(w, messageButtonUp, 0, x, y);
            return true;
        }
        default: {
            SystemWindow* w = live(s.capture);
            if (w == nullptr) return false;
            *message = stylusMessage(w, messageMouseMove, buttonStateDown, x, y);
            return true;
        }
    }
}

// ---- keys ----
bool routeKey(const InputEvent& event, WindowMessage* message) {
    WindowSystemState& s = state();
    if (event.kind == InputKind::KeyDown) {
        if (s.menu.open && menuKey(event.key)) return false;
        if (event.key == keyF10 && s.modal.empty()) {
            // The first drop-down of the first menu bar opens, its first item lit.
            for (const auto& w : s.windows) {
                if (w->destroyed || w->kind != WindowKind::MenuBar) continue;
                const std::span<const MenuBarButton> buttons = w->menu->buttons;
                for (size_t b = 0; b < buttons.size(); ++b) {
                    if (buttons[b].kind != MenuButtonKind::DropDown) continue;
                    openMenu(w.get(), static_cast<int32_t>(b), 0);
                    return false;
                }
            }
        }
    }
    SystemWindow* target = live(s.focus);
    if (target == nullptr) target = live(s.active);
    if (target == nullptr) return false;
    // Keys for a menu bar (its menu closed) go on to the window it belongs to.
    if (target->kind == WindowKind::MenuBar && live(target->owner) != nullptr)
        target = target->owner;
    const uint32_t number = event.kind == InputKind::KeyDown ? messageKeyDown : messageKeyUp;
    const intptr_t modifiers =
        (event.control ? keyWithControl : 0) | (event.shift ? keyWithShift : 0);
    *message = {target, number, event.key, modifiers};
    return true;
}

// ---- desktop events ----
SystemWindow* firstTopLevel() {
    for (const auto& w : state().windows) {
        if (!w->destroyed && w->kind == WindowKind::TopLevel) return w.get();
    }
    return nullptr;
}

void desktopFocus(bool gained) {
    WindowSystemState& s = state();
    if (s.desktopFocused == gained) return;
    s.desktopFocused = gained;
    SystemWindow* active = live(s.active);
    if (!gained) {
        if (s.menu.bar != nullptr) closeMenu(-1);
        if (active == nullptr) return;
        sendMessage(active, messageActivate, activationInactive, 0);
        if (live(s.focus) != nullptr) {
            SystemWindow* had = s.focus;
            s.focus = nullptr;
            sendMessage(had, messageKillFocus, 0, 0);
        }
        return;
    }
    if (active == nullptr) return;
    sendMessage(active, messageActivate, activationActive, 0);
    setFocusTo(live(active));
}

void toEveryTopLevel(uint32_t message, bool post) {
    for (const auto& w : state().windows) {
        if (w->destroyed || w->kind != WindowKind::TopLevel) continue;
        if (post) {
            postMessage(w.get(), message, 0, 0);
        } else {
            sendMessage(w.get(), message, 0, 0);
        }
    }
}

}  // namespace

// ---- routing ----
bool routeInput(const InputEvent& event, WindowMessage* message) {
    WindowSystemState& s = state();
    switch (event.kind) {
        case InputKind::PointerDown:
        case InputKind::PointerUp:
        case InputKind::PointerMove:
            return routePointer(event, message);
        case InputKind::KeyDown:
        case InputKind::KeyUp:
            return routeKey(event, message);
        case InputKind::FocusGained:
            desktopFocus(true);
            return false;
        case InputKind::FocusLost:
            desktopFocus(false);
            return false;
        case InputKind::Minimised:
            if (s.menu.bar != nullptr) closeMenu(-1);
            if (SystemWindow* active = live(s.active)) sendMessage(active, messageCancelMode, 0, 0);
            return false;
        case InputKind::CloseRequested:
            if (SystemWindow* main = firstTopLevel()) postMessage(main, messageClose, 0, 0);
            return false;
        case InputKind::LowMemory:
            toEveryTopLevel(messageHibernate, true);
            return false;
        case InputKind::SettingChanged:
            toEveryTopLevel(messageSettingChange, false);
            return false;
    }
    return false;
}

}  // namespace window_internal
}  // namespace veldra
