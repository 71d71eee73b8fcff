#include "app/dial_settings.h"

#include <cwchar>

#include <windows.h>
#include <userenv.h>
#include "support/auto_lock.h"
#include "support/platform_helpers.h"
#include "textfiles/ini_file.h"

namespace {

const wchar_t kSection[] = L"DialSetting";
const wchar_t kDefaultAccount[] = L"vimo";  // the default user name and password alike

struct TextKey {
    const wchar_t* key;
    std::wstring DialProfile::*field;
};
struct FlagKey {
    const wchar_t* key;
    bool DialProfile::*field;
};

// The keys in the file's order.
const TextKey kTextKeys[] = {
    {L"Number", &DialProfile::Number},     {L"User", &DialProfile::User},
    {L"Pass", &DialProfile::Pass},         {L"DNSMain", &DialProfile::DNSMain},
    {L"DNSMinor", &DialProfile::DNSMinor}, {L"IPAddress", &DialProfile::IPAddress},
};
const FlagKey kFlagKeys[] = {
    {L"Redial", &DialProfile::Redial},       {L"AutoRun", &DialProfile::AutoRun},
    {L"CHAP", &DialProfile::CHAP},           {L"PAP", &DialProfile::PAP},
    {L"PCAccount", &DialProfile::PCAccount}, {L"UIMCHAP", &DialProfile::UIMCHAP},
    {L"UIMPAP", &DialProfile::UIMPAP},       {L"SaveInfo", &DialProfile::SaveInfo},
};

bool IsPassword(const TextKey& k) {
    return k.field == &DialProfile::Pass;
}

// The profile folder of the user this process runs for; empty when it cannot be found.
std::wstring UserProfileFolder() {
    std::wstring folder;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId());
    if (process == nullptr) return folder;
    HANDLE token = nullptr;
    if (OpenProcessToken(process, TOKEN_QUERY, &token)) {
        wchar_t buffer[1024];
        DWORD size = 1024;
        if (GetUserProfileDirectoryW(token, buffer, &size)) folder = buffer;
        CloseHandle(token);
    }
    CloseHandle(process);
    return folder;
}

}  // namespace

CDialSettings& CDialSettings::Instance() {
    static CDialSettings settings;
    return settings;
}

CDialSettings::CDialSettings() {
    InitializeCriticalSection(&m_lock);
    LoadDefaults(m_profile);
}

CDialSettings::~CDialSettings() {
    SaveAtExit();
    DeleteCriticalSection(&m_lock);
}

DialProfile CDialSettings::Profile() const {
    CAutoLock lock(m_lock);
    return m_profile;
}

void CDialSettings::SetProfile(const DialProfile& profile) {
    CAutoLock lock(m_lock);
    m_profile = profile;
}

void CDialSettings::SaveAtExit() {
    DialProfile profile = Profile();
    // Without a path there is no file to write (the settings pages never set one).
    if (profile.SaveInfo && !m_path.empty()) Write(m_path, profile);
}

void CDialSettings::LoadDefaults(DialProfile& profile) {
    profile.Number = L"#777";
    profile.User = kDefaultAccount;
    profile.Pass = kDefaultAccount;
    profile.DNSMain.clear();
    profile.DNSMinor.clear();
    profile.IPAddress.clear();
    profile.Redial = true;
    profile.AutoRun = false;
    profile.CHAP = false;
    profile.PAP = false;
    profile.PCAccount = true;
    profile.UIMCHAP = false;
    profile.UIMPAP = false;
    profile.SaveInfo = true;
}

void CDialSettings::Read(DialProfile& profile, const std::wstring& path) {
    CIniFile file(path);
    for (const TextKey& k : kTextKeys) {
        const std::wstring& value = file.GetValue(kSection, k.key);
        if (value.empty()) continue;
        profile.*k.field = IsPassword(k) ? UnescapeSpaces(value) : value;
    }
    for (const FlagKey& k : kFlagKeys) {
        const std::wstring& value = file.GetValue(kSection, k.key);
        if (!value.empty()) profile.*k.field = value == L"1";
    }
}

void CDialSettings::Write(const std::wstring& path, const DialProfile& profile) {
    for (const TextKey& k : kTextKeys) {
        std::wstring value = IsPassword(k) ? EscapePassword(profile.*k.field) : profile.*k.field;
        WritePrivateProfileStringW(kSection, k.key, value.c_str(), path.c_str());
    }
    for (const FlagKey& k : kFlagKeys)
        WritePrivateProfileStringW(kSection, k.key, profile.*k.field ? L"1" : L"0", path.c_str());
}

std::wstring EscapePassword(const std::wstring& password) {
    // UnescapeSpaces turns every '%', x, '^' into x: a '%' goes out as "%%^" so that it comes
    // back as itself, and a '^' after it can no longer be taken for the end of a triple.
    std::wstring out;
    for (wchar_t c : password) {
        if (c == L'%')
            out += L"%%^";
        else
            out += c;
    }
    return EscapeSpaces(out);
}

std::wstring GetUserDataFolder() {
    std::wstring profile = UserProfileFolder();
    if (!profile.empty()) {
        std::wstring folder =
            profile + (GetOsVersionCode() == kOsVista ? L"\\AppData\\roaming\\VARNIUI\\"
                                                      : L"\\Application Data\\VARNIUI\\");
        if (CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
            return folder;
    }
    return GetModuleFolder();
}
