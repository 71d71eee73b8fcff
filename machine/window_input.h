// The machine's input state of the window system: per thread the focus, active and capture
// windows, the caret, the key state as of the input the thread has taken, its mouse tracking and
// its last click; machine-wide the foreground window, the cursor's position and shape, the keys
// and buttons held down now, the caret blink time and the double-click time. The machine's
// keyboard has the United States layout. The layer (user32/input.cpp) sends the messages; this only
// keeps records. A record may name a window that has been destroyed since: the layer reads it as
// none.
#pragma once

#include <array>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

#include <wingdi.h>
#include <winuser.h>
#include <windef.h>

namespace sim {

struct Caret {
    HWND owner = nullptr;
    HBITMAP bitmap = nullptr;
    int width = 0;
    int height = 0;
    POINT position{0, 0};
    // ShowCaret takes one off, HideCaret adds one; a new caret starts hidden (1). Shown at 0.
    int hideCount = 1;
    // Whether the blink has the caret inverted on its owner now.
    bool drawn = false;
};

// TrackMouseEvent's request: WM_MOUSELEAVE goes once to the window when the pointer leaves it.
struct MouseTracking {
    HWND window = nullptr;
    DWORD flags = 0;
};

// The last button press that may begin a double click.
struct LastClick {
    HWND window = nullptr;
    UINT message = 0;  // WM_LBUTTONDOWN or WM_RBUTTONDOWN
    DWORD time = 0;
    POINT point{0, 0};
};

struct ThreadInput {
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;
    std::optional<Caret> caret;
    // Per virtual key: 0x80 held down, 0x01 toggled; changes as the thread takes key and button
    // messages from its queue (GetKeyState).
    std::array<BYTE, 256> keys{};
    POINT messagePos{0, 0};  // the screen point of the last mouse input the thread took
    MouseTracking tracking;
    LastClick lastClick;
};

struct MachineInput {
    HWND foreground = nullptr;
    POINT cursorPos{0, 0};
    HCURSOR cursor = nullptr;  // none until the program sets one
    UINT blinkTime = 530;      // the caret's, in milliseconds
    UINT doubleClickTime = 500;
    // Keys and mouse buttons held down now, by virtual key (GetAsyncKeyState).
    std::array<bool, 256> down{};
    // The window a button was pressed over while no other was held: until every button is up
    // again, mouse input goes to its thread, which routes it when it takes it (by then it may
    // hold the capture).
    HWND pressWindow = nullptr;
};

// Two presses make a double click when they are this close (pixels each way) and within the
// double-click time.
inline constexpr int kDoubleClickDistance = 2;

// The keyboard's layout: the character a key gives with or without shift (none for a key without
// one), and the key and shift state that type a character (none for a character the layout has
// no key for: such a character is typed as a VK_PACKET key).
std::optional<wchar_t> CharOfKey(UINT vk, bool shift);
std::optional<std::pair<UINT, bool>> KeyOfChar(wchar_t ch);

class WindowInput {
public:
    ThreadInput Thread(DWORD threadId) {
        std::lock_guard<std::mutex> lk(mu_);
        auto it = threads_.find(threadId);
        return it == threads_.end() ? ThreadInput{} : it->second;
    }
    // Changes the thread's record in place and returns what change returns.
    template <class F>
    auto ModifyThread(DWORD threadId, F change) {
        std::lock_guard<std::mutex> lk(mu_);
        return change(threads_[threadId]);
    }
    // Every thread's record, by thread id.
    std::map<DWORD, ThreadInput> Threads() {
        std::lock_guard<std::mutex> lk(mu_);
        return threads_;
    }

    // The machine-wide part, read or changed in one step.
    MachineInput Machine() {
        std::lock_guard<std::mutex> lk(mu_);
        return machine_;
    }
    template <class F>
    auto ModifyMachine(F change) {
        std::lock_guard<std::mutex> lk(mu_);
        return change(machine_);
    }

private:
    std::mutex mu_;
    std::map<DWORD, ThreadInput> threads_;
    MachineInput machine_;
};

}  // namespace sim
