// Version and system information, debug output, and process tokens and privileges.
#include <cstring>
#include <cwchar>

#include <winbase.h>
#include "machine/codepage.h"
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/processes.h"
#include "machine/trace.h"

using sim::Fail;
using sim::TokenObj;

// ---- Version and system information ----

BOOL GetVersionExW(LPOSVERSIONINFOW info) {
    API_TRACE(Kernel, GetVersionExW, info);
    if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW))
        return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    const auto& c = sim::machine().config();
    info->dwMajorVersion = c.major;
    info->dwMinorVersion = c.minor;
    info->dwBuildNumber = c.build;
    info->dwPlatformId = c.platformId;
    std::wmemset(info->szCSDVersion, 0, 128);
    std::wcsncpy(info->szCSDVersion, c.servicePack.c_str(), 127);
    return TRUE;
}

void GetSystemInfo(LPSYSTEM_INFO info) {
    API_TRACE_VOID(Kernel, GetSystemInfo, info);
    std::memset(info, 0, sizeof *info);
    info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
    info->dwPageSize = 4096;
    info->dwNumberOfProcessors = 1;
    info->dwActiveProcessorMask = 1;
    info->dwProcessorType = 586;
    info->dwAllocationGranularity = 65536;
}

// ---- Debug output ----

void OutputDebugStringW(LPCWSTR text) {
    API_TRACE_VOID(Kernel, OutputDebugStringW, text);
    if (text) sim::machine().AppendDebugOutput(text);
}

void OutputDebugStringA(LPCSTR text) {
    API_TRACE_VOID(Kernel, OutputDebugStringA, text);
    if (text == nullptr) return;
    // Narrow text is in the machine's ANSI code page.
    std::wstring wide;
    if (!sim::CodePageToWide(text, sim::machine().config().ansiCodePage, &wide))
        wide = sim::FromUtf8(text);
    sim::machine().AppendDebugOutput(wide);
}

// ---- Tokens and privileges ----

BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    API_TRACE(Kernel, OpenProcessToken, process, access, token);
    if (token == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    // The running program's pseudo handle, or a handle from OpenProcess or CreateProcess.
    std::wstring user;
    if (!sim::ProcessHandleUser(process, &user)) return Fail(FALSE, ERROR_INVALID_HANDLE);
    *token = sim::HandleTable::Get().Add(std::make_shared<TokenObj>(access, user));
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL LookupPrivilegeValueW(LPCWSTR systemName, LPCWSTR name, LUID* luid) {
    API_TRACE(Kernel, LookupPrivilegeValueW, systemName, name, luid);
    static const struct {
        const wchar_t* name;
        DWORD value;
    } known[] = {{L"SeTcbPrivilege", 7},          {L"SeLoadDriverPrivilege", 10},
                 {L"SeBackupPrivilege", 17},      {L"SeRestorePrivilege", 18},
                 {L"SeShutdownPrivilege", 19},    {L"SeDebugPrivilege", 20},
                 {L"SeChangeNotifyPrivilege", 23}};
    if (name == nullptr || luid == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    for (const auto& k : known) {
        if (sim::Lower(k.name) == sim::Lower(name)) {
            luid->LowPart = k.value;
            luid->HighPart = 0;
            return TRUE;
        }
    }
    return Fail(FALSE, ERROR_NO_SUCH_PRIVILEGE);
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD arg4,
                           PTOKEN_PRIVILEGES arg5, PDWORD arg6) {
    API_TRACE(Kernel, AdjustTokenPrivileges, token, disableAll, newState, arg4, arg5, arg6);
    auto t = sim::HandleTable::Get().FindAs<TokenObj>(token);
    if (!t) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (!(t->access & TOKEN_ADJUST_PRIVILEGES)) return Fail(FALSE, ERROR_ACCESS_DENIED);
    if (disableAll || newState == nullptr) return Fail(TRUE, ERROR_SUCCESS);
    bool all = true;
    for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
        const LUID& l = newState->Privileges[i].Luid;
        bool held =
            l.HighPart == 0 && (l.LowPart == 23 || l.LowPart == 19 ||
                                (l.LowPart == 20 && sim::machine().config().hasDebugPrivilege));
        all = all && held;
    }
    // Success with ERROR_NOT_ALL_ASSIGNED when the token lacks one of the privileges.
    return Fail(TRUE, all ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
}
