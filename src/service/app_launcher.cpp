#include <cstring>
#include <string>
#include <vector>

#include <corecrt.h>
#include <windows.h>
#include "service/ulvane.h"
#include "support/device_control.h"
#include "support/platform_helpers.h"

namespace {

constexpr DWORD kPresenceWaitMs = 120000;
constexpr DWORD kPresencePollMs = 500;
wchar_t g_userDesktop[] = L"winsta0\\default";

using AppIsRunningFn = int (*)();

}  // namespace

DWORD AppLauncherThread(LPVOID) {
    DWORD startTick = GetTickCount();
    do {
        Sleep(kPresencePollMs);
        if (!IsDevicePresent()) continue;
        std::wstring folder = GetModuleFolder();
        // By its full path: a service running as LocalSystem must not load whatever library of
        // that name the search path offers.
        CLibraryHolder harlune(LoadLibraryW((folder + L"Harlune.dll").c_str()));
        if (harlune.Get() != nullptr) {
            auto appIsRunning =
                reinterpret_cast<AppIsRunningFn>(GetProcAddress(harlune.Get(), "AppIsRunning"));
            if (appIsRunning != nullptr) {
                int running = appIsRunning();
                DebugLog(L"AppIsRunning %d", running);
                if (running != 0) return 0;
            }
        }
        std::wstring app = folder + L"App.exe";
        LaunchInUserSession(app.c_str(), nullptr, true, 0);
        DebugLog(L"%s", app.c_str());
        return 0;
    } while (GetTickCount() - startTick <= kPresenceWaitMs);
    return 0;
}

bool LaunchInUserSession(const wchar_t* imagePath, const wchar_t* arguments, bool show,
                         DWORD waitMs) {
    if (imagePath == nullptr) return false;
    HANDLE token = nullptr;
    if (!GetTokenByName(token, L"EXPLORER.EXE")) {
        DebugLog(L"GetTokenByName FAIL: %d\n", GetLastError());
        return false;
    }
    STARTUPINFOW startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.lpDesktop = g_userDesktop;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show ? SW_SHOWNORMAL : SW_HIDE;
    DebugLog(L"CreateProcessAsUser: Image: %s, Cmdline: %s\n", imagePath, arguments);

    std::wstring line = L"\"" + std::wstring(imagePath) + L"\" " + (arguments ? arguments : L"");
    std::vector<wchar_t> commandLine(line.begin(), line.end());
    commandLine.push_back(L'\0');
    PROCESS_INFORMATION info;
    std::memset(&info, 0, sizeof info);
    BOOL started = CreateProcessAsUserW(token, nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                                        NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &info);
    if (started) {
        WaitForSingleObject(info.hProcess, waitMs);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    CloseHandle(token);
    DebugLog(started ? L"CreateProcessAsUser OK!\n" : L"CreateProcessAsUser FALSE!\n");
    return started != FALSE;
}

bool GetTokenByName(HANDLE& token, const wchar_t* imageName) {
    if (imageName == nullptr) return false;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, imageName) != 0) continue;
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, entry.th32ProcessID);
        BOOL opened = OpenProcessToken(process, TOKEN_ALL_ACCESS, &token);
        DWORD error = GetLastError();
        if (process != nullptr) CloseHandle(process);
        CloseHandle(snapshot);
        SetLastError(error);
        return opened != FALSE;
    }
    CloseHandle(snapshot);
    return false;
}
