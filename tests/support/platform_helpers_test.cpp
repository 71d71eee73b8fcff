#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/sim_fixture.h"
#include <winbase.h>
#include "support/platform_helpers.h"

namespace {

class DebugLogTest : public SimTest {
protected:
    std::wstring LogPath() { return M().config().programFolder + L"EnableLog.txt"; }
};

TEST_F(DebugLogTest, SilentForTheWholeRunWithoutTheSwitchFile) {
    DebugLog(L"first");
    EnableLog();  // too late: the switch is looked at once per run
    DebugLog(L"second %d", 2);
    EXPECT_TRUE(M().DebugOutput().empty());
    EXPECT_TRUE(M().Console().empty());
    EXPECT_EQ(M().ReadFile(LogPath()), "");
}

TEST_F(DebugLogTest, SwitchFileIsEmptiedAndHoldsOneLinePerCall) {
    M().WriteFile(LogPath(), "old content of an earlier run\r\n");
    DebugLog(L"plain text");
    DebugLog(L"%s has %d ports", L"modem", 2);
    EXPECT_EQ(M().ReadFile(LogPath()), "plain text\r\nmodem has 2 ports\r\n");
    EXPECT_EQ(M().DebugOutput(), (std::vector<std::wstring>{L"plain text", L"modem has 2 ports"}));
    EXPECT_EQ(M().Console(), L"plain text\nmodem has 2 ports\n");
}

// The file is written as a text stream: every line feed inside a line reaches it as CR LF too.
TEST_F(DebugLogTest, LineFeedsInsideALineReachTheFileAsCrLf) {
    EnableLog();
    DebugLog(L"Service start pending...\n");
    DebugLog(L"two\nhalves");
    DebugLog(L"\n\nx");
    EXPECT_EQ(M().ReadFile(LogPath()),
              "Service start pending...\r\n\r\ntwo\r\nhalves\r\n\r\n\r\nx\r\n");
    // The debugger and the console see the text as formatted.
    EXPECT_EQ(M().DebugOutput()[1], L"two\nhalves");
    EXPECT_EQ(M().Console(), L"Service start pending...\n\ntwo\nhalves\n\n\nx\n");
}

TEST_F(DebugLogTest, FileTextIsInTheAnsiCodePage) {
    EnableLog();
    DebugLog(L"\u627E\u5230");  // two Chinese characters: GBK bytes
    EXPECT_EQ(M().ReadFile(LogPath()), "\xD5\xD2\xB5\xBD\r\n");
}

TEST_F(DebugLogTest, UnconvertibleCharacterDoesNotSilenceLaterLines) {
    EnableLog();
    DebugLog(L"emoji \U0001F600 here");
    DebugLog(L"next line");
    EXPECT_EQ(M().ReadFile(LogPath()), "emoji ? here\r\nnext line\r\n");
}

TEST_F(DebugLogTest, LongLineIsCutAt255Characters) {
    EnableLog();
    std::wstring longText(400, L'a');
    DebugLog(L"%s", longText.c_str());
    auto out = M().DebugOutput();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], std::wstring(255, L'a'));
    EXPECT_EQ(M().ReadFile(LogPath()), std::string(255, 'a') + "\r\n");
}

TEST_F(DebugLogTest, OpenFailureStillLogsElsewhere) {
    EnableLog();
    M().faults().Inject(sim::FileOp::Open, ERROR_SHARING_VIOLATION, -1, LogPath());
    DebugLog(L"line");
    EXPECT_EQ(M().DebugOutput(), std::vector<std::wstring>{L"line"});
    EXPECT_EQ(M().ReadFile(LogPath()), "");
}

struct LogThreadArgs {
    int id;
};

DWORD LogFromThread(LPVOID p) {
    int id = static_cast<LogThreadArgs*>(p)->id;
    for (int i = 0; i < 50; ++i) DebugLog(L"thread %d line %d", id, i);
    return 0;
}

TEST_F(DebugLogTest, ConcurrentLinesStayWhole) {
    EnableLog();
    LogThreadArgs a{1}, b{2};
    HANDLE t[2] = {CreateThread(nullptr, 0, LogFromThread, &a, 0, nullptr),
                   CreateThread(nullptr, 0, LogFromThread, &b, 0, nullptr)};
    ASSERT_EQ(WaitForMultipleObjects(2, t, TRUE, INFINITE), WAIT_OBJECT_0);
    CloseHandle(t[0]);
    CloseHandle(t[1]);
    std::string file = M().ReadFile(LogPath());
    int lines = 0;
    for (std::size_t pos = 0; (pos = file.find("\r\n", pos)) != std::string::npos; pos += 2)
        ++lines;
    EXPECT_EQ(lines, 100);
    for (int i = 0; i < 50; ++i) {
        EXPECT_NE(file.find("thread 1 line " + std::to_string(i) + "\r\n"), std::string::npos);
        EXPECT_NE(file.find("thread 2 line " + std::to_string(i) + "\r\n"), std::string::npos);
    }
}

TEST(VersionCodeTest, Table) {
    struct Case {
        DWORD major, minor, platform;
        int code;
    } cases[] = {{4, 10, 1, 1}, {4, 90, 1, 2}, {4, 0, 1, 0}, {4, 0, 2, 0}, {5, 0, 2, 3},
                 {5, 1, 2, 4},  {5, 2, 2, 5},  {5, 1, 1, 0}, {6, 0, 2, 6}, {6, 1, 2, 6},
                 {6, 3, 1, 6},  {10, 0, 2, 0}, {4, 10, 2, 0}};
    for (const auto& c : cases) {
        sim::Config config;
        config.major = c.major;
        config.minor = c.minor;
        config.platformId = c.platform;
        sim::Machine::Reset(config);
        EXPECT_EQ(GetOsVersionCode(), c.code) << c.major << "." << c.minor << " on " << c.platform;
    }
}

TEST(Is64BitTest, SixtyFourBitXp) {
    sim::Config config = sim::Config::WindowsXP();
    config.is64Bit = true;
    sim::Machine::Reset(config);
    EXPECT_TRUE(Is64BitWindows());
    sim::Machine::Reset(sim::Config::WindowsXP());
    EXPECT_TRUE(Is64BitWindows());  // worked out once per run
}

TEST(Is64BitTest, ThirtyTwoBit) {
    sim::Machine::Reset(sim::Config::Windows7());
    EXPECT_FALSE(Is64BitWindows());
}

TEST(Is64BitTest, NoNativeSystemInfoMeansThirtyTwoBit) {
    sim::Config config = sim::Config::Windows2000();
    config.is64Bit = true;  // the entry point is missing before XP
    sim::Machine::Reset(config);
    EXPECT_FALSE(Is64BitWindows());
}

class ProgramFolderTest : public SimTest {};

TEST_F(ProgramFolderTest, FolderOfTheProgram) {
    EXPECT_EQ(GetModuleFolder(), M().config().programFolder);
}

TEST_F(ProgramFolderTest, PathWithoutBackslashIsKeptWhole) {
    sim::Config config;
    config.programFolder = L"";
    config.programName = L"program.exe";
    sim::Machine::Reset(config);
    EXPECT_EQ(GetModuleFolder(), L"program.exe");
    config.programFolder = L"C:\\";
    sim::Machine::Reset(config);
    EXPECT_EQ(GetModuleFolder(), L"C:\\");
}

TEST_F(ProgramFolderTest, FileExistsWithWildcards) {
    M().WriteFile(L"C:\\data\\log1.txt", "x");
    EXPECT_TRUE(FileExists(L"C:\\data\\log1.txt"));
    EXPECT_TRUE(FileExists(L"c:/DATA/LOG1.TXT"));
    EXPECT_TRUE(FileExists(L"C:\\data\\log*.txt"));
    EXPECT_TRUE(FileExists(L"C:\\data"));
    EXPECT_FALSE(FileExists(L"C:\\data\\log2.txt"));
    EXPECT_FALSE(FileExists(L"C:\\data\\*.ini"));
    EXPECT_FALSE(FileExists(L"C:\\nowhere\\*"));
}

class PrivilegeTest : public SimTest {};

TEST_F(PrivilegeTest, GrantedOnlyWhenTheTokenHoldsIt) {
    EXPECT_TRUE(EnableDebugPrivilege());
    sim::Config config;
    config.hasDebugPrivilege = false;
    sim::Machine::Reset(config);
    EXPECT_FALSE(EnableDebugPrivilege());
    EXPECT_TRUE(sim::machine().Console().empty());  // the call itself succeeded
}

TEST_F(PrivilegeTest, LibraryHolderFreesOnce) {
    CLibraryHolder empty;
    EXPECT_EQ(empty.Release(), 0);
    CLibraryHolder holder(LoadLibraryW(L"Kernel32.dll"));
    ASSERT_NE(holder.Get(), nullptr);
    HMODULE module = holder.Get();
    EXPECT_EQ(holder.Release(), TRUE);
    EXPECT_EQ(holder.Get(), nullptr);
    EXPECT_EQ(holder.Release(), 0);
    EXPECT_EQ(GetProcAddress(module, "GetSystemInfo"), nullptr);  // freed
}

}  // namespace
