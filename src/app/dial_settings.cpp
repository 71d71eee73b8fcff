#include "app/dial_settings.h"

#include <cstdint>
#include <cwchar>
#include <utility>
#include <vector>

#include <windows.h>
#include <userenv.h>
#include "support/auto_lock.h"
#include "support/platform_helpers.h"
#include "textfiles/encoding.h"
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

// The settings file as lines, for an edit that keeps every other line's bytes as they were.
class CSettingsText {
public:
    // A missing or unreadable file gives no lines (a new file is ANSI text).
    explicit CSettingsText(const std::wstring& path) {
        CByteStream stream(path);
        std::string all;
        std::uint8_t byte = 0;
        while (stream.ReadByte(byte)) all.push_back(static_cast<char>(byte));
        m_utf16 = all.size() >= 2 && all[0] == '\xFF' && all[1] == '\xFE';
        if (m_utf16) m_mark = all.substr(0, 2);
        Split(all.substr(m_mark.size()));
    }

    std::size_t Count() const { return m_lines.size(); }
    const std::wstring& Text(std::size_t i) const { return m_lines[i].text; }
    // Gives line i a new text, keeping its terminator (or its lack of one at the file's end).
    void Replace(std::size_t i, const std::wstring& text) {
        bool ended = Terminated(i);
        m_lines[i] = Make(text);
        if (!ended) m_lines[i].bytes.resize(m_lines[i].bytes.size() - 2 * Unit());
    }
    // Puts new lines before line `at` (at == Count(): at the end).
    void Insert(std::size_t at, const std::vector<std::wstring>& texts) {
        // The line before them ends first, when it is the file's unterminated last line.
        if (at > 0 && !Terminated(at - 1)) m_lines[at - 1].bytes += Encode(L"\r\n");
        std::vector<Line> made;
        for (const std::wstring& t : texts) made.push_back(Make(t));
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), made.begin(), made.end());
    }
    bool Save(const std::wstring& path) const {
        std::string out = m_mark;
        for (const Line& l : m_lines) out += l.bytes;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        BOOL ok = WriteFile(file, out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
        CloseHandle(file);
        return ok && written == out.size();
    }

private:
    struct Line {
        std::string bytes;  // as in the file, terminator included
        std::wstring text;  // without the terminator, as the reader sees it
    };

    std::size_t Unit() const { return m_utf16 ? 2 : 1; }
    bool Terminated(std::size_t i) const {
        const std::string& b = m_lines[i].bytes;
        return b.size() >= Unit() && b[b.size() - Unit()] == '\n';
    }
    std::string Encode(const std::wstring& text) const {
        if (!m_utf16) return WideToAnsi(text);
        std::string out;
        for (char16_t unit : WideToUtf16(text)) {
            out.push_back(static_cast<char>(unit & 0xFF));
            out.push_back(static_cast<char>(unit >> 8));
        }
        return out;
    }
    std::wstring Decode(const std::string& bytes) const {
        if (!m_utf16) return AnsiToWide(bytes);
        std::u16string units;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            units.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                                  static_cast<std::uint8_t>(bytes[i + 1]) << 8));
        return Utf16ToWide(units);
    }
    Line Make(const std::wstring& text) const { return {Encode(text + L"\r\n"), text}; }
    // Lines end at LF; one CR before it is not part of the text (as the reader takes them).
    void Split(const std::string& body) {
        std::size_t unit = Unit(), start = 0;
        for (std::size_t i = 0; i + unit <= body.size(); i += unit) {
            if (body[i] != '\n' || (m_utf16 && body[i + 1] != 0)) continue;
            AddLine(body.substr(start, i + unit - start), true);
            start = i + unit;
        }
        if (start < body.size()) AddLine(body.substr(start), false);
    }
    void AddLine(std::string bytes, bool terminated) {
        std::size_t unit = Unit();
        std::string content = bytes.substr(0, terminated ? bytes.size() - unit : bytes.size());
        bool cr = content.size() >= unit && content[content.size() - unit] == '\r' &&
                  (!m_utf16 || content[content.size() - 1] == 0);
        if (terminated && cr) content.resize(content.size() - unit);
        m_lines.push_back({std::move(bytes), Decode(content)});
    }

    bool m_utf16 = false;
    std::string m_mark;
    std::vector<Line> m_lines;
};

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
    std::vector<std::pair<std::wstring, std::wstring>> entries;  // key and value, in file order
    for (const TextKey& k : kTextKeys)
        entries.emplace_back(k.key,
                             IsPassword(k) ? EscapePassword(profile.*k.field) : profile.*k.field);
    for (const FlagKey& k : kFlagKeys) entries.emplace_back(k.key, profile.*k.field ? L"1" : L"0");

    // The values go where the reader takes them from: the last "DialSetting" section before the
    // reader stops, and there every line of the key (the last one counts for the reader; the
    // earlier ones get the value too, so that an emptied setting leaves none of them behind).
    CSettingsText file(path);
    const std::wstring section = LowerText(kSection);
    std::size_t header = file.Count(), end = file.Count();
    bool inSection = false;
    std::vector<std::pair<std::size_t, std::wstring>> keyLines;  // the section's, lower-cased
    IniLine parsed;
    for (std::size_t i = 0; i < file.Count(); ++i) {
        ClassifyIniLine(file.Text(i), parsed);
        if (parsed.kind == IniLine::Kind::End) {
            end = i;
            break;
        }
        if (parsed.kind == IniLine::Kind::Section) {
            inSection = LowerText(parsed.name) == section;
            if (inSection) {
                header = i;
                keyLines.clear();
            }
        } else if (parsed.kind == IniLine::Kind::Key && inSection) {
            keyLines.emplace_back(i, LowerText(parsed.name));
        }
    }

    std::vector<std::wstring> added;
    if (header == file.Count()) added.push_back(L"[" + std::wstring(kSection) + L"]");
    for (const auto& [key, value] : entries) {
        std::wstring line = key + L"=" + value;
        bool found = false;
        for (const auto& [at, name] : keyLines) {
            if (name != LowerText(key)) continue;
            file.Replace(at, line);
            found = true;
        }
        if (!found) added.push_back(line);
    }
    if (!added.empty()) {
        // A new section goes where the reader stops; new keys after the section's last key.
        std::size_t at = header == file.Count()    ? end
                         : keyLines.empty() ? header + 1
                                            : keyLines.back().first + 1;
        file.Insert(at, added);
    }
    file.Save(path);  // as before, a failed write is not reported
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
