#include "app/ras_client.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <locale>
#include <sstream>

#include "app/serial_port.h"
#include "support/auto_lock.h"
#include "support/platform_helpers.h"

namespace {

struct RasStateText {
    RASCONNSTATE state;
    const wchar_t* text;
};

const RasStateText RasStateTextTable[] = {
    {RASCS_OpenPort, L"正在打开端口..."},
    {RASCS_PortOpened, L"断口成功打开"},
    {RASCS_ConnectDevice, L"正在连接设备..."},
    {RASCS_DeviceConnected, L"设备连接成功"},
    {RASCS_AllDevicesConnected, L"设备链上的所有设备都已经连接成功"},
    {RASCS_Authenticate, L"开始认证过程..."},
    {RASCS_AuthNotify, L"认证事件已经产生"},
    {RASCS_AuthRetry, L"用新的用户名/密码/域重新尝试验证"},
    {RASCS_AuthCallback, L"远程接入服务器请求一个回叫号码"},
    {RASCS_AuthChangePassword, L"更改账户上的密码"},
    {RASCS_AuthProject, L"正在验证用户名和密码..."},
    {RASCS_AuthLinkSpeed, L"连接速度计算阶段开始..."},
    {RASCS_AuthAck, L"正在确认认证请求..."},
    {RASCS_ReAuthenticate, L"开始重新认证..."},
    {RASCS_Authenticated, L"认证成功"},
    {RASCS_PrepareForCallback, L"链接即将断开准备回叫"},
    {RASCS_WaitForCallback, L"等待远程接入服务器呼入..."},
    {RASCS_Projected, L"计划阶段完成"},
    {RASCS_StartAuthentication, L"用户认证正在初始化或重试..."},
    {RASCS_CallbackComplete, L"回叫结束并恢复认证..."},
    {RASCS_LogonNetwork, L"正在注册到网络..."},
    {RASCS_SubEntryConnected, L"拨号过程中子入口已经连接"},
    {RASCS_SubEntryDisconnected, L"一个子入口已经断开"},
    {RASCS_Interactive, L"响应中断状态"},
    {RASCS_RetryAuthentication, L"重新尝试认证"},
    {RASCS_CallbackSetByCaller, L"设置回叫号码"},
    {RASCS_PasswordExpired, L"请求密码"},
    {RASCS_InvokeEapUI, L"启动拨号用户界面"},
    {RASCS_Connected, L"网络已经连接"},
    {RASCS_Disconnected, L"网络已经断开"},
};
static_assert(sizeof(RasStateTextTable) / sizeof(RasStateTextTable[0]) == 30);

// Whether the registry may still be used (it goes at exit, while RAS may still call).
std::atomic<bool> g_registryAlive{false};

// Splits at every separator; empty parts are kept, and nothing follows a trailing separator.
std::vector<std::wstring> SplitText(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::wstring::npos) end = text.size();
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// A wide stream's integer extraction: leading blanks skipped, an optional sign, digits up to the
// first other character. No number gives 0; a number out of range gives the nearest limit.
int ParseDecimal(const std::wstring& text) {
    std::wistringstream in(text);
    in.imbue(std::locale::classic());
    int value = 0;
    in >> value;
    return value;
}

template <std::size_t N>
void CopyText(WCHAR (&dst)[N], const std::wstring& src, std::size_t maxChars) {
    std::size_t n = std::min({src.size(), maxChars, N - 1});
    std::wmemcpy(dst, src.c_str(), n);
    dst[n] = 0;
}

}  // namespace

std::wstring GetRasStateText(RASCONNSTATE state) {
    for (const RasStateText& row : RasStateTextTable)
        if (row.state == state) return row.text;
    return std::wstring();
}

bool ParseIpAddress(const std::wstring& text, RASIPADDR& out) {
    std::vector<std::wstring> parts = SplitText(text, L'.');
    if (parts.size() != 4) return false;
    BYTE bytes[4];
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<BYTE>(ParseDecimal(parts[i]) & 0xFF);
    out.a = bytes[0];
    out.b = bytes[1];
    out.c = bytes[2];
    out.d = bytes[3];
    return true;
}

IRASClient* CreateRasClient(ICDMATime* time) {
    return new CRasClient(time);
}

void ReleaseRasClient(IRASClient* client) {
    delete static_cast<CRasClient*>(client);
}

// ---- Registry ----

CRasClientRegistry& CRasClientRegistry::Instance() {
    static CRasClientRegistry registry;
    return registry;
}

CRasClientRegistry::CRasClientRegistry() {
    InitializeCriticalSection(&m_lock);
    m_library = LoadLibraryW(L"RasAPI32.dll");
    if (m_library != nullptr)
        m_getStatistics = reinterpret_cast<PFN_RASGETCONNECTIONSTATISTICS>(
            GetProcAddress(m_library, "RasGetConnectionStatistics"));
    g_registryAlive = true;
}

CRasClientRegistry::~CRasClientRegistry() {
    g_registryAlive = false;
    if (m_library != nullptr) FreeLibrary(m_library);
    m_library = nullptr;
    m_getStatistics = nullptr;
    DeleteCriticalSection(&m_lock);
}

void CRasClientRegistry::Add(CRasClient* client) {
    Lock();
    m_clients.push_back(client);
    Unlock();
}

void CRasClientRegistry::Remove(CRasClient* client) {
    Lock();
    m_clients.erase(std::remove(m_clients.begin(), m_clients.end(), client), m_clients.end());
    Unlock();
}

CRasClient* CRasClientRegistry::Find(HRASCONN handle) {
    CRasClient* found = nullptr;
    Lock();
    for (CRasClient* c : m_clients)
        if (c->m_handle == handle) found = c;
    Unlock();
    return found;
}

void RasDialCallback(HRASCONN connection, UINT, RASCONNSTATE state, DWORD error, DWORD) {
    if (!g_registryAlive) return;
    CRasClient* client = CRasClientRegistry::Instance().Find(connection);
    if (client != nullptr) client->OnRasNotify(state, error);
}

// ---- Client ----

CRasClient::CRasClient(ICDMATime* time) : m_time(time) {
    InitializeCriticalSection(&m_statisticsLock);
    CRasClientRegistry::Instance();  // binds the statistics entry point
    ResetStatistics();
}

CRasClient::~CRasClient() {
    // A client must not stay registered (or keep its line) once it is gone.
    if (m_handle != nullptr) HangUp();
    CRasClientRegistry::Instance().Remove(this);
    DeleteCriticalSection(&m_statisticsLock);
}

void CRasClient::SetAuthentication(bool chap, bool pap) {
    m_options = 0;
    if (chap) m_options |= RASEO_RequireCHAP;
    if (pap) m_options |= RASEO_RequirePAP;
}

void CRasClient::WriteInitString() {
    if (m_initString.empty()) return;
    const std::wstring path = SerialPortPath(m_portName);
    try {
        CSerialPort port;
        port.Open(path, 115200, CSerialPort::NoParity, 8, CSerialPort::OneStopBit,
                  CSerialPort::NoFlowControl, false);
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = 1;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = 30;
        timeouts.WriteTotalTimeoutMultiplier = 1;
        timeouts.WriteTotalTimeoutConstant = 30;
        port.SetTimeouts(timeouts);
        port.Write(m_initString.data(), static_cast<DWORD>(m_initString.size()));
        port.Close();
    } catch (const CSerialException&) {
        // A missing or busy port never stops a dial.
    }
}

bool CRasClient::Dial(const DialParams& params) {
    WriteInitString();
    if (m_handle != nullptr) {
        SetLastError(ERROR_PORT_ALREADY_OPEN);
        return false;
    }
    if (!SetEntryProperties(params)) return false;
    ResetStatistics();

    RASDIALPARAMSW dial;
    std::memset(&dial, 0, sizeof dial);
    dial.dwSize = sizeof dial;
    CopyText(dial.szEntryName, params.EntryName, RAS_MaxEntryName);
    CopyText(dial.szPhoneNumber, params.PhoneNumber, RAS_MaxPhoneNumber);
    CopyText(dial.szUserName, params.UserName, UNLEN);
    CopyText(dial.szPassword, params.Password, PWLEN);

    // A notification may arrive before RasDialW returns: it waits on the registry's lock until
    // this client is registered under its handle.
    CRasClientRegistry& registry = CRasClientRegistry::Instance();
    registry.Lock();
    HRASCONN handle = nullptr;
    DWORD result =
        RasDialW(nullptr, nullptr, &dial, 1, reinterpret_cast<LPVOID>(&RasDialCallback), &handle);
    m_handle = handle;  // a handle returned with a failure stays held until HangUp
    if (result == 0) registry.Add(this);
    registry.Unlock();
    std::memset(dial.szPassword, 0, sizeof dial.szPassword);
    if (result != 0) {
        SetLastError(result);
        return false;
    }
    return true;
}

bool CRasClient::SetEntryProperties(const DialParams& params) {
    RASENTRYW entry;
    std::memset(&entry, 0, sizeof entry);
    int version = GetOsVersionCode();
    // Windows 2000 knows the entry only up to the fields that Windows XP added.
    entry.dwSize = version == kOsWin2000 ? RASENTRYW_V500_SIZE : sizeof(RASENTRYW);
    entry.dwfNetProtocols = RASNP_Ip;
    entry.dwFramingProtocol = RASFP_Ppp;
    CopyText(entry.szLocalPhoneNumber, params.PhoneNumber, RAS_MaxPhoneNumber);
    CopyText(entry.szDeviceType, RASDT_Modem, RAS_MaxDeviceType);
    CopyText(entry.szDeviceName, params.DeviceName, RAS_MaxDeviceName);
    entry.dwfOptions = RASEO_RemoteDefaultGateway;
    if (version >= kOsWin2000) {
        entry.dwfOptions |=
            m_options | RASEO_ShowDialingProgress | RASEO_PreviewUserPw | RASEO_PreviewPhoneNumber;
        entry.dwType = RASET_Phone;
        if (m_options != 0) entry.dwEncryptionType = ET_Optional;
    }
    if (!params.DnsMain.empty() || !params.DnsMinor.empty())
        entry.dwfOptions |= RASEO_SpecificNameServers;
    if (!params.IpAddress.empty()) entry.dwfOptions |= RASEO_SpecificIpAddr;
    ParseIpAddress(params.DnsMain, entry.ipaddrDns);
    ParseIpAddress(params.DnsMinor, entry.ipaddrDnsAlt);
    ParseIpAddress(params.IpAddress, entry.ipaddr);
    if (version >= kOsWinXP) entry.dwfOptions2 = RASEO2_DisableNbtOverIP;
    DWORD result =
        RasSetEntryPropertiesW(nullptr, params.EntryName.c_str(), &entry, entry.dwSize, nullptr, 0);
    if (result != 0) {
        SetLastError(result);
        return false;
    }
    return true;
}

void CRasClient::ResetStatistics() {
    CAutoLock lock(m_statisticsLock);
    const int* now = m_time != nullptr ? m_time->Now() : nullptr;
    if (now != nullptr) {
        m_statistics.year = now[0];
        m_statistics.month = now[1];
        m_statistics.day = now[2];
        m_statistics.hour = now[3];
        m_statistics.minute = now[4];
        m_statistics.second = now[5];
    }
    m_statistics.duration = 0;
    m_statistics.bytesSent = 0;
    m_statistics.bytesReceived = 0;
    m_lastSent = 0;
    m_lastReceived = 0;
    m_startTick = GetTickCount();
}

void CRasClient::OnRasNotify(RASCONNSTATE state, DWORD error) {
    if (state == RASCS_Connected) ResetStatistics();  // the connection time starts here
    if (IRasListener* listener = m_listener.load())
        listener->OnRasEvent(state, static_cast<int>(error));
}

bool CRasClient::HangUp() {
    if (m_handle == nullptr) return true;
    RasHangUpW(m_handle);
    for (;;) {
        RASCONNSTATUSW status;
        std::memset(&status, 0, sizeof status);
        status.dwSize = sizeof status;
        if (RasGetConnectStatusW(m_handle, &status) == ERROR_INVALID_HANDLE) break;
        if (GetOsVersionCode() >= kOsWin2000) RasHangUpW(m_handle);
        Sleep(100);
    }
    CRasClientRegistry& registry = CRasClientRegistry::Instance();
    registry.Lock();
    m_handle = nullptr;
    registry.Remove(this);
    registry.Unlock();
    return true;
}

RASCONNSTATE CRasClient::GetConnectState(int* error) {
    RASCONNSTATUSW status;
    std::memset(&status, 0, sizeof status);
    status.dwSize = sizeof status;
    DWORD result = RasGetConnectStatusW(m_handle, &status);
    if (result == ERROR_INVALID_HANDLE) return RASCS_Disconnected;
    if (result != 0) {
        // The query itself failed: its code is the error, and the state is unknown.
        if (error != nullptr) *error = static_cast<int>(result);
        return RASCS_Disconnected;
    }
    if (error != nullptr) *error = static_cast<int>(status.dwError);
    return status.rasconnstate;
}

const std::wstring& CRasClient::GetErrorText(int code) {
    wchar_t buffer[512];
    std::memset(buffer, 0, sizeof buffer);
    RasGetErrorStringW(static_cast<UINT>(code), buffer, 512);
    buffer[511] = 0;
    m_errorText = buffer;
    return m_errorText;
}

bool CRasClient::QueryStatistics(RAS_STATS* stats) {
    PFN_RASGETCONNECTIONSTATISTICS query = CRasClientRegistry::Instance().Statistics();
    if (query == nullptr) return false;
    std::memset(stats, 0, sizeof *stats);
    stats->dwSize = sizeof *stats;
    return query(m_handle, stats) == 0;
}

bool CRasClient::GetByteCounts(ULONGLONG* sent, ULONGLONG* received) {
    RAS_STATS stats;
    if (!QueryStatistics(&stats)) return false;
    *sent = stats.dwBytesXmited;
    *received = stats.dwBytesRcved;
    return true;
}

void CRasClient::Accumulate(ULONGLONG& total, DWORD& lastReading, DWORD counter) {
    if (counter >= lastReading) {
        total += counter - lastReading;
    } else if (lastReading >= 0x80000000u) {
        total += counter + (0x100000000ull - lastReading);  // the counter wrapped
    } else {
        total += counter;  // the counter started again from 0
    }
    lastReading = counter;
}

bool CRasClient::GetStatistics(ConnectionInfo* out) {
    if (CRasClientRegistry::Instance().Statistics() == nullptr) return false;
    RAS_STATS stats;
    bool ok = QueryStatistics(&stats);
    CAutoLock lock(m_statisticsLock);
    if (ok) {
        Accumulate(m_statistics.bytesReceived, m_lastReceived, stats.dwBytesRcved);
        Accumulate(m_statistics.bytesSent, m_lastSent, stats.dwBytesXmited);
        m_statistics.duration = static_cast<int>((GetTickCount() - m_startTick) / 1000);
    }
    if (out != nullptr) *out = m_statistics;
    return ok;
}
