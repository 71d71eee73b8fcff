// The wide formatter with the platform's conversions, and code-page conversions.
#include <cwctype>
#include <string>

#include "common/sim_fixture.h"
#include "machine/processes.h"
#include <corecrt.h>
#include <winbase.h>
#include <winnls.h>

namespace {

class Format : public SimTest {};

TEST_F(Format, StringConversionsFollowThePlatform) {
    EXPECT_EQ(crt::Format(L"%s|%S|%hs|%ls", L"wide", "narrow", "short", L"long"),
              L"wide|narrow|short|long");
    EXPECT_EQ(crt::Format(L"[%s][%hs]", static_cast<const wchar_t*>(nullptr),
                          static_cast<const char*>(nullptr)),
              L"[(null)][(null)]");
    EXPECT_EQ(crt::Format(L"%s", L"\u4E2D\u6587"), L"\u4E2D\u6587");
}

TEST_F(Format, NumbersWidthsPrecisionsAndPercent) {
    EXPECT_EQ(crt::Format(L"%d %u %x %X|%5d|%-5s|%.3s|%c|%%", -5, 4000000000u, 255u, 255u, 42,
                          L"ab", L"abcdef", L'Z'),
              L"-5 4000000000 ff FF|   42|ab   |abc|Z|%");
    EXPECT_EQ(crt::Format(L"%I64d %I64u", -1234567890123LL, 18446744073709551615ULL),
              L"-1234567890123 18446744073709551615");
    EXPECT_EQ(crt::Format(L"%04d|%+d|%-4d|%08.3f|%lu|%ld", 7, 3, 9, 3.14159, DWORD{4000000000u},
                          LONG{-7}),
              L"0007|+3|9   |0003.142|4000000000|-7");
    EXPECT_EQ(crt::Format(L"%*d|%-*s|", 4, 1, 3, L"x"), L"   1|x  |");
    // Wide fields are not cut at an internal buffer.
    std::wstring wide = crt::Format(L"%600d|%.400f", 1, 1.0);
    EXPECT_EQ(wide.size(), 600u + 1u + 402u);
    EXPECT_EQ(wide.substr(594, 8), L"     1|1");
}

TEST_F(Format, PercentNNeverWrites) {
    int target = 77;
    EXPECT_EQ(crt::Format(L"ab%ncd%d", &target, 5), L"abcd5");
    EXPECT_EQ(target, 77);
}

int Snw(wchar_t* buf, std::size_t n, const wchar_t* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    int r = _vsnwprintf(buf, n, fmt, ap);
    va_end(ap);
    return r;
}

TEST_F(Format, VsnwprintfTruncatesReturnsMinusOneAndTerminates) {
    wchar_t buf[8];
    std::fill(std::begin(buf), std::end(buf), L'#');
    EXPECT_EQ(Snw(buf, 5, L"%s-%d", L"abcdef", 1), -1);
    EXPECT_EQ(std::wstring(buf), L"abcd");
    EXPECT_EQ(buf[5], L'#');  // nothing written past count
    EXPECT_EQ(Snw(buf, 5, L"%d", 1234), 4);
    EXPECT_EQ(std::wstring(buf), L"1234");
    EXPECT_EQ(Snw(buf, 4, L"%d", 1234), -1);
    EXPECT_EQ(std::wstring(buf), L"123");
    // A null buffer of no size asks for the length.
    EXPECT_EQ(Snw(nullptr, 0, L"%s=%d", L"key", 100), 7);
    EXPECT_EQ(_snwprintf(buf, 8, L"%hs", "narrow"), 6);
    EXPECT_EQ(std::wstring(buf), L"narrow");
}

// ---- Code pages ----

class CodePages : public SimTest {};

TEST_F(CodePages, ChineseTextInTheMachinesCodePage936) {
    EXPECT_EQ(GetACP(), 936u);
    const char gbk[] = "\xD6\xD0\xCE\xC4";  // "中文"
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, gbk, 4, nullptr, 0), 2);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, gbk, -1, nullptr, 0), 3);  // with the terminator
    wchar_t wide[8] = {};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, gbk, -1, wide, 8), 3);
    EXPECT_EQ(std::wstring(wide), L"\u4E2D\u6587");
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, gbk, 4, wide, 1), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"\u4E2D\u6587", -1, nullptr, 0, nullptr, nullptr), 5);
    char bytes[8] = {};
    BOOL usedDefault = TRUE;
    EXPECT_EQ(WideCharToMultiByte(936, 0, L"\u4E2D\u6587", 2, bytes, 8, nullptr, &usedDefault), 4);
    EXPECT_EQ(std::string(bytes, 4), std::string(gbk, 4));
    EXPECT_FALSE(usedDefault);
    EXPECT_EQ(WideCharToMultiByte(936, 0, L"\u4E2D\u6587", 2, bytes, 3, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(CodePages, UnconvertibleCharactersBecomeTheDefaultChar) {
    char bytes[8] = {};
    BOOL usedDefault = FALSE;
    // U+0E01 (Thai) has no place in code page 936.
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"a\u0E01b", 3, bytes, 8, "*", &usedDefault), 3);
    EXPECT_EQ(std::string(bytes, 3), "a*b");
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"\u0E01", 1, bytes, 8, nullptr, &usedDefault), 1);
    EXPECT_EQ(bytes[0], '?');
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\u0E01", 1, bytes, 8, nullptr, &usedDefault), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\u0E01", 1, bytes, 8, nullptr, nullptr), 3);

    wchar_t wide[8];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, wide, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xFF", 2, wide, 8), 2);
    EXPECT_EQ(wide[1], L'\uFFFD');
    EXPECT_EQ(MultiByteToWideChar(12345, 0, "a", 1, wide, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a", 0, wide, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

class CodePages1252 : public SimTest {
    sim::Config MachineConfig() override {
        auto c = sim::Config::WindowsXP();
        c.ansiCodePage = 1252;
        return c;
    }
};

TEST_F(CodePages1252, AnsiFollowsTheMachinesCodePage) {
    EXPECT_EQ(GetACP(), 1252u);
    char bytes[4] = {};
    BOOL usedDefault = TRUE;
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"\u00E9\u4E2D", 2, bytes, 4, nullptr, &usedDefault),
              2);
    EXPECT_EQ(std::string(bytes, 2), "\xE9?");
    EXPECT_TRUE(usedDefault);
    wchar_t wide[4] = {};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\x80", 1, wide, 4), 1);
    EXPECT_EQ(wide[0], L'\u20AC');
}

}  // namespace

namespace {

class LocaleTest : public SimTest {};

TEST_F(LocaleTest, UserDefaultLocaleFollowsTheCodePageAndMapsEveryLetter) {
    EXPECT_STREQ(_wsetlocale(LC_ALL, nullptr), L"C");
    EXPECT_STREQ(_wsetlocale(LC_ALL, L""), L"Chinese (Simplified)_China.936");
    EXPECT_EQ(sim::CurrentProcess().Locale(), L"Chinese (Simplified)_China.936");
    EXPECT_EQ(std::towlower(L'\u00C4'), L'\u00E4');  // beyond ASCII under the user's locale
    EXPECT_EQ(_wsetlocale(LC_ALL, L"Klingon_Qo'noS.1"), nullptr);
    EXPECT_STREQ(_wsetlocale(LC_ALL, L"C"), L"C");
}

TEST_F(LocaleTest, SingleByteMachine) {
    sim::Config config;
    config.ansiCodePage = 1252;
    sim::Machine::Reset(config);
    EXPECT_STREQ(_wsetlocale(LC_ALL, L""), L"English_United States.1252");
}

}  // namespace
