#include <setupapi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <map>
#include <vector>

#include <winbase.h>
#include "machine/devices.h"
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/registry.h"
#include "machine/trace.h"

using sim::Fail;

namespace {

struct DevInfoSet : sim::KObject {
    struct Interface {
        DWORD devInst;
        GUID guid;
        std::wstring link;
    };
    std::vector<DWORD> devices;
    std::vector<Interface> interfaces;
    std::map<DWORD, SP_PROPCHANGE_PARAMS> propChange;
};

std::shared_ptr<DevInfoSet> FindSet(HDEVINFO set) {
    if (set == nullptr || set == INVALID_HANDLE_VALUE) return nullptr;
    return sim::HandleTable::Get().FindAs<DevInfoSet>(set);
}

bool InSet(const DevInfoSet& s, DWORD devInst) {
    return std::find(s.devices.begin(), s.devices.end(), devInst) != s.devices.end();
}

// The node behind a device data record of the set; sets the last error when there is none.
bool NodeOf(const DevInfoSet& s, PSP_DEVINFO_DATA device, sim::DeviceNode* node) {
    if (device == nullptr) return Fail(false, ERROR_INVALID_PARAMETER);
    if (device->cbSize != sizeof(SP_DEVINFO_DATA)) return Fail(false, ERROR_INVALID_USER_BUFFER);
    if (!InSet(s, device->DevInst) || !sim::machine().devices().Find(device->DevInst, node))
        return Fail(false, ERROR_NO_SUCH_DEVINST);
    return true;
}

void FillDevInfo(PSP_DEVINFO_DATA device, const sim::DeviceNode& node) {
    device->ClassGuid = node.spec.classGuid;
    device->DevInst = node.devInst;
    device->Reserved = 0;
}

}  // namespace

HDEVINFO SetupDiGetClassDevsW(const GUID* classGuid, LPCWSTR enumerator, HWND parent, DWORD flags) {
    API_TRACE(Devices, SetupDiGetClassDevsW, classGuid, enumerator, parent, flags);
    bool all = (flags & DIGCF_ALLCLASSES) != 0;
    bool present = (flags & DIGCF_PRESENT) != 0;
    if (!all && classGuid == nullptr) return Fail(INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);
    auto set = std::make_shared<DevInfoSet>();
    for (const auto& node : sim::machine().devices().Nodes()) {
        if (present && !node.present) continue;
        if (flags & DIGCF_DEVICEINTERFACE) {
            bool any = false;
            for (const auto& i : node.spec.interfaces) {
                if (!all && !(i.classGuid == *classGuid)) continue;
                // Without DIGCF_PRESENT, interfaces of stopped devices are listed too.
                if (present && !node.Started()) continue;
                set->interfaces.push_back({node.devInst, i.classGuid, i.symbolicLink});
                any = true;
            }
            if (any) set->devices.push_back(node.devInst);
        } else {
            // With DIGCF_ALLCLASSES the class is ignored.
            if (!all && !(node.spec.classGuid == *classGuid)) continue;
            set->devices.push_back(node.devInst);
        }
    }
    SetLastError(ERROR_SUCCESS);
    return sim::HandleTable::Get().Add(set);
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) {
    API_TRACE(Devices, SetupDiDestroyDeviceInfoList, set);
    if (!FindSet(set)) return Fail(FALSE, ERROR_INVALID_HANDLE);
    sim::HandleTable::Get().Close(set);
    return TRUE;
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA data) {
    API_TRACE(Devices, SetupDiEnumDeviceInfo, set, index, data);
    auto s = FindSet(set);
    if (!s) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (data == nullptr || data->cbSize != sizeof(SP_DEVINFO_DATA))
        return Fail(FALSE, ERROR_INVALID_USER_BUFFER);
    if (index >= s->devices.size()) return Fail(FALSE, ERROR_NO_MORE_ITEMS);
    sim::DeviceNode node;
    if (!sim::machine().devices().Find(s->devices[index], &node))
        return Fail(FALSE, ERROR_NO_SUCH_DEVINST);
    FillDevInfo(data, node);
    return TRUE;
}

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device, const GUID* classGuid,
                                 DWORD index, PSP_DEVICE_INTERFACE_DATA data) {
    API_TRACE(Devices, SetupDiEnumDeviceInterfaces, set, device, classGuid, index, data);
    auto s = FindSet(set);
    if (!s) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (classGuid == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (data == nullptr || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
        return Fail(FALSE, ERROR_INVALID_USER_BUFFER);
    DWORD seen = 0;
    for (std::size_t i = 0; i < s->interfaces.size(); ++i) {
        const auto& it = s->interfaces[i];
        if (!(it.guid == *classGuid)) continue;
        if (device != nullptr && device->DevInst != it.devInst) continue;
        if (seen++ != index) continue;
        data->InterfaceClassGuid = it.guid;
        sim::DeviceNode node;
        data->Flags =
            sim::machine().devices().Find(it.devInst, &node) && node.Started() ? SPINT_ACTIVE : 0;
        data->Reserved = i + 1;
        return TRUE;
    }
    return Fail(FALSE, ERROR_NO_MORE_ITEMS);
}

BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD detailSize,
                                      PDWORD requiredSize, PSP_DEVINFO_DATA device) {
    API_TRACE(Devices, SetupDiGetDeviceInterfaceDetailW, set, data, detail, detailSize,
              requiredSize, device);
    auto s = FindSet(set);
    if (!s) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (data == nullptr || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) ||
        data->Reserved == 0 || data->Reserved > s->interfaces.size())
        return Fail(FALSE, ERROR_INVALID_PARAMETER);
    const auto& it = s->interfaces[data->Reserved - 1];
    DWORD need = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                                    (it.link.size() + 1) * sizeof(WCHAR));
    if (requiredSize) *requiredSize = need;
    if (detail == nullptr) {
        if (detailSize != 0) return Fail(FALSE, ERROR_INVALID_USER_BUFFER);
        return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    }
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
        return Fail(FALSE, ERROR_INVALID_USER_BUFFER);
    if (detailSize < need) return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(detail->DevicePath, it.link.c_str(), (it.link.size() + 1) * sizeof(WCHAR));
    if (device != nullptr) {
        if (device->cbSize != sizeof(SP_DEVINFO_DATA))
            return Fail(FALSE, ERROR_INVALID_USER_BUFFER);
        sim::DeviceNode node;
        if (!sim::machine().devices().Find(it.devInst, &node))
            return Fail(FALSE, ERROR_NO_SUCH_DEVINST);
        FillDevInfo(device, node);
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL SetupDiGetDeviceInstanceIdW(HDEVINFO set, PSP_DEVINFO_DATA device, PWSTR buffer,
                                 DWORD bufferChars, PDWORD requiredChars) {
    API_TRACE(Devices, SetupDiGetDeviceInstanceIdW, set, device, buffer, bufferChars,
              requiredChars);
    auto s = FindSet(set);
    if (!s) return Fail(FALSE, ERROR_INVALID_HANDLE);
    sim::DeviceNode node;
    if (!NodeOf(*s, device, &node)) return FALSE;
    const std::wstring& id = node.spec.instanceId;
    DWORD need = static_cast<DWORD>(id.size() + 1);
    if (requiredChars) *requiredChars = need;
    if (buffer == nullptr || bufferChars < need) return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(buffer, id.c_str(), need * sizeof(WCHAR));
    return TRUE;
}

BOOL SetupDiGetDeviceRegistryPropertyW(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property,
                                       PDWORD regType, PBYTE buffer, DWORD bufferSize,
                                       PDWORD requiredSize) {
    API_TRACE(Devices, SetupDiGetDeviceRegistryPropertyW, set, device, property, regType, buffer,
              bufferSize, requiredSize);
    auto s = FindSet(set);
    if (!s) return Fail(FALSE, ERROR_INVALID_HANDLE);
    sim::DeviceNode node;
    if (!NodeOf(*s, device, &node)) return FALSE;
    const auto& sp = node.spec;
    std::wstring text;
    DWORD type = REG_SZ;
    auto multi = [&](const std::vector<std::wstring>& list) {
        type = REG_MULTI_SZ;
        for (const auto& e : list) text += e + L'\0';
        if (!list.empty()) text += L'\0';
    };
    switch (property) {
        case SPDRP_DEVICEDESC:
            text = sp.description;
            break;
        case SPDRP_HARDWAREID:
            multi(sp.hardwareIds);
            break;
        case SPDRP_COMPATIBLEIDS:
            multi(sp.compatibleIds);
            break;
        case SPDRP_SERVICE:
            text = sp.service;
            break;
        case SPDRP_CLASS:
            text = sp.className;
            break;
        case SPDRP_CLASSGUID:
            if (!sp.className.empty()) text = sim::Lower(sim::GuidToString(sp.classGuid));
            break;
        case SPDRP_DRIVER:
            if (!sp.driverKey.empty()) {
                wchar_t index[16];
                std::swprintf(index, 16, L"\\%04u", node.devInst);
                text = sim::GuidToString(sp.classGuid) + index;
            }
            break;
        case SPDRP_MFG:
            text = sp.manufacturer;
            break;
        case SPDRP_FRIENDLYNAME:
            text = sp.friendlyName;
            break;
        case SPDRP_PHYSICAL_DEVICE_OBJECT_NAME:
            text = sp.physicalObjectName;
            break;
        default:
            return Fail(FALSE, ERROR_INVALID_PARAMETER);
    }
    if (text.empty()) return Fail(FALSE, ERROR_INVALID_DATA);
    if (type == REG_SZ) text += L'\0';
    DWORD need = static_cast<DWORD>(text.size() * sizeof(WCHAR));
    if (regType) *regType = type;
    if (requiredSize) *requiredSize = need;
    if (buffer == nullptr || bufferSize < need) return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(buffer, text.data(), need);
    return TRUE;
}

BOOL SetupDiSetClassInstallParamsW(HDEVINFO set, PSP_DEVINFO_DATA device,
                                   PSP_CLASSINSTALL_HEADER params, DWORD size) {
    API_TRACE(Devices, SetupDiSetClassInstallParamsW, set, device, params, size);
    auto s = FindSet(set);
    if (!s) return Fail(FALSE, ERROR_INVALID_HANDLE);
    sim::DeviceNode node;
    if (!NodeOf(*s, device, &node)) return FALSE;
    if (params == nullptr) {
        s->propChange.erase(node.devInst);
        return TRUE;
    }
    if (params->cbSize != sizeof(SP_CLASSINSTALL_HEADER))
        return Fail(FALSE, ERROR_INVALID_USER_BUFFER);
    if (params->InstallFunction != DIF_PROPERTYCHANGE || size != sizeof(SP_PROPCHANGE_PARAMS))
        return Fail(FALSE, ERROR_INVALID_PARAMETER);
    SP_PROPCHANGE_PARAMS p;
    std::memcpy(&p, params, sizeof p);
    if (p.StateChange < DICS_ENABLE || p.StateChange > DICS_PROPCHANGE ||
        (p.Scope != DICS_FLAG_GLOBAL && p.Scope != DICS_FLAG_CONFIGSPECIFIC))
        return Fail(FALSE, ERROR_INVALID_FLAGS);
    s->propChange[node.devInst] = p;
    return TRUE;
}

BOOL SetupDiCallClassInstaller(DI_FUNCTION function, HDEVINFO set, PSP_DEVINFO_DATA device) {
    API_TRACE(Devices, SetupDiCallClassInstaller, function, set, device);
    auto s = FindSet(set);
    if (!s) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (function != DIF_PROPERTYCHANGE) return Fail(FALSE, ERROR_DI_DO_DEFAULT);
    sim::DeviceNode node;
    if (!NodeOf(*s, device, &node)) return FALSE;
    auto it = s->propChange.find(node.devInst);
    if (it == s->propChange.end()) return Fail(FALSE, ERROR_NO_CLASSINSTALL_PARAMS);
    const SP_PROPCHANGE_PARAMS& p = it->second;
    if (p.StateChange == DICS_ENABLE || p.StateChange == DICS_DISABLE)
        sim::machine().devices().SetEnabled(node.devInst, p.StateChange == DICS_ENABLE,
                                            p.Scope == DICS_FLAG_GLOBAL);
    return TRUE;
}

BOOL SetupDiGetDeviceInstallParamsW(HDEVINFO set, PSP_DEVINFO_DATA device,
                                    PSP_DEVINSTALL_PARAMS_W params) {
    API_TRACE(Devices, SetupDiGetDeviceInstallParamsW, set, device, params);
    auto s = FindSet(set);
    if (!s) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (params == nullptr || params->cbSize != sizeof(SP_DEVINSTALL_PARAMS_W))
        return Fail(FALSE, ERROR_INVALID_USER_BUFFER);
    if (device != nullptr) {
        sim::DeviceNode node;
        if (!NodeOf(*s, device, &node)) return FALSE;
    }
    DWORD size = params->cbSize;
    std::memset(params, 0, sizeof *params);
    params->cbSize = size;
    return TRUE;
}

// ---- Configuration manager ----

CONFIGRET CM_Get_DevNode_Status(PULONG status, PULONG problemNumber, DEVINST devInst, ULONG flags) {
    API_TRACE(Devices, CM_Get_DevNode_Status, status, problemNumber, devInst, flags);
    if (status == nullptr || problemNumber == nullptr) return CR_INVALID_POINTER;
    sim::DeviceNode node;
    if (!sim::machine().devices().Find(devInst, &node)) return CR_INVALID_DEVNODE;
    if (!node.present) return CR_NO_SUCH_DEVNODE;
    ULONG problem = node.EffectiveProblem();
    *status = DN_DRIVER_LOADED | DN_DISABLEABLE | DN_REMOVABLE |
              (problem != 0 ? DN_HAS_PROBLEM : DN_STARTED);
    *problemNumber = problem;
    return CR_SUCCESS;
}

CONFIGRET CM_Get_Parent(PDEVINST parent, DEVINST devInst, ULONG flags) {
    API_TRACE(Devices, CM_Get_Parent, parent, devInst, flags);
    if (parent == nullptr) return CR_INVALID_POINTER;
    sim::DeviceNode node;
    if (!sim::machine().devices().Find(devInst, &node)) return CR_INVALID_DEVNODE;
    if (!node.present || node.parent == 0) return CR_NO_SUCH_DEVNODE;
    *parent = node.parent;
    return CR_SUCCESS;
}

CONFIGRET CM_Request_Device_EjectW(DEVINST devInst, PPNP_VETO_TYPE vetoType, LPWSTR vetoName,
                                   ULONG nameLength, ULONG flags) {
    API_TRACE(Devices, CM_Request_Device_EjectW, devInst, vetoType, vetoName, nameLength, flags);
    sim::DeviceNode node;
    if (!sim::machine().devices().Find(devInst, &node)) return CR_INVALID_DEVNODE;
    if (!node.present) return CR_NO_SUCH_DEVNODE;
    if (vetoName != nullptr && nameLength == 0) return CR_INVALID_POINTER;
    int veto = PNP_VetoTypeUnknown;
    std::wstring name;
    CONFIGRET result;
    if (node.spec.model) {
        result = node.spec.model->RequestEject(node.spec.instanceId, &veto, &name);
    } else {
        sim::DeviceModel plain;
        result = plain.RequestEject(node.spec.instanceId, &veto, &name);
    }
    if (vetoType) *vetoType = static_cast<PNP_VETO_TYPE>(veto);
    if (vetoName && nameLength > 0) {
        std::size_t n = std::min<std::size_t>(name.size(), nameLength - 1);
        std::wmemcpy(vetoName, name.c_str(), n);
        vetoName[n] = L'\0';
    }
    return result;
}

// ---- Device registry keys ----

HKEY SetupDiOpenDevRegKey(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD scope, DWORD hwProfile,
                          DWORD keyType, REGSAM access) {
    API_TRACE(Devices, SetupDiOpenDevRegKey, set, device, scope, hwProfile, keyType, access);
    const HKEY failed = reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
    auto s = FindSet(set);
    if (!s) return Fail(failed, ERROR_INVALID_HANDLE);
    sim::DeviceNode node;
    if (!NodeOf(*s, device, &node)) return failed;
    if (scope != DICS_FLAG_GLOBAL || (keyType != DIREG_DEV && keyType != DIREG_DRV))
        return Fail(failed, ERROR_INVALID_FLAGS);
    // The keys live in the machine's registry where the platform keeps them. The node's values
    // seed a key when it is first made; from then on the key holds what programs wrote.
    const auto& values = keyType == DIREG_DEV ? node.spec.deviceKey : node.spec.driverKey;
    std::wstring subKey;
    if (keyType == DIREG_DEV) {
        subKey =
            L"SYSTEM\\CurrentControlSet\\Enum\\" + node.spec.instanceId + L"\\Device Parameters";
    } else {
        wchar_t index[16];
        std::swprintf(index, 16, L"\\%04u", node.devInst);
        subKey = L"SYSTEM\\CurrentControlSet\\Control\\Class\\" +
                 sim::GuidToString(node.spec.classGuid) + index;
    }
    auto& registry = sim::machine().registry();
    std::wstring path = L"HKEY_LOCAL_MACHINE\\" + subKey;
    if (!registry.KeyExists(path)) {
        if (values.empty()) return Fail(failed, ERROR_KEY_DOES_NOT_EXIST);
        bool created = false;
        registry.CreateKey(path, &created);
        if (created)
            for (const auto& [name, text] : values) registry.SetString(path, name, text);
    }
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, access, &key);
    if (status != ERROR_SUCCESS) return Fail(failed, static_cast<DWORD>(status));
    SetLastError(ERROR_SUCCESS);
    return key;
}
