// The device information service and the common reports, through the simulated modem.
#include <cstring>
#include <functional>

#include "dm/device_fixture.h"

namespace dmtest {
namespace {

constexpr std::uint8_t kDev = 0x6A;

class DeviceInfoTest : public DeviceTest {
protected:
    IDMCommon& Common() { return *service->GetCommon(); }
};
INSTANTIATE_TEST_SUITE_P(ByteOrder, DeviceInfoTest, ::testing::Values(false, true), OrderName);

std::string Hex(const std::uint8_t* p, std::size_t n) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += {digits[p[i] >> 4], digits[p[i] & 15]};
    return s;
}

struct Case {
    const char* name;
    std::function<void(dmpeer::DeviceState&)> arrange;
    std::function<std::string(IDMCommon&, int*)> call;
    std::function<Bytes(const DeviceTest&)> request;  // what goes on the wire
    std::string expected;
};

TEST_P(DeviceInfoTest, EachOperationSendsItsRequestAndReturnsTheParsedReply) {
    const auto header = [](std::uint8_t cat, std::uint16_t sub,
                           std::function<Bytes(const DeviceTest&)> params = {}) {
        return [=](const DeviceTest& t) {
            DMPacket p(t.GetParam());
            p.WriteU8(0x4B).WriteU8(cat).WriteU16(sub);
            if (params) {
                const Bytes b = params(t);
                p.Append(b.data(), b.size());
            }
            return Contents(p);
        };
    };
    const auto none = [](dmpeer::DeviceState&) {};
    const Case cases[] = {
        {"QueryDormant", [](auto& s) { s.dormant = 3; },
         [](IDMCommon& c, int* st) { return std::to_string(c.QueryDormant(st)); }, header(kDev, 8),
         "1"},
        {"QueryTime", none,
         [](IDMCommon& c, int* st) {
             const DMTime t = c.QueryTime(st);
             return std::to_string(t.year) + "-" + std::to_string(t.month) + "-" +
                    std::to_string(t.day) + " " + std::to_string(t.hour) + ":" +
                    std::to_string(t.minute) + ":" + std::to_string(t.second);
         },
         header(kDev, 1), "2026-12-9 17:30:45"},
        {"QuerySignal",
         [](auto& s) {
             s.r = {0, 3, 0};
         },
         [](IDMCommon& c, int* st) { return std::to_string(c.QuerySignal(st)); }, header(0x65, 0),
         "4"},
        {"QueryCDMA",
         [](auto& s) {
             s.s = {0, 13, 0, 0, 0};
         },
         [](IDMCommon& c, int* st) { return std::to_string(c.QueryCDMA(st)); }, header(0x65, 0),
         "2"},
        {"QueryRoaming",
         [](auto& s) {
             s.r = {5, 0, 0};
         },
         [](IDMCommon& c, int* st) { return std::to_string(c.QueryRoaming(st)); }, header(0x65, 0),
         "1"},
        {"ReadESN",
         [](auto& s) {
             s.hwA = 0x3412;
             s.hwB = 0x7856;
         },
         [](IDMCommon& c, int* st) {
             std::uint32_t esn = 0;
             c.ReadESN(&esn, st);
             return std::to_string(esn);
         },
         header(kDev, 26), std::to_string(0x78563412)},
        {"ReadBaud", [](auto& s) { s.baud = 460800; },
         [](IDMCommon& c, int* st) { return std::to_string(c.ReadBaud(st)); }, header(kDev, 2),
         "460800"},
        {"SetBaud", none,
         [](IDMCommon& c, int* st) {
             c.SetBaud(0x0001C200, st);
             return std::string();
         },
         header(kDev, 3, [](const DeviceTest& t) { return t.U32(0x0001C200); }), ""},
        {"SetPower on", none,
         [](IDMCommon& c, int* st) {
             c.SetPower(true, st);
             return std::string();
         },
         header(kDev, 12), ""},
        {"SetPower off", none,
         [](IDMCommon& c, int* st) {
             c.SetPower(false, st);
             return std::string();
         },
         header(kDev, 13), ""},
        {"QueryService",
         [](auto& s) {
             s.service = {2, 9, 0, 7};
         },
         [](IDMCommon& c, int* st) {
             DMServiceState r;
             c.QueryService(&r, st);
             return std::to_string(r.b0) + std::to_string(r.b1) + std::to_string(r.b2) +
                    std::to_string(r.b3);
         },
         header(kDev, 17), "1901"},
        {"ReadMode", [](auto& s) { s.mode = 9; },
         [](IDMCommon& c, int* st) { return std::to_string(c.ReadMode(st)); }, header(kDev, 22),
         "2"},
        {"SetMode other", none,
         [](IDMCommon& c, int* st) {
             c.SetMode(7, st);
             return std::string();
         },
         header(kDev, 21, [](const DeviceTest&) { return Bytes{2}; }), ""},
        {"SetMode 1", none,
         [](IDMCommon& c, int* st) {
             c.SetMode(1, st);
             return std::string();
         },
         header(kDev, 21, [](const DeviceTest&) { return Bytes{1}; }), ""},
        {"ReadIMSI", none,
         [](IDMCommon& c, int* st) {
             std::uint8_t imsi[8] = {};
             c.ReadIMSI(imsi, st);
             return Hex(imsi, 8);
         },
         header(kDev, 27), "0406000003010203"},
        {"ReadPPPInfo",
         [](auto& s) {
             s.pppUser = std::string(127, 'u');
             s.pppPassword = "pw";
         },
         [](IDMCommon& c, int* st) {
             char user[128], password[128];
             std::memset(user, 'x', 128);
             c.ReadPPPInfo(user, password, st);
             return std::to_string(std::strlen(user)) + ":" + password;
         },
         header(kDev, 31), "127:pw"},
        {"WritePPPInfo", none,
         [](IDMCommon& c, int* st) {
             c.WritePPPInfo(std::string(200, 'n').c_str(), "pw", st);
             return std::string();
         },
         header(kDev, 32,
                [](const DeviceTest&) {
                    return Cat(Field(std::string(127, 'n'), 127), Field("pw", 127));
                }),
         ""},
        {"CheckMCCMNC", [](auto& s) { s.mccmnc = 2; },
         [](IDMCommon& c, int* st) { return std::to_string(c.CheckMCCMNC(st)); }, header(kDev, 33),
         "0"},
        {"GetHardwareVersion", [](auto& s) { s.hardwareVersion = 0x1234; },
         [](IDMCommon& c, int* st) { return std::to_string(c.GetHardwareVersion(st)); },
         header(kDev, 35), std::to_string(0x1234)},
        {"GetHardwareSchematicsVersion",
         [](auto& s) {
             s.schematicsLength = 40;
             s.schematics = std::string(32, 'S');
         },
         [](IDMCommon& c, int* st) {
             char text[33];
             std::memset(text, 'x', sizeof text);
             c.GetHardwareSchematicsVersion(text, st);
             return std::string(text);
         },
         header(kDev, 36), std::string(32, 'S')},
        {"InitRUIM", [](auto& s) { s.initRuim = 7; },
         [](IDMCommon& c, int* st) { return std::to_string(c.InitRUIM(st)); }, header(kDev, 37),
         "1"},
        {"QueryEVDOVersion", [](auto& s) { s.evdo = 1; },
         [](IDMCommon& c, int* st) { return std::to_string(c.QueryEVDOVersion(st)); },
         header(kDev, 44), "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange(state);
        const std::size_t before = Requests().size();
        int status = -1;
        EXPECT_EQ(c.call(Common(), &status), c.expected);
        EXPECT_EQ(status, kStatusSuccess);
        ASSERT_EQ(Requests().size(), before + 1);
        EXPECT_EQ(LastRequest(), c.request(*this));
    }
}

TEST_P(DeviceInfoTest, WithoutAnAnswerTheOperationsReturnTheirConstructionValues) {
    for (auto key : {Key(0x65, 0), Key(kDev, 22), Key(kDev, 40), Key(kDev, 17), Key(kDev, 44)})
        peer->SetDefaultScript(key, {.drop = true});
    int status = -1;
    EXPECT_EQ(Common().QueryCDMA(&status), 3);
    EXPECT_EQ(status, kStatusNoAnswer);
    EXPECT_EQ(Common().QuerySignal(&status), 0);
    EXPECT_EQ(status, kStatusNoAnswer);
    EXPECT_FALSE(Common().QueryRoaming(&status));
    EXPECT_EQ(Common().ReadMode(&status), 2);
    EXPECT_EQ(Common().QueryEVDOVersion(&status), 0);
    std::uint8_t entries[32] = {};
    EXPECT_EQ(Common().ReadMINRange(2, entries, &status), 0u);
    DMServiceState record{true, 9, true, true};
    Common().QueryService(&record, &status);
    EXPECT_EQ(status, kStatusNoAnswer);
    EXPECT_EQ(record, (DMServiceState{true, 9, true, true}));  // written only on success
}

TEST_P(DeviceInfoTest, QuerySignalMapsTheSecondStatusByte) {
    const std::pair<std::uint8_t, int> cases[] = {{255, 0}, {3, 4}, {9, 6}, {0, 1}, {5, 6}};
    for (auto [r1, expected] : cases) {
        state.r = {0, r1, 0};
        int status = -1;
        EXPECT_EQ(Common().QuerySignal(&status), expected) << int(r1);
        EXPECT_EQ(status, kStatusSuccess);
    }
}

TEST_P(DeviceInfoTest, QueryTimeKeepsItsDefaultForAnInvalidReplyAndFallsBackToLocalTime) {
    state.year = 2005;
    int status = -1;
    EXPECT_EQ(Common().QueryTime(&status), (DMTime{2000, 1, 1, 12, 1, 1}));
    EXPECT_EQ(status, kStatusSuccess);

    peer->PushScript(Key(kDev, 1), {.drop = true});
    SYSTEMTIME before{};
    GetLocalTime(&before);
    status = -1;
    const DMTime t = Common().QueryTime(&status);
    EXPECT_EQ(status, kStatusSuccess);
    EXPECT_EQ(t.year, before.wYear);
    EXPECT_EQ(t.month, before.wMonth);
}

TEST_P(DeviceInfoTest, GetVersionJoinsTheExtendedTextsOnceAndAnswersLaterCallsFromItsCache) {
    int status = -1;
    const char* first = Common().GetVersion(&status);
    EXPECT_STREQ(first, "FW1.0 B01 20260101");
    EXPECT_EQ(status, kStatusSuccess);
    EXPECT_EQ(Requests(), (std::vector<Bytes>{Request(kDev, 25)}));
    status = -1;
    EXPECT_EQ(Common().GetVersion(&status), first);
    EXPECT_EQ(status, kStatusSuccess);  // a cached answer writes success
    EXPECT_EQ(Requests().size(), 1u);
}

TEST_P(DeviceInfoTest, GetVersionFallsBackToTheOldQueryAndReadsUnterminatedTexts) {
    state.versionX = "";
    state.oldC = "CCCCCCCCCCC";  // 11 bytes: the whole field, no zero
    state.oldD = "DDDDDDDD";
    state.oldE = "EEEEEEEE";
    int status = -1;
    EXPECT_STREQ(Common().GetVersion(&status), "EEEEEEEE CCCCCCCCCCC DDDDDDDD");
    EXPECT_EQ(status, kStatusSuccess);
    EXPECT_EQ(Requests(), (std::vector<Bytes>{Request(kDev, 25), Bytes{0x00}}));
}

TEST_P(DeviceInfoTest, TwoFirstGetVersionCallsAtOnceSendOneQueryAndShareOnePointer) {
    state.versionX = "";
    peer->PushScript(Key(kDev, 25), {.delayMs = 300});
    const char* seen[2] = {};
    int status[2] = {-1, -1};
    {
        MachineThread a([&] { seen[0] = Common().GetVersion(&status[0]); });
        MachineThread b([&] { seen[1] = Common().GetVersion(&status[1]); });
    }
    EXPECT_EQ(Requests(), (std::vector<Bytes>{Request(kDev, 25), Bytes{0x00}}));
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_STREQ(seen[0], "OLD-E OLD-C OLD-D");
    EXPECT_EQ(status[0], kStatusSuccess);
    EXPECT_EQ(status[1], kStatusSuccess);
}

TEST_P(DeviceInfoTest, GetHWVersionReadsTwoRawNumbers) {
    state.hwA = 1;
    state.hwB = 2;  // 01 00 02 00 on the wire in both orders
    int status = -1;
    EXPECT_STREQ(Common().GetHWVersion(&status), "1,2");
    EXPECT_EQ(status, kStatusSuccess);
    EXPECT_EQ(LastRequest(), Request(kDev, 26));
}

TEST_P(DeviceInfoTest, ReadMINRangeCopiesAtMostTheCallersEntries) {
    state.minCount = 5;
    for (int i = 0; i < 5 * 16; ++i) state.minEntries.push_back(static_cast<std::uint8_t>(i));
    std::uint8_t entries[48];
    std::memset(entries, 0xEE, sizeof entries);
    int status = -1;
    EXPECT_EQ(Common().ReadMINRange(2, entries, &status), 2u);
    EXPECT_EQ(status, kStatusSuccess);
    EXPECT_EQ(Bytes(entries, entries + 32),
              Bytes(state.minEntries.begin(), state.minEntries.begin() + 32));
    EXPECT_EQ(entries[32], 0xEE);
    EXPECT_EQ(LastRequest(), Request(kDev, 40));
}

TEST_P(DeviceInfoTest, ReadMINRangeRefusesACountTheReplyCannotHold) {
    state.minCount = 65535;
    state.minEntries.assign(2 * 16, 0x11);
    std::uint8_t entries[32] = {};
    int status = -1;
    EXPECT_EQ(Common().ReadMINRange(2, entries, &status), 0u);
    EXPECT_EQ(status, kStatusNoAnswer);
    EXPECT_EQ(entries[0], 0);
    EXPECT_EQ(Engine().DroppedFrames(), 1u);
}

TEST_P(DeviceInfoTest, TheUnofferedSlotsAnswerNotSupportedWithoutSending) {
    int status = -1;
    EXPECT_FALSE(Common().NotSupported1(5, &status));
    EXPECT_EQ(status, kStatusNotSupported);
    status = -1;
    Common().NotSupported2(1, 2, &status);
    EXPECT_EQ(status, kStatusNotSupported);
    EXPECT_TRUE(Requests().empty());
}

TEST_P(DeviceInfoTest, WritePPPInfoCutsAtACharacterBoundary) {
    const std::string user =
        std::string(126, 'a') + "\xD6\xD0";  // the double-byte char would split
    int status = -1;
    Common().WritePPPInfo(user.c_str(), nullptr, &status);
    EXPECT_EQ(status, kStatusSuccess);
    EXPECT_EQ(LastRequest(),
              Request(kDev, 32, Cat(Field(std::string(126, 'a'), 127), Field("", 127))));
}

// The application's PPP settings read the stored account; with none stored the state says so.
TEST_P(DeviceInfoTest, PPPSettingsReadTheStoredAccount) {
    struct Case {
        std::string user, password;
        std::uint8_t state;
    };
    for (const Case& c : {Case{"card", "secret", 0}, Case{"", "", 0xFF}}) {
        state.pppUser = c.user;
        state.pppPassword = c.password;
        DMPPPInfo record{};
        int status = -1;
        service->GetPPPInfo()->ReadPPPInfo(&record, &status);
        EXPECT_EQ(status, kStatusSuccess);
        EXPECT_EQ(record.state, c.state);
        EXPECT_EQ(std::string(record.user), c.user);
        EXPECT_EQ(std::string(record.password), c.password);
    }
    int status = -1;
    service->GetPPPInfo()->ReadPPPInfo(nullptr, &status);
    EXPECT_EQ(status, kStatusFailure);
}

// ---- Reports ----

class RecordingSink : public ICommonReportSink {
public:
    explicit RecordingSink(CallRecorder& r, std::string name = "")
        : m_r(r), m_name(std::move(name)) {}
    void OnModuleChange(std::uint32_t v) override {
        m_r.Add(m_name + "module " + std::to_string(v));
    }
    void OnFlashReport(const std::string& t, std::uint32_t v) override {
        m_r.Add(m_name + "flash " + t + " " + std::to_string(v));
    }
    void OnPlusCodeNotSupported() override { m_r.Add(m_name + "plus"); }

private:
    CallRecorder& m_r;
    std::string m_name;
};

TEST_P(DeviceInfoTest, ReportsReachTheSinkInOrder) {
    CallRecorder calls;
    RecordingSink sink(calls);
    auto stop = StopAtScopeEnd();
    Common().SetReportSink(&sink);
    const std::string long70(70, 'L');
    peer->InjectReport(2, {0xFE});
    peer->InjectReport(1, Cat(Field(long70, 64, 70), {9}));
    peer->InjectReport(19, {});
    peer->InjectReport(1, Field("short", 64));  // no value byte: nothing
    peer->InjectReport(1, Cat(Field("hi", 64), {1}));
    EXPECT_EQ(calls.WaitFor(4),
              (std::vector<std::string>{"module 254", "flash " + std::string(64, 'L') + " 9",
                                        "plus", "flash hi 1"}));
}

TEST_P(DeviceInfoTest, ANullSinkReceivesNothing) {
    CallRecorder calls;
    RecordingSink sink(calls);
    auto stop = StopAtScopeEnd();
    Common().SetReportSink(nullptr);
    peer->InjectReport(2, {1});
    peer->InjectReport(19, {});
    int status = -1;
    Common().QueryDormant(&status);  // its answer follows the reports: they are built by now
    Common().SetReportSink(&sink);   // returns once the two reports built for null have gone
    peer->InjectReport(2, {2});
    EXPECT_EQ(calls.WaitFor(1), (std::vector<std::string>{"module 2"}));
}

// A sink whose first call blocks until released.
class BlockingSink : public RecordingSink {
public:
    BlockingSink(CallRecorder& r, HANDLE entered, HANDLE release)
        : RecordingSink(r, "old "), m_entered(entered), m_release(release) {}
    void OnModuleChange(std::uint32_t v) override {
        SetEvent(m_entered);
        WaitForSingleObject(m_release, INFINITE);
        RecordingSink::OnModuleChange(v);
    }

private:
    HANDLE m_entered, m_release;
};

TEST_P(DeviceInfoTest, ChangingTheSinkWaitsForTheNotificationsBuiltForTheOldOne) {
    CallRecorder calls;
    HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    BlockingSink old(calls, entered, release);
    RecordingSink next(calls, "new ");
    auto stop = StopAtScopeEnd();
    Common().SetReportSink(&old);
    peer->InjectReport(2, {1});
    peer->InjectReport(2, {2});
    ASSERT_EQ(WaitForSingleObject(entered, 10000), WAIT_OBJECT_0);
    int status = -1;
    Common().QueryDormant(&status);  // both reports are built by now
    struct Setter {
        IDMCommon* common;
        RecordingSink* next;
        CallRecorder* calls;
        std::vector<std::string> atReturn;
    } ctx{&Common(), &next, &calls, {}};
    HANDLE setter = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* c = static_cast<Setter*>(p);
            c->common->SetReportSink(c->next);
            c->atReturn = c->calls->WaitFor(0);
            return 0;
        },
        &ctx, 0, nullptr);
    // Every other thread waits, so the virtual clock runs out: the setter is still blocked.
    EXPECT_EQ(WaitForSingleObject(setter, 100), WAIT_TIMEOUT);
    SetEvent(release);
    WaitForSingleObject(setter, INFINITE);
    CloseHandle(setter);
    EXPECT_EQ(ctx.atReturn, (std::vector<std::string>{"old module 1", "old module 2"}));
    peer->InjectReport(2, {3});
    EXPECT_EQ(calls.WaitFor(3).back(), "new module 3");
    CloseHandle(entered);
    CloseHandle(release);
}

}  // namespace
}  // namespace dmtest
