#include "machine/server/core.h"

#include "machine/server/devices.h"
#include "machine/server/ras.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include <winbase.h>
#include "machine/machine.h"
#include "machine/processes.h"
#include "machine/sync.h"
#include "machine/server/screen.h"
#include "machine/server/windows.h"

namespace sim::server {

namespace {

std::int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::wstring FileName(const std::wstring& path) {
    auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

struct Core::Client {
    ClientId id = 0;
    wire::FrameBuffer in;
    std::string out;
    bool hello = false;
    wire::Role role = wire::Role::Control;
    std::uint32_t pid = 0;  // its machine process (0: none)
    // Clock accounting (see the header).
    std::uint64_t sent = 0;      // messages sent to it
    std::uint64_t lastWake = 0;  // the last of them that may wake it
    bool idle = false;
    std::uint64_t deadline = wire::kNever;
    int pendingWaits = 0;
    bool holdsClock = true;  // a control client's (see HoldClock)
    std::map<std::uint32_t, std::shared_ptr<KObject>> handles;
    std::uint32_t nextHandle = 4;
    std::map<std::uint32_t, std::shared_ptr<ThreadRec>> threads;
};

// A process's waitable side: signalled once it has ended (kernel lock held for `ended`).
struct ProcessWaitable : KObject, Waitable {
    std::uint32_t pid = 0;
    bool ended = false;
    Waitable* AsWaitable() override { return this; }
    bool SignaledFor(const ThreadRec&, std::uint64_t) const override { return ended; }
    void EndLocked() {
        ended = true;
        Changed();
    }
};

struct Core::Process {
    std::shared_ptr<ProcessWaitable> waitable = std::make_shared<ProcessWaitable>();
    std::uint32_t pid = 0;
    std::wstring image, commandLine, user, desktop;
    std::uint16_t show = 0;
    bool useShow = false;
    int hostPid = -1;
    bool spawned = false;  // a host process of the server's (it ends when that ends)
    ClientId client = 0;   // 0: not (or no longer) connected
    bool hello = false;
    bool running = true;
    bool exitReported = false;
    std::uint32_t exitCode = STILL_ACTIVE;
};

struct Core::PendingWait {
    ClientId client = 0;
    std::uint32_t id = 0;
    std::shared_ptr<ThreadRec> thread;
    std::vector<std::shared_ptr<KObject>> objects;
    std::vector<WaitItem> items;
    bool all = false;
    std::uint64_t deadline = wire::kNever;
    std::uint32_t pid = 0;  // a wait for a process's end
};

Core::Core(std::string folder, Spawner& spawner, ClockMode mode, double speed)
    : folder_(std::move(folder)),
      spawner_(spawner),
      mode_(mode),
      speed_(speed > 0 ? speed : 1.0),
      realStartNs_(SteadyNs()),
      devices_(std::make_unique<DeviceHost>([this] { return NowLocked(); })),
      ras_(std::make_unique<RasHost>([this] { return NowLocked(); })) {
    ServiceHooks hooks;
    hooks.answer = [this](ClientId id, std::uint32_t request, std::uint32_t status,
                          const std::string& body) { ReplyTo(id, request, status, body); };
    hooks.push = [this](ClientId id, const std::string& payload) {
        PushTo(id, wire::Kind::ScControlPush, 0, payload);
    };
    hooks.spawn = [this](const std::wstring& image, const std::wstring& commandLine,
                         const std::wstring& user, const std::wstring& desktop, DWORD* error) {
        Process* p = SpawnProgram(image, commandLine, user, desktop, 0, false, L"", error);
        return p ? p->pid : 0u;
    };
    hooks.pidOf = [this](ClientId id) {
        auto it = clients_.find(id);
        return it == clients_.end() ? 0u : it->second->pid;
    };
    hooks.now = [this] { return NowLocked(); };
    services_ = std::make_unique<ServiceDb>(std::move(hooks));
    WindowDirectory::Outlet out;
    out.reply = [this](ClientId id, std::uint32_t request, std::uint32_t status,
                       const std::string& body) { ReplyTo(id, request, status, body); };
    out.push = [this](ClientId id, wire::Kind kind, std::uint32_t request,
                      const std::string& payload) { PushTo(id, kind, request, payload); };
    out.threadId = [this](ClientId id, std::uint32_t thread) -> std::uint32_t {
        auto it = clients_.find(id);
        return it == clients_.end() ? 0 : Thread(*it->second, thread)->id;
    };
    out.object = [this](ClientId id, std::uint32_t handle) -> std::shared_ptr<KObject> {
        auto it = clients_.find(id);
        return it == clients_.end() ? nullptr : FindHandle(*it->second, handle);
    };
    ScreenDesk::Outlet screen{out.reply, out.push, [this] { return windows_->VisibleWindows(); },
                              [this] { return NowLocked(); }};
    windows_ = std::make_unique<WindowDirectory>(std::move(out));
    const Config defaults;
    screen_ = std::make_unique<ScreenDesk>(std::move(screen), defaults.screenWidth,
                                           defaults.screenHeight, defaults.taskbarHeight);
}

Core::~Core() = default;

void Core::ReplyTo(ClientId client, std::uint32_t request, std::uint32_t status,
                   const std::string& body) {
    wire::Writer w;
    w.U32(status);
    PushTo(client, wire::Kind::Reply, request, w.Bytes() + body);
}

void Core::PushTo(ClientId client, wire::Kind kind, std::uint32_t id, const std::string& payload) {
    auto it = clients_.find(client);
    if (it != clients_.end()) Send(*it->second, kind, id, payload, true);
}

ClientId Core::IdOf(const Client& c) {
    return c.id;
}

std::uint32_t Core::PidOf(const Client& c) {
    return c.pid;
}

bool Core::ProgramsStarted() const {
    for (const auto& [pid, p] : processes_)
        if (p->running && (p->hello || p->spawned)) return true;
    return false;
}

std::uint64_t Core::NowLocked() const {
    if (mode_ == ClockMode::Virtual) return virtualNow_;
    return static_cast<std::uint64_t>(static_cast<double>(SteadyNs() - realStartNs_) / 1e6 *
                                      speed_);
}

std::uint64_t Core::Now() const {
    return NowLocked();
}

void Core::RegisterProgram(const std::wstring& imageName, const std::wstring& hostExecutable) {
    programs_[Lower(FileName(imageName))] = hostExecutable;
}

ClientId Core::Connect() {
    auto c = std::make_unique<Client>();
    c->id = nextClient_++;
    ClientId id = c->id;
    clients_[id] = std::move(c);
    served_ = true;
    return id;
}

bool Core::Receive(ClientId client, const char* data, std::size_t n) {
    auto it = clients_.find(client);
    if (it == clients_.end()) return false;
    Client& c = *it->second;
    c.in.Append(data, n);
    while (auto f = c.in.Next()) {
        Handle(c, *f);
        ServeWaits();
        Tick();
    }
    return !c.in.Broken();
}

void Core::Send(Client& c, wire::Kind kind, std::uint32_t id, const std::string& payload,
                bool wakes) {
    wire::Frame f;
    f.kind = kind;
    f.id = id;
    f.payload = payload;
    c.out += wire::Encode(f);
    ++c.sent;
    if (wakes) {
        c.lastWake = c.sent;
        c.idle = false;
    }
}

void Core::Reply(Client& c, std::uint32_t id, std::uint32_t status, const wire::Writer& body) {
    wire::Writer w;
    w.U32(status);
    Send(c, wire::Kind::Reply, id, w.Bytes() + body.Bytes(), true);
}

std::string Core::TakeOutput(ClientId client) {
    auto it = clients_.find(client);
    if (it == clients_.end()) return {};
    return std::exchange(it->second->out, {});
}

std::vector<ClientId> Core::ClientsWithOutput() const {
    std::vector<ClientId> out;
    for (const auto& [id, c] : clients_)
        if (!c->out.empty()) out.push_back(id);
    return out;
}

void Core::Handle(Client& c, const wire::Frame& f) {
    using wire::Kind;
    wire::Reader r(f.payload);
    if (WindowDirectory::IsNote(f.kind)) {
        if (c.hello && f.version == wire::kVersion) windows_->Handle(c.id, c.pid, f);
        return;
    }
    if (ScreenDesk::IsNote(f.kind)) {
        if (c.hello && f.version == wire::kVersion) screen_->Handle(c.id, c.pid, f);
        return;
    }
    if (f.kind == Kind::Idle || f.kind == Kind::Exit || f.kind == Kind::ThreadEnded) {
        // Notes without an answer: a malformed one is dropped.
        if (!c.hello || f.version != wire::kVersion) return;
        if (f.kind == Kind::Idle) {
            std::uint64_t seen = 0, deadline = 0;
            if (!r.U64(seen) || !r.U64(deadline) || !r.AtEnd()) return;
            if (seen >= c.lastWake) {
                c.idle = true;
                c.deadline = deadline;
            }
        } else if (f.kind == Kind::ThreadEnded) {
            std::uint32_t thread = 0;
            if (!r.U32(thread) || !r.AtEnd()) return;
            auto t = c.threads.find(thread);
            if (t == c.threads.end()) return;
            EndThread(*t->second);
            c.threads.erase(t);
        } else {
            std::uint32_t code = 0;
            if (!r.U32(code) || !r.AtEnd()) return;
            auto p = processes_.find(c.pid);
            if (p != processes_.end()) {
                p->second->exitReported = true;
                p->second->exitCode = code;
            }
        }
        return;
    }
    if (f.version != wire::kVersion) return Reply(c, f.id, ERROR_INVALID_PARAMETER);
    if (f.kind == Kind::Hello) return OnHello(c, f, r);
    // Every other request needs the client to have said who it is.
    if (!c.hello) return Reply(c, f.id, ERROR_ACCESS_DENIED);
    switch (f.kind) {
        case Kind::Ping:
            return Reply(c, f.id, r.AtEnd() ? 0 : ERROR_INVALID_PARAMETER);
        case Kind::CreateNamed:
            return OnCreateNamed(c, f, r, true);
        case Kind::OpenNamed:
            return OnCreateNamed(c, f, r, false);
        case Kind::Wait:
            return OnWait(c, f, r);
        case Kind::Signal:
            return OnSignal(c, f, r);
        case Kind::Close: {
            std::uint32_t handle = 0;
            if (!r.U32(handle) || !r.AtEnd()) return Reply(c, f.id, ERROR_INVALID_PARAMETER);
            return Reply(c, f.id, c.handles.erase(handle) ? 0 : ERROR_INVALID_HANDLE);
        }
        case Kind::Spawn:
            return OnSpawn(c, f, r);
        case Kind::RegisterProgram: {
            std::wstring image, host;
            if (!r.Text(image) || !r.Text(host) || !r.AtEnd() || image.empty() || host.empty())
                return Reply(c, f.id, ERROR_INVALID_PARAMETER);
            RegisterProgram(image, host);
            return Reply(c, f.id, 0);
        }
        case Kind::Processes:
            return OnProcesses(c, f);
        case Kind::WaitProcess:
            return OnWaitProcess(c, f, r);
        case Kind::Now: {
            wire::Writer w;
            w.U64(NowLocked());
            return Reply(c, f.id, 0, w);
        }
        case Kind::Terminate:
            return OnTerminate(c, f, r);
        case Kind::Registry:
            return OnRegistry(c, f, r);
        case Kind::Devices:
            return OnDevices(c, f, r);
        case Kind::Ras:
            return OnRas(c, f, r);
        case Kind::AddProcess: {
            auto p = std::make_unique<Process>();
            if (!r.Text(p->image) || !r.Text(p->user) || !r.Text(p->desktop) || !r.AtEnd() ||
                p->image.empty())
                return Reply(c, f.id, ERROR_INVALID_PARAMETER);
            p->pid = nextPid_;
            nextPid_ += 4;
            p->commandLine = L"\"" + p->image + L"\"";
            p->waitable->pid = p->pid;
            wire::Writer w;
            w.U32(p->pid);
            processes_[p->pid] = std::move(p);
            return Reply(c, f.id, 0, w);
        }
        case Kind::OpenProcess: {
            std::uint32_t pid = 0;
            if (!r.U32(pid) || !r.AtEnd()) return Reply(c, f.id, ERROR_INVALID_PARAMETER);
            auto it = processes_.find(pid);
            if (it == processes_.end() || !it->second->running)
                return Reply(c, f.id, ERROR_INVALID_PARAMETER);
            wire::Writer w;
            w.U32(AddHandle(c, it->second->waitable)).Text(it->second->user);
            return Reply(c, f.id, 0, w);
        }
        case Kind::HoldClock: {
            std::uint8_t hold = 0;
            if (!r.U8(hold) || !r.AtEnd()) return Reply(c, f.id, ERROR_INVALID_PARAMETER);
            c.holdsClock = hold != 0;
            return Reply(c, f.id, 0);
        }
        case Kind::ExitCode: {
            std::uint32_t handle = 0;
            if (!r.U32(handle) || !r.AtEnd()) return Reply(c, f.id, ERROR_INVALID_PARAMETER);
            auto w = std::dynamic_pointer_cast<ProcessWaitable>(FindHandle(c, handle));
            if (!w) return Reply(c, f.id, ERROR_INVALID_HANDLE);
            const Process& p = *processes_.at(w->pid);
            wire::Writer body;
            body.U32(p.running ? STILL_ACTIVE : p.exitCode);
            return Reply(c, f.id, 0, body);
        }
        case Kind::WaitPeek:
        case Kind::CancelPeek:
        case Kind::Take:
        case Kind::GiveBack:
            return OnKernelWait(c, f, r);
        case Kind::Configure:
            return OnConfigure(c, f);
        case Kind::FileOpen:
        case Kind::FileClose:
        case Kind::FileDelete:
            return OnFiles(c, f, r);
        case Kind::JournalAppend:
        case Kind::Journal:
            return OnJournal(c, f, r);
        case Kind::Stop:
            stopAsked_ = true;
            return Reply(c, f.id, 0);
        default:
            if (WindowDirectory::Serves(f.kind)) return windows_->Handle(c.id, c.pid, f);
            if (ServiceDb::Handles(f.kind)) return services_->Handle(c.id, f);
            if (ScreenDesk::Serves(f.kind)) return screen_->Handle(c.id, c.pid, f);
            return Reply(c, f.id, ERROR_INVALID_FUNCTION);
    }
}

void Core::OnHello(Client& c, const wire::Frame& f, wire::Reader& r) {
    std::uint16_t role = 0;
    std::uint32_t hostPid = 0, pid = 0;
    std::wstring program;
    if (!r.U16(role) || !r.U32(hostPid) || !r.U32(pid) || !r.Text(program) || !r.AtEnd() ||
        (role != static_cast<std::uint16_t>(wire::Role::Program) &&
         role != static_cast<std::uint16_t>(wire::Role::Control)))
        return Reply(c, f.id, ERROR_INVALID_PARAMETER);
    if (c.hello) return Reply(c, f.id, ERROR_INVALID_FUNCTION);
    c.role = static_cast<wire::Role>(role);
    Process* p = nullptr;
    if (c.role == wire::Role::Program) {
        // A process the server started says hello with the id it was given; a program started
        // from a shell joins as a new process.
        auto it = processes_.find(pid);
        if (pid != 0 && it != processes_.end() && !it->second->hello && it->second->running &&
            it->second->hostPid == static_cast<int>(hostPid)) {
            p = it->second.get();
        } else {
            auto np = std::make_unique<Process>();
            np->pid = nextPid_;
            nextPid_ += 4;
            np->image = program;
            np->commandLine = program;
            np->hostPid = static_cast<int>(hostPid);
            p = np.get();
            processes_[np->pid] = std::move(np);
        }
        p->hello = true;
        p->client = c.id;
        c.pid = p->pid;
    }
    c.hello = true;
    wire::Writer w;
    w.U32(c.pid).U64(NowLocked()).U8(mode_ == ClockMode::Virtual ? 0 : 1);
    w.U64(static_cast<std::uint64_t>(speed_ * 1e6));
    // The identity the server gave a process it started; one started from a shell keeps its own.
    bool given = p != nullptr && p->spawned;
    w.Text(given ? p->image : L"").Text(given ? p->commandLine : L"");
    w.Text(given ? p->user : L"").Text(given ? p->desktop : L"");
    w.U16(given ? p->show : 0).U8(given && p->useShow ? 1 : 0);
    w.Blob(configBytes_);
    Reply(c, f.id, 0, w);
}

std::shared_ptr<ThreadRec> Core::Thread(Client& c, std::uint32_t thread) {
    auto& t = c.threads[thread];
    if (!t) {
        // Thread ids are the processes' own; the server gives each its own machine-wide id.
        t = std::make_shared<ThreadRec>();
        t->id = nextThreadId_;
        nextThreadId_ += 4;
    }
    return t;
}

std::uint32_t Core::AddHandle(Client& c, std::shared_ptr<KObject> obj) {
    std::uint32_t h = c.nextHandle;
    c.nextHandle += 4;
    c.handles[h] = std::move(obj);
    return h;
}

std::shared_ptr<KObject> Core::FindHandle(Client& c, std::uint32_t handle) {
    auto it = c.handles.find(handle);
    return it == c.handles.end() ? nullptr : it->second;
}

void Core::OnCreateNamed(Client& c, const wire::Frame& f, wire::Reader& r, bool create) {
    std::uint16_t kind = 0;
    std::wstring name;
    std::uint32_t thread = 0;
    std::int32_t a = 0, b = 0;
    if (!r.U16(kind) || !r.Text(name) ||
        (create && (!r.U32(thread) || !r.I32(a) || !r.I32(b))) || !r.AtEnd() || name.empty() ||
        kind < 1 || kind > 3)
        return Reply(c, f.id, ERROR_INVALID_PARAMETER);
    auto objectKind = static_cast<wire::ObjectKind>(kind);
    auto sameKind = [&](const std::shared_ptr<KObject>& o) -> bool {
        switch (objectKind) {
            case wire::ObjectKind::Event: return std::dynamic_pointer_cast<EventObj>(o) != nullptr;
            case wire::ObjectKind::Semaphore:
                return std::dynamic_pointer_cast<SemaphoreObj>(o) != nullptr;
            case wire::ObjectKind::Mutex: return std::dynamic_pointer_cast<MutexObj>(o) != nullptr;
            case wire::ObjectKind::Process: return false;
        }
        return false;
    };
    if (create && objectKind == wire::ObjectKind::Semaphore && (b <= 0 || a < 0 || a > b))
        return Reply(c, f.id, ERROR_INVALID_PARAMETER);
    std::shared_ptr<KObject> obj;
    auto it = named_.find(name);
    if (it != named_.end()) obj = it->second.lock();
    wire::Writer w;
    if (obj) {
        if (!sameKind(obj)) return Reply(c, f.id, ERROR_INVALID_HANDLE);
        w.U32(AddHandle(c, obj));
        return Reply(c, f.id, create ? ERROR_ALREADY_EXISTS : 0, w);
    }
    if (!create) return Reply(c, f.id, ERROR_FILE_NOT_FOUND);
    switch (objectKind) {
        case wire::ObjectKind::Event:
            obj = std::make_shared<EventObj>(a != 0, b != 0);
            break;
        case wire::ObjectKind::Semaphore:
            obj = std::make_shared<SemaphoreObj>(a, b);
            break;
        case wire::ObjectKind::Mutex: {
            auto m = std::make_shared<MutexObj>();
            if (a != 0) {
                auto t = Thread(c, thread);
                std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
                m->Acquire(*t, 0);
            }
            obj = m;
            break;
        }
        case wire::ObjectKind::Process:
            return Reply(c, f.id, ERROR_INVALID_PARAMETER);
    }
    named_[name] = obj;
    w.U32(AddHandle(c, obj));
    Reply(c, f.id, 0, w);
}

void Core::OnWait(Client& c, const wire::Frame& f, wire::Reader& r) {
    std::uint32_t thread = 0, count = 0;
    std::uint8_t all = 0;
    std::uint64_t deadline = 0;
    if (!r.U32(thread) || !r.U8(all) || !r.U64(deadline) || !r.U32(count) || count == 0 ||
        count > MAXIMUM_WAIT_OBJECTS)
        return Reply(c, f.id, ERROR_INVALID_PARAMETER);
    auto w = std::make_unique<PendingWait>();
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t h = 0;
        if (!r.U32(h)) return Reply(c, f.id, ERROR_INVALID_PARAMETER);
        auto obj = FindHandle(c, h);
        Waitable* waitable = obj ? obj->AsWaitable() : nullptr;
        if (waitable == nullptr) return Reply(c, f.id, ERROR_INVALID_HANDLE);
        w->items.push_back({waitable});
        w->objects.push_back(std::move(obj));
    }
    if (!r.AtEnd()) return Reply(c, f.id, ERROR_INVALID_PARAMETER);
    w->client = c.id;
    w->id = f.id;
    w->thread = Thread(c, thread);
    w->all = all != 0;
    w->deadline = deadline;
    ++c.pendingWaits;
    waits_.push_back(std::move(w));
    // Answered at once when it can be: ServeWaits runs after each request.
}

void Core::OnSignal(Client& c, const wire::Frame& f, wire::Reader& r) {
    std::uint16_t op = 0;
    std::uint32_t handle = 0, thread = 0;
    std::int32_t count = 0;
    if (!r.U16(op) || !r.U32(handle) || !r.U32(thread) || !r.I32(count) || !r.AtEnd())
        return Reply(c, f.id, ERROR_INVALID_PARAMETER);
    auto obj = FindHandle(c, handle);
    std::uint32_t status = ERROR_INVALID_HANDLE;
    LONG previous = 0;
    auto t = Thread(c, thread);
    {
        std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
        switch (static_cast<wire::SignalOp>(op)) {
            case wire::SignalOp::SetEvent:
            case wire::SignalOp::ResetEvent:
                if (auto e = std::dynamic_pointer_cast<EventObj>(obj)) {
                    e->SetLocked(static_cast<wire::SignalOp>(op) == wire::SignalOp::SetEvent);
                    status = 0;
                }
                break;
            case wire::SignalOp::ReleaseSemaphore:
                if (auto s = std::dynamic_pointer_cast<SemaphoreObj>(obj))
                    status = s->ReleaseLocked(count, &previous) ? 0 : ERROR_TOO_MANY_POSTS;
                break;
            case wire::SignalOp::ReleaseMutex:
                if (auto m = std::dynamic_pointer_cast<MutexObj>(obj))
                    status = m->ReleaseLocked(*t) ? 0 : ERROR_NOT_OWNER;
                break;
            default:
                status = ERROR_INVALID_PARAMETER;
        }
    }
    wire::Writer w;
    w.I32(previous);
    Reply(c, f.id, status, w);
}

void Core::OnSpawn(Client& c, const wire::Frame& f, wire::Reader& r) {
    std::wstring image, commandLine, user, desktop, stdoutPath;
    std::uint16_t show = 0;
    std::uint8_t useShow = 0;
    if (!r.Text(image) || !r.Text(commandLine) || !r.Text(user) || !r.Text(desktop) ||
        !r.U16(show) || !r.U8(useShow) || !r.Text(stdoutPath) || !r.AtEnd() || image.empty())
        return Reply(c, f.id, ERROR_INVALID_PARAMETER);
    DWORD error = 0;
    Process* p =
        SpawnProgram(image, commandLine, user, desktop, show, useShow != 0, stdoutPath, &error);
    if (p == nullptr) return Reply(c, f.id, error);
    wire::Writer w;
    w.U32(p->pid).U32(static_cast<std::uint32_t>(p->hostPid)).U32(AddHandle(c, p->waitable));
    Reply(c, f.id, 0, w);
}

Core::Process* Core::SpawnProgram(const std::wstring& image, const std::wstring& commandLine,
                                  const std::wstring& user, const std::wstring& desktop,
                                  std::uint16_t show, bool useShow,
                                  const std::wstring& stdoutPath, DWORD* error) {
    auto program = programs_.find(Lower(FileName(image)));
    if (program == programs_.end()) {
        *error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    auto p = std::make_unique<Process>();
    p->pid = nextPid_;
    nextPid_ += 4;
    p->image = image;
    p->commandLine = commandLine.empty() ? L"\"" + image + L"\"" : commandLine;
    p->user = user;
    p->desktop = desktop;
    p->show = show;
    p->useShow = useShow;
    p->spawned = true;
    SpawnSpec spec;
    spec.executable = ToUtf8(program->second);
    auto items = ProcessTable::SplitCommandLine(p->commandLine);
    for (std::size_t i = 1; i < items.size(); ++i) spec.args.push_back(ToUtf8(items[i]));
    spec.env = {"MODEM_MACHINE=" + folder_, "MODEM_PID=" + std::to_string(p->pid)};
    spec.stdoutPath = ToUtf8(stdoutPath);
    p->hostPid = spawner_.Spawn(spec);
    if (p->hostPid < 0) {
        *error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    p->waitable->pid = p->pid;
    Process* started = p.get();
    processes_[p->pid] = std::move(p);
    return started;
}

void Core::OnProcesses(Client& c, const wire::Frame& f) {
    wire::Writer w;
    w.U32(static_cast<std::uint32_t>(processes_.size()));
    for (const auto& [pid, p] : processes_) {
        w.U32(pid).U32(static_cast<std::uint32_t>(p->hostPid)).Text(p->image).Text(p->commandLine);
        w.Text(p->user).U8(p->running ? 1 : 0).U32(p->exitCode);
    }
    Reply(c, f.id, 0, w);
}

void Core::OnWaitProcess(Client& c, const wire::Frame& f, wire::Reader& r) {
    std::uint32_t pid = 0;
    std::uint64_t deadline = 0;
    if (!r.U32(pid) || !r.U64(deadline) || !r.AtEnd())
        return Reply(c, f.id, ERROR_INVALID_PARAMETER);
    if (processes_.find(pid) == processes_.end()) return Reply(c, f.id, ERROR_INVALID_PARAMETER);
    auto w = std::make_unique<PendingWait>();
    w->client = c.id;
    w->id = f.id;
    w->pid = pid;
    w->deadline = deadline;
    ++c.pendingWaits;
    waits_.push_back(std::move(w));
}

void Core::OnTerminate(Client& c, const wire::Frame& f, wire::Reader& r) {
    std::uint32_t pid = 0, code = 0;
    if (!r.U32(pid) || !r.U32(code) || !r.AtEnd()) return Reply(c, f.id, ERROR_INVALID_PARAMETER);
    auto it = processes_.find(pid);
    if (it == processes_.end() || !it->second->running || (!it->second->spawned && it->second->hello))
        return Reply(c, f.id, ERROR_INVALID_PARAMETER);
    Process& p = *it->second;
    if (!p.spawned) {
        // A record that runs nothing ends at once.
        Reply(c, f.id, 0);
        EndProcess(p, code);
        return;
    }
    spawner_.Kill(p.hostPid);
    p.exitReported = true;
    p.exitCode = code;
    // Its connection counts as closed now, before anything else is served: its mutexes are
    // abandoned and its handles closed at the instant of the termination.
    ClientId client = p.client;
    Reply(c, f.id, 0);
    if (client != 0 && client != c.id) Disconnect(client);
}

void Core::OnRegistry(Client& c, const wire::Frame& f, wire::Reader& r) {
    std::uint16_t op = 0;
    std::wstring path, name;
    RegValue value;
    std::string data;
    if (!r.U16(op) || !r.Text(path) || !r.Text(name) || !r.U32(value.type) || !r.Blob(data) ||
        !r.AtEnd())
        return Reply(c, f.id, ERROR_INVALID_PARAMETER);
    value.data.assign(data.begin(), data.end());
    wire::Writer w;
    auto names = [&](const std::vector<std::wstring>& list) {
        w.U32(static_cast<std::uint32_t>(list.size()));
        for (const auto& n : list) w.Text(n);
    };
    switch (static_cast<wire::RegistryOp>(op)) {
        case wire::RegistryOp::CreateKey: {
            bool created = false;
            bool done = registry_.CreateKey(path, &created);
            w.U8(done ? 1 : 0).U8(created ? 1 : 0);
            break;
        }
        case wire::RegistryOp::KeyExists:
            w.U8(registry_.KeyExists(path) ? 1 : 0);
            break;
        case wire::RegistryOp::DeleteKey:
            w.U8(registry_.DeleteKey(path) ? 1 : 0);
            break;
        case wire::RegistryOp::SetValue:
            w.U8(registry_.SetValue(path, name, value) ? 1 : 0);
            break;
        case wire::RegistryOp::GetValue: {
            RegValue out;
            bool found = registry_.GetValue(path, name, &out);
            w.U8(found ? 1 : 0).U32(out.type).Blob(std::string(out.data.begin(), out.data.end()));
            break;
        }
        case wire::RegistryOp::DeleteValue:
            w.U32(static_cast<std::uint32_t>(registry_.DeleteValue(path, name)));
            break;
        case wire::RegistryOp::SubKeys:
            names(registry_.SubKeys(path));
            break;
        case wire::RegistryOp::ValueNames:
            names(registry_.ValueNames(path));
            break;
        default:
            return Reply(c, f.id, ERROR_INVALID_PARAMETER);
    }
    Reply(c, f.id, 0, w);
}

void Core::OnDevices(Client& c, const wire::Frame& f, wire::Reader& r) {
    wire::Writer w;
    std::uint32_t status = devices_->Handle(c.id, r, w);
    // The new tree reaches every program before the answer does.
    PushDevices();
    Reply(c, f.id, status, w);
}

void Core::OnRas(Client& c, const wire::Frame& f, wire::Reader& r) {
    wire::Writer w;
    std::uint32_t status = ras_->Handle(c.id, c.pid, r, w);
    // What it asks of a program's connection reaches that program before the answer does.
    for (auto& [target, news] : ras_->TakeNews())
        for (auto& [id, client] : clients_)
            if (client->hello && client->role == wire::Role::Program &&
                (target == RasHost::kEveryProgram || target == id))
                Send(*client, wire::Kind::RasNews, 0, news, true);
    Reply(c, f.id, status, w);
}

void Core::PushDevices() {
    auto tree = devices_->TakeChanged();
    if (!tree) return;
    for (auto& [id, c] : clients_)
        if (c->hello && c->role == wire::Role::Program)
            Send(*c, wire::Kind::DeviceTree, 0, *tree, true);
}

void Core::ServeWaits() {
    std::uint64_t now = NowLocked();
    for (std::size_t i = 0; i < waits_.size();) {
        PendingWait& w = *waits_[i];
        Client& c = *clients_.at(w.client);
        bool done = false;
        std::uint32_t result = WAIT_TIMEOUT;
        std::uint32_t exitCode = 0;
        if (w.pid != 0) {
            Process& p = *processes_.at(w.pid);
            if (!p.running) {
                done = true;
                result = WAIT_OBJECT_0;
                exitCode = p.exitCode;
            }
        } else {
            WaitBlock b;
            b.thread = w.thread.get();
            b.items = w.items;
            b.all = w.all;
            std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
            if (Kernel::Get().TrySatisfyLocked(b)) {
                done = true;
                result = (b.result.outcome == WaitOutcome::Abandoned ? WAIT_ABANDONED
                                                                     : WAIT_OBJECT_0) +
                         b.result.index;
            }
        }
        if (!done && w.deadline <= now) done = true;  // WAIT_TIMEOUT
        if (!done) {
            ++i;
            continue;
        }
        wire::Writer body;
        body.U32(result).U32(exitCode);
        std::uint32_t id = w.id;
        --c.pendingWaits;
        waits_.erase(waits_.begin() + static_cast<std::ptrdiff_t>(i));
        Reply(c, id, 0, body);
    }
    ServePeeks();
}

bool Core::AllIdle() const {
    bool anyone = false;
    for (const auto& [id, c] : clients_) {
        if (!c->hello) continue;
        anyone = true;
        bool idle = c->role == wire::Role::Program
                        ? c->idle
                        : c->pendingWaits > 0 || !c->holdsClock || services_->Waiting(c->id);
        if (!idle) return false;
    }
    // A process started but not yet connected runs its start-up; one whose connection closed
    // runs its exit until its host process is seen to end (and its exit code is known).
    for (const auto& [pid, p] : processes_)
        if (p->running && p->spawned && (!p->hello || p->client == 0)) return false;
    return anyone;
}

void Core::Tick() {
    if (mode_ == ClockMode::Real) {
        devices_->RunDue(NowLocked());
        PushDevices();
        ServeWaits();
        services_->Expire(NowLocked());
        return;
    }
    if (!AllIdle()) return;
    std::uint64_t next = wire::kNever;
    for (const auto& [id, c] : clients_)
        if (c->hello && c->role == wire::Role::Program) next = std::min(next, c->deadline);
    for (const auto& w : waits_) next = std::min(next, w->deadline);
    next = std::min(next, services_->NextDeadline());
    next = std::min(next, devices_->NextDeadline());
    if (next == wire::kNever) return;  // every participant waits for ever
    virtualNow_ = std::max(virtualNow_, next);
    // The new reading goes to every program first; those whose waits it ends count as running.
    wire::Writer w;
    w.U64(virtualNow_);
    for (auto& [id, c] : clients_)
        if (c->hello && c->role == wire::Role::Program)
            Send(*c, wire::Kind::Time, 0, w.Bytes(), c->deadline <= virtualNow_);
    devices_->RunDue(virtualNow_);
    PushDevices();
    ServeWaits();
    services_->Expire(virtualNow_);
}

int Core::MillisecondsToNextDeadline() {
    if (mode_ != ClockMode::Real) return -1;
    std::uint64_t next = std::min(services_->NextDeadline(), devices_->NextDeadline());
    for (const auto& w : waits_) next = std::min(next, w->deadline);
    if (next == wire::kNever) return -1;
    std::uint64_t now = NowLocked();
    if (next <= now) return 0;
    double host = static_cast<double>(next - now) / speed_;
    return host > 60000 ? 60000 : static_cast<int>(host) + 1;
}

void Core::EndProcess(Process& p, std::uint32_t exitCode) {
    if (!p.running) return;
    p.running = false;
    p.exitCode = p.exitReported ? p.exitCode : exitCode;
    {
        std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
        p.waitable->EndLocked();
    }
    services_->ProcessEnded(p.pid);
    ServeWaits();
}

void Core::EndThread(ThreadRec& t) {
    std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
    t.ended = true;
    auto owned = std::move(t.owned);
    for (auto& weak : owned)
        if (auto m = weak.lock()) m->OwnerEnded(t);
}

void Core::Disconnect(ClientId client) {
    auto it = clients_.find(client);
    if (it == clients_.end()) return;
    Client& c = *it->second;
    DropKernelState(client);
    // Its waits end unanswered; then its threads end: a mutex one of them owned is abandoned.
    for (std::size_t i = 0; i < waits_.size();) {
        if (waits_[i]->client == client)
            waits_.erase(waits_.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
    services_->ClientGone(client);
    for (auto& [id, t] : c.threads) EndThread(*t);
    windows_->ClientGone(client);
    devices_->Disconnect(client);
    ras_->Disconnect(client);
    screen_->ClientGone(client);
    // An object lives while another client holds a handle to it.
    c.handles.clear();
    std::uint32_t pid = c.pid;
    clients_.erase(it);
    auto p = processes_.find(pid);
    if (p != processes_.end()) {
        p->second->client = 0;
        // A program started from a shell has ended with its connection; the server's own
        // children end when their host process does.
        if (!p->second->spawned) EndProcess(*p->second, 1);
    }
    for (auto n = named_.begin(); n != named_.end();)
        n = n->second.expired() ? named_.erase(n) : std::next(n);
    ServeWaits();
    Tick();
}

void Core::HostProcessEnded(int hostPid, int exitCode) {
    for (auto& [pid, p] : processes_)
        if (p->spawned && p->hostPid == hostPid) EndProcess(*p, static_cast<std::uint32_t>(exitCode));
    Tick();
}

bool Core::Finished() const {
    if (!served_ || !clients_.empty()) return false;
    for (const auto& [pid, p] : processes_)
        if (p->running) return false;
    return true;
}

std::vector<int> Core::LiveHostProcesses() const {
    std::vector<int> out;
    for (const auto& [pid, p] : processes_)
        if (p->running && p->spawned) out.push_back(p->hostPid);
    return out;
}

}  // namespace sim::server
