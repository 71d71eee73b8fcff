// The simulated modem: its nodes in disk and modem mode, the SCSI mode switch on the virtual
// clock, its variants and its test controls.
#include <cstring>
#include <vector>

#include "common/sim_fixture.h"
#include <cfgmgr32.h>
#include <winbase.h>
#include <ntddscsi.h>
#include <setupapi.h>
#include "machine/devices.h"
#include "machine/modem.h"

namespace {

class Modem : public SimTest {
protected:
    sim::DeviceTree& Tree() { return M().devices(); }
    bool Present(const std::wstring& instanceId) {
        sim::DeviceNode n;
        return Tree().FindInstance(instanceId, &n) && n.present;
    }
    DWORD DevInst(const std::wstring& instanceId) {
        sim::DeviceNode n;
        return Tree().FindInstance(instanceId, &n) ? n.devInst : 0;
    }
    HANDLE OpenCdrom(const std::shared_ptr<sim::SimModem>& modem) {
        return CreateFileW(modem->CdromInterfacePath().c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    // Sends a pass-through request with the given command byte; the header can be spoiled.
    BOOL Send(HANDLE h, BYTE opcode, USHORT length = sizeof(SCSI_PASS_THROUGH)) {
        std::vector<BYTE> buf(sizeof(SCSI_PASS_THROUGH) + 32, 0);
        SCSI_PASS_THROUGH spt{};
        spt.Length = length;
        spt.CdbLength = 6;
        spt.DataIn = SCSI_IOCTL_DATA_UNSPECIFIED;
        spt.TimeOutValue = 2;
        spt.Cdb[0] = opcode;
        std::memcpy(buf.data(), &spt, sizeof spt);
        DWORD returned = 0;
        return DeviceIoControl(h, IOCTL_SCSI_PASS_THROUGH, buf.data(), sizeof spt, buf.data(),
                               static_cast<DWORD>(buf.size()), &returned, nullptr);
    }
};

TEST_F(Modem, PlugsInDiskModeWithACdromUnderTheUsbDevice) {
    auto modem = sim::SimModem::Plug();
    EXPECT_FALSE(modem->InModemMode());
    EXPECT_TRUE(Present(modem->UsbInstanceId()));
    EXPECT_TRUE(Present(modem->CdromInstanceId()));
    EXPECT_FALSE(Present(modem->ModemInstanceId()));
    DEVINST parent = 0;
    EXPECT_EQ(CM_Get_Parent(&parent, DevInst(modem->CdromInstanceId()), 0), CR_SUCCESS);
    EXPECT_EQ(parent, DevInst(modem->UsbInstanceId()));
    EXPECT_EQ(Tree().ActiveInterfaces(GUID_DEVINTERFACE_CDROM),
              std::vector<std::wstring>{modem->CdromInterfacePath()});
    EXPECT_TRUE(Tree().ActiveInterfaces(GUID_DEVINTERFACE_MODEM).empty());
}

TEST_F(Modem, PassThroughWithABadHeaderIsRefused) {
    auto modem = sim::SimModem::Plug();
    HANDLE h = OpenCdrom(modem);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(Send(h, 0x9F, sizeof(SCSI_PASS_THROUGH) - 4));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    BYTE tiny[8] = {};
    DWORD returned = 0;
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_SCSI_PASS_THROUGH, tiny, sizeof tiny, tiny, sizeof tiny,
                                 &returned, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(DeviceIoControl(h, 0x12345, tiny, sizeof tiny, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    Sleep(5000);
    EXPECT_EQ(modem->SwitchCount(), 0);
    EXPECT_TRUE(Present(modem->CdromInstanceId()));
    CloseHandle(h);
}

TEST_F(Modem, SwitchCommandReenumeratesInModemModeAfterItsDelays) {
    auto modem = sim::SimModem::Plug();
    HANDLE h = OpenCdrom(modem);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    Sleep(1000);
    ASSERT_TRUE(Send(h, 0x9F));
    ASSERT_EQ(modem->Requests().size(), 1u);
    EXPECT_EQ(modem->Requests()[0].cdb, (std::vector<BYTE>{0x9F, 0, 0, 0, 0, 0}));
    EXPECT_EQ(modem->SwitchCount(), 1);

    Sleep(299);
    EXPECT_TRUE(Present(modem->CdromInstanceId()));
    Sleep(1);  // 300 ms after the command the disk-mode device leaves
    EXPECT_FALSE(Present(modem->CdromInstanceId()));
    EXPECT_FALSE(Present(modem->UsbInstanceId()));
    EXPECT_TRUE(Tree().ActiveInterfaces(GUID_DEVINTERFACE_CDROM).empty());
    // A handle to the departed device no longer reaches it.
    EXPECT_FALSE(Send(h, 0x9F));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_EQ(modem->Requests().size(), 1u);
    CloseHandle(h);

    Sleep(2199);
    EXPECT_FALSE(Present(modem->ModemInstanceId()));
    Sleep(1);  // 2500 ms after the command it is back as a composite device
    EXPECT_EQ(GetTickCount(), 3500u);
    EXPECT_TRUE(modem->InModemMode());
    EXPECT_TRUE(Present(modem->UsbInstanceId()));
    EXPECT_TRUE(Present(modem->ModemInstanceId()));
    EXPECT_TRUE(Present(modem->PortInstanceId(0)));
    EXPECT_TRUE(Present(modem->PortInstanceId(1)));
    EXPECT_FALSE(Present(modem->CdromInstanceId()));
    EXPECT_EQ(Tree().ActiveInterfaces(GUID_DEVINTERFACE_MODEM).size(), 1u);
    EXPECT_EQ(Tree().ActiveInterfaces(GUID_DEVINTERFACE_COMPORT).size(), 2u);
    DEVINST parent = 0;
    EXPECT_EQ(CM_Get_Parent(&parent, DevInst(modem->ModemInstanceId()), 0), CR_SUCCESS);
    EXPECT_EQ(parent, DevInst(modem->UsbInstanceId()));
}

TEST_F(Modem, RejectedOrInterruptedSwitchChangesNothing) {
    auto modem = sim::SimModem::Plug();
    modem->RejectSwitch(true);
    HANDLE h = OpenCdrom(modem);
    EXPECT_TRUE(Send(h, 0x9F));  // the device answers but does not switch
    Sleep(10000);
    EXPECT_EQ(modem->SwitchCount(), 0);
    EXPECT_FALSE(modem->InModemMode());
    EXPECT_TRUE(Present(modem->CdromInstanceId()));
    EXPECT_FALSE(Present(modem->ModemInstanceId()));
    EXPECT_EQ(modem->Requests().size(), 1u);
    EXPECT_TRUE(Send(h, 0x12));  // another command: no switch either
    modem->RejectSwitch(false);
    EXPECT_TRUE(Send(h, 0x9F));
    CloseHandle(h);
    Sleep(100);
    modem->Unplug();  // pulled out while switching: nothing comes back
    Sleep(10000);
    EXPECT_FALSE(Present(modem->UsbInstanceId()));
    EXPECT_FALSE(Present(modem->ModemInstanceId()));
    EXPECT_FALSE(modem->InModemMode());
}

TEST_F(Modem, ChipVariantComesUpInModemModeBesideTheChipsCdrom) {
    sim::ModemOptions options;
    options.variant = sim::ModemVariant::UsbChip;
    auto modem = sim::SimModem::Plug(options);
    EXPECT_TRUE(modem->InModemMode());
    EXPECT_TRUE(Present(modem->ModemInstanceId()));
    EXPECT_TRUE(Present(modem->ChipCdromInstanceId()));
    EXPECT_FALSE(Present(modem->CdromInstanceId()));
    modem->Unplug();
    EXPECT_FALSE(Present(modem->ModemInstanceId()));
    EXPECT_FALSE(Present(modem->ChipCdromInstanceId()));
}

TEST_F(Modem, InjectedOpenFailureFailsCdromOpensAsOftenAsAsked) {
    auto modem = sim::SimModem::Plug();
    M().faults().Inject(sim::DeviceOp::Open, ERROR_ACCESS_DENIED, 2, modem->CdromInterfacePath());
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(OpenCdrom(modem), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    HANDLE h = OpenCdrom(modem);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);

    // Only the CD-ROM fails: the modem's own interfaces still open.
    M().faults().Inject(sim::DeviceOp::Open, ERROR_ACCESS_DENIED, -1, modem->CdromInterfacePath());
    modem->EnterModemMode();
    auto ports = Tree().ActiveInterfaces(GUID_DEVINTERFACE_COMPORT);
    ASSERT_EQ(ports.size(), 2u);
    h = CreateFileW(ports[0].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_EQ(CreateFileW(L"\\\\?\\usb#nothing#here", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                          nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Modem, EjectIsVetoedAsToldThenSucceeds) {
    auto modem = sim::SimModem::Plug();
    modem->VetoEject(1, PNP_VetoOutstandingOpen);
    DWORD usb = DevInst(modem->UsbInstanceId());
    PNP_VETO_TYPE veto = PNP_VetoTypeUnknown;
    WCHAR name[MAX_PATH] = {};
    EXPECT_EQ(CM_Request_Device_EjectW(usb, &veto, name, MAX_PATH, 0), CR_REMOVE_VETOED);
    EXPECT_EQ(veto, PNP_VetoOutstandingOpen);
    EXPECT_EQ(std::wstring(name), modem->CdromInstanceId());
    EXPECT_TRUE(Present(modem->CdromInstanceId()));
    WCHAR shortName[8];
    EXPECT_EQ(CM_Request_Device_EjectW(usb, &veto, shortName, 8, 0), CR_SUCCESS);
    EXPECT_FALSE(Present(modem->UsbInstanceId()));
    EXPECT_FALSE(Present(modem->CdromInstanceId()));
    EXPECT_EQ(modem->EjectRequests(), 2);

    modem->Replug();
    EXPECT_TRUE(Present(modem->CdromInstanceId()));
    modem->VetoEject(-1, PNP_VetoDevice, L"Busy");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(CM_Request_Device_EjectW(usb, &veto, shortName, 3, 0), CR_REMOVE_VETOED);
        EXPECT_EQ(std::wstring(shortName), L"Bu");  // cut to the buffer, terminated
    }
    EXPECT_TRUE(Present(modem->UsbInstanceId()));
}

}  // namespace
