#include "machine/inf.h"

#include <cstdint>
#include <map>

#include <devguid.h>
#include <setupapi.h>
#include "machine/codepage.h"
#include "machine/devices.h"
#include "machine/machine.h"

namespace sim {

namespace {

constexpr std::size_t kMaxSectionName = 255;

// A field as read: literal text and %token% references, substituted once [Strings] is known.
struct Piece {
    std::wstring text;
    bool token = false;
};
using RawField = std::vector<Piece>;

struct RawLine {
    bool keySeparator = false;
    RawField key;
    std::vector<RawField> fields;
    UINT lineNumber = 0;
};

struct RawSection {
    std::wstring name;
    std::vector<RawLine> lines;
};

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\v' || c == L'\f' || c == 0x1A;
}

std::wstring Trim(const std::wstring& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::vector<std::wstring> SplitPhysicalLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t lf = text.find(L'\n', start);
        if (lf == std::wstring::npos) {
            if (start < text.size()) lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, lf - start));
        start = lf + 1;
    }
    return lines;
}

// True when only blanks, or blanks and a comment, follow position pos.
bool OnlyCommentAfter(const std::wstring& s, std::size_t pos) {
    for (std::size_t i = pos; i < s.size(); ++i) {
        if (s[i] == L';') return true;
        if (!IsBlank(s[i])) return false;
    }
    return true;
}

// Builds one field from characters, keeping inner blanks and dropping those at its ends
// (blanks inside quotes are always kept).
class FieldBuilder {
public:
    void Literal(wchar_t c) {
        Flush();
        Append(std::wstring(1, c));
    }
    void QuotedText(const std::wstring& s) {
        Flush();
        started_ = true;
        Append(s);
    }
    void Blank(wchar_t c) {
        if (started_) pending_ += c;
    }
    void Token(const std::wstring& name) {
        Flush();
        started_ = true;
        field_.push_back({name, true});
    }
    void OpenQuote() {
        Flush();
        started_ = true;
    }
    bool Started() const { return started_; }
    RawField Take() {
        RawField out = std::move(field_);
        field_.clear();
        pending_.clear();
        started_ = false;
        return out;
    }

private:
    void Flush() {
        if (!pending_.empty()) Append(pending_);
        pending_.clear();
    }
    void Append(const std::wstring& s) {
        started_ = true;
        if (field_.empty() || field_.back().token) field_.push_back({L"", false});
        field_.back().text += s;
    }
    RawField field_;
    std::wstring pending_;
    bool started_ = false;
};

// Reads the logical line that starts at physical line *index (following continuations) into
// out; advances *index past it. Returns false for a line with nothing on it.
bool ReadFieldLine(const std::vector<std::wstring>& lines, std::size_t* index, RawLine* out) {
    out->lineNumber = static_cast<UINT>(*index + 1);
    FieldBuilder field;
    bool anyComma = false;
    bool anything = false;
    std::size_t i = *index;
    std::size_t pos = 0;
    bool inQuote = false;
    for (;;) {
        const std::wstring& s = lines[i];
        if (pos >= s.size()) {
            inQuote = false;  // a quote left open closes at the end of its line
            break;
        }
        wchar_t c = s[pos];
        if (c == L'%') {
            std::size_t close = s.find(L'%', pos + 1);
            if (close == std::wstring::npos) {
                field.Literal(L'%');
                ++pos;
            } else if (close == pos + 1) {
                field.Literal(L'%');  // "%%" is one percent sign
                pos += 2;
            } else {
                field.Token(s.substr(pos + 1, close - pos - 1));
                pos = close + 1;
            }
            anything = true;
            continue;
        }
        if (inQuote) {
            if (c == L'"') {
                if (pos + 1 < s.size() && s[pos + 1] == L'"') {
                    field.QuotedText(L"\"");
                    pos += 2;
                } else {
                    inQuote = false;
                    ++pos;
                }
            } else {
                field.QuotedText(std::wstring(1, c));
                ++pos;
            }
            continue;
        }
        if (c == L';') break;
        if (c == L'\\' && OnlyCommentAfter(s, pos + 1)) {
            // The line goes on in the next one.
            if (i + 1 >= lines.size()) break;
            ++i;
            pos = 0;
            continue;
        }
        ++pos;
        if (c == L'"') {
            inQuote = true;
            field.OpenQuote();
            anything = true;
        } else if (c == L',') {
            out->fields.push_back(field.Take());
            anyComma = true;
            anything = true;
        } else if (c == L'=' && !out->keySeparator && !anyComma) {
            out->keySeparator = true;
            out->key = field.Take();
            anything = true;
        } else if (IsBlank(c)) {
            field.Blank(c);
        } else {
            field.Literal(c);
            anything = true;
        }
    }
    // The last field counts when it holds something or a comma stands before it.
    if (field.Started() || anyComma) out->fields.push_back(field.Take());
    *index = i + 1;
    return anything;
}

std::wstring Render(const RawField& field, const std::map<std::wstring, std::wstring>* strings) {
    std::wstring out;
    for (const Piece& p : field) {
        if (!p.token) {
            out += p.text;
            continue;
        }
        if (strings) {
            auto it = strings->find(Lower(p.text));
            if (it != strings->end()) {
                out += it->second;
                continue;
            }
        }
        out += L"%" + p.text + L"%";  // an unknown token stays as written
    }
    return out;
}

}  // namespace

bool InfFile::Parse(const std::wstring& text, DWORD* error, UINT* errorLine) {
    sections_.clear();
    std::vector<RawSection> raw;
    std::map<std::wstring, std::size_t> byName;  // lower-case name -> index in raw
    std::vector<std::wstring> lines = SplitPhysicalLines(text);
    std::size_t current = SIZE_MAX;  // index in raw of the section being read
    bool ok = true;
    std::size_t i = 0;
    while (i < lines.size()) {
        const std::wstring& s = lines[i];
        std::size_t first = 0;
        while (first < s.size() && IsBlank(s[first])) ++first;
        if (first >= s.size() || s[first] == L';') {
            ++i;
            continue;
        }
        if (s[first] == L'[') {
            std::size_t close = s.find(L']', first + 1);
            if (close == std::wstring::npos) {
                *error = ERROR_BAD_SECTION_NAME_LINE;
                *errorLine = static_cast<UINT>(i + 1);
                ok = false;
                break;
            }
            std::wstring name = Trim(s.substr(first + 1, close - first - 1));
            if (name.size() > kMaxSectionName) {
                *error = ERROR_SECTION_NAME_TOO_LONG;
                *errorLine = static_cast<UINT>(i + 1);
                ok = false;
                break;
            }
            std::wstring key = Lower(name);
            auto it = byName.find(key);
            if (it == byName.end()) {
                it = byName.emplace(key, raw.size()).first;
                raw.push_back({name, {}});
            }
            current = it->second;  // sections of the same name are read as one
            ++i;
            continue;
        }
        RawLine line;
        std::size_t at = i;
        if (!ReadFieldLine(lines, &i, &line)) continue;
        if (current == SIZE_MAX) {
            *error = ERROR_EXPECTED_SECTION_NAME;
            *errorLine = static_cast<UINT>(at + 1);
            ok = false;
            break;
        }
        raw[current].lines.push_back(std::move(line));
    }

    // [Strings] gives the tokens' texts; its own values are taken as written.
    std::map<std::wstring, std::wstring> strings;
    auto stringsSection = byName.find(L"strings");
    if (stringsSection != byName.end()) {
        for (const RawLine& l : raw[stringsSection->second].lines) {
            if (!l.keySeparator) continue;
            strings[Lower(Render(l.key, nullptr))] =
                l.fields.empty() ? L"" : Render(l.fields[0], nullptr);
        }
    }
    for (std::size_t s = 0; s < raw.size(); ++s) {
        bool isStrings = stringsSection != byName.end() && s == stringsSection->second;
        const auto* table = isStrings ? nullptr : &strings;
        InfSection section;
        section.name = raw[s].name;
        for (const RawLine& l : raw[s].lines) {
            InfLine line;
            line.lineNumber = l.lineNumber;
            for (const RawField& f : l.fields) line.fields.push_back(Render(f, table));
            if (l.keySeparator) {
                line.hasKey = true;
                line.key = Render(l.key, table);
            } else if (line.fields.size() == 1) {
                line.hasKey = true;  // a lone value serves as the line's key too
                line.key = line.fields[0];
            }
            section.lines.push_back(std::move(line));
        }
        sections_.push_back(std::move(section));
    }
    return ok;
}

int InfFile::FindSection(const std::wstring& name) const {
    std::wstring want = Lower(name);
    for (std::size_t i = 0; i < sections_.size(); ++i)
        if (Lower(sections_[i].name) == want) return static_cast<int>(i);
    return -1;
}

std::wstring DecodeInfBytes(const std::string& bytes, UINT codePage) {
    std::wstring text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::string body = bytes.substr(2);
        if (body.size() % 2) body.pop_back();  // a stray last byte is no character
        CodePageToWide(body, 1200, &text);
    } else {
        CodePageToWide(bytes, codePage, &text);
    }
    return text;
}

bool ParseGuid(const std::wstring& textIn, GUID* guid) {
    std::wstring t = textIn;
    if (t.size() == 38 && t.front() == L'{' && t.back() == L'}') t = t.substr(1, 36);
    if (t.size() != 36 || t[8] != L'-' || t[13] != L'-' || t[18] != L'-' || t[23] != L'-')
        return false;
    auto hex = [&](std::size_t at, int digits, std::uint64_t* value) {
        *value = 0;
        for (int k = 0; k < digits; ++k) {
            wchar_t c = t[at + k];
            int d = c >= L'0' && c <= L'9'   ? c - L'0'
                    : c >= L'a' && c <= L'f' ? c - L'a' + 10
                    : c >= L'A' && c <= L'F' ? c - L'A' + 10
                                             : -1;
            if (d < 0) return false;
            *value = *value * 16 + static_cast<std::uint64_t>(d);
        }
        return true;
    };
    std::uint64_t v = 0;
    GUID g{};
    if (!hex(0, 8, &v)) return false;
    g.Data1 = static_cast<DWORD>(v);
    if (!hex(9, 4, &v)) return false;
    g.Data2 = static_cast<WORD>(v);
    if (!hex(14, 4, &v)) return false;
    g.Data3 = static_cast<WORD>(v);
    const std::size_t at[8] = {19, 21, 24, 26, 28, 30, 32, 34};
    for (int k = 0; k < 8; ++k) {
        if (!hex(at[k], 2, &v)) return false;
        g.Data4[k] = static_cast<BYTE>(v);
    }
    *guid = g;
    return true;
}

std::vector<SetupClass> InstalledSetupClasses() {
    std::vector<SetupClass> classes = {{L"CDROM", GUID_DEVCLASS_CDROM},
                                       {L"Modem", GUID_DEVCLASS_MODEM},
                                       {L"Ports", GUID_DEVCLASS_PORTS},
                                       {L"USB", GUID_DEVCLASS_USB}};
    for (const DeviceNode& node : machine().devices().Nodes()) {
        if (node.spec.className.empty()) continue;
        bool known = false;
        for (const SetupClass& c : classes)
            known = known ||
                    (c.guid == node.spec.classGuid && Lower(c.name) == Lower(node.spec.className));
        if (!known) classes.push_back({node.spec.className, node.spec.classGuid});
    }
    return classes;
}

}  // namespace sim
