// Windows: posting, sending and taking messages from the thread's queue, and timers.
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <winbase.h>
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/shell.h"
#include "machine/threads.h"
#include "machine/trace.h"
#include "machine/remote_windows.h"
#include "machine/windows.h"
#include <winuser.h>
#include "platform/user32/routing.h"

using sim::Fail;
using sim::Kernel;

namespace {

sim::WindowTable& Windows() {
    return sim::machine().windows();
}

// Calls the window's procedure on the calling thread (one without a procedure answers as
// DefWindowProcW does).
LRESULT CallProcedure(const sim::WindowInfo& w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (w.procedure == nullptr) return DefWindowProcW(w.hwnd, message, wParam, lParam);
    return w.procedure(w.hwnd, message, wParam, lParam);
}

// Whether the calling thread is inside the handler of a message another thread sent.
thread_local bool t_inSent = false;

// Handles every message other threads have sent to the calling thread's windows.
void HandleSentMessages(sim::ThreadRec& self) {
    while (auto sent = Windows().TakeSent(self)) {
        LRESULT result = 0;
        if (auto w = Windows().Get(sent->hwnd)) {
            bool outer = std::exchange(t_inSent, true);
            result = CallProcedure(*w, sent->message, sent->wParam, sent->lParam);
            t_inSent = outer;
        }
        std::lock_guard<std::mutex> k(Kernel::Get().Mutex());
        sent->ReplyLocked(result);
    }
}

// Waits until the calling thread's queue changes after `seen` (or the deadline); false at the
// deadline. A thread of an ending process unwinds.
bool WaitForQueue(sim::ThreadRec& self, std::uint64_t seen, std::uint64_t deadline) {
    auto& kernel = Kernel::Get();
    sim::WaitItem item{&Windows().QueueChanged(self), seen};
    sim::WaitResult r;
    {
        std::unique_lock<std::mutex> lk(kernel.Mutex());
        r = kernel.Wait(lk, self, std::span<const sim::WaitItem>(&item, 1), false, 0, deadline);
    }
    if (r.outcome == sim::WaitOutcome::Terminated) sim::ThrowIfTerminating();
    return r.outcome == sim::WaitOutcome::Object;
}

// WM_COPYDATA announcing bytes without their pointer: it cannot be copied for another thread.
bool BadCopyData(UINT message, LPARAM lParam) {
    if (message != WM_COPYDATA || lParam == 0) return false;
    const auto& given = *reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    return given.cbData != 0 && given.lpData == nullptr;
}

struct CopiedData {
    COPYDATASTRUCT header;
    std::vector<BYTE> bytes;
};

// Waits for the result of a sent message, handling messages sent to the calling thread
// meanwhile. Nothing when the deadline passed first; 0 when the receiving thread (if known here)
// ended before it handled the message: then the message is taken back.
std::optional<LRESULT> AwaitReply(const std::shared_ptr<sim::SentMessage>& sent,
                                  sim::ThreadRec* receiver, std::uint64_t deadline) {
    sim::ThreadRec& self = sim::CurrentThread();
    auto& kernel = Kernel::Get();
    Windows().EnsureQueue(self);
    sim::ChangeCounter& incoming = Windows().QueueChanged(self);
    auto takeBack = [&] {
        if (receiver != nullptr) Windows().Unqueue(*receiver, sent);
    };
    for (;;) {
        std::uint64_t seen = Windows().QueueChangeCount(self);
        HandleSentMessages(self);
        sim::WaitItem items[] = {{sent.get()}, {&incoming, seen}, {receiver}};
        sim::WaitResult r;
        LRESULT result = 0;
        {
            std::unique_lock<std::mutex> lk(kernel.Mutex());
            r = kernel.Wait(lk, self, std::span<const sim::WaitItem>(items, receiver ? 3 : 2),
                            false, 0, deadline);
            result = sent->result;
            if (sent->done) return result;
        }
        switch (r.outcome) {
            case sim::WaitOutcome::Object:
            case sim::WaitOutcome::Abandoned:
                if (r.index == 2) {  // the window's thread ended
                    takeBack();
                    return 0;
                }
                continue;  // a message sent to this thread
            case sim::WaitOutcome::Terminated:
                takeBack();
                sim::ThrowIfTerminating();
                return 0;
            default:  // the deadline
                takeBack();
                return std::nullopt;
        }
    }
}

// Sends to a window of another thread and waits for its result, handling messages sent to the
// calling thread meanwhile. Nothing when the deadline passed first; 0 when the window's thread
// ended before it handled the message.
// WM_COPYDATA's structure and bytes are copied for the receiver (the copy goes with the message);
// the caller has refused a bad one (BadCopyData).
std::optional<LRESULT> SendAcross(const sim::WindowInfo& w, UINT message, WPARAM wParam,
                                  LPARAM lParam, std::uint64_t deadline) {
    auto sent = std::make_shared<sim::SentMessage>();
    sent->hwnd = w.hwnd;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    if (message == WM_COPYDATA && lParam != 0) {
        const auto& given = *reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        auto copy = std::make_shared<CopiedData>();
        copy->bytes.assign(static_cast<const BYTE*>(given.lpData),
                           static_cast<const BYTE*>(given.lpData) + given.cbData);
        copy->header = {given.dwData, given.cbData,
                        given.cbData != 0 ? copy->bytes.data() : nullptr};
        sent->lParam = reinterpret_cast<LPARAM>(&copy->header);
        sent->payload = copy;
    }
    if (!Windows().QueueSent(*w.thread, sent)) return 0;
    return AwaitReply(sent, w.thread.get(), deadline);
}

// Where a message for the window goes: nothing when the window does not exist (last error set).
std::optional<sim::WindowInfo> Target(HWND window) {
    auto w = Windows().Get(window);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

sim::MessageFilter Filter(HWND window, UINT filterMin, UINT filterMax) {
    return sim::MessageFilter{window, filterMin, filterMax};
}

// The next message for the filter (Take's rules); queued hardware input met on the way is routed
// to its window first, on this thread.
std::optional<MSG> TakeRouted(sim::ThreadRec& self, const sim::MessageFilter& filter, bool remove) {
    for (;;) {
        std::uint64_t input = 0;
        auto m = Windows().Take(self, filter, remove, &input);
        if (!m || input == 0) return m;
        Windows().ResolveInput(self, input, RouteInput(*m));
    }
}

}  // namespace

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    API_TRACE(Windows, PostMessageW, window, message, wParam, lParam);
    if (message == WM_COPYDATA) return Fail(FALSE, ERROR_MESSAGE_SYNC_ONLY);
    if (window == nullptr) {  // a thread message to the calling thread
        sim::ThreadRec& self = sim::CurrentThread();
        Windows().EnsureQueue(self);
        return Windows().PostToThread(self.id, message, wParam, lParam) ? TRUE : FALSE;
    }
    if (!Windows().Post(window, message, wParam, lParam) &&
        !sim::PostToOtherProcess(window, message, wParam, lParam))
        return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    return TRUE;
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    API_TRACE(Windows, PostThreadMessageW, threadId, message, wParam, lParam);
    if (!Windows().PostToThread(threadId, message, wParam, lParam))
        return Fail(FALSE, ERROR_INVALID_THREAD_ID);
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    API_TRACE_VOID(Windows, PostQuitMessage, exitCode);
    Windows().PostQuit(sim::CurrentThread(), exitCode);
}

BOOL GetMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    API_TRACE(Windows, GetMessageW, msg, window, filterMin, filterMax);
    if (msg == nullptr) return Fail(-1, ERROR_INVALID_PARAMETER);
    if (window != nullptr && window != reinterpret_cast<HWND>(-1) && !Windows().Exists(window))
        return Fail(-1, ERROR_INVALID_WINDOW_HANDLE);
    sim::ThreadRec& self = sim::CurrentThread();
    for (;;) {
        std::uint64_t seen = Windows().QueueChangeCount(self);
        HandleSentMessages(self);
        if (auto m = TakeRouted(self, Filter(window, filterMin, filterMax), true)) {
            *msg = *m;
            return m->message == WM_QUIT ? FALSE : TRUE;
        }
        WaitForQueue(self, seen, sim::kForever);
    }
}

BOOL PeekMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
    API_TRACE(Windows, PeekMessageW, msg, window, filterMin, filterMax, remove);
    if (msg == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    sim::ThreadRec& self = sim::CurrentThread();
    HandleSentMessages(self);
    if ((remove & PM_QS_SENDMESSAGE) != 0) return FALSE;  // sent messages only
    auto m = TakeRouted(self, Filter(window, filterMin, filterMax), (remove & PM_REMOVE) != 0);
    if (!m) return FALSE;
    *msg = *m;
    return TRUE;
}

BOOL TranslateMessage(const MSG* msg) {
    API_TRACE(Windows, TranslateMessage, msg);
    if (msg == nullptr || msg->hwnd == nullptr) return FALSE;
    bool system = msg->message == WM_SYSKEYDOWN;
    if (msg->message != WM_KEYDOWN && !system) return FALSE;
    auto key = static_cast<UINT>(msg->wParam);
    // The thread's key state as of this key: shift, Ctrl (without Alt) and caps lock.
    bool ctrl = GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0;
    bool letter = key >= 'A' && key <= 'Z';
    bool shift = (GetKeyState(VK_SHIFT) < 0) != (letter && (GetKeyState(VK_CAPITAL) & 1) != 0);
    std::optional<wchar_t> ch;
    if (key == VK_PACKET)
        ch = static_cast<wchar_t>(static_cast<std::uint64_t>(msg->lParam) >> 32);
    else if (ctrl)
        ch = letter ? std::optional<wchar_t>(static_cast<wchar_t>(key - 'A' + 1)) : std::nullopt;
    else
        ch = sim::CharOfKey(key, shift);
    if (!ch) return FALSE;
    // The character comes next, before anything queued after the key.
    Windows().Post(msg->hwnd, system ? WM_SYSCHAR : WM_CHAR, static_cast<WPARAM>(*ch),
                   msg->lParam & 0xFFFFFFFF, true);
    return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) {
    API_TRACE(Windows, DispatchMessageW, msg);
    if (msg == nullptr) return Fail<LRESULT>(0, ERROR_INVALID_PARAMETER);
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        return 0;
    }
    if (msg->hwnd == nullptr) return 0;  // a thread message has no procedure
    auto w = Target(msg->hwnd);
    if (!w) return 0;
    return CallProcedure(*w, msg->message, msg->wParam, msg->lParam);
}

BOOL InSendMessage() {
    return t_inSent ? TRUE : FALSE;
}

// Sends to a window of another process and waits for its result (nothing when the deadline
// passed first); false in `found` when there is no such window.
static std::optional<LRESULT> SendAcrossProcesses(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam, std::uint64_t deadline,
                                                  bool& found) {
    auto sent = sim::SendToOtherProcess(window, message, wParam, lParam);
    found = sent != nullptr;
    if (!found) return 0;
    return AwaitReply(sent, nullptr, deadline);
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    API_TRACE(Windows, SendMessageW, window, message, wParam, lParam);
    if (!Windows().Exists(window) && window != nullptr) {
        if (BadCopyData(message, lParam)) return Fail<LRESULT>(0, ERROR_INVALID_PARAMETER);
        bool found = false;
        auto result = SendAcrossProcesses(window, message, wParam, lParam, sim::kForever, found);
        if (found) return result.value_or(0);
    }
    auto w = Target(window);
    if (!w) return 0;
    if (w->thread.get() == &sim::CurrentThread()) return CallProcedure(*w, message, wParam, lParam);
    if (BadCopyData(message, lParam)) return Fail<LRESULT>(0, ERROR_INVALID_PARAMETER);
    return *SendAcross(*w, message, wParam, lParam, sim::kForever);
}

BOOL SendNotifyMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    API_TRACE(Windows, SendNotifyMessageW, window, message, wParam, lParam);
    auto w = Target(window);
    if (!w) return FALSE;
    if (w->thread.get() == &sim::CurrentThread()) {
        CallProcedure(*w, message, wParam, lParam);
        return TRUE;
    }
    if (message == WM_COPYDATA) return Fail(FALSE, ERROR_MESSAGE_SYNC_ONLY);
    auto sent = std::make_shared<sim::SentMessage>();
    sent->hwnd = window;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    sent->notify = true;
    Windows().QueueSent(*w->thread, sent);
    return TRUE;
}

LRESULT SendMessageTimeoutW(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                            UINT timeoutMs, PDWORD_PTR result) {
    API_TRACE(Windows, SendMessageTimeoutW, window, message, wParam, lParam, flags, timeoutMs,
              result);
    if (!Windows().Exists(window) && window != nullptr) {
        if (BadCopyData(message, lParam)) return Fail<LRESULT>(0, ERROR_INVALID_PARAMETER);
        bool found = false;
        // A message the other process has not handled in time is handled all the same later; its
        // result is lost.
        auto answered = SendAcrossProcesses(window, message, wParam, lParam,
                                            Kernel::Get().Now() + timeoutMs, found);
        if (found) {
            if (!answered) return Fail<LRESULT>(0, ERROR_TIMEOUT);
            if (result != nullptr) *result = static_cast<DWORD_PTR>(*answered);
            return 1;
        }
    }
    auto w = Target(window);
    if (!w) return 0;
    LRESULT value;
    if (w->thread.get() == &sim::CurrentThread()) {
        value = CallProcedure(*w, message, wParam, lParam);
    } else {
        if (BadCopyData(message, lParam)) return Fail<LRESULT>(0, ERROR_INVALID_PARAMETER);
        // A message the window did not take in time is taken back: it will not be handled.
        std::uint64_t deadline = Kernel::Get().Now() + timeoutMs;
        auto answered = SendAcross(*w, message, wParam, lParam, deadline);
        if (!answered) return Fail<LRESULT>(0, ERROR_TIMEOUT);
        value = *answered;
    }
    if (result != nullptr) *result = static_cast<DWORD_PTR>(value);
    return 1;
}

// ---- Timers ----

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC procedure) {
    API_TRACE(Windows, SetTimer, window, id, elapse, procedure);
    sim::ThreadRec& self = sim::CurrentThread();
    if (window != nullptr) {
        auto w = Target(window);
        if (!w) return 0;
        if (w->thread.get() != &self) return Fail<UINT_PTR>(0, ERROR_ACCESS_DENIED);
    }
    UINT_PTR given = Windows().SetTimer(self, window, id, elapse, procedure);
    // A window timer answers with a non-zero value even for id 0.
    return window != nullptr && given == 0 ? 1 : given;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    API_TRACE(Windows, KillTimer, window, id);
    sim::ThreadRec& self = sim::CurrentThread();
    if (window != nullptr) {
        auto w = Target(window);
        if (!w) return FALSE;
        if (w->thread.get() != &self) return Fail(FALSE, ERROR_ACCESS_DENIED);
    }
    if (!Windows().KillTimer(self, window, id)) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    return TRUE;
}

UINT RegisterWindowMessageW(LPCWSTR name) {
    API_TRACE(Windows, RegisterWindowMessageW, name);
    if (name == nullptr || *name == 0) return sim::Fail(0u, ERROR_INVALID_PARAMETER);
    return sim::machine().shell().RegisterMessage(name);
}
