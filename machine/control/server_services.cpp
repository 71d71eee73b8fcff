// The control client's view of the machine server's services.
#include "machine/control/server_client.h"

#include "machine/service_wire.h"

namespace sim::control {

namespace {

constexpr std::uint32_t kNoAnswer = 0xFFFFFFFF;

}  // namespace

std::optional<ServerClient::ServiceState> ServerClient::QueryService(const std::wstring& name) {
    wire::Writer w;
    w.Text(name);
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::ScInfo), w.Bytes());
    if (!a || a->status != 0) return std::nullopt;
    wire::Reader r(a->body);
    SERVICE_STATUS_PROCESS s{};
    ServiceState out;
    std::uint8_t marked = 0;
    std::uint32_t count = 0;
    if (!wire::GetStatus(r, s) || !r.Text(out.binaryPath) || !r.Text(out.account) ||
        !r.U32(out.startType) || !r.U8(marked) || !r.U32(count))
        return std::nullopt;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t state = 0;
        if (!r.U32(state)) return std::nullopt;
        out.history.push_back(state);
    }
    out.state = s.dwCurrentState;
    out.win32ExitCode = s.dwWin32ExitCode;
    out.controlsAccepted = s.dwControlsAccepted;
    out.pid = s.dwProcessId;
    out.markedForDelete = marked != 0;
    return out;
}

bool ServerClient::WaitForServiceState(const std::wstring& name, std::uint32_t state,
                                       std::uint64_t timeoutMs) {
    wire::Writer w;
    w.Text(name).U32(state).U64(timeoutMs == kNoTimeout ? wire::kNever : timeoutMs);
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::ScWaitState), w.Bytes());
    return a && a->status == 0;
}

std::uint32_t ServerClient::StartService(const std::wstring& name) {
    wire::Writer w;
    w.Text(name);
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::ScStart), w.Bytes());
    return a ? a->status : kNoAnswer;
}

std::uint32_t ServerClient::ControlService(const std::wstring& name, std::uint32_t control,
                                           std::uint32_t eventType) {
    wire::Writer w;
    w.Text(name).U32(control).U32(eventType);
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::ScControl), w.Bytes());
    return a ? a->status : kNoAnswer;
}

bool ServerClient::CreateRegistryKey(const std::wstring& path) {
    wire::Writer w;
    w.U16(static_cast<std::uint16_t>(wire::RegistryOp::CreateKey)).Text(path).Text(L"");
    w.U32(0).Blob({});
    auto a = Call(static_cast<std::uint16_t>(wire::Kind::Registry), w.Bytes());
    std::uint8_t done = 0;
    return a && a->status == 0 && wire::Reader(a->body).U8(done) && done != 0;
}

}  // namespace sim::control
