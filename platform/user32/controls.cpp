// Windows: what the standard controls share: notifications to the parent and owner drawing.
#include <algorithm>

#include <wingdi.h>
#include "platform/user32/classes.h"
#include <winuser.h>

void NotifyParent(HWND control, UINT code) {
    HWND parent = GetParent(control);
    if (parent == nullptr || !(GetWindowLongPtrW(control, GWL_STYLE) & WS_CHILD)) return;
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), static_cast<int>(code)),
                 reinterpret_cast<LPARAM>(control));
}

void SendDrawItem(HWND control, HDC dc, UINT type, UINT action, UINT state) {
    HWND parent = GetParent(control);
    if (parent == nullptr) return;
    DRAWITEMSTRUCT item{};
    item.CtlType = type;
    item.CtlID = static_cast<UINT>(GetDlgCtrlID(control));
    item.itemAction = action;
    item.itemState = state;
    item.hwndItem = control;
    item.hDC = dc;
    GetClientRect(control, &item.rcItem);
    SendMessageW(parent, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
}

void RedrawNow(HWND control) {
    InvalidateRect(control, nullptr, FALSE);
    UpdateWindow(control);
}

bool InClient(HWND control, LPARAM position) {
    RECT client{};
    GetClientRect(control, &client);
    int x = static_cast<short>(LOWORD(static_cast<ULONG_PTR>(position)));
    int y = static_cast<short>(HIWORD(static_cast<ULONG_PTR>(position)));
    return InRect(client, {x, y});
}

int SunkenBorder(HWND control) {
    constexpr DWORD kClientEdge = 0x00000200;  // WS_EX_CLIENTEDGE
    const bool bordered =
        (GetWindowLongPtrW(control, GWL_STYLE) & WS_BORDER) ||
        (static_cast<DWORD>(GetWindowLongPtrW(control, GWL_EXSTYLE)) & kClientEdge);
    return bordered ? 2 : 0;
}

bool PaintMessage(HWND control, UINT message, WPARAM wParam,
                  const std::function<void(HDC)>& paint) {
    if (message == WM_PRINTCLIENT) {
        paint(reinterpret_cast<HDC>(wParam));
        return true;
    }
    if (message != WM_PAINT) return false;
    PAINTSTRUCT ps;
    if (HDC dc = BeginPaint(control, &ps); dc != nullptr) {
        paint(dc);
        EndPaint(control, &ps);
    }
    return true;
}

bool InRect(const RECT& rect, POINT point) {
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top &&
           point.y < rect.bottom;
}

HGDIOBJ BeginControlDrawing(HDC dc) {
    SetBkMode(dc, TRANSPARENT);
    return SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
}

void ControlDrawingDone(HDC dc, HGDIOBJ oldFont) {
    if (oldFont != nullptr) SelectObject(dc, oldFont);
}

std::wstring WindowText(HWND window) {
    int n = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    n = GetWindowTextW(window, text.data(), n + 1);
    text.resize(static_cast<std::size_t>(std::max(0, n)));
    return text;
}

int ControlText(HDC dc, const std::wstring& text, RECT rect, UINT format, bool enabled,
                COLORREF color) {
    const int length = static_cast<int>(text.size());
    if (!enabled) {
        RECT shadow{rect.left + 1, rect.top + 1, rect.right + 1, rect.bottom + 1};
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawTextW(dc, text.c_str(), length, &shadow, format);
        color = GetSysColor(COLOR_GRAYTEXT);
    }
    SetTextColor(dc, color);
    return DrawTextW(dc, text.c_str(), length, &rect, format);
}

int ControlLineHeight() {
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) return 16;
    HGDIOBJ old = BeginControlDrawing(dc);
    TEXTMETRICW tm{};
    const int height = GetTextMetricsW(dc, &tm) ? tm.tmHeight : 16;
    ControlDrawingDone(dc, old);
    DeleteDC(dc);
    return height;
}

void DrawArrow(HDC dc, RECT box, bool down, COLORREF color) {
    // Four rows, 7, 5, 3 and 1 pixels wide, centred in the box.
    HBRUSH brush = CreateSolidBrush(color);
    const int cx = (box.left + box.right) / 2;
    const int top = (box.top + box.bottom) / 2 - 2;
    for (int row = 0; row < 4; ++row) {
        const int half = down ? 3 - row : row;
        const int y = top + row;
        RECT line{cx - half, y, cx + half + 1, y + 1};
        FillRect(dc, &line, brush);
    }
    DeleteObject(brush);
}

void FrameBox(HDC dc, RECT r, HBRUSH brush) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    const RECT sides[4] = {{r.left, r.top, r.right, r.top + 1},
                           {r.left, r.bottom - 1, r.right, r.bottom},
                           {r.left, r.top, r.left + 1, r.bottom},
                           {r.right - 1, r.top, r.right, r.bottom}};
    for (const RECT& side : sides) FillRect(dc, &side, brush);
}

POINT MousePoint(LPARAM position) {
    return {static_cast<short>(LOWORD(static_cast<ULONG_PTR>(position))),
            static_cast<short>(HIWORD(static_cast<ULONG_PTR>(position)))};
}

void PaintNow(HWND control, void (*paint)(HWND, HDC)) {
    if (!IsWindowVisible(control)) return;
    HDC dc = GetDC(control);
    if (dc == nullptr) return;
    paint(control, dc);
    ReleaseDC(control, dc);
}
