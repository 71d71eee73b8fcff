#include "platform/sim/waitcore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace sim {

namespace {

std::int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Whether the calling thread is counted; it is uncounted again when the thread ends.
struct ThreadMark {
    bool registered = false;
    ~ThreadMark() {
        if (registered) {
            auto& core = WaitCore::Get();
            std::lock_guard<std::mutex> lk(core.Mutex());
            registered = false;
            core.ThreadFinishedLockedFromMark();
        }
    }
};
thread_local ThreadMark t_mark;
thread_local bool t_isScheduler = false;

}  // namespace

WaitCore& WaitCore::Get() {
    // Never destroyed: threads may still use it while the process exits.
    static WaitCore* core = new WaitCore();
    return *core;
}

std::uint64_t WaitCore::NowLocked() const {
    if (mode_ == ClockMode::Virtual) return virtualNow_;
    double elapsedMs = static_cast<double>(SteadyNs() - realStartNs_) / 1e6 * speed_;
    return realBase_ + static_cast<std::uint64_t>(elapsedMs);
}

std::uint64_t WaitCore::Now() {
    std::lock_guard<std::mutex> lk(mu_);
    return NowLocked();
}

void WaitCore::ResetClock(ClockMode mode, double speed, std::uint64_t startMs) {
    std::lock_guard<std::mutex> lk(mu_);
    mode_ = mode;
    speed_ = speed > 0 ? speed : 1.0;
    virtualNow_ = startMs;
    realBase_ = startMs;
    realStartNs_ = SteadyNs();
    for (Waiter* w : waiters_) w->cv.notify_one();  // real-time waiters recompute their deadline
}

void WaitCore::RegisterLocked() {
    ++registered_;
    t_mark.registered = true;
}

void WaitCore::UnregisterLocked() {
    --registered_;
    MaybeAdvanceLocked();
}

void WaitCore::ThreadFinishedLockedFromMark() {
    UnregisterLocked();
}

void WaitCore::EnsureRegistered() {
    if (t_mark.registered) return;
    std::lock_guard<std::mutex> lk(mu_);
    RegisterLocked();
}

void WaitCore::AddPendingThread() {
    EnsureRegistered();
    std::lock_guard<std::mutex> lk(mu_);
    ++registered_;
}

void WaitCore::AdoptPendingThread() {
    // The creator already counted this thread.
    t_mark.registered = true;
}

void WaitCore::ThreadFinished() {
    std::lock_guard<std::mutex> lk(mu_);
    if (!t_mark.registered) return;
    t_mark.registered = false;
    UnregisterLocked();
}

int WaitCore::RegisteredThreads() {
    std::lock_guard<std::mutex> lk(mu_);
    return registered_;
}

void WaitCore::WakeLocked(Waiter& w) {
    if (w.runnable) return;
    w.runnable = true;
    --waiting_;
    w.cv.notify_one();
}

void WaitCore::NotifyLocked() {
    for (Waiter* w : waiters_)
        if (!w->runnable && (*w->ready)()) WakeLocked(*w);
}

void WaitCore::Notify() {
    std::lock_guard<std::mutex> lk(mu_);
    NotifyLocked();
}

void WaitCore::MaybeAdvanceLocked() {
    if (mode_ != ClockMode::Virtual) return;
    if (registered_ <= 0 || waiting_ < registered_) return;
    std::uint64_t next = kForever;
    for (Waiter* w : waiters_)
        if (!w->runnable) next = std::min(next, w->deadline);
    if (next == kForever) return;
    if (next > virtualNow_) virtualNow_ = next;
    // Callbacks due at this instant run before the threads whose waits end at it: the scheduler
    // is woken alone first, and the others once it waits again.
    for (Waiter* w : waiters_) {
        if (w->scheduler && !w->runnable && w->deadline <= virtualNow_) {
            WakeLocked(*w);
            return;
        }
    }
    for (Waiter* w : waiters_)
        if (!w->runnable && w->deadline <= virtualNow_) WakeLocked(*w);
}

bool WaitCore::Wait(std::unique_lock<std::mutex>& lk, const std::function<bool()>& ready,
                    std::uint64_t deadline) {
    if (!t_mark.registered) RegisterLocked();
    for (;;) {
        if (ready()) return true;
        if (NowLocked() >= deadline) return false;

        Waiter w{&ready, deadline};
        w.scheduler = t_isScheduler;
        waiters_.push_back(&w);
        ++waiting_;
        MaybeAdvanceLocked();
        if (!w.runnable && mode_ == ClockMode::Virtual && waiting_ == registered_ &&
            deadline == kForever) {
            // An idle scheduler alone is no deadlock: nothing waits on anything (it happens when
            // the last other thread ends while the scheduler finishes its last callback).
            bool anyDeadline = false, anyThread = false;
            for (Waiter* o : waiters_) {
                anyDeadline |= (!o->runnable && o->deadline != kForever);
                anyThread |= (!o->runnable && !o->scheduler);
            }
            if (!anyDeadline && anyThread) {
                std::fprintf(stderr,
                             "virtual clock: all %d machine threads wait without a deadline "
                             "(deadlock)\n",
                             registered_);
                std::abort();
            }
        }
        while (!w.runnable) {
            if (mode_ == ClockMode::Virtual || deadline == kForever) {
                w.cv.wait(lk);
            } else {
                std::uint64_t now = NowLocked();
                if (now >= deadline) {
                    WakeLocked(w);
                    break;
                }
                double realMs = static_cast<double>(deadline - now) / speed_;
                w.cv.wait_for(
                    lk, std::chrono::microseconds(static_cast<std::int64_t>(realMs * 1000.0) + 1));
            }
        }
        waiters_.erase(std::find(waiters_.begin(), waiters_.end(), &w));
    }
}

std::uint64_t WaitCore::Schedule(std::uint64_t dueMs, std::function<void()> fn) {
    bool start = false;
    std::uint64_t id;
    {
        std::lock_guard<std::mutex> lk(mu_);
        if (!t_mark.registered) RegisterLocked();
        id = nextTaskId_++;
        tasks_.push_back(Task{id, dueMs, std::move(fn)});
        ++tasksVersion_;
        start = !schedulerStarted_;
        schedulerStarted_ = true;
        if (start) ++registered_;  // the scheduler thread, counted before it runs
        NotifyLocked();
    }
    if (start) {
        std::thread([this] {
            AdoptPendingThread();
            t_isScheduler = true;
            SchedulerLoop();
        }).detach();
    }
    return id;
}

void WaitCore::Cancel(std::uint64_t id) {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = std::find_if(tasks_.begin(), tasks_.end(), [&](const Task& t) { return t.id == id; });
    if (it != tasks_.end()) {
        tasks_.erase(it);
        ++tasksVersion_;
        NotifyLocked();
    }
}

void WaitCore::CancelAll() {
    std::lock_guard<std::mutex> lk(mu_);
    tasks_.clear();
    ++tasksVersion_;
    NotifyLocked();
}

void WaitCore::SchedulerLoop() {
    std::unique_lock<std::mutex> lk(mu_);
    for (;;) {
        std::uint64_t next = kForever;
        for (const Task& t : tasks_) next = std::min(next, t.due);
        if (next != kForever && next <= NowLocked()) {
            // Run the earliest due task (ties in the order they were scheduled).
            auto it =
                std::min_element(tasks_.begin(), tasks_.end(), [](const Task& a, const Task& b) {
                    return a.due != b.due ? a.due < b.due : a.id < b.id;
                });
            std::function<void()> fn = std::move(it->fn);
            tasks_.erase(it);
            lk.unlock();
            fn();
            lk.lock();
            continue;
        }
        std::uint64_t seen = tasksVersion_;
        std::function<bool()> changed = [this, seen] { return tasksVersion_ != seen; };
        // An idle scheduler must not count as a deadlock partner: it waits "forever" only as long
        // as nothing is scheduled, and any thread that schedules wakes it.
        Wait(lk, changed, next);
    }
}

}  // namespace sim
