// Small helpers every program carries: the diagnostic log, the Windows version code, the
// bitness test, the file test, the program folder, the library holder and the debug privilege.
#pragma once

#include <string>

#include <windows.h>

// Formats one line (at most 255 characters; a longer one is cut) and, when "EnableLog.txt" was
// in the program folder at the first call of the run, writes it to that file, to the debugger
// output and to the console. "%s" takes a wide string.
void DebugLog(const wchar_t* format, ...);

// Switches on "SeDebugPrivilege" in the process token; true when it was granted.
bool EnableDebugPrivilege();

// The Windows version as a code (one of the kOs constants below).
int GetOsVersionCode();
constexpr int kOsUnknown = 0;  // any other version
constexpr int kOsWin98 = 1;    // 4.10 on the 9x line
constexpr int kOsWinMe = 2;    // 4.90 on the 9x line
constexpr int kOsWin2000 = 3;  // 5.0 on NT
constexpr int kOsWinXP = 4;    // 5.1 on NT
constexpr int kOsWin2003 = 5;  // 5.2 on NT (also XP x64)
constexpr int kOsVista = 6;    // any 6.x (Vista and later)

// Whether this is 64-bit Windows; worked out once per process.
bool Is64BitWindows();

// Whether a file or folder matches the path (wildcards allowed).
bool FileExists(const std::wstring& path);

// The running program's folder, ending in a backslash.
std::wstring GetModuleFolder();

// The value of a hexadecimal digit ("0"-"9", "a"-"f", "A"-"F"), or -1 for any other character.
int HexDigitValue(wchar_t c);

// Holds a loaded library and frees it when released or destroyed.
class CLibraryHolder {
public:
    CLibraryHolder() = default;
    explicit CLibraryHolder(HMODULE module) : m_module(module) {}
    ~CLibraryHolder() { Release(); }
    CLibraryHolder(const CLibraryHolder&) = delete;
    CLibraryHolder& operator=(const CLibraryHolder&) = delete;

    void Attach(HMODULE module) {
        Release();
        m_module = module;
    }
    HMODULE Get() const { return m_module; }
    // FreeLibrary's result, or 0 when nothing was held.
    BOOL Release();

private:
    HMODULE m_module = nullptr;
};
