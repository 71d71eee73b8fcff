#include "textfiles/localizer.h"

#include <cwchar>
#include <cwctype>
#include <functional>
#include <utility>

#include <corecrt.h>
#include <windows.h>
#include "support/platform_helpers.h"

namespace {

std::wstring Trim(const std::wstring& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::iswspace(static_cast<wint_t>(s[b]))) ++b;
    while (e > b && std::iswspace(static_cast<wint_t>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

// Every "\n" (backslash, n) becomes CR LF, in place: both are two characters.
void ReplaceLineBreaks(std::wstring& value) {
    for (std::size_t i = 0; i + 1 < value.size(); ++i) {
        if (value[i] == L'\\' && value[i + 1] == L'n') {
            value[i] = L'\r';
            value[++i] = L'\n';
        }
    }
}

}  // namespace

TextEntry ParseTextValue(std::wstring raw) {
    TextEntry entry;
    ReplaceLineBreaks(raw);
    entry.text = std::move(raw);
    const std::wstring& value = entry.text;
    if (value.empty() || value[0] != L'{') return entry;
    std::size_t close = value.find(L'}', 1);
    if (close == std::wstring::npos) return entry;
    std::size_t end = close + 1;
    // A brace group of at least eight characters, such as "{0,0,0,0}".
    if (end <= 7) return entry;
    std::wstring group = value.substr(0, end);
    int rect[4] = {0, 0, 0, 0};
    std::swscanf(group.c_str(), L"{%d,%d,%d,%d}", &rect[0], &rect[1], &rect[2], &rect[3]);
    entry.left = rect[0];
    entry.top = rect[1];
    entry.right = rect[2];
    entry.bottom = rect[3];
    entry.text.erase(0, end);
    return entry;
}

WORD ParseLanguageId(const std::wstring& value) {
    std::wstring digits = value.size() % 2 == 1 ? L"0" + value : value;
    digits = Trim(digits);
    unsigned int id = 0;
    if (digits.empty() || std::swscanf(digits.c_str(), L"%x", &id) != 1) return 0;
    return static_cast<WORD>(id & 0xFFFF);
}

void ParseFontValue(const std::wstring& value, std::wstring& face, int& tenthsOfPoint) {
    std::size_t comma = value.find(L',');
    std::wstring size = value;
    face.clear();
    if (comma != std::wstring::npos) {
        face = Trim(value.substr(0, comma));
        size = value.substr(comma + 1);
    }
    // Kept inside the int range however large the size.
    long long tenths = static_cast<long long>(_wtoi(Trim(size).c_str())) * 10;
    if (tenths > 0x7FFFFFFF) tenths = 0x7FFFFFFF;
    if (tenths < -0x7FFFFFFF) tenths = -0x7FFFFFFF;
    tenthsOfPoint = static_cast<int>(tenths);
}

CLocalizer::CLocalizer() : m_codePage(static_cast<int>(GetACP())) {
    // The default font is the one a context of the whole screen holds.
    HDC screen = GetDC(nullptr);
    LOGFONTW font{};
    if (screen != nullptr && GetObjectW(GetCurrentObject(screen, OBJ_FONT), sizeof font, &font) > 0)
        m_defaultFont.CreateFontIndirect(&font);
    if (screen != nullptr) ReleaseDC(nullptr, screen);
}

CLocalizer::~CLocalizer() {
    Clear();
}

CLocalizer& CLocalizer::Instance() {
    static CLocalizer localizer;
    return localizer;
}

void CLocalizer::Clear() {
    m_groups.clear();
    m_timeFormats.clear();
    for (auto& [name, font] : m_fonts) font->DeleteObject();
    m_fonts.clear();
}

// ---- TextGroup ----

TextGroup::TextGroup(std::wstring name, std::size_t count) : m_name(std::move(name)) {
    std::size_t slots = 16;
    while (slots < 2 * count) slots *= 2;
    m_slots.assign(slots, 0);
    m_entries.reserve(count);
}

std::size_t TextGroup::SlotOf(const std::wstring& key) const {
    // Linear probing in a table of a power-of-two size that is never more than half full.
    std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = std::hash<std::wstring>()(key) & mask;; slot = (slot + 1) & mask)
        if (m_slots[slot] == 0 || m_entries[m_slots[slot] - 1].first == key) return slot;
}

void TextGroup::Set(std::wstring key, TextEntry entry) {
    if (2 * (m_entries.size() + 1) > m_slots.size()) {
        // More entries than the table was made for: twice the room, every entry placed again.
        m_slots.assign(m_slots.size() * 2, 0);
        for (std::size_t i = 0; i < m_entries.size(); ++i)
            m_slots[SlotOf(m_entries[i].first)] = i + 1;
    }
    std::size_t slot = SlotOf(key);
    if (m_slots[slot] != 0) {
        m_entries[m_slots[slot] - 1].second = std::move(entry);
        return;
    }
    m_entries.emplace_back(std::move(key), std::move(entry));
    m_slots[slot] = m_entries.size();
}

const TextEntry* TextGroup::Find(const std::wstring& key) const {
    std::size_t slot = SlotOf(key);
    return m_slots[slot] == 0 ? nullptr : &m_entries[m_slots[slot] - 1].second;
}

// ---- CLocalizer ----

void CLocalizer::Load(const std::wstring& path) {
    Clear();
    CIniFile ini(path);
    CIniFile::Item item;
    for (const std::wstring& section : ini.GetSectionNames()) {
        if (section.find(L"text") == std::wstring::npos) continue;
        // The texts are taken over, not copied, with their keys lower-cased as the lookups lower
        // the source text; they come in file order, so of equal keys the later one stays.
        std::vector<CIniFile::Item> items = ini.TakeSection(section);
        auto group = std::make_unique<TextGroup>(section, items.size());
        for (auto& [key, value] : items)
            group->Set(std::move(key), ParseTextValue(std::move(value)));
        m_groups.push_back(std::move(group));
    }
    for (int i = 0; ini.GetItem(L"timeformat", i, item); ++i)
        m_timeFormats[item.first] = item.second;
    for (int i = 0; ini.GetItem(L"font", i, item); ++i) {
        auto font = std::make_unique<CFont>();
        std::wstring face;
        int tenths = 0;
        ParseFontValue(item.second, face, tenths);
        font->CreatePointFont(tenths, face.c_str());
        m_fonts[item.first] = std::move(font);
    }
    m_languageId = ParseLanguageId(ini.GetValue(L"language", L"id"));
    const std::wstring& codePage = ini.GetValue(L"language", L"codepage");
    if (!codePage.empty()) m_codePage = _wtoi(codePage.c_str());
}

const TextEntry* CLocalizer::FindEntry(const std::wstring& text, const std::wstring& group) const {
    std::wstring section = LowerText(group.empty() ? L"text" : L"text-" + group);
    for (const auto& g : m_groups)
        if (g->Name() == section) return g->Find(LowerText(text));
    return nullptr;
}

std::wstring CLocalizer::GetText(const std::wstring& text, const std::wstring& group) {
    const TextEntry* entry = FindEntry(text, group);
    return entry != nullptr ? entry->text : text;
}

std::wstring CLocalizer::GetTimeFormat(const std::wstring& name) {
    auto it = m_timeFormats.find(LowerText(name));
    return it != m_timeFormats.end() ? it->second : std::wstring(kDefaultTimeFormat);
}

CFont* CLocalizer::GetFont(const std::wstring& name) {
    auto it = m_fonts.find(LowerText(name));
    return it != m_fonts.end() ? it->second.get() : &m_defaultFont;
}

bool LoadLanguageFile(const std::wstring& path) {
    if (!FileExists(path)) return false;
    CLocalizer::Instance().Load(path);
    return true;
}
