#include "platform/backends/headless/headless_back_end.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "platform/screen/screen.h"

namespace veldra {

void HeadlessBackEnd::present(const uint16_t* pixels) {
    picture_.assign(pixels, pixels + screenWidth * screenHeight);
}

bool HeadlessBackEnd::nextInput(InputEvent& event, bool wait) {
    const bool scripted = input_.empty() && wait && idle_ && idle_();
    if (!input_.empty()) {
        event = input_.front();
        input_.pop_front();
        return true;
    }
    if (!wait || scripted) return false;
    std::unique_lock<std::mutex> hold(mutex_);
    if (!wakeUp_.wait_for(hold, std::chrono::milliseconds(waitLimitMs_),
                          [this] { return woken_; })) {
        std::fprintf(stderr,
                     "headless window back end: waited %d ms for input that no script gives\n",
                     waitLimitMs_);
        std::abort();
    }
    woken_ = false;
    return false;
}

void HeadlessBackEnd::wake() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        woken_ = true;
    }
    wakeUp_.notify_one();
}

void HeadlessBackEnd::tap(int32_t x, int32_t y) {
    queue({InputKind::PointerDown, x, y});
    queue({InputKind::PointerUp, x, y});
}

void HeadlessBackEnd::press(uint32_t key, bool control) {
    InputEvent down{InputKind::KeyDown};
    down.key = key;
    down.control = control;
    queue(down);
    InputEvent up = down;
    up.kind = InputKind::KeyUp;
    queue(up);
}

}  // namespace veldra
