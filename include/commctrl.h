// The common controls: the IP address control ("SysIPAddress32") and tooltips
// ("tooltips_class32"), their messages, notifications and structures, WM_NOTIFY's header and
// InitCommonControlsEx. The controls live in comctl32/ipaddress.cpp and comctl32/tooltips.cpp.
#pragma once

#include <winbase.h>
#include <winuser.h>

// ---- Notifications from controls to their parent ----
#define WM_NOTIFY 0x004Eu

struct NMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
};
using LPNMHDR = NMHDR*;

// ---- Registration ----
struct INITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
};
using LPINITCOMMONCONTROLSEX = INITCOMMONCONTROLSEX*;

#define ICC_LISTVIEW_CLASSES 0x00000001u
#define ICC_TREEVIEW_CLASSES 0x00000002u
#define ICC_BAR_CLASSES 0x00000004u
#define ICC_TAB_CLASSES 0x00000008u
#define ICC_UPDOWN_CLASS 0x00000010u
#define ICC_PROGRESS_CLASS 0x00000020u
#define ICC_HOTKEY_CLASS 0x00000040u
#define ICC_ANIMATE_CLASS 0x00000080u
#define ICC_WIN95_CLASSES 0x000000FFu
#define ICC_DATE_CLASSES 0x00000100u
#define ICC_USEREX_CLASSES 0x00000200u
#define ICC_COOL_CLASSES 0x00000400u
#define ICC_INTERNET_CLASSES 0x00000800u
#define ICC_STANDARD_CLASSES 0x00004000u

// The common control classes are the system's in every process; this checks the request (FALSE
// with ERROR_INVALID_PARAMETER for a null pointer or a wrong size) and returns TRUE.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init);
void InitCommonControls();

// ---- IP address control ----
#define WC_IPADDRESSW L"SysIPAddress32"

#define IPM_CLEARADDRESS (WM_USER + 100)
#define IPM_SETADDRESS (WM_USER + 101)
#define IPM_GETADDRESS (WM_USER + 102)
#define IPM_SETRANGE (WM_USER + 103)
#define IPM_SETFOCUS (WM_USER + 104)
#define IPM_ISBLANK (WM_USER + 105)

#define IPN_FIRST (0u - 860u)
#define IPN_FIELDCHANGED (IPN_FIRST - 0u)

struct NMIPADDRESS {
    NMHDR hdr;
    int iField;
    int iValue;
};
using LPNMIPADDRESS = NMIPADDRESS*;

// An address as one DWORD: the first field in the high byte.
constexpr LPARAM MAKEIPADDRESS(DWORD b1, DWORD b2, DWORD b3, DWORD b4) {
    return static_cast<LPARAM>(((b1 & 0xFFu) << 24) | ((b2 & 0xFFu) << 16) | ((b3 & 0xFFu) << 8) |
                               (b4 & 0xFFu));
}
constexpr BYTE FIRST_IPADDRESS(DWORD_PTR x) {
    return static_cast<BYTE>((x >> 24) & 0xFFu);
}
constexpr BYTE SECOND_IPADDRESS(DWORD_PTR x) {
    return static_cast<BYTE>((x >> 16) & 0xFFu);
}
constexpr BYTE THIRD_IPADDRESS(DWORD_PTR x) {
    return static_cast<BYTE>((x >> 8) & 0xFFu);
}
constexpr BYTE FOURTH_IPADDRESS(DWORD_PTR x) {
    return static_cast<BYTE>(x & 0xFFu);
}
// A field's range for IPM_SETRANGE: low in the low byte, high in the next.
constexpr LPARAM MAKEIPRANGE(DWORD low, DWORD high) {
    return static_cast<LPARAM>(((high & 0xFFu) << 8) | (low & 0xFFu));
}

// ---- Tooltips ----
#define TOOLTIPS_CLASSW L"tooltips_class32"

// Styles.
#define TTS_ALWAYSTIP 0x01u
#define TTS_NOPREFIX 0x02u

// A tool: a rectangle of a window's client area (uId an id of the caller's choosing), or with
// TTF_IDISHWND the whole client area of the window that uId names.
struct TOOLINFOW {
    UINT cbSize;
    UINT uFlags;
    HWND hwnd;
    UINT_PTR uId;
    RECT rect;
    HINSTANCE hinst;
    LPWSTR lpszText;  // the text, or a string resource's id (MAKEINTRESOURCEW) in hinst
    LPARAM lParam;
    void* lpReserved;
};
using LPTOOLINFOW = TOOLINFOW*;
using TOOLINFO = TOOLINFOW;
using TTTOOLINFOW = TOOLINFOW;

// A text that the tool's window would give on request: such tools are refused (FALSE), since no
// program here asks for them.
#define LPSTR_TEXTCALLBACKW (reinterpret_cast<LPWSTR>(static_cast<LONG_PTR>(-1)))

#define TTF_IDISHWND 0x0001u
#define TTF_CENTERTIP 0x0002u
#define TTF_RTLREADING 0x0004u
#define TTF_SUBCLASS 0x0010u

// TTM_SETDELAYTIME's wParam.
#define TTDT_AUTOMATIC 0
#define TTDT_RESHOW 1
#define TTDT_AUTOPOP 2
#define TTDT_INITIAL 3

#define TTM_ACTIVATE (WM_USER + 1)
#define TTM_SETDELAYTIME (WM_USER + 3)
#define TTM_RELAYEVENT (WM_USER + 7)
#define TTM_GETTOOLCOUNT (WM_USER + 13)
#define TTM_SETMAXTIPWIDTH (WM_USER + 24)
#define TTM_GETMAXTIPWIDTH (WM_USER + 25)
#define TTM_POP (WM_USER + 28)
#define TTM_ADDTOOLW (WM_USER + 50)
#define TTM_DELTOOLW (WM_USER + 51)
#define TTM_GETTOOLINFOW (WM_USER + 53)
#define TTM_UPDATETIPTEXTW (WM_USER + 57)
#define TTM_ADDTOOL TTM_ADDTOOLW
#define TTM_DELTOOL TTM_DELTOOLW
#define TTM_GETTOOLINFO TTM_GETTOOLINFOW
#define TTM_UPDATETIPTEXT TTM_UPDATETIPTEXTW

// ---- Combo box (a user32 class; its messages live here with the other controls') ----
#define WC_COMBOBOXW L"ComboBox"

#define CBS_SIMPLE 0x0001u
#define CBS_DROPDOWN 0x0002u
#define CBS_DROPDOWNLIST 0x0003u

#define CB_ERR (-1)
#define CB_ERRSPACE (-2)

#define CB_ADDSTRING 0x0143u
#define CB_DELETESTRING 0x0144u
#define CB_GETCOUNT 0x0146u
#define CB_GETCURSEL 0x0147u
#define CB_GETLBTEXT 0x0148u
#define CB_GETLBTEXTLEN 0x0149u
#define CB_INSERTSTRING 0x014Au
#define CB_RESETCONTENT 0x014Bu
#define CB_SETCURSEL 0x014Eu
#define CB_SHOWDROPDOWN 0x014Fu
#define CB_GETDROPPEDSTATE 0x0157u

#define CB_OKAY 0
#define CB_SELECTSTRING 0x014Du
#define CB_FINDSTRINGEXACT 0x0158u

#define CBN_SELCHANGE 1
#define CBN_EDITCHANGE 5
#define CBN_DROPDOWN 7
#define CBN_CLOSEUP 8

// ---- List view ----
#define WC_LISTVIEWW L"SysListView32"

// Styles. Only the report view is drawn: the other views draw as a report.
#define LVS_ICON 0x0000u
#define LVS_REPORT 0x0001u
#define LVS_SMALLICON 0x0002u
#define LVS_LIST 0x0003u
#define LVS_TYPEMASK 0x0003u
#define LVS_SINGLESEL 0x0004u
#define LVS_SHOWSELALWAYS 0x0008u
#define LVS_NOCOLUMNHEADER 0x4000u

// Extended styles (LVM_SETEXTENDEDLISTVIEWSTYLE).
#define LVS_EX_GRIDLINES 0x00000001u
#define LVS_EX_FULLROWSELECT 0x00000020u

#define LVM_FIRST 0x1000u
#define LVM_GETITEMCOUNT (LVM_FIRST + 4)
#define LVM_DELETEITEM (LVM_FIRST + 8)
#define LVM_DELETEALLITEMS (LVM_FIRST + 9)
#define LVM_GETNEXTITEM (LVM_FIRST + 12)
#define LVM_ENSUREVISIBLE (LVM_FIRST + 19)
#define LVM_GETCOLUMNWIDTH (LVM_FIRST + 29)
#define LVM_GETTOPINDEX (LVM_FIRST + 39)
#define LVM_GETCOUNTPERPAGE (LVM_FIRST + 40)
#define LVM_SETITEMSTATE (LVM_FIRST + 43)
#define LVM_GETITEMSTATE (LVM_FIRST + 44)
#define LVM_SETEXTENDEDLISTVIEWSTYLE (LVM_FIRST + 54)
#define LVM_GETEXTENDEDLISTVIEWSTYLE (LVM_FIRST + 55)
#define LVM_GETSELECTIONMARK (LVM_FIRST + 66)
#define LVM_SETSELECTIONMARK (LVM_FIRST + 67)
#define LVM_INSERTITEMW (LVM_FIRST + 77)
#define LVM_INSERTCOLUMNW (LVM_FIRST + 97)
#define LVM_GETITEMTEXTW (LVM_FIRST + 115)
#define LVM_SETITEMTEXTW (LVM_FIRST + 116)

#define LVIF_TEXT 0x0001u
#define LVIF_IMAGE 0x0002u
#define LVIF_PARAM 0x0004u
#define LVIF_STATE 0x0008u

#define LVIS_FOCUSED 0x0001u
#define LVIS_SELECTED 0x0002u

#define LVNI_ALL 0x0000u
#define LVNI_FOCUSED 0x0001u
#define LVNI_SELECTED 0x0002u

struct LVITEMW {
    UINT mask;
    int iItem;
    int iSubItem;
    UINT state;
    UINT stateMask;
    LPWSTR pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
    int iIndent;
};
using LPLVITEMW = LVITEMW*;
using LVITEM = LVITEMW;

#define LVCF_FMT 0x0001u
#define LVCF_WIDTH 0x0002u
#define LVCF_TEXT 0x0004u
#define LVCF_SUBITEM 0x0008u

#define LVCFMT_LEFT 0x0000
#define LVCFMT_RIGHT 0x0001
#define LVCFMT_CENTER 0x0002

struct LVCOLUMNW {
    UINT mask;
    int fmt;
    int cx;
    LPWSTR pszText;
    int cchTextMax;
    int iSubItem;
};
using LPLVCOLUMNW = LVCOLUMNW*;
using LVCOLUMN = LVCOLUMNW;

// Notifications (WM_NOTIFY).
#define LVN_FIRST (0u - 100u)
#define LVN_ITEMCHANGED (LVN_FIRST - 1u)

struct NMLISTVIEW {
    NMHDR hdr;
    int iItem;
    int iSubItem;
    UINT uNewState;
    UINT uOldState;
    UINT uChanged;
    POINT ptAction;
    LPARAM lParam;
};
using LPNMLISTVIEW = NMLISTVIEW*;

// NM_CLICK and NM_DBLCLK of a list view: the item under the mouse (-1 for none).
struct NMITEMACTIVATE : NMLISTVIEW {
    UINT uKeyFlags;
};
using LPNMITEMACTIVATE = NMITEMACTIVATE*;

// ---- Date and time picker ----
#define DATETIMEPICK_CLASSW L"SysDateTimePick32"

#define DTM_FIRST 0x1000u
#define DTM_GETSYSTEMTIME (DTM_FIRST + 1)
#define DTM_SETSYSTEMTIME (DTM_FIRST + 2)

#define DTM_GETRANGE (DTM_FIRST + 3)
#define DTM_SETRANGE (DTM_FIRST + 4)
#define DTM_SETFORMATW (DTM_FIRST + 50)
#define DTM_SETFORMAT DTM_SETFORMATW

#define GDT_ERROR (-1)
#define GDT_VALID 0
#define GDT_NONE 1

// DTM_SETRANGE's wParam and DTM_GETRANGE's answer: which ends of the SYSTEMTIME[2] hold.
#define GDTR_MIN 0x0001u
#define GDTR_MAX 0x0002u

// Styles. DTS_TIMEFORMAT includes DTS_UPDOWN.
#define DTS_UPDOWN 0x0001u
#define DTS_SHOWNONE 0x0002u
#define DTS_SHORTDATEFORMAT 0x0000u
#define DTS_LONGDATEFORMAT 0x0004u
#define DTS_TIMEFORMAT 0x0009u

// Sent in WM_NOTIFY whenever the user changes the time or the check box.
#define DTN_FIRST2 (0u - 753u)
#define DTN_DATETIMECHANGE (DTN_FIRST2 - 6u)

struct NMDATETIMECHANGE {
    NMHDR nmhdr;
    DWORD dwFlags;  // GDT_VALID or GDT_NONE
    SYSTEMTIME st;
};
using LPNMDATETIMECHANGE = NMDATETIMECHANGE*;

// ---- Trackbar ----
#define TRACKBAR_CLASSW L"msctls_trackbar32"

#define TBM_GETPOS (WM_USER)
#define TBM_GETRANGEMIN (WM_USER + 1)
#define TBM_GETRANGEMAX (WM_USER + 2)
#define TBM_SETPOS (WM_USER + 5)
#define TBM_SETRANGE (WM_USER + 6)
#define TBM_SETRANGEMIN (WM_USER + 7)
#define TBM_SETRANGEMAX (WM_USER + 8)
#define TBM_SETTICFREQ (WM_USER + 20)
#define TBM_SETPAGESIZE (WM_USER + 21)
#define TBM_GETPAGESIZE (WM_USER + 22)
#define TBM_SETLINESIZE (WM_USER + 23)
#define TBM_GETLINESIZE (WM_USER + 24)
#define TBM_GETTHUMBRECT (WM_USER + 25)
#define TBM_GETCHANNELRECT (WM_USER + 26)

// Styles (horizontal only: TBS_VERT is not drawn).
#define TBS_AUTOTICKS 0x0001u
#define TBS_VERT 0x0002u
#define TBS_HORZ 0x0000u
#define TBS_TOP 0x0004u
#define TBS_BOTTOM 0x0000u
#define TBS_BOTH 0x0008u
#define TBS_NOTICKS 0x0010u
#define TBS_NOTHUMB 0x0080u

// WM_HSCROLL's codes from a trackbar (low word of wParam; the position in the high word for
// TB_THUMBTRACK and TB_THUMBPOSITION; lParam the trackbar).
#ifndef WM_HSCROLL
#define WM_HSCROLL 0x0114u
#endif
#define TB_LINEUP 0
#define TB_LINEDOWN 1
#define TB_PAGEUP 2
#define TB_PAGEDOWN 3
#define TB_THUMBPOSITION 4
#define TB_THUMBTRACK 5
#define TB_TOP 6
#define TB_BOTTOM 7
#define TB_ENDTRACK 8

// The parts a trackbar's NM_CUSTOMDRAW names in dwItemSpec.
#define TBCD_TICS 0x0001u
#define TBCD_THUMB 0x0002u
#define TBCD_CHANNEL 0x0003u

// ---- Custom draw (trackbars and list views send it in WM_NOTIFY) ----
#define NM_FIRST (0u - 0u)
#define NM_CLICK (NM_FIRST - 2u)
#define NM_DBLCLK (NM_FIRST - 3u)
#define NM_CUSTOMDRAW (NM_FIRST - 12u)

#define CDDS_PREPAINT 0x00000001u
#define CDDS_POSTPAINT 0x00000002u
#define CDDS_PREERASE 0x00000003u
#define CDDS_POSTERASE 0x00000004u
#define CDDS_ITEM 0x00010000u
#define CDDS_ITEMPREPAINT (CDDS_ITEM | CDDS_PREPAINT)
#define CDDS_ITEMPOSTPAINT (CDDS_ITEM | CDDS_POSTPAINT)

#define CDRF_DODEFAULT 0x00000000u
#define CDRF_NEWFONT 0x00000002u
#define CDRF_SKIPDEFAULT 0x00000004u
#define CDRF_NOTIFYPOSTPAINT 0x00000010u
#define CDRF_NOTIFYITEMDRAW 0x00000020u

#define CDIS_SELECTED 0x0001u
#define CDIS_DISABLED 0x0004u
#define CDIS_FOCUS 0x0010u
#define CDIS_HOT 0x0040u

struct NMCUSTOMDRAW {
    NMHDR hdr;
    DWORD dwDrawStage;
    HDC hdc;
    RECT rc;
    DWORD_PTR dwItemSpec;
    UINT uItemState;
    LPARAM lItemlParam;
};
using LPNMCUSTOMDRAW = NMCUSTOMDRAW*;
