#include <afxcmn.h>

#include <string>

namespace {

// An owner-drawn control's WM_DRAWITEM, reflected from its parent, is its DrawItem call; other
// messages go to the base.
template <class Control>
BOOL DrawOnReflection(Control& control, UINT message, WPARAM wParam, LPARAM lParam,
                      LRESULT* result) {
    if (message != WM_DRAWITEM) return control.CWnd::OnChildNotify(message, wParam, lParam, result);
    control.DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    if (result != nullptr) *result = TRUE;
    return TRUE;
}

}  // namespace

// ---- CButton ----

BOOL CButton::Create(LPCWSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(L"Button", caption, style, rect, parent, id);
}

void CButton::SetButtonStyle(UINT style, BOOL redraw) {
    SendMessage(BM_SETSTYLE, style, redraw);
}

void CButton::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    return DrawOnReflection(*this, message, wParam, lParam, result);
}

// ---- CStatic ----

BOOL CStatic::Create(LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(L"Static", text, style, rect, parent, id);
}

void CStatic::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CStatic::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    return DrawOnReflection(*this, message, wParam, lParam, result);
}

// ---- CEdit ----

BOOL CEdit::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_EDITW, L"", style, rect, parent, id);
}

void CEdit::SetSel(int start, int end, BOOL) {
    SendMessage(EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
}

void CEdit::GetSel(int& start, int& end) const {
    DWORD s = 0;
    DWORD e = 0;
    SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
    start = static_cast<int>(s);
    end = static_cast<int>(e);
}

void CEdit::ReplaceSel(LPCWSTR text, BOOL canUndo) {
    SendMessage(EM_REPLACESEL, static_cast<WPARAM>(canUndo), reinterpret_cast<LPARAM>(text));
}

wchar_t CEdit::GetPasswordChar() const {
    return static_cast<wchar_t>(SendMessage(EM_GETPASSWORDCHAR));
}

BOOL CEdit::SetReadOnly(BOOL readOnly) {
    return static_cast<BOOL>(SendMessage(EM_SETREADONLY, static_cast<WPARAM>(readOnly)));
}

// ---- CIPAddressCtrl ----

BOOL CIPAddressCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_IPADDRESSW, L"", style, rect, parent, id);
}

void CIPAddressCtrl::SetAddress(DWORD address) {
    SendMessage(IPM_SETADDRESS, 0, static_cast<LPARAM>(address));
}

void CIPAddressCtrl::SetAddress(BYTE f0, BYTE f1, BYTE f2, BYTE f3) {
    SendMessage(IPM_SETADDRESS, 0, MAKEIPADDRESS(f0, f1, f2, f3));
}

int CIPAddressCtrl::GetAddress(DWORD& address) const {
    address = 0;
    return static_cast<int>(SendMessage(IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address)));
}

int CIPAddressCtrl::GetAddress(BYTE& f0, BYTE& f1, BYTE& f2, BYTE& f3) const {
    DWORD address = 0;
    int filled = GetAddress(address);
    f0 = FIRST_IPADDRESS(address);
    f1 = SECOND_IPADDRESS(address);
    f2 = THIRD_IPADDRESS(address);
    f3 = FOURTH_IPADDRESS(address);
    return filled;
}

void CIPAddressCtrl::SetFieldRange(int field, BYTE low, BYTE high) {
    SendMessage(IPM_SETRANGE, static_cast<WPARAM>(field), MAKEIPRANGE(low, high));
}

// ---- CToolTipCtrl ----

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style) {
    return CreateEx(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | style, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, parent != nullptr ? parent->m_hWnd : nullptr,
                    nullptr);
}

TOOLINFOW CToolTipCtrl::ToolOf(CWnd* window, UINT_PTR id) {
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    HWND h = window != nullptr ? window->m_hWnd : nullptr;
    if (id == 0) {
        info.hwnd = h != nullptr ? ::GetParent(h) : nullptr;
        info.uFlags = TTF_IDISHWND;
        info.uId = reinterpret_cast<UINT_PTR>(h);
    } else {
        info.hwnd = h;
        info.uId = id;
    }
    return info;
}

BOOL CToolTipCtrl::AddTool(CWnd* window, LPCWSTR text, LPCRECT rect, UINT_PTR id) {
    if (window == nullptr) return FALSE;
    TOOLINFOW info = ToolOf(window, id);
    if (rect != nullptr) info.rect = *rect;
    info.lpszText = const_cast<LPWSTR>(text);
    return static_cast<BOOL>(SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)));
}

void CToolTipCtrl::DelTool(CWnd* window, UINT_PTR id) {
    TOOLINFOW info = ToolOf(window, id);
    SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

BOOL CToolTipCtrl::GetToolInfo(TOOLINFOW& info, CWnd* window, UINT_PTR id) const {
    LPWSTR text = info.lpszText;  // the caller's buffer for the text, if any
    info = ToolOf(window, id);
    info.lpszText = text;
    return static_cast<BOOL>(SendMessage(TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&info)));
}

void CToolTipCtrl::UpdateTipText(LPCWSTR text, CWnd* window, UINT_PTR id) {
    TOOLINFOW info = ToolOf(window, id);
    info.lpszText = const_cast<LPWSTR>(text);
    SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

int CToolTipCtrl::SetMaxTipWidth(int width) {
    return static_cast<int>(SendMessage(TTM_SETMAXTIPWIDTH, 0, width));
}

void CToolTipCtrl::SetDelayTime(UINT delay) {
    SendMessage(TTM_SETDELAYTIME, TTDT_AUTOMATIC, static_cast<LPARAM>(delay));
}

void CToolTipCtrl::SetDelayTime(DWORD which, int time) {
    SendMessage(TTM_SETDELAYTIME, which, time);
}

BOOL CComboBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_COMBOBOXW, L"", style, rect, parent, id);
}

void CComboBox::GetLBText(int index, CString& text) const {
    const int length = GetLBTextLen(index);
    if (length < 0) {
        text = CString();
        return;
    }
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    GetLBText(index, buffer.data());
    text = CString(buffer.c_str());
}

BOOL CListCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_LISTVIEWW, L"", style, rect, parent, id);
}

int CListCtrl::InsertColumn(int index, LPCWSTR heading, int format, int width, int subItem) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_FMT;
    column.fmt = format;
    column.pszText = const_cast<LPWSTR>(heading);
    if (width >= 0) {
        column.mask |= LVCF_WIDTH;
        column.cx = width;
    }
    if (subItem >= 0) {
        column.mask |= LVCF_SUBITEM;
        column.iSubItem = subItem;
    }
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(&column)));
}

int CListCtrl::InsertItem(int index, LPCWSTR text) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<LPWSTR>(text);
    return InsertItem(&item);
}

BOOL CListCtrl::SetItemText(int index, int subItem, LPCWSTR text) {
    LVITEMW item{};
    item.iSubItem = subItem;
    item.pszText = const_cast<LPWSTR>(text);
    return static_cast<BOOL>(
        SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

CString CListCtrl::GetItemText(int index, int subItem) const {
    // Grows the buffer until the text fits.
    for (int size = 256;; size *= 4) {
        std::wstring buffer(static_cast<std::size_t>(size), L'\0');
        LVITEMW item{};
        item.iSubItem = subItem;
        item.pszText = buffer.data();
        item.cchTextMax = size;
        const auto n = static_cast<int>(SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(index),
                                                    reinterpret_cast<LPARAM>(&item)));
        if (n < size - 1 || size >= (1 << 20)) return CString(buffer.c_str());
    }
}

BOOL CListCtrl::SetItemState(int index, UINT state, UINT mask) {
    LVITEMW item{};
    item.mask = LVIF_STATE;
    item.state = state;
    item.stateMask = mask;
    return static_cast<BOOL>(
        SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

BOOL CDateTimeCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(DATETIMEPICK_CLASSW, L"", style, rect, parent, id);
}

BOOL CSliderCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(TRACKBAR_CLASSW, L"", style, rect, parent, id);
}

BOOL CDateTimeCtrl::SetRange(const SYSTEMTIME* minimum, const SYSTEMTIME* maximum) {
    SYSTEMTIME ends[2] = {};
    WPARAM flags = 0;
    if (minimum != nullptr) ends[0] = *minimum, flags |= GDTR_MIN;
    if (maximum != nullptr) ends[1] = *maximum, flags |= GDTR_MAX;
    return static_cast<BOOL>(SendMessage(DTM_SETRANGE, flags, reinterpret_cast<LPARAM>(ends)));
}

DWORD CDateTimeCtrl::GetRange(SYSTEMTIME* minimum, SYSTEMTIME* maximum) const {
    SYSTEMTIME ends[2] = {};
    const auto flags =
        static_cast<DWORD>(SendMessage(DTM_GETRANGE, 0, reinterpret_cast<LPARAM>(ends)));
    if (minimum != nullptr) *minimum = ends[0];
    if (maximum != nullptr) *maximum = ends[1];
    return flags;
}
