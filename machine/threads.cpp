#include "machine/threads.h"

#include <atomic>
#include <exception>
#include <thread>

#include <unistd.h>

#include "machine/machine.h"
#include "machine/processes.h"
#include "machine/remote.h"

namespace sim {

namespace {

std::atomic<DWORD> g_nextThreadId{0x104};

// The calling thread's record. A thread the layer did not start gets one on its first call and
// loses it when the host thread ends. The plain pointer stays usable while the host thread's
// other thread-locals (and, on the main thread, the program's static objects) are torn down.
struct Holder {
    std::shared_ptr<ThreadRec> rec;
    bool startedByLayer = false;
    ~Holder();
};
thread_local Holder t_holder;
thread_local ThreadRec* t_self = nullptr;
thread_local bool t_reaped = false;

// Records made for calls during a thread's teardown: they count for no wait and stay alive to
// the end of the host process.
std::mutex g_lateMu;
std::vector<std::shared_ptr<ThreadRec>>* g_late = new std::vector<std::shared_ptr<ThreadRec>>();

// Ends the thread (kernel lock held): abandons its mutexes, signals its handle, and ends its
// process when it was the process's last thread.
// Returns what is left to do once the lock is released (the process's end note).
std::function<void()> EndThreadLocked(ThreadRec& t, DWORD exitCode) {
    std::function<void()> after;
    if (t.ended) return after;
    t.ended = true;
    if (t.exitCode == STILL_ACTIVE) t.exitCode = exitCode;
    auto owned = std::move(t.owned);
    for (auto& w : owned)
        if (auto m = w.lock()) m->OwnerEnded(t);
    // The server's mutexes it owned are abandoned there.
    if (ServerLink* link = JoinedLink()) TellThreadEndedLocked(*link, t.id);
    t.ChangedLocked();
    if (ProcessRec* p = t.process.get()) {
        std::erase(p->threads, &t);
        --p->liveThreads;
        if (p->runsThreads && p->liveThreads == 0 && !p->ended) {
            DWORD code = p->info.exitCode == STILL_ACTIVE ? exitCode : p->info.exitCode;
            p->EndLocked(code);
            after = [proc = t.process] { proc->AfterEnd(); };
        }
    }
    Kernel::Get().UncountThreadLocked();
    return after;
}

std::shared_ptr<ThreadRec> MakeRecord(std::shared_ptr<ProcessRec> process) {
    auto t = std::make_shared<ThreadRec>();
    t->id = g_nextThreadId.fetch_add(4);
    t->process = std::move(process);
    return t;
}

// Kernel lock held.
void JoinProcessLocked(ThreadRec& t) {
    if (ProcessRec* p = t.process.get()) {
        p->threads.push_back(&t);
        ++p->liveThreads;
    }
    Kernel::Get().CountThreadLocked();
}

Holder::~Holder() {
    t_reaped = true;
    if (startedByLayer) {
        t_self = nullptr;  // its record goes with this holder
        return;
    }
    if (!rec) return;
    std::function<void()> after;
    {
        std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
        if (gettid() == getpid()) Kernel::Get().HostExitingLocked();
        after = EndThreadLocked(*rec, 0);
    }
    // The record lives on for calls made later in the teardown (uncounted).
    {
        std::lock_guard<std::mutex> lk(g_lateMu);
        g_late->push_back(rec);
    }
    if (after) after();
}

}  // namespace

bool ThreadRec::TerminatingLocked() const {
    return process && process->terminating;
}

void ApplyProcessLocale(ThreadRec& t) {
    if (!t.process) return;
    unsigned generation = t.process->LocaleGeneration();
    if (generation == t.appliedLocale) return;
    t.appliedLocale = generation;
    uselocale(t.process->HostLocale());
}

ThreadRec& CurrentThread() {
    // The machine's first start (a program joining its server) may make this thread's record
    // itself.
    std::shared_ptr<ProcessRec> own = t_self == nullptr ? machine().processes().Self() : nullptr;
    if (t_self == nullptr) {
        auto rec = MakeRecord(std::move(own));
        if (t_reaped) {
            // A call during the thread's teardown: served, but the thread no longer counts.
            std::lock_guard<std::mutex> lk(g_lateMu);
            g_late->push_back(rec);
        } else {
            {
                std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
                JoinProcessLocked(*rec);
            }
            t_holder.rec = rec;
        }
        t_self = rec.get();
    }
    ApplyProcessLocale(*t_self);
    return *t_self;
}

std::shared_ptr<ThreadRec> CurrentThreadShared() {
    return CurrentThread().shared_from_this();
}

void BindCurrentThread(std::shared_ptr<ProcessRec> process) {
    ThreadRec& t = CurrentThread();
    std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
    if (t.process == process) return;
    if (ProcessRec* old = t.process.get()) {
        std::erase(old->threads, &t);
        --old->liveThreads;
    }
    t.process = std::move(process);
    if (ProcessRec* p = t.process.get()) {
        p->threads.push_back(&t);
        ++p->liveThreads;
    }
}

std::shared_ptr<ThreadRec> StartThreadIn(std::shared_ptr<ProcessRec> process,
                                         std::function<DWORD()> body, bool suspended) {
    CurrentThread();  // the creator counts before the new thread does
    auto t = MakeRecord(std::move(process));
    {
        std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
        t->suspended = suspended;
        JoinProcessLocked(*t);
    }
    std::thread([t, body = std::move(body)] {
        t_holder.rec = t;
        t_holder.startedByLayer = true;
        t_self = t.get();
        ApplyProcessLocale(*t);
        DWORD rc = 0;
        try {
            {
                auto& kernel = Kernel::Get();
                std::unique_lock<std::mutex> lk(kernel.Mutex());
                // Woken by ResumeThread or by its process ending.
                WaitItem gate{&t->resumeGate};
                if (t->suspended)
                    kernel.Wait(lk, *t, std::span<const WaitItem>(&gate, 1), false, 0, kForever);
                if (t->TerminatingLocked()) throw ProcessExiting{};
            }
            rc = body();
        } catch (const ProcessExiting&) {
            rc = 0;
        }
        std::function<void()> after;
        {
            std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
            after = EndThreadLocked(*t, rc);
        }
        if (after) after();
    }).detach();
    return t;
}

std::shared_ptr<ThreadRec> StartMachineThread(std::function<void()> body) {
    return StartThreadIn(CurrentThread().process, [body = std::move(body)] {
        body();
        return DWORD{0};
    });
}

void SleepOnMachine(DWORD ms) {
    ThreadRec& self = CurrentThread();
    auto& kernel = Kernel::Get();
    WaitResult r;
    {
        std::unique_lock<std::mutex> lk(kernel.Mutex());
        r = kernel.Wait(lk, self, {}, false, 0, kernel.DeadlineAfterLocked(ms));
    }
    if (r.outcome == WaitOutcome::Terminated) ThrowIfTerminating();
}

bool ResumeLocked(ThreadRec& thread) {
    bool was = thread.suspended;
    thread.suspended = false;
    thread.resumeGate.OpenLocked();
    return was;
}

void ThrowIfTerminating() {
    bool terminating;
    {
        std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
        terminating = CurrentThread().TerminatingLocked();
    }
    if (terminating && std::uncaught_exceptions() == 0) throw ProcessExiting{};
}

}  // namespace sim
