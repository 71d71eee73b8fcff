// Windows: keyboard focus, activation, the foreground window, mouse capture, the caret and the
// cursor. Focus, the active window, capture and the caret belong to a thread; the foreground
// window and the cursor to the machine. Included by platform/user.h.
#pragma once

#include "platform/gdi.h"
#include "platform/user.h"
#include "platform/wintypes.h"

#define WM_ACTIVATE 0x0006u
#define WM_SETFOCUS 0x0007u
#define WM_KILLFOCUS 0x0008u
#define WM_CAPTURECHANGED 0x0215u

// ---- Mouse messages ----
// Positions in lParam: x in the low word, y in the high word (signed), client coordinates.
#define WM_NCHITTEST 0x0084u
#define WM_MOUSEMOVE 0x0200u
#define WM_LBUTTONDOWN 0x0201u
#define WM_LBUTTONUP 0x0202u
#define WM_LBUTTONDBLCLK 0x0203u
#define MK_LBUTTON 0x0001u
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
#define VK_SHIFT 0x10u
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

// ---- The cursor ----
// Screen position (machine-wide), kept inside the screen.
BOOL GetCursorPos(LPPOINT point);
BOOL SetCursorPos(int x, int y);
// Sets the cursor's shape; returns the previous one (NULL until one was set).
HCURSOR SetCursor(HCURSOR cursor);
// The system cursors (instance NULL, name an IDC_ value): the same handle for an id every time.
// Cursors of a module's resources are not kept: ERROR_RESOURCE_NAME_NOT_FOUND.
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
