// Windows: the dialog manager. Dialog windows from templates, the dialog class's procedure, the
// modal loop and the dialog keys.
#include <winuser.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include <winbase.h>
#include "machine/machine.h"
#include "machine/threads.h"
#include "machine/trace.h"
#include "machine/windows.h"

using sim::Fail;

namespace {

sim::WindowTable& Windows() {
    return sim::machine().windows();
}

// The base units of the dialog font (see GetDialogBaseUnits).
constexpr int kBaseX = 6;
constexpr int kBaseY = 13;

// The dialog's window bytes: DWLP_MSGRESULT, DWLP_DLGPROC and DWLP_USER, then the manager's own.
constexpr int kResultSlot = 24;  // EndDialog's result
constexpr int kStateSlot = 32;   // kEnded
constexpr int kDefIdSlot = 40;   // DM_SETDEFID's id (0: none set)
constexpr int kFocusSlot = 48;   // the control that had the focus when the dialog was deactivated
constexpr int kDialogExtra = DLGWINDOWEXTRA;
static_assert(kFocusSlot + static_cast<int>(sizeof(LONG_PTR)) <= kDialogExtra);
constexpr LONG_PTR kEnded = 1;

constexpr WORD kClicked = 0;  // BN_CLICKED: a button's WM_COMMAND notification

// The dialog procedure that the dialog being made on this thread gets on its WM_NCCREATE.
thread_local bool t_pending = false;
thread_local DLGPROC t_pendingProc = nullptr;

WPARAM CommandParam(int id, WORD code) {
    return static_cast<WPARAM>((static_cast<DWORD>(id) & 0xFFFF) |
                               (static_cast<DWORD>(code) << 16));
}

// Dialog units to pixels, rounded to the nearest (halves away from zero).
int Scale(int value, int base, int units) {
    long long v = static_cast<long long>(value) * base;
    return static_cast<int>(v >= 0 ? (v + units / 2) / units : -((-v + units / 2) / units));
}

RECT ToPixels(short x, short y, short cx, short cy) {
    int left = Scale(x, kBaseX, 4);
    int top = Scale(y, kBaseY, 8);
    return {left, top, left + Scale(cx, kBaseX, 4), top + Scale(cy, kBaseY, 8)};
}

bool IsDialog(const sim::WindowInfo& w) {
    return sim::Lower(w.className) == L"#32770" &&
           w.extra.size() >= static_cast<std::size_t>(kDialogExtra);
}

LONG_PTR Slot(HWND dialog, int offset) {
    auto w = Windows().Get(dialog);
    if (!w || !IsDialog(*w)) return 0;
    LONG_PTR v;
    std::memcpy(&v, w->extra.data() + offset, sizeof v);
    return v;
}

void SetSlot(HWND dialog, int offset, LONG_PTR value) {
    Windows().Modify(dialog, [&](sim::WindowInfo& w) {
        if (IsDialog(w)) std::memcpy(w.extra.data() + offset, &value, sizeof value);
    });
}

bool Ended(HWND dialog) {
    return (Slot(dialog, kStateSlot) & kEnded) != 0;
}

// Whether `window` lies inside `dialog` (a descendant).
bool Inside(HWND dialog, HWND window) {
    for (auto w = Windows().Get(window); w && w->parent != nullptr; w = Windows().Get(w->parent))
        if (w->parent == dialog) return true;
    return false;
}

// The dialog's own control that holds `window` (the window itself when it is one).
HWND ControlOf(HWND dialog, HWND window) {
    for (auto w = Windows().Get(window); w; w = Windows().Get(w->parent))
        if (w->parent == dialog) return w->hwnd;
    return nullptr;
}

bool TabStop(HWND control) {
    auto w = Windows().Get(control);
    return w && (w->style & WS_TABSTOP) && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED);
}

// Messages whose answer the dialog procedure returns itself (not through DWLP_MSGRESULT).
bool AnswersDirectly(UINT message) {
    switch (message) {
        case WM_INITDIALOG:
        case 0x002E:  // WM_VKEYTOITEM
        case 0x002F:  // WM_CHARTOITEM
        case 0x0037:  // WM_QUERYDRAGICON
        case 0x0039:  // WM_COMPAREITEM
            return true;
        default:
            return message >= 0x0132 && message <= 0x0138;  // WM_CTLCOLOR*
    }
}

// The dialog's control of that id, or null (no last error: a missing button is no failure here).
HWND ControlWithId(HWND dialog, int id) {
    for (HWND c : Windows().Children(dialog))
        if (auto w = Windows().Get(c); w && w->id == id) return c;
    return nullptr;
}

// The button command of that id for the dialog, unless a control of that id is disabled. Sent at
// once, or posted.
void Command(HWND dialog, int id, bool post = false) {
    HWND control = ControlWithId(dialog, id);
    if (control != nullptr && !IsWindowEnabled(control)) return;
    WPARAM wParam = CommandParam(id, kClicked);
    auto lParam = reinterpret_cast<LPARAM>(control);
    if (post)
        PostMessageW(dialog, WM_COMMAND, wParam, lParam);
    else
        SendMessageW(dialog, WM_COMMAND, wParam, lParam);
}

// The default handling of the dialog class.
LRESULT DialogDefault(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            Command(dialog, IDCANCEL, true);
            return 0;
        case DM_GETDEFID: {
            if (LONG_PTR id = Slot(dialog, kDefIdSlot))
                return MAKELPARAM(static_cast<int>(id), DC_HASDEFID);
            for (HWND c : Windows().Children(dialog))
                if (SendMessageW(c, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)
                    return MAKELPARAM(GetDlgCtrlID(c), DC_HASDEFID);
            return 0;
        }
        case DM_SETDEFID:
            SetSlot(dialog, kDefIdSlot, static_cast<LONG_PTR>(wParam & 0xFFFF));
            return TRUE;
        case WM_ACTIVATE: {
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (Inside(dialog, focus))
                    SetSlot(dialog, kFocusSlot, reinterpret_cast<LONG_PTR>(focus));
                return 0;
            }
            if (Inside(dialog, GetFocus())) return 0;
            auto saved = reinterpret_cast<HWND>(Slot(dialog, kFocusSlot));
            HWND to = Inside(dialog, saved) ? saved : GetNextDlgTabItem(dialog, nullptr, FALSE);
            if (to != nullptr) {
                SetFocus(to);
                return 0;
            }
            return DefWindowProcW(dialog, message, wParam, lParam);
        }
        default:
            return DefWindowProcW(dialog, message, wParam, lParam);
    }
}

// Moves the focus to the next or previous tab stop.
void MoveFocus(HWND dialog, bool previous) {
    HWND from = ControlOf(dialog, GetFocus());
    HWND to = GetNextDlgTabItem(dialog, from, previous ? TRUE : FALSE);
    if (to != nullptr && to != GetFocus()) SetFocus(to);
}

// Makes the dialog; null (last error set) when it cannot be made.
HWND MakeDialog(HINSTANCE instance, const resources::DialogTemplate* t, HWND parent,
                DLGPROC procedure, LPARAM initParam) {
    if (t == nullptr) return Fail<HWND>(nullptr, ERROR_INVALID_PARAMETER);
    if (parent != nullptr && !Windows().Exists(parent))
        return Fail<HWND>(nullptr, ERROR_INVALID_WINDOW_HANDLE);
    const DWORD style = t->style;
    RECT r = ToPixels(t->x, t->y, t->cx, t->cy);
    AdjustWindowRectEx(&r, style, FALSE, t->exStyle);
    if (!(style & WS_CHILD) && parent != nullptr) {
        POINT origin = Windows().ClientOrigin(parent);
        r = {r.left + origin.x, r.top + origin.y, r.right + origin.x, r.bottom + origin.y};
    }
    t_pending = true;
    t_pendingProc = procedure;
    HWND dialog = CreateWindowExW(t->exStyle, L"#32770", t->caption, style & ~WS_VISIBLE, r.left,
                                  r.top, r.right - r.left, r.bottom - r.top, parent, nullptr,
                                  instance, reinterpret_cast<LPVOID>(initParam));
    t_pending = false;
    if (dialog == nullptr) return nullptr;
    for (const resources::DialogItem& item : t->items) {
        RECT c = ToPixels(item.x, item.y, item.cx, item.cy);
        HWND control = CreateWindowExW(
            item.exStyle, item.className, item.text, item.style | WS_CHILD, c.left, c.top,
            c.right - c.left, c.bottom - c.top, dialog,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)), instance, nullptr);
        if (control == nullptr) {
            DWORD error = GetLastError();
            if (IsWindow(dialog)) DestroyWindow(dialog);
            return Fail<HWND>(nullptr, error != 0 ? error : ERROR_CANNOT_FIND_WND_CLASS);
        }
    }
    HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
    LRESULT focus = SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), initParam);
    if (!IsWindow(dialog)) return Fail<HWND>(nullptr, ERROR_INVALID_WINDOW_HANDLE);
    if (focus && first != nullptr && IsWindow(first)) SetFocus(first);
    if ((style & WS_VISIBLE) && !Ended(dialog)) ShowWindow(dialog, SW_SHOWNORMAL);
    return dialog;
}

// Runs the modal dialog until EndDialog (or its end); returns the result.
INT_PTR RunModal(HWND dialog, HWND owner) {
    bool reenable = owner != nullptr && !EnableWindow(owner, FALSE);
    if (!Ended(dialog) && !IsWindowVisible(dialog)) ShowWindow(dialog, SW_SHOWNORMAL);
    bool quit = false;
    int quitCode = 0;
    while (IsWindow(dialog) && !Ended(dialog)) {
        MSG msg;
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            quit = true;
            quitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (got == -1) break;
        if (!IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    INT_PTR result = !quit && Ended(dialog) ? Slot(dialog, kResultSlot) : 0;
    if (reenable && IsWindow(owner)) EnableWindow(owner, TRUE);
    if (IsWindow(dialog)) DestroyWindow(dialog);
    if (quit) PostQuitMessage(quitCode);
    return result;
}

// A modal dialog's owner: the top-level window of the one given.
HWND OwnerOf(HWND parent) {
    HWND owner = parent;
    for (auto w = Windows().Get(parent); w && (w->style & WS_CHILD); w = Windows().Get(w->parent))
        owner = w->parent;
    return owner;
}

INT_PTR DialogBox(HINSTANCE instance, const resources::DialogTemplate* t, HWND parent,
                  DLGPROC procedure, LPARAM initParam) {
    HWND owner = OwnerOf(parent);
    HWND dialog = MakeDialog(instance, t, owner, procedure, initParam);
    if (dialog == nullptr) return -1;
    return RunModal(dialog, owner);
}

}  // namespace

LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    API_TRACE(Windows, DefDlgProcW, dialog, message, wParam, lParam);
    if (message == WM_NCCREATE && t_pending) {
        t_pending = false;
        SetSlot(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(t_pendingProc));
    }
    if (auto procedure = reinterpret_cast<DLGPROC>(Slot(dialog, DWLP_DLGPROC))) {
        SetSlot(dialog, DWLP_MSGRESULT, 0);
        INT_PTR answer = procedure(dialog, message, wParam, lParam);
        if (answer != 0) return AnswersDirectly(message) ? answer : Slot(dialog, DWLP_MSGRESULT);
    }
    if (!Windows().Exists(dialog)) return 0;
    return DialogDefault(dialog, message, wParam, lParam);
}

HWND CreateDialogIndirectParamW(HINSTANCE instance, const resources::DialogTemplate* dialog,
                                HWND parent, DLGPROC procedure, LPARAM initParam) {
    API_TRACE(Windows, CreateDialogIndirectParamW, instance, dialog, parent, procedure, initParam);
    return MakeDialog(instance, dialog, parent, procedure, initParam);
}

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC procedure,
                        LPARAM initParam) {
    API_TRACE(Windows, CreateDialogParamW, instance, templateName, parent, procedure, initParam);
    const resources::DialogTemplate* t = resources::FindDialog(instance, templateName);
    if (t == nullptr) return Fail<HWND>(nullptr, ERROR_RESOURCE_NAME_NOT_FOUND);
    return MakeDialog(instance, t, parent, procedure, initParam);
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, const resources::DialogTemplate* dialog,
                                HWND parent, DLGPROC procedure, LPARAM initParam) {
    API_TRACE(Windows, DialogBoxIndirectParamW, instance, dialog, parent, procedure, initParam);
    return DialogBox(instance, dialog, parent, procedure, initParam);
}

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC procedure,
                        LPARAM initParam) {
    API_TRACE(Windows, DialogBoxParamW, instance, templateName, parent, procedure, initParam);
    const resources::DialogTemplate* t = resources::FindDialog(instance, templateName);
    if (t == nullptr) return Fail<INT_PTR>(-1, ERROR_RESOURCE_NAME_NOT_FOUND);
    return DialogBox(instance, t, parent, procedure, initParam);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    API_TRACE(Windows, EndDialog, dialog, result);
    auto w = Windows().Get(dialog);
    if (!w) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    if (!IsDialog(*w)) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    SetSlot(dialog, kResultSlot, result);
    SetSlot(dialog, kStateSlot, Slot(dialog, kStateSlot) | kEnded);
    ShowWindow(dialog, SW_HIDE);
    // Wakes a modal loop waiting for a message (EndDialog may come from a sent message).
    PostMessageW(dialog, WM_NULL, 0, 0);
    return TRUE;
}

BOOL IsDialogMessageW(HWND dialog, LPMSG msg) {
    API_TRACE(Windows, IsDialogMessageW, dialog, msg);
    if (msg == nullptr || !Windows().Exists(dialog)) return FALSE;
    if (msg->hwnd != dialog && !Inside(dialog, msg->hwnd)) return FALSE;
    WPARAM key = msg->wParam;
    if (msg->message == WM_KEYDOWN && (key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE)) {
        LRESULT code = SendMessageW(msg->hwnd, WM_GETDLGCODE, key, reinterpret_cast<LPARAM>(msg));
        bool claimed = (code & DLGC_WANTMESSAGE) || (key == VK_TAB && (code & DLGC_WANTTAB));
        if (!claimed) {
            if (key == VK_TAB) {
                MoveFocus(dialog, GetKeyState(VK_SHIFT) < 0);
            } else if (key == VK_ESCAPE) {
                Command(dialog, IDCANCEL);
            } else {
                LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0);
                Command(dialog, HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK);
            }
            return TRUE;
        }
    }
    TranslateMessage(msg);
    DispatchMessageW(msg);
    return TRUE;
}

LONG GetDialogBaseUnits() {
    API_TRACE(Windows, GetDialogBaseUnits);
    return static_cast<LONG>(MAKELPARAM(kBaseX, kBaseY));
}

BOOL MapDialogRect(HWND dialog, LPRECT rect) {
    API_TRACE(Windows, MapDialogRect, dialog, rect);
    if (!Windows().Exists(dialog)) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    if (rect == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    rect->left = Scale(rect->left, kBaseX, 4);
    rect->right = Scale(rect->right, kBaseX, 4);
    rect->top = Scale(rect->top, kBaseY, 8);
    rect->bottom = Scale(rect->bottom, kBaseY, 8);
    return TRUE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int maxCount) {
    API_TRACE(Windows, GetDlgItemTextW, dialog, id, text, maxCount);
    if (text != nullptr && maxCount > 0) text[0] = 0;
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) return 0;
    return static_cast<UINT>(GetWindowTextW(control, text, maxCount));
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
    API_TRACE(Windows, SetDlgItemTextW, dialog, id, text);
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) return FALSE;
    return SetWindowTextW(control, text);
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    API_TRACE(Windows, SendDlgItemMessageW, dialog, id, message, wParam, lParam);
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) return 0;
    return SendMessageW(control, message, wParam, lParam);
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
    API_TRACE(Windows, GetNextDlgTabItem, dialog, control, previous);
    if (!Windows().Exists(dialog)) return Fail<HWND>(nullptr, ERROR_INVALID_WINDOW_HANDLE);
    std::vector<HWND> controls = Windows().Children(dialog);
    if (previous) std::reverse(controls.begin(), controls.end());
    auto at = std::find(controls.begin(), controls.end(), control);
    std::size_t start =
        at == controls.end() ? 0 : static_cast<std::size_t>(at - controls.begin()) + 1;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        HWND c = controls[(start + i) % controls.size()];
        if (c != control && TabStop(c)) return c;
    }
    return at != controls.end() ? control : nullptr;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    API_TRACE(Windows, CheckDlgButton, dialog, id, check);
    HWND button = GetDlgItem(dialog, id);
    if (button == nullptr) return FALSE;  // last error from GetDlgItem
    SendMessageW(button, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    API_TRACE(Windows, IsDlgButtonChecked, dialog, id);
    HWND button = GetDlgItem(dialog, id);
    if (button == nullptr) return 0;
    return static_cast<UINT>(SendMessageW(button, BM_GETCHECK, 0, 0));
}
