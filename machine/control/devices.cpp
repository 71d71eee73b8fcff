#include "machine/control/devices.h"

#include "machine/devices.h"
#include "machine/machine.h"
#include "machine/serial.h"

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

void SetSerialDeviceSink(const std::wstring& portName, SerialDeviceSink sink) {
    sim::machine().serialPorts().Port(portName)->SetDeviceSink(std::move(sink));
}

bool SerialDeviceSend(const std::wstring& portName, const std::uint8_t* data, std::size_t n) {
    return sim::machine().serialPorts().Port(portName)->DeviceSend(data, n);
}

}  // namespace control
