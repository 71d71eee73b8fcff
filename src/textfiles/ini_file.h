// The INI-style text file reader (UTF-16LE with byte-order mark, or ANSI), the escaping of spaces
// that the settings file applies to the password, and path helpers.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

// Orders wide strings by their UTF-16 code units (a character above U+FFFF sorts as its
// surrogate pair), which is the order the platform's wide strings have.
struct Utf16Less {
    bool operator()(const std::wstring& a, const std::wstring& b) const;
};

// A file opened for reading raw bytes, shared with every other opener, read in blocks.
class CByteStream {
public:
    explicit CByteStream(const std::wstring& path);
    ~CByteStream();
    CByteStream(const CByteStream&) = delete;
    CByteStream& operator=(const CByteStream&) = delete;

    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }
    // The next byte; false at the end of the file or on a read error.
    bool ReadByte(std::uint8_t& byte) {
        if (m_pos >= m_buffer.size() && !Fill()) return false;
        byte = m_buffer[m_pos++];
        return true;
    }
    // True when no further byte can be read.
    bool AtEnd();
    void Rewind();

private:
    bool Fill();

    HANDLE m_file;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_pos = 0;
    bool m_end = false;
};

// True when the stream starts with FF FE (the stream is then left after them); otherwise the
// stream is rewound to its start.
bool HasUtf16Bom(CByteStream& stream);
// The next line: 16-bit little-endian units in wide mode, bytes in the ANSI code page otherwise.
// A line ends at LF (not part of it); one CR right before the LF is dropped.
std::wstring ReadTextLine(CByteStream& stream, bool wide);

// Lower-cases with the runtime library's towlower in the current locale, one UTF-16 code unit at a
// time (characters above U+FFFF stay as they are). A text handed over is lowered in place.
std::wstring LowerText(std::wstring text);

// One line of an INI-style file as CIniFile takes it.
struct IniLine {
    enum class Kind {
        Skip,     // empty, a comment ('#' first), or a header with an empty name
        Section,  // a section header: name
        Key,      // a key line: name and value (an empty value is not stored)
        End,      // neither: the file ends here for the reader
    };
    Kind kind = Kind::Skip;
    std::wstring name;  // trimmed, in its case as written
    std::wstring value;
};
// Classifies one line (without its terminator) by the reader's rules.
void ClassifyIniLine(const std::wstring& line, IniLine& out);

// An INI-style file read whole at construction into sections of key/value pairs. Section names
// and keys are kept lower-cased; lookups ignore case. Reading takes time in proportion to the
// file; a section is put in key order when it is first looked at, so that finding a key takes a
// binary search and the index-th pair is at hand. The object is used by one thread at a time.
class CIniFile {
public:
    using Item = std::pair<std::wstring, std::wstring>;

    // Reads the file; a missing or unreadable file leaves the object empty.
    explicit CIniFile(const std::wstring& path);
    ~CIniFile();
    CIniFile(const CIniFile&) = delete;
    CIniFile& operator=(const CIniFile&) = delete;

    // The value, or an empty string when the section or key is missing.
    const std::wstring& GetValue(const std::wstring& section, const std::wstring& key) const;
    // Keys in the section; 0 when it is missing.
    int GetKeyCount(const std::wstring& section) const;
    // The index-th (key, value) of the section in key order; false (item untouched) when the
    // section is missing or the index is out of range.
    bool GetItem(const std::wstring& section, int index, Item& item) const;
    // The (lower-cased) names of the sections, in order.
    std::vector<std::wstring> GetSectionNames() const;
    // Hands over every pair the section read, in file order, and leaves the section empty: for a
    // reader that keeps the texts, so that they are neither copied nor sorted. Of pairs with
    // equal keys the later one is the section's. Empty when the section is missing.
    std::vector<Item> TakeSection(const std::wstring& section);

private:
    struct Section;

    void Parse(const std::wstring& path);
    Section* FindSection(const std::wstring& section) const;

    std::map<std::wstring, std::unique_ptr<Section>, Utf16Less> m_sections;
};

// Every space becomes the three characters "% ^".
std::wstring EscapeSpaces(const std::wstring& value);
// Every '%', x, '^' becomes x.
std::wstring UnescapeSpaces(const std::wstring& value);

// The path up to and including its last backslash (neither the first nor the last character
// counts); the whole path when there is none.
std::wstring GetFolderOfPath(const std::wstring& path);
// The path with every "\.." and the component before it removed ("C:\a\b\..\c" is "C:\a\c").
// A "\.." with no backslash before it is dropped alone.
std::wstring NormalizeParentPath(const std::wstring& path);
