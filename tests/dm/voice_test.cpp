// The voice call service and the call reports through the simulated modem.
#include <functional>

#include "dm/device_fixture.h"

namespace dmtest {
namespace {

class VoiceTest : public DeviceTest {
protected:
    IVoiceService& Voice() { return *service->GetVoice(); }
};
INSTANTIATE_TEST_SUITE_P(ByteOrder, VoiceTest, ::testing::Values(false, true), OrderName);

TEST_P(VoiceTest, EachOperationSendsItsRequest) {
    struct Case {
        const char* name;
        std::function<void(IVoiceService&, int*)> call;
        std::uint8_t category;
        std::uint16_t sub;
        std::function<Bytes(const VoiceTest&)> params;
    };
    const auto bytes = [](Bytes b) { return [b](const VoiceTest&) { return b; }; };
    const auto tone = [](std::uint8_t play, std::uint16_t t, std::uint8_t units) {
        return [=](const VoiceTest& test) { return Cat(Cat({play, 1}, test.U16(t)), {2, units}); };
    };
    const Case cases[] = {
        {"OriginCall", [](auto& v, int* s) { v.OriginCall("13800138000", s); }, 0x6C, 2,
         [](const VoiceTest& t) { return Cat(Field("13800138000", 32), t.U16(11)); }},
        {"OriginCall 32 digits",
         [](auto& v, int* s) { v.OriginCall(std::string(32, '7').c_str(), s); }, 0x6C, 2,
         [](const VoiceTest& t) { return Cat(Field(std::string(32, '7'), 32), t.U16(11)); }},
        {"OriginCall double-byte",
         [](auto& v, int* s) {
             v.OriginCall(
                 "\xD6\xD0"
                 "1",
                 s);
         },
         0x6C, 2,
         [](const VoiceTest& t) {
             Bytes f(33, 0);
             f[0] = 4, f[1] = 0x4E, f[2] = 0x2D, f[4] = '1';
             return Cat(f, t.U16(11));
         }},
        {"AcceptCall", [](auto& v, int* s) { v.AcceptCall(s); }, 0x6C, 3, bytes({})},
        {"EndCall", [](auto& v, int* s) { v.EndCall(s); }, 0x6C, 1, bytes({})},
        {"Call3Way", [](auto& v, int* s) { v.Call3Way("555", s); }, 0x6C, 10,
         bytes(Field("555", 32))},
        {"Flash", [](auto& v, int* s) { v.Flash(s); }, 0x6C, 11, bytes({})},
        {"Flash2", [](auto& v, int* s) { v.Flash2(s); }, 0x6C, 11, bytes({})},
        {"Flash3", [](auto& v, int* s) { v.Flash3(s); }, 0x6C, 11, bytes({})},
        {"Flash4", [](auto& v, int* s) { v.Flash4(s); }, 0x6C, 11, bytes({})},
        {"SendDTMF", [](auto& v, int* s) { v.SendDTMF('#', s); }, 0x6C, 7, bytes(Field("#", 32))},
        {"PlayTone", [](auto& v, int* s) { v.PlayTone(0x0203, 1999, s); }, 0x6C, 6,
         tone(1, 0x0203, 19)},
        {"PlayTone long", [](auto& v, int* s) { v.PlayTone(7, 25600, s); }, 0x6C, 6,
         tone(1, 7, 255)},
        {"PlayTone longest byte", [](auto& v, int* s) { v.PlayTone(7, 25599, s); }, 0x6C, 6,
         tone(1, 7, 255)},
        {"StopTone", [](auto& v, int* s) { v.StopTone(s); }, 0x6C, 6, tone(0, 0, 0)},
        {"SetSpeakerVol 5", [](auto& v, int* s) { v.SetSpeakerVol(5, s); }, 0x6C, 4, bytes({4})},
        {"SetSpeakerVol 2", [](auto& v, int* s) { v.SetSpeakerVol(2, s); }, 0x6C, 4, bytes({2})},
        {"SetMicVol 200", [](auto& v, int* s) { v.SetMicVol(200, s); }, 0x6C, 8, bytes({3})},
        {"SetMicVol 3", [](auto& v, int* s) { v.SetMicVol(3, s); }, 0x6C, 8, bytes({3})},
        {"SetMute", [](auto& v, int* s) { v.SetMute(1, s); }, 0x6A, 4, bytes({1})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int status = -1;
        c.call(Voice(), &status);
        EXPECT_EQ(status, kStatusSuccess);
        EXPECT_EQ(LastRequest(), Request(c.category, c.sub, c.params(*this)));
    }
}

TEST_P(VoiceTest, ReadMuteReturnsTheDevicesStateAndFalseWithoutAnAnswer) {
    int status = -1;
    Voice().SetMute(1, &status);
    EXPECT_TRUE(Voice().ReadMute(&status));
    EXPECT_EQ(status, kStatusSuccess);
    EXPECT_EQ(LastRequest(), Request(0x6A, 5));
    peer->PushScript(Key(0x6A, 5), {.drop = true});
    EXPECT_FALSE(Voice().ReadMute(&status));
    EXPECT_EQ(status, kStatusNoAnswer);
}

TEST_P(VoiceTest, ANumberLongerThanItsFieldIsRefusedWithoutSending) {
    // 40 digits; 18 narrow bytes, but 34 once coded as UCS-2.
    const std::string numbers[] = {std::string(40, '1'), "\xD6\xD0" + std::string(16, '1')};
    for (auto call : {&IVoiceService::OriginCall, &IVoiceService::Call3Way}) {
        for (const std::string& number : numbers) {
            int status = -1;
            (Voice().*call)(number.c_str(), &status);
            EXPECT_EQ(status, kStatusFailure);
        }
    }
    EXPECT_TRUE(Requests().empty());
}

class RecordingHandler : public IVoiceEventHandler {
public:
    explicit RecordingHandler(CallRecorder& r) : m_r(r) {}
    void OnCallOriginating(const char* n) override { m_r.Add(std::string("originating ") + n); }
    void OnIncomingCall(const char* n, int v) override {
        m_r.Add(std::string("incoming ") + n + " " + std::to_string(v));
    }
    void OnCallWaiting(const char* n, int v) override {
        m_r.Add(std::string("waiting ") + n + " " + std::to_string(v));
    }
    void OnCallConnected(std::uint8_t v) override { m_r.Add("connected " + std::to_string(v)); }
    void OnCallEnd() override { m_r.Add("end"); }
    void OnFlash() override { m_r.Add("flash"); }
    void OnCallForward(const char* n) override { m_r.Add(std::string("forward ") + n); }

private:
    CallRecorder& m_r;
};

TEST_P(VoiceTest, CallReportsReachTheHandlerInOrder) {
    CallRecorder calls;
    RecordingHandler handler(calls);
    auto stop = StopAtScopeEnd();
    Voice().SetEventHandler(&handler);
    const std::string n40(40, '9');
    peer->InjectReport(6, Cat(Field(n40, 32, 40), {200}));
    peer->InjectReport(7, {3});
    peer->InjectReport(8, {});
    peer->InjectReport(9, {3});
    peer->InjectReport(10, Field("100", 32));
    peer->InjectReport(11, Cat(Field("200", 32), {2}));
    peer->InjectReport(12, {});
    peer->InjectReport(13, Field("300", 32));
    peer->InjectReport(6, Field("400", 32));  // no value byte: nothing
    peer->InjectReport(7, {4});
    EXPECT_EQ(calls.WaitFor(9),
              (std::vector<std::string>{"incoming " + std::string(32, '9') + " 200", "connected 3",
                                        "incoming  0", "end", "originating 100", "waiting 200 2",
                                        "flash", "forward 300", "connected 4"}));
}

TEST_P(VoiceTest, AHandlerMayChangeItselfFromInsideADelivery) {
    CallRecorder calls;
    struct SelfRemoving : RecordingHandler {
        SelfRemoving(CallRecorder& r, IVoiceService& v) : RecordingHandler(r), voice(v) {}
        void OnFlash() override {
            voice.SetEventHandler(nullptr);  // on the delivery thread: must not wait for itself
            RecordingHandler::OnFlash();
        }
        IVoiceService& voice;
    } handler(calls, Voice());
    auto stop = StopAtScopeEnd();
    Voice().SetEventHandler(&handler);
    peer->InjectReport(12, {});
    EXPECT_EQ(calls.WaitFor(1), (std::vector<std::string>{"flash"}));
    peer->InjectReport(12, {});
    int status = -1;
    Voice().AcceptCall(&status);        // its answer follows the report: the report is built by now
    Voice().SetEventHandler(&handler);  // returns once that report, built for null, has gone
    peer->InjectReport(9, {0});
    EXPECT_EQ(calls.WaitFor(2), (std::vector<std::string>{"flash", "end"}));
}

}  // namespace
}  // namespace dmtest
