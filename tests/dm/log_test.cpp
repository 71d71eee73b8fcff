// The log wrapper: forwarding to the log library's object, giving it back, freeing the library,
// and the log lock that keeps a level change from being undone.
#include <memory>

#include "dm/log.h"
#include "dmlog/dmlog.h"
#include "tests/dm/dm_test.h"

namespace {

class LogTest : public SimTest {
protected:
    void Install(const std::vector<std::string>& missing = {}) {
        dmlog::Install(M().config().programFolder, missing);
    }
    // The module is freed once its handle no longer answers.
    static bool Freed(HMODULE module) {
        SetLastError(0);
        return GetProcAddress(module, "CreateLogService") == nullptr &&
               GetLastError() == ERROR_INVALID_HANDLE;
    }
};

TEST_F(LogTest, WithoutALibraryEveryCallDoesNothing) {
    for (const wchar_t* name : {static_cast<const wchar_t*>(nullptr), dmlog::kFileName}) {
        std::unique_ptr<CLog> log = CLog::Load(name);  // the library is not installed
        EXPECT_EQ(log->LibraryModule(), nullptr);
        log->SetLevel(4);
        log->WriteNarrow("lost");
        log->WriteWide(L"lost");
        log->WriteNarrowAtLevel(1, "lost");
        EXPECT_EQ(log->GetLevel(), 0);
    }
    EXPECT_TRUE(dmlog::Journal().empty());
}

TEST_F(LogTest, ForwardsEveryCallAndGivesTheObjectBackBeforeFreeingTheLibrary) {
    Install();
    std::unique_ptr<CLog> log = CLog::Load(dmlog::kFileName);
    const HMODULE module = log->LibraryModule();
    ASSERT_NE(module, nullptr);
    log->SetLevel(2);
    log->WriteWide(L"wide");
    log->WriteNarrow("narrow");
    const char bytes[2] = {1, 2};
    log->WriteHex(bytes, 2);
    log->SetEnabled(1);
    log->SetOptions(0x10);
    EXPECT_EQ(log->GetLevel(), 2);
    const std::vector<dmlog::Entry> j = dmlog::Journal();
    ASSERT_EQ(j.size(), 6u);
    EXPECT_EQ(j[1].wide, L"wide");
    EXPECT_EQ(j[2].text, "narrow");
    EXPECT_EQ(j[3].text, std::string(bytes, 2));
    EXPECT_EQ(j[4].call, dmlog::Call::SetEnabled);
    EXPECT_EQ(j[5].value, 0x10u);
    EXPECT_EQ(dmlog::LiveServices(), 1);
    log.reset();
    EXPECT_EQ(dmlog::LiveServices(), 0);
    EXPECT_EQ(dmlog::ReleasedServices(), 1);
    EXPECT_TRUE(Freed(module));
}

TEST_F(LogTest, ALibraryWithoutAnExportIsStillFreed) {
    struct Case {
        const char* missing;
        bool hasObject;
    };
    for (const Case c : {Case{"ReleaseLogService", true}, Case{"CreateLogService", false}}) {
        SCOPED_TRACE(c.missing);
        Install({c.missing});
        std::unique_ptr<CLog> log = CLog::Load(dmlog::kFileName);
        const HMODULE module = log->LibraryModule();
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(log->LogService() != nullptr, c.hasObject);
        log.reset();
        EXPECT_EQ(dmlog::ReleasedServices(), 0);
        EXPECT_TRUE(Freed(module));
    }
}

// A level change made under the log lock is never undone by a write at another level.
TEST_F(LogTest, AWriteAtALevelNeverUndoesALevelChangeMadeUnderTheLock) {
    Install();
    std::unique_ptr<CLog> log = CLog::Load(dmlog::kFileName);
    {
        dmtest::MachineThread writer([&] {
            for (int i = 0; i < 200; ++i) log->WriteNarrowAtLevel(1, "line");
        });
        dmtest::MachineThread changer([&] {
            for (int i = 0; i < 200; ++i) {
                CLog::Guard guard(*log);
                log->SetLevel(static_cast<std::uint8_t>(2 + i % 3));
                log->SetEnabled(1);
            }
        });
    }
    EXPECT_EQ(log->GetLevel(), 2 + 199 % 3);
    for (const dmlog::Entry& e : dmlog::Journal()) {
        if (e.call == dmlog::Call::WriteNarrow) {
            EXPECT_EQ(e.level, 1);
        }
    }
}

}  // namespace
