// The machine's clock and the one place where every machine thread blocks.
//
// Every wait of the platform layer (Sleep, WaitForSingleObject, critical sections, and later
// message queues) goes through WaitCore::Wait, which knows how many machine threads exist and
// how many of them are blocked. In virtual time the clock stands still while any machine thread
// runs; once every machine thread waits, it jumps to the earliest deadline and wakes the threads
// whose deadline it reached. In real time the clock follows the host's steady clock times a speed
// factor. Kernel object state that waits look at is guarded by WaitCore's mutex.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace sim {

enum class ClockMode { Virtual, Real };

inline constexpr std::uint64_t kForever = UINT64_MAX;

class WaitCore {
public:
    static WaitCore& Get();

    std::mutex& Mutex() { return mu_; }

    // Milliseconds since the machine started (GetTickCount's source).
    std::uint64_t Now();
    std::uint64_t NowLocked() const;
    // Sets the mode and the clock's reading. Threads already waiting keep their deadlines.
    void ResetClock(ClockMode mode, double speed, std::uint64_t startMs);
    ClockMode Mode() const { return mode_; }

    // Blocks the calling thread (lock held) until ready() holds or the clock reaches deadline.
    // ready is evaluated under the lock, also by other threads. Returns whether ready() held.
    bool Wait(std::unique_lock<std::mutex>& lk, const std::function<bool()>& ready,
              std::uint64_t deadlineMs);
    // Kernel state changed (lock held): wakes the waiters whose condition now holds.
    void NotifyLocked();
    void Notify();

    // Thread accounting. A thread counts as a machine thread from its first call into the layer
    // (or, for threads the layer starts, from before it starts) until it ends.
    void EnsureRegistered();
    // For threads the layer starts: counted from the creator's side, so that the clock cannot
    // move between the creation and the thread's first instruction.
    void AddPendingThread();
    void AdoptPendingThread();  // called first on the new thread
    void ThreadFinished();      // called last on a thread started by the layer

    int RegisteredThreads();
    void ThreadFinishedLockedFromMark();

    // Runs fn on the machine's scheduler thread once the clock reaches dueMs.
    std::uint64_t Schedule(std::uint64_t dueMs, std::function<void()> fn);
    void Cancel(std::uint64_t id);
    // Drops every scheduled callback (machine reset).
    void CancelAll();

private:
    struct Waiter {
        const std::function<bool()>* ready;
        std::uint64_t deadline;
        bool runnable = false;
        bool scheduler = false;  // the scheduler thread's wait
        std::condition_variable cv;
    };
    struct Task {
        std::uint64_t id;
        std::uint64_t due;
        std::function<void()> fn;
    };

    WaitCore() = default;
    void RegisterLocked();
    void UnregisterLocked();
    void WakeLocked(Waiter& w);
    void MaybeAdvanceLocked();
    void SchedulerLoop();

    std::mutex mu_;
    std::vector<Waiter*> waiters_;
    int registered_ = 0;
    int waiting_ = 0;
    ClockMode mode_ = ClockMode::Virtual;
    double speed_ = 1.0;
    std::uint64_t virtualNow_ = 0;
    std::uint64_t realBase_ = 0;
    std::int64_t realStartNs_ = 0;

    std::vector<Task> tasks_;
    std::uint64_t nextTaskId_ = 1;
    std::uint64_t tasksVersion_ = 0;
    bool schedulerStarted_ = false;
};

}  // namespace sim
