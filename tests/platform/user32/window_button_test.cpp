// The Button control: clicks with the mouse and the space bar, checks, auto radio groups, double
// clicks, focus notifications, dialog codes and owner drawing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "machine/windows.h"
#include <winuser.h>
#include "common/window_helper.h"

namespace {

struct Notice {
    int id;
    UINT code;
    HWND from;
    std::vector<LRESULT> checks;  // BM_GETCHECK of the watched buttons when it came
};

struct Step {
    UINT message;
    int x, y;
};

class ButtonTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        parent_ = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        other_ = MakeWindow(WS_CHILD | WS_VISIBLE, parent_, 900, L"", {100, 100, 120, 120});
        Answers() = [this](HWND w, UINT m, WPARAM wp, LPARAM lp) -> std::optional<LRESULT> {
            if (w != parent_) return std::nullopt;
            if (m == WM_COMMAND) {
                Notice n{LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp), {}};
                for (HWND b : watched_) n.checks.push_back(SendMessageW(b, BM_GETCHECK, 0, 0));
                notices_.push_back(n);
            }
            if (m == WM_DRAWITEM) draws_.push_back(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
            return std::nullopt;
        };
    }

    // A visible button, 80 x 30, on the parent.
    HWND Button(DWORD style, int id = 100, int y = 10) {
        return CreateWindowExW(0, L"Button", L"OK", WS_CHILD | WS_VISIBLE | style, 10, y, 80, 30,
                               parent_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr,
                               nullptr);
    }

    static void Run(HWND button, const std::vector<Step>& steps) {
        for (const Step& s : steps)
            SendMessageW(button, s.message, s.message == WM_LBUTTONUP ? 0 : MK_LBUTTON,
                         MAKELPARAM(s.x, s.y));
    }
    static void ClickAt(HWND button, int x = 5, int y = 5) {
        Run(button, {{WM_LBUTTONDOWN, x, y}, {WM_LBUTTONUP, x, y}});
    }

    // The notification codes among `kinds`.
    std::vector<UINT> Codes(std::vector<UINT> kinds = {BN_CLICKED, BN_DOUBLECLICKED}) {
        std::vector<UINT> out;
        for (const Notice& n : notices_)
            for (UINT k : kinds)
                if (n.code == k) out.push_back(n.code);
        return out;
    }

    static UINT State(HWND button) {
        return static_cast<UINT>(SendMessageW(button, BM_GETSTATE, 0, 0));
    }
    static LRESULT Check(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0); }

    HWND parent_ = nullptr;
    HWND other_ = nullptr;
    std::vector<HWND> watched_;
    std::vector<Notice> notices_;
    std::vector<DRAWITEMSTRUCT> draws_;
};

TEST_F(ButtonTest, AReleaseInsideWithTheCaptureClicksAndOneOutsideDoesNot) {
    struct Case {
        const char* name;
        std::vector<Step> steps;
        bool click;
    };
    const Case cases[] = {
        {"pressed and released inside", {{WM_LBUTTONDOWN, 5, 5}, {WM_LBUTTONUP, 5, 5}}, true},
        {"released outside",
         {{WM_LBUTTONDOWN, 5, 5}, {WM_MOUSEMOVE, 200, 5}, {WM_LBUTTONUP, 200, 5}},
         false},
        {"released left of it", {{WM_LBUTTONDOWN, 5, 5}, {WM_LBUTTONUP, -3, 5}}, false},
        {"released just below it", {{WM_LBUTTONDOWN, 5, 5}, {WM_LBUTTONUP, 5, 30}}, false},
        {"moved out and back",
         {{WM_LBUTTONDOWN, 5, 5},
          {WM_MOUSEMOVE, 200, 5},
          {WM_MOUSEMOVE, 79, 29},
          {WM_LBUTTONUP, 79, 29}},
         true},
        {"released without a press", {{WM_LBUTTONUP, 5, 5}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        notices_.clear();
        HWND b = Button(BS_PUSHBUTTON, 42);
        Run(b, c.steps);
        if (c.click) {
            ASSERT_EQ(Codes(), std::vector<UINT>{BN_CLICKED});
            EXPECT_EQ(notices_.back().id, 42);
            EXPECT_EQ(notices_.back().from, b);
        } else {
            EXPECT_TRUE(Codes().empty());
        }
        EXPECT_EQ(GetCapture(), nullptr);
        EXPECT_EQ(State(b) & BST_PUSHED, 0u);
        DestroyWindow(b);
    }
}

TEST_F(ButtonTest, APressTakesFocusAndCaptureAndThePushedLookFollowsTheMouse) {
    HWND b = Button(BS_PUSHBUTTON);
    Run(b, {{WM_LBUTTONDOWN, 5, 5}});
    EXPECT_EQ(GetCapture(), b);
    EXPECT_EQ(GetFocus(), b);
    EXPECT_EQ(State(b), BST_PUSHED | BST_FOCUS);
    Run(b, {{WM_MOUSEMOVE, 200, 5}});
    EXPECT_EQ(State(b), BST_FOCUS);
    EXPECT_EQ(GetCapture(), b);
    Run(b, {{WM_MOUSEMOVE, 6, 6}});
    EXPECT_EQ(State(b), BST_PUSHED | BST_FOCUS);
}

TEST_F(ButtonTest, LosingTheCaptureEndsThePressWithoutAClick) {
    HWND b = Button(BS_PUSHBUTTON);
    Run(b, {{WM_LBUTTONDOWN, 5, 5}});
    SetCapture(other_);
    EXPECT_EQ(State(b) & BST_PUSHED, 0u);
    Run(b, {{WM_LBUTTONUP, 5, 5}});
    EXPECT_TRUE(Codes().empty());
    EXPECT_EQ(GetCapture(), other_);
}

TEST_F(ButtonTest, AutoTypesChangeTheirCheckBeforeTheyNotify) {
    struct Case {
        DWORD style;
        std::vector<LRESULT> checks;  // after each of three clicks
    };
    const Case cases[] = {
        {BS_AUTOCHECKBOX, {1, 0, 1}}, {BS_AUTOCHECKBOX | BS_LEFTTEXT, {1, 0, 1}},
        {BS_AUTO3STATE, {1, 2, 0}},   {BS_AUTORADIOBUTTON, {1, 1, 1}},
        {BS_CHECKBOX, {0, 0, 0}},     {BS_3STATE, {0, 0, 0}},
        {BS_RADIOBUTTON, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        notices_.clear();
        HWND b = Button(c.style);
        watched_ = {b};
        std::vector<LRESULT> after, atNotice;
        for (int i = 0; i < 3; ++i) {
            ClickAt(b);
            after.push_back(Check(b));
            atNotice.push_back(notices_.back().checks[0]);
        }
        EXPECT_EQ(after, c.checks);
        EXPECT_EQ(atNotice, c.checks);
        EXPECT_EQ(Codes(), std::vector<UINT>(3, BN_CLICKED));
        DestroyWindow(b);
    }
}

TEST_F(ButtonTest, AnAutoRadioUnchecksTheOtherAutoRadiosOfItsGroupOnly) {
    HWND a = Button(BS_AUTORADIOBUTTON | WS_GROUP, 1);
    HWND b = Button(BS_AUTORADIOBUTTON, 2);
    HWND c = Button(BS_AUTORADIOBUTTON, 3);
    HWND plain = Button(BS_RADIOBUTTON, 4);
    HWND d = Button(BS_AUTORADIOBUTTON | WS_GROUP, 5);
    HWND e = Button(BS_AUTORADIOBUTTON, 6);
    for (HWND h : {a, plain, d}) SendMessageW(h, BM_SETCHECK, BST_CHECKED, 0);
    watched_ = {a, c};

    ClickAt(c);
    std::vector<LRESULT> checks;
    for (HWND h : {a, b, c, plain, d, e}) checks.push_back(Check(h));
    EXPECT_EQ(checks, (std::vector<LRESULT>{0, 0, 1, 1, 1, 0}));
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0].checks, (std::vector<LRESULT>{0, 1}));  // before BN_CLICKED

    ClickAt(e);
    checks.clear();
    for (HWND h : {a, b, c, plain, d, e}) checks.push_back(Check(h));
    EXPECT_EQ(checks, (std::vector<LRESULT>{0, 0, 1, 1, 0, 1}));
}

TEST_F(ButtonTest, DoubleClicksNotifyRadioOwnerDrawAndNotifyButtonsAndPressTheOthersAgain) {
    struct Case {
        DWORD style;
        std::vector<UINT> codes;
    };
    const Case cases[] = {
        {BS_PUSHBUTTON, {BN_CLICKED, BN_CLICKED}},
        {BS_DEFPUSHBUTTON, {BN_CLICKED, BN_CLICKED}},
        {BS_AUTOCHECKBOX, {BN_CLICKED, BN_CLICKED}},
        {BS_PUSHBUTTON | BS_NOTIFY, {BN_CLICKED, BN_DOUBLECLICKED}},
        {BS_RADIOBUTTON, {BN_CLICKED, BN_DOUBLECLICKED}},
        {BS_AUTORADIOBUTTON, {BN_CLICKED, BN_DOUBLECLICKED}},
        {BS_OWNERDRAW, {BN_CLICKED, BN_DOUBLECLICKED}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        notices_.clear();
        HWND b = Button(c.style);
        EXPECT_TRUE(M().windows().Get(b)->classStyle & CS_DBLCLKS);
        Run(b, {{WM_LBUTTONDOWN, 5, 5},
                {WM_LBUTTONUP, 5, 5},
                {WM_LBUTTONDBLCLK, 5, 5},
                {WM_LBUTTONUP, 5, 5}});
        EXPECT_EQ(Codes(), c.codes);
        EXPECT_EQ(GetCapture(), nullptr);
        DestroyWindow(b);
    }
}

TEST_F(ButtonTest, TheSpaceBarClicksOnReleaseAndLosingTheFocusCancelsIt) {
    struct Case {
        const char* name;
        DWORD style;
        bool loseFocus;
        bool press;
        bool click;
    };
    const Case cases[] = {
        {"press and release", BS_PUSHBUTTON, false, true, true},
        {"focus lost in between", BS_PUSHBUTTON, true, true, false},
        {"release alone", BS_PUSHBUTTON, false, false, false},
        {"group box", BS_GROUPBOX, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        notices_.clear();
        HWND b = Button(c.style);
        SetFocus(b);
        if (c.press) SendMessageW(b, WM_KEYDOWN, VK_SPACE, 0);
        if (c.press) {
            EXPECT_EQ((State(b) & BST_PUSHED) != 0, c.style != BS_GROUPBOX);
        }
        if (c.loseFocus) SetFocus(other_);
        SendMessageW(b, WM_KEYUP, VK_SPACE, 0);
        EXPECT_EQ(Codes().size(), c.click ? 1u : 0u);
        EXPECT_EQ(State(b) & BST_PUSHED, 0u);
        DestroyWindow(b);
    }
}

TEST_F(ButtonTest, ChecksKeepToTheButtonsType) {
    struct Case {
        DWORD style;
        WPARAM set;
        LRESULT check;
    };
    const Case cases[] = {
        {BS_PUSHBUTTON, BST_CHECKED, 0},
        {BS_OWNERDRAW, BST_CHECKED, 0},
        {BS_GROUPBOX, BST_CHECKED, 0},
        {BS_CHECKBOX, BST_CHECKED, 1},
        {BS_CHECKBOX, BST_INDETERMINATE, 1},
        {BS_CHECKBOX | BS_LEFTTEXT, BST_CHECKED, 1},
        {BS_RADIOBUTTON, BST_CHECKED, 1},
        {BS_3STATE, BST_INDETERMINATE, 2},
        {BS_AUTO3STATE, 7, 2},
        {BS_AUTOCHECKBOX, BST_UNCHECKED, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        HWND b = Button(c.style);
        EXPECT_EQ(SendMessageW(b, BM_SETCHECK, c.set, 0), 0);
        EXPECT_EQ(Check(b), c.check);
        EXPECT_EQ(State(b), static_cast<UINT>(c.check));
        DestroyWindow(b);
    }
}

TEST_F(ButtonTest, DialogCodesFollowTheType) {
    struct Case {
        DWORD style;
        LRESULT code;
    };
    const Case cases[] = {
        {BS_PUSHBUTTON, DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON},
        {BS_DEFPUSHBUTTON, DLGC_BUTTON | DLGC_DEFPUSHBUTTON},
        {BS_DEFPUSHBUTTON | BS_NOTIFY, DLGC_BUTTON | DLGC_DEFPUSHBUTTON},
        {BS_CHECKBOX, DLGC_BUTTON},
        {BS_AUTOCHECKBOX | BS_LEFTTEXT, DLGC_BUTTON},
        {BS_3STATE, DLGC_BUTTON},
        {BS_RADIOBUTTON, DLGC_BUTTON | DLGC_RADIOBUTTON},
        {BS_AUTORADIOBUTTON, DLGC_BUTTON | DLGC_RADIOBUTTON},
        {BS_GROUPBOX, DLGC_STATIC},
        {BS_OWNERDRAW, DLGC_BUTTON},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        HWND b = Button(c.style);
        EXPECT_EQ(SendMessageW(b, WM_GETDLGCODE, 0, 0), c.code);
        DestroyWindow(b);
    }
}

TEST_F(ButtonTest, BmClickClicksAnEnabledButtonOnly) {
    HWND b = Button(BS_AUTOCHECKBOX);
    SendMessageW(b, BM_CLICK, 0, 0);
    EXPECT_EQ(Codes(), std::vector<UINT>{BN_CLICKED});
    EXPECT_EQ(Check(b), 1);
    EnableWindow(b, FALSE);
    SendMessageW(b, BM_CLICK, 0, 0);
    EXPECT_EQ(Codes().size(), 1u);
    EXPECT_EQ(Check(b), 1);
}

TEST_F(ButtonTest, SetStatePushesWithoutClicking) {
    HWND b = Button(BS_PUSHBUTTON);
    SendMessageW(b, BM_SETSTATE, TRUE, 0);
    EXPECT_EQ(State(b), BST_PUSHED);
    SendMessageW(b, BM_SETSTATE, FALSE, 0);
    EXPECT_EQ(State(b), 0u);
    EXPECT_TRUE(Codes().empty());
}

TEST_F(ButtonTest, SetStyleReplacesTheTypeAndKeepsTheOtherStyles) {
    HWND b = Button(BS_PUSHBUTTON | BS_NOTIFY | WS_TABSTOP);
    SendMessageW(b, BM_SETSTYLE, BS_DEFPUSHBUTTON | BS_LEFTTEXT, TRUE);
    auto style = static_cast<DWORD>(GetWindowLongPtrW(b, GWL_STYLE));
    EXPECT_EQ(style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(style & (BS_NOTIFY | WS_TABSTOP | WS_CHILD | WS_VISIBLE),
              BS_NOTIFY | WS_TABSTOP | WS_CHILD | WS_VISIBLE);
    EXPECT_EQ(style & BS_LEFTTEXT, 0u);
    EXPECT_EQ(SendMessageW(b, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_DEFPUSHBUTTON);
}

TEST_F(ButtonTest, FocusIsNotifiedWithBsNotifyOnly) {
    struct Case {
        DWORD style;
        std::vector<UINT> codes;
    };
    const Case cases[] = {
        {BS_PUSHBUTTON | BS_NOTIFY, {BN_SETFOCUS, BN_KILLFOCUS}},
        {BS_AUTOCHECKBOX | BS_NOTIFY, {BN_SETFOCUS, BN_KILLFOCUS}},
        {BS_PUSHBUTTON, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        notices_.clear();
        HWND b = Button(c.style);
        SetFocus(b);
        EXPECT_EQ(State(b), BST_FOCUS);
        SetFocus(other_);
        EXPECT_EQ(State(b), 0u);
        EXPECT_EQ(Codes({BN_SETFOCUS, BN_KILLFOCUS}), c.codes);
        DestroyWindow(b);
    }
}

TEST_F(ButtonTest, AGroupBoxIsTransparentToTheMouseAndTakesNoClicks) {
    HWND group = Button(BS_GROUPBOX);
    HWND push = Button(BS_PUSHBUTTON, 101, 50);
    EXPECT_EQ(SendMessageW(group, WM_NCHITTEST, 0, MAKELPARAM(15, 15)), HTTRANSPARENT);
    EXPECT_EQ(SendMessageW(push, WM_NCHITTEST, 0, MAKELPARAM(15, 55)),
              DefWindowProcW(push, WM_NCHITTEST, 0, MAKELPARAM(15, 55)));
    EXPECT_NE(SendMessageW(push, WM_NCHITTEST, 0, MAKELPARAM(15, 55)), HTTRANSPARENT);
    Run(group, {{WM_LBUTTONDOWN, 5, 5}});
    EXPECT_EQ(GetCapture(), nullptr);
    Run(group, {{WM_LBUTTONUP, 5, 5}});
    EXPECT_TRUE(notices_.empty());
}

TEST_F(ButtonTest, OwnerDrawButtonsHaveTheirParentDrawWhatChanged) {
    HWND b = Button(BS_OWNERDRAW, 7);
    HWND push = Button(BS_PUSHBUTTON, 8, 50);
    UpdateWindow(b);
    UpdateWindow(push);
    ASSERT_EQ(draws_.size(), 1u);
    const DRAWITEMSTRUCT& first = draws_[0];
    EXPECT_EQ(first.CtlType, ODT_BUTTON);
    EXPECT_EQ(first.CtlID, 7u);
    EXPECT_EQ(first.hwndItem, b);
    EXPECT_NE(first.hDC, nullptr);
    EXPECT_EQ(first.rcItem.right, 80);
    EXPECT_EQ(first.rcItem.bottom, 30);
    EXPECT_EQ(first.rcItem.left, 0);
    EXPECT_EQ(first.rcItem.top, 0);

    Run(b, {{WM_LBUTTONDOWN, 5, 5}});
    Run(b, {{WM_MOUSEMOVE, 200, 5}});
    Run(b, {{WM_LBUTTONUP, 200, 5}});
    EnableWindow(b, FALSE);
    struct Expected {
        UINT action;
        UINT state;
    };
    const Expected expected[] = {
        {ODA_DRAWENTIRE, 0},
        {ODA_FOCUS, ODS_FOCUS},                  // the press takes the focus
        {ODA_SELECT, ODS_FOCUS | ODS_SELECTED},  // and pushes it
        {ODA_SELECT, ODS_FOCUS},                 // the mouse leaves it
        {ODA_DRAWENTIRE, ODS_FOCUS | ODS_DISABLED},
    };
    ASSERT_EQ(draws_.size(), std::size(expected));
    for (std::size_t i = 0; i < draws_.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(draws_[i].hwndItem, b);
        EXPECT_EQ(draws_[i].itemAction, expected[i].action);
        EXPECT_EQ(draws_[i].itemState, expected[i].state);
    }
}

TEST_F(ButtonTest, AHiddenOwnerDrawButtonIsDrawnWholeWhenShown) {
    HWND b = Button(BS_OWNERDRAW, 7);
    UpdateWindow(b);
    ShowWindow(b, SW_HIDE);
    draws_.clear();
    SendMessageW(b, BM_SETSTATE, TRUE, 0);
    EXPECT_TRUE(draws_.empty());
    ShowWindow(b, SW_SHOW);
    UpdateWindow(b);
    ASSERT_EQ(draws_.size(), 1u);
    EXPECT_EQ(draws_[0].itemAction, ODA_DRAWENTIRE);
    EXPECT_EQ(draws_[0].itemState, ODS_SELECTED);
}

}  // namespace
