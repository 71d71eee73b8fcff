#include "machine/registry.h"

#include "machine/processes.h"

#include <cstring>
#include <sstream>

#include <winreg.h>
#include "machine/machine.h"

namespace sim {

namespace {

std::vector<std::wstring> Split(const std::wstring& path) {
    std::vector<std::wstring> parts;
    std::wstringstream ss(path);
    std::wstring part;
    while (std::getline(ss, part, L'\\'))
        if (!part.empty()) parts.push_back(part);
    return parts;
}

std::wstring RootName(const std::wstring& name) {
    std::wstring u = Upper(name);
    if (u == L"HKLM" || u == L"HKEY_LOCAL_MACHINE") return L"HKEY_LOCAL_MACHINE";
    if (u == L"HKCU" || u == L"HKEY_CURRENT_USER") return L"HKEY_CURRENT_USER";
    if (u == L"HKCR" || u == L"HKEY_CLASSES_ROOT") return L"HKEY_CLASSES_ROOT";
    if (u == L"HKU" || u == L"HKEY_USERS") return L"HKEY_USERS";
    return L"";
}

}  // namespace

std::wstring Registry::Canonical(const std::wstring& path) {
    std::vector<std::wstring> parts = Split(path);
    if (parts.empty()) return L"";
    std::wstring out = RootName(parts[0]);
    if (out.empty()) return L"";
    // Each process's HKEY_CURRENT_USER is its user's hive under HKEY_USERS.
    if (out == L"HKEY_CURRENT_USER") out = L"HKEY_USERS\\" + CurrentProcess().user.Get();
    for (std::size_t i = 1; i < parts.size(); ++i) out += L"\\" + parts[i];
    return out;
}

Registry::Registry() {
    for (const wchar_t* root : {L"HKEY_CLASSES_ROOT", L"HKEY_LOCAL_MACHINE", L"HKEY_USERS"})
        CreateKey(root);
}

Registry::Key* Registry::FindLocked(const std::wstring& canonical, bool create, bool* created) {
    if (created) *created = false;
    if (canonical.empty()) return nullptr;
    Key* k = &root_;
    for (const std::wstring& part : Split(canonical)) {
        std::wstring lower = Lower(part);
        auto it = k->subkeys.find(lower);
        if (it == k->subkeys.end()) {
            if (!create) return nullptr;
            it = k->subkeys.emplace(lower, Key{}).first;
            it->second.name = part;
            if (created) *created = true;
        }
        k = &it->second;
    }
    return k;
}

bool Registry::CreateKey(const std::wstring& path, bool* created) {
    if (remote_) return remote_->CreateKey(Canonical(path), created);
    std::lock_guard<std::mutex> lk(mu_);
    return FindLocked(Canonical(path), true, created) != nullptr;
}

bool Registry::KeyExists(const std::wstring& path) {
    if (remote_) return remote_->KeyExists(Canonical(path));
    std::lock_guard<std::mutex> lk(mu_);
    return FindLocked(Canonical(path), false, nullptr) != nullptr;
}

bool Registry::DeleteKey(const std::wstring& path) {
    std::wstring c = Canonical(path);
    std::size_t slash = c.rfind(L'\\');
    if (c.empty() || slash == std::wstring::npos) return false;
    if (remote_) return remote_->DeleteKey(c);
    std::lock_guard<std::mutex> lk(mu_);
    Key* parent = FindLocked(c.substr(0, slash), false, nullptr);
    if (!parent) return false;
    return parent->subkeys.erase(Lower(c.substr(slash + 1))) > 0;
}

bool Registry::SetValue(const std::wstring& path, const std::wstring& name, const RegValue& value) {
    if (remote_) return remote_->SetValue(Canonical(path), name, value);
    std::lock_guard<std::mutex> lk(mu_);
    Key* k = FindLocked(Canonical(path), true, nullptr);
    if (!k) return false;
    k->values[Lower(name)] = {name, value};
    return true;
}

void Registry::SetString(const std::wstring& path, const std::wstring& name,
                         const std::wstring& text) {
    RegValue v;
    v.type = REG_SZ;
    v.data.resize((text.size() + 1) * sizeof(wchar_t));
    std::memcpy(v.data.data(), text.c_str(), v.data.size());
    SetValue(path, name, v);
}

void Registry::SetDword(const std::wstring& path, const std::wstring& name, DWORD value) {
    RegValue v;
    v.type = REG_DWORD;
    v.data.resize(sizeof value);
    std::memcpy(v.data.data(), &value, sizeof value);
    SetValue(path, name, v);
}

bool Registry::GetValue(const std::wstring& path, const std::wstring& name, RegValue* out) {
    if (remote_) return remote_->GetValue(Canonical(path), name, out);
    std::lock_guard<std::mutex> lk(mu_);
    Key* k = FindLocked(Canonical(path), false, nullptr);
    if (!k) return false;
    auto it = k->values.find(Lower(name));
    if (it == k->values.end()) return false;
    if (out) *out = it->second.second;
    return true;
}

std::optional<std::wstring> Registry::GetString(const std::wstring& path,
                                                const std::wstring& name) {
    RegValue v;
    if (!GetValue(path, name, &v) || (v.type != REG_SZ && v.type != REG_EXPAND_SZ))
        return std::nullopt;
    std::wstring text(v.data.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), v.data.data(), text.size() * sizeof(wchar_t));
    std::size_t end = text.find(L'\0');
    if (end != std::wstring::npos) text.resize(end);
    return text;
}

std::optional<DWORD> Registry::GetDword(const std::wstring& path, const std::wstring& name) {
    RegValue v;
    if (!GetValue(path, name, &v) || v.type != REG_DWORD || v.data.size() != sizeof(DWORD))
        return std::nullopt;
    DWORD value;
    std::memcpy(&value, v.data.data(), sizeof value);
    return value;
}

LONG Registry::DeleteValue(const std::wstring& path, const std::wstring& name) {
    if (remote_) return remote_->DeleteValue(Canonical(path), name);
    std::lock_guard<std::mutex> lk(mu_);
    Key* k = FindLocked(Canonical(path), false, nullptr);
    if (!k) return ERROR_KEY_DELETED;
    return k->values.erase(Lower(name)) > 0 ? 0 : 2;
}

std::vector<std::wstring> Registry::SubKeys(const std::wstring& path) {
    if (remote_) return remote_->SubKeys(Canonical(path));
    std::lock_guard<std::mutex> lk(mu_);
    std::vector<std::wstring> out;
    if (Key* k = FindLocked(Canonical(path), false, nullptr))
        for (const auto& [lower, key] : k->subkeys) out.push_back(key.name);
    return out;
}

std::vector<std::wstring> Registry::ValueNames(const std::wstring& path) {
    if (remote_) return remote_->ValueNames(Canonical(path));
    std::lock_guard<std::mutex> lk(mu_);
    std::vector<std::wstring> out;
    if (Key* k = FindLocked(Canonical(path), false, nullptr))
        for (const auto& [lower, value] : k->values) out.push_back(value.first);
    return out;
}

}  // namespace sim
