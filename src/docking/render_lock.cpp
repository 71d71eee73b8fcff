#include "docking/render_lock.h"

#include <windows.h>

namespace System::Docking {

CRenderLock::CRenderLock() : freed_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

CRenderLock::~CRenderLock() {
    if (freed_ != nullptr) CloseHandle(freed_);
}

bool CRenderLock::TryEnter() {
    const DWORD me = GetCurrentThreadId();
    std::lock_guard<std::mutex> hold(state_);
    if (depth_ != 0 && owner_ != me) return false;
    owner_ = me;
    ++depth_;
    return true;
}

bool CRenderLock::Enter(HANDLE giveUp) {
    const HANDLE objects[2] = {freed_, giveUp};
    const DWORD count = giveUp != nullptr ? 2 : 1;
    while (!TryEnter())
        if (WaitForMultipleObjects(count, objects, FALSE, INFINITE) != WAIT_OBJECT_0) return false;
    return true;
}

bool CRenderLock::EnterHandlingSentMessages() {
    while (!TryEnter())
        if (WaitHandlingSentMessages(freed_) == WAIT_FAILED) return false;
    return true;
}

void CRenderLock::Leave() {
    {
        std::lock_guard<std::mutex> hold(state_);
        if (depth_ == 0 || owner_ != GetCurrentThreadId()) return;
        if (--depth_ != 0) return;
        owner_ = 0;
        sendingTo_ = 0;
    }
    SetEvent(freed_);
}

void CRenderLock::SendingTo(DWORD thread) {
    std::lock_guard<std::mutex> hold(state_);
    if (depth_ != 0 && owner_ == GetCurrentThreadId()) sendingTo_ = thread;
}

void CRenderLock::SendDone() {
    std::lock_guard<std::mutex> hold(state_);
    if (depth_ != 0 && owner_ == GetCurrentThreadId()) sendingTo_ = 0;
}

bool CRenderLock::HolderIsSendingToCaller() const {
    const DWORD me = GetCurrentThreadId();
    std::lock_guard<std::mutex> hold(state_);
    return depth_ != 0 && sendingTo_ == me;
}

bool CRenderLock::HeldByCaller() const {
    std::lock_guard<std::mutex> hold(state_);
    return depth_ != 0 && owner_ == GetCurrentThreadId();
}

DWORD WaitHandlingSentMessages(HANDLE object) {
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjects(1, &object, FALSE, INFINITE, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0) return WAIT_OBJECT_0;
        if (woke != WAIT_OBJECT_0 + 1) return WAIT_FAILED;
        // Handles the messages sent to this thread and leaves every posted one in the queue.
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace System::Docking
