#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "docking/color.h"

using System::Docking::ColorValue;
using System::Docking::NamedColorTable;
using System::Docking::ParseColor;

namespace {

struct ColorCase {
    std::wstring text;
    ColorValue expected;
};

void PrintTo(const ColorCase& c, std::ostream* os) {
    *os << "\"" << std::string(c.text.begin(), c.text.end()) << "\"";
}

class ColorText : public ::testing::TestWithParam<ColorCase> {};

TEST_P(ColorText, ReadsAsItsValue) {
    EXPECT_EQ(ParseColor(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    HexTexts, ColorText,
    ::testing::Values(ColorCase{L"#FF000080", 0x80FF0000}, ColorCase{L"#ff0000", 0xFFFF0000},
                      ColorCase{L"#12aB3c", 0xFF12AB3C}, ColorCase{L"#GG0000", 0xFF000000},
                      ColorCase{L"#0G1x2Z", 0xFF001020},
                      // Seven digits: the end counts as the eighth digit's 0.
                      ColorCase{L"#FF00000", 0x00FF0000}, ColorCase{L"#FF0000F", 0xF0FF0000},
                      // Beyond eight digits nothing more is read.
                      ColorCase{L"#FF0000FFxyz", 0xFFFF0000},
                      // Short texts: the missing digits count as 0, alpha stays opaque.
                      ColorCase{L"#", 0xFF000000}, ColorCase{L"#F", 0xFFF00000},
                      ColorCase{L"#FFF", 0xFFFFF000}, ColorCase{L"#12345", 0xFF123450},
                      // The text ends at its first NUL.
                      ColorCase{std::wstring(L"#FF\0FFFF", 8), 0xFFFF0000}));

INSTANTIATE_TEST_SUITE_P(
    Names, ColorText,
    ::testing::Values(ColorCase{L"red", 0xFFFF0000}, ColorCase{L"Red", 0}, ColorCase{L"grey", 0},
                      ColorCase{L"", 0}, ColorCase{L" red", 0}, ColorCase{L"red ", 0},
                      ColorCase{L"transparent", 0x00FFFFFF}, ColorCase{L"aqua", 0xFF00FFFF},
                      ColorCase{L"cyan", 0xFF00FFFF}, ColorCase{L"fuchsia", 0xFFFF00FF},
                      ColorCase{L"magenta", 0xFFFF00FF}, ColorCase{L"gray", 0xFF808080},
                      ColorCase{L"darkgray", 0xFFA9A9A9}, ColorCase{L"green", 0xFF008000},
                      ColorCase{L"lime", 0xFF00FF00}, ColorCase{L"yellowgreen", 0xFF9ACD32},
                      ColorCase{L"aliceblue", 0xFFF0F8FF}, ColorCase{L"navy", 0xFF000080},
                      ColorCase{L"rebeccapurple", 0}));

TEST(NamedColors, HoldExactlyTheWebNamesOpaqueExceptTransparent) {
    const std::wstring names =
        L"aliceblue antiquewhite aqua aquamarine azure beige bisque black blanchedalmond blue "
        L"blueviolet brown burlywood cadetblue chartreuse chocolate coral cornflowerblue cornsilk "
        L"crimson cyan darkblue darkcyan darkgoldenrod darkgray darkgreen darkkhaki darkmagenta "
        L"darkolivegreen darkorange darkorchid darkred darksalmon darkseagreen darkslateblue "
        L"darkslategray darkturquoise darkviolet deeppink deepskyblue dimgray dodgerblue firebrick "
        L"floralwhite forestgreen fuchsia gainsboro ghostwhite gold goldenrod gray green "
        L"greenyellow honeydew hotpink indianred indigo ivory khaki lavender lavenderblush "
        L"lawngreen lemonchiffon lightblue lightcoral lightcyan lightgoldenrodyellow lightgray "
        L"lightgreen lightpink lightsalmon lightseagreen lightskyblue lightslategray "
        L"lightsteelblue "
        L"lightyellow lime limegreen linen magenta maroon mediumaquamarine mediumblue mediumorchid "
        L"mediumpurple mediumseagreen mediumslateblue mediumspringgreen mediumturquoise "
        L"mediumvioletred midnightblue mintcream mistyrose moccasin navajowhite navy oldlace olive "
        L"olivedrab orange orangered orchid palegoldenrod palegreen paleturquoise palevioletred "
        L"papayawhip peachpuff peru pink plum powderblue purple red rosybrown royalblue "
        L"saddlebrown "
        L"salmon sandybrown seagreen seashell sienna silver skyblue slateblue slategray snow "
        L"springgreen steelblue tan teal thistle tomato transparent turquoise violet wheat white "
        L"whitesmoke yellow yellowgreen";
    std::wistringstream in(names);
    std::set<std::wstring> expected;
    for (std::wstring n; in >> n;) expected.insert(n);
    ASSERT_EQ(expected.size(), 141u);

    std::set<std::wstring> actual;
    for (const auto& [name, value] : NamedColorTable()) {
        actual.insert(name);
        EXPECT_EQ(ParseColor(name), value) << std::string(name.begin(), name.end());
        if (name != L"transparent") {
            EXPECT_EQ(value >> 24, 0xFFu) << std::string(name.begin(), name.end());
        }
    }
    EXPECT_EQ(actual, expected);
}

TEST(NamedColors, UnknownNamesDoNotGrowTheTable) {
    for (const wchar_t* text : {L"Red", L"grey", L"", L" red", L"nocolour"})
        EXPECT_EQ(ParseColor(text), 0u);
    EXPECT_EQ(NamedColorTable().size(), 141u);
}

}  // namespace
