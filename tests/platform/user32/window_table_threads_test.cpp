// Worker threads read and message the windows of a UI thread while it creates, moves and
// destroys them (run under ThreadSanitizer as well).
#include <gtest/gtest.h>

#include <atomic>

#include "common/window_helper.h"

namespace {

class WindowTableThreadsTest : public WindowTest {};

// What the workers saw that a consistent window record cannot show.
struct Findings {
    std::atomic<int> tornRects{0};
    std::atomic<int> wrongIds{0};
    std::atomic<int> badAnswers{0};
    std::atomic<int> answered{0};
};

constexpr UINT kAsk = WM_USER + 7;

TEST_F(WindowTableThreadsTest, WorkersReadAndMessageWindowsTheUiThreadChanges) {
    Answers() = [](HWND, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
        if (m == kAsk) return static_cast<LRESULT>(wp + 1);
        return std::nullopt;
    };
    std::atomic<HWND> current{nullptr};
    std::atomic<bool> stop{false};
    Findings f;
    auto worker = [&] {
        for (WPARAM n = 0; !stop.load(); ++n) {
            HWND w = current.load();
            if (w == nullptr) continue;
            IsWindow(w);
            IsWindowVisible(w);
            RECT r{};
            // The UI thread keeps every window square at (k, k) with sides 50 + k.
            if (GetWindowRect(w, &r) && (r.left != r.top || r.right - r.left != r.bottom - r.top ||
                                         r.right - r.left != 50 + r.left))
                ++f.tornRects;
            RECT c{};
            if (GetClientRect(w, &c) && c.right != c.bottom) ++f.tornRects;
            LONG_PTR id = GetWindowLongPtrW(w, GWLP_ID);
            if (id != 0 && id != 0x77) ++f.wrongIds;
            PostMessageW(w, WM_USER + 8, 0, 0);
            LRESULT a = SendMessageW(w, kAsk, n, 0);
            if (a == static_cast<LRESULT>(n + 1))
                ++f.answered;
            else if (a != 0)  // 0: the window went first
                ++f.badAnswers;
            if (HDC dc = GetDC(w)) ReleaseDC(w, dc);
        }
        return 0u;
    };
    HANDLE workers[3];
    for (HANDLE& h : workers) h = StartThread(worker);
    HWND parent = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, L"", {0, 0, 400, 400});
    for (int i = 0; i < 60; ++i) {
        HWND w = MakeWindow(WS_CHILD | WS_VISIBLE, parent, 0x77, L"", {0, 0, 50, 50});
        current = w;
        for (int k = 1; k <= 5; ++k) {
            MoveWindow(w, k, k, 50 + k, 50 + k, TRUE);
            Drain();  // handles what the workers send and post
        }
        if (i % 2 == 0) ShowWindow(w, SW_HIDE);
        DestroyWindow(w);
        Drain();
    }
    stop = true;
    // Joined while handling what they still send.
    for (HANDLE h : workers) {
        while (MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0)
            Drain();
        CloseHandle(h);
    }
    EXPECT_EQ(f.tornRects.load(), 0);
    EXPECT_EQ(f.wrongIds.load(), 0);
    EXPECT_EQ(f.badAnswers.load(), 0);
    EXPECT_GT(f.answered.load(), 0);
}

}  // namespace
