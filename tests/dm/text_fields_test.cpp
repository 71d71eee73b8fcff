// Text fields: length bytes, cuts to the field, codings, and reading back.
#include <stdexcept>
#include <string>

#include "dm/text_fields.h"
#include "textfiles/encoding.h"
#include "tests/dm/dm_test.h"

namespace {

using dmtest::Bytes;

const std::string kZhong = "\xD6\xD0";  // 中 in code page 936: U+4E2D
const std::string kWen = "\xCE\xC4";    // 文: U+6587

class TextFieldTest : public SimTest {};

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

// n UCS-2 units of the character, big-endian.
Bytes Units(std::uint8_t high, std::uint8_t low, std::size_t n) {
    Bytes out(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        out[2 * i] = high;
        out[2 * i + 1] = low;
    }
    return out;
}

TEST_F(TextFieldTest, WritesTheLengthByteAndExactlyTheWidth) {
    struct Case {
        const char* name;
        std::string text;
        std::uint32_t width;
        TextCoding coding;
        Bytes coded;  // the bytes before the zero padding
    };
    const Bytes forty(40, 'x');
    const Case cases[] = {
        {"empty", "", 32, TextCoding::Auto, {}},
        {"number cut to the width", std::string(40, 'x'), 32, TextCoding::Auto, Bytes(32, 'x')},
        {"double-byte text as UCS-2",
         kZhong + "a" + kWen,
         32,
         TextCoding::Auto,
         {0x4E, 0x2D, 0x00, 0x61, 0x65, 0x87}},
        {"forced UCS-2 of 300 characters", std::string(300, 'a'), 160, TextCoding::Ucs2,
         Units(0x00, 0x61, 80)},
        {"300 double-byte characters", Repeat(kZhong, 300), 160, TextCoding::Auto,
         Units(0x4E, 0x2D, 80)},
        {"UCS-2 in an odd width", Repeat(kZhong, 10), 7, TextCoding::Auto, Units(0x4E, 0x2D, 3)},
        {"forced bytes cut before a character", "a" + kZhong, 2, TextCoding::Bytes, {'a'}},
        {"a lone lead byte at the end", "ab\xD6", 8, TextCoding::Auto, {'a', 'b', 0xD6}},
        {"wider than a length byte counts", std::string(300, 'y'), 300, TextCoding::Auto,
         Bytes(255, 'y')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DMPacket p(true);
        WriteTextField(p, c.text, c.width, c.coding);
        Bytes expected = c.coded;
        expected.insert(expected.begin(), static_cast<std::uint8_t>(c.coded.size()));
        expected.resize(c.width + 1, 0);
        EXPECT_EQ(dmtest::Contents(p), expected);

        DMPacket bare(false);
        WriteTextBytes(bare, c.text, c.width, c.coding);
        EXPECT_EQ(bare.Size(), c.width);
    }
}

TEST_F(TextFieldTest, TextBytesFillTheWholeWidthWithoutALengthByte) {
    DMPacket p(false);
    WriteTextBytes(p, std::string(300, 'z'), 300);
    EXPECT_EQ(dmtest::Contents(p), Bytes(300, 'z'));
    DMPacket pin(false);
    WriteTextBytes(pin, "1234", 8);
    EXPECT_EQ(dmtest::Contents(pin), (Bytes{'1', '2', '3', '4', 0, 0, 0, 0}));
}

TEST_F(TextFieldTest, AFieldWiderThanTheBufferIsRefusedAndWritesNothing) {
    DMPacket p(false);
    p.WriteU8(1);
    EXPECT_THROW(WriteTextField(p, "x", kMaxTextFieldWidth + 1), std::invalid_argument);
    EXPECT_THROW(WriteTextBytes(p, "x", kMaxTextFieldWidth + 1), std::invalid_argument);
    EXPECT_EQ(p.Size(), 1u);
}

TEST_F(TextFieldTest, CutsNarrowTextAtCharacterBoundaries) {
    const std::string mixed = "a" + kZhong + "b" + kWen;  // a, 中, b, 文: 6 bytes
    const std::pair<std::size_t, std::size_t> table[] = {{0, 0}, {1, 1}, {2, 1}, {3, 3},
                                                         {4, 4}, {5, 4}, {6, 6}, {99, 6}};
    for (const auto& [limit, length] : table)
        EXPECT_EQ(AnsiPrefixLength(mixed, limit), length) << limit;
    // A lead byte before the end, and one before an embedded zero, stand alone.
    EXPECT_EQ(AnsiPrefixLength("ab\xD6", 3), 3u);
    EXPECT_EQ(AnsiPrefixLength(std::string("\xD6\0"
                                           "c",
                                           3),
                               2),
              2u);
    EXPECT_EQ(AnsiPrefixLength(std::string("x\0", 2) + kZhong, 3), 2u);
}

TEST_F(TextFieldTest, ReadsTheLengthCountedBytesOfTheField) {
    struct Case {
        const char* name;
        Bytes field;
        std::uint32_t width;
        bool ucs2;
        std::string text;
    };
    Bytes longField{200};
    for (int i = 0; i < 32; ++i) longField.push_back(static_cast<std::uint8_t>('0' + i % 10));
    Bytes ucs2Field{4, 0x4E, 0x2D, 0x65, 0x87, 0, 0};
    const Case cases[] = {
        {"length beyond the width", longField, 32, false, "01234567890123456789012345678901"},
        {"UCS-2", ucs2Field, 6, true, kZhong + kWen},
        {"odd UCS-2 length", Bytes{3, 0x4E, 0x2D, 0x65, 0, 0, 0}, 6, true, kZhong},
        {"empty", Bytes{0, 'a', 'b'}, 2, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes wire = c.field;
        wire.push_back(0x77);
        DMPacket p(true, wire.data(), wire.size());
        EXPECT_EQ(ReadTextField(p, c.width, c.ucs2), c.text);
        EXPECT_EQ(p.Position(), c.width + 1);
        EXPECT_EQ(dmtest::Contents(p), wire);  // the packet's bytes stay as they were
    }
}

TEST_F(TextFieldTest, AShortFieldRaisesWithThePositionUnmoved) {
    const Bytes wire{9, 3, 'a', 'b', 'c'};
    DMPacket p(false, wire.data(), wire.size());
    p.SetPosition(1);
    EXPECT_THROW(ReadTextField(p, 4, false), CDMPacketException);
    EXPECT_EQ(p.Position(), 1u);
    EXPECT_EQ(ReadTextField(p, 3, false), "abc");
}

TEST_F(TextFieldTest, WrittenFieldsReadBack) {
    const std::string texts[] = {"13800138000", kZhong + kWen + "ok", ""};
    for (const std::string& text : texts) {
        DMPacket p(false);
        WriteTextField(p, text, 32);
        const bool ucs2 = ClassifyAnsiText(text) == kAnsiDoubleByte;
        EXPECT_EQ(ReadTextField(p, 32, ucs2), text);
    }
}

}  // namespace
