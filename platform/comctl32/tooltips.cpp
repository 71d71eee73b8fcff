// Tooltips: a pop-up window that keeps a list of tools (rectangles of windows, or whole windows)
// and shows a tool's text after the mouse has rested on it for the initial delay. It learns of
// the mouse from the messages its owner relays (TTM_RELAYEVENT): a move onto a tool starts the
// delay on the machine clock, a move off every tool or a button press hides the tip, and a shown
// tip goes by itself after the auto-pop delay. The shown tool is kept in the window's extra
// bytes (user32/classes.h), where the machine's control reads it.
#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include <commctrl.h>
#include <winres.h>
#include <winuser.h>
#include "platform/user32/classes.h"
#include "machine/handles.h"
#include "machine/trace.h"

namespace {

// Without TTM_SETDELAYTIME the delays follow the double-click time (500 ms).
constexpr int kDoubleClickTime = 500;
constexpr UINT_PTR kShowTimer = 1;
constexpr UINT_PTR kPopTimer = 2;
constexpr int kPadding = 4;  // between the frame and the text
constexpr UINT kTextFormat = DT_LEFT | DT_NOPREFIX | DT_WORDBREAK;
constexpr int kBelowCursor = 20;
// What TTM_GETTOOLINFOW copies into the caller's text buffer at most, terminator included.
constexpr std::size_t kToolInfoText = 80;

struct Tool {
    UINT flags = 0;
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    RECT rect{};
    HINSTANCE instance = nullptr;
    std::wstring text;
    LPARAM lParam = 0;
};

struct TipState {
    std::vector<Tool> tools;
    bool active = true;
    int initial = -1;  // -1: the default
    int autopop = -1;
    int reshow = -1;
    int maxWidth = -1;
    // The tool under the mouse (hover), whether its tip was dismissed (a press, the auto-pop)
    // until the mouse leaves it, and whether the tip shows.
    bool hovering = false;
    HWND hoverWindow = nullptr;
    UINT_PTR hoverId = 0;
    bool dismissed = false;
    bool shown = false;
    POINT lastPoint{0, 0};  // screen position of the last relayed move (the tip goes below it)

    int Initial() const { return initial >= 0 ? initial : kDoubleClickTime; }
    int Autopop() const { return autopop >= 0 ? autopop : Initial() * 10; }
    int Reshow() const { return reshow >= 0 ? reshow : Initial() / 5; }
};

Tool* FindTool(TipState& state, HWND hwnd, UINT_PTR id) {
    for (Tool& t : state.tools)
        if (t.hwnd == hwnd && t.id == id) return &t;
    return nullptr;
}

Tool* HoveredTool(TipState& state) {
    return state.hovering ? FindTool(state, state.hoverWindow, state.hoverId) : nullptr;
}

// A relayed message's point: lParam, in the client coordinates of msg.hwnd. (msg.pt is not
// read: a caller relaying a message for another window, a disabled one for instance, may leave
// it in that window's client coordinates.)
POINT MessagePoint(const MSG& msg) {
    return {static_cast<short>(LOWORD(static_cast<ULONG_PTR>(msg.lParam))),
            static_cast<short>(HIWORD(static_cast<ULONG_PTR>(msg.lParam)))};
}

// The tool under a relayed mouse message: msg.hwnd is taken as the window under the mouse as it
// is (disabled or covered), with no hit test of its own.
Tool* ToolAt(TipState& state, const MSG& msg) {
    const auto [x, y] = MessagePoint(msg);
    for (Tool& t : state.tools) {
        if (t.flags & TTF_IDISHWND) {
            if (reinterpret_cast<HWND>(t.id) == msg.hwnd) return &t;
        } else if (t.hwnd == msg.hwnd && x >= t.rect.left && x < t.rect.right && y >= t.rect.top &&
                   y < t.rect.bottom) {
            return &t;
        }
    }
    return nullptr;
}

// A tool's text: the text given, or the string resource its id names.
bool TextOf(const TOOLINFOW& info, std::wstring& text) {
    if (info.lpszText == LPSTR_TEXTCALLBACKW) return false;
    if (info.lpszText == nullptr) {
        text.clear();
    } else if (IS_INTRESOURCE(info.lpszText)) {
        WCHAR buffer[1024] = {};
        LoadStringW(info.hinst, static_cast<UINT>(reinterpret_cast<ULONG_PTR>(info.lpszText)),
                    buffer, 1024);
        text = buffer;
    } else {
        text = info.lpszText;
    }
    return true;
}

void Hide(HWND tip, TipState& state) {
    KillTimer(tip, kPopTimer);
    if (!state.shown) return;
    state.shown = false;
    SetWindowLongPtrW(tip, kTooltipShownWindow, 0);
    SetWindowLongPtrW(tip, kTooltipShownId, 0);
    ShowWindow(tip, SW_HIDE);
}

// The mouse is on no tool any more.
void Leave(HWND tip, TipState& state) {
    KillTimer(tip, kShowTimer);
    state.hovering = false;
    state.dismissed = false;
    Hide(tip, state);
}

// The size of the tip for the text: the text's extent in the controls' font (wrapped at the
// maximum width when one is set) and the padding.
SIZE TipSize(const TipState& state, const std::wstring& text) {
    SIZE size{2 * kPadding, 2 * kPadding};
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) return size;
    HGDIOBJ font = BeginControlDrawing(dc);
    const bool wrap = state.maxWidth > 2 * kPadding;
    RECT r{0, 0, wrap ? state.maxWidth - 2 * kPadding : 0x7FFF, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | (wrap ? kTextFormat : (kTextFormat & ~DT_WORDBREAK)));
    ControlDrawingDone(dc, font);
    DeleteDC(dc);
    size.cx += r.right - r.left;
    size.cy += r.bottom - r.top;
    if (wrap && size.cx > state.maxWidth) size.cx = state.maxWidth;
    return size;
}

// The tip's look: the tooltip colour in a black frame, the text inside the padding.
void Paint(HWND tip, HDC dc) {
    RECT client{};
    GetClientRect(tip, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_INFOBK));
    FrameRect(dc, &client, GetSysColorBrush(COLOR_WINDOWFRAME));
    const std::wstring text = WindowText(tip);
    RECT inside{client.left + kPadding, client.top + kPadding, client.right - kPadding,
                client.bottom - kPadding};
    HGDIOBJ font = BeginControlDrawing(dc);
    SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &inside, kTextFormat);
    ControlDrawingDone(dc, font);
}

void Show(HWND tip, TipState& state) {
    Tool* tool = HoveredTool(state);
    if (tool == nullptr || tool->text.empty()) return;  // an empty text shows no tip
    const std::wstring text = tool->text;
    SetWindowTextW(tip, text.c_str());
    SIZE size = TipSize(state, text);
    SetWindowPos(tip, HWND_TOP, state.lastPoint.x, state.lastPoint.y + kBelowCursor, size.cx,
                 size.cy, SWP_NOACTIVATE);
    SetWindowLongPtrW(tip, kTooltipShownWindow, reinterpret_cast<LONG_PTR>(state.hoverWindow));
    SetWindowLongPtrW(tip, kTooltipShownId, static_cast<LONG_PTR>(state.hoverId));
    state.shown = true;
    ShowWindow(tip, SW_SHOWNOACTIVATE);
    SetTimer(tip, kPopTimer, static_cast<UINT>(state.Autopop()), nullptr);
}

void Relay(HWND tip, TipState& state, const MSG& msg) {
    if (!state.active) return;
    switch (msg.message) {
        case WM_MOUSEMOVE: {
            POINT at = MessagePoint(msg);
            ClientToScreen(msg.hwnd, &at);
            state.lastPoint = at;
            Tool* tool = ToolAt(state, msg);
            if (tool == nullptr) {
                Leave(tip, state);
            } else if (!state.hovering || tool->hwnd != state.hoverWindow ||
                       tool->id != state.hoverId) {
                // From one tool straight to another: the shorter reshow delay.
                const bool wasShown = state.shown;
                Hide(tip, state);
                state.hovering = true;
                state.hoverWindow = tool->hwnd;
                state.hoverId = tool->id;
                state.dismissed = false;
                SetTimer(tip, kShowTimer,
                         static_cast<UINT>(wasShown ? state.Reshow() : state.Initial()), nullptr);
            }
            return;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
            KillTimer(tip, kShowTimer);
            state.dismissed = true;
            Hide(tip, state);
            return;
        default:  // keys, timers, the non-client area: nothing of the mouse over the tools
            return;
    }
}

void SetDelay(TipState& state, WPARAM which, int ms) {
    switch (which) {
        case TTDT_AUTOMATIC:
            state.initial = ms;
            state.autopop = ms >= 0 ? ms * 10 : -1;
            state.reshow = ms >= 0 ? ms / 5 : -1;
            break;
        case TTDT_INITIAL:
            state.initial = ms;
            break;
        case TTDT_AUTOPOP:
            state.autopop = ms;
            break;
        case TTDT_RESHOW:
            state.reshow = ms;
            break;
        default:
            break;
    }
}

// TOOLINFOW up to lpszText is the least a caller passes.
bool ValidInfo(const TOOLINFOW* info) {
    return info != nullptr && info->cbSize >= offsetof(TOOLINFOW, lParam);
}

LRESULT TipMessage(HWND tip, UINT message, WPARAM wParam, LPARAM lParam, TipState& self) {
    TipState* state = &self;
    auto* info = reinterpret_cast<TOOLINFOW*>(lParam);
    switch (message) {
        case WM_TIMER:
            KillTimer(tip, wParam);
            if (wParam == kShowTimer && state->active && !state->dismissed) {
                Show(tip, *state);
            } else if (wParam == kPopTimer) {
                state->dismissed = true;
                Hide(tip, *state);
            }
            return 0;
        case WM_PRINTCLIENT:
            Paint(tip, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(tip, &ps);
            if (dc != nullptr) {
                Paint(tip, dc);
                EndPaint(tip, &ps);
            }
            return 0;
        }
        case TTM_ACTIVATE:
            state->active = wParam != 0;
            if (!state->active) Leave(tip, *state);
            return 0;
        case TTM_RELAYEVENT:
            if (lParam != 0) Relay(tip, *state, *reinterpret_cast<const MSG*>(lParam));
            return 0;
        case TTM_ADDTOOLW: {
            Tool tool;
            if (!ValidInfo(info) || !TextOf(*info, tool.text)) return FALSE;
            tool.flags = info->uFlags;
            tool.hwnd = info->hwnd;
            tool.id = info->uId;
            tool.rect = info->rect;
            tool.instance = info->hinst;
            if (info->cbSize >= offsetof(TOOLINFOW, lpReserved)) tool.lParam = info->lParam;
            state->tools.push_back(std::move(tool));
            return TRUE;
        }
        case TTM_DELTOOLW: {
            if (!ValidInfo(info)) return 0;
            Tool* tool = FindTool(*state, info->hwnd, info->uId);
            if (tool == nullptr) return 0;
            if (tool == HoveredTool(*state)) Leave(tip, *state);
            state->tools.erase(state->tools.begin() + (tool - state->tools.data()));
            return 0;
        }
        case TTM_UPDATETIPTEXTW: {
            if (!ValidInfo(info)) return 0;
            Tool* tool = FindTool(*state, info->hwnd, info->uId);
            if (tool == nullptr || !TextOf(*info, tool->text)) return 0;
            if (state->shown && tool == HoveredTool(*state)) {
                if (tool->text.empty())
                    Hide(tip, *state);
                else
                    SetWindowTextW(tip, tool->text.c_str()), InvalidateRect(tip, nullptr, TRUE);
            }
            return 0;
        }
        case TTM_GETTOOLINFOW: {
            if (!ValidInfo(info)) return FALSE;
            Tool* tool = FindTool(*state, info->hwnd, info->uId);
            if (tool == nullptr) return FALSE;
            info->uFlags = tool->flags;
            info->rect = tool->rect;
            info->hinst = tool->instance;
            if (info->lpszText != nullptr && !IS_INTRESOURCE(info->lpszText) &&
                info->lpszText != LPSTR_TEXTCALLBACKW) {
                std::size_t n = std::min(tool->text.size(), kToolInfoText - 1);
                tool->text.copy(info->lpszText, n);
                info->lpszText[n] = 0;
            }
            if (info->cbSize >= offsetof(TOOLINFOW, lpReserved)) info->lParam = tool->lParam;
            return TRUE;
        }
        case TTM_GETTOOLCOUNT:
            return static_cast<LRESULT>(state->tools.size());
        case TTM_SETMAXTIPWIDTH: {
            int before = state->maxWidth;
            state->maxWidth = static_cast<int>(lParam);
            return before;
        }
        case TTM_GETMAXTIPWIDTH:
            return state->maxWidth;
        case TTM_SETDELAYTIME:
            SetDelay(*state, wParam, static_cast<short>(LOWORD(static_cast<ULONG_PTR>(lParam))));
            return 0;
        case TTM_POP:
            KillTimer(tip, kShowTimer);
            if (state->hovering) state->dismissed = true;
            Hide(tip, *state);
            return 0;
        default:
            return DefWindowProcW(tip, message, wParam, lParam);
    }
}

}  // namespace

LRESULT TooltipWindowProc(HWND tip, UINT message, WPARAM wParam, LPARAM lParam) {
    API_TRACE(Windows, TooltipWindowProc, tip, message, wParam, lParam);
    return WithControlState<TipState>(tip, message, wParam, lParam, TipMessage);
}
