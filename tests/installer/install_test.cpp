// The install sequence on the simulated machine: the modem plugged in disk mode, switched,
// waited for and its drivers installed while COM1 to COM12 are reserved.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "installer_fixture.h"
#include "common/ulvane_program.h"
#include "machine/devices.h"
#include "machine/modem.h"
#include "machine/services.h"
#include "service/ulvane.h"

using ::testing::ElementsAre;

namespace {

const std::vector<BYTE> kOriginalComDb = {0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                          0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

std::vector<std::wstring> UpdatedIds() {
    std::vector<std::wstring> ids;
    for (const auto& u : brevant::Updates()) ids.push_back(u.hardwareId);
    return ids;
}

DWORD MessageTick(const std::wstring& text, int occurrence) {
    for (const auto& e : miravel::Journal())
        if (e.kind == miravel::EventKind::Message && e.text == text && occurrence-- == 0)
            return e.tick;
    ADD_FAILURE() << "no message " << sim::ToUtf8(text);
    return 0;
}

// How long the install waited for the driver wizard: from its first driver message to the next.
DWORD WizardWait() {
    return MessageTick(L"Installing the modem driver...", 1) -
           MessageTick(L"Installing the modem driver...", 0);
}

class InstallTest : public InstallerTest {};

// The install with the real service program beside the installer.
class InstallWithServiceTest : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        RegisterUlvanePrograms();
        M().registry().CreateKey(std::wstring(L"HKLM\\") + kUninstallKey);
    }
    void TearDown() override { StopRunningUlvane(); }
};

TEST_F(InstallWithServiceTest, TheUsbChipCdromStaysDisabledAfterTheServiceIsRegistered) {
    auto modem = sim::SimModem::Plug({.variant = sim::ModemVariant::UsbChip});
    ASSERT_EQ(Run({L"/i"}), 0);
    EXPECT_THAT(BoxTexts(), ElementsAre(L"The drivers are installed. The modem is ready."));
    auto service = M().services().Get(kServiceName);
    ASSERT_TRUE(service.has_value());
    EXPECT_EQ(service->status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    sim::DeviceNode chip;
    ASSERT_TRUE(M().devices().FindInstance(modem->ChipCdromInstanceId(), &chip));
    EXPECT_TRUE(chip.disabledConfig);
}

TEST_F(InstallTest, FullInstallWithTheModemInDiskMode) {
    EnableLog();
    auto modem = sim::SimModem::Plug();  // PID FFF1 in disk mode
    ASSERT_EQ(Run({L"/i"}), 0);

    // The installer switched the device and waited for modem mode.
    EXPECT_EQ(modem->SwitchCount(), 1);
    EXPECT_TRUE(modem->InModemMode());

    // Every interface of the model got its driver, in table order, on COM13 and up: COM1 to
    // COM12 were reserved while Windows numbered the ports.
    EXPECT_THAT(UpdatedIds(),
                ElementsAre(L"USB\\VID_3A5C&PID_FFF1&MI_00", L"USB\\VID_3A5C&PID_FFF1&MI_01",
                            L"USB\\VID_3A5C&PID_FFF1&MI_02"));
    auto updates = brevant::Updates();
    ASSERT_EQ(updates.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(updates[i].succeeded);
        ASSERT_EQ(updates[i].comPorts.size(), 1u);
        EXPECT_EQ(updates[i].comPorts[0], 13 + i);
        ASSERT_GE(updates[i].comDbBefore.size(), 2u);
        EXPECT_EQ(updates[i].comDbBefore[0], 0xFF);
        EXPECT_EQ(updates[i].comDbBefore[1] & 0x0F, 0x0F);
    }
    EXPECT_NE(updates[0].infPath.find(L"\\VARNI\\Driver\\WinXP\\CT_VARNI_U_MDM.inf"),
              std::wstring::npos);
    EXPECT_NE(updates[1].infPath.find(L"\\VARNI\\Driver\\WinXP\\CT_VARNI_U_SER.inf"),
              std::wstring::npos);

    // The service was re-registered with the reservation still in place, then the database
    // went back to its value before the install.
    EXPECT_THAT(ServiceRuns(), ElementsAre(L"\"C:\\Program Files\\VARNI\\Bin\\Ulvane.exe\" -u",
                                           L"\"C:\\Program Files\\VARNI\\Bin\\Ulvane.exe\" -r"));
    for (const auto& db : ComDbDuringServiceRuns()) EXPECT_EQ(db[0], 0xFF);
    for (const auto& p : M().processes().WithImage(L"Ulvane.exe")) {
        EXPECT_EQ(p.creationFlags & CREATE_NO_WINDOW, static_cast<DWORD>(CREATE_NO_WINDOW));
        EXPECT_FALSE(p.running);
    }
    EXPECT_EQ(ComDb(), kOriginalComDb);
    EXPECT_EQ(
        DebugLines(L"Service Command Line:\"C:\\Program Files\\VARNI\\Bin\\Ulvane.exe\" -r").size(),
        1u);

    // What the user saw: English texts, one final box, the window gone at the end.
    EXPECT_THAT(BoxTexts(), ElementsAre(L"The drivers are installed. The modem is ready."));
    EXPECT_EQ(miravel::Boxes()[0].caption, L"VARNI CDMA Modem Setup");
    EXPECT_EQ(miravel::Boxes()[0].type, 0x40u);
    EXPECT_THAT(miravel::Messages(),
                ElementsAre(L"Installing the modem driver...", L"Installing the modem driver...",
                            L"Installing the serial port driver...",
                            L"Installing the serial port driver..."));
    auto journal = miravel::Journal();
    ASSERT_GE(journal.size(), 3u);
    EXPECT_EQ(journal[2].kind, miravel::EventKind::Font);
    EXPECT_EQ(journal[2].text, L"Tahoma");
    EXPECT_EQ(journal.back().kind, miravel::EventKind::Destroy);
    EXPECT_EQ(miravel::WindowsAlive(), 0);

    std::wstring console = M().Console();
    EXPECT_NE(console.find(L"找到3个新硬件\n"), std::wstring::npos);
    EXPECT_NE(console.find(L"更新硬件USB\\VID_3A5C&PID_FFF1&MI_02的驱动完成\n"),
              std::wstring::npos);

    // Everything taken was given back.
    EXPECT_EQ(brevant::InstallersCreated(), 5);
    EXPECT_EQ(brevant::InstallersAlive(), 0);
    EXPECT_FALSE(quosset::WizardWatching());
    EXPECT_FALSE(quosset::SignatureWatching());
    EXPECT_THAT(quosset::Calls(),
                ElementsAre("StartWatchWizard", "StartWatchSignature", "WizardThreadHandle",
                            "StopWatchSignature", "StopWatchWizard"));
}

TEST_F(InstallTest, PlugAlertWhileNoDeviceIsThereThenTheDeviceArrives) {
    std::shared_ptr<sim::SimModem> modem;
    // The user plugs the modem in 20 s after the alert.
    miravel::SetListener([&](const miravel::Event& e) {
        if (e.kind == miravel::EventKind::Message && e.text.find(L"plug") != std::wstring::npos) {
            Sleep(20000);
            modem = sim::SimModem::Plug();
        }
        return MIRAVEL_IDOK;
    });
    ASSERT_EQ(Run({L"/i"}), 0);
    EXPECT_EQ(miravel::Messages().front(), L"Please plug the modem into a USB port.");
    EXPECT_EQ(brevant::Updates().size(), 3u);
    EXPECT_THAT(BoxTexts(), ElementsAre(L"The drivers are installed. The modem is ready."));
}

TEST_F(InstallTest, RestartRequestedByADriverGivesTheRebootBox) {
    auto modem = sim::SimModem::Plug({.startInModemMode = true});
    brevant::RequireRestart(true);
    Run({L"/i"});
    EXPECT_EQ(modem->SwitchCount(), 0);  // already in modem mode: nothing to switch
    EXPECT_THAT(BoxTexts(), ElementsAre(L"The drivers are installed. Restart the computer to "
                                        L"finish the setup."));
}

TEST_F(InstallTest, AProductVariantKeepsOnlyItsOwnRows) {
    auto modem = sim::SimModem::Plug({.productId = 0xFFFE});
    // A port of another model is present too; once the FFFE modem is taken it is not ours.
    sim::DeviceNodeSpec stray;
    stray.instanceId = L"USB\\VID_3A5C&PID_FFFF&MI_01\\9&1&0001";
    stray.hardwareIds = {L"USB\\VID_3A5C&PID_FFFF&MI_01"};
    M().devices().Plug(stray);

    Run({L"/i"});
    EXPECT_THAT(UpdatedIds(),
                ElementsAre(L"USB\\VID_3A5C&PID_FFFE&MI_00", L"USB\\VID_3A5C&PID_FFFE&MI_01",
                            L"USB\\VID_3A5C&PID_FFFE&MI_02"));
    EXPECT_NE(M().Console().find(L"找到3个新硬件"), std::wstring::npos);
    EXPECT_EQ(ServiceRuns().size(), 2u);
}

TEST_F(InstallTest, FailedFirstUpdateStopsTheUpdatesAndCleansUp) {
    sim::SimModem::Plug();
    brevant::FailUpdates(ERROR_ACCESS_DENIED, 1, L"USB\\VID_3A5C&PID_FFF1&MI_00");
    ASSERT_EQ(Run({L"/i"}), 0);

    auto updates = brevant::Updates();
    ASSERT_EQ(updates.size(), 1u);  // no later row was tried
    EXPECT_FALSE(updates[0].succeeded);
    EXPECT_THAT(BoxTexts(), ElementsAre(L"The modem driver could not be installed.(5)"));
    EXPECT_EQ(miravel::Boxes()[0].type, 0x30u);
    EXPECT_TRUE(ServiceRuns().empty());
    EXPECT_EQ(ComDb(), kOriginalComDb);
    EXPECT_EQ(brevant::InstallersAlive(), 0);
    EXPECT_FALSE(quosset::WizardWatching());
    EXPECT_EQ(M().Console().find(L"的驱动完成"), std::wstring::npos);
}

TEST_F(InstallTest, FailedLaterUpdateShowsThePortTextAndItsCode) {
    sim::SimModem::Plug();
    brevant::FailUpdates(0xE000020Bu, 1, L"USB\\VID_3A5C&PID_FFF1&MI_01");
    Run({L"/i"});
    EXPECT_EQ(brevant::Updates().size(), 2u);
    EXPECT_THAT(BoxTexts(),
                ElementsAre(L"The serial port driver could not be installed.(-536870389)"));
    EXPECT_TRUE(ServiceRuns().empty());
}

TEST_F(InstallTest, NoDeviceWithinTwoMinutes) {
    DWORD start = GetTickCount();
    Run({L"/i"});
    EXPECT_GE(GetTickCount() - start, 120000u);
    EXPECT_THAT(BoxTexts(), ElementsAre(L"No modem was found in time. Plug the modem in and run "
                                        L"the setup again."));
    EXPECT_TRUE(brevant::Updates().empty());
    EXPECT_TRUE(ServiceRuns().empty());
    EXPECT_EQ(ComDb(), kOriginalComDb);
    EXPECT_EQ(brevant::InstallersAlive(), 0);
}

TEST_F(InstallTest, WizardWaitEndsEarlyOnceQuossetHasSeenEnoughWindows) {
    sim::SimModem::Plug({.startInModemMode = true});
    // Two more wizard windows than the arrivals bring are about to show.
    miravel::SetListener([](const miravel::Event& e) {
        if (e.kind == miravel::EventKind::Message) {
            for (int i = 0; i < 5; ++i) quosset::ShowWizardWindow();
        }
        return MIRAVEL_IDOK;
    });
    Run({L"/i"});
    const DWORD waited = WizardWait();
    EXPECT_GE(waited, 1000u);
    EXPECT_LT(waited, 1500u);
}

TEST_F(InstallTest, WithoutQuossetTheInstallGoesOnAndTheWizardWaitRunsOut) {
    M().UnregisterModule(L"Quosset.dll");
    EnableLog();
    sim::SimModem::Plug({.startInModemMode = true});
    ASSERT_EQ(Run({L"/i"}), 0);

    EXPECT_EQ(DebugLines(L"Quosset.dll not found or crashed").size(), 1u);
    const DWORD waited = WizardWait();
    EXPECT_GE(waited, 15000u);  // 1000 passes of 15 ms
    EXPECT_LT(waited, 16000u);
    EXPECT_EQ(brevant::Updates().size(), 3u);
    EXPECT_EQ(ServiceRuns().size(), 2u);
    EXPECT_EQ(ComDb(), kOriginalComDb);
}

TEST_F(InstallTest, QuossetWithoutAStartExportIsNotUsed) {
    M().UnregisterModule(L"Quosset.dll");
    quosset::Install(Bin(), {"SignatureHandle"});
    EnableLog();
    sim::SimModem::Plug({.startInModemMode = true});
    Run({L"/i"});
    EXPECT_TRUE(quosset::Calls().empty());
    EXPECT_EQ(DebugLines(L"Quosset.dll not found or crashed").size(), 1u);
    EXPECT_EQ(brevant::Updates().size(), 3u);
}

TEST_F(InstallTest, QuossetWithoutAStopExportStillEndsCleanly) {
    quosset::Install(Bin(), {"StopWatchWizard"});
    EnableLog();
    sim::SimModem::Plug({.startInModemMode = true});
    ASSERT_EQ(Run({L"/i"}), 0);
    EXPECT_EQ(DebugLines(L"function StopWatchSignature or StopWatchWizard not difined").size(), 1u);
    EXPECT_EQ(ComDb(), kOriginalComDb);
    EXPECT_EQ(brevant::InstallersAlive(), 0);
    EXPECT_EQ(ServiceRuns().size(), 2u);
}

TEST_F(InstallTest, WatcherThreadsGetTheirPriorities) {
    sim::SimModem::Plug({.startInModemMode = true});
    int wizardPriority = 0, ownPriority = 0;
    miravel::SetListener([&](const miravel::Event& e) {
        if (e.kind == miravel::EventKind::Message && quosset::WizardWatching() && !wizardPriority) {
            HMODULE library = LoadLibraryW(L"Quosset.dll");
            auto threadHandle =
                reinterpret_cast<HANDLE (*)()>(GetProcAddress(library, "WizardThreadHandle"));
            HANDLE handle = threadHandle();
            FreeLibrary(library);
            wizardPriority = GetThreadPriority(handle);
            ownPriority = GetThreadPriority(GetCurrentThread());
        }
        return MIRAVEL_IDOK;
    });
    Run({L"/i"});
    EXPECT_EQ(wizardPriority, THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_EQ(ownPriority, THREAD_PRIORITY_BELOW_NORMAL);
}

class Install64Test : public InstallTest {
protected:
    sim::Config BaseConfig() override {
        sim::Config c = sim::Config::WindowsVista();
        c.is64Bit = true;
        return c;
    }
};

TEST_F(Install64Test, SixtyFourBitDriversAndServiceProgram) {
    sim::SimModem::Plug({.startInModemMode = true});
    Run({L"/i"});
    auto updates = brevant::Updates();
    ASSERT_EQ(updates.size(), 3u);
    EXPECT_NE(updates[0].infPath.find(L"\\Driver\\Vista\\AMD64\\CT_VARNI_U_MDM.inf"),
              std::wstring::npos);
    EXPECT_THAT(ServiceRuns(), ElementsAre(L"\"C:\\Program Files\\VARNI\\Bin\\Ulvane64.exe\" -u",
                                           L"\"C:\\Program Files\\VARNI\\Bin\\Ulvane64.exe\" -r"));
    // The install reserves and restores on 64-bit Windows as on 32-bit.
    EXPECT_EQ(ComDb(), kOriginalComDb);
}

TEST_F(InstallTest, MissingDriverFilesLeaveRowsUnfoundAndTimeOut) {
    // The modem .inf is gone: its installer is absent, so the modem row is never found.
    M().WriteFile(L"C:\\Program Files\\VARNI\\Driver\\WinXP\\CT_VARNI_U_MDM.inf", "");
    sim::SimModem::Plug({.startInModemMode = true});
    Run({L"/i"});
    EXPECT_EQ(brevant::InstallersCreated(), 4);
    EXPECT_THAT(UpdatedIds(),
                ElementsAre(L"USB\\VID_3A5C&PID_FFF1&MI_01", L"USB\\VID_3A5C&PID_FFF1&MI_02"));
    ASSERT_FALSE(BoxTexts().empty());
    EXPECT_EQ(BoxTexts().front(),
              L"No modem was found in time. Plug the modem in and run the setup again.");
}

}  // namespace
