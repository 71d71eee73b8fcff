#include "outside/tovrick/tovrick.h"

#include <vector>

#include "platform/sim/devices.h"
#include "platform/sim/machine.h"

namespace tovrick {

namespace {

// The present CD-ROM nodes of the USB chip (their vendor field is "VARNIFFF4").
std::vector<DWORD> ChipCdroms() {
    std::vector<DWORD> nodes;
    for (const sim::DeviceNode& node : sim::machine().devices().Nodes()) {
        std::wstring id = sim::Upper(node.spec.instanceId);
        if (node.present && id.rfind(L"USBSTOR\\CDROM&VEN_VARNIFFF4", 0) == 0)
            nodes.push_back(node.devInst);
    }
    return nodes;
}

BYTE SetState(bool enable) {
    std::vector<DWORD> nodes = ChipCdroms();
    for (DWORD node : nodes) sim::machine().devices().SetEnabled(node, enable, false);
    return nodes.empty() ? 0 : 1;
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
    sim::ModuleDef def;
    def.name = kFileName;
    def.exports["DetectNECDevice"] = reinterpret_cast<void*>(&DetectNECDevice);
    def.exports["EnableNECDevice"] = reinterpret_cast<void*>(&EnableNECDevice);
    def.exports["DisableNECDevice"] = reinterpret_cast<void*>(&DisableNECDevice);
    sim::machine().RegisterModule(def);
}

void Install(const std::wstring& folder) {
    Register();
    sim::machine().WriteFile(folder + kFileName, "MZ");
}

}  // namespace tovrick
