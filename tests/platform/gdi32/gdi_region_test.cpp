// Regions: combining, boxes and kinds.
#include <gtest/gtest.h>

#include "common/sim_fixture.h"
#include <wingdi.h>

namespace {

class GdiRegionTest : public SimTest {};

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST_F(GdiRegionTest, CombineGivesTheKindAndBoxOfTheResult) {
    struct Case {
        const char* what;
        RECT a, b;
        int mode;
        int kind;
        RECT box;
    } cases[] = {
        {"and of overlapping",
         {0, 0, 10, 10},
         {5, 5, 20, 20},
         RGN_AND,
         SIMPLEREGION,
         {5, 5, 10, 10}},
        {"and of apart", {0, 0, 10, 10}, {20, 20, 30, 30}, RGN_AND, NULLREGION, {0, 0, 0, 0}},
        {"or of overlapping",
         {0, 0, 10, 10},
         {5, 5, 20, 20},
         RGN_OR,
         COMPLEXREGION,
         {0, 0, 20, 20}},
        {"or of side by side",
         {0, 0, 10, 10},
         {10, 0, 20, 10},
         RGN_OR,
         SIMPLEREGION,
         {0, 0, 20, 10}},
        {"diff cutting a corner",
         {0, 0, 10, 10},
         {5, 5, 20, 20},
         RGN_DIFF,
         COMPLEXREGION,
         {0, 0, 10, 10}},
        {"diff cutting a side",
         {0, 0, 10, 10},
         {5, -5, 20, 20},
         RGN_DIFF,
         SIMPLEREGION,
         {0, 0, 5, 10}},
        {"diff of all", {2, 2, 4, 4}, {0, 0, 10, 10}, RGN_DIFF, NULLREGION, {0, 0, 0, 0}},
        {"copy", {1, 2, 3, 4}, {0, 0, 0, 0}, RGN_COPY, SIMPLEREGION, {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HRGN a = CreateRectRgnIndirect(&c.a);
        HRGN b = CreateRectRgnIndirect(&c.b);
        HRGN dest = CreateRectRgn(0, 0, 0, 0);
        EXPECT_EQ(CombineRgn(dest, a, b, c.mode), c.kind);
        RECT box{-1, -1, -1, -1};
        EXPECT_EQ(GetRgnBox(dest, &box), c.kind);
        EXPECT_TRUE(SameRect(box, c.box))
            << box.left << "," << box.top << "," << box.right << "," << box.bottom;
        DeleteObject(a);
        DeleteObject(b);
        DeleteObject(dest);
    }
}

TEST_F(GdiRegionTest, ADestinationMayBeOneOfTheSources) {
    HRGN a = CreateRectRgn(0, 0, 10, 10);
    HRGN b = CreateRectRgn(0, 0, 5, 10);
    EXPECT_EQ(CombineRgn(a, a, b, RGN_DIFF), SIMPLEREGION);
    EXPECT_TRUE(PtInRegion(a, 5, 0));
    EXPECT_FALSE(PtInRegion(a, 4, 0));
    DeleteObject(a);
    DeleteObject(b);
}

TEST_F(GdiRegionTest, CornersInEitherOrderAndOffset) {
    HRGN r = CreateRectRgn(10, 20, 0, 5);
    EXPECT_EQ(OffsetRgn(r, 3, -5), SIMPLEREGION);
    RECT box;
    GetRgnBox(r, &box);
    EXPECT_TRUE(SameRect(box, RECT{3, 0, 13, 15}));
    DeleteObject(r);
}

TEST_F(GdiRegionTest, BadHandlesAndModesAreErrors) {
    HRGN r = CreateRectRgn(0, 0, 1, 1);
    EXPECT_EQ(CombineRgn(r, r, r, 99), ERROR);
    EXPECT_EQ(CombineRgn(r, nullptr, r, RGN_AND), ERROR);
    RECT box;
    EXPECT_EQ(GetRgnBox(nullptr, &box), ERROR);
    EXPECT_EQ(SelectClipRgn(nullptr, r), ERROR);
    DeleteObject(r);
}

}  // namespace
