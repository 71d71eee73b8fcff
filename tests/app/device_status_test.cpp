// The device status and hardware objects: the modem and its ports found through the driver .inf
// files, presence, health, restart, the mode switch, the NEC flag and the USB chip library.
#include <atomic>
#include <cwchar>
#include <filesystem>
#include <string>

#include "app/device_status.h"
#include "common/sim_fixture.h"
#include "tovrick/tovrick.h"
#include <cfgmgr32.h>
#include <devguid.h>
#include <winreg.h>
#include "machine/devices.h"
#include "machine/modem.h"
#include "machine/registry.h"

namespace {

namespace fs = std::filesystem;

// The driver folders of assets/, copied to where the program looks for them.
void InstallDriverFolders() {
    fs::path source = fs::path(MODEM_SOURCE_DIR) / "assets";
    ASSERT_GT(sim::machine().CopyFromHost(source / "Driver", L"C:\\Program Files\\Driver\\"), 0);
}

class DeviceStatusTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        InstallDriverFolders();
    }
    std::shared_ptr<sim::SimModem> PlugModemMode(WORD productId = 0xFFF1) {
        sim::ModemOptions o;
        o.productId = productId;
        o.startInModemMode = true;
        return sim::SimModem::Plug(o);
    }
    // A present serial port node, named by its port.
    void PlugPort(const std::wstring& instanceId, const std::wstring& hardwareId,
                  const std::wstring& portName) {
        sim::DeviceNodeSpec p;
        p.instanceId = instanceId;
        p.hardwareIds = {hardwareId};
        p.classGuid = GUID_DEVCLASS_PORTS;
        p.className = L"Ports";
        p.deviceKey = {{L"PortName", portName}};
        M().devices().Plug(p);
    }
    // A present modem node that is not the simulated modem.
    void PlugOtherModem(const std::wstring& instanceId, std::vector<std::wstring> hardwareIds) {
        sim::DeviceNodeSpec m;
        m.instanceId = instanceId;
        m.hardwareIds = std::move(hardwareIds);
        m.classGuid = GUID_DEVCLASS_MODEM;
        m.className = L"Modem";
        m.friendlyName = L"Other Modem";
        m.driverKey = {{L"AttachedTo", L"COM1"}};
        M().devices().Plug(m);
    }
    std::wstring WriteInf(const std::string& models) {
        std::wstring path = L"C:\\test\\test.inf";
        M().WriteFile(path,
                      "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Modem\r\n"
                      "ClassGUID={4D36E96D-E325-11CE-BFC1-08002BE10318}\r\n"
                      "[Manufacturer]\r\n%M%=Models\r\n[Models]\r\n" +
                          models + "[Strings]\r\nM=\"Maker\"\r\n");
        return path;
    }
};

TEST_F(DeviceStatusTest, ModemFoundThroughTheInfIdsWithNameAndPort) {
    auto modem = PlugModemMode();
    CHardware hardware;
    EXPECT_TRUE(hardware.IsModemPresent());
    DeviceItem item = hardware.GetModemInfo();
    EXPECT_EQ(item.FriendlyName, L"CDMA USB Modem");
    EXPECT_EQ(item.Port, L"COM3");
    EXPECT_EQ(item.HardwareId, L"USB\\VID_3A5C&PID_FFF1&REV_0000&MI_00");
    EXPECT_EQ(item.InstanceId, modem->ModemInstanceId());
    EXPECT_EQ(hardware.GetModemPort(), L"COM3");

    CDeviceStatus& status = CDeviceStatus::Instance();
    EXPECT_EQ(status.GetModemName(), L"CDMA USB Modem");
    EXPECT_EQ(status.GetModemPort(), L"COM3");
}

TEST_F(DeviceStatusTest, NoModemThatTheInfNames) {
    // A modem of another maker is not taken; neither is the modem in disk mode.
    PlugOtherModem(L"USB\\VID_1111&PID_2222&MI_00\\1&2&3&0000", {L"USB\\VID_1111&PID_2222&MI_00"});
    auto modem = sim::SimModem::Plug();
    CHardware hardware;
    EXPECT_FALSE(hardware.IsModemPresent());
    EXPECT_EQ(hardware.GetModemInfo().FriendlyName, L"");
    EXPECT_EQ(CDeviceStatus::Instance().GetModemName(), L"");
    EXPECT_EQ(CDeviceStatus::Instance().GetModemPort(), L"");
}

TEST_F(DeviceStatusTest, UnreadableHardwareIdsMatchNothing) {
    // The instance ID names no .inf ID; the first hardware ID does, but the whole list is too
    // long for the buffer, so it cannot be read and does not count.
    std::wstring filler(300, L'X');
    PlugOtherModem(L"ROOT\\MODEM\\0001", {L"USB\\VID_3A5C&PID_FFF1&MI_00", filler});
    CHardware hardware;
    EXPECT_FALSE(hardware.IsModemPresent());
    PlugOtherModem(L"ROOT\\MODEM\\0001", {L"USB\\VID_3A5C&PID_FFF1&MI_00"});
    EXPECT_TRUE(hardware.IsModemPresent());
    EXPECT_EQ(hardware.GetModemInfo().FriendlyName, L"Other Modem");
    EXPECT_EQ(hardware.GetModemPort(), L"COM1");
}

TEST_F(DeviceStatusTest, DriverKeyTextsWithoutTerminatorAndLongValues) {
    sim::DeviceNodeSpec m;
    m.instanceId = L"USB\\VID_3A5C&PID_FFF1&MI_00\\9&9&9&0000";
    m.hardwareIds = {L"USB\\VID_3A5C&PID_FFF1&MI_00"};
    m.classGuid = GUID_DEVCLASS_MODEM;
    m.className = L"Modem";
    m.friendlyName = L"Raw Modem";
    m.driverKey = {{L"InfPath", L"oem3.inf"}};
    DWORD node = M().devices().Plug(m);
    wchar_t index[16];
    std::swprintf(index, 16, L"\\%04u", node);
    std::wstring key = L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\" +
                       sim::GuidToString(GUID_DEVCLASS_MODEM) + index;
    auto bytesOf = [](const std::wstring& text) {
        const BYTE* b = reinterpret_cast<const BYTE*>(text.data());
        return std::vector<BYTE>(b, b + text.size() * sizeof(wchar_t));  // no terminator
    };
    // A value too long for the buffer comes first and is passed over.
    M().registry().SetValue(key, L"AAA", {REG_SZ, bytesOf(std::wstring(2000, L'x'))});
    M().registry().SetValue(key, L"AttachedTo", {REG_SZ, bytesOf(L"COM7")});
    CHardware hardware;
    ASSERT_TRUE(hardware.IsModemPresent());
    EXPECT_EQ(hardware.GetModemPort(), L"COM7");
}

TEST_F(DeviceStatusTest, PresenceFollowsPlugAndUnplug) {
    CHardware hardware;
    EXPECT_FALSE(hardware.IsModemPresent());
    auto modem = sim::SimModem::Plug();
    EXPECT_FALSE(hardware.IsModemPresent());  // disk mode: no modem yet
    modem->EnterModemMode();
    EXPECT_TRUE(hardware.IsModemPresent());
    modem->Unplug();
    EXPECT_FALSE(hardware.IsModemPresent());
    EXPECT_EQ(hardware.GetModemInfo().FriendlyName, L"");
    modem->Replug();
    modem->EnterModemMode();
    EXPECT_TRUE(hardware.IsModemPresent());
}

TEST_F(DeviceStatusTest, ModemNameIsKeptUntilThePresenceTest) {
    auto modem = PlugModemMode();
    CHardware hardware;
    EXPECT_EQ(hardware.GetModemInfo().FriendlyName, L"CDMA USB Modem");
    modem->Unplug();
    EXPECT_EQ(hardware.GetModemInfo().FriendlyName, L"CDMA USB Modem");  // not looked up again
    EXPECT_FALSE(hardware.IsModemPresent());
    EXPECT_EQ(hardware.GetModemInfo().FriendlyName, L"");
}

TEST_F(DeviceStatusTest, PortsAAndBByInterfaceNumber) {
    auto modem = PlugModemMode();
    CHardware hardware;
    DeviceItem a = hardware.GetPortAInfo();
    EXPECT_EQ(a.FriendlyName, L"COM4");
    EXPECT_EQ(a.Port, L"");
    EXPECT_EQ(a.InstanceId, modem->PortInstanceId(0));
    EXPECT_EQ(hardware.GetPortBInfo().FriendlyName, L"COM5");
}

TEST_F(DeviceStatusTest, DevicesWithFff6TakeInterfacesTwoAndThree) {
    PlugPort(L"USB\\VID_3A5C&PID_FFF6&MI_01\\7&1&0&0001", L"USB\\VID_3A5C&PID_FFF6&MI_01", L"COM7");
    PlugPort(L"USB\\VID_3A5C&PID_FFF6&MI_02\\7&1&0&0002", L"USB\\VID_3A5C&PID_FFF6&MI_02", L"COM8");
    PlugPort(L"USB\\VID_3A5C&PID_FFF6&MI_03\\7&1&0&0003", L"USB\\VID_3A5C&PID_FFF6&MI_03", L"COM9");
    CHardware hardware;
    EXPECT_EQ(hardware.GetPortAInfo().FriendlyName, L"COM8");
    EXPECT_EQ(hardware.GetPortBInfo().FriendlyName, L"COM9");
}

TEST_F(DeviceStatusTest, PortsThatLeaveAreForgotten) {
    auto modem = PlugModemMode();
    CHardware hardware;
    EXPECT_EQ(hardware.GetPortBInfo().FriendlyName, L"COM5");
    modem->Unplug();
    EXPECT_FALSE(hardware.RestartPortB());
    EXPECT_EQ(hardware.GetPortBInfo().FriendlyName, L"");
}

TEST_F(DeviceStatusTest, InfMatchingLongerAndShorterIds) {
    CInfModelList list(
        WriteInf("Desc = Inst, USB\\VID_3A5C&PID_FFF1&MI_00, \"USB\\Vid_3A5C&Pid_FFF7\"\r\n"
                 "Other = Inst2, USB\\VID_9999&PID_0001,\r\n"));  // a trailing comma: an empty ID
    EXPECT_EQ(list.ClassName(), L"modem");
    EXPECT_TRUE(list.ClassGuid() == GUID_DEVCLASS_MODEM);
    // A longer form (a revision, an instance suffix) contains the .inf's ID.
    EXPECT_TRUE(list.Contains(L"USB\\VID_3A5C&PID_FFF1&MI_00\\6&1A2B3C4D&0&0000"));
    EXPECT_TRUE(list.Contains(L"usb\\vid_3a5c&pid_fff7&rev_0001"));
    // A shorter form that an .inf ID contains.
    EXPECT_TRUE(list.Contains(L"USB\\VID_3A5C&PID_FFF1"));
    EXPECT_FALSE(list.Contains(L"USB\\VID_3A5C&PID_FFFE&MI_00"));
    // The empty ID matches nothing, and nothing matches everything.
    EXPECT_FALSE(list.Contains(L"PCI\\VEN_8086&DEV_1234"));
    EXPECT_FALSE(list.Contains(L""));
    ASSERT_EQ(list.Manufacturers().size(), 1u);
    EXPECT_EQ(list.Manufacturers()[0].Name, L"maker");
    EXPECT_EQ(list.Manufacturers()[0].Models[1].HardwareIds.size(), 1u);
    EXPECT_FALSE(CInfModelList(L"C:\\missing.inf").Contains(L"USB\\VID_3A5C&PID_FFF1"));
}

TEST_F(DeviceStatusTest, InfModelsAndTheirFiles) {
    CInfModelList list(GetModemInfPath());
    ASSERT_EQ(list.Manufacturers().size(), 1u);
    const InfManufacturer& maker = list.Manufacturers()[0];
    EXPECT_EQ(maker.Name, L"varni");
    EXPECT_EQ(maker.ModelsSection, L"varnimodem");
    ASSERT_EQ(maker.Models.size(), 7u);
    EXPECT_EQ(maker.Models[0].Description, L"CDMA USB Modem");
    EXPECT_EQ(maker.Models[0].InstallSection, L"Modem.Install");
    EXPECT_EQ(maker.Models[6].HardwareIds[0], L"usb\\vid_3a5c&pid_fff1&mi_00");
    std::vector<std::wstring> files = {L"ct_varni_u.sys", L"ct_varni_u_mdm.dll"};
    EXPECT_EQ(maker.Models[0].Files, files);
    CInfModelList ports(GetSerialInfPath());
    EXPECT_EQ(ports.ClassName(), L"ports");
    EXPECT_TRUE(ports.Contains(L"USB\\VID_3A5C&PID_FFF6&MI_03"));
    EXPECT_FALSE(ports.Contains(L"USB\\VID_3A5C&PID_FFF1&MI_00"));
}

class DeviceStatus64Test : public DeviceStatusTest {
protected:
    sim::Config MachineConfig() override {
        sim::Config c = sim::Config::WindowsXP();
        c.is64Bit = true;
        return c;
    }
};

TEST_F(DeviceStatus64Test, ModelsSectionFallsBackToNtAmd64) {
    EXPECT_EQ(GetDriverFolder(), L"C:\\Program Files\\Driver\\WinXP-AMD64\\");
    // The 64-bit .inf has only the decorated models section.
    CInfModelList list(GetModemInfPath());
    ASSERT_EQ(list.Manufacturers().size(), 1u);
    EXPECT_EQ(list.Manufacturers()[0].Models.size(), 7u);
    auto modem = PlugModemMode(0xFFFE);
    CHardware hardware;
    EXPECT_TRUE(hardware.IsModemPresent());
    EXPECT_EQ(hardware.GetPortAInfo().FriendlyName, L"COM4");
}

struct FolderCase {
    sim::Config config;
    bool wide;
    const wchar_t* folder;
};
void PrintTo(const FolderCase& c, std::ostream* os) {
    std::string folder = sim::ToUtf8(c.folder);
    for (char& ch : folder)
        if (ch == '\\') ch = '/';
    *os << folder;
}

class DriverFolderTest : public SimTest, public ::testing::WithParamInterface<FolderCase> {
protected:
    sim::Config MachineConfig() override {
        sim::Config c = GetParam().config;
        c.is64Bit = GetParam().wide;
        c.programFolder = L"C:\\Program Files\\Vendor\\App\\";
        return c;
    }
};

TEST_P(DriverFolderTest, ByVersionAndBitness) {
    EXPECT_EQ(GetDriverFolder(), GetParam().folder);
    EXPECT_EQ(GetSerialInfPath(), std::wstring(GetParam().folder) + L"CT_VARNI_U_SER.inf");
}

INSTANTIATE_TEST_SUITE_P(
    Versions, DriverFolderTest,
    ::testing::Values(
        FolderCase{sim::Config::WindowsXP(), false, L"C:\\Program Files\\Vendor\\Driver\\WinXP\\"},
        FolderCase{sim::Config::WindowsXP(), true,
                   L"C:\\Program Files\\Vendor\\Driver\\WinXP-AMD64\\"},
        FolderCase{sim::Config::Windows7(), true,
                   L"C:\\Program Files\\Vendor\\Driver\\Vista\\AMD64\\"},
        FolderCase{sim::Config::WindowsVista(), false,
                   L"C:\\Program Files\\Vendor\\Driver\\Vista\\X86\\"},
        FolderCase{sim::Config::Windows2000(), false,
                   L"C:\\Program Files\\Vendor\\Driver\\Win2K\\"},
        FolderCase{sim::Config::Windows98(), false, L"C:\\Program Files\\Vendor\\Driver\\Win2K\\"}),
    [](const ::testing::TestParamInfo<FolderCase>& info) {
        const FolderCase& c = info.param;
        return "v" + std::to_string(c.config.major) + "_" + std::to_string(c.config.minor) + "_p" +
               std::to_string(c.config.platformId) + (c.wide ? "_x64" : "_x86");
    });

TEST_F(DeviceStatusTest, DevicesStartedUntilOneHasAProblem) {
    auto modem = PlugModemMode();
    CHardware hardware;
    int problem = -1;
    EXPECT_TRUE(hardware.AreDevicesStarted(&problem));
    EXPECT_EQ(problem, -1);
    M().devices().SetProblem(modem->PortInstanceId(1), CM_PROB_FAILED_START);
    EXPECT_FALSE(hardware.AreDevicesStarted(&problem));
    EXPECT_EQ(problem, static_cast<int>(CM_PROB_FAILED_START));
    M().devices().SetProblem(modem->PortInstanceId(1), 0);
    M().devices().SetProblem(modem->ModemInstanceId(), CM_PROB_FAILED_ADD);
    EXPECT_FALSE(hardware.AreDevicesStarted(&problem));
    EXPECT_EQ(problem, static_cast<int>(CM_PROB_FAILED_ADD));
}

TEST_F(DeviceStatusTest, RestartDisablesAndEnablesTheModem) {
    EnableLog();
    auto modem = PlugModemMode();
    CHardware hardware;
    DWORD start = GetTickCount();
    EXPECT_TRUE(hardware.RestartModem());
    EXPECT_GE(GetTickCount() - start, 500u);
    // Enabling a disabled device logs its global enable.
    EXPECT_EQ(DebugLines(modem->ModemInstanceId() + L",SetupDiCallClassInstaller Enable OK").size(),
              1u);
    sim::DeviceNode node;
    ASSERT_TRUE(M().devices().FindInstance(modem->ModemInstanceId(), &node));
    EXPECT_TRUE(node.Started());
    EXPECT_TRUE(hardware.RestartPortA());
    modem->Unplug();
    EXPECT_FALSE(hardware.RestartModem());  // no modem: nothing to restart
}

TEST_F(DeviceStatusTest, SetDeviceStateByInstanceId) {
    auto modem = PlugModemMode();
    CHardware hardware;
    EXPECT_TRUE(hardware.SetDeviceState(modem->PortInstanceId(0), false));
    sim::DeviceNode node;
    ASSERT_TRUE(M().devices().FindInstance(modem->PortInstanceId(0), &node));
    EXPECT_EQ(node.EffectiveProblem(), static_cast<ULONG>(CM_PROB_DISABLED));
    EXPECT_TRUE(hardware.SetDeviceState(modem->PortInstanceId(0), true));
    EXPECT_FALSE(hardware.SetDeviceState(L"USB\\NO_SUCH_DEVICE\\1", true));
}

TEST_F(DeviceStatusTest, SwitchToModemModeWaitsForTheModem) {
    auto modem = sim::SimModem::Plug();
    DWORD start = GetTickCount();
    EXPECT_TRUE(CDeviceStatus::Instance().SwitchToModemMode());
    EXPECT_TRUE(modem->InModemMode());
    EXPECT_GE(GetTickCount() - start, modem->options().arriveDelayMs);
    ASSERT_EQ(modem->Requests().size(), 1u);
    EXPECT_EQ(modem->Requests()[0].cdb[0], 0x9F);
    CHardware hardware;
    EXPECT_TRUE(hardware.IsModemPresent());
}

TEST_F(DeviceStatusTest, SwitchGivesUpAfterThirtySeconds) {
    auto modem = sim::SimModem::Plug();
    modem->RejectSwitch(true);
    CHardware hardware;
    DWORD start = GetTickCount();
    EXPECT_FALSE(hardware.SwitchToModemMode());
    DWORD waited = GetTickCount() - start;
    EXPECT_GT(waited, 30000u);
    EXPECT_LE(waited, 31000u);
    modem->Unplug();
    EXPECT_FALSE(hardware.SwitchToModemMode());  // no CD-ROM: false at once
}

TEST_F(DeviceStatusTest, InstallNecDriverFlag) {
    CHardware hardware;
    hardware.SetInstallNECDriverFlag();
    EXPECT_EQ(M().registry().GetDword(L"HKLM\\SOFTWARE\\VARNI", L"InstallNECDriver"), 1u);
    hardware.ClearInstallNECDriverFlag();
    EXPECT_FALSE(M().registry().GetDword(L"HKLM\\SOFTWARE\\VARNI", L"InstallNECDriver"));
    hardware.ClearInstallNECDriverFlag();  // nothing to clear: harmless
}

TEST_F(DeviceStatusTest, UsbChipLibrary) {
    sim::ModemOptions o;
    o.variant = sim::ModemVariant::UsbChip;
    auto modem = sim::SimModem::Plug(o);
    CHardware hardware;
    EXPECT_FALSE(hardware.DetectNECDevice());  // the library is not installed
    tovrick::Install(M().config().programFolder);
    EXPECT_TRUE(hardware.DetectNECDevice());
    EXPECT_TRUE(hardware.DisableNECDevice());
    sim::DeviceNode chip;
    ASSERT_TRUE(M().devices().FindInstance(modem->ChipCdromInstanceId(), &chip));
    EXPECT_EQ(chip.EffectiveProblem(), static_cast<ULONG>(CM_PROB_DISABLED));
    EXPECT_TRUE(hardware.EnableNECDevice());
    ASSERT_TRUE(M().devices().FindInstance(modem->ChipCdromInstanceId(), &chip));
    EXPECT_TRUE(chip.Started());
    modem->Unplug();
    EXPECT_FALSE(hardware.DetectNECDevice());
}

TEST_F(DeviceStatusTest, DialThreadReadsWhileTheUserInterfaceRefreshes) {
    auto modem = PlugModemMode();
    CHardware hardware;
    std::atomic<bool> torn{false};
    struct Ctx {
        CHardware* hw;
        std::atomic<bool>* torn;
    } ctx{&hardware, &torn};
    HANDLE reader = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* c = static_cast<Ctx*>(p);
            for (int i = 0; i < 200; ++i) {
                std::wstring name = c->hw->GetModemInfo().FriendlyName;
                std::wstring port = c->hw->GetModemPort();
                if ((name != L"" && name != L"CDMA USB Modem") || (port != L"" && port != L"COM3"))
                    *c->torn = true;
            }
            return 0;
        },
        &ctx, 0, nullptr);
    for (int i = 0; i < 100; ++i) {
        if (i % 2)
            modem->Unplug();
        else
            modem->Replug();
        hardware.IsModemPresent();
    }
    WaitForSingleObject(reader, INFINITE);
    CloseHandle(reader);
    EXPECT_FALSE(torn);
}

}  // namespace
