// Threads that the layer starts for itself: counted as machine threads from before they start
// until they end, and run in the starting thread's process.
#include <gtest/gtest.h>

#include <future>
#include <memory>

#include "common/sim_fixture.h"
#include <winbase.h>
#include "machine/processes.h"
#include "machine/threads.h"
#include "machine/waits.h"

namespace {

class MachineThreadTest : public SimTest {};

TEST_F(MachineThreadTest, CountedFromBeforeItStartsUntilItsBodyReturns) {
    auto& core = sim::Kernel::Get();
    sim::CurrentThread();  // the test's thread counts
    const int before = core.CountedThreads();
    std::promise<void> go;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    sim::StartMachineThread([started = go.get_future().share(), done] {
        started.wait();  // a host wait: the machine sees a thread that runs
        SetEvent(done);
    });
    EXPECT_EQ(core.CountedThreads(), before + 1);
    go.set_value();
    ASSERT_EQ(WaitForSingleObject(done, INFINITE), WAIT_OBJECT_0);
    // Time moves only once the ended thread no longer counts.
    DWORD start = GetTickCount();
    Sleep(10);
    EXPECT_EQ(GetTickCount() - start, 10u);
    EXPECT_EQ(core.CountedThreads(), before);
    CloseHandle(done);
}

TEST_F(MachineThreadTest, RunsInTheProcessOfTheThreadThatStartedIt) {
    DWORD other = M().processes().AddProcess(L"C:\\Tools\\Other.exe", L"user");
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, L"MachineThreadTest.done");
    DWORD seen = 0;
    sim::BindCurrentThread(M().processes().FindProcess(other));
    sim::StartMachineThread([&seen] {
        seen = GetCurrentProcessId();
        SetEvent(OpenEventW(EVENT_ALL_ACCESS, FALSE, L"MachineThreadTest.done"));
    });
    sim::BindCurrentThread(M().processes().Self());
    ASSERT_EQ(WaitForSingleObject(done, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(seen, other);
    EXPECT_NE(GetCurrentProcessId(), other);
    CloseHandle(done);
}

}  // namespace
