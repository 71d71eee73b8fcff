#include <atomic>
#include <cstring>
#include <string>

#include <dbt.h>
#include <devguid.h>
#include <windows.h>
#include "service/ulvane.h"
#include "support/device_control.h"
#include "support/device_enum.h"
#include "support/platform_helpers.h"
#include "support/scsi_switch.h"

namespace {

std::wstring g_serviceName;
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
HANDLE g_stopEvent = nullptr;
HANDLE g_worker = nullptr;
// Written by the worker at its start, taken away by the dispatcher thread on a stop.
std::atomic<HDEVNOTIFY> g_cdromNotification{nullptr};
std::atomic<HDEVNOTIFY> g_modemNotification{nullptr};
// Set while an arrival is handled; tested and set in one step.
std::atomic<bool> g_busy{false};
// Set once a fatal error is being reported: a failure met while reporting it (for instance
// another failed status report) is logged, but does not start the stop sequence again.
std::atomic<bool> g_fatalError{false};

// Clears the busy flag on every way out of an arrival.
class BusyScope {
public:
    BusyScope() = default;
    ~BusyScope() { g_busy.store(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
};

void StartAppLauncher() {
    HANDLE thread = CreateThread(nullptr, 0, AppLauncherThread, nullptr, 0, nullptr);
    if (thread != nullptr) CloseHandle(thread);  // nothing waits for it
}

void UnregisterNotification(std::atomic<HDEVNOTIFY>& notification) {
    HDEVNOTIFY handle = notification.exchange(nullptr);
    if (handle != nullptr) UnregisterDeviceNotification(handle);
}

// Waits for the worker, reporting a pending stop after every second it still runs. Returns the
// last wait's result.
DWORD WaitForWorker() {
    WORD checkPoint = 0;
    for (;;) {
        DWORD result = WaitForMultipleObjects(1, &g_worker, TRUE, 1000);
        if (result != WAIT_TIMEOUT) return result;
        SetTheServiceStatus(SERVICE_STOP_PENDING, 0, ++checkPoint, 3000);
    }
}

void CloseServiceHandles() {
    if (g_stopEvent != nullptr) CloseHandle(g_stopEvent);
    if (g_worker != nullptr) CloseHandle(g_worker);
    g_stopEvent = nullptr;
    g_worker = nullptr;
}

}  // namespace

void ServiceMain(DWORD argc, LPWSTR* argv) {
    g_fatalError.store(false);
    g_busy.store(false);
    g_serviceName = argc > 0 && argv != nullptr && argv[0] != nullptr ? argv[0] : L"";
    g_statusHandle =
        RegisterServiceCtrlHandlerExW(g_serviceName.c_str(), ServiceCtrlHandler, nullptr);
    if (g_statusHandle == nullptr) {
        // Without a status handle nothing can be reported or registered: nothing is started.
        ReportApiError(L"RegisterServiceCtrlHandlerEx");
        return;
    }
    g_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_stopEvent == nullptr) {
        ReportApiError(L"CreateEvent");
        return;
    }
    g_worker = CreateThread(nullptr, 0, ServiceWorkerThread, nullptr, 0, nullptr);
    if (g_worker == nullptr) {
        ReportApiError(L"CreateThread");
        CloseServiceHandles();
        return;
    }
    SetTheServiceStatus(SERVICE_RUNNING, 0, 0, 0);
    DebugLog(L"SetTheServiceStatus, SERVICE_RUNNING\n");
    if (g_fatalError.load()) {  // the status report failed: the service has been stopped
        CloseServiceHandles();
        return;
    }
    for (;;) {
        DWORD result = WaitForSingleObject(g_stopEvent, 1000);
        if (result == WAIT_OBJECT_0) break;
        if (result != WAIT_TIMEOUT) {
            ReportApiError(L"WaitForSingleObject");
            CloseServiceHandles();
            return;
        }
    }
    if (WaitForWorker() != WAIT_OBJECT_0) {
        ReportApiError(L"WaitForMultipleObjects");
        CloseServiceHandles();
        return;
    }
    bool closed = CloseHandle(g_stopEvent) != FALSE;
    g_stopEvent = nullptr;
    if (!closed) ReportApiError(L"CloseHandle");
    closed = CloseHandle(g_worker) != FALSE;
    g_worker = nullptr;
    if (!closed) ReportApiError(L"CloseHandle");
    if (g_fatalError.load()) return;
    DebugLog(L"SetTheServiceStatus, SERVICE_STOPPED\n");
    SetTheServiceStatus(SERVICE_STOPPED, 0, 0, 0);
}

DWORD ServiceCtrlHandler(DWORD control, DWORD eventType, LPVOID eventData, LPVOID) {
    DWORD state = SERVICE_RUNNING;
    switch (control) {
        case SERVICE_CONTROL_STOP:
            UnregisterNotification(g_cdromNotification);
            UnregisterNotification(g_modemNotification);
            state = SERVICE_STOP_PENDING;
            break;
        case SERVICE_CONTROL_SHUTDOWN:
            state = SERVICE_STOP_PENDING;  // the notifications stay registered
            break;
        case SERVICE_CONTROL_DEVICEEVENT:
            OnDeviceEvent(eventType, eventData);
            break;
        default:
            break;
    }
    SetTheServiceStatus(state, 0, 0, 0);
    DebugLog(L"SetTheServiceStatus, ServiceCtrl function\n");
    if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
        if (SetEvent(g_stopEvent))
            DebugLog(L"Signal ServiceMain thread\n");
        else
            ReportApiError(L"SetEvent");
    }
    return NO_ERROR;
}

void SetTheServiceStatus(DWORD state, DWORD win32ExitCode, DWORD checkPoint, DWORD waitHint) {
    SERVICE_STATUS status;
    std::memset(&status, 0, sizeof status);
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_START_PENDING ? 0 : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    status.dwWin32ExitCode = win32ExitCode;
    status.dwServiceSpecificExitCode = 0;
    status.dwCheckPoint = checkPoint;
    status.dwWaitHint = waitHint;
    if (!SetServiceStatus(g_statusHandle, &status)) ReportApiError(L"SetServiceStatus");
}

void ReportApiError(const wchar_t* apiName) {
    DWORD error = GetLastError();
    LPWSTR text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, error,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text), 0,
                   nullptr);
    DebugLog(L"API = %s, Error code = %d ,Message = %s", apiName, error, text ? text : L"");
    if (text != nullptr) LocalFree(text);
    if (g_fatalError.exchange(true)) return;
    if (g_stopEvent != nullptr) SetEvent(g_stopEvent);
    if (g_worker != nullptr) WaitForWorker();
    // The worker has ended: what it registered goes with the service, whatever ended it.
    UnregisterNotification(g_cdromNotification);
    UnregisterNotification(g_modemNotification);
    if (g_statusHandle != nullptr) SetTheServiceStatus(SERVICE_STOPPED, GetLastError(), 0, 0);
}

bool RegisterDevicePnPNotify(const GUID& interfaceGuid, HDEVNOTIFY& notification) {
    DEV_BROADCAST_DEVICEINTERFACE_W filter;
    std::memset(&filter, 0, sizeof filter);
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_reserved = 0;
    filter.dbcc_classguid = interfaceGuid;
    notification =
        RegisterDeviceNotificationW(g_statusHandle, &filter, DEVICE_NOTIFY_SERVICE_HANDLE);
    if (notification == nullptr) {
        DebugLog(L"RegisterDeviceNotification failed: %d\n", GetLastError());
        return false;
    }
    return true;
}

DWORD ServiceWorkerThread(LPVOID) {
    HDEVNOTIFY notification = nullptr;
    if (!RegisterDevicePnPNotify(GUID_DEVINTERFACE_CDROM, notification))
        DebugLog(L"RegisterDevicePnPNotify CDROM Fail.\n");
    g_cdromNotification.store(notification);
    notification = nullptr;
    if (!RegisterDevicePnPNotify(GUID_DEVINTERFACE_MODEM, notification))
        DebugLog(L"RegisterDevicePnPNotify Modem Fail.\n");
    g_modemNotification.store(notification);

    std::wstring cdrom;
    if (FindDeviceCdrom(cdrom)) OnDeviceEvent(DBT_DEVICEARRIVAL, nullptr);
    CWatchTimer::Instance().Arm(10000);
    while (WaitForSingleObject(g_stopEvent, 100) != WAIT_OBJECT_0) {
        if (!CWatchTimer::Instance().IsActive()) continue;
        DebugLog(L"StartMonitoring....");
        HWND warning = GetUnSafeRemoveWnd2K();
        if (IsWindow(warning)) {
            DebugLog(L"GetUnSafeRemoveWnd2K OK.");
            PostMessageW(warning, WM_CLOSE, 0, 0);
        }
    }
    return 0;
}

void OnDeviceEvent(DWORD eventType, LPVOID eventData) {
    if (!IsAppInstalled()) {
        // The software is gone: the program's own copy unregisters the service.
        std::wstring self =
            GetModuleFolder() + (Is64BitWindows() ? L"Ulvane64.exe" : L"Ulvane.exe");
        LaunchInUserSession(self.c_str(), L"-u", false, 0);
        return;
    }
    if (eventType == DBT_DEVICEARRIVAL) {
        DebugLog(L"Device Arrival Event %s", std::wstring(40, L'<').c_str());
        std::wstring modem;
        if (FindDeviceModem(modem)) CWatchTimer::Instance().Disarm();
        if (g_busy.exchange(true)) return;  // another arrival is being handled: dropped
        BusyScope busy;
        std::wstring cdrom;
        if (FindDeviceCdrom(cdrom)) {
            BYTE cdb[16];
            std::memset(cdb, 0, sizeof cdb);
            int length = 0;
            if (BuildSwitchCdb(0, cdb, length)) {
                CWatchTimer::Instance().Arm(CWatchTimer::kNoLimit);
                SendScsiCommand(cdrom, cdb, length);
                if (eventData != nullptr) StartAppLauncher();
            }
        } else if (SetUsbChipCdromState(false, true)) {
            StartAppLauncher();
        }
    } else if (eventType == DBT_DEVICEREMOVECOMPLETE) {
        DebugLog(L"Device Removal Event %s", std::wstring(41, L'>').c_str());
        std::wstring modem;
        if (!FindDeviceModem(modem)) CWatchTimer::Instance().Arm(10000);
    }
}

bool IsAppInstalled() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}
