// Windows: the default window procedure's handling of the window frame, the mouse and printing:
// hit-testing (WM_NCHITTEST), moving and sizing with the mouse, WM_SETCURSOR, WM_SYSCOMMAND and
// WM_PRINT. Included by platform/user.h.
#pragma once

#include "platform/gdi.h"
#include "platform/user.h"
#include "platform/wintypes.h"

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
