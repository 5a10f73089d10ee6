#include "platform/kernel/window_messages.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace veldra {
namespace {

std::mutex queueLock;
std::condition_variable arrived;
std::array<WindowMessage, windowQueueCapacity> queue{};  // a ring; guarded by queueLock
size_t head = 0;   // oldest message
size_t count = 0;  // messages waiting
std::atomic<void (*)()> wakeUpHook{nullptr};  // setWindowMessageWakeUp; any thread reads it

bool takeLocked(WindowMessage* message) {
    if (count == 0) return false;
    *message = queue[head];
    head = (head + 1) % windowQueueCapacity;
    --count;
    return true;
}

}  // namespace

bool postWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    {
        std::lock_guard<std::mutex> hold(queueLock);
        if (count == windowQueueCapacity) return false;
        queue[(head + count) % windowQueueCapacity] = WindowMessage{window, message, wParam, lParam};
        ++count;
    }
    arrived.notify_one();
    if (void (*wakeUp)() = wakeUpHook.load(std::memory_order_acquire)) wakeUp();
    return true;
}

void setWindowMessageWakeUp(void (*wakeUp)()) { wakeUpHook.store(wakeUp, std::memory_order_release); }

bool takeWindowMessage(WindowMessage* message) {
    if (message == nullptr) return false;
    std::lock_guard<std::mutex> hold(queueLock);
    return takeLocked(message);
}

bool waitWindowMessage(WindowMessage* message, uint32_t timeoutMs) {
    if (message == nullptr) return false;
    std::unique_lock<std::mutex> hold(queueLock);
    arrived.wait_for(hold, std::chrono::milliseconds(timeoutMs), [] { return count > 0; });
    return takeLocked(message);
}

size_t pendingWindowMessages() {
    std::lock_guard<std::mutex> hold(queueLock);
    return count;
}

void clearWindowMessages() {
    std::lock_guard<std::mutex> hold(queueLock);
    head = 0;
    count = 0;
}

}  // namespace veldra
