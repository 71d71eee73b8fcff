#include <winreg.h>

#include <cstring>
#include <string>
#include <vector>

#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/registry.h"
#include "machine/trace.h"

namespace {

// An open key: its canonical path and the access it was opened with. The key is looked up by
// path at each use, so a key removed meanwhile answers ERROR_KEY_DELETED.
struct KeyObj : sim::KObject {
    std::wstring path;
    REGSAM access;
    KeyObj(std::wstring p, REGSAM a) : path(std::move(p)), access(a) {}
};

const wchar_t* PredefinedName(HKEY key) {
    switch (reinterpret_cast<ULONG_PTR>(key)) {
        case 0x80000000u:
            return L"HKEY_CLASSES_ROOT";
        case 0x80000001u:
            return L"HKEY_CURRENT_USER";
        case 0x80000002u:
            return L"HKEY_LOCAL_MACHINE";
        case 0x80000003u:
            return L"HKEY_USERS";
        default:
            return nullptr;
    }
}

// The path and access of a key handle; false for a handle that is no key.
bool Resolve(HKEY key, std::wstring* path, REGSAM* access) {
    if (const wchar_t* root = PredefinedName(key)) {
        *path = sim::Registry::Canonical(root);  // HKEY_CURRENT_USER: the process's user's hive
        if (key == HKEY_CURRENT_USER) sim::machine().registry().CreateKey(*path);
        *access = KEY_ALL_ACCESS;
        return true;
    }
    auto k = sim::HandleTable::Get().FindAs<KeyObj>(reinterpret_cast<HANDLE>(key));
    if (!k) return false;
    *path = k->path;
    *access = k->access;
    return true;
}

std::wstring Join(const std::wstring& base, LPCWSTR subKey) {
    if (subKey == nullptr || *subKey == 0) return base;
    return sim::Registry::Canonical(base + L"\\" + subKey);
}

// Hands a value to the caller: its type, and its bytes when a buffer is given (ERROR_MORE_DATA
// with the needed size when the buffer is too small); the size in every case.
LSTATUS CopyValue(const sim::RegValue& value, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    if (type) *type = value.type;
    auto size = static_cast<DWORD>(value.data.size());
    if (data != nullptr) {
        if (*dataSize < size) {
            *dataSize = size;
            return ERROR_MORE_DATA;
        }
        if (size) std::memcpy(data, value.data.data(), size);
    }
    if (dataSize) *dataSize = size;
    return ERROR_SUCCESS;
}

// The failure injected for this operation on the key (or on its value `name`), 0 when none.
DWORD InjectedFailure(sim::RegistryOp op, const std::wstring& path, LPCWSTR name = nullptr) {
    std::wstring key = path;
    if (op != sim::RegistryOp::Open) key += L"\\" + std::wstring(name ? name : L"");
    return sim::machine().faults().Take(op, key);
}

HKEY AddKey(const std::wstring& path, REGSAM access) {
    return reinterpret_cast<HKEY>(
        sim::HandleTable::Get().Add(std::make_shared<KeyObj>(path, access)));
}

}  // namespace

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD arg3, REGSAM access, PHKEY result) {
    API_TRACE(Registry, RegOpenKeyExW, key, subKey, arg3, access, result);
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::wstring base;
    REGSAM baseAccess;
    if (!Resolve(key, &base, &baseAccess)) return ERROR_INVALID_HANDLE;
    if (subKey != nullptr && *subKey == L'\\') return ERROR_BAD_PATHNAME;
    std::wstring path = Join(base, subKey);
    if (DWORD e = InjectedFailure(sim::RegistryOp::Open, path)) return static_cast<LSTATUS>(e);
    auto& reg = sim::machine().registry();
    if (!reg.KeyExists(path)) return reg.KeyExists(base) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    *result = AddKey(path, access);
    return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD arg3, LPWSTR arg4, DWORD arg5,
                        REGSAM access, LPSECURITY_ATTRIBUTES arg7, PHKEY result,
                        LPDWORD disposition) {
    API_TRACE(Registry, RegCreateKeyExW, key, subKey, arg3, arg4, arg5, access, arg7, result,
              disposition);
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::wstring base;
    REGSAM baseAccess;
    if (!Resolve(key, &base, &baseAccess)) return ERROR_INVALID_HANDLE;
    if (subKey != nullptr && *subKey == L'\\') return ERROR_BAD_PATHNAME;
    auto& reg = sim::machine().registry();
    if (!reg.KeyExists(base)) return ERROR_KEY_DELETED;
    std::wstring path = Join(base, subKey);
    if (DWORD e = InjectedFailure(sim::RegistryOp::Open, path)) return static_cast<LSTATUS>(e);
    bool created = false;
    if (!reg.CreateKey(path, &created)) return ERROR_BADKEY;
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = AddKey(path, access);
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
    API_TRACE(Registry, RegCloseKey, key);
    if (PredefinedName(key)) return ERROR_SUCCESS;
    if (!sim::HandleTable::Get().FindAs<KeyObj>(reinterpret_cast<HANDLE>(key)))
        return ERROR_INVALID_HANDLE;
    sim::HandleTable::Get().Close(reinterpret_cast<HANDLE>(key));
    return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD dataSize) {
    API_TRACE(Registry, RegQueryValueExW, key, name, reserved, type, data, dataSize);
    if (reserved != nullptr || (data != nullptr && dataSize == nullptr))
        return ERROR_INVALID_PARAMETER;
    std::wstring path;
    REGSAM access;
    if (!Resolve(key, &path, &access)) return ERROR_INVALID_HANDLE;
    if (!(access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    if (DWORD e = InjectedFailure(sim::RegistryOp::QueryValue, path, name))
        return static_cast<LSTATUS>(e);
    auto& reg = sim::machine().registry();
    sim::RegValue value;
    if (!reg.GetValue(path, name ? name : L"", &value))
        return reg.KeyExists(path) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    return CopyValue(value, type, data, dataSize);
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR name, DWORD arg3, DWORD type, const BYTE* data,
                       DWORD dataSize) {
    API_TRACE(Registry, RegSetValueExW, key, name, arg3, type, data, dataSize);
    if (data == nullptr && dataSize != 0) return ERROR_INVALID_PARAMETER;
    std::wstring path;
    REGSAM access;
    if (!Resolve(key, &path, &access)) return ERROR_INVALID_HANDLE;
    if (!(access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (DWORD e = InjectedFailure(sim::RegistryOp::SetValue, path, name))
        return static_cast<LSTATUS>(e);
    auto& reg = sim::machine().registry();
    if (!reg.KeyExists(path)) return ERROR_KEY_DELETED;
    sim::RegValue value;
    value.type = type;
    if (dataSize) value.data.assign(data, data + dataSize);
    reg.SetValue(path, name ? name : L"", value);
    return ERROR_SUCCESS;
}

LSTATUS RegDeleteValueW(HKEY key, LPCWSTR name) {
    API_TRACE(Registry, RegDeleteValueW, key, name);
    std::wstring path;
    REGSAM access;
    if (!Resolve(key, &path, &access)) return ERROR_INVALID_HANDLE;
    if (!(access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (DWORD e = InjectedFailure(sim::RegistryOp::DeleteValue, path, name))
        return static_cast<LSTATUS>(e);
    return sim::machine().registry().DeleteValue(path, name ? name : L"");
}

LSTATUS RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved,
                      LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    API_TRACE(Registry, RegEnumValueW, key, index, name, nameChars, reserved, type, data, dataSize);
    if (name == nullptr || nameChars == nullptr || reserved != nullptr ||
        (data != nullptr && dataSize == nullptr))
        return ERROR_INVALID_PARAMETER;
    std::wstring path;
    REGSAM access;
    if (!Resolve(key, &path, &access)) return ERROR_INVALID_HANDLE;
    if (!(access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    auto& reg = sim::machine().registry();
    if (!reg.KeyExists(path)) return ERROR_KEY_DELETED;
    std::vector<std::wstring> names = reg.ValueNames(path);
    sim::RegValue value;
    if (index >= names.size() || !reg.GetValue(path, names[index], &value))
        return ERROR_NO_MORE_ITEMS;
    const std::wstring& found = names[index];
    if (*nameChars < found.size() + 1) return ERROR_MORE_DATA;
    std::memcpy(name, found.c_str(), (found.size() + 1) * sizeof(WCHAR));
    *nameChars = static_cast<DWORD>(found.size());
    return CopyValue(value, type, data, dataSize);
}
