// Date and time pictures split into their parts, shared by GetDateFormatW, GetTimeFormatW and the
// date-time picker (which edits a date part by part).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <winbase.h>

namespace nls {

// One part of a picture: a field (its letter and how many times it is repeated) or literal text
// (letter 0).
struct PicturePart {
    wchar_t letter = 0;
    int count = 0;
    std::wstring literal;
};

// The locale's pictures.
inline constexpr std::wstring_view kShortDate = L"M/d/yyyy";
inline constexpr std::wstring_view kLongDate = L"dddd, MMMM d, yyyy";
inline constexpr std::wstring_view kTime = L"h:mm:ss tt";

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
