// Threads that the layer starts for itself: counted as machine threads from before they start
// until they end, and run in the starting thread's process.
#include <gtest/gtest.h>

#include <future>
#include <memory>

#include "common/sim_fixture.h"
#include "platform/kernel.h"
#include "platform/sim/machine_thread.h"
#include "platform/sim/process_context.h"
#include "platform/sim/waitcore.h"

namespace {

class MachineThreadTest : public SimTest {};

TEST_F(MachineThreadTest, CountedFromBeforeItStartsUntilItsBodyReturns) {
    auto& core = sim::WaitCore::Get();
    core.EnsureRegistered();
    const int before = core.RegisteredThreads();
    std::promise<void> go;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    sim::StartMachineThread([started = go.get_future().share(), done] {
        started.wait();  // a host wait: the machine sees a thread that runs
        SetEvent(done);
    });
    EXPECT_EQ(core.RegisteredThreads(), before + 1);
    go.set_value();
    ASSERT_EQ(WaitForSingleObject(done, INFINITE), WAIT_OBJECT_0);
    // Time moves only once the ended thread no longer counts.
    DWORD start = GetTickCount();
    Sleep(10);
    EXPECT_EQ(GetTickCount() - start, 10u);
    EXPECT_EQ(core.RegisteredThreads(), before);
    CloseHandle(done);
}

TEST_F(MachineThreadTest, RunsInTheProcessOfTheThreadThatStartedIt) {
    auto context = std::make_shared<sim::ProcessContext>(
        sim::ProcessContext{0x1234, L"C:\\Tools\\Other.exe", L"Other.exe", L"user"});
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD seen = 0;
    sim::SetCurrentProcess(context);
    sim::StartMachineThread([&seen, done] {
        seen = GetCurrentProcessId();
        SetEvent(done);
    });
    sim::SetCurrentProcess(nullptr);
    ASSERT_EQ(WaitForSingleObject(done, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(seen, 0x1234u);
    EXPECT_NE(GetCurrentProcessId(), 0x1234u);
    CloseHandle(done);
}

}  // namespace
