// Bitmaps and blits: DIB sections' memory and row order, exact pixels after BitBlt and PatBlt,
// source clipping, and alpha into windows.
#include <gtest/gtest.h>

#include "common/gdi_helper.h"
#include "machine/control/screen.h"
#include "platform/gdi32/surface.h"

namespace {

class GdiBitmapTest : public WindowTest {};

TEST_F(GdiBitmapTest, ADibSectionStartsZeroFilledWithRowsInItsOrder) {
    for (int height : {3, -3}) {
        SCOPED_TRACE(height);
        MemDc mem(4, height);
        ASSERT_NE(mem.dib.bits, nullptr);
        for (int i = 0; i < 12; ++i) EXPECT_EQ(mem.dib.bits[i], 0u);
        // The top row as drawing calls see it: the last row in memory when bottom-up.
        PatBlt(mem.dc, 0, 0, 4, 1, DSTINVERT);
        int topInMemory = height > 0 ? 2 : 0;
        for (int row = 0; row < 3; ++row)
            EXPECT_EQ(mem.dib.bits[row * 4], row == topInMemory ? 0x00FFFFFFu : 0u) << row;
    }
}

TEST_F(GdiBitmapTest, TheBitsAreTheSurfacesMemory) {
    Dib dib = MakeDib(2, 2);
    dib.At(1, 0) = 0xFF102030u;
    cairo_surface_t* s = gdi::BitmapSurface(dib.bitmap);
    ASSERT_NE(s, nullptr);
    cairo_surface_flush(s);
    const unsigned char* row0 = cairo_image_surface_get_data(s);
    EXPECT_EQ(reinterpret_cast<const std::uint32_t*>(row0)[1], 0xFF102030u);
    cairo_surface_destroy(s);
    DeleteObject(dib.bitmap);
}

TEST_F(GdiBitmapTest, CreateDibSectionRefusesOtherFormats) {
    struct Case {
        const char* what;
        void (*change)(BITMAPINFO&);
    } cases[] = {
        {"header size", [](BITMAPINFO& i) { i.bmiHeader.biSize = 44; }},
        {"24 bits", [](BITMAPINFO& i) { i.bmiHeader.biBitCount = 24; }},
        {"compressed", [](BITMAPINFO& i) { i.bmiHeader.biCompression = 3; }},
        {"zero width", [](BITMAPINFO& i) { i.bmiHeader.biWidth = 0; }},
        {"zero height", [](BITMAPINFO& i) { i.bmiHeader.biHeight = 0; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BITMAPINFO info = DibInfo(4, 4);
        c.change(info);
        void* bits = reinterpret_cast<void*>(1);
        SetLastError(0);
        EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
        EXPECT_EQ(bits, nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
}

TEST_F(GdiBitmapTest, GetObjectDescribesABitmap) {
    Dib dib = MakeDib(5, 7);
    BITMAP b{};
    EXPECT_EQ(GetObjectW(dib.bitmap, sizeof b, &b), static_cast<int>(sizeof b));
    EXPECT_EQ(b.bmWidth, 5);
    EXPECT_EQ(b.bmHeight, 7);
    EXPECT_EQ(b.bmWidthBytes, 20);
    EXPECT_EQ(b.bmBitsPixel, 32);
    EXPECT_EQ(b.bmBits, dib.bits);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP compatible = CreateCompatibleBitmap(dc, 3, 3);
    EXPECT_EQ(GetObjectW(compatible, sizeof b, &b), static_cast<int>(sizeof b));
    EXPECT_EQ(b.bmBits, nullptr);  // not a DIB section
    DeleteObject(compatible);
    DeleteDC(dc);
    DeleteObject(dib.bitmap);
}

TEST_F(GdiBitmapTest, BitmapDimensionIsKept) {
    Dib dib = MakeDib(2, 2);
    SIZE size{-1, -1};
    EXPECT_TRUE(GetBitmapDimensionEx(dib.bitmap, &size));
    EXPECT_EQ(size.cx, 0);
    EXPECT_TRUE(SetBitmapDimensionEx(dib.bitmap, 30, 40, &size));
    EXPECT_EQ(size.cx, 0);
    EXPECT_TRUE(GetBitmapDimensionEx(dib.bitmap, &size));
    EXPECT_EQ(size.cx, 30);
    EXPECT_EQ(size.cy, 40);
    EXPECT_FALSE(GetBitmapDimensionEx(nullptr, &size));
    DeleteObject(dib.bitmap);
}

TEST_F(GdiBitmapTest, BitBltBetweenMemoryContexts) {
    struct Case {
        const char* what;
        DWORD rop;
        std::uint32_t source, dest, expected;
    } cases[] = {
        {"a copy keeps all four bytes", SRCCOPY, 0x80402010u, 0xFF000000u, 0x80402010u},
        {"invert xors colour, keeps alpha", SRCINVERT, 0xFF0F0F0Fu, 0x80FF00F0u, 0x80F00FFFu},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemDc src(4, 4), dst(4, 4);
        src.dib.Fill(c.source);
        dst.dib.Fill(c.dest);
        EXPECT_TRUE(BitBlt(dst.dc, 1, 1, 2, 2, src.dc, 0, 0, c.rop));
        EXPECT_EQ(dst.dib.At(1, 1), c.expected);
        EXPECT_EQ(dst.dib.At(2, 2), c.expected);
        EXPECT_EQ(dst.dib.At(0, 0), c.dest);
        EXPECT_EQ(dst.dib.At(3, 3), c.dest);
    }
}

TEST_F(GdiBitmapTest, BitBltCopiesOnlyWhatTheSourceHolds) {
    MemDc src(2, 2), dst(6, 6);
    src.dib.Fill(0xFF111111u);
    dst.dib.Fill(0xFF999999u);
    // From (-1, -1), 4x4: the source's 2x2 lands at (1, 1)..(2, 2); the rest stays.
    EXPECT_TRUE(BitBlt(dst.dc, 0, 0, 4, 4, src.dc, -1, -1, SRCCOPY));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            bool inside = x >= 1 && x <= 2 && y >= 1 && y <= 2;
            EXPECT_EQ(dst.dib.At(x, y), inside ? 0xFF111111u : 0xFF999999u) << x << "," << y;
        }
}

TEST_F(GdiBitmapTest, BitBltKeepsPixelPositionsInBothRowOrders) {
    MemDc src(3, -3), dst(3, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            src.dib.At(x, y) = 0xFF000000u | static_cast<unsigned>(y * 3 + x);
    BitBlt(dst.dc, 0, 0, 3, 3, src.dc, 0, 0, SRCCOPY);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(dst.dib.At(x, y), 0xFF000000u | static_cast<unsigned>(y * 3 + x));
}

TEST_F(GdiBitmapTest, BitBltToAWindowIgnoresSourceAlpha) {
    HWND w = MakePopup({0, 0, 20, 20});
    MemDc src(4, 4);
    src.dib.Fill(0x00203040u);  // fully transparent by its alpha
    HDC dc = GetDC(w);
    EXPECT_TRUE(BitBlt(dc, 0, 0, 4, 4, src.dc, 0, 0, SRCCOPY));
    ReleaseDC(w, dc);
    EXPECT_EQ(control::PixelAt(1, 1), RGB(0x20, 0x30, 0x40));
    EXPECT_EQ(control::PixelAt(4, 4), RGB(255, 255, 255));
}

TEST_F(GdiBitmapTest, BitBltRefusesOtherOperationsAndUnknownContexts) {
    MemDc a(2, 2), b(2, 2);
    EXPECT_FALSE(BitBlt(a.dc, 0, 0, 2, 2, b.dc, 0, 0, 0x00EE0086u /* SRCPAINT */));
    EXPECT_FALSE(BitBlt(a.dc, 0, 0, 2, 2, nullptr, 0, 0, SRCCOPY));
    EXPECT_FALSE(PatBlt(a.dc, 0, 0, 2, 2, SRCCOPY));
}

TEST_F(GdiBitmapTest, PatBltInvertsColourAndKeepsAlpha) {
    MemDc mem(3, 3);
    mem.dib.Fill(0xFF102030u);
    EXPECT_TRUE(PatBlt(mem.dc, 2, 2, -2, -2, DSTINVERT));  // from the other corner
    EXPECT_EQ(mem.dib.At(0, 0), 0xFFEFDFCFu);
    EXPECT_EQ(mem.dib.At(1, 1), 0xFFEFDFCFu);
    EXPECT_EQ(mem.dib.At(2, 2), 0xFF102030u);
}

}  // namespace
