#include "machine/server/services.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include <winbase.h>
#include "machine/machine.h"
#include "machine/processes.h"
#include "machine/service_wire.h"

namespace sim::server {

namespace {

constexpr std::uint64_t kStartTimeoutMs = 30000;
constexpr std::uint64_t kControlTimeoutMs = 30000;

std::uint64_t After(std::uint64_t now, std::uint64_t ms) {
    return ms >= wire::kNever - now ? wire::kNever : now + ms;
}

SERVICE_STATUS_PROCESS StoppedStatus() {
    SERVICE_STATUS_PROCESS s{};
    s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    s.dwCurrentState = SERVICE_STOPPED;
    return s;
}

}  // namespace

ServiceDb::ServiceDb(ServiceHooks hooks) : hooks_(std::move(hooks)) {}

bool ServiceDb::Handles(wire::Kind kind) {
    auto k = static_cast<std::uint16_t>(kind);
    return k >= static_cast<std::uint16_t>(wire::Kind::ScCreate) &&
           k <= static_cast<std::uint16_t>(wire::Kind::ScWaitState);
}

ServiceDb::Service* ServiceDb::Find(const std::wstring& name) {
    auto it = services_.find(Lower(name));
    return it == services_.end() ? nullptr : &it->second;
}

ServiceDb::Service* ServiceDb::FindLaunch(std::uint32_t launch) {
    for (auto& [key, s] : services_)
        if (s.launch == launch && launch != 0) return &s;
    return nullptr;
}

void ServiceDb::MaybeRemove(const std::wstring& key) {
    auto it = services_.find(key);
    if (it == services_.end()) return;
    const Service& s = it->second;
    if (s.info.markedForDelete && s.info.openHandles <= 0 &&
        s.info.status.dwCurrentState == SERVICE_STOPPED)
        services_.erase(it);
}

std::string ServiceDb::StatusBody(const std::wstring& key) {
    wire::Writer w;
    auto it = services_.find(key);
    wire::PutStatus(w, it == services_.end() ? StoppedStatus() : it->second.info.status);
    return w.Bytes();
}

void ServiceDb::Handle(ClientId client, const wire::Frame& f) {
    using wire::Kind;
    wire::Reader r(f.payload);
    wire::Writer body;
    bool later = false;
    std::uint32_t status = ERROR_INVALID_PARAMETER;
    std::wstring name;
    switch (f.kind) {
        case Kind::ScCreate:
            status = Create(r);
            break;
        case Kind::ScOpen:
        case Kind::ScClose:
            status = Open(client, r, f.kind == Kind::ScOpen);
            break;
        case Kind::ScQuery:
            if (!r.Text(name) || !r.AtEnd()) break;
            if (Service* s = Find(name)) {
                ++s->info.statusQueries;
                wire::PutStatus(body, s->info.status);
                status = 0;
            } else {
                status = ERROR_SERVICE_DOES_NOT_EXIST;
            }
            break;
        case Kind::ScChangeConfig:
            status = ChangeConfig(r);
            break;
        case Kind::ScDelete:
            if (!r.Text(name) || !r.AtEnd()) break;
            if (Service* s = Find(name)) {
                status = s->info.markedForDelete ? ERROR_SERVICE_MARKED_FOR_DELETE : 0;
                s->info.markedForDelete = true;
                MaybeRemove(Lower(name));
            } else {
                status = ERROR_SERVICE_DOES_NOT_EXIST;
            }
            break;
        case Kind::ScStart:
            status = Start(client, f.id, r, &later);
            break;
        case Kind::ScControl:
            status = Control(client, f.id, r, &later);
            break;
        case Kind::ScDependents:
            status = Dependents(r, body);
            break;
        case Kind::ScWho: {
            if (!r.AtEnd()) break;
            std::uint32_t pid = hooks_.pidOf(client);
            std::wstring service;
            for (const auto& [key, s] : services_)
                if (pid != 0 && s.launchPid == pid) service = s.info.config.name;
            body.Text(service);
            status = 0;
            break;
        }
        case Kind::ScConnect:
            status = Connect(client, r, body);
            break;
        case Kind::ScSetStatus:
            status = SetStatus(client, r);
            break;
        case Kind::ScControlDone:
            status = ControlDone(client, r);
            break;
        case Kind::ScInfo:
            status = Info(r, body);
            break;
        case Kind::ScWaitState:
            status = WaitState(client, f.id, r, &later);
            break;
        default:
            status = ERROR_INVALID_FUNCTION;
    }
    if (!later) hooks_.answer(client, f.id, status, body.Bytes());
}

std::uint32_t ServiceDb::Create(wire::Reader& r) {
    ServiceConfig c;
    if (!r.Text(c.name) || !r.Text(c.displayName) || !r.U32(c.type) || !r.U32(c.startType) ||
        !r.U32(c.errorControl) || !r.Text(c.binaryPath) || !wire::GetNames(r, c.dependencies) ||
        !r.Text(c.account) || !r.AtEnd())
        return ERROR_INVALID_PARAMETER;
    if (DWORD e = CheckNewService(c)) return e;
    if (c.startType > SERVICE_DISABLED || c.errorControl > 3) return ERROR_INVALID_PARAMETER;
    if (Service* s = Find(c.name))
        return s->info.markedForDelete ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS;
    Service s;
    if (c.displayName.empty()) c.displayName = c.name;
    s.info.config = c;
    s.info.status = StoppedStatus();
    s.info.status.dwServiceType = c.type;
    s.info.status.dwWin32ExitCode = ERROR_SERVICE_NEVER_STARTED;
    services_.emplace(Lower(c.name), std::move(s));
    return 0;
}

std::uint32_t ServiceDb::Open(ClientId client, wire::Reader& r, bool open) {
    std::wstring name;
    if (!r.Text(name) || !r.AtEnd()) return ERROR_INVALID_PARAMETER;
    Service* s = Find(name);
    if (!s) return ERROR_SERVICE_DOES_NOT_EXIST;
    int& count = s->handles[client];
    if (open) {
        ++count;
        ++s->info.openHandles;
        return 0;
    }
    if (count <= 0) return ERROR_INVALID_HANDLE;
    --count;
    --s->info.openHandles;
    MaybeRemove(Lower(name));
    return 0;
}

std::uint32_t ServiceDb::ChangeConfig(wire::Reader& r) {
    std::wstring name, binaryPath, displayName;
    DWORD type = 0, startType = 0, errorControl = 0;
    std::uint8_t hasBinary = 0, hasDisplay = 0, hasDeps = 0;
    std::vector<std::wstring> deps;
    if (!r.Text(name) || !r.U32(type) || !r.U32(startType) || !r.U32(errorControl) ||
        !r.U8(hasBinary) || !r.Text(binaryPath) || !r.U8(hasDisplay) || !r.Text(displayName) ||
        !r.U8(hasDeps) || !wire::GetNames(r, deps) || !r.AtEnd())
        return ERROR_INVALID_PARAMETER;
    Service* s = Find(name);
    if (!s) return ERROR_SERVICE_DOES_NOT_EXIST;
    if (s->info.markedForDelete) return ERROR_SERVICE_MARKED_FOR_DELETE;
    ApplyConfigChange(s->info.config, type, startType, errorControl,
                      hasBinary ? binaryPath.c_str() : nullptr,
                      hasDisplay ? displayName.c_str() : nullptr, hasDeps ? &deps : nullptr);
    return 0;
}

std::uint32_t ServiceDb::Start(ClientId client, std::uint32_t id, wire::Reader& r, bool* later) {
    std::wstring name;
    if (!r.Text(name) || !r.AtEnd()) return ERROR_INVALID_PARAMETER;
    Service* s = Find(name);
    if (!s) return ERROR_SERVICE_DOES_NOT_EXIST;
    if (s->info.markedForDelete) return ERROR_SERVICE_MARKED_FOR_DELETE;
    if (s->info.config.startType == SERVICE_DISABLED) return ERROR_SERVICE_DISABLED;
    if (s->info.status.dwCurrentState != SERVICE_STOPPED) return ERROR_SERVICE_ALREADY_RUNNING;
    const ServiceConfig& c = s->info.config;
    auto items = ProcessTable::SplitCommandLine(c.binaryPath);
    if (items.empty() || items[0].empty()) return ERROR_FILE_NOT_FOUND;
    std::wstring user = c.account.empty() ? L"SYSTEM" : c.account;
    std::wstring desktop = (c.type & SERVICE_INTERACTIVE_PROCESS) ? L"WinSta0\\Default"
                                                                  : L"Service-0x0-3e7$\\Default";
    DWORD error = 0;
    std::uint32_t pid = hooks_.spawn(items[0], c.binaryPath, user, desktop, &error);
    if (pid == 0) return error != 0 ? error : ERROR_FILE_NOT_FOUND;
    s->launch = nextLaunch_ += 4;
    s->launchPid = pid;
    s->dispatcher = 0;
    s->stoppedReported = false;
    s->info.dispatcherConnected = false;
    s->info.serviceMainReturned = false;
    ++s->info.starts;
    s->info.status = StartPendingStatus(c.type, pid);
    s->history = {SERVICE_START_PENDING};
    Owe(What::Start, client, id, name, s->launch, kStartTimeoutMs);
    *later = true;
    return 0;
}

std::uint32_t ServiceDb::Control(ClientId client, std::uint32_t id, wire::Reader& r, bool* later) {
    std::wstring name;
    DWORD control = 0, eventType = 0;
    if (!r.Text(name) || !r.U32(control) || !r.U32(eventType) || !r.AtEnd())
        return ERROR_INVALID_PARAMETER;
    Service* s = Find(name);
    if (!s) return ERROR_SERVICE_DOES_NOT_EXIST;
    if (DWORD e = ControlRefusal(s->info.status, s->dispatcher != 0, s->stoppedReported, control))
        return e;
    Owed& o = Owe(What::Control, client, id, name, s->launch, kControlTimeoutMs);
    o.seq = ++nextSeq_;
    wire::Writer push;
    push.U32(o.seq).U32(control).U32(eventType).Blob({});
    hooks_.push(s->dispatcher, push.Bytes());
    *later = true;
    return 0;
}

std::uint32_t ServiceDb::Dependents(wire::Reader& r, wire::Writer& body) {
    std::wstring name;
    DWORD filter = 0;
    if (!r.Text(name) || !r.U32(filter) || !r.AtEnd()) return ERROR_INVALID_PARAMETER;
    std::vector<const Service*> list;
    for (const auto& [key, s] : services_)
        if (IsListedDependent(s.info, name, filter)) list.push_back(&s);
    body.U32(static_cast<std::uint32_t>(list.size()));
    for (const Service* s : list) {
        body.Text(s->info.config.name).Text(s->info.config.displayName);
        wire::PutStatus(body, s->info.status);
    }
    return 0;
}

std::uint32_t ServiceDb::Connect(ClientId client, wire::Reader& r, wire::Writer& body) {
    std::wstring name;
    if (!r.Text(name) || !r.AtEnd()) return ERROR_INVALID_PARAMETER;
    std::uint32_t pid = hooks_.pidOf(client);
    Service* s = Find(name);
    if (!s || pid == 0 || s->launchPid != pid) return ERROR_FAILED_SERVICE_CONTROLLER_CONNECT;
    if (s->dispatcher != 0) return ERROR_SERVICE_ALREADY_RUNNING;
    if (s->info.status.dwCurrentState != SERVICE_START_PENDING)
        return ERROR_FAILED_SERVICE_CONTROLLER_CONNECT;
    s->dispatcher = client;
    s->info.dispatcherConnected = true;
    body.U32(s->launch);
    std::uint32_t launch = s->launch;
    Settle([&](const Owed& o) { return o.what == What::Start && o.launch == launch; },
           [&](const Owed& o) { hooks_.answer(o.client, o.id, 0, {}); });
    return 0;
}

std::uint32_t ServiceDb::SetStatus(ClientId client, wire::Reader& r) {
    std::uint32_t launch = 0;
    SERVICE_STATUS_PROCESS reported{};
    if (!r.U32(launch) || !wire::GetStatus(r, reported) || !r.AtEnd())
        return ERROR_INVALID_PARAMETER;
    Service* s = FindLaunch(launch);
    if (!s || s->dispatcher != client) return ERROR_INVALID_HANDLE;
    if (reported.dwCurrentState < SERVICE_STOPPED || reported.dwCurrentState > SERVICE_PAUSED)
        return ERROR_INVALID_DATA;
    DWORD pid = s->info.status.dwProcessId;
    DWORD flags = s->info.status.dwServiceFlags;
    s->info.status = reported;
    s->info.status.dwProcessId = reported.dwCurrentState == SERVICE_STOPPED ? 0 : pid;
    s->info.status.dwServiceFlags = flags;
    s->info.reportedStates.push_back(reported.dwCurrentState);
    s->history.push_back(reported.dwCurrentState);
    if (reported.dwCurrentState == SERVICE_STOPPED) {
        s->stoppedReported = true;
        MaybeRemove(Lower(s->info.config.name));
    }
    SettleStateWaits();
    return 0;
}

std::uint32_t ServiceDb::ControlDone(ClientId client, wire::Reader& r) {
    std::uint32_t seq = 0, result = 0;
    if (!r.U32(seq) || !r.U32(result) || !r.AtEnd()) return ERROR_INVALID_PARAMETER;
    bool found = false;
    // Only the process the control went to answers it.
    auto mine = [&](const Owed& o) {
        auto it = services_.find(o.key);
        return it != services_.end() && it->second.launch == o.launch &&
               it->second.dispatcher == client;
    };
    Settle([&](const Owed& o) { return o.what == What::Control && o.seq == seq && mine(o); },
           [&](const Owed& o) {
               found = true;
               hooks_.answer(o.client, o.id, 0, StatusBody(o.key));
           });
    return found ? 0 : ERROR_INVALID_PARAMETER;
}

std::uint32_t ServiceDb::Info(wire::Reader& r, wire::Writer& body) {
    std::wstring name;
    if (!r.Text(name) || !r.AtEnd()) return ERROR_INVALID_PARAMETER;
    Service* s = Find(name);
    if (!s) return ERROR_SERVICE_DOES_NOT_EXIST;
    wire::PutStatus(body, s->info.status);
    body.Text(s->info.config.binaryPath).Text(s->info.config.account);
    body.U32(s->info.config.startType).U8(s->info.markedForDelete ? 1 : 0);
    body.U32(static_cast<std::uint32_t>(s->history.size()));
    for (DWORD state : s->history) body.U32(state);
    return 0;
}

std::uint32_t ServiceDb::WaitState(ClientId client, std::uint32_t id, wire::Reader& r,
                                   bool* later) {
    std::wstring name;
    DWORD state = 0;
    std::uint64_t timeout = 0;
    if (!r.Text(name) || !r.U32(state) || !r.U64(timeout) || !r.AtEnd() ||
        state < SERVICE_STOPPED || state > SERVICE_PAUSED)
        return ERROR_INVALID_PARAMETER;
    Owe(What::State, client, id, name, 0, timeout).state = state;
    *later = true;
    SettleStateWaits();
    return 0;
}

ServiceDb::Owed& ServiceDb::Owe(What what, ClientId client, std::uint32_t id,
                               const std::wstring& name, std::uint32_t launch,
                               std::uint64_t timeoutMs) {
    Owed o;
    o.what = what;
    o.client = client;
    o.id = id;
    o.key = Lower(name);
    o.launch = launch;
    o.deadline = After(hooks_.now(), timeoutMs);
    owed_.push_back(o);
    return owed_.back();
}

void ServiceDb::Settle(const std::function<bool(const Owed&)>& done,
                       const std::function<void(const Owed&)>& answer) {
    // Taken out first: an answer may lead to nothing of this list, but the list stays whole.
    std::vector<Owed> due;
    for (auto it = owed_.begin(); it != owed_.end();) {
        if (done(*it)) {
            due.push_back(std::move(*it));
            it = owed_.erase(it);
        } else {
            ++it;
        }
    }
    for (const Owed& o : due) answer(o);
}

void ServiceDb::SettleStateWaits() {
    auto stateOf = [&](const std::wstring& key) -> DWORD {
        auto it = services_.find(key);
        return it == services_.end() ? SERVICE_STOPPED : it->second.info.status.dwCurrentState;
    };
    Settle([&](const Owed& o) { return o.what == What::State && stateOf(o.key) == o.state; },
           [&](const Owed& o) {
               wire::Writer w;
               w.U32(o.state);
               hooks_.answer(o.client, o.id, 0, w.Bytes());
           });
}

void ServiceDb::EndService(const std::wstring& key) {
    auto it = services_.find(key);
    if (it == services_.end()) return;
    Service& s = it->second;
    std::uint32_t launch = s.launch;
    if (s.info.status.dwCurrentState != SERVICE_STOPPED) {
        s.info.status.dwCurrentState = SERVICE_STOPPED;
        s.info.status.dwWin32ExitCode = s.dispatcher != 0 ? ERROR_PROCESS_ABORTED
                                                          : ERROR_SERVICE_REQUEST_TIMEOUT;
        s.info.status.dwControlsAccepted = 0;
        s.info.status.dwCheckPoint = 0;
        s.info.status.dwWaitHint = 0;
        s.history.push_back(SERVICE_STOPPED);
    }
    s.info.status.dwProcessId = 0;
    s.launchPid = 0;
    s.dispatcher = 0;
    s.info.dispatcherConnected = false;
    Settle([&](const Owed& o) { return o.what != What::State && o.launch == launch && o.key == key; },
           [&](const Owed& o) {
               if (o.what == What::Start)
                   hooks_.answer(o.client, o.id, ERROR_SERVICE_REQUEST_TIMEOUT, {});
               else
                   hooks_.answer(o.client, o.id, ERROR_SERVICE_NOT_ACTIVE, StatusBody(o.key));
           });
    MaybeRemove(key);
    SettleStateWaits();
}

void ServiceDb::ClientGone(ClientId client) {
    owed_.erase(std::remove_if(owed_.begin(), owed_.end(),
                               [&](const Owed& o) { return o.client == client; }),
                owed_.end());
    std::vector<std::wstring> ended, released;
    for (auto& [key, s] : services_) {
        if (auto h = s.handles.find(client); h != s.handles.end()) {
            s.info.openHandles -= h->second;
            s.handles.erase(h);
            released.push_back(key);
        }
        if (s.dispatcher == client) ended.push_back(key);
    }
    for (const auto& key : ended) EndService(key);
    for (const auto& key : released) MaybeRemove(key);
}

void ServiceDb::ProcessEnded(std::uint32_t pid) {
    if (pid == 0) return;
    std::vector<std::wstring> ended;
    for (const auto& [key, s] : services_)
        if (s.launchPid == pid) ended.push_back(key);
    for (const auto& key : ended) EndService(key);
}

std::uint64_t ServiceDb::NextDeadline() const {
    std::uint64_t next = wire::kNever;
    for (const Owed& o : owed_) next = std::min(next, o.deadline);
    return next;
}

void ServiceDb::Expire(std::uint64_t now) {
    std::vector<std::wstring> timedOut;
    Settle([&](const Owed& o) { return o.deadline <= now; },
           [&](const Owed& o) {
               switch (o.what) {
                   case What::Start: {
                       // The program never connected its dispatcher: the start failed.
                       auto it = services_.find(o.key);
                       if (it != services_.end() && it->second.launch == o.launch &&
                           it->second.dispatcher == 0 &&
                           it->second.info.status.dwCurrentState == SERVICE_START_PENDING)
                           timedOut.push_back(o.key);
                       hooks_.answer(o.client, o.id, ERROR_SERVICE_REQUEST_TIMEOUT, {});
                       break;
                   }
                   case What::Control:
                       hooks_.answer(o.client, o.id, ERROR_SERVICE_REQUEST_TIMEOUT,
                                     StatusBody(o.key));
                       break;
                   case What::State: {
                       wire::Writer w;
                       auto it = services_.find(o.key);
                       w.U32(it == services_.end() ? SERVICE_STOPPED
                                                   : it->second.info.status.dwCurrentState);
                       hooks_.answer(o.client, o.id, WAIT_TIMEOUT, w.Bytes());
                       break;
                   }
               }
           });
    for (const auto& key : timedOut) {
        auto it = services_.find(key);
        if (it == services_.end()) continue;
        it->second.info.status.dwCurrentState = SERVICE_STOPPED;
        it->second.info.status.dwWin32ExitCode = ERROR_SERVICE_REQUEST_TIMEOUT;
        it->second.info.status.dwProcessId = 0;
        it->second.launchPid = 0;
        it->second.history.push_back(SERVICE_STOPPED);
        MaybeRemove(key);
    }
    if (!timedOut.empty()) SettleStateWaits();
}

bool ServiceDb::Waiting(ClientId client) const {
    return std::any_of(owed_.begin(), owed_.end(),
                       [&](const Owed& o) { return o.client == client; });
}

}  // namespace sim::server
