// The trackbar ("msctls_trackbar32"), horizontal: a sunken channel, a raised thumb at the position
// and tick marks below it (none with TBS_NOTICKS; every TBM_SETTICFREQ step with TBS_AUTOTICKS,
// else the two ends). The position stays within the range. The mouse drags the thumb (the parent
// hears WM_HSCROLL TB_THUMBTRACK per move, TB_THUMBPOSITION and TB_ENDTRACK at the release); a
// click beside the thumb moves it a page towards the click; the arrows move it a line, Page Up and
// Page Down a page, Home and End to the ends. At paint the parent may draw the parts itself
// through NM_CUSTOMDRAW. Positions are placed with 64-bit arithmetic, so any int range works.
#include <algorithm>
#include <cstdint>

#include <commctrl.h>
#include <wingdi.h>
#include <winuser.h>
#include "platform/user32/classes.h"
#include "machine/trace.h"

namespace {

constexpr int kMargin = 8;  // from the client's sides to the channel's ends
constexpr int kThumbWidth = 11;
constexpr int kChannelHeight = 4;
constexpr int kTickLength = 3;
constexpr int kTickGap = 2;  // between the thumb and the ticks

struct TrackState {
    int minimum = 0;
    int maximum = 100;
    int position = 0;
    int line = 1;
    int page = 20;
    bool pageSet = false;  // TBM_SETPAGESIZE chose it; else it follows the range (a fifth)
    int frequency = 1;
    bool dragging = false;
    int grip = 0;      // while dragging: the pointer's distance from the thumb's centre
    UINT keyDown = 0;  // the key whose release ends a keyboard move (TB_ENDTRACK)
};

TrackState* StateOf(HWND control) {
    return ControlState<TrackState>(control);
}

DWORD StyleOf(HWND control) {
    return static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
}

// The highest position: a range given backwards holds its minimum alone.
int Top(const TrackState& s) {
    return std::max(s.minimum, s.maximum);
}

int Clamp(const TrackState& s, std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, s.minimum, Top(s)));
}

// The parts' places in the client area.
struct Geometry {
    RECT channel;
    RECT thumb;
    RECT tics;
    int first;  // the thumb's centre at the minimum and at the maximum
    int last;
};

bool TicksShown(DWORD style) {
    return !(style & TBS_NOTICKS);
}

Geometry Layout(HWND control, const TrackState& s) {
    RECT client{};
    GetClientRect(control, &client);
    const DWORD style = StyleOf(control);
    Geometry g{};
    const int width = client.right;
    g.first = kMargin + kThumbWidth / 2;
    g.last = std::max(g.first, width - kMargin - kThumbWidth / 2 - 1);
    const int ticks = TicksShown(style) ? kTickGap + kTickLength + 1 : 0;
    const int top = (style & (TBS_TOP | TBS_BOTH)) && TicksShown(style) ? ticks + 2 : 2;
    const int bottom = (!(style & TBS_TOP) || (style & TBS_BOTH)) ? ticks : 0;
    const int thumbHeight = std::clamp(static_cast<int>(client.bottom) - top - bottom - 2, 6, 20);
    const std::int64_t span = static_cast<std::int64_t>(Top(s)) - s.minimum;
    const std::int64_t offset = static_cast<std::int64_t>(s.position) - s.minimum;
    const int centre =
        g.first + (span > 0 ? static_cast<int>(offset * (g.last - g.first) / span) : 0);
    g.thumb = {centre - kThumbWidth / 2, top, centre + kThumbWidth / 2 + 1, top + thumbHeight};
    const int middle = top + thumbHeight / 2;
    g.channel = {kMargin, middle - kChannelHeight / 2, g.last + kThumbWidth / 2 + 1,
                 middle + kChannelHeight / 2};
    g.tics = {g.first, g.thumb.bottom + kTickGap, g.last + 1,
              g.thumb.bottom + kTickGap + kTickLength + 1};
    if (style & TBS_TOP && !(style & TBS_BOTH))
        g.tics = {g.first, top - kTickGap - kTickLength - 1, g.last + 1, top - kTickGap};
    return g;
}

// The position under a client x (the thumb's centre there), within the range.
int PositionAt(const TrackState& s, const Geometry& g, int x) {
    const std::int64_t span = static_cast<std::int64_t>(Top(s)) - s.minimum;
    const int width = g.last - g.first;
    if (width <= 0 || span <= 0) return s.minimum;
    const std::int64_t along = std::clamp(x - g.first, 0, width);
    return Clamp(s, s.minimum + (along * span + width / 2) / width);
}

// ---- Drawing ----

int TickX(const TrackState& s, const Geometry& g, std::int64_t at) {
    const std::int64_t span = static_cast<std::int64_t>(Top(s)) - s.minimum;
    if (span <= 0) return g.first;
    return g.first + static_cast<int>((at - s.minimum) * (g.last - g.first) / span);
}

void DrawTics(HWND control, HDC dc, const TrackState& s, const Geometry& g) {
    const DWORD style = StyleOf(control);
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNTEXT));
    HGDIOBJ old = SelectObject(dc, pen);
    auto tick = [&](int x, int extra) {
        const bool above = (style & TBS_TOP) && !(style & TBS_BOTH);
        const int y0 = above ? g.tics.bottom - 1 : g.tics.top;
        const int y1 = above ? g.tics.top - extra : g.tics.bottom + extra - 1;
        MoveToEx(dc, x, y0, nullptr);
        LineTo(dc, x, y1);
    };
    tick(g.first, 1);
    tick(g.last, 1);
    const std::int64_t span = static_cast<std::int64_t>(Top(s)) - s.minimum;
    if ((style & TBS_AUTOTICKS) && s.frequency > 0 && span > 0) {
        // No two ticks closer than two pixels: a dense range shows its ends only.
        const std::int64_t steps = span / s.frequency;
        if (steps > 0 && (g.last - g.first) / steps >= 2)
            for (std::int64_t at = static_cast<std::int64_t>(s.minimum) + s.frequency; at < Top(s);
                 at += s.frequency)
                tick(TickX(s, g, at), 0);
    }
    SelectObject(dc, old);
    DeleteObject(pen);
}

void DrawChannel(HDC dc, const Geometry& g) {
    RECT r = g.channel;
    DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
}

void Line(HDC dc, int color, POINT from, POINT to) {
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(color));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, to.x, to.y);
    SelectObject(dc, old);
    DeleteObject(pen);
}

// A raised block; with ticks on one side only, it points at them.
void DrawThumb(HWND control, HDC dc, const Geometry& g) {
    const DWORD style = StyleOf(control);
    RECT r = g.thumb;
    const bool pointed = TicksShown(style) && !(style & TBS_BOTH);
    const int w = r.right - r.left;
    if (!pointed || r.bottom - r.top < w) {
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_MIDDLE);
        return;
    }
    const int tip = w / 2;  // the point's height
    const bool down = !(style & TBS_TOP);
    // The face, then the outline: light towards the top left, dark towards the bottom right.
    POINT face[5];
    const int l = r.left, t = r.top, rr = r.right - 1, b = r.bottom - 1, c = l + tip;
    if (down) {
        POINT p[5] = {{l, t}, {rr, t}, {rr, b - tip}, {c, b}, {l, b - tip}};
        std::copy(p, p + 5, face);
    } else {
        POINT p[5] = {{c, t}, {rr, t + tip}, {rr, b}, {l, b}, {l, t + tip}};
        std::copy(p, p + 5, face);
    }
    HBRUSH brush = GetSysColorBrush(COLOR_BTNFACE);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    Polygon(dc, face, 5);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    if (down) {
        Line(dc, COLOR_BTNHIGHLIGHT, {l, b - tip}, {l, t});
        Line(dc, COLOR_BTNHIGHLIGHT, {l, t}, {rr, t});
        Line(dc, COLOR_3DDKSHADOW, {rr, t}, {rr, b - tip});
        Line(dc, COLOR_3DDKSHADOW, {rr, b - tip}, {c - 1, b + 1});
        Line(dc, COLOR_BTNSHADOW, {rr - 1, t + 1}, {rr - 1, b - tip});
        Line(dc, COLOR_BTNSHADOW, {rr - 1, b - tip}, {c - 1, b});
        Line(dc, COLOR_BTNHIGHLIGHT, {l, b - tip}, {c + 1, b + 1});
    } else {
        Line(dc, COLOR_BTNHIGHLIGHT, {l, b}, {l, t + tip});
        Line(dc, COLOR_BTNHIGHLIGHT, {l, t + tip}, {c + 1, t - 1});
        Line(dc, COLOR_3DDKSHADOW, {c, t}, {rr, t + tip});
        Line(dc, COLOR_3DDKSHADOW, {rr, t + tip}, {rr, b});
        Line(dc, COLOR_3DDKSHADOW, {rr, b}, {l - 1, b});
        Line(dc, COLOR_BTNSHADOW, {rr - 1, t + tip}, {rr - 1, b - 1});
        Line(dc, COLOR_BTNSHADOW, {rr - 1, b - 1}, {l, b - 1});
    }
}

// One NM_CUSTOMDRAW to the parent; what it answered (CDRF_DODEFAULT without a parent).
LRESULT CustomDraw(HWND control, HDC dc, DWORD stage, DWORD_PTR item, const RECT& rect) {
    HWND parent = GetParent(control);
    if (parent == nullptr) return CDRF_DODEFAULT;
    NMCUSTOMDRAW nm{};
    nm.hdr.hwndFrom = control;
    nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(control));
    nm.hdr.code = NM_CUSTOMDRAW;
    nm.dwDrawStage = stage;
    nm.hdc = dc;
    nm.rc = rect;
    nm.dwItemSpec = item;
    TrackState* s = StateOf(control);
    if (item == TBCD_THUMB && s != nullptr && s->dragging) nm.uItemState |= CDIS_SELECTED;
    if (GetFocus() == control) nm.uItemState |= CDIS_FOCUS;
    if (!IsWindowEnabled(control)) nm.uItemState |= CDIS_DISABLED;
    return SendMessageW(parent, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
}

// The one picture of WM_PAINT and WM_PRINTCLIENT.
void Paint(HWND control, HDC dc) {
    TrackState* s = StateOf(control);
    if (s == nullptr) return;
    RECT client{};
    GetClientRect(control, &client);
    const LRESULT whole = CustomDraw(control, dc, CDDS_PREPAINT, 0, client);
    if (!(whole & CDRF_SKIPDEFAULT)) {
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
        // The parent's answers may have changed the control; its state and places are read anew.
        const bool items = (whole & CDRF_NOTIFYITEMDRAW) != 0;
        const DWORD style = StyleOf(control);
        const DWORD_PTR parts[] = {TBCD_TICS, TBCD_CHANNEL, TBCD_THUMB};
        for (DWORD_PTR part : parts) {
            if ((s = StateOf(control)) == nullptr) return;
            if (part == TBCD_TICS && !TicksShown(style)) continue;
            if (part == TBCD_THUMB && (style & TBS_NOTHUMB)) continue;
            Geometry g = Layout(control, *s);
            const RECT& rect = part == TBCD_TICS      ? g.tics
                               : part == TBCD_CHANNEL ? g.channel
                                                      : g.thumb;
            const LRESULT answer =
                items ? CustomDraw(control, dc, CDDS_ITEMPREPAINT, part, rect) : CDRF_DODEFAULT;
            if ((s = StateOf(control)) == nullptr) return;
            if (!(answer & CDRF_SKIPDEFAULT)) {
                g = Layout(control, *s);
                if (part == TBCD_TICS) DrawTics(control, dc, *s, g);
                if (part == TBCD_CHANNEL) DrawChannel(dc, g);
                if (part == TBCD_THUMB) DrawThumb(control, dc, g);
            }
            if (answer & CDRF_NOTIFYPOSTPAINT)
                CustomDraw(control, dc, CDDS_ITEMPOSTPAINT, part, rect);
        }
        if (GetFocus() == control) DrawFocusRect(dc, &client);
    }
    if (whole & CDRF_NOTIFYPOSTPAINT) CustomDraw(control, dc, CDDS_POSTPAINT, 0, client);
}

// ---- Moving ----

void Scroll(HWND control, int code, int position) {
    HWND parent = GetParent(control);
    if (parent == nullptr) return;
    const bool carries = code == TB_THUMBTRACK || code == TB_THUMBPOSITION;
    SendMessageW(parent, WM_HSCROLL,
                 MAKEWPARAM(static_cast<WORD>(code), carries ? static_cast<WORD>(position) : 0),
                 reinterpret_cast<LPARAM>(control));
}

// Moves the thumb (repainting when it moved); true when it did.
bool MoveTo(HWND control, TrackState& s, std::int64_t to, bool redraw = true) {
    const int now = Clamp(s, to);
    if (now == s.position) return false;
    s.position = now;
    if (redraw) RedrawNow(control);
    return true;
}

void Key(HWND control, TrackState& s, UINT key) {
    int code = -1;
    std::int64_t to = s.position;
    switch (key) {
        case VK_LEFT:
        case VK_UP:
            code = TB_LINEUP, to -= s.line;
            break;
        case VK_RIGHT:
        case VK_DOWN:
            code = TB_LINEDOWN, to += s.line;
            break;
        case VK_PRIOR:
            code = TB_PAGEUP, to -= s.page;
            break;
        case VK_NEXT:
            code = TB_PAGEDOWN, to += s.page;
            break;
        case VK_HOME:
            code = TB_TOP, to = s.minimum;
            break;
        case VK_END:
            code = TB_BOTTOM, to = Top(s);
            break;
        default:
            return;
    }
    s.keyDown = key;
    MoveTo(control, s, to);
    Scroll(control, code, 0);
}

void EndDrag(HWND control, TrackState& s, bool released) {
    if (!s.dragging) return;
    s.dragging = false;
    if (GetCapture() == control) ReleaseCapture();
    if (released) Scroll(control, TB_THUMBPOSITION, s.position);
    if (StateOf(control) == nullptr) return;
    Scroll(control, TB_ENDTRACK, 0);
    if (IsWindow(control)) RedrawNow(control);
}

void Press(HWND control, TrackState& s, int x, int y) {
    if (GetFocus() != control) SetFocus(control);
    TrackState* state = StateOf(control);
    if (state == nullptr) return;
    const Geometry g = Layout(control, s);
    const POINT at{x, y};
    if (!(StyleOf(control) & TBS_NOTHUMB) && InRect(g.thumb, at)) {
        s.dragging = true;
        s.grip = x - (g.thumb.left + kThumbWidth / 2);
        SetCapture(control);
        RedrawNow(control);
        return;
    }
    // Beside the thumb: a page towards the click.
    const bool before = x < g.thumb.left;
    MoveTo(control, s, static_cast<std::int64_t>(s.position) + (before ? -s.page : s.page));
    Scroll(control, before ? TB_PAGEUP : TB_PAGEDOWN, 0);
    if (StateOf(control) != nullptr) Scroll(control, TB_ENDTRACK, 0);
}

void Drag(HWND control, TrackState& s, int x) {
    if (!s.dragging) return;
    const Geometry g = Layout(control, s);
    if (MoveTo(control, s, PositionAt(s, g, x - s.grip)))
        Scroll(control, TB_THUMBTRACK, s.position);
}

void SetRange(HWND control, TrackState& s, int minimum, int maximum, bool redraw) {
    s.minimum = minimum;
    s.maximum = maximum;
    if (!s.pageSet)
        s.page = std::max(1, static_cast<int>((static_cast<std::int64_t>(Top(s)) - minimum) / 5));
    s.position = Clamp(s, s.position);
    if (redraw) RedrawNow(control);
}

LRESULT TrackMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam, TrackState& s) {
    if (PaintMessage(control, message, wParam, [&](HDC dc) { Paint(control, dc); })) return 0;
    switch (message) {
        case WM_ERASEBKGND:
            return TRUE;  // the paint fills the whole client area
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE:
            RedrawNow(control);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:  // a second click soon after is a click too
            Press(control, s, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return 0;
        case WM_MOUSEMOVE:
            Drag(control, s, GET_X_LPARAM(lParam));
            return 0;
        case WM_LBUTTONUP:
            EndDrag(control, s, true);
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != control) EndDrag(control, s, false);
            return 0;
        case WM_KEYDOWN:
            Key(control, s, static_cast<UINT>(wParam));
            return 0;
        case WM_KEYUP:
            if (s.keyDown != 0 && wParam == s.keyDown) {
                s.keyDown = 0;
                Scroll(control, TB_ENDTRACK, 0);
            }
            return 0;
        case TBM_GETPOS:
            return s.position;
        case TBM_GETRANGEMIN:
            return s.minimum;
        case TBM_GETRANGEMAX:
            return s.maximum;
        case TBM_SETPOS:
            MoveTo(control, s, static_cast<int>(lParam), wParam != 0);
            return 0;
        case TBM_SETRANGE:
            SetRange(control, s, static_cast<short>(LOWORD(static_cast<ULONG_PTR>(lParam))),
                     static_cast<short>(HIWORD(static_cast<ULONG_PTR>(lParam))), wParam != 0);
            return 0;
        case TBM_SETRANGEMIN:
            SetRange(control, s, static_cast<int>(lParam), s.maximum, wParam != 0);
            return 0;
        case TBM_SETRANGEMAX:
            SetRange(control, s, s.minimum, static_cast<int>(lParam), wParam != 0);
            return 0;
        case TBM_SETPAGESIZE: {
            const int was = s.page;
            s.page = static_cast<int>(lParam);
            s.pageSet = true;
            return was;
        }
        case TBM_GETPAGESIZE:
            return s.page;
        case TBM_SETLINESIZE: {
            const int was = s.line;
            s.line = static_cast<int>(lParam);
            return was;
        }
        case TBM_GETLINESIZE:
            return s.line;
        case TBM_SETTICFREQ:
            s.frequency = std::max(1, static_cast<int>(wParam));
            RedrawNow(control);
            return 0;
        case TBM_GETTHUMBRECT:
        case TBM_GETCHANNELRECT:
            if (lParam != 0) {
                const Geometry g = Layout(control, s);
                *reinterpret_cast<RECT*>(lParam) =
                    message == TBM_GETTHUMBRECT ? g.thumb : g.channel;
            }
            return 0;
        default:
            return DefWindowProcW(control, message, wParam, lParam);
    }
}

}  // namespace

LRESULT TrackbarWindowProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    API_TRACE(Windows, TrackbarWindowProc, control, message, wParam, lParam);
    return WithControlState<TrackState>(control, message, wParam, lParam, TrackMessage);
}
