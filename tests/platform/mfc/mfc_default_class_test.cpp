// The framework's default window class: a window made without a class name takes double clicks.
#include <gtest/gtest.h>

#include <vector>

#include <afxwin.h>
#include "common/window_helper.h"
#include "machine/control/input.h"

namespace {

class Clicked : public CWnd {
public:
    std::vector<UINT> mouse;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_LBUTTONDOWN || message == WM_LBUTTONUP || message == WM_LBUTTONDBLCLK)
            mouse.push_back(message);
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

class MfcDefaultClassTest : public WindowTest {
protected:
    void TearDown() override { AfxDeleteTemporaryObjects(); }
};

TEST_F(MfcDefaultClassTest, AChildMadeWithoutAClassNameTakesDoubleClicks) {
    HWND top = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, L"", {100, 100, 300, 300});
    SetForegroundWindow(top);
    CWnd parent;
    ASSERT_TRUE(parent.Attach(top));
    Clicked view;
    ASSERT_TRUE(view.Create(nullptr, nullptr, WS_VISIBLE, RECT{0, 0, 50, 50}, &parent, 7999));
    wchar_t name[32] = {};
    GetClassNameW(view.m_hWnd, name, 32);
    EXPECT_STREQ(name, L"AfxWnd");

    Clicked second;  // the class is registered once for the process
    ASSERT_TRUE(second.Create(nullptr, nullptr, WS_VISIBLE, RECT{60, 0, 90, 30}, &parent, 8000));

    ASSERT_TRUE(control::DoubleClick({110, 110}));
    Drain();
    EXPECT_EQ(view.mouse,
              (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
    second.DestroyWindow();
    view.DestroyWindow();
    parent.Detach();
}

}  // namespace
