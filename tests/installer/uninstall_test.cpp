// The uninstall sequence: the wait for the device to go, the files and the dial-up entry it
// deletes, the service and the drivers it removes, and the COM-port database on 64-bit Windows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "installer_fixture.h"
#include <ras.h>
#include "machine/modem.h"
#include "machine/ras.h"

using ::testing::ElementsAre;

namespace {

class UninstallTest : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        M().WriteFile(DataFolder() + L"Setting.txt", "x");
        M().WriteFile(DataFolder() + L"DefaultSetting.txt", "x");
        M().WriteFile(ConfigIni(), "x");
        M().WriteFile(DataFolder() + L"Other.txt", "x");
        for (const wchar_t* name : {L"log.txt", L"log1.txt", L"LOG_2008.txt", L"EnableLog.txt",
                                    L"catalog.txt", L"log.dat"})
            M().WriteFile(Bin() + name, "x");
        RASENTRYW entry{};
        entry.dwSize = sizeof entry;
        std::wcscpy(entry.szDeviceType, RASDT_Modem);
        std::wcscpy(entry.szDeviceName, L"CDMA USB Modem");
        std::wcscpy(entry.szLocalPhoneNumber, L"#777");
        ASSERT_EQ(RasSetEntryPropertiesW(nullptr, L"QOB Wireless Terminal", &entry, sizeof entry,
                                         nullptr, 0),
                  0u);
    }
    virtual std::wstring DataFolder() {
        return L"C:\\Documents and Settings\\user\\Application Data\\VARNIUI\\";
    }
    std::wstring ConfigIni() {
        return L"C:\\Documents and Settings\\user\\Application Data\\QOB_CDMA_1X\\Config.ini";
    }
    bool EntryExists(const std::wstring& name) { return sim::Ras::Get().Entry(name).has_value(); }
};

TEST_F(UninstallTest, WaitsForTheDeviceToGoThenRemovesEverything) {
    auto modem = sim::SimModem::Plug({.startInModemMode = true});
    int boxes = 0;
    bool deletedEarly = false;
    miravel::SetListener([&](const miravel::Event& e) {
        if (e.kind != miravel::EventKind::Box) return MIRAVEL_IDOK;
        ++boxes;
        deletedEarly = deletedEarly || !M().FileExists(DataFolder() + L"Setting.txt") ||
                       !EntryExists(L"QOB Wireless Terminal") || !ServiceRuns().empty() ||
                       !brevant::Uninstalls().empty();
        if (boxes == 3) modem->Unplug();  // the user gives in at the third box
        return MIRAVEL_IDOK;
    });
    ASSERT_EQ(Run({L"/u"}), 0);

    EXPECT_EQ(boxes, 3);
    EXPECT_FALSE(deletedEarly);
    for (const auto& b : miravel::Boxes()) {
        EXPECT_EQ(b.text, L"Please unplug the modem, then press OK.");
        EXPECT_EQ(b.type, 0x40u);
    }
    // The per-user files of App.
    EXPECT_FALSE(M().FileExists(DataFolder() + L"Setting.txt"));
    EXPECT_FALSE(M().FileExists(DataFolder() + L"DefaultSetting.txt"));
    EXPECT_FALSE(M().FileExists(ConfigIni()));
    EXPECT_TRUE(M().FileExists(DataFolder() + L"Other.txt"));
    // The log files beside the program, but not the switch that turns the log on.
    EXPECT_FALSE(M().FileExists(Bin() + L"log.txt"));
    EXPECT_FALSE(M().FileExists(Bin() + L"log1.txt"));
    EXPECT_FALSE(M().FileExists(Bin() + L"LOG_2008.txt"));
    EXPECT_TRUE(M().FileExists(Bin() + L"EnableLog.txt"));
    EXPECT_TRUE(M().FileExists(Bin() + L"catalog.txt"));
    EXPECT_TRUE(M().FileExists(Bin() + L"log.dat"));
    // The dial-up entry named by the language file's "ConnectionName".
    EXPECT_FALSE(EntryExists(L"QOB Wireless Terminal"));
    // The service, then the drivers: ports first, then the modem.
    EXPECT_THAT(ServiceRuns(), ElementsAre(L"\"C:\\Program Files\\VARNI\\Bin\\Ulvane.exe\" -u"));
    auto removed = brevant::Uninstalls();
    ASSERT_EQ(removed.size(), 2u);
    EXPECT_NE(removed[0].find(L"CT_VARNI_U_SER.inf"), std::wstring::npos);
    EXPECT_NE(removed[1].find(L"CT_VARNI_U_MDM.inf"), std::wstring::npos);
    EXPECT_THAT(miravel::Messages(), ElementsAre(L"Removing the serial port driver...",
                                                 L"Removing the modem driver..."));
    EXPECT_EQ(brevant::InstallersAlive(), 0);
}

TEST_F(UninstallTest, AnyArgumentOtherThanLowerCaseIUninstalls) {
    ASSERT_EQ(Run({L"/I"}), 0);
    EXPECT_TRUE(miravel::Boxes().empty());  // no device: no alert
    EXPECT_FALSE(M().FileExists(DataFolder() + L"Setting.txt"));
    EXPECT_THAT(ServiceRuns(), ElementsAre(L"\"C:\\Program Files\\VARNI\\Bin\\Ulvane.exe\" -u"));
    EXPECT_TRUE(brevant::Updates().empty());
}

TEST_F(UninstallTest, EntryNameFallsBackToTheKeyWithoutALanguageFile) {
    M().WriteFile(L"C:\\Program Files\\VARNI\\Localize\\English.txt", "");
    RASENTRYW entry{};
    entry.dwSize = sizeof entry;
    std::wcscpy(entry.szDeviceType, RASDT_Modem);
    std::wcscpy(entry.szDeviceName, L"CDMA USB Modem");
    ASSERT_EQ(RasSetEntryPropertiesW(nullptr, L"ConnectionName", &entry, sizeof entry, nullptr, 0),
              0u);
    Run({L"/u"});
    EXPECT_FALSE(EntryExists(L"ConnectionName"));
    EXPECT_TRUE(EntryExists(L"QOB Wireless Terminal"));
    EXPECT_THAT(miravel::Messages(), ElementsAre(L"UninstallPort", L"UinstallModem"));
}

TEST_F(UninstallTest, MissingServiceProgramIsLoggedAndTheRestGoesOn) {
    EnableLog();
    std::filesystem::remove(M().HostPath(Bin() + L"Ulvane.exe"));
    Run({L"/u"});
    EXPECT_EQ(DebugLines(L"File Ulvane(64).exe is NOT Exist.").size(), 1u);
    EXPECT_TRUE(ServiceRuns().empty());
    EXPECT_EQ(brevant::Uninstalls().size(), 2u);
}

TEST_F(UninstallTest, ThirtyTwoBitWindowsLeavesTheComDatabaseAlone) {
    std::vector<BYTE> db(32, 0);
    db[0] = 0x05;  // COM1, COM3
    db[1] = 0x20;  // COM14
    SetComDb(db);
    Run({L"/u"});
    EXPECT_EQ(ComDb(), db);
}

class Uninstall64Test : public UninstallTest {
protected:
    sim::Config BaseConfig() override {
        sim::Config c = sim::Config::WindowsXP();
        c.is64Bit = true;
        return c;
    }
};

TEST_F(Uninstall64Test, FreesEveryNumberFromCom13Up) {
    std::vector<BYTE> db(32, 0);
    db[0] = 0x05;  // COM1, COM3
    db[1] = 0x24;  // COM11, COM14
    db[3] = 0x80;  // COM32
    SetComDb(db);
    Run({L"/u"});
    std::vector<BYTE> expected(32, 0);
    expected[0] = 0x05;
    expected[1] = 0x04;
    EXPECT_EQ(ComDb(), expected);
    // The 64-bit build of the service program.
    EXPECT_THAT(ServiceRuns(), ElementsAre(L"\"C:\\Program Files\\VARNI\\Bin\\Ulvane64.exe\" -u"));
}

TEST_F(Uninstall64Test, LongerDatabaseIsFreedToItsEnd) {
    std::vector<BYTE> db(64, 0xFF);
    SetComDb(db);
    Run({L"/u"});
    std::vector<BYTE> after = ComDb();
    ASSERT_EQ(after.size(), 64u);
    EXPECT_EQ(after[0], 0xFF);
    EXPECT_EQ(after[1], 0x0F);
    for (std::size_t i = 2; i < after.size(); ++i) EXPECT_EQ(after[i], 0) << i;
}

TEST_F(Uninstall64Test, MissingDatabaseStaysMissing) {
    M().registry().DeleteValue(kComDbKey, L"ComDB");
    Run({L"/u"});
    sim::RegValue value;
    EXPECT_FALSE(M().registry().GetValue(kComDbKey, L"ComDB", &value));
}

class UninstallVistaTest : public UninstallTest {
protected:
    sim::Config BaseConfig() override { return sim::Config::WindowsVista(); }
    std::wstring DataFolder() override {
        return M().config().profileFolder + L"\\AppData\\roaming\\VARNIUI\\";
    }
};

TEST_F(UninstallVistaTest, SettingsFilesGoFromTheRoamingFolder) {
    Run({L"/u"});
    EXPECT_FALSE(M().FileExists(DataFolder() + L"Setting.txt"));
    EXPECT_FALSE(M().FileExists(DataFolder() + L"DefaultSetting.txt"));
    EXPECT_TRUE(M().FileExists(DataFolder() + L"Other.txt"));
}

}  // namespace
