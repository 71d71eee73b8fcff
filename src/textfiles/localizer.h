// The localizer: user-interface texts, fonts, rectangles and time formats from a language file,
// looked up by key with a default.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <afxwin.h>
#include <afxcmn.h>
#include "textfiles/ini_file.h"

// Every text, font and time format the programs show is looked up through this interface.
class ILocalizer {
public:
    virtual WORD GetLanguageId() = 0;
    virtual int GetCodePage() = 0;
    // The text to show for the source text in the group ("" for none); the source text itself
    // when the language file has none.
    virtual std::wstring GetText(const std::wstring& text, const std::wstring& group) = 0;
    // The strftime-style picture of the name; "%Y-%m-%d,%H:%M:%S" when the file has none.
    virtual std::wstring GetTimeFormat(const std::wstring& name) = 0;
    // The named font, else the default font; never null. Valid until the next load.
    virtual CFont* GetFont(const std::wstring& name) = 0;

protected:
    // Not deleted through the interface.
    ~ILocalizer() = default;
};

// A text of the language file and the rectangle given in front of it (all 0 when none).
struct TextEntry {
    std::wstring text;
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The texts of one "text..." section of the language file, by lower-cased source text: the
// entries in the order they were first read, found through a hash table of their positions.
class TextGroup {
public:
    // Room for `count` entries: the table stays at most half full.
    TextGroup(std::wstring name, std::size_t count);

    const std::wstring& Name() const { return m_name; }
    // Adds the entry, or replaces the entry of an equal key.
    void Set(std::wstring key, TextEntry entry);
    const TextEntry* Find(const std::wstring& key) const;

private:
    // The slot where the key is, or the empty slot where it would go.
    std::size_t SlotOf(const std::wstring& key) const;

    std::wstring m_name;  // lower-cased section name
    std::vector<std::pair<std::wstring, TextEntry>> m_entries;
    std::vector<std::size_t> m_slots;  // 0: empty; else an index into m_entries plus 1
};

class CLocalizer : public ILocalizer {
public:
    static constexpr const wchar_t* kDefaultTimeFormat = L"%Y-%m-%d,%H:%M:%S";

    CLocalizer();
    ~CLocalizer();
    CLocalizer(const CLocalizer&) = delete;
    CLocalizer& operator=(const CLocalizer&) = delete;

    // The program's one localizer, built on first use.
    static CLocalizer& Instance();

    // Replaces every table with the language file's (a missing file gives empty tables).
    void Load(const std::wstring& path);
    void Clear();

    WORD GetLanguageId() override { return m_languageId; }
    int GetCodePage() override { return m_codePage; }
    std::wstring GetText(const std::wstring& text, const std::wstring& group) override;
    std::wstring GetTimeFormat(const std::wstring& name) override;
    CFont* GetFont(const std::wstring& name) override;

private:
    const TextEntry* FindEntry(const std::wstring& text, const std::wstring& group) const;

    std::vector<std::unique_ptr<TextGroup>> m_groups;
    std::map<std::wstring, std::unique_ptr<CFont>, Utf16Less> m_fonts;
    CFont m_defaultFont;
    std::map<std::wstring, std::wstring, Utf16Less> m_timeFormats;
    WORD m_languageId = 0;
    int m_codePage;
};

// Loads the file into CLocalizer::Instance() when it exists; false (nothing changed) otherwise.
bool LoadLanguageFile(const std::wstring& path);

// The parts of a language file's values, as the localizer reads them.
// A text value: "\n" (backslash, n) becomes CR LF, and a leading "{l,t,r,b}" of at least eight
// characters becomes the rectangle.
TextEntry ParseTextValue(std::wstring value);
// "ID": hexadecimal digits (an odd count gets a '0' in front); 0 when empty or unreadable.
WORD ParseLanguageId(const std::wstring& value);
// "Font": "face,size" with the size in points; a value without a comma is all size.
void ParseFontValue(const std::wstring& value, std::wstring& face, int& tenthsOfPoint);
