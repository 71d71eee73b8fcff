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
//   regbin KEY NAME HEX  writes the bytes (two hex digits each) as the binary value NAME
//   regget KEY NAME      prints "value <text>" (a binary value's bytes in hex), or "missing"
//   spawnas IMAGE ARGS...  starts "App.exe ARGS..." as the user of the process IMAGE (found in
//                        a process snapshot), in that user's desktop, as a service starts App;
//                        prints "started as <pid>" or what failed
//   spawn ARGS...        starts "App.exe ARGS..." (CreateProcessW), waits for its end, prints
//                        "child <exit code> at <tick>"
//   devices PREFIX       prints "present <instance ID>" (and " problem <n>" when it has one) for
//                        each present device whose instance ID starts with PREFIX, in the
//                        machine's order
//   switch               sends the mode-switch command to the first CD-ROM's interface; prints
//                        "sent" or what failed
//   watch READY MS       a top-level window that prints each device interface arrival and
//                        removal it is sent ("arrival <name> at <tick>", "removal ..."); sets
//                        READY once it exists, ends MS later
//   port NAME READY      opens the COM port NAME ("open" or "error <code>", exit code 5); with it
//                        open, sets READY and waits for ever
//   (nothing)            as App is started by the service: sets the event "stand-in: App
//                        started" and ends
//   disable PREFIX       disables, in this hardware profile, the first present device whose
//                        instance ID starts with PREFIX; prints "disabled <instance ID>"
#include <windows.h>

#include <cfgmgr32.h>
#include <corecrt.h>
#include <dbt.h>
#include <devguid.h>
#include <ntddscsi.h>
#include <setupapi.h>

#include <cstring>
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

// Calls fn(set, device, instance ID) for each present device whose ID starts with the prefix,
// until it returns false.
template <typename Fn>
void ForPresentDevices(const std::wstring& prefix, Fn fn) {
    HDEVINFO set = SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        wchar_t id[512] = {};
        if (!SetupDiGetDeviceInstanceIdW(set, &device, id, 512, nullptr)) continue;
        if (_wcsicmp(std::wstring(id).substr(0, prefix.size()).c_str(), prefix.c_str()) == 0 &&
            !fn(set, device, id))
            break;
    }
    SetupDiDestroyDeviceInfoList(set);
}

// A pass-through request with room for what the device sends back.
struct PassThroughRequest {
    SCSI_PASS_THROUGH Spt;
    BYTE SenseBuf[32];
    BYTE DataBuf[192];
};

// The first present CD-ROM interface's path, or "".
std::wstring CdromPath() {
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_CDROM, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data;
    std::wstring path;
    if (SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_CDROM, 0, &data)) {
        alignas(8) BYTE buffer[1024] = {};
        auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(buffer);
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (SetupDiGetDeviceInterfaceDetailW(set, &data, detail, sizeof buffer, nullptr, nullptr))
            path = detail->DevicePath;
    }
    SetupDiDestroyDeviceInfoList(set);
    return path;
}

LRESULT CALLBACK WatchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DEVICECHANGE &&
        (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE)) {
        auto* header = reinterpret_cast<DEV_BROADCAST_HDR*>(lParam);
        if (header && header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
            auto* d = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(lParam);
            crt::wprintf(L"%s %s at %lu\n",
                         wParam == DBT_DEVICEARRIVAL ? L"arrival" : L"removal", d->dbcc_name,
                         static_cast<unsigned long>(GetTickCount()));
        }
        return TRUE;
    }
    if (message == WM_TIMER) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring mode = argc > 1 ? argv[1] : L"";
    if (argc == 1) {
        Signal(L"stand-in: App started");
        return 0;
    }
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
    if ((mode == L"regset" || mode == L"regbin") && argc == 5) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, argv[2], 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr) != ERROR_SUCCESS)
            return 1;
        std::wstring text = argv[4];
        std::string bytes(reinterpret_cast<const char*>(text.c_str()),
                          (text.size() + 1) * sizeof(wchar_t));
        if (mode == L"regbin") {
            bytes.clear();
            for (std::size_t i = 0; i + 1 < text.size(); i += 2)
                bytes += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
        }
        LSTATUS rc = RegSetValueExW(key, argv[3], 0, mode == L"regbin" ? REG_BINARY : REG_SZ,
                                    reinterpret_cast<const BYTE*>(bytes.data()),
                                    static_cast<DWORD>(bytes.size()));
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
        if (type == REG_BINARY) {
            std::wstring hex;
            for (DWORD i = 0; i < size; ++i) {
                BYTE b = reinterpret_cast<const BYTE*>(text)[i];
                hex += L"0123456789ABCDEF"[b >> 4];
                hex += L"0123456789ABCDEF"[b & 15];
            }
            crt::wprintf(L"value %s\n", hex.c_str());
            return 0;
        }
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
    if (mode == L"devices" && argc == 3) {
        ForPresentDevices(argv[2], [](HDEVINFO, SP_DEVINFO_DATA& device, const wchar_t* id) {
            ULONG status = 0, problem = 0;
            CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0);
            if (problem != 0)
                crt::wprintf(L"present %s problem %lu\n", id, problem);
            else
                crt::wprintf(L"present %s\n", id);
            return true;
        });
        return 0;
    }
    if (mode == L"switch" && argc == 2) {
        std::wstring path = CdromPath();
        HANDLE device = path.empty() ? INVALID_HANDLE_VALUE
                                     : CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                   OPEN_EXISTING, 0, nullptr);
        if (device == INVALID_HANDLE_VALUE) {
            crt::wprintf(L"no CD-ROM: %lu\n", static_cast<unsigned long>(GetLastError()));
            return 1;
        }
        PassThroughRequest request;
        std::memset(&request, 0, sizeof request);
        request.Spt.Length = sizeof(SCSI_PASS_THROUGH);
        request.Spt.CdbLength = 6;
        request.Spt.DataIn = SCSI_IOCTL_DATA_IN;
        request.Spt.DataTransferLength = 192;
        request.Spt.DataBufferOffset = offsetof(PassThroughRequest, DataBuf);
        request.Spt.Cdb[0] = 0x9F;
        request.DataBuf[0] = 0x5A;  // the device writes no data: the byte comes back as it was
        DWORD returned = 0;
        BOOL ok = DeviceIoControl(device, IOCTL_SCSI_PASS_THROUGH, &request,
                                  sizeof(SCSI_PASS_THROUGH), &request,
                                  request.Spt.DataBufferOffset + request.Spt.DataTransferLength,
                                  &returned, nullptr);
        CloseHandle(device);
        crt::wprintf(L"%s status %u data %02x\n", ok ? L"sent" : L"failed",
                     static_cast<unsigned>(request.Spt.ScsiStatus),
                     static_cast<unsigned>(request.DataBuf[0]));
        return ok ? 0 : 1;
    }
    if (mode == L"watch" && argc == 4) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = WatchProc;
        wc.lpszClassName = L"StandInWatch";
        RegisterClassW(&wc);
        HWND window = CreateWindowExW(0, L"StandInWatch", L"watch", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                                      100, nullptr, nullptr, nullptr, nullptr);
        SetTimer(window, 1, static_cast<UINT>(_wtoi(argv[3])), nullptr);
        Signal(argv[2]);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
        DestroyWindow(window);
        return 0;
    }
    if (mode == L"port" && argc == 4) {
        std::wstring path = std::wstring(L"\\\\.\\") + argv[2];
        HANDLE port = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (port == INVALID_HANDLE_VALUE) {
            crt::wprintf(L"error %lu\n", static_cast<unsigned long>(GetLastError()));
            return 5;
        }
        crt::wprintf(L"open\n");
        Signal(argv[3]);
        WaitFor(L"stand-in: never");
        CloseHandle(port);
        return 0;
    }
    if (mode == L"disable" && argc == 3) {
        ForPresentDevices(argv[2], [](HDEVINFO set, SP_DEVINFO_DATA& device, const wchar_t* id) {
            SP_PROPCHANGE_PARAMS params = {};
            params.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
            params.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
            params.StateChange = DICS_DISABLE;
            params.Scope = DICS_FLAG_CONFIGSPECIFIC;
            if (SetupDiSetClassInstallParamsW(set, &device, &params.ClassInstallHeader,
                                              sizeof params) &&
                SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, &device))
                crt::wprintf(L"disabled %s\n", id);
            return false;
        });
        return 0;
    }
    crt::wprintf(L"usage: StandInApp hold|sleep|own|take|exit ...\n");
    return 1;
}
