// The machine's input state of the window system: per thread the focus, active and capture
// windows and the caret; machine-wide the foreground window, the cursor's position and shape and
// the caret blink time. The layer (user_input.cpp) sends the messages; this only keeps records.
// A record may name a window that has been destroyed since: the layer reads it as none.
#pragma once

#include <bitset>
#include <map>
#include <mutex>
#include <optional>

#include "platform/gdi.h"
#include "platform/user.h"
#include "platform/wintypes.h"

namespace sim {

struct Caret {
    HWND owner = nullptr;
    HBITMAP bitmap = nullptr;
    int width = 0;
    int height = 0;
    POINT position{0, 0};
    // ShowCaret takes one off, HideCaret adds one; a new caret starts hidden (1). Shown at 0.
    int hideCount = 1;
};

struct ThreadInput {
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;
    std::optional<Caret> caret;
    // The keys held down, as the thread's key messages taken from its queue tell (GetKeyState).
    std::bitset<256> keysDown;
};

struct MachineInput {
    HWND foreground = nullptr;
    POINT cursorPos{0, 0};
    HCURSOR cursor = nullptr;  // none until the program sets one
    UINT blinkTime = 530;      // the caret's, in milliseconds
};

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
