// The localizer's value parsers (text with rectangle and line breaks, language id, font) and the
// path helpers, on any text: the input's bytes taken as UTF-16LE units.
#include <cstddef>
#include <cstdint>
#include <string>

#include "textfiles/encoding.h"
#include "textfiles/ini_file.h"
#include "textfiles/localizer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string units;
    for (size_t i = 0; i + 1 < size; i += 2)
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    std::wstring value = Utf16ToWide(units);

    TextEntry entry = ParseTextValue(value);
    if (entry.text.size() > value.size()) __builtin_trap();  // "\n" becomes two characters
    ParseLanguageId(value);
    std::wstring face;
    int tenths = 0;
    ParseFontValue(value, face, tenths);
    if (tenths % 10 != 0 && tenths != 0x7FFFFFFF && tenths != -0x7FFFFFFF) __builtin_trap();

    std::wstring normalized = NormalizeParentPath(value);
    if (normalized.size() > value.size()) __builtin_trap();
    std::wstring folder = GetFolderOfPath(value);
    if (value.compare(0, folder.size(), folder) != 0) __builtin_trap();
    // Escaping round-trips a text without '%' (a "%x^" inside a text decodes to x by design).
    if (value.find(L'%') == std::wstring::npos && UnescapeSpaces(EscapeSpaces(value)) != value)
        __builtin_trap();
    return 0;
}
