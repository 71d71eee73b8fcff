// The lock that serialises the renders of one docking tree against each other and against the
// user-interface thread's changes to the tree.
//
// It is re-entrant for the thread that holds it and can be waited for in two ways: a render
// thread simply blocks; the user-interface thread waits while it goes on handling the messages
// that other threads send it (a render that holds the lock sends the tree's windows messages and
// waits for their answers, so a user-interface thread that only blocked would never let it
// finish).
//
// A holder announces each message it sends (SendingTo / SendDone), so that a change made by the
// window's thread inside the handler of that very message can tell that the render which holds
// the lock is paused in it and waiting for it.
#pragma once

#include <mutex>

#include <windows.h>

namespace System::Docking {

class CRenderLock {
public:
    CRenderLock();
    ~CRenderLock();
    CRenderLock(const CRenderLock&) = delete;
    CRenderLock& operator=(const CRenderLock&) = delete;

    // Takes the lock if it is free or already the caller's.
    bool TryEnter();
    // Takes the lock, blocking as long as another thread holds it; gives up (false) when giveUp
    // (if any) is signalled first.
    bool Enter(HANDLE giveUp = nullptr);
    // Takes the lock; while another thread holds it, handles the messages sent to the calling
    // thread. False only when the lock's event cannot be waited on.
    bool EnterHandlingSentMessages();
    // Gives up one level of the caller's hold; the last one frees the lock.
    void Leave();

    // The holder is about to send a message to a window of that thread / has its answer.
    void SendingTo(DWORD thread);
    void SendDone();
    // The holder (another thread, or the caller itself) is inside a message it sends to a window
    // of the calling thread.
    bool HolderIsSendingToCaller() const;
    // The calling thread holds the lock.
    bool HeldByCaller() const;

private:
    mutable std::mutex state_;
    DWORD owner_ = 0;
    int depth_ = 0;
    DWORD sendingTo_ = 0;
    // Auto-reset: set each time the lock becomes free; a waiter wakes and tries again.
    HANDLE freed_;
};

// Waits until the object is signalled; the messages that other threads send to the calling
// thread meanwhile are handled. WAIT_OBJECT_0, or WAIT_FAILED for an object that cannot be
// waited on.
DWORD WaitHandlingSentMessages(HANDLE object);

}  // namespace System::Docking
