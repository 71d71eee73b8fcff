// The Edit control (single line): its text, selection and caret, typing, limits, the password,
// number-only and read-only styles, and the notifications to its parent (WM_COMMAND with EN_*).
// While typing it redraws itself through the public GetDC/ReleaseDC, as the platform's control
// does, so that whoever intercepts those two sees every redraw; WM_PAINT paints through the same
// routine. Text is measured in the controls' font: the caret's position and a click's character
// follow from that.
#include <algorithm>
#include <cstdlib>
#include <cwctype>
#include <string>

#include <winuser.h>
#include "platform/user32/classes.h"
#include "platform/user32/routing.h"
#include "machine/trace.h"

namespace {

constexpr int kMargin = 1;  // between the border (or the edge) and the text
constexpr std::size_t kDefaultLimit = 30000;
constexpr std::size_t kLargestLimit = 0x7FFFFFFE;
constexpr WCHAR kDefaultPasswordChar = L'*';

struct EditState {
    std::wstring text;
    std::size_t anchor = 0;  // the selection runs from the anchor to the caret
    std::size_t caret = 0;
    std::size_t firstVisible = 0;  // the first character in view
    std::size_t limit = kDefaultLimit;
    WCHAR passwordChar = 0;
    bool modified = false;

    std::size_t SelStart() const { return std::min(anchor, caret); }
    std::size_t SelEnd() const { return std::max(anchor, caret); }
};

EditState* StateOf(HWND window) {
    return ControlState<EditState>(window);
}

DWORD StyleOf(HWND window) {
    return static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
}

// What the edit shows of its text: the password character in place of each character.
std::wstring Shown(const EditState& state) {
    if (state.passwordChar != 0) return std::wstring(state.text.size(), state.passwordChar);
    return state.text;
}

// Measures text in the controls' font, on a memory context of its own.
class Measure {
public:
    Measure() : dc_(CreateCompatibleDC(nullptr)) {
        if (dc_ != nullptr) old_ = BeginControlDrawing(dc_);
    }
    ~Measure() {
        if (dc_ == nullptr) return;
        ControlDrawingDone(dc_, old_);
        DeleteDC(dc_);
    }
    Measure(const Measure&) = delete;
    Measure& operator=(const Measure&) = delete;
    int Width(const std::wstring& text, std::size_t from, std::size_t to) const {
        SIZE size{0, 0};
        if (dc_ != nullptr && to > from)
            GetTextExtentPoint32W(dc_, text.c_str() + from, static_cast<int>(to - from), &size);
        return size.cx;
    }
    int LineHeight() const {
        TEXTMETRICW tm{};
        return dc_ != nullptr && GetTextMetricsW(dc_, &tm) ? tm.tmHeight : 16;
    }

private:
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

// Where the text lies in the client area: its box (inside the border and margin), the x of
// the first character in view (alignment counted) and the y of the line's top.
struct TextPlace {
    RECT box{};
    int x = 0;
    int y = 0;
    int lineHeight = 0;
};

TextPlace PlaceOf(HWND window, const EditState& state, const Measure& m) {
    TextPlace p;
    GetClientRect(window, &p.box);
    int inset = SunkenBorder(window) + kMargin;
    p.box = {p.box.left + inset, p.box.top + inset, p.box.right - inset, p.box.bottom - inset};
    p.lineHeight = m.LineHeight();
    p.y = p.box.top + std::max(0, (p.box.bottom - p.box.top - p.lineHeight) / 2);
    const std::wstring shown = Shown(state);
    int width = m.Width(shown, state.firstVisible, shown.size());
    int room = p.box.right - p.box.left;
    p.x = p.box.left;
    if (width < room && (StyleOf(window) & ES_CENTER)) p.x += (room - width) / 2;
    if (width < room && (StyleOf(window) & ES_RIGHT) && !(StyleOf(window) & ES_CENTER))
        p.x += room - width;
    return p;
}

// The paint routine: WM_PAINT and the redraws while typing come here. The sunken border, the
// window colour (the face colour when disabled or read-only), the text in view, and the
// selection highlighted while the edit has the focus (or always with ES_NOHIDESEL). A caret
// showing its picture gets it back over the new text. The context may be one that lives on
// after ReleaseDC (a window's own memory context handed out by an intercepted GetDC): every
// setting changed here is given back before the routine returns.
void Paint(HWND window, HDC dc, const EditState& state) {
    const int oldMode = GetBkMode(dc);
    const COLORREF oldBack = GetBkColor(dc);
    const COLORREF oldText = GetTextColor(dc);
    RECT client{};
    GetClientRect(window, &client);
    const bool enabled = IsWindowEnabled(window) != FALSE;
    const bool face = !enabled || (StyleOf(window) & ES_READONLY);
    FillRect(dc, &client, GetSysColorBrush(face ? COLOR_BTNFACE : COLOR_WINDOW));
    if (SunkenBorder(window) != 0) DrawEdge(dc, &client, EDGE_SUNKEN, BF_RECT);
    Measure m;
    const TextPlace p = PlaceOf(window, state, m);
    const std::wstring shown = Shown(state);
    HGDIOBJ font = BeginControlDrawing(dc);
    const bool selection = state.SelEnd() > state.SelStart() &&
                           (GetFocus() == window || (StyleOf(window) & ES_NOHIDESEL));
    // Three runs from the first character in view: before, inside and after the selection.
    const std::size_t first = std::min(state.firstVisible, shown.size());
    const std::size_t cuts[4] = {first, std::clamp(state.SelStart(), first, shown.size()),
                                 std::clamp(state.SelEnd(), first, shown.size()), shown.size()};
    int x = p.x;
    for (int run = 0; run < 3; ++run) {
        std::size_t from = cuts[run], to = cuts[run + 1];
        if (to <= from) continue;
        const bool selected = selection && run == 1;
        int width = m.Width(shown, from, to);
        if (selected) {
            SetBkMode(dc, OPAQUE);
            SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
            SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        } else {
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
        }
        ExtTextOutW(dc, x, p.y, ETO_CLIPPED, &p.box, shown.c_str() + from,
                    static_cast<UINT>(to - from), nullptr);
        x += width;
    }
    ControlDrawingDone(dc, font);
    SetBkMode(dc, oldMode);
    SetBkColor(dc, oldBack);
    SetTextColor(dc, oldText);
    CaretPaintedOver(window, dc);
}

// Redraws outside WM_PAINT through the public device context functions.
void Redraw(HWND window) {
    PaintNow(window, [](HWND w, HDC dc) {
        if (EditState* state = StateOf(w)) Paint(w, dc, *state);
    });
}

// Keeps the caret in view and, while the edit has the focus, moves the caret there.
void PlaceCaret(HWND window, EditState& state) {
    Measure m;
    const std::wstring shown = Shown(state);
    TextPlace p = PlaceOf(window, state, m);
    const int room = std::max(1, static_cast<int>(p.box.right - p.box.left));
    if (state.caret < state.firstVisible) state.firstVisible = state.caret;
    while (state.firstVisible < state.caret &&
           m.Width(shown, state.firstVisible, state.caret) > room)
        ++state.firstVisible;
    if (GetFocus() != window) return;
    p = PlaceOf(window, state, m);
    SetCaretPos(p.x + m.Width(shown, state.firstVisible, state.caret), p.y);
}

// The character boundary nearest to x (client coordinates), among those in view and after.
std::size_t CharAt(HWND window, const EditState& state, int x) {
    Measure m;
    const std::wstring shown = Shown(state);
    const TextPlace p = PlaceOf(window, state, m);
    std::size_t best = state.firstVisible;
    int bestDistance = std::abs(x - p.x);
    for (std::size_t i = state.firstVisible + 1; i <= shown.size(); ++i) {
        int distance = std::abs(x - (p.x + m.Width(shown, state.firstVisible, i)));
        if (distance >= bestDistance) break;
        best = i;
        bestDistance = distance;
    }
    return best;
}

// The caret is as tall as a line of the controls' font.
int CaretHeight() {
    return Measure().LineHeight();
}

// Sends the notification; false when the parent destroyed the edit meanwhile.
bool Notify(HWND window, UINT code) {
    NotifyParent(window, code);
    return StateOf(window) != nullptr;
}

// Replaces the selection with `insert`, cut to what the limit leaves room for (EN_MAXTEXT when
// cut); then EN_UPDATE, the redraw and EN_CHANGE. Returns whether the text changed.
bool ReplaceSelection(HWND window, std::wstring insert, bool byUser) {
    EditState* state = StateOf(window);
    const std::size_t start = state->SelStart();
    const std::size_t end = state->SelEnd();
    const std::size_t kept = state->text.size() - (end - start);
    const std::size_t room = kept < state->limit ? state->limit - kept : 0;
    bool cut = false;
    if (insert.size() > room) {
        insert.resize(room);
        cut = true;
    }
    const bool changes = !insert.empty() || end > start;
    if (changes) {
        state->text.replace(start, end - start, insert);
        state->anchor = state->caret = start + insert.size();
        if (byUser) state->modified = true;
        DefWindowProcW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(state->text.c_str()));
        PlaceCaret(window, *state);
    }
    if (cut && !Notify(window, EN_MAXTEXT)) return false;
    if (!changes) return false;
    if (!Notify(window, EN_UPDATE)) return false;
    Redraw(window);
    Notify(window, EN_CHANGE);
    return true;
}

// Moves the caret (and the anchor with it); redraws when a selection disappears.
void MoveCaret(HWND window, EditState& state, std::size_t to) {
    const bool hadSelection = state.anchor != state.caret;
    state.anchor = state.caret = std::min(to, state.text.size());
    PlaceCaret(window, state);
    if (hadSelection) Redraw(window);
}

void SetSelection(HWND window, EditState& state, int start, int end) {
    const std::size_t length = state.text.size();
    auto clamp = [&](int v) {
        return v < 0 ? length : std::min(static_cast<std::size_t>(v), length);
    };
    if (start == -1) {  // only takes the selection away
        state.anchor = state.caret;
    } else {
        state.anchor = clamp(start);
        state.caret = clamp(end);
    }
    PlaceCaret(window, state);
    Redraw(window);
}

void OnChar(HWND window, WCHAR ch) {
    EditState* state = StateOf(window);
    const DWORD style = StyleOf(window);
    if (style & ES_READONLY) return;
    if (ch == VK_BACK) {
        if (state->anchor == state->caret) {
            if (state->caret == 0) return;
            state->anchor = state->caret - 1;
        }
        ReplaceSelection(window, L"", true);
        return;
    }
    if (ch < 0x20) return;  // other control characters type nothing
    if ((style & ES_NUMBER) && !(ch >= L'0' && ch <= L'9')) return;
    ReplaceSelection(window, std::wstring(1, ch), true);
}

void OnKeyDown(HWND window, WPARAM key) {
    EditState* state = StateOf(window);
    switch (key) {
        case VK_LEFT:
            if (state->anchor != state->caret)
                MoveCaret(window, *state, state->SelStart());
            else if (state->caret > 0)
                MoveCaret(window, *state, state->caret - 1);
            break;
        case VK_RIGHT:
            if (state->anchor != state->caret)
                MoveCaret(window, *state, state->SelEnd());
            else
                MoveCaret(window, *state, state->caret + 1);
            break;
        case VK_HOME:
            MoveCaret(window, *state, 0);
            break;
        case VK_END:
            MoveCaret(window, *state, state->text.size());
            break;
        case VK_DELETE:
            if (StyleOf(window) & ES_READONLY) break;
            if (state->anchor == state->caret) {
                if (state->caret >= state->text.size()) break;
                state->anchor = state->caret + 1;
            }
            ReplaceSelection(window, L"", true);
            break;
        default:
            break;
    }
}

LRESULT OnSetText(HWND window, LPCWSTR text) {
    EditState* state = StateOf(window);
    // The limit applies to typing and EM_REPLACESEL only, as on the platform.
    state->text = text != nullptr ? text : L"";
    state->anchor = state->caret = state->firstVisible = 0;
    state->modified = false;
    DefWindowProcW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(state->text.c_str()));
    PlaceCaret(window, *state);
    InvalidateRect(window, nullptr, TRUE);
    // A multi-line edit tells nothing of text set by its program.
    if (!(StyleOf(window) & ES_MULTILINE)) {
        if (!Notify(window, EN_UPDATE)) return TRUE;
        Notify(window, EN_CHANGE);
    }
    return TRUE;
}

LRESULT EditMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, EditState& self) {
    EditState* state = &self;
    switch (message) {
        case WM_CREATE: {
            auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            if (cs != nullptr && cs->lpszName != nullptr) state->text = cs->lpszName;
            if (StyleOf(window) & ES_PASSWORD) state->passwordChar = kDefaultPasswordChar;
            return 0;
        }
        case WM_SETTEXT:
            return OnSetText(window, reinterpret_cast<LPCWSTR>(lParam));
        case WM_CHAR:
            OnChar(window, static_cast<WCHAR>(wParam));
            return 0;
        case WM_KEYDOWN:
            OnKeyDown(window, wParam);
            return 0;
        case WM_LBUTTONDOWN: {
            SetFocus(window);
            if ((state = StateOf(window)) == nullptr) return 0;
            int x = static_cast<short>(LOWORD(static_cast<ULONG_PTR>(lParam)));
            MoveCaret(window, *state, CharAt(window, *state, x));
            return 0;
        }
        case WM_SETFOCUS:
            CreateCaret(window, nullptr, 1, CaretHeight());
            PlaceCaret(window, *state);
            ShowCaret(window);
            Notify(window, EN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            DestroyCaret();
            Notify(window, EN_KILLFOCUS);
            return 0;
        case WM_PRINTCLIENT:
            Paint(window, reinterpret_cast<HDC>(wParam), *state);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            if (dc != nullptr) {
                Paint(window, dc, *state);
                EndPaint(window, &ps);
            }
            return 0;
        }
        case WM_GETDLGCODE:
            return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        case EM_GETSEL: {
            auto start = static_cast<DWORD>(state->SelStart());
            auto end = static_cast<DWORD>(state->SelEnd());
            if (wParam != 0) *reinterpret_cast<DWORD*>(wParam) = start;
            if (lParam != 0) *reinterpret_cast<DWORD*>(lParam) = end;
            return static_cast<LRESULT>(MAKELPARAM(static_cast<int>(start), static_cast<int>(end)));
        }
        case EM_SETSEL:
            SetSelection(window, *state, static_cast<int>(wParam), static_cast<int>(lParam));
            return 0;
        case EM_REPLACESEL: {
            auto* text = reinterpret_cast<LPCWSTR>(lParam);
            ReplaceSelection(window, text != nullptr ? text : L"", true);
            return 0;
        }
        case EM_LIMITTEXT:
            state->limit =
                wParam == 0 ? kLargestLimit : std::min<std::size_t>(wParam, kLargestLimit);
            return 0;
        case EM_GETLIMITTEXT:
            return static_cast<LRESULT>(state->limit);
        case EM_SETPASSWORDCHAR: {
            if (StyleOf(window) & ES_MULTILINE) return 0;
            state->passwordChar = static_cast<WCHAR>(wParam);
            DWORD style = StyleOf(window);
            style = state->passwordChar != 0 ? (style | ES_PASSWORD) : (style & ~ES_PASSWORD);
            SetWindowLongPtrW(window, GWL_STYLE, static_cast<LONG_PTR>(style));
            InvalidateRect(window, nullptr, TRUE);
            return 0;
        }
        case EM_GETPASSWORDCHAR:
            return state->passwordChar;
        case EM_SETREADONLY: {
            DWORD style = StyleOf(window);
            style = wParam != 0 ? (style | ES_READONLY) : (style & ~ES_READONLY);
            SetWindowLongPtrW(window, GWL_STYLE, static_cast<LONG_PTR>(style));
            InvalidateRect(window, nullptr, TRUE);
            return TRUE;
        }
        case EM_GETMODIFY:
            return state->modified ? TRUE : FALSE;
        case EM_SETMODIFY:
            state->modified = wParam != 0;
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

LRESULT EditWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    API_TRACE(Windows, EditWindowProc, window, message, wParam, lParam);
    return WithControlState<EditState>(window, message, wParam, lParam, EditMessage);
}
