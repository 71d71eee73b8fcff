#include <cstring>

#include <corecrt.h>
#include <windows.h>
#include "service/ulvane.h"
#include "support/device_control.h"
#include "support/platform_helpers.h"
#include "support/scsi_switch.h"

namespace {

// Room for the program's path; a longer one is refused rather than registered cut.
constexpr DWORD kPathBufferChars = 1024;
constexpr DWORD kStopBudgetMs = 30000;

bool IsOption(const wchar_t* arg, const wchar_t* option) {
    return _wcsicmp(arg, option) == 0;
}

wchar_t g_dispatchName[] = L"";

// The next poll's sleep, kept inside what is left of the stop budget.
DWORD StopPollWait(DWORD waitHint, DWORD startTick) {
    DWORD wait = StatusPollWait(waitHint);
    DWORD elapsed = GetTickCount() - startTick;
    if (elapsed <= kStopBudgetMs && wait > kStopBudgetMs - elapsed + 1)
        wait = kStopBudgetMs - elapsed + 1;
    return wait;
}

bool QueryStatus(SC_HANDLE service, SERVICE_STATUS_PROCESS& status) {
    DWORD needed = 0;
    return QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<LPBYTE>(&status),
                                sizeof status, &needed) != FALSE;
}

}  // namespace

DWORD StatusPollWait(DWORD waitHint) {
    DWORD wait = waitHint / 10;
    if (wait < 1000) wait = 1000;
    if (wait > 10000) wait = 10000;
    return wait;
}

int UlvaneMain(int argc, wchar_t** argv) {
    RunCommandLine(argc, argv);
    return 0;
}

void RunCommandLine(int argc, wchar_t** argv) {
    if (argc < 2) {
        StartServiceDispatcher();
        return;
    }
    const wchar_t* option = argv[1];
    if (option == nullptr) return;
    CServiceController controller;
    controller.Fill();
    if (IsOption(option, L"-Register") || IsOption(option, L"-R")) {
        controller.Create();
        controller.Start();
    } else if (IsOption(option, L"-Unregister") || IsOption(option, L"-U")) {
        controller.Stop();
        controller.Delete();
        SetUsbChipCdromState(true, false);
    } else if (IsOption(option, L"-Start")) {
        controller.Start();
    } else if (IsOption(option, L"-Stop")) {
        controller.Stop();
    } else if (IsOption(option, L"-SafeRemove")) {
        EjectDevice();
    } else if (IsOption(option, L"-CDB")) {
        if (argc == 3 && argv[2] != nullptr) {
            SendCdbHex(argv[2], L"");
        } else if (argc == 4 && argv[2] != nullptr && argv[3] != nullptr) {
            SendCdbHex(argv[2], argv[3]);
        }
    }
}

void StartServiceDispatcher() {
    DebugLog(L"Ulvane Entered service code.\n");
    SERVICE_TABLE_ENTRYW table[] = {{g_dispatchName, ServiceMain}, {nullptr, nullptr}};
    if (StartServiceCtrlDispatcherW(table))
        DebugLog(L"StartServiceCtrlDispatcher OK.\n");
    else
        DebugLog(L"StartServiceCtrlDispatcher Error code : %u.\n", GetLastError());
}

// ---- CServiceController ----

void CServiceController::Fill() {
    std::vector<wchar_t> path(kPathBufferChars, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, path.data(), kPathBufferChars);
    m_pathCut = length == 0 || length >= kPathBufferChars;
    m_programPath = m_pathCut ? L"" : path.data();
    m_serviceName = kServiceName;
}

void CServiceController::Release() {
    if (m_service) CloseServiceHandle(m_service);
    if (m_manager) CloseServiceHandle(m_manager);
    m_service = nullptr;
    m_manager = nullptr;
}

bool CServiceController::Open() {
    Release();
    m_manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (m_manager == nullptr) {
        DebugLog(L"OpenSCManager FAILED (%d)\n", GetLastError());
        return false;
    }
    m_service = OpenServiceW(m_manager, m_serviceName.c_str(), SERVICE_ALL_ACCESS);
    if (m_service == nullptr) {
        DebugLog(L"OpenService FAILED (%d)\n", GetLastError());
        return false;
    }
    return true;
}

void CServiceController::Create() {
    Release();
    m_manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (m_manager == nullptr) {
        DebugLog(L"OpenSCManager FAILED (%d)\n", GetLastError());
        return;
    }
    if (m_pathCut) {
        DebugLog(L"GetModuleFileName FAILED (%d)\n", ERROR_INSUFFICIENT_BUFFER);
        return;
    }
    // Quoted, so that a path with blanks cannot be read as a shorter program's path.
    std::wstring binaryPath = L"\"" + m_programPath + L"\"";
    m_service = CreateServiceW(
        m_manager, m_serviceName.c_str(), m_serviceName.c_str(), SERVICE_ALL_ACCESS,
        SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, SERVICE_AUTO_START,
        SERVICE_ERROR_NORMAL, binaryPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (m_service != nullptr)
        DebugLog(L"CreateService  Successfully.\n");
    else
        DebugLog(L"CreateService FAILED (%d)\n", GetLastError());
}

void CServiceController::Start() {
    if (!Open()) return;
    if (!StartServiceW(m_service, 0, nullptr)) {
        DebugLog(L"StartService FAILED (%d)\n", GetLastError());
        return;
    }
    DebugLog(L"Service start pending...\n");
    SERVICE_STATUS_PROCESS status;
    std::memset(&status, 0, sizeof status);
    if (!QueryStatus(m_service, status)) return;
    ChangeServiceConfigW(m_service, SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS,
                         SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr);
    DWORD startTick = GetTickCount();
    DWORD oldCheckPoint = status.dwCheckPoint;
    while (status.dwCurrentState == SERVICE_START_PENDING) {
        Sleep(StatusPollWait(status.dwWaitHint));
        if (!QueryStatus(m_service, status)) break;
        if (status.dwCheckPoint > oldCheckPoint) {
            startTick = GetTickCount();
            oldCheckPoint = status.dwCheckPoint;
        } else if (GetTickCount() - startTick > status.dwWaitHint) {
            break;
        }
    }
    if (status.dwCurrentState == SERVICE_RUNNING) {
        DebugLog(L"Service started successfully.\n");
    } else {
        DebugLog(L"Service not started.");
        DebugLog(L"Current State: %d, Exit Code: %d, Check Point: %d, Wait Hint: %d\n",
                 status.dwCurrentState, status.dwWin32ExitCode, status.dwCheckPoint,
                 status.dwWaitHint);
    }
}

void CServiceController::Stop() {
    DWORD startTick = GetTickCount();
    if (!Open()) return;
    SERVICE_STATUS_PROCESS status;
    std::memset(&status, 0, sizeof status);
    auto query = [&] {
        if (QueryStatus(m_service, status)) return true;
        DebugLog(L"QueryServiceStatusEx FAILED (%d)\n", GetLastError());
        return false;
    };
    if (!query()) return;
    if (status.dwCurrentState == SERVICE_STOPPED) {
        DebugLog(L"Service is already stopped.\n");
        return;
    }
    while (status.dwCurrentState == SERVICE_STOP_PENDING) {
        DebugLog(L"Service stop pending...\n");
        Sleep(StopPollWait(status.dwWaitHint, startTick));
        if (!query()) return;
        if (status.dwCurrentState == SERVICE_STOPPED) {
            DebugLog(L"Service stopped successfully.\n");
            return;
        }
        if (GetTickCount() - startTick > kStopBudgetMs) {
            DebugLog(L"Service stop timed out.\n");
            return;
        }
    }
    StopDependents();
    // SERVICE_STATUS_PROCESS begins with the fields of SERVICE_STATUS.
    if (!ControlService(m_service, SERVICE_CONTROL_STOP,
                        reinterpret_cast<LPSERVICE_STATUS>(&status))) {
        DebugLog(L"ControlService FAILED (%d)\n", GetLastError());
        return;
    }
    while (status.dwCurrentState != SERVICE_STOPPED) {
        Sleep(StopPollWait(status.dwWaitHint, startTick));
        if (!query()) return;
        if (status.dwCurrentState == SERVICE_STOPPED) break;
        if (GetTickCount() - startTick > kStopBudgetMs) {
            DebugLog(L"Wait timed out\n");
            return;
        }
    }
    DebugLog(L"Service stopped successfully\n");
}

void CServiceController::StopDependents() {
    DWORD startTick = GetTickCount();
    DWORD needed = 0, count = 0;
    if (EnumDependentServicesW(m_service, SERVICE_ACTIVE, nullptr, 0, &needed, &count)) return;
    if (GetLastError() != ERROR_MORE_DATA) return;
    auto* dependents =
        static_cast<LPENUM_SERVICE_STATUSW>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, needed));
    if (dependents == nullptr) return;
    if (!EnumDependentServicesW(m_service, SERVICE_ACTIVE, dependents, needed, &needed, &count)) {
        HeapFree(GetProcessHeap(), 0, dependents);
        return;
    }
    for (DWORD i = 0; i < count; ++i) {
        SC_HANDLE dependent = OpenServiceW(m_manager, dependents[i].lpServiceName,
                                           SERVICE_STOP | SERVICE_QUERY_STATUS);
        if (dependent == nullptr) break;
        SERVICE_STATUS_PROCESS status;
        std::memset(&status, 0, sizeof status);
        bool stopped = ControlService(dependent, SERVICE_CONTROL_STOP,
                                      reinterpret_cast<LPSERVICE_STATUS>(&status)) != FALSE;
        while (stopped && status.dwCurrentState != SERVICE_STOPPED) {
            Sleep(StopPollWait(status.dwWaitHint, startTick));
            if (!QueryStatus(dependent, status) || (status.dwCurrentState != SERVICE_STOPPED &&
                                                    GetTickCount() - startTick > kStopBudgetMs))
                stopped = false;
        }
        CloseServiceHandle(dependent);
        if (!stopped) break;
    }
    HeapFree(GetProcessHeap(), 0, dependents);
}

void CServiceController::Delete() {
    if (!Open()) return;
    if (DeleteService(m_service))
        DebugLog(L"Service deleted successfully\n");
    else
        DebugLog(L"DeleteService FAILED (%d)\n", GetLastError());
}
