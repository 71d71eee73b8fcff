// The framework's wrappers of the standard controls: CButton, CStatic, CEdit, CIPAddressCtrl,
// CToolTipCtrl, CComboBox, CListCtrl, CDateTimeCtrl and CSliderCtrl. Each Create makes the control
// of its class with the object bound; the other members send the control's messages. CButton and
// CStatic take a WM_DRAWITEM their parent gets from them as a call of their DrawItem (reflection:
// the parent's handler does not run).
#pragma once

#include <commctrl.h>
#include <winbase.h>
#include <afxwin.h>
#include <winuser.h>

class CButton : public CWnd {
public:
    using CWnd::Create;  // the window-class form stays callable
    BOOL Create(LPCWSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
    UINT GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
    void SetState(BOOL pushed) { SendMessage(BM_SETSTATE, static_cast<WPARAM>(pushed)); }
    // The low byte of the window style.
    UINT GetButtonStyle() const { return GetStyle() & 0xFFu; }
    void SetButtonStyle(UINT style, BOOL redraw = TRUE);
    // An owner-drawn button's drawing; the base draws nothing.
    virtual void DrawItem(LPDRAWITEMSTRUCT item);
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

class CStatic : public CWnd {
public:
    using CWnd::Create;  // the window-class form stays callable
    BOOL Create(LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id = 0xFFFF);
    // An owner-drawn static's drawing; the base draws nothing.
    virtual void DrawItem(LPDRAWITEMSTRUCT item);
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

class CEdit : public CWnd {
public:
    using CWnd::Create;  // the window-class form stays callable
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    void SetLimitText(UINT limit) { SendMessage(EM_LIMITTEXT, limit); }
    void LimitText(int limit = 0) { SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(limit)); }
    UINT GetLimitText() const { return static_cast<UINT>(SendMessage(EM_GETLIMITTEXT)); }
    void SetSel(int start, int end, BOOL noScroll = FALSE);
    void GetSel(int& start, int& end) const;
    void ReplaceSel(LPCWSTR text, BOOL canUndo = FALSE);
    void SetPasswordChar(wchar_t ch) { SendMessage(EM_SETPASSWORDCHAR, ch); }
    wchar_t GetPasswordChar() const;
    BOOL SetReadOnly(BOOL readOnly = TRUE);
};

class CIPAddressCtrl : public CWnd {
public:
    using CWnd::Create;  // the window-class form stays callable
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    void SetAddress(DWORD address);
    void SetAddress(BYTE f0, BYTE f1, BYTE f2, BYTE f3);
    // The number of fields that are not blank; blank fields read as 0.
    int GetAddress(DWORD& address) const;
    int GetAddress(BYTE& f0, BYTE& f1, BYTE& f2, BYTE& f3) const;
    void ClearAddress() { SendMessage(IPM_CLEARADDRESS); }
    BOOL IsBlank() const { return static_cast<BOOL>(SendMessage(IPM_ISBLANK)); }
    void SetFieldFocus(WORD field) { SendMessage(IPM_SETFOCUS, field); }
    void SetFieldRange(int field, BYTE low, BYTE high);
};

class CToolTipCtrl : public CWnd {
public:
    using CWnd::Create;  // the window-class form stays callable
    // A pop-up tooltip window owned by the parent's window.
    BOOL Create(CWnd* parent, DWORD style = 0);
    // A tool for the window: with id 0 the whole window (the tool is named by its handle, in its
    // parent), else the rectangle of its client area that the id names.
    BOOL AddTool(CWnd* window, LPCWSTR text, LPCRECT rect = nullptr, UINT_PTR id = 0);
    void DelTool(CWnd* window, UINT_PTR id = 0);
    // FALSE when there is no such tool; the text goes to info.lpszText when that is a buffer.
    BOOL GetToolInfo(TOOLINFOW& info, CWnd* window, UINT_PTR id = 0) const;
    void UpdateTipText(LPCWSTR text, CWnd* window, UINT_PTR id = 0);
    int GetToolCount() const { return static_cast<int>(SendMessage(TTM_GETTOOLCOUNT)); }
    void Activate(BOOL activate) { SendMessage(TTM_ACTIVATE, static_cast<WPARAM>(activate)); }
    void RelayEvent(LPMSG msg) { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg)); }
    int SetMaxTipWidth(int width);
    // All three delays from one (TTDT_AUTOMATIC), or one of them.
    void SetDelayTime(UINT delay);
    void SetDelayTime(DWORD which, int time);
    void Pop() { SendMessage(TTM_POP); }

private:
    // The tool's identity: by handle (id 0) or by id in the window.
    static TOOLINFOW ToolOf(CWnd* window, UINT_PTR id);
};

class CComboBox : public CWnd {
public:
    using CWnd::Create;  // the window-class form stays callable
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int AddString(LPCWSTR text) {
        return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    }
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int index) {
        return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index)));
    }
    void ResetContent() { SendMessage(CB_RESETCONTENT); }
    int InsertString(int index, LPCWSTR text) {
        return static_cast<int>(SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(index),
                                            reinterpret_cast<LPARAM>(text)));
    }
    int DeleteString(UINT index) { return static_cast<int>(SendMessage(CB_DELETESTRING, index)); }
    int GetLBTextLen(int index) const {
        return static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index)));
    }
    // The item's text into a buffer large enough (GetLBTextLen + 1); CB_ERR for a bad index.
    int GetLBText(int index, LPWSTR text) const {
        return static_cast<int>(
            SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
    }
    // The item's text; empty for a bad index.
    void GetLBText(int index, CString& text) const;
    // Searches after `start` (-1: from the first item), round the list once, case ignored.
    int FindStringExact(int start, LPCWSTR text) const {
        return static_cast<int>(SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(start),
                                            reinterpret_cast<LPARAM>(text)));
    }
    int SelectString(int start, LPCWSTR prefix) {
        return static_cast<int>(SendMessage(CB_SELECTSTRING, static_cast<WPARAM>(start),
                                            reinterpret_cast<LPARAM>(prefix)));
    }
    void ShowDropDown(BOOL show = TRUE) { SendMessage(CB_SHOWDROPDOWN, static_cast<WPARAM>(show)); }
    BOOL GetDroppedState() const { return static_cast<BOOL>(SendMessage(CB_GETDROPPEDSTATE)); }
};

class CListCtrl : public CWnd {
public:
    using CWnd::Create;  // the window-class form stays callable
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
    BOOL DeleteAllItems() { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
    int InsertColumn(int index, LPCWSTR heading, int format = LVCFMT_LEFT, int width = -1,
                     int subItem = -1);
    int InsertItem(int index, LPCWSTR text);
    int InsertItem(const LVITEMW* item) {
        return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(item)));
    }
    BOOL SetItemText(int index, int subItem, LPCWSTR text);
    CString GetItemText(int index, int subItem) const;
    BOOL DeleteItem(int index) {
        return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(index)));
    }
    int GetNextItem(int start, int flags) const {
        return static_cast<int>(
            SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(start), static_cast<LPARAM>(flags)));
    }
    BOOL SetItemState(int index, UINT state, UINT mask);
    UINT GetItemState(int index, UINT mask) const {
        return static_cast<UINT>(
            SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(index), static_cast<LPARAM>(mask)));
    }
    int GetSelectionMark() const { return static_cast<int>(SendMessage(LVM_GETSELECTIONMARK)); }
    // The previous extended styles.
    DWORD SetExtendedStyle(DWORD styles) {
        return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, styles));
    }
    DWORD GetExtendedStyle() const {
        return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE));
    }
    BOOL EnsureVisible(int index, BOOL partialOk) {
        return static_cast<BOOL>(SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(index),
                                             static_cast<LPARAM>(partialOk)));
    }
    int GetTopIndex() const { return static_cast<int>(SendMessage(LVM_GETTOPINDEX)); }
    int GetCountPerPage() const { return static_cast<int>(SendMessage(LVM_GETCOUNTPERPAGE)); }
};

class CDateTimeCtrl : public CWnd {
public:
    using CWnd::Create;  // the window-class form stays callable
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    // GDT_VALID with the time, GDT_NONE when a check-box picker is unchecked.
    DWORD GetTime(SYSTEMTIME* time) const {
        return static_cast<DWORD>(
            SendMessage(DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(time)));
    }
    BOOL SetTime(const SYSTEMTIME* time) {
        return static_cast<BOOL>(SendMessage(DTM_SETSYSTEMTIME, time ? GDT_VALID : GDT_NONE,
                                             reinterpret_cast<LPARAM>(time)));
    }
    DWORD GetTime(SYSTEMTIME& time) const { return GetTime(&time); }
    BOOL SetTime(const SYSTEMTIME& time) { return SetTime(&time); }
    // The picture of the shown text (the style's when NULL).
    BOOL SetFormat(LPCWSTR picture) {
        return static_cast<BOOL>(SendMessage(DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(picture)));
    }
    // The ends (NULL: that end is open); FALSE for an end that is no time or a minimum after the
    // maximum.
    BOOL SetRange(const SYSTEMTIME* minimum, const SYSTEMTIME* maximum);
    // GDTR_MIN and GDTR_MAX as the ends are set; each given one is filled.
    DWORD GetRange(SYSTEMTIME* minimum, SYSTEMTIME* maximum) const;
};

class CSliderCtrl : public CWnd {
public:
    using CWnd::Create;  // the window-class form stays callable
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int GetPos() const { return static_cast<int>(SendMessage(TBM_GETPOS)); }
    void SetPos(int pos) { SendMessage(TBM_SETPOS, TRUE, pos); }
    int GetRangeMin() const { return static_cast<int>(SendMessage(TBM_GETRANGEMIN)); }
    int GetRangeMax() const { return static_cast<int>(SendMessage(TBM_GETRANGEMAX)); }
    // Both ends of 16 bits (TBM_SETRANGE); the ends of any int through SetRangeMin/SetRangeMax.
    void SetRange(int minimum, int maximum, BOOL redraw = FALSE) {
        SendMessage(TBM_SETRANGE, static_cast<WPARAM>(redraw), MAKELPARAM(minimum, maximum));
    }
    void GetRange(int& minimum, int& maximum) const {
        minimum = GetRangeMin();
        maximum = GetRangeMax();
    }
    void SetRangeMin(int minimum, BOOL redraw = FALSE) {
        SendMessage(TBM_SETRANGEMIN, static_cast<WPARAM>(redraw), minimum);
    }
    void SetRangeMax(int maximum, BOOL redraw = FALSE) {
        SendMessage(TBM_SETRANGEMAX, static_cast<WPARAM>(redraw), maximum);
    }
    // Each returns the size before.
    int SetPageSize(int size) { return static_cast<int>(SendMessage(TBM_SETPAGESIZE, 0, size)); }
    int GetPageSize() const { return static_cast<int>(SendMessage(TBM_GETPAGESIZE)); }
    int SetLineSize(int size) { return static_cast<int>(SendMessage(TBM_SETLINESIZE, 0, size)); }
    int GetLineSize() const { return static_cast<int>(SendMessage(TBM_GETLINESIZE)); }
    void GetThumbRect(LPRECT rect) const {
        SendMessage(TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(rect));
    }
    void GetChannelRect(LPRECT rect) const {
        SendMessage(TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(rect));
    }
};
