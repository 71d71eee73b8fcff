#include "app/connection.h"

#include "app/device_status.h"

namespace {

constexpr DWORD kPollMs = 100;
constexpr int kPauseRounds = 150;  // 15 s after an error
constexpr DWORD kStatisticsMs = 1000;

}  // namespace

CConnection::CConnection()
    : m_client(CreateRasClient(&CCDMATime::Instance())),
      m_stopEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CConnection::~CConnection() {
    ReleaseRasClient(m_client);
    m_client = nullptr;
    if (m_stopEvent != nullptr) CloseHandle(m_stopEvent);
    m_listeners.clear();
}

bool CConnection::Prepare() {
    m_ruimMode = false;
    ResetEvent(m_stopEvent);
    CDialSettings& settings = CDialSettings::Instance();
    if (!settings.InitString().empty()) {
        m_client->SetPortName(CDeviceStatus::Instance().GetModemPort());
        m_client->SetInitString(settings.InitString());
    }
    m_profile = settings.Profile();
    m_client->SetAuthentication(m_profile.CHAP, m_profile.PAP);
    return true;
}

void CConnection::FillDialParams(DialParams& params) {
    const DialProfile& profile = m_profile;
    params.DeviceName = CDeviceStatus::Instance().GetModemName();
    params.EntryName = kEntryName;
    params.PhoneNumber = profile.Number;
    params.UserName = profile.User;
    params.Password = profile.Pass;
    params.DnsMain = profile.DNSMain;
    params.DnsMinor = profile.DNSMinor;
    params.IpAddress = profile.IPAddress;
    // In R-UIM mode the account would come from the device command service's PPP record; the
    // device status object never holds that service, so the settings' account is used.
}

void CConnection::OnRasEvent(RASCONNSTATE state, int error) {
    m_lastRasError = error;
    std::wstring text = GetRasStateText(state);
    ForEachListener([&](IConnectionListener& l) { l.OnStateText(text); });
    if (state == RASCS_Connected) {
        m_redialCount = 0;
        m_connected = true;
        ForEachListener([](IConnectionListener& l) { l.OnConnected(); });
    }
}

void CConnection::Run() {
    m_redialCount = 0;
    m_lastRasError = 0;
    m_connected = false;
    m_lastReceived = 0;
    m_lastSent = 0;
    m_client->SetListener(this);

    DialParams params;
    FillDialParams(params);
    for (;;) {
        // A stop pressed while a dropped or failed line was hung up ends the dial here: no call
        // is placed after a stop.
        if (StopRequested()) break;
        if (!m_client->Dial(params)) {
            std::wstring text = m_client->GetErrorText(static_cast<int>(GetLastError()));
            ForEachListener([&](IConnectionListener& l) { l.OnError(text); });
            SetEvent(m_stopEvent);  // the wait below ends at once
        }
        bool redial = WaitConnection();
        m_connected = false;
        if (!redial || !CDialSettings::Instance().Profile().Redial) break;
        ForEachListener([](IConnectionListener& l) { l.OnDisconnecting(); });
        m_client->HangUp();
        if (m_redialCount >= kMaxDials) break;
        m_lastRasError = 0;
        m_connected = false;
        m_lastReceived = 0;
        m_lastSent = 0;
    }

    ForEachListener([](IConnectionListener& l) { l.OnDisconnecting(); });
    m_client->SetListener(nullptr);
    m_client->HangUp();
    ForEachListener([](IConnectionListener& l) { l.OnDisconnected(); });
}

bool CConnection::WaitConnection() {
    DWORD last = GetTickCount();
    int error = 0;
    bool lostWhileDialling = false;
    for (;;) {
        if (WaitForSingleObject(m_stopEvent, kPollMs) == WAIT_OBJECT_0) return false;
        error = 0;
        // Read before the state: the connected notification may arrive while the state is asked
        // for, and a state from before it is no drop.
        const bool wasConnected = m_connected;
        RASCONNSTATE state = m_client->GetConnectState(&error);
        if (state != RASCS_Connected && wasConnected) return true;  // the line dropped
        if ((error != 0 || m_lastRasError != 0) && error != PENDING) break;
        // A connection that RAS no longer knows (or reports closed) before it ever connected
        // will not connect: that is a failed dial, not a wait that never ends. (A connected
        // notification that came during the query makes the next round see a drop instead.)
        if (state == RASCS_Disconnected && !m_connected) {
            lostWhileDialling = true;
            break;
        }
        DWORD now = GetTickCount();
        if (now - last > kStatisticsMs && m_connected) {
            ReportStatistics((now - last) / 1000);
            last = now;
        }
    }

    int code = error != 0 ? error : m_lastRasError.load();
    if (code == 0 && lostWhileDialling) code = ERROR_DISCONNECTION;
    std::wstring text = m_client->GetErrorText(code);
    ForEachListener([&](IConnectionListener& l) { l.OnError(text); });
    for (int i = 0; i < kPauseRounds; ++i)
        if (WaitForSingleObject(m_stopEvent, kPollMs) == WAIT_OBJECT_0) return false;
    if (error == ERROR_PORT_DISCONNECTED) return false;
    ++m_redialCount;
    return true;
}

bool CConnection::StopRequested() const {
    return WaitForSingleObject(m_stopEvent, 0) == WAIT_OBJECT_0;
}

void CConnection::ReportStatistics(DWORD seconds) {
    ConnectionInfo info;
    if (!m_client->GetStatistics(&info)) return;
    if (seconds == 0) seconds = 1;
    // Rates come from the 64-bit totals, which keep counting where RAS's counters wrap.
    ULONGLONG received =
        info.bytesReceived >= m_lastReceived ? (info.bytesReceived - m_lastReceived) / seconds : 0;
    ULONGLONG sent = info.bytesSent >= m_lastSent ? (info.bytesSent - m_lastSent) / seconds : 0;
    m_lastReceived = info.bytesReceived;
    m_lastSent = info.bytesSent;
    ForEachListener([&](IConnectionListener& l) { l.OnStatistics(info, received, sent); });
}
