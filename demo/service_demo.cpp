// Demo: the disk monitor service on a simulated Windows XP machine. The service is registered and
// started with the program's own "-r" option, a modem is plugged in while it runs, the service
// switches the modem out of CD-ROM mode and, once the modem is up, starts App in the logged-on
// user's desktop; "-u" then stops and removes the service.
#include <cstdio>
#include <string>
#include <vector>

#include "demo/demo.h"
#include "harlune/harlune.h"
#include <winbase.h>
#include "machine/machine.h"
#include "machine/modem.h"
#include "machine/processes.h"
#include "machine/registry.h"
#include "machine/services.h"
#include "service/ulvane.h"

namespace {

std::string Utf8(const std::wstring& s) {
    return sim::ToUtf8(s);
}

const char* StateName(DWORD state) {
    switch (state) {
        case SERVICE_STOPPED:
            return "stopped";
        case SERVICE_START_PENDING:
            return "start pending";
        case SERVICE_STOP_PENDING:
            return "stop pending";
        case SERVICE_RUNNING:
            return "running";
        default:
            return "other";
    }
}

}  // namespace

int RunServiceDemo(sim::ClockMode clock) {
    sim::Config config = ResetDemoMachine(L"Ulvane.exe", clock, 8.0);
    sim::Machine& m = sim::machine();

    // What the setup package leaves on the machine.
    const std::wstring folder = config.programFolder;
    const std::wstring program = folder + L"Ulvane.exe";
    m.WriteFile(program, "MZ");
    m.WriteFile(folder + L"App.exe", "MZ");
    harlune::Install(folder);
    m.registry().CreateKey(std::wstring(L"HKLM\\") + kUninstallKey);
    m.processes().RegisterProgram(
        L"Ulvane.exe", [](const sim::ProcessRun& run) { return sim::RunMain(run, &UlvaneMain); });
    m.processes().SetOwnUser(L"SYSTEM");
    m.processes().AddProcess(L"C:\\WINDOWS\\EXPLORER.EXE", config.userName);
    std::printf("User \"%s\" is logged on (EXPLORER.EXE runs).\n", Utf8(config.userName).c_str());

    RunProgramMain(&UlvaneMain, {program, L"-r"});
    auto service = m.services().Get(kServiceName);
    if (!service || service->status.dwCurrentState != SERVICE_RUNNING) {
        std::printf("The service did not start.\n");
        return 1;
    }
    std::printf("[%.1fs] \"Ulvane.exe -r\": service \"%s\" registered as %s, %s (process %u).\n",
                DemoSeconds(), Utf8(kServiceName).c_str(), Utf8(service->config.binaryPath).c_str(),
                StateName(service->status.dwCurrentState), service->status.dwProcessId);
    // Wait until the service's worker has registered for device events.
    for (int i = 0; i < 50 && m.services().Notifications().size() < 2; ++i) Sleep(100);

    auto modem = sim::SimModem::Plug();
    std::printf("[%.1fs] Plugged in the modem; it shows up as a CD-ROM.\n", DemoSeconds());
    if (!m.processes().WaitForStarts(L"App.exe", 1, 60000)) {
        std::printf("App was not started.\n");
        return 1;
    }
    auto requests = modem->Requests();
    if (!requests.empty()) {
        std::printf("The service sent the mode-switch command:");
        for (BYTE b : requests[0].cdb) std::printf(" %02X", b);
        std::printf("; the modem is %s.\n",
                    modem->InModemMode() ? "up in modem mode" : "switching");
    }
    auto app = m.processes().WithImage(L"App.exe")[0];
    std::printf("[%.1fs] The service started App: %s\n", DemoSeconds(),
                Utf8(app.commandLine).c_str());
    std::printf(
        "        as \"%s\" on desktop \"%s\", shown (%u), process %u in the process table.\n",
        Utf8(app.user).c_str(), Utf8(app.desktop).c_str(), app.showWindow, app.pid);

    RunProgramMain(&UlvaneMain, {program, L"-u"});
    std::printf("[%.1fs] \"Ulvane.exe -u\": the service is %s.\n", DemoSeconds(),
                m.services().Exists(kServiceName) ? "still registered" : "stopped and removed");
    return m.services().Exists(kServiceName) ? 1 : 0;
}
