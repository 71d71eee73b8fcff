// App on the machine in the test's own process: its program folder with the default skin and the
// language file, the modem plugged in, and App's application object run on a user-interface
// thread of its own while the test plays the user through the machine's controls.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/app_resources.h"
#include "app/dial_settings.h"
#include "app/qobui_app.h"
#include "app/qobui_dlg.h"
#include "common/sim_fixture.h"
#include "common/thread_helper.h"
#include "machine/control/input.h"
#include "machine/control/shell.h"
#include "machine/boxes.h"
#include "machine/menus.h"
#include "machine/modem.h"
#include "machine/ras.h"
#include "machine/waits.h"
#include <windows.h>

// Resumes once the condition holds, letting the machine's clock run while every thread waits;
// false after timeoutMs of machine time.
template <class F>
bool WaitUntil(F condition, DWORD timeoutMs = 10000) {
    return sim::Kernel::Get().SettleUntil(condition, timeoutMs);
}

class AppTest : public SimTest {
protected:
    sim::Config MachineConfig() override {
        sim::Config c = sim::Config::WindowsXP();
        c.userLocale = 0x0804;
        c.timeZoneBias = -480;
        c.programName = L"App.exe";
        return c;
    }
    void SetUp() override;
    void TearDown() override;

    std::wstring Folder() { return M().config().programFolder; }
    // Runs App with the command line on a new thread of the process (its user-interface thread).
    void Start(const std::wstring& commandLine = L"");
    // Starts App and waits until its main window and tray icon are up.
    void StartShown(const std::wstring& commandLine = L"");
    // Whether App's thread has ended, and its exit code.
    bool Ended();
    DWORD ExitCode();
    // App's main window (null until it exists).
    HWND Main();
    // A window below the main window by control id (null when none).
    HWND Control(int id);
    // The user clicks the middle of the control.
    void ClickControl(int id);
    // The tray icon of the main window, if it shows.
    std::optional<control::TrayIconInfo> Tray();
    // The user dials and App reports the connection.
    void Connect();
    std::vector<sim::BoxRecord> Boxes() { return M().boxes().Journal(); }
    sim::Ras& Ras() { return sim::Ras::Get(); }

    std::shared_ptr<sim::SimModem> modem_;
    std::unique_ptr<CQOBUIApp> app_;
    HANDLE thread_ = nullptr;
    std::wstring commandLine_;
};
