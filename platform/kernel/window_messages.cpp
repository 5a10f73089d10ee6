#include "platform/kernel/window_messages.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/kernel/bounded_queue.h"

namespace veldra {
namespace {

std::mutex queueLock;
std::condition_variable arrived;
std::array<WindowMessage, windowQueueCapacity> ring{};
BoundedQueue<WindowMessage> queue(ring.data(), ring.size());  // guarded by queueLock
std::atomic<void (*)()> wakeUpHook{nullptr};  // setWindowMessageWakeUp; any thread reads it

}  // namespace

bool postWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    {
        std::lock_guard<std::mutex> hold(queueLock);
        if (!queue.push(WindowMessage{window, message, wParam, lParam})) return false;
    }
    arrived.notify_one();
    if (void (*wakeUp)() = wakeUpHook.load(std::memory_order_acquire)) wakeUp();
    return true;
}

void setWindowMessageWakeUp(void (*wakeUp)()) {
    wakeUpHook.store(wakeUp, std::memory_order_release);
}

bool takeWindowMessage(WindowMessage* message) {
    if (message == nullptr) return false;
    std::lock_guard<std::mutex> hold(queueLock);
    return queue.take(*message);
}

bool waitWindowMessage(WindowMessage* message, uint32_t timeoutMs) {
    if (message == nullptr) return false;
    std::unique_lock<std::mutex> hold(queueLock);
    arrived.wait_for(hold, std::chrono::milliseconds(timeoutMs), [] { return queue.size() > 0; });
    return queue.take(*message);
}

size_t pendingWindowMessages() {
    std::lock_guard<std::mutex> hold(queueLock);
    return queue.size();
}

void clearWindowMessages() {
    std::lock_guard<std::mutex> hold(queueLock);
    queue.clear();
}

}  // namespace veldra
