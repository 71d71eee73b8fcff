// The IP address control: four number-only Edit children of three digits each, separated by
// dots. A blank field reads as 0 in the address and in the dotted text. Typing a third digit or a
// dot moves to the next field; a field's value is brought into its range (0-255 unless set) when
// it loses the focus, and the parent hears of it (IPN_FIELDCHANGED). A change of any field reaches
// the parent as the control's own EN_CHANGE.
#include <algorithm>
#include <array>
#include <string>

#include <commctrl.h>
#include <winuser.h>
#include "platform/user32/classes.h"
#include "machine/handles.h"
#include "machine/trace.h"

namespace {

constexpr int kFields = 4;
constexpr int kDotWidth = 6;

struct IpState {
    std::array<HWND, kFields> fields{};
    std::array<int, kFields> low{0, 0, 0, 0};
    std::array<int, kFields> high{255, 255, 255, 255};
    bool setting = false;  // the control itself is filling its fields
};

IpState* StateOf(HWND control) {
    return ControlState<IpState>(control);
}

int FieldIndex(const IpState& state, HWND field) {
    for (int i = 0; i < kFields; ++i)
        if (state.fields[static_cast<std::size_t>(i)] == field) return i;
    return -1;
}

// The number the field's text starts with (saturating above 255's range), or -1 when blank.
int RawValue(HWND field) {
    WCHAR text[16] = {};
    GetWindowTextW(field, text, 16);
    if (text[0] < L'0' || text[0] > L'9') return -1;
    int v = 0;
    for (const WCHAR* p = text; *p >= L'0' && *p <= L'9'; ++p)
        v = std::min(v * 10 + (*p - L'0'), 99999);
    return v;
}

// The field's value within its range, or -1 when blank.
int Value(const IpState& state, int i) {
    int v = RawValue(state.fields[static_cast<std::size_t>(i)]);
    if (v < 0) return v;
    return std::clamp(v, state.low[static_cast<std::size_t>(i)],
                      state.high[static_cast<std::size_t>(i)]);
}

std::wstring DottedText(const IpState& state) {
    std::wstring out;
    for (int i = 0; i < kFields; ++i) {
        if (i > 0) out += L'.';
        out += std::to_wstring(std::max(0, Value(state, i)));
    }
    return out;
}

// The control's own text follows its fields, so that it reads like them from anywhere.
void SyncText(HWND control, const IpState& state) {
    std::wstring text = DottedText(state);
    DefWindowProcW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// Fills the fields (an empty text leaves a field blank); one EN_CHANGE when anything changed.
void SetFields(HWND control, const std::array<std::wstring, kFields>& texts) {
    IpState* state = StateOf(control);
    bool changed = false;
    state->setting = true;
    for (int i = 0; i < kFields; ++i) {
        HWND field = state->fields[static_cast<std::size_t>(i)];
        WCHAR now[16] = {};
        GetWindowTextW(field, now, 16);
        if (texts[static_cast<std::size_t>(i)] == now) continue;
        SetWindowTextW(field, texts[static_cast<std::size_t>(i)].c_str());
        changed = true;
    }
    if ((state = StateOf(control)) == nullptr) return;
    state->setting = false;
    SyncText(control, *state);
    if (changed) NotifyParent(control, EN_CHANGE);
}

std::array<std::wstring, kFields> FromAddress(DWORD address) {
    std::array<std::wstring, kFields> out;
    for (int i = 0; i < kFields; ++i)
        out[static_cast<std::size_t>(i)] = std::to_wstring((address >> (8 * (3 - i))) & 0xFFu);
    return out;
}

// "a.b.c.d": each part of digits gives its field (brought into 0-255); a part that is missing or
// not a number leaves its field blank.
std::array<std::wstring, kFields> FromText(LPCWSTR text) {
    std::array<std::wstring, kFields> out;
    if (text == nullptr) return out;
    std::size_t field = 0;
    std::wstring part;
    auto take = [&] {
        bool digits = !part.empty() && part.size() <= 5 &&
                      part.find_first_not_of(L"0123456789") == std::wstring::npos;
        if (digits && field < kFields) out[field] = std::to_wstring(std::min(std::stoi(part), 255));
        ++field;
        part.clear();
    };
    for (const WCHAR* p = text; *p != 0; ++p) {
        if (*p == L'.')
            take();
        else if (*p != L' ')
            part += *p;
    }
    take();
    return out;
}

void FocusField(HWND control, int i) {
    IpState* state = StateOf(control);
    if (state == nullptr || i < 0 || i >= kFields) return;
    HWND field = state->fields[static_cast<std::size_t>(i)];
    SetFocus(field);
    SendMessageW(field, EM_SETSEL, 0, -1);
}

// A field that loses the focus is brought into its range; the parent hears of the field's value
// (-1 when blank).
void LeaveField(HWND control, int i) {
    IpState* state = StateOf(control);
    HWND field = state->fields[static_cast<std::size_t>(i)];
    int raw = RawValue(field);
    int value = Value(*state, i);
    if (raw != value) SetWindowTextW(field, std::to_wstring(value).c_str());
    HWND parent = GetParent(control);
    if (parent == nullptr) return;
    NMIPADDRESS nm{};
    nm.hdr.hwndFrom = control;
    nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(control));
    nm.hdr.code = IPN_FIELDCHANGED;
    nm.iField = i;
    nm.iValue = value;
    SendMessageW(parent, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
}

// The fields' procedure: the Edit's, with the moves between fields.
LRESULT FieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND control = GetParent(field);
    IpState* state = StateOf(control);
    int i = state != nullptr ? FieldIndex(*state, field) : -1;
    if (i < 0) return EditWindowProc(field, message, wParam, lParam);
    switch (message) {
        case WM_CHAR: {
            if (wParam == L'.' || wParam == L' ') {
                if (RawValue(field) >= 0 && i + 1 < kFields) FocusField(control, i + 1);
                return 0;
            }
            LRESULT r = EditWindowProc(field, message, wParam, lParam);
            DWORD end = 0;
            bool digit = wParam >= L'0' && wParam <= L'9';
            if (digit && i + 1 < kFields && IsWindow(field) && GetWindowTextLengthW(field) == 3) {
                SendMessageW(field, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&end));
                if (end == 3) FocusField(control, i + 1);
            }
            return r;
        }
        case WM_KILLFOCUS: {
            LRESULT r = EditWindowProc(field, message, wParam, lParam);
            if (StateOf(control) != nullptr && IsWindow(field)) LeaveField(control, i);
            return r;
        }
        default:
            return EditWindowProc(field, message, wParam, lParam);
    }
}

// The fields side by side inside the border, each followed by the gap of its dot.
void Layout(HWND control, const IpState& state, int width, int height) {
    const int border = SunkenBorder(control);
    width -= 2 * border;
    height -= 2 * border;
    int segment = width / kFields;
    for (int i = 0; i < kFields; ++i) {
        int w = segment - (i + 1 < kFields ? kDotWidth : 0);
        MoveWindow(state.fields[static_cast<std::size_t>(i)], border + i * segment, border,
                   std::max(0, w), std::max(0, height), TRUE);
    }
}

// The control's own picture around its fields: the window colour (the face colour when
// disabled), the sunken border, and a dot in each gap between two fields.
void Paint(HWND control, HDC dc, const IpState& state) {
    RECT client{};
    GetClientRect(control, &client);
    const bool enabled = IsWindowEnabled(control) != FALSE;
    FillRect(dc, &client, GetSysColorBrush(enabled ? COLOR_WINDOW : COLOR_BTNFACE));
    if (SunkenBorder(control) != 0) DrawEdge(dc, &client, EDGE_SUNKEN, BF_RECT);
    HGDIOBJ font = BeginControlDrawing(dc);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    const int border = SunkenBorder(control);
    const int segment = (client.right - client.left - 2 * border) / kFields;
    for (int i = 0; i + 1 < kFields; ++i) {
        RECT gap{border + (i + 1) * segment - kDotWidth, border, border + (i + 1) * segment,
                 client.bottom - border};
        DrawTextW(dc, L".", 1, &gap, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
    }
    ControlDrawingDone(dc, font);
}

LRESULT OnCreate(HWND control, IpState& state, const CREATESTRUCTW* cs) {
    DWORD fieldStyle = WS_CHILD | WS_VISIBLE | ES_NUMBER | ES_CENTER;
    if (GetWindowLongPtrW(control, GWL_STYLE) & WS_DISABLED) fieldStyle |= WS_DISABLED;
    for (int i = 0; i < kFields; ++i) {
        HWND field = CreateWindowExW(0, WC_EDITW, L"", fieldStyle, 0, 0, 0, 0, control,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(i)),
                                     cs != nullptr ? cs->hInstance : nullptr, nullptr);
        if (field == nullptr) return -1;
        SendMessageW(field, EM_LIMITTEXT, 3, 0);
        SetWindowLongPtrW(field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FieldProc));
        state.fields[static_cast<std::size_t>(i)] = field;
    }
    if (cs != nullptr) Layout(control, state, cs->cx, cs->cy);
    SyncText(control, state);
    return 0;
}

LRESULT IpMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam, IpState& self) {
    IpState* state = &self;
    switch (message) {
        case WM_CREATE:
            return OnCreate(control, *state, reinterpret_cast<const CREATESTRUCTW*>(lParam));
        case WM_SIZE:
            if (state->fields[0] != nullptr)
                Layout(control, *state, LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_SETFOCUS:
            FocusField(control, 0);
            return 0;
        case WM_PRINTCLIENT:
            Paint(control, reinterpret_cast<HDC>(wParam), *state);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(control, &ps);
            if (dc != nullptr) {
                Paint(control, dc, *state);
                EndPaint(control, &ps);
            }
            return 0;
        }
        case WM_ENABLE:
            for (HWND field : state->fields)
                if (field != nullptr) EnableWindow(field, static_cast<BOOL>(wParam));
            return 0;
        case WM_COMMAND: {
            int i = FieldIndex(*state, reinterpret_cast<HWND>(lParam));
            if (i >= 0 && HIWORD(wParam) == EN_CHANGE && !state->setting) {
                SyncText(control, *state);
                NotifyParent(control, EN_CHANGE);
            }
            return 0;
        }
        case WM_SETTEXT:
            SetFields(control, FromText(reinterpret_cast<LPCWSTR>(lParam)));
            return TRUE;
        case IPM_SETADDRESS:
            SetFields(control, FromAddress(static_cast<DWORD>(lParam)));
            return TRUE;
        case IPM_CLEARADDRESS:
            SetFields(control, {});
            return 0;
        case IPM_GETADDRESS: {
            int filled = 0;
            DWORD address = 0;
            for (int i = 0; i < kFields; ++i) {
                int v = Value(*state, i);
                if (v >= 0) ++filled;
                address = (address << 8) | static_cast<DWORD>(std::max(0, v));
            }
            if (lParam != 0) *reinterpret_cast<DWORD*>(lParam) = address;
            return filled;
        }
        case IPM_ISBLANK:
            for (int i = 0; i < kFields; ++i)
                if (Value(*state, i) >= 0) return FALSE;
            return TRUE;
        case IPM_SETFOCUS: {
            int i = static_cast<int>(wParam);
            if (i < 0 || i >= kFields) {  // the first blank field (the first when none is)
                i = 0;
                while (i < kFields && Value(*state, i) >= 0) ++i;
                if (i == kFields) i = 0;
            }
            FocusField(control, i);
            return 0;
        }
        case IPM_SETRANGE: {
            int low = static_cast<int>(lParam & 0xFF);
            int high = static_cast<int>((lParam >> 8) & 0xFF);
            if (wParam >= kFields || low > high) return FALSE;
            state->low[wParam] = low;
            state->high[wParam] = high;
            return TRUE;
        }
        default:
            return DefWindowProcW(control, message, wParam, lParam);
    }
}

}  // namespace

LRESULT IpAddressWindowProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    API_TRACE(Windows, IpAddressWindowProc, control, message, wParam, lParam);
    return WithControlState<IpState>(control, message, wParam, lParam, IpMessage);
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
    API_TRACE(Windows, InitCommonControlsEx, init);
    if (init == nullptr || init->dwSize != sizeof(INITCOMMONCONTROLSEX))
        return sim::Fail(FALSE, ERROR_INVALID_PARAMETER);
    return TRUE;
}

void InitCommonControls() {
    API_TRACE_VOID(Windows, InitCommonControls);
}
