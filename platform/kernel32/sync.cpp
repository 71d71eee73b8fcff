// Handles, waits, events, semaphores, mutexes and critical sections.
#include <vector>

#include <winbase.h>
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/mixed_wait.h"
#include "machine/remote.h"
#include "machine/sync.h"
#include "machine/threads.h"
#include "machine/waits.h"
#include <winuser.h>
#include "machine/trace.h"

using sim::Fail;
using sim::Kernel;

namespace {

// Creates (or, with create false, opens) a named object of the machine server's, as a handle
// of the process. Sets ERROR_ALREADY_EXISTS when a create opened one.
HANDLE OnServer(sim::ServerLink& link, sim::wire::ObjectKind kind, LPCWSTR name, bool create,
                std::int32_t a = 0, std::int32_t b = 0) {
    sim::wire::Writer w;
    w.U16(static_cast<std::uint16_t>(kind)).Text(name);
    if (create) w.U32(sim::CurrentThread().id).I32(a).I32(b);
    auto answer = sim::CallServer(
        link, create ? sim::wire::Kind::CreateNamed : sim::wire::Kind::OpenNamed, w.Bytes());
    std::uint32_t handle = 0;
    sim::wire::Reader r(answer.body);
    if ((answer.status != 0 && answer.status != ERROR_ALREADY_EXISTS) || !r.U32(handle))
        return Fail<HANDLE>(nullptr, answer.status != 0 ? answer.status : ERROR_INVALID_HANDLE);
    HANDLE h = sim::HandleTable::Get().Add(std::make_shared<sim::RemoteObj>(kind, handle));
    SetLastError(answer.status);
    return h;
}

// Changes a named object of the server's: an event's state, a release. The server's status
// becomes the thread's last error on failure; `previous` takes a semaphore's count before.
BOOL SignalOnServer(const sim::RemoteObj& obj, sim::wire::SignalOp op, LONG count = 0,
                    LONG* previous = nullptr) {
    sim::ServerLink* link = sim::Link();
    if (link == nullptr) return Fail(FALSE, ERROR_INVALID_HANDLE);
    sim::wire::Writer w;
    w.U16(static_cast<std::uint16_t>(op)).U32(obj.handle).U32(sim::CurrentThread().id).I32(count);
    auto answer = sim::CallServer(*link, sim::wire::Kind::Signal, w.Bytes());
    if (answer.status != 0) return Fail(FALSE, answer.status);
    std::int32_t before = 0;
    sim::wire::Reader r(answer.body);
    if (previous != nullptr && r.I32(before)) *previous = before;
    return TRUE;
}

// A wait on objects of the server's only.
DWORD WaitOnServer(const std::vector<std::shared_ptr<sim::RemoteObj>>& objs, bool all, DWORD ms) {
    sim::ServerLink* link = sim::Link();
    if (link == nullptr) return Fail<DWORD>(WAIT_FAILED, ERROR_INVALID_HANDLE);
    auto& kernel = Kernel::Get();
    std::uint64_t deadline;
    {
        std::lock_guard<std::mutex> lk(kernel.Mutex());
        deadline = kernel.DeadlineAfterLocked(ms);
    }
    sim::wire::Writer w;
    w.U32(sim::CurrentThread().id).U8(all ? 1 : 0).U64(deadline);
    w.U32(static_cast<std::uint32_t>(objs.size()));
    for (const auto& o : objs) w.U32(o->handle);
    auto answer = sim::CallServer(*link, sim::wire::Kind::Wait, w.Bytes());
    std::uint32_t result = WAIT_FAILED;
    sim::wire::Reader r(answer.body);
    if (answer.status != 0 || !r.U32(result)) return Fail<DWORD>(WAIT_FAILED, answer.status);
    return result;
}

// Creates or opens a named object in one step. Sets ERROR_ALREADY_EXISTS when it opened one.
// A program on a machine server creates named objects there (make is then not called).
template <class T, class Make>
HANDLE CreateNamed(LPCWSTR name, Make make, sim::wire::ObjectKind kind, std::int32_t a,
                   std::int32_t b) {
    std::shared_ptr<sim::KObject> obj;
    bool existed = false;
    if (name != nullptr && *name != 0) {
        if (sim::ServerLink* link = sim::Link()) return OnServer(*link, kind, name, true, a, b);
        obj = sim::machine().CreateOrOpenNamed(name, make, &existed);
        if (existed && !std::dynamic_pointer_cast<T>(obj))
            return Fail<HANDLE>(nullptr, ERROR_INVALID_HANDLE);
    } else {
        obj = make();
    }
    HANDLE h = sim::HandleTable::Get().Add(obj);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

// The one wait behind every wait function: objects, all or any, a wake mask, a timeout.
DWORD WaitOn(DWORD count, const HANDLE* handles, bool all, DWORD wakeMask, DWORD ms) {
    if (count > MAXIMUM_WAIT_OBJECTS || (count > 0 && handles == nullptr) ||
        (count == 0 && wakeMask == 0))
        return Fail<DWORD>(WAIT_FAILED, ERROR_INVALID_PARAMETER);
    // The objects stay alive for the wait even if another thread closes their handles.
    std::vector<std::shared_ptr<sim::KObject>> objs;
    std::vector<sim::WaitItem> items;
    std::vector<std::shared_ptr<sim::RemoteObj>> remote;
    for (DWORD i = 0; i < count; ++i)
        if (auto o = sim::HandleTable::Get().FindAs<sim::RemoteObj>(handles[i])) remote.push_back(o);
    if (!remote.empty() && remote.size() == count && wakeMask == 0)
        return WaitOnServer(remote, all, ms);
    // A wait that mixes the server's objects with the process's own or with its message queue.
    std::vector<sim::MixedItem> mixed;
    std::vector<std::uint32_t> remoteHandles;
    for (DWORD i = 0; i < count; ++i) {
        auto o = sim::HandleTable::Get().Find(handles[i]);
        if (auto r = std::dynamic_pointer_cast<sim::RemoteObj>(o)) {
            remoteHandles.push_back(r->handle);
            mixed.push_back({true, nullptr});
            objs.push_back(std::move(o));
            continue;
        }
        sim::Waitable* w = o ? o->AsWaitable() : nullptr;
        if (w == nullptr) return Fail<DWORD>(WAIT_FAILED, ERROR_INVALID_HANDLE);
        items.push_back({w});
        mixed.push_back({false, w});
        objs.push_back(std::move(o));
    }
    sim::ThreadRec& self = sim::CurrentThread();
    auto& kernel = Kernel::Get();
    sim::WaitResult r;
    if (!remote.empty()) {
        sim::ServerLink* link = sim::Link();
        if (link == nullptr) return Fail<DWORD>(WAIT_FAILED, ERROR_INVALID_HANDLE);
        std::uint64_t deadline;
        {
            std::lock_guard<std::mutex> lk(kernel.Mutex());
            deadline = kernel.DeadlineAfterLocked(ms);
        }
        auto side = sim::ServedWaitSide(*link, self.id, std::move(remoteHandles));
        sim::MixedResult m = sim::MixedWait(self, mixed, *side, all, wakeMask, deadline);
        if (m.failed) return Fail<DWORD>(WAIT_FAILED, m.error);
        r = m.result;
    } else {
        std::unique_lock<std::mutex> lk(kernel.Mutex());
        r = kernel.Wait(lk, self, items, all, wakeMask, kernel.DeadlineAfterLocked(ms));
    }
    switch (r.outcome) {
        case sim::WaitOutcome::Object:
        case sim::WaitOutcome::Queue:
            return WAIT_OBJECT_0 + r.index;
        case sim::WaitOutcome::Abandoned:
            return WAIT_ABANDONED + r.index;
        case sim::WaitOutcome::Timeout:
        case sim::WaitOutcome::Idle:
            return WAIT_TIMEOUT;
        case sim::WaitOutcome::Terminated:
            break;
    }
    sim::ThrowIfTerminating();
    // Already unwinding (a destructor's wait): the wait fails.
    return Fail<DWORD>(WAIT_FAILED, ERROR_PROCESS_ABORTED);
}

template <class T>
std::shared_ptr<T> Find(HANDLE h) {
    return sim::HandleTable::Get().FindAs<T>(h);
}

// Opens a named object of kind T: the server's for a program on a machine server, else the
// process's machine's.
template <class T>
HANDLE OpenNamed(LPCWSTR name, sim::wire::ObjectKind kind) {
    if (name == nullptr || *name == 0) return Fail<HANDLE>(nullptr, ERROR_FILE_NOT_FOUND);
    if (sim::ServerLink* link = sim::Link()) return OnServer(*link, kind, name, false);
    auto obj = sim::machine().FindNamed(name);
    if (!obj) return Fail<HANDLE>(nullptr, ERROR_FILE_NOT_FOUND);
    if (!std::dynamic_pointer_cast<T>(obj)) return Fail<HANDLE>(nullptr, ERROR_INVALID_HANDLE);
    HANDLE h = sim::HandleTable::Get().Add(obj);
    SetLastError(ERROR_SUCCESS);
    return h;
}

}  // namespace

DWORD GetLastError() {
    return sim::CurrentThread().lastError;
}
void SetLastError(DWORD error) {
    sim::CurrentThread().lastError = error;
}

BOOL CloseHandle(HANDLE handle) {
    API_TRACE(Kernel, CloseHandle, handle);
    if (!sim::HandleTable::Get().Close(handle)) return Fail(FALSE, ERROR_INVALID_HANDLE);
    return TRUE;
}

// ---- Waits ----

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    API_TRACE(Kernel, WaitForSingleObject, handle, milliseconds);
    return WaitOn(1, &handle, false, 0, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD ms) {
    API_TRACE(Kernel, WaitForMultipleObjects, count, handles, waitAll, ms);
    if (count == 0) return Fail<DWORD>(WAIT_FAILED, ERROR_INVALID_PARAMETER);
    return WaitOn(count, handles, waitAll != FALSE, 0, ms);
}

DWORD MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, DWORD ms, DWORD wakeMask,
                                  DWORD flags) {
    API_TRACE(Kernel, MsgWaitForMultipleObjectsEx, count, handles, ms, wakeMask, flags);
    if (wakeMask == 0 && count == 0) return Fail<DWORD>(WAIT_FAILED, ERROR_INVALID_PARAMETER);
    return WaitOn(count, handles, (flags & MWMO_WAITALL) != 0, wakeMask, ms);
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD ms,
                                DWORD wakeMask) {
    API_TRACE(Kernel, MsgWaitForMultipleObjects, count, handles, waitAll, ms, wakeMask);
    return MsgWaitForMultipleObjectsEx(count, handles, ms, wakeMask, waitAll ? MWMO_WAITALL : 0);
}

// ---- Events, semaphores, mutexes ----

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES arg1, BOOL manualReset, BOOL initialState, LPCWSTR name) {
    API_TRACE(Kernel, CreateEventW, arg1, manualReset, initialState, name);
    return CreateNamed<sim::EventObj>(
        name,
        [&]() -> std::shared_ptr<sim::KObject> {
            return std::make_shared<sim::EventObj>(manualReset != FALSE, initialState != FALSE);
        },
        sim::wire::ObjectKind::Event, manualReset != FALSE, initialState != FALSE);
}

HANDLE OpenEventW(DWORD arg1, BOOL arg2, LPCWSTR name) {
    API_TRACE(Kernel, OpenEventW, arg1, arg2, name);
    return OpenNamed<sim::EventObj>(name, sim::wire::ObjectKind::Event);
}

static BOOL SetEventState(HANDLE event, bool state) {
    if (auto r = Find<sim::RemoteObj>(event))
        return SignalOnServer(*r, state ? sim::wire::SignalOp::SetEvent
                                        : sim::wire::SignalOp::ResetEvent);
    auto e = Find<sim::EventObj>(event);
    if (!e) return Fail(FALSE, ERROR_INVALID_HANDLE);
    std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
    e->SetLocked(state);
    return TRUE;
}

BOOL SetEvent(HANDLE event) {
    API_TRACE(Kernel, SetEvent, event);
    return SetEventState(event, true);
}
BOOL ResetEvent(HANDLE event) {
    API_TRACE(Kernel, ResetEvent, event);
    return SetEventState(event, false);
}

HANDLE CreateSemaphoreW(LPSECURITY_ATTRIBUTES arg1, LONG initialCount, LONG maximumCount,
                        LPCWSTR name) {
    API_TRACE(Kernel, CreateSemaphoreW, arg1, initialCount, maximumCount, name);
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount)
        return Fail<HANDLE>(nullptr, ERROR_INVALID_PARAMETER);
    return CreateNamed<sim::SemaphoreObj>(
        name,
        [&]() -> std::shared_ptr<sim::KObject> {
            return std::make_shared<sim::SemaphoreObj>(initialCount, maximumCount);
        },
        sim::wire::ObjectKind::Semaphore, initialCount, maximumCount);
}

HANDLE OpenSemaphoreW(DWORD access, BOOL inherit, LPCWSTR name) {
    API_TRACE(Kernel, OpenSemaphoreW, access, inherit, name);
    return OpenNamed<sim::SemaphoreObj>(name, sim::wire::ObjectKind::Semaphore);
}

BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG* previousCount) {
    API_TRACE(Kernel, ReleaseSemaphore, semaphore, releaseCount, previousCount);
    if (auto r = Find<sim::RemoteObj>(semaphore))
        return SignalOnServer(*r, sim::wire::SignalOp::ReleaseSemaphore, releaseCount,
                              previousCount);
    auto s = Find<sim::SemaphoreObj>(semaphore);
    if (!s) return Fail(FALSE, ERROR_INVALID_HANDLE);
    std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
    if (!s->ReleaseLocked(releaseCount, previousCount)) return Fail(FALSE, ERROR_TOO_MANY_POSTS);
    return TRUE;
}

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES arg1, BOOL initialOwner, LPCWSTR name) {
    API_TRACE(Kernel, CreateMutexW, arg1, initialOwner, name);
    sim::ThreadRec& self = sim::CurrentThread();
    return CreateNamed<sim::MutexObj>(
        name,
        [&]() -> std::shared_ptr<sim::KObject> {
            auto m = std::make_shared<sim::MutexObj>();
            if (initialOwner) {
                std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
                m->Acquire(self, 0);
            }
            return m;
        },
        sim::wire::ObjectKind::Mutex, initialOwner != FALSE, 0);
}

HANDLE OpenMutexW(DWORD access, BOOL inherit, LPCWSTR name) {
    API_TRACE(Kernel, OpenMutexW, access, inherit, name);
    return OpenNamed<sim::MutexObj>(name, sim::wire::ObjectKind::Mutex);
}

BOOL ReleaseMutex(HANDLE mutex) {
    API_TRACE(Kernel, ReleaseMutex, mutex);
    if (auto r = Find<sim::RemoteObj>(mutex))
        return SignalOnServer(*r, sim::wire::SignalOp::ReleaseMutex);
    auto m = Find<sim::MutexObj>(mutex);
    if (!m) return Fail(FALSE, ERROR_INVALID_HANDLE);
    sim::ThreadRec& self = sim::CurrentThread();
    std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
    if (!m->ReleaseLocked(self)) return Fail(FALSE, ERROR_NOT_OWNER);
    return TRUE;
}

// ---- Critical sections ----

void InitializeCriticalSection(LPCRITICAL_SECTION cs) {
    API_TRACE_VOID(Kernel, InitializeCriticalSection, cs);
    cs->impl = new sim::CriticalSectionObj();
}

void DeleteCriticalSection(LPCRITICAL_SECTION cs) {
    API_TRACE_VOID(Kernel, DeleteCriticalSection, cs);
    delete static_cast<sim::CriticalSectionObj*>(cs->impl);
    cs->impl = nullptr;
}

void EnterCriticalSection(LPCRITICAL_SECTION cs) {
    API_TRACE_VOID(Kernel, EnterCriticalSection, cs);
    auto* c = static_cast<sim::CriticalSectionObj*>(cs->impl);
    sim::ThreadRec& self = sim::CurrentThread();
    auto& kernel = Kernel::Get();
    sim::WaitItem item{c};
    sim::WaitResult r;
    {
        std::unique_lock<std::mutex> lk(kernel.Mutex());
        if (c->SignaledFor(self, 0)) {  // the uncontended case
            c->Acquire(self, 0);
            return;
        }
        r = kernel.Wait(lk, self, std::span<const sim::WaitItem>(&item, 1), false, 0,
                        sim::kForever);
    }
    if (r.outcome == sim::WaitOutcome::Terminated) sim::ThrowIfTerminating();
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION cs) {
    API_TRACE(Kernel, TryEnterCriticalSection, cs);
    auto* c = static_cast<sim::CriticalSectionObj*>(cs->impl);
    sim::ThreadRec& self = sim::CurrentThread();
    std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
    if (!c->SignaledFor(self, 0)) return FALSE;
    c->Acquire(self, 0);
    return TRUE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION cs) {
    API_TRACE_VOID(Kernel, LeaveCriticalSection, cs);
    auto* c = static_cast<sim::CriticalSectionObj*>(cs->impl);
    sim::ThreadRec& self = sim::CurrentThread();
    std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
    c->LeaveLocked(self);
}

// ---- I/O completion ports ----

HANDLE CreateIoCompletionPort(HANDLE fileHandle, HANDLE existingPort, ULONG_PTR key,
                              DWORD concurrency) {
    API_TRACE(Kernel, CreateIoCompletionPort, fileHandle, existingPort, key, concurrency);
    if (fileHandle != INVALID_HANDLE_VALUE || existingPort != nullptr)
        return Fail<HANDLE>(nullptr, ERROR_INVALID_PARAMETER);
    HANDLE h = sim::HandleTable::Get().Add(std::make_shared<sim::CompletionPortObj>(concurrency));
    SetLastError(ERROR_SUCCESS);
    return h;
}

BOOL PostQueuedCompletionStatus(HANDLE port, DWORD bytes, ULONG_PTR key, LPOVERLAPPED overlapped) {
    API_TRACE(Kernel, PostQueuedCompletionStatus, port, bytes, key, overlapped);
    auto p = Find<sim::CompletionPortObj>(port);
    if (!p) return Fail(FALSE, ERROR_INVALID_HANDLE);
    std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
    if (!p->PostLocked({bytes, key, overlapped})) return Fail(FALSE, ERROR_INVALID_HANDLE);
    return TRUE;
}

BOOL GetQueuedCompletionStatus(HANDLE port, LPDWORD bytes, PULONG_PTR key, LPOVERLAPPED* overlapped,
                               DWORD milliseconds) {
    API_TRACE(Kernel, GetQueuedCompletionStatus, port, bytes, key, overlapped, milliseconds);
    if (bytes == nullptr || key == nullptr || overlapped == nullptr)
        return Fail(FALSE, ERROR_INVALID_PARAMETER);
    *overlapped = nullptr;
    // The port stays alive for the wait even if another thread closes its handle.
    auto p = Find<sim::CompletionPortObj>(port);
    if (!p) return Fail(FALSE, ERROR_INVALID_HANDLE);
    sim::ThreadRec& self = sim::CurrentThread();
    auto& kernel = Kernel::Get();
    sim::WaitItem item{p.get()};
    sim::WaitResult r;
    std::optional<sim::CompletionPacket> packet;
    {
        std::unique_lock<std::mutex> lk(kernel.Mutex());
        r = kernel.Wait(lk, self, std::span<const sim::WaitItem>(&item, 1), false, 0,
                        kernel.DeadlineAfterLocked(milliseconds));
        packet = p->TakeHandedLocked(self);
    }
    if (packet) {
        *bytes = packet->bytes;
        *key = packet->key;
        *overlapped = packet->overlapped;
        return TRUE;
    }
    switch (r.outcome) {
        case sim::WaitOutcome::Timeout:
        case sim::WaitOutcome::Idle:
            return Fail(FALSE, WAIT_TIMEOUT);
        case sim::WaitOutcome::Terminated:
            sim::ThrowIfTerminating();
            return Fail(FALSE, ERROR_PROCESS_ABORTED);
        default:  // the port was closed
            return Fail(FALSE, ERROR_ABANDONED_WAIT_0);
    }
}
