// The list view, in its report view only: a header row of columns over rows of items, each with
// the texts of its sub-items. The other views (LVS_ICON, LVS_SMALLICON, LVS_LIST) draw and behave
// as the report view. Items are selected by a click or by Up and Down (one at a time with
// LVS_SINGLESEL; Ctrl+click adds or removes one otherwise); the selection shows while the list has
// the focus, and always with LVS_SHOWSELALWAYS; LVS_EX_FULLROWSELECT highlights the whole row and
// lets a click anywhere on it select. When the rows overflow, a vertical scroll bar inside the
// client area scrolls them (its arrows, its track and the mouse wheel). The parent hears
// LVN_ITEMCHANGED for every change of an item's state, NM_CLICK and NM_DBLCLK by WM_NOTIFY.
//
// The list paints through one routine, for WM_PAINT and WM_PRINTCLIENT. What the user changes
// (selection, scrolling, the focus) it repaints at once through the public GetDC and ReleaseDC, so
// that a program intercepting those sees every such repaint; what its program changes it paints
// with the next WM_PAINT.
#include <algorithm>
#include <string>
#include <vector>

#include <commctrl.h>
#include "machine/trace.h"
#include <winuser.h>
#include "platform/user32/classes.h"

namespace {

constexpr DWORD kClientEdge = 0x00000200;  // WS_EX_CLIENTEDGE
constexpr int kScrollWidth = 16;           // the vertical scroll bar
constexpr int kFirstMargin = 2;            // before the text of an item's first column
constexpr int kMargin = 6;                 // before and after the text of the other columns
constexpr int kWheelLines = 3;             // rows per notch of the mouse wheel

struct Column {
    std::wstring text;
    int width = 0;
    int format = LVCFMT_LEFT;
};

struct Item {
    std::vector<std::wstring> texts;  // by sub-item; missing ones are empty
    UINT state = 0;
    LPARAM param = 0;
};

struct ListState {
    std::vector<Column> columns;
    std::vector<Item> items;
    int top = 0;    // the first row in view
    int mark = -1;  // the selection mark
    DWORD extended = 0;
};

ListState* StateOf(HWND list) {
    return ControlState<ListState>(list);
}

DWORD StyleOf(HWND window) {
    return static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
}

int Count(const ListState& state) {
    return static_cast<int>(state.items.size());
}

bool Valid(const ListState& state, int index) {
    return index >= 0 && index < Count(state);
}

int RowHeight() {
    return ControlLineHeight() + 3;
}

int HeaderHeight(HWND list) {
    return (StyleOf(list) & LVS_NOCOLUMNHEADER) ? 0 : ControlLineHeight() + 7;
}

int BorderOf(HWND list) {
    if (static_cast<DWORD>(GetWindowLongPtrW(list, GWL_EXSTYLE)) & kClientEdge) return 2;
    return (StyleOf(list) & WS_BORDER) ? 1 : 0;
}

// Where the parts lie in the client area.
struct Layout {
    RECT client{};
    RECT inner{};     // inside the border
    RECT header{};    // the header row
    RECT rows{};      // the rows' area
    RECT scroll{};    // the scroll bar (empty when the rows fit)
    int perPage = 1;  // rows that fit wholly
};

Layout LayoutOf(HWND list, const ListState& state) {
    Layout l;
    GetClientRect(list, &l.client);
    const int b = BorderOf(list);
    l.inner = {l.client.left + b, l.client.top + b, std::max(l.client.left + b, l.client.right - b),
               std::max(l.client.top + b, l.client.bottom - b)};
    l.header = {l.inner.left, l.inner.top, l.inner.right,
                std::min(l.inner.bottom, l.inner.top + HeaderHeight(list))};
    l.rows = {l.inner.left, l.header.bottom, l.inner.right, l.inner.bottom};
    l.perPage = std::max(1, static_cast<int>(l.rows.bottom - l.rows.top) / RowHeight());
    if (Count(state) > l.perPage && l.inner.right - l.inner.left > kScrollWidth) {
        l.scroll = {l.inner.right - kScrollWidth, l.inner.top, l.inner.right, l.inner.bottom};
        l.header.right = l.rows.right = l.scroll.left;
    }
    return l;
}

int MaxTop(const ListState& state, const Layout& l) {
    return std::max(0, Count(state) - l.perPage);
}

// The x where each column starts (one more entry: where the last ends).
std::vector<int> ColumnEdges(const ListState& state, const Layout& l) {
    std::vector<int> edges{static_cast<int>(l.inner.left)};
    for (const Column& c : state.columns) edges.push_back(edges.back() + c.width);
    return edges;
}

void Notify(HWND list, NMHDR& header, UINT code) {
    HWND parent = GetParent(list);
    if (parent == nullptr) return;
    header.hwndFrom = list;
    header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list));
    header.code = code;
    SendMessageW(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

// Sets the states of `mask` on the item to `value`; LVN_ITEMCHANGED when they changed. False when
// the parent destroyed the list meanwhile.
bool SetState(HWND list, int index, UINT mask, UINT value) {
    ListState* state = StateOf(list);
    if (state == nullptr || !Valid(*state, index)) return state != nullptr;
    Item& item = state->items[static_cast<std::size_t>(index)];
    const UINT old = item.state;
    const UINT now = (old & ~mask) | (value & mask);
    if (now == old) return true;
    item.state = now;
    NMLISTVIEW nm{};
    nm.iItem = index;
    nm.uNewState = now;
    nm.uOldState = old;
    nm.uChanged = LVIF_STATE;
    nm.lParam = item.param;
    Notify(list, nm.hdr, LVN_ITEMCHANGED);
    return StateOf(list) != nullptr;
}

// Takes a state from every item but `keep`; false when the list went.
bool ClearStateExcept(HWND list, UINT mask, int keep) {
    for (int i = 0;; ++i) {
        ListState* state = StateOf(list);
        if (state == nullptr) return false;
        if (i >= Count(*state)) return true;
        if (i != keep && !SetState(list, i, mask, 0)) return false;
    }
}

// One item selected and focused alone (as a plain click or an arrow key does).
bool SelectOnly(HWND list, int index) {
    if (!ClearStateExcept(list, LVIS_SELECTED | LVIS_FOCUSED, index)) return false;
    if (!SetState(list, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED))
        return false;
    ListState* state = StateOf(list);
    if (state != nullptr && Valid(*state, index)) state->mark = index;
    return state != nullptr;
}

void ScrollTo(HWND list, ListState& state, int top) {
    const Layout l = LayoutOf(list, state);
    top = std::clamp(top, 0, MaxTop(state, l));
    if (top == state.top) return;
    state.top = top;
}

void PaintList(HWND list, HDC dc);

// A change the user made shows at once, painted through the public GetDC and ReleaseDC.
void Repaint(HWND list) {
    PaintNow(list, PaintList);
}

bool EnsureVisible(HWND list, ListState& state, int index) {
    if (!Valid(state, index)) return false;
    const Layout l = LayoutOf(list, state);
    if (index < state.top)
        ScrollTo(list, state, index);
    else if (index >= state.top + l.perPage)
        ScrollTo(list, state, index - l.perPage + 1);
    return true;
}

int Focused(const ListState& state) {
    for (int i = 0; i < Count(state); ++i)
        if (state.items[static_cast<std::size_t>(i)].state & LVIS_FOCUSED) return i;
    return -1;
}

// The row at a point of the client area (-1 for none); a point right of the first column
// misses without LVS_EX_FULLROWSELECT.
int ItemAt(HWND list, const ListState& state, POINT p) {
    const Layout l = LayoutOf(list, state);
    if (!InRect(l.rows, p)) return -1;
    const int i = state.top + (p.y - l.rows.top) / RowHeight();
    if (!Valid(state, i)) return -1;
    const std::vector<int> edges = ColumnEdges(state, l);
    const int reach = (state.extended & LVS_EX_FULLROWSELECT) ? edges.back()
                      : edges.size() > 1                      ? edges[1]
                                                              : l.rows.right;
    return p.x < reach ? i : -1;
}

// ---- Painting ----

void PaintHeader(HDC dc, const ListState& state, const Layout& l) {
    if (l.header.bottom <= l.header.top) return;
    const std::vector<int> edges = ColumnEdges(state, l);
    for (std::size_t c = 0; c <= state.columns.size(); ++c) {
        // Each column's button, then one filling the rest of the row.
        const int left = edges[c];
        const int right = c < state.columns.size()
                              ? edges[c + 1]
                              : std::max(left, static_cast<int>(l.header.right));
        if (right <= left || left >= l.header.right) continue;
        RECT box{left, l.header.top, right, l.header.bottom};
        FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
        RECT edge = box;
        DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
        if (c == state.columns.size()) continue;
        const Column& column = state.columns[c];
        RECT text{box.left + kMargin, box.top + 1, box.right - kMargin, box.bottom - 1};
        UINT align = column.format == LVCFMT_RIGHT    ? DT_RIGHT
                     : column.format == LVCFMT_CENTER ? DT_CENTER
                                                      : DT_LEFT;
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        DrawTextW(dc, column.text.c_str(), static_cast<int>(column.text.size()), &text,
                  align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
}

void PaintRows(HWND list, HDC dc, const ListState& state, const Layout& l) {
    const bool focused = GetFocus() == list;
    const bool showSelection = focused || (StyleOf(list) & LVS_SHOWSELALWAYS);
    const bool fullRow = (state.extended & LVS_EX_FULLROWSELECT) != 0;
    const std::vector<int> edges = ColumnEdges(state, l);
    const int h = RowHeight();
    for (int i = state.top; i < Count(state); ++i) {
        const int y = l.rows.top + (i - state.top) * h;
        if (y >= l.rows.bottom) break;
        const Item& item = state.items[static_cast<std::size_t>(i)];
        const bool selected = showSelection && (item.state & LVIS_SELECTED);
        // Selected rows: the highlight while focused, the face colour otherwise.
        const int back = focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE;
        const int fore = focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT;
        const int rowRight = std::min(static_cast<int>(l.rows.right), edges.back());
        RECT labelBox{edges[0], y, std::min(rowRight, edges.size() > 1 ? edges[1] : rowRight),
                      std::min(y + h, static_cast<int>(l.rows.bottom))};
        for (std::size_t c = 0; c < state.columns.size(); ++c) {
            const int right = std::min(edges[c + 1], static_cast<int>(l.rows.right));
            if (right <= edges[c]) break;
            const std::wstring text = c < item.texts.size() ? item.texts[c] : L"";
            const int margin = c == 0 ? kFirstMargin : kMargin;
            RECT cell{edges[c] + margin, y, right - margin,
                      std::min(y + h, static_cast<int>(l.rows.bottom))};
            bool lit = selected && (fullRow || c == 0);
            if (lit && c == 0 && !fullRow) {
                // Only the label's text is highlighted.
                RECT measure = cell;
                DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measure,
                          DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
                labelBox.right = std::min(labelBox.right, static_cast<int>(measure.right) + margin);
                FillRect(dc, &labelBox, GetSysColorBrush(back));
            } else if (lit) {
                RECT box{edges[c], cell.top, right, cell.bottom};
                FillRect(dc, &box, GetSysColorBrush(back));
            }
            const int format = state.columns[c].format;
            UINT align = format == LVCFMT_RIGHT    ? DT_RIGHT
                         : format == LVCFMT_CENTER ? DT_CENTER
                                                   : DT_LEFT;
            SetTextColor(dc, GetSysColor(lit ? fore : COLOR_WINDOWTEXT));
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &cell,
                      align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        }
        if (focused && (item.state & LVIS_FOCUSED)) {
            RECT box = fullRow ? RECT{edges[0], labelBox.top, rowRight, labelBox.bottom} : labelBox;
            if (box.right > box.left) DrawFocusRect(dc, &box);
        }
    }
}

// The classic scroll bar: two raised arrow buttons and a raised thumb over a light track.
void PaintScrollBar(HDC dc, const ListState& state, const Layout& l) {
    if (l.scroll.right <= l.scroll.left) return;
    const int w = l.scroll.right - l.scroll.left;
    RECT track = l.scroll;
    FillRect(dc, &track, GetSysColorBrush(COLOR_SCROLLBAR));
    RECT up{l.scroll.left, l.scroll.top, l.scroll.right, l.scroll.top + w};
    RECT down{l.scroll.left, l.scroll.bottom - w, l.scroll.right, l.scroll.bottom};
    for (RECT* button : {&up, &down}) {
        RECT edge = *button;
        FillRect(dc, &edge, GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
        DrawArrow(dc, *button, button == &down, GetSysColor(COLOR_BTNTEXT));
    }
    const int room = static_cast<int>(down.top - up.bottom);
    const int count = std::max(1, Count(state));
    const int thumb = std::max(8, room * l.perPage / count);
    const int range = std::max(1, MaxTop(state, l));
    const int at = up.bottom + (room - thumb) * state.top / range;
    RECT box{l.scroll.left, at, l.scroll.right, at + thumb};
    if (room > thumb) {
        FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(dc, &box, EDGE_RAISED, BF_RECT);
    }
}

// The paint routine: the window colour, the border (sunken with WS_EX_CLIENTEDGE, a line with
// WS_BORDER), the header, the rows and the scroll bar. Every setting of the context changed here
// is given back.
void Paint(HWND list, HDC dc, const ListState& state) {
    const int oldMode = GetBkMode(dc);
    const COLORREF oldText = GetTextColor(dc);
    const Layout l = LayoutOf(list, state);
    RECT client = l.client;
    const bool enabled = IsWindowEnabled(list) != FALSE;
    FillRect(dc, &client, GetSysColorBrush(enabled ? COLOR_WINDOW : COLOR_BTNFACE));
    const int border = BorderOf(list);
    if (border == 2) DrawEdge(dc, &client, EDGE_SUNKEN, BF_RECT);
    if (border == 1) FrameBox(dc, client, GetSysColorBrush(COLOR_WINDOWFRAME));
    HGDIOBJ font = BeginControlDrawing(dc);
    PaintHeader(dc, state, l);
    PaintRows(list, dc, state, l);
    ControlDrawingDone(dc, font);
    PaintScrollBar(dc, state, l);
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldText);
}

void PaintList(HWND list, HDC dc) {
    if (const ListState* state = StateOf(list)) Paint(list, dc, *state);
}

// ---- Input ----

void ClickNotify(HWND list, UINT code, int index, POINT at) {
    NMITEMACTIVATE nm{};
    nm.iItem = index;
    nm.ptAction = at;
    Notify(list, nm.hdr, code);
}

// A press on the scroll bar: the arrows scroll by a row, the track by a page.
void ScrollBarClick(HWND list, ListState& state, const Layout& l, POINT p) {
    const int w = l.scroll.right - l.scroll.left;
    const int range = std::max(1, MaxTop(state, l));
    const int room = static_cast<int>(l.scroll.bottom - l.scroll.top) - 2 * w;
    const int thumb = std::max(8, room * l.perPage / std::max(1, Count(state)));
    const int thumbTop = l.scroll.top + w + (room - thumb) * state.top / range;
    int to = state.top;
    if (p.y < l.scroll.top + w)
        to -= 1;
    else if (p.y >= l.scroll.bottom - w)
        to += 1;
    else if (p.y < thumbTop)
        to -= l.perPage;
    else if (p.y >= thumbTop + thumb)
        to += l.perPage;
    ScrollTo(list, state, to);
    Repaint(list);
}

void OnClick(HWND list, UINT message, WPARAM keys, LPARAM position) {
    SetFocus(list);
    ListState* state = StateOf(list);
    if (state == nullptr) return;
    const POINT p = MousePoint(position);
    const Layout l = LayoutOf(list, *state);
    if (InRect(l.scroll, p)) {
        ScrollBarClick(list, *state, l, p);
        return;
    }
    const int i = ItemAt(list, *state, p);
    bool alive = true;
    if (message == WM_LBUTTONDOWN) {
        const bool toggle = (keys & MK_CONTROL) && !(StyleOf(list) & LVS_SINGLESEL);
        if (i >= 0 && toggle) {
            const UINT was = state->items[static_cast<std::size_t>(i)].state & LVIS_SELECTED;
            alive = ClearStateExcept(list, LVIS_FOCUSED, i) &&
                    SetState(list, i, LVIS_SELECTED | LVIS_FOCUSED,
                             (was ^ LVIS_SELECTED) | LVIS_FOCUSED);
            if (alive && (state = StateOf(list)) != nullptr) state->mark = i;
        } else if (i >= 0) {
            alive = SelectOnly(list, i);
        } else if (!toggle) {
            alive = ClearStateExcept(list, LVIS_SELECTED, -1);
        }
        if (!alive || (state = StateOf(list)) == nullptr) return;
        Repaint(list);
    }
    ClickNotify(list, message == WM_LBUTTONDBLCLK ? NM_DBLCLK : NM_CLICK, i, p);
}

void OnKey(HWND list, WPARAM key) {
    ListState* state = StateOf(list);
    if (state == nullptr || Count(*state) == 0) return;
    const int from = Focused(*state);
    int to = from;
    switch (key) {
        case VK_UP:
            to = from < 0 ? 0 : std::max(0, from - 1);
            break;
        case VK_DOWN:
            to = from < 0 ? 0 : std::min(Count(*state) - 1, from + 1);
            break;
        case VK_HOME:
            to = 0;
            break;
        case VK_END:
            to = Count(*state) - 1;
            break;
        default:
            return;
    }
    if (!SelectOnly(list, to) || (state = StateOf(list)) == nullptr) return;
    EnsureVisible(list, *state, to);
    Repaint(list);
}

// ---- Messages ----

LRESULT OnInsertItem(HWND list, ListState& state, const LVITEMW* in) {
    if (in == nullptr || in->iSubItem != 0) return -1;
    const int at = std::clamp(in->iItem, 0, Count(state));
    Item item;
    item.texts.resize(std::max<std::size_t>(1, state.columns.size()));
    if ((in->mask & LVIF_TEXT) && in->pszText != nullptr) item.texts[0] = in->pszText;
    if (in->mask & LVIF_PARAM) item.param = in->lParam;
    const UINT wanted = (in->mask & LVIF_STATE) ? (in->state & in->stateMask) : 0;
    state.items.insert(state.items.begin() + at, std::move(item));
    if (state.mark >= at) ++state.mark;
    if (wanted != 0) {
        if ((StyleOf(list) & LVS_SINGLESEL) && (wanted & LVIS_SELECTED) &&
            !ClearStateExcept(list, LVIS_SELECTED, at))
            return at;
        if ((wanted & LVIS_FOCUSED) && !ClearStateExcept(list, LVIS_FOCUSED, at)) return at;
        if (!SetState(list, at, wanted, wanted)) return at;
    }
    InvalidateRect(list, nullptr, FALSE);
    return at;
}

LRESULT OnSetItemState(HWND list, int index, const LVITEMW* in) {
    ListState* state = StateOf(list);
    if (in == nullptr || (index != -1 && !Valid(*state, index))) return FALSE;
    const UINT mask = in->stateMask;
    const UINT value = in->state;
    if (index == -1) {
        for (int i = 0; (state = StateOf(list)) != nullptr && i < Count(*state); ++i)
            if (!SetState(list, i, mask, value)) return TRUE;
    } else {
        if ((value & mask & LVIS_SELECTED) && (StyleOf(list) & LVS_SINGLESEL) &&
            !ClearStateExcept(list, LVIS_SELECTED, index))
            return TRUE;
        if ((value & mask & LVIS_FOCUSED) && !ClearStateExcept(list, LVIS_FOCUSED, index))
            return TRUE;
        if (!SetState(list, index, mask, value)) return TRUE;
        if ((state = StateOf(list)) != nullptr && (value & mask & LVIS_SELECTED))
            state->mark = index;
    }
    if (StateOf(list) != nullptr) InvalidateRect(list, nullptr, FALSE);
    return TRUE;
}

LRESULT OnGetNext(const ListState& state, int start, UINT flags) {
    for (int i = std::max(0, start + 1); i < Count(state); ++i) {
        const UINT s = state.items[static_cast<std::size_t>(i)].state;
        if ((flags & LVNI_SELECTED) && !(s & LVIS_SELECTED)) continue;
        if ((flags & LVNI_FOCUSED) && !(s & LVIS_FOCUSED)) continue;
        return i;
    }
    return -1;
}

LRESULT OnDeleteItem(HWND list, ListState& state, int index) {
    if (!Valid(state, index)) return FALSE;
    state.items.erase(state.items.begin() + index);
    if (state.mark == index)
        state.mark = -1;
    else if (state.mark > index)
        --state.mark;
    state.top = std::clamp(state.top, 0, MaxTop(state, LayoutOf(list, state)));
    InvalidateRect(list, nullptr, FALSE);
    return TRUE;
}

LRESULT ListMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam, ListState& state) {
    switch (message) {
        case WM_PRINTCLIENT:
        case WM_PAINT:
            PaintMessage(list, message, wParam, [list](HDC dc) { PaintList(list, dc); });
            return 0;
        case WM_SIZE:
            state.top = std::clamp(state.top, 0, MaxTop(state, LayoutOf(list, state)));
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE:
            Repaint(list);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            OnClick(list, message, wParam, lParam);
            return 0;
        case WM_KEYDOWN:
            OnKey(list, wParam);
            return 0;
        case WM_MOUSEWHEEL: {
            const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
            ScrollTo(list, state, state.top - notches * kWheelLines);
            Repaint(list);
            return 0;
        }
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case LVM_INSERTCOLUMNW: {
            const auto* in = reinterpret_cast<const LVCOLUMNW*>(lParam);
            if (in == nullptr) return -1;
            const int at =
                std::clamp(static_cast<int>(wParam), 0, static_cast<int>(state.columns.size()));
            Column column;
            if ((in->mask & LVCF_TEXT) && in->pszText != nullptr) column.text = in->pszText;
            if (in->mask & LVCF_WIDTH) column.width = std::max(0, in->cx);
            if (in->mask & LVCF_FMT) column.format = in->fmt & 0x3;
            if (at == 0) column.format = LVCFMT_LEFT;  // the first column is always left-aligned
            state.columns.insert(state.columns.begin() + at, column);
            InvalidateRect(list, nullptr, FALSE);
            return at;
        }
        case LVM_GETCOLUMNWIDTH:
            if (wParam >= state.columns.size()) return 0;
            return state.columns[wParam].width;
        case LVM_INSERTITEMW:
            return OnInsertItem(list, state, reinterpret_cast<const LVITEMW*>(lParam));
        case LVM_SETITEMTEXTW: {
            const auto* in = reinterpret_cast<const LVITEMW*>(lParam);
            const int index = static_cast<int>(wParam);
            if (in == nullptr || !Valid(state, index) || in->iSubItem < 0 ||
                in->iSubItem >= std::max<int>(1, static_cast<int>(state.columns.size())))
                return FALSE;
            auto& texts = state.items[static_cast<std::size_t>(index)].texts;
            if (static_cast<std::size_t>(in->iSubItem) >= texts.size())
                texts.resize(static_cast<std::size_t>(in->iSubItem) + 1);
            texts[static_cast<std::size_t>(in->iSubItem)] =
                in->pszText != nullptr ? in->pszText : L"";
            InvalidateRect(list, nullptr, FALSE);
            return TRUE;
        }
        case LVM_GETITEMTEXTW: {
            auto* out = reinterpret_cast<LVITEMW*>(lParam);
            if (out == nullptr || out->pszText == nullptr || out->cchTextMax <= 0) return 0;
            const int index = static_cast<int>(wParam);
            std::wstring text;
            if (Valid(state, index) && out->iSubItem >= 0) {
                const auto& texts = state.items[static_cast<std::size_t>(index)].texts;
                if (static_cast<std::size_t>(out->iSubItem) < texts.size())
                    text = texts[static_cast<std::size_t>(out->iSubItem)];
            }
            const std::size_t n =
                std::min(text.size(), static_cast<std::size_t>(out->cchTextMax - 1));
            std::copy_n(text.begin(), n, out->pszText);
            out->pszText[n] = 0;
            return static_cast<LRESULT>(n);
        }
        case LVM_GETITEMCOUNT:
            return Count(state);
        case LVM_DELETEITEM:
            return OnDeleteItem(list, state, static_cast<int>(wParam));
        case LVM_DELETEALLITEMS:
            state.items.clear();
            state.top = 0;
            state.mark = -1;
            InvalidateRect(list, nullptr, FALSE);
            return TRUE;
        case LVM_GETNEXTITEM:
            return OnGetNext(state, static_cast<int>(wParam), static_cast<UINT>(lParam));
        case LVM_SETITEMSTATE:
            return OnSetItemState(list, static_cast<int>(wParam),
                                  reinterpret_cast<const LVITEMW*>(lParam));
        case LVM_GETITEMSTATE: {
            const int index = static_cast<int>(wParam);
            if (!Valid(state, index)) return 0;
            return state.items[static_cast<std::size_t>(index)].state & static_cast<UINT>(lParam);
        }
        case LVM_GETSELECTIONMARK:
            return state.mark;
        case LVM_SETSELECTIONMARK: {
            const int old = state.mark;
            state.mark = Valid(state, static_cast<int>(lParam)) ? static_cast<int>(lParam) : -1;
            return old;
        }
        case LVM_ENSUREVISIBLE:
            if (!EnsureVisible(list, state, static_cast<int>(wParam))) return FALSE;
            InvalidateRect(list, nullptr, FALSE);
            return TRUE;
        case LVM_GETTOPINDEX:
            return state.top;
        case LVM_GETCOUNTPERPAGE:
            return LayoutOf(list, state).perPage;
        case LVM_SETEXTENDEDLISTVIEWSTYLE: {
            const DWORD old = state.extended;
            const DWORD mask = wParam != 0 ? static_cast<DWORD>(wParam) : 0xFFFFFFFFu;
            state.extended = (old & ~mask) | (static_cast<DWORD>(lParam) & mask);
            InvalidateRect(list, nullptr, FALSE);
            return static_cast<LRESULT>(old);
        }
        case LVM_GETEXTENDEDLISTVIEWSTYLE:
            return static_cast<LRESULT>(state.extended);
        default:
            return DefWindowProcW(list, message, wParam, lParam);
    }
}

}  // namespace

LRESULT ListViewWindowProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    API_TRACE(Windows, ListViewWindowProc, list, message, wParam, lParam);
    return WithControlState<ListState>(list, message, wParam, lParam, ListMessage);
}
