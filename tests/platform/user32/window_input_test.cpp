// Focus, activation, the foreground window, capture, the caret and the cursor.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "machine/control/input.h"
#include <winbase.h>
#include <winuser.h>
#include "common/window_helper.h"

namespace {

constexpr UINT kBlink = WM_SYSTIMER;

// (window, message, wParam, lParam) of the focus, activation and capture messages, in order.
using Step = std::tuple<HWND, UINT, WPARAM, LPARAM>;
std::vector<Step> InputSteps() {
    std::vector<Step> out;
    for (const Logged& l : MessageLog().Items())
        if (l.message == WM_ACTIVATE || l.message == WM_SETFOCUS || l.message == WM_KILLFOCUS ||
            l.message == WM_CAPTURECHANGED)
            out.emplace_back(l.hwnd, l.message, l.wParam, l.lParam);
    return out;
}

WPARAM W(HWND h) {
    return reinterpret_cast<WPARAM>(h);
}
LPARAM L(HWND h) {
    return reinterpret_cast<LPARAM>(h);
}

// A window that another thread owns, alive until the object goes.
class ForeignWindow {
public:
    ForeignWindow() {
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = StartThread([this, ready] {
            window_ = MakeWindow(0);
            SetEvent(ready);
            WaitForSingleObject(stop_, INFINITE);
            return 0u;
        });
        WaitForSingleObject(ready, INFINITE);
        CloseHandle(ready);
    }
    ~ForeignWindow() {
        SetEvent(stop_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(stop_);
    }
    HWND get() const { return window_; }

private:
    HANDLE stop_ = nullptr;
    HANDLE thread_ = nullptr;
    HWND window_ = nullptr;
};

class FocusTest : public WindowTest {};

TEST_F(FocusTest, FocusOnAChildActivatesItsWindowThenMovesWithKillBeforeSet) {
    HWND top = MakeWindow(0);
    HWND a = MakeWindow(WS_CHILD, top, 1);
    HWND b = MakeWindow(WS_CHILD, top, 2);
    MessageLog().Clear();

    EXPECT_EQ(SetFocus(a), nullptr);
    EXPECT_EQ(InputSteps(), (std::vector<Step>{{top, WM_ACTIVATE, WA_ACTIVE, 0},
                                               {top, WM_SETFOCUS, 0, 0},
                                               {top, WM_KILLFOCUS, W(a), 0},
                                               {a, WM_SETFOCUS, W(top), 0}}));
    EXPECT_EQ(GetActiveWindow(), top);
    EXPECT_EQ(GetFocus(), a);

    MessageLog().Clear();
    EXPECT_EQ(SetFocus(b), a);
    EXPECT_EQ(InputSteps(),
              (std::vector<Step>{{a, WM_KILLFOCUS, W(b), 0}, {b, WM_SETFOCUS, W(a), 0}}));

    MessageLog().Clear();
    EXPECT_EQ(SetFocus(b), b);  // already there: nothing sent
    EXPECT_TRUE(InputSteps().empty());

    EXPECT_EQ(SetFocus(nullptr), b);
    EXPECT_EQ(InputSteps(), (std::vector<Step>{{b, WM_KILLFOCUS, 0, 0}}));
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(FocusTest, RefusedAndLostFocus) {
    ForeignWindow foreign;
    struct Case {
        const char* what;
        std::function<HWND(HWND mine)> target;  // the window SetFocus is given
        DWORD error;
    };
    const Case cases[] = {
        {"another thread's window", [&](HWND) { return foreign.get(); }, ERROR_ACCESS_DENIED},
        {"a window that does not exist", [](HWND) { return reinterpret_cast<HWND>(0x4242); },
         ERROR_INVALID_WINDOW_HANDLE},
        {"a destroyed window",
         [](HWND) {
             HWND gone = MakeWindow(0);
             DestroyWindow(gone);
             return gone;
         },
         ERROR_INVALID_WINDOW_HANDLE},
    };
    for (const Case& c : cases) {
        HWND mine = MakeWindow(0);
        SetFocus(mine);
        HWND target = c.target(mine);
        MessageLog().Clear();
        SetLastError(0);
        EXPECT_EQ(SetFocus(target), nullptr) << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
        EXPECT_EQ(GetFocus(), mine) << c.what;
        EXPECT_TRUE(InputSteps().empty()) << c.what;
        DestroyWindow(mine);
    }
}

TEST_F(FocusTest, DestroyingTheFocusWindowLeavesNoFocus) {
    HWND a = MakeWindow(0);
    HWND b = MakeWindow(0);
    SetFocus(a);
    DestroyWindow(a);
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(GetActiveWindow(), nullptr);
    MessageLog().Clear();
    EXPECT_EQ(SetFocus(b), nullptr);
    // Nothing lost the focus: b hears of no previous window.
    EXPECT_EQ(InputSteps(),
              (std::vector<Step>{{b, WM_ACTIVATE, WA_ACTIVE, 0}, {b, WM_SETFOCUS, 0, 0}}));
}

TEST_F(FocusTest, FocusBelongsToEachThread) {
    HWND mine = MakeWindow(0);
    SetFocus(mine);
    EXPECT_EQ(OnAnotherThread([] { return GetFocus(); }), nullptr);
    EXPECT_EQ(GetFocus(), mine);
}

TEST_F(FocusTest, ActivationMovesFromOneTopLevelWindowToAnother) {
    HWND a = MakeWindow(0);
    HWND b = MakeWindow(0);
    HWND child = MakeWindow(WS_CHILD, b, 1);
    EXPECT_EQ(SetActiveWindow(a), nullptr);
    MessageLog().Clear();

    EXPECT_EQ(SetActiveWindow(child), a);  // a child activates its top-level window
    EXPECT_EQ(InputSteps(), (std::vector<Step>{{a, WM_ACTIVATE, WA_INACTIVE, L(b)},
                                               {b, WM_ACTIVATE, WA_ACTIVE, L(a)},
                                               {a, WM_KILLFOCUS, W(b), 0},
                                               {b, WM_SETFOCUS, W(a), 0}}));
    EXPECT_EQ(GetActiveWindow(), b);
    EXPECT_EQ(GetFocus(), b);

    MessageLog().Clear();
    EXPECT_EQ(SetActiveWindow(nullptr), b);
    EXPECT_EQ(InputSteps(), (std::vector<Step>{{b, WM_ACTIVATE, WA_INACTIVE, 0}}));
    EXPECT_EQ(GetActiveWindow(), nullptr);

    ForeignWindow foreign;
    SetLastError(0);
    EXPECT_EQ(SetActiveWindow(foreign.get()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(FocusTest, TheForegroundWindowIsTheMachines) {
    ForeignWindow foreign;
    HWND mine = MakeWindow(0);
    HWND child = MakeWindow(WS_CHILD, mine, 1);
    EXPECT_EQ(GetForegroundWindow(), nullptr);

    EXPECT_TRUE(SetForegroundWindow(child));
    EXPECT_EQ(GetForegroundWindow(), mine);
    EXPECT_EQ(GetActiveWindow(), mine);  // the calling thread's own window is activated

    EXPECT_TRUE(SetForegroundWindow(foreign.get()));
    EXPECT_EQ(GetForegroundWindow(), foreign.get());
    EXPECT_EQ(GetActiveWindow(), mine);  // another thread's window is not this thread's active

    EXPECT_FALSE(SetForegroundWindow(reinterpret_cast<HWND>(0x4242)));
    EXPECT_EQ(GetForegroundWindow(), foreign.get());

    SetForegroundWindow(mine);
    DestroyWindow(mine);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
}

class CaptureTest : public WindowTest {};

TEST_F(CaptureTest, TheWindowLosingCaptureHearsWhoTookIt) {
    HWND a = MakeWindow(0);
    HWND b = MakeWindow(0);
    MessageLog().Clear();

    EXPECT_EQ(SetCapture(a), nullptr);
    EXPECT_TRUE(InputSteps().empty());
    EXPECT_EQ(GetCapture(), a);

    EXPECT_EQ(SetCapture(b), a);
    EXPECT_EQ(InputSteps(), (std::vector<Step>{{a, WM_CAPTURECHANGED, 0, L(b)}}));
    EXPECT_EQ(GetCapture(), b);

    MessageLog().Clear();
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(InputSteps(), (std::vector<Step>{{b, WM_CAPTURECHANGED, 0, 0}}));
    EXPECT_EQ(GetCapture(), nullptr);

    MessageLog().Clear();
    EXPECT_TRUE(ReleaseCapture());  // nothing held: nothing sent
    EXPECT_TRUE(InputSteps().empty());
}

TEST_F(CaptureTest, CaptureEndsWithItsWindowAndBelongsToOneThread) {
    HWND a = MakeWindow(0);
    SetCapture(a);
    EXPECT_EQ(OnAnotherThread([] { return GetCapture(); }), nullptr);

    ForeignWindow foreign;
    SetLastError(0);
    EXPECT_EQ(SetCapture(foreign.get()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetCapture(), a);

    DestroyWindow(a);
    EXPECT_EQ(GetCapture(), nullptr);
}

class CaretTest : public WindowTest {
protected:
    std::optional<control::CaretInfo> Caret() { return control::Caret(GetCurrentThreadId()); }
};

TEST_F(CaretTest, ANewCaretIsHiddenAndShowsWhenItsHideCountReachesZero) {
    HWND w = MakeWindow(0);
    ASSERT_TRUE(CreateCaret(w, nullptr, 2, 14));
    auto caret = Caret();
    ASSERT_TRUE(caret);
    EXPECT_EQ(caret->owner, w);
    EXPECT_EQ(caret->size.cx, 2);
    EXPECT_EQ(caret->size.cy, 14);
    EXPECT_FALSE(caret->visible);

    struct Step {
        const char* call;
        bool visible;  // afterwards
    };
    const Step steps[] = {{"show", true},  {"show", true},  // the count does not go below zero
                          {"hide", false}, {"hide", false}, {"show", false}, {"show", true}};
    for (const Step& s : steps) {
        BOOL ok = std::string(s.call) == "show" ? ShowCaret(w) : HideCaret(nullptr);
        EXPECT_TRUE(ok) << s.call;
        EXPECT_EQ(Caret()->visible, s.visible) << s.call;
    }

    HWND other = MakeWindow(0);
    EXPECT_FALSE(ShowCaret(other));  // not the caret's window
    EXPECT_FALSE(HideCaret(other));
    EXPECT_TRUE(Caret()->visible);
}

TEST_F(CaretTest, PositionSizeAndReplacement) {
    HWND a = MakeWindow(0);
    HWND b = MakeWindow(0);
    POINT p{};
    EXPECT_FALSE(GetCaretPos(&p));  // no caret yet
    EXPECT_FALSE(SetCaretPos(1, 1));
    EXPECT_FALSE(ShowCaret(nullptr));

    ASSERT_TRUE(CreateCaret(a, nullptr, 0, 0));
    EXPECT_EQ(Caret()->size.cx, 1);  // zero: one pixel
    EXPECT_EQ(Caret()->size.cy, 1);
    ASSERT_TRUE(SetCaretPos(7, 9));
    ASSERT_TRUE(GetCaretPos(&p));
    EXPECT_EQ(p.x, 7);
    EXPECT_EQ(p.y, 9);
    EXPECT_EQ(Caret()->position.x, 7);

    ShowCaret(a);
    ASSERT_TRUE(CreateCaret(b, nullptr, 3, 4));  // one per thread: replaces a's
    EXPECT_EQ(Caret()->owner, b);
    EXPECT_FALSE(Caret()->visible);
    EXPECT_EQ(Caret()->position.x, 0);

    ASSERT_TRUE(DestroyCaret());
    EXPECT_FALSE(Caret());
    EXPECT_FALSE(DestroyCaret());

    ForeignWindow foreign;
    EXPECT_FALSE(CreateCaret(foreign.get(), nullptr, 1, 1));
    EXPECT_FALSE(Caret());

    CreateCaret(a, nullptr, 1, 1);
    DestroyWindow(a);  // the caret goes with its window
    EXPECT_FALSE(Caret());
    EXPECT_FALSE(GetCaretPos(&p));
}

// Whether the thread's queue stays empty for `ms` of machine time.
bool QuietFor(DWORD ms) {
    return MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT) ==
           static_cast<DWORD>(WAIT_TIMEOUT);
}

// Takes the blink messages for `count` beats; returns their times after `start`.
std::vector<DWORD> BlinkTimes(HWND w, int count, DWORD start) {
    std::vector<DWORD> out;
    MSG msg;
    for (int i = 0; i < count; ++i) {
        if (GetMessageW(&msg, nullptr, kBlink, kBlink) <= 0) break;
        EXPECT_EQ(msg.hwnd, w);
        EXPECT_EQ(msg.wParam, 0xFFFFu);
        out.push_back(msg.time - start);
        DispatchMessageW(&msg);
    }
    return out;
}

TEST_F(CaretTest, AShownCaretBlinksEveryBlinkTime) {
    EXPECT_EQ(GetCaretBlinkTime(), 530u);
    HWND w = MakeWindow(0);
    CreateCaret(w, nullptr, 1, 10);
    EXPECT_TRUE(QuietFor(1000));  // hidden: no blinking

    DWORD start = GetTickCount();
    ShowCaret(w);
    EXPECT_EQ(BlinkTimes(w, 3, start), (std::vector<DWORD>{530, 1060, 1590}));
    EXPECT_EQ(Entries(kBlink, w).size(), 3u);  // dispatched to the window's procedure

    HideCaret(w);
    EXPECT_TRUE(QuietFor(2000));

    ASSERT_TRUE(SetCaretBlinkTime(200));
    EXPECT_EQ(GetCaretBlinkTime(), 200u);
    EXPECT_FALSE(SetCaretBlinkTime(0));
    start = GetTickCount();
    ShowCaret(w);
    EXPECT_EQ(BlinkTimes(w, 2, start), (std::vector<DWORD>{200, 400}));

    DestroyCaret();
    EXPECT_TRUE(QuietFor(1000));
}

TEST_F(CaretTest, ChangingTheBlinkTimeRestartsAShownCaretsBeat) {
    HWND w = MakeWindow(0);
    CreateCaret(w, nullptr, 1, 10);
    ShowCaret(w);
    ASSERT_TRUE(QuietFor(100));
    DWORD start = GetTickCount();
    SetCaretBlinkTime(300);
    EXPECT_EQ(BlinkTimes(w, 2, start), (std::vector<DWORD>{300, 600}));
}

class CursorTest : public WindowTest {};

TEST_F(CursorTest, ThePositionStaysOnTheScreen) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    struct Case {
        int x, y;
        LONG wantX, wantY;
    };
    const Case cases[] = {
        {10, 20, 10, 20},
        {-5, -7, 0, 0},
        {width + 50, height, width - 1, height - 1},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(SetCursorPos(c.x, c.y));
        POINT p{};
        ASSERT_TRUE(GetCursorPos(&p));
        EXPECT_EQ(p.x, c.wantX) << c.x;
        EXPECT_EQ(p.y, c.wantY) << c.y;
    }
    EXPECT_FALSE(GetCursorPos(nullptr));

    // Machine-wide: another thread sees it.
    POINT seen = OnAnotherThread([] {
        POINT p{};
        GetCursorPos(&p);
        return p;
    });
    EXPECT_EQ(seen.x, width - 1);
}

TEST_F(CursorTest, SystemCursorsHaveOneHandleEachAndSetCursorReturnsThePrevious) {
    LPCWSTR ids[] = {IDC_ARROW, IDC_IBEAM, IDC_WAIT, IDC_HAND, IDC_SIZEWE, IDC_NO};
    std::vector<HCURSOR> handles;
    for (LPCWSTR id : ids) {
        HCURSOR h = LoadCursorW(nullptr, id);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(LoadCursorW(nullptr, id), h);
        for (HCURSOR other : handles) EXPECT_NE(other, h);
        handles.push_back(h);
    }
    SetLastError(0);
    EXPECT_EQ(LoadCursorW(nullptr, MAKEINTRESOURCEW(1234)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(LoadCursorW(reinterpret_cast<HINSTANCE>(0x400000), IDC_ARROW), nullptr);

    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    EXPECT_EQ(control::CurrentCursor(), nullptr);
    EXPECT_EQ(SetCursor(arrow), nullptr);
    EXPECT_EQ(SetCursor(hand), arrow);
    EXPECT_EQ(control::CurrentCursor(), hand);
}

}  // namespace
