#include "machine/modem.h"

#include <cstdio>
#include <cstring>

#include <cfgmgr32.h>
#include <devguid.h>
#include <ntddscsi.h>
#include "machine/machine.h"
#include "machine/waits.h"

namespace sim {

namespace {
constexpr BYTE kSwitchOpcode = 0x9F;
}

std::shared_ptr<SimModem> SimModem::Plug(const ModemOptions& options) {
    return PlugInto(ModemHost(), options);
}

std::shared_ptr<SimModem> SimModem::PlugInto(const ModemHost& host, const ModemOptions& options) {
    auto modem = std::make_shared<SimModem>(options);
    modem->host_ = host;
    modem->Replug();
    return modem;
}

DeviceTree& SimModem::Tree() const {
    return host_.tree ? *host_.tree : machine().devices();
}

void SimModem::After(DWORD delayMs, std::function<void()> fn) {
    if (host_.schedule) return host_.schedule(delayMs, std::move(fn));
    auto& kernel = Kernel::Get();
    kernel.Schedule(kernel.Now() + delayMs, std::move(fn));
}

std::wstring SimModem::Pid() const {
    wchar_t buf[8];
    std::swprintf(buf, 8, L"%04X", options_.productId);
    return buf;
}

std::wstring SimModem::UsbInstanceId() const {
    return L"USB\\VID_3A5C&PID_" + Pid() + L"\\" + options_.serial;
}
std::wstring SimModem::CdromInstanceId() const {
    return L"USBSTOR\\CDROM&VEN_" + options_.cdromVendor + L"&PROD_CDMA_MODEM&REV_2.31\\" +
           L"7&1C2D3E4F&0&" + options_.serial.substr(options_.serial.rfind(L'&') + 1) + L"&0";
}
std::wstring SimModem::ChipUsbInstanceId() const {
    return L"USB\\VID_3A5C&PID_FFF4\\6&3B1A0C2D&0&2";
}
std::wstring SimModem::ChipCdromInstanceId() const {
    return L"USBSTOR\\CDROM&VEN_VARNIFFF4&PROD_USB_CHIP&REV_1.00\\7&2B3C4D5E&0&2&0";
}
std::wstring SimModem::ModemInstanceId() const {
    return L"USB\\VID_3A5C&PID_" + Pid() + L"&MI_00\\6&1A2B3C4D&0&0000";
}
std::wstring SimModem::PortInstanceId(int index) const {
    return L"USB\\VID_3A5C&PID_" + Pid() + L"&MI_0" + std::to_wstring(index + 1) +
           L"\\6&1A2B3C4D&0&000" + std::to_wstring(index + 1);
}
std::wstring SimModem::CdromInterfacePath() const {
    return DeviceTree::MakeSymbolicLink(CdromInstanceId(), GUID_DEVINTERFACE_CDROM);
}

namespace {

// A function or device node of the modem, with the fields every one of them has.
DeviceNodeSpec NodeSpec(const std::wstring& instanceId, std::vector<std::wstring> hardwareIds,
                        const GUID& setupClass, const std::wstring& className,
                        const std::wstring& description, const std::wstring& service,
                        const std::wstring& pdo, std::shared_ptr<DeviceModel> model) {
    DeviceNodeSpec n;
    n.instanceId = instanceId;
    n.hardwareIds = std::move(hardwareIds);
    n.classGuid = setupClass;
    n.className = className;
    n.description = description;
    n.service = service;
    n.physicalObjectName = pdo;
    n.model = std::move(model);
    return n;
}

DeviceNodeSpec UsbSpec(const std::wstring& instanceId, const std::wstring& hardwareId,
                       const std::wstring& revision, const std::wstring& description,
                       const std::wstring& service, const std::wstring& pdo,
                       std::shared_ptr<DeviceModel> model) {
    return NodeSpec(instanceId, {hardwareId + L"&REV_" + revision, hardwareId}, GUID_DEVCLASS_USB,
                    L"USB", description, service, pdo, std::move(model));
}

DeviceNodeSpec CdromSpec(const std::wstring& instanceId, std::vector<std::wstring> hardwareIds,
                         const std::wstring& friendlyName, const std::wstring& pdo,
                         std::shared_ptr<DeviceModel> model) {
    hardwareIds.insert(hardwareIds.end(), {L"USBSTOR\\CdRom", L"GenCdRom"});
    DeviceNodeSpec cd = NodeSpec(instanceId, std::move(hardwareIds), GUID_DEVCLASS_CDROM, L"CDROM",
                                 L"CD-ROM Drive", L"cdrom", pdo, std::move(model));
    cd.friendlyName = friendlyName;
    cd.interfaces = {{GUID_DEVINTERFACE_CDROM, L""}};
    return cd;
}

}  // namespace

void SimModem::PlugDiskMode() {
    auto& tree = Tree();
    const std::wstring usbId = L"USB\\VID_3A5C&PID_" + Pid();
    DeviceNodeSpec usb = UsbSpec(UsbInstanceId(), usbId, L"0000", L"USB Mass Storage Device",
                                 L"USBSTOR", L"\\Device\\USBPDO-7", shared_from_this());
    usb.compatibleIds = {L"USB\\Class_08&SubClass_06&Prot_50", L"USB\\Class_08"};
    DWORD parent = tree.Plug(usb);

    const std::wstring product = L"USBSTOR\\CdRom" + options_.cdromVendor + L"CDMA_MODEM";
    tree.Plug(CdromSpec(CdromInstanceId(), {product + L"2.31", product},
                        options_.cdromVendor + L" CDMA_MODEM USB Device", L"\\Device\\00000071",
                        shared_from_this()),
              parent);
}

void SimModem::PlugModemMode() {
    auto& tree = Tree();
    const std::wstring usbId = L"USB\\VID_3A5C&PID_" + Pid();
    DeviceNodeSpec usb = UsbSpec(UsbInstanceId(), usbId, L"0000", L"USB Composite Device",
                                 L"usbccgp", L"\\Device\\USBPDO-8", shared_from_this());
    usb.compatibleIds = {L"USB\\DevClass_00&SubClass_00&Prot_00", L"USB\\COMPOSITE"};
    DWORD parent = tree.Plug(usb);

    // The composite device's functions: interface 0 the modem, 1 and 2 the serial ports.
    auto function = [&](int index, const std::wstring& instanceId, const GUID& setupClass,
                        const std::wstring& className, const std::wstring& description) {
        std::wstring mi = L"&MI_0" + std::to_wstring(index);
        return NodeSpec(instanceId, {usbId + L"&REV_0000" + mi, usbId + mi}, setupClass, className,
                        description, L"usbser", L"\\Device\\USBPDO-" + std::to_wstring(9 + index),
                        shared_from_this());
    };
    int com = options_.firstComPort;
    DeviceNodeSpec modem =
        function(0, ModemInstanceId(), GUID_DEVCLASS_MODEM, L"Modem", L"CDMA USB Modem");
    modem.compatibleIds = {L"USB\\Class_02&SubClass_02&Prot_01", L"USB\\Class_02"};
    modem.friendlyName = L"CDMA USB Modem";
    modem.interfaces = {{GUID_DEVINTERFACE_MODEM, L""}};
    modem.driverKey = {{L"AttachedTo", L"COM" + std::to_wstring(com)},
                       {L"FriendlyName", L"CDMA USB Modem"}};
    modem.deviceKey = {{L"PortName", L"COM" + std::to_wstring(com)}};
    tree.Plug(modem, parent);

    const wchar_t* names[] = {L"CDMA USB Diagnostics Port", L"CDMA USB Status Port"};
    for (int i = 0; i < 2; ++i) {
        std::wstring port = L"COM" + std::to_wstring(com + 1 + i);
        DeviceNodeSpec p =
            function(i + 1, PortInstanceId(i), GUID_DEVCLASS_PORTS, L"Ports", names[i]);
        p.friendlyName = std::wstring(names[i]) + L" (" + port + L")";
        p.interfaces = {{GUID_DEVINTERFACE_COMPORT, L""}};
        p.deviceKey = {{L"PortName", port}};
        p.driverKey = {{L"MatchingDeviceId", p.hardwareIds[1]}};
        tree.Plug(p, parent);
    }
}

void SimModem::PlugChip() {
    auto& tree = Tree();
    DWORD parent =
        tree.Plug(UsbSpec(ChipUsbInstanceId(), L"USB\\VID_3A5C&PID_FFF4", L"0100",
                          L"USB Mass Storage Device", L"USBSTOR", L"", shared_from_this()));
    tree.Plug(CdromSpec(ChipCdromInstanceId(), {L"USBSTOR\\CdRomVARNIFFF4USB_CHIP1.00"},
                        L"VARNIFFF4 USB_CHIP USB Device", L"", shared_from_this()),
              parent);
}

void SimModem::UnplugAll() {
    auto& tree = Tree();
    tree.UnplugInstance(UsbInstanceId());
    if (options_.variant == ModemVariant::UsbChip) tree.UnplugInstance(ChipUsbInstanceId());
}

void SimModem::Replug() {
    {
        std::lock_guard<std::mutex> lk(mu_);
        ++generation_;
        switching_ = false;
        modemMode_ = options_.variant == ModemVariant::UsbChip || options_.startInModemMode;
    }
    if (options_.variant == ModemVariant::UsbChip) {
        PlugModemMode();
        PlugChip();
    } else if (options_.startInModemMode) {
        PlugModemMode();
    } else {
        PlugDiskMode();
    }
}

void SimModem::Unplug() {
    {
        std::lock_guard<std::mutex> lk(mu_);
        ++generation_;
        switching_ = false;
    }
    UnplugAll();
}

void SimModem::EnterModemMode() {
    {
        std::lock_guard<std::mutex> lk(mu_);
        ++generation_;
        switching_ = false;
        modemMode_ = true;
    }
    Tree().UnplugInstance(UsbInstanceId());
    PlugModemMode();
}

bool SimModem::InModemMode() const {
    std::lock_guard<std::mutex> lk(mu_);
    return modemMode_;
}

void SimModem::RejectSwitch(bool reject) {
    std::lock_guard<std::mutex> lk(mu_);
    rejectSwitch_ = reject;
}

void SimModem::VetoEject(int times, int vetoType, const std::wstring& vetoName) {
    std::lock_guard<std::mutex> lk(mu_);
    vetoRemaining_ = times;
    vetoType_ = vetoType;
    vetoName_ = vetoName.empty() ? CdromInstanceId() : vetoName;
}

std::vector<SimModem::PassThrough> SimModem::Requests() const {
    std::lock_guard<std::mutex> lk(mu_);
    return requests_;
}

void SimModem::ClearRequests() {
    std::lock_guard<std::mutex> lk(mu_);
    requests_.clear();
}

int SimModem::EjectRequests() const {
    std::lock_guard<std::mutex> lk(mu_);
    return ejectRequests_;
}

int SimModem::SwitchCount() const {
    std::lock_guard<std::mutex> lk(mu_);
    return switches_;
}

BOOL SimModem::IoControl(const std::wstring& instanceId, DWORD code, const void* in, DWORD inSize,
                         void* out, DWORD outSize, DWORD* returned, DWORD* error) {
    *returned = 0;
    if (code != IOCTL_SCSI_PASS_THROUGH) {
        *error = ERROR_INVALID_FUNCTION;
        return FALSE;
    }
    if (in == nullptr || inSize < sizeof(SCSI_PASS_THROUGH)) {
        *error = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    SCSI_PASS_THROUGH spt;
    std::memcpy(&spt, in, sizeof spt);
    if (spt.Length != sizeof(SCSI_PASS_THROUGH) || spt.CdbLength == 0 || spt.CdbLength > 16 ||
        (spt.DataTransferLength > 0 &&
         (out == nullptr ||
          static_cast<std::uint64_t>(spt.DataBufferOffset) + spt.DataTransferLength > outSize))) {
        *error = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    PassThrough record;
    record.header.assign(static_cast<const BYTE*>(in), static_cast<const BYTE*>(in) + inSize);
    record.inSize = inSize;
    record.outSize = outSize;
    record.cdb.assign(spt.Cdb, spt.Cdb + spt.CdbLength);

    bool startSwitch = false;
    std::uint64_t gen = 0;
    {
        std::lock_guard<std::mutex> lk(mu_);
        requests_.push_back(record);
        if (instanceId == CdromInstanceId() && spt.Cdb[0] == kSwitchOpcode && !rejectSwitch_ &&
            !modemMode_ && !switching_) {
            switching_ = true;
            ++switches_;
            startSwitch = true;
            gen = generation_;
        }
    }
    // The device answers with a good status and no data.
    if (out != nullptr && outSize >= sizeof(SCSI_PASS_THROUGH)) {
        auto* reply = static_cast<SCSI_PASS_THROUGH*>(out);
        reply->ScsiStatus = 0;
        *returned = outSize;
    }
    if (startSwitch) {
        std::weak_ptr<SimModem> weak = shared_from_this();
        After(options_.leaveDelayMs, [weak, gen] {
            auto self = weak.lock();
            if (!self) return;
            {
                std::lock_guard<std::mutex> lk(self->mu_);
                if (self->generation_ != gen) return;
            }
            self->Tree().UnplugInstance(self->UsbInstanceId());
        });
        After(options_.arriveDelayMs, [weak, gen] {
            auto self = weak.lock();
            if (!self) return;
            {
                std::lock_guard<std::mutex> lk(self->mu_);
                if (self->generation_ != gen) return;
                self->switching_ = false;
                self->modemMode_ = true;
            }
            self->PlugModemMode();
        });
    }
    return TRUE;
}

DWORD SimModem::RequestEject(const std::wstring& instanceId, int* vetoType,
                             std::wstring* vetoName) {
    {
        std::lock_guard<std::mutex> lk(mu_);
        ++ejectRequests_;
        if (vetoRemaining_ != 0) {
            if (vetoRemaining_ > 0) --vetoRemaining_;
            *vetoType = vetoType_;
            *vetoName = vetoName_;
            return CR_REMOVE_VETOED;
        }
        ++generation_;
        switching_ = false;
    }
    *vetoType = 0;
    UnplugAll();
    return CR_SUCCESS;
}

}  // namespace sim
