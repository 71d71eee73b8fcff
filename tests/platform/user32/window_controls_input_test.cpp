// The standard controls under input from the machine: clicks found by hit-testing, through
// statics that do not notify and past disabled controls, and keys through a dialog's keys.
#include <gtest/gtest.h>

#include "machine/control/input.h"
#include <winuser.h>
#include "common/window_helper.h"

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

HWND Control(LPCWSTR cls, DWORD style, HWND parent, int id, RECT r) {
    return CreateWindowExW(0, cls, L"", kChild | style, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

class ControlsInputTest : public WindowTest {
protected:
    // The BN_CLICKED / STN_CLICKED commands the parent got, as the ids of their senders.
    std::vector<int> Clicked(HWND parent) {
        std::vector<int> ids;
        for (const Logged& l : Entries(WM_COMMAND, parent))
            if (HIWORD(l.wParam) == BN_CLICKED) ids.push_back(LOWORD(l.wParam));
        return ids;
    }
};

TEST_F(ControlsInputTest, ClicksFindTheButtonThroughStaticsAndReachParentsPastDisabledOnes) {
    HWND top = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, L"", {0, 0, 300, 200});
    // A label lying over a button (made first: above it), a notifying label, a disabled button.
    HWND label = Control(L"Static", SS_LEFT, top, 2, {0, 0, 200, 50});
    HWND button = Control(L"Button", BS_PUSHBUTTON, top, 1, {10, 10, 110, 40});
    HWND notifying = Control(L"Static", SS_NOTIFY, top, 3, {10, 100, 110, 130});
    HWND disabled = Control(L"Button", BS_PUSHBUTTON | WS_DISABLED, top, 4, {150, 100, 250, 130});
    ASSERT_TRUE(button && label && notifying && disabled);
    ASSERT_EQ(GetWindow(label, GW_HWNDNEXT), button) << "the label lies above the button";

    ASSERT_TRUE(control::Click({50, 25}));
    Drain();
    EXPECT_EQ(Clicked(top), std::vector<int>{1}) << "through the label to the button";

    MessageLog().Clear();
    ASSERT_TRUE(control::Click({50, 115}));
    Drain();
    auto commands = Entries(WM_COMMAND, top);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].wParam, MAKEWPARAM(3, STN_CLICKED));

    MessageLog().Clear();
    ASSERT_TRUE(control::Click({200, 115}));
    Drain();
    EXPECT_TRUE(Clicked(top).empty());
    auto downs = Entries(WM_LBUTTONDOWN, top);
    ASSERT_EQ(downs.size(), 1u) << "the parent takes the press over its disabled child";
    EXPECT_EQ(downs[0].lParam, MAKELPARAM(200, 115));
}

TEST_F(ControlsInputTest, APressDraggedOffTheButtonIsNoClick) {
    HWND top = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, L"", {0, 0, 300, 200});
    HWND button = Control(L"Button", BS_PUSHBUTTON, top, 7, {10, 10, 110, 40});
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(control::MoveMouse({50, 25}));
    ASSERT_TRUE(control::PressMouse());
    Drain();
    EXPECT_EQ(GetCapture(), button);
    ASSERT_TRUE(control::MoveMouse({250, 150}));
    ASSERT_TRUE(control::ReleaseMouse());
    Drain();
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_TRUE(Clicked(top).empty());
}

TEST_F(ControlsInputTest, TypedTextReachesTheFocusedEdit) {
    HWND top = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, L"", {0, 0, 300, 200});
    HWND edit = Control(L"Edit", ES_NUMBER, top, 9, {10, 10, 110, 40});
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(control::Click({20, 20}));
    Drain();
    EXPECT_EQ(GetFocus(), edit);
    ASSERT_TRUE(control::TypeText(L"12a3"));
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    wchar_t text[16];
    GetWindowTextW(edit, text, 16);
    EXPECT_STREQ(text, L"123") << "a letter is refused by a number-only edit";
}

}  // namespace
