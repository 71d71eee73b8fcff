#include "machine/server/devices.h"

#include <algorithm>

#include <cfgmgr32.h>
#include "machine/device_wire.h"
#include "machine/machine.h"

namespace sim::server {

DeviceHost::DeviceHost(std::function<std::uint64_t()> now) : now_(std::move(now)) {
    lastTaken_ = TreeBytes();
}

DeviceHost::~DeviceHost() = default;

std::string DeviceHost::TreeBytes() {
    wire::Writer w;
    wire::WriteNodes(w, tree_.Nodes());
    return w.Bytes();
}

std::optional<std::string> DeviceHost::TakeChanged() {
    std::string bytes = TreeBytes();
    if (bytes == lastTaken_) return std::nullopt;
    lastTaken_ = bytes;
    return bytes;
}

std::uint64_t DeviceHost::NextDeadline() const {
    return steps_.empty() ? wire::kNever : steps_.begin()->first;
}

void DeviceHost::RunDue(std::uint64_t now) {
    while (!steps_.empty() && steps_.begin()->first <= now) {
        auto step = std::move(steps_.begin()->second);
        steps_.erase(steps_.begin());
        step();
    }
}

void DeviceHost::Disconnect(int client) {
    std::erase_if(ports_, [&](const auto& p) { return p.second == client; });
}

std::shared_ptr<SimModem> DeviceHost::Modem(wire::Reader& r) {
    std::uint32_t index = 0;
    if (!r.U32(index) || !r.AtEnd() || index >= modems_.size()) return nullptr;
    return modems_[index];
}

std::uint32_t DeviceHost::OnIoControl(const std::wstring& instanceId, wire::Reader& r,
                                      wire::Writer& reply) {
    std::uint32_t code = 0;
    std::uint8_t hasIn = 0, hasOut = 0;
    std::string in, out;
    if (!r.U32(code) || !r.U8(hasIn) || !r.Blob(in) || !r.U8(hasOut) || !r.Blob(out) ||
        !r.AtEnd() || in.size() > wire::kMaxIoBuffer || out.size() > wire::kMaxIoBuffer)
        return ERROR_INVALID_PARAMETER;
    DeviceNode node;
    if (!tree_.FindInstance(instanceId, &node) || !node.present || !node.spec.model)
        return ERROR_GEN_FAILURE;
    DWORD returned = 0, error = 0;
    BOOL done = node.spec.model->IoControl(
        node.spec.instanceId, code, hasIn ? in.data() : nullptr, static_cast<DWORD>(in.size()),
        hasOut ? out.data() : nullptr, static_cast<DWORD>(out.size()), &returned, &error);
    reply.U8(done ? 1 : 0).U32(error).U32(returned).Blob(out);
    return 0;
}

std::uint32_t DeviceHost::Handle(int client, wire::Reader& r, wire::Writer& reply) {
    using wire::DevicesOp;
    std::uint16_t op = 0;
    if (!r.U16(op)) return ERROR_INVALID_PARAMETER;
    switch (static_cast<DevicesOp>(op)) {
        case DevicesOp::Tree:
            if (!r.AtEnd()) return ERROR_INVALID_PARAMETER;
            wire::WriteNodes(reply, tree_.Nodes());
            return 0;
        case DevicesOp::PlugModem: {
            ModemOptions options;
            if (!wire::ReadModemOptions(r, options) || !r.AtEnd()) return ERROR_INVALID_PARAMETER;
            ModemHost host;
            host.tree = &tree_;
            host.schedule = [this](DWORD delayMs, std::function<void()> step) {
                steps_.emplace(now_() + delayMs, std::move(step));
            };
            modems_.push_back(SimModem::PlugInto(host, options));
            reply.U32(static_cast<std::uint32_t>(modems_.size() - 1));
            return 0;
        }
        case DevicesOp::UnplugModem:
        case DevicesOp::ReplugModem:
        case DevicesOp::ModemState: {
            auto modem = Modem(r);
            if (!modem) return ERROR_INVALID_PARAMETER;
            if (static_cast<DevicesOp>(op) == DevicesOp::UnplugModem) {
                modem->Unplug();
            } else if (static_cast<DevicesOp>(op) == DevicesOp::ReplugModem) {
                modem->Replug();
            } else {
                reply.U8(modem->InModemMode() ? 1 : 0)
                    .U32(static_cast<std::uint32_t>(modem->SwitchCount()))
                    .U32(static_cast<std::uint32_t>(modem->EjectRequests()))
                    .U32(static_cast<std::uint32_t>(modem->Requests().size()));
            }
            return 0;
        }
        case DevicesOp::AcquirePort:
        case DevicesOp::ReleasePort: {
            std::wstring name;
            if (!r.Text(name) || !r.AtEnd() || name.empty()) return ERROR_INVALID_PARAMETER;
            name = Upper(name);
            auto it = ports_.find(name);
            if (static_cast<DevicesOp>(op) == DevicesOp::ReleasePort) {
                if (it == ports_.end() || it->second != client) return ERROR_NOT_OWNER;
                ports_.erase(it);
                return 0;
            }
            if (it != ports_.end()) return ERROR_ACCESS_DENIED;
            ports_[name] = client;
            return 0;
        }
        default:
            break;
    }
    // The rest name a node.
    std::wstring instanceId;
    if (!r.Text(instanceId)) return ERROR_INVALID_PARAMETER;
    switch (static_cast<DevicesOp>(op)) {
        case DevicesOp::SetEnabled: {
            std::uint8_t enable = 0, global = 0;
            if (!r.U8(enable) || !r.U8(global) || !r.AtEnd()) return ERROR_INVALID_PARAMETER;
            DeviceNode node;
            bool found = tree_.FindInstance(instanceId, &node) &&
                         tree_.SetEnabled(node.devInst, enable != 0, global != 0);
            reply.U8(found ? 1 : 0);
            return 0;
        }
        case DevicesOp::SetProblem: {
            std::uint32_t problem = 0;
            if (!r.U32(problem) || !r.AtEnd()) return ERROR_INVALID_PARAMETER;
            tree_.SetProblem(instanceId, problem);
            return 0;
        }
        case DevicesOp::Open: {
            if (!r.AtEnd()) return ERROR_INVALID_PARAMETER;
            DeviceNode node;
            if (!tree_.FindInstance(instanceId, &node) || !node.Started())
                return ERROR_FILE_NOT_FOUND;
            reply.U32(node.spec.model ? node.spec.model->Open(node.spec.instanceId) : 0);
            return 0;
        }
        case DevicesOp::IoControl:
            return OnIoControl(instanceId, r, reply);
        case DevicesOp::RequestEject: {
            if (!r.AtEnd()) return ERROR_INVALID_PARAMETER;
            DeviceNode node;
            if (!tree_.FindInstance(instanceId, &node)) return ERROR_FILE_NOT_FOUND;
            int vetoType = 0;
            std::wstring vetoName;
            DWORD result = CR_SUCCESS;
            if (node.spec.model)
                result = node.spec.model->RequestEject(node.spec.instanceId, &vetoType, &vetoName);
            else
                tree_.UnplugInstance(node.spec.instanceId);
            reply.U32(result).I32(vetoType).Text(vetoName);
            return 0;
        }
        default:
            return ERROR_INVALID_FUNCTION;
    }
}

}  // namespace sim::server
