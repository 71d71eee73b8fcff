// The shell's notification area (the tray): a program's icons at the taskbar's right end, each
// with a tip and balloons, that tell their owner window of the mouse by a callback message.
#pragma once

#include <windef.h>
#include <winuser.h>

#define NIM_ADD 0x00000000u
#define NIM_MODIFY 0x00000001u
#define NIM_DELETE 0x00000002u

#define NIF_MESSAGE 0x00000001u
#define NIF_ICON 0x00000002u
#define NIF_TIP 0x00000004u
#define NIF_INFO 0x00000010u

#define NIIF_NONE 0x00000000u
#define NIIF_INFO 0x00000001u
#define NIIF_WARNING 0x00000002u
#define NIIF_ERROR 0x00000003u

// The structure's layout with the tip of 128 units, the balloon's text of 256 and title of 64
// and the icon's GUID. The platform's 32-bit programs give cbSize 952 for this layout (two-byte
// characters, four-byte handles); here it is sizeof(NOTIFYICONDATAW), and 952 is accepted too.
struct NOTIFYICONDATAW {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    WCHAR szTip[128];
    DWORD dwState;
    DWORD dwStateMask;
    WCHAR szInfo[256];
    union {
        UINT uTimeout;
        UINT uVersion;
    };
    WCHAR szInfoTitle[64];
    DWORD dwInfoFlags;
    GUID guidItem;
};
using PNOTIFYICONDATAW = NOTIFYICONDATAW*;

// The size the platform's 32-bit programs give for the layout above.
#define NOTIFYICONDATAW_952_SIZE 952u

// Adds, changes or removes the icon of (hWnd, uID). NIM_ADD fails for an icon that is there,
// NIM_MODIFY and NIM_DELETE for one that is not; an unknown cbSize or message fails too. The
// texts are copied up to their terminator and cut to 127, 255 and 63 units. A balloon (NIF_INFO
// with a text) shows for uTimeout milliseconds, moved into 10 to 30 seconds; an empty text takes
// the icon's balloon away. The owner gets uCallbackMessage (NIF_MESSAGE) with wParam the id and
// lParam the mouse message for every click on the icon, whether it shows or not.
BOOL Shell_NotifyIconW(DWORD message, PNOTIFYICONDATAW data);
