#include "platform/sim/processes.h"

#include "platform/sim/process_context.h"

#include <thread>

#include "platform/kernel.h"
#include "platform/sim/machine.h"
#include "platform/sim/waitcore.h"

namespace sim {

namespace {

// Processes that were started or added after the machine came up have ids from here on.
constexpr DWORD kFirstStartedPid = 0x600;

std::wstring FileNameOf(const std::wstring& path) {
    std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool HasExtension(const std::wstring& path) {
    std::wstring name = FileNameOf(path);
    return name.find(L'.') != std::wstring::npos;
}

}  // namespace

DWORD RunMain(const ProcessRun& run, int (*main)(int argc, wchar_t** argv)) {
    std::vector<std::wstring> items = run.argv;
    std::vector<wchar_t*> argv;
    for (auto& item : items) argv.push_back(item.data());
    argv.push_back(nullptr);
    return static_cast<DWORD>(main(static_cast<int>(items.size()), argv.data()));
}

bool ProcessObj::Signaled(DWORD) const {
    return !table->Running(pid);
}

bool ProcessHandleUser(HANDLE process, std::wstring* user) {
    auto& table = machine().processes();
    if (process == GetCurrentProcess()) {
        auto context = CurrentProcess();
        *user = context ? context->user : table.OwnUser();
        return true;
    }
    auto p = HandleTable::Get().FindAs<ProcessObj>(process);
    if (!p || p->thread) return false;
    auto record = p->table->Find(p->pid);
    if (!record) return false;
    *user = record->user;
    return true;
}

ProcessTable::ProcessTable(const Config& config)
    : config_(config), nextPid_(kFirstStartedPid), ownUser_(config.userName) {
    ProcessRecord idle;
    idle.pid = 0;
    idle.imageName = L"[System Process]";
    records_.push_back(idle);
    ProcessRecord system;
    system.pid = 4;
    system.imageName = L"System";
    system.user = L"SYSTEM";
    records_.push_back(system);
    ProcessRecord self;
    self.pid = GetCurrentProcessId();
    self.imagePath = config.programFolder + config.programName;
    self.imageName = config.programName;
    self.commandLine = L"\"" + self.imagePath + L"\"";
    self.argv = {self.imagePath};
    self.user = config.userName;
    records_.push_back(self);
}

void ProcessTable::RegisterProgram(const std::wstring& imageName, ProgramFn program) {
    std::lock_guard<std::mutex> lk(mu_);
    programs_[Lower(imageName)] = std::move(program);
}

DWORD ProcessTable::AddProcess(const std::wstring& imagePath, const std::wstring& user,
                               const std::wstring& desktop) {
    ProcessRecord r;
    r.imagePath = imagePath;
    r.imageName = FileNameOf(imagePath);
    r.commandLine = imagePath;
    r.argv = SplitCommandLine(imagePath);
    r.user = user;
    r.desktop = desktop;
    std::lock_guard<std::mutex> lk(mu_);
    r.pid = nextPid_;
    nextPid_ += 4;
    records_.push_back(r);
    return r.pid;
}

void ProcessTable::EndLocked(ProcessRecord& r, DWORD exitCode) {
    r.running = false;
    r.exitCode = exitCode;
}

void ProcessTable::EndProcess(DWORD pid, DWORD exitCode) {
    std::function<void(DWORD)> onEnd;
    {
        std::lock_guard<std::mutex> lk(mu_);
        for (auto& r : records_) {
            if (r.pid == pid && r.running) {
                EndLocked(r, exitCode);
                auto it = onEnd_.find(pid);
                if (it != onEnd_.end()) {
                    onEnd = std::move(it->second);
                    onEnd_.erase(it);
                }
            }
        }
    }
    WaitCore::Get().Notify();
    if (onEnd) onEnd(exitCode);
}

void ProcessTable::SetOwnUser(const std::wstring& user) {
    std::lock_guard<std::mutex> lk(mu_);
    ownUser_ = user;
    for (auto& r : records_)
        if (r.pid == GetCurrentProcessId()) r.user = user;
}

std::wstring ProcessTable::OwnUser() {
    std::lock_guard<std::mutex> lk(mu_);
    return ownUser_;
}

std::vector<ProcessRecord> ProcessTable::All() {
    std::lock_guard<std::mutex> lk(mu_);
    return records_;
}

std::vector<ProcessRecord> ProcessTable::Running() {
    std::lock_guard<std::mutex> lk(mu_);
    std::vector<ProcessRecord> out;
    for (const auto& r : records_)
        if (r.running) out.push_back(r);
    return out;
}

std::vector<ProcessRecord> ProcessTable::WithImage(const std::wstring& imageName) {
    std::lock_guard<std::mutex> lk(mu_);
    std::vector<ProcessRecord> out;
    for (const auto& r : records_)
        if (Lower(r.imageName) == Lower(imageName)) out.push_back(r);
    return out;
}

std::optional<ProcessRecord> ProcessTable::Find(DWORD pid) {
    std::lock_guard<std::mutex> lk(mu_);
    for (const auto& r : records_)
        if (r.pid == pid) return r;
    return std::nullopt;
}

bool ProcessTable::Running(DWORD pid) {
    std::lock_guard<std::mutex> lk(mu_);
    for (const auto& r : records_)
        if (r.pid == pid) return r.running;
    return false;
}

bool ProcessTable::WaitForStarts(const std::wstring& imageName, std::size_t count,
                                 DWORD timeoutMs) {
    auto& core = WaitCore::Get();
    std::unique_lock<std::mutex> lk(core.Mutex());
    std::function<bool()> ready = [&] {
        std::lock_guard<std::mutex> tl(mu_);
        std::size_t n = 0;
        for (const auto& r : records_)
            if (r.pid >= kFirstStartedPid && Lower(r.imageName) == Lower(imageName)) ++n;
        return n >= count;
    };
    std::uint64_t deadline = timeoutMs == INFINITE ? kForever : core.NowLocked() + timeoutMs;
    return core.Wait(lk, ready, deadline);
}

bool ProcessTable::WaitForEnd(DWORD pid, DWORD timeoutMs) {
    auto& core = WaitCore::Get();
    std::unique_lock<std::mutex> lk(core.Mutex());
    std::function<bool()> ended = [&] {
        std::lock_guard<std::mutex> tl(mu_);
        for (const auto& r : records_)
            if (r.pid == pid) return !r.running;
        return true;
    };
    std::uint64_t deadline = timeoutMs == INFINITE ? kForever : core.NowLocked() + timeoutMs;
    return core.Wait(lk, ended, deadline);
}

std::wstring ProcessTable::FindImage(const std::wstring& nameIn) {
    std::wstring name = nameIn;
    if (!HasExtension(name)) name += L".exe";
    auto& m = machine();
    if (name.find_first_of(L"\\/") != std::wstring::npos) return m.FileExists(name) ? name : L"";
    for (const std::wstring& folder :
         {config_.programFolder, std::wstring(L"C:\\WINDOWS\\system32\\"),
          std::wstring(L"C:\\WINDOWS\\")}) {
        if (m.FileExists(folder + name)) return folder + name;
    }
    return L"";
}

std::wstring ProcessTable::ResolveImage(const wchar_t* applicationName,
                                        const std::wstring& commandLine) {
    if (applicationName != nullptr) return FindImage(applicationName);
    std::size_t i = commandLine.find_first_not_of(L" \t");
    if (i == std::wstring::npos) return L"";
    if (commandLine[i] == L'"') {
        std::size_t end = commandLine.find(L'"', i + 1);
        std::wstring quoted =
            commandLine.substr(i + 1, end == std::wstring::npos ? std::wstring::npos : end - i - 1);
        return FindImage(quoted);
    }
    // Unquoted: each prefix that ends at a blank is tried in turn, the shortest first.
    std::size_t pos = i;
    for (;;) {
        std::size_t blank = commandLine.find_first_of(L" \t", pos);
        std::wstring candidate =
            commandLine.substr(i, blank == std::wstring::npos ? std::wstring::npos : blank - i);
        std::wstring found = FindImage(candidate);
        if (!found.empty()) return found;
        if (blank == std::wstring::npos) return L"";
        pos = blank + 1;
    }
}

DWORD ProcessTable::Start(const Launch& launch) {
    ProcessRecord r;
    r.imagePath = launch.imagePath;
    r.imageName = FileNameOf(launch.imagePath);
    r.commandLine = launch.commandLine;
    r.argv = SplitCommandLine(launch.commandLine);
    r.user = launch.user;
    r.desktop = launch.desktop;
    r.useShowWindow = launch.useShowWindow;
    r.showWindow = launch.showWindow;
    r.creationFlags = launch.creationFlags;
    r.parentPid = launch.parentPid;
    ProgramFn program;
    {
        std::lock_guard<std::mutex> lk(mu_);
        r.pid = nextPid_;
        nextPid_ += 4;
        records_.push_back(r);
        if (launch.onEnd) onEnd_[r.pid] = launch.onEnd;
        auto it = programs_.find(Lower(r.imageName));
        if (it != programs_.end()) program = it->second;
    }
    WaitCore::Get().Notify();
    if (!program) return r.pid;
    ProcessRun run{r.pid, r.imagePath, r.commandLine, r.argv};
    auto& core = WaitCore::Get();
    core.AddPendingThread();
    std::function<void()> onThreadStart = launch.onThreadStart;
    auto context = std::make_shared<ProcessContext>(
        ProcessContext{r.pid, r.imagePath, r.commandLine, r.user});
    std::thread([this, run, program, onThreadStart, &core, context] {
        core.AdoptPendingThread();
        SetCurrentProcess(context);
        if (onThreadStart) onThreadStart();
        DWORD rc = program(run);
        EndProcess(run.pid, rc);
        core.ThreadFinished();
    }).detach();
    return r.pid;
}

std::vector<std::wstring> ProcessTable::SplitCommandLine(const std::wstring& line) {
    std::vector<std::wstring> out;
    std::size_t i = 0, n = line.size();
    for (;;) {
        while (i < n && (line[i] == L' ' || line[i] == L'\t')) ++i;
        if (i >= n) break;
        std::wstring item;
        bool quoted = false;
        while (i < n) {
            wchar_t c = line[i];
            if (!quoted && (c == L' ' || c == L'\t')) break;
            if (c == L'\\') {
                std::size_t slashes = 0;
                while (i < n && line[i] == L'\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && line[i] == L'"') {
                    item.append(slashes / 2, L'\\');
                    if (slashes % 2) {
                        item += L'"';
                        ++i;
                    }
                } else {
                    item.append(slashes, L'\\');
                }
                continue;
            }
            if (c == L'"') {
                if (quoted && i + 1 < n && line[i + 1] == L'"') {
                    item += L'"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            item += c;
            ++i;
        }
        out.push_back(item);
    }
    return out;
}

}  // namespace sim
