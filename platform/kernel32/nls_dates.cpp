// Dates and times as text in the user's locale (<winnls.h>, platform/kernel32/nls_picture.h).
#include <algorithm>
#include <array>
#include <string>

#include <winbase.h>
#include <winnls.h>
#include "platform/kernel32/nls_picture.h"
#include "machine/handles.h"
#include "machine/trace.h"

namespace nls {

namespace {

constexpr std::array<const wchar_t*, 7> kDays = {L"Sunday",   L"Monday", L"Tuesday", L"Wednesday",
                                                 L"Thursday", L"Friday", L"Saturday"};
constexpr std::array<const wchar_t*, 12> kMonths = {
    L"January", L"February", L"March",     L"April",   L"May",      L"June",
    L"July",    L"August",   L"September", L"October", L"November", L"December"};

bool FieldLetter(wchar_t c) {
    return c == L'd' || c == L'M' || c == L'y' || c == L'h' || c == L'H' || c == L'm' ||
           c == L's' || c == L't';
}

std::wstring Padded(int value, int width) {
    std::wstring text = std::to_wstring(value);
    if (static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<std::size_t>(width) - text.size(), L'0');
    return text;
}

}  // namespace

int DaysInMonth(int year, int month) {
    static constexpr int kDaysIn[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return kDaysIn[month - 1] + (month == 2 && leap ? 1 : 0);
}

int DayOfWeek(int year, int month, int day) {
    // Days counted from a Sunday far back (the proleptic Gregorian calendar).
    static constexpr int kOffset[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3) year -= 1;
    return (year + year / 4 - year / 100 + year / 400 + kOffset[(month + 11) % 12] + day) % 7;
}

bool ValidDate(const SYSTEMTIME& t) {
    return t.wYear >= 1601 && t.wYear <= 30827 && t.wMonth >= 1 && t.wMonth <= 12 && t.wDay >= 1 &&
           t.wDay <= DaysInMonth(t.wYear, t.wMonth);
}

bool ValidTime(const SYSTEMTIME& t) {
    return t.wHour < 24 && t.wMinute < 60 && t.wSecond < 60 && t.wMilliseconds < 1000;
}

std::vector<PicturePart> SplitPicture(std::wstring_view picture) {
    std::vector<PicturePart> parts;
    auto literal = [&](wchar_t c) {
        if (parts.empty() || parts.back().letter != 0) parts.push_back({});
        parts.back().literal += c;
    };
    for (std::size_t i = 0; i < picture.size();) {
        const wchar_t c = picture[i];
        if (c == L'\'') {
            ++i;
            while (i < picture.size()) {
                if (picture[i] == L'\'') {
                    if (i + 1 < picture.size() && picture[i + 1] == L'\'') {
                        literal(L'\''), i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                literal(picture[i++]);
            }
            continue;
        }
        if (!FieldLetter(c)) {
            literal(c), ++i;
            continue;
        }
        std::size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c) ++run;
        parts.push_back({c, static_cast<int>(run), {}});
        i += run;
    }
    return parts;
}

std::wstring FormatPart(const PicturePart& part, const SYSTEMTIME& t) {
    const int n = part.count;
    switch (part.letter) {
        case 0:
            return part.literal;
        case L'd':
            if (n <= 2) return Padded(t.wDay, n);
            {
                std::wstring day =
                    kDays[static_cast<std::size_t>(DayOfWeek(t.wYear, t.wMonth, t.wDay))];
                return n == 3 ? day.substr(0, 3) : day;
            }
        case L'M':
            if (n <= 2) return Padded(t.wMonth, n);
            {
                std::wstring month = kMonths[static_cast<std::size_t>((t.wMonth + 11) % 12)];
                return n == 3 ? month.substr(0, 3) : month;
            }
        case L'y':
            if (n == 1) return std::to_wstring(t.wYear % 100);
            if (n == 2) return Padded(t.wYear % 100, 2);
            return Padded(t.wYear, 4);
        case L'h':
            return Padded(t.wHour % 12 == 0 ? 12 : t.wHour % 12, std::min(n, 2));
        case L'H':
            return Padded(t.wHour, std::min(n, 2));
        case L'm':
            return Padded(t.wMinute, std::min(n, 2));
        case L's':
            return Padded(t.wSecond, std::min(n, 2));
        case L't': {
            const LocaleData& locale = UserLocale();
            std::wstring marker(t.wHour < 12 ? locale.am : locale.pm);
            return n == 1 ? marker.substr(0, 1) : marker;
        }
        default:
            return {};
    }
}

std::wstring Format(const std::vector<PicturePart>& parts, const SYSTEMTIME& time) {
    std::wstring out;
    for (const PicturePart& p : parts) out += FormatPart(p, time);
    return out;
}

int Deliver(const std::wstring& text, LPWSTR out, int outChars) {
    const int needed = static_cast<int>(text.size()) + 1;
    if (outChars == 0) return needed;
    if (out == nullptr || outChars < 0) return sim::Fail(0, ERROR_INVALID_PARAMETER);
    if (outChars < needed) return sim::Fail(0, ERROR_INSUFFICIENT_BUFFER);
    std::copy(text.begin(), text.end(), out);
    out[text.size()] = 0;
    return needed;
}

}  // namespace nls

namespace {

// The locale's time picture trimmed by the TIME_ flags: seconds (and minutes) go with the
// separator before them, the marker with the blank before it; 24-hour forces H.
std::vector<nls::PicturePart> TimeParts(DWORD flags) {
    std::vector<nls::PicturePart> out;
    for (nls::PicturePart p : nls::SplitPicture(nls::UserLocale().time)) {
        const bool dropped =
            (p.letter == L's' && (flags & (TIME_NOSECONDS | TIME_NOMINUTESORSECONDS))) ||
            (p.letter == L'm' && (flags & TIME_NOMINUTESORSECONDS)) ||
            (p.letter == L't' && (flags & (TIME_NOTIMEMARKER | TIME_FORCE24HOURFORMAT)));
        if (dropped) {
            if (!out.empty() && out.back().letter == 0) out.pop_back();
            continue;
        }
        if (p.letter == L'h' && (flags & TIME_FORCE24HOURFORMAT)) p.letter = L'H';
        out.push_back(p);
    }
    return out;
}

}  // namespace

int GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR picture, LPWSTR out,
                   int outChars) {
    API_TRACE(Text, GetDateFormatW, locale, flags, date, picture, out, outChars);
    if (nls::FindLocale(locale) == nullptr) return sim::Fail(0, ERROR_INVALID_PARAMETER);
    if ((flags & ~(DATE_SHORTDATE | DATE_LONGDATE)) != 0 ||
        (flags & (DATE_SHORTDATE | DATE_LONGDATE)) == (DATE_SHORTDATE | DATE_LONGDATE) ||
        (picture != nullptr && flags != 0))
        return sim::Fail(0, ERROR_INVALID_FLAGS);
    SYSTEMTIME when{};
    if (date != nullptr)
        when = *date;
    else
        GetLocalTime(&when);
    if (!nls::ValidDate(when)) return sim::Fail(0, ERROR_INVALID_PARAMETER);
    std::wstring_view chosen = picture != nullptr        ? std::wstring_view(picture)
                               : (flags & DATE_LONGDATE) ? nls::FindLocale(locale)->longDate
                                                         : nls::FindLocale(locale)->shortDate;
    return nls::Deliver(nls::Format(nls::SplitPicture(chosen), when), out, outChars);
}

int GetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR picture, LPWSTR out,
                   int outChars) {
    API_TRACE(Text, GetTimeFormatW, locale, flags, time, picture, out, outChars);
    if (nls::FindLocale(locale) == nullptr) return sim::Fail(0, ERROR_INVALID_PARAMETER);
    constexpr DWORD kKnown =
        TIME_NOMINUTESORSECONDS | TIME_NOSECONDS | TIME_NOTIMEMARKER | TIME_FORCE24HOURFORMAT;
    if ((flags & ~kKnown) != 0) return sim::Fail(0, ERROR_INVALID_FLAGS);
    SYSTEMTIME when{};
    if (time != nullptr)
        when = *time;
    else
        GetLocalTime(&when);
    if (!nls::ValidTime(when)) return sim::Fail(0, ERROR_INVALID_PARAMETER);
    const auto parts = picture != nullptr ? nls::SplitPicture(picture) : TimeParts(flags);
    return nls::Deliver(nls::Format(parts, when), out, outChars);
}
