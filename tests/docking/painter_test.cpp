#include <gtest/gtest.h>

#include "docking/painter.h"
#include "common/gdi_helper.h"
#include "drawing_helper.h"
#include "machine/control/gdiplus_log.h"
#include <wingdi.h>
#include "machine/gdi_objects.h"

using namespace System::Docking;

namespace {

std::size_t LiveBitmaps() {
    return sim::GdiTable::Get().LiveCount(OBJ_BITMAP);
}
std::size_t LiveDcs() {
    return sim::GdiTable::Get().LiveCount(OBJ_DC);
}

using SurfaceTest = DrawingTest;

struct AllocateCase {
    const char* name;
    std::vector<std::pair<int, int>> sizes;
    int width, height;
    std::size_t bitmaps;
    bool picture;
};

TEST_F(SurfaceTest, AllocateMakesOneDibPerNewSize) {
    const AllocateCase cases[] = {
        {"none", {}, 0, 0, 0, false},
        {"once", {{300, 200}}, 300, 200, 1, true},
        {"twice_same_size", {{300, 200}, {300, 200}}, 300, 200, 1, true},
        {"zero_height", {{300, 0}}, 0, 0, 0, false},
        {"zero_width_after_a_size", {{300, 200}, {0, 50}}, 300, 200, 1, true},
        {"negative", {{-5, 20}}, 0, 0, 0, false},
        {"resized", {{300, 200}, {40, 30}}, 40, 30, 1, true},
    };
    for (const AllocateCase& c : cases) {
        const std::size_t before = LiveBitmaps();
        {
            CDockingPainter surface;
            for (auto [w, h] : c.sizes) surface.Allocate(w, h);
            EXPECT_EQ(surface.width.Get(), c.width) << c.name;
            EXPECT_EQ(surface.height.Get(), c.height) << c.name;
            EXPECT_EQ(LiveBitmaps() - before, c.bitmaps) << c.name;
            EXPECT_EQ(surface.HasPicture(), c.picture) << c.name;
        }
        EXPECT_EQ(LiveBitmaps(), before) << c.name;
        EXPECT_EQ(LiveDcs(), 0u) << c.name;
    }
}

TEST_F(SurfaceTest, ConstructorAllocates) {
    CDockingPainter surface(64, 32);
    EXPECT_TRUE(surface.HasPicture());
    EXPECT_EQ(surface.width.Get(), 64);
    EXPECT_EQ(surface.height.Get(), 32);
    BITMAP info{};
    ASSERT_NE(GetObjectW(GetCurrentObject(surface.Dc(), OBJ_BITMAP), sizeof info, &info), 0);
    EXPECT_EQ(info.bmBitsPixel, 32);
}

TEST_F(SurfaceTest, SizeIsNotWritableThroughTheGenericSet) {
    CDockingPainter surface(10, 10);
    EXPECT_THROW(surface.width.Set(5), PropertyAccessError);
    EXPECT_EQ(surface.width.Get(), 10);
}

TEST_F(SurfaceTest, AdoptedBitmapReplacesAndDeletesTheOldOne) {
    CDockingPainter surface(20, 10);
    HBITMAP first = static_cast<HBITMAP>(GetCurrentObject(surface.Dc(), OBJ_BITMAP));
    HBITMAP adopted = MakeDib(50, 40).bitmap;
    surface.SelectBitmap(adopted);
    EXPECT_EQ(surface.width.Get(), 50);
    EXPECT_EQ(surface.height.Get(), 40);
    EXPECT_EQ(GetObjectType(first), 0u);  // deleted
    EXPECT_EQ(GetCurrentObject(surface.Dc(), OBJ_BITMAP), adopted);
    EXPECT_EQ(LiveBitmaps(), 1u);
}

TEST_F(SurfaceTest, SelectNullThenDestructionDeletesNothingTwice) {
    const std::size_t before = LiveBitmaps();
    {
        CDockingPainter surface(30, 20);
        surface.SelectBitmap(nullptr);
        EXPECT_EQ(surface.width.Get(), 0);
        EXPECT_EQ(surface.height.Get(), 0);
        EXPECT_EQ(LiveBitmaps(), before);
        surface.SelectBitmap(nullptr);  // again: nothing to put back
        // Used again after the reset: a new bitmap, then destruction.
        surface.Allocate(30, 20);
        EXPECT_EQ(surface.width.Get(), 30);
        EXPECT_EQ(LiveBitmaps(), before + 1);
    }
    EXPECT_EQ(LiveBitmaps(), before);
    EXPECT_EQ(LiveDcs(), 0u);
    EXPECT_EQ(GetLastError(), 0u);
}

TEST_F(SurfaceTest, BitmapHandedOnToAnotherSurfaceIsDeletedOnlyByIt) {
    const std::size_t before = LiveBitmaps();
    {
        CDockingPainter root;
        HBITMAP picture = nullptr;
        {
            CDockingPainter render(40, 30);
            picture = render.TakeBitmap();
            ASSERT_NE(picture, nullptr);
            EXPECT_EQ(render.width.Get(), 0);
            EXPECT_EQ(render.TakeBitmap(), nullptr);  // nothing left to take
            root.SelectBitmap(picture);
            render.Allocate(40, 30);  // a new picture of its own
            EXPECT_NE(GetCurrentObject(render.Dc(), OBJ_BITMAP), picture);
        }
        EXPECT_EQ(GetObjectType(picture), static_cast<DWORD>(OBJ_BITMAP));
        EXPECT_EQ(root.width.Get(), 40);
        EXPECT_EQ(LiveBitmaps(), before + 1);
    }
    EXPECT_EQ(LiveBitmaps(), before);
    EXPECT_EQ(LiveDcs(), 0u);
}

TEST_F(SurfaceTest, GraphicsDrawsIntoThePicture) {
    const std::size_t graphics = control::GdiplusLiveCount(control::GdiplusKind::Graphics);
    {
        CDockingPainter surface(16, 8);
        Gdiplus::Graphics* g = surface.Graphics();
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(surface.Graphics(), g);
        Gdiplus::SolidBrush brush{Gdiplus::Color(0xFF00FF00)};
        EXPECT_EQ(g->FillRectangle(&brush, 0, 0, 16, 8), Gdiplus::Ok);
        Gdiplus::Bitmap copy(static_cast<HBITMAP>(GetCurrentObject(surface.Dc(), OBJ_BITMAP)),
                             nullptr);
        Gdiplus::Color c;
        copy.GetPixel(3, 3, &c);
        EXPECT_EQ(c.GetValue(), 0xFF00FF00u);
    }
    EXPECT_EQ(control::GdiplusLiveCount(control::GdiplusKind::Graphics), graphics);
}

TEST_F(SurfaceTest, NoPictureNoGraphics) {
    CDockingPainter surface;
    EXPECT_EQ(surface.Graphics(), nullptr);
}

TEST_F(SurfaceTest, GenerationAdvancesByOne) {
    CDockingPainter surface;
    EXPECT_EQ(surface.Generation(), 0);
    EXPECT_EQ(surface.AdvanceGeneration(), 1);
    EXPECT_EQ(surface.AdvanceGeneration(), 2);
    EXPECT_EQ(surface.GenerationCounter()->load(), 2);
}

}  // namespace
