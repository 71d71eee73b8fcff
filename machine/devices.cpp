#include "machine/devices.h"

#include <algorithm>
#include <cstdio>

#include <cfgmgr32.h>
#include "machine/machine.h"

namespace sim {

DWORD DeviceModel::RequestEject(const std::wstring& instanceId, int* vetoType,
                                std::wstring* vetoName) {
    *vetoType = 0;
    machine().devices().UnplugInstance(instanceId);
    return CR_SUCCESS;
}

ULONG DeviceNode::EffectiveProblem() const {
    if (disabledGlobal || disabledConfig) return CM_PROB_DISABLED;
    return problem;
}

std::wstring GuidToString(const GUID& g) {
    wchar_t buf[40];
    std::swprintf(buf, 40, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2,
                  g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5],
                  g.Data4[6], g.Data4[7]);
    return buf;
}

std::wstring DeviceTree::MakeSymbolicLink(const std::wstring& instanceId, const GUID& classGuid) {
    std::wstring link = L"\\\\?\\" + Lower(instanceId);
    for (std::size_t i = 4; i < link.size(); ++i)
        if (link[i] == L'\\') link[i] = L'#';
    return link + L"#" + Lower(GuidToString(classGuid));
}

DeviceNode* DeviceTree::FindLocked(DWORD devInst) {
    for (auto& n : nodes_)
        if (n->devInst == devInst) return n.get();
    return nullptr;
}

DeviceNode* DeviceTree::FindInstanceLocked(const std::wstring& instanceId) {
    std::wstring want = Lower(instanceId);
    for (auto& n : nodes_)
        if (Lower(n->spec.instanceId) == want) return n.get();
    return nullptr;
}

std::vector<DeviceTree::Active> DeviceTree::ActiveLocked() const {
    std::vector<Active> out;
    for (const auto& n : nodes_) {
        if (!n->Started()) continue;
        for (const auto& i : n->spec.interfaces)
            out.push_back({i.classGuid, i.symbolicLink, n->spec.instanceId});
    }
    return out;
}

void DeviceTree::Change(const std::function<void()>& change) {
    ChangeQuietly(change)();
}

DeviceTree::Notice DeviceTree::ChangeQuietly(const std::function<void()>& change) {
    std::vector<Active> before, after;
    std::vector<std::function<void(const InterfaceEvent&)>> listeners;
    std::vector<std::function<void(std::size_t)>> nodeListeners;
    std::size_t nodesChanged = 0;
    {
        std::lock_guard<std::mutex> lk(mu_);
        before = ActiveLocked();
        std::map<DWORD, bool> present;
        for (const auto& n : nodes_) present[n->devInst] = n->present;
        change();
        after = ActiveLocked();
        for (const auto& n : nodes_) {
            auto was = present.find(n->devInst);
            if (n->present != (was != present.end() && was->second)) ++nodesChanged;
        }
        for (auto& [id, l] : listeners_) listeners.push_back(l);
        for (auto& [id, l] : nodeListeners_) nodeListeners.push_back(l);
    }
    auto contains = [](const std::vector<Active>& v, const Active& a) {
        return std::any_of(v.begin(), v.end(),
                           [&](const Active& b) { return b.link == a.link && b.guid == a.guid; });
    };
    std::vector<InterfaceEvent> events;
    for (const auto& a : before)
        if (!contains(after, a)) events.push_back({false, a.guid, a.link, a.instanceId});
    for (const auto& a : after)
        if (!contains(before, a)) events.push_back({true, a.guid, a.link, a.instanceId});
    return [nodesChanged, events = std::move(events), listeners = std::move(listeners),
            nodeListeners = std::move(nodeListeners)] {
        if (nodesChanged > 0)
            for (const auto& l : nodeListeners) l(nodesChanged);
        for (const auto& e : events)
            for (const auto& l : listeners) l(e);
    };
}

DeviceTreeRemote* DeviceTree::Remote() {
    std::lock_guard<std::mutex> lk(mu_);
    return remote_.get();
}

void DeviceTree::UseRemote(std::unique_ptr<DeviceTreeRemote> remote) {
    std::lock_guard<std::mutex> lk(mu_);
    remote_ = std::move(remote);
}

DeviceTree::Notice DeviceTree::Mirror(const std::vector<DeviceNode>& nodes) {
    return ChangeQuietly([&] {
        nodes_.clear();
        for (const DeviceNode& n : nodes) {
            nodes_.push_back(std::make_unique<DeviceNode>(n));
            nextDevInst_ = std::max(nextDevInst_, n.devInst + 1);
        }
    });
}

DWORD DeviceTree::Plug(const DeviceNodeSpec& specIn, DWORD parent) {
    DeviceNodeSpec spec = specIn;
    for (auto& i : spec.interfaces)
        if (i.symbolicLink.empty()) i.symbolicLink = MakeSymbolicLink(spec.instanceId, i.classGuid);
    DWORD result = 0;
    Change([&] {
        DeviceNode* n = FindInstanceLocked(spec.instanceId);
        if (!n) {
            nodes_.push_back(std::make_unique<DeviceNode>());
            n = nodes_.back().get();
            n->devInst = nextDevInst_++;
        }
        n->spec = spec;
        n->parent = parent;
        n->present = true;
        result = n->devInst;
    });
    return result;
}

void DeviceTree::UnplugLocked(DWORD devInst) {
    DeviceNode* n = FindLocked(devInst);
    if (!n) return;
    n->present = false;
    for (auto& c : nodes_)
        if (c->parent == devInst && c->present) UnplugLocked(c->devInst);
}

void DeviceTree::Unplug(DWORD devInst) {
    Change([&] { UnplugLocked(devInst); });
}

void DeviceTree::UnplugInstance(const std::wstring& instanceId) {
    Change([&] {
        if (DeviceNode* n = FindInstanceLocked(instanceId)) UnplugLocked(n->devInst);
    });
}

void DeviceTree::SetProblem(const std::wstring& instanceId, ULONG problem) {
    if (DeviceTreeRemote* remote = Remote()) return remote->SetProblem(instanceId, problem);
    Change([&] {
        if (DeviceNode* n = FindInstanceLocked(instanceId)) n->problem = problem;
    });
}

bool DeviceTree::SetEnabled(DWORD devInst, bool enable, bool global) {
    if (DeviceTreeRemote* remote = Remote()) {
        DeviceNode node;
        return Find(devInst, &node) && remote->SetEnabled(node.spec.instanceId, enable, global);
    }
    bool found = false;
    Change([&] {
        DeviceNode* n = FindLocked(devInst);
        if (!n) return;
        found = true;
        (global ? n->disabledGlobal : n->disabledConfig) = !enable;
    });
    return found;
}

std::vector<DeviceNode> DeviceTree::Nodes() {
    std::lock_guard<std::mutex> lk(mu_);
    std::vector<DeviceNode> out;
    for (const auto& n : nodes_) out.push_back(*n);
    return out;
}

bool DeviceTree::Find(DWORD devInst, DeviceNode* out) {
    std::lock_guard<std::mutex> lk(mu_);
    DeviceNode* n = FindLocked(devInst);
    if (n && out) *out = *n;
    return n != nullptr;
}

bool DeviceTree::FindInstance(const std::wstring& instanceId, DeviceNode* out) {
    std::lock_guard<std::mutex> lk(mu_);
    DeviceNode* n = FindInstanceLocked(instanceId);
    if (n && out) *out = *n;
    return n != nullptr;
}

bool DeviceTree::FindInterface(const std::wstring& symbolicLink, DeviceNode* node,
                               GUID* classGuid) {
    std::lock_guard<std::mutex> lk(mu_);
    std::wstring want = Lower(symbolicLink);
    for (const auto& n : nodes_) {
        if (!n->Started()) continue;
        for (const auto& i : n->spec.interfaces) {
            if (Lower(i.symbolicLink) != want) continue;
            if (node) *node = *n;
            if (classGuid) *classGuid = i.classGuid;
            return true;
        }
    }
    return false;
}

std::vector<std::wstring> DeviceTree::ActiveInterfaces(const GUID& classGuid) {
    std::lock_guard<std::mutex> lk(mu_);
    std::vector<std::wstring> out;
    for (const auto& a : ActiveLocked())
        if (a.guid == classGuid) out.push_back(a.link);
    return out;
}

int DeviceTree::AddListener(std::function<void(const InterfaceEvent&)> listener) {
    std::lock_guard<std::mutex> lk(mu_);
    int id = nextListener_++;
    listeners_[id] = std::move(listener);
    return id;
}

int DeviceTree::AddNodeListener(std::function<void(std::size_t)> listener) {
    std::lock_guard<std::mutex> lk(mu_);
    int id = nextListener_++;
    nodeListeners_[id] = std::move(listener);
    return id;
}

void DeviceTree::RemoveListener(int id) {
    std::lock_guard<std::mutex> lk(mu_);
    listeners_.erase(id);
    nodeListeners_.erase(id);
}

}  // namespace sim
