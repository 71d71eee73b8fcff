// Tooltips: tools, the relayed mouse, the delays on the machine clock, and the shown tip as the
// machine's control reads it.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <commctrl.h>
#include "machine/control/resources.h"
#include "machine/control/tooltips.h"
#include <winbase.h>
#include <winuser.h>
#include "common/window_helper.h"

namespace {

const resources::ModuleResources kTables{{}, {}, {{501, L"From the resources"}}};

constexpr UINT_PTR kAreaId = 5;
const RECT kArea{10, 10, 50, 30};  // in the parent's client area

class TooltipTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        control::LinkResources(&kTables);
        parent_ = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        button_ = MakeWindow(WS_CHILD | WS_VISIBLE, parent_, 1, L"", {60, 60, 120, 90});
        other_ = MakeWindow(WS_CHILD | WS_VISIBLE, parent_, 2, L"", {130, 60, 190, 90});
        tip_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, parent_, nullptr, nullptr, nullptr);
        ASSERT_NE(tip_, nullptr);
        ASSERT_TRUE(AddTool(TTF_IDISHWND, reinterpret_cast<UINT_PTR>(button_), L"Connect"));
        ASSERT_TRUE(AddTool(0, kAreaId, L"Area", kArea));
    }
    BOOL AddTool(UINT flags, UINT_PTR id, LPCWSTR text, RECT rect = {}) {
        TOOLINFOW ti{sizeof ti};
        ti.uFlags = flags;
        ti.hwnd = parent_;
        ti.uId = id;
        ti.rect = rect;
        ti.lpszText = const_cast<LPWSTR>(text);
        return static_cast<BOOL>(
            SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
    }
    void Relay(HWND window, UINT message, int x, int y) {
        MSG msg{window, message, 0, MAKELPARAM(x, y), GetTickCount(), {300 + x, 200 + y}};
        SendMessageW(tip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
    }
    void Move(HWND window, int x = 3, int y = 4) { Relay(window, WM_MOUSEMOVE, x, y); }
    // Lets the machine clock run on while the thread pumps its messages.
    static void Wait(DWORD ms) {
        Sleep(ms);
        Drain();
    }
    static std::wstring ShownText() {
        auto shown = control::ShownTooltip();
        return shown ? shown->text : L"(none)";
    }
    // Hovers the button until its tip shows.
    void ShowButtonTip() {
        Move(button_);
        Wait(500);
        ASSERT_EQ(ShownText(), L"Connect");
    }

    HWND parent_ = nullptr;
    HWND button_ = nullptr;
    HWND other_ = nullptr;
    HWND tip_ = nullptr;
};

TEST_F(TooltipTest, ATipShowsOnceTheMouseRestedForTheInitialDelay) {
    Move(button_, 3, 4);
    Wait(499);
    EXPECT_FALSE(control::ShownTooltip());
    Move(button_, 6, 8);  // moving within the tool does not start the delay again
    Wait(1);
    auto shown = control::ShownTooltip();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->tooltip, tip_);
    EXPECT_EQ(shown->text, L"Connect");
    EXPECT_EQ(shown->toolWindow, parent_);
    EXPECT_EQ(shown->toolId, reinterpret_cast<UINT_PTR>(button_));
    POINT last{6, 8};  // under the last position the mouse was relayed at
    ClientToScreen(button_, &last);
    EXPECT_EQ(shown->rect.left, last.x);
    EXPECT_EQ(shown->rect.top, last.y + 20);
    EXPECT_TRUE(IsWindowVisible(tip_));
}

TEST_F(TooltipTest, ARelayedMessageIsTakenAsItsWindowAndPointSay) {
    // The button is disabled and covered by another window; the message relayed for it carries
    // its point in the button's client coordinates in lParam and in pt alike.
    EnableWindow(button_, FALSE);
    HWND cover = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, L"", {0, 0, 800, 600});
    ASSERT_NE(cover, nullptr);
    MSG msg{button_, WM_MOUSEMOVE, 0, MAKELPARAM(5, 7), GetTickCount(), {5, 7}};
    SendMessageW(tip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
    Wait(500);
    auto shown = control::ShownTooltip();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->text, L"Connect");
    POINT at{5, 7};
    ClientToScreen(button_, &at);
    EXPECT_EQ(shown->rect.left, at.x);
    EXPECT_EQ(shown->rect.top, at.y + 20);
}

TEST_F(TooltipTest, MessagesOtherThanTheMousesAreIgnored) {
    for (UINT message : {WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_TIMER, WM_PAINT}) {
        // A shown tip stays,
        ShowButtonTip();
        Relay(other_, message, 3, 4);
        Wait(1);
        EXPECT_EQ(ShownText(), L"Connect") << message;
        // and one on its way still comes.
        Move(other_);
        Drain();
        Move(button_);
        Wait(250);
        Relay(other_, message, 3, 4);
        Wait(250);
        EXPECT_EQ(ShownText(), L"Connect") << message;
        Move(other_);
        Drain();
    }
}

TEST_F(TooltipTest, AToolKeepsItsTextWhenTheCallersBufferGoes) {
    {
        std::wstring text = L"Disconnect";
        TOOLINFOW ti{sizeof ti};
        ti.uFlags = TTF_IDISHWND;
        ti.hwnd = parent_;
        ti.uId = reinterpret_cast<UINT_PTR>(other_);
        ti.lpszText = text.data();
        ASSERT_TRUE(SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
        text.assign(text.size(), L'x');
    }
    Move(other_);
    Wait(500);
    EXPECT_EQ(ShownText(), L"Disconnect");
}

TEST_F(TooltipTest, RectangleToolsCoverTheirRectangleOfTheirWindowOnly) {
    struct Case {
        HWND window;  // nullptr: the parent
        int x;
        int y;
        bool shows;
    };
    const std::vector<Case> cases = {
        {nullptr, 10, 10, true}, {nullptr, 49, 29, true},  {nullptr, 50, 10, false},
        {nullptr, 9, 20, false}, {nullptr, 20, 30, false}, {nullptr, 200, 200, false},
        {other_, 20, 20, false},  // the same point over another window
    };
    for (const Case& c : cases) {
        Move(c.window != nullptr ? c.window : parent_, c.x, c.y);
        Wait(500);
        EXPECT_EQ(ShownText(), c.shows ? L"Area" : L"(none)") << c.x << "," << c.y;
        Move(other_);  // off every tool
        Drain();
        EXPECT_FALSE(control::ShownTooltip());
    }
}

TEST_F(TooltipTest, LeavingPressingOrPoppingHidesTheTip) {
    struct Case {
        const char* what;
        std::function<void()> act;
        bool stillShown;
        bool backOnTheTool;  // a move onto the tool afterwards shows it again
    };
    const std::vector<Case> cases = {
        {"moving off every tool", [&] { Move(other_); }, false, true},
        {"a left press", [&] { Relay(button_, WM_LBUTTONDOWN, 3, 4); }, false, false},
        {"a right release", [&] { Relay(button_, WM_RBUTTONUP, 3, 4); }, false, false},
        {"TTM_POP", [&] { SendMessageW(tip_, TTM_POP, 0, 0); }, false, false},
        {"a message that is no mouse message", [&] { Relay(button_, WM_KEYDOWN, 0, 0); }, true,
         true},
    };
    for (const Case& c : cases) {
        ShowButtonTip();
        c.act();
        Drain();
        EXPECT_EQ(control::ShownTooltip().has_value(), c.stillShown) << c.what;
        Move(button_, 5, 5);
        Wait(600);
        EXPECT_EQ(control::ShownTooltip().has_value(), c.backOnTheTool) << c.what;
        Move(other_);
        Drain();
    }
}

TEST_F(TooltipTest, AShownTipGoesAfterTheAutoPopDelayUntilTheMouseComesBack) {
    ShowButtonTip();
    Wait(4999);
    EXPECT_EQ(ShownText(), L"Connect");
    Wait(1);
    EXPECT_FALSE(control::ShownTooltip());
    Move(button_, 9, 9);
    Wait(1000);
    EXPECT_FALSE(control::ShownTooltip());
    Move(other_);
    Move(button_);
    Wait(500);
    EXPECT_EQ(ShownText(), L"Connect");
}

TEST_F(TooltipTest, FromOneToolStraightToAnotherTheReshowDelayApplies) {
    ShowButtonTip();
    Move(parent_, 20, 20);  // onto the area
    EXPECT_FALSE(control::ShownTooltip());
    Wait(99);
    EXPECT_FALSE(control::ShownTooltip());
    Wait(1);
    EXPECT_EQ(ShownText(), L"Area");
}

TEST_F(TooltipTest, DelayTimesCanBeSet) {
    struct Case {
        const char* what;
        std::vector<std::pair<WPARAM, int>> delays;
        DWORD showsAt;
        DWORD popsAfter;
    };
    const std::vector<Case> cases = {
        {"the defaults", {}, 500, 5000},
        {"initial", {{TTDT_INITIAL, 100}}, 100, 1000},
        {"automatic sets all three", {{TTDT_AUTOMATIC, 200}}, 200, 2000},
        {"auto-pop alone", {{TTDT_AUTOPOP, 700}}, 500, 700},
        {"-1 restores a default", {{TTDT_INITIAL, 100}, {TTDT_INITIAL, -1}}, 500, 5000},
        {"automatic -1 restores all",
         {{TTDT_INITIAL, 100}, {TTDT_AUTOPOP, 50}, {TTDT_AUTOMATIC, -1}},
         500,
         5000},
    };
    for (const Case& c : cases) {
        SendMessageW(tip_, TTM_SETDELAYTIME, TTDT_AUTOMATIC, -1);
        for (auto [which, ms] : c.delays)
            SendMessageW(tip_, TTM_SETDELAYTIME, which, MAKELPARAM(ms, 0));
        Move(button_);
        Wait(c.showsAt - 1);
        EXPECT_FALSE(control::ShownTooltip()) << c.what;
        Wait(1);
        EXPECT_EQ(ShownText(), L"Connect") << c.what;
        Wait(c.popsAfter - 1);
        EXPECT_EQ(ShownText(), L"Connect") << c.what;
        Wait(1);
        EXPECT_FALSE(control::ShownTooltip()) << c.what;
        Move(other_);
        Drain();
    }
}

TEST_F(TooltipTest, UpdatedTextShowsAtOnceAndReadsBack) {
    ShowButtonTip();
    TOOLINFOW ti{sizeof ti};
    ti.hwnd = parent_;
    ti.uId = reinterpret_cast<UINT_PTR>(button_);
    ti.lpszText = const_cast<LPWSTR>(L"Disconnect");
    SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    EXPECT_EQ(ShownText(), L"Disconnect");

    wchar_t text[80] = {};
    TOOLINFOW read{sizeof read};
    read.hwnd = parent_;
    read.uId = kAreaId;
    read.lpszText = text;
    ti.uId = kAreaId;
    ti.lpszText = const_cast<LPWSTR>(L"New area");
    SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    ASSERT_TRUE(SendMessageW(tip_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&read)));
    EXPECT_STREQ(text, L"New area");
    EXPECT_EQ(read.uFlags, 0u);
    EXPECT_EQ(read.rect.right, kArea.right);
    EXPECT_EQ(ShownText(), L"Disconnect");  // another tool's text changes nothing shown

    read.uId = 77;
    EXPECT_FALSE(SendMessageW(tip_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&read)));
    ti.lpszText = nullptr;
    ti.uId = reinterpret_cast<UINT_PTR>(button_);
    SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    EXPECT_FALSE(control::ShownTooltip());  // an empty text shows no tip
}

TEST_F(TooltipTest, ADeactivatedTooltipShowsNothing) {
    ShowButtonTip();
    SendMessageW(tip_, TTM_ACTIVATE, FALSE, 0);
    EXPECT_FALSE(control::ShownTooltip());
    Move(parent_, 20, 20);
    Wait(1000);
    EXPECT_FALSE(control::ShownTooltip());
    SendMessageW(tip_, TTM_ACTIVATE, TRUE, 0);
    Move(parent_, 21, 20);
    Wait(500);
    EXPECT_EQ(ShownText(), L"Area");
}

TEST_F(TooltipTest, ADeletedToolTakesItsTipAlong) {
    EXPECT_EQ(SendMessageW(tip_, TTM_GETTOOLCOUNT, 0, 0), 2);
    ShowButtonTip();
    TOOLINFOW ti{sizeof ti};
    ti.hwnd = parent_;
    ti.uId = reinterpret_cast<UINT_PTR>(button_);
    SendMessageW(tip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    EXPECT_FALSE(control::ShownTooltip());
    EXPECT_EQ(SendMessageW(tip_, TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_FALSE(SendMessageW(tip_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti)));
    Move(button_);
    Wait(1000);
    EXPECT_FALSE(control::ShownTooltip());
}

TEST_F(TooltipTest, TheMaximumWidthWrapsTheTip) {
    EXPECT_EQ(SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, 40), -1);
    EXPECT_EQ(SendMessageW(tip_, TTM_GETMAXTIPWIDTH, 0, 0), 40);
    ASSERT_TRUE(AddTool(TTF_IDISHWND, reinterpret_cast<UINT_PTR>(other_), L"Dial now"));
    Move(other_);
    Wait(500);
    ASSERT_EQ(ShownText(), L"Dial now");  // two words, wider than the 32 pixels of a line
    RECT r = control::ShownTooltip()->rect;
    EXPECT_LE(r.right - r.left, 40);  // as wide as its wider line and the padding, at most
    EXPECT_GT(r.right - r.left, 8);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    DeleteDC(dc);
    EXPECT_EQ(r.bottom - r.top, 2 * tm.tmHeight + 8);
}

TEST_F(TooltipTest, TextsFromResourcesAndRefusedRequests) {
    ASSERT_TRUE(AddTool(TTF_IDISHWND, reinterpret_cast<UINT_PTR>(other_), MAKEINTRESOURCEW(501)));
    Move(other_);
    Wait(500);
    EXPECT_EQ(ShownText(), L"From the resources");

    EXPECT_FALSE(AddTool(0, 9, LPSTR_TEXTCALLBACKW, kArea));
    TOOLINFOW small{4};
    EXPECT_FALSE(SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&small)));
    EXPECT_FALSE(SendMessageW(tip_, TTM_ADDTOOLW, 0, 0));
    EXPECT_EQ(SendMessageW(tip_, TTM_GETTOOLCOUNT, 0, 0), 3);
}

}  // namespace
