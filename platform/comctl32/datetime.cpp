// The date and time picker ("SysDateTimePick32"): a date or a time shown in a white field by the
// locale's short or long date or time picture (DTS_LONGDATEFORMAT, DTS_TIMEFORMAT) or a picture
// of the program's (DTM_SETFORMATW), with a drop button at the right or, with DTS_UPDOWN, a spin
// button; DTS_SHOWNONE puts a check box before the text, and while it is unchecked the picker
// holds no time (GDT_NONE) and shows its text grey. The fields of the picture are selected by a
// click or by Left and Right; Up and Down (or the spin button) step the selected one, wrapping
// within its range, and digits type a new value (a field that cannot take another digit passes
// the selection on). Every change the user makes reaches the parent as DTN_DATETIMECHANGE. The
// time stays within DTM_SETRANGE's ends. The window text is the shown text. The drop-down month
// calendar is not there.
#include <algorithm>
#include <string>
#include <vector>

#include <commctrl.h>
#include <wingdi.h>
#include <winbase.h>
#include "platform/kernel32/nls_picture.h"
#include <winuser.h>
#include "platform/user32/classes.h"
#include "machine/trace.h"

namespace {

constexpr int kButtonWidth = 16;  // the drop button and the spin button
constexpr int kCheckSize = 13;
constexpr int kTextGap = 2;  // from the border (or the check box) to the text

struct PickState {
    SYSTEMTIME time{};
    bool none = false;     // a DTS_SHOWNONE picker whose box is unchecked
    std::wstring picture;  // the program's picture; the style's when empty
    bool custom = false;
    int field = 0;       // the selected field (an index among the picture's fields)
    std::wstring typed;  // digits typed into the selected field so far
    DWORD rangeFlags = 0;
    SYSTEMTIME minimum{};
    SYSTEMTIME maximum{};
};

PickState* StateOf(HWND control) {
    return ControlState<PickState>(control);
}

DWORD StyleOf(HWND control) {
    return static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
}

std::vector<nls::PicturePart> Parts(HWND control, const PickState& s) {
    if (s.custom) return nls::SplitPicture(s.picture);
    const DWORD style = StyleOf(control);
    const nls::LocaleData& locale = nls::UserLocale();
    if ((style & DTS_TIMEFORMAT) == DTS_TIMEFORMAT) return nls::SplitPicture(locale.time);
    return nls::SplitPicture(style & DTS_LONGDATEFORMAT ? locale.longDate : locale.shortDate);
}

// The parts that are fields, by their place among the parts.
std::vector<std::size_t> Fields(const std::vector<nls::PicturePart>& parts) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < parts.size(); ++i)
        if (parts[i].letter != 0) out.push_back(i);
    return out;
}

// ---- Time arithmetic ----

long long Key(const SYSTEMTIME& t) {
    return ((((static_cast<long long>(t.wYear) * 13 + t.wMonth) * 32 + t.wDay) * 24 + t.wHour) *
                60 +
            t.wMinute) *
               60 +
           t.wSecond;
}

void Normalise(SYSTEMTIME& t) {
    t.wDay = static_cast<WORD>(std::min<int>(t.wDay, nls::DaysInMonth(t.wYear, t.wMonth)));
    t.wDayOfWeek = static_cast<WORD>(nls::DayOfWeek(t.wYear, t.wMonth, t.wDay));
}

// The time brought within the picker's range.
SYSTEMTIME InRange(const PickState& s, SYSTEMTIME t) {
    if ((s.rangeFlags & GDTR_MIN) && Key(t) < Key(s.minimum)) t = s.minimum;
    if ((s.rangeFlags & GDTR_MAX) && Key(t) > Key(s.maximum)) t = s.maximum;
    t.wMilliseconds = 0;
    Normalise(t);
    return t;
}

// A field's value and its bounds.
struct FieldValue {
    int value;
    int low;
    int high;
};

FieldValue ValueOf(wchar_t letter, const SYSTEMTIME& t) {
    switch (letter) {
        case L'd':
            return {t.wDay, 1, nls::DaysInMonth(t.wYear, t.wMonth)};
        case L'M':
            return {t.wMonth, 1, 12};
        case L'y':
            return {t.wYear, 1601, 30827};
        case L'h':
            return {t.wHour % 12 == 0 ? 12 : t.wHour % 12, 1, 12};
        case L'H':
            return {t.wHour, 0, 23};
        case L'm':
            return {t.wMinute, 0, 59};
        case L's':
            return {t.wSecond, 0, 59};
        case L't':
            return {t.wHour / 12, 0, 1};
        default:
            return {0, 0, 0};
    }
}

void SetValue(wchar_t letter, SYSTEMTIME& t, int v) {
    switch (letter) {
        case L'd':
            t.wDay = static_cast<WORD>(v);
            break;
        case L'M':
            t.wMonth = static_cast<WORD>(v);
            break;
        case L'y':
            t.wYear = static_cast<WORD>(v);
            break;
        case L'h':
            t.wHour = static_cast<WORD>(v % 12 + (t.wHour >= 12 ? 12 : 0));
            break;
        case L'H':
            t.wHour = static_cast<WORD>(v);
            break;
        case L'm':
            t.wMinute = static_cast<WORD>(v);
            break;
        case L's':
            t.wSecond = static_cast<WORD>(v);
            break;
        case L't':
            t.wHour = static_cast<WORD>(t.wHour % 12 + 12 * v);
            break;
        default:
            break;
    }
    Normalise(t);
}

// ---- Layout ----

struct Geometry {
    RECT text;                 // where the text lies
    RECT check;                // the check box (empty without DTS_SHOWNONE)
    RECT button;               // the drop button or the spin button
    std::vector<RECT> fields;  // each field's text, by field index
};

// Text is measured in a context of its own: the picker never asks for its window's context
// outside painting.
Geometry Layout(HWND control, const PickState& s, HDC given = nullptr) {
    RECT client{};
    GetClientRect(control, &client);
    const int border = SunkenBorder(control);
    Geometry g{};
    RECT inner{client.left + border, client.top + border, client.right - border,
               client.bottom - border};
    g.button = {std::max(inner.left, inner.right - kButtonWidth), inner.top, inner.right,
                inner.bottom};
    int x = inner.left + kTextGap;
    if (StyleOf(control) & DTS_SHOWNONE) {
        const int top = inner.top + (inner.bottom - inner.top - kCheckSize) / 2;
        g.check = {x, top, x + kCheckSize, top + kCheckSize};
        x += kCheckSize + kTextGap;
    }
    g.text = {x, inner.top, g.button.left, inner.bottom};
    HDC dc = given != nullptr ? given : CreateCompatibleDC(nullptr);
    if (dc == nullptr) return g;
    HGDIOBJ font = BeginControlDrawing(dc);
    for (const nls::PicturePart& part : Parts(control, s)) {
        const std::wstring piece = nls::FormatPart(part, s.time);
        SIZE size{};
        GetTextExtentPoint32W(dc, piece.c_str(), static_cast<int>(piece.size()), &size);
        if (part.letter != 0)
            g.fields.push_back({x, g.text.top + 1, x + size.cx, g.text.bottom - 1});
        x += size.cx;
    }
    ControlDrawingDone(dc, font);
    if (given == nullptr) DeleteDC(dc);
    return g;
}

// ---- Drawing ----

// A small solid triangle pointing up or down, centred in the rectangle.
void Arrow(HDC dc, const RECT& r, bool up, bool enabled) {
    const int cx = (r.left + r.right) / 2;
    const int cy = (r.top + r.bottom) / 2;
    const int half = std::max(1, std::min({3, static_cast<int>(r.right - r.left - 4) / 2,
                                           static_cast<int>(r.bottom - r.top - 4) / 2}));
    for (int row = 0; row <= half; ++row) {
        const int y = up ? cy - half / 2 + row : cy + half / 2 - row;
        const int spread = row;
        RECT line{cx - spread, y, cx + spread + 1, y + 1};
        FillRect(dc, &line, GetSysColorBrush(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    }
}

void DrawButton(HWND control, HDC dc, const Geometry& g) {
    const bool enabled = IsWindowEnabled(control) != FALSE;
    if (StyleOf(control) & DTS_UPDOWN) {
        const int middle = (g.button.top + g.button.bottom) / 2;
        RECT up{g.button.left, g.button.top, g.button.right, middle};
        RECT down{g.button.left, middle, g.button.right, g.button.bottom};
        for (RECT* r : {&up, &down}) {
            RECT face = *r;
            DrawEdge(dc, &face, EDGE_RAISED, BF_RECT | BF_MIDDLE);
            Arrow(dc, *r, r == &up, enabled);
        }
        return;
    }
    RECT face = g.button;
    DrawEdge(dc, &face, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    Arrow(dc, g.button, false, enabled);
}

// The one picture of WM_PAINT and WM_PRINTCLIENT.
void Paint(HWND control, HDC dc, const PickState& s) {
    RECT client{};
    GetClientRect(control, &client);
    const bool enabled = IsWindowEnabled(control) != FALSE;
    FillRect(dc, &client, GetSysColorBrush(enabled ? COLOR_WINDOW : COLOR_BTNFACE));
    if (SunkenBorder(control) != 0) DrawEdge(dc, &client, EDGE_SUNKEN, BF_RECT);
    const Geometry g = Layout(control, s, dc);
    if (StyleOf(control) & DTS_SHOWNONE) {
        RECT box = g.check;
        UINT state = DFCS_BUTTONCHECK | (s.none ? 0 : DFCS_CHECKED) | (enabled ? 0 : DFCS_INACTIVE);
        DrawFrameControl(dc, &box, DFC_BUTTON, state);
    }
    HRGN clip = CreateRectRgn(0, 0, 0, 0);
    const bool hadClip = GetClipRgn(dc, clip) == 1;
    IntersectClipRect(dc, g.text.left, g.text.top, g.text.right, g.text.bottom);
    HGDIOBJ font = BeginControlDrawing(dc);
    const bool focused = GetFocus() == control;
    const bool grey = !enabled || s.none;
    const std::vector<nls::PicturePart> parts = Parts(control, s);
    int x = g.text.left;
    int field = 0;
    for (const nls::PicturePart& part : parts) {
        const std::wstring piece = nls::FormatPart(part, s.time);
        SIZE size{};
        GetTextExtentPoint32W(dc, piece.c_str(), static_cast<int>(piece.size()), &size);
        RECT r{x, g.text.top, x + size.cx, g.text.bottom};
        const bool selected = part.letter != 0 && field == s.field && focused && !grey;
        if (selected) {
            RECT mark = g.fields[static_cast<std::size_t>(field)];
            FillRect(dc, &mark, GetSysColorBrush(COLOR_HIGHLIGHT));
        }
        const COLORREF color = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT
                                           : grey   ? COLOR_GRAYTEXT
                                                    : COLOR_WINDOWTEXT);
        SetTextColor(dc, color);
        DrawTextW(dc, piece.c_str(), static_cast<int>(piece.size()), &r,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
        if (part.letter != 0) ++field;
        x += size.cx;
    }
    ControlDrawingDone(dc, font);
    SelectClipRgn(dc, hadClip ? clip : nullptr);
    DeleteObject(clip);
    DrawButton(control, dc, g);
}

// ---- Changes ----

void Notify(HWND control, const PickState& s) {
    HWND parent = GetParent(control);
    if (parent == nullptr) return;
    NMDATETIMECHANGE nm{};
    nm.nmhdr.hwndFrom = control;
    nm.nmhdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(control));
    nm.nmhdr.code = DTN_DATETIMECHANGE;
    nm.dwFlags = s.none ? GDT_NONE : GDT_VALID;
    nm.st = s.time;
    SendMessageW(parent, WM_NOTIFY, nm.nmhdr.idFrom, reinterpret_cast<LPARAM>(&nm));
}

// The user's change: kept within the range, shown, told to the parent when it changed anything.
void Change(HWND control, PickState& s, SYSTEMTIME to) {
    to = InRange(s, to);
    const bool changed = Key(to) != Key(s.time);
    s.time = to;
    RedrawNow(control);
    if (changed && StateOf(control) != nullptr) Notify(control, s);
}

// The selected field's part (letter 0 when the picture has no field).
nls::PicturePart SelectedPart(HWND control, const PickState& s) {
    const auto parts = Parts(control, s);
    const auto fields = Fields(parts);
    if (fields.empty()) return {};
    return parts[fields[static_cast<std::size_t>(
        std::clamp<int>(s.field, 0, static_cast<int>(fields.size()) - 1))]];
}

wchar_t SelectedLetter(HWND control, const PickState& s) {
    return SelectedPart(control, s).letter;
}

int FieldCount(HWND control, const PickState& s) {
    return static_cast<int>(Fields(Parts(control, s)).size());
}

void Select(HWND control, PickState& s, int field) {
    const int count = FieldCount(control, s);
    if (count == 0) return;
    s.field = (field % count + count) % count;
    s.typed.clear();
    RedrawNow(control);
}

void Step(HWND control, PickState& s, int by) {
    if (s.none) return;
    const wchar_t letter = SelectedLetter(control, s);
    if (letter == 0) return;
    s.typed.clear();
    const FieldValue f = ValueOf(letter, s.time);
    const int span = f.high - f.low + 1;
    SYSTEMTIME to = s.time;
    SetValue(letter, to, f.low + ((f.value - f.low + by) % span + span) % span);
    Change(control, s, to);
}

// A digit typed into the selected field: the digits typed so far make its new value when it fits;
// a field that cannot take another digit hands the selection to the next one.
void Digit(HWND control, PickState& s, wchar_t digit) {
    if (s.none) return;
    const nls::PicturePart part = SelectedPart(control, s);
    const wchar_t letter = part.letter;
    if (letter == 0 || letter == L't') return;
    s.typed += digit;
    // A year of two digits stays in the century shown.
    const bool shortYear = letter == L'y' && part.count <= 2;
    const int value = std::stoi(s.typed) + (shortYear ? s.time.wYear / 100 * 100 : 0);
    const FieldValue f = ValueOf(letter, s.time);
    const std::size_t width = letter == L'y' && !shortYear ? 4 : 2;
    const bool full = s.typed.size() >= width || (!shortYear && value * 10 > f.high);
    SYSTEMTIME to = s.time;
    if (value >= f.low && value <= f.high) {
        SetValue(letter, to, letter == L'h' ? value % 12 : value);
        Change(control, s, to);
        if (StateOf(control) == nullptr) return;
    }
    if (full) Select(control, s, s.field + 1);
}

void Marker(HWND control, PickState& s, wchar_t c) {
    if (s.none || SelectedLetter(control, s) != L't') return;
    SYSTEMTIME to = s.time;
    SetValue(L't', to, (c == L'p' || c == L'P') ? 1 : 0);
    Change(control, s, to);
}

void Toggle(HWND control, PickState& s) {
    s.none = !s.none;
    s.typed.clear();
    RedrawNow(control);
    Notify(control, s);
}

void Press(HWND control, PickState& s, POINT at) {
    if (GetFocus() != control) SetFocus(control);
    if (StateOf(control) == nullptr) return;
    const Geometry g = Layout(control, s);
    if ((StyleOf(control) & DTS_SHOWNONE) && InRect(g.check, at)) {
        Toggle(control, s);
        return;
    }
    if (InRect(g.button, at)) {
        if (StyleOf(control) & DTS_UPDOWN)
            Step(control, s, at.y < (g.button.top + g.button.bottom) / 2 ? 1 : -1);
        return;  // the drop-down calendar is not there
    }
    for (std::size_t i = 0; i < g.fields.size(); ++i)
        if (at.x >= g.fields[i].left && at.x < g.fields[i].right) {
            Select(control, s, static_cast<int>(i));
            return;
        }
}

LRESULT PickMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam, PickState& s) {
    if (PaintMessage(control, message, wParam, [&](HDC dc) { Paint(control, dc, s); })) return 0;
    switch (message) {
        case WM_CREATE:
            GetLocalTime(&s.time);
            s.time = InRange(s, s.time);
            return 0;
        case WM_ERASEBKGND:
            return TRUE;  // the paint fills the whole client area
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE:
            s.typed.clear();
            RedrawNow(control);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:  // a second click soon after is a click too
            Press(control, s, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        case WM_KEYDOWN:
            switch (wParam) {
                case VK_LEFT:
                    Select(control, s, s.field - 1);
                    break;
                case VK_RIGHT:
                    Select(control, s, s.field + 1);
                    break;
                case VK_UP:
                    Step(control, s, 1);
                    break;
                case VK_DOWN:
                    Step(control, s, -1);
                    break;
                case VK_HOME:
                    Select(control, s, 0);
                    break;
                case VK_END:
                    Select(control, s, -1);
                    break;
                default:
                    break;
            }
            return 0;
        case WM_CHAR:
            if (wParam >= L'0' && wParam <= L'9')
                Digit(control, s, static_cast<wchar_t>(wParam));
            else if (wParam == L' ' && (StyleOf(control) & DTS_SHOWNONE))
                Toggle(control, s);
            else
                Marker(control, s, static_cast<wchar_t>(wParam));
            return 0;
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(nls::Format(Parts(control, s), s.time).size());
        case WM_GETTEXT: {
            const std::wstring text = nls::Format(Parts(control, s), s.time);
            auto* out = reinterpret_cast<LPWSTR>(lParam);
            if (out == nullptr || wParam == 0) return 0;
            const std::size_t n = std::min<std::size_t>(text.size(), wParam - 1);
            std::copy_n(text.begin(), n, out);
            out[n] = 0;
            return static_cast<LRESULT>(n);
        }
        case DTM_GETSYSTEMTIME:
            if (lParam == 0) return GDT_ERROR;
            if (s.none) return GDT_NONE;
            *reinterpret_cast<SYSTEMTIME*>(lParam) = s.time;
            return GDT_VALID;
        case DTM_SETSYSTEMTIME: {
            if (wParam == GDT_NONE) {
                if (!(StyleOf(control) & DTS_SHOWNONE)) return FALSE;
                s.none = true;
            } else {
                const auto* t = reinterpret_cast<const SYSTEMTIME*>(lParam);
                if (wParam != GDT_VALID || t == nullptr || !nls::ValidDate(*t) ||
                    !nls::ValidTime(*t))
                    return FALSE;
                s.time = InRange(s, *t);
                s.none = false;
            }
            s.typed.clear();
            RedrawNow(control);
            return TRUE;
        }
        case DTM_GETRANGE:
            if (lParam != 0) {
                auto* ends = reinterpret_cast<SYSTEMTIME*>(lParam);
                ends[0] = s.rangeFlags & GDTR_MIN ? s.minimum : SYSTEMTIME{};
                ends[1] = s.rangeFlags & GDTR_MAX ? s.maximum : SYSTEMTIME{};
            }
            return s.rangeFlags;
        case DTM_SETRANGE: {
            const auto* ends = reinterpret_cast<const SYSTEMTIME*>(lParam);
            const DWORD flags = static_cast<DWORD>(wParam) & (GDTR_MIN | GDTR_MAX);
            if (flags != 0 && ends == nullptr) return FALSE;
            for (int i = 0; i < 2; ++i) {
                const DWORD bit = i == 0 ? GDTR_MIN : GDTR_MAX;
                if ((flags & bit) && (!nls::ValidDate(ends[i]) || !nls::ValidTime(ends[i])))
                    return FALSE;
            }
            if (flags == (GDTR_MIN | GDTR_MAX) && Key(ends[0]) > Key(ends[1])) return FALSE;
            s.rangeFlags = flags;
            if (flags & GDTR_MIN) s.minimum = ends[0];
            if (flags & GDTR_MAX) s.maximum = ends[1];
            s.time = InRange(s, s.time);
            RedrawNow(control);
            return TRUE;
        }
        case DTM_SETFORMATW: {
            const auto* picture = reinterpret_cast<LPCWSTR>(lParam);
            s.custom = picture != nullptr;
            s.picture = picture != nullptr ? picture : L"";
            s.field = std::clamp(s.field, 0, std::max(0, FieldCount(control, s) - 1));
            s.typed.clear();
            RedrawNow(control);
            return TRUE;
        }
        default:
            return DefWindowProcW(control, message, wParam, lParam);
    }
}

}  // namespace

LRESULT DateTimePickWindowProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    API_TRACE(Windows, DateTimePickWindowProc, control, message, wParam, lParam);
    return WithControlState<PickState>(control, message, wParam, lParam, PickMessage);
}
