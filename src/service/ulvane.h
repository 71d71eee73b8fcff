// The disk monitor service: its command line, service host, device-event handling, the start of
// App in the user's desktop and the Windows 2000 removal-warning watcher.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include <windows.h>

// The service's name, also its display name.
inline constexpr wchar_t kServiceName[] = L"REriz Avadovi";
// The setup package's entry in the system's list of installed programs.
inline constexpr wchar_t kUninstallKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QOBWireless-101_is1";

// ---- Command line ----

// The program's wide main: runs the command line and returns 0 whatever happened.
int UlvaneMain(int argc, wchar_t** argv);
// No option: hands the thread to the service dispatcher. Otherwise acts on argv[1].
void RunCommandLine(int argc, wchar_t** argv);
void StartServiceDispatcher();

// Registers, starts, stops and removes the service; one command's worth of handles.
class CServiceController {
public:
    CServiceController() = default;
    ~CServiceController() { Release(); }
    CServiceController(const CServiceController&) = delete;
    CServiceController& operator=(const CServiceController&) = delete;

    // Takes the running program's path and the service name.
    void Fill();
    // Closes the service handle, then the manager handle.
    void Release();
    bool Open();
    void Create();
    void Start();
    void Stop();
    void Delete();

    const std::wstring& ProgramPath() const { return m_programPath; }

private:
    void StopDependents();

    std::wstring m_programPath;
    bool m_pathCut = false;  // the path did not fit the buffer: it is not registered
    std::wstring m_serviceName;
    SC_HANDLE m_manager = nullptr;
    SC_HANDLE m_service = nullptr;
};

// How long to sleep between two status polls: a tenth of the wait hint, at least 1 s and at most
// 10 s.
DWORD StatusPollWait(DWORD waitHint);

// ---- Service host ----

void ServiceMain(DWORD argc, LPWSTR* argv);
DWORD ServiceCtrlHandler(DWORD control, DWORD eventType, LPVOID eventData, LPVOID context);
void SetTheServiceStatus(DWORD state, DWORD win32ExitCode, DWORD checkPoint, DWORD waitHint);
void ReportApiError(const wchar_t* apiName);
bool RegisterDevicePnPNotify(const GUID& interfaceGuid, HDEVNOTIFY& notification);
DWORD ServiceWorkerThread(LPVOID parameter);
void OnDeviceEvent(DWORD eventType, LPVOID eventData);
bool IsAppInstalled();

// ---- Starting App ----

DWORD AppLauncherThread(LPVOID parameter);
bool LaunchInUserSession(const wchar_t* imagePath, const wchar_t* arguments, bool show,
                         DWORD waitMs);
bool GetTokenByName(HANDLE& token, const wchar_t* imageName);

// ---- Windows 2000 removal-warning watcher ----

// Armed only on Windows 2000; shared by the dispatcher thread and the worker.
class CWatchTimer {
public:
    static constexpr DWORD kNoLimit = 0xFFFFFFFFu;
    static CWatchTimer& Instance();
    void Arm(DWORD timeoutMs);
    void Disarm();
    // Disarms itself once the timeout has passed (the tick count's wrap is harmless).
    bool IsActive();

private:
    CWatchTimer();
    CRITICAL_SECTION m_lock;
    DWORD m_timeout = 0;
    DWORD m_startTick = 0;
    bool m_active = false;
};

HWND GetUnSafeRemoveWnd2K();
bool IsUnsafeRemovalWarning(HWND window);
void FindChildWindowsByClass(HWND window, const wchar_t* className, std::vector<HWND>& out);
