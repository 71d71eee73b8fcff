// The localizer: texts by group, rectangles and line breaks, fonts, time formats, language id
// and code page, each with its default.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <type_traits>

#include "machine/gdi_objects.h"
#include "tests/textfiles/text_files.h"
#include "textfiles/localizer.h"

namespace {

LOGFONTW FontOf(CFont* font) {
    LOGFONTW lf{};
    EXPECT_NE(font, nullptr);
    if (font != nullptr) {
        EXPECT_EQ(GetObjectW(font->GetSafeHandle(), sizeof lf, &lf), static_cast<int>(sizeof lf));
    }
    return lf;
}

class LocalizerTest : public TextFileTest {
protected:
    std::wstring LanguageFile(const std::wstring& text) {
        return Write(Utf16File(text), L"lang_zh_cn");
    }
};

TEST_F(LocalizerTest, WithoutALanguageFileShowsTheSourceTextsAndDefaults) {
    CLocalizer loc;
    EXPECT_EQ(loc.GetText(L"提示", L""), L"提示");
    EXPECT_EQ(loc.GetText(L"MsgBoxTitle", L"Setup"), L"MsgBoxTitle");
    EXPECT_EQ(loc.GetTimeFormat(L"short"), L"%Y-%m-%d,%H:%M:%S");
    EXPECT_EQ(loc.GetLanguageId(), 0);
    EXPECT_EQ(loc.GetCodePage(), 936);
    loc.Load(L"C:\\data\\missing");
    EXPECT_EQ(loc.GetText(L"提示", L""), L"提示");
}

TEST_F(LocalizerTest, LooksUpTextsInTheTextSectionOrTheGroupsOwnSection) {
    CLocalizer loc;
    loc.Load(
        LanguageFile(L"[text]\n提示=Note\nHello=Hi there\n"
                     L"[Text-NetConnectUI]\n连接=Connect\n"
                     L"[mytext]\n提示=never\n"
                     L"[textual]\nHello=never\n"));
    EXPECT_EQ(loc.GetText(L"提示", L""), L"Note");
    EXPECT_EQ(loc.GetText(L"HELLO", L""), L"Hi there");
    EXPECT_EQ(loc.GetText(L"提示", L"NetConnectUI"), L"提示");
    EXPECT_EQ(loc.GetText(L"连接", L"netconnectui"), L"Connect");
    EXPECT_EQ(loc.GetText(L"连接", L""), L"连接");
    EXPECT_EQ(loc.GetText(L"提示", L"my"), L"提示");
    EXPECT_EQ(loc.GetText(L"Hello", L"ual"), L"Hello");
}

TEST_F(LocalizerTest, FallbackIsAValueThatOutlivesATemporaryArgument) {
    CLocalizer loc;
    static_assert(!std::is_reference_v<decltype(loc.GetText(L"", L""))>);
    static_assert(!std::is_reference_v<decltype(loc.GetTimeFormat(L""))>);
    const std::wstring& shown = loc.GetText(std::wstring(L"Not") + L" translated", L"");
    std::wstring other(64, L'x');  // would reuse a freed temporary's storage
    EXPECT_EQ(shown, L"Not translated");
    EXPECT_EQ(other.size(), 64u);
}

TEST_F(LocalizerTest, TextValuesGiveRectanglesAndLineBreaks) {
    CLocalizer loc;
    loc.Load(
        LanguageFile(L"[text]\nA={1,2,3,4}Hello\nB={1,2}Hi\nC=Line1\\nLine2\nD={0,0,0,0}\\nx\n"));
    EXPECT_EQ(loc.GetText(L"A", L""), L"Hello");
    EXPECT_EQ(loc.GetText(L"B", L""), L"{1,2}Hi");
    EXPECT_EQ(loc.GetText(L"C", L""), L"Line1\r\nLine2");
    EXPECT_EQ(loc.GetText(L"D", L""), L"\r\nx");
}

TEST(TextValue, RectanglePrefixNeedsABraceGroupOfEightCharacters) {
    struct Case {
        const wchar_t* value;
        const wchar_t* text;
        int l, t, r, b;
    } cases[] = {
        {L"{1,2,3,4}Hello", L"Hello", 1, 2, 3, 4},
        {L"{1,2}Hi", L"{1,2}Hi", 0, 0, 0, 0},
        {L"{-10,20,-30,40}", L"", -10, 20, -30, 40},
        {L"{1,2,x,4}Text", L"Text", 1, 2, 0, 0},       // fields after a bad one stay 0
        {L"{1,2,3,4 Hi", L"{1,2,3,4 Hi", 0, 0, 0, 0},  // no closing brace
        {L" {1,2,3,4}Hi", L" {1,2,3,4}Hi", 0, 0, 0, 0},
        {L"", L"", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        TextEntry e = ParseTextValue(c.value);
        EXPECT_EQ(e.text, c.text);
        EXPECT_EQ(e.left, c.l);
        EXPECT_EQ(e.top, c.t);
        EXPECT_EQ(e.right, c.r);
        EXPECT_EQ(e.bottom, c.b);
    }
}

TEST_F(LocalizerTest, FontsComeFromTheFileWithTheScreenFontAsDefault) {
    CLocalizer loc;
    loc.Load(LanguageFile(
        L"[Font]\nNormal=Tahoma,9\nTitle = Arial Black , 12 \nSizeOnly=10\nBroken=,\n"));
    LOGFONTW normal = FontOf(loc.GetFont(L"NORMAL"));
    EXPECT_STREQ(normal.lfFaceName, L"Tahoma");
    EXPECT_EQ(normal.lfHeight, -12);  // 9 points at 96 dots per inch
    EXPECT_EQ(normal.lfWeight, FW_DONTCARE);
    EXPECT_EQ(normal.lfItalic, 0);
    EXPECT_EQ(normal.lfCharSet, DEFAULT_CHARSET);
    LOGFONTW title = FontOf(loc.GetFont(L"title"));
    EXPECT_STREQ(title.lfFaceName, L"Arial Black");
    EXPECT_EQ(title.lfHeight, -16);
    LOGFONTW sizeOnly = FontOf(loc.GetFont(L"sizeonly"));
    EXPECT_STREQ(sizeOnly.lfFaceName, L"");
    EXPECT_EQ(sizeOnly.lfHeight, -13);
    EXPECT_EQ(FontOf(loc.GetFont(L"broken")).lfHeight, 0);

    CFont* fallback = loc.GetFont(L"Missing");
    EXPECT_EQ(fallback, loc.GetFont(L""));
    LOGFONTW screen = FontOf(fallback);
    EXPECT_STREQ(screen.lfFaceName, L"System");
    EXPECT_EQ(screen.lfWeight, FW_BOLD);
    EXPECT_EQ(screen.lfCharSet, GB2312_CHARSET);
}

TEST_F(LocalizerTest, FontObjectsLiveUntilTheNextLoadOrTheEnd) {
    std::size_t before = sim::GdiTable::Get().LiveCount(OBJ_FONT);
    {
        CLocalizer loc;
        EXPECT_EQ(sim::GdiTable::Get().LiveCount(OBJ_FONT), before + 1);  // the default font
        loc.Load(LanguageFile(L"[font]\na=F,8\nb=G,9\nc=H,10\n"));
        EXPECT_EQ(sim::GdiTable::Get().LiveCount(OBJ_FONT), before + 4);
        loc.Load(Write(Utf16File(L"[font]\nd=F,8\n"), L"other"));
        EXPECT_EQ(sim::GdiTable::Get().LiveCount(OBJ_FONT), before + 2);
        EXPECT_STREQ(FontOf(loc.GetFont(L"d")).lfFaceName, L"F");
        EXPECT_STREQ(FontOf(loc.GetFont(L"a")).lfFaceName, L"System");
    }
    EXPECT_EQ(sim::GdiTable::Get().LiveCount(OBJ_FONT), before);
    EXPECT_EQ(sim::GdiTable::Get().LiveCount(OBJ_DC), 0u);
}

TEST_F(LocalizerTest, TimeFormatsByNameWithTheDefaultPicture) {
    CLocalizer loc;
    loc.Load(LanguageFile(L"[TimeFormat]\nShort=%H:%M\nDate=%Y/%m/%d\n"));
    EXPECT_EQ(loc.GetTimeFormat(L"SHORT"), L"%H:%M");
    EXPECT_EQ(loc.GetTimeFormat(L"date"), L"%Y/%m/%d");
    EXPECT_EQ(loc.GetTimeFormat(L"long"), L"%Y-%m-%d,%H:%M:%S");
}

TEST(LanguageId, HexDigitsWithAnOddCountReadAsIfZeroLed) {
    EXPECT_EQ(ParseLanguageId(L"804"), 0x0804);
    EXPECT_EQ(ParseLanguageId(L"ABC"), 0x0ABC);
    EXPECT_EQ(ParseLanguageId(L"0409"), 0x0409);
    EXPECT_EQ(ParseLanguageId(L"12345"), 0x2345);  // low 16 bits
    EXPECT_EQ(ParseLanguageId(L""), 0);
    EXPECT_EQ(ParseLanguageId(L"zz"), 0);
}

TEST_F(LocalizerTest, LanguageIdAndCodePageComeFromTheFile) {
    CLocalizer loc;
    loc.Load(LanguageFile(L"[Language]\nID=804\nCodePage=936\n"));
    EXPECT_EQ(loc.GetLanguageId(), 0x0804);
    EXPECT_EQ(loc.GetCodePage(), 936);
    loc.Load(Write(Utf16File(L"[Language]\nCodePage=1252\n"), L"en"));
    EXPECT_EQ(loc.GetLanguageId(), 0);
    EXPECT_EQ(loc.GetCodePage(), 1252);
    loc.Load(Write(Utf16File(L"[Language]\nID=409\n"), L"nocp"));
    EXPECT_EQ(loc.GetLanguageId(), 0x0409);
    EXPECT_EQ(loc.GetCodePage(), 1252);  // a file without a code page keeps the last one
}

TEST_F(WesternTextFileTest, AnsiLanguageFileIsReadInTheMachinesCodePageNotTheFilesOwn) {
    CLocalizer loc;
    EXPECT_EQ(loc.GetCodePage(), 1252);
    loc.Load(Write("[Language]\nCodePage=936\n[text]\nCaf\xE9=Coffee shop\n"));
    EXPECT_EQ(loc.GetCodePage(), 936);
    EXPECT_EQ(loc.GetText(L"café", L""), L"Coffee shop");
}

TEST_F(LocalizerTest, AnsiLanguageFileInGbk) {
    CLocalizer loc;
    // [text] 提示=注意
    loc.Load(Write("[text]\r\n\xCC\xE1\xCA\xBE=\xD7\xA2\xD2\xE2\r\n"));
    EXPECT_EQ(loc.GetText(L"提示", L""), L"注意");
}

TEST_F(LocalizerTest, EachLoadReplacesEveryTable) {
    CLocalizer loc;
    loc.Load(LanguageFile(L"[text]\na=1\n[timeformat]\nt=%H\n"));
    loc.Load(Write(Utf16File(L"[text]\nb=2\n"), L"second"));
    EXPECT_EQ(loc.GetText(L"a", L""), L"a");
    EXPECT_EQ(loc.GetText(L"b", L""), L"2");
    EXPECT_EQ(loc.GetTimeFormat(L"t"), L"%Y-%m-%d,%H:%M:%S");
}

TEST_F(LocalizerTest, TheLastTextOfAKeyInAGroupWins) {
    CLocalizer loc;
    loc.Load(
        LanguageFile(L"[text]\nSave=first\nOther=x\nSAVE=second\n[text]\nkept=only\n"
                     L"[text-g]\nsave=g1\nsave=g2\n"));
    EXPECT_EQ(loc.GetText(L"save", L""), L"save");  // the repeated section dropped the first
    EXPECT_EQ(loc.GetText(L"kept", L""), L"only");
    EXPECT_EQ(loc.GetText(L"Save", L"g"), L"g2");
}

TEST_F(LocalizerTest, MalformedFileIsReadUpToTheLineThatEndsIt) {
    CLocalizer loc;
    loc.Load(LanguageFile(L"[text]\na=1\n   \nb=2\n"));
    EXPECT_EQ(loc.GetText(L"a", L""), L"1");
    EXPECT_EQ(loc.GetText(L"b", L""), L"b");
}

TEST_F(LocalizerTest, LoadLanguageFileFillsTheProgramsLocalizerOnlyWhenTheFileExists) {
    std::wstring path = M().config().programFolder + L"plugins\\lang_zh_cn";
    EXPECT_FALSE(LoadLanguageFile(path));
    EXPECT_EQ(CLocalizer::Instance().GetText(L"提示", L""), L"提示");
    M().WriteFile(path, Utf16File(L"[text]\n提示=Note\n"));
    EXPECT_TRUE(LoadLanguageFile(path));
    ILocalizer& loc = CLocalizer::Instance();
    EXPECT_EQ(loc.GetText(L"提示", L""), L"Note");
    EXPECT_FALSE(LoadLanguageFile(path + L"x"));
    EXPECT_EQ(loc.GetText(L"提示", L""), L"Note");
}

// The language files the setup ships give every text they hold, in their own groups.
TEST_F(LocalizerTest, ShippedLanguageFilesGiveEveryTextTheyHold) {
    const std::filesystem::path folder = std::filesystem::path(MODEM_SOURCE_DIR) / "assets";
    ASSERT_GT(M().CopyFromHost(folder, L"C:\\assets\\"), 0);
    // The installer's files and App's.
    for (const char* name :
         {"Localize/English.txt", "Localize/ChineseSimplified.txt", "plugins/lang_zh_cn"}) {
        SCOPED_TRACE(name);
        std::ifstream in(folder / name, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        std::string raw = bytes.str();
        std::wstring text;
        if (raw.rfind("\xFF\xFE", 0) == 0) {
            std::u16string units;
            for (std::size_t i = 2; i + 1 < raw.size(); i += 2)
                units.push_back(static_cast<char16_t>(static_cast<unsigned char>(raw[i]) |
                                                      static_cast<unsigned char>(raw[i + 1]) << 8));
            text = Utf16ToWide(units);
        } else {
            text.assign(raw.begin(), raw.end());  // the English file is plain ASCII
        }

        CLocalizer loc;
        loc.Load(L"C:\\assets\\" + sim::FromUtf8(name));
        std::wistringstream lines(text);
        std::wstring line, group;
        bool inText = false;
        int texts = 0;
        while (std::getline(lines, line)) {
            if (!line.empty() && line.back() == L'\r') line.pop_back();
            if (line.rfind(L"[", 0) == 0) {
                std::wstring section = line.substr(1, line.find(L']') - 1);
                inText = section == L"text" || section.rfind(L"text-", 0) == 0;
                group = inText && section.size() > 4 ? section.substr(5) : L"";
                continue;
            }
            std::size_t equals = line.find(L'=');
            if (!inText || equals == std::wstring::npos) continue;
            EXPECT_EQ(loc.GetText(line.substr(0, equals), group), line.substr(equals + 1));
            ++texts;
        }
        EXPECT_GT(texts, 10);
        EXPECT_NE(loc.GetLanguageId(), 0);
    }
}

}  // namespace
