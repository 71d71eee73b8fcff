// App's own executable started by the service when the modem arrives, killed in the middle of a
// dial: its half-made connection goes with it, and the service starts a new App whose dial goes
// through.
#include <filesystem>
#include <fstream>

#include <ras.h>
#include "machine/ras.h"
#include "server_fixture.h"

namespace {

using sim::control::ServerClient;

constexpr std::uint64_t kMachineMinute = 60000;
const std::wstring kBin = L"C:\\Program Files\\VARNI\\Bin\\";
const std::wstring kService = L"REriz Avadovi";
constexpr std::uint32_t kRunning = 4;
// The connect button of App's default skin, with App's window where it comes up first.
constexpr int kConnectX = 206, kConnectY = 390;

class AppKilledDialTest : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        // What the setup leaves on the disk: the drivers beside the programs' folder, the skin
        // and plug-ins in it; the software's entry in the installed programs; a user logged on.
        const std::filesystem::path assets = std::filesystem::path(MODEM_SOURCE_DIR) / "assets";
        const std::filesystem::path root = folder_ + "/m/C/Program Files/VARNI";
        std::filesystem::create_directories(root / "Bin");
        std::filesystem::copy(assets / "Driver", root / "Driver",
                              std::filesystem::copy_options::recursive);
        for (const char* folder : {"skin", "plugins"})
            std::filesystem::copy(assets / folder, root / "Bin" / folder,
                                  std::filesystem::copy_options::recursive);
        for (const char* program : {"Ulvane.exe", "App.exe"})
            std::ofstream(root / "Bin" / program) << "MZ";
        ASSERT_TRUE(server_->RegisterProgram(L"App.exe", MODEM_APP_PROGRAM));
        ASSERT_TRUE(server_->CreateRegistryKey(
            L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
            L"QOBWireless-101_is1"));
        ASSERT_NE(server_->AddProcess(L"C:\\WINDOWS\\EXPLORER.EXE", L"alice"), 0u);
        const std::wstring ulvane = kBin + L"Ulvane.exe";
        auto reg = server_->StartProcess(ulvane, L"\"" + ulvane + L"\" -r");
        ASSERT_TRUE(reg.has_value());
        ASSERT_EQ(server_->WaitForExit(reg->pid), 0u);
        ASSERT_TRUE(server_->WaitForServiceState(kService, kRunning, kMachineMinute));
        pause_ = server_->CreateEvent(L"test: never set", true, false);
    }

    // Waits on the machine's clock, a tenth of a second at a time, until the condition holds.
    template <typename Condition>
    bool Until(Condition condition, std::uint64_t ms = kMachineMinute) {
        for (std::uint64_t waited = 0; !condition(); waited += 100) {
            if (waited > ms) return false;
            server_->Wait(pause_, 100);
        }
        return true;
    }
    // The running App started by the service, once its main window shows; 0 when none came.
    std::uint32_t AppWithWindow(const std::wstring& tag) {
        std::uint32_t shown = server_->CreateEvent(L"test: App's window " + tag, true, false);
        if (!server_->WatchWindow(L"Raza Zevi", shown) ||
            server_->Wait(shown, 2 * kMachineMinute) != 0)
            return 0;
        bool visible = Until([&] {
            for (const auto& w : server_->Windows())
                if (w.title == L"Raza Zevi" && w.visible) return true;
            return false;
        });
        if (!visible) return 0;
        for (const auto& p : server_->Processes())
            if (p.running && p.image == kBin + L"App.exe") return p.pid;
        return 0;
    }
    std::optional<sim::RasLine> LineOf(std::uint32_t pid) {
        for (const auto& line : server_->RasConnections())
            if (line.pid == pid) return line;
        return std::nullopt;
    }

    std::uint32_t pause_ = 0;
};

TEST_F(AppKilledDialTest, AppKilledMidDialLeavesNoLineAndTheServiceStartsANewAppThatDials) {
    // The first dial hangs where it is; the next one connects.
    ASSERT_TRUE(server_->ScriptNextDial(sim::DialScript::Hang()));
    auto modem = server_->PlugModem();
    ASSERT_TRUE(modem.has_value());
    std::uint32_t first = AppWithWindow(L"first");
    ASSERT_NE(first, 0u);
    EXPECT_EQ(server_->Click(kConnectX, kConnectY), first);
    ASSERT_TRUE(Until([&] { return LineOf(first).has_value(); }));
    EXPECT_EQ(LineOf(first)->phase, sim::RasPhase::Dialling);

    ASSERT_TRUE(server_->Terminate(first, 1));
    EXPECT_TRUE(server_->RasConnections().empty());

    // The user pulls the modem out and plugs it in again: the service starts App anew.
    ASSERT_TRUE(server_->ScriptNextDial(sim::DialScript::Connect()));
    ASSERT_TRUE(server_->UnplugModem(*modem));
    ASSERT_TRUE(server_->ReplugModem(*modem));
    std::uint32_t second = AppWithWindow(L"second");
    ASSERT_NE(second, 0u);
    EXPECT_NE(second, first);
    EXPECT_EQ(server_->Click(kConnectX, kConnectY), second);
    ASSERT_TRUE(Until([&] {
        auto line = LineOf(second);
        return line && line->phase == sim::RasPhase::Connected;
    }));
    auto lines = server_->RasConnections();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].pid, second);
    auto journal = server_->GetRasJournal();
    ASSERT_TRUE(journal.has_value());
    EXPECT_EQ(journal->dials, 2);
    ASSERT_EQ(journal->records.size(), 2u);
    EXPECT_EQ(journal->records[1].phoneNumber, journal->records[0].phoneNumber);
    EXPECT_EQ(journal->records[1].entryName, journal->records[0].entryName);
}

}  // namespace
