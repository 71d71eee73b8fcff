// Windows: the Button control (push, default push, check box, 3-state box, radio button, their
// auto variants, group box and owner-draw buttons).
//
// The button keeps its state in its window's extra bytes: the check, the pushed look, the focus,
// and whether a press (of the mouse, holding the capture, or of the space bar) is under way; and
// what changed since it last painted (the owner-draw action).
#include <cwctype>
#include <string>

#include "platform/user_classes.h"
#include "platform/user_controls.h"

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

// The one paint routine: owner-draw buttons have their parent draw them; the others draw nothing
// yet.
void Paint(HWND button, HDC dc, UINT action) {
    if (TypeOf(button) != BS_OWNERDRAW) return;
    UINT state = State(button);
    UINT item = 0;
    if (state & BST_PUSHED) item |= ODS_SELECTED;
    if (state & BST_FOCUS) item |= ODS_FOCUS;
    if (!IsWindowEnabled(button)) item |= ODS_DISABLED;
    SendDrawItem(button, dc, ODT_BUTTON, action, item);
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
