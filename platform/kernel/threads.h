// Kernel: the few operating-system services the capture road needs, with the handheld's
// numbers and habits on top of POSIX threads.
//
//   AutoResetEvent      signal / timed wait; a wait consumes the signal
//   KernelThread        create, exit-code query, timed wait for the end, close, priority
//   thread messages     every kernel thread has a bounded queue of its own; any thread may
//                       post to it by the thread's id, only the thread itself takes from it
//
// Two builds of it: threads.cpp (POSIX threads) for the programs, and threads_web.cpp for
// the browser, which has one thread (threads would need cross-origin isolation, which a
// plain static host does not give). There a kernel thread is its record and its queue, and
// its procedure never runs: its work is done in steps (runThreadStep) by the code that has
// work for it, on the one thread; waits do not block (see each call).
//
// Failure: calls that can fail return false (or null) and change nothing. There is no
// forced termination: a thread cannot be killed safely while it may hold a lock or write
// into memory its owner is about to free, so closeThread waits for the end, however long.
//
// Threads: everything here may be called from any thread unless a comment says otherwise.
// Nothing allocates after a thread's creation (its message queue is allocated then).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace veldra {

// Results of AutoResetEvent::wait, with the platform's numbers.
inline constexpr uint32_t waitSignalled = 0;
inline constexpr uint32_t waitTimedOut = 258;

// The exit code a thread reports while it still runs.
inline constexpr uint32_t threadStillActive = 259;

// Thread priorities on the platform's scale: 0 highest, 3 normal, 7 idle.
inline constexpr uint32_t priorityNormal = 3;
inline constexpr uint32_t priorityIdle = 7;

// Created not signalled. signal() sets it; the first wait() that sees it clears it again,
// so one signal releases exactly one wait (at once if nobody is waiting yet).
class AutoResetEvent {
  public:
    void signal();

    // Waits at most timeoutMs milliseconds: waitSignalled or waitTimedOut.
    uint32_t wait(uint32_t timeoutMs);

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_ = false;  // set by signal, cleared by the wait that consumes it
};

// One message of a thread's queue.
struct ThreadMessage {
    uint32_t message;  // identifier, e.g. 960 for a filled wave-input buffer
    uintptr_t wParam;  // short parameter
    uintptr_t lParam;  // long parameter (a pointer for 960)
};

// A thread's procedure: its parameter in, its exit code out.
using ThreadProc = uint32_t (*)(void* parameter);

// The handle of a kernel thread; owned by whoever created it until closeThread.
struct KernelThread;

// Starts proc(parameter) on a new thread at normal priority with a message queue of
// queueCapacity messages, and stores the new thread's id (never 0) in *threadId. The
// queue exists before proc runs. Null on failure (no thread started, *threadId left).
KernelThread* createThread(ThreadProc proc, void* parameter, uint32_t queueCapacity,
                           uint32_t* threadId);

// threadStillActive while the procedure runs, then its result. False for a null handle.
bool threadExitCode(const KernelThread* thread, uint32_t* exitCode);

// Waits at most timeoutMs for the procedure to return: true once it has.
bool waitForThread(KernelThread* thread, uint32_t timeoutMs);

// Waits for the procedure to return, however long, and releases the handle. Call it
// exactly once per handle, never from the thread itself. A null handle is ignored.
void closeThread(KernelThread* thread);

// Sets the thread's priority (0..7; larger values count as 7) as a scheduling hint
// (nice -15 .. 19 on Linux). Best effort: the system may refuse to raise a thread's
// priority without privileges, and that is not an error.
void setThreadPriority(KernelThread* thread, uint32_t priority);

// Processor time the thread has used so far, in nanoseconds. False once it has ended.
bool threadCpuTime(KernelThread* thread, uint64_t* nanoseconds);

// Puts a message on the queue of the thread with that id. False when no such thread is
// alive or its queue is full; the message is then lost.
bool postThreadMessage(uint32_t threadId, uint32_t message, uintptr_t wParam, uintptr_t lParam);

// Takes the calling thread's oldest message without waiting. False when the queue is
// empty or the caller is not a kernel thread.
bool takeThreadMessage(ThreadMessage* message);

// ---- the browser's single-threaded kernel only (threads_web.cpp) ----
// There: signal() sets the event and wait() returns waitSignalled when it is set,
// waitTimedOut at once otherwise (nothing else could signal it while it waited);
// createThread makes the record and the queue without running proc, threadExitCode says
// threadStillActive until closeThread, waitForThread returns true at once (no procedure
// is running), and priorities and processor times are not kept.

// Runs step(parameter) as the thread: takeThreadMessage within it takes from thread's
// queue. False, running nothing, for a null thread or step.
bool runThreadStep(KernelThread* thread, void (*step)(void* parameter), void* parameter);

}  // namespace veldra
