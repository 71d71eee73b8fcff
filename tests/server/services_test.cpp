// The service control manager across processes: Ulvane registers, starts, stops and removes its
// service from processes of its own, and the service runs as a process of its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "server_fixture.h"

namespace {

constexpr std::uint32_t kStopped = 1, kStartPending = 2, kStopPending = 3, kRunning = 4;
constexpr std::uint32_t kProcessAborted = 1067;
const std::wstring kService = L"REriz Avadovi";
const std::wstring kUlvane = L"C:\\Program Files\\Modem\\Ulvane.exe";

class ServicesTest : public ServerTest {
protected:
    // Runs "Ulvane <option>" as its own process to its end; its exit code.
    std::uint32_t RunUlvane(const std::wstring& option) {
        auto p = server_->StartProcess(kUlvane, L"\"" + kUlvane + L"\" " + option);
        EXPECT_TRUE(p.has_value());
        if (!p) return 0xFFFFFFFF;
        return server_->WaitForExit(p->pid).value_or(0xFFFFFFFF);
    }
    // Registers and starts the service through Ulvane; the service's process.
    sim::control::ServerClient::ProcessInfo Register() {
        EXPECT_EQ(RunUlvane(L"-r"), 0u);
        EXPECT_TRUE(server_->WaitForServiceState(kService, kRunning, 60000));
        auto s = server_->QueryService(kService);
        EXPECT_TRUE(s.has_value());
        for (const auto& p : server_->Processes())
            if (s && p.pid == s->pid) return p;
        ADD_FAILURE() << "the service's process is not in the process table";
        return {};
    }
};

TEST_F(ServicesTest, UlvaneRegistersItsServiceWhichRunsAsItsOwnProcess) {
    auto process = Register();
    auto s = server_->QueryService(kService);
    ASSERT_TRUE(s.has_value());
    // The path is registered quoted, as it has blanks.
    EXPECT_EQ(s->binaryPath, L"\"" + kUlvane + L"\"");
    EXPECT_EQ(s->account, L"");
    EXPECT_EQ(s->startType, 2u);  // started automatically
    // The server set it pending when it started the program; the program reported it running.
    EXPECT_EQ(s->history, (std::vector<std::uint32_t>{kStartPending, kRunning}));
    // The service's process runs the service's command line as LocalSystem.
    EXPECT_TRUE(process.running);
    EXPECT_EQ(process.image, kUlvane);
    EXPECT_EQ(process.commandLine, s->binaryPath);
    EXPECT_EQ(process.user, L"SYSTEM");
}

TEST_F(ServicesTest, AStopFromAnotherProcessEndsTheServicesProcessAndUnregisterRemovesIt) {
    auto process = Register();
    EXPECT_EQ(RunUlvane(L"-Stop"), 0u);
    auto s = server_->QueryService(kService);
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->state, kStopped);
    EXPECT_EQ(s->win32ExitCode, 0u);
    EXPECT_EQ(s->history,
              (std::vector<std::uint32_t>{kStartPending, kRunning, kStopPending, kStopped}));
    // Its process ended by itself once the service had stopped.
    EXPECT_EQ(server_->WaitForExit(process.pid), 0u);
    // A second copy removes the stopped service.
    EXPECT_EQ(RunUlvane(L"-u"), 0u);
    EXPECT_FALSE(server_->QueryService(kService).has_value());
}

TEST_F(ServicesTest, AKilledServiceProcessLeavesTheServiceStoppedAndTheServerServing) {
    auto process = Register();
    ASSERT_TRUE(server_->Terminate(process.pid, 9));
    EXPECT_TRUE(server_->WaitForServiceState(kService, kStopped, 60000));
    auto s = server_->QueryService(kService);
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->win32ExitCode, kProcessAborted);
    EXPECT_EQ(s->pid, 0u);
    // The server serves on: the service starts again in a new process.
    EXPECT_TRUE(server_->Ping());
    EXPECT_EQ(server_->StartService(kService), 0u);
    EXPECT_TRUE(server_->WaitForServiceState(kService, kRunning, 60000));
    auto again = server_->QueryService(kService);
    ASSERT_TRUE(again.has_value());
    EXPECT_NE(again->pid, 0u);
    EXPECT_NE(again->pid, process.pid);
    EXPECT_EQ(server_->ControlService(kService, 1 /* stop */), 0u);
    EXPECT_TRUE(server_->WaitForServiceState(kService, kStopped, 60000));
}

TEST_F(ServicesTest, ControlsReachTheHandlerInTheServicesProcess) {
    Register();
    struct Case {
        std::uint32_t control;
        std::uint32_t result;
        std::uint32_t stateAfter;
    };
    const Case cases[] = {
        {4, 0, kRunning},     // interrogate: the handler answers running
        {200, 0, kRunning},   // a control of the service's own: running
        {2, 1052, kRunning},  // pause: not accepted (ERROR_INVALID_SERVICE_CONTROL)
        {1, 0, kStopped},     // stop
        {4, 1062, kStopped},  // once stopped: ERROR_SERVICE_NOT_ACTIVE
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        EXPECT_EQ(server_->ControlService(kService, c.control), c.result);
        EXPECT_TRUE(server_->WaitForServiceState(kService, c.stateAfter, 60000));
    }
    auto s = server_->QueryService(kService);
    ASSERT_TRUE(s.has_value());
    // Each control the handler took was answered with a report: running, running, stop pending.
    EXPECT_EQ(s->history, (std::vector<std::uint32_t>{kStartPending, kRunning, kRunning, kRunning,
                                                      kStopPending, kStopped}));
}

TEST_F(ServicesTest, TheServiceStartsAppAsItsOwnProcessInTheUsersSessionWhenTheModemArrives) {
    // App is installed (its entry in the list of installed programs) and on the machine's disk;
    // a user is logged on.
    auto reg = Start(L"regset \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                     L"QOBWireless-101_is1\" DisplayName Modem",
                     "reg");
    ASSERT_EQ(server_->WaitForExit(reg.pid), 0u);
    std::string image = folder_ + "/m/C/Program Files/Modem/App.exe";
    std::filesystem::create_directories(std::filesystem::path(image).parent_path());
    std::ofstream(image) << "MZ";
    ASSERT_NE(server_->AddProcess(L"C:\\WINDOWS\\EXPLORER.EXE", L"alice"), 0u);
    auto service = Register();
    std::uint32_t started = server_->CreateEvent(L"stand-in: App started", true, false);
    ASSERT_NE(started, 0u);

    // The modem arrives in disk mode: the service switches it and, once the modem is there,
    // starts App.
    ASSERT_TRUE(server_->PlugModem().has_value());
    ASSERT_EQ(server_->Wait(started, 120000), 0u);
    std::vector<sim::control::ServerClient::ProcessInfo> apps;
    for (const auto& p : server_->Processes())
        if (p.image == L"C:\\Program Files\\Modem\\App.exe" && p.pid != reg.pid) apps.push_back(p);
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(apps[0].user, L"alice");
    EXPECT_EQ(apps[0].commandLine, L"\"C:\\Program Files\\Modem\\App.exe\" ");
    EXPECT_NE(apps[0].pid, service.pid);
    // The modem is in modem mode, with its serial ports.
    bool modem = false;
    for (const auto& node : server_->DeviceNodes(L"USB"))
        modem = modem || (node.present && node.instanceId.find(L"MI_") != std::wstring::npos);
    EXPECT_TRUE(modem);
}

}  // namespace
