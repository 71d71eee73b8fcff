// The message APIs' own state (listener lists, records made for callers, the force flag) and
// their device operations that the boxes do not show.
#include <string>

#include "tests/dm/sms_fixture.h"

namespace dmtest {
namespace {

class SMSAPITest : public SMSServiceTest {};
INSTANTIATE_TEST_SUITE_P(ByteOrder, SMSAPITest, ::testing::Values(false, true), OrderName);

TEST_P(SMSAPITest, ListenerListsKeepEachHandlerOncePerListedBox) {
    Start({});
    BoxRecorder h1, h2;
    CSMSAPI& api = static_cast<CSMSAPI&>(*Sms().GetSMSAPI());
    CSMSAPI_RC& apiRC = static_cast<CSMSAPI_RC&>(*SmsRC().GetSMSAPI_RC());
    // The service lists the boxes that take reports.
    const auto handlerOf = [](IMessageBox* box) {
        return static_cast<ISMSEventHandler*>(static_cast<SMSBoxBase*>(box));
    };
    EXPECT_EQ(api.Listeners(0), std::vector<ISMSEventHandler*>{handlerOf(Sms().GetBox1())});
    EXPECT_EQ(api.Listeners(4), std::vector<ISMSEventHandler*>{handlerOf(Sms().GetBox3())});
    EXPECT_EQ(apiRC.Listeners(0), std::vector<ISMSEventHandler*>{handlerOf(SmsRC().GetBox1())});
    EXPECT_EQ(apiRC.Listeners(1), std::vector<ISMSEventHandler*>{handlerOf(SmsRC().GetBox2())});
    EXPECT_EQ(apiRC.Listeners(2), std::vector<ISMSEventHandler*>{handlerOf(SmsRC().GetBox4())});

    struct Step {
        bool rc;
        const char* op;  // "add" or "remove"
        ISMSEventHandler* handler;
        int box;
        int listedBox;  // the list then checked
        std::size_t size;
    };
    const Step steps[] = {
        {false, "add", &h1, 0, 0, 2},    {false, "add", &h1, 0, 0, 2},  // not twice
        {false, "add", &h1, 3, 3, 0},                                   // box 3 has no list
        {false, "add", &h1, 4, 4, 2},    {false, "add", &h2, 4, 4, 3},
        {false, "remove", &h1, 0, 0, 1}, {false, "remove", &h1, 0, 4, 2},  // from both lists
        {true, "add", &h1, 2, 2, 2},     {true, "add", &h1, 2, 2, 2},
        {true, "add", &h1, 4, 4, 0},     {true, "add", &h1, 1, 1, 2},
        {true, "remove", &h1, 0, 1, 1},  {true, "remove", &h1, 0, 2, 1},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(::testing::Message() << s.rc << " " << s.op << " " << s.box);
        if (std::string(s.op) == "add") {
            if (s.rc)
                apiRC.AddListener(s.handler, s.box);
            else
                api.AddListener(s.handler, s.box);
        } else if (s.rc) {
            apiRC.RemoveListener(s.handler);
        } else {
            api.RemoveListener(s.handler);
        }
        EXPECT_EQ((s.rc ? apiRC.Listeners(s.listedBox) : api.Listeners(s.listedBox)).size(),
                  s.size);
    }
}

// Only records that NewRecord made, still holding its marker, are freed; anything else is left
// alone (the address checker catches a wrong free or a double free).
TEST_P(SMSAPITest, FreeRecordFreesOnlyRecordsItMade) {
    Start({});
    for (bool rc : {false, true}) {
        SCOPED_TRACE(rc);
        auto make = [&] {
            return rc ? SmsRC().GetSMSAPI_RC()->NewRecord() : Sms().GetSMSAPI()->NewRecord();
        };
        auto free = [&](SMSRecord* r) {
            if (rc)
                SmsRC().GetSMSAPI_RC()->FreeRecord(r);
            else
                Sms().GetSMSAPI()->FreeRecord(r);
        };
        SMSRecord* made = make();
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->deviceIndex, kNewRecordMarker);
        EXPECT_EQ(
            (std::vector<int>{made->year, made->month, made->hour, made->status, made->encoding}),
            (std::vector<int>{2000, 1, 12, 3, 4}));
        free(made);
        free(made);  // freed already: nothing happens

        SMSRecord mine;
        mine.deviceIndex = kNewRecordMarker;
        free(&mine);  // not made by the API
        EXPECT_EQ(mine.deviceIndex, kNewRecordMarker);
        free(nullptr);

        SMSRecord* overwritten = make();
        overwritten->deviceIndex = 3;
        free(overwritten);  // stays allocated; the API frees it when it goes
        EXPECT_EQ(overwritten->deviceIndex, 3u);
    }
}

TEST_P(SMSAPITest, DeviceOperationsHandBackTheirValues) {
    dmpeer::SMSBox box = MessageBox(6, {{1, Message(2, 3, "there", 2)}});
    box.secondValue = 5;
    Start({{0, box}});
    ISMSAPI& api = *Sms().GetSMSAPI();
    ISMSAPI_RC& apiRC = *SmsRC().GetSMSAPI_RC();
    int status = -1, slots = -1, second = -1;
    api.SelSMSBox(0, &status);
    EXPECT_EQ(status, kStatusSuccess);
    api.QuerySMSBox(&slots, &second, &status);
    EXPECT_EQ((std::vector<int>{status, slots, second}), (std::vector<int>{0, 6, 5}));
    slots = second = -1;
    apiRC.QuerySMSBox_RC(0, &slots, &second, &status);
    EXPECT_EQ((std::vector<int>{status, slots, second}), (std::vector<int>{0, 6, 5}));

    SMSRecord read;
    read.deviceIndex = 77;
    api.ReadSMS(1, &read, 0, &status);
    EXPECT_EQ(status, kStatusSuccess);
    EXPECT_EQ(read.text, "there");
    EXPECT_EQ(read.status, 2);
    EXPECT_EQ(read.deviceIndex, 77u);  // a read fills every field but the device index

    const SMSRecord m = Message(9, 9, "stored");
    EXPECT_EQ(api.WriteSMS(&m, &status), 0);  // the first free slot
    EXPECT_EQ(apiRC.WriteSMS_RC(0, &m, &status), 2);
    peer->PushScript(SmsKey(kSmsWrite), dmpeer::Script{.drop = true});
    EXPECT_EQ(api.WriteSMS(&m, &status), 0);  // no reply: slot 0
    EXPECT_EQ(status, kStatusNoAnswer);

    api.BeginGroupSending(&status);
    EXPECT_EQ(messages->GroupFlag(), 1);
    apiRC.EndGroupSending(&status);
    EXPECT_EQ(messages->GroupFlag(), 0);
    api.DelSMS(1, &status);
    EXPECT_EQ(status, kStatusSuccess);
    apiRC.DelSMS_RC(0, 1, &status);
    EXPECT_EQ(status, kStatusFailure);  // gone already
}

}  // namespace
}  // namespace dmtest
