#include "machine/ras.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include <devguid.h>
#include <winbase.h>
#include "machine/devices.h"
#include "machine/machine.h"
#include "machine/threads.h"
#include "machine/waits.h"

namespace sim {

namespace {

using Phase = RasPhase;

constexpr DWORD kConnectedBps = 153600;

std::wstring Field(const WCHAR* text, std::size_t capacity) {
    std::size_t n = 0;
    while (n < capacity && text[n] != 0) ++n;
    return std::wstring(text, n);
}

template <std::size_t N>
void CopyField(WCHAR (&dst)[N], const std::wstring& src) {
    std::size_t n = std::min(src.size(), N - 1);
    std::wmemcpy(dst, src.c_str(), n);
    dst[n] = 0;
}

}  // namespace

// ---- Scripts ----

std::vector<RasStep> DialScript::DefaultSteps() {
    return {{RASCS_OpenPort, 100},           {RASCS_PortOpened, 100},
            {RASCS_ConnectDevice, 200},      {RASCS_DeviceConnected, 300},
            {RASCS_AllDevicesConnected, 50}, {RASCS_Authenticate, 100},
            {RASCS_Authenticated, 300}};
}

DialScript DialScript::Connect() {
    return DialScript();
}

DialScript DialScript::Fail(DWORD notifyError, DWORD statusError) {
    DialScript s;
    s.steps = {{RASCS_OpenPort, 100}, {RASCS_PortOpened, 100}, {RASCS_ConnectDevice, 200}};
    s.end = End::Fail;
    s.endDelayMs = 500;
    s.notifyError = notifyError;
    s.statusError = statusError;
    return s;
}

DialScript DialScript::Hang() {
    DialScript s;
    s.steps = {{RASCS_OpenPort, 100}, {RASCS_PortOpened, 100}, {RASCS_ConnectDevice, 200}};
    s.end = End::Hang;
    return s;
}

DialScript DialScript::FailSync(DWORD error, bool returnHandle) {
    DialScript s;
    s.steps.clear();
    s.end = End::FailSync;
    s.syncError = error;
    s.syncHandle = returnHandle;
    return s;
}

// ---- What a connection answers ----

void RasLine::Counters(std::uint64_t now, std::uint64_t* sent, std::uint64_t* received) const {
    std::uint64_t elapsed = counting && now > since ? now - since : 0;
    *sent = sentBase + sentRate * elapsed / 1000;
    *received = receivedBase + receivedRate * elapsed / 1000;
}

void RasLine::FillStatus(RASCONNSTATUSW* status) const {
    switch (phase) {
        case Phase::TearingDown:
        case Phase::Gone:
            status->rasconnstate = RASCS_Disconnected;
            status->dwError = 0;
            break;
        case Phase::Dropped:
            status->rasconnstate = RASCS_Disconnected;
            status->dwError = statusError;
            break;
        default:
            status->rasconnstate = state;
            status->dwError = statusError;
            break;
    }
    CopyField(status->szDeviceType, RASDT_Modem);
    CopyField(status->szDeviceName, deviceName);
    if (status->dwSize >= sizeof(RASCONNSTATUSW)) CopyField(status->szPhoneNumber, phoneNumber);
}

void RasLine::FillStatistics(std::uint64_t now, RAS_STATS* stats) const {
    std::uint64_t sent = 0, received = 0;
    Counters(now, &sent, &received);
    std::memset(reinterpret_cast<BYTE*>(stats) + sizeof(DWORD), 0,
                sizeof(RAS_STATS) - sizeof(DWORD));
    stats->dwBytesXmited = static_cast<DWORD>(sent);
    stats->dwBytesRcved = static_cast<DWORD>(received);
    stats->dwFramesXmited = static_cast<DWORD>(sent / 1500);
    stats->dwFramesRcved = static_cast<DWORD>(received / 1500);
    if (phase == Phase::Connected) {
        stats->dwBps = kConnectedBps;
        stats->dwConnectDuration = static_cast<DWORD>(now - connectedAt);
    }
}

// ---- The book ----

std::wstring RasBook::Key(const std::wstring& phonebook, const std::wstring& name) {
    return Lower(phonebook) + L"|" + Lower(name);
}

void RasBook::SetEntry(const std::wstring& phonebook, const std::wstring& name,
                       const RasEntryRecord& record) {
    entries_[Key(phonebook, name)] = record;
}

bool RasBook::DeleteEntry(const std::wstring& phonebook, const std::wstring& name) {
    return entries_.erase(Key(phonebook, name)) != 0;
}

std::optional<RasEntryRecord> RasBook::Entry(const std::wstring& phonebook,
                                             const std::wstring& name) const {
    auto it = entries_.find(Key(phonebook, name));
    if (it == entries_.end()) return std::nullopt;
    return it->second;
}

RasBook::Begun RasBook::BeginDial(DialRecord& rec) {
    Begun b;
    auto entry = Entry(rec.phonebook, rec.entryName);
    if (!entry) {
        b.error = ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
        return b;
    }
    if (rec.phoneNumber.empty())
        rec.phoneNumber = Field(entry->entry.szLocalPhoneNumber, RAS_MaxPhoneNumber + 1);
    rec.deviceName = Field(entry->entry.szDeviceName, RAS_MaxDeviceName + 1);
    ++dials;
    dialRecords.push_back(rec);
    if (!scripts_.empty()) {
        b.script = scripts_.front();
        scripts_.pop_front();
    } else {
        b.script = defaultScript_;
    }
    if (b.script.end == DialScript::End::FailSync) {
        b.error = b.script.syncError;
        if (!b.script.syncHandle) return b;
    }
    b.handle = reinterpret_cast<HRASCONN>(nextHandle_);
    nextHandle_ += 4;
    return b;
}

// ---- The machine's RAS ----

Ras& Ras::Of(Machine& machine) {
    return machine.ras();
}

Ras& Ras::Get() {
    return machine().ras();
}

Ras::Ras(Machine& machine) : machine_(machine) {
    machine_.devices().AddListener([this](const InterfaceEvent& e) {
        if (!e.arrival) OnDeviceChange();
    });
}

void RegisterRasModule(Machine& machine) {
    ModuleDef def;
    def.name = L"rasapi32.dll";
    def.system = true;
    def.exports["RasGetConnectionStatistics"] =
        reinterpret_cast<void*>(&RasGetConnectionStatistics);
    machine.RegisterModule(def);
}

void Ras::SetStatisticsEntryPoint(bool present) {
    ModuleDef def;
    def.name = L"rasapi32.dll";
    def.system = true;
    if (present)
        def.exports["RasGetConnectionStatistics"] =
            reinterpret_cast<void*>(&RasGetConnectionStatistics);
    machine_.RegisterModule(def);
}

void Ras::ScriptNextDial(const DialScript& script) {
    std::lock_guard<WatchedMutex> lk(mu_);
    book_.ScriptNextDial(script);
}

void Ras::SetDefaultScript(const DialScript& script) {
    std::lock_guard<WatchedMutex> lk(mu_);
    book_.SetDefaultScript(script);
}

void Ras::SetHangUpTime(DWORD ms) {
    std::lock_guard<WatchedMutex> lk(mu_);
    book_.hangUpMs = ms;
}

int Ras::DialCount() {
    std::lock_guard<WatchedMutex> lk(mu_);
    return book_.dials;
}

int Ras::HangUpCount() {
    std::lock_guard<WatchedMutex> lk(mu_);
    return book_.hangUps;
}

int Ras::HangUpCalls() {
    std::lock_guard<WatchedMutex> lk(mu_);
    return book_.hangUpCalls;
}

std::vector<DialRecord> Ras::Dials() {
    std::lock_guard<WatchedMutex> lk(mu_);
    return book_.dialRecords;
}

std::optional<RasEntryRecord> Ras::Entry(const std::wstring& name, const std::wstring& phonebook) {
    if (remote_) return remote_->Entry(phonebook, name);
    std::lock_guard<WatchedMutex> lk(mu_);
    return book_.Entry(phonebook, name);
}

int Ras::OpenConnections() {
    std::lock_guard<WatchedMutex> lk(mu_);
    PurgeLocked();
    return static_cast<int>(conns_.size());
}

std::optional<RASCONNSTATE> Ras::CurrentState() {
    std::lock_guard<WatchedMutex> lk(mu_);
    PurgeLocked();
    auto c = CurrentLocked();
    if (!c) return std::nullopt;
    if (c->phase == Phase::TearingDown || c->phase == Phase::Dropped) return RASCS_Disconnected;
    return c->state;
}

// ---- Connections ----

void Ras::PurgeLocked() {
    std::uint64_t now = Kernel::Get().Now();
    conns_.erase(std::remove_if(conns_.begin(), conns_.end(),
                                [&](const std::shared_ptr<Conn>& c) {
                                    return c->phase == Phase::TearingDown && now >= c->teardownEnd;
                                }),
                 conns_.end());
}

std::shared_ptr<Ras::Conn> Ras::FindLocked(HRASCONN handle) {
    PurgeLocked();
    for (auto& c : conns_)
        if (c->handle == handle) return c;
    return nullptr;
}

std::shared_ptr<Ras::Conn> Ras::CurrentLocked() {
    for (auto it = conns_.rbegin(); it != conns_.rend(); ++it)
        if ((*it)->phase != Phase::TearingDown) return *it;
    return conns_.empty() ? nullptr : conns_.back();
}

// With mu_ held: its release wakes the connection's thread.
void Ras::Interrupt(const std::shared_ptr<Conn>& conn) {
    conn->wake.fetch_add(1);
}

void Ras::FreezeCountersLocked(Conn& c, std::uint64_t now) {
    c.Counters(now, &c.sentBase, &c.receivedBase);
    c.since = now;
    c.counting = false;
}

void Ras::FailLocked(Conn& c, DWORD notifyError, DWORD statusError) {
    c.pendingFailure = true;
    c.pendingNotifyError = notifyError;
    c.pendingStatusError = statusError;
}

void Ras::PublishLocked(const Conn& c) {
    if (remote_) remote_->Report(c);
}

bool Ras::ModemPresent(const std::wstring& deviceName) {
    if (deviceName.empty()) return false;
    std::wstring want = Lower(deviceName);
    for (const DeviceNode& n : machine_.devices().Nodes()) {
        if (!(n.spec.classGuid == GUID_DEVCLASS_MODEM) || !n.Started()) continue;
        if (Lower(n.spec.friendlyName) == want || Lower(n.spec.description) == want) return true;
    }
    return false;
}

void Ras::OnDeviceChange() {
    std::vector<std::pair<std::shared_ptr<Conn>, std::wstring>> live;
    {
        std::lock_guard<WatchedMutex> lk(mu_);
        for (auto& c : conns_)
            if (c->phase == Phase::Dialling || c->phase == Phase::Connected)
                live.emplace_back(c, c->deviceName);
    }
    for (auto& [c, device] : live) {
        if (ModemPresent(device)) continue;
        std::lock_guard<WatchedMutex> lk(mu_);
        if (c->phase == Phase::Connected) {
            FreezeCountersLocked(*c, Kernel::Get().Now());
            c->phase = Phase::Dropped;
            c->statusError = ERROR_DISCONNECTION;
            PublishLocked(*c);
        } else if (c->phase == Phase::Dialling) {
            FailLocked(*c, ERROR_HARDWARE_FAILURE, ERROR_HARDWARE_FAILURE);
            Interrupt(c);
        }
    }
}

bool Ras::DropLocked(const std::shared_ptr<Conn>& c, DWORD error) {
    if (c->phase == Phase::Connected) {
        FreezeCountersLocked(*c, Kernel::Get().Now());
        c->phase = Phase::Dropped;
        c->statusError = error;
        PublishLocked(*c);
        return true;
    }
    if (c->phase == Phase::Dialling) {
        FailLocked(*c, error, error);
        Interrupt(c);
        return true;
    }
    return false;
}

bool Ras::DropLine(DWORD error) {
    std::lock_guard<WatchedMutex> lk(mu_);
    PurgeLocked();
    auto c = CurrentLocked();
    return c && DropLocked(c, error);
}

bool Ras::KillHandle() {
    std::lock_guard<WatchedMutex> lk(mu_);
    PurgeLocked();
    auto c = CurrentLocked();
    if (!c) return false;
    // The RAS thread goes quietly, as after a hang-up.
    c->phase = Phase::TearingDown;
    c->teardownEnd = 0;
    Interrupt(c);
    conns_.erase(std::find(conns_.begin(), conns_.end(), c));
    c->phase = Phase::Gone;
    PublishLocked(*c);
    c->phase = Phase::TearingDown;
    return true;
}

void Ras::SetRatesLocked(std::uint64_t sentPerSecond, std::uint64_t receivedPerSecond) {
    std::uint64_t now = Kernel::Get().Now();
    book_.sentRate = sentPerSecond;
    book_.receivedRate = receivedPerSecond;
    for (auto& c : conns_) {
        if (!c->counting) continue;
        c->Counters(now, &c->sentBase, &c->receivedBase);
        c->since = now;
        c->sentRate = sentPerSecond;
        c->receivedRate = receivedPerSecond;
        PublishLocked(*c);
    }
}

void Ras::SetTrafficRates(std::uint64_t sentPerSecond, std::uint64_t receivedPerSecond) {
    std::lock_guard<WatchedMutex> lk(mu_);
    SetRatesLocked(sentPerSecond, receivedPerSecond);
}

bool Ras::SetCounters(std::uint64_t sent, std::uint64_t received) {
    std::lock_guard<WatchedMutex> lk(mu_);
    PurgeLocked();
    auto c = CurrentLocked();
    if (!c) return false;
    c->sentBase = sent;
    c->receivedBase = received;
    c->since = Kernel::Get().Now();
    PublishLocked(*c);
    return true;
}

// ---- On a machine server ----

void Ras::UseRemote(std::unique_ptr<RasRemote> remote) {
    remote_ = std::move(remote);
}

void Ras::ApplyNews() {
    if (!remote_) return;
    std::lock_guard<WatchedMutex> lk(mu_);
    // Taken under mu_: what one caller takes is applied before another caller looks.
    for (const RasNews& n : remote_->TakeNews()) {
        if (n.kind == RasNews::Kind::Rates) {
            SetRatesLocked(n.a, n.b);
            continue;
        }
        auto c = FindLocked(n.handle);
        if (!c) continue;
        if (n.kind == RasNews::Kind::Drop) {
            DropLocked(c, static_cast<DWORD>(n.a));
        } else {
            c->sentBase = n.a;
            c->receivedBase = n.b;
            c->since = Kernel::Get().Now();
            PublishLocked(*c);
        }
    }
}

std::optional<RasLine> Ras::Foreign(HRASCONN handle) {
    if (!remote_) return std::nullopt;
    std::uint64_t now = Kernel::Get().Now();
    for (RasLine& line : remote_->Lines())
        if (line.handle == handle && !(line.phase == Phase::TearingDown && now >= line.teardownEnd))
            return line;
    return std::nullopt;
}

std::vector<RasLine> Ras::Lines() {
    ApplyNews();
    if (remote_) return remote_->Lines();
    std::lock_guard<WatchedMutex> lk(mu_);
    PurgeLocked();
    std::vector<RasLine> out;
    for (const auto& c : conns_) out.push_back(*c);
    return out;
}

// ---- The functions ----

DWORD Ras::SetEntry(LPCWSTR phonebook, LPCWSTR name, const RASENTRYW* entry, DWORD entrySize) {
    const Config& cfg = machine_.config();
    bool knowsXpFields = cfg.platformId != VER_PLATFORM_WIN32_NT || cfg.major > 5 ||
                         (cfg.major == 5 && cfg.minor >= 1);
    DWORD size = entry->dwSize;
    bool sizeKnown = size == RASENTRYW_V500_SIZE || (knowsXpFields && size == sizeof(RASENTRYW));
    if (!sizeKnown || entrySize < size) return ERROR_INVALID_SIZE;
    RasEntryRecord rec;
    std::memset(&rec.entry, 0, sizeof rec.entry);
    std::memcpy(&rec.entry, entry, size);
    rec.size = size;
    const std::wstring book = phonebook ? phonebook : L"";
    if (remote_) return remote_->SetEntry(book, name, rec);
    std::lock_guard<WatchedMutex> lk(mu_);
    book_.SetEntry(book, name, rec);
    return 0;
}

DWORD Ras::GetEntry(LPCWSTR phonebook, LPCWSTR name, RASENTRYW* entry, DWORD* entrySize) {
    auto rec = Entry(name, phonebook ? phonebook : L"");
    if (!rec) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    // The entry comes back in the size the caller's structure says it has.
    DWORD size = entry ? entry->dwSize : 0;
    if (entry && size != RASENTRYW_V500_SIZE && size != sizeof(RASENTRYW))
        return ERROR_INVALID_SIZE;
    DWORD needed = size != 0 ? size : rec->size;
    if (entry == nullptr || *entrySize < needed) {
        *entrySize = needed;
        return ERROR_BUFFER_TOO_SMALL;
    }
    std::memcpy(entry, &rec->entry, size);
    entry->dwSize = size;
    *entrySize = size;
    return 0;
}

DWORD Ras::DeleteEntry(LPCWSTR phonebook, LPCWSTR name) {
    const std::wstring book = phonebook ? phonebook : L"";
    if (remote_) return remote_->DeleteEntry(book, name);
    std::lock_guard<WatchedMutex> lk(mu_);
    if (!book_.DeleteEntry(book, name)) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    return 0;
}

DWORD Ras::Dial(LPCWSTR phonebook, const RASDIALPARAMSW* params, RasDialFunc1 notifier,
                LPHRASCONN out) {
    ApplyNews();
    DialRecord rec;
    rec.phonebook = phonebook ? phonebook : L"";
    rec.entryName = Field(params->szEntryName, RAS_MaxEntryName + 1);
    rec.phoneNumber = Field(params->szPhoneNumber, RAS_MaxPhoneNumber + 1);
    rec.userName = Field(params->szUserName, UNLEN + 1);
    rec.password = Field(params->szPassword, PWLEN + 1);
    rec.tick = Kernel::Get().Now();
    RasBook::Begun begun;
    if (remote_) {
        RasRemote::DialAnswer a = remote_->Dial(rec);
        begun = a.begun;
        rec = a.record;
        std::lock_guard<WatchedMutex> lk(mu_);
        book_.hangUpMs = a.hangUpMs;
        book_.sentRate = a.sentRate;
        book_.receivedRate = a.receivedRate;
    } else {
        std::lock_guard<WatchedMutex> lk(mu_);
        begun = book_.BeginDial(rec);
    }
    if (!begun.handle) return begun.error;
    bool present = ModemPresent(rec.deviceName);

    auto c = std::make_shared<Conn>();
    {
        std::lock_guard<WatchedMutex> lk(mu_);
        c->script = begun.script;
        if (c->script.end == DialScript::End::FailSync) {
            c->phase = Phase::Failed;
            c->statusError = c->script.syncError;
        } else if (!present) {
            // No started modem carries the entry's device: the port cannot be opened.
            c->script = DialScript::Fail(ERROR_PORT_NOT_AVAILABLE, ERROR_PORT_NOT_AVAILABLE);
            c->script.steps = {{RASCS_OpenPort, 0}};
            c->script.endDelayMs = 50;
        }
        c->handle = begun.handle;
        c->notifier = notifier;
        c->entryName = rec.entryName;
        c->deviceName = rec.deviceName;
        c->phoneNumber = rec.phoneNumber;
        if (c->phase != Phase::Failed) c->statusError = c->script.dialStatusError;
        conns_.push_back(c);
        PublishLocked(*c);
    }
    *out = c->handle;
    if (c->phase == Phase::Failed) return c->script.syncError;

    StartMachineThread([this, c] {
        c->thread = std::this_thread::get_id();
        RasThread(c);
    });
    if (c->script.returnDelayMs > 0) SleepOnMachine(c->script.returnDelayMs);
    return 0;
}

void Ras::RasThread(std::shared_ptr<Conn> c) {
    auto& kernel = Kernel::Get();
    const DialScript& s = c->script;
    std::uint64_t last = kernel.Now();
    std::size_t next = 0;
    for (;;) {
        bool isStep = next < s.steps.size();
        bool forever = !isStep && s.end == DialScript::End::Hang;
        std::uint64_t deadline =
            forever ? kForever : last + (isStep ? s.steps[next].delayMs : s.endDelayMs);

        RASCONNSTATE state = RASCS_OpenPort;
        DWORD error = 0;
        bool deliver = true;
        bool final = false;
        std::uint64_t seen;
        {
            std::lock_guard<WatchedMutex> lk(mu_);
            if (c->phase != Phase::Dialling) return;  // hung up, killed or dropped
            seen = c->wake.load();
            std::uint64_t now = kernel.Now();
            if (c->pendingFailure) {
                c->pendingFailure = false;
                c->phase = Phase::Failed;
                c->statusError = c->pendingStatusError;
                state = c->state;
                error = c->pendingNotifyError;
                final = true;
            } else if (now >= deadline) {
                if (isStep) {
                    state = s.steps[next].state;
                    c->state = state;
                    ++next;
                } else if (s.end == DialScript::End::Connect) {
                    state = RASCS_Connected;
                    c->state = state;
                    c->phase = Phase::Connected;
                    c->statusError = 0;
                    c->connectedAt = now;
                    c->counting = true;
                    c->since = now;
                    c->sentBase = c->receivedBase = 0;
                    c->sentRate = book_.sentRate;
                    c->receivedRate = book_.receivedRate;
                    final = true;
                } else {
                    state = c->state;
                    error = s.notifyError;
                    c->phase = Phase::Failed;
                    c->statusError = s.statusError;
                    final = true;
                }
                last = now;
            } else {
                deliver = false;
            }
            if (deliver) {
                c->delivering.store(true);
                PublishLocked(*c);
            }
        }
        if (!deliver) {
            // Until the next event is due, or a hang-up or failure interrupts.
            mu_.WaitUntil([&c, seen] { return c->wake.load() != seen; }, deadline);
            continue;
        }
        if (c->notifier) c->notifier(c->handle, WM_RASDIALEVENT, state, error, 0);
        {
            std::lock_guard<WatchedMutex> lk(mu_);  // its release wakes a waiting hang-up
            c->delivering.store(false);
        }
        if (final) return;
    }
}

DWORD Ras::HangUp(HRASCONN handle) {
    ApplyNews();
    std::shared_ptr<Conn> c;
    bool began = false;
    {
        std::lock_guard<WatchedMutex> lk(mu_);
        ++book_.hangUpCalls;
        c = FindLocked(handle);
        if (c && c->phase != Phase::TearingDown) {
            std::uint64_t now = Kernel::Get().Now();
            ++book_.hangUps;
            began = true;
            FreezeCountersLocked(*c, now);
            c->phase = Phase::TearingDown;
            c->teardownEnd = now + book_.hangUpMs;
            Interrupt(c);
            PublishLocked(*c);
        }
        if (remote_) remote_->HangUpCall(began);
        if (!c) return ERROR_INVALID_HANDLE;
    }
    // No notification runs once the hang-up has begun: wait for one in progress (unless this is
    // that notification calling).
    if (c->thread.load() != std::this_thread::get_id()) {
        mu_.WaitUntil([&c] { return !c->delivering.load(); }, kForever);
    }
    return 0;
}

DWORD Ras::Status(HRASCONN handle, RASCONNSTATUSW* status) {
    ApplyNews();
    std::optional<RasLine> line;
    {
        std::lock_guard<WatchedMutex> lk(mu_);
        if (auto c = FindLocked(handle)) line = static_cast<const RasLine&>(*c);
    }
    if (!line) line = Foreign(handle);
    if (!line) return ERROR_INVALID_HANDLE;
    if (DWORD e = machine_.faults().Take(RasOp::Status)) return e;
    line->FillStatus(status);
    return 0;
}

DWORD Ras::Statistics(HRASCONN handle, RAS_STATS* stats) {
    ApplyNews();
    std::optional<RasLine> line;
    {
        std::lock_guard<WatchedMutex> lk(mu_);
        if (auto c = FindLocked(handle)) line = static_cast<const RasLine&>(*c);
    }
    if (!line) line = Foreign(handle);
    if (!line) return ERROR_INVALID_HANDLE;
    line->FillStatistics(Kernel::Get().Now(), stats);
    return 0;
}

}  // namespace sim
