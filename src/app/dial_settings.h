// The dial settings: the profile the user edits on the settings pages and the dial thread reads,
// kept in "Setting.txt" (section "DialSetting") in the user's data folder and written back at
// exit when the user asked for the information to be saved.
#pragma once

#include <string>

#include <windows.h>

struct DialProfile {
    std::wstring Number;
    std::wstring User;
    std::wstring Pass;
    std::wstring DNSMain;
    std::wstring DNSMinor;
    std::wstring IPAddress;
    bool Redial = true;
    bool AutoRun = false;
    bool CHAP = false;
    bool PAP = false;
    bool PCAccount = true;
    bool UIMCHAP = false;
    bool UIMPAP = false;
    bool SaveInfo = true;
};

class CDialSettings {
public:
    // The process-wide settings, built with the defaults and an empty path on first use; written
    // to the path at exit when SaveInfo is set.
    static CDialSettings& Instance();

    static void LoadDefaults(DialProfile& profile);
    // Overlays the file's non-empty values on the profile; a missing file changes nothing.
    static void Read(DialProfile& profile, const std::wstring& path);
    // Writes all 14 keys into the file's "DialSetting" section.
    static void Write(const std::wstring& path, const DialProfile& profile);

    // The settings file (empty until the settings pages set it).
    std::wstring& Path() { return m_path; }
    // A copy of the profile, taken under the store's lock: a dial works on its own copy while
    // the settings pages may replace the profile.
    DialProfile Profile() const;
    // Replaces the profile as a whole (the settings pages do, when they are built and when they
    // close).
    void SetProfile(const DialProfile& profile);
    // The modem initialisation string (nothing in the application sets one).
    std::string& InitString() { return m_initString; }

    // The exit-time write: Write(path, profile) when SaveInfo is set and a path was set.
    void SaveAtExit();

    CDialSettings();
    ~CDialSettings();
    CDialSettings(const CDialSettings&) = delete;
    CDialSettings& operator=(const CDialSettings&) = delete;

private:
    std::wstring m_path;
    mutable CRITICAL_SECTION m_lock;  // guards m_profile
    DialProfile m_profile;
    std::string m_initString;
};

// The password as stored: spaces and '%' escaped so that UnescapeSpaces gives it back.
std::wstring EscapePassword(const std::wstring& password);

// The user's data folder, ending in a backslash: the profile folder followed by
// "\AppData\roaming\VARNIUI\" on version code 6, else "\Application Data\VARNIUI\", created when
// missing; the program's folder when there is no profile folder or it cannot be created.
std::wstring GetUserDataFolder();
