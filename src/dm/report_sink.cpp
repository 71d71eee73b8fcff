#include "dm/report_sink.h"

#include <algorithm>

#include "support/auto_lock.h"

CReportSinkSlot::CReportSinkSlot() {
    InitializeCriticalSection(&m_lock);
}

CReportSinkSlot::~CReportSinkSlot() {
    DeleteCriticalSection(&m_lock);
}

void* CReportSinkSlot::Get() const {
    CAutoLock guard(m_lock);
    return m_sink;
}

bool CReportSinkSlot::OlderLiveLocked(std::uint64_t generation) const {
    return !m_live.empty() && m_live.begin()->first <= generation;
}

void CReportSinkSlot::Set(void* sink) {
    std::uint64_t old = 0;
    {
        CAutoLock guard(m_lock);
        old = m_generation++;
        m_sink = sink;
    }
    if (m_deliveryThread.load() == GetCurrentThreadId()) return;
    Waiter waiter{old, nullptr};
    {
        CAutoLock guard(m_lock);
        if (!OlderLiveLocked(old)) return;
        waiter.event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (waiter.event == nullptr)
            return;  // nothing to wait on: the old sink may still be called
        m_waiters.push_back(&waiter);
    }
    WaitForSingleObject(waiter.event, INFINITE);
    {
        CAutoLock guard(m_lock);
        m_waiters.erase(std::find(m_waiters.begin(), m_waiters.end(), &waiter));
    }
    CloseHandle(waiter.event);
}

CReportSinkSlot::Ticket::Ticket(CReportSinkSlot& slot) : m_slot(slot) {
    CAutoLock guard(slot.m_lock);
    m_sink = slot.m_sink;
    m_generation = slot.m_generation;
    ++slot.m_live[m_generation];
}

CReportSinkSlot::Ticket::~Ticket() {
    CAutoLock guard(m_slot.m_lock);
    auto it = m_slot.m_live.find(m_generation);
    if (--it->second == 0) m_slot.m_live.erase(it);
    for (Waiter* w : m_slot.m_waiters)
        if (!m_slot.OlderLiveLocked(w->generation)) SetEvent(w->event);
}

void* CReportSinkSlot::Ticket::BeginDelivery() {
    m_slot.m_deliveryThread.store(GetCurrentThreadId());
    return m_sink;
}
