// The service control manager of a program on a machine server: every call is a request to the
// server's (machine/server/services.h); the controls for the service this process runs arrive as
// pushes and wait in an inbox for the dispatcher thread.
#include <cstring>
#include <deque>
#include <mutex>

#include <winbase.h>
#include "machine/remote.h"
#include "machine/service_wire.h"
#include "machine/services.h"
#include "machine/waits.h"

namespace sim {

namespace {

class ServedServices : public ServicesRemote {
public:
    explicit ServedServices(ServerLink& link) : link_(link) {
        SetPushHandler(wire::Kind::ScControlPush,
                       [this](const std::string& payload) { OnPushLocked(payload); });
    }
    ~ServedServices() override { SetPushHandler(wire::Kind::ScControlPush, nullptr); }

    DWORD Create(const ServiceConfig& c) override {
        wire::Writer w;
        w.Text(c.name).Text(c.displayName).U32(c.type).U32(c.startType).U32(c.errorControl);
        w.Text(c.binaryPath);
        wire::PutNames(w, c.dependencies);
        w.Text(c.account);
        return Ask(wire::Kind::ScCreate, w).status;
    }
    DWORD AddHandle(const std::wstring& name) override {
        return Ask(wire::Kind::ScOpen, wire::Writer().Text(name)).status;
    }
    void ReleaseHandle(const std::wstring& name) override {
        Ask(wire::Kind::ScClose, wire::Writer().Text(name));
    }
    DWORD Query(const std::wstring& name, SERVICE_STATUS_PROCESS* status) override {
        RemoteAnswer a = Ask(wire::Kind::ScQuery, wire::Writer().Text(name));
        if (a.status != 0) return a.status;
        wire::Reader r(a.body);
        return wire::GetStatus(r, *status) ? 0 : ERROR_INVALID_DATA;
    }
    DWORD ChangeConfig(const std::wstring& name, DWORD type, DWORD startType, DWORD errorControl,
                       const wchar_t* binaryPath, const wchar_t* displayName,
                       const std::vector<std::wstring>* dependencies) override {
        wire::Writer w;
        w.Text(name).U32(type).U32(startType).U32(errorControl);
        w.U8(binaryPath ? 1 : 0).Text(binaryPath ? binaryPath : L"");
        w.U8(displayName ? 1 : 0).Text(displayName ? displayName : L"");
        w.U8(dependencies ? 1 : 0);
        wire::PutNames(w, dependencies ? *dependencies : std::vector<std::wstring>{});
        return Ask(wire::Kind::ScChangeConfig, w).status;
    }
    DWORD MarkForDelete(const std::wstring& name) override {
        return Ask(wire::Kind::ScDelete, wire::Writer().Text(name)).status;
    }
    std::vector<std::pair<ServiceConfig, SERVICE_STATUS>> Dependents(const std::wstring& name,
                                                                     DWORD stateFilter) override {
        std::vector<std::pair<ServiceConfig, SERVICE_STATUS>> out;
        RemoteAnswer a = Ask(wire::Kind::ScDependents, wire::Writer().Text(name).U32(stateFilter));
        wire::Reader r(a.body);
        std::uint32_t count = 0;
        if (a.status != 0 || !r.U32(count)) return out;
        for (std::uint32_t i = 0; i < count; ++i) {
            ServiceConfig c;
            SERVICE_STATUS_PROCESS s{};
            if (!r.Text(c.name) || !r.Text(c.displayName) || !wire::GetStatus(r, s)) break;
            SERVICE_STATUS st;
            std::memcpy(&st, &s, sizeof st);
            out.emplace_back(std::move(c), st);
        }
        return out;
    }
    DWORD Start(const std::wstring& name) override {
        return Ask(wire::Kind::ScStart, wire::Writer().Text(name)).status;
    }
    DWORD Control(const std::wstring& name, DWORD control, SERVICE_STATUS* status) override {
        RemoteAnswer a = Ask(wire::Kind::ScControl, wire::Writer().Text(name).U32(control).U32(0));
        wire::Reader r(a.body);
        SERVICE_STATUS_PROCESS s{};
        if (status != nullptr && wire::GetStatus(r, s)) std::memcpy(status, &s, sizeof *status);
        return a.status;
    }

    std::wstring ServiceOfThisProcess() override {
        RemoteAnswer a = Ask(wire::Kind::ScWho, wire::Writer());
        std::wstring name;
        wire::Reader r(a.body);
        return a.status == 0 && r.Text(name) ? name : L"";
    }
    DWORD Connect(const std::wstring& name, ULONG_PTR* launch) override {
        RemoteAnswer a = Ask(wire::Kind::ScConnect, wire::Writer().Text(name));
        std::uint32_t l = 0;
        wire::Reader r(a.body);
        if (a.status != 0) return a.status;
        if (!r.U32(l)) return ERROR_FAILED_SERVICE_CONTROLLER_CONNECT;
        *launch = l;
        return 0;
    }
    DWORD ReportStatus(ULONG_PTR launch, const SERVICE_STATUS& status) override {
        SERVICE_STATUS_PROCESS s{};
        std::memcpy(&s, &status, sizeof status);
        wire::Writer w;
        w.U32(static_cast<std::uint32_t>(launch));
        wire::PutStatus(w, s);
        DWORD e = Ask(wire::Kind::ScSetStatus, w).status;
        if (status.dwCurrentState == SERVICE_STOPPED) {
            // The dispatcher ends with the service, whatever the server answered.
            std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
            stopped_ = true;
            changed_.BumpLocked();
        }
        return e;
    }
    void DeliverLocal(ServedControl control) override {
        control.seq = 0;
        std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
        inbox_.push_back(std::move(control));
        changed_.BumpLocked();
    }
    bool NextControl(ServedControl* control) override {
        for (;;) {
            std::uint64_t seen = 0;
            {
                std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
                // A service that has reported its end takes no more controls.
                if (stopped_) return false;
                if (!inbox_.empty()) {
                    *control = std::move(inbox_.front());
                    inbox_.pop_front();
                    return true;
                }
                seen = changed_.Count();
            }
            WaitForChange(changed_, seen, kForever);
        }
    }
    void ControlDone(std::uint32_t seq, DWORD result) override {
        Ask(wire::Kind::ScControlDone, wire::Writer().U32(seq).U32(result));
    }

private:
    RemoteAnswer Ask(wire::Kind kind, const wire::Writer& w) {
        return CallServer(link_, kind, w.Bytes());
    }
    // Kernel lock held (the link's receiving thread).
    void OnPushLocked(const std::string& payload) {
        ServedControl c;
        std::string data;
        wire::Reader r(payload);
        if (!r.U32(c.seq) || !r.U32(c.control) || !r.U32(c.eventType) || !r.Blob(data) ||
            c.seq == 0)
            return;
        c.data.assign(data.begin(), data.end());
        inbox_.push_back(std::move(c));
        changed_.BumpLocked();
    }

    ServerLink& link_;
    // Kernel lock held for these.
    std::deque<ServedControl> inbox_;
    ChangeCounter changed_;
    bool stopped_ = false;
};

}  // namespace

ServicesRemote* NewServedServices(ServerLink& link) {
    return new ServedServices(link);
}

}  // namespace sim
