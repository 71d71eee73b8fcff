// The machine's control calls for files (what tests and demos use to put files on the machine and
// look at them): a host error is a false, an empty text or a -1, never an exception.
#include <filesystem>
#include <fstream>
#include <string>

#include "common/sim_fixture.h"

namespace {

namespace fs = std::filesystem;

class MachineFilesTest : public SimTest {};

TEST_F(MachineFilesTest, WritesAndReadsBackAFileInNewFolders) {
    EXPECT_TRUE(M().WriteFile(L"C:\\new\\folder\\file.bin", std::string("a\0b", 3)));
    std::string bytes;
    EXPECT_TRUE(M().ReadFile(L"c:/NEW/folder/FILE.bin", bytes));
    EXPECT_EQ(bytes, std::string("a\0b", 3));
    EXPECT_TRUE(M().WriteFile(L"C:\\new\\empty.txt", ""));
    EXPECT_TRUE(M().ReadFile(L"C:\\new\\empty.txt", bytes));
    EXPECT_EQ(bytes, "");
}

// Paths the host cannot hold: a component longer than the host allows (255 bytes), a file where
// a folder should be, a folder where a file should be.
TEST_F(MachineFilesTest, HostErrorsAreReportedNotThrown) {
    const std::wstring tooLong(300, L'a');
    ASSERT_TRUE(M().WriteFile(L"C:\\plain.txt", "x"));
    ASSERT_TRUE(M().WriteFile(L"C:\\folder\\inside.txt", "y"));
    struct Case {
        std::wstring path;
        bool writable;
    } cases[] = {
        {L"C:\\" + tooLong + L"\\file.txt", false},
        {L"C:\\data\\" + tooLong, false},
        {L"C:\\plain.txt\\inner.txt", false},
        {L"C:\\folder", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(sim::ToUtf8(c.path.substr(0, 40)));
        bool written = true, read = true, exists = true;
        std::string bytes = "before";
        EXPECT_NO_THROW(written = M().WriteFile(c.path, "text"));
        EXPECT_FALSE(written);
        EXPECT_NO_THROW(read = M().ReadFile(c.path, bytes));
        EXPECT_FALSE(read);
        EXPECT_EQ(bytes, "");
        EXPECT_NO_THROW(bytes = M().ReadFile(c.path));
        EXPECT_EQ(bytes, "");
        EXPECT_NO_THROW(exists = M().FileExists(c.path + L"\\x"));
        EXPECT_FALSE(exists);
    }
    // What was there is untouched.
    EXPECT_EQ(M().ReadFile(L"C:\\plain.txt"), "x");
    EXPECT_EQ(M().ReadFile(L"C:\\folder\\inside.txt"), "y");
}

TEST_F(MachineFilesTest, CopyFromHostCountsTheFilesOrReportsAFailure) {
    fs::path host = M().HostRoot() / "host-assets";
    fs::create_directories(host / "sub");
    std::ofstream(host / "one.txt") << "1";
    std::ofstream(host / "sub" / "two.txt") << "2";

    EXPECT_EQ(M().CopyFromHost(host, L"C:\\copy\\"), 2);
    EXPECT_EQ(M().ReadFile(L"C:\\copy\\sub\\two.txt"), "2");
    EXPECT_EQ(M().CopyFromHost(host / "missing", L"C:\\copy\\"), 0);

    int copied = 0;
    EXPECT_NO_THROW(copied = M().CopyFromHost(host, L"C:\\" + std::wstring(300, L'b') + L"\\"));
    EXPECT_EQ(copied, -1);
    ASSERT_TRUE(M().WriteFile(L"C:\\blocked", ""));  // a file where the folder "sub" should go
    EXPECT_NO_THROW(copied = M().CopyFromHost(host / "sub", L"C:\\blocked\\"));
    EXPECT_EQ(copied, -1);
}

TEST_F(MachineFilesTest, ResetOnAHostFolderThatCannotBeMadeReportsIt) {
    // A host file of its own: the reset removes the folder of the machine it replaces.
    fs::path file = M().HostRoot().string() + "-file";
    std::ofstream(file) << "x";
    sim::Config config = sim::Config::WindowsXP();
    config.hostFolder = file / "drives";  // below a file: nothing can be made there
    bool made = true;
    EXPECT_NO_THROW(made = sim::Machine::Reset(config));
    EXPECT_FALSE(made);
    bool written = true;
    EXPECT_NO_THROW(written = M().WriteFile(L"C:\\x.txt", "x"));
    EXPECT_FALSE(written);
    EXPECT_TRUE(sim::Machine::Reset(sim::Config::WindowsXP()));
    EXPECT_TRUE(M().WriteFile(L"C:\\x.txt", "x"));
    fs::remove(file);
}

}  // namespace
