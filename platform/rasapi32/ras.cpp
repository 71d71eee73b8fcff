#include <ras.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

#include "machine/ras.h"
#include "machine/trace.h"

namespace {

struct ErrorText {
    UINT code;
    const wchar_t* text;
};

// The service's error texts.
const ErrorText kErrorTexts[] = {
    {600, L"An operation is pending."},
    {601, L"An invalid port handle was given."},
    {602, L"The port is already open."},
    {603, L"The caller's buffer is too small."},
    {604, L"Wrong information was given."},
    {605, L"The port information cannot be set."},
    {606, L"The port is not connected."},
    {607, L"An invalid event was detected."},
    {608, L"A device that does not exist was given."},
    {609, L"A device type that does not exist was given."},
    {610, L"An invalid buffer was given."},
    {611, L"A route is not available."},
    {612, L"A route is not allocated."},
    {613, L"An invalid compression was given."},
    {614, L"There are not enough buffers available."},
    {615, L"The port was not found."},
    {616, L"An asynchronous request is pending."},
    {617, L"The modem is already disconnecting."},
    {618, L"The port is not open."},
    {619, L"The port was disconnected: a connection to the remote computer could not be made."},
    {620, L"No endpoints could be determined."},
    {621, L"The phone book file cannot be opened."},
    {622, L"The phone book file cannot be loaded."},
    {623, L"The phone book entry for this connection cannot be found."},
    {624, L"The phone book file cannot be written."},
    {625, L"Invalid information was found in the phone book."},
    {626, L"A string cannot be loaded."},
    {627, L"A key cannot be found."},
    {628, L"The connection was closed."},
    {629, L"The connection was closed by the remote computer."},
    {630, L"The modem was disconnected because of a hardware failure."},
    {631, L"The user disconnected the modem."},
    {632, L"An incorrect structure size was detected."},
    {633, L"The modem is already in use or is not set up for dialling out."},
    {634, L"The computer could not be registered on the remote network."},
    {635, L"An unknown error occurred."},
    {636, L"The device attached to the port is not the one expected."},
    {637, L"A string was detected that could not be converted."},
    {638, L"The remote server did not respond in time."},
    {645, L"An internal authentication error occurred."},
    {646, L"The account is not permitted to log on at this time of day."},
    {647, L"The account is disabled."},
    {648, L"The password for this account has expired."},
    {649, L"The account does not have permission to dial in."},
    {650, L"The remote access server is not responding."},
    {651, L"The modem reported an error."},
    {652, L"The modem gave an unrecognised response."},
    {676, L"The phone line is busy."},
    {677, L"A person answered instead of a modem."},
    {678, L"There was no answer."},
    {679, L"No carrier was detected."},
    {680, L"There was no dial tone."},
    {691, L"Access was denied because the user name or password is not valid on the domain."},
    {692, L"There was a hardware failure in the modem."},
    {718, L"The remote computer did not answer the link negotiation in time."},
    {720, L"No link control protocols could be agreed with the remote computer."},
    {734, L"The link control protocol was terminated."},
    {742, L"The remote computer does not support the required encryption."},
    {769, L"The remote destination cannot be reached."},
    {777, L"The modem on the remote computer is out of order."},
    {797, L"The modem could not be found or is busy."},
};

bool ValidName(LPCWSTR name) {
    return name != nullptr && *name != 0;
}

}  // namespace

DWORD RasSetEntryPropertiesW(LPCWSTR phonebook, LPCWSTR entryName, LPRASENTRYW entry,
                             DWORD entrySize, LPBYTE arg5, DWORD arg6) {
    API_TRACE(Ras, RasSetEntryPropertiesW, phonebook, entryName, entry, entrySize, arg5, arg6);
    if (!ValidName(entryName) || entry == nullptr) return ERROR_INVALID_PARAMETER;
    if (std::wcslen(entryName) > RAS_MaxEntryName) return ERROR_INVALID_PARAMETER;
    return sim::Ras::Get().SetEntry(phonebook, entryName, entry, entrySize);
}

DWORD RasGetEntryPropertiesW(LPCWSTR phonebook, LPCWSTR entryName, LPRASENTRYW entry,
                             LPDWORD entrySize, LPBYTE devInfo, LPDWORD devInfoSize) {
    API_TRACE(Ras, RasGetEntryPropertiesW, phonebook, entryName, entry, entrySize, devInfo,
              devInfoSize);
    if (!ValidName(entryName) || entrySize == nullptr || devInfo != nullptr)
        return ERROR_INVALID_PARAMETER;
    if (devInfoSize) *devInfoSize = 0;
    return sim::Ras::Get().GetEntry(phonebook, entryName, entry, entrySize);
}

DWORD RasEnumConnectionsW(LPRASCONNW connections, LPDWORD size, LPDWORD count) {
    API_TRACE(Ras, RasEnumConnectionsW, connections, size, count);
    if (size == nullptr || count == nullptr) return ERROR_INVALID_PARAMETER;
    if (connections != nullptr && connections->dwSize != sizeof(RASCONNW))
        return ERROR_INVALID_SIZE;
    std::vector<sim::RasLine> listed;
    for (const sim::RasLine& line : sim::Ras::Get().Lines())
        if (line.phase != sim::RasPhase::TearingDown && line.phase != sim::RasPhase::Gone)
            listed.push_back(line);
    const DWORD needed = static_cast<DWORD>(listed.size() * sizeof(RASCONNW));
    *count = 0;
    if (needed > 0 && (connections == nullptr || *size < needed)) {
        *size = needed;
        return ERROR_BUFFER_TOO_SMALL;
    }
    for (std::size_t i = 0; i < listed.size(); ++i) {
        RASCONNW& out = connections[i];
        std::memset(&out, 0, sizeof out);
        out.dwSize = sizeof(RASCONNW);
        out.hrasconn = listed[i].handle;
        auto copy = [](WCHAR* dst, std::size_t capacity, const std::wstring& src) {
            std::size_t n = std::min(src.size(), capacity - 1);
            std::wmemcpy(dst, src.c_str(), n);
            dst[n] = 0;
        };
        copy(out.szEntryName, RAS_MaxEntryName + 1, listed[i].entryName);
        copy(out.szDeviceType, RAS_MaxDeviceType + 1, RASDT_Modem);
        copy(out.szDeviceName, RAS_MaxDeviceName + 1, listed[i].deviceName);
    }
    *count = static_cast<DWORD>(listed.size());
    *size = needed;
    return 0;
}

DWORD RasDeleteEntryW(LPCWSTR phonebook, LPCWSTR entryName) {
    API_TRACE(Ras, RasDeleteEntryW, phonebook, entryName);
    if (!ValidName(entryName)) return ERROR_INVALID_PARAMETER;
    return sim::Ras::Get().DeleteEntry(phonebook, entryName);
}

DWORD RasDialW(LPRASDIALEXTENSIONS arg1, LPCWSTR phonebook, LPRASDIALPARAMSW params,
               DWORD notifierType, LPVOID notifier, LPHRASCONN connection) {
    API_TRACE(Ras, RasDialW, arg1, phonebook, params, notifierType, notifier, connection);
    if (params == nullptr || connection == nullptr || *connection != nullptr)
        return ERROR_INVALID_PARAMETER;
    if (params->dwSize != sizeof(RASDIALPARAMSW) &&
        params->dwSize != offsetof(RASDIALPARAMSW, dwSubEntry))
        return ERROR_INVALID_SIZE;
    if (notifierType != 1 || notifier == nullptr) return ERROR_INVALID_PARAMETER;
    return sim::Ras::Get().Dial(phonebook, params, reinterpret_cast<RasDialFunc1>(notifier),
                                connection);
}

DWORD RasHangUpW(HRASCONN connection) {
    API_TRACE(Ras, RasHangUpW, connection);
    if (connection == nullptr) return ERROR_INVALID_HANDLE;
    return sim::Ras::Get().HangUp(connection);
}

DWORD RasGetConnectStatusW(HRASCONN connection, LPRASCONNSTATUSW status) {
    API_TRACE(Ras, RasGetConnectStatusW, connection, status);
    if (status == nullptr) return ERROR_INVALID_PARAMETER;
    if (status->dwSize != sizeof(RASCONNSTATUSW) &&
        status->dwSize != offsetof(RASCONNSTATUSW, szPhoneNumber))
        return ERROR_INVALID_SIZE;
    if (connection == nullptr) return ERROR_INVALID_HANDLE;
    return sim::Ras::Get().Status(connection, status);
}

DWORD RasGetErrorStringW(UINT error, LPWSTR buffer, DWORD bufferChars) {
    API_TRACE(Ras, RasGetErrorStringW, error, buffer, bufferChars);
    if (buffer == nullptr || bufferChars == 0) return ERROR_INVALID_PARAMETER;
    for (const ErrorText& e : kErrorTexts) {
        if (e.code != error) continue;
        std::size_t n = std::wcslen(e.text);
        if (n + 1 > bufferChars) return ERROR_INSUFFICIENT_BUFFER;
        std::wmemcpy(buffer, e.text, n + 1);
        return 0;
    }
    return ERROR_INVALID_PARAMETER;
}

DWORD RasGetConnectionStatistics(HRASCONN connection, RAS_STATS* statistics) {
    API_TRACE(Ras, RasGetConnectionStatistics, connection, statistics);
    if (statistics == nullptr) return ERROR_INVALID_PARAMETER;
    if (statistics->dwSize != sizeof(RAS_STATS)) return ERROR_INVALID_SIZE;
    if (connection == nullptr) return ERROR_INVALID_HANDLE;
    return sim::Ras::Get().Statistics(connection, statistics);
}
