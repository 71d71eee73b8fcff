// The machine server's answers to requests, without sockets: clients are numbers and frames go
// in and out as bytes.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include <winbase.h>
#include <winreg.h>
#include "machine/server/core.h"
#include "machine/wire.h"

#include "core_fixture.h"

namespace {

TEST_F(CoreTest, AClientKilledOwningAMutexLeavesItAbandonedForTheNextWaiter) {
    auto owner = Client();
    auto waiter = Client();
    ASSERT_EQ(Request(owner, Kind::CreateNamed, Named(sim::wire::ObjectKind::Mutex, L"M", 1, 0)),
              0u);
    ASSERT_EQ(Request(waiter, Kind::CreateNamed, Named(sim::wire::ObjectKind::Mutex, L"M", 0, 0)),
              static_cast<std::uint32_t>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(Request(waiter, Kind::Wait, WaitOn(Handle(), sim::wire::kNever)), std::nullopt);
    core_.Disconnect(owner);
    Answer(waiter, 0);
    ASSERT_EQ(late_[waiter].size(), 1u);
    EXPECT_EQ(WaitResult(late_[waiter][0]), WAIT_ABANDONED);
}

// A bad request fails alone: the client is answered and then served as before.
struct BadRequest {
    const char* what;
    bool hello;  // whether the client said hello first
    Kind kind;
    std::string payload;
    std::uint16_t version;
    std::uint32_t status;
};

Writer Payload(std::initializer_list<std::uint32_t> values) {
    Writer w;
    for (auto v : values) w.U32(v);
    return w;
}

class BadRequestTest : public CoreTest, public ::testing::WithParamInterface<BadRequest> {};

TEST_P(BadRequestTest, FailsThatRequestOnly) {
    const BadRequest& b = GetParam();
    auto c = b.hello ? Client() : core_.Connect();
    sim::wire::Frame f;
    f.version = b.version;
    f.kind = b.kind;
    f.id = 77;
    f.payload = b.payload;
    std::string bytes = sim::wire::Encode(f);
    ASSERT_TRUE(core_.Receive(c, bytes.data(), bytes.size()));
    EXPECT_EQ(Answer(c, 77), b.status) << b.what;
    // Served as before (a client that had not said hello can still say it).
    if (!b.hello) {
        Writer hello;
        hello.U16(1).U32(100).U32(0).Text(L"App.exe");
        EXPECT_EQ(Request(c, Kind::Hello, hello), 0u);
    }
    EXPECT_EQ(Request(c, Kind::Ping, Writer()), 0u) << b.what;
}

INSTANTIATE_TEST_SUITE_P(
    Core, BadRequestTest,
    ::testing::Values(
        BadRequest{"before hello", false, Kind::Ping, "", sim::wire::kVersion,
                   ERROR_ACCESS_DENIED},
        BadRequest{"unknown kind", true, static_cast<Kind>(0xFF), "", sim::wire::kVersion,
                   ERROR_INVALID_FUNCTION},
        BadRequest{"other version", true, Kind::Ping, "", 2, ERROR_INVALID_PARAMETER},
        BadRequest{"truncated", true, Kind::CreateNamed, std::string("\x02\x00\x05\x00", 4),
                   sim::wire::kVersion, ERROR_INVALID_PARAMETER},
        BadRequest{"text past the end", true, Kind::OpenNamed,
                   std::string("\x01\x00\xff\xff\xff\x00", 6), sim::wire::kVersion,
                   ERROR_INVALID_PARAMETER},
        BadRequest{"bytes after the fields", true, Kind::Close, Payload({4, 4}).Bytes(),
                   sim::wire::kVersion, ERROR_INVALID_PARAMETER},
        BadRequest{"unknown handle", true, Kind::Close, Payload({4}).Bytes(), sim::wire::kVersion,
                   ERROR_INVALID_HANDLE},
        BadRequest{"wait on nothing", true, Kind::Wait, Payload({0x104, 0, 0, 0}).Bytes(),
                   sim::wire::kVersion, ERROR_INVALID_PARAMETER},
        BadRequest{"second hello", true, Kind::Hello,
                   Writer().U16(1).U32(100).U32(0).Text(L"x").Bytes(), sim::wire::kVersion,
                   ERROR_INVALID_FUNCTION}));

TEST_F(CoreTest, AFrameLengthOutOfRangeDropsTheClient) {
    auto c = Client();
    std::string bytes("\xff\xff\xff\x7f", 4);
    EXPECT_FALSE(core_.Receive(c, bytes.data(), bytes.size()));
}

TEST_F(CoreTest, NamedObjectsShareOneNamespaceWhoseNamesKeepTheirCase) {
    auto a = Client();
    auto b = Client();
    using K = sim::wire::ObjectKind;
    EXPECT_EQ(Request(a, Kind::CreateNamed, Named(K::Semaphore, L"QOB Raza Zevi", 1, 1)), 0u);
    EXPECT_EQ(Request(b, Kind::CreateNamed, Named(K::Semaphore, L"QOB Raza Zevi", 1, 1)),
              static_cast<std::uint32_t>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(Request(b, Kind::CreateNamed, Named(K::Event, L"QOB Raza Zevi", 1, 1)),
              static_cast<std::uint32_t>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(Request(b, Kind::CreateNamed, Named(K::Semaphore, L"qob raza zevi", 1, 1)), 0u);
    Writer open;
    open.U16(static_cast<std::uint16_t>(K::Mutex)).Text(L"nobody");
    EXPECT_EQ(Request(b, Kind::OpenNamed, open), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}

TEST_F(CoreTest, ASemaphoreCountIsNotGivenBackForAHolderThatDied) {
    auto holder = Client();
    auto other = Client();
    using K = sim::wire::ObjectKind;
    Request(holder, Kind::CreateNamed, Named(K::Semaphore, L"S", 1, 1));
    ASSERT_EQ(Request(holder, Kind::Wait, WaitOn(Handle(), 0)), 0u);
    EXPECT_EQ(LastWaitResult(), WAIT_OBJECT_0);
    Request(other, Kind::CreateNamed, Named(K::Semaphore, L"S", 1, 1));
    std::uint32_t h = Handle();
    core_.Disconnect(holder);
    ASSERT_EQ(Request(other, Kind::Wait, WaitOn(h, 0)), 0u);
    EXPECT_EQ(LastWaitResult(), WAIT_TIMEOUT);
}

TEST_F(CoreTest, TheClockMovesOnlyWhenEveryProgramIsIdleAndNeverOnAStaleReport) {
    auto a = Client();
    auto b = Client();
    // Each answer so far (the hello) was message 1 of its client.
    Idle(a, 1, 15000);
    EXPECT_TRUE(Times(a).empty());  // b still runs
    // b asks something: the answer may wake it, so an idle report that had not seen it is stale.
    ASSERT_EQ(Request(b, Kind::Ping, Writer()), 0u);
    Idle(b, 1, 15000);
    EXPECT_TRUE(Times(b).empty());
    Idle(b, 2, 15000);
    EXPECT_EQ(Times(a), std::vector<std::uint64_t>{15000});
    EXPECT_EQ(Times(b), std::vector<std::uint64_t>{15000});
    EXPECT_EQ(core_.Now(), 15000u);
    // Both now run (their deadlines came); one alone idle does not move the clock.
    Idle(a, 2, 20000);
    EXPECT_EQ(core_.Now(), 15000u);
}

TEST_F(CoreTest, AProgramThatLeavesCountsAsIdle) {
    auto a = Client();
    auto b = Client();
    Idle(a, 1, 3000);
    core_.Disconnect(b);
    EXPECT_EQ(Times(a), std::vector<std::uint64_t>{3000});
}


TEST_F(CoreTest, AStartedProgramGetsItsIdentityAndItsEndSignalsItsHandle) {
    auto control = Client(sim::wire::Role::Control);
    core_.RegisterProgram(L"App.exe", L"/host/StandIn");
    auto started = Spawn(control, L"\"C:\\Program Files\\Modem\\App.exe\" /hide \"a b\"");
    ASSERT_TRUE(started.has_value());
    ASSERT_EQ(spawner_.specs.size(), 1u);
    EXPECT_EQ(spawner_.specs[0].executable, "/host/StandIn");
    EXPECT_EQ(spawner_.specs[0].args, (std::vector<std::string>{"/hide", "a b"}));
    EXPECT_EQ(spawner_.specs[0].env, (std::vector<std::string>{
                                         "MODEM_MACHINE=/machine",
                                         "MODEM_PID=" + std::to_string(started->pid)}));
    // Its hello gives it the identity the start asked for.
    auto app = Joined(*started);
    sim::wire::Reader r(lastBody_);
    std::uint32_t pid = 0;
    std::uint64_t now = 0, speed = 0;
    std::uint8_t mode = 9;
    std::wstring image, line, user, desktop;
    r.U32(pid);
    r.U64(now);
    r.U8(mode);
    r.U64(speed);
    r.Text(image);
    r.Text(line);
    r.Text(user);
    r.Text(desktop);
    EXPECT_EQ(pid, started->pid);
    EXPECT_EQ(image, L"C:\\Program Files\\Modem\\App.exe");
    EXPECT_EQ(user, L"user");
    EXPECT_EQ(desktop, L"winsta0\\default");
    // The process handle is signalled once the host process has ended, with the code it reported.
    Writer wait = WaitOn(started->handle, sim::wire::kNever);
    EXPECT_EQ(Request(control, Kind::Wait, wait), std::nullopt);
    Writer exit;
    exit.U32(42);
    sim::wire::Frame f;
    f.kind = Kind::Exit;
    f.payload = exit.Bytes();
    std::string bytes = sim::wire::Encode(f);
    core_.Receive(app, bytes.data(), bytes.size());
    core_.Disconnect(app);
    Answer(control, 0);
    EXPECT_TRUE(late_[control].empty());  // its host process still runs
    core_.HostProcessEnded(static_cast<int>(started->hostPid), 0);
    Answer(control, 0);
    ASSERT_EQ(late_[control].size(), 1u);
    EXPECT_EQ(WaitResult(late_[control][0]), WAIT_OBJECT_0);
    ASSERT_EQ(Request(control, Kind::ExitCode, Payload({started->handle})), 0u);
    EXPECT_EQ(LastWaitResult(), 42u);
}

TEST_F(CoreTest, AnImageThatIsNoBuiltProgramIsNotStarted) {
    auto control = Client(sim::wire::Role::Control);
    EXPECT_FALSE(Spawn(control, L"explorer.exe").has_value());
    EXPECT_TRUE(spawner_.specs.empty());
}

TEST_F(CoreTest, AProcessStartedButNotConnectedHoldsTheClock) {
    core_.RegisterProgram(L"App.exe", L"/host/StandIn");
    auto control = Client(sim::wire::Role::Control);
    auto other = Client();
    auto started = Spawn(control, L"App.exe");
    ASSERT_TRUE(started.has_value());
    ASSERT_TRUE(core_.Receive(control, "", 0));
    ASSERT_EQ(Request(control, Kind::HoldClock, Writer().U8(0)), 0u);
    Idle(other, 1, 1000);
    EXPECT_EQ(core_.Now(), 0u);
    // Once it has said hello it runs until it is idle too.
    auto app = Joined(*started);
    Idle(app, 1, 500);
    EXPECT_EQ(core_.Now(), 500u);
}

TEST_F(CoreTest, AStartedProcessWhoseConnectionClosedHoldsTheClockUntilItsHostEnded) {
    core_.RegisterProgram(L"App.exe", L"/host/StandIn");
    auto control = Client(sim::wire::Role::Control);
    auto started = Spawn(control, L"App.exe");
    ASSERT_TRUE(started.has_value());
    auto app = Joined(*started);
    // The control waits for its end, at most 1000 ms of machine time.
    EXPECT_EQ(Request(control, Kind::WaitProcess, Writer().U32(started->pid).U64(1000)),
              std::nullopt);
    core_.Disconnect(app);
    EXPECT_EQ(core_.Now(), 0u);
    core_.HostProcessEnded(static_cast<int>(started->hostPid), 0);
    Answer(control, 0);
    ASSERT_EQ(late_[control].size(), 1u);
    EXPECT_EQ(WaitResult(late_[control][0]), WAIT_OBJECT_0);
    EXPECT_EQ(core_.Now(), 0u);
}

TEST_F(CoreTest, TerminatingAProcessKillsItsHostAndEndsItsConnectionAtOnce) {
    core_.RegisterProgram(L"App.exe", L"/host/StandIn");
    auto control = Client(sim::wire::Role::Control);
    auto started = Spawn(control, L"App.exe");
    auto app = Joined(*started);
    ASSERT_EQ(Request(app, Kind::CreateNamed, Named(sim::wire::ObjectKind::Mutex, L"M", 1, 0)), 0u);
    ASSERT_EQ(Request(control, Kind::CreateNamed, Named(sim::wire::ObjectKind::Mutex, L"M", 0, 0)),
              static_cast<std::uint32_t>(ERROR_ALREADY_EXISTS));
    std::uint32_t mutex = Handle();
    ASSERT_EQ(Request(control, Kind::Terminate, Payload({started->pid, 9})), 0u);
    EXPECT_EQ(spawner_.killed, std::vector<int>{static_cast<int>(started->hostPid)});
    // Its mutex was abandoned then and there.
    ASSERT_EQ(Request(control, Kind::Wait, WaitOn(mutex, 0)), 0u);
    EXPECT_EQ(LastWaitResult(), WAIT_ABANDONED);
    core_.HostProcessEnded(static_cast<int>(started->hostPid), 137);
    ASSERT_EQ(Request(control, Kind::ExitCode, Payload({started->handle})), 0u);
    EXPECT_EQ(LastWaitResult(), 9u);
}

TEST_F(CoreTest, TheRegistryKeepsKeysAndValuesForEveryClient) {
    auto a = Client();
    auto b = Client();
    auto ask = [&](sim::server::ClientId c, sim::wire::RegistryOp op, const std::wstring& path,
                   const std::wstring& name, const std::string& data) {
        Writer w;
        w.U16(static_cast<std::uint16_t>(op)).Text(path).Text(name).U32(REG_BINARY).Blob(data);
        EXPECT_EQ(Request(c, Kind::Registry, w), 0u);
        return lastBody_;
    };
    using Op = sim::wire::RegistryOp;
    ask(a, Op::SetValue, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Modem", L"Port", "COM7");
    std::string got = ask(b, Op::GetValue, L"HKEY_LOCAL_MACHINE\\software\\modem", L"PORT", "");
    Writer expected;
    expected.U8(1).U32(REG_BINARY).Blob("COM7");
    EXPECT_EQ(got, expected.Bytes());
    std::string keys = ask(b, Op::SubKeys, L"HKEY_LOCAL_MACHINE\\SOFTWARE", L"", "");
    EXPECT_EQ(keys, Writer().U32(1).Text(L"Modem").Bytes());
    ask(a, Op::DeleteKey, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Modem", L"", "");
    EXPECT_EQ(ask(b, Op::KeyExists, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Modem", L"", ""),
              Writer().U8(0).Bytes());
}

}  // namespace

// Waits that mix the server's objects with a program's own: peeks, takes and give-backs.
Writer Objects(std::initializer_list<std::uint32_t> handles, bool all = false) {
    Writer w;
    w.U32(0x104).U8(all ? 1 : 0).U32(static_cast<std::uint32_t>(handles.size()));
    for (auto h : handles) w.U32(h);
    return w;
}

TEST_F(CoreTest, APeekTakesNothingAndADroppedOneIsAnsweredAtOnce) {
    auto a = Client();
    auto b = Client();
    using K = sim::wire::ObjectKind;
    Request(a, Kind::CreateNamed, Named(K::Semaphore, L"S", 0, 1));
    std::uint32_t ha = Handle();
    Request(b, Kind::CreateNamed, Named(K::Semaphore, L"S", 0, 1));
    std::uint32_t hb = Handle();
    EXPECT_EQ(Request(a, Kind::WaitPeek, Objects({ha})), std::nullopt);
    std::uint32_t peek = nextId_;
    EXPECT_EQ(Request(a, Kind::CancelPeek, Payload({peek})), 0u);
    ASSERT_EQ(late_[a].size(), 1u);
    std::uint32_t status = 0;
    sim::wire::Reader(late_[a][0].payload).U32(status);
    EXPECT_EQ(late_[a][0].id, peek);
    EXPECT_EQ(status, static_cast<std::uint32_t>(ERROR_INVALID_OPERATION));
    EXPECT_EQ(Request(a, Kind::CancelPeek, Payload({peek})),
              static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));  // gone already

    EXPECT_EQ(Request(a, Kind::WaitPeek, Objects({ha})), std::nullopt);
    Writer release;
    release.U16(static_cast<std::uint16_t>(sim::wire::SignalOp::ReleaseSemaphore)).U32(hb);
    release.U32(0x104).I32(1);
    ASSERT_EQ(Request(b, Kind::Signal, release), 0u);
    Answer(a, 0);
    ASSERT_EQ(late_[a].size(), 2u);
    EXPECT_EQ(WaitResult(late_[a][1]), 0u);  // status 0, index 0
    // The count is still there for whoever takes it.
    ASSERT_EQ(Request(b, Kind::Take, Objects({hb})), 0u);
    EXPECT_EQ(LastWaitResult(), WAIT_OBJECT_0);
}

TEST_F(CoreTest, AGiveBackReturnsWhatTheLastTakeTookAsItWas) {
    auto owner = Client();
    auto a = Client();
    auto b = Client();
    using K = sim::wire::ObjectKind;
    Request(owner, Kind::CreateNamed, Named(K::Mutex, L"M", 1, 0));
    Request(a, Kind::CreateNamed, Named(K::Semaphore, L"S", 1, 1));
    std::uint32_t sa = Handle();
    Request(a, Kind::CreateNamed, Named(K::Mutex, L"M", 0, 0));
    std::uint32_t ma = Handle();
    Request(b, Kind::CreateNamed, Named(K::Semaphore, L"S", 1, 1));
    std::uint32_t sb = Handle();
    Request(b, Kind::CreateNamed, Named(K::Mutex, L"M", 0, 0));
    std::uint32_t mb = Handle();
    core_.Disconnect(owner);  // the mutex is abandoned
    ASSERT_EQ(Request(a, Kind::Take, Objects({sa, ma}, true)), 0u);
    EXPECT_EQ(LastWaitResult(), WAIT_ABANDONED);
    // b waits for the count meanwhile; the give-back ends its wait.
    EXPECT_EQ(Request(b, Kind::Wait, WaitOn(sb, sim::wire::kNever)), std::nullopt);
    EXPECT_EQ(Request(a, Kind::GiveBack, Payload({0x104})), 0u);
    Answer(b, 0);
    ASSERT_EQ(late_[b].size(), 1u);
    EXPECT_EQ(WaitResult(late_[b][0]), WAIT_OBJECT_0);
    // The mutex is free and still abandoned for its next owner.
    ASSERT_EQ(Request(b, Kind::Take, Objects({mb})), 0u);
    EXPECT_EQ(LastWaitResult(), WAIT_ABANDONED);
    EXPECT_EQ(Request(a, Kind::GiveBack, Payload({0x104})),
              static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));  // nothing left to give
}

TEST_F(CoreTest, TheFilesShareTableKeepsToTheMachineFolderAndForgetsADeadClientsOpens) {
    auto a = Client();
    auto b = Client();
    auto open = [](const std::string& path, std::uint32_t share) {
        Writer w;
        w.Blob(path).U32(GENERIC_READ | GENERIC_WRITE).U32(share);
        return w;
    };
    EXPECT_EQ(Request(a, Kind::FileOpen, open("/machine/C/a.txt", 0)), 0u);
    EXPECT_EQ(Request(b, Kind::FileOpen, open("/machine/C/./a.txt", FILE_SHARE_READ)),
              static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
    for (const char* outside : {"/etc/passwd", "/machine/../etc/passwd", "/machine", "C/a.txt"}) {
        Writer w;
        w.Blob(outside);
        EXPECT_EQ(Request(b, Kind::FileDelete, w), static_cast<std::uint32_t>(ERROR_ACCESS_DENIED))
            << outside;
        EXPECT_EQ(Request(b, Kind::FileOpen, open(outside, 7)),
                  static_cast<std::uint32_t>(ERROR_ACCESS_DENIED))
            << outside;
    }
    core_.Disconnect(a);
    EXPECT_EQ(Request(b, Kind::FileOpen, open("/machine/C/a.txt", 0)), 0u);
}

TEST_F(CoreTest, AJournalKeepsTheLatestOutputOfItsProgramWithinItsBounds) {
    auto program = Client();
    auto control = Client(sim::wire::Role::Control);
    auto append = [&](sim::server::ClientId c, std::uint8_t stream, const std::wstring& text) {
        Writer w;
        w.U8(stream).Text(text);
        return Request(c, Kind::JournalAppend, w);
    };
    EXPECT_EQ(append(control, 1, L"x"), static_cast<std::uint32_t>(ERROR_INVALID_OPERATION));
    EXPECT_EQ(append(program, 3, L"x"), static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
    for (int i = 0; i < 600; ++i) ASSERT_EQ(append(program, 2, std::to_wstring(i)), 0u);
    ASSERT_EQ(append(program, 2, std::wstring(2000, L'x')), 0u);
    ASSERT_EQ(append(program, 1, std::wstring(200 * 1024, L'a') + L"end"), 0u);

    ASSERT_EQ(Request(control, Kind::Processes, Writer()), 0u);
    std::uint32_t count = 0, pid = 0;
    sim::wire::Reader table(lastBody_);
    ASSERT_TRUE(table.U32(count) && table.U32(pid));
    ASSERT_EQ(Request(control, Kind::Journal, Payload({pid})), 0u);
    sim::wire::Reader r(lastBody_);
    std::wstring console, first, line;
    std::uint32_t lines = 0;
    ASSERT_TRUE(r.Text(console) && r.U32(lines) && r.Text(first));
    EXPECT_EQ(console.size(), 128u * 1024);
    EXPECT_EQ(console.substr(console.size() - 3), L"end");
    EXPECT_EQ(lines, 512u);
    EXPECT_EQ(first, L"89");  // the 601 lines' latest 512
    for (std::uint32_t i = 1; i < lines; ++i) ASSERT_TRUE(r.Text(line));
    EXPECT_EQ(line.size(), 512u);
    EXPECT_TRUE(r.AtEnd());
}
