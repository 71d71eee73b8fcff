// Dates and times as text in the user's locale: the locale's pictures, a program's picture, the
// TIME_ flags, the buffer rules and the errors.
#include <gtest/gtest.h>

#include <string>

#include "common/sim_fixture.h"
#include <winbase.h>
#include <winnls.h>

namespace {

class DateTextTest : public SimTest {};

SYSTEMTIME At(int y, int mo, int d, int h, int mi, int s) {
    return {
        static_cast<WORD>(y),  static_cast<WORD>(mo), 3, static_cast<WORD>(d), static_cast<WORD>(h),
        static_cast<WORD>(mi), static_cast<WORD>(s),  0};
}

TEST_F(DateTextTest, DatesAndTimesReadAsTheLocaleOrThePictureSays) {
    const SYSTEMTIME leap = At(2024, 2, 29, 0, 7, 3);         // a Thursday, just after midnight
    const SYSTEMTIME evening = At(1999, 12, 31, 23, 59, 58);  // a Friday
    struct Case {
        bool date;
        DWORD flags;
        const wchar_t* picture;
        SYSTEMTIME time;
        const wchar_t* text;
    };
    const Case cases[] = {
        {true, 0, nullptr, leap, L"2/29/2024"},
        {true, DATE_SHORTDATE, nullptr, evening, L"12/31/1999"},
        {true, DATE_LONGDATE, nullptr, leap, L"Thursday, February 29, 2024"},
        {true, 0, L"dd.MM.yy ddd MMM", leap, L"29.02.24 Thu Feb"},
        {true, 0, L"y yy yyyy", At(2005, 1, 1, 0, 0, 0), L"5 05 2005"},
        {true, 0, L"'d''M' d", leap, L"d'M 29"},
        {false, 0, nullptr, leap, L"12:07:03 AM"},
        {false, 0, nullptr, evening, L"11:59:58 PM"},
        {false, TIME_NOSECONDS, nullptr, evening, L"11:59 PM"},
        {false, TIME_NOMINUTESORSECONDS, nullptr, evening, L"11 PM"},
        {false, TIME_NOTIMEMARKER, nullptr, evening, L"11:59:58"},
        {false, TIME_FORCE24HOURFORMAT, nullptr, evening, L"23:59:58"},
        {false, 0, L"HH'h'mm t", leap, L"00h07 A"},
    };
    for (const Case& c : cases) {
        wchar_t out[64] = {};
        const int n =
            c.date ? GetDateFormatW(LOCALE_USER_DEFAULT, c.flags, &c.time, c.picture, out, 64)
                   : GetTimeFormatW(LOCALE_USER_DEFAULT, c.flags, &c.time, c.picture, out, 64);
        EXPECT_EQ(std::wstring(out), c.text);
        EXPECT_EQ(n, static_cast<int>(std::wstring(c.text).size()) + 1) << "the terminator counts";
        const int size = c.date ? GetDateFormatW(0, c.flags, &c.time, c.picture, nullptr, 0)
                                : GetTimeFormatW(0, c.flags, &c.time, c.picture, nullptr, 0);
        EXPECT_EQ(size, n) << "a size query";
    }
}

TEST_F(DateTextTest, BadRequestsFailWithTheirReason) {
    const SYSTEMTIME good = At(2026, 3, 15, 14, 5, 9);
    struct Case {
        const char* name;
        bool date;
        DWORD flags;
        const wchar_t* picture;
        SYSTEMTIME time;
        int outChars;
        DWORD error;
    };
    const Case cases[] = {
        {"both date flags", true, DATE_SHORTDATE | DATE_LONGDATE, nullptr, good, 64,
         ERROR_INVALID_FLAGS},
        {"a flag with a picture", true, DATE_LONGDATE, L"d", good, 64, ERROR_INVALID_FLAGS},
        {"an unknown time flag", false, 0x100, nullptr, good, 64, ERROR_INVALID_FLAGS},
        {"February 30", true, 0, nullptr, At(2026, 2, 30, 0, 0, 0), 64, ERROR_INVALID_PARAMETER},
        {"February 29 of 1900", true, 0, nullptr, At(1900, 2, 29, 0, 0, 0), 64,
         ERROR_INVALID_PARAMETER},
        {"minute 60", false, 0, nullptr, At(2026, 1, 1, 1, 60, 0), 64, ERROR_INVALID_PARAMETER},
        {"a short buffer", true, 0, nullptr, good, 9, ERROR_INSUFFICIENT_BUFFER},
        {"a negative size", false, 0, nullptr, good, -1, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        wchar_t out[64] = {L'#', 0};
        SetLastError(0);
        const int n = c.date ? GetDateFormatW(0, c.flags, &c.time, c.picture, out, c.outChars)
                             : GetTimeFormatW(0, c.flags, &c.time, c.picture, out, c.outChars);
        EXPECT_EQ(n, 0) << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
        EXPECT_EQ(out[0], L'#') << c.name << ": the buffer is left alone";
    }
    wchar_t fits[10] = {};
    EXPECT_EQ(GetDateFormatW(0, 0, &good, nullptr, fits, 10), 10) << "3/15/2026 and its end";
}

TEST_F(DateTextTest, WithoutATimeTheLocalTimeIsShown) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t given[64] = {}, local[64] = {};
    GetDateFormatW(0, DATE_LONGDATE, &now, nullptr, given, 64);
    GetDateFormatW(0, DATE_LONGDATE, nullptr, nullptr, local, 64);
    EXPECT_STREQ(local, given);
    EXPECT_GT(GetTimeFormatW(0, 0, nullptr, nullptr, local, 64), 1);
}

}  // namespace
