// Message queues: posting to a window's thread, thread messages, WM_QUIT, peeking with filters,
// waits that end for the queue, and SendMessage within and across threads.
#include <gtest/gtest.h>

#include <atomic>

#include "common/sim_fixture.h"
#include <winbase.h>
#include <winuser.h>
#include "common/window_helper.h"

namespace {

class MessageQueueTest : public WindowTest {
protected:
    // Runs the calling thread's message loop until WM_QUIT; returns its exit code.
    static WPARAM Pump() {
        MSG msg;
        BOOL r;
        while ((r = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        EXPECT_EQ(r, 0);
        EXPECT_EQ(msg.message, WM_QUIT);
        return msg.wParam;
    }
};

TEST_F(MessageQueueTest, PostedMessagesArriveInOrderAndQuitEndsTheLoop) {
    HWND w = MakeWindow();
    MessageLog().Clear();
    for (UINT i = 0; i < 3; ++i) ASSERT_TRUE(PostMessageW(w, WM_USER + i, i, 0));
    PostQuitMessage(7);
    ASSERT_TRUE(PostMessageW(w, WM_USER + 3, 0, 0));  // before the quit: posted ones go first
    EXPECT_EQ(Pump(), 7u);
    EXPECT_EQ(Messages({}, w), (std::vector<UINT>{WM_USER, WM_USER + 1, WM_USER + 2, WM_USER + 3}));
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));  // the quit was taken
}

TEST_F(MessageQueueTest, PostingToAWindowThatIsGoneFails) {
    HWND destroyed = MakeWindow();
    DestroyWindow(destroyed);
    HWND ofEndedThread = WindowOfEndedThread();
    for (HWND h : {destroyed, ofEndedThread, reinterpret_cast<HWND>(0x12345)}) {
        SetLastError(0);
        EXPECT_FALSE(PostMessageW(h, WM_USER, 0, 0));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    }
}

TEST_F(MessageQueueTest, PeekTakesWhatTheFilterAsksFor) {
    HWND a = MakeWindow();
    HWND b = MakeWindow();
    PostMessageW(a, WM_USER + 1, 0, 0);
    PostMessageW(b, WM_USER + 2, 0, 0);
    PostMessageW(nullptr, WM_USER + 3, 0, 0);  // a thread message
    struct Case {
        const char* what;
        HWND window;
        UINT min, max, remove;
        bool found;
        UINT message;
    };
    const Case cases[] = {
        {"range excludes all", nullptr, WM_USER + 10, WM_USER + 20, PM_REMOVE, false, 0},
        {"window b only", b, 0, 0, PM_NOREMOVE, true, WM_USER + 2},
        {"kept by NOREMOVE", b, 0, 0, PM_REMOVE, true, WM_USER + 2},
        {"b now empty", b, 0, 0, PM_REMOVE, false, 0},
        {"thread messages only", reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE, true, WM_USER + 3},
        {"range", nullptr, WM_USER + 1, WM_USER + 1, PM_REMOVE, true, WM_USER + 1},
        {"empty", nullptr, 0, 0, PM_REMOVE, false, 0},
    };
    for (const Case& c : cases) {
        MSG msg{};
        BOOL found = PeekMessageW(&msg, c.window, c.min, c.max, c.remove);
        EXPECT_EQ(found != FALSE, c.found) << c.what;
        if (found) {
            EXPECT_EQ(msg.message, c.message) << c.what;
        }
    }
}

TEST_F(MessageQueueTest, MessagesGoToTheQueueOfTheWindowsThread) {
    HWND w = nullptr;
    DWORD ownerId = 0;
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE owner = StartThread([&] {
        ownerId = GetCurrentThreadId();
        w = MakeWindow();
        SetEvent(ready);
        return static_cast<DWORD>(Pump());
    });
    WaitForSingleObject(ready, INFINITE);
    ASSERT_TRUE(PostMessageW(w, WM_USER, 1, 2));
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));  // not in this thread's queue
    ASSERT_TRUE(PostThreadMessageW(ownerId, WM_QUIT, 3, 0));
    WaitForSingleObject(owner, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(owner, &code);
    EXPECT_EQ(code, 3u);
    auto user = Entries(WM_USER, w);
    ASSERT_EQ(user.size(), 1u);
    EXPECT_EQ(user[0].thread, ownerId);
    EXPECT_EQ(user[0].lParam, 2);
    CloseHandle(owner);
    CloseHandle(ready);
}

TEST_F(MessageQueueTest, ThreadMessagesNeedAQueue) {
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<UINT> got{0};
    DWORD tid = 0;
    HANDLE t = StartThread([&] {
        tid = GetCurrentThreadId();
        SetEvent(started);
        WaitForSingleObject(go, INFINITE);
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // makes the queue
        SetEvent(started);
        GetMessageW(&msg, nullptr, 0, 0);
        got = msg.message;
        return msg.hwnd == nullptr ? 0u : 1u;
    });
    WaitForSingleObject(started, INFINITE);
    ResetEvent(started);
    SetLastError(0);
    EXPECT_FALSE(PostThreadMessageW(tid, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
    SetEvent(go);
    WaitForSingleObject(started, INFINITE);
    EXPECT_TRUE(PostThreadMessageW(tid, WM_USER + 5, 0, 0));
    WaitForSingleObject(t, INFINITE);
    EXPECT_EQ(got.load(), WM_USER + 5);
    DWORD code = 9;
    GetExitCodeThread(t, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(PostThreadMessageW(tid, WM_USER, 0, 0));  // ended
    for (HANDLE h : {t, started, go}) CloseHandle(h);
}

TEST_F(MessageQueueTest, TranslateQueuesTheCharacterNext) {
    HWND w = MakeWindow();
    struct Case {
        WPARAM key;
        BOOL translated;
        WPARAM ch;
    };
    const Case cases[] = {
        {'A', TRUE, 'a'}, {'7', TRUE, '7'}, {VK_SPACE, TRUE, ' '}, {0x70, FALSE, 0}};
    for (const Case& c : cases) {
        PostMessageW(w, WM_USER, 0, 0);
        MSG key{w, WM_KEYDOWN, c.key, 1, 0, {0, 0}};
        EXPECT_EQ(TranslateMessage(&key), c.translated) << c.key;
        MSG msg;
        ASSERT_TRUE(PeekMessageW(&msg, w, 0, 0, PM_REMOVE));
        if (c.translated) {
            EXPECT_EQ(msg.message, WM_CHAR) << c.key;
            EXPECT_EQ(msg.wParam, c.ch) << c.key;
            ASSERT_TRUE(PeekMessageW(&msg, w, 0, 0, PM_REMOVE));
        }
        EXPECT_EQ(msg.message, WM_USER) << c.key;
    }
}

TEST_F(MessageQueueTest, MessageWaitsEndForWhatTheMaskAsks) {
    HWND w = nullptr;
    HANDLE ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<DWORD> woke{0};
    std::atomic<DWORD> timedOut{0};
    HANDLE t = StartThread([&] {
        w = MakeWindow();
        SetEvent(ready);
        // A sent message does not end a wait for posted ones; it ends at its timeout.
        timedOut = MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_POSTMESSAGE);
        SetEvent(ready);
        woke = MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_POSTMESSAGE);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        return 0u;
    });
    WaitForSingleObject(ready, INFINITE);
    ASSERT_TRUE(SendNotifyMessageW(w, WM_USER + 1, 0, 0));
    WaitForSingleObject(ready, INFINITE);
    EXPECT_EQ(timedOut.load(), static_cast<DWORD>(WAIT_TIMEOUT));
    PostMessageW(w, WM_USER, 0, 0);
    WaitForSingleObject(t, INFINITE);
    EXPECT_EQ(woke.load(), WAIT_OBJECT_0);
    // The notification was handled by the thread's own PeekMessage, then the posted message.
    EXPECT_EQ(Messages({WM_USER, WM_USER + 1}, w), (std::vector<UINT>{WM_USER + 1, WM_USER}));
    CloseHandle(t);
    CloseHandle(ready);
}

class SendMessageTest : public MessageQueueTest {
protected:
    // A window on a thread of its own, which pumps once `pump` is set and ends at WM_QUIT (or
    // at once when `die` is set first).
    void StartOwner(bool pumpAtOnce = true) {
        pump_ = CreateEventW(nullptr, TRUE, pumpAtOnce, nullptr);
        die_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        owner_ = StartThread([this, ready] {
            ownerId_ = GetCurrentThreadId();
            window_ = MakeWindow();
            SetEvent(ready);
            HANDLE both[] = {pump_, die_};
            if (WaitForMultipleObjects(2, both, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) return 0u;
            return static_cast<DWORD>(Pump());
        });
        WaitForSingleObject(ready, INFINITE);
        CloseHandle(ready);
    }
    void TearDown() override {
        if (owner_ != nullptr) {
            PostThreadMessageW(ownerId_, WM_QUIT, 0, 0);
            SetEvent(die_);
            WaitForSingleObject(owner_, INFINITE);
            for (HANDLE h : {owner_, pump_, die_}) CloseHandle(h);
        }
        MessageQueueTest::TearDown();
    }
    HANDLE owner_ = nullptr;
    HANDLE pump_ = nullptr;
    HANDLE die_ = nullptr;
    HWND window_ = nullptr;
    DWORD ownerId_ = 0;
};

TEST_F(SendMessageTest, OnTheOwnersThreadItIsADirectCall) {
    HWND w = MakeWindow();
    Answers() = [](HWND, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_USER) return static_cast<LRESULT>(wp * 2);
        return std::nullopt;
    };
    EXPECT_EQ(SendMessageW(w, WM_USER, 21, 0), 42);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(Entries(WM_USER)[0].thread, GetCurrentThreadId());
}

TEST_F(SendMessageTest, AcrossThreadsTheSenderWaitsUntilTheOwnerPumps) {
    Answers() = [](HWND, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_USER) return static_cast<LRESULT>(wp + 1);
        return std::nullopt;
    };
    StartOwner(false);
    std::atomic<bool> returned{false};
    std::atomic<LRESULT> result{0};
    HANDLE sender = StartThread([&] {
        result = SendMessageW(window_, WM_USER, 41, 0);
        returned = true;
        return 0u;
    });
    sim::Kernel::Get().RunUntilIdle();
    EXPECT_FALSE(returned.load());  // the owner has not pumped yet
    EXPECT_TRUE(Entries(WM_USER).empty());
    SetEvent(pump_);
    WaitForSingleObject(sender, INFINITE);
    EXPECT_EQ(result.load(), 42);
    auto handled = Entries(WM_USER);
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0].thread, ownerId_);
    CloseHandle(sender);
}

TEST_F(SendMessageTest, TheOwnerMaySendBackWhileTheSenderWaits) {
    HWND mine = MakeWindow();
    StartOwner();
    Answers() = [&](HWND h, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_USER && h == window_) return SendMessageW(mine, WM_USER + 1, wp, 0) + 100;
        if (m == WM_USER + 1) return static_cast<LRESULT>(wp * 2);
        return std::nullopt;
    };
    EXPECT_EQ(SendMessageW(window_, WM_USER, 5, 0), 110);
    // The nested message ran on this thread, inside its own SendMessage.
    EXPECT_EQ(Entries(WM_USER + 1)[0].thread, GetCurrentThreadId());
}

TEST_F(SendMessageTest, AWindowWhoseThreadEndedAnswersZeroAtOnce) {
    Answers() = [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_USER) return 5;
        return std::nullopt;
    };
    StartOwner(false);
    // A sender already waiting when the thread ends is let go too.
    std::atomic<LRESULT> pending{-1};
    HANDLE sender = StartThread([&] {
        pending = SendMessageW(window_, WM_USER, 0, 0);
        return 0u;
    });
    sim::Kernel::Get().RunUntilIdle();
    SetEvent(die_);
    WaitForSingleObject(owner_, INFINITE);
    WaitForSingleObject(sender, INFINITE);
    EXPECT_EQ(pending.load(), 0);
    EXPECT_EQ(SendMessageW(window_, WM_USER, 0, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_TRUE(Entries(WM_USER).empty());
    CloseHandle(sender);
}

TEST_F(SendMessageTest, ADestroyedWindowAnswersZero) {
    HWND w = MakeWindow();
    DestroyWindow(w);
    SetLastError(0);
    EXPECT_EQ(SendMessageW(w, WM_USER, 0, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(SendNotifyMessageW(w, WM_USER, 0, 0));
}

TEST_F(SendMessageTest, TimeoutGivesUpOnTheMachineClock) {
    StartOwner(false);
    DWORD start = GetTickCount();
    DWORD_PTR result = 99;
    SetLastError(0);
    EXPECT_EQ(SendMessageTimeoutW(window_, WM_USER, 0, 0, SMTO_NORMAL, 500, &result), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_EQ(GetTickCount() - start, 500u);
    EXPECT_EQ(result, 99u);
    SetEvent(pump_);
    Answers() = [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_USER + 1) return 8;
        return std::nullopt;
    };
    EXPECT_EQ(SendMessageTimeoutW(window_, WM_USER + 1, 0, 0, SMTO_NORMAL, 500, &result), 1);
    EXPECT_EQ(result, 8u);
    EXPECT_TRUE(Entries(WM_USER).empty());  // the message given up on is not handled
}

TEST_F(SendMessageTest, NotificationsDoNotWait) {
    StartOwner(false);
    EXPECT_TRUE(SendNotifyMessageW(window_, WM_USER, 3, 0));
    EXPECT_TRUE(Entries(WM_USER).empty());
    SetEvent(pump_);
    ASSERT_TRUE(sim::Kernel::Get().SettleUntil([] { return !Entries(WM_USER).empty(); }, 1000));
    EXPECT_EQ(Entries(WM_USER)[0].thread, ownerId_);
}

}  // namespace
