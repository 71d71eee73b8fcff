// The control client reads each program's console and debugger output, and the process table.
#include "server_fixture.h"

namespace {

class JournalsTest : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        ASSERT_TRUE(server_->RegisterProgram(L"Probe.exe", MODEM_KERNEL_PROBE));
    }
};

TEST_F(JournalsTest, EachProgramsConsoleAndDebuggerOutputIsKeptByProcess) {
    auto a = server_->StartProcess(L"C:\\Tools\\Probe.exe", L"Probe.exe say alpha");
    auto b = server_->StartProcess(L"C:\\Tools\\Probe.exe", L"Probe.exe say beta");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(server_->WaitForExit(a->pid), 0u);
    EXPECT_EQ(server_->WaitForExit(b->pid), 0u);
    auto ja = server_->ReadJournal(a->pid);
    auto jb = server_->ReadJournal(b->pid);
    ASSERT_TRUE(ja && jb);
    EXPECT_EQ(ja->console, L"alpha\n");
    EXPECT_EQ(ja->debug, std::vector<std::wstring>{L"debug alpha"});
    EXPECT_EQ(jb->console, L"beta\n");
    EXPECT_EQ(jb->debug, std::vector<std::wstring>{L"debug beta"});
    // Nobody's journal: empty.
    auto none = server_->ReadJournal(0x7777);
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->console.empty() && none->debug.empty());

    auto table = server_->Processes();
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].pid, a->pid);
    EXPECT_EQ(table[0].commandLine, L"Probe.exe say alpha");
    EXPECT_FALSE(table[0].running);
    EXPECT_EQ(table[1].pid, b->pid);
}

}  // namespace
