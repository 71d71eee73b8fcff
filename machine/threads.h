// Machine threads. Every host thread that calls into the layer is a machine thread with a record
// of its own, made on its first call (it then belongs to the machine's own program) or by the
// layer when it starts the thread (it then belongs to the process that started it). The record
// goes when the thread ends: its mutexes are abandoned and its handle is signalled.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "machine/handles.h"
#include "machine/waits.h"

namespace sim {

struct ProcessRec;

// What the window system keeps per thread (message queue, input state, hooks, windows).
struct ThreadExtension {
    virtual ~ThreadExtension() = default;
};

// Thrown by a wait of a thread whose process is ending: it unwinds the thread to the layer's
// thread start, which ends the thread. Not an std::exception, so that no handler of the
// program's takes it for an error of its own.
struct ProcessExiting {};

// A latch that opens once (a suspended thread's resumption).
class Gate : public Waitable {
public:
    bool SignaledFor(const ThreadRec&, std::uint64_t) const override { return open_; }
    void OpenLocked() {
        open_ = true;
        Changed();
    }

private:
    bool open_ = false;
};

struct ThreadRec : KObject, Waitable, std::enable_shared_from_this<ThreadRec> {
    DWORD id = 0;
    // Null only for the machine's scheduler, which belongs to no process.
    std::shared_ptr<ProcessRec> process;

    // Only the thread itself reads and writes these.
    DWORD lastError = 0;
    unsigned appliedLocale = 0;  // the process's locale generation in force on the thread

    // Kernel lock held for the rest.
    int priority = 0;  // THREAD_PRIORITY_NORMAL
    DWORD exitCode = STILL_ACTIVE;
    bool ended = false;
    bool suspended = false;
    bool isScheduler = false;
    WaitBlock* wait = nullptr;  // the wait the thread is in
    std::uint64_t wakeups = 0;  // waits that ended after the thread had blocked
    DWORD queueBits = 0;        // its message queue's status (the wake-mask bits)
    int comInits = 0;           // CoInitialize calls not yet matched by CoUninitialize
    Gate resumeGate;
    std::vector<std::weak_ptr<Waitable>> owned;  // mutexes it may own (see OwnerEnded)
    std::unique_ptr<ThreadExtension> windowing;  // made by the window system on first use

    sim::Waitable* AsWaitable() override { return this; }
    bool SignaledFor(const ThreadRec&, std::uint64_t) const override { return ended; }

    // Whether the thread's process is ending (kernel lock held).
    bool TerminatingLocked() const;
};

// The calling thread's record, made on its first call.
ThreadRec& CurrentThread();
std::shared_ptr<ThreadRec> CurrentThreadShared();

// Starts a machine thread in `process` (null: no process, the scheduler) that runs body and ends
// with its result. It counts as a machine thread from before it starts, so the clock cannot move
// between the start and its first instruction. A suspended thread waits for ResumeThread first.
std::shared_ptr<ThreadRec> StartThreadIn(std::shared_ptr<ProcessRec> process,
                                         std::function<DWORD()> body, bool suspended = false);
// Starts a machine thread in the calling thread's process.
std::shared_ptr<ThreadRec> StartMachineThread(std::function<void()> body);

// Sleeps on the machine clock (a thread of an ending process unwinds instead).
void SleepOnMachine(DWORD ms);

// Lets a suspended thread run (kernel lock held). Returns whether it was suspended.
bool ResumeLocked(ThreadRec& thread);

// Throws ProcessExiting when the calling thread's process is ending (and the thread is not
// already unwinding).
void ThrowIfTerminating();

// Puts the process's C library locale in force on the calling thread when it changed.
void ApplyProcessLocale(ThreadRec& thread);

// Binds the calling thread to a process (the machine's own program after a machine reset).
void BindCurrentThread(std::shared_ptr<ProcessRec> process);

}  // namespace sim
