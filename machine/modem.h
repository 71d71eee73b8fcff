// The simulated USB modem. Plugged in, it first shows a USB device with a USB storage CD-ROM
// (disk mode). The vendor mode-switch command (SCSI operation 0x9F) sent to that CD-ROM makes it
// leave and, after a delay on the machine clock, come back as a composite device with a modem
// function and serial ports (modem mode). The "chip" variant instead comes up in modem mode at
// once beside a CD-ROM that its USB chip presents.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <cfgmgr32.h>
#include "machine/devices.h"

namespace sim {

enum class ModemVariant { Standard, UsbChip };

struct ModemOptions {
    WORD productId = 0xFFF1;
    ModemVariant variant = ModemVariant::Standard;
    std::wstring serial = L"5&2A4F3B1C&0&1";
    // The CD-ROM's vendor field: "QOB" for the standard variant.
    std::wstring cdromVendor = L"QOB";
    DWORD leaveDelayMs = 300;    // from the switch command until the disk-mode device is gone
    DWORD arriveDelayMs = 2500;  // from the switch command until modem mode is up
    int firstComPort = 3;        // the modem's port; the serial ports take the next numbers
    bool startInModemMode = false;
};

// Where a modem is plugged in: the device tree it shows its nodes on and the clock its delayed
// re-enumeration runs on. Left empty: the process's machine and its clock.
struct ModemHost {
    DeviceTree* tree = nullptr;
    // Runs fn once delayMs of machine time have passed.
    std::function<void(DWORD delayMs, std::function<void()> fn)> schedule;
};

class SimModem : public DeviceModel, public std::enable_shared_from_this<SimModem> {
public:
    // Plugs a modem into the process's machine.
    static std::shared_ptr<SimModem> Plug(const ModemOptions& options = ModemOptions());
    // Plugs a modem in elsewhere (the machine server's tree).
    static std::shared_ptr<SimModem> PlugInto(const ModemHost& host,
                                              const ModemOptions& options = ModemOptions());

    void Unplug();
    // Plugs the same device in again (in disk mode, or modem mode for the chip variant).
    void Replug();
    // Switches at once, as if the command had been answered and the delay had passed.
    void EnterModemMode();
    bool InModemMode() const;

    // ---- Test controls ----
    // (A failing open of its CD-ROM is injected on the machine: DeviceOp::Open with
    // CdromInterfacePath(), machine/faults.h.)
    void RejectSwitch(bool reject);
    // The next `times` eject requests are vetoed (-1: every one).
    void VetoEject(int times, int vetoType = PNP_VetoOutstandingOpen,
                   const std::wstring& vetoName = L"");

    // ---- What the device saw ----
    struct PassThrough {
        std::vector<BYTE> header;  // the request's input bytes
        DWORD inSize;
        DWORD outSize;
        std::vector<BYTE> cdb;  // CdbLength bytes of the command block
    };
    std::vector<PassThrough> Requests() const;
    // Forgets the requests seen so far, so that a long run (a fuzzer's) keeps its memory flat.
    void ClearRequests();
    int EjectRequests() const;
    int SwitchCount() const;

    // ---- Instance IDs and paths ----
    std::wstring UsbInstanceId() const;
    std::wstring CdromInstanceId() const;
    std::wstring ChipUsbInstanceId() const;
    std::wstring ChipCdromInstanceId() const;
    std::wstring ModemInstanceId() const;
    std::wstring PortInstanceId(int index) const;  // 0: port A, 1: port B
    std::wstring CdromInterfacePath() const;
    const ModemOptions& options() const { return options_; }

    // DeviceModel
    BOOL IoControl(const std::wstring& instanceId, DWORD code, const void* in, DWORD inSize,
                   void* out, DWORD outSize, DWORD* returned, DWORD* error) override;
    DWORD RequestEject(const std::wstring& instanceId, int* vetoType,
                       std::wstring* vetoName) override;

    explicit SimModem(const ModemOptions& options) : options_(options) {}

private:
    void PlugDiskMode();
    void PlugModemMode();
    void PlugChip();
    void UnplugAll();
    std::wstring Pid() const;
    DeviceTree& Tree() const;
    void After(DWORD delayMs, std::function<void()> fn);

    ModemOptions options_;
    ModemHost host_;
    mutable std::mutex mu_;
    bool modemMode_ = false;
    bool switching_ = false;
    bool rejectSwitch_ = false;
    int vetoRemaining_ = 0;
    int vetoType_ = PNP_VetoOutstandingOpen;
    std::wstring vetoName_;
    std::vector<PassThrough> requests_;
    int ejectRequests_ = 0;
    int switches_ = 0;
    std::uint64_t generation_ = 0;  // bumped by unplugging; pending re-enumerations check it
};

}  // namespace sim
