// Windows: data sent between programs (WM_COPYDATA), device broadcasts to top-level windows
// (WM_DEVICECHANGE) and message boxes. Included at the end of platform/user.h.
#pragma once

#include "platform/wintypes.h"

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
// broadcast structure (platform/dbt.h), valid while the window handles the message. The machine
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
// MB_ICONWARNING and MB_ICONINFORMATION: platform/user.h.
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
// scripts it, sim/boxes.h). A WM_QUIT taken while the box is up ends the box at once (with the
// scripted answer) and is posted
// again; a box closed by someone else answers IDCANCEL. A NULL caption is "Error". 0 with
// ERROR_INVALID_WINDOW_HANDLE for an owner that does not exist.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
