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
    DWORD DeleteEntry(LPCWSTR phonebook, LPCWSTR name);
    DWORD Dial(LPCWSTR phonebook, const RASDIALPARAMSW* params, RasDialFunc1 notifier,
               LPHRASCONN out);
    DWORD HangUp(HRASCONN handle);
    DWORD Status(HRASCONN handle, RASCONNSTATUSW* status);
    DWORD Statistics(HRASCONN handle, RAS_STATS* stats);

    explicit Ras(Machine& machine);

private:
    enum class Phase { Dialling, Connected, Failed, Dropped, TearingDown };
    struct Conn {
        HRASCONN handle = nullptr;
        Phase phase = Phase::Dialling;
        RASCONNSTATE state = RASCS_OpenPort;
        DWORD statusError = 0;
        DialScript script;
        RasDialFunc1 notifier = nullptr;
        std::wstring deviceName;
        std::wstring phoneNumber;
        // A failure to report while dialling (drop, unplug): notification and status errors.
        bool pendingFailure = false;
        DWORD pendingNotifyError = 0;
        DWORD pendingStatusError = 0;
        std::uint64_t teardownEnd = 0;
        std::uint64_t connectedAt = 0;
        // Counters: base values at `since`, growing by the rates while connected.
        std::uint64_t sentBase = 0, receivedBase = 0, since = 0;
        std::uint64_t sentRate = 0, receivedRate = 0;
        bool counting = false;
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
    void Counters(const Conn& conn, std::uint64_t now, std::uint64_t* sent,
                  std::uint64_t* received) const;
    void FailLocked(Conn& conn, DWORD notifyError, DWORD statusError);
    bool ModemPresent(const std::wstring& deviceName);
    void OnDeviceChange();
    static std::wstring BookKey(LPCWSTR phonebook, LPCWSTR name);

    Machine& machine_;
    WatchedMutex mu_;
    std::map<std::wstring, RasEntryRecord> entries_;  // key: lower-case phone book '|' entry
    std::vector<std::shared_ptr<Conn>> conns_;
    std::deque<DialScript> scripts_;
    DialScript defaultScript_ = DialScript::Connect();
    std::uint64_t sentRate_ = 0, receivedRate_ = 0;
    DWORD hangUpMs_ = 200;
    int dials_ = 0, hangUps_ = 0, hangUpCalls_ = 0;
    std::vector<DialRecord> dialRecords_;
    ULONG_PTR nextHandle_ = 0x7A000;
};

// Registers "RasAPI32.dll" on a fresh machine (called by the machine's reset).
void RegisterRasModule(Machine& machine);

}  // namespace sim
