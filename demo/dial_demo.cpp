// Demo: App's dial on a simulated Windows XP machine of its own, with App and the modem's drivers
// installed and the modem plugged in and up in modem mode: the dial thread dials the simulated
// network with the default settings, shows the state texts and a few statistics samples, and
// hangs up.
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>

#include "app/connection.h"
#include "app/device_status.h"
#include "demo/demo.h"
#include <winbase.h>
#include "machine/machine.h"
#include "machine/modem.h"
#include "machine/ras.h"
#include "support/platform_helpers.h"

namespace {

constexpr int kSamples = 3;

std::string U8(const std::wstring& s) {
    return sim::ToUtf8(s);
}

class DemoListener : public IConnectionListener {
public:
    DemoListener() : m_enough(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~DemoListener() { CloseHandle(m_enough); }

    void OnError(const std::wstring& text) override { Say("error: " + U8(text)); }
    void OnStateText(const std::wstring& text) override { Say("state: " + U8(text)); }
    void OnConnected() override {
        m_connected = true;
        Say("connected");
    }
    void OnStatistics(const ConnectionInfo& info, ULONGLONG receivedRate,
                      ULONGLONG sentRate) override {
        char line[200];
        std::snprintf(line, sizeof line,
                      "statistics after %d s: received %llu bytes (%llu B/s), sent %llu bytes "
                      "(%llu B/s)",
                      info.duration, static_cast<unsigned long long>(info.bytesReceived),
                      static_cast<unsigned long long>(receivedRate),
                      static_cast<unsigned long long>(info.bytesSent),
                      static_cast<unsigned long long>(sentRate));
        Say(line);
        if (++m_samples == kSamples) SetEvent(m_enough);
    }
    void OnDisconnecting() override { Say("disconnecting"); }
    void OnDisconnected() override { Say("disconnected"); }

    HANDLE Enough() const { return m_enough; }
    bool Connected() const { return m_connected; }
    int Samples() const { return m_samples; }

private:
    void Say(const std::string& text) {
        std::lock_guard<std::mutex> lock(m_mu);
        std::printf("  [%.1fs] %s\n", GetTickCount() / 1000.0, text.c_str());
        std::fflush(stdout);
    }

    std::mutex m_mu;
    HANDLE m_enough;
    bool m_connected = false;
    int m_samples = 0;
};

}  // namespace

bool InstallDrivers() {
    return sim::machine().CopyFromHost(std::filesystem::path(MODEM_ASSETS_DIR) / "Driver",
                                       GetModuleFolder() + L"..\\Driver\\") > 0 &&
           FileExists(GetModemInfPath());
}

int RunDialDemo(sim::ClockMode clock) {
    sim::Config config = ResetDemoMachine(L"App.exe", clock, 8.0);
    sim::machine().WriteFile(config.programFolder + config.programName, "MZ");
    if (!InstallDrivers()) {
        std::printf("The driver files were not found at %s.\n", MODEM_ASSETS_DIR);
        return 1;
    }
    // The modem is plugged in and up in modem mode, as the disk monitor service leaves it.
    sim::ModemOptions options;
    options.startInModemMode = true;
    auto device = sim::SimModem::Plug(options);

    std::wstring modem = CDeviceStatus::Instance().GetModemName();
    if (modem.empty()) {
        std::printf("App finds no modem.\n");
        return 1;
    }
    std::printf("App dials \"%s\" on the modem \"%s\" with the default settings.\n",
                U8(CConnection::kEntryName).c_str(), U8(modem).c_str());
    // The network's traffic while the line is up, in bytes per second.
    sim::Ras::Get().SetTrafficRates(6000, 48000);

    DemoListener listener;
    CConnection connection;
    connection.AddListener(&listener);
    if (!connection.Start()) {
        std::printf("The dial thread could not be started.\n");
        return 1;
    }
    HANDLE waits[] = {listener.Enough(), connection.Handle()};
    WaitForMultipleObjects(2, waits, FALSE, 60000);
    std::printf("  The user presses the button again: hang up.\n");
    connection.Stop();
    connection.Wait(INFINITE);
    bool ok = listener.Connected() && listener.Samples() >= kSamples;
    std::printf(ok ? "Dialled, connected and hung up.\n" : "The dial did not succeed.\n");
    return ok ? 0 : 1;
}
