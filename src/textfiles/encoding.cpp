#include "textfiles/encoding.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <windows.h>

std::wstring AnsiToWide(const std::string& text) {
    if (text.empty()) return std::wstring();
    int length = static_cast<int>(std::min<std::size_t>(text.size(), 0x7FFFFFFF));
    int need = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), length, nullptr, 0);
    if (need <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(need), L'\0');
    int got = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), length, wide.data(), need);
    wide.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    wide.resize(std::wcslen(wide.c_str()));
    return wide;
}

std::string WideToAnsi(const wchar_t* text, std::size_t count) {
    if (text == nullptr || count == 0) return std::string();
    int length = static_cast<int>(std::min<std::size_t>(count, 0x7FFFFFFF));
    int need = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (need <= 0) return std::string();
    std::string narrow(static_cast<std::size_t>(need), '\0');
    int got = WideCharToMultiByte(CP_ACP, 0, text, length, narrow.data(), need, nullptr, nullptr);
    narrow.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    narrow.resize(std::strlen(narrow.c_str()));
    return narrow;
}

std::string WideToAnsi(const std::wstring& text) {
    return WideToAnsi(text.data(), text.size());
}

int ClassifyAnsiText(const std::string& text) {
    if (text.empty()) return kAnsiPlain;
    bool high = false;
    const char* p = text.c_str();
    while (*p != 0) {
        const char* next = CharNextA(p);
        if (next == p) break;
        if (next - p > 1) return kAnsiDoubleByte;
        if (static_cast<unsigned char>(*p) > 128) high = true;
        p = next;
    }
    return high ? kAnsiHighByte : kAnsiPlain;
}

void SwapBytePairs(std::uint8_t* buffer, std::size_t count) {
    for (std::size_t i = 0; i + 1 < count; i += 2) std::swap(buffer[i], buffer[i + 1]);
}

void BytesToAnsi(std::size_t count, std::string& out, const std::uint8_t* buffer, bool ucs2) {
    if (buffer == nullptr || count == 0) {
        out.clear();
        return;
    }
    if (!ucs2) {
        out.assign(reinterpret_cast<const char*>(buffer), count);
        return;
    }
    std::u16string units(count / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>((buffer[2 * i] << 8) | buffer[2 * i + 1]);
    out = WideToAnsi(Utf16ToWide(units));
}

std::size_t AnsiToUcs2BigEndian(const std::string& text, std::uint8_t* out, std::size_t size) {
    if (out == nullptr) return 0;
    std::wstring wide = AnsiToWide(text);
    if (wide.empty()) return 0;
    std::u16string units = WideToUtf16(wide);
    if (units.size() > size / 2) return 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        out[2 * i] = static_cast<std::uint8_t>(units[i] >> 8);
        out[2 * i + 1] = static_cast<std::uint8_t>(units[i] & 0xFF);
    }
    return units.size() * 2;
}

namespace {

std::size_t CopyBytes(const std::string& text, std::uint8_t* out, std::size_t size) {
    if (out == nullptr) return 0;
    std::size_t n = std::min(text.size(), size);
    std::memcpy(out, text.data(), n);
    return n;
}

}  // namespace

std::size_t EncodeTextBytes(const std::string& text, std::uint8_t* out, std::size_t size) {
    return EncodeTextBytesAs(text, out, size, ClassifyAnsiText(text) == kAnsiDoubleByte);
}

std::size_t EncodeTextBytesAs(const std::string& text, std::uint8_t* out, std::size_t size,
                              bool ucs2) {
    return ucs2 ? AnsiToUcs2BigEndian(text, out, size) : CopyBytes(text, out, size);
}

int CompareAnsi(const std::string& a, const std::string& b) {
    int r = CompareStringA(LOCALE_USER_DEFAULT, 0, a.c_str(), -1, b.c_str(), -1);
    if (r == CSTR_LESS_THAN) return -1;
    if (r == CSTR_EQUAL) return 0;
    return 1;
}

std::wstring Utf16ToWide(const std::u16string& units) {
    std::wstring out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        char16_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            out.push_back(
                static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00)));
            ++i;
        } else {
            out.push_back(static_cast<wchar_t>(u));
        }
    }
    return out;
}

std::u16string WideToUtf16(const std::wstring& text) {
    std::u16string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        auto c = static_cast<std::uint32_t>(wc);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else if (c > 0x10FFFF) {
            out.push_back(u'\uFFFD');
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}
