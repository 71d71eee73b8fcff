// The Edit control (single line): its text, selection and caret, typing, limits, the password,
// number-only and read-only styles, and the notifications to its parent (WM_COMMAND with EN_*).
// While typing it redraws itself through the public GetDC/ReleaseDC, as the platform's control
// does, so that whoever intercepts those two sees every redraw; WM_PAINT paints through the same
// routine. Until text is measured (the drawing issue), every character counts as kCharWidth
// pixels wide: the caret's position follows from that.
#include <algorithm>
#include <cwctype>
#include <string>

#include "platform/user.h"
#include "platform/user_classes.h"
#include "platform/user_controls.h"
#include "platform/sim/trace.h"

namespace {

constexpr int kCharWidth = 8;
constexpr int kLineHeight = 16;
constexpr int kMargin = 1;
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

// The paint routine: WM_PAINT and the redraws while typing come here. It draws nothing yet (the
// text, with the password character in place of each character when there is one, the selection
// and the background come with the drawing issue).
void Paint(HWND window, HDC dc, const EditState& state) {}

// Redraws outside WM_PAINT through the public device context functions.
void Redraw(HWND window) {
    EditState* state = StateOf(window);
    if (state == nullptr || !IsWindowVisible(window)) return;
    HDC dc = GetDC(window);
    if (dc == nullptr) return;
    Paint(window, dc, *state);
    ReleaseDC(window, dc);
}

// Keeps the caret in view and, while the edit has the focus, moves the caret there.
void PlaceCaret(HWND window, EditState& state) {
    RECT client{};
    GetClientRect(window, &client);
    auto inView = static_cast<std::size_t>(
        std::max(1, (client.right - client.left - 2 * kMargin) / kCharWidth));
    if (state.caret < state.firstVisible) state.firstVisible = state.caret;
    if (state.caret > state.firstVisible + inView) state.firstVisible = state.caret - inView;
    if (GetFocus() != window) return;
    SetCaretPos(kMargin + static_cast<int>(state.caret - state.firstVisible) * kCharWidth, kMargin);
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
            int x = static_cast<short>(LOWORD(static_cast<ULONG_PTR>(lParam))) - kMargin;
            std::size_t at = state->firstVisible + static_cast<std::size_t>(std::max(
                                                       0, (x + kCharWidth / 2) / kCharWidth));
            MoveCaret(window, *state, at);
            return 0;
        }
        case WM_SETFOCUS:
            CreateCaret(window, nullptr, 1, kLineHeight);
            PlaceCaret(window, *state);
            ShowCaret(window);
            Notify(window, EN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            DestroyCaret();
            Notify(window, EN_KILLFOCUS);
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
