// The standard controls' styles, messages and notifications (their window classes are the
// system's: user_classes.h). Each control's block is its own; the controls live in their files
// (user_button.cpp, user_static.cpp, user_edit.cpp).
#pragma once

#include "platform/user.h"
#include "platform/user_dialogs.h"  // WM_COMMAND, WM_GETDLGCODE

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

// What an edit answers to WM_GETDLGCODE.
#define DLGC_WANTARROWS 0x0001u
#define DLGC_HASSETSEL 0x0008u
#define DLGC_WANTCHARS 0x0080u

#define WC_EDITW L"Edit"
// ---- end of Edit ----
