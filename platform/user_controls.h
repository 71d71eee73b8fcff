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
#pragma once

#include "platform/user.h"
#include "platform/user_dialogs.h"  // WM_COMMAND, WM_GETDLGCODE

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
