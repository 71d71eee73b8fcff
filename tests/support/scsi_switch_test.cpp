#include <gtest/gtest.h>

#include <cstring>

#include "common/sim_fixture.h"
#include <winbase.h>
#include "machine/modem.h"
#include "support/scsi_switch.h"

namespace {

struct VersionCase {
    sim::Config config;
    int mode;
    BYTE expected[3];
};

sim::Config Version(DWORD major, DWORD minor, DWORD platform = 2) {
    sim::Config c;
    c.major = major;
    c.minor = minor;
    c.platformId = platform;
    return c;
}

class SwitchCommandTest : public SimTest {};

TEST_F(SwitchCommandTest, CommandBlockFollowsTheWindowsVersion) {
    const VersionCase cases[] = {
        {sim::Config::WindowsXP(), 0, {0x9F, 0x01, 0x00}},
        {sim::Config::Windows2000(), 0, {0x9F, 0x02, 0x02}},
        {sim::Config::WindowsVista(), 0, {0x9F, 0x03, 0x00}},
        {sim::Config::Windows7(), 0, {0x9F, 0x03, 0x00}},
        {Version(5, 2), 0, {0x9F, 0x00, 0x00}},
        {sim::Config::Windows98(), 0, {0x9F, 0x00, 0x00}},
        {sim::Config::Windows2000(), 1, {0x9E, 0x02, 0x00}},
        {sim::Config::WindowsXP(), 1, {0x9E, 0x01, 0x00}},
    };
    for (const auto& c : cases) {
        sim::Machine::Reset(c.config);
        BYTE cdb[16] = {};
        int length = 0;
        ASSERT_TRUE(BuildSwitchCdb(c.mode, cdb, length));
        EXPECT_EQ(length, 3);
        EXPECT_EQ(cdb[0], c.expected[0]) << "version " << c.config.major << "." << c.config.minor;
        EXPECT_EQ(cdb[1], c.expected[1]) << "version " << c.config.major << "." << c.config.minor;
        EXPECT_EQ(cdb[2], c.expected[2]) << "version " << c.config.major << "." << c.config.minor;
        for (int i = 3; i < 16; ++i) EXPECT_EQ(cdb[i], 0);
    }
}

TEST_F(SwitchCommandTest, UnknownModeIsRefusedAndTouchesNothing) {
    BYTE cdb[6];
    std::memset(cdb, 0xAA, sizeof cdb);
    int length = 42;
    EXPECT_FALSE(BuildSwitchCdb(2, cdb, length));
    EXPECT_FALSE(BuildSwitchCdb(-1, cdb, length));
    EXPECT_EQ(length, 42);
    for (BYTE b : cdb) EXPECT_EQ(b, 0xAA);
}

class SendCommandTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        modem = sim::SimModem::Plug();
    }
    std::shared_ptr<sim::SimModem> modem;
};

TEST_F(SendCommandTest, DeviceReceivesTheRequestLayout) {
    BYTE cdb[16] = {0x9F, 0x01, 0x00};
    ASSERT_TRUE(SendScsiCommand(modem->CdromInterfacePath(), cdb, 3));
    auto requests = modem->Requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& r = requests[0];
    EXPECT_EQ(r.inSize, 44u);
    EXPECT_EQ(r.outSize, 272u);  // data offset 80 + transfer length 192
    ASSERT_EQ(r.header.size(), 44u);
    SCSI_PASS_THROUGH spt;
    std::memcpy(&spt, r.header.data(), sizeof spt);
    EXPECT_EQ(spt.Length, 44);
    EXPECT_EQ(spt.PathId, 0);
    EXPECT_EQ(spt.TargetId, 1);
    EXPECT_EQ(spt.Lun, 0);
    EXPECT_EQ(spt.CdbLength, 6);
    EXPECT_EQ(spt.SenseInfoLength, 32);
    EXPECT_EQ(spt.DataIn, SCSI_IOCTL_DATA_IN);
    EXPECT_EQ(spt.DataTransferLength, 192u);
    EXPECT_EQ(spt.TimeOutValue, 2u);
    EXPECT_EQ(spt.DataBufferOffset, 80u);
    EXPECT_EQ(spt.SenseInfoOffset, 48u);
    EXPECT_EQ(r.cdb, (std::vector<BYTE>{0x9F, 0x01, 0x00, 0x00, 0x00, 0x00}));
    for (int i = 3; i < 16; ++i) EXPECT_EQ(spt.Cdb[i], 0) << i;
}

TEST_F(SendCommandTest, SwitchCommandBringsTheModemUp) {
    BYTE cdb[16] = {};
    int length = 0;
    ASSERT_TRUE(BuildSwitchCdb(0, cdb, length));
    ASSERT_TRUE(SendScsiCommand(modem->CdromInterfacePath(), cdb, length));
    EXPECT_FALSE(modem->InModemMode());
    Sleep(modem->options().arriveDelayMs);
    EXPECT_TRUE(modem->InModemMode());
    EXPECT_EQ(modem->SwitchCount(), 1);
}

TEST_F(SendCommandTest, OpenFailureIsReportedWithItsCode) {
    EnableLog();
    M().faults().Inject(sim::DeviceOp::Open, ERROR_ACCESS_DENIED, -1, modem->CdromInterfacePath());
    BYTE cdb[6] = {0x9F};
    EXPECT_FALSE(SendScsiCommand(modem->CdromInterfacePath(), cdb, 1));
    EXPECT_TRUE(modem->Requests().empty());
    auto lines = DebugLines(L"Error CreateFile: ");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(L", Error Code: 5\n"), std::wstring::npos);
    EXPECT_FALSE(SendScsiCommand(L"\\\\?\\no#such#device", cdb, 1));
}

TEST_F(SendCommandTest, HexTextIsSentAsSixBytes) {
    EXPECT_TRUE(SendCdbHex(L"9F0100", L""));
    EXPECT_TRUE(SendCdbHex(L"12", modem->CdromInterfacePath()));
    EXPECT_TRUE(SendCdbHex(L"aBcDeF010203", L""));
    auto r = modem->Requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].cdb, (std::vector<BYTE>{0x9F, 0x01, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(r[1].cdb, (std::vector<BYTE>{0x12, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(r[2].cdb, (std::vector<BYTE>{0xAB, 0xCD, 0xEF, 0x01, 0x02, 0x03}));
}

TEST_F(SendCommandTest, EachHexPairIsReadOnItsOwn) {
    // A pair not starting with a digit stays 0; a pair whose second character is no digit gives
    // the first digit's value; the next pair's digits never run into this one.
    EXPECT_TRUE(SendCdbHex(L"G19Z0A", L""));
    auto r = modem->Requests();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].cdb, (std::vector<BYTE>{0x00, 0x09, 0x0A, 0x00, 0x00, 0x00}));
}

TEST_F(SendCommandTest, BadHexTextIsRefusedWithoutADeviceSearch) {
    EnableLog();
    EXPECT_FALSE(SendCdbHex(L"9F010", L""));           // odd length
    EXPECT_FALSE(SendCdbHex(L"9F0100000000FF", L""));  // 14 digits: more than six bytes
    EXPECT_TRUE(modem->Requests().empty());
    EXPECT_TRUE(DebugLines(L"SymblicName").empty());
    EXPECT_TRUE(DebugLines(L"CreateFile").empty());
}

TEST_F(SendCommandTest, NoDeviceNoCommand) {
    modem->Unplug();
    EXPECT_FALSE(SendCdbHex(L"9F0100", L""));
    EXPECT_TRUE(modem->Requests().empty());
}

}  // namespace
