// Skinned dialogs for tests: dialog templates with the children the layouts name, layout files
// written into the machine's skin folders, and a dialog class that counts what tests look for.
#pragma once

#include <memory>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "docking/cell.h"
#include "docking/dialog.h"
#include "docking/docking.h"
#include "docking/image_cache.h"
#include "docking/render_pool.h"
#include "machine/control/resources.h"
#include <afxwin.h>
#include <afxcmn.h>
#include "common/window_helper.h"

namespace skin_test {

constexpr UINT kMain = 7000;   // the main dialog's template (in the layout file table)
constexpr UINT kPage = 30100;  // a child page (in the table)
constexpr UINT kKeys = 555;    // not in the table: keyboard tests
constexpr int kEdit = 10;
constexpr int kMultiLine = 11;
constexpr int kClose = 803;
constexpr int kLogged = 7811;  // a child of the logging test class

inline const resources::ModuleResources& Templates() {
    static const resources::ModuleResources tables{
        {
            {kMain,
             WS_POPUP | WS_SYSMENU,
             0,
             0,
             0,
             200,
             120,
             L"Main",
             {{kClose, L"Button", L"Close", WS_VISIBLE | WS_TABSTOP, 0, 170, 2, 20, 10},
              {kLogged, L"TestWindow", L"", WS_VISIBLE, 0, 10, 80, 40, 12},
              {802, L"Button", L"Min", WS_VISIBLE, 0, 150, 2, 16, 10}}},
            {kPage,
             WS_CHILD,
             0,
             0,
             0,
             100,
             60,
             L"",
             {{30101, L"Static", L"Number", WS_VISIBLE, 0, 4, 4, 40, 10}}},
            {kKeys,
             WS_POPUP,
             0,
             0,
             0,
             200,
             100,
             L"Keys",
             {{kEdit, L"Edit", L"", WS_VISIBLE | WS_TABSTOP, 0, 10, 10, 80, 12},
              {kMultiLine, L"Edit", L"", WS_VISIBLE | WS_TABSTOP | ES_MULTILINE, 0, 10, 30, 80, 30},
              {IDOK, L"Button", L"OK", WS_VISIBLE | WS_TABSTOP, 0, 100, 80, 40, 14},
              {IDCANCEL, L"Button", L"Cancel", WS_VISIBLE | WS_TABSTOP, 0, 150, 80, 40, 14}}},
        },
        {},
        {},
    };
    return tables;
}

// Resources of one dialog: the pop-up kMain, "Main", of cx x cy dialog units holding the items.
inline resources::ModuleResources MainDialogOnly(short cx, short cy,
                                                 std::vector<resources::DialogItem> items) {
    return {{{kMain, WS_POPUP, 0, 0, 0, cx, cy, L"Main", std::move(items)}}, {}, {}};
}

// A skinned dialog that counts its WM_DESTROY, reload and OK/Cancel handlers.
class TestDialog : public System::Docking::Skin::CDockingDialog {
public:
    explicit TestDialog(UINT templateId, CWnd* parent = nullptr)
        : CDockingDialog(templateId, parent) {}
    int destroys = 0;
    int reloads = 0;
    int oks = 0;
    int cancels = 0;
    void OnDestroy() override {
        ++destroys;
        CDockingDialog::OnDestroy();
    }
    LRESULT OnDockingInitDocking(WPARAM wParam, LPARAM lParam) override {
        ++reloads;
        return CDockingDialog::OnDockingInitDocking(wParam, lParam);
    }
    void OnOK() override { ++oks; }
    void OnCancel() override { ++cancels; }
};

// What the root window is handed to copy (WM_DOCKING_DRAWCHILD): the source and the rectangle.
struct ChildDraw {
    HDC source;
    Gdiplus::Rect rect;
};

// A skinned dialog that logs the child pictures its window is handed.
class DrawLogDialog : public TestDialog {
public:
    using TestDialog::TestDialog;
    std::vector<ChildDraw> draws;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (message == System::Docking::WM_DOCKING_DRAWCHILD && wParam != 0) {
            const auto* r = reinterpret_cast<const System::Docking::DrawChildRecord*>(wParam);
            draws.push_back({r->source, Gdiplus::Rect(r->x, r->y, r->width, r->height)});
        }
        return TestDialog::OnWndMsg(message, wParam, lParam, result);
    }
};

class SkinTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        control::LinkResources(&Templates());
        ASSERT_TRUE(AfxWinInit(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOW));
    }
    // Renders still queued or running end before the test's dialogs do.
    void TearDown() override {
        System::Docking::WaitRenderPoolIdle();
        AfxDeleteTemporaryObjects();
    }

    // Writes a layout file of a skin; returns the full path the dialog would load.
    std::wstring WriteLayout(const std::wstring& skin, const std::wstring& file,
                             const std::string& xml) {
        const std::wstring machinePath =
            M().config().programFolder + L"skin\\" + skin + L"\\" + file;
        EXPECT_TRUE(M().WriteFile(machinePath, xml));
        return System::Docking::GetProgramFolder() + L"/skin/" + skin + L"/" + file;
    }
};

// A test around one skinned dialog of class D, made from the main template and shown.
template <class D>
class SkinDialogTest : public SkinTest {
protected:
    // Creates and shows the dialog, then lets its renders settle.
    void OpenDialog() {
        dialog_ = std::make_unique<D>(kMain);
        ASSERT_TRUE(dialog_->Create(kMain));
        ::ShowWindow(dialog_->m_hWnd, SW_SHOW);
        Settle();
    }
    void TearDown() override {
        System::Docking::WaitRenderPoolIdle();
        dialog_.reset();
        SkinTest::TearDown();
    }
    void Settle() {
        Drain();
        System::Docking::WaitRenderPoolIdle();
        Drain();
    }
    HWND Item(int id) const { return ::GetDlgItem(dialog_->m_hWnd, id); }
    std::unique_ptr<D> dialog_;
};

// "<root><docking ...>...</docking>...</root>"
inline std::string Layout(const std::string& dockings) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><root>" + dockings + "</root>";
}

}  // namespace skin_test
