// The reader of setup information (.inf) files behind the SetupAPI's INF functions: sections of
// lines, each an optional key and comma-separated fields, with quoted strings, ';' comments,
// line continuation by a trailing backslash, and %token% substitution from [Strings].
#pragma once

#include <string>
#include <vector>

#include <windef.h>

namespace sim {

struct InfLine {
    bool hasKey = false;
    std::wstring key;                  // field 0 (for a line without '=' but one field: that field)
    std::vector<std::wstring> fields;  // fields 1, 2, ...
    UINT lineNumber = 0;               // 1-based physical line where the line starts
};

struct InfSection {
    std::wstring name;
    std::vector<InfLine> lines;
};

class InfFile {
public:
    // Parses the whole text. On a syntax error returns false with the setup error code
    // (ERROR_EXPECTED_SECTION_NAME, ERROR_BAD_SECTION_NAME_LINE, ERROR_SECTION_NAME_TOO_LONG) and
    // the 1-based line; what was read before it is kept.
    bool Parse(const std::wstring& text, DWORD* error, UINT* errorLine);

    // The section of that name (case ignored; sections of the same name are one), or -1.
    int FindSection(const std::wstring& name) const;
    const std::vector<InfSection>& Sections() const { return sections_; }

private:
    std::vector<InfSection> sections_;
};

// The text of an .inf file's bytes: UTF-16LE after an FF FE mark, else the ANSI code page.
std::wstring DecodeInfBytes(const std::string& bytes, UINT codePage);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional, case ignored).
bool ParseGuid(const std::wstring& text, GUID* guid);

// The setup classes the machine has installed: the standard ones and those of its device nodes.
struct SetupClass {
    std::wstring name;
    GUID guid;
};
std::vector<SetupClass> InstalledSetupClasses();

}  // namespace sim
