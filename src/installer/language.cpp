#include "installer/language.h"

#include <windows.h>
#include "support/platform_helpers.h"
#include "textfiles/ini_file.h"

namespace {

struct LanguageRow {
    const wchar_t* name;
    std::initializer_list<LANGID> ids;
};

// Note that 0x042B stands in the English row.
const LanguageRow kLanguages[] = {
    {L"Afrikaans", {0x0436}},
    {L"Albanian", {0x041C}},
    {L"Arabic",
     {0x0401, 0x0801, 0x0C01, 0x1001, 0x1401, 0x1801, 0x1C01, 0x2001, 0x2401, 0x2801, 0x2C01,
      0x3001, 0x3401, 0x3801, 0x3C01, 0x4001}},
    {L"Azeri", {0x042C, 0x082C}},
    {L"Basque", {0x042D}},
    {L"Belarusian", {0x0423}},
    {L"Bokmal", {0x0414}},
    {L"Bulgarian", {0x0402}},
    {L"Burmese", {0x0455}},
    {L"Catalan", {0x0403}},
    {L"ChineseSimplified", {0x0804}},
    {L"ChineseTradition", {0x0404, 0x0C04, 0x1004, 0x1404}},
    {L"Croatian", {0x041A}},
    {L"Czech", {0x0405}},
    {L"Danish", {0x0406}},
    {L"Divehi", {0x0465}},
    {L"Dutch", {0x0413, 0x0813}},
    {L"English",
     {0x0409, 0x042B, 0x0809, 0x0C09, 0x1009, 0x1409, 0x1809, 0x1C09, 0x2009, 0x2409, 0x2809,
      0x2C09, 0x3009, 0x3409}},
    {L"Estonian", {0x0425}},
    {L"Faeroese", {0x0438}},
    {L"Farsi", {0x0429}},
    {L"Finnish", {0x040B}},
    {L"French", {0x040C, 0x080C, 0x0C0C, 0x100C, 0x140C, 0x180C}},
    {L"Galician", {0x0456}},
    {L"Georgian", {0x0437}},
    {L"German", {0x0407, 0x0807, 0x0C07, 0x1007, 0x1407}},
    {L"Greek", {0x0408}},
    {L"Gujarati", {0x0447}},
    {L"Hebrew", {0x040D}},
    {L"Hindi", {0x0439}},
    {L"Hungarian", {0x040E}},
    {L"Icelandic", {0x040F}},
    {L"Indonesian", {0x0421}},
    {L"Italian", {0x0410, 0x0810}},
    {L"Japanese", {0x0411}},
    {L"Kannada", {0x044B}},
    {L"Konkani", {0x0457}},
    {L"Korean", {0x0412, 0x0812}},
    {L"Kyrgyz", {0x0440}},
    {L"Latvian", {0x0426}},
    {L"Lithuanian", {0x0427, 0x0827}},
    {L"Macedonian", {0x042F}},
    {L"Malay", {0x043E, 0x083E}},
    {L"Marathi", {0x044E}},
    {L"Mongolian", {0x0450}},
    {L"Nynorsk", {0x0814}},
    {L"Polish", {0x0415}},
    {L"Portuguese", {0x0416, 0x0816}},
    {L"Punjabi", {0x0446}},
    {L"Romanian", {0x0418}},
    {L"Russian", {0x0419}},
    {L"Sanskrit", {0x044F}},
    {L"Serbian", {0x081A, 0x0C1A}},
    {L"Slovak", {0x041B}},
    {L"Slovenian", {0x0424}},
    {L"Spanish", {0x040A, 0x080A, 0x0C0A, 0x100A, 0x140A, 0x180A, 0x1C0A, 0x200A, 0x240A, 0x280A,
                  0x2C0A, 0x300A, 0x340A, 0x380A, 0x3C0A, 0x400A, 0x440A, 0x480A, 0x4C0A, 0x500A}},
    {L"Sutu", {0x0430}},
    {L"Swahili", {0x0441}},
    {L"Swedish", {0x041D, 0x081D}},
    {L"Syriac", {0x045A}},
    {L"Tamil", {0x0449}},
    {L"Tatarstan", {0x0444}},
    {L"Telugu", {0x044A}},
    {L"Thai", {0x041E}},
    {L"Turkish", {0x041F}},
    {L"Ukrainian", {0x0422}},
    {L"Urdu", {0x0420, 0x0820}},
    {L"Uzbek", {0x0443, 0x0843}},
    {L"Vietnamese", {0x042A}},
};

}  // namespace

std::wstring GetLanguageName(LANGID languageId) {
    for (const LanguageRow& row : kLanguages)
        for (LANGID id : row.ids)
            if (id == languageId) return row.name;
    return L"";
}

std::wstring GetUserLanguageName() {
    return GetLanguageName(GetUserDefaultUILanguage());
}

std::wstring GetLanguageFilePath() {
    std::wstring folder = NormalizeParentPath(GetModuleFolder() + L"..\\Localize\\");
    std::wstring path = folder + GetUserLanguageName() + L".txt";
    if (!FileExists(path)) path = folder + L"English.txt";
    return path;
}
