#include <corecrt.h>

#include <climits>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>

#include "machine/machine.h"
#include "machine/processes.h"
#include "machine/threads.h"

namespace crt {

namespace {

std::wstring Widen(const std::string& s) {
    std::wstring w;
    w.reserve(s.size());
    for (char c : s) w.push_back(static_cast<unsigned char>(c));
    return w;
}

// One value through the host's printf with the given conversion, as long as the text needs
// (wide fields and long fractions are not cut).
template <class T>
std::wstring FormatOne(const std::string& spec, T value) {
    char small[128];
    int n = std::snprintf(small, sizeof small, spec.c_str(), value);
    if (n < 0) return std::wstring();
    if (static_cast<size_t>(n) < sizeof small)
        return Widen(std::string(small, static_cast<size_t>(n)));
    std::string big(static_cast<size_t>(n), '\0');
    std::snprintf(big.data(), big.size() + 1, spec.c_str(), value);
    return Widen(big);
}

void Pad(std::wstring& out, const std::wstring& body, int width, bool left, wchar_t fill) {
    int padding = width > static_cast<int>(body.size()) ? width - static_cast<int>(body.size()) : 0;
    if (!left && fill == L'0' && padding > 0 && !body.empty() &&
        (body[0] == L'-' || body[0] == L'+' || body[0] == L' ')) {
        out += body[0];
        out.append(static_cast<size_t>(padding), L'0');
        out.append(body, 1);
        return;
    }
    if (!left) out.append(static_cast<size_t>(padding), fill);
    out += body;
    if (left) out.append(static_cast<size_t>(padding), L' ');
}

}  // namespace

std::wstring FormatV(const wchar_t* f, va_list args) {
    std::wstring out;
    if (!f) return out;
    va_list ap;
    va_copy(ap, args);
    while (*f) {
        if (*f != L'%') {
            out += *f++;
            continue;
        }
        const wchar_t* start = f++;
        if (*f == L'%') {
            out += L'%';
            ++f;
            continue;
        }
        std::string flags;
        while (*f && std::wcschr(L"-+ #0", *f)) flags += static_cast<char>(*f++);
        int width = -1;
        if (*f == L'*') {
            width = va_arg(ap, int);
            if (width < 0) {
                flags += '-';
                width = -width;
            }
            ++f;
        } else if (*f >= L'0' && *f <= L'9') {
            width = 0;
            while (*f >= L'0' && *f <= L'9') width = width * 10 + (*f++ - L'0');
        }
        int precision = -1;
        if (*f == L'.') {
            ++f;
            precision = 0;
            if (*f == L'*') {
                precision = va_arg(ap, int);
                ++f;
            } else {
                while (*f >= L'0' && *f <= L'9') precision = precision * 10 + (*f++ - L'0');
            }
        }
        // Length: h, hh, l, ll, L, I64, I32, I, z, j, t.
        int size = 0;  // 0 int, 1 long, 2 long long / 64-bit, 3 pointer-sized, -1 short, -2 char
        bool narrow = false, wide = false;
        for (;;) {
            if (*f == L'h') {
                narrow = true;
                size = size == -1 ? -2 : -1;
                ++f;
            } else if (*f == L'l') {
                wide = true;
                size = size == 1 ? 2 : 1;
                ++f;
            } else if (*f == L'L' || *f == L'j') {
                size = 2;
                ++f;
            } else if (*f == L'z' || *f == L't') {
                size = 3;
                ++f;
            } else if (f[0] == L'I' && f[1] == L'6' && f[2] == L'4') {
                size = 2;
                f += 3;
            } else if (f[0] == L'I' && f[1] == L'3' && f[2] == L'2') {
                size = 0;
                f += 3;
            } else if (*f == L'I') {
                size = 3;
                ++f;
            } else {
                break;
            }
        }
        wchar_t conv = *f;
        if (!conv) {
            out.append(start);
            break;
        }
        ++f;
        bool left = flags.find('-') != std::string::npos;
        std::string spec = "%" + flags;
        if (width >= 0) spec += std::to_string(width);
        if (precision >= 0) spec += "." + std::to_string(precision);
        switch (conv) {
            case L'd':
            case L'i':
            case L'u':
            case L'x':
            case L'X':
            case L'o': {
                char c = static_cast<char>(conv);
                bool isSigned = conv == L'd' || conv == L'i';
                if (size == 2) {
                    out += FormatOne(spec + "ll" + c, isSigned ? va_arg(ap, long long)
                                                               : static_cast<long long>(va_arg(
                                                                     ap, unsigned long long)));
                } else if (size == 3) {
                    out += FormatOne(spec + "z" + c, va_arg(ap, size_t));
                } else if (size == 1) {
                    // "long" is 32 bits on the platform.
                    int v = static_cast<int>(va_arg(ap, long));
                    out += FormatOne(spec + c, v);
                } else {
                    int v = va_arg(ap, int);
                    if (size == -1)
                        v = isSigned ? static_cast<short>(v) : static_cast<unsigned short>(v);
                    if (size == -2)
                        v = isSigned ? static_cast<signed char>(v) : static_cast<unsigned char>(v);
                    out += FormatOne(spec + c, v);
                }
                break;
            }
            case L'e':
            case L'E':
            case L'f':
            case L'F':
            case L'g':
            case L'G':
            case L'a':
            case L'A':
                out += FormatOne(spec + static_cast<char>(conv), va_arg(ap, double));
                break;
            case L'p': {
                char buf[32];
                std::snprintf(buf, sizeof buf, "%0*zX", static_cast<int>(sizeof(void*) * 2),
                              reinterpret_cast<size_t>(va_arg(ap, void*)));
                Pad(out, Widen(buf), width, left, L' ');
                break;
            }
            case L'c':
            case L'C': {
                bool isNarrow = conv == L'C' ? !wide : narrow;
                int v = va_arg(ap, int);
                wchar_t ch = isNarrow ? static_cast<wchar_t>(static_cast<unsigned char>(v))
                                      : static_cast<wchar_t>(v);
                Pad(out, std::wstring(1, ch), width, left, L' ');
                break;
            }
            case L's':
            case L'S': {
                bool isNarrow = conv == L'S' ? !wide : narrow;
                std::wstring s;
                if (isNarrow) {
                    const char* p = va_arg(ap, const char*);
                    s = p ? sim::FromUtf8(p) : L"(null)";
                } else {
                    const wchar_t* p = va_arg(ap, const wchar_t*);
                    s = p ? p : L"(null)";
                }
                if (precision >= 0 && static_cast<size_t>(precision) < s.size())
                    s.resize(precision);
                Pad(out, s, width, left, L' ');
                break;
            }
            case L'n':
                (void)va_arg(ap, int*);  // never written: a known attack on format strings
                break;
            default:
                out.append(start, f);
                break;
        }
    }
    va_end(ap);
    return out;
}

std::wstring Format(const wchar_t* format, ...) {
    va_list ap;
    va_start(ap, format);
    std::wstring s = FormatV(format, ap);
    va_end(ap);
    return s;
}

void WriteConsoleText(const std::wstring& text) {
    sim::machine().AppendConsole(text);
}

int wprintf(const wchar_t* format, ...) {
    va_list ap;
    va_start(ap, format);
    std::wstring s = FormatV(format, ap);
    va_end(ap);
    WriteConsoleText(s);
    return static_cast<int>(s.size());
}

int printf(const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, format, ap);
    std::string s(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) std::vsnprintf(s.data(), s.size() + 1, format, ap2);
    va_end(ap2);
    va_end(ap);
    WriteConsoleText(sim::FromUtf8(s));
    return n;
}

}  // namespace crt

int _vsnwprintf(wchar_t* buffer, std::size_t count, const wchar_t* format, va_list args) {
    std::wstring s = crt::FormatV(format, args);
    // A null buffer of no size asks for the length (without the terminator).
    if (buffer == nullptr && count == 0) return static_cast<int>(s.size());
    if (buffer == nullptr || count == 0) return -1;
    if (s.size() >= count) {
        std::wmemcpy(buffer, s.c_str(), count - 1);
        buffer[count - 1] = 0;
        return -1;
    }
    std::wmemcpy(buffer, s.c_str(), s.size() + 1);
    return static_cast<int>(s.size());
}

int _snwprintf(wchar_t* buffer, std::size_t count, const wchar_t* format, ...) {
    va_list ap;
    va_start(ap, format);
    int n = _vsnwprintf(buffer, count, format, ap);
    va_end(ap);
    return n;
}

int swprintf_s(wchar_t* buffer, std::size_t count, const wchar_t* format, ...) {
    va_list ap;
    va_start(ap, format);
    int n = _vsnwprintf(buffer, count, format, ap);
    va_end(ap);
    if (n < 0 && buffer && count) buffer[0] = 0;
    return n;
}

int _wtoi(const wchar_t* text) {
    if (text == nullptr) return 0;
    while (std::iswspace(static_cast<wint_t>(*text))) ++text;
    bool negative = *text == L'-';
    if (*text == L'-' || *text == L'+') ++text;
    long long value = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; *text >= L'0' && *text <= L'9'; ++text) {
        value = value * 10 + (*text - L'0');
        if (value > limit) {
            value = limit;
            break;
        }
    }
    return static_cast<int>(negative ? -value : value);
}

int _wcsicmp(const wchar_t* a, const wchar_t* b) {
    for (;; ++a, ++b) {
        auto x = static_cast<wint_t>(std::towlower(static_cast<wint_t>(*a)));
        auto y = static_cast<wint_t>(std::towlower(static_cast<wint_t>(*b)));
        if (x != y) return x < y ? -1 : 1;
        if (x == 0) return 0;
    }
}

namespace {

std::wstring UserDefaultLocaleName() {
    switch (sim::machine().config().ansiCodePage) {
        case 936:
            return L"Chinese (Simplified)_China.936";
        case 950:
            return L"Chinese (Traditional)_Taiwan.950";
        case 932:
            return L"Japanese_Japan.932";
        case 949:
            return L"Korean_Korea.949";
        case 1251:
            return L"Russian_Russia.1251";
        default:
            return L"English_United States." +
                   std::to_wstring(sim::machine().config().ansiCodePage);
    }
}

}  // namespace

const wchar_t* _wsetlocale(int category, const wchar_t* locale) {
    thread_local std::wstring answer;
    auto& process = sim::CurrentProcess();
    if (locale == nullptr) {
        answer = process.Locale();
        return answer.c_str();
    }
    std::wstring name = locale;
    if (name.empty()) {
        name = UserDefaultLocaleName();
    } else if (name != L"C") {
        return nullptr;  // only the user's default and "C" are known
    }
    // The case mapping and character classes of the process's threads follow it.
    process.SetLocale(name);
    sim::ApplyProcessLocale(sim::CurrentThread());
    answer = name;
    return answer.c_str();
}
