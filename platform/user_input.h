// Windows: keyboard focus, activation, the foreground window, mouse capture, the caret, the
// cursor, mouse and keyboard messages and mouse tracking. Focus, the active window, capture, the
// caret and the key state belong to a thread; the foreground window and the cursor to the
// machine. Included by platform/user.h.
//
// Mouse and key input arrives in the queue of the thread it is for, in order with the messages
// posted there, and becomes a window message when the thread takes it (GetMessageW,
// PeekMessageW): mouse input goes to the window that holds the capture, or else to the window
// under the pointer that answers WM_NCHITTEST with something other than HTTRANSPARENT (hidden
// windows are skipped; a disabled child passes the mouse to its parent; HTTRANSPARENT passes it to
// the next window beneath of the same thread). Without capture the window first gets
// WM_SETCURSOR; a press on a window whose top-level window is not active first gets
// WM_MOUSEACTIVATE. Keys go to the focus window (to the active window as WM_SYSKEYDOWN/UP when
// there is no focus, and while Alt is held).
#pragma once

#include "platform/gdi.h"
#include "platform/user.h"
#include "platform/wintypes.h"

#define WM_ACTIVATE 0x0006u
#define WM_SETFOCUS 0x0007u
#define WM_KILLFOCUS 0x0008u
#define WM_SETCURSOR 0x0020u
#define WM_MOUSEACTIVATE 0x0021u
#define WM_SYSKEYDOWN 0x0104u
#define WM_SYSKEYUP 0x0105u
#define WM_SYSCHAR 0x0106u
#define WM_MOUSEMOVE 0x0200u
#define WM_LBUTTONDOWN 0x0201u
#define WM_LBUTTONUP 0x0202u
#define WM_LBUTTONDBLCLK 0x0203u
#define WM_RBUTTONDOWN 0x0204u
#define WM_RBUTTONUP 0x0205u
#define WM_RBUTTONDBLCLK 0x0206u
#define WM_MOUSEWHEEL 0x020Au
#define WM_CAPTURECHANGED 0x0215u
#define WM_NCMOUSELEAVE 0x02A2u
#define WM_MOUSELEAVE 0x02A3u

// Key state in the wParam of mouse messages.
#define MK_LBUTTON 0x0001u
#define MK_RBUTTON 0x0002u
#define MK_SHIFT 0x0004u
#define MK_CONTROL 0x0008u

// One notch of the wheel.
#define WHEEL_DELTA 120

// WM_MOUSEACTIVATE's answers.
#define MA_ACTIVATE 1
#define MA_ACTIVATEANDEAT 2
#define MA_NOACTIVATE 3
#define MA_NOACTIVATEANDEAT 4

// Virtual keys (letters and digits are their upper-case characters).
#define VK_LBUTTON 0x01u
#define VK_RBUTTON 0x02u
#define VK_CANCEL 0x03u
#define VK_BACK 0x08u
#define VK_TAB 0x09u
#define VK_RETURN 0x0Du
#define VK_SHIFT 0x10u
#define VK_CONTROL 0x11u
#define VK_MENU 0x12u
#define VK_CAPITAL 0x14u
#define VK_ESCAPE 0x1Bu
#define VK_PRIOR 0x21u
#define VK_NEXT 0x22u
#define VK_END 0x23u
#define VK_HOME 0x24u
#define VK_LEFT 0x25u
#define VK_UP 0x26u
#define VK_RIGHT 0x27u
#define VK_DOWN 0x28u
#define VK_DELETE 0x2Eu
#define VK_F1 0x70u
#define VK_F4 0x73u
#define VK_OEM_1 0xBAu
#define VK_OEM_PLUS 0xBBu
#define VK_OEM_COMMA 0xBCu
#define VK_OEM_MINUS 0xBDu
#define VK_OEM_PERIOD 0xBEu
#define VK_OEM_2 0xBFu
#define VK_OEM_3 0xC0u
#define VK_OEM_4 0xDBu
#define VK_OEM_5 0xDCu
#define VK_OEM_6 0xDDu
#define VK_OEM_7 0xDEu
// A key that types one character of any kind: the layer keeps the character in lParam's bits 32
// and up (LPARAM has 64 bits here), where TranslateMessage finds it.
#define VK_PACKET 0xE7u

// TrackMouseEvent.
#define TME_HOVER 0x00000001u
#define TME_LEAVE 0x00000002u
#define TME_NONCLIENT 0x00000010u
#define TME_QUERY 0x40000000u
#define TME_CANCEL 0x80000000u
#define HOVER_DEFAULT 0xFFFFFFFFu

struct TRACKMOUSEEVENT {
    DWORD cbSize;
    DWORD dwFlags;
    HWND hwndTrack;
    DWORD dwHoverTime;
};
using LPTRACKMOUSEEVENT = TRACKMOUSEEVENT*;

// The signed coordinates packed in a mouse message's lParam, and the wheel's turn in wParam.
inline int GET_X_LPARAM(LPARAM lp) {
    return static_cast<short>(LOWORD(static_cast<ULONG_PTR>(lp)));
}
inline int GET_Y_LPARAM(LPARAM lp) {
    return static_cast<short>(HIWORD(static_cast<ULONG_PTR>(lp)));
}
inline short GET_WHEEL_DELTA_WPARAM(WPARAM wp) {
    return static_cast<short>(HIWORD(wp));
}

// ---- Mouse messages ----
// Positions in lParam: x in the low word, y in the high word (signed), client coordinates.
#define WM_NCHITTEST 0x0084u
#define WM_MOUSEMOVE 0x0200u
#define WM_LBUTTONDOWN 0x0201u
#define WM_LBUTTONUP 0x0202u
#define WM_LBUTTONDBLCLK 0x0203u
// WM_NCHITTEST answers: HTTRANSPARENT lets the mouse through to the window beneath.
#define HTTRANSPARENT (-1)
#define HTNOWHERE 0
#define HTCLIENT 1

// WM_ACTIVATE's low word of wParam.
#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2

// The system cursors, for LoadCursorW with a null instance.
#define IDC_ARROW MAKEINTRESOURCEW(32512)
#define IDC_IBEAM MAKEINTRESOURCEW(32513)
#define IDC_WAIT MAKEINTRESOURCEW(32514)
#define IDC_CROSS MAKEINTRESOURCEW(32515)
#define IDC_UPARROW MAKEINTRESOURCEW(32516)
#define IDC_SIZENWSE MAKEINTRESOURCEW(32642)
#define IDC_SIZENESW MAKEINTRESOURCEW(32643)
#define IDC_SIZEWE MAKEINTRESOURCEW(32644)
#define IDC_SIZENS MAKEINTRESOURCEW(32645)
#define IDC_SIZEALL MAKEINTRESOURCEW(32646)
#define IDC_NO MAKEINTRESOURCEW(32648)
#define IDC_HAND MAKEINTRESOURCEW(32649)
#define IDC_APPSTARTING MAKEINTRESOURCEW(32650)

// ---- Focus and activation ----
// Gives the keyboard focus to a window of the calling thread (NULL: to none). The window's
// top-level window is activated first when it is not the active one. WM_KILLFOCUS goes to the
// window losing the focus (wParam: the one gaining it), then WM_SETFOCUS to the new one (wParam:
// the one that lost it). Returns the focus from before the call; NULL with ERROR_ACCESS_DENIED for
// a window of another thread. A destroyed window's focus is gone: the thread has none.
HWND SetFocus(HWND window);
HWND GetFocus();
// Activates the window's top-level window (a window of the calling thread; NULL deactivates):
// WM_ACTIVATE WA_INACTIVE to the one losing activation (lParam: the new), then WA_ACTIVE to the
// new (lParam: the old). DefWindowProcW gives the focus to a window it activates. Returns the
// previously active window.
HWND SetActiveWindow(HWND window);
HWND GetActiveWindow();
// Makes the window's top-level window the machine's foreground window and, when the calling
// thread owns it, its active window.
BOOL SetForegroundWindow(HWND window);
HWND GetForegroundWindow();

// ---- The keyboard ----
// The key's state as of the key messages the calling thread has taken from its queue so far: the
// high bit (a negative value) while it is down.
SHORT GetKeyState(int virtualKey);

// ---- Mouse capture ----
// The window (of the calling thread) gets the mouse; WM_CAPTURECHANGED (lParam: the new capture
// window, NULL when released) goes to the window that loses it. Returns the previous capture.
HWND SetCapture(HWND window);
BOOL ReleaseCapture();
HWND GetCapture();

// ---- The caret (one per thread) ----
// Replaces the thread's caret with a hidden one owned by the window; a zero width or height is
// one pixel. While it is shown, the owner gets the blink message every blink time.
BOOL CreateCaret(HWND window, HBITMAP bitmap, int width, int height);
BOOL DestroyCaret();
// A hide count: the caret starts hidden (1); ShowCaret takes one off (not below 0), HideCaret
// adds one; it shows at 0. window NULL or the caret's owner; FALSE without a caret.
BOOL ShowCaret(HWND window);
BOOL HideCaret(HWND window);
// Position in the owner's client coordinates.
BOOL SetCaretPos(int x, int y);
BOOL GetCaretPos(LPPOINT point);
// Milliseconds between blinks (machine-wide; 530 at start). A shown caret of the calling thread
// takes the new time at once.
UINT GetCaretBlinkTime();
BOOL SetCaretBlinkTime(UINT milliseconds);

// ---- Keys and the mouse ----
// The key's state as of the key and mouse messages the calling thread has taken: the high bit
// (the value is negative) while it is down, the low bit while it is toggled (each press toggles).
SHORT GetKeyState(int virtualKey);
// Whether the key or button is down now (high bit), whatever the queues hold.
SHORT GetAsyncKeyState(int virtualKey);
// Milliseconds within which a second press makes a double click (500).
UINT GetDoubleClickTime();
// TME_LEAVE: WM_MOUSELEAVE is posted once to the window (of the calling thread) when the pointer
// leaves its client area (with TME_NONCLIENT, its window rectangle) or is no longer over it when
// another window's capture ends; at once when the pointer is not over it now. Then tracking ends.
// TME_CANCEL with TME_LEAVE ends tracking without the message; TME_QUERY fills the structure with
// the thread's tracking. Hover tracking is not produced: TME_HOVER is accepted and has no effect.
BOOL TrackMouseEvent(LPTRACKMOUSEEVENT track);

// ---- The cursor ----
// Screen position (machine-wide), kept inside the screen.
BOOL GetCursorPos(LPPOINT point);
BOOL SetCursorPos(int x, int y);
// Sets the cursor's shape; returns the previous one (NULL until one was set).
HCURSOR SetCursor(HCURSOR cursor);
// The system cursors (instance NULL, name an IDC_ value): the same handle for an id every time.
// Cursors of a module's resources are not kept: ERROR_RESOURCE_NAME_NOT_FOUND.
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
