#include <gtest/gtest.h>

#include "common/sim_fixture.h"
#include <cfgmgr32.h>
#include <devguid.h>
#include <winbase.h>
#include "machine/devices.h"
#include "machine/modem.h"
#include "support/device_control.h"

namespace {

sim::DeviceNode Node(const std::wstring& instanceId) {
    sim::DeviceNode node;
    EXPECT_TRUE(sim::machine().devices().FindInstance(instanceId, &node))
        << sim::ToUtf8(instanceId);
    return node;
}

DWORD PlugNode(const std::wstring& instanceId, DWORD parent = 0,
               const GUID& setupClass = GUID_DEVCLASS_USB) {
    sim::DeviceNodeSpec spec;
    spec.instanceId = instanceId;
    spec.classGuid = setupClass;
    return sim::machine().devices().Plug(spec, parent);
}

class PresenceTest : public SimTest {};

TEST_F(PresenceTest, NeedsThreeHealthySupportedNodes) {
    DWORD parent = PlugNode(L"USB\\VID_3A5C&PID_FFF1\\1");
    PlugNode(L"USB\\VID_3A5C&PID_FFF1&MI_00\\2", parent);
    PlugNode(L"USB\\VID_1234&PID_0001\\9");  // not ours
    EXPECT_FALSE(IsDevicePresent());
    PlugNode(L"USB\\VID_3A5C&PID_FFF1&MI_01\\3", parent);
    EXPECT_TRUE(IsDevicePresent());
    PlugNode(L"USB\\VID_3A5C&PID_FFF1&MI_02\\4", parent);
    sim::machine().devices().SetProblem(L"USB\\VID_3A5C&PID_FFF1&MI_02\\4", CM_PROB_FAILED_START);
    EXPECT_FALSE(IsDevicePresent());
}

TEST_F(PresenceTest, FollowsTheModemThroughItsModes) {
    auto modem = sim::SimModem::Plug();
    EXPECT_FALSE(IsDevicePresent());  // disk mode: the USB device and its CD-ROM
    modem->EnterModemMode();
    EXPECT_TRUE(IsDevicePresent());
    modem->Unplug();
    EXPECT_FALSE(IsDevicePresent());
}

class InstanceStateTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        EnableLog();
        id = L"USBSTOR\\CDROM&VEN_VARNIFFF4&PROD_USB_CHIP\\7&0";
        PlugNode(id, 0, GUID_DEVCLASS_CDROM);
    }
    std::wstring id;
};

TEST_F(InstanceStateTest, DisableAndEnable) {
    ASSERT_TRUE(SetDeviceInstanceState(id, false));
    sim::DeviceNode n = Node(id);
    EXPECT_TRUE(n.disabledConfig);
    EXPECT_FALSE(n.disabledGlobal);
    EXPECT_EQ(n.EffectiveProblem(), CM_PROB_DISABLED);

    ASSERT_TRUE(SetDeviceInstanceState(id, true));
    n = Node(id);
    EXPECT_FALSE(n.disabledConfig);
    EXPECT_FALSE(n.disabledGlobal);
    EXPECT_EQ(DebugLines(id + L",SetupDiCallClassInstaller Enable OK ").size(), 1u);
}

TEST_F(InstanceStateTest, AlreadyInTheWantedStateChangesNothing) {
    // Disabled through the global scope only: a disable finds problem 22 and stops there.
    sim::machine().devices().SetEnabled(Node(id).devInst, false, true);
    ASSERT_TRUE(SetDeviceInstanceState(id, false));
    EXPECT_FALSE(Node(id).disabledConfig);

    sim::machine().devices().SetEnabled(Node(id).devInst, true, true);
    ASSERT_TRUE(SetDeviceInstanceState(id, true));
    EXPECT_TRUE(DebugLines(L"Enable OK").empty());
}

TEST_F(InstanceStateTest, DeviceWithAnotherProblemIsDisabled) {
    sim::machine().devices().SetProblem(id, CM_PROB_FAILED_START);
    ASSERT_TRUE(SetDeviceInstanceState(id, false));
    EXPECT_TRUE(Node(id).disabledConfig);
}

TEST_F(InstanceStateTest, IdMustMatchExactly) {
    std::wstring lower = sim::Lower(id);
    EXPECT_FALSE(SetDeviceInstanceState(lower, false));
    EXPECT_FALSE(SetDeviceInstanceState(L"USB\\NOTHING\\1", false));
    EXPECT_FALSE(Node(id).disabledConfig);
}

TEST_F(InstanceStateTest, StateOfAnUnpluggedDeviceIsKeptForItsNextArrival) {
    sim::machine().devices().UnplugInstance(id);
    ASSERT_TRUE(SetDeviceInstanceState(id, false));
    PlugNode(id, 0, GUID_DEVCLASS_CDROM);
    sim::DeviceNode n = Node(id);
    EXPECT_TRUE(n.present);
    EXPECT_EQ(n.EffectiveProblem(), CM_PROB_DISABLED);
}

TEST_F(InstanceStateTest, ChipCdromsSwitchedTogether) {
    PlugNode(L"USBSTOR\\CDROM&VEN_VARNIFFF4&PROD_OTHER\\8&0", 0, GUID_DEVCLASS_CDROM);
    sim::machine().devices().UnplugInstance(L"USBSTOR\\CDROM&VEN_VARNIFFF4&PROD_OTHER\\8&0");
    EXPECT_TRUE(SetUsbChipCdromState(false, true));
    EXPECT_TRUE(Node(id).disabledConfig);
    EXPECT_FALSE(Node(L"USBSTOR\\CDROM&VEN_VARNIFFF4&PROD_OTHER\\8&0").disabledConfig);
    EXPECT_EQ(DebugLines(L"vecInstanceID.size()  =  1").size(), 1u);

    EXPECT_TRUE(SetUsbChipCdromState(false, false));  // reaches the unplugged one too
    EXPECT_TRUE(Node(L"USBSTOR\\CDROM&VEN_VARNIFFF4&PROD_OTHER\\8&0").disabledConfig);
    EXPECT_EQ(DebugLines(L"vecInstanceID.size()  =  2").size(), 1u);
}

TEST_F(InstanceStateTest, NoChipCdromFound) {
    sim::machine().devices().UnplugInstance(id);
    EXPECT_FALSE(SetUsbChipCdromState(true, true));
    EXPECT_EQ(DebugLines(L"vecInstanceID.size()  =  0").size(), 1u);
}

class EjectTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        EnableLog();
        modem = sim::SimModem::Plug();
    }
    std::shared_ptr<sim::SimModem> modem;
};

TEST_F(EjectTest, EjectTakesTheDeviceAway) {
    EXPECT_TRUE(EjectDevice());
    EXPECT_EQ(modem->EjectRequests(), 1);
    EXPECT_FALSE(Node(modem->UsbInstanceId()).present);
    EXPECT_FALSE(Node(modem->CdromInstanceId()).present);
    EXPECT_EQ(DebugLines(L"CM_Request_Device_Eject() OK.\n").size(), 1u);
}

TEST_F(EjectTest, RetriedOnceASecondUntilTheVetoEnds) {
    modem->VetoEject(2, PNP_VetoOutstandingOpen, L"\\Device\\CdRom1");
    DWORD start = GetTickCount();
    EXPECT_TRUE(EjectDevice());
    EXPECT_EQ(GetTickCount() - start, 2000u);
    EXPECT_EQ(modem->EjectRequests(), 3);
    auto vetoes = DebugLines(L"CM_Request_Device_Eject(),Res:CR_23 Error:[");
    ASSERT_EQ(vetoes.size(), 2u);
    EXPECT_NE(vetoes[0].find(L"],VetoName:\\Device\\CdRom1\n"), std::wstring::npos);
}

TEST_F(EjectTest, GivesUpAfterTenTries) {
    modem->VetoEject(-1);
    DWORD start = GetTickCount();
    EXPECT_FALSE(EjectDevice());
    EXPECT_EQ(GetTickCount() - start, 10000u);
    EXPECT_EQ(modem->EjectRequests(), 10);
    EXPECT_TRUE(Node(modem->UsbInstanceId()).present);
}

TEST_F(EjectTest, NothingToEjectInModemMode) {
    modem->EnterModemMode();
    EXPECT_FALSE(EjectDevice());
    EXPECT_EQ(modem->EjectRequests(), 0);
}

}  // namespace
