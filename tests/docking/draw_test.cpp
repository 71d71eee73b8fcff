#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "docking/draw.h"
#include "docking/image_cache.h"
#include "docking/image_painter.h"
#include "drawing_helper.h"
#include "machine/control/gdiplus_log.h"
#include "machine/fonts.h"

using namespace System::Docking;
using Gdiplus::Rect;

namespace {

std::vector<control::GdiplusCall> Calls(const std::wstring& name) {
    std::vector<control::GdiplusCall> out;
    for (const auto& call : control::GdiplusLog())
        if (call.call == name) out.push_back(call);
    return out;
}

// Some pixel within one of (x, y) is painted (strokes may fall either side of a pixel edge).
bool PaintedNear(Canvas& canvas, int x, int y) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (canvas.At(x + dx, y + dy) >> 24 != 0) return true;
    return false;
}

// ---- Keywords ----

TEST(DashStyles, KeywordsGiveTheirStylesAndOthersSolid) {
    const std::pair<const wchar_t*, Gdiplus::DashStyle> cases[] = {
        {L"solid", Gdiplus::DashStyleSolid},
        {L"dash", Gdiplus::DashStyleDash},
        {L"dot", Gdiplus::DashStyleDot},
        {L"dashdot", Gdiplus::DashStyleDashDot},
        {L"dashdotdot", Gdiplus::DashStyleDashDotDot},
        {L"custom", Gdiplus::DashStyleCustom},
        {L"", Gdiplus::DashStyleSolid},
        {L"Dash", Gdiplus::DashStyleSolid},
        {L"dotted", Gdiplus::DashStyleSolid},
    };
    for (const auto& [keyword, style] : cases) EXPECT_EQ(DashStyleOf(keyword), style) << keyword;
}

struct OptionCase {
    const wchar_t* text;
    int flags;
    int hint;
};

TEST(TextOptionKeywords, GiveFlagsAndTheFirstHintFound) {
    const OptionCase cases[] = {
        {L"", 0, 0},
        {L"pixel", 0, 2},
        {L"pixel-grip-fit", 0, 1},
        {L"alias|pixel", 0, 2},
        {L"alias", 0, 4},
        {L"alias-grid-fit", 0, 3},
        {L"clear-type-grid-fit", 0, 5},
        {L"no-wrap|no-clip", 0x5000, 0},
        {L"right-to-left|vertical|no-fit-blackbox", 0x0007, 0},
        // Skins spell these keywords so.
        {L"dislay-format-control|mesaure-trailing-spaces", 0x0820, 0},
        {L"display-format-control|measure-trailing-spaces", 0, 0},
        {L"no-font-fallback|line-limit|pixel", 0x2400, 2},
        {L"no-wrapping", 0, 0},
        {L"NO-WRAP", 0, 0},
    };
    for (const OptionCase& c : cases) {
        const TextOptions options = ParseTextOptions(c.text);
        EXPECT_EQ(options.formatFlags, c.flags) << c.text;
        EXPECT_EQ(options.hint, c.hint) << c.text;
    }
}

// ---- Borders ----

struct BorderCase {
    const char* name;
    Rect clip;
    Rect box;
    int radius;
    int lines;  // DrawLine calls (radius 0)
    std::vector<std::pair<int, int>> painted;
    std::vector<std::pair<int, int>> clear;
};
void PrintTo(const BorderCase& c, std::ostream* os) {
    *os << c.name;
}

class BorderTest : public DrawingTest, public ::testing::WithParamInterface<BorderCase> {};

TEST_P(BorderTest, DrawsTheSidesThatShow) {
    const BorderCase& c = GetParam();
    Canvas canvas(120, 60);
    BorderFields border;
    border.width = 1;
    control::SetGdiplusLog(true);
    PaintCellBorder(c.clip, c.box, border, c.radius, &canvas.graphics);
    EXPECT_EQ(static_cast<int>(Calls(L"DrawLine").size()), c.lines);
    for (auto [x, y] : c.painted) EXPECT_TRUE(PaintedNear(canvas, x, y)) << x << ", " << y;
    for (auto [x, y] : c.clear) EXPECT_EQ(canvas.At(x, y), 0u) << x << ", " << y;
}

INSTANTIATE_TEST_SUITE_P(Cases, BorderTest,
                         ::testing::Values(BorderCase{"radius_0_inside_the_clip",
                                                      {0, 0, 120, 60},
                                                      {10, 10, 50, 20},
                                                      0,
                                                      4,
                                                      {{30, 10}, {60, 20}, {30, 30}, {10, 20}},
                                                      {{30, 20}}},
                                           BorderCase{"radius_0_past_the_clip_has_no_right_edge",
                                                      {0, 0, 40, 60},
                                                      {10, 10, 50, 20},
                                                      0,
                                                      3,
                                                      {{30, 10}, {30, 30}, {10, 20}},
                                                      {{40, 20}, {41, 20}, {60, 20}}},
                                           BorderCase{
                                               "radius_0_past_the_clip_bottom_has_no_bottom_edge",
                                               {0, 0, 120, 25},
                                               {10, 10, 50, 20},
                                               0,
                                               3,
                                               {{30, 10}, {60, 20}, {10, 20}},
                                               {{30, 30}, {30, 25}}},
                                           BorderCase{"radius_9_on_90x30_draws_four_sides",
                                                      {0, 0, 120, 60},
                                                      {10, 10, 90, 30},
                                                      9,
                                                      0,
                                                      {{55, 10}, {55, 40}, {10, 25}, {100, 25}},
                                                      {{55, 25}}},
                                           BorderCase{"radius_1_on_80x30_draws_four_sides",
                                                      {0, 0, 120, 60},
                                                      {10, 10, 80, 30},
                                                      1,
                                                      0,
                                                      {{50, 10}, {50, 40}, {10, 25}, {90, 25}},
                                                      {{50, 25}}},
                                           BorderCase{"radius_45_rounds_the_corners",
                                                      {0, 0, 120, 60},
                                                      {10, 10, 90, 30},
                                                      45,
                                                      0,
                                                      {{55, 10}, {55, 40}, {10, 25}, {100, 25}},
                                                      {{10, 10}, {100, 40}}},
                                           // A skin's "99999999999" comes clamped to the
                                           // int range: the right edge lies past the clip.
                                           BorderCase{"width_at_the_int_limit_keeps_its_sides",
                                                      {0, 0, 120, 60},
                                                      {10, 10, INT_MAX, 20},
                                                      0,
                                                      3,
                                                      {{30, 10}, {30, 30}, {10, 20}},
                                                      {{30, 20}}},
                                           BorderCase{"rounded_width_at_the_int_limit",
                                                      {0, 0, 120, 60},
                                                      {10, 10, INT_MAX, 20},
                                                      45,
                                                      0,
                                                      {{10, 20}},
                                                      {{30, 20}}},
                                           BorderCase{"empty_clip_draws_nothing",
                                                      {0, 0, 0, 60},
                                                      {10, 10, 50, 20},
                                                      0,
                                                      0,
                                                      {},
                                                      {{30, 10}, {10, 20}}}));

TEST_F(DrawingTest, BorderLeavesNoClipBehind) {
    Canvas canvas(60, 60);
    BorderFields border;
    border.width = 1;
    PaintCellBorder({0, 0, 20, 20}, {5, 5, 10, 10}, border, 0, &canvas.graphics);
    Gdiplus::SolidBrush brush{Gdiplus::Color(0xFF000000)};
    canvas.graphics.FillRectangle(&brush, 40, 40, 5, 5);
    EXPECT_EQ(canvas.At(42, 42), 0xFF000000u);
}

// ---- Text ----

class TextTest : public DrawingTest {
protected:
    void Paint(const std::wstring& text, const FontFields& font, Rect clip = {0, 0, 200, 60},
               Rect box = {0, 0, 200, 60}) {
        PaintCellText(text, font, padding, &canvas.graphics, clip, box);
    }
    std::vector<control::GdiplusCall> Strings() { return Calls(L"DrawString"); }
    Canvas canvas{200, 60};
    BoxFields padding;
};

struct HintCase {
    const wchar_t* flag;
    int weight;
    int hint;
    int formatFlags;
};

TEST_F(TextTest, OptionTextSetsHintAndFlags) {
    const HintCase cases[] = {
        {L"", 0, 1, 0},  // the bitmap path's default
        {L"", 1, 5, 0},  // bold: drawn directly, its default
        {L"", 3, 5, 0},
        {L"pixel", 0, 2, 0},
        {L"pixel-grip-fit", 1, 1, 0},
        {L"alias|no-wrap|no-clip", 0, 4, 0x5000},
        {L"no-wrap|no-clip", 1, 5, 0x5000},
    };
    for (const HintCase& c : cases) {
        FontFields font;
        font.flag = c.flag;
        font.weight = c.weight;
        control::SetGdiplusLog(true);
        control::ClearGdiplusLog();
        Paint(L"Hello", font);
        const auto strings = Strings();
        ASSERT_EQ(strings.size(), 1u) << c.flag << " " << c.weight;
        EXPECT_EQ(strings[0].textRenderingHint, c.hint) << c.flag << " " << c.weight;
        EXPECT_EQ(strings[0].formatFlags, c.formatFlags) << c.flag << " " << c.weight;
        EXPECT_EQ(strings[0].fontStyle, c.weight);
        if (c.weight == 0) {
            EXPECT_EQ(strings[0].smoothingMode, Gdiplus::SmoothingModeHighQuality);
        }
    }
}

TEST_F(TextTest, AlignmentsGoToTheFormat) {
    FontFields font;
    font.align = 1;
    font.valign = 2;
    control::SetGdiplusLog(true);
    Paint(L"Hi", font);
    const auto strings = Strings();
    ASSERT_EQ(strings.size(), 1u);
    EXPECT_EQ(strings[0].alignment, 1);
    EXPECT_EQ(strings[0].lineAlignment, 2);
    EXPECT_EQ(strings[0].emSize, 8.0f);
}

std::wstring GenericName() {
    WCHAR name[LF_FACESIZE] = {};
    Gdiplus::FontFamily::GenericSansSerif()->GetFamilyName(name);
    return name;
}

TEST_F(TextTest, FaceListTakesTheFirstFamilyThatExists) {
    const std::pair<const wchar_t*, std::wstring> cases[] = {
        {L"Nope|Arial", L"Arial"}, {L"Arial|Tahoma", L"Arial"}, {L"||Tahoma", L"Tahoma"},
        {L"Nope", GenericName()},  {L"", GenericName()},
    };
    control::SetGdiplusLog(true);
    for (const auto& [faces, expected] : cases) {
        control::ClearGdiplusLog();
        FontFields font;
        font.family = faces;
        Paint(L"Hello", font);
        const auto strings = Strings();
        ASSERT_EQ(strings.size(), 1u) << faces;
        EXPECT_EQ(strings[0].family, expected) << faces;
    }
}

TEST_F(TextTest, FamilyFallsBackToTheGenericOneWhenItsFontIsRemoved) {
    M().fonts().Remove(L"Arial");
    FontFields font;
    font.family = L"Arial";
    control::SetGdiplusLog(true);
    Paint(L"Hello", font);
    const auto strings = Strings();
    ASSERT_EQ(strings.size(), 1u);
    EXPECT_EQ(strings[0].family, GenericName());
}

TEST_F(TextTest, PaintingLeavesNoFontObjectsBehind) {
    const std::size_t families = control::GdiplusLiveCount(control::GdiplusKind::FontFamily);
    const std::size_t fonts = control::GdiplusLiveCount(control::GdiplusKind::Font);
    for (const wchar_t* faces : {L"Nope|Arial", L"Nope", L"Nope"}) {
        FontFields font;
        font.family = faces;
        control::SetGdiplusLog(true);
        control::ClearGdiplusLog();
        Paint(L"Hello", font);
        ASSERT_EQ(Strings().size(), 1u) << faces;  // the generic family still works
        EXPECT_EQ(Strings()[0].status, Gdiplus::Ok) << faces;
    }
    EXPECT_EQ(control::GdiplusLiveCount(control::GdiplusKind::FontFamily), families);
    EXPECT_EQ(control::GdiplusLiveCount(control::GdiplusKind::Font), fonts);
    EXPECT_EQ(control::GdiplusLiveCount(control::GdiplusKind::StringFormat), 0u);
    EXPECT_EQ(control::GdiplusLiveCount(control::GdiplusKind::Brush), 0u);
}

TEST_F(TextTest, FontSizeZeroPaintsNothing) {
    FontFields font;
    font.size = 0;
    font.style = L"halo|grave";
    Paint(L"Hello", font);
    for (int y = 0; y < 60; y += 3)
        for (int x = 0; x < 200; x += 3) ASSERT_EQ(canvas.At(x, y), 0u) << x << ", " << y;
}

TEST_F(TextTest, EmptyBoxesPaintNothing) {
    const std::pair<Rect, Rect> cases[] = {
        {{0, 0, 200, 60}, {10, 10, 0, 20}},  // empty box
        {{0, 0, 200, 60}, {10, 10, 8, 8}},   // padding eats the box
        {{100, 0, 50, 60}, {0, 0, 90, 20}},  // box left of the clip
    };
    padding.left = padding.right = padding.top = padding.bottom = 5;
    control::SetGdiplusLog(true);
    for (const auto& [clip, box] : cases) Paint(L"Hello", FontFields{}, clip, box);
    EXPECT_TRUE(control::GdiplusLog().empty());
}

TEST_F(TextTest, PaddingsAtTheIntLimitNeitherWrapNorOverflow) {
    struct Case {
        const char* name;
        BoxFields padding;
        bool drawn;
        float x;  // where the text is laid out
    };
    const Case cases[] = {
        {"left padding eats the box", {INT_MAX, 0, 0, 0}, false, 0},
        {"top padding eats the box", {0, 0, INT_MAX, 0}, false, 0},
        {"negative right padding reaches past the clip", {0, INT_MIN, 0, 0}, true, 10},
        {"negative bottom padding reaches past the clip", {0, 0, 0, INT_MIN}, true, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        padding = c.padding;
        control::SetGdiplusLog(true);
        control::ClearGdiplusLog();
        FontFields font;
        font.weight = 1;  // drawn directly: the log holds its layout rectangle
        Paint(L"Hello", font, {0, 0, 200, 60}, {10, 10, 100, 30});
        const auto strings = Strings();
        ASSERT_EQ(strings.size(), c.drawn ? 1u : 0u);
        if (c.drawn) {
            EXPECT_EQ(strings[0].rect.X, c.x);
        }
    }
}

TEST_F(TextTest, BoxStartingLeftOfTheClipKeepsItsLayoutButIsClippedToTheOverlap) {
    FontFields font;
    control::SetGdiplusLog(true);
    Paint(L"Hello", font, {30, 10, 50, 30}, {0, 0, 100, 60});
    const auto images = Calls(L"DrawImage");
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].rect.X, 30.0f);
    EXPECT_EQ(images[0].rect.Y, 10.0f);
    ASSERT_TRUE(images[0].clipped);
    EXPECT_EQ(images[0].clip.X, 30);
    EXPECT_EQ(images[0].clip.Y, 10);
    EXPECT_EQ(images[0].clip.Width, 50);
    EXPECT_EQ(images[0].clip.Height, 30);
    const auto strings = Strings();
    ASSERT_EQ(strings.size(), 1u);
    // Laid out in the whole box: 30 and 10 left of and above the visible part.
    EXPECT_EQ(strings[0].rect.X, -30.0f);
    EXPECT_EQ(strings[0].rect.Y, -10.0f);
    EXPECT_EQ(strings[0].rect.Width, 100.0f);
    EXPECT_EQ(strings[0].rect.Height, 60.0f);
}

TEST_F(TextTest, BoldBoxIsClippedToTheOverlapToo) {
    FontFields font;
    font.weight = 1;
    control::SetGdiplusLog(true);
    Paint(L"Hello", font, {30, 10, 50, 30}, {0, 0, 100, 60});
    const auto strings = Strings();
    ASSERT_EQ(strings.size(), 1u);
    EXPECT_EQ(strings[0].rect.X, 0.0f);
    EXPECT_EQ(strings[0].rect.Width, 100.0f);
    ASSERT_TRUE(strings[0].clipped);
    EXPECT_EQ(strings[0].clip.X, 30);
    EXPECT_EQ(strings[0].clip.Width, 50);
}

TEST_F(TextTest, GraveDrawsAWhiteCopyOnePixelOffFirst) {
    FontFields font;
    font.style = L"grave";
    font.weight = 1;
    font.color = 0xFF102030;
    control::SetGdiplusLog(true);
    Paint(L"Hello", font, {0, 0, 200, 60}, {10, 10, 100, 30});
    const auto strings = Strings();
    ASSERT_EQ(strings.size(), 2u);
    EXPECT_EQ(strings[0].color, 0xFFFFFFFFu);
    EXPECT_EQ(strings[0].rect.X, 11.0f);
    EXPECT_EQ(strings[0].rect.Y, 11.0f);
    EXPECT_EQ(strings[1].color, 0xFF102030u);
    EXPECT_EQ(strings[1].rect.X, 10.0f);
}

TEST_F(TextTest, AHaloEndsWithTheTextAndTheNormalOrEngravedTextFollows) {
    const std::pair<const wchar_t*, std::vector<std::pair<std::wstring, Gdiplus::ARGB>>> cases[] = {
        {L"halo",
         {{L"DrawPath", 0xFFFFFFFF}, {L"DrawString", 0xFF102030}, {L"DrawString", 0xFF102030}}},
        {L"halo|grave",
         {{L"DrawPath", 0xFFFFFFFF},
          {L"DrawString", 0xFF102030},
          {L"DrawString", 0xFFFFFFFF},
          {L"DrawString", 0xFF102030}}},
    };
    for (const auto& [style, expected] : cases) {
        FontFields font;
        font.style = style;
        font.weight = 1;
        font.color = 0xFF102030;
        control::SetGdiplusLog(true);
        control::ClearGdiplusLog();
        Paint(L"Hello", font, {0, 0, 200, 60}, {10, 5, 100, 20});
        std::vector<std::pair<std::wstring, Gdiplus::ARGB>> drawn;
        for (const auto& call : control::GdiplusLog())
            if (call.call == L"DrawPath" || call.call == L"DrawString")
                drawn.emplace_back(call.call, call.color);
        EXPECT_EQ(drawn, expected) << style;
    }
}

TEST_F(TextTest, AfterAHaloTheTextAndLaterDrawingKeepTheirSize) {
    WriteImage(L"C:\\skin\\tile.bmp");
    CDockingImage* image = LoadDockingImage(L"C:\\skin\\main.xml", L"tile.bmp");
    ASSERT_NE(image, nullptr);
    FontFields font;
    font.style = L"halo";
    font.weight = 1;
    control::SetGdiplusLog(true);
    Paint(L"Hello", font, {0, 0, 200, 60}, {10, 5, 100, 20});
    const auto log = control::GdiplusLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.front().call, L"DrawPath");
    EXPECT_EQ(log.front().color, 0xFFFFFFFFu);
    const auto strings = Strings();
    ASSERT_EQ(strings.size(), 2u);  // the halo's text, then the text
    const Gdiplus::REAL identity[6] = {1, 0, 0, 1, 0, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(strings[1].transform[i], identity[i]);
    EXPECT_EQ(strings[1].rect.X, 10.0f);
    // The next cell's tiled background, at full size where it belongs.
    ImagePaintJob job;
    PaintImage(0, {0, 0, 200, 60}, job, &canvas.graphics, {120, 30, 40, 20}, 0, L"repeat", kNoColor,
               image);
    EXPECT_EQ(canvas.At(120, 30), ImagePixel(0, 0));
    EXPECT_EQ(canvas.At(155, 49), ImagePixel(5, 9));
}

TEST_F(TextTest, RegularTextGoldenImage) {
    FontFields font;
    font.size = 10;
    font.align = 1;
    font.valign = 1;
    font.color = 0xFF203080;
    Gdiplus::SolidBrush ground{Gdiplus::Color(0xFFB8C4D0)};
    canvas.graphics.FillRectangle(&ground, 0, 0, 200, 60);
    Paint(L"Connect", font, {0, 0, 200, 60}, {0, 0, 200, 30});
    font.weight = 1;
    font.style = L"grave";
    Paint(L"Disconnect", font, {0, 0, 200, 60}, {0, 30, 200, 30});
    ExpectGolden(canvas, "cell_text");
}

}  // namespace
