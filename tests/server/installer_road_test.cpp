// The installer as its own process on a machine server, with the modem plugged in disk mode.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "machine/machine.h"
#include "server_fixture.h"

namespace {

const std::wstring kRoot = L"C:\\Program Files\\VARNI\\";
const std::wstring kComDbKey = L"SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";

class InstallerRoadTest : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        std::filesystem::path root = folder_ + "/m/C/Program Files/VARNI";
        std::filesystem::create_directories(root);
        for (const char* assets : {"Driver", "Localize"})
            std::filesystem::copy(std::filesystem::path(MODEM_SOURCE_DIR) / "assets" / assets,
                                  root / assets, std::filesystem::copy_options::recursive);
        std::filesystem::create_directories(root / "Bin");
        for (const char* program : {"Installer.exe", "Ulvane.exe", "App.exe"})
            std::ofstream(root / "Bin" / program) << "MZ";
    }
    // Runs the stand-in with these arguments to its end: what it printed.
    std::string Run(const std::wstring& args) {
        static int runs = 0;
        std::string tag = "run" + std::to_string(++runs);
        auto p = Start(args, tag);
        EXPECT_EQ(server_->WaitForExit(p.pid), 0u);
        return Output(tag);
    }
};

TEST_F(InstallerRoadTest, InstallerRunAsItsOwnProcessInstallsTheModemPluggedInDiskMode) {
    // COM1 and COM2 belong to the machine's own ports.
    const std::wstring comDb = L"0300000000000000000000000000000000000000000000000000000000000000";
    EXPECT_EQ(Run(L"regbin \"" + kComDbKey + L"\" ComDB " + comDb), "");
    auto modem = server_->PlugModem();
    ASSERT_TRUE(modem.has_value());

    auto installer = server_->StartProcess(kRoot + L"Bin\\Installer.exe",
                                           L"\"" + kRoot + L"Bin\\Installer.exe\" /i",
                                           OutputPath("installer"));
    ASSERT_TRUE(installer.has_value());
    EXPECT_EQ(server_->WaitForExit(installer->pid), 0u);
    // It printed what it did.
    EXPECT_NE(Output("installer").find("找到3个新硬件\n"), std::string::npos);

    // The modem was switched to modem mode, its three interfaces are there, and the port
    // database the installer reserved COM1 to COM12 in while the ports were numbered has its
    // value from before the install again.
    auto state = server_->GetModemState(*modem);
    ASSERT_TRUE(state.has_value());
    EXPECT_TRUE(state->modemMode);
    EXPECT_EQ(state->switches, 1u);
    int interfaces = 0;
    for (const auto& node : server_->DeviceNodes(L"USB\\VID_3A5C&PID_FFF1&MI_"))
        interfaces += node.present && !node.portName.empty();
    EXPECT_EQ(interfaces, 3);
    EXPECT_EQ(Run(L"regget \"" + kComDbKey + L"\" ComDB"), "value " + sim::ToUtf8(comDb) + "\n");

    // Ulvane ran twice, each as its own process, and the service it registered runs as a third.
    std::vector<std::wstring> ulvanes;
    std::uint32_t servicePid = 0;
    for (const auto& p : server_->Processes()) {
        if (p.image != kRoot + L"Bin\\Ulvane.exe") continue;
        ulvanes.push_back(p.commandLine);
        if (p.running) servicePid = p.pid;
    }
    const std::wstring ulvane = L"\"" + kRoot + L"Bin\\Ulvane.exe\"";
    EXPECT_EQ(ulvanes, (std::vector<std::wstring>{ulvane + L" -u", ulvane + L" -r", ulvane}));
    auto service = server_->QueryService(L"REriz Avadovi");
    ASSERT_TRUE(service.has_value());
    EXPECT_EQ(service->state, 4u);  // running
    EXPECT_EQ(service->pid, servicePid);
}

}  // namespace
