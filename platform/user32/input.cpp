// Windows: focus, activation, the foreground window, capture, the caret, the cursor, and the
// routing of mouse and key input to windows. The machine keeps the records
// (machine/window_input.h); this sends the messages on the calling thread.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>

#include <winbase.h>
#include "platform/detours/api_table.h"
#include "machine/machine.h"
#include "machine/threads.h"
#include "machine/trace.h"
#include "machine/windows.h"
#include <winuser.h>
#include "platform/user32/routing.h"

using sim::Fail;

namespace {

// The caret blinks by a window timer of the owner (id SYSTIMER_CARET_BLINK) that produces
// WM_SYSTIMER (a program's own timer of that id on that window would replace it).

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

// Makes `top` (a top-level window of the calling thread, or NULL) the thread's active window:
// WM_ACTIVATE WA_INACTIVE to the one losing activation, then `how` to the new one.
HWND Activate(HWND top, WORD how) {
    return HandOver(
        &sim::ThreadInput::active, top,
        [&](HWND old) {
            SendMessageW(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(top));
        },
        [&](HWND old) { SendMessageW(top, WM_ACTIVATE, how, reinterpret_cast<LPARAM>(old)); });
}

// Whether the pointer, where the thread's last mouse input put it, is over the window as its
// mouse tracking counts it: the window is the first there that takes mouse input (windows of this
// thread above it that answer HTTRANSPARENT let it through, as for the input itself), and the
// point lies in its client area (anywhere in it when the tracking includes the frame).
bool PointerOver(HWND window, DWORD trackFlags) {
    POINT p = Input().Thread(Self()).messagePos;
    sim::ThreadRec& self = sim::CurrentThread();
    HWND first = nullptr;
    for (HWND c : Windows().WindowsAt(p)) {
        auto w = Windows().Get(c);
        if (!w) continue;
        if (c != window && w->thread.get() == &self &&
            SendMessageW(c, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)) == HTTRANSPARENT)
            continue;
        first = c;
        break;
    }
    if (first != window) return false;
    if (trackFlags & TME_NONCLIENT) return true;
    auto w = Windows().Get(window);
    POINT o = Windows().ClientOrigin(window);
    return w && p.x >= o.x && p.y >= o.y && p.x < o.x + w->client.right - w->client.left &&
           p.y < o.y + w->client.bottom - w->client.top;
}

// Moves the capture; WM_CAPTURECHANGED tells the window losing it which window has it now. When
// the capture ends with the pointer outside the window the thread tracks, its WM_MOUSELEAVE
// follows.
HWND MoveCapture(HWND now) {
    HWND old = HandOver(
        &sim::ThreadInput::capture, now,
        [&](HWND old) { SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(now)); },
        [](HWND) {});
    sim::MouseTracking t = Input().Thread(Self()).tracking;
    if (now == nullptr && old != nullptr && Alive(t.window) && !PointerOver(t.window, t.flags))
        Windows().EndMouseTracking(Self());
    return old;
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
    Windows().SetTimer(sim::CurrentThread(), owner, SYSTIMER_CARET_BLINK,
                       Input().Machine().blinkTime, nullptr, WM_SYSTIMER);
}

void StopBlink(HWND owner) {
    if (Alive(owner)) Windows().KillTimer(sim::CurrentThread(), owner, SYSTIMER_CARET_BLINK);
}

// Inverts the caret's rectangle on its owner (through `dc`, or a context of the owner's).
void InvertCaret(const sim::Caret& caret, HDC dc = nullptr) {
    if (!Alive(caret.owner)) return;
    RECT r{caret.position.x, caret.position.y, caret.position.x + caret.width,
           caret.position.y + caret.height};
    if (dc != nullptr) {
        InvertRect(dc, &r);
        return;
    }
    HDC own = GetDC(caret.owner);
    if (own == nullptr) return;
    InvertRect(own, &r);
    ReleaseDC(caret.owner, own);
}

// Takes a caret that shows its picture off its owner.
void EraseCaret() {
    auto caret = Input().Thread(Self()).caret;
    if (!caret || !caret->drawn) return;
    InvertCaret(*caret);
    Input().ModifyThread(Self(), [](sim::ThreadInput& t) {
        if (t.caret) t.caret->drawn = false;
    });
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
    return Activate(top, WA_ACTIVE);
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

namespace api_real {

BOOL CreateCaret(HWND window, HBITMAP bitmap, int width, int height) {
    API_TRACE(Windows, CreateCaret, window, bitmap, width, height);
    if (!OwnWindow(window)) return FALSE;
    if (width < 0 || height < 0) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (auto old = OwnCaret()) {
        EraseCaret();
        StopBlink(old->owner);
    }
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
    EraseCaret();
    StopBlink(caret->owner);
    Input().ModifyThread(Self(), [](sim::ThreadInput& t) { t.caret.reset(); });
    return TRUE;
}

}  // namespace api_real

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
    if (before == 0 && after != 0) {
        EraseCaret();
        StopBlink(caret->owner);
    }
    return TRUE;
}

}  // namespace

namespace api_real {

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
    auto caret = OwnCaret();
    if (!caret) return Fail(FALSE, ERROR_ACCESS_DENIED);
    if (caret->position.x == x && caret->position.y == y) return TRUE;
    const bool drawn = caret->drawn;
    EraseCaret();
    Input().ModifyThread(Self(), [&](sim::ThreadInput& t) {
        t.caret->position = {x, y};
        t.caret->drawn = drawn;
    });
    if (drawn) InvertCaret(*OwnCaret());  // the picture moves with it
    return TRUE;
}

}  // namespace api_real

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

// ---- Keys and the mouse ----

namespace {

bool IsPress(UINT message) {
    return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN;
}

// The virtual key of a mouse message's button; 0 for moves and the wheel.
UINT ButtonKey(UINT message) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            return VK_LBUTTON;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
            return VK_RBUTTON;
        default:
            return 0;
    }
}

// A key goes down (toggling it when it was up) or up in a thread's key state.
void SetKey(std::array<BYTE, 256>& keys, UINT vk, bool down) {
    BYTE& k = keys[vk & 0xFF];
    if (down && !(k & 0x80)) k ^= 0x01;
    k = static_cast<BYTE>(down ? (k | 0x80) : (k & ~0x80));
}

// After the mouse input went to `window` at `hit` (none: to no window of this thread), ends the
// thread's mouse tracking when that is no longer the tracked place.
void CheckTracking(HWND window, LRESULT hit) {
    sim::MouseTracking t = Input().Thread(Self()).tracking;
    if (t.window == nullptr) return;
    bool inside =
        t.window == window && (hit == HTCLIENT || ((t.flags & TME_NONCLIENT) && hit != HTNOWHERE));
    if (!inside) Windows().EndMouseTracking(Self());
}

// Sends WM_MOUSEACTIVATE for a press on a window whose top-level window is not the active,
// foreground one, and activates that window when the answer says so. Whether the press is eaten.
bool MouseActivate(HWND target, LRESULT hit, UINT message) {
    HWND top = TopLevelOf(target);
    if (top == nullptr || (top == GetActiveWindow() && top == GetForegroundWindow())) return false;
    LRESULT answer = SendMessageW(target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top),
                                  MAKELPARAM(static_cast<int>(hit), static_cast<int>(message)));
    if ((answer == MA_ACTIVATE || answer == MA_ACTIVATEANDEAT) && Alive(top)) {
        Input().ModifyMachine([&](sim::MachineInput& m) { m.foreground = top; });
        Activate(top, WA_CLICKACTIVE);
    }
    return answer == MA_ACTIVATEANDEAT || answer == MA_NOACTIVATEANDEAT;
}

// Whether a press completes a double click with the thread's last press: the same window and
// button, within the double-click time and distance, on a window that takes double clicks (any
// window on its frame; in the client area only a class with CS_DBLCLKS). A double click starts
// afresh; any other press becomes the last one.
bool CompletesDoubleClick(HWND target, LRESULT hit, const MSG& press) {
    auto w = Windows().Get(target);
    bool takes = hit != HTCLIENT || (w && (w->classStyle & CS_DBLCLKS));
    UINT time = GetDoubleClickTime();
    return Input().ModifyThread(Self(), [&](sim::ThreadInput& t) {
        sim::LastClick& last = t.lastClick;
        bool pair = last.window == target && last.message == press.message &&
                    press.time - last.time <= time &&
                    std::abs(press.pt.x - last.point.x) <= sim::kDoubleClickDistance &&
                    std::abs(press.pt.y - last.point.y) <= sim::kDoubleClickDistance;
        if (pair && takes) {
            last = {};
            return true;
        }
        last = {target, press.message, press.time, press.pt};
        return false;
    });
}

// The window of the calling thread that takes mouse input at the point, with its hit-test code:
// the capture window (HTCLIENT), else the first window under the point that does not answer
// HTTRANSPARENT (HTERROR for a disabled top-level window). Nothing when no window of this thread
// takes it; input under a window of another thread goes on to that thread's queue.
std::optional<std::pair<HWND, LRESULT>> MouseTarget(const MSG& input) {
    if (HWND capture = GetCapture()) return std::pair<HWND, LRESULT>{capture, HTCLIENT};
    sim::ThreadRec& self = sim::CurrentThread();
    bool first = true;
    for (HWND c : Windows().WindowsAt(input.pt)) {
        auto w = Windows().Get(c);
        if (!w) continue;
        if (w->thread.get() != &self) {
            if (!first) continue;  // the hit test passes on only within the thread
            if (w->thread) Windows().PostInput(*w->thread, input);
            return std::nullopt;
        }
        first = false;
        if (!(w->style & WS_CHILD) && (w->style & WS_DISABLED))
            return std::pair<HWND, LRESULT>{c, HTERROR};
        LRESULT hit = SendMessageW(c, WM_NCHITTEST, 0, MAKELPARAM(input.pt.x, input.pt.y));
        if (hit != HTTRANSPARENT) return std::pair<HWND, LRESULT>{c, hit};
    }
    return std::nullopt;
}

std::optional<MSG> RouteMouse(const MSG& input) {
    UINT vk = ButtonKey(input.message);
    Input().ModifyThread(Self(), [&](sim::ThreadInput& t) {
        if (vk != 0) SetKey(t.keys, vk, IsPress(input.message));
        t.messagePos = input.pt;
    });
    MSG out = input;
    if (input.message == WM_MOUSEWHEEL) {  // to the focus window, with the screen point
        out.hwnd = GetFocus();
        out.lParam = MAKELPARAM(input.pt.x, input.pt.y);
        return out.hwnd != nullptr ? std::optional<MSG>(out) : std::nullopt;
    }
    const bool captured = GetCapture() != nullptr;
    auto target = MouseTarget(input);
    CheckTracking(target ? target->first : nullptr, target ? target->second : HTNOWHERE);
    if (!target) return std::nullopt;
    auto [window, hit] = *target;
    bool eaten = !captured && IsPress(input.message) && MouseActivate(window, hit, input.message);
    if (!captured && Alive(window))
        SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                     MAKELPARAM(static_cast<int>(hit), static_cast<int>(input.message)));
    if (eaten || hit == HTERROR || !Alive(window)) return std::nullopt;
    out.hwnd = window;
    if (IsPress(input.message) && CompletesDoubleClick(window, hit, input))
        out.message += WM_LBUTTONDBLCLK - WM_LBUTTONDOWN;
    if (hit == HTCLIENT) {
        POINT origin = Windows().ClientOrigin(window);
        out.lParam = MAKELPARAM(input.pt.x - origin.x, input.pt.y - origin.y);
    } else {
        out.message += WM_NCMOUSEMOVE - WM_MOUSEMOVE;
        out.wParam = static_cast<WPARAM>(hit);
        out.lParam = MAKELPARAM(input.pt.x, input.pt.y);
    }
    return out;
}

// Keys go to the focus window; with no focus to the active window as system keys, as also while
// Alt is held (without Ctrl).
std::optional<MSG> RouteKey(const MSG& input) {
    auto vk = static_cast<UINT>(input.wParam & 0xFF);
    bool down = input.message == WM_KEYDOWN;
    auto keys = Input().ModifyThread(Self(), [&](sim::ThreadInput& t) {
        SetKey(t.keys, vk, down);
        return t.keys;
    });
    HWND focus = GetFocus();
    MSG out = input;
    out.hwnd = focus != nullptr ? focus : GetActiveWindow();
    if (out.hwnd == nullptr) return std::nullopt;
    bool alt = (keys[VK_MENU] & 0x80) != 0 || vk == VK_MENU;
    bool ctrl = (keys[VK_CONTROL] & 0x80) != 0;
    if ((alt && !ctrl) || focus == nullptr) out.message = down ? WM_SYSKEYDOWN : WM_SYSKEYUP;
    if (alt) out.lParam |= LPARAM{1} << 29;  // the context code
    return out;
}

}  // namespace

std::optional<MSG> RouteInput(const MSG& input) {
    if (input.message >= WM_MOUSEMOVE && input.message <= WM_MOUSEWHEEL) return RouteMouse(input);
    return RouteKey(input);
}

SHORT GetKeyState(int virtualKey) {
    API_TRACE(Windows, GetKeyState, virtualKey);
    BYTE k = Input().Thread(Self()).keys[static_cast<std::size_t>(virtualKey) & 0xFF];
    return static_cast<SHORT>(((k & 0x80) ? 0x8000 : 0) | (k & 0x01));
}

SHORT GetAsyncKeyState(int virtualKey) {
    API_TRACE(Windows, GetAsyncKeyState, virtualKey);
    bool down = Input().Machine().down[static_cast<std::size_t>(virtualKey) & 0xFF];
    return static_cast<SHORT>(down ? 0x8000 : 0);
}

UINT GetDoubleClickTime() {
    API_TRACE(Windows, GetDoubleClickTime);
    return Input().Machine().doubleClickTime;
}

BOOL TrackMouseEvent(LPTRACKMOUSEEVENT track) {
    API_TRACE(Windows, TrackMouseEvent, track);
    if (track == nullptr || track->cbSize != sizeof(TRACKMOUSEEVENT))
        return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (track->dwFlags & TME_QUERY) {
        sim::MouseTracking t = Input().Thread(Self()).tracking;
        bool on = Alive(t.window) != nullptr;
        track->dwFlags = on ? (TME_LEAVE | (t.flags & TME_NONCLIENT)) : 0;
        track->hwndTrack = on ? t.window : nullptr;
        track->dwHoverTime = 0;
        return TRUE;
    }
    if (!OwnWindow(track->hwndTrack)) return FALSE;
    if (!(track->dwFlags & TME_LEAVE)) return TRUE;  // hover alone: nothing is produced
    DWORD flags = track->dwFlags & TME_NONCLIENT;
    if (track->dwFlags & TME_CANCEL) {
        Input().ModifyThread(Self(), [&](sim::ThreadInput& t) {
            if (t.tracking.window == track->hwndTrack &&
                (t.tracking.flags & TME_NONCLIENT) == flags)
                t.tracking = {};
        });
        return TRUE;
    }
    Input().ModifyThread(Self(), [&](sim::ThreadInput& t) {
        t.tracking = {track->hwndTrack, flags};
    });
    // Not over the window now: it hears at once.
    if (!PointerOver(track->hwndTrack, flags)) Windows().EndMouseTracking(Self());
    return TRUE;
}

// ---- The caret's picture ----

void BlinkCaret(HWND window) {
    auto caret = OwnCaret();
    if (!caret || caret->owner != window || caret->hideCount != 0) return;
    InvertCaret(*caret);
    Input().ModifyThread(Self(), [](sim::ThreadInput& t) {
        if (t.caret) t.caret->drawn = !t.caret->drawn;
    });
}

void CaretPaintedOver(HWND window, HDC dc) {
    auto caret = OwnCaret();
    if (caret && caret->owner == window && caret->drawn) InvertCaret(*caret, dc);
}
