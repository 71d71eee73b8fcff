// The dial-up connection's link to the Remote Access Service: writes the phone-book entry for the
// modem, dials with a notification callback, relays the states to its listener, answers state
// queries, hangs up and waits until the line is closed, gives error texts and keeps the byte
// totals and the connection time. A process-wide registry maps connection handles back to their
// clients for the callback and holds the statistics entry point, bound at run time.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "app/cdma_time.h"
#include <windows.h>
#include <ras.h>

// The statistics handed to listeners. A fresh record holds 2000-01-01 12:01:01.
struct ConnectionInfo {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 12;
    int minute = 1;
    int second = 1;
    int duration = 0;  // seconds since the connection's start
    int reserved = 0;
    ULONGLONG bytesSent = 0;
    ULONGLONG bytesReceived = 0;
};

// What one dial needs.
struct DialParams {
    std::wstring DeviceName;
    std::wstring EntryName;
    std::wstring PhoneNumber;
    std::wstring UserName;
    std::wstring Password;
    std::wstring DnsMain;
    std::wstring DnsMinor;
    std::wstring IpAddress;
};

// Receives the RAS states of a dial, on RAS's notification thread.
class IRasListener {
public:
    virtual void OnRasEvent(RASCONNSTATE state, int error) = 0;

protected:
    ~IRasListener() = default;
};

class IRASClient {
public:
    virtual void SetPortName(const std::wstring& port) = 0;
    virtual void SetInitString(const std::string& init) = 0;
    virtual void SetAuthentication(bool chap, bool pap) = 0;
    // False when a connection handle is already held, the entry cannot be written or RAS refuses
    // the dial; the thread's last error then holds the RAS error code.
    virtual bool Dial(const DialParams& params) = 0;
    // Hangs up and waits until RAS no longer knows the connection. True (and nothing done)
    // without a handle.
    virtual bool HangUp() = 0;
    // The connection's state; RASCS_Disconnected (error untouched) once RAS no longer knows the
    // handle. Any other failure of the query is reported as its error code.
    virtual RASCONNSTATE GetConnectState(int* error) = 0;
    // RAS's text for the code (empty when RAS has none); valid until the next call.
    virtual const std::wstring& GetErrorText(int code) = 0;
    // RAS's raw 32-bit byte counters, widened.
    virtual bool GetByteCounts(ULONGLONG* sent, ULONGLONG* received) = 0;
    // Brings the totals and the duration up to date and copies the statistics to `out` (also
    // when the query failed); false when the query failed or cannot be made.
    virtual bool GetStatistics(ConnectionInfo* out) = 0;
    virtual void SetListener(IRasListener* listener) = 0;

protected:
    ~IRASClient() = default;
};

IRASClient* CreateRasClient(ICDMATime* time);
void ReleaseRasClient(IRASClient* client);  // null is allowed

// The text of a RAS connection state; empty for a state without one.
std::wstring GetRasStateText(RASCONNSTATE state);

// "a.b.c.d": exactly four parts separated by '.', each read as a decimal number whose low byte
// is kept. False (and `out` untouched) for any other number of parts.
bool ParseIpAddress(const std::wstring& text, RASIPADDR& out);

class CRasClient final : public IRASClient {
public:
    explicit CRasClient(ICDMATime* time);
    // Hangs up a connection that is still held and leaves the registry.
    ~CRasClient();
    CRasClient(const CRasClient&) = delete;
    CRasClient& operator=(const CRasClient&) = delete;

    void SetPortName(const std::wstring& port) override { m_portName = port; }
    void SetInitString(const std::string& init) override { m_initString = init; }
    void SetAuthentication(bool chap, bool pap) override;
    bool Dial(const DialParams& params) override;
    bool HangUp() override;
    RASCONNSTATE GetConnectState(int* error) override;
    const std::wstring& GetErrorText(int code) override;
    bool GetByteCounts(ULONGLONG* sent, ULONGLONG* received) override;
    bool GetStatistics(ConnectionInfo* out) override;
    void SetListener(IRasListener* listener) override { m_listener = listener; }

    // From the registry's callback.
    void OnRasNotify(RASCONNSTATE state, DWORD error);
    HRASCONN Handle() const { return m_handle; }
    DWORD Options() const { return m_options; }

private:
    friend class CRasClientRegistry;

    void WriteInitString();
    bool SetEntryProperties(const DialParams& params);
    void ResetStatistics();
    bool QueryStatistics(RAS_STATS* stats);
    // Adds what a 32-bit counter grew by since the last reading to a 64-bit total.
    static void Accumulate(ULONGLONG& total, DWORD& lastReading, DWORD counter);

    ICDMATime* m_time;
    std::wstring m_errorText;
    HRASCONN m_handle = nullptr;
    std::atomic<IRasListener*> m_listener{nullptr};  // read on RAS's thread
    // The statistics are reset on RAS's thread (at RASCS_Connected) and read on the dial thread.
    CRITICAL_SECTION m_statisticsLock;
    ConnectionInfo m_statistics;
    DWORD m_startTick = 0;
    std::string m_initString;
    std::wstring m_portName;
    DWORD m_options = 0;
    // The counters as last read (the totals grow by the difference).
    DWORD m_lastSent = 0;
    DWORD m_lastReceived = 0;
};

// Maps connection handles to their clients for the RAS callback.
class CRasClientRegistry {
public:
    static CRasClientRegistry& Instance();
    ~CRasClientRegistry();

    void Add(CRasClient* client);
    void Remove(CRasClient* client);
    // The registry's lock: held by a dial across RasDialW and its Add, so that a notification
    // that arrives before RasDialW returns waits for the client to be registered.
    void Lock() { EnterCriticalSection(&m_lock); }
    void Unlock() { LeaveCriticalSection(&m_lock); }
    // The client of the handle (the last registered one counts), or null.
    CRasClient* Find(HRASCONN handle);
    PFN_RASGETCONNECTIONSTATISTICS Statistics() const { return m_getStatistics; }

private:
    CRasClientRegistry();

    std::vector<CRasClient*> m_clients;
    CRITICAL_SECTION m_lock;
    HMODULE m_library = nullptr;
    PFN_RASGETCONNECTIONSTATISTICS m_getStatistics = nullptr;
};

// The RasDialFunc1 notifier given to RasDialW.
void RasDialCallback(HRASCONN connection, UINT message, RASCONNSTATE state, DWORD error,
                     DWORD extendedError);
