// Conversions between wide text and the machine's code pages (iconv underneath).
#pragma once

#include <string>

#include <windef.h>

namespace sim {

// iconv's name for a Windows code page ("CP936", "UTF-8" for 65001); empty when unknown.
std::string CodePageName(UINT codePage);
// Wide text to bytes in the code page. A character the page cannot hold becomes defaultChar and
// sets *lossy. Returns false when the code page is unknown.
bool WideToCodePage(const std::wstring& text, UINT codePage, std::string* out,
                    char defaultChar = '?', bool* lossy = nullptr);
// Bytes in the code page to wide text. An invalid sequence becomes U+FFFD (or, with strict,
// makes the call fail). Returns false when the code page is unknown.
bool CodePageToWide(const std::string& bytes, UINT codePage, std::wstring* out,
                    bool strict = false);
// Whether the byte starts a double-byte character in the code page (the lead-byte ranges of the
// double-byte pages 932, 936, 949 and 950; no byte does in any other page).
bool IsLeadByte(UINT codePage, unsigned char byte);

}  // namespace sim
