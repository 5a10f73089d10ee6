// The window system's core: its state, classes and windows, the message queue and loop,
// the default procedure, and the navigation bar.
//
// Sections: state / life / classes and windows / the loop / the shell's calls /
// navigation bar / for tests
#include <algorithm>
#include <atomic>

#include "platform/windows/window_system_internal.h"

namespace veldra {
namespace window_internal {

// ---- state ----
namespace {

WindowSystemState systemState;

// The back end that posts wake, read from any thread.
std::atomic<WindowBackEnd*> wakeTarget{nullptr};

void wakeBackEnd() {
    if (WindowBackEnd* backEnd = wakeTarget.load(std::memory_order_acquire)) backEnd->wake();
}

}  // namespace

WindowSystemState& state() {
    return systemState;
}

SystemWindow* live(WindowHandle handle) {
    if (handle == nullptr) return nullptr;
    for (const auto& w : systemState.windows) {
        if (w.get() == handle) return w->destroyed ? nullptr : w.get();
    }
    return nullptr;
}

PixelCanvas screenCanvas() {
    return {systemState.screen->pixels(), 1, screenWidth, {0, 0, screenWidth, screenHeight}};
}

void markDirty() {
    systemState.screenDirty = true;
}

void presentIfDirty() {
    WindowSystemState& s = systemState;
    if (!s.screenDirty || s.backEnd == nullptr) return;
    if (s.menu.open) drawOpenMenu();
    s.screenDirty = false;
    s.backEnd->present(s.screen->pixels());
}

void invalidateBeneath(const Rect& rect) {
    for (const auto& w : systemState.windows) {
        if (w->destroyed || !w->visible) continue;
        if (isEmptyRect(intersectRects(w->rect, rect))) continue;
        w->invalid = true;
        w->erasePending = true;
    }
}

}  // namespace window_internal

using namespace window_internal;

// ---- life ----
bool startWindowSystem(WindowBackEnd& backEnd, SystemScreen& screen, const SystemFonts& fonts) {
    WindowSystemState& s = state();
    if (s.backEnd != nullptr) return false;
    s = WindowSystemState{};
    s.backEnd = &backEnd;
    s.screen = &screen;
    s.fonts = fonts;
    wakeTarget.store(&backEnd, std::memory_order_release);
    setWindowMessageWakeUp(wakeBackEnd);
    redrawNavigationBar();
    return true;
}

void stopWindowSystem() {
    WindowSystemState& s = state();
    if (s.backEnd == nullptr) return;
    for (size_t i = s.windows.size(); i > 0; --i)
        destroyWindow(s.windows[i - 1].get());
    setWindowMessageWakeUp(nullptr);
    wakeTarget.store(nullptr, std::memory_order_release);
    clearWindowMessages();
    s = WindowSystemState{};
}

bool windowSystemStarted() {
    return state().backEnd != nullptr;
}

// ---- classes and windows ----
bool registerClass(const WindowClass& windowClass) {
    WindowSystemState& s = state();
    if (windowClass.className.empty() || windowClass.procedure == nullptr) return false;
    for (const WindowClass& c : s.classes) {
        if (c.className == windowClass.className) return false;
    }
    s.classNames.push_back(std::make_unique<std::string>(windowClass.className));
    WindowClass kept = windowClass;
    kept.className = *s.classNames.back();
    s.classes.push_back(kept);
    if (s.backEnd != nullptr && windowClass.icon.pixels != nullptr)
        s.backEnd->setIcon(windowClass.icon);
    return true;
}

namespace {

void bringForwardFromElsewhere(void* context, bool ownedToo) {
    postMessage(static_cast<WindowHandle>(context), messageBringToFront, ownedToo ? 1 : 0, 0);
}

}  // namespace

WindowHandle createWindow(std::string_view className, std::string_view title, uint32_t style,
                          const Rect* rect, WindowHandle owner) {
    WindowSystemState& s = state();
    if (s.backEnd == nullptr) return nullptr;
    const WindowClass* windowClass = nullptr;
    for (const WindowClass& c : s.classes) {
        if (c.className == className) windowClass = &c;
    }
    if (windowClass == nullptr) return nullptr;
    auto created = std::make_unique<SystemWindow>();
    SystemWindow* w = created.get();
    w->kind = WindowKind::TopLevel;
    w->procedure = windowClass->procedure;
    w->className = std::string(className);
    w->title = std::string(title);
    w->background = windowClass->background;
    w->style = style;
    w->rect = rect != nullptr ? *rect : defaultWindowRect;
    w->owner = live(owner);
    s.windows.push_back(std::move(created));
    if (sendMessage(w, messageCreate, 0, 0) == -1) {
        destroyWindow(w);
        return nullptr;
    }
    if (w->destroyed) return nullptr;
    if (!title.empty())
        w->listener = startInstanceListener(className, title, bringForwardFromElsewhere, w);
    if ((style & styleVisible) != 0) {
        w->visible = true;
        invalidateWindow(w, true);
        if (s.modal.empty()) activate(w);
    }
    redrawNavigationBar();
    return w;
}

bool destroyWindow(WindowHandle handle) {
    WindowSystemState& s = state();
    SystemWindow* w = live(handle);
    if (w == nullptr || w->destroying) return false;
    w->destroying = true;
    // Owned windows go first, newest first, as they lie above their owner.
    for (size_t i = s.windows.size(); i > 0; --i) {
        SystemWindow* other = s.windows[i - 1].get();
        if (other->owner == w && !other->destroyed) destroyWindow(other);
    }
    if (s.menu.bar == w) closeMenu(-1);
    sendMessage(w, messageDestroy, 0, 0);
    w->destroyed = true;
    if (w->listener != nullptr) {
        stopInstanceListener(w->listener);
        w->listener = nullptr;
    }
    std::erase(s.modal, w);
    if (s.active == w) s.active = nullptr;
    if (s.focus == w) s.focus = nullptr;
    if (s.capture == w) s.capture = nullptr;
    if (s.menu.focusBefore == w) s.menu.focusBefore = nullptr;
    if (w->visible) invalidateBeneath(w->rect);
    redrawNavigationBar();
    return true;
}

bool isWindow(WindowHandle window) {
    return live(window) != nullptr;
}

bool moveWindow(WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height,
                bool repaint) {
    SystemWindow* w = live(window);
    if (w == nullptr) return false;
    const Rect before = w->rect;
    w->rect = {x, y, x + width, y + height};
    if (repaint) {
        invalidateBeneath(before);
        invalidateWindow(w, true);
    }
    return true;
}

bool showWindow(WindowHandle window, int32_t showState) {
    SystemWindow* w = live(window);
    if (w == nullptr) return false;
    const bool wasVisible = w->visible;
    w->visible = showState != showHide;
    if (w->visible && !wasVisible) invalidateWindow(w, true);
    if (!w->visible && wasVisible) invalidateBeneath(w->rect);
    return wasVisible;
}

namespace {

// Paint goes only to a window that no modal window above it covers (overlaps): so the
// main window is painted once the start-up notice is gone, while a menu bar beside a
// message box still is.
bool mayPaint(const SystemWindow* w) {
    const WindowSystemState& s = state();
    // Modal windows above w: all of them when w is not modal, else those after it.
    auto above = std::find(s.modal.begin(), s.modal.end(), w);
    above = above == s.modal.end() ? s.modal.begin() : above + 1;
    for (; above != s.modal.end(); ++above) {
        if (!isEmptyRect(intersectRects((*above)->rect, w->rect))) return false;
    }
    return true;
}

}  // namespace

bool updateWindow(WindowHandle window) {
    SystemWindow* w = live(window);
    if (w == nullptr) return false;
    if (w->visible && w->invalid && mayPaint(w)) sendMessage(w, messagePaint, 0, 0);
    return true;
}

bool setForegroundWindow(WindowHandle window) {
    WindowSystemState& s = state();
    SystemWindow* w = live(window);
    if (w == nullptr) return false;
    s.backEnd->raise();
    if (s.modal.empty() && w->kind == WindowKind::TopLevel) activate(w);
    return true;
}

WindowHandle activeWindow() {
    return state().active;
}
WindowHandle focusWindow() {
    return state().focus;
}

// ---- the loop ----
bool postMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return postWindowMessage(window, message, wParam, lParam);
}

intptr_t sendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    SystemWindow* w = live(window);
    if (w == nullptr || w->procedure == nullptr) return 0;
    return w->procedure(w, message, wParam, lParam);
}

void postQuitMessage(int32_t exitCode) {
    WindowSystemState& s = state();
    s.quitPending = true;
    s.quitCode = exitCode;
}

namespace {

// The first window that needs paint and may have it.
SystemWindow* windowToPaint() {
    for (const auto& w : state().windows) {
        if (!w->destroyed && w->visible && w->invalid && mayPaint(w.get())) return w.get();
    }
    return nullptr;
}

enum class Fetched { Message, Quit, Nothing };

Fetched fetch(WindowMessage* message, bool wait) {
    WindowSystemState& s = state();
    *message = WindowMessage{nullptr, 0, 0, 0};
    if (s.backEnd == nullptr) return Fetched::Nothing;
    for (;;) {
        presentIfDirty();
        WindowMessage posted;
        if (takeWindowMessage(&posted)) {
            if (posted.window != nullptr && live(posted.window) == nullptr) continue;
            *message = posted;
            return Fetched::Message;
        }
        InputEvent event;
        if (s.backEnd->nextInput(event, false)) {
            if (routeInput(event, message)) return Fetched::Message;
            continue;
        }
        if (s.quitPending) {
            s.quitPending = false;
            *message = WindowMessage{nullptr, messageQuit, static_cast<uintptr_t>(s.quitCode), 0};
            return Fetched::Quit;
        }
        if (SystemWindow* w = windowToPaint()) {
            *message = WindowMessage{w, messagePaint, 0, 0};
            return Fetched::Message;
        }
        if (!wait) return Fetched::Nothing;
        if (s.backEnd->nextInput(event, true) && routeInput(event, message))
            return Fetched::Message;
    }
}

}  // namespace

bool getMessage(WindowMessage* message) {
    return fetch(message, true) == Fetched::Message;
}

bool peekMessage(WindowMessage* message) {
    return fetch(message, false) == Fetched::Message;
}

intptr_t dispatchMessage(const WindowMessage& message) {
    SystemWindow* w = live(message.window);
    if (w == nullptr) return 0;
    if (message.message == messageBringToFront) {
        setForegroundWindow(w);
        return 0;
    }
    return sendMessage(w, message.message, message.wParam, message.lParam);
}

intptr_t defWindowProc(WindowHandle window, uint32_t message, uintptr_t, intptr_t) {
    switch (message) {
        case messageClose:
            destroyWindow(window);
            return 0;
        case messagePaint: {
            DrawingContext* context = beginPaint(window);
            endPaint(window, context);
            return 0;
        }
        default:
            return 0;
    }
}

bool translateAccelerator(WindowHandle window, const AcceleratorTable& table,
                          const WindowMessage& message) {
    if (message.message != messageKeyDown || live(window) == nullptr) return false;
    const bool control = (message.lParam & keyWithControl) != 0;
    const bool shift = (message.lParam & keyWithShift) != 0;
    for (const Accelerator& a : table.entries) {
        if (a.key != message.wParam) continue;
        if (((a.flags & acceleratorControl) != 0) != control) continue;
        if (((a.flags & acceleratorShift) != 0) != shift) continue;
        sendMessage(window, messageCommand, makeWParam(a.command, commandFromAccelerator), 0);
        return true;
    }
    return false;
}

// ---- the shell's calls ----
WindowHandle createMenuBar(WindowHandle owner, const MenuBarDescription& description) {
    WindowSystemState& s = state();
    SystemWindow* o = live(owner);
    if (o == nullptr) return nullptr;
    auto created = std::make_unique<SystemWindow>();
    SystemWindow* bar = created.get();
    bar->kind = WindowKind::MenuBar;
    bar->procedure = menuBarProc;
    bar->rect = menuBarRect;
    bar->owner = o;
    bar->menu = &description;
    bar->visible = true;
    bar->invalid = true;
    s.windows.push_back(std::move(created));
    return bar;
}

int32_t addMenuBarBitmap(WindowHandle menuBar, const Bitmap& bitmap, int32_t images) {
    SystemWindow* bar = live(menuBar);
    if (bar == nullptr || bar->kind != WindowKind::MenuBar || images < 1) return -1;
    int32_t first = 0;
    for (const Bitmap& strip : bar->images)
        first += strip.width / 16;
    bar->images.push_back(bitmap);
    invalidateWindow(bar, false);
    return first;
}

bool setNavigationBarText(WindowHandle window, std::string_view text) {
    SystemWindow* w = live(window);
    if (w == nullptr) return false;
    w->navigationText = std::string(text);
    redrawNavigationBar();
    return true;
}

bool setFullScreen(WindowHandle window, uint32_t flags) {
    SystemWindow* w = live(window);
    if (w == nullptr) return false;
    w->fullScreenFlags = flags;
    return true;
}

bool handleActivateMessage(WindowHandle window, uintptr_t wParam, intptr_t, ActivateInfo* info) {
    if (live(window) == nullptr || info == nullptr || info->size != sizeof(ActivateInfo))
        return false;
    info->lastActivate = lowWord(wParam);
    return true;
}

bool handleSettingChangeMessage(WindowHandle window, uintptr_t, intptr_t, ActivateInfo* info) {
    if (live(window) == nullptr || info == nullptr || info->size != sizeof(ActivateInfo))
        return false;
    ++info->settings;
    return true;
}

void showReadout(const uint16_t* pixels) {
    if (WindowBackEnd* backEnd = state().backEnd) backEnd->presentReadout(pixels);
}

void setDesktopTitle(std::string_view title) {
    if (WindowBackEnd* backEnd = state().backEnd) backEnd->setTitle(title);
}

// ---- navigation bar ----
namespace window_internal {

void redrawNavigationBar() {
    WindowSystemState& s = state();
    if (s.screen == nullptr) return;
    std::string title;
    bool done = false;
    bool donePressed = false;
    const SystemWindow* front = nullptr;
    for (auto it = s.modal.rbegin(); it != s.modal.rend() && front == nullptr; ++it) {
        if ((*it)->kind == WindowKind::Dialog) front = *it;
    }
    if (front != nullptr) {
        title = std::string(front->dialogTemplate->caption);
        done = (front->dialogFlags & dialogDoneButton) != 0;
        donePressed = front->donePressed;
    } else {
        const SystemWindow* shown =
            live(s.active) != nullptr && s.active->kind == WindowKind::TopLevel ? s.active
                                                                                : nullptr;
        for (const auto& w : s.windows) {
            if (shown == nullptr && !w->destroyed && w->visible && w->kind == WindowKind::TopLevel)
                shown = w.get();
        }
        if (shown != nullptr)
            title = shown->navigationText.empty() ? shown->title : shown->navigationText;
    }
    drawNavigationBar(screenCanvas(), s.fonts, title, done, donePressed);
    s.shownTitle = title;
    markDirty();
}

}  // namespace window_internal

// ---- for tests ----
std::string navigationBarTitle() {
    return state().shownTitle;
}

int32_t openMenuButton() {
    const MenuTracking& m = state().menu;
    return m.open ? m.button : -1;
}

std::vector<WindowHandle> modalWindows() {
    return {state().modal.begin(), state().modal.end()};
}

std::string messageBoxText(WindowHandle window) {
    const SystemWindow* w = live(window);
    return w != nullptr && w->kind == WindowKind::MessageBox ? w->messageText : std::string();
}

std::string messageBoxCaption(WindowHandle window) {
    const SystemWindow* w = live(window);
    return w != nullptr && w->kind == WindowKind::MessageBox ? w->messageCaption : std::string();
}

}  // namespace veldra
