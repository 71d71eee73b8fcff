#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <string>

#include "docking/layout.h"

using namespace System::Docking;

namespace {

std::string Text(const Gdiplus::Rect& r) {
    return "(" + std::to_string(r.X) + ", " + std::to_string(r.Y) + ", " + std::to_string(r.Width) +
           ", " + std::to_string(r.Height) + ")";
}

void ExpectRect(const Gdiplus::Rect& actual, const Gdiplus::Rect& expected) {
    EXPECT_TRUE(actual.Equals(expected)) << Text(actual) << " instead of " << Text(expected);
}

// ---- One axis of the grid ----

struct AxisCase {
    const char* name;
    int sizes[3];
    int total;
    int start[3];
    int extent[3];
};

void PrintTo(const AxisCase& c, std::ostream* os) {
    *os << c.name;
}

class GridAxisLayout : public ::testing::TestWithParam<AxisCase> {};

TEST_P(GridAxisLayout, SplitsTheTotalWithoutNegativeExtents) {
    const AxisCase& c = GetParam();
    const GridAxis axis = LayoutGridAxis(c.total, c.sizes);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(axis.start[k], c.start[k]) << "start " << k;
        EXPECT_EQ(axis.extent[k], c.extent[k]) << "extent " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, GridAxisLayout,
    ::testing::Values(
        AxisCase{"MiddleFlexible", {0, -1, 0}, 300, {0, 0, 300}, {0, 300, 0}},
        AxisCase{"NoneFlexibleTheThirdBecomesSo", {50, 50, 50}, 300, {0, 50, 100}, {50, 50, 200}},
        AxisCase{"TwoFlexibleTheLastTakesTheRemainder",
                 {-1, 100, -1},
                 301,
                 {0, 100, 200},
                 {100, 100, 101}},
        AxisCase{"FixedOnesTakeItAll", {200, -1, 200}, 300, {0, 200, 200}, {200, 0, 100}},
        AxisCase{"FixedOnesReachPastTheTotal", {200, 200, 200}, 300, {0, 200, 400}, {200, 200, 0}},
        AxisCase{"OneHugeEntry", {100000, -1, 0}, 300, {0, 100000, 100000}, {100000, 0, 0}},
        AxisCase{"EntriesWhoseSumPassesTheIntRange",
                 {INT_MAX, INT_MAX, -1},
                 300,
                 {0, INT_MAX, INT_MAX},
                 {INT_MAX, INT_MAX, 0}},
        AxisCase{"AnyNegativeSizeIsFlexible", {-7, -1, -300}, 90, {0, 30, 60}, {30, 30, 30}},
        AxisCase{"ANegativeTotalCountsAsZero", {-1, 10, -1}, -50, {0, 0, 10}, {0, 10, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Inset rectangles ----

struct InsetCase {
    const char* name;
    Gdiplus::Rect box;
    BoxFields padding;
    int border;
    Gdiplus::Rect expected;
};

// Padding given as left, top, right, bottom.
BoxFields Pad(int left, int top, int right, int bottom) {
    BoxFields p;
    p.left = left;
    p.top = top;
    p.right = right;
    p.bottom = bottom;
    return p;
}

void PrintTo(const InsetCase& c, std::ostream* os) {
    *os << c.name;
}

class Inset : public ::testing::TestWithParam<InsetCase> {};

TEST_P(Inset, NeverGivesANegativeRectangle) {
    ExpectRect(InsetRect(GetParam().box, GetParam().padding, GetParam().border),
               GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, Inset,
    ::testing::Values(
        InsetCase{
            "BorderOnTheLeftAndTopOnly", {10, 10, 100, 40}, Pad(3, 3, 3, 3), 2, {15, 15, 92, 32}},
        InsetCase{"NoBorder", {10, 10, 100, 40}, Pad(1, 2, 3, 4), 0, {11, 12, 96, 34}},
        InsetCase{
            "PaddingWiderThanTheBox", {10, 10, 100, 40}, Pad(500, 0, 0, 0), 0, {110, 10, 0, 40}},
        InsetCase{"PaddingFromTheFarSidesOnly",
                  {10, 10, 100, 40},
                  Pad(0, 0, 300, 300),
                  0,
                  {10, 10, 0, 0}},
        InsetCase{"BorderWiderThanTheBox", {10, 10, 100, 40}, {}, 1000, {110, 50, 0, 0}},
        InsetCase{
            "NegativeBoxSizeCountsAsZero", {10, 10, -30, -5}, Pad(2, 2, 2, 2), 0, {10, 10, 0, 0}},
        InsetCase{"EdgesPastTheIntRange",
                  {INT_MAX - 5, 0, 100, 10},
                  Pad(INT_MAX, 0, 0, 0),
                  0,
                  {INT_MAX, 0, 0, 10}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The grid inside a content rectangle ----

TEST(Grid, PlacesEachCellAtItsColumnAndRow) {
    const int widths[3] = {20, -1, 30};
    const int heights[3] = {-1, 10, -1};
    Gdiplus::Rect cells[9];
    LayoutGrid({5, 7, 100, 51}, widths, heights, cells);
    ExpectRect(cells[0], {5, 7, 20, 20});
    ExpectRect(cells[4], {25, 27, 50, 10});
    ExpectRect(cells[8], {75, 37, 30, 21});
}

// ---- Clipping ----

TEST(Clip, PullsInOnlyTheRightAndBottomEdges) {
    ExpectRect(PullInToClip({10, 10, 100, 100}, {0, 0, 50, 200}), {10, 10, 40, 100});
    ExpectRect(PullInToClip({10, 10, 100, 100}, {30, 30, 500, 500}), {10, 10, 100, 100});
    ExpectRect(PullInToClip({60, 60, 10, 10}, {0, 0, 50, 50}), {60, 60, 0, 0});
}

TEST(Clip, IntersectionIsEmptyWhereRectanglesDoNotMeet) {
    ExpectRect(Intersect({0, 0, 10, 10}, {5, 2, 10, 3}), {5, 2, 5, 3});
    ExpectRect(Intersect({0, 0, 10, 10}, {10, 0, 5, 5}), {});
}

}  // namespace
