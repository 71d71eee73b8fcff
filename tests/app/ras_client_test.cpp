#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "app/cdma_time.h"
#include "app/ras_client.h"
#include "common/sim_fixture.h"
#include "machine/modem.h"
#include "machine/ras.h"
#include "machine/serial.h"

namespace {

const wchar_t kEntry[] = L"QOB Wireless Terminal";
const wchar_t kModem[] = L"CDMA USB Modem";

class RecordingListener : public IRasListener {
public:
    void OnRasEvent(RASCONNSTATE state, int error) override {
        std::lock_guard<std::mutex> lk(mu_);
        events_.push_back({state, error});
    }
    std::vector<std::pair<RASCONNSTATE, int>> Events() {
        std::lock_guard<std::mutex> lk(mu_);
        return events_;
    }

private:
    std::mutex mu_;
    std::vector<std::pair<RASCONNSTATE, int>> events_;
};

class RasClientTest : public SimTest {
protected:
    // Machine changes that must come before the first client.
    virtual void PrepareMachine() {}
    void SetUp() override {
        SimTest::SetUp();
        PrepareMachine();
        sim::ModemOptions o;
        o.startInModemMode = true;
        modem_ = sim::SimModem::Plug(o);
        client_ = CreateRasClient(&CCDMATime::Instance());
        client_->SetListener(&listener_);
    }
    void TearDown() override {
        client_->HangUp();
        ReleaseRasClient(client_);
    }

    DialParams Params() {
        DialParams p;
        p.DeviceName = kModem;
        p.EntryName = kEntry;
        p.PhoneNumber = L"#777";
        p.UserName = L"vimo";
        p.Password = L"secret pw";
        return p;
    }
    sim::Ras& Ras() { return sim::Ras::Get(); }
    RASENTRYW Entry() {
        auto rec = Ras().Entry(kEntry);
        EXPECT_TRUE(rec.has_value());
        return rec ? rec->entry : RASENTRYW{};
    }

    std::shared_ptr<sim::SimModem> modem_;
    IRASClient* client_ = nullptr;
    RecordingListener listener_;
};

// ---- State texts and addresses ----

TEST(RasStateTextTest, EveryRowAndTheStatesWithoutOne) {
    EXPECT_EQ(GetRasStateText(RASCS_OpenPort), L"正在打开端口...");
    EXPECT_EQ(GetRasStateText(RASCS_Authenticated), L"认证成功");
    EXPECT_EQ(GetRasStateText(RASCS_WaitForCallback), L"等待远程接入服务器呼入...");
    EXPECT_EQ(GetRasStateText(RASCS_InvokeEapUI), L"启动拨号用户界面");
    EXPECT_EQ(GetRasStateText(RASCS_Connected), L"网络已经连接");
    EXPECT_EQ(GetRasStateText(RASCS_Disconnected), L"网络已经断开");
    EXPECT_EQ(GetRasStateText(RASCS_WaitForModemReset), L"");
    EXPECT_EQ(GetRasStateText(static_cast<RASCONNSTATE>(0x3000)), L"");
}

TEST(ParseIpAddressTest, FourPartsWithTheLowByteOfEach) {
    RASIPADDR a{9, 9, 9, 9};
    ASSERT_TRUE(ParseIpAddress(L"10.0.0.1", a));
    EXPECT_EQ((std::vector<int>{a.a, a.b, a.c, a.d}), (std::vector<int>{10, 0, 0, 1}));
    ASSERT_TRUE(ParseIpAddress(L"256.1.1.1", a));
    EXPECT_EQ((std::vector<int>{a.a, a.b, a.c, a.d}), (std::vector<int>{0, 1, 1, 1}));
    // Blanks before a number, text after it, empty and non-numeric parts.
    ASSERT_TRUE(ParseIpAddress(L" 7.8x..z", a));
    EXPECT_EQ((std::vector<int>{a.a, a.b, a.c, a.d}), (std::vector<int>{7, 8, 0, 0}));

    RASIPADDR b{1, 2, 3, 4};
    EXPECT_FALSE(ParseIpAddress(L"10.0.1", b));
    EXPECT_TRUE(ParseIpAddress(L"10.0.0.1.", b));  // a trailing '.' adds no part
    EXPECT_FALSE(ParseIpAddress(L"10.0.1.", b));
    EXPECT_FALSE(ParseIpAddress(L"1.2.3.4.5", b));
    EXPECT_FALSE(ParseIpAddress(L"", b));
    EXPECT_EQ((std::vector<int>{b.a, b.b, b.c, b.d}), (std::vector<int>{10, 0, 0, 1}));
}

// ---- The phone-book entry per Windows version ----

TEST_F(RasClientTest, EntryOnXpWithBothAuthenticationsAndAllAddresses) {
    client_->SetAuthentication(true, true);
    DialParams p = Params();
    p.DnsMain = L"10.0.0.1";
    p.DnsMinor = L"10.0.0.2";
    p.IpAddress = L"192.168.1.300";
    ASSERT_TRUE(client_->Dial(p));
    RASENTRYW e = Entry();
    EXPECT_EQ(Ras().Entry(kEntry)->size, sizeof(RASENTRYW));
    EXPECT_EQ(e.dwfOptions, 0x10u | 0x08000000u | 0x00040000u | 0x05200000u | 0x4u | 0x2u);
    EXPECT_EQ(e.dwType, RASET_Phone);
    EXPECT_EQ(e.dwEncryptionType, ET_Optional);
    EXPECT_EQ(e.dwfOptions2, RASEO2_DisableNbtOverIP);
    EXPECT_EQ(e.dwfNetProtocols, RASNP_Ip);
    EXPECT_EQ(e.dwFramingProtocol, RASFP_Ppp);
    EXPECT_STREQ(e.szDeviceType, L"modem");
    EXPECT_STREQ(e.szDeviceName, kModem);
    EXPECT_STREQ(e.szLocalPhoneNumber, L"#777");
    EXPECT_EQ((std::vector<int>{e.ipaddrDns.a, e.ipaddrDns.d}), (std::vector<int>{10, 1}));
    EXPECT_EQ((std::vector<int>{e.ipaddrDnsAlt.a, e.ipaddrDnsAlt.d}), (std::vector<int>{10, 2}));
    EXPECT_EQ((std::vector<int>{e.ipaddr.a, e.ipaddr.b, e.ipaddr.c, e.ipaddr.d}),
              (std::vector<int>{192, 168, 1, 44}));
}

TEST_F(RasClientTest, EntryWithoutAuthenticationAndDnsOnly) {
    client_->SetAuthentication(false, true);
    client_->SetAuthentication(false, false);  // replaces the earlier bits
    DialParams p = Params();
    p.DnsMinor = L"8.8.4.4";
    p.IpAddress = L"";
    ASSERT_TRUE(client_->Dial(p));
    RASENTRYW e = Entry();
    EXPECT_EQ(e.dwfOptions, 0x10u | 0x05200000u | RASEO_SpecificNameServers);
    EXPECT_EQ(e.dwEncryptionType, 0u);
    EXPECT_EQ((std::vector<int>{e.ipaddrDns.a, e.ipaddrDnsAlt.a, e.ipaddrDnsAlt.d}),
              (std::vector<int>{0, 8, 4}));
    EXPECT_EQ(e.ipaddr.a, 0);
}

class RasClientWin2000Test : public RasClientTest {
    sim::Config MachineConfig() override { return sim::Config::Windows2000(); }
};

TEST_F(RasClientWin2000Test, EntryHasTheOlderSizeAndNoXpOptions) {
    client_->SetAuthentication(true, false);
    ASSERT_TRUE(client_->Dial(Params()));
    EXPECT_EQ(Ras().Entry(kEntry)->size, RASENTRYW_V500_SIZE);
    RASENTRYW e = Entry();
    EXPECT_EQ(e.dwfOptions, 0x10u | RASEO_RequireCHAP | 0x05200000u);
    EXPECT_EQ(e.dwType, RASET_Phone);
    EXPECT_EQ(e.dwEncryptionType, ET_Optional);
    EXPECT_EQ(e.dwfOptions2, 0u);
}

class RasClientWin98Test : public RasClientTest {
    sim::Config MachineConfig() override { return sim::Config::Windows98(); }
};

TEST_F(RasClientWin98Test, EntryHasOnlyTheDefaultGatewayOption) {
    client_->SetAuthentication(true, true);
    ASSERT_TRUE(client_->Dial(Params()));
    RASENTRYW e = Entry();
    EXPECT_EQ(e.dwfOptions, RASEO_RemoteDefaultGateway);
    EXPECT_EQ(e.dwType, 0u);
    EXPECT_EQ(e.dwEncryptionType, 0u);
    EXPECT_EQ(e.dwfOptions2, 0u);
}

class RasClientVistaTest : public RasClientTest {
    sim::Config MachineConfig() override { return sim::Config::WindowsVista(); }
};

TEST_F(RasClientVistaTest, EntryKeepsTheXpFields) {
    ASSERT_TRUE(client_->Dial(Params()));
    RASENTRYW e = Entry();
    EXPECT_EQ(e.dwfOptions, 0x10u | 0x05200000u);
    EXPECT_EQ(e.dwfOptions2, RASEO2_DisableNbtOverIP);
}

// ---- Dialling ----

TEST_F(RasClientTest, DialRelaysEveryStateAndTheTimeStartsAtTheConnection) {
    ASSERT_TRUE(client_->Dial(Params()));
    auto dials = Ras().Dials();
    ASSERT_EQ(dials.size(), 1u);
    EXPECT_EQ(dials[0].entryName, kEntry);
    EXPECT_EQ(dials[0].phoneNumber, L"#777");
    EXPECT_EQ(dials[0].userName, L"vimo");
    EXPECT_EQ(dials[0].password, L"secret pw");
    Sleep(5000);
    auto events = listener_.Events();
    ASSERT_EQ(events.size(), 8u);
    EXPECT_EQ(events.front().first, RASCS_OpenPort);
    EXPECT_EQ(events.back().first, RASCS_Connected);
    int error = -1;
    EXPECT_EQ(client_->GetConnectState(&error), RASCS_Connected);
    EXPECT_EQ(error, 0);
    ConnectionInfo info;
    ASSERT_TRUE(client_->GetStatistics(&info));
    // The machine starts at 2008-06-01 12:00:00; the connection came up at 1.3 s.
    EXPECT_EQ(
        (std::vector<int>{info.year, info.month, info.day, info.hour, info.minute, info.second}),
        (std::vector<int>{2008, 6, 1, 12, 0, 1}));
    EXPECT_EQ(info.duration, 3);
}

TEST_F(RasClientTest, NotificationsThatComeBeforeRasDialWReturnsAreNotLost) {
    sim::DialScript s = sim::DialScript::Connect();
    s.steps = {{RASCS_OpenPort, 0}, {RASCS_PortOpened, 0}};
    s.endDelayMs = 0;
    s.returnDelayMs = 500;  // every notification is due while RasDialW has not returned
    Ras().ScriptNextDial(s);
    ASSERT_TRUE(client_->Dial(Params()));
    Sleep(100);
    auto events = listener_.Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[2].first, RASCS_Connected);
}

TEST_F(RasClientTest, FailedDialGivesTheRasErrorAsLastError) {
    Ras().ScriptNextDial(sim::DialScript::FailSync(ERROR_PORT_NOT_AVAILABLE, false));
    SetLastError(0);
    EXPECT_FALSE(client_->Dial(Params()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PORT_NOT_AVAILABLE));
    EXPECT_TRUE(client_->HangUp());
    EXPECT_EQ(Ras().HangUpCalls(), 0);

    // An entry that cannot be written: the entry name is too long for RAS.
    DialParams p = Params();
    p.EntryName = std::wstring(300, L'x');
    EXPECT_FALSE(client_->Dial(p));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(RasClientTest, SynchronousFailureThatReturnsAHandleIsHungUp) {
    Ras().ScriptNextDial(sim::DialScript::FailSync(ERROR_HARDWARE_FAILURE, true));
    EXPECT_FALSE(client_->Dial(Params()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HARDWARE_FAILURE));
    EXPECT_EQ(Ras().OpenConnections(), 1);
    // The handle is held: a second dial is refused until it is hung up.
    EXPECT_FALSE(client_->Dial(Params()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PORT_ALREADY_OPEN));
    EXPECT_TRUE(client_->HangUp());
    EXPECT_EQ(Ras().HangUpCount(), 1);
    EXPECT_EQ(Ras().OpenConnections(), 0);
    EXPECT_TRUE(client_->Dial(Params()));
}

// ---- Hang-up and state ----

TEST_F(RasClientTest, HangUpWaitsUntilRasForgetsTheConnection) {
    Ras().SetHangUpTime(1250);
    ASSERT_TRUE(client_->Dial(Params()));
    Sleep(5000);
    DWORD start = GetTickCount();
    EXPECT_TRUE(client_->HangUp());
    EXPECT_EQ(GetTickCount() - start, 1300u);  // polled every 100 ms
    EXPECT_EQ(Ras().OpenConnections(), 0);
    EXPECT_EQ(Ras().HangUpCount(), 1);
    EXPECT_EQ(Ras().HangUpCalls(), 14);  // once, then once per round on this version
    EXPECT_TRUE(client_->HangUp());      // nothing held: nothing done
    EXPECT_EQ(Ras().HangUpCalls(), 14);
    int error = 77;
    EXPECT_EQ(client_->GetConnectState(&error), RASCS_Disconnected);
    EXPECT_EQ(error, 77);  // an unknown handle leaves the error alone
}

TEST_F(RasClientWin98Test, HangUpAsksOnlyOnceOnThe9xLine) {
    ASSERT_TRUE(client_->Dial(Params()));
    Sleep(5000);
    EXPECT_TRUE(client_->HangUp());
    EXPECT_EQ(Ras().HangUpCalls(), 1);
}

TEST_F(RasClientTest, StateQueryGivesTheStatusErrorAndTheDrop) {
    ASSERT_TRUE(client_->Dial(Params()));
    Sleep(5000);
    Ras().DropLine(ERROR_PORT_DISCONNECTED);
    int error = 0;
    EXPECT_EQ(client_->GetConnectState(&error), RASCS_Disconnected);
    EXPECT_EQ(error, ERROR_PORT_DISCONNECTED);
    // A query that fails gives its own code as the error.
    M().faults().Inject(sim::RasOp::Status, ERROR_INVALID_SIZE, 1);
    error = 0;
    EXPECT_EQ(client_->GetConnectState(&error), RASCS_Disconnected);
    EXPECT_EQ(error, ERROR_INVALID_SIZE);
    error = 5;
    EXPECT_EQ(client_->GetConnectState(&error), RASCS_Disconnected);
    EXPECT_EQ(error, ERROR_PORT_DISCONNECTED);
    EXPECT_EQ(client_->GetErrorText(ERROR_NO_ANSWER), L"There was no answer.");
    EXPECT_EQ(client_->GetErrorText(1), L"");
}

TEST_F(RasClientTest, ReleasingAClientThatHoldsALineHangsItUp) {
    IRASClient* other = CreateRasClient(&CCDMATime::Instance());
    ASSERT_TRUE(other->Dial(Params()));
    Sleep(200);
    ReleaseRasClient(other);
    EXPECT_EQ(Ras().OpenConnections(), 0);
    Sleep(5000);  // no notification reaches the released client
    ReleaseRasClient(nullptr);
}

TEST_F(RasClientTest, InitStringGoesToThePortBeforeTheDial) {
    client_->SetPortName(L"COM3");
    client_->SetInitString("AT+CRM=1\r");
    ASSERT_TRUE(client_->Dial(Params()));
    EXPECT_EQ(sim::machine().serialPorts().Port(L"COM3")->Written(), "AT+CRM=1\r");
    EXPECT_FALSE(sim::machine().serialPorts().Port(L"COM3")->IsOpen());
    client_->HangUp();
    // A port that is not there does not stop the dial.
    client_->SetPortName(L"\\\\.\\COM9");
    EXPECT_TRUE(client_->Dial(Params()));
}

// ---- Statistics ----

TEST_F(RasClientTest, TotalsFollowTheCountersAndKeepGrowingPastTheirWrap) {
    Ras().SetTrafficRates(100000, 1000000);
    ASSERT_TRUE(client_->Dial(Params()));
    Sleep(1300);  // connected at 1300 ms
    Sleep(2000);
    ConnectionInfo info;
    ASSERT_TRUE(client_->GetStatistics(&info));
    EXPECT_EQ(info.bytesSent, 200000u);
    EXPECT_EQ(info.bytesReceived, 2000000u);
    ULONGLONG sent = 0, received = 0;
    ASSERT_TRUE(client_->GetByteCounts(&sent, &received));
    EXPECT_EQ(received, 2000000u);

    // Close below the wrap, then past it: the totals go on.
    Ras().SetCounters(0xFFF00000ull, 0xFFF00000ull);
    ASSERT_TRUE(client_->GetStatistics(&info));
    EXPECT_EQ(info.bytesReceived, 0xFFF00000ull);
    Sleep(3000);
    ASSERT_TRUE(client_->GetStatistics(&info));
    EXPECT_EQ(info.bytesReceived, 0xFFF00000ull + 3000000u);
    EXPECT_GT(info.bytesReceived, 0x100000000ull);
    EXPECT_EQ(info.bytesSent, 0xFFF00000ull + 300000u);
    ASSERT_TRUE(client_->GetByteCounts(&sent, &received));
    EXPECT_LT(received, 0x100000000ull);  // the raw counter wrapped
    Sleep(1000);
    ASSERT_TRUE(client_->GetStatistics(&info));
    EXPECT_EQ(info.bytesReceived, 0xFFF00000ull + 4000000u);

    // A counter that starts again from a low value adds what it counted since.
    Ras().SetCounters(0, 500);
    ASSERT_TRUE(client_->GetStatistics(&info));
    EXPECT_EQ(info.bytesReceived, 0xFFF00000ull + 4000000u + 500u);
}

class RasClientNoStatisticsTest : public RasClientTest {
    void PrepareMachine() override { sim::Ras::Get().SetStatisticsEntryPoint(false); }
};

TEST_F(RasClientNoStatisticsTest, WithoutTheEntryPointStatisticsFailButDiallingWorks) {
    ASSERT_TRUE(client_->Dial(Params()));
    Sleep(5000);
    EXPECT_EQ(listener_.Events().back().first, RASCS_Connected);
    ConnectionInfo info;
    info.duration = 1234;
    EXPECT_FALSE(client_->GetStatistics(&info));
    EXPECT_EQ(info.duration, 1234);
    ULONGLONG sent = 5, received = 6;
    EXPECT_FALSE(client_->GetByteCounts(&sent, &received));
    EXPECT_EQ(sent, 5u);
}

TEST_F(RasClientTest, FailedStatisticsQueryStillCopiesTheOldValues) {
    ConnectionInfo info;
    info.duration = 99;
    EXPECT_FALSE(client_->GetStatistics(&info));  // no connection
    ConnectionInfo fresh;
    EXPECT_EQ(info.duration, 0);
    EXPECT_EQ(info.bytesSent, fresh.bytesSent);
}

}  // namespace
