// Windows: menus. A menu is a list of items (commands with an id and a text, separators, and items
// that open a submenu) with check and gray states; menus are the calling process's and their
// handles are never reused. TrackPopupMenu shows one and takes the user's choice: the machine's
// user answers as a test or demo scripted it (sim/menus.h). Included by platform/user.h.
#pragma once

#include "platform/user.h"
#include "platform/wintypes.h"

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
