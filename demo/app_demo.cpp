// Demo: App on the simulated machine, end to end. The disk monitor service runs; the modem is
// plugged in as a CD-ROM; the service switches it to modem mode and starts App in the user's
// desktop. The user then connects, watches the statistics and the speed graph, unplugs the modem
// and ends App from the tray. Pictures of the screen are saved along the way in the folder
// "pictures" beside the demo program.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/app_resources.h"
#include "app/qobui_app.h"
#include "app/qobui_dlg.h"
#include "demo/demo.h"
#include "harlune/harlune.h"
#include "machine/boxes.h"
#include "machine/control/input.h"
#include "machine/control/screen.h"
#include "machine/control/shell.h"
#include "machine/machine.h"
#include "machine/menus.h"
#include "machine/modem.h"
#include "machine/processes.h"
#include "machine/ras.h"
#include "machine/registry.h"
#include "machine/services.h"
#include "service/ulvane.h"
#include <windows.h>

namespace {

// App's resources, linked into the processes of its image.
const resources::ModuleLink kAppResources(L"App.exe", &AppResources);

// Waits on the machine's clock until the condition holds (false after timeoutMs).
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(50);
    }
    return true;
}

HWND MainWindow() {
    HWND main = FindWindowW(L"#32770", L"Raza Zevi");
    return main != nullptr && GetDlgItem(main, IDC_BUTTON_CLOSE) != nullptr ? main : nullptr;
}

HWND Descendant(HWND root, int id) {
    struct Found {
        int id;
        HWND window;
    } found{id, nullptr};
    EnumChildWindows(
        root,
        [](HWND window, LPARAM param) -> BOOL {
            auto* f = reinterpret_cast<Found*>(param);
            if (GetDlgCtrlID(window) != f->id) return TRUE;
            f->window = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found.window;
}

POINT Middle(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

bool Picture(const std::filesystem::path& folder, const char* name, const char* what) {
    // The last render asked for is on the screen first.
    Sleep(300);
    const std::string file = (folder / name).string();
    if (!control::SaveScreenPng(file)) {
        std::printf("The picture could not be saved in %s.\n", file.c_str());
        return false;
    }
    std::printf("[%.1fs]   Picture of %s: %s\n", DemoSeconds(), what, file.c_str());
    return true;
}

}  // namespace

int RunAppDemo(sim::ClockMode clock) {
    sim::Config config = ResetDemoMachine(L"Ulvane.exe", clock, 4.0);
    sim::Machine& m = sim::machine();
    const std::wstring folder = config.programFolder;
    const std::filesystem::path assets(MODEM_ASSETS_DIR);
    // What the setup leaves on the machine: the programs, the skin, the language file, the
    // drivers.
    m.WriteFile(folder + L"Ulvane.exe", "MZ");
    m.WriteFile(folder + L"App.exe", "MZ");
    if (m.CopyFromHost(assets / "skin", folder + L"skin\\") <= 0 ||
        m.CopyFromHost(assets / "plugins", folder + L"plugins\\") <= 0 || !InstallDrivers()) {
        std::printf("The assets were not found at %s.\n", MODEM_ASSETS_DIR);
        return 1;
    }
    harlune::Install(folder);
    m.registry().CreateKey(std::wstring(L"HKLM\\") + kUninstallKey);
    m.processes().RegisterProgram(
        L"Ulvane.exe", [](const sim::ProcessRun& run) { return sim::RunMain(run, &UlvaneMain); });
    // App.exe: its application object is made as the program starts, then its entry runs.
    m.processes().RegisterProgram(L"App.exe", [](const sim::ProcessRun&) {
        CQOBUIApp app;
        return static_cast<DWORD>(AppWinMain(SW_SHOW));
    });
    m.processes().SetOwnUser(L"SYSTEM");
    m.processes().AddProcess(L"C:\\WINDOWS\\EXPLORER.EXE", config.userName);
    const std::filesystem::path pictures =
        std::filesystem::canonical("/proc/self/exe").parent_path() / "pictures";
    std::filesystem::create_directories(pictures);

    RunProgramMain(&UlvaneMain, {folder + L"Ulvane.exe", L"-r"});
    WaitFor([&] { return m.services().Notifications().size() >= 2; }, 5000);
    std::printf("[%.1fs] The disk monitor service runs.\n", DemoSeconds());
    sim::Ras::Get().SetTrafficRates(150000, 1300000);
    sim::DialScript dial = sim::DialScript::Connect();
    dial.endDelayMs = 3000;  // long enough to see the animation
    sim::Ras::Get().SetDefaultScript(dial);

    auto modem = sim::SimModem::Plug();
    std::printf("[%.1fs] The user plugs the modem in; it shows up as a CD-ROM.\n", DemoSeconds());
    if (!WaitFor([] { return MainWindow() != nullptr; }, 60000)) {
        std::printf("App did not come up.\n");
        return 1;
    }
    auto app = m.processes().WithImage(L"App.exe");
    std::printf("[%.1fs] The service started App (process %u, \"%s\"); its window is up.\n",
                DemoSeconds(), app.empty() ? 0u : app[0].pid,
                app.empty() ? "" : sim::ToUtf8(app[0].commandLine).c_str());
    HWND main = MainWindow();
    SetWindowPos(main, nullptr, 80, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Sleep(3000);  // the skin's first pictures are presented
    if (!Picture(pictures, "app_settings.png", "the settings view")) return 1;

    HWND connect = Descendant(main, 7811);
    if (connect == nullptr) {
        std::printf("The connect button was not found.\n");
        return 1;
    }
    control::Click(Middle(connect));
    std::printf("[%.1fs] The user presses the connect button.\n", DemoSeconds());
    Sleep(1200);
    if (!Picture(pictures, "app_connecting.png", "the connecting animation")) return 1;
    if (!WaitFor([] { return sim::Ras::Get().CurrentState() == RASCS_Connected; }, 30000)) {
        std::printf("The dial did not connect.\n");
        return 1;
    }
    std::printf("[%.1fs] Connected; the statistics come once a second.\n", DemoSeconds());
    Sleep(5000);
    if (!Picture(pictures, "app_connected.png", "the connected statistics")) return 1;
    if (HWND status = Descendant(main, 7999)) control::DoubleClick(Middle(status));
    std::printf("[%.1fs] A double click switches to the speed graph.\n", DemoSeconds());
    Sleep(3000);
    if (!Picture(pictures, "app_graph.png", "the speed graph")) return 1;

    modem->Unplug();
    std::printf("[%.1fs] The user pulls the modem out.\n", DemoSeconds());
    WaitFor(
        [&] {
            for (const auto& icon : control::TrayIcons())
                if (!icon.balloonText.empty()) return true;
            return false;
        },
        10000);
    for (const auto& icon : control::TrayIcons())
        if (!icon.balloonText.empty())
            std::printf("[%.1fs] The tray shows a balloon: \"%s\"\n", DemoSeconds(),
                        sim::ToUtf8(icon.balloonTitle).c_str());
    if (!Picture(pictures, "app_balloon.png", "the tray balloon")) return 1;

    // The user ends App from the tray; asked, they confirm.
    m.boxes().Script(IDOK, 500);
    m.menus().Script(ID_TRAY_EXIT);
    control::ClickTrayIcon(main, 0, control::TrayClickKind::Right);
    if (!WaitFor([&] { return !IsWindow(main); }, 60000)) {
        std::printf("App did not end.\n");
        return 1;
    }
    if (m.boxes().Journal().empty())
        std::printf("[%.1fs] Not connected (the dial waits to redial): App ends without asking.\n",
                    DemoSeconds());
    for (const auto& box : m.boxes().Journal())
        std::printf("[%.1fs] App asked \"%s\": the user answered %s.\n", DemoSeconds(),
                    sim::ToUtf8(box.text).c_str(), box.answer == IDOK ? "OK" : "Cancel");
    std::printf("[%.1fs] App has ended; the tray is %s.\n", DemoSeconds(),
                control::TrayIcons().empty() ? "empty" : "not empty");
    RunProgramMain(&UlvaneMain, {folder + L"Ulvane.exe", L"-u"});
    return control::TrayIcons().empty() ? 0 : 1;
}
