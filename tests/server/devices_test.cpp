// The machine's devices shared by programs running as host processes of one machine server: the
// control client plugs the modem, programs see it, switch its mode, hear its arrivals and share
// its serial ports.
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <devguid.h>
#include "machine/devices.h"
#include "machine/machine.h"
#include "machine/modem.h"
#include "server_fixture.h"

namespace {

using Plug = sim::control::ServerClient::ModemPlug;

// The instance IDs and interface paths of a modem plugged with these options.
sim::SimModem Ids(const Plug& plug = Plug{}) {
    sim::ModemOptions o;
    o.productId = plug.productId;
    o.variant = plug.usbChip ? sim::ModemVariant::UsbChip : sim::ModemVariant::Standard;
    return sim::SimModem(o);
}

std::string Utf8(const std::wstring& s) {
    return sim::ToUtf8(s);
}

class DevicesTest : public ServerTest {
protected:
    std::string Devices(const std::wstring& prefix, const std::string& tag) {
        auto p = Start(L"devices \"" + prefix + L"\"", tag);
        EXPECT_EQ(server_->WaitForExit(p.pid), 0u);
        return Output(tag);
    }
};

struct PlugCase {
    const char* what;
    Plug plug;
    std::vector<std::wstring (*)(const sim::SimModem&)> present;  // in the machine's order
};

class PlugTest : public DevicesTest, public ::testing::WithParamInterface<PlugCase> {};

TEST_P(PlugTest, AProgramSeesTheModemTheControlClientPluggedAndNoMoreOnceItIsUnplugged) {
    const PlugCase& c = GetParam();
    auto modem = server_->PlugModem(c.plug);
    ASSERT_TRUE(modem.has_value());
    sim::SimModem ids = Ids(c.plug);
    std::string expected;
    for (auto id : c.present) expected += "present " + Utf8(id(ids)) + "\n";
    EXPECT_EQ(Devices(L"USB", "plugged"), expected) << c.what;

    ASSERT_TRUE(server_->UnplugModem(*modem));
    EXPECT_EQ(Devices(L"USB", "unplugged"), "") << c.what;
    for (const auto& node : server_->DeviceNodes(L"USB")) EXPECT_FALSE(node.present);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, PlugTest,
    ::testing::Values(
        PlugCase{"disk mode",
                 Plug{},
                 {[](const sim::SimModem& m) { return m.UsbInstanceId(); },
                  [](const sim::SimModem& m) { return m.CdromInstanceId(); }}},
        PlugCase{"modem mode, product FFFE",
                 Plug{0xFFFE, false, true},
                 {[](const sim::SimModem& m) { return m.UsbInstanceId(); },
                  [](const sim::SimModem& m) { return m.ModemInstanceId(); },
                  [](const sim::SimModem& m) { return m.PortInstanceId(0); },
                  [](const sim::SimModem& m) { return m.PortInstanceId(1); }}},
        PlugCase{"USB chip",
                 Plug{0xFFF1, true, false},
                 {[](const sim::SimModem& m) { return m.UsbInstanceId(); },
                  [](const sim::SimModem& m) { return m.ModemInstanceId(); },
                  [](const sim::SimModem& m) { return m.PortInstanceId(0); },
                  [](const sim::SimModem& m) { return m.PortInstanceId(1); },
                  [](const sim::SimModem& m) { return m.ChipUsbInstanceId(); },
                  [](const sim::SimModem& m) { return m.ChipCdromInstanceId(); }}}));

TEST_F(DevicesTest, AModeSwitchByOneProcessReachesTheWindowsOfAnotherAndTheControlClient) {
    auto modem = server_->PlugModem();
    ASSERT_TRUE(modem.has_value());
    std::uint32_t ready = server_->CreateEvent(L"watch ready", true, false);
    auto watcher = Start(L"watch \"watch ready\" 10000", "watch");
    ASSERT_EQ(server_->Wait(ready), 0u);

    auto switcher = Start(L"switch", "switch");
    EXPECT_EQ(server_->WaitForExit(switcher.pid), 0u);
    // The device answered with a good status and left the data as it was.
    EXPECT_EQ(Output("switch"), "sent status 0 data 5a\n");
    EXPECT_EQ(server_->WaitForExit(watcher.pid), 0u);

    // The device left 300 ms after the command and came back as the modem 2500 ms after it.
    sim::SimModem ids = Ids();
    auto link = [](const std::wstring& instanceId, const GUID& guid) {
        return Utf8(sim::DeviceTree::MakeSymbolicLink(instanceId, guid));
    };
    EXPECT_EQ(Output("watch"),
              "removal " + Utf8(ids.CdromInterfacePath()) + " at 300\n" +
                  "arrival " + link(ids.ModemInstanceId(), GUID_DEVINTERFACE_MODEM) +
                  " at 2500\n" + "arrival " +
                  link(ids.PortInstanceId(0), GUID_DEVINTERFACE_COMPORT) + " at 2500\n" +
                  "arrival " + link(ids.PortInstanceId(1), GUID_DEVINTERFACE_COMPORT) +
                  " at 2500\n");

    auto state = server_->GetModemState(*modem);
    ASSERT_TRUE(state.has_value());
    EXPECT_TRUE(state->modemMode);
    EXPECT_EQ(state->switches, 1u);
    EXPECT_EQ(state->passThroughs, 1u);
    auto nodes = server_->DeviceNodes(ids.ModemInstanceId());
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_TRUE(nodes[0].present);
    EXPECT_EQ(nodes[0].portName, L"COM3");
    EXPECT_EQ(Devices(L"USBSTOR", "after"), "");
}

TEST_F(DevicesTest, ADeviceDisabledByOneProcessIsDisabledForTheOthers) {
    ASSERT_TRUE(server_->PlugModem(Plug{0xFFF1, true, false}).has_value());
    sim::SimModem ids = Ids(Plug{0xFFF1, true, false});
    auto disabler = Start(L"disable USBSTOR", "disable");
    EXPECT_EQ(server_->WaitForExit(disabler.pid), 0u);
    EXPECT_EQ(Output("disable"), "disabled " + Utf8(ids.ChipCdromInstanceId()) + "\n");
    auto nodes = server_->DeviceNodes(ids.ChipCdromInstanceId());
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_FALSE(nodes[0].enabled);
    // Another process finds it present with the problem a disabled device has (22).
    EXPECT_EQ(Devices(L"USBSTOR", "other"),
              "present " + Utf8(ids.ChipCdromInstanceId()) + " problem 22\n");
}

// How the process holding a port goes: the server terminates it, or its host process is killed.
struct PortHolderEnd {
    const char* what;
    bool terminate;
};

class PortTest : public DevicesTest, public ::testing::WithParamInterface<PortHolderEnd> {};

TEST_P(PortTest, APortOpenInOneProcessIsBusyForTheOthersUntilItsProcessIsKilled) {
    ASSERT_TRUE(server_->PlugModem(Plug{0xFFF1, false, true}).has_value());
    std::uint32_t ready = server_->CreateEvent(L"holder ready", true, false);
    auto holder = Start(L"port COM3 \"holder ready\"", "holder");
    ASSERT_EQ(server_->Wait(ready), 0u);
    EXPECT_EQ(Output("holder"), "open\n");

    auto refused = Start(L"port COM3 \"refused ready\"", "refused");
    auto refusedCode = server_->WaitForExit(refused.pid, 60000);
    if (!refusedCode) server_->Terminate(refused.pid, 0);  // it got the port
    EXPECT_EQ(refusedCode, 5u) << Output("refused");
    EXPECT_EQ(Output("refused"), "error 5\n");  // ERROR_ACCESS_DENIED
    // The modem's other ports are free.
    std::uint32_t otherReady = server_->CreateEvent(L"other ready", true, false);
    auto other = Start(L"port COM4 \"other ready\"", "other");
    ASSERT_EQ(server_->Wait(otherReady), 0u);

    if (GetParam().terminate) {
        ASSERT_TRUE(server_->Terminate(holder.pid, 1));
    } else {
        ASSERT_EQ(kill(holder.hostPid, SIGKILL), 0);
        ASSERT_TRUE(server_->WaitForExit(holder.pid).has_value());
    }
    std::uint32_t nextReady = server_->CreateEvent(L"next ready", true, false);
    auto next = Start(L"port COM3 \"next ready\"", "next");
    ASSERT_EQ(server_->Wait(nextReady), 0u);
    EXPECT_EQ(Output("next"), "open\n");
    EXPECT_TRUE(server_->Terminate(next.pid, 0));
    EXPECT_TRUE(server_->Terminate(other.pid, 0));
}

INSTANTIATE_TEST_SUITE_P(Devices, PortTest,
                         ::testing::Values(PortHolderEnd{"terminated", true},
                                           PortHolderEnd{"killed", false}));

TEST_F(DevicesTest, TheInstallerAsItsOwnProcessSwitchesTheModemAndInstallsItsFunctionsDrivers) {
    // The installer's folders as the machine's disk holds them.
    const std::string root = folder_ + "/m/C/Program Files/VARNI";
    std::filesystem::create_directories(root);
    for (const char* assets : {"Driver", "Localize"})
        std::filesystem::copy(std::string(MODEM_SOURCE_DIR) + "/assets/" + assets,
                              root + "/" + assets, std::filesystem::copy_options::recursive);
    auto modem = server_->PlugModem();
    ASSERT_TRUE(modem.has_value());
    const std::wstring image = L"C:\\Program Files\\VARNI\\Bin\\Installer.exe";
    auto installer =
        server_->StartProcess(image, L"\"" + image + L"\" /i", OutputPath("installer"));
    ASSERT_TRUE(installer.has_value());
    // What it does after the drivers (the service, the boxes) is not the devices' part: it is
    // given ten minutes of machine time and then ended.
    if (!server_->WaitForExit(installer->pid, 600000).has_value()) {
        EXPECT_TRUE(server_->Terminate(installer->pid, 1));
    }

    auto state = server_->GetModemState(*modem);
    ASSERT_TRUE(state.has_value());
    EXPECT_TRUE(state->modemMode);
    EXPECT_EQ(state->switches, 1u);
    // It found the three functions the modem came back with and updated each one's driver.
    const std::string output = Output("installer");
    for (const char* function : {"MI_00", "MI_01", "MI_02"})
        EXPECT_NE(output.find("USB\\VID_3A5C&PID_FFF1&" + std::string(function) + "的驱动完成"),
                  std::string::npos)
            << output;
    sim::SimModem ids = Ids();
    EXPECT_EQ(Devices(L"USB\\VID_3A5C&PID_FFF1&MI_00", "after"),
              "present " + Utf8(ids.ModemInstanceId()) + "\n");
}

}  // namespace
