// Recognises the modem by its USB IDs and lists device interfaces and device instances.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <setupapi.h>

// One device interface or device instance as the enumerations return it.
struct DeviceRecord {
    std::wstring SymbolicName;        // the interface's device path (empty for instances)
    std::wstring FriendlyName;        // SPDRP_FRIENDLYNAME
    std::wstring Description;         // SPDRP_DEVICEDESC
    std::wstring PhysicalObjectName;  // SPDRP_PHYSICAL_DEVICE_OBJECT_NAME
    std::wstring Extra1;              // left empty by every enumeration
    std::wstring Extra2;              // left empty by every enumeration
    std::wstring InstanceId;
    DEVINST DevInst = 0;
};

// Owns one device information set; each enumeration replaces the set it still holds.
class CDeviceInfoSet {
public:
    CDeviceInfoSet() = default;
    ~CDeviceInfoSet() { Release(); }
    CDeviceInfoSet(const CDeviceInfoSet&) = delete;
    CDeviceInfoSet& operator=(const CDeviceInfoSet&) = delete;

    void Release();
    // Appends the present interfaces of the class; returns the sequence's size afterwards (0 and
    // the sequence untouched when the set cannot be made).
    int EnumInterfaces(const GUID& interfaceClass, std::vector<DeviceRecord>& records);
    // Appends the class's device instances (present ones only, or every device known to the
    // system with the class ignored).
    int EnumDevices(const GUID& setupClass, std::vector<DeviceRecord>& records, bool presentOnly);
    // A text property, or empty when it cannot be read (or is longer than 255 characters).
    static std::wstring GetRegistryProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property);

private:
    HDEVINFO m_set = nullptr;
};

// A device's instance ID (256 characters at most); empty, with *ok false, when it cannot be read.
std::wstring ReadDeviceInstanceId(HDEVINFO set, SP_DEVINFO_DATA& device, bool* ok = nullptr);
// Walks the devices of a new device information set (the class may be null with
// DIGCF_ALLCLASSES) until visit returns false, then destroys the set. False when the set cannot
// be made.
bool ForEachDevice(const GUID* setupClass, DWORD flags,
                   const std::function<bool(HDEVINFO, SP_DEVINFO_DATA&)>& visit);

bool IsSupportedID(const std::wstring& id);
bool IsUsbChipID(const std::wstring& id);
bool FindDeviceCdrom(std::wstring& devicePath);
bool FindUsbChipCdroms(std::vector<std::wstring>& instanceIds, bool presentOnly);
bool FindDeviceModem(std::wstring& devicePath);
