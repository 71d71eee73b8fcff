#include "tovrick/tovrick.h"

#include <vector>

#include "machine/control/devices.h"
#include "machine/control/modules.h"

namespace tovrick {

namespace {

// The present CD-ROM nodes of the USB chip (their vendor field is "VARNIFFF4").
std::vector<std::wstring> ChipCdroms() {
    std::vector<std::wstring> nodes;
    for (const control::DeviceNodeInfo& node :
         control::DeviceNodes(L"USBSTOR\\CDROM&VEN_VARNIFFF4"))
        if (node.present) nodes.push_back(node.instanceId);
    return nodes;
}

BYTE SetState(bool enable) {
    std::vector<std::wstring> nodes = ChipCdroms();
    for (const std::wstring& node : nodes) control::SetDeviceEnabled(node, enable);
    return nodes.empty() ? 0 : 1;
}

control::ModuleExports Exports() {
    return {{"DetectNECDevice", reinterpret_cast<void*>(&DetectNECDevice)},
            {"EnableNECDevice", reinterpret_cast<void*>(&EnableNECDevice)},
            {"DisableNECDevice", reinterpret_cast<void*>(&DisableNECDevice)}};
}

}  // namespace

BYTE DetectNECDevice() {
    return ChipCdroms().empty() ? 0 : 1;
}
BYTE EnableNECDevice() {
    return SetState(true);
}
BYTE DisableNECDevice() {
    return SetState(false);
}

void Register() {
    control::RegisterModule(kFileName, Exports());
}

void Install(const std::wstring& folder) {
    control::InstallModule(folder, kFileName, Exports());
}

}  // namespace tovrick
