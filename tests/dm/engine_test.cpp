// The command engine against the simulated modem, in both packet byte orders: answers, time-outs,
// late and unreadable replies, not-supported answers, the queue, shutdown and reports.
#include <mutex>
#include <vector>

#include "dm/dm_test.h"
#include "dm/engine_fixture.h"
#include "common/thread_helper.h"

namespace dmtest {
namespace {

using dmpeer::Bytes;
using dmpeer::Script;

INSTANTIATE_TEST_SUITE_P(ByteOrder, EngineTest, ::testing::Values(false, true), OrderName);

TEST_P(EngineTest, AnswerReachesTheCallerWithTypedAndRawFieldsInEitherOrder) {
    StartService();
    Outcome o = Run(1000);
    EXPECT_EQ(o.code, kCmdSucceeded);
    // The typed field follows the packet order, the raw one is least significant byte first in
    // both; either way the caller reads the number of the request.
    EXPECT_EQ(o.fields, (QueryFields{1, 1}));
    ASSERT_EQ(peer->Requests().size(), 1u);
    const Bytes sub = GetParam() ? Bytes{0x01, 0x33} : Bytes{0x33, 0x01};
    EXPECT_EQ(peer->Requests()[0], (Bytes{0x4B, kCategoryDevice, sub[0], sub[1]}));
}

TEST_P(EngineTest, SubmitWithTheLinkDownCancelsAtOnceAndQueuesNothing) {
    StartService();
    peer->Link().SetUp(false);
    const DWORD start = GetTickCount();
    Outcome o = Run(5000);
    EXPECT_EQ(o.code, kCmdCancelled);
    EXPECT_EQ(MapCommandResult(o.code), kStatusFailure);
    EXPECT_EQ(GetTickCount(), start);  // no virtual time passed: nobody waited
    EXPECT_EQ(Dispatcher().Worker()->Queue().Size(), 0u);
    EXPECT_TRUE(peer->Requests().empty());

    peer->Link().SetUp(true);
    EXPECT_EQ(Run(1000).code, kCmdSucceeded);
}

TEST_P(EngineTest, ReplyAroundTheTimeOutGivesCodeAndFieldsThatAgree) {
    StartService();
    for (DWORD delay : {999u, 1000u, 1001u}) {
        SCOPED_TRACE(delay);
        peer->PushScript(Query::Key(), Script{.delayMs = delay});
        Outcome o = Run(1000);
        if (delay < 1000) {
            EXPECT_EQ(o.code, kCmdSucceeded);
        }
        if (delay > 1000) {
            EXPECT_EQ(o.code, kCmdTimedOut);
        }
        if (o.code == kCmdSucceeded) {
            const auto n = static_cast<std::uint16_t>(answered.load());
            EXPECT_EQ(o.fields, (QueryFields{n, n}));
        } else {
            EXPECT_EQ(o.code, kCmdTimedOut);
            EXPECT_EQ(o.fields, QueryFields{});
        }
    }
}

TEST_P(EngineTest, LateReplyAfterATimeOutNeverAnswersTheNextCommandWithTheSameHeader) {
    StartService();
    peer->PushScript(Query::Key(), Script{.delayMs = 1500});
    Outcome first = Run(1000);
    EXPECT_EQ(first.code, kCmdTimedOut);
    // Sent at once: the first request's answer arrives while this one waits.
    Outcome second = Run(3000);
    EXPECT_EQ(second.code, kCmdSucceeded);
    EXPECT_EQ(second.fields, (QueryFields{2, 2}));
    EXPECT_EQ(Engine().DiscardedLateReplies(), 1u);
}

TEST_P(EngineTest, LateReplyThatNeverComesCostsOneExtraTimeOut) {
    StartService();
    peer->PushScript(Query::Key(), Script{.drop = true});
    EXPECT_EQ(Run(1000).code, kCmdTimedOut);
    EXPECT_EQ(Run(1000).code, kCmdTimedOut);  // its answer was taken for the first one's
    Outcome third = Run(1000);
    EXPECT_EQ(third.code, kCmdSucceeded);
    EXPECT_EQ(third.fields, (QueryFields{2, 2}));  // the device's second answer, its own
}

TEST_P(EngineTest, CommandThatExpiredInTheQueueIsNeverSent) {
    StartService();
    peer->PushScript(OtherQuery::Key(), Script{.delayMs = 5000});
    Outcome slow;
    HANDLE thread = StartThread([&] {
        slow = Run<OtherQuery>(6000);
        return 0u;
    });
    ASSERT_TRUE(peer->WaitForRequests(1, 1000));
    Outcome queued = Run(1000);
    EXPECT_EQ(queued.code, kCmdTimedOut);
    EXPECT_EQ(queued.extraWaitMs, static_cast<int>(Config().queueGraceMs));  // one command ahead
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(slow.code, kCmdSucceeded);

    EXPECT_EQ(Run(1000).code, kCmdSucceeded);
    EXPECT_EQ(peer->RequestCount(OtherQuery::Key()), 1u);
    EXPECT_EQ(peer->RequestCount(Query::Key()), 1u);  // the expired one was skipped
}

TEST_P(EngineTest, NotSupportedAnswerGivesCode6AndStatus4) {
    StartService();
    peer->PushScript(Query::Key(), Script{.notSupported = true});
    struct Case {
        const char* name;
        std::function<Outcome()> run;
    } cases[] = {{"scripted", [&] { return Run(1000); }},
                 {"no handler", [&] { return Run<QueryCmd<0x0777>>(1000); }}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Outcome o = c.run();
        EXPECT_EQ(o.code, kCmdNotSupported);
        EXPECT_EQ(MapCommandResult(o.code), kStatusNotSupported);
    }
    EXPECT_EQ(Run(1000).code, kCmdSucceeded);
}

TEST_P(EngineTest, ScriptedStatusByteReachesTheCallerAsItsCode) {
    StartService();
    struct Case {
        std::uint8_t status;
        int code;
    } cases[] = {{2, kCmdRejected}, {7, kCmdFailed}, {0, kCmdSucceeded}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        peer->PushScript(Query::Key(), Script{.status = c.status});
        EXPECT_EQ(Run(1000).code, c.code);
    }
}

TEST_P(EngineTest, UnreadableRepliesCostOnlyTheirOwnCommand) {
    StartService();
    peer->PushScript(Query::Key(), Script{.truncateTo = 6});  // status byte, half a field
    struct Case {
        const char* name;
        std::function<Outcome()> run;
    } cases[] = {{"short reply", [&] { return Run(1000); }},
                 {"parser throws", [&] { return Run<ThrowingReplyCmd>(1000); }}};
    std::size_t dropped = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Outcome o = c.run();
        EXPECT_EQ(o.code, kCmdTimedOut);
        EXPECT_EQ(o.fields, QueryFields{});
        EXPECT_EQ(Engine().DroppedFrames(), ++dropped);
    }
    // The reader lives on, and the unreadable replies were answers: nothing is discarded later.
    Outcome after = Run(1000);
    EXPECT_EQ(after.code, kCmdSucceeded);
    EXPECT_EQ(Engine().DiscardedLateReplies(), 0u);
}

TEST_P(EngineTest, SerialisationFailureCancelsOnlyThatCommand) {
    StartService();
    const DWORD start = GetTickCount();
    EXPECT_EQ(Run<UnwritableCmd>(5000).code, kCmdCancelled);
    EXPECT_EQ(GetTickCount(), start);
    EXPECT_TRUE(peer->Requests().empty());
    EXPECT_EQ(Run(1000).code, kCmdSucceeded);
}

// ---- Reports ----

struct Delivery {
    int parser;
    std::uint8_t value;
    DWORD thread;
};

class Recorder {
public:
    Recorder() : m_event(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~Recorder() { CloseHandle(m_event); }
    void Add(Delivery d) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_list.push_back(d);
        }
        SetEvent(m_event);
    }
    // Waits on the machine clock for n deliveries in all.
    std::vector<Delivery> WaitFor(std::size_t n) {
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_list.size() >= n) return m_list;
            }
            if (WaitForSingleObject(m_event, 10000) != WAIT_OBJECT_0) return List();
        }
    }
    std::vector<Delivery> List() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_list;
    }
    std::atomic<int> built{0};
    std::atomic<int> destroyed{0};

private:
    std::mutex m_mutex;
    std::vector<Delivery> m_list;
    HANDLE m_event;
};

class Note : public CActiveDMCmd {
public:
    Note(Recorder& r, int parser, std::uint8_t value, std::function<void()> extra)
        : m_r(r), m_parser(parser), m_value(value), m_extra(std::move(extra)) {}
    ~Note() override { ++m_r.destroyed; }
    void Deliver() override {
        if (m_extra) m_extra();
        m_r.Add({m_parser, m_value, GetCurrentThreadId()});
    }

private:
    Recorder& m_r;
    int m_parser;
    std::uint8_t m_value;
    std::function<void()> m_extra;
};

// Lists the given ids; each notification carries the payload's first byte.
class TestParser : public CActiveDMParser {
public:
    TestParser(Recorder& r, int number, std::vector<std::uint32_t> ids, bool throws = false)
        : m_r(r), m_number(number), m_throws(throws) {
        for (std::uint32_t id : ids)
            m_table.push_back({id, static_cast<ReportTableEntry::Factory>(&TestParser::Make)});
        m_table.push_back({0, nullptr});
    }
    const ReportTableEntry* GetReportTable() const override { return m_table.data(); }
    std::function<void()> onDeliver;
    std::function<void()> onBuild;  // on the engine's reader thread
    HANDLE builtEvent = nullptr;

private:
    std::unique_ptr<CActiveDMCmd> Make(DMPacket& reader) {
        if (onBuild) onBuild();
        if (m_throws) throw std::bad_alloc();
        std::uint8_t value = 0;
        reader.ReadU8(value);
        auto note = std::make_unique<Note>(m_r, m_number, value, onDeliver);
        ++m_r.built;
        if (builtEvent != nullptr) SetEvent(builtEvent);
        return note;
    }
    Recorder& m_r;
    int m_number;
    bool m_throws;
    std::vector<ReportTableEntry> m_table;
};

TEST_P(EngineTest, ReportReachesEveryParserListingItsIdEachReadingFromThePayloadStart) {
    Recorder r;
    // Ids that none of the service's own parsers lists.
    TestParser both(r, 1, {50, 51}), five(r, 2, {50}), seven(r, 3, {52});
    StartService();
    auto stopFirst = StopAtScopeEnd();
    for (TestParser* p : {&both, &five, &seven}) Dispatcher().AddReportParser(p);

    peer->InjectReport(50, {0xAA, 0x01});
    std::vector<Delivery> got = r.WaitFor(2);
    ASSERT_EQ(got.size(), 2u);
    peer->InjectReport(51, {0xBB});
    got = r.WaitFor(3);
    ASSERT_EQ(got.size(), 3u);

    std::vector<std::pair<int, int>> seen;
    for (const Delivery& d : got) seen.emplace_back(d.parser, d.value);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{1, 0xAA}, {1, 0xBB}, {2, 0xAA}}));
    // One delivery thread per parser, neither the caller's nor each other's.
    DWORD thread1 = 0, thread2 = 0;
    for (const Delivery& d : got) (d.parser == 1 ? thread1 : thread2) = d.thread;
    EXPECT_NE(thread1, thread2);
    EXPECT_NE(thread1, GetCurrentThreadId());
}

TEST_P(EngineTest, ThrowingFactoryCostsOnlyItsOwnNotification) {
    Recorder r;
    // An id that none of the service's own parsers lists.
    TestParser failing(r, 1, {50}, true), working(r, 2, {50});
    StartService();
    auto stopFirst = StopAtScopeEnd();
    Dispatcher().AddReportParser(&failing);
    Dispatcher().AddReportParser(&working);
    peer->InjectReport(50, {0x07});
    std::vector<Delivery> got = r.WaitFor(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].parser, 2);
    EXPECT_EQ(Engine().DroppedFrames(), 1u);
    EXPECT_EQ(Run(1000).code, kCmdSucceeded);
}

TEST_P(EngineTest, ANotificationMayIssueCommandsWhileItIsDelivered) {
    Recorder r;
    TestParser parser(r, 1, {21});
    int code = -1;
    parser.onDeliver = [&] { code = Run(1000).code; };
    StartService();
    auto stopFirst = StopAtScopeEnd();
    Dispatcher().AddReportParser(&parser);
    peer->InjectReport(21, {0x01});
    ASSERT_EQ(r.WaitFor(1).size(), 1u);
    EXPECT_EQ(code, kCmdSucceeded);
}

TEST_P(EngineTest, ARepeatedReplyThatArrivedBeforeTheNextRequestWentOutIsNoise) {
    Recorder r;
    TestParser parser(r, 1, {9});
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // The reader is held in this report's factory until the next request has gone out.
    parser.onBuild = [&] { WaitForSingleObject(release, 10000); };
    StartService();
    auto stopFirst = StopAtScopeEnd();
    Dispatcher().AddReportParser(&parser);
    ASSERT_EQ(Run(1000).fields, (QueryFields{1, 1}));
    // The device sends the first reply again, behind a report.
    DMPacket reply(GetParam());
    reply.WriteU8(0x4B).WriteU8(kCategoryDevice).WriteU16(0x0133).WriteU8(0).WriteU16(1);
    dmpeer::AppendRaw(reply, 1, 2);
    peer->InjectReport(9, {0});
    peer->SendRaw(EncodeDMFrame(DMFrameKind::Reply, 0, reply.Data(), reply.Size()));
    Outcome second;
    MachineThread caller([&] { second = Run(3000); });
    ASSERT_TRUE(peer->WaitForRequests(2, 5000));
    SetEvent(release);
    caller.Join();
    EXPECT_EQ(second.code, kCmdSucceeded);
    EXPECT_EQ(second.fields, (QueryFields{2, 2}));
    EXPECT_EQ(Engine().StaleReplies(), 1u);
    CloseHandle(release);
}

// ---- Shutdown ----

TEST_P(EngineTest, ShutdownReturnsTheCurrentAndTheQueuedCallerAndJoinsEveryThread) {
    Recorder r;
    TestParser parser(r, 1, {5});
    StartService();
    auto stopFirst = StopAtScopeEnd();
    Dispatcher().AddReportParser(&parser);
    peer->InjectReport(5, {0x01});  // a delivery thread runs too
    ASSERT_EQ(r.WaitFor(1).size(), 1u);

    peer->PushScript(Query::Key(), Script{.drop = true});
    auto* current = new Query;
    auto* queued = new OtherQuery;
    DMCmdHolder* holders[] = {DMCmdHolder::Create(current), DMCmdHolder::Create(queued)};
    for (DMCmdHolder* h : holders) ASSERT_TRUE(SubmitCommand(Dispatcher(), h));
    int codes[2] = {-1, -1};
    HANDLE callers[2];
    for (int i = 0; i < 2; ++i)
        callers[i] = StartThread([&, i] {
            codes[i] = holders[i]->Command()->Wait(30000, true, false);
            return 0u;
        });
    ASSERT_TRUE(peer->WaitForRequests(1, 1000));

    const DWORD start = GetTickCount();
    StopEngine(Engine());
    StopDispatcher(Dispatcher());
    WaitForMultipleObjects(2, callers, TRUE, INFINITE);
    EXPECT_LT(GetTickCount() - start, 30000u);  // virtual time: neither waited out its time-out
    EXPECT_EQ(codes[0], kCmdCancelled);
    EXPECT_EQ(codes[1], kCmdCancelled);
    EXPECT_FALSE(Dispatcher().Worker()->IsRunning());
    EXPECT_FALSE(Engine().ThreadsRunning());
    EXPECT_EQ(peer->RequestCount(OtherQuery::Key()), 0u);
    // Stopped: a new command is refused at once.
    EXPECT_EQ(Run(1000).code, kCmdCancelled);

    for (int i = 0; i < 2; ++i) {
        CloseHandle(callers[i]);
        holders[i]->Release();
    }
    StopEngine(Engine());  // a second stop does nothing
    service.reset();
}

TEST_P(EngineTest, ShutdownDestroysQueuedNotificationsUndelivered) {
    Recorder r;
    TestParser parser(r, 1, {5});
    HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE built = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    parser.builtEvent = built;
    // The first delivery holds its thread until the machine clock moves, which happens only
    // once the stopping thread waits for the delivery thread, that is after the stop request.
    parser.onDeliver = [&] {
        if (WaitForSingleObject(entered, 0) == WAIT_OBJECT_0) return;
        SetEvent(entered);
        WaitForSingleObject(never, 1000);
    };
    StartService();
    auto stopFirst = StopAtScopeEnd();
    Dispatcher().AddReportParser(&parser);
    peer->InjectReport(5, {0x01});
    ASSERT_EQ(WaitForSingleObject(entered, 5000), WAIT_OBJECT_0);
    peer->InjectReport(5, {0x02});
    while (r.built.load() < 2) ASSERT_EQ(WaitForSingleObject(built, 5000), WAIT_OBJECT_0);

    HANDLE stopper = StartThread([&] {
        StopEngine(Engine());
        return 0u;
    });
    WaitForSingleObject(stopper, INFINITE);
    std::vector<Delivery> got = r.List();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].value, 0x01);
    EXPECT_EQ(r.destroyed.load(), 2);  // the second was destroyed without being delivered
    for (HANDLE h : {stopper, entered, never, built}) CloseHandle(h);
}

}  // namespace
}  // namespace dmtest
