#include <gtest/gtest.h>

#include "common/sim_fixture.h"
#include <devguid.h>
#include "machine/devices.h"
#include "machine/modem.h"
#include "support/device_enum.h"

namespace {

class DeviceIdTest : public SimTest {};

TEST_F(DeviceIdTest, SupportedIdsAreFoundInAnyLetterCase) {
    EnableLog();
    EXPECT_TRUE(IsSupportedID(L"USB\\VID_3A5C&PID_FFF1&MI_00\\6&1A2B3C4D&0&0000"));
    EXPECT_TRUE(IsSupportedID(L"usb\\vid_3a5c&pid_fff1&mi_00\\6&1a2b3c4d&0&0000"));
    EXPECT_TRUE(IsSupportedID(L"USB\\VID_3A5C&PID_FFEF\\X"));
    EXPECT_TRUE(IsSupportedID(L"USBSTOR\\CDROM&VEN_QOB&PROD_X&REV_1\\7&0"));
    EXPECT_FALSE(IsSupportedID(L"USB\\VID_3A5C&PID_FFF4\\6&3B1A0C2D&0&2"));
    EXPECT_FALSE(IsSupportedID(L"USBSTOR\\CDROM&VEN_QOBX&PROD_X\\1"));
    EXPECT_FALSE(IsSupportedID(L""));
    auto lines = DebugLines(L"IsSupportedID Found OK :");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1],
              L"IsSupportedID Found OK :USB\\VID_3A5C&PID_FFF1&MI_00\\6&1A2B3C4D&0&0000  "
              L"VID_3A5C&PID_FFF1");
    EXPECT_EQ(lines[3],
              L"IsSupportedID Found OK :USBSTOR\\CDROM&VEN_QOB&PROD_X&REV_1\\7&0  &VEN_QOB&");
}

TEST_F(DeviceIdTest, UsbChipIdIsACdromOfTheChipVendor) {
    EXPECT_TRUE(IsUsbChipID(L"USBSTOR\\CdRom&Ven_VARNIFFF4&Prod_USB_CHIP\\7&0"));
    EXPECT_TRUE(IsUsbChipID(L"usbstor\\cdrom&ven_varnifff4x&prod_y\\1"));
    EXPECT_FALSE(IsUsbChipID(L"USBSTOR\\DISK&VEN_VARNIFFF4&PROD_USB_CHIP\\7&0"));
    EXPECT_FALSE(IsUsbChipID(L"USBSTOR\\CDROM&VEN_QOB&PROD_X\\1"));
}

// A CD-ROM node with an interface, under a USB parent.
DWORD PlugCdrom(const std::wstring& instanceId, DWORD parent = 0) {
    sim::DeviceNodeSpec cd;
    cd.instanceId = instanceId;
    cd.classGuid = GUID_DEVCLASS_CDROM;
    cd.className = L"CDROM";
    cd.description = L"CD-ROM Drive";
    cd.friendlyName = L"Drive " + instanceId.substr(instanceId.size() - 1);
    cd.interfaces = {{GUID_DEVINTERFACE_CDROM, L""}};
    return sim::machine().devices().Plug(cd, parent);
}

class FindCdromTest : public SimTest {};

TEST_F(FindCdromTest, FindsTheModemsCdromAndLogsEveryCandidate) {
    EnableLog();
    PlugCdrom(L"IDE\\CDROMPLAIN_DRIVE\\4&1");
    auto modem = sim::SimModem::Plug();
    std::wstring path = L"unchanged";
    ASSERT_TRUE(FindDeviceCdrom(path));
    EXPECT_EQ(path, modem->CdromInterfacePath());
    auto lines = DebugLines(L"SymblicName");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind(L"1.1 SymblicName:\t \\\\?\\ide#cdromplain_drive#4&1#", 0), 0u);
    EXPECT_EQ(DebugLines(L"2.2 InstanceID:\t " + modem->CdromInstanceId() + L" \r\n").size(), 1u);
}

TEST_F(FindCdromTest, NeedsTheVendorFieldNotJustTheUsbIds) {
    // Holds a supported VID/PID pair but no "_QOB&".
    PlugCdrom(L"USB\\VID_3A5C&PID_FFF1&MI_03\\6&0");
    std::wstring path = L"unchanged";
    EXPECT_FALSE(FindDeviceCdrom(path));
    EXPECT_EQ(path, L"unchanged");
}

TEST_F(FindCdromTest, FirstMatchInEnumerationOrderWins) {
    PlugCdrom(L"USBSTOR\\CDROM&VEN_QOB&PROD_ONE\\1");
    PlugCdrom(L"USBSTOR\\CDROM&VEN_QOB&PROD_TWO\\2");
    std::wstring path;
    ASSERT_TRUE(FindDeviceCdrom(path));
    EXPECT_NE(path.find(L"prod_one"), std::wstring::npos);
}

TEST_F(FindCdromTest, DisabledOrUnpluggedCdromIsNotFound) {
    auto modem = sim::SimModem::Plug();
    modem->Unplug();
    std::wstring path;
    EXPECT_FALSE(FindDeviceCdrom(path));
}

TEST_F(FindCdromTest, ModemInterfaceAppearsAfterTheSwitch) {
    auto modem = sim::SimModem::Plug();
    std::wstring path;
    EXPECT_FALSE(FindDeviceModem(path));
    modem->EnterModemMode();
    ASSERT_TRUE(FindDeviceModem(path));
    EXPECT_EQ(path,
              sim::DeviceTree::MakeSymbolicLink(modem->ModemInstanceId(), GUID_DEVINTERFACE_MODEM));
}

class EnumerationTest : public SimTest {};

TEST_F(EnumerationTest, InterfaceRecordsCarryNamesAndProperties) {
    auto modem = sim::SimModem::Plug();
    CDeviceInfoSet set;
    std::vector<DeviceRecord> records(1);  // appended to
    EXPECT_EQ(set.EnumInterfaces(GUID_DEVINTERFACE_CDROM, records), 2);
    const DeviceRecord& r = records[1];
    EXPECT_EQ(r.SymbolicName, modem->CdromInterfacePath());
    EXPECT_EQ(r.InstanceId, modem->CdromInstanceId());
    EXPECT_EQ(r.FriendlyName, L"QOB CDMA_MODEM USB Device");
    EXPECT_EQ(r.Description, L"CD-ROM Drive");
    EXPECT_EQ(r.PhysicalObjectName, L"\\Device\\00000071");
    EXPECT_TRUE(r.Extra1.empty() && r.Extra2.empty());
    sim::DeviceNode node;
    ASSERT_TRUE(sim::machine().devices().FindInstance(modem->CdromInstanceId(), &node));
    EXPECT_EQ(r.DevInst, node.devInst);
}

TEST_F(EnumerationTest, LongPropertyReadsAsEmpty) {
    sim::DeviceNodeSpec cd;
    cd.instanceId = L"USBSTOR\\CDROM&VEN_QOB&PROD_LONG\\1";
    cd.classGuid = GUID_DEVCLASS_CDROM;
    cd.friendlyName = std::wstring(256, L'x');
    cd.description = std::wstring(255, L'y');
    cd.interfaces = {{GUID_DEVINTERFACE_CDROM, L""}};
    sim::machine().devices().Plug(cd);
    CDeviceInfoSet set;
    std::vector<DeviceRecord> records;
    ASSERT_EQ(set.EnumInterfaces(GUID_DEVINTERFACE_CDROM, records), 1);
    EXPECT_EQ(records[0].FriendlyName, L"");
    EXPECT_EQ(records[0].Description, std::wstring(255, L'y'));
}

TEST_F(EnumerationTest, ChipCdromsPresentOrEverSeen) {
    std::vector<std::wstring> ids = {L"stale"};
    EXPECT_FALSE(FindUsbChipCdroms(ids, true));
    EXPECT_TRUE(ids.empty());

    sim::ModemOptions options;
    options.variant = sim::ModemVariant::UsbChip;
    auto modem = sim::SimModem::Plug(options);
    ASSERT_TRUE(FindUsbChipCdroms(ids, true));
    EXPECT_EQ(ids, std::vector<std::wstring>{modem->ChipCdromInstanceId()});

    modem->Unplug();
    EXPECT_FALSE(FindUsbChipCdroms(ids, true));
    ASSERT_TRUE(FindUsbChipCdroms(ids, false));  // every instance the system has seen
    EXPECT_EQ(ids, std::vector<std::wstring>{modem->ChipCdromInstanceId()});
}

}  // namespace
