// The running service: start-up, controls, device events with the mode switch, the start of App
// after a switch, and the self-unregistering when the software is gone.
#include <gtest/gtest.h>

#include "machine/modem.h"
#include <devguid.h>
#include "machine/devices.h"
#include "ulvane_fixture.h"

namespace {

const std::wstring kArrival = L"Device Arrival Event " + std::wstring(40, L'<');
const std::wstring kRemoval = L"Device Removal Event " + std::wstring(41, L'>');

class DeviceEventsTest : public UlvaneTest {
protected:
    void SetUp() override {
        UlvaneTest::SetUp();
        AddExplorer(L"alice");
        harlune::Install(Folder());
    }
    // Waits until the service's dispatcher has handled every queued event.
    void Settle() { ASSERT_TRUE(M().services().WaitIdle(kServiceName, 10000)); }
};

TEST_F(DeviceEventsTest, StartUpRegistersForCdromAndModemInterfaces) {
    StartService();
    ASSERT_TRUE(WaitUntil([&] { return M().services().Notifications().size() == 2; }, 1000));
    auto notifications = M().services().Notifications();
    EXPECT_EQ(notifications[0].classGuid, GUID_DEVINTERFACE_CDROM);
    EXPECT_EQ(notifications[1].classGuid, GUID_DEVINTERFACE_MODEM);
    for (const auto& n : notifications) EXPECT_EQ(n.service, kServiceName);
    auto info = M().services().Get(kServiceName);
    EXPECT_EQ(info->reportedStates, std::vector<DWORD>{SERVICE_RUNNING});
    EXPECT_EQ(info->status.dwControlsAccepted, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN);
    EXPECT_EQ(info->status.dwServiceType, 0x110u);
    EXPECT_EQ(Count(L"Ulvane Entered service code.\n"), 1);
    EXPECT_EQ(Count(L"SetTheServiceStatus, SERVICE_RUNNING\n"), 1);
}

TEST_F(DeviceEventsTest, DiskModeArrivalSwitchesTheDeviceAndStartsApp) {
    StartService();
    auto modem = sim::SimModem::Plug();
    ASSERT_TRUE(M().processes().WaitForStarts(L"App.exe", 1, 10000));
    Settle();
    auto requests = modem->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].cdb, (std::vector<BYTE>{0x9F, 0x01, 0x00, 0, 0, 0}));
    EXPECT_EQ(Count(L"CreateFile: " + modem->CdromInterfacePath() + L"\n"), 1);
    EXPECT_TRUE(modem->InModemMode());

    auto app = Started(L"App.exe");
    ASSERT_EQ(app.size(), 1u);
    EXPECT_EQ(app[0].imagePath, AppPath());
    EXPECT_EQ(app[0].commandLine, L"\"" + AppPath() + L"\" ");
    EXPECT_EQ(app[0].user, L"alice");
    EXPECT_EQ(app[0].desktop, L"winsta0\\default");
    EXPECT_TRUE(app[0].useShowWindow);
    EXPECT_EQ(app[0].showWindow, SW_SHOWNORMAL);
    EXPECT_EQ(app[0].creationFlags, NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(Count(L"AppIsRunning 0"), 1);
    // The CD-ROM's arrival and then the modem's: two arrivals, one switch, one App.
    EXPECT_EQ(Count(kArrival), 2);
    EXPECT_EQ(Count(kRemoval), 1);
    EXPECT_EQ(modem->SwitchCount(), 1);
    Sleep(130000);
    EXPECT_EQ(Started(L"App.exe").size(), 1u);
    auto info = M().services().Get(kServiceName);
    EXPECT_EQ(info->status.dwCurrentState, SERVICE_RUNNING);
    EXPECT_EQ(std::count(info->handledControls.begin(), info->handledControls.end(),
                         SERVICE_CONTROL_DEVICEEVENT),
              3);
}

TEST_F(DeviceEventsTest, DeviceInDiskModeAtStartIsSwitchedWithoutStartingApp) {
    auto modem = sim::SimModem::Plug();
    StartService();
    ASSERT_TRUE(WaitUntil([&] { return modem->InModemMode(); }, 10000));
    Sleep(130000);
    EXPECT_EQ(modem->SwitchCount(), 1);
    EXPECT_TRUE(Started(L"App.exe").empty());
    EXPECT_EQ(Count(kArrival), 2);  // the worker's own call, then the modem's arrival
}

TEST_F(DeviceEventsTest, UsbChipCdromIsDisabledAndAppStarted) {
    StartService();
    auto modem = sim::SimModem::Plug({.variant = sim::ModemVariant::UsbChip});
    ASSERT_TRUE(M().processes().WaitForStarts(L"App.exe", 1, 10000));
    Settle();
    sim::DeviceNode chip;
    ASSERT_TRUE(M().devices().FindInstance(modem->ChipCdromInstanceId(), &chip));
    EXPECT_TRUE(chip.disabledConfig);
    EXPECT_TRUE(modem->Requests().empty());
}

TEST_F(DeviceEventsTest, ArrivalInModemModeDoesNothingMore) {
    StartService();
    auto modem = sim::SimModem::Plug({.startInModemMode = true});
    Settle();
    Sleep(5000);
    EXPECT_EQ(Count(kArrival), 1);
    EXPECT_EQ(Count(L"vecInstanceID.size()  =  0"), 1);
    EXPECT_TRUE(modem->Requests().empty());
    EXPECT_TRUE(Started(L"App.exe").empty());
    // The busy flag was cleared: the next arrival is handled.
    modem->Unplug();
    modem->Replug();
    Settle();
    EXPECT_EQ(Count(L"vecInstanceID.size()  =  0"), 2);
}

// A modem whose CD-ROM holds every open until the test lets it go. The opens come from the
// service's process, so the two events are named (machine-wide) rather than handed over.
class HeldModem : public sim::SimModem {
public:
    explicit HeldModem(const sim::ModemOptions& o) : SimModem(o) {
        entered_ = CreateEventW(nullptr, TRUE, FALSE, L"HeldModem.entered");
        release_ = CreateEventW(nullptr, TRUE, FALSE, L"HeldModem.release");
    }
    DWORD Open(const std::wstring& instanceId) override {
        HANDLE entered = OpenEventW(EVENT_ALL_ACCESS, FALSE, L"HeldModem.entered");
        HANDLE release = OpenEventW(EVENT_ALL_ACCESS, FALSE, L"HeldModem.release");
        SetEvent(entered);
        WaitForSingleObject(release, INFINITE);
        CloseHandle(entered);
        CloseHandle(release);
        return SimModem::Open(instanceId);
    }
    HANDLE entered_, release_;
};

TEST_F(DeviceEventsTest, ASecondArrivalDuringOneIsDroppedAndTheFlagIsClearedAfter) {
    auto modem = std::make_shared<HeldModem>(sim::ModemOptions{});
    modem->RejectSwitch(true);
    modem->Replug();
    StartService();
    // The worker's start-up arrival is now held inside the switch.
    ASSERT_EQ(WaitForSingleObject(modem->entered_, 10000), WAIT_OBJECT_0);

    sim::DeviceNodeSpec other;
    other.instanceId = L"IDE\\CDROMDRIVE\\5&1";
    other.classGuid = GUID_DEVCLASS_CDROM;
    other.interfaces = {{GUID_DEVINTERFACE_CDROM, L""}};
    M().devices().Plug(other);
    Settle();
    EXPECT_EQ(Count(kArrival), 2);
    EXPECT_EQ(CountContaining(L"CreateFile: "), 1);  // the dropped arrival sent nothing

    SetEvent(modem->release_);
    ASSERT_TRUE(WaitUntil([&] { return modem->Requests().size() == 1; }, 5000));
    M().devices().UnplugInstance(other.instanceId);
    M().devices().Plug(other);
    Settle();
    ASSERT_TRUE(WaitUntil([&] { return modem->Requests().size() == 2; }, 5000));
    EXPECT_EQ(Count(kArrival), 3);
}

TEST_F(DeviceEventsTest, StopUnregistersTheNotificationsAndStops) {
    StartService();
    ASSERT_TRUE(WaitUntil([&] { return M().services().Notifications().size() == 2; }, 1000));
    ASSERT_EQ(M().services().Control(kServiceName, SERVICE_CONTROL_STOP), 0u);
    for (const auto& n : M().services().Notifications()) EXPECT_TRUE(n.unregisteredByCall);
    ASSERT_TRUE(M().services().WaitForState(kServiceName, SERVICE_STOPPED, 10000));
    auto info = M().services().Get(kServiceName);
    EXPECT_EQ(info->reportedStates,
              (std::vector<DWORD>{SERVICE_RUNNING, SERVICE_STOP_PENDING, SERVICE_STOPPED}));
    // The handler's lines, then (racing with the last of them) ServiceMain's.
    int handled = IndexOf(L"SetTheServiceStatus, ServiceCtrl function\n");
    EXPECT_GE(handled, 0);
    EXPECT_GT(IndexOf(L"Signal ServiceMain thread\n", handled), handled);
    EXPECT_GT(IndexOf(L"SetTheServiceStatus, SERVICE_STOPPED\n", handled), handled);
    auto self = Started(L"Ulvane.exe");
    ASSERT_EQ(self.size(), 1u);
    ASSERT_TRUE(M().processes().WaitForEnd(self[0].pid, 10000));
    EXPECT_EQ(Count(L"StartServiceCtrlDispatcher OK.\n"), 1);
}

TEST_F(DeviceEventsTest, ShutdownStopsButLeavesTheNotificationsRegistered) {
    StartService();
    ASSERT_TRUE(WaitUntil([&] { return M().services().Notifications().size() == 2; }, 1000));
    ASSERT_EQ(M().services().Control(kServiceName, SERVICE_CONTROL_SHUTDOWN), 0u);
    ASSERT_TRUE(M().services().WaitForState(kServiceName, SERVICE_STOPPED, 10000));
    for (const auto& n : M().services().Notifications()) EXPECT_FALSE(n.unregisteredByCall);
    EXPECT_EQ(Count(L"Signal ServiceMain thread\n"), 1);
}

TEST_F(DeviceEventsTest, OtherControlsAnswerRunning) {
    StartService();
    ASSERT_EQ(M().services().Control(kServiceName, SERVICE_CONTROL_INTERROGATE), 0u);
    auto info = M().services().Get(kServiceName);
    EXPECT_EQ(info->reportedStates, (std::vector<DWORD>{SERVICE_RUNNING, SERVICE_RUNNING}));
    EXPECT_EQ(Count(L"SetTheServiceStatus, ServiceCtrl function\n"), 1);
    EXPECT_EQ(Count(L"Signal ServiceMain thread\n"), 0);
}

TEST_F(DeviceEventsTest, WithoutTheUninstallKeyAnEventOnlyStartsTheUnregisteringCopy) {
    StartService();
    auto modem = sim::SimModem::Plug();
    Settle();
    ASSERT_TRUE(M().registry().DeleteKey(UninstallKey()));
    modem->Unplug();  // a removal event

    // The copy that the event started stops and removes the service.
    ASSERT_TRUE(M().processes().WaitForStarts(L"Ulvane.exe", 2, 10000));
    auto copy = Started(L"Ulvane.exe")[1];
    EXPECT_EQ(copy.commandLine, L"\"" + UlvanePath() + L"\" -u");
    EXPECT_EQ(copy.argv, (std::vector<std::wstring>{UlvanePath(), L"-u"}));
    EXPECT_EQ(copy.user, L"alice");
    EXPECT_EQ(copy.desktop, L"winsta0\\default");
    EXPECT_EQ(copy.showWindow, SW_HIDE);
    ASSERT_TRUE(M().processes().WaitForEnd(copy.pid, 60000));
    EXPECT_FALSE(M().services().Exists(kServiceName));
    EXPECT_EQ(Count(L"Service deleted successfully\n"), 1);
    EXPECT_EQ(Count(kRemoval), 0);
    EXPECT_EQ(Count(kArrival), 1);  // only the arrival before the key went
}

class Service64Test : public DeviceEventsTest {
protected:
    sim::Config BaseConfig() override {
        sim::Config c = sim::Config::WindowsXP();
        c.is64Bit = true;
        return c;
    }
};

TEST_F(Service64Test, TheUnregisteringCopyIsThe64BitProgram) {
    StartService();
    ASSERT_TRUE(M().registry().DeleteKey(UninstallKey()));
    auto modem = sim::SimModem::Plug();
    ASSERT_TRUE(M().processes().WaitForStarts(L"Ulvane64.exe", 1, 10000));
    EXPECT_EQ(Started(L"Ulvane64.exe")[0].argv,
              (std::vector<std::wstring>{Folder() + L"Ulvane64.exe", L"-u"}));
    EXPECT_EQ(Count(kArrival), 0);
    EXPECT_TRUE(modem->Requests().empty());
}

TEST_F(DeviceEventsTest, AFailingStatusReportEndsTheServiceWithoutRecursion) {
    M().faults().Inject(sim::ServiceOp::SetStatus, ERROR_INVALID_HANDLE);
    sim::ServiceConfig c;
    c.name = kServiceName;
    c.binaryPath = L"\"" + UlvanePath() + L"\"";
    ASSERT_EQ(M().services().Install(c), 0u);
    ASSERT_EQ(M().services().Start(kServiceName), 0u);
    ASSERT_TRUE(
        WaitUntil([&] { return M().services().Get(kServiceName)->serviceMainReturned; }, 10000));
    const std::wstring report =
        L"API = SetServiceStatus, Error code = 6 ,Message = The handle is invalid.\r\n";
    // The RUNNING report fails; the nested failure of the STOPPED report is logged once more and
    // goes no further.
    EXPECT_EQ(Count(report), 2);
    EXPECT_EQ(Count(L"SetTheServiceStatus, SERVICE_STOPPED\n"), 0);
}

TEST_F(DeviceEventsTest, AStatusReportThatFailsOnceStopsTheServiceCleanly) {
    M().faults().Inject(sim::ServiceOp::SetStatus, ERROR_INVALID_HANDLE, 1);
    sim::ServiceConfig c;
    c.name = kServiceName;
    c.binaryPath = L"\"" + UlvanePath() + L"\"";
    ASSERT_EQ(M().services().Install(c), 0u);
    ASSERT_EQ(M().services().Start(kServiceName), 0u);
    auto self = Started(L"Ulvane.exe");
    ASSERT_EQ(self.size(), 1u);
    ASSERT_TRUE(M().processes().WaitForEnd(self[0].pid, 10000));
    auto info = M().services().Get(kServiceName);
    EXPECT_EQ(info->status.dwCurrentState, SERVICE_STOPPED);
    EXPECT_TRUE(info->serviceMainReturned);
    EXPECT_EQ(info->reportedStates, std::vector<DWORD>{SERVICE_STOPPED});
    EXPECT_EQ(Count(L"StartServiceCtrlDispatcher OK.\n"), 1);
    EXPECT_EQ(Count(L"SetTheServiceStatus, SERVICE_STOPPED\n"), 0);
    // What the worker registered went with the service, and the service starts again.
    auto notifications = M().services().Notifications();
    ASSERT_EQ(notifications.size(), 2u);
    for (const auto& n : notifications) EXPECT_TRUE(n.unregisteredByCall);
    ASSERT_EQ(Run({L"-Start"}), 0);
    ASSERT_TRUE(M().services().WaitForState(kServiceName, SERVICE_RUNNING, 10000));
    EXPECT_TRUE(WaitUntil([&] { return ActiveNotifications() == 2; }, 1000));
}

}  // namespace
