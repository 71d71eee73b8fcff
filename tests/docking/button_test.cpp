// The skinned button and static: the style each state applies to the cell, clicks on check boxes,
// double clicks, the caption and tooltip split, hiding, the cursor, and the static's text.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "docking/button.h"
#include "docking/cell.h"
#include "docking/controls.h"
#include "docking/messages.h"
#include "docking/registry.h"
#include "docking/render_pool.h"
#include <commctrl.h>
#include "machine/control/input.h"
#include "machine/control/resources.h"
#include "machine/control/screen.h"
#include <winuser.h>
#include "skin_helper.h"

using namespace System::Docking;
using namespace System::Docking::Skin;
using namespace skin_test;

namespace {

constexpr int kPush = 803;   // IDC_BUTTON_CLOSE
constexpr int kBox = 30107;  // IDC_CHAPCHECK
constexpr int kNum = 30101;  // IDC_NUMTEXT

const resources::ModuleResources& ButtonTemplates() {
    static const resources::ModuleResources tables = MainDialogOnly(
        300, 120,
        {{kPush, L"Button", L"Go", WS_VISIBLE | WS_TABSTOP, 0, 0, 0, 60, 20},
         {kBox, L"Button", L"Box", WS_VISIBLE | BS_AUTOCHECKBOX | BS_LEFTTEXT, 0, 100, 0, 60, 20},
         {kNum, L"Static", L"Number", WS_VISIBLE | SS_RIGHT, 0, 200, 0, 60, 20}});
    return tables;
}

// Each state's style sets the cell's width to a number of its own (read as width - 50).
std::string Cell(const char* index, const char* id, const char* handle, const char* extra = "") {
    return std::string("<cell index=\"") + index + "\" id=\"" + id + "\" handle=\"" + handle +
           "\" normal=\"width:60\" hover=\"width:61\" checkhover=\"width:62\" "
           "active=\"width:63\" check=\"width:64\" disable=\"width:66\" hide=\"width:67\" " +
           extra + "/>";
}

struct Notice {
    UINT code;
    int control;
    LRESULT check;  // the control's BM_GETCHECK when its parent heard it
};

class RecordingDialog : public TestDialog {
public:
    using TestDialog::TestDialog;
    std::vector<Notice> notices;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (message == WM_COMMAND && lParam != 0)
            notices.push_back({HIWORD(wParam), LOWORD(wParam),
                               ::SendMessageW(reinterpret_cast<HWND>(lParam), BM_GETCHECK, 0, 0)});
        return TestDialog::OnWndMsg(message, wParam, lParam, result);
    }
};

class Buttons : public SkinDialogTest<RecordingDialog> {
protected:
    // Creates the dialog from the layout and, unless told not to, shows it.
    void Open(const std::string& pushExtra = "", bool show = true) {
        control::LinkResources(&ButtonTemplates());
        WriteLayout(
            L"default", L"NetConnectDialog.xml",
            Layout("<docking id=\"main\" background=\"#E0E0E0\">" +
                   Cell("10", "push", "id:IDC_BUTTON_CLOSE;class:Button", pushExtra.c_str()) +
                   Cell("11", "box", "id:IDC_CHAPCHECK;class:Button") +
                   "<cell index=\"12\" id=\"num\" handle=\"id:IDC_NUMTEXT;class:Static\" "
                   "font=\"color:#00FFFFFF\"/></docking>"));
        if (show) {
            OpenDialog();
        } else {
            dialog_ = std::make_unique<RecordingDialog>(kMain);
            ASSERT_TRUE(dialog_->Create(kMain));
        }
        dialog_->notices.clear();
    }
    CDockingButton* Button(int id) const {
        return dynamic_cast<CDockingButton*>(CWnd::FromHandlePermanent(Item(id)));
    }
    CDockingCell& CellOf(int id) const {
        auto* cell = dynamic_cast<CDockingCell*>(FindRenderableByWindow(Item(id)));
        EXPECT_NE(cell, nullptr);
        return *cell;
    }
    int Look(int id) const { return CellOf(id).width.Read() - 50; }
    POINT Centre(int id) const {
        RECT r{};
        ::GetWindowRect(Item(id), &r);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    std::vector<UINT> Codes(int id) const {
        std::vector<UINT> out;
        for (const Notice& n : dialog_->notices)
            if (n.control == id) out.push_back(n.code);
        return out;
    }
};

TEST_F(Buttons, TheLoaderMakesSkinnedControlsThatAreOwnerDrawnAndStartNormal) {
    Open();
    ASSERT_NE(Button(kPush), nullptr);
    ASSERT_NE(Button(kBox), nullptr);
    EXPECT_EQ(::GetWindowLongPtrW(Item(kPush), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_EQ(::GetWindowLongPtrW(Item(kBox), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_EQ(Button(kPush)->State(), ButtonState::Normal);
    EXPECT_EQ(Look(kPush), 10);
    // The static's type is replaced: SS_RIGHT does not turn into another type.
    EXPECT_EQ(::GetWindowLongPtrW(Item(kNum), GWL_STYLE) & SS_TYPEMASK, SS_OWNERDRAW);
}

TEST_F(Buttons, ALeftTextCheckBoxTogglesAndItsParentHearsTheNewCheck) {
    Open();
    control::Click(Centre(kBox));
    Settle();
    EXPECT_EQ(::SendMessageW(Item(kBox), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(Button(kBox)->State(), ButtonState::Check);
    EXPECT_EQ(Look(kBox), 14);
    ASSERT_EQ(dialog_->notices.size(), 1u);
    EXPECT_EQ(dialog_->notices[0].code, static_cast<UINT>(BN_CLICKED));
    EXPECT_EQ(dialog_->notices[0].check, BST_CHECKED) << "checked before the parent hears it";
    EXPECT_EQ(::GetCapture(), nullptr);

    control::Click(Centre(kBox));
    Settle();
    EXPECT_EQ(::SendMessageW(Item(kBox), BM_GETCHECK, 0, 0), 0);
    EXPECT_EQ(dialog_->notices.back().check, 0);
    ::SendMessageW(Item(kBox), WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(Button(kBox)->State(), ButtonState::Normal);
    EXPECT_EQ(Look(kBox), 10);
}

TEST_F(Buttons, ADoubleClickIsASecondPressUnlessTheLayoutTakesDoubleClicks) {
    struct Case {
        const char* extra;
        std::vector<UINT> codes;
    };
    const Case cases[] = {
        {"", {BN_CLICKED, BN_DOUBLECLICKED, BN_CLICKED}},
        {"dblclick=\"true\"", {BN_CLICKED, BN_DOUBLECLICKED}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extra);
        Open(c.extra);
        control::DoubleClick(Centre(kPush));
        Settle();
        EXPECT_EQ(Codes(kPush), c.codes);
        WaitRenderPoolIdle();
        dialog_.reset();
    }
}

TEST_F(Buttons, HoverLeavePressAndReleaseApplyTheirStyles) {
    Open();
    const POINT at = Centre(kPush);
    control::MoveMouse(at);
    Settle();
    EXPECT_EQ(Button(kPush)->State(), ButtonState::Hover);
    EXPECT_EQ(Look(kPush), 11);
    control::PressMouse();
    Settle();
    EXPECT_EQ(Button(kPush)->State(), ButtonState::Active);
    EXPECT_EQ(Look(kPush), 13);
    control::ReleaseMouse();
    Settle();
    EXPECT_EQ(Button(kPush)->State(), ButtonState::Hover);
    EXPECT_EQ(Codes(kPush), std::vector<UINT>{BN_CLICKED});
    control::MoveMouse({at.x + 500, at.y + 500});
    Settle();
    EXPECT_EQ(Button(kPush)->State(), ButtonState::Normal);
    EXPECT_EQ(Look(kPush), 10);
}

TEST_F(Buttons, TheCursorKeywordSetsThatSystemCursor) {
    Open("cursor=\"hand\"");
    control::MoveMouse(Centre(kPush));
    Settle();
    EXPECT_EQ(control::CurrentCursor(), ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));
    EXPECT_EQ(CursorNameTable().size(), 18u);
}

TEST_F(Buttons, HidingEmptiesTheCellTextAndShowingBringsItBack) {
    Open();
    ::ShowWindow(Item(kPush), SW_HIDE);
    Settle();
    EXPECT_EQ(Button(kPush)->State(), ButtonState::Hide);
    EXPECT_EQ(Look(kPush), 17);
    EXPECT_EQ(CellOf(kPush).text.Ref(), L"");
    ::ShowWindow(Item(kPush), SW_SHOW);
    Settle();
    EXPECT_EQ(Button(kPush)->State(), ButtonState::Normal);
    EXPECT_EQ(CellOf(kPush).text.Ref(), L"Go");
}

TEST_F(Buttons, InADialogNotShownYetTheButtonAndStaticAreHiddenUntilItShows) {
    Open("", false);
    ASSERT_FALSE(::IsWindowVisible(dialog_->m_hWnd));
    EXPECT_EQ(Button(kPush)->State(), ButtonState::Hide) << "styled before its dialog shows";
    EXPECT_EQ(Look(kPush), 17);
    ::SendMessageW(Item(kNum), WM_DOCKING_PAINT, 0, 0);
    EXPECT_EQ(CellOf(kNum).text.Ref(), L"");
    ::ShowWindow(dialog_->m_hWnd, SW_SHOW);
    Settle();
    EXPECT_EQ(Button(kPush)->State(), ButtonState::Normal);
    EXPECT_EQ(Look(kPush), 10);
    EXPECT_EQ(CellOf(kPush).text.Ref(), L"Go");
    EXPECT_EQ(CellOf(kNum).text.Ref(), L"Number");
}

TEST_F(Buttons, DisablingAppliesDisableAndHandsTheButtonToTheDialogsTooltips) {
    Open();
    ::EnableWindow(Item(kPush), FALSE);
    EXPECT_EQ(Button(kPush)->State(), ButtonState::Disable);
    EXPECT_EQ(Look(kPush), 16);
    EXPECT_EQ(dialog_->DisabledTools().count(Button(kPush)), 1u);
    ::EnableWindow(Item(kPush), TRUE);
    EXPECT_EQ(Button(kPush)->State(), ButtonState::Normal);
    EXPECT_EQ(dialog_->DisabledTools().count(Button(kPush)), 0u);
}

TEST(ButtonText, ACaptionAndATipSplitAtTheLastSpaceBeforeATrailingOne) {
    struct Case {
        std::wstring text, caption, tip;
        bool hasTip;
    };
    const Case cases[] = {
        {L"x y ", L"x", L"y", true},
        {L" ", L" ", L"", false},
        {L"a  ", L"a", L"", true},
        {L"one ", L"one ", L"", false},
        {L"one two", L"one two", L"", false},
        {L"a b c ", L"a b", L"c", true},
        {L"", L"", L"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        ButtonCaption split = SplitButtonText(c.text);
        EXPECT_EQ(split.caption, c.caption);
        EXPECT_EQ(split.tip, c.tip);
        EXPECT_EQ(split.hasTip, c.hasTip);
    }
}

TEST_F(Buttons, ACellChangeShowsTheCaptionAndMakesTheTipTheTitle) {
    Open();
    ::SetWindowTextW(Item(kPush), L"Dial Connects ");
    ::SendMessageW(Item(kPush), WM_DOCKING_CELLCHANGED, 0, 0);
    EXPECT_EQ(CellOf(kPush).text.Ref(), L"Dial");
    EXPECT_EQ(Button(kPush)->Title(), L"Connects");
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    EXPECT_TRUE(dialog_->ToolTip().GetToolInfo(info, Button(kPush), 0));
    // A given title stays.
    ::SetWindowTextW(Item(kPush), L"Dial Other ");
    ::SendMessageW(Item(kPush), WM_DOCKING_CELLCHANGED, 0, 0);
    EXPECT_EQ(Button(kPush)->Title(), L"Connects");
}

TEST_F(Buttons, AStaticHandsItsTextToItsCellInBlackWhenTheCellHasNoColour) {
    Open();
    CDockingCell& cell = CellOf(kNum);
    cell.font.color = kNoColor;
    ::SetWindowTextW(Item(kNum), L"Other");
    EXPECT_EQ(::SendMessageW(Item(kNum), WM_DOCKING_PAINT, 0, 0), 1);
    EXPECT_EQ(cell.text.Ref(), L"Other");
    EXPECT_EQ(cell.font.color, 0xFF000000u);
    ::ShowWindow(Item(kNum), SW_HIDE);
    ::SendMessageW(Item(kNum), WM_DOCKING_PAINT, 0, 0);
    EXPECT_EQ(cell.text.Ref(), L"");
}

}  // namespace

namespace {

// The screen's pixels of the band along the button's top, where the layout puts its caption.
std::vector<COLORREF> Face(HWND button) {
    RECT r{};
    ::GetWindowRect(button, &r);
    std::vector<COLORREF> pixels;
    for (int y = r.top; y < r.top + 12 && y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) pixels.push_back(control::PixelAt(x, y));
    return pixels;
}

TEST_F(Buttons, ANewTextShowsOnTheButtonWithoutAnythingElseRepaintingIt) {
    Open("font=\"color:#00FFFFFF\"");
    const std::vector<COLORREF> before = Face(Item(kPush));
    ::SetWindowTextW(Item(kPush), L"WWWW");
    Settle();
    EXPECT_EQ(CellOf(kPush).text.Ref(), L"WWWW");
    EXPECT_NE(Face(Item(kPush)), before);
}

}  // namespace
