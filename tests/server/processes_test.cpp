// Programs as host processes of one machine server.
#include <algorithm>
#include <csignal>
#include <filesystem>

#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "machine/wire.h"
#include "server_fixture.h"

namespace {

constexpr std::uint32_t kWaitTimeout = 0x102;

TEST_F(ServerTest, TwoProcessesWaitingFifteenSecondsWakeAtTheSameMachineTime) {
    auto a = Start(L"sleep 15000", "a");
    auto b = Start(L"sleep 15000", "b");
    EXPECT_EQ(server_->WaitForExit(a.pid), 0u);
    EXPECT_EQ(server_->WaitForExit(b.pid), 0u);
    // Both started at machine time 0: the clock moved once, when both waited.
    EXPECT_EQ(Output("a"), "woke at 15000\n");
    EXPECT_EQ(Output("b"), "woke at 15000\n");
    EXPECT_EQ(server_->Now(), 15000u);
}

TEST_F(ServerTest, ASecondStartHoldingTheSameSemaphoreIsRefusedWhileTheFirstRuns) {
    std::uint32_t ready = server_->CreateEvent(L"first ready", true, false);
    std::uint32_t quit = server_->CreateEvent(L"first quit", true, false);
    auto first = Start(L"hold \"first ready\" \"first quit\"", "first");
    ASSERT_EQ(server_->Wait(ready), 0u);

    auto second = Start(L"hold \"second ready\" \"second quit\"", "second");
    EXPECT_EQ(server_->WaitForExit(second.pid), 2u);
    EXPECT_EQ(Output("second"), "refused\n");

    ASSERT_TRUE(server_->SetEvent(quit));
    EXPECT_EQ(server_->WaitForExit(first.pid), 0u);
    EXPECT_EQ(Output("first"), "running\n");
    // Given back at the first one's end: a third start takes it.
    std::uint32_t thirdReady = server_->CreateEvent(L"third ready", true, false);
    server_->CreateEvent(L"third quit", true, true);
    auto third = Start(L"hold \"third ready\" \"third quit\"", "third");
    EXPECT_EQ(server_->Wait(thirdReady), 0u);
    EXPECT_EQ(server_->WaitForExit(third.pid), 0u);
}

// The owner of the mutex "Modem Port" waits for ever on the server; the taker has opened the
// mutex and waits for it (or is about to) with the given time-out.
class MutexOwnerTest : public ServerTest {
protected:
    void StartBoth(const std::wstring& takerTimeout) {
        std::uint32_t ready = server_->CreateEvent(L"owner ready", true, false);
        owner_ = Start(L"own \"Modem Port\" \"owner ready\"", "owner");
        ASSERT_EQ(server_->Wait(ready), 0u);
        std::uint32_t takerReady = server_->CreateEvent(L"taker ready", true, false);
        taker_ = Start(L"take \"Modem Port\" " + takerTimeout + L" \"taker ready\"", "taker");
        ASSERT_EQ(server_->Wait(takerReady), 0u);
    }
    void ExpectAbandonedAndTheServerServing() {
        EXPECT_EQ(server_->WaitForExit(taker_.pid), 3u);
        EXPECT_EQ(Output("taker"), "wait 128\n");  // WAIT_ABANDONED
        EXPECT_TRUE(server_->Ping());
        auto after = Start(L"take \"Modem Port\" 10", "after");
        EXPECT_EQ(server_->WaitForExit(after.pid), 0u);
    }
    sim::control::ServerClient::Started owner_, taker_;
};

TEST_F(MutexOwnerTest, AClientKilledInAWaitLeavesItsMutexAbandonedAndTheOthersWorking) {
    StartBoth(L"-1");  // INFINITE: the clock has nothing to run to meanwhile
    ASSERT_EQ(kill(owner_.hostPid, SIGKILL), 0);
    ExpectAbandonedAndTheServerServing();
    EXPECT_TRUE(server_->WaitForExit(owner_.pid).has_value());
}

TEST_F(MutexOwnerTest, ATerminatedProcessAbandonsItsMutexBeforeTheClockMoves) {
    StartBoth(L"60000");
    ASSERT_TRUE(server_->Terminate(owner_.pid, 9));
    ExpectAbandonedAndTheServerServing();
    EXPECT_EQ(server_->WaitForExit(owner_.pid), 9u);
    EXPECT_EQ(server_->Now(), 0u);
}

TEST_F(ServerTest, AMutexWhoseOwningThreadEndedIsAbandonedWhileItsProcessRuns) {
    std::uint32_t ready = server_->CreateEvent(L"thread gone", true, false);
    auto owner = Start(L"ownthread \"Modem Port\" \"thread gone\"", "owner");
    ASSERT_EQ(server_->Wait(ready), 0u);
    auto taker = Start(L"take \"Modem Port\" 10", "taker");
    EXPECT_EQ(server_->WaitForExit(taker.pid), 3u);
    EXPECT_EQ(Output("taker"), "wait 128\n");  // WAIT_ABANDONED
    EXPECT_TRUE(server_->Terminate(owner.pid, 0));
}

TEST_F(ServerTest, ExitProcessEndsTheHostProcessWithItsCode) {
    auto p = Start(L"exit 7", "exit");
    EXPECT_EQ(server_->WaitForExit(p.pid), 7u);
    bool listed = false;
    for (const auto& info : server_->Processes()) {
        if (info.pid != p.pid) continue;
        listed = true;
        EXPECT_FALSE(info.running);
        EXPECT_EQ(info.exitCode, 7u);
    }
    EXPECT_TRUE(listed);
}

TEST_F(ServerTest, CreateProcessOfABuiltProgramStartsItsHostProcess) {
    // The image is found on the machine's disk, which the programs share with the host folder.
    std::string image = folder_ + "/m/C/Program Files/Modem/App.exe";
    std::filesystem::create_directories(std::filesystem::path(image).parent_path());
    std::ofstream(image) << "MZ";
    auto parent = Start(L"spawn sleep 2000", "parent");
    EXPECT_EQ(server_->WaitForExit(parent.pid), 0u);
    EXPECT_EQ(Output("parent"), "child 0 at 2000\n");
    auto exits = Start(L"spawn exit 5", "exits");
    EXPECT_EQ(server_->WaitForExit(exits.pid), 0u);
    EXPECT_EQ(Output("exits"), "child 5 at 2000\n");
    // The children are processes of the machine, with the command lines they were given.
    std::vector<std::wstring> lines;
    for (const auto& p : server_->Processes()) lines.push_back(p.commandLine);
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"App.exe sleep 2000"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"App.exe exit 5"), lines.end());
}

// Runs the stand-in from a "shell": a host process of the test's with MODEM_MACHINE naming the
// folder, its standard output to a file. Its exit status.
int RunFromShell(const std::string& folder, const std::vector<std::string>& args,
                 const std::string& output) {
    std::vector<std::string> all = {MODEM_STAND_IN_PROGRAM};
    all.insert(all.end(), args.begin(), args.end());
    pid_t pid = fork();
    if (pid == 0) {
        setenv("MODEM_MACHINE", folder.c_str(), 1);
        unsetenv("MODEM_PID");
        if (!freopen(output.c_str(), "w", stdout)) _exit(127);
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ServerTest, AProcessStartsAppAsTheUserOfTheShellFoundInTheMachinesSnapshot) {
    std::string image = folder_ + "/m/C/Program Files/Modem/App.exe";
    std::filesystem::create_directories(std::filesystem::path(image).parent_path());
    std::ofstream(image) << "MZ";
    std::uint32_t shell = server_->AddProcess(L"C:\\WINDOWS\\EXPLORER.EXE", L"alice");
    ASSERT_NE(shell, 0u);
    auto service = Start(L"spawnas explorer.exe sleep 10", "service");
    EXPECT_EQ(server_->WaitForExit(service.pid), 0u);
    bool found = false;
    for (const auto& p : server_->Processes()) {
        if (p.commandLine != L"App.exe sleep 10") continue;
        found = true;
        EXPECT_EQ(p.user, L"alice");
        EXPECT_EQ(Output("service"), "started as " + std::to_string(p.pid) + "\n");
    }
    EXPECT_TRUE(found);
    EXPECT_TRUE(server_->Terminate(shell, 0));
}

TEST_F(ServerTest, AProgramStartedFromAShellJoinsTheServerOfItsFolderOrStartsOne) {
    // The test's server runs for folder_/m: a program started there joins it. The test waits for
    // it outside the server, so it lets the clock go meanwhile.
    ASSERT_TRUE(server_->HoldClock(false));
    EXPECT_EQ(RunFromShell(folder_ + "/m", {"sleep", "4000"}, OutputPath("joined")), 0);
    EXPECT_EQ(Output("joined"), "woke at 4000\n");
    EXPECT_EQ(server_->Now(), 4000u);
    bool listed = false;
    for (const auto& p : server_->Processes())
        listed = listed || (p.image == L"StandInApp.exe" && !p.running && p.exitCode == 0);
    EXPECT_TRUE(listed);
    // No server runs for another folder: the program starts one, and its exit code is the host's.
    EXPECT_EQ(RunFromShell(folder_ + "/other", {"exit", "7"}, OutputPath("other")), 7);
}

TEST_F(ServerTest, TheInstallerRunsAsItsOwnProcessOnMachineTime) {
    // Without the modem it looks for the device for two minutes of machine time, then ends.
    auto installer = server_->StartProcess(L"C:\\Program Files\\Modem\\Installer.exe",
                                           L"\"C:\\Program Files\\Modem\\Installer.exe\" /i",
                                           OutputPath("installer"));
    ASSERT_TRUE(installer.has_value());
    EXPECT_EQ(server_->WaitForExit(installer->pid), 0u);
    EXPECT_GE(server_->Now(), 120000u);
}

TEST_F(ServerTest, TheRegistryIsTheMachinesAcrossProcesses) {
    auto reader = Start(L"regget \"SOFTWARE\\Modem\" Port", "before");
    EXPECT_EQ(server_->WaitForExit(reader.pid), 0u);
    EXPECT_EQ(Output("before"), "missing\n");
    auto writer = Start(L"regset \"SOFTWARE\\Modem\" Port COM7", "writer");
    EXPECT_EQ(server_->WaitForExit(writer.pid), 0u);
    // Another process, and names as the registry compares them (without regard to case).
    auto after = Start(L"regget \"software\\MODEM\" port", "after");
    EXPECT_EQ(server_->WaitForExit(after.pid), 0u);
    EXPECT_EQ(Output("after"), "value COM7\n");
}

TEST_F(ServerTest, AWaitForAProcessEndsAtItsMachineTimeOut) {
    std::uint32_t ready = server_->CreateEvent(L"never ready", true, false);
    auto owner = Start(L"own \"Lone Mutex\" \"never ready\"", "lone");
    ASSERT_EQ(server_->Wait(ready), 0u);
    EXPECT_EQ(server_->Wait(server_->CreateEvent(L"nobody sets it", true, false), 2500),
              kWaitTimeout);
    EXPECT_FALSE(server_->WaitForExit(owner.pid, 1000).has_value());
    EXPECT_EQ(server_->Now(), 3500u);
}

TEST_F(ServerTest, GarbageOnOneConnectionLeavesTheServerServingTheOthers) {
    // A stream out of step (a frame length past the limit): that client is dropped.
    auto bad = sim::control::ServerClient::Connect(folder_ + "/m");
    ASSERT_NE(bad, nullptr);
    ASSERT_TRUE(bad->SendBytes(std::string("\xff\xff\xff\x7f garbage", 12)));
    EXPECT_FALSE(bad->ReadStatus(1).has_value());
    // A request cut short by the socket closing.
    {
        auto cut = sim::control::ServerClient::Connect(folder_ + "/m");
        ASSERT_NE(cut, nullptr);
        sim::wire::Frame f;
        f.kind = sim::wire::Kind::CreateNamed;
        f.id = 9;
        f.payload = std::string(40, 'x');
        ASSERT_TRUE(cut->SendBytes(sim::wire::Encode(f).substr(0, 20)));
    }
    EXPECT_TRUE(server_->Ping());
    auto p = Start(L"exit 0", "after-garbage");
    EXPECT_EQ(server_->WaitForExit(p.pid), 0u);
}

TEST_F(ServerTest, TheServerExitsByItselfOnceItsLastClientLeftAndItsProcessesEnded) {
    auto p = Start(L"sleep 100", "last");
    EXPECT_EQ(server_->WaitForExit(p.pid), 0u);
    EXPECT_EQ(server_->LeaveAndWaitForServer(), 0);
    EXPECT_EQ(sim::wire::ConnectToFolder(folder_ + "/m"), -1);
}

// Waits until the host process has ended (it need not be a child of ours).
void WaitForHostEnd(int pid) {
    int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0) return;  // gone already
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, -1) < 0) {
    }
    close(fd);
}

TEST(ServerGuard, AServerAndItsProgramsGoWithTheTestThatStartedItEvenWhenItCrashes) {
    char tmpl[] = "/tmp/machine-server-crash-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string folder = std::string(tmpl) + "/m";
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    pid_t test = fork();
    if (test == 0) {
        // A test that starts a server and a program waiting for ever, then crashes.
        auto server = sim::control::ServerClient::StartServer(MODEM_SERVER_PROGRAM, folder);
        if (!server || !server->RegisterProgram(L"App.exe", MODEM_STAND_IN_PROGRAM)) _exit(1);
        std::uint32_t ready = server->CreateEvent(L"ready", true, false);
        auto app = server->StartProcess(L"App.exe", L"App.exe own M ready");
        if (!app || server->Wait(ready) != 0) _exit(1);
        int pids[2] = {server->ServerHostPid(), app->hostPid};
        (void)!write(pipeFds[1], pids, sizeof pids);
        std::abort();
    }
    close(pipeFds[1]);
    int pids[2] = {0, 0};
    ASSERT_EQ(read(pipeFds[0], pids, sizeof pids), static_cast<ssize_t>(sizeof pids));
    int status = 0;
    waitpid(test, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    WaitForHostEnd(pids[0]);
    WaitForHostEnd(pids[1]);
    EXPECT_EQ(sim::wire::ConnectToFolder(folder), -1);
    std::system(("rm -rf '" + std::string(tmpl) + "'").c_str());
}

}  // namespace
