// A program's waits that mix the server's objects with its own, and named objects opened by name,
// with real processes.
#include "server_fixture.h"

namespace {

constexpr std::uint32_t kWaitObject0 = 0;
constexpr std::uint32_t kWaitTimeout = 0x102;

class KernelServerTest : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        ASSERT_TRUE(server_->RegisterProgram(L"Probe.exe", MODEM_KERNEL_PROBE));
    }
    sim::control::ServerClient::Started Probe(const std::wstring& args, const std::string& tag) {
        auto started = server_->StartProcess(L"C:\\Tools\\Probe.exe",
                                             L"\"C:\\Tools\\Probe.exe\" " + args, OutputPath(tag));
        EXPECT_TRUE(started.has_value());
        return started.value_or(sim::control::ServerClient::Started{});
    }
    // Lets the machine clock run until it reads `ms` (a wait on an event nobody sets).
    void RunClockTo(std::uint64_t ms) {
        std::uint32_t never = server_->CreateEvent(L"test: never", true, false);
        std::uint64_t now = server_->Now();
        ASSERT_LT(now, ms);
        EXPECT_EQ(server_->Wait(never, ms - now), kWaitTimeout);
    }
};

struct MixedCase {
    const char* name;
    const wchar_t* args;       // all/any, when its own object comes (-1: never), how
    std::int64_t releaseAt;    // when the test releases the server's semaphore (-1: never)
    const char* output;        // the probe's result, then a zero wait on the semaphore
    std::uint32_t countAfter;  // the test's zero wait on the semaphore at the end
};

class MixedWaitTest : public KernelServerTest, public ::testing::WithParamInterface<MixedCase> {};

TEST_P(MixedWaitTest, EndsWithWhatCameFirstAndTakesOnlyWhatItReturns) {
    const MixedCase& c = GetParam();
    std::uint32_t ready = server_->CreateEvent(L"probe ready", true, false);
    std::uint32_t sem = server_->CreateSemaphore(L"mixed sem", 0, 1);
    ASSERT_NE(sem, 0u);
    auto probe = Probe(std::wstring(L"mixwait ") + c.args + L" \"probe ready\"", "probe");
    ASSERT_EQ(server_->Wait(ready), kWaitObject0);
    if (c.releaseAt >= 0) {
        RunClockTo(static_cast<std::uint64_t>(c.releaseAt));
        ASSERT_TRUE(server_->ReleaseSemaphore(sem, 1));
    }
    EXPECT_EQ(server_->WaitForExit(probe.pid), 0u);
    EXPECT_EQ(Output("probe"), c.output);
    // A count the probe did not return is still there.
    EXPECT_EQ(server_->Wait(sem, 0), c.countAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MixedWaitTest,
    ::testing::Values(
        // Its own event ends a wait on the server; the count released later is not taken.
        MixedCase{"OwnEventFirst", L"any 5000 event", 8000, "wait 1 at 5000\nleft 258\n",
                  kWaitObject0},
        MixedCase{"ServerFirst", L"any 9000 event", 3000, "wait 0 at 3000\nleft 258\n",
                  kWaitTimeout},
        // On all: the server's count waits untaken until its own event comes.
        MixedCase{"AllOnceBothCame", L"all 5000 event", 3000, "wait 0 at 5000\nleft 258\n",
                  kWaitTimeout},
        // On all, its own never comes: the count is left for others (the probe's zero wait).
        MixedCase{"AllTimesOutTakingNothing", L"all -1 event", 3000, "wait 258 at 20000\nleft 0\n",
                  kWaitTimeout},
        MixedCase{"TimeOutOnMachineTime", L"any -1 event", -1, "wait 258 at 20000\nleft 258\n",
                  kWaitTimeout},
        // A message wait: a posted message ends the wait on the server's semaphore.
        MixedCase{"PostedMessage", L"any 4000 post", 6000, "wait 1 at 4000\nleft 258\n",
                  kWaitObject0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(KernelServerTest, NamedObjectsOpenByTheirExactNameAndKind) {
    std::uint32_t sem = server_->CreateSemaphore(L"Modem Slot", 1, 1);
    ASSERT_NE(sem, 0u);
    struct {
        const wchar_t* args;
        const char* output;
    } cases[] = {
        {L"open semaphore \"Modem Slot\"", "opened\n"},
        {L"open semaphore \"modem slot\"", "error 2\n"},  // ERROR_FILE_NOT_FOUND
        {L"open mutex \"Modem Slot\"", "error 6\n"},      // ERROR_INVALID_HANDLE: another kind
        {L"open event \"No Such\"", "error 2\n"},
    };
    int n = 0;
    for (const auto& c : cases) {
        std::string tag = "open" + std::to_string(n++);
        auto probe = Probe(c.args, tag);
        server_->WaitForExit(probe.pid);
        EXPECT_EQ(Output(tag), c.output) << tag;
    }
}

}  // namespace
