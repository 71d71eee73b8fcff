// The machine's window system: window classes, window records (class, styles, text, rectangles,
// parent, owner, owning thread, id, z-order, procedure, update region) and each thread's message
// queue (posted and sent messages, WM_QUIT, timers). Every window belongs to a thread; the
// windows the machine itself shows (control/windows.h) belong to the machine's own thread.
//
// Locks: the table's mutex is taken before the kernel lock, never inside it. Queue state is
// guarded by the kernel lock, so that a post and the wake-up of a waiting thread are one step.
// Nothing here calls a window procedure: the layer does, on the right thread.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "machine/threads.h"
#include "machine/waits.h"
#include "machine/window_input.h"
#include <winuser.h>
#include <windef.h>

namespace sim {

struct WindowClass {
    std::wstring name;
    UINT style = 0;
    WNDPROC procedure = nullptr;
    int windowExtra = 0;
    HINSTANCE instance = nullptr;
    HBRUSH background = nullptr;
    HCURSOR cursor = nullptr;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
};

// A window record as the layer reads and writes it.
struct WindowInfo {
    HWND hwnd = nullptr;
    std::wstring className;
    UINT classStyle = 0;
    HBRUSH classBackground = nullptr;
    HCURSOR classCursor = nullptr;
    HICON classIcon = nullptr;
    HICON classSmallIcon = nullptr;
    // WM_SETICON's icons.
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::wstring text;
    RECT rect{};    // in the parent's client coordinates (the screen's for a top-level window)
    RECT client{};  // likewise
    HWND parent = nullptr;
    HWND owner = nullptr;
    std::shared_ptr<ThreadRec> thread;  // the owning thread (never null)
    DWORD pid = 0;
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    WNDPROC procedure = nullptr;
    HINSTANCE instance = nullptr;
    std::vector<BYTE> extra;  // the class's extra window bytes
    bool destroying = false;
    // Where a minimised or maximised window returns to (its rectangle when it was last normal).
    std::optional<RECT> normal;
    // Update region (client coordinates), kept as one covering rectangle.
    bool hasUpdate = false;
    bool erase = false;
    RECT update{};
};

// A message sent to another thread's window: the sender waits on it until the reply.
class SentMessage : public Waitable {
public:
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    bool notify = false;  // nobody waits for the result
    // Data that lParam points into (a copy made for the receiver), freed with the message.
    std::shared_ptr<const void> payload;
    // Kernel lock held.
    LRESULT result = 0;
    bool done = false;
    // Told the result (kernel lock held): a message another process sent answers it there.
    std::function<void(LRESULT)> onReplyLocked;
    bool SignaledFor(const ThreadRec&, std::uint64_t) const override { return done; }
    void ReplyLocked(LRESULT r) {
        result = r;
        done = true;
        Changed();
        if (onReplyLocked) std::exchange(onReplyLocked, nullptr)(r);
    }
};

// Hears what other processes may see of the process's top-level windows (the machine server's
// window directory). Called with the table's lock held, in the order the changes happen.
class SharedWindows {
public:
    virtual ~SharedWindows() = default;
    // A new top-level window, on top of the process's others.
    virtual void Added(const WindowInfo& w) = 0;
    // Its title or visibility changed.
    virtual void Changed(const WindowInfo& w) = 0;
    // It moved in the z-order: directly below `above` (null: on top of every window).
    virtual void Placed(HWND hwnd, HWND above) = 0;
    virtual void Removed(HWND hwnd) = 0;
};

// What GetMessage/PeekMessage look for.
struct MessageFilter {
    HWND hwnd = nullptr;  // NULL: any; (HWND)-1: thread messages only
    UINT min = 0;
    UINT max = 0;
};

class WindowTable {
public:
    WindowTable();

    // ---- Classes (per process) ----
    bool RegisterClass(DWORD pid, const WindowClass& c);
    std::optional<WindowClass> FindClass(DWORD pid, const std::wstring& name);
    // 0: removed; otherwise the error (no such class, windows of it exist).
    DWORD UnregisterClass(DWORD pid, const std::wstring& name);

    // ---- Records ----
    // Adds a window record (on top of the top-level windows; a child below its siblings).
    // Null when the parent does not exist or no thread owns the window.
    HWND Add(WindowInfo info);
    // Removes one record (the layer destroys children first). Its timers go with it.
    void Remove(HWND hwnd);
    // A window exists while its record does and its owning thread runs.
    bool Exists(HWND hwnd);
    std::optional<WindowInfo> Get(HWND hwnd);
    // Changes a record in place; false when the window does not exist.
    template <class F>
    bool Modify(HWND hwnd, F change) {
        std::lock_guard<std::mutex> lk(mu_);
        WindowInfo* w = FindLocked(hwnd);
        if (w == nullptr) return false;
        if (shared_ == nullptr || w->parent != nullptr) {
            change(*w);
            return true;
        }
        const std::wstring text = w->text;
        const DWORD style = w->style;
        change(*w);
        if (w->text != text || ((w->style ^ style) & WS_VISIBLE) != 0) shared_->Changed(*w);
        return true;
    }
    // From now on the process's top-level windows are told to `shared` (which outlives the
    // table), and new windows get handles from `handleBase` on (unique on the machine when each
    // process has its own range).
    void Share(SharedWindows* shared, ULONG_PTR handleBase);
    void SetVisible(HWND hwnd, bool visible);
    // Visible with every ancestor.
    bool IsVisible(HWND hwnd);

    // Top-level windows, topmost first.
    std::vector<HWND> TopLevel();
    // Direct children, in z-order (topmost first).
    std::vector<HWND> Children(HWND hwnd);
    // Descendants depth first, children in z-order.
    std::vector<HWND> Descendants(HWND hwnd);
    // Top-level windows owned by the window.
    std::vector<HWND> Owned(HWND hwnd);
    // GetWindow's relations (GW_*); NULL when there is none.
    HWND Relative(HWND hwnd, UINT relation);
    // Moves the window in its siblings' z-order: after insertAfter, or HWND_TOP / HWND_BOTTOM.
    bool PlaceAfter(HWND hwnd, HWND insertAfter);
    // The origin of the window's client area in screen coordinates.
    POINT ClientOrigin(HWND hwnd);
    // The windows under a screen point that may take the mouse, in the order a hit test tries
    // them: the topmost visible window whose rectangle holds the point, its children first (a
    // child only within its parent's client area, the topmost first, each before its parent),
    // then the windows beneath. A disabled child stops the descent: its parent comes next. A
    // disabled top-level window ends the list.
    // A top-level window for which `passesClicks` answers true at the point is left out with its
    // children (a layered window's transparent pixel).
    std::vector<HWND> WindowsAt(POINT screen);
    // Set by the screen (null: every window takes the points within its rectangle).
    void SetClickFilter(std::function<bool(HWND topLevel, POINT screen)> passesClicks);

    // ---- Painting ----
    // Adds the rectangle (clipped to the client area; NULL: all of it) to the update region.
    bool Invalidate(HWND hwnd, const RECT* rect, bool erase);
    // Takes the rectangle off the update region as far as a covering rectangle allows.
    bool Validate(HWND hwnd, const RECT* rect);
    // Recomputes the paint status of the queues of the window's thread and its descendants'.
    void RefreshPaint(HWND hwnd);

    // ---- Message queues ----
    // The calling thread's queue is made on first use; a thread has one from then on.
    void EnsureQueue(ThreadRec& thread);
    // PostMessageW: false when the window does not exist.
    bool Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool front = false);
    // false when no thread of that id has a queue.
    bool PostToThread(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
    void PostQuit(ThreadRec& thread, int exitCode);
    // Queues mouse or key input for the thread, in order with its posted messages, as it came
    // from the hardware: `input` holds the input message (WM_MOUSEMOVE, WM_LBUTTONDOWN, ...,
    // WM_KEYDOWN, WM_KEYUP), the window a filter compares with, the screen point and the time.
    // The layer routes it when the thread takes it (ResolveInput). False when the thread ended.
    bool PostInput(ThreadRec& thread, const MSG& input);
    // The next message for the filter, or nothing; with remove, takes it off the queue (a
    // WM_PAINT stays until the window is validated). Input not yet routed comes back only when
    // `input` is given: then it stays queued whatever `remove` says and *input names it.
    std::optional<MSG> Take(ThreadRec& self, const MessageFilter& filter, bool remove,
                            std::uint64_t* input = nullptr);
    // Puts the routed message in place of the input `input` names, or drops the input.
    void ResolveInput(ThreadRec& self, std::uint64_t input, const std::optional<MSG>& routed);
    // The count of changes to the thread's queue; a wait on QueueChanged(self) with it ends at
    // the next change.
    std::uint64_t QueueChangeCount(ThreadRec& self);
    ChangeCounter& QueueChanged(ThreadRec& self);
    // Queues a message sent to the thread's window; false when the thread has ended.
    bool QueueSent(ThreadRec& receiver, std::shared_ptr<SentMessage> message);
    // Takes back a sent message the receiver did not handle (its thread ended, the sender gave
    // up).
    void Unqueue(ThreadRec& receiver, const std::shared_ptr<SentMessage>& message);
    // The oldest message sent to the thread, or null.
    std::shared_ptr<SentMessage> TakeSent(ThreadRec& self);

    // ---- Timers ----
    // Sets (or replaces) a timer of the thread; hwnd NULL with id 0 makes a new thread timer id.
    // It produces `message` (the caret's blink uses a message of its own).
    UINT_PTR SetTimer(ThreadRec& owner, HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc,
                      UINT message = WM_TIMER);
    bool KillTimer(ThreadRec& owner, HWND hwnd, UINT_PTR id);

    // Focus, activation, capture, caret and cursor.
    WindowInput& input() { return input_; }
    // Ends the thread's mouse tracking: WM_MOUSELEAVE (WM_NCMOUSELEAVE for TME_NONCLIENT) is
    // posted to the tracked window when it still exists.
    void EndMouseTracking(DWORD threadId);

private:
    struct Queue;
    struct Timer;
    struct Entry;
    void WindowsAtLocked(HWND hwnd, POINT origin, POINT screen, std::vector<HWND>& out);
    WindowInfo* FindLocked(HWND hwnd);
    void PurgeLocked(HWND hwnd);
    void SweepLocked();
    std::vector<HWND>& SiblingsLocked(const WindowInfo& w);
    void DescendantsLocked(HWND hwnd, std::vector<HWND>& out);
    bool IsVisibleLocked(HWND hwnd);
    void RefreshPaintLocked(ThreadRec& thread);
    Queue& QueueLocked(ThreadRec& thread);  // kernel lock held
    struct Arm {
        std::weak_ptr<ThreadRec> owner;
        std::pair<ULONG_PTR, UINT_PTR> key;
        std::uint64_t serial;
        std::uint64_t due;
    };
    // Schedules the timers' next expiries (no lock held).
    void ArmTimers(const std::vector<Arm>& arms);
    // Cancels the scheduled expiries (no lock held).
    static void CancelTasks(const std::vector<std::uint64_t>& tasks);

    std::mutex mu_;
    std::function<bool(HWND, POINT)> passesClicks_;  // called without mu_
    std::uint64_t generation_;
    std::map<ULONG_PTR, WindowInfo> windows_;
    std::vector<HWND> topLevel_;                                     // topmost first
    std::map<ULONG_PTR, std::vector<HWND>> children_;                // topmost first
    std::map<std::pair<DWORD, std::wstring>, WindowClass> classes_;  // key: pid, lower-case name
    ULONG_PTR next_ = 0x10010;
    SharedWindows* shared_ = nullptr;
    // Kernel lock held: threads with a queue, by id; the timers' change count.
    std::map<DWORD, std::weak_ptr<ThreadRec>> queues_;
    std::uint64_t timerSerial_ = 0;
    std::uint64_t inputSerial_ = 0;
    WindowInput input_;
};

}  // namespace sim
