#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <memory>
#include <string>
#include <type_traits>

#include "common/sim_fixture.h"
#include "null_renderable.h"
#include "docking/property.h"

using namespace System::Docking;

namespace {

std::string Narrow(const std::wstring& w) {
    return std::string(w.begin(), w.end());
}

// An owner with the cell's kinds of properties.
class TestCell : public NullRenderable {
public:
    TextProperty<TestCell> text{this};
    IdProperty<TestCell> id{this};
    IntProperty<TestCell> width{this};
    IntProperty<TestCell> height{this};
    FontProperty<TestCell> font{this};
    BackgroundProperty<TestCell> background{this};
    PaddingProperty<TestCell> padding{this};
    MarginProperty<TestCell> margin{this};
    BorderProperty<TestCell> border{this};
    RadiusProperty<TestCell> radius{this};
    ReadOnlyProperty<TestCell, IRenderable*> parent{this};
    TextProperty<TestCell> cursor{this, true};
    IntProperty<TestCell> zindex{this};
};

static_assert(!std::is_copy_constructible_v<TestCell>);
static_assert(!std::is_move_constructible_v<TestCell>);
static_assert(!std::is_copy_assignable_v<TestCell>);
static_assert(!std::is_move_assignable_v<TestCell>);

using Pairs = std::map<std::wstring, std::wstring>;

struct StyleCase {
    std::wstring text;
    Pairs expected;
};
void PrintTo(const StyleCase& c, std::ostream* os) {
    *os << "'" << Narrow(c.text) << "'";
}

class StyleText : public ::testing::TestWithParam<StyleCase> {};

TEST_P(StyleText, SplitsIntoNamedValues) {
    EXPECT_EQ(ParseStyleText(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StyleText,
    ::testing::Values(
        StyleCase{L"color:#FF0000;style:(a;b)", {{L"color", L"#FF0000"}, {L"style", L"a;b"}}},
        StyleCase{L"style:(a;b", {{L"style", L"a;b"}}},
        // The character after ')' is skipped; here it is 'y', so ';' starts the next name.
        StyleCase{L"a:(x)y;b:1", {{L"a", L"x"}, {L";b", L"1"}}},
        StyleCase{L"a:(x);b:1", {{L"a", L"x"}, {L"b", L"1"}}}, StyleCase{L"a:(x)", {{L"a", L"x"}}},
        StyleCase{L"a:(x)y", {{L"a", L"x"}}}, StyleCase{L"a:(", {{L"a", L""}}},
        StyleCase{L"a:", {{L"a", L""}}}, StyleCase{L"a:b", {{L"a", L"b"}}},
        StyleCase{L"a:b;c", {{L"a", L"b"}}}, StyleCase{L"abc", {}}, StyleCase{L"", {}},
        StyleCase{L":x", {{L"", L"x"}}},
        StyleCase{L"color:red;color:blue", {{L"color", L"redblue"}}},
        StyleCase{L" color:red", {{L" color", L"red"}}}, StyleCase{L"a:1:2", {{L"a", L"1:2"}}},
        StyleCase{std::wstring(L"a:1\0;b:2", 8), {{L"a", L"1"}}}));

struct NumberCase {
    std::wstring text;
    int expected;
};
void PrintTo(const NumberCase& c, std::ostream* os) {
    *os << "'" << Narrow(c.text) << "'";
}

class StyleNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(StyleNumber, ReadsLeadingDecimalDigits) {
    EXPECT_EQ(ReadStyleNumber(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, StyleNumber,
                         ::testing::Values(NumberCase{L" 12px", 12}, NumberCase{L"0x10", 0},
                                           NumberCase{L"-7", -7}, NumberCase{L"+5", 5},
                                           NumberCase{L"\t 3", 3}, NumberCase{L"", 0},
                                           NumberCase{L"px", 0}, NumberCase{L"- 4", 0},
                                           NumberCase{L"99999999999", INT_MAX},
                                           NumberCase{L"-99999999999", INT_MIN}));

class Properties : public SimTest {};

struct BoxCase {
    std::wstring text;
    int left, right, top, bottom;
};
void PrintTo(const BoxCase& c, std::ostream* os) {
    *os << "'" << Narrow(c.text) << "'";
}

class Padding : public ::testing::TestWithParam<BoxCase> {};

// Every case starts from sides 1, 2, 3, 4.
TEST_P(Padding, SetsTheSidesItNames) {
    TestCell cell;
    cell.padding.Assign(L"left:1;right:2;top:3;bottom:4");
    cell.padding.Set(GetParam().text);
    EXPECT_EQ(cell.padding.left, GetParam().left);
    EXPECT_EQ(cell.padding.right, GetParam().right);
    EXPECT_EQ(cell.padding.top, GetParam().top);
    EXPECT_EQ(cell.padding.bottom, GetParam().bottom);
}

INSTANTIATE_TEST_SUITE_P(Texts, Padding,
                         ::testing::Values(BoxCase{L"5", 5, 5, 5, 5}, BoxCase{L"-3", 0, 0, 0, 0},
                                           BoxCase{L"left:-2;top:4", 0, 2, 4, 4},
                                           BoxCase{L"bottom:9px", 1, 2, 3, 9},
                                           BoxCase{L"", 1, 2, 3, 4}, BoxCase{L"size:7", 1, 2, 3, 4},
                                           BoxCase{L"wide", 0, 0, 0, 0}));

TEST(Background, SetsOnlyTheFieldsItsTextNames) {
    TestCell cell;
    EXPECT_FALSE(cell.background.IsPainted());
    cell.background.Set(L"bg.png");
    EXPECT_EQ(cell.background.image, L"bg.png");
    EXPECT_EQ(cell.background.color, kNoColor);
    EXPECT_TRUE(cell.background.IsPainted());

    cell.background.Set(L"image:a.png;x:-4;style:(tile;center)");
    EXPECT_EQ(cell.background.image, L"a.png");
    EXPECT_EQ(cell.background.x, -4);
    EXPECT_EQ(cell.background.y, 0);
    EXPECT_EQ(cell.background.style, L"tile;center");

    cell.background.Set(L"color:#10203040;y:7");
    EXPECT_EQ(cell.background.color, 0x40102030u);
    EXPECT_EQ(cell.background.y, 7);
    EXPECT_EQ(cell.background.image, L"a.png");
    EXPECT_EQ(cell.background.x, -4);
    EXPECT_EQ(cell.background.Value(), L"");  // the text is not kept
}

struct FontCase {
    std::wstring text;
    int FontFields::*field;
    int expected;
};
void PrintTo(const FontCase& c, std::ostream* os) {
    *os << "'" << Narrow(c.text) << "'";
}

class FontNumbers : public ::testing::TestWithParam<FontCase> {};

TEST_P(FontNumbers, ReadKeywordsAndNumbers) {
    TestCell cell;
    cell.font.Set(GetParam().text);
    EXPECT_EQ(cell.font.*GetParam().field, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, FontNumbers,
                         ::testing::Values(FontCase{L"weight:bolditalic", &FontFields::weight, 3},
                                           FontCase{L"weight:strikeout", &FontFields::weight, 8},
                                           FontCase{L"weight:7", &FontFields::weight, 7},
                                           FontCase{L"weight:Bold", &FontFields::weight, 0},
                                           FontCase{L"align:top", &FontFields::align, 1},
                                           FontCase{L"align:bottom", &FontFields::align, 2},
                                           FontCase{L"align:right", &FontFields::align, 2},
                                           FontCase{L"align:2", &FontFields::align, 0},
                                           FontCase{L"valign:middle", &FontFields::valign, 0},
                                           FontCase{L"valign:bottom", &FontFields::valign, 2},
                                           FontCase{L"valign:center", &FontFields::valign, 1},
                                           FontCase{L"size:12pt", &FontFields::size, 12},
                                           FontCase{L"bold", &FontFields::size, 8}));

TEST(Font, StartsWithItsDefaultsAndSetsTexts) {
    TestCell cell;
    EXPECT_EQ(cell.font.size, 8);
    EXPECT_EQ(cell.font.color, 0xFF000000u);
    EXPECT_EQ(cell.font.family, L"Microsoft Sans Serif");
    cell.font.Set(L"family:(Arial;Bold);color:red;style:s;flag:f");
    EXPECT_EQ(cell.font.family, L"Arial;Bold");
    EXPECT_EQ(cell.font.color, 0xFFFF0000u);
    EXPECT_EQ(cell.font.style, L"s");
    EXPECT_EQ(cell.font.flag, L"f");
    cell.font.Set(L" color:blue");  // a name no parser knows
    EXPECT_EQ(cell.font.color, 0xFFFF0000u);
    cell.font.Set(L"color:red;color:blue");  // 'redblue' is no colour name
    EXPECT_EQ(cell.font.color, 0u);
}

TEST(Border, KeepsItsLastText) {
    TestCell cell;
    cell.border.Set(L"width:2;color:#00FF00;style:dash");
    EXPECT_EQ(cell.border.width, 2);
    EXPECT_EQ(cell.border.color, 0xFF00FF00u);
    EXPECT_EQ(cell.border.style, L"dash");
    EXPECT_EQ(cell.border.Value(), L"width:2;color:#00FF00;style:dash");
    cell.border.Set(L"width:-1");
    EXPECT_EQ(cell.border.width, -1);
    EXPECT_EQ(cell.border.style, L"dash");
    EXPECT_EQ(cell.border.Value(), L"width:-1");
    cell.border.Restore();
    EXPECT_EQ(cell.border.width, 0);
    EXPECT_EQ(cell.border.Value(), L"");
}

TEST(Window, ReadsLayoutMaskAndSizes) {
    struct Dialog : NullRenderable {
        WindowProperty<Dialog> window{this};
    } dialog;
    dialog.window.Set(L"main.xml");
    EXPECT_EQ(dialog.window.layout, L"main.xml");
    EXPECT_EQ(dialog.window.mask, kNoColor);
    dialog.window.Set(L"mask:#FF00FF;minwidth:200;minheight:-3;defaultwidth:400;defaultheight:x");
    EXPECT_EQ(dialog.window.layout, L"main.xml");
    EXPECT_EQ(dialog.window.mask, 0xFFFF00FFu);
    EXPECT_EQ(dialog.window.minwidth, 200);
    EXPECT_EQ(dialog.window.minheight, -3);
    EXPECT_EQ(dialog.window.defaultwidth, 400);
    EXPECT_EQ(dialog.window.defaultheight, 0);
}

TEST(Radius, ClampsToZeroToNinety) {
    TestCell cell;
    for (auto [set, stored] : {std::pair{120, 90},
                               {-5, 0},
                               {45, 45},
                               {90, 90},
                               {0, 0},
                               {ReadStyleNumber(L"99999999999"), 90}}) {
        cell.radius.Set(set);
        EXPECT_EQ(cell.radius.Get(), stored) << set;
    }
}

TEST(TextKinds, StopAtNulOnlyWhereAsked) {
    TestCell cell;
    std::wstring withNul(L"ab\0cd", 5);
    cell.text.Set(withNul);
    cell.cursor.Set(withNul);
    EXPECT_EQ(cell.text.Get(), withNul);
    EXPECT_EQ(cell.cursor.Get(), L"ab");
}

TEST(GenericAccess, IsRefusedByKindAndType) {
    TestCell cell;
    EXPECT_THROW(cell.background.Get(), PropertyAccessError);
    EXPECT_THROW(cell.font.Get(), PropertyAccessError);
    EXPECT_THROW(cell.parent.Set(&cell), PropertyAccessError);
    EXPECT_EQ(cell.parent.Get(), nullptr);  // the refused set changed nothing

    // A property that reports another type than its interface's is refused both ways.
    struct Odd : Property<TestCell, int> {
        using Property::Property;
        const std::type_info& type() const override { return typeid(long); }
        bool readable() const override { return true; }
        bool writable() const override { return true; }
    } odd(&cell, 3);
    EXPECT_THROW(odd.Get(), PropertyAccessError);
    EXPECT_THROW(odd.Set(4), PropertyAccessError);
    EXPECT_EQ(odd.Value(), 3);

    cell.text.Set(L"t");
    EXPECT_EQ(cell.text.Get(), L"t");
    cell.width.Set(12);
    EXPECT_EQ(cell.width.Get(), 12);
    EXPECT_EQ(cell.parent.owner(), &cell);
}

TEST(GenericAccess, FlagsOfEachKind) {
    TestCell cell;
    struct Row {
        const char* name;
        bool readable, writable, readableExpected, writableExpected;
    };
    for (const Row& r : {
             Row{"text", cell.text.readable(), cell.text.writable(), true, true},
             Row{"id", cell.id.readable(), cell.id.writable(), true, true},
             Row{"width", cell.width.readable(), cell.width.writable(), true, true},
             Row{"radius", cell.radius.readable(), cell.radius.writable(), true, true},
             Row{"parent", cell.parent.readable(), cell.parent.writable(), true, false},
             Row{"background", cell.background.readable(), cell.background.writable(), false, true},
             Row{"padding", cell.padding.readable(), cell.padding.writable(), false, true},
             Row{"border", cell.border.readable(), cell.border.writable(), false, true},
         }) {
        EXPECT_EQ(r.readable, r.readableExpected) << r.name;
        EXPECT_EQ(r.writable, r.writableExpected) << r.name;
    }
    EXPECT_EQ(cell.background.type(), typeid(std::wstring));
    EXPECT_EQ(cell.radius.type(), typeid(int));
}

using Ids = Properties;

TEST_F(Ids, FollowTheOwnerAndLeaveNothingBehind) {
    {
        TestCell cell;
        cell.id.Set(L"a");
        EXPECT_EQ(FindRenderableById(L"a"), &cell);
        cell.id.Set(L"b");
        EXPECT_EQ(FindRenderableById(L"a"), nullptr);
        EXPECT_EQ(FindRenderableById(L"b"), &cell);
    }
    EXPECT_EQ(FindRenderableById(L"a"), nullptr);
    EXPECT_EQ(FindRenderableById(L"b"), nullptr);
}

TEST_F(Ids, AnEmptyIdIsNeverRegistered) {
    TestCell cell;
    cell.id.Set(L"a");
    cell.id.Set(L"");
    EXPECT_EQ(FindRenderableById(L"a"), nullptr);
    EXPECT_EQ(FindRenderableById(L""), nullptr);
    EXPECT_FALSE(HasRenderableId(L"", &cell));
}

TEST_F(Ids, SameIdTwiceHoldsOnePairAndFirstOwnerComesFirst) {
    auto first = std::make_unique<TestCell>();
    TestCell second;
    first->id.Set(L"x");
    first->id.Set(L"x");
    second.id.Set(L"x");
    EXPECT_EQ(FindRenderableById(L"x"), first.get());
    first.reset();
    EXPECT_EQ(FindRenderableById(L"x"), &second);  // the second set made no second pair
    second.id.Set(L"y");
    EXPECT_EQ(FindRenderableById(L"x"), nullptr);
}

using CellStyle = Properties;

TEST_F(CellStyle, ReachesOnlyTheNamedProperties) {
    TestCell cell;
    cell.padding.Set(L"1");
    ApplyCellStyle(
        L"padding:4;radius:5;cursor:hand;zindex:3;width:20;height: 7px;text:hi;id:ok;"
        L"background:(color:red);font:(size:12);margin:(left:6);border:(width:2);unknown:1",
        cell);
    EXPECT_EQ(cell.padding.left, 1);
    EXPECT_EQ(cell.radius.Get(), 0);
    EXPECT_EQ(cell.cursor.Get(), L"");
    EXPECT_EQ(cell.zindex.Get(), 0);
    EXPECT_EQ(cell.width.Get(), 20);
    EXPECT_EQ(cell.height.Get(), 7);
    EXPECT_EQ(cell.text.Get(), L"hi");
    EXPECT_EQ(FindRenderableById(L"ok"), &cell);
    EXPECT_EQ(cell.background.color, 0xFFFF0000u);
    EXPECT_EQ(cell.font.size, 12);
    EXPECT_EQ(cell.margin.left, 6);
    EXPECT_EQ(cell.border.width, 2);
    EXPECT_EQ(CellPropertyTable<TestCell>().size(), 8u);
}

TEST_F(CellStyle, SkipsPropertiesThatAreNotWritable) {
    struct LockedCell : NullRenderable {
        TextProperty<LockedCell> text{this};
        IdProperty<LockedCell> id{this};
        ReadOnlyProperty<LockedCell, int> width{this, 5};
        IntProperty<LockedCell> height{this};
        FontProperty<LockedCell> font{this};
        BackgroundProperty<LockedCell> background{this};
        MarginProperty<LockedCell> margin{this};
        BorderProperty<LockedCell> border{this};
    } cell;
    ApplyCellStyle(L"width:20;height:3", cell);
    EXPECT_EQ(cell.width.Get(), 5);
    EXPECT_EQ(cell.height.Get(), 3);
    ApplyCellStyle(L"", cell);
    EXPECT_EQ(cell.height.Get(), 3);
}

}  // namespace
