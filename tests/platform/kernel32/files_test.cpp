// Files and folders on the machine's drives, searches, and the handle table.
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "common/sim_fixture.h"
#include <winbase.h>

namespace {

class Files : public SimTest {
protected:
    HANDLE Open(const std::wstring& path, DWORD disposition, DWORD access = GENERIC_READ,
                DWORD share = FILE_SHARE_READ) {
        return CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    }
    std::string ReadAll(HANDLE h) {
        char buf[256];
        DWORD got = 0;
        std::string out;
        while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
        return out;
    }
    static DWORD Err() { return GetLastError(); }
};

TEST_F(Files, MachinePathsTakeBothSeparatorsAndIgnoreCaseOfExistingParts) {
    M().WriteFile(L"C:\\Data\\Logs\\Run.TXT", "abc");
    EXPECT_EQ(M().HostPath(L"c:/data/LOGS/run.txt"), M().HostRoot() / "C" / "Data/Logs/Run.TXT");
    EXPECT_TRUE(std::filesystem::exists(M().HostRoot() / "C" / "Data" / "Logs" / "Run.TXT"));
    HANDLE h = Open(L"c:/DATA\\logs/RUN.txt", OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadAll(h), "abc");
    CloseHandle(h);
    // A new file goes into the existing folder, not a second one differing in case.
    h = Open(L"C:\\DATA\\LOGS\\New.txt", CREATE_NEW, GENERIC_WRITE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_TRUE(std::filesystem::exists(M().HostRoot() / "C" / "Data" / "Logs" / "New.txt"));
    EXPECT_TRUE(M().FileExists(L"C:\\Data\\Logs\\..\\Logs\\.\\new.TXT"));
}

TEST_F(Files, CreateDispositionsAndTheirLastErrors) {
    const std::wstring f = L"C:\\work\\a.txt";
    EXPECT_EQ(Open(f, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    ASSERT_TRUE(CreateDirectoryW(L"C:\\work", nullptr));
    EXPECT_EQ(Open(f, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Open(f, TRUNCATE_EXISTING, GENERIC_WRITE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    HANDLE h = Open(f, CREATE_NEW, GENERIC_WRITE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_SUCCESS));
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, "12345", 5, &written, nullptr));
    EXPECT_EQ(written, 5u);
    CloseHandle(h);

    EXPECT_EQ(Open(f, CREATE_NEW, GENERIC_WRITE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_FILE_EXISTS));

    // Opening an existing file "always" succeeds and says it existed; OPEN_ALWAYS keeps it.
    h = Open(f, OPEN_ALWAYS, GENERIC_READ | GENERIC_WRITE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(GetFileSize(h, nullptr), 5u);
    CloseHandle(h);
    h = Open(f, CREATE_ALWAYS, GENERIC_WRITE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(GetFileSize(h, nullptr), 0u);
    CloseHandle(h);
    h = Open(L"C:\\work\\b.txt", OPEN_ALWAYS, GENERIC_WRITE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(h);
    EXPECT_EQ(Open(L"C:\\work", OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(Files, ShareModesConflict) {
    M().WriteFile(L"C:\\s.txt", "x");
    HANDLE reader = Open(L"C:\\s.txt", OPEN_EXISTING, GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    HANDLE second = Open(L"c:\\S.TXT", OPEN_EXISTING, GENERIC_READ, FILE_SHARE_READ);
    EXPECT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open(L"C:\\s.txt", OPEN_EXISTING, GENERIC_WRITE, FILE_SHARE_READ),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(Open(L"C:\\s.txt", CREATE_ALWAYS, GENERIC_WRITE, FILE_SHARE_READ),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(M().ReadFile(L"C:\\s.txt"), "x");  // the refused CREATE_ALWAYS truncated nothing
    EXPECT_FALSE(DeleteFileW(L"C:\\s.txt"));
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(reader);
    CloseHandle(second);

    HANDLE exclusive = Open(L"C:\\s.txt", OPEN_EXISTING, GENERIC_WRITE, 0);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open(L"C:\\s.txt", OPEN_EXISTING, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(exclusive);
    // Deleting needs every handle open on the file to share deletion.
    HANDLE shared =
        Open(L"C:\\s.txt", OPEN_EXISTING, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(shared, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileW(L"C:\\s.txt"));
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(shared);
    HANDLE deletable =
        Open(L"C:\\s.txt", OPEN_EXISTING, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE);
    EXPECT_TRUE(DeleteFileW(L"C:\\s.txt"));
    CloseHandle(deletable);
    EXPECT_FALSE(M().FileExists(L"C:\\s.txt"));
}

TEST_F(Files, ReadWriteSizeAndFilePointer) {
    HANDLE h = Open(L"C:\\rw.bin", CREATE_ALWAYS, GENERIC_READ | GENERIC_WRITE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(h, "hello world", 11, &n, nullptr));
    DWORD high = 99;
    EXPECT_EQ(GetFileSize(h, &high), 11u);
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), 0u);
    char buf[16] = {};
    ASSERT_TRUE(ReadFile(h, buf, 5, &n, nullptr));
    EXPECT_EQ(std::string(buf, n), "hello");
    EXPECT_EQ(SetFilePointer(h, 1, nullptr, FILE_CURRENT), 6u);
    EXPECT_EQ(SetFilePointer(h, -5, nullptr, FILE_END), 6u);
    ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(std::string(buf, n), "world");
    ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));  // end of file: success, no bytes
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(SetFilePointer(h, -20, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    CloseHandle(h);

    HANDLE ro = Open(L"C:\\rw.bin", OPEN_EXISTING, GENERIC_READ, FILE_SHARE_READ);
    EXPECT_FALSE(WriteFile(ro, "x", 1, &n, nullptr));
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(ro);
    EXPECT_EQ(M().ReadFile(L"C:\\rw.bin"), "hello world");
}

TEST_F(Files, DeleteFileAndCreateDirectory) {
    M().WriteFile(L"C:\\d\\gone.txt", "x");
    EXPECT_TRUE(DeleteFileW(L"c:\\D\\GONE.txt"));
    EXPECT_FALSE(M().FileExists(L"C:\\d\\gone.txt"));
    EXPECT_FALSE(DeleteFileW(L"C:\\d\\gone.txt"));
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(DeleteFileW(L"C:\\nowhere\\gone.txt"));
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    EXPECT_TRUE(CreateDirectoryW(L"C:\\d\\sub\\", nullptr));
    EXPECT_EQ(GetFileAttributesW(L"C:\\d\\sub"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(CreateDirectoryW(L"C:\\D\\SUB", nullptr));
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryW(L"C:\\x\\y\\z", nullptr));
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

class Find : public Files {
protected:
    void SetUp() override {
        Files::SetUp();
        for (const char* name :
             {"log1.txt", "LOG22.TXT", "log.txt", "logx.txt.bak", "a.ini", "b.ini", "ab.ini"})
            M().WriteFile(L"C:\\f\\" + sim::FromUtf8(name), "12345");
        CreateDirectoryW(L"C:\\f\\sub", nullptr);
    }
    // Every name FindFirstFileW/FindNextFileW report for the pattern, or the first error.
    std::set<std::wstring> Names(const std::wstring& pattern, DWORD* error = nullptr) {
        std::set<std::wstring> out;
        WIN32_FIND_DATAW d;
        HANDLE h = FindFirstFileW(pattern.c_str(), &d);
        if (error) *error = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        if (h == INVALID_HANDLE_VALUE) return out;
        do {
            out.insert(d.cFileName);
        } while (FindNextFileW(h, &d));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
        EXPECT_TRUE(FindClose(h));
        return out;
    }
};

TEST_F(Find, WildcardsMatchWithoutRegardToCase) {
    std::set<std::wstring> all = {L"log1.txt", L"LOG22.TXT", L"log.txt", L"logx.txt.bak",
                                  L"a.ini",    L"b.ini",     L"ab.ini",  L"sub"};
    // A folder below the root lists itself and its parent too.
    all.insert({L".", L".."});
    EXPECT_EQ(Names(L"C:\\f\\*"), all);
    EXPECT_EQ(Names(L"C:/F/*.*"), all);
    EXPECT_EQ(Names(L"C:\\f\\log*.txt"),
              (std::set<std::wstring>{L"log1.txt", L"LOG22.TXT", L"log.txt"}));
    EXPECT_EQ(Names(L"C:\\f\\?.ini"), (std::set<std::wstring>{L"a.ini", L"b.ini"}));
    EXPECT_EQ(Names(L"C:\\f\\LOG?.TXT"), (std::set<std::wstring>{L"log1.txt"}));
    EXPECT_EQ(Names(L"C:\\f\\*.bak"), (std::set<std::wstring>{L"logx.txt.bak"}));
}

TEST_F(Find, ReportsAttributesSizesAndMissingMatchesOrFolders) {
    WIN32_FIND_DATAW d;
    HANDLE h = FindFirstFileW(L"C:\\f\\sub", &d);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    FindClose(h);
    h = FindFirstFileW(L"C:\\f\\a.ini", &d);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(d.nFileSizeLow, 5u);
    FindClose(h);

    DWORD error = 0;
    EXPECT_TRUE(Names(L"C:\\f\\*.xyz", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(Names(L"C:\\missing\\*", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(Names(L"C:\\f\\sub\\", &error).empty()) << "a path ending in a separator";
    EXPECT_NE(error, 0u);
    EXPECT_FALSE(FindNextFileW(reinterpret_cast<HANDLE>(0x4444), &d));
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(Files, InjectedOpenFailureFailsTheNamedPathAsOftenAsAsked) {
    M().WriteFile(L"C:\\f\\x.txt", "x");
    M().faults().Inject(sim::FileOp::Open, ERROR_SHARING_VIOLATION, 2, L"C:\\f\\x.txt");
    EXPECT_EQ(Open(L"C:\\f\\x.txt", OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    // The same file by another spelling.
    EXPECT_EQ(Open(L"c:/F/X.TXT", OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    HANDLE h = Open(L"C:\\f\\x.txt", OPEN_EXISTING);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    M().faults().Inject(sim::FileOp::Open, ERROR_ACCESS_DENIED, -1, L"C:\\f\\new.txt");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Open(L"C:\\f\\new.txt", CREATE_ALWAYS, GENERIC_WRITE), INVALID_HANDLE_VALUE);
        EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    EXPECT_FALSE(M().FileExists(L"C:\\f\\new.txt"));
}

// Each machine has its own open files: a file left open on a replaced machine does not hold back
// the next machine, even over the same host folder, and the new machine checks its own opens.
TEST_F(Files, AFreshMachineStartsWithNoFileOpen) {
    char folder[] = "/tmp/files-test-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    sim::Config config = MachineConfig();
    config.hostFolder = folder;
    sim::Machine::Reset(config);
    M().WriteFile(L"C:\\s.txt", "x");
    HANDLE old = Open(L"C:\\s.txt", OPEN_EXISTING, GENERIC_READ | GENERIC_WRITE, 0);
    ASSERT_NE(old, INVALID_HANDLE_VALUE);

    sim::Machine::Reset(config);
    HANDLE fresh = Open(L"C:\\s.txt", OPEN_EXISTING, GENERIC_READ | GENERIC_WRITE, 0);
    EXPECT_NE(fresh, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open(L"C:\\s.txt", OPEN_EXISTING, GENERIC_READ, FILE_SHARE_READ),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(CloseHandle(fresh));
    EXPECT_FALSE(CloseHandle(old));  // it belonged to the earlier machine's program
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

// ---- Handles ----

TEST_F(Files, HandlesAreNeverReusedAndBadHandlesAreRefused) {
    std::set<HANDLE> seen;
    for (int i = 0; i < 50; ++i) {
        HANDLE e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        EXPECT_TRUE(seen.insert(e).second) << "handle value reused";
        EXPECT_TRUE(CloseHandle(e));
    }
    HANDLE closed = *seen.begin();
    EXPECT_FALSE(CloseHandle(closed));
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(SetEvent(closed));
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(closed, 0), WAIT_FAILED);
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    // A handle of another kind of object is refused too.
    HANDLE sem = CreateSemaphoreW(nullptr, 0, 1, nullptr);
    EXPECT_FALSE(SetEvent(sem));
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    M().WriteFile(L"C:\\h.txt", "x");
    HANDLE f = Open(L"C:\\h.txt", OPEN_EXISTING);
    EXPECT_EQ(seen.count(f), 0u);
    EXPECT_TRUE(CloseHandle(f));
    DWORD n;
    char c;
    EXPECT_FALSE(ReadFile(f, &c, 1, &n, nullptr));
    EXPECT_EQ(Err(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
