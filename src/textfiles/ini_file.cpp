#include "textfiles/ini_file.h"

#include <algorithm>
#include <cwctype>
#include <string_view>
#include <utility>

#include <windows.h>
#include "textfiles/encoding.h"

namespace {

// Reads a wide string as UTF-16 code units, from the character at `from`.
class UnitReader {
public:
    explicit UnitReader(const std::wstring& s, std::size_t from = 0) : m_s(s), m_i(from) {}
    bool Next(std::uint32_t& unit) {
        if (m_i >= m_s.size()) return false;
        auto c = static_cast<std::uint32_t>(m_s[m_i]);
        if (c < 0x10000 || c > 0x10FFFF) {
            unit = c;
            ++m_i;
            return true;
        }
        c -= 0x10000;
        unit = m_low ? 0xDC00 + (c & 0x3FF) : 0xD800 + (c >> 10);
        if (m_low) ++m_i;
        m_low = !m_low;
        return true;
    }

private:
    const std::wstring& m_s;
    std::size_t m_i;
    bool m_low = false;
};

// The first UTF-16 code unit of a character.
std::uint32_t FirstUnit(wchar_t wc) {
    auto c = static_cast<std::uint32_t>(wc);
    return c < 0x10000 || c > 0x10FFFF ? c : 0xD800 + ((c - 0x10000) >> 10);
}

bool IsWhite(wchar_t c) {
    return std::iswspace(static_cast<wint_t>(c)) != 0;
}

// The text of s from b to e without white space at both ends, then without tabs at both ends.
std::wstring Trimmed(const std::wstring& s, std::size_t b, std::size_t e) {
    while (b < e && IsWhite(s[b])) ++b;
    while (e > b && IsWhite(s[e - 1])) --e;
    while (b < e && s[b] == L'\t') ++b;
    while (e > b && s[e - 1] == L'\t') --e;
    return s.substr(b, e - b);
}

void LowerInPlace(std::wstring& text) {
    for (wchar_t& c : text)
        if (static_cast<std::uint32_t>(c) <= 0xFFFF)
            c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}

constexpr std::size_t kBlock = 64 * 1024;

}  // namespace

bool Utf16Less::operator()(const std::wstring& a, const std::wstring& b) const {
    // Equal characters give equal units: the order is decided at the first character that differs.
    auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    if (ib == b.end()) return false;  // b is a, or the start of a
    if (ia == a.end()) return true;   // a is the start of b
    std::uint32_t ua = FirstUnit(*ia), ub = FirstUnit(*ib);
    if (ua != ub) return ua < ub;
    // A character above U+FFFF against a lone surrogate of its first unit: unit by unit.
    UnitReader ra(a, static_cast<std::size_t>(ia - a.begin())),
        rb(b, static_cast<std::size_t>(ib - b.begin()));
    for (;;) {
        std::uint32_t ua = 0, ub = 0;
        bool ha = ra.Next(ua), hb = rb.Next(ub);
        if (!ha || !hb) return !ha && hb;
        if (ua != ub) return ua < ub;
    }
}

// ---- CByteStream ----

CByteStream::CByteStream(const std::wstring& path)
    : m_file(CreateFileW(path.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}

CByteStream::~CByteStream() {
    if (IsOpen()) CloseHandle(m_file);
}

bool CByteStream::Fill() {
    if (m_pos < m_buffer.size()) return true;
    if (m_end || !IsOpen()) return false;
    m_buffer.resize(kBlock);
    DWORD read = 0;
    if (!ReadFile(m_file, m_buffer.data(), static_cast<DWORD>(kBlock), &read, nullptr)) read = 0;
    m_buffer.resize(read);
    m_pos = 0;
    if (read == 0) m_end = true;
    return read > 0;
}

bool CByteStream::AtEnd() {
    return !Fill();
}

void CByteStream::Rewind() {
    m_buffer.clear();
    m_pos = 0;
    m_end = false;
    if (IsOpen()) SetFilePointer(m_file, 0, nullptr, FILE_BEGIN);
}

// ---- Lines ----

bool HasUtf16Bom(CByteStream& stream) {
    std::uint8_t b0 = 0, b1 = 0;
    if (stream.ReadByte(b0) && stream.ReadByte(b1) && b0 == 0xFF && b1 == 0xFE) return true;
    stream.Rewind();
    return false;
}

namespace {

// ReadTextLine into storage the caller keeps from line to line: `line` gets the line, `bytes` holds
// a narrow line's bytes on the way.
void ReadTextLineInto(CByteStream& stream, bool wide, std::wstring& line, std::string& bytes) {
    line.clear();
    bool lineEnd = false;
    if (wide) {
        std::uint8_t lo = 0, hi = 0;
        while (stream.ReadByte(lo) && stream.ReadByte(hi)) {
            auto unit = static_cast<wchar_t>(lo | (hi << 8));
            if (unit == L'\n') {
                lineEnd = true;
                break;
            }
            // A trail surrogate right after a lead one joins it into one character.
            if (unit >= 0xDC00 && unit <= 0xDFFF && !line.empty() && line.back() >= 0xD800 &&
                line.back() <= 0xDBFF) {
                line.back() = static_cast<wchar_t>(0x10000 + ((line.back() - 0xD800) << 10) +
                                                   (unit - 0xDC00));
                continue;
            }
            line.push_back(unit);
        }
        if (lineEnd && !line.empty() && line.back() == L'\r') line.pop_back();
        return;
    }
    bytes.clear();
    std::uint8_t b = 0;
    while (stream.ReadByte(b)) {
        if (b == '\n') {
            lineEnd = true;
            break;
        }
        bytes.push_back(static_cast<char>(b));
    }
    if (lineEnd && !bytes.empty() && bytes.back() == '\r') bytes.pop_back();
    line = AnsiToWide(bytes);
}

}  // namespace

std::wstring ReadTextLine(CByteStream& stream, bool wide) {
    std::wstring line;
    std::string bytes;
    bytes.reserve(1024);
    ReadTextLineInto(stream, wide, line, bytes);
    return line;
}

std::wstring LowerText(std::wstring text) {
    LowerInPlace(text);
    return text;
}

// ---- CIniFile ----

CIniFile::CIniFile(const std::wstring& path) {
    Parse(path);
}

namespace {

// Keys as UTF-16 text in one buffer: sorting looks at these close-packed units rather than at keys
// spread over the heap, and the units compare in the order the lookups use (Utf16Less).
class KeyUnits {
public:
    explicit KeyUnits(const std::vector<CIniFile::Item>& items) {
        spans_.reserve(items.size());
        for (const CIniFile::Item& item : items) {
            std::u16string utf16 = WideToUtf16(item.first);
            spans_.emplace_back(units_.size(), utf16.size());
            units_ += utf16;
        }
    }
    std::u16string_view Key(std::size_t index) const {
        return std::u16string_view(units_).substr(spans_[index].first, spans_[index].second);
    }

private:
    std::u16string units_;
    std::vector<std::pair<std::size_t, std::size_t>> spans_;  // offset and length of each key
};

}  // namespace

// A section's pairs as read, and, once it is first looked at, the positions of the pairs that
// count (the last of equal keys) in key order.
struct CIniFile::Section {
    std::vector<Item> items;
    bool ordered = false;
    std::vector<std::size_t> order;

    const std::vector<std::size_t>& Order() {
        if (ordered) return order;
        KeyUnits keys(items);
        std::vector<std::size_t> all(items.size());
        for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
        std::stable_sort(all.begin(), all.end(),
                         [&](std::size_t a, std::size_t b) { return keys.Key(a) < keys.Key(b); });
        // Equal keys stay in file order: the last of them wins.
        order.clear();
        for (std::size_t k = 0; k < all.size(); ++k)
            if (k + 1 == all.size() || keys.Key(all[k]) != keys.Key(all[k + 1]))
                order.push_back(all[k]);
        ordered = true;
        return order;
    }
};

CIniFile::~CIniFile() = default;

void CIniFile::Parse(const std::wstring& path) {
    CByteStream stream(path);
    if (!stream.IsOpen()) return;
    bool wide = HasUtf16Bom(stream);
    Section* current = nullptr;
    std::wstring line;
    std::string bytes;
    bytes.reserve(1024);
    IniLine parsed;
    while (!stream.AtEnd()) {
        ReadTextLineInto(stream, wide, line, bytes);
        ClassifyIniLine(line, parsed);
        if (parsed.kind == IniLine::Kind::End) break;
        if (parsed.kind == IniLine::Kind::Section) {
            auto section = std::make_unique<Section>();
            current = section.get();
            // A repeated section replaces what was read for it before.
            LowerInPlace(parsed.name);
            m_sections[std::move(parsed.name)] = std::move(section);
        } else if (parsed.kind == IniLine::Kind::Key && !parsed.name.empty() &&
                   !parsed.value.empty() && current != nullptr) {
            // A later equal key overwrites this one when the section is put in order.
            LowerInPlace(parsed.name);
            current->items.emplace_back(std::move(parsed.name), std::move(parsed.value));
        }
    }
}

void ClassifyIniLine(const std::wstring& line, IniLine& out) {
    out.kind = IniLine::Kind::Skip;
    out.name.clear();
    out.value.clear();
    if (line.empty() || line[0] == L'#') return;
    // The line's text starts after its leading white space.
    std::size_t start = 0;
    while (start < line.size() && IsWhite(line[start])) ++start;
    std::size_t open = line.find(L'[', start), close = line.find(L']', start),
                equals = line.find(L'=', start);
    // A key in front of the first '=' and no '[' before it make a key line, so that a value
    // may hold brackets ("k=[x]" is the key k with the value "[x]"); the text starts with a
    // character that is not white space, so a '=' past it has a key in front of it.
    bool keyLine = equals != std::wstring::npos && equals > start && equals < open;
    if (!keyLine && open != std::wstring::npos && close != std::wstring::npos &&
        close > open + 1) {
        out.name = Trimmed(line, open + 1, close);
        if (!out.name.empty()) out.kind = IniLine::Kind::Section;
        return;
    }
    if (equals != std::wstring::npos && equals > start) {
        out.kind = IniLine::Kind::Key;
        out.name = Trimmed(line, start, equals);
        out.value = Trimmed(line, equals + 1, line.size());
        return;
    }
    out.kind = IniLine::Kind::End;
}

// The section itself is not const: a const lookup may put it in order first.
CIniFile::Section* CIniFile::FindSection(const std::wstring& section) const {
    auto it = m_sections.find(LowerText(section));
    return it == m_sections.end() ? nullptr : it->second.get();
}

const std::wstring& CIniFile::GetValue(const std::wstring& section, const std::wstring& key) const {
    static const std::wstring empty;
    Section* s = FindSection(section);
    if (s == nullptr) return empty;
    const std::wstring lower = LowerText(key);
    const std::vector<std::size_t>& order = s->Order();
    auto it = std::lower_bound(
        order.begin(), order.end(), lower,
        [&](std::size_t i, const std::wstring& k) { return Utf16Less()(s->items[i].first, k); });
    return it == order.end() || Utf16Less()(lower, s->items[*it].first) ? empty
                                                                        : s->items[*it].second;
}

int CIniFile::GetKeyCount(const std::wstring& section) const {
    Section* s = FindSection(section);
    return s == nullptr ? 0 : static_cast<int>(s->Order().size());
}

bool CIniFile::GetItem(const std::wstring& section, int index, Item& item) const {
    Section* s = FindSection(section);
    if (s == nullptr || index < 0 || static_cast<std::size_t>(index) >= s->Order().size())
        return false;
    item = s->items[s->Order()[static_cast<std::size_t>(index)]];
    return true;
}

std::vector<CIniFile::Item> CIniFile::TakeSection(const std::wstring& section) {
    Section* s = FindSection(section);
    if (s == nullptr) return {};
    std::vector<Item> items = std::move(s->items);
    *s = Section();
    return items;
}

std::vector<std::wstring> CIniFile::GetSectionNames() const {
    std::vector<std::wstring> names;
    names.reserve(m_sections.size());
    for (const auto& [name, section] : m_sections) names.push_back(name);
    return names;
}

// ---- Escaping ----

std::wstring EscapeSpaces(const std::wstring& value) {
    std::wstring out;
    out.reserve(value.size());
    for (wchar_t c : value) {
        if (c == L' ')
            out += L"% ^";
        else
            out += c;
    }
    return out;
}

std::wstring UnescapeSpaces(const std::wstring& value) {
    std::wstring out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size();) {
        if (value[i] == L'%' && i + 2 < value.size() && value[i + 2] == L'^') {
            out += value[i + 1];
            i += 3;
        } else {
            out += value[i++];
        }
    }
    return out;
}

// ---- Paths ----

std::wstring GetFolderOfPath(const std::wstring& path) {
    for (std::ptrdiff_t i = static_cast<std::ptrdiff_t>(path.size()) - 2; i >= 1; --i)
        if (path[static_cast<std::size_t>(i)] == L'\\')
            return path.substr(0, static_cast<std::size_t>(i) + 1);
    return path;
}

std::wstring NormalizeParentPath(const std::wstring& path) {
    std::wstring out = path;
    // Each round removes at least the three characters found, so the loop ends.
    for (std::size_t at = out.find(L"\\.."); at != std::wstring::npos; at = out.find(L"\\..")) {
        out.erase(at, 3);
        if (at == 0) continue;
        std::size_t back = out.rfind(L'\\', at - 1);
        if (back != std::wstring::npos) out.erase(back, at - back);
    }
    return out;
}
