// The Static control: its answer to hit-testing, its notifications and owner drawing.
#include <gtest/gtest.h>

#include <vector>

#include <winuser.h>
#include "common/window_helper.h"

namespace {

class StaticTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        parent_ = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        Answers() = [this](HWND w, UINT m, WPARAM wp, LPARAM lp) -> std::optional<LRESULT> {
            if (w != parent_) return std::nullopt;
            if (m == WM_COMMAND) codes_.push_back(HIWORD(wp));
            if (m == WM_DRAWITEM) draws_.push_back(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
            return std::nullopt;
        };
    }

    HWND Static(DWORD style, int id = 200, DWORD visible = WS_VISIBLE) {
        return CreateWindowExW(0, L"Static", L"text", WS_CHILD | visible | style, 5, 5, 60, 20,
                               parent_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr,
                               nullptr);
    }

    HWND parent_ = nullptr;
    std::vector<UINT> codes_;
    std::vector<DRAWITEMSTRUCT> draws_;
};

TEST_F(StaticTest, WithoutNotifyTheMousePassesThrough) {
    struct Case {
        DWORD style;
        bool transparent;
    };
    const Case cases[] = {
        {SS_LEFT, true}, {SS_CENTER, true},  {SS_OWNERDRAW, true},
        {SS_ICON, true}, {SS_NOTIFY, false}, {SS_OWNERDRAW | SS_NOTIFY, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        HWND s = Static(c.style);
        LRESULT hit = SendMessageW(s, WM_NCHITTEST, 0, MAKELPARAM(10, 10));
        if (c.transparent)
            EXPECT_EQ(hit, HTTRANSPARENT);
        else
            EXPECT_EQ(hit, DefWindowProcW(s, WM_NCHITTEST, 0, MAKELPARAM(10, 10)));
        EXPECT_EQ(SendMessageW(s, WM_GETDLGCODE, 0, 0), DLGC_STATIC);
        DestroyWindow(s);
    }
}

TEST_F(StaticTest, ClicksAndDoubleClicksAreNotifiedWithSsNotifyOnly) {
    struct Case {
        DWORD style;
        std::vector<UINT> codes;
    };
    const Case cases[] = {
        {SS_NOTIFY, {STN_CLICKED, STN_DBLCLK}},
        {SS_OWNERDRAW | SS_NOTIFY, {STN_CLICKED, STN_DBLCLK}},
        {SS_LEFT, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        codes_.clear();
        HWND s = Static(c.style);
        SendMessageW(s, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        SendMessageW(s, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
        SendMessageW(s, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 3));
        EXPECT_EQ(codes_, c.codes);
        DestroyWindow(s);
    }
}

TEST_F(StaticTest, AnOwnerDrawStaticIsDrawnAtOnceOnNewTextAndOnEnabling) {
    HWND s = Static(SS_OWNERDRAW | SS_NOTIFY, 201);
    HWND text = Static(SS_LEFT, 202);
    UpdateWindow(s);
    UpdateWindow(text);
    ASSERT_EQ(draws_.size(), 1u);  // the text static draws nothing through its parent
    EXPECT_EQ(draws_[0].CtlType, ODT_STATIC);
    EXPECT_EQ(draws_[0].CtlID, 201u);
    EXPECT_EQ(draws_[0].hwndItem, s);
    EXPECT_EQ(draws_[0].itemAction, ODA_DRAWENTIRE);
    EXPECT_EQ(draws_[0].rcItem.right, 60);
    EXPECT_EQ(draws_[0].rcItem.bottom, 20);

    struct Case {
        const char* name;
        void (*change)(HWND);
        UINT state;
    };
    const Case cases[] = {
        {"new text", [](HWND h) { SetWindowTextW(h, L"new"); }, 0},
        {"disabled", [](HWND h) { EnableWindow(h, FALSE); }, ODS_DISABLED},
        {"enabled", [](HWND h) { EnableWindow(h, TRUE); }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        draws_.clear();
        c.change(s);
        c.change(text);
        ASSERT_EQ(draws_.size(), 1u);
        EXPECT_EQ(draws_[0].hwndItem, s);
        EXPECT_EQ(draws_[0].itemState, c.state);
        EXPECT_NE(draws_[0].hDC, nullptr);
    }
    wchar_t buffer[8];
    GetWindowTextW(s, buffer, 8);
    EXPECT_STREQ(buffer, L"new");
}

TEST_F(StaticTest, AHiddenOwnerDrawStaticIsDrawnWhenShown) {
    HWND s = Static(SS_OWNERDRAW, 201, 0);
    SetWindowTextW(s, L"later");
    EXPECT_TRUE(draws_.empty());
    ShowWindow(s, SW_SHOW);
    UpdateWindow(s);
    EXPECT_EQ(draws_.size(), 1u);
}

}  // namespace
