// Conversions between wide text, narrow text in the system ANSI code page, and the byte forms the
// modem's message and phone-book commands carry (8-bit text unchanged, or UCS-2 big-endian).
// Every conversion uses the system ANSI code page (GetACP()).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Results of ClassifyAnsiText.
enum AnsiTextClass {
    kAnsiDoubleByte = 0,  // holds at least one double-byte character
    kAnsiHighByte = 1,    // single-byte characters only, at least one byte above 128
    kAnsiPlain = 2,       // every byte 128 or below, or empty
};

// Narrow text to wide; the result ends at the first zero character.
std::wstring AnsiToWide(const std::string& text);
// count wide characters to narrow text (a character the code page lacks becomes '?'); the result
// ends at the first zero character.
std::string WideToAnsi(const wchar_t* text, std::size_t count);
std::string WideToAnsi(const std::wstring& text);

int ClassifyAnsiText(const std::string& text);

// Swaps bytes 0 and 1, 2 and 3, ... of the buffer in place; an odd last byte stays.
void SwapBytePairs(std::uint8_t* buffer, std::size_t count);

// ucs2 set: the count bytes are UCS-2 big-endian (count / 2 units) and become narrow text; the
// caller's buffer is not changed. ucs2 clear: the bytes become the narrow text unchanged, zero
// bytes included.
void BytesToAnsi(std::size_t count, std::string& out, const std::uint8_t* buffer, bool ucs2);

// The text as UTF-16 big-endian units in at most size / 2 units. Returns the bytes written, 0 when
// the text does not fit or cannot be converted (the buffer is then left as it was).
std::size_t AnsiToUcs2BigEndian(const std::string& text, std::uint8_t* out, std::size_t size);
// A text with a double-byte character goes as UCS-2 big-endian, any other as its narrow bytes
// (at most size of them). Returns the bytes written.
std::size_t EncodeTextBytes(const std::string& text, std::uint8_t* out, std::size_t size);
// ucs2 set: as AnsiToUcs2BigEndian; clear: the narrow bytes, at most size of them.
std::size_t EncodeTextBytesAs(const std::string& text, std::uint8_t* out, std::size_t size,
                              bool ucs2);

// -1, 0 or 1 by the user's locale; a failed comparison counts as greater (1).
int CompareAnsi(const std::string& a, const std::string& b);

// UTF-16 code units to wide text: surrogate pairs become one character; a lone surrogate stays as
// it is.
std::wstring Utf16ToWide(const std::u16string& units);
// Wide text to UTF-16 code units: characters above U+FFFF become surrogate pairs.
std::u16string WideToUtf16(const std::wstring& text);
