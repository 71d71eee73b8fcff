// A small program of the machine server's tests that dials through RAS as App does and prints
// what it sees. Its first argument says what it does:
//   entry NAME DEVICE NUMBER   writes the default phone book's entry NAME (exit code: the error)
//   getentry NAME              prints "device <device> number <number>", or "error <code>"
//   dial NAME USER READY QUIT  dials NAME as USER (password "secret"), printing each notification
//                              ("state <n> error <e> at +<ms after the dial>"); sets READY after
//                              the last one (or when RasDialW fails: "dial error <e>"); once QUIT
//                              is set prints "status <state> error <e>" and "sent <n> received
//                              <n>", hangs up and prints "hangup <result>"
//   watch NAME USER READY DROPPED QUIT  dials NAME; once connected sets READY, then looks at the
//                              status every 100 ms of machine time until the line is down, prints
//                              "dropped error <e>", sets DROPPED, and after QUIT hangs up
//   enum                       prints each connection of the machine: "conn <entry> <device>
//                              state <n> error <e>", or "none"
#include <windows.h>

#include <corecrt.h>
#include <ras.h>

#include <cwchar>
#include <string>

namespace {

DWORD g_dialTick = 0;
HANDLE g_ready = nullptr;

void Signal(const wchar_t* name) {
    HANDLE e = CreateEventW(nullptr, TRUE, FALSE, name);
    SetEvent(e);
    CloseHandle(e);
}

void WaitFor(const wchar_t* name) {
    HANDLE e = CreateEventW(nullptr, TRUE, FALSE, name);
    WaitForSingleObject(e, INFINITE);
    CloseHandle(e);
}

void CALLBACK Notify(HRASCONN, UINT, RASCONNSTATE state, DWORD error, DWORD) {
    crt::wprintf(L"state %u error %lu at +%lu\n", static_cast<unsigned>(state),
                 static_cast<unsigned long>(error),
                 static_cast<unsigned long>(GetTickCount() - g_dialTick));
    if (error != 0 || state == RASCS_Connected) SetEvent(g_ready);
}

// Dials the entry; the connection's handle, or null (printed).
HRASCONN Dial(const wchar_t* entry, const wchar_t* user) {
    RASDIALPARAMSW params = {};
    params.dwSize = sizeof params;
    wcsncpy(params.szEntryName, entry, RAS_MaxEntryName);
    wcsncpy(params.szUserName, user, UNLEN);
    wcsncpy(params.szPassword, L"secret", PWLEN);
    HRASCONN connection = nullptr;
    g_dialTick = GetTickCount();
    DWORD rc = RasDialW(nullptr, nullptr, &params, 1, reinterpret_cast<LPVOID>(&Notify),
                        &connection);
    if (rc != 0) {
        crt::wprintf(L"dial error %lu\n", static_cast<unsigned long>(rc));
        if (connection == nullptr) SetEvent(g_ready);
    }
    return connection;
}

RASCONNSTATUSW Status(HRASCONN connection, DWORD* rc) {
    RASCONNSTATUSW status = {};
    status.dwSize = sizeof status;
    *rc = RasGetConnectStatusW(connection, &status);
    return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"entry" && argc == 5) {
        RASENTRYW entry = {};
        entry.dwSize = sizeof entry;
        wcsncpy(entry.szDeviceType, RASDT_Modem, RAS_MaxDeviceType);
        wcsncpy(entry.szDeviceName, argv[3], RAS_MaxDeviceName);
        wcsncpy(entry.szLocalPhoneNumber, argv[4], RAS_MaxPhoneNumber);
        return static_cast<int>(RasSetEntryPropertiesW(nullptr, argv[2], &entry, sizeof entry,
                                                       nullptr, 0));
    }
    if (mode == L"getentry" && argc == 3) {
        RASENTRYW entry = {};
        entry.dwSize = sizeof entry;
        DWORD size = sizeof entry;
        DWORD rc = RasGetEntryPropertiesW(nullptr, argv[2], &entry, &size, nullptr, nullptr);
        if (rc != 0)
            crt::wprintf(L"error %lu\n", static_cast<unsigned long>(rc));
        else
            crt::wprintf(L"device %s number %s\n", entry.szDeviceName, entry.szLocalPhoneNumber);
        return 0;
    }
    if ((mode == L"dial" && argc == 6) || (mode == L"watch" && argc == 7)) {
        g_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HRASCONN connection = Dial(argv[2], argv[3]);
        WaitForSingleObject(g_ready, INFINITE);
        Signal(argv[4]);
        DWORD rc = 0;
        if (mode == L"watch") {
            RASCONNSTATUSW status = Status(connection, &rc);
            for (int i = 0; i < 600 && rc == 0 && status.rasconnstate != RASCS_Disconnected; ++i) {
                Sleep(100);
                status = Status(connection, &rc);
            }
            crt::wprintf(L"dropped error %lu\n", static_cast<unsigned long>(status.dwError));
            Signal(argv[5]);
        }
        WaitFor(argv[mode == L"watch" ? 6 : 5]);
        if (connection == nullptr) return 0;
        RASCONNSTATUSW status = Status(connection, &rc);
        crt::wprintf(L"status %u error %lu\n", static_cast<unsigned>(status.rasconnstate),
                     static_cast<unsigned long>(status.dwError));
        RAS_STATS stats = {};
        stats.dwSize = sizeof stats;
        if (RasGetConnectionStatistics(connection, &stats) == 0)
            crt::wprintf(L"sent %lu received %lu\n", static_cast<unsigned long>(stats.dwBytesXmited),
                         static_cast<unsigned long>(stats.dwBytesRcved));
        crt::wprintf(L"hangup %lu\n", static_cast<unsigned long>(RasHangUpW(connection)));
        return 0;
    }
    if (mode == L"enum" && argc == 2) {
        RASCONNW connections[8] = {};
        connections[0].dwSize = sizeof(RASCONNW);
        DWORD size = sizeof connections, count = 0;
        DWORD rc = RasEnumConnectionsW(connections, &size, &count);
        if (rc != 0) {
            crt::wprintf(L"enum error %lu\n", static_cast<unsigned long>(rc));
            return 1;
        }
        if (count == 0) crt::wprintf(L"none\n");
        for (DWORD i = 0; i < count; ++i) {
            RASCONNSTATUSW status = Status(connections[i].hrasconn, &rc);
            crt::wprintf(L"conn %s %s state %u error %lu\n", connections[i].szEntryName,
                         connections[i].szDeviceName, static_cast<unsigned>(status.rasconnstate),
                         static_cast<unsigned long>(rc != 0 ? rc : status.dwError));
        }
        return 0;
    }
    crt::wprintf(L"usage: RasDialer entry|getentry|dial|watch|enum ...\n");
    return 1;
}
