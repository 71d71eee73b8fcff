#include "installer/installer.h"

#include <cwchar>
#include <memory>

#include "installer/comdb_guard.h"
#include "installer/language.h"
#include "installer/wizard_watcher.h"
#include "miravel/miravel.h"
#include <corecrt.h>
#include <windows.h>
#include <afxwin.h>
#include <afxcmn.h>
#include "support/device_control.h"
#include "support/device_enum.h"
#include "support/platform_helpers.h"
#include "support/scsi_switch.h"

namespace {

constexpr DWORD kDeviceWaitMs = 120000;
const wchar_t kSetup[] = L"Setup";

// The five installers of an install; released in the order serial 4, 3, 2, 1, modem.
class CInstallerSet {
public:
    CInstallerSet() {
        std::wstring modemInf = GetModemInfPath();
        std::wstring serialInf = GetSerialInfPath();
        m_installers.Modem = CreateInstaller(modemInf.c_str());
        for (auto& serial : m_installers.Serial) serial = CreateInstaller(serialInf.c_str());
    }
    ~CInstallerSet() { Release(); }
    CInstallerSet(const CInstallerSet&) = delete;
    CInstallerSet& operator=(const CInstallerSet&) = delete;

    DriverInstallers& Get() { return m_installers; }
    void Release() {
        for (int i = 3; i >= 0; --i) {
            ReleaseInstaller(m_installers.Serial[i]);
            m_installers.Serial[i] = nullptr;
        }
        ReleaseInstaller(m_installers.Modem);
        m_installers.Modem = nullptr;
    }

private:
    DriverInstallers m_installers;
};

bool HasSlot(const InstallItem& row) {
    return row.Slot != nullptr;
}

// Stops the watcher and frees Quosset; an error only goes to the log.
void StopWatcher(std::unique_ptr<CWizardWatcher>& watcher) {
    if (!watcher) return;
    try {
        watcher->Stop();
    } catch (const CWatcherError& e) {
        DebugLog(L"Wizard watcher: %hs", e.what());
    }
    watcher.reset();
}

}  // namespace

// ---- CProgressDlg ----

CProgressDlg::CProgressDlg() {
    m_handle = ProgressDlg_Create(this);
}

CProgressDlg::~CProgressDlg() {
    ProgressDlg_Destroy(m_handle);
}

// ---- CInstallerBase ----

CInstallerBase::CInstallerBase(bool install) : m_install(install) {}

std::wstring CInstallerBase::Text(const wchar_t* key, const wchar_t* group) {
    return m_localizer.GetText(key, group);
}

void CInstallerBase::SetMessage(const std::wstring& text) {
    ProgressDlg_SetMessage(m_handle, text.c_str());
}

void CInstallerBase::ShowBox(const std::wstring& text, UINT type) {
    std::wstring caption = Text(L"MsgBoxTitle", kSetup);
    ProgressDlg_MessageBox(m_handle, text.c_str(), caption.c_str(), type);
}

int CInstallerBase::Run() {
    m_localizer.Load(GetLanguageFilePath());
    CFont* font = m_localizer.GetFont(L"Normal");
    ProgressDlg_SetFont(m_handle, font ? static_cast<HFONT>(*font) : nullptr);
    return m_install ? Install() : Uninstall();
}

// ---- CUpdateInstaller ----

bool CUpdateInstaller::WaitForDevice() {
    std::wstring cdrom;
    std::vector<std::wstring> chipCdroms;
    if (!FindDeviceCdrom(cdrom) && !FindUsbChipCdroms(chipCdroms, true))
        SetMessage(Text(L"PlugAlert", kSetup));
    DWORD start = GetTickCount();
    do {
        std::wstring path;
        BYTE cdb[16] = {};
        int length = 0;
        if (FindDeviceCdrom(path) && BuildSwitchCdb(0, cdb, length)) {
            SendScsiCommand(path, cdb, length);
            Sleep(1000);
        }
        if (IsModemModePresent()) return true;
        Sleep(200);
    } while (GetTickCount() - start <= kDeviceWaitMs);
    return false;
}

bool CUpdateInstaller::UpdateDriver(InstallItem& row, bool& rebootNeeded) {
    SetMessage(Text(row.MessageKey.c_str(), kSetup));
    rebootNeeded = false;
    if (row.Slot == nullptr || *row.Slot == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return (*row.Slot)->Update(row.HardwareId.c_str(), &rebootNeeded);
}

void CUpdateInstaller::WaitForWizard(CWizardWatcher* watcher, std::size_t workRows) {
    for (int pass = 0; pass < 1000; ++pass) {
        int windows = watcher ? watcher->WizardWindowCount() : 0;
        if (windows >= 0 && static_cast<std::size_t>(windows) >= workRows + 2) {
            Sleep(1000);
            return;
        }
        Sleep(15);
    }
}

int CUpdateInstaller::Install() {
    CComDBGuard comDb;         // COM1 to COM12 taken until the restore below
    CInstallerSet installers;  // modem, then serial 1 to 4
    std::vector<InstallItem> table = BuildInstallTable(installers.Get());
    std::unique_ptr<CWizardWatcher> watcher;
    try {
        watcher = std::make_unique<CWizardWatcher>(GetModuleFolder());
    } catch (const CWatcherError& e) {
        // The install goes on without the watcher: the wizard wait then runs its full length.
        DebugLog(L"Wizard watcher: %hs", e.what());
    }
    std::vector<InstallItem> work;

    if (!WaitForDevice()) {
        ShowBox(Text(L"NewDeviceTimeout", kSetup), MB_ICONWARNING);
    } else {
        // Collection: required rows are waited for, optional rows are asked once; the first row
        // taken fixes the model.
        for (;;) {
            bool anySlot = false, anyRequired = false;
            for (const InstallItem& row : table) {
                if (!HasSlot(row)) continue;
                anySlot = true;
                anyRequired = anyRequired || row.Required;
            }
            if (!anySlot) break;
            int taken = -1;
            if (anyRequired) {
                taken = WaitForAnyItem(kInstallTableRows, table);
                if (taken == kInstallTableRows) {
                    ShowBox(Text(L"NewDeviceTimeout", kSetup), MB_ICONWARNING);
                    break;
                }
            } else {
                for (int i = 0; i < kInstallTableRows; ++i) {
                    if (!HasSlot(table[i])) continue;
                    IDriverInstaller* installer = *table[i].Slot;
                    if (installer && installer->IsPresent(0, table[i].HardwareId.c_str()))
                        taken = i;
                    else
                        table[i].Slot = nullptr;
                    break;
                }
                if (taken < 0) continue;
            }
            std::wstring suffix = FindModelSuffix(table[taken].HardwareId);
            if (!suffix.empty()) KeepModelItems(kInstallTableRows, table, suffix);
            work.push_back(table[taken]);
            table[taken].Slot = nullptr;
        }

        crt::wprintf(L"找到%d个新硬件\n", static_cast<int>(work.size()));
        if (!work.empty()) SetMessage(Text(work.front().MessageKey.c_str(), kSetup));
        WaitForWizard(watcher.get(), work.size());

        bool allUpdated = !work.empty();
        bool anyReboot = false;
        for (InstallItem& row : work) {
            crt::wprintf(L"更新硬件%s的驱动\n", row.HardwareId.c_str());
            bool reboot = false;
            if (!UpdateDriver(row, reboot)) {
                DWORD error = GetLastError();
                std::wstring text =
                    crt::Format(L"%s(%d)", Text(row.FailureKey.c_str(), kSetup).c_str(),
                                static_cast<int>(error));
                ShowBox(text, MB_ICONWARNING);
                allUpdated = false;
                break;
            }
            anyReboot = anyReboot || reboot;
            crt::wprintf(L"更新硬件%s的驱动完成\n", row.HardwareId.c_str());
            row.Slot = nullptr;
            Sleep(700);
        }
        if (allUpdated) {
            RunServiceProgram(false);
            RunServiceProgram(true);
            // The service program's "-u" enables every USB-chip CD-ROM again, and the service it
            // starts finds the device already in modem mode: the CD-ROM is disabled after it.
            SetUsbChipCdromState(false, true);
            ShowBox(Text(anyReboot ? L"Reboot" : L"InstallOK", kSetup), MB_ICONINFORMATION);
        }
    }

    // Clean-up, in this order: the work list, the watcher and Quosset, the table, the
    // installers, the COM-port database.
    work.clear();
    StopWatcher(watcher);
    table.clear();
    installers.Release();
    comDb.Restore();
    return 0;
}

// ---- Entry ----

int InstallerWorkProc(void* context) {
    return static_cast<CProgressDlg*>(context)->Run();
}

int InstallerMain(int argc, wchar_t** argv) {
    // Console output follows the user's settings.
    _wsetlocale(LC_ALL, L"");
    if (!AfxWinInit(GetModuleHandleW(nullptr), nullptr, GetCommandLineW(), 0)) {
        crt::wprintf(L"FatalError: MFC initialize fail\n");
        return 1;
    }
    if (argc <= 1) {
        crt::wprintf(L"Usage:\n");
        crt::wprintf(L"Installer.exe /i ------- for install\n");
        crt::wprintf(L"Installer.exe /u ------- for uninstall\n");
        return 2;
    }
    bool install = std::wcscmp(argv[1], L"/i") == 0;  // case-sensitive, whole argument
    CUpdateInstaller installer(install);
    ProgressDlg_Excute(installer.Handle(), InstallerWorkProc,
                       static_cast<CProgressDlg*>(&installer));
    return 0;
}
