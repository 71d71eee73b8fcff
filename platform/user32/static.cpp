// Windows: the Static control (text, pictures, frames and owner-draw statics).
#include "platform/user32/classes.h"
#include <winuser.h>

namespace {

bool OwnerDraw(UINT style) {
    return (style & SS_TYPEMASK) == SS_OWNERDRAW;
}

// Text statics: how DrawTextW lays out each type's text.
UINT TextFormat(UINT style) {
    UINT format = 0;
    switch (style & SS_TYPEMASK) {
        case SS_CENTER:
            format = DT_CENTER | DT_WORDBREAK;
            break;
        case SS_RIGHT:
            format = DT_RIGHT | DT_WORDBREAK;
            break;
        case SS_SIMPLE:
        case SS_LEFTNOWORDWRAP:
            format = DT_LEFT | DT_SINGLELINE;
            break;
        default:
            format = DT_LEFT | DT_WORDBREAK;
            break;
    }
    if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
    if (style & SS_CENTERIMAGE) format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
    if ((style & SS_WORDELLIPSIS) == SS_ENDELLIPSIS)
        format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_END_ELLIPSIS;
    return format;
}

// Rectangles and frames: their colour, or nothing for other types.
int ShapeColor(UINT type) {
    switch (type) {
        case SS_BLACKRECT:
        case SS_BLACKFRAME:
            return COLOR_WINDOWFRAME;
        case SS_GRAYRECT:
        case SS_GRAYFRAME:
            return COLOR_BTNSHADOW;
        case SS_WHITERECT:
        case SS_WHITEFRAME:
            return COLOR_BTNHIGHLIGHT;
        default:
            return -1;
    }
}

// The one paint routine: an owner-draw static has its parent draw it; the others draw their
// text on the face colour, their rectangle, frame or etched line.
void Paint(HWND control, HDC dc, UINT style) {
    const bool enabled = IsWindowEnabled(control) != FALSE;
    if (OwnerDraw(style)) {
        SendDrawItem(control, dc, ODT_STATIC, ODA_DRAWENTIRE, enabled ? 0 : ODS_DISABLED);
        return;
    }
    RECT client{};
    GetClientRect(control, &client);
    const UINT type = style & SS_TYPEMASK;
    const int shape = ShapeColor(type);
    if (shape >= 0) {
        if (type == SS_BLACKRECT || type == SS_GRAYRECT || type == SS_WHITERECT)
            FillRect(dc, &client, GetSysColorBrush(shape));
        else
            FrameRect(dc, &client, GetSysColorBrush(shape));
        return;
    }
    if (type == SS_ETCHEDHORZ || type == SS_ETCHEDVERT || type == SS_ETCHEDFRAME) {
        UINT sides = type == SS_ETCHEDHORZ ? BF_TOP : type == SS_ETCHEDVERT ? BF_LEFT : BF_RECT;
        DrawEdge(dc, &client, EDGE_ETCHED, sides);
        return;
    }
    if (type == SS_ICON || type == SS_BITMAP) return;  // (no pictures of their own yet)
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    RECT text = client;
    if (style & SS_SUNKEN) DrawEdge(dc, &text, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    HGDIOBJ font = BeginControlDrawing(dc);
    ControlText(dc, WindowText(control), text, TextFormat(style), enabled,
                GetSysColor(COLOR_WINDOWTEXT));
    ControlDrawingDone(dc, font);
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
        case WM_PRINTCLIENT:
            Paint(window, reinterpret_cast<HDC>(wParam), style);
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
