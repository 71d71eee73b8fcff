// Tooltips: a pop-up window that keeps a list of tools (rectangles of windows, or whole windows)
// and shows a tool's text after the mouse has rested on it for the initial delay. It learns of
// the mouse from the messages its owner relays (TTM_RELAYEVENT): a move onto a tool starts the
// delay on the machine clock, a move off every tool or a button press hides the tip, and a shown
// tip goes by itself after the auto-pop delay. The shown tool is kept in the window's extra
// bytes (user_classes.h), where the machine's control reads it.
#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/commctrl.h"
#include "platform/resources.h"
#include "platform/user.h"
#include "platform/user_classes.h"
#include "platform/sim/handles.h"
#include "platform/sim/trace.h"

namespace {

// Without TTM_SETDELAYTIME the delays follow the double-click time (500 ms).
constexpr int kDoubleClickTime = 500;
constexpr UINT_PTR kShowTimer = 1;
constexpr UINT_PTR kPopTimer = 2;
constexpr int kCharWidth = 8;
constexpr int kLineHeight = 16;
constexpr int kPadding = 4;
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
    POINT lastPoint{0, 0};  // screen position of the last relayed move

    int Initial() const { return initial >= 0 ? initial : kDoubleClickTime; }
    int Autopop() const { return autopop >= 0 ? autopop : Initial() * 10; }
    int Reshow() const { return reshow >= 0 ? reshow : Initial() / 5; }
};

TipState* StateOf(HWND tip) {
    return reinterpret_cast<TipState*>(GetWindowLongPtrW(tip, 0));
}

Tool* FindTool(TipState& state, HWND hwnd, UINT_PTR id) {
    for (Tool& t : state.tools)
        if (t.hwnd == hwnd && t.id == id) return &t;
    return nullptr;
}

Tool* HoveredTool(TipState& state) {
    return state.hovering ? FindTool(state, state.hoverWindow, state.hoverId) : nullptr;
}

// The tool under a relayed mouse message (its point in the client coordinates of msg.hwnd).
Tool* ToolAt(TipState& state, const MSG& msg) {
    auto x = static_cast<short>(LOWORD(static_cast<ULONG_PTR>(msg.lParam)));
    auto y = static_cast<short>(HIWORD(static_cast<ULONG_PTR>(msg.lParam)));
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

void Show(HWND tip, TipState& state) {
    Tool* tool = HoveredTool(state);
    if (tool == nullptr || tool->text.empty()) return;  // an empty text shows no tip
    const std::wstring text = tool->text;
    SetWindowTextW(tip, text.c_str());
    int width = static_cast<int>(text.size()) * kCharWidth + 2 * kPadding;
    int lines = 1;
    if (state.maxWidth > 2 * kPadding && width > state.maxWidth) {
        int inner = state.maxWidth - 2 * kPadding;
        lines = (static_cast<int>(text.size()) * kCharWidth + inner - 1) / inner;
        width = state.maxWidth;
    }
    SetWindowPos(tip, HWND_TOP, state.lastPoint.x, state.lastPoint.y + kBelowCursor, width,
                 lines * kLineHeight + 2 * kPadding, SWP_NOACTIVATE);
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
            state.lastPoint = msg.pt;
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
        default:
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

LRESULT TipMessage(HWND tip, UINT message, WPARAM wParam, LPARAM lParam) {
    TipState* state = StateOf(tip);
    if (state == nullptr) return DefWindowProcW(tip, message, wParam, lParam);
    auto* info = reinterpret_cast<TOOLINFOW*>(lParam);
    switch (message) {
        case WM_NCDESTROY:
            SetWindowLongPtrW(tip, 0, 0);
            delete state;
            return DefWindowProcW(tip, message, wParam, lParam);
        case WM_TIMER:
            KillTimer(tip, wParam);
            if (wParam == kShowTimer && state->active && !state->dismissed) {
                Show(tip, *state);
            } else if (wParam == kPopTimer) {
                state->dismissed = true;
                Hide(tip, *state);
            }
            return 0;
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
                    SetWindowTextW(tip, tool->text.c_str());
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
    if (message == WM_NCCREATE) {
        if (!DefWindowProcW(tip, message, wParam, lParam)) return FALSE;
        SetWindowLongPtrW(tip, 0, reinterpret_cast<LONG_PTR>(new TipState));
        return TRUE;
    }
    return TipMessage(tip, message, wParam, lParam);
}
