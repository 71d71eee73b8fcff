// Waits that handle only messages sent from other threads, and InSendMessage.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "machine/control/input.h"
#include "common/window_helper.h"

namespace {

class SentWaitsTest : public WindowTest {
protected:
    // What InSendMessage answered inside each handled WM_USER + n, by n.
    void RecordInSend() {
        Answers() = [this](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (m >= WM_USER && m < WM_USER + 10) {
                inSend.Add({m - WM_USER, InSendMessage() != FALSE});
                return 7;
            }
            return std::nullopt;
        };
    }
    SharedLog<std::pair<UINT, bool>> inSend;
};

TEST_F(SentWaitsTest, InSendMessageTellsWhetherAnotherThreadSent) {
    HWND w = MakeWindow();
    RecordInSend();
    EXPECT_FALSE(InSendMessage());
    SendMessageW(w, WM_USER + 0, 0, 0);  // from its own thread
    PostMessageW(w, WM_USER + 1, 0, 0);
    Drain();
    HANDLE t = StartThread([w] { return static_cast<DWORD>(SendMessageW(w, WM_USER + 2, 0, 0)); });
    MSG msg;
    // Handled in this thread's wait; after the handler it is FALSE again.
    while (WaitForSingleObject(t, 0) == WAIT_TIMEOUT) {
        MsgWaitForMultipleObjects(1, &t, FALSE, INFINITE, QS_SENDMESSAGE);
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    }
    CloseHandle(t);
    EXPECT_FALSE(InSendMessage());
    using Seen = std::vector<std::pair<UINT, bool>>;
    EXPECT_EQ(inSend.Items(), (Seen{{0, false}, {1, false}, {2, true}}));
}

TEST_F(SentWaitsTest, AnOwnSendInsideAHandlerOfAnotherThreadsSendStillCounts) {
    HWND w = MakeWindow();
    Answers() = [this, w](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_USER + 5) SendMessageW(w, WM_USER + 6, 0, 0);
        if (m == WM_USER + 6) inSend.Add({6, InSendMessage() != FALSE});
        return std::nullopt;
    };
    HANDLE t = StartThread([w] { return static_cast<DWORD>(SendMessageW(w, WM_USER + 5, 0, 0)); });
    MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_SENDMESSAGE);
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_EQ(inSend.Items(), (std::vector<std::pair<UINT, bool>>{{6, true}}));
}

TEST_F(SentWaitsTest, ASentOnlyWaitIgnoresPostedMessagesAndWakesForASentOne) {
    HWND w = MakeWindow();
    RecordInSend();
    ASSERT_TRUE(PostMessageW(w, WM_USER + 1, 0, 0));
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &never, FALSE, 50, QS_SENDMESSAGE),
              static_cast<DWORD>(WAIT_TIMEOUT));
    std::atomic<LRESULT> answer{0};
    HANDLE t = StartThread([&] {
        answer = SendMessageW(w, WM_USER + 2, 0, 0);
        return 0u;
    });
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &never, FALSE, INFINITE, QS_SENDMESSAGE),
              WAIT_OBJECT_0 + 1);
    EXPECT_TRUE(inSend.Items().empty());  // the wait itself handles nothing
    MSG msg{};
    // Handles the sent message only: the posted one stays, nothing is returned.
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_SENDMESSAGE));
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_EQ(answer.load(), 7);
    using Seen = std::vector<std::pair<UINT, bool>>;
    EXPECT_EQ(inSend.Items(), (Seen{{2, true}}));
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    CloseHandle(never);
}

TEST_F(SentWaitsTest, ASentOnlyPeekLeavesInputAndTimersAlone) {
    HWND w = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    Drain();
    SetTimer(w, 1, 10, nullptr);
    Sleep(20);
    InvalidateRect(w, nullptr, TRUE);
    ASSERT_TRUE(control::Click({60, 120}));
    MSG msg{};
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_SENDMESSAGE));
    EXPECT_TRUE(Entries(WM_LBUTTONDOWN, w).empty());  // the input was not routed either
    auto left = Drain();
    for (UINT m : {WM_LBUTTONDOWN, WM_TIMER, WM_PAINT})
        EXPECT_NE(std::find(left.begin(), left.end(), m), left.end()) << m;
}

}  // namespace
