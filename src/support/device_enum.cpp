#include "support/device_enum.h"

#include <cstring>
#include <vector>

#include "support/platform_helpers.h"

namespace {

const wchar_t* const kSupportedIds[] = {
    L"VID_3A5C&PID_FFEF", L"VID_3A5C&PID_FFFF", L"VID_3A5C&PID_FFFE", L"VID_3A5C&PID_FFFD",
    L"VID_3A5C&PID_FFF6", L"VID_3A5C&PID_FFF7", L"VID_3A5C&PID_FFF1", L"&VEN_QOB&",
};

std::wstring UpperAscii(const std::wstring& s) {
    std::wstring r = s;
    for (auto& c : r)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return r;
}

void FillProperties(HDEVINFO set, SP_DEVINFO_DATA& device, DeviceRecord& record) {
    record.InstanceId = ReadDeviceInstanceId(set, device);
    record.FriendlyName = CDeviceInfoSet::GetRegistryProperty(set, device, SPDRP_FRIENDLYNAME);
    record.Description = CDeviceInfoSet::GetRegistryProperty(set, device, SPDRP_DEVICEDESC);
    record.PhysicalObjectName =
        CDeviceInfoSet::GetRegistryProperty(set, device, SPDRP_PHYSICAL_DEVICE_OBJECT_NAME);
    record.DevInst = device.DevInst;
}

}  // namespace

std::wstring ReadDeviceInstanceId(HDEVINFO set, SP_DEVINFO_DATA& device, bool* ok) {
    wchar_t id[256];
    std::memset(id, 0, sizeof id);
    bool read = SetupDiGetDeviceInstanceIdW(set, &device, id, 256, nullptr) != FALSE;
    if (ok) *ok = read;
    return read ? id : L"";
}

bool ForEachDevice(const GUID* setupClass, DWORD flags,
                   const std::function<bool(HDEVINFO, SP_DEVINFO_DATA&)>& visit) {
    HDEVINFO set = SetupDiGetClassDevsW(setupClass, nullptr, nullptr, flags);
    if (set == INVALID_HANDLE_VALUE) return false;
    SP_DEVINFO_DATA device;
    std::memset(&device, 0, sizeof device);
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index)
        if (!visit(set, device)) break;
    SetupDiDestroyDeviceInfoList(set);
    return true;
}

void CDeviceInfoSet::Release() {
    if (m_set != nullptr && m_set != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(m_set);
    m_set = nullptr;
}

std::wstring CDeviceInfoSet::GetRegistryProperty(HDEVINFO set, SP_DEVINFO_DATA& device,
                                                 DWORD property) {
    DWORD type = 0, size = 0;
    SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, nullptr, 0, &size);
    wchar_t buffer[256];
    std::memset(buffer, 0, sizeof buffer);
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type,
                                           reinterpret_cast<PBYTE>(buffer), sizeof buffer, &size))
        return L"";
    buffer[255] = 0;
    return buffer;
}

int CDeviceInfoSet::EnumInterfaces(const GUID& interfaceClass, std::vector<DeviceRecord>& records) {
    Release();
    HDEVINFO set = SetupDiGetClassDevsW(&interfaceClass, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return 0;
    m_set = set;
    SP_DEVICE_INTERFACE_DATA iface;
    std::memset(&iface, 0, sizeof iface);
    iface.cbSize = sizeof iface;
    for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass, index, &iface);
         ++index) {
        DWORD needed = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &iface, nullptr, 0, &needed, nullptr);
        if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) continue;
        std::vector<BYTE> storage(needed, 0);
        auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(storage.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        SP_DEVINFO_DATA device;
        std::memset(&device, 0, sizeof device);
        device.cbSize = sizeof device;
        if (!SetupDiGetDeviceInterfaceDetailW(set, &iface, detail, needed, nullptr, &device))
            continue;
        DeviceRecord record;
        record.SymbolicName = detail->DevicePath;
        FillProperties(set, device, record);
        records.push_back(record);
    }
    return static_cast<int>(records.size());
}

int CDeviceInfoSet::EnumDevices(const GUID& setupClass, std::vector<DeviceRecord>& records,
                                bool presentOnly) {
    Release();
    HDEVINFO set = SetupDiGetClassDevsW(&setupClass, nullptr, nullptr,
                                        presentOnly ? DIGCF_PRESENT : DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) return 0;
    m_set = set;
    SP_DEVINFO_DATA device;
    std::memset(&device, 0, sizeof device);
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        DeviceRecord record;
        FillProperties(set, device, record);
        records.push_back(record);
    }
    return static_cast<int>(records.size());
}

bool IsSupportedID(const std::wstring& id) {
    std::wstring upper = UpperAscii(id);
    for (const wchar_t* pattern : kSupportedIds) {
        if (upper.find(pattern) != std::wstring::npos) {
            DebugLog(L"IsSupportedID Found OK :%s  %s", upper.c_str(), pattern);
            return true;
        }
    }
    return false;
}

bool IsUsbChipID(const std::wstring& id) {
    std::wstring upper = UpperAscii(id);
    if (upper.find(L"VARNIFFF4") != std::wstring::npos &&
        upper.find(L"USBSTOR\\CDROM") != std::wstring::npos) {
        DebugLog(L"IsUsbChipID Found OK :%s  %s", upper.c_str(), L"VARNIFFF4");
        return true;
    }
    return false;
}

bool FindDeviceCdrom(std::wstring& devicePath) {
    CDeviceInfoSet set;
    std::vector<DeviceRecord> records;
    set.EnumInterfaces(GUID_DEVINTERFACE_CDROM, records);
    int number = 0;
    for (const DeviceRecord& record : records) {
        ++number;
        std::wstring upper = UpperAscii(record.InstanceId);
        DebugLog(L"%d.1 SymblicName:\t %s \r\n", number, record.SymbolicName.c_str());
        DebugLog(L"%d.2 InstanceID:\t %s \r\n", number, record.InstanceId.c_str());
        if (IsSupportedID(upper) && upper.find(L"_QOB&") != std::wstring::npos) {
            devicePath = record.SymbolicName;
            return true;
        }
    }
    return false;
}

bool FindUsbChipCdroms(std::vector<std::wstring>& instanceIds, bool presentOnly) {
    instanceIds.clear();
    CDeviceInfoSet set;
    std::vector<DeviceRecord> records;
    set.EnumDevices(GUID_DEVCLASS_CDROM, records, presentOnly);
    for (const DeviceRecord& record : records)
        if (IsUsbChipID(record.InstanceId)) instanceIds.push_back(record.InstanceId);
    return !instanceIds.empty();
}

bool FindDeviceModem(std::wstring& devicePath) {
    CDeviceInfoSet set;
    std::vector<DeviceRecord> records;
    set.EnumInterfaces(GUID_DEVINTERFACE_MODEM, records);
    for (const DeviceRecord& record : records) {
        if (IsSupportedID(record.InstanceId)) {
            devicePath = record.SymbolicName;
            return true;
        }
    }
    return false;
}
