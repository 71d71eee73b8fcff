// The machine's RAS shared by programs running as host processes of one machine server: the
// control client scripts how a program's dial goes and reads its journal, sets the counters the
// program reads, unplugs the modem under a program's connection; a killed program leaves no
// connection.
#include <string>

#include <ras.h>
#include "machine/ras.h"
#include "server_fixture.h"

namespace {

using Plug = sim::control::ServerClient::ModemPlug;

constexpr std::uint64_t kMachineMinute = 60000;

class RasServerTest : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        ASSERT_TRUE(server_->RegisterProgram(L"Dialer.exe", MODEM_RAS_DIALER_PROGRAM));
        modem_ = server_->PlugModem(Plug{0xFFF1, false, true}).value_or(~0u);
        ASSERT_NE(modem_, ~0u);
        ASSERT_EQ(Run(L"entry Work \"CDMA USB Modem\" 5550100", "entry"), 0u);
    }
    sim::control::ServerClient::Started Dialer(const std::wstring& args, const std::string& tag) {
        const std::wstring image = L"C:\\Program Files\\Modem\\Dialer.exe";
        auto started =
            server_->StartProcess(image, L"\"" + image + L"\" " + args, OutputPath(tag));
        EXPECT_TRUE(started.has_value());
        return started.value_or(sim::control::ServerClient::Started{});
    }
    // Runs the dialer to its end: its exit code.
    std::optional<std::uint32_t> Run(const std::wstring& args, const std::string& tag) {
        return server_->WaitForExit(Dialer(args, tag).pid, kMachineMinute);
    }
    // Starts "dial" (or "watch") and waits until its dial has come to its end. Its events are
    // named after the tag.
    sim::control::ServerClient::Started Connected(const std::wstring& mode,
                                                  const std::string& tag) {
        const std::wstring name(tag.begin(), tag.end());
        ready_ = server_->CreateEvent(name + L"-ready", true, false);
        dropped_ = server_->CreateEvent(name + L"-dropped", true, false);
        quit_ = server_->CreateEvent(name + L"-quit", true, false);
        auto p = Dialer(mode + L" Work tester " + name + L"-ready " +
                            (mode == L"watch" ? name + L"-dropped " : L"") + name + L"-quit",
                        tag);
        EXPECT_EQ(server_->Wait(ready_, kMachineMinute), 0u) << Output(tag);
        return p;
    }

    std::uint32_t modem_ = 0;
    std::uint32_t ready_ = 0, dropped_ = 0, quit_ = 0;
};

struct ScriptCase {
    const char* what;
    sim::DialScript script;
    std::string output;
    int hangUps;
};

void PrintTo(const ScriptCase& c, std::ostream* os) {
    *os << c.what;
}

class DialScriptTest : public RasServerTest, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(DialScriptTest, AProgramsDialFollowsTheControlClientsScriptAndTheJournalIsTheMachines) {
    const ScriptCase& c = GetParam();
    ASSERT_TRUE(server_->ScriptNextDial(c.script));
    auto p = Connected(L"dial", "dial");
    ASSERT_TRUE(server_->SetEvent(quit_));
    EXPECT_EQ(server_->WaitForExit(p.pid, kMachineMinute), 0u);
    EXPECT_EQ(Output("dial"), c.output) << c.what;

    auto journal = server_->GetRasJournal();
    ASSERT_TRUE(journal.has_value());
    EXPECT_EQ(journal->dials, 1);
    EXPECT_EQ(journal->hangUps, c.hangUps) << c.what;
    ASSERT_EQ(journal->records.size(), 1u);
    const sim::DialRecord& d = journal->records[0];
    EXPECT_EQ(d.entryName, L"Work");
    EXPECT_EQ(d.phoneNumber, L"5550100");  // the entry's, as the dial gave none
    EXPECT_EQ(d.userName, L"tester");
    EXPECT_EQ(d.password, L"secret");
    EXPECT_EQ(d.deviceName, L"CDMA USB Modem");
    // The program has gone: nothing of its connection is left.
    EXPECT_TRUE(server_->RasConnections().empty());
}

sim::DialScript ShortConnect() {
    sim::DialScript s;
    s.steps = {{RASCS_OpenPort, 10}, {RASCS_Authenticate, 20}};
    s.endDelayMs = 5;
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Ras, DialScriptTest,
    ::testing::Values(
        ScriptCase{"the default steps, connected",
                   sim::DialScript::Connect(),
                   "state 0 error 0 at +100\nstate 1 error 0 at +200\nstate 2 error 0 at +400\n"
                   "state 3 error 0 at +700\nstate 4 error 0 at +750\nstate 5 error 0 at +850\n"
                   "state 14 error 0 at +1150\nstate 8192 error 0 at +1300\n"
                   "status 8192 error 0\nsent 0 received 0\nhangup 0\n",
                   1},
        ScriptCase{"two steps, connected", ShortConnect(),
                   "state 0 error 0 at +10\nstate 5 error 0 at +30\nstate 8192 error 0 at +35\n"
                   "status 8192 error 0\nsent 0 received 0\nhangup 0\n",
                   1},
        ScriptCase{"no answer", sim::DialScript::Fail(678, 651),
                   "state 0 error 0 at +100\nstate 1 error 0 at +200\nstate 2 error 0 at +400\n"
                   "state 2 error 678 at +900\n"
                   "status 2 error 651\nsent 0 received 0\nhangup 0\n",
                   1},
        ScriptCase{"refused at once", sim::DialScript::FailSync(633, false), "dial error 633\n",
                   0}));

TEST_F(RasServerTest, CountersTheControlClientSetsAreWhatTheDiallingProgramReads) {
    auto p = Connected(L"dial", "dial");
    // The connection is the machine's: the control client and another program see it.
    auto lines = server_->RasConnections();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].pid, p.pid);
    EXPECT_EQ(lines[0].phase, sim::RasPhase::Connected);
    EXPECT_EQ(lines[0].entryName, L"Work");
    EXPECT_EQ(Run(L"enum", "enum"), 0u);
    EXPECT_EQ(Output("enum"), "conn Work CDMA USB Modem state 8192 error 0\n");

    // RAS reports the low 32 bits of the 64-bit counters.
    ASSERT_TRUE(server_->SetRasCounters(0x100000010ull, 2000));
    ASSERT_TRUE(server_->SetEvent(quit_));
    EXPECT_EQ(server_->WaitForExit(p.pid, kMachineMinute), 0u);
    EXPECT_NE(Output("dial").find("sent 16 received 2000\n"), std::string::npos) << Output("dial");
    // Hung up: no connection is left for counters.
    EXPECT_FALSE(server_->SetRasCounters(1, 1));
}

TEST_F(RasServerTest, UnpluggingTheModemDropsTheConnectionOfTheProgramThatDialled) {
    auto p = Connected(L"watch", "watch");
    ASSERT_TRUE(server_->UnplugModem(modem_));
    ASSERT_EQ(server_->Wait(dropped_, kMachineMinute), 0u) << Output("watch");
    auto lines = server_->RasConnections();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].phase, sim::RasPhase::Dropped);
    EXPECT_EQ(lines[0].statusError, 628u);
    // A dropped line is no longer one the control client can drop.
    EXPECT_FALSE(server_->DropLine(619));

    ASSERT_TRUE(server_->SetEvent(quit_));
    EXPECT_EQ(server_->WaitForExit(p.pid, kMachineMinute), 0u);
    EXPECT_NE(Output("watch").find("dropped error 628\nstatus 8193 error 628\n"),
              std::string::npos)
        << Output("watch");
}

TEST_F(RasServerTest, AProgramKilledWhileConnectedLeavesNoConnectionBehind) {
    auto p = Connected(L"dial", "dial");
    ASSERT_EQ(server_->RasConnections().size(), 1u);
    ASSERT_TRUE(server_->Terminate(p.pid, 1));
    EXPECT_TRUE(server_->RasConnections().empty());
    EXPECT_EQ(Run(L"enum", "enum"), 0u);
    EXPECT_EQ(Output("enum"), "none\n");
    EXPECT_FALSE(server_->DropLine(628));
    // The next program dials as if nothing had been.
    auto next = Connected(L"dial", "next");
    ASSERT_TRUE(server_->SetEvent(quit_));
    EXPECT_EQ(server_->WaitForExit(next.pid, kMachineMinute), 0u);
    EXPECT_NE(Output("next").find("state 8192 error 0 at +1300\n"), std::string::npos);
}

TEST_F(RasServerTest, APhoneBookEntryOneProgramWroteIsTheMachines) {
    EXPECT_EQ(Run(L"getentry Work", "get"), 0u);
    EXPECT_EQ(Output("get"), "device CDMA USB Modem number 5550100\n");
    EXPECT_EQ(Run(L"getentry Home", "missing"), 0u);
    EXPECT_EQ(Output("missing"), "error 623\n");
    auto entry = server_->RasEntry(L"work");  // names compare without case
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->size, sizeof(RASENTRYW));
    EXPECT_EQ(std::wstring(entry->entry.szLocalPhoneNumber), L"5550100");
}

}  // namespace
