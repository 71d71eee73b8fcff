#include "machine/waits.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "machine/threads.h"

namespace sim {

namespace {

std::int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void Waitable::Changed() {
    if (waiters_.empty()) return;
    auto& kernel = Kernel::Get();
    // Completing a wait takes it off this list (and the lists of its other objects).
    std::vector<WaitBlock*> waiting = waiters_;
    for (WaitBlock* b : waiting) {
        if (b->done) continue;
        if (kernel.TrySatisfyLocked(*b)) kernel.CompleteLocked(*b, b->result);
    }
}

Kernel& Kernel::Get() {
    // Never destroyed: threads may still use it while the process exits.
    static Kernel* kernel = new Kernel();
    return *kernel;
}

std::uint64_t Kernel::NowLocked() const {
    if (mode_ == ClockMode::Virtual) return virtualNow_;
    double elapsedMs = static_cast<double>(SteadyNs() - realStartNs_) / 1e6 * speed_;
    return realBase_ + static_cast<std::uint64_t>(elapsedMs);
}

std::uint64_t Kernel::Now() {
    std::lock_guard<std::mutex> lk(mu_);
    return NowLocked();
}

ClockMode Kernel::Mode() {
    std::lock_guard<std::mutex> lk(mu_);
    return mode_;
}

void Kernel::ResetClock(ClockMode mode, double speed, std::uint64_t startMs) {
    std::lock_guard<std::mutex> lk(mu_);
    mode_ = mode;
    speed_ = speed > 0 ? speed : 1.0;
    virtualNow_ = startMs;
    realBase_ = startMs;
    realStartNs_ = SteadyNs();
    // Real-time waiters recompute how long to sleep.
    for (auto& [deadline, b] : timed_) b->cv.notify_one();
}

bool Kernel::TrySatisfyLocked(WaitBlock& b) {
    ThreadRec& t = *b.thread;
    if (b.all && !b.items.empty()) {
        for (const WaitItem& item : b.items)
            if (!item.object->SignaledFor(t, item.arg)) goto queue;
        {
            bool abandoned = false;
            if (!b.peek)
                for (const WaitItem& item : b.items) abandoned |= item.object->Acquire(t, item.arg);
            b.result = {abandoned ? WaitOutcome::Abandoned : WaitOutcome::Object, 0};
            return true;
        }
    } else {
        for (std::size_t i = 0; i < b.items.size(); ++i) {
            const WaitItem& item = b.items[i];
            if (item.object->SignaledFor(t, item.arg)) {
                bool abandoned = !b.peek && item.object->Acquire(t, item.arg);
                b.result = {abandoned ? WaitOutcome::Abandoned : WaitOutcome::Object,
                            static_cast<DWORD>(i)};
                return true;
            }
        }
    }
queue:
    if ((t.queueBits & b.wakeMask) != 0) {
        b.result = {WaitOutcome::Queue, static_cast<DWORD>(b.items.size())};
        return true;
    }
    return false;
}

void Kernel::CompleteLocked(WaitBlock& b, WaitResult result) {
    if (b.done) return;
    b.done = true;
    b.result = result;
    for (const WaitItem& item : b.items) {
        auto& list = item.object->waiters_;
        auto it = std::find(list.begin(), list.end(), &b);
        if (it != list.end()) list.erase(it);
    }
    if (b.deadline != kForever) timed_.erase(b.timed);
    if (b.idle) std::erase(idleWaits_, &b);
    b.thread->wait = nullptr;
    ++b.thread->wakeups;
    --waiting_;
    b.cv.notify_one();
}

void Kernel::UncountThreadLocked() {
    --registered_;
    MaybeAdvanceLocked(false);
}

int Kernel::CountedThreads() {
    std::lock_guard<std::mutex> lk(mu_);
    return registered_;
}

void Kernel::MaybeAdvanceLocked(bool entering) {
    if (registered_ <= 0 || waiting_ < registered_) return;
    // Every machine thread waits. Those settling the machine go first: nothing else can run now.
    if (!idleWaits_.empty()) {
        std::vector<WaitBlock*> idle = idleWaits_;
        for (WaitBlock* b : idle) CompleteLocked(*b, {WaitOutcome::Idle});
        return;
    }
    if (mode_ != ClockMode::Virtual) return;
    if (link_ != nullptr) {
        // The clock is kept elsewhere: what is due now ends here, the rest waits for the keeper.
        if (!timed_.empty() && timed_.begin()->first <= virtualNow_)
            EndDueWaitsLocked();
        else
            link_->IdleLocked(timed_.empty() ? kForever : timed_.begin()->first);
        return;
    }
    if (timed_.empty()) {
        // An idle scheduler alone is no deadlock: nothing waits on anything (it happens when the
        // last other thread ends while the scheduler finishes its last callback).
        if (registered_ == 1 && schedulerStarted_) return;
        // Threads left waiting when the others have ended (the test's thread at its end) are no
        // deadlock of anyone's: only a thread that starts such a wait is.
        if (!entering || hostExiting_) return;
        std::fprintf(stderr,
                     "virtual clock: all %d machine threads wait without a deadline (deadlock)\n",
                     registered_);
        std::abort();
    }
    std::uint64_t next = timed_.begin()->first;
    if (next > virtualNow_) virtualNow_ = next;
    EndDueWaitsLocked();
}

void Kernel::EndDueWaitsLocked() {
    // Callbacks due at this instant run before the threads whose waits end at it: the scheduler
    // is woken alone first, and the others once it waits again.
    for (auto it = timed_.begin(); it != timed_.end() && it->first <= virtualNow_; ++it) {
        if (it->second->scheduler) {
            CompleteLocked(*it->second, {WaitOutcome::Timeout});
            return;
        }
    }
    while (!timed_.empty() && timed_.begin()->first <= virtualNow_)
        CompleteLocked(*timed_.begin()->second, {WaitOutcome::Timeout});
}

void Kernel::SetClockLink(ClockLink* link) {
    std::lock_guard<std::mutex> lk(mu_);
    link_ = link;
}

void Kernel::AdvanceToLocked(std::uint64_t now) {
    if (now > virtualNow_) virtualNow_ = now;
    MaybeAdvanceLocked(false);
}

WaitResult Kernel::Wait(std::unique_lock<std::mutex>& lk, ThreadRec& self,
                        std::span<const WaitItem> items, bool all, DWORD wakeMask,
                        std::uint64_t deadline, bool take) {
    WaitBlock b;
    b.peek = !take;
    b.thread = &self;
    b.items = items;
    b.all = all;
    b.wakeMask = wakeMask;
    b.deadline = deadline;
    b.scheduler = self.isScheduler;
    if (self.TerminatingLocked()) return {WaitOutcome::Terminated};
    if (TrySatisfyLocked(b)) return b.result;
    if (NowLocked() >= deadline) return {WaitOutcome::Timeout};

    for (const WaitItem& item : items) item.object->waiters_.push_back(&b);
    if (deadline != kForever) b.timed = timed_.emplace(deadline, &b);
    self.wait = &b;
    ++waiting_;
    MaybeAdvanceLocked(true);
    while (!b.done) {
        if (mode_ == ClockMode::Virtual || deadline == kForever) {
            b.cv.wait(lk);
        } else {
            std::uint64_t now = NowLocked();
            if (now >= deadline) {
                CompleteLocked(b, {WaitOutcome::Timeout});
                break;
            }
            double realMs = static_cast<double>(deadline - now) / speed_;
            b.cv.wait_for(
                lk, std::chrono::microseconds(static_cast<std::int64_t>(realMs * 1000.0) + 1));
        }
    }
    return b.result;
}

void Kernel::SetQueueBitsLocked(ThreadRec& thread, DWORD bits) {
    thread.queueBits |= bits;
    WaitBlock* b = thread.wait;
    if (b != nullptr && (b->wakeMask & bits) != 0 && TrySatisfyLocked(*b))
        CompleteLocked(*b, b->result);
}

void Kernel::ClearQueueBitsLocked(ThreadRec& thread, DWORD bits) {
    thread.queueBits &= ~bits;
}

void Kernel::InterruptLocked(ThreadRec& thread) {
    if (thread.wait != nullptr) CompleteLocked(*thread.wait, {WaitOutcome::Terminated});
}

void Kernel::RunUntilIdle() {
    ThreadRec& self = CurrentThread();
    std::unique_lock<std::mutex> lk(mu_);
    WaitBlock b;
    b.thread = &self;
    b.idle = true;
    idleWaits_.push_back(&b);
    self.wait = &b;
    ++waiting_;
    MaybeAdvanceLocked(true);
    while (!b.done) b.cv.wait(lk);
}

bool Kernel::SettleUntil(const std::function<bool()>& ready, DWORD timeoutMs) {
    std::uint64_t start = Now();
    std::uint64_t end = timeoutMs == INFINITE ? kForever : start + timeoutMs;
    ThreadRec& self = CurrentThread();
    for (;;) {
        RunUntilIdle();
        if (ready()) return true;
        std::unique_lock<std::mutex> lk(mu_);
        std::uint64_t next = std::min(timed_.empty() ? kForever : timed_.begin()->first, end);
        if (next == kForever || NowLocked() >= end) return false;
        Wait(lk, self, {}, false, 0, next);
    }
}

bool WaitForChange(ChangeCounter& counter, std::uint64_t seen, std::uint64_t deadline) {
    ThreadRec& self = CurrentThread();
    auto& kernel = Kernel::Get();
    std::unique_lock<std::mutex> lk(kernel.Mutex());
    WaitItem item{&counter, seen};
    WaitResult r = kernel.Wait(lk, self, std::span<const WaitItem>(&item, 1), false, 0, deadline);
    if (r.outcome == WaitOutcome::Terminated) {
        lk.unlock();
        ThrowIfTerminating();
    }
    return r.outcome == WaitOutcome::Object;
}

void WatchedMutex::unlock() {
    mu_.unlock();
    std::lock_guard<std::mutex> k(Kernel::Get().Mutex());
    changed_.BumpLocked();
}

std::uint64_t Kernel::Schedule(std::uint64_t dueMs, std::function<void()> fn) {
    CurrentThread();  // the caller counts from here on
    bool start = false;
    std::uint64_t id;
    {
        std::lock_guard<std::mutex> lk(mu_);
        id = nextTaskId_++;
        tasks_.push_back(Task{id, dueMs, std::move(fn)});
        tasksChanged_.BumpLocked();
        start = !schedulerStarted_;
        schedulerStarted_ = true;
    }
    if (start) {
        StartThreadIn(nullptr, [this] {
            ThreadRec& self = CurrentThread();
            {
                std::lock_guard<std::mutex> lk(mu_);
                self.isScheduler = true;
            }
            SchedulerLoop(self);
            return DWORD{0};
        });
    }
    return id;
}

void Kernel::Cancel(std::uint64_t id) {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = std::find_if(tasks_.begin(), tasks_.end(), [&](const Task& t) { return t.id == id; });
    if (it != tasks_.end()) {
        tasks_.erase(it);
        tasksChanged_.BumpLocked();
    }
}

void Kernel::CancelAll() {
    std::lock_guard<std::mutex> lk(mu_);
    tasks_.clear();
    tasksChanged_.BumpLocked();
}

void Kernel::SchedulerLoop(ThreadRec& self) {
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
        WaitItem item{&tasksChanged_, tasksChanged_.Count()};
        Wait(lk, self, std::span<const WaitItem>(&item, 1), false, 0, next);
    }
}

}  // namespace sim
