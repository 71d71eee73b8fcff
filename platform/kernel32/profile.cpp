#include <winbase.h>

#include <string>
#include <vector>

#include <winnls.h>
#include "machine/codepage.h"
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/trace.h"

using sim::Fail;

namespace {

constexpr UINT kUtf16 = 1200;

// One line of the file: its bytes as read (terminator included), and its text.
struct Line {
    std::string bytes;
    std::wstring text;  // without the terminator
};

bool Utf16(const std::string& bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xFE;
}

std::wstring Decode(const std::string& bytes, bool utf16) {
    std::wstring text;
    sim::CodePageToWide(bytes, utf16 ? kUtf16 : GetACP(), &text);
    return text;
}

std::string Encode(const std::wstring& text, bool utf16) {
    std::string bytes;
    sim::WideToCodePage(text, utf16 ? kUtf16 : GetACP(), &bytes);
    return bytes;
}

// Splits the file's body (after the byte-order mark) into lines ending at LF.
std::vector<Line> SplitLines(const std::string& body, bool utf16) {
    std::vector<Line> lines;
    std::size_t unit = utf16 ? 2 : 1;
    std::size_t start = 0;
    for (std::size_t i = 0; i + unit <= body.size(); i += unit) {
        bool lf = body[i] == '\n' && (!utf16 || body[i + 1] == 0);
        if (!lf) continue;
        std::string bytes = body.substr(start, i + unit - start);
        std::wstring text = Decode(bytes.substr(0, bytes.size() - unit), utf16);
        if (!text.empty() && text.back() == L'\r') text.pop_back();
        lines.push_back({bytes, text});
        start = i + unit;
    }
    if (start < body.size()) {
        std::string bytes = body.substr(start);
        lines.push_back({bytes, Decode(bytes, utf16)});
    }
    return lines;
}

std::wstring Trim(const std::wstring& s) {
    std::size_t b = s.find_first_not_of(L" \t\r");
    if (b == std::wstring::npos) return L"";
    std::size_t e = s.find_last_not_of(L" \t\r");
    return s.substr(b, e - b + 1);
}

// The section name of a header line "[name]", else false.
bool SectionOf(const std::wstring& text, std::wstring* name) {
    std::wstring t = Trim(text);
    if (t.empty() || t[0] != L'[') return false;
    std::size_t close = t.find(L']');
    if (close == std::wstring::npos) return false;
    *name = Trim(t.substr(1, close - 1));
    return true;
}

bool KeyOf(const std::wstring& text, std::wstring* key) {
    std::size_t eq = text.find(L'=');
    if (eq == std::wstring::npos) return false;
    *key = Trim(text.substr(0, eq));
    return true;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return sim::Lower(a) == sim::Lower(b);
}

bool EndsWithLf(const std::string& bytes, bool utf16) {
    std::size_t unit = utf16 ? 2 : 1;
    return bytes.size() >= unit && bytes[bytes.size() - unit] == '\n';
}

Line MakeLine(const std::wstring& text, bool utf16) {
    return {Encode(text + L"\r\n", utf16), text};
}

// Reads the file; a missing file gives no bytes. False (last error set) when it cannot be read.
bool ReadAll(const std::wstring& path, std::string* bytes, bool* exists) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        *exists = false;
        return e == ERROR_FILE_NOT_FOUND;  // a missing folder or a busy file is a failure
    }
    *exists = true;
    char chunk[4096];
    DWORD got = 0;
    BOOL ok;
    while ((ok = ReadFile(h, chunk, sizeof chunk, &got, nullptr)) && got > 0)
        bytes->append(chunk, got);
    DWORD e = GetLastError();
    CloseHandle(h);
    return ok ? true : Fail(false, e);
}

bool WriteAll(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    DWORD e = GetLastError();
    CloseHandle(h);
    if (!ok) return Fail(false, e);
    return true;
}

}  // namespace

BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName) {
    API_TRACE(Files, WritePrivateProfileStringW, section, key, value, fileName);
    if (section == nullptr || fileName == nullptr || *fileName == 0)
        return Fail(FALSE, ERROR_INVALID_PARAMETER);
    std::wstring path = fileName;
    if (path.find_first_of(L"\\/") == std::wstring::npos) path = L"C:\\WINDOWS\\" + path;

    std::string bytes;
    bool exists = false;
    if (!ReadAll(path, &bytes, &exists)) return FALSE;
    bool utf16 = Utf16(bytes);
    std::string mark = utf16 ? bytes.substr(0, 2) : "";
    std::vector<Line> lines = SplitLines(bytes.substr(mark.size()), utf16);

    // Where the section is: its header line and the end of its lines.
    std::size_t header = lines.size(), end = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::wstring name;
        if (!SectionOf(lines[i].text, &name)) continue;
        if (header < lines.size()) {
            end = i;
            break;
        }
        if (SameName(name, section)) header = i;
    }
    std::size_t found = lines.size();
    if (header < lines.size() && key != nullptr) {
        for (std::size_t i = header + 1; i < end; ++i) {
            std::wstring k;
            if (KeyOf(lines[i].text, &k) && SameName(k, key)) {
                found = i;
                break;
            }
        }
    }

    if (key == nullptr) {
        if (header == lines.size()) return TRUE;  // nothing to remove
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(header),
                    lines.begin() + static_cast<std::ptrdiff_t>(end));
    } else if (value == nullptr) {
        if (found == lines.size()) return TRUE;
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(found));
    } else {
        Line entry = MakeLine(std::wstring(key) + L"=" + value, utf16);
        if (found < lines.size()) {
            // The line keeps its place, and its lack of a terminator at the end of the file.
            if (!EndsWithLf(lines[found].bytes, utf16)) entry.bytes = Encode(entry.text, utf16);
            lines[found] = entry;
        } else {
            // A line without a terminator at the end of the file gets one first.
            if (!lines.empty() && !EndsWithLf(lines.back().bytes, utf16))
                lines.back().bytes += Encode(L"\r\n", utf16);
            if (header == lines.size()) {
                lines.push_back(MakeLine(L"[" + std::wstring(section) + L"]", utf16));
                lines.push_back(entry);
            } else {
                // After the section's last line that is not blank.
                std::size_t at = end;
                while (at > header + 1 && Trim(lines[at - 1].text).empty()) --at;
                lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
            }
        }
    }

    std::string out = mark;
    for (const Line& l : lines) out += l.bytes;
    if (!WriteAll(path, out)) return FALSE;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
