// The machine's clock and the one place where every machine thread blocks.
//
// Every object a thread can wait on is a Waitable that keeps its own list of waiters. A wait is
// plain data (objects, whether all are needed, a wake mask for the thread's message queue, a
// deadline), so the same request could be served by a machine in another process. A change that
// may make an object signalled goes through the object itself, which wakes only its own waiters
// (see Waitable::Changed): nobody has to remember to notify anyone.
//
// In virtual time the clock stands still while any machine thread runs; once every machine thread
// waits, it jumps to the earliest deadline and ends the waits that reached it (the scheduler's
// callbacks first). In real time the clock follows the host's steady clock times a speed factor.
// All object state that waits look at is guarded by the kernel lock (Kernel::Mutex()).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <span>
#include <vector>

#include <windef.h>

namespace sim {

enum class ClockMode { Virtual, Real };

inline constexpr std::uint64_t kForever = UINT64_MAX;

// The wake-mask bits of a thread's message queue (the QS_ values of the window system).
inline constexpr DWORD kQueueKey = 0x0001;
inline constexpr DWORD kQueueMouseMove = 0x0002;
inline constexpr DWORD kQueueMouseButton = 0x0004;
inline constexpr DWORD kQueuePosted = 0x0008;
inline constexpr DWORD kQueueTimer = 0x0010;
inline constexpr DWORD kQueuePaint = 0x0020;
inline constexpr DWORD kQueueSent = 0x0040;
inline constexpr DWORD kQueueInput = kQueueKey | kQueueMouseMove | kQueueMouseButton;

struct ThreadRec;
struct WaitBlock;

// Something a machine thread can wait on. Every member is called with the kernel lock held.
class Waitable {
public:
    virtual ~Waitable() = default;
    // Whether a wait of `thread` on this object would be satisfied now. `arg` is the value the
    // waiter passed with the object (a change counter compares it with its own count).
    virtual bool SignaledFor(const ThreadRec& thread, std::uint64_t arg) const = 0;
    // The wait was satisfied: take the object's share (an auto-reset event resets, a semaphore
    // counts down, a mutex gets its owner). Returns whether the object was abandoned.
    virtual bool Acquire(ThreadRec& thread, std::uint64_t arg) { return false; }
    // A thread that may own the object ended (a mutex is abandoned).
    virtual void OwnerEnded(const ThreadRec& thread) {}
    // Undoes an Acquire of `thread` whose wait did not get to use it (a wait on objects of two
    // machines that took one side and then missed the other): a semaphore counts up again, an
    // auto-reset event is set again, a mutex's ownership goes back, abandoned again if `abandoned`.
    virtual void GiveBack(ThreadRec& thread, std::uint64_t arg, bool abandoned) {}

    // (Public for the thread records, whose end signals them; everyone else calls it from the
    // object's own mutators.)
    void ChangedLocked() { Changed(); }

protected:
    // The object's state changed in a way that may satisfy waits: ends, in arrival order, every
    // wait of its own waiters that it now satisfies. Subclasses call it from each mutator.
    void Changed();

private:
    friend class Kernel;
    std::vector<WaitBlock*> waiters_;
};

// A counter that waiters compare with the value they last saw: signalled for a waiter while the
// count differs from its argument. Bump() wakes its waiters.
class ChangeCounter : public Waitable {
public:
    bool SignaledFor(const ThreadRec&, std::uint64_t seen) const override { return count_ != seen; }
    std::uint64_t Count() const { return count_; }  // kernel lock held
    void BumpLocked() {
        ++count_;
        Changed();
    }

private:
    std::uint64_t count_ = 0;
};

// One object of a wait and the argument that goes with it.
struct WaitItem {
    Waitable* object;
    std::uint64_t arg = 0;
};

// What ended a wait.
enum class WaitOutcome {
    Object,      // `index` is the object (the first one for a wait on all)
    Abandoned,   // as Object, and a mutex among the objects was abandoned by its owner
    Queue,       // the thread's message queue holds something the wake mask asked for
    Timeout,     // the deadline passed
    Terminated,  // the thread's process is ending
    Idle,        // RunUntilIdle: every other machine thread waits
};

struct WaitResult {
    WaitOutcome outcome;
    DWORD index = 0;
};

// Where the clock is kept when it is not the process's own (a program on a machine server): told,
// with the kernel lock held, each time every machine thread of the process waits, with the
// earliest deadline among them (kForever: none). The clock then moves only by AdvanceToLocked.
class ClockLink {
public:
    virtual ~ClockLink() = default;
    virtual void IdleLocked(std::uint64_t earliestDeadline) = 0;
};

struct WaitBlock {
    ThreadRec* thread = nullptr;
    std::span<const WaitItem> items;
    bool all = false;
    DWORD wakeMask = 0;
    std::uint64_t deadline = kForever;
    bool idle = false;       // RunUntilIdle's wait
    bool scheduler = false;  // the scheduler thread's wait
    bool peek = false;       // ends as a wait would, but takes nothing
    bool done = false;
    WaitResult result{WaitOutcome::Timeout};
    std::condition_variable cv;
    std::multimap<std::uint64_t, WaitBlock*>::iterator timed;
};

class Kernel {
public:
    static Kernel& Get();

    std::mutex& Mutex() { return mu_; }

    // Milliseconds since the machine started (GetTickCount's source).
    std::uint64_t Now();
    std::uint64_t NowLocked() const;
    std::uint64_t DeadlineAfterLocked(DWORD ms) const {
        return ms == INFINITE ? kForever : NowLocked() + ms;
    }
    // Sets the mode and the clock's reading. Threads already waiting keep their deadlines.
    void ResetClock(ClockMode mode, double speed, std::uint64_t startMs);
    ClockMode Mode();

    // The one wait (lock held): blocks `self` until one (or, with `all`, every) object is
    // signalled for it, its message queue holds what `wakeMask` asks for, the deadline passes,
    // or its process ends. Objects are taken the moment they satisfy the wait (with `take`
    // false nothing is taken: the caller only learns that they would satisfy it).
    WaitResult Wait(std::unique_lock<std::mutex>& lk, ThreadRec& self,
                    std::span<const WaitItem> items, bool all, DWORD wakeMask,
                    std::uint64_t deadline, bool take = true);

    // ---- Message queues (lock held) ----
    // Sets bits of a thread's queue status; a wait of that thread whose mask asks for one of them
    // ends.
    void SetQueueBitsLocked(ThreadRec& thread, DWORD bits);
    void ClearQueueBitsLocked(ThreadRec& thread, DWORD bits);

    // ---- Processes ending (lock held) ----
    // Ends the wait the thread is in, if any, with WaitOutcome::Terminated.
    void InterruptLocked(ThreadRec& thread);

    // ---- A clock kept elsewhere (see ClockLink) ----
    void SetClockLink(ClockLink* link);
    // The clock reads `now` (it never goes back); waits that reached it end once every thread
    // waits, callbacks first.
    void AdvanceToLocked(std::uint64_t now);
    // Tells the link again when every thread waits (after something that may have woken none).
    void ReportIfIdleLocked() { MaybeAdvanceLocked(false); }

    // ---- Control ----
    // Blocks the calling thread until every other machine thread waits and nothing is due at
    // the current instant; the clock does not move for it.
    void RunUntilIdle();
    // Settles the machine and checks ready(); while it does not hold, lets the clock run to the
    // next deadline of any thread and settles again. False once timeoutMs of machine time have
    // passed, or when no thread waits with a deadline and ready() still does not hold.
    bool SettleUntil(const std::function<bool()>& ready, DWORD timeoutMs);

    // ---- Thread accounting (the clock moves only when every counted thread waits) ----
    void CountThreadLocked() { ++registered_; }
    // The host program's main thread has ended: threads left over may wait for ever.
    void HostExitingLocked() { hostExiting_ = true; }
    void UncountThreadLocked();
    int CountedThreads();

    // Runs fn on the machine's scheduler thread once the clock reaches dueMs.
    std::uint64_t Schedule(std::uint64_t dueMs, std::function<void()> fn);
    void Cancel(std::uint64_t id);
    void CancelAll();  // machine reset

    // Ends a satisfied or timed-out wait (lock held).
    void CompleteLocked(WaitBlock& b, WaitResult result);
    bool TrySatisfyLocked(WaitBlock& b);

private:
    struct Task {
        std::uint64_t id;
        std::uint64_t due;
        std::function<void()> fn;
    };

    Kernel() = default;
    void MaybeAdvanceLocked(bool entering);
    // Ends the waits due at the current reading: the scheduler's alone when it has one due.
    void EndDueWaitsLocked();
    void SchedulerLoop(ThreadRec& self);

    std::mutex mu_;
    std::multimap<std::uint64_t, WaitBlock*> timed_;  // waits with a deadline, by deadline
    std::vector<WaitBlock*> idleWaits_;
    int registered_ = 0;
    int waiting_ = 0;
    ClockMode mode_ = ClockMode::Virtual;
    double speed_ = 1.0;
    std::uint64_t virtualNow_ = 0;
    std::uint64_t realBase_ = 0;
    std::int64_t realStartNs_ = 0;

    std::vector<Task> tasks_;
    std::uint64_t nextTaskId_ = 1;
    ChangeCounter tasksChanged_;
    bool schedulerStarted_ = false;
    bool hostExiting_ = false;
    ClockLink* link_ = nullptr;
};

// Waits (on the calling machine thread) until the counter moves past `seen` or the deadline;
// false at the deadline.
bool WaitForChange(ChangeCounter& counter, std::uint64_t seen, std::uint64_t deadline);

// The mutex of a machine component whose state threads wait on (a BasicLockable). Every unlock
// wakes the threads waiting on the component, which then look at its state again, so no change
// made under the mutex can be missed. Taken before the kernel lock, never inside it.
class WatchedMutex {
public:
    void lock() { mu_.lock(); }
    bool try_lock() { return mu_.try_lock(); }
    void unlock();

    // With lk held: waits until ready() holds (evaluated with the mutex held) or the deadline
    // passes; returns with the mutex held, and whether ready() held.
    template <class Pred>
    bool Wait(std::unique_lock<WatchedMutex>& lk, Pred ready, std::uint64_t deadline);
    // Takes the mutex for the wait and leaves it.
    template <class Pred>
    bool WaitUntil(Pred ready, std::uint64_t deadline) {
        std::unique_lock<WatchedMutex> lk(*this);
        return Wait(lk, ready, deadline);
    }

private:
    std::mutex mu_;
    ChangeCounter changed_;
};

template <class Pred>
bool WatchedMutex::Wait(std::unique_lock<WatchedMutex>& lk, Pred ready, std::uint64_t deadline) {
    for (;;) {
        if (ready()) return true;
        std::uint64_t seen;
        {
            std::lock_guard<std::mutex> k(Kernel::Get().Mutex());
            seen = changed_.Count();
        }
        // Only looked: leave without waking anyone.
        lk.release();
        mu_.unlock();
        bool changed = WaitForChange(changed_, seen, deadline);
        mu_.lock();
        lk = std::unique_lock<WatchedMutex>(*this, std::adopt_lock);
        if (!changed) return ready();
    }
}

// State that machine threads wait on, reached only through Read() (const) and Write(): each
// access ends by waking the threads waiting on the state (its mutex is a WatchedMutex), so no
// change can be made that waiters miss. WaitUntil evaluates its condition on the waiting thread.
template <class T>
class Monitor {
public:
    template <class V>
    class Access {
    public:
        Access(WatchedMutex& mu, V& value) : lk_(mu), value_(value) {}
        V* operator->() const { return &value_; }
        V& operator*() const { return value_; }

    private:
        std::unique_lock<WatchedMutex> lk_;
        V& value_;
    };

    Access<T> Write() { return Access<T>(mu_, value_); }
    Access<const T> Read() const { return Access<const T>(mu_, value_); }

    // Waits on the machine clock until ready(const T&) holds; false at the deadline.
    template <class Pred>
    bool WaitUntil(Pred ready, std::uint64_t deadline) {
        return mu_.WaitUntil([&] { return ready(static_cast<const T&>(value_)); }, deadline);
    }

private:
    mutable WatchedMutex mu_;
    T value_{};
};

}  // namespace sim
