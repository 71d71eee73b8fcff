// The installer's classes: the progress window frame, the base that runs an install or an
// uninstall inside it, and the one installer class that is made.
#pragma once

#include <string>
#include <vector>

#include "installer/install_table.h"
#include "textfiles/localizer.h"

class CWizardWatcher;

// Owns one Miravel progress window.
class CProgressDlg {
public:
    CProgressDlg();
    virtual ~CProgressDlg();
    CProgressDlg(const CProgressDlg&) = delete;
    CProgressDlg& operator=(const CProgressDlg&) = delete;

    virtual int Run() = 0;
    void* Handle() const { return m_handle; }

protected:
    void* m_handle = nullptr;
};

class CInstallerBase : public CProgressDlg {
public:
    explicit CInstallerBase(bool install);

    // Loads the language file, sets the window's font, then installs or uninstalls.
    int Run() override;
    virtual int Install() = 0;

    // The uninstall and its steps.
    int Uninstall();
    void RemoveUserFiles();
    void DeleteRasEntry();
    void UninstallPort();
    void UninstallModem();

protected:
    // A text of the language file (the key itself when the file lacks it).
    std::wstring Text(const wchar_t* key, const wchar_t* group);
    void SetMessage(const std::wstring& text);
    void ShowBox(const std::wstring& text, UINT type);
    // Shows the progress text and removes the driver of the .inf file from every device.
    void RemoveDriver(const wchar_t* messageKey, const std::wstring& infPath);

    bool m_install;
    CLocalizer m_localizer;
};

class CUpdateInstaller : public CInstallerBase {
public:
    explicit CUpdateInstaller(bool install) : CInstallerBase(install) {}

    int Install() override;
    // True when the device is up in modem mode within 120 s.
    bool WaitForDevice();
    bool UpdateDriver(InstallItem& row, bool& rebootNeeded);

private:
    // Waits until the wizard watcher has seen a window for every work row and two more, for at
    // most 1000 passes of 15 ms.
    void WaitForWizard(CWizardWatcher* watcher, std::size_t workRows);
};

// The work routine given to the progress window: runs the installer passed as context.
int InstallerWorkProc(void* context);

// The program's entry: "/i" installs, any other argument uninstalls, no argument prints the
// usage. Returns the exit code (0 after a run, 1 when the framework cannot start, 2 for no
// argument).
int InstallerMain(int argc, wchar_t** argv);

// Runs Ulvane (Ulvane64.exe on 64-bit Windows) from the program's folder with "-r" (register)
// or "-u" (unregister), without a window, and waits for it to end. False when the file is
// missing or cannot be started.
bool RunServiceProgram(bool registerService);
