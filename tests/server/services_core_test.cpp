// The machine server's service control manager, driven without sockets.
#include <gtest/gtest.h>

#include <winsvc.h>
#include "core_fixture.h"
#include "machine/service_wire.h"

namespace {

const std::wstring kName = L"Svc";
const std::wstring kBinary = L"\"C:\\Program Files\\Modem\\Ulvane.exe\"";

class ServiceCoreTest : public CoreTest {
protected:
    void SetUp() override {
        core_.RegisterProgram(L"Ulvane.exe", L"/host/Ulvane");
        control_ = Client(sim::wire::Role::Control);
        ASSERT_EQ(Request(control_, Kind::ScCreate, Create(kName, 0x110, 2)), 0u);
        ASSERT_EQ(Request(control_, Kind::ScOpen, Writer().Text(kName)), 0u);
    }
    static Writer Create(const std::wstring& name, std::uint32_t type, std::uint32_t startType) {
        Writer w;
        w.Text(name).Text(L"").U32(type).U32(startType).U32(1).Text(kBinary);
        sim::wire::PutNames(w, {});
        w.Text(L"");
        return w;
    }
    static Writer Status(std::uint32_t launch, std::uint32_t state, std::uint32_t accepted) {
        SERVICE_STATUS_PROCESS s{};
        s.dwServiceType = 0x110;
        s.dwCurrentState = state;
        s.dwControlsAccepted = accepted;
        Writer w;
        w.U32(launch);
        sim::wire::PutStatus(w, s);
        return w;
    }
    SERVICE_STATUS_PROCESS Query() {
        SERVICE_STATUS_PROCESS s{};
        EXPECT_EQ(Request(control_, Kind::ScQuery, Writer().Text(kName)), 0u);
        sim::wire::Reader r(lastBody_);
        EXPECT_TRUE(sim::wire::GetStatus(r, s));
        return s;
    }
    // Starts the service and connects its process's dispatcher: the process's client and the
    // launch. The start's answer stays in late_[control_].
    std::pair<sim::server::ClientId, std::uint32_t> StartAndConnect() {
        EXPECT_EQ(Request(control_, Kind::ScStart, Writer().Text(kName)), std::nullopt);
        EXPECT_EQ(spawner_.specs.size(), 1u);
        Started started;
        started.pid = Query().dwProcessId;
        started.hostPid = 500;
        auto svc = Joined(started);
        // The identity its hello gave it: after the pid, the clock and the image, these.
        sim::wire::Reader hello(lastBody_);
        std::uint32_t pid = 0;
        std::uint64_t now = 0, speed = 0;
        std::uint8_t mode = 0;
        std::wstring image;
        hello.U32(pid);
        hello.U64(now);
        hello.U8(mode);
        hello.U64(speed);
        hello.Text(image);
        hello.Text(commandLine_);
        hello.Text(user_);
        hello.Text(desktop_);
        EXPECT_EQ(Request(svc, Kind::ScWho, Writer()), 0u);
        std::wstring who;
        sim::wire::Reader(lastBody_).Text(who);
        EXPECT_EQ(who, kName);
        EXPECT_EQ(Request(svc, Kind::ScConnect, Writer().Text(kName)), 0u);
        std::uint32_t launch = 0;
        sim::wire::Reader(lastBody_).U32(launch);
        return {svc, launch};
    }
    // The controls pushed to a client so far.
    std::vector<std::uint32_t> Pushed(sim::server::ClientId c, std::uint32_t* lastSeq) {
        Answer(c, 0xFFFFFFFF);  // no request's: every frame goes to late_
        std::vector<std::uint32_t> controls;
        for (const auto& f : late_[c]) {
            if (f.kind != Kind::ScControlPush) continue;
            sim::wire::Reader r(f.payload);
            std::uint32_t control = 0;
            r.U32(*lastSeq);
            r.U32(control);
            controls.push_back(control);
        }
        return controls;
    }

    sim::server::ClientId control_ = 0;
    std::wstring commandLine_, user_, desktop_;  // the started service process's
};

TEST_F(ServiceCoreTest, AStartedServiceRunsItsProgramAndItsControlsGoToItsProcess) {
    auto [svc, launch] = StartAndConnect();
    // The program runs with the service's identity: its command line, LocalSystem, the user's
    // desktop for an interactive service.
    EXPECT_EQ(spawner_.specs[0].executable, "/host/Ulvane");
    EXPECT_TRUE(spawner_.specs[0].args.empty());
    EXPECT_EQ(commandLine_, kBinary);
    EXPECT_EQ(user_, L"SYSTEM");
    EXPECT_EQ(desktop_, L"WinSta0\\Default");
    Answer(control_, 0);
    ASSERT_EQ(late_[control_].size(), 1u);  // the start, answered once the dispatcher connected
    EXPECT_EQ(WaitResult(late_[control_][0]), 0u);
    ASSERT_EQ(Request(svc, Kind::ScSetStatus, Status(launch, SERVICE_RUNNING, 5)), 0u);
    EXPECT_EQ(Query().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));

    // A stop is pushed to the service's process, which counts as running until it is idle again.
    auto other = Client();
    Idle(svc, 99, sim::wire::kNever);
    EXPECT_EQ(Request(control_, Kind::ScControl, Writer().Text(kName).U32(1).U32(0)),
              std::nullopt);
    std::uint32_t seq = 0;
    EXPECT_EQ(Pushed(svc, &seq), (std::vector<std::uint32_t>{SERVICE_CONTROL_STOP}));
    Idle(other, 1, 1000);
    EXPECT_EQ(core_.Now(), 0u);
    // Only the service's process answers it.
    EXPECT_EQ(Request(other, Kind::ScControlDone, Writer().U32(seq).U32(0)),
              static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
    // Its handler reports and returns: the stop is answered with the status it reported.
    ASSERT_EQ(Request(svc, Kind::ScSetStatus, Status(launch, SERVICE_STOP_PENDING, 0)), 0u);
    ASSERT_EQ(Request(svc, Kind::ScControlDone, Writer().U32(seq).U32(0)), 0u);
    Answer(control_, 0);
    ASSERT_EQ(late_[control_].size(), 2u);
    sim::wire::Reader r(late_[control_][1].payload);
    std::uint32_t status = 1;
    SERVICE_STATUS_PROCESS reported{};
    ASSERT_TRUE(r.U32(status) && sim::wire::GetStatus(r, reported));
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(reported.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));

    // Its process ends without reporting the stop: the service has stopped, aborted.
    core_.Disconnect(svc);
    core_.HostProcessEnded(500, 0);
    SERVICE_STATUS_PROCESS s = Query();
    EXPECT_EQ(s.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(s.dwWin32ExitCode, static_cast<DWORD>(ERROR_PROCESS_ABORTED));
    EXPECT_EQ(s.dwProcessId, 0u);
}

TEST_F(ServiceCoreTest, AControlOwedByAProcessThatDiesFailsAndTheServiceStops) {
    auto [svc, launch] = StartAndConnect();
    ASSERT_EQ(Request(svc, Kind::ScSetStatus, Status(launch, SERVICE_RUNNING, 5)), 0u);
    EXPECT_EQ(Request(control_, Kind::ScControl, Writer().Text(kName).U32(4).U32(0)),
              std::nullopt);
    core_.Disconnect(svc);
    Answer(control_, 0);
    ASSERT_EQ(late_[control_].size(), 2u);
    std::uint32_t status = 0;
    sim::wire::Reader(late_[control_][1].payload).U32(status);
    EXPECT_EQ(status, static_cast<std::uint32_t>(ERROR_SERVICE_NOT_ACTIVE));
    EXPECT_EQ(Query().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(ServiceCoreTest, AProgramThatNeverConnectsItsDispatcherFailsTheStartAfterThirtySeconds) {
    EXPECT_EQ(Request(control_, Kind::ScStart, Writer().Text(kName)), std::nullopt);
    Started started;
    started.pid = Query().dwProcessId;
    started.hostPid = 500;
    auto program = Joined(started);
    Idle(program, 1, sim::wire::kNever);
    EXPECT_EQ(core_.Now(), 30000u);
    Answer(control_, 0);
    ASSERT_EQ(late_[control_].size(), 1u);
    std::uint32_t status = 0;
    sim::wire::Reader(late_[control_][0].payload).U32(status);
    EXPECT_EQ(status, static_cast<std::uint32_t>(ERROR_SERVICE_REQUEST_TIMEOUT));
    EXPECT_EQ(Query().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    // Too late to connect.
    EXPECT_EQ(Request(program, Kind::ScConnect, Writer().Text(kName)),
              static_cast<std::uint32_t>(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT));
}

TEST_F(ServiceCoreTest, ADeletedServiceGoesWithTheLastHandleOfAnyClient) {
    auto other = Client();
    ASSERT_EQ(Request(other, Kind::ScOpen, Writer().Text(kName)), 0u);
    ASSERT_EQ(Request(other, Kind::ScDelete, Writer().Text(kName)), 0u);
    EXPECT_EQ(Request(other, Kind::ScCreate, Create(kName, 0x10, 3)),
              static_cast<std::uint32_t>(ERROR_SERVICE_MARKED_FOR_DELETE));
    core_.Disconnect(other);
    Query();  // still there: the control client holds a handle
    ASSERT_EQ(Request(control_, Kind::ScClose, Writer().Text(kName)), 0u);
    EXPECT_EQ(Request(control_, Kind::ScQuery, Writer().Text(kName)),
              static_cast<std::uint32_t>(ERROR_SERVICE_DOES_NOT_EXIST));
}

TEST_F(ServiceCoreTest, MalformedServiceRequestsFailAloneAndTheServerServesOn) {
    struct Bad {
        const char* what;
        Kind kind;
        std::string payload;
        long status;
    };
    const Bad cases[] = {
        {"truncated create", Kind::ScCreate, Writer().Text(kName).U32(0x10).Bytes(),
         ERROR_INVALID_PARAMETER},
        {"name with a backslash", Kind::ScCreate, Create(L"a\\b", 0x10, 3).Bytes(),
         ERROR_INVALID_NAME},
        {"start type past disabled", Kind::ScCreate, Create(L"x", 0x10, 9).Bytes(),
         ERROR_INVALID_PARAMETER},
        {"existing name", Kind::ScCreate, Create(L"SVC", 0x10, 3).Bytes(), ERROR_SERVICE_EXISTS},
        {"open unknown", Kind::ScOpen, Writer().Text(L"none").Bytes(),
         ERROR_SERVICE_DOES_NOT_EXIST},
        {"dependency count past the payload", Kind::ScChangeConfig,
         Writer()
             .Text(kName)
             .U32(SERVICE_NO_CHANGE)
             .U32(SERVICE_NO_CHANGE)
             .U32(SERVICE_NO_CHANGE)
             .U8(0)
             .Text(L"")
             .U8(0)
             .Text(L"")
             .U8(1)
             .U32(0xFFFFFFFF)
             .Bytes(),
         ERROR_INVALID_PARAMETER},
        {"status for no launch", Kind::ScSetStatus, Status(0x1234, SERVICE_RUNNING, 0).Bytes(),
         ERROR_INVALID_HANDLE},
        {"connect from no service process", Kind::ScConnect, Writer().Text(kName).Bytes(),
         ERROR_FAILED_SERVICE_CONTROLLER_CONNECT},
        {"control of a stopped service", Kind::ScControl, Writer().Text(kName).U32(1).U32(0).Bytes(),
         ERROR_SERVICE_NOT_ACTIVE},
        {"done for no control", Kind::ScControlDone, Writer().U32(7).U32(0).Bytes(),
         ERROR_INVALID_PARAMETER},
        {"wait for no state", Kind::ScWaitState, Writer().Text(kName).U32(9).U64(0).Bytes(),
         ERROR_INVALID_PARAMETER},
        {"bytes after the fields", Kind::ScQuery, Writer().Text(kName).U8(0).Bytes(),
         ERROR_INVALID_PARAMETER},
    };
    auto client = Client();
    for (const Bad& c : cases) {
        SCOPED_TRACE(c.what);
        sim::wire::Frame f;
        f.kind = c.kind;
        f.id = ++nextId_;
        f.payload = c.payload;
        std::string bytes = sim::wire::Encode(f);
        ASSERT_TRUE(core_.Receive(client, bytes.data(), bytes.size()));
        EXPECT_EQ(Answer(client, f.id), static_cast<std::uint32_t>(c.status));
    }
    EXPECT_EQ(Request(client, Kind::Ping, Writer()), 0u);
    EXPECT_EQ(Query().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
}

}  // namespace
