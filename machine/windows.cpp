#include "machine/windows.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <utility>

#include "machine/machine.h"

namespace sim {

namespace {

ULONG_PTR Key(HWND h) {
    return reinterpret_cast<ULONG_PTR>(h);
}

std::atomic<std::uint64_t> g_generation{0};

bool Empty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

// Whether the rectangle, moved by `by`, holds the point.
bool Holds(const RECT& r, POINT by, POINT p) {
    return p.x >= r.left + by.x && p.x < r.right + by.x && p.y >= r.top + by.y &&
           p.y < r.bottom + by.y;
}

bool InRange(UINT message, const MessageFilter& f) {
    if (f.min == 0 && f.max == 0) return true;
    return message >= f.min && message <= f.max;
}

bool ForWindow(HWND hwnd, const MessageFilter& f) {
    if (f.hwnd == reinterpret_cast<HWND>(-1)) return hwnd == nullptr;
    return f.hwnd == nullptr || f.hwnd == hwnd;
}

}  // namespace

struct WindowTable::Timer {
    UINT elapse = 0;
    TIMERPROC proc = nullptr;
    std::uint64_t due = 0;
    bool fired = false;
    std::uint64_t serial = 0;
    std::uint64_t task = 0;
    UINT message = WM_TIMER;
};

// A queued message; hardware input not yet routed has a non-zero `input` serial.
struct WindowTable::Entry {
    MSG msg;
    std::uint64_t input = 0;
};

// A thread's message queue (kernel lock held for all of it).
struct WindowTable::Queue : ThreadExtension {
    std::uint64_t generation = 0;  // the window table it belongs to
    std::deque<Entry> posted;
    bool quit = false;
    int quitCode = 0;
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::map<std::pair<ULONG_PTR, UINT_PTR>, Timer> timers;
    UINT_PTR nextThreadTimer = 1;
    ChangeCounter changed;

    bool AnyFired() const {
        return std::any_of(timers.begin(), timers.end(),
                           [](const auto& t) { return t.second.fired; });
    }
    // The wake bits of what `posted` holds: key input, mouse moves, mouse buttons, the rest.
    void UpdatePostedBits(ThreadRec& thread) {
        DWORD bits = quit ? kQueuePosted : 0;
        for (const Entry& e : posted) {
            UINT m = e.msg.message;
            if (m >= WM_KEYDOWN && m <= WM_SYSCHAR)
                bits |= kQueueKey;
            else if (m == WM_MOUSEMOVE || m == WM_NCMOUSEMOVE)
                bits |= kQueueMouseMove;
            else if ((m > WM_MOUSEMOVE && m <= WM_MOUSEWHEEL) ||
                     (m > WM_NCMOUSEMOVE && m <= WM_NCRBUTTONDBLCLK))
                bits |= kQueueMouseButton;
            else
                bits |= kQueuePosted;
        }
        auto& kernel = Kernel::Get();
        kernel.ClearQueueBitsLocked(thread, (kQueuePosted | kQueueInput) & ~bits);
        if (bits != 0) kernel.SetQueueBitsLocked(thread, bits);
    }
    void UpdateTimerBit(ThreadRec& thread) {
        if (AnyFired())
            Kernel::Get().SetQueueBitsLocked(thread, kQueueTimer);
        else
            Kernel::Get().ClearQueueBitsLocked(thread, kQueueTimer);
    }
};

WindowTable::WindowTable() : generation_(++g_generation) {}

// ---- Classes ----

bool WindowTable::RegisterClass(DWORD pid, const WindowClass& c) {
    std::lock_guard<std::mutex> lk(mu_);
    return classes_.emplace(std::make_pair(pid, Lower(c.name)), c).second;
}

std::optional<WindowClass> WindowTable::FindClass(DWORD pid, const std::wstring& name) {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = classes_.find({pid, Lower(name)});
    if (it == classes_.end()) return std::nullopt;
    return it->second;
}

DWORD WindowTable::UnregisterClass(DWORD pid, const std::wstring& name) {
    std::lock_guard<std::mutex> lk(mu_);
    SweepLocked();
    auto it = classes_.find({pid, Lower(name)});
    if (it == classes_.end()) return ERROR_CLASS_DOES_NOT_EXIST;
    for (const auto& [key, w] : windows_)
        if (w.pid == pid && Lower(w.className) == it->first.second) return ERROR_CLASS_HAS_WINDOWS;
    classes_.erase(it);
    return 0;
}

// ---- Records ----

WindowInfo* WindowTable::FindLocked(HWND hwnd) {
    auto it = windows_.find(Key(hwnd));
    if (it == windows_.end()) return nullptr;
    if (it->second.thread) {
        bool ended;
        {
            std::lock_guard<std::mutex> k(Kernel::Get().Mutex());
            ended = it->second.thread->ended;
        }
        // The platform destroys a thread's windows when it ends.
        if (ended) {
            PurgeLocked(hwnd);
            return nullptr;
        }
    }
    return &it->second;
}

std::vector<HWND>& WindowTable::SiblingsLocked(const WindowInfo& w) {
    return w.parent != nullptr ? children_[Key(w.parent)] : topLevel_;
}

void WindowTable::PurgeLocked(HWND hwnd) {
    auto it = windows_.find(Key(hwnd));
    if (it == windows_.end()) return;
    auto kids = children_.find(Key(hwnd));
    if (kids != children_.end()) {
        std::vector<HWND> children = kids->second;
        for (HWND c : children) PurgeLocked(c);
        children_.erase(Key(hwnd));
    }
    std::erase(SiblingsLocked(it->second), hwnd);
    if (shared_ != nullptr && it->second.parent == nullptr) shared_->Removed(hwnd);
    windows_.erase(it);
}

void WindowTable::Share(SharedWindows* shared, ULONG_PTR handleBase) {
    std::lock_guard<std::mutex> lk(mu_);
    shared_ = shared;
    next_ = std::max(next_, handleBase);
}

void WindowTable::SweepLocked() {
    std::vector<HWND> gone;
    {
        std::lock_guard<std::mutex> k(Kernel::Get().Mutex());
        for (const auto& [key, w] : windows_)
            if (w.thread && w.thread->ended) gone.push_back(reinterpret_cast<HWND>(key));
    }
    for (HWND h : gone) PurgeLocked(h);
}

HWND WindowTable::Add(WindowInfo info) {
    std::lock_guard<std::mutex> lk(mu_);
    if (!info.thread) return nullptr;
    if (info.parent != nullptr && FindLocked(info.parent) == nullptr) return nullptr;
    if (info.owner != nullptr && FindLocked(info.owner) == nullptr) info.owner = nullptr;
    HWND h = reinterpret_cast<HWND>(next_);
    next_ += 2;  // never reused
    info.hwnd = h;
    if (info.parent != nullptr)
        children_[Key(info.parent)].push_back(h);
    else
        topLevel_.insert(topLevel_.begin(), h);
    auto& added = windows_.emplace(Key(h), std::move(info)).first->second;
    if (shared_ != nullptr && added.parent == nullptr) shared_->Added(added);
    return h;
}

void WindowTable::Remove(HWND hwnd) {
    std::shared_ptr<ThreadRec> thread;
    std::vector<std::uint64_t> tasks;
    {
        std::lock_guard<std::mutex> lk(mu_);
        auto it = windows_.find(Key(hwnd));
        if (it == windows_.end()) return;
        thread = it->second.thread;
        PurgeLocked(hwnd);
        if (thread) {
            std::lock_guard<std::mutex> k(Kernel::Get().Mutex());
            Queue& q = QueueLocked(*thread);
            for (auto t = q.timers.begin(); t != q.timers.end();) {
                if (t->first.first == Key(hwnd)) {
                    tasks.push_back(t->second.task);
                    t = q.timers.erase(t);
                } else {
                    ++t;
                }
            }
            q.UpdateTimerBit(*thread);
        }
        if (thread) RefreshPaintLocked(*thread);
    }
    CancelTasks(tasks);
}

bool WindowTable::Exists(HWND hwnd) {
    std::lock_guard<std::mutex> lk(mu_);
    return hwnd != nullptr && FindLocked(hwnd) != nullptr;
}

std::optional<WindowInfo> WindowTable::Get(HWND hwnd) {
    std::lock_guard<std::mutex> lk(mu_);
    WindowInfo* w = FindLocked(hwnd);
    if (w == nullptr) return std::nullopt;
    return *w;
}

void WindowTable::SetVisible(HWND hwnd, bool visible) {
    Modify(hwnd, [&](WindowInfo& w) {
        w.style = visible ? (w.style | WS_VISIBLE) : (w.style & ~WS_VISIBLE);
    });
    RefreshPaint(hwnd);
}

bool WindowTable::IsVisibleLocked(HWND hwnd) {
    for (HWND h = hwnd; h != nullptr;) {
        WindowInfo* w = FindLocked(h);
        if (w == nullptr || !(w->style & WS_VISIBLE)) return false;
        h = w->parent;
    }
    return hwnd != nullptr;
}

bool WindowTable::IsVisible(HWND hwnd) {
    std::lock_guard<std::mutex> lk(mu_);
    return IsVisibleLocked(hwnd);
}

std::vector<HWND> WindowTable::TopLevel() {
    std::lock_guard<std::mutex> lk(mu_);
    SweepLocked();
    return topLevel_;
}

std::vector<HWND> WindowTable::Children(HWND hwnd) {
    std::lock_guard<std::mutex> lk(mu_);
    SweepLocked();
    auto it = children_.find(Key(hwnd));
    return it == children_.end() ? std::vector<HWND>{} : it->second;
}

void WindowTable::DescendantsLocked(HWND hwnd, std::vector<HWND>& out) {
    auto it = children_.find(Key(hwnd));
    if (it == children_.end()) return;
    for (HWND c : it->second) {
        out.push_back(c);
        DescendantsLocked(c, out);
    }
}

std::vector<HWND> WindowTable::Descendants(HWND hwnd) {
    std::lock_guard<std::mutex> lk(mu_);
    SweepLocked();
    std::vector<HWND> out;
    DescendantsLocked(hwnd, out);
    return out;
}

std::vector<HWND> WindowTable::Owned(HWND hwnd) {
    std::lock_guard<std::mutex> lk(mu_);
    SweepLocked();
    std::vector<HWND> out;
    for (HWND h : topLevel_)
        if (windows_.at(Key(h)).owner == hwnd) out.push_back(h);
    return out;
}

HWND WindowTable::Relative(HWND hwnd, UINT relation) {
    std::lock_guard<std::mutex> lk(mu_);
    SweepLocked();  // first: it may take windows away
    WindowInfo* w = FindLocked(hwnd);
    if (w == nullptr) return nullptr;
    if (relation == GW_OWNER) return w->owner;
    if (relation == GW_CHILD) {
        auto it = children_.find(Key(hwnd));
        return it == children_.end() || it->second.empty() ? nullptr : it->second.front();
    }
    const std::vector<HWND>& siblings = SiblingsLocked(*w);
    auto at = std::find(siblings.begin(), siblings.end(), hwnd);
    switch (relation) {
        case GW_HWNDFIRST:
            return siblings.front();
        case GW_HWNDLAST:
            return siblings.back();
        case GW_HWNDNEXT:
            return at + 1 == siblings.end() ? nullptr : *(at + 1);
        case GW_HWNDPREV:
            return at == siblings.begin() ? nullptr : *(at - 1);
        default:
            return nullptr;
    }
}

bool WindowTable::PlaceAfter(HWND hwnd, HWND insertAfter) {
    std::lock_guard<std::mutex> lk(mu_);
    WindowInfo* w = FindLocked(hwnd);
    if (w == nullptr) return false;
    std::vector<HWND>& siblings = SiblingsLocked(*w);
    if (insertAfter == hwnd) return true;
    if (insertAfter != HWND_TOP && insertAfter != HWND_BOTTOM &&
        std::find(siblings.begin(), siblings.end(), insertAfter) == siblings.end())
        return false;
    std::erase(siblings, hwnd);
    if (insertAfter == HWND_TOP)
        siblings.insert(siblings.begin(), hwnd);
    else if (insertAfter == HWND_BOTTOM)
        siblings.push_back(hwnd);
    else
        siblings.insert(std::find(siblings.begin(), siblings.end(), insertAfter) + 1, hwnd);
    if (shared_ != nullptr && w->parent == nullptr) {
        auto at = std::find(siblings.begin(), siblings.end(), hwnd);
        shared_->Placed(hwnd, at == siblings.begin() ? nullptr : *(at - 1));
    }
    return true;
}

POINT WindowTable::ClientOrigin(HWND hwnd) {
    std::lock_guard<std::mutex> lk(mu_);
    POINT p{0, 0};
    for (HWND h = hwnd; h != nullptr;) {
        WindowInfo* w = FindLocked(h);
        if (w == nullptr) break;
        p.x += w->client.left;
        p.y += w->client.top;
        h = w->parent;
    }
    return p;
}

void WindowTable::WindowsAtLocked(HWND hwnd, POINT origin, POINT screen, std::vector<HWND>& out) {
    // origin: the screen point of the parent's client area (of the screen for a top-level one).
    const WindowInfo& w = windows_.at(Key(hwnd));
    POINT client{origin.x + w.client.left, origin.y + w.client.top};
    auto kids = children_.find(Key(hwnd));
    if (Holds(w.client, origin, screen) && kids != children_.end()) {
        for (HWND c : kids->second) {
            const WindowInfo& child = windows_.at(Key(c));
            if (!(child.style & WS_VISIBLE) || !Holds(child.rect, client, screen)) continue;
            if (child.style & WS_DISABLED) break;  // the parent takes the mouse
            WindowsAtLocked(c, client, screen, out);
        }
    }
    out.push_back(hwnd);
}

std::vector<HWND> WindowTable::WindowsAt(POINT screen) {
    // Each top-level window under the point with its part of the list; the filter runs after.
    struct Group {
        HWND top;
        std::vector<HWND> windows;
        bool disabled;
    };
    std::vector<Group> groups;
    std::function<bool(HWND, POINT)> passes;
    {
        std::lock_guard<std::mutex> lk(mu_);
        SweepLocked();
        passes = passesClicks_;
        for (HWND h : topLevel_) {
            const WindowInfo& w = windows_.at(Key(h));
            if (!(w.style & WS_VISIBLE) || !Holds(w.rect, POINT{0, 0}, screen)) continue;
            Group g{h, {}, (w.style & WS_DISABLED) != 0};
            if (g.disabled)
                g.windows.push_back(h);
            else
                WindowsAtLocked(h, POINT{0, 0}, screen, g.windows);
            groups.push_back(std::move(g));
        }
    }
    std::vector<HWND> out;
    for (const Group& g : groups) {
        if (passes && passes(g.top, screen)) continue;
        out.insert(out.end(), g.windows.begin(), g.windows.end());
        if (g.disabled) break;
    }
    return out;
}

void WindowTable::SetClickFilter(std::function<bool(HWND, POINT)> passesClicks) {
    std::lock_guard<std::mutex> lk(mu_);
    passesClicks_ = std::move(passesClicks);
}

// ---- Painting ----

bool WindowTable::Invalidate(HWND hwnd, const RECT* rect, bool erase) {
    std::lock_guard<std::mutex> lk(mu_);
    WindowInfo* w = FindLocked(hwnd);
    if (w == nullptr) return false;
    RECT all{0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
    RECT r = rect != nullptr ? *rect : all;
    r = {std::max(r.left, all.left), std::max(r.top, all.top), std::min(r.right, all.right),
         std::min(r.bottom, all.bottom)};
    if (Empty(r)) return true;
    if (w->hasUpdate) {
        RECT& u = w->update;
        u = {std::min(u.left, r.left), std::min(u.top, r.top), std::max(u.right, r.right),
             std::max(u.bottom, r.bottom)};
    } else {
        w->update = r;
        w->hasUpdate = true;
    }
    w->erase = w->erase || erase;
    if (w->thread) RefreshPaintLocked(*std::shared_ptr<ThreadRec>(w->thread));
    return true;
}

bool WindowTable::Validate(HWND hwnd, const RECT* rect) {
    std::lock_guard<std::mutex> lk(mu_);
    WindowInfo* w = FindLocked(hwnd);
    if (w == nullptr) return false;
    if (!w->hasUpdate) return true;
    RECT& u = w->update;
    if (rect == nullptr) {
        u = {};
    } else {
        const RECT& r = *rect;
        // A covering rectangle can lose a band that spans it from one edge.
        if (r.left <= u.left && r.right >= u.right) {
            if (r.top <= u.top && r.bottom > u.top) u.top = std::min(r.bottom, u.bottom);
            if (r.bottom >= u.bottom && r.top < u.bottom) u.bottom = std::max(r.top, u.top);
        }
        if (r.top <= u.top && r.bottom >= u.bottom) {
            if (r.left <= u.left && r.right > u.left) u.left = std::min(r.right, u.right);
            if (r.right >= u.right && r.left < u.right) u.right = std::max(r.left, u.left);
        }
    }
    if (Empty(u)) {
        w->hasUpdate = false;
        w->erase = false;
        u = {};
    }
    if (w->thread) RefreshPaintLocked(*std::shared_ptr<ThreadRec>(w->thread));
    return true;
}

void WindowTable::RefreshPaintLocked(ThreadRec& thread) {
    bool needed = false;
    std::vector<HWND> candidates;
    for (const auto& [key, w] : windows_)
        if (w.thread.get() == &thread && w.hasUpdate) candidates.push_back(w.hwnd);
    for (HWND h : candidates) needed = needed || IsVisibleLocked(h);
    std::lock_guard<std::mutex> k(Kernel::Get().Mutex());
    QueueLocked(thread);
    bool had = (thread.queueBits & kQueuePaint) != 0;
    if (needed && !had) {
        Kernel::Get().SetQueueBitsLocked(thread, kQueuePaint);
        QueueLocked(thread).changed.BumpLocked();
    } else if (!needed && had) {
        Kernel::Get().ClearQueueBitsLocked(thread, kQueuePaint);
    }
}

void WindowTable::RefreshPaint(HWND hwnd) {
    std::lock_guard<std::mutex> lk(mu_);
    if (FindLocked(hwnd) == nullptr) return;
    std::vector<HWND> subtree{hwnd};
    DescendantsLocked(hwnd, subtree);
    std::vector<std::shared_ptr<ThreadRec>> threads;
    for (HWND h : subtree) {
        auto& t = windows_.at(Key(h)).thread;
        if (t && std::find(threads.begin(), threads.end(), t) == threads.end())
            threads.push_back(t);
    }
    for (auto& t : threads) RefreshPaintLocked(*t);
}

// ---- Message queues ----

WindowTable::Queue& WindowTable::QueueLocked(ThreadRec& thread) {
    auto* q = dynamic_cast<Queue*>(thread.windowing.get());
    if (q == nullptr) {
        thread.windowing = std::make_unique<Queue>();
        q = static_cast<Queue*>(thread.windowing.get());
        q->generation = generation_;
        queues_[thread.id] = thread.shared_from_this();
    } else if (q->generation != generation_) {
        // The queue of a machine that was reset: it starts empty on this one.
        q->generation = generation_;
        q->posted.clear();
        q->quit = false;
        for (auto& s : q->sent) s->ReplyLocked(0);
        q->sent.clear();
        q->timers.clear();
        Kernel::Get().ClearQueueBitsLocked(thread, ~DWORD{0});
        queues_[thread.id] = thread.shared_from_this();
    }
    return *q;
}

void WindowTable::EnsureQueue(ThreadRec& thread) {
    std::lock_guard<std::mutex> k(Kernel::Get().Mutex());
    QueueLocked(thread);
}

bool WindowTable::Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool front) {
    std::lock_guard<std::mutex> lk(mu_);
    WindowInfo* w = FindLocked(hwnd);
    if (w == nullptr) return false;
    auto& kernel = Kernel::Get();
    std::lock_guard<std::mutex> k(kernel.Mutex());
    ThreadRec& t = *w->thread;
    Queue& q = QueueLocked(t);
    Entry m{{hwnd, message, wParam, lParam, static_cast<DWORD>(kernel.NowLocked()), {0, 0}}};
    if (front)
        q.posted.push_front(m);
    else
        q.posted.push_back(m);
    q.UpdatePostedBits(t);
    q.changed.BumpLocked();
    return true;
}

bool WindowTable::PostToThread(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    auto& kernel = Kernel::Get();
    std::lock_guard<std::mutex> k(kernel.Mutex());
    auto it = queues_.find(threadId);
    if (it == queues_.end()) return false;
    auto t = it->second.lock();
    if (!t || t->ended) return false;
    Queue& q = QueueLocked(*t);
    q.posted.push_back(
        {{nullptr, message, wParam, lParam, static_cast<DWORD>(kernel.NowLocked()), {0, 0}}});
    q.UpdatePostedBits(*t);
    q.changed.BumpLocked();
    return true;
}

void WindowTable::PostQuit(ThreadRec& thread, int exitCode) {
    auto& kernel = Kernel::Get();
    std::lock_guard<std::mutex> k(kernel.Mutex());
    Queue& q = QueueLocked(thread);
    q.quit = true;
    q.quitCode = exitCode;
    kernel.SetQueueBitsLocked(thread, kQueuePosted);
    q.changed.BumpLocked();
}

bool WindowTable::PostInput(ThreadRec& thread, const MSG& input) {
    auto& kernel = Kernel::Get();
    std::lock_guard<std::mutex> k(kernel.Mutex());
    if (thread.ended) return false;
    Queue& q = QueueLocked(thread);
    q.posted.push_back({input, ++inputSerial_});
    q.UpdatePostedBits(thread);
    q.changed.BumpLocked();
    return true;
}

void WindowTable::ResolveInput(ThreadRec& self, std::uint64_t input,
                               const std::optional<MSG>& routed) {
    auto& kernel = Kernel::Get();
    std::lock_guard<std::mutex> k(kernel.Mutex());
    Queue& q = QueueLocked(self);
    auto it = std::find_if(q.posted.begin(), q.posted.end(),
                           [&](const Entry& e) { return e.input == input; });
    if (it == q.posted.end()) return;
    if (routed)
        *it = {*routed, 0};
    else
        q.posted.erase(it);
    q.UpdatePostedBits(self);
    q.changed.BumpLocked();
}

std::optional<MSG> WindowTable::Take(ThreadRec& self, const MessageFilter& filter, bool remove,
                                     std::uint64_t* input) {
    std::optional<MSG> out;
    std::vector<Arm> arms;
    {
        std::lock_guard<std::mutex> lk(mu_);
        HWND paint = nullptr;
        if (InRange(WM_PAINT, filter)) {
            std::vector<HWND> candidates;
            for (const auto& [key, w] : windows_)
                if (w.thread.get() == &self && w.hasUpdate && ForWindow(w.hwnd, filter))
                    candidates.push_back(w.hwnd);
            for (HWND h : candidates)
                if (IsVisibleLocked(h)) {
                    paint = h;
                    break;
                }
        }
        auto& kernel = Kernel::Get();
        std::lock_guard<std::mutex> k(kernel.Mutex());
        Queue& q = QueueLocked(self);
        DWORD now = static_cast<DWORD>(kernel.NowLocked());
        for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
            const MSG& m = it->msg;
            if (!ForWindow(m.hwnd, filter) || !InRange(m.message, filter)) continue;
            if (it->input != 0 && input == nullptr) continue;
            out = m;
            if (it->input != 0)
                *input = it->input;
            else if (remove)
                q.posted.erase(it);
            break;
        }
        if (!out && q.quit && InRange(WM_QUIT, filter)) {
            out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, now, {0, 0}};
            if (remove) q.quit = false;
        }
        if (!out && paint != nullptr) out = MSG{paint, WM_PAINT, 0, 0, now, {0, 0}};
        if (!out) {
            for (auto& [key, t] : q.timers) {
                HWND h = reinterpret_cast<HWND>(key.first);
                if (!t.fired || !ForWindow(h, filter) || !InRange(t.message, filter)) continue;
                out = MSG{h, t.message, key.second, reinterpret_cast<LPARAM>(t.proc), now, {0, 0}};
                if (remove) {
                    // The next expiry on the timer's own beat after now: missed beats coalesce.
                    t.fired = false;
                    std::uint64_t n = kernel.NowLocked();
                    if (t.due <= n) t.due += ((n - t.due) / t.elapse + 1) * t.elapse;
                    t.serial = ++timerSerial_;
                    arms.push_back({self.shared_from_this(), key, t.serial, t.due});
                }
                break;
            }
        }
        q.UpdatePostedBits(self);
        q.UpdateTimerBit(self);
    }
    ArmTimers(arms);
    return out;
}

std::uint64_t WindowTable::QueueChangeCount(ThreadRec& self) {
    std::lock_guard<std::mutex> k(Kernel::Get().Mutex());
    return QueueLocked(self).changed.Count();
}

ChangeCounter& WindowTable::QueueChanged(ThreadRec& self) {
    std::lock_guard<std::mutex> k(Kernel::Get().Mutex());
    return QueueLocked(self).changed;
}

bool WindowTable::QueueSent(ThreadRec& receiver, std::shared_ptr<SentMessage> message) {
    auto& kernel = Kernel::Get();
    std::lock_guard<std::mutex> k(kernel.Mutex());
    if (receiver.ended) return false;
    Queue& q = QueueLocked(receiver);
    q.sent.push_back(std::move(message));
    kernel.SetQueueBitsLocked(receiver, kQueueSent);
    q.changed.BumpLocked();
    return true;
}

void WindowTable::Unqueue(ThreadRec& receiver, const std::shared_ptr<SentMessage>& message) {
    auto& kernel = Kernel::Get();
    std::lock_guard<std::mutex> k(kernel.Mutex());
    Queue& q = QueueLocked(receiver);
    std::erase(q.sent, message);
    if (q.sent.empty()) kernel.ClearQueueBitsLocked(receiver, kQueueSent);
}

std::shared_ptr<SentMessage> WindowTable::TakeSent(ThreadRec& self) {
    auto& kernel = Kernel::Get();
    std::lock_guard<std::mutex> k(kernel.Mutex());
    Queue& q = QueueLocked(self);
    if (q.sent.empty()) return nullptr;
    auto m = q.sent.front();
    q.sent.pop_front();
    if (q.sent.empty()) kernel.ClearQueueBitsLocked(self, kQueueSent);
    return m;
}

// ---- Timers ----

void WindowTable::CancelTasks(const std::vector<std::uint64_t>& tasks) {
    for (std::uint64_t t : tasks)
        if (t != 0) Kernel::Get().Cancel(t);
}

void WindowTable::ArmTimers(const std::vector<Arm>& arms) {
    auto& kernel = Kernel::Get();
    std::uint64_t generation = generation_;
    for (const Arm& a : arms) {
        std::uint64_t task = kernel.Schedule(a.due, [a, generation] {
            auto& kernel = Kernel::Get();
            std::lock_guard<std::mutex> k(kernel.Mutex());
            auto thread = a.owner.lock();
            if (!thread || thread->ended) return;
            auto* q = dynamic_cast<Queue*>(thread->windowing.get());
            if (q == nullptr || q->generation != generation) return;
            auto it = q->timers.find(a.key);
            if (it == q->timers.end() || it->second.serial != a.serial) return;
            it->second.fired = true;
            kernel.SetQueueBitsLocked(*thread, kQueueTimer);
            q->changed.BumpLocked();
        });
        auto thread = a.owner.lock();
        std::lock_guard<std::mutex> k(kernel.Mutex());
        auto* q = thread ? dynamic_cast<Queue*>(thread->windowing.get()) : nullptr;
        auto it = q != nullptr ? q->timers.find(a.key) : decltype(q->timers.end()){};
        if (q != nullptr && it != q->timers.end() && it->second.serial == a.serial)
            it->second.task = task;
    }
}

UINT_PTR WindowTable::SetTimer(ThreadRec& owner, HWND hwnd, UINT_PTR id, UINT elapse,
                               TIMERPROC proc, UINT message) {
    elapse = std::max<UINT>(elapse, USER_TIMER_MINIMUM);
    std::vector<std::uint64_t> cancel;
    Arm arm;
    {
        auto& kernel = Kernel::Get();
        std::lock_guard<std::mutex> k(kernel.Mutex());
        Queue& q = QueueLocked(owner);
        if (hwnd == nullptr && !q.timers.count({0, id})) id = q.nextThreadTimer++;
        Timer& t = q.timers[{Key(hwnd), id}];
        cancel.push_back(t.task);
        t = Timer{elapse, proc, kernel.NowLocked() + elapse, false, ++timerSerial_, 0, message};
        q.UpdateTimerBit(owner);
        arm = {owner.shared_from_this(), {Key(hwnd), id}, t.serial, t.due};
    }
    CancelTasks(cancel);
    ArmTimers({arm});
    return id;
}

bool WindowTable::KillTimer(ThreadRec& owner, HWND hwnd, UINT_PTR id) {
    std::vector<std::uint64_t> cancel;
    {
        std::lock_guard<std::mutex> k(Kernel::Get().Mutex());
        Queue& q = QueueLocked(owner);
        auto it = q.timers.find({Key(hwnd), id});
        if (it == q.timers.end()) return false;
        cancel.push_back(it->second.task);
        q.timers.erase(it);
        q.UpdateTimerBit(owner);
    }
    CancelTasks(cancel);
    return true;
}

void WindowTable::EndMouseTracking(DWORD threadId) {
    MouseTracking t = input_.ModifyThread(
        threadId, [](ThreadInput& in) { return std::exchange(in.tracking, MouseTracking{}); });
    if (t.window != nullptr)
        Post(t.window, (t.flags & TME_NONCLIENT) ? WM_NCMOUSELEAVE : WM_MOUSELEAVE, 0, 0);
}

}  // namespace sim
