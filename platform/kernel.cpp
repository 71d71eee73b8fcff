#include "platform/kernel.h"

#include <atomic>
#include <cstring>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

#include "platform/sim/handles.h"
#include "platform/sim/process_context.h"
#include "platform/sim/machine.h"
#include "platform/sim/processes.h"
#include "platform/sim/waitcore.h"

using sim::Fail;
using sim::WaitCore;

namespace {

thread_local DWORD t_lastError = 0;
thread_local DWORD t_threadId = 0;
thread_local std::shared_ptr<const sim::ProcessContext> t_process;
std::atomic<DWORD> g_nextThreadId{0x104};

struct EventObj : sim::KObject {
    bool manual;
    bool signaled;
    EventObj(bool m, bool s) : manual(m), signaled(s) {}
    bool Waitable() const override { return true; }
    bool Signaled(DWORD) const override { return signaled; }
    void Consume(DWORD) override {
        if (!manual) signaled = false;
    }
};

struct SemaphoreObj : sim::KObject {
    LONG count, maximum;
    SemaphoreObj(LONG c, LONG m) : count(c), maximum(m) {}
    bool Waitable() const override { return true; }
    bool Signaled(DWORD) const override { return count > 0; }
    void Consume(DWORD) override { --count; }
};

struct MutexObj : sim::KObject {
    DWORD owner = 0;
    int recursion = 0;
    bool abandoned = false;  // its owner ended holding it; the next owner is told so once
    bool Waitable() const override { return true; }
    bool Signaled(DWORD tid) const override { return owner == 0 || owner == tid; }
    void Consume(DWORD tid) override {
        owner = tid;
        ++recursion;
    }
};

// Every mutex, so that a thread started by the layer that ends holding some abandons them
// (guarded by WaitCore's mutex).
std::vector<std::weak_ptr<MutexObj>>* g_mutexes = new std::vector<std::weak_ptr<MutexObj>>();

void AbandonMutexesLocked(DWORD tid) {
    std::erase_if(*g_mutexes, [](const std::weak_ptr<MutexObj>& w) { return w.expired(); });
    for (auto& w : *g_mutexes) {
        auto m = w.lock();
        if (!m || m->owner != tid) continue;
        m->owner = 0;
        m->recursion = 0;
        m->abandoned = true;
    }
}

// Whether a wait just took an abandoned mutex (clears the mark).
bool TakeAbandoned(sim::KObject& o) {
    auto* m = dynamic_cast<MutexObj*>(&o);
    if (m == nullptr || !m->abandoned) return false;
    m->abandoned = false;
    return true;
}

struct ThreadObj : sim::KObject {
    bool ended = false;
    bool suspended = false;
    DWORD exitCode = STILL_ACTIVE;
    DWORD id = 0;
    int priority = 0;  // THREAD_PRIORITY_NORMAL
    bool Waitable() const override { return true; }
    bool Signaled(DWORD) const override { return ended; }
};

struct CritSec {
    DWORD owner = 0;
    int recursion = 0;
};

// A token carries the user of the process it was opened from (sim/processes.h).
using sim::TokenObj;

struct ModuleObj : sim::KObject {
    sim::ModuleDef def;
    std::wstring path;
    int refs = 1;
};

std::uint64_t DeadlineAfter(DWORD ms) {
    if (ms == INFINITE) return sim::kForever;
    return WaitCore::Get().NowLocked() + ms;
}

// Creates or opens a named object. Sets ERROR_ALREADY_EXISTS when it opened one.
template <class T, class Make>
HANDLE CreateNamed(LPCWSTR name, Make make) {
    if (name != nullptr && *name != 0) {
        if (auto existing = sim::machine().FindNamed(name)) {
            if (!std::dynamic_pointer_cast<T>(existing)) return Fail<HANDLE>(nullptr, 6);
            HANDLE h = sim::HandleTable::Get().Add(existing);
            SetLastError(ERROR_ALREADY_EXISTS);
            return h;
        }
    }
    std::shared_ptr<T> obj = make();
    if (name != nullptr && *name != 0) sim::machine().AddNamed(name, obj);
    HANDLE h = sim::HandleTable::Get().Add(obj);
    SetLastError(ERROR_SUCCESS);
    return h;
}

void NativeSystemInfo(LPSYSTEM_INFO info);

}  // namespace

DWORD GetLastError() {
    return t_lastError;
}
void SetLastError(DWORD error) {
    t_lastError = error;
}

BOOL CloseHandle(HANDLE handle) {
    if (!sim::HandleTable::Get().Close(handle)) return Fail(FALSE, ERROR_INVALID_HANDLE);
    return TRUE;
}

// ---- Time ----

DWORD GetTickCount() {
    return static_cast<DWORD>(WaitCore::Get().Now());
}
ULONGLONG GetTickCount64() {
    return WaitCore::Get().Now();
}

void Sleep(DWORD milliseconds) {
    auto& core = WaitCore::Get();
    std::unique_lock<std::mutex> lk(core.Mutex());
    static const std::function<bool()> never = [] { return false; };
    core.Wait(lk, never, DeadlineAfter(milliseconds));
}

void GetLocalTime(SYSTEMTIME* out) {
    std::uint64_t now = WaitCore::Get().Now();
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

// ---- Waits ----

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD ms) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || handles == nullptr)
        return Fail<DWORD>(WAIT_FAILED, ERROR_INVALID_PARAMETER);
    std::vector<std::shared_ptr<sim::KObject>> objs;
    for (DWORD i = 0; i < count; ++i) {
        auto o = sim::HandleTable::Get().Find(handles[i]);
        if (!o || !o->Waitable()) return Fail<DWORD>(WAIT_FAILED, ERROR_INVALID_HANDLE);
        objs.push_back(std::move(o));
    }
    DWORD tid = GetCurrentThreadId();
    auto& core = WaitCore::Get();
    std::unique_lock<std::mutex> lk(core.Mutex());
    // The wait takes its objects the moment they are signalled, also when another thread's
    // SetEvent or release finds it waiting (an auto-reset event resets, a semaphore counts down,
    // a mutex gets its owner), so that nobody else can take them before this thread runs.
    DWORD result = WAIT_TIMEOUT;
    std::function<bool()> ready = [&] {
        if (result != WAIT_TIMEOUT) return true;
        if (waitAll) {
            for (auto& o : objs)
                if (!o->Signaled(tid)) return false;
            result = WAIT_OBJECT_0;
            for (DWORD i = 0; i < count; ++i) {
                objs[i]->Consume(tid);
                if (TakeAbandoned(*objs[i]) && result == WAIT_OBJECT_0) result = WAIT_ABANDONED + i;
            }
            return true;
        }
        for (DWORD i = 0; i < count; ++i) {
            if (objs[i]->Signaled(tid)) {
                objs[i]->Consume(tid);
                result = (TakeAbandoned(*objs[i]) ? WAIT_ABANDONED : WAIT_OBJECT_0) + i;
                return true;
            }
        }
        return false;
    };
    if (!core.Wait(lk, ready, DeadlineAfter(ms))) return WAIT_TIMEOUT;
    return result;
}

// ---- Events, semaphores, mutexes ----

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
    return CreateNamed<EventObj>(name, [&] {
        return std::make_shared<EventObj>(manualReset != FALSE, initialState != FALSE);
    });
}

HANDLE OpenEventW(DWORD, BOOL, LPCWSTR name) {
    auto obj = name ? std::dynamic_pointer_cast<EventObj>(sim::machine().FindNamed(name)) : nullptr;
    if (!obj) return Fail<HANDLE>(nullptr, ERROR_FILE_NOT_FOUND);
    return sim::HandleTable::Get().Add(obj);
}

static BOOL SetEventState(HANDLE event, bool state) {
    auto e = sim::HandleTable::Get().FindAs<EventObj>(event);
    if (!e) return Fail(FALSE, ERROR_INVALID_HANDLE);
    auto& core = WaitCore::Get();
    std::lock_guard<std::mutex> lk(core.Mutex());
    e->signaled = state;
    if (state) core.NotifyLocked();
    return TRUE;
}

BOOL SetEvent(HANDLE event) {
    return SetEventState(event, true);
}
BOOL ResetEvent(HANDLE event) {
    return SetEventState(event, false);
}

HANDLE CreateSemaphoreW(LPSECURITY_ATTRIBUTES, LONG initialCount, LONG maximumCount, LPCWSTR name) {
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount)
        return Fail<HANDLE>(nullptr, ERROR_INVALID_PARAMETER);
    return CreateNamed<SemaphoreObj>(
        name, [&] { return std::make_shared<SemaphoreObj>(initialCount, maximumCount); });
}

BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG* previousCount) {
    auto s = sim::HandleTable::Get().FindAs<SemaphoreObj>(semaphore);
    if (!s) return Fail(FALSE, ERROR_INVALID_HANDLE);
    auto& core = WaitCore::Get();
    std::lock_guard<std::mutex> lk(core.Mutex());
    if (releaseCount <= 0 || releaseCount > s->maximum - s->count)
        return Fail(FALSE, 298 /* ERROR_TOO_MANY_POSTS */);
    if (previousCount) *previousCount = s->count;
    s->count += releaseCount;
    core.NotifyLocked();
    return TRUE;
}

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCWSTR name) {
    DWORD tid = GetCurrentThreadId();
    return CreateNamed<MutexObj>(name, [&] {
        auto m = std::make_shared<MutexObj>();
        if (initialOwner) m->Consume(tid);
        std::lock_guard<std::mutex> lk(WaitCore::Get().Mutex());
        g_mutexes->push_back(m);
        return m;
    });
}

BOOL ReleaseMutex(HANDLE mutex) {
    auto m = sim::HandleTable::Get().FindAs<MutexObj>(mutex);
    if (!m) return Fail(FALSE, ERROR_INVALID_HANDLE);
    auto& core = WaitCore::Get();
    std::lock_guard<std::mutex> lk(core.Mutex());
    if (m->owner != GetCurrentThreadId()) return Fail(FALSE, 288 /* ERROR_NOT_OWNER */);
    if (--m->recursion == 0) {
        m->owner = 0;
        core.NotifyLocked();
    }
    return TRUE;
}

// ---- Critical sections ----

void InitializeCriticalSection(LPCRITICAL_SECTION cs) {
    cs->impl = new CritSec();
}

void DeleteCriticalSection(LPCRITICAL_SECTION cs) {
    delete static_cast<CritSec*>(cs->impl);
    cs->impl = nullptr;
}

void EnterCriticalSection(LPCRITICAL_SECTION cs) {
    auto* c = static_cast<CritSec*>(cs->impl);
    DWORD tid = GetCurrentThreadId();
    auto& core = WaitCore::Get();
    std::unique_lock<std::mutex> lk(core.Mutex());
    // Taken the moment it is free, as a wait takes its objects.
    bool taken = false;
    std::function<bool()> take = [&] {
        if (!taken && (c->owner == 0 || c->owner == tid)) {
            c->owner = tid;
            ++c->recursion;
            taken = true;
        }
        return taken;
    };
    core.Wait(lk, take, sim::kForever);
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION cs) {
    auto* c = static_cast<CritSec*>(cs->impl);
    DWORD tid = GetCurrentThreadId();
    std::lock_guard<std::mutex> lk(WaitCore::Get().Mutex());
    if (c->owner != 0 && c->owner != tid) return FALSE;
    c->owner = tid;
    ++c->recursion;
    return TRUE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION cs) {
    auto* c = static_cast<CritSec*>(cs->impl);
    auto& core = WaitCore::Get();
    std::lock_guard<std::mutex> lk(core.Mutex());
    if (c->owner != GetCurrentThreadId() || c->recursion <= 0) return;
    if (--c->recursion == 0) {
        c->owner = 0;
        core.NotifyLocked();
    }
}

// ---- Threads ----

DWORD GetCurrentThreadId() {
    if (t_threadId == 0) t_threadId = g_nextThreadId.fetch_add(4);
    return t_threadId;
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD flags, LPDWORD threadId) {
    if (start == nullptr) return Fail<HANDLE>(nullptr, ERROR_INVALID_PARAMETER);
    auto t = std::make_shared<ThreadObj>();
    t->id = g_nextThreadId.fetch_add(4);
    t->suspended = (flags & CREATE_SUSPENDED) != 0;
    HANDLE h = sim::HandleTable::Get().Add(t);
    if (threadId) *threadId = t->id;
    auto& core = WaitCore::Get();
    core.AddPendingThread();
    std::thread([t, start, parameter, &core, process = t_process] {
        t_threadId = t->id;
        t_process = process;
        core.AdoptPendingThread();
        {
            std::unique_lock<std::mutex> lk(core.Mutex());
            std::function<bool()> resumed = [&] { return !t->suspended; };
            core.Wait(lk, resumed, sim::kForever);
        }
        DWORD rc = start(parameter);
        {
            std::lock_guard<std::mutex> lk(core.Mutex());
            t->exitCode = rc;
            t->ended = true;
            AbandonMutexesLocked(t->id);
            core.NotifyLocked();
        }
        core.ThreadFinished();
    }).detach();
    SetLastError(ERROR_SUCCESS);
    return h;
}

DWORD ResumeThread(HANDLE thread) {
    auto t = sim::HandleTable::Get().FindAs<ThreadObj>(thread);
    if (!t) return Fail<DWORD>(0xFFFFFFFFu, ERROR_INVALID_HANDLE);
    auto& core = WaitCore::Get();
    std::lock_guard<std::mutex> lk(core.Mutex());
    DWORD previous = t->suspended ? 1 : 0;
    t->suspended = false;
    core.NotifyLocked();
    return previous;
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
    auto t = sim::HandleTable::Get().FindAs<ThreadObj>(thread);
    if (!t || !exitCode) return Fail(FALSE, ERROR_INVALID_HANDLE);
    std::lock_guard<std::mutex> lk(WaitCore::Get().Mutex());
    *exitCode = t->exitCode;
    return TRUE;
}

HANDLE GetCurrentProcess() {
    return INVALID_HANDLE_VALUE;
}  // the pseudo handle (-1)

namespace {
thread_local int t_ownPriority = THREAD_PRIORITY_NORMAL;  // the calling thread, by pseudo handle
const HANDLE kCurrentThreadPseudo = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));

bool ValidPriority(int priority) {
    return priority == THREAD_PRIORITY_IDLE || priority == THREAD_PRIORITY_TIME_CRITICAL ||
           (priority >= THREAD_PRIORITY_LOWEST && priority <= THREAD_PRIORITY_HIGHEST);
}
}  // namespace

HANDLE GetCurrentThread() {
    return kCurrentThreadPseudo;
}

BOOL SetThreadPriority(HANDLE thread, int priority) {
    if (!ValidPriority(priority)) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (thread == kCurrentThreadPseudo) {
        t_ownPriority = priority;
        return TRUE;
    }
    auto t = sim::HandleTable::Get().FindAs<ThreadObj>(thread);
    if (!t) return Fail(FALSE, ERROR_INVALID_HANDLE);
    std::lock_guard<std::mutex> lk(WaitCore::Get().Mutex());
    t->priority = priority;
    return TRUE;
}

int GetThreadPriority(HANDLE thread) {
    if (thread == kCurrentThreadPseudo) return t_ownPriority;
    auto t = sim::HandleTable::Get().FindAs<ThreadObj>(thread);
    if (!t) return Fail<int>(THREAD_PRIORITY_ERROR_RETURN, ERROR_INVALID_HANDLE);
    std::lock_guard<std::mutex> lk(WaitCore::Get().Mutex());
    return t->priority;
}

LPWSTR GetCommandLineW() {
    thread_local std::wstring line;
    line = t_process ? t_process->commandLine : L"\"" + sim::machine().ProgramPath() + L"\"";
    return line.data();
}
DWORD GetCurrentProcessId() {
    return t_process ? t_process->pid : 0x4D0;
}

namespace sim {
std::shared_ptr<const ProcessContext> CurrentProcess() {
    return t_process;
}
void SetCurrentProcess(std::shared_ptr<const ProcessContext> context) {
    t_process = std::move(context);
}
}  // namespace sim

// ---- Modules ----

namespace {

std::wstring FileNamePart(const std::wstring& path) {
    std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

void NativeSystemInfo(LPSYSTEM_INFO info) {
    GetSystemInfo(info);
    if (sim::machine().config().is64Bit)
        info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
}

}  // namespace

namespace sim {
void RegisterRasModule(Machine& m);  // sim/ras.cpp

// The system's own modules, registered by every machine reset.
void RegisterSystemModules(Machine& m) {
    RegisterRasModule(m);
    ModuleDef kernel32;
    kernel32.name = L"kernel32.dll";
    kernel32.system = true;
    kernel32.exports["GetSystemInfo"] = reinterpret_cast<void*>(&GetSystemInfo);
    const Config& c = m.config();
    bool xpOrLater = c.platformId == 2 && (c.major > 5 || (c.major == 5 && c.minor >= 1));
    if (xpOrLater)
        kernel32.exports["GetNativeSystemInfo"] = reinterpret_cast<void*>(&NativeSystemInfo);
    m.RegisterModule(kernel32);
}
}  // namespace sim

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
    std::wstring path;
    if (module == nullptr) {
        path = t_process ? t_process->imagePath : sim::machine().ProgramPath();
    } else {
        auto m = sim::HandleTable::Get().FindAs<ModuleObj>(reinterpret_cast<HANDLE>(module));
        if (!m) return Fail<DWORD>(0, ERROR_MOD_NOT_FOUND);
        path = m->path;
    }
    if (fileName == nullptr || size == 0) return Fail<DWORD>(0, ERROR_INSUFFICIENT_BUFFER);
    if (path.size() >= size) {
        std::wmemcpy(fileName, path.c_str(), size - 1);
        fileName[size - 1] = 0;
        return Fail<DWORD>(size, ERROR_INSUFFICIENT_BUFFER);
    }
    std::wmemcpy(fileName, path.c_str(), path.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
}

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
    // The program's image: a fixed handle that no kernel object uses.
    if (moduleName == nullptr) return reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x400000));
    return Fail<HMODULE>(nullptr, ERROR_MOD_NOT_FOUND);
}

HMODULE LoadLibraryW(LPCWSTR fileName) {
    if (fileName == nullptr || *fileName == 0)
        return Fail<HMODULE>(nullptr, ERROR_INVALID_PARAMETER);
    std::wstring requested = fileName;
    std::wstring name = FileNamePart(requested);
    auto& m = sim::machine();
    const std::optional<sim::ModuleDef> def = m.FindModule(name);
    if (!def) return Fail<HMODULE>(nullptr, ERROR_MOD_NOT_FOUND);
    std::wstring path;
    if (def->system) {
        path = L"C:\\WINDOWS\\system32\\" + name;
    } else if (requested.find_first_of(L"\\/") != std::wstring::npos) {
        if (!m.FileExists(requested)) return Fail<HMODULE>(nullptr, ERROR_MOD_NOT_FOUND);
        path = requested;
    } else {
        // Bare names are searched in the program's folder, then the system folder.
        path = m.config().programFolder + name;
        if (!m.FileExists(path)) {
            path = L"C:\\WINDOWS\\system32\\" + name;
            if (!m.FileExists(path)) return Fail<HMODULE>(nullptr, ERROR_MOD_NOT_FOUND);
        }
    }
    auto obj = std::make_shared<ModuleObj>();
    obj->def = *def;
    obj->path = path;
    SetLastError(ERROR_SUCCESS);
    return reinterpret_cast<HMODULE>(sim::HandleTable::Get().Add(obj));
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    auto m = sim::HandleTable::Get().FindAs<ModuleObj>(reinterpret_cast<HANDLE>(module));
    if (!m) return Fail<FARPROC>(nullptr, ERROR_INVALID_HANDLE);
    if (procName == nullptr) return Fail<FARPROC>(nullptr, ERROR_PROC_NOT_FOUND);
    auto it = m->def.exports.find(procName);
    if (it == m->def.exports.end()) return Fail<FARPROC>(nullptr, ERROR_PROC_NOT_FOUND);
    return reinterpret_cast<FARPROC>(it->second);
}

BOOL FreeLibrary(HMODULE module) {
    if (!sim::HandleTable::Get().FindAs<ModuleObj>(reinterpret_cast<HANDLE>(module)))
        return Fail(FALSE, ERROR_INVALID_HANDLE);
    sim::HandleTable::Get().Close(reinterpret_cast<HANDLE>(module));
    return TRUE;
}

// ---- Version and system information ----

BOOL GetVersionExW(LPOSVERSIONINFOW info) {
    if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW))
        return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    const auto& c = sim::machine().config();
    info->dwMajorVersion = c.major;
    info->dwMinorVersion = c.minor;
    info->dwBuildNumber = c.build;
    info->dwPlatformId = c.platformId;
    std::wmemset(info->szCSDVersion, 0, 128);
    std::wcsncpy(info->szCSDVersion, c.servicePack.c_str(), 127);
    return TRUE;
}

void GetSystemInfo(LPSYSTEM_INFO info) {
    std::memset(info, 0, sizeof *info);
    info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
    info->dwPageSize = 4096;
    info->dwNumberOfProcessors = 1;
    info->dwActiveProcessorMask = 1;
    info->dwProcessorType = 586;
    info->dwAllocationGranularity = 65536;
}

// ---- Debug output ----

void OutputDebugStringW(LPCWSTR text) {
    if (text) sim::machine().AppendDebugOutput(text);
}

void OutputDebugStringA(LPCSTR text) {
    if (text) sim::machine().AppendDebugOutput(sim::FromUtf8(text));
}

// ---- Tokens and privileges ----

BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    if (token == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    // The running program's pseudo handle, or a handle from OpenProcess or CreateProcess.
    std::wstring user;
    if (!sim::ProcessHandleUser(process, &user)) return Fail(FALSE, ERROR_INVALID_HANDLE);
    *token = sim::HandleTable::Get().Add(std::make_shared<TokenObj>(access, user));
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL LookupPrivilegeValueW(LPCWSTR systemName, LPCWSTR name, LUID* luid) {
    static const struct {
        const wchar_t* name;
        DWORD value;
    } known[] = {{L"SeTcbPrivilege", 7},          {L"SeLoadDriverPrivilege", 10},
                 {L"SeBackupPrivilege", 17},      {L"SeRestorePrivilege", 18},
                 {L"SeShutdownPrivilege", 19},    {L"SeDebugPrivilege", 20},
                 {L"SeChangeNotifyPrivilege", 23}};
    if (name == nullptr || luid == nullptr) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    for (const auto& k : known) {
        if (sim::Lower(k.name) == sim::Lower(name)) {
            luid->LowPart = k.value;
            luid->HighPart = 0;
            return TRUE;
        }
    }
    return Fail(FALSE, ERROR_NO_SUCH_PRIVILEGE);
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD,
                           PTOKEN_PRIVILEGES, PDWORD) {
    auto t = sim::HandleTable::Get().FindAs<TokenObj>(token);
    if (!t) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (!(t->access & TOKEN_ADJUST_PRIVILEGES)) return Fail(FALSE, ERROR_ACCESS_DENIED);
    if (disableAll || newState == nullptr) return Fail(TRUE, ERROR_SUCCESS);
    bool all = true;
    for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
        const LUID& l = newState->Privileges[i].Luid;
        bool held =
            l.HighPart == 0 && (l.LowPart == 23 || l.LowPart == 19 ||
                                (l.LowPart == 20 && sim::machine().config().hasDebugPrivilege));
        all = all && held;
    }
    // Success with ERROR_NOT_ALL_ASSIGNED when the token lacks one of the privileges.
    return Fail(TRUE, all ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
}
