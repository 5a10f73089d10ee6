#include "platform/backends/sound_thread.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace veldra {
namespace {
std::atomic<bool> abandoned{false};
}  // namespace

struct SoundThread::Shared {
    std::mutex mutex;              // guards everything below
    std::condition_variable wake;  // the thread: a job came, or the end
    std::condition_variable done;  // callers: a job finished, or the thread ended
    std::deque<Job> jobs;          // waiting, oldest first
    uint64_t given = 0;            // jobs ever queued; a job's number is the count then
    uint64_t finished = 0;         // jobs that have run
    uint64_t overdueUntil = 0;     // the thread is overdue while finished < this
    bool ending = false;           // set by end: run out the queue and return
    bool ended = false;            // set by the thread as its last act
    Job tick;                      // run every tickEvery while idle; may be empty
    Duration tickEvery{};
};

void SoundThread::serve(const std::shared_ptr<Shared>& s) {
    using Clock = std::chrono::steady_clock;
    std::unique_lock<std::mutex> hold(s->mutex);
    Clock::time_point nextTick = Clock::now() + s->tickEvery;
    for (;;) {
        if (s->jobs.empty()) {
            if (s->ending) break;
            const bool woken =
                s->wake.wait_until(hold, nextTick, [&] { return !s->jobs.empty() || s->ending; });
            if (!woken && s->tick) {
                hold.unlock();
                s->tick();
                hold.lock();
            }
            if (!woken) nextTick = Clock::now() + s->tickEvery;
            continue;
        }
        Job job = std::move(s->jobs.front());
        s->jobs.pop_front();
        hold.unlock();
        job();
        job = nullptr;  // what it owns goes here, outside the lock
        hold.lock();
        ++s->finished;
        s->done.notify_all();
    }
    Job tick = std::move(s->tick);
    s->ended = true;
    s->done.notify_all();
    hold.unlock();
}

SoundThread::SoundThread(Job tick, Duration tickEvery) : shared_(std::make_shared<Shared>()) {
    shared_->tick = std::move(tick);
    shared_->tickEvery = shared_->tick ? tickEvery : std::chrono::hours(1);
    thread_ = std::thread([s = shared_] { serve(s); });
}

SoundThread::~SoundThread() {
    if (thread_.joinable()) end(Duration::zero());
}

void SoundThread::post(Job job) {
    std::lock_guard<std::mutex> hold(shared_->mutex);
    ++shared_->given;
    shared_->jobs.push_back(std::move(job));
    shared_->wake.notify_one();
}

bool SoundThread::run(Job job, Duration patience) {
    Shared& s = *shared_;
    std::unique_lock<std::mutex> hold(s.mutex);
    const uint64_t number = ++s.given;
    s.jobs.push_back(std::move(job));
    s.wake.notify_one();
    if (s.finished < s.overdueUntil) return false;
    if (s.done.wait_for(hold, patience, [&] { return s.finished >= number; })) return true;
    s.overdueUntil = number;
    return false;
}

bool SoundThread::overdue() const {
    std::lock_guard<std::mutex> hold(shared_->mutex);
    return shared_->finished < shared_->overdueUntil;
}

bool SoundThread::end(Duration patience) {
    if (!thread_.joinable()) return true;
    bool ended = false;
    {
        Shared& s = *shared_;
        std::unique_lock<std::mutex> hold(s.mutex);
        s.ending = true;
        s.wake.notify_one();
        if (s.finished >= s.overdueUntil)
            ended = s.done.wait_for(hold, patience, [&] { return s.ended; });
        else
            ended = s.ended;
    }
    if (ended) {
        thread_.join();
        return true;
    }
    thread_.detach();
    abandoned = true;
    return false;
}

bool soundThreadAbandoned() {
    return abandoned;
}

}  // namespace veldra
