// The application's sink of one report parser. Setting it is atomic with respect to the
// notifications being built: each notification captures the sink (and a ticket counting it) when
// it is built, and keeps that sink until it is destroyed. A setter that is not running on the
// delivery thread returns only once every notification built for an earlier sink has been
// delivered or dropped, so the application may destroy the old sink afterwards. A setter called
// from inside a delivery does not wait (it would wait for itself).
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

#include "dm/command.h"
#include <windows.h>

// A parser's member factory as a report table entry's factory.
template <auto F>
ReportTableEntry::Factory ReportFactory() {
    return static_cast<ReportTableEntry::Factory>(F);
}

class CReportSinkSlot {
public:
    CReportSinkSlot();
    ~CReportSinkSlot();
    CReportSinkSlot(const CReportSinkSlot&) = delete;
    CReportSinkSlot& operator=(const CReportSinkSlot&) = delete;

    // The sink a notification holds, counted as live until the ticket goes.
    class Ticket {
    public:
        explicit Ticket(CReportSinkSlot& slot);
        ~Ticket();
        Ticket(const Ticket&) = delete;
        Ticket& operator=(const Ticket&) = delete;
        // Marks the calling thread as the delivery thread and returns the captured sink.
        void* BeginDelivery();
        void* Sink() const { return m_sink; }

    private:
        CReportSinkSlot& m_slot;
        void* m_sink;
        std::uint64_t m_generation;
    };

    void Set(void* sink);
    void* Get() const;

private:
    struct Waiter {
        std::uint64_t generation;  // waits until no ticket of this generation or older lives
        HANDLE event;
    };
    bool OlderLiveLocked(std::uint64_t generation) const;

    mutable CRITICAL_SECTION m_lock;
    void* m_sink = nullptr;
    std::uint64_t m_generation = 0;
    std::map<std::uint64_t, int> m_live;  // live tickets per generation
    std::vector<Waiter*> m_waiters;
    std::atomic<DWORD> m_deliveryThread{0};
};

template <class Sink>
class TReportSinkSlot : public CReportSinkSlot {
public:
    void Set(Sink* sink) { CReportSinkSlot::Set(sink); }
    Sink* Get() const { return static_cast<Sink*>(CReportSinkSlot::Get()); }
};

// A notification carrying the sink captured when it was built and the report's data; Deliver
// calls the sink through `call`, and does nothing when the captured sink is null.
template <class Sink, class... Data>
class TReportNotify : public CActiveDMCmd {
public:
    using Call = void (*)(Sink& sink, const Data&... data);
    TReportNotify(TReportSinkSlot<Sink>& slot, Call call, Data... data)
        : m_ticket(slot), m_call(call), m_data(std::move(data)...) {}
    void Deliver() override {
        auto* sink = static_cast<Sink*>(m_ticket.BeginDelivery());
        if (sink == nullptr) return;
        std::apply([&](const Data&... d) { m_call(*sink, d...); }, m_data);
    }
    const std::tuple<Data...>& Contents() const { return m_data; }
    Sink* CapturedSink() const { return static_cast<Sink*>(m_ticket.Sink()); }

private:
    CReportSinkSlot::Ticket m_ticket;
    Call m_call;
    std::tuple<Data...> m_data;
};
