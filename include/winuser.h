// Windows: the window manager's records and messages. Window classes and windows with their
// styles, text, rectangles, parent, owner, owning thread and z-order; per-thread message queues
// with posted, sent and thread messages, WM_QUIT, WM_PAINT while an update region exists and
// WM_TIMER from timers on the machine clock. The machine holds the records (sim/windows.h).
#pragma once

#include "platform/gdi.h"
#include "platform/wintypes.h"

struct HICON__ {
    int unused;
};
struct HMENU__ {
    int unused;
};
using HICON = HICON__*;
using HCURSOR = HICON;
using HMENU = HMENU__*;
using ATOM = WORD;

using WNDPROC = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
using TIMERPROC = void (*)(HWND window, UINT message, UINT_PTR id, DWORD tick);

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
using LPMSG = MSG*;

struct WNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
};
struct WNDCLASSEXW {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
    HICON hIconSm;
};

struct CREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
};

struct WINDOWPOS {
    HWND hwnd;
    HWND hwndInsertAfter;
    int x;
    int y;
    int cx;
    int cy;
    UINT flags;
};
struct NCCALCSIZE_PARAMS {
    RECT rgrc[3];
    WINDOWPOS* lppos;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

// ---- Messages ----
#define WM_NULL 0x0000u
#define WM_CREATE 0x0001u
#define WM_DESTROY 0x0002u
#define WM_MOVE 0x0003u
#define WM_SIZE 0x0005u
#define WM_ENABLE 0x000Au
#define WM_SETTEXT 0x000Cu
#define WM_GETTEXT 0x000Du
#define WM_GETTEXTLENGTH 0x000Eu
#define WM_PAINT 0x000Fu
#define WM_CLOSE 0x0010u
#define WM_QUIT 0x0012u
#define WM_ERASEBKGND 0x0014u
#define WM_SHOWWINDOW 0x0018u
#define WM_WINDOWPOSCHANGING 0x0046u
#define WM_WINDOWPOSCHANGED 0x0047u
#define WM_NCCREATE 0x0081u
#define WM_NCDESTROY 0x0082u
#define WM_NCCALCSIZE 0x0083u
#define WM_KEYDOWN 0x0100u
#define WM_KEYUP 0x0101u
#define WM_CHAR 0x0102u
#define WM_TIMER 0x0113u
#define WM_MBUTTONDOWN 0x0207u
#define WM_MBUTTONUP 0x0208u
#define WM_DEVICECHANGE 0x0219u
// Messages of windows that the framework's classes crack (mfc_wnd.h).
#define WM_SETFONT 0x0030u
#define WM_GETFONT 0x0031u
#define WM_QUERYDRAGICON 0x0037u
#define WM_SETICON 0x0080u
#define WM_CTLCOLORMSGBOX 0x0132u
#define WM_CTLCOLOREDIT 0x0133u
#define WM_CTLCOLORLISTBOX 0x0134u
#define WM_CTLCOLORBTN 0x0135u
#define WM_CTLCOLORDLG 0x0136u
#define WM_CTLCOLORSCROLLBAR 0x0137u
#define WM_CTLCOLORSTATIC 0x0138u
#define WM_POWERBROADCAST 0x0218u
#define PBT_APMSUSPEND 0x0004u
#define ICON_SMALL 0
#define ICON_BIG 1
#define WM_USER 0x0400u
#define WM_APP 0x8000u

#define SIZE_RESTORED 0

// Message-box flags: the box's icon.
#define MB_ICONWARNING 0x00000030u
#define MB_ICONINFORMATION 0x00000040u

// ---- Class and window styles ----
#define CS_VREDRAW 0x0001u
#define CS_HREDRAW 0x0002u
#define CS_DBLCLKS 0x0008u

#define WS_OVERLAPPED 0x00000000u
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_VISIBLE 0x10000000u
#define WS_DISABLED 0x08000000u
#define WS_CLIPSIBLINGS 0x04000000u
#define WS_CLIPCHILDREN 0x02000000u
#define WS_BORDER 0x00800000u
#define WS_DLGFRAME 0x00400000u
#define WS_CAPTION 0x00C00000u
#define WS_SYSMENU 0x00080000u
#define WS_THICKFRAME 0x00040000u
#define WS_MINIMIZEBOX 0x00020000u
#define WS_MAXIMIZEBOX 0x00010000u
// On a child window (the same bits as the boxes): the first control of a group, a tab stop.
#define WS_GROUP 0x00020000u
#define WS_TABSTOP 0x00010000u
#define WS_OVERLAPPEDWINDOW \
    (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_EX_TOPMOST 0x00000008u
#define WS_EX_TOOLWINDOW 0x00000080u
#define WS_EX_APPWINDOW 0x00040000u

#define CW_USEDEFAULT (static_cast<int>(0x80000000u))

// Window data indexes (Get/SetWindowLongPtrW); 0 and up address the class's extra window bytes.
#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_HWNDPARENT (-8)
#define GWLP_ID (-12)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWLP_USERDATA (-21)

// GetWindow relations.
#define GW_HWNDFIRST 0u
#define GW_HWNDLAST 1u
#define GW_HWNDNEXT 2u
#define GW_HWNDPREV 3u
#define GW_OWNER 4u
#define GW_CHILD 5u

// ShowWindow commands (SW_HIDE, SW_SHOWNORMAL and SW_SHOWDEFAULT are also start-up flags).
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

// SetWindowPos.
#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define SWP_NOZORDER 0x0004u
#define SWP_NOREDRAW 0x0008u
#define SWP_NOACTIVATE 0x0010u
#define SWP_FRAMECHANGED 0x0020u
#define SWP_SHOWWINDOW 0x0040u
#define SWP_HIDEWINDOW 0x0080u
#define HWND_TOP (reinterpret_cast<HWND>(0))
#define HWND_BOTTOM (reinterpret_cast<HWND>(1))

// PeekMessageW.
#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u
#define PM_NOYIELD 0x0002u
// Only messages sent from other threads are handled; posted messages, input, timers and paints
// stay untouched (the call then answers FALSE).
#define PM_QS_SENDMESSAGE (QS_SENDMESSAGE << 16)

// SendMessageTimeoutW.
#define SMTO_NORMAL 0x0000u
#define SMTO_BLOCK 0x0001u
#define SMTO_ABORTIFHUNG 0x0002u

// Timers: shorter periods are raised to the minimum.
#define USER_TIMER_MINIMUM 0x0000000Au

// GetSystemMetrics.
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1

// Virtual keys that TranslateMessage turns into characters (besides '0'-'9' and 'A'-'Z').
#define VK_SPACE 0x20u
// Keys the edit control handles.

// Errors of the window manager.
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
#define ERROR_TLW_WITH_WSCHILD 1406L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_CLASS_DOES_NOT_EXIST 1411L
#define ERROR_CLASS_HAS_WINDOWS 1412L
#define ERROR_INVALID_INDEX 1413L
#define ERROR_CONTROL_ID_NOT_FOUND 1421L
#define ERROR_INVALID_THREAD_ID 1444L
#define ERROR_TIMEOUT 1460L

inline WORD LOWORD(ULONG_PTR v) {
    return static_cast<WORD>(v & 0xFFFF);
}
inline WORD HIWORD(ULONG_PTR v) {
    return static_cast<WORD>((v >> 16) & 0xFFFF);
}
inline WPARAM MAKEWPARAM(int low, int high) {
    return static_cast<WPARAM>((static_cast<DWORD>(low) & 0xFFFF) |
                               ((static_cast<DWORD>(high) & 0xFFFF) << 16));
}
inline LPARAM MAKELPARAM(int low, int high) {
    return static_cast<LPARAM>(static_cast<DWORD>((static_cast<DWORD>(low) & 0xFFFF) |
                                                  ((static_cast<DWORD>(high) & 0xFFFF) << 16)));
}

// ---- Waits that also end for the thread's message queue ----
#define QS_KEY 0x0001u
#define QS_MOUSEMOVE 0x0002u
#define QS_MOUSEBUTTON 0x0004u
#define QS_POSTMESSAGE 0x0008u
#define QS_TIMER 0x0010u
#define QS_PAINT 0x0020u
#define QS_SENDMESSAGE 0x0040u
#define QS_MOUSE (QS_MOUSEMOVE | QS_MOUSEBUTTON)
#define QS_INPUT (QS_MOUSE | QS_KEY)
#define QS_ALLINPUT (QS_INPUT | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_SENDMESSAGE)
#define MWMO_WAITALL 0x0001u
// As WaitForMultipleObjects, and also ends (WAIT_OBJECT_0 + count) when the calling thread's
// message queue holds something of the kinds in wakeMask (a posted message, a message sent from
// another thread, a due timer, a window to paint). It does not handle sent messages itself: the
// thread does so in its next PeekMessageW or GetMessageW (PM_QS_SENDMESSAGE handles only those).
// count may be 0.
DWORD MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, DWORD milliseconds,
                                  DWORD wakeMask, DWORD flags);
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                DWORD milliseconds, DWORD wakeMask);

// ---- Classes and windows ----
// Classes belong to the registering process; names compare without regard to case.
ATOM RegisterClassW(const WNDCLASSW* windowClass);
ATOM RegisterClassExW(const WNDCLASSEXW* windowClass);
// Fails (ERROR_CLASS_HAS_WINDOWS) while windows of the class exist.
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);

// Sends WM_NCCREATE, WM_NCCALCSIZE and WM_CREATE, then WM_SIZE and WM_MOVE; a window made with
// WS_VISIBLE is then shown as ShowWindow does. The calling thread owns the window. A child's
// menu argument is its id. NULL when WM_NCCREATE returns FALSE or WM_CREATE returns -1.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param);
// Only the owning thread destroys a window (ERROR_ACCESS_DENIED). Destroys the windows it owns
// first; sends WM_DESTROY to the window and then to its descendants (a parent before its
// children), then WM_NCDESTROY to the descendants (children first) and the window last.
BOOL DestroyWindow(HWND window);
// WM_CLOSE destroys the window; WM_NCCREATE returns TRUE; WM_GETTEXT, WM_GETTEXTLENGTH and
// WM_SETTEXT work on the window's text; WM_WINDOWPOSCHANGED sends WM_SIZE and WM_MOVE for what
// changed; WM_PAINT validates; WM_NCCALCSIZE takes the frame off the window rectangle.
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

LONG_PTR GetWindowLongPtrW(HWND window, int index);
// Returns the previous value (0 with last error 0 when that was 0). A window of another process
// cannot be changed (ERROR_ACCESS_DENIED).
LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value);

// Window rectangle in screen coordinates; client rectangle from (0, 0).
BOOL GetWindowRect(HWND window, LPRECT rect);
BOOL GetClientRect(HWND window, LPRECT rect);
// A point of the window's client area to the screen's coordinates, and back.
BOOL ClientToScreen(HWND window, LPPOINT point);
BOOL ScreenToClient(HWND window, LPPOINT point);
int GetSystemMetrics(int index);

// A child's parent, or the owner of a top-level pop-up window.
HWND GetParent(HWND window);
HWND GetWindow(HWND window, UINT relation);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND window);
BOOL IsWindow(HWND window);
// The window and all its ancestors are visible.
BOOL IsWindowVisible(HWND window);
BOOL IsWindowEnabled(HWND window);
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);
// Copies at most maxCount - 1 characters and a terminator; returns the number copied.
int GetClassNameW(HWND window, LPWSTR className, int maxCount);
// A window of the calling process answers through WM_GETTEXT / WM_SETTEXT; the text of another
// process's window is read directly (as the platform does, so a hung program cannot block it).
int GetWindowTextW(HWND window, LPWSTR text, int maxCount);
int GetWindowTextLengthW(HWND window);
BOOL SetWindowTextW(HWND window, LPCWSTR text);
// The first top-level window, in z-order, of the class and with the title (either may be NULL).
HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);

using WNDENUMPROC = BOOL (*)(HWND window, LPARAM param);
// Top-level windows, the topmost first; stops when the callback returns FALSE.
BOOL EnumWindows(WNDENUMPROC callback, LPARAM param);
// Every descendant of the window (children, their children, ...), depth first, children in
// z-order (creation order unless moved). A null parent enumerates the top-level windows.
BOOL EnumChildWindows(HWND parent, WNDENUMPROC callback, LPARAM param);

// Sends WM_SHOWWINDOW before the visibility changes, and only when it changes; a window shown
// needs painting. SW_SHOWMAXIMIZED fills the work area (a child: its parent's client area),
// SW_MINIMIZE / SW_SHOWMINIMIZED / SW_SHOWMINNOACTIVE minimise, SW_SHOWNORMAL / SW_RESTORE /
// SW_SHOWNOACTIVATE return to the rectangle the window had before; each change of size sends
// WM_SIZE with SIZE_MAXIMIZED, SIZE_MINIMIZED or SIZE_RESTORED. SW_SHOWNORMAL, SW_SHOWMINIMIZED,
// SW_SHOWMAXIMIZED, SW_SHOW and SW_RESTORE activate a top-level window of the calling thread;
// minimising the active window deactivates it. SW_SHOWDEFAULT is the process's start-up show
// command (SW_SHOWNORMAL without one). Returns whether it was visible before.
BOOL ShowWindow(HWND window, int command);
// Sends WM_ENABLE after the change, only when it changes. Returns whether it was disabled.
BOOL EnableWindow(HWND window, BOOL enable);
// WM_WINDOWPOSCHANGING (whose WINDOWPOS the window may change), WM_NCCALCSIZE when the size
// changes, then WM_WINDOWPOSCHANGED, whose default handling sends WM_SIZE and WM_MOVE.
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);

// ---- Messages ----
// Queues the message for the thread that owns the window.
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Fails (ERROR_INVALID_THREAD_ID) for a thread without a message queue: a thread has one from
// its first call of a message function or its first window.
BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// Handles messages sent from other threads while it waits. Order: posted messages, WM_QUIT,
// WM_PAINT, WM_TIMER. Returns 0 for WM_QUIT, -1 for a filter window that does not exist.
BOOL GetMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax);
BOOL PeekMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT remove);
// WM_KEYDOWN of a letter, digit or the space bar queues WM_CHAR (letters lower case).
BOOL TranslateMessage(const MSG* msg);
// Calls the window's procedure (a WM_TIMER with a TIMERPROC calls that instead).
LRESULT DispatchMessageW(const MSG* msg);
// On the owner's thread a direct call; from another thread it waits until the owner handles the
// message in its own GetMessageW, PeekMessageW or SendMessageW. 0 at once for a window that does
// not exist, or whose thread has ended.
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// TRUE while the calling thread handles a message that another thread sent it; FALSE in a call
// from its own thread or a posted message's dispatch, unless that happens inside such a handler.
BOOL InSendMessage();
// Like SendMessageW, without waiting for the result.
BOOL SendNotifyMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Like SendMessageW; gives up after timeoutMs (0, ERROR_TIMEOUT).
LRESULT SendMessageTimeoutW(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                            UINT timeoutMs, PDWORD_PTR result);

// ---- Painting ----
// The update region is kept as the rectangle that covers every invalidated part.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* rect);
BOOL GetUpdateRect(HWND window, LPRECT rect, BOOL erase);
// Sends WM_PAINT at once when the window is visible and has something to paint.
BOOL UpdateWindow(HWND window);
// Sends WM_ERASEBKGND when the region asked for it, validates the region and hands out a device
// context for the window; EndPaint releases it.
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

// ---- Timers ----
// A window timer (window not NULL) is identified by the window and id, and replaces an earlier
// one of the same; a thread timer (window NULL) gets a new id. WM_TIMER is produced while the
// timer is due (once however many periods passed) at ticks elapse, 2*elapse, ... after the call.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC procedure);
BOOL KillTimer(HWND window, UINT_PTR id);

#include "platform/user_boxes.h"
#include "platform/user_input.h"
#include "platform/user_menus.h"
#include "platform/user_placement.h"
#include "platform/user_nonclient.h"
