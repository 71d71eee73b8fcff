// The uninstall sequence and the runner of the service program.
#include <vector>

#include "app/dial_settings.h"
#include "installer/comdb_guard.h"
#include "installer/installer.h"
#include "miravel/miravel.h"
#include <windows.h>
#include <ras.h>
#include "support/device_control.h"
#include "support/platform_helpers.h"

namespace {

// Whether a file name found for "log*.txt" really starts with "log" (a search may also match
// other names, such as a short name); "EnableLog.txt" switches the log on and must stay.
bool IsLogFileName(const wchar_t* name) {
    return (name[0] == L'l' || name[0] == L'L') && (name[1] == L'o' || name[1] == L'O') &&
           (name[2] == L'g' || name[2] == L'G');
}

}  // namespace

int CInstallerBase::Uninstall() {
    std::wstring serialInf = GetSerialInfPath();
    IDriverInstaller* installer = CreateInstaller(serialInf.c_str());
    // The device must be unplugged first: the box comes back after every OK until it is.
    while (installer != nullptr && installer->IsPresent(1, L""))
        ShowBox(Text(L"DeviceExistAlert", L"Setup"), MB_ICONINFORMATION);
    RemoveUserFiles();
    DeleteRasEntry();
    RunServiceProgram(false);
    SetUsbChipCdromState(true, false);
    UninstallPort();
    UninstallModem();
    ReleaseInstaller(installer);
    return 0;
}

void CInstallerBase::RemoveUserFiles() {
    std::wstring folder = GetUserDataFolder();
    DeleteFileW((folder + L"Setting.txt").c_str());
    DeleteFileW((folder + L"DefaultSetting.txt").c_str());
    DeleteFileW((folder + L"..\\QOB_CDMA_1X\\Config.ini").c_str());

    std::wstring moduleFolder = GetModuleFolder();
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((moduleFolder + L"log*.txt").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                IsLogFileName(found.cFileName))
                DeleteFileW((moduleFolder + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }

    int code = GetOsVersionCode();
    if ((code == kOsWinXP || code == kOsWin2003 || code == kOsVista) && Is64BitWindows()) {
        CComDBGuard comDb;  // marks COM1 to COM12 taken while it lives
        comDb.FreeFromCom13();
        comDb.Restore();
    }
}

void CInstallerBase::DeleteRasEntry() {
    std::wstring name = Text(L"ConnectionName", L"Connection");
    RasDeleteEntryW(nullptr, name.c_str());
}

void CInstallerBase::UninstallPort() {
    RemoveDriver(L"UninstallPort", GetSerialInfPath());
}

void CInstallerBase::UninstallModem() {
    RemoveDriver(L"UinstallModem", GetModemInfPath());
}

void CInstallerBase::RemoveDriver(const wchar_t* messageKey, const std::wstring& infPath) {
    SetMessage(Text(messageKey, L"Setup"));
    IDriverInstaller* installer = CreateInstaller(infPath.c_str());
    if (installer) installer->Uninstall();
    ReleaseInstaller(installer);
}

bool RunServiceProgram(bool registerService) {
    std::wstring path = GetModuleFolder() + (Is64BitWindows() ? L"Ulvane64.exe" : L"Ulvane.exe");
    if (!FileExists(path)) {
        DebugLog(L"File Ulvane(64).exe is NOT Exist.");
        return false;
    }
    std::wstring commandLine = L"\"" + path + L"\" " + (registerService ? L"-r" : L"-u");
    DebugLog(L"Service Command Line:%s", commandLine.c_str());
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process))
        return false;
    DebugLog(L"Service Start OK");
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}
