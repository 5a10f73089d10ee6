#include "platform/backends/window_backend_sdl.h"

// Before X11's headers, whose macro None would clash with a name of the sound files'.
#include "platform/sound_files/sound_files.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/screen/screen.h"

namespace veldra {

namespace {

constexpr int32_t largestScale = 8;
constexpr double shareOfHeight = 0.9;  // the window, strip included, fills at most this

// The largest whole scale whose window fits in shareOfHeight of the usable screen's height
// (and in its width), and at least 2 where 2 fits at all; 2 when the screen cannot be asked.
int32_t fittingScale(int32_t width, int32_t height) {
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0 || usable.w <= 0 || usable.h <= 0) return 2;
    int32_t scale = 1;
    while (scale < largestScale && width * (scale + 1) <= usable.w &&
           height * (scale + 1) <= shareOfHeight * usable.h)
        ++scale;
    if (scale < 2 && width * 2 <= usable.w && height * 2 <= usable.h) scale = 2;
    return scale;
}

// VELDRA_SCALE when it is one digit from 1 to 8 and nothing else (no sign, no space), else
// the fitting one; a value it cannot use is said on standard error, escaped, with what is
// used instead.
int32_t chosenScale(int32_t width, int32_t height) {
    const int32_t fitting = fittingScale(width, height);
    const char* value = std::getenv(scaleVariable);
    if (value == nullptr || *value == 0) return fitting;
    if (value[0] >= '1' && value[0] < '1' + largestScale && value[1] == 0) return value[0] - '0';
    std::fprintf(stderr, "veldra: %s=%s is not a whole number from 1 to %d; using %d\n",
                 scaleVariable, printableText(value).c_str(), largestScale, fitting);
    return fitting;
}

// The virtual-key code of an SDL key; 0 for keys the program has no use for.
uint32_t virtualKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return static_cast<uint32_t>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return static_cast<uint32_t>('0' + (key - SDLK_0));
    switch (key) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return keyReturn;
        case SDLK_ESCAPE:
            return keyEscape;
        case SDLK_SPACE:
            return keySpace;
        case SDLK_LEFT:
            return keyLeft;
        case SDLK_UP:
            return keyUp;
        case SDLK_RIGHT:
            return keyRight;
        case SDLK_DOWN:
            return keyDown;
        case SDLK_F10:
            return keyF10;
        case SDLK_TAB:
            return keyTab;
        default:
            return 0;
    }
}

// SDL wakes a loop that waits for X events by sending an event to its window over a
// second X connection. The X server may take that request after the main connection's
// later ones, and at exit those destroy the window: a wake sent just before then earns
// a BadWindow error, which means nothing, but which Xlib's default handler answers by
// ending the program with status 1 (when SDL closes that connection). This handler,
// installed before SDL's video starts so that SDL keeps it as the one to go back to,
// lets exactly that error pass and hands every other to Xlib's default handler.
//
// The window may also be destroyed by someone else (a window manager's kill, `xdotool
// windowclose`): the requests SDL still makes for it then fail too. Those failures mark
// the window as gone, and the program closes as if its close button had been pressed.
XErrorHandler defaultErrorHandler = nullptr;
std::atomic<unsigned long> ourWindow{0};  // the X window behind SDL's, once known
std::atomic<bool> windowGone{false};      // it was destroyed from outside

int toleratingErrorHandler(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow && error->request_code == X_SendEvent) return 0;
    const bool aboutOurs = ourWindow != 0 && error->resourceid == ourWindow;
    if (aboutOurs && (error->error_code == BadWindow || error->error_code == BadDrawable ||
                      error->error_code == BadMatch)) {
        windowGone = true;
        return 0;
    }
    return defaultErrorHandler != nullptr ? defaultErrorHandler(display, error) : 0;
}

// With system events on, SDL queues every X event it handles as one; only our window's
// destruction is wanted, so the rest are dropped before they reach the queue.
int onlyOurDestruction(void*, SDL_Event* e) {
    if (e->type != SDL_SYSWMEVENT) return 1;
    const SDL_SysWMmsg& m = *e->syswm.msg;
    return m.subsystem == SDL_SYSWM_X11 && m.msg.x11.event.type == DestroyNotify &&
           m.msg.x11.event.xdestroywindow.window == ourWindow;
}

// Only a window someone can see will do. Left to itself SDL falls back, without a display,
// to its offscreen driver, where the start-up notice would wait for a key forever. So the
// driver is the one SDL_VIDEODRIVER names, or X11 or Wayland. Wayland is tried only with
// XDG_RUNTIME_DIR set: without it libwayland cannot connect, and says so on stderr.
bool chooseRealVideoDriver() {
    const char* named = SDL_getenv("SDL_VIDEODRIVER");
    if (named != nullptr && *named != 0) return false;
    const char* runtime = SDL_getenv("XDG_RUNTIME_DIR");
    // Above an empty SDL_VIDEODRIVER, which a plain hint would not be.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER,
                            runtime != nullptr && *runtime != 0 ? "x11,wayland" : "x11",
                            SDL_HINT_OVERRIDE);
    return true;
}

std::string displayVariables() {
    std::string text;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = SDL_getenv(name);
        text += text.empty() ? "" : ", ";
        text += name;
        text += value != nullptr && *value != 0 ? std::string(" ") + value : " not set";
    }
    return text;
}

// SIGHUP (the terminal closed, the session ending) ends the program as SIGTERM does: SDL
// turns SIGTERM into the quit event, which closes the window in order.
void hangUpAsTerminate(int) {
    raise(SIGTERM);
}

class SdlBackEnd final : public WindowBackEnd {
  public:
    explicit SdlBackEnd(int32_t readoutRows) : pictureRows_(screenHeight + readoutRows) {}

    ~SdlBackEnd() override {
        SDL_SetEventFilter(nullptr, nullptr);
        if (window_ != nullptr) SDL_DestroyWindow(window_);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        if (hangUpTaken_) sigaction(SIGHUP, &hangUpBefore_, nullptr);
    }

    bool start(std::string& error) {
        SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
        // The window's own surface, written directly (X11 shared memory and the like):
        // without this SDL would present it through an OpenGL renderer, whose driver alone
        // costs several times the program's memory and a share of a core.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        if (defaultErrorHandler == nullptr)
            defaultErrorHandler = XSetErrorHandler(toleratingErrorHandler);
        const bool chosen = chooseRealVideoDriver();
        // SDL 2.26 takes the window's class only from these variables (else the program's
        // file name), and reads them when its video starts. They are set for that moment
        // alone, so that the help viewer started later does not inherit them; the program
        // starts its back end before any thread of its own, so no reader races setenv.
        const char* const classVariables[] = {"SDL_VIDEO_X11_WMCLASS", "SDL_VIDEO_WAYLAND_WMCLASS"};
        bool classSet[2] = {};
        for (int i = 0; i < 2; ++i) {
            classSet[i] = std::getenv(classVariables[i]) == nullptr &&
                          setenv(classVariables[i], desktopAppId, 0) == 0;
        }
        const int videoStarted = SDL_InitSubSystem(SDL_INIT_VIDEO);
        for (int i = 0; i < 2; ++i) {
            if (classSet[i]) unsetenv(classVariables[i]);
        }
        if (videoStarted != 0) {
            error = chosen ? "cannot open a window: no X11 or Wayland display answers (" +
                                 displayVariables() + ")"
                           : std::string("cannot open a window: ") + SDL_GetError();
            return false;
        }
        // A hang-up that was ignored when the program started (nohup) stays ignored.
        if (sigaction(SIGHUP, nullptr, &hangUpBefore_) == 0 &&
            hangUpBefore_.sa_handler == SIG_DFL) {
            struct sigaction action {};
            action.sa_handler = hangUpAsTerminate;
            sigemptyset(&action.sa_mask);
            hangUpTaken_ = sigaction(SIGHUP, &action, nullptr) == 0;
        }
        wakeType_ = SDL_RegisterEvents(1);
        const int32_t scale = chosenScale(screenWidth, pictureRows_);
        window_ = SDL_CreateWindow(desktopAppName, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                   screenWidth * scale, pictureRows_ * scale,
                                   SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
        if (window_ == nullptr || wakeType_ == static_cast<uint32_t>(-1)) {
            error = std::string("cannot open a window: ") + SDL_GetError();
            return false;
        }
        SDL_SetWindowMinimumSize(window_, screenWidth, pictureRows_);
        SDL_SysWMinfo system;
        SDL_VERSION(&system.version);
        if (SDL_GetWindowWMInfo(window_, &system) == SDL_TRUE &&
            system.subsystem == SDL_SYSWM_X11) {
            ourWindow = system.info.x11.window;
            SDL_SetEventFilter(onlyOurDestruction, nullptr);
            SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);  // to hear of its destruction
        }
        SDL_StopTextInput();
        return true;
    }

    void present(const uint16_t* pixels) override {
        picture_ = pixels;
        show(0, screenHeight);
    }

    void presentReadout(const uint16_t* pixels) override {
        readout_ = pixels;
        show(screenHeight, pictureRows_);
    }

    bool nextInput(InputEvent& event, bool wait) override {
        SDL_Event e;
        for (;;) {
            if (windowGone && !goneReported_) {
                goneReported_ = true;
                event = {InputKind::CloseRequested};
                return true;
            }
            if (!(wait ? SDL_WaitEvent(&e) : SDL_PollEvent(&e))) return false;
            if (e.type == wakeType_) {
                wakePending_.store(false, std::memory_order_release);
                if (wait) return false;
                continue;
            }
            if (translate(e, event)) return true;
        }
    }

    void wake() override {
        if (wakePending_.exchange(true, std::memory_order_acq_rel)) return;
        SDL_Event e{};
        e.type = wakeType_;
        if (SDL_PushEvent(&e) != 1) wakePending_.store(false, std::memory_order_release);
    }

    void raise() override {
        if ((SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) != 0) SDL_RestoreWindow(window_);
        SDL_RaiseWindow(window_);
    }

    void setIcon(const Bitmap& icon) override {
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<uint16_t*>(icon.pixels), icon.width, icon.height, 16, icon.width * 2,
            SDL_PIXELFORMAT_RGB565);
        if (surface == nullptr) return;
        SDL_SetWindowIcon(window_, surface);
        SDL_FreeSurface(surface);
    }

    void setTitle(std::string_view title) override {
        SDL_SetWindowTitle(window_, std::string(title).c_str());
    }

  private:
    // Paints the picture's rows from .. to (the screen's, then the readout's) and shows them;
    // a change of the window's size repaints everything.
    void show(int32_t from, int32_t to) {
        if (windowGone) return;
        SDL_Surface* surface = SDL_GetWindowSurface(window_);
        if (surface == nullptr) return;
        if (layOut(surface)) from = 0, to = pictureRows_;
        const bool whole = from == 0 && to == pictureRows_;  // also the bars, as after exposure
        if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
        if (surface->format->BytesPerPixel == 4) {
            paint<uint32_t>(surface, from, to);
        } else if (surface->format->BytesPerPixel == 2) {
            paint<uint16_t>(surface, from, to);
        }
        if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
        // Only the rows painted go to the display server: the readout changes ten times a
        // second and need not send the screen's picture along with it.
        const SDL_Rect rows{offsetX_, offsetY_ + from * scale_, screenWidth * scale_,
                            (to - from) * scale_};
        if (whole || SDL_UpdateWindowSurfaceRects(window_, &rows, 1) != 0)
            SDL_UpdateWindowSurface(window_);
    }

    // Scale and offset of the picture in a surface of this size; the bars go black, and the
    // colour table is rebuilt, whenever the surface changes (then true).
    bool layOut(SDL_Surface* surface) {
        if (surface->w == surfaceWidth_ && surface->h == surfaceHeight_ &&
            surface->format->format == format_)
            return false;
        surfaceWidth_ = surface->w;
        surfaceHeight_ = surface->h;
        format_ = surface->format->format;
        scale_ = std::max(1, std::min(surface->w / screenWidth, surface->h / pictureRows_));
        offsetX_ = (surface->w - screenWidth * scale_) / 2;
        offsetY_ = (surface->h - pictureRows_ * scale_) / 2;
        SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
        colours_.resize(65536);
        for (uint32_t p = 0; p < 65536; ++p) {
            const uint32_t r = (p >> 11) & 0x1F;
            const uint32_t g = (p >> 5) & 0x3F;
            const uint32_t b = p & 0x1F;
            colours_[p] = SDL_MapRGB(surface->format, static_cast<Uint8>((r << 3) | (r >> 2)),
                                     static_cast<Uint8>((g << 2) | (g >> 4)),
                                     static_cast<Uint8>((b << 3) | (b >> 2)));
        }
        return true;
    }

    // The picture's row y: the screen's, the readout's, or black while either has none.
    const uint16_t* pictureRow(int32_t y) const {
        static const uint16_t black[screenWidth] = {};
        if (y < screenHeight) return picture_ != nullptr ? picture_ + y * screenWidth : black;
        return readout_ != nullptr ? readout_ + (y - screenHeight) * screenWidth : black;
    }

    template <typename Pixel>
    void paint(SDL_Surface* surface, int32_t from, int32_t to) {
        const int32_t columns = std::min(screenWidth, (surface->w - offsetX_) / scale_);
        const int32_t rows = std::min(to, (surface->h - offsetY_) / scale_);
        for (int32_t y = from; y < rows; ++y) {
            uint8_t* top =
                static_cast<uint8_t*>(surface->pixels) + (offsetY_ + y * scale_) * surface->pitch;
            Pixel* out = reinterpret_cast<Pixel*>(top) + offsetX_;
            const uint16_t* in = pictureRow(y);
            for (int32_t x = 0; x < columns; ++x) {
                const Pixel colour = static_cast<Pixel>(colours_[in[x]]);
                for (int32_t k = 0; k < scale_; ++k)
                    *out++ = colour;
            }
            // The other rows of a scaled row are copies of its first.
            const size_t bytes = static_cast<size_t>(columns * scale_) * sizeof(Pixel);
            const uint8_t* first = top + offsetX_ * static_cast<int32_t>(sizeof(Pixel));
            for (int32_t k = 1; k < scale_; ++k)
                std::memcpy(
                    top + k * surface->pitch + offsetX_ * static_cast<int32_t>(sizeof(Pixel)),
                    first, bytes);
        }
    }

    // A point of the window (in points) on the screen, in screen pixels.
    void toScreen(int32_t x, int32_t y, int32_t& sx, int32_t& sy) const {
        int windowWidth = 0, windowHeight = 0;
        SDL_GetWindowSize(window_, &windowWidth, &windowHeight);
        const int32_t px = windowWidth > 0 ? x * surfaceWidth_ / windowWidth : x;
        const int32_t py = windowHeight > 0 ? y * surfaceHeight_ / windowHeight : y;
        sx = (px - offsetX_) / scale_ - (px < offsetX_ ? 1 : 0);
        sy = (py - offsetY_) / scale_ - (py < offsetY_ ? 1 : 0);
    }

    bool translate(const SDL_Event& e, InputEvent& event) {
        switch (e.type) {
            case SDL_QUIT:
                event = {InputKind::CloseRequested};
                return true;
            case SDL_SYSWMEVENT:  // only our window's destruction passes the filter
                windowGone = true;
                return false;
            case SDL_APP_LOWMEMORY:
                event = {InputKind::LowMemory};
                return true;
            case SDL_LOCALECHANGED:
            case SDL_DISPLAYEVENT:
                event = {InputKind::SettingChanged};
                return true;
            case SDL_WINDOWEVENT:
                switch (e.window.event) {
                    case SDL_WINDOWEVENT_FOCUS_GAINED:
                        event = {InputKind::FocusGained};
                        return true;
                    case SDL_WINDOWEVENT_FOCUS_LOST:
                        event = {InputKind::FocusLost};
                        return true;
                    case SDL_WINDOWEVENT_MINIMIZED:
                    case SDL_WINDOWEVENT_HIDDEN:
                        event = {InputKind::Minimised};
                        return true;
                    case SDL_WINDOWEVENT_EXPOSED:
                    case SDL_WINDOWEVENT_SIZE_CHANGED:
                        show(0, pictureRows_);
                        return false;
                    default:
                        return false;
                }
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
            case SDL_MOUSEMOTION:
                return translatePointer(e, event);
            case SDL_KEYDOWN:
            case SDL_KEYUP: {
                if (e.key.repeat != 0) return false;
                const uint32_t key = virtualKey(e.key.keysym.sym);
                if (key == 0) return false;
                event = {e.type == SDL_KEYDOWN ? InputKind::KeyDown : InputKind::KeyUp};
                event.key = key;
                event.control = (e.key.keysym.mod & KMOD_CTRL) != 0;
                event.shift = (e.key.keysym.mod & KMOD_SHIFT) != 0;
                return true;
            }
            default:
                return false;
        }
    }

    bool translatePointer(const SDL_Event& e, InputEvent& event) {
        int32_t x = 0, y = 0;
        if (e.type == SDL_MOUSEMOTION) {
            if (!stylusDown_ || (e.motion.state & SDL_BUTTON_LMASK) == 0) return false;
            toScreen(e.motion.x, e.motion.y, x, y);
            event = {InputKind::PointerMove, std::clamp(x, 0, screenWidth - 1),
                     std::clamp(y, 0, screenHeight - 1)};
            return true;
        }
        if (e.button.button != SDL_BUTTON_LEFT) return false;
        toScreen(e.button.x, e.button.y, x, y);
        if (e.type == SDL_MOUSEBUTTONDOWN) {
            // A press on the bars beside the picture touches nothing.
            if (x < 0 || y < 0 || x >= screenWidth || y >= screenHeight) return false;
            stylusDown_ = true;
            event = {InputKind::PointerDown, x, y};
            return true;
        }
        if (!stylusDown_) return false;
        stylusDown_ = false;
        event = {InputKind::PointerUp, std::clamp(x, 0, screenWidth - 1),
                 std::clamp(y, 0, screenHeight - 1)};
        return true;
    }

    const int32_t pictureRows_;  // the screen's and the readout strip's below it
    SDL_Window* window_ = nullptr;
    uint32_t wakeType_ = 0;                 // the user event that wakes the loop
    std::atomic<bool> wakePending_{false};  // a wake event is queued and not yet taken
    const uint16_t* picture_ = nullptr;     // the screen last presented, shown again on exposure
    const uint16_t* readout_ = nullptr;     // the readout strip last presented, likewise
    std::vector<uint32_t> colours_;         // RGB565 -> the surface's pixel format
    int32_t surfaceWidth_ = 0;              // the window surface last laid out, in pixels
    int32_t surfaceHeight_ = 0;
    uint32_t format_ = 0;
    int32_t scale_ = 1;    // picture pixels per screen pixel
    int32_t offsetX_ = 0;  // the picture's top-left corner in the surface
    int32_t offsetY_ = 0;
    bool stylusDown_ = false;           // a press inside the picture awaits its release
    bool goneReported_ = false;         // the window's destruction went out as a close
    bool hangUpTaken_ = false;          // SIGHUP is handed on as SIGTERM while the window lives
    struct sigaction hangUpBefore_ {};  // what SIGHUP did before, put back at the end
};

}  // namespace

std::unique_ptr<WindowBackEnd> makeSdlBackEnd(int32_t readoutRows, std::string& error) {
    auto backEnd = std::make_unique<SdlBackEnd>(readoutRows);
    if (!backEnd->start(error)) return nullptr;
    return backEnd;
}

}  // namespace veldra
