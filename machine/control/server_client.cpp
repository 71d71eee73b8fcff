#include "machine/control/server_client.h"

#include <csignal>
#include <cstdio>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "machine/device_wire.h"
#include "machine/machine.h"
#include "machine/config_wire.h"
#include "machine/ras_wire.h"
#include "machine/wire.h"

namespace sim::control {

struct FrameInput {
    wire::FrameBuffer buffer;
};

namespace {

constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;

std::uint64_t DeadlineAfter(std::uint64_t now, std::uint64_t timeoutMs) {
    return timeoutMs == kNoTimeout || now > wire::kNever - timeoutMs ? wire::kNever
                                                                    : now + timeoutMs;
}

}  // namespace

std::unique_ptr<ServerClient> ServerClient::StartServer(const std::string& serverProgram,
                                                        const std::string& folder) {
    int pid = -1;
    int fd = wire::StartServer(serverProgram, folder, &pid, {"--die-with-parent"});
    if (fd < 0) return nullptr;
    std::unique_ptr<ServerClient> c(new ServerClient(fd, pid));
    if (!c->Hello()) return nullptr;  // the destructor kills what was started
    return c;
}

std::unique_ptr<ServerClient> ServerClient::Connect(const std::string& folder) {
    int fd = wire::ConnectToFolder(folder);
    if (fd < 0) return nullptr;
    std::unique_ptr<ServerClient> c(new ServerClient(fd, -1));
    if (!c->Hello()) return nullptr;
    return c;
}

ServerClient::ServerClient(int fd, int serverPid)
    : fd_(fd), serverPid_(serverPid), in_(std::make_unique<FrameInput>()) {}

ServerClient::~ServerClient() {
    if (fd_ >= 0) close(fd_);
    if (serverPid_ > 0) {
        kill(serverPid_, SIGKILL);
        waitpid(serverPid_, nullptr, 0);
    }
}

std::optional<ServerClient::Answer> ServerClient::Call(std::uint16_t kind,
                                                       const std::string& payload) {
    auto f = wire::Call(fd_, in_->buffer, static_cast<wire::Kind>(kind), nextId_++, payload);
    if (!f) return std::nullopt;
    wire::Reader r(f->payload);
    Answer a{0, {}};
    if (!r.U32(a.status)) return std::nullopt;
    a.body = f->payload.substr(4);
    return a;
}

bool ServerClient::Hello() {
    wire::Writer w;
    w.U16(static_cast<std::uint16_t>(wire::Role::Control))
        .U32(static_cast<std::uint32_t>(getpid()))
        .U32(0)
        .Text(L"control");
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::Hello), w.Bytes());
    return a && a->status == 0;
}

bool ServerClient::Ping() {
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::Ping), {});
    return a && a->status == 0;
}

bool ServerClient::RegisterProgram(const std::wstring& imageName,
                                   const std::string& hostExecutable) {
    wire::Writer w;
    w.Text(imageName).Text(FromUtf8(hostExecutable));
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::RegisterProgram), w.Bytes());
    return a && a->status == 0;
}

std::optional<ServerClient::Started> ServerClient::StartProcess(const std::wstring& imagePath,
                                                                const std::wstring& commandLine,
                                                                const std::string& stdoutPath) {
    wire::Writer w;
    w.Text(imagePath).Text(commandLine).Text(L"").Text(L"").U16(0).U8(0);
    w.Text(FromUtf8(stdoutPath));
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::Spawn), w.Bytes());
    if (!a || a->status != 0) return std::nullopt;
    wire::Reader r(a->body);
    Started s;
    std::uint32_t host = 0;
    if (!r.U32(s.pid) || !r.U32(host)) return std::nullopt;
    s.hostPid = static_cast<int>(host);
    return s;
}

std::vector<ServerClient::ProcessInfo> ServerClient::Processes() {
    std::vector<ProcessInfo> out;
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::Processes), {});
    if (!a || a->status != 0) return out;
    wire::Reader r(a->body);
    std::uint32_t count = 0;
    r.U32(count);
    for (std::uint32_t i = 0; i < count && r.Ok(); ++i) {
        ProcessInfo p;
        std::uint32_t host = 0;
        std::uint8_t running = 0;
        r.U32(p.pid);
        r.U32(host);
        r.Text(p.image);
        r.Text(p.commandLine);
        r.Text(p.user);
        r.U8(running);
        r.U32(p.exitCode);
        p.hostPid = static_cast<int>(host);
        p.running = running != 0;
        if (r.Ok()) out.push_back(p);
    }
    return out;
}

bool ServerClient::Terminate(std::uint32_t pid, std::uint32_t exitCode) {
    wire::Writer w;
    w.U32(pid).U32(exitCode);
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::Terminate), w.Bytes());
    return a && a->status == 0;
}

bool ServerClient::HoldClock(bool hold) {
    wire::Writer w;
    w.U8(hold ? 1 : 0);
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::HoldClock), w.Bytes());
    return a && a->status == 0;
}

std::uint32_t ServerClient::AddProcess(const std::wstring& imagePath, const std::wstring& user,
                                      const std::wstring& desktop) {
    wire::Writer w;
    w.Text(imagePath).Text(user).Text(desktop);
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::AddProcess), w.Bytes());
    std::uint32_t pid = 0;
    if (a && a->status == 0) wire::Reader(a->body).U32(pid);
    return pid;
}

std::uint64_t ServerClient::Now() {
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::Now), {});
    std::uint64_t now = 0;
    if (a && a->status == 0) wire::Reader(a->body).U64(now);
    return now;
}

std::optional<std::uint32_t> ServerClient::WaitForExit(std::uint32_t pid,
                                                       std::uint64_t timeoutMs) {
    wire::Writer w;
    w.U32(pid).U64(DeadlineAfter(Now(), timeoutMs));
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::WaitProcess), w.Bytes());
    if (!a || a->status != 0) return std::nullopt;
    wire::Reader r(a->body);
    std::uint32_t result = 0, code = 0;
    if (!r.U32(result) || !r.U32(code) || result != 0) return std::nullopt;
    return code;
}

std::uint32_t ServerClient::CreateEvent(const std::wstring& name, bool manualReset,
                                        bool initialState) {
    wire::Writer w;
    w.U16(static_cast<std::uint16_t>(wire::ObjectKind::Event)).Text(name).U32(1);
    w.I32(manualReset ? 1 : 0).I32(initialState ? 1 : 0);
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::CreateNamed), w.Bytes());
    std::uint32_t handle = 0;
    if (a && (a->status == 0 || a->status == 183 /* already exists */))
        wire::Reader(a->body).U32(handle);
    return handle;
}

std::uint32_t ServerClient::CreateSemaphore(const std::wstring& name, std::int32_t initial,
                                            std::int32_t maximum) {
    wire::Writer w;
    w.U16(static_cast<std::uint16_t>(wire::ObjectKind::Semaphore)).Text(name).U32(1);
    w.I32(initial).I32(maximum);
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::CreateNamed), w.Bytes());
    std::uint32_t handle = 0;
    if (a && (a->status == 0 || a->status == 183 /* already exists */))
        wire::Reader(a->body).U32(handle);
    return handle;
}

bool ServerClient::ReleaseSemaphore(std::uint32_t semaphore, std::int32_t count) {
    wire::Writer w;
    w.U16(static_cast<std::uint16_t>(wire::SignalOp::ReleaseSemaphore)).U32(semaphore).U32(1);
    w.I32(count);
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::Signal), w.Bytes());
    return a && a->status == 0;
}

std::optional<ServerClient::Journal> ServerClient::ReadJournal(std::uint32_t pid) {
    wire::Writer w;
    w.U32(pid);
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::Journal), w.Bytes());
    if (!a || a->status != 0) return std::nullopt;
    wire::Reader r(a->body);
    Journal j;
    std::uint32_t count = 0;
    if (!r.Text(j.console) || !r.U32(count)) return std::nullopt;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::wstring line;
        if (!r.Text(line)) return std::nullopt;
        j.debug.push_back(std::move(line));
    }
    return j;
}

bool ServerClient::Configure(const sim::Config& config) {
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::Configure), wire::EncodeConfig(config));
    return a && a->status == 0;
}

bool ServerClient::SetEvent(std::uint32_t event) {
    wire::Writer w;
    w.U16(static_cast<std::uint16_t>(wire::SignalOp::SetEvent)).U32(event).U32(1).I32(0);
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::Signal), w.Bytes());
    return a && a->status == 0;
}

std::uint32_t ServerClient::Wait(std::uint32_t handle, std::uint64_t timeoutMs) {
    wire::Writer w;
    w.U32(1).U8(0).U64(DeadlineAfter(Now(), timeoutMs)).U32(1).U32(handle);
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::Wait), w.Bytes());
    std::uint32_t result = kWaitFailed;
    if (a && a->status == 0) wire::Reader(a->body).U32(result);
    return result;
}

std::vector<ServerClient::WindowEntry> ServerClient::Windows() {
    std::vector<WindowEntry> out;
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::Windows), {});
    if (!a || a->status != 0) return out;
    wire::Reader r(a->body);
    std::uint32_t count = 0;
    r.U32(count);
    for (std::uint32_t i = 0; i < count && r.Ok(); ++i) {
        WindowEntry e;
        std::uint8_t visible = 0;
        r.U64(e.hwnd);
        r.U32(e.pid);
        r.U32(e.thread);
        r.Text(e.className);
        r.Text(e.title);
        r.U8(visible);
        e.visible = visible != 0;
        if (r.Ok()) out.push_back(e);
    }
    return out;
}

bool ServerClient::WatchWindow(const std::wstring& title, std::uint32_t event,
                               std::uint32_t count) {
    wire::Writer w;
    w.Text(title).U32(count).U32(event);
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::WatchWindow), w.Bytes());
    return a && a->status == 0;
}

bool ServerClient::ScriptBox(int answer, std::uint32_t afterMs) {
    wire::Writer w;
    w.I32(answer).U32(afterMs);
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::ScriptBox), w.Bytes());
    return a && a->status == 0;
}

bool ServerClient::SaveScreenPng(const std::string& path) {
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::ScreenPng), {});
    std::string png;
    if (!a || a->status != 0 || !wire::Reader(a->body).Blob(png)) return false;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    bool written = std::fwrite(png.data(), 1, png.size(), out) == png.size();
    return std::fclose(out) == 0 && written;
}

std::optional<std::uint32_t> ServerClient::ScreenPixel(int x, int y) {
    wire::Writer w;
    w.I32(x).I32(y);
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::ScreenPixel), w.Bytes());
    std::uint32_t pixel = 0;
    if (!a || a->status != 0 || !wire::Reader(a->body).U32(pixel)) return std::nullopt;
    return pixel;
}

std::uint32_t ServerClient::Inject(std::uint8_t op, Button button, int x, int y,
                                   std::uint32_t key) {
    wire::Writer w;
    w.U8(op).U8(static_cast<std::uint8_t>(button)).I32(x).I32(y).U32(key);
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::InjectInput), w.Bytes());
    std::uint32_t pid = 0;
    if (!a || a->status != 0 || !wire::Reader(a->body).U32(pid)) return 0;
    return pid;
}

namespace {

std::uint8_t Op(wire::InputOp op) {
    return static_cast<std::uint8_t>(op);
}

}  // namespace

std::uint32_t ServerClient::MoveMouse(int x, int y) {
    return Inject(Op(wire::InputOp::Move), Button::Left, x, y, 0);
}
std::uint32_t ServerClient::PressMouse(int x, int y, Button button) {
    return Inject(Op(wire::InputOp::Press), button, x, y, 0);
}
std::uint32_t ServerClient::ReleaseMouse(int x, int y, Button button) {
    return Inject(Op(wire::InputOp::Release), button, x, y, 0);
}
std::uint32_t ServerClient::Click(int x, int y, Button button) {
    return Inject(Op(wire::InputOp::Click), button, x, y, 0);
}
std::uint32_t ServerClient::DoubleClick(int x, int y) {
    return Inject(Op(wire::InputOp::DoubleClick), Button::Left, x, y, 0);
}
std::uint32_t ServerClient::KeyDown(std::uint32_t virtualKey) {
    return Inject(Op(wire::InputOp::KeyDown), Button::Left, 0, 0, virtualKey);
}
std::uint32_t ServerClient::KeyUp(std::uint32_t virtualKey) {
    return Inject(Op(wire::InputOp::KeyUp), Button::Left, 0, 0, virtualKey);
}
std::uint32_t ServerClient::PressKey(std::uint32_t virtualKey) {
    return Inject(Op(wire::InputOp::Key), Button::Left, 0, 0, virtualKey);
}

std::vector<ServerClient::TrayEntry> ServerClient::TrayIcons() {
    std::vector<TrayEntry> out;
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::TrayIcons), {});
    if (!a || a->status != 0) return out;
    wire::Reader r(a->body);
    std::uint32_t count = 0;
    r.U32(count);
    for (std::uint32_t i = 0; i < count && r.Ok(); ++i) {
        TrayEntry e;
        std::uint8_t callback = 0, balloon = 0;
        r.U32(e.pid);
        r.U64(e.owner);
        r.U32(e.id);
        r.U8(callback);
        r.Text(e.tip);
        r.U8(balloon);
        r.Text(e.balloonTitle);
        r.Text(e.balloonText);
        e.callback = callback != 0;
        e.balloon = balloon != 0;
        if (r.Ok()) out.push_back(e);
    }
    return out;
}

bool ServerClient::ClickTrayIcon(std::uint64_t owner, std::uint32_t id, TrayClick click) {
    wire::Writer w;
    w.U64(owner).U32(id).U8(static_cast<std::uint8_t>(click));
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::TrayClick), w.Bytes());
    return a && a->status == 0;
}

std::vector<ServerClient::Box> ServerClient::BoxJournal() {
    std::vector<Box> out;
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::BoxJournal), {});
    if (!a || a->status != 0) return out;
    wire::Reader r(a->body);
    std::uint32_t count = 0;
    r.U32(count);
    for (std::uint32_t i = 0; i < count && r.Ok(); ++i) {
        Box b;
        std::int32_t answer = 0;
        r.U32(b.pid);
        r.Text(b.caption);
        r.Text(b.text);
        r.U32(b.type);
        r.I32(answer);
        b.answer = answer;
        if (r.Ok()) out.push_back(b);
    }
    return out;
}

std::optional<std::uint32_t> ServerClient::PlugModem(const ModemPlug& modem) {
    ModemOptions options;
    options.productId = modem.productId;
    options.variant = modem.usbChip ? ModemVariant::UsbChip : ModemVariant::Standard;
    options.startInModemMode = modem.startInModemMode;
    wire::Writer w;
    w.U16(static_cast<std::uint16_t>(wire::DevicesOp::PlugModem));
    wire::WriteModemOptions(w, options);
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::Devices), w.Bytes());
    std::uint32_t index = 0;
    if (!a || a->status != 0 || !wire::Reader(a->body).U32(index)) return std::nullopt;
    return index;
}

bool ServerClient::DeviceCall(std::uint16_t op, std::uint32_t modem) {
    wire::Writer w;
    w.U16(op).U32(modem);
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::Devices), w.Bytes());
    return a && a->status == 0;
}

bool ServerClient::UnplugModem(std::uint32_t modem) {
    return DeviceCall(static_cast<std::uint16_t>(wire::DevicesOp::UnplugModem), modem);
}

bool ServerClient::ReplugModem(std::uint32_t modem) {
    return DeviceCall(static_cast<std::uint16_t>(wire::DevicesOp::ReplugModem), modem);
}

std::optional<ServerClient::ModemState> ServerClient::GetModemState(std::uint32_t modem) {
    wire::Writer w;
    w.U16(static_cast<std::uint16_t>(wire::DevicesOp::ModemState)).U32(modem);
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::Devices), w.Bytes());
    if (!a || a->status != 0) return std::nullopt;
    wire::Reader r(a->body);
    ModemState s;
    std::uint8_t mode = 0;
    if (!r.U8(mode) || !r.U32(s.switches) || !r.U32(s.ejectRequests) || !r.U32(s.passThroughs))
        return std::nullopt;
    s.modemMode = mode != 0;
    return s;
}

std::vector<ServerClient::DeviceNodeInfo> ServerClient::DeviceNodes(
    const std::wstring& instanceIdPrefix) {
    std::vector<DeviceNodeInfo> out;
    wire::Writer w;
    w.U16(static_cast<std::uint16_t>(wire::DevicesOp::Tree));
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::Devices), w.Bytes());
    if (!a || a->status != 0) return out;
    std::vector<DeviceNode> nodes;
    wire::Reader r(a->body);
    if (!wire::ReadNodes(r, nodes, nullptr)) return out;
    const std::wstring prefix = Upper(instanceIdPrefix);
    for (const DeviceNode& n : nodes) {
        if (Upper(n.spec.instanceId).rfind(prefix, 0) != 0) continue;
        auto port = n.spec.deviceKey.find(L"PortName");
        out.push_back({n.spec.instanceId, n.present, !n.disabledGlobal && !n.disabledConfig,
                       n.problem, port == n.spec.deviceKey.end() ? L"" : port->second});
    }
    return out;
}

std::optional<ServerClient::Answer> ServerClient::RasCall(const std::string& payload) {
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::Ras), payload);
    if (!a || a->status != 0) return std::nullopt;
    return a;
}

bool ServerClient::RasFlag(const std::string& payload) {
    auto a = RasCall(payload);
    std::uint8_t done = 0;
    return a && wire::Reader(a->body).U8(done) && done != 0;
}

namespace {

wire::Writer RasRequest(wire::RasOp op) {
    wire::Writer w;
    w.U16(static_cast<std::uint16_t>(op));
    return w;
}

}  // namespace

bool ServerClient::ScriptNextDial(const sim::DialScript& script) {
    wire::Writer w = RasRequest(wire::RasOp::ScriptNextDial);
    wire::WriteScript(w, script);
    return RasCall(w.Bytes()).has_value();
}

bool ServerClient::SetDefaultDialScript(const sim::DialScript& script) {
    wire::Writer w = RasRequest(wire::RasOp::SetDefaultScript);
    wire::WriteScript(w, script);
    return RasCall(w.Bytes()).has_value();
}

bool ServerClient::SetRasCounters(std::uint64_t sent, std::uint64_t received) {
    wire::Writer w = RasRequest(wire::RasOp::SetCounters);
    w.U64(sent).U64(received);
    return RasFlag(w.Bytes());
}

bool ServerClient::SetTrafficRates(std::uint64_t sentPerSecond, std::uint64_t receivedPerSecond) {
    wire::Writer w = RasRequest(wire::RasOp::SetTrafficRates);
    w.U64(sentPerSecond).U64(receivedPerSecond);
    return RasCall(w.Bytes()).has_value();
}

bool ServerClient::DropLine(std::uint32_t error) {
    wire::Writer w = RasRequest(wire::RasOp::DropLine);
    w.U32(error);
    return RasFlag(w.Bytes());
}

bool ServerClient::SetHangUpTime(std::uint32_t ms) {
    wire::Writer w = RasRequest(wire::RasOp::SetHangUpTime);
    w.U32(ms);
    return RasCall(w.Bytes()).has_value();
}

std::optional<ServerClient::RasJournal> ServerClient::GetRasJournal() {
    auto a = RasCall(RasRequest(wire::RasOp::Journal).Bytes());
    if (!a) return std::nullopt;
    wire::Reader r(a->body);
    std::uint32_t dials = 0, hangUps = 0, calls = 0, count = 0;
    if (!r.U32(dials) || !r.U32(hangUps) || !r.U32(calls) || !r.U32(count)) return std::nullopt;
    RasJournal j;
    j.dials = static_cast<int>(dials);
    j.hangUps = static_cast<int>(hangUps);
    j.hangUpCalls = static_cast<int>(calls);
    for (std::uint32_t i = 0; i < count; ++i) {
        sim::DialRecord d;
        if (!wire::ReadDialRecord(r, d)) return std::nullopt;
        j.records.push_back(d);
    }
    return j;
}

std::vector<sim::RasLine> ServerClient::RasConnections() {
    std::vector<sim::RasLine> out;
    auto a = RasCall(RasRequest(wire::RasOp::Lines).Bytes());
    if (!a) return out;
    wire::Reader r(a->body);
    wire::ReadLines(r, out);
    return out;
}

std::optional<sim::RasEntryRecord> ServerClient::RasEntry(const std::wstring& name,
                                                          const std::wstring& phonebook) {
    wire::Writer w = RasRequest(wire::RasOp::GetEntry);
    w.Text(phonebook).Text(name);
    auto a = RasCall(w.Bytes());
    sim::RasEntryRecord entry;
    if (!a) return std::nullopt;
    wire::Reader r(a->body);
    if (!wire::ReadEntry(r, entry)) return std::nullopt;
    return entry;
}

bool ServerClient::Stop() {
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::Stop), {});
    if (!a || a->status != 0) return false;
    if (serverPid_ > 0) {
        waitpid(serverPid_, nullptr, 0);
        serverPid_ = -1;
    }
    return true;
}

int ServerClient::LeaveAndWaitForServer() {
    close(fd_);
    fd_ = -1;
    if (serverPid_ <= 0) return -1;
    int status = 0;
    waitpid(serverPid_, &status, 0);
    serverPid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool ServerClient::SendBytes(const std::string& bytes) {
    return wire::SendAll(fd_, bytes);
}

std::optional<std::uint32_t> ServerClient::ReadStatus(std::uint32_t requestId) {
    for (;;) {
        auto f = wire::ReadFrame(fd_, in_->buffer);
        if (!f) return std::nullopt;
        if (f->kind != wire::Kind::Reply || f->id != requestId) continue;
        std::uint32_t status = 0;
        if (!wire::Reader(f->payload).U32(status)) return std::nullopt;
        return status;
    }
}

}  // namespace sim::control
