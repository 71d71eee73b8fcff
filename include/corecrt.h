// The runtime library's wide formatting with the platform's meaning of the conversions ("%s" takes
// a wide string in a wide format, "%S" and "%hs" a narrow one), and console output that goes to
// the machine's console.
#pragma once

#include <clocale>
#include <cstdarg>
#include <cstddef>
#include <string>

#include <windef.h>
#include <ctime>
#include <cstdint>

// Formats into buffer (count characters). Returns the number of characters written without the
// terminator, or -1 when the text did not fit (the buffer then holds as much as fitted and,
// unlike the platform, always ends with a terminator when count > 0). A null buffer with count 0
// asks for the length.
int _vsnwprintf(wchar_t* buffer, std::size_t count, const wchar_t* format, va_list args);
int _snwprintf(wchar_t* buffer, std::size_t count, const wchar_t* format, ...);
int swprintf_s(wchar_t* buffer, std::size_t count, const wchar_t* format, ...);

// Sets the program's locale for the category. "" asks for the user's default locale, named after
// the machine's ANSI code page ("Chinese (Simplified)_China.936"); null only asks. The machine
// keeps the name; the characters' case and classes then follow the whole of Unicode, as they do
// under a user's locale on the platform. Returns the locale's name, or null for an unknown one.
const wchar_t* _wsetlocale(int category, const wchar_t* locale);

// The command line a windowed program's entry gets: the process's command line after the program
// name (a quoted name up to its closing quote, else up to the first blank or tab) and the blanks
// and tabs that follow it. Points into the process's command line.
wchar_t* _wwincmdln();

namespace crt {

// The whole formatted text.
std::wstring FormatV(const wchar_t* format, va_list args);
std::wstring Format(const wchar_t* format, ...);

// Console output of the running program (captured by the machine). Narrow texts are UTF-8.
int wprintf(const wchar_t* format, ...);
int printf(const char* format, ...);
void WriteConsoleText(const std::wstring& text);

}  // namespace crt

// ---- Wide string helpers of the platform's runtime library that the host's lacks ----

// Decimal integer after optional white space and sign; 0 when there are no digits. A value out of
// the int range gives INT_MAX or INT_MIN.
int _wtoi(const wchar_t* text);
// Compares without regard to case (each character lowered with towlower in the current locale).
int _wcsicmp(const wchar_t* a, const wchar_t* b);

// The runtime library's time functions, read from the machine's clock in its time zone (the
// machine keeps its wall clock in local time; UTC = local time + the zone's bias). time and
// localtime are the runtime's own for the whole program (<ctime> declares them): time gives
// seconds since 1970-01-01 00:00:00 UTC, localtime the machine's local calendar fields in a
// buffer of the calling thread (null for a negative time).

using __time64_t = std::int64_t;
using errno_t = int;

// Seconds since 1970-01-01 00:00:00 UTC; also stored through `out` when it is not null.
__time64_t _time64(__time64_t* out);
// Splits a time into its local calendar fields (year - 1900, month 0-11, ...). EINVAL for a
// null argument or a negative time, with every field of a non-null `result` set to -1.
errno_t _localtime64_s(struct tm* result, const __time64_t* time);
// The same into the calling thread's buffer; null on failure.
struct tm* _localtime64(const __time64_t* time);

// strftime and wcsftime (<ctime>, <cwchar>) follow the runtime's rules in the "C" locale: %a %A
// %b %B %c %d %H %I %j %m %M %p %S %U %w %W %x %X %y %Y %z %Z %%, with '#' after the '%' for
// numbers without leading zeros and the long forms of %c and %x. Anything else after a '%' (and
// a '%' at the end) stays in the text as written. The result and its terminator must fit in
// `max` characters: otherwise 0 with an empty buffer (errno ERANGE); a field out of its range
// gives 0 (errno EINVAL). Nothing is written beyond `max`.
namespace crt {
// The picture expanded for the fields (*valid false, nothing expanded, when a field is out of
// its range).
std::wstring ExpandTimePicture(const std::wstring& picture, const struct tm& fields, bool* valid);
}  // namespace crt

// A wide console program's entry: the runtime's start-up calls it with the command line's
// arguments as wide text (argv[argc] is null).
int wmain(int argc, wchar_t** argv);
