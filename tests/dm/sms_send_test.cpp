// Sending messages in two stages (the command's reply, then the device's send-status report) in
// both schemes, and the send-status report's way to the send registered last.
#include <map>
#include <string>

#include "tests/dm/sms_fixture.h"

namespace dmtest {
namespace {

class SMSSendTest : public SMSServiceTest {
protected:
    void SetUp() override {
        SMSServiceTest::SetUp();
        Start({{0, MessageBox(5)}});
    }
    int Send(bool rc, const std::string& number, int* status) {
        SMSRecord r = Message(1, 1, "hello");
        r.number = number;
        return rc ? SmsRC().SendSMS_RC(&r, 0, status) : Sms().SendSMS(&r, 0, status);
    }
};
INSTANTIATE_TEST_SUITE_P(ByteOrder, SMSSendTest, ::testing::Values(false, true), OrderName);

TEST_P(SMSSendTest, WaitsForTheReplyThenTheReport) {
    struct Case {
        const char* name;
        bool rc;
        int reportWord;  // -1: no report
        bool refused;    // the send command itself is refused
        int status, result;
        bool waitsForReport;  // the full report wait passes
    };
    const Case cases[] = {
        {"sent", false, 0x8000, false, 0, 0, false},
        {"sent, box-naming", true, 0x8000, false, 0, 0, false},
        {"264", false, 264, false, 1, 4, false},
        {"201, box-naming", true, 201, false, 1, 2, false},
        {"no report", false, -1, false, 2, 1, true},
        {"no report, box-naming", true, -1, false, 2, 1, true},
        {"refused", false, -1, true, 1, 1, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string number = "555" + std::to_string(n++);
        if (c.reportWord >= 0)
            messages->ReportOnSend(number, static_cast<std::uint16_t>(c.reportWord));
        if (c.refused) peer->PushScript(SmsKey(kSmsSend), dmpeer::Script{.status = 1});
        const DWORD start = GetTickCount();
        int status = -1;
        EXPECT_EQ(Send(c.rc, number, &status), c.result);
        EXPECT_EQ(status, c.status);
        // Machine time: a report that came before the reply ends the wait at once.
        const DWORD waited = GetTickCount() - start;
        if (c.waitsForReport)
            EXPECT_GE(waited, SMSAPICore::kReportWaitMs);
        else
            EXPECT_LT(waited, SMSAPICore::kSendWaitMs);
    }
}

TEST_P(SMSSendTest, ANumberLongerThanItsFieldIsRefusedWithoutSending) {
    for (bool rc : {false, true}) {
        // 18 narrow bytes, 34 once coded as UCS-2; then 33 digits.
        for (const std::string& number :
             {"\xD6\xD0" + std::string(16, '1'), std::string(33, '1')}) {
            int status = -1;
            EXPECT_EQ(Send(rc, number, &status), 1);
            EXPECT_EQ(status, kStatusFailure);
        }
    }
    EXPECT_EQ(peer->RequestCount(SmsKey(kSmsSend)), 0u);
    int status = -1;
    EXPECT_EQ(Send(false, std::string(32, '1'), &status), 1);  // fits: sent, no report
    EXPECT_EQ(peer->RequestCount(SmsKey(kSmsSend)), 1u);
}

TEST_P(SMSSendTest, ForceUcs2ShapesTheNextSend) {
    for (bool rc : {false, true}) {
        for (int force : {1, 0}) {
            if (rc)
                SmsRC().SetForceUCS2(force);
            else
                Sms().SetForceUCS2(force);
            messages->ReportOnSend("5550199", 0x8000);
            EXPECT_EQ(Send(rc, "5550199", nullptr), 0);
            const std::vector<Bytes> sends = Params(SmsKey(kSmsSend));
            ASSERT_FALSE(sends.empty());
            // After the number's field (a length byte and 32 bytes): the coding pair.
            const Bytes& last = sends.back();
            ASSERT_GT(last.size(), 35u);
            const Bytes pair{last[33], last[34]};
            EXPECT_EQ(pair, force ? Bytes({0, 4}) : Bytes({1, 2})) << rc << force;
        }
    }
}

// The force flag may change on another thread while a send is built: the send carries one of
// the two codings, never a mixture.
TEST_P(SMSSendTest, TheForceFlagMayChangeDuringASend) {
    messages->ReportOnSend("5550198", 0x8000);
    {
        MachineThread toggler([&] {
            for (int i = 0; i < 20; ++i) Sms().SetForceUCS2(i % 2);
        });
        EXPECT_EQ(Send(false, "5550198", nullptr), 0);
    }
    const Bytes last = Params(SmsKey(kSmsSend)).back();
    ASSERT_GT(last.size(), 36u);
    // UCS-2 text has a length byte of 10 for "hello", plain text 5.
    const Bytes shape{last[33], last[34], last[36]};
    EXPECT_TRUE(shape == Bytes({0, 4, 10}) || shape == Bytes({1, 2, 5}));
}

// A send holds its command registered with its parser until the next send replaces it; the
// report goes to the one registered last.
TEST_P(SMSSendTest, TheFirstSendStaysRegisteredUntilTheSecondRegisters) {
    for (bool rc : {false, true}) {
        SCOPED_TRACE(rc);
        auto current = [&] {
            return rc ? SmsRC().Parser().CurrentSend() : Sms().Parser().CurrentSend();
        };
        messages->ReportOnSend("5550001", 0x8000);
        messages->ReportOnSend("5550002", 264);
        EXPECT_EQ(Send(rc, "5550001", nullptr), 0);
        DMCmdHolderRef first = current();
        ASSERT_NE(first, nullptr);
        auto* firstSend = dynamic_cast<SMSSendState*>(first->Command());
        ASSERT_NE(firstSend, nullptr);
        EXPECT_EQ(firstSend->SendStatusWord(), 0x8000);

        EXPECT_EQ(Send(rc, "5550002", nullptr), 4);
        // The parser let it go for the second: only ours is left (the engine is done with it).
        EXPECT_EQ(first->RefCount(), 1);
        EXPECT_NE(current().get(), first.get());
        EXPECT_EQ(firstSend->SendStatusWord(), 0x8000);  // the second's report is not its
    }
}

TEST_P(SMSSendTest, ALateReportReachesOnlyTheSendWhoseWaitEnded) {
    int status = -1;
    EXPECT_EQ(Send(false, "5550003", &status), 1);
    EXPECT_EQ(status, kStatusNoAnswer);
    DMCmdHolderRef late = Sms().Parser().CurrentSend();
    ASSERT_NE(late, nullptr);
    auto* lateSend = dynamic_cast<SMSSendState*>(late->Command());
    ASSERT_NE(lateSend, nullptr);
    dmpeer::InjectSendStatus(*peer, 0x8000);
    ASSERT_EQ(WaitForSingleObject(lateSend->SendEvent(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(lateSend->SendResult(), 0);  // stored where no one waits any more

    messages->ReportOnSend("5550004", 261);
    EXPECT_EQ(Send(false, "5550004", &status), 3);
    EXPECT_EQ(status, kStatusFailure);
}

// Sends of both schemes from two threads at once: the report goes to every parser, and each
// parser to the send it holds, so each send must get the report of its own request.
TEST_P(SMSSendTest, SendsFromTwoThreadsEachGetTheirOwnResult) {
    const std::map<std::string, std::uint16_t> words = {{"111", 0x8000}, {"222", 264}};
    int status[2] = {-1, -1}, result[2] = {-1, -1};
    {
        MachineThread a([&] { result[0] = Send(false, "111", &status[0]); });
        MachineThread b([&] { result[1] = Send(true, "222", &status[1]); });
        // The device answers each send request with its number's report, a second later (by
        // then every send under way has registered).
        for (std::size_t n = 1; n <= 2; ++n) {
            while (Count(SmsKey(kSmsSend)) < n)
                ASSERT_EQ(WaitForSingleObject(peer->RequestEvent(), 30000), WAIT_OBJECT_0);
            const Bytes request = Params(SmsKey(kSmsSend))[n - 1];
            const std::string number(request.begin() + 1, request.begin() + 1 + request[0]);
            dmpeer::InjectSendStatus(*peer, words.at(number), 1000);
        }
    }
    EXPECT_EQ((std::vector<int>{result[0], status[0], result[1], status[1]}),
              (std::vector<int>{0, kStatusSuccess, 4, kStatusFailure}));
}

// The send-status report changes only a send of its parser's own scheme, and nothing when no
// send was registered.
class SMSParserTest : public SimTest, public ::testing::WithParamInterface<bool> {};
INSTANTIATE_TEST_SUITE_P(ByteOrder, SMSParserTest, ::testing::Values(false, true), OrderName);

TEST_P(SMSParserTest, SendStatusReachesOnlyASendOfTheParsersScheme) {
    struct Case {
        const char* name;
        bool parserRC;
        int send;  // 0: none registered, 1: box-selecting send, 2: box-naming send
        bool stored;
    };
    const Case cases[] = {
        {"no send", false, 0, false},
        {"no send, box-naming", true, 0, false},
        {"own send", false, 1, true},
        {"own send, box-naming", true, 2, true},
        {"other scheme's send", false, 2, false},
        {"other scheme's, box-naming", true, 1, false},
    };
    DMPacket p(GetParam());
    p.WriteU16(264);
    const Bytes payload = Contents(p);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSMSCmdParser parser;
        CSMSCmdParser_RC parserRC;
        CActiveDMParser& active = c.parserRC ? static_cast<CActiveDMParser&>(parserRC)
                                             : static_cast<CActiveDMParser&>(parser);
        SMSSendState* state = nullptr;
        DMCmdHolderRef holder;
        if (c.send != 0) {
            CDMCmd* cmd = nullptr;
            if (c.send == 1) {
                auto* s = new CDMCmdSendSMS(SMSRecord{}, 0, false);
                state = s;
                cmd = s;
            } else {
                auto* s = new CDMCmdSendSMS_RC(SMSRecord{}, 0, false);
                state = s;
                cmd = s;
            }
            holder.reset(DMCmdHolder::Create(cmd));
            if (c.parserRC)
                parserRC.RegisterSend(holder.get());
            else
                parser.RegisterSend(holder.get());
            EXPECT_EQ(holder->RefCount(), 2);
        }
        const ReportTableEntry* entry = active.FindReport(kReportSMSSendStatus);
        ASSERT_NE(entry, nullptr);
        DMPacket reader = Reader(GetParam(), payload);
        EXPECT_EQ(active.Build(*entry, reader), nullptr);
        if (state != nullptr) {
            EXPECT_EQ(state->SendStatusWord(), c.stored ? 264 : 0);
            EXPECT_EQ(WaitForSingleObject(state->SendEvent(), 0) == WAIT_OBJECT_0, c.stored);
        }
    }
}

// Both schemes' parsers see every send-status report, one after the other: a send registered
// between the two sees none of it, and takes the next report.
TEST_P(SMSParserTest, AReportGoesToTheSendRegisteredWhenItsFirstParserSawIt) {
    SMSSendRoute route(2);
    CSMSCmdParser parser;
    CSMSCmdParser_RC parserRC;
    parser.UseRoute(route);
    parserRC.UseRoute(route);
    auto* first = new CDMCmdSendSMS(SMSRecord{}, 0, false);
    auto* second = new CDMCmdSendSMS_RC(SMSRecord{}, 0, false);
    DMCmdHolderRef firstHolder(DMCmdHolder::Create(first));
    DMCmdHolderRef secondHolder(DMCmdHolder::Create(second));
    const auto offer = [&](CActiveDMParser& p, std::uint16_t word) {
        DMPacket w(GetParam());
        w.WriteU16(word);
        DMPacket reader = Reader(GetParam(), Contents(w));
        EXPECT_EQ(p.Build(*p.FindReport(kReportSMSSendStatus), reader), nullptr);
    };
    parser.RegisterSend(firstHolder.get());
    offer(parser, 0x8000);
    parserRC.RegisterSend(secondHolder.get());  // while the report is still under way
    offer(parserRC, 0x8000);
    EXPECT_EQ(first->SendStatusWord(), 0x8000);
    EXPECT_EQ(second->SendStatusWord(), 0);
    EXPECT_NE(WaitForSingleObject(second->SendEvent(), 0), WAIT_OBJECT_0);
    offer(parser, 264);
    offer(parserRC, 264);
    EXPECT_EQ(first->SendStatusWord(), 0x8000);
    EXPECT_EQ(second->SendStatusWord(), 264);
    EXPECT_EQ(firstHolder->RefCount(), 1);   // the route let the first go
    EXPECT_EQ(secondHolder->RefCount(), 2);  // ours and the route's
}

// Which box's report side each report reaches, with which slot.
TEST_P(SMSParserTest, ReportsBuildNotificationsForTheirHandler) {
    enum Kind { kNew, kFull, kCpt };
    struct Case {
        bool rc;
        std::uint32_t id;
        Bytes payload;
        int handler;  // index of the parser's handler
        Kind kind;
        int slot;
    };
    const Case cases[] = {
        {false, 3, {}, 0, kFull, -1},      {false, 4, {9}, 0, kNew, 9},
        {false, 14, {6}, 1, kNew, 6},      {false, 15, {2}, 0, kCpt, 2},
        {true, 20, {1, 1, 7}, 2, kNew, 7}, {true, 20, {0, 1, 7}, 2, kNew, 7},
        {true, 20, {1, 0, 7}, 1, kNew, 7}, {true, 20, {5, 2, 7}, 1, kNew, 7},
        {true, 20, {0, 0, 7}, 0, kNew, 7}, {true, 21, {0}, 0, kFull, -1},
        {true, 21, {3}, 1, kFull, -1},     {true, 15, {4}, 0, kCpt, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.rc << " report " << c.id);
        BoxRecorder handlers[3] = {BoxRecorder("h0"), BoxRecorder("h1"), BoxRecorder("h2")};
        CSMSCmdParser parser;
        CSMSCmdParser_RC parserRC;
        for (int i = 0; i < 2; ++i) parser.SetHandler(i, &handlers[i]);
        for (int i = 0; i < 3; ++i) parserRC.SetHandler(i, &handlers[i]);
        CActiveDMParser& active =
            c.rc ? static_cast<CActiveDMParser&>(parserRC) : static_cast<CActiveDMParser&>(parser);
        const ReportTableEntry* entry = active.FindReport(c.id);
        ASSERT_NE(entry, nullptr);
        DMPacket reader = Reader(GetParam(), c.payload);
        std::unique_ptr<CActiveDMCmd> n = active.Build(*entry, reader);
        ASSERT_NE(n, nullptr);
        n->Deliver();
        const char* kinds[] = {"new", "full", "cpt"};
        std::string want = "h" + std::to_string(c.handler) + " " + kinds[c.kind];
        if (c.slot >= 0) want += " " + std::to_string(c.slot);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(handlers[i].Calls(),
                      i == c.handler ? std::vector<std::string>{want} : std::vector<std::string>{})
                << i;
    }
}

TEST_P(SMSParserTest, AShortReportBuildsNothing) {
    const std::pair<bool, std::uint32_t> reports[] = {
        {false, 4}, {false, 5}, {false, 14}, {false, 15}, {true, 5}, {true, 20}, {true, 21}};
    for (const auto& [rc, id] : reports) {
        CSMSCmdParser parser;
        CSMSCmdParser_RC parserRC;
        CActiveDMParser& active =
            rc ? static_cast<CActiveDMParser&>(parserRC) : static_cast<CActiveDMParser&>(parser);
        const Bytes one{1};
        DMPacket reader = Reader(GetParam(), id == 20 ? Bytes{1, 1} : (id == 5 ? one : Bytes{}));
        EXPECT_THROW(active.Build(*active.FindReport(id), reader), CDMPacketException) << id;
    }
}

}  // namespace
}  // namespace dmtest
