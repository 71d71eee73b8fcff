// App's start to its first presented frame, against its floor: the same skinned main dialog
// made and shown alone (no application object, no language, no connection view, no tray). And
// the process's resident memory while App is connected for ten minutes of machine time, read
// after the first and the tenth minute, with what App adds to what the process held before it
// started (run it alone: --benchmark_filter=Connected).
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

#include "app/app_resources.h"
#include "app/qobui_app.h"
#include "app/qobui_dlg.h"
#include "docking/dialog.h"
#include "floor_ratio.h"
#include "machine/control/input.h"
#include "machine/boxes.h"
#include "machine/machine.h"
#include "machine/modem.h"
#include "machine/ras.h"
#include "machine/waits.h"
#include <windows.h>

namespace {

const resources::ModuleLink kAppResources(L"App.exe", &AppResources);

bool WaitUntil(const std::function<bool()>& ready, DWORD timeoutMs) {
    return sim::Kernel::Get().SettleUntil(ready, timeoutMs);
}

void ResetMachine() {
    sim::Config config = sim::Config::WindowsXP();
    config.programName = L"App.exe";
    config.userLocale = 0x0804;
    config.timeZoneBias = -480;
    sim::Machine::Reset(config);
    sim::Machine& m = sim::machine();
    const std::filesystem::path assets(MODEM_ASSETS_DIR);
    m.CopyFromHost(assets / "skin", config.programFolder + L"skin\\");
    m.CopyFromHost(assets / "plugins", config.programFolder + L"plugins\\");
    m.CopyFromHost(assets / "Driver", config.programFolder + L"..\\Driver\\");
}

// App's application object run on a user-interface thread of its own.
struct RunningApp {
    std::unique_ptr<CQOBUIApp> app = std::make_unique<CQOBUIApp>();
    HANDLE thread = nullptr;
    wchar_t commandLine[1] = {L'\0'};

    RunningApp() {
        thread = CreateThread(
            nullptr, 0,
            [](LPVOID self) -> DWORD {
                auto* run = static_cast<RunningApp*>(self);
                return static_cast<DWORD>(AfxWinMain(GetModuleHandleW(nullptr), nullptr,
                                                     run->commandLine, SW_SHOW));
            },
            this, 0, nullptr);
    }
    CQOBUIDlg* Dialog() { return dynamic_cast<CQOBUIDlg*>(app->m_pMainWnd); }
    bool Presented() {
        CQOBUIDlg* dialog = Dialog();
        return dialog != nullptr && dialog->m_hWnd != nullptr && dialog->Docking().surface.HasPicture();
    }
    ~RunningApp() {
        if (CQOBUIDlg* dialog = Dialog()) {
            sim::machine().boxes().Script(IDOK);
            PostMessageW(dialog->m_hWnd, WM_COMMAND, IDC_BUTTON_CLOSE, 0);
        }
        WaitUntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 600000);
        CloseHandle(thread);
    }
};

void FloorEmptySkinnedDialog(benchmark::State& state) {
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        System::Docking::Skin::CDockingDialog dialog(IDD_QOBUI_DIALOG, nullptr);
        if (!dialog.Create(IDD_QOBUI_DIALOG)) {
            state.SkipWithError("the dialog could not be made");
            return;
        }
        dialog.ShowWindow(dialog.m_hWnd, SW_SHOW);
        bool shown = WaitUntil(
            [&] {
                MSG msg;
                while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
                return dialog.Docking().surface.HasPicture();
            },
            60000);
        const auto end = std::chrono::steady_clock::now();
        if (!shown) {
            state.SkipWithError("the dialog was never presented");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        dialog.DestroyWindow();
    }
}

void AppStartToFirstFrame(benchmark::State& state) {
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        RunningApp run;
        bool shown = WaitUntil([&] { return run.Presented(); }, 60000);
        const auto end = std::chrono::steady_clock::now();
        if (!shown) {
            state.SkipWithError("App was never presented");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}

double ResidentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

// Connected for ten minutes of machine time; the counters are the process's resident memory
// after the first and the tenth minute.
void AppConnectedTenMinutes(benchmark::State& state) {
    for (auto _ : state) {
        const double before = ResidentMegabytes();
        RunningApp run;
        if (!WaitUntil([&] { return run.Presented(); }, 60000)) {
            state.SkipWithError("App was never presented");
            return;
        }
        PostMessageW(run.Dialog()->ConnectView()->m_hWnd, WM_COMMAND, 7811, 0);
        if (!WaitUntil([] { return sim::Ras::Get().CurrentState() == RASCS_Connected; }, 60000)) {
            state.SkipWithError("App did not connect");
            return;
        }
        WaitUntil([] { return false; }, 60000);
        const double minute1 = ResidentMegabytes();
        WaitUntil([] { return false; }, 9 * 60000);
        const double minute10 = ResidentMegabytes();
        state.counters["rss_minute1_MB"] = minute1;
        state.counters["rss_minute10_MB"] = minute10;
        state.counters["growth_MB"] = minute10 - minute1;
        // What App adds to the process (the machine and the benchmark are there before it).
        state.counters["app_minute10_MB"] = minute10 - before;
    }
}

}  // namespace

int main(int argc, char** argv) {
    ResetMachine();
    sim::ModemOptions options;
    options.startInModemMode = true;
    auto modem = sim::SimModem::Plug(options);
    sim::Ras::Get().SetTrafficRates(150000, 1300000);
    AfxWinInit(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOW);
    benchmark::RegisterBenchmark("FloorEmptySkinnedDialog", FloorEmptySkinnedDialog)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("AppStartToFirstFrame", AppStartToFirstFrame)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("AppConnectedTenMinutes", AppConnectedTenMinutes)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    return bench::RunWithFloorRatios(argc, argv, [](const std::string& name) -> std::string {
        return name.rfind("AppConnected", 0) == 0 ? "" : "FloorEmptySkinnedDialog/manual_time";
    });
}
