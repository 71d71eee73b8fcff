// The modem as the application sees it: found among the system's modems by the hardware IDs that
// the modem driver's .inf file lists, with its serial ports found by the serial driver's .inf.
// CDeviceStatus is the process-wide entry point; it holds the hardware object, which also offers
// device restart, the switch out of CD-ROM mode, a health test, the "InstallNECDriver" flag and
// the calls into the USB chip's library.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

struct DeviceItem {
    std::wstring FriendlyName;  // for a port: its port name ("COM5")
    std::wstring Port;          // the modem's "AttachedTo" port; empty for a port
    std::wstring HardwareId;    // the first hardware ID
    std::wstring InstanceId;
};

// The hardware object's operations. Items are handed out as copies: the user-interface thread
// refreshes them while the dial thread reads them.
class IEVDOHardware {
public:
    // The modem; enumerated first when no modem is known yet.
    virtual DeviceItem GetModemInfo() = 0;
    virtual std::wstring GetModemPort() = 0;
    // The serial ports; enumerated first when port A is not known yet.
    virtual DeviceItem GetPortAInfo() = 0;
    virtual DeviceItem GetPortBInfo() = 0;
    // Enumerate afresh, then disable and enable the device again.
    virtual bool RestartModem() = 0;
    virtual bool RestartPortA() = 0;
    virtual bool RestartPortB() = 0;
    // Enumerates the modems afresh; true when one of the .inf's modems is there.
    virtual bool IsModemPresent() = 0;
    // False, with the node's problem number, when a present device of either .inf file has a
    // problem.
    virtual bool AreDevicesStarted(int* problem) = 0;
    // Sends the mode-switch command to the modem's CD-ROM and waits up to 30 s for modem mode.
    virtual bool SwitchToModemMode() = 0;
    virtual bool SetDeviceState(const std::wstring& instanceId, bool enable) = 0;
    virtual void SetInstallNECDriverFlag() = 0;
    virtual void ClearInstallNECDriverFlag() = 0;
    // The USB chip's library ("Tovrick.dll"); false when it or the entry point is missing.
    virtual bool DetectNECDevice() = 0;
    virtual bool EnableNECDevice() = 0;
    virtual bool DisableNECDevice() = 0;

protected:
    virtual ~IEVDOHardware() = default;
};

// What one .inf file says about its devices.
struct InfModel {
    std::wstring Description;
    std::wstring InstallSection;
    std::vector<std::wstring> HardwareIds;  // lower-cased
    std::vector<std::wstring> Files;
};
struct InfManufacturer {
    std::wstring Name;           // lower-cased
    std::wstring ModelsSection;  // lower-cased
    std::vector<InfModel> Models;
};

class CInfModelList {
public:
    // Reads the file; one that cannot be opened leaves the list empty.
    explicit CInfModelList(const std::wstring& path);
    // True when a hardware ID of a model contains the ID or the ID contains it (case ignored).
    // An empty ID, or an empty hardware ID in the file, matches nothing.
    bool Contains(const std::wstring& id) const;

    const std::wstring& ClassName() const { return m_className; }
    const GUID& ClassGuid() const { return m_classGuid; }
    const std::vector<InfManufacturer>& Manufacturers() const { return m_manufacturers; }

private:
    std::wstring m_className;  // lower-cased
    GUID m_classGuid{};
    std::vector<InfManufacturer> m_manufacturers;
};

// Lists device items of one kind.
class CDeviceEnumer {
public:
    virtual ~CDeviceEnumer() = default;
    virtual void Enumerate() = 0;
    // Appends the item only when its first string, HardwareId and InstanceId are all set.
    void Add(const DeviceItem& item);
    const std::vector<DeviceItem>& Items() const { return m_items; }

protected:
    std::vector<DeviceItem> m_items;
};

// The present modems, with their friendly names and "AttachedTo" ports.
class CModemEnumer : public CDeviceEnumer {
public:
    void Enumerate() override;
};

// The present serial ports, named by their "PortName".
class CPortEnumer : public CDeviceEnumer {
public:
    void Enumerate() override;
};

class CHardware : public IEVDOHardware {
public:
    CHardware();
    ~CHardware() override;
    CHardware(const CHardware&) = delete;
    CHardware& operator=(const CHardware&) = delete;

    DeviceItem GetModemInfo() override;
    std::wstring GetModemPort() override;
    DeviceItem GetPortAInfo() override;
    DeviceItem GetPortBInfo() override;
    bool RestartModem() override;
    bool RestartPortA() override;
    bool RestartPortB() override;
    bool IsModemPresent() override;
    bool AreDevicesStarted(int* problem) override;
    bool SwitchToModemMode() override;
    bool SetDeviceState(const std::wstring& instanceId, bool enable) override;
    void SetInstallNECDriverFlag() override;
    void ClearInstallNECDriverFlag() override;
    bool DetectNECDevice() override;
    bool EnableNECDevice() override;
    bool DisableNECDevice() override;

    // The modem item := the first present modem that the modem .inf names (else empty).
    void EnumerateModem();
    // Ports A and B from the present ports that the serial .inf names.
    void EnumeratePorts();
    static bool RestartDevice(const DeviceItem& item);
    static bool SetItemState(const DeviceItem& item, bool enable);

private:
    DeviceItem Copy(const DeviceItem& item);

    CRITICAL_SECTION m_lock;
    DeviceItem m_modem;
    DeviceItem m_portA;
    DeviceItem m_portB;
};

class IDMService;

class CDeviceStatus {
public:
    static CDeviceStatus& Instance();

    // The modem's friendly name (the RAS device name), or empty.
    std::wstring GetModemName();
    // The modem's port, or empty.
    std::wstring GetModemPort();
    virtual bool SwitchToModemMode();
    IEVDOHardware* GetHardware() { return m_hardware; }

    explicit CDeviceStatus(IEVDOHardware* hardware) : m_hardware(hardware) {}
    virtual ~CDeviceStatus() = default;
    CDeviceStatus(const CDeviceStatus&) = delete;
    CDeviceStatus& operator=(const CDeviceStatus&) = delete;

private:
    IEVDOHardware* m_hardware;
    [[maybe_unused]] IDMService* m_dmService = nullptr;  // never set in the application
};

// The driver folder for this Windows version, ending in a backslash, and its two .inf files.
std::wstring GetDriverFolder();
std::wstring GetModemInfPath();
std::wstring GetSerialInfPath();

// True when no present device named by the .inf has a problem; else false with its problem.
bool AreModelDevicesStarted(const std::wstring& infPath, int* problem);
