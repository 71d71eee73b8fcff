// Dialogs: windows of the dialog class "#32770" made from a module's dialog templates, with their
// controls, the dialog procedure, the modal loop of DialogBoxParamW and the dialog keys.
//
// The dialog class's procedure is DefDlgProcW. It offers every message to the dialog procedure
// (DWLP_DLGPROC) first, from WM_NCCREATE on: a nonzero answer means the message was handled and
// DefDlgProcW returns DWLP_MSGRESULT (WM_INITDIALOG's answer is returned as it is); FALSE lets
// the default handling run: WM_CLOSE posts WM_COMMAND IDCANCEL, DM_GETDEFID / DM_SETDEFID keep the
// default button, activation puts the focus back on the control that had it (the first tab stop
// at first), the rest as DefWindowProcW.
#pragma once

#include "platform/resources.h"
#include "platform/user.h"
#include "platform/user_boxes.h"  // IDOK, IDCANCEL

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
