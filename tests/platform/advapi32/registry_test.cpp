// The registry: keys and typed values, case-insensitive names, sizes and short buffers.
#include <gtest/gtest.h>

#include <cstring>

#include "common/sim_fixture.h"
#include <winreg.h>
#include "machine/faults.h"
#include "machine/registry.h"

namespace {

class RegistryTest : public SimTest {};

TEST_F(RegistryTest, InjectedFailuresHitTheirKeyOrValueAndChangeNothing) {
    M().registry().SetDword(L"HKLM\\SOFTWARE\\Maker", L"Count", 1);
    const std::wstring key = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Maker";
    M().faults().Inject(sim::RegistryOp::Open, ERROR_ACCESS_DENIED, 1, key);
    HKEY h = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"software\\maker", 0, KEY_ALL_ACCESS, &h),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(h, nullptr);
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Maker", 0, KEY_ALL_ACCESS, &h),
              ERROR_SUCCESS);

    M().faults().Inject(sim::RegistryOp::SetValue, ERROR_WRITE_FAULT, 1, key + L"\\count");
    M().faults().Inject(sim::RegistryOp::DeleteValue, ERROR_ACCESS_DENIED, 1, key + L"\\Count");
    M().faults().Inject(sim::RegistryOp::QueryValue, ERROR_GEN_FAILURE, 1, key + L"\\Count");
    DWORD two = 2, type = 0, size = sizeof(DWORD), read = 0;
    const BYTE* data = reinterpret_cast<const BYTE*>(&two);
    EXPECT_EQ(RegSetValueExW(h, L"Other", 0, REG_DWORD, data, sizeof two), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(h, L"Count", 0, REG_DWORD, data, sizeof two), ERROR_WRITE_FAULT);
    EXPECT_EQ(RegDeleteValueW(h, L"Count"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegQueryValueExW(h, L"Count", nullptr, &type, reinterpret_cast<BYTE*>(&read), &size),
              ERROR_GEN_FAILURE);
    EXPECT_EQ(M().registry().GetDword(L"HKLM\\SOFTWARE\\Maker", L"Count"), 1u);
    // Each injection was used once.
    EXPECT_EQ(RegQueryValueExW(h, L"Count", nullptr, &type, reinterpret_cast<BYTE*>(&read), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(read, 1u);
    EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
}

TEST_F(RegistryTest, KeysOpenWithoutRegardToCaseAndMissingOnesAreNotFound) {
    M().registry().CreateKey(L"HKLM\\SOFTWARE\\Maker\\Product");
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"software\\MAKER\\product", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    HKEY same = nullptr;
    EXPECT_EQ(RegOpenKeyExW(key, nullptr, 0, KEY_READ, &same), ERROR_SUCCESS);
    EXPECT_NE(same, key);
    EXPECT_EQ(RegCloseKey(same), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Maker\\Other", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Maker", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, CreateReportsWhetherTheKeyIsNewAndValuesRoundTrip) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\A\\B", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    const wchar_t text[] = L"COM3";
    ASSERT_EQ(RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                             sizeof text),
              ERROR_SUCCESS);
    DWORD number = 7;
    ASSERT_EQ(RegSetValueExW(key, L"Count", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number),
                             sizeof number),
              ERROR_SUCCESS);
    HKEY again = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"software\\a\\b", 0, nullptr, 0, KEY_READ,
                              nullptr, &again, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);

    // Size first, then a buffer too small, then one that fits.
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExW(again, L"PORTNAME", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, sizeof text);
    wchar_t small[2] = {};
    size = sizeof small;
    EXPECT_EQ(
        RegQueryValueExW(again, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
        ERROR_MORE_DATA);
    EXPECT_EQ(size, sizeof text);
    wchar_t buffer[16] = {};
    size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExW(again, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                               &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(buffer, L"COM3");
    EXPECT_EQ(M().registry().GetDword(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B", L"count"), 7u);

    // A key opened for reading only cannot be written.
    EXPECT_EQ(
        RegSetValueExW(again, L"X", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), sizeof number),
        ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueW(key, L"portname"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, L"PortName"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExW(again, L"PortName", nullptr, &type, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    RegCloseKey(again);
    RegCloseKey(key);
}

TEST_F(RegistryTest, AKeyRemovedWhileOpenAnswersKeyDeleted) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Gone", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_TRUE(M().registry().DeleteKey(L"HKLM\\SOFTWARE\\GONE"));
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    DWORD v = 1;
    EXPECT_EQ(RegSetValueExW(key, L"V", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), sizeof v),
              ERROR_KEY_DELETED);
    RegCloseKey(key);
    EXPECT_FALSE(M().registry().DeleteKey(L"HKLM"));  // a root stays
    EXPECT_FALSE(M().registry().CreateKey(L"HKEY_NOWHERE\\X"));
}

}  // namespace
