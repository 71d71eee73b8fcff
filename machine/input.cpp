#include "machine/input.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "machine/machine.h"
#include "machine/waits.h"
#include "machine/windows.h"

namespace sim::input {

namespace {

WindowTable& Windows() {
    return machine().windows();
}

WindowInput& Input() {
    return Windows().input();
}

// The window whose thread takes keys and the wheel: the foreground window, else the topmost
// visible top-level window that a thread runs.
std::optional<WindowInfo> KeyboardWindow() {
    if (auto f = Windows().Get(Input().Machine().foreground); f && f->thread) return f;
    for (HWND h : Windows().TopLevel())
        if (auto w = Windows().Get(h); w && w->thread && Windows().IsVisible(h)) return w;
    return std::nullopt;
}

// The window whose thread takes the mouse: a capture window (the foreground thread's first), else,
// while a button is held, the window it was pressed over, else the topmost window under the
// pointer.
std::optional<WindowInfo> MouseWindow(POINT at, bool held) {
    std::optional<WindowInfo> captured;
    HWND foreground = Input().Machine().foreground;
    auto front = Windows().Get(foreground);
    for (const auto& [id, t] : Input().Threads()) {
        auto w = Windows().Get(t.capture);
        if (!w || !w->thread) continue;
        if (!captured || (front && front->thread == w->thread)) captured = w;
    }
    if (captured) return captured;
    if (auto pressed = Windows().Get(Input().Machine().pressWindow); held && pressed)
        return pressed;
    auto under = Windows().WindowsAt(at);
    if (under.empty()) return std::nullopt;
    return Windows().Get(under.front());
}

bool Queue(const std::optional<WindowInfo>& to, const MSG& input) {
    return to && to->thread && Windows().PostInput(*to->thread, input);
}

DWORD Now() {
    return static_cast<DWORD>(Kernel::Get().Now());
}

UINT ButtonKey(MouseButton b) {
    return b == MouseButton::Left ? VK_LBUTTON : VK_RBUTTON;
}

bool ButtonHeld(const MachineInput& m) {
    return m.down[VK_LBUTTON] || m.down[VK_RBUTTON];
}

// Queues mouse input at the pointer's position; wParam carries the keys and buttons held now
// (after this input) and `high` in its high word. `held`: a button was held before this input.
bool QueueMouse(UINT message, bool held, WPARAM high = 0) {
    MachineInput m = Input().Machine();
    WPARAM keys = (m.down[VK_LBUTTON] ? MK_LBUTTON : 0) | (m.down[VK_RBUTTON] ? MK_RBUTTON : 0) |
                  (m.down[VK_SHIFT] ? MK_SHIFT : 0) | (m.down[VK_CONTROL] ? MK_CONTROL : 0);
    auto to = message == WM_MOUSEWHEEL ? KeyboardWindow() : MouseWindow(m.cursorPos, held);
    if (!held && (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN))
        Input().ModifyMachine([&](MachineInput& in) { in.pressWindow = to ? to->hwnd : nullptr; });
    // Threads the pointer is not over any more stop tracking it.
    for (const auto& [id, t] : Input().Threads())
        if (t.tracking.window != nullptr && !(to && to->thread && to->thread->id == id) &&
            message != WM_MOUSEWHEEL)
            Windows().EndMouseTracking(id);
    MSG input{to ? to->hwnd : nullptr, message, keys | (high << 16), 0, Now(), m.cursorPos};
    return Queue(to, input);
}

bool Button(MouseButton button, bool down) {
    bool held = Input().ModifyMachine([&](MachineInput& m) {
        bool before = ButtonHeld(m);
        m.down[ButtonKey(button)] = down;
        return before;
    });
    UINT message = button == MouseButton::Left ? (down ? WM_LBUTTONDOWN : WM_LBUTTONUP)
                                               : (down ? WM_RBUTTONDOWN : WM_RBUTTONUP);
    return QueueMouse(message, held);
}

// Queues a key going down or up; `extra` goes into lParam's bits 32 and up.
bool Key(UINT virtualKey, bool down, LPARAM extra = 0) {
    auto vk = static_cast<std::size_t>(virtualKey & 0xFF);
    bool was =
        Input().ModifyMachine([&](MachineInput& m) { return std::exchange(m.down[vk], down); });
    // Repeat count 1; bit 30: the key was down before; bit 31: it is being released.
    LPARAM lParam = 1 | (was ? LPARAM{1} << 30 : 0) | (down ? 0 : LPARAM{1} << 31) | (extra << 32);
    auto to = KeyboardWindow();
    HWND window = nullptr;
    if (to) {
        ThreadInput t = Input().Thread(to->thread->id);
        window = t.focus != nullptr ? t.focus : t.active;
    }
    MSG input{window, down ? WM_KEYDOWN : WM_KEYUP, virtualKey, lParam,
              Now(),  Input().Machine().cursorPos};
    return Queue(to, input);
}

}  // namespace

bool MoveMouse(POINT screen) {
    const Config& config = machine().config();
    POINT p{std::clamp<LONG>(screen.x, 0, std::max(0, config.screenWidth - 1)),
            std::clamp<LONG>(screen.y, 0, std::max(0, config.screenHeight - 1))};
    bool held = Input().ModifyMachine([&](MachineInput& m) {
        m.cursorPos = p;
        return ButtonHeld(m);
    });
    return QueueMouse(WM_MOUSEMOVE, held);
}

bool PressMouse(MouseButton button) {
    return Button(button, true);
}

bool ReleaseMouse(MouseButton button) {
    return Button(button, false);
}

bool Click(POINT screen, MouseButton button) {
    bool moved = MoveMouse(screen);
    bool pressed = PressMouse(button);
    bool released = ReleaseMouse(button);
    return moved && pressed && released;
}

bool DoubleClick(POINT screen) {
    bool first = Click(screen);
    bool pressed = PressMouse();
    bool released = ReleaseMouse();
    return first && pressed && released;
}

bool TurnWheel(int delta) {
    return QueueMouse(WM_MOUSEWHEEL, false, static_cast<WORD>(static_cast<short>(delta)));
}

bool KeyDown(UINT virtualKey) {
    return Key(virtualKey, true);
}

bool KeyUp(UINT virtualKey) {
    return Key(virtualKey, false);
}

bool PressKey(UINT virtualKey) {
    bool down = KeyDown(virtualKey);
    bool up = KeyUp(virtualKey);
    return down && up;
}

bool TypeText(const std::wstring& text) {
    bool all = true;
    for (wchar_t ch : text) {
        auto key = KeyOfChar(ch);
        if (!key) {
            all = Key(VK_PACKET, true, static_cast<LPARAM>(ch)) && all;
            all = Key(VK_PACKET, false, static_cast<LPARAM>(ch)) && all;
            continue;
        }
        auto [vk, shift] = *key;
        bool held = Input().Machine().down[VK_SHIFT];
        if (shift && !held) all = KeyDown(VK_SHIFT) && all;
        if (!shift && held) all = KeyUp(VK_SHIFT) && all;
        all = PressKey(vk) && all;
        if (shift && !held) all = KeyUp(VK_SHIFT) && all;
        if (!shift && held) all = KeyDown(VK_SHIFT) && all;
    }
    return all;
}

}  // namespace sim::input
