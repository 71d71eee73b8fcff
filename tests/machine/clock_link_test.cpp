// A clock kept elsewhere (a program on a machine server): the kernel tells its keeper when every
// machine thread waits, and moves only when the keeper says so.
#include <condition_variable>
#include <thread>
#include <vector>

#include "common/sim_fixture.h"
#include "common/thread_helper.h"
#include <winbase.h>
#include "machine/waits.h"

namespace {

// Plays the server: collects idle reports (kernel lock held when they come).
struct Keeper : sim::ClockLink {
    void IdleLocked(std::uint64_t earliest) override {
        reports.push_back(earliest);
        reported.notify_all();
    }
    std::vector<std::uint64_t> reports;
    std::condition_variable reported;
};

using ClockLinkTest = SimTest;

TEST_F(ClockLinkTest, TheClockMovesOnlyToWhatTheKeeperGives) {
    auto& kernel = sim::Kernel::Get();
    Keeper keeper;
    kernel.SetClockLink(&keeper);
    HANDLE sleeper = StartThread([] {
        Sleep(1000);
        return static_cast<DWORD>(GetTickCount());
    });
    // The keeper's side, on a host thread of its own: once every machine thread waits, it is
    // told the earliest deadline and sets the clock there.
    std::thread server([&] {
        std::unique_lock<std::mutex> lk(kernel.Mutex());
        keeper.reported.wait(lk, [&] { return !keeper.reports.empty(); });
        EXPECT_EQ(kernel.NowLocked(), 0u);  // it did not move by itself
        kernel.AdvanceToLocked(keeper.reports.front());
    });
    EXPECT_EQ(WaitForSingleObject(sleeper, INFINITE), WAIT_OBJECT_0);
    server.join();
    DWORD woke = 0;
    ASSERT_TRUE(GetExitCodeThread(sleeper, &woke));
    EXPECT_EQ(woke, 1000u);
    EXPECT_EQ(keeper.reports.front(), 1000u);
    kernel.SetClockLink(nullptr);
}

}  // namespace
