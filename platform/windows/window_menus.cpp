// The menu bar window and its menus: opening a drop-down takes the focus, choosing an
// item closes the menu and posts the item's command to the bar's owner, a plain button
// posts its command when tapped, and whatever the menu covered is repainted.
//
// Sections: the bar window / opening and closing / stylus / keys
#include "platform/windows/window_system_internal.h"

namespace veldra {
namespace window_internal {

namespace {

std::span<const MenuBarButton> buttonsOf(const SystemWindow* bar) {
    return bar->menu->buttons;
}

int32_t buttonAt(const SystemWindow* bar, int32_t x, int32_t y) {
    const std::span<const MenuBarButton> buttons = buttonsOf(bar);
    Rect rects[16];
    const size_t count = std::min(buttons.size(), std::size(rects));
    layOutMenuBar(state().fonts, buttons.first(count), std::span<Rect>(rects, count));
    for (size_t i = 0; i < count; ++i) {
        if (rectContains(rects[i], x, y)) return static_cast<int32_t>(i);
    }
    return -1;
}

Rect buttonRect(const SystemWindow* bar, int32_t button) {
    const std::span<const MenuBarButton> buttons = buttonsOf(bar);
    Rect rects[16];
    const size_t count = std::min(buttons.size(), std::size(rects));
    layOutMenuBar(state().fonts, buttons.first(count), std::span<Rect>(rects, count));
    return button >= 0 && static_cast<size_t>(button) < count ? rects[button] : Rect{0, 0, 0, 0};
}

std::span<const MenuItem> openItems() {
    const MenuTracking& m = state().menu;
    return buttonsOf(m.bar)[static_cast<size_t>(m.button)].items;
}

void drawBar(const SystemWindow* bar, int32_t pressed) {
    drawMenuBar(screenCanvas(), state().fonts, buttonsOf(bar), bar->images, pressed);
    markDirty();
}

}  // namespace

// ---- the bar window ----
intptr_t menuBarProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message != messagePaint) return defWindowProc(window, message, wParam, lParam);
    SystemWindow* bar = live(window);
    DrawingContext* context = beginPaint(window);
    const MenuTracking& m = state().menu;
    drawBar(bar, m.bar == bar ? m.button : -1);
    endPaint(window, context);
    return 0;
}

// ---- opening and closing ----
void drawOpenMenu() {
    const MenuTracking& m = state().menu;
    if (!m.open || live(m.bar) == nullptr) return;
    drawPopupMenu(screenCanvas(), state().fonts, openItems(), m.popup, m.highlighted);
    drawBar(m.bar, m.button);
}

void openMenu(SystemWindow* bar, int32_t button, int32_t highlighted) {
    WindowSystemState& s = state();
    MenuTracking& m = s.menu;
    if (m.open) {
        // Another menu of the bar: what the old one covered is repainted beneath the new.
        invalidateBeneath(m.popup);
    } else {
        m.focusBefore = live(s.focus);
        setFocusTo(bar);
    }
    m.bar = bar;
    m.button = button;
    m.open = true;
    m.highlighted = highlighted;
    m.popup = popupMenuRect(s.fonts, openItems(), buttonRect(bar, button));
    drawOpenMenu();
    markDirty();
}

void closeMenu(int32_t chosenItem) {
    WindowSystemState& s = state();
    MenuTracking m = s.menu;
    s.menu = MenuTracking{};
    if (live(m.bar) == nullptr) return;
    uint16_t command = 0;
    if (m.open) {
        const std::span<const MenuItem> items =
            buttonsOf(m.bar)[static_cast<size_t>(m.button)].items;
        if (chosenItem >= 0 && static_cast<size_t>(chosenItem) < items.size()) {
            command = items[static_cast<size_t>(chosenItem)].command;
        }
        invalidateBeneath(m.popup);
        SystemWindow* back = live(m.focusBefore);
        if (back == nullptr) back = live(m.bar->owner);
        if (live(s.focus) == m.bar) setFocusTo(back);
    }
    invalidateWindow(m.bar, false);
    if (command != 0) postMessage(m.bar->owner, messageCommand, command, 0);
    if (m.open) sendMessage(m.bar->owner, messageExitMenuLoop, command != 0 ? 1 : 0, 0);
}

// ---- stylus ----
bool menuPointer(InputKind kind, int32_t x, int32_t y) {
    WindowSystemState& s = state();
    MenuTracking& m = s.menu;
    if (m.bar != nullptr && live(m.bar) == nullptr) m = MenuTracking{};
    if (m.bar == nullptr) {
        // Nothing tracked: only a press on a visible menu bar starts something.
        if (kind != InputKind::PointerDown || !s.modal.empty()) return false;
        for (const auto& w : s.windows) {
            if (w->destroyed || !w->visible || w->kind != WindowKind::MenuBar) continue;
            if (!rectContains(w->rect, x, y)) continue;
            const int32_t button = buttonAt(w.get(), x, y);
            if (button < 0) return true;
            if (buttonsOf(w.get())[static_cast<size_t>(button)].kind == MenuButtonKind::DropDown) {
                openMenu(w.get(), button, -1);
            } else {
                m.bar = w.get();
                m.button = button;
                m.open = false;
                drawBar(w.get(), button);
            }
            return true;
        }
        return false;
    }
    if (!m.open) {
        // A plain button held: tapped when lifted over it.
        if (kind == InputKind::PointerMove) {
            drawBar(m.bar, buttonAt(m.bar, x, y) == m.button ? m.button : -1);
        } else if (kind == InputKind::PointerUp) {
            const bool tapped = buttonAt(m.bar, x, y) == m.button;
            SystemWindow* bar = m.bar;
            const uint16_t command = buttonsOf(bar)[static_cast<size_t>(m.button)].command;
            m = MenuTracking{};
            invalidateWindow(bar, false);
            if (tapped) postMessage(bar->owner, messageCommand, command, 0);
        }
        return true;
    }
    const int32_t item = popupItemAt(s.fonts, openItems(), m.popup, x, y);
    switch (kind) {
        case InputKind::PointerMove:
            if (item != m.highlighted && (item >= 0 || rectContains(m.popup, x, y))) {
                m.highlighted = item;
                markDirty();
            }
            return true;
        case InputKind::PointerUp:
            if (item >= 0) closeMenu(item);
            return true;
        case InputKind::PointerDown: {
            if (item >= 0 || rectContains(m.popup, x, y)) {
                m.highlighted = item;
                markDirty();
                return true;
            }
            const int32_t button = rectContains(m.bar->rect, x, y) ? buttonAt(m.bar, x, y) : -1;
            if (button == m.button) {
                closeMenu(-1);
                s.swallowUp = true;
            } else if (button >= 0 && buttonsOf(m.bar)[static_cast<size_t>(button)].kind ==
                                          MenuButtonKind::DropDown) {
                openMenu(m.bar, button, -1);
            } else {
                // Anywhere else the tap only closes the menu.
                closeMenu(-1);
                s.swallowUp = true;
            }
            return true;
        }
        default:
            return false;
    }
}

// ---- keys ----
bool menuKey(uint32_t key) {
    MenuTracking& m = state().menu;
    const int32_t count = static_cast<int32_t>(openItems().size());
    const int32_t buttons = static_cast<int32_t>(buttonsOf(m.bar).size());
    switch (key) {
        case keyEscape:
            closeMenu(-1);
            return true;
        case keyReturn:
            closeMenu(m.highlighted);
            return true;
        case keyUp:
            m.highlighted = m.highlighted <= 0 ? count - 1 : m.highlighted - 1;
            markDirty();
            return true;
        case keyDown:
            m.highlighted = m.highlighted + 1 >= count ? 0 : m.highlighted + 1;
            markDirty();
            return true;
        case keyLeft:
        case keyRight: {
            // The next drop-down button in that direction, if any.
            const int32_t step = key == keyLeft ? -1 : 1;
            for (int32_t b = m.button + step; b >= 0 && b < buttons; b += step) {
                if (buttonsOf(m.bar)[static_cast<size_t>(b)].kind == MenuButtonKind::DropDown) {
                    openMenu(m.bar, b, 0);
                    break;
                }
            }
            return true;
        }
        default:
            closeMenu(-1);
            return false;
    }
}

}  // namespace window_internal

Rect openMenuItemRect(int32_t index) {
    using namespace window_internal;
    const MenuTracking& m = state().menu;
    if (!m.open || live(m.bar) == nullptr) return {};
    // The rows the menu itself says belong to the item.
    Rect r{m.popup.left, -1, m.popup.right, -1};
    for (int32_t y = m.popup.top; y < m.popup.bottom; ++y) {
        if (popupItemAt(state().fonts, openItems(), m.popup, (m.popup.left + m.popup.right) / 2,
                        y) != index)
            continue;
        if (r.top < 0) r.top = y;
        r.bottom = y + 1;
    }
    return r.top < 0 ? Rect{} : r;
}

}  // namespace veldra
