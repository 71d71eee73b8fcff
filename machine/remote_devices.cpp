#include "machine/remote_devices.h"

#include <cstring>
#include <deque>
#include <memory>

#include <cfgmgr32.h>
#include "machine/device_wire.h"
#include "machine/machine.h"
#include "machine/remote.h"
#include "machine/serial.h"
#include "machine/threads.h"
#include "machine/waits.h"

namespace sim {

namespace {

// A request of the Devices kind: the answer's status and body.
RemoteAnswer Ask(ServerLink& link, const wire::Writer& w) {
    return CallServer(link, wire::Kind::Devices, w.Bytes());
}

wire::Writer Request(wire::DevicesOp op, const std::wstring& text) {
    wire::Writer w;
    w.U16(static_cast<std::uint16_t>(op)).Text(text);
    return w;
}

// The hardware behind every mirrored node that has some: it lives on the server.
class ServedDeviceModel : public DeviceModel {
public:
    explicit ServedDeviceModel(ServerLink& link) : link_(link) {}

    DWORD Open(const std::wstring& instanceId) override {
        RemoteAnswer a = Ask(link_, Request(wire::DevicesOp::Open, instanceId));
        std::uint32_t error = a.status;
        if (a.status == 0 && !wire::Reader(a.body).U32(error)) error = ERROR_GEN_FAILURE;
        return error;
    }

    BOOL IoControl(const std::wstring& instanceId, DWORD code, const void* in, DWORD inSize,
                   void* out, DWORD outSize, DWORD* returned, DWORD* error) override {
        *returned = 0;
        if ((in && inSize > wire::kMaxIoBuffer) || (out && outSize > wire::kMaxIoBuffer)) {
            *error = ERROR_INVALID_PARAMETER;
            return FALSE;
        }
        wire::Writer w = Request(wire::DevicesOp::IoControl, instanceId);
        w.U32(code).U8(in != nullptr);
        w.Blob(in ? std::string(static_cast<const char*>(in), inSize) : std::string());
        w.U8(out != nullptr);
        w.Blob(out ? std::string(static_cast<const char*>(out), outSize) : std::string());
        RemoteAnswer a = Ask(link_, w);
        wire::Reader r(a.body);
        std::uint8_t done = 0;
        std::uint32_t err = 0, count = 0;
        std::string bytes;
        if (a.status != 0 || !r.U8(done) || !r.U32(err) || !r.U32(count) || !r.Blob(bytes) ||
            (out && bytes.size() != outSize)) {
            *error = a.status != 0 ? a.status : ERROR_GEN_FAILURE;
            return FALSE;
        }
        if (out) std::memcpy(out, bytes.data(), bytes.size());
        *returned = count;
        *error = err;
        return done ? TRUE : FALSE;
    }

    DWORD RequestEject(const std::wstring& instanceId, int* vetoType,
                       std::wstring* vetoName) override {
        RemoteAnswer a = Ask(link_, Request(wire::DevicesOp::RequestEject, instanceId));
        wire::Reader r(a.body);
        std::uint32_t result = CR_FAILURE;
        std::int32_t type = 0;
        std::wstring name;
        *vetoType = 0;
        if (a.status != 0 || !r.U32(result) || !r.I32(type) || !r.Text(name)) return CR_FAILURE;
        *vetoType = type;
        *vetoName = name;
        return result;
    }

private:
    ServerLink& link_;
};

class ServedDeviceTree : public DeviceTreeRemote {
public:
    explicit ServedDeviceTree(ServerLink& link) : link_(link) {}

    bool SetEnabled(const std::wstring& instanceId, bool enable, bool global) override {
        wire::Writer w = Request(wire::DevicesOp::SetEnabled, instanceId);
        w.U8(enable ? 1 : 0).U8(global ? 1 : 0);
        RemoteAnswer a = Ask(link_, w);
        std::uint8_t found = 0;
        return a.status == 0 && wire::Reader(a.body).U8(found) && found != 0;
    }
    void SetProblem(const std::wstring& instanceId, ULONG problem) override {
        wire::Writer w = Request(wire::DevicesOp::SetProblem, instanceId);
        w.U32(problem);
        Ask(link_, w);
    }

private:
    ServerLink& link_;
};

class ServedPorts : public PortArbiter {
public:
    explicit ServedPorts(ServerLink& link) : link_(link) {}
    DWORD Acquire(const std::wstring& name) override {
        return Ask(link_, Request(wire::DevicesOp::AcquirePort, name)).status;
    }
    void Release(const std::wstring& name) override {
        PostToServer(link_, wire::Kind::Devices,
                     Request(wire::DevicesOp::ReleasePort, name).Bytes());
    }

private:
    ServerLink& link_;
};

// What the process's listeners have yet to hear, in the order the server sent it (kernel lock
// held for both).
struct Notices {
    std::deque<DeviceTree::Notice> queue;
    ChangeCounter added;
};

Notices& PendingNotices() {
    static Notices* notices = new Notices;  // lives as long as the threads that use it
    return *notices;
}

DeviceTree* g_tree = nullptr;
std::shared_ptr<DeviceModel> g_model;

}  // namespace

bool JoinServedDevices(ServerLink& link, const std::string& tree) {
    g_model = std::make_shared<ServedDeviceModel>(link);
    std::vector<DeviceNode> nodes;
    wire::Reader r(tree);
    if (!wire::ReadNodes(r, nodes, g_model) || !r.AtEnd()) return false;
    g_tree = &machine().devices();
    // What was there when the program started is no change it hears of.
    g_tree->Mirror(nodes);
    g_tree->UseRemote(std::make_unique<ServedDeviceTree>(link));
    UsePortArbiter(std::make_unique<ServedPorts>(link));
    return true;
}

void StartDeviceNotices() {
    if (g_tree == nullptr) return;
    StartMachineThread([] {
        auto& kernel = Kernel::Get();
        ThreadRec& self = CurrentThread();
        Notices& notices = PendingNotices();
        for (;;) {
            std::deque<DeviceTree::Notice> due;
            {
                std::unique_lock<std::mutex> lk(kernel.Mutex());
                while (notices.queue.empty()) {
                    const WaitItem item{&notices.added, notices.added.Count()};
                    WaitResult r = kernel.Wait(lk, self, std::span<const WaitItem>(&item, 1),
                                               false, 0, kForever);
                    if (r.outcome == WaitOutcome::Terminated) return;
                }
                due.swap(notices.queue);
            }
            for (const auto& notice : due) notice();
        }
    });
}

void ReceiveDeviceTreeLocked(const std::string& payload) {
    if (g_tree == nullptr) return;
    std::vector<DeviceNode> nodes;
    wire::Reader r(payload);
    if (!wire::ReadNodes(r, nodes, g_model) || !r.AtEnd()) return;
    Notices& notices = PendingNotices();
    notices.queue.push_back(g_tree->Mirror(nodes));
    notices.added.BumpLocked();
}

}  // namespace sim
