// The combo box: a selection field with a drop button (CBS_DROPDOWNLIST), or an Edit child for
// the text beside the button (CBS_DROPDOWN; CBS_SIMPLE behaves as that). Its drop-down list is a
// pop-up window ("ComboLBox") owned by the combo, so that printing the combo with its owned
// windows prints the open list too. The list opens with a click on the button (or anywhere on a
// selection field), F4 or Alt+Down; a choice, Escape, Return or a click outside closes it. Up and
// Down change the selection. The parent hears CBN_SELCHANGE (a selection the user made),
// CBN_DROPDOWN, CBN_CLOSEUP and CBN_EDITCHANGE (text the user typed) through WM_COMMAND. The list
// keeps its items in the order they were added (no sorting) and shows at most eight at a time.
//
// Both windows paint through one routine each, for WM_PAINT and WM_PRINTCLIENT. What the user
// changes (the selection, the list opened or closed, the focus) they repaint at once through the
// public GetDC and ReleaseDC, so that a program intercepting those sees every such repaint (the
// combo's Edit does the same while the user types); what the program changes is painted with the
// next WM_PAINT.
#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

#include <commctrl.h>
#include "machine/machine.h"
#include "machine/trace.h"
#include "machine/windows.h"
#include <winuser.h>
#include "platform/user32/classes.h"

namespace {

constexpr int kBorder = 2;        // the sunken border around the field and the button
constexpr int kButtonWidth = 16;  // the drop button
constexpr int kTextMargin = 2;    // between the field's edge and its text
constexpr int kVisibleItems = 8;  // the most items the open list shows at once

struct ComboState {
    std::vector<std::wstring> items;
    int selected = -1;
    int top = 0;          // the first item the open list shows
    HWND edit = nullptr;  // CBS_DROPDOWN's text
    HWND list = nullptr;  // the drop-down, hidden while closed
    bool dropped = false;
    bool settingText = false;  // the combo itself is filling its edit
};

ComboState* StateOf(HWND combo) {
    return ControlState<ComboState>(combo);
}

DWORD StyleOf(HWND window) {
    return static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
}

bool HasEdit(HWND combo) {
    return (StyleOf(combo) & 0x3u) != CBS_DROPDOWNLIST;
}

int ItemHeight() {
    return ControlLineHeight() + 2;
}

int Count(const ComboState& state) {
    return static_cast<int>(state.items.size());
}

bool Valid(const ComboState& state, WPARAM index) {
    return static_cast<int>(index) >= 0 && static_cast<int>(index) < Count(state);
}

bool SameText(const std::wstring& a, const std::wstring& b, bool prefix) {
    if (prefix ? a.size() < b.size() : a.size() != b.size()) return false;
    for (std::size_t i = 0; i < b.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}

// The first item after `start` (from the first when start is -1 or out of range), round the
// list once, whose text is `text` (or starts with it), case ignored; CB_ERR when none is.
int Find(const ComboState& state, WPARAM start, LPCWSTR text, bool prefix) {
    if (text == nullptr) return CB_ERR;
    const int n = Count(state);
    const int from = Valid(state, start) ? static_cast<int>(start) + 1 : 0;
    for (int k = 0; k < n; ++k) {
        const int i = (from + k) % n;
        if (SameText(state.items[static_cast<std::size_t>(i)], text, prefix)) return i;
    }
    return CB_ERR;
}

// The parts of the combo's client area.
RECT ClientOf(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return r;
}
RECT ButtonRect(HWND combo) {
    const RECT c = ClientOf(combo);
    return {std::max(c.left + kBorder, c.right - kBorder - kButtonWidth), c.top + kBorder,
            c.right - kBorder, c.bottom - kBorder};
}
RECT FieldRect(HWND combo) {
    const RECT c = ClientOf(combo);
    return {c.left + kBorder, c.top + kBorder, ButtonRect(combo).left, c.bottom - kBorder};
}

// The text the combo shows: the selected item's, or the edit's.
void SyncText(HWND combo, ComboState& state) {
    std::wstring text;
    if (state.selected >= 0) text = state.items[static_cast<std::size_t>(state.selected)];
    if (state.edit != nullptr) {
        state.settingText = true;
        SetWindowTextW(state.edit, text.c_str());
        if ((StateOf(combo)) == nullptr) return;
        state.settingText = false;
    }
    DefWindowProcW(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void PaintCombo(HWND combo, HDC dc);
void PaintList(HWND list, HDC dc);

// A change the user made shows at once, painted through the public GetDC and ReleaseDC.
void Repaint(HWND combo) {
    PaintNow(combo, PaintCombo);
    ComboState* state = StateOf(combo);
    if (state != nullptr && state->dropped && state->list != nullptr)
        PaintNow(state->list, PaintList);
}

// A change the program made is painted with the next WM_PAINT.
void Redraw(HWND combo, const ComboState& state) {
    InvalidateRect(combo, nullptr, FALSE);
    if (state.dropped && state.list != nullptr) InvalidateRect(state.list, nullptr, FALSE);
}

// Keeps the selection within the open list's view.
void ScrollToSelection(ComboState& state) {
    if (state.selected < 0) return;
    if (state.selected < state.top) state.top = state.selected;
    if (state.selected >= state.top + kVisibleItems) state.top = state.selected - kVisibleItems + 1;
}

void Select(HWND combo, ComboState& state, int index) {
    state.selected = index;
    ScrollToSelection(state);
    SyncText(combo, state);
}

// A selection the user makes: CBN_SELCHANGE when it changed; false when the parent destroyed
// the combo meanwhile.
bool UserSelect(HWND combo, int index) {
    ComboState* state = StateOf(combo);
    if (state == nullptr || index == state->selected || index < 0 || index >= Count(*state))
        return state != nullptr;
    Select(combo, *state, index);
    Repaint(combo);
    NotifyParent(combo, CBN_SELCHANGE);
    return StateOf(combo) != nullptr;
}

void Close(HWND combo) {
    ComboState* state = StateOf(combo);
    if (state == nullptr || !state->dropped) return;
    state->dropped = false;
    if (GetCapture() == state->list) ReleaseCapture();
    ShowWindow(state->list, SW_HIDE);
    Repaint(combo);
    NotifyParent(combo, CBN_CLOSEUP);
}

void Open(HWND combo) {
    ComboState* state = StateOf(combo);
    if (state == nullptr || state->dropped || state->list == nullptr || !IsWindowEnabled(combo))
        return;
    NotifyParent(combo, CBN_DROPDOWN);
    if ((state = StateOf(combo)) == nullptr) return;
    RECT r{};
    GetWindowRect(combo, &r);
    const int rows = std::clamp(Count(*state), 1, kVisibleItems);
    ScrollToSelection(*state);
    state->dropped = true;
    SetWindowPos(state->list, HWND_TOP, r.left, r.bottom, r.right - r.left, rows * ItemHeight() + 2,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
    SetCapture(state->list);
    Repaint(combo);
}

void Toggle(HWND combo) {
    ComboState* state = StateOf(combo);
    if (state == nullptr) return;
    if (state->dropped)
        Close(combo);
    else
        Open(combo);
}

// The keys a combo answers, from itself or from its edit; false for other keys.
bool OnKey(HWND combo, UINT message, WPARAM key) {
    ComboState* state = StateOf(combo);
    if (state == nullptr) return false;
    const bool alt = message == WM_SYSKEYDOWN;
    if (key == VK_F4 || (alt && (key == VK_DOWN || key == VK_UP))) {
        Toggle(combo);
        return true;
    }
    if (alt) return false;
    switch (key) {
        case VK_UP:
        case VK_DOWN: {
            int to = state->selected + (key == VK_DOWN ? 1 : -1);
            if (state->selected < 0) to = 0;
            if (to >= 0 && to < Count(*state)) UserSelect(combo, to);
            return true;
        }
        case VK_ESCAPE:
        case VK_RETURN:
            if (!state->dropped) return false;
            Close(combo);
            return true;
        default:
            return false;
    }
}

// The selection field of a CBS_DROPDOWNLIST combo: the selected item's text, highlighted while
// the combo has the focus and its list is closed.
void PaintField(HWND combo, HDC dc, const ComboState& state, bool enabled) {
    RECT field = FieldRect(combo);
    if (state.edit != nullptr || field.right <= field.left) return;
    const bool focused = GetFocus() == combo && !state.dropped && enabled;
    RECT inner{field.left + 1, field.top + 1, field.right - 1, field.bottom - 1};
    if (focused) FillRect(dc, &inner, GetSysColorBrush(COLOR_HIGHLIGHT));
    if (state.selected >= 0) {
        RECT text{inner.left + kTextMargin - 1, inner.top, inner.right - 1, inner.bottom};
        ControlText(dc, state.items[static_cast<std::size_t>(state.selected)], text,
                    DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS, enabled,
                    GetSysColor(focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    }
    if (focused) DrawFocusRect(dc, &inner);
}

// The combo's paint routine: the sunken border, the field in the window colour (the face
// colour when disabled), its text, and the raised drop button with its arrow (pressed while the
// list is open).
void Paint(HWND combo, HDC dc, const ComboState& state) {
    const int oldMode = GetBkMode(dc);
    const COLORREF oldText = GetTextColor(dc);
    RECT client = ClientOf(combo);
    const bool enabled = IsWindowEnabled(combo) != FALSE;
    FillRect(dc, &client, GetSysColorBrush(enabled ? COLOR_WINDOW : COLOR_BTNFACE));
    DrawEdge(dc, &client, EDGE_SUNKEN, BF_RECT);
    HGDIOBJ font = BeginControlDrawing(dc);
    PaintField(combo, dc, state, enabled);
    ControlDrawingDone(dc, font);
    RECT button = ButtonRect(combo);
    if (button.right > button.left) {
        FillRect(dc, &button, GetSysColorBrush(COLOR_BTNFACE));
        RECT edge = button;
        if (state.dropped) {
            FrameBox(dc, edge, GetSysColorBrush(COLOR_BTNSHADOW));
            button = {button.left + 1, button.top + 1, button.right + 1, button.bottom + 1};
        } else {
            DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
        }
        DrawArrow(dc, button, true, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    }
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldText);
}

void PaintCombo(HWND combo, HDC dc) {
    if (const ComboState* state = StateOf(combo)) Paint(combo, dc, *state);
}

// The edit of a CBS_DROPDOWN combo: the Edit's procedure, with the combo's keys.
LRESULT EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND combo = GetParent(edit);
    if ((message == WM_KEYDOWN || message == WM_SYSKEYDOWN) && StateOf(combo) != nullptr &&
        OnKey(combo, message, wParam))
        return 0;
    if (message == WM_CHAR && (wParam == VK_RETURN || wParam == VK_ESCAPE)) return 0;
    if (message == WM_GETDLGCODE) {
        const ComboState* state = StateOf(combo);
        return EditWindowProc(edit, message, wParam, lParam) |
               (state != nullptr && state->dropped ? DLGC_WANTALLKEYS : 0);
    }
    return EditWindowProc(edit, message, wParam, lParam);
}

LRESULT OnCreate(HWND combo, ComboState& state, const CREATESTRUCTW* cs) {
    HINSTANCE instance = cs != nullptr ? cs->hInstance : nullptr;
    state.list = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"ComboLBox", L"", WS_POPUP, 0,
                                 0, 0, 0, nullptr, nullptr, instance, nullptr);
    if (state.list == nullptr) return -1;
    SetWindowLongPtrW(state.list, 0, reinterpret_cast<LONG_PTR>(combo));
    // The list belongs to the combo itself, not to the combo's top-level window: printing the
    // combo with its owned windows prints the open list.
    sim::machine().windows().Modify(state.list, [&](sim::WindowInfo& w) { w.owner = combo; });
    if (HasEdit(combo)) {
        const RECT f = FieldRect(combo);
        DWORD style = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL;
        if (StyleOf(combo) & WS_DISABLED) style |= WS_DISABLED;
        state.edit =
            CreateWindowExW(0, WC_EDITW, L"", style, f.left + 1, f.top + 1,
                            std::max(0, static_cast<int>(f.right - f.left) - 2),
                            std::max(0, static_cast<int>(f.bottom - f.top) - 2), combo,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(1001)), instance, nullptr);
        if (state.edit == nullptr) return -1;
        SetWindowLongPtrW(state.edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EditProc));
    }
    return 0;
}

LRESULT OnSetText(HWND combo, ComboState& state, LPCWSTR text) {
    if (state.edit == nullptr) {  // a selection field shows only items
        const int i = Find(state, static_cast<WPARAM>(-1), text, false);
        if (i == CB_ERR) return CB_ERR;
        Select(combo, state, i);
        Redraw(combo, state);
        return TRUE;
    }
    state.selected = -1;
    state.settingText = true;
    SetWindowTextW(state.edit, text != nullptr ? text : L"");
    ComboState* now = StateOf(combo);
    if (now == nullptr) return TRUE;
    now->settingText = false;
    DefWindowProcW(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text != nullptr ? text : L""));
    return TRUE;
}

LRESULT OnInsert(HWND combo, ComboState& state, int at, LPCWSTR text) {
    if (text == nullptr || at > Count(state)) return CB_ERR;
    if (at < 0) at = Count(state);
    state.items.insert(state.items.begin() + at, text);
    if (state.selected >= at) ++state.selected;
    if (state.dropped) Redraw(combo, state);
    return at;
}

LRESULT OnDelete(HWND combo, ComboState& state, WPARAM index) {
    if (!Valid(state, index)) return CB_ERR;
    const int at = static_cast<int>(index);
    state.items.erase(state.items.begin() + at);
    if (state.selected == at) {
        Select(combo, state, -1);
    } else if (state.selected > at) {
        --state.selected;
    }
    state.top = std::clamp(state.top, 0, std::max(0, Count(state) - kVisibleItems));
    if ((StateOf(combo)) != nullptr) Redraw(combo, state);
    return Count(state);
}

LRESULT ComboMessage(HWND combo, UINT message, WPARAM wParam, LPARAM lParam, ComboState& state) {
    switch (message) {
        case WM_CREATE:
            return OnCreate(combo, state, reinterpret_cast<const CREATESTRUCTW*>(lParam));
        case WM_DESTROY:
            if (state.list != nullptr) DestroyWindow(state.list);
            if (StateOf(combo) != nullptr) state.list = nullptr;
            return 0;
        case WM_SIZE:
            if (state.edit != nullptr) {
                const RECT f = FieldRect(combo);
                MoveWindow(state.edit, f.left + 1, f.top + 1,
                           std::max(0, static_cast<int>(f.right - f.left) - 2),
                           std::max(0, static_cast<int>(f.bottom - f.top) - 2), TRUE);
            }
            return 0;
        case WM_PRINTCLIENT:
        case WM_PAINT:
            PaintMessage(combo, message, wParam, [combo](HDC dc) { PaintCombo(combo, dc); });
            return 0;
        case WM_ENABLE:
            if (state.edit != nullptr) EnableWindow(state.edit, static_cast<BOOL>(wParam));
            if (wParam == 0) Close(combo);
            if (StateOf(combo) != nullptr) Repaint(combo);
            return 0;
        case WM_SETFOCUS:
            if (state.edit != nullptr) {
                SetFocus(state.edit);
                SendMessageW(state.edit, EM_SETSEL, 0, -1);
            } else {
                Repaint(combo);
            }
            return 0;
        case WM_KILLFOCUS:
            Close(combo);
            if (StateOf(combo) != nullptr) Repaint(combo);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            if (state.edit == nullptr)
                SetFocus(combo);
            else if (GetFocus() != state.edit)
                SetFocus(state.edit);
            if (StateOf(combo) == nullptr) return 0;
            const POINT p = MousePoint(lParam);
            const RECT button = ButtonRect(combo);
            if (state.edit == nullptr || InRect(button, p)) Toggle(combo);
            return 0;
        }
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (OnKey(combo, message, wParam)) return 0;
            return DefWindowProcW(combo, message, wParam, lParam);
        case WM_GETDLGCODE:  // while the list is open, Escape and Return close it
            return DLGC_WANTARROWS | DLGC_WANTCHARS | (state.dropped ? DLGC_WANTALLKEYS : 0);
        case WM_COMMAND:
            if (reinterpret_cast<HWND>(lParam) == state.edit && state.edit != nullptr &&
                HIWORD(wParam) == EN_CHANGE && !state.settingText) {
                const std::wstring text = WindowText(state.edit);
                DefWindowProcW(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
                NotifyParent(combo, CBN_EDITCHANGE);
            }
            return 0;
        case WM_SETTEXT:
            return OnSetText(combo, state, reinterpret_cast<LPCWSTR>(lParam));
        case CB_ADDSTRING:
            return OnInsert(combo, state, -1, reinterpret_cast<LPCWSTR>(lParam));
        case CB_INSERTSTRING:
            return OnInsert(combo, state, static_cast<int>(wParam),
                            reinterpret_cast<LPCWSTR>(lParam));
        case CB_DELETESTRING:
            return OnDelete(combo, state, wParam);
        case CB_GETCOUNT:
            return Count(state);
        case CB_GETCURSEL:
            return state.selected;
        case CB_SETCURSEL: {
            const int index = Valid(state, wParam) ? static_cast<int>(wParam) : -1;
            Select(combo, state, index);
            if (StateOf(combo) != nullptr) Redraw(combo, state);
            return index >= 0 ? index : CB_ERR;
        }
        case CB_GETLBTEXTLEN:
            if (!Valid(state, wParam)) return CB_ERR;
            return static_cast<LRESULT>(state.items[wParam].size());
        case CB_GETLBTEXT: {
            if (!Valid(state, wParam) || lParam == 0) return CB_ERR;
            const std::wstring& text = state.items[wParam];
            std::copy(text.begin(), text.end(), reinterpret_cast<LPWSTR>(lParam));
            reinterpret_cast<LPWSTR>(lParam)[text.size()] = 0;
            return static_cast<LRESULT>(text.size());
        }
        case CB_RESETCONTENT:
            state.items.clear();
            state.top = 0;
            Select(combo, state, -1);
            if (StateOf(combo) != nullptr) Redraw(combo, state);
            return CB_OKAY;
        case CB_SHOWDROPDOWN:
            if (wParam != 0)
                Open(combo);
            else
                Close(combo);
            return TRUE;
        case CB_GETDROPPEDSTATE:
            return state.dropped ? TRUE : FALSE;
        case CB_FINDSTRINGEXACT:
            return Find(state, wParam, reinterpret_cast<LPCWSTR>(lParam), false);
        case CB_SELECTSTRING: {
            const int i = Find(state, wParam, reinterpret_cast<LPCWSTR>(lParam), true);
            if (i == CB_ERR) return CB_ERR;
            Select(combo, state, i);
            if (StateOf(combo) != nullptr) Redraw(combo, state);
            return i;
        }
        default:
            return DefWindowProcW(combo, message, wParam, lParam);
    }
}

// ---- The drop-down list ----

HWND ComboOf(HWND list) {
    return reinterpret_cast<HWND>(GetWindowLongPtrW(list, 0));
}

// The item at a point of the list's client area, or -1.
int ItemAt(HWND list, const ComboState& state, POINT p) {
    RECT client = ClientOf(list);
    if (!InRect(client, p) || p.y < 1) return -1;
    const int i = state.top + (p.y - 1) / ItemHeight();
    return i < Count(state) ? i : -1;
}

// The list's paint routine: a black frame, the items in view, the selected one highlighted.
void PaintList(HWND list, HDC dc) {
    RECT client = ClientOf(list);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    FrameBox(dc, client, GetSysColorBrush(COLOR_WINDOWFRAME));
    const ComboState* state = StateOf(ComboOf(list));
    if (state == nullptr) return;
    const int oldMode = GetBkMode(dc);
    const COLORREF oldText = GetTextColor(dc);
    HGDIOBJ font = BeginControlDrawing(dc);
    const int h = ItemHeight();
    for (int i = state->top; i < Count(*state) && i < state->top + kVisibleItems; ++i) {
        RECT row{client.left + 1, client.top + 1 + (i - state->top) * h, client.right - 1,
                 client.top + 1 + (i - state->top + 1) * h};
        const bool selected = i == state->selected;
        if (selected) FillRect(dc, &row, GetSysColorBrush(COLOR_HIGHLIGHT));
        RECT text{row.left + kTextMargin, row.top, row.right - kTextMargin, row.bottom};
        SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        const std::wstring& item = state->items[static_cast<std::size_t>(i)];
        DrawTextW(dc, item.c_str(), static_cast<int>(item.size()), &text,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    ControlDrawingDone(dc, font);
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldText);
}

LRESULT ListMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND combo = ComboOf(list);
    ComboState* state = StateOf(combo);
    switch (message) {
        case WM_PRINTCLIENT:
        case WM_PAINT:
            PaintMessage(list, message, wParam, [list](HDC dc) { PaintList(list, dc); });
            return 0;
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_LBUTTONDOWN: {  // a press outside the list (it has the mouse) closes it
            const POINT p = MousePoint(lParam);
            RECT client = ClientOf(list);
            if (state != nullptr && !InRect(client, p)) Close(combo);
            return 0;
        }
        case WM_LBUTTONUP: {  // a release over an item chooses it
            if (state == nullptr || !state->dropped) return 0;
            const POINT p = MousePoint(lParam);
            const int i = ItemAt(list, *state, p);
            if (i < 0) return 0;
            if (UserSelect(combo, i)) Close(combo);
            return 0;
        }
        case WM_MOUSEWHEEL:
            if (state != nullptr) {
                const int step = GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? -1 : 1;
                state->top =
                    std::clamp(state->top + step, 0, std::max(0, Count(*state) - kVisibleItems));
                PaintNow(list, PaintList);
            }
            return 0;
        case WM_CAPTURECHANGED:  // the mouse went elsewhere: the list closes
            if (state != nullptr && state->dropped && reinterpret_cast<HWND>(lParam) != list)
                Close(combo);
            return 0;
        default:
            return DefWindowProcW(list, message, wParam, lParam);
    }
}

}  // namespace

LRESULT ComboBoxWindowProc(HWND combo, UINT message, WPARAM wParam, LPARAM lParam) {
    API_TRACE(Windows, ComboBoxWindowProc, combo, message, wParam, lParam);
    return WithControlState<ComboState>(combo, message, wParam, lParam, ComboMessage);
}

LRESULT ComboListWindowProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    API_TRACE(Windows, ComboListWindowProc, list, message, wParam, lParam);
    return ListMessage(list, message, wParam, lParam);
}
