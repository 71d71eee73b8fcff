// The machine's synchronisation objects: events, semaphores, mutexes and critical sections. Each
// changes its state only through its own members, which wake its waiters; all state is guarded
// by the kernel lock.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <optional>

#include "machine/handles.h"
#include "machine/threads.h"
#include "machine/waits.h"

namespace sim {

class EventObj : public KObject, public Waitable {
public:
    EventObj(bool manual, bool signaled) : manual_(manual), signaled_(signaled) {}
    Waitable* AsWaitable() override { return this; }
    bool SignaledFor(const ThreadRec&, std::uint64_t) const override { return signaled_; }
    bool Acquire(ThreadRec&, std::uint64_t) override {
        if (!manual_) signaled_ = false;
        return false;
    }
    void GiveBack(ThreadRec&, std::uint64_t, bool) override {
        if (!manual_) SetLocked(true);
    }
    void SetLocked(bool state) {
        signaled_ = state;
        if (state) Changed();
    }

private:
    bool manual_;
    bool signaled_;
};

class SemaphoreObj : public KObject, public Waitable {
public:
    SemaphoreObj(LONG count, LONG maximum) : count_(count), maximum_(maximum) {}
    Waitable* AsWaitable() override { return this; }
    bool SignaledFor(const ThreadRec&, std::uint64_t) const override { return count_ > 0; }
    bool Acquire(ThreadRec&, std::uint64_t) override {
        --count_;
        return false;
    }
    void GiveBack(ThreadRec&, std::uint64_t, bool) override { ReleaseLocked(1, nullptr); }
    // False when the release would pass the maximum.
    bool ReleaseLocked(LONG count, LONG* previous) {
        if (count <= 0 || count > maximum_ - count_) return false;
        if (previous) *previous = count_;
        count_ += count;
        Changed();
        return true;
    }

private:
    LONG count_;
    LONG maximum_;
};

// Owned by a thread, re-entrant for it; abandoned when its owner ends holding it (the next owner
// is told so once).
class MutexObj : public KObject, public Waitable, public std::enable_shared_from_this<MutexObj> {
public:
    Waitable* AsWaitable() override { return this; }
    bool SignaledFor(const ThreadRec& t, std::uint64_t) const override {
        return owner_ == 0 || owner_ == t.id;
    }
    bool Acquire(ThreadRec& t, std::uint64_t) override;
    void OwnerEnded(const ThreadRec& t) override;
    void GiveBack(ThreadRec& t, std::uint64_t, bool abandoned) override;
    // False when the caller does not own it.
    bool ReleaseLocked(const ThreadRec& t);

private:
    DWORD owner_ = 0;
    int recursion_ = 0;
    bool abandoned_ = false;
};

// A critical section: a mutex of one process that is never abandoned.
class CriticalSectionObj : public Waitable {
public:
    bool SignaledFor(const ThreadRec& t, std::uint64_t) const override {
        return owner_ == 0 || owner_ == t.id;
    }
    bool Acquire(ThreadRec& t, std::uint64_t) override {
        owner_ = t.id;
        ++recursion_;
        return false;
    }
    // Ignored when the caller does not own it.
    void LeaveLocked(const ThreadRec& t) {
        if (owner_ != t.id || recursion_ <= 0) return;
        if (--recursion_ == 0) {
            owner_ = 0;
            Changed();
        }
    }

private:
    DWORD owner_ = 0;
    int recursion_ = 0;
};

// One packet of a completion port.
struct CompletionPacket {
    DWORD bytes = 0;
    ULONG_PTR key = 0;
    OVERLAPPED* overlapped = nullptr;
};

// An I/O completion port: a FIFO of packets. A thread whose wait it satisfies takes the front
// packet at once (Acquire), so one packet wakes one thread; the thread collects it with
// TakeHandedLocked. Closing its last handle ends the waits on it. Not waitable through the wait
// functions (a packet taken there would be lost): AsWaitable stays null.
class CompletionPortObj : public KObject, public Waitable {
public:
    explicit CompletionPortObj(DWORD concurrency) : concurrency_(concurrency) {}
    bool SignaledFor(const ThreadRec&, std::uint64_t) const override {
        return closed_ || !packets_.empty();
    }
    bool Acquire(ThreadRec& t, std::uint64_t) override {
        if (!packets_.empty()) {
            handed_[&t] = packets_.front();
            packets_.pop_front();
        }
        return false;
    }
    void OnLastHandleClosed() override;
    // False once the port is closed.
    bool PostLocked(const CompletionPacket& packet) {
        if (closed_) return false;
        packets_.push_back(packet);
        Changed();
        return true;
    }
    // The packet the thread's wait took, if any.
    std::optional<CompletionPacket> TakeHandedLocked(ThreadRec& t) {
        auto it = handed_.find(&t);
        if (it == handed_.end()) return std::nullopt;
        CompletionPacket p = it->second;
        handed_.erase(it);
        return p;
    }
    DWORD Concurrency() const { return concurrency_; }

private:
    DWORD concurrency_;
    bool closed_ = false;
    std::deque<CompletionPacket> packets_;
    std::map<ThreadRec*, CompletionPacket> handed_;
};

}  // namespace sim
