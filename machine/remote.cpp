#include "machine/remote.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <unistd.h>

#include "machine/device_wire.h"
#include "machine/machine.h"
#include "machine/processes.h"
#include "machine/registry.h"
#include "machine/remote_screen.h"
#include "machine/remote_windows.h"
#include "machine/services.h"
#include "machine/remote_devices.h"
#include "machine/config_wire.h"
#include "machine/machine.h"
#include "machine/processes.h"
#include "machine/registry.h"
#include "machine/remote_files.h"
#include "machine/remote_ras.h"
#include <winreg.h>
#include "machine/threads.h"
#include "machine/waits.h"

namespace sim {

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string DefaultFolder() {
    std::string state = Env("XDG_STATE_HOME");
    if (state.empty()) {
        std::string home = Env("HOME");
        if (home.empty()) return "";
        state = home + "/.local/state";
    }
    return state + "/modem-machine";
}

std::string ServerProgram() {
    std::string fromEnv = Env("MODEM_SERVER");
    if (!fromEnv.empty()) return fromEnv;
#ifdef MODEM_SERVER_PATH
    return MODEM_SERVER_PATH;
#else
    return "machine_server";
#endif
}

// The command line as the platform would give it: items with blanks or quotes quoted.
std::wstring JoinCommandLine(const std::wstring& image, int argc, wchar_t** argv) {
    std::wstring line = L"\"" + image + L"\"";
    for (int i = 1; i < argc; ++i) {
        std::wstring item = argv[i];
        line += L' ';
        if (!item.empty() && item.find_first_of(L" \t\"") == std::wstring::npos) {
            line += item;
            continue;
        }
        line += L'"';
        for (wchar_t c : item) {
            if (c == L'"') line += L'\\';
            line += c;
        }
        line += L'"';
    }
    return line;
}

// Kernel lock held.
std::map<wire::Kind, std::function<void(const std::string&)>>& PushHandlers() {
    // Never destroyed: the link's thread may still look here while the program exits.
    static auto* handlers = new std::map<wire::Kind, std::function<void(const std::string&)>>;
    return *handlers;
}

}  // namespace

class ServerLink : public ClockLink {
public:
    explicit ServerLink(int fd) : fd_(fd) {}

    // Says hello over the socket before anything else runs. False when the server went.
    bool Hello(std::uint32_t givenPid, const std::wstring& program, std::string& body) {
        wire::Writer w;
        w.U16(static_cast<std::uint16_t>(wire::Role::Program))
            .U32(static_cast<std::uint32_t>(getpid()))
            .U32(givenPid)
            .Text(program);
        auto f = wire::Call(fd_, in_, wire::Kind::Hello, nextId_++, w.Bytes());
        if (!f) return false;
        body = f->payload;
        ++received_;
        return true;
    }

    // A request before the link runs (at the join): the answer's status and body. What the
    // server sends meanwhile counts as seen; a clock reading among it moves the clock.
    std::optional<RemoteAnswer> CallBeforeRun(wire::Kind kind, const std::string& payload) {
        const std::uint32_t id = nextId_++;
        Send(kind, id, payload);
        for (;;) {
            auto f = wire::ReadFrame(fd_, in_);
            if (!f) return std::nullopt;
            ++received_;
            wire::Reader r(f->payload);
            if (f->kind == wire::Kind::Time) {
                std::uint64_t now = 0;
                auto& kernel = Kernel::Get();
                std::lock_guard<std::mutex> lk(kernel.Mutex());
                if (r.U64(now)) kernel.AdvanceToLocked(now);
            }
            if (f->kind != wire::Kind::Reply || f->id != id) continue;
            RemoteAnswer a;
            if (!r.U32(a.status)) return std::nullopt;
            a.body = f->payload.substr(4);
            return a;
        }
    }

    void Run() {
        std::thread([this] { Receive(); }).detach();
    }
    // The program's exit has begun: once the message in hand is handled, the link's thread
    // handles no more (the process ends around it).
    void StopReceiving() { receiving_.lock(); }

    RemoteAnswer Call(wire::Kind kind, const std::string& payload) {
        ThreadRec& self = CurrentThread();
        auto& kernel = Kernel::Get();
        auto slot = Begin(kind, payload);
        WaitResult r;
        {
            std::unique_lock<std::mutex> lk(kernel.Mutex());
            WaitItem item{&slot->gate};
            r = kernel.Wait(lk, self, std::span<const WaitItem>(&item, 1), false, 0, kForever);
            if (r.outcome == WaitOutcome::Object) return slot->answer;
        }
        ThrowIfTerminating();
        return {ERROR_PROCESS_ABORTED, {}};
    }

    void CallThen(wire::Kind kind, const std::string& payload,
                  std::function<void(const RemoteAnswer&)> thenLocked) {
        auto slot = std::make_shared<PendingCall>();
        slot->then = std::move(thenLocked);
        std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
        slot->id = nextId_++;
        slots_[slot->id] = slot;
        Send(kind, slot->id, payload);
    }
    std::shared_ptr<PendingCall> Begin(wire::Kind kind, const std::string& payload) {
        auto slot = std::make_shared<PendingCall>();
        {
            std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
            slot->id = nextId_++;
            slots_[slot->id] = slot;
        }
        Send(kind, slot->id, payload);
        return slot;
    }
    void ForgetLocked(std::uint32_t id) { slots_.erase(id); }

    void Post(wire::Kind kind, const std::string& payload) {
        std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
        PostLocked(kind, payload);
    }
    void PostLocked(wire::Kind kind, const std::string& payload) { Send(kind, nextId_++, payload); }
    // A request whose answer is ignored (id 0), without the kernel lock.
    void Note(wire::Kind kind, const std::string& payload) { Send(kind, 0, payload); }

    // The program is ending: from here on it runs its exit until its host process is gone, and
    // a thread it leaves waiting does not make it idle.
    void Leave(std::uint32_t exitCode) {
        std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
        leaving_ = true;
        wire::Writer w;
        w.U32(exitCode);
        PostLocked(wire::Kind::Exit, w.Bytes());
    }

    void IdleLocked(std::uint64_t earliest) override {
        if (leaving_) return;
        if (received_ == reportedSeen_ && earliest == reportedDeadline_) return;
        reportedSeen_ = received_;
        reportedDeadline_ = earliest;
        wire::Writer w;
        w.U64(received_).U64(earliest);
        Send(wire::Kind::Idle, 0, w.Bytes());
    }

private:
    void Send(wire::Kind kind, std::uint32_t id, const std::string& payload) {
        wire::Frame f;
        f.kind = kind;
        f.id = id;
        f.payload = payload;
        std::lock_guard<std::mutex> lk(writeMu_);
        wire::SendAll(fd_, wire::Encode(f));
    }

    // The link's own host thread (no machine thread): answers and the clock's readings.
    void Receive() {
        auto& kernel = Kernel::Get();
        for (;;) {
            auto f = wire::ReadFrame(fd_, in_);
            if (!f) break;
            // Not once the program's exit has begun: its globals are being destroyed.
            std::lock_guard<std::mutex> hold(receiving_);
            // A message for a window is queued to its thread first (outside the kernel lock),
            // then counted as seen: the idle report after it cannot overtake it.
            HandleWindowPush(*this, *f);
            HandleScreenPush(*this, *f);
            std::lock_guard<std::mutex> lk(kernel.Mutex());
            ++received_;
            wire::Reader r(f->payload);
            if (f->kind == wire::Kind::Reply) {
                auto it = slots_.find(f->id);
                if (it != slots_.end()) {
                    r.U32(it->second->answer.status);
                    it->second->answer.body = f->payload.size() >= 4 ? f->payload.substr(4) : "";
                    it->second->gate.OpenLocked();
                    if (it->second->then) it->second->then(it->second->answer);
                    slots_.erase(it);
                }
            } else if (f->kind == wire::Kind::Time) {
                std::uint64_t now = 0;
                if (r.U64(now)) kernel.AdvanceToLocked(now);
            } else if (f->kind == wire::Kind::DeviceTree) {
                ReceiveDeviceTreeLocked(f->payload);
            } else if (f->kind == wire::Kind::RasNews) {
                ReceiveRasNewsLocked(f->payload);
            } else if (auto h = PushHandlers().find(f->kind); h != PushHandlers().end()) {
                h->second(f->payload);
            }
            kernel.ReportIfIdleLocked();
        }
        // The machine is gone: a program cannot go on without it.
        std::fprintf(stderr, "machine server gone: the program ends\n");
        std::fflush(stdout);
        _exit(1);
    }

    int fd_;
    std::mutex writeMu_;
    std::mutex receiving_;  // held while a message is handled; for good from the exit on
    wire::FrameBuffer in_;
    // Kernel lock held for these.
    std::uint32_t nextId_ = 1;
    std::map<std::uint32_t, std::shared_ptr<PendingCall>> slots_;
    std::uint64_t received_ = 0;
    std::uint64_t reportedSeen_ = UINT64_MAX;
    std::uint64_t reportedDeadline_ = 0;
    bool leaving_ = false;
};

namespace {
ServerLink* g_link = nullptr;
}

void SetPushHandler(wire::Kind kind, std::function<void(const std::string& payload)> handler) {
    std::lock_guard<std::mutex> lk(Kernel::Get().Mutex());
    if (handler)
        PushHandlers()[kind] = std::move(handler);
    else
        PushHandlers().erase(kind);
}

ServerLink* Link() {
    // A program's first touch of the machine joins the server (machine() does it).
    if (g_link == nullptr && ProgramJoinsServer()) machine();
    return g_link;
}

ServerLink* JoinedLink() {
    return g_link;
}

void TellThreadEndedLocked(ServerLink& link, DWORD threadId) {
    wire::Writer w;
    w.U32(threadId);
    link.PostLocked(wire::Kind::ThreadEnded, w.Bytes());
}

RemoteAnswer CallServer(ServerLink& link, wire::Kind kind, const std::string& payload) {
    return link.Call(kind, payload);
}

void PostToServer(ServerLink& link, wire::Kind kind, const std::string& payload) {
    link.Post(kind, payload);
}

void JournalToServer(ServerLink& link, bool debug, const std::wstring& text) {
    wire::Writer w;
    w.U8(debug ? 2 : 1).Text(text);
    link.Note(wire::Kind::JournalAppend, w.Bytes());
}

void PostToServerLocked(ServerLink& link, wire::Kind kind, const std::string& payload) {
    link.PostLocked(kind, payload);
}

void CallServerThen(ServerLink& link, wire::Kind kind, const std::string& payload,
                    std::function<void(const RemoteAnswer&)> thenLocked) {
    link.CallThen(kind, payload, std::move(thenLocked));
}

std::shared_ptr<PendingCall> BeginCall(ServerLink& link, wire::Kind kind,
                                       const std::string& payload) {
    return link.Begin(kind, payload);
}

void ForgetCallLocked(ServerLink& link, const PendingCall& call) {
    link.ForgetLocked(call.id);
}

namespace {

// The registry of a program on a machine server: every access is a request.
class ServedRegistry : public RegistryRemote {
public:
    explicit ServedRegistry(ServerLink& link) : link_(link) {}

    bool CreateKey(const std::wstring& path, bool* created) override {
        std::string body = Ask(wire::RegistryOp::CreateKey, path);
        wire::Reader r(body);
        std::uint8_t done = 0, made = 0;
        r.U8(done);
        r.U8(made);
        if (created) *created = made != 0;
        return done != 0;
    }
    bool KeyExists(const std::wstring& path) override {
        return Flag(Ask(wire::RegistryOp::KeyExists, path));
    }
    bool DeleteKey(const std::wstring& path) override {
        return Flag(Ask(wire::RegistryOp::DeleteKey, path));
    }
    bool SetValue(const std::wstring& path, const std::wstring& name,
                  const RegValue& value) override {
        return Flag(Ask(wire::RegistryOp::SetValue, path, name, &value));
    }
    bool GetValue(const std::wstring& path, const std::wstring& name, RegValue* out) override {
        std::string body = Ask(wire::RegistryOp::GetValue, path, name);
        wire::Reader r(body);
        std::uint8_t found = 0;
        RegValue value;
        std::string data;
        if (!r.U8(found) || !r.U32(value.type) || !r.Blob(data) || !found) return false;
        value.data.assign(data.begin(), data.end());
        if (out) *out = value;
        return true;
    }
    LONG DeleteValue(const std::wstring& path, const std::wstring& name) override {
        std::uint32_t result = ERROR_KEY_DELETED;
        std::string body = Ask(wire::RegistryOp::DeleteValue, path, name);
        wire::Reader(body).U32(result);
        return static_cast<LONG>(result);
    }
    std::vector<std::wstring> SubKeys(const std::wstring& path) override {
        return Names(Ask(wire::RegistryOp::SubKeys, path));
    }
    std::vector<std::wstring> ValueNames(const std::wstring& path) override {
        return Names(Ask(wire::RegistryOp::ValueNames, path));
    }

private:
    // The answer's body (empty when the request failed).
    std::string Ask(wire::RegistryOp op, const std::wstring& path, const std::wstring& name = L"",
                    const RegValue* value = nullptr) {
        wire::Writer w;
        w.U16(static_cast<std::uint16_t>(op)).Text(path).Text(name);
        w.U32(value ? value->type : 0);
        w.Blob(value ? std::string(value->data.begin(), value->data.end()) : std::string());
        RemoteAnswer a = link_.Call(wire::Kind::Registry, w.Bytes());
        return a.status == 0 ? a.body : std::string();
    }
    static bool Flag(const std::string& body) {
        std::uint8_t v = 0;
        wire::Reader(body).U8(v);
        return v != 0;
    }
    static std::vector<std::wstring> Names(const std::string& body) {
        std::vector<std::wstring> out;
        wire::Reader r(body);
        std::uint32_t count = 0;
        r.U32(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            std::wstring n;
            if (!r.Text(n)) break;
            out.push_back(n);
        }
        return out;
    }
    ServerLink& link_;
};

}  // namespace

void RemoteObj::OnLastHandleClosed() {
    if (ServerLink* link = Link()) {
        wire::Writer w;
        w.U32(handle);
        link->Post(wire::Kind::Close, w.Bytes());
    }
}

__attribute__((weak)) bool ProgramJoinsServer() {
    return false;
}

bool JoinServerAtStart() {
    // The host arguments, as the kernel keeps them.
    std::vector<std::wstring> items;
    {
        std::FILE* f = std::fopen("/proc/self/cmdline", "rb");
        std::string all;
        char buf[4096];
        std::size_t n;
        while (f && (n = std::fread(buf, 1, sizeof buf, f)) > 0) all.append(buf, n);
        if (f) std::fclose(f);
        for (std::size_t pos = 0; pos < all.size();) {
            std::size_t end = all.find('\0', pos);
            if (end == std::string::npos) end = all.size();
            items.push_back(FromUtf8(all.substr(pos, end - pos)));
            pos = end + 1;
        }
    }
    std::vector<wchar_t*> argvItems;
    for (auto& item : items) argvItems.push_back(item.data());
    int argc = static_cast<int>(argvItems.size());
    wchar_t** argv = argvItems.data();

    std::string folder = Env("MODEM_MACHINE");
    if (folder.empty()) folder = DefaultFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "no machine folder: set MODEM_MACHINE\n");
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::uint32_t givenPid = static_cast<std::uint32_t>(std::atoll(Env("MODEM_PID").c_str()));
    std::wstring exe = argc > 0 ? std::filesystem::path(argv[0]).filename().wstring() : L"";
    if (exe.size() < 4 || Lower(exe.substr(exe.size() - 4)) != L".exe") exe += L".exe";

    std::unique_ptr<ServerLink> link;
    std::string body;
    for (int attempt = 0; attempt < 2 && !link; ++attempt) {
        int fd = wire::ConnectToFolder(folder);
        // A process the server started does not outlive it: it never starts one of its own.
        if (fd < 0 && givenPid != 0) {
            std::fprintf(stderr, "machine server gone: the program ends\n");
            _exit(1);
        }
        if (fd < 0) fd = wire::StartServer(ServerProgram(), folder, nullptr);
        if (fd < 0) break;
        auto candidate = std::make_unique<ServerLink>(fd);
        // A server that found another one running for the folder closes at once: then the
        // other one is asked.
        if (candidate->Hello(givenPid, exe, body))
            link = std::move(candidate);
        else
            close(fd);
    }
    if (!link) {
        std::fprintf(stderr, "no machine server for %s: the program runs on a machine of its own\n",
                     folder.c_str());
        return false;
    }
    wire::Reader r(body);
    std::uint32_t status = 1, pid = 0;
    std::uint64_t now = 0, speedMicros = 0;
    std::uint8_t mode = 0, useShow = 0;
    std::uint16_t show = 0;
    std::wstring image, commandLine, user, desktop;
    r.U32(status);
    r.U32(pid);
    r.U64(now);
    r.U8(mode);
    r.U64(speedMicros);
    r.Text(image);
    r.Text(commandLine);
    r.Text(user);
    r.Text(desktop);
    r.U16(show);
    r.U8(useShow);
    std::string configBytes;
    r.Blob(configBytes);
    if (!r.Ok() || status != 0) {
        std::fprintf(stderr, "the machine server refused the program\n");
        return false;
    }
    // The machine's configuration as its control client set it (else the defaults).
    Config config;
    if (!configBytes.empty() && !wire::DecodeConfig(configBytes, config))
        std::fprintf(stderr, "the machine's configuration is malformed: the defaults hold\n");
    config.hostFolder = folder;
    // Its console is the host's standard output; what it tells a debugger goes to standard error.
    config.echoConsole = true;
    config.echoDebugOutput = true;
    config.clock = mode == 0 ? ClockMode::Virtual : ClockMode::Real;
    config.clockSpeed = static_cast<double>(speedMicros) / 1e6;
    config.startTick = now;
    Machine::Reset(config);
    // Started from a shell: the program is its own image in the program folder.
    if (image.empty()) {
        image = config.programFolder + exe;
        commandLine = JoinCommandLine(image, argc, argv);
    } else if (image.find(L'\\') == std::wstring::npos) {
        image = config.programFolder + image;
    }
    machine().processes().SetOwnIdentity(pid, image, commandLine, user, desktop, useShow != 0,
                                         show);
    g_link = link.release();
    // The machine's shared things are the server's from here on.
    machine().registry().UseRemote(new ServedRegistry(*g_link));
    ShareWindows(*g_link, pid);
    machine().services().UseRemote(NewServedServices(*g_link));
    wire::Writer devices;
    devices.U16(static_cast<std::uint16_t>(wire::DevicesOp::Tree));
    auto tree = g_link->CallBeforeRun(wire::Kind::Devices, devices.Bytes());
    if (!tree || tree->status != 0 || !JoinServedDevices(*g_link, tree->body))
        std::fprintf(stderr, "the machine server gave no device tree\n");
    machine().fileShares().UseRemote(ServedFileShares(*g_link));
    ShareTray(*g_link);
    Kernel::Get().SetClockLink(g_link);
    g_link->Run();
    // Registered after the machine and the link's tables were made: runs before they go.
    std::atexit([] { g_link->StopReceiving(); });
    StartDeviceNotices();
    JoinServedRas(*g_link);
    return true;
}

void LeaveServer(std::uint32_t exitCode) {
    if (ServerLink* link = Link()) link->Leave(exitCode);
}

void ExitHostProcess(std::uint32_t exitCode) {
    LeaveServer(exitCode);
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(static_cast<int>(exitCode & 0xFF));
}

}  // namespace sim
