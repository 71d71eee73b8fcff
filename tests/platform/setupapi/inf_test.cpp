// The INF functions of the SetupAPI over the layer's .inf reader.
#include <string>

#include "common/sim_fixture.h"
#include <winbase.h>
#include <setupapi.h>
#include "machine/inf.h"

namespace {

class InfTest : public SimTest {
protected:
    const std::wstring kPath = L"C:\\drivers\\test.inf";

    HINF OpenText(const std::string& body, UINT* errorLine = nullptr) {
        M().WriteFile(kPath, body);
        return SetupOpenInfFileW(kPath.c_str(), nullptr, INF_STYLE_WIN4, errorLine);
    }
    static std::string Win4(const std::string& rest) {
        return "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Modem\r\n" + rest;
    }
    static std::wstring Field(const INFCONTEXT& c, DWORD index) {
        wchar_t buf[256];
        if (!SetupGetStringFieldW(&c, index, buf, 256, nullptr)) return L"<fail>";
        return buf;
    }
    // Every field of every line of the section, "k=a|b;" per line.
    std::wstring Dump(HINF inf, const wchar_t* section) {
        std::wstring out;
        INFCONTEXT c;
        for (BOOL ok = SetupFindFirstLineW(inf, section, nullptr, &c); ok;
             ok = SetupFindNextLine(&c, &c)) {
            wchar_t key[256];
            if (SetupGetStringFieldW(&c, 0, key, 256, nullptr)) out += std::wstring(key) + L"=";
            for (DWORD i = 1; i <= SetupGetFieldCount(&c); ++i)
                out += (i > 1 ? L"|" : L"") + Field(c, i);
            out += L";";
        }
        return out;
    }
};

TEST_F(InfTest, FieldsQuotesCommentsAndContinuation) {
    HINF inf =
        OpenText(Win4("[Models]\r\n"
                      "Desc = Install , USB\\VID_1&PID_2 ; a comment\r\n"
                      "\"quoted, with ; inside\" = \" padded \", \"a\"\"b\"\r\n"
                      "Joined = one, \\\r\n"
                      "         two\r\n"
                      "lonevalue\r\n"
                      "first, second\r\n"
                      "trailing = x,\r\n"
                      "  ; only a comment\r\n"
                      "\r\n"
                      "[models]\r\n"
                      "again = merged\r\n"));
    ASSERT_NE(inf, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Dump(inf, L"MODELS"),
              L"Desc=Install|USB\\VID_1&PID_2;"
              L"quoted, with ; inside= padded |a\"b;"
              L"Joined=one|two;"
              L"lonevalue=lonevalue;"
              L"first|second;"
              L"trailing=x|;"
              L"again=merged;");
    SetupCloseInfFile(inf);
}

TEST_F(InfTest, StringTokensAreSubstituted) {
    HINF inf = OpenText(
        Win4("[Strings]\r\n"
             "Mfg = \"VARNI Co\"\r\n"
             "Self = %Mfg%\r\n"
             "[A]\r\n"
             "%mfg% = %MFG% modem, \"in %Mfg% quotes\", %unknown%, 100%%, %12%\\x.sys\r\n"));
    ASSERT_NE(inf, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Dump(inf, L"A"),
              L"VARNI Co=VARNI Co modem|in VARNI Co quotes|%unknown%|100%|%12%\\x.sys;");
    // [Strings] itself is taken as written.
    EXPECT_EQ(Dump(inf, L"Strings"), L"Mfg=VARNI Co;Self=%Mfg%;");
    SetupCloseInfFile(inf);
}

TEST_F(InfTest, LookupsByKeyAndFieldErrors) {
    HINF inf = OpenText(Win4("[Install.NT]\r\nAddReg = r\r\nCopyFiles = a, b\r\nx, y\r\n"));
    ASSERT_NE(inf, INVALID_HANDLE_VALUE);
    INFCONTEXT c;
    ASSERT_TRUE(SetupFindFirstLineW(inf, L"install.nt", L"COPYFILES", &c));
    EXPECT_EQ(SetupGetFieldCount(&c), 2u);
    EXPECT_EQ(Field(c, 2), L"b");
    EXPECT_FALSE(SetupGetStringFieldW(&c, 3, nullptr, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    DWORD need = 0;
    EXPECT_TRUE(SetupGetStringFieldW(&c, 0, nullptr, 0, &need));
    EXPECT_EQ(need, 10u);  // "CopyFiles" and the terminator
    wchar_t small[4];
    EXPECT_FALSE(SetupGetStringFieldW(&c, 0, small, 4, &need));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    ASSERT_TRUE(SetupFindNextLine(&c, &c));
    EXPECT_FALSE(SetupGetStringFieldW(&c, 0, small, 4, nullptr));  // "x, y" has no key
    EXPECT_FALSE(SetupFindNextLine(&c, &c));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_LINE_NOT_FOUND));
    EXPECT_FALSE(SetupFindFirstLineW(inf, L"Install.NT", L"Missing", &c));
    EXPECT_FALSE(SetupFindFirstLineW(inf, L"NoSuchSection", nullptr, &c));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_LINE_NOT_FOUND));
    SetupCloseInfFile(inf);
    // A closed file's context is refused.
    EXPECT_EQ(SetupGetFieldCount(&c), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(InfTest, OpenFailures) {
    UINT line = 99;
    EXPECT_EQ(SetupOpenInfFileW(L"C:\\nowhere.inf", nullptr, INF_STYLE_WIN4, &line),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    EXPECT_EQ(OpenText("[Version]\r\nSignature=\"$Other$\"\r\n"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRONG_INF_STYLE));

    EXPECT_EQ(OpenText("key = value\r\n[Version]\r\n", &line), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_EXPECTED_SECTION_NAME));
    EXPECT_EQ(line, 1u);

    EXPECT_EQ(OpenText(Win4("\r\n[Broken\r\n"), &line), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_SECTION_NAME_LINE));
    EXPECT_EQ(line, 5u);

    M().WriteFile(kPath, Win4(""));
    EXPECT_EQ(SetupOpenInfFileW(kPath.c_str(), L"Ports", INF_STYLE_WIN4, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_MISMATCH));
    HINF inf = SetupOpenInfFileW(kPath.c_str(), L"modem", INF_STYLE_WIN4, nullptr);
    EXPECT_NE(inf, INVALID_HANDLE_VALUE);
    SetupCloseInfFile(inf);
}

TEST_F(InfTest, Utf16FileWithMark) {
    std::wstring text = L"[Version]\r\nSignature=$Chicago$\r\n[S]\r\nk=\u4E2D\u6587\r\n";
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    M().WriteFile(kPath, bytes);
    HINF inf = SetupOpenInfFileW(kPath.c_str(), nullptr, INF_STYLE_WIN4, nullptr);
    ASSERT_NE(inf, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Dump(inf, L"S"), L"k=\u4E2D\u6587;");
    SetupCloseInfFile(inf);
}

TEST_F(InfTest, ClassOfTheFile) {
    GUID guid{};
    wchar_t name[32];
    DWORD need = 0;
    M().WriteFile(kPath, Win4("ClassGUID={4d36e96d-e325-11ce-bfc1-08002be10318}\r\n"));
    ASSERT_TRUE(SetupDiGetINFClassW(kPath.c_str(), &guid, name, 32, &need));
    EXPECT_EQ(std::wstring(name), L"Modem");
    EXPECT_EQ(need, 6u);
    EXPECT_TRUE(guid == GUID_DEVCLASS_MODEM);

    // Class without a GUID: the GUID is all zero and the name gives it.
    M().WriteFile(kPath, "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=PORTS\r\n");
    ASSERT_TRUE(SetupDiGetINFClassW(kPath.c_str(), &guid, name, 32, &need));
    EXPECT_TRUE(guid == GUID{});
    GUID list[2];
    ASSERT_TRUE(SetupDiClassGuidsFromNameW(name, list, 2, &need));
    EXPECT_EQ(need, 1u);
    EXPECT_TRUE(list[0] == GUID_DEVCLASS_PORTS);
    EXPECT_FALSE(SetupDiClassGuidsFromNameW(L"Modem", nullptr, 0, &need));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(need, 1u);
    EXPECT_TRUE(SetupDiClassGuidsFromNameW(L"NoSuchClass", nullptr, 0, &need));
    EXPECT_EQ(need, 0u);

    M().WriteFile(kPath, "[Version]\r\nSignature=\"$Windows NT$\"\r\n");
    EXPECT_FALSE(SetupDiGetINFClassW(kPath.c_str(), &guid, name, 32, &need));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_ASSOCIATED_CLASS));
}

}  // namespace
