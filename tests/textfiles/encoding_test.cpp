// The text encoding functions: classes of text, device byte forms and their fit checks.
#include <cstdint>
#include <vector>

#include "tests/textfiles/text_files.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kZhongWen = "\xD6\xD0\xCE\xC4";  // 中文 in GBK

class EncodingTest : public TextFileTest {};
class WesternEncodingTest : public WesternTextFileTest {};

TEST_F(EncodingTest, ClassifiesDoubleBytePlainAndHighByteTexts) {
    EXPECT_EQ(ClassifyAnsiText(""), kAnsiPlain);
    EXPECT_EQ(ClassifyAnsiText("AT+CMGS 0123"), kAnsiPlain);
    EXPECT_EQ(ClassifyAnsiText("ab" + kZhongWen), kAnsiDoubleByte);
    // A lead byte just before the end stands alone: one byte, above 128.
    EXPECT_EQ(ClassifyAnsiText("ab\xD6"), kAnsiHighByte);
    // Only what comes before a zero byte counts.
    EXPECT_EQ(ClassifyAnsiText(std::string("ab\0", 3) + kZhongWen), kAnsiPlain);
}

TEST_F(WesternEncodingTest, ClassifiesSingleByteTextsByTheirHighBytes) {
    EXPECT_EQ(ClassifyAnsiText("caf\xE9"), kAnsiHighByte);
    EXPECT_EQ(ClassifyAnsiText("\x80"), kAnsiPlain);        // 0x80 itself does not count
    EXPECT_EQ(ClassifyAnsiText(kZhongWen), kAnsiHighByte);  // no lead bytes in this page
}

TEST_F(EncodingTest, ConvertsBetweenAnsiAndWideUpToTheFirstZero) {
    EXPECT_EQ(AnsiToWide(kZhongWen), L"中文");
    EXPECT_EQ(AnsiToWide(std::string("ab\0cd", 5)), L"ab");
    EXPECT_EQ(WideToAnsi(L"中文"), kZhongWen);
    std::wstring withZero(L"ab\0cd", 5);
    EXPECT_EQ(WideToAnsi(withZero.data(), withZero.size()), "ab");
    EXPECT_EQ(WideToAnsi(L"a\u0E01\U0001F600"), "a??");  // characters code page 936 lacks
}

TEST_F(EncodingTest, SwapBytePairsLeavesAnOddLastByte) {
    Bytes b{1, 2, 3, 4, 5};
    SwapBytePairs(b.data(), b.size());
    EXPECT_EQ(b, (Bytes{2, 1, 4, 3, 5}));
}

TEST_F(EncodingTest, AnsiToUcs2BigEndianWritesHighByteFirstAndChecksTheFit) {
    Bytes out(8, 0xAA);
    EXPECT_EQ(AnsiToUcs2BigEndian("ab", out.data(), out.size()), 4u);
    EXPECT_EQ(out, (Bytes{0x00, 0x61, 0x00, 0x62, 0xAA, 0xAA, 0xAA, 0xAA}));
    EXPECT_EQ(AnsiToUcs2BigEndian(kZhongWen, out.data(), 4), 4u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{0x4E, 0x2D, 0x65, 0x87}));
    Bytes small(3, 0xAA);
    EXPECT_EQ(AnsiToUcs2BigEndian(kZhongWen, small.data(), small.size()), 0u);
    EXPECT_EQ(small, Bytes(3, 0xAA));
    EXPECT_EQ(AnsiToUcs2BigEndian("", out.data(), out.size()), 0u);
}

TEST_F(EncodingTest, BytesToAnsiLeavesTheCallersBufferAsItWas) {
    const Bytes ucs2{0x4E, 0x2D, 0x65, 0x87, 0x00};  // 中文 and an odd byte
    Bytes buffer = ucs2;
    std::string text;
    BytesToAnsi(buffer.size(), text, buffer.data(), true);
    EXPECT_EQ(text, kZhongWen);
    EXPECT_EQ(buffer, ucs2);
    const Bytes raw{'a', 0, 'b'};
    BytesToAnsi(raw.size(), text, raw.data(), false);
    EXPECT_EQ(text, std::string("a\0b", 3));
}

TEST_F(EncodingTest, EncodeTextBytesSendsUcs2OnlyForDoubleByteTexts) {
    Bytes out(6, 0);
    EXPECT_EQ(EncodeTextBytes("0123456789", out.data(), out.size()), 6u);
    EXPECT_EQ(out, (Bytes{'0', '1', '2', '3', '4', '5'}));
    EXPECT_EQ(EncodeTextBytes(kZhongWen + "a", out.data(), out.size()), 6u);
    EXPECT_EQ(out, (Bytes{0x4E, 0x2D, 0x65, 0x87, 0x00, 0x61}));
    EXPECT_EQ(EncodeTextBytes(kZhongWen + "ab", out.data(), out.size()), 0u);
    EXPECT_EQ(EncodeTextBytesAs("ab", out.data(), out.size(), true), 4u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{0x00, 0x61, 0x00, 0x62}));
    EXPECT_EQ(EncodeTextBytesAs(kZhongWen, out.data(), 3, false), 3u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 3), (Bytes{0xD6, 0xD0, 0xCE}));
}

TEST_F(WesternEncodingTest, EncodeTextBytesSendsAccentedSingleByteTextsAsBytes) {
    Bytes out(8, 0);
    EXPECT_EQ(EncodeTextBytes("caf\xE9", out.data(), out.size()), 4u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{'c', 'a', 'f', 0xE9}));
}

using Utf8EncodingTest = WithCodePage<TextFileTest, 65001>;

TEST_F(Utf8EncodingTest, CharactersAboveTheBasicPlaneTravelAsSurrogatePairs) {
    std::string smile = "\xF0\x9F\x98\x80";  // U+1F600
    Bytes out(4, 0);
    EXPECT_EQ(AnsiToUcs2BigEndian(smile, out.data(), out.size()), 4u);
    EXPECT_EQ(out, (Bytes{0xD8, 0x3D, 0xDE, 0x00}));
    std::string back;
    BytesToAnsi(out.size(), back, out.data(), true);
    EXPECT_EQ(back, smile);
}

TEST_F(EncodingTest, CompareAnsiOrdersTexts) {
    EXPECT_EQ(CompareAnsi("abc", "abc"), 0);
    EXPECT_EQ(CompareAnsi(kZhongWen, kZhongWen), 0);
    EXPECT_EQ(CompareAnsi("abc", "abd"), -1);
    EXPECT_EQ(CompareAnsi("abd", "abc"), 1);
    EXPECT_EQ(CompareAnsi("ab", "abc"), -1);
    EXPECT_EQ(CompareAnsi("a", "B"), -1);  // letters first without regard to case
    EXPECT_EQ(CompareAnsi("a", "A"), -1);  // then lower case first
}

TEST(Utf16, JoinsAndSplitsSurrogatePairs) {
    std::u16string units{u'a', 0xD83D, 0xDE00, 0xDC00, u'b', 0xD800};
    std::wstring wide = Utf16ToWide(units);
    EXPECT_EQ(wide, (std::wstring{L'a', L'\U0001F600', static_cast<wchar_t>(0xDC00), L'b',
                                  static_cast<wchar_t>(0xD800)}));
    EXPECT_EQ(WideToUtf16(wide), units);
}

}  // namespace
