// The service composite: its log level, its release, and the dispatcher's parser list.
#include <string>
#include <vector>

#include "dm/engine_fixture.h"

namespace dmtest {
namespace {

// Records every call as text.
class FakeLogService : public ILogService {
public:
    void WriteWide(const wchar_t*) override { calls.push_back("WriteWide"); }
    void WriteNarrow(const char* text) override {
        calls.push_back(std::string("WriteNarrow ") + text);
    }
    void WriteHex(const void*, DWORD) override { calls.push_back("WriteHex"); }
    void SetLevel(std::uint8_t level) override {
        calls.push_back("SetLevel " + std::to_string(level));
        this->level = level;
    }
    std::uint8_t GetLevel() override { return level; }
    void SetEnabled(int enabled) override {
        calls.push_back("SetEnabled " + std::to_string(enabled));
    }
    void SetOptions(DWORD options) override { calls.push_back("SetOptions"); }
    std::vector<std::string> calls;
    std::uint8_t level = 0;
};

class DMServiceTest : public EngineTest {};
INSTANTIATE_TEST_SUITE_P(ByteOrder, DMServiceTest, ::testing::Values(false, true), OrderName);

TEST_P(DMServiceTest, SetLogLevelSetsTheLevelThenSwitchesTheLogOn) {
    FakeLogService fake;
    StartService(std::make_unique<CLog>(nullptr, &fake));
    service->SetLogLevel(3);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"SetLevel 3", "SetEnabled 1"}));
}

TEST_P(DMServiceTest, ReleaseFreesTheServiceAndClosesTheLinkAndIgnoresNull) {
    ReleaseDMService(nullptr);
    StartService();
    const dmpeer::Bytes report = {};
    EXPECT_TRUE(peer->Link().DeviceSend(report.data(), 0));  // the engine listens
    ReleaseDMService(service.release());
    EXPECT_FALSE(peer->Link().DeviceSend(report.data(), 0));
}

class Parser : public CActiveDMParser {
public:
    const ReportTableEntry* GetReportTable() const override { return &m_end; }

private:
    ReportTableEntry m_end{0, nullptr};
};

TEST(DMDispatcher, RemoveReportParserRemovesOnlyTheFirstEntryKeepingTheOrder) {
    DMDispatcher dispatcher;
    Parser a, b, c;
    for (Parser* p : {&a, &b, &a, &c}) dispatcher.AddReportParser(p);
    RemoveReportParser(dispatcher, &a);
    EXPECT_EQ(dispatcher.ReportParsers(), (std::vector<CActiveDMParser*>{&b, &a, &c}));
    RemoveReportParser(dispatcher, &a);
    RemoveReportParser(dispatcher, &a);  // absent: nothing happens
    EXPECT_EQ(dispatcher.ReportParsers(), (std::vector<CActiveDMParser*>{&b, &c}));
}

}  // namespace
}  // namespace dmtest
