// A small program that plays App on a machine server until App's windows exist: like App it
// opens the named semaphore "QOB Raza Zevi" (initial count 1, maximum 1) during its static
// initialisation and takes it with a 10 ms wait at start. Its first argument says what it does
// then:
//   hold READY QUIT      takes the semaphore (exit code 2 and "refused" when it cannot), sets
//                        the event READY, waits for the event QUIT, gives the semaphore back
//   sleep MS             sleeps MS of machine time, prints "woke at <tick>"
//   own MUTEX READY      creates the mutex MUTEX owned, sets READY, waits for ever
//   ownthread MUTEX READY  a thread creates the mutex MUTEX owned and ends; then sets READY and
//                        waits for ever
//   take MUTEX MS [READY]  opens the mutex MUTEX (and sets READY), waits MS (-1: INFINITE)
//                        for it: exit code 0 (taken), 3 (abandoned), 4 (time-out)
//   exit CODE            ends with ExitProcess(CODE)
//   regset KEY NAME TEXT writes the text as the value NAME of HKEY_LOCAL_MACHINE\KEY
//   regget KEY NAME      prints "value <text>", or "missing"
//   spawnas IMAGE ARGS...  starts "App.exe ARGS..." as the user of the process IMAGE (found in
//                        a process snapshot), in that user's desktop, as a service starts App;
//                        prints "started as <pid>" or what failed
//   spawn ARGS...        starts "App.exe ARGS..." (CreateProcessW), waits for its end, prints
//                        "child <exit code> at <tick>"
#include <windows.h>

#include <corecrt.h>

#include <string>

namespace {

struct InstanceSemaphore {
    HANDLE handle = CreateSemaphoreW(nullptr, 1, 1, L"QOB Raza Zevi");
    ~InstanceSemaphore() { CloseHandle(handle); }
} g_instance;

void Signal(const wchar_t* name) {
    HANDLE e = OpenEventW(EVENT_ALL_ACCESS, FALSE, name);
    SetEvent(e);
    CloseHandle(e);
}

void WaitFor(const wchar_t* name) {
    HANDLE e = CreateEventW(nullptr, TRUE, FALSE, name);
    WaitForSingleObject(e, INFINITE);
    CloseHandle(e);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"hold" && argc == 4) {
        if (WaitForSingleObject(g_instance.handle, 10) != WAIT_OBJECT_0) {
            crt::wprintf(L"refused\n");
            return 2;
        }
        crt::wprintf(L"running\n");
        Signal(argv[2]);
        WaitFor(argv[3]);
        ReleaseSemaphore(g_instance.handle, 1, nullptr);
        return 0;
    }
    if (mode == L"sleep" && argc == 3) {
        Sleep(static_cast<DWORD>(_wtoi(argv[2])));
        crt::wprintf(L"woke at %lu\n", static_cast<unsigned long>(GetTickCount()));
        return 0;
    }
    if (mode == L"own" && argc == 4) {
        HANDLE m = CreateMutexW(nullptr, TRUE, argv[2]);
        Signal(argv[3]);
        WaitFor(L"stand-in: never");
        CloseHandle(m);
        return 0;
    }
    if (mode == L"ownthread" && argc == 4) {
        static const wchar_t* name = argv[2];
        HANDLE thread = CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                CreateMutexW(nullptr, TRUE, name);  // the handle stays open: the mutex lives on
                return 0;
            },
            nullptr, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        Signal(argv[3]);
        WaitFor(L"stand-in: never");
        return 0;
    }
    if (mode == L"take" && (argc == 4 || argc == 5)) {
        HANDLE m = CreateMutexW(nullptr, FALSE, argv[2]);
        if (argc == 5) Signal(argv[4]);
        DWORD r = WaitForSingleObject(m, static_cast<DWORD>(_wtoi(argv[3])));
        crt::wprintf(L"wait %lu\n", static_cast<unsigned long>(r));
        return r == WAIT_OBJECT_0 ? 0 : r == WAIT_ABANDONED ? 3 : 4;
    }
    if (mode == L"exit" && argc == 3) ExitProcess(static_cast<UINT>(_wtoi(argv[2])));
    if (mode == L"regset" && argc == 5) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, argv[2], 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr) != ERROR_SUCCESS)
            return 1;
        std::wstring text = argv[4];
        LSTATUS rc = RegSetValueExW(key, argv[3], 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(text.c_str()),
                                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
        return rc == ERROR_SUCCESS ? 0 : 1;
    }
    if (mode == L"regget" && argc == 4) {
        HKEY key = nullptr;
        wchar_t text[256] = {};
        DWORD size = sizeof text - sizeof(wchar_t);
        DWORD type = 0;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, argv[2], 0, KEY_READ, &key) != ERROR_SUCCESS ||
            RegQueryValueExW(key, argv[3], nullptr, &type, reinterpret_cast<BYTE*>(text),
                             &size) != ERROR_SUCCESS) {
            crt::wprintf(L"missing\n");
            return 0;
        }
        RegCloseKey(key);
        crt::wprintf(L"value %s\n", text);
        return 0;
    }
    if (mode == L"spawnas" && argc > 3) {
        DWORD shell = 0;
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot, &entry); more && shell == 0;
             more = Process32NextW(snapshot, &entry))
            if (_wcsicmp(entry.szExeFile, argv[2]) == 0) shell = entry.th32ProcessID;
        CloseHandle(snapshot);
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, shell);
        HANDLE token = nullptr;
        if (process == nullptr || !OpenProcessToken(process, TOKEN_ALL_ACCESS, &token)) {
            crt::wprintf(L"no token of %s\n", argv[2]);
            return 1;
        }
        CloseHandle(process);
        std::wstring line = L"App.exe";
        for (int i = 3; i < argc; ++i) line += std::wstring(L" ") + argv[i];
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        wchar_t desktop[] = L"winsta0\\default";
        startup.lpDesktop = desktop;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessAsUserW(token, nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &info)) {
            crt::wprintf(L"CreateProcessAsUserW failed: %lu\n",
                         static_cast<unsigned long>(GetLastError()));
            return 1;
        }
        CloseHandle(token);
        crt::wprintf(L"started as %lu\n", static_cast<unsigned long>(info.dwProcessId));
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        return 0;
    }
    if (mode == L"spawn" && argc > 2) {
        std::wstring line = L"App.exe";
        for (int i = 2; i < argc; ++i) line += std::wstring(L" ") + argv[i];
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info)) {
            crt::wprintf(L"CreateProcessW failed: %lu\n", static_cast<unsigned long>(GetLastError()));
            return 1;
        }
        WaitForSingleObject(info.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(info.hProcess, &code);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        crt::wprintf(L"child %lu at %lu\n", static_cast<unsigned long>(code),
                     static_cast<unsigned long>(GetTickCount()));
        return 0;
    }
    crt::wprintf(L"usage: StandInApp hold|sleep|own|take|exit ...\n");
    return 1;
}
