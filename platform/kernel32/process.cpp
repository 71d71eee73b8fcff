#include <winbase.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/processes.h"
#include "machine/remote.h"
#include "machine/threads.h"
#include "machine/trace.h"

using sim::Fail;

namespace {

sim::ProcessTable& Table() {
    return sim::machine().processes();
}

struct SnapshotObj : sim::KObject {
    std::vector<sim::ProcessRecord> processes;
    std::size_t next = 0;
};

// Starts one of the built programs as a host process of the machine server; false (and nothing
// started) when the image is none of them.
bool StartOnServer(sim::ServerLink& link, const sim::ProcessTable::Launch& l,
                   LPPROCESS_INFORMATION info) {
    sim::wire::Writer w;
    w.Text(l.imagePath).Text(l.commandLine).Text(l.user).Text(l.desktop);
    w.U16(l.showWindow).U8(l.useShowWindow ? 1 : 0).Text(L"");
    auto answer = sim::CallServer(link, sim::wire::Kind::Spawn, w.Bytes());
    std::uint32_t pid = 0, hostPid = 0, handle = 0;
    sim::wire::Reader r(answer.body);
    if (answer.status != 0 || !r.U32(pid) || !r.U32(hostPid) || !r.U32(handle)) return false;
    // The process handle and its first thread's handle stand for the same server object.
    auto obj = std::make_shared<sim::RemoteObj>(sim::wire::ObjectKind::Process, handle, pid);
    auto& handles = sim::HandleTable::Get();
    info->hProcess = handles.Add(obj);
    info->hThread = handles.Add(obj);
    info->dwProcessId = pid;
    info->dwThreadId = pid + 1;
    return true;
}

BOOL Start(const std::wstring& user, LPCWSTR applicationName, LPWSTR commandLine,
           DWORD creationFlags, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION info) {
    if (startup == nullptr || info == nullptr || startup->cb != sizeof(STARTUPINFOW) ||
        (applicationName == nullptr && commandLine == nullptr))
        return Fail(FALSE, ERROR_INVALID_PARAMETER);
    std::wstring line = commandLine ? commandLine : L"";
    std::wstring image = Table().ResolveImage(applicationName, line);
    if (image.empty()) return Fail(FALSE, ERROR_FILE_NOT_FOUND);
    sim::ProcessTable::Launch l;
    l.imagePath = image;
    l.commandLine = commandLine ? line : image;
    l.user = user;
    l.desktop = startup->lpDesktop ? startup->lpDesktop : L"";
    l.useShowWindow = (startup->dwFlags & STARTF_USESHOWWINDOW) != 0;
    l.showWindow = startup->wShowWindow;
    l.creationFlags = creationFlags;
    l.parentPid = GetCurrentProcessId();
    if (sim::ServerLink* link = sim::Link(); link != nullptr && StartOnServer(*link, l, info)) {
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    auto process = Table().Start(l);
    DWORD pid = process->info.pid;
    auto& handles = sim::HandleTable::Get();
    info->hProcess = handles.Add(std::make_shared<sim::ProcessObj>(process, PROCESS_ALL_ACCESS));
    info->hThread = handles.Add(std::make_shared<sim::ProcessObj>(process, 0, true));
    info->dwProcessId = pid;
    info->dwThreadId = pid + 1;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

bool FillEntry(SnapshotObj& s, LPPROCESSENTRY32W entry) {
    if (s.next >= s.processes.size()) return false;
    const sim::ProcessRecord& r = s.processes[s.next++];
    DWORD size = entry->dwSize;
    std::memset(entry, 0, sizeof *entry);
    entry->dwSize = size;
    entry->th32ProcessID = r.pid;
    entry->cntThreads = 1;
    entry->th32ParentProcessID = r.parentPid;
    entry->pcPriClassBase = 8;
    std::wcsncpy(entry->szExeFile, r.imageName.c_str(), MAX_PATH - 1);
    return true;
}

}  // namespace

BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES arg3,
                    LPSECURITY_ATTRIBUTES arg4, BOOL arg5, DWORD creationFlags, LPVOID arg7,
                    LPCWSTR arg8, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION info) {
    API_TRACE(Processes, CreateProcessW, applicationName, commandLine, arg3, arg4, arg5,
              creationFlags, arg7, arg8, startup, info);
    return Start(Table().OwnUser(), applicationName, commandLine, creationFlags, startup, info);
}

BOOL CreateProcessAsUserW(HANDLE token, LPCWSTR applicationName, LPWSTR commandLine,
                          LPSECURITY_ATTRIBUTES arg4, LPSECURITY_ATTRIBUTES arg5, BOOL arg6,
                          DWORD creationFlags, LPVOID arg8, LPCWSTR arg9, LPSTARTUPINFOW startup,
                          LPPROCESS_INFORMATION info) {
    API_TRACE(Processes, CreateProcessAsUserW, token, applicationName, commandLine, arg4, arg5,
              arg6, creationFlags, arg8, arg9, startup, info);
    auto t = sim::HandleTable::Get().FindAs<sim::TokenObj>(token);
    if (!t) return Fail(FALSE, ERROR_INVALID_HANDLE);
    // A primary token needs these rights to start a process.
    if ((t->access & (TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_QUERY)) !=
        (TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_QUERY))
        return Fail(FALSE, ERROR_ACCESS_DENIED);
    return Start(t->user, applicationName, commandLine, creationFlags, startup, info);
}

HANDLE OpenProcess(DWORD access, BOOL arg2, DWORD processId) {
    API_TRACE(Processes, OpenProcess, access, arg2, processId);
    auto process = processId == 0 ? nullptr : Table().FindProcess(processId);
    if ((!process || !Table().Running(processId)) && processId != 0) {
        // On a machine server: a process of the server's.
        if (sim::ServerLink* link = sim::Link()) {
            sim::wire::Writer w;
            w.U32(processId);
            auto answer = sim::CallServer(*link, sim::wire::Kind::OpenProcess, w.Bytes());
            std::uint32_t handle = 0;
            std::wstring user;
            sim::wire::Reader r(answer.body);
            if (answer.status == 0 && r.U32(handle) && r.Text(user)) {
                SetLastError(ERROR_SUCCESS);
                return sim::HandleTable::Get().Add(std::make_shared<sim::RemoteObj>(
                    sim::wire::ObjectKind::Process, handle, processId, user));
            }
        }
    }
    if (!process || !Table().Running(processId))
        return Fail<HANDLE>(nullptr, ERROR_INVALID_PARAMETER);
    SetLastError(ERROR_SUCCESS);
    return sim::HandleTable::Get().Add(std::make_shared<sim::ProcessObj>(process, access));
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
    API_TRACE(Processes, GetExitCodeProcess, process, exitCode);
    if (auto remote = sim::HandleTable::Get().FindAs<sim::RemoteObj>(process);
        remote && remote->kind == sim::wire::ObjectKind::Process) {
        sim::ServerLink* link = sim::Link();
        if (link == nullptr || exitCode == nullptr) return Fail(FALSE, ERROR_INVALID_HANDLE);
        sim::wire::Writer w;
        w.U32(remote->handle);
        auto answer = sim::CallServer(*link, sim::wire::Kind::ExitCode, w.Bytes());
        std::uint32_t code = 0;
        if (answer.status != 0 || !sim::wire::Reader(answer.body).U32(code))
            return Fail(FALSE, answer.status != 0 ? answer.status : ERROR_INVALID_HANDLE);
        *exitCode = code;
        return TRUE;
    }
    auto p = sim::HandleTable::Get().FindAs<sim::ProcessObj>(process);
    if (!p || p->thread || exitCode == nullptr) return Fail(FALSE, ERROR_INVALID_HANDLE);
    std::lock_guard<std::mutex> lk(sim::Kernel::Get().Mutex());
    *exitCode = p->process->ended ? p->process->info.exitCode : STILL_ACTIVE;
    return TRUE;
}

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD arg2) {
    API_TRACE(Processes, CreateToolhelp32Snapshot, flags, arg2);
    if (!(flags & TH32CS_SNAPPROCESS))
        return Fail<HANDLE>(INVALID_HANDLE_VALUE, ERROR_NOT_SUPPORTED);
    auto s = std::make_shared<SnapshotObj>();
    s->processes = Table().Running();
    // On a machine server the machine's other processes are the server's.
    if (sim::ServerLink* link = sim::Link()) {
        auto answer = sim::CallServer(*link, sim::wire::Kind::Processes, {});
        sim::wire::Reader r(answer.body);
        std::uint32_t count = 0;
        if (answer.status == 0) r.U32(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            sim::ProcessRecord p;
            std::uint32_t hostPid = 0, exitCode = 0;
            std::uint8_t running = 0;
            if (!r.U32(p.pid) || !r.U32(hostPid) || !r.Text(p.imagePath) ||
                !r.Text(p.commandLine) || !r.Text(p.user) || !r.U8(running) || !r.U32(exitCode))
                break;
            bool known = false;
            for (const auto& own : s->processes) known = known || own.pid == p.pid;
            if (!running || known) continue;
            p.imageName = p.imagePath.substr(p.imagePath.find_last_of(L"\\/") + 1);
            s->processes.push_back(p);
        }
    }
    SetLastError(ERROR_SUCCESS);
    return sim::HandleTable::Get().Add(s);
}

BOOL Process32FirstW(HANDLE snapshot, LPPROCESSENTRY32W entry) {
    API_TRACE(Processes, Process32FirstW, snapshot, entry);
    auto s = sim::HandleTable::Get().FindAs<SnapshotObj>(snapshot);
    if (!s) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (entry == nullptr || entry->dwSize != sizeof(PROCESSENTRY32W))
        return Fail(FALSE, ERROR_BAD_LENGTH);
    s->next = 0;
    if (!FillEntry(*s, entry)) return Fail(FALSE, ERROR_NO_MORE_FILES);
    return TRUE;
}

BOOL Process32NextW(HANDLE snapshot, LPPROCESSENTRY32W entry) {
    API_TRACE(Processes, Process32NextW, snapshot, entry);
    auto s = sim::HandleTable::Get().FindAs<SnapshotObj>(snapshot);
    if (!s) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (entry == nullptr || entry->dwSize != sizeof(PROCESSENTRY32W))
        return Fail(FALSE, ERROR_BAD_LENGTH);
    if (!FillEntry(*s, entry)) return Fail(FALSE, ERROR_NO_MORE_FILES);
    return TRUE;
}

void ExitProcess(UINT exitCode) {
    // A program on a machine server is a host process of its own: it ends.
    if (sim::Link() != nullptr) sim::ExitHostProcess(exitCode);
    auto& process = sim::CurrentProcess();
    sim::machine().processes().Terminate(process, exitCode);
    throw sim::ProcessExiting{};
}

BOOL TerminateProcess(HANDLE process, UINT exitCode) {
    API_TRACE(Processes, TerminateProcess, process, exitCode);
    std::shared_ptr<sim::ProcessRec> target;
    if (process == GetCurrentProcess()) {
        target = sim::CurrentProcessShared();
    } else if (auto remote = sim::HandleTable::Get().FindAs<sim::RemoteObj>(process);
               remote && remote->kind == sim::wire::ObjectKind::Process) {
        sim::ServerLink* link = sim::Link();
        if (link == nullptr) return Fail(FALSE, ERROR_INVALID_HANDLE);
        sim::wire::Writer w;
        w.U32(remote->pid).U32(exitCode);
        auto answer = sim::CallServer(*link, sim::wire::Kind::Terminate, w.Bytes());
        if (answer.status != 0) return Fail(FALSE, ERROR_ACCESS_DENIED);
        return TRUE;
    } else {
        auto p = sim::HandleTable::Get().FindAs<sim::ProcessObj>(process);
        if (!p || p->thread) return Fail(FALSE, ERROR_INVALID_HANDLE);
        if (!(p->access & PROCESS_TERMINATE)) return Fail(FALSE, ERROR_ACCESS_DENIED);
        target = p->process;
    }
    if (target.get() == &sim::CurrentProcess() && sim::Link() != nullptr)
        sim::ExitHostProcess(exitCode);
    sim::machine().processes().Terminate(*target, exitCode);
    // A process that ends itself goes with it.
    if (target.get() == &sim::CurrentProcess()) throw sim::ProcessExiting{};
    return TRUE;
}
