// Demo, the road of a new user with every program in a process of its own on one machine server:
// the setup installs the drivers with the modem plugged in and registers the service, whose
// program runs as a process of its own; the modem is plugged in again, the service switches it
// and starts App in the user's session; the setup removes everything again. Each step says which
// process did it; what a program printed is shown under its name.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "demo/demo.h"
#include "machine/control/server_client.h"
#include "machine/machine.h"

using sim::control::ServerClient;

// A machine server for the folder, with what the setup package puts on its disk: the drivers and
// language files beside the programs' folder, App's skin and plug-ins in it, the programs.
std::unique_ptr<ServerClient> StartDemoServer(const std::string& folder) {
    auto server = ServerClient::StartServer(MODEM_SERVER_PROGRAM, folder + "/m");
    if (!server) {
        std::printf("The machine server did not start.\n");
        return nullptr;
    }
    std::filesystem::path root = folder + "/m/C/Program Files/VARNI";
    std::error_code ec;
    std::filesystem::create_directories(root / "Bin", ec);
    const std::filesystem::path assets(MODEM_ASSETS_DIR);
    for (const char* sub : {"Driver", "Localize"})
        if (!ec)
            std::filesystem::copy(assets / sub, root / sub,
                                  std::filesystem::copy_options::recursive, ec);
    for (const char* sub : {"skin", "plugins"})
        if (!ec)
            std::filesystem::copy(assets / sub, root / "Bin" / sub,
                                  std::filesystem::copy_options::recursive, ec);
    if (ec) {
        std::printf("The assets folder was not found at %s.\n", MODEM_ASSETS_DIR);
        return nullptr;
    }
    for (const char* program : {"Installer.exe", "Ulvane.exe", "App.exe"})
        std::ofstream(root / "Bin" / program) << "MZ";
    return server;
}

namespace {

const std::wstring kRoot = L"C:\\Program Files\\VARNI\\";
const std::wstring kService = L"REriz Avadovi";

class Road {
public:
    explicit Road(std::string folder) : folder_(std::move(folder)) {}

    bool Start() {
        server_ = StartDemoServer(folder_);
        return server_ != nullptr;
    }

    ServerClient& Server() { return *server_; }

    void Say(const std::string& who, const std::string& text) {
        std::printf("[%6.1fs] %-22s %s\n", static_cast<double>(server_->Now()) / 1000.0,
                    who.c_str(), text.c_str());
        std::fflush(stdout);
    }

    // Runs a program of the setup's folder as its own process to its end; shows what it printed.
    std::uint32_t Run(const std::wstring& image, const std::wstring& args) {
        std::wstring path = kRoot + L"Bin\\" + image;
        std::string output = folder_ + "/out" + std::to_string(++runs_);
        auto p = server_->StartProcess(path, L"\"" + path + L"\" " + args, output);
        if (!p) {
            Say("demo", "could not start " + sim::ToUtf8(image));
            return 0xFFFFFFFF;
        }
        ShowProcesses();
        auto code = server_->WaitForExit(p->pid);
        // What it printed, then the processes it started and ended meanwhile, and its end.
        std::string who = sim::ToUtf8(image) + " (pid " + std::to_string(p->pid) + ")";
        std::ifstream in(output);
        std::string line;
        while (std::getline(in, line))
            if (!line.empty()) Say(who, "prints: " + line);
        ShowProcesses();
        return code.value_or(0xFFFFFFFF);
    }

    // The processes that started or ended since the last call.
    void ShowProcesses() {
        for (const auto& p : server_->Processes()) {
            auto seen = shown_.find(p.pid);
            if (seen != shown_.end() && (seen->second || p.running)) continue;
            std::string who = sim::ToUtf8(p.image.substr(p.image.find_last_of(L'\\') + 1)) +
                              " (pid " + std::to_string(p.pid) + ")";
            if (seen == shown_.end())
                Say(who, "runs " + sim::ToUtf8(p.commandLine) +
                             (p.user.empty() ? "" : " as " + sim::ToUtf8(p.user)));
            if (!p.running) Say(who, "ended with " + std::to_string(p.exitCode));
            shown_[p.pid] = !p.running;
        }
    }

    std::string ServiceText() {
        auto s = server_->QueryService(kService);
        if (!s) return "not registered";
        static const char* names[] = {"?", "stopped", "starting", "stopping", "running"};
        std::string text = s->state <= 4 ? names[s->state] : "paused";
        if (s->pid) text += " in pid " + std::to_string(s->pid);
        return text;
    }

    // The running process of App, waiting up to `ms` of machine time for it; 0 when none came.
    std::uint32_t WaitForApp(std::uint64_t ms) {
        std::uint32_t pause = server_->CreateEvent(L"demo: never", true, false);
        for (std::uint64_t waited = 0; waited <= ms; waited += 500) {
            for (const auto& p : server_->Processes())
                if (p.running && p.image == kRoot + L"Bin\\App.exe") return p.pid;
            server_->Wait(pause, 500);  // half a second of machine time
        }
        return 0;
    }

private:
    std::string folder_;
    std::unique_ptr<ServerClient> server_;
    int runs_ = 0;
    std::map<std::uint32_t, bool> shown_;  // pid -> its end was shown
};

}  // namespace

int RunServerRoadDemo(sim::ClockMode) {
    char tmpl[] = "/tmp/modem-road-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return 1;
    std::string folder = tmpl;
    int rc = 1;
    {
        Road road(folder);
        if (road.Start()) {
            ServerClient& server = road.Server();
            // The software's entry in the list of installed programs, as the setup package
            // leaves it; a user is logged on.
            server.CreateRegistryKey(
                L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                L"QOBWireless-101_is1");
            server.AddProcess(L"C:\\WINDOWS\\EXPLORER.EXE", L"User");
            road.ShowProcesses();

            road.Say("user", "plugs the modem in; it shows up as a CD-ROM drive");
            auto modem = server.PlugModem();
            road.Run(L"Installer.exe", L"/i");
            auto service = server.QueryService(kService);
            road.Say("machine server",
                     "service \"" + sim::ToUtf8(kService) + "\": " + road.ServiceText());

            road.Say("user", "unplugs the modem and plugs it in again");
            if (modem) server.UnplugModem(*modem);
            if (modem) server.ReplugModem(*modem);
            std::uint32_t app = road.WaitForApp(60000);
            road.ShowProcesses();
            auto state = modem ? server.GetModemState(*modem) : std::nullopt;
            road.Say("machine server",
                     std::string("the modem is in ") +
                         (state && state->modemMode ? "modem mode" : "disk mode"));

            road.Say("user", "closes App, unplugs the modem and removes the software");
            if (app) server.Terminate(app, 0);
            if (modem) server.UnplugModem(*modem);
            road.Run(L"Installer.exe", L"/u");
            // The service's process ends once its service has stopped.
            if (service && service->pid) server.WaitForExit(service->pid, 60000);
            road.ShowProcesses();
            road.Say("machine server",
                     "service \"" + sim::ToUtf8(kService) + "\": " + road.ServiceText());
            bool ok = app != 0 && !server.QueryService(kService).has_value();
            std::printf(ok ? "The new user's road ended well.\n"
                           : "The road went wrong somewhere.\n");
            rc = ok ? 0 : 1;
            server.Stop();
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return rc;
}
