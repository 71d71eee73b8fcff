#include "machine/processes.h"

#include <winbase.h>
#include "machine/machine.h"
#include "machine/remote.h"

namespace sim {

namespace {

// Processes that were started or added after the machine came up have ids from here on.
constexpr DWORD kFirstStartedPid = 0x600;
// The machine's own program.
constexpr DWORD kOwnProgramPid = 0x4D0;

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

std::wstring ProcessRec::Folder() const {
    std::size_t slash = info.imagePath.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : info.imagePath.substr(0, slash + 1);
}

std::wstring ProcessRec::Locale() const {
    std::lock_guard<std::mutex> lk(mu_);
    return locale_;
}
void ProcessRec::SetLocale(const std::wstring& name) {
    std::lock_guard<std::mutex> lk(mu_);
    locale_ = name;
    localeGeneration_.fetch_add(1, std::memory_order_release);
}
locale_t ProcessRec::HostLocale() const {
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    static locale_t unicode =
        newlocale(LC_CTYPE_MASK, "C.UTF-8", newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0)));
    std::lock_guard<std::mutex> lk(mu_);
    return locale_ == L"C" || unicode == static_cast<locale_t>(0) ? c : unicode;
}
void ProcessRec::EndLocked(DWORD exitCode) {
    if (ended) return;
    ended = true;
    info.running = false;
    info.exitCode = exitCode;
    Changed();
}

void ProcessRec::AfterEnd() {
    handles.CloseAll();
    std::function<void(DWORD)> fn;
    DWORD code;
    {
        std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
        fn = std::move(onEnd);
        code = info.exitCode;
    }
    if (fn) fn(code);
}

ProcessRec& CurrentProcess() {
    return *CurrentProcessShared();
}

std::shared_ptr<ProcessRec> CurrentProcessShared() {
    ThreadRec& t = CurrentThread();
    if (t.process) return t.process;
    return machine().processes().Self();  // the scheduler
}

bool ProcessHandleUser(HANDLE process, std::wstring* user) {
    if (process == GetCurrentProcess()) {
        *user = CurrentProcess().user.Get();
        return true;
    }
    if (auto remote = HandleTable::Get().FindAs<RemoteObj>(process);
        remote && remote->kind == wire::ObjectKind::Process) {
        *user = remote->user;
        return true;
    }
    auto p = HandleTable::Get().FindAs<ProcessObj>(process);
    if (!p || p->thread) return false;
    *user = p->process->user.Get();
    return true;
}

ProcessTable::ProcessTable(const Config& config) : config_(config) {
    auto w = state_.Write();
    w->nextPid = kFirstStartedPid;
    ProcessRecord idle;
    idle.pid = 0;
    idle.imageName = L"[System Process]";
    ProcessRecord system;
    system.pid = 4;
    system.imageName = L"System";
    system.user = L"SYSTEM";
    ProcessRecord self;
    self.pid = kOwnProgramPid;
    self.imagePath = config.programFolder + config.programName;
    self.imageName = config.programName;
    self.commandLine = L"\"" + self.imagePath + L"\"";
    self.argv = {self.imagePath};
    self.user = config.userName;
    for (const ProcessRecord& r : {idle, system, self}) {
        auto p = std::make_shared<ProcessRec>();
        p->info = r;
        p->user.Set(r.user);
        p->currentFolder.Set(p->Folder());
        w->records.push_back(p);
        if (r.pid == kOwnProgramPid) self_ = p;
    }
}

std::shared_ptr<ProcessRec> ProcessTable::Self() {
    return self_;
}

void ProcessTable::RegisterProgram(const std::wstring& imageName, ProgramFn program) {
    state_.Write()->programs[Lower(imageName)] = std::move(program);
}

std::shared_ptr<ProcessRec> ProcessTable::Make(const ProcessRecord& info,
                                               std::function<void(DWORD)> onEnd) {
    auto p = std::make_shared<ProcessRec>();
    p->info = info;
    p->info.imageName = FileNameOf(info.imagePath);
    p->info.argv = SplitCommandLine(info.commandLine);
    p->info.running = true;
    p->info.exitCode = STILL_ACTIVE;
    p->user.Set(info.user);
    p->currentFolder.Set(p->Folder());
    p->onEnd = std::move(onEnd);
    auto w = state_.Write();
    p->info.pid = w->nextPid;
    w->nextPid += 4;
    w->records.push_back(p);
    return p;
}

DWORD ProcessTable::AddProcess(const std::wstring& imagePath, const std::wstring& user,
                               const std::wstring& desktop) {
    ProcessRecord r;
    r.imagePath = imagePath;
    r.commandLine = imagePath;
    r.user = user;
    r.desktop = desktop;
    return Make(r, nullptr)->info.pid;
}

void ProcessTable::Terminate(ProcessRec& p, DWORD exitCode) {
    bool ended;
    {
        auto& kernel = Kernel::Get();
        std::lock_guard<std::mutex> lk(kernel.Mutex());
        if (p.ended || p.terminating) return;
        p.terminating = true;
        p.info.exitCode = exitCode;
        for (ThreadRec* t : p.threads) kernel.InterruptLocked(*t);
        if (p.liveThreads == 0) p.EndLocked(exitCode);
        ended = p.ended;
    }
    if (ended) p.AfterEnd();
}

void ProcessTable::EndProcess(DWORD pid, DWORD exitCode) {
    if (auto p = FindProcess(pid)) Terminate(*p, exitCode);
}

void ProcessTable::SetOwnIdentity(DWORD pid, const std::wstring& imagePath,
                                  const std::wstring& commandLine, const std::wstring& user,
                                  const std::wstring& desktop, bool useShowWindow,
                                  WORD showWindow) {
    auto w = state_.Write();
    ProcessRecord& info = self_->info;
    info.pid = pid;
    info.imagePath = imagePath;
    info.imageName = imagePath.substr(imagePath.find_last_of(L'\\') + 1);
    info.commandLine = commandLine;
    info.argv = SplitCommandLine(commandLine);
    info.desktop = desktop;
    info.useShowWindow = useShowWindow;
    info.showWindow = showWindow;
    if (!user.empty()) {
        info.user = user;
        self_->user.Set(user);
    }
    self_->currentFolder.Set(self_->Folder());
}

void ProcessTable::SetOwnUser(const std::wstring& user) {
    self_->user.Set(user);
    std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
    self_->info.user = user;
}

std::wstring ProcessTable::OwnUser() {
    return self_->user.Get();
}

ProcessRecord ProcessTable::Snapshot(const ProcessRec& p) {
    std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
    return p.info;
}

std::vector<ProcessRecord> ProcessTable::All() {
    std::vector<std::shared_ptr<ProcessRec>> records = state_.Read()->records;
    std::vector<ProcessRecord> out;
    for (const auto& p : records) out.push_back(Snapshot(*p));
    return out;
}

std::vector<ProcessRecord> ProcessTable::Running() {
    std::vector<ProcessRecord> out;
    for (const auto& r : All())
        if (r.running) out.push_back(r);
    return out;
}

std::vector<ProcessRecord> ProcessTable::WithImage(const std::wstring& imageName) {
    std::vector<ProcessRecord> out;
    for (const auto& r : All())
        if (Lower(r.imageName) == Lower(imageName)) out.push_back(r);
    return out;
}

std::shared_ptr<ProcessRec> ProcessTable::FindProcess(DWORD pid) {
    auto r = state_.Read();
    for (const auto& p : r->records)
        if (p->info.pid == pid) return p;
    return nullptr;
}

std::optional<ProcessRecord> ProcessTable::Find(DWORD pid) {
    auto p = FindProcess(pid);
    if (!p) return std::nullopt;
    return Snapshot(*p);
}

bool ProcessTable::Running(DWORD pid) {
    auto p = FindProcess(pid);
    if (!p) return false;
    std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
    return !p->ended;
}

bool ProcessTable::WaitForStarts(const std::wstring& imageName, std::size_t count,
                                 DWORD timeoutMs) {
    std::wstring want = Lower(imageName);
    std::uint64_t deadline = Kernel::Get().Now();
    deadline = timeoutMs == INFINITE ? kForever : deadline + timeoutMs;
    return state_.WaitUntil(
        [&](const State& s) {
            std::size_t n = 0;
            for (const auto& p : s.records)
                if (p->info.pid >= kFirstStartedPid && Lower(p->info.imageName) == want) ++n;
            return n >= count;
        },
        deadline);
}

bool ProcessTable::WaitForEnd(DWORD pid, DWORD timeoutMs) {
    auto p = FindProcess(pid);
    if (!p) return true;
    auto& kernel = Kernel::Get();
    std::unique_lock<std::mutex> lk(kernel.Mutex());
    WaitItem item{p.get()};
    WaitResult r = kernel.Wait(lk, CurrentThread(), std::span<const WaitItem>(&item, 1), false, 0,
                               kernel.DeadlineAfterLocked(timeoutMs));
    return r.outcome == WaitOutcome::Object;
}

std::wstring ProcessTable::FindImage(const std::wstring& nameIn) {
    std::wstring name = nameIn;
    if (!HasExtension(name)) name += L".exe";
    auto& m = machine();
    if (name.find_first_of(L"\\/") != std::wstring::npos) return m.FileExists(name) ? name : L"";
    for (const std::wstring& folder :
         {CurrentProcess().Folder(), std::wstring(L"C:\\WINDOWS\\system32\\"),
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

std::shared_ptr<ProcessRec> ProcessTable::Start(const Launch& launch) {
    ProcessRecord r;
    r.imagePath = launch.imagePath;
    r.commandLine = launch.commandLine;
    r.user = launch.user;
    r.desktop = launch.desktop;
    r.useShowWindow = launch.useShowWindow;
    r.showWindow = launch.showWindow;
    r.creationFlags = launch.creationFlags;
    r.parentPid = launch.parentPid;
    ProgramFn program;
    {
        auto s = state_.Read();
        auto it = s->programs.find(Lower(FileNameOf(r.imagePath)));
        if (it != s->programs.end()) program = it->second;
    }
    auto p = Make(r, launch.onEnd);
    p->serviceName.Set(launch.serviceName);
    if (!program) return p;
    {
        std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
        p->runsThreads = true;
    }
    ProcessRun run{p->info.pid, p->info.imagePath, p->info.commandLine, p->info.argv};
    std::weak_ptr<ProcessRec> weak = p;
    StartThreadIn(p, [this, run, program, weak]() -> DWORD {
        DWORD rc = program(run);
        // Returning from the program's main ends the process, as ExitProcess does.
        if (auto self = weak.lock()) Terminate(*self, rc);
        return rc;
    });
    return p;
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
