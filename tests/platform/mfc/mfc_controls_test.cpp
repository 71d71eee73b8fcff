// The framework's control wrappers over the standard controls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "machine/control/tooltips.h"
#include <afxwin.h>
#include <afxcmn.h>
#include "machine/machine.h"
#include "common/window_helper.h"

namespace {

class MfcControlsTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(parent_.CreateEx(0, kTestClass, nullptr, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                     400, 300, nullptr, nullptr));
    }
    void TearDown() override { AfxDeleteTemporaryObjects(); }

    // A parent that notes the owner-draw requests it handles itself.
    class Parent : public CWnd {
    public:
        std::vector<UINT> drawn;
        void OnDrawItem(int id, LPDRAWITEMSTRUCT) override {
            drawn.push_back(static_cast<UINT>(id));
        }
    };
    Parent parent_;
};

class DrawnButton : public CButton {
public:
    std::vector<UINT> types;
    void DrawItem(LPDRAWITEMSTRUCT item) override { types.push_back(item->CtlType); }
};

class DrawnStatic : public CStatic {
public:
    std::vector<UINT> types;
    void DrawItem(LPDRAWITEMSTRUCT item) override { types.push_back(item->CtlType); }
};

TEST_F(MfcControlsTest, OwnerDrawnButtonsAndStaticsDrawThemselvesNotTheirParent) {
    DrawnButton button;
    ASSERT_TRUE(button.Create(L"Go", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, CRect(0, 0, 80, 20),
                              &parent_, 7));
    EXPECT_EQ(button.GetDlgCtrlID(), 7);
    EXPECT_EQ(button.GetButtonStyle(), static_cast<UINT>(BS_PUSHBUTTON));
    button.SetButtonStyle(BS_OWNERDRAW);
    EXPECT_EQ(button.GetButtonStyle(), static_cast<UINT>(BS_OWNERDRAW));
    EXPECT_EQ(button.types, std::vector<UINT>{ODT_BUTTON}) << "the new style redraws";
    button.types.clear();
    button.Invalidate();
    button.UpdateWindow();
    EXPECT_EQ(button.types, std::vector<UINT>{ODT_BUTTON});

    DrawnStatic text;
    ASSERT_TRUE(
        text.Create(L"a", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, CRect(0, 30, 80, 50), &parent_, 8));
    text.types.clear();
    text.SetWindowText(L"b");  // an owner-drawn static draws on a new text
    EXPECT_EQ(text.types, std::vector<UINT>{ODT_STATIC});
    EXPECT_TRUE(parent_.drawn.empty());

    // A control without an object leaves the request to the parent.
    CStatic plain;
    ASSERT_TRUE(plain.Create(L"c", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, CRect(0, 60, 80, 80),
                             &parent_, 9));
    plain.UnsubclassWindow();
    SetWindowTextW(GetDlgItem(parent_.m_hWnd, 9), L"d");
    EXPECT_EQ(parent_.drawn, std::vector<UINT>{9});
}

TEST_F(MfcControlsTest, CheckBoxesKeepTheirCheck) {
    CButton box;
    ASSERT_TRUE(box.Create(L"Save", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, CRect(0, 0, 80, 20),
                           &parent_, 30107));
    EXPECT_EQ(box.GetCheck(), BST_UNCHECKED);
    box.SetCheck(BST_CHECKED);
    EXPECT_EQ(box.GetCheck(), BST_CHECKED);
    box.SendMessage(BM_CLICK);
    EXPECT_EQ(box.GetCheck(), BST_UNCHECKED);
}

TEST_F(MfcControlsTest, EditsTakeLimitsSelectionsAndReplacements) {
    CEdit edit;
    ASSERT_TRUE(
        edit.Create(WS_CHILD | WS_VISIBLE | ES_PASSWORD, CRect(0, 0, 100, 20), &parent_, 30115));
    EXPECT_NE(edit.GetPasswordChar(), 0);
    edit.SetLimitText(5);
    EXPECT_EQ(edit.GetLimitText(), 5u);
    edit.ReplaceSel(L"abcdefg");
    CString text;
    edit.GetWindowText(text);
    EXPECT_STREQ(text, L"abcde") << "cut at the limit";
    edit.SetSel(1, 3);
    int start = -1, end = -1;
    edit.GetSel(start, end);
    EXPECT_EQ(start, 1);
    EXPECT_EQ(end, 3);
    edit.ReplaceSel(L"X");
    edit.GetWindowText(text);
    EXPECT_STREQ(text, L"aXde");
    EXPECT_TRUE(edit.SetReadOnly());
    EXPECT_TRUE(edit.GetStyle() & ES_READONLY);
}

TEST_F(MfcControlsTest, IpAddressesRoundTripAndReadBlank) {
    CIPAddressCtrl address;
    ASSERT_TRUE(address.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 120, 20), &parent_, 30116));
    EXPECT_TRUE(address.IsBlank());
    address.SetAddress(192, 168, 0, 1);
    EXPECT_FALSE(address.IsBlank());
    BYTE a = 0, b = 0, c = 0, d = 0;
    EXPECT_EQ(address.GetAddress(a, b, c, d), 4);
    EXPECT_EQ((std::vector<int>{a, b, c, d}), (std::vector<int>{192, 168, 0, 1}));
    CString text;
    address.GetWindowText(text);
    EXPECT_STREQ(text, L"192.168.0.1");
    address.ClearAddress();
    DWORD value = 1;
    EXPECT_EQ(address.GetAddress(value), 0);
    EXPECT_EQ(value, 0u);
}

TEST_F(MfcControlsTest, ToolTipsAddFindUpdateAndShowATool) {
    CButton button;
    ASSERT_TRUE(button.Create(L"Go", WS_CHILD | WS_VISIBLE, CRect(10, 10, 90, 30), &parent_, 7));
    CToolTipCtrl tips;
    ASSERT_TRUE(tips.Create(&parent_));
    EXPECT_EQ(::GetWindow(tips.m_hWnd, GW_OWNER), parent_.m_hWnd);
    TOOLINFOW info{};
    EXPECT_FALSE(tips.GetToolInfo(info, &button));
    ASSERT_TRUE(tips.AddTool(&button, L"first"));
    EXPECT_EQ(tips.GetToolCount(), 1);
    wchar_t text[80] = {};
    info.lpszText = text;
    ASSERT_TRUE(tips.GetToolInfo(info, &button));
    EXPECT_STREQ(text, L"first");
    EXPECT_EQ(info.uFlags & TTF_IDISHWND, static_cast<UINT>(TTF_IDISHWND));
    tips.UpdateTipText(L"second", &button);
    ASSERT_TRUE(tips.GetToolInfo(info, &button));
    EXPECT_STREQ(text, L"second");

    tips.Activate(TRUE);
    tips.SetDelayTime(TTDT_INITIAL, 100);
    MSG move{button.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5), 0, {}};
    tips.RelayEvent(&move);
    EXPECT_FALSE(control::ShownTooltip()) << "not before the delay";
    Answers() = nullptr;
    MSG msg;
    ::SetTimer(nullptr, 0, 200, nullptr);
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
        if (msg.message == WM_TIMER && msg.hwnd == nullptr) break;
    }
    auto shown = control::ShownTooltip();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->text, L"second");
    EXPECT_EQ(shown->toolWindow, parent_.m_hWnd);

    tips.DelTool(&button);
    EXPECT_EQ(tips.GetToolCount(), 0);
}

}  // namespace

TEST_F(MfcControlsTest, ComboBoxesKeepFindAndSelectTheirItems) {
    CComboBox combo;
    ASSERT_TRUE(combo.Create(WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, CRect(0, 0, 120, 21),
                             &parent_, 30117));
    EXPECT_EQ(combo.AddString(L"GSM"), 0);
    EXPECT_EQ(combo.AddString(L"WCDMA"), 1);
    EXPECT_EQ(combo.InsertString(0, L"Auto"), 0);
    EXPECT_EQ(combo.FindStringExact(-1, L"wcdma"), 2);
    EXPECT_EQ(combo.SelectString(-1, L"G"), 1);
    CString text;
    combo.GetLBText(combo.GetCurSel(), text);
    EXPECT_STREQ(text, L"GSM");
    combo.GetLBText(7, text);
    EXPECT_STREQ(text, L"") << "a bad index gives no text";
    EXPECT_EQ(combo.DeleteString(0), 2);
    EXPECT_EQ(combo.GetCurSel(), 0);
    combo.ShowDropDown();
    EXPECT_TRUE(combo.GetDroppedState());
    combo.ShowDropDown(FALSE);
    EXPECT_FALSE(combo.GetDroppedState());
}

TEST_F(MfcControlsTest, ListControlsKeepColumnsItemsAndSelection) {
    CListCtrl list;
    ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL,
                            CRect(0, 0, 200, 100), &parent_, 30118));
    EXPECT_EQ(list.InsertColumn(0, L"Name", LVCFMT_LEFT, 80), 0);
    EXPECT_EQ(list.InsertColumn(1, L"Number"), 1);
    EXPECT_EQ(list.SendMessage(LVM_GETCOLUMNWIDTH, 1), 0) << "no width given";
    EXPECT_EQ(list.InsertItem(0, L"first"), 0);
    EXPECT_EQ(list.InsertItem(1, L"second"), 1);
    const std::wstring longText(1000, L'7');
    EXPECT_TRUE(list.SetItemText(1, 1, longText.c_str()));
    EXPECT_EQ(std::wstring(list.GetItemText(1, 1)), longText) << "longer than a first buffer";
    EXPECT_STREQ(list.GetItemText(0, 0), L"first");
    EXPECT_TRUE(list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED));
    EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 1);
    EXPECT_EQ(list.GetSelectionMark(), 1);
    EXPECT_EQ(list.GetItemState(1, LVIS_SELECTED), LVIS_SELECTED);
    EXPECT_EQ(list.SetExtendedStyle(LVS_EX_FULLROWSELECT), 0u);
    EXPECT_EQ(list.GetExtendedStyle(), LVS_EX_FULLROWSELECT);
    EXPECT_TRUE(list.EnsureVisible(1, FALSE));
    EXPECT_TRUE(list.DeleteItem(0));
    EXPECT_EQ(list.GetSelectionMark(), 0) << "the mark moves with its item";
    EXPECT_EQ(list.GetItemCount(), 1);
}
