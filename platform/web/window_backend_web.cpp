#include "platform/web/window_backend_web.h"

#include <emscripten.h>

#include "platform/kernel/kernel.h"

namespace veldra {
namespace {

// ---- the page's side ----

// The screen to the page: a view of the display memory, valid during the call only.
EM_JS(void, showScreen, (const uint16_t* pixels, int32_t count),
      { Module.veldraPresent(HEAPU16.subarray(pixels >> 1, (pixels >> 1) + count)); });

EM_JS(void, showReadoutStrip, (const uint16_t* pixels, int32_t rows), {
    Module.veldraPresentReadout(HEAPU16.subarray(pixels >> 1, (pixels >> 1) + 240 * rows), rows);
});

EM_JS(void, showTitle, (const char* title), { Module.veldraSetTitle(UTF8ToString(title)); });

// Gives the thread back to the browser until the page calls Module.veldraWake.
EM_ASYNC_JS(void, sleepUntilWoken, (), {
    await new Promise(function(resolve) { Module.veldraWakeUp = resolve; });
    Module.veldraWakeUp = null;
});

EM_JS(void, showEnd, (int32_t exitCode), { Module.veldraEnded(exitCode); });

EM_JS(void, wakeSleeper, (), {
    if (Module.veldraWakeUp) Module.veldraWakeUp();
});

// ---- the back end ----

constexpr size_t inputCapacity = 256;  // events the page can queue before one is taken

class WebBackEnd;
WebBackEnd* current = nullptr;  // the live back end, which the page's events go to

class WebBackEnd final : public WindowBackEnd {
  public:
    explicit WebBackEnd(int32_t readoutRows)
        : readoutRows_(readoutRows), queue_(ring_, inputCapacity) {
        current = this;
    }
    ~WebBackEnd() override { current = nullptr; }

    void present(const uint16_t* pixels) override {
        showScreen(pixels, screenWidth * screenHeight);
    }

    void presentReadout(const uint16_t* pixels) override {
        if (readoutRows_ > 0) showReadoutStrip(pixels, readoutRows_);
    }

    bool nextInput(InputEvent& event, bool wait) override {
        if (queue_.take(event)) return true;
        if (!wait) return false;
        if (!woken_) sleepUntilWoken();
        woken_ = false;
        return queue_.take(event);
    }

    void wake() override {
        woken_ = true;
        wakeSleeper();
    }

    // A page cannot bring its tab to the front, and the browser shows the site's icon.
    void raise() override {}
    void setIcon(const Bitmap&) override {}

    void setTitle(std::string_view title) override { showTitle(std::string(title).c_str()); }

    // An event from the page; a full queue drops it (as a busy handheld drops taps).
    void input(const InputEvent& event) {
        queue_.push(event);
        wake();
    }

  private:
    const int32_t readoutRows_;  // the readout strip's rows (0: none)
    InputEvent ring_[inputCapacity];
    BoundedQueue<InputEvent> queue_;  // the page's events, oldest first
    bool woken_ = false;              // woken since the last wait: the next one returns at once
};

}  // namespace

std::unique_ptr<WindowBackEnd> makeWebBackEnd(int32_t readoutRows) {
    if (current != nullptr) return nullptr;
    return std::make_unique<WebBackEnd>(readoutRows);
}

void tellPageProgramEnded(int32_t exitCode) {
    showEnd(exitCode);
}

}  // namespace veldra

// The page's events (InputKind's numbers), while a back end lives.
extern "C" EMSCRIPTEN_KEEPALIVE void veldra_web_input(int32_t kind, int32_t x, int32_t y,
                                                      uint32_t key, int32_t control,
                                                      int32_t shift) {
    using namespace veldra;
    if (current == nullptr || kind < 0 || kind > static_cast<int32_t>(InputKind::SettingChanged))
        return;
    current->input(InputEvent{static_cast<InputKind>(kind), x, y, key, control != 0, shift != 0});
}
