// The dial settings store: defaults, reading "Setting.txt", writing it at exit, the password's
// escaping and the user's data folder.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>

#include "app/dial_settings.h"
#include "common/sim_fixture.h"
#include "textfiles/ini_file.h"
#include "machine/handles.h"

namespace {

class DialSettingsTest : public SimTest {
protected:
    // Where the settings pages put the file (the folder is made when missing).
    std::wstring SettingsPath() { return GetUserDataFolder() + L"Setting.txt"; }
    void WriteSettings(const std::string& body) { M().WriteFile(SettingsPath(), body); }
    DialProfile ReadFresh() {
        DialProfile p;
        CDialSettings::LoadDefaults(p);
        CDialSettings::Read(p, SettingsPath());
        return p;
    }
};

TEST_F(DialSettingsTest, DefaultsWithoutAFile) {
    DialProfile p;
    p.Number = L"changed";
    p.Redial = false;
    CDialSettings::LoadDefaults(p);
    CDialSettings::Read(p, SettingsPath());  // no file: nothing changes
    EXPECT_EQ(p.Number, L"#777");
    EXPECT_EQ(p.User, L"vimo");
    EXPECT_EQ(p.Pass, L"vimo");
    EXPECT_EQ(p.DNSMain, L"");
    EXPECT_EQ(p.DNSMinor, L"");
    EXPECT_EQ(p.IPAddress, L"");
    EXPECT_TRUE(p.Redial);
    EXPECT_FALSE(p.AutoRun);
    EXPECT_FALSE(p.CHAP);
    EXPECT_FALSE(p.PAP);
    EXPECT_TRUE(p.PCAccount);
    EXPECT_FALSE(p.UIMCHAP);
    EXPECT_FALSE(p.UIMPAP);
    EXPECT_TRUE(p.SaveInfo);

    // The process-wide store starts the same way, with no path.
    CDialSettings& settings = CDialSettings::Instance();
    EXPECT_EQ(settings.Profile().Number, L"#777");
    EXPECT_TRUE(settings.Path().empty());
    EXPECT_TRUE(settings.InitString().empty());
}

TEST_F(DialSettingsTest, FlagsTakeOnlyOneAsTrueAndEmptyKeepsTheValue) {
    WriteSettings(
        "[DialSetting]\r\n"
        "Redial=0\r\n"
        "AutoRun=1\r\n"
        "CHAP=yes\r\n"
        "PCAccount=true\r\n"
        "SaveInfo=\r\n"
        "Number=*99#\r\n"
        "User=\r\n");
    DialProfile p = ReadFresh();
    EXPECT_FALSE(p.Redial);
    EXPECT_TRUE(p.AutoRun);
    EXPECT_FALSE(p.CHAP);
    EXPECT_FALSE(p.PCAccount);
    EXPECT_TRUE(p.SaveInfo);  // 'SaveInfo=' keeps the default
    EXPECT_EQ(p.Number, L"*99#");
    EXPECT_EQ(p.User, L"vimo");  // 'User=' keeps it too

    // 'Redial=' keeps what an earlier read or edit put there, whichever it was.
    WriteSettings("[DialSetting]\r\nRedial=\r\n");
    DialProfile edited;
    CDialSettings::LoadDefaults(edited);
    edited.Redial = false;
    CDialSettings::Read(edited, SettingsPath());
    EXPECT_FALSE(edited.Redial);
}

TEST_F(DialSettingsTest, WriteProducesTheFileThatReadGivesBack) {
    DialProfile p;
    CDialSettings::LoadDefaults(p);
    p.Number = L"#777";
    p.User = L"\u5F20\u4E09@vimo";  // a Chinese user name survives in the ANSI file
    p.DNSMain = L"10.0.0.1";
    p.IPAddress = L"192.168.1.5";
    p.Redial = false;
    p.UIMPAP = true;
    CDialSettings::Write(SettingsPath(), p);

    std::string bytes = M().ReadFile(SettingsPath());
    EXPECT_EQ(bytes.rfind("[DialSetting]\r\nNumber=#777\r\nUser=\xD5\xC5\xC8\xFD@vimo\r\n", 0), 0u)
        << bytes;
    EXPECT_NE(bytes.find("\r\nRedial=0\r\nAutoRun=0\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("\r\nUIMPAP=1\r\nSaveInfo=1\r\n"), std::string::npos);

    DialProfile back = ReadFresh();
    EXPECT_EQ(back.User, p.User);
    EXPECT_EQ(back.DNSMain, p.DNSMain);
    EXPECT_EQ(back.IPAddress, p.IPAddress);
    EXPECT_FALSE(back.Redial);
    EXPECT_TRUE(back.UIMPAP);
}

TEST_F(DialSettingsTest, PasswordWithSpacesPercentAndCaretSurvives) {
    for (const std::wstring& password :
         {std::wstring(L"two words"), std::wstring(L"50%x^ mix"), std::wstring(L"%^"),
          std::wstring(L" lead% ^trail "), std::wstring(L"%%^^")}) {
        DialProfile p;
        CDialSettings::LoadDefaults(p);
        p.Pass = password;
        CDialSettings::Write(SettingsPath(), p);
        EXPECT_EQ(ReadFresh().Pass, password) << M().ReadFile(SettingsPath());
    }
    EXPECT_EQ(EscapePassword(L"a b%c"), L"a% ^b%%^c");
}

// Every text setting may hold brackets: the file gives it back, and every setting after it too.
TEST_F(DialSettingsTest, TextSettingsWithBracketsSurviveTheFileWithEverySettingAfterThem) {
    auto fields = [](const DialProfile& p) {
        return std::make_tuple(p.Number, p.User, p.Pass, p.DNSMain, p.DNSMinor, p.IPAddress,
                               p.Redial, p.AutoRun, p.CHAP, p.PAP, p.PCAccount, p.UIMCHAP, p.UIMPAP,
                               p.SaveInfo);
    };
    std::wstring DialProfile::*const texts[] = {&DialProfile::Number,   &DialProfile::User,
                                                &DialProfile::Pass,     &DialProfile::DNSMain,
                                                &DialProfile::DNSMinor, &DialProfile::IPAddress};
    for (const wchar_t* bracketed : {L"a[b]c", L"[x]", L"]x[", L"[", L"x]", L"[a=b]", L"[ ]"}) {
        for (std::wstring DialProfile::*field : texts) {
            // Every setting away from its default, so that a lost one shows.
            DialProfile p;
            CDialSettings::LoadDefaults(p);
            p.Number = L"#123";
            p.User = L"someone";
            p.Pass = L"secret";
            p.DNSMain = L"10.0.0.1";
            p.DNSMinor = L"10.0.0.2";
            p.IPAddress = L"192.168.1.5";
            p.Redial = false;
            p.AutoRun = true;
            p.CHAP = true;
            p.PAP = true;
            p.PCAccount = false;
            p.UIMCHAP = true;
            p.UIMPAP = true;
            p.*field = bracketed;
            CDialSettings::Write(SettingsPath(), p);
            EXPECT_EQ(fields(ReadFresh()), fields(p)) << M().ReadFile(SettingsPath());
        }
    }
}

// Whatever the file holds, a saved profile is what the next start reads: the values go to the
// entry the reader takes (the last section, the last of a repeated key), and lines of other
// sections stay as they were.
TEST_F(DialSettingsTest, SavedSettingsAreReadBackFromFilesWithRepeatedEntries) {
    const std::string other = "[Other]\r\nNumber=#999\r\n";
    const std::string bodies[] = {
        "[DialSetting]\r\nNumber=#111\r\nDNSMain=1.1.1.1\r\n" + other +
            "[dialsetting]\r\nNumber=#222\r\n",
        "[DialSetting]\r\nNumber=#111\r\nDNSMain=1.1.1.1\r\nnumber = #222\r\nDNSMain=\r\n" +
            other,
        // The reader stops at the line of blanks: the second section is not the one it reads.
        other + "[DialSetting]\r\nNumber=#222\r\nDNSMain=1.1.1.1\r\n  \r\n[DialSetting]\r\nN=0",
        other + "[DialSetting]\r\nNumber=#222",  // no terminator at the end
        other + "=x\r\n[DialSetting]\r\nNumber=#111\r\n",  // the reader stops before it
    };
    for (const std::string& body : bodies) {
        SCOPED_TRACE(body);
        WriteSettings(body);
        DialProfile p = ReadFresh();
        p.Number = L"#333";
        p.DNSMain.clear();
        p.Redial = false;
        CDialSettings::Write(SettingsPath(), p);
        DialProfile back = ReadFresh();
        EXPECT_EQ(back.Number, L"#333") << M().ReadFile(SettingsPath());
        EXPECT_EQ(back.DNSMain, L"");
        EXPECT_FALSE(back.Redial);
        EXPECT_NE(M().ReadFile(SettingsPath()).find(other), std::string::npos);
        EXPECT_EQ(CIniFile(SettingsPath()).GetValue(L"Other", L"Number"), L"#999");
    }
}

TEST_F(DialSettingsTest, OldFilesReadAsBefore) {
    WriteSettings("[DialSetting]\r\nPass=my% ^secret% ^word\r\n");
    EXPECT_EQ(ReadFresh().Pass, L"my secret word");
    WriteSettings("[DialSetting]\r\nPass=50%x^\r\n");
    EXPECT_EQ(ReadFresh().Pass, L"50x");
}

TEST_F(DialSettingsTest, ExitWriteFollowsSaveInfo) {
    const std::string before = "[DialSetting]\r\nNumber=#123\r\nSaveInfo=1\r\n";
    WriteSettings(before);
    CDialSettings& settings = CDialSettings::Instance();
    settings.Path() = SettingsPath();
    DialProfile p = settings.Profile();
    CDialSettings::Read(p, settings.Path());
    p.Number = L"#999";
    p.SaveInfo = false;
    settings.SetProfile(p);
    settings.SaveAtExit();
    EXPECT_EQ(M().ReadFile(SettingsPath()), before);  // byte for byte as it was
    EXPECT_EQ(ReadFresh().Number, L"#123");

    p.SaveInfo = true;
    settings.SetProfile(p);
    settings.SaveAtExit();
    EXPECT_EQ(ReadFresh().Number, L"#999");
}

TEST_F(DialSettingsTest, ExitWriteWithoutAPathIsSkipped) {
    CDialSettings& settings = CDialSettings::Instance();
    settings.Path().clear();  // the settings pages were never built
    EXPECT_TRUE(settings.Profile().SaveInfo);
    auto count = [&](const std::wstring& folder) {
        std::error_code ec;
        auto it = std::filesystem::recursive_directory_iterator(M().HostPath(folder), ec);
        return std::distance(it, std::filesystem::recursive_directory_iterator());
    };
    auto filesBefore = count(L"C:\\");
    settings.SaveAtExit();
    EXPECT_EQ(count(L"C:\\"), filesBefore);
}

// The store is written when the process ends, through its destructor.
TEST_F(DialSettingsTest, WrittenWhenTheProgramEnds) {
    auto host =
        std::filesystem::temp_directory_path() /
        ("dialsettings-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
         std::to_string(std::rand()));
    sim::Config config = MachineConfig();
    config.hostFolder = host;  // kept when the program ends, so the test can look at it
    sim::Machine::Reset(config);
    WriteSettings("[DialSetting]\r\nNumber=#1\r\n");
    EXPECT_EXIT(
        {
            CDialSettings& s = CDialSettings::Instance();
            s.Path() = SettingsPath();
            DialProfile p = s.Profile();
            p.Number = L"#2";
            s.SetProfile(p);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFresh().Number, L"#2");
    std::error_code ec;
    std::filesystem::remove_all(host, ec);
}

class DataFolderTest : public SimTest {};

TEST_F(DataFolderTest, ApplicationDataOnXp) {
    std::wstring folder = GetUserDataFolder();
    EXPECT_EQ(folder, L"C:\\Documents and Settings\\user\\Application Data\\VARNIUI\\");
    EXPECT_TRUE(M().FileExists(folder));
    std::size_t handles = sim::HandleTable::Get().OpenCount();
    EXPECT_EQ(GetUserDataFolder(), folder);                   // an existing folder is used as it is
    EXPECT_EQ(sim::HandleTable::Get().OpenCount(), handles);  // process and token closed
}

class DataFolderVistaTest : public SimTest {
protected:
    sim::Config MachineConfig() override { return sim::Config::Windows7(); }
};

TEST_F(DataFolderVistaTest, RoamingAppDataOnVersionSix) {
    std::wstring folder = GetUserDataFolder();
    EXPECT_EQ(folder, L"C:\\Users\\user\\AppData\\roaming\\VARNIUI\\");
    EXPECT_TRUE(M().FileExists(L"C:\\Users\\user\\AppData\\Roaming\\VARNIUI"));
}

class DataFolderNoProfileTest : public SimTest {
protected:
    sim::Config MachineConfig() override {
        sim::Config c = sim::Config::WindowsXP();
        c.profileFolder.clear();
        return c;
    }
};

TEST_F(DataFolderNoProfileTest, ProgramFolderWithoutAProfile) {
    EXPECT_EQ(GetUserDataFolder(), M().config().programFolder);
}

TEST_F(DataFolderTest, ProgramFolderWhenTheFolderCannotBeCreated) {
    // Without "Application Data" in the profile only the last folder would be created: that fails.
    std::filesystem::remove_all(
        M().HostPath(L"C:\\Documents and Settings\\user\\Application Data"));
    EXPECT_EQ(GetUserDataFolder(), L"C:\\Program Files\\Modem\\");
}

}  // namespace
