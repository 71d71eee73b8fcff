// Windows: focus, activation, the foreground window, capture, the caret and the cursor. The
// machine keeps the records (sim/window_input.h); this sends the messages on the calling thread.
#include <algorithm>
#include <array>

#include "platform/kernel.h"
#include "platform/sim/machine.h"
#include "platform/sim/threads.h"
#include "platform/sim/trace.h"
#include "platform/sim/windows.h"
#include "platform/user.h"

using sim::Fail;

namespace {

// The caret's blink message and its timer id.
constexpr UINT kBlinkMessage = 0x0118;
constexpr UINT_PTR kBlinkTimer = 0xFFFF;

sim::WindowTable& Windows() {
    return sim::machine().windows();
}

sim::WindowInput& Input() {
    return Windows().input();
}

DWORD Self() {
    return sim::CurrentThread().id;
}

// The window itself when it exists; NULL for one destroyed since.
HWND Alive(HWND window) {
    return window != nullptr && Windows().Exists(window) ? window : nullptr;
}

// Whether the window exists and the calling thread owns it; sets the last error when not.
bool OwnWindow(HWND window) {
    auto w = Windows().Get(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    if (w->thread.get() != &sim::CurrentThread()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

HWND TopLevelOf(HWND window) {
    for (auto w = Windows().Get(window); w; w = Windows().Get(w->parent))
        if (!(w->style & WS_CHILD) || w->parent == nullptr) return w->hwnd;
    return nullptr;
}

// Replaces a per-thread window (focus, active, capture) with `now`; returns the previous one,
// NULL when it was destroyed meanwhile.
HWND Exchange(HWND sim::ThreadInput::*member, HWND now) {
    HWND old = Input().ModifyThread(Self(), [&](sim::ThreadInput& t) {
        HWND was = t.*member;
        t.*member = now;
        return was;
    });
    return Alive(old);
}

// ---- The caret's blinking ----

std::optional<sim::Caret> OwnCaret() {
    auto caret = Input().Thread(Self()).caret;
    if (caret && !Alive(caret->owner)) {  // its window was destroyed, and the caret with it
        Input().ModifyThread(Self(), [](sim::ThreadInput& t) { t.caret.reset(); });
        return std::nullopt;
    }
    return caret;
}

void StartBlink(HWND owner) {
    Windows().SetTimer(sim::CurrentThread(), owner, kBlinkTimer, Input().BlinkTime(), nullptr,
                       kBlinkMessage);
}

void StopBlink(HWND owner) {
    if (Alive(owner)) Windows().KillTimer(sim::CurrentThread(), owner, kBlinkTimer);
}

}  // namespace

// ---- Focus and activation ----

HWND GetFocus() {
    API_TRACE(Windows, GetFocus);
    return Alive(Input().Thread(Self()).focus);
}

HWND SetFocus(HWND window) {
    API_TRACE(Windows, SetFocus, window);
    const HWND before = GetFocus();  // what the caller gets back, whatever activation moved
    if (window != nullptr) {
        if (!OwnWindow(window)) return nullptr;
        HWND top = TopLevelOf(window);
        if (top != GetActiveWindow()) SetActiveWindow(top);
    }
    HWND old = GetFocus();
    if (old == window) return before;
    Exchange(&sim::ThreadInput::focus, window);
    if (old != nullptr) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    // The window may have moved the focus elsewhere while it lost it.
    if (window != nullptr && GetFocus() == window)
        SendMessageW(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return before;
}

HWND GetActiveWindow() {
    API_TRACE(Windows, GetActiveWindow);
    return Alive(Input().Thread(Self()).active);
}

HWND SetActiveWindow(HWND window) {
    API_TRACE(Windows, SetActiveWindow, window);
    HWND top = nullptr;
    if (window != nullptr) {
        if (!OwnWindow(window)) return nullptr;
        top = TopLevelOf(window);
    }
    HWND old = GetActiveWindow();
    if (old == top) return old;
    Exchange(&sim::ThreadInput::active, top);
    if (old != nullptr) SendMessageW(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(top));
    if (top != nullptr) SendMessageW(top, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
    return old;
}

HWND GetForegroundWindow() {
    API_TRACE(Windows, GetForegroundWindow);
    return Alive(Input().Foreground());
}

BOOL SetForegroundWindow(HWND window) {
    API_TRACE(Windows, SetForegroundWindow, window);
    auto w = Windows().Get(window);
    if (!w) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    HWND top = TopLevelOf(window);
    Input().SetForeground(top);
    if (w->thread.get() == &sim::CurrentThread()) SetActiveWindow(top);
    return TRUE;
}

// ---- Capture ----

HWND GetCapture() {
    API_TRACE(Windows, GetCapture);
    return Alive(Input().Thread(Self()).capture);
}

HWND SetCapture(HWND window) {
    API_TRACE(Windows, SetCapture, window);
    if (!OwnWindow(window)) return nullptr;
    HWND old = Exchange(&sim::ThreadInput::capture, window);
    if (old != nullptr && old != window)
        SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
    return old;
}

BOOL ReleaseCapture() {
    API_TRACE(Windows, ReleaseCapture);
    HWND old = Exchange(&sim::ThreadInput::capture, nullptr);
    if (old != nullptr) SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

// ---- The caret ----

BOOL CreateCaret(HWND window, HBITMAP bitmap, int width, int height) {
    API_TRACE(Windows, CreateCaret, window, bitmap, width, height);
    if (!OwnWindow(window)) return FALSE;
    if (width < 0 || height < 0) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (auto old = OwnCaret()) StopBlink(old->owner);
    sim::Caret caret;
    caret.owner = window;
    caret.bitmap = bitmap;
    caret.width = width == 0 ? 1 : width;
    caret.height = height == 0 ? 1 : height;
    Input().ModifyThread(Self(), [&](sim::ThreadInput& t) { t.caret = caret; });
    return TRUE;
}

BOOL DestroyCaret() {
    API_TRACE(Windows, DestroyCaret);
    auto caret = OwnCaret();
    if (!caret) return Fail(FALSE, ERROR_ACCESS_DENIED);
    StopBlink(caret->owner);
    Input().ModifyThread(Self(), [](sim::ThreadInput& t) { t.caret.reset(); });
    return TRUE;
}

namespace {

// Adds `step` to the hide count of the thread's caret (window NULL or its owner), starting or
// stopping the blinking when the caret appears or disappears.
BOOL ChangeHideCount(HWND window, int step) {
    auto caret = OwnCaret();
    if (!caret || (window != nullptr && window != caret->owner))
        return Fail(FALSE, ERROR_ACCESS_DENIED);
    int before = caret->hideCount;
    int after = std::max(0, before + step);
    Input().ModifyThread(Self(), [&](sim::ThreadInput& t) { t.caret->hideCount = after; });
    if (before != 0 && after == 0) StartBlink(caret->owner);
    if (before == 0 && after != 0) StopBlink(caret->owner);
    return TRUE;
}

}  // namespace

BOOL ShowCaret(HWND window) {
    API_TRACE(Windows, ShowCaret, window);
    return ChangeHideCount(window, -1);
}

BOOL HideCaret(HWND window) {
    API_TRACE(Windows, HideCaret, window);
    return ChangeHideCount(window, +1);
}

BOOL SetCaretPos(int x, int y) {
    API_TRACE(Windows, SetCaretPos, x, y);
    if (!OwnCaret()) return Fail(FALSE, ERROR_ACCESS_DENIED);
    Input().ModifyThread(Self(), [&](sim::ThreadInput& t) { t.caret->position = {x, y}; });
    return TRUE;
}

BOOL GetCaretPos(LPPOINT point) {
    API_TRACE(Windows, GetCaretPos, point);
    if (point == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    auto caret = OwnCaret();
    if (!caret) return Fail(FALSE, ERROR_ACCESS_DENIED);
    *point = caret->position;
    return TRUE;
}

UINT GetCaretBlinkTime() {
    API_TRACE(Windows, GetCaretBlinkTime);
    return Input().BlinkTime();
}

BOOL SetCaretBlinkTime(UINT milliseconds) {
    API_TRACE(Windows, SetCaretBlinkTime, milliseconds);
    if (milliseconds == 0) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    Input().SetBlinkTime(milliseconds);
    // (Carets of other threads keep their beat until they are shown again.)
    auto caret = OwnCaret();
    if (caret && caret->hideCount == 0) StartBlink(caret->owner);
    return TRUE;
}

// ---- The cursor ----

BOOL GetCursorPos(LPPOINT point) {
    API_TRACE(Windows, GetCursorPos, point);
    if (point == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    *point = Input().CursorPos();
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    API_TRACE(Windows, SetCursorPos, x, y);
    const sim::Config& config = sim::machine().config();
    Input().SetCursorPos({std::clamp(x, 0, std::max(0, config.screenWidth - 1)),
                          std::clamp(y, 0, std::max(0, config.screenHeight - 1))});
    return TRUE;
}

HCURSOR SetCursor(HCURSOR cursor) {
    API_TRACE(Windows, SetCursor, cursor);
    return Input().ExchangeCursor(cursor);
}

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
    API_TRACE(Windows, LoadCursorW, instance, name);
    static constexpr std::array<WORD, 13> kIds{32512, 32513, 32514, 32515, 32516, 32642, 32643,
                                               32644, 32645, 32646, 32648, 32649, 32650};
    // One handle per system cursor for the life of the process.
    static std::array<HICON__, kIds.size()> cursors{};
    auto id = reinterpret_cast<ULONG_PTR>(name);
    if (instance == nullptr && id < 0x10000) {
        auto it = std::find(kIds.begin(), kIds.end(), static_cast<WORD>(id));
        if (it != kIds.end()) return &cursors[static_cast<std::size_t>(it - kIds.begin())];
    }
    return Fail<HCURSOR>(nullptr, ERROR_RESOURCE_NAME_NOT_FOUND);
}
