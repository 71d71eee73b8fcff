// The message record and the message commands of both schemes: dates, statuses, codings,
// validity codes, request bodies, reply bodies and the wait for the send report.
#include <string>

#include "dm/sms_commands.h"
#include "dm/text_fields.h"
#include "tests/dm/phonebook_fixture.h"

namespace dmtest {
namespace {

const std::string kZhong = "\xD6\xD0";  // a double-byte character of code page 936 (U+4E2D)

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

TEST(SMSRecordTest, NormalizesReadDates) {
    struct Case {
        int year, month, day, hour, minute, second;
        int wantYear, wantMonth, wantDay, wantHour, wantMinute, wantSecond;
    };
    const Case cases[] = {
        {99, 1, 1, 0, 0, 0, 1999, 1, 1, 0, 0, 0},
        {71, 1, 1, 0, 0, 0, 1971, 1, 1, 0, 0, 0},
        {70, 1, 1, 0, 0, 0, 1970, 1, 1, 0, 0, 0},  // a two-digit year counts from 1970
        {69, 1, 1, 0, 0, 0, 2069, 1, 1, 0, 0, 0},
        {5, 1, 1, 0, 0, 0, 2005, 1, 1, 0, 0, 0},
        {2008, 1, 1, 0, 0, 0, 2008, 1, 1, 0, 0, 0},
        {2008, 0, 40, 24, 75, 60, 2008, 1, 31, 23, 59, 59},
        {2008, 13, 0, -1, -1, -5, 2008, 12, 1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SMSRecord r;
        r.year = c.year;
        r.month = c.month;
        r.day = c.day;
        r.hour = c.hour;
        r.minute = c.minute;
        r.second = c.second;
        NormalizeSMSDate(r);
        EXPECT_EQ((std::vector<int>{r.year, r.month, r.day, r.hour, r.minute, r.second}),
                  (std::vector<int>{c.wantYear, c.wantMonth, c.wantDay, c.wantHour, c.wantMinute,
                                    c.wantSecond}))
            << c.year << "-" << c.month << "-" << c.day;
    }
}

TEST(SMSRecordTest, ValidityCodesAndSendResults) {
    const std::pair<int, int> validity[] = {{0, 167}, {1, 168}, {2, 173}, {3, 196},
                                            {4, 244}, {5, 167}, {-1, 167}};
    for (const auto& [choice, code] : validity) EXPECT_EQ(SMSValidityCode(choice), code) << choice;
    const std::pair<int, int> results[] = {{0x8000, 0}, {201, 2}, {261, 3},   {264, 4},
                                           {0, 1},      {5, 1},   {0x8001, 1}};
    for (const auto& [word, result] : results)
        EXPECT_EQ(SMSSendResult(static_cast<std::uint16_t>(word)), result) << word;
}

class SMSReplyTest : public SimTest, public ::testing::WithParamInterface<bool> {
protected:
    // A read reply: header, status 0, the message body (status byte s, encoding e, the date
    // fields as bytes after the 16-bit year), then the extra bytes.
    Bytes ReadReply(std::uint8_t category, std::uint16_t sub, std::uint8_t s, std::uint8_t e,
                    std::uint16_t year, Bytes date, const std::string& text, Bytes extra = {}) {
        const bool big = GetParam();
        DMPacket p(big);
        p.WriteU8(category).WriteU16(sub).WriteU8(0).WriteU8(s);
        WriteTextField(p, "5551234", 32);
        p.WriteU8(0).WriteU8(e).WriteU8(7).WriteU16(year);
        for (std::uint8_t b : date) p.WriteU8(b);
        WriteTextField(p, text, 160, e == 4 ? TextCoding::Ucs2 : TextCoding::Bytes);
        for (std::uint8_t b : extra) p.WriteU8(b);
        return Contents(p);
    }
    void Offer(CDMCmd& cmd, const Bytes& reply) {
        DMPacket reader = Reader(GetParam(), reply);
        cmd.HandleResponse(reader, log);
    }
    CLog log;
};
INSTANTIATE_TEST_SUITE_P(ByteOrder, SMSReplyTest, ::testing::Values(false, true), OrderName);

TEST_P(SMSReplyTest, ReadRepliesFillTheRecord) {
    struct Case {
        const char* name;
        bool boxNaming;
        std::uint8_t status, encoding;
        std::string text;
        int wantStatus, wantEncoding;
    };
    const Case cases[] = {
        {"box-selecting, UCS-2", false, 1, 4, kZhong + "a", 1, 4},
        {"box-selecting keeps encoding 4", false, 0, 2, "plain", 0, 4},
        {"box-naming keeps the device's encoding", true, 2, 2, "plain", 2, 2},
        {"status 9 reads as 3", false, 9, 2, "x", 3, 4},
        {"status 255 reads as 3", true, 255, 0, "x", 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SMSRecord r;
        if (c.boxNaming) {
            CDMCmdReadSMS_RC cmd(2, 5, 1);
            Offer(cmd,
                  ReadReply(0x71, 1, c.status, c.encoding, 99, {0, 40, 9, 75, 3}, c.text, {0x2A}));
            ASSERT_EQ(cmd.Result(), kCmdSucceeded);
            r = cmd.Record();
            EXPECT_EQ(cmd.Trailing(), 0x2A);
        } else {
            CDMCmdReadSMS cmd(5, 1);
            Offer(cmd, ReadReply(0x6B, 4, c.status, c.encoding, 99, {0, 40, 9, 75, 3}, c.text));
            ASSERT_EQ(cmd.Result(), kCmdSucceeded);
            r = cmd.Record();
        }
        EXPECT_EQ(r.status, c.wantStatus);
        EXPECT_EQ(r.encoding, c.wantEncoding);
        EXPECT_EQ(r.text, c.text);
        EXPECT_EQ(r.number, "5551234");
        EXPECT_EQ(r.attribute, 7);
        EXPECT_EQ(r.deviceIndex, 0u);
        EXPECT_EQ((std::vector<int>{r.year, r.month, r.day, r.hour, r.minute, r.second}),
                  (std::vector<int>{1999, 1, 31, 9, 59, 3}));
    }
}

TEST_P(SMSReplyTest, QueryAndWriteRepliesCarryTheirValues) {
    const bool big = GetParam();
    auto reply = [big](std::uint8_t category, std::uint16_t sub, Bytes body) {
        DMPacket p(big);
        p.WriteU8(category).WriteU16(sub).WriteU8(0);
        for (std::uint8_t b : body) p.WriteU8(b);
        return Contents(p);
    };
    CDMCmdQuerySMSBox query;
    Offer(query, reply(0x6B, 3, {9, 4, 50}));
    EXPECT_EQ(query.Values(), (std::pair<int, int>{50, 4}));
    CDMCmdQuerySMSBox_RC queryRC(1);
    Offer(queryRC, reply(0x71, 2, {9, 6, 30}));
    EXPECT_EQ(queryRC.Values(), (std::pair<int, int>{30, 6}));
    CDMCmdWriteSMS_RC write(2, SMSRecord{});
    EXPECT_EQ(write.StoredSlot(), 0);
    Offer(write, reply(0x71, 4, {17}));
    EXPECT_EQ(write.StoredSlot(), 17);
}

// The bytes after the header of a command's request.
Bytes ParamsOf(CDMCmdEx& cmd) {
    DMPacket p(true);
    cmd.SerializeCommand(p);
    Bytes all = Contents(p);
    return Bytes(all.begin() + 3, all.end());
}

Bytes FieldBytes(const std::string& text, std::uint32_t width, TextCoding coding) {
    DMPacket p(true);
    WriteTextField(p, text, width, coding);
    return Contents(p);
}

TEST(SMSCommandTest, SendBodiesCodeTheTextAndTheValidity) {
    struct Case {
        const char* name;
        std::string text;
        int validity;
        bool force;
        Bytes pair;
        Bytes textField;
    };
    const Case cases[] = {
        {"plain text", "hello", 2, false, {1, 2}, FieldBytes("hello", 160, TextCoding::Bytes)},
        {"forced UCS-2", "hello", 2, true, {0, 4}, FieldBytes("hello", 160, TextCoding::Ucs2)},
        {"300 bytes: the first 160",
         std::string(300, 'q'),
         0,
         false,
         {1, 2},
         FieldBytes(std::string(160, 'q'), 160, TextCoding::Bytes)},
        {"256 characters with a double-byte one: 80 units",
         Repeat(kZhong, 256),
         4,
         false,
         {0, 4},
         FieldBytes(Repeat(kZhong, 80), 160, TextCoding::Ucs2)},
        {"forced UCS-2 past the buffer: cut to 80 units",
         std::string(300, 'q'),
         1,
         true,
         {0, 4},
         FieldBytes(std::string(80, 'q'), 160, TextCoding::Ucs2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SMSRecord r;
        r.text = c.text;
        r.number = "123";
        r.attribute = 9;
        for (bool boxNaming : {false, true}) {
            std::unique_ptr<CDMCmdEx> cmd;
            if (boxNaming)
                cmd = std::make_unique<CDMCmdSendSMS_RC>(r, c.validity, c.force);
            else
                cmd = std::make_unique<CDMCmdSendSMS>(r, c.validity, c.force);
            Bytes want = FieldBytes("123", 32, TextCoding::Bytes);
            want.insert(want.end(), c.pair.begin(), c.pair.end());
            want.push_back(9);
            want.insert(want.end(), c.textField.begin(), c.textField.end());
            want.push_back(SMSValidityCode(c.validity));
            EXPECT_EQ(ParamsOf(*cmd), want);
        }
    }
}

TEST(SMSCommandTest, RequestsOfTheOtherCommands) {
    SMSRecord r;
    r.status = 1;
    r.number = "9";
    r.text = "\xE9";  // a lone lead byte at the end: 8-bit text
    r.year = 2008;
    r.month = 2;
    r.day = 3;
    r.hour = 4;
    r.minute = 5;
    r.second = 6;
    r.attribute = 8;
    Bytes writeBody = {1};
    const Bytes number = FieldBytes("9", 32, TextCoding::Bytes);
    writeBody.insert(writeBody.end(), number.begin(), number.end());
    writeBody.insert(writeBody.end(), {3, 0, 8, 0x07, 0xD8, 2, 3, 4, 5, 6});
    const Bytes text = FieldBytes("\xE9", 160, TextCoding::Bytes);
    writeBody.insert(writeBody.end(), text.begin(), text.end());
    Bytes writeRC = {4};
    writeRC.insert(writeRC.end(), writeBody.begin(), writeBody.end());

    struct Case {
        const char* name;
        std::unique_ptr<CDMCmdEx> cmd;
        Bytes header;
        Bytes params;
    };
    Case cases[] = {
        {"select box", std::make_unique<CDMCmdSelSMSBox>(3), {0x6B, 0, 2}, {3}},
        {"query box", std::make_unique<CDMCmdQuerySMSBox>(), {0x6B, 0, 3}, {}},
        {"read", std::make_unique<CDMCmdReadSMS>(4, 1), {0x6B, 0, 4}, {4, 1}},
        {"delete", std::make_unique<CDMCmdDelSMS>(7), {0x6B, 0, 5}, {7}},
        {"write", std::make_unique<CDMCmdWriteSMS>(r), {0x6B, 0, 7}, writeBody},
        {"group start", std::make_unique<CDMCmdGroupSendingTag>(5), {0x6B, 0, 8}, {1}},
        {"group end, box-naming", std::make_unique<CDMCmdGroupSendingTag_RC>(0), {0x6B, 0, 8}, {0}},
        {"read, box-naming", std::make_unique<CDMCmdReadSMS_RC>(1, 4, 0), {0x71, 0, 1}, {1, 4, 0}},
        {"query, box-naming", std::make_unique<CDMCmdQuerySMSBox_RC>(2), {0x71, 0, 2}, {2}},
        {"delete, box-naming", std::make_unique<CDMCmdDelSMS_RC>(2, 7), {0x71, 0, 3}, {2, 7}},
        {"write, box-naming", std::make_unique<CDMCmdWriteSMS_RC>(4, r), {0x71, 0, 4}, writeRC},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        DMPacket p(true);
        c.cmd->SerializeCommand(p);
        Bytes want = c.header;
        want.insert(want.end(), c.params.begin(), c.params.end());
        EXPECT_EQ(Contents(p), want);
    }
}

class SMSSendTest : public SimTest {};

TEST_F(SMSSendTest, TheSendReportDecidesTheCompletion) {
    struct Case {
        std::optional<std::uint16_t> word;  // none: no report
        int completion;
        int status;
        int result;
    };
    const Case cases[] = {
        {0x8000, kCmdSucceeded, kStatusSuccess, 0},
        {264, kCmdFailed, kStatusFailure, 4},
        {std::nullopt, kCmdTimedOut, kStatusNoAnswer, 1},
    };
    for (const Case& c : cases) {
        CDMCmdSendSMS cmd(SMSRecord{}, 0, false);
        if (c.word) cmd.SetSendStatus(*c.word);
        const int completion = cmd.WaitForSendReport(20000, nullptr);
        EXPECT_EQ(completion, c.completion);
        EXPECT_EQ(MapCommandResult(completion), c.status);
        EXPECT_EQ(cmd.SendResult(), c.result);
    }
}

// Both schemes against the simulated modem's boxes.
class SMSDeviceTest : public DeviceStoreTest {
protected:
    template <class C>
    int Send(C* cmd) {
        DMCall<C> call(cmd);
        return call.Run(Dispatcher(), 7000);
    }
};
INSTANTIATE_TEST_SUITE_P(ByteOrder, SMSDeviceTest, ::testing::Values(false, true), OrderName);

TEST_P(SMSDeviceTest, AWrittenMessageReadsBackInBothSchemes) {
    messages = std::make_unique<dmpeer::SMSStore>(*peer);
    dmpeer::SMSBox box;
    box.slotCount = 5;
    box.trailing = 11;
    box.slots[0] = SMSRecord{};  // slot 0 is taken
    messages->SetBox(2, box);
    StartService();

    SMSRecord r;
    r.status = 1;
    r.number = "5550100";
    r.text = kZhong + " ok";
    r.year = 2009;
    r.month = 12;
    r.day = 24;
    r.attribute = 6;
    auto* write = new CDMCmdWriteSMS_RC(2, r);
    DMCall<CDMCmdWriteSMS_RC> writeCall(write);
    ASSERT_EQ(writeCall.Run(Dispatcher(), 5000), kStatusSuccess);
    EXPECT_EQ(write->StoredSlot(), 1);

    auto* readRC = new CDMCmdReadSMS_RC(2, 1, 0);
    DMCall<CDMCmdReadSMS_RC> readRCCall(readRC);
    ASSERT_EQ(readRCCall.Run(Dispatcher(), 7000), kStatusSuccess);
    const SMSRecord back = readRC->Record();
    EXPECT_EQ((std::vector<std::string>{back.number, back.text}),
              (std::vector<std::string>{r.number, r.text}));
    EXPECT_EQ((std::vector<int>{back.status, back.encoding, back.attribute, back.year, back.month,
                                back.day}),
              (std::vector<int>{1, 4, 6, 2009, 12, 24}));
    EXPECT_EQ(readRC->Trailing(), 11);

    ASSERT_EQ(Send(new CDMCmdSelSMSBox(2)), kStatusSuccess);
    auto* read = new CDMCmdReadSMS(1, 0);
    DMCall<CDMCmdReadSMS> readCall(read);
    ASSERT_EQ(readCall.Run(Dispatcher(), 7000), kStatusSuccess);
    EXPECT_EQ(read->Record().text, r.text);

    ASSERT_EQ(Send(new CDMCmdDelSMS(1)), kStatusSuccess);
    EXPECT_EQ(messages->Box(2).slots.count(1), 0u);
    EXPECT_EQ(Send(new CDMCmdDelSMS_RC(2, 1)), kStatusFailure);  // gone already
}

}  // namespace
}  // namespace dmtest
