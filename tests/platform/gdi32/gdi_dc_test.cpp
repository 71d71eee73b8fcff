// Device contexts: memory contexts and the selection rules, deleting objects, live counts, and
// what window and paint contexts reach on the top-level window's surface.
#include <gtest/gtest.h>

#include "common/gdi_helper.h"
#include "machine/control/screen.h"
#include "platform/gdi32/surface.h"
#include "machine/gdi_objects.h"

namespace {

class GdiDcTest : public WindowTest {};

BITMAP BitmapOf(HGDIOBJ bitmap) {
    BITMAP b{};
    EXPECT_EQ(GetObjectW(bitmap, sizeof b, &b), static_cast<int>(sizeof b));
    return b;
}

TEST_F(GdiDcTest, AMemoryContextStartsWithTheStockOneByOneBitmap) {
    HDC a = CreateCompatibleDC(nullptr);
    HDC b = CreateCompatibleDC(a);
    HGDIOBJ stock = GetCurrentObject(a, OBJ_BITMAP);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(GetCurrentObject(b, OBJ_BITMAP), stock);  // one stock bitmap, in any number
    BITMAP info = BitmapOf(stock);
    EXPECT_EQ(info.bmWidth, 1);
    EXPECT_EQ(info.bmHeight, 1);
    EXPECT_EQ(sim::GdiTable::Get().LiveCount(OBJ_BITMAP), 0u);  // stock objects are not live
    DeleteDC(a);
    DeleteDC(b);
}

TEST_F(GdiDcTest, SelectObjectReturnsThePreviousBitmap) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ stock = GetCurrentObject(dc, OBJ_BITMAP);
    Dib one = MakeDib(4, 4), two = MakeDib(2, 2);
    EXPECT_EQ(SelectObject(dc, one.bitmap), stock);
    EXPECT_EQ(SelectObject(dc, two.bitmap), one.bitmap);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), two.bitmap);
    EXPECT_EQ(SelectObject(dc, stock), two.bitmap);
    DeleteDC(dc);
    EXPECT_TRUE(DeleteObject(one.bitmap));
    EXPECT_TRUE(DeleteObject(two.bitmap));
}

TEST_F(GdiDcTest, ABitmapLivesInOneContextAtATime) {
    HDC a = CreateCompatibleDC(nullptr);
    HDC b = CreateCompatibleDC(nullptr);
    Dib dib = MakeDib(4, 4);
    ASSERT_NE(SelectObject(a, dib.bitmap), nullptr);
    EXPECT_EQ(SelectObject(b, dib.bitmap), nullptr);
    EXPECT_NE(GetCurrentObject(b, OBJ_BITMAP), dib.bitmap);
    // Selecting it again into its own context is no move.
    EXPECT_EQ(SelectObject(a, dib.bitmap), dib.bitmap);
    // Once its context is gone, another may take it.
    EXPECT_TRUE(DeleteDC(a));
    EXPECT_NE(SelectObject(b, dib.bitmap), nullptr);
    DeleteDC(b);
    DeleteObject(dib.bitmap);
}

TEST_F(GdiDcTest, ABitmapGoesIntoMemoryContextsOnly) {
    HWND w = MakePopup({0, 0, 50, 50});
    HDC dc = GetDC(w);
    Dib dib = MakeDib(4, 4);
    EXPECT_EQ(SelectObject(dc, dib.bitmap), nullptr);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), nullptr);
    ReleaseDC(w, dc);
    DeleteObject(dib.bitmap);
}

TEST_F(GdiDcTest, DeleteDcLeavesTheSelectedBitmapAlive) {
    HDC dc = CreateCompatibleDC(nullptr);
    Dib dib = MakeDib(3, 2);
    SelectObject(dc, dib.bitmap);
    // Selected: not deleted.
    EXPECT_FALSE(DeleteObject(dib.bitmap));
    EXPECT_EQ(GetObjectType(dib.bitmap), static_cast<DWORD>(OBJ_BITMAP));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(GetObjectType(dib.bitmap), static_cast<DWORD>(OBJ_BITMAP));
    EXPECT_EQ(BitmapOf(dib.bitmap).bmWidth, 3);
    EXPECT_TRUE(DeleteObject(dib.bitmap));
}

TEST_F(GdiDcTest, DeleteObjectRules) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ stock = GetCurrentObject(dc, OBJ_BITMAP);
    HRGN region = CreateRectRgn(0, 0, 4, 4);
    auto& table = sim::GdiTable::Get();
    struct Case {
        const char* what;
        HGDIOBJ object;
        BOOL result;
        std::size_t doubleDeletes;  // counted after the call
    } cases[] = {
        {"a stock bitmap is left alone", stock, TRUE, 0},
        {"a region goes", region, TRUE, 0},
        {"the same region again is a double delete", region, FALSE, 1},
        {"a context is not an object to delete", dc, FALSE, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DeleteObject(c.object), c.result);
        EXPECT_EQ(table.DoubleDeletes(), c.doubleDeletes);
    }
    EXPECT_EQ(GetObjectType(stock), static_cast<DWORD>(OBJ_BITMAP));
    DeleteDC(dc);
}

TEST_F(GdiDcTest, LiveCountsReturnToTheBaseline) {
    auto& table = sim::GdiTable::Get();
    const DWORD types[] = {OBJ_DC, OBJ_BITMAP, OBJ_REGION};
    std::size_t before[3];
    for (int i = 0; i < 3; ++i) before[i] = table.LiveCount(types[i]);
    {
        MemDc mem(8, 8);
        HWND w = MakePopup({0, 0, 20, 20});
        HDC wdc = GetDC(w);
        HRGN r = CreateRectRgn(0, 0, 2, 2);
        HBITMAP compatible = CreateCompatibleBitmap(wdc, 5, 5);
        EXPECT_EQ(table.LiveCount(OBJ_DC), before[0] + 2);
        EXPECT_EQ(table.LiveCount(OBJ_BITMAP), before[1] + 2);
        EXPECT_EQ(table.LiveCount(OBJ_REGION), before[2] + 1);
        ReleaseDC(w, wdc);
        DeleteObject(r);
        DeleteObject(compatible);
    }
    for (int i = 0; i < 3; ++i) EXPECT_EQ(table.LiveCount(types[i]), before[i]) << types[i];
}

TEST_F(GdiDcTest, GetDcExTakesTheClipRegionItIsGivenOnSuccess) {
    auto& table = sim::GdiTable::Get();
    HWND w = MakePopup({0, 0, 20, 20});
    const std::size_t before = table.LiveCount(OBJ_REGION);
    for (DWORD flags : {DCX_WINDOW | DCX_INTERSECTRGN, DCX_EXCLUDERGN}) {
        for (int i = 0; i < 50; ++i) {
            HDC dc = GetDCEx(w, CreateRectRgn(0, 0, 2, 2), flags);
            ASSERT_NE(dc, nullptr);
            ReleaseDC(w, dc);
        }
    }
    EXPECT_EQ(table.LiveCount(OBJ_REGION), before);
    // A failed call leaves the region with the caller.
    HRGN kept = CreateRectRgn(0, 0, 2, 2);
    DestroyWindow(w);
    EXPECT_EQ(GetDCEx(w, kept, DCX_INTERSECTRGN), nullptr);
    EXPECT_EQ(GetObjectType(kept), static_cast<DWORD>(OBJ_REGION));
    DeleteObject(kept);
}

TEST_F(GdiDcTest, AChildsWindowContextLiesAtItsOffsetClippedToItsParent) {
    HWND top = MakePopup({10, 20, 210, 120});
    // The child reaches past its parent's right edge.
    HWND child = MakePopup({150, 40, 250, 60}, 0, top);
    HDC dc = GetDC(child);
    gdi::DcTarget t;
    ASSERT_TRUE(gdi::TargetOf(dc, &t));
    EXPECT_EQ(t.origin.x, 150);
    EXPECT_EQ(t.origin.y, 40);
    ASSERT_NE(t.clip, nullptr);
    cairo_rectangle_int_t box;
    cairo_region_get_extents(t.clip, &box);
    EXPECT_EQ(box.x, 150);
    EXPECT_EQ(box.y, 40);
    EXPECT_EQ(box.width, 50);  // up to the parent's edge
    EXPECT_EQ(box.height, 20);
    EXPECT_EQ(cairo_image_surface_get_width(t.surface), 200);
    cairo_surface_destroy(t.surface);
    cairo_region_destroy(t.clip);

    // Inverting more than the child changes only the child's part of the top-level window.
    EXPECT_TRUE(PatBlt(dc, -5, -5, 300, 100, DSTINVERT));
    ReleaseDC(child, dc);
    EXPECT_EQ(control::PixelAt(10 + 150, 20 + 40), RGB(0, 0, 0));
    EXPECT_EQ(control::PixelAt(10 + 199, 20 + 59), RGB(0, 0, 0));
    EXPECT_EQ(control::PixelAt(10 + 149, 20 + 40), RGB(255, 255, 255));
    EXPECT_EQ(control::PixelAt(10 + 150, 20 + 60), RGB(255, 255, 255));
    EXPECT_EQ(control::PixelAt(10 + 200, 20 + 40), RGB(0x3A, 0x6E, 0xA5));  // the desktop
}

TEST_F(GdiDcTest, APaintContextIsClippedToTheUpdateRegion) {
    HWND w = MakePopup({0, 0, 100, 100});
    Drain();
    RECT part{10, 10, 20, 20};
    InvalidateRect(w, &part, FALSE);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w, &ps);
    ASSERT_NE(dc, nullptr);
    PatBlt(dc, 0, 0, 100, 100, DSTINVERT);
    EndPaint(w, &ps);
    EXPECT_EQ(control::PixelAt(10, 10), RGB(0, 0, 0));
    EXPECT_EQ(control::PixelAt(19, 19), RGB(0, 0, 0));
    EXPECT_EQ(control::PixelAt(20, 20), RGB(255, 255, 255));
    EXPECT_EQ(control::PixelAt(9, 10), RGB(255, 255, 255));
}

TEST_F(GdiDcTest, TheSelectedClipAndTheViewportApplyOnTheSurface) {
    MemDc mem(10, 10);
    HRGN clip = CreateRectRgn(2, 2, 6, 6);
    EXPECT_EQ(SelectClipRgn(mem.dc, clip), SIMPLEREGION);
    DeleteObject(clip);  // the context keeps its own copy
    SetViewportOrgEx(mem.dc, 3, 3, nullptr);
    PatBlt(mem.dc, 0, 0, 10, 10, DSTINVERT);  // logical (0, 0) is device (3, 3)
    EXPECT_EQ(mem.dib.At(2, 2), 0u);
    EXPECT_EQ(mem.dib.At(3, 3), 0x00FFFFFFu);
    EXPECT_EQ(mem.dib.At(5, 5), 0x00FFFFFFu);
    EXPECT_EQ(mem.dib.At(6, 6), 0u);
    EXPECT_EQ(SelectClipRgn(mem.dc, nullptr), SIMPLEREGION);
    PatBlt(mem.dc, -3, -3, 1, 1, DSTINVERT);
    EXPECT_EQ(mem.dib.At(0, 0), 0x00FFFFFFu);
}

TEST_F(GdiDcTest, SetBkColorReturnsThePreviousColour) {
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SetBkColor(dc, RGB(1, 2, 3)), RGB(255, 255, 255));
    EXPECT_EQ(SetBkColor(dc, RGB(4, 5, 6)), RGB(1, 2, 3));
    EXPECT_EQ(GetBkColor(dc), RGB(4, 5, 6));
    EXPECT_EQ(SetBkColor(nullptr, 0), CLR_INVALID);
    DeleteDC(dc);
}

TEST_F(GdiDcTest, ReleaseAndDeleteTakeOnlyTheirOwnKind) {
    HWND w = MakePopup({0, 0, 10, 10});
    HDC window = GetDC(w);
    HDC memory = CreateCompatibleDC(window);
    EXPECT_FALSE(DeleteDC(window));
    EXPECT_EQ(ReleaseDC(w, memory), 0);
    EXPECT_EQ(ReleaseDC(w, window), 1);
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_FALSE(DeleteDC(memory));
}

}  // namespace
