// The combo box: its messages' answers, the selection by keys and mouse, the drop-down list that
// the combo owns (opened, closed, printed with the combo), its notifications, and its picture.
#include <cairo.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/dc_hook.h"
#include "platform/dib_canvas.h"
#include "common/golden_image.h"
#include <commctrl.h>
#include "machine/control/input.h"
#include <winuser.h>
#include "common/screen_shot.h"
#include "common/window_helper.h"

namespace {

constexpr int kId = 31;
constexpr RECT kParent{20, 20, 320, 260};  // on the screen
constexpr COLORREF kHighlight = RGB(0x0A, 0x24, 0x6A);

class ComboTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        parent_ = MakeControlParent(L"ComboParent", LoggingProc, kParent);
        ASSERT_NE(parent_, nullptr);
    }
    HWND MakeCombo(DWORD type = CBS_DROPDOWNLIST,
                   std::vector<const wchar_t*> items = {L"Alpha", L"Beta", L"Gamma"}) {
        HWND combo =
            CreateWindowExW(0, WC_COMBOBOXW, L"", WS_CHILD | WS_VISIBLE | type, 10, 10, 150, 21,
                            parent_, reinterpret_cast<HMENU>(kId), nullptr, nullptr);
        EXPECT_NE(combo, nullptr);
        for (const wchar_t* item : items)
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        Drain();
        MessageLog().Clear();
        return combo;
    }
    // The drop-down list: the pop-up window the combo owns.
    static HWND ListOf(HWND combo) {
        struct Search {
            HWND combo;
            HWND found;
        } search{combo, nullptr};
        EnumWindows(
            [](HWND h, LPARAM p) -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                if (GetWindow(h, GW_OWNER) == s->combo) s->found = h;
                return s->found == nullptr;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    static std::wstring Text(HWND window) {
        wchar_t buffer[128] = {};
        GetWindowTextW(window, buffer, 128);
        return buffer;
    }
    // The notification codes the parent got from the combo, in order.
    std::vector<UINT> Notifications(HWND combo) {
        std::vector<UINT> out;
        for (const Logged& l : Entries(WM_COMMAND, parent_))
            if (reinterpret_cast<HWND>(l.lParam) == combo && LOWORD(l.wParam) == kId)
                out.push_back(HIWORD(l.wParam));
        return out;
    }
    static POINT OnScreen(HWND window, POINT client) {
        ClientToScreen(window, &client);
        return client;
    }
    // The centre of the drop button, and of the open list's row.
    static POINT Button(HWND combo) { return OnScreen(combo, {150 - 10, 10}); }
    static POINT Row(HWND combo, int row) {
        RECT r{};
        GetWindowRect(ListOf(combo), &r);
        return {r.left + 20, r.top + 1 + row * (ControlFontHeight() + 2) + 4};
    }
    HWND parent_ = nullptr;
};

TEST_F(ComboTest, MessagesAnswerWithIndicesCountsOrCbErr) {
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        const wchar_t* text;
        LRESULT expected;
        int count;  // items afterwards
    };
    const std::vector<Case> cases = {
        {"count", CB_GETCOUNT, 0, nullptr, 3, 3},
        {"add gives the new index", CB_ADDSTRING, 0, L"Delta", 3, 4},
        {"add without text", CB_ADDSTRING, 0, nullptr, CB_ERR, 3},
        {"insert in the middle", CB_INSERTSTRING, 1, L"X", 1, 4},
        {"insert -1 appends", CB_INSERTSTRING, static_cast<WPARAM>(-1), L"X", 3, 4},
        {"insert at the end", CB_INSERTSTRING, 3, L"X", 3, 4},
        {"insert past the end", CB_INSERTSTRING, 4, L"X", CB_ERR, 3},
        {"delete gives the count left", CB_DELETESTRING, 1, nullptr, 2, 2},
        {"delete past the end", CB_DELETESTRING, 3, nullptr, CB_ERR, 3},
        {"delete -1", CB_DELETESTRING, static_cast<WPARAM>(-1), nullptr, CB_ERR, 3},
        {"set selection", CB_SETCURSEL, 2, nullptr, 2, 3},
        {"set selection past the end", CB_SETCURSEL, 3, nullptr, CB_ERR, 3},
        {"text length", CB_GETLBTEXTLEN, 0, nullptr, 5, 3},
        {"text length past the end", CB_GETLBTEXTLEN, 3, nullptr, CB_ERR, 3},
        {"find exact ignores case", CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), L"bETA", 1, 3},
        {"find exact is no prefix search", CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), L"Bet",
         CB_ERR, 3},
        {"find exact starts after the start and wraps", CB_FINDSTRINGEXACT, 1, L"Beta", 1, 3},
        {"find exact skips items before the start", CB_FINDSTRINGEXACT, 0, L"Alpha", 0, 3},
        {"select by prefix", CB_SELECTSTRING, static_cast<WPARAM>(-1), L"ga", 2, 3},
        {"select a prefix nobody has", CB_SELECTSTRING, static_cast<WPARAM>(-1), L"Z", CB_ERR, 3},
        {"reset", CB_RESETCONTENT, 0, nullptr, CB_OKAY, 0},
        {"closed list", CB_GETDROPPEDSTATE, 0, nullptr, FALSE, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND combo = MakeCombo();
        EXPECT_EQ(SendMessageW(combo, c.message, c.wParam, reinterpret_cast<LPARAM>(c.text)),
                  c.expected);
        EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), c.count);
        DestroyWindow(combo);
    }
}

TEST_F(ComboTest, TheSelectionFollowsInsertsDeletesAndTheText) {
    struct Case {
        const char* name;
        std::function<void(HWND)> act;
        int selected;
        const wchar_t* text;
    };
    auto send = [](UINT m, WPARAM w, const wchar_t* t = nullptr) {
        return [=](HWND c) { SendMessageW(c, m, w, reinterpret_cast<LPARAM>(t)); };
    };
    auto both = [](std::function<void(HWND)> a, std::function<void(HWND)> b) {
        return [=](HWND c) {
            a(c);
            b(c);
        };
    };
    const std::vector<Case> cases = {
        {"nothing at first", [](HWND) {}, -1, L""},
        {"set selection shows the item", send(CB_SETCURSEL, 1), 1, L"Beta"},
        {"a bad index clears it", both(send(CB_SETCURSEL, 1), send(CB_SETCURSEL, 7)), -1, L""},
        {"deleting an item before it moves it",
         both(send(CB_SETCURSEL, 1), send(CB_DELETESTRING, 0)), 0, L"Beta"},
        {"deleting it clears it", both(send(CB_SETCURSEL, 1), send(CB_DELETESTRING, 1)), -1, L""},
        {"inserting before it moves it",
         both(send(CB_SETCURSEL, 1), send(CB_INSERTSTRING, 0, L"Zero")), 2, L"Beta"},
        {"reset clears it", both(send(CB_SETCURSEL, 1), send(CB_RESETCONTENT, 0)), -1, L""},
        {"text of an item selects it", send(WM_SETTEXT, 0, L"gamma"), 2, L"Gamma"},
        {"select by prefix", send(CB_SELECTSTRING, static_cast<WPARAM>(-1), L"Al"), 0, L"Alpha"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND combo = MakeCombo();
        c.act(combo);
        EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), c.selected);
        EXPECT_EQ(Text(combo), c.text);
        EXPECT_TRUE(Notifications(combo).empty());  // the program's changes tell nothing
        DestroyWindow(combo);
    }
}

TEST_F(ComboTest, GetLbTextCopiesTheItemAndRefusesBadIndices) {
    HWND combo = MakeCombo();
    wchar_t buffer[16] = L"untouched";
    EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(buffer)), 5);
    EXPECT_STREQ(buffer, L"Gamma");
    EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(buffer)), CB_ERR);
    EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXT, 0, 0), CB_ERR);
    EXPECT_STREQ(buffer, L"Gamma");
    EXPECT_EQ(SendMessageW(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Omega")), CB_ERR);
}

TEST_F(ComboTest, KeysAndClicksSelectOpenAndCloseWithTheirNotifications) {
    struct Case {
        const char* name;
        std::function<void(ComboTest&, HWND)> act;
        std::vector<UINT> notifications;
        int selected;
        bool dropped;
    };
    auto keys = [](std::vector<UINT> vks) {
        return [=](ComboTest& t, HWND combo) {
            SetFocus(combo);
            t.Drain();
            MessageLog().Clear();
            for (UINT vk : vks) control::PressKey(vk);
            t.Drain();
        };
    };
    auto altDown = [](ComboTest& t, HWND combo) {
        SetFocus(combo);
        t.Drain();
        MessageLog().Clear();
        control::KeyDown(VK_MENU);
        control::PressKey(VK_DOWN);
        control::KeyUp(VK_MENU);
        t.Drain();
    };
    auto clickButtonThen = [](std::function<POINT(HWND)> where) {
        return [=](ComboTest& t, HWND combo) {
            control::Click(Button(combo));
            t.Drain();
            if (where) {
                control::Click(where(combo));
                t.Drain();
            }
        };
    };
    using N = std::vector<UINT>;
    const std::vector<Case> cases = {
        {"Down selects the next", keys({VK_DOWN}), N{CBN_SELCHANGE}, 1, false},
        {"Up at the first stays", keys({VK_UP}), N{}, 0, false},
        {"Down at the last stays", keys({VK_DOWN, VK_DOWN, VK_DOWN}),
         N{CBN_SELCHANGE, CBN_SELCHANGE}, 2, false},
        {"F4 opens", keys({VK_F4}), N{CBN_DROPDOWN}, 0, true},
        {"F4 twice closes", keys({VK_F4, VK_F4}), N{CBN_DROPDOWN, CBN_CLOSEUP}, 0, false},
        {"Escape closes", keys({VK_F4, VK_ESCAPE}), N{CBN_DROPDOWN, CBN_CLOSEUP}, 0, false},
        {"Down in the open list selects", keys({VK_F4, VK_DOWN, VK_RETURN}),
         N{CBN_DROPDOWN, CBN_SELCHANGE, CBN_CLOSEUP}, 1, false},
        {"Alt+Down opens", altDown, N{CBN_DROPDOWN}, 0, true},
        {"a click on the button opens", clickButtonThen(nullptr), N{CBN_DROPDOWN}, 0, true},
        {"a click on an item chooses it and closes",
         clickButtonThen([](HWND c) { return Row(c, 2); }),
         N{CBN_DROPDOWN, CBN_SELCHANGE, CBN_CLOSEUP}, 2, false},
        {"a click on the chosen item closes", clickButtonThen([](HWND c) { return Row(c, 0); }),
         N{CBN_DROPDOWN, CBN_CLOSEUP}, 0, false},
        {"a click outside closes", clickButtonThen([](HWND c) {
             return OnScreen(GetParent(c), {250, 200});
         }),
         N{CBN_DROPDOWN, CBN_CLOSEUP}, 0, false},
        {"a second click on the button closes", clickButtonThen(Button),
         N{CBN_DROPDOWN, CBN_CLOSEUP}, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND combo = MakeCombo();
        SendMessageW(combo, CB_SETCURSEL, 0, 0);
        c.act(*this, combo);
        EXPECT_EQ(Notifications(combo), c.notifications);
        EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), c.selected);
        EXPECT_EQ(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) != 0, c.dropped);
        EXPECT_EQ(IsWindowVisible(ListOf(combo)) != FALSE, c.dropped);
        DestroyWindow(combo);
        Drain();
    }
}

TEST_F(ComboTest, AskForAllKeysOnlyWhileTheListIsOpen) {
    for (DWORD type : {CBS_DROPDOWNLIST, CBS_DROPDOWN}) {
        SCOPED_TRACE(type);
        HWND combo = MakeCombo(type);
        HWND focus = type == CBS_DROPDOWN ? GetWindow(combo, GW_CHILD) : combo;
        EXPECT_FALSE(SendMessageW(focus, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS);
        EXPECT_TRUE(SendMessageW(focus, WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS);
        SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
        EXPECT_TRUE(SendMessageW(focus, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS);
        DestroyWindow(combo);
    }
}

TEST_F(ComboTest, TheDropDownIsAPopUpOwnedByTheComboBelowIt) {
    HWND combo = MakeCombo();
    HWND list = ListOf(combo);
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(GetWindowLongPtrW(list, GWL_STYLE) & WS_CHILD);
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_TRUE(SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0));
    EXPECT_TRUE(IsWindowVisible(list));
    RECT c{}, l{};
    GetWindowRect(combo, &c);
    GetWindowRect(list, &l);
    EXPECT_EQ(l.left, c.left);
    EXPECT_EQ(l.right, c.right);
    EXPECT_EQ(l.top, c.bottom);
    EXPECT_EQ(l.bottom - l.top, 3 * (ControlFontHeight() + 2) + 2);  // three items and a frame
    EXPECT_EQ(GetCapture(), list);
    SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_EQ(GetCapture(), nullptr);
    DestroyWindow(combo);
    EXPECT_FALSE(IsWindow(list));
}

TEST_F(ComboTest, TypingIntoTheEditTellsEditChangeAndSetsTheText) {
    HWND combo = MakeCombo(CBS_DROPDOWN);
    HWND edit = GetWindow(combo, GW_CHILD);
    ASSERT_NE(edit, nullptr);
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    EXPECT_EQ(Text(edit), L"Beta");
    EXPECT_TRUE(Notifications(combo).empty());
    SetFocus(combo);
    EXPECT_EQ(GetFocus(), edit);
    Drain();
    MessageLog().Clear();
    control::PressKey(VK_END);
    Drain();
    SendMessageW(edit, WM_CHAR, L'x', 0);  // the character its key gives
    EXPECT_EQ(Notifications(combo), std::vector<UINT>{CBN_EDITCHANGE});
    EXPECT_EQ(Text(combo), L"Betax");
    // The edit passes the combo's keys on.
    control::PressKey(VK_F4);
    Drain();
    EXPECT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(SendMessageW(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"free text")), TRUE);
    EXPECT_EQ(Text(edit), L"free text");
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
}

TEST_F(ComboTest, UserChangesRepaintThroughTheInterceptedDcCallsProgramChangesLater) {
    struct Case {
        const char* name;
        std::function<void(ComboTest&, HWND)> act;
        bool comboAtOnce;
        bool listAtOnce;
    };
    auto keys = [](std::vector<UINT> vks) {
        return [=](ComboTest& t, HWND combo) {
            for (UINT vk : vks) control::PressKey(vk);
            t.Drain();
        };
    };
    const std::vector<Case> cases = {
        {"Down", keys({VK_DOWN}), true, false},
        {"F4 opens", keys({VK_F4}), true, true},
        {"Down in the open list", keys({VK_F4, VK_DOWN}), true, true},
        {"a click on an item",
         [](ComboTest& t, HWND combo) {
             control::Click(Button(combo));
             t.Drain();
             control::Click(Row(combo, 2));
             t.Drain();
         },
         true, true},
        {"set selection", [](ComboTest&, HWND c) { SendMessageW(c, CB_SETCURSEL, 2, 0); }, false,
         false},
        {"add and delete",
         [](ComboTest&, HWND c) {
             SendMessageW(c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Delta"));
             SendMessageW(c, CB_DELETESTRING, 0, 0);
         },
         false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND combo = MakeCombo();
        HWND list = ListOf(combo);
        SetFocus(combo);
        Drain();
        DcHook hook;
        c.act(*this, combo);
        const auto [gets, releases] = DcHook::Calls(combo);
        EXPECT_EQ(gets > 0, c.comboAtOnce);
        EXPECT_EQ(releases, gets);
        EXPECT_EQ(DcHook::Calls(list).first > 0, c.listAtOnce);
        RECT update{};
        EXPECT_EQ(GetUpdateRect(combo, &update, FALSE) != FALSE, !c.comboAtOnce);
        DestroyWindow(combo);
        Drain();
    }
}

TEST_F(ComboTest, PrintingWithOwnedWindowsIncludesTheOpenList) {
    struct Case {
        const char* name;
        bool open;
        DWORD flags;
        bool listShows;
    };
    const DWORD all = PRF_CLIENT | PRF_NONCLIENT | PRF_ERASEBKGND | PRF_CHILDREN;
    const std::vector<Case> cases = {
        {"open, with owned windows", true, all | PRF_OWNED, true},
        {"open, without owned windows", true, all, false},
        {"closed, with owned windows", false, all | PRF_OWNED, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND combo = MakeCombo();
        SendMessageW(combo, CB_SETCURSEL, 1, 0);
        if (c.open) SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
        DibCanvas canvas(150, 120);
        ASSERT_TRUE(canvas.ok());
        SendMessageW(combo, WM_PRINT, reinterpret_cast<WPARAM>(canvas.dc()),
                     static_cast<LPARAM>(c.flags));
        // The combo's field; below it, the selected row of the list in the highlight colour.
        EXPECT_EQ(canvas.At(0, 0), RGB(0x80, 0x80, 0x80));  // the sunken border's outer shadow
        const int rowY = 21 + 1 + (ControlFontHeight() + 2) + 1;
        EXPECT_EQ(canvas.At(100, rowY) == kHighlight, c.listShows);
        EXPECT_EQ(canvas.At(0, 21) == RGB(0, 0, 0), c.listShows);  // the list's frame
        DestroyWindow(combo);
    }
}

TEST_F(ComboTest, PaintAndPrintClientGiveTheSamePixels) {
    struct Case {
        const char* name;
        DWORD type;
        bool focus;
    };
    const std::vector<Case> cases = {
        {"selection field", CBS_DROPDOWNLIST, false},
        {"focused selection field", CBS_DROPDOWNLIST, true},
        {"with an edit", CBS_DROPDOWN, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND combo = MakeCombo(c.type);
        SendMessageW(combo, CB_SETCURSEL, 1, 0);
        if (c.focus) SetFocus(combo);
        Drain();
        DibCanvas canvas(150, 21);
        SendMessageW(combo, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
        cairo_surface_t* shot = ClientShot(combo);
        int differing = 0;
        for (int y = 0; y < 21; ++y)
            for (int x = 0; x < 150; ++x) {
                if (c.type == CBS_DROPDOWN && x >= 3 && x < 131 && y >= 3 && y < 18)
                    continue;  // the edit child paints itself there
                differing += ShotPixel(shot, x, y) != canvas.At(x, y);
            }
        cairo_surface_destroy(shot);
        EXPECT_EQ(differing, 0);
        DestroyWindow(combo);
        Drain();
    }
}

TEST_F(ComboTest, LooksLikeItsReferenceClosedAndOpen) {
    HWND combo = MakeCombo(CBS_DROPDOWNLIST, {L"Automatic", L"3G only", L"2G only", L"4G only"});
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    HWND edit = CreateWindowExW(0, WC_COMBOBOXW, L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWN, 10, 40,
                                150, 21, parent_, nullptr, nullptr, nullptr);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"internet"));
    Drain();
    const RECT area{kParent.left, kParent.top, kParent.left + 170, kParent.top + 140};
    cairo_surface_t* closed = ScreenShot(area);
    KeepForReview(closed, "combo_closed");
    EXPECT_TRUE(golden::Matches(closed, "combo_closed"));
    cairo_surface_destroy(closed);
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    Drain();
    cairo_surface_t* open = ScreenShot(area);
    KeepForReview(open, "combo_open");
    EXPECT_TRUE(golden::Matches(open, "combo_open"));
    cairo_surface_destroy(open);
}

}  // namespace
