// The machine's registry: a tree of keys with typed values. Paths name a root key
// ("HKEY_LOCAL_MACHINE" or "HKLM", "HKEY_CURRENT_USER" or "HKCU", "HKEY_CLASSES_ROOT" or "HKCR",
// "HKEY_USERS" or "HKU") followed by subkeys separated by backslashes; names compare without
// regard to case. HKEY_CURRENT_USER stands for the calling process's user's hive,
// "HKEY_USERS\\<user>". Texts are stored as the host's wchar_t bytes with their terminator, the way
// RegSetValueExW receives them from the program.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <windef.h>

namespace sim {

struct RegValue {
    DWORD type = 0;
    std::vector<BYTE> data;
};

// Where a program on a machine server keeps its registry: the server's. Paths come canonical.
class RegistryRemote {
public:
    virtual ~RegistryRemote() = default;
    virtual bool CreateKey(const std::wstring& path, bool* created) = 0;
    virtual bool KeyExists(const std::wstring& path) = 0;
    virtual bool DeleteKey(const std::wstring& path) = 0;
    virtual bool SetValue(const std::wstring& path, const std::wstring& name,
                          const RegValue& value) = 0;
    virtual bool GetValue(const std::wstring& path, const std::wstring& name, RegValue* out) = 0;
    virtual LONG DeleteValue(const std::wstring& path, const std::wstring& name) = 0;
    virtual std::vector<std::wstring> SubKeys(const std::wstring& path) = 0;
    virtual std::vector<std::wstring> ValueNames(const std::wstring& path) = 0;
};

class Registry {
public:
    // The root keys exist from the start.
    Registry();
    // The canonical form of a path ("HKEY_LOCAL_MACHINE\SOFTWARE\..."), or empty when the root
    // is unknown. Empty components (doubled or trailing backslashes) are dropped.
    static std::wstring Canonical(const std::wstring& path);

    // Creates the key and the keys on the way. False for an unknown root.
    bool CreateKey(const std::wstring& path, bool* created = nullptr);
    bool KeyExists(const std::wstring& path);
    // Removes the key with everything below it (a root key cannot be removed).
    bool DeleteKey(const std::wstring& path);

    // Values (the key is created when missing). name "" is the key's default value.
    bool SetValue(const std::wstring& path, const std::wstring& name, const RegValue& value);
    void SetString(const std::wstring& path, const std::wstring& name, const std::wstring& text);
    void SetDword(const std::wstring& path, const std::wstring& name, DWORD value);
    bool GetValue(const std::wstring& path, const std::wstring& name, RegValue* out);
    std::optional<std::wstring> GetString(const std::wstring& path, const std::wstring& name);
    std::optional<DWORD> GetDword(const std::wstring& path, const std::wstring& name);
    // 0 when removed, else ERROR_FILE_NOT_FOUND (no such value) or ERROR_KEY_DELETED (no key).
    LONG DeleteValue(const std::wstring& path, const std::wstring& name);

    std::vector<std::wstring> SubKeys(const std::wstring& path);
    std::vector<std::wstring> ValueNames(const std::wstring& path);

    // From now on the keys and values are the remote's (set once, before the program runs).
    void UseRemote(RegistryRemote* remote) { remote_ = remote; }

private:
    struct Key {
        std::wstring name;
        std::map<std::wstring, Key> subkeys;                               // key: lower-case name
        std::map<std::wstring, std::pair<std::wstring, RegValue>> values;  // key: lower-case name
    };
    Key* FindLocked(const std::wstring& canonical, bool create, bool* created);

    std::mutex mu_;
    Key root_;
    RegistryRemote* remote_ = nullptr;
};

}  // namespace sim
