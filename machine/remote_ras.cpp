#include "machine/remote_ras.h"

#include <deque>
#include <memory>

#include <winbase.h>
#include "machine/machine.h"
#include "machine/ras.h"
#include "machine/ras_wire.h"
#include "machine/remote.h"
#include "machine/threads.h"
#include "machine/waits.h"

namespace sim {

namespace {

wire::Writer Request(wire::RasOp op) {
    wire::Writer w;
    w.U16(static_cast<std::uint16_t>(op));
    return w;
}

// What the server sent and the process has yet to apply (kernel lock held for both).
struct News {
    std::deque<RasNews> queue;
    ChangeCounter added;
};

News& PendingNews() {
    static News* news = new News;  // lives as long as the threads that use it
    return *news;
}

class ServedRas : public RasRemote {
public:
    explicit ServedRas(ServerLink& link) : link_(link) {}

    DWORD SetEntry(const std::wstring& phonebook, const std::wstring& name,
                   const RasEntryRecord& record) override {
        wire::Writer w = Request(wire::RasOp::SetEntry);
        w.Text(phonebook).Text(name);
        wire::WriteEntry(w, record);
        return Call(w).status;
    }
    DWORD DeleteEntry(const std::wstring& phonebook, const std::wstring& name) override {
        wire::Writer w = Request(wire::RasOp::DeleteEntry);
        w.Text(phonebook).Text(name);
        return Call(w).status;
    }
    std::optional<RasEntryRecord> Entry(const std::wstring& phonebook,
                                        const std::wstring& name) override {
        wire::Writer w = Request(wire::RasOp::GetEntry);
        w.Text(phonebook).Text(name);
        RemoteAnswer a = Call(w);
        wire::Reader r(a.body);
        RasEntryRecord entry;
        if (a.status != 0 || !wire::ReadEntry(r, entry)) return std::nullopt;
        return entry;
    }
    DialAnswer Dial(const DialRecord& record) override {
        wire::Writer w = Request(wire::RasOp::Dial);
        wire::WriteDialRecord(w, record);
        RemoteAnswer a = Call(w);
        wire::Reader r(a.body);
        DialAnswer d;
        std::uint32_t error = 0, handle = 0;
        if (a.status != 0 || !r.U32(error) || !r.U32(handle) ||
            !wire::ReadScript(r, d.begun.script) || !wire::ReadDialRecord(r, d.record) ||
            !r.U32(d.hangUpMs) || !r.U64(d.sentRate) || !r.U64(d.receivedRate)) {
            d.begun.error = a.status != 0 ? a.status : ERROR_GEN_FAILURE;
            return d;
        }
        d.begun.error = error;
        d.begun.handle = reinterpret_cast<HRASCONN>(static_cast<ULONG_PTR>(handle));
        return d;
    }
    void Report(const RasLine& line) override {
        wire::Writer w = Request(wire::RasOp::Report);
        wire::WriteLine(w, line);
        PostToServer(link_, wire::Kind::Ras, w.Bytes());
    }
    void HangUpCall(bool beganTeardown) override {
        wire::Writer w = Request(wire::RasOp::HangUpCall);
        w.U8(beganTeardown ? 1 : 0);
        PostToServer(link_, wire::Kind::Ras, w.Bytes());
    }
    std::vector<RasLine> Lines() override {
        RemoteAnswer a = Call(Request(wire::RasOp::Lines));
        std::vector<RasLine> out;
        wire::Reader r(a.body);
        if (a.status == 0) wire::ReadLines(r, out);
        return out;
    }
    std::vector<RasNews> TakeNews() override {
        News& news = PendingNews();
        std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
        std::vector<RasNews> out(news.queue.begin(), news.queue.end());
        news.queue.clear();
        return out;
    }

private:
    RemoteAnswer Call(const wire::Writer& w) { return CallServer(link_, wire::Kind::Ras, w.Bytes()); }
    ServerLink& link_;
};

}  // namespace

void JoinServedRas(ServerLink& link) {
    machine().ras().UseRemote(std::make_unique<ServedRas>(link));
    StartMachineThread([] {
        auto& kernel = Kernel::Get();
        ThreadRec& self = CurrentThread();
        News& news = PendingNews();
        for (;;) {
            {
                std::unique_lock<std::mutex> lk(kernel.Mutex());
                while (news.queue.empty()) {
                    const WaitItem item{&news.added, news.added.Count()};
                    WaitResult r = kernel.Wait(lk, self, std::span<const WaitItem>(&item, 1),
                                               false, 0, kForever);
                    if (r.outcome == WaitOutcome::Terminated) return;
                }
            }
            Ras::Get().ApplyNews();
        }
    });
}

void ReceiveRasNewsLocked(const std::string& payload) {
    RasNews n;
    wire::Reader r(payload);
    if (!wire::ReadNews(r, n) || !r.AtEnd()) return;
    News& news = PendingNews();
    news.queue.push_back(n);
    news.added.BumpLocked();
}

}  // namespace sim
