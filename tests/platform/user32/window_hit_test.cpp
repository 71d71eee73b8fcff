// Mouse and key input from the machine: which window takes it, the messages around it (hit test,
// WM_SETCURSOR, activation), capture, double clicks, the wheel, mouse tracking and typing.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "machine/control/input.h"
#include <winbase.h>
#include <winuser.h>
#include "common/window_helper.h"

namespace {

using control::MouseButton;

// Takes, translates and dispatches every message now queued; returns them as taken.
std::vector<MSG> Pump() {
    std::vector<MSG> out;
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        out.push_back(m);
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return out;
}

constexpr DWORD kPopup = WS_POPUP | WS_VISIBLE;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

// Answers WM_NCHITTEST with HTTRANSPARENT for the windows in `transparent`.
void MakeTransparent(std::vector<HWND> transparent) {
    Answers() = [transparent](HWND w, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        for (HWND t : transparent)
            if (w == t && m == WM_NCHITTEST) return HTTRANSPARENT;
        return std::nullopt;
    };
}

class HitTestTest : public WindowTest {};

TEST_F(HitTestTest, MouseGoesToTheFirstWindowUnderThePointThatTakesIt) {
    HWND top = MakeWindow(kPopup, nullptr, 0, L"", {0, 0, 200, 200});
    HWND plain = MakeWindow(kChild, top, 1, L"", {10, 10, 60, 60});
    HWND hidden = MakeWindow(WS_CHILD, top, 2, L"", {100, 100, 150, 150});
    HWND disabled = MakeWindow(kChild | WS_DISABLED, top, 3, L"", {100, 10, 150, 60});
    HWND see = MakeWindow(kChild, top, 4, L"", {10, 100, 60, 150});  // above `below`
    HWND below = MakeWindow(kChild, top, 5, L"", {10, 100, 60, 150});
    HWND lone = MakeWindow(kChild, top, 6, L"", {150, 150, 190, 190});
    HWND hiddenTop = MakeWindow(WS_POPUP, nullptr, 0, L"", {0, 0, 50, 50});
    ASSERT_TRUE(hidden && disabled && hiddenTop);
    MakeTransparent({see, lone});
    struct Case {
        POINT at;
        HWND target;
        POINT client;
    };
    const Case cases[] = {
        {{20, 30}, plain, {10, 20}},    // a child, under a hidden top-level window
        {{120, 120}, top, {120, 120}},  // over a hidden child: its parent
        {{120, 20}, top, {120, 20}},    // over a disabled child: its parent
        {{20, 120}, below, {10, 20}},   // a transparent child: the sibling beneath
        {{160, 170}, top, {160, 170}},  // a transparent child alone: its parent
        {{199, 199}, top, {199, 199}},
    };
    for (const Case& c : cases) {
        MessageLog().Clear();
        ASSERT_TRUE(control::MoveMouse(c.at));
        Pump();
        auto moves = Entries(WM_MOUSEMOVE);
        ASSERT_EQ(moves.size(), 1u) << c.at.x << "," << c.at.y;
        EXPECT_EQ(moves[0].hwnd, c.target) << c.at.x << "," << c.at.y;
        EXPECT_EQ(moves[0].lParam, MAKELPARAM(c.client.x, c.client.y)) << c.at.x << "," << c.at.y;
    }
    EXPECT_FALSE(control::MoveMouse({500, 500}));  // nothing there
    POINT p;
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p.x, 500);
    EXPECT_EQ(p.y, 500);
}

TEST_F(HitTestTest, HitTestAndSetCursorComeBeforeTheMoveAndTheParentIsAskedFirst) {
    HWND top = MakeWindow(kPopup, nullptr, 0, L"", {0, 0, 200, 200});
    HWND child = MakeWindow(kChild, top, 1, L"", {10, 10, 60, 60});
    MessageLog().Clear();
    control::MoveMouse({20, 20});
    Pump();
    std::vector<std::pair<HWND, UINT>> seen;
    for (const Logged& l : MessageLog().Items()) {
        if (l.message == WM_NCHITTEST || l.message == WM_SETCURSOR || l.message == WM_MOUSEMOVE) {
            seen.emplace_back(l.hwnd, l.message);
            if (l.message == WM_SETCURSOR) {
                EXPECT_EQ(l.wParam, reinterpret_cast<WPARAM>(child));
                EXPECT_EQ(l.lParam, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            }
        }
    }
    EXPECT_EQ(seen, (std::vector<std::pair<HWND, UINT>>{{child, WM_NCHITTEST},
                                                        {child, WM_SETCURSOR},
                                                        {top, WM_SETCURSOR},
                                                        {child, WM_MOUSEMOVE}}));
}

TEST_F(HitTestTest, CaptureTakesEveryMouseInputWithoutHitTests) {
    HWND top = MakeWindow(kPopup, nullptr, 0, L"", {0, 0, 200, 200});
    HWND child = MakeWindow(kChild, top, 1, L"", {10, 10, 60, 60});
    SetCapture(child);
    MessageLog().Clear();
    control::MoveMouse({150, 150});
    control::MoveMouse({5, 700});
    control::PressMouse(MouseButton::Right);
    Pump();
    EXPECT_EQ(Messages({WM_NCHITTEST, WM_SETCURSOR}), std::vector<UINT>{});
    auto moves = Entries(WM_MOUSEMOVE, child);
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].lParam, MAKELPARAM(140, 140));
    EXPECT_EQ(moves[1].lParam, MAKELPARAM(-5, 690));
    auto press = Entries(WM_RBUTTONDOWN, child);
    ASSERT_EQ(press.size(), 1u);
    EXPECT_EQ(press[0].wParam, MK_RBUTTON);
    EXPECT_TRUE(Messages({WM_MOUSEMOVE, WM_RBUTTONDOWN, WM_NCHITTEST}, top).empty());
}

TEST_F(HitTestTest, FrameInputComesAsNonClientMessagesInScreenCoordinates) {
    HWND w = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, 0, L"", {100, 100, 300, 300});
    MessageLog().Clear();
    control::MoveMouse({200, 110});  // the caption
    control::PressMouse(MouseButton::Right);
    Pump();
    auto move = Entries(WM_NCMOUSEMOVE, w);
    auto press = Entries(WM_NCRBUTTONDOWN, w);
    ASSERT_EQ(move.size(), 1u);
    ASSERT_EQ(press.size(), 1u);
    EXPECT_EQ(move[0].wParam, static_cast<WPARAM>(HTCAPTION));
    EXPECT_EQ(move[0].lParam, MAKELPARAM(200, 110));
    EXPECT_EQ(press[0].wParam, static_cast<WPARAM>(HTCAPTION));
}

TEST_F(HitTestTest, PressOnAnInactiveWindowActivatesItAsMouseActivateAnswers) {
    struct Case {
        LRESULT answer;
        bool activates;
        bool delivered;
    };
    const Case cases[] = {{MA_ACTIVATE, true, true},
                          {MA_ACTIVATEANDEAT, true, false},
                          {MA_NOACTIVATE, false, true},
                          {MA_NOACTIVATEANDEAT, false, false}};
    for (const Case& c : cases) {
        HWND other = MakeWindow(kPopup, nullptr, 0, L"", {300, 0, 400, 100});
        HWND w = MakeWindow(kPopup, nullptr, 0, L"", {0, 0, 100, 100});
        SetForegroundWindow(other);
        Answers() = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (h == w && m == WM_MOUSEACTIVATE) return c.answer;
            return std::nullopt;
        };
        MessageLog().Clear();
        control::Click({50, 50});
        Pump();
        auto asked = Entries(WM_MOUSEACTIVATE, w);
        ASSERT_EQ(asked.size(), 1u) << c.answer;
        EXPECT_EQ(asked[0].wParam, reinterpret_cast<WPARAM>(w));
        EXPECT_EQ(asked[0].lParam, MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
        EXPECT_EQ(GetActiveWindow() == w, c.activates) << c.answer;
        EXPECT_EQ(GetForegroundWindow() == w, c.activates) << c.answer;
        if (c.activates) {
            auto activated = Entries(WM_ACTIVATE, w);
            ASSERT_EQ(activated.size(), 1u);
            EXPECT_EQ(activated[0].wParam, static_cast<WPARAM>(WA_CLICKACTIVE));
        }
        EXPECT_EQ(Entries(WM_LBUTTONDOWN, w).size(), c.delivered ? 1u : 0u) << c.answer;
        EXPECT_EQ(Entries(WM_LBUTTONUP, w).size(), 1u) << c.answer;
        Answers() = nullptr;
        DestroyWindow(w);
        DestroyWindow(other);
    }
}

TEST_F(HitTestTest, MouseUnderAnotherThreadsWindowGoesToThatThreadsQueue) {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD tid = 0;
    HANDLE t = StartThread([&] {
        tid = GetCurrentThreadId();
        MakeWindow(kPopup, nullptr, 0, L"", {300, 300, 400, 400});
        SetEvent(ready);
        MSG m;
        while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
        return 0u;
    });
    WaitForSingleObject(ready, INFINITE);
    HWND mine = MakeWindow(kPopup, nullptr, 0, L"", {0, 0, 100, 100});
    EXPECT_TRUE(control::Click({350, 360}));
    PostThreadMessageW(tid, WM_QUIT, 0, 0);
    WaitForSingleObject(t, INFINITE);
    auto press = Entries(WM_LBUTTONDOWN);
    ASSERT_EQ(press.size(), 1u);
    EXPECT_EQ(press[0].thread, tid);
    EXPECT_EQ(press[0].lParam, MAKELPARAM(50, 60));
    Pump();
    EXPECT_TRUE(Messages({WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_NCHITTEST}, mine).empty());
    for (HANDLE h : {t, ready}) CloseHandle(h);
}

// ---- Double clicks ----

const wchar_t* kPlainClass = L"PlainWindow";  // without CS_DBLCLKS

class DoubleClickTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = LoggingProc;
        wc.lpszClassName = kPlainClass;
        ASSERT_NE(RegisterClassExW(&wc), 0);
    }
};

TEST_F(DoubleClickTest, SecondPressIsADoubleClickOnlyForTheClassNearAndInTime) {
    struct Case {
        const char* name;
        bool classTakesThem;
        DWORD pause;  // milliseconds between the clicks
        int shift;    // pixels the second click is off
        std::vector<UINT> expected;
    };
    const std::vector<UINT> twoPresses{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP};
    const std::vector<UINT> doubleClick{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK,
                                        WM_LBUTTONUP};
    const Case cases[] = {
        {"at once", true, 0, 0, doubleClick},
        {"within time and distance", true, 500, 2, doubleClick},
        {"class without CS_DBLCLKS", false, 0, 0, twoPresses},
        {"too late", true, 501, 0, twoPresses},
        {"too far", true, 0, 3, twoPresses},
    };
    for (const Case& c : cases) {
        HWND w = CreateWindowExW(0, c.classTakesThem ? kTestClass : kPlainClass, L"", kPopup, 0, 0,
                                 100, 100, nullptr, nullptr, nullptr, nullptr);
        MessageLog().Clear();
        control::Click({50, 50});
        Pump();
        Sleep(c.pause);
        control::Click({50 + c.shift, 50});
        Pump();
        EXPECT_EQ(Messages({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK}, w), c.expected)
            << c.name;
        DestroyWindow(w);
    }
}

TEST_F(DoubleClickTest, ThirdPressStartsAfresh) {
    HWND w = MakeWindow(kPopup, nullptr, 0, L"", {0, 0, 100, 100});
    MessageLog().Clear();
    control::DoubleClick({50, 50});
    control::Click({50, 50});
    control::Click({50, 50});
    Pump();
    EXPECT_EQ(
        Messages({WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}, w),
        (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}));
}

// ---- The wheel ----

TEST_F(HitTestTest, WheelGoesToTheFocusAndOnToItsParent) {
    HWND top = MakeWindow(kPopup, nullptr, 0, L"", {0, 0, 200, 200});
    HWND child = MakeWindow(kChild, top, 1, L"", {10, 10, 60, 60});
    SetFocus(child);
    control::MoveMouse({150, 150});
    Pump();
    MessageLog().Clear();
    EXPECT_TRUE(control::TurnWheel(-WHEEL_DELTA));
    Pump();
    auto turns = Entries(WM_MOUSEWHEEL);
    ASSERT_EQ(turns.size(), 2u);
    EXPECT_EQ(turns[0].hwnd, child);
    EXPECT_EQ(turns[1].hwnd, top);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(turns[0].wParam), -WHEEL_DELTA);
    EXPECT_EQ(turns[0].lParam, MAKELPARAM(150, 150));  // screen coordinates
}

// ---- Mouse tracking ----

class TrackingTest : public WindowTest {
protected:
    // A window over (0,0)-(100,100) that asks for TME_LEAVE on its first mouse move, and a
    // neighbour over (100,0)-(200,100).
    void SetUp() override {
        WindowTest::SetUp();
        top = MakeWindow(kPopup, nullptr, 0, L"", {0, 0, 200, 100});
        tracked = MakeWindow(kChild, top, 1, L"", {0, 0, 100, 100});
        Answers() = [this](HWND w, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (w == tracked && m == WM_MOUSEMOVE && !asked) {
                asked = true;
                TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, tracked, HOVER_DEFAULT};
                EXPECT_TRUE(TrackMouseEvent(&t));
            }
            return std::nullopt;
        };
        control::MoveMouse({50, 50});
        Pump();
        ASSERT_TRUE(asked);
    }
    TRACKMOUSEEVENT Query() {
        TRACKMOUSEEVENT t{sizeof t, TME_QUERY, nullptr, 0};
        EXPECT_TRUE(TrackMouseEvent(&t));
        return t;
    }
    HWND top = nullptr;
    HWND tracked = nullptr;
    bool asked = false;
};

TEST_F(TrackingTest, LeaveComesOnceWhenThePointerLeaves) {
    EXPECT_EQ(Query().hwndTrack, tracked);
    EXPECT_EQ(Query().dwFlags, TME_LEAVE);
    control::MoveMouse({60, 50});  // still inside
    control::MoveMouse({150, 50});
    control::MoveMouse({160, 50});
    control::MoveMouse({700, 700});
    Pump();
    EXPECT_EQ(Entries(WM_MOUSELEAVE).size(), 1u);
    EXPECT_EQ(Entries(WM_MOUSELEAVE, tracked).size(), 1u);
    EXPECT_EQ(Query().dwFlags, 0u);
    EXPECT_EQ(Query().hwndTrack, nullptr);
}

TEST_F(TrackingTest, UnderCaptureLeaveWaitsForTheCaptureToEndOutside) {
    SetCapture(tracked);
    control::MoveMouse({150, 50});
    Pump();
    EXPECT_TRUE(Entries(WM_MOUSELEAVE).empty());
    ReleaseCapture();
    Pump();
    EXPECT_EQ(Entries(WM_MOUSELEAVE, tracked).size(), 1u);
}

TEST_F(TrackingTest, AWindowThatLetsTheMouseThroughDoesNotEndTheTracking) {
    // A group-box-like sibling over the tracked window, transparent to the mouse.
    HWND frame = MakeWindow(kChild, top, 2, L"", {0, 0, 100, 100});
    SetWindowPos(frame, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    auto tracking = Answers();
    Answers() = [frame, tracking](HWND w, UINT m, WPARAM wp, LPARAM lp) -> std::optional<LRESULT> {
        if (w == frame && m == WM_NCHITTEST) return HTTRANSPARENT;
        return tracking(w, m, wp, lp);
    };
    TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, tracked, HOVER_DEFAULT};
    EXPECT_TRUE(TrackMouseEvent(&t));
    control::MoveMouse({60, 50});
    Pump();
    EXPECT_TRUE(Entries(WM_MOUSELEAVE).empty());
    EXPECT_EQ(Query().hwndTrack, tracked);
    control::MoveMouse({150, 50});
    Pump();
    EXPECT_EQ(Entries(WM_MOUSELEAVE, tracked).size(), 1u);
}

TEST_F(TrackingTest, CancelledTrackingSendsNothing) {
    TRACKMOUSEEVENT t{sizeof t, TME_LEAVE | TME_CANCEL, tracked, 0};
    EXPECT_TRUE(TrackMouseEvent(&t));
    EXPECT_EQ(Query().dwFlags, 0u);
    control::MoveMouse({150, 50});
    Pump();
    EXPECT_TRUE(Entries(WM_MOUSELEAVE).empty());
    TRACKMOUSEEVENT bad{0, TME_LEAVE, tracked, 0};
    EXPECT_FALSE(TrackMouseEvent(&bad));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// ---- Keys ----

class KeyTest : public WindowTest {};

// The characters of the WM_CHAR messages of the window.
std::wstring Typed(HWND w) {
    std::wstring out;
    for (const Logged& l : Entries(WM_CHAR, w)) out += static_cast<wchar_t>(l.wParam);
    return out;
}

TEST_F(KeyTest, TypedTextReachesTheFocusAsCharacters) {
    HWND top = MakeWindow(kPopup, nullptr, 0, L"", {0, 0, 200, 200});
    HWND edit = MakeWindow(kChild, top, 1, L"", {10, 10, 60, 60});
    SetFocus(edit);
    const std::wstring cases[] = {L"abc", L"Hello, World!", L"a1@Z_~\t", L"\x4E2D\x6587 ok"};
    for (const std::wstring& text : cases) {
        MessageLog().Clear();
        EXPECT_TRUE(control::TypeText(text));
        Pump();
        EXPECT_EQ(Typed(edit), text);
        EXPECT_EQ(Entries(WM_KEYDOWN, edit).size(), Entries(WM_KEYUP, edit).size());
        EXPECT_TRUE(Messages({WM_KEYDOWN, WM_CHAR}, top).empty());
    }
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);  // released again
}

TEST_F(KeyTest, KeyStateFollowsTheKeysTheThreadHasTaken) {
    HWND w = MakeWindow(kPopup, nullptr, 0, L"", {0, 0, 100, 100});
    SetFocus(w);
    control::KeyDown(VK_SHIFT);
    EXPECT_LT(GetAsyncKeyState(VK_SHIFT), 0);
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);  // not taken yet
    Pump();
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    control::KeyUp(VK_SHIFT);
    Pump();
    EXPECT_EQ(GetKeyState(VK_SHIFT), 1);  // up, toggled once
}

TEST_F(KeyTest, AltAndControlChangeWhatTheKeyGives) {
    HWND w = MakeWindow(kPopup, nullptr, 0, L"", {0, 0, 100, 100});
    SetFocus(w);
    struct Case {
        UINT modifier;
        UINT down;  // the letter's key-down message
        UINT chr;   // its character message
        WPARAM ch;
    };
    const Case cases[] = {{VK_MENU, WM_SYSKEYDOWN, WM_SYSCHAR, 'f'},
                          {VK_CONTROL, WM_KEYDOWN, WM_CHAR, 0x06}};
    for (const Case& c : cases) {
        MessageLog().Clear();
        control::KeyDown(c.modifier);
        control::PressKey('F');
        control::KeyUp(c.modifier);
        Pump();
        auto down = Entries(c.down, w);
        auto chr = Entries(c.chr, w);
        ASSERT_FALSE(down.empty()) << c.modifier;
        EXPECT_EQ(down.back().wParam, static_cast<WPARAM>('F'));
        ASSERT_EQ(chr.size(), 1u) << c.modifier;
        EXPECT_EQ(chr[0].wParam, c.ch);
    }
}

TEST_F(KeyTest, WithoutFocusKeysGoToTheActiveWindowAsSystemKeys) {
    HWND w = MakeWindow(kPopup, nullptr, 0, L"", {0, 0, 100, 100});
    SetActiveWindow(w);
    SetFocus(nullptr);
    MessageLog().Clear();
    control::PressKey('Q');
    Pump();
    EXPECT_EQ(Messages({WM_KEYDOWN, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_CHAR, WM_SYSCHAR}, w),
              (std::vector<UINT>{WM_SYSKEYDOWN, WM_SYSCHAR, WM_SYSKEYUP}));
}

}  // namespace
