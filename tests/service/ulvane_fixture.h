// Fixture for the disk monitor service: a simulated machine whose running program is
// "Ulvane.exe" in the program folder, with the program registered so that the machine can run it
// as a service or as a started copy, the setup package's uninstall key present, and the log on.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "common/sim_fixture.h"
#include "common/ulvane_program.h"
#include "harlune/harlune.h"
#include <winbase.h>
#include "machine/processes.h"
#include "machine/registry.h"
#include "machine/services.h"
#include "machine/waits.h"
#include "service/ulvane.h"

// Lets the machine run until the condition holds (false after timeoutMs of machine time): the
// clock moves from one thread's deadline to the next, and the condition is checked whenever
// every thread waits.
template <class F>
bool WaitUntil(F condition, DWORD timeoutMs) {
    return sim::Kernel::Get().SettleUntil(condition, timeoutMs);
}

class UlvaneTest : public SimTest {
protected:
    virtual sim::Config BaseConfig() { return sim::Config::WindowsXP(); }
    sim::Config MachineConfig() override {
        sim::Config c = BaseConfig();
        c.programName = L"Ulvane.exe";
        return c;
    }
    void SetUp() override {
        SimTest::SetUp();
        EnableLog();
        M().WriteFile(Folder() + L"Ulvane.exe", "MZ");
        M().WriteFile(Folder() + L"Ulvane64.exe", "MZ");
        M().WriteFile(Folder() + L"App.exe", "MZ");
        RegisterUlvanePrograms();
        M().registry().CreateKey(UninstallKey());
        M().processes().SetOwnUser(L"SYSTEM");
    }
    void TearDown() override { StopRunningUlvane(); }

    static std::wstring UninstallKey() { return std::wstring(L"HKLM\\") + kUninstallKey; }
    std::wstring Folder() { return M().config().programFolder; }
    std::wstring UlvanePath() { return Folder() + L"Ulvane.exe"; }
    std::wstring AppPath() { return Folder() + L"App.exe"; }

    // The logged-on user's shell.
    DWORD AddExplorer(const std::wstring& user = L"alice") {
        return M().processes().AddProcess(L"C:\\WINDOWS\\EXPLORER.EXE", user);
    }

    // Runs the program's main with these arguments after the program's path.
    int Run(std::vector<std::wstring> args) {
        args.insert(args.begin(), UlvanePath());
        std::vector<wchar_t*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        return UlvaneMain(static_cast<int>(args.size()), argv.data());
    }

    // Registers and starts the service through the program's own option, as the installer does.
    void StartService() {
        ASSERT_EQ(Run({L"-r"}), 0);
        ASSERT_TRUE(M().services().WaitForState(kServiceName, SERVICE_RUNNING, 10000));
        // The worker registers for device events as it starts.
        ASSERT_TRUE(WaitUntil([&] { return ActiveNotifications() == 2; }, 1000));
    }
    int ActiveNotifications() {
        int n = 0;
        for (const auto& r : M().services().Notifications()) n += r.active ? 1 : 0;
        return n;
    }

    std::vector<std::wstring> Log() { return M().DebugOutput(); }
    int Count(const std::wstring& line) {
        auto log = Log();
        return static_cast<int>(std::count(log.begin(), log.end(), line));
    }
    int CountContaining(const std::wstring& part) {
        return static_cast<int>(DebugLines(part).size());
    }
    // Index of the first log line equal to `line` at or after `from`, or -1.
    int IndexOf(const std::wstring& line, int from = 0) {
        auto log = Log();
        for (int i = from; i < static_cast<int>(log.size()); ++i)
            if (log[i] == line) return i;
        return -1;
    }

    // The processes of the image started (or added) on the machine, without the running program.
    std::vector<sim::ProcessRecord> Started(const std::wstring& image) {
        std::vector<sim::ProcessRecord> out;
        for (const auto& r : M().processes().WithImage(image))
            if (r.pid != GetCurrentProcessId()) out.push_back(r);
        return out;
    }
};
