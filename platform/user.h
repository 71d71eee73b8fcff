// Windows: the least of the window manager that the programs need so far. Window records with
// their class, title, visibility and parent; top-level and child enumeration; posting a message.
// The window system with message queues extends these (sim/windows.h holds the records).
#pragma once

#include "platform/wintypes.h"

#define WM_CLOSE 0x0010u
#define WM_DEVICECHANGE 0x0219u

// Message-box flags: the box's icon.
#define MB_ICONWARNING 0x00000030u
#define MB_ICONINFORMATION 0x00000040u

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
// message queue holds something of the kinds in wakeMask. count may be 0.
DWORD MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, DWORD milliseconds,
                                  DWORD wakeMask, DWORD flags);
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                DWORD milliseconds, DWORD wakeMask);

using WNDENUMPROC = BOOL (*)(HWND window, LPARAM param);

// Top-level windows, the topmost first; stops when the callback returns FALSE.
BOOL EnumWindows(WNDENUMPROC callback, LPARAM param);
// Every descendant of the window (children, their children, ...), depth first in the order they
// were created. A null parent enumerates the top-level windows.
BOOL EnumChildWindows(HWND parent, WNDENUMPROC callback, LPARAM param);
BOOL IsWindow(HWND window);
// The window and all its ancestors are visible.
BOOL IsWindowVisible(HWND window);
// Copies at most maxCount - 1 characters and a terminator; returns the number copied.
int GetClassNameW(HWND window, LPWSTR className, int maxCount);
int GetWindowTextW(HWND window, LPWSTR text, int maxCount);
HWND GetParent(HWND window);
// Queues the message for the window's owner. Windows that the machine itself runs (the system's
// dialogs in sim/windows.h) handle it there: WM_CLOSE closes them.
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
