#include "platform/kernel/threads.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

#include "platform/kernel/bounded_queue.h"

namespace veldra {

// ---- AutoResetEvent ----

void AutoResetEvent::signal() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        signalled_ = true;
    }
    changed_.notify_one();
}

uint32_t AutoResetEvent::wait(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> hold(mutex_);
    if (!changed_.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                           [this] { return signalled_; })) {
        return waitTimedOut;
    }
    signalled_ = false;
    return waitSignalled;
}

// ---- Threads and their queues ----

struct KernelThread {
    ThreadProc proc;     // the procedure
    void* parameter;     // its parameter
    uint32_t id;         // registry key, never 0
    std::thread runner;  // joined by closeThread
    std::mutex mutex;    // guards the fields below
    std::condition_variable changed;
    pid_t tid = 0;       // the Linux thread id, for priorities; set at start
    bool ended = false;  // the procedure has returned
    uint32_t exitCode = threadStillActive;
    // The messages; guarded by the registry's lock, not by mutex.
    std::unique_ptr<ThreadMessage[]> ring;
    BoundedQueue<ThreadMessage> queue;
};

namespace {

// Live threads by id. The lock also guards every queue, so that a post can never reach
// a queue whose thread is being unregistered.
constexpr size_t registrySize = 64;
std::mutex registryLock;
std::array<KernelThread*, registrySize> registry{};
uint32_t lastId = 0;  // guarded by registryLock

thread_local KernelThread* currentThread = nullptr;

KernelThread* findLocked(uint32_t id) {
    for (KernelThread* t : registry) {
        if (t != nullptr && t->id == id) return t;
    }
    return nullptr;
}

bool registerThread(KernelThread* thread) {
    std::lock_guard<std::mutex> hold(registryLock);
    for (KernelThread*& slot : registry) {
        if (slot == nullptr) {
            if (++lastId == 0) ++lastId;
            thread->id = lastId;
            slot = thread;
            return true;
        }
    }
    return false;
}

void unregisterThread(KernelThread* thread) {
    std::lock_guard<std::mutex> hold(registryLock);
    for (KernelThread*& slot : registry) {
        if (slot == thread) slot = nullptr;
    }
}

void runThread(KernelThread* thread) {
    currentThread = thread;
    {
        std::lock_guard<std::mutex> hold(thread->mutex);
        thread->tid = static_cast<pid_t>(syscall(SYS_gettid));
    }
    thread->changed.notify_all();
    const uint32_t code = thread->proc(thread->parameter);
    // Unregistered before it counts as ended: once a waiter sees the end, no post can
    // reach the queue any more.
    unregisterThread(thread);
    {
        std::lock_guard<std::mutex> hold(thread->mutex);
        thread->exitCode = code;
        thread->ended = true;
    }
    thread->changed.notify_all();
}

}  // namespace

KernelThread* createThread(ThreadProc proc, void* parameter, uint32_t queueCapacity,
                           uint32_t* threadId) {
    if (proc == nullptr || threadId == nullptr || queueCapacity == 0) return nullptr;
    std::unique_ptr<KernelThread> thread(new (std::nothrow) KernelThread{});
    if (!thread) return nullptr;
    thread->proc = proc;
    thread->parameter = parameter;
    thread->ring.reset(new (std::nothrow) ThreadMessage[queueCapacity]);
    if (!thread->ring) return nullptr;
    thread->queue = BoundedQueue<ThreadMessage>(thread->ring.get(), queueCapacity);
    if (!registerThread(thread.get())) return nullptr;
    try {
        thread->runner = std::thread(runThread, thread.get());
    } catch (const std::system_error&) {
        unregisterThread(thread.get());
        return nullptr;
    }
    // The Linux id is needed for priorities; it exists once the thread has started.
    {
        std::unique_lock<std::mutex> hold(thread->mutex);
        thread->changed.wait(hold, [&] { return thread->tid != 0; });
    }
    *threadId = thread->id;
    return thread.release();
}

bool threadExitCode(const KernelThread* thread, uint32_t* exitCode) {
    if (thread == nullptr || exitCode == nullptr) return false;
    auto* t = const_cast<KernelThread*>(thread);
    std::lock_guard<std::mutex> hold(t->mutex);
    *exitCode = t->exitCode;
    return true;
}

bool waitForThread(KernelThread* thread, uint32_t timeoutMs) {
    if (thread == nullptr) return false;
    std::unique_lock<std::mutex> hold(thread->mutex);
    return thread->changed.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                                    [&] { return thread->ended; });
}

void closeThread(KernelThread* thread) {
    if (thread == nullptr) return;
    thread->runner.join();
    delete thread;
}

void setThreadPriority(KernelThread* thread, uint32_t priority) {
    // Platform priority 0..7 to nice values; 3 is the ordinary nice 0.
    static constexpr int niceOf[8] = {-15, -10, -5, 0, 5, 10, 15, 19};
    if (thread == nullptr) return;
    pid_t tid;
    {
        std::lock_guard<std::mutex> hold(thread->mutex);
        if (thread->ended) return;
        tid = thread->tid;
    }
    const int nice = niceOf[priority > priorityIdle ? priorityIdle : priority];
    // Refusal (EACCES, EPERM) leaves the thread as it was: a hint, not a requirement.
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice);
}

bool threadCpuTime(KernelThread* thread, uint64_t* nanoseconds) {
    if (thread == nullptr || nanoseconds == nullptr) return false;
    std::lock_guard<std::mutex> hold(thread->mutex);
    if (thread->ended) return false;  // its clock goes with it
    clockid_t clock;
    timespec t{};
    if (pthread_getcpuclockid(thread->runner.native_handle(), &clock) != 0 ||
        clock_gettime(clock, &t) != 0) {
        return false;
    }
    *nanoseconds = static_cast<uint64_t>(t.tv_sec) * 1000000000u + static_cast<uint64_t>(t.tv_nsec);
    return true;
}

bool postThreadMessage(uint32_t threadId, uint32_t message, uintptr_t wParam, uintptr_t lParam) {
    std::lock_guard<std::mutex> hold(registryLock);
    KernelThread* t = findLocked(threadId);
    return t != nullptr && t->queue.push(ThreadMessage{message, wParam, lParam});
}

bool takeThreadMessage(ThreadMessage* message) {
    KernelThread* t = currentThread;
    if (t == nullptr || message == nullptr) return false;
    std::lock_guard<std::mutex> hold(registryLock);
    return t->queue.take(*message);
}

}  // namespace veldra
