// The message boxes of both schemes over the simulated modem: loading, the device's message
// reports, placing, status changes, deletions, and their locks.
#include <string>

#include "tests/dm/sms_fixture.h"

namespace dmtest {
namespace {

class SMSBoxTest : public SMSServiceTest {};
INSTANTIATE_TEST_SUITE_P(ByteOrder, SMSBoxTest, ::testing::Values(false, true), OrderName);

// The box a report reaches and the device box it shows.
struct ReportRoute {
    const char* name;
    bool rc;
    int box;        // the sub-service's box, from 1
    int deviceBox;  // the device box it shows
};

TEST_P(SMSBoxTest, ANewMessageReportIsReadOnTheDeliveryThreadAndListedWithItsSlot) {
    struct Case {
        ReportRoute route;
        bool loadedFirst;
    };
    const Case cases[] = {
        {{"report 4", false, 1, 0}, false},
        {{"report 4", false, 1, 0}, true},
        {{"report 20 (1, 1, 7)", true, 4, 2}, false},
        {{"report 20 (1, 1, 7)", true, 4, 2}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.route.name << (c.loadedFirst ? ", loaded" : ""));
        FreshDevice();
        Start({{c.route.deviceBox, MessageBox(10, {{2, Message(4, 9, "older")}})}});
        IMessageBox& box = Box(c.route.rc, c.route.box);
        BoxRecorder sink;
        box.SetEventSink(&sink);
        if (c.loadedFirst) {
            ASSERT_EQ(Load(box), kStatusSuccess);
        }
        PutMessage(c.route.deviceBox, 7, Message(6, 9, "new"));
        if (c.route.rc)
            dmpeer::InjectNewSMS_RC(*peer, 1, 1, 7);
        else
            dmpeer::InjectNewSMS(*peer, 7);
        EXPECT_EQ(sink.WaitFor(1), std::vector<std::string>{"new 0"});
        EXPECT_NE(sink.LastThread(), GetCurrentThreadId());
        EXPECT_TRUE(box.IsLoaded());
        EXPECT_EQ(Texts(box), (std::vector<std::string>{"new", "older"}));
        EXPECT_EQ(Slots(box), (std::vector<int>{7, 2}));
        // A message read for a report is unread; one the load found keeps its device status.
        EXPECT_EQ(box.GetAt(0)->status, c.loadedFirst ? 1 : 0);
    }
}

TEST_P(SMSBoxTest, PlacesNewestFirstEqualTimesInArrivalOrderAndASlotOnce) {
    Start({{0, MessageBox(10, {{0, Message(5, 10, "a")}, {1, Message(3, 10, "b")}})}});
    IMessageBox& box = Box(false, 1);
    BoxRecorder listener;
    ASSERT_EQ(Load(box), kStatusSuccess);
    EXPECT_EQ(Texts(box), (std::vector<std::string>{"a", "b"}));
    box.AddListener(&listener);
    BoxRecorder sink;
    box.SetEventSink(&sink);
    struct Step {
        int slot;
        SMSRecord message;
        const char* call;  // the listener's
        std::vector<std::string> texts;
    };
    const Step steps[] = {
        {2, Message(5, 10, "a2"), "added 1", {"a", "a2", "b"}},  // same time as a: after it
        {3, Message(5, 10, "a3"), "added 2", {"a", "a2", "a3", "b"}},
        {4, Message(9, 10, "c"), "added 0", {"c", "a", "a2", "a3", "b"}},
        {1, Message(3, 10, "b again"), "changed 4", {"c", "a", "a2", "a3", "b again"}},
    };
    std::size_t calls = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.call);
        PutMessage(0, s.slot, s.message);
        dmpeer::InjectNewSMS(*peer, static_cast<std::uint8_t>(s.slot));
        ++calls;
        ASSERT_EQ(listener.WaitFor(calls).size(), calls);
        sink.WaitFor(calls);
        EXPECT_EQ(listener.Calls().back(), s.call);
        EXPECT_EQ(Texts(box), s.texts);
    }
    EXPECT_EQ(Slots(box), (std::vector<int>{4, 0, 2, 3, 1}));
}

TEST_P(SMSBoxTest, AStatusChangeKeepsTheSlotForALaterDelete) {
    for (bool rc : {false, true}) {
        SCOPED_TRACE(rc);
        FreshDevice();
        Start({{0, MessageBox(10, {{5, Message(5, 10, "x", 1)}, {0, Message(1, 1, "y", 1)}})}});
        IMessageBox& box = Box(rc, 1);
        ASSERT_EQ(Load(box), kStatusSuccess);
        ASSERT_EQ(Slots(box), (std::vector<int>{5, 0}));
        const std::size_t readsBefore = Count(rc ? SmsBoxKey(kBoxRead) : SmsKey(kSmsRead));
        EXPECT_TRUE(box.SetStatus(0, 1));  // the same status: nothing sent
        EXPECT_EQ(Count(rc ? SmsBoxKey(kBoxRead) : SmsKey(kSmsRead)), readsBefore);
        EXPECT_TRUE(box.SetStatus(0, 0));
        EXPECT_EQ(box.GetAt(0)->status, 0);
        // Read again with the mark byte 1 (the message is now read).
        const std::vector<Bytes> reads = Params(rc ? SmsBoxKey(kBoxRead) : SmsKey(kSmsRead));
        EXPECT_EQ(reads.back(), rc ? Bytes({0, 5, 1}) : Bytes({5, 1}));
        EXPECT_EQ(box.GetUnreadCount(), 1);
        EXPECT_TRUE(box.DeleteMessage(0));
        const dmpeer::SMSBox device = messages->Box(0);
        EXPECT_EQ(device.slots.count(5), 0u);
        EXPECT_EQ(device.slots.count(0), 1u);
        EXPECT_EQ(Texts(box), std::vector<std::string>{"y"});
    }
}

TEST_P(SMSBoxTest, BoxesOfTheSelectingSchemeSelectTheirOwnBoxBeforeEachCommand) {
    Start({{0, MessageBox(4, {{0, Message(1, 1, "in 0")}})},
           {4, MessageBox(4, {{0, Message(1, 1, "in 4")}})}});
    IMessageBox& first = Box(false, 1);
    IMessageBox& third = Box(false, 3);
    ASSERT_EQ(Load(first), kStatusSuccess);
    ASSERT_EQ(Load(third), kStatusSuccess);  // the device now has box 4 selected
    EXPECT_TRUE(first.DeleteMessage(0));
    EXPECT_EQ(messages->Box(0).slots.size(), 0u);
    EXPECT_EQ(messages->Box(4).slots.size(), 1u);
    SMSRecord added = Message(2, 2, "added");
    bool present = true;
    EXPECT_TRUE(third.AddMessage(&added, &present));
    EXPECT_FALSE(present);
    EXPECT_EQ(messages->Box(4).slots.size(), 2u);
    EXPECT_EQ(messages->Box(0).slots.size(), 0u);
    EXPECT_EQ(Slots(third), (std::vector<int>{1, 0}));
    // One select per command, also when the device should be on the box already: a load's
    // query and each of its four reads, the delete, the write.
    const std::vector<Bytes> selects = Params(SmsKey(kSmsSelect));
    ASSERT_EQ(selects.size(), 12u);
    EXPECT_EQ(std::vector<Bytes>(selects.begin(), selects.begin() + 5), std::vector<Bytes>(5, {0}));
    EXPECT_EQ(std::vector<Bytes>(selects.begin() + 5, selects.begin() + 10),
              std::vector<Bytes>(5, {4}));
    EXPECT_EQ(std::vector<Bytes>(selects.begin() + 10, selects.end()),
              (std::vector<Bytes>{{0}, {4}}));
}

TEST_P(SMSBoxTest, ADeleteRacingAReportForAnotherBoxHitsItsOwnBox) {
    Start({{0, MessageBox(4, {{0, Message(1, 1, "in 0")}, {1, Message(1, 2, "in 0 b")}})},
           {4, MessageBox(4, {{0, Message(1, 1, "in 4")}})}});
    IMessageBox& first = Box(false, 1);
    IMessageBox& third = Box(false, 3);
    ASSERT_EQ(Load(first), kStatusSuccess);
    ASSERT_EQ(Load(third), kStatusSuccess);
    BoxRecorder sink;
    third.SetEventSink(&sink);
    PutMessage(4, 2, Message(3, 3, "new in 4"));
    // Report 14 makes the third box read device box 4 on the delivery thread, while this thread
    // deletes in box 0.
    peer->InjectReport(14, Bytes{2});
    EXPECT_TRUE(first.DeleteMessage(0));
    EXPECT_TRUE(first.DeleteMessage(0));
    EXPECT_EQ(sink.WaitFor(1), std::vector<std::string>{"new 0"});
    EXPECT_EQ(messages->Box(0).slots.size(), 0u);
    EXPECT_EQ(messages->Box(4).slots.size(), 2u);
    EXPECT_EQ(Texts(third), (std::vector<std::string>{"new in 4", "in 4"}));
}

TEST_P(SMSBoxTest, AReportOnAnUnloadedBoxRacingALoadLoadsOnce) {
    Start({{0, MessageBox(3, {{0, Message(1, 1, "a")}, {1, Message(1, 2, "b")}})}});
    IMessageBox& box = Box(false, 1);
    BoxRecorder sink;
    box.SetEventSink(&sink);
    // The query answers late: the report comes while the application's load waits for it.
    peer->PushScript(SmsKey(kSmsQuery), dmpeer::Script{.delayMs = 2000});
    dmpeer::InjectNewSMS(*peer, 1, 500);
    EXPECT_EQ(Load(box), kStatusSuccess);
    EXPECT_EQ(sink.WaitFor(1), std::vector<std::string>{"new 0"});
    EXPECT_EQ(Count(SmsKey(kSmsQuery)), 1u);
    EXPECT_EQ(Count(SmsKey(kSmsRead)), 3u);
    EXPECT_EQ(Texts(box), (std::vector<std::string>{"b", "a"}));
}

TEST_P(SMSBoxTest, AFailedLoadLeavesTheBoxUnloadedAndARetryLoads) {
    for (bool rc : {false, true}) {
        SCOPED_TRACE(rc);
        FreshDevice();
        Start({{0, MessageBox(3, {{2, Message(1, 1, "a")}})}});
        IMessageBox& box = Box(rc, 1);
        peer->PushScript(rc ? SmsBoxKey(kBoxQuery) : SmsKey(kSmsQuery),
                         dmpeer::Script{.status = 1});
        EXPECT_EQ(Load(box), kStatusFailure);
        EXPECT_FALSE(box.IsLoaded());
        EXPECT_EQ(box.GetCount(), 0);
        EXPECT_EQ(Load(box), kStatusSuccess);
        EXPECT_TRUE(box.IsLoaded());
        EXPECT_EQ(box.GetCapacity(), 3);
        EXPECT_EQ(Slots(box), std::vector<int>{2});
    }
}

class Progress : public ILoadProgress {
public:
    std::function<void(int)> onSlot;
    std::vector<std::string> seen;
    void OnRecordLoaded(const void* loaded, int total, int slot) override {
        const auto* record = static_cast<const SMSRecord*>(loaded);
        seen.push_back(record->text + "/" + std::to_string(total) + "/" + std::to_string(slot));
        if (onSlot) onSlot(slot);
    }
};

TEST_P(SMSBoxTest, ALoadReportsEverySlotAndHoldsNoLockAcrossItsCallbacks) {
    for (bool rc : {false, true}) {
        SCOPED_TRACE(rc);
        FreshDevice();
        Start({{0, MessageBox(3, {{0, Message(1, 1, "old")}, {2, Message(5, 1, "new")}})}});
        IMessageBox& box = Box(rc, 1);
        BoxRecorder listener;
        box.AddListener(&listener);
        Progress progress;
        int countSeenElsewhere = -1;
        // Another thread takes the box lock from inside the callback: it would wait forever if
        // the load held the lock across its reads and callbacks.
        progress.onSlot = [&](int slot) {
            if (slot != 1) return;
            MachineThread other([&] {
                box.Lock();
                countSeenElsewhere = box.GetCount();
                box.Unlock();
            });
        };
        int status = -1;
        box.Load(&progress, &status);
        EXPECT_EQ(status, kStatusSuccess);
        EXPECT_EQ(countSeenElsewhere, 1);
        // The slot that holds nothing is reported with the defaults.
        EXPECT_EQ(progress.seen, (std::vector<std::string>{"old/3/0", "/3/1", "new/3/2"}));
        EXPECT_EQ(listener.Calls(), (std::vector<std::string>{"added 0", "added 0"}));
        EXPECT_EQ(Texts(box), (std::vector<std::string>{"new", "old"}));
    }
}

// The sink is called outside the box lock: it may hand work that needs the box to another
// thread and wait for it.
TEST_P(SMSBoxTest, TheSinkRunsOutsideTheBoxLock) {
    class WaitingSink : public BoxRecorder {
    public:
        explicit WaitingSink(IMessageBox& box) : m_box(box) {}
        int OnNewSMS(int p) override {
            UseBoxElsewhere();
            return BoxRecorder::OnNewSMS(p);
        }
        void OnBoxFull() override {
            UseBoxElsewhere();
            BoxRecorder::OnBoxFull();
        }

    private:
        void UseBoxElsewhere() {
            MachineThread other([this] {
                m_box.Lock();
                m_box.Unlock();
            });
        }
        IMessageBox& m_box;
    };
    Start({{0, MessageBox(3, {{0, Message(1, 1, "a")}})}});
    IMessageBox& box = Box(false, 1);
    ASSERT_EQ(Load(box), kStatusSuccess);
    WaitingSink sink(box);
    box.SetEventSink(&sink);
    peer->InjectReport(3, {});
    PutMessage(0, 1, Message(2, 1, "b"));
    dmpeer::InjectNewSMS(*peer, 1);
    EXPECT_EQ(sink.WaitFor(2), (std::vector<std::string>{"full", "new 0"}));
}

TEST_P(SMSBoxTest, ListenersAreAddedAndRemovedUnderTheBoxLock) {
    Start({{0, MessageBox(3)}});
    IMessageBox& box = Box(false, 1);
    BoxRecorder listener;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    box.Lock();
    MachineThread other([&] {
        box.AddListener(&listener);
        box.RemoveListener(&listener);
        SetEvent(done);
    });
    // The machine clock moves on only while every thread waits: the other one waits for the lock.
    EXPECT_EQ(WaitForSingleObject(done, 1000), static_cast<DWORD>(WAIT_TIMEOUT));
    box.Unlock();
    EXPECT_EQ(WaitForSingleObject(done, 1000), WAIT_OBJECT_0);
    CloseHandle(done);
}

TEST_P(SMSBoxTest, PositionsOutsideTheListAreRefused) {
    Start({{0, MessageBox(3, {{0, Message(1, 1, "a")}})}});
    for (bool rc : {false, true}) {
        IMessageBox& box = Box(rc, 1);
        ASSERT_EQ(Load(box), kStatusSuccess);
        for (int position : {-1, 1, 2, 100}) {
            EXPECT_EQ(box.GetAt(position), nullptr) << position;
            EXPECT_FALSE(box.DeleteMessage(position)) << position;
            EXPECT_FALSE(box.SetStatus(position, 0)) << position;
        }
        EXPECT_EQ(box.GetCount(), 1);
    }
    EXPECT_EQ(Count(SmsKey(kSmsDelete)) + Count(SmsBoxKey(kBoxDelete)), 0u);
}

TEST_P(SMSBoxTest, AddingWritesOnlyNewMessagesWhileThereIsRoom) {
    for (bool rc : {false, true}) {
        SCOPED_TRACE(rc);
        FreshDevice();
        Start({{1, MessageBox(2, {{0, Message(1, 1, "a")}})}});
        IMessageBox& box = Box(rc, 2);
        ASSERT_EQ(Load(box), kStatusSuccess);
        const auto writes = [&] { return Count(rc ? SmsBoxKey(kBoxWrite) : SmsKey(kSmsWrite)); };
        struct Step {
            SMSRecord message;
            bool result, present;
            std::size_t writes;
        };
        const Step steps[] = {
            {Message(1, 1, "a"), true, true, 0},    // listed already
            {Message(2, 1, "b"), true, false, 1},   // written to slot 1
            {Message(3, 1, "c"), false, false, 1},  // the box is full
        };
        for (const Step& s : steps) {
            bool present = !s.present;
            EXPECT_EQ(box.AddMessage(&s.message, &present), s.result) << s.message.text;
            EXPECT_EQ(present, s.present) << s.message.text;
            EXPECT_EQ(writes(), s.writes) << s.message.text;
        }
        EXPECT_EQ(Slots(box), (std::vector<int>{1, 0}));
    }
}

TEST_P(SMSBoxTest, TheBoxNamingBox2CountsUnreadByTheDevicesCounter) {
    dmpeer::SMSBox two = MessageBox(3, {{0, Message(1, 1, "a", 1)}, {1, Message(1, 2, "b", 1)}});
    two.trailing = 9;
    dmpeer::SMSBox one = MessageBox(3, {{0, Message(1, 1, "c", 1)}});
    one.trailing = 4;
    Start({{1, one}, {2, two}});
    ISMSAPI_RC& api = *SmsRC().GetSMSAPI_RC();
    IMessageBox& box2 = *SmsRC().GetBox4();  // device box 2
    ASSERT_EQ(Load(box2), kStatusSuccess);
    EXPECT_EQ(api.GetBox2Counter(), 9);
    EXPECT_EQ(box2.GetUnreadCount(), 9);
    IMessageBox& box1 = *SmsRC().GetBox2();  // device box 1: its reads leave the counter
    ASSERT_EQ(Load(box1), kStatusSuccess);
    EXPECT_EQ(api.GetBox2Counter(), 9);
    EXPECT_EQ(box1.GetUnreadCount(), 1);
}

TEST_P(SMSBoxTest, BoxFullReportsReachTheirBoxesSink) {
    struct Case {
        ReportRoute route;
        std::uint32_t id;
        Bytes payload;
    };
    const Case cases[] = {
        {{"report 3", false, 1, 0}, 3, {}},
        {{"report 21, A 0", true, 1, 0}, 21, {0}},
        {{"report 21, A 2", true, 2, 1}, 21, {2}},
    };
    Start({});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.route.name);
        BoxRecorder sink;
        IMessageBox& box = Box(c.route.rc, c.route.box);
        box.SetEventSink(&sink);
        peer->InjectReport(c.id, c.payload);
        EXPECT_EQ(sink.WaitFor(1), std::vector<std::string>{"full"});
        box.SetEventSink(nullptr);
    }
}

TEST_P(SMSBoxTest, ReportsOfTheBoxNamingSchemeReachTheBoxOfTheirBytes) {
    struct Case {
        Bytes bytes;  // A, B
        int box;      // of the box-naming sub-service
        int deviceBox;
    };
    const Case cases[] = {{{1, 1}, 4, 2}, {{0, 1}, 4, 2}, {{1, 0}, 2, 1}, {{0, 0}, 1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << int(c.bytes[0]) << ", " << int(c.bytes[1]));
        FreshDevice();
        Start({{c.deviceBox, MessageBox(8, {{7, Message(1, 1, "m")}})}});
        BoxRecorder sinks[4];
        for (int i = 0; i < 4; ++i) Box(true, i + 1).SetEventSink(&sinks[i]);
        dmpeer::InjectNewSMS_RC(*peer, c.bytes[0], c.bytes[1], 7);
        EXPECT_EQ(sinks[c.box - 1].WaitFor(1), std::vector<std::string>{"new 0"});
        for (int i = 0; i < 4; ++i)
            if (i != c.box - 1) {
                EXPECT_TRUE(sinks[i].Calls().empty()) << i;
            }
        EXPECT_EQ(Slots(Box(true, c.box)), std::vector<int>{7});
    }
}

TEST_P(SMSBoxTest, ACptReportMakesBothSchemesReadTheirFirstBoxAgain) {
    Start({{0, MessageBox(4, {{0, Message(1, 1, "a")}})}});
    IMessageBox& first = Box(false, 1);
    IMessageBox& firstRC = Box(true, 1);
    ASSERT_EQ(Load(first), kStatusSuccess);
    ASSERT_EQ(Load(firstRC), kStatusSuccess);
    BoxRecorder sink("box"), sinkRC("box-naming");
    first.SetEventSink(&sink);
    firstRC.SetEventSink(&sinkRC);
    PutMessage(0, 3, Message(2, 1, "cpt"));
    peer->InjectReport(15, Bytes{3});
    EXPECT_EQ(sink.WaitFor(1), std::vector<std::string>{"box cpt 0"});
    EXPECT_EQ(sinkRC.WaitFor(1), std::vector<std::string>{"box-naming cpt 0"});
    EXPECT_EQ(Params(SmsKey(kSmsRead)).back(), Bytes({3, 0}));
    EXPECT_EQ(Params(SmsBoxKey(kBoxRead)).back(), Bytes({0, 3, 0}));
    EXPECT_EQ(Texts(first), (std::vector<std::string>{"cpt", "a"}));
    EXPECT_EQ(Texts(firstRC), (std::vector<std::string>{"cpt", "a"}));
}

// The service goes while reports for its boxes wait for delivery: none is delivered, and none
// touches a box after it went.
TEST_P(SMSBoxTest, DestroyingTheServiceDropsQueuedBoxNotifications) {
    Start({{0, MessageBox(4, {{0, Message(1, 1, "a")}, {1, Message(1, 2, "b")}})}});
    IMessageBox& box = Box(false, 1);
    ASSERT_EQ(Load(box), kStatusSuccess);
    BoxRecorder sink;
    box.SetEventSink(&sink);
    // The first report's read hangs on the device; the others queue behind it.
    peer->SetDefaultScript(SmsKey(kSmsRead), dmpeer::Script{.drop = true});
    const std::size_t before = peer->Requests().size();
    for (std::uint8_t slot : {0, 1, 0}) dmpeer::InjectNewSMS(*peer, slot);
    ASSERT_TRUE(peer->WaitForRequests(before + 1, 10000));
    service.reset();
    EXPECT_TRUE(sink.Calls().empty());
}

}  // namespace
}  // namespace dmtest
