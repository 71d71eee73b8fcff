// The service over the modem's diagnostics port: the simulated command device sits behind the COM
// port that the device status object finds, and the link follows the modem out and back in.
#include <filesystem>
#include <string>
#include <vector>

#include "app/serial_port.h"
#include "dm/dm_test.h"
#include "dm/engine_fixture.h"
#include "machine/modem.h"
#include "machine/serial.h"

namespace dmtest {
namespace {

class WideLog : public ILogService {
public:
    void WriteWide(const wchar_t* text) override { wide.push_back(text); }
    void WriteNarrow(const char*) override {}
    void WriteHex(const void*, DWORD) override {}
    void SetLevel(std::uint8_t) override {}
    std::uint8_t GetLevel() override { return 0; }
    void SetEnabled(int) override {}
    void SetOptions(DWORD) override {}
    std::vector<std::wstring> wide;
};

class SerialLinkTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        const std::filesystem::path drivers = std::filesystem::path(MODEM_SOURCE_DIR) / "assets";
        ASSERT_GT(M().CopyFromHost(drivers / "Driver", L"C:\\Program Files\\Driver\\"), 0);
        modem = sim::SimModem::Plug({.startInModemMode = true});
        port = FindDMPortName();
        peer->AttachToPort(port);
    }
    void StartOnPort(std::unique_ptr<CLog> log = nullptr) {
        service = std::make_unique<CDMService>(port, std::move(log), Config());
    }
    std::shared_ptr<sim::SimModem> modem;
    std::wstring port;
};
INSTANTIATE_TEST_SUITE_P(ByteOrder, SerialLinkTest, ::testing::Values(false, true), OrderName);

TEST_P(SerialLinkTest, CommandsRunOverTheModemsDiagnosticsPort) {
    EXPECT_EQ(port, L"COM4");  // port A: the modem's first serial interface
    StartOnPort();
    EXPECT_EQ(Run(1000).fields, (QueryFields{1, 1}));
    EXPECT_EQ(Run(1000).fields, (QueryFields{2, 2}));
    auto model = M().serialPorts().Port(L"COM4");
    EXPECT_TRUE(model->IsOpen());
    EXPECT_EQ(model->State().BaudRate, 115200u);
    service.reset();
    EXPECT_FALSE(model->IsOpen());
}

TEST_P(SerialLinkTest, UnplugTakesTheLinkDownAndANewServiceOnTheReplugWorks) {
    WideLog log;
    StartOnPort(std::make_unique<CLog>(nullptr, &log));
    peer->PushScript(Query::Key(), dmpeer::Script{.drop = true});
    Outcome waiting;
    MachineThread caller([&] { waiting = Run(30000); });
    ASSERT_TRUE(peer->WaitForRequests(1, 5000));
    const DWORD start = GetTickCount();
    modem->Unplug();
    caller.Join();
    EXPECT_EQ(waiting.code, kCmdCancelled);  // status 1, long before its time-out
    EXPECT_LT(GetTickCount() - start, 30000u);
    EXPECT_EQ(Engine().LinkState().linkReady.load(), 0);
    EXPECT_EQ(Run(1000).code, kCmdCancelled);  // refused at once
    service.reset();
    // Closing failed soft: the port's failure went to the log.
    EXPECT_EQ(log.wide,
              std::vector<std::wstring>{CSerialException(ERROR_GEN_FAILURE).GetErrorMessage()});

    modem->Replug();
    modem->EnterModemMode();
    StartOnPort();
    EXPECT_EQ(Run(1000).code, kCmdSucceeded);
}

}  // namespace
}  // namespace dmtest
