// The worker pool over a completion port, the port itself and the per-thread component counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>

#include "machine/control/threads.h"
#include <objbase.h>
#include <atlutil.h>
#include "common/window_helper.h"

namespace {

// What the workers of one test did, shared by all of them.
struct Journal {
    SharedLog<DWORD> initialized;  // thread ids
    SharedLog<DWORD> terminated;
    SharedLog<int> executed;  // requests in the order they ran
    SharedLog<LRESULT> answers;
    BOOL initializeResult = TRUE;
    HWND target = nullptr;   // where a request of kSend sends
    HANDLE allIn = nullptr;  // set by the worker that brings `inside` to `expected`
    std::atomic<int> inside{0};
    int expected = 0;
};

constexpr int kSend = -1;     // SendMessageW to the journal's window
constexpr int kBarrier = -2;  // wait until `expected` requests are running at once

class JournalWorker {
public:
    using RequestType = int;
    BOOL Initialize(void* p) {
        auto* j = static_cast<Journal*>(p);
        j->initialized.Add(GetCurrentThreadId());
        return j->initializeResult;
    }
    void Terminate(void* p) { static_cast<Journal*>(p)->terminated.Add(GetCurrentThreadId()); }
    void Execute(int request, void* p, OVERLAPPED*) {
        auto* j = static_cast<Journal*>(p);
        if (request == kSend) {
            j->answers.Add(SendMessageW(j->target, WM_USER + 1, 0, 0));
        } else if (request == kBarrier) {
            if (++j->inside == j->expected) SetEvent(j->allIn);
            // On the machine clock: if the pool ran fewer at once, this ends after a second of
            // virtual time and the count below stays short.
            if (WaitForSingleObject(j->allIn, 1000) == WAIT_OBJECT_0) j->executed.Add(request);
            return;
        }
        j->executed.Add(request);
    }
};

using Pool = ATL::CThreadPool<JournalWorker>;

class ThreadPoolTest : public WindowTest {};

TEST_F(ThreadPoolTest, RequestsRunInTheOrderTheyWereQueued) {
    Journal j;
    Pool pool;
    ASSERT_EQ(pool.Initialize(&j, 1), S_OK);
    std::vector<int> queued;
    for (int i = 1; i <= 40; ++i) {
        ASSERT_TRUE(pool.QueueRequest(i));
        queued.push_back(i);
    }
    pool.Shutdown();  // takes the requests queued before it
    EXPECT_EQ(j.executed.Items(), queued);
}

TEST_F(ThreadPoolTest, TenWorkersEachInitializeAndTerminateOnceAndRunTogether) {
    Journal j;
    j.allIn = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    j.expected = 10;
    Pool pool;
    ASSERT_EQ(pool.Initialize(&j, 10), S_OK);
    int size = 0;
    ASSERT_EQ(pool.GetSize(&size), S_OK);
    EXPECT_EQ(size, 10);
    // Every worker has initialised before Initialize returns.
    EXPECT_EQ(j.initialized.Items().size(), 10u);
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(pool.QueueRequest(kBarrier));
    pool.Shutdown();
    EXPECT_EQ(j.executed.Items().size(), 10u);
    auto ids = j.initialized.Items();
    auto ended = j.terminated.Items();
    std::set<DWORD> distinct(ids.begin(), ids.end());
    EXPECT_EQ(distinct.size(), 10u);
    EXPECT_FALSE(distinct.count(GetCurrentThreadId()));
    std::sort(ids.begin(), ids.end());
    std::sort(ended.begin(), ended.end());
    EXPECT_EQ(ended, ids);
    CloseHandle(j.allIn);
}

TEST_F(ThreadPoolTest, ShutdownHandlesAMessageAWorkerSendsToTheWaitingThread) {
    Journal j;
    j.target = MakeWindow();
    Answers() = [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_USER + 1) return 42;
        return std::nullopt;
    };
    Pool pool;
    ASSERT_EQ(pool.Initialize(&j, 2), S_OK);
    ASSERT_TRUE(pool.QueueRequest(kSend));
    pool.Shutdown();  // this thread runs no message loop: only the shutdown's wait handles it
    EXPECT_EQ(j.answers.Items(), std::vector<LRESULT>{42});
    auto handled = Entries(WM_USER + 1, j.target);
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0].thread, GetCurrentThreadId());
    EXPECT_EQ(j.terminated.Items().size(), 2u);
}

TEST_F(ThreadPoolTest, RequestsOutsideTheRunningTimeAreRefused) {
    Journal j;
    Pool pool;
    EXPECT_FALSE(pool.QueueRequest(1));
    EXPECT_EQ(pool.GetQueueHandle(), nullptr);
    ASSERT_EQ(pool.Initialize(&j, 3), S_OK);
    EXPECT_NE(pool.GetQueueHandle(), nullptr);
    EXPECT_EQ(pool.Initialize(&j, 3), E_UNEXPECTED);
    pool.Shutdown();
    EXPECT_FALSE(pool.QueueRequest(2));
    EXPECT_EQ(pool.GetQueueHandle(), nullptr);
    EXPECT_TRUE(j.executed.Items().empty());
    int size = -1;
    pool.GetSize(&size);
    EXPECT_EQ(size, 0);
}

TEST_F(ThreadPoolTest, AWorkerThatFailsToInitializeFailsThePool) {
    Journal j;
    j.initializeResult = FALSE;
    Pool pool;
    EXPECT_EQ(pool.Initialize(&j, 4), E_FAIL);
    EXPECT_EQ(j.initialized.Items().size(), 1u);  // the first refusal stops the start
    EXPECT_TRUE(j.terminated.Items().empty());
    EXPECT_FALSE(pool.QueueRequest(1));
}

class CompletionPortTest : public SimTest {};

TEST_F(CompletionPortTest, PacketsComeOutInOrderWithTheirFields) {
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 2);
    ASSERT_NE(port, nullptr);
    char a = 0, b = 0;
    auto* ovA = reinterpret_cast<OVERLAPPED*>(&a);
    auto* ovB = reinterpret_cast<OVERLAPPED*>(&b);
    ASSERT_TRUE(PostQueuedCompletionStatus(port, 5, 100, ovA));
    ASSERT_TRUE(PostQueuedCompletionStatus(port, 6, 200, ovB));
    ASSERT_TRUE(PostQueuedCompletionStatus(port, 7, 300, nullptr));
    struct Got {
        DWORD bytes;
        ULONG_PTR key;
        OVERLAPPED* ov;
    };
    std::vector<Got> got;
    for (int i = 0; i < 3; ++i) {
        Got g{};
        ASSERT_TRUE(GetQueuedCompletionStatus(port, &g.bytes, &g.key, &g.ov, 0));
        got.push_back(g);
    }
    EXPECT_EQ(got[0].bytes, 5u);
    EXPECT_EQ(got[0].key, 100u);
    EXPECT_EQ(got[0].ov, ovA);
    EXPECT_EQ(got[1].key, 200u);
    EXPECT_EQ(got[1].ov, ovB);
    EXPECT_EQ(got[2].bytes, 7u);
    EXPECT_EQ(got[2].ov, nullptr);
    CloseHandle(port);
}

TEST_F(CompletionPortTest, AnEmptyPortTimesOutOnTheMachineClock) {
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    DWORD bytes = 0;
    ULONG_PTR key = 0;
    char c = 0;
    auto* ov = reinterpret_cast<OVERLAPPED*>(&c);
    DWORD before = GetTickCount();
    EXPECT_FALSE(GetQueuedCompletionStatus(port, &bytes, &key, &ov, 250));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(ov, nullptr);
    EXPECT_EQ(GetTickCount() - before, 250u);
    CloseHandle(port);
}

TEST_F(CompletionPortTest, ClosingThePortEndsAWaitAndRefusesPosts) {
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    std::atomic<DWORD> error{0};
    HANDLE t = StartThread([&] {
        DWORD bytes;
        ULONG_PTR key;
        OVERLAPPED* ov;
        if (!GetQueuedCompletionStatus(port, &bytes, &key, &ov, INFINITE)) error = GetLastError();
        return 0u;
    });
    sim::Kernel::Get().RunUntilIdle();  // the thread waits on the port
    CloseHandle(port);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_EQ(error.load(), static_cast<DWORD>(ERROR_ABANDONED_WAIT_0));
    EXPECT_FALSE(PostQueuedCompletionStatus(port, 0, 1, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(CompletionPortTest, OnlyPortsOfTheirOwnAreMade) {
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    EXPECT_EQ(CreateIoCompletionPort(INVALID_HANDLE_VALUE, port, 0, 1), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // Not one of the objects the wait functions take.
    EXPECT_EQ(WaitForSingleObject(port, 0), WAIT_FAILED);
    CloseHandle(port);
}

class ComCountTest : public SimTest {};

TEST_F(ComCountTest, EachThreadCountsItsOwnCalls) {
    DWORD self = GetCurrentThreadId();
    EXPECT_EQ(control::ComInitCount(self), 0);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    EXPECT_EQ(control::ComInitCount(self), 2);
    // Another thread starts from nothing.
    EXPECT_EQ(OnAnotherThread([] { return CoInitialize(nullptr); }), S_OK);
    CoUninitialize();
    CoUninitialize();
    CoUninitialize();  // one too many: nothing to take back
    EXPECT_EQ(control::ComInitCount(self), 0);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(control::ComInitCount(0xFFFFFFF0u), -1);
}

}  // namespace
