#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "docking/draw.h"
#include "docking/image_cache.h"
#include "docking/image_painter.h"
#include "drawing_helper.h"
#include "machine/control/gdiplus_log.h"

using namespace System::Docking;
using Gdiplus::Rect;

namespace {

// ---- Where PaintImage paints ----

struct BoxCase {
    const char* name;
    Rect target;
    int offsetX, offsetY;
    Rect clip;
    PixelBox expected;  // width or height 0 or less: nothing
};
void PrintTo(const BoxCase& c, std::ostream* os) {
    *os << c.name;
}

class ImageDrawBoxTest : public ::testing::TestWithParam<BoxCase> {};

TEST_P(ImageDrawBoxTest, IsTheWidenedTargetWithinTheClip) {
    const BoxCase& c = GetParam();
    const PixelBox box = ImageDrawBox(c.target, c.offsetX, c.offsetY, c.clip);
    if (c.expected.empty()) {
        EXPECT_TRUE(box.empty());
        return;
    }
    EXPECT_EQ(box.x, c.expected.x);
    EXPECT_EQ(box.y, c.expected.y);
    EXPECT_EQ(box.width, c.expected.width);
    EXPECT_EQ(box.height, c.expected.height);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImageDrawBoxTest,
    ::testing::Values(
        BoxCase{"inside", {10, 10, 40, 20}, 0, 0, {0, 0, 100, 100}, {10, 10, 40, 20}},
        BoxCase{"wider_than_clip_both_sides",
                {-10, 5, 120, 20},
                0,
                0,
                {20, 0, 50, 40},
                {20, 5, 50, 20}},
        BoxCase{"positive_offset_keeps_target",
                {10, 10, 40, 20},
                5,
                5,
                {0, 0, 100, 100},
                {10, 10, 40, 20}},
        BoxCase{"negative_offset_widens_left",
                {10, 10, 40, 20},
                -5,
                -3,
                {0, 0, 100, 100},
                {5, 7, 45, 23}},
        BoxCase{"negative_offset_stops_at_zero",
                {3, 2, 40, 20},
                -5,
                -5,
                {0, 0, 100, 100},
                {0, 0, 43, 22}},
        // Widened past the clip's left and crossing its right edge: up to the right edge.
        BoxCase{"negative_offset_crossing_right_edge",
                {10, 10, 80, 20},
                -5,
                0,
                {0, 0, 60, 40},
                {5, 10, 55, 20}},
        BoxCase{"starts_left_of_clip_ends_inside",
                {0, 0, 30, 10},
                0,
                0,
                {20, 0, 50, 40},
                {20, 0, 10, 10}},
        BoxCase{"wholly_right_of_clip", {80, 0, 20, 10}, 0, 0, {0, 0, 50, 40}, {}},
        BoxCase{"wholly_above_clip", {0, -30, 20, 10}, 0, 0, {0, 0, 50, 40}, {}},
        BoxCase{"empty_target", {10, 10, 0, 10}, 0, 0, {0, 0, 50, 40}, {}},
        BoxCase{"offset_int_max",
                {10, 10, 40, 20},
                INT_MAX,
                INT_MAX,
                {0, 0, 100, 100},
                {10, 10, 40, 20}},
        BoxCase{
            "offset_int_min", {10, 10, 40, 20}, INT_MIN, INT_MIN, {0, 0, 100, 100}, {0, 0, 50, 30}},
        BoxCase{"target_at_int_max",
                {INT_MAX - 5, 0, INT_MAX, 10},
                -5,
                0,
                {INT_MAX - 20, 0, 20, 10},
                {INT_MAX - 10, 0, 10, 10}}));

// ---- What PaintImage paints ----

constexpr Gdiplus::ARGB kClear = 0;
constexpr Gdiplus::ARGB kBlack = 0xFF000000;

// The image pixel that should land at a canvas position for a tiling anchored at `start`.
Gdiplus::ARGB Tiled(std::int64_t at, std::int64_t start, int y) {
    const std::int64_t d = ((at - start) % 10 + 10) % 10;
    return ImagePixel(static_cast<int>(d), y);
}

bool NearColor(Gdiplus::ARGB a, Gdiplus::ARGB b) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (d > 2 || d < -2) return false;
    }
    return true;
}

struct Probe {
    int x, y;
    Gdiplus::ARGB color;
};
struct PaintCase {
    const char* name;
    std::wstring mode;
    Rect target;
    int offsetX, offsetY;
    Rect clip;
    Gdiplus::ARGB color;
    bool image;
    int imageHeight;  // of the image file (width 10)
    std::vector<Probe> probes;
};
void PrintTo(const PaintCase& c, std::ostream* os) {
    *os << c.name;
}

class PaintImageTest : public DrawingTest, public ::testing::WithParamInterface<PaintCase> {};

TEST_P(PaintImageTest, PaintsTheExpectedPixels) {
    const PaintCase& c = GetParam();
    WriteImage(L"C:\\skin\\img.bmp", 10, c.imageHeight);
    CDockingImage* image = c.image ? LoadDockingImage(L"C:\\skin\\main.xml", L"img.bmp") : nullptr;
    if (c.image) {
        ASSERT_NE(image, nullptr);
    }
    Canvas canvas(100, 60);
    ImagePaintJob job;
    PaintImage(c.offsetX, c.clip, job, &canvas.graphics, c.target, c.offsetY, c.mode, c.color,
               image);
    // Stretched pixels are probed at their centres; bilinear rounding may differ by a little.
    for (const Probe& p : c.probes)
        EXPECT_PRED2(NearColor, canvas.At(p.x, p.y), p.color)
            << "at (" << p.x << ", " << p.y << ")";
}

const Rect kAll{0, 0, 100, 60};

INSTANTIATE_TEST_SUITE_P(
    Cases, PaintImageTest,
    ::testing::Values(
        PaintCase{"no_colour_no_image_paints_nothing",
                  L"",
                  {10, 10, 40, 20},
                  0,
                  0,
                  kAll,
                  kNoColor,
                  false,
                  10,
                  {{10, 10, kClear}, {30, 20, kClear}, {49, 29, kClear}}},
        PaintCase{"black_fills_the_target",
                  L"",
                  {10, 10, 40, 20},
                  0,
                  0,
                  kAll,
                  kBlack,
                  false,
                  10,
                  {{9, 10, kClear}, {10, 10, kBlack}, {49, 29, kBlack}, {50, 29, kClear}}},
        PaintCase{"target_wider_than_clip_both_sides",
                  L"",
                  {-10, 5, 120, 20},
                  0,
                  0,
                  {20, 0, 50, 40},
                  kBlack,
                  false,
                  10,
                  {{19, 10, kClear}, {20, 10, kBlack}, {69, 10, kBlack}, {70, 10, kClear}}},
        PaintCase{"repeat_offset_plus_5_leaves_5_columns",
                  L"repeat",
                  {10, 10, 40, 20},
                  5,
                  0,
                  kAll,
                  kNoColor,
                  true,
                  10,
                  {{10, 10, kClear},
                   {14, 10, kClear},
                   {15, 10, ImagePixel(0, 0)},
                   {26, 12, ImagePixel(1, 2)},
                   {49, 29, ImagePixel(4, 9)}}},
        PaintCase{"repeat_offset_minus_5_starts_left",
                  L"repeat",
                  {10, 10, 40, 20},
                  -5,
                  0,
                  kAll,
                  kNoColor,
                  true,
                  10,
                  {{4, 10, kClear},
                   {5, 10, ImagePixel(0, 0)},
                   {10, 10, ImagePixel(5, 0)},
                   {49, 29, ImagePixel(4, 9)},
                   {50, 10, kClear}}},
        PaintCase{"repeat_minus_5_crossing_clip_right_edge_paints_to_the_edge",
                  L"repeat",
                  {10, 10, 80, 20},
                  -5,
                  0,
                  {0, 0, 60, 40},
                  0xFF0000FF,
                  true,
                  10,
                  {{55, 10, Tiled(55, 5, 0)},
                   {59, 10, Tiled(59, 5, 0)},
                   {59, 29, Tiled(59, 5, 9)},
                   {60, 10, kClear}}},
        PaintCase{"repeat_y_ignores_offset_y",
                  L"repeat-y",
                  {10, 10, 10, 30},
                  0,
                  10,
                  kAll,
                  kNoColor,
                  true,
                  10,
                  {{10, 10, ImagePixel(0, 0)}, {12, 23, ImagePixel(2, 3)}, {20, 10, kClear}}},
        PaintCase{"repeat_x_one_row_at_offset_y",
                  L"repeat-x",
                  {10, 10, 40, 30},
                  0,
                  4,
                  kAll,
                  kNoColor,
                  true,
                  10,
                  {{10, 13, kClear},
                   {10, 14, ImagePixel(0, 0)},
                   {45, 23, ImagePixel(5, 9)},
                   {45, 24, kClear}}},
        PaintCase{"scale_x_band_at_offset_y",
                  L"scale-x",
                  {0, 0, 50, 30},
                  0,
                  5,
                  kAll,
                  kNoColor,
                  true,
                  10,
                  {{0, 4, kClear},
                   {2, 5, ImagePixel(0, 0)},
                   {27, 9, ImagePixel(5, 4)},
                   {47, 14, ImagePixel(9, 9)},
                   {25, 15, kClear}}},
        PaintCase{"scale_x_crops_the_source_above_zero",
                  L"scale-x",
                  {0, 0, 50, 30},
                  0,
                  -4,
                  kAll,
                  kNoColor,
                  true,
                  10,
                  {{2, 0, ImagePixel(0, 4)}, {47, 5, ImagePixel(9, 9)}, {25, 6, kClear}}},
        PaintCase{"scale_y_column_at_offset_x",
                  L"scale-y",
                  {0, 0, 30, 50},
                  5,
                  0,
                  kAll,
                  kNoColor,
                  true,
                  10,
                  {{4, 0, kClear},
                   {5, 2, ImagePixel(0, 0)},
                   {14, 47, ImagePixel(9, 9)},
                   {15, 20, kClear}}},
        PaintCase{"single_image_cropped_left_and_above",
                  L"",
                  {0, 0, 50, 30},
                  -3,
                  -3,
                  kAll,
                  kNoColor,
                  true,
                  10,
                  {{0, 0, ImagePixel(3, 3)}, {6, 6, ImagePixel(9, 9)}, {7, 7, kClear}}},
        PaintCase{"single_image_wholly_cropped_draws_nothing",
                  L"",
                  {0, 0, 50, 30},
                  -20,
                  0,
                  kAll,
                  kNoColor,
                  true,
                  10,
                  {{0, 0, kClear}, {5, 5, kClear}}},
        PaintCase{"target_outside_clip_paints_nothing",
                  L"repeat",
                  {60, 0, 20, 20},
                  0,
                  0,
                  {0, 0, 50, 40},
                  kBlack,
                  true,
                  10,
                  {{60, 0, kClear}, {70, 10, kClear}}},
        PaintCase{"offset_int_max_paints_colour_only",
                  L"repeat",
                  {10, 10, 40, 20},
                  INT_MAX,
                  INT_MAX,
                  kAll,
                  kBlack,
                  true,
                  10,
                  {{10, 10, kBlack}, {49, 29, kBlack}}},
        PaintCase{"offset_int_max_single",
                  L"",
                  {10, 10, 40, 20},
                  INT_MAX,
                  INT_MAX,
                  kAll,
                  kNoColor,
                  true,
                  10,
                  {{10, 10, kClear}, {49, 29, kClear}}},
        PaintCase{"offset_int_min_tiles_from_far_left",
                  L"repeat",
                  {10, 10, 40, 20},
                  INT_MIN,
                  0,
                  kAll,
                  kNoColor,
                  true,
                  10,
                  {{0, 10, Tiled(0, 10ll + INT_MIN, 0)},
                   {37, 12, Tiled(37, 10ll + INT_MIN, 2)},
                   {50, 10, kClear}}}));

// ---- How PaintImage draws ----

class PaintImageCalls : public DrawingTest {
protected:
    std::vector<control::GdiplusCall> Calls(const std::wstring& name) {
        std::vector<control::GdiplusCall> out;
        for (const auto& call : control::GdiplusLog())
            if (call.call == name) out.push_back(call);
        return out;
    }
};

TEST_F(PaintImageCalls, TilingDrawsOnlyTilesThatTouchTheDrawBox) {
    WriteImage(L"C:\\skin\\img.bmp");
    CDockingImage* image = LoadDockingImage(L"C:\\skin\\main.xml", L"img.bmp");
    ASSERT_NE(image, nullptr);
    Canvas canvas(100, 60);
    control::SetGdiplusLog(true);
    ImagePaintJob job;
    // Tiles from 990 pixels left of the target: the draw box is x 0..50, y 10..30.
    PaintImage(-1000, kAll, job, &canvas.graphics, {10, 10, 40, 20}, 0, L"repeat", kNoColor, image);
    EXPECT_EQ(Calls(L"DrawCachedBitmap").size(), 10u);  // 5 columns x 2 rows
    EXPECT_EQ(canvas.At(0, 10), ImagePixel(0, 0));
}

TEST_F(PaintImageCalls, EmptyDrawBoxLeavesTheClipAlone) {
    Canvas canvas(100, 60);
    canvas.graphics.SetClip(Rect(1, 2, 3, 4));
    control::SetGdiplusLog(true);
    ImagePaintJob job;
    PaintImage(0, {0, 0, 10, 10}, job, &canvas.graphics, {50, 50, 10, 10}, 0, L"", kBlack, nullptr);
    EXPECT_TRUE(control::GdiplusLog().empty());
    Gdiplus::Rect clip;
    canvas.graphics.GetClipBounds(&clip);
    EXPECT_EQ(clip.X, 1);
    EXPECT_EQ(clip.Width, 3);
}

TEST_F(PaintImageCalls, ColourFillIsAliasedAndTheSmoothingModeComesBack) {
    Canvas canvas(100, 60);
    canvas.graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    control::SetGdiplusLog(true);
    ImagePaintJob job;
    PaintImage(0, kAll, job, &canvas.graphics, {10, 10, 20, 20}, 0, L"", kBlack, nullptr);
    const auto fills = Calls(L"FillRectangle");
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].smoothingMode, Gdiplus::SmoothingModeHighSpeed);
    EXPECT_EQ(canvas.graphics.GetSmoothingMode(), Gdiplus::SmoothingModeAntiAlias);
}

TEST(ImageDrawModes, KeywordsSelectTheirPainters) {
    const std::pair<const wchar_t*, ImageDrawMode> cases[] = {
        {L"repeat", ImageDrawMode::TileBoth},   {L"repeat-xy", ImageDrawMode::TileBoth},
        {L"repeat-x", ImageDrawMode::TileX},    {L"repeat-y", ImageDrawMode::TileY},
        {L"scale", ImageDrawMode::StretchBoth}, {L"scale-xy", ImageDrawMode::StretchBoth},
        {L"scale-x", ImageDrawMode::StretchX},  {L"scale-y", ImageDrawMode::StretchY},
        {L"", ImageDrawMode::Single},           {L"Repeat", ImageDrawMode::Single},
        {L"tile", ImageDrawMode::Single},
    };
    for (const auto& [keyword, mode] : cases) EXPECT_EQ(ImageDrawModeOf(keyword), mode) << keyword;
    EXPECT_EQ(Globals().imageDrawModes.size(), 8u);  // lookups add nothing
}

}  // namespace

namespace {

// A cell's background as the painters leave it: a colour and a tiled image with offsets, a
// stretched band, a single image cropped at the left, and rounded borders.
TEST_F(PaintImageCalls, BackgroundsGoldenImage) {
    WriteImage(L"C:\\skin\\img.bmp");
    CDockingImage* image = LoadDockingImage(L"C:\\skin\\main.xml", L"img.bmp");
    ASSERT_NE(image, nullptr);
    Canvas canvas(160, 100);
    ImagePaintJob job;
    const Rect all{0, 0, 160, 100};
    PaintImage(0, all, job, &canvas.graphics, all, 0, L"", 0xFFF0F0F0, nullptr);
    PaintImage(3, all, job, &canvas.graphics, {10, 10, 60, 35}, -4, L"repeat", 0xFF3050A0, image);
    PaintImage(0, all, job, &canvas.graphics, {80, 10, 70, 35}, 5, L"scale-x", 0xFFFFFFFF, image);
    PaintImage(-4, {0, 0, 60, 100}, job, &canvas.graphics, {10, 55, 70, 35}, 0, L"", kNoColor,
               image);
    BorderFields border;
    border.width = 2;
    border.color = 0xFF802020;
    PaintCellBorder(all, {90, 55, 60, 35}, border, 30, &canvas.graphics);
    border.style = L"dash";
    border.width = 1;
    PaintCellBorder(all, {5, 5, 150, 90}, border, 0, &canvas.graphics);
    ExpectGolden(canvas, "cell_backgrounds");
}

}  // namespace
