#include "harlune/harlune.h"

#include <cstring>

#include "machine/control/modules.h"
#include <corecrt.h>
#include <winbase.h>

namespace harlune {

int AppIsRunning() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    int running = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !running;
         more = Process32NextW(snapshot, &entry))
        running = _wcsicmp(entry.szExeFile, L"App.exe") == 0 ? 1 : 0;
    CloseHandle(snapshot);
    return running;
}

namespace {
control::ModuleExports Exports() {
    return {{"AppIsRunning", reinterpret_cast<void*>(&AppIsRunning)}};
}
}  // namespace

void Register() {
    control::RegisterModule(kFileName, Exports());
}

void Install(const std::wstring& folder) {
    control::InstallModule(folder, kFileName, Exports());
}

}  // namespace harlune
