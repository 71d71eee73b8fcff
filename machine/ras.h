// The machine's Remote Access Service: phone books, connections that follow a script (states with
// delays, then connect, fail, hang, or fail at once), byte counters, the hang-up's teardown time,
// and what the service saw (dials, hang-ups, entries).
//
// Each dial gets a RAS thread of the machine that delivers the notifications one at a time. No
// notification follows an error, RASCS_Connected, or the start of a hang-up (a RasHangUpW waits
// until a notification in progress has returned). Dialling needs a started modem whose friendly
// name (or description) is the entry's device name; unplugging it drops a live connection.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <ras.h>
#include "machine/waits.h"

namespace sim {

class Machine;

struct RasStep {
    RASCONNSTATE state;
    DWORD delayMs;  // after the previous notification (or the dial)
};

// How the next dial goes.
struct DialScript {
    enum class End {
        Connect,   // RASCS_Connected after endDelayMs
        Fail,      // after endDelayMs a notification (last state, notifyError); the status query
                   // then reports statusError
        Hang,      // no notification after the steps; the dial stays in its last state
        FailSync,  // RasDialW returns syncError at once
    };
    std::vector<RasStep> steps = DefaultSteps();
    End end = End::Connect;
    DWORD endDelayMs = 150;
    DWORD notifyError = 0;
    DWORD statusError = 0;
    DWORD syncError = 0;
    bool syncHandle = false;    // FailSync: a handle is still returned (and must be hung up)
    DWORD dialStatusError = 0;  // the status query's error while the dial is in progress
    // RasDialW returns this long after the dial began (its notifications may come first).
    DWORD returnDelayMs = 0;

    static std::vector<RasStep> DefaultSteps();
    static DialScript Connect();
    static DialScript Fail(DWORD notifyError, DWORD statusError);
    static DialScript Hang();
    static DialScript FailSync(DWORD error, bool returnHandle);
};

// A dial as RAS received it.
struct DialRecord {
    std::wstring phonebook;  // empty: the default phone book
    std::wstring entryName;
    std::wstring phoneNumber;
    std::wstring userName;
    std::wstring password;
    std::wstring deviceName;  // the entry's device
    std::uint64_t tick = 0;
};

struct RasEntryRecord {
    RASENTRYW entry;  // as written; bytes past `size` are zero
    DWORD size = 0;   // the dwSize it was written with
};

enum class RasPhase : std::uint8_t { Dialling, Connected, Failed, Dropped, TearingDown, Gone };

// A connection as RAS knows it, apart from the thread that dials it: what the status and
// statistics queries answer from, in any process.
struct RasLine {
    HRASCONN handle = nullptr;
    std::uint32_t pid = 0;  // the dialling process (on a machine server)
    RasPhase phase = RasPhase::Dialling;
    RASCONNSTATE state = RASCS_OpenPort;
    DWORD statusError = 0;
    std::wstring entryName;
    std::wstring deviceName;
    std::wstring phoneNumber;
    std::uint64_t teardownEnd = 0;
    std::uint64_t connectedAt = 0;
    // Counters: base values at `since`, growing by the rates while connected.
    std::uint64_t sentBase = 0, receivedBase = 0, since = 0;
    std::uint64_t sentRate = 0, receivedRate = 0;
    bool counting = false;

    void Counters(std::uint64_t now, std::uint64_t* sent, std::uint64_t* received) const;
    // The status and statistics queries' answers.
    void FillStatus(RASCONNSTATUSW* status) const;
    void FillStatistics(std::uint64_t now, RAS_STATS* stats) const;
};

// What RAS keeps apart from its live connections: the phone-book entries, the scripts of the
// next dials, the journal of dials and hang-ups, the hang-up time and traffic rates. The machine's
// RAS keeps one; on a machine server the server keeps the machine's one.
class RasBook {
public:
    void SetEntry(const std::wstring& phonebook, const std::wstring& name,
                  const RasEntryRecord& record);
    bool DeleteEntry(const std::wstring& phonebook, const std::wstring& name);
    std::optional<RasEntryRecord> Entry(const std::wstring& phonebook,
                                        const std::wstring& name) const;
    void ScriptNextDial(const DialScript& script) { scripts_.push_back(script); }
    void SetDefaultScript(const DialScript& script) { defaultScript_ = script; }

    // A dial begins: the entry's device and (when the dial gave none) its number complete the
    // record, the dial is journalled and takes its script. error: ERROR_CANNOT_FIND_PHONEBOOK_ENTRY,
    // or a script's synchronous error without a handle (then no handle).
    struct Begun {
        DWORD error = 0;
        HRASCONN handle = nullptr;
        DialScript script;
    };
    Begun BeginDial(DialRecord& record);

    static std::wstring Key(const std::wstring& phonebook, const std::wstring& name);

    int dials = 0, hangUps = 0, hangUpCalls = 0;
    std::vector<DialRecord> dialRecords;
    DWORD hangUpMs = 200;
    std::uint64_t sentRate = 0, receivedRate = 0;

private:
    std::map<std::wstring, RasEntryRecord> entries_;  // key: lower-case phone book '|' entry
    std::deque<DialScript> scripts_;
    DialScript defaultScript_ = DialScript::Connect();
    ULONG_PTR nextHandle_ = 0x7A000;
};

// What the control side asks of a live connection from elsewhere (on a machine server, the
// control client through the server): the dialling process applies it.
struct RasNews {
    enum class Kind : std::uint8_t { Counters = 1, Drop = 2, Rates = 3 };
    Kind kind = Kind::Counters;
    HRASCONN handle = nullptr;  // Counters, Drop
    std::uint64_t a = 0, b = 0;  // sent and received (counters, rates), or the error (Drop)
};

// The machine server's RAS, for a program's process (machine/remote_ras.cpp): its phone book,
// scripts and journal are the server's, and the connections of other processes are known there.
class RasRemote {
public:
    virtual ~RasRemote() = default;
    virtual DWORD SetEntry(const std::wstring& phonebook, const std::wstring& name,
                           const RasEntryRecord& record) = 0;
    virtual DWORD DeleteEntry(const std::wstring& phonebook, const std::wstring& name) = 0;
    virtual std::optional<RasEntryRecord> Entry(const std::wstring& phonebook,
                                                const std::wstring& name) = 0;
    struct DialAnswer {
        RasBook::Begun begun;
        DialRecord record;
        DWORD hangUpMs = 200;
        std::uint64_t sentRate = 0, receivedRate = 0;
    };
    // The record holds what the dial gave; the answer's record is the one journalled.
    virtual DialAnswer Dial(const DialRecord& record) = 0;
    // A connection of this process changed (phase Gone: it is no more); a hang-up call.
    virtual void Report(const RasLine& line) = 0;
    virtual void HangUpCall(bool beganTeardown) = 0;
    // The machine's connections, of every process.
    virtual std::vector<RasLine> Lines() = 0;
    // What the control side asked since the last call.
    virtual std::vector<RasNews> TakeNews() = 0;
};

class Ras {
public:
    // The RAS of the process's machine, or of one machine (each machine has its own, made with
    // it: a reset starts with a fresh one).
    static Ras& Get();
    static Ras& Of(Machine& machine);

    // ---- Scripts ----
    // The next dial follows this script (queued: each dial takes the next one).
    void ScriptNextDial(const DialScript& script);
    // Dials without a queued script follow this one (initially DialScript::Connect()).
    void SetDefaultScript(const DialScript& script);

    // ---- The line (the most recent connection that RAS still knows) ----
    // A connected line drops: the status query reports RASCS_Disconnected with this error
    // (619 or 628). A dial in progress fails with it instead. False when there is no such line.
    bool DropLine(DWORD error = ERROR_DISCONNECTION);
    // The connection vanishes: its handle is invalid at once.
    bool KillHandle();
    // Bytes per second on connected lines, from now on (also for later connections).
    void SetTrafficRates(std::uint64_t sentPerSecond, std::uint64_t receivedPerSecond);
    // Sets the current connection's byte counters (64-bit; RAS reports the low 32 bits).
    bool SetCounters(std::uint64_t sent, std::uint64_t received);
    // How long a hang-up's teardown lasts (initially 200 ms).
    void SetHangUpTime(DWORD ms);
    // Removes (or restores) "RasGetConnectionStatistics" from "RasAPI32.dll".
    void SetStatisticsEntryPoint(bool present);

    // ---- What RAS saw ----
    int DialCount();
    // Hang-ups that began a teardown, and RasHangUpW calls of any kind.
    int HangUpCount();
    int HangUpCalls();
    std::vector<DialRecord> Dials();
    std::optional<RasEntryRecord> Entry(const std::wstring& name,
                                        const std::wstring& phonebook = L"");
    // Connections RAS still knows (dialling, connected, failed, dropped or tearing down).
    int OpenConnections();
    // The current connection's state as the status query would give it.
    std::optional<RASCONNSTATE> CurrentState();

    // ---- The functions of <ras.h> ----
    DWORD SetEntry(LPCWSTR phonebook, LPCWSTR name, const RASENTRYW* entry, DWORD entrySize);
    DWORD GetEntry(LPCWSTR phonebook, LPCWSTR name, RASENTRYW* entry, DWORD* entrySize);
    DWORD DeleteEntry(LPCWSTR phonebook, LPCWSTR name);
    DWORD Dial(LPCWSTR phonebook, const RASDIALPARAMSW* params, RasDialFunc1 notifier,
               LPHRASCONN out);
    DWORD HangUp(HRASCONN handle);
    DWORD Status(HRASCONN handle, RASCONNSTATUSW* status);
    DWORD Statistics(HRASCONN handle, RAS_STATS* stats);
    // The connections of the machine (of every process on a machine server), oldest first.
    std::vector<RasLine> Lines();

    // From here on the phone book, the scripts and the journal are a machine server's, and this
    // process's connections are known there (set once, before any dial).
    void UseRemote(std::unique_ptr<RasRemote> remote);
    // Applies what the control side asked of this process's connections: a thread of the
    // process does as it arrives, and the dial, hang-up, status, statistics and enumeration
    // first, so that a query after the control client's request sees it.
    void ApplyNews();

    explicit Ras(Machine& machine);

private:
    using Phase = RasPhase;
    struct Conn : RasLine {
        DialScript script;
        RasDialFunc1 notifier = nullptr;
        // A failure to report while dialling (drop, unplug): notification and status errors.
        bool pendingFailure = false;
        DWORD pendingNotifyError = 0;
        DWORD pendingStatusError = 0;
        std::atomic<std::thread::id> thread{};  // the connection's RAS thread
        std::atomic<std::uint64_t> wake{0};     // bumped to interrupt the RAS thread's waits
        std::atomic<bool> delivering{false};    // a notification is running
    };

    void RasThread(std::shared_ptr<Conn> conn);
    // Under mu_: drops finished teardowns; finds a connection.
    void PurgeLocked();
    std::shared_ptr<Conn> FindLocked(HRASCONN handle);
    std::shared_ptr<Conn> CurrentLocked();
    void Interrupt(const std::shared_ptr<Conn>& conn);
    void FreezeCountersLocked(Conn& conn, std::uint64_t now);
    void FailLocked(Conn& conn, DWORD notifyError, DWORD statusError);
    bool DropLocked(const std::shared_ptr<Conn>& conn, DWORD error);
    void SetRatesLocked(std::uint64_t sentPerSecond, std::uint64_t receivedPerSecond);
    // Under mu_: tells a machine server of the connection's change.
    void PublishLocked(const Conn& conn);
    // A connection of another process (on a machine server).
    std::optional<RasLine> Foreign(HRASCONN handle);
    bool ModemPresent(const std::wstring& deviceName);
    void OnDeviceChange();

    Machine& machine_;
    WatchedMutex mu_;
    RasBook book_;
    std::vector<std::shared_ptr<Conn>> conns_;
    std::unique_ptr<RasRemote> remote_;
};

// Registers "RasAPI32.dll" on a fresh machine (called by the machine's reset).
void RegisterRasModule(Machine& machine);

}  // namespace sim
