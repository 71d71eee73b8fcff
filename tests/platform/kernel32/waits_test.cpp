// The machine clock and the kernel's waits: virtual time, events, semaphores, mutexes, critical
// sections, threads, scheduled callbacks and real-time mode.
#include <atomic>
#include <chrono>
#include <thread>

#include "common/sim_fixture.h"
#include <winbase.h>
#include "machine/waits.h"
#include "common/thread_helper.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ticks = std::pair<int, DWORD>;  // (who, GetTickCount when it happened)

class VirtualTime : public SimTest {};

TEST_F(VirtualTime, SleepCostsNoWallTimeAndAdvancesTheTickCountExactly) {
    DWORD before = GetTickCount();
    auto wall = Clock::now();
    Sleep(15000);
    EXPECT_LT(Clock::now() - wall, std::chrono::seconds(2));
    EXPECT_EQ(GetTickCount() - before, 15000u);
    EXPECT_EQ(GetTickCount64(), 15000u);
    Sleep(0);
    EXPECT_EQ(GetTickCount(), 15000u);
}

class VirtualTimeNearWrap : public SimTest {
    sim::Config MachineConfig() override {
        auto c = sim::Config::WindowsXP();
        c.startTick = 0xFFFFFF00u;
        return c;
    }
};

TEST_F(VirtualTimeNearWrap, TickCountWrapsAt32BitsWhileTheWideCountGoesOn) {
    EXPECT_EQ(GetTickCount(), 0xFFFFFF00u);
    Sleep(0x200);
    EXPECT_EQ(GetTickCount(), 0x100u);
    EXPECT_EQ(GetTickCount64(), 0x100000100ull);
}

TEST_F(VirtualTime, SleepingThreadsWakeInDeadlineOrder) {
    SharedLog<Ticks> log;
    HANDLE late = StartThread([&] {
        Sleep(700);
        log.Add({2, GetTickCount()});
        return 0u;
    });
    HANDLE early = StartThread([&] {
        Sleep(250);
        log.Add({1, GetTickCount()});
        return 0u;
    });
    HANDLE both[] = {late, early};
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(log.Items(), (std::vector<Ticks>{{1, 250}, {2, 700}}));
    EXPECT_EQ(GetTickCount(), 700u);
    CloseHandle(late);
    CloseHandle(early);
}

TEST_F(VirtualTime, SetEventFromAnotherThreadEndsATimedWaitAtThatMoment) {
    HANDLE ev = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE t = StartThread([&] {
        Sleep(1200);
        SetEvent(ev);
        return 0u;
    });
    EXPECT_EQ(WaitForSingleObject(ev, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(GetTickCount(), 1200u);
    EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(GetTickCount(), 1200u);
    // Without the event the wait runs to its timeout, exactly.
    EXPECT_EQ(WaitForSingleObject(ev, 300), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(GetTickCount(), 1500u);
    EXPECT_EQ(WaitForSingleObject(ev, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(GetTickCount(), 1500u);
}

TEST_F(VirtualTime, ClockStandsStillWhileAMachineThreadRuns) {
    std::atomic<bool> done{false};
    std::atomic<DWORD> seen{0xFFFFFFFFu};
    HANDLE t = StartThread([&] {
        // Busy for a while of wall time without calling into the layer.
        auto until = Clock::now() + std::chrono::milliseconds(40);
        while (Clock::now() < until) std::this_thread::yield();
        seen = GetTickCount();
        done = true;
        return 0u;
    });
    Sleep(10);
    EXPECT_TRUE(done.load());
    EXPECT_EQ(seen.load(), 0u);
    EXPECT_EQ(GetTickCount(), 10u);
    WaitForSingleObject(t, INFINITE);
}

TEST_F(VirtualTime, ThreadHandleSignalsWhenTheThreadEndsWithItsExitCode) {
    HANDLE t = StartThread([] {
        Sleep(500);
        return 42u;
    });
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(t, 100), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(GetTickCount(), 100u);
    EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(GetTickCount(), 500u);
    ASSERT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_OBJECT_0);  // stays signalled
}

TEST_F(VirtualTime, SuspendedThreadRunsOnlyAfterResumeThread) {
    std::atomic<bool> ran{false};
    HANDLE t = StartThread(
        [&] {
            ran = true;
            return 7u;
        },
        CREATE_SUSPENDED);
    ASSERT_NE(t, nullptr);
    Sleep(1000);
    EXPECT_FALSE(ran.load());
    EXPECT_EQ(WaitForSingleObject(t, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(ResumeThread(t), 1u);
    EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(ran.load());
    EXPECT_EQ(ResumeThread(t), 0u);
    EXPECT_EQ(GetTickCount(), 1000u);
}

// ---- Events ----

class Events : public SimTest {
protected:
    // Starts n threads that each wait once on ev and count their wake-up.
    std::vector<HANDLE> Waiters(HANDLE ev, int n, std::atomic<int>* woken) {
        std::vector<HANDLE> out;
        for (int i = 0; i < n; ++i)
            out.push_back(StartThread([ev, woken] {
                DWORD r = WaitForSingleObject(ev, INFINITE);
                ++*woken;
                return r;
            }));
        return out;
    }
};

TEST_F(Events, AutoResetEventWakesExactlyOneWaiterPerSet) {
    HANDLE ev = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> woken{0};
    auto threads = Waiters(ev, 3, &woken);
    Sleep(10);
    EXPECT_EQ(woken.load(), 0);
    SetEvent(ev);
    // The waiter the set released took the event at once: the setter cannot take it back.
    EXPECT_EQ(WaitForSingleObject(ev, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    Sleep(10);
    EXPECT_EQ(woken.load(), 1);
    SetEvent(ev);
    SetEvent(ev);  // each set releases one of the two remaining waiters
    EXPECT_EQ(WaitForMultipleObjects(3, threads.data(), TRUE, 1000), WAIT_OBJECT_0);
    EXPECT_EQ(woken.load(), 3);
    EXPECT_EQ(GetTickCount(), 20u);
    // With nobody waiting, sets do not add up: one wait takes the event.
    SetEvent(ev);
    SetEvent(ev);
    EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(ev, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(Events, ManualResetEventWakesEveryWaiterAndStaysSet) {
    HANDLE ev = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> woken{0};
    auto threads = Waiters(ev, 3, &woken);
    Sleep(10);
    SetEvent(ev);
    EXPECT_EQ(WaitForMultipleObjects(3, threads.data(), TRUE, 1000), WAIT_OBJECT_0);
    EXPECT_EQ(woken.load(), 3);
    EXPECT_EQ(GetTickCount(), 10u);
    EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(ev));
    EXPECT_EQ(WaitForSingleObject(ev, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    HANDLE initiallySet = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(initiallySet, 0), WAIT_OBJECT_0);
}

TEST_F(Events, WaitForMultipleObjectsAnyAndAll) {
    HANDLE a = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE b = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE both[] = {a, b};
    SetEvent(b);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0 + 1);
    SetEvent(a);
    SetEvent(b);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0);  // lowest index first
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0 + 1);

    // Wait-all takes nothing until every object is signalled.
    SetEvent(a);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 200), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(GetTickCount(), 200u);
    HANDLE t = StartThread([&] {
        Sleep(100);
        SetEvent(b);
        return 0u;
    });
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(GetTickCount(), 300u);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    WaitForSingleObject(t, INFINITE);

    EXPECT_EQ(WaitForMultipleObjects(0, both, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    HANDLE bad[] = {a, reinterpret_cast<HANDLE>(0x7777)};
    EXPECT_EQ(WaitForMultipleObjects(2, bad, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(Events, NamedObjectsAreSharedByTheirExactNameCaseIncluded) {
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, L"Global\\ModemReady");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = CreateEventW(nullptr, FALSE, TRUE, L"Global\\ModemReady");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_NE(first, second);
    // The existing object is opened as it is (not signalled, manual reset).
    EXPECT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(second);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    HANDLE opened = OpenEventW(EVENT_ALL_ACCESS, FALSE, L"Global\\ModemReady");
    EXPECT_NE(opened, nullptr);
    EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, L"NoSuchEvent"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    // Another case is another name: a new object of its own.
    EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, L"global\\MODEMREADY"), nullptr);
    HANDLE other = CreateEventW(nullptr, TRUE, FALSE, L"global\\MODEMREADY");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(WaitForSingleObject(other, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    // Another type under the same name is refused.
    EXPECT_EQ(CreateSemaphoreW(nullptr, 1, 1, L"Global\\ModemReady"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\ModemReady"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    HANDLE s1 = CreateSemaphoreW(nullptr, 1, 1, L"QOB Single");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE s2 = CreateSemaphoreW(nullptr, 1, 1, L"QOB Single");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(WaitForSingleObject(s1, 10), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(s2, 10), static_cast<DWORD>(WAIT_TIMEOUT));  // one count shared
    HANDLE s4 = OpenSemaphoreW(SEMAPHORE_ALL_ACCESS, FALSE, L"QOB Single");
    ASSERT_NE(s4, nullptr);
    EXPECT_TRUE(ReleaseSemaphore(s4, 1, nullptr));
    EXPECT_EQ(WaitForSingleObject(s1, 0), WAIT_OBJECT_0);
    CloseHandle(s4);

    // Once every handle is closed the name is free again.
    CloseHandle(s1);
    CloseHandle(s2);
    HANDLE s3 = CreateSemaphoreW(nullptr, 1, 1, L"QOB Single");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(WaitForSingleObject(s3, 0), WAIT_OBJECT_0);
}

// ---- Semaphores and mutexes ----

class Counting : public SimTest {};

TEST_F(Counting, SemaphoreCountsAndRefusesReleasesPastItsMaximum) {
    EXPECT_EQ(CreateSemaphoreW(nullptr, 3, 2, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    HANDLE s = CreateSemaphoreW(nullptr, 2, 3, nullptr);
    EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(s, 50), static_cast<DWORD>(WAIT_TIMEOUT));
    LONG previous = -1;
    EXPECT_TRUE(ReleaseSemaphore(s, 2, &previous));
    EXPECT_EQ(previous, 0);
    EXPECT_FALSE(ReleaseSemaphore(s, 2, &previous));  // 2 + 2 > 3
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TOO_MANY_POSTS));
    EXPECT_FALSE(ReleaseSemaphore(s, 0x7FFFFFFF, &previous));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TOO_MANY_POSTS));
    EXPECT_TRUE(ReleaseSemaphore(s, 1, &previous));
    EXPECT_EQ(previous, 2);

    // A waiter on an empty semaphore takes the count released by another thread.
    HANDLE empty = CreateSemaphoreW(nullptr, 0, 1, nullptr);
    HANDLE t = StartThread([&] {
        Sleep(400);
        ReleaseSemaphore(empty, 1, nullptr);
        return 0u;
    });
    EXPECT_EQ(WaitForSingleObject(empty, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(GetTickCount(), 450u);
    WaitForSingleObject(t, INFINITE);
}

TEST_F(Counting, MutexIsRecursiveForItsOwnerAndExclusiveForOthers) {
    HANDLE m = CreateMutexW(nullptr, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);  // owner again: count 2
    std::atomic<DWORD> firstTry{0xFFFFu}, secondTry{0xFFFFu};
    HANDLE go = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE other = StartThread([&] {
        firstTry = WaitForSingleObject(m, 100);
        EXPECT_FALSE(ReleaseMutex(m));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
        WaitForSingleObject(go, INFINITE);
        secondTry = WaitForSingleObject(m, INFINITE);
        ReleaseMutex(m);
        return 0u;
    });
    Sleep(200);
    EXPECT_EQ(firstTry.load(), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(ReleaseMutex(m));  // still held once
    SetEvent(go);
    Sleep(200);
    EXPECT_EQ(secondTry.load(), 0xFFFFu);  // still blocked
    EXPECT_EQ(WaitForSingleObject(other, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_EQ(WaitForSingleObject(other, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(secondTry.load(), WAIT_OBJECT_0);
    EXPECT_EQ(GetTickCount(), 400u);
    EXPECT_FALSE(ReleaseMutex(m));
}

TEST_F(Counting, MutexOfAThreadThatEndedIsAbandonedToTheNextWaiter) {
    HANDLE m = CreateMutexW(nullptr, FALSE, nullptr);
    HANDLE t = StartThread([&] { return WaitForSingleObject(m, 0); });
    WaitForSingleObject(t, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    ASSERT_EQ(code, WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(m, 1000), WAIT_ABANDONED);
    EXPECT_EQ(GetTickCount(), 0u);
    EXPECT_TRUE(ReleaseMutex(m));  // the waiter owns it now
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
}

// ---- Critical sections ----

class CriticalSections : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        InitializeCriticalSection(&cs);
    }
    void TearDown() override { DeleteCriticalSection(&cs); }
    CRITICAL_SECTION cs;
};

TEST_F(CriticalSections, ReentrantForTheOwnerClosedToOtherThreads) {
    EnterCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EXPECT_TRUE(TryEnterCriticalSection(&cs));
    auto tryFromOther = [&] {
        HANDLE t = StartThread([&] {
            if (!TryEnterCriticalSection(&cs)) return 0u;
            LeaveCriticalSection(&cs);
            return 1u;
        });
        WaitForSingleObject(t, INFINITE);
        DWORD got = 0;
        GetExitCodeThread(t, &got);
        CloseHandle(t);
        return got;
    };
    EXPECT_EQ(tryFromOther(), 0u);
    LeaveCriticalSection(&cs);
    LeaveCriticalSection(&cs);
    EXPECT_EQ(tryFromOther(), 0u);
    LeaveCriticalSection(&cs);
    EXPECT_EQ(tryFromOther(), 1u);
}

TEST_F(CriticalSections, BlockedThreadCountsAsWaitingWhileTheHolderSleeps) {
    HANDLE entered = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE holder = StartThread([&] {
        EnterCriticalSection(&cs);
        SetEvent(entered);
        Sleep(500);
        LeaveCriticalSection(&cs);
        return 0u;
    });
    WaitForSingleObject(entered, INFINITE);
    EnterCriticalSection(&cs);
    EXPECT_EQ(GetTickCount(), 500u);
    LeaveCriticalSection(&cs);
    WaitForSingleObject(holder, INFINITE);
}

TEST_F(CriticalSections, MutuallyExclusiveAcrossThreads) {
    int counter = 0;
    int inside = 0, overlaps = 0;
    auto body = [&] {
        for (int i = 0; i < 2000; ++i) {
            EnterCriticalSection(&cs);
            if (++inside != 1) ++overlaps;
            int v = counter;
            std::this_thread::yield();
            counter = v + 1;
            --inside;
            LeaveCriticalSection(&cs);
        }
        return 0u;
    };
    HANDLE threads[] = {StartThread(body), StartThread(body), StartThread(body)};
    EXPECT_EQ(WaitForMultipleObjects(3, threads, TRUE, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(counter, 6000);
    EXPECT_EQ(overlaps, 0);
}

// ---- Scheduled callbacks ----

TEST_F(VirtualTime, ScheduledCallbacksRunAtTheirDueTimeInOrder) {
    auto& core = sim::Kernel::Get();
    SharedLog<Ticks> log;
    core.Schedule(700, [&] { log.Add({3, GetTickCount()}); });
    core.Schedule(300, [&] { log.Add({1, GetTickCount()}); });
    std::uint64_t dropped = core.Schedule(500, [&] { log.Add({9, GetTickCount()}); });
    core.Schedule(300, [&] { log.Add({2, GetTickCount()}); });
    core.Cancel(dropped);
    EXPECT_TRUE(log.Items().empty());  // nothing runs before its time
    Sleep(1000);
    EXPECT_EQ(log.Items(), (std::vector<Ticks>{{1, 300}, {2, 300}, {3, 700}}));

    // A callback can end a wait without a timeout.
    HANDLE ev = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    core.Schedule(core.Now() + 250, [ev] { SetEvent(ev); });
    EXPECT_EQ(WaitForSingleObject(ev, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(GetTickCount(), 1250u);
}

// ---- Real time ----

class RealTime : public SimTest {
    sim::Config MachineConfig() override {
        auto c = sim::Config::WindowsXP();
        c.clock = sim::ClockMode::Real;
        c.clockSpeed = 100.0;
        return c;
    }
};

TEST_F(RealTime, ClockFollowsTheHostClockTimesTheSpeedFactor) {
    EXPECT_EQ(sim::Kernel::Get().Mode(), sim::ClockMode::Real);
    DWORD before = GetTickCount();
    auto wall = Clock::now();
    Sleep(2000);  // 20 ms of host time
    auto took = Clock::now() - wall;
    EXPECT_GE(GetTickCount() - before, 2000u);
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    EXPECT_GE(took, std::chrono::milliseconds(15));
    HANDLE ev = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    before = GetTickCount();
    EXPECT_EQ(WaitForSingleObject(ev, 500), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_GE(GetTickCount() - before, 500u);
}

}  // namespace
