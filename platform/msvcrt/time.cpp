#include <corecrt.h>

#include <cerrno>

#include "machine/machine.h"
#include "machine/waits.h"

__time64_t _time64(__time64_t* out) {
    __time64_t now = sim::machine().config().startLocalTime +
                     static_cast<__time64_t>(sim::Kernel::Get().Now() / 1000);
    if (out) *out = now;
    return now;
}

errno_t _localtime64_s(struct tm* result, const __time64_t* time) {
    if (result == nullptr) return EINVAL;
    if (time == nullptr || *time < 0) {
        result->tm_sec = result->tm_min = result->tm_hour = result->tm_mday = result->tm_mon =
            result->tm_year = result->tm_wday = result->tm_yday = result->tm_isdst = -1;
        return EINVAL;
    }
    std::time_t t = static_cast<std::time_t>(*time);
    if (gmtime_r(&t, result) == nullptr) return EINVAL;
    result->tm_isdst = 0;
    return 0;
}
