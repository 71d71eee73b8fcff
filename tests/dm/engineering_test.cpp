// The engineering mode service through the simulated modem.
#include "dm/device_fixture.h"

namespace dmtest {
namespace {

class EngineeringTest : public DeviceTest {
protected:
    IEngineeringMode& Eng() { return *service->GetEngineeringMode(); }
};
INSTANTIATE_TEST_SUITE_P(ByteOrder, EngineeringTest, ::testing::Values(false, true), OrderName);

// One item's query, its value widened.
template <auto Item>
std::uint32_t Query(IEngineeringMode& e, int* status) {
    return (e.*Item)(status);
}

TEST_P(EngineeringTest, EachItemQueriesItsSubCommandAndTakesTheRawValue) {
    using Q = std::uint32_t (*)(IEngineeringMode&, int*);
    struct Case {
        std::uint16_t sub;
        Q call;
        Bytes reply;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {1, Query<&IEngineeringMode::QueryItem1>, {0x34, 0x12}, 0x1234},
        {2, Query<&IEngineeringMode::QueryItem2>, {0x7F, 0x01, 0x02}, 0x7F},
        {3, Query<&IEngineeringMode::QueryItem3>, {3, 0}, 3},
        {4, Query<&IEngineeringMode::QueryItem4>, {0, 4}, 0x400},
        {5, Query<&IEngineeringMode::QueryItem5>, {5, 5}, 0x505},
        {6, Query<&IEngineeringMode::QueryItem6>, {6, 0}, 6},
        {7, Query<&IEngineeringMode::QueryItem7>, {7, 0}, 7},
        {8, Query<&IEngineeringMode::QueryItem8>, {8, 1}, 0x108},
        {9, Query<&IEngineeringMode::QueryItem9>, {9}, 9},
        {10, Query<&IEngineeringMode::QueryItem10>, {1, 0, 0, 0}, 1},
        {11, Query<&IEngineeringMode::QueryItem11>, {4, 3, 2, 1}, 0x01020304},
        {12, Query<&IEngineeringMode::QueryItem12>, {0xFF, 0xFF}, 0xFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sub);
        state.engineering[c.sub] = c.reply;
        int status = -1;
        EXPECT_EQ(c.call(Eng(), &status), c.expected);
        EXPECT_EQ(status, kStatusSuccess);
        EXPECT_EQ(LastRequest(), Request(0x6E, c.sub));
    }
}

TEST_P(EngineeringTest, ItemZeroFillsTheRecordOrClearsItWithoutAnAnswer) {
    state.engineering[0] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    EngineeringRecord record{};
    int status = -1;
    Eng().QueryItem0(&record, &status);
    EXPECT_EQ(status, kStatusSuccess);
    EXPECT_EQ(record, (EngineeringRecord{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(LastRequest(), Request(0x6E, 0));

    peer->PushScript(Key(0x6E, 0), {.drop = true});
    Eng().QueryItem0(&record, &status);
    EXPECT_EQ(status, kStatusNoAnswer);
    EXPECT_EQ(record, EngineeringRecord{});
}

TEST_P(EngineeringTest, ARefusedOrShortReplyGivesZero) {
    state.engineering[10] = {1, 2, 3, 4};
    peer->PushScript(Key(0x6E, 10), {.status = 4});
    int status = -1;
    EXPECT_EQ(Eng().QueryItem10(&status), 0u);
    EXPECT_EQ(status, kStatusFailure);
    state.engineering[10] = {1, 2, 3};  // one byte short
    EXPECT_EQ(Eng().QueryItem10(&status), 0u);
    EXPECT_EQ(status, kStatusNoAnswer);
}

}  // namespace
}  // namespace dmtest
