// WritePrivateProfileStringW and the user's profile folder.
#include <string>

#include "common/sim_fixture.h"
#include <winbase.h>
#include <userenv.h>

namespace {

class ProfileTest : public SimTest {
protected:
    const std::wstring kPath = L"C:\\data\\settings.txt";
    BOOL Write(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
        return WritePrivateProfileStringW(section, key, value, kPath.c_str());
    }
    std::string Bytes() { return M().ReadFile(kPath); }
};

TEST_F(ProfileTest, NewFileIsAnsiWithOneLinePerKey) {
    M().WriteFile(L"C:\\data\\keep.txt", "");  // the folder exists
    ASSERT_TRUE(Write(L"Dial", L"Number", L"#777"));
    ASSERT_TRUE(Write(L"Dial", L"User", L"\u7528\u6237"));  // two Chinese characters
    // Code page 936 holds each of them in two bytes.
    EXPECT_EQ(Bytes(), "[Dial]\r\nNumber=#777\r\nUser=\xD3\xC3\xBB\xA7\r\n");
}

TEST_F(ProfileTest, KeysAndSectionsAreFoundWithoutRegardToCase) {
    M().WriteFile(kPath,
                  "; settings\n"
                  "[First]\n"
                  "  Alpha = 1 \n"
                  "Beta=2\n"
                  "\n"
                  "[Second]\n"
                  "Gamma=3");
    ASSERT_TRUE(Write(L"FIRST", L"alpha", L"one"));  // replaced where it stands
    ASSERT_TRUE(Write(L"first", L"Delta", L"4"));    // added after the section's last key
    ASSERT_TRUE(Write(L"Second", L"Gamma", L"three"));
    ASSERT_TRUE(Write(L"Third", L"Eps", L"5"));  // a new section at the end
    EXPECT_EQ(Bytes(),
              "; settings\n"
              "[First]\n"
              "alpha=one\r\n"
              "Beta=2\n"
              "Delta=4\r\n"
              "\n"
              "[Second]\n"
              "Gamma=three\r\n"
              "[Third]\r\n"
              "Eps=5\r\n");
}

TEST_F(ProfileTest, Utf16FileStaysUtf16) {
    auto utf16 = [](const std::wstring& text) {
        std::string out;
        for (wchar_t c : text) {
            out += static_cast<char>(c & 0xFF);
            out += static_cast<char>(c >> 8);
        }
        return out;
    };
    M().WriteFile(kPath, "\xFF\xFE" + utf16(L"[S]\r\nK=old\r\n"));
    ASSERT_TRUE(Write(L"S", L"K", L"\u65B0"));
    ASSERT_TRUE(Write(L"S", L"L", L"x"));
    EXPECT_EQ(Bytes(), "\xFF\xFE" + utf16(L"[S]\r\nK=\u65B0\r\nL=x\r\n"));
}

TEST_F(ProfileTest, NullValueOrKeyRemoves) {
    M().WriteFile(kPath, "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");
    ASSERT_TRUE(Write(L"A", L"x", nullptr));
    ASSERT_TRUE(Write(L"B", nullptr, nullptr));
    EXPECT_EQ(Bytes(), "[A]\r\ny=2\r\n");
}

TEST_F(ProfileTest, FailuresLeaveTheFileAlone) {
    EXPECT_FALSE(WritePrivateProfileStringW(L"S", L"K", L"v", L"C:\\missing\\folder\\f.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    M().WriteFile(kPath, "[S]\r\nK=old\r\n");
    M().faults().Inject(sim::FileOp::Open, ERROR_SHARING_VIOLATION, 1, kPath);
    EXPECT_FALSE(Write(L"S", L"K", L"new"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(Bytes(), "[S]\r\nK=old\r\n");
}

TEST_F(ProfileTest, UserProfileFolder) {
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    DWORD size = 0;
    EXPECT_FALSE(GetUserProfileDirectoryW(token, nullptr, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    std::wstring expected = M().config().profileFolder;
    EXPECT_EQ(size, expected.size() + 1);
    wchar_t buffer[1024];
    size = 1024;
    ASSERT_TRUE(GetUserProfileDirectoryW(token, buffer, &size));
    EXPECT_EQ(std::wstring(buffer), expected);
    CloseHandle(token);
    EXPECT_FALSE(GetUserProfileDirectoryW(token, buffer, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
