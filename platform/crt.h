// The runtime library's wide formatting with the platform's meaning of the conversions ("%s" takes
// a wide string in a wide format, "%S" and "%hs" a narrow one), and console output that goes to
// the machine's console.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

#include "platform/wintypes.h"

// Formats into buffer (count characters). Returns the number of characters written without the
// terminator, or -1 when the text did not fit (the buffer then holds as much as fitted and,
// unlike the platform, always ends with a terminator when count > 0).
int _vsnwprintf(wchar_t* buffer, std::size_t count, const wchar_t* format, va_list args);
int _snwprintf(wchar_t* buffer, std::size_t count, const wchar_t* format, ...);
int swprintf_s(wchar_t* buffer, std::size_t count, const wchar_t* format, ...);

namespace crt {

// The whole formatted text.
std::wstring FormatV(const wchar_t* format, va_list args);
std::wstring Format(const wchar_t* format, ...);

// Console output of the running program (captured by the machine). Narrow texts are UTF-8.
int wprintf(const wchar_t* format, ...);
int printf(const char* format, ...);
void WriteConsoleText(const std::wstring& text);

}  // namespace crt
