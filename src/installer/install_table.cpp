#include "installer/install_table.h"

#include <cstring>

#include <devguid.h>
#include <setupapi.h>
#include "support/platform_helpers.h"

namespace {

enum Which { kModem, kSerial1, kSerial2, kSerial3, kSerial4 };

struct TableRow {
    const wchar_t* hardwareId;
    Which installer;
    bool required;
};

// For each model, the first interface takes the modem driver and the further interfaces take
// serial installers 1 to 4 in interface order.
const TableRow kRows[kInstallTableRows] = {
    {L"USB\\VID_05C6&PID_3197&MI_00", kModem, true},
    {L"USB\\VID_05C6&PID_3197&MI_01", kSerial1, true},
    {L"USB\\VID_05C6&PID_6000&MI_00", kModem, true},
    {L"USB\\VID_05C6&PID_6000&MI_01", kSerial1, true},
    {L"USB\\VID_05C6&PID_6000&MI_02", kSerial2, true},
    {L"USB\\VID_3A5C&PID_FFFE&MI_00", kModem, true},
    {L"USB\\VID_3A5C&PID_FFFE&MI_01", kSerial1, true},
    {L"USB\\VID_3A5C&PID_FFFE&MI_02", kSerial2, true},
    {L"USB\\VID_3A5C&PID_FFFE&MI_03", kSerial3, false},
    {L"USB\\VID_3A5C&PID_FFFD&MI_00", kModem, true},
    {L"USB\\VID_3A5C&PID_FFFD&MI_01", kSerial1, true},
    {L"USB\\VID_3A5C&PID_FFFD&MI_02", kSerial2, false},
    {L"USB\\VID_3A5C&PID_FFFF&MI_00", kModem, true},
    {L"USB\\VID_3A5C&PID_FFFF&MI_01", kSerial1, true},
    {L"USB\\VID_3A5C&PID_FFFF&MI_02", kSerial2, true},
    {L"USB\\VID_3A5C&PID_FFFF&MI_03", kSerial3, false},
    {L"USB\\VID_3A5C&PID_FFFA&MI_00", kModem, true},
    {L"USB\\VID_3A5C&PID_FFF9&MI_00", kModem, true},
    {L"USB\\VID_3A5C&PID_FFF9&MI_01", kSerial1, true},
    {L"USB\\VID_3A5C&PID_FFF8&MI_00", kModem, true},
    {L"USB\\VID_3A5C&PID_FFF8&MI_01", kSerial1, true},
    {L"USB\\VID_3A5C&PID_FFF8&MI_02", kSerial2, true},
    {L"USB\\VID_3A5C&PID_FFF8&MI_03", kSerial3, true},
    {L"USB\\VID_3A5C&PID_FFF7&MI_00", kModem, true},
    {L"USB\\VID_3A5C&PID_FFF7&MI_01", kSerial1, true},
    {L"USB\\VID_3A5C&PID_FFF7&MI_02", kSerial2, true},
    {L"USB\\VID_3A5C&PID_FFF7&MI_03", kSerial3, true},
    {L"USB\\VID_3A5C&PID_FFF7&MI_04", kSerial4, true},
    {L"USB\\VID_3A5C&PID_FFF6&MI_01", kModem, true},
    {L"USB\\VID_3A5C&PID_FFF6&MI_02", kSerial1, true},
    {L"USB\\VID_3A5C&PID_FFF6&MI_03", kSerial2, true},
    {L"USB\\VID_3A5C&PID_FFF6&MI_04", kSerial3, false},
    {L"USB\\VID_3A5C&PID_FFF1&MI_00", kModem, true},
    {L"USB\\VID_3A5C&PID_FFF1&MI_01", kSerial1, true},
    {L"USB\\VID_3A5C&PID_FFF1&MI_02", kSerial2, true},
    {L"USB\\VID_3A5C&PID_FFF1&MI_03", kSerial3, false},
    {L"USB\\VID_3A5C&PID_FFF1&MI_04", kSerial4, false},
    {L"USB\\VID_3A5C&PID_FFEF&MI_00", kModem, true},
    {L"USB\\VID_3A5C&PID_FFEF&MI_01", kSerial1, true},
};

const wchar_t* const kModelSuffixes[] = {L"_6000", L"_3197", L"_FFFE", L"_FFFD",
                                         L"_FFFF", L"_FFFA", L"_FFF9", L"_FFF8",
                                         L"_FFF7", L"_FFF6", L"_FFF1", L"_FFEF"};

const wchar_t* const kSupportedUsbIds[] = {
    L"USB\\VID_05C6&PID_3197", L"USB\\VID_05C6&PID_6000", L"USB\\VID_3A5C&PID_FFFD",
    L"USB\\VID_3A5C&PID_FFFE", L"USB\\VID_3A5C&PID_FFFF", L"USB\\VID_3A5C&PID_FFFC",
    L"USB\\VID_3A5C&PID_FFFB", L"USB\\VID_3A5C&PID_FFFA", L"USB\\VID_3A5C&PID_FFF9",
    L"USB\\VID_3A5C&PID_FFF8", L"USB\\VID_3A5C&PID_FFF7", L"USB\\VID_3A5C&PID_FFF6",
    L"USB\\VID_3A5C&PID_FFF5", L"USB\\VID_3A5C&PID_FFF1", L"USB\\VID_3A5C&PID_FFEF",
};

constexpr DWORD kWaitLimitMs = 120000;

std::wstring UpperAscii(std::wstring s) {
    for (auto& c : s)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return s;
}

}  // namespace

std::vector<InstallItem> BuildInstallTable(DriverInstallers& installers) {
    std::vector<InstallItem> table;
    table.reserve(kInstallTableRows);
    for (const TableRow& row : kRows) {
        InstallItem item;
        bool modem = row.installer == kModem;
        item.Slot = modem ? &installers.Modem : &installers.Serial[row.installer - kSerial1];
        item.HardwareId = row.hardwareId;
        item.MessageKey = modem ? L"InstallModem" : L"InstallPort";
        item.FailureKey = modem ? L"FailInstallModem" : L"FailInstallPort";
        item.Required = row.required;
        table.push_back(item);
    }
    return table;
}

int WaitForAnyItem(int count, std::vector<InstallItem>& rows) {
    DWORD start = GetTickCount();
    do {
        for (int i = 0; i < count && i < static_cast<int>(rows.size()); ++i) {
            InstallItem& row = rows[i];
            if (row.Slot == nullptr || *row.Slot == nullptr) continue;
            if ((*row.Slot)->IsPresent(0, row.HardwareId.c_str())) return i;
        }
        Sleep(300);
    } while (GetTickCount() - start < kWaitLimitMs);
    return count;
}

void KeepModelItems(int count, std::vector<InstallItem>& rows, const std::wstring& suffix) {
    for (int i = 0; i < count && i < static_cast<int>(rows.size()); ++i)
        if (rows[i].HardwareId.find(suffix) == std::wstring::npos) rows[i].Slot = nullptr;
}

std::wstring FindModelSuffix(const std::wstring& hardwareId) {
    for (const wchar_t* suffix : kModelSuffixes)
        if (hardwareId.find(suffix) != std::wstring::npos) return suffix;
    return L"";
}

bool IsSupportedUsbId(const std::wstring& hardwareId) {
    for (const wchar_t* id : kSupportedUsbIds)
        if (hardwareId.find(id) != std::wstring::npos) return true;
    return false;
}

bool IsModemModePresent() {
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_USB, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return false;
    SP_DEVINFO_DATA device;
    std::memset(&device, 0, sizeof device);
    device.cbSize = sizeof device;
    bool found = false;
    // 256 characters, and one more that stays zero so the list always ends in a double NUL.
    wchar_t buffer[257];
    for (DWORD index = 0; !found && SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        std::memset(buffer, 0, sizeof buffer);
        DWORD type = 0;
        if (!SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_HARDWAREID, &type,
                                               reinterpret_cast<PBYTE>(buffer),
                                               sizeof(wchar_t) * 256, nullptr))
            continue;
        if (!IsSupportedUsbId(UpperAscii(buffer))) continue;
        std::memset(buffer, 0, sizeof buffer);
        if (!SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_COMPATIBLEIDS, &type,
                                               reinterpret_cast<PBYTE>(buffer),
                                               sizeof(wchar_t) * 256, nullptr))
            continue;
        for (int i = 0; i < 255 && !(buffer[i] == 0 && buffer[i + 1] == 0); ++i)
            if (buffer[i] == 0) buffer[i] = L'|';
        std::wstring ids = UpperAscii(buffer);
        DebugLog(L"Device Compatible ID : %s", ids.c_str());
        found = (ids.find(L"DEVCLASS") != std::wstring::npos &&
                 ids.find(L"SUBCLASS") != std::wstring::npos) ||
                ids.find(L"USB\\COMPOSITE") != std::wstring::npos;
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}
