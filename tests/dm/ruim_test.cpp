// The R-UIM and PIN service through the simulated modem.
#include <functional>

#include "dm/device_fixture.h"

namespace dmtest {
namespace {

constexpr std::uint8_t kDev = 0x6A;

class RUIMTest : public DeviceTest {
protected:
    IRUIM& RUIM() { return *service->GetRUIM(); }
};
INSTANTIATE_TEST_SUITE_P(ByteOrder, RUIMTest, ::testing::Values(false, true), OrderName);

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

struct Case {
    const char* name;
    std::function<void(dmpeer::DeviceState&)> arrange;
    std::function<int(IRUIM&, int*)> call;
    std::uint16_t sub;
    Bytes params;
    int expected;
    int status = kStatusSuccess;
};

TEST_P(RUIMTest, EachOperationSendsItsRequestAndReturnsTheParsedReply) {
    const auto none = [](dmpeer::DeviceState&) {};
    const Case cases[] = {
        {"QueryRUIMState",
         [](auto& s) {
             s.ruimFlag = 1;
             s.ruimState = 5;
         },
         [](IRUIM& r, int* st) { return r.QueryRUIMState(st); },
         16,
         {},
         2},
        {"QueryRUIMFlag",
         none,
         [](IRUIM& r, int* st) { return int(r.QueryRUIMFlag(st)); },
         16,
         {},
         1},
        {"ReadPin",
         [](auto& s) { s.pinEnabled = 4; },
         [](IRUIM& r, int* st) { return int(r.ReadPin(st)); },
         7,
         {},
         1},
        {"InputPin", none,
         [](IRUIM& r, int* st) {
             r.InputPin("1234", st);
             return 0;
         },
         6, Bytes{4, '1', '2', '3', '4', 0, 0, 0, 0}, 0},
        {"InputPin wrong", none,
         [](IRUIM& r, int* st) {
             r.InputPin("0000", st);
             return 0;
         },
         6, Field("0000", 8), 0, kStatusFailure},
        {"InputPin ten digits", [](auto& s) { s.pin = "12345678"; },
         [](IRUIM& r, int* st) {
             r.InputPin("1234567890", st);
             return 0;
         },
         6, Cat({8}, Text("12345678")), 0},
        {"InputPin double-byte",
         [](auto& s) {
             s.pin =
                 "\xD6\xD0"
                 "123";
         },
         [](IRUIM& r, int* st) {
             r.InputPin(
                 "\xD6\xD0"
                 "123",
                 st);
             return 0;
         },
         6, Bytes{8, 0x4E, 0x2D, 0, '1', 0, '2', 0, '3'}, 0, kStatusFailure},
        {"GetPinCount", none, [](IRUIM& r, int* st) { return r.GetPinCount(st); }, 20, {}, 3},
        {"GetPUKCount", none, [](IRUIM& r, int* st) { return r.GetPUKCount(st); }, 24, {}, 10},
        {"EnablePin 0", [](auto& s) { s.pin = "1234"; },
         [](IRUIM& r, int* st) {
             r.EnablePin("1234", 0, st);
             return 0;
         },
         18, Cat({0}, Field("1234", 8)), 0},
        {"EnablePin 200", none,
         [](IRUIM& r, int* st) {
             r.EnablePin("1234", 200, st);
             return 0;
         },
         18, Cat({200}, Field("1234", 8)), 0},
        {"EnablePin 0x100", none,
         [](IRUIM& r, int* st) {
             r.EnablePin("1234", 0x100, st);
             return 0;
         },
         18, Cat({1}, Field("1234", 8)), 0},
        {"EnablePin -1", none,
         [](IRUIM& r, int* st) {
             r.EnablePin("1234", -1, st);
             return 0;
         },
         18, Cat({1}, Field("1234", 8)), 0},
        {"ModifyPin", none,
         [](IRUIM& r, int* st) {
             r.ModifyPin("1234", "98765", st);
             return 0;
         },
         19, Cat(Field("1234", 8), Field("98765", 8)), 0},
        {"InputPUK", [](auto& s) { s.puk = "11223344"; },
         [](IRUIM& r, int* st) {
             r.InputPUK("11223344", "4321", st);
             return 0;
         },
         23, Cat(Text("11223344"), Bytes{'4', '3', '2', '1', 0, 0, 0, 0}), 0},
        {"ReadUIMInsertedTimes",
         [](auto& s) { s.insertedTimes = 200; },
         [](IRUIM& r, int* st) { return int(r.ReadUIMInsertedTimes(st)); },
         28,
         {},
         200},
        {"GetRuimType",
         [](auto& s) { s.ruimType = 5; },
         [](IRUIM& r, int* st) { return r.GetRuimType(st); },
         29,
         {},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange(state);
        int status = -1;
        EXPECT_EQ(c.call(RUIM(), &status), c.expected);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(LastRequest(), Request(kDev, c.sub, c.params));
    }
}

TEST_P(RUIMTest, QueryServiceCodesReadsTenValuesAndLeavesThemOnRefusal) {
    for (std::uint16_t i = 0; i < 10; ++i)
        state.serviceCodes[i] = static_cast<std::uint16_t>(0x0102 * (i + 1));
    std::uint16_t codes[10] = {};
    int status = -1;
    RUIM().QueryServiceCodes(codes, &status);
    EXPECT_EQ(status, kStatusSuccess);
    EXPECT_TRUE(std::equal(codes, codes + 10, state.serviceCodes.begin()));
    EXPECT_EQ(LastRequest(), Request(kDev, 38));

    peer->PushScript(Key(kDev, 38), {.status = 3});
    std::uint16_t untouched[10] = {7, 7, 7, 7, 7, 7, 7, 7, 7, 7};
    RUIM().QueryServiceCodes(untouched, &status);
    EXPECT_EQ(status, kStatusFailure);
    EXPECT_EQ(untouched[0], 7);
    EXPECT_EQ(untouched[9], 7);
}

TEST_P(RUIMTest, WithoutAnAnswerCountsAreZero) {
    peer->PushScript(Key(kDev, 20), {.drop = true});
    int status = -1;
    EXPECT_EQ(RUIM().GetPinCount(&status), 0);
    EXPECT_EQ(status, kStatusNoAnswer);
}

TEST_P(RUIMTest, ARetriedPinGetsItsOwnVerdictWhileTheFirstAnswerArrivesLate) {
    // The first answer (accepting the right PIN) comes after its caller gave up; the retry with a
    // wrong PIN must be refused, not take that late acceptance.
    peer->PushScript(Key(kDev, 6), {.delayMs = 800});
    int status = -1;
    RUIM().InputPin("1234", &status);
    EXPECT_EQ(status, kStatusNoAnswer);
    RUIM().InputPin("9999", &status);
    EXPECT_EQ(status, kStatusFailure);
    EXPECT_EQ(Requests(), (std::vector<Bytes>{Request(kDev, 6, Field("1234", 8)),
                                              Request(kDev, 6, Field("9999", 8))}));
}

}  // namespace
}  // namespace dmtest
