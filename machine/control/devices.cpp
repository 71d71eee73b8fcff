#include "machine/control/devices.h"

#include "machine/devices.h"
#include "machine/machine.h"

namespace control {

std::vector<DeviceNodeInfo> DeviceNodes(const std::wstring& instanceIdPrefix) {
    std::wstring prefix = sim::Upper(instanceIdPrefix);
    std::vector<DeviceNodeInfo> nodes;
    for (const sim::DeviceNode& node : sim::machine().devices().Nodes()) {
        if (sim::Upper(node.spec.instanceId).rfind(prefix, 0) != 0) continue;
        nodes.push_back(
            {node.spec.instanceId, node.present, !node.disabledGlobal && !node.disabledConfig});
    }
    return nodes;
}

bool SetDeviceEnabled(const std::wstring& instanceId, bool enable) {
    auto& devices = sim::machine().devices();
    sim::DeviceNode node;
    if (!devices.FindInstance(instanceId, &node)) return false;
    return devices.SetEnabled(node.devInst, enable, false);
}

}  // namespace control
