#include "support/device_control.h"

#include <cstring>
#include <vector>

#include <setupapi.h>
#include "support/device_enum.h"
#include "support/platform_helpers.h"

namespace {

bool ChangeState(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD stateChange, DWORD scope) {
    SP_PROPCHANGE_PARAMS params;
    std::memset(&params, 0, sizeof params);
    params.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
    params.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
    params.StateChange = stateChange;
    params.Scope = scope;
    params.HwProfile = 0;
    if (!SetupDiSetClassInstallParamsW(set, &device, &params.ClassInstallHeader, sizeof params))
        return false;
    return SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, &device) != FALSE;
}

}  // namespace

// Steps after the device was found: nothing when it is already in the wanted state, else the
// class-installer property changes.
static bool ChangeInstanceState(HDEVINFO set, SP_DEVINFO_DATA& device,
                                const std::wstring& instanceId, bool enable) {
    ULONG status = 0, problem = 0;
    if (CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0) == CR_SUCCESS) {
        bool hasProblem = (status & DN_HAS_PROBLEM) != 0;
        if ((!enable && hasProblem && problem == CM_PROB_DISABLED) || (enable && !hasProblem))
            return true;
    }
    if (enable && ChangeState(set, device, DICS_ENABLE, DICS_FLAG_GLOBAL))
        DebugLog(L"%s,SetupDiCallClassInstaller Enable OK ", instanceId.c_str());
    bool result =
        ChangeState(set, device, enable ? DICS_ENABLE : DICS_DISABLE, DICS_FLAG_CONFIGSPECIFIC);
    if (result) {
        SP_DEVINSTALL_PARAMS_W installParams;
        std::memset(&installParams, 0, sizeof installParams);
        installParams.cbSize = sizeof installParams;
        SetupDiGetDeviceInstallParamsW(set, &device, &installParams);  // a restart is not acted on
    }
    return result;
}

bool SetDeviceInstanceState(const std::wstring& instanceId, bool enable) {
    bool result = false;
    ForEachDevice(nullptr, DIGCF_ALLCLASSES, [&](HDEVINFO set, SP_DEVINFO_DATA& device) {
        if (ReadDeviceInstanceId(set, device) != instanceId) return true;
        result = ChangeInstanceState(set, device, instanceId, enable);
        return false;
    });
    return result;
}

bool SetUsbChipCdromState(bool enable, bool presentOnly) {
    std::vector<std::wstring> ids;
    FindUsbChipCdroms(ids, presentOnly);
    for (const std::wstring& id : ids) SetDeviceInstanceState(id, enable);
    DebugLog(L"vecInstanceID.size()  =  %d", static_cast<int>(ids.size()));
    return !ids.empty();
}

bool EjectDevice() {
    EnableDebugPrivilege();
    CDeviceInfoSet set;
    std::vector<DeviceRecord> records;
    set.EnumInterfaces(GUID_DEVINTERFACE_CDROM, records);
    for (const DeviceRecord& record : records) {
        if (!IsSupportedID(record.InstanceId)) continue;
        DEVINST parent = 0;
        CM_Get_Parent(&parent, record.DevInst, 0);
        for (int attempt = 0; attempt < 10; ++attempt) {
            PNP_VETO_TYPE vetoType = PNP_VetoTypeUnknown;
            wchar_t vetoName[MAX_PATH];
            std::memset(vetoName, 0, sizeof vetoName);
            CONFIGRET result = CM_Request_Device_EjectW(parent, &vetoType, vetoName, MAX_PATH, 0);
            if (result == CR_SUCCESS && vetoType == PNP_VetoTypeUnknown) {
                DebugLog(L"CM_Request_Device_Eject() OK.\n");
                return true;
            }
            DebugLog(L"CM_Request_Device_Eject(),Res:CR_%d Error:[%d],VetoName:%s\n",
                     static_cast<int>(result), static_cast<int>(GetLastError()), vetoName);
            Sleep(1000);
        }
    }
    return false;
}

bool IsDevicePresent() {
    int count = 0;
    bool healthy = true;
    bool listed = ForEachDevice(
        nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES, [&](HDEVINFO set, SP_DEVINFO_DATA& device) {
            bool ok = false;
            std::wstring id = ReadDeviceInstanceId(set, device, &ok);
            if (!ok || !IsSupportedID(id)) return true;
            ULONG status = 0, problem = 0;
            if (CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0) != CR_SUCCESS ||
                (status & DN_HAS_PROBLEM)) {
                healthy = false;
                return false;
            }
            ++count;
            return true;
        });
    return listed && healthy && count >= 3;
}
