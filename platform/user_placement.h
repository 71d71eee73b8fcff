// Windows: a window's show state (normal, minimised, maximised), its frame, and the screen's work
// area. Included at the end of platform/user.h; ShowWindow is declared there.
#pragma once

#include "platform/wintypes.h"

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
