// Waiting in tests for what another thread or process does: polls until reached() holds
// (running step before each look, e.g. to pump a message loop) or the time is up.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace veldra {

inline bool eventually(const std::function<bool()>& reached,
                       std::chrono::milliseconds timeout = std::chrono::seconds(20),
                       const std::function<void()>& step = {}) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (step) step();
        if (reached()) return true;
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace veldra
