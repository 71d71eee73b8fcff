// The device requests of the machine server's wire (wire::Kind::Devices) and the device tree as
// the server sends it (wire::Kind::DeviceTree and the Tree answer).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "machine/devices.h"
#include "machine/modem.h"
#include "machine/wire.h"

namespace sim::wire {

// A Devices request is a u16 operation and its fields; what each answers follows the status.
enum class DevicesOp : std::uint16_t {
    Tree = 1,          // answer: the tree
    SetEnabled = 2,    // text instance ID, u8 enable, u8 global; answer: u8 found
    SetProblem = 3,    // text instance ID, u32 problem
    Open = 4,          // text instance ID; answer: u32 error (0: allowed)
    IoControl = 5,     // text instance ID, u32 code, u8 has input, bytes input, u8 has output,
                       // bytes output (as the caller's buffer holds them); answer: u8 done,
                       // u32 error, u32 bytes returned, bytes output
    RequestEject = 6,  // text instance ID; answer: u32 result, i32 veto type, text veto name
    AcquirePort = 7,   // text port name; status 0, or ERROR_ACCESS_DENIED while another client
                       // has it open
    ReleasePort = 8,   // text port name
    PlugModem = 9,     // modem options; answer: u32 modem
    UnplugModem = 10,  // u32 modem
    ReplugModem = 11,  // u32 modem
    ModemState = 12,   // u32 modem; answer: u8 modem mode, u32 switches, u32 eject requests,
                       // u32 pass-through requests
};

// The largest I/O control buffer a request carries each way.
inline constexpr std::uint32_t kMaxIoBuffer = 64 * 1024;

// The tree: u32 count, then per node: u32 devInst, u32 parent, u8 present, u8 disabled
// everywhere, u8 disabled in this profile, u32 problem, u8 has a model, text instance ID, the
// hardware IDs and compatible IDs (u32 count, texts), class GUID, texts class name, description,
// friendly name, physical object name, manufacturer, service, interfaces (u32 count, GUID and
// symbolic link each), device key and driver key (u32 count, name and text each).
void WriteNodes(Writer& w, const std::vector<DeviceNode>& nodes);
// Reads the tree; the nodes that had a model on the server get `model`.
bool ReadNodes(Reader& r, std::vector<DeviceNode>& nodes,
               const std::shared_ptr<DeviceModel>& model);

// u16 product ID, u8 variant (0 standard, 1 USB chip), text serial, text CD-ROM vendor,
// u32 leave delay, u32 arrive delay, i32 first COM port, u8 starts in modem mode.
void WriteModemOptions(Writer& w, const ModemOptions& options);
bool ReadModemOptions(Reader& r, ModemOptions& options);

}  // namespace sim::wire
