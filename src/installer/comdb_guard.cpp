#include "installer/comdb_guard.h"

#include <windows.h>
#include "support/platform_helpers.h"

namespace {

const wchar_t kComDbKey[] = L"SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";
const wchar_t kComDbValue[] = L"ComDB";
const REGSAM kAccess = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;

bool WriteComDb(const std::vector<BYTE>& bytes) {
    HKEY key = nullptr;
    LSTATUS opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kComDbKey, 0, kAccess, &key);
    if (opened != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(opened));
        return false;
    }
    LSTATUS status = RegSetValueExW(key, kComDbValue, 0, REG_BINARY, bytes.data(),
                                    static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    SetLastError(static_cast<DWORD>(status));
    return status == ERROR_SUCCESS;
}

}  // namespace

CComDBGuard::CComDBGuard() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kComDbKey, 0, kAccess, &key) != ERROR_SUCCESS) {
        DebugLog(L"ComDB: the key does not open; ports are not reserved");
        return;
    }
    std::vector<BYTE> bytes(kMaxBytes, 0);
    DWORD type = REG_NONE;
    DWORD size = kMaxBytes;
    LSTATUS status = RegQueryValueExW(key, kComDbValue, nullptr, &type, bytes.data(), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_BINARY || size == 0 || size > kMaxBytes) {
        DebugLog(L"ComDB: the value cannot be read (status %d, %u bytes); ports are not reserved",
                 static_cast<int>(status), static_cast<unsigned>(size));
        return;
    }
    bytes.resize(size);

    std::vector<BYTE> reserved = bytes;
    if (reserved.size() < 2) reserved.resize(2, 0);
    reserved[0] = 0xFF;                                   // COM1 to COM8
    reserved[1] = static_cast<BYTE>(reserved[1] | 0x0F);  // COM9 to COM12; COM13 on as held
    // Only a value that was changed is restored: after a failed write the value stays the
    // system's, and writing the copy back would take the numbers given meanwhile.
    if (!WriteComDb(reserved)) {
        DebugLog(L"ComDB: the value cannot be written (error %d); ports are not reserved",
                 static_cast<int>(GetLastError()));
        return;
    }
    m_kept = bytes;
    m_held = true;
}

CComDBGuard::~CComDBGuard() {
    if (!m_restored) Restore();
}

bool CComDBGuard::Restore() {
    if (!m_held) {
        m_restored = true;
        return true;
    }
    // A failed write leaves the copy kept, so that the destruction tries once more.
    m_restored = WriteComDb(m_kept);
    if (!m_restored)
        DebugLog(L"ComDB: the value cannot be restored (error %d)",
                 static_cast<int>(GetLastError()));
    return m_restored;
}

void CComDBGuard::FreeFromCom13() {
    if (m_kept.size() > 1) m_kept[1] = static_cast<BYTE>(m_kept[1] & 0x0F);
    for (std::size_t i = 2; i < m_kept.size(); ++i) m_kept[i] = 0;
}
