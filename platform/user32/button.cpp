// Windows: the Button control (push, default push, check box, 3-state box, radio button, their
// auto variants, group box and owner-draw buttons).
//
// The button keeps its state in its window's extra bytes: the check, the pushed look, the focus,
// and whether a press (of the mouse, holding the capture, or of the space bar) is under way; and
// what changed since it last painted (the owner-draw action).
#include <algorithm>
#include <cwctype>
#include <string>

#include "platform/user32/classes.h"
#include <winuser.h>

namespace {

constexpr int kStateIndex = 0;
constexpr int kActionIndex = static_cast<int>(sizeof(LONG_PTR));

constexpr UINT kCheckBits = BST_CHECKED | BST_INDETERMINATE;
constexpr UINT kMousePress = 0x0100;  // pressed with the mouse; the button holds the capture
constexpr UINT kSpacePress = 0x0200;  // pressed with the space bar

UINT State(HWND button) {
    return static_cast<UINT>(GetWindowLongPtrW(button, kStateIndex));
}

UINT TypeOf(HWND button) {
    return static_cast<UINT>(GetWindowLongPtrW(button, GWL_STYLE)) & BS_TYPEMASK;
}

bool Checkable(UINT type) {
    switch (type) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
        case BS_3STATE:
        case BS_AUTO3STATE:
            return true;
        default:
            return false;
    }
}

bool ThreeState(UINT type) {
    return type == BS_3STATE || type == BS_AUTO3STATE;
}

bool Radio(UINT type) {
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

// Paints what changed (ODA_SELECT, ODA_FOCUS or ODA_DRAWENTIRE) now: the paint routine hands the
// action to an owner-draw button's parent. An area already waiting to be painted, or a hidden
// button, gets the whole button painted when its turn comes.
void Repaint(HWND button, UINT action) {
    RECT pending;
    if (!IsWindowVisible(button) || GetUpdateRect(button, &pending, FALSE)) action = ODA_DRAWENTIRE;
    SetWindowLongPtrW(button, kActionIndex, static_cast<LONG_PTR>(action));
    RedrawNow(button);
}

// Changes the state; repaints with `action` when the bits in `visible` changed.
void SetState(HWND button, UINT state, UINT visible, UINT action) {
    UINT old = State(button);
    if (old == state) return;
    SetWindowLongPtrW(button, kStateIndex, static_cast<LONG_PTR>(state));
    if ((old ^ state) & visible) Repaint(button, action);
}

constexpr int kBoxSize = 13;  // a check box's or radio button's mark
constexpr int kBoxGap = 4;    // between the mark and the text

// A push button: the 3D face with its raised edge (sunken while pushed), a default button's
// dark frame around it, the centred caption and the focus rectangle inside.
void PaintPush(HWND button, HDC dc, UINT type, UINT state, const RECT& client, bool enabled) {
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    RECT r = client;
    const bool pushed = (state & BST_PUSHED) != 0;
    if (type == BS_DEFPUSHBUTTON) {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        r = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    }
    if (pushed)
        FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
    else
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
    RECT text{r.left + 2, r.top + 2, r.right - 2, r.bottom - 2};
    if (pushed) text = {text.left + 1, text.top + 1, text.right + 1, text.bottom + 1};
    ControlText(dc, WindowText(button), text, DT_CENTER | DT_VCENTER | DT_SINGLELINE, enabled,
                GetSysColor(COLOR_BTNTEXT));
    if (state & BST_FOCUS) {
        RECT focus{r.left + 3, r.top + 3, r.right - 3, r.bottom - 3};
        DrawFocusRect(dc, &focus);
    }
}

// A check box, 3-state box or radio button: the mark at the left, vertically centred, the
// caption after it, and the focus rectangle around the caption.
void PaintCheck(HWND button, HDC dc, UINT type, UINT state, const RECT& client, bool enabled) {
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    const int height = client.bottom - client.top;
    RECT mark{client.left, client.top + (height - kBoxSize) / 2, client.left + kBoxSize,
              client.top + (height - kBoxSize) / 2 + kBoxSize};
    UINT frame = Radio(type) ? DFCS_BUTTONRADIO : DFCS_BUTTONCHECK;
    UINT check = state & kCheckBits;
    if (check != BST_UNCHECKED) frame |= DFCS_CHECKED;
    // An indeterminate box shows its check greyed.
    if (!enabled || check == BST_INDETERMINATE) frame |= DFCS_INACTIVE;
    if (state & BST_PUSHED) frame |= DFCS_PUSHED;
    DrawFrameControl(dc, &mark, DFC_BUTTON, frame);
    const std::wstring text = WindowText(button);
    RECT caption{client.left + kBoxSize + kBoxGap, client.top, client.right, client.bottom};
    const UINT format = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
    ControlText(dc, text, caption, format, enabled, GetSysColor(COLOR_BTNTEXT));
    if ((state & BST_FOCUS) && !text.empty()) {
        RECT extent = caption;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &extent, format | DT_CALCRECT);
        int top = caption.top + (height - (extent.bottom - extent.top)) / 2;
        RECT focus{extent.left - 1, top - 1, std::min(extent.right + 1, client.right),
                   top + (extent.bottom - extent.top) + 1};
        DrawFocusRect(dc, &focus);
    }
}

// A group box: an etched frame that starts half a line down, and the caption on the face colour
// over the frame's top. The inside is left alone: the grouped controls are its siblings.
void PaintGroup(HWND button, HDC dc, const RECT& client, bool enabled) {
    const std::wstring text = WindowText(button);
    SIZE extent{0, 0};
    GetTextExtentPoint32W(dc, L"M", 1, &extent);
    RECT frame{client.left, client.top + extent.cy / 2, client.right, client.bottom};
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    if (text.empty()) return;
    RECT caption{client.left + 8, client.top, client.right - 8, client.top + extent.cy};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &caption,
              DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
    caption.right = std::min(caption.right, client.right - 8);
    RECT back{caption.left - 2, caption.top, caption.right + 2, caption.bottom};
    FillRect(dc, &back, GetSysColorBrush(COLOR_BTNFACE));
    ControlText(dc, text, caption, DT_LEFT | DT_SINGLELINE, enabled, GetSysColor(COLOR_BTNTEXT));
}

// The one paint routine: owner-draw buttons have their parent draw them; the others draw their
// classic look.
void Paint(HWND button, HDC dc, UINT action) {
    const UINT type = TypeOf(button);
    const UINT state = State(button);
    const bool enabled = IsWindowEnabled(button) != FALSE;
    if (type == BS_OWNERDRAW) {
        UINT item = 0;
        if (state & BST_PUSHED) item |= ODS_SELECTED;
        if (state & BST_FOCUS) item |= ODS_FOCUS;
        if (!enabled) item |= ODS_DISABLED;
        SendDrawItem(button, dc, ODT_BUTTON, action, item);
        return;
    }
    RECT client{};
    GetClientRect(button, &client);
    HGDIOBJ font = BeginControlDrawing(dc);
    if (type == BS_GROUPBOX)
        PaintGroup(button, dc, client, enabled);
    else if (Checkable(type))
        PaintCheck(button, dc, type, state, client, enabled);
    else
        PaintPush(button, dc, type, state, client, enabled);
    ControlDrawingDone(dc, font);
}

bool IsAutoRadio(HWND window) {
    wchar_t name[16];
    int n = GetClassNameW(window, name, 16);
    std::wstring lower(name, name + n);
    for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
    return lower == L"button" && TypeOf(window) == BS_AUTORADIOBUTTON;
}

bool StartsGroup(HWND window) {
    return (static_cast<UINT>(GetWindowLongPtrW(window, GWL_STYLE)) & WS_GROUP) != 0;
}

// Unchecks the other auto radio buttons of the button's group: its siblings from the last one
// with WS_GROUP (or the first) up to the next one with WS_GROUP.
void UncheckGroup(HWND button) {
    HWND first = button;
    while (!StartsGroup(first)) {
        HWND previous = GetWindow(first, GW_HWNDPREV);
        if (previous == nullptr) break;
        first = previous;
    }
    for (HWND h = first; h != nullptr;) {
        if (h != button && IsAutoRadio(h)) SendMessageW(h, BM_SETCHECK, BST_UNCHECKED, 0);
        h = GetWindow(h, GW_HWNDNEXT);
        if (h != nullptr && StartsGroup(h)) break;
    }
}

// A click: the auto types change their check, then the parent hears BN_CLICKED.
void Click(HWND button) {
    UINT type = TypeOf(button);
    UINT check = State(button) & kCheckBits;
    switch (type) {
        case BS_AUTOCHECKBOX:
            SendMessageW(button, BM_SETCHECK, check == BST_UNCHECKED ? BST_CHECKED : BST_UNCHECKED,
                         0);
            break;
        case BS_AUTO3STATE:
            SendMessageW(button, BM_SETCHECK, (check + 1) % 3, 0);
            break;
        case BS_AUTORADIOBUTTON:
            SendMessageW(button, BM_SETCHECK, BST_CHECKED, 0);
            UncheckGroup(button);
            break;
        default:
            break;
    }
    NotifyParent(button, BN_CLICKED);
}

LRESULT DialogCode(UINT type) {
    switch (type) {
        case BS_PUSHBUTTON:
            return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_DEFPUSHBUTTON:
            return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_GROUPBOX:
            return DLGC_STATIC;
        default:
            return DLGC_BUTTON;
    }
}

void Press(HWND button) {
    SetFocus(button);
    SetCapture(button);
    SetState(button, State(button) | BST_PUSHED | kMousePress, BST_PUSHED, ODA_SELECT);
}

// Ends a press (of the mouse or the space bar) without clicking.
void EndPress(HWND button) {
    SetState(button, State(button) & ~(BST_PUSHED | kMousePress | kSpacePress), BST_PUSHED,
             ODA_SELECT);
}

}  // namespace

LRESULT CALLBACK ButtonWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const UINT style = static_cast<UINT>(GetWindowLongPtrW(window, GWL_STYLE));
    const UINT type = style & BS_TYPEMASK;
    const UINT state = State(window);
    switch (message) {
        case WM_GETDLGCODE:
            return DialogCode(type);
        case WM_NCHITTEST:
            if (type == BS_GROUPBOX) return HTTRANSPARENT;
            break;
        case WM_LBUTTONDBLCLK:
            if (Radio(type) || type == BS_OWNERDRAW || (style & BS_NOTIFY)) {
                NotifyParent(window, BN_DOUBLECLICKED);
                return 0;
            }
            // Other buttons take the double click as a second press.
            [[fallthrough]];
        case WM_LBUTTONDOWN:
            if (type != BS_GROUPBOX) Press(window);
            return 0;
        case WM_MOUSEMOVE:
            if ((state & kMousePress) && GetCapture() == window) {
                UINT pushed = InClient(window, lParam) ? BST_PUSHED : 0;
                SetState(window, (state & ~BST_PUSHED) | pushed, BST_PUSHED, ODA_SELECT);
            }
            return 0;
        case WM_LBUTTONUP: {
            if (!(state & kMousePress)) return 0;
            bool click = GetCapture() == window && InClient(window, lParam);
            EndPress(window);
            ReleaseCapture();
            if (click) Click(window);
            return 0;
        }
        case WM_CAPTURECHANGED:
            // Another window took the mouse: the press is over, without a click.
            if ((state & kMousePress) && reinterpret_cast<HWND>(lParam) != window) EndPress(window);
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_SPACE && type != BS_GROUPBOX && !(state & kSpacePress))
                SetState(window, state | BST_PUSHED | kSpacePress, BST_PUSHED, ODA_SELECT);
            return 0;
        case WM_KEYUP:
            if (wParam == VK_SPACE && (state & kSpacePress)) {
                bool click = (state & BST_PUSHED) != 0;
                EndPress(window);
                if (click) Click(window);
            }
            return 0;
        case WM_SETFOCUS:
            SetState(window, state | BST_FOCUS, BST_FOCUS, ODA_FOCUS);
            if (style & BS_NOTIFY) NotifyParent(window, BN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS: {
            UINT now = state & ~BST_FOCUS;
            if (state & kSpacePress) now &= ~(BST_PUSHED | kSpacePress);
            SetState(window, now, BST_FOCUS | BST_PUSHED, ODA_FOCUS);
            if ((state & kMousePress) && GetCapture() == window) ReleaseCapture();
            if (style & BS_NOTIFY) NotifyParent(window, BN_KILLFOCUS);
            return 0;
        }
        case WM_ENABLE:
            Repaint(window, ODA_DRAWENTIRE);
            return 0;
        case WM_SETTEXT: {
            LRESULT result = DefWindowProcW(window, message, wParam, lParam);
            Repaint(window, ODA_DRAWENTIRE);
            return result;
        }
        case BM_GETCHECK:
            return Checkable(type) ? state & kCheckBits : 0;
        case BM_SETCHECK: {
            if (!Checkable(type)) return 0;
            UINT check = static_cast<UINT>(wParam);
            if (!ThreeState(type))
                check = check != 0 ? BST_CHECKED : BST_UNCHECKED;
            else if (check > BST_INDETERMINATE)
                check = BST_INDETERMINATE;
            SetState(window, (state & ~kCheckBits) | check, kCheckBits, ODA_DRAWENTIRE);
            return 0;
        }
        case BM_GETSTATE:
            return state & (kCheckBits | BST_PUSHED | BST_FOCUS);
        case BM_SETSTATE:
            SetState(window, wParam ? state | BST_PUSHED : state & ~BST_PUSHED, BST_PUSHED,
                     ODA_SELECT);
            return 0;
        case BM_SETSTYLE:
            SetWindowLongPtrW(window, GWL_STYLE,
                              static_cast<LONG_PTR>((style & ~BS_TYPEMASK) |
                                                    (static_cast<UINT>(wParam) & BS_TYPEMASK)));
            if (lParam) Repaint(window, ODA_DRAWENTIRE);
            return 0;
        case BM_CLICK:
            if (!IsWindowEnabled(window)) return 0;
            SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
            SendMessageW(window, WM_LBUTTONUP, 0, 0);
            return 0;
        case WM_PRINTCLIENT:
            Paint(window, reinterpret_cast<HDC>(wParam), ODA_DRAWENTIRE);
            return 0;
        case WM_PAINT: {
            UINT action = static_cast<UINT>(GetWindowLongPtrW(window, kActionIndex));
            SetWindowLongPtrW(window, kActionIndex, 0);
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            if (dc != nullptr) {
                Paint(window, dc, action != 0 ? action : ODA_DRAWENTIRE);
                EndPaint(window, &paint);
            }
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
