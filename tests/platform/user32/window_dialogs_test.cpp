// Dialogs: windows from templates, the dialog procedure, the modal loop, the dialog keys, and the
// windows the machine itself runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "machine/control/input.h"
#include "machine/control/resources.h"
#include "machine/control/windows.h"
#include "machine/boxes.h"
#include "machine/waits.h"
#include <winuser.h>
#include "common/window_helper.h"

namespace {

constexpr DWORD kTab = WS_TABSTOP | WS_VISIBLE;

// Dialog 200: the controls are of the test class (they log, and tests answer WM_GETDLGCODE).
const resources::ModuleResources kTables{
    {
        {200,
         WS_POPUP | WS_CAPTION,
         0,
         10,
         20,
         100,
         50,
         L"Settings",
         {
             {11, L"TestWindow", L"first", kTab, 0, 4, 8, 40, 14},
             {12, L"TestWindow", L"hidden", WS_TABSTOP, 0, 4, 24, 40, 14},
             {13, L"TestWindow", L"plain", WS_VISIBLE, 0, 50, 8, 40, 14},
             {14, L"TestWindow", L"disabled", kTab | WS_DISABLED, 0, 50, 24, 40, 14},
             {15, L"TestWindow", L"last", kTab, 0, 50, 36, 40, 10},
         }},
        {201, WS_POPUP | WS_VISIBLE, 0, 0, 0, 80, 40, L"Shown", {{21, L"TestWindow", L"", kTab}}},
        {202, WS_POPUP, 0, 0, 0, 80, 40, L"Broken", {{31, L"NoSuchClass", L"", kTab}}},
        {203,
         WS_POPUP,
         0,
         0,
         0,
         80,
         40,
         L"Keys",
         {{IDOK, L"TestWindow", L"OK", kTab},
          {IDCANCEL, L"TestWindow", L"Cancel", kTab},
          {41, L"TestWindow", L"edit", kTab}}},
        {204, WS_CHILD | WS_VISIBLE, 0, 2, 4, 80, 40, L"", {}},
    },
    {},
    {},
};

struct DlgCall {
    HWND dialog;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
SharedLog<DlgCall>& DlgLog() {
    static SharedLog<DlgCall> log;
    return log;
}
// Set by a test: the dialog procedure's answer (nothing: FALSE).
std::function<std::optional<INT_PTR>(HWND, UINT, WPARAM, LPARAM)>& DlgAnswers() {
    static std::function<std::optional<INT_PTR>(HWND, UINT, WPARAM, LPARAM)> answer;
    return answer;
}

INT_PTR CALLBACK TestDialogProc(HWND d, UINT m, WPARAM wp, LPARAM lp) {
    DlgLog().Add({d, m, wp, lp});
    if (DlgAnswers())
        if (auto r = DlgAnswers()(d, m, wp, lp)) return *r;
    return FALSE;
}

std::vector<DlgCall> DlgCalls(UINT message) {
    std::vector<DlgCall> out;
    for (const DlgCall& c : DlgLog().Items())
        if (c.message == message) out.push_back(c);
    return out;
}

// The ids of the WM_COMMANDs the dialog procedure got.
std::vector<int> Commands() {
    std::vector<int> out;
    for (const DlgCall& c : DlgCalls(WM_COMMAND)) out.push_back(LOWORD(c.wParam));
    return out;
}

class DialogTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        control::LinkResources(&kTables);
        DlgLog().Clear();
        DlgAnswers() = nullptr;
    }
    static HWND Make(int id, HWND parent = nullptr, LPARAM init = 0) {
        return CreateDialogParamW(nullptr, MAKEINTRESOURCEW(id), parent, TestDialogProc, init);
    }
    // Posts the key (with Shift held around it when asked) to the window and runs the queue
    // through the dialog's key handling.
    static void Press(HWND dialog, HWND target, WPARAM key, bool shift = false) {
        if (shift) {  // as typed: the thread's key state follows the keys it takes
            control::KeyDown(VK_SHIFT);
            control::KeyDown(static_cast<UINT>(key));
            control::KeyUp(static_cast<UINT>(key));
            control::KeyUp(VK_SHIFT);
        } else {
            PostMessageW(target, WM_KEYDOWN, key, 0);
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            if (!IsDialogMessageW(dialog, &msg)) DispatchMessageW(&msg);
    }
};

TEST_F(DialogTest, TemplateUnitsBecomePixelsThroughTheFixedBaseUnits) {
    EXPECT_EQ(GetDialogBaseUnits(), MAKELPARAM(6, 13));
    HWND dialog = Make(200);
    ASSERT_NE(dialog, nullptr);
    struct Case {
        RECT units;
        RECT pixels;
    };
    const Case cases[] = {
        {{0, 0, 4, 8}, {0, 0, 6, 13}},
        {{1, 1, 3, 3}, {2, 2, 5, 5}},  // 1.5 -> 2, 1.625 -> 2, 4.5 -> 5, 4.875 -> 5
        {{10, 20, 110, 70}, {15, 33, 165, 114}},
        {{-1, -1, 0, 0}, {-2, -2, 0, 0}},
    };
    for (const Case& c : cases) {
        RECT r = c.units;
        ASSERT_TRUE(MapDialogRect(dialog, &r));
        EXPECT_EQ(r.left, c.pixels.left);
        EXPECT_EQ(r.top, c.pixels.top);
        EXPECT_EQ(r.right, c.pixels.right);
        EXPECT_EQ(r.bottom, c.pixels.bottom);
    }
    RECT r{};
    EXPECT_FALSE(MapDialogRect(nullptr, &r));
}

TEST_F(DialogTest, TheDialogAndItsControlsStandWhereTheTemplateSays) {
    HWND dialog = Make(200);
    ASSERT_NE(dialog, nullptr);
    wchar_t name[16];
    GetClassNameW(dialog, name, 16);
    EXPECT_STREQ(name, L"#32770");
    GetWindowTextW(dialog, name, 16);
    EXPECT_STREQ(name, L"Settings");
    // The template is the client area (15, 33) 150 x 81; the window adds a dialog frame of 3 and
    // a caption of 18.
    RECT window{}, client{};
    GetWindowRect(dialog, &window);
    GetClientRect(dialog, &client);
    EXPECT_EQ(window.left, 12);
    EXPECT_EQ(window.top, 12);
    EXPECT_EQ(window.right, 168);
    EXPECT_EQ(window.bottom, 117);
    EXPECT_EQ(client.right, 150);
    EXPECT_EQ(client.bottom, 81);

    struct Item {
        int id;
        RECT screen;  // the dialog's client area starts at (15, 33)
        bool visible;
    };
    const Item items[] = {
        {11, {15 + 6, 33 + 13, 15 + 66, 33 + 36}, true},
        {12, {15 + 6, 33 + 39, 15 + 66, 33 + 62}, false},
        {13, {15 + 75, 33 + 13, 15 + 135, 33 + 36}, true},
        {15, {15 + 75, 33 + 59, 15 + 135, 33 + 75}, true},
    };
    for (const Item& it : items) {
        HWND control = GetDlgItem(dialog, it.id);
        ASSERT_NE(control, nullptr) << it.id;
        EXPECT_EQ(GetDlgCtrlID(control), it.id);
        EXPECT_EQ(GetParent(control), dialog);
        EXPECT_TRUE(GetWindowLongPtrW(control, GWL_STYLE) & WS_CHILD);
        EXPECT_EQ(IsWindowVisible(control) != FALSE, false) << "the dialog itself is hidden";
        EXPECT_EQ((GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0, it.visible);
        RECT r{};
        GetWindowRect(control, &r);
        EXPECT_EQ(r.left, it.screen.left) << it.id;
        EXPECT_EQ(r.top, it.screen.top) << it.id;
        EXPECT_EQ(r.right, it.screen.right) << it.id;
        EXPECT_EQ(r.bottom, it.screen.bottom) << it.id;
    }
    std::vector<int> zOrder;  // the first item on top
    for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
        zOrder.push_back(GetDlgCtrlID(c));
    EXPECT_EQ(zOrder, (std::vector<int>{11, 12, 13, 14, 15}));
    EXPECT_TRUE(GetWindowLongPtrW(GetDlgItem(dialog, 14), GWL_STYLE) & WS_DISABLED);
}

TEST_F(DialogTest, APopUpDialogIsPlacedFromItsOwnersClientAreaAndAChildInItsParent) {
    HWND owner = MakeWindow(WS_POPUP, nullptr, 0, L"", {100, 200, 500, 600});
    HWND popup = Make(200, owner);
    ASSERT_NE(popup, nullptr);
    RECT r{};
    GetWindowRect(popup, &r);
    EXPECT_EQ(r.left, 100 + 12);
    EXPECT_EQ(r.top, 200 + 12);
    EXPECT_EQ(GetWindow(popup, GW_OWNER), owner);

    HWND child = Make(204, owner);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetParent(child), owner);
    GetWindowRect(child, &r);
    EXPECT_EQ(r.left, 100 + 3);
    EXPECT_EQ(r.top, 200 + 7);
    EXPECT_EQ(r.right - r.left, 120);
    EXPECT_TRUE(IsWindowVisible(child) == FALSE) << "its parent is hidden";
    EXPECT_TRUE(GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE);
}

TEST_F(DialogTest, InitDialogComesAfterTheControlsAndItsAnswerDecidesTheFocus) {
    for (INT_PTR answer : {TRUE, FALSE}) {
        DlgLog().Clear();
        std::size_t childrenAtInit = 0;
        DlgAnswers() = [&](HWND d, UINT m, WPARAM, LPARAM) -> std::optional<INT_PTR> {
            if (m != WM_INITDIALOG) return std::nullopt;
            for (HWND c = GetWindow(d, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
                ++childrenAtInit;
            return answer;
        };
        HWND dialog = Make(200, nullptr, 1234);
        ASSERT_NE(dialog, nullptr);
        auto init = DlgCalls(WM_INITDIALOG);
        ASSERT_EQ(init.size(), 1u);
        EXPECT_EQ(childrenAtInit, 5u);
        EXPECT_EQ(reinterpret_cast<HWND>(init[0].wParam), GetDlgItem(dialog, 11));
        EXPECT_EQ(init[0].lParam, 1234);
        EXPECT_EQ(GetFocus() == GetDlgItem(dialog, 11), answer == TRUE) << answer;
        EXPECT_FALSE(IsWindowVisible(dialog)) << "the template has no WS_VISIBLE";
        // The dialog procedure saw the making from the start.
        EXPECT_EQ(DlgLog().Items().front().message, WM_NCCREATE);
        DestroyWindow(dialog);
    }
}

TEST_F(DialogTest, AVisibleTemplateIsShownAfterInitDialog) {
    HWND dialog = Make(201);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));
    std::vector<UINT> order;
    for (const DlgCall& c : DlgLog().Items())
        if (c.message == WM_INITDIALOG || c.message == WM_SHOWWINDOW) order.push_back(c.message);
    EXPECT_EQ(order, (std::vector<UINT>{WM_INITDIALOG, WM_SHOWWINDOW}));
    EXPECT_EQ(GetActiveWindow(), dialog);
}

TEST_F(DialogTest, ADialogThatCannotBeMadeLeavesNothingBehind) {
    struct Case {
        int id;
        DWORD error;
    };
    for (const Case& c : {Case{999, ERROR_RESOURCE_NAME_NOT_FOUND},
                          Case{202, static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS)}}) {
        SetLastError(0);
        EXPECT_EQ(Make(c.id), nullptr);
        EXPECT_EQ(GetLastError(), c.error) << c.id;
        EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(c.id), nullptr, TestDialogProc, 0), -1);
    }
    EXPECT_EQ(FindWindowW(L"#32770", nullptr), nullptr);
    EXPECT_EQ(CreateDialogIndirectParamW(nullptr, nullptr, nullptr, TestDialogProc, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(DialogTest, TheDialogProceduresAnswerGoesThroughMsgResultAndFalseMeansDefault) {
    // Swallowing WM_NCCALCSIZE leaves no frame: the client area is the whole window.
    for (bool swallow : {false, true}) {
        DlgAnswers() = [&](HWND d, UINT m, WPARAM, LPARAM) -> std::optional<INT_PTR> {
            if (m == WM_NCCALCSIZE && swallow) return TRUE;
            if (m == WM_APP) {
                SetWindowLongPtrW(d, DWLP_MSGRESULT, 4321);
                return TRUE;
            }
            return std::nullopt;
        };
        HWND dialog = Make(200);
        ASSERT_NE(dialog, nullptr);
        RECT window{}, client{};
        GetWindowRect(dialog, &window);
        GetClientRect(dialog, &client);
        EXPECT_EQ(client.right == window.right - window.left, swallow);
        EXPECT_EQ(SendMessageW(dialog, WM_APP, 0, 0), 4321);
        EXPECT_EQ(SendMessageW(dialog, WM_APP + 1, 0, 0), 0);
        EXPECT_EQ(GetWindowLongPtrW(dialog, DWLP_DLGPROC),
                  reinterpret_cast<LONG_PTR>(&TestDialogProc));
        SetWindowLongPtrW(dialog, DWLP_USER, 99);
        EXPECT_EQ(GetWindowLongPtrW(dialog, DWLP_USER), 99);
        // The default WM_CLOSE asks for IDCANCEL (posted) and does not destroy the dialog.
        DlgLog().Clear();
        SendMessageW(dialog, WM_CLOSE, 0, 0);
        EXPECT_TRUE(IsWindow(dialog));
        Drain();
        EXPECT_EQ(Commands(), (std::vector<int>{IDCANCEL}));
        DestroyWindow(dialog);
    }
}

TEST_F(DialogTest, DialogBoxDisablesTheOwnerUntilEndDialogAndReturnsItsResult) {
    for (bool ownerEnabled : {true, false}) {
        HWND owner = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, owner, 5);
        EnableWindow(owner, ownerEnabled);
        bool enabledMeanwhile = true;
        HWND seenOwner = nullptr;
        bool visibleMeanwhile = false;
        DlgAnswers() = [&](HWND d, UINT m, WPARAM, LPARAM) -> std::optional<INT_PTR> {
            if (m == WM_INITDIALOG) PostMessageW(d, WM_APP, 0, 0);
            if (m == WM_APP) {
                enabledMeanwhile = IsWindowEnabled(owner) != FALSE;
                seenOwner = GetWindow(d, GW_OWNER);
                visibleMeanwhile = IsWindowVisible(d) != FALSE;
                EndDialog(d, 42);
                return TRUE;
            }
            return std::nullopt;
        };
        // The owner is the top-level window of the parent given.
        EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(203), child, TestDialogProc, 0), 42);
        EXPECT_FALSE(enabledMeanwhile);
        EXPECT_EQ(seenOwner, owner);
        EXPECT_TRUE(visibleMeanwhile) << "a modal dialog is shown without WS_VISIBLE";
        EXPECT_EQ(IsWindowEnabled(owner) != FALSE, ownerEnabled);
        EXPECT_EQ(FindWindowW(L"#32770", L"Keys"), nullptr) << "the dialog is destroyed";
        DestroyWindow(owner);
    }
}

TEST_F(DialogTest, EndDialogFromAMessageSentByAnotherThreadEndsTheLoop) {
    HANDLE helper = nullptr;
    DlgAnswers() = [&](HWND d, UINT m, WPARAM, LPARAM) -> std::optional<INT_PTR> {
        if (m == WM_INITDIALOG)
            helper = StartThread([d] { return static_cast<DWORD>(SendMessageW(d, WM_APP, 0, 0)); });
        if (m == WM_APP) {
            EndDialog(d, 7);
            SetWindowLongPtrW(d, DWLP_MSGRESULT, 1);
            return TRUE;
        }
        return std::nullopt;
    };
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(203), nullptr, TestDialogProc, 0), 7);
    ASSERT_NE(helper, nullptr);
    EXPECT_EQ(WaitForSingleObject(helper, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(helper, &code);
    EXPECT_EQ(code, 1u);
    CloseHandle(helper);
}

TEST_F(DialogTest, AQuitMessageEndsTheModalLoopAndIsPostedAgain) {
    HWND owner = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    DlgAnswers() = [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<INT_PTR> {
        if (m == WM_INITDIALOG) PostQuitMessage(5);
        return std::nullopt;
    };
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(203), owner, TestDialogProc, 0), 0);
    EXPECT_TRUE(IsWindowEnabled(owner));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 5u);
}

TEST_F(DialogTest, EnterEscAndTheDefaultButtonBecomeCommands) {
    struct Case {
        const char* name;
        WPARAM key;
        LRESULT editCode;  // the focused control's WM_GETDLGCODE answer
        int defId;         // DM_SETDEFID before the key (0: none)
        int defPushId;     // a control answering DLGC_DEFPUSHBUTTON (0: none)
        int disabled;      // a control disabled before the key (0: none)
        std::vector<int> commands;
        bool keyReachesControl;
    };
    const Case cases[] = {
        {"enter", VK_RETURN, 0, 0, 0, 0, {IDOK}, false},
        {"escape", VK_ESCAPE, 0, 0, 0, 0, {IDCANCEL}, false},
        {"enter with a default id", VK_RETURN, 0, 41, 0, 0, {41}, false},
        {"enter with a default button", VK_RETURN, 0, 0, IDCANCEL, 0, {IDCANCEL}, false},
        {"enter claimed", VK_RETURN, DLGC_WANTMESSAGE, 0, 0, 0, {}, true},
        {"escape claimed", VK_ESCAPE, DLGC_WANTALLKEYS, 0, 0, 0, {}, true},
        {"escape with cancel disabled", VK_ESCAPE, 0, 0, 0, IDCANCEL, {}, false},
        {"enter with ok disabled", VK_RETURN, 0, 0, 0, IDOK, {}, false},
        {"tab claimed", VK_TAB, DLGC_WANTTAB, 0, 0, 0, {}, true},
    };
    for (const Case& c : cases) {
        HWND dialog = Make(203);
        ASSERT_NE(dialog, nullptr);
        HWND edit = GetDlgItem(dialog, 41);
        HWND defPush = c.defPushId ? GetDlgItem(dialog, c.defPushId) : nullptr;
        Answers() = [&](HWND w, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (m != WM_GETDLGCODE) return std::nullopt;
            if (w == edit) return c.editCode;
            if (w == defPush) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
            return 0;
        };
        if (c.defId) SendMessageW(dialog, DM_SETDEFID, static_cast<WPARAM>(c.defId), 0);
        if (c.disabled) EnableWindow(GetDlgItem(dialog, c.disabled), FALSE);
        SetFocus(edit);
        DlgLog().Clear();
        MessageLog().Clear();
        Press(dialog, edit, c.key);
        EXPECT_EQ(Commands(), c.commands) << c.name;
        EXPECT_EQ(!Entries(WM_KEYDOWN, edit).empty(), c.keyReachesControl) << c.name;
        EXPECT_EQ(GetFocus(), edit) << c.name;
        for (const DlgCall& call : DlgCalls(WM_COMMAND)) {
            EXPECT_EQ(HIWORD(call.wParam), 0) << "BN_CLICKED";
            EXPECT_EQ(reinterpret_cast<HWND>(call.lParam), GetDlgItem(dialog, LOWORD(call.wParam)));
        }
        Answers() = nullptr;
        DestroyWindow(dialog);
    }
}

TEST_F(DialogTest, TheDefaultIdIsKeptAndReadBack) {
    HWND dialog = Make(203);
    EXPECT_EQ(SendMessageW(dialog, DM_GETDEFID, 0, 0), 0) << "no default button";
    EXPECT_TRUE(SendMessageW(dialog, DM_SETDEFID, 41, 0));
    EXPECT_EQ(SendMessageW(dialog, DM_GETDEFID, 0, 0), MAKELPARAM(41, DC_HASDEFID));
}

TEST_F(DialogTest, TabMovesTheFocusOverVisibleEnabledTabStopsAndWraps) {
    HWND dialog = Make(200);
    ShowWindow(dialog, SW_SHOWNORMAL);
    HWND first = GetDlgItem(dialog, 11);
    HWND last = GetDlgItem(dialog, 15);
    struct Case {
        HWND from;
        bool shift;
        HWND to;
    };
    // 12 is hidden, 13 no tab stop, 14 disabled.
    const Case cases[] = {
        {first, false, last},
        {last, false, first},
        {first, true, last},
        {last, true, first},
        {GetDlgItem(dialog, 13), false, last},
        {GetDlgItem(dialog, 13), true, first},
    };
    for (const Case& c : cases) {
        SetFocus(c.from);
        Press(dialog, c.from, VK_TAB, c.shift);
        EXPECT_EQ(GetFocus(), c.to) << GetDlgCtrlID(c.from) << (c.shift ? " shift" : "");
        EXPECT_GE(GetKeyState(VK_SHIFT), 0) << "shift released";
    }
    EXPECT_EQ(GetNextDlgTabItem(dialog, nullptr, FALSE), first);
    EXPECT_EQ(GetNextDlgTabItem(dialog, nullptr, TRUE), last);
    EnableWindow(last, FALSE);
    EXPECT_EQ(GetNextDlgTabItem(dialog, first, FALSE), first) << "the only tab stop";
    EnableWindow(first, FALSE);
    EXPECT_EQ(GetNextDlgTabItem(dialog, nullptr, FALSE), nullptr);
}

TEST_F(DialogTest, OnlyMessagesForTheDialogOrItsControlsAreTaken) {
    HWND dialog = Make(203);
    HWND other = MakeWindow();
    MSG outside{other, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
    EXPECT_FALSE(IsDialogMessageW(dialog, &outside));
    MSG inside{GetDlgItem(dialog, 41), WM_APP, 1, 2, 0, {0, 0}};
    EXPECT_TRUE(IsDialogMessageW(dialog, &inside));
    EXPECT_EQ(Entries(WM_APP, GetDlgItem(dialog, 41)).size(), 1u) << "dispatched";
    EXPECT_TRUE(Commands().empty());
    EXPECT_FALSE(IsDialogMessageW(nullptr, &inside));
}

TEST_F(DialogTest, ControlTextAndMessagesByDialogId) {
    HWND dialog = Make(203);
    EXPECT_TRUE(SetDlgItemTextW(dialog, 41, L"typed"));
    wchar_t text[8];
    EXPECT_EQ(GetDlgItemTextW(dialog, 41, text, 8), 5u);
    EXPECT_STREQ(text, L"typed");
    EXPECT_EQ(GetDlgItemTextW(dialog, 41, text, 3), 2u);
    EXPECT_STREQ(text, L"ty");
    EXPECT_EQ(GetDlgItemTextW(dialog, 77, text, 8), 0u);
    EXPECT_STREQ(text, L"");
    EXPECT_FALSE(SetDlgItemTextW(dialog, 77, L"x"));
    Answers() = [](HWND, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_APP) return static_cast<LRESULT>(wp * 2);
        return std::nullopt;
    };
    EXPECT_EQ(SendDlgItemMessageW(dialog, IDOK, WM_APP, 21, 0), 42);
    EXPECT_EQ(SendDlgItemMessageW(dialog, 77, WM_APP, 21, 0), 0);
}

TEST_F(DialogTest, AMessageBoxIsADialogThatItsOwnerCanClose) {
    // A box closed by WM_CLOSE goes the dialog's way: IDCANCEL, then the box is gone.
    HWND owner = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    Answers() = [&](HWND w, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_TIMER || w != owner) return std::nullopt;
        HWND box = FindWindowW(L"#32770", L"Closing");
        EXPECT_EQ(static_cast<int>(GetWindowLongPtrW(box, GWL_STYLE) & WS_CHILD), 0);
        EXPECT_NE(GetWindowLongPtrW(box, DWLP_DLGPROC), 0);
        PostMessageW(box, WM_CLOSE, 0, 0);
        KillTimer(owner, 1);
        return 0;
    };
    SetTimer(owner, 1, 100, nullptr);
    ASSERT_TRUE(M().boxes().Script(IDOK, 60000));
    EXPECT_EQ(MessageBoxW(owner, L"text", L"Closing", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(FindWindowW(L"#32770", L"Closing"), nullptr);
    // The box's class is the system's: the program's dialogs still get DefDlgProcW.
    HWND dialog = Make(203);
    EXPECT_EQ(GetWindowLongPtrW(dialog, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&DefDlgProcW));
}

// ---- Windows the machine runs ----

class MachineWindowTest : public SimTest {};

TEST_F(MachineWindowTest, AMachineWindowIsClosedByItsOwnThreadAndJournalsWhatItGot) {
    HWND dialog = control::AddMachineWindow({L"#32770", L"Warning", true, nullptr});
    HWND control = control::AddMachineWindow({L"Static", L"", true, dialog});
    ASSERT_NE(dialog, nullptr);
    ASSERT_NE(control, nullptr);
    DWORD pid = 0;
    EXPECT_NE(GetWindowThreadProcessId(dialog, &pid), GetCurrentThreadId());
    EXPECT_EQ(pid, GetCurrentProcessId()) << "the machine's own program";
    wchar_t title[16];
    EXPECT_EQ(GetWindowTextW(dialog, title, 16), 7);
    EXPECT_STREQ(title, L"Warning");

    EXPECT_TRUE(PostMessageW(dialog, WM_CLOSE, 0, 0));
    ASSERT_TRUE(sim::Kernel::Get().SettleUntil([&] { return !IsWindow(dialog); }, 1000));
    EXPECT_FALSE(IsWindow(control));
    EXPECT_FALSE(PostMessageW(dialog, WM_CLOSE, 0, 0));

    std::vector<UINT> dialogSaw, controlSaw;
    for (const control::JournalEntry& e : control::MachineWindowJournal())
        (e.hwnd == dialog ? dialogSaw : controlSaw).push_back(e.message);
    EXPECT_EQ(dialogSaw, (std::vector<UINT>{WM_GETTEXT, WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_EQ(controlSaw, (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(MachineWindowTest, SentMessagesAreAnsweredAndAProgramsWindowIsNoParent) {
    HWND window = control::AddMachineWindow({L"Other", L"", false, nullptr});
    wchar_t text[8];
    // Its thread answers a message sent from here while it waits for messages.
    EXPECT_TRUE(SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"set")));
    EXPECT_EQ(GetWindowTextW(window, text, 8), 3);
    EXPECT_STREQ(text, L"set");

    WNDCLASSEXW wc{sizeof wc};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"Mine";
    ASSERT_NE(RegisterClassExW(&wc), 0);
    HWND mine = CreateWindowExW(0, L"Mine", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    EXPECT_EQ(control::AddMachineWindow({L"Static", L"", true, mine}), nullptr);
}

}  // namespace
