// Dialogs and message boxes: modal windows with their own message loop, drawn by the
// window system from a template (dialogs) or from their text (message boxes).
//
// Sections: geometry / drawing / procedures / the modal loop / dialogs / message boxes /
// stylus and keys
#include <algorithm>

#include "platform/windows/window_system_internal.h"

namespace veldra {
namespace window_internal {

namespace {

// ---- geometry ----
const GlyphFont& dialogFont(const SystemWindow& d) {
    return fontForPoints(state().fonts, d.dialogTemplate->fontPoints);
}

// Pixels kept free at a dialog's right edge.
constexpr int32_t dialogMargin = 4;

// Dialog units to pixels: a quarter of the font's average letter width across, an
// eighth of its character height (the ascent) down.
struct DialogUnits {
    int32_t baseX;
    int32_t baseY;
};

DialogUnits unitsOf(const GlyphFont& font) {
    constexpr std::string_view letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    const int32_t average = (textWidth(font, letters) / 26 + 1) / 2;
    return {std::max(1, average), std::max(1, font.ascent)};
}

// A control's rectangle on the screen, kept inside its dialog (so that text laid out in
// a font wider than the template's breaks inside the dialog instead of running off it).
Rect controlRect(const SystemWindow& d, const DialogControl& c) {
    const DialogUnits u = unitsOf(dialogFont(d));
    const int32_t left = d.rect.left + c.x * u.baseX / 4;
    const int32_t top = d.rect.top + c.y * u.baseY / 8;
    const Rect inside{d.rect.left, d.rect.top, d.rect.right - dialogMargin, d.rect.bottom};
    return intersectRects({left, top, left + c.width * u.baseX / 4, top + c.height * u.baseY / 8},
                          inside);
}

Rect templateRect(const DialogTemplate& t) {
    const DialogUnits u = unitsOf(fontForPoints(state().fonts, t.fontPoints));
    const int32_t width = std::min(screenWidth, t.width * u.baseX / 4);
    const int32_t height =
        std::min(menuBarRect.bottom - navigationBarHeight, t.height * u.baseY / 8);
    const int32_t left = (screenWidth - width) / 2;
    const int32_t top =
        navigationBarHeight + (menuBarRect.bottom - navigationBarHeight - height) / 2;
    return {left, top, left + width, top + height};
}

std::string_view textOf(const SystemWindow& d, size_t control) {
    if (control < d.controlTexts.size() && !d.controlTexts[control].empty())
        return d.controlTexts[control];
    return d.dialogTemplate->controls[control].text;
}

// The index of control id in d's template, or -1.
int32_t controlIndex(const SystemWindow& d, int32_t id) {
    const std::span<const DialogControl> controls = d.dialogTemplate->controls;
    for (size_t i = 0; i < controls.size(); ++i) {
        if (controls[i].id == id) return static_cast<int32_t>(i);
    }
    return -1;
}

bool isButton(const DialogControl& c) {
    return c.kind == DialogControlKind::Button || c.kind == DialogControlKind::DefaultButton;
}

// ---- drawing ----
void drawDialog(const SystemWindow& d) {
    const PixelCanvas canvas = clippedCanvas(screenCanvas(), d.rect);
    fillRect(canvas, d.rect, rgb565FromColourRef(chromeWindow));
    if ((d.dialogFlags & dialogFullScreen) == 0)
        frameRect(canvas, d.rect, rgb565FromColourRef(chromeText));
    const GlyphFont& font = dialogFont(d);
    const std::span<const DialogControl> controls = d.dialogTemplate->controls;
    for (size_t i = 0; i < controls.size(); ++i) {
        const DialogControl& c = controls[i];
        const Rect r = controlRect(d, c);
        const std::string_view text = textOf(d, i);
        switch (c.kind) {
            case DialogControlKind::Icon:
                copyBitmap(clippedCanvas(canvas, r), c.image, r.left, r.top);
                break;
            case DialogControlKind::Text:
                drawText(canvas, font, text, r, textWordBreak, chromeText, chromeWindow);
                break;
            case DialogControlKind::CentredText:
                drawText(canvas, font, text, r, textWordBreak | textCentre, chromeText,
                         chromeWindow);
                break;
            case DialogControlKind::Button:
            case DialogControlKind::DefaultButton:
                drawPushButton(canvas, font, r, text,
                               d.pressedControl == static_cast<int32_t>(i) && d.pressedOver,
                               c.kind == DialogControlKind::DefaultButton);
                break;
        }
        if (d.focusedControl == static_cast<int32_t>(i)) {
            // The keys' control: a frame one pixel outside it, in the text's colour.
            frameRect(canvas, {r.left - 2, r.top - 2, r.right + 2, r.bottom + 2},
                      rgb565FromColourRef(chromeText));
        }
    }
}

// ---- procedures ----
intptr_t dialogWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam,
                          intptr_t lParam) {
    SystemWindow* d = live(window);
    if (d == nullptr) return 0;
    if (d->dialogProc != nullptr && d->dialogProc(window, message, wParam, lParam)) return 1;
    if (message == messagePaint) {
        DrawingContext* context = beginPaint(window);
        drawDialog(*d);
        endPaint(window, context);
        return 0;
    }
    return 0;
}

intptr_t messageBoxProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    SystemWindow* box = live(window);
    if (box == nullptr) return 0;
    switch (message) {
        case messagePaint: {
            DrawingContext* context = beginPaint(window);
            drawMessageBox(screenCanvas(), state().fonts, box->messageLayout, box->messageText,
                           box->messageCaption, box->pressedControl == 0 && box->pressedOver);
            endPaint(window, context);
            return 0;
        }
        case messageCommand:
            if (lowWord(wParam) == commandOk) box->answered = true;
            return 0;
        default:
            return defWindowProc(window, message, wParam, lParam);
    }
}

// ---- the modal loop ----
// Puts w in front of owner, runs the loop until done() or w or its owner goes, then takes
// w away and gives owner back the front.
template <typename Done>
void runModal(SystemWindow* w, SystemWindow* owner, Done&& done) {
    WindowSystemState& s = state();
    s.modal.push_back(w);
    w->visible = true;
    invalidateWindow(w, true);
    if (s.menu.bar != nullptr) closeMenu(-1);
    s.capture = nullptr;
    activate(w);
    redrawNavigationBar();
    WindowMessage message;
    while (!done() && live(w) != nullptr && (owner == nullptr || live(owner) != nullptr)) {
        if (!getMessage(&message)) {
            postQuitMessage(static_cast<int32_t>(message.wParam));  // for the loop outside
            break;
        }
        if (modalKey(message)) continue;
        dispatchMessage(message);
    }
    std::erase(s.modal, w);
    const Rect covered = w->rect;
    if (live(w) != nullptr) {
        w->visible = false;
        destroyWindow(w);
    }
    if (live(owner) != nullptr) activate(owner);
    invalidateBeneath(covered);
    redrawNavigationBar();
}

SystemWindow* newModalWindow(WindowKind kind, SystemWindow* owner, WindowProc procedure) {
    auto created = std::make_unique<SystemWindow>();
    SystemWindow* w = created.get();
    w->kind = kind;
    w->procedure = procedure;
    w->owner = owner;
    w->background = chromeWindow;
    state().windows.push_back(std::move(created));
    return w;
}

}  // namespace

// ---- stylus and keys ----
bool modalPointer(InputKind kind, int32_t x, int32_t y) {
    WindowSystemState& s = state();
    if (s.modal.empty()) return false;
    SystemWindow* w = s.modal.back();
    if (w->kind == WindowKind::Dialog) {
        const bool overDone =
            (w->dialogFlags & dialogDoneButton) != 0 && rectContains(navigationDoneRect, x, y);
        if (kind == InputKind::PointerDown && overDone) {
            w->donePressed = true;
            redrawNavigationBar();
            return true;
        }
        if (w->donePressed) {
            if (kind == InputKind::PointerUp) {
                w->donePressed = false;
                redrawNavigationBar();
                if (overDone) sendMessage(w, messageCommand, makeWParam(commandOk, 0), 0);
            }
            return true;
        }
    }
    const auto buttonUnder = [&]() -> int32_t {
        if (w->kind == WindowKind::MessageBox)
            return rectContains(w->messageLayout.button, x, y) ? 0 : -1;
        const std::span<const DialogControl> controls = w->dialogTemplate->controls;
        for (size_t i = 0; i < controls.size(); ++i) {
            if (isButton(controls[i]) && rectContains(controlRect(*w, controls[i]), x, y))
                return static_cast<int32_t>(i);
        }
        return -1;
    };
    const int32_t under = buttonUnder();
    switch (kind) {
        case InputKind::PointerDown:
            if (under >= 0) {
                w->pressedControl = under;
                w->pressedOver = true;
                invalidateWindow(w, false);
            }
            return true;
        case InputKind::PointerMove:
            if (w->pressedControl >= 0 && w->pressedOver != (under == w->pressedControl)) {
                w->pressedOver = under == w->pressedControl;
                invalidateWindow(w, false);
            }
            return true;
        case InputKind::PointerUp: {
            const int32_t pressed = w->pressedControl;
            w->pressedControl = -1;
            w->pressedOver = false;
            if (pressed < 0) return true;
            invalidateWindow(w, false);
            if (under != pressed) return true;
            const uint16_t id =
                w->kind == WindowKind::MessageBox
                    ? commandOk
                    : static_cast<uint16_t>(
                          w->dialogTemplate->controls[static_cast<size_t>(pressed)].id);
            sendMessage(w, messageCommand, makeWParam(id, 0), 0);
            return true;
        }
        default:
            return true;
    }
}

bool modalKey(const WindowMessage& message) {
    const WindowSystemState& s = state();
    if (message.message != messageKeyDown || s.modal.empty()) return false;
    SystemWindow* w = s.modal.back();
    if (message.window != w) return false;
    uint16_t command = 0;
    if (w->kind == WindowKind::MessageBox) {
        if (message.wParam == keyReturn || message.wParam == keyEscape) command = commandOk;
    } else if (message.wParam == keyReturn) {
        command = commandOk;
        const std::span<const DialogControl> controls = w->dialogTemplate->controls;
        for (const DialogControl& c : controls) {
            if (c.kind == DialogControlKind::DefaultButton) command = static_cast<uint16_t>(c.id);
        }
        // A button framed by setDialogFocus is the one Enter presses.
        if (w->focusedControl >= 0 && isButton(controls[static_cast<size_t>(w->focusedControl)]))
            command = static_cast<uint16_t>(controls[static_cast<size_t>(w->focusedControl)].id);
    } else if (message.wParam == keyEscape) {
        command = (w->dialogFlags & dialogDoneButton) != 0 ? commandOk : commandCancel;
    } else if (w->kind == WindowKind::Dialog) {
        return false;  // the dialog's own: its procedure gets the key
    }
    if (command != 0) sendMessage(w, messageCommand, makeWParam(command, 0), 0);
    return true;
}

}  // namespace window_internal

using namespace window_internal;

// ---- dialogs ----
intptr_t dialogBox(const DialogTemplate& dialogTemplate, WindowHandle owner, DialogProc procedure) {
    if (!windowSystemStarted()) return 0;
    SystemWindow* o = live(owner);
    SystemWindow* d = newModalWindow(WindowKind::Dialog, o, dialogWindowProc);
    d->dialogTemplate = &dialogTemplate;
    d->dialogProc = procedure;
    d->rect = templateRect(dialogTemplate);
    sendMessage(d, messageInitDialog, 0, 0);
    runModal(d, o, [d] { return d->dialogEnded; });
    return d->dialogEnded ? d->dialogResult : 0;
}

bool endDialog(WindowHandle dialog, intptr_t result) {
    SystemWindow* d = live(dialog);
    if (d == nullptr || d->kind != WindowKind::Dialog) return false;
    d->dialogEnded = true;
    d->dialogResult = result;
    return true;
}

Rect frontDialogControlRect(int32_t id) {
    const WindowSystemState& s = state();
    if (s.modal.empty() || s.modal.back()->kind != WindowKind::Dialog) return {};
    const SystemWindow& d = *s.modal.back();
    const int32_t index = controlIndex(d, id);
    return index < 0 ? Rect{}
                     : controlRect(d, d.dialogTemplate->controls[static_cast<size_t>(index)]);
}

bool setDialogItemText(WindowHandle dialog, int32_t id, std::string_view text) {
    SystemWindow* d = live(dialog);
    if (d == nullptr || d->kind != WindowKind::Dialog) return false;
    const int32_t index = controlIndex(*d, id);
    if (index < 0) return false;
    d->controlTexts.resize(d->dialogTemplate->controls.size());
    d->controlTexts[static_cast<size_t>(index)] = std::string(text);
    invalidateWindow(d, false);
    return true;
}

bool setDialogFocus(WindowHandle dialog, int32_t id) {
    SystemWindow* d = live(dialog);
    if (d == nullptr || d->kind != WindowKind::Dialog) return false;
    const int32_t index = id < 0 ? -1 : controlIndex(*d, id);
    if (id >= 0 && index < 0) return false;
    d->focusedControl = index;
    invalidateWindow(d, false);
    return true;
}

bool initDialog(WindowHandle dialog, uint32_t flags) {
    SystemWindow* d = live(dialog);
    if (d == nullptr || d->kind != WindowKind::Dialog) return false;
    d->dialogFlags = flags;
    if ((flags & dialogFullScreen) != 0)
        d->rect = defaultWindowRect;  // the screen below the navigation bar
    invalidateWindow(d, true);
    redrawNavigationBar();
    return true;
}

// ---- message boxes ----
int32_t showMessageBox(WindowHandle owner, std::string_view text, std::string_view caption,
                       uint32_t style) {
    if (!windowSystemStarted()) return 0;
    SystemWindow* o = live(owner);
    SystemWindow* box = newModalWindow(WindowKind::MessageBox, o, messageBoxProc);
    box->messageText = std::string(text);
    box->messageCaption = std::string(caption);
    box->messageStyle = style;
    box->messageLayout =
        layOutMessageBox(state().fonts, text, (style & 0xF0) == messageBoxExclamation);
    box->rect = box->messageLayout.box;
    runModal(box, o, [box] { return box->answered; });
    return box->answered ? 1 : 0;
}

}  // namespace veldra
