// The dial thread: collects the dial parameters, writes the phone-book entry and dials through
// the RAS client, follows the RAS states, polls the connection, reports statistics about once a
// second, and dials again after failures and drops. Everything is reported to the connection's
// listeners.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "app/dial_settings.h"
#include "app/ras_client.h"
#include "app/thread.h"

// Receives a dial's reports, on the dial thread and on RAS's notification thread.
class IConnectionListener {
public:
    virtual void OnError(const std::wstring& text) = 0;
    virtual void OnStateText(const std::wstring& text) = 0;
    virtual void OnConnected() = 0;
    // Rates in bytes per second.
    virtual void OnStatistics(const ConnectionInfo& info, ULONGLONG receivedRate,
                              ULONGLONG sentRate) = 0;
    virtual void OnDisconnecting() = 0;
    virtual void OnDisconnected() = 0;

protected:
    ~IConnectionListener() = default;
};

class CConnection : public CThread, public IRasListener {
public:
    // The name of the phone-book entry that is written and dialled.
    static constexpr const wchar_t* kEntryName = L"QOB Wireless Terminal";
    static constexpr int kMaxDials = 20;  // failed dials in a row before the thread gives up

    CConnection();
    // Releases the RAS client and the stop event; the owner stops the thread first.
    ~CConnection() override;

    // Only before the first start.
    void AddListener(IConnectionListener* listener) { m_listeners.push_back(listener); }
    // Asks the dial to end (the event stays set until the next start).
    void Stop() { SetEvent(m_stopEvent); }
    HANDLE StopEvent() const { return m_stopEvent; }
    bool IsConnected() const { return m_connected; }
    IRASClient* Client() const { return m_client; }

    // IRasListener, on RAS's notification thread.
    void OnRasEvent(RASCONNSTATE state, int error) override;

protected:
    bool Prepare() override;
    void Run() override;

private:
    void FillDialParams(DialParams& params);
    // True: dial again if allowed; false: stop.
    bool WaitConnection();
    bool StopRequested() const;
    void ReportStatistics(DWORD seconds);
    template <class F>
    void ForEachListener(F f) {
        for (IConnectionListener* l : m_listeners) f(*l);
    }

    IRASClient* m_client;
    std::vector<IConnectionListener*> m_listeners;
    // The dial's own copy of the settings, taken when it starts: the settings pages may replace
    // the store's profile while it runs. Only the Redial flag is read afresh from the store.
    DialProfile m_profile;
    // Written on RAS's notification thread, read on the dial thread.
    std::atomic<int> m_lastRasError{0};
    std::atomic<bool> m_connected{false};
    HANDLE m_stopEvent;
    ULONGLONG m_lastReceived = 0;  // the totals at the last sample: the rates' baselines
    ULONGLONG m_lastSent = 0;
    std::atomic<int> m_redialCount{0};
    bool m_ruimMode = false;  // never set: the account always comes from the settings
};
