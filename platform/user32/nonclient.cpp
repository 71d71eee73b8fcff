// Windows: the default window procedure's part for the frame, the mouse and printing: hit tests,
// the move and size loop, cursors, system commands and WM_PRINT.
#include <algorithm>
#include <vector>

#include <winbase.h>
#include "machine/machine.h"
#include "machine/threads.h"
#include "machine/windows.h"
#include <winuser.h>
#include "platform/user32/icons.h"
#include "platform/user32/routing.h"

namespace {

sim::WindowTable& Windows() {
    return sim::machine().windows();
}

// The sizing border's width, as the default frame has it, and how far along an edge from a corner
// the corner's sizing reaches.
constexpr int kSizingBorder = 4;
constexpr int kCornerLength = 16;
// The smallest size a window is dragged to unless WM_GETMINMAXINFO says otherwise.
constexpr POINT kMinTrackSize{112, 27};

bool Holds(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// The window's client area in screen coordinates.
RECT ClientOnScreen(const sim::WindowInfo& w) {
    POINT o = Windows().ClientOrigin(w.hwnd);
    return {o.x, o.y, o.x + w.client.right - w.client.left, o.y + w.client.bottom - w.client.top};
}

LRESULT HitTest(HWND window, POINT p) {
    auto w = Windows().Get(window);
    RECT outer;
    if (!w || !GetWindowRect(window, &outer) || !Holds(outer, p)) return HTNOWHERE;
    RECT client = ClientOnScreen(*w);
    if (Holds(client, p)) return HTCLIENT;
    if (w->style & WS_THICKFRAME) {
        bool left = p.x < outer.left + kSizingBorder;
        bool right = p.x >= outer.right - kSizingBorder;
        bool top = p.y < outer.top + kSizingBorder;
        bool bottom = p.y >= outer.bottom - kSizingBorder;
        if (left || right || top || bottom) {
            bool nearLeft = p.x < outer.left + kCornerLength;
            bool nearRight = p.x >= outer.right - kCornerLength;
            bool nearTop = p.y < outer.top + kCornerLength;
            bool nearBottom = p.y >= outer.bottom - kCornerLength;
            if ((left && nearTop) || (top && nearLeft)) return HTTOPLEFT;
            if ((right && nearTop) || (top && nearRight)) return HTTOPRIGHT;
            if ((left && nearBottom) || (bottom && nearLeft)) return HTBOTTOMLEFT;
            if ((right && nearBottom) || (bottom && nearRight)) return HTBOTTOMRIGHT;
            if (left) return HTLEFT;
            if (right) return HTRIGHT;
            return top ? HTTOP : HTBOTTOM;
        }
    }
    if ((w->style & WS_CAPTION) == WS_CAPTION && p.y < client.top) return HTCAPTION;
    return HTBORDER;
}

// ---- Moving and sizing with the mouse ----

// What the window's drag may reach: its track sizes, from WM_GETMINMAXINFO.
MINMAXINFO TrackSizes(HWND window) {
    const sim::Config& config = sim::machine().config();
    MINMAXINFO info{};
    info.ptMaxSize = {config.screenWidth + 2 * kSizingBorder,
                      config.screenHeight + 2 * kSizingBorder};
    info.ptMaxPosition = {-kSizingBorder, -kSizingBorder};
    info.ptMinTrackSize = kMinTrackSize;
    info.ptMaxTrackSize = {config.screenWidth + 12, config.screenHeight + 12};
    SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    return info;
}

// Moves one edge of the rectangle by `by`, keeping the size between min and max (the opposite
// edge stays).
void DragEdge(LONG& edge, LONG opposite, int by, bool low, LONG min, LONG max) {
    edge += by;
    if (low)
        edge = std::clamp(edge, opposite - max, opposite - std::min(min, max));
    else
        edge = std::clamp(edge, opposite + std::min(min, max), opposite + max);
}

// The window rectangle (screen) a drag by (dx, dy) gives: moved, or with the edge `edge` (WMSZ_*)
// dragged.
RECT Dragged(RECT r, int dx, int dy, int edge, const MINMAXINFO& sizes) {
    if (edge == 0) {
        r = {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
        return r;
    }
    const POINT& lo = sizes.ptMinTrackSize;
    const POINT& hi = sizes.ptMaxTrackSize;
    if (edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT)
        DragEdge(r.left, r.right, dx, true, lo.x, hi.x);
    if (edge == WMSZ_RIGHT || edge == WMSZ_TOPRIGHT || edge == WMSZ_BOTTOMRIGHT)
        DragEdge(r.right, r.left, dx, false, lo.x, hi.x);
    if (edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT)
        DragEdge(r.top, r.bottom, dy, true, lo.y, hi.y);
    if (edge == WMSZ_BOTTOM || edge == WMSZ_BOTTOMLEFT || edge == WMSZ_BOTTOMRIGHT)
        DragEdge(r.bottom, r.top, dy, false, lo.y, hi.y);
    return r;
}

// Tells the window where the drag takes it (WM_MOVING or WM_SIZING, which may change the
// rectangle) and puts it there.
void Place(HWND window, RECT r, int edge, POINT parentOrigin) {
    if (edge == 0)
        SendMessageW(window, WM_MOVING, 0, reinterpret_cast<LPARAM>(&r));
    else
        SendMessageW(window, WM_SIZING, static_cast<WPARAM>(edge), reinterpret_cast<LPARAM>(&r));
    SetWindowPos(window, nullptr, r.left - parentOrigin.x, r.top - parentOrigin.y, r.right - r.left,
                 r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE | (edge == 0 ? SWP_NOSIZE : 0));
}

bool IsMouseMessage(UINT m) {
    return (m >= WM_MOUSEMOVE && m <= WM_MOUSEWHEEL) ||
           (m >= WM_NCMOUSEMOVE && m <= WM_NCRBUTTONDBLCLK);
}

bool IsKeyMessage(UINT m) {
    return m >= WM_KEYDOWN && m <= WM_SYSCHAR;
}

// The loop of SC_MOVE (edge 0) and SC_SIZE (edge: WMSZ_*): while the left button is down, it takes
// the thread's mouse input with the capture, following the pointer from where the press was, until
// the button's release. Escape puts the window back. Other messages are dispatched meanwhile.
// (Keyboard moving and sizing, without the button, is not offered.)
void MoveSizeLoop(HWND window, int edge) {
    auto w = Windows().Get(window);
    RECT start;
    if (!w || GetKeyState(VK_LBUTTON) >= 0 || !GetWindowRect(window, &start)) return;
    // The drag starts where the pointer was at the press the thread took (its message position).
    // Not the command's lParam: a window asking for the move on behalf of another passes its own
    // coordinates there. Not the pointer's position now either: input that followed the press may
    // already wait in the queue, and the loop takes it move by move.
    const POINT from = Windows().input().Thread(sim::CurrentThread().id).messagePos;
    const POINT parentOrigin = w->parent ? Windows().ClientOrigin(w->parent) : POINT{0, 0};
    const MINMAXINFO sizes = edge != 0 ? TrackSizes(window) : MINMAXINFO{};
    SendMessageW(window, WM_ENTERSIZEMOVE, 0, 0);
    SetCapture(window);
    RECT now = start;
    MSG msg;
    while (IsWindow(window) && GetCapture() == window) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop outside
            break;
        }
        if (got < 0) break;
        if ((msg.message == WM_MOUSEMOVE || msg.message == WM_LBUTTONUP) && msg.hwnd == window) {
            RECT r = Dragged(start, msg.pt.x - from.x, msg.pt.y - from.y, edge, sizes);
            if (r.left != now.left || r.top != now.top || r.right != now.right ||
                r.bottom != now.bottom) {
                Place(window, r, edge, parentOrigin);
                now = r;
            }
            if (msg.message == WM_LBUTTONUP) break;
        } else if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
            SetWindowPos(window, nullptr, start.left - parentOrigin.x, start.top - parentOrigin.y,
                         start.right - start.left, start.bottom - start.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            break;
        } else if (!IsMouseMessage(msg.message) && !IsKeyMessage(msg.message)) {
            DispatchMessageW(&msg);
        }
    }
    if (GetCapture() == window) ReleaseCapture();
    if (IsWindow(window)) SendMessageW(window, WM_EXITSIZEMOVE, 0, 0);
}

// ---- Cursors ----

LPCWSTR SizeCursor(LRESULT hit) {
    switch (hit) {
        case HTLEFT:
        case HTRIGHT:
            return IDC_SIZEWE;
        case HTTOP:
        case HTBOTTOM:
            return IDC_SIZENS;
        case HTTOPLEFT:
        case HTBOTTOMRIGHT:
            return IDC_SIZENWSE;
        case HTTOPRIGHT:
        case HTBOTTOMLEFT:
            return IDC_SIZENESW;
        default:
            return nullptr;
    }
}

// WM_SETCURSOR: TRUE when the cursor is set for good.
LRESULT SetCursorFor(HWND window, WPARAM under, LPARAM lParam) {
    auto w = Windows().Get(window);
    if (!w) return FALSE;
    if ((w->style & WS_CHILD) && w->parent != nullptr &&
        SendMessageW(w->parent, WM_SETCURSOR, under, lParam))
        return TRUE;
    // A parent asked on behalf of its child leaves the child's area to the child.
    if (reinterpret_cast<HWND>(under) != window) return FALSE;
    auto hit = static_cast<short>(LOWORD(static_cast<ULONG_PTR>(lParam)));
    if (hit == HTCLIENT) {
        if (w->classCursor == nullptr) return FALSE;
        SetCursor(w->classCursor);
        return TRUE;
    }
    if (LPCWSTR size = SizeCursor(hit)) {
        SetCursor(LoadCursorW(nullptr, size));
        return TRUE;
    }
    if (hit != HTERROR) SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    return FALSE;
}

// ---- Printing ----

// Sends `message` to `to` with the context's origin moved by `by` and its clip narrowed to the
// rectangle (0, 0, area) there, for the time of the call: both are put back afterwards.
void SendMoved(HWND to, UINT message, HDC dc, POINT by, SIZE area, LPARAM lParam) {
    POINT saved{0, 0};
    const bool moved = OffsetViewportOrgEx(dc, by.x, by.y, &saved) != FALSE;
    HRGN clip = CreateRectRgn(0, 0, 0, 0);
    const int had = clip != nullptr ? GetClipRgn(dc, clip) : -1;
    if (had >= 0) IntersectClipRect(dc, 0, 0, area.cx, area.cy);
    SendMessageW(to, message, reinterpret_cast<WPARAM>(dc), lParam);
    if (had >= 0) SelectClipRgn(dc, had == 1 ? clip : nullptr);
    if (clip != nullptr) DeleteObject(clip);
    if (moved) SetViewportOrgEx(dc, saved.x, saved.y, nullptr);
}

SIZE SizeOf(const RECT& r) {
    return {r.right - r.left, r.bottom - r.top};
}

// The windows, bottom to top, that are visible themselves.
std::vector<HWND> VisibleBottomUp(std::vector<HWND> windows) {
    std::reverse(windows.begin(), windows.end());
    std::erase_if(windows, [](HWND h) {
        auto w = Windows().Get(h);
        return !w || !(w->style & WS_VISIBLE);
    });
    return windows;
}

// The frame's classic picture, the context's origin at the window's top-left: the face colour
// around the client area, a raised edge for a sizing or dialog frame (a line of the frame colour
// for a thin border) and the caption bar with the title.
void PrintFrame(HWND window, HDC dc, const sim::WindowInfo& w) {
    const RECT outer{0, 0, w.rect.right - w.rect.left, w.rect.bottom - w.rect.top};
    const RECT client{w.client.left - w.rect.left, w.client.top - w.rect.top,
                      w.client.right - w.rect.left, w.client.bottom - w.rect.top};
    if (client.left == outer.left && client.top == outer.top && client.right == outer.right &&
        client.bottom == outer.bottom)
        return;
    HRGN frame = CreateRectRgnIndirect(&outer);
    HRGN inside = CreateRectRgnIndirect(&client);
    HRGN clip = CreateRectRgn(0, 0, 0, 0);
    const int had = frame && inside && clip ? GetClipRgn(dc, clip) : -1;
    if (had >= 0) {
        CombineRgn(frame, frame, inside, RGN_DIFF);
        POINT origin{0, 0};
        GetViewportOrgEx(dc, &origin);
        OffsetRgn(frame, origin.x, origin.y);  // the clip is in device coordinates
        if (had == 1) CombineRgn(frame, frame, clip, RGN_AND);
        SelectClipRgn(dc, frame);
        RECT r = outer;
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        const DWORD style = w.style;
        if (style & (WS_THICKFRAME | WS_DLGFRAME)) {
            DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
        } else if (style & WS_BORDER) {
            HBRUSH line = GetSysColorBrush(COLOR_WINDOWFRAME);
            FrameRect(dc, &r, line);
        }
        if ((style & WS_CAPTION) == WS_CAPTION) {
            RECT bar{client.left, outer.top, client.right, client.top};
            const int border = client.left - outer.left;
            bar.top += border;
            bar.bottom -= 1;
            const bool active = GetActiveWindow() == window;
            FillRect(dc, &bar,
                     GetSysColorBrush(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
            wchar_t title[256] = {};
            const int n = GetWindowTextW(window, title, 256);
            HGDIOBJ font = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
            const int mode = SetBkMode(dc, TRANSPARENT);
            const COLORREF color = SetTextColor(
                dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
            bar.left += 3;
            // The small icon at the bar's left, as the system menu's button.
            HICON icon = (style & WS_SYSMENU) ? CaptionIcon(w) : nullptr;
            const int side = SmallIconSize();
            if (icon != nullptr && bar.bottom - bar.top >= side) {
                const int top = bar.top + (bar.bottom - bar.top - side) / 2;
                if (PaintIcon(dc, icon, {bar.left, top, bar.left + side, top + side}))
                    bar.left += side + 3;
            }
            DrawTextW(dc, title, n, &bar, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            SetTextColor(dc, color);
            SetBkMode(dc, mode);
            SelectObject(dc, font);
        }
        SelectClipRgn(dc, had == 1 ? clip : nullptr);
    }
    for (HRGN r : {frame, inside, clip})
        if (r != nullptr) DeleteObject(r);
}

// WM_PRINT: the context's origin is the window's top-left corner. The window's parts draw only
// into the context: the frame, then the client area (clipped to it), then each visible child
// and owned window clipped to its rectangle; the context's origin and clip are left as they were.
void Print(HWND window, HDC dc, DWORD flags) {
    auto w = Windows().Get(window);
    if (!w || ((flags & PRF_CHECKVISIBLE) && !IsWindowVisible(window))) return;
    if (flags & PRF_NONCLIENT) PrintFrame(window, dc, *w);
    const POINT client{w->client.left - w->rect.left, w->client.top - w->rect.top};
    const SIZE clientSize = SizeOf(w->client);
    if (flags & PRF_ERASEBKGND) SendMoved(window, WM_ERASEBKGND, dc, client, clientSize, 0);
    if (flags & PRF_CLIENT)
        SendMoved(window, WM_PRINTCLIENT, dc, client, clientSize, static_cast<LPARAM>(flags));
    if (flags & PRF_CHILDREN) {
        for (HWND child : VisibleBottomUp(Windows().Children(window))) {
            auto c = Windows().Get(child);
            if (!c) continue;
            SendMoved(child, WM_PRINT, dc, {client.x + c->rect.left, client.y + c->rect.top},
                      SizeOf(c->rect), static_cast<LPARAM>(flags));
        }
    }
    if (flags & PRF_OWNED) {
        RECT outer;
        if (!GetWindowRect(window, &outer)) return;
        for (HWND owned : VisibleBottomUp(Windows().Owned(window))) {
            RECT r;
            if (!GetWindowRect(owned, &r)) continue;
            SendMoved(owned, WM_PRINT, dc, {r.left - outer.left, r.top - outer.top}, SizeOf(r),
                      static_cast<LPARAM>(flags));
        }
    }
}

// WM_SYSCOMMAND.
void SystemCommand(HWND window, WPARAM command) {
    switch (command & 0xFFF0) {
        case SC_CLOSE:
            SendMessageW(window, WM_CLOSE, 0, 0);
            break;
        case SC_MINIMIZE:
            ShowWindow(window, SW_MINIMIZE);
            break;
        case SC_MAXIMIZE:
            ShowWindow(window, SW_SHOWMAXIMIZED);
            break;
        case SC_RESTORE:
            ShowWindow(window, SW_RESTORE);
            break;
        case SC_MOVE:
            MoveSizeLoop(window, 0);
            break;
        case SC_SIZE:
            if ((command & 0x000F) != 0) MoveSizeLoop(window, static_cast<int>(command & 0x000F));
            break;
        default:
            break;
    }
}

}  // namespace

LRESULT DefWindowProcFrame(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCHITTEST:
            return HitTest(window, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        case WM_NCLBUTTONDOWN: {
            auto hit = static_cast<LRESULT>(wParam);
            if (hit == HTCAPTION)
                SendMessageW(window, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, lParam);
            else if (hit >= HTLEFT && hit <= HTBOTTOMRIGHT)
                SendMessageW(window, WM_SYSCOMMAND,
                             SC_SIZE | static_cast<WPARAM>(hit - HTLEFT + WMSZ_LEFT), lParam);
            return 0;
        }
        case WM_SETCURSOR:
            return SetCursorFor(window, wParam, lParam);
        case WM_MOUSEACTIVATE: {
            auto w = Windows().Get(window);
            if (w && (w->style & WS_CHILD) && w->parent != nullptr)
                if (LRESULT r = SendMessageW(w->parent, WM_MOUSEACTIVATE, wParam, lParam)) return r;
            return MA_ACTIVATE;
        }
        case WM_MOUSEWHEEL: {
            auto w = Windows().Get(window);
            if (w && (w->style & WS_CHILD) && w->parent != nullptr)
                return SendMessageW(w->parent, WM_MOUSEWHEEL, wParam, lParam);
            return 0;
        }
        case WM_SYSCOMMAND:
            SystemCommand(window, wParam);
            return 0;
        case WM_PRINT:
            Print(window, reinterpret_cast<HDC>(wParam), static_cast<DWORD>(lParam));
            return 0;
        default:
            return 0;
    }
}
