// The skinned dialog: loading its layout from the skin, the controls it makes, the frame areas,
// the keys it filters, tooltips of disabled controls, skin switches and its end.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "docking/controls.h"
#include "docking/loader.h"
#include "docking/messages.h"
#include "docking/registry.h"
#include "docking/render_pool.h"
#include "docking/skin.h"
#include "docking/skin_window.h"
#include <commctrl.h>
#include "machine/control/input.h"
#include "machine/control/tooltips.h"
#include <winuser.h>
#include "skin_helper.h"

using namespace System::Docking;
using namespace System::Docking::Skin;
using namespace skin_test;

namespace {

const char* const kMainLayout = R"(<docking id="main" background="#E0E0E0">
    <cell index="00" id="titleText" height="24"/>
    <cell index="02" handle="id:IDC_BUTTON_CLOSE;class:Button" width="30"/>
    <cell index="11" id="page"/>
    <cell index="22" id="bottomRightBorder" width="8" height="8"/>
  </docking>)";

const char* const kPageLayout = R"(<docking id="pageRoot">
    <cell index="01" id="pageTitle" child="bar" height="20"/>
  </docking>
  <docking id="bar"><cell index="11" id="titleText"/></docking>)";

class Dialog : public SkinTest {
protected:
    void WriteDefaultSkin() {
        WriteLayout(L"default", L"NetConnectDialog.xml", Layout(kMainLayout));
        WriteLayout(L"default", L"DialSettingDlg.xml", Layout(kPageLayout));
    }
};

TEST_F(Dialog, InitialisationLoadsTheLayoutOfTheCurrentSkinAndMakesItsControls) {
    WriteDefaultSkin();
    TestDialog dialog(kMain);
    ASSERT_TRUE(dialog.Create(kMain));
    EXPECT_FALSE(WindowNeedsDocking(dialog.m_hWnd));
    EXPECT_EQ(dialog.Docking().id.Ref(), L"main");
    EXPECT_EQ(dialog.Docking().handle.Ref(), dialog.m_hWnd);
    ASSERT_EQ(dialog.Controls().size(), 1u);
    EXPECT_NE(::IsWindow(dialog.ToolTip().m_hWnd), FALSE);
    RECT client{};
    ::GetClientRect(dialog.m_hWnd, &client);
    EXPECT_EQ(dialog.Docking().GetBounds().Width, client.right) << "fitted to the client area";
    EXPECT_EQ(::SendMessageW(dialog.m_hWnd, WM_DOCKING_GETOBJECT, 0, 0),
              reinterpret_cast<LRESULT>(static_cast<CWnd*>(&dialog)));
}

TEST_F(Dialog, ALayoutThatCannotLoadLeavesTheDialogEmptyAndWritesTheDebugText) {
    TestDialog dialog(kKeys);  // no layout file for this template
    ASSERT_TRUE(dialog.Create(kKeys));
    EXPECT_EQ(dialog.GetLayoutFile(), L"skin/default/");
    EXPECT_FALSE(WindowNeedsDocking(dialog.m_hWnd)) << "bound all the same";
    EXPECT_FALSE(DebugLines(L"[DockingDialog] [OnInitDialog] Exception").empty());
    EXPECT_EQ(dialog.Docking().id.Ref(), L"");
}

TEST_F(Dialog, TheLayoutFileComesFromTheCurrentSkinElseFromTheDefault) {
    WriteDefaultSkin();
    WriteLayout(L"blue", L"NetConnectDialog.xml", Layout("<docking/>"));
    TestDialog dialog(kPage);
    struct {
        const wchar_t* skin;
        const wchar_t* path;
    } cases[] = {{L"default", L"skin/default/DialSettingDlg.xml"},
                 {L"blue", L"skin/default/DialSettingDlg.xml"},  // blue lacks this file
                 {L"..", L"skin/default/DialSettingDlg.xml"},
                 {L"..\\..\\Windows", L"skin/default/DialSettingDlg.xml"}};
    for (const auto& c : cases) {
        ApplySkin(c.skin);
        EXPECT_EQ(dialog.GetLayoutFile(), c.path) << c.skin;
    }
    TestDialog main(kMain);
    ApplySkin(L"blue");
    EXPECT_EQ(main.GetLayoutFile(), L"skin/blue/NetConnectDialog.xml");
}

TEST(SkinNames, AreFolderNamesNeverPaths) {
    struct {
        std::wstring name;
        bool folder;
    } cases[] = {{L"default", true},
                 {L"Blue Sky", true},
                 {L"a.b", true},
                 {L"", false},
                 {L"..", false},
                 {L"a..b", false},
                 {L"a/b", false},
                 {L"a\\b", false},
                 {L"C:", false},
                 {L"..\\x", false},
                 {std::wstring(L"a\0b", 3), false}};
    for (const auto& c : cases) EXPECT_EQ(IsSkinFolderName(c.name), c.folder) << c.name;
}

TEST_F(Dialog, ASkinNameThatIsAPathMakesTheDefaultSkinCurrent) {
    ApplySkin(L"..\\..\\secrets");
    EXPECT_EQ(GetCurrentSkin(), L"default");
    ApplySkin(L"blue");
    EXPECT_EQ(GetCurrentSkin(), L"blue");
}

// ---- Controls ----

TEST_F(Dialog, CreatingTheSameControlTwiceGivesOneObject) {
    TestDialog dialog(kKeys);
    ASSERT_TRUE(dialog.Create(kMain));
    const HWND close = ::GetDlgItem(dialog.m_hWnd, kClose);
    auto create = [&](const wchar_t* name, const wchar_t* key) {
        return reinterpret_cast<HWND>(::SendMessageW(dialog.m_hWnd, WM_DOCKING_CREATECONTROL,
                                                     reinterpret_cast<WPARAM>(name),
                                                     reinterpret_cast<LPARAM>(key)));
    };
    EXPECT_EQ(create(L"IDC_BUTTON_CLOSE", L"Button"), close);
    CWnd* first = dialog.Controls().at(L"IDC_BUTTON_CLOSE");
    EXPECT_EQ(create(L"IDC_BUTTON_CLOSE", L"Button"), close);
    EXPECT_EQ(create(L"803", L"Static"), close) << "a child with an object is returned unchanged";
    EXPECT_EQ(dialog.Controls().size(), 1u);
    EXPECT_EQ(dialog.Controls().at(L"IDC_BUTTON_CLOSE"), first);
    EXPECT_EQ(CWnd::FromHandlePermanent(close), first);

    EXPECT_EQ(create(L"802", L"NoSuchClass"), ::GetDlgItem(dialog.m_hWnd, 802));
    EXPECT_EQ(create(L"802", L""), ::GetDlgItem(dialog.m_hWnd, 802));
    EXPECT_EQ(dialog.Controls().size(), 1u);
    EXPECT_EQ(create(nullptr, nullptr), nullptr);
}

TEST_F(Dialog, SkinObjectsAreOnlyThePermanentObjectsOfTheirWindows) {
    TestDialog dialog(kKeys);
    ASSERT_TRUE(dialog.Create(kMain));
    EXPECT_EQ(SkinObjectOf<CDockingDialog>(dialog.m_hWnd), &dialog);
    // A window answering the message with some value is no object.
    const HWND liar = MakeWindow(WS_OVERLAPPED);
    Answers() = [&](HWND w, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (w == liar && m == WM_DOCKING_GETOBJECT) return reinterpret_cast<LRESULT>(&dialog);
        return std::nullopt;
    };
    EXPECT_EQ(SkinWindowObjectOf(liar), nullptr);
    EXPECT_EQ(SkinWindowObjectOf(::GetDlgItem(dialog.m_hWnd, kClose)), nullptr);
    EXPECT_EQ(SkinWindowObjectOf(nullptr), nullptr);
    Answers() = nullptr;
}

// ---- Frame areas ----

TEST_F(Dialog, FrameHitTestTakesTheFirstCellContainingThePointAndWalksNestedDockings) {
    CDocking docking(nullptr);
    docking.Cell(0, 0).height.Assign(20);
    docking.Cell(0, 0).width.Assign(50);
    docking.Cell(0, 2).width.Assign(10);
    docking.Cell(0, 0).id.Assign(L"titleText");
    docking.Cell(2, 2).id.Assign(L"bottomRightBorder");
    docking.Cell(2, 2).height.Assign(10);
    docking.Cell(1, 1).id.Assign(L"TitleText");  // case matters
    CDocking* nested = docking.Cell(0, 1).child.Read();
    nested->Cell(1, 0).width.Assign(10);
    nested->Cell(1, 0).id.Assign(L"leftBorder");
    docking.SetBounds({0, 0, 200, 100});
    struct {
        POINT p;
        int code;
    } cases[] = {{{5, 5}, HTCAPTION},        {{49, 19}, HTCAPTION}, {{50, 5}, HTLEFT},
                 {{59, 19}, HTLEFT},         {{60, 5}, 0},          {{100, 50}, 0},
                 {{195, 95}, HTBOTTOMRIGHT}, {{250, 5}, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(FrameHitTest(docking, c.p), c.code) << c.p.x << "," << c.p.y;
    docking.id.Assign(L"topBorder");
    EXPECT_EQ(FrameHitTest(docking, {100, 50}), HTTOP);
    EXPECT_EQ(FrameAreaTable().size(), 9u);
}

// A root dialog that records the frame request instead of starting the move.
class RecordingRoot : public TestDialog {
public:
    using TestDialog::TestDialog;
    std::vector<std::pair<WPARAM, LPARAM>> requests;
    bool record = true;
    HCURSOR cursorWhileLoading = nullptr;
    void InitDocking() override {
        cursorWhileLoading = control::CurrentCursor();
        TestDialog::InitDocking();
    }
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (message == WM_NCLBUTTONDOWN && record) {
            requests.emplace_back(wParam, lParam);
            return TRUE;
        }
        return TestDialog::OnWndMsg(message, wParam, lParam, result);
    }
};

class NestedDialog : public Dialog {
protected:
    void SetUp() override {
        Dialog::SetUp();
        WriteDefaultSkin();
        root_ = std::make_unique<RecordingRoot>(kMain);
        page_ = std::make_unique<TestDialog>(kPage, root_.get());
        ASSERT_TRUE(root_->Create(kMain));
        ASSERT_TRUE(page_->Create(kPage, root_.get()));
        root_->AttachCellWindow(L"page", page_->m_hWnd, true);
        ::ShowWindow(root_->m_hWnd, SW_SHOW);
        ::ShowWindow(page_->m_hWnd, SW_SHOW);
    }
    void TearDown() override {
        Dialog::TearDown();
        page_.reset();
        root_.reset();
    }
    std::unique_ptr<RecordingRoot> root_;
    std::unique_ptr<TestDialog> page_;
};

TEST_F(NestedDialog, APageSitsInItsCellAndSharesTheRootsTree) {
    EXPECT_EQ(FindRenderableByWindow(page_->m_hWnd), FindRenderableById(L"page"));
    EXPECT_EQ(page_->Docking().root.Read(), &root_->Docking());
}

TEST_F(NestedDialog, ATitleClickInANestedDialogAsksTheRootWindowToMove) {
    RECT pageRect{}, rootRect{};
    ::GetWindowRect(page_->m_hWnd, &pageRect);
    ::GetWindowRect(root_->m_hWnd, &rootRect);
    // The page's "titleText" sits in its nested docking "bar" of cell 00.
    const Gdiplus::Rect title = page_->Docking().Cell(0, 1).child.Value()->Cell(1, 1).GetBounds();
    ASSERT_GT(title.Width, 0);
    // A nested tree's bounds are in the root window's coordinates; the click comes in the
    // page's own.
    const POINT click{title.X + 1 - (pageRect.left - rootRect.left),
                      title.Y + 1 - (pageRect.top - rootRect.top)};
    ::SendMessageW(page_->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(click.x, click.y));
    ASSERT_EQ(root_->requests.size(), 1u);
    EXPECT_EQ(root_->requests[0].first, static_cast<WPARAM>(HTCAPTION));
    EXPECT_EQ(root_->requests[0].second, MAKELPARAM(title.X + 1, title.Y + 1))
        << "in the root window's coordinates";

    ::SendMessageW(page_->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(0, 59));
    EXPECT_EQ(root_->requests.size(), 1u) << "no frame area there";
}

TEST_F(NestedDialog, DraggingANestedTitleMovesTheTopLevelWindowWithoutAJump) {
    root_->record = false;
    RECT before{};
    ::GetWindowRect(root_->m_hWnd, &before);
    const Gdiplus::Rect title = page_->Docking().Cell(0, 1).child.Value()->Cell(1, 1).GetBounds();
    POINT start{title.X + 2, title.Y + 2};
    ::ClientToScreen(root_->m_hWnd, &start);
    control::MoveMouse(start);
    control::PressMouse();
    control::MoveMouse({start.x + 30, start.y + 20});
    control::ReleaseMouse();
    Drain();
    RECT after{};
    ::GetWindowRect(root_->m_hWnd, &after);
    EXPECT_EQ(after.left - before.left, 30);
    EXPECT_EQ(after.top - before.top, 20);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
}

// ---- Anchors ----

TEST_F(NestedDialog, ShowingAnAnchoredDialogPutsItInItsAnchorCell) {
    TestDialog floating(kKeys);
    ASSERT_TRUE(floating.Create(kKeys));
    floating.Docking().anchor.Assign(L"page");
    floating.ShowWindow(floating.m_hWnd, SW_HIDE);
    EXPECT_EQ(FindRenderableByWindow(page_->m_hWnd), FindRenderableById(L"page"))
        << "hiding does not move it in";
    EXPECT_TRUE(floating.ShowWindow(floating.m_hWnd, SW_SHOW) == FALSE) << "was hidden";
    EXPECT_EQ(FindRenderableByWindow(floating.m_hWnd), FindRenderableById(L"page"));
    EXPECT_NE(::IsWindowVisible(floating.m_hWnd), FALSE);
    WaitRenderPoolIdle();
}

// Counts the real ShowWindow's WM_SHOWWINDOW.
class CountingShows : public TestDialog {
public:
    using TestDialog::TestDialog;
    int shows = 0;
    void OnShowWindow(BOOL show, UINT status) override {
        ++shows;
        TestDialog::OnShowWindow(show, status);
    }
};

TEST_F(NestedDialog, TheHookedShowWindowReachesTheRealFunctionOnceAndRebindsTheAnchor) {
    CountingShows floating(kKeys);
    ASSERT_TRUE(floating.Create(kKeys));
    floating.Docking().anchor.Assign(L"page");
    // Any caller of the public function reaches the dialog's own ShowWindow through the hook.
    EXPECT_EQ(::ShowWindow(floating.m_hWnd, SW_SHOW), FALSE) << "the real result: was hidden";
    EXPECT_EQ(floating.shows, 1);
    EXPECT_NE(::IsWindowVisible(floating.m_hWnd), FALSE);
    EXPECT_EQ(FindRenderableByWindow(floating.m_hWnd), FindRenderableById(L"page"));
    EXPECT_EQ(::ShowWindow(floating.m_hWnd, SW_SHOW), TRUE);
    EXPECT_EQ(floating.shows, 1) << "already visible: no second WM_SHOWWINDOW";
    WaitRenderPoolIdle();
}

// ---- Skin switches ----

TEST_F(NestedDialog, ASkinSwitchReloadsOnlyRootsAndRebindsNestedDialogsInTheirCells) {
    WriteLayout(L"blue", L"NetConnectDialog.xml",
                Layout(R"(<docking id="blueMain"><cell index="21" id="page"/></docking>)"));
    WriteLayout(L"blue", L"DialSettingDlg.xml", Layout(R"(<docking id="bluePage"/>)"));
    Drain();
    root_->reloads = 0;
    page_->reloads = 0;

    const HCURSOR before = control::CurrentCursor();
    ApplySkin(L"blue");
    EXPECT_TRUE(WindowNeedsDocking(root_->m_hWnd));
    EXPECT_TRUE(WindowNeedsDocking(page_->m_hWnd));
    Drain();
    EXPECT_EQ(root_->reloads, 1);
    EXPECT_EQ(page_->reloads, 0);
    // The top-level root reloads under the wait cursor, and the cursor comes back afterwards.
    EXPECT_EQ(root_->cursorWhileLoading, ::LoadCursorW(nullptr, IDC_WAIT));
    EXPECT_EQ(control::CurrentCursor(), before);
    EXPECT_EQ(root_->Docking().id.Ref(), L"blueMain");
    EXPECT_EQ(FindRenderableByWindow(page_->m_hWnd), &root_->Docking().Cell(2, 1));
    EXPECT_FALSE(WindowNeedsDocking(page_->m_hWnd)) << "bound again when its cell placed it";
    EXPECT_EQ(page_->Docking().id.Ref(), L"bluePage");
}

TEST_F(Dialog, ApplySkinAfterADialogWasDestroyed) {
    WriteDefaultSkin();
    auto dialog = std::make_unique<TestDialog>(kMain);
    ASSERT_TRUE(dialog->Create(kMain));
    const HWND gone = dialog->m_hWnd;
    dialog->DestroyWindow();
    EXPECT_FALSE(HasWindowDocking(gone));
    ApplySkin(L"blue");
    Drain();
    dialog.reset();
    ApplySkin(L"default");
    Drain();
    EXPECT_EQ(dialog.get(), nullptr);
}

// ---- The end of a dialog ----

TEST_F(Dialog, DestroyingTheWindowRunsDerivedDestroyHandlers) {
    WriteDefaultSkin();
    TestDialog dialog(kMain);
    ASSERT_TRUE(dialog.Create(kMain));
    const HWND tooltip = dialog.ToolTip().m_hWnd;
    dialog.DestroyWindow();
    EXPECT_EQ(dialog.destroys, 1);
    EXPECT_FALSE(::IsWindow(tooltip));
}

TEST_F(Dialog, DeletingTheObjectWhileItsWindowLivesDestroysTheWindowFirst) {
    WriteDefaultSkin();
    auto* dialog = new TestDialog(kMain);
    ASSERT_TRUE(dialog->Create(kMain));
    const HWND window = dialog->m_hWnd;
    const HWND close = ::GetDlgItem(window, kClose);
    ASSERT_NE(CWnd::FromHandlePermanent(close), nullptr);
    delete dialog;  // the sanitizers check that nothing reaches freed objects
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_FALSE(::IsWindow(close));
    EXPECT_FALSE(HasWindowDocking(window));
    EXPECT_EQ(FindRenderableByWindow(window), nullptr);
    ApplySkin(L"blue");
    Drain();
}

// ---- Keys ----

struct KeyCase {
    const char* name;
    int focus;  // the control the key is for
    UINT key;
    int disabled;  // a button disabled (0: none)
    int removed;   // a button destroyed (0: none)
    BOOL result;
    int oks, cancels;
};
void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << c.name;
}

class Keys : public Dialog, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(Keys, EscAndEnterNeedTheirEnabledButton) {
    const KeyCase& c = GetParam();
    TestDialog dialog(kKeys);
    ASSERT_TRUE(dialog.Create(kKeys));
    if (c.disabled) ::EnableWindow(::GetDlgItem(dialog.m_hWnd, c.disabled), FALSE);
    if (c.removed) ::DestroyWindow(::GetDlgItem(dialog.m_hWnd, c.removed));
    HWND focus = ::GetDlgItem(dialog.m_hWnd, c.focus);
    ::SetFocus(focus);
    MSG msg{focus, WM_KEYDOWN, c.key, 0, 0, {}};
    EXPECT_EQ(dialog.PreTranslateMessage(&msg), c.result);
    EXPECT_EQ(dialog.oks, c.oks);
    EXPECT_EQ(dialog.cancels, c.cancels);
}

INSTANTIATE_TEST_SUITE_P(
    Filter, Keys,
    ::testing::Values(KeyCase{"esc in an edit", kEdit, VK_ESCAPE, 0, 0, TRUE, 0, 1},
                      KeyCase{"esc without cancel", kEdit, VK_ESCAPE, 0, IDCANCEL, FALSE, 0, 0},
                      KeyCase{"esc with cancel disabled", kEdit, VK_ESCAPE, IDCANCEL, 0, FALSE, 0,
                              0},
                      KeyCase{"enter in an edit", kEdit, VK_RETURN, 0, 0, TRUE, 1, 0},
                      KeyCase{"enter with ok disabled", kEdit, VK_RETURN, IDOK, 0, FALSE, 0, 0},
                      KeyCase{"enter without ok", kEdit, VK_RETURN, 0, IDOK, FALSE, 0, 0},
                      KeyCase{"esc in a multi-line edit", kMultiLine, VK_ESCAPE, 0, 0, TRUE, 0, 1},
                      KeyCase{"esc in a multi-line edit without cancel", kMultiLine, VK_ESCAPE, 0,
                              IDCANCEL, FALSE, 0, 0},
                      // The dialog manager takes Enter there for the default button.
                      KeyCase{"enter in a multi-line edit without ok", kMultiLine, VK_RETURN, 0,
                              IDOK, TRUE, 1, 0}),
    [](const auto& info) { return std::to_string(info.index); });

// ---- Tooltips of disabled controls ----

TEST_F(Dialog, ADisabledControlGetsItsTooltipAndLeavesTheMapOnceEnabled) {
    TestDialog dialog(kKeys);
    ASSERT_TRUE(dialog.Create(kMain));
    ::ShowWindow(dialog.m_hWnd, SW_SHOW);
    CWnd* button = CWnd::FromHandle(::GetDlgItem(dialog.m_hWnd, kClose));
    ASSERT_TRUE(dialog.ToolTip().AddTool(button, L"Close the window"));
    dialog.ToolTip().SetDelayTime(TTDT_INITIAL, 100);
    ::EnableWindow(button->m_hWnd, FALSE);
    dialog.AddDisabledTool(button);

    RECT r{};
    ::GetWindowRect(button->m_hWnd, &r);
    control::MoveMouse({r.left + 3, r.top + 3});
    // A disabled window gets no mouse input: the move arrives for the dialog.
    MSG move{dialog.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1), 0, {r.left + 3, r.top + 3}};
    dialog.PreTranslateMessage(&move);
    ::SetTimer(nullptr, 0, 200, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
        if (msg.message == WM_TIMER && msg.hwnd == nullptr) break;
    }
    auto shown = control::ShownTooltip();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->text, L"Close the window");
    EXPECT_EQ(dialog.DisabledTools().size(), 1u);

    ::EnableWindow(button->m_hWnd, TRUE);
    MSG again{button->m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3), 0, {r.left + 3, r.top + 3}};
    dialog.PreTranslateMessage(&again);
    EXPECT_TRUE(dialog.DisabledTools().empty());
}

}  // namespace
