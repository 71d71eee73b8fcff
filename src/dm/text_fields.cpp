#include "dm/text_fields.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include <windows.h>
#include "textfiles/encoding.h"

namespace {

bool IsHighSurrogate(std::uint8_t highByte) {
    return highByte >= 0xD8 && highByte <= 0xDB;
}

void CheckWidth(std::uint32_t width) {
    if (width > kMaxTextFieldWidth)
        throw std::invalid_argument("text field wider than " + std::to_string(kMaxTextFieldWidth) +
                                    " bytes: " + std::to_string(width));
}

// The field's bytes: the coded text cut to limit, zeros after it up to width.
std::vector<std::uint8_t> FieldBytes(const std::string& text, std::uint32_t width,
                                     std::size_t limit, TextCoding coding, std::size_t& coded) {
    std::vector<std::uint8_t> data =
        EncodeFieldText(text, std::min<std::size_t>(limit, width), coding);
    coded = data.size();
    data.resize(width, 0);
    return data;
}

}  // namespace

std::size_t AnsiPrefixLength(const std::string& text, std::size_t limit) {
    std::size_t length = 0;
    const char* base = text.c_str();
    while (length < text.size()) {
        std::size_t step = 1;
        if (base[length] != 0) {
            // A lead byte before the terminator (or an embedded zero) is a character of its own.
            const char* next = CharNextA(base + length);
            if (next > base + length) step = static_cast<std::size_t>(next - (base + length));
        }
        if (length + step > limit) break;
        length += step;
    }
    return length;
}

std::vector<std::uint8_t> EncodeFieldText(const std::string& text, std::size_t limit,
                                          TextCoding coding) {
    const bool ucs2 = coding == TextCoding::Ucs2 ||
                      (coding == TextCoding::Auto && ClassifyAnsiText(text) == kAnsiDoubleByte);
    if (!ucs2) {
        const std::size_t n = AnsiPrefixLength(text, limit);
        return std::vector<std::uint8_t>(text.begin(), text.begin() + static_cast<long>(n));
    }
    // A narrow character never becomes more UTF-16 units than it has bytes.
    std::vector<std::uint8_t> units(2 * text.size() + 2);
    std::size_t n = AnsiToUcs2BigEndian(text, units.data(), units.size());
    n = std::min(n, limit & ~static_cast<std::size_t>(1));
    if (n >= 2 && IsHighSurrogate(units[n - 2])) n -= 2;
    units.resize(n);
    return units;
}

void WriteTextField(DMPacket& packet, const std::string& text, std::uint32_t width,
                    TextCoding coding) {
    CheckWidth(width);
    std::size_t coded = 0;
    std::vector<std::uint8_t> data = FieldBytes(text, width, 255, coding, coded);
    data.insert(data.begin(), static_cast<std::uint8_t>(coded));
    packet.Append(data.data(), data.size());
}

void WriteTextBytes(DMPacket& packet, const std::string& text, std::uint32_t width,
                    TextCoding coding) {
    CheckWidth(width);
    std::size_t coded = 0;
    std::vector<std::uint8_t> data = FieldBytes(text, width, width, coding, coded);
    packet.Append(data.data(), data.size());
}

std::string ReadTextField(DMPacket& packet, std::uint32_t width, bool ucs2) {
    const std::uint32_t w = std::min(width, kMaxTextFieldWidth);
    packet.Require(1 + w);
    std::uint8_t length = 0;
    packet.ReadU8(length);
    // A copy of the field: the conversion never touches the packet's bytes.
    std::vector<std::uint8_t> bytes(w);
    packet.ReadBytes(bytes.data(), w);
    std::string text;
    BytesToAnsi(std::min<std::uint32_t>(length, w), text, bytes.data(), ucs2);
    return text;
}

bool FitsTextField(const std::string& text, std::uint32_t width) {
    return EncodeFieldText(text, SIZE_MAX, TextCoding::Auto).size() <= width;
}
