// The command base: completion codes, reply handling, waits, the first completion winning, the
// status query, holders and report tables.
#include <atomic>
#include <string>
#include <vector>

#include "dm/command.h"
#include "dm/log.h"
#include "dmlog/dmlog.h"
#include "tests/dm/dm_test.h"

namespace {

using dmtest::Bytes;
using dmtest::MachineThread;
using dmtest::Reader;

struct DMCmdParam_TestRead {
    static constexpr std::uint8_t kCategory = 0x6A;
    static constexpr std::uint16_t kSubCommand = 20;
};

// A command with one parameter byte and a reply body of a 16-bit and a 32-bit value.
class TestReadCmd : public CSimpleDMCmd<DMCmdParam_TestRead> {
public:
    struct Fields {
        std::uint16_t a = 0xFFFF;
        std::uint32_t b = 0xFFFFFFFF;
        bool operator==(const Fields&) const = default;
    };
    explicit TestReadCmd(bool* destroyed = nullptr) : m_destroyed(destroyed) {}
    ~TestReadCmd() override {
        if (m_destroyed != nullptr) *m_destroyed = true;
    }
    Fields Get() const {
        return WithFieldsLocked([this] { return m_fields; });
    }

protected:
    void WriteParams(DMPacket& p) override { p.WriteU8(7); }
    ReplyCommit ParseReply(DMPacket& r) override {
        Fields f;
        r.ReadU16(f.a).ReadU32(f.b);
        return [this, f] { m_fields = f; };
    }

private:
    Fields m_fields;
    bool* m_destroyed;
};

const TestReadCmd::Fields kUntouched{};

// category, sub-command, status, then the body when given.
Bytes Reply(bool big, std::uint8_t category, std::uint16_t sub, std::uint8_t status,
            std::uint16_t a = 0, std::uint32_t b = 0, bool body = true) {
    DMPacket p(big);
    p.WriteU8(category).WriteU16(sub).WriteU8(status);
    if (body) p.WriteU16(a).WriteU32(b);
    return dmtest::Contents(p);
}

void Offer(CDMCmd& cmd, bool big, const Bytes& body, CLog& log) {
    DMPacket reader = Reader(big, body);
    cmd.HandleResponse(reader, log);
}

class CommandTest : public SimTest {};
class CommandOrderTest : public SimTest, public ::testing::WithParamInterface<bool> {};

TEST(MapCommandResultTest, MapsEveryCodeToItsServiceStatus) {
    const std::pair<int, int> table[] = {{0, 2}, {1, 0}, {2, 1}, {3, 2}, {4, 1},
                                         {5, 1}, {6, 4}, {7, 2}, {-1, 2}};
    for (const auto& [code, status] : table) EXPECT_EQ(MapCommandResult(code), status) << code;
}

TEST_P(CommandOrderTest, TheRequestIsTheHeaderThenTheParameters) {
    const bool big = GetParam();
    TestReadCmd cmd;
    DMPacket p(big);
    p.WriteU8(cmd.GetCommandCode());
    cmd.SerializeCommand(p);
    const Bytes expected =
        big ? Bytes{0x4B, 0x6A, 0x00, 0x14, 7} : Bytes{0x4B, 0x6A, 0x14, 0x00, 7};
    EXPECT_EQ(dmtest::Contents(p), expected);
}

TEST_P(CommandOrderTest, RepliesCompleteByStatusAndOthersAreIgnored) {
    const bool big = GetParam();
    struct Case {
        const char* name;
        Bytes reply;
        int code;
        bool parsed;
    };
    const Case cases[] = {
        {"status 0", Reply(big, 0x6A, 20, 0, 0x1234, 0xA1B2C3D4), kCmdSucceeded, true},
        {"status 1", Reply(big, 0x6A, 20, 1, 0x1234, 0xA1B2C3D4), kCmdFailed, false},
        {"status 2", Reply(big, 0x6A, 20, 2), kCmdRejected, false},
        {"status 9 without body", Reply(big, 0x6A, 20, 9, 0, 0, false), kCmdFailed, false},
        {"other sub-command", Reply(big, 0x6A, 21, 0, 1, 2), kCmdPending, false},
        {"other category", Reply(big, 0x6B, 20, 0, 1, 2), kCmdPending, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CLog log;
        TestReadCmd cmd;
        Offer(cmd, big, c.reply, log);
        EXPECT_EQ(cmd.Result(), c.code);
        EXPECT_EQ(cmd.IsCompleted(), c.code != kCmdPending);
        const TestReadCmd::Fields parsed{0x1234, 0xA1B2C3D4};
        EXPECT_EQ(cmd.Get(), c.parsed ? parsed : kUntouched);
    }
}

TEST_P(CommandOrderTest, AShortReplyRaisesAndLeavesNoFieldWritten) {
    const bool big = GetParam();
    CLog log;
    TestReadCmd cmd;
    Bytes full = Reply(big, 0x6A, 20, 0, 0x1234, 0xA1B2C3D4);
    // The 16-bit value fits, the 32-bit one does not.
    EXPECT_THROW(Offer(cmd, big, Bytes(full.begin(), full.end() - 1), log), CDMPacketException);
    EXPECT_FALSE(cmd.IsCompleted());
    EXPECT_EQ(cmd.Get(), kUntouched);
    Offer(cmd, big, full, log);
    EXPECT_EQ(cmd.Result(), kCmdSucceeded);
}

TEST_P(CommandOrderTest, TheStatusReplyFillsEveryFieldAndAShortOneNone) {
    const bool big = GetParam();
    DMPacket body(big);
    body.WriteU8(kCategoryStatus).WriteU16(0);
    for (std::uint8_t b = 1; b <= 5; ++b) body.WriteU8(b);
    body.WriteU16(0x0607).WriteU8(8).WriteU8(9).WriteU8(10);
    const Bytes full = dmtest::Contents(body);
    CLog log;
    for (std::size_t n = 3; n < full.size(); ++n) {
        CDMCmdQuerySignal cmd;
        EXPECT_THROW(Offer(cmd, big, Bytes(full.begin(), full.begin() + n), log),
                     CDMPacketException)
            << n;
        EXPECT_FALSE(cmd.IsCompleted());
        EXPECT_EQ(cmd.Reply().w, 0);
        EXPECT_EQ(cmd.Reply().s[0], 0);
    }
    CDMCmdQueryRoaming cmd;
    Offer(cmd, big, full, log);
    EXPECT_EQ(cmd.Result(), kCmdSucceeded);
    const DMStatusReply r = cmd.Reply();
    EXPECT_EQ((Bytes{r.s[0], r.s[1], r.s[2], r.s[3], r.s[4]}), (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(r.w, 0x0607);
    EXPECT_EQ((Bytes{r.r[0], r.r[1], r.r[2]}), (Bytes{8, 9, 10}));

    CDMCmdQueryCDMA other;
    Bytes wrongSub = full;
    wrongSub[big ? 2 : 1] = 1;
    Offer(other, big, wrongSub, log);
    EXPECT_FALSE(other.IsCompleted());
}

INSTANTIATE_TEST_SUITE_P(BothOrders, CommandOrderTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Big" : "Little"; });

TEST_F(CommandTest, StatusTwoLogsTheFailureAtLevelOneAndRestoresTheLevel) {
    dmlog::Install(M().config().programFolder);
    std::unique_ptr<CLog> log = CLog::Load(dmlog::kFileName);
    ASSERT_NE(log->LogService(), nullptr);
    log->SetLevel(3);
    dmlog::ResetJournal();
    TestReadCmd cmd;
    Offer(cmd, false, Reply(false, 0x6A, 20, 2), *log);
    EXPECT_EQ(cmd.Result(), kCmdRejected);
    EXPECT_EQ(MapCommandResult(cmd.Result()), kStatusFailure);
    const std::vector<dmlog::Entry> journal = dmlog::Journal();
    ASSERT_EQ(journal.size(), 3u);
    EXPECT_EQ(journal[0].call, dmlog::Call::SetLevel);
    EXPECT_EQ(journal[0].value, 1u);
    EXPECT_EQ(journal[1].call, dmlog::Call::WriteNarrow);
    EXPECT_EQ(journal[1].text, "CmdFail:cmdId=106, SubCmd=20, ErrCode=2");
    EXPECT_EQ(journal[1].level, 1);
    EXPECT_EQ(journal[2].call, dmlog::Call::SetLevel);
    EXPECT_EQ(journal[2].value, 3u);
    EXPECT_EQ(log->GetLevel(), 3);
}

TEST_F(CommandTest, ALaterReplyToACompletedCommandChangesNothing) {
    dmlog::Install(M().config().programFolder);
    std::unique_ptr<CLog> log = CLog::Load(dmlog::kFileName);
    TestReadCmd cmd;
    Offer(cmd, true, Reply(true, 0x6A, 20, 0, 1, 2), *log);
    Offer(cmd, true, Reply(true, 0x6A, 20, 0, 3, 4), *log);
    Offer(cmd, true, Reply(true, 0x6A, 20, 2), *log);
    EXPECT_EQ(cmd.Result(), kCmdSucceeded);
    EXPECT_EQ(cmd.Get(), (TestReadCmd::Fields{1, 2}));
    EXPECT_TRUE(dmlog::NarrowLines().empty());
}

TEST_F(CommandTest, TheFirstCompletionWins) {
    struct Case {
        const char* name;
        std::function<void(CDMCmd&)> first, second;
        int code;
    };
    const Case cases[] = {
        {"cancel, complete", [](CDMCmd& c) { EXPECT_TRUE(c.Cancel()); },
         [](CDMCmd& c) { EXPECT_FALSE(c.Complete(kCmdSucceeded)); }, kCmdCancelled},
        {"complete, cancel", [](CDMCmd& c) { EXPECT_TRUE(c.Complete(kCmdNotSupported)); },
         [](CDMCmd& c) { EXPECT_FALSE(c.Cancel()); }, kCmdNotSupported},
        {"complete, complete", [](CDMCmd& c) { EXPECT_TRUE(c.Complete(kCmdFailed)); },
         [](CDMCmd& c) { EXPECT_FALSE(c.Complete(kCmdSucceeded)); }, kCmdFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestReadCmd cmd;
        c.first(cmd);
        c.second(cmd);
        EXPECT_EQ(cmd.Result(), c.code);
        EXPECT_EQ(cmd.Wait(0, true, false), c.code);
    }
}

TEST_F(CommandTest, APollingWaitTimesOutAndCancelsOnlyWhenAsked) {
    TestReadCmd cmd;
    EXPECT_EQ(cmd.Wait(0, false, false), kCmdTimedOut);
    EXPECT_FALSE(cmd.IsCompleted());
    EXPECT_EQ(cmd.Wait(0, true, false), kCmdTimedOut);
    EXPECT_EQ(cmd.Result(), kCmdCancelled);
    EXPECT_EQ(WaitForSingleObject(cmd.Event(), 0), WAIT_OBJECT_0);
}

TEST_F(CommandTest, AWaitAddsTheExtraTimeOnlyWhenAskedAndCancelClearsTheTimes) {
    struct Case {
        bool addExtra;
        DWORD waited;
    };
    for (const Case c : {Case{true, 800}, Case{false, 500}}) {
        TestReadCmd cmd;
        cmd.SetExtraWaitMs(300);
        const DWORD start = GetTickCount();
        EXPECT_EQ(cmd.Wait(500, true, c.addExtra), kCmdTimedOut);
        EXPECT_EQ(GetTickCount() - start, c.waited);  // machine time
        EXPECT_EQ(cmd.Result(), kCmdCancelled);
        EXPECT_EQ(cmd.TimeoutMs(), 0);
        EXPECT_EQ(cmd.ExtraWaitMs(), 0);
    }
    TestReadCmd kept;
    EXPECT_EQ(kept.Wait(500, false, false), kCmdTimedOut);
    EXPECT_EQ(kept.TimeoutMs(), 500);
}

// A reply handled exactly when the caller's wait runs out: the code and the fields agree.
TEST_F(CommandTest, AReplyAtTheTimeOutGivesACodeThatAgreesWithTheFields) {
    for (int round = 0; round < 20; ++round) {
        CLog log;
        TestReadCmd cmd;
        MachineThread reader([&] {
            Sleep(500);
            Offer(cmd, false, Reply(false, 0x6A, 20, 0, 5, 6), log);
        });
        const int code = cmd.Wait(500, true, false);
        reader.Join();
        if (code == kCmdSucceeded) {
            EXPECT_EQ(cmd.Get(), (TestReadCmd::Fields{5, 6}));
        } else {
            EXPECT_EQ(code, kCmdTimedOut);
            EXPECT_EQ(cmd.Result(), kCmdCancelled);
            EXPECT_EQ(cmd.Get(), kUntouched);
        }
    }
}

TEST_F(CommandTest, ConcurrentCompletionsLeaveOneWholeOutcome) {
    CLog log;
    TestReadCmd cmd;
    std::atomic<int> wins{0};
    {
        std::vector<std::unique_ptr<MachineThread>> threads;
        for (std::uint16_t i = 1; i <= 3; ++i)
            threads.push_back(std::make_unique<MachineThread>(
                [&, i] { Offer(cmd, false, Reply(false, 0x6A, 20, 0, i, i * 1000u), log); }));
        threads.push_back(std::make_unique<MachineThread>([&] { wins += cmd.Cancel(); }));
        threads.push_back(
            std::make_unique<MachineThread>([&] { wins += cmd.Complete(kCmdNotSupported); }));
    }
    const TestReadCmd::Fields f = cmd.Get();
    if (cmd.Result() == kCmdSucceeded) {
        EXPECT_EQ(wins.load(), 0);
        EXPECT_EQ(f.b, f.a * 1000u);
        EXPECT_GE(f.a, 1);
    } else {
        EXPECT_EQ(wins.load(), 1);
        EXPECT_EQ(f, kUntouched);
    }
}

TEST_F(CommandTest, TheLastReleaseOfAHolderDeletesTheCommand) {
    bool destroyed = false;
    DMCmdHolder* holder = DMCmdHolder::Create(new TestReadCmd(&destroyed));
    EXPECT_EQ(holder->RefCount(), 1);
    holder->AddRef();
    {
        DMCmdHolderRef engineRef(holder);
        EXPECT_EQ(holder->RefCount(), 2);
    }
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(holder->RefCount(), 1);
    holder->Release();
    EXPECT_TRUE(destroyed);
}

class TestNotice : public CActiveDMCmd {
public:
    explicit TestNotice(std::uint8_t v, std::vector<int>* sink) : m_value(v), m_sink(sink) {}
    void Deliver() override { m_sink->push_back(m_value); }

private:
    std::uint8_t m_value;
    std::vector<int>* m_sink;
};

class TestParser : public CActiveDMParser {
public:
    const ReportTableEntry* GetReportTable() const override {
        static const ReportTableEntry table[] = {
            {5, static_cast<ReportTableEntry::Factory>(&TestParser::OnFive)},
            {15, static_cast<ReportTableEntry::Factory>(&TestParser::OnNothing)},
            {0, nullptr},
        };
        return table;
    }
    std::vector<int> delivered;

private:
    std::unique_ptr<CActiveDMCmd> OnFive(DMPacket& r) {
        std::uint8_t v = 0;
        r.ReadU8(v);
        return std::make_unique<TestNotice>(v, &delivered);
    }
    std::unique_ptr<CActiveDMCmd> OnNothing(DMPacket&) { return nullptr; }
};

TEST(ReportTableTest, FindsItsReportsAndBuildsTheirNotifications) {
    TestParser parser;
    EXPECT_EQ(parser.FindReport(0), nullptr);
    EXPECT_EQ(parser.FindReport(6), nullptr);
    ASSERT_NE(parser.FindReport(15), nullptr);
    DMPacket none(false);
    EXPECT_EQ(parser.Build(*parser.FindReport(15), none), nullptr);
    const Bytes payload{42};
    DMPacket reader = Reader(false, payload);
    std::unique_ptr<CActiveDMCmd> notice = parser.Build(*parser.FindReport(5), reader);
    ASSERT_NE(notice, nullptr);
    notice->Deliver();
    EXPECT_EQ(parser.delivered, std::vector<int>{42});
}

}  // namespace
