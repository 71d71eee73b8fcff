// Device registry keys (SetupDiOpenDevRegKey) walked with RegEnumValueW.
#include <cstring>
#include <map>
#include <string>

#include "common/sim_fixture.h"
#include <winbase.h>
#include <winreg.h>
#include <setupapi.h>
#include "machine/modem.h"

namespace {

class DevRegKeyTest : public SimTest {
protected:
    // Every value of the key as name -> text.
    static std::map<std::wstring, std::wstring> Values(HKEY key) {
        std::map<std::wstring, std::wstring> out;
        for (DWORD i = 0;; ++i) {
            wchar_t name[64];
            wchar_t data[64];
            DWORD nameChars = 64, dataBytes = sizeof data, type = 0;
            LSTATUS s = RegEnumValueW(key, i, name, &nameChars, nullptr, &type,
                                      reinterpret_cast<LPBYTE>(data), &dataBytes);
            if (s != ERROR_SUCCESS) {
                EXPECT_EQ(s, ERROR_NO_MORE_ITEMS);
                break;
            }
            EXPECT_EQ(nameChars, std::wcslen(name));
            EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
            out[name] = std::wstring(data, dataBytes / sizeof(wchar_t)).c_str();
        }
        return out;
    }
};

TEST_F(DevRegKeyTest, DriverAndDeviceKeysOfTheModem) {
    sim::ModemOptions o;
    o.startInModemMode = true;
    auto modem = sim::SimModem::Plug(o);
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_MODEM, nullptr, nullptr, DIGCF_PRESENT);
    SP_DEVINFO_DATA device;
    std::memset(&device, 0, sizeof device);
    device.cbSize = sizeof device;
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &device));

    HKEY drv = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
    ASSERT_NE(drv, reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
    auto values = Values(drv);
    EXPECT_EQ(values[L"AttachedTo"], L"COM3");
    EXPECT_EQ(values[L"FriendlyName"], L"CDMA USB Modem");
    EXPECT_EQ(values.size(), 2u);

    // Too small a name buffer, and too small a data buffer.
    wchar_t name[4];
    DWORD nameChars = 4, dataBytes = 2;
    BYTE data[2];
    EXPECT_EQ(RegEnumValueW(drv, 0, name, &nameChars, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    nameChars = 64;
    wchar_t longName[64];
    EXPECT_EQ(RegEnumValueW(drv, 0, longName, &nameChars, nullptr, nullptr, data, &dataBytes),
              ERROR_MORE_DATA);
    EXPECT_EQ(dataBytes, 5 * sizeof(wchar_t));  // "COM3" and its terminator
    EXPECT_EQ(RegCloseKey(drv), ERROR_SUCCESS);

    HKEY dev = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    ASSERT_NE(dev, reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
    EXPECT_EQ(Values(dev)[L"PortName"], L"COM3");
    RegCloseKey(dev);
    SetupDiDestroyDeviceInfoList(set);
}

TEST_F(DevRegKeyTest, ProgramWritesSurviveAReopenAndAReplug) {
    sim::ModemOptions o;
    o.startInModemMode = true;
    auto modem = sim::SimModem::Plug(o);
    auto open = [](REGSAM access) {
        HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_MODEM, nullptr, nullptr, DIGCF_PRESENT);
        SP_DEVINFO_DATA device;
        std::memset(&device, 0, sizeof device);
        device.cbSize = sizeof device;
        HKEY key = reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
        if (SetupDiEnumDeviceInfo(set, 0, &device))
            key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, access);
        SetupDiDestroyDeviceInfoList(set);
        return key;
    };
    auto set = [](HKEY key, const wchar_t* name, const std::wstring& text) {
        return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    };

    HKEY key = open(KEY_ALL_ACCESS);
    ASSERT_NE(key, reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
    EXPECT_EQ(Values(key)[L"PortName"], L"COM3");  // seeded from the device
    EXPECT_EQ(set(key, L"PortName", L"COM9"), ERROR_SUCCESS);
    EXPECT_EQ(set(key, L"Added", L"yes"), ERROR_SUCCESS);
    RegCloseKey(key);

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "reopened" : "replugged");
        if (round == 1) {
            modem->Unplug();
            modem->Replug();
        }
        key = open(KEY_READ);
        ASSERT_NE(key, reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
        auto values = Values(key);
        EXPECT_EQ(values[L"PortName"], L"COM9");
        EXPECT_EQ(values[L"Added"], L"yes");
        RegCloseKey(key);
    }
}

TEST_F(DevRegKeyTest, DeviceWithoutSuchKey) {
    auto modem = sim::SimModem::Plug();  // disk mode: the CD-ROM has no driver values
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_CDROM, nullptr, nullptr, DIGCF_PRESENT);
    SP_DEVINFO_DATA device;
    std::memset(&device, 0, sizeof device);
    device.cbSize = sizeof device;
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &device));
    EXPECT_EQ(SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ),
              reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_KEY_DOES_NOT_EXIST));
    EXPECT_EQ(SetupDiOpenDevRegKey(set, &device, DICS_FLAG_CONFIGSPECIFIC, 0, DIREG_DEV, KEY_READ),
              reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
    SetupDiDestroyDeviceInfoList(set);
    EXPECT_EQ(SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ),
              reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
