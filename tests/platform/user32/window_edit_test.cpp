// The Edit control: typing, selection, limits, the password, number-only and read-only styles,
// its notifications, its caret and its redraws through GetDC/ReleaseDC.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "machine/control/input.h"
#include "machine/trace.h"
#include <winuser.h>
#include "common/window_helper.h"

namespace {

constexpr int kId = 7;

// What a test does to an edit: a message with its wParam (lParam 0).
using Step = std::pair<UINT, WPARAM>;

std::vector<Step> Typed(const std::wstring& text) {
    std::vector<Step> out;
    for (wchar_t c : text) out.emplace_back(WM_CHAR, c);
    return out;
}

// The width of the text in the controls' font.
int TextWidth(const std::wstring& text) {
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    DeleteDC(dc);
    return size.cx;
}

class EditTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        parent_ = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        ASSERT_NE(parent_, nullptr);
    }
    HWND MakeEdit(DWORD style = 0, const wchar_t* text = L"") {
        HWND edit = CreateWindowExW(0, L"Edit", text, WS_CHILD | WS_VISIBLE | style, 5, 5, 200, 20,
                                    parent_, reinterpret_cast<HMENU>(kId), nullptr, nullptr);
        EXPECT_NE(edit, nullptr);
        MessageLog().Clear();
        return edit;
    }
    static std::wstring Text(HWND edit) {
        wchar_t buffer[256] = {};
        GetWindowTextW(edit, buffer, 256);
        return buffer;
    }
    static std::pair<DWORD, DWORD> Selection(HWND edit) {
        DWORD start = 99, end = 99;
        LRESULT both = SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                                    reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(LOWORD(static_cast<ULONG_PTR>(both)), start);
        EXPECT_EQ(HIWORD(static_cast<ULONG_PTR>(both)), end);
        return {start, end};
    }
    static void Run(HWND edit, const std::vector<Step>& steps) {
        for (const Step& s : steps) SendMessageW(edit, s.first, s.second, 0);
    }
    // The notification codes the parent got from the edit, in order.
    std::vector<UINT> Notifications(HWND edit) {
        std::vector<UINT> out;
        for (const Logged& l : Entries(WM_COMMAND, parent_)) {
            EXPECT_EQ(LOWORD(l.wParam), kId);
            EXPECT_EQ(reinterpret_cast<HWND>(l.lParam), edit);
            out.push_back(HIWORD(l.wParam));
        }
        return out;
    }
    // The traced GetDC / ReleaseDC calls for the window since the trace began, in order.
    std::vector<std::wstring> DcCalls(HWND window) {
        std::wostringstream handle;
        handle << L"0x" << std::hex << reinterpret_cast<std::uintptr_t>(window);
        std::vector<std::wstring> out;
        for (const auto& line : DebugLines(L"[trace] gdi: ")) {
            if (line.find(L"GetDC(" + handle.str() + L")") != std::wstring::npos)
                out.emplace_back(L"GetDC");
            if (line.find(L"ReleaseDC(" + handle.str() + L",") != std::wstring::npos)
                out.emplace_back(L"ReleaseDC");
        }
        return out;
    }

    HWND parent_ = nullptr;
};

TEST_F(EditTest, TypingAndKeysEditTheTextAtTheSelection) {
    struct Case {
        const char* what;
        DWORD style;
        const wchar_t* start;
        std::pair<int, int> selection;
        std::vector<Step> steps;
        std::wstring text;
        std::pair<DWORD, DWORD> after;
    };
    const std::vector<Case> cases = {
        {"typing at the end", 0, L"ab", {2, 2}, Typed(L"cd"), L"abcd", {4, 4}},
        {"typing replaces the selection", 0, L"hello", {1, 4}, Typed(L"A"), L"hAo", {2, 2}},
        {"a reversed selection is replaced alike",
         0,
         L"hello",
         {4, 1},
         Typed(L"A"),
         L"hAo",
         {2, 2}},
        {"backspace takes the character before the caret",
         0,
         L"abc",
         {2, 2},
         Typed(L"\b"),
         L"ac",
         {1, 1}},
        {"backspace takes the selection", 0, L"abcd", {1, 3}, Typed(L"\b"), L"ad", {1, 1}},
        {"backspace at the start does nothing", 0, L"abc", {0, 0}, Typed(L"\b"), L"abc", {0, 0}},
        {"other control characters type nothing",
         0,
         L"ab",
         {1, 1},
         Typed(L"\t\r\x1b"),
         L"ab",
         {1, 1}},
        {"delete takes the character after the caret",
         0,
         L"abc",
         {1, 1},
         {{WM_KEYDOWN, VK_DELETE}},
         L"ac",
         {1, 1}},
        {"delete at the end does nothing",
         0,
         L"abc",
         {3, 3},
         {{WM_KEYDOWN, VK_DELETE}},
         L"abc",
         {3, 3}},
        {"delete takes the selection",
         0,
         L"abcd",
         {0, 2},
         {{WM_KEYDOWN, VK_DELETE}},
         L"cd",
         {0, 0}},
        {"left and right move the caret",
         0,
         L"abcd",
         {2, 2},
         {{WM_KEYDOWN, VK_LEFT},
          {WM_KEYDOWN, VK_LEFT},
          {WM_KEYDOWN, VK_LEFT},
          {WM_KEYDOWN, VK_RIGHT}},
         L"abcd",
         {1, 1}},
        {"left ends a selection at its start",
         0,
         L"abcd",
         {3, 1},
         {{WM_KEYDOWN, VK_LEFT}},
         L"abcd",
         {1, 1}},
        {"right ends a selection at its end",
         0,
         L"abcd",
         {1, 3},
         {{WM_KEYDOWN, VK_RIGHT}},
         L"abcd",
         {3, 3}},
        {"right stops at the end", 0, L"ab", {2, 2}, {{WM_KEYDOWN, VK_RIGHT}}, L"ab", {2, 2}},
        {"home and end", 0, L"abcd", {2, 2}, {{WM_KEYDOWN, VK_HOME}}, L"abcd", {0, 0}},
        {"end", 0, L"abcd", {1, 1}, {{WM_KEYDOWN, VK_END}}, L"abcd", {4, 4}},
        {"number-only refuses all but digits",
         ES_NUMBER,
         L"",
         {0, 0},
         Typed(L"1a-2 .3"),
         L"123",
         {3, 3}},
        {"number-only still takes backspace", ES_NUMBER, L"12", {2, 2}, Typed(L"\b"), L"1", {1, 1}},
        {"read-only refuses typing", ES_READONLY, L"ab", {2, 2}, Typed(L"c\b"), L"ab", {2, 2}},
        {"read-only refuses delete but moves",
         ES_READONLY,
         L"ab",
         {0, 0},
         {{WM_KEYDOWN, VK_DELETE}, {WM_KEYDOWN, VK_RIGHT}},
         L"ab",
         {1, 1}},
        {"password edits type alike", ES_PASSWORD, L"", {0, 0}, Typed(L"pw"), L"pw", {2, 2}},
    };
    for (const Case& c : cases) {
        HWND edit = MakeEdit(c.style, c.start);
        SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(c.selection.first), c.selection.second);
        Run(edit, c.steps);
        EXPECT_EQ(Text(edit), c.text) << c.what;
        EXPECT_EQ(Selection(edit), c.after) << c.what;
        DestroyWindow(edit);
    }
}

TEST_F(EditTest, SetSelReadsMinusOneAsItsPlatformDoes) {
    struct Case {
        const char* what;
        int start;
        int end;
        std::pair<DWORD, DWORD> after;
    };
    const std::vector<Case> cases = {
        {"a range", 1, 3, {1, 3}},
        {"0 to -1 selects all", 0, -1, {0, 5}},
        {"an end past the text stops at its end", 2, 99, {2, 5}},
        {"start -1 takes the selection away, the caret stays", -1, 0, {3, 3}},
    };
    for (const Case& c : cases) {
        HWND edit = MakeEdit(0, L"hello");
        SendMessageW(edit, EM_SETSEL, 4, 3);  // the caret at 3
        SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(c.start), c.end);
        EXPECT_EQ(Selection(edit), c.after) << c.what;
        DestroyWindow(edit);
    }
}

TEST_F(EditTest, TheLimitCutsTypingAndReplacingButNotSettingText) {
    HWND edit = MakeEdit();
    EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 30000);
    SendMessageW(edit, EM_LIMITTEXT, 0, 0);  // 0: as much as the control holds
    EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE);
    SendMessageW(edit, EM_SETLIMITTEXT, 4, 0);
    EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 4);

    Run(edit, Typed(L"abcde"));
    EXPECT_EQ(Text(edit), L"abcd");
    SendMessageW(edit, EM_SETSEL, 1, 2);
    SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"XYZ"));
    EXPECT_EQ(Text(edit), L"aXcd");
    EXPECT_EQ(Selection(edit), (std::pair<DWORD, DWORD>{2, 2}));

    SetWindowTextW(edit, L"longer than four");
    EXPECT_EQ(Text(edit), L"longer than four");
    Run(edit, Typed(L"x"));  // still over the limit: nothing more goes in
    EXPECT_EQ(Text(edit), L"longer than four");
    SendMessageW(edit, EM_SETSEL, 0, -1);
    Run(edit, Typed(L"x"));  // replacing everything fits
    EXPECT_EQ(Text(edit), L"x");
}

TEST_F(EditTest, NotificationsComeInThePlatformsOrder) {
    struct Case {
        const char* what;
        DWORD style;
        std::function<void(HWND)> act;
        std::vector<UINT> codes;
    };
    const std::vector<Case> cases = {
        {"a typed character",
         0,
         [](HWND e) { SendMessageW(e, WM_CHAR, L'a', 0); },
         {EN_UPDATE, EN_CHANGE}},
        {"a character refused", ES_NUMBER, [](HWND e) { SendMessageW(e, WM_CHAR, L'a', 0); }, {}},
        {"a key that only moves", 0, [](HWND e) { SendMessageW(e, WM_KEYDOWN, VK_HOME, 0); }, {}},
        {"typing at the limit",
         0,
         [](HWND e) {
             SendMessageW(e, EM_LIMITTEXT, 1, 0);
             SendMessageW(e, WM_CHAR, L'a', 0);
             SendMessageW(e, WM_CHAR, L'b', 0);
         },
         {EN_UPDATE, EN_CHANGE, EN_MAXTEXT}},
        {"a replacement cut at the limit",
         0,
         [](HWND e) {
             SendMessageW(e, EM_LIMITTEXT, 2, 0);
             SendMessageW(e, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(L"abc"));
         },
         {EN_MAXTEXT, EN_UPDATE, EN_CHANGE}},
        {"text set by the program",
         0,
         [](HWND e) { SetWindowTextW(e, L"new"); },
         {EN_UPDATE, EN_CHANGE}},
        {"text set by the program in a multi-line edit",
         ES_MULTILINE,
         [](HWND e) { SetWindowTextW(e, L"new"); },
         {}},
        {"the focus coming and going",
         0,
         [](HWND e) {
             SetFocus(e);
             SetFocus(nullptr);
         },
         {EN_SETFOCUS, EN_KILLFOCUS}},
    };
    for (const Case& c : cases) {
        HWND edit = MakeEdit(c.style);
        c.act(edit);
        EXPECT_EQ(Notifications(edit), c.codes) << c.what;
        DestroyWindow(edit);
    }
}

TEST_F(EditTest, PasswordCharacterAndReadOnlyFollowTheirMessages) {
    HWND plain = MakeEdit();
    HWND password = MakeEdit(ES_PASSWORD, L"secret");
    EXPECT_EQ(SendMessageW(plain, EM_GETPASSWORDCHAR, 0, 0), 0);
    EXPECT_EQ(SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0), L'*');
    EXPECT_EQ(Text(password), L"secret");  // the program reads the real text

    SendMessageW(plain, EM_SETPASSWORDCHAR, L'#', 0);
    EXPECT_EQ(SendMessageW(plain, EM_GETPASSWORDCHAR, 0, 0), L'#');
    EXPECT_TRUE(GetWindowLongPtrW(plain, GWL_STYLE) & ES_PASSWORD);
    SendMessageW(password, EM_SETPASSWORDCHAR, 0, 0);
    EXPECT_FALSE(GetWindowLongPtrW(password, GWL_STYLE) & ES_PASSWORD);

    EXPECT_TRUE(SendMessageW(plain, EM_SETREADONLY, TRUE, 0));
    EXPECT_TRUE(GetWindowLongPtrW(plain, GWL_STYLE) & ES_READONLY);
    SendMessageW(plain, WM_CHAR, L'x', 0);
    EXPECT_EQ(Text(plain), L"");
    SendMessageW(plain, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(L"program"));  // not typing
    EXPECT_EQ(Text(plain), L"program");
    SendMessageW(plain, EM_SETREADONLY, FALSE, 0);
    SendMessageW(plain, WM_CHAR, L'x', 0);
    EXPECT_EQ(Text(plain), L"programx");
}

TEST_F(EditTest, TheModifiedFlagFollowsTheUserNotTheProgram) {
    HWND edit = MakeEdit(0, L"start");
    EXPECT_FALSE(SendMessageW(edit, EM_GETMODIFY, 0, 0));
    SendMessageW(edit, WM_CHAR, L'x', 0);
    EXPECT_TRUE(SendMessageW(edit, EM_GETMODIFY, 0, 0));
    SetWindowTextW(edit, L"again");
    EXPECT_FALSE(SendMessageW(edit, EM_GETMODIFY, 0, 0));
    SendMessageW(edit, EM_SETMODIFY, TRUE, 0);
    EXPECT_TRUE(SendMessageW(edit, EM_GETMODIFY, 0, 0));
}

TEST_F(EditTest, TheCaretLivesWithTheFocusAndFollowsTheText) {
    HWND edit = MakeEdit(0, L"abc");
    HWND other = MakeEdit();
    EXPECT_FALSE(control::Caret(GetCurrentThreadId()));

    SetFocus(edit);
    auto caret = control::Caret(GetCurrentThreadId());
    ASSERT_TRUE(caret);
    EXPECT_EQ(caret->owner, edit);
    EXPECT_TRUE(caret->visible);
    EXPECT_EQ(caret->position.x, 1);  // before the first character

    SendMessageW(edit, EM_SETSEL, 3, 3);
    SendMessageW(edit, WM_CHAR, L'd', 0);
    EXPECT_EQ(control::Caret(GetCurrentThreadId())->position.x, 1 + TextWidth(L"abcd"));
    SendMessageW(edit, WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(control::Caret(GetCurrentThreadId())->position.x, 1);

    SetFocus(other);
    caret = control::Caret(GetCurrentThreadId());
    ASSERT_TRUE(caret);
    EXPECT_EQ(caret->owner, other);
    SetFocus(nullptr);
    EXPECT_FALSE(control::Caret(GetCurrentThreadId()));
}

TEST_F(EditTest, ACaretPastTheRightEdgeScrollsTheTextInstead) {
    HWND edit = MakeEdit(ES_AUTOHSCROLL);  // 200 wide: 198 pixels of text in view
    ASSERT_GT(TextWidth(std::wstring(40, L'a')), 198);
    SetFocus(edit);
    Run(edit, Typed(std::wstring(40, L'a')));
    // The caret stays at the right edge, less than a character from it.
    int x = control::Caret(GetCurrentThreadId())->position.x;
    EXPECT_LE(x, 1 + 198);
    EXPECT_GT(x, 1 + 198 - TextWidth(L"a"));
    SendMessageW(edit, WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(control::Caret(GetCurrentThreadId())->position.x, 1);
}

TEST_F(EditTest, AClickTakesTheFocusAndPlacesTheCaret) {
    HWND edit = MakeEdit(0, L"abcdef");
    ASSERT_GT(TextWidth(L"c"), 2);
    SendMessageW(edit, WM_LBUTTONDOWN, 0, MAKELPARAM(1 + TextWidth(L"ab") + 1, 5));  // nearer 2
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_EQ(Selection(edit), (std::pair<DWORD, DWORD>{2, 2}));
    SendMessageW(edit, WM_LBUTTONDOWN, 0, MAKELPARAM(500, 5));
    EXPECT_EQ(Selection(edit), (std::pair<DWORD, DWORD>{6, 6}));
}

TEST_F(EditTest, TypingRedrawsThroughGetDcBetweenUpdateAndChange) {
    HWND edit = MakeEdit();
    sim::SetTrace(sim::Facility::Gdi, true);
    std::vector<std::pair<UINT, std::size_t>> seen;  // (code, DC calls so far)
    Answers() = [&](HWND w, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
        if (w == parent_ && m == WM_COMMAND) seen.emplace_back(HIWORD(wp), DcCalls(edit).size());
        return std::nullopt;
    };
    SendMessageW(edit, WM_CHAR, L'a', 0);
    const std::vector<std::wstring> once{L"GetDC", L"ReleaseDC"};
    EXPECT_EQ(DcCalls(edit), once);
    EXPECT_EQ(seen, (std::vector<std::pair<UINT, std::size_t>>{{EN_UPDATE, 0}, {EN_CHANGE, 2}}));

    // Text set by the program is painted later, in WM_PAINT, not through GetDC.
    SetWindowTextW(edit, L"set");
    RECT update{};
    EXPECT_TRUE(GetUpdateRect(edit, &update, FALSE));
    UpdateWindow(edit);
    EXPECT_FALSE(GetUpdateRect(edit, &update, FALSE));
    EXPECT_EQ(DcCalls(edit), once);

    // A hidden edit does not redraw.
    ShowWindow(edit, SW_HIDE);
    SendMessageW(edit, WM_CHAR, L'b', 0);
    EXPECT_EQ(DcCalls(edit), once);
    EXPECT_EQ(Text(edit), L"bset");  // setting the text put the caret at its start
}

TEST_F(EditTest, AnswersTheDialogManagerAndIsASystemClass) {
    HWND edit = MakeEdit();
    EXPECT_EQ(SendMessageW(edit, WM_GETDLGCODE, 0, 0),
              static_cast<LRESULT>(DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS));
    wchar_t name[16] = {};
    GetClassNameW(edit, name, 16);
    EXPECT_STREQ(name, L"Edit");
    EXPECT_NE(CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 10, 10, parent_, nullptr, nullptr,
                              nullptr),
              nullptr);
}

TEST_F(EditTest, AParentThatDestroysTheEditWhileItNotifiesLosesNothing) {
    HWND edit = MakeEdit();
    Answers() = [&](HWND w, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
        if (w == parent_ && m == WM_COMMAND && HIWORD(wp) == EN_UPDATE) DestroyWindow(edit);
        return std::nullopt;
    };
    SendMessageW(edit, WM_CHAR, L'a', 0);
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_EQ(Notifications(edit), std::vector<UINT>{EN_UPDATE});
}

}  // namespace
