#include "app/device_status.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

#include <windows.h>
#include <setupapi.h>
#include "support/device_control.h"
#include "support/device_enum.h"
#include "support/auto_lock.h"
#include "support/platform_helpers.h"
#include "support/scsi_switch.h"
#include "textfiles/ini_file.h"

namespace {

// Buffers are sized in characters: a wide character here is wider than the platform's 16 bits,
// so a buffer of "256 bytes" holds the same 128 characters it holds there.
constexpr DWORD kSmallIdChars = 128;    // 256 bytes of 16-bit characters
constexpr DWORD kIdChars = 256;         // 512 bytes
constexpr DWORD kValueNameChars = 512;  // registry value names
constexpr DWORD kValueDataChars = 512;  // 1024 bytes of value data
constexpr DWORD kSwitchBufferBytes = 260;
constexpr DWORD kSwitchWaitMs = 30000;
constexpr DWORD kPollMs = 500;
const wchar_t kMakerKey[] = L"software\\VARNI";
const wchar_t kNecFlag[] = L"InstallNECDriver";

// The first string of a multi-string property, read into a zeroed buffer of `chars` characters
// and taken only within the size the call reports. Empty when it cannot be read.
std::wstring ReadFirstString(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property, DWORD chars) {
    std::vector<wchar_t> buffer(chars, 0);
    DWORD type = 0, size = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type,
                                           reinterpret_cast<PBYTE>(buffer.data()),
                                           chars * sizeof(wchar_t), &size))
        return L"";
    std::size_t limit = std::min<std::size_t>(size / sizeof(wchar_t), chars);
    std::size_t length = 0;
    while (length < limit && buffer[length] != 0) ++length;
    return std::wstring(buffer.data(), length);
}

// The text of the value called exactly `name` in the device's driver or device key; empty when
// the key or the value is missing. Texts without a terminator end at the size returned.
std::wstring ReadDeviceKeyValue(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD keyType,
                                const wchar_t* name) {
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, keyType, KEY_READ);
    if (key == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE) || key == nullptr) return L"";
    std::wstring result;
    for (DWORD index = 0;; ++index) {
        wchar_t valueName[kValueNameChars];
        wchar_t data[kValueDataChars];
        std::memset(valueName, 0, sizeof valueName);
        std::memset(data, 0, sizeof data);
        DWORD nameChars = kValueNameChars;
        DWORD dataBytes = sizeof data;
        DWORD type = 0;
        LSTATUS status = RegEnumValueW(key, index, valueName, &nameChars, nullptr, &type,
                                       reinterpret_cast<LPBYTE>(data), &dataBytes);
        if (status == ERROR_MORE_DATA) continue;  // too long to be the one looked for
        if (status != ERROR_SUCCESS) break;
        if (std::wcscmp(valueName, name) != 0) continue;
        std::size_t limit = std::min<std::size_t>(dataBytes / sizeof(wchar_t), kValueDataChars);
        std::size_t length = 0;
        while (length < limit && data[length] != 0) ++length;
        result.assign(data, length);
        break;
    }
    RegCloseKey(key);
    return result;
}

bool PassesInf(const DeviceItem& item, const CInfModelList& list) {
    return (!item.InstanceId.empty() && list.Contains(item.InstanceId)) ||
           (!item.HardwareId.empty() && list.Contains(item.HardwareId));
}

// A string field of an .inf line; false when it cannot be read.
bool GetField(INFCONTEXT& context, DWORD index, std::wstring* out) {
    DWORD need = 0;
    if (!SetupGetStringFieldW(&context, index, nullptr, 0, &need) || need == 0) return false;
    std::vector<wchar_t> buffer(need, 0);
    if (!SetupGetStringFieldW(&context, index, buffer.data(), need, nullptr)) return false;
    out->assign(buffer.data());
    return true;
}

std::vector<std::wstring> ReadFiles(HINF inf, const std::wstring& installSection) {
    std::vector<std::wstring> files;
    INFCONTEXT copy;
    if (!SetupFindFirstLineW(inf, (installSection + L".NT").c_str(), L"CopyFiles", &copy))
        return files;
    DWORD count = SetupGetFieldCount(&copy);
    for (DWORD i = 1; i <= count; ++i) {
        std::wstring section;
        if (!GetField(copy, i, &section) || section.empty()) continue;
        INFCONTEXT line;
        for (BOOL ok = SetupFindFirstLineW(inf, section.c_str(), nullptr, &line); ok;
             ok = SetupFindNextLine(&line, &line)) {
            std::wstring file;
            if (GetField(line, 0, &file) || GetField(line, 1, &file)) files.push_back(file);
        }
    }
    return files;
}

std::vector<InfModel> ReadModels(HINF inf, const std::wstring& section) {
    std::vector<InfModel> models;
    INFCONTEXT line;
    BOOL ok = SetupFindFirstLineW(inf, section.c_str(), nullptr, &line);
    if (!ok) ok = SetupFindFirstLineW(inf, (section + L".ntamd64").c_str(), nullptr, &line);
    for (; ok; ok = SetupFindNextLine(&line, &line)) {
        InfModel model;
        GetField(line, 0, &model.Description);
        GetField(line, 1, &model.InstallSection);
        DWORD count = SetupGetFieldCount(&line);
        for (DWORD i = 2; i <= count; ++i) {
            std::wstring id;
            // An empty ID (a trailing comma) would be found in every device's ID.
            if (GetField(line, i, &id) && !id.empty()) model.HardwareIds.push_back(LowerText(id));
        }
        model.Files = ReadFiles(inf, model.InstallSection);
        models.push_back(std::move(model));
    }
    return models;
}

bool CallTovrick(const char* entryPoint) {
    HMODULE module = LoadLibraryW(L"Tovrick.dll");
    if (module == nullptr) return false;
    CLibraryHolder holder(module);
    using Entry = BYTE (*)();
    auto entry = reinterpret_cast<Entry>(GetProcAddress(module, entryPoint));
    if (entry == nullptr) return false;
    return entry() != 0;
}

}  // namespace

// ---- .inf model list ----

CInfModelList::CInfModelList(const std::wstring& path) {
    HINF inf = SetupOpenInfFileW(path.c_str(), nullptr, INF_STYLE_WIN4, nullptr);
    if (inf == INVALID_HANDLE_VALUE) return;
    wchar_t className[MAX_PATH];
    std::memset(className, 0, sizeof className);
    if (SetupDiGetINFClassW(path.c_str(), &m_classGuid, className, MAX_PATH, nullptr)) {
        m_className = LowerText(className);
        if (m_classGuid == GUID{}) {
            DWORD found = 0;
            SetupDiClassGuidsFromNameW(className, &m_classGuid, 1, &found);
        }
    }
    INFCONTEXT line;
    for (BOOL ok = SetupFindFirstLineW(inf, L"Manufacturer", nullptr, &line); ok;
         ok = SetupFindNextLine(&line, &line)) {
        InfManufacturer maker;
        if (!GetField(line, 0, &maker.Name) || !GetField(line, 1, &maker.ModelsSection)) break;
        maker.Name = LowerText(maker.Name);
        maker.ModelsSection = LowerText(maker.ModelsSection);
        m_manufacturers.push_back(std::move(maker));
    }
    for (InfManufacturer& maker : m_manufacturers)
        maker.Models = ReadModels(inf, maker.ModelsSection);
    SetupCloseInfFile(inf);
}

bool CInfModelList::Contains(const std::wstring& idIn) const {
    if (idIn.empty()) return false;
    std::wstring id = LowerText(idIn);
    for (const InfManufacturer& maker : m_manufacturers)
        for (const InfModel& model : maker.Models)
            for (const std::wstring& h : model.HardwareIds)
                if (!h.empty() &&
                    (h.find(id) != std::wstring::npos || id.find(h) != std::wstring::npos))
                    return true;
    return false;
}

// ---- Enumerators ----

void CDeviceEnumer::Add(const DeviceItem& item) {
    if (item.FriendlyName.empty() || item.HardwareId.empty() || item.InstanceId.empty()) return;
    m_items.push_back(item);
}

void CModemEnumer::Enumerate() {
    ForEachDevice(&GUID_DEVCLASS_MODEM, DIGCF_PRESENT,
                  [this](HDEVINFO set, SP_DEVINFO_DATA& device) {
                      DeviceItem item;
                      item.InstanceId = ReadDeviceInstanceId(set, device);
                      item.HardwareId = ReadFirstString(set, device, SPDRP_HARDWAREID, kIdChars);
                      item.FriendlyName =
                          CDeviceInfoSet::GetRegistryProperty(set, device, SPDRP_FRIENDLYNAME);
                      item.Port = ReadDeviceKeyValue(set, device, DIREG_DRV, L"AttachedTo");
                      Add(item);
                      return true;
                  });
}

void CPortEnumer::Enumerate() {
    ForEachDevice(&GUID_DEVCLASS_PORTS, DIGCF_PRESENT,
                  [this](HDEVINFO set, SP_DEVINFO_DATA& device) {
                      DeviceItem item;
                      item.InstanceId = ReadDeviceInstanceId(set, device);
                      item.HardwareId = ReadFirstString(set, device, SPDRP_HARDWAREID, kIdChars);
                      item.FriendlyName = ReadDeviceKeyValue(set, device, DIREG_DEV, L"PortName");
                      Add(item);
                      return true;
                  });
}

// ---- Driver folder ----

std::wstring GetDriverFolder() {
    int code = GetOsVersionCode();
    bool wide = Is64BitWindows();
    const wchar_t* sub = L"..\\Driver\\Win2K\\";
    if (code == kOsWinXP || code == kOsWin2003)
        sub = wide ? L"..\\Driver\\WinXP-AMD64\\" : L"..\\Driver\\WinXP\\";
    else if (code == kOsVista)
        sub = wide ? L"..\\Driver\\Vista\\AMD64\\" : L"..\\Driver\\Vista\\X86\\";
    return NormalizeParentPath(GetModuleFolder() + sub);
}

std::wstring GetModemInfPath() {
    return GetDriverFolder() + L"CT_VARNI_U_MDM.inf";
}
std::wstring GetSerialInfPath() {
    return GetDriverFolder() + L"CT_VARNI_U_SER.inf";
}

bool AreModelDevicesStarted(const std::wstring& infPath, int* problem) {
    CInfModelList list(infPath);
    bool started = true;
    ForEachDevice(
        nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES, [&](HDEVINFO set, SP_DEVINFO_DATA& device) {
            DeviceItem item;
            item.InstanceId = ReadDeviceInstanceId(set, device);
            item.HardwareId = ReadFirstString(set, device, SPDRP_HARDWAREID, kSmallIdChars);
            if (!PassesInf(item, list)) return true;
            ULONG status = 0, number = 0;
            if (CM_Get_DevNode_Status(&status, &number, device.DevInst, 0) == CR_SUCCESS &&
                (status & DN_HAS_PROBLEM)) {
                if (problem) *problem = static_cast<int>(number);
                started = false;
                return false;
            }
            return true;
        });
    return started;
}

// ---- Hardware ----

CHardware::CHardware() {
    InitializeCriticalSection(&m_lock);
}

CHardware::~CHardware() {
    DeleteCriticalSection(&m_lock);
}

DeviceItem CHardware::Copy(const DeviceItem& item) {
    CAutoLock lock(m_lock);
    return item;
}

void CHardware::EnumerateModem() {
    CModemEnumer modems;
    modems.Enumerate();
    CInfModelList list(GetModemInfPath());
    DeviceItem found;
    for (const DeviceItem& item : modems.Items()) {
        if (PassesInf(item, list)) {
            found = item;
            break;
        }
    }
    CAutoLock lock(m_lock);
    m_modem = found;
}

void CHardware::EnumeratePorts() {
    CPortEnumer ports;
    ports.Enumerate();
    CInfModelList list(GetSerialInfPath());
    // Ports that are gone are not kept.
    DeviceItem portA, portB;
    for (const DeviceItem& item : ports.Items()) {
        if (!PassesInf(item, list)) continue;
        std::wstring id = LowerText(item.InstanceId);
        bool fff6 = id.find(L"fff6") != std::wstring::npos;
        if (id.find(fff6 ? L"mi_02" : L"mi_01") != std::wstring::npos) portA = item;
        if (id.find(fff6 ? L"mi_03" : L"mi_02") != std::wstring::npos) portB = item;
    }
    CAutoLock lock(m_lock);
    m_portA = portA;
    m_portB = portB;
}

DeviceItem CHardware::GetModemInfo() {
    if (Copy(m_modem).FriendlyName.empty()) EnumerateModem();
    return Copy(m_modem);
}

std::wstring CHardware::GetModemPort() {
    return GetModemInfo().Port;
}

DeviceItem CHardware::GetPortAInfo() {
    if (Copy(m_portA).FriendlyName.empty()) EnumeratePorts();
    return Copy(m_portA);
}

DeviceItem CHardware::GetPortBInfo() {
    GetPortAInfo();
    return Copy(m_portB);
}

bool CHardware::RestartModem() {
    EnumerateModem();
    return RestartDevice(Copy(m_modem));
}

bool CHardware::RestartPortA() {
    EnumeratePorts();
    return RestartDevice(Copy(m_portA));
}

bool CHardware::RestartPortB() {
    EnumeratePorts();
    return RestartDevice(Copy(m_portB));
}

bool CHardware::IsModemPresent() {
    EnumerateModem();
    return !Copy(m_modem).FriendlyName.empty();
}

bool CHardware::AreDevicesStarted(int* problem) {
    return AreModelDevicesStarted(GetModemInfPath(), problem) &&
           AreModelDevicesStarted(GetSerialInfPath(), problem);
}

bool CHardware::SwitchToModemMode() {
    std::wstring cdrom;
    if (!FindDeviceCdrom(cdrom)) return false;
    BYTE buffer[kSwitchBufferBytes];
    std::memset(buffer, 0, sizeof buffer);
    int length = 0;
    if (BuildSwitchCdb(0, buffer, length)) SendScsiCommand(cdrom, buffer, length);
    DWORD start = GetTickCount();
    for (;;) {
        if (IsDevicePresent()) return true;
        if (GetTickCount() - start > kSwitchWaitMs) return false;
        Sleep(kPollMs);
    }
}

bool CHardware::SetDeviceState(const std::wstring& instanceId, bool enable) {
    DeviceItem item;
    item.InstanceId = instanceId;
    return SetItemState(item, enable);
}

bool CHardware::RestartDevice(const DeviceItem& item) {
    if (item.HardwareId.empty()) return false;
    if (!SetItemState(item, false)) return false;
    Sleep(kPollMs);
    return SetItemState(item, true);
}

bool CHardware::SetItemState(const DeviceItem& item, bool enable) {
    return SetDeviceInstanceState(item.InstanceId, enable);
}

void CHardware::SetInstallNECDriverFlag() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kMakerKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    DWORD one = 1;
    RegSetValueExW(key, kNecFlag, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    RegCloseKey(key);
}

void CHardware::ClearInstallNECDriverFlag() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMakerKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueW(key, kNecFlag);
    RegCloseKey(key);
}

bool CHardware::DetectNECDevice() {
    return CallTovrick("DetectNECDevice");
}
bool CHardware::EnableNECDevice() {
    return CallTovrick("EnableNECDevice");
}
bool CHardware::DisableNECDevice() {
    return CallTovrick("DisableNECDevice");
}

// ---- Device status ----

CDeviceStatus& CDeviceStatus::Instance() {
    static CHardware hardware;
    static CDeviceStatus status(&hardware);
    return status;
}

std::wstring CDeviceStatus::GetModemName() {
    return m_hardware ? m_hardware->GetModemInfo().FriendlyName : L"";
}

std::wstring CDeviceStatus::GetModemPort() {
    return m_hardware ? m_hardware->GetModemPort() : L"";
}

bool CDeviceStatus::SwitchToModemMode() {
    return m_hardware ? m_hardware->SwitchToModemMode() : false;
}
