// Date and time pictures split into their parts, shared by GetDateFormatW, GetTimeFormatW and the
// date-time picker (which edits a date part by part).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <winbase.h>
#include <winnls.h>

namespace nls {

// One part of a picture: a field (its letter and how many times it is repeated) or literal text
// (letter 0).
struct PicturePart {
    wchar_t letter = 0;
    int count = 0;
    std::wstring literal;
};

// A locale's data: its pictures, its time markers and its ANSI code page.
struct LocaleData {
    LCID id;
    std::wstring_view shortDate;
    std::wstring_view longDate;
    std::wstring_view time;
    std::wstring_view am;
    std::wstring_view pm;
    UINT ansiCodePage;
};

// The locale of an LCID (LOCALE_USER_DEFAULT and LOCALE_SYSTEM_DEFAULT: the machine's user
// locale), or null for one the machine does not know.
const LocaleData* FindLocale(LCID locale);
// The machine's user locale (English (United States) when its configuration names another).
const LocaleData& UserLocale();

// The text into the caller's buffer by the size rules of the locale functions: with outChars 0
// the size needed (the terminator counted), else the characters written with the terminator; 0
// with ERROR_INVALID_PARAMETER or ERROR_INSUFFICIENT_BUFFER.
int Deliver(const std::wstring& text, LPWSTR out, int outChars);

std::vector<PicturePart> SplitPicture(std::wstring_view picture);
// The text of one part for the time (a literal's own text).
std::wstring FormatPart(const PicturePart& part, const SYSTEMTIME& time);
std::wstring Format(const std::vector<PicturePart>& parts, const SYSTEMTIME& time);
// Whether the date exists (1601-30827, the month's days) and the time of day is one.
bool ValidDate(const SYSTEMTIME& time);
bool ValidTime(const SYSTEMTIME& time);
int DaysInMonth(int year, int month);
// 0 = Sunday.
int DayOfWeek(int year, int month, int day);

}  // namespace nls
