// The machine's device tree: device nodes with their IDs, setup class, properties, parent,
// present flag, problem, disabled state (which persists while the device is unplugged) and
// device interfaces. Device models (the simulated hardware) attach to nodes and answer opens,
// I/O control requests and eject requests.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <windef.h>

namespace sim {

struct DeviceNode;

// Behaviour of a piece of simulated hardware behind one or more nodes. Called without the tree's
// lock held.
class DeviceModel {
public:
    virtual ~DeviceModel() = default;
    // An open of one of the node's interfaces: 0 to allow it, else the error CreateFileW reports.
    virtual DWORD Open(const std::wstring& instanceId) { return 0; }
    // DeviceIoControl on an open handle. Returns FALSE with the error in *error on failure.
    virtual BOOL IoControl(const std::wstring& instanceId, DWORD code, const void* in, DWORD inSize,
                           void* out, DWORD outSize, DWORD* returned, DWORD* error) {
        *error = ERROR_INVALID_FUNCTION;
        return FALSE;
    }
    // An eject request for the node. Returns the configuration manager's result; a veto sets
    // the veto type and name. The default ejects: the node and its children leave.
    virtual DWORD RequestEject(const std::wstring& instanceId, int* vetoType,
                               std::wstring* vetoName);
};

struct DeviceInterfaceDef {
    GUID classGuid;
    std::wstring symbolicLink;  // made from the instance ID and the class when left empty
};

struct DeviceNodeSpec {
    std::wstring instanceId;
    std::vector<std::wstring> hardwareIds;
    std::vector<std::wstring> compatibleIds;
    GUID classGuid{};
    std::wstring className;
    std::wstring description;
    std::wstring friendlyName;
    std::wstring physicalObjectName;
    std::wstring manufacturer;
    std::wstring service;
    std::vector<DeviceInterfaceDef> interfaces;
    // Values of the node's hardware ("device") key and software ("driver") key.
    std::map<std::wstring, std::wstring> deviceKey;
    std::map<std::wstring, std::wstring> driverKey;
    std::shared_ptr<DeviceModel> model;
};

struct DeviceNode {
    DWORD devInst = 0;
    DWORD parent = 0;  // 0: the root
    DeviceNodeSpec spec;
    bool present = false;
    bool disabledGlobal = false;
    bool disabledConfig = false;
    ULONG problem = 0;  // a problem a test gave the node (0: none)

    // CM_PROB_DISABLED when disabled; else the given problem.
    ULONG EffectiveProblem() const;
    bool Started() const { return present && EffectiveProblem() == 0; }
};

// One interface arrival or removal, as device notifications report it.
struct InterfaceEvent {
    bool arrival;
    GUID classGuid;
    std::wstring symbolicLink;
    std::wstring instanceId;
};

// Where a program on a machine server sends its changes of the tree: the server's tree is the
// machine's, and this process's tree mirrors it (DeviceTree::Mirror).
class DeviceTreeRemote {
public:
    virtual ~DeviceTreeRemote() = default;
    virtual bool SetEnabled(const std::wstring& instanceId, bool enable, bool global) = 0;
    virtual void SetProblem(const std::wstring& instanceId, ULONG problem) = 0;
};

class DeviceTree {
public:
    // The listeners' part of a change, kept to run later (see Mirror).
    using Notice = std::function<void()>;

    // Adds the node, or, when a node with that instance ID exists (case ignored), updates its
    // description and makes it present again with its disabled state kept. Returns the node.
    DWORD Plug(const DeviceNodeSpec& spec, DWORD parent = 0);
    // Marks the node and every node below it not present.
    void Unplug(DWORD devInst);
    void UnplugInstance(const std::wstring& instanceId);

    // Test control: give a node a problem (0 clears it).
    void SetProblem(const std::wstring& instanceId, ULONG problem);
    // Class-installer property change on one node.
    bool SetEnabled(DWORD devInst, bool enable, bool global);

    // Snapshots, in the order the nodes were first added.
    std::vector<DeviceNode> Nodes();
    bool Find(DWORD devInst, DeviceNode* out);
    bool FindInstance(const std::wstring& instanceId, DeviceNode* out);
    // Finds the node whose active interface has this symbolic link (case ignored).
    bool FindInterface(const std::wstring& symbolicLink, DeviceNode* node, GUID* classGuid);
    std::vector<std::wstring> ActiveInterfaces(const GUID& classGuid);

    // Listeners hear interface arrivals and removals after the tree changed, outside its lock.
    int AddListener(std::function<void(const InterfaceEvent&)> listener);
    // Node listeners hear, before the interface events of the same change, how many nodes came
    // or went (became present or not present) in it, when any did.
    int AddNodeListener(std::function<void(std::size_t changed)> listener);
    // Removes a listener of either kind.
    void RemoveListener(int id);

    // From here on the tree mirrors a machine server's: SetEnabled and SetProblem go to the
    // server (which sends the new tree back), and Mirror takes the server's nodes.
    void UseRemote(std::unique_ptr<DeviceTreeRemote> remote);
    // Makes the tree hold exactly these nodes (the server's, devInst numbers kept). The listeners
    // are not called here: the returned notice calls them with what changed, when it is run.
    Notice Mirror(const std::vector<DeviceNode>& nodes);

    static std::wstring MakeSymbolicLink(const std::wstring& instanceId, const GUID& classGuid);

private:
    struct Active {
        GUID guid;
        std::wstring link;
        std::wstring instanceId;
    };
    std::vector<Active> ActiveLocked() const;
    DeviceNode* FindLocked(DWORD devInst);
    DeviceNode* FindInstanceLocked(const std::wstring& instanceId);
    void UnplugLocked(DWORD devInst);
    // Runs a change and reports the interfaces it brought and took away.
    void Change(const std::function<void()>& change);
    // Runs a change under the lock; the notice reports it.
    Notice ChangeQuietly(const std::function<void()>& change);
    DeviceTreeRemote* Remote();

    std::mutex mu_;
    std::vector<std::unique_ptr<DeviceNode>> nodes_;
    DWORD nextDevInst_ = 1;
    std::map<int, std::function<void(const InterfaceEvent&)>> listeners_;
    std::map<int, std::function<void(std::size_t)>> nodeListeners_;
    int nextListener_ = 1;
    std::unique_ptr<DeviceTreeRemote> remote_;
};

std::wstring GuidToString(const GUID& g);  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"

}  // namespace sim
