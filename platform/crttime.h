// The runtime library's 64-bit time functions, read from the machine's clock. The machine keeps
// its wall clock in local time and has no time zone of its own, so local time and UTC agree.
#pragma once

#include <ctime>
#include <cstdint>

using __time64_t = std::int64_t;
using errno_t = int;

// Seconds since 1970-01-01 00:00:00; also stored through `out` when it is not null.
__time64_t _time64(__time64_t* out);
// Splits a time into its calendar fields (year - 1900, month 0-11, ...). EINVAL for a null
// argument or a negative time, with every field of a non-null `result` set to -1.
errno_t _localtime64_s(struct tm* result, const __time64_t* time);
