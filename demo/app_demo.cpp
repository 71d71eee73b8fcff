// Demo: App end to end, each program in a process of its own on one machine server. The disk
// monitor service runs; the modem is plugged in as a CD-ROM; the service switches it to modem mode
// and starts App in the user's desktop. The user then connects, watches the statistics and the
// speed graph, and pulls the modem out. Pictures of the server's screen are saved along the way in
// the folder "pictures" beside the demo program.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include <unistd.h>

#include <ras.h>
#include "demo/demo.h"
#include "machine/control/server_client.h"
#include "machine/machine.h"
#include "machine/ras.h"

namespace {

using sim::control::ServerClient;

const std::wstring kBin = L"C:\\Program Files\\VARNI\\Bin\\";
const std::wstring kService = L"REriz Avadovi";
const std::wstring kTitle = L"Raza Zevi";
constexpr std::uint32_t kRunning = 4;
// Where App's window comes up in the default skin: its caption, its connect button, and the
// status area whose double click switches to the speed graph.
constexpr int kCaptionX = 200, kCaptionY = 2;
constexpr int kMoveX = 80, kMoveY = 40;
constexpr int kConnectX = 206, kConnectY = 390;
constexpr int kStatusX = 206, kStatusY = 300;

class AppRoad {
public:
    AppRoad(ServerClient& server, std::filesystem::path pictures)
        : server_(server), pictures_(std::move(pictures)) {
        pause_ = server_.CreateEvent(L"demo: never set", true, false);
    }

    void Say(const std::string& text) {
        std::printf("[%5.1fs] %s\n", static_cast<double>(server_.Now()) / 1000.0, text.c_str());
        std::fflush(stdout);
    }
    // Lets `ms` of machine time pass.
    void Pause(std::uint64_t ms) { server_.Wait(pause_, ms); }
    // Waits on the machine's clock, a tenth of a second at a time, until the condition holds.
    bool Until(const std::function<bool()>& condition, std::uint64_t ms) {
        for (std::uint64_t waited = 0; !condition(); waited += 100) {
            if (waited > ms) return false;
            Pause(100);
        }
        return true;
    }
    bool Picture(const char* name, const char* what) {
        const std::string file = (pictures_ / name).string();
        if (!server_.SaveScreenPng(file)) {
            std::printf("The picture could not be saved in %s.\n", file.c_str());
            return false;
        }
        Say(std::string("Picture of ") + what + ": " + file);
        return true;
    }
    // The running App, once its main window shows; 0 when none came.
    std::uint32_t AppShown(std::uint64_t ms) {
        bool shown = Until(
            [&] {
                for (const auto& w : server_.Windows())
                    if (w.title == kTitle && w.visible) return true;
                return false;
            },
            ms);
        if (!shown) return 0;
        for (const auto& p : server_.Processes())
            if (p.running && p.image == kBin + L"App.exe") return p.pid;
        return 0;
    }
    std::optional<sim::RasLine> Line() {
        auto lines = server_.RasConnections();
        if (lines.empty()) return std::nullopt;
        return lines.front();
    }

private:
    ServerClient& server_;
    std::filesystem::path pictures_;
    std::uint32_t pause_ = 0;
};

int Road(ServerClient& server, const std::filesystem::path& pictures) {
    AppRoad road(server, pictures);
    // The software's entry in the list of installed programs; a user is logged on; the service
    // registered by its program.
    server.CreateRegistryKey(
        L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
        L"QOBWireless-101_is1");
    server.AddProcess(L"C:\\WINDOWS\\EXPLORER.EXE", L"User");
    const std::wstring ulvane = kBin + L"Ulvane.exe";
    auto reg = server.StartProcess(ulvane, L"\"" + ulvane + L"\" -r");
    if (!reg || server.WaitForExit(reg->pid) != 0u ||
        !server.WaitForServiceState(kService, kRunning, 60000)) {
        road.Say("The service did not come up.");
        return 1;
    }
    road.Say("The disk monitor service runs as its own process.");
    server.SetTrafficRates(150000, 1300000);
    sim::DialScript dial = sim::DialScript::Connect();
    dial.endDelayMs = 3000;  // long enough to see the animation
    server.SetDefaultDialScript(dial);

    auto modem = server.PlugModem();
    road.Say("The user plugs the modem in; it shows up as a CD-ROM.");
    std::uint32_t app = modem ? road.AppShown(120000) : 0;
    if (app == 0) {
        road.Say("App did not come up.");
        return 1;
    }
    for (const auto& p : server.Processes())
        if (p.pid == app)
            road.Say("The service started App (process " + std::to_string(app) + ", \"" +
                     sim::ToUtf8(p.commandLine) + "\" as " + sim::ToUtf8(p.user) +
                     "); its window shows.");
    // The user drags the window by its caption a little into the screen.
    server.PressMouse(kCaptionX, kCaptionY);
    server.MoveMouse(kCaptionX + kMoveX, kCaptionY + kMoveY);
    server.ReleaseMouse(kCaptionX + kMoveX, kCaptionY + kMoveY);
    road.Pause(3000);  // the skin's first pictures are presented
    if (!road.Picture("app_settings.png", "the settings view")) return 1;

    if (server.Click(kConnectX + kMoveX, kConnectY + kMoveY) != app) {
        road.Say("The connect button did not take the click.");
        return 1;
    }
    road.Say("The user presses the connect button.");
    server.MoveMouse(kStatusX + kMoveX, kStatusY + kMoveY);
    road.Pause(1200);
    if (!road.Picture("app_connecting.png", "the connecting animation")) return 1;
    if (!road.Until([&] { return road.Line() && road.Line()->phase == sim::RasPhase::Connected; },
                    30000)) {
        road.Say("The dial did not connect.");
        return 1;
    }
    road.Say("Connected; the statistics come once a second.");
    road.Pause(5000);
    if (!road.Picture("app_connected.png", "the connected statistics")) return 1;
    server.DoubleClick(kStatusX + kMoveX, kStatusY + kMoveY);
    road.Say("A double click switches to the speed graph.");
    road.Pause(3000);
    if (!road.Picture("app_graph.png", "the speed graph")) return 1;

    server.UnplugModem(*modem);
    road.Say("The user pulls the modem out.");
    std::wstring balloon;
    road.Until(
        [&] {
            for (const auto& icon : server.TrayIcons())
                if (!icon.balloonText.empty()) balloon = icon.balloonTitle;
            return !balloon.empty();
        },
        10000);
    if (balloon.empty()) {
        road.Say("No balloon came up in the tray.");
        return 1;
    }
    road.Say("The tray shows a balloon: \"" + sim::ToUtf8(balloon) + "\"");
    if (!road.Picture("app_balloon.png", "the screen while the balloon shows")) return 1;

    server.Terminate(app, 0);
    road.Say(std::string("The user ends App; the tray is ") +
             (server.TrayIcons().empty() ? "empty." : "not empty."));
    return server.TrayIcons().empty() ? 0 : 1;
}

}  // namespace

int RunAppDemo(sim::ClockMode) {
    char tmpl[] = "/tmp/modem-app-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return 1;
    const std::string folder = tmpl;
    const std::filesystem::path pictures =
        std::filesystem::canonical("/proc/self/exe").parent_path() / "pictures";
    std::filesystem::create_directories(pictures);
    int rc = 1;
    if (auto server = StartDemoServer(folder)) {
        rc = Road(*server, pictures);
        server->Stop();
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return rc;
}
