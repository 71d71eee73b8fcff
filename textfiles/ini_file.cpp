#include "textfiles/ini_file.h"

#include <cwctype>

#include "platform/files.h"
#include "textfiles/encoding.h"

namespace {

// Reads a wide string as UTF-16 code units.
class UnitReader {
public:
    explicit UnitReader(const std::wstring& s) : m_s(s) {}
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
    std::size_t m_i = 0;
    bool m_low = false;
};

bool IsWhite(wchar_t c) {
    return std::iswspace(static_cast<wint_t>(c)) != 0;
}

std::wstring TrimLeftWhite(const std::wstring& s) {
    std::size_t b = 0;
    while (b < s.size() && IsWhite(s[b])) ++b;
    return s.substr(b);
}

std::wstring TrimWhite(const std::wstring& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsWhite(s[b])) ++b;
    while (e > b && IsWhite(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::wstring TrimTabs(const std::wstring& s) {
    std::size_t b = s.find_first_not_of(L'\t');
    if (b == std::wstring::npos) return std::wstring();
    return s.substr(b, s.find_last_not_of(L'\t') - b + 1);
}

constexpr std::size_t kBlock = 4096;

}  // namespace

bool Utf16Less::operator()(const std::wstring& a, const std::wstring& b) const {
    UnitReader ra(a), rb(b);
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

bool CByteStream::ReadByte(std::uint8_t& byte) {
    if (!Fill()) return false;
    byte = m_buffer[m_pos++];
    return true;
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

std::wstring ReadTextLine(CByteStream& stream, bool wide) {
    if (wide) {
        std::u16string units;
        std::uint8_t lo = 0, hi = 0;
        bool lineEnd = false;
        while (stream.ReadByte(lo) && stream.ReadByte(hi)) {
            auto unit = static_cast<char16_t>(lo | (hi << 8));
            if (unit == u'\n') {
                lineEnd = true;
                break;
            }
            units.push_back(unit);
        }
        if (lineEnd && !units.empty() && units.back() == u'\r') units.pop_back();
        return Utf16ToWide(units);
    }
    std::string bytes;
    bytes.reserve(1024);
    std::uint8_t b = 0;
    bool lineEnd = false;
    while (stream.ReadByte(b)) {
        if (b == '\n') {
            lineEnd = true;
            break;
        }
        bytes.push_back(static_cast<char>(b));
    }
    if (lineEnd && !bytes.empty() && bytes.back() == '\r') bytes.pop_back();
    return AnsiToWide(bytes);
}

std::wstring LowerText(const std::wstring& text) {
    std::wstring out = text;
    for (wchar_t& c : out)
        if (static_cast<std::uint32_t>(c) <= 0xFFFF)
            c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return out;
}

// ---- CIniFile ----

CIniFile::CIniFile(const std::wstring& path) {
    Parse(path);
}

CIniFile::~CIniFile() = default;

void CIniFile::Parse(const std::wstring& path) {
    CByteStream stream(path);
    if (!stream.IsOpen()) return;
    bool wide = HasUtf16Bom(stream);
    Section* current = nullptr;
    while (!stream.AtEnd()) {
        std::wstring line = ReadTextLine(stream, wide);
        if (line.empty() || line[0] == L'#') continue;
        std::wstring text = TrimLeftWhite(line);
        std::size_t open = text.find(L'['), close = text.find(L']'), equals = text.find(L'=');
        // A key in front of the first '=' and no '[' before it make a key line, so that a value
        // may hold brackets ("k=[x]" is the key k with the value "[x]"); the line was trimmed on
        // the left, so a '=' past the first character has a key in front of it.
        bool keyLine = equals != std::wstring::npos && equals > 0 && equals < open;
        if (!keyLine && open != std::wstring::npos && close != std::wstring::npos &&
            close > open + 1) {
            std::wstring name = TrimWhite(text.substr(open + 1, close - open - 1));
            if (name.empty()) continue;
            auto section = std::make_unique<Section>();
            current = section.get();
            // A repeated section replaces what was read for it before.
            m_sections[LowerText(name)] = std::move(section);
            continue;
        }
        if (equals != std::wstring::npos && equals > 0) {
            std::wstring key = TrimTabs(TrimWhite(text.substr(0, equals)));
            std::wstring value = TrimTabs(TrimWhite(text.substr(equals + 1)));
            if (!key.empty() && !value.empty() && current != nullptr)
                (*current)[LowerText(key)] = value;
            continue;
        }
        // Neither header nor key line: the file ends here for the reader.
        break;
    }
}

const CIniFile::Section* CIniFile::FindSection(const std::wstring& section) const {
    auto it = m_sections.find(LowerText(section));
    return it == m_sections.end() ? nullptr : it->second.get();
}

const std::wstring& CIniFile::GetValue(const std::wstring& section, const std::wstring& key) const {
    static const std::wstring empty;
    const Section* s = FindSection(section);
    if (s == nullptr) return empty;
    auto it = s->find(LowerText(key));
    return it == s->end() ? empty : it->second;
}

int CIniFile::GetKeyCount(const std::wstring& section) const {
    const Section* s = FindSection(section);
    return s == nullptr ? 0 : static_cast<int>(s->size());
}

bool CIniFile::GetItem(const std::wstring& section, int index,
                       std::pair<std::wstring, std::wstring>& item) const {
    const Section* s = FindSection(section);
    if (s == nullptr || index < 0 || static_cast<std::size_t>(index) >= s->size()) return false;
    auto it = s->begin();
    std::advance(it, index);
    item = *it;
    return true;
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
