// Windows: showing and hiding, minimising, maximising and restoring, and the screen's work area.
#include <optional>

#include "platform/detours/api_table.h"
#include "machine/machine.h"
#include "machine/processes.h"
#include "machine/threads.h"
#include "machine/trace.h"
#include "machine/windows.h"
#include <winuser.h>

using sim::Fail;

namespace {

sim::WindowTable& Windows() {
    return sim::machine().windows();
}

enum class State { Normal, Minimized, Maximized };

State StateOf(DWORD style) {
    if (style & WS_MINIMIZE) return State::Minimized;
    if (style & WS_MAXIMIZE) return State::Maximized;
    return State::Normal;
}

// What a show command asks for: visible or hidden, a show state (nothing: keep the current one),
// and whether the window is activated.
struct Command {
    bool show;
    std::optional<State> state;
    bool activate;
};

std::optional<Command> Decode(int command) {
    switch (command) {
        case SW_HIDE:
            return Command{false, std::nullopt, false};
        case SW_SHOWNORMAL:
        case SW_RESTORE:
            return Command{true, State::Normal, true};
        case SW_SHOWNOACTIVATE:
            return Command{true, State::Normal, false};
        case SW_SHOWMINIMIZED:
            return Command{true, State::Minimized, true};
        case SW_MINIMIZE:
        case SW_SHOWMINNOACTIVE:
            return Command{true, State::Minimized, false};
        case SW_SHOWMAXIMIZED:
            return Command{true, State::Maximized, true};
        case SW_SHOW:
            return Command{true, std::nullopt, true};
        case SW_SHOWNA:
            return Command{true, std::nullopt, false};
        default:
            return std::nullopt;
    }
}

// SW_SHOWDEFAULT: the show command the process was started with.
int StartupShow() {
    const sim::ProcessRecord& p = sim::CurrentProcess().info;
    if (p.useShowWindow && p.showWindow != SW_SHOWDEFAULT) return p.showWindow;
    return SW_SHOWNORMAL;
}

RECT WorkArea() {
    const sim::Config& c = sim::machine().config();
    int bottom = c.screenHeight - c.taskbarHeight;
    return {0, 0, c.screenWidth, bottom < 0 ? 0 : bottom};
}

// Where a minimised window goes: off the screen, at the size of a minimised caption.
constexpr RECT kMinimized{-32000, -32000, -32000 + 160, -32000 + 24};

// The rectangle of the state: a maximised top-level window fills the work area, a maximised child
// its parent's client area; a restored one returns to where it was when it was last normal.
RECT TargetRect(const sim::WindowInfo& w, State state) {
    switch (state) {
        case State::Minimized:
            return kMinimized;
        case State::Maximized:
            if (w.parent != nullptr && (w.style & WS_CHILD)) {
                RECT client{};
                GetClientRect(w.parent, &client);
                return client;
            }
            return WorkArea();
        default:
            return w.normal.value_or(w.rect);
    }
}

// Moves the window into the state (showing it too when `show`). WM_SIZE tells the new state even
// when the size stays.
void ChangeState(HWND window, State from, State to, bool show) {
    Windows().Modify(window, [&](sim::WindowInfo& r) {
        if (from == State::Normal) r.normal = r.rect;
        r.style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
        if (to == State::Minimized) r.style |= WS_MINIMIZE;
        if (to == State::Maximized) r.style |= WS_MAXIMIZE;
    });
    auto w = Windows().Get(window);
    if (!w) return;
    RECT r = TargetRect(*w, to);
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | (show ? SWP_SHOWWINDOW : 0);
    SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, flags);
    auto after = Windows().Get(window);
    if (!after) return;
    const RECT& before = w->rect;
    if (after->rect.right - after->rect.left == before.right - before.left &&
        after->rect.bottom - after->rect.top == before.bottom - before.top) {
        const RECT& c = after->client;
        WPARAM type = to == State::Minimized   ? SIZE_MINIMIZED
                      : to == State::Maximized ? SIZE_MAXIMIZED
                                               : SIZE_RESTORED;
        SendMessageW(window, WM_SIZE, type, MAKELPARAM(c.right - c.left, c.bottom - c.top));
    }
}

}  // namespace

namespace api_real {

BOOL ShowWindow(HWND window, int command) {
    API_TRACE(Windows, ShowWindow, window, command);
    auto w = Windows().Get(window);
    if (!w) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    if (command == SW_SHOWDEFAULT) command = StartupShow();
    auto c = Decode(command);
    if (!c) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    const bool was = (w->style & WS_VISIBLE) != 0;
    if (!c->show) {
        if (!was) return FALSE;
        SendMessageW(window, WM_SHOWWINDOW, FALSE, 0);
        Windows().SetVisible(window, false);
        return TRUE;
    }
    if (!was) SendMessageW(window, WM_SHOWWINDOW, TRUE, 0);
    w = Windows().Get(window);
    if (!w) return was ? TRUE : FALSE;  // its handler destroyed it
    State from = StateOf(w->style);
    if (c->state && *c->state != from) {
        ChangeState(window, from, *c->state, !was);
    } else if (!was) {
        Windows().SetVisible(window, true);
        Windows().Invalidate(window, nullptr, true);
    }
    bool topLevel = !(w->style & WS_CHILD);
    bool own = w->thread.get() == &sim::CurrentThread();
    if (topLevel && own && Windows().Exists(window)) {
        if (c->activate)
            SetActiveWindow(window);
        else if (c->state == State::Minimized && GetActiveWindow() == window)
            SetActiveWindow(nullptr);
    }
    return was ? TRUE : FALSE;
}

}  // namespace api_real

BOOL IsZoomed(HWND window) {
    API_TRACE(Windows, IsZoomed, window);
    auto w = Windows().Get(window);
    if (!w) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    return (w->style & WS_MAXIMIZE) ? TRUE : FALSE;
}

BOOL IsIconic(HWND window) {
    API_TRACE(Windows, IsIconic, window);
    auto w = Windows().Get(window);
    if (!w) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    return (w->style & WS_MINIMIZE) ? TRUE : FALSE;
}

BOOL SystemParametersInfoW(UINT action, UINT uiParam, PVOID pvParam, UINT winIni) {
    API_TRACE(Windows, SystemParametersInfoW, action, uiParam, pvParam, winIni);
    switch (action) {
        case SPI_GETWORKAREA:
            if (pvParam == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
            *static_cast<RECT*>(pvParam) = WorkArea();
            return TRUE;
        case SPI_GETFOREGROUNDLOCKTIMEOUT:
            if (pvParam == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
            *static_cast<DWORD*>(pvParam) = 0;
            return TRUE;
        case SPI_SETFOREGROUNDLOCKTIMEOUT:
            return TRUE;
        default:
            return Fail(FALSE, ERROR_INVALID_PARAMETER);
    }
}

BOOL BringWindowToTop(HWND window) {
    API_TRACE(Windows, BringWindowToTop, window);
    auto w = Windows().Get(window);
    if (!w) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    HWND top = window;
    for (auto r = w; r && (r->style & WS_CHILD) && r->parent != nullptr; r = Windows().Get(top))
        top = r->parent;
    if (!SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE)) return FALSE;
    auto t = Windows().Get(top);
    if (t && t->thread.get() == &sim::CurrentThread() && IsWindowVisible(top)) SetActiveWindow(top);
    return TRUE;
}

void SwitchToThisWindow(HWND window, BOOL altTab) {
    API_TRACE_VOID(Windows, SwitchToThisWindow, window, altTab);
    if (!Windows().Exists(window)) return;
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
    BringWindowToTop(window);
}
