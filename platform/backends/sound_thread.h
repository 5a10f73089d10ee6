// SoundThread: a thread of its own for every call into the sound system (starting SDL's
// audio, listing, opening, closing), so that a sound server that hangs holds that thread
// and never the caller's.
//
// Jobs run one at a time, in the order they were given; while none waits, the tick runs
// every tickEvery (a source's watch over its device). A caller waits for its job at most
// the patience it gives. A job still running past its caller's patience makes the thread
// overdue: until that job ends, callers do not wait at all (their jobs are queued all the
// same and run once the thread is free). A job may outlive its caller's wait, so it owns
// what it touches (shared pointers), never the caller's stack.
//
// Ending: end() lets the queued jobs run and waits for the thread up to its patience (not at
// all while the thread is overdue). A thread that has not ended by then is left to itself
// (detached, with what its jobs own) and soundThreadAbandoned() is true from then on: a
// thread stuck in the sound system cannot be joined, and the process should leave with
// _exit once its orderly parts are done, rather than run its destructors under that thread.
//
// Threads: the public calls from the owner's thread; jobs and the tick on the sound thread.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace veldra {

class SoundThread {
  public:
    using Job = std::function<void()>;
    using Duration = std::chrono::steady_clock::duration;

    // tick may be empty: no tick.
    SoundThread(Job tick, Duration tickEvery);
    ~SoundThread();  // end(Duration::zero()) unless ended
    SoundThread(const SoundThread&) = delete;
    SoundThread& operator=(const SoundThread&) = delete;

    // Queues job and waits until it has run, at most patience; true when it ran in time.
    bool run(Job job, Duration patience);
    // Queues job without waiting.
    void post(Job job);
    // True while a job runs past its caller's patience.
    bool overdue() const;
    // Ends the thread after the queued jobs, as above; true when it ended and was joined.
    bool end(Duration patience);

  private:
    struct Shared;
    static void serve(const std::shared_ptr<Shared>& s);  // the thread's loop

    std::shared_ptr<Shared> shared_;  // the queue; the thread holds it too
    std::thread thread_;              // joined or detached by end
};

// True once a sound thread was left running at its end (see above).
bool soundThreadAbandoned();

}  // namespace veldra
