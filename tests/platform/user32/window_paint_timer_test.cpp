// WM_PAINT while a window has something to paint, and WM_TIMER from timers on the machine clock.
#include <gtest/gtest.h>

#include <atomic>

#include "common/sim_fixture.h"
#include <winbase.h>
#include "machine/gdi_objects.h"
#include <winuser.h>
#include "common/window_helper.h"

namespace {

class WindowPaintTest : public WindowTest {};

TEST_F(WindowPaintTest, PaintComesWhileTheUpdateRegionLastsAndAfterPostedMessages) {
    HWND w = MakeWindow(WS_VISIBLE);  // shown: all of it needs painting
    PostMessageW(w, WM_USER, 0, 0);
    EXPECT_EQ(Drain(), (std::vector<UINT>{WM_USER, WM_PAINT}));
    EXPECT_FALSE(GetUpdateRect(w, nullptr, FALSE));  // the default handling validated
    EXPECT_TRUE(Drain().empty());

    // A window that does not validate keeps getting WM_PAINT.
    Answers() = [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_PAINT) return 0;
        return std::nullopt;
    };
    InvalidateRect(w, nullptr, FALSE);
    MSG msg;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, WM_PAINT);
    }
    ValidateRect(w, nullptr);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowPaintTest, InvalidatedPartsJoinIntoOnePaint) {
    HWND w = MakeWindow(WS_VISIBLE, nullptr, 0, L"", {0, 0, 200, 200});
    Drain();
    MessageLog().Clear();
    RECT painted{};
    Answers() = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_PAINT) return std::nullopt;
        PAINTSTRUCT ps;
        EXPECT_NE(BeginPaint(h, &ps), nullptr);
        painted = ps.rcPaint;
        EXPECT_EQ(sim::GdiTable::Get().LiveCount(OBJ_DC), 1u);
        EndPaint(h, &ps);
        return 0;
    };
    RECT a{10, 10, 20, 20};
    RECT b{50, 5, 60, 15};
    InvalidateRect(w, &a, TRUE);
    InvalidateRect(w, &b, FALSE);
    EXPECT_EQ(Drain(), std::vector<UINT>{WM_PAINT});
    EXPECT_EQ(painted.left, 10);
    EXPECT_EQ(painted.top, 5);
    EXPECT_EQ(painted.right, 60);
    EXPECT_EQ(painted.bottom, 20);
    EXPECT_EQ(Messages({WM_ERASEBKGND}), std::vector<UINT>{WM_ERASEBKGND});
    EXPECT_EQ(sim::GdiTable::Get().LiveCount(OBJ_DC), 0u);
}

TEST_F(WindowPaintTest, WhatNeedsNoPaintGetsNone) {
    struct Case {
        const char* what;
        std::function<void(HWND)> act;
        bool queued;   // a WM_PAINT came through the queue
        bool painted;  // the window got WM_PAINT at all
    };
    const Case cases[] = {
        {"hidden window",
         [](HWND w) {
             ShowWindow(w, SW_HIDE);
             InvalidateRect(w, nullptr, TRUE);
         },
         false, false},
        {"outside the client area",
         [](HWND w) {
             RECT r{5000, 5000, 5100, 5100};
             InvalidateRect(w, &r, TRUE);
         },
         false, false},
        {"validated band",
         [](HWND w) {
             RECT r{0, 0, 50, 10};
             RECT band{0, 0, 50, 10};
             InvalidateRect(w, &r, TRUE);
             ValidateRect(w, &band);
         },
         false, false},
        {"part validated",
         [](HWND w) {
             RECT r{0, 0, 50, 10};
             RECT part{0, 0, 50, 5};
             InvalidateRect(w, &r, TRUE);
             ValidateRect(w, &part);
         },
         true, true},
        {"painted at once by UpdateWindow",
         [](HWND w) {
             InvalidateRect(w, nullptr, TRUE);
             UpdateWindow(w);
         },
         false, true},
    };
    for (const Case& c : cases) {
        HWND w = MakeWindow(WS_VISIBLE);
        Drain();
        MessageLog().Clear();
        c.act(w);
        EXPECT_EQ(Drain() == std::vector<UINT>{WM_PAINT}, c.queued) << c.what;
        EXPECT_EQ(Entries(WM_PAINT).size(), c.painted ? 1u : 0u) << c.what;
        DestroyWindow(w);
    }
}

TEST_F(WindowPaintTest, ValidatingKeepsWhatABandCannotCover) {
    HWND w = MakeWindow(WS_VISIBLE);
    Drain();
    RECT r{0, 0, 50, 10};
    InvalidateRect(w, &r, FALSE);
    RECT top{0, 0, 50, 4};
    ValidateRect(w, &top);
    RECT left{0, 0, 10, 10};
    ValidateRect(w, &left);
    RECT middle{20, 5, 30, 7};  // inside: a covering rectangle cannot lose it
    ValidateRect(w, &middle);
    RECT u;
    ASSERT_TRUE(GetUpdateRect(w, &u, FALSE));
    EXPECT_EQ(u.left, 10);
    EXPECT_EQ(u.top, 4);
    EXPECT_EQ(u.right, 50);
    EXPECT_EQ(u.bottom, 10);
}

TEST_F(WindowPaintTest, MessageWaitsEndForPaint) {
    HWND w = MakeWindow(WS_VISIBLE);
    Drain();
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_PAINT),
              static_cast<DWORD>(WAIT_TIMEOUT));
    InvalidateRect(w, nullptr, FALSE);
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_PAINT), WAIT_OBJECT_0);
}

class WindowTimerTest : public WindowPaintTest {};

std::vector<DWORD> g_ticks;

TEST_F(WindowTimerTest, AWindowTimerFiresOnItsBeatWhileTheThreadWaits) {
    HWND w = MakeWindow();
    DWORD start = GetTickCount();
    ASSERT_EQ(SetTimer(w, 5, 100, nullptr), 5u);
    std::vector<DWORD> at;
    MSG msg;
    while (at.size() < 3 && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ASSERT_EQ(msg.message, WM_TIMER);
        EXPECT_EQ(msg.hwnd, w);
        EXPECT_EQ(msg.wParam, 5u);
        at.push_back(GetTickCount() - start);
        DispatchMessageW(&msg);
    }
    EXPECT_EQ(at, (std::vector<DWORD>{100, 200, 300}));
    EXPECT_EQ(Entries(WM_TIMER, w).size(), 3u);
    ASSERT_TRUE(KillTimer(w, 5));
    EXPECT_FALSE(KillTimer(w, 5));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    Sleep(1000);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTimerTest, MissedBeatsCoalesceIntoOneMessage) {
    HWND w = MakeWindow();
    DWORD start = GetTickCount();
    SetTimer(w, 1, 100, nullptr);
    Sleep(350);
    EXPECT_EQ(Drain(), std::vector<UINT>{WM_TIMER});
    MSG msg;
    ASSERT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, WM_TIMER);
    EXPECT_EQ(GetTickCount() - start, 400u);  // back on the beat
    // Setting it again starts a new beat; a PM_NOREMOVE look leaves it due.
    SetTimer(w, 1, 30, nullptr);
    Sleep(30);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    EXPECT_EQ(Drain(), std::vector<UINT>{WM_TIMER});
    // A destroyed window's timers go with it.
    DestroyWindow(w);
    Sleep(100);
    EXPECT_TRUE(Drain().empty());
}

TEST_F(WindowTimerTest, ThreadTimersCallTheirProcedure) {
    g_ticks.clear();
    static UINT_PTR seenId;
    TIMERPROC proc = [](HWND w, UINT m, UINT_PTR id, DWORD tick) {
        EXPECT_EQ(w, nullptr);
        EXPECT_EQ(m, WM_TIMER);
        seenId = id;
        g_ticks.push_back(tick);
    };
    DWORD start = GetTickCount();
    UINT_PTR id = SetTimer(nullptr, 0, 5, proc);  // raised to the minimum period
    ASSERT_NE(id, 0u);
    UINT_PTR other = SetTimer(nullptr, 0, 1000, proc);
    EXPECT_NE(other, id);
    MSG msg;
    while (g_ticks.size() < 2 && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    EXPECT_EQ(seenId, id);
    EXPECT_EQ(g_ticks,
              (std::vector<DWORD>{start + USER_TIMER_MINIMUM, start + 2 * USER_TIMER_MINIMUM}));
    EXPECT_TRUE(KillTimer(nullptr, id));
    EXPECT_TRUE(KillTimer(nullptr, other));
}

TEST_F(WindowTimerTest, AThreadBlockedInGetMessageLetsTheClockReachItsTimer) {
    DWORD start = GetTickCount();
    std::atomic<DWORD> firedAt{0};
    HANDLE t = StartThread([&] {
        SetTimer(nullptr, 0, 60000, nullptr);
        MSG msg;
        GetMessageW(&msg, nullptr, 0, 0);
        firedAt = GetTickCount();
        return msg.message;
    });
    WaitForSingleObject(t, INFINITE);
    DWORD message = 0;
    GetExitCodeThread(t, &message);
    EXPECT_EQ(message, WM_TIMER);
    EXPECT_EQ(firedAt.load() - start, 60000u);
    CloseHandle(t);
}

TEST_F(WindowTimerTest, OnlyTheOwnersThreadSetsAWindowsTimer) {
    HWND w = MakeWindow();
    HANDLE t = StartThread([&] { return SetTimer(w, 1, 100, nullptr) == 0 ? GetLastError() : 0u; });
    WaitForSingleObject(t, INFINITE);
    DWORD error = 0;
    GetExitCodeThread(t, &error);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(t);
    HWND dead = MakeWindow();
    DestroyWindow(dead);
    EXPECT_EQ(SetTimer(dead, 1, 100, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

}  // namespace
