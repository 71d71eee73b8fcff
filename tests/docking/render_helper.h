// What the render tests share: events, a way to let the machine settle, and a window class whose
// procedure a test chooses per window.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

#include "common/sim_fixture.h"
#include <winbase.h>
#include "common/thread_helper.h"
#include <winuser.h>

// A manual-reset event.
class Event {
public:
    Event() : h_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() { CloseHandle(h_); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    void Set() { SetEvent(h_); }
    bool IsSet() { return WaitForSingleObject(h_, 0) == WAIT_OBJECT_0; }
    HANDLE handle() const { return h_; }

private:
    HANDLE h_;
};

// Returns once every other thread of the machine waits: the virtual clock moves only then, so a
// timed wait on an event nobody sets ends exactly when nothing else can happen by itself. The
// calling thread handles no messages meanwhile.
inline void LetTheMachineSettle() {
    Event never;
    WaitForSingleObject(never.handle(), 1000);
}

// Sets the event once the machine has settled, from a thread of its own (while the test's thread
// is itself blocked).
inline HANDLE SetWhenSettled(Event& event) {
    return StartThread([&event] {
        LetTheMachineSettle();
        event.Set();
        return 0u;
    });
}

// Windows of the class "RenderTestWindow" answer through the handler registered for them (else
// DefWindowProcW).
using Handler = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;

inline std::map<HWND, Handler>& Handlers() {
    static std::map<HWND, Handler> handlers;
    return handlers;
}
inline std::mutex& HandlersLock() {
    static std::mutex lock;
    return lock;
}

inline LRESULT CALLBACK RenderTestProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    Handler handler;
    {
        std::lock_guard<std::mutex> hold(HandlersLock());
        auto it = Handlers().find(w);
        if (it != Handlers().end()) handler = it->second;
    }
    if (handler)
        if (auto r = handler(w, m, wp, lp)) return *r;
    return DefWindowProcW(w, m, wp, lp);
}

inline void RegisterRenderTestClass() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = RenderTestProc;
    wc.lpszClassName = L"RenderTestWindow";
    RegisterClassW(&wc);
}

// A window of the class; the handler is in place before its first message.
inline HWND MakeRenderWindow(Handler handler, DWORD style = WS_POPUP | WS_VISIBLE,
                             HWND parent = nullptr, RECT r = {0, 0, 200, 100}) {
    // The handler is registered under the window's handle once it exists; messages before that
    // (creation) go to the default procedure.
    HWND w = CreateWindowExW(0, L"RenderTestWindow", L"", style, r.left, r.top, r.right - r.left,
                             r.bottom - r.top, parent, nullptr, nullptr, nullptr);
    std::lock_guard<std::mutex> hold(HandlersLock());
    Handlers()[w] = std::move(handler);
    return w;
}

// Takes and dispatches every posted message now in the calling thread's queue.
inline int DrainMessages() {
    int n = 0;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&msg);
        ++n;
    }
    return n;
}
