// The machine server's devices, without sockets: the modem's re-enumeration on the server's
// clock, the tree sent to every program after each change, serial ports held per client, and
// device requests that are malformed; and the clock around a program's end.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include <cfgmgr32.h>
#include <ntddscsi.h>
#include <winbase.h>
#include "machine/device_wire.h"
#include "machine/server/core.h"

namespace {

using sim::wire::DevicesOp;
using sim::wire::Kind;
using sim::wire::Writer;

// Starts nothing but says it did, with host ids from 700 on.
struct NoSpawner : sim::server::Spawner {
    int next = 700;
    int Spawn(const sim::server::SpawnSpec&) override { return next++; }
    void Kill(int) override {}
};

class ServerCoreTest : public ::testing::Test {
protected:
    sim::server::ClientId Client(sim::wire::Role role) {
        auto c = core_.Connect();
        Writer w;
        w.U16(static_cast<std::uint16_t>(role)).U32(100 + c).U32(0).Text(L"App.exe");
        EXPECT_EQ(Request(c, Kind::Hello, w), 0u);
        return c;
    }
    // Sends a request; the status of its answer (its body in body_), nullopt when none came.
    std::optional<std::uint32_t> Request(sim::server::ClientId c, Kind kind,
                                         const std::string& payload) {
        sim::wire::Frame f;
        f.kind = kind;
        f.id = ++nextId_;
        f.payload = payload;
        std::string bytes = sim::wire::Encode(f);
        core_.Receive(c, bytes.data(), bytes.size());
        return Collect(c, f.id);
    }
    std::optional<std::uint32_t> Request(sim::server::ClientId c, Kind kind, const Writer& w) {
        return Request(c, kind, w.Bytes());
    }
    std::optional<std::uint32_t> Devices(sim::server::ClientId c, DevicesOp op,
                                         const Writer& fields = Writer()) {
        Writer w;
        w.U16(static_cast<std::uint16_t>(op));
        return Request(c, Kind::Devices, w.Bytes() + fields.Bytes());
    }
    // Reads what the server sent the client: frames it counts, trees and clock readings.
    std::optional<std::uint32_t> Collect(sim::server::ClientId c, std::uint32_t id) {
        std::string out = core_.TakeOutput(c);
        sim::wire::FrameBuffer in;
        in.Append(out.data(), out.size());
        std::optional<std::uint32_t> status;
        while (auto f = in.Next()) {
            ++seen_[c];
            if (f->kind == Kind::Time) {
                std::uint64_t now = 0;
                sim::wire::Reader(f->payload).U64(now);
                times_[c].push_back(now);
            } else if (f->kind == Kind::DeviceTree) {
                std::vector<sim::DeviceNode> nodes;
                sim::wire::Reader r(f->payload);
                EXPECT_TRUE(sim::wire::ReadNodes(r, nodes, nullptr) && r.AtEnd());
                trees_[c].push_back(Present(nodes));
            } else if (f->id == id) {
                std::uint32_t s = 0;
                sim::wire::Reader(f->payload).U32(s);
                status = s;
                body_ = f->payload.substr(4);
            }
        }
        return status;
    }
    static std::vector<std::wstring> Present(const std::vector<sim::DeviceNode>& nodes) {
        std::vector<std::wstring> out;
        for (const auto& n : nodes)
            if (n.present) out.push_back(n.spec.instanceId);
        return out;
    }
    void Idle(sim::server::ClientId c) {
        sim::wire::Frame f;
        f.kind = Kind::Idle;
        f.payload = Writer().U64(seen_[c]).U64(sim::wire::kNever).Bytes();
        std::string bytes = sim::wire::Encode(f);
        core_.Receive(c, bytes.data(), bytes.size());
        Collect(c, 0);
    }

    NoSpawner spawner_;
    sim::server::Core core_{"/machine", spawner_};
    std::uint32_t nextId_ = 0;
    std::string body_;
    std::map<sim::server::ClientId, std::uint64_t> seen_;
    std::map<sim::server::ClientId, std::vector<std::uint64_t>> times_;
    std::map<sim::server::ClientId, std::vector<std::vector<std::wstring>>> trees_;
};

Writer PlugOptions(const sim::ModemOptions& options) {
    Writer w;
    sim::wire::WriteModemOptions(w, options);
    return w;
}

TEST_F(ServerCoreTest, TheModemReEnumeratesOnTheServersClockAndEachChangeWakesEveryProgram) {
    auto program = Client(sim::wire::Role::Program);
    auto control = Client(sim::wire::Role::Control);
    ASSERT_EQ(Devices(control, DevicesOp::PlugModem, PlugOptions({})), 0u);
    sim::SimModem ids{sim::ModemOptions{}};
    Collect(program, 0);
    ASSERT_EQ(trees_[program].size(), 1u);
    EXPECT_EQ(trees_[program][0],
              (std::vector<std::wstring>{ids.UsbInstanceId(), ids.CdromInstanceId()}));

    SCSI_PASS_THROUGH spt{};
    spt.Length = sizeof spt;
    spt.CdbLength = 6;
    spt.Cdb[0] = 0x9F;
    std::string request(reinterpret_cast<const char*>(&spt), sizeof spt);
    Writer io;
    io.Text(ids.CdromInstanceId()).U32(IOCTL_SCSI_PASS_THROUGH).U8(1).Blob(request).U8(1);
    io.Blob(request);
    ASSERT_EQ(Devices(program, DevicesOp::IoControl, io), 0u);
    std::uint8_t done = 0;
    sim::wire::Reader(body_).U8(done);
    EXPECT_EQ(done, 1);

    // Everyone waits: the clock runs to the device's leaving, and no further while the program
    // that was sent the new tree has not reported idle again.
    ASSERT_EQ(Request(control, Kind::HoldClock, Writer().U8(0)), 0u);
    Idle(program);
    EXPECT_EQ(times_[program], std::vector<std::uint64_t>{300});
    ASSERT_EQ(trees_[program].size(), 2u);
    EXPECT_EQ(trees_[program][1], std::vector<std::wstring>{});
    ASSERT_EQ(Request(control, Kind::Ping, Writer()), 0u);  // the server looks again
    Collect(program, 0);
    EXPECT_EQ(times_[program], std::vector<std::uint64_t>{300});
    Idle(program);
    EXPECT_EQ(times_[program], (std::vector<std::uint64_t>{300, 2500}));
    ASSERT_EQ(trees_[program].size(), 3u);
    EXPECT_EQ(trees_[program][2],
              (std::vector<std::wstring>{ids.UsbInstanceId(), ids.ModemInstanceId(),
                                         ids.PortInstanceId(0), ids.PortInstanceId(1)}));
    // The control client is sent no trees: it asks.
    EXPECT_TRUE(trees_[control].empty());
    ASSERT_EQ(Devices(control, DevicesOp::ModemState, Writer().U32(0)), 0u);
    std::uint8_t modemMode = 0;
    std::uint32_t switches = 0;
    sim::wire::Reader state(body_);
    state.U8(modemMode);
    state.U32(switches);
    EXPECT_EQ(modemMode, 1);
    EXPECT_EQ(switches, 1u);
}

TEST_F(ServerCoreTest, APortIsHeldByOneClientUntilItReleasesItOrLeaves) {
    auto a = Client(sim::wire::Role::Program);
    auto b = Client(sim::wire::Role::Program);
    ASSERT_EQ(Devices(a, DevicesOp::AcquirePort, Writer().Text(L"com3")), 0u);
    EXPECT_EQ(Devices(b, DevicesOp::AcquirePort, Writer().Text(L"COM3")),
              static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Devices(b, DevicesOp::ReleasePort, Writer().Text(L"COM3")),
              static_cast<std::uint32_t>(ERROR_NOT_OWNER));
    EXPECT_EQ(Devices(b, DevicesOp::AcquirePort, Writer().Text(L"COM4")), 0u);
    ASSERT_EQ(Devices(a, DevicesOp::ReleasePort, Writer().Text(L"COM3")), 0u);
    ASSERT_EQ(Devices(a, DevicesOp::AcquirePort, Writer().Text(L"COM3")), 0u);
    core_.Disconnect(a);
    EXPECT_EQ(Devices(b, DevicesOp::AcquirePort, Writer().Text(L"COM3")), 0u);
}

TEST_F(ServerCoreTest, AProgramsEjectRequestTakesTheModemAwayForEveryProgram) {
    auto ejecting = Client(sim::wire::Role::Program);
    auto other = Client(sim::wire::Role::Program);
    auto control = Client(sim::wire::Role::Control);
    ASSERT_EQ(Devices(control, DevicesOp::PlugModem, PlugOptions({})), 0u);
    sim::SimModem ids{sim::ModemOptions{}};
    ASSERT_EQ(Devices(ejecting, DevicesOp::RequestEject, Writer().Text(ids.CdromInstanceId())),
              0u);
    std::uint32_t result = 1;
    sim::wire::Reader(body_).U32(result);
    EXPECT_EQ(result, static_cast<std::uint32_t>(CR_SUCCESS));
    Collect(other, 0);
    for (auto c : {ejecting, other}) {
        ASSERT_EQ(trees_[c].size(), 2u);  // plugged, then ejected
        EXPECT_EQ(trees_[c][1], std::vector<std::wstring>{});
    }
    ASSERT_EQ(Devices(control, DevicesOp::ModemState, Writer().U32(0)), 0u);
    std::uint8_t modemMode = 0;
    std::uint32_t switches = 0, ejects = 0;
    sim::wire::Reader state(body_);
    state.U8(modemMode);
    state.U32(switches);
    state.U32(ejects);
    EXPECT_EQ(ejects, 1u);
}

TEST_F(ServerCoreTest, AProgramWhoseConnectionClosedHoldsTheClockUntilItsHostProcessEnds) {
    auto control = Client(sim::wire::Role::Control);
    core_.RegisterProgram(L"App.exe", L"/host/StandIn");
    Writer spawn;
    spawn.Text(L"App.exe").Text(L"App.exe").Text(L"").Text(L"").U16(0).U8(0).Text(L"");
    ASSERT_EQ(Request(control, Kind::Spawn, spawn), 0u);
    std::uint32_t pid = 0, hostPid = 0;
    sim::wire::Reader started(body_);
    started.U32(pid);
    started.U32(hostPid);
    auto program = core_.Connect();
    Writer hello;
    hello.U16(1).U32(hostPid).U32(pid).Text(L"App.exe");
    ASSERT_EQ(Request(program, Kind::Hello, hello), 0u);
    // The control client waits 5 s for the process's end; the program's socket closes first.
    EXPECT_EQ(Request(control, Kind::WaitProcess, Writer().U32(pid).U64(5000)), std::nullopt);
    core_.Disconnect(program);
    EXPECT_EQ(core_.Now(), 0u);
    core_.HostProcessEnded(static_cast<int>(hostPid), 4);
    ASSERT_EQ(Collect(control, nextId_), 0u);
    std::uint32_t result = 1, code = 0;
    sim::wire::Reader answer(body_);
    answer.U32(result);
    answer.U32(code);
    EXPECT_EQ(result, 0u);  // WAIT_OBJECT_0: ended, not timed out
    EXPECT_EQ(code, 4u);
}

// A malformed device request fails alone: the client is served as before.
struct BadDevices {
    const char* what;
    std::string payload;
    std::uint32_t status;
};

Writer Op(DevicesOp op) {
    return Writer().U16(static_cast<std::uint16_t>(op));
}

class BadDevicesTest : public ServerCoreTest, public ::testing::WithParamInterface<BadDevices> {};

TEST_P(BadDevicesTest, FailsThatRequestOnly) {
    auto control = Client(sim::wire::Role::Control);
    ASSERT_EQ(Devices(control, DevicesOp::PlugModem, PlugOptions({})), 0u);
    EXPECT_EQ(Request(control, Kind::Devices, GetParam().payload), GetParam().status)
        << GetParam().what;
    EXPECT_EQ(Devices(control, DevicesOp::ModemState, Writer().U32(0)), 0u) << GetParam().what;
}

sim::ModemOptions WithFirstCom(int com) {
    sim::ModemOptions o;
    o.firstComPort = com;
    return o;
}

const std::wstring kCdrom = sim::SimModem(sim::ModemOptions{}).CdromInstanceId();

INSTANTIATE_TEST_SUITE_P(
    Devices, BadDevicesTest,
    ::testing::Values(
        BadDevices{"no operation", "", ERROR_INVALID_PARAMETER},
        BadDevices{"unknown operation", Op(static_cast<DevicesOp>(99)).Text(kCdrom).Bytes(),
                   ERROR_INVALID_FUNCTION},
        BadDevices{"tree with more", Op(DevicesOp::Tree).U8(0).Bytes(), ERROR_INVALID_PARAMETER},
        BadDevices{"modem options cut short", Op(DevicesOp::PlugModem).U16(0xFFF1).Bytes(),
                   ERROR_INVALID_PARAMETER},
        BadDevices{"no such variant",
                   Op(DevicesOp::PlugModem).U16(1).U8(7).Text(L"1").Text(L"Q").U32(0).U32(0)
                       .I32(3).U8(0).Bytes(),
                   ERROR_INVALID_PARAMETER},
        BadDevices{"port 0", Op(DevicesOp::PlugModem).Bytes() + PlugOptions(WithFirstCom(0)).Bytes(),
                   ERROR_INVALID_PARAMETER},
        BadDevices{"no such modem", Op(DevicesOp::UnplugModem).U32(5).Bytes(),
                   ERROR_INVALID_PARAMETER},
        BadDevices{"no port name", Op(DevicesOp::AcquirePort).Text(L"").Bytes(),
                   ERROR_INVALID_PARAMETER},
        BadDevices{"enable without flags", Op(DevicesOp::SetEnabled).Text(kCdrom).Bytes(),
                   ERROR_INVALID_PARAMETER},
        BadDevices{"open of no node", Op(DevicesOp::Open).Text(L"X\\Y\\Z").Bytes(),
                   ERROR_FILE_NOT_FOUND},
        BadDevices{"I/O control past the buffer limit",
                   Op(DevicesOp::IoControl).Text(kCdrom).U32(IOCTL_SCSI_PASS_THROUGH).U8(1)
                       .Blob(std::string(sim::wire::kMaxIoBuffer + 1, '\0')).U8(0).Blob("")
                       .Bytes(),
                   ERROR_INVALID_PARAMETER},
        BadDevices{"I/O control of no node",
                   Op(DevicesOp::IoControl).Text(L"X\\Y\\Z").U32(1).U8(0).Blob("").U8(0)
                       .Blob("").Bytes(),
                   ERROR_GEN_FAILURE},
        BadDevices{"eject with more", Op(DevicesOp::RequestEject).Text(kCdrom).U8(1).Bytes(),
                   ERROR_INVALID_PARAMETER}));

}  // namespace
