// Time, threads, and the running process's identity.
#include <ctime>
#include <string>

#include <winbase.h>
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/processes.h"
#include "machine/threads.h"
#include "machine/waits.h"
#include "machine/trace.h"

using sim::Fail;
using sim::Kernel;

namespace {

const HANDLE kCurrentThreadPseudo = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));

bool ValidPriority(int priority) {
    return priority == THREAD_PRIORITY_IDLE || priority == THREAD_PRIORITY_TIME_CRITICAL ||
           (priority >= THREAD_PRIORITY_LOWEST && priority <= THREAD_PRIORITY_HIGHEST);
}

// The thread a handle (or the pseudo handle) stands for.
std::shared_ptr<sim::ThreadRec> FindThread(HANDLE thread) {
    if (thread == kCurrentThreadPseudo) return sim::CurrentThreadShared();
    return sim::HandleTable::Get().FindAs<sim::ThreadRec>(thread);
}

}  // namespace

// ---- Time ----

DWORD GetTickCount() {
    return static_cast<DWORD>(Kernel::Get().Now());
}
ULONGLONG GetTickCount64() {
    return Kernel::Get().Now();
}

void Sleep(DWORD milliseconds) {
    API_TRACE_VOID(Kernel, Sleep, milliseconds);
    sim::SleepOnMachine(milliseconds);
}

void GetLocalTime(SYSTEMTIME* out) {
    API_TRACE_VOID(Kernel, GetLocalTime, out);
    std::uint64_t now = Kernel::Get().Now();
    std::time_t secs = static_cast<std::time_t>(sim::machine().config().startLocalTime +
                                                static_cast<std::int64_t>(now / 1000));
    std::tm tm{};
    gmtime_r(&secs, &tm);
    out->wYear = static_cast<WORD>(tm.tm_year + 1900);
    out->wMonth = static_cast<WORD>(tm.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    out->wDay = static_cast<WORD>(tm.tm_mday);
    out->wHour = static_cast<WORD>(tm.tm_hour);
    out->wMinute = static_cast<WORD>(tm.tm_min);
    out->wSecond = static_cast<WORD>(tm.tm_sec);
    out->wMilliseconds = static_cast<WORD>(now % 1000);
}

// ---- Threads ----

DWORD GetCurrentThreadId() {
    return sim::CurrentThread().id;
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES arg1, SIZE_T arg2, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, LPDWORD threadId) {
    API_TRACE(Kernel, CreateThread, arg1, arg2, start, parameter, flags, threadId);
    if (start == nullptr) return Fail<HANDLE>(nullptr, ERROR_INVALID_PARAMETER);
    auto t = sim::StartThreadIn(
        sim::CurrentProcessShared(), [start, parameter] { return start(parameter); },
        (flags & CREATE_SUSPENDED) != 0);
    HANDLE h = sim::HandleTable::Get().Add(t);
    if (threadId) *threadId = t->id;
    SetLastError(ERROR_SUCCESS);
    return h;
}

DWORD ResumeThread(HANDLE thread) {
    API_TRACE(Kernel, ResumeThread, thread);
    auto t = FindThread(thread);
    if (!t) return Fail<DWORD>(0xFFFFFFFFu, ERROR_INVALID_HANDLE);
    std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
    return sim::ResumeLocked(*t) ? 1 : 0;
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
    API_TRACE(Kernel, GetExitCodeThread, thread, exitCode);
    auto t = FindThread(thread);
    if (!t || !exitCode) return Fail(FALSE, ERROR_INVALID_HANDLE);
    std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
    *exitCode = t->ended ? t->exitCode : STILL_ACTIVE;
    return TRUE;
}

HANDLE GetCurrentThread() {
    return kCurrentThreadPseudo;
}

BOOL SetThreadPriority(HANDLE thread, int priority) {
    API_TRACE(Kernel, SetThreadPriority, thread, priority);
    if (!ValidPriority(priority)) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    auto t = FindThread(thread);
    if (!t) return Fail(FALSE, ERROR_INVALID_HANDLE);
    std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
    t->priority = priority;
    return TRUE;
}

int GetThreadPriority(HANDLE thread) {
    API_TRACE(Kernel, GetThreadPriority, thread);
    auto t = FindThread(thread);
    if (!t) return Fail<int>(THREAD_PRIORITY_ERROR_RETURN, ERROR_INVALID_HANDLE);
    std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
    return t->priority;
}

// ---- The running process ----

HANDLE GetCurrentProcess() {
    return INVALID_HANDLE_VALUE;  // the pseudo handle (-1)
}

DWORD GetCurrentProcessId() {
    return sim::CurrentProcess().info.pid;
}

LPWSTR GetCommandLineW() {
    API_TRACE(Kernel, GetCommandLineW);
    // Fixed when the process starts; the buffer lives as long as the process.
    return const_cast<LPWSTR>(sim::CurrentProcess().info.commandLine.c_str());
}
