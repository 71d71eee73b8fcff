// Windows: the window manager's records and messages. Window classes and windows with their
// styles, text, rectangles, parent, owner, owning thread and z-order; per-thread message queues
// with posted, sent and thread messages, WM_QUIT, WM_PAINT while an update region exists and
// WM_TIMER from timers on the machine clock. The machine holds the records (machine/windows.h).
#pragma once

#include <wingdi.h>
#include <windef.h>
#include <winres.h>

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
// Messages of windows that the framework's classes crack (<afxwin.h>).
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
// The first top-level window, in z-order (hidden ones included), of the class and with the whole
// title, case ignored in both (either may be NULL).
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

// Windows: data sent between programs (WM_COPYDATA), device broadcasts to top-level windows
// (WM_DEVICECHANGE) and message boxes. Included at the end of <winuser.h>.

// ---- WM_COPYDATA ----
// lParam points to a COPYDATASTRUCT, wParam is the sending window. Sent to a window of another
// thread or process, the structure and its cbData bytes are copied for the receiver, which sees
// the copy while it handles the message; the copy is freed once the message is done. Only a
// message that waits for its answer can carry it: PostMessageW, and SendNotifyMessageW to another
// thread, fail with ERROR_MESSAGE_SYNC_ONLY; bytes without a pointer fail with
// ERROR_INVALID_PARAMETER.
#define ERROR_MESSAGE_SYNC_ONLY 1159L
#define WM_COPYDATA 0x004Au
struct COPYDATASTRUCT {
    ULONG_PTR dwData;
    DWORD cbData;
    PVOID lpData;
};
using PCOPYDATASTRUCT = COPYDATASTRUCT*;

// ---- WM_DEVICECHANGE ----
// When a device interface arrives or goes away, every top-level window that a thread owns gets
// WM_DEVICECHANGE (DBT_DEVICEARRIVAL / DBT_DEVICEREMOVECOMPLETE) with lParam pointing to the
// broadcast structure (<dbt.h>), valid while the window handles the message. The machine
// does not wait for the windows' answers (the layer cannot let a window veto anything).

// ---- Message boxes ----
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_CANCELTRYCONTINUE 0x00000006u
#define MB_TYPEMASK 0x0000000Fu
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
// MB_ICONWARNING and MB_ICONINFORMATION: <winuser.h>.
#define MB_ICONEXCLAMATION MB_ICONWARNING
#define MB_ICONASTERISK MB_ICONINFORMATION
#define MB_DEFBUTTON2 0x00000100u
#define MB_APPLMODAL 0x00000000u
#define MB_SYSTEMMODAL 0x00001000u
#define MB_TASKMODAL 0x00002000u
#define MB_SETFOREGROUND 0x00010000u
#define MB_TOPMOST 0x00040000u

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7
#define IDTRYAGAIN 10
#define IDCONTINUE 11

// Shows a box (a top-level window of class "#32770", titled with the caption, owned by owner)
// and runs a modal loop on the calling thread until the user answers: the owner is disabled
// meanwhile and enabled again afterwards (if it was enabled before), and the thread's messages
// keep being dispatched, so the owner's timers keep firing. The answer is the machine's (a test
// scripts it, machine/boxes.h). A WM_QUIT taken while the box is up ends the box at once (with the
// scripted answer) and is posted
// again; a box closed by someone else answers IDCANCEL. A NULL caption is "Error". 0 with
// ERROR_INVALID_WINDOW_HANDLE for an owner that does not exist.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// Windows: a window's show state (normal, minimised, maximised), its frame, and the screen's work
// area. Included at the end of <winuser.h>; ShowWindow is declared there.

// A minimised (iconic) or maximised (zoomed) window carries one of these styles.
#define WS_MINIMIZE 0x20000000u
#define WS_MAXIMIZE 0x01000000u

// WM_SIZE's wParam besides SIZE_RESTORED.
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2

// SystemParametersInfoW.
#define SPI_GETWORKAREA 0x0030u
#define SPI_GETFOREGROUNDLOCKTIMEOUT 0x2000u
#define SPI_SETFOREGROUNDLOCKTIMEOUT 0x2001u
#define SPIF_UPDATEINIFILE 0x0001u
#define SPIF_SENDCHANGE 0x0002u

BOOL IsZoomed(HWND window);
BOOL IsIconic(HWND window);

// SPI_GETWORKAREA: the screen without the taskbar (pvParam: a RECT). The machine has no
// foreground lock (SetForegroundWindow always succeeds), so its time-out reads 0 and setting it
// changes nothing. Other actions fail with ERROR_INVALID_PARAMETER.
BOOL SystemParametersInfoW(UINT action, UINT uiParam, PVOID pvParam, UINT winIni);

// Grows a client rectangle by the frame that the style gives a window (the frame that the
// default WM_NCCALCSIZE takes off again).
BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle);

// Windows: menus. A menu is a list of items (commands with an id and a text, separators, and items
// that open a submenu) with check and gray states; menus are the calling process's and their
// handles are never reused. TrackPopupMenu shows one and takes the user's choice: the machine's
// user answers as a test or demo scripted it (machine/menus.h). Included by <winuser.h>.

// ---- Item flags ----
#define MF_INSERT 0x00000000u
#define MF_BYCOMMAND 0x00000000u
#define MF_BYPOSITION 0x00000400u
#define MF_STRING 0x00000000u
#define MF_SEPARATOR 0x00000800u
#define MF_ENABLED 0x00000000u
#define MF_GRAYED 0x00000001u
#define MF_DISABLED 0x00000002u
#define MF_UNCHECKED 0x00000000u
#define MF_CHECKED 0x00000008u
#define MF_POPUP 0x00000010u
#define MF_BITMAP 0x00000004u
#define MF_OWNERDRAW 0x00000100u

// ---- TrackPopupMenu flags ----
#define TPM_LEFTBUTTON 0x0000u
#define TPM_RIGHTBUTTON 0x0002u
#define TPM_LEFTALIGN 0x0000u
#define TPM_CENTERALIGN 0x0004u
#define TPM_RIGHTALIGN 0x0008u
#define TPM_TOPALIGN 0x0000u
#define TPM_VCENTERALIGN 0x0010u
#define TPM_BOTTOMALIGN 0x0020u
#define TPM_HORIZONTAL 0x0000u
#define TPM_VERTICAL 0x0040u
// No WM_ENTERMENULOOP, WM_INITMENUPOPUP or WM_EXITMENULOOP to the owner.
#define TPM_NONOTIFY 0x0080u
// The chosen command is returned (0 when the menu is dismissed) and not sent to the owner.
#define TPM_RETURNCMD 0x0100u
#define TPM_RECURSE 0x0001u

struct TPMPARAMS {
    UINT cbSize;
    RECT rcExclude;
};
using LPTPMPARAMS = TPMPARAMS*;

// ---- Messages ----
// To the owner as a menu comes up: wParam TRUE (a tracked menu).
#define WM_ENTERMENULOOP 0x0211u
#define WM_EXITMENULOOP 0x0212u
// To the owner before a menu or submenu opens: wParam the menu, lParam MAKELPARAM(position of the
// item that opens it in its parent (0 for the menu tracked), TRUE for a system menu).
#define WM_INITMENUPOPUP 0x0117u
// A command chosen from a window's system menu: wParam the command, lParam 0.
#define WM_SYSCOMMAND 0x0112u

// The system menu's commands (the low four bits are the system's own).
#define SC_SIZE 0xF000u
#define SC_MOVE 0xF010u
#define SC_MINIMIZE 0xF020u
#define SC_MAXIMIZE 0xF030u
#define SC_CLOSE 0xF060u
#define SC_RESTORE 0xF120u

#define ERROR_INVALID_MENU_HANDLE 1401L
#define ERROR_POPUP_ALREADY_ACTIVE 1446L
#define ERROR_MENU_ITEM_NOT_FOUND 1456L

// ---- Making and destroying menus ----
HMENU CreateMenu();
HMENU CreatePopupMenu();
// Destroys the menu and the submenus its items open.
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
// The module's menu template (an id made by MAKEINTRESOURCEW): a menu whose popup items open
// submenus made from their lists. NULL with ERROR_RESOURCE_NAME_NOT_FOUND when there is none.
HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name);

// ---- Items ----
// `item` is a position (MF_BYPOSITION) or a command id (MF_BYCOMMAND), which is searched in the
// menu and then in its submenus; the item found may thus be in a submenu.
//
// Inserts before the item (by position: -1 or past the end appends). flags: MF_STRING (text) or
// MF_SEPARATOR, MF_POPUP (newItem is then the submenu, which must not contain the menu), and the
// states MF_CHECKED, MF_GRAYED, MF_DISABLED. Pictures (MF_BITMAP) and owner-drawn items are not
// kept by the layer: ERROR_INVALID_PARAMETER.
BOOL InsertMenuW(HMENU menu, UINT item, UINT flags, UINT_PTR newItem, LPCWSTR text);
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR newItem, LPCWSTR text);
// Takes the item away and destroys the submenu it opens.
BOOL DeleteMenu(HMENU menu, UINT item, UINT flags);
// Takes the item away; the submenu it opens stays for the caller.
BOOL RemoveMenu(HMENU menu, UINT item, UINT flags);
// Return the previous MF_CHECKED / MF_UNCHECKED, or the previous MF_ENABLED / MF_GRAYED /
// MF_DISABLED; (DWORD)-1 (or -1) when there is no such item.
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags);
// -1 for a menu that does not exist.
int GetMenuItemCount(HMENU menu);
// The command id of the item at the position; (UINT)-1 for an item that opens a submenu or for a
// position past the end.
UINT GetMenuItemID(HMENU menu, int position);
// The submenu that the item at the position opens, or NULL.
HMENU GetSubMenu(HMENU menu, int position);
// The item's MF_* flags; for an item that opens a submenu, the submenu's item count in the high
// byte of the low word. (UINT)-1 when there is no such item.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
// Copies at most maxCount - 1 characters and a terminator; returns the number copied. text NULL:
// the text's length. 0 when there is no such item.
int GetMenuStringW(HMENU menu, UINT item, LPWSTR text, int maxCount, UINT flags);

// ---- The system menu ----
// revert FALSE: the window's own copy of the system menu (Restore, Move, Size, Minimize, Maximize,
// a separator, Close), made on the first call; the program may change it. revert TRUE: drops the
// copy and returns NULL. The copy goes with the window.
HMENU GetSystemMenu(HWND window, BOOL revert);

// ---- Tracking ----
// Shows the menu for the owner at (x, y) in screen coordinates: sends the owner WM_ENTERMENULOOP
// and WM_INITMENUPOPUP (and WM_INITMENUPOPUP for each submenu opened on the way to the choice),
// takes the user's choice, then sends WM_EXITMENULOOP. A grayed or disabled command cannot be
// chosen. With TPM_RETURNCMD it returns the command (0 when dismissed) and sends nothing more;
// without it, a chosen command is posted to the owner as WM_COMMAND (WM_SYSCOMMAND for a system
// menu) and the result is TRUE. FALSE with ERROR_POPUP_ALREADY_ACTIVE while the thread tracks
// another menu (unless TPM_RECURSE).
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                    const RECT* ignored);
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params);

// Windows: the default window procedure's handling of the window frame, the mouse and printing:
// hit-testing (WM_NCHITTEST), moving and sizing with the mouse, WM_SETCURSOR, WM_SYSCOMMAND and
// WM_PRINT. Included by <winuser.h>.

#define WM_GETMINMAXINFO 0x0024u
#define WM_NCPAINT 0x0085u
#define WM_NCMOUSEMOVE 0x00A0u
#define WM_NCLBUTTONDOWN 0x00A1u
#define WM_NCLBUTTONUP 0x00A2u
#define WM_NCLBUTTONDBLCLK 0x00A3u
#define WM_NCRBUTTONDOWN 0x00A4u
#define WM_NCRBUTTONUP 0x00A5u
#define WM_NCRBUTTONDBLCLK 0x00A6u
#define WM_SIZING 0x0214u
#define WM_MOVING 0x0216u
#define WM_ENTERSIZEMOVE 0x0231u
#define WM_EXITSIZEMOVE 0x0232u
#define WM_PRINT 0x0317u
#define WM_PRINTCLIENT 0x0318u

// WM_NCHITTEST's answers: where in the window a point lies.
#define HTERROR (-2)
#define HTCAPTION 2
#define HTLEFT 10
#define HTRIGHT 11
#define HTTOP 12
#define HTTOPLEFT 13
#define HTTOPRIGHT 14
#define HTBOTTOM 15
#define HTBOTTOMLEFT 16
#define HTBOTTOMRIGHT 17
#define HTBORDER 18

// WM_SYSCOMMAND commands (the low four bits are the system's own).

// WM_SIZING's wParam: the edge being dragged.
#define WMSZ_LEFT 1
#define WMSZ_RIGHT 2
#define WMSZ_TOP 3
#define WMSZ_TOPLEFT 4
#define WMSZ_TOPRIGHT 5
#define WMSZ_BOTTOM 6
#define WMSZ_BOTTOMLEFT 7
#define WMSZ_BOTTOMRIGHT 8

// WM_PRINT's flags.
#define PRF_CHECKVISIBLE 0x00000001u
#define PRF_NONCLIENT 0x00000002u
#define PRF_CLIENT 0x00000004u
#define PRF_ERASEBKGND 0x00000008u
#define PRF_CHILDREN 0x00000010u
#define PRF_OWNED 0x00000020u

struct MINMAXINFO {
    POINT ptReserved;
    POINT ptMaxSize;
    POINT ptMaxPosition;
    POINT ptMinTrackSize;
    POINT ptMaxTrackSize;
};

// The part of DefWindowProcW described above (0 for other messages):
// - WM_NCHITTEST (lParam: a screen point): HTNOWHERE outside the window, HTCLIENT in the client
//   area, the sizing border's codes (corners within 16 pixels of one) on a WS_THICKFRAME border,
//   HTCAPTION on the caption, HTBORDER on any other frame.
// - WM_NCLBUTTONDOWN with HTCAPTION or a border code sends WM_SYSCOMMAND SC_MOVE or SC_SIZE; those
//   run a loop, while the left button is down, that takes the thread's queued mouse input until the
//   button's release: WM_ENTERSIZEMOVE, then per mouse move WM_MOVING or WM_SIZING (sizes kept
//   within WM_GETMINMAXINFO's track sizes) and SetWindowPos, then WM_EXITSIZEMOVE. Escape puts the
//   window back. Other messages are dispatched meanwhile.
// - WM_SETCURSOR: a child asks its parent first; HTCLIENT sets the class cursor, the sizing border
//   the size cursors, other places the arrow.
// - WM_MOUSEACTIVATE: a child asks its parent first; else MA_ACTIVATE. WM_MOUSEWHEEL goes to the
//   parent.
// - WM_SYSCOMMAND: SC_CLOSE sends WM_CLOSE; SC_MINIMIZE, SC_MAXIMIZE and SC_RESTORE show the window
//   so.
// - WM_PRINT (wParam: the device context, lParam: PRF_ flags): nothing for a hidden window with
//   PRF_CHECKVISIBLE; else WM_ERASEBKGND, WM_PRINTCLIENT, then WM_PRINT to each visible child
//   (bottom to top) and owned window, each with the context's origin moved to that window.
LRESULT DefWindowProcFrame(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Windows: keyboard focus, activation, the foreground window, mouse capture, the caret, the
// cursor, mouse and keyboard messages and mouse tracking. Focus, the active window, capture, the
// caret and the key state belong to a thread; the foreground window and the cursor to the
// machine. Included by <winuser.h>.
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

// Dialogs: windows of the dialog class "#32770" made from a module's dialog templates, with their
// controls, the dialog procedure, the modal loop of DialogBoxParamW and the dialog keys.
//
// The dialog class's procedure is DefDlgProcW. It offers every message to the dialog procedure
// (DWLP_DLGPROC) first, from WM_NCCREATE on: a nonzero answer means the message was handled and
// DefDlgProcW returns DWLP_MSGRESULT (WM_INITDIALOG's answer is returned as it is); FALSE lets
// the default handling run: WM_CLOSE posts WM_COMMAND IDCANCEL, DM_GETDEFID / DM_SETDEFID keep the
// default button, activation puts the focus back on the control that had it (the first tab stop
// at first), the rest as DefWindowProcW.

using DLGPROC = INT_PTR (*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#define WM_INITDIALOG 0x0110u
#define WM_COMMAND 0x0111u
#define WM_GETDLGCODE 0x0087u
#define DM_GETDEFID 0x0400u
#define DM_SETDEFID 0x0401u
#define DC_HASDEFID 0x534Bu

// Controls take part in Tab moves with WS_TABSTOP; WS_GROUP starts a group.

// WM_GETDLGCODE's answers: the keys a control keeps for itself, and what kind of control it is.
#define DLGC_WANTARROWS 0x0001u
#define DLGC_WANTTAB 0x0002u
#define DLGC_WANTALLKEYS 0x0004u
#define DLGC_WANTMESSAGE 0x0004u
#define DLGC_HASSETSEL 0x0008u
#define DLGC_DEFPUSHBUTTON 0x0010u
#define DLGC_UNDEFPUSHBUTTON 0x0020u
#define DLGC_RADIOBUTTON 0x0040u
#define DLGC_WANTCHARS 0x0080u
#define DLGC_STATIC 0x0100u
#define DLGC_BUTTON 0x2000u

// The dialog keys.

// Window longs of a dialog.
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC 8
#define DWLP_USER 16
// The dialog class's window bytes: the three above and the dialog manager's own state.
#define DLGWINDOWEXTRA 56

// A modeless dialog from the module's template `templateName` (an id made by MAKEINTRESOURCEW);
// null with ERROR_RESOURCE_NAME_NOT_FOUND when there is none.
HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC procedure,
                        LPARAM initParam);
// Makes the dialog window (a child of `parent` when the template has WS_CHILD, else a top-level
// window owned by it, placed from the owner's client origin), then each control as a WS_CHILD
// window with its id, in the template's order, then sends WM_INITDIALOG (wParam: the first tab
// stop, lParam: initParam; a TRUE answer gives that control the focus) and shows the dialog when
// the template has WS_VISIBLE. A control that cannot be made fails the whole dialog (its error).
HWND CreateDialogIndirectParamW(HINSTANCE instance, const resources::DialogTemplate* dialog,
                                HWND parent, DLGPROC procedure, LPARAM initParam);
// A modal dialog: made as above and owned by the parent's top-level window, which is disabled
// while the dialog runs (and enabled again afterwards if it was enabled). The dialog is shown and
// the thread's messages run through IsDialogMessageW until EndDialog; then the dialog is
// destroyed. Returns EndDialog's result; -1 when the dialog could not be made, 0 when it was
// destroyed without EndDialog or a WM_QUIT ended the loop (the WM_QUIT is posted again).
INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC procedure,
                        LPARAM initParam);
INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, const resources::DialogTemplate* dialog,
                                HWND parent, DLGPROC procedure, LPARAM initParam);
// Marks the dialog ended with the result and hides it; a modal loop running it returns.
BOOL EndDialog(HWND dialog, INT_PTR result);
LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Takes a message meant for the dialog or one of its controls (FALSE for any other): the dialog
// keys of WM_KEYDOWN are handled here unless the control claims them through WM_GETDLGCODE
// (DLGC_WANTMESSAGE, DLGC_WANTTAB for Tab): Enter sends WM_COMMAND with the default button's id
// (DM_GETDEFID; IDOK without one), Esc WM_COMMAND IDCANCEL, Tab and Shift+Tab move the focus to
// the next or previous visible, enabled WS_TABSTOP control (wrapping). A disabled button of that id
// makes Enter or Esc do nothing. Every other message is translated and dispatched. TRUE: the
// message is done and must not be dispatched again.
BOOL IsDialogMessageW(HWND dialog, LPMSG message);
// Dialog units to pixels: the base units are fixed at those of the standard dialog font (8-point
// MS Shell Dlg) at 96 DPI, 6 pixels wide and 13 high (LOWORD horizontal, HIWORD vertical): a
// horizontal unit is 6/4 pixel, a vertical one 13/8, rounded to the nearest pixel. A template's
// rectangle is the client area; the dialog's window is that grown by its frame.
LONG GetDialogBaseUnits();
BOOL MapDialogRect(HWND dialog, LPRECT rect);
UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int maxCount);
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
// The next (or previous) visible, enabled WS_TABSTOP control after `control` among the dialog's
// controls, wrapping; with control NULL the first (or last). `control` itself when there is no
// other; NULL when there is none.
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);

// Windows: the standard Button and Static controls (window classes "Button" and "Static"): their
// styles, messages, notifications and the owner-draw request they send their parent.
//
// A button's type is its style & BS_TYPEMASK. A click is a press of the left button (or the space
// bar) and its release over the button; the button then sends its parent WM_COMMAND with
// MAKEWPARAM(id, BN_CLICKED) and lParam the button. Auto check boxes and auto 3-state boxes change
// their check before they notify, and an auto radio button checks itself and unchecks the other
// auto radio buttons of its group (the siblings from the last WS_GROUP window up to the next).
//
// Controls paint through one routine; so far it draws nothing itself: owner-draw buttons
// (BS_OWNERDRAW) and statics (SS_OWNERDRAW) send their parent WM_DRAWITEM from it.

// ---- Button styles ----
#define BS_PUSHBUTTON 0x00000000u
#define BS_DEFPUSHBUTTON 0x00000001u
#define BS_CHECKBOX 0x00000002u
#define BS_AUTOCHECKBOX 0x00000003u
#define BS_RADIOBUTTON 0x00000004u
#define BS_3STATE 0x00000005u
#define BS_AUTO3STATE 0x00000006u
#define BS_GROUPBOX 0x00000007u
#define BS_AUTORADIOBUTTON 0x00000009u
#define BS_OWNERDRAW 0x0000000Bu
#define BS_TYPEMASK 0x0000000Fu
#define BS_LEFTTEXT 0x00000020u
#define BS_RIGHTBUTTON BS_LEFTTEXT
#define BS_TEXT 0x00000000u
#define BS_ICON 0x00000040u
#define BS_BITMAP 0x00000080u
#define BS_LEFT 0x00000100u
#define BS_RIGHT 0x00000200u
#define BS_CENTER 0x00000300u
#define BS_TOP 0x00000400u
#define BS_BOTTOM 0x00000800u
#define BS_VCENTER 0x00000C00u
#define BS_PUSHLIKE 0x00001000u
#define BS_MULTILINE 0x00002000u
#define BS_NOTIFY 0x00004000u
#define BS_FLAT 0x00008000u

// ---- Button messages ----
// BM_GETCHECK: the check (BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE) of a check box, 3-state
// box or radio button; 0 for other types.
#define BM_GETCHECK 0x00F0u
// BM_SETCHECK (wParam: the check): ignored by other types than those above; a 2-state button
// takes any non-zero check as BST_CHECKED.
#define BM_SETCHECK 0x00F1u
// BM_GETSTATE: the check | BST_PUSHED | BST_FOCUS.
#define BM_GETSTATE 0x00F2u
// BM_SETSTATE (wParam TRUE: pushed): the pushed look only; it clicks nothing.
#define BM_SETSTATE 0x00F3u
// BM_SETSTYLE (wParam: the new type, lParam TRUE: redraw): replaces the type (BS_TYPEMASK bits)
// and keeps the other styles.
#define BM_SETSTYLE 0x00F4u
// BM_CLICK: a press and release of the left button at the button's top-left corner, as if the
// user clicked it; nothing for a disabled button.
#define BM_CLICK 0x00F5u

#define BST_UNCHECKED 0x0000u
#define BST_CHECKED 0x0001u
#define BST_INDETERMINATE 0x0002u
#define BST_PUSHED 0x0004u
#define BST_FOCUS 0x0008u

// ---- Button notifications (the high word of WM_COMMAND's wParam) ----
#define BN_CLICKED 0
// On a double click (classes with CS_DBLCLKS) of a radio button, an owner-draw button or a button
// with BS_NOTIFY; other buttons take a double click as a second press.
#define BN_DOUBLECLICKED 5
#define BN_DBLCLK BN_DOUBLECLICKED
// With BS_NOTIFY only.
#define BN_SETFOCUS 6
#define BN_KILLFOCUS 7

// ---- WM_GETDLGCODE answers ----

// ---- Static styles ----
#define SS_LEFT 0x00000000u
#define SS_CENTER 0x00000001u
#define SS_RIGHT 0x00000002u
#define SS_ICON 0x00000003u
#define SS_BLACKRECT 0x00000004u
#define SS_GRAYRECT 0x00000005u
#define SS_WHITERECT 0x00000006u
#define SS_BLACKFRAME 0x00000007u
#define SS_GRAYFRAME 0x00000008u
#define SS_WHITEFRAME 0x00000009u
#define SS_SIMPLE 0x0000000Bu
#define SS_LEFTNOWORDWRAP 0x0000000Cu
#define SS_OWNERDRAW 0x0000000Du
#define SS_BITMAP 0x0000000Eu
#define SS_ETCHEDHORZ 0x00000010u
#define SS_ETCHEDVERT 0x00000011u
#define SS_ETCHEDFRAME 0x00000012u
#define SS_TYPEMASK 0x0000001Fu
#define SS_NOPREFIX 0x00000080u
// Without SS_NOTIFY a static answers WM_NCHITTEST with HTTRANSPARENT: the mouse reaches what lies
// beneath it. With it, a press sends STN_CLICKED and a double click STN_DBLCLK.
#define SS_NOTIFY 0x00000100u
#define SS_CENTERIMAGE 0x00000200u
#define SS_RIGHTJUST 0x00000400u
#define SS_SUNKEN 0x00001000u
#define SS_ENDELLIPSIS 0x00004000u
#define SS_PATHELLIPSIS 0x00008000u
#define SS_WORDELLIPSIS 0x0000C000u

// ---- Static notifications (the high word of WM_COMMAND's wParam) ----
#define STN_CLICKED 0
#define STN_DBLCLK 1

// ---- Owner drawing ----
// Sent to the control's parent; wParam is the control's id, lParam a DRAWITEMSTRUCT valid while
// the parent handles it.
#define WM_DRAWITEM 0x002Bu

#define ODT_MENU 1u
#define ODT_LISTBOX 2u
#define ODT_COMBOBOX 3u
#define ODT_BUTTON 4u
#define ODT_STATIC 5u

// itemAction: what changed.
#define ODA_DRAWENTIRE 0x0001u
#define ODA_SELECT 0x0002u
#define ODA_FOCUS 0x0004u

// itemState: how the control is now.
#define ODS_SELECTED 0x0001u
#define ODS_GRAYED 0x0002u
#define ODS_DISABLED 0x0004u
#define ODS_CHECKED 0x0008u
#define ODS_FOCUS 0x0010u
#define ODS_DEFAULT 0x0020u

struct DRAWITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HWND hwndItem;
    HDC hDC;
    RECT rcItem;
    ULONG_PTR itemData;
};
using LPDRAWITEMSTRUCT = DRAWITEMSTRUCT*;

// ---- Edit ----
// Styles.
#define ES_LEFT 0x0000u
#define ES_CENTER 0x0001u
#define ES_RIGHT 0x0002u
#define ES_MULTILINE 0x0004u
#define ES_UPPERCASE 0x0008u
#define ES_LOWERCASE 0x0010u
#define ES_PASSWORD 0x0020u
#define ES_AUTOVSCROLL 0x0040u
#define ES_AUTOHSCROLL 0x0080u
#define ES_NOHIDESEL 0x0100u
#define ES_READONLY 0x0800u
#define ES_WANTRETURN 0x1000u
#define ES_NUMBER 0x2000u

// Messages.
#define EM_GETSEL 0x00B0u
#define EM_SETSEL 0x00B1u
#define EM_GETMODIFY 0x00B8u
#define EM_SETMODIFY 0x00B9u
#define EM_REPLACESEL 0x00C2u
#define EM_LIMITTEXT 0x00C5u
#define EM_SETLIMITTEXT EM_LIMITTEXT
#define EM_SETPASSWORDCHAR 0x00CCu
#define EM_SETREADONLY 0x00CFu
#define EM_GETPASSWORDCHAR 0x00D2u
#define EM_GETLIMITTEXT 0x00D5u

// Notifications (the high word of WM_COMMAND's wParam; lParam is the edit).
#define EN_SETFOCUS 0x0100u
#define EN_KILLFOCUS 0x0200u
#define EN_CHANGE 0x0300u
#define EN_UPDATE 0x0400u
#define EN_MAXTEXT 0x0501u

#define WC_EDITW L"Edit"
// ---- end of Edit ----

// ---- Icons ----
// An icon is a picture with its own alpha, made from a module's icon resource (a PNG linked into
// the module, <winres.h>). LoadIconW's icons are shared: one handle per resource for the life of
// the process, at the system's icon size; DestroyIcon leaves a shared icon alive and answers TRUE.
#define SM_CXICON 11
#define SM_CYICON 12
#define SM_CXSMICON 49
#define SM_CYSMICON 50

#define IMAGE_BITMAP 0u
#define IMAGE_ICON 1u
#define IMAGE_CURSOR 2u
#define LR_DEFAULTCOLOR 0x00000000u
#define LR_DEFAULTSIZE 0x00000040u
#define LR_SHARED 0x00008000u

// The system's own icons (LoadIconW with a null instance).
#define IDI_APPLICATION MAKEINTRESOURCEW(32512)

#define ERROR_INVALID_ICON_HANDLE 1414L

// The module's icon at SM_CXICON x SM_CYICON; shared. NULL (ERROR_RESOURCE_NAME_NOT_FOUND) when
// the module has no such icon.
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
// IMAGE_ICON only: the icon scaled to cx x cy (0 with LR_DEFAULTSIZE: the system's icon size; 0
// without it: the picture's own size). LR_SHARED gives the one handle per resource and size.
HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags);
// Draws the icon at its own size with its top-left corner at (x, y), blended over what is there.
BOOL DrawIcon(HDC dc, int x, int y, HICON icon);
#define DI_NORMAL 0x0003u
// Draws the icon scaled to cx x cy (0: its own size); `step`, `flickerFree` are not used.
BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int cx, int cy, UINT step, HBRUSH flickerFree,
                UINT flags);
// Frees an icon that is not shared; FALSE (ERROR_INVALID_ICON_HANDLE) for one that is unknown or
// was destroyed.
BOOL DestroyIcon(HICON icon);

// WM_SETICON (wParam ICON_BIG or ICON_SMALL, lParam the icon or NULL) answers the icon it
// replaces; WM_GETICON answers the window's icon (ICON_SMALL2: the small one, else the big one).
// A frame's caption shows the small icon (else the big one scaled) at its left when the window
// has a system menu. WM_QUERYDRAGICON's default answer is the big icon, else the class icon.
// An iconic window's paint context erases with WM_ICONERASEBKGND (wParam the context) in place
// of WM_ERASEBKGND.
#define WM_ICONERASEBKGND 0x0027u
#define WM_GETICON 0x007Fu
#define ICON_SMALL2 2

// MessageBoxW: the box shows the program's icon (its module's icon of the lowest id).
#define MB_USERICON 0x00000080u

// ---- Window calls of the shell ----
// Puts the window (its top-level window for a child) on top of the z-order and activates it.
BOOL BringWindowToTop(HWND window);
// Brings the window forward as the shell's task switcher does: a minimised window is restored
// first; the window becomes the foreground window.
void SwitchToThisWindow(HWND window, BOOL altTab);

// The dialog's button `id` gets the check (BM_SETCHECK); IsDlgButtonChecked answers its
// BM_GETCHECK (0 when there is no such button).
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);

// A message number shared by every program that registers the same name (case ignored):
// 0xC000 to 0xFFFF, the same number for the machine's whole run; 0 for an empty name.
// The shell broadcasts the registered message "TaskbarCreated" to every top-level window when
// it starts again (its notification-area icons are gone then).
UINT RegisterWindowMessageW(LPCWSTR name);

// The system's caret-blink timer message: a timer message with wParam 0xFFFF (the caret's).
#define WM_SYSTIMER 0x0118u
#define SYSTIMER_CARET_BLINK 0xFFFFu

// WM_POWERBROADCAST's events (wParam), sent to every top-level window: the machine is about to
// suspend, and it resumed.
#define PBT_APMRESUMEAUTOMATIC 0x0012u
