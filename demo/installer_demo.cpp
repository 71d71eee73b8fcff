// Demo, the road of a new user: the setup installs the drivers with the modem plugged in, the
// service switches the modem when it is plugged in again and starts App, App dials, and the
// setup removes everything again.
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "app/ras_client.h"
#include "demo/demo.h"
#include "installer/installer.h"
#include "brevant/brevant_sim.h"
#include "harlune/harlune.h"
#include "miravel/miravel_sim.h"
#include "quosset/quosset_sim.h"
#include <winbase.h>
#include <ras.h>
#include <winreg.h>
#include "machine/machine.h"
#include "machine/modem.h"
#include "machine/processes.h"
#include "machine/ras.h"
#include "machine/registry.h"
#include "machine/services.h"
#include "service/ulvane.h"

namespace {

const wchar_t kRoot[] = L"C:\\Program Files\\VARNI\\";
const wchar_t kComDbKey[] = L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";

std::mutex g_printMu;

void Say(const std::string& text) {
    std::lock_guard<std::mutex> lk(g_printMu);
    std::printf("[%6.1fs] %s\n", GetTickCount() / 1000.0, text.c_str());
    std::fflush(stdout);
}

std::string U8(const std::wstring& s) {
    return sim::ToUtf8(s);
}

std::string Hex(const std::vector<BYTE>& bytes, std::size_t count = 4) {
    std::string out;
    char b[4];
    for (std::size_t i = 0; i < bytes.size() && i < count; ++i) {
        std::snprintf(b, sizeof b, "%02X", bytes[i]);
        out += (i ? " " : "") + std::string(b);
    }
    return out + (bytes.size() > count ? " ..." : "");
}

std::vector<BYTE> ComDb() {
    sim::RegValue value;
    if (!sim::machine().registry().GetValue(kComDbKey, L"ComDB", &value)) return {};
    return value.data;
}

// Puts a folder of the source tree's assets on the machine beside the program's folder.
bool CopyAssets(const std::wstring& folder) {
    return sim::machine().CopyFromHost(std::filesystem::path(MODEM_ASSETS_DIR) / U8(folder),
                                       std::wstring(kRoot) + folder + L"\\") > 0;
}

// What App does once started, for this demo: its RAS client dials the modem's entry with the
// default number, stays connected for a few seconds and hangs up.
class DemoRasListener : public IRasListener {
public:
    DemoRasListener() : m_done(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~DemoRasListener() { CloseHandle(m_done); }
    void OnRasEvent(RASCONNSTATE state, int error) override {
        std::wstring text = GetRasStateText(state);
        if (!text.empty()) Say("  App: " + U8(text));
        if (error != 0 || state == RASCS_Connected) {
            m_connected = error == 0;
            SetEvent(m_done);
        }
    }
    HANDLE Done() const { return m_done; }
    bool Connected() const { return m_connected; }

private:
    HANDLE m_done;
    std::atomic<bool> m_connected{false};
};

DWORD RunAppDial() {
    sim::Ras::Get().SetTrafficRates(6000, 48000);
    DemoRasListener listener;
    CRasClient client(&CCDMATime::Instance());
    client.SetListener(&listener);
    DialParams params;
    params.DeviceName = L"CDMA USB Modem";
    params.EntryName = L"QOB Wireless Terminal";
    params.PhoneNumber = L"#777";
    if (!client.Dial(params)) {
        Say("  App: the dial failed (" + std::to_string(GetLastError()) + ")");
        return 1;
    }
    WaitForSingleObject(listener.Done(), 60000);
    if (listener.Connected()) {
        Sleep(3000);
        ConnectionInfo info;
        client.GetStatistics(&info);
        Say("  App: connected for " + std::to_string(info.duration) + " s, received " +
            std::to_string(info.bytesReceived) + " bytes, sent " + std::to_string(info.bytesSent));
    }
    client.HangUp();
    Say("  App: hung up");
    return listener.Connected() ? 0 : 1;
}

bool ServiceRunning() {
    auto info = sim::machine().services().Get(kServiceName);
    return info && info->status.dwCurrentState == SERVICE_RUNNING;
}

}  // namespace

int RunInstallerDemo(sim::ClockMode clock) {
    sim::Config config = sim::Config::WindowsXP();
    config.programFolder = std::wstring(kRoot) + L"Bin\\";
    // The demo itself is the setup program the user starts; the service and App run as processes
    // of their own images beside it in the program's folder.
    config.programName = L"Installer.exe";
    config.uiLanguage = 0x0409;
    config.clock = clock;
    config.clockSpeed = 10.0;  // the machine runs ten times faster than the wall clock
    sim::Machine::Reset(config);
    sim::Machine& m = sim::machine();
    brevant::ResetState();
    miravel::ResetState();
    quosset::ResetState();

    // What the setup package put on the disk.
    std::wstring bin = config.programFolder;
    if (!CopyAssets(L"Driver") || !CopyAssets(L"Localize")) {
        std::printf("The assets folder was not found at %s.\n", MODEM_ASSETS_DIR);
        return 1;
    }
    for (const wchar_t* image : {L"Installer.exe", L"Ulvane.exe", L"Ulvane64.exe", L"App.exe"})
        m.WriteFile(bin + image, "MZ");
    quosset::Install(bin);
    harlune::Install(bin);
    m.registry().CreateKey(std::wstring(L"HKLM\\") + kUninstallKey);
    for (const wchar_t* image : {L"Ulvane.exe", L"Ulvane64.exe"})
        m.processes().RegisterProgram(
            image, [](const sim::ProcessRun& run) { return sim::RunMain(run, &UlvaneMain); });
    m.processes().RegisterProgram(L"App.exe", [](const sim::ProcessRun& run) {
        wchar_t image[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, image, MAX_PATH);
        Say("App started as " + U8(image) + ": " + U8(run.commandLine));
        DWORD rc = RunAppDial();
        Say("App ends.");
        return rc;
    });
    m.processes().AddProcess(L"C:\\WINDOWS\\EXPLORER.EXE", config.userName);
    // The machine's own COM1 and COM2.
    std::vector<BYTE> comDb(32, 0);
    comDb[0] = 0x03;
    m.registry().SetValue(kComDbKey, L"ComDB", sim::RegValue{REG_BINARY, comDb});

    // The progress window, on the console; the user answers every box with OK.
    std::shared_ptr<sim::SimModem> modem;
    miravel::SetBoxDelay(2000);
    miravel::SetListener([&](const miravel::Event& e) {
        if (e.kind == miravel::EventKind::Message) Say("  window: " + U8(e.text));
        if (e.kind == miravel::EventKind::Box) {
            Say("  box \"" + U8(e.caption) + "\": " + U8(e.text));
            if (e.text.find(L"unplug") != std::wstring::npos && modem && modem->InModemMode()) {
                Say("  The user unplugs the modem and presses OK.");
                modem->Unplug();
            }
        }
        return MIRAVEL_IDOK;
    });

    Say("The user plugs the modem in; it shows up as a CD-ROM drive.");
    modem = sim::SimModem::Plug();
    Say("COM-port database before the setup: " + Hex(ComDb()));
    Say("The setup runs \"Installer.exe /i\".");
    RunProgramMain(&InstallerMain, {L"Installer.exe", L"/i"});
    for (const auto& u : brevant::Updates()) {
        std::string com =
            !u.comPorts.empty() && u.comPorts[0] ? " on COM" + std::to_string(u.comPorts[0]) : "";
        Say("  driver bound: " + U8(u.hardwareId) + com + (u.succeeded ? "" : " (failed)"));
    }
    Say("COM-port database after the setup: " + Hex(ComDb()));
    Say(std::string("Service \"") + U8(kServiceName) +
        "\": " + (ServiceRunning() ? "running" : "not running"));
    if (auto service = m.services().Get(kServiceName))
        Say("  its program: " + U8(service->config.binaryPath));

    Say("The user unplugs the modem and plugs it in again.");
    modem->Unplug();
    Sleep(3000);
    modem->Replug();
    if (!m.processes().WaitForStarts(L"App.exe", 1, 180000)) {
        Say("App was not started.");
        return 1;
    }
    Say(std::string("The service switched the modem: ") +
        (modem->InModemMode() ? "modem mode" : "still disk mode"));
    auto app = m.processes().WithImage(L"App.exe");
    m.processes().WaitForEnd(app.front().pid, 300000);

    // App saved its settings on the way out.
    std::wstring dataFolder = config.profileFolder + L"\\Application Data\\VARNIUI\\";
    m.WriteFile(dataFolder + L"Setting.txt", "[DialSetting]\r\nPhoneNumber=#777\r\n");
    Say(std::string("Dial-up entry \"QOB Wireless Terminal\": ") +
        (sim::Ras::Get().Entry(L"QOB Wireless Terminal") ? "present" : "absent"));

    Say("The user removes the software: \"Installer.exe /u\", the modem still plugged in.");
    RunProgramMain(&InstallerMain, {L"Installer.exe", L"/u"});
    Say(std::string("Service: ") +
        (m.services().Get(kServiceName) ? "still registered" : "removed"));
    Say(std::string("Dial-up entry: ") +
        (sim::Ras::Get().Entry(L"QOB Wireless Terminal") ? "still there" : "deleted"));
    Say(std::string("Settings file: ") +
        (m.FileExists(dataFolder + L"Setting.txt") ? "still there" : "deleted"));
    Say("Drivers removed: " + std::to_string(brevant::Uninstalls().size()) + " .inf files");
    bool ok = !brevant::Updates().empty() && !app.empty() &&
              !sim::Ras::Get().Entry(L"QOB Wireless Terminal") &&
              !m.FileExists(dataFolder + L"Setting.txt");
    std::printf(ok ? "The new user's road ended well.\n" : "The road went wrong somewhere.\n");
    return ok ? 0 : 1;
}
