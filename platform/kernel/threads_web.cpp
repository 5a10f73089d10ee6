// The kernel for the browser, which runs the program on one thread (threads.h says what
// each call does there). The queues and ids work as in threads.cpp, so the sound input
// posts filled buffers exactly as it does natively; what the capture thread would do with
// them is run in steps by the code that delivers the sound (runThreadStep).
#include <array>
#include <memory>
#include <new>

#include "platform/kernel/bounded_queue.h"
#include "platform/kernel/threads.h"

namespace veldra {

// ---- AutoResetEvent ----

void AutoResetEvent::signal() {
    signalled_ = true;
}

uint32_t AutoResetEvent::wait(uint32_t) {
    if (!signalled_) return waitTimedOut;
    signalled_ = false;
    return waitSignalled;
}

// ---- Threads and their queues ----

struct KernelThread {
    uint32_t id = 0;  // registry key, never 0
    std::unique_ptr<ThreadMessage[]> ring;
    BoundedQueue<ThreadMessage> queue;
};

namespace {

constexpr size_t registrySize = 64;
std::array<KernelThread*, registrySize> registry{};  // live threads by id
uint32_t lastId = 0;

KernelThread* currentThread = nullptr;  // the thread runThreadStep runs a step as

KernelThread* find(uint32_t id) {
    for (KernelThread* t : registry) {
        if (t != nullptr && t->id == id) return t;
    }
    return nullptr;
}

}  // namespace

KernelThread* createThread(ThreadProc proc, void*, uint32_t queueCapacity, uint32_t* threadId) {
    if (proc == nullptr || threadId == nullptr || queueCapacity == 0) return nullptr;
    std::unique_ptr<KernelThread> thread(new (std::nothrow) KernelThread{});
    if (!thread) return nullptr;
    thread->ring.reset(new (std::nothrow) ThreadMessage[queueCapacity]);
    if (!thread->ring) return nullptr;
    thread->queue = BoundedQueue<ThreadMessage>(thread->ring.get(), queueCapacity);
    for (KernelThread*& slot : registry) {
        if (slot == nullptr) {
            if (++lastId == 0) ++lastId;
            thread->id = lastId;
            slot = thread.get();
            *threadId = thread->id;
            return thread.release();
        }
    }
    return nullptr;
}

bool threadExitCode(const KernelThread* thread, uint32_t* exitCode) {
    if (thread == nullptr || exitCode == nullptr) return false;
    *exitCode = threadStillActive;
    return true;
}

bool waitForThread(KernelThread* thread, uint32_t) {
    return thread != nullptr;
}

void closeThread(KernelThread* thread) {
    if (thread == nullptr) return;
    for (KernelThread*& slot : registry) {
        if (slot == thread) slot = nullptr;
    }
    if (currentThread == thread) currentThread = nullptr;
    delete thread;
}

void setThreadPriority(KernelThread*, uint32_t) {}

bool threadCpuTime(KernelThread*, uint64_t*) {
    return false;
}

bool postThreadMessage(uint32_t threadId, uint32_t message, uintptr_t wParam, uintptr_t lParam) {
    KernelThread* t = find(threadId);
    return t != nullptr && t->queue.push(ThreadMessage{message, wParam, lParam});
}

bool takeThreadMessage(ThreadMessage* message) {
    if (currentThread == nullptr || message == nullptr) return false;
    return currentThread->queue.take(*message);
}

bool runThreadStep(KernelThread* thread, void (*step)(void* parameter), void* parameter) {
    if (thread == nullptr || step == nullptr) return false;
    KernelThread* const outer = currentThread;
    currentThread = thread;
    step(parameter);
    currentThread = outer;
    return true;
}

}  // namespace veldra
