// The machine server's service control manager: the services' database and each service's
// status, shared by every process of the machine. StartServiceW's request starts the service's
// program as a host process of the server with the service's identity (LocalSystem, the
// service desktop, its command line) and is answered once that process's dispatcher has
// connected; the dispatcher's status reports land here; a control is pushed to the dispatcher's
// process and answered once its handler has returned; the end of the service's process (or of
// its connection) ends the service.
//
// It answers through the core (the hooks): at once, or later for a start, a control or a wait
// for a state, each bounded by a deadline of the machine clock.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "machine/services.h"
#include "machine/wire.h"

namespace sim::server {

using ClientId = int;

struct ServiceHooks {
    // Answers request `id` of the client (dropped when the client has gone).
    std::function<void(ClientId, std::uint32_t id, std::uint32_t status, const std::string& body)>
        answer;
    // Sends the client a control for its service; the client counts as running from then on.
    std::function<void(ClientId, const std::string& payload)> push;
    // Starts a built program; its machine pid, or 0 with the error.
    std::function<std::uint32_t(const std::wstring& image, const std::wstring& commandLine,
                                const std::wstring& user, const std::wstring& desktop,
                                DWORD* error)>
        spawn;
    // The machine pid of a client's process (0: a control client).
    std::function<std::uint32_t(ClientId)> pidOf;
    std::function<std::uint64_t()> now;
};

class ServiceDb {
public:
    explicit ServiceDb(ServiceHooks hooks);
    static bool Handles(wire::Kind kind);
    // A request of the services' range (a malformed one fails alone).
    void Handle(ClientId client, const wire::Frame& f);
    // The client's connection closed: its handles are released, its requests dropped, a
    // service whose dispatcher it was has ended.
    void ClientGone(ClientId client);
    // A process has ended: a service it ran has ended.
    void ProcessEnded(std::uint32_t pid);
    // The earliest deadline of the answers it owes (wire::kNever: none).
    std::uint64_t NextDeadline() const;
    // Answers what is due at `now`.
    void Expire(std::uint64_t now);
    // Whether the client waits for an answer of the services.
    bool Waiting(ClientId client) const;

private:
    struct Service {
        ServiceInfo info;
        std::map<ClientId, int> handles;
        std::uint32_t launch = 0;     // the status handle of its last start
        std::uint32_t launchPid = 0;  // the process of its last start while it runs
        ClientId dispatcher = 0;
        bool stoppedReported = false;
        std::vector<DWORD> history;  // its states since its last start
    };
    enum class What { Start, Control, State };
    struct Owed {
        What what = What::Start;
        ClientId client = 0;
        std::uint32_t id = 0;
        std::wstring key;
        std::uint32_t launch = 0;
        std::uint32_t seq = 0;     // a control's
        DWORD state = 0;           // the state waited for
        std::uint64_t deadline = wire::kNever;
    };

    // Each returns the answer's status and fills the body.
    std::uint32_t Create(wire::Reader& r);
    std::uint32_t Open(ClientId client, wire::Reader& r, bool open);
    std::uint32_t ChangeConfig(wire::Reader& r);
    std::uint32_t Start(ClientId client, std::uint32_t id, wire::Reader& r, bool* later);
    std::uint32_t Control(ClientId client, std::uint32_t id, wire::Reader& r, bool* later);
    std::uint32_t Dependents(wire::Reader& r, wire::Writer& body);
    std::uint32_t Connect(ClientId client, wire::Reader& r, wire::Writer& body);
    std::uint32_t SetStatus(ClientId client, wire::Reader& r);
    std::uint32_t ControlDone(ClientId client, wire::Reader& r);
    std::uint32_t Info(wire::Reader& r, wire::Writer& body);
    std::uint32_t WaitState(ClientId client, std::uint32_t id, wire::Reader& r, bool* later);

    Service* Find(const std::wstring& name);
    Service* FindLaunch(std::uint32_t launch);
    void MaybeRemove(const std::wstring& key);
    // The service's process or connection has gone without it having reported its end.
    void EndService(const std::wstring& key);
    // Owes the client an answer to request `id` within the time-out (machine milliseconds).
    Owed& Owe(What what, ClientId client, std::uint32_t id, const std::wstring& name,
              std::uint32_t launch, std::uint64_t timeoutMs);
    // Answers the owed items that `done` picks, in the order they were owed.
    void Settle(const std::function<bool(const Owed&)>& done,
                const std::function<void(const Owed&)>& answer);
    void SettleStateWaits();
    std::string StatusBody(const std::wstring& key);

    ServiceHooks hooks_;
    std::map<std::wstring, Service> services_;  // key: lower-case name
    std::vector<Owed> owed_;
    std::uint32_t nextLaunch_ = 0x7000;
    std::uint32_t nextSeq_ = 0;
};

}  // namespace sim::server
