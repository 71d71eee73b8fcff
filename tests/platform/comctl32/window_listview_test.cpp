// The list view in its report view: its messages' answers, selection by click and keys with its
// notifications, scrolling, and its picture.
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

constexpr int kId = 41;
constexpr DWORD kClientEdge = 0x00000200;  // WS_EX_CLIENTEDGE
constexpr RECT kParent{20, 20, 340, 260};  // on the screen
constexpr COLORREF kHighlight = RGB(0x0A, 0x24, 0x6A);
constexpr COLORREF kFace = RGB(0xD4, 0xD0, 0xC8);

int RowHeight() {
    return ControlFontHeight() + 3;
}
int HeaderHeight() {
    return ControlFontHeight() + 7;
}

// What the parent heard by WM_NOTIFY, copied while it was valid.
struct Heard {
    UINT code;
    int item;
    UINT oldState;
    UINT newState;
};
std::vector<Heard>& HeardLog() {
    static std::vector<Heard> log;
    return log;
}

LRESULT CALLBACK ParentProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lp);
        if (header->code == LVN_ITEMCHANGED) {
            const auto* nm = reinterpret_cast<const NMLISTVIEW*>(lp);
            HeardLog().push_back({header->code, nm->iItem, nm->uOldState, nm->uNewState});
        } else if (header->code == NM_CLICK || header->code == NM_DBLCLK) {
            const auto* nm = reinterpret_cast<const NMITEMACTIVATE*>(lp);
            HeardLog().push_back({header->code, nm->iItem, 0, 0});
        }
        return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
}

class ListViewTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        HeardLog().clear();
        parent_ = MakeControlParent(L"ListParent", ParentProc, kParent);
        ASSERT_NE(parent_, nullptr);
    }
    // A report list of `rows` items ("Item n", sub-items "n-1", "n-2") under three columns.
    HWND MakeList(int rows = 3, DWORD style = LVS_REPORT, int height = 150, DWORD extended = 0) {
        HWND list =
            CreateWindowExW(kClientEdge, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | style, 10, 10,
                            280, height, parent_, reinterpret_cast<HMENU>(kId), nullptr, nullptr);
        EXPECT_NE(list, nullptr);
        const wchar_t* headings[] = {L"Name", L"Number", L"Time"};
        const int widths[] = {100, 90, 70};
        for (int c = 0; c < 3; ++c) {
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.pszText = const_cast<LPWSTR>(headings[c]);
            column.cx = widths[c];
            EXPECT_EQ(SendMessageW(list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column)),
                      c);
        }
        for (int i = 0; i < rows; ++i) {
            std::wstring label = L"Item " + std::to_wstring(i);
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = i;
            item.pszText = label.data();
            EXPECT_EQ(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)), i);
            for (int s = 1; s < 3; ++s) {
                std::wstring text = std::to_wstring(i) + L"-" + std::to_wstring(s);
                SetText(list, i, s, text.c_str());
            }
        }
        if (extended != 0) SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, extended);
        Drain();
        HeardLog().clear();
        return list;
    }
    static BOOL SetText(HWND list, int index, int sub, const wchar_t* text) {
        LVITEMW item{};
        item.iSubItem = sub;
        item.pszText = const_cast<LPWSTR>(text);
        return static_cast<BOOL>(
            SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item)));
    }
    static std::wstring GetText(HWND list, int index, int sub) {
        wchar_t buffer[64] = L"untouched";
        LVITEMW item{};
        item.iSubItem = sub;
        item.pszText = buffer;
        item.cchTextMax = 64;
        SendMessageW(list, LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
        return buffer;
    }
    static BOOL SetState(HWND list, int index, UINT state, UINT mask) {
        LVITEMW item{};
        item.state = state;
        item.stateMask = mask;
        return static_cast<BOOL>(
            SendMessageW(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item)));
    }
    static std::vector<int> Selected(HWND list) {
        std::vector<int> out;
        for (int i = -1;
             (i = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, i, LVNI_SELECTED))) >= 0;)
            out.push_back(i);
        return out;
    }
    // The screen point of a row's cell in the first column (or at x).
    static POINT RowPoint(HWND list, int row, int x = 20) {
        POINT p{x, 2 + HeaderHeight() + row * RowHeight() + RowHeight() / 2};
        ClientToScreen(list, &p);
        return p;
    }

    HWND parent_ = nullptr;
};

TEST_F(ListViewTest, MessagesAnswerAndKeepTheItems) {
    struct Case {
        const char* name;
        std::function<LRESULT(HWND)> act;
        LRESULT expected;
        int count;
    };
    auto send = [](UINT m, WPARAM w, LPARAM l = 0) {
        return [=](HWND h) { return SendMessageW(h, m, w, l); };
    };
    const std::vector<Case> cases = {
        {"count", send(LVM_GETITEMCOUNT, 0), 3, 3},
        {"delete", send(LVM_DELETEITEM, 1), TRUE, 2},
        {"delete past the end", send(LVM_DELETEITEM, 3), FALSE, 3},
        {"delete -1", send(LVM_DELETEITEM, static_cast<WPARAM>(-1)), FALSE, 3},
        {"delete all", send(LVM_DELETEALLITEMS, 0), TRUE, 0},
        {"insert past the end appends",
         [](HWND h) {
             LVITEMW item{LVIF_TEXT, 99, 0};
             item.pszText = const_cast<LPWSTR>(L"Last");
             return SendMessageW(h, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
         },
         3, 4},
        {"insert of a sub-item is refused",
         [](HWND h) {
             LVITEMW item{LVIF_TEXT, 0, 1};
             item.pszText = const_cast<LPWSTR>(L"No");
             return SendMessageW(h, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
         },
         -1, 3},
        {"insert without an item", send(LVM_INSERTITEMW, 0, 0), -1, 3},
        {"set text of a sub-item", [](HWND h) { return LRESULT{SetText(h, 2, 2, L"x")}; }, TRUE, 3},
        {"set text past the columns", [](HWND h) { return LRESULT{SetText(h, 2, 3, L"x")}; }, FALSE,
         3},
        {"set text of no item", [](HWND h) { return LRESULT{SetText(h, 3, 0, L"x")}; }, FALSE, 3},
        {"nothing selected", send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), -1, 3},
        {"next of all", send(LVM_GETNEXTITEM, 0, LVNI_ALL), 1, 3},
        {"no selection mark", send(LVM_GETSELECTIONMARK, 0), -1, 3},
        {"ensure visible of no item", send(LVM_ENSUREVISIBLE, 5), FALSE, 3},
        {"set state of no item", [](HWND h) { return LRESULT{SetState(h, 7, 2, 2)}; }, FALSE, 3},
        {"extended style gives the old", send(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, 0x20), 0, 3},
        {"column width", send(LVM_GETCOLUMNWIDTH, 1), 90, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND list = MakeList();
        EXPECT_EQ(c.act(list), c.expected);
        EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), c.count);
        DestroyWindow(list);
    }
}

TEST_F(ListViewTest, ItemTextsReadBackBySubItemAndCutToTheBuffer) {
    HWND list = MakeList();
    struct Case {
        int index;
        int sub;
        const wchar_t* text;
    };
    const std::vector<Case> cases = {
        {0, 0, L"Item 0"}, {1, 2, L"1-2"}, {2, 1, L"2-1"}, {5, 0, L""}, {0, 7, L""},
    };
    for (const Case& c : cases) EXPECT_EQ(GetText(list, c.index, c.sub), c.text);
    SendMessageW(list, LVM_DELETEITEM, 0, 0);
    EXPECT_EQ(GetText(list, 0, 1), L"1-1");
    wchar_t small[4] = {};
    LVITEMW item{};
    item.pszText = small;
    item.cchTextMax = 4;
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item)), 3);
    EXPECT_STREQ(small, L"Ite");
}

TEST_F(ListViewTest, StatesChangeWithItemChangedNotifications) {
    struct Case {
        const char* name;
        DWORD style;
        std::vector<std::pair<int, UINT>> select;  // (index, state) with the selected mask
        std::vector<int> selected;
        int changes;  // LVN_ITEMCHANGED heard
    };
    const std::vector<Case> cases = {
        {"select one", LVS_REPORT, {{1, LVIS_SELECTED}}, {1}, 1},
        {"select two", LVS_REPORT, {{0, LVIS_SELECTED}, {2, LVIS_SELECTED}}, {0, 2}, 2},
        {"single selection moves it",
         LVS_REPORT | LVS_SINGLESEL,
         {{0, LVIS_SELECTED}, {2, LVIS_SELECTED}},
         {2},
         3},
        {"selecting again tells nothing",
         LVS_REPORT,
         {{1, LVIS_SELECTED}, {1, LVIS_SELECTED}},
         {1},
         1},
        {"deselect", LVS_REPORT, {{1, LVIS_SELECTED}, {1, 0}}, {}, 2},
        {"-1 selects all", LVS_REPORT, {{-1, LVIS_SELECTED}}, {0, 1, 2}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND list = MakeList(3, c.style);
        for (auto [index, state] : c.select)
            EXPECT_TRUE(SetState(list, index, state, LVIS_SELECTED));
        EXPECT_EQ(Selected(list), c.selected);
        EXPECT_EQ(static_cast<int>(HeardLog().size()), c.changes);
        for (const Heard& h : HeardLog()) {
            EXPECT_EQ(h.code, LVN_ITEMCHANGED);
            EXPECT_NE(h.oldState & LVIS_SELECTED, h.newState & LVIS_SELECTED);
        }
        for (int i : c.selected)
            EXPECT_EQ(SendMessageW(list, LVM_GETITEMSTATE, i, LVIS_SELECTED), LVIS_SELECTED);
        DestroyWindow(list);
        HeardLog().clear();
    }
}

TEST_F(ListViewTest, ClicksAndKeysSelectAndNotify) {
    struct Case {
        const char* name;
        DWORD style;
        DWORD extended;
        std::function<void(HWND)> act;
        std::vector<int> selected;
        int mark;
        std::vector<UINT> clicks;  // NM_CLICK / NM_DBLCLK heard
    };
    auto click = [](int row, int x = 20) {
        return [=](HWND l) { control::Click(RowPoint(l, row, x)); };
    };
    auto then = [](std::function<void(HWND)> a, std::function<void(HWND)> b) {
        return [=](HWND l) {
            a(l);
            b(l);
        };
    };
    auto keys = [](std::vector<UINT> vks) {
        return [=](HWND l) {
            SetFocus(l);
            for (UINT vk : vks) control::PressKey(vk);
        };
    };
    auto ctrlClick = [](int row) {
        return [=](HWND l) {
            control::KeyDown(VK_CONTROL);
            control::Click(RowPoint(l, row));
            control::KeyUp(VK_CONTROL);
        };
    };
    using C = std::vector<UINT>;
    const std::vector<Case> cases = {
        {"a click selects its row", LVS_REPORT, 0, click(1), {1}, 1, C{NM_CLICK}},
        {"a second click moves it",
         LVS_REPORT,
         0,
         then(click(1), click(2)),
         {2},
         2,
         C{NM_CLICK, NM_CLICK}},
        {"a click below the rows clears",
         LVS_REPORT,
         0,
         then(click(1), click(5)),
         {},
         1,
         C{NM_CLICK, NM_CLICK}},
        {"a click on a sub-item misses", LVS_REPORT, 0, click(1, 150), {}, -1, C{NM_CLICK}},
        {"full row select: a sub-item selects",
         LVS_REPORT,
         LVS_EX_FULLROWSELECT,
         click(1, 150),
         {1},
         1,
         C{NM_CLICK}},
        {"ctrl+click adds",
         LVS_REPORT,
         0,
         then(click(0), ctrlClick(2)),
         {0, 2},
         2,
         C{NM_CLICK, NM_CLICK}},
        {"ctrl+click takes away",
         LVS_REPORT,
         0,
         then([](HWND l) { SetState(l, 0, LVIS_SELECTED, LVIS_SELECTED); }, ctrlClick(0)),
         {},
         0,
         C{NM_CLICK}},
        {"ctrl+click in single selection moves it",
         LVS_REPORT | LVS_SINGLESEL,
         0,
         then(click(0), ctrlClick(2)),
         {2},
         2,
         C{NM_CLICK, NM_CLICK}},
        {"a double click",
         LVS_REPORT,
         0,
         [](HWND l) { control::DoubleClick(RowPoint(l, 2)); },
         {2},
         2,
         C{NM_CLICK, NM_DBLCLK}},
        {"Down selects the first", LVS_REPORT, 0, keys({VK_DOWN}), {0}, 0, C{}},
        {"Down moves on", LVS_REPORT, 0, keys({VK_DOWN, VK_DOWN}), {1}, 1, C{}},
        {"Up stops at the first", LVS_REPORT, 0, keys({VK_DOWN, VK_UP, VK_UP}), {0}, 0, C{}},
        {"End goes to the last", LVS_REPORT, 0, keys({VK_END}), {2}, 2, C{}},
        {"a key after a click goes on from it",
         LVS_REPORT,
         0,
         then(click(1), keys({VK_DOWN})),
         {2},
         2,
         C{NM_CLICK}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND list = MakeList(3, c.style, 150, c.extended);
        c.act(list);
        Drain();
        EXPECT_EQ(Selected(list), c.selected);
        EXPECT_EQ(SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0), c.mark);
        std::vector<UINT> clicks;
        for (const Heard& h : HeardLog())
            if (h.code != LVN_ITEMCHANGED) clicks.push_back(h.code);
        EXPECT_EQ(clicks, c.clicks);
        DestroyWindow(list);
        Drain();
        HeardLog().clear();
    }
}

TEST_F(ListViewTest, OverflowingRowsScroll) {
    struct Case {
        const char* name;
        std::function<void(HWND)> act;
        int top;
    };
    // 30 rows in a list that shows few; the scroll bar lies at the right inside the border.
    auto wheel = [](int notches) {
        return [=](HWND l) {
            SetFocus(l);
            control::MoveMouse(RowPoint(l, 0));
            control::TurnWheel(notches * WHEEL_DELTA);
        };
    };
    auto bar = [](int y) {  // a click on the scroll bar, y from the client top (negative: bottom)
        return [=](HWND l) {
            RECT r{};
            GetClientRect(l, &r);
            POINT p{r.right - 2 - 8, y >= 0 ? y : r.bottom + y};
            ClientToScreen(l, &p);
            control::Click(p);
        };
    };
    const std::vector<Case> cases = {
        {"at the top at first", [](HWND) {}, 0},
        {"the wheel scrolls three rows", wheel(-1), 3},
        {"the wheel up stops at the top", wheel(2), 0},
        {"the down arrow scrolls a row", bar(-2 - 8), 1},
        {"the track pages", bar(-2 - 16 - 4), -1},  // -1: one page
        {"ensure visible scrolls the last row into view",
         [](HWND l) { SendMessageW(l, LVM_ENSUREVISIBLE, 29, FALSE); }, -2},  // -2: the last page
        {"End scrolls to the last",
         [](HWND l) {
             SetFocus(l);
             control::PressKey(VK_END);
         },
         -2},
        {"Down past the last row in view scrolls one",
         [](HWND l) {
             SetFocus(l);
             const int page = static_cast<int>(SendMessageW(l, LVM_GETCOUNTPERPAGE, 0, 0));
             for (int i = 0; i <= page; ++i) control::PressKey(VK_DOWN);
         },
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND list = MakeList(30, LVS_REPORT, 120);
        const int page = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
        ASSERT_GT(page, 1);
        ASSERT_LT(page, 10);
        c.act(list);
        Drain();
        const int expected = c.top == -1 ? page : c.top == -2 ? 30 - page : c.top;
        EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), expected);
        DestroyWindow(list);
        Drain();
    }
}

TEST_F(ListViewTest, UserChangesRepaintThroughTheInterceptedDcCallsProgramChangesLater) {
    struct Case {
        const char* name;
        std::function<void(HWND)> act;
        bool atOnce;
    };
    const std::vector<Case> cases = {
        {"a click", [](HWND l) { control::Click(RowPoint(l, 1)); }, true},
        {"Down", [](HWND) { control::PressKey(VK_DOWN); }, true},
        {"the wheel",
         [](HWND l) {
             control::MoveMouse(RowPoint(l, 0));
             control::TurnWheel(-WHEEL_DELTA);
         },
         true},
        {"set state", [](HWND l) { SetState(l, 1, LVIS_SELECTED, LVIS_SELECTED); }, false},
        {"set text", [](HWND l) { SetText(l, 1, 1, L"new"); }, false},
        {"ensure visible", [](HWND l) { SendMessageW(l, LVM_ENSUREVISIBLE, 29, FALSE); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND list = MakeList(30, LVS_REPORT, 120);
        SetFocus(list);
        Drain();
        DcHook hook;
        c.act(list);
        if (c.atOnce) Drain();
        const auto [gets, releases] = DcHook::Calls(list);
        EXPECT_EQ(gets > 0, c.atOnce);
        EXPECT_EQ(releases, gets);
        RECT update{};
        EXPECT_EQ(GetUpdateRect(list, &update, FALSE) != FALSE, !c.atOnce);
        DestroyWindow(list);
        Drain();
    }
}

TEST_F(ListViewTest, TheSelectionShowsWithFocusOrShowSelAlways) {
    struct Case {
        const char* name;
        DWORD style;
        DWORD extended;
        bool focus;
        int x;  // where to look in the selected row
        COLORREF color;
    };
    const std::vector<Case> cases = {
        {"focused: the label is highlighted", LVS_REPORT, 0, true, 4, kHighlight},
        {"focused: a sub-item is not", LVS_REPORT, 0, true, 150, RGB(255, 255, 255)},
        {"full row: a sub-item is", LVS_REPORT, LVS_EX_FULLROWSELECT, true, 150, kHighlight},
        {"without focus nothing shows", LVS_REPORT, 0, false, 4, RGB(255, 255, 255)},
        {"show-sel-always without focus: the face colour", LVS_REPORT | LVS_SHOWSELALWAYS, 0, false,
         4, kFace},
        {"an icon view draws as a report", LVS_ICON, 0, true, 4, kHighlight},
        {"a list view draws as a report", LVS_LIST, 0, true, 150, RGB(255, 255, 255)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND list = MakeList(3, c.style, 150, c.extended);
        SetState(list, 1, LVIS_SELECTED, LVIS_SELECTED);
        if (c.focus) SetFocus(list);
        DibCanvas canvas(280, 150);
        SendMessageW(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
        const int y = 2 + HeaderHeight() + RowHeight() + 1;
        EXPECT_EQ(canvas.At(c.x, y), c.color);
        DestroyWindow(list);
    }
}

TEST_F(ListViewTest, PaintAndPrintClientGiveTheSamePixels) {
    HWND list = MakeList(30, LVS_REPORT | LVS_SHOWSELALWAYS, 120, LVS_EX_FULLROWSELECT);
    SetState(list, 2, LVIS_SELECTED, LVIS_SELECTED);
    SendMessageW(list, LVM_ENSUREVISIBLE, 12, FALSE);
    Drain();
    DibCanvas canvas(280, 120);
    SendMessageW(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
    cairo_surface_t* shot = ClientShot(list);
    int differing = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 280; ++x) differing += ShotPixel(shot, x, y) != canvas.At(x, y);
    cairo_surface_destroy(shot);
    EXPECT_EQ(differing, 0);
    EXPECT_NE(canvas.At(100, 2), RGB(255, 255, 255));  // something was drawn: the header
}

TEST_F(ListViewTest, LooksLikeItsReference) {
    HWND list = MakeList(12, LVS_REPORT | LVS_SHOWSELALWAYS, 160, LVS_EX_FULLROWSELECT);
    SetFocus(list);
    SetState(list, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    Drain();
    const RECT area{kParent.left, kParent.top, kParent.left + 300, kParent.top + 180};
    cairo_surface_t* shot = ScreenShot(area);
    KeepForReview(shot, "listview");
    EXPECT_TRUE(golden::Matches(shot, "listview"));
    cairo_surface_destroy(shot);
}

}  // namespace
