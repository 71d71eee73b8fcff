// Helpers of the text file tests: files on the machine in either encoding.
#pragma once

#include <string>

#include "common/sim_fixture.h"
#include "textfiles/encoding.h"

// UTF-16LE bytes of a wide text, with the FF FE mark in front when bom is set.
inline std::string Utf16File(const std::wstring& text, bool bom = true) {
    std::string bytes = bom ? std::string("\xFF\xFE", 2) : std::string();
    for (char16_t u : WideToUtf16(text)) {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    return bytes;
}

class TextFileTest : public SimTest {
protected:
    // Writes the bytes to a file on the machine and returns its path.
    std::wstring Write(const std::string& bytes, const std::wstring& name = L"file.txt") {
        std::wstring path = L"C:\\data\\" + name;
        M().WriteFile(path, bytes);
        return path;
    }
};

// A machine whose ANSI code page is the single-byte Western page.
using WesternTextFileTest = WithCodePage<TextFileTest, 1252>;
