// The queue of commands waiting for the device: holders in arrival order, guarded by a lock, with
// an event that wakes the consumer after each insertion.
#pragma once

#include <cstddef>
#include <list>

#include "dm/command.h"
#include <windows.h>

class DMCommandQueue {
public:
    struct Entry {
        DMCmdHolder* holder;  // one reference, the queue's
    };

    DMCommandQueue();
    // Releases every holder still listed and closes the event.
    virtual ~DMCommandQueue();
    DMCommandQueue(const DMCommandQueue&) = delete;
    DMCommandQueue& operator=(const DMCommandQueue&) = delete;

    // Queues the holder with a reference of the queue's own. Refused (false, nothing queued) once
    // the queue is closed; the check and the insertion happen under the lock.
    bool Enqueue(DMCmdHolder* holder);
    // The first holder with the queue's reference, which passes to the caller; null when empty.
    DMCmdHolder* PopFront();
    // Sets the stopping flag, then cancels and releases every command still listed. Later
    // Enqueue calls are refused. Closing twice is harmless.
    void Close();
    bool IsClosed() const;
    std::size_t Size() const;
    // Auto-reset; signalled after each insertion and by Close.
    HANDLE Event() const { return m_event; }

protected:
    // Called under the lock with the holder about to be queued.
    virtual void OnBeforeQueue(DMCmdHolder* holder) {}
    // Called under the lock with the entry just queued.
    virtual void OnQueued(const Entry& entry) {}
    // For the hooks of a derived queue: the entries listed now.
    std::size_t SizeLocked() const { return m_list.size(); }
    CRITICAL_SECTION& Lock() const { return m_lock; }

private:
    std::list<Entry> m_list;
    mutable CRITICAL_SECTION m_lock;
    HANDLE m_event;
    bool m_closed = false;
};

// Queues a holder (DMCommandQueue::Enqueue).
bool EnqueueCommand(DMCommandQueue& queue, DMCmdHolder* holder);
