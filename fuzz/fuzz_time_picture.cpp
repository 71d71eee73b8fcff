// The C runtime's time pictures (wcsftime, strftime): the first 12 bytes give the calendar fields
// and the buffer's size, the rest is the picture, two bytes a character. Nothing may be written
// past the buffer, a result is either 0 with an empty buffer or the text's length, and the same
// picture gives the same text in the narrow form when it is ASCII.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <string>
#include <vector>

#include "machine_ready.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 12) return 0;
    EnsureMachine();
    std::tm t{};
    t.tm_sec = data[0] % 64;
    t.tm_min = data[1] % 64;
    t.tm_hour = data[2] % 26;
    t.tm_mday = data[3] % 33;
    t.tm_mon = data[4] % 13;
    t.tm_year = static_cast<int16_t>(data[5] | (data[6] << 8));
    t.tm_wday = data[7] % 8;
    t.tm_yday = static_cast<int16_t>(data[8] | (data[9] << 8)) % 400;
    const std::size_t max = static_cast<std::size_t>(data[10] | (data[11] << 8)) % 300;
    std::wstring picture;
    bool ascii = true;
    for (size_t i = 12; i + 1 < size; i += 2) {
        wchar_t c = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
        if (c == 0) c = L' ';
        ascii = ascii && c < 0x80;
        picture.push_back(c);
    }

    constexpr wchar_t kGuard = 0x5A5A;
    std::vector<wchar_t> out(max + 8, kGuard);
    std::size_t n = std::wcsftime(out.data(), max, picture.c_str(), &t);
    for (std::size_t i = max; i < out.size(); ++i)
        if (out[i] != kGuard) __builtin_trap();
    if (max > 0) {
        if (n >= max) __builtin_trap();
        if (out[n] != 0) __builtin_trap();
        if (std::wcslen(out.data()) != n) __builtin_trap();
    }

    if (ascii) {
        std::string narrow(picture.begin(), picture.end());
        std::vector<char> bytes(max + 8, 'Z');
        std::size_t m = std::strftime(bytes.data(), max, narrow.c_str(), &t);
        for (std::size_t i = max; i < bytes.size(); ++i)
            if (bytes[i] != 'Z') __builtin_trap();
        if (m != n) __builtin_trap();
        for (std::size_t i = 0; i < m; ++i)
            if (static_cast<wchar_t>(static_cast<unsigned char>(bytes[i])) != out[i])
                __builtin_trap();
    }
    return 0;
}
