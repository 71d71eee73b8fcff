// Start-up: the command line, the language file, the install table and the device checks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "installer/language.h"
#include "installer_fixture.h"
#include "machine/processes.h"
#include <devguid.h>
#include "machine/devices.h"
#include "machine/modem.h"

using ::testing::ElementsAre;

namespace {

class StartupTest : public InstallerTest {};

TEST_F(StartupTest, NoArgumentPrintsTheUsageBeforeAnyWindow) {
    std::vector<wchar_t*> argv = {const_cast<wchar_t*>(L"Installer.exe"), nullptr};
    EXPECT_EQ(InstallerMain(1, argv.data()), 2);
    EXPECT_EQ(M().Console(),
              L"Usage:\nInstaller.exe /i ------- for install\nInstaller.exe /u ------- for "
              L"uninstall\n");
    EXPECT_TRUE(miravel::Journal().empty());
    EXPECT_EQ(InstallerMain(0, argv.data()), 2);
    // The program runs in the user's default locale.
    EXPECT_EQ(sim::CurrentProcess().Locale(), L"Chinese (Simplified)_China.936");
}

TEST_F(StartupTest, LanguageNames) {
    EXPECT_EQ(GetLanguageName(0x0C0A), L"Spanish");
    EXPECT_EQ(GetLanguageName(0x500A), L"Spanish");
    EXPECT_EQ(GetLanguageName(0x0804), L"ChineseSimplified");
    for (LANGID id : {0x0404, 0x0C04, 0x1004, 0x1404})
        EXPECT_EQ(GetLanguageName(static_cast<LANGID>(id)), L"ChineseTradition");
    EXPECT_EQ(GetLanguageName(0x042B), L"English");
    EXPECT_EQ(GetLanguageName(0x0814), L"Nynorsk");
    EXPECT_EQ(GetLanguageName(0x0417), L"");
    EXPECT_EQ(GetLanguageName(0x0000), L"");
}

class LanguageFileTest : public InstallerTest, public ::testing::WithParamInterface<LANGID> {
protected:
    sim::Config MachineConfig() override {
        sim::Config c = InstallerTest::MachineConfig();
        c.uiLanguage = GetParam();
        return c;
    }
};

TEST_P(LanguageFileTest, ChosenFromTheInterfaceLanguageElseEnglish) {
    std::wstring folder = L"C:\\Program Files\\VARNI\\Localize\\";
    std::wstring expected = GetParam() == 0x0804 ? L"ChineseSimplified.txt" : L"English.txt";
    EXPECT_EQ(GetLanguageFilePath(), folder + expected);
}

INSTANTIATE_TEST_SUITE_P(Languages, LanguageFileTest,
                         ::testing::Values(0x0804, 0x0409, 0x0C0A, 0x0417));

class ChineseInstallTest : public InstallerTest {
protected:
    sim::Config MachineConfig() override {
        sim::Config c = InstallerTest::MachineConfig();
        c.uiLanguage = 0x0804;
        return c;
    }
};

TEST_F(ChineseInstallTest, TextsComeFromTheUsersLanguage) {
    Run({L"/i"});  // no device: the plug alert, then the time-out box
    EXPECT_EQ(miravel::Messages().front(), L"请将调制解调器插入 USB 端口。");
    ASSERT_EQ(miravel::Boxes().size(), 1u);
    EXPECT_EQ(miravel::Boxes()[0].caption, L"VARNI CDMA 调制解调器安装");
    EXPECT_EQ(miravel::Journal()[2].text, L"宋体");
}

TEST_F(StartupTest, WithoutAnyLanguageFileEveryTextIsItsKey) {
    std::filesystem::remove_all(M().HostPath(L"C:\\Program Files\\VARNI\\Localize"));
    Run({L"/i"});
    EXPECT_THAT(miravel::Messages(), ElementsAre(L"PlugAlert"));
    ASSERT_EQ(miravel::Boxes().size(), 1u);
    EXPECT_EQ(miravel::Boxes()[0].text, L"NewDeviceTimeout");
    EXPECT_EQ(miravel::Boxes()[0].caption, L"MsgBoxTitle");
}

TEST_F(StartupTest, TheInstallTable) {
    DriverInstallers installers;
    std::vector<InstallItem> table = BuildInstallTable(installers);
    ASSERT_EQ(table.size(), 39u);
    EXPECT_EQ(table[0].HardwareId, L"USB\\VID_05C6&PID_3197&MI_00");
    EXPECT_EQ(table[0].Slot, &installers.Modem);
    EXPECT_EQ(table[0].MessageKey, L"InstallModem");
    EXPECT_EQ(table[0].FailureKey, L"FailInstallModem");
    EXPECT_EQ(table[27].HardwareId, L"USB\\VID_3A5C&PID_FFF7&MI_04");
    EXPECT_EQ(table[27].Slot, &installers.Serial[3]);
    EXPECT_EQ(table[28].HardwareId, L"USB\\VID_3A5C&PID_FFF6&MI_01");
    EXPECT_EQ(table[28].Slot, &installers.Modem);
    EXPECT_EQ(table[29].MessageKey, L"InstallPort");
    EXPECT_EQ(table[29].FailureKey, L"FailInstallPort");
    int optional = 0;
    for (const auto& row : table) optional += row.Required ? 0 : 1;
    EXPECT_EQ(optional, 6);
    EXPECT_FALSE(table[8].Required);   // FFFE MI_03
    EXPECT_FALSE(table[11].Required);  // FFFD MI_02
    EXPECT_EQ(table[38].HardwareId, L"USB\\VID_3A5C&PID_FFEF&MI_01");

    KeepModelItems(39, table, FindModelSuffix(L"USB\\VID_3A5C&PID_FFF8&MI_00"));
    std::vector<std::wstring> kept;
    for (const auto& row : table)
        if (row.Slot) kept.push_back(row.HardwareId);
    EXPECT_THAT(kept,
                ElementsAre(L"USB\\VID_3A5C&PID_FFF8&MI_00", L"USB\\VID_3A5C&PID_FFF8&MI_01",
                            L"USB\\VID_3A5C&PID_FFF8&MI_02", L"USB\\VID_3A5C&PID_FFF8&MI_03"));
    EXPECT_EQ(FindModelSuffix(L"USB\\VID_1234&PID_0001"), L"");
}

TEST_F(StartupTest, DriverFolders) {
    EXPECT_EQ(GetModemInfPath(), L"C:\\Program Files\\VARNI\\Driver\\WinXP\\CT_VARNI_U_MDM.inf");
    EXPECT_EQ(GetSerialInfPath(), L"C:\\Program Files\\VARNI\\Driver\\WinXP\\CT_VARNI_U_SER.inf");
}

TEST_F(StartupTest, SupportedUsbIds) {
    EXPECT_TRUE(IsSupportedUsbId(L"USB\\VID_05C6&PID_6000&REV_0000"));
    EXPECT_TRUE(IsSupportedUsbId(L"USB\\VID_3A5C&PID_FFF5"));
    EXPECT_FALSE(IsSupportedUsbId(L"usb\\vid_3a5c&pid_fff1"));  // the caller upper-cases
    EXPECT_FALSE(IsSupportedUsbId(L"VID_3A5C&PID_FFF1"));       // the "USB\" prefix is needed
    EXPECT_FALSE(IsSupportedUsbId(L"USB\\VID_3A5C&PID_FFF4"));
}

TEST_F(StartupTest, ModemModeIsTheCompositeDevice) {
    EnableLog();
    EXPECT_FALSE(IsModemModePresent());
    auto modem = sim::SimModem::Plug();
    EXPECT_FALSE(IsModemModePresent());  // disk mode: a mass-storage class device
    modem->EnterModemMode();
    EXPECT_TRUE(IsModemModePresent());
    EXPECT_EQ(
        DebugLines(L"Device Compatible ID : USB\\DEVCLASS_00&SUBCLASS_00&PROT_00|USB\\COMPOSITE")
            .size(),
        1u);
}

}  // namespace
