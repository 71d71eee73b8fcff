// Windows: focus, activation, the foreground window, capture, the caret and the cursor. The
// machine keeps the records (sim/window_input.h); this sends the messages on the calling thread.
#include <algorithm>
#include <array>
#include <utility>

#include "platform/kernel.h"
#include "platform/sim/machine.h"
#include "platform/sim/threads.h"
#include "platform/sim/trace.h"
#include "platform/sim/windows.h"
#include "platform/user.h"

using sim::Fail;

namespace {

// The caret's blink message and its timer id: a window timer of the owner that produces the
// blink message (a program's own timer 0xFFFF on that window would replace it).
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

// A per-thread window (focus, active, capture); NULL when it was destroyed.
HWND Current(HWND sim::ThreadInput::*member) {
    return Alive(Input().Thread(Self()).*member);
}

// Hands a per-thread role (focus, active, capture) to `now` (NULL: to none): tells the window
// losing it, then the one gaining it, each with the previous holder. Nothing is sent when `now`
// holds it already. Returns the previous holder (NULL when it was destroyed meanwhile).
template <class Lost, class Gained>
HWND HandOver(HWND sim::ThreadInput::*member, HWND now, Lost lost, Gained gained) {
    HWND old = Alive(Input().ModifyThread(
        Self(), [&](sim::ThreadInput& t) { return std::exchange(t.*member, now); }));
    if (old == now) return old;
    if (old != nullptr) lost(old);
    if (now != nullptr) gained(old);
    return old;
}

// Moves the capture; WM_CAPTURECHANGED tells the window losing it which window has it now.
HWND MoveCapture(HWND now) {
    return HandOver(
        &sim::ThreadInput::capture, now,
        [&](HWND old) { SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(now)); },
        [](HWND) {});
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
    Windows().SetTimer(sim::CurrentThread(), owner, kBlinkTimer, Input().Machine().blinkTime,
                       nullptr, kBlinkMessage);
}

void StopBlink(HWND owner) {
    if (Alive(owner)) Windows().KillTimer(sim::CurrentThread(), owner, kBlinkTimer);
}

}  // namespace

// ---- Focus and activation ----

HWND GetFocus() {
    API_TRACE(Windows, GetFocus);
    return Current(&sim::ThreadInput::focus);
}

HWND SetFocus(HWND window) {
    API_TRACE(Windows, SetFocus, window);
    const HWND before = GetFocus();  // what the caller gets back, whatever activation moved
    if (window != nullptr) {
        if (!OwnWindow(window)) return nullptr;
        HWND top = TopLevelOf(window);
        if (top != GetActiveWindow()) SetActiveWindow(top);
    }
    HandOver(
        &sim::ThreadInput::focus, window,
        [&](HWND old) { SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0); },
        [&](HWND old) {
            // The window losing the focus may have moved it elsewhere meanwhile.
            if (GetFocus() == window)
                SendMessageW(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
        });
    return before;
}

HWND GetActiveWindow() {
    API_TRACE(Windows, GetActiveWindow);
    return Current(&sim::ThreadInput::active);
}

HWND SetActiveWindow(HWND window) {
    API_TRACE(Windows, SetActiveWindow, window);
    HWND top = nullptr;
    if (window != nullptr) {
        if (!OwnWindow(window)) return nullptr;
        top = TopLevelOf(window);
    }
    return HandOver(
        &sim::ThreadInput::active, top,
        [&](HWND old) {
            SendMessageW(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(top));
        },
        [&](HWND old) {
            SendMessageW(top, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
        });
}

HWND GetForegroundWindow() {
    API_TRACE(Windows, GetForegroundWindow);
    return Alive(Input().Machine().foreground);
}

BOOL SetForegroundWindow(HWND window) {
    API_TRACE(Windows, SetForegroundWindow, window);
    auto w = Windows().Get(window);
    if (!w) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    HWND top = TopLevelOf(window);
    Input().ModifyMachine([&](sim::MachineInput& m) { m.foreground = top; });
    if (w->thread.get() == &sim::CurrentThread()) SetActiveWindow(top);
    return TRUE;
}

// ---- Capture ----

HWND GetCapture() {
    API_TRACE(Windows, GetCapture);
    return Current(&sim::ThreadInput::capture);
}

HWND SetCapture(HWND window) {
    API_TRACE(Windows, SetCapture, window);
    if (!OwnWindow(window)) return nullptr;
    return MoveCapture(window);
}

BOOL ReleaseCapture() {
    API_TRACE(Windows, ReleaseCapture);
    MoveCapture(nullptr);
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
    return Input().Machine().blinkTime;
}

BOOL SetCaretBlinkTime(UINT milliseconds) {
    API_TRACE(Windows, SetCaretBlinkTime, milliseconds);
    if (milliseconds == 0) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    Input().ModifyMachine([&](sim::MachineInput& m) { m.blinkTime = milliseconds; });
    // (Carets of other threads keep their beat until they are shown again.)
    auto caret = OwnCaret();
    if (caret && caret->hideCount == 0) StartBlink(caret->owner);
    return TRUE;
}

// ---- The cursor ----

BOOL GetCursorPos(LPPOINT point) {
    API_TRACE(Windows, GetCursorPos, point);
    if (point == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    *point = Input().Machine().cursorPos;
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    API_TRACE(Windows, SetCursorPos, x, y);
    const sim::Config& config = sim::machine().config();
    POINT p{std::clamp(x, 0, std::max(0, config.screenWidth - 1)),
            std::clamp(y, 0, std::max(0, config.screenHeight - 1))};
    Input().ModifyMachine([&](sim::MachineInput& m) { m.cursorPos = p; });
    return TRUE;
}

HCURSOR SetCursor(HCURSOR cursor) {
    API_TRACE(Windows, SetCursor, cursor);
    return Input().ModifyMachine(
        [&](sim::MachineInput& m) { return std::exchange(m.cursor, cursor); });
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

// ---- The keyboard ----

SHORT GetKeyState(int virtualKey) {
    API_TRACE(Windows, GetKeyState, virtualKey);
    if (virtualKey < 0 || virtualKey > 255) return 0;
    bool down = Input().Thread(Self()).keysDown.test(static_cast<std::size_t>(virtualKey));
    return down ? static_cast<SHORT>(0x8000) : SHORT{0};
}
