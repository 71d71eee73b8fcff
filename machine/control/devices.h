// The machine's control API for devices: what the outside stand-ins see of the device tree and
// change on it, by instance ID.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace control {

struct DeviceNodeInfo {
    std::wstring instanceId;
    bool present = false;
    bool enabled = true;  // disabled neither everywhere nor in the current hardware profile
};

// The machine's device nodes whose instance ID starts with the prefix (case ignored), present or
// not, in the order they were first added.
std::vector<DeviceNodeInfo> DeviceNodes(const std::wstring& instanceIdPrefix);
// Enables or disables the node in the current hardware profile, as a class installer's property
// change does; the state stays while the device is unplugged. False when no node has the ID.
bool SetDeviceEnabled(const std::wstring& instanceId, bool enable);

// The device side of a COM port ("COM4"), for a stand-in that plays the device behind it: what
// the port's opener writes goes to the sink, on the writer's thread (an empty sink detaches);
// SerialDeviceSend puts bytes where the opener's reads find them, and is false (the bytes
// dropped) while nobody has the port open.
using SerialDeviceSink = std::function<void(const std::uint8_t* data, std::size_t n)>;
void SetSerialDeviceSink(const std::wstring& portName, SerialDeviceSink sink);
bool SerialDeviceSend(const std::wstring& portName, const std::uint8_t* data, std::size_t n);

}  // namespace control
