// The C runtime's time calls on the machine's clock and time zone, and its time pictures
// (strftime, wcsftime) with the runtime's rules. time, localtime, strftime and wcsftime replace
// the host library's for the program's own code, as the runtime's are the only ones a program on
// the platform has. They stay out of the program's dynamic symbols (hidden), so that the host's
// own libraries (fonts, drawing) keep the host's clock and never call into the machine.
#include <corecrt.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "machine/machine.h"
#include "machine/waits.h"

// Hidden in the object itself: the host's headers declare them with default visibility.
asm(".hidden time\n.hidden localtime\n.hidden strftime\n.hidden wcsftime");

namespace {

std::int64_t BiasSeconds() {
    return static_cast<std::int64_t>(sim::machine().config().timeZoneBias) * 60;
}

constexpr const char* kDays[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                  "Thursday", "Friday", "Saturday"};
constexpr const char* kMonths[12] = {"January",   "February", "March",    "April",
                                     "May",       "June",     "July",     "August",
                                     "September", "October",  "November", "December"};

// The fields a picture may read, in their ranges (the runtime refuses others).
bool ValidFields(const struct tm& t) {
    return t.tm_sec >= 0 && t.tm_sec <= 60 && t.tm_min >= 0 && t.tm_min <= 59 && t.tm_hour >= 0 &&
           t.tm_hour <= 23 && t.tm_mday >= 1 && t.tm_mday <= 31 && t.tm_mon >= 0 &&
           t.tm_mon <= 11 && t.tm_year >= -1900 && t.tm_year <= 8099 && t.tm_wday >= 0 &&
           t.tm_wday <= 6 && t.tm_yday >= 0 && t.tm_yday <= 365;
}

std::string Number(int value, int width, bool trim) {
    char text[16];
    std::snprintf(text, sizeof text, trim ? "%d" : "%0*d", trim ? value : width, value);
    return text;
}

// Week of the year with weeks starting on `first` (0 Sunday, 1 Monday), as %U and %W count.
int Week(const struct tm& t, int first) {
    int weekday = (t.tm_wday + 7 - first) % 7;
    return (t.tm_yday + 7 - weekday) / 7;
}

}  // namespace

namespace crt {

std::wstring ExpandTimePicture(const std::wstring& picture, const struct tm& t, bool* valid) {
    *valid = ValidFields(t);
    if (!*valid) return {};
    std::wstring out;
    auto put = [&](const std::string& s) { out.append(s.begin(), s.end()); };
    for (std::size_t i = 0; i < picture.size(); ++i) {
        wchar_t c = picture[i];
        if (c != L'%' || i + 1 == picture.size()) {
            out.push_back(c);
            continue;
        }
        std::size_t start = i;
        bool alternate = picture[i + 1] == L'#';
        if (alternate && i + 2 == picture.size()) {  // "%#" at the end: text
            out.append(picture, start, std::wstring::npos);
            break;
        }
        i += alternate ? 2 : 1;
        const int hour12 = t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12;
        const int bias = sim::machine().config().timeZoneBias;
        switch (picture[i]) {
            case L'a':
                put(std::string(kDays[t.tm_wday]).substr(0, 3));
                break;
            case L'A':
                put(kDays[t.tm_wday]);
                break;
            case L'b':
                put(std::string(kMonths[t.tm_mon]).substr(0, 3));
                break;
            case L'B':
                put(kMonths[t.tm_mon]);
                break;
            case L'c':
                if (alternate)
                    put(std::string(kDays[t.tm_wday]) + ", " + kMonths[t.tm_mon] + " " +
                        Number(t.tm_mday, 2, true) + ", " + Number(t.tm_year + 1900, 4, false) +
                        " " + Number(t.tm_hour, 2, false) + ":" + Number(t.tm_min, 2, false) + ":" +
                        Number(t.tm_sec, 2, false));
                else
                    put(Number(t.tm_mon + 1, 2, false) + "/" + Number(t.tm_mday, 2, false) + "/" +
                        Number((t.tm_year + 1900) % 100, 2, false) + " " +
                        Number(t.tm_hour, 2, false) + ":" + Number(t.tm_min, 2, false) + ":" +
                        Number(t.tm_sec, 2, false));
                break;
            case L'd':
                put(Number(t.tm_mday, 2, alternate));
                break;
            case L'H':
                put(Number(t.tm_hour, 2, alternate));
                break;
            case L'I':
                put(Number(hour12, 2, alternate));
                break;
            case L'j':
                put(Number(t.tm_yday + 1, 3, alternate));
                break;
            case L'm':
                put(Number(t.tm_mon + 1, 2, alternate));
                break;
            case L'M':
                put(Number(t.tm_min, 2, alternate));
                break;
            case L'p':
                put(t.tm_hour < 12 ? "AM" : "PM");
                break;
            case L'S':
                put(Number(t.tm_sec, 2, alternate));
                break;
            case L'U':
                put(Number(Week(t, 0), 2, alternate));
                break;
            case L'w':
                put(Number(t.tm_wday, 1, false));
                break;
            case L'W':
                put(Number(Week(t, 1), 2, alternate));
                break;
            case L'x':
                if (alternate)
                    put(std::string(kDays[t.tm_wday]) + ", " + kMonths[t.tm_mon] + " " +
                        Number(t.tm_mday, 2, true) + ", " + Number(t.tm_year + 1900, 4, false));
                else
                    put(Number(t.tm_mon + 1, 2, false) + "/" + Number(t.tm_mday, 2, false) + "/" +
                        Number((t.tm_year + 1900) % 100, 2, false));
                break;
            case L'X':
                put(Number(t.tm_hour, 2, false) + ":" + Number(t.tm_min, 2, false) + ":" +
                    Number(t.tm_sec, 2, false));
                break;
            case L'y':
                put(Number((t.tm_year + 1900) % 100, 2, alternate));
                break;
            case L'Y':
                put(Number(t.tm_year + 1900, 4, alternate));
                break;
            case L'z': {
                // The offset from UTC: local = UTC - bias.
                int east = -bias;
                put((east < 0 ? "-" : "+") + Number((east < 0 ? -east : east) / 60, 2, false) +
                    Number((east < 0 ? -east : east) % 60, 2, false));
                break;
            }
            case L'Z':
                break;  // the machine's time zone has no name
            case L'%':
                out.push_back(L'%');
                break;
            default:
                // Not a conversion: the text stays as it was written.
                out.append(picture, start, i - start + 1);
                break;
        }
    }
    return out;
}

}  // namespace crt

namespace {

// The picture into the caller's buffer: the characters written without the terminator, or 0
// (an empty buffer, ERANGE) when they and the terminator do not fit; 0 with EINVAL for bad
// arguments.
template <class Char>
std::size_t Deliver(Char* out, std::size_t max, const std::wstring& picture, const struct tm* t) {
    if (out == nullptr || max == 0) {
        errno = EINVAL;
        return 0;
    }
    out[0] = 0;
    if (t == nullptr) {
        errno = EINVAL;
        return 0;
    }
    bool valid = false;
    std::wstring text = crt::ExpandTimePicture(picture, *t, &valid);
    if (!valid) {
        errno = EINVAL;
        return 0;
    }
    if (text.size() + 1 > max) {
        errno = ERANGE;
        return 0;
    }
    for (std::size_t i = 0; i < text.size(); ++i) out[i] = static_cast<Char>(text[i]);
    out[text.size()] = 0;
    return text.size();
}

}  // namespace

__time64_t _time64(__time64_t* out) {
    __time64_t now = sim::machine().config().startLocalTime + BiasSeconds() +
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
    std::time_t t = static_cast<std::time_t>(*time - BiasSeconds());
    if (gmtime_r(&t, result) == nullptr) return EINVAL;
    result->tm_isdst = 0;
    return 0;
}

struct tm* _localtime64(const __time64_t* time) {
    thread_local struct tm parts;
    return _localtime64_s(&parts, time) == 0 ? &parts : nullptr;
}

time_t time(time_t* out) noexcept {
    time_t now = static_cast<time_t>(_time64(nullptr));
    if (out) *out = now;
    return now;
}

struct tm* localtime(const time_t* time) noexcept {
    if (time == nullptr) return nullptr;
    __time64_t t = *time;
    return _localtime64(&t);
}

// The host's headers declare the picture never null; the runtime answers a null one with EINVAL,
// so the test reads it through a copy the compiler may not assume anything about.
std::size_t strftime(char* out, std::size_t max, const char* format, const struct tm* t) noexcept {
    const char* volatile given = format;
    if (given == nullptr) {
        if (out != nullptr && max > 0) out[0] = 0;
        errno = EINVAL;
        return 0;
    }
    // Narrow pictures: each byte is one character (conversions give ASCII).
    std::wstring picture;
    for (const char* p = format; *p; ++p) picture.push_back(static_cast<unsigned char>(*p));
    return Deliver(out, max, picture, t);
}

std::size_t wcsftime(wchar_t* out, std::size_t max, const wchar_t* format,
                     const struct tm* t) noexcept {
    const wchar_t* volatile given = format;
    if (given == nullptr) {
        if (out != nullptr && max > 0) out[0] = 0;
        errno = EINVAL;
        return 0;
    }
    return Deliver(out, max, std::wstring(format), t);
}
