// The user's locale (GetLocaleInfoW, the standard library's locale("")) and the C runtime's time
// calls on the machine's clock and time zone, with its time pictures.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <cwchar>
#include <locale>
#include <string>

#include "common/sim_fixture.h"
#include <corecrt.h>
#include <winbase.h>
#include <winnls.h>

namespace {

template <LCID userLocale>
class LocaleTest : public SimTest {
protected:
    sim::Config MachineConfig() override {
        sim::Config c = SimTest::MachineConfig();
        c.userLocale = userLocale;
        c.timeZoneBias = -480;
        c.startLocalTime = 1212321600;  // 2008-06-01 12:00:00 local
        return c;
    }
};
using ChineseLocaleTest = LocaleTest<0x0804>;

std::wstring Info(LCID locale, LCTYPE type) {
    wchar_t out[64] = {};
    return GetLocaleInfoW(locale, type, out, 64) > 0 ? out : L"(failed)";
}

TEST_F(ChineseLocaleTest, TheLocalesAnswerTheirPicturesAndCodePages) {
    struct Case {
        LCID locale;
        LCTYPE type;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, L"H:mm:ss"},
        {LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, L"yyyy-M-d"},
        {LOCALE_USER_DEFAULT, LOCALE_SLONGDATE, L"yyyy'\u5E74'M'\u6708'd'\u65E5'"},
        {LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, L"936"},
        {LOCALE_SYSTEM_DEFAULT, LOCALE_STIMEFORMAT | LOCALE_NOUSEROVERRIDE, L"H:mm:ss"},
        {0x0409, LOCALE_STIMEFORMAT, L"h:mm:ss tt"},
        {0x0409, LOCALE_SSHORTDATE, L"M/d/yyyy"},
        {0x0409, LOCALE_SLONGDATE, L"dddd, MMMM d, yyyy"},
        {0x0409, LOCALE_IDEFAULTANSICODEPAGE, L"1252"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Info(c.locale, c.type), c.expected) << std::hex << c.locale << " " << c.type;
    EXPECT_EQ(GetUserDefaultLCID(), 0x0804u);

    EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, nullptr, 0), 8);
    wchar_t small[4];
    EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, small, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(GetLocaleInfoW(0x0411, LOCALE_STIMEFORMAT, small, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, 0x7777, small, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));

    // The locale's own time picture: 24 hours, its markers unused.
    SYSTEMTIME t{2008, 6, 0, 1, 15, 4, 5, 0};
    wchar_t text[32];
    ASSERT_GT(GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &t, nullptr, text, 32), 0);
    EXPECT_STREQ(text, L"15:04:05");
}

TEST_F(ChineseLocaleTest, TheStandardLibrarysUserLocaleIsOneTheHostHas) {
    setenv("LC_ALL", "xx_NOWHERE.UTF-8", 1);
    sim::Machine::Reset(MachineConfig());  // the machine sets the host's locale to match its own
    std::locale user;
    EXPECT_NO_THROW(user = std::locale(""));
    EXPECT_NE(user.name(), "xx_NOWHERE.UTF-8");
    EXPECT_NO_THROW(std::locale::global(user));
    std::locale::global(std::locale::classic());
}

TEST_F(ChineseLocaleTest, TimeRunsOnTheMachinesClockInItsZone) {
    const std::time_t utc = 1212321600 - 8 * 3600;
    EXPECT_EQ(std::time(nullptr), utc);
    Sleep(61000);
    std::time_t now = 0;
    EXPECT_EQ(std::time(&now), utc + 61);
    EXPECT_EQ(now, utc + 61);
    EXPECT_EQ(_time64(nullptr), utc + 61);
    const std::tm* local = std::localtime(&now);
    ASSERT_NE(local, nullptr);
    EXPECT_EQ(local->tm_hour, 12);
    EXPECT_EQ(local->tm_min, 1);
    EXPECT_EQ(local->tm_sec, 1);
    const std::time_t before1970 = -1;
    EXPECT_EQ(std::localtime(&before1970), nullptr);
}

TEST_F(ChineseLocaleTest, TimePicturesFollowTheRuntimesRules) {
    std::tm t{};
    t.tm_year = 108;
    t.tm_mon = 5;
    t.tm_mday = 1;
    t.tm_wday = 0;
    t.tm_yday = 152;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 7;
    struct Case {
        const wchar_t* picture;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"%Y-%m-%d %H:%M:%S", L"2008-06-01 09:05:07"},
        {L"%#d/%#m %#H:%M", L"1/6 9:05"},
        {L"%a %A %b %B %p %I %j %w %y", L"Sun Sunday Jun June AM 09 153 0 08"},
        {L"%c|%x|%X", L"06/01/08 09:05:07|06/01/08|09:05:07"},
        {L"%#x", L"Sunday, June 1, 2008"},
        {L"%z %% %Q %#Q end%", L"+0800 % %Q %#Q end%"},  // unknown conversions stay as text
        {L"\u5E74%Y", L"\u5E742008"},
    };
    for (const Case& c : cases) {
        wchar_t out[64];
        std::size_t n = std::wcsftime(out, 64, c.picture, &t);
        EXPECT_EQ(std::wstring(out, n), c.expected) << c.picture;
    }
    char narrow[32];
    const char* picture = "%H:%M %Q";  // not a literal: the host's compiler knows no %Q
    ASSERT_EQ(std::strftime(narrow, sizeof narrow, picture, &t), 8u);
    EXPECT_STREQ(narrow, "09:05 %Q");

    // Longer than the buffer: nothing but an empty text, nothing written past its end.
    wchar_t bounded[8];
    std::wmemset(bounded, L'#', 8);
    errno = 0;
    EXPECT_EQ(std::wcsftime(bounded, 7, L"%Y-%m-%d", &t), 0u);
    EXPECT_EQ(errno, ERANGE);
    EXPECT_EQ(bounded[0], L'\0');
    EXPECT_EQ(bounded[7], L'#');
    EXPECT_EQ(std::wcsftime(bounded, 8, L"%Y-%m", &t), 7u);  // exactly fits with its terminator

    t.tm_mon = 12;  // no such month
    EXPECT_EQ(std::wcsftime(bounded, 8, L"%b", &t), 0u);
    EXPECT_EQ(errno, EINVAL);
}

}  // namespace
