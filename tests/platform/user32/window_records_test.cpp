// Window classes and records: what making, destroying, showing, enabling and moving a window
// sends, and what the window's data and relations read back.
#include <gtest/gtest.h>

#include <string>

#include <winbase.h>
#include <winuser.h>
#include "common/sim_fixture.h"
#include "common/window_helper.h"

namespace {

class WindowRecordsTest : public WindowTest {};

TEST_F(WindowRecordsTest, CreateSendsNcCreateNcCalcSizeCreateThenSizeMoveAndShow) {
    int tag = 42;
    HWND captured = nullptr;
    const CREATESTRUCTW* seen = nullptr;
    CREATESTRUCTW copy{};
    Answers() = [&](HWND w, UINT m, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
        if (m == WM_CREATE) {
            captured = w;
            seen = reinterpret_cast<const CREATESTRUCTW*>(lp);
            copy = *seen;
        }
        return std::nullopt;
    };
    HWND w =
        CreateWindowExW(WS_EX_TOOLWINDOW, L"testwindow", L"Title", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                        10, 20, 300, 200, nullptr, nullptr, nullptr, &tag);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(captured, w);
    EXPECT_EQ(Messages({WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW}),
              (std::vector<UINT>{WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE,
                                 WM_SHOWWINDOW}));
    EXPECT_EQ(copy.lpCreateParams, &tag);
    EXPECT_EQ(copy.cx, 300);
    EXPECT_EQ(copy.cy, 200);
    EXPECT_EQ(copy.x, 10);
    EXPECT_STREQ(copy.lpszName, L"Title");
    EXPECT_EQ(copy.dwExStyle, static_cast<DWORD>(WS_EX_TOOLWINDOW));
    // Created hidden, shown at the end.
    EXPECT_FALSE(Entries(WM_CREATE)[0].visible);
    EXPECT_TRUE(IsWindowVisible(w));

    wchar_t text[16];
    EXPECT_EQ(GetWindowTextW(w, text, 16), 5);
    EXPECT_STREQ(text, L"Title");
    EXPECT_EQ(GetClassNameW(w, text, 16), 10);
    EXPECT_STREQ(text, L"TestWindow");  // as registered
    RECT r;
    ASSERT_TRUE(GetWindowRect(w, &r));
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.bottom, 220);
    ASSERT_TRUE(GetClientRect(w, &r));
    // The frame (4 pixels each side) and the caption (18) are not client area.
    EXPECT_EQ(r.right, 300 - 8);
    EXPECT_EQ(r.bottom, 200 - 8 - 18);
    auto size = Entries(WM_SIZE, w);
    ASSERT_EQ(size.size(), 1u);
    EXPECT_EQ(size[0].lParam, MAKELPARAM(292, 174));
    DWORD pid = 0;
    EXPECT_EQ(GetWindowThreadProcessId(w, &pid), GetCurrentThreadId());
    EXPECT_EQ(pid, GetCurrentProcessId());
}

TEST_F(WindowRecordsTest, RefusalInNcCreateOrCreateMakesNoWindow) {
    struct Case {
        UINT refused;
        LRESULT answer;
        std::vector<UINT> expected;
    };
    const Case cases[] = {
        {WM_NCCREATE, FALSE, {WM_NCCREATE, WM_NCDESTROY}},
        {WM_CREATE, -1, {WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}},
    };
    for (const Case& c : cases) {
        MessageLog().Clear();
        Answers() = [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (m == c.refused) return c.answer;
            return std::nullopt;
        };
        EXPECT_EQ(MakeWindow(), nullptr) << c.refused;
        EXPECT_EQ(Messages({}), c.expected) << c.refused;
        HWND made = MessageLog().Items().front().hwnd;
        EXPECT_FALSE(IsWindow(made));
    }
}

TEST_F(WindowRecordsTest, DestroyGoesToTheParentFirstAndNcDestroyToTheChildrenFirst) {
    HWND parent = MakeWindow();
    HWND child1 = MakeWindow(WS_CHILD, parent, 1);
    HWND grandchild = MakeWindow(WS_CHILD, child1, 2);
    HWND child2 = MakeWindow(WS_CHILD, parent, 3);
    HWND owned = MakeWindow(WS_POPUP, parent);
    MessageLog().Clear();
    ASSERT_TRUE(DestroyWindow(parent));
    std::vector<std::pair<HWND, UINT>> order;
    for (const Logged& l : MessageLog().Items())
        if (l.message == WM_DESTROY || l.message == WM_NCDESTROY)
            order.emplace_back(l.hwnd, l.message);
    EXPECT_EQ(order, (std::vector<std::pair<HWND, UINT>>{
                         {owned, WM_DESTROY},
                         {owned, WM_NCDESTROY},
                         {parent, WM_DESTROY},
                         {child1, WM_DESTROY},
                         {grandchild, WM_DESTROY},
                         {child2, WM_DESTROY},
                         {grandchild, WM_NCDESTROY},
                         {child1, WM_NCDESTROY},
                         {child2, WM_NCDESTROY},
                         {parent, WM_NCDESTROY},
                     }));
    for (HWND h : {parent, child1, grandchild, child2, owned}) EXPECT_FALSE(IsWindow(h));
    EXPECT_FALSE(DestroyWindow(parent));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    // Handles are never reused.
    HWND fresh = MakeWindow();
    for (HWND h : {parent, child1, grandchild, child2, owned}) EXPECT_NE(fresh, h);
}

TEST_F(WindowRecordsTest, CloseDestroysThroughTheDefaultProcedure) {
    HWND w = MakeWindow();
    EXPECT_EQ(SendMessageW(w, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(Messages({WM_CLOSE, WM_DESTROY, WM_NCDESTROY}, w),
              (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(WindowRecordsTest, BadCallsFailWithTheirErrors) {
    HWND w = MakeWindow();
    HWND other = WindowOfEndedThread();
    HWND dead = MakeWindow();
    DestroyWindow(dead);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = LoggingProc;
    wc.lpszClassName = L"TESTWINDOW";
    HWND live = MakeWindow();
    HANDLE t2 = StartThread([&] {
        BOOL ok = DestroyWindow(live);
        return ok ? 0u : GetLastError();
    });
    WaitForSingleObject(t2, INFINITE);
    DWORD crossThreadDestroy = 0;
    GetExitCodeThread(t2, &crossThreadDestroy);
    CloseHandle(t2);
    EXPECT_EQ(crossThreadDestroy, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(IsWindow(live));

    struct Case {
        const char* what;
        std::function<bool()> call;
        DWORD error;
    };
    const Case cases[] = {
        {"unknown class",
         [] {
             return CreateWindowExW(0, L"NoSuchClass", L"", 0, 0, 0, 1, 1, nullptr, nullptr,
                                    nullptr, nullptr) == nullptr;
         },
         ERROR_CANNOT_FIND_WND_CLASS},
        {"class by atom",
         [] {
             return CreateWindowExW(0, reinterpret_cast<LPCWSTR>(0xC000), L"", 0, 0, 0, 1, 1,
                                    nullptr, nullptr, nullptr, nullptr) == nullptr;
         },
         ERROR_CANNOT_FIND_WND_CLASS},
        {"child without parent", [] { return MakeWindow(WS_CHILD) == nullptr; },
         ERROR_TLW_WITH_WSCHILD},
        {"dead parent", [&] { return MakeWindow(WS_CHILD, dead) == nullptr; },
         ERROR_INVALID_WINDOW_HANDLE},
        {"class twice, another case", [&] { return RegisterClassExW(&wc) == 0; },
         ERROR_CLASS_ALREADY_EXISTS},
        {"class in use", [] { return !UnregisterClassW(kTestClass, nullptr); },
         ERROR_CLASS_HAS_WINDOWS},
        {"bad index", [&] { return GetWindowLongPtrW(w, 16) == 0; }, ERROR_INVALID_INDEX},
        {"bad index set", [&] { return SetWindowLongPtrW(w, -100, 1) == 0; }, ERROR_INVALID_INDEX},
        {"no such id", [&] { return GetDlgItem(w, 7) == nullptr; }, ERROR_CONTROL_ID_NOT_FOUND},
        {"ended thread's window", [&] { return !IsWindow(other) && GetParent(other) == nullptr; },
         ERROR_INVALID_WINDOW_HANDLE},
        {"text of a dead window", [&] { return GetWindowTextLengthW(dead) == 0; },
         ERROR_INVALID_WINDOW_HANDLE},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_TRUE(c.call()) << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
    }
}

TEST_F(WindowRecordsTest, ShowAndEnableSendOnlyWhenTheStateChanges) {
    HWND w = MakeWindow();
    struct Step {
        std::function<BOOL()> call;
        BOOL result;
        std::vector<UINT> sent;
        bool visible;
        bool enabled;
    };
    const Step steps[] = {
        {[&] { return ShowWindow(w, SW_SHOW); }, FALSE, {WM_SHOWWINDOW}, true, true},
        {[&] { return ShowWindow(w, SW_SHOWNORMAL); }, TRUE, {}, true, true},
        {[&] { return ShowWindow(w, SW_HIDE); }, TRUE, {WM_SHOWWINDOW}, false, true},
        {[&] { return ShowWindow(w, SW_HIDE); }, FALSE, {}, false, true},
        {[&] { return EnableWindow(w, FALSE); }, FALSE, {WM_ENABLE}, false, false},
        {[&] { return EnableWindow(w, FALSE); }, TRUE, {}, false, false},
        {[&] { return EnableWindow(w, TRUE); }, TRUE, {WM_ENABLE}, false, true},
    };
    int i = 0;
    for (const Step& s : steps) {
        MessageLog().Clear();
        EXPECT_EQ(s.call(), s.result) << i;
        EXPECT_EQ(Messages({WM_SHOWWINDOW, WM_ENABLE}), s.sent) << i;
        EXPECT_EQ(IsWindowVisible(w) != FALSE, s.visible) << i;
        EXPECT_EQ(IsWindowEnabled(w) != FALSE, s.enabled) << i;
        for (const Logged& l : MessageLog().Items()) {
            // WM_SHOWWINDOW comes before the change, WM_ENABLE after it.
            if (l.message == WM_SHOWWINDOW) {
                EXPECT_EQ(l.wParam != 0, s.visible) << i;
                EXPECT_EQ(l.visible, !s.visible) << i;
            }
            if (l.message == WM_ENABLE) {
                EXPECT_EQ(l.enabled, s.enabled) << i;
            }
        }
        ++i;
    }
}

TEST_F(WindowRecordsTest, VisibilityCountsEveryAncestor) {
    HWND parent = MakeWindow(WS_VISIBLE);
    HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, parent, 1);
    EXPECT_TRUE(IsWindowVisible(child));
    ShowWindow(parent, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(child));
    EXPECT_TRUE(GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE);
}

TEST_F(WindowRecordsTest, MovingAndSizingSendWhatChanged) {
    HWND parent = MakeWindow(WS_BORDER, nullptr, 0, L"", {100, 50, 500, 450});
    HWND w = MakeWindow(WS_CHILD, parent, 1, L"", {10, 10, 110, 60});
    struct Case {
        const char* what;
        RECT to;
        std::vector<UINT> sent;
    };
    const Case cases[] = {
        {"move", {20, 30, 120, 80}, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE}},
        {"size",
         {20, 30, 220, 130},
         {WM_WINDOWPOSCHANGING, WM_NCCALCSIZE, WM_WINDOWPOSCHANGED, WM_SIZE}},
        {"both",
         {0, 0, 50, 50},
         {WM_WINDOWPOSCHANGING, WM_NCCALCSIZE, WM_WINDOWPOSCHANGED, WM_SIZE, WM_MOVE}},
        {"neither", {0, 0, 50, 50}, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED}},
    };
    for (const Case& c : cases) {
        MessageLog().Clear();
        ASSERT_TRUE(MoveWindow(w, c.to.left, c.to.top, c.to.right - c.to.left,
                               c.to.bottom - c.to.top, TRUE));
        EXPECT_EQ(
            Messages({WM_WINDOWPOSCHANGING, WM_NCCALCSIZE, WM_WINDOWPOSCHANGED, WM_SIZE, WM_MOVE},
                     w),
            c.sent)
            << c.what;
        RECT r;
        GetWindowRect(w, &r);
        // Screen coordinates: the parent's client area starts inside its 1-pixel border.
        EXPECT_EQ(r.left, 101 + c.to.left) << c.what;
        EXPECT_EQ(r.top, 51 + c.to.top) << c.what;
        EXPECT_EQ(r.right - r.left, c.to.right - c.to.left) << c.what;
        GetClientRect(w, &r);
        EXPECT_EQ(r.right, c.to.right - c.to.left) << c.what;
    }
    auto size = Entries(WM_SIZE, w);
    ASSERT_TRUE(size.empty());  // cleared before the last case, which changed nothing
}

TEST_F(WindowRecordsTest, PositionChangingMayAlterThePlacement) {
    HWND w = MakeWindow();
    Answers() = [](HWND, UINT m, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
        if (m == WM_WINDOWPOSCHANGING) reinterpret_cast<WINDOWPOS*>(lp)->cx = 77;
        return std::nullopt;
    };
    SetWindowPos(w, nullptr, 5, 5, 300, 300, SWP_NOZORDER);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, 77);
    EXPECT_EQ(r.bottom - r.top, 300);
}

TEST_F(WindowRecordsTest, WindowDataReadsBackWhatWasSet) {
    HWND parent = MakeWindow();
    HWND w = MakeWindow(WS_CHILD, parent, 12);
    EXPECT_EQ(GetDlgCtrlID(w), 12);
    EXPECT_EQ(GetDlgItem(parent, 12), w);
    struct Case {
        int index;
        LONG_PTR value;
    };
    const Case cases[] = {{GWL_STYLE, static_cast<LONG_PTR>(WS_CHILD | WS_DISABLED)},
                          {GWL_EXSTYLE, WS_EX_TOPMOST},
                          {GWLP_USERDATA, 0x1234567},
                          {GWLP_ID, 99},
                          {0, -5},
                          {8, 77}};
    for (const Case& c : cases) {
        LONG_PTR before = GetWindowLongPtrW(w, c.index);
        SetLastError(123);
        EXPECT_EQ(SetWindowLongPtrW(w, c.index, c.value), before) << c.index;
        EXPECT_EQ(GetLastError(), 0u) << c.index;
        EXPECT_EQ(GetWindowLongPtrW(w, c.index), c.value) << c.index;
    }
    EXPECT_FALSE(IsWindowEnabled(w));
    EXPECT_EQ(GetDlgItem(parent, 99), w);
    EXPECT_EQ(GetWindowLongPtrW(w, GWLP_HWNDPARENT), reinterpret_cast<LONG_PTR>(parent));

    // A new procedure gets the messages; the old one is what it chains to.
    static WNDPROC old;
    static int seen;
    seen = 0;
    WNDPROC sub = [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_USER) return ++seen;
        return CallWindowProcW(old, h, m, wp, lp);
    };
    old = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(sub)));
    EXPECT_EQ(old, &LoggingProc);
    EXPECT_EQ(SendMessageW(w, WM_USER, 0, 0), 1);
    MessageLog().Clear();
    SendMessageW(w, WM_USER + 1, 0, 0);
    EXPECT_EQ(Messages({WM_USER + 1}, w), std::vector<UINT>{WM_USER + 1});
}

TEST_F(WindowRecordsTest, TextGoesThroughTheWindowsOwnMessages) {
    HWND w = MakeWindow(0, nullptr, 0, L"first");
    MessageLog().Clear();
    ASSERT_TRUE(SetWindowTextW(w, L"second"));
    EXPECT_EQ(Messages({WM_SETTEXT}), std::vector<UINT>{WM_SETTEXT});
    wchar_t text[4];
    EXPECT_EQ(GetWindowTextW(w, text, 4), 3);  // cut to the buffer
    EXPECT_STREQ(text, L"sec");
    EXPECT_EQ(GetWindowTextLengthW(w), 6);
    Answers() = [](HWND, UINT m, WPARAM wp, LPARAM lp) -> std::optional<LRESULT> {
        if (m != WM_GETTEXT) return std::nullopt;
        wcsncpy(reinterpret_cast<wchar_t*>(lp), L"own", wp);
        return 3;
    };
    wchar_t own[8];
    EXPECT_EQ(GetWindowTextW(w, own, 8), 3);
    EXPECT_STREQ(own, L"own");
    EXPECT_EQ(FindWindowW(L"TESTWINDOW", L"second"), w);
    EXPECT_EQ(FindWindowW(nullptr, L"first"), nullptr);
}

TEST_F(WindowRecordsTest, RelationsFollowTheZOrder) {
    HWND owner = MakeWindow();
    HWND popup = MakeWindow(WS_POPUP, owner);
    HWND a = MakeWindow(WS_CHILD, owner, 1);
    HWND b = MakeWindow(WS_CHILD, owner, 2);
    HWND c = MakeWindow(WS_CHILD, owner, 3);
    HWND inner = MakeWindow(WS_CHILD, a, 4);
    // A popup made with a child as its parent is owned by the child's top-level window.
    HWND popup2 = MakeWindow(WS_POPUP, inner);

    struct Case {
        HWND window;
        UINT relation;
        HWND expected;
    };
    const Case cases[] = {
        {owner, GW_CHILD, a},        {a, GW_HWNDNEXT, b},        {c, GW_HWNDNEXT, nullptr},
        {c, GW_HWNDPREV, b},         {b, GW_HWNDFIRST, a},       {a, GW_HWNDLAST, c},
        {popup, GW_OWNER, owner},    {popup2, GW_OWNER, owner},  {popup2, GW_HWNDFIRST, popup2},
        {owner, GW_HWNDLAST, owner}, {inner, GW_CHILD, nullptr},
    };
    for (const Case& k : cases)
        EXPECT_EQ(GetWindow(k.window, k.relation), k.expected) << k.relation;
    EXPECT_EQ(GetParent(a), owner);
    EXPECT_EQ(GetParent(popup), owner);
    EXPECT_EQ(GetParent(owner), nullptr);

    SetWindowPos(c, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(a, b, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    std::vector<HWND> all;
    EnumChildWindows(
        owner,
        [](HWND h, LPARAM p) {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    EXPECT_EQ(all, (std::vector<HWND>{c, b, a, inner}));
}

TEST_F(WindowRecordsTest, DefaultPlacementLiesOnTheScreen) {
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
    sim::Config config = MachineConfig();
    config.screenWidth = 800;
    config.screenHeight = 600;
    sim::Machine::Reset(config);
    RegisterTestClass();
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    HWND w = CreateWindowExW(0, kTestClass, L"", WS_OVERLAPPED, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                             nullptr, nullptr, nullptr, nullptr);
    RECT r;
    ASSERT_TRUE(GetWindowRect(w, &r));
    EXPECT_GE(r.left, 0);
    EXPECT_GE(r.top, 0);
    EXPECT_LE(r.right, 800);
    EXPECT_LE(r.bottom, 600);
    EXPECT_GT(r.right - r.left, 0);
    EXPECT_GT(r.bottom - r.top, 0);
}

TEST_F(WindowRecordsTest, WindowsOfAnEndedThreadAreGone) {
    HWND w = nullptr;
    HWND child = nullptr;
    HANDLE t = StartThread([&] {
        w = MakeWindow(WS_VISIBLE);
        child = MakeWindow(WS_CHILD, w, 1);
        return 0u;
    });
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(FindWindowW(kTestClass, nullptr), nullptr);
}

}  // namespace
