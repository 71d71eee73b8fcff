// Text fields of the command channel: a narrow (ANSI code page) text coded into a fixed number of
// bytes, with or without a length byte before them.
//
// Coding: big-endian UCS-2 when the text holds a double-byte character, else its bytes as they
// are (TextCoding::Auto); a caller may force either. A text longer than its field is cut to what
// fits: UCS-2 to whole units (never half of a surrogate pair), narrow bytes at a character
// boundary of the code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dm/packet.h"

enum class TextCoding {
    Auto,   // UCS-2 when the text holds a double-byte character, else the narrow bytes
    Ucs2,   // always big-endian UCS-2
    Bytes,  // always the narrow bytes
};

// The widest field the writers take; a wider one raises std::invalid_argument and writes nothing.
inline constexpr std::uint32_t kMaxTextFieldWidth = 512;

// The coded text cut to at most limit bytes.
std::vector<std::uint8_t> EncodeFieldText(const std::string& text, std::size_t limit,
                                          TextCoding coding);

// Whether the text, coded as TextCoding::Auto codes it, fits a field of width bytes uncut. A
// number that does not fit is refused rather than cut: a cut number reaches someone else.
bool FitsTextField(const std::string& text, std::uint32_t width);

// The length of the longest start of the text, at most limit bytes, that ends at a character
// boundary (a lone lead byte before the end counts as one character).
std::size_t AnsiPrefixLength(const std::string& text, std::size_t limit);

// A length byte, then exactly width bytes: the coded text cut to min(width, 255) bytes, zeros
// after it. The length byte is the number of coded bytes written.
void WriteTextField(DMPacket& packet, const std::string& text, std::uint32_t width,
                    TextCoding coding = TextCoding::Auto);
// Exactly width bytes: the coded text cut to width bytes, zeros after it; no length byte.
void WriteTextBytes(DMPacket& packet, const std::string& text, std::uint32_t width,
                    TextCoding coding = TextCoding::Auto);

// Reads a length byte L and min(width, 512) bytes; the text is the first min(L, those) bytes,
// as big-endian UCS-2 when ucs2 is set, else byte for byte. A field longer than the bytes left
// raises CDMPacketException with the position unmoved. The packet's bytes are never changed.
std::string ReadTextField(DMPacket& packet, std::uint32_t width, bool ucs2);
