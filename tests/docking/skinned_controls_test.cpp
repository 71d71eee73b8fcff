// A skinned dialog holding every kind of skinned control: the picture it shows, clicks that reach
// a check box inside a group box, and the combo box and list redrawing through their cells.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "docking/cell.h"
#include "docking/controls.h"
#include "docking/messages.h"
#include "docking/registry.h"
#include "docking/render_pool.h"
#include "drawing_helper.h"
#include <commctrl.h>
#include "machine/control/input.h"
#include "machine/control/resources.h"
#include "machine/control/screen.h"
#include "common/golden_image.h"
#include <winuser.h>
#include "skin_helper.h"

using namespace System::Docking;
using namespace System::Docking::Skin;
using namespace skin_test;

namespace {

constexpr int kField = 30113, kIp = 30118, kCombo = 40001, kList = 40002, kDate = 40003,
              kGroup = 40004, kCheck = 40005, kSlider = 40006;

const resources::ModuleResources& AllTemplates() {
    static const resources::ModuleResources tables = MainDialogOnly(
        320, 150,
        {{kField, L"Edit", L"Skinned", WS_VISIBLE | WS_TABSTOP, 0, 0, 0, 60, 12},
         {kIp, WC_IPADDRESSW, L"", WS_VISIBLE | WS_TABSTOP, 0, 0, 0, 60, 12},
         {kCombo, WC_COMBOBOXW, L"", WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 0, 0, 0, 60, 60},
         {kList, WC_LISTVIEWW, L"", WS_VISIBLE | LVS_REPORT, 0, 0, 0, 60, 40},
         // The group box comes before its check box: it lies above it.
         {kGroup, L"Button", L"Dialing", WS_VISIBLE | BS_GROUPBOX, 0, 0, 0, 60, 40},
         {kCheck, L"Button", L"Redial", WS_VISIBLE | BS_AUTOCHECKBOX, 0, 0, 0, 40, 10},
         {kDate, DATETIMEPICK_CLASSW, L"", WS_VISIBLE, 0, 0, 0, 60, 12},
         {kSlider, TRACKBAR_CLASSW, L"", WS_VISIBLE, 0, 0, 0, 60, 12}});
    return tables;
}

const char* const kLayout =
    "<docking id=\"main\" background=\"color:#EEF2F6\" padding=\"8\">"
    "<cell index=\"00\" width=\"160\" height=\"40\" handle=\"id:30113;class:Edit\" "
    "padding=\"left:6;top:8;right:6;bottom:8\" background=\"color:#FFFFFF\" "
    "border=\"width:1;color:#8090A0\"/>"
    "<cell index=\"01\" width=\"170\" handle=\"id:30118;class:IPAddress\" "
    "padding=\"left:6;top:8;right:6;bottom:8\" background=\"color:#FFFFFF\" "
    "border=\"width:1;color:#8090A0\"/>"
    "<cell index=\"02\" width=\"-1\" handle=\"id:40001;class:ComboBox\" "
    "padding=\"left:6;top:8;right:6;bottom:0\"/>"
    "<cell index=\"10\" height=\"110\" handle=\"id:40002;class:List\" padding=\"6\"/>"
    "<cell index=\"11\" handle=\"id:40004;class:GroupBox\" child=\"group\" padding=\"4\" "
    "groupboxborder=\"radius:8;color:#3A6EA5\" "
    "font=\"family:Tahoma;size:9;color:#203040\"/>"
    "<cell index=\"12\" handle=\"id:40003;class:DateTime\" "
    "padding=\"left:6;top:8;right:6;bottom:74\"/>"
    "<cell index=\"20\" height=\"-1\" handle=\"id:40006;class:Slider\" "
    "padding=\"left:10;top:12;right:10;bottom:12\" track=\"image:track.bmp;style:repeat-x\" "
    "thumb=\"thumb.bmp\" thumbwidth=\"12\"/>"
    "</docking>"
    "<docking id=\"group\">"
    "<cell index=\"00\" width=\"12\" height=\"22\"/>"
    "<cell index=\"11\" width=\"-1\" height=\"24\" handle=\"id:40005;class:Button\" "
    "padding=\"left:24\" font=\"family:Tahoma;size:9;color:#203040;valign:center\" "
    "normal=\"background:(image:chk_normal.png;y:4)\" "
    "check=\"background:(image:chk_check.png;y:4)\"/>"
    "</docking>";

class SkinnedControls : public SkinDialogTest<DrawLogDialog> {
protected:
    void SetUp() override {
        SkinDialogTest::SetUp();
        StartDrawingLibrary();
        control::LinkResources(&AllTemplates());
        const std::wstring folder = M().config().programFolder + L"skin\\default\\";
        ASSERT_TRUE(M().WriteFile(folder + L"track.bmp", BmpBytes(8, 16, [](int, int y) {
                                      return y < 5 || y > 10 ? 0xEEF2F6u : 0x3A6EA5u;
                                  })));
        ASSERT_TRUE(M().WriteFile(folder + L"thumb.bmp", BmpBytes(12, 26, [](int x, int y) {
                                      return x == 0 || x == 11 || y == 0 || y == 25 ? 0x203040u
                                                                                    : 0xF0A030u;
                                  })));
        for (const char* name : {"chk_normal.png", "chk_check.png"}) {
            std::ifstream in(std::string(MODEM_SOURCE_DIR) + "/assets/skin/default/" + name,
                             std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(in), {}};
            ASSERT_FALSE(bytes.empty()) << name;
            ASSERT_TRUE(
                M().WriteFile(folder + std::wstring(name, name + std::strlen(name)), bytes));
        }
        WriteLayout(L"default", L"NetConnectDialog.xml", Layout(kLayout));
        dialog_ = std::make_unique<DrawLogDialog>(kMain);
        Show(*dialog_);
    }
    // Creates the dialog's window, fills its controls, shows it and lets its renders settle.
    void Show(CDialog& dialog) {
        ASSERT_TRUE(dialog.Create(kMain));
        auto Item = [&dialog](int id) { return ::GetDlgItem(dialog.m_hWnd, id); };
        ::SendMessageW(Item(kCombo), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Automatic"));
        ::SendMessageW(Item(kCombo), CB_SETCURSEL, 0, 0);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = 90;
        column.pszText = const_cast<wchar_t*>(L"Number");
        ::SendMessageW(Item(kList), LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
        const wchar_t* const rows[] = {L"#777", L"*99#"};
        for (int i = 0; i < 2; ++i) {
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = i;
            item.pszText = const_cast<wchar_t*>(rows[i]);
            ::SendMessageW(Item(kList), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        }
        SYSTEMTIME time{2026, 3, 0, 14, 9, 30, 0, 0};
        ::SendMessageW(Item(kDate), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
        ::SendMessageW(Item(kSlider), TBM_SETRANGEMAX, FALSE, 100);
        ::SendMessageW(Item(kSlider), TBM_SETPOS, TRUE, 40);
        ::ShowWindow(dialog.m_hWnd, SW_SHOW);
        Settle();
    }
    POINT Centre(int id) const {
        RECT r{};
        ::GetWindowRect(Item(id), &r);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
};

TEST_F(SkinnedControls, EveryControlIsTakenOverByItsSkinnedClass) {
    EXPECT_NE(dynamic_cast<CDockingEdit*>(CWnd::FromHandlePermanent(Item(kField))), nullptr);
    EXPECT_NE(dynamic_cast<CDockingIPAddressCtrl*>(CWnd::FromHandlePermanent(Item(kIp))), nullptr);
    EXPECT_NE(dynamic_cast<CDockingComboBox*>(CWnd::FromHandlePermanent(Item(kCombo))), nullptr);
    EXPECT_NE(dynamic_cast<CDockingListCtrl*>(CWnd::FromHandlePermanent(Item(kList))), nullptr);
    EXPECT_NE(dynamic_cast<CDockingDateTimeCtrl*>(CWnd::FromHandlePermanent(Item(kDate))), nullptr);
    EXPECT_NE(dynamic_cast<CDockingGroupBox*>(CWnd::FromHandlePermanent(Item(kGroup))), nullptr);
    EXPECT_NE(dynamic_cast<CDockingSlider*>(CWnd::FromHandlePermanent(Item(kSlider))), nullptr);
}

TEST_F(SkinnedControls, AClickOnACheckBoxInsideAGroupBoxReachesIt) {
    RECT group{}, check{};
    ::GetWindowRect(Item(kGroup), &group);
    ::GetWindowRect(Item(kCheck), &check);
    const POINT at = Centre(kCheck);
    ASSERT_TRUE(at.x > group.left && at.x < group.right && at.y > group.top && at.y < group.bottom)
        << "the check box lies inside the group box";
    ASSERT_EQ(::SendMessageW(Item(kCheck), BM_GETCHECK, 0, 0), 0);
    ASSERT_TRUE(control::Click(at));
    Settle();
    EXPECT_EQ(::SendMessageW(Item(kCheck), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(SkinnedControls, TheComboBoxAndListRedrawThroughTheirCells) {
    struct Case {
        int id;
        std::function<void(HWND)> act;
    };
    const Case cases[] = {
        {kCombo,
         [](HWND combo) {
             HDC dc = ::GetDC(combo);
             EXPECT_EQ(::ReleaseDC(combo, dc), 1) << "taken back without the system";
         }},
        {kList,
         [](HWND list) { ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 25)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        auto* skin = dynamic_cast<CDockingDetoures*>(CWnd::FromHandlePermanent(Item(c.id)));
        ASSERT_NE(skin, nullptr);
        dialog_->draws.clear();
        c.act(Item(c.id));
        ASSERT_FALSE(dialog_->draws.empty());
        EXPECT_EQ(dialog_->draws.back().source, skin->GetDC()) << "the control's memory picture";
    }
}

// A modeless dialog that deletes itself when its window goes, and with it its skinned controls;
// it closes on one notification of one of its controls.
class SelfClosingDialog : public DrawLogDialog {
public:
    SelfClosingDialog(UINT message, UINT code, bool& deleted)
        : DrawLogDialog(kMain), message_(message), code_(code), deleted_(deleted) {}
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (message == message_ && CodeOf(message, wParam, lParam) == code_) {
            DestroyWindow();
            return TRUE;
        }
        return DrawLogDialog::OnWndMsg(message, wParam, lParam, result);
    }
    void PostNcDestroy() override {
        deleted_ = true;
        delete this;
    }

private:
    static UINT CodeOf(UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NOTIFY) return reinterpret_cast<const NMHDR*>(lParam)->code;
        return message == WM_COMMAND ? HIWORD(wParam) : LOWORD(wParam);
    }
    UINT message_, code_;
    bool& deleted_;
};

POINT ScreenPoint(HWND window, POINT client) {
    ::ClientToScreen(window, &client);
    return client;
}

TEST_F(SkinnedControls, AControlClosingItsSelfDeletingDialogIsNotTouchedAfterwards) {
    struct Case {
        const char* name;
        UINT message, code;
        std::function<void(HWND dialog)> act;
    };
    const Case cases[] = {
        {"check box click", WM_COMMAND, BN_CLICKED,
         [](HWND d) {
             control::Click(ScreenPoint(::GetDlgItem(d, kCheck), {5, 5}));
         }},
        {"check box double click", WM_COMMAND, BN_DOUBLECLICKED,
         [](HWND d) {
             control::DoubleClick(ScreenPoint(::GetDlgItem(d, kCheck), {5, 5}));
         }},
        {"list click", WM_NOTIFY, static_cast<UINT>(NM_CLICK),
         [](HWND d) {
             control::Click(ScreenPoint(::GetDlgItem(d, kList), {5, 25}));
         }},
        {"slider drag", WM_HSCROLL, TB_THUMBTRACK,
         [](HWND d) {
             HWND slider = ::GetDlgItem(d, kSlider);
             RECT thumb{};
             ::SendMessageW(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
             const POINT at = ScreenPoint(
                 slider, {(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2});
             control::MoveMouse(at);
             control::PressMouse();
             control::MoveMouse({at.x + 20, at.y});
             control::ReleaseMouse();
         }},
    };
    WaitRenderPoolIdle();
    dialog_.reset();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool deleted = false;
        auto* dialog = new SelfClosingDialog(c.message, c.code, deleted);
        Show(*dialog);
        const HWND window = dialog->m_hWnd;
        c.act(window);
        Settle();
        EXPECT_TRUE(deleted);
        EXPECT_FALSE(::IsWindow(window));
    }
}

// The screen's pixels along a row through the slider's track image (its band lies on rows 5 to 10
// of the content box, where the window lies) and its thumb.
std::vector<COLORREF> SliderPixels(HWND slider) {
    RECT r{};
    ::GetWindowRect(slider, &r);
    std::vector<COLORREF> out;
    for (int x = r.left; x < r.right; ++x) out.push_back(control::PixelAt(x, r.top + 7));
    return out;
}

TEST_F(SkinnedControls, TheSliderRedrawsItsCellWhenMovedOrHovered) {
    HWND slider = Item(kSlider);
    const auto at40 = SliderPixels(slider);
    ::SendMessageW(slider, TBM_SETPOS, TRUE, 80);
    Settle();
    const auto at80 = SliderPixels(slider);
    EXPECT_NE(at80, at40);
    // A key moves the thumb without a message the skin redraws on; the next mouse move shows it.
    ::SendMessageW(slider, WM_KEYDOWN, VK_END, 0);
    Settle();
    ASSERT_EQ(::SendMessageW(slider, TBM_GETPOS, 0, 0), 100);
    EXPECT_EQ(SliderPixels(slider), at80);
    ::SendMessageW(slider, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    Settle();
    EXPECT_NE(SliderPixels(slider), at80);
}

TEST_F(SkinnedControls, TheDialogLooksAsDesigned) {
    const std::filesystem::path pictures =
        std::filesystem::path(MODEM_SOURCE_DIR) / "build" / "debug" / "pictures";
    std::filesystem::create_directories(pictures);
    const std::string file = (pictures / "skinned_controls.png").string();
    ASSERT_TRUE(control::SaveWindowPng(dialog_->m_hWnd, file));
    cairo_surface_t* shot = cairo_image_surface_create_from_png(file.c_str());
    ASSERT_EQ(cairo_surface_status(shot), CAIRO_STATUS_SUCCESS);
    EXPECT_TRUE(golden::Matches(shot, "skinned_controls"));
    cairo_surface_destroy(shot);
}

}  // namespace
