// The framework's window objects: handle maps per thread, temporaries, binding at creation and
// by subclassing, handler dispatch and Default, the pre-translation walk, reflection and the end
// of a window's object.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <afxwin.h>
#include <afxcmn.h>
#include "common/window_helper.h"

namespace {

// Handler calls, in order, as text.
std::vector<std::string>& Calls() {
    static std::vector<std::string> calls;
    return calls;
}

class MfcWndTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Calls().clear();
    }
    void TearDown() override { AfxDeleteTemporaryObjects(); }
};

// Records the handlers that ran; each passes the message on unless told to swallow it.
class Recorder : public CWnd {
public:
    bool swallow = false;
    int createResult = 0;
    BOOL OnNcCreate(LPCREATESTRUCT cs) override {
        Calls().push_back("NcCreate:" + std::string(cs->lpszName ? "named" : "unnamed"));
        return CWnd::OnNcCreate(cs);
    }
    int OnCreate(LPCREATESTRUCT cs) override {
        Calls().push_back("Create");
        if (createResult != 0) return createResult;
        return CWnd::OnCreate(cs);
    }
    void OnSize(UINT type, int cx, int cy) override {
        Calls().push_back("Size:" + std::to_string(type) + "," + std::to_string(cx) + "," +
                          std::to_string(cy));
        if (!swallow) CWnd::OnSize(type, cx, cy);
    }
    void OnMove(int x, int y) override {
        Calls().push_back("Move:" + std::to_string(x) + "," + std::to_string(y));
        if (!swallow) CWnd::OnMove(x, y);
    }
    void OnLButtonDown(UINT flags, CPoint p) override {
        Calls().push_back("LButtonDown:" + std::to_string(flags) + "," + std::to_string(p.x) + "," +
                          std::to_string(p.y));
        if (!swallow) CWnd::OnLButtonDown(flags, p);
    }
    void OnTimer(UINT_PTR id) override {
        Calls().push_back("Timer:" + std::to_string(id));
        if (!swallow) CWnd::OnTimer(id);
    }
    void OnEnable(BOOL enable) override {
        Calls().push_back("Enable:" + std::to_string(enable));
        if (!swallow) CWnd::OnEnable(enable);
    }
    BOOL OnDeviceChange(UINT event, DWORD_PTR data) override {
        Calls().push_back("DeviceChange:" + std::to_string(event) + "," + std::to_string(data));
        if (swallow) return TRUE;
        return CWnd::OnDeviceChange(event, data);
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        Calls().push_back("Command:" + std::to_string(LOWORD(wParam)));
        if (swallow) return TRUE;
        return CWnd::OnCommand(wParam, lParam);
    }
    void OnDestroy() override {
        Calls().push_back("Destroy");
        CWnd::OnDestroy();
    }
    void OnNcDestroy() override {
        Calls().push_back("NcDestroy");
        CWnd::OnNcDestroy();
    }
    void PostNcDestroy() override {
        Calls().push_back(m_hWnd == nullptr ? "PostNcDestroy:unbound" : "PostNcDestroy:bound");
    }
};

HWND MakeChild(HWND parent, int id) {
    return MakeWindow(WS_CHILD | WS_VISIBLE, parent, id, L"", {0, 0, 10, 10});
}

// ---- Handle maps and temporaries ----

TEST_F(MfcWndTest, PermanentObjectsAreFoundOnlyOnTheThreadThatBoundThem) {
    HWND window = MakeWindow();
    CWnd object;
    ASSERT_TRUE(object.Attach(window));
    EXPECT_EQ(CWnd::FromHandlePermanent(window), &object);
    EXPECT_EQ(CWnd::FromHandle(window), &object);

    struct Seen {
        CWnd* permanent;
        bool temporaryHoldsHandle;
        bool temporaryIsStable;
        bool temporaryIsNotTheObject;
    };
    CWnd* mine = &object;
    Seen seen = OnAnotherThread([&] {
        CWnd* temporary = CWnd::FromHandle(window);
        Seen s{CWnd::FromHandlePermanent(window), temporary->m_hWnd == window,
               CWnd::FromHandle(window) == temporary, temporary != mine};
        AfxDeleteTemporaryObjects();
        return s;
    });
    EXPECT_EQ(seen.permanent, nullptr);
    EXPECT_TRUE(seen.temporaryHoldsHandle);
    EXPECT_TRUE(seen.temporaryIsStable);
    EXPECT_TRUE(seen.temporaryIsNotTheObject);
    EXPECT_EQ(object.Detach(), window);
}

TEST_F(MfcWndTest, TemporariesLastUntilTheThreadsIdleTimeAndDieWithTheThread) {
    HWND window = MakeWindow();
    EXPECT_EQ(CWnd::FromHandle(nullptr), nullptr);
    CWnd* temporary = CWnd::FromHandle(window);
    ASSERT_NE(temporary, nullptr);
    EXPECT_EQ(temporary->m_hWnd, window);
    EXPECT_EQ(CWnd::FromHandle(window), temporary);
    EXPECT_EQ(AfxTemporaryObjectCount(), 1u);

    // The idle work of the framework's loops deletes them.
    CWinApp app;
    EXPECT_FALSE(app.OnIdle(0));
    EXPECT_EQ(AfxTemporaryObjectCount(), 0u);
    EXPECT_TRUE(::IsWindow(window)) << "a temporary's window lives on";

    // A thread's temporaries go with it; another thread's count is its own.
    std::size_t inside = OnAnotherThread([&] {
        CWnd::FromHandle(window);
        CDC::FromHandle(reinterpret_cast<HDC>(window));  // any handle value will do
        return AfxTemporaryObjectCount();
    });
    EXPECT_EQ(inside, 2u);
    EXPECT_EQ(AfxTemporaryObjectCount(), 0u);
}

TEST_F(MfcWndTest, AttachRefusesWhatIsBoundAlreadyAndDetachUnbinds) {
    HWND window = MakeWindow();
    HWND other = MakeWindow();
    CWnd first;
    CWnd second;
    EXPECT_FALSE(first.Attach(nullptr));
    ASSERT_TRUE(first.Attach(window));
    EXPECT_FALSE(second.Attach(window)) << "one permanent object per window";
    EXPECT_FALSE(first.Attach(other)) << "one window per object";
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&LoggingProc))
        << "attaching leaves the procedure";
    EXPECT_EQ(first.Detach(), window);
    EXPECT_EQ(first.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(window), nullptr);
    EXPECT_EQ(first.Detach(), nullptr);
    EXPECT_TRUE(second.Attach(window));
    second.Detach();
}

// ---- Binding at creation and by subclassing ----

TEST_F(MfcWndTest, CreateExBindsBeforeTheFirstMessageAndDefaultReachesTheClassProcedure) {
    Recorder object;
    ASSERT_TRUE(object.CreateEx(0, kTestClass, L"Bound", WS_OVERLAPPEDWINDOW, 5, 6, 70, 80, nullptr,
                                nullptr));
    HWND window = object.m_hWnd;
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(window), &object);
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&AfxWndProc));
    ASSERT_GE(Calls().size(), 2u);
    EXPECT_EQ(Calls()[0], "NcCreate:named");
    EXPECT_EQ(Calls()[1], "Create");
    // Each base handler passed its message to the class's procedure.
    EXPECT_EQ(Messages({WM_NCCREATE, WM_CREATE}, window),
              (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
    wchar_t title[16];
    GetWindowTextW(window, title, 16);
    EXPECT_STREQ(title, L"Bound");
}

TEST_F(MfcWndTest, AWindowRefusedWhileBeingMadeLeavesTheObjectUnbound) {
    Recorder object;
    object.createResult = -1;
    EXPECT_FALSE(object.CreateEx(0, kTestClass, nullptr, WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr,
                                 nullptr));
    EXPECT_EQ(object.m_hWnd, nullptr);
    EXPECT_EQ(Calls().back(), "PostNcDestroy:unbound");

    Recorder unknown;
    EXPECT_FALSE(unknown.CreateEx(0, L"NoSuchClass", nullptr, WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                                  nullptr, nullptr));
    EXPECT_EQ(unknown.m_hWnd, nullptr);
    // Nothing stays armed: the next window of the thread is nobody's.
    HWND plain = MakeWindow();
    EXPECT_EQ(CWnd::FromHandlePermanent(plain), nullptr);
    EXPECT_EQ(GetWindowLongPtrW(plain, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&LoggingProc));
}

class Subclasser : public CWnd {
public:
    LONG_PTR procedureAtPreSubclass = 0;
    bool boundAtPreSubclass = false;
    void PreSubclassWindow() override {
        procedureAtPreSubclass = GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC);
        boundAtPreSubclass = FromHandlePermanent(m_hWnd) == this;
    }
};

TEST_F(MfcWndTest, SubclassWindowCallsPreSubclassWindowBeforeTheProcedureIsSwapped) {
    HWND window = MakeWindow();
    Subclasser object;
    ASSERT_TRUE(object.SubclassWindow(window));
    EXPECT_EQ(object.procedureAtPreSubclass, reinterpret_cast<LONG_PTR>(&LoggingProc));
    EXPECT_TRUE(object.boundAtPreSubclass);
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&AfxWndProc));

    // A message the object does not handle reaches the old procedure.
    MessageLog().Clear();
    EXPECT_EQ(SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"new")), TRUE);
    EXPECT_EQ(Messages({WM_SETTEXT}, window), std::vector<UINT>{WM_SETTEXT});
    CString text;
    object.GetWindowText(text);
    EXPECT_STREQ(text, L"new");

    EXPECT_EQ(object.UnsubclassWindow(), window);
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&LoggingProc));
    EXPECT_EQ(CWnd::FromHandlePermanent(window), nullptr);
}

TEST_F(MfcWndTest, SubclassingIsRefusedForBoundWindowsAndOtherThreadsWindows) {
    HWND window = MakeWindow();
    HWND dialog = MakeWindow();
    HWND item = MakeChild(dialog, 42);
    CWnd bound;
    ASSERT_TRUE(bound.Attach(window));
    Subclasser object;
    EXPECT_FALSE(object.SubclassWindow(window));
    EXPECT_FALSE(object.SubclassWindow(nullptr));
    HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE made = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HWND foreign = nullptr;
    HANDLE thread = StartThread([&] {
        foreign = MakeWindow();
        SetEvent(made);
        WaitForSingleObject(quit, INFINITE);
        return 0u;
    });
    WaitForSingleObject(made, INFINITE);
    EXPECT_FALSE(object.SubclassWindow(foreign));
    EXPECT_EQ(object.m_hWnd, nullptr);
    SetEvent(quit);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(quit);
    CloseHandle(made);

    CWnd parent;
    ASSERT_TRUE(parent.Attach(dialog));
    EXPECT_FALSE(object.SubclassDlgItem(7, &parent));
    EXPECT_TRUE(object.SubclassDlgItem(42, &parent));
    EXPECT_EQ(object.m_hWnd, item);
    object.UnsubclassWindow();
    parent.Detach();
    bound.Detach();
}

// ---- Dispatch ----

TEST_F(MfcWndTest, HandlersGetTheirMessagesCrackedAndTheBasesPassThemOn) {
    HWND window = MakeWindow();
    struct Case {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        std::string call;
    };
    const std::vector<Case> cases = {
        {WM_SIZE, SIZE_RESTORED, MAKELPARAM(300, 200), "Size:0,300,200"},
        {WM_MOVE, 0, MAKELPARAM(-5, 7), "Move:-5,7"},
        {WM_LBUTTONDOWN, 1, MAKELPARAM(12, -3), "LButtonDown:1,12,-3"},
        {WM_TIMER, 99, 0, "Timer:99"},
        {WM_ENABLE, FALSE, 0, "Enable:0"},
        {WM_DEVICECHANGE, 0x8004, 0, "DeviceChange:32772,0"},
        {WM_COMMAND, 801, 0, "Command:801"},
    };
    for (bool swallow : {false, true}) {
        Recorder object;
        object.swallow = swallow;
        ASSERT_TRUE(object.SubclassWindow(window));
        for (const Case& c : cases) {
            SCOPED_TRACE(c.call + (swallow ? " swallowed" : " passed on"));
            Calls().clear();
            MessageLog().Clear();
            SendMessageW(window, c.message, c.wParam, c.lParam);
            EXPECT_EQ(Calls(), std::vector<std::string>{c.call});
            auto passed = Entries(c.message, window);
            if (swallow) {
                EXPECT_TRUE(passed.empty());
            } else {
                ASSERT_EQ(passed.size(), 1u);
                EXPECT_EQ(passed[0].wParam, c.wParam);
                EXPECT_EQ(passed[0].lParam, c.lParam);
            }
        }
        object.UnsubclassWindow();
    }
}

TEST_F(MfcWndTest, AnUnhandledMessageGoesToTheOldProcedureWithItsAnswer) {
    HWND window = MakeWindow();
    Answers() = [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_APP + 3) return 77;
        return std::nullopt;
    };
    CWnd object;
    ASSERT_TRUE(object.SubclassWindow(window));
    EXPECT_EQ(object.SendMessage(WM_APP + 3, 1, 2), 77);
    EXPECT_EQ(Entries(WM_APP + 3, window).size(), 1u);
    object.UnsubclassWindow();
}

// Default inside a handler passes that handler's message, even after a nested message.
class Nester : public CWnd {
public:
    LRESULT passed = 0;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (message == WM_APP) {
            SendMessage(WM_APP + 1, 5, 6);  // nested: handled by the old procedure
            passed = Default();
            *result = passed;
            return TRUE;
        }
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
};

TEST_F(MfcWndTest, DefaultUsesTheMessageOfItsOwnHandlerAfterANestedOne) {
    HWND window = MakeWindow();
    Answers() = [](HWND, UINT m, WPARAM w, LPARAM l) -> std::optional<LRESULT> {
        if (m == WM_APP || m == WM_APP + 1) return static_cast<LRESULT>(m - WM_APP) * 100 + w + l;
        return std::nullopt;
    };
    Nester object;
    ASSERT_TRUE(object.SubclassWindow(window));
    MessageLog().Clear();
    EXPECT_EQ(SendMessageW(window, WM_APP, 1, 2), 3);
    EXPECT_EQ(Messages({WM_APP, WM_APP + 1}, window), (std::vector<UINT>{WM_APP + 1, WM_APP}));
    auto outer = Entries(WM_APP, window);
    ASSERT_EQ(outer.size(), 1u);
    EXPECT_EQ(outer[0].wParam, 1u);
    EXPECT_EQ(outer[0].lParam, 2);
    object.UnsubclassWindow();
}

// ---- Pre-translation ----

class Translator : public CWnd {
public:
    std::string name;
    bool take = false;
    explicit Translator(std::string n) : name(std::move(n)) {}
    BOOL PreTranslateMessage(MSG* msg) override {
        Calls().push_back(name + ":" + std::to_string(msg->message - WM_APP));
        return take ? TRUE : FALSE;
    }
};

class TranslatingApp : public CWinApp {
public:
    BOOL PreTranslateMessage(MSG* msg) override {
        Calls().push_back("app:" + std::to_string(msg->message - WM_APP));
        return CWinApp::PreTranslateMessage(msg);
    }
};

TEST_F(MfcWndTest, PreTranslationWalksFromTheTargetUpToTheMainWindow) {
    HWND top = MakeWindow();
    HWND middle = MakeChild(top, 1);
    HWND inner = MakeChild(middle, 2);
    Translator topObject("top"), middleObject("middle"), innerObject("inner");
    ASSERT_TRUE(topObject.Attach(top));
    ASSERT_TRUE(middleObject.Attach(middle));
    ASSERT_TRUE(innerObject.Attach(inner));
    TranslatingApp app;

    struct Case {
        CWnd* main;
        Translator* taker;
        std::vector<std::string> calls;
        bool dispatched;
    };
    const std::vector<Case> cases = {
        {&topObject, nullptr, {"app:0", "inner:0", "middle:0", "top:0"}, true},
        {&middleObject, nullptr, {"app:0", "inner:0", "middle:0"}, true},
        {&topObject, &middleObject, {"app:0", "inner:0", "middle:0"}, false},
        {nullptr, nullptr, {"app:0", "inner:0", "middle:0", "top:0"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.calls.size());
        app.m_pMainWnd = c.main;
        for (Translator* t : {&topObject, &middleObject, &innerObject}) t->take = t == c.taker;
        Calls().clear();
        MessageLog().Clear();
        PostMessageW(inner, WM_APP, 0, 0);
        ASSERT_TRUE(app.PumpMessage());
        EXPECT_EQ(Calls(), c.calls);
        EXPECT_EQ(Entries(WM_APP, inner).size(), c.dispatched ? 1u : 0u);
    }
    app.m_pMainWnd = nullptr;
    innerObject.Detach();
    middleObject.Detach();
    topObject.Detach();
}

// ---- Reflection ----

class Parent : public CWnd {
public:
    BOOL OnNotify(WPARAM, LPARAM, LRESULT* result) override {
        Calls().push_back("parent:notify");
        *result = 1;
        return TRUE;
    }
    void OnDrawItem(int id, LPDRAWITEMSTRUCT) override {
        Calls().push_back("parent:drawitem:" + std::to_string(id));
    }
    HBRUSH OnCtlColor(CDC*, CWnd*, UINT type) override {
        Calls().push_back("parent:ctlcolor:" + std::to_string(type));
        return reinterpret_cast<HBRUSH>(1);
    }
};

class Control : public CWnd {
public:
    bool take = false;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (message > WM_REFLECT_BASE) {
            Calls().push_back("child:" + std::to_string(message - WM_REFLECT_BASE));
            if (take) {
                *result = 42;
                return TRUE;
            }
            return FALSE;
        }
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
};

class OwnerDrawn : public CButton {
public:
    void DrawItem(LPDRAWITEMSTRUCT item) override {
        Calls().push_back("button:drawitem:" + std::to_string(item->CtlID));
    }
};

TEST_F(MfcWndTest, AChildsNotificationsAreOfferedToItsObjectBeforeTheParentsHandler) {
    HWND parentWindow = MakeWindow();
    HWND childWindow = MakeChild(parentWindow, 9);
    Parent parent;
    ASSERT_TRUE(parent.SubclassWindow(parentWindow));

    NMHDR header{childWindow, 9, 123};
    DRAWITEMSTRUCT item{ODT_BUTTON, 9, 0, ODA_DRAWENTIRE, 0, childWindow, nullptr, {}, 0};
    struct Case {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        std::string parentCall;
    };
    const std::vector<Case> cases = {
        {WM_NOTIFY, 9, reinterpret_cast<LPARAM>(&header), "parent:notify"},
        {WM_DRAWITEM, 9, reinterpret_cast<LPARAM>(&item), "parent:drawitem:9"},
        {0x0135 /* WM_CTLCOLORBTN */, 0, reinterpret_cast<LPARAM>(childWindow),
         "parent:ctlcolor:3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.parentCall);
        const std::string reflected = "child:" + std::to_string(c.message);
        // No object for the child: the parent's handler.
        Calls().clear();
        EXPECT_EQ(SendMessageW(parentWindow, c.message, c.wParam, c.lParam), 1);
        EXPECT_EQ(Calls(), std::vector<std::string>{c.parentCall});

        for (bool take : {false, true}) {
            Control child;
            child.take = take;
            ASSERT_TRUE(child.SubclassWindow(childWindow));
            Calls().clear();
            LRESULT r = SendMessageW(parentWindow, c.message, c.wParam, c.lParam);
            if (take) {
                EXPECT_EQ(r, 42);
                EXPECT_EQ(Calls(), std::vector<std::string>{reflected});
            } else {
                EXPECT_EQ(r, 1);
                EXPECT_EQ(Calls(), (std::vector<std::string>{reflected, c.parentCall}));
            }
            child.UnsubclassWindow();
        }
    }

    // A menu's owner-draw request is the parent's alone; a button object draws its own.
    OwnerDrawn button;
    ASSERT_TRUE(button.SubclassWindow(childWindow));
    Calls().clear();
    EXPECT_EQ(SendMessageW(parentWindow, WM_DRAWITEM, 9, reinterpret_cast<LPARAM>(&item)), TRUE);
    DRAWITEMSTRUCT menuItem = item;
    menuItem.CtlType = ODT_MENU;
    SendMessageW(parentWindow, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&menuItem));
    EXPECT_EQ(Calls(), (std::vector<std::string>{"button:drawitem:9", "parent:drawitem:0"}));
    button.UnsubclassWindow();
    parent.UnsubclassWindow();
}

// ---- The end of a window's object ----

class SelfDeleting : public Recorder {
public:
    bool* deleted;
    explicit SelfDeleting(bool* d) : deleted(d) {}
    ~SelfDeleting() override { *deleted = true; }
    void PostNcDestroy() override {
        Recorder::PostNcDestroy();
        delete this;
    }
};

TEST_F(MfcWndTest, PostNcDestroyComesLastOnceUnboundSoAnObjectCanDeleteItself) {
    bool deleted = false;
    auto* object = new SelfDeleting(&deleted);
    ASSERT_TRUE(object->CreateEx(0, kTestClass, nullptr, WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr,
                                 nullptr));
    HWND window = object->m_hWnd;
    Calls().clear();
    MessageLog().Clear();
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_TRUE(deleted);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"Destroy", "NcDestroy", "PostNcDestroy:unbound"}));
    EXPECT_EQ(Messages({WM_DESTROY, WM_NCDESTROY}, window),
              (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    EXPECT_EQ(CWnd::FromHandlePermanent(window), nullptr);
}

TEST_F(MfcWndTest, ABoundObjectGoingAwayDestroysItsWindow) {
    HWND window;
    {
        CWnd object;
        ASSERT_TRUE(object.CreateEx(0, kTestClass, nullptr, WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                                    nullptr, nullptr));
        window = object.m_hWnd;
    }
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(CWnd::FromHandlePermanent(window), nullptr);
    EXPECT_EQ(Messages({WM_NCDESTROY}, window), std::vector<UINT>{WM_NCDESTROY});
}

TEST_F(MfcWndTest, DestroyingTheMainWindowClearsItAndPostsQuit) {
    CWinApp app;
    CWnd main;
    ASSERT_TRUE(
        main.CreateEx(0, kTestClass, nullptr, WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr));
    app.m_pMainWnd = &main;
    EXPECT_EQ(AfxGetMainWnd(), &main);
    EXPECT_TRUE(main.DestroyWindow());
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
}

// ---- Wrappers ----

TEST_F(MfcWndTest, WrappersActOnTheWindow) {
    HWND top = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, L"", {100, 50, 300, 250});
    HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, top, 5, L"five", {10, 20, 60, 40});
    CWnd object;
    ASSERT_TRUE(object.Attach(top));

    CWnd* item = object.GetDlgItem(5);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->m_hWnd, child);
    EXPECT_EQ(object.GetDlgItem(6), nullptr);
    EXPECT_EQ(item->GetParent(), &object);
    EXPECT_EQ(item->GetTopLevelParent(), &object);
    CString text;
    EXPECT_EQ(object.GetDlgItemText(5, text), 4);
    EXPECT_STREQ(text, L"five");
    object.SetDlgItemText(5, L"cinq");
    item->GetWindowText(text);
    EXPECT_STREQ(text, L"cinq");

    CPoint p(1, 2);
    item->ClientToScreen(&p);
    EXPECT_EQ(p, CPoint(111, 72));
    item->ScreenToClient(&p);
    EXPECT_EQ(p, CPoint(1, 2));
    CRect r(0, 0, 5, 5);
    item->ClientToScreen(&r);
    EXPECT_EQ(r, CRect(110, 70, 115, 75));

    EXPECT_TRUE(object.ModifyStyle(0, WS_DISABLED));
    EXPECT_FALSE(object.ModifyStyle(0, WS_DISABLED)) << "nothing changed";
    EXPECT_FALSE(object.IsWindowEnabled());
    EXPECT_TRUE(object.ModifyStyle(WS_DISABLED, 0));
    EXPECT_TRUE(object.ModifyStyleEx(0, WS_EX_TOOLWINDOW));
    EXPECT_EQ(object.GetExStyle() & WS_EX_TOOLWINDOW, WS_EX_TOOLWINDOW);

    item->MoveWindow(CRect(0, 0, 30, 30));
    CRect client;
    item->GetClientRect(&client);
    EXPECT_EQ(client, CRect(0, 0, 30, 30));
    item->ShowWindow(SW_HIDE);
    EXPECT_FALSE(item->IsWindowVisible());
    object.Detach();
}

}  // namespace

namespace {

class Painter : public CWnd {
public:
    int paints = 0;
    bool hadDc = false;
    void OnPaint() override {
        ++paints;
        CPaintDC dc(this);
        hadDc = dc.m_hDC != nullptr && dc.GetSafeHdc() == dc.m_ps.hdc;
    }
};

TEST_F(MfcWndTest, APaintDcValidatesAndAClientDcIsGivenBack) {
    Painter window;
    ASSERT_TRUE(window.CreateEx(0, kTestClass, nullptr, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 50,
                                50, nullptr, nullptr));
    window.UpdateWindow();
    EXPECT_EQ(window.paints, 1);
    EXPECT_TRUE(window.hadDc);
    window.UpdateWindow();
    EXPECT_EQ(window.paints, 1) << "validated by the paint";
    RECT update;
    EXPECT_FALSE(GetUpdateRect(window.m_hWnd, &update, FALSE));

    HDC held;
    {
        CClientDC dc(&window);
        held = dc.m_hDC;
        ASSERT_NE(held, nullptr);
        EXPECT_EQ(CDC::FromHandle(held)->m_hDC, held);
    }
    EXPECT_EQ(ReleaseDC(window.m_hWnd, held), 0) << "given back already";
}

TEST_F(MfcWndTest, SetFontAndGetFontTalkToTheWindow) {
    HFONT given = nullptr;
    Answers() = [&](HWND, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_SETFONT) given = reinterpret_cast<HFONT>(w);
        if (m == WM_GETFONT) return reinterpret_cast<LRESULT>(given);
        return std::nullopt;
    };
    CWnd window;
    ASSERT_TRUE(window.CreateEx(0, kTestClass, nullptr, WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr,
                                nullptr));
    EXPECT_EQ(window.GetFont(), nullptr);
    {
        CFont font;
        ASSERT_TRUE(font.CreatePointFont(90, L"Tahoma"));
        window.SetFont(&font);
        CFont* got = window.GetFont();
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(got->m_hObject, font.m_hObject);
        EXPECT_NE(got, &font);
        AfxDeleteTemporaryObjects();
        EXPECT_NE(GetObjectType(font.m_hObject), 0u) << "a temporary font deletes nothing";
    }
}

}  // namespace
