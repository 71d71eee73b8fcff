#include "support/platform_helpers.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include <corecrt.h>
#include <windows.h>

namespace {

class LogState {
public:
    LogState() { InitializeCriticalSection(&m_lock); }
    CRITICAL_SECTION m_lock;
    bool m_firstCall = true;
    bool m_enabled = false;
    HANDLE m_file = INVALID_HANDLE_VALUE;
};

LogState& Log() {
    static LogState* state = new LogState();  // lives until the process ends
    return *state;
}

// Writes a line and its line feed to the log file as a text stream does: every line feed, also
// one inside the line, becomes CR LF, and the text is in the ANSI code page. A character the code
// page cannot hold is written as '?', so that one such character never silences the lines after
// it.
void WriteLogLine(HANDLE file, const wchar_t* line) {
    std::wstring text;
    for (const wchar_t* c = line; *c != 0; ++c) {
        if (*c == L'\n') text += L'\r';
        text += *c;
    }
    text += L"\r\n";
    int need = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    if (need <= 0) return;
    std::string bytes(static_cast<size_t>(need), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), need,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    FlushFileBuffers(file);
}

}  // namespace

void DebugLog(const wchar_t* format, ...) {
    LogState& log = Log();
    EnterCriticalSection(&log.m_lock);
    if (log.m_firstCall) {
        log.m_firstCall = false;
        std::wstring path = GetModuleFolder() + L"EnableLog.txt";
        if (FileExists(path)) {
            log.m_file =
                CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            log.m_enabled = true;  // also when the file could not be opened
        }
    }
    if (!log.m_enabled) {
        LeaveCriticalSection(&log.m_lock);
        return;
    }
    wchar_t line[256];
    std::memset(line, 0, sizeof line);
    va_list args;
    va_start(args, format);
    _vsnwprintf(line, 256, format, args);  // cuts a longer line at 255 characters
    va_end(args);

    if (log.m_file != INVALID_HANDLE_VALUE) WriteLogLine(log.m_file, line);
    OutputDebugStringW(line);
    crt::WriteConsoleText(std::wstring(line) + L"\n");
    LeaveCriticalSection(&log.m_lock);
}

bool EnableDebugPrivilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) return false;
    TOKEN_PRIVILEGES privileges;
    std::memset(&privileges, 0, sizeof privileges);
    if (!LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &privileges.Privileges[0].Luid))
        crt::printf("Can't   lookup   privilege   value.\n");
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr))
        crt::printf("Can't   adjust   privilege   value.\n");
    // A privilege the token does not hold is reported through the last error only.
    DWORD error = GetLastError();
    CloseHandle(token);
    return error == ERROR_SUCCESS;
}

int GetOsVersionCode() {
    OSVERSIONINFOW info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(&info)) return kOsUnknown;
    if (info.dwMajorVersion == 6) return kOsVista;
    if (info.dwMajorVersion == 4 && info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        if (info.dwMinorVersion == 10) return kOsWin98;
        if (info.dwMinorVersion == 90) return kOsWinMe;
    }
    if (info.dwMajorVersion == 5 && info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        if (info.dwMinorVersion == 0) return kOsWin2000;
        if (info.dwMinorVersion == 1) return kOsWinXP;
        if (info.dwMinorVersion == 2) return kOsWin2003;
    }
    return kOsUnknown;
}

namespace {
bool ComputeIs64BitWindows() {
    HMODULE kernel = LoadLibraryW(L"Kernel32.dll");
    if (kernel == nullptr) return false;
    bool result = false;
    auto getNative = reinterpret_cast<PGNSI>(GetProcAddress(kernel, "GetNativeSystemInfo"));
    if (getNative != nullptr) {
        SYSTEM_INFO info;
        std::memset(&info, 0, sizeof info);
        getNative(&info);
        result = info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
    }
    FreeLibrary(kernel);
    return result;
}
}  // namespace

bool Is64BitWindows() {
    static const bool is64 = ComputeIs64BitWindows();
    return is64;
}

bool FileExists(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    return true;
}

std::wstring GetModuleFolder() {
    wchar_t path[1024];
    std::memset(path, 0, sizeof path);
    GetModuleFileNameW(nullptr, path, 1024);
    std::wstring full = path;
    // The last character and the first are not looked at.
    for (std::size_t i = full.size() >= 2 ? full.size() - 2 : 0; i >= 1; --i) {
        if (full[i] == L'\\') return full.substr(0, i + 1);
    }
    return full;
}

BOOL CLibraryHolder::Release() {
    if (m_module == nullptr) return 0;
    BOOL result = FreeLibrary(m_module);
    m_module = nullptr;
    return result;
}

int HexDigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}
