#include "machine/control/windows.h"

#include <memory>
#include <mutex>
#include <span>

#include "machine/machine.h"
#include "machine/processes.h"
#include "machine/threads.h"
#include "machine/waits.h"
#include "machine/windows.h"

namespace control {

namespace {

// The machine's own window thread and what its windows received. One per machine: a reset
// machine gets a new one and the old one ends.
struct Runner {
    sim::Machine* machine = nullptr;
    std::shared_ptr<sim::ThreadRec> thread;
    sim::Gate stop;
    std::mutex mu;
    std::vector<JournalEntry> journal;
};

std::mutex g_mu;
std::shared_ptr<Runner> g_runner;

std::shared_ptr<Runner> CurrentRunner() {
    std::lock_guard<std::mutex> lk(g_mu);
    return g_runner && g_runner->machine == &sim::machine() ? g_runner : nullptr;
}

LRESULT CALLBACK MachineWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (auto runner = CurrentRunner()) {
        std::lock_guard<std::mutex> lk(runner->mu);
        runner->journal.push_back({window, message, wParam, lParam});
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The thread's message loop: handles what comes for its windows until the runner is stopped.
void RunLoop(Runner& runner) {
    sim::ThreadRec& self = sim::CurrentThread();
    auto& kernel = sim::Kernel::Get();
    for (;;) {
        sim::WindowTable& windows = sim::machine().windows();
        std::uint64_t seen = windows.QueueChangeCount(self);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        sim::WaitItem items[] = {{&runner.stop}, {&windows.QueueChanged(self), seen}};
        std::unique_lock<std::mutex> lk(kernel.Mutex());
        sim::WaitResult r = kernel.Wait(lk, self, items, false, 0, sim::kForever);
        if (r.outcome != sim::WaitOutcome::Object || r.index == 0) return;
    }
}

// The machine's runner, started on first use.
std::shared_ptr<Runner> EnsureRunner() {
    std::lock_guard<std::mutex> lk(g_mu);
    if (g_runner && g_runner->machine == &sim::machine()) return g_runner;
    if (g_runner) {
        std::lock_guard<std::mutex> k(sim::Kernel::Get().Mutex());
        g_runner->stop.OpenLocked();
    }
    auto runner = std::make_shared<Runner>();
    runner->machine = &sim::machine();
    runner->thread = sim::StartThreadIn(sim::machine().processes().Self(), [runner] {
        RunLoop(*runner);
        return DWORD{0};
    });
    // Its queue exists from now on, so that nothing posted to its windows is refused.
    sim::machine().windows().EnsureQueue(*runner->thread);
    g_runner = runner;
    return runner;
}

}  // namespace

HWND AddMachineWindow(const MachineWindow& spec) {
    auto runner = EnsureRunner();
    auto& windows = sim::machine().windows();
    if (spec.parent != nullptr) {
        auto parent = windows.Get(spec.parent);
        if (!parent || parent->thread != runner->thread) return nullptr;
    }
    sim::WindowInfo info;
    info.className = spec.className;
    info.text = spec.title;
    info.style = (spec.visible ? WS_VISIBLE : 0) | (spec.parent != nullptr ? WS_CHILD : WS_POPUP);
    info.parent = spec.parent;
    info.thread = runner->thread;
    info.pid = runner->thread->process->info.pid;
    info.procedure = MachineWindowProc;
    return windows.Add(std::move(info));
}

std::vector<JournalEntry> MachineWindowJournal() {
    auto runner = CurrentRunner();
    if (!runner) return {};
    std::lock_guard<std::mutex> lk(runner->mu);
    return runner->journal;
}

}  // namespace control
