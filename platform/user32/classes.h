// The system's own window classes (the standard controls and the dialog class): every process
// finds them after its own classes, and a class a process registers under the same name hides
// them for that process. Each control's file defines its procedure; the table in
// user32/classes.cpp lists them.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <winuser.h>

namespace sim {
struct WindowClass;
}

// The system class of that name (case ignored), or nothing.
std::optional<sim::WindowClass> FindSystemClass(const std::wstring& name);

// The procedures of the system classes, each in its control's file.
LRESULT EditWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);  // user32/edit.cpp
LRESULT IpAddressWindowProc(HWND window, UINT message, WPARAM wParam,
                            LPARAM lParam);  // comctl32/ipaddress.cpp
LRESULT TooltipWindowProc(HWND window, UINT message, WPARAM wParam,
                          LPARAM lParam);  // comctl32/tooltips.cpp
LRESULT TrackbarWindowProc(HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam);  // comctl32/trackbar.cpp
LRESULT DateTimePickWindowProc(HWND window, UINT message, WPARAM wParam,
                               LPARAM lParam);  // comctl32/datetime.cpp
LRESULT ComboBoxWindowProc(HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam);  // user32/combo.cpp
LRESULT ComboListWindowProc(HWND window, UINT message, WPARAM wParam,
                            LPARAM lParam);  // user32/combo.cpp: the drop-down list
LRESULT ListViewWindowProc(HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam);  // comctl32/listview.cpp

// A tooltip's extra window bytes: its state at 0, and while its tip shows, the tool's window and
// id (where the machine's control reads them).
constexpr int kTooltipShownWindow = 8;
constexpr int kTooltipShownId = 16;
constexpr int kTooltipExtraBytes = 24;

// ---- The controls' window procedures (each in its control's file) ----
LRESULT CALLBACK ButtonWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---- What the controls share (user32/controls.cpp) ----
// Sends the control's parent WM_COMMAND with MAKEWPARAM(the control's id, code); a window that is
// no child tells no one.
void NotifyParent(HWND control, UINT code);

// A system control's state lives in its first extra window bytes: made when the window is
// (WM_NCCREATE), handed to the control's handler with each message, and freed with the window
// (WM_NCDESTROY). Before and after, messages get the default handling.
template <class State>
State* ControlState(HWND window) {
    return reinterpret_cast<State*>(GetWindowLongPtrW(window, 0));
}
template <class State>
LRESULT WithControlState(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                         LRESULT (*handle)(HWND, UINT, WPARAM, LPARAM, State&)) {
    if (message == WM_NCCREATE) {
        if (!DefWindowProcW(window, message, wParam, lParam)) return FALSE;
        SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(new State));
        return TRUE;
    }
    State* state = ControlState<State>(window);
    if (state == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, 0, 0);
        delete state;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return handle(window, message, wParam, lParam, *state);
}

// Sends the control's parent WM_DRAWITEM for the whole client area of the control.
void SendDrawItem(HWND control, HDC dc, UINT type, UINT action, UINT state);
// Paints the control at once when it is visible (WM_PAINT through UpdateWindow); a hidden one
// only keeps the area to paint for when it is shown.
void RedrawNow(HWND control);
// Paints the control at once through the public GetDC and ReleaseDC, which a program may
// intercept to see every repaint that comes outside WM_PAINT; nothing while it is hidden.
void PaintNow(HWND control, void (*paint)(HWND, HDC));
// Whether a mouse message's position (client coordinates in lParam) lies in the client area.
bool InClient(HWND control, LPARAM position);
// Whether the point lies in the rectangle (its right and bottom edges outside).
bool InRect(const RECT& rect, POINT point);
// The width of the sunken border that a control with WS_BORDER or WS_EX_CLIENTEDGE draws inside
// its client area (0 without either).
int SunkenBorder(HWND control);
// WM_PAINT and WM_PRINTCLIENT through the control's one paint routine (with the paint context or
// the given one); false for any other message.
bool PaintMessage(HWND control, UINT message, WPARAM wParam, const std::function<void(HDC)>& paint);

// ---- The controls' classic look (user32/controls.cpp) ----
// Readies a control's context: the controls' font, a transparent text background. Returns the
// font that was selected before, for ControlDrawingDone.
HGDIOBJ BeginControlDrawing(HDC dc);
void ControlDrawingDone(HDC dc, HGDIOBJ oldFont);
// The control's window text.
std::wstring WindowText(HWND window);
// Text in the control's colours: `color` when enabled; a disabled control's text is grey over a
// white shadow one pixel down and right. Returns DrawTextW's answer.
int ControlText(HDC dc, const std::wstring& text, RECT rect, UINT format, bool enabled,
                COLORREF color);
// The height of a line of the controls' font.
int ControlLineHeight();
// The small solid arrow of a drop or scroll button, pointing down or up, centred in the box.
void DrawArrow(HDC dc, RECT box, bool down, COLORREF color);
// A one-pixel frame just inside the rectangle.
void FrameBox(HDC dc, RECT rect, HBRUSH brush);
// A mouse message's position (lParam: signed client coordinates).
POINT MousePoint(LPARAM position);
