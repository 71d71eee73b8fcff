// Windows for tests: a class whose procedure logs every message (with the window's visibility and
// enabled state at that moment and the thread it ran on) and lets a test answer chosen messages.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <vector>

#include "common/sim_fixture.h"
#include <winbase.h>
#include <winuser.h>
#include "thread_helper.h"

struct Logged {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD thread;
    bool visible;
    bool enabled;
};

inline SharedLog<Logged>& MessageLog() {
    static SharedLog<Logged> log;
    return log;
}

// Set by a test before its windows get messages; nothing: DefWindowProcW answers.
using Answer = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;
inline Answer& Answers() {
    static Answer answer;
    return answer;
}

inline LRESULT CALLBACK LoggingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    MessageLog().Add({w, m, wp, lp, GetCurrentThreadId(), IsWindowVisible(w) != FALSE,
                      IsWindowEnabled(w) != FALSE});
    if (Answers())
        if (auto r = Answers()(w, m, wp, lp)) return *r;
    return DefWindowProcW(w, m, wp, lp);
}

inline const wchar_t* kTestClass = L"TestWindow";

inline ATOM RegisterTestClass(UINT style = 0) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = LoggingProc;
    wc.cbWndExtra = 16;
    wc.lpszClassName = kTestClass;
    return RegisterClassExW(&wc);
}

inline HWND MakeWindow(DWORD style = WS_OVERLAPPEDWINDOW, HWND parent = nullptr, int id = 0,
                       const wchar_t* title = L"", RECT r = {10, 20, 110, 220}) {
    return CreateWindowExW(0, kTestClass, title, style, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

// The logged messages among `kinds` (all when empty), of one window (all when NULL).
inline std::vector<UINT> Messages(const std::set<UINT>& kinds, HWND window = nullptr) {
    std::vector<UINT> out;
    for (const Logged& l : MessageLog().Items())
        if ((kinds.empty() || kinds.count(l.message)) && (window == nullptr || l.hwnd == window))
            out.push_back(l.message);
    return out;
}

inline std::vector<Logged> Entries(UINT message, HWND window = nullptr) {
    std::vector<Logged> out;
    for (const Logged& l : MessageLog().Items())
        if (l.message == message && (window == nullptr || l.hwnd == window)) out.push_back(l);
    return out;
}

// What the callable returns when run on a new machine thread (which has ended on return).
template <class F>
auto OnAnotherThread(F body) {
    decltype(body()) out{};
    HANDLE t = StartThread([&] {
        out = body();
        return 0u;
    });
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    return out;
}

// A window made by a thread that has ended since (so the window is gone too).
inline HWND WindowOfEndedThread() {
    return OnAnotherThread([] { return MakeWindow(); });
}

// A fresh machine with the test class registered and an empty log.
class WindowTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        MessageLog().Clear();
        Answers() = nullptr;
        ASSERT_NE(RegisterTestClass(CS_DBLCLKS), 0);
    }
    // Takes and dispatches every message now in the queue; returns them.
    static std::vector<UINT> Drain() {
        std::vector<UINT> out;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            out.push_back(msg.message);
            DispatchMessageW(&msg);
        }
        return out;
    }
};

// The height of a line of the standard controls' font (the default GUI font).
inline int ControlFontHeight() {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    DeleteDC(dc);
    return tm.tmHeight;
}

// A visible pop-up window of a class of its own in the face colour, as a dialog holding
// controls, at `r` on the screen.
inline HWND MakeFaceWindow(const wchar_t* className, WNDPROC procedure, RECT r) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = className;
    if (RegisterClassExW(&wc) == 0) return nullptr;
    return CreateWindowExW(0, className, L"", WS_POPUP | WS_VISIBLE, r.left, r.top,
                           r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
}

// The same window, made the foreground window.
inline HWND MakeControlParent(const wchar_t* className, WNDPROC procedure, RECT r) {
    HWND parent = MakeFaceWindow(className, procedure, r);
    if (parent != nullptr) SetForegroundWindow(parent);
    return parent;
}
