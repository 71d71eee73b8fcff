#include "dm/command_queue.h"

#include "support/auto_lock.h"

DMCommandQueue::DMCommandQueue() : m_event(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    InitializeCriticalSection(&m_lock);
}

DMCommandQueue::~DMCommandQueue() {
    for (Entry& entry : m_list) entry.holder->Release();
    m_list.clear();
    if (m_event != nullptr) CloseHandle(m_event);
    DeleteCriticalSection(&m_lock);
}

bool DMCommandQueue::Enqueue(DMCmdHolder* holder) {
    CAutoLock guard(m_lock);
    if (m_closed) return false;
    OnBeforeQueue(holder);
    m_list.push_back(Entry{holder});
    holder->AddRef();
    OnQueued(m_list.back());
    SetEvent(m_event);
    return true;
}

DMCmdHolder* DMCommandQueue::PopFront() {
    CAutoLock guard(m_lock);
    if (m_list.empty()) return nullptr;
    DMCmdHolder* holder = m_list.front().holder;
    m_list.pop_front();
    return holder;
}

void DMCommandQueue::Close() {
    std::list<Entry> left;
    {
        CAutoLock guard(m_lock);
        m_closed = true;
        left.swap(m_list);
        SetEvent(m_event);
    }
    for (Entry& entry : left) {
        if (CDMCmd* command = entry.holder->Command()) command->Cancel();
        entry.holder->Release();
    }
}

bool DMCommandQueue::IsClosed() const {
    CAutoLock guard(m_lock);
    return m_closed;
}

std::size_t DMCommandQueue::Size() const {
    CAutoLock guard(m_lock);
    return m_list.size();
}

bool EnqueueCommand(DMCommandQueue& queue, DMCmdHolder* holder) {
    return queue.Enqueue(holder);
}
