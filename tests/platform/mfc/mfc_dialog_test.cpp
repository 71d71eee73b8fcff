// The framework's dialogs: the modal run with every message through the pre-translation chain,
// its ends (OK, Cancel, EndDialog during initialisation, WM_QUIT), and modeless child dialogs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "machine/control/resources.h"
#include <afxwin.h>
#include <afxcmn.h>
#include "common/window_helper.h"

namespace {

constexpr UINT kModal = 100;
constexpr UINT kPage = 200;
constexpr int kEditId = 10;

const resources::ModuleResources kTables{
    {
        {kModal,
         WS_POPUP | WS_CAPTION | WS_SYSMENU,
         0,
         0,
         0,
         200,
         100,
         L"Modal",
         {{kEditId, L"Edit", L"", WS_TABSTOP | WS_VISIBLE, 0, 10, 10, 80, 12}}},
        {kPage,
         WS_CHILD | WS_VISIBLE,
         0,
         5,
         5,
         100,
         50,
         L"",
         {{kEditId, L"Edit", L"", WS_TABSTOP | WS_VISIBLE, 0, 10, 10, 80, 12}}},
    },
    {},
    {},
};

// Each message the application's pre-translation saw: its window and message.
struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
};

class SeeingApp : public CWinApp {
public:
    std::vector<Seen> seen;
    BOOL PreTranslateMessage(MSG* msg) override {
        seen.push_back({msg->hwnd, msg->message, msg->wParam});
        return CWinApp::PreTranslateMessage(msg);
    }
};

class MfcDialogTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        control::LinkResources(&kTables);
        ASSERT_TRUE(AfxWinInit(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOW));
    }
    void TearDown() override { AfxDeleteTemporaryObjects(); }
};

// A modal dialog that posts itself messages while it initialises and, once shown, sends a key
// to its edit from a timer.
class Scripted : public CDialog {
public:
    UINT key = 0;
    bool endAtInit = false;
    bool quitAtTimer = false;
    bool visibleAtTimer = false;
    bool ownerEnabledAtTimer = true;
    HWND owner = nullptr;
    int initCalls = 0;
    explicit Scripted(CWnd* parent = nullptr) : CDialog(kModal, parent) {}
    BOOL OnInitDialog() override {
        ++initCalls;
        CDialog::OnInitDialog();
        if (endAtInit) {
            EndDialog(77);
            return TRUE;
        }
        PostMessage(WM_APP);
        ::PostMessageW(::GetDlgItem(m_hWnd, kEditId), WM_APP + 1, 0, 0);
        SetTimer(1, 100);
        return TRUE;
    }
    void OnTimer(UINT_PTR id) override {
        KillTimer(id);
        visibleAtTimer = IsWindowVisible() != FALSE;
        ownerEnabledAtTimer = owner == nullptr || ::IsWindowEnabled(owner);
        if (quitAtTimer) {
            ::PostQuitMessage(9);
            return;
        }
        ::PostMessageW(::GetDlgItem(m_hWnd, kEditId), WM_KEYDOWN, key, 0);
    }
};

TEST_F(MfcDialogTest, DoModalTakesEveryMessageThroughThePreTranslationChainUntilOkOrCancel) {
    struct Case {
        UINT key;
        INT_PTR result;
    };
    for (const Case& c : std::vector<Case>{{VK_RETURN, IDOK}, {VK_ESCAPE, IDCANCEL}}) {
        SCOPED_TRACE(c.key);
        SeeingApp app;
        CWnd main;
        ASSERT_TRUE(main.CreateEx(0, kTestClass, nullptr, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                  300, 300, nullptr, nullptr));
        app.m_pMainWnd = &main;
        Scripted dialog;
        dialog.key = c.key;
        dialog.owner = main.m_hWnd;
        EXPECT_EQ(dialog.DoModal(), c.result);

        EXPECT_EQ(dialog.initCalls, 1);
        EXPECT_TRUE(dialog.visibleAtTimer) << "shown once its queue ran dry";
        EXPECT_FALSE(dialog.ownerEnabledAtTimer) << "the owner (the main window) is disabled";
        EXPECT_TRUE(main.IsWindowEnabled());
        EXPECT_EQ(dialog.m_hWnd, nullptr) << "the window is gone after the run";
        std::vector<UINT> messages;
        for (const Seen& s : app.seen)
            if (s.message != WM_NULL && s.message != WM_PAINT) messages.push_back(s.message);
        EXPECT_EQ(messages, (std::vector<UINT>{WM_APP, WM_APP + 1, WM_TIMER, WM_KEYDOWN}));
        ASSERT_FALSE(app.seen.empty());
        EXPECT_EQ(app.seen.back().wParam, c.key) << "the key that ended it was seen last";
        app.m_pMainWnd = nullptr;
    }
}

TEST_F(MfcDialogTest, EndDialogDuringInitialisationEndsTheRunBeforeTheDialogShows) {
    SeeingApp app;
    Scripted dialog;
    dialog.endAtInit = true;
    EXPECT_EQ(dialog.DoModal(), 77);
    EXPECT_EQ(dialog.initCalls, 1);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_EQ(Messages({WM_SHOWWINDOW}), std::vector<UINT>{}) << "never shown";
}

TEST_F(MfcDialogTest, QuitEndsTheRunAndIsPostedAgainForTheOuterLoop) {
    SeeingApp app;
    Scripted dialog;
    dialog.quitAtTimer = true;
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 9u);
}

TEST_F(MfcDialogTest, AMissingTemplateFailsAndLeavesTheOwnerEnabled) {
    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, kTestClass, nullptr, WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr,
                               nullptr));
    CDialog missing(999, &owner);
    EXPECT_EQ(missing.DoModal(), -1);
    EXPECT_TRUE(owner.IsWindowEnabled());
    EXPECT_FALSE(missing.Create(999, &owner));
    EXPECT_EQ(missing.m_hWnd, nullptr);
}

// A modal dialog run by the main dialog: its owner is the main dialog.
class Nested : public CDialog {
public:
    HWND parentAtInit = nullptr;
    bool mainEnabledAtInit = true;
    Nested() : CDialog(kModal) {}
    BOOL OnInitDialog() override {
        parentAtInit = ::GetParent(m_hWnd);
        CWnd* main = AfxGetMainWnd();
        mainEnabledAtInit = main->IsWindowEnabled() != FALSE;
        EndDialog(IDOK);
        return TRUE;
    }
};

class Main : public CDialog {
public:
    Nested about;
    INT_PTR aboutResult = 0;
    Main() : CDialog(kModal) {}
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        PostMessage(WM_APP);
        return TRUE;
    }
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (message == WM_APP) {
            aboutResult = about.DoModal();
            EndDialog(IDCANCEL);
            *result = 0;
            return TRUE;
        }
        return CDialog::OnWndMsg(message, wParam, lParam, result);
    }
};

TEST_F(MfcDialogTest, ADialogRunFromTheMainDialogIsOwnedByIt) {
    CWinApp app;
    Main main;
    app.m_pMainWnd = &main;
    EXPECT_EQ(main.DoModal(), IDCANCEL);
    EXPECT_EQ(main.aboutResult, IDOK);
    EXPECT_NE(main.about.parentAtInit, nullptr);
    EXPECT_FALSE(main.about.mainEnabledAtInit);
    EXPECT_EQ(app.m_pMainWnd, nullptr) << "the main window's end clears it";
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        << "the main window's end posts WM_QUIT";
}

// A settings page: a modeless child dialog.
class Page : public CDialog {
public:
    int inits = 0;
    std::vector<UINT> commands;
    BOOL OnInitDialog() override {
        ++inits;
        return CDialog::OnInitDialog();
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        if (HIWORD(wParam) == BN_CLICKED) commands.push_back(LOWORD(wParam));
        return CDialog::OnCommand(wParam, lParam);
    }
};

TEST_F(MfcDialogTest, CreateMakesAModelessChildOfTheParentThatTakesItsDialogKeys) {
    CWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, kTestClass, nullptr, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400,
                                300, nullptr, nullptr));
    Page page;
    ASSERT_TRUE(page.Create(kPage, &parent));
    EXPECT_FALSE(page.Create(kPage, &parent)) << "bound already";
    EXPECT_EQ(page.inits, 1);
    EXPECT_EQ(::GetParent(page.m_hWnd), parent.m_hWnd);
    EXPECT_TRUE(page.GetStyle() & WS_CHILD);
    EXPECT_TRUE(page.IsWindowVisible());
    EXPECT_EQ(CWnd::FromHandlePermanent(page.m_hWnd), &page);
    CWnd* edit = page.GetDlgItem(kEditId);
    ASSERT_NE(edit, nullptr);

    // Escape typed in the page's edit, taken by the application's loop.
    CWinApp app;
    app.m_pMainWnd = &parent;
    edit->PostMessage(WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(app.PumpMessage());
    EXPECT_EQ(page.commands, std::vector<UINT>{IDCANCEL});
    EXPECT_FALSE(page.IsWindowVisible()) << "OnCancel ended the page";
    app.m_pMainWnd = nullptr;

    HWND pageWindow = page.m_hWnd;
    EXPECT_TRUE(parent.DestroyWindow());
    EXPECT_FALSE(::IsWindow(pageWindow));
    EXPECT_EQ(page.m_hWnd, nullptr) << "the page's object is unbound with its window";
}

}  // namespace
