// A wait of a program on a machine server that mixes the server's objects with objects of its own
// process or with its message queue. The program cannot lock both machines at once, so the
// server's side goes in steps (see machine/server/kernel_waits.cpp):
//  - the thread waits on its own objects, its queue, its deadline and the answer to a peek of the
//    server's objects (which takes nothing there);
//  - one of its own objects, its queue or the deadline ends the wait: the peek is dropped and
//    nothing of the server's was taken;
//  - the peek's answer ends it: the thread takes the server's objects (wait on one: the first
//    that is signalled; another process may have taken it meanwhile, then it waits again);
//  - a wait on all objects ends only when its own objects and the peek's answer are there at
//    once (nothing taken); then it takes the server's objects, then its own under the kernel
//    lock; when another thread took one of its own meanwhile, what the server gave is given back
//    there in one step and it waits again.
// The time-out is the program's own deadline on the machine clock (the server's clock).
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "machine/remote.h"
#include "machine/waits.h"

namespace sim {

// The server's side of one mixed wait (its objects are fixed for the wait). A test gives its own.
class RemoteWaitSide {
public:
    virtual ~RemoteWaitSide() = default;
    // Asks to be told once the server's objects would satisfy the wait; the call's gate opens
    // with the answer (status 0 and u32 index, or a failure). Kernel lock not held.
    virtual std::shared_ptr<PendingCall> Peek(bool all) = 0;
    // The peek's answer no longer matters (kernel lock held).
    virtual void DropPeekLocked(PendingCall& peek) = 0;
    // Takes now what the wait would take of the server's objects: WAIT_OBJECT_0 + i,
    // WAIT_ABANDONED + i, WAIT_TIMEOUT (nothing to take) or WAIT_FAILED. Kernel lock not held.
    virtual DWORD Take(bool all) = 0;
    // Gives back what the last Take took. Kernel lock not held.
    virtual void GiveBack() = 0;
};

// One object of a mixed wait, in the caller's order: the server's (the remote side's next one)
// or the process's own.
struct MixedItem {
    bool remote = false;
    Waitable* local = nullptr;
};

// How a mixed wait ended: `failed` (with the server's error) or the outcome; the index counts
// every item (Queue: the item count).
struct MixedResult {
    WaitResult result{WaitOutcome::Timeout};
    bool failed = false;
    DWORD error = 0;
};

MixedResult MixedWait(ThreadRec& self, std::span<const MixedItem> items, RemoteWaitSide& remote,
                      bool all, DWORD wakeMask, std::uint64_t deadline);

// The remote side over the process's link to its server, for the server's handles in order.
std::unique_ptr<RemoteWaitSide> ServedWaitSide(ServerLink& link, DWORD threadId,
                                               std::vector<std::uint32_t> handles);

}  // namespace sim
