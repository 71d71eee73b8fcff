// The INI-style reader: sections, keys, where the parse ends, encodings, and the helpers beside it.
#include <clocale>

#include <winbase.h>
#include "tests/textfiles/text_files.h"
#include "textfiles/ini_file.h"

namespace {

using Item = std::pair<std::wstring, std::wstring>;

std::vector<Item> Items(const CIniFile& ini, const std::wstring& section) {
    std::vector<Item> items;
    for (int i = 0; i < ini.GetKeyCount(section); ++i) {
        Item item;
        EXPECT_TRUE(ini.GetItem(section, i, item));
        items.push_back(item);
    }
    return items;
}

class IniFileTest : public TextFileTest {
protected:
    // The same text as an ANSI file and as a UTF-16 file; the checks run on both.
    template <class Check>
    void InBothEncodings(const std::wstring& text, Check check) {
        {
            SCOPED_TRACE("ANSI");
            CIniFile ini(Write(WideToAnsi(text), L"ansi.ini"));
            check(ini);
        }
        {
            SCOPED_TRACE("UTF-16");
            CIniFile ini(Write(Utf16File(text), L"wide.ini"));
            check(ini);
        }
    }
};

TEST_F(IniFileTest, LooksUpSectionsAndKeysWithoutRegardToCase) {
    InBothEncodings(L"[Text]\nHello=World\nName = Two  words \t\n", [](const CIniFile& ini) {
        EXPECT_EQ(ini.GetValue(L"text", L"HELLO"), L"World");
        EXPECT_EQ(ini.GetValue(L"TEXT", L"name"), L"Two  words");
        EXPECT_EQ(ini.GetValue(L"text", L"missing"), L"");
        EXPECT_EQ(ini.GetValue(L"other", L"hello"), L"");
        EXPECT_EQ(ini.GetKeyCount(L"Text"), 2);
        EXPECT_EQ(ini.GetKeyCount(L"other"), 0);
    });
}

TEST_F(IniFileTest, RepeatedSectionReplacesEarlierOneAndABlankNameIsIgnored) {
    std::wstring text =
        L"orphan=1\n"  // before any section: ignored
        L"[A]\na1=x\na2=y\n"
        L"[B]\nb=1\n"
        L"[ ]\nb2=2\n"   // blank name: ignored, B stays current
        L"[a]\na3=z\n";  // A again: drops a1, a2
    InBothEncodings(text, [](const CIniFile& ini) {
        EXPECT_EQ(ini.GetSectionNames(), (std::vector<std::wstring>{L"a", L"b"}));
        EXPECT_EQ(Items(ini, L"A"), (std::vector<Item>{{L"a3", L"z"}}));
        EXPECT_EQ(Items(ini, L"b"), (std::vector<Item>{{L"b", L"1"}, {L"b2", L"2"}}));
        EXPECT_EQ(ini.GetValue(L"k", L"orphan"), L"");
    });
}

// A line whose first '=' comes before its first '[' (with a key in front of it) is a key line, so
// a value may hold a bracket pair; every other line with a bracket pair is a section header.
TEST_F(IniFileTest, BracketsInAValueStayInTheValueAndOtherBracketPairsAreHeaders) {
    struct Case {
        const wchar_t* line;
        const wchar_t* section;  // the header's name; null for a key line
        const wchar_t* key;
        const wchar_t* value;
    } cases[] = {
        {L"k=[x]", nullptr, L"k", L"[x]"},           {L"Pass=a[b]c", nullptr, L"pass", L"a[b]c"},
        {L"\t k = ]x[y] ", nullptr, L"k", L"]x[y]"}, {L"k=v[", nullptr, L"k", L"v["},
        {L"k=a=[b]", nullptr, L"k", L"a=[b]"},       {L"[s]", L"s", nullptr, nullptr},
        {L"  [s] x=1", L"s", nullptr, nullptr},      {L"=[y]", L"y", nullptr, nullptr},
        {L"[a=b]", L"a=b", nullptr, nullptr},        {L"x[a]=b", L"a", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::wstring text = std::wstring(L"[first]\nbefore=1\n") + c.line + L"\nafter=2\n";
        InBothEncodings(text, [&](const CIniFile& ini) {
            if (c.section == nullptr) {
                EXPECT_EQ(ini.GetSectionNames(), (std::vector<std::wstring>{L"first"}));
                EXPECT_EQ(ini.GetValue(L"first", c.key), c.value);
                EXPECT_EQ(ini.GetValue(L"first", L"after"), L"2");
                EXPECT_EQ(ini.GetKeyCount(L"first"), 3);
            } else {
                EXPECT_EQ(Items(ini, L"first"), (std::vector<Item>{{L"before", L"1"}}));
                EXPECT_EQ(Items(ini, c.section), (std::vector<Item>{{L"after", L"2"}}));
            }
        });
    }
}

TEST_F(IniFileTest, LinesThatAreNeitherHeaderNorKeyEndTheParseAndKeepWhatWasRead) {
    struct Case {
        const wchar_t* stopper;
    } cases[] = {{L"   \t "}, {L"=value"}, {L"="}, {L"no equals sign"}, {L"[]"}, {L"]x["}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stopper);
        std::wstring text =
            std::wstring(L"[s]\nkey=\nbefore=1\n") + c.stopper + L"\nafter=2\n[t]\nx=1\n";
        InBothEncodings(text, [](const CIniFile& ini) {
            EXPECT_EQ(Items(ini, L"s"), (std::vector<Item>{{L"before", L"1"}}));
            EXPECT_EQ(ini.GetKeyCount(L"t"), 0);
        });
    }
}

TEST_F(IniFileTest, HashIsACommentOnlyInTheFirstColumn) {
    InBothEncodings(L"[s]\n#x=1\n  #y=2\n\n\nz=3\n", [](const CIniFile& ini) {
        EXPECT_EQ(Items(ini, L"s"), (std::vector<Item>{{L"#y", L"2"}, {L"z", L"3"}}));
    });
}

TEST_F(IniFileTest, TrimsWhiteSpaceThenTabsAroundKeysAndValues) {
    InBothEncodings(L"  [ Sec ]  \n\tKey One\t =\t  a  b \t\n\f k2 =\v v2 \r\n", [](const CIniFile&
                                                                                        ini) {
        EXPECT_EQ(Items(ini, L"sec"), (std::vector<Item>{{L"k2", L"v2"}, {L"key one", L"a  b"}}));
    });
}

TEST_F(IniFileTest, CrLfAndLfEndLinesAlikeAndALoneCrStaysInTheLine) {
    InBothEncodings(L"[s]\r\na=1\r\nb=x\ry\nc=3\r", [](const CIniFile& ini) {
        EXPECT_EQ(ini.GetValue(L"s", L"a"), L"1");
        EXPECT_EQ(ini.GetValue(L"s", L"b"), L"x\ry");
        EXPECT_EQ(ini.GetValue(L"s", L"c"), L"3");  // the last line needs no LF
    });
}

TEST_F(IniFileTest, KeysComeInOrdinalOrderOfTheLowerCasedText) {
    InBothEncodings(L"[s]\nb=2\nC=3\na=1\n_=4\nB=5\n", [](const CIniFile& ini) {
        EXPECT_EQ(Items(ini, L"s"),
                  (std::vector<Item>{{L"_", L"4"}, {L"a", L"1"}, {L"b", L"5"}, {L"c", L"3"}}));
        Item untouched{L"k", L"v"};
        EXPECT_FALSE(ini.GetItem(L"s", 4, untouched));
        EXPECT_FALSE(ini.GetItem(L"s", -1, untouched));
        EXPECT_FALSE(ini.GetItem(L"none", 0, untouched));
        EXPECT_EQ(untouched, (Item{L"k", L"v"}));
    });
}

TEST_F(IniFileTest, TakeSectionHandsOverEveryPairInFileOrderAndLeavesTheSectionEmpty) {
    CIniFile ini(Write(Utf16File(L"[s]\nb=2\na=1\nB=3\n[t]\nx=1\n")));
    EXPECT_EQ(ini.TakeSection(L"S"), (std::vector<Item>{{L"b", L"2"}, {L"a", L"1"}, {L"b", L"3"}}));
    EXPECT_EQ(ini.GetKeyCount(L"s"), 0);
    EXPECT_EQ(ini.GetValue(L"s", L"a"), L"");
    EXPECT_TRUE(ini.TakeSection(L"s").empty());
    EXPECT_TRUE(ini.TakeSection(L"none").empty());
    EXPECT_EQ(ini.GetSectionNames(), (std::vector<std::wstring>{L"s", L"t"}));
    EXPECT_EQ(ini.GetValue(L"t", L"x"), L"1");
}

TEST_F(IniFileTest, LowerCasesLettersBeyondAsciiInTheCurrentLocale) {
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    CIniFile ini(Write(Utf16File(L"[ÄBC]\nÖl=Ü\n")));
    EXPECT_EQ(ini.GetSectionNames(), std::vector<std::wstring>{L"äbc"});
    EXPECT_EQ(ini.GetValue(L"äbc", L"öL"), L"Ü");
}

// ---- Encodings ----

TEST_F(IniFileTest, ReadsGbkBytesThroughCodePage936) {
    // [文本] 提示=注意 in GBK.
    std::string gbk = "[\xCE\xC4\xB1\xBE]\r\n\xCC\xE1\xCA\xBE=\xD7\xA2\xD2\xE2\r\n";
    CIniFile ini(Write(gbk));
    EXPECT_EQ(ini.GetValue(L"文本", L"提示"), L"注意");
}

TEST_F(WesternTextFileTest, ReadsAnsiFilesThroughTheMachinesSingleByteCodePage) {
    CIniFile ini(Write("[s]\ncaf\xE9=na\xEFve\n"));
    EXPECT_EQ(ini.GetValue(L"s", L"café"), L"naïve");
}

TEST_F(IniFileTest, Utf16FileKeepsCharactersOutsideTheBasicPlane) {
    CIniFile ini(Write(Utf16File(L"[s]\nsmile=a\U0001F600b\n\U0001F600=x\n\uE000=y\n")));
    EXPECT_EQ(ini.GetValue(L"s", L"smile"), L"a\U0001F600b");
    // In UTF-16 order a character above U+FFFF (a surrogate pair) sorts before U+E000.
    EXPECT_EQ(
        Items(ini, L"s"),
        (std::vector<Item>{{L"smile", L"a\U0001F600b"}, {L"\U0001F600", L"x"}, {L"\uE000", L"y"}}));
}

TEST_F(IniFileTest, OnlyFfFeCountsAsByteOrderMark) {
    std::string bigEndian = "\xFE\xFF";
    for (char c : std::string("[s]\na=1\n")) {
        bigEndian.push_back(0);
        bigEndian.push_back(c);
    }
    CIniFile be(Write(bigEndian, L"be.ini"));
    EXPECT_TRUE(be.GetSectionNames().empty());
    // UTF-16 without the mark is read as ANSI: each zero byte ends its line's text.
    CIniFile noMark(Write(Utf16File(L"[s]\na=1\n", false), L"nomark.ini"));
    EXPECT_TRUE(noMark.GetSectionNames().empty());
}

TEST_F(IniFileTest, OddTrailingByteOfAUtf16FileIsDropped) {
    CIniFile ini(Write(Utf16File(L"[s]\na=1") + "\x32"));
    EXPECT_EQ(ini.GetValue(L"s", L"a"), L"1");
}

TEST_F(IniFileTest, LongLinesAreReadWhole) {
    std::wstring value(5000, L'v');
    value[4999] = L'z';
    InBothEncodings(L"[s]\nk=" + value + L"\n",
                    [&](const CIniFile& ini) { EXPECT_EQ(ini.GetValue(L"s", L"k"), value); });
}

// ---- Opening ----

TEST_F(IniFileTest, MissingTinyOrUnreadableFilesGiveAnEmptyObject) {
    CIniFile missing(L"C:\\data\\missing.ini");
    EXPECT_TRUE(missing.GetSectionNames().empty());
    CIniFile tiny(Write("[", L"tiny.ini"));
    EXPECT_TRUE(tiny.GetSectionNames().empty());
    CIniFile onlyMark(Write("\xFF\xFE", L"mark.ini"));
    EXPECT_TRUE(onlyMark.GetSectionNames().empty());
    std::wstring path = Write("[s]\na=1\n", L"locked.ini");
    M().faults().Inject(sim::FileOp::Open, ERROR_ACCESS_DENIED, 1, path);
    CIniFile locked(path);
    EXPECT_EQ(locked.GetValue(L"s", L"a"), L"");
}

TEST_F(IniFileTest, ReadsAFileThatAnotherOpenerHoldsForWriting) {
    std::wstring path = Write("[s]\na=1\n");
    HANDLE writer =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    CIniFile ini(path);
    EXPECT_EQ(ini.GetValue(L"s", L"a"), L"1");
    CloseHandle(writer);
}

// ---- Escaping and paths ----

TEST(SpaceEscaping, EscapesOnlySpacesAndUnescapesEveryTriple) {
    EXPECT_EQ(EscapeSpaces(L"a b "), L"a% ^b% ^");
    EXPECT_EQ(EscapeSpaces(L"a\tb"), L"a\tb");
    EXPECT_EQ(UnescapeSpaces(L"a% ^b"), L"a b");
    EXPECT_EQ(UnescapeSpaces(L"50%x^"), L"50x");
    EXPECT_EQ(UnescapeSpaces(L"%^"), L"%^");
    EXPECT_EQ(UnescapeSpaces(L"100% ^"), L"100 ");
    std::wstring password = L" pass word  ";
    EXPECT_EQ(UnescapeSpaces(EscapeSpaces(password)), password);
}

TEST(PathHelpers, FolderOfPathEndsAtTheLastInnerBackslash) {
    EXPECT_EQ(GetFolderOfPath(L"C:\\dir\\file"), L"C:\\dir\\");
    EXPECT_EQ(GetFolderOfPath(L"C:\\a\\"), L"C:\\");
    EXPECT_EQ(GetFolderOfPath(L"file.txt"), L"file.txt");
    EXPECT_EQ(GetFolderOfPath(L"\\x"), L"\\x");  // the first character never counts
    EXPECT_EQ(GetFolderOfPath(L"a\\"), L"a\\");
    EXPECT_EQ(GetFolderOfPath(L""), L"");
}

TEST(PathHelpers, NormalizeParentPathDropsEachParentStepWithItsComponent) {
    EXPECT_EQ(NormalizeParentPath(L"C:\\A\\B\\..\\C"), L"C:\\A\\C");
    EXPECT_EQ(NormalizeParentPath(L"C:\\prog\\..\\Localize\\"), L"C:\\Localize\\");
    EXPECT_EQ(NormalizeParentPath(L"C:\\a\\b\\..\\..\\c"), L"C:\\c");
    EXPECT_EQ(NormalizeParentPath(L"C:\\a\\b\\...x"), L"C:\\a.x");  // textual match
    EXPECT_EQ(NormalizeParentPath(L"C:\\a"), L"C:\\a");
}

TEST(PathHelpers, NormalizeParentPathWithoutAnEarlierBackslashDropsOnlyTheParentStep) {
    EXPECT_EQ(NormalizeParentPath(L"\\..\\x"), L"\\x");
    EXPECT_EQ(NormalizeParentPath(L"a\\..\\..\\b"), L"a\\b");
    EXPECT_EQ(NormalizeParentPath(L"\\..\\..\\.."), L"");
}

}  // namespace
