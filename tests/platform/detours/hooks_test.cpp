// The hook library: attaching and detaching the interceptable window functions in one
// transaction, the real entries behind the hooks, a failed commit, and the layer's own callers
// going through the hookable entries.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "machine/control/hooks.h"
#include <wingdi.h>
#include <detours.h>
#include <winuser.h>
#include "common/window_helper.h"

namespace {

// The variables a program keeps its real entries in: the functions' entries until attached.
struct RealEntries {
    decltype(&::GetDC) getDC = &::GetDC;
    decltype(&::GetDCEx) getDCEx = &::GetDCEx;
    decltype(&::ReleaseDC) releaseDC = &::ReleaseDC;
    decltype(&::ShowWindow) showWindow = &::ShowWindow;
    decltype(&::ShowCaret) showCaret = &::ShowCaret;
    decltype(&::HideCaret) hideCaret = &::HideCaret;
    decltype(&::SetCaretPos) setCaretPos = &::SetCaretPos;
    decltype(&::CreateCaret) createCaret = &::CreateCaret;
    decltype(&::DestroyCaret) destroyCaret = &::DestroyCaret;
};
RealEntries real;
std::map<std::string, int> calls;  // hook name -> calls

// Set by a test: the context GetDC hands out for this window instead of the real one.
HWND g_ownWindow = nullptr;
HDC g_ownDc = nullptr;

HDC HookGetDC(HWND w) {
    ++calls["GetDC"];
    if (w != nullptr && w == g_ownWindow) return g_ownDc;
    return real.getDC(w);
}
HDC HookGetDCEx(HWND w, HRGN r, DWORD f) {
    ++calls["GetDCEx"];
    return real.getDCEx(w, r, f);
}
int HookReleaseDC(HWND w, HDC dc) {
    ++calls["ReleaseDC"];
    if (dc != nullptr && dc == g_ownDc) return 1;
    return real.releaseDC(w, dc);
}
BOOL HookShowWindow(HWND w, int c) {
    ++calls["ShowWindow"];
    return real.showWindow(w, c);
}
BOOL HookShowCaret(HWND w) {
    ++calls["ShowCaret"];
    return real.showCaret(w);
}
BOOL HookHideCaret(HWND w) {
    ++calls["HideCaret"];
    return real.hideCaret(w);
}
BOOL HookSetCaretPos(int x, int y) {
    ++calls["SetCaretPos"];
    return real.setCaretPos(x, y);
}
BOOL HookCreateCaret(HWND w, HBITMAP b, int x, int y) {
    ++calls["CreateCaret"];
    return real.createCaret(w, b, x, y);
}
BOOL HookDestroyCaret() {
    ++calls["DestroyCaret"];
    return real.destroyCaret();
}

template <class F>
PVOID* Slot(F*& variable) {
    return reinterpret_cast<PVOID*>(&variable);
}
template <class F>
PVOID Fn(F* function) {
    return reinterpret_cast<PVOID>(function);
}

// Attaches (or detaches) all nine hooks in one transaction; the commit's result.
LONG Change(bool attach) {
    auto op = attach ? DetourAttach : DetourDetach;
    EXPECT_TRUE(DetourRestoreAfterWith());
    EXPECT_EQ(DetourTransactionBegin(), NO_ERROR);
    EXPECT_EQ(DetourUpdateThread(GetCurrentThread()), NO_ERROR);
    op(Slot(real.getDC), Fn(HookGetDC));
    op(Slot(real.getDCEx), Fn(HookGetDCEx));
    op(Slot(real.releaseDC), Fn(HookReleaseDC));
    op(Slot(real.showWindow), Fn(HookShowWindow));
    op(Slot(real.showCaret), Fn(HookShowCaret));
    op(Slot(real.hideCaret), Fn(HookHideCaret));
    op(Slot(real.setCaretPos), Fn(HookSetCaretPos));
    op(Slot(real.createCaret), Fn(HookCreateCaret));
    op(Slot(real.destroyCaret), Fn(HookDestroyCaret));
    return DetourTransactionCommit();
}

// Calls each of the nine public functions once on a fresh window; the window.
HWND CallAllNine() {
    HWND w = MakeWindow(WS_OVERLAPPEDWINDOW);
    HDC dc = GetDC(w);
    ReleaseDC(w, dc);
    HRGN r = CreateRectRgn(0, 0, 5, 5);
    dc = GetDCEx(w, r, DCX_INTERSECTRGN);  // the region is the system's now
    ReleaseDC(w, dc);
    ShowWindow(w, SW_SHOW);
    CreateCaret(w, nullptr, 1, 10);
    SetCaretPos(3, 4);
    ShowCaret(w);
    HideCaret(w);
    DestroyCaret();
    return w;
}

const std::map<std::string, int> kOnceEach = {
    {"GetDC", 1},     {"GetDCEx", 1},     {"ReleaseDC", 2},   {"ShowWindow", 1},   {"ShowCaret", 1},
    {"HideCaret", 1}, {"SetCaretPos", 1}, {"CreateCaret", 1}, {"DestroyCaret", 1},
};

class HooksTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        calls.clear();
        g_ownWindow = nullptr;
        g_ownDc = nullptr;
    }
    void TearDown() override {
        if (control::AttachedHookCount() != 0) Change(false);
        WindowTest::TearDown();
    }
};

TEST_F(HooksTest, AttachedHooksSeeEveryCallAndReachTheRealFunctions) {
    ASSERT_EQ(Change(true), NO_ERROR);
    EXPECT_EQ(control::AttachedHookCount(), 9);
    // The variables now hold the real entries, which do not go through the hooks.
    EXPECT_NE(Fn(real.getDC), Fn(&::GetDC));
    EXPECT_NE(Fn(real.destroyCaret), Fn(&::DestroyCaret));

    HWND w = CallAllNine();
    EXPECT_EQ(calls, kOnceEach);
    // The real functions did their work: the window shows, and the caret is gone again.
    EXPECT_TRUE(IsWindowVisible(w));
    POINT p{};
    EXPECT_FALSE(GetCaretPos(&p));

    calls.clear();
    HDC dc = real.getDC(w);  // the real entry reaches the function without the hook
    EXPECT_NE(dc, nullptr);
    EXPECT_EQ(real.releaseDC(w, dc), 1);
    EXPECT_TRUE(calls.empty());

    // Other threads of the process call through the same entries.
    EXPECT_NE(OnAnotherThread([] { return GetDC(nullptr); }), nullptr);
    EXPECT_EQ(calls["GetDC"], 1);
}

TEST_F(HooksTest, DetachingRestoresTheEntriesAndTheHooksHearNothingMore) {
    ASSERT_EQ(Change(true), NO_ERROR);
    ASSERT_EQ(Change(false), NO_ERROR);
    EXPECT_EQ(control::AttachedHookCount(), 0);
    EXPECT_EQ(Fn(real.getDC), Fn(&::GetDC));
    EXPECT_EQ(Fn(real.showWindow), Fn(&::ShowWindow));
    calls.clear();
    HWND w = CallAllNine();
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(IsWindowVisible(w));
    // And they can be attached again.
    ASSERT_EQ(Change(true), NO_ERROR);
    CallAllNine();
    EXPECT_EQ(calls, kOnceEach);
}

TEST_F(HooksTest, AFailedCommitLeavesEveryFunctionUnhooked) {
    control::FailNextHookCommit(ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(Change(true), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(control::AttachedHookCount(), 0);
    EXPECT_EQ(Fn(real.getDC), Fn(&::GetDC));  // the variables keep the functions' entries
    EXPECT_EQ(Fn(real.createCaret), Fn(&::CreateCaret));
    HWND w = CallAllNine();
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(IsWindowVisible(w));
    // The failure was for one commit: the transaction after it takes.
    EXPECT_EQ(Change(true), NO_ERROR);
    EXPECT_EQ(control::AttachedHookCount(), 9);
}

LONG NotHookable(HDC) {
    return 0;
}

TEST_F(HooksTest, AnyRefusedCallFailsTheWholeTransaction) {
    struct Case {
        const char* name;
        std::function<void()> queue;  // queued after a valid attach of GetDC
        LONG error;
    };
    auto notHookable = &::DeleteDC;
    decltype(&::GetDC) nothing = nullptr;
    auto showWindow = &::ShowWindow;
    const Case cases[] = {
        {"a function that cannot be hooked",
         [&] { DetourAttach(Slot(notHookable), Fn(NotHookable)); }, ERROR_INVALID_BLOCK},
        {"a null target", [&] { DetourAttach(Slot(nothing), Fn(HookGetDC)); },
         ERROR_INVALID_PARAMETER},
        {"a null detour", [&] { DetourAttach(Slot(showWindow), nullptr); },
         ERROR_INVALID_PARAMETER},
        {"the same function twice", [&] { DetourAttach(Slot(real.getDC), Fn(HookGetDC)); },
         ERROR_INVALID_OPERATION},
        {"a detach of a hook never attached",
         [&] { DetourDetach(Slot(showWindow), Fn(HookShowWindow)); }, ERROR_INVALID_BLOCK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        real = RealEntries{};
        ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
        EXPECT_EQ(DetourAttach(Slot(real.getDC), Fn(HookGetDC)), NO_ERROR);
        c.queue();
        EXPECT_EQ(DetourTransactionCommit(), c.error);
        EXPECT_EQ(control::AttachedHookCount(), 0);
        EXPECT_EQ(Fn(real.getDC), Fn(&::GetDC));
    }
    real = RealEntries{};
}

TEST_F(HooksTest, TheTransactionBelongsToTheThreadThatBegunIt) {
    EXPECT_EQ(DetourAttach(Slot(real.getDC), Fn(HookGetDC)), ERROR_INVALID_OPERATION);
    EXPECT_EQ(DetourTransactionCommit(), ERROR_INVALID_OPERATION);
    EXPECT_EQ(DetourUpdateThread(GetCurrentThread()), ERROR_INVALID_OPERATION);
    ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
    EXPECT_EQ(DetourTransactionBegin(), ERROR_INVALID_OPERATION);  // one at a time
    EXPECT_EQ(
        OnAnotherThread([] { return DetourAttach(Slot(real.showWindow), Fn(HookShowWindow)); }),
        ERROR_INVALID_OPERATION);
    EXPECT_EQ(DetourAttach(Slot(real.getDC), Fn(HookGetDC)), NO_ERROR);
    EXPECT_EQ(DetourTransactionAbort(), NO_ERROR);
    EXPECT_EQ(control::AttachedHookCount(), 0);
    EXPECT_EQ(Fn(real.getDC), Fn(&::GetDC));
    GetDC(nullptr);
    EXPECT_TRUE(calls.empty());
}

TEST_F(HooksTest, TheLayersOwnControlsCallThroughTheHooks) {
    ASSERT_EQ(Change(true), NO_ERROR);
    HWND parent = MakeWindow(WS_OVERLAPPEDWINDOW);
    calls.clear();
    ShowWindow(parent, SW_SHOW);
    // A child made visible shows through ShowWindow; focusing an edit makes and shows its
    // caret; typing moves it and redraws through GetDC/ReleaseDC; losing the focus destroys it.
    HWND edit = CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE, 5, 5, 200, 20, parent,
                                nullptr, nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(calls["ShowWindow"], 2);
    SetFocus(edit);
    EXPECT_EQ(calls["CreateCaret"], 1);
    EXPECT_EQ(calls["ShowCaret"], 1);
    int moves = calls["SetCaretPos"];
    SendMessageW(edit, WM_CHAR, L'a', 0);
    SendMessageW(edit, WM_CHAR, L'b', 0);
    EXPECT_EQ(calls["GetDC"], 2);
    EXPECT_EQ(calls["ReleaseDC"], 2);
    EXPECT_EQ(calls["SetCaretPos"], moves + 2);
    SetFocus(nullptr);
    EXPECT_EQ(calls["DestroyCaret"], 1);
}

TEST_F(HooksTest, AnEditGivesBackALongLivedContextAsItGotIt) {
    ASSERT_EQ(Change(true), NO_ERROR);
    HWND parent = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND edit = CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE, 5, 5, 200, 20, parent,
                                nullptr, nullptr, nullptr);
    // The edit's own memory context, handed out by the hooked GetDC and kept after ReleaseDC.
    HDC own = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(own, 200, 20);
    SelectObject(own, bitmap);
    LOGFONTW look{};
    look.lfHeight = 20;
    HFONT font = CreateFontIndirectW(&look);
    SelectObject(own, font);
    SetViewportOrgEx(own, 3, 4, nullptr);
    HRGN clip = CreateRectRgn(0, 0, 50, 10);
    SelectClipRgn(own, clip);
    SetBkMode(own, OPAQUE);
    SetTextColor(own, RGB(1, 2, 3));
    SetBkColor(own, RGB(4, 5, 6));
    g_ownWindow = edit;
    g_ownDc = own;

    SetFocus(edit);
    SendMessageW(edit, WM_CHAR, L'a', 0);
    SendMessageW(edit, EM_SETSEL, 0, -1);  // a selection paints in the highlight colours
    SendMessageW(edit, WM_CHAR, L'b', 0);
    ASSERT_GE(calls["GetDC"], 2);
    EXPECT_EQ(calls["GetDC"], calls["ReleaseDC"]);

    EXPECT_EQ(GetCurrentObject(own, OBJ_FONT), font);
    EXPECT_EQ(GetCurrentObject(own, OBJ_BITMAP), bitmap);
    POINT origin{};
    GetViewportOrgEx(own, &origin);
    EXPECT_EQ(origin.x, 3);
    EXPECT_EQ(origin.y, 4);
    EXPECT_EQ(GetBkMode(own), OPAQUE);
    EXPECT_EQ(GetTextColor(own), RGB(1, 2, 3));
    EXPECT_EQ(GetBkColor(own), RGB(4, 5, 6));
    EXPECT_EQ(GetObjectType(own), static_cast<DWORD>(OBJ_DC));  // still the edit's

    g_ownWindow = nullptr;
    g_ownDc = nullptr;
    DeleteDC(own);
    DeleteObject(bitmap);
    DeleteObject(font);
    DeleteObject(clip);
}

TEST_F(HooksTest, ReleaseDcTakesOnlyAContextThatGetDcGaveForThatWindow) {
    HWND w = MakeWindow(WS_OVERLAPPEDWINDOW);
    HWND other = MakeWindow(WS_OVERLAPPEDWINDOW);
    HDC memory = CreateCompatibleDC(nullptr);
    PAINTSTRUCT ps{};
    InvalidateRect(w, nullptr, FALSE);
    HDC paint = BeginPaint(w, &ps);
    HDC window = GetDC(w);
    EXPECT_EQ(ReleaseDC(w, memory), 0);
    EXPECT_EQ(ReleaseDC(w, paint), 0);
    EXPECT_EQ(ReleaseDC(other, window), 0);
    // Each is left as it was: still usable, and freed only by its own function.
    EXPECT_EQ(GetObjectType(memory), static_cast<DWORD>(OBJ_DC));
    EXPECT_EQ(GetObjectType(paint), static_cast<DWORD>(OBJ_DC));
    EXPECT_EQ(ReleaseDC(w, window), 1);
    EXPECT_EQ(GetObjectType(window), 0u);
    EXPECT_TRUE(EndPaint(w, &ps));
    EXPECT_TRUE(DeleteDC(memory));
}

}  // namespace
