// Dialogs: windows of the dialog class "#32770" made from a module's dialog templates, with their
// controls, the dialog procedure, the modal loop of DialogBoxParamW and the dialog keys.
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

// Window longs of a dialog.
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC 8
#define DWLP_USER 16

// A modeless dialog from the module's template `templateName` (an id made by MAKEINTRESOURCEW);
// null with ERROR_RESOURCE_NAME_NOT_FOUND when there is none.
HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC procedure,
                        LPARAM initParam);
HWND CreateDialogIndirectParamW(HINSTANCE instance, const resources::DialogTemplate* dialog,
                                HWND parent, DLGPROC procedure, LPARAM initParam);
// A modal dialog: the owner is disabled while it runs; returns EndDialog's result (-1 when the
// dialog could not be made).
INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC procedure,
                        LPARAM initParam);
INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, const resources::DialogTemplate* dialog,
                                HWND parent, DLGPROC procedure, LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);
LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Handles the dialog keys (Enter, Esc, Tab) of a message meant for the dialog or its controls;
// TRUE when it did (the message must then not be dispatched again).
BOOL IsDialogMessageW(HWND dialog, LPMSG message);
// Dialog units to pixels: the base units are fixed (LOWORD horizontal, HIWORD vertical).
LONG GetDialogBaseUnits();
BOOL MapDialogRect(HWND dialog, LPRECT rect);
UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int maxCount);
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
