// Windows: the Static control (text, pictures, frames and owner-draw statics).
#include "platform/user_classes.h"
#include "platform/user_controls.h"

namespace {

bool OwnerDraw(UINT style) {
    return (style & SS_TYPEMASK) == SS_OWNERDRAW;
}

// The one paint routine: an owner-draw static has its parent draw it; the others draw nothing
// yet.
void Paint(HWND control, HDC dc, UINT style) {
    if (!OwnerDraw(style)) return;
    SendDrawItem(control, dc, ODT_STATIC, ODA_DRAWENTIRE,
                 IsWindowEnabled(control) ? 0 : ODS_DISABLED);
}

// A new text or enabled state shows at once on an owner-draw static, later on the others.
void Changed(HWND control, UINT style) {
    if (OwnerDraw(style))
        RedrawNow(control);
    else
        InvalidateRect(control, nullptr, TRUE);
}

}  // namespace

LRESULT CALLBACK StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const UINT style = static_cast<UINT>(GetWindowLongPtrW(window, GWL_STYLE));
    switch (message) {
        case WM_NCHITTEST:
            // Without SS_NOTIFY the mouse passes through to what lies beneath.
            if (!(style & SS_NOTIFY)) return HTTRANSPARENT;
            break;
        case WM_LBUTTONDOWN:
            if (style & SS_NOTIFY) NotifyParent(window, STN_CLICKED);
            return 0;
        case WM_LBUTTONDBLCLK:
            if (style & SS_NOTIFY) NotifyParent(window, STN_DBLCLK);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_STATIC;
        case WM_SETTEXT: {
            LRESULT result = DefWindowProcW(window, message, wParam, lParam);
            Changed(window, style);
            return result;
        }
        case WM_ENABLE:
            Changed(window, style);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            if (dc != nullptr) {
                Paint(window, dc, style);
                EndPaint(window, &paint);
            }
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
